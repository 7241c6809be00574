// The player view with a real, headless media player against a clip served on 127.0.0.1, real
// labels and a real splitter on the offscreen platform.
#include "shell/TelvaneView.h"
#include "text/TextTestSupport.h"
#include "window/WindowTestSupport.h"

#include "config/FileHandler.h"
#include "host/WMPPlayer4.h"
#include "host/WebBrowser2.h"
#include "skin/MyOwnButton.h"
#include "skin/SkinInfo.h"

#include "ListServer.h"
#include "TestSupport.h"
#include "skin/WidgetTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSplitter>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Stands in for the station tree: records the key of every hint 10 it is given.
class CTreeStandIn : public CDocumentView
{
public:
    void OnUpdate(CDocumentView*, intptr_t nHint, QObject* pHint) override
    {
        std::unique_ptr<QObject> pOwned(pHint); // the key is the receiver's to free
        if (const auto* pKey = dynamic_cast<const CKeyHint*>(pHint); pKey && nHint == HINT_KEY)
            m_arrKeys.push_back(pKey->GetKey());
    }
    std::vector<uint32_t> m_arrKeys;
};

// A live channel as a television station sends it: ffmpeg writes a sliding HLS playlist in real
// time into a folder, which a server on 127.0.0.1 offers. The server can go away and come back
// on the same port; it notes when each segment was asked for.
class CLiveChannel
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CLiveChannel(const std::filesystem::path& folder) : m_folder(folder)
    {
        std::filesystem::create_directories(m_folder);
        m_ffmpeg.setWorkingDirectory(QString::fromStdString(m_folder.string()));
        m_ffmpeg.start("ffmpeg", {"-nostdin",
                                  "-loglevel",
                                  "error",
                                  "-re",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc=size=160x120:rate=25",
                                  "-c:v",
                                  "mpeg2video",
                                  "-g",
                                  "25",
                                  "-f",
                                  "hls",
                                  "-hls_time",
                                  "1",
                                  "-hls_list_size",
                                  "4",
                                  "-hls_flags",
                                  "delete_segments",
                                  "live.m3u8"});
        Start();
    }
    ~CLiveChannel()
    {
        Stop();
        m_ffmpeg.kill();
        m_ffmpeg.waitForFinished(5000);
    }
    CLiveChannel(const CLiveChannel&) = delete;
    CLiveChannel& operator=(const CLiveChannel&) = delete;

    // True once the playlist holds a few segments.
    bool WaitUntilLive()
    {
        return PumpEventsUntil(
            [&]
            {
                std::ifstream playlist(m_folder / "live.m3u8");
                const std::string text(std::istreambuf_iterator<char>(playlist), {});
                return text.find("live2.ts") != std::string::npos;
            },
            30);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/live.m3u8"; }

    void Start()
    {
        m_pServer = std::make_unique<httplib::Server>();
        m_pServer->set_mount_point("/", m_folder.string());
        m_pServer->set_logger(
            [this](const httplib::Request& request, const httplib::Response&)
            {
                if (request.path.ends_with(".ts"))
                {
                    const std::lock_guard<std::mutex> lock(m_mutex);
                    m_arrSegmentTimes.push_back(Clock::now());
                }
            });
        if (m_nPort == 0)
            m_nPort = m_pServer->bind_to_any_port("127.0.0.1");
        else
            EXPECT_TRUE(m_pServer->bind_to_port("127.0.0.1", m_nPort));
        m_thread = std::thread([this] { m_pServer->listen_after_bind(); });
        while (!m_pServer->is_running())
            std::this_thread::yield();
    }
    void Stop()
    {
        if (m_pServer == nullptr)
            return;
        m_pServer->stop();
        m_thread.join();
        m_pServer.reset();
    }

    int SegmentRequests()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_arrSegmentTimes.size());
    }
    // When the first segment was asked for at or after the time; nullopt when none was.
    std::optional<Clock::time_point> FirstSegmentRequestSince(Clock::time_point since)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const Clock::time_point at : m_arrSegmentTimes)
            if (at >= since)
                return at;
        return std::nullopt;
    }

private:
    std::filesystem::path m_folder;
    QProcess m_ffmpeg;
    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_thread;
    int m_nPort = 0;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_arrSegmentTimes;
};

class TelvaneViewTest : public ScratchHome
{
protected:
    static void SetUpTestSuite() { s_clip = MakeClip(s_strClipError); }

    void SetUp() override
    {
        ScratchHome::SetUp();
        m_pServer = std::make_unique<CListServer>(
            std::initializer_list<std::pair<const std::string, std::string>>{
                {"clip.ts", s_clip}, {"start.htm", "<html><body>Start</body></html>"}});
        m_pView = std::make_unique<CTelvaneView>();
        m_pView->SetMainFrame(&m_frame);
        m_pView->resize(600, 400);
    }
    void TearDown() override
    {
        m_pView.reset();
        m_pServer.reset();
        ScratchHome::TearDown();
    }

    std::string ClipUrl() const { return m_pServer->Url() + "clip.ts"; }
    CWMPPlayer4& Player() const { return *m_pView->GetPlayer(); }
    bool WaitForState(int32_t nState, int nSeconds = 30)
    {
        return PumpEventsUntil([&] { return Player().GetPlayState() == nState; }, nSeconds);
    }
    std::string StatusLine() const { return m_pView->GetStatusText()->text().toStdString(); }
    std::string StationLine() const { return m_pView->GetStationText()->text().toStdString(); }

    static inline std::string s_clip;
    static inline std::string s_strClipError;
    std::unique_ptr<CListServer> m_pServer;
    CFrameStandIn m_frame;
    std::unique_ptr<CTelvaneView> m_pView;
};

TEST_F(TelvaneViewTest, PlaysAStationOnceUntilItStopsAndShowsItsState)
{
    ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
    ASSERT_TRUE(m_pView->Create(CMyString()));
    ASSERT_TRUE(m_pView->IsPlayerCreated());
    m_pView->show();
    EXPECT_FALSE(m_pView->IsStartPageShown());

    // Nothing plays before a station is set, and a folder record is no station; full screen is
    // refused while nothing plays.
    m_pView->Play();
    CStationItem station;
    station.m_strUrl = FOLDER_URL;
    m_pView->SetStation(station);
    m_pView->Play();
    m_pView->FullScreen();
    QTest::qWait(200); // lets posted messages arrive
    EXPECT_TRUE(Player().GetURL().IsEmpty());
    EXPECT_FALSE(Player().GetFullScreen());
    EXPECT_TRUE(m_frame.m_arrCodes.empty());
    m_pView->UpdateStatusLine();
    EXPECT_EQ(StatusLine(), "  Ready");
    EXPECT_EQ(StationLine(), "");

    // The address is cut at its last '&'; the timer shows the player's status and the path.
    station.m_nType = STATION_ITEM_STATION;
    station.m_strUrl = (ClipUrl() + "?a=1&b=2").c_str();
    station.m_strPath = "Demo/Clip";
    m_pView->SetStation(station);
    m_pView->OnUpdate(nullptr, HINT_PLAY, nullptr);
    EXPECT_EQ(Text(Player().GetURL()), ClipUrl() + "?a=1");
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(Player().GetStatus());
    ASSERT_TRUE(PumpEventsUntil([&] { return StatusLine() == "  Playing"; }, 5)) << StatusLine();
    EXPECT_EQ(StationLine(), " Demo/Clip");
    EXPECT_EQ(m_frame.m_arrCodes, std::vector<uintptr_t>{CODE_STATION_STARTED});

    // The station that plays is not started again: not for its own record, whose address the
    // player holds cut, nor for the address in other case.
    m_pView->Play();
    m_pView->SetStation(QString(station.m_strUrl.GetBuffer()).toUpper().toStdString().c_str(),
                        CMyString("Demo/Clip"));
    m_pView->Play();
    m_pView->OnUpdate(nullptr, HINT_KEY, nullptr); // not a play request
    QTest::qWait(200);
    EXPECT_EQ(m_frame.m_arrCodes.size(), 1u);
    EXPECT_EQ(Text(Player().GetURL()), ClipUrl() + "?a=1");
    EXPECT_EQ(Player().GetPlayState(), CWMPPlayer4::PLAY_STATE_PLAYING);

    // Playing, with no start page: full screen is granted.
    m_pView->FullScreen();
    EXPECT_TRUE(Player().GetFullScreen());
    Player().SetFullScreen(false);

    // Stopped, it refuses full screen. (Play after Stop is the whole-program test's.)
    m_pView->Stop();
    m_pView->FullScreen();
    EXPECT_FALSE(Player().GetFullScreen());
    m_pView->UpdateStatusLine();
    EXPECT_EQ(StatusLine(), "  Stopped");

    // A station the player cannot open shows the player's reason, and no window opens.
    m_pView->SetStation(CMyString((m_pServer->Url() + "missing.ts").c_str()),
                        CMyString("Demo/Missing"));
    m_pView->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY)) << Text(Player().GetStatus());
    m_pView->UpdateStatusLine();
    EXPECT_EQ(StatusLine().rfind("  Failed: HTTP error 404", 0), 0u) << StatusLine();
    EXPECT_EQ(StationLine(), " Demo/Missing");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A station that fails at its first start is not tried again.
    PumpEventsUntil([] { return false; }, 3);
    EXPECT_EQ(m_pServer->Requests()["missing.ts"], 1);
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);

    // A station with an empty path leaves the current one as it was.
    m_pView->SetStation(CMyString("http://127.0.0.1:9/other.ts"), CMyString());
    EXPECT_EQ(Text(m_pView->GetStation().m_strPath), "Demo/Missing");

    // Addresses that are no network streams never reach the player (a local file, a device, the
    // engine's own protocols): the status line says why and no station start is posted.
    const size_t uCodes = m_frame.m_arrCodes.size();
    for (const char* pszUrl :
         {"file:///etc/passwd", "/dev/video0", "av://lavfi:testsrc", "memory://x", "ftp://h/a.ts"})
    {
        m_pView->SetStation(CMyString(pszUrl), CMyString("Demo/Local"));
        m_pView->Play();
        m_pView->UpdateStatusLine();
        EXPECT_EQ(StatusLine(), "  Not a network address") << pszUrl;
        EXPECT_NE(Text(Player().GetURL()), pszUrl);
    }
    QTest::qWait(200);
    EXPECT_EQ(m_frame.m_arrCodes.size(), uCodes);
    m_pView->Stop();
    m_pView->UpdateStatusLine();
    EXPECT_EQ(StatusLine(), "  Stopped");
}

// A playlist imported and published with the list tool loads with its stations' request
// headers, and the view plays a channel that the server gives only to the agent the playlist
// names; the next station, which names none, does not inherit it.
TEST_F(TelvaneViewTest, AnImportedStationPlaysWithTheAgentItsServerRequires)
{
    ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
    const std::string strAgent = "ListAgent/1.0 (round trip; \"quoted\", comma)";
    m_pServer->RequireAgent("clip.ts", strAgent);
    Write("channels.m3u",
          "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1 group-title=\"Local\",Local Channel\r\n"
          "#EXTVLCOPT:http-user-agent=" +
              strAgent +
              "\r\n"
              "#EXTVLCOPT:http-referrer=http://portal.example/\r\n" +
              ClipUrl() + "\r\n#EXTINF:-1 group-title=\"Local\",Without Agent\r\n" + ClipUrl() +
              "?plain=1\r\n");
    const std::string strDemo = std::string(ORVANTA_SOURCE_DIR) + "/demo/lists/";
    QDir().mkpath(QString::fromStdString(Path("src")));
    for (const char* pszList : {"ServerSettings.txt", "SearchSettings.txt"})
        ASSERT_TRUE(QFile::copy(QString::fromStdString(strDemo + pszList),
                                QString::fromStdString(Path("src/") + pszList)));
    for (const QStringList& arguments :
         {QStringList{"import-m3u", QString::fromStdString(Path("channels.m3u")),
                      QString::fromStdString(Path("src")), "--category", "Local TV"},
          QStringList{"publish", QString::fromStdString(Path("src")),
                      QString::fromStdString(Path("site"))}})
    {
        QProcess tool;
        tool.start(ORVANTA_LISTS_TOOL, arguments);
        ASSERT_TRUE(tool.waitForFinished(30000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    }

    CMemoryStationTree tree;
    CStationDirectory directory(tree);
    directory.SetRecordVersions(false);
    directory.SetFetchIcons(false);
    ASSERT_TRUE(directory.LoadMoviesSettings(CMyString(Path("site").c_str())));
    const CStationItem* pWithAgent = nullptr;
    const CStationItem* pWithout = nullptr;
    for (uint32_t i = 0; i < directory.GetCount(); ++i)
    {
        const std::string strPath = Text(directory.GetItem(i)->m_strPath);
        if (strPath == "Local TV/Local/Local Channel")
            pWithAgent = directory.GetItem(i);
        else if (strPath == "Local TV/Local/Without Agent")
            pWithout = directory.GetItem(i);
    }
    ASSERT_NE(pWithAgent, nullptr);
    ASSERT_NE(pWithout, nullptr);

    ASSERT_TRUE(m_pView->Create(CMyString()));
    m_pView->show();
    m_pView->SetStation(*pWithAgent);
    m_pView->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(Player().GetStatus());
    EXPECT_EQ(m_pServer->Headers().back().strUserAgent, strAgent);
    EXPECT_EQ(m_pServer->Headers().back().strReferrer, "http://portal.example/");

    m_pView->SetStation(*pWithout);
    m_pView->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_READY)) << Text(Player().GetStatus());
    EXPECT_NE(Text(Player().GetStatus()).find("403"), std::string::npos)
        << Text(Player().GetStatus());
    EXPECT_NE(m_pServer->Headers().back().strUserAgent, strAgent);
    EXPECT_EQ(m_pServer->Headers().back().strReferrer, "");
}

TEST_F(TelvaneViewTest, LaysOutItsPartsHandsKeysToTheTreeAndKeepsItsColumnWide)
{
    ASSERT_TRUE(m_pView->Create(CMyString()));
    m_pView->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pView.get()));

    // 600 x 400: the status texts 25 pixels high at y = 378, the picture area above them and
    // the player covering it.
    EXPECT_EQ(m_pView->GetStatusText()->geometry(), QRect(-3, 378, 200, 25));
    EXPECT_EQ(m_pView->GetStationText()->geometry(), QRect(194, 378, 409, 25));
    EXPECT_EQ(m_pView->GetViewArea(), QRect(0, 0, 601, 375));
    EXPECT_EQ(Player().geometry(), QRect(0, 0, 601, 375));

    // The status line is drawn over the player in the skin's status colours.
    m_pView->UpdateStatusLine();
    const CSkinInfo* pSkin = GetSkinInfo();
    const QImage image = Snapshot(*m_pView);
    EXPECT_TRUE(IsNear(PixelAt(image, 100, 100), Qt::black));
    EXPECT_TRUE(IsNear(PixelAt(image, 590, 396), SkinColor(pSkin->m_clrStatusBg)));
    EXPECT_EQ(m_pView->GetStatusText()->palette().color(QPalette::WindowText),
              SkinColor(pSkin->m_clrStatusText));
    EXPECT_EQ(m_pView->GetStatusText()->font().pixelSize(), 13);

    // Keys pressed in the view go to the tree as hint 10 with their virtual-key codes; without
    // a receiver they go nowhere.
    QTest::keyClick(m_pView.get(), Qt::Key_Down);
    CTreeStandIn tree;
    m_pView->SetKeyReceiver(&tree);
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Return, Qt::Key_Left, Qt::Key_S})
        QTest::keyClick(m_pView.get(), key);
    EXPECT_EQ(tree.m_arrKeys, (std::vector<uint32_t>{40, 13, 37, 'S'}));
    m_pView->SetKeyReceiver(nullptr);

    // In the splitter its column never gets narrower than 180 pixels.
    QSplitter splitter;
    QWidget* pTree = new QWidget(&splitter);
    auto* pView = new CTelvaneView(&splitter);
    ASSERT_TRUE(pView->Create(CMyString()));
    splitter.addWidget(pTree);
    splitter.addWidget(pView);
    pView->SetSplitter(&splitter, 1);
    splitter.resize(700, 300);
    splitter.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
    splitter.setSizes({600, 100});
    PumpEventsUntil([&] { return pView->width() >= CTelvaneView::MIN_VIEW_WIDTH; }, 2);
    EXPECT_EQ(pView->width(), CTelvaneView::MIN_VIEW_WIDTH);
    EXPECT_EQ(pTree->width() + pView->width() + splitter.handleWidth(), 700);
}

TEST_F(TelvaneViewTest, FindsTheStartPageOnTheFirstServerThatAnswers)
{
    const std::string strRes = "data/ORVANTA/res/";
    const auto writeList = [&](const std::string& strName, const std::string& strText)
    { Write(strRes + strName, CFileHandler::Scramble(strText)); };
    CListServer server({{"UpdateSettings.txt", "<U/>"}});
    CLocalSocket refused(-1);
    writeList("ServerSettings.txt",
              "<S><URL>" + refused.Url() + "</URL><URL>" + server.Url() + "</URL></S>");

    // No movies settings yet.
    EXPECT_TRUE(CTelvaneView::GetFirstUrl().IsEmpty());
    writeList("MoviesSettings.txt", "<M><MOVIES/></M>");
    EXPECT_TRUE(CTelvaneView::GetFirstUrl().IsEmpty());
    writeList("MoviesSettings.txt", "<M><FIRST_URL>/pages/Start.htm</FIRST_URL><MOVIES/></M>");
    EXPECT_EQ(Text(CTelvaneView::GetFirstUrl()), server.Url() + "pages/Start.htm");

    // No server answers: no start page, whatever the file says.
    writeList("ServerSettings.txt", "<S><URL>" + refused.Url() + "</URL></S>");
    EXPECT_TRUE(CTelvaneView::GetFirstUrl().IsEmpty());
    ASSERT_TRUE(m_pView->Create());
    EXPECT_FALSE(m_pView->IsStartPageShown());
    EXPECT_EQ(m_pView->GetBrowser(), nullptr);
}

TEST_F(TelvaneViewTest, TheStartPageCoversTheViewUntilTheFirstStation)
{
#ifdef ORVANTA_SANITIZED_BUILD
    GTEST_SKIP() << "the web engine trips the sanitizers inside its own code";
#endif
    ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
    ASSERT_TRUE(m_pView->Create(CMyString((m_pServer->Url() + "start.htm").c_str())));
    m_pView->show();
    CWebBrowser2* pBrowser = m_pView->GetBrowser();
    ASSERT_NE(pBrowser, nullptr);
    EXPECT_TRUE(m_pView->IsStartPageShown());
    EXPECT_TRUE(pBrowser->GetVisible());
    // 20 pixels wider than the view, that strip cut away; 6 pixels into the status line.
    EXPECT_EQ(pBrowser->geometry(), QRect(0, 0, 621, 381));
    EXPECT_EQ(pBrowser->mask().boundingRect(), QRect(0, 0, 601, 381));
    EXPECT_TRUE(Player().geometry().isEmpty());
    ASSERT_TRUE(PumpEventsUntil([&] { return m_pServer->Requests()["start.htm"] > 0; }, 30));

    // Full screen is refused while the start page is shown, even when the player plays.
    Player().SetURL(CMyString(ClipUrl().c_str()));
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(Player().GetStatus());
    m_pView->FullScreen();
    EXPECT_FALSE(Player().GetFullScreen());

    m_pView->SetStation(CMyString((ClipUrl() + "?again").c_str()), CMyString("Demo/Clip"));
    m_pView->Play();
    EXPECT_FALSE(m_pView->IsStartPageShown());
    EXPECT_FALSE(pBrowser->isVisible());
    EXPECT_TRUE(pBrowser->geometry().isEmpty());
    EXPECT_EQ(Player().geometry(), QRect(0, 0, 601, 375));

    // The page stays gone for good.
    m_pView->resize(500, 300);
    EXPECT_FALSE(pBrowser->isVisible());
    EXPECT_EQ(Player().geometry(), QRect(0, 0, 501, 275));
}

TEST_F(TelvaneViewTest, AClipOfKnownLengthStaysFinished)
{
    ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
    ASSERT_TRUE(m_pView->Create(CMyString()));
    m_pView->SetStation(CMyString(ClipUrl().c_str()), CMyString("Demo/Clip"));
    m_pView->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_MEDIA_ENDED)) << Text(Player().GetStatus());
    EXPECT_FALSE(Player().IsLive());
    const int nRequests = m_pServer->Requests()["clip.ts"];
    PumpEventsUntil([] { return false; }, 3);
    EXPECT_EQ(StatusLine(), "  Finished");
    EXPECT_EQ(m_pServer->Requests()["clip.ts"], nRequests);
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);
}

TEST_F(TelvaneViewTest, ALiveStationReconnectsAfterItsServerWasGoneUntilStopped)
{
    using namespace std::chrono_literals;
    CLiveChannel channel(m_root / "live");
    ASSERT_TRUE(channel.WaitUntilLive()) << "ffmpeg made no live playlist";
    ASSERT_TRUE(m_pView->Create(CMyString()));
    m_pView->SetStation(CMyString(channel.Url().c_str()), CMyString("Demo/Live"));
    m_pView->Play();
    ASSERT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(Player().GetStatus());
    EXPECT_TRUE(Player().IsLive());

    // The server goes away for ten seconds: the station is tried again, and asks for segments
    // soon after the server is back.
    const auto wentAway = CLiveChannel::Clock::now();
    channel.Stop();
    ASSERT_TRUE(PumpEventsUntil([&] { return StatusLine() == "  Reconnecting\u2026 (try 1)"; }, 10))
        << StatusLine();
    PumpEventsUntil([] { return false; },
                    static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(
                                         wentAway + 10s - CLiveChannel::Clock::now())
                                         .count()));
    const auto cameBack = CLiveChannel::Clock::now();
    channel.Start();
    ASSERT_TRUE(PumpEventsUntil([&] { return StatusLine() == "  Playing"; }, 30)) << StatusLine();
    const auto firstRequest = channel.FirstSegmentRequestSince(cameBack);
    ASSERT_TRUE(firstRequest.has_value());
    EXPECT_LT(*firstRequest - cameBack, 5s);
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);
    // The banner reloads only for the start the user made.
    EXPECT_EQ(m_frame.Count(CODE_STATION_STARTED), 1);

    // Gone again; Stop during the tries ends them: nothing is asked for after it.
    channel.Stop();
    ASSERT_TRUE(PumpEventsUntil([&] { return m_pView->GetReconnectTry() > 0; }, 20));
    m_pView->Stop();
    const int nRequests = channel.SegmentRequests();
    channel.Start();
    PumpEventsUntil([] { return false; }, 5);
    EXPECT_EQ(channel.SegmentRequests(), nRequests);
    EXPECT_EQ(StatusLine(), "  Stopped");
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);
}

TEST_F(TelvaneViewTest, AnotherStationEndsTheTriesWhichReuseThePlayer)
{
    ASSERT_TRUE(s_strClipError.empty()) << s_strClipError;
    // A stream of unknown length, sent a piece at a time; once the server is "gone" it ends and
    // every request gets a 404.
    std::atomic<bool> bGone{false};
    std::atomic<int> nRequests{0};
    httplib::Server server;
    server.Get("/live.ts",
               [&](const httplib::Request&, httplib::Response& response)
               {
                   ++nRequests;
                   if (bGone)
                   {
                       response.status = 404;
                       return;
                   }
                   response.set_chunked_content_provider(
                       "video/mp2t",
                       [&](size_t uOffset, httplib::DataSink& sink)
                       {
                           if (bGone)
                               return false;
                           const size_t uAt = uOffset % s_clip.size();
                           sink.write(s_clip.data() + uAt,
                                      std::min<size_t>(8192, s_clip.size() - uAt));
                           std::this_thread::sleep_for(std::chrono::milliseconds(20));
                           return true;
                       });
               });
    const int nPort = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    const std::string strUrl = "http://127.0.0.1:" + std::to_string(nPort) + "/live.ts";

    ASSERT_TRUE(m_pView->Create(CMyString()));
    m_pView->SetReconnectPauses(100, 200);
    CWMPPlayer4* pPlayer = m_pView->GetPlayer();
    m_pView->SetStation(CMyString(strUrl.c_str()), CMyString("Demo/Live"));
    m_pView->Play();
    EXPECT_TRUE(WaitForState(CWMPPlayer4::PLAY_STATE_PLAYING)) << Text(Player().GetStatus());
    bGone = true;
    EXPECT_TRUE(PumpEventsUntil([&] { return m_pView->GetReconnectTry() >= 3; }, 30));
    // The same player tries again; the banner is not reloaded for the tries.
    EXPECT_EQ(m_pView->GetPlayer(), pPlayer);
    EXPECT_EQ(m_frame.Count(CODE_STATION_STARTED), 1);

    // Selecting another station (as Previous or Next do) ends the tries.
    m_pView->SetStation(CMyString((m_pServer->Url() + "other.ts").c_str()),
                        CMyString("Demo/Other"));
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);
    const int nAfter = nRequests;
    PumpEventsUntil([] { return false; }, 2);
    EXPECT_EQ(nRequests, nAfter);
    EXPECT_EQ(m_pView->GetReconnectTry(), 0);
    server.stop();
    thread.join();
}

TEST(ReconnectPauseTest, DoublesUpToTheLongest)
{
    std::vector<int32_t> arrPauses;
    for (int32_t nTry = 1; nTry <= 8; ++nTry)
        arrPauses.push_back(CTelvaneView::ReconnectPause(nTry, 1000, 30000));
    EXPECT_EQ(arrPauses,
              (std::vector<int32_t>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_EQ(CTelvaneView::ReconnectPause(1000000, 1000, 30000), 30000);
}
} // namespace
