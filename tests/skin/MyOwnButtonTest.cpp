#include "skin/MyOwnButton.h"
#include "platform/MessageVocabulary.h"
#include "skin/WidgetTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <vector>

namespace
{

// Records, in order, the press messages it receives and the clicks of the button it watches.
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
            if (pMessage->GetMessage() == ButtonTwoStateClickedMessage())
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
    // The colour the button shows now at (x, y).
    QColor At(int x, int y) { return PixelAt(Snapshot(m_button), x, y); }

    CMyOwnButton m_button;
    CEventLog m_log;
};

TEST_F(MyOwnButtonTest, PressesAreReportedBeforeTheClickWhereTheyCount)
{
    m_button.SetNotifyOnPress(true);
    m_button.SetNotifyWindow(&m_log);
    m_log.Watch(m_button);
    auto clickAt = [this](int x)
    {
        m_log.m_events.clear();
        QTest::mouseClick(&m_button, Qt::LeftButton, Qt::NoModifier, QPoint(x, 5));
        return m_log.m_events;
    };
    using Events = std::vector<std::string>;
    m_button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    EXPECT_EQ(clickAt(5), (Events{"press", "clicked"}));
    EXPECT_EQ(m_log.m_wParam, reinterpret_cast<uintptr_t>(&m_button));

    // A split button reports only presses on its arrow, the last 18 pixels.
    m_button.SetStyle(CMyOwnButton::STYLE_SPLIT);
    EXPECT_EQ(clickAt(41), (Events{"clicked"}));
    EXPECT_EQ(clickAt(42), (Events{"press", "clicked"}));
    // Without a live notify object there is only the click.
    m_button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    {
        CEventLog gone;
        m_button.SetNotifyWindow(&gone);
    }
    EXPECT_EQ(clickAt(5), (Events{"clicked"}));
    // Space does not press a focused button.
    m_log.m_events.clear();
    m_button.setFocus();
    QTest::keyClick(&m_button, Qt::Key_Space);
    EXPECT_TRUE(m_log.m_events.empty());
}

TEST_F(MyOwnButtonTest, FacesAndPicturesFollowTheMouseAndFitTheHeight)
{
    // A flat gradient button shows the hover gradient while the mouse is over it.
    m_button.SetGradient(SkinRgb(255, 0, 0), SkinRgb(0, 0, 255), SkinRgb(0, 255, 0),
                         SkinRgb(0, 0, 0));
    m_button.SetStyle(CMyOwnButton::STYLE_FLAT);
    m_button.SetGradientFace(true, false);
    HoverAt(10, 10);
    EXPECT_TRUE(IsNear(At(3, 2), Qt::green, 30));
    EXPECT_TRUE(IsNear(At(3, 21), Qt::black, 30));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&m_button, &leave);
    EXPECT_TRUE(IsNear(At(3, 2), Qt::red, 30));
    m_button.SetGradientFace(false, false);
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/Tall.Gif"), 10, 30, Qt::red));
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/TallHover.Gif"), 10, 30, Qt::green));
    ASSERT_TRUE(WritePicture(Path("install/res/Skin/Small.Gif"), 6, 6, Qt::blue));
    CInstallPathScope installPath(Path("install"));
    // A picture taller than the button less 4 pixels is scaled to that height, 2 pixels in:
    // 10 * 20 / 30 = 6 wide, 20 high.
    // Names are found ignoring case, relative to the install path or absolute.
    m_button.SetPictures(CMyString("res/skin/tall.gif"),
                         CMyString(Path("INSTALL/RES/skin/TALLHOVER.gif").c_str()), CMyString());
    EXPECT_EQ(At(7, 21), QColor(Qt::red));
    EXPECT_NE(At(8, 10), QColor(Qt::red));
    EXPECT_NE(At(2, 22), QColor(Qt::red));
    HoverAt(30, 10);
    EXPECT_EQ(At(2, 2), QColor(Qt::green));
    // Picture-only buttons draw from the corner, scaled to the full height when taller:
    // 10 * 24 / 30 = 8 wide.
    m_button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
    EXPECT_EQ(At(0, 0), QColor(Qt::green));
    EXPECT_NE(At(8, 10), QColor(Qt::green));
    // A shorter picture keeps its own size.
    m_button.SetPictures(CMyString("res/Skin/Small.Gif"), CMyString(), CMyString());
    EXPECT_EQ(At(5, 5), QColor(Qt::blue));
    EXPECT_NE(At(6, 6), QColor(Qt::blue));
}

} // namespace
