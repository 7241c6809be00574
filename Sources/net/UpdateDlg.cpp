#include "net/UpdateDlg.h"

#include "net/MyDownload.h"
#include "platform/WindowMessage.h"
#include "skin/MyMessageBox.h"
#include "skin/SkinInfo.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPalette>
#include <QTimer>

#include <utility>

namespace
{

// Where the dialog resource places its controls, in dialog units: x, y, width, height.
struct DialogItem
{
    int nX;
    int nY;
    int nWidth;
    int nHeight;
};
constexpr DialogItem kMessageItem = {7, 10, 249, 16};
constexpr DialogItem kProgressItem = {7, 40, 185, 11};
constexpr DialogItem kCancelItem = {207, 39, 50, 14};

QRect DialogRect(const DialogItem& item)
{
    const QSize origin = MapDialogUnits(item.nX, item.nY);
    return QRect(QPoint(origin.width(), origin.height()),
                 MapDialogUnits(item.nWidth, item.nHeight));
}

} // namespace

CUpdateDlg::CUpdateDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_btnCancel(QStringLiteral("Cancel"), this), m_Progress(this), m_Message(this),
      m_uBufferMessage(RegisterWindowMessage(MESSAGE_BUFFER_DOWNLOAD_COMPLETE)),
      m_fnRestart([](bool bExitNow) { ::RestartProgram(bExitNow); }),
      m_fnQuit(
          []
          {
              // Posted, so that it also ends a program whose main loop has not started yet
              // (the first run runs this dialog while the main window is being built).
              QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                        Qt::QueuedConnection);
          })
{
    const CSkinInfo* pSkin = GetSkinInfo();
    m_clrDialogTop = pSkin->m_clrDialogTop;
    m_clrDialogBottom = pSkin->m_clrDialogBottom;
    m_clrDialogText = pSkin->m_clrDialogText;

    setFont(DialogFont());
    setWindowTitle(QStringLiteral("Check For Updates"));
    setFixedSize(MapDialogUnits(WIDTH_DLU, HEIGHT_DLU));

    // The status line: transparent, so that the gradient shows behind the text.
    m_Message.setTextFormat(Qt::PlainText);
    m_Message.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Message.setAutoFillBackground(false);
    QPalette textPalette = m_Message.palette();
    textPalette.setColor(QPalette::WindowText, SkinColor(m_clrDialogText));
    m_Message.setPalette(textPalette);
    m_Message.setText(QStringLiteral("Please Wait While Downloading Updates..."));
    m_Message.setGeometry(DialogRect(kMessageItem));

    m_Progress.setTextVisible(false);
    m_Progress.setRange(0, 100);
    m_Progress.setValue(0);
    m_Progress.setGeometry(DialogRect(kProgressItem));

    m_btnCancel.SetStyle(CMyOwnButton::STYLE_FLAT);
    m_btnCancel.SetGradientFace(true, false);
    m_btnCancel.ApplyColorSet(pSkin->m_ToolbarButtons);
    m_btnCancel.setGeometry(DialogRect(kCancelItem));
    connect(&m_btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

CUpdateDlg::~CUpdateDlg() = default;

int CUpdateDlg::exec()
{
    m_bClosed = false;
    m_bCancelled = false;
    m_bRestartRequested = false;
    setResult(0);
    OnInitDialog();
    // A check that ended at once (a failure, nothing newer, a refused question) never shows the
    // dialog.
    if (m_bClosed || m_bCancelled)
        return result();
    return QDialog::exec();
}

void CUpdateDlg::OnInitDialog()
{
    if (m_bFirstRun)
    {
        setWindowTitle(QStringLiteral("Getting Lists"));
        m_Message.setText(ToQString(UpdateText("Please wait while getting the lists from "
                                               "DIAPLAY_TITLE Server for the first time...")));
    }
    m_pCheck = std::make_unique<CUpdateCheck>(*this, m_bFirstRun);
    m_pCheck->Start();
}

void CUpdateDlg::reject()
{
    if (m_bCancelled)
        return;
    m_bCancelled = true;
    // The downloads still running keep going; with the check gone their answers find no
    // receiver, so nothing more is written.
    DropCheck();
    done(RESULT_CANCEL);
}

void CUpdateDlg::DropCheck()
{
    // A message box open now runs inside a call of the check: the check goes once that call has
    // returned to the event loop.
    if (m_nOpenBoxes == 0)
        m_pCheck.reset();
}

bool CUpdateDlg::FetchUpdateSettings(CMyString& strContent, CMyString& strServer)
{
    return CUpdateCheck::FetchUpdateSettings(strContent, strServer);
}

bool CUpdateDlg::CheckForUpdates(uint32_t& uFlags, CMyString& strProgramAddress)
{
    return CUpdateCheck::CheckForUpdates(uFlags, strProgramAddress);
}

bool CUpdateDlg::event(QEvent* pEvent)
{
    const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
    if (pMessage == nullptr || pMessage->GetMessage() != m_uBufferMessage)
        return QDialog::event(pEvent);
    OnBufferDownloadComplete(reinterpret_cast<CMyBuffer*>(pMessage->GetWParam()),
                             reinterpret_cast<CMyString*>(pMessage->GetLParam()));
    return true;
}

void CUpdateDlg::OnBufferDownloadComplete(CMyBuffer* pBuffer, CMyString* pstrName)
{
    if (m_pCheck == nullptr || m_bCancelled)
    {
        // An answer after Cancel: dropped without writing.
        delete pBuffer;
        delete pstrName;
        return;
    }
    m_pCheck->OnBufferDownloadComplete(pBuffer, pstrName);
}

void CUpdateDlg::SetRestartHook(std::function<void(bool)> fnRestart)
{
    m_fnRestart = std::move(fnRestart);
}

void CUpdateDlg::SetQuitHook(std::function<void()> fnQuit)
{
    m_fnQuit = std::move(fnQuit);
}

int CUpdateDlg::RunMessageBox(const CMyString& strText, uint32_t nType)
{
    ++m_nOpenBoxes;
    CMyMessageBox box(strText, nType);
    const int nResult = box.exec();
    --m_nOpenBoxes;
    if (m_bCancelled && m_nOpenBoxes == 0 && m_pCheck != nullptr)
    {
        // Cancelled while the box was open: the check's call that opened it still has to
        // return, so the check is dropped from the event loop afterwards.
        QTimer::singleShot(0, this,
                           [this]
                           {
                               if (m_nOpenBoxes == 0)
                                   m_pCheck.reset();
                           });
    }
    return nResult;
}

void CUpdateDlg::ShowMessage(const CMyString& strText)
{
    if (!m_bCancelled)
        RunMessageBox(strText, CMyMessageBox::TYPE_OK);
}

bool CUpdateDlg::AskYesNo(const CMyString& strText)
{
    if (m_bCancelled)
        return false;
    return RunMessageBox(strText, CMyMessageBox::TYPE_YES_NO) == CMyMessageBox::RESULT_YES &&
           !m_bCancelled;
}

bool CUpdateDlg::AskOkCancel(const CMyString& strText)
{
    if (m_bCancelled)
        return false;
    return RunMessageBox(strText, CMyMessageBox::TYPE_OK_CANCEL) == CMyMessageBox::RESULT_OK &&
           !m_bCancelled;
}

void CUpdateDlg::SetProgress(int32_t nMin, int32_t nMax, int32_t nPosition)
{
    if (m_bCancelled)
        return;
    m_Progress.setRange(nMin, nMax);
    m_Progress.setValue(nPosition);
    update();
}

void CUpdateDlg::ShowStatus(const CMyString& strText)
{
    if (!m_bCancelled)
        m_Message.setText(ToQString(strText));
}

void CUpdateDlg::CloseDialog()
{
    if (m_bCancelled || m_bClosed)
        return;
    m_bClosed = true;
    done(RESULT_CLOSED);
}

void CUpdateDlg::QuitProgram()
{
    if (!m_bCancelled && m_fnQuit)
        m_fnQuit();
}

void CUpdateDlg::RestartProgram(bool bExitNow)
{
    if (m_bCancelled)
        return;
    if (m_fnRestart)
        m_fnRestart(bExitNow);
    // Reached only when the restart did not end the process at once.
    m_bRestartRequested = true;
    CloseDialog();
}

int32_t CUpdateDlg::GetTotal() const
{
    return m_pCheck != nullptr ? m_pCheck->GetTotal() : 0;
}

void CUpdateDlg::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    FillGradient(painter, rect(), m_clrDialogTop, m_clrDialogBottom);
}
