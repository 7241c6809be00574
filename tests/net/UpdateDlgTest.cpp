#include "net/UpdateDlg.h"
#include "ListServer.h"
#include "net/TestHttpServer.h"
#include "skin/MyMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace
{
const char* const kQuestion = "4: Updates Are Available.\nWhould You Like To Update Now?";
const char* const kDescription =
    "<UPDATES><SEARCH_SETTINGS><VERSION>1.18</VERSION><NAME>SearchSettings.txt</NAME>"
    "</SEARCH_SETTINGS><CATEGORY><VERSION>1.0</VERSION><NAME>News.txt</NAME></CATEGORY>"
    "</UPDATES>";

class UpdateDlgTest : public ListsHome
{
protected:
    // Every message box that opens is recorded as "<type>: <text>" and answered by a click on
    // Yes or OK.
    void SetUp() override
    {
        ListsHome::SetUp();
        QObject::connect(&m_answerer, &QTimer::timeout,
                         [this]
                         {
                             for (QWidget* pWidget : QApplication::topLevelWidgets())
                                 if (auto* pBox = dynamic_cast<CMyMessageBox*>(pWidget);
                                     pBox != nullptr && pBox->isVisible())
                                     Answer(*pBox);
                         });
        m_answerer.start(20);
    }
    void Answer(CMyMessageBox& box)
    {
        m_boxes.push_back(std::to_string(box.GetType()) + ": " +
                          box.GetTextControl().text().toStdString());
        QTest::mouseClick(box.GetType() == CMyMessageBox::TYPE_YES_NO ? &box.GetYesButton()
                                                                      : &box.GetOkButton(),
                          Qt::LeftButton);
    }
    int Run(CUpdateDlg& dlg)
    {
        dlg.SetRestartHook([this](bool bExitNow)
                           { m_ends.push_back(bExitNow ? "restart now" : "restart after quit"); });
        dlg.SetQuitHook([this] { m_ends.push_back("quit"); });
        return dlg.DoModal();
    }

    QTimer m_answerer;
    std::vector<std::string> m_boxes;
    std::vector<std::string> m_ends;
};

TEST_F(UpdateDlgTest, WithNothingToFetchOnlyOneMessageShows)
{
    const CListServer server({{"UpdateSettings.txt", kDescription}});
    m_settings.SetSearchSettingsVersion("1.18");
    m_settings.SetFileVersion("News.txt", "1.0");
    const struct
    {
        bool bFirstRun; // without a server
        const char* pszBox;
        std::vector<std::string> arrEnds;
    } cases[] = {{true,
                  "0: Couldn't get the lists from ORVANTA server for the first time\n"
                  "Check connection to the internet",
                  {"quit"}},
                 {false, "0: You Run The Most Updated Settings.", {}}};
    for (const auto& test : cases)
    {
        UseServers(!test.bFirstRun ? server.Url() : CLocalSocket(-1).Url("/lists/"));
        m_boxes.clear();
        m_ends.clear();
        CUpdateDlg dlg;
        dlg.m_bFirstRun = test.bFirstRun;
        EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CLOSED);
        EXPECT_EQ(m_boxes, std::vector<std::string>{test.pszBox});
        EXPECT_EQ(m_ends, test.arrEnds);
        EXPECT_FALSE(dlg.isVisible());
    }
    EXPECT_TRUE(m_settings.IsCopySettings()); // after the failed first run, the next is one too
}

// Once found a fault: the late answers reached a receiver that had gone.
TEST_F(UpdateDlgTest, CancelDuringSlowDownloadWritesNothingWhenTheAnswerComesLate)
{
    CTestHttpServer server; // its answers wait until released
    UseServers(server.Url("/held/lists/"));
    {
        CUpdateDlg dlg;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout,
                         [&dlg]
                         {
                             if (dlg.isVisible() && dlg.GetTotal() == 1)
                                 QTest::mouseClick(&dlg.GetCancelButton(), Qt::LeftButton);
                         });
        poll.start(20);
        EXPECT_EQ(Run(dlg), CUpdateDlg::RESULT_CANCEL);
        EXPECT_TRUE(dlg.IsCancelled());
        // The answer arrives while the cancelled dialog still exists.
        server.Release();
        EXPECT_TRUE(PumpEventsUntil([&server] { return server.HeldAnswers() == 1; }));
        PumpEventsUntil([] { return false; }, 1);
    }
    EXPECT_EQ(m_boxes, std::vector<std::string>{kQuestion});
    EXPECT_EQ(ResFile("News.txt"), "");
    EXPECT_TRUE(m_ends.empty());
}
} // namespace
