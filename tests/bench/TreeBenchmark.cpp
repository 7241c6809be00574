// The station tree at 200,000 stations (20 categories of 100 menus of 100 stations) on the
// offscreen platform: loading it into the widget, the forward search for a text found only in
// the last station and for one found nowhere, stepping through the stations and painting the
// tree while it scrolls.

#include "BenchDirectory.h"

#include "directory/FolderTreeView.h"
#include "skin/MyMessageBox.h"
#include "skin/SkinInfo.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <malloc.h>

namespace
{

constexpr int kCategories = 20;
constexpr int kMenusPerCategory = 100;
constexpr int kStationsPerMenu = 100;
constexpr int kStations = kCategories * kMenusPerCategory * kStationsPerMenu;
constexpr uint32_t kRecords = kCategories * (1 + kMenusPerCategory) + kStations;

// Resident memory of the process in bytes, from /proc/self/status.
double ResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string strKey;
    while (status >> strKey)
    {
        if (strKey == "VmRSS:")
        {
            double dKilobytes = 0;
            status >> dKilobytes;
            return dKilobytes * 1024.0;
        }
    }
    return 0;
}

const std::string& Folder()
{
    static const std::string s_strFolder =
        BuildBenchDirectory(kCategories, kMenusPerCategory, kStationsPerMenu, true);
    return s_strFolder;
}

// A tree of the window's size with the directory loaded as at start-up (icons named, their
// downloads failing at once), without a server walk, then shown.
std::unique_ptr<CFolderTreeView> MakeTree()
{
    auto pTree = std::make_unique<CFolderTreeView>();
    pTree->resize(250, 700);
    pTree->GetDirectory().SetRecordVersions(false);
    pTree->GetDirectory().LoadMoviesSettings(CMyString(Folder().c_str()));
    // As at start-up, the window is shown once the tree has loaded.
    pTree->show();
    QCoreApplication::processEvents();
    return pTree;
}

CFolderTreeView& SharedTree()
{
    static std::unique_ptr<CFolderTreeView> s_pTree = MakeTree();
    return *s_pTree;
}

void BM_TreeLoad(benchmark::State& state)
{
    // The directory is written before the timing starts.
    if (Folder().empty())
    {
        state.SkipWithError("cannot make a temporary folder");
        return;
    }
    double dGrowth = 0;
    uint32_t uCount = 0;
    for (auto _ : state)
    {
        malloc_trim(0);
        const double dBefore = ResidentBytes();
        auto pTree = MakeTree();
        dGrowth = ResidentBytes() - dBefore;
        uCount = pTree->GetDirectory().GetCount();
        state.PauseTiming();
        pTree.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (uCount != kRecords)
        state.SkipWithError("the generated directory did not load whole");
    state.counters["records"] = uCount;
    state.counters["memory_MB"] = dGrowth / 1e6;
}
BENCHMARK(BM_TreeLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// FindNext from the first record for the digits of the last station, which no other caption
// holds: the whole directory is searched, and the found station is selected and scrolled to.
void BM_FindNextLastStation(benchmark::State& state)
{
    CFolderTreeView& tree = SharedTree();
    const CStationItem* pLast = tree.GetDirectory().GetItem(kRecords - 1);
    for (auto _ : state)
    {
        state.PauseTiming();
        tree.SelectItem(tree.GetDirectory().GetItem(0)->m_hItem);
        state.ResumeTiming();
        CMyString strText("199999");
        tree.FindNext(strText);
        if (tree.GetSelectedItem() != pLast)
            state.SkipWithError("the last station was not found");
    }
}
BENCHMARK(BM_FindNextLastStation)->Unit(benchmark::kMillisecond);

// FindNext for a text that no record holds, until its message box is shown (it is answered at
// once, as soon as it appears).
void BM_FindNextNowhere(benchmark::State& state)
{
    CFolderTreeView& tree = SharedTree();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout,
                     []
                     {
                         if (auto* pBox =
                                 dynamic_cast<CMyMessageBox*>(QApplication::activeModalWidget()))
                             pBox->done(CMyMessageBox::RESULT_CANCEL);
                     });
    answer.start(0);
    for (auto _ : state)
    {
        CMyString strText("no such station");
        tree.FindNext(strText);
    }
}
BENCHMARK(BM_FindNextNowhere)->Unit(benchmark::kMillisecond);

// The search alone, without the selection or the message box.
void BM_FindRecordNowhere(benchmark::State& state)
{
    const CStationDirectory& directory = SharedTree().GetDirectory();
    const CMyString strText("no such station");
    for (auto _ : state)
        benchmark::DoNotOptimize(directory.FindRecord(strText, 0));
}
BENCHMARK(BM_FindRecordNowhere)->Unit(benchmark::kMillisecond);

// Down one station at a time through an open menu, as a held-down key does.
void BM_NextStation(benchmark::State& state)
{
    CFolderTreeView& tree = SharedTree();
    tree.SelectItem(tree.GetDirectory().GetItem(kRecords / 2)->m_hItem);
    for (auto _ : state)
    {
        if (!tree.NextStation())
            tree.SelectItem(tree.GetDirectory().GetItem(kRecords / 2)->m_hItem);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_NextStation)->Unit(benchmark::kMicrosecond);

// One scroll step of three rows and the paint of the whole tree that follows, with every menu
// open (the largest tree the user can make).
void BM_ScrollAndPaint(benchmark::State& state)
{
    CFolderTreeView& tree = SharedTree();
    tree.expandAll();
    QCoreApplication::processEvents();
    QScrollBar* pBar = tree.verticalScrollBar();
    pBar->setValue(pBar->maximum() / 2);
    QImage image(tree.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
    {
        pBar->setValue(pBar->value() + 3 > pBar->maximum() ? 0 : pBar->value() + 3);
        QPainter painter(&image);
        tree.render(&painter);
    }
    state.counters["rows"] = pBar->maximum();
}
BENCHMARK(BM_ScrollAndPaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int nArgc, char** ppArgv)
{
    // The tree's settings go to a scratch home, never the user's.
    std::string strScratch = (std::filesystem::temp_directory_path() / "tree-bench-XXXXXX");
    if (mkdtemp(strScratch.data()) == nullptr)
        return 1;
    for (const char* pszName :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        setenv(pszName, strScratch.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(nArgc, ppArgv);
    g_strPath = CMyString(ORVANTA_SOURCE_DIR);
    benchmark::Initialize(&nArgc, ppArgv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    std::filesystem::remove_all(strScratch);
    return 0;
}
