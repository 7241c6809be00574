#include "host/WMPPlayer4.h"
#include "text/TextTestSupport.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <QApplication>

#include <string>

namespace
{
class PlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_clip = MakeClip(s_strClipError); }

    void SetUp() override
    {
        ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
        ASSERT_TRUE(m_player.Create());
        m_player.SetEnableContextMenu(false);
        m_player.SetAutoStart(true);
        m_player.SetEnableErrorDialogs(false);
        m_player.SetStretchToFit(true);
        m_player.SetWindowlessVideo(true);
        m_player.resize(320, 240);
        m_player.show();
    }

    bool WaitForState(int32_t nState, int nSeconds = 30)
    {
        return PumpEventsUntil([&] { return m_player.GetPlayState() == nState; }, nSeconds);
    }
    std::string Status() const { return Text(m_player.GetStatus()); }
    std::string ClipUrl() const { return m_server.Url() + "clip.ts"; }

    static inline std::string s_clip;
    static inline std::string s_strClipError;
    CListServer m_server{{"clip.ts", s_clip}, {"list.m3u", "#EXTM3U\nclip.ts\n"}};
    CWMPPlayer4 m_player{nullptr, true}; // goes before the server
};

TEST_F(PlayerTest, PlaysStopsRestartsAndFinishesAServedClip)
{
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_UNDEFINED);
    // With autoStart, setting the URL starts it; Play on the way changes nothing.
    m_player.SetURL(ClipUrl().c_str());
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_TRANSITIONING);
    EXPECT_EQ(Status(), "Opening: " + ClipUrl());
    m_player.Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    EXPECT_EQ(Text(m_player.GetURL()), ClipUrl());
    m_player.Stop();
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_STOPPED);
    // Late events of the stopped stream do not bring it back.
    PumpEventsUntil([] { return false; }, 1);
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_STOPPED);
    m_player.Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_MEDIA_ENDED)) << Status();
    // Without autoStart a new URL waits for Play. A playlist plays its entry in its place.
    m_player.SetAutoStart(false);
    const int nRequests = m_server.Requests()["clip.ts"];
    m_player.SetURL((m_server.Url() + "list.m3u").c_str());
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_READY);
    EXPECT_EQ(m_server.Requests()["clip.ts"], nRequests);
    m_player.Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    EXPECT_GT(m_server.Requests()["clip.ts"], nRequests);
}

TEST_F(PlayerTest, FailuresEndInReadyWithTheReason)
{
    // A port where nobody listens; the reconnect attempts take a few seconds.
    CLocalSocket refusing(-1);
    m_player.SetURL(refusing.Url("/live.ts").c_str());
    EXPECT_EQ(m_player.GetPlayState(), CWMPPlayer4::PLAY_STATE_TRANSITIONING);
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY, 60)) << Status();
    EXPECT_EQ(Status(), "Failed: Connection refused");
}

TEST_F(PlayerTest, FullScreenOnlyWhilePlaying)
{
    m_player.SetURL(ClipUrl().c_str());
    m_player.SetFullScreen(true); // still opening
    EXPECT_FALSE(m_player.GetFullScreen());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    m_player.SetFullScreen(true);
    ASSERT_TRUE(m_player.GetFullScreen());
    QWidget* pPicture = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (pWidget->isFullScreen())
            pPicture = pWidget;
    ASSERT_NE(pPicture, nullptr);
    EXPECT_EQ(pPicture->contextMenuPolicy(), Qt::NoContextMenu);
    // Stop leaves full screen, and the picture returns into the player.
    m_player.Stop();
    EXPECT_FALSE(m_player.GetFullScreen());
    EXPECT_EQ(pPicture->parentWidget(), &m_player);
}

TEST_F(PlayerTest, SettingsReachTheEngineAndVolumeStaysInRange)
{
    m_player.SetVolume(40);
    EXPECT_EQ(Text(m_player.GetEngineProperty("volume")).rfind("40", 0), 0u);
    for (const auto& [nGiven, nKept] : {std::pair{250, 100}, std::pair{-3, 0}})
    {
        m_player.SetVolume(nGiven);
        EXPECT_EQ(m_player.GetVolume(), nKept);
    }
    m_player.SetMute(true);
    EXPECT_EQ(Text(m_player.GetEngineProperty("mute")), "yes");
    EXPECT_EQ(Text(m_player.GetEngineProperty("keepaspect")), "no");
    m_player.SetStretchToFit(false);
    EXPECT_EQ(Text(m_player.GetEngineProperty("keepaspect")), "yes");
    EXPECT_EQ(Text(m_player.GetEngineProperty("ytdl")), "no");
    // Volume and mute set before the stream hold across it.
    m_player.SetVolume(70);
    m_player.SetURL(ClipUrl().c_str());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    EXPECT_EQ(m_player.GetVolume(), 70);
    EXPECT_TRUE(m_player.GetMute());
}

// A line break in a header would end its line and start another: it is dropped.
TEST_F(PlayerTest, RequestHeadersCannotInjectAnotherHeader)
{
    m_player.SetRequestHeaders("Agent/1.0", "http://portal.example/\r\nX-Injected: 1");
    EXPECT_EQ(Text(m_player.GetReferrer()), "http://portal.example/X-Injected: 1");
    m_player.SetURL(ClipUrl().c_str());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Status();
    ASSERT_FALSE(m_server.Headers().empty());
    EXPECT_EQ(m_server.Headers().back().strReferrer, "http://portal.example/X-Injected: 1");
}

TEST(PlayerWithoutEngineTest, OperationsBeforeCreateDoNothing)
{
    CWMPPlayer4 player(nullptr, true);
    player.SetAutoStart(true);
    player.SetURL("http://127.0.0.1:9/x.ts");
    player.Play();
    player.SetFullScreen(true);
    player.Stop();
    player.SetVolume(30);
    EXPECT_EQ(player.GetPlayState(), CWMPPlayer4::PLAY_STATE_UNDEFINED);
    EXPECT_FALSE(player.GetFullScreen());
    EXPECT_FALSE(player.LaunchURL("")); // an empty page is never handed on
    ASSERT_TRUE(player.Create());
    EXPECT_EQ(player.GetVolume(), 30);
}
} // namespace
