#include "shell/MediaPlayerRemote.h"

#include "config/Settings.h"
#include "directory/FolderTreeView.h"
#include "host/WMPPlayer4.h"
#include "platform/Trace.h"
#include "shell/MainFrame.h"
#include "shell/TelvaneView.h"
#include "skin/MySlider.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace
{
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
// The track of "no station" as the desktop expects it.
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
} // namespace

CMediaPlayerRemote::CMediaPlayerRemote(CMainFrame* pFrame) : QObject(pFrame), m_pFrame(pFrame)
{
    new CMediaPlayerRootAdaptor(this);
    new CMediaPlayerPlayerAdaptor(this);
}

bool CMediaPlayerRemote::Register()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(OBJECT_PATH), this))
        return false;
    if (!bus.registerService(QString::fromLatin1(SERVICE_NAME)))
    {
        Trace("Media keys: %s is taken", SERVICE_NAME);
        bus.unregisterObject(QString::fromLatin1(OBJECT_PATH));
        return false;
    }
    m_strLastStatus = GetPlaybackStatus();
    m_lastMetadata = GetMetadata();
    m_dLastVolume = GetVolume();
    auto* pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CMediaPlayerRemote::AnnounceChanges);
    pTimer->start(POLL_MS);
    Trace("Media keys: offered as %s", SERVICE_NAME);
    return true;
}

QString CMediaPlayerRemote::GetPlaybackStatus() const
{
    const CTelvaneView* pView = m_pFrame ? m_pFrame->GetPlayerView() : nullptr;
    const CWMPPlayer4* pPlayer = pView != nullptr ? pView->GetPlayer() : nullptr;
    if (pPlayer == nullptr)
        return QStringLiteral("Stopped");
    switch (pPlayer->GetPlayState())
    {
    case CWMPPlayer4::PLAY_STATE_PLAYING:
    case CWMPPlayer4::PLAY_STATE_BUFFERING:
    case CWMPPlayer4::PLAY_STATE_WAITING:
    case CWMPPlayer4::PLAY_STATE_TRANSITIONING:
        return QStringLiteral("Playing");
    case CWMPPlayer4::PLAY_STATE_PAUSED:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap CMediaPlayerRemote::GetMetadata() const
{
    QVariantMap metadata;
    const CTelvaneView* pView = m_pFrame ? m_pFrame->GetPlayerView() : nullptr;
    if (pView == nullptr || pView->GetStation().m_strUrl.IsEmpty())
    {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kNoTrack))));
        return metadata;
    }
    const CStationItem& station = pView->GetStation();
    const QString strUrl = ToQString(station.m_strUrl);
    const QString strPath = ToQString(station.m_strPath);
    // The caption is the last part of the path: "Demo Channels/Generative/Mandelbrot".
    const QString strCaption = strPath.section(QLatin1Char('/'), -1);
    // A track id is an object path: the station's address, hashed into its letters.
    const QByteArray hash =
        QCryptographicHash::hash(strUrl.toUtf8(), QCryptographicHash::Sha1).toHex();
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/orvanta/Station/s") +
                                                        QString::fromLatin1(hash))));
    metadata.insert(QStringLiteral("xesam:title"), strCaption.isEmpty() ? strUrl : strCaption);
    metadata.insert(QStringLiteral("xesam:album"), strPath);
    metadata.insert(QStringLiteral("xesam:url"), strUrl);
    return metadata;
}

double CMediaPlayerRemote::GetVolume() const
{
    const auto* pSlider =
        m_pFrame ? dynamic_cast<const CMySlider*>(m_pFrame->GetControl(CMainFrame::CONTROL_VOLUME))
                 : nullptr;
    return pSlider != nullptr ? pSlider->GetLevel() / 100.0 : 0.0;
}

void CMediaPlayerRemote::SetVolume(double dVolume)
{
    if (m_pFrame.isNull() || !std::isfinite(dVolume))
        return;
    // The same as a drag of the slider: the thumb moves to the nearest place its track has, and
    // the level of that place goes to the player and into the store.
    auto nLevel = static_cast<int32_t>(std::lround(std::clamp(dVolume, 0.0, 1.0) * 100.0));
    if (auto* pSlider = dynamic_cast<CMySlider*>(m_pFrame->GetControl(CMainFrame::CONTROL_VOLUME)))
    {
        pSlider->SetLevel(nLevel);
        pSlider->update();
        nLevel = pSlider->GetLevel();
    }
    if (CTelvaneView* pView = m_pFrame->GetPlayerView())
        pView->SetVolume(nLevel);
    Settings().SetVolume(nLevel);
    AnnounceChanges();
}

bool CMediaPlayerRemote::CanPlay() const
{
    const CTelvaneView* pView = m_pFrame ? m_pFrame->GetPlayerView() : nullptr;
    return pView != nullptr && !pView->GetStation().m_strUrl.IsEmpty();
}

void CMediaPlayerRemote::Play()
{
    if (m_pFrame)
        m_pFrame->OnCommand(ID_PLAY);
    AnnounceChanges();
}

void CMediaPlayerRemote::Stop()
{
    if (m_pFrame)
        m_pFrame->OnCommand(ID_STOP);
    AnnounceChanges();
}

void CMediaPlayerRemote::PlayPause()
{
    if (GetPlaybackStatus() == QStringLiteral("Playing"))
        Stop();
    else
        Play();
}

void CMediaPlayerRemote::Next()
{
    PlayNeighbour(true);
}

void CMediaPlayerRemote::Previous()
{
    PlayNeighbour(false);
}

void CMediaPlayerRemote::PlayNeighbour(bool bNext)
{
    CFolderTreeView* pTree = m_pFrame ? m_pFrame->GetTreeView() : nullptr;
    CTelvaneView* pView = m_pFrame ? m_pFrame->GetPlayerView() : nullptr;
    if (pTree == nullptr || pView == nullptr)
        return;
    if (!(bNext ? pTree->NextStation() : pTree->PreviousStation()))
        return;
    if (const CStationItem* pStation = pTree->GetSelectedItem())
    {
        pView->SetStation(*pStation);
        pView->Play();
    }
    AnnounceChanges();
}

void CMediaPlayerRemote::Raise()
{
    if (m_pFrame.isNull())
        return;
    if (m_pFrame->isMinimized())
        m_pFrame->showNormal();
    m_pFrame->show();
    m_pFrame->raise();
    m_pFrame->activateWindow();
}

void CMediaPlayerRemote::AnnounceChanges()
{
    QVariantMap changed;
    const QString strStatus = GetPlaybackStatus();
    if (strStatus != m_strLastStatus)
        changed.insert(QStringLiteral("PlaybackStatus"), m_strLastStatus = strStatus);
    const QVariantMap metadata = GetMetadata();
    if (metadata != m_lastMetadata)
    {
        m_lastMetadata = metadata;
        changed.insert(QStringLiteral("Metadata"), metadata);
        changed.insert(QStringLiteral("CanPlay"), CanPlay());
        changed.insert(QStringLiteral("CanPause"), CanPlay());
    }
    const double dVolume = GetVolume();
    if (dVolume != m_dLastVolume)
        changed.insert(QStringLiteral("Volume"), m_dLastVolume = dVolume);
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(OBJECT_PATH), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

CMediaPlayerRootAdaptor::CMediaPlayerRootAdaptor(CMediaPlayerRemote* pRemote)
    : QDBusAbstractAdaptor(pRemote), m_pRemote(pRemote)
{
}

void CMediaPlayerRootAdaptor::Raise()
{
    m_pRemote->Raise();
}

CMediaPlayerPlayerAdaptor::CMediaPlayerPlayerAdaptor(CMediaPlayerRemote* pRemote)
    : QDBusAbstractAdaptor(pRemote), m_pRemote(pRemote)
{
}
