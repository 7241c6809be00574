// Memory of the player view over a long outage: a live stream plays, its server then answers
// every request with 404, and the view tries again and again with short pauses. The counters
// give the resident memory after the 10th and the 100th try; the two should be about equal.

#include "host/WMPPlayer4.h"
#include "shell/TelvaneView.h"

#include "ListServer.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>

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
    CLiveStream live(clip);
    const std::string strUrl = live.Url();

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
        live.m_bGone = true;
        PumpEventsUntil([&] { return view.GetReconnectTry() >= 10; }, 120);
        state.counters["rss_try10_MB"] = ResidentMegabytes();
        PumpEventsUntil([&] { return view.GetReconnectTry() >= 100; }, 600);
        state.counters["rss_try100_MB"] = ResidentMegabytes();
        state.counters["tries"] = view.GetReconnectTry();
        view.Stop();
    }
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
