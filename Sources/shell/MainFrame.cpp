#include "shell/MainFrame.h"

#include "config/FileHandler.h"
#include "config/ServerList.h"
#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "directory/Station.h"
#include "host/WebBrowser2.h"
#include "net/UpdateDlg.h"
#include "platform/MessageVocabulary.h"
#include "platform/ShellLaunch.h"
#include "platform/Trace.h"
#include "shell/MediaPlayerRemote.h"
#include "shell/MyDlgBar.h"
#include "shell/TelvaneDoc.h"
#include "shell/TelvaneView.h"
#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/MySlider.h"
#include "skin/SkinInfo.h"
#include "skin/SplashDlg.h"
#include "skin/ToolTipCtrl.h"
#include "text/MyXmlDom.h"

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

// One player control of the bottom strip, in the order of m_ppControls.
struct CControlInfo
{
    uint32_t uCommandId;
    int32_t nWidth;
    const char* pszNormal;
    const char* pszHover;
    const char* pszPressed;
    const char* pszTip;
};
constexpr int32_t CONTROL_HEIGHT = 63;
constexpr CControlInfo CONTROLS[CMainFrame::CONTROL_COUNT] = {
    {ID_STOP, 55, "res/Skin/Stop.Gif", "res/Skin/StopHover.Gif", "res/Skin/StopPressed.Gif",
     "Stop"},
    {ID_PLAY, 52, "res/Skin/Play.Gif", "res/Skin/PlayHover.Gif", "res/Skin/PlayPressed.Gif",
     "Play"},
    {ID_PREVIOUS, 52, "res/Skin/Prev.Gif", "res/Skin/PrevHover.Gif", "res/Skin/PrevPressed.Gif",
     "Previous"},
    {ID_NEXT, 52, "res/Skin/Next.Gif", "res/Skin/NextHover.Gif", "res/Skin/NextPressed.Gif",
     "Next"},
    {ID_FULL_SCREEN, 55, "res/Skin/FullScreen.Gif", "res/Skin/FullScreenHover.Gif",
     "res/Skin/FullScreenPressed.Gif", "FullScreen"},
    // The slider's pictures are its face and its thumb.
    {ID_VOLUME, 19, "res/Skin/SliderBG.gif", "res/Skin/SliderButton.Gif", "", "Volume"},
    {ID_MUTE, 32, "res/Skin/MuteOn.Gif", "res/Skin/MuteOnHover.Gif", "res/Skin/MuteOnPressed.Gif",
     "Mute"},
};

constexpr const char* NO_STATION_SELECTED =
    "No Station Is Selected.\nTo Pre-Set A Station,Please Select A Station\nFrom The List And "
    "Then\nClick The Pre-Set Button Again";
constexpr const char* REPLACE_PRESET =
    "This Button Already Contains a Pre-Set Station.\n Would You Like To Replace It?";
constexpr const char* PRESET_DONE = "The Station Was Pre-Set Successfully";
constexpr const char* PRESET_EMPTY = "This Button Is Not Pre-Set Yet.\nSelect A Station From The "
                                     "List\nAnd Then Click The Upper Button.";

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

void CMainFrame::CreateBanner()
{
    const CMyString strResFolder = Settings().GetResFolder();
    if (strResFolder.IsEmpty())
        return;
    CMyXmlDom dom;
    if (!LoadSettingsFile(strResFolder, CMyString(MOVIES_SETTINGS_FILE), dom))
        return;
    const CXmlNode* pBanner = dom.GetRoot()->FindChild(CMyString("VELTRO_BANNER"));
    if (pBanner == nullptr)
        return;
    const CMyString strPage = pBanner->GetChildValue(CMyString("URL"));
    if (strPage.IsEmpty())
        return;
    m_strBannerUrl = m_strServerUrl;
    m_strBannerUrl.AppendPath(strPage);
    if (m_strBannerUrl.IsEmpty())
        return;

    // A child of the frame; the layout gives it its place and clips it to the part that shows.
    m_wndBanner = new CWebBrowser2(this);
    m_wndBanner->setGeometry(0, 0, 0, 0);
    m_bBannerShown = 1;
    m_wndBanner->put_Visible(true);
    m_wndBanner->Navigate(m_strBannerUrl);
}

void CMainFrame::CreateStations()
{
    for (int32_t nIndex = 0; nIndex < static_cast<int32_t>(PRESET_COUNT); ++nIndex)
    {
        auto* pStation = new CStation(this, nIndex, m_pToolTip);
        if (pStation->Create())
            m_arrStations.Add(pStation);
        else
            delete pStation;
    }
}

void CMainFrame::CreateControls()
{
    for (uint32_t uIndex = 0; uIndex < CONTROL_COUNT; ++uIndex)
    {
        const CControlInfo& info = CONTROLS[uIndex];
        const QRect rect(0, 0, info.nWidth, CONTROL_HEIGHT);
        CMyOwnButton* pControl = nullptr;
        if (uIndex == CONTROL_VOLUME)
        {
            auto* pSlider = new CMySlider();
            pSlider->SetPictures(info.pszNormal, info.pszHover, info.pszPressed);
            // The slider takes its track's scale from this rectangle and posts its levels here.
            pSlider->Create(this, rect);
            pControl = pSlider;
        }
        else
        {
            pControl = new CMyOwnButton(this);
            pControl->SetPictures(info.pszNormal, info.pszHover, info.pszPressed);
            pControl->setGeometry(rect);
            const uint32_t uCommandId = info.uCommandId;
            connect(pControl, &QPushButton::clicked, this,
                    [this, uCommandId] { OnCommand(uCommandId); });
        }
        m_ppControls[uIndex] = pControl;
        pControl->SetNotifyWindow(this);
        pControl->SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
        pControl->SetTransparent(true);
        // The keyboard stays with the station tree when a control is clicked.
        pControl->setFocusPolicy(Qt::NoFocus);
        pControl->show();
        if (info.pszTip[0] != '\0')
            m_pToolTip->AddTool(pControl, QString::fromUtf8(info.pszTip));
    }
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

    // The preset stations come first in the bottom strip; the controls follow the right edge of
    // the presets, at least 30.
    int32_t nNextX = PRESETS_MIN_RIGHT;
    for (uint32_t uIndex = 0; uIndex < m_arrStations.GetCount(); ++uIndex)
    {
        int32_t nRight = 0;
        GetStation(uIndex)->Layout(layout.ptPresets.x(), layout.ptPresets.y(), &nRight);
        nNextX = std::max(nNextX, nRight);
    }
    nNextX += CONTROLS_GAP;
    for (QWidget* pControl : m_ppControls)
    {
        if (pControl == nullptr)
            continue;
        pControl->move(nNextX, layout.nControlsTop);
        nNextX += pControl->width();
    }

    if (m_bBannerShown != 0 && m_wndBanner != nullptr)
    {
        m_wndBanner->setGeometry(layout.rcBanner);
        m_wndBanner->setMask(BANNER_VISIBLE_PART);
        m_rcBannerFrame = layout.rcBannerFrame;
    }
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

intptr_t CMainFrame::OnButtonTwoStateClicked(uintptr_t wParam)
{
    const auto* pButton = reinterpret_cast<const QObject*>(wParam);
    // One preset dialog at a time: a press while a preset's message box is open is dropped.
    if (m_bPresetBusy)
        return 0;
    for (uint32_t uIndex = 0; uIndex < m_arrStations.GetCount(); ++uIndex)
    {
        CStation* pStation = GetStation(uIndex);
        if (pButton == pStation->GetStationButton())
        {
            m_pPressedPreset = pStation->GetStationButton();
            PlayPreset(pStation);
            break;
        }
        if (pButton == pStation->GetPresetButton())
        {
            m_pPressedPreset = pStation->GetPresetButton();
            PresetSelectedStation(pStation);
            break;
        }
    }
    return 0;
}

void CMainFrame::PlayPreset(CStation* pStation)
{
    if (pStation->GetName().IsEmpty() || pStation->GetUrl().IsEmpty())
        ShowMessage(PRESET_EMPTY, CMyMessageBox::TYPE_OK);
    if (m_pPlayerView == nullptr)
        return;
    m_pPlayerView->SetStation(pStation->GetUrl(), pStation->GetName());
    m_pPlayerView->Play();
}

void CMainFrame::PresetSelectedStation(CStation* pStation)
{
    if (m_pTreeView == nullptr)
        return;
    const CStationItem* pItem = m_pTreeView->GetSelectedItem();
    if (pItem == nullptr || pItem->m_strUrl.IsEmpty() ||
        pItem->m_strUrl.IsEqualNoCase(CMyString(FOLDER_URL)))
    {
        ShowMessage(NO_STATION_SELECTED, CMyMessageBox::TYPE_OK);
        return;
    }
    // The record may change while the question is open (the tree reloads its icons); the
    // station is taken as it was when the button was pressed.
    const CMyString strUrl = pItem->m_strUrl;
    const CMyString strPath = pItem->m_strPath;
    if (!pStation->GetUrl().IsEmpty() &&
        ShowMessage(REPLACE_PRESET, CMyMessageBox::TYPE_YES_NO) != CMyMessageBox::RESULT_YES)
        return;

    pStation->SetStation(strUrl, strPath);
    Settings settings;
    settings.SetStationName(pStation->GetIndex(), strPath);
    settings.SetStationUrl(pStation->GetIndex(), strUrl);
    pStation->SetPresetState(true);
    pStation->UpdateTooltip();
    ShowMessage(PRESET_DONE, CMyMessageBox::TYPE_OK);
}

int CMainFrame::ShowMessage(const char* pszText, uint32_t nType)
{
    // The box takes the mouse before the pressed button sees its release: the button must not
    // stay down behind it.
    if (!m_pPressedPreset.isNull())
        m_pPressedPreset->setDown(false);
    m_bPresetBusy = true;
    CMyMessageBox box{CMyString(pszText), nType};
    const int nResult = box.exec();
    m_bPresetBusy = false;
    return nResult;
}

CStation* CMainFrame::GetStation(uint32_t uIndex) const
{
    return static_cast<CStation*>(m_arrStations.GetAtOrNull(uIndex));
}

QWidget* CMainFrame::GetControl(uint32_t uIndex) const
{
    return uIndex < CONTROL_COUNT ? m_ppControls[uIndex] : nullptr;
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

void CMainFrame::ApplyMute(bool bMute)
{
    auto* pMute = dynamic_cast<CMyOwnButton*>(m_ppControls[CONTROL_MUTE]);
    if (pMute != nullptr && m_pToolTip != nullptr)
    {
        if (bMute)
        {
            pMute->SetPictures("res/Skin/MuteOff.Gif", "res/Skin/MuteOffHover.Gif",
                               "res/Skin/MuteOffPressed.Gif");
            m_pToolTip->UpdateTipText(pMute, QStringLiteral("Cancel Mute"));
        }
        else
        {
            pMute->SetPictures("res/Skin/MuteOn.Gif", "res/Skin/MuteOnHover.Gif",
                               "res/Skin/MuteOnPressed.Gif");
            m_pToolTip->UpdateTipText(pMute, QStringLiteral("Mute"));
        }
        pMute->update();
    }
    if (m_pPlayerView != nullptr)
        m_pPlayerView->SetMute(bMute);
}

void CMainFrame::RemoveSplash()
{
    if (m_pSplash == nullptr)
        return;
    m_pSplash->done(0);
    delete m_pSplash;
    m_pSplash = nullptr;
}
