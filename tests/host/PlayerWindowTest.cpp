// The player with real video output on an X display: frames keep coming while the station is
// changed, paused, muted and stopped many times, and the window's thread never locks up with
// the engine.
#include "host/WMPPlayer4.h"
#include "text/TextTestSupport.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <string>
#include <vector>

namespace
{
// The player's area of the screen as it is shown now.
QImage Grab(const CWMPPlayer4& player)
{
    const QPoint origin = player.mapToGlobal(QPoint(0, 0));
    return player.screen()
        ->grabWindow(0, origin.x(), origin.y(), player.width(), player.height())
        .toImage();
}

// How many points of a grid are not black.
int LitPoints(const QImage& image)
{
    int nLit = 0;
    for (int y = 10; y < image.height(); y += 20)
        for (int x = 10; x < image.width(); x += 20)
            if (qGray(image.pixel(x, y)) > 40)
                ++nLit;
    return nLit;
}

// Records the keys that reach it.
class CKeyRecorder : public QWidget
{
public:
    void keyPressEvent(QKeyEvent* pEvent) override { m_arrKeys.push_back(pEvent->key()); }
    std::vector<int> m_arrKeys;
};

TEST(PlayerWindowTest, DrawsFramesWhileTheStationChangesAndPassesKeysOn)
{
    ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run";
    std::string strError;
    const std::string clip = MakeClip(strError);
    ASSERT_TRUE(strError.empty()) << strError;
    CListServer server{{"a.ts", clip}, {"b.ts", clip}};

    CKeyRecorder parent;
    parent.resize(320, 240);
    CWMPPlayer4& player = *new CWMPPlayer4(&parent);
    ASSERT_FALSE(player.IsHeadless());
    ASSERT_TRUE(player.Create());
    player.SetAutoStart(true);
    player.resize(320, 240);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const auto playing = [&] { return player.GetPlayState() == CWMPPlayer4::PLAY_STATE_PLAYING; };

    // The picture is a window of its own inside the player; a key pressed in it travels up the
    // widgets like one pressed in any child.
    QWindow* pPicture = nullptr;
    for (QWindow* pWindow : QGuiApplication::allWindows())
        if (pWindow->parent() != nullptr && pWindow->isVisible())
            pPicture = pWindow;
    ASSERT_NE(pPicture, nullptr);
    QTest::keyClick(pPicture, Qt::Key_Down);
    EXPECT_EQ(parent.m_arrKeys, std::vector<int>{Qt::Key_Down});

    // The calls come while frames are being drawn.
    const auto started = std::chrono::steady_clock::now();
    for (int nRound = 0; nRound < 20; ++nRound)
    {
        player.SetURL((server.Url() + (nRound % 2 == 0 ? "a.ts" : "b.ts")).c_str());
        ASSERT_TRUE(PumpEventsUntil(playing, 20))
            << "round " << nRound << ": " << Text(player.GetStatus());
        QTest::qWait(100);
        player.Pause();
        ASSERT_TRUE(PumpEventsUntil(
            [&] { return player.GetPlayState() == CWMPPlayer4::PLAY_STATE_PAUSED; }, 10));
        player.SetMute(nRound % 2 == 0);
        player.SetVolume(nRound * 5);
        EXPECT_EQ(player.GetVolume(), nRound * 5);
        player.Play();
        ASSERT_TRUE(PumpEventsUntil(playing, 10)) << "round " << nRound;
        QTest::qWait(50);
        player.Stop();
        EXPECT_EQ(player.GetPlayState(), CWMPPlayer4::PLAY_STATE_STOPPED);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(120));

    // Afterwards the test picture still shows and moves.
    player.SetURL((server.Url() + "a.ts").c_str());
    ASSERT_TRUE(PumpEventsUntil(playing, 20)) << Text(player.GetStatus());
    QTest::qWait(500);
    const QImage first = Grab(player);
    QTest::qWait(700);
    const QImage second = Grab(player);
    EXPECT_GT(LitPoints(first), 50);
    EXPECT_NE(first, second);

    // Escape in the full-screen picture leaves full screen.
    player.SetFullScreen(true);
    ASSERT_TRUE(player.GetFullScreen());
    ASSERT_TRUE(PumpEventsUntil([&] { return pPicture->isExposed(); }, 5));
    QTest::keyClick(pPicture, Qt::Key_Escape);
    EXPECT_TRUE(PumpEventsUntil([&] { return !player.GetFullScreen(); }, 5));
    player.Stop();
}
} // namespace

int main(int nArgc, char** ppArgv)
{
    ::testing::InitGoogleTest(&nArgc, ppArgv);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("ORVANTA_PLAYER_HEADLESS");
    QApplication application(nArgc, ppArgv);
    return RUN_ALL_TESTS();
}
