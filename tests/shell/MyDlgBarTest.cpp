// The search bar on the offscreen platform: the address test, the requests it builds, the engine
// menu driven with real clicks, the click guard, the layout, the notices and their blinking, the
// caption's messages, dragging, and the silent update check against a list server on 127.0.0.1.
#include "shell/MyDlgBar.h"
#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "platform/WindowMessage.h"
#include "skin/MenuXP.h"
#include "skin/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

namespace
{

// Stands in for the main frame: records every "ZQ m_WM_MESSAGE_FROM_DLG" by name, taking the
// string it carries as the frame would.
class CFrameStandIn : public QWidget
{
public:
    std::vector<std::pair<uint32_t, std::string>> m_messages;

protected:
    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr ||
            pMessage->GetMessage() != RegisterWindowMessage("ZQ m_WM_MESSAGE_FROM_DLG"))
            return QWidget::event(pEvent);
        std::unique_ptr<CMyString> pText(reinterpret_cast<CMyString*>(pMessage->GetLParam()));
        m_messages.emplace_back(static_cast<uint32_t>(pMessage->GetWParam()),
                                pText && !pText->IsEmpty() ? pText->GetBuffer() : "");
        return true;
    }
};

const char* const kEngines =
    "<SEARCH><VERSION>1.0</VERSION><LIST_OF_SEARCH_ENGINES>"
    "<SEARCH_ENGINE><CAPTION>Finder</CAPTION><PREFIX>https://find.example/?q=TERM</PREFIX>"
    "<SEARCH_TERM_TO_REPLACE>TERM</SEARCH_TERM_TO_REPLACE>"
    "<EMPTY_SEARCH_URL>https://find.example/</EMPTY_SEARCH_URL></SEARCH_ENGINE>"
    "<SEPARATOR></SEPARATOR>"
    "<SEARCH_ENGINE><CAPTION>A Much Longer Engine Caption</CAPTION>"
    "<PREFIX>https://other.example/s?x=TERM&amp;y=TERM</PREFIX>"
    "<SEARCH_TERM_TO_REPLACE>TERM</SEARCH_TERM_TO_REPLACE></SEARCH_ENGINE>"
    "</LIST_OF_SEARCH_ENGINES></SEARCH>";

class MyDlgBarTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        Write("data/ORVANTA/res/SearchSettings.txt", CFileHandler::Scramble(kEngines));
    }
    void TearDown() override
    {
        m_pBar.reset();
        ScratchHome::TearDown();
    }
    // The bar created in a shown stand-in frame, as the frame creates it.
    CMyDlgBar& MakeBar(int nWidth = 1010)
    {
        m_frame.resize(nWidth, 640);
        m_pBar = std::make_unique<CMyDlgBar>();
        EXPECT_TRUE(m_pBar->Create(&m_frame, CMyDlgBar::IDD_SEARCH_BAR, 0, 144));
        m_pBar->setGeometry(0, 0, nWidth, m_pBar->height());
        m_frame.show();
        return *m_pBar;
    }
    std::vector<std::pair<uint32_t, std::string>> Messages()
    {
        QCoreApplication::processEvents();
        return std::exchange(m_frame.m_messages, {});
    }
    // Presses the Search button's arrow; while the menu runs, pAction acts on it.
    void PressArrow(std::function<void(CMenuXP&)> fnAction)
    {
        QTimer::singleShot(50,
                           [fnAction]
                           {
                               auto* pMenu =
                                   dynamic_cast<CMenuXP*>(QApplication::activePopupWidget());
                               ASSERT_NE(pMenu, nullptr);
                               fnAction(*pMenu);
                           });
        CMyOwnButton& button = m_pBar->GetSearchButton();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(button.width() - 5, 5));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() - 5, 5));
    }
    static void ChooseCommand(CMenuXP& menu, uint32_t uCommand)
    {
        for (int32_t i = 0; i < menu.GetItemCount(); ++i)
            if (menu.GetItem(i) != nullptr && menu.GetItem(i)->m_nID == uCommand)
            {
                QTest::mouseMove(&menu, menu.GetItemRect(i).center());
                QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.GetItemRect(i).center());
                return;
            }
        ADD_FAILURE() << "no menu item " << uCommand;
        menu.close();
    }

    CFrameStandIn m_frame;
    std::unique_ptr<CMyDlgBar> m_pBar;
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

TEST_F(MyDlgBarTest, RequestsFollowTheEngineAndTheText)
{
    CMyDlgBar& bar = MakeBar();
    ASSERT_EQ(bar.GetEngines().GetCount(), 3);
    EXPECT_EQ(bar.GetSelectedEngine(), 100);

    // The built-in engine searches the tree for anything, addresses included.
    bar.GetEditBox().setText("http://example.com");
    QTest::keyClick(&bar.GetEditBox(), Qt::Key_Return);
    EXPECT_EQ(Messages(),
              (std::vector<std::pair<uint32_t, std::string>>{{1035, "http://example.com"}}));
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
        {"http://a b", "https://find.example/?q=http%3A%2F%2Fa+b"},
        {"", "https://find.example/"}};
    for (const auto& [pszText, pszRequest] : cases)
    {
        bar.GetEditBox().setText(pszText);
        bar.DoSearch();
        EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, std::string>>{{1034, pszRequest}}))
            << pszText;
    }

    // The frame's web request always takes the first engine, whatever is selected.
    bar.SelectEngine(3);
    bar.GetEditBox().setText("a b");
    EXPECT_STREQ(bar.GetWebSearchRequest().GetBuffer(), "https://find.example/?q=a+b");
    CMyString strRequest;
    ASSERT_TRUE(bar.BuildSearchRequest(strRequest, false));
    EXPECT_STREQ(strRequest.GetBuffer(), "https://other.example/s?x=a+b&y=a+b");
}

TEST_F(MyDlgBarTest, WithoutSearchSettingsOnlyTheTreeCanBeSearched)
{
    std::filesystem::remove(Path("data/ORVANTA/res/SearchSettings.txt"));
    CMyDlgBar& bar = MakeBar();
    EXPECT_EQ(bar.GetEngines().GetCount(), 0);
    bar.GetEditBox().setText("news");
    EXPECT_TRUE(bar.GetWebSearchRequest().IsEmpty());
    PressArrow(
        [](CMenuXP& menu)
        {
            EXPECT_EQ(menu.GetItemCount(), 2); // side bar and the built-in entry
            menu.close();
        });
    EXPECT_EQ(bar.GetSelectedEngine(), 100);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MyDlgBarTest, EngineMenuChoosesWithoutSearchingAndGuardsTheNextClick)
{
    CMyDlgBar& bar = MakeBar();
    CMyOwnButton& search = bar.GetSearchButton();
    const int nSearchLeft = search.x();

    // An empty edit box: choosing an engine only changes the button.
    uint32_t uDefault = 0;
    PressArrow(
        [&uDefault](CMenuXP& menu)
        {
            uDefault = menu.GetMenuDefaultItem();
            ChooseCommand(menu, 3);
        });
    EXPECT_EQ(uDefault, 100u);
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
    EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, std::string>>{
                              {1034, "https://other.example/s?x=tv&y=tv"}}));

    // The selected engine is the bold one; choosing it again changes nothing and searches not.
    QTest::qWait(250);
    PressArrow(
        [&uDefault](CMenuXP& menu)
        {
            uDefault = menu.GetMenuDefaultItem();
            ChooseCommand(menu, 3);
        });
    EXPECT_EQ(uDefault, 3u);
    EXPECT_TRUE(Messages().empty());

    // Another engine with text in the box searches at once.
    QTest::qWait(250);
    PressArrow([](CMenuXP& menu) { ChooseCommand(menu, 100); });
    EXPECT_EQ(search.text(), "Search");
    EXPECT_EQ(search.width(), QFontMetrics(font).horizontalAdvance("Search") + 52);
    EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, std::string>>{{1035, "tv"}}));
}

TEST_F(MyDlgBarTest, LayoutPlacesCaptionButtonsSearchGroupAndTitle)
{
    CMyDlgBar& bar = MakeBar(900);
    bar.SetTitle("ORVANTA - 1.18");
    EXPECT_EQ(bar.GetCloseButton().geometry(), QRect(900 - 17 - 17, 8, 17, 17));
    EXPECT_EQ(bar.GetMaximizeButton().geometry(), QRect(866 - 3 - 17, 8, 17, 17));
    EXPECT_EQ(bar.GetMinimizeButton().geometry(), QRect(846 - 3 - 17, 8, 17, 17));

    const QRect edit = bar.GetEditBox().geometry();
    EXPECT_EQ(edit.topLeft(), QPoint(17, 6));
    EXPECT_EQ(edit.height(), 19);
    const QRect search = bar.GetSearchButton().geometry();
    EXPECT_EQ(search.topLeft(), QPoint(17 + edit.width() + 4, 6));
    EXPECT_TRUE(bar.GetListsNotice().isHidden());
    EXPECT_TRUE(bar.GetVersionNotice().isHidden());

    const QRect title = bar.GetTitleControl().geometry();
    EXPECT_EQ(bar.GetTitleControl().text(), "ORVANTA - 1.18");
    EXPECT_EQ(title.left(), search.left() + search.width() + 10);
    EXPECT_EQ(title.left() + title.width(), 826 - 10);
    EXPECT_EQ(title.height(), QFontMetrics(bar.GetTitleControl().font()).height());
    EXPECT_EQ(title.top(), (bar.height() - title.height()) / 2);

    // The caption buttons follow the width; the maximise button changes its pictures.
    bar.resize(700, bar.height());
    EXPECT_EQ(bar.GetCloseButton().x(), 700 - 34);
    bar.SetMaximizeLook(3);
    EXPECT_NE(bar.GetMaximizeButton().GetPicture().Find("Restore"), MY_NOT_FOUND);
    bar.SetMaximizeLook(1);
    EXPECT_NE(bar.GetMaximizeButton().GetPicture().Find("Maximize"), MY_NOT_FOUND);
}

TEST_F(MyDlgBarTest, NoticesStandRightOfSearchBlinkTwentyTimesAndStay)
{
    CMyDlgBar& bar = MakeBar();
    bar.ShowNotices(3, "http://new.example/orvanta");
    const QRect search = bar.GetSearchButton().geometry();
    const QRect lists = bar.GetListsNotice().geometry();
    const QRect version = bar.GetVersionNotice().geometry();
    EXPECT_TRUE(bar.GetListsNotice().isVisible());
    EXPECT_TRUE(bar.GetVersionNotice().isVisible());
    EXPECT_EQ(lists.topLeft(), QPoint(search.left() + search.width() + 5, search.top()));
    EXPECT_EQ(version.topLeft(), QPoint(lists.left() + lists.width() + 5, search.top()));
    EXPECT_EQ(bar.GetTitleControl().x(), version.left() + version.width() + 10);

    // Inverted face (bottom colour on top) while blinking starts; normal face afterwards.
    const CButtonColorSet& colors = GetSkinInfo()->m_ToolbarButtons;
    auto topColour = [&bar] { return PixelAt(Snapshot(bar.GetListsNotice()), 5, 2); };
    EXPECT_TRUE(IsNear(topColour(), SkinColor(colors.m_clrNormalBottom), 20));

    const auto start = std::chrono::steady_clock::now();
    uint32_t uHighest = 0;
    ASSERT_TRUE(PumpEventsUntil(
        [&]
        {
            uHighest = std::max(uHighest, bar.GetBlinkCount());
            return !bar.IsBlinking();
        },
        15));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(uHighest, 19u); // the twentieth tick ends the blinking
    EXPECT_GE(elapsed, std::chrono::milliseconds(19 * 300));
    EXPECT_TRUE(bar.GetListsNotice().isVisible());
    EXPECT_TRUE(IsNear(topColour(), SkinColor(colors.m_clrNormalTop), 20));

    // The version notice has its address opened by the frame.
    QTest::mouseClick(&bar.GetVersionNotice(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Messages(), (std::vector<std::pair<uint32_t, std::string>>{
                              {1034, "http://new.example/orvanta"}}));
    // The lists notice opens the update dialog through the frame's opener.
    QWidget* pOpenedFor = nullptr;
    bar.SetUpdateDialogOpener([&pOpenedFor](QWidget* pParent) { pOpenedFor = pParent; });
    QTest::mouseClick(&bar.GetListsNotice(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(pOpenedFor, &m_frame);
}

TEST_F(MyDlgBarTest, CaptionPostsToTheFrameAndDraggingMovesIt)
{
    CMyDlgBar& bar = MakeBar();
    QTest::mouseClick(&bar.GetCloseButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(&bar.GetMinimizeButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseClick(&bar.GetMaximizeButton(), Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseDClick(&bar, Qt::LeftButton, {}, QPoint(600, 3));
    auto messages = Messages();
    EXPECT_EQ(messages, (std::vector<std::pair<uint32_t, std::string>>{
                            {1036, ""}, {1037, ""}, {1038, ""}, {1038, ""}}));

    // The window follows the pointer by each move's offset; a caption button starts no drag.
    m_frame.move(100, 100);
    const QPoint origin = m_frame.pos();
    auto sendMouse = [](QWidget* pWidget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, pt, pWidget->mapToGlobal(pt),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(pWidget, &event);
    };
    sendMouse(&bar, QEvent::MouseButtonPress, QPoint(600, 5), Qt::LeftButton);
    sendMouse(&bar, QEvent::MouseMove, QPoint(630, 25), Qt::LeftButton);
    EXPECT_EQ(m_frame.pos(), origin + QPoint(30, 20));
    sendMouse(&bar, QEvent::MouseMove, QPoint(600, 5), Qt::LeftButton);
    EXPECT_EQ(m_frame.pos(), origin + QPoint(30, 20));
    sendMouse(&bar, QEvent::MouseButtonRelease, QPoint(610, 5), Qt::NoButton);
    sendMouse(&bar, QEvent::MouseMove, QPoint(650, 5), Qt::LeftButton);
    EXPECT_EQ(m_frame.pos(), origin + QPoint(30, 20));

    CMyOwnButton& close = bar.GetCloseButton();
    sendMouse(&close, QEvent::MouseButtonPress, QPoint(8, 8), Qt::LeftButton);
    sendMouse(&close, QEvent::MouseMove, QPoint(40, 40), Qt::LeftButton);
    sendMouse(&close, QEvent::MouseButtonRelease, QPoint(40, 40), Qt::NoButton);
    EXPECT_EQ(m_frame.pos(), origin + QPoint(30, 20));
}

TEST_F(MyDlgBarTest, SilentCheckShowsNoticesWithoutBlockingTheWindow)
{
    CListServer server({{"UpdateSettings.txt",
                         "<U><SEARCH_SETTINGS><VERSION>9.0</VERSION><NAME>SearchSettings.txt</NAME>"
                         "</SEARCH_SETTINGS><EXE_UPDATE><VERSION>1.19</VERSION>"
                         "<NAME>http://new.example/orvanta</NAME></EXE_UPDATE></U>"}});
    Write("data/ORVANTA/res/ServerSettings.txt",
          CFileHandler::Scramble("<L><URL>" + server.Url() + "</URL></L>"));
    Settings().SetProgramVersion("1.18");

    const auto start = std::chrono::steady_clock::now();
    CMyDlgBar& bar = MakeBar();
    EXPECT_TRUE(bar.IsStartCheckScheduled());
    EXPECT_EQ(bar.GetNotices(), 0u);

    // The window keeps handling events while the check runs.
    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&nTicks] { ++nTicks; });
    ticker.start(20);
    ASSERT_TRUE(PumpEventsUntil([&bar] { return bar.GetNotices() != 0; }, 15));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    EXPECT_GT(nTicks, 50);
    EXPECT_EQ(bar.GetNotices(), 3u);
    EXPECT_STREQ(bar.GetNewVersionUrl().GetBuffer(), "http://new.example/orvanta");
    EXPECT_TRUE(bar.GetVersionNotice().isVisible());
    EXPECT_EQ(server.Requests().at("UpdateSettings.txt"), 1);
}

} // namespace
