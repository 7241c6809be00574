// The search bar on the offscreen platform, in a stand-in frame, driven with real clicks; its
// silent update check asks a list server on 127.0.0.1.
#include "shell/MyDlgBar.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "skin/MenuXP.h"
#include "skin/WidgetTestSupport.h"
#include "window/WindowTestSupport.h"

#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

namespace
{
// Messages to the frame: code and text.
using Sent = std::vector<std::pair<uintptr_t, std::string>>;

class MyDlgBarTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        Write("data/ORVANTA/res/SearchSettings.txt",
              CFileHandler::Scramble(
                  "<SEARCH><LIST_OF_SEARCH_ENGINES><SEARCH_ENGINE><CAPTION>Finder</CAPTION>"
                  "<PREFIX>https://find.example/?q=TERM</PREFIX>"
                  "<SEARCH_TERM_TO_REPLACE>TERM</SEARCH_TERM_TO_REPLACE>"
                  "<EMPTY_SEARCH_URL>https://find.example/</EMPTY_SEARCH_URL></SEARCH_ENGINE>"
                  "<SEPARATOR></SEPARATOR><SEARCH_ENGINE><CAPTION>A Much Longer Engine Caption"
                  "</CAPTION><PREFIX>https://other.example/s?x=TERM&amp;y=TERM</PREFIX>"
                  "<SEARCH_TERM_TO_REPLACE>TERM</SEARCH_TERM_TO_REPLACE></SEARCH_ENGINE>"
                  "</LIST_OF_SEARCH_ENGINES></SEARCH>"));
    }
    void TearDown() override
    {
        m_pBar.reset();
        ScratchHome::TearDown();
    }
    CMyDlgBar& MakeBar()
    {
        m_frame.resize(1010, 640);
        m_pBar = std::make_unique<CMyDlgBar>();
        EXPECT_TRUE(m_pBar->Create(&m_frame, CMyDlgBar::IDD_SEARCH_BAR, 0, 144));
        m_pBar->setGeometry(0, 0, 1010, m_pBar->height());
        m_frame.show();
        return *m_pBar;
    }
    Sent Messages() // since the last call
    {
        QCoreApplication::processEvents();
        return std::exchange(m_frame.m_messages, {});
    }
    // Clicks the Search button's arrow, then the command in the menu (none: closes it); answers
    // the menu's default item.
    uint32_t ChooseEngine(uint32_t uCommand)
    {
        QTimer::singleShot(50, [this, uCommand] { ClickInMenu(uCommand); });
        CMyOwnButton& button = m_pBar->GetSearchButton();
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(button.width() - 5, 5));
        return m_uMenuDefault;
    }
    void ClickInMenu(uint32_t uCommand)
    {
        auto* pMenu = dynamic_cast<CMenuXP*>(QApplication::activePopupWidget());
        ASSERT_NE(pMenu, nullptr);
        m_uMenuDefault = pMenu->GetMenuDefaultItem();
        m_nMenuItems = pMenu->GetItemCount();
        for (int32_t i = 0; uCommand != 0 && i < m_nMenuItems; ++i)
            if (pMenu->GetItem(i) && pMenu->GetItem(i)->m_nID == uCommand)
            {
                QTest::mouseMove(pMenu, pMenu->GetItemRect(i).center());
                return QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->GetItemRect(i).center());
            }
        pMenu->close();
    }
    // A list server whose update list offers the given text; the bar's check finds it.
    std::unique_ptr<CListServer> ServeUpdates(const std::string& strUpdates)
    {
        std::unique_ptr<CListServer> pServer(new CListServer(
            {{"UpdateSettings.txt", "<U>" + strUpdates +
                                        "<EXE_UPDATE><VERSION>1.19</VERSION><NAME>"
                                        "http://new.example/orvanta</NAME></EXE_UPDATE></U>"}}));
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + pServer->Url() + "</URL></L>"));
        Settings().SetProgramVersion("1.18");
        return pServer;
    }

    CFrameStandIn m_frame;
    std::unique_ptr<CMyDlgBar> m_pBar;
    int m_nMenuItems = 0;
    uint32_t m_uMenuDefault = 0;
};

TEST(MyDlgBarIsUrlTest, AddressesAreTakenAsTyped)
{
    for (const char* pszText : {"http://example.com", "HTTP://Example.com/a?b=c", "www.example.org",
                                "WWW.x", "see:ftp://files.example", "ftp://host"})
        EXPECT_TRUE(CMyDlgBar::IsUrl(pszText)) << pszText;
    for (const char* pszText : {"", "example.com", "https://secure.example", "http://a b",
                                "www.a b", " www.x", "news about http://x"})
        EXPECT_FALSE(CMyDlgBar::IsUrl(pszText)) << pszText;
}

TEST_F(MyDlgBarTest, RequestsFollowTheEngineAndTheTextAndTheCaptionPostsAndDrags)
{
    CMyDlgBar& bar = MakeBar();
    ASSERT_EQ(bar.GetEngines().GetCount(), 3);
    EXPECT_EQ(bar.GetSelectedEngine(), 100);
    // The built-in engine searches the tree for anything but nothing.
    bar.GetEditBox().setText("http://example.com");
    QTest::keyClick(&bar.GetEditBox(), Qt::Key_Return);
    EXPECT_EQ(Messages(), (Sent{{CODE_SEARCH_TREE, "http://example.com"}}));
    // Only the edit box searches with Enter: a focused button used to search too.
    bar.GetSearchButton().setFocus();
    QTest::keyClick(&bar.GetSearchButton(), Qt::Key_Return);
    QTest::keyClick(&bar.GetSearchButton(), Qt::Key_Enter);
    EXPECT_TRUE(Messages().empty());
    bar.GetEditBox().clear();
    bar.DoSearch();
    EXPECT_TRUE(Messages().empty());
    // A web engine: addresses open as typed, everything else becomes the engine's query.
    bar.SelectEngine(1);
    EXPECT_EQ(bar.GetSelectedEngine(), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"www.example.com", "www.example.com"},
        {"example.com", "https://find.example/?q=example%2Ecom"},
        {"https://secure.example", "https://find.example/?q=https%3A%2F%2Fsecure%2Eexample"},
        {"", "https://find.example/"}};
    for (const auto& [pszText, pszRequest] : cases)
    {
        bar.GetEditBox().setText(pszText);
        bar.DoSearch();
        EXPECT_EQ(Messages(), (Sent{{CODE_OPEN_ADDRESS, pszRequest}})) << pszText;
    }
    // The frame's web request always takes the first engine, whatever is selected.
    bar.SelectEngine(3);
    bar.GetEditBox().setText("a b");
    EXPECT_STREQ(bar.GetWebSearchRequest().GetBuffer(), "https://find.example/?q=a+b");
    CMyString strRequest;
    ASSERT_TRUE(bar.BuildSearchRequest(strRequest, false));
    EXPECT_STREQ(strRequest.GetBuffer(), "https://other.example/s?x=a+b&y=a+b");
    // The caption's buttons post to the frame; a double click on the bar maximises.
    QTest::mouseClick(&bar.GetCloseButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(&bar.GetMinimizeButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(&bar.GetMaximizeButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseDClick(&bar, Qt::LeftButton, {}, QPoint(600, 3));
    EXPECT_EQ(Messages(),
              (Sent{{ID_CLOSE, ""}, {ID_MINIMIZE, ""}, {ID_MAXIMIZE, ""}, {ID_MAXIMIZE, ""}}));
    // The window follows the pointer while the button is down; a caption button drags nothing.
    m_frame.move(100, 100);
    const QPoint moved = m_frame.pos() + QPoint(30, 20);
    auto send = [](QWidget* pWidget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, pt, pWidget->mapToGlobal(pt),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(pWidget, &event);
    };
    send(&bar, QEvent::MouseButtonPress, QPoint(600, 5), Qt::LeftButton);
    send(&bar, QEvent::MouseMove, QPoint(630, 25), Qt::LeftButton);
    EXPECT_EQ(m_frame.pos(), moved);
    send(&bar, QEvent::MouseMove, QPoint(600, 5), Qt::LeftButton);
    send(&bar, QEvent::MouseButtonRelease, QPoint(610, 5), Qt::NoButton);
    send(&bar, QEvent::MouseMove, QPoint(650, 5), Qt::LeftButton);
    CMyOwnButton& close = bar.GetCloseButton();
    send(&close, QEvent::MouseButtonPress, QPoint(8, 8), Qt::LeftButton);
    send(&close, QEvent::MouseMove, QPoint(40, 40), Qt::LeftButton);
    send(&close, QEvent::MouseButtonRelease, QPoint(40, 40), Qt::NoButton);
    EXPECT_EQ(m_frame.pos(), moved);
}

TEST_F(MyDlgBarTest, WithoutSearchSettingsOnlyTheTreeCanBeSearched)
{
    std::filesystem::remove(Path("data/ORVANTA/res/SearchSettings.txt"));
    CMyDlgBar& bar = MakeBar();
    EXPECT_EQ(bar.GetEngines().GetCount(), 0);
    bar.GetEditBox().setText("news");
    EXPECT_TRUE(bar.GetWebSearchRequest().IsEmpty());
    EXPECT_EQ(ChooseEngine(0), 100u);
    EXPECT_EQ(m_nMenuItems, 2); // the side bar and the built-in entry
    EXPECT_EQ(bar.GetSelectedEngine(), 100);
}

TEST_F(MyDlgBarTest, EngineMenuChoosesWithoutSearchingAndGuardsTheNextClick)
{
    CMyDlgBar& bar = MakeBar();
    CMyOwnButton& search = bar.GetSearchButton();
    const int nSearchLeft = search.x();
    // With an empty box, choosing only changes the button, fitted to its caption.
    EXPECT_EQ(ChooseEngine(3), 100u);
    EXPECT_EQ(bar.GetSelectedEngine(), 2);
    EXPECT_EQ(search.text(), "A Much Longer Engine Caption");
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    EXPECT_EQ(search.width(), QFontMetrics(font).horizontalAdvance(search.text()) + 52);
    EXPECT_EQ(search.x(), nSearchLeft);
    EXPECT_FALSE(search.IsArrowDown());
    EXPECT_TRUE(Messages().empty());
    // A click right after the menu closed is the same press: ignored. A later one searches.
    bar.GetEditBox().setText("tv");
    QTest::mouseClick(&search, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Messages().empty());
    QTest::qWait(250);
    QTest::mouseClick(&search, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Messages(), (Sent{{CODE_OPEN_ADDRESS, "https://other.example/s?x=tv&y=tv"}}));
    // The selected engine is the menu's default; choosing it again does not search.
    QTest::qWait(250);
    EXPECT_EQ(ChooseEngine(3), 3u);
    EXPECT_TRUE(Messages().empty());
    // Another engine with text in the box searches at once.
    QTest::qWait(250);
    ChooseEngine(100);
    EXPECT_EQ(search.text(), "Search");
    EXPECT_EQ(Messages(), (Sent{{CODE_SEARCH_TREE, "tv"}}));
}

// The silent check two seconds after the start finds newer lists and a newer program while the
// window goes on handling events.
TEST_F(MyDlgBarTest, SilentCheckShowsNoticesRightOfSearchThatBlinkTwentyTimesAndStay)
{
    const auto pServer = ServeUpdates("<SEARCH_SETTINGS><VERSION>9.0</VERSION><NAME>"
                                      "SearchSettings.txt</NAME></SEARCH_SETTINGS>");
    const auto start = std::chrono::steady_clock::now();
    CMyDlgBar& bar = MakeBar();
    EXPECT_TRUE(bar.IsStartCheckScheduled() && bar.GetListsNotice().isHidden());
    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&nTicks] { ++nTicks; });
    ticker.start(20);
    ASSERT_TRUE(PumpEventsUntil([&bar] { return bar.GetNotices() != 0; }, 15));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    EXPECT_GT(nTicks, 50);
    EXPECT_EQ(bar.GetNotices(), 3u);
    EXPECT_EQ(pServer->Requests().at("UpdateSettings.txt"), 1);
    const QRect search = bar.GetSearchButton().geometry();
    const QRect lists = bar.GetListsNotice().geometry();
    const QRect version = bar.GetVersionNotice().geometry();
    EXPECT_TRUE(bar.GetVersionNotice().isVisible());
    EXPECT_EQ(lists.topLeft(), QPoint(search.right() + 1 + 5, search.top()));
    EXPECT_EQ(version.topLeft(), QPoint(lists.right() + 1 + 5, search.top()));
    // The title fills the room between them and the caption buttons.
    const QRect title = bar.GetTitleControl().geometry();
    EXPECT_EQ(title.left(), version.right() + 1 + 10);
    EXPECT_EQ(title.right() + 1, bar.GetMinimizeButton().x() - 10);
    // A resize places them by the same rule (it used to put them 4 apart).
    bar.resize(bar.width() - 100, bar.height());
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.GetListsNotice().geometry(), lists);
    EXPECT_EQ(bar.GetVersionNotice().geometry(), version);
    // Inverted face (bottom colour on top) while blinking; the normal face after the 20 ticks.
    const CButtonColorSet& colors = GetSkinInfo()->m_ToolbarButtons;
    auto topColour = [&bar] { return PixelAt(Snapshot(bar.GetListsNotice()), 5, 2); };
    EXPECT_TRUE(IsNear(topColour(), SkinColor(colors.m_clrNormalBottom), 20));
    const auto blinkStart = std::chrono::steady_clock::now();
    uint32_t uHighest = 0;
    ASSERT_TRUE(PumpEventsUntil(
        [&]
        {
            uHighest = std::max(uHighest, bar.GetBlinkCount());
            return !bar.IsBlinking();
        },
        15));
    EXPECT_EQ(uHighest, 19u);
    EXPECT_GE(std::chrono::steady_clock::now() - blinkStart, std::chrono::milliseconds(19 * 300));
    EXPECT_TRUE(bar.GetListsNotice().isVisible());
    EXPECT_TRUE(IsNear(topColour(), SkinColor(colors.m_clrNormalTop), 20));
    // The frame opens the version notice's address; the lists notice, the update dialog.
    QTest::mouseClick(&bar.GetVersionNotice(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Messages(), (Sent{{CODE_OPEN_ADDRESS, "http://new.example/orvanta"}}));
    QWidget* pOpenedFor = nullptr;
    bar.SetUpdateDialogOpener([&pOpenedFor](QWidget* pParent) { pOpenedFor = pParent; });
    QTest::mouseClick(&bar.GetListsNotice(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(pOpenedFor, &m_frame);
}

// The check's answer is queued while the window handles no events, and the bar goes first: the
// answer finds it gone (the sanitizer build reports a use of the destroyed bar).
TEST_F(MyDlgBarTest, BarClosedBeforeTheCheckAnswersReceivesNothing)
{
    const auto pServer = ServeUpdates("");
    MakeBar();
    ASSERT_TRUE(
        PumpEventsUntil([&] { return pServer->Requests().count("UpdateSettings.txt"); }, 15));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    m_pBar.reset();
    QTest::qWait(200);
    EXPECT_TRUE(m_frame.m_messages.empty());
}
} // namespace
