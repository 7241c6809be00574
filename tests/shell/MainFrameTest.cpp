// The main frame on the offscreen platform with the real tree, player view (headless player) and
// search bar: the size rule, the layout, the message protocol driven by message names, the
// painted surface, and the start-up decisions (updater hand-over, first run, splash).
#include "shell/MainFrame.h"

#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "host/WMPPlayer4.h"
#include "net/UpdateDlg.h"
#include "platform/StoreFile.h"
#include "platform/WindowMessage.h"
#include "shell/MyDlgBar.h"
#include "shell/TelvaneDoc.h"
#include "shell/TelvaneView.h"
#include "skin/SkinInfo.h"
#include "skin/SplashDlg.h"
#include "skin/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolTip>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace
{

std::string Str(const CMyString& str)
{
    return str.IsEmpty() ? std::string() : std::string(str.GetBuffer());
}

// Counts the mouse presses and context-menu requests that reach it.
class CClickProbe : public QWidget
{
public:
    explicit CClickProbe(QWidget* pParent) : QWidget(pParent) {}
    int m_nPresses = 0;
    int m_nContextMenus = 0;

protected:
    void mousePressEvent(QMouseEvent* /*pEvent*/) override { ++m_nPresses; }
    void contextMenuEvent(QContextMenuEvent* /*pEvent*/) override { ++m_nContextMenus; }
};

class MainFrameTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        // Not a first run: the frame shows its splash and makes its window.
        Store("Copy Settings", "FALSE");
    }
    void TearDown() override
    {
        m_pFrame.reset();
        m_pDocument.reset();
        ScratchHome::TearDown();
    }

    static void Store(const char* pszName, const char* pszValue)
    {
        ASSERT_EQ(CStoreFile().WriteValue("SOFTWARE\\ORVANTA", pszName, pszValue), 0);
    }
    void WriteList(const std::string& strName, const std::string& strText)
    {
        Write("data/ORVANTA/res/" + strName, CFileHandler::Scramble(strText));
    }
    // One category "News" with the stations BBC and CNN.
    void WriteDirectory()
    {
        WriteList("MoviesSettings.txt", "<M><VERSION>1</VERSION><MOVIES><CATEGORY><NAME>News"
                                        "</NAME><FILE_NAME>news.txt</FILE_NAME></CATEGORY>"
                                        "</MOVIES></M>");
        WriteList("news.txt", "<CAT><VERSION>1</VERSION><MENU><CAPTION>World</CAPTION>"
                              "<MENU_ITEM><CAPTION>BBC</CAPTION><URL>http://bbc/</URL></MENU_ITEM>"
                              "<MENU_ITEM><CAPTION>CNN</CAPTION><URL>http://cnn/</URL></MENU_ITEM>"
                              "</MENU></CAT>");
    }
    CMainFrame& MakeFrame(const QRect& rcWorkArea = QRect(0, 0, 1920, 1040))
    {
        m_pDocument = std::make_unique<CTelvaneDoc>();
        m_pFrame = std::make_unique<CMainFrame>();
        m_pFrame->SetWorkArea(rcWorkArea);
        EXPECT_TRUE(m_pFrame->LoadFrame(m_pDocument.get()));
        return *m_pFrame;
    }
    void Post(uint32_t uMessage, uintptr_t wParam, intptr_t lParam = 0)
    {
        ASSERT_TRUE(PostWindowMessage(m_pFrame.get(), uMessage, wParam, lParam));
        QCoreApplication::processEvents();
    }
    // Waits for the tree's own report that it has loaded, which takes the splash away.
    bool WaitForTree()
    {
        return PumpEventsUntil([this] { return m_pFrame->GetSplash() == nullptr; }, 10);
    }

    std::unique_ptr<CTelvaneDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pFrame;
};

TEST(MainFrameSizeRule, CentredPreferredSizeOrTheWholeWorkArea)
{
    EXPECT_EQ(CMainFrame::ComputeWindowRect(QRect(0, 0, 800, 600), false), QRect(0, 0, 800, 600));
    EXPECT_EQ(CMainFrame::ComputeWindowRect(QRect(0, 0, 1920, 1040), false),
              QRect(455, 200, 1010, 640));
    // A panel along the top moves the work area; the window is centred inside it.
    EXPECT_EQ(CMainFrame::ComputeWindowRect(QRect(0, 32, 1920, 1048), false),
              QRect(455, 236, 1010, 640));
    // Only one side smaller than the preferred size.
    EXPECT_EQ(CMainFrame::ComputeWindowRect(QRect(0, 0, 1280, 600), false),
              QRect(135, 0, 1010, 600));
    EXPECT_EQ(CMainFrame::ComputeWindowRect(QRect(0, 0, 1920, 1040), true), QRect(0, 0, 1, 1));
}

TEST(MainFrameLayout, BottomStripAndBannerForClientHeight600)
{
    const CMainFrame::CFrameLayout layout =
        CMainFrame::ComputeLayout(1000, 600, QMargins(20, 30, 20, 84));
    EXPECT_EQ(layout.rcSplitter, QRect(20, 30, 960, 486));
    EXPECT_EQ(layout.ptPresets, QPoint(15, 530));
    EXPECT_EQ(layout.nControlsTop, 535);
    EXPECT_EQ(layout.rcBanner, QRect(498, 510, 510, 80));
    EXPECT_EQ(layout.rcBannerFrame.nLeft, 510);
    EXPECT_EQ(layout.rcBannerFrame.nTop, 526);
    EXPECT_EQ(layout.rcBannerFrame.nRight, 981);
    EXPECT_EQ(layout.rcBannerFrame.nBottom, 590);
}

TEST_F(MainFrameTest, WindowFollowsTheSizeRuleAndPlacesItsParts)
{
    CMainFrame& frame = MakeFrame(QRect(0, 0, 800, 600));
    EXPECT_EQ(frame.geometry(), QRect(0, 0, 800, 600));
    EXPECT_TRUE(frame.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(frame.isVisible()) << "the application shows the frame";

    frame.resize(1000, 600);
    frame.show();
    QCoreApplication::processEvents();
    ASSERT_NE(frame.GetSplitter(), nullptr);
    EXPECT_EQ(frame.GetSplitter()->geometry(), QRect(20, 30, 960, 486));
    EXPECT_EQ(frame.GetSplitter()->widget(0), frame.GetTreeView());
    EXPECT_EQ(frame.GetSplitter()->widget(1), frame.GetPlayerView());
    EXPECT_EQ(frame.GetSplitter()->sizes().value(0), CMainFrame::TREE_IDEAL_WIDTH);
    ASSERT_NE(frame.GetSearchBar(), nullptr);
    EXPECT_EQ(frame.GetSearchBar()->geometry().left(), 0);
    EXPECT_EQ(frame.GetSearchBar()->width(), 1000);
    EXPECT_EQ(frame.GetSearchBar()->parentWidget(), &frame);

    // Wider window: the tree keeps its column, the player view takes the rest.
    frame.resize(1200, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.GetSplitter()->geometry(), QRect(20, 30, 1160, 586));
    EXPECT_EQ(frame.GetSplitter()->sizes().value(0), CMainFrame::TREE_IDEAL_WIDTH);

    // Tooltips in the skin's colours; both views know the document.
    const CSkinInfo* pSkin = GetSkinInfo();
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), SkinColor(pSkin->m_clrTooltipBg));
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText), SkinColor(pSkin->m_clrTooltipText));
    EXPECT_EQ(m_pDocument->GetViewCount(), 2u);
}

TEST_F(MainFrameTest, SplashGoesAtTheTreesFirstReportOnlyAndUnknownCodesAreIgnored)
{
    CMainFrame& frame = MakeFrame();
    QPointer<CSplashDlg> pSplash = frame.GetSplash();
    ASSERT_FALSE(pSplash.isNull());
    EXPECT_TRUE(pSplash->isVisible());
    ASSERT_TRUE(WaitForTree());
    EXPECT_TRUE(pSplash.isNull());

    // A second report, and codes nobody defined, change nothing and answer 0.
    Post(CMainFrame::MessageForMainFrame(), CMainFrame::CODE_TREE_LOADED);
    EXPECT_EQ(frame.GetSplash(), nullptr);
    frame.show();
    EXPECT_EQ(SendWindowMessage(&frame, CMainFrame::MessageForMainFrame(), 4242, 7), 0);
    EXPECT_EQ(SendWindowMessage(&frame, CMainFrame::MessageFromDlg(), 4242, 0), 0);
    EXPECT_EQ(SendWindowMessage(&frame, CMyOwnButton::TwoStateClickedMessage(),
                                reinterpret_cast<uintptr_t>(&frame), 0),
              0);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.windowState(), Qt::WindowNoState);
}

TEST_F(MainFrameTest, TreeSearchSelectionKeysVolumeAndMuteReachTheirParts)
{
    WriteDirectory();
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitForTree());
    CFolderTreeView* pTree = frame.GetTreeView();
    CTelvaneView* pView = frame.GetPlayerView();
    ASSERT_GT(pTree->GetDirectory().GetCount(), 2u);

    // 1035: the tree searches; its selection change (1042) makes the station current.
    Post(CMainFrame::MessageFromDlg(), CMainFrame::CODE_SEARCH_TREE,
         reinterpret_cast<intptr_t>(new CMyString("CNN")));
    ASSERT_TRUE(
        PumpEventsUntil([&] { return Str(pView->GetStation().m_strUrl) == "http://cnn/"; }));
    EXPECT_EQ(Str(pView->GetStation().m_strPath), "World/CNN");

    // Previous (1031) and Next (1030) step through the stations.
    frame.OnCommand(CMainFrame::ID_PREVIOUS);
    ASSERT_TRUE(
        PumpEventsUntil([&] { return Str(pView->GetStation().m_strUrl) == "http://bbc/"; }));
    frame.OnCommand(CMainFrame::ID_NEXT);
    ASSERT_TRUE(
        PumpEventsUntil([&] { return Str(pView->GetStation().m_strUrl) == "http://cnn/"; }));

    // A key that reaches the frame is the tree's: Up moves its selection back to BBC.
    QKeyEvent keyUp(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(&frame, &keyUp);
    ASSERT_TRUE(
        PumpEventsUntil([&] { return Str(pView->GetStation().m_strUrl) == "http://bbc/"; }));

    // Volume: read at creation (default 50), then each slider step (1068).
    ASSERT_NE(pView->GetPlayer(), nullptr);
    EXPECT_EQ(pView->GetPlayer()->GetVolume(), 50);
    Post(CMainFrame::MessageForMainFrame(), CMainFrame::CODE_VOLUME_LEVEL, 30);
    EXPECT_EQ(pView->GetPlayer()->GetVolume(), 30);

    // Mute toggles the player and is stored at once.
    frame.OnCommand(CMainFrame::ID_MUTE);
    EXPECT_TRUE(frame.IsMute());
    EXPECT_TRUE(pView->GetPlayer()->GetMute());
    EXPECT_TRUE(Settings().GetMute());
    frame.OnCommand(CMainFrame::ID_MUTE);
    EXPECT_FALSE(pView->GetPlayer()->GetMute());
    EXPECT_FALSE(Settings().GetMute());
}

TEST_F(MainFrameTest, TreeSearchStringIsTakenOverEvenWithAnEmptyTree)
{
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitForTree());
    // The empty tree offers a web search; decline it whenever it shows.
    int nOffers = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout,
                     [&nOffers]
                     {
                         if (QWidget* pModal = QApplication::activeModalWidget())
                         {
                             ++nOffers;
                             pModal->close();
                         }
                     });
    closer.start(20);
    // The string belongs to the frame now; the sanitizer build reports it if it leaks.
    Post(CMainFrame::MessageFromDlg(), CMainFrame::CODE_SEARCH_TREE,
         reinterpret_cast<intptr_t>(new CMyString("nothing")));
    // A tree search without a string does nothing.
    Post(CMainFrame::MessageFromDlg(), CMainFrame::CODE_SEARCH_TREE, 0);
    EXPECT_LE(nOffers, 1);
    EXPECT_EQ(frame.GetTreeView()->GetSelectedItem(), nullptr);
}

TEST_F(MainFrameTest, CaptionCodesCloseMinimiseMaximiseAndRestore)
{
    CMainFrame& frame = MakeFrame();
    frame.show();
    CMyOwnButton& maximize = frame.GetSearchBar()->GetMaximizeButton();
    const uint32_t uFromDlg = CMainFrame::MessageFromDlg();

    Post(uFromDlg, CMainFrame::ID_MAXIMIZE);
    EXPECT_TRUE(frame.windowState() & Qt::WindowMaximized);
    EXPECT_NE(Str(maximize.GetPicture()).find("Restore"), std::string::npos);
    Post(uFromDlg, CMainFrame::ID_MAXIMIZE);
    EXPECT_EQ(frame.windowState(), Qt::WindowNoState);
    EXPECT_NE(Str(maximize.GetPicture()).find("Maximize"), std::string::npos);

    // While minimised, maximise/restore does nothing.
    Post(uFromDlg, CMainFrame::ID_MINIMIZE);
    EXPECT_TRUE(frame.windowState() & Qt::WindowMinimized);
    Post(uFromDlg, CMainFrame::ID_MAXIMIZE);
    EXPECT_EQ(frame.windowState(), Qt::WindowMinimized);
    EXPECT_NE(Str(maximize.GetPicture()).find("Maximize"), std::string::npos);

    frame.showNormal();
    Post(uFromDlg, CMainFrame::ID_CLOSE);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.GetSplash(), nullptr);
}

TEST_F(MainFrameTest, RightClicksOpenNoContextMenuAnywhere)
{
    CMainFrame& frame = MakeFrame();
    auto* pProbe = new CClickProbe(frame.GetPlayerView());
    const QPointF ptAt(2, 2);
    QMouseEvent rightPress(QEvent::MouseButtonPress, ptAt, pProbe->mapToGlobal(ptAt),
                           Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QContextMenuEvent contextMenu(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QMouseEvent leftPress(QEvent::MouseButtonPress, ptAt, pProbe->mapToGlobal(ptAt), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pProbe, &rightPress);
    QApplication::sendEvent(pProbe, &contextMenu);
    QApplication::sendEvent(frame.GetTreeView()->viewport(), &contextMenu);
    EXPECT_EQ(pProbe->m_nPresses, 0);
    EXPECT_EQ(pProbe->m_nContextMenus, 0);
    QApplication::sendEvent(pProbe, &leftPress);
    EXPECT_EQ(pProbe->m_nPresses, 1) << "left clicks pass";

    // Once the frame is gone, right clicks reach widgets again.
    m_pFrame.reset();
    CClickProbe other(nullptr);
    QApplication::sendEvent(&other, &rightPress);
    EXPECT_EQ(other.m_nPresses, 1);
}

TEST_F(MainFrameTest, SurfaceIsPaintedFromTheSkinPictures)
{
    CInstallPathScope install(Path("install"));
    WritePicture(Path("install/res/skin/CornerLeft.gif"), 30, 20, Qt::red);
    CMainFrame& frame = MakeFrame(QRect(0, 0, 800, 600));
    const QImage image = Snapshot(frame);
    ASSERT_EQ(image.size(), QSize(800, 600));
    EXPECT_TRUE(IsNear(PixelAt(image, 3, 597), Qt::red));
    // The control strip above the bottom edge, which holds no controls yet, shows the skin's
    // main background colour.
    EXPECT_TRUE(IsNear(PixelAt(image, 400, 560), SkinColor(GetSkinInfo()->m_clrMainBg)));
}

// The start-up decisions of the frame's construction.
class MainFrameStartup : public ScratchHome
{
protected:
    static void Store(const char* pszName, const char* pszValue)
    {
        ASSERT_EQ(CStoreFile().WriteValue("SOFTWARE\\ORVANTA", pszName, pszValue), 0);
    }
    CMainFrame::CStartupHooks Hooks()
    {
        CMainFrame::CStartupHooks hooks;
        hooks.exitProcess = [this](int nCode) { m_nExitCode = nCode; };
        hooks.runUpdateDialog = [this](CUpdateDlg& dialog)
        {
            m_nDialogRuns++;
            m_bDialogFirstRun = dialog.m_bFirstRun;
            return 0;
        };
        return hooks;
    }
    void WriteInstallation()
    {
        Write("install/res/ServerSettings.txt", "servers");
        Write("install/res/skin/Play.gif", "picture");
        Store("Install Path", Path("install").c_str());
    }
    bool Exists(const std::string& strName) const { return std::filesystem::exists(Path(strName)); }

    int m_nExitCode = -1;
    int m_nDialogRuns = 0;
    bool m_bDialogFirstRun = false;
};

TEST_F(MainFrameStartup, FirstRunCopiesTheInstalledListsAndRunsTheFirstRunDialog)
{
    WriteInstallation();
    CMainFrame frame(Hooks());
    EXPECT_TRUE(frame.IsFirstRun());
    EXPECT_EQ(m_nDialogRuns, 1);
    EXPECT_TRUE(m_bDialogFirstRun);
    EXPECT_EQ(Read("data/ORVANTA/res/ServerSettings.txt"), "servers");
    EXPECT_EQ(Read("data/ORVANTA/res/skin/Play.gif"), "picture");
    EXPECT_EQ(frame.GetSplash(), nullptr);
    EXPECT_EQ(m_nExitCode, -1);
    // The first run makes no window.
    CTelvaneDoc document;
    EXPECT_FALSE(frame.LoadFrame(&document));
    EXPECT_EQ(frame.GetTreeView(), nullptr);
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(MainFrameStartup, LaterRunsShowTheSplashAndCopyNothing)
{
    WriteInstallation();
    Store("Copy Settings", "FALSE");
    CMainFrame frame(Hooks());
    EXPECT_FALSE(frame.IsFirstRun());
    EXPECT_EQ(m_nDialogRuns, 0);
    ASSERT_NE(frame.GetSplash(), nullptr);
    EXPECT_TRUE(frame.GetSplash()->isVisible());
    EXPECT_FALSE(Exists("data/ORVANTA/res/ServerSettings.txt"));
}

TEST_F(MainFrameStartup, PendingInstallHandsOverToTheUpdaterOnlyWhenItIsThere)
{
    Store("Copy Settings", "FALSE");
    Store("Install Needed", "TRUE");
    {
        // Without the updater, start-up goes on.
        CMainFrame frame(Hooks());
        EXPECT_EQ(m_nExitCode, -1);
        EXPECT_NE(frame.GetSplash(), nullptr);
    }

    const std::string strMarker = Path("updater-ran");
    Write("data/ORVANTA/res/Update.exe", "#!/bin/sh\ntouch '" + strMarker + "'\n");
    chmod(Path("data/ORVANTA/res/Update.exe").c_str(), 0755);
    CMainFrame frame(Hooks());
    EXPECT_EQ(m_nExitCode, 0);
    EXPECT_EQ(frame.GetSplash(), nullptr);
    EXPECT_EQ(m_nDialogRuns, 0);
    EXPECT_TRUE(PumpEventsUntil([&] { return std::filesystem::exists(strMarker); }, 10));
}

} // namespace
