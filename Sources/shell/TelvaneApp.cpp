#include "shell/TelvaneApp.h"

#include "config/ServerList.h"
#include "config/Settings.h"
#include "platform/ShellLaunch.h"
#include "platform/Trace.h"
#include "shell/MainFrame.h"
#include "shell/MyDlgBar.h"
#include "shell/TelvaneDoc.h"

#include <cstdio>

CMyString g_strBrowserExe;

namespace
{
bool IsWord(const CMyString& strWord, const char* pszWord)
{
    return !strWord.IsEmpty() && strWord.IsEqualNoCase(CMyString(pszWord));
}
} // namespace

CTelvaneApp::CTelvaneApp(const QStringList& arrArguments, const CMainFrame::CStartupHooks& hooks)
    : m_arrArguments(arrArguments), m_startupHooks(hooks)
{
}

CTelvaneApp::~CTelvaneApp()
{
    // The window set goes before the lock, so a new instance never starts beside a window that
    // is still being torn down.
    m_pMainFrame.reset();
    m_pDocument.reset();
    m_hMutex.Release();
}

CMyString CTelvaneApp::GetCommandLineWord(const QStringList& arrArguments)
{
    for (qsizetype i = 1; i < arrArguments.size(); ++i)
    {
        const QString& strArgument = arrArguments[i];
        if (strArgument.isEmpty() || strArgument.startsWith(QLatin1Char('-')))
            continue;
        return CMyString(strArgument.toUtf8().constData());
    }
    return CMyString();
}

CMyString CTelvaneApp::MakeWindowTitle(const CMyString& strVersion)
{
    CMyString strTitle(PRODUCT_NAME);
    if (!strVersion.IsEmpty())
    {
        strTitle += " - ";
        strTitle += strVersion;
    }
    return strTitle;
}

CMyString CTelvaneApp::FindReachableServerUrl(const CMyString& strPage)
{
    CMyString strUrl = FindFirstReachableServer(strPage);
    if (strUrl.IsEmpty())
        return strUrl;
    strUrl += strPage;
    return strUrl;
}

void CTelvaneApp::DetectBrowser()
{
    g_strBrowserExe = CMyString();
    Settings().DetectDefaultBrowser(g_strBrowserExe);
    if (g_strBrowserExe.IsEmpty())
        g_strBrowserExe = FALLBACK_BROWSER;
}

void CTelvaneApp::OpenServerPage(const char* pszPage)
{
    const CMyString strUrl = FindReachableServerUrl(CMyString(pszPage));
    if (strUrl.IsEmpty())
    {
        Trace("No server answers for %s", pszPage);
        return;
    }
    // Without a browser (a machine without a desktop, say) the installer's user still gets the
    // address.
    if (!LaunchProgram(g_strBrowserExe, {strUrl}))
        std::printf("%s\n", strUrl.GetBuffer());
}

bool CTelvaneApp::RunInstallerWord(const CMyString& strWord)
{
    const char* pszPage = IsWord(strWord, "uninstall") ? UNINSTALL_PAGE
                          : IsWord(strWord, "install") ? INSTALL_PAGE
                                                       : nullptr;
    if (pszPage == nullptr)
        return false;
    DetectBrowser();
    OpenServerPage(pszPage);
    return true;
}

bool CTelvaneApp::IsSecondPlainStart(const QStringList& arrArguments)
{
    if (IsWord(GetCommandLineWord(arrArguments), "reopen"))
        return false;
    CSingleInstanceLock probe;
    return probe.TryAcquire(CMyString(MUTEX_NAME)) == CSingleInstanceLock::Result::HeldElsewhere;
}

bool CTelvaneApp::IsAnotherInstanceRunning()
{
    return m_hMutex.TryAcquire(CMyString(MUTEX_NAME)) == CSingleInstanceLock::Result::HeldElsewhere;
}

bool CTelvaneApp::InitInstance()
{
    const CMyString strWord = GetCommandLineWord(m_arrArguments);
    // The installer and uninstaller only want their page opened: no window, no instance rule.
    if (RunInstallerWord(strWord))
        return false;

    // A second plain start ends quietly, before it starts anything else; the program's own
    // restart ("reopen") may overlap with the instance that is just ending.
    if (IsAnotherInstanceRunning() && !IsWord(strWord, "reopen"))
        return false;
    DetectBrowser();

    // The frame's constructor makes the start-up decisions: the updater hand-over and the first
    // run end the process from inside it; otherwise it shows the splash window.
    m_pDocument = std::make_unique<CTelvaneDoc>();
    m_pMainFrame = std::make_unique<CMainFrame>(m_startupHooks);
    if (!m_pMainFrame->LoadFrame(m_pDocument.get()))
    {
        m_pMainFrame.reset();
        m_pDocument.reset();
        return false;
    }

    const CMyString strVersion(PROGRAM_VERSION);
    Settings().SetProgramVersion(strVersion);
    const CMyString strTitle = MakeWindowTitle(strVersion);
    m_pMainFrame->setWindowTitle(ToQString(strTitle));
    // The search bar is the visible caption: it shows the same title, also on the first start,
    // when the version was not yet stored while the bar was being built.
    if (CMyDlgBar* pSearchBar = m_pMainFrame->GetSearchBar())
        pSearchBar->SetTitle(strTitle);
    m_pMainFrame->show();
    return true;
}
