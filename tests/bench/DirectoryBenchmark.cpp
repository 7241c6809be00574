// Speed and memory of the station directory load at its largest expected size: 20 categories
// holding 100,000 stations in 1,000 menus, read from scrambled files into the in-memory tree.

#include "config/FileHandler.h"
#include "directory/StationDirectory.h"

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

// Writes the movies settings file and the category files, scrambled as the servers deliver them.
std::string BuildResFolder()
{
    std::string strFolder = (std::filesystem::temp_directory_path() / "directory-bench-XXXXXX");
    if (mkdtemp(strFolder.data()) == nullptr)
        return std::string();
    strFolder += "/";

    const int nMenusPerCategory = kMenus / kCategories;
    const int nStationsPerMenu = kStations / kMenus;
    std::string strMovies = "<MOVIES_SETTINGS>\n\t<VERSION>1.0</VERSION>\n\t<MOVIES>\n";
    char szLine[512];
    int nStation = 0;
    for (int nCategory = 0; nCategory < kCategories; ++nCategory)
    {
        std::snprintf(szLine, sizeof szLine,
                      "\t\t<CATEGORY>\n\t\t\t<NAME>Category %d</NAME>\n"
                      "\t\t\t<FILE_NAME>category%d.txt</FILE_NAME>\n\t\t</CATEGORY>\n",
                      nCategory, nCategory);
        strMovies += szLine;

        std::string strText = "<CATEGORY_FILE>\n\t<VERSION>2.4.118</VERSION>\n\t<MENU>\n"
                              "\t\t<CAPTION>All Channels</CAPTION>\n";
        for (int nMenu = 0; nMenu < nMenusPerCategory; ++nMenu)
        {
            std::snprintf(szLine, sizeof szLine,
                          "\t\t<MENU>\n\t\t\t<CAPTION>Menu %d.%d</CAPTION>\n"
                          "\t\t\t<ICON_URL>http://img.example.net/menus/%d.gif</ICON_URL>\n",
                          nCategory, nMenu, nMenu);
            strText += szLine;
            for (int i = 0; i < nStationsPerMenu; ++i, ++nStation)
            {
                std::snprintf(szLine, sizeof szLine,
                              "\t\t\t<MENU_ITEM>\n"
                              "\t\t\t\t<CAPTION>%s %05d</CAPTION>\n"
                              "\t\t\t\t<ICON_URL>http://img.example.net/%05d.gif</ICON_URL>\n"
                              "\t\t\t\t<URL>http://s%d.example.net/%05d.m3u8</URL>\n"
                              "\t\t\t</MENU_ITEM>\n",
                              nStation % 4 == 0 ? "Tom &amp; Jerry TV" : "Channel", nStation,
                              nStation, nStation % 10, nStation);
                strText += szLine;
            }
            strText += "\t\t</MENU>\n";
        }
        strText += "\t</MENU>\n</CATEGORY_FILE>\n";
        std::ofstream(strFolder + "category" + std::to_string(nCategory) + ".txt", std::ios::binary)
            << CFileHandler::Scramble(strText);
    }
    strMovies += "\t</MOVIES>\n</MOVIES_SETTINGS>\n";
    std::ofstream(strFolder + MOVIES_SETTINGS_FILE, std::ios::binary)
        << CFileHandler::Scramble(strMovies);
    return strFolder;
}

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
    const std::string strFolder = BuildResFolder();
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
