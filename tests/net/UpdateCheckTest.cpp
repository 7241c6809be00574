#include "net/UpdateCheck.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
// What the dialog was told, in order, and its scripted answers.
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
        return true;
    }
    void SetProgress(int32_t nMin, int32_t nMax, int32_t nPosition) override
    {
        Log("progress " + std::to_string(nMin) + ".." + std::to_string(nMax) + " at " +
            std::to_string(nPosition));
    }
    void CloseDialog() override
    {
        Log("close");
        m_bEnded = true;
    }
    void QuitProgram() override { Log("quit"); }
    void RestartProgram(bool bExitNow) override
    {
        Log(bExitNow ? "restart now" : "restart after quit");
        m_bEnded = true;
    }

    static std::string Str(const CMyString& str) { return str.IsEmpty() ? "" : str.GetBuffer(); }
    void Log(const std::string& entry) { m_log.push_back(entry); }

    std::vector<std::string> m_log;
    bool m_bAnswerYes = true;
    bool m_bEnded = false;
};

class UpdateCheckTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        TestApplication();
    }
    // The data folder's server list names a dead server first, then the given one.
    void UseServers(const std::string& strUrl)
    {
        const CLocalSocket dead(-1);
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + dead.Url("/lists/") + "</URL><URL>" + strUrl +
                                     "</URL></L>"));
    }
    std::string ResFile(const std::string& strName) { return Read("data/ORVANTA/res/" + strName); }
    void Run(CRecordingView& view, bool bFirstRun)
    {
        CUpdateCheck check(view, bFirstRun);
        check.Start();
        ASSERT_TRUE(PumpEventsUntil([&view] { return view.m_bEnded; }));
    }

    Settings m_settings;
};

const char* const kDescription =
    "<UPDATES>\n"
    "<SEARCH_SETTINGS><VERSION>1.18</VERSION><NAME>SearchSettings.txt"
    "</NAME></SEARCH_SETTINGS>\n"
    "<MOVIES_SETTINGS><VERSION>2.0</VERSION><NAME>MoviesSettings.txt"
    "</NAME></MOVIES_SETTINGS>\n"
    "<category><version>1.0</version><name>News.txt</name></category>\n"
    "<CATEGORY><VERSION>9.0</VERSION></CATEGORY>\n"
    "<SERVERS><NAME>ServerSettings.txt</NAME></SERVERS>\n"
    "<EXE_UPDATE><VERSION>1.19</VERSION><NAME>http://get/new</NAME>"
    "</EXE_UPDATE>\n"
    "</UPDATES>";

TEST_F(UpdateCheckTest, OnRequestDownloadsEveryOutdatedListAfterOneQuestion)
{
    const CListServer server({{"UpdateSettings.txt", kDescription},
                              {"SearchSettings.txt", "search list"},
                              {"News.txt", "news list"}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.2"); // 1.18 is newer
    m_settings.SetMoviesSettingsVersion("2.0"); // current
    CRecordingView view;
    Run(view, false);

    ASSERT_EQ(view.m_log.size(), 7u);
    EXPECT_EQ(view.m_log[0], "yes/no: Updates Are Available.\nWhould You Like To Update Now?");
    EXPECT_EQ(view.m_log[1], "progress 1..2 at 1");
    EXPECT_EQ(view.m_log[2], "progress 1..2 at 1");
    EXPECT_EQ(view.m_log[3], "progress 1..2 at 2");
    EXPECT_EQ(view.m_log[4], "ok/cancel: Update Success\nClick Ok To Restart The Application");
    EXPECT_EQ(view.m_log[5], "restart after quit");
    EXPECT_EQ(view.m_log[6], "close");
    EXPECT_EQ(ResFile("SearchSettings.txt"), std::string("search list", 12)); // with its NUL
    EXPECT_EQ(ResFile("News.txt"), std::string("news list", 10));
    EXPECT_FALSE(std::filesystem::exists(Path("data/ORVANTA/res/MoviesSettings.txt")));
}

TEST_F(UpdateCheckTest, OnRequestAnswersWithoutDownloading)
{
    const CListServer server({{"UpdateSettings.txt", kDescription}});
    UseServers(server.Url());
    CRecordingView refusing;
    refusing.m_bAnswerYes = false;
    Run(refusing, false);
    EXPECT_EQ(refusing.m_log,
              (std::vector<std::string>{
                  "yes/no: Updates Are Available.\nWhould You Like To Update Now?", "close"}));

    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetMoviesSettingsVersion("2.0");
    m_settings.SetFileVersion("News.txt", "1.0");
    CRecordingView current;
    Run(current, false);
    EXPECT_EQ(current.m_log,
              (std::vector<std::string>{"message: You Run The Most Updated Settings.", "close"}));
}

TEST_F(UpdateCheckTest, FirstRunRestartsAtOnceOrQuitsWithoutServer)
{
    const CListServer server({{"UpdateSettings.txt", "<U><SERVERS><VERSION>1.0</VERSION>"
                                                     "<NAME>ServerSettings.txt</NAME></SERVERS>"
                                                     "</U>"}});
    UseServers(server.Url());
    m_settings.SetServerSettingsVersion("1.0");
    CRecordingView view;
    Run(view, true);
    EXPECT_EQ(view.m_log, (std::vector<std::string>{"restart now"}));
    EXPECT_FALSE(m_settings.IsCopySettings());

    m_settings.SetCopySettings(true);
    UseServers(CLocalSocket(-1).Url("/lists/"));
    CRecordingView offline;
    Run(offline, true);
    EXPECT_EQ(offline.m_log, (std::vector<std::string>{
                                 "message: Couldn't get the lists from ORVANTA server for the "
                                 "first time\nCheck connection to the internet",
                                 "close", "quit"}));
    EXPECT_TRUE(m_settings.IsCopySettings());
}

TEST_F(UpdateCheckTest, HostileNamesWriteNothingOutsideTheResFolder)
{
    const std::string outside = Path("outside.txt");
    const CListServer server(
        {{"UpdateSettings.txt",
          "<U><CATEGORY><VERSION>1.0</VERSION><NAME>../../../outside.txt</NAME></CATEGORY>"
          "<CATEGORY><VERSION>1.0</VERSION><NAME>" +
              outside +
              "</NAME></CATEGORY>"
              "<CATEGORY><VERSION>1.0</VERSION><NAME>sub/x.txt</NAME></CATEGORY>"
              "<CATEGORY><VERSION>1.0</VERSION><NAME>..\\x.txt</NAME></CATEGORY>"
              "<CATEGORY><VERSION>1.0</VERSION><NAME>   </NAME></CATEGORY>"
              "<CATEGORY><VERSION>1.0</VERSION><NAME>Good.txt\n</NAME></CATEGORY>"
              "<CATEGORY><VERSION>1.0</VERSION><NAME>Missing.txt</NAME></CATEGORY></U>"},
         {"Good.txt", "good"},
         {"../../../outside.txt", "evil"}});
    UseServers(server.Url());
    Write("data/ORVANTA/res/Missing.txt", "old");
    CRecordingView view;
    Run(view, false);
    EXPECT_EQ(view.m_log[1], "progress 1..2 at 1"); // only the two plain names count
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_EQ(ResFile("Good.txt"), std::string("good", 5));
    EXPECT_EQ(ResFile("Missing.txt"), "old"); // a failed download keeps the old list
    EXPECT_EQ(view.m_log.back(), "close");
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
