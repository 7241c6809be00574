#pragma once

#include "platform/SingleInstanceLock.h"
#include "shell/MainFrame.h"
#include "text/MyString.h"

#include <QStringList>

#include <memory>

class CTelvaneDoc;

// The executable of the user's default web browser, fixed by CTelvaneApp::InitInstance: what
// the desktop names as default browser, or "xdg-open" when it names none.
extern CMyString g_strBrowserExe;

// The application: answers the installer's command-line words, keeps one running instance per
// user and creates the window set (the document, the main frame with its views). It runs inside
// a QApplication that main has made; main runs the event loop when InitInstance answers true.
class CTelvaneApp
{
public:
    static constexpr const char* PROGRAM_VERSION = "1.18";
    static constexpr const char* PRODUCT_NAME = "ORVANTA";
    static constexpr const char* MUTEX_NAME = "ZQ Marquint Mutex";
    static constexpr const char* INSTALL_PAGE = "InstallPageOrvanta.htm";
    static constexpr const char* UNINSTALL_PAGE = "UninstallPageOrvanta.htm";
    // Used when the desktop names no default browser.
    static constexpr const char* FALLBACK_BROWSER = "xdg-open";

    // arrArguments as the process received them, the program itself first.
    // hooks: what the frame's start-up does instead of ending the process or running the modal
    // first-run dialog (tests only; empty members do the real thing).
    explicit CTelvaneApp(const QStringList& arrArguments,
                         const CMainFrame::CStartupHooks& hooks = CMainFrame::CStartupHooks());
    CTelvaneApp(const CTelvaneApp&) = delete;
    CTelvaneApp& operator=(const CTelvaneApp&) = delete;
    // Destroys the window set, then gives the single-instance lock back.
    virtual ~CTelvaneApp();

    // The start-up sequence. False means: end the process with exit code 0 and no window (the
    // install and uninstall words, a second plain start, or a window set that could not be
    // made). True: the main window exists and the event loop is to run.
    bool InitInstance();

    // The first server of the server list for which a connection to server URL + strPage
    // succeeds, as that full URL; empty when none does.
    static CMyString FindReachableServerUrl(const CMyString& strPage);
    // The installer's words "install" and "uninstall": opens the page from the first reachable
    // server in the default browser, or prints its address on standard output when no browser
    // could be started. Needs no window system, so main answers them before it starts one.
    // False when strWord is neither word.
    static bool RunInstallerWord(const CMyString& strWord);

    // The first plain argument after the program (one not starting with "-"), or empty.
    static CMyString GetCommandLineWord(const QStringList& arrArguments);
    // Whether this is a plain start while another instance runs: decided with the lock taken
    // and given back at once, before any window system, web engine or player starts. Two starts
    // at the very same moment both pass here, and InitInstance decides between them.
    static bool IsSecondPlainStart(const QStringList& arrArguments);
    // "ORVANTA", then " - " and the version when it is not empty.
    static CMyString MakeWindowTitle(const CMyString& strVersion);

    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    CTelvaneDoc* GetDocument() const { return m_pDocument.get(); }
    // Whether this instance holds the single-instance lock (a "reopen" start beside a running
    // instance does not).
    bool HoldsInstanceLock() const { return m_hMutex.IsHeld(); }

private:
    // Fixes g_strBrowserExe from the desktop's default browser.
    static void DetectBrowser();
    // Opens the page from the first reachable server in g_strBrowserExe; nothing when no server
    // answers.
    static void OpenServerPage(const char* pszPage);
    // True when another live instance holds the lock; otherwise this instance now holds it, or
    // no lock can be had here at all (a lock file that cannot be opened), which counts as no
    // other instance.
    bool IsAnotherInstanceRunning();

    QStringList m_arrArguments;
    CMainFrame::CStartupHooks m_startupHooks;
    CSingleInstanceLock m_hMutex;
    std::unique_ptr<CTelvaneDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
