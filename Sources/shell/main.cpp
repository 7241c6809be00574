// The program: prepares the process for the web engine, libcurl and libmpv, finds the install
// path, and runs the application. One more command serves the installer:
//
//   orvanta --set-install-path DIR   records DIR (made absolute) as the "Install Path" setting,
//                                    the folder that holds res/ with the skin and the first
//                                    lists, and ends; no window.
//
// Environment for tests (off unless set):
//   ORVANTA_AUTOPLAY=N   once the tree has loaded, select its N-th station (1 = the first) and
//                        play it, as a double click on it would. With ORVANTA_DEBUG set it
//                        traces the tree's categories and the station's address.
#include "config/RegClass.h"
#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "host/WebBrowser2.h"
#include "platform/ConnectionCheck.h"
#include "platform/Trace.h"
#include "shell/MainFrame.h"
#include "shell/TelvaneApp.h"
#include "shell/TelvaneDoc.h"
#include "shell/TelvaneView.h"
#include "skin/SkinInfo.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
constexpr const char* kSetInstallPath = "--set-install-path";
// How long the autoplay hook waits for the tree before it gives up.
constexpr int kAutoPlayPollMs = 200;
constexpr int kAutoPlayMaxPolls = 300;
// How many folders, from the executable's own upwards, may hold res/ when no install path is set.
constexpr int kInstallPathLevels = 3;

int SetInstallPath(const char* pszFolder)
{
    const QFileInfo folder(QString::fromLocal8Bit(pszFolder));
    if (pszFolder[0] == '\0' || !folder.isDir())
    {
        std::fprintf(stderr, "orvanta: %s is not a folder\n", pszFolder);
        return 1;
    }
    const QByteArray path = folder.absoluteFilePath().toUtf8();
    RegClass registry(RegHive::CurrentUser, "SOFTWARE\\ORVANTA");
    if (registry.WriteValue("", "Install Path", path.constData()) != 0)
    {
        std::fprintf(stderr, "orvanta: cannot write the settings store\n");
        return 1;
    }
    return 0;
}

// With no "Install Path" recorded, the install path is found from the executable's folder:
// first the installed layout (bin/orvanta beside share/orvanta/res, ORVANTA_TREE_FROM_PROGRAM),
// then, for a program run straight from its build folder, the nearest folder holding res/Skin
// among the executable's folder and the two above it: the program is built into build/Sources/
// inside the source tree, whose res/ is the original of the installed tree. When the setting
// exists, g_strPath stays empty so that the skin fills it from the setting as usual.
void FindInstallPathBesideProgram()
{
    if (!Settings().GetInstallPath().IsEmpty())
        return;
    QDir folder(QCoreApplication::applicationDirPath());
    const QString strInstalled =
        QDir::cleanPath(folder.filePath(QStringLiteral(ORVANTA_TREE_FROM_PROGRAM)));
    if (QFileInfo(strInstalled + QStringLiteral("/res/Skin")).isDir())
    {
        g_strPath = CMyString(strInstalled.toUtf8().constData());
        Trace("No install path recorded; using %s", g_strPath.GetBuffer());
        return;
    }
    for (int nLevel = 0; nLevel < kInstallPathLevels; ++nLevel)
    {
        if (QFileInfo(folder.filePath(QStringLiteral("res/Skin"))).isDir())
        {
            g_strPath = CMyString(folder.absolutePath().toUtf8().constData());
            Trace("No install path recorded; using %s", g_strPath.GetBuffer());
            return;
        }
        if (!folder.cdUp())
            return;
    }
}

// One attempt of the ORVANTA_AUTOPLAY hook: false while the tree has not loaded yet.
bool TryAutoPlay(CMainFrame* pFrame, CTelvaneDoc* pDocument, int nStation)
{
    CFolderTreeView* pTree = pFrame->GetTreeView();
    CTelvaneView* pView = pFrame->GetPlayerView();
    if (pTree == nullptr || pView == nullptr || pTree->topLevelItemCount() == 0)
        return false;
    QString strCategories;
    for (int i = 0; i < pTree->topLevelItemCount(); ++i)
    {
        if (i > 0)
            strCategories += QStringLiteral(" | ");
        strCategories += pTree->topLevelItem(i)->text(0);
    }
    Trace("Autoplay: tree: %s", strCategories.toUtf8().constData());

    for (int i = 0; i < nStation; ++i)
    {
        if (!pTree->NextStation())
            break;
    }
    const CStationItem* pStation = pTree->GetSelectedItem();
    if (pStation == nullptr || pStation->m_strUrl.IsEmpty())
        return true;
    Trace("Autoplay: %s", pStation->m_strUrl.GetBuffer());
    pView->SetStation(*pStation);
    pDocument->UpdateAllViews(nullptr, HINT_PLAY);
    return true;
}

// The ORVANTA_AUTOPLAY hook: waits for the tree's stations, selects the N-th and plays it.
void StartAutoPlay(CTelvaneApp& app, int nStation)
{
    auto* pTimer = new QTimer(QCoreApplication::instance());
    auto pnPolls = std::make_shared<int>(0);
    const QPointer<CMainFrame> pFrame = app.GetMainFrame();
    CTelvaneDoc* pDocument = app.GetDocument();
    QObject::connect(pTimer, &QTimer::timeout, pTimer,
                     [pTimer, pnPolls, pFrame, pDocument, nStation]
                     {
                         if (++*pnPolls > kAutoPlayMaxPolls || pFrame.isNull() ||
                             TryAutoPlay(pFrame.data(), pDocument, nStation))
                         {
                             pTimer->stop();
                             pTimer->deleteLater();
                         }
                     });
    pTimer->start(kAutoPlayPollMs);
}

// The program proper; main adds the trace of the process's start and end.
int RunProgram(int nArgc, char** ppArgv)
{
    if (nArgc == 3 && std::strcmp(ppArgv[1], kSetInstallPath) == 0)
        return SetInstallPath(ppArgv[2]);
    // libcurl must be ready before any thread starts. The installer's words open a page and end:
    // no window system is needed, nor started.
    QStringList arrArguments;
    for (int i = 0; i < nArgc; ++i)
        arrArguments.append(QString::fromLocal8Bit(ppArgv[i]));
    InitNetworking();
    if (CTelvaneApp::RunInstallerWord(CTelvaneApp::GetCommandLineWord(arrArguments)))
        return 0;
    // A second plain start ends quietly, and quickly: before the window system is started.
    if (CTelvaneApp::IsSecondPlainStart(arrArguments))
        return 0;

    // Before the application object: the web engine reads its settings from the environment.
    CWebBrowser2::PrepareEnvironment();
    QApplication application(nArgc, ppArgv);
    // Qt sets the locale from the environment; libmpv refuses to start unless numbers are
    // formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    FindInstallPathBesideProgram();

    CTelvaneApp app(QCoreApplication::arguments());
    if (!app.InitInstance())
        return 0;
    if (const char* pszAutoPlay = std::getenv("ORVANTA_AUTOPLAY"); pszAutoPlay != nullptr)
    {
        const int nStation = std::atoi(pszAutoPlay);
        if (nStation > 0)
            StartAutoPlay(app, nStation);
    }
    return QApplication::exec();
}
} // namespace

// With ORVANTA_DEBUG set, every process says when it starts and with which status it ends, so
// that a test can tell a normal end from a crash also for the processes the program restarts
// itself (the first run and an update end through the restart's own exit, which says the same).
int main(int nArgc, char** ppArgv)
{
    Trace("Process %d starts", static_cast<int>(getpid()));
    const int nStatus = RunProgram(nArgc, ppArgv);
    Trace("Process %d ends with %d", static_cast<int>(getpid()), nStatus);
    return nStatus;
}
