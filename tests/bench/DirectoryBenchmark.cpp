// Speed and memory of the station directory load at its largest expected size: 20 categories
// holding 100,000 stations in 1,000 menus, read from scrambled files into the in-memory tree.

#include "BenchDirectory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <malloc.h>
#include <sys/resource.h>

namespace
{

constexpr int kCategories = 20;
constexpr int kMenus = 1000;
constexpr int kStations = 100000;

// One load as the list tool does it: no icons, no versions recorded (the benchmark never
// touches the user's settings). Answers the number of records.
uint32_t LoadDirectory(const CMyString& strFolder)
{
    CMemoryStationTree tree;
    CStationDirectory directory(tree);
    directory.SetFetchIcons(false);
    directory.SetRecordVersions(false);
    directory.LoadMoviesSettings(strFolder);
    return directory.GetCount();
}

// A line "Name:   1234 kB" of /proc/self/status, in bytes; 0 when it cannot be read.
double ProcStatusBytes(const char* pszName)
{
    std::ifstream status("/proc/self/status");
    std::string strKey;
    while (status >> strKey)
    {
        if (strKey == pszName)
        {
            double dKilobytes = 0;
            status >> dKilobytes;
            return dKilobytes * 1024.0;
        }
    }
    return 0;
}

// Peak memory of one load above what the process used before it: the peak resident size is
// reset first (clear_refs 5); where that is not allowed, the growth of ru_maxrss is taken.
double MeasurePeakBytes(const CMyString& strFolder)
{
    malloc_trim(0);
    const double dBefore = ProcStatusBytes("VmRSS:");
    const bool bReset = static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5");
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const double dMaxBefore = static_cast<double>(usage.ru_maxrss) * 1024.0;
    benchmark::DoNotOptimize(LoadDirectory(strFolder));
    if (bReset)
        return ProcStatusBytes("VmHWM:") - dBefore;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 - dMaxBefore;
}

void BM_DirectoryLoad(benchmark::State& state)
{
    const std::string strFolder =
        BuildBenchDirectory(kCategories, kMenus / kCategories, kStations / kMenus, true);
    if (strFolder.empty())
    {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    const CMyString strResFolder(strFolder.c_str());
    const double dPeakBytes = MeasurePeakBytes(strResFolder);

    uint32_t uCount = 0;
    for (auto _ : state)
    {
        uCount = LoadDirectory(strResFolder);
        benchmark::DoNotOptimize(uCount);
    }
    std::filesystem::remove_all(strFolder);
    if (uCount != static_cast<uint32_t>(kCategories + kMenus + kStations))
        state.SkipWithError("the generated directory did not load whole");
    state.counters["records"] = uCount;
    state.counters["peak_MB"] = dPeakBytes / 1e6;
}
BENCHMARK(BM_DirectoryLoad)->Unit(benchmark::kMillisecond);

} // namespace
