#include "skin/WidgetTestSupport.h"

#include "skin/MenuXP.h"
#include "skin/MyPicture.h"
#include "text/TextTestSupport.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

namespace
{

const QColor g_clrBg(255, 255, 255);
const QColor g_clrSideBarLight(230, 240, 255);
const QColor g_clrSideBarDark(20, 30, 60);

// The number of dark pixels in the rectangle, and the leftmost column that holds any (-1: none).
std::pair<int, int> InkIn(const QImage& image, const QRect& rect)
{
    int nCount = 0;
    int nLeft = -1;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (QColor clr = PixelAt(image, x, y);
                clr.red() < 128 && clr.green() < 128 && clr.blue() < 128)
            {
                ++nCount;
                nLeft = nLeft < 0 ? x : std::min(nLeft, x);
            }
    return {nCount, nLeft};
}

class MenuXPTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_pSkin = std::make_unique<CSkinInfo>(CMyString(Path("no-skin.xml").c_str()));
        m_pSkin->m_clrMenuBg = SkinRgb(255, 255, 255);
        m_pSkin->m_clrMenuText = SkinRgb(0, 0, 0);
        m_pSkin->m_clrSideBarTop = SkinRgb(230, 240, 255);
        m_pSkin->m_clrSideBarBottom = SkinRgb(20, 30, 60);
    }

    // A menu as the search bar builds it: the side bar, then the given items.
    std::unique_ptr<CMenuXP> NewMenu()
    {
        auto pMenu = std::make_unique<CMenuXP>(*m_pSkin);
        pMenu->CreatePopupMenu();
        pMenu->SetMenuStyle(1);
        pMenu->AddSideBar(std::make_unique<CMenuXPSideBar>(16, CMyString()));
        return pMenu;
    }
    static void AddText(CMenuXP& menu, uint32_t uID, const char* pszText,
                        const std::string& strPicture = "")
    {
        menu.AppendODMenu(
            0, std::make_unique<CMenuXPText>(uID, pszText, CMyString(strPicture.c_str())));
    }

    std::unique_ptr<CSkinInfo> m_pSkin;
};

} // namespace

TEST_F(MenuXPTest, DefaultItemIsDrawnBoldWhileEveryItemIsMeasuredBold)
{
    auto pMenu = NewMenu();
    AddText(*pMenu, 1, "Station list");
    AddText(*pMenu, 2, "Web search");
    ASSERT_TRUE(pMenu->SetMenuDefaultItem(1));
    EXPECT_FALSE(pMenu->SetMenuDefaultItem(77));
    const QSize sizeFirst = pMenu->sizeHint();
    pMenu->resize(sizeFirst);
    const QRect rcFirst = pMenu->GetItemRect(1);
    const int nBold = InkIn(Snapshot(*pMenu), rcFirst).first;
    ASSERT_TRUE(pMenu->SetMenuDefaultItem(2));
    EXPECT_EQ(pMenu->sizeHint(), sizeFirst);
    EXPECT_EQ(pMenu->GetItemRect(1), rcFirst);
    const int nNormal = InkIn(Snapshot(*pMenu), rcFirst).first;
    EXPECT_GT(nBold, nNormal + nNormal / 10);
    // The widest caption, measured bold, still fits left of the item's right margin.
    QFont fontBold = QApplication::font("QMenu");
    fontBold.setWeight(QFont::Bold);
    const int nTextLeft = rcFirst.left() + rcFirst.height() + 2;
    EXPECT_LE(nTextLeft + QFontMetrics(fontBold).horizontalAdvance("Station list"),
              rcFirst.right() + 1 - 16);
}

TEST_F(MenuXPTest, PictureIsStretchedIntoTheSquareAndAMissingOneLeavesItEmptyBesideTheSideBar)
{
    const std::string strPicture = Path("wide.png");
    ASSERT_TRUE(WritePicture(strPicture, 60, 20, QColor(255, 0, 0)));
    auto pMenu = NewMenu();
    AddText(*pMenu, 1, "Wm", strPicture);
    AddText(*pMenu, 2, "Wm", Path("missing.gif"));
    AddText(*pMenu, 3, "Wm");
    pMenu->resize(pMenu->sizeHint());
    const QImage image = Snapshot(*pMenu);
    // The whole picture fills the square inside a 2-pixel margin of background.
    const QRect rcWith = pMenu->GetItemRect(1);
    const int nSquare = rcWith.height();
    ASSERT_GE(nSquare, 20);
    const QPoint ptTop = rcWith.topLeft();
    const int nMid = nSquare / 2;
    for (const auto& [pt, clr] : {std::pair{QPoint(2, nSquare - 3), QColor(Qt::red)},
                                  {QPoint(nSquare - 3, 2), QColor(Qt::red)},
                                  {QPoint(nSquare - 2, nMid), g_clrBg},
                                  {QPoint(nMid, 1), g_clrBg}})
        EXPECT_TRUE(IsNear(PixelAt(image, ptTop.x() + pt.x(), ptTop.y() + pt.y()), clr)) << pt.x();
    const QRect rcMissing = pMenu->GetItemRect(2);
    EXPECT_EQ(InkIn(image, QRect(rcMissing.topLeft(), QSize(nSquare, nSquare))).first, 0);
    // The captions start at the same place with or without a picture.
    const int nTextWith = InkIn(image, rcWith).second;
    EXPECT_EQ(InkIn(image, rcMissing).second, nTextWith);
    EXPECT_EQ(InkIn(image, pMenu->GetItemRect(3)).second, nTextWith);
    EXPECT_GE(nTextWith, ptTop.x() + nSquare + 2);
    // The side bar fills its 16 pixels and the 3-pixel gap before the items, light at the
    // bottom and dark at the top.
    const int nBottom = pMenu->GetItemRect(3).bottom();
    for (int x : {1, 16, 18})
    {
        EXPECT_TRUE(IsNear(PixelAt(image, x, nBottom), g_clrSideBarLight)) << x;
        EXPECT_TRUE(IsNear(PixelAt(image, x, ptTop.y()), g_clrSideBarDark)) << x;
    }
}

namespace
{

// Opens the menu and, once it shows, runs the action on it or presses the keys; answers the
// chosen command.
uint32_t Track(CMenuXP& menu, const QPoint& point, const std::function<void()>& action,
               const std::vector<Qt::Key>& keys = {})
{
    QTimer::singleShot(0, &menu,
                       [&]
                       {
                           if (action)
                               action();
                           for (Qt::Key key : keys)
                               QTest::keyClick(&menu, key);
                       });
    return menu.TrackPopupMenu(point);
}

} // namespace

TEST_F(MenuXPTest, TrackingReturnsTheChosenCommandOrZero)
{
    auto pMenu = NewMenu();
    AddText(*pMenu, 100, "Search");
    pMenu->AppendSeparator();
    AddText(*pMenu, 1, "Engine one");
    pMenu->AppendODMenu(CMenuXP::MENU_DISABLED,
                        std::make_unique<CMenuXPText>(2, "Disabled", CMyString()));
    AddText(*pMenu, 3, "Engine three");
    CMenuXP& menu = *pMenu;
    const QPoint point(40, 40);

    bool bHighlighted = false;
    EXPECT_EQ(Track(menu, point,
                    [&]
                    {
                        const QPoint center = menu.GetItemRect(3).center();
                        QTest::mouseMove(&menu, center);
                        bHighlighted =
                            menu.GetSelectedIndex() == 3 &&
                            PixelAt(Snapshot(menu), center.x(), center.y() - 8) != g_clrBg;
                        QTest::mouseClick(&menu, Qt::LeftButton, {}, center);
                    }),
              1u);
    EXPECT_TRUE(bHighlighted);
    EXPECT_FALSE(menu.isVisible());
    // Clicks on the separator or a disabled item choose nothing; Escape then dismisses.
    EXPECT_EQ(Track(menu, point,
                    [&]
                    {
                        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.GetItemRect(2).center());
                        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.GetItemRect(4).center());
                        QTest::keyClick(&menu, Qt::Key_Escape);
                    }),
              0u);
    // The keys skip the side bar, the separator and the disabled item, and wrap round.
    EXPECT_EQ(Track(menu, point, {}, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}),
              3u);
    EXPECT_EQ(Track(menu, point, {}, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Enter}), 100u);
    // Opened at the screen's bottom-right corner, the menu moves back onto the screen.
    const QRect rcScreen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect rcShown;
    Track(menu, rcScreen.bottomRight(),
          [&]
          {
              rcShown = menu.geometry();
              QTest::keyClick(&menu, Qt::Key_Escape);
          });
    EXPECT_TRUE(rcScreen.contains(rcShown)) << rcShown.x() << "," << rcShown.y();
    EXPECT_EQ(rcShown.size(), menu.sizeHint());
    EXPECT_EQ(CMenuXP(*m_pSkin).TrackPopupMenu(point), 0u); // an empty menu does not open
}
