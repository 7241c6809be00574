#include "skin/MySlider.h"
#include "config/Settings.h"
#include "platform/MessageVocabulary.h"
#include "skin/WidgetTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <vector>

namespace
{

// Keeps the levels posted to it.
class CLevelReceiver : public QWidget
{
public:
    bool event(QEvent* pEvent) override
    {
        if (CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent))
        {
            if (pMessage->GetMessage() == MessageForMainFrame() &&
                pMessage->GetWParam() == CODE_VOLUME_LEVEL)
                m_levels.push_back(static_cast<int>(pMessage->GetLParam()));
            return true;
        }
        return QWidget::event(pEvent);
    }
    std::vector<int> m_levels;
};

class MySliderTest : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_pSlider = new CMySlider;
        m_pSlider->Create(&m_parent, QRect(0, 0, 19, 138));
        m_parent.resize(40, 150);
        m_parent.show();
    }

    void Send(QEvent::Type type, int y, Qt::MouseButtons buttons)
    {
        Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(5, y), m_pSlider->mapToGlobal(QPointF(5, y)), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(m_pSlider, &event);
    }

    std::vector<int> PostedLevels()
    {
        QCoreApplication::processEvents();
        return m_parent.m_levels;
    }

    CLevelReceiver m_parent;
    CMySlider* m_pSlider = nullptr;
};

TEST_F(MySliderTest, DrawsTheThumbAtItsLevelAndDraggingPostsEveryChangeAndStoresTheLast)
{
    // The thumb is drawn right-aligned with its bottom edge at the level's position (71 for 50).
    ASSERT_TRUE(WritePicture(Path("skin/Face.gif"), 19, 138, Qt::blue));
    ASSERT_TRUE(WritePicture(Path("skin/Thumb.gif"), 11, 8, Qt::red));
    m_pSlider->SetTransparent(true);
    m_pSlider->SetPictures(CMyString(Path("skin/Face.gif").c_str()),
                           CMyString(Path("skin/Thumb.gif").c_str()), CMyString("ignored"));
    m_pSlider->SetLevel(150);
    EXPECT_EQ(m_pSlider->GetLevel(), 100);
    m_pSlider->SetLevel(50);
    const QImage image = Snapshot(*m_pSlider);
    EXPECT_EQ(PixelAt(image, 8, 63), QColor(Qt::red));
    EXPECT_EQ(PixelAt(image, 18, 70), QColor(Qt::red));
    EXPECT_EQ(PixelAt(image, 7, 66), QColor(Qt::blue));
    EXPECT_EQ(PixelAt(image, 12, 71), QColor(Qt::blue));
    Settings().SetVolume(50);
    Send(QEvent::MouseButtonPress, 60, Qt::LeftButton);
    EXPECT_TRUE(m_pSlider->IsDragging());
    EXPECT_EQ(m_pSlider->GetThumbY(), 71); // a press alone moves nothing

    Send(QEvent::MouseMove, 76, Qt::LeftButton);  // 81: level 40
    Send(QEvent::MouseMove, 76, Qt::LeftButton);  // no change, nothing posted
    Send(QEvent::MouseMove, -40, Qt::LeftButton); // clamped to the top: level 100
    Send(QEvent::MouseMove, -90, Qt::LeftButton); // still the top: nothing posted
    EXPECT_EQ(PostedLevels(), (std::vector<int>{40, 100}));
    EXPECT_EQ(Settings().GetVolume(), 50);        // stored only when the drag ends
    Send(QEvent::MouseMove, 400, Qt::LeftButton); // clamped to the bottom: level 0
    EXPECT_EQ(m_pSlider->GetThumbY(), 121);
    Send(QEvent::MouseButtonRelease, 400, Qt::NoButton);
    EXPECT_FALSE(m_pSlider->IsDragging());
    EXPECT_EQ(Settings().GetVolume(), 0);
    EXPECT_EQ(PostedLevels(), (std::vector<int>{40, 100, 0}));
    // A move without a button after a release the slider never saw ends the drag too.
    Send(QEvent::MouseButtonPress, 60, Qt::LeftButton);
    Send(QEvent::MouseMove, 66, Qt::LeftButton);
    Send(QEvent::MouseMove, 30, Qt::NoButton);
    EXPECT_FALSE(m_pSlider->IsDragging());
    EXPECT_EQ(Settings().GetVolume(), 50);
    // A double-click moves nothing and posts nothing.
    const std::vector<int> posted = PostedLevels();
    QTest::mouseDClick(m_pSlider, Qt::LeftButton, Qt::NoModifier, QPoint(5, 20));
    EXPECT_EQ(m_pSlider->GetLevel(), 50);
    EXPECT_EQ(PostedLevels(), posted);
}

} // namespace
