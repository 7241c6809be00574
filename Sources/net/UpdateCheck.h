#pragma once

#include "config/ServerList.h"
#include "net/MyBuffer.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <QObject>

#include <cstdint>
#include <memory>

// Flags of the silent check.
inline constexpr uint32_t UPDATE_LISTS_NEWER = 1;
inline constexpr uint32_t UPDATE_PROGRAM_NEWER = 2;

// What the update dialog shows and asks; the dialog implements it, tests answer it.
class IUpdateDialogView
{
public:
    IUpdateDialogView() = default;
    IUpdateDialogView(const IUpdateDialogView&) = delete;
    IUpdateDialogView& operator=(const IUpdateDialogView&) = delete;
    virtual ~IUpdateDialogView() = default;

    // A message with an OK button.
    virtual void ShowMessage(const CMyString& strText) = 0;
    // Yes/No: true for Yes.
    virtual bool AskYesNo(const CMyString& strText) = 0;
    // OK/Cancel: true for OK.
    virtual bool AskOkCancel(const CMyString& strText) = 0;
    virtual void SetProgress(int32_t nMin, int32_t nMax, int32_t nPosition) = 0;
    // The status line under the progress bar.
    virtual void ShowStatus(const CMyString& strText) = 0;
    virtual void CloseDialog() = 0;
    // Quit the program normally (the first run when no server answers).
    virtual void QuitProgram() = 0;
    // Start the program again with "reopen", then end this process at once (bExitNow) or quit
    // normally.
    virtual void RestartProgram(bool bExitNow) = 0;
};

// The texts the update shows; "DIAPLAY_TITLE" is replaced by the product name.
CMyString UpdateText(const char* pszText);

// The update of the lists: fetch the update description from the first server that answers,
// compare the versions it names with the recorded ones, download every newer list into the res
// folder on threads of their own, and restart the program. The logic of the update dialog
// without its window: first-run mode (no questions) and on-request mode.
class CUpdateCheck
{
public:
    CUpdateCheck(IUpdateDialogView& view, bool bFirstRun);
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;
    virtual ~CUpdateCheck();

    // The dialog's start: fetch, compare, ask, start the downloads; shows the failure message
    // and closes (and on the first run quits) when there is no description.
    void Start();
    bool StartUpdate();
    bool ProcessUpdateSettings(const CMyString& strContent, const CMyString& strServer);
    // One list download has answered: pBuffer is null when it failed; both are owned here.
    void OnBufferDownloadComplete(CMyBuffer* pBuffer, CMyString* pstrName);
    void FinishUpdate();

    int32_t GetTotal() const { return m_nTotal; }
    const CArrayString& GetPending() const { return m_arrPending; }

    // The description from the first server (of the res folder's server list, or of the list
    // given) whose connection check succeeds; strServer is the server tried last. True when the
    // content is not empty.
    static bool FetchUpdateSettings(CMyString& strContent, CMyString& strServer);
    static bool FetchUpdateSettings(const CArrayString& arrServers, CMyString& strContent,
                                    CMyString& strServer);
    // The silent check: flags UPDATE_LISTS_NEWER and UPDATE_PROGRAM_NEWER, and the address
    // of the newer program; the NAME of each outdated list is added to *pOutdated when given.
    // True when any flag is set. Touches no window.
    static bool CheckForUpdates(uint32_t& uFlags, CMyString& strProgramAddress);
    // *pbFetched (when given) tells whether a description was fetched and read at all.
    static bool CheckForUpdates(const CArrayString& arrServers, uint32_t& uFlags,
                                CMyString& strProgramAddress, CArrayString* pOutdated,
                                bool* pbFetched = nullptr);
    // An entry's NAME is written into the res folder only when it is a plain file name of a
    // list: not hidden, no control characters, not the updater nor any other program.
    static bool IsSafeListName(const CMyString& strName);
    // Whether a downloaded body reads as a list (scrambled XML whose root holds an element).
    static bool IsUsableList(const CMyBuffer& buffer);
    // The updater that start-up runs when an install is pending; never a list's name.
    static constexpr const char* UPDATER_FILE = "Update.exe";

private:
    // Receives the list downloads' answers on the user-interface thread.
    class CReceiver;

    bool AskToUpdate();

    IUpdateDialogView& m_view;
    bool m_bFirstRun;
    bool m_bAsked = false;
    int32_t m_nTotal = 0;
    // Downloads that failed or brought no usable list; their old lists stay.
    int32_t m_nFailed = 0;
    CArrayString m_arrPending;
    std::unique_ptr<QObject> m_pReceiver;
};

// Starts the program's own executable again with the word "reopen"; then ends this process at
// once with status 0 (bExitNow), or returns and leaves the ending to the caller: an update on
// request runs inside the update dialog inside the window, and the program quits once the dialog
// is over and control is back in the window's own event loop.
bool RestartProgram(bool bExitNow);
