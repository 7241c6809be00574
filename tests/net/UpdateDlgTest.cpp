#include "net/UpdateDlg.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "skin/MyMessageBox.h"
#include "skin/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{

const char* const kFirstRunText = "Couldn't get the lists from ORVANTA server for the first time\n"
                                  "Check connection to the internet";
const char* const kQuestion = "Updates Are Available.\nWhould You Like To Update Now?";
const char* const kSuccess = "Update Success\nClick Ok To Restart The Application";
const char* const kDescription =
    "<UPDATES><SEARCH_SETTINGS><VERSION>1.18</VERSION><NAME>SearchSettings.txt</NAME>"
    "</SEARCH_SETTINGS><CATEGORY><VERSION>1.0</VERSION><NAME>News.txt</NAME></CATEGORY>"
    "</UPDATES>";

// Answers every message box that opens (Yes; OK, or Cancel when asked to) and records
// "<type>: <text>".
class CBoxAnswerer
{
public:
    explicit CBoxAnswerer(bool bCancelOkCancel = false) : m_bCancelOkCancel(bCancelOkCancel)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { AnswerOpenBoxes(); });
        m_timer.start(20);
    }
    void AnswerOpenBoxes()
    {
        for (QWidget* pWidget : QApplication::topLevelWidgets())
        {
            auto* pBox = dynamic_cast<CMyMessageBox*>(pWidget);
            if (pBox == nullptr || !pBox->isVisible())
                continue;
            m_boxes.push_back(std::to_string(pBox->GetType()) + ": " +
                              pBox->GetTextControl().text().toStdString());
            const bool bYesNo = pBox->GetType() == CMyMessageBox::TYPE_YES_NO;
            QTest::mouseClick(bYesNo ? &pBox->GetYesButton()
                              : m_bCancelOkCancel && pBox->GetType() != CMyMessageBox::TYPE_OK
                                  ? &pBox->GetCancelButton()
                                  : &pBox->GetOkButton(),
                              Qt::LeftButton);
        }
    }
    bool m_bCancelOkCancel;
    std::vector<std::string> m_boxes;
    QTimer m_timer;
};

class UpdateDlgTest : public ScratchHome
{
protected:
    // The server list names a dead server first, then the given one.
    void UseServers(const std::string& strUrl)
    {
        const CLocalSocket dead(-1);
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + dead.Url("/lists/") + "</URL><URL>" + strUrl +
                                     "</URL></L>"));
    }
    bool HasResFile(const std::string& strName)
    {
        return std::filesystem::exists(Path("data/ORVANTA/res/" + strName));
    }
    // Runs the dialog with observed restart and quit; the restart also records whether the
    // dialog was showing at that moment, and what it looked like.
    int Run(CUpdateDlg& dlg, QImage* pShot = nullptr)
    {
        dlg.SetRestartHook(
            [this, &dlg, pShot](bool bExitNow)
            {
                m_ends.push_back(bExitNow ? "restart now" : "restart after quit");
                m_bShownAtEnd = dlg.isVisible();
                if (pShot != nullptr)
                    *pShot = Snapshot(dlg);
            });
        dlg.SetQuitHook([this] { m_ends.push_back("quit"); });
        return dlg.DoModal();
    }

    Settings m_settings;
    std::vector<std::string> m_ends;
    bool m_bShownAtEnd = false;
};

TEST_F(UpdateDlgTest, FirstRunFetchesEveryListShowingProgressThenRestarts)
{
    const CListServer server({{"UpdateSettings.txt", kDescription},
                              {"SearchSettings.txt", "search"},
                              {"News.txt", "news"}});
    UseServers(server.Url());
    CBoxAnswerer answerer;
    CUpdateDlg dlg;
    dlg.m_bFirstRun = true;
    QImage shot;
    EXPECT_EQ(Run(dlg, &shot), CUpdateDlg::RESULT_CLOSED);

    EXPECT_EQ(m_ends, std::vector<std::string>{"restart now"});
    EXPECT_TRUE(answerer.m_boxes.empty());
    EXPECT_TRUE(HasResFile("SearchSettings.txt"));
    EXPECT_TRUE(HasResFile("News.txt"));
    EXPECT_FALSE(m_settings.IsCopySettings());
    EXPECT_EQ(dlg.windowTitle(), "Getting Lists");
    EXPECT_EQ(dlg.GetMessageControl().text(),
              "Please wait while getting the lists from ORVANTA Server for the first time...");
    EXPECT_EQ(dlg.GetProgressControl().maximum(), 2);
    EXPECT_EQ(dlg.GetProgressControl().value(), 2);
    // The dialog resource's layout, and the gradient drawn over the whole surface.
    EXPECT_EQ(dlg.size(), MapDialogUnits(CUpdateDlg::WIDTH_DLU, CUpdateDlg::HEIGHT_DLU));
    EXPECT_EQ(dlg.GetCancelButton().GetStyle(), CMyOwnButton::STYLE_FLAT);
    EXPECT_LT(dlg.GetProgressControl().geometry().right(), dlg.GetCancelButton().x());
    ASSERT_FALSE(shot.isNull());
    const CSkinInfo* pSkin = GetSkinInfo();
    EXPECT_TRUE(IsNear(PixelAt(shot, 1, 0), SkinColor(pSkin->m_clrDialogTop)));
    EXPECT_TRUE(IsNear(PixelAt(shot, 1, shot.height() - 1), SkinColor(pSkin->m_clrDialogBottom)));
    const QRect text = dlg.GetMessageControl().geometry();
    int nTextPixels = 0;
    for (int nX = text.left(); nX <= text.right(); ++nX)
        for (int nY = text.top(); nY <= text.bottom(); ++nY)
            nTextPixels += IsNear(PixelAt(shot, nX, nY), SkinColor(pSkin->m_clrDialogText), 40);
    EXPECT_GT(nTextPixels, 20);
}

TEST_F(UpdateDlgTest, FirstRunWithoutServerTellsAndQuitsWithoutShowing)
{
    UseServers(CLocalSocket(-1).Url("/lists/"));
    CBoxAnswerer answerer;
    CUpdateDlg dlg;
    dlg.m_bFirstRun = true;
    EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CLOSED);
    EXPECT_EQ(answerer.m_boxes, std::vector<std::string>{std::string("0: ") + kFirstRunText});
    EXPECT_EQ(m_ends, std::vector<std::string>{"quit"});
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(m_settings.IsCopySettings()); // the next start is a first run again
}

TEST_F(UpdateDlgTest, OnRequestWithNothingToFetchShowsOnlyOneMessage)
{
    const CListServer server({{"UpdateSettings.txt", kDescription}});
    UseServers(server.Url());
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetFileVersion("News.txt", "1.0");
    {
        CBoxAnswerer answerer;
        CUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CLOSED);
        EXPECT_EQ(answerer.m_boxes,
                  std::vector<std::string>{"0: You Run The Most Updated Settings."});
    }
    UseServers(CLocalSocket(-1).Url("/lists/"));
    {
        CBoxAnswerer answerer;
        CUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CLOSED);
        EXPECT_EQ(answerer.m_boxes,
                  std::vector<std::string>{"0: Update check failed\nCheck connection to the "
                                           "internet"});
    }
    EXPECT_TRUE(m_ends.empty());
}

TEST_F(UpdateDlgTest, OnRequestDownloadsAfterYesAndRestartsOnlyOnOk)
{
    const CListServer server({{"UpdateSettings.txt", kDescription},
                              {"SearchSettings.txt", "search"},
                              {"News.txt", "news"}});
    UseServers(server.Url());
    for (const bool bCancel : {false, true})
    {
        CBoxAnswerer answerer(bCancel);
        CUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CLOSED);
        EXPECT_EQ(answerer.m_boxes, (std::vector<std::string>{std::string("4: ") + kQuestion,
                                                              std::string("1: ") + kSuccess}));
        EXPECT_EQ(Read("data/ORVANTA/res/News.txt"), std::string("news", 5));
        std::filesystem::remove(Path("data/ORVANTA/res/News.txt"));
    }
    EXPECT_EQ(m_ends, std::vector<std::string>{"restart after quit"}); // only after OK
    EXPECT_TRUE(m_bShownAtEnd);
}

TEST_F(UpdateDlgTest, CancelDuringSlowDownloadWritesNothingWhenTheAnswerComesLate)
{
    std::atomic<bool> bRelease = false;
    std::atomic<bool> bAnswered = false;
    httplib::Server server;
    server.Get("/lists/UpdateSettings.txt", [](const httplib::Request&, httplib::Response& res)
               { res.set_content(kDescription, "text/plain"); });
    server.Get("/lists/(.*)",
               [&](const httplib::Request&, httplib::Response& res)
               {
                   const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                   while (!bRelease && std::chrono::steady_clock::now() < giveUp)
                       std::this_thread::sleep_for(std::chrono::milliseconds(10));
                   res.set_content("late", "text/plain");
                   bAnswered = true;
               });
    const int nPort = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    UseServers("http://127.0.0.1:" + std::to_string(nPort) + "/lists/");

    CBoxAnswerer answerer;
    int nResult = 0;
    {
        CUpdateDlg dlg;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout,
                         [&dlg]
                         {
                             if (dlg.isVisible() && dlg.GetTotal() == 2)
                                 QTest::mouseClick(&dlg.GetCancelButton(), Qt::LeftButton);
                         });
        poll.start(20);
        nResult = Run(dlg);
        EXPECT_TRUE(dlg.IsCancelled());
        // The answers arrive while the cancelled dialog still exists, and find no receiver.
        bRelease = true;
        EXPECT_TRUE(PumpEventsUntil([&bAnswered] { return bAnswered.load(); }));
        PumpEventsUntil([] { return false; }, 1);
    }
    server.stop();
    serving.join();

    EXPECT_EQ(nResult, CUpdateDlg::RESULT_CANCEL);
    EXPECT_EQ(answerer.m_boxes, std::vector<std::string>{std::string("4: ") + kQuestion});
    EXPECT_FALSE(HasResFile("SearchSettings.txt"));
    EXPECT_FALSE(HasResFile("News.txt"));
    EXPECT_TRUE(m_ends.empty());
}

} // namespace
