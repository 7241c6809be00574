#include "shell/TelvaneView.h"

#include "config/ServerList.h"
#include "config/Settings.h"
#include "directory/StreamUrl.h"
#include "host/WMPPlayer4.h"
#include "host/WebBrowser2.h"
#include "platform/MessageVocabulary.h"
#include "platform/Trace.h"
#include "skin/MyOwnButton.h"
#include "skin/SkinInfo.h"
#include "text/MyXmlDom.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QSplitter>
#include <QTimer>

#include <algorithm>

namespace
{
// The address as Play hands it to the player: whatever follows the last "&" is not part of it.
CMyString StreamAddress(const CMyString& strStationUrl)
{
    CMyString strUrl = strStationUrl;
    const uint32_t uAmpersand = strUrl.ReverseFind('&');
    if (uAmpersand != MY_NOT_FOUND)
        strUrl.SetLength(uAmpersand);
    return strUrl;
}

void SetLabelText(QLabel& label, const CMyString& strText)
{
    label.setText(ToQString(strText));
}
} // namespace

CTelvaneView::CTelvaneView(QWidget* pParent) : QWidget(pParent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setFocusPolicy(Qt::ClickFocus);
    // The view paints its whole surface itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    const CSkinInfo* pSkin = GetSkinInfo();
    m_clrStatusBg = pSkin->m_clrStatusBg;
    m_clrStatusText = pSkin->m_clrStatusText;
}

CTelvaneView::~CTelvaneView()
{
    if (m_pPlayer != nullptr)
        m_pPlayer->disconnect(this);
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
    m_nTimerId = 0;
}

bool CTelvaneView::Create()
{
    return Create(GetFirstUrl());
}

bool CTelvaneView::Create(const CMyString& strFirstUrl)
{
    if (m_pStatusText != nullptr)
        return true; // created before
    // The start page covers the view until the first station is started.
    if (strFirstUrl.IsEmpty())
    {
        m_bStartPageShown = false;
    }
    else
    {
        m_pBrowser = new CWebBrowser2(this);
        m_pBrowser->put_Visible(true);
        m_pBrowser->Navigate(strFirstUrl);
    }

    CreatePlayer();

    m_pStatusText = CreateStatic();
    m_pStationText = CreateStatic();

    if (m_nTimerId == 0)
        m_nTimerId = startTimer(STATUS_TIMER_MS);
    if (width() > 0 && height() > 0)
        LayoutView(width(), height());
    return true;
}

void CTelvaneView::CreatePlayer()
{
    // Created with an empty rectangle; the layout sizes it once the start page has gone.
    m_pPlayer = new CWMPPlayer4(this);
    m_pPlayer->setGeometry(0, 0, 0, 0);
    if (!m_pPlayer->Create(this))
    {
        delete m_pPlayer;
        m_pPlayer = nullptr;
        return;
    }
    m_bPlayerCreated = true;
    m_pPlayer->SetEnableContextMenu(false);
    m_pPlayer->SetAutoStart(true);
    m_pPlayer->SetEnableErrorDialogs(false);
    m_pPlayer->SetStretchToFit(true);
    m_pPlayer->SetWindowlessVideo(true);
    // Hidden while the start page covers the view: a shown player of no size would still put
    // its video window on the screen, at the window system's default size over the frame's
    // corner. A station waits for the video window's first showing before it loads.
    m_pPlayer->setVisible(!m_bStartPageShown);
    connect(m_pPlayer, &CWMPPlayer4::PlayStateChanged, this, &CTelvaneView::OnPlayStateChanged);
    m_pReconnectTimer = new QTimer(this);
    m_pReconnectTimer->setSingleShot(true);
    connect(m_pReconnectTimer, &QTimer::timeout, this,
            [this]
            {
                Trace("Player view: reconnect, try %d", m_nReconnectTry);
                m_pPlayer->Play();
            });
}

QLabel* CTelvaneView::CreateStatic()
{
    QLabel* pLabel = new QLabel(this);
    pLabel->setContextMenuPolicy(Qt::NoContextMenu);
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    pLabel->setFont(font);
    QPalette palette = pLabel->palette();
    palette.setColor(QPalette::Window, SkinColor(m_clrStatusBg));
    palette.setColor(QPalette::WindowText, SkinColor(m_clrStatusText));
    pLabel->setPalette(palette);
    pLabel->setAutoFillBackground(true);
    // The status line stays above the player, which reaches below the picture area.
    pLabel->raise();
    pLabel->show();
    return pLabel;
}

CMyString CTelvaneView::GetFirstUrl()
{
    return GetFirstUrl(FindFirstReachableServer(UPDATE_SETTINGS_FILE));
}

CMyString CTelvaneView::GetFirstUrl(const CMyString& strServerUrl)
{
    const CMyString strResFolder = Settings().GetResFolder();
    CMyXmlDom dom;
    if (strServerUrl.IsEmpty() || strResFolder.IsEmpty() ||
        !LoadSettingsFile(strResFolder, CMyString(MOVIES_SETTINGS_FILE), dom))
        return CMyString();
    const CXmlNode* pFirstUrl = dom.GetRoot()->FindChild(CMyString("FIRST_URL"));
    if (pFirstUrl == nullptr)
        return CMyString();
    CMyString strFirstUrl = strServerUrl;
    strFirstUrl.AppendPath(pFirstUrl->GetValue());
    return strFirstUrl;
}

void CTelvaneView::SetSplitter(QSplitter* pSplitter, int32_t nColumn)
{
    m_pSplitter = pSplitter;
    m_nSplitterColumn = nColumn;
}

void CTelvaneView::SetStation(const CStationItem& station)
{
    m_station.m_nType = station.m_nType;
    m_station.m_strUrl = station.m_strUrl;
    m_station.m_strPath = station.m_strPath;
    m_station.m_strUserAgent = station.m_strUserAgent;
    m_station.m_strReferrer = station.m_strReferrer;
    // Choosing another station (also with Previous or Next) ends the tries of the one that
    // broke off.
    if (m_nReconnectTry > 0 &&
        !StreamAddress(m_station.m_strUrl).IsEqualNoCase(m_pPlayer->GetURL()))
        EndReconnecting(true);
}

void CTelvaneView::SetStation(const CMyString& strUrl, const CMyString& strPath)
{
    if (strUrl.IsEmpty() || strPath.IsEmpty())
        return;
    CStationItem station;
    station.m_nType = STATION_ITEM_STATION;
    station.m_strUrl = strUrl;
    station.m_strPath = strPath;
    SetStation(station);
}

void CTelvaneView::Play()
{
    if (m_station.m_nType == STATION_ITEM_FOLDER || m_station.m_strUrl.IsEmpty())
        return;
    if (!m_bPlayerCreated)
        return;
    // Whatever follows the last "&" is not part of the stream's address.
    CMyString strUrl = m_station.m_strUrl;
    const uint32_t uAmpersand = strUrl.ReverseFind('&');
    if (uAmpersand != MY_NOT_FOUND)
        strUrl.SetLength(uAmpersand);

    // The station already plays when the player holds its address (the player keeps it cut) and
    // has not come to a stop; a stopped, finished or failed station is started again.
    const CMyString strPlaying = m_pPlayer->GetURL();
    if (!strPlaying.IsEmpty() && strPlaying.IsEqualNoCase(strUrl) && IsPlayerRunning())
        return;

    EndReconnecting(false);
    // Station addresses come from servers: the player gets network streams only, never a local
    // file, a device or one of the engine's own protocols. The refusal stops what played, since
    // the user asked for another station, and says so on the status line.
    m_bAddressRefused = !IsNetworkStreamUrl(strUrl);
    if (m_bAddressRefused)
    {
        Trace("Player view: refused a station address that is not a network stream");
        m_pPlayer->Stop();
        UpdateStatusLine();
        return;
    }
    // The station's own request headers, or none: never those of the station before.
    m_pPlayer->SetRequestHeaders(m_station.m_strUserAgent, m_station.m_strReferrer);
    m_pPlayer->SetURL(strUrl);

    if (m_pMainFrame != nullptr)
        PostWindowMessage(m_pMainFrame, MessageForMainFrame(), CODE_STATION_STARTED, 0);

    HideStartPage();
    m_pPlayer->Play();
}

bool CTelvaneView::IsPlayerRunning() const
{
    switch (m_pPlayer->GetPlayState())
    {
    case CWMPPlayer4::PLAY_STATE_UNDEFINED:
    case CWMPPlayer4::PLAY_STATE_STOPPED:
    case CWMPPlayer4::PLAY_STATE_MEDIA_ENDED:
    case CWMPPlayer4::PLAY_STATE_READY:
        return false;
    default:
        return true;
    }
}

void CTelvaneView::Stop()
{
    if (!m_bPlayerCreated)
        return;
    EndReconnecting(false);
    m_bAddressRefused = false;
    m_pPlayer->Stop();
}

void CTelvaneView::OnPlayStateChanged(int32_t nState)
{
    switch (nState)
    {
    case CWMPPlayer4::PLAY_STATE_PLAYING:
        // Pictures arrive: the station came back (or started).
        m_bStationShown = true;
        m_nReconnectTry = 0;
        break;
    case CWMPPlayer4::PLAY_STATE_MEDIA_ENDED:
    case CWMPPlayer4::PLAY_STATE_READY:
        // A clip of known length that played to its end stays finished, and a station that
        // never showed a picture is not asked again and again.
        if (m_nReconnectTry > 0 || (m_bStationShown && m_pPlayer->IsLive()))
            ScheduleReconnect();
        break;
    default:
        break;
    }
}

void CTelvaneView::ScheduleReconnect()
{
    if (m_pReconnectTimer->isActive())
        return;
    ++m_nReconnectTry;
    m_pReconnectTimer->start(
        ReconnectPause(m_nReconnectTry, m_nReconnectFirstMs, m_nReconnectLongestMs));
    UpdateStatusLine();
}

void CTelvaneView::EndReconnecting(bool bStopTry)
{
    m_bStationShown = false;
    if (m_pReconnectTimer != nullptr)
        m_pReconnectTimer->stop();
    const bool bTryRunning = m_nReconnectTry > 0 && IsPlayerRunning();
    m_nReconnectTry = 0;
    if (bStopTry && bTryRunning)
        m_pPlayer->Stop();
}

void CTelvaneView::SetReconnectPauses(int32_t nFirstMs, int32_t nLongestMs)
{
    m_nReconnectFirstMs = std::max(0, nFirstMs);
    m_nReconnectLongestMs = std::max(m_nReconnectFirstMs, nLongestMs);
}

int32_t CTelvaneView::ReconnectPause(int32_t nTry, int32_t nFirstMs, int32_t nLongestMs)
{
    int64_t nPause = nFirstMs;
    for (int32_t nStep = 1; nStep < nTry && nPause < nLongestMs; ++nStep)
        nPause *= 2;
    return static_cast<int32_t>(std::min<int64_t>(nPause, nLongestMs));
}

void CTelvaneView::SetVolume(int32_t nVolume)
{
    if (m_bPlayerCreated)
        m_pPlayer->SetVolume(nVolume);
}

void CTelvaneView::SetMute(bool bMute)
{
    if (m_bPlayerCreated)
        m_pPlayer->SetMute(bMute);
}

void CTelvaneView::FullScreen()
{
    if (!m_bPlayerCreated || m_bStartPageShown)
        return;
    if (m_pPlayer->GetPlayState() == CWMPPlayer4::PLAY_STATE_PLAYING)
        m_pPlayer->SetFullScreen(true);
}

void CTelvaneView::OpenInBrowser(const CMyString& strUrl)
{
    if (m_bPlayerCreated && !strUrl.IsEmpty())
        m_pPlayer->LaunchURL(strUrl);
}

void CTelvaneView::OnUpdate(CDocumentView* /*pSender*/, intptr_t nHint, QObject* /*pHint*/)
{
    if (nHint == HINT_PLAY)
        Play();
}

void CTelvaneView::HideStartPage()
{
    if (!m_bStartPageShown)
        return;
    m_bStartPageShown = false;
    if (m_pBrowser != nullptr)
    {
        m_pBrowser->put_Visible(false);
        m_pBrowser->clearMask();
        m_pBrowser->setGeometry(0, 0, 0, 0);
        m_pBrowser->hide();
    }
    if (width() > 0 && height() > 0)
        LayoutView(width(), height());
    if (m_pPlayer != nullptr)
        m_pPlayer->show();
}

void CTelvaneView::LayoutView(int32_t nWidth, int32_t nHeight)
{
    // Inside the splitter the view never becomes narrower than the minimum: the splitter gives
    // the view's column that much and the other column the rest, and lays out again.
    if (m_pSplitter != nullptr && nWidth < MIN_VIEW_WIDTH && m_pSplitter->count() >= 2)
    {
        QList<int> arrSizes = m_pSplitter->sizes();
        const int nColumn = std::clamp(m_nSplitterColumn, 0, static_cast<int>(arrSizes.size()) - 1);
        const int nOther = nColumn == 0 ? 1 : 0;
        arrSizes[nColumn] = MIN_VIEW_WIDTH;
        // The rest of the splitter's width, less its bars.
        const int nBars = m_pSplitter->handleWidth() * (m_pSplitter->count() - 1);
        arrSizes[nOther] =
            std::max(0, m_pSplitter->contentsRect().width() - nBars - MIN_VIEW_WIDTH);
        m_pSplitter->setSizes(arrSizes);
        return;
    }

    int32_t nAreaHeight = nHeight;
    if (m_pStatusText != nullptr)
    {
        nAreaHeight = nHeight - STATUS_LINE_HEIGHT;
        const int32_t nTop = nAreaHeight + 3;
        const int32_t nStatusWidth = nWidth / 2 - 100;
        m_pStatusText->setGeometry(-3, nTop, std::max(0, nStatusWidth), STATUS_LINE_HEIGHT);
        const int32_t nStationLeft = nStatusWidth - 6;
        m_pStationText->setGeometry(nStationLeft, nTop, std::max(0, nWidth - nStationLeft + 3),
                                    STATUS_LINE_HEIGHT);
    }
    m_rcViewArea = QRect(0, 0, nWidth + 1, std::max(0, nAreaHeight));

    if (m_pPlayer != nullptr && !m_bStartPageShown)
    {
        m_pPlayer->setGeometry(m_rcViewArea.adjusted(0, 0, 0, PLAYER_EXTRA_HEIGHT));
    }
    if (m_pBrowser != nullptr && m_bStartPageShown)
    {
        // The page is 20 pixels wider than the view and its right edge, where the vertical
        // scroll bar lies, is cut away.
        const int32_t nBrowserHeight = std::max(0, nAreaHeight + 6);
        m_pBrowser->setGeometry(0, 0, nWidth + 21, nBrowserHeight);
        m_pBrowser->setMask(QRegion(0, 0, nWidth + 1, nBrowserHeight));
    }
}

void CTelvaneView::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    if (width() > 0 && height() > 0)
        LayoutView(width(), height());
}

void CTelvaneView::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), SkinColor(m_clrStatusBg));
    painter.fillRect(m_rcViewArea, Qt::black);
}

void CTelvaneView::keyPressEvent(QKeyEvent* pEvent)
{
    if (m_pKeyReceiver == nullptr)
    {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    const uint32_t uKey = VirtualKeyFromQtKey(pEvent->key());
    if (uKey == 0)
    {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    // A new copy of the key for the receiver, which takes it and frees it.
    m_pKeyReceiver->OnUpdate(this, HINT_KEY, new CKeyHint(uKey));
    pEvent->accept();
}

void CTelvaneView::mousePressEvent(QMouseEvent* pEvent)
{
    // A right press opens nothing.
    if (pEvent->button() == Qt::RightButton)
    {
        pEvent->accept();
        return;
    }
    QWidget::mousePressEvent(pEvent);
}

void CTelvaneView::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() != m_nTimerId)
    {
        QWidget::timerEvent(pEvent);
        return;
    }
    UpdateStatusLine();
}

void CTelvaneView::UpdateStatusLine()
{
    // The labels are only touched when their text changes, so an unchanged status line is never
    // drawn again.
    if (m_pStationText != nullptr)
    {
        if (m_station.m_nType != STATION_ITEM_FOLDER)
        {
            if (!m_station.m_strPath.IsEmpty() && !m_strLastPath.IsEqual(m_station.m_strPath))
            {
                m_strLastPath = m_station.m_strPath;
                CMyString strText(" ");
                strText += m_station.m_strPath;
                SetLabelText(*m_pStationText, strText);
            }
        }
        else if (!m_strLastPath.IsEmpty())
        {
            m_strLastPath.Empty();
            m_pStationText->clear();
        }
    }

    CMyString strStatus;
    if (m_bAddressRefused)
        strStatus = "Not a network address";
    else if (m_nReconnectTry > 0)
    {
        strStatus = "Reconnecting\u2026 (try ";
        strStatus += std::to_string(m_nReconnectTry).c_str();
        strStatus += ")";
    }
    else if (m_bPlayerCreated)
        strStatus = m_pPlayer->GetStatus();
    if (strStatus.IsEmpty())
        strStatus = "Ready";
    if (!strStatus.IsEqual(m_strLastStatus))
    {
        m_strLastStatus = strStatus;
        if (m_pStatusText != nullptr)
        {
            CMyString strText("  ");
            strText += strStatus;
            SetLabelText(*m_pStatusText, strText);
        }
    }
}

uint32_t CTelvaneView::VirtualKeyFromQtKey(int nQtKey)
{
    if (nQtKey >= Qt::Key_A && nQtKey <= Qt::Key_Z)
        return static_cast<uint32_t>(nQtKey); // 'A' to 'Z'
    if (nQtKey >= Qt::Key_0 && nQtKey <= Qt::Key_9)
        return static_cast<uint32_t>(nQtKey); // '0' to '9'
    if (nQtKey >= Qt::Key_F1 && nQtKey <= Qt::Key_F24)
        return static_cast<uint32_t>(0x70 + (nQtKey - Qt::Key_F1));
    switch (nQtKey)
    {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        return 0;
    }
}
