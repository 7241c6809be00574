// Speed of the playlist import at the size of the largest provider lists: 100,000 entries in
// 200 groups, with logos, request options and the odd comment, read and written as a category
// file. The whole command (files included) is timed by running the list tool on the same text.

#include "M3uPlaylist.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

constexpr int kEntries = 100000;
constexpr int kGroups = 200;

std::string BuildPlaylist()
{
    std::string strText = "\xEF\xBB\xBF#EXTM3U url-tvg=\"http://epg.example/guide.xml\"\r\n";
    for (int nEntry = 0; nEntry < kEntries; ++nEntry)
    {
        const std::string strNumber = std::to_string(nEntry);
        const std::string strGroup = std::to_string(nEntry % kGroups);
        strText += "#EXTINF:-1 tvg-id=\"ch" + strNumber + "\" tvg-name=\"Channel " + strNumber +
                   "\" tvg-logo=\"http://logo.example/" + strNumber +
                   ".png\" group-title=\"Group " + strGroup + "\",Channel " + strNumber +
                   " HD, <Live> & more\r\n";
        if (nEntry % 10 == 0)
            strText += "#EXTVLCOPT:http-user-agent=Portal Player/2.1\r\n"
                       "#EXTVLCOPT:http-referrer=https://portal.example/\r\n";
        if (nEntry % 100 == 0)
            strText += "# group " + strGroup + "\r\n";
        strText += "https://cdn.example/live/" + strNumber +
                   "/index.m3u8?token=abc&id=" + strNumber + "\r\n";
    }
    return strText;
}

void BM_ImportPlaylist(benchmark::State& state)
{
    const std::string strPlaylist = BuildPlaylist();
    size_t uWritten = 0;
    for (auto _ : state)
    {
        CM3uPlaylist playlist;
        playlist.Parse(strPlaylist);
        const std::string strCategory = playlist.BuildCategoryFile("Provider TV", "1.0");
        uWritten = strCategory.size();
        benchmark::DoNotOptimize(strCategory.data());
        if (playlist.GetStationCount() != kEntries)
            state.SkipWithError("stations were lost");
    }
    state.counters["playlist_MB"] = static_cast<double>(strPlaylist.size()) / 1e6;
    state.counters["category_MB"] = static_cast<double>(uWritten) / 1e6;
}
BENCHMARK(BM_ImportPlaylist)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
