#pragma once

#include "host/BaseDialogBar.h"
#include "shell/SearchEngines.h"
#include "skin/MyEditBox.h"
#include "skin/MyOwnButton.h"
#include "text/MyString.h"

#include <QPoint>
#include <QTimer>

#include <cstdint>
#include <functional>

class QWidget;

// The bar along the top of the main frame: the window's caption (title, close, minimise,
// maximise/restore, double click and dragging) and its search box (edit box, Search button with
// the engine menu, and two notice buttons that appear when the silent update check finds newer
// lists or a newer program). The bar never acts on the tree, the player or the window itself:
// it posts MESSAGE_FROM_DLG to its parent, the main frame.
class CMyDlgBar : public BaseDialogBar
{
    Q_OBJECT

public:
    // Control identifiers and commands.
    static constexpr uint32_t IDD_SEARCH_BAR = 144;
    static constexpr uint32_t IDC_SEARCH_EDIT = 1002;
    static constexpr uint32_t IDC_SEARCH_BUTTON = 1003;
    static constexpr uint32_t IDC_LISTS_NOTICE = 1004;
    static constexpr uint32_t IDC_VERSION_NOTICE = 1005;
    static constexpr uint32_t IDC_TITLE = 1008;
    // Bits of ShowNotices.
    static constexpr uint32_t NOTICE_LISTS = 1;
    static constexpr uint32_t NOTICE_VERSION = 2;
    // Timers: the start-up check fires once, the notices blink a fixed number of ticks.
    static constexpr int START_CHECK_DELAY_MS = 2000;
    static constexpr int BLINK_INTERVAL_MS = 300;
    static constexpr uint32_t BLINK_COUNT = 20;
    // Two presses closer than this count as one.
    static constexpr uint32_t CLICK_GUARD_MS = 200;
    // Caption buttons are square pictures of this size.
    static constexpr int CAPTION_BUTTON_SIZE = 17;

    // Builds the controls, sets up the built-in engine and reads the search engines of the res
    // folder.
    CMyDlgBar();
    ~CMyDlgBar() override;

    // The frame creates the bar with these; the controls are configured once it exists.
    bool Create(QWidget* pParent, uint32_t uTemplateId, uint32_t uStyle,
                uint32_t uControlId) override;
    bool Create(QWidget* pParent, const char* pszTemplateName, uint32_t uStyle,
                uint32_t uControlId) override;

    // Sets the title text and places it between the left group and the caption buttons.
    void SetTitle(const CMyString& strTitle);
    // The web request for the edit box's text with the first engine of the list; empty when
    // there is none.
    CMyString GetWebSearchRequest();
    // 3 (maximised): the button offers restoring; any other state: it offers maximising.
    void SetMaximizeLook(int32_t nState);
    // Shows the notices named by the bits (1 lists, 2 version), places them and starts blinking.
    void ShowNotices(uint32_t nNotices, const CMyString& strNewVersionUrl);
    // The Search button shows the selected engine's picture and caption and is fitted to it.
    void UpdateSearchButton();
    // Sends the edit box's text to the frame: a tree search with the built-in engine, otherwise
    // an address to open.
    void DoSearch();
    // The request for the edit box's text: with bWebOnly the first engine of the list, otherwise
    // the selected one. False when there is no such engine.
    bool BuildSearchRequest(CMyString& strRequest, bool bWebOnly);
    // Taken as an address rather than search terms: no space, and "ftp://" anywhere or
    // "http://" or "www." at the start (letter case ignored).
    static bool IsUrl(const CMyString& strText);

    // Opens the engine menu under the Search button and applies the choice.
    void ShowEngineMenu();
    // A menu command: 0 nothing, 100 the built-in engine, otherwise the engine with that
    // identifier. A new choice updates the button and searches when the edit box holds text.
    void SelectEngine(uint32_t uCommand);

    // The update dialog lives in a library of its own; the frame tells the bar how to open it
    // modally in its on-request mode (the "Updated Lists Available" notice).
    void SetUpdateDialogOpener(std::function<void(QWidget* pParent)> fnOpen);

    CMyEditBox& GetEditBox() { return m_EditBox; }
    CMyOwnButton& GetSearchButton() { return m_btnSearch; }
    CMyOwnButton& GetListsNotice() { return m_btnListsNotice; }
    CMyOwnButton& GetVersionNotice() { return m_btnVersionNotice; }
    CMyStaticButton& GetTitleControl() { return m_Title; }
    CMyOwnButton& GetCloseButton() { return m_btnClose; }
    CMyOwnButton& GetMinimizeButton() { return m_btnMinimize; }
    CMyOwnButton& GetMaximizeButton() { return m_btnMaximize; }
    uint32_t GetNotices() const { return m_nNotices; }
    const CMyString& GetNewVersionUrl() const { return m_strNewVersionUrl; }
    int32_t GetSelectedEngine() const { return m_nSelectedEngine; }
    const CSearchEngine& GetBuiltInEngine() const { return m_BuiltInEngine; }
    const CSearchEngines& GetEngines() const { return m_Engines; }
    bool IsBlinking() const { return m_timerBlink.isActive(); }
    uint32_t GetBlinkCount() const { return m_uBlinkCount; }
    bool IsStartCheckScheduled() const { return m_timerStartCheck.isActive(); }

protected:
    void DoDataExchange() override;
    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    // The controls' configuration once the bar is a child of its frame.
    bool OnCreateBar();
    void PlaceControls(int nWidth);
    void PlaceTitle();
    // Shown notices one after the other from the Search button's right edge, 5 pixels apart.
    void PlaceNotices();
    void RedrawFrameUnderBar();
    // Posts a code without a text (the caption's) to the frame.
    void PostToFrame(uintptr_t uCode);
    // Posts a code with a text to the frame, which takes the text; a text the frame never
    // receives is freed with its message.
    void PostToFrame(uintptr_t uCode, const CMyString& strText);
    // The engine of BuildSearchRequest's first step, or null.
    const CSearchEngine* ChooseEngine(bool bWebOnly) const;

    void OnSearchClicked();
    void OnListsNoticeClicked();
    void OnVersionNoticeClicked();
    void OnEngineArrowPressed();
    void OnStartCheckTimer();
    void OnBlinkTimer();

    // Milliseconds since system start, as 32 bits.
    static uint32_t TickCount();

    CMyEditBox m_EditBox;
    CMyOwnButton m_btnSearch;
    CMyOwnButton m_btnListsNotice;
    CMyOwnButton m_btnVersionNotice;
    CMyStaticButton m_Title;
    CMyOwnButton m_btnClose;
    CMyOwnButton m_btnMinimize;
    CMyOwnButton m_btnMaximize;
    uint32_t m_nNotices = 0;
    uint32_t m_uLastClickTime = 0;
    uint32_t m_bStartCheckPending = 1;
    uint32_t m_bBlinkPhase = 0;
    uint32_t m_uBlinkCount = 0;
    uint32_t m_clrTitle = 0;
    uint32_t m_bDragging = 0;
    QPoint m_ptDragStart;
    CMyString m_strNewVersionUrl;
    CSearchEngine m_BuiltInEngine;
    CSearchEngines m_Engines;
    int32_t m_nSelectedEngine = BUILT_IN_ENGINE_ID;

    QTimer m_timerStartCheck;
    QTimer m_timerBlink;
    std::function<void(QWidget*)> m_fnOpenUpdateDialog;
};
