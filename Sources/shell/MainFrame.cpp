#include "shell/MainFrame.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "host/WebBrowser2.h"
#include "net/UpdateDlg.h"
#include "platform/MessageVocabulary.h"
#include "platform/ShellLaunch.h"
#include "platform/Trace.h"
#include "shell/MediaPlayerRemote.h"
#include "shell/MyDlgBar.h"
#include "shell/TelvaneDoc.h"
#include "shell/TelvaneView.h"
#include "skin/MySlider.h"
#include "skin/SkinInfo.h"
#include "skin/SplashDlg.h"
#include "skin/ToolTipCtrl.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QSplitter>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr const char* PRODUCT_NAME = "ORVANTA";
// The search bar's template and control identifier.
constexpr uint32_t SEARCH_BAR_ID = 144;
// Control bar styles of the search bar: top alignment with a bottom border, tooltips, fly-by
// and dynamic size.
constexpr uint32_t SEARCH_BAR_STYLE = 0x1000u | 0x0800u | 0x0010u | 0x0100u | 0x0400u;

// The application icon in every size that is built into the program (packaging/icons).
QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int nSize : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/orvanta/icons/orvanta-%1.png").arg(nSize),
                     QSize(nSize, nSize));
    return icon;
}
} // namespace

CMainFrame::CMainFrame(const CStartupHooks& hooks)
    : m_uMessageForMainFrame(MessageForMainFrame()), m_uMessageFromDlg(MessageFromDlg()),
      m_uTwoStateClicked(ButtonTwoStateClickedMessage())
{
    // The skinned surface is the whole window: no system caption or border.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    RunStartup(hooks);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    // The document outlives the frame; it must not call views that are about to go.
    if (m_pDocument != nullptr)
    {
        if (m_pPlayerView != nullptr)
            m_pDocument->RemoveView(m_pPlayerView);
        if (m_pTreeView != nullptr)
            m_pDocument->RemoveView(m_pTreeView);
    }
    if (m_pPlayerView != nullptr)
        m_pPlayerView->SetKeyReceiver(nullptr);
    m_arrStations.RemoveAll();
    delete m_pToolTip;
    m_pToolTip = nullptr;
    delete m_pSplash;
    m_pSplash = nullptr;
    for (QWidget*& pControl : m_ppControls)
    {
        delete pControl;
        pControl = nullptr;
    }
}

void CMainFrame::RunStartup(const CStartupHooks& hooks)
{
    Settings settings;
    CFileHandler fileHandler;

    // An installer left a new version to put in place: hand over to it and end at once.
    if (settings.IsInstallNeeded())
    {
        CMyString strUpdater = settings.GetResFolder();
        strUpdater += CUpdateCheck::UPDATER_FILE;
        if (!settings.GetResFolder().IsEmpty() && fileHandler.FileExists(strUpdater))
        {
            LaunchProgram(strUpdater, {});
            if (hooks.exitProcess)
                hooks.exitProcess(0);
            else
                std::exit(0);
            return;
        }
    }

    if (settings.IsCopySettings())
    {
        // First run: start from the lists that came with the installation, then fetch the
        // current ones. The update dialog ends the process (restart or quit), and this frame
        // never makes its window.
        m_bFirstRun = 1;
        // Without a recorded install path, the tree found beside the program (g_strPath).
        CMyString strInstallPath = settings.GetInstallPath();
        if (strInstallPath.IsEmpty())
            strInstallPath = g_strPath;
        const CMyString strResFolder = settings.GetResFolder();
        if (!strInstallPath.IsEmpty() && !strResFolder.IsEmpty())
        {
            CMyString strSource = strInstallPath;
            strSource.AppendPath("res/");
            fileHandler.CopyFolder(strSource, strResFolder, true);
        }
        CUpdateDlg dialog;
        dialog.m_bFirstRun = true;
        if (hooks.runUpdateDialog)
            hooks.runUpdateDialog(dialog);
        else
            dialog.DoModal();
        return;
    }

    m_pSplash = new CSplashDlg(nullptr);
    m_pSplash->show();
}

QRect CMainFrame::ComputeWindowRect(const QRect& rcWorkArea, bool bFirstRun)
{
    if (bFirstRun)
        return QRect(0, 0, 1, 1);
    const int32_t nWidth = std::min(rcWorkArea.width(), WINDOW_WIDTH);
    const int32_t nHeight = std::min(rcWorkArea.height(), WINDOW_HEIGHT);
    const int32_t nLeft = std::max((rcWorkArea.width() - nWidth) / 2, 0);
    const int32_t nTop = std::max((rcWorkArea.height() - nHeight) / 2, 0);
    return QRect(rcWorkArea.left() + nLeft, rcWorkArea.top() + nTop, nWidth, nHeight);
}

CMainFrame::CFrameLayout CMainFrame::ComputeLayout(int32_t cx, int32_t cy,
                                                   const QMargins& rcMargins)
{
    CFrameLayout layout;
    layout.rcSplitter = QRect(0, 0, cx, cy).marginsRemoved(rcMargins);
    layout.ptPresets = QPoint(PRESETS_LEFT, cy - 70);
    layout.nControlsTop = cy - 65;
    const int32_t nBannerLeft = cx - 502;
    const int32_t nBannerTop = cy - 90;
    layout.rcBanner = QRect(nBannerLeft, nBannerTop, BANNER_WIDTH, BANNER_HEIGHT);
    layout.rcBannerFrame.nLeft = nBannerLeft + 12;
    layout.rcBannerFrame.nTop = nBannerTop + 16;
    layout.rcBannerFrame.nRight = nBannerLeft + 483;
    layout.rcBannerFrame.nBottom = nBannerTop + 80;
    return layout;
}

bool CMainFrame::LoadFrame(CTelvaneDoc* pDocument)
{
    // The first run ends in the update dialog's restart; this run shows no window.
    if (m_bFirstRun != 0)
        return false;

    QRect rcWorkArea = m_rcWorkArea;
    if (rcWorkArea.isEmpty())
    {
        const QScreen* pScreen = QGuiApplication::primaryScreen();
        rcWorkArea = pScreen != nullptr ? pScreen->availableGeometry()
                                        : QRect(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT);
    }
    setGeometry(ComputeWindowRect(rcWorkArea, false));
    // The application icon, and the desktop entry the window belongs to (Wayland's app id).
    setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("orvanta"));

    if (g_strPath.IsEmpty())
    {
        g_strPath = Settings().GetInstallPath();
        Trace("g_strPath Was Empty");
    }
    else
    {
        Trace("g_strPath Not Empty");
    }
    Trace("%s", g_strPath.IsEmpty() ? "" : g_strPath.GetBuffer());

    ChooseServer();
    CreateBanner();

    // The one tooltip window of the frame's controls, in the skin's colours.
    const CSkinInfo* pSkin = GetSkinInfo();
    m_pToolTip = new CToolTipCtrl();
    m_pToolTip->Activate(true);
    m_pToolTip->SetColors(pSkin->m_clrTooltipBg, pSkin->m_clrTooltipText);

    m_wndSearchBar = new CMyDlgBar();
    if (!m_wndSearchBar->Create(this, SEARCH_BAR_ID, SEARCH_BAR_STYLE, SEARCH_BAR_ID))
    {
        delete m_wndSearchBar;
        m_wndSearchBar = nullptr;
    }
    else
    {
        m_wndSearchBar->SetUpdateDialogOpener([this](QWidget* pParent)
                                              { OpenUpdateDialog(pParent); });
        CMyString strTitle(PRODUCT_NAME);
        const CMyString strVersion = Settings().GetProgramVersion();
        if (!strVersion.IsEmpty())
        {
            strTitle += " - ";
            strTitle += strVersion;
        }
        m_wndSearchBar->SetTitle(strTitle);
        m_wndSearchBar->setGeometry(0, 0, width(), m_wndSearchBar->height());
        m_wndSearchBar->show();
    }

    CreateStations();
    CreateControls();

    if (!OnCreateClient(pDocument))
        return false;

    // No context menu anywhere in the program, also not inside the embedded player and pages.
    qApp->installEventFilter(this);

    OnSize(width(), height());
    // The views' initial update: the tree loads the directory and reports CODE_TREE_LOADED.
    m_pTreeView->OnInitialUpdate();

    // The desktop's media keys and media panel drive the player through the session bus.
    (new CMediaPlayerRemote(this))->Register();
    return true;
}

void CMainFrame::OpenUpdateDialog(QWidget* pParent)
{
    // A second click or Enter that arrives while the dialog runs, or after the user chose to
    // restart, opens nothing.
    if (m_bUpdateBusy)
        return;
    m_bUpdateBusy = true;
    // On the heap and watched: the dialog may be gone with its parent when the program is asked
    // to end while it runs.
    QPointer<CUpdateDlg> pDialog = new CUpdateDlg(pParent);
    pDialog->DoModal();
    const bool bRestart = !pDialog.isNull() && pDialog->IsRestartRequested();
    delete pDialog.data();
    if (!bRestart)
    {
        m_bUpdateBusy = false;
        return;
    }
    // The new process has started; this one ends from the window's event loop, after the
    // dialog, its update and the click that opened it have all returned.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

void CMainFrame::ChooseServer()
{
    if (!m_strServerUrl.IsEmpty())
        return;
    m_strServerUrl = FindFirstReachableServer(UPDATE_SETTINGS_FILE);
}

bool CMainFrame::OnCreateClient(CTelvaneDoc* pDocument)
{
    m_pDocument = pDocument;
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    // Placed before the panes go in, so that the tree's column starts at its ideal width.
    m_wndSplitter->setGeometry(ComputeLayout(width(), height(), m_rcMargins).rcSplitter);
    auto* pTreeView = new CFolderTreeView();
    // The tree's icons come from the same server: one walk of the server list per start, also
    // when no server answered.
    pTreeView->GetDirectory().SetServerUrl(m_strServerUrl);
    auto* pPlayerView = new CTelvaneView();
    m_wndSplitter->addWidget(pTreeView);
    m_wndSplitter->addWidget(pPlayerView);
    // The start page lies on the server the frame has already chosen for its banner.
    if (!pPlayerView->Create(CTelvaneView::GetFirstUrl(m_strServerUrl)))
    {
        delete m_wndSplitter;
        m_wndSplitter = nullptr;
        return false;
    }
    // The tree's column keeps its width when the window is resized; the player takes the rest.
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setSizes(
        {TREE_IDEAL_WIDTH, std::max(m_wndSplitter->width() - TREE_IDEAL_WIDTH, 0)});
    m_pTreeView = pTreeView;
    m_pPlayerView = pPlayerView;

    Settings settings;
    m_bMute = settings.GetMute() ? 1 : 0;
    // A stored level outside 0 to 100 (an edited settings file) is brought into range.
    const int32_t nVolume = std::clamp(settings.GetVolume(), 0, 100);

    m_pPlayerView->SetMainFrame(this);
    m_pPlayerView->SetVolume(nVolume);
    m_pPlayerView->SetSplitter(m_wndSplitter, 1);
    m_pPlayerView->SetKeyReceiver(m_pTreeView);

    m_pTreeView->SetMainFrame(this);
    m_pTreeView->setFocus();
    m_pTreeView->SetSplitter(m_wndSplitter);
    m_pTreeView->SetDocument(pDocument);
    if (pDocument != nullptr)
        pDocument->AddView(m_pPlayerView);

    if (auto* pSlider = dynamic_cast<CMySlider*>(m_ppControls[CONTROL_VOLUME]))
    {
        pSlider->SetLevel(nVolume);
        pSlider->update();
    }
    ApplyMute(m_bMute != 0);
    return true;
}

void CMainFrame::OnSize(int32_t cx, int32_t cy)
{
    if (m_wndSearchBar != nullptr)
        m_wndSearchBar->setGeometry(m_wndSearchBar->x(), m_wndSearchBar->y(), cx,
                                    m_wndSearchBar->height());
    if (m_pTreeView == nullptr || m_pPlayerView == nullptr)
        return;

    const CFrameLayout layout = ComputeLayout(cx, cy, m_rcMargins);
    m_wndSplitter->setGeometry(layout.rcSplitter);
    PlaceBottomStrip(layout);
    update();
}

void CMainFrame::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    OnSize(pEvent->size().width(), pEvent->size().height());
}

void CMainFrame::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    CSkinFramePainter::Paint(painter, rect(), m_nControlBarHeight, m_rcBannerFrame,
                             GetSkinInfo()->m_clrMainBg);
}

void CMainFrame::keyPressEvent(QKeyEvent* pEvent)
{
    // Keys pressed while the frame itself has the keyboard belong to the tree. A key that a
    // focused child left alone (Shift on its own in the search box, say) bubbles up here too: it
    // stays with that child, as the keyboard does.
    const QWidget* pFocus = QApplication::focusWidget();
    if (m_pTreeView == nullptr || (pFocus != nullptr && pFocus != this))
    {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    // The tree takes keys as virtual-key codes, as the player view sends them.
    const uint32_t uKey = CTelvaneView::VirtualKeyFromQtKey(pEvent->key());
    if (uKey == 0)
    {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    m_pTreeView->setFocus();
    m_pTreeView->HandleKey(uKey);
    pEvent->accept();
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    switch (pEvent->type())
    {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(pEvent)->button() == Qt::RightButton)
            return true;
        break;
    case QEvent::ContextMenu:
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

bool CMainFrame::event(QEvent* pEvent)
{
    CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
    if (pMessage == nullptr)
        return QWidget::event(pEvent);
    const uint32_t uMessage = pMessage->GetMessage();
    if (uMessage == m_uMessageForMainFrame)
        pMessage->SetResult(OnMessageForMainFrame(pMessage->GetWParam(), pMessage->GetLParam()));
    else if (uMessage == m_uMessageFromDlg)
        pMessage->SetResult(
            OnMessageFromDlg(pMessage->GetWParam(), pMessage->TakePayload<CMyString>()));
    else if (uMessage == m_uTwoStateClicked)
        pMessage->SetResult(OnButtonTwoStateClicked(pMessage->GetWParam()));
    else
        return QWidget::event(pEvent);
    return true;
}

intptr_t CMainFrame::OnMessageForMainFrame(uintptr_t wParam, intptr_t lParam)
{
    switch (wParam)
    {
    case CODE_STATION_STARTED:
        // The banner reloads with every station.
        if (!m_strBannerUrl.IsEmpty() && m_wndBanner != nullptr)
            m_wndBanner->Navigate(m_strBannerUrl);
        break;
    case CODE_TREE_LOADED:
        RemoveSplash();
        break;
    case CODE_SEARCH_WEB:
        if (m_wndSearchBar != nullptr && m_pPlayerView != nullptr)
        {
            const CMyString strRequest = m_wndSearchBar->GetWebSearchRequest();
            if (!strRequest.IsEmpty())
                m_pPlayerView->OpenInBrowser(strRequest);
        }
        break;
    case CODE_SELECTION_CHANGED:
        if (m_pTreeView != nullptr && m_pPlayerView != nullptr)
        {
            if (const CStationItem* pItem = m_pTreeView->GetSelectedItem())
                m_pPlayerView->SetStation(*pItem);
        }
        break;
    case CODE_VOLUME_LEVEL:
        if (m_pPlayerView != nullptr)
            m_pPlayerView->SetVolume(static_cast<int32_t>(std::clamp<intptr_t>(lParam, 0, 100)));
        break;
    default:
        break;
    }
    return 0;
}

intptr_t CMainFrame::OnMessageFromDlg(uintptr_t wParam, std::unique_ptr<CMyString> pstrText)
{
    switch (wParam)
    {
    case CODE_OPEN_ADDRESS:
        if (pstrText != nullptr && m_pPlayerView != nullptr)
            m_pPlayerView->OpenInBrowser(*pstrText);
        break;
    case CODE_SEARCH_TREE:
        if (pstrText != nullptr && m_pTreeView != nullptr)
            m_pTreeView->FindNext(*pstrText);
        break;
    case ID_CLOSE:
    case ID_MINIMIZE:
    case ID_MAXIMIZE:
        OnCommand(static_cast<uint32_t>(wParam));
        break;
    default:
        break;
    }
    return 0;
}

void CMainFrame::OnCommand(uint32_t uCommandId)
{
    switch (uCommandId)
    {
    case ID_PLAY:
        if (m_pPlayerView != nullptr)
            m_pPlayerView->Play();
        break;
    case ID_STOP:
        if (m_pPlayerView != nullptr)
            m_pPlayerView->Stop();
        break;
    case ID_NEXT:
        if (m_pTreeView != nullptr)
            m_pTreeView->NextStation();
        break;
    case ID_PREVIOUS:
        if (m_pTreeView != nullptr)
            m_pTreeView->PreviousStation();
        break;
    case ID_FULL_SCREEN:
        if (m_pPlayerView != nullptr)
            m_pPlayerView->FullScreen();
        break;
    case ID_MUTE:
        m_bMute = m_bMute != 0 ? 0 : 1;
        ApplyMute(m_bMute != 0);
        Settings().SetMute(m_bMute != 0);
        break;
    case ID_CLOSE:
        // Nothing to save: volume and mute are stored when they change.
        RemoveSplash();
        close();
        break;
    case ID_MINIMIZE:
        showMinimized();
        break;
    case ID_MAXIMIZE:
        OnMaximizeRestore();
        break;
    default:
        break;
    }
}

void CMainFrame::OnMaximizeRestore()
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return;
    if (state & Qt::WindowMaximized)
    {
        if (m_wndSearchBar != nullptr)
            m_wndSearchBar->SetMaximizeLook(1);
        showNormal();
    }
    else
    {
        if (m_wndSearchBar != nullptr)
            m_wndSearchBar->SetMaximizeLook(3);
        showMaximized();
    }
}

void CMainFrame::RemoveSplash()
{
    if (m_pSplash == nullptr)
        return;
    m_pSplash->done(0);
    delete m_pSplash;
    m_pSplash = nullptr;
}
