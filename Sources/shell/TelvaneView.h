#pragma once

#include "directory/StationDirectory.h"
#include "shell/TelvaneDoc.h"
#include "text/MyString.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>

class CWebBrowser2;
class CWMPPlayer4;
class QLabel;
class QSplitter;
class QTimer;

// The right pane of the main window: the media player that plays the stations, an embedded web
// page shown until the first station starts, and below them a status line with the player's
// status on the left and the current station's path on the right.
//
// The main frame, the station tree and the preset buttons tell the view which station is
// current and when to play, stop, change volume or mute, go full screen or open a page in the
// user's browser. The view tells the frame CODE_STATION_STARTED (MESSAGE_FOR_MAIN_FRAME) each time
// it has started a station, and hands keys pressed in it to the key receiver as HINT_KEY.
class CTelvaneView : public QWidget, public CDocumentView
{
    Q_OBJECT

public:
    // The status line at the bottom of the view.
    static constexpr int32_t STATUS_LINE_HEIGHT = 25;
    // How far the player reaches below the picture area. A player with a control strip of its
    // own would reach below the view to hide it; this player has none, so it covers the picture
    // area exactly and no part of the picture is cut off.
    static constexpr int32_t PLAYER_EXTRA_HEIGHT = 0;
    // The narrowest the view may become while it sits in the splitter.
    static constexpr int32_t MIN_VIEW_WIDTH = 180;
    // The period of the status line refresh.
    static constexpr int32_t STATUS_TIMER_MS = 200;
    // The pauses before the tries to reconnect a live station that broke off: the first, which
    // doubles with every try up to the longest.
    static constexpr int32_t RECONNECT_FIRST_PAUSE_MS = 1000;
    static constexpr int32_t RECONNECT_LONGEST_PAUSE_MS = 30000;

    explicit CTelvaneView(QWidget* pParent = nullptr);
    ~CTelvaneView() override;
    CTelvaneView(const CTelvaneView&) = delete;
    CTelvaneView& operator=(const CTelvaneView&) = delete;

    // Creates the start page (at GetFirstUrl()), the player, the status line and starts the
    // status timer. Answers true; a player that cannot be created leaves the view without one.
    bool Create();
    // The same with a given start page address; an empty one shows no start page.
    bool Create(const CMyString& strFirstUrl);

    // The start page address: the first server that answers on its update settings, joined with
    // FIRST_URL of the movies settings in the res folder. Empty when there is no server, no
    // readable file or no FIRST_URL.
    static CMyString GetFirstUrl();
    // The same on a server already chosen; empty when strServerUrl is.
    static CMyString GetFirstUrl(const CMyString& strServerUrl);

    // The splitter that holds the view and the view's column in it (not owned).
    void SetSplitter(QSplitter* pSplitter, int32_t nColumn);
    // The window that receives the view's notifications (not owned).
    void SetMainFrame(QObject* pMainFrame) { m_pMainFrame = pMainFrame; }
    // The view that receives the keys pressed here as hint 10 (normally the station tree; not
    // owned). The frame or the document clears it before that view goes away.
    void SetKeyReceiver(CDocumentView* pKeyReceiver) { m_pKeyReceiver = pKeyReceiver; }

    // Copies the record's type, URL, path and request headers into the current station; nothing
    // is played.
    void SetStation(const CStationItem& station);
    // The current station becomes a station with that URL and path and no request headers;
    // when either is empty nothing changes.
    void SetStation(const CMyString& strUrl, const CMyString& strPath);
    const CStationItem& GetStation() const { return m_station; }

    // Plays the current station: nothing without a station or when its URL already plays. The
    // URL is cut at its last "&", handed to the player, the frame is told (CODE_STATION_STARTED)
    // and the start page goes for good.
    void Play();
    void Stop();
    // 0 to 100.
    void SetVolume(int32_t nVolume);
    void SetMute(bool bMute);
    // Full screen, only once a station was started and while the player plays (state 3);
    // otherwise nothing happens.
    void FullScreen();
    void SetFullScreen() { FullScreen(); }
    // Opens the URL in the user's default web browser.
    void OpenInBrowser(const CMyString& strUrl);

    // Document hints: 2 plays the current station; every other hint is ignored.
    void OnUpdate(CDocumentView* pSender, intptr_t nHint, QObject* pHint) override;

    bool IsPlayerCreated() const { return m_bPlayerCreated; }
    bool IsStartPageShown() const { return m_bStartPageShown; }
    // The parts of the view, for the frame and the tests; null when they were not created.
    CWMPPlayer4* GetPlayer() const { return m_pPlayer; }
    CWebBrowser2* GetBrowser() const { return m_pBrowser; }
    QLabel* GetStatusText() const { return m_pStatusText; }
    QLabel* GetStationText() const { return m_pStationText; }
    // The part of the view above the status line.
    QRect GetViewArea() const { return m_rcViewArea; }

    // The virtual-key code of a Qt key as the tree's key handling counts it (Enter 13, Left 37,
    // Up 38, letters by their capital); 0 for keys that have none.
    static uint32_t VirtualKeyFromQtKey(int nQtKey);

    // One refresh of the status line, as the timer does it every 200 ms.
    void UpdateStatusLine();

    // The try to reconnect the station that broke off that runs or waits; 0 when none does.
    int32_t GetReconnectTry() const { return m_nReconnectTry; }
    // Shorter pauses between the tries, for measuring many tries in a row.
    void SetReconnectPauses(int32_t nFirstMs, int32_t nLongestMs);
    // The pause before the given try (1 for the first): the first pause doubled with every try,
    // at most the longest.
    static int32_t ReconnectPause(int32_t nTry, int32_t nFirstMs, int32_t nLongestMs);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;

private:
    // The player is opening, buffering, playing or paused: not stopped, finished or failed.
    bool IsPlayerRunning() const;
    void CreatePlayer();
    QLabel* CreateStatic();
    void HideStartPage();
    void LayoutView(int32_t nWidth, int32_t nHeight);
    // A live station that had shown pictures and then ended without being asked to is started
    // again after a pause; each failed try makes the next pause longer.
    void OnPlayStateChanged(int32_t nState);
    void ScheduleReconnect();
    // No more tries; a try on its way is stopped when bStopTry is set.
    void EndReconnecting(bool bStopTry);

    QPointer<QSplitter> m_pSplitter;
    int32_t m_nSplitterColumn = 0;
    QRect m_rcViewArea;
    uint32_t m_clrStatusBg = 0;
    uint32_t m_clrStatusText = 0;
    QLabel* m_pStatusText = nullptr;
    QLabel* m_pStationText = nullptr;
    CWMPPlayer4* m_pPlayer = nullptr;
    CWebBrowser2* m_pBrowser = nullptr;
    QPointer<QObject> m_pMainFrame;
    CDocumentView* m_pKeyReceiver = nullptr;
    bool m_bPlayerCreated = false;
    bool m_bStartPageShown = true;
    CStationItem m_station;
    CMyString m_strLastStatus;
    CMyString m_strLastPath; // the station path the station text shows
    int m_nTimerId = 0;

    bool m_bStationShown = false; // the station the user started last has shown pictures
    int32_t m_nReconnectTry = 0;
    bool m_bAddressRefused = false; // the station last asked for has no network address
    QTimer* m_pReconnectTimer = nullptr;
    int32_t m_nReconnectFirstMs = RECONNECT_FIRST_PAUSE_MS;
    int32_t m_nReconnectLongestMs = RECONNECT_LONGEST_PAUSE_MS;
};
