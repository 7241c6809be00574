#include "skin/WidgetTestSupport.h"

#include "skin/MyMessageBox.h"
#include "skin/SkinInfo.h"
#include "skin/SplashDlg.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

namespace
{

// Runs the box modally; the action runs once the box is up. A box that does not end gives -1.
int RunBox(CMyMessageBox& box, const std::function<void(CMyMessageBox&)>& action)
{
    QTimer::singleShot(0, &box, [&box, action] { action(box); });
    QTimer::singleShot(5000, &box, [&box] { box.done(-1); });
    return box.exec();
}

// The smallest rectangle holding every dark (text) pixel of the image.
QRect InkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor rgb = PixelAt(image, x, y); rgb.red() + rgb.green() + rgb.blue() < 150)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

TEST(MyMessageBoxTest, SizedToTheTextWithTheButtonsOfTheTypeInOneRow)
{
    const QSize button = MapDialogUnits(50, 11);
    const QSize frame(2 * CMyMessageBox::BORDER_WIDTH,
                      CMyMessageBox::CAPTION_HEIGHT + 2 * CMyMessageBox::BORDER_WIDTH);
    QFontMetrics metrics(DialogFont());
    CMyMessageBox oneLine("The Station Was Pre-Set Successfully", CMyMessageBox::TYPE_OK);
    CMyMessageBox threeLines("This Button Is Not Pre-Set Yet.\nSelect A Station From The List\n"
                             "And Then Click The Upper Button.",
                             CMyMessageBox::TYPE_OK_CANCEL);
    CMyMessageBox shortText("Hi", CMyMessageBox::TYPE_YES_NO);

    const QRect one = oneLine.GetTextControl().geometry();
    const QRect three = threeLines.GetTextControl().geometry();
    EXPECT_EQ(one.topLeft(), QPoint(20, 10));
    EXPECT_NEAR(one.width(), metrics.horizontalAdvance("The Station Was Pre-Set Successfully"), 1);
    EXPECT_NEAR(three.width(), metrics.horizontalAdvance("And Then Click The Upper Button."), 1);
    EXPECT_NEAR(three.height(), 3 * one.height(), 3);
    EXPECT_EQ(oneLine.size() + frame, one.size() + QSize(40, button.height() + 70));
    EXPECT_EQ(threeLines.size() + frame, three.size() + QSize(40, button.height() + 70));
    // Too narrow for Yes and No: widened to the buttons plus 10 pixels at each end.
    EXPECT_EQ(shortText.width(), 2 * button.width() + 10 + 20);
    QRect onScreen(shortText.pos(), shortText.size() + frame);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(onScreen));
    // The shown buttons, left to right, centred at the bottom with 10 pixels between them.
    auto expectRow = [&button](CMyMessageBox& box, std::vector<CMyOwnButton*> shown)
    {
        int nTotal = static_cast<int>(shown.size()) * (button.width() + 10) - 10;
        int nLeft = (box.width() - nTotal) / 2;
        for (CMyOwnButton* pButton :
             {&box.GetOkButton(), &box.GetCancelButton(), &box.GetYesButton(), &box.GetNoButton()})
        {
            bool bShown = std::find(shown.begin(), shown.end(), pButton) != shown.end();
            EXPECT_EQ(pButton->isVisibleTo(&box), bShown) << pButton->text().toStdString();
        }
        for (CMyOwnButton* pButton : shown)
        {
            EXPECT_EQ(pButton->geometry(),
                      QRect(QPoint(nLeft, box.height() - 10 - button.height()), button));
            nLeft += button.width() + 10;
        }
    };
    expectRow(oneLine, {&oneLine.GetOkButton()});
    expectRow(threeLines, {&threeLines.GetOkButton(), &threeLines.GetCancelButton()});
    expectRow(shortText, {&shortText.GetYesButton(), &shortText.GetNoButton()});
    EXPECT_EQ(shortText.GetYesButton().x(), 10);
}

TEST(MyMessageBoxTest, ButtonsEscapeAndCloseGiveTheirResults)
{
    auto click = [](CMyOwnButton& (CMyMessageBox::*pButton)()) {
        return [pButton](CMyMessageBox& box)
        { QTest::mouseClick(&(box.*pButton)(), Qt::LeftButton); };
    };
    auto escape = [](CMyMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); };
    auto closeBox = [](CMyMessageBox& box) { box.windowHandle()->close(); };
    struct Case
    {
        uint32_t nType;
        std::function<void(CMyMessageBox&)> action;
        int nResult;
    } cases[] = {
        {CMyMessageBox::TYPE_OK, escape, 2},
        {CMyMessageBox::TYPE_OK_CANCEL, click(&CMyMessageBox::GetCancelButton), 2},
        {CMyMessageBox::TYPE_YES_NO, click(&CMyMessageBox::GetNoButton), 7},
        {CMyMessageBox::TYPE_YES_NO, closeBox, 2},
    };
    for (const Case& test : cases)
    {
        CMyMessageBox box("Question?", test.nType);
        EXPECT_EQ(RunBox(box, test.action), test.nResult) << "type " << test.nType;
    }
}

TEST(MyMessageBoxTest, GradientShowsBehindTheText)
{
    // The first line is short, so the end of the text control's first row is background.
    CMyMessageBox box("Short\nA much longer second line of text", CMyMessageBox::TYPE_OK);
    QImage image = Snapshot(box);
    QRect text = box.GetTextControl().geometry();
    EXPECT_TRUE(IsNear(PixelAt(image, text.right() - 2, text.top() + 3),
                       PixelAt(image, 2, text.top() + 3), 2));
    EXPECT_FALSE(InkBounds(image.copy(text)).isEmpty());
}

TEST(SplashDlgTest, CentredOnTopWithTheLoadingTextInTheMiddle)
{
    CSplashDlg splash;
    EXPECT_EQ(splash.size(), MapDialogUnits(186, 63));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(splash.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((splash.geometry().center() - centre).manhattanLength(), 2);
    QImage image = Snapshot(splash);
    QRect ink = InkBounds(image);
    // The text is in the dialog text colour, so it reads on any dialog gradient.
    bool bTextColourSeen = false;
    for (int x = ink.left(); x <= ink.right() && !bTextColourSeen; ++x)
        for (int y = ink.top(); y <= ink.bottom() && !bTextColourSeen; ++y)
            bTextColourSeen = PixelAt(image, x, y) == SkinColor(GetSkinInfo()->m_clrDialogText);
    EXPECT_TRUE(bTextColourSeen);
    EXPECT_GT(ink.width(), image.width() / 2);
    EXPECT_LE(std::abs(ink.left() - (image.width() - 1 - ink.right())), 3);
    EXPECT_LE(std::abs(ink.top() - (image.height() - 1 - ink.bottom())), 3);
    // Only its owner ends it.
    splash.show();
    QTest::keyClick(&splash, Qt::Key_Escape);
    splash.windowHandle()->close();
    EXPECT_TRUE(splash.isVisible());
    splash.done(0);
    EXPECT_FALSE(splash.isVisible());
}
