// The update without its window; tests/net/UpdateDlgTest.cpp drives the same through the dialog
// (first runs with and without a server, nothing to fetch, Yes then OK or Cancel).

#include "net/UpdateCheck.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
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

    static std::string Str(const CMyString& str) { return str.IsEmpty() ? "" : str.GetBuffer(); }
    static int ThreadCount()
    {
        int nThreads = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator("/proc/self/task"))
            ++nThreads;
        return nThreads;
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
        const CLocalSocket dead(-1);
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + dead.Url("/lists/") + "</URL><URL>" + strUrl +
                                     "</URL></L>"));
    }
    std::string ResFile(const std::string& strName) { return Read("data/ORVANTA/res/" + strName); }
    // Runs the check until the dialog closes or the program restarts at once; answers what the
    // dialog was told. The application exists before the downloads start: an answer that finds
    // none would be dropped.
    std::vector<std::string> Run(bool bAnswerYes, bool bFirstRun = false)
    {
        TestApplication();
        CRecordingView view;
        view.m_bAnswerYes = bAnswerYes;
        CUpdateCheck check(view, bFirstRun);
        check.Start();
        EXPECT_TRUE(PumpEventsUntil(
            [&view]
            {
                return !view.m_log.empty() &&
                       (view.m_log.back() == "close" || view.m_log.back() == "restart now");
            }));
        return view.m_log;
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
    const std::vector<std::string> log = Run(true);
    EXPECT_EQ(log[1], "progress 1..2 at 1"); // only the two plain names count
    EXPECT_FALSE(std::filesystem::exists(strOutside));
    EXPECT_EQ(ResFile("Good.txt"), StoredList("good"));
    EXPECT_EQ(ResFile("Missing.txt"), "old"); // a failed download keeps the old list
    EXPECT_FALSE(std::filesystem::exists(Path("data/ORVANTA/res/Update.exe")));

    // With the plain names current, the refused ones raise no notice either.
    m_settings.SetFileVersion("Good.txt", "1.0");
    m_settings.SetFileVersion("Missing.txt", "1.0");
    uint32_t uFlags = 0;
    CMyString strAddress;
    EXPECT_FALSE(CUpdateCheck::CheckForUpdates(uFlags, strAddress));
}

TEST_F(UpdateCheckTest, SilentCheckReportsNewerListsAndProgram)
{
    const CListServer server({{"UpdateSettings.txt", kDescription}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetMoviesSettingsVersion("2.0");
    m_settings.SetProgramVersion("1.18");
    uint32_t uFlags = 0;
    CMyString strAddress;
    EXPECT_TRUE(CUpdateCheck::CheckForUpdates(uFlags, strAddress));
    EXPECT_EQ(uFlags, UPDATE_LISTS_NEWER | UPDATE_PROGRAM_NEWER); // News.txt has no version yet
    EXPECT_EQ(CRecordingView::Str(strAddress), "http://get/new");

    m_settings.SetFileVersion("News.txt", "1.0");
    m_settings.SetProgramVersion("1.19");
    strAddress = "unchanged";
    EXPECT_FALSE(CUpdateCheck::CheckForUpdates(uFlags, strAddress));
    EXPECT_EQ(uFlags, 0u);
    EXPECT_EQ(CRecordingView::Str(strAddress), "unchanged");
}
} // namespace
