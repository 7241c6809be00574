// The media player with a real, headless libmpv against a clip served on 127.0.0.1.
#include "host/WMPPlayer4.h"
#include "text/TextTestSupport.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace
{
bool Contains(const CMyString& str, const char* pszPart)
{
    return Text(str).find(pszPart) != std::string::npos;
}

// A three-second MPEG-TS clip (test picture and a tone), made once with ffmpeg for all tests.
class CTestClip
{
public:
    CTestClip()
    {
        std::string folder = ::testing::TempDir() + "clip-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr)
        {
            m_strError = "cannot make a temporary folder";
            return;
        }
        m_folder = folder;
        const std::filesystem::path path = m_folder / "clip.ts";
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "testsrc=size=160x120:rate=25:duration=3", "-f", "lavfi", "-i",
                                "sine=frequency=440:duration=3", "-c:v", "mpeg2video", "-c:a",
                                "mp2", "-f", "mpegts", QString::fromStdString(path.string())});
        if (!ffmpeg.waitForStarted(10000))
        {
            m_strError = "ffmpeg is needed to make the test clip and could not be started "
                         "(install the ffmpeg package)";
            return;
        }
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        {
            m_strError = "ffmpeg could not make the test clip: " +
                         ffmpeg.readAllStandardError().toStdString();
            return;
        }
        std::ifstream file(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(file), {});
        if (m_bytes.empty())
            m_strError = "ffmpeg made an empty test clip";
    }
    ~CTestClip()
    {
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder);
    }

    std::filesystem::path m_folder;
    std::string m_bytes;
    std::string m_strError;
};

class PlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_pClip = new CTestClip(); }
    static void TearDownTestSuite()
    {
        delete s_pClip;
        s_pClip = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_pClip->m_strError.empty()) << s_pClip->m_strError;
        m_pServer = std::make_unique<CListServer>(
            std::initializer_list<std::pair<const std::string, std::string>>{
                {"clip.ts", s_pClip->m_bytes}});
        m_pPlayer = std::make_unique<CWMPPlayer4>(nullptr, true);
        ASSERT_TRUE(m_pPlayer->Create());
        // The set-up of the player view.
        m_pPlayer->SetEnableContextMenu(false);
        m_pPlayer->SetAutoStart(true);
        m_pPlayer->SetEnableErrorDialogs(false);
        m_pPlayer->SetStretchToFit(true);
        m_pPlayer->SetWindowlessVideo(true);
        m_pPlayer->resize(320, 240);
        m_pPlayer->show();
    }
    void TearDown() override
    {
        m_pPlayer.reset();
        m_pServer.reset();
    }

    bool WaitForState(int32_t nState, int nSeconds = 30)
    {
        return PumpEventsUntil([&] { return m_pPlayer->GetPlayState() == nState; }, nSeconds);
    }
    std::string ClipUrl() const { return m_pServer->Url() + "clip.ts"; }

    static CTestClip* s_pClip;
    std::unique_ptr<CListServer> m_pServer;
    std::unique_ptr<CWMPPlayer4> m_pPlayer;
};
CTestClip* PlayerTest::s_pClip = nullptr;

TEST_F(PlayerTest, PlaysStopsRestartsAndFinishesAServedClip)
{
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_UNDEFINED);
    EXPECT_TRUE(m_pPlayer->GetStatus().IsEmpty());

    // With autoStart, setting the URL starts it; Play on the way changes nothing.
    m_pPlayer->SetURL(ClipUrl().c_str());
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_TRANSITIONING);
    EXPECT_EQ(Text(m_pPlayer->GetStatus()), "Opening: " + ClipUrl());
    m_pPlayer->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(m_pPlayer->GetStatus());
    EXPECT_EQ(Text(m_pPlayer->GetStatus()), "Playing");
    EXPECT_EQ(Text(m_pPlayer->GetURL()), ClipUrl());
    EXPECT_EQ(m_pServer->Requests()["clip.ts"] > 0, true);

    m_pPlayer->Stop();
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_STOPPED);
    EXPECT_EQ(Text(m_pPlayer->GetStatus()), "Stopped");
    // Late events of the stopped stream do not bring it back.
    PumpEventsUntil([] { return false; }, 1);
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_STOPPED);

    m_pPlayer->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(m_pPlayer->GetStatus());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_MEDIA_ENDED)) << Text(m_pPlayer->GetStatus());
    EXPECT_EQ(Text(m_pPlayer->GetStatus()), "Finished");
}

TEST_F(PlayerTest, WithoutAutoStartTheUrlWaitsForPlay)
{
    m_pPlayer->SetAutoStart(false);
    m_pPlayer->SetURL(ClipUrl().c_str());
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_READY);
    EXPECT_EQ(m_pServer->Requests()["clip.ts"], 0);
    m_pPlayer->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(m_pPlayer->GetStatus());
}

TEST_F(PlayerTest, FailuresEndInReadyWithTheReason)
{
    m_pPlayer->SetURL((m_pServer->Url() + "missing.ts").c_str());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY)) << Text(m_pPlayer->GetStatus());
    EXPECT_TRUE(Contains(m_pPlayer->GetStatus(), "Failed: HTTP error 404"))
        << Text(m_pPlayer->GetStatus());

    // A port where nobody listens; the reconnect attempts take a few seconds.
    CLocalSocket refusing(-1);
    m_pPlayer->SetURL(refusing.Url("/live.ts").c_str());
    EXPECT_EQ(m_pPlayer->GetPlayState(), CWMPPlayer4::PLAY_STATE_TRANSITIONING);
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY, 60)) << Text(m_pPlayer->GetStatus());
    EXPECT_EQ(Text(m_pPlayer->GetStatus()), "Failed: Connection refused");

    // Something that is not a stream at all.
    m_pPlayer->SetURL("file:///nonexistent/clip.ts");
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY)) << Text(m_pPlayer->GetStatus());
    EXPECT_TRUE(Contains(m_pPlayer->GetStatus(), "Failed: ")) << Text(m_pPlayer->GetStatus());
}

TEST_F(PlayerTest, FullScreenOnlyWhilePlaying)
{
    m_pPlayer->SetFullScreen(true);
    EXPECT_FALSE(m_pPlayer->GetFullScreen());

    m_pPlayer->SetURL(ClipUrl().c_str());
    m_pPlayer->SetFullScreen(true); // still opening
    EXPECT_FALSE(m_pPlayer->GetFullScreen());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(m_pPlayer->GetStatus());

    m_pPlayer->SetFullScreen(true);
    ASSERT_TRUE(m_pPlayer->GetFullScreen());
    QWidget* pPicture = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
    {
        if (pWidget->isFullScreen())
            pPicture = pWidget;
    }
    ASSERT_NE(pPicture, nullptr);
    EXPECT_EQ(pPicture->contextMenuPolicy(), Qt::NoContextMenu);

    // Escape leaves full screen and the picture returns into the player.
    QTest::keyClick(pPicture, Qt::Key_Escape);
    ASSERT_TRUE(PumpEventsUntil([&] { return !m_pPlayer->GetFullScreen(); }, 5));
    EXPECT_EQ(pPicture->parentWidget(), m_pPlayer.get());
    EXPECT_FALSE(pPicture->isFullScreen());

    // Stopping leaves it too.
    m_pPlayer->SetFullScreen(true);
    ASSERT_TRUE(m_pPlayer->GetFullScreen());
    m_pPlayer->Stop();
    EXPECT_FALSE(m_pPlayer->GetFullScreen());
    EXPECT_EQ(pPicture->parentWidget(), m_pPlayer.get());
    m_pPlayer->SetFullScreen(true);
    EXPECT_FALSE(m_pPlayer->GetFullScreen());
}

TEST_F(PlayerTest, SettingsReachTheEngine)
{
    m_pPlayer->SetVolume(40);
    EXPECT_EQ(m_pPlayer->GetVolume(), 40);
    EXPECT_EQ(Text(m_pPlayer->GetEngineProperty("volume")).rfind("40", 0), 0u);
    m_pPlayer->SetVolume(250);
    EXPECT_EQ(m_pPlayer->GetVolume(), 100);
    m_pPlayer->SetVolume(-3);
    EXPECT_EQ(m_pPlayer->GetVolume(), 0);

    m_pPlayer->SetMute(true);
    EXPECT_TRUE(m_pPlayer->GetMute());
    EXPECT_EQ(Text(m_pPlayer->GetEngineProperty("mute")), "yes");
    m_pPlayer->SetMute(false);
    EXPECT_FALSE(m_pPlayer->GetMute());

    EXPECT_EQ(Text(m_pPlayer->GetEngineProperty("keepaspect")), "no");
    m_pPlayer->SetStretchToFit(false);
    EXPECT_EQ(Text(m_pPlayer->GetEngineProperty("keepaspect")), "yes");
    EXPECT_EQ(m_pPlayer->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(Text(m_pPlayer->GetEngineProperty("ytdl")), "no");

    // Volume and mute set while playing hold across the stream.
    m_pPlayer->SetVolume(70);
    m_pPlayer->SetURL(ClipUrl().c_str());
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(m_pPlayer->GetStatus());
    m_pPlayer->SetMute(true);
    EXPECT_EQ(m_pPlayer->GetVolume(), 70);
    EXPECT_TRUE(m_pPlayer->GetMute());
}

TEST(PlayerWithoutEngineTest, OperationsBeforeCreateDoNothing)
{
    CWMPPlayer4 player(nullptr, true);
    EXPECT_FALSE(player.IsCreated());
    player.SetAutoStart(true);
    player.SetURL("http://127.0.0.1:9/x.ts");
    player.Play();
    player.SetFullScreen(true);
    player.Stop();
    player.SetVolume(30);
    EXPECT_EQ(player.GetPlayState(), CWMPPlayer4::PLAY_STATE_UNDEFINED);
    EXPECT_TRUE(player.GetStatus().IsEmpty());
    EXPECT_FALSE(player.GetFullScreen());
    EXPECT_EQ(player.GetVolume(), 30);
    // The values given before are handed to the engine when it starts.
    ASSERT_TRUE(player.Create());
    EXPECT_EQ(player.GetVolume(), 30);
}

TEST(PlayerLaunchTest, LaunchUrlHandsThePageToTheDefaultOpener)
{
    // A stand-in for xdg-open, found first in PATH, records its arguments.
    std::string folder = ::testing::TempDir() + "opener-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::filesystem::path script = std::filesystem::path(folder) / "xdg-open";
    const std::filesystem::path record = std::filesystem::path(folder) / "arguments";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << record.string()
                          << ".tmp\" && mv \"" << record.string() << ".tmp\" \"" << record.string()
                          << "\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const std::string strOldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (folder + ":" + strOldPath).c_str(), 1);

    CWMPPlayer4 player(nullptr, true);
    EXPECT_FALSE(player.LaunchURL(""));
    EXPECT_TRUE(player.LaunchURL("http://127.0.0.1/page?a=1&b=2"));
    const bool bRecorded = PumpEventsUntil([&] { return std::filesystem::exists(record); }, 20);
    setenv("PATH", strOldPath.c_str(), 1);
    ASSERT_TRUE(bRecorded);
    std::ifstream file(record);
    const std::string strArguments((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(strArguments, "http://127.0.0.1/page?a=1&b=2\n");
    std::filesystem::remove_all(folder);
}
} // namespace
