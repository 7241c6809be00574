#pragma once

#include "text/MyString.h"

#include <QWidget>

#include <cstdint>
#include <memory>

struct mpv_handle;
struct mpv_event;
class CVideoSurface;

// The media player of the player view: plays one stream URL with libmpv and reports a play state
// and a status text. Video is drawn through mpv's render API into a native OpenGL window that
// fills this widget (through a window container). The player never shows dialogs or menus of its
// own; failures show only through the play state and the status text.
//
// A headless player (constructor flag, or ORVANTA_PLAYER_HEADLESS=1 in the environment) has no
// video or sound output and no OpenGL window, so it runs without a display.
class CWMPPlayer4 : public QWidget
{
    Q_OBJECT

public:
    // Play states, numbered as media players usually number them.
    static constexpr int32_t PLAY_STATE_UNDEFINED = 0;     // nothing was ever loaded
    static constexpr int32_t PLAY_STATE_STOPPED = 1;       // stopped by Stop
    static constexpr int32_t PLAY_STATE_PAUSED = 2;        // paused
    static constexpr int32_t PLAY_STATE_PLAYING = 3;       // pictures and sound are running
    static constexpr int32_t PLAY_STATE_BUFFERING = 6;     // playback waits for the network
    static constexpr int32_t PLAY_STATE_WAITING = 7;       // waiting for the video output
    static constexpr int32_t PLAY_STATE_MEDIA_ENDED = 8;   // the stream came to its end
    static constexpr int32_t PLAY_STATE_TRANSITIONING = 9; // opening the stream
    static constexpr int32_t PLAY_STATE_READY = 10;        // nothing plays; also after a failure

    explicit CWMPPlayer4(QWidget* pParent = nullptr, bool bHeadless = false);
    ~CWMPPlayer4() override;
    CWMPPlayer4(const CWMPPlayer4&) = delete;
    CWMPPlayer4& operator=(const CWMPPlayer4&) = delete;

    // Starts the player engine as a child of pParent (when given). False when libmpv cannot be
    // set up; every other operation then does nothing.
    bool Create(QWidget* pParent = nullptr);
    bool IsCreated() const { return m_pMpv != nullptr; }
    bool IsHeadless() const { return m_bHeadless; }

    CMyString GetURL() const { return m_strURL; }
    // The user agent and the referrer sent with the requests of the streams started from now
    // on (empty: the engine's own agent, no referrer). The engine holds them for one stream
    // only, so a stream started without them never inherits those of the one before. Control
    // characters are dropped: they would end the request's header line.
    void SetRequestHeaders(const CMyString& strUserAgent, const CMyString& strReferrer);
    CMyString GetUserAgent() const { return m_strUserAgent; }
    CMyString GetReferrer() const { return m_strReferrer; }
    // Remembers the stream; starts it at once when autoStart is on, otherwise stops what plays.
    void SetURL(const CMyString& strURL);
    int32_t GetPlayState() const { return m_nPlayState; }
    // Empty until something happened; then "Opening: <url>", "Buffering: 45%", "Playing",
    // "Paused", "Stopped", "Finished" or "Failed: <reason>".
    CMyString GetStatus() const { return m_strStatus; }

    // Starts the URL (or resumes a paused one); does nothing while it is already on its way.
    void Play();
    // Pauses a stream that plays; Play resumes it.
    void Pause();
    void Stop();

    void SetAutoStart(bool bAutoStart) { m_bAutoStart = bAutoStart; }
    bool GetAutoStart() const { return m_bAutoStart; }
    void SetMute(bool bMute);
    bool GetMute() const;
    // 0 to 100; values outside are clamped.
    void SetVolume(int32_t nVolume);
    int32_t GetVolume() const;
    // The player never shows an error dialog; the value is only kept.
    void SetEnableErrorDialogs(bool bEnable) { m_bEnableErrorDialogs = bEnable; }
    bool GetEnableErrorDialogs() const { return m_bEnableErrorDialogs; }
    void SetEnableContextMenu(bool bEnable);
    bool GetEnableContextMenu() const { return m_bEnableContextMenu; }
    // True stretches the picture over the whole widget, ignoring its aspect ratio.
    void SetStretchToFit(bool bStretch);
    bool GetStretchToFit() const { return m_bStretchToFit; }
    // Video is always drawn into the widget; the value is only kept.
    void SetWindowlessVideo(bool bWindowless) { m_bWindowlessVideo = bWindowless; }
    bool GetWindowlessVideo() const { return m_bWindowlessVideo; }

    // Shows the picture on the whole screen, only while playing; a request in any other state
    // is dropped. Escape or a double click in the full-screen picture leaves it.
    void SetFullScreen(bool bFullScreen);
    bool GetFullScreen() const { return m_bFullScreen; }

    // Opens the URL in the user's default web browser.
    bool LaunchURL(const CMyString& strURL);

    // A property of the engine as text (empty when unknown), for diagnostics and tests.
    CMyString GetEngineProperty(const char* pszName) const;

    // The stream that plays or played last is live: it has no known length, or it cannot seek
    // (a sliding playlist, a radio-style stream). False before any stream has opened.
    bool IsLive() const { return m_bOpened && (m_dDuration <= 0 || !m_bSeekable); }

signals:
    // The play state changed; emitted after the new state and status are set.
    void PlayStateChanged(int32_t nState);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void ProcessEvents();
    void HandleEvent(const mpv_event& event);
    void StartLoading();
    void LoadNow();
    void OnSurfaceReady();
    void UpdateRunningState();
    void SetState(int32_t nState, const CMyString& strStatus);
    void LeaveFullScreen();
    void ShowFailure();
    void NoteLogLine(const char* pszLevel, const char* pszPrefix, const char* pszText);

    // Ends the engine: mpv_terminate_destroy.
    struct CEngineRelease
    {
        void operator()(mpv_handle* pMpv) const;
    };
    std::unique_ptr<mpv_handle, CEngineRelease> m_pMpv;
    CVideoSurface* m_pSurface = nullptr;
    QWidget* m_pVideo = nullptr; // the surface's container, or a black stand-in when headless
    bool m_bHeadless = false;

    CMyString m_strURL;
    CMyString m_strUserAgent;
    CMyString m_strReferrer;
    CMyString m_strStatus;
    CMyString m_strFailure; // the reason the log gave for the current stream, if any
    int32_t m_nPlayState = PLAY_STATE_UNDEFINED;
    int64_t m_nEntryId = -1; // the engine's playlist entry of the current stream
    bool m_bEntryStarted = false;
    bool m_bRunning = false; // the current stream has started playback
    bool m_bLoadPending = false;
    bool m_bFailurePending = false; // a failure whose reason may still come from the log
    int m_nFailureError = 0;
    bool m_bPausedForCache = false;
    bool m_bPaused = false;
    int64_t m_nBufferPercent = 0;
    bool m_bOpened = false;   // the current (or last) stream has opened
    double m_dDuration = 0;   // its length in seconds; 0 while unknown
    bool m_bSeekable = false; // it can seek

    bool m_bAutoStart = false;
    bool m_bEnableErrorDialogs = true;
    bool m_bEnableContextMenu = true;
    bool m_bStretchToFit = false;
    bool m_bWindowlessVideo = false;
    bool m_bFullScreen = false;
    int32_t m_nVolume = 100;
    bool m_bMute = false;
};
