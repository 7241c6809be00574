#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>

class CMainFrame;

// Lets the desktop drive the player: the keyboard's media keys and the desktop's media panel
// talk to the program over the session bus as "org.mpris.MediaPlayer2.orvanta", object
// "/org/mpris/MediaPlayer2", with the two interfaces of a media player remote.
//
// Every request goes through the frame's own parts, so it does what the window's controls do:
// Play and Stop are the Play and Stop keys (a live station has no pause, so Pause stops),
// Next and Previous select the tree's next or previous station and play it, Volume is the
// volume slider's level (0 to 100 as 0.0 to 1.0) and is stored like a drag of the slider, and
// Raise brings the window to the front. The state the desktop shows (PlaybackStatus, Metadata
// with the station's caption and path, Volume) is read from the player view; changes are
// announced with PropertiesChanged, checked every POLL_MS.
class CMediaPlayerRemote : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* SERVICE_NAME = "org.mpris.MediaPlayer2.orvanta";
    static constexpr const char* OBJECT_PATH = "/org/mpris/MediaPlayer2";
    static constexpr int POLL_MS = 250;

    // The remote of the frame's window (not owned; the remote is the frame's child).
    explicit CMediaPlayerRemote(CMainFrame* pFrame);

    // Offers the remote on the session bus. False, and nothing else happens, when there is no
    // session bus or another program holds the name.
    bool Register();

    // What the interfaces answer.
    QString GetPlaybackStatus() const;
    QVariantMap GetMetadata() const;
    double GetVolume() const;
    void SetVolume(double dVolume);
    bool CanPlay() const;

    void Play();
    void Stop();
    void PlayPause();
    void Next();
    void Previous();
    void Raise();

private:
    // Selects the tree's next (or previous) station and plays it.
    void PlayNeighbour(bool bNext);
    // Announces the player properties that changed since the last call.
    void AnnounceChanges();

    QPointer<CMainFrame> m_pFrame;
    QString m_strLastStatus;
    QVariantMap m_lastMetadata;
    double m_dLastVolume = -1.0;
};

// org.mpris.MediaPlayer2: the program itself.
class CMediaPlayerRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    explicit CMediaPlayerRootAdaptor(CMediaPlayerRemote* pRemote);

    bool CanQuit() const { return false; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("ORVANTA"); }
    QString DesktopEntry() const { return QStringLiteral("orvanta"); }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public slots:
    void Raise();
    void Quit() {}

private:
    CMediaPlayerRemote* m_pRemote;
};

// org.mpris.MediaPlayer2.Player: playback.
class CMediaPlayerPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanControl)
    Q_PROPERTY(bool CanGoPrevious READ CanControl)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPlay)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

public:
    explicit CMediaPlayerPlayerAdaptor(CMediaPlayerRemote* pRemote);

    QString PlaybackStatus() const { return m_pRemote->GetPlaybackStatus(); }
    double Rate() const { return 1.0; }
    void SetRate(double) {}
    QVariantMap Metadata() const { return m_pRemote->GetMetadata(); }
    double Volume() const { return m_pRemote->GetVolume(); }
    void SetVolume(double dVolume) { m_pRemote->SetVolume(dVolume); }
    qlonglong Position() const { return 0; }
    bool CanPlay() const { return m_pRemote->CanPlay(); }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

public slots:
    void Play() { m_pRemote->Play(); }
    void Pause() { m_pRemote->Stop(); }
    void PlayPause() { m_pRemote->PlayPause(); }
    void Stop() { m_pRemote->Stop(); }
    void Next() { m_pRemote->Next(); }
    void Previous() { m_pRemote->Previous(); }
    // Live stations cannot seek; the requests are accepted and do nothing.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong nPosition);

private:
    CMediaPlayerRemote* m_pRemote;
};
