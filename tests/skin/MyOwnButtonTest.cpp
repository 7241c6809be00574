#include "skin/MyOwnButton.h"
#include "platform/WindowMessage.h"
#include "skin/WidgetTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <vector>

namespace
{

// Records, in order, the press messages it receives and the clicks of the buttons it watches.
class CEventLog : public QObject
{
public:
    void Watch(CMyOwnButton& button)
    {
        QObject::connect(&button, &QPushButton::clicked, this,
                         [this] { m_events.push_back("clicked"); });
    }
    bool event(QEvent* pEvent) override
    {
        if (CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent))
        {
            if (pMessage->GetMessage() == CMyOwnButton::TwoStateClickedMessage())
            {
                m_events.push_back("press");
                m_wParam = pMessage->GetWParam();
            }
            return true;
        }
        return QObject::event(pEvent);
    }
    std::vector<std::string> m_events;
    uintptr_t m_wParam = 0;
};

class MyOwnButtonTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_button.resize(60, 24);
        m_button.setPalette(QPalette(QColor(200, 200, 200)));
        m_button.show();
    }

    void HoverAt(int x, int y)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), m_button.mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&m_button, &move);
    }

    CMyOwnButton m_button;
    CEventLog m_log;
};

TEST_F(MyOwnButtonTest, PictureButtonsReportEveryPressBeforeTheClick)
{
    m_button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    m_button.SetNotifyOnPress(true);
    m_button.SetNotifyWindow(&m_log);
    m_log.Watch(m_button);

    QTest::mouseClick(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(m_log.m_events, (std::vector<std::string>{"press", "clicked"}));
    EXPECT_EQ(m_log.m_wParam, reinterpret_cast<uintptr_t>(&m_button));

    // Without a live notify object there is only the click.
    m_log.m_events.clear();
    {
        CEventLog gone;
        m_button.SetNotifyWindow(&gone);
    }
    QTest::mouseClick(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(m_log.m_events, (std::vector<std::string>{"clicked"}));
}

TEST_F(MyOwnButtonTest, SplitButtonsReportOnlyPressesOnTheArrow)
{
    m_button.SetStyle(CMyOwnButton::STYLE_SPLIT);
    m_button.SetNotifyOnPress(true);
    m_button.SetNotifyWindow(&m_log);
    m_log.Watch(m_button);

    QTest::mouseClick(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(41, 5));
    EXPECT_EQ(m_log.m_events, (std::vector<std::string>{"clicked"}));
    m_log.m_events.clear();

    QTest::mousePress(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(42, 5));
    EXPECT_TRUE(m_button.IsArrowDown());
    QTest::mouseRelease(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(42, 5));
    EXPECT_FALSE(m_button.IsArrowDown());
    EXPECT_EQ(m_log.m_events, (std::vector<std::string>{"press", "clicked"}));
}

TEST_F(MyOwnButtonTest, SpaceDoesNotPressAFocusedButton)
{
    m_log.Watch(m_button);
    m_button.setFocus();
    QTest::keyClick(&m_button, Qt::Key_Space);
    EXPECT_TRUE(m_log.m_events.empty());
}

TEST_F(MyOwnButtonTest, FacesFollowStyleAndHover)
{
    const QColor clrFace(200, 200, 200);
    m_button.SetGradient(SkinRgb(255, 0, 0), SkinRgb(0, 0, 255), SkinRgb(0, 255, 0),
                         SkinRgb(0, 0, 0));

    // Flat, no gradient, not transparent: only the erased background until the mouse comes.
    m_button.SetStyle(CMyOwnButton::STYLE_FLAT);
    QImage image = Snapshot(m_button);
    EXPECT_EQ(PixelAt(image, 0, 0), clrFace);
    EXPECT_EQ(PixelAt(image, 59, 23), clrFace);
    HoverAt(10, 10);
    EXPECT_TRUE(m_button.IsMouseOver());
    image = Snapshot(m_button);
    EXPECT_EQ(PixelAt(image, 0, 0), m_button.palette().color(QPalette::Light));
    EXPECT_EQ(PixelAt(image, 59, 23), m_button.palette().color(QPalette::Dark));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&m_button, &leave);
    EXPECT_FALSE(m_button.IsMouseOver());

    // A gradient face runs from the top colour to the bottom colour inside the frame, in the
    // hover colours while the mouse is over it, upside down when inverted.
    m_button.SetGradientFace(true, false);
    image = Snapshot(m_button);
    EXPECT_TRUE(IsNear(PixelAt(image, 3, 2), Qt::red, 30));
    EXPECT_TRUE(IsNear(PixelAt(image, 3, 21), Qt::blue, 30));
    HoverAt(10, 10);
    image = Snapshot(m_button);
    EXPECT_TRUE(IsNear(PixelAt(image, 3, 2), Qt::green, 30));
    m_button.SetGradientFace(true, true);
    image = Snapshot(m_button);
    EXPECT_TRUE(IsNear(PixelAt(image, 3, 2), Qt::black, 30));
}

TEST_F(MyOwnButtonTest, SplitButtonDrawsItsArrowAndSeparator)
{
    m_button.SetStyle(CMyOwnButton::STYLE_SPLIT);
    m_button.SetGradient(SkinRgb(128, 128, 128), SkinRgb(128, 128, 128), 0, 0);
    m_button.SetGradientFace(true, false);
    QImage image = Snapshot(m_button);
    // The triangle's top row: black from 10 pixels left of the right edge, its white highlight
    // one pixel further left; the next rows are shorter at both ends.
    EXPECT_EQ(PixelAt(image, 50, 16), QColor(Qt::black));
    EXPECT_EQ(PixelAt(image, 54, 16), QColor(Qt::black));
    EXPECT_EQ(PixelAt(image, 49, 16), QColor(Qt::white));
    EXPECT_EQ(PixelAt(image, 52, 18), QColor(Qt::black));
    EXPECT_NE(PixelAt(image, 51, 18), QColor(Qt::black));
    // The sunken separator before it, inset 3 pixels from top and bottom.
    EXPECT_EQ(PixelAt(image, 45, 3), m_button.palette().color(QPalette::Dark));
    EXPECT_EQ(PixelAt(image, 46, 3), m_button.palette().color(QPalette::Light));
    EXPECT_NE(PixelAt(image, 45, 2), m_button.palette().color(QPalette::Dark));
}

TEST_F(MyOwnButtonTest, PicturesAreChosenByStateAndScaledToTheHeight)
{
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/Tall.Gif"), 10, 30, Qt::red));
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/TallHover.Gif"), 10, 30, Qt::green));
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/Small.Gif"), 6, 6, Qt::blue));
    CInstallPathScope installPath(Path("install"));

    // A picture taller than the button less 4 pixels is scaled to that height, 2 pixels in.
    m_button.SetStyle(CMyOwnButton::STYLE_FLAT);
    m_button.SetPictures(CMyString("res/skin/tall.gif"), CMyString("res/Skin/TallHover.Gif"),
                         CMyString());
    EXPECT_STREQ(m_button.GetPicture().GetBuffer(), Path("install/res/Skin/Tall.Gif").c_str());
    QImage image = Snapshot(m_button);
    EXPECT_EQ(PixelAt(image, 2, 2), QColor(Qt::red));
    EXPECT_EQ(PixelAt(image, 7, 21), QColor(Qt::red)); // 10 * 20 / 30 = 6 wide, 20 high
    EXPECT_NE(PixelAt(image, 8, 10), QColor(Qt::red));
    EXPECT_NE(PixelAt(image, 2, 22), QColor(Qt::red));
    HoverAt(30, 10);
    EXPECT_EQ(PixelAt(Snapshot(m_button), 2, 2), QColor(Qt::green));

    // Picture-only buttons draw from the corner, scaled to the full height when taller.
    m_button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    image = Snapshot(m_button);
    EXPECT_EQ(PixelAt(image, 0, 0), QColor(Qt::green));
    EXPECT_EQ(PixelAt(image, 7, 23), QColor(Qt::green)); // 10 * 24 / 30 = 8 wide
    EXPECT_NE(PixelAt(image, 8, 10), QColor(Qt::green));

    // A shorter picture keeps its own size.
    m_button.SetPictures(CMyString("res/Skin/Small.Gif"), CMyString(), CMyString());
    image = Snapshot(m_button);
    EXPECT_EQ(PixelAt(image, 5, 5), QColor(Qt::blue));
    EXPECT_NE(PixelAt(image, 6, 6), QColor(Qt::blue));

    // A path found nowhere stays as written and draws nothing.
    m_button.SetPictures(CMyString("res/Skin/Missing.Gif"), CMyString(), CMyString());
    EXPECT_STREQ(m_button.GetPicture().GetBuffer(), "res/Skin/Missing.Gif");
}

} // namespace
