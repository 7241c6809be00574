// Memory of the player view over a long outage: a live stream plays, its server then answers
// every request with 404, and the view tries again and again with short pauses. The counters
// give the resident memory after the 10th and the 100th try; the two should be about equal.

#include "host/WMPPlayer4.h"
#include "shell/TelvaneView.h"

#include "TestSupport.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QApplication>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace
{
// The resident memory of this process in megabytes.
double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine))
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::stod(strLine.substr(6)) / 1024.0;
    return 0;
}

void BM_ReconnectTries(benchmark::State& state)
{
    std::string strError;
    const std::string clip = MakeClip(strError);
    if (clip.empty())
    {
        state.SkipWithError(strError.c_str());
        return;
    }
    // A stream of unknown length, sent a piece at a time until the server is "gone".
    std::atomic<bool> bGone{false};
    httplib::Server server;
    server.Get("/live.ts",
               [&](const httplib::Request&, httplib::Response& response)
               {
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
                           const size_t uAt = uOffset % clip.size();
                           sink.write(clip.data() + uAt, std::min<size_t>(8192, clip.size() - uAt));
                           std::this_thread::sleep_for(std::chrono::milliseconds(20));
                           return true;
                       });
               });
    const int nPort = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    const std::string strUrl = "http://127.0.0.1:" + std::to_string(nPort) + "/live.ts";

    for (auto _ : state)
    {
        CTelvaneView view;
        view.Create(CMyString());
        view.SetReconnectPauses(10, 10);
        view.SetStation(CMyString(strUrl.c_str()), CMyString("Bench/Live"));
        view.Play();
        if (!PumpEventsUntil(
                [&]
                { return view.GetPlayer()->GetPlayState() == CWMPPlayer4::PLAY_STATE_PLAYING; }))
        {
            state.SkipWithError("the live stream did not play");
            break;
        }
        bGone = true;
        PumpEventsUntil([&] { return view.GetReconnectTry() >= 10; }, 120);
        state.counters["rss_try10_MB"] = ResidentMegabytes();
        PumpEventsUntil([&] { return view.GetReconnectTry() >= 100; }, 600);
        state.counters["rss_try100_MB"] = ResidentMegabytes();
        state.counters["tries"] = view.GetReconnectTry();
        view.Stop();
    }
    server.stop();
    thread.join();
}
BENCHMARK(BM_ReconnectTries)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int nArgc, char** ppArgv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ORVANTA_PLAYER_HEADLESS", "1", 1);
    // A home of its own: the view reads the skin's settings, never those of the real user.
    char szHome[] = "/tmp/orvanta-bench-XXXXXX";
    if (mkdtemp(szHome) == nullptr)
        return 1;
    const std::string strHome(szHome);
    for (const char* pszName : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        setenv(pszName, strHome.c_str(), 1);
    QApplication application(nArgc, ppArgv);
    benchmark::Initialize(&nArgc, ppArgv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(strHome);
    return 0;
}
