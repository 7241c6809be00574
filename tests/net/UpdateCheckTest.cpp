// The update without its window, against good list servers and ones that misbehave on purpose.

#include "net/UpdateCheck.h"
#include "ListServer.h"
#include "TestHttpServer.h"
#include "net/Version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? "" : str.GetBuffer();
}

CVersion V(const char* pszText)
{
    return CVersion(CMyString(pszText));
}

TEST(VersionTest, PartsAreTheNumbersBetweenTheDotsAndCompareAsNumbers)
{
    const CVersion odd = V("1.x5.7beta.4.9");
    EXPECT_EQ(odd.GetPart(1), 0); // no leading digits
    EXPECT_EQ(odd.GetPart(2), 7);
    EXPECT_EQ(odd.GetPart(3), 4); // behind a fourth dot nothing counts
    EXPECT_EQ(V("2.0.1").GetPart(3), 0);
    EXPECT_TRUE(V("1.").IsValid());
    EXPECT_FALSE(V("3").IsValid() || V("").IsValid());
    EXPECT_GT(V("1.18"), V("1.2")); // 18 > 2, not a decimal fraction
    EXPECT_GT(V("10.0"), V("9.99"));
    EXPECT_EQ(V("2.0"), V("2.0.0.0"));
    EXPECT_GT(V("2.0.0.1"), V("2.0")); // the fourth part counts too
    EXPECT_LT(V("3"), V("1.0"));       // without a dot: older than every valid version
    EXPECT_EQ(V("3").Compare(V("7")), 0);
}

// What the dialog was told, in order; it answers the question as m_bAnswerYes says.
class CRecordingView : public IUpdateDialogView
{
public:
    void ShowMessage(const CMyString& strText) override { Log("message: " + Str(strText)); }
    bool AskYesNo(const CMyString& strText) override
    {
        Log("yes/no: " + Str(strText));
        return m_bAnswerYes;
    }
    bool AskOkCancel(const CMyString& strText) override
    {
        Log("ok/cancel: " + Str(strText));
        // The question stays open for the user; the downloads' threads must not wait for it.
        if (!PumpEventsUntil([this] { return ThreadCount() <= m_nThreadsBefore; }, 5))
            Log("a download's thread still waits");
        return true;
    }
    void SetProgress(int32_t nMin, int32_t nMax, int32_t nAt) override
    {
        Log("progress " + std::to_string(nMin) + ".." + std::to_string(nMax) + " at " +
            std::to_string(nAt));
    }
    void ShowStatus(const CMyString& strText) override { Log("status: " + Str(strText)); }
    void CloseDialog() override { Log("close"); }
    void QuitProgram() override { Log("quit"); }
    void RestartProgram(bool bNow) override { Log(bNow ? "restart now" : "restart after quit"); }

    static int ThreadCount()
    {
        const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
        return static_cast<int>(std::distance(begin(tasks), end(tasks)));
    }
    void Log(const std::string& strEntry) { m_log.push_back(strEntry); }

    std::vector<std::string> m_log;
    bool m_bAnswerYes = true;
    int m_nThreadsBefore = ThreadCount();
};

class UpdateCheckTest : public ListsHome
{
protected:
    // Runs the check until it ends. The application exists before the downloads start: an
    // answer that finds none would be dropped.
    std::vector<std::string> Run(bool bAnswerYes, bool bFirstRun = false)
    {
        TestApplication();
        CRecordingView view;
        view.m_bAnswerYes = bAnswerYes;
        CUpdateCheck check(view, bFirstRun);
        check.Start();
        EXPECT_TRUE(PumpEventsUntil(
            [&log = view.m_log]
            {
                return !log.empty() && (log.back() == "close" || log.back() == "quit" ||
                                        log.back() == "restart now");
            },
            40));
        return view.m_log;
    }
    static uint32_t SilentCheck(CMyString& strAddress)
    {
        uint32_t uFlags = 99;
        const bool bNewer = CUpdateCheck::CheckForUpdates(uFlags, strAddress);
        EXPECT_EQ(bNewer, uFlags != 0);
        return uFlags;
    }
};

const char* const kDescription =
    "<UPDATES>\n"
    "<SEARCH_SETTINGS><VERSION>1.18</VERSION><NAME>SearchSettings.txt</NAME></SEARCH_SETTINGS>\n"
    "<MOVIES_SETTINGS><VERSION>2.0</VERSION><NAME>MoviesSettings.txt</NAME></MOVIES_SETTINGS>\n"
    "<category><version>1.0</version><name>News.txt</name></category>\n"
    "<CATEGORY><VERSION>9.0</VERSION></CATEGORY>\n"
    "<SERVERS><NAME>ServerSettings.txt</NAME></SERVERS>\n"
    "<EXE_UPDATE><VERSION>1.19</VERSION><NAME>http://get/new</NAME></EXE_UPDATE>\n"
    "</UPDATES>";

TEST_F(UpdateCheckTest, SilentCheckThenOneQuestionThenEveryOutdatedList)
{
    const CListServer server({{"UpdateSettings.txt", kDescription},
                              {"SearchSettings.txt", PublishedList("search")},
                              {"News.txt", PublishedList("news")}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.2"); // 1.18 is newer
    m_settings.SetMoviesSettingsVersion("2.0"); // current
    m_settings.SetProgramVersion("1.18");
    CMyString strAddress;
    EXPECT_EQ(SilentCheck(strAddress), UPDATE_LISTS_NEWER | UPDATE_PROGRAM_NEWER);
    EXPECT_EQ(Str(strAddress), "http://get/new");
    const std::string strQuestion =
        "yes/no: Updates Are Available.\nWhould You Like To Update Now?";
    EXPECT_EQ(Run(false), (std::vector<std::string>{strQuestion, "close"}));
    EXPECT_FALSE(std::filesystem::exists(Path("data/ORVANTA/res/News.txt")));
    EXPECT_EQ(Run(true),
              (std::vector<std::string>{
                  strQuestion, "progress 1..2 at 1", "progress 1..2 at 1", "progress 1..2 at 2",
                  "ok/cancel: Update Success\nClick Ok To Restart The Application",
                  "restart after quit", "close"}));
    EXPECT_EQ(ResFile("SearchSettings.txt"), StoredList("search"));
    EXPECT_EQ(ResFile("News.txt"), StoredList("news"));
    EXPECT_FALSE(std::filesystem::exists(Path("data/ORVANTA/res/MoviesSettings.txt")));
    // With every list current the silent check finds nothing.
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetFileVersion("News.txt", "1.0");
    m_settings.SetProgramVersion("1.19");
    EXPECT_EQ(SilentCheck(strAddress), 0u);
}

TEST_F(UpdateCheckTest, HostileNamesWriteNothingOutsideTheResFolder)
{
    const std::string strOutside = Path("outside.txt");
    std::string strDescription = "<U>";
    for (const std::string strName :
         {"../../../outside.txt", strOutside.c_str(), "sub/x.txt", "..\\x.txt", "   ", "Good.txt\n",
          "Missing.txt", "Update.exe", "tool.EXE", ".hidden", "tab\there.txt"})
        strDescription += "<CATEGORY><VERSION>1.0</VERSION><NAME>" + strName + "</NAME></CATEGORY>";
    const CListServer server({{"UpdateSettings.txt", strDescription + "</U>"},
                              {"Good.txt", PublishedList("good")},
                              {"../../../outside.txt", PublishedList("evil")}});
    UseServers(server.Url());
    Write("data/ORVANTA/res/Missing.txt", "old");
    EXPECT_EQ(Run(true)[1], "progress 1..2 at 1"); // only the two plain names count
    EXPECT_FALSE(std::filesystem::exists(strOutside));
    EXPECT_EQ(ResFile("Good.txt"), StoredList("good"));
    EXPECT_EQ(ResFile("Missing.txt"), "old"); // a failed download keeps the old list
    EXPECT_FALSE(std::filesystem::exists(Path("data/ORVANTA/res/Update.exe")));
    // With the plain names current, the refused ones raise no notice either.
    m_settings.SetFileVersion("Good.txt", "1.0");
    m_settings.SetFileVersion("Missing.txt", "1.0");
    CMyString strAddress;
    EXPECT_EQ(SilentCheck(strAddress), 0u);
}

// A misbehaviour of CTestHttpServer and the start of the reason a download gives for it (none
// for a whole 200 answer, which is no failure whatever it holds).
using Misbehaviour = std::pair<std::string, std::string>;

class HostileServerTest : public UpdateCheckTest, public ::testing::WithParamInterface<Misbehaviour>
{
protected:
    void SetUp() override
    {
        UpdateCheckTest::SetUp();
        setenv("ORVANTA_DOWNLOAD_SECONDS", "2", 1); // so that the stalls end soon
        TestApplication();
    }
    // Every file and folder below the data folder, to see that nothing came or went.
    std::vector<std::string> Entries()
    {
        std::vector<std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root / "data"))
            entries.push_back(entry.path().string());
        std::sort(entries.begin(), entries.end());
        return entries;
    }
    std::string Bad(const std::string& strFile) const
    {
        return m_server.Url("/bad/" + GetParam().first + "/" + strFile);
    }

    const CTestHttpServer m_server;
};
} // namespace

// A failed description: the silent check offers nothing, the first run quits. A failed list
// leaves the old one, a picture fetched in the background is written whole or not at all, and
// no restart is offered.
TEST_P(HostileServerTest, NothingIsReplacedByLessAndEveryFailureSaysWhy)
{
    const std::string strExpected = GetParam().second;
    Write("data/icon.gif", "old picture");
    Write("data/ORVANTA/res/News.txt", StoredList("old"));
    UseServers(Bad(""));
    const std::vector<std::string> before = Entries();
    Answers answers;
    CAnswerRecorder receiver(answers);
    auto* pFileJob = new CMyDownload;
    pFileJob->SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    ASSERT_TRUE(pFileJob->StartFileDownload(
        Bad("icon.gif").c_str(), Path("data/icon.gif").c_str(), &receiver,
        RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE), 0));
    CMyString strAddress;
    EXPECT_EQ(SilentCheck(strAddress), 0u);
    const std::vector<std::string> log = Run(true, true);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "message: Couldn't get the lists from ORVANTA server for the first "
                           "time\nCheck connection to the internet");
    EXPECT_EQ(log.back(), "quit");
    UseServers(Bad("lists/"));
    EXPECT_EQ(Run(true),
              (std::vector<std::string>{
                  "yes/no: Updates Are Available.\nWhould You Like To Update Now?",
                  "progress 1..1 at 1", "status: Could Not Update News.txt", "progress 1..1 at 1",
                  "message: Update check failed\nCheck connection to the internet", "close"}));
    EXPECT_EQ(ResFile("News.txt"), StoredList("old"));
    CMyDownload download;
    download.SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    EXPECT_EQ(download.DownloadToBuffer(Bad("News.txt").c_str()), strExpected.empty());
    const std::string strGiven = Str(download.GetResult().Describe());
    EXPECT_EQ(strGiven.empty(), strExpected.empty());
    EXPECT_TRUE(strGiven.starts_with(strExpected)) << strGiven;
    EXPECT_TRUE(PumpEventsUntil([&answers] { return !answers.empty(); }, 40));
    EXPECT_EQ(answers, (Answers{{0, strExpected.empty() ? 1 : 0}}));
    EXPECT_TRUE(strExpected.empty() || Read("data/icon.gif") == "old picture");
    EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Misbehaviours, HostileServerTest,
    ::testing::Values(Misbehaviour{"missing", "HTTP status 404"},
                      Misbehaviour{"redirect_loop",
                                   "network error: Maximum (10) redirects followed"},
                      Misbehaviour{"empty", ""}, Misbehaviour{"not_a_list", ""},
                      Misbehaviour{"root_only", ""},
                      Misbehaviour{"huge", "too large: more than 524288 bytes"},
                      Misbehaviour{"truncated", "network error: transfer closed with"},
                      Misbehaviour{"stall", "timed out: Operation"},
                      Misbehaviour{"trickle", "timed out: Operation"},
                      Misbehaviour{"endless", "too large: more than 524288 bytes"}),
    [](const ::testing::TestParamInfo<Misbehaviour>& kind) { return kind.param.first; });
