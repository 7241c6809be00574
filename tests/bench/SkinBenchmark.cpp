// How long the window's surface takes to paint from the shipped skin: every paint reads all
// nineteen frame pictures anew and composes the surface off-screen, so this is the cost of one
// resize step.

#include "shell/SkinFramePainter.h"
#include "skin/SkinInfo.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdlib>

namespace
{

void BM_PaintWindowSurface(benchmark::State& state)
{
    const int32_t nWidth = static_cast<int32_t>(state.range(0));
    const int32_t nHeight = static_cast<int32_t>(state.range(1));
    CSkinFramePainter::CEdges banner{nWidth - 490, nHeight - 74, nWidth - 19, nHeight - 10};
    for (auto _ : state)
    {
        QImage surface =
            CSkinFramePainter::PaintSurface(nWidth, nHeight, 40, banner, SkinRgb(30, 34, 41));
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_PaintWindowSurface)
    ->Args({1010, 640})
    ->Args({1920, 1040})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int nArgc, char** ppArgv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(nArgc, ppArgv);
    // The skin of the source tree.
    g_strPath = CMyString(ORVANTA_SOURCE_DIR);
    benchmark::Initialize(&nArgc, ppArgv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
