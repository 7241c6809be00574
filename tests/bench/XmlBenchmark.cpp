// Speed of the settings-file reader on the largest list it is expected to meet: a category file
// of 100,000 stations (about 15 MB), laid out the way list authors write them.

#include "text/MyXmlDom.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace
{

constexpr int kStations = 100000;
constexpr int kStationsPerMenu = 1000;

const char* const kTopics[] = {
    "News",        "Sport",   "Music &amp; Clips", "Movies", "Kids &amp; Family",
    "Documentary", "Weather", "Travel &amp; Food"};

std::string BuildCategoryFile(int nStations)
{
    std::string strText;
    strText.reserve(static_cast<size_t>(nStations) * 170 + 4096);
    strText += "<CATEGORY_FILE>\n\t<VERSION>2.4.118</VERSION>\n\t<MENU>\n\t\t<CAPTION>All "
               "Channels</CAPTION>\n";
    char szLine[512];
    for (int nStation = 0; nStation < nStations; ++nStation)
    {
        const int nMenu = nStation / kStationsPerMenu;
        if (nStation % kStationsPerMenu == 0)
        {
            if (nStation > 0)
                strText += "\t\t</MENU>\n";
            std::snprintf(szLine, sizeof(szLine),
                          "\t\t<MENU>\n\t\t\t<CAPTION>%s %d</CAPTION>\n"
                          "\t\t\t<ICON_URL>http://img.example.net/menus/%d.gif"
                          "</ICON_URL>\n",
                          kTopics[nMenu % 8], nMenu, nMenu);
            strText += szLine;
        }
        // Every fourth caption carries an entity, as names like "Tom & Jerry" do.
        std::snprintf(szLine, sizeof(szLine),
                      "\t\t\t<MENU_ITEM>\n"
                      "\t\t\t\t<CAPTION>%s %05d</CAPTION>\n"
                      "\t\t\t\t<ICON_URL>http://img.example.net/%05d.gif</ICON_URL>\n"
                      "\t\t\t\t<URL>http://s%d.example.net/%05d.m3u8</URL>\n"
                      "\t\t\t</MENU_ITEM>\n",
                      nStation % 4 == 0 ? "Tom &amp; Jerry TV" : "Channel", nStation, nStation,
                      nStation % 10, nStation);
        strText += szLine;
    }
    strText += "\t\t</MENU>\n\t</MENU>\n</CATEGORY_FILE>\n";
    return strText;
}

void BM_LoadXmlCategoryFile(benchmark::State& state)
{
    const std::string strFile = BuildCategoryFile(static_cast<int>(state.range(0)));
    const CMyString strText(strFile.c_str());
    for (auto _ : state)
    {
        // The document lives on the stack as in every settings reader, so freeing the tree
        // is part of each round.
        CMyXmlDom dom;
        const bool bLoaded = dom.LoadXml(strText);
        benchmark::DoNotOptimize(bLoaded);
        if (!bLoaded)
        {
            state.SkipWithError("the generated category file did not load");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(strFile.size()));
    state.counters["file_MB"] = static_cast<double>(strFile.size()) / 1e6;
}
BENCHMARK(BM_LoadXmlCategoryFile)->Arg(1000)->Arg(kStations)->Unit(benchmark::kMillisecond);

// A caption with entities, and a plain one, which takes the early way out.
void BM_DecodeXmlEntitiesCaption(benchmark::State& state)
{
    const CMyString strCaption(state.range(0) != 0
                                   ? "Tom &amp; Jerry&#39;s Kids &amp; Family &quot;Live&quot;"
                                   : "Channel 01234 Evening News");
    for (auto _ : state)
    {
        CMyString str(strCaption);
        str.DecodeXmlEntities();
        benchmark::DoNotOptimize(str.GetBuffer());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * strCaption.GetLength());
}
BENCHMARK(BM_DecodeXmlEntitiesCaption)->Arg(1)->Arg(0);

} // namespace

BENCHMARK_MAIN();
