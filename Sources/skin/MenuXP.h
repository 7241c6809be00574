#pragma once

#include "skin/MyPicture.h"
#include "text/MyString.h"

#include <QFont>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class CSkinInfo;
class QEventLoop;
class QPainter;

// The data of one menu entry: a text item, a separator or the coloured side bar. The menu owns
// its items and deletes them with itself.
class CMenuXPItem
{
public:
    // Tag that marks an entry's data as one of these items; data without it is left alone.
    static constexpr uint32_t MAGIC = 0x0505A0A0u;

    CMenuXPItem() = default;
    CMenuXPItem(const CMenuXPItem&) = delete;
    CMenuXPItem& operator=(const CMenuXPItem&) = delete;
    virtual ~CMenuXPItem();

    bool IsValid() const { return m_dwMagicNum == MAGIC; }

    uint32_t m_dwMagicNum = MAGIC;
    uint32_t m_nID = 0;
    uint8_t m_bSeparator = 0;
    uint8_t m_bSideBar = 0;
    uint8_t m_bButtonOnly = 0;
    // The caption; the part after a tab character is drawn right-aligned.
    CMyString m_strText;
    // The picture before the caption (a 30 by 30 box), or null.
    std::unique_ptr<CMyPicture> m_pPicture;
    // Picture size of a text item; width of the side bar.
    int32_t m_nSize = 16;
};

// A command entry with a caption and, when a path is given, a picture.
class CMenuXPText : public CMenuXPItem
{
public:
    CMenuXPText(uint32_t nID, const CMyString& strText, const CMyString& strPicturePath);
};

// A horizontal separator line.
class CMenuXPSeparator : public CMenuXPItem
{
public:
    CMenuXPSeparator() { m_bSeparator = 1; }
};

// The coloured column at the left of the menu, nWidth pixels wide, with a title written upward.
class CMenuXPSideBar : public CMenuXPItem
{
public:
    CMenuXPSideBar(int32_t nWidth, const CMyString& strTitle, uint32_t nID = 0);
};

// What MeasureItem answers for one entry.
struct CMenuItemMeasure
{
    CMenuXPItem* pItem = nullptr;
    int32_t nItemWidth = 0;
    int32_t nItemHeight = 0;
};

// What DrawItem draws: one entry into its rectangle in the given state.
struct CMenuItemDraw
{
    QPainter* pPainter = nullptr;
    QRect rcItem;
    uint32_t uItemState = 0;
    CMenuXPItem* pItem = nullptr;
};

// A popup menu that draws itself in the skin's menu colours: a gradient side bar at the left, a
// picture square before every item, the default item in bold. It opens at a screen point, keeps
// on the screen, follows the mouse and the Up, Down, Enter and Escape keys, and closes on a
// choice, on Escape or on a click outside it.
class CMenuXP : public QWidget
{
public:
    // Entry flags for AppendODMenu.
    static constexpr uint32_t MENU_DISABLED = 0x0003u;
    static constexpr uint32_t MENU_CHECKED = 0x0008u;
    static constexpr uint32_t MENU_BAR_BREAK = 0x0020u;
    static constexpr uint32_t MENU_BREAK = 0x0040u;
    static constexpr uint32_t MENU_SEPARATOR = 0x0800u;

    // Drawing states passed to DrawItem.
    static constexpr uint32_t STATE_SELECTED = 0x0001u;
    static constexpr uint32_t STATE_DISABLED = 0x0004u;
    static constexpr uint32_t STATE_CHECKED = 0x0008u;
    static constexpr uint32_t STATE_DEFAULT = 0x0020u;

    // The size of a menu check mark. Desktops draw these at 13 pixels; the menu measures its
    // separators (half of it) and its width allowance with that fixed value.
    static constexpr int32_t CHECK_MARK_SIZE = 13;

    // Takes the menu colours of the process's skin.
    explicit CMenuXP(QWidget* pParent = nullptr);
    // Takes the menu colours of the given skin.
    explicit CMenuXP(const CSkinInfo& skin, QWidget* pParent = nullptr);
    ~CMenuXP() override;

    // Starts an empty menu (dropping any entries).
    bool CreatePopupMenu();
    void SetMenuStyle(int32_t nStyle) { m_nMenuStyle = nStyle; }
    int32_t GetMenuStyle() const { return m_nMenuStyle; }
    // Appends the side bar; the next item starts the second column, beside it.
    bool AddSideBar(std::unique_ptr<CMenuXPSideBar> pItem);
    // Appends an entry for the item with the given flags and any pending column break.
    bool AppendODMenu(uint32_t uFlags, std::unique_ptr<CMenuXPItem> pItem);
    bool AppendSeparator();
    // Marks the entry with this command as the default (bold) one; false when there is none.
    bool SetMenuDefaultItem(uint32_t uID);
    uint32_t GetMenuDefaultItem() const { return m_uDefaultItem; }

    // Opens the menu with its top-left corner at the point (moved to stay on the screen) and
    // runs until it closes. Answers the chosen command, 0 when the menu was dismissed or holds
    // no entry. The menu must not be deleted while it runs.
    uint32_t TrackPopupMenu(const QPoint& screenPoint);

    int32_t GetItemCount() const { return static_cast<int32_t>(m_Entries.size()); }
    // Null when the index is out of range.
    const CMenuXPItem* GetItem(int32_t nIndex) const;
    uint32_t GetItemFlags(int32_t nIndex) const;
    // Where the entry lies in the menu widget.
    QRect GetItemRect(int32_t nIndex) const;
    // The entry under the mouse or the keyboard, -1 for none.
    int32_t GetSelectedIndex() const { return m_nSelected; }

    QSize sizeHint() const override;

    // The owner-draw entry points: the size of one entry, and its drawing.
    virtual void MeasureItem(CMenuItemMeasure& measure);
    virtual void DrawItem(const CMenuItemDraw& draw);

protected:
    virtual void DrawBackground(QPainter& painter, const QRect& rect, bool bSelected);
    virtual void DrawSideBar(QPainter& painter, const QRect& rect, const CMyString& strTitle);
    // The caption of a text item in the colours of its state.
    virtual void DrawText(QPainter& painter, const QRect& rect, const CMyString& strText,
                          bool bSelected, bool bDisabled, bool bBold);
    // One pass of a caption in one colour: left-aligned, and the part after a tab right-aligned.
    virtual void DrawMenuText(QPainter& painter, const QRect& rect, const CMyString& strText,
                              const QColor& clrText);

    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

    QFont m_fontMenu;
    uint32_t m_clrMenuBg;
    uint32_t m_clrMenuSelectedBg;
    uint32_t m_clrMenuText;
    uint32_t m_clrMenuSelectedText;
    uint32_t m_clrMenuDisabledText;
    uint32_t m_clrSideBarTop;
    uint32_t m_clrSideBarBottom;
    uint8_t m_bBreak = 0;
    uint8_t m_bBarBreak = 0;
    int32_t m_nMenuStyle = 1;

private:
    // One entry of the menu as the window system would keep it.
    struct CMenuXPEntry
    {
        uint32_t uFlags = 0;
        uint32_t uID = 0;
        std::unique_ptr<CMenuXPItem> pItem;
        QRect rcItem; // client coordinates
    };

    bool AppendEntry(uint32_t uFlags, std::unique_ptr<CMenuXPItem> pItem);
    // Measures every entry and places the columns; done again whenever the entries change.
    void RecalcLayout();
    bool IsSelectable(int32_t nIndex) const;
    int32_t ItemFromPoint(const QPoint& point) const;
    void Select(int32_t nIndex);
    void Choose(int32_t nIndex);

    std::vector<CMenuXPEntry> m_Entries;
    QSize m_sizeClient;
    uint32_t m_uDefaultItem = 0;
    int32_t m_nSelected = -1;
    uint32_t m_uChosen = 0;
    QEventLoop* m_pLoop = nullptr;
};
