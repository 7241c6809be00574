#pragma once

#include "net/MyBuffer.h"
#include "net/UpdateCheck.h"
#include "skin/MyOwnButton.h"
#include "text/MyString.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

#include <cstdint>
#include <functional>
#include <memory>

// The update dialog: fetches the update description, downloads every newer list into the res
// folder and restarts the program so that the new lists are loaded. Two modes:
// - first run (m_bFirstRun set by the main frame): no questions; ends by restarting the program
//   with "reopen", or, when no server answers, by a message and quitting;
// - on request: asks before downloading and before restarting.
// The logic lives in CUpdateCheck; the dialog is its window: the gradient surface, the status
// line, the progress bar, the Cancel button and the message boxes.
//
// Run it with DoModal() (or exec()): the check starts before the dialog shows, as a dialog's
// initialisation would; when the check ends at once (a failure, nothing newer) the dialog never
// shows. Cancel, Escape and the close box end it at any time; downloads already started go on,
// but their answers reach no window and nothing more is written.
class CUpdateDlg : public QDialog, public IUpdateDialogView
{
public:
    // Control ids of the dialog resource.
    static constexpr int IDC_CANCEL = 2;
    static constexpr int IDC_PROGRESS = 1005;
    static constexpr int IDC_MESSAGE = 1007;
    // exec() answers: the check closed the dialog, or the user cancelled it.
    static constexpr int RESULT_CLOSED = 1;
    static constexpr int RESULT_CANCEL = 2;
    // The size of the dialog in dialog units (see MapDialogUnits).
    static constexpr int WIDTH_DLU = 264;
    static constexpr int HEIGHT_DLU = 63;

    explicit CUpdateDlg(QWidget* pParent = nullptr);
    ~CUpdateDlg() override;

    // Runs the check and then, unless it has already ended, the dialog modally.
    int DoModal() { return exec(); }
    int exec() override;

    // Cancel, Escape and the close box.
    void reject() override;

    // The description from the first server that answers (see CUpdateCheck).
    static bool FetchUpdateSettings(CMyString& strContent, CMyString& strServer);
    // The silent check, without a window (see CUpdateCheck).
    static bool CheckForUpdates(uint32_t& uFlags, CMyString& strProgramAddress);

    // The answer of one list download ("Marquint_MESSAGE_BUFFER_DOWNLOAD_COMPLETE"): the
    // buffer (null when the download failed) and the NAME given as cookie, both owned here.
    void OnBufferDownloadComplete(CMyBuffer* pBuffer, CMyString* pstrName);

    // What restarting and quitting do; by default the real restart of the program (which ends
    // this process at once only on the first run) and a quit posted to the application. Tests
    // put observers in their place.
    void SetRestartHook(std::function<void(bool bExitNow)> fnRestart);
    void SetQuitHook(std::function<void()> fnQuit);

    // IUpdateDialogView: the message boxes, the progress bar and the end of the dialog.
    void ShowMessage(const CMyString& strText) override;
    bool AskYesNo(const CMyString& strText) override;
    bool AskOkCancel(const CMyString& strText) override;
    void SetProgress(int32_t nMin, int32_t nMax, int32_t nPosition) override;
    void ShowStatus(const CMyString& strText) override;
    void CloseDialog() override;
    void QuitProgram() override;
    void RestartProgram(bool bExitNow) override;

    bool IsCancelled() const { return m_bCancelled; }
    // The user chose to restart: the new process has been started, and the opener of the dialog
    // ends this one once the dialog is over.
    bool IsRestartRequested() const { return m_bRestartRequested; }
    // Files queued and names not yet answered (empty once the check is gone).
    int32_t GetTotal() const;
    const QLabel& GetMessageControl() const { return m_Message; }
    const QProgressBar& GetProgressControl() const { return m_Progress; }
    CMyOwnButton& GetCancelButton() { return m_btnCancel; }

    // Set by the main frame before DoModal for the first run.
    bool m_bFirstRun = false;

protected:
    // The caption and status text of the mode, then the check.
    virtual void OnInitDialog();
    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    // Shows one message box modally and answers its result.
    int RunMessageBox(const CMyString& strText, uint32_t nType);
    // Forgets the check: later download answers find no receiver and write nothing.
    void DropCheck();

    CMyOwnButton m_btnCancel;
    QProgressBar m_Progress;
    QLabel m_Message;
    uint32_t m_clrDialogTop;
    uint32_t m_clrDialogBottom;
    uint32_t m_clrDialogText;
    uint32_t m_uBufferMessage;
    std::unique_ptr<CUpdateCheck> m_pCheck;
    std::function<void(bool)> m_fnRestart;
    std::function<void()> m_fnQuit;
    // The check has closed the dialog (possibly before it showed).
    bool m_bClosed = false;
    bool m_bCancelled = false;
    bool m_bRestartRequested = false;
    // Message boxes open right now; the check is only dropped when none is.
    int m_nOpenBoxes = 0;
};
