#pragma once

#include "platform/MessageVocabulary.h"
#include "shell/SkinFramePainter.h"
#include "shell/TelvaneDoc.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <QAbstractButton>
#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CFolderTreeView;
class CMyDlgBar;
class CSplashDlg;
class CStation;
class CTelvaneView;
class CToolTipCtrl;
class CUpdateDlg;
class CWebBrowser2;
class QSplitter;

// The program's one top-level window and the hub through which its parts talk: a frameless
// window whose whole surface is painted from the skin, with the search bar along the top (which
// is also its caption), a splitter holding the station tree and the player view, and the bottom
// strip: five preset stations, the seven player controls (Stop, Play, Previous, Next, Full
// screen, the volume slider, Mute) and the banner page from the list server.
//
// The parts notify the frame through registered window messages only, named in
// platform/MessageVocabulary.h:
// - MESSAGE_FOR_MAIN_FRAME (posted): station started, tree loaded, search the web instead,
//   selection changed, volume level;
// - MESSAGE_FROM_DLG (posted by the search bar): open an address and search the tree (both with
//   a text that the frame takes and frees in every case), close, minimise, maximise or restore;
// - MESSAGE_BUTTON_TWO_STATE_CLICKED (sent by the preset buttons at their press): a preset's
//   station button plays its station, its pre-set button stores the tree's selected station.
// Unknown codes are ignored and every handler answers 0.
//
// MainFrame.cpp holds creation, layout, the messages and the commands; MainFrameBottomStrip.cpp
// the bottom strip: presets, player controls, mute and banner.
//
// Construction runs the start-up decisions: hand over to the external updater, or on the first
// run copy the installed lists and run the first-run update dialog, or else show the splash
// window until the tree reports that it is loaded.
class CMainFrame : public QWidget
{
public:
    // The preferred window size; a smaller work area is used whole.
    static constexpr int32_t WINDOW_WIDTH = 1010;
    static constexpr int32_t WINDOW_HEIGHT = 640;
    // The ideal width of the tree's column.
    static constexpr int32_t TREE_IDEAL_WIDTH = 220;
    static constexpr int32_t CONTROL_BAR_HEIGHT = 40;
    static constexpr uint32_t CONTROL_COUNT = 7;
    static constexpr uint32_t PRESET_COUNT = 5;
    // The banner window and the part of it that shows, in its own coordinates.
    static constexpr int32_t BANNER_WIDTH = 510;
    static constexpr int32_t BANNER_HEIGHT = 80;
    static constexpr QRect BANNER_VISIBLE_PART{12, 17, 468, 60};
    // Where the bottom strip starts: the presets from x = 15, the controls 5 pixels after the
    // presets' right edge (at least 30).
    static constexpr int32_t PRESETS_LEFT = 15;
    static constexpr int32_t PRESETS_MIN_RIGHT = 30;
    static constexpr int32_t CONTROLS_GAP = 5;
    // Indexes of the player controls in m_ppControls.
    static constexpr uint32_t CONTROL_STOP = 0;
    static constexpr uint32_t CONTROL_PLAY = 1;
    static constexpr uint32_t CONTROL_PREVIOUS = 2;
    static constexpr uint32_t CONTROL_NEXT = 3;
    static constexpr uint32_t CONTROL_FULL_SCREEN = 4;
    static constexpr uint32_t CONTROL_VOLUME = 5;
    static constexpr uint32_t CONTROL_MUTE = 6;

    // What start-up does that a test must not: end the process, and run the modal first-run
    // update dialog. Empty members do the real thing (std::exit, exec()).
    struct CStartupHooks
    {
        std::function<void(int)> exitProcess;
        // Given the dialog, constructed in its first-run mode; answers the dialog's result.
        std::function<int(CUpdateDlg&)> runUpdateDialog;
    };

    // Where everything of the bottom strip and the splitter stands for a client area of
    // cx by cy pixels.
    struct CFrameLayout
    {
        QRect rcSplitter;
        // Where the preset stations are laid out from.
        QPoint ptPresets;
        // The top of the player controls; they start at the right edge of the presets + 5.
        int32_t nControlsTop = 0;
        QRect rcBanner;
        // The rectangle the banner frame pictures stand around.
        CSkinFramePainter::CEdges rcBannerFrame;
    };

    // Runs the start-up decisions (see above); the window is made later by LoadFrame.
    explicit CMainFrame(const CStartupHooks& hooks = CStartupHooks());
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window with its search bar, splitter, tree view and player view, the views
    // registered with the document, and places it by the size rule (not shown). False on the
    // first run (the window is refused) and when the splitter or a view cannot be made.
    bool LoadFrame(CTelvaneDoc* pDocument);

    // The work area the size rule uses; by default the primary screen's available geometry.
    void SetWorkArea(const QRect& rcWorkArea) { m_rcWorkArea = rcWorkArea; }
    // The window's rectangle for a work area: 1010 x 640 centred, or the whole work area when
    // that is smaller; 1 x 1 at (0, 0) on the first run.
    static QRect ComputeWindowRect(const QRect& rcWorkArea, bool bFirstRun);
    // The layout for a client area of cx by cy with the splitter margins.
    static CFrameLayout ComputeLayout(int32_t cx, int32_t cy, const QMargins& rcMargins);

    // The command handlers of the search bar's caption buttons and the player controls.
    void OnCommand(uint32_t uCommandId);
    // The Mute button and the player view show the given state.
    void ApplyMute(bool bMute);

    // The preset's station button was pressed: its station becomes the player view's current
    // station and plays. An empty preset says how to pre-set one first.
    void PlayPreset(CStation* pStation);
    // The preset's pre-set button was pressed: the tree's selected station goes onto the preset
    // and into the settings store, after asking when the preset already holds one.
    void PresetSelectedStation(CStation* pStation);
    // The update dialog on request (the lists notice): runs it modally, then, when the user chose
    // to restart, quits the program from the window's own event loop.
    void OpenUpdateDialog(QWidget* pParent);

    bool IsFirstRun() const { return m_bFirstRun != 0; }
    CSplashDlg* GetSplash() const { return m_pSplash; }
    CFolderTreeView* GetTreeView() const { return m_pTreeView; }
    CTelvaneView* GetPlayerView() const { return m_pPlayerView; }
    CMyDlgBar* GetSearchBar() const { return m_wndSearchBar; }
    QSplitter* GetSplitter() const { return m_wndSplitter; }
    const QMargins& GetMargins() const { return m_rcMargins; }
    const CSkinFramePainter::CEdges& GetBannerFrame() const { return m_rcBannerFrame; }
    bool IsMute() const { return m_bMute != 0; }
    uint32_t GetStationCount() const { return m_arrStations.GetCount(); }
    CStation* GetStation(uint32_t uIndex) const;
    // The player control at an index of m_ppControls (CONTROL_STOP ... CONTROL_MUTE).
    QWidget* GetControl(uint32_t uIndex) const;
    CToolTipCtrl* GetToolTip() const { return m_pToolTip; }
    CWebBrowser2* GetBanner() const { return m_wndBanner; }
    bool IsBannerShown() const { return m_bBannerShown != 0; }
    const CMyString& GetBannerUrl() const { return m_strBannerUrl; }
    const CMyString& GetServerUrl() const { return m_strServerUrl; }

protected:
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    // Updater hand-over, first run or splash window, in that order.
    void RunStartup(const CStartupHooks& hooks);
    // The first server that answers becomes m_strServerUrl.
    void ChooseServer();
    // The banner page named by the movies settings, on that server, in a browser of its own.
    void CreateBanner();
    void CreateStations();
    void CreateControls();
    bool OnCreateClient(CTelvaneDoc* pDocument);
    void OnSize(int32_t cx, int32_t cy);
    // Places the presets, the player controls after them and the banner.
    void PlaceBottomStrip(const CFrameLayout& layout);
    intptr_t OnMessageForMainFrame(uintptr_t wParam, intptr_t lParam);
    // pstrText: the text that came with the message, when one did; freed here in every case.
    intptr_t OnMessageFromDlg(uintptr_t wParam, std::unique_ptr<CMyString> pstrText);
    intptr_t OnButtonTwoStateClicked(uintptr_t wParam);
    void OnMaximizeRestore();
    void RemoveSplash();
    // The program's message box over the frame: the answer of CMyMessageBox.
    int ShowMessage(const char* pszText, uint32_t nType);

    CSplashDlg* m_pSplash = nullptr;
    // The splitter, the search bar and the banner are children of the frame: the frame's widget
    // tree owns them.
    QSplitter* m_wndSplitter = nullptr;
    CFolderTreeView* m_pTreeView = nullptr;
    CTelvaneView* m_pPlayerView = nullptr;
    CMyDlgBar* m_wndSearchBar = nullptr;
    CWebBrowser2* m_wndBanner = nullptr;
    QMargins m_rcMargins{20, 30, 20, 84};
    CSkinFramePainter::CEdges m_rcBannerFrame;
    int32_t m_nControlBarHeight = CONTROL_BAR_HEIGHT;
    uint32_t m_bFirstRun = 0;
    // The preset stations (CStation), in index order; owned.
    CArrayPtr m_arrStations{10};
    // The player controls by index: 0 Stop, 1 Play, 2 Previous, 3 Next, 4 Full screen,
    // 5 Volume slider, 6 Mute; owned.
    QWidget* m_ppControls[CONTROL_COUNT] = {};
    uint32_t m_bBannerShown = 0;
    CMyString m_strBannerUrl;
    CMyString m_strServerUrl;
    CToolTipCtrl* m_pToolTip = nullptr;
    uint32_t m_bMute = 0;
    // Set while a preset's message box is open: a second press on a preset waits for it.
    bool m_bPresetBusy = false;
    // Set while the update dialog runs and once a restart is under way: no second dialog.
    bool m_bUpdateBusy = false;
    // The preset button whose press is being handled.
    QPointer<QAbstractButton> m_pPressedPreset;

    QPointer<CTelvaneDoc> m_pDocument;
    QRect m_rcWorkArea;
    uint32_t m_uMessageForMainFrame;
    uint32_t m_uMessageFromDlg;
    uint32_t m_uTwoStateClicked;
};
