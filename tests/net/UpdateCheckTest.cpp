// The update without its window, against good list servers and against servers that misbehave
// on purpose; tests/net/UpdateDlgTest.cpp drives the same through the dialog.

#include "net/UpdateCheck.h"
#include "ListServer.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "platform/WindowMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{
std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? "" : str.GetBuffer();
}

// What the dialog was told, in order, and its scripted answer to the question.
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
    void SetProgress(int32_t nMin, int32_t nMax, int32_t nPosition) override
    {
        Log("progress " + std::to_string(nMin) + ".." + std::to_string(nMax) + " at " +
            std::to_string(nPosition));
    }
    void ShowStatus(const CMyString& strText) override { Log("status: " + Str(strText)); }
    void CloseDialog() override { Log("close"); }
    void QuitProgram() override { Log("quit"); }
    void RestartProgram(bool bExitNow) override
    {
        Log(bExitNow ? "restart now" : "restart after quit");
    }

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

class UpdateCheckTest : public ScratchHome
{
protected:
    // The data folder's server list names a dead server first, then the given one.
    void UseServers(const std::string& strUrl)
    {
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + CLocalSocket(-1).Url("/lists/") + "</URL><URL>" +
                                     strUrl + "</URL></L>"));
    }
    std::string ResFile(const std::string& strName) { return Read("data/ORVANTA/res/" + strName); }
    // Runs the check until it ends; answers what the dialog was told. The application exists
    // before the downloads start: an answer that finds none would be dropped.
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

    Settings m_settings;
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

TEST_F(UpdateCheckTest, AsksOnceThenDownloadsEveryOutdatedList)
{
    const CListServer server({{"UpdateSettings.txt", kDescription},
                              {"SearchSettings.txt", PublishedList("search")},
                              {"News.txt", PublishedList("news")}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.2"); // 1.18 is newer
    m_settings.SetMoviesSettingsVersion("2.0"); // current
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

    // A first run with every list current (the lists record their versions when they are
    // loaded) asks nothing and restarts at once.
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetFileVersion("News.txt", "1.0");
    EXPECT_EQ(Run(false, true), std::vector<std::string>{"restart now"});
    EXPECT_FALSE(m_settings.IsCopySettings());
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

TEST_F(UpdateCheckTest, SilentCheckReportsNewerListsAndProgram)
{
    const CListServer server({{"UpdateSettings.txt", kDescription}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetMoviesSettingsVersion("2.0");
    m_settings.SetProgramVersion("1.18");
    CMyString strAddress;
    // News.txt has no recorded version yet.
    EXPECT_EQ(SilentCheck(strAddress), UPDATE_LISTS_NEWER | UPDATE_PROGRAM_NEWER);
    EXPECT_EQ(Str(strAddress), "http://get/new");

    m_settings.SetFileVersion("News.txt", "1.0");
    m_settings.SetProgramVersion("1.19");
    strAddress = "unchanged";
    EXPECT_EQ(SilentCheck(strAddress), 0u);
    EXPECT_EQ(Str(strAddress), "unchanged");
}

// The download limits are capped at a few seconds (ORVANTA_DOWNLOAD_SECONDS), so that the
// stalls end soon; no step may take longer than that and room for a slow machine.
constexpr int kCappedSeconds = 2;
constexpr auto kStepLimit = std::chrono::seconds(kCappedSeconds + 12);

// Takes the answer of a background file download.
struct CAnswerReceiver : QObject
{
    bool event(QEvent* pEvent) override
    {
        const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr)
            return QObject::event(pEvent);
        m_nAnswer = static_cast<int>(pMessage->GetWParam());
        return true;
    }
    int m_nAnswer = -1;
};

// A kind of misbehaviour (see CTestHttpServer), and the start of the reason a download gives
// for it; none for a whole 200 answer, which is no failure whatever it holds.
using Misbehaviour = std::pair<std::string, std::string>;

class HostileServerTest : public UpdateCheckTest, public ::testing::WithParamInterface<Misbehaviour>
{
protected:
    void SetUp() override
    {
        UpdateCheckTest::SetUp();
        setenv("ORVANTA_DOWNLOAD_SECONDS", std::to_string(kCappedSeconds).c_str(), 1);
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
    // Runs fnStep and checks that it ended within its limit.
    template <typename Step> auto Timed(Step fnStep)
    {
        const auto start = std::chrono::steady_clock::now();
        auto result = fnStep();
        EXPECT_LT(std::chrono::steady_clock::now() - start, kStepLimit);
        return result;
    }

    std::string Bad(const std::string& strFile) const
    {
        return m_server.Url("/bad/" + GetParam().first + "/" + strFile);
    }

    const CTestHttpServer m_server;
};
} // namespace

// A description that fails: the silent check offers nothing, and the first run says it could
// not get the lists and quits. A list that fails to arrive whole and good leaves the old one,
// and a picture fetched in the background (as the tree fetches icons) is written whole or not at
// all: nothing new anywhere, no half file, and no restart offered. A download says why it failed.
TEST_P(HostileServerTest, NothingIsReplacedByLessAndEveryFailureSaysWhy)
{
    const std::string strExpected = GetParam().second;
    Write("data/icon.gif", "old picture");
    Write("data/ORVANTA/res/News.txt", StoredList("old"));
    UseServers(Bad(""));
    const std::vector<std::string> before = Entries();
    CAnswerReceiver receiver;
    auto* pFileJob = new CMyDownload;
    pFileJob->SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    ASSERT_TRUE(pFileJob->StartFileDownload(
        Bad("icon.gif").c_str(), Path("data/icon.gif").c_str(), &receiver,
        RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE), 0));

    CMyString strAddress;
    EXPECT_EQ(Timed([&] { return SilentCheck(strAddress); }), 0u);
    const std::vector<std::string> log = Timed([this] { return Run(true, true); });
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "message: Couldn't get the lists from ORVANTA server for the first "
                           "time\nCheck connection to the internet");
    EXPECT_EQ(log.back(), "quit");

    UseServers(Bad("lists/"));
    EXPECT_EQ(Timed([this] { return Run(true); }),
              (std::vector<std::string>{
                  "yes/no: Updates Are Available.\nWhould You Like To Update Now?",
                  "progress 1..1 at 1", "status: Could Not Update News.txt", "progress 1..1 at 1",
                  "message: Update check failed\nCheck connection to the internet", "close"}));
    EXPECT_EQ(ResFile("News.txt"), StoredList("old"));

    CMyDownload download;
    download.SetLimits(CMyDownload::PICTURE_MAX_BYTES, CMyDownload::PICTURE_MAX_SECONDS);
    EXPECT_EQ(Timed([&] { return download.DownloadToBuffer(Bad("News.txt").c_str()); }),
              strExpected.empty());
    const std::string strGiven = Str(download.GetResult().Describe());
    EXPECT_EQ(strGiven.empty(), strExpected.empty());
    EXPECT_TRUE(strGiven.starts_with(strExpected)) << strGiven;

    EXPECT_TRUE(PumpEventsUntil([&receiver] { return receiver.m_nAnswer >= 0; }, 40));
    EXPECT_EQ(receiver.m_nAnswer, strExpected.empty() ? 1 : 0);
    EXPECT_TRUE(strExpected.empty() || Read("data/icon.gif") == "old picture");
    EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Misbehaviours, HostileServerTest,
    ::testing::Values(
        Misbehaviour{"404", "HTTP status 404"}, Misbehaviour{"500", "HTTP status 500"},
        Misbehaviour{"redirect_loop", "network error: Maximum (10) redirects followed"},
        Misbehaviour{"empty", ""}, Misbehaviour{"not_a_list", ""}, Misbehaviour{"root_only", ""},
        Misbehaviour{"huge", "too large: more than 524288 bytes"},
        Misbehaviour{"truncated", "network error: transfer closed with"},
        Misbehaviour{"stall", "timed out: Operation"},
        Misbehaviour{"trickle", "timed out: Operation"},
        Misbehaviour{"endless", "too large: more than 524288 bytes"}),
    [](const ::testing::TestParamInfo<Misbehaviour>& kind)
    {
        const std::string strName = kind.param.first;
        return std::isdigit(strName.front()) != 0 ? "Status" + strName : strName;
    });
