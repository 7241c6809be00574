#pragma once

#include "directory/StationDirectory.h"
#include "shell/TelvaneDoc.h"
#include "skin/MyPicture.h"
#include "text/MyString.h"

#include <QImage>
#include <QPointer>
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QSplitter;

// The left pane of the main window: the station directory as a tree (categories at the top,
// menus as folders, stations as leaves). It draws every item itself in the skin's tree colours
// with the item's small icon read from its file, selects and toggles items by a single click,
// asks the player view to play on a double click or Enter, and searches and steps through the
// directory. It tells the main frame about its state by posting MESSAGE_FOR_MAIN_FRAME with a
// code (CODE_TREE_LOADED, CODE_SEARCH_WEB, CODE_SELECTION_CHANGED) and 0.
class CFolderTreeView : public QTreeWidget, public CStationTreeSink, public CDocumentView
{
    Q_OBJECT

public:
    // The tree pane is never narrower than this.
    static constexpr int MIN_WIDTH = 180;
    // The box in which an item's icon is drawn, left of its text, and the height of a row.
    static constexpr int ICON_BOX = 26;
    static constexpr int ROW_HEIGHT = 28;

    explicit CFolderTreeView(QWidget* pParent = nullptr);
    ~CFolderTreeView() override;
    CFolderTreeView(const CFolderTreeView&) = delete;
    CFolderTreeView& operator=(const CFolderTreeView&) = delete;

    // The window to which the tree posts its codes; set before the initial update.
    void SetMainFrame(QObject* pMainFrame);
    // The splitter whose first column holds the tree.
    void SetSplitter(QSplitter* pSplitter);
    // The document through which the tree exchanges hints with the other views; the tree adds
    // itself to it (and removes itself from a previous one and when it is destroyed).
    void SetDocument(CTelvaneDoc* pDocument);

    // Once: sets up the font and colours, chooses the server, loads the directory from the res
    // folder (Settings().GetResFolder()) and posts CODE_TREE_LOADED. Later calls do nothing.
    void OnInitialUpdate();

    // The record of the selected item; null when nothing is selected or the item has no record.
    CStationItem* GetSelectedItem() const;
    // The record of an item; null for a null item or one without a record.
    CStationItem* GetItemRecord(const QTreeWidgetItem* pItem) const;
    CStationItem* GetItemRecord(HTREEITEM hItem) const;
    // Select the previous or next station in directory order, skipping folders, without
    // wrap-around. False (and the selection stays) when there is none.
    bool PreviousStation();
    bool NextStation();
    // Lower-cases the text in place and selects the next record after the selected one whose
    // search name contains it, wrapping around; when none does, offers a web search and posts
    // CODE_SEARCH_WEB if the user accepts.
    void FindNext(CMyString& strText);
    // Takes the keyboard focus and handles the key as its own key press. The key is a
    // virtual-key code (Enter 13, Left 37, Up 38, Down 40, letters by their capital...) or a
    // Qt::Key value of a special key (0x01000000 and above).
    void HandleKey(uint32_t uKey);
    // The Qt key of a key code as HandleKey takes it; 0 for an unknown virtual-key code.
    static int QtKeyFromKeyCode(uint32_t uKey);

    // Selects the item of a handle (and opens its parents); false for TREE_ROOT.
    bool SelectItem(HTREEITEM hItem);
    // The tree item behind a handle this tree gave; null for TREE_ROOT.
    static QTreeWidgetItem* ItemFromHandle(HTREEITEM hItem);
    static HTREEITEM HandleOf(const QTreeWidgetItem* pItem);

    CStationDirectory& GetDirectory() { return m_directory; }
    const CStationDirectory& GetDirectory() const { return m_directory; }

    // CDocumentView: HINT_KEY (pHint a CKeyHint, or any object with the property "key", which
    // the tree deletes) hands a key to the tree; every other hint is ignored. The tree sends
    // HINT_PLAY on a double click and on Enter.
    void OnUpdate(CDocumentView* pSender, intptr_t nHint, QObject* pHint) override;

    // CStationTreeSink: the directory loads straight into the tree.
    HTREEITEM InsertItem(HTREEITEM hParent, const CMyString& strText, uint32_t uItemData) override;
    void SetItemImage(HTREEITEM hItem, int32_t nImage, int32_t nSelectedImage) override;
    void Expand(HTREEITEM hItem) override;
    void ScrollToTop() override;
    int32_t AddIcon(const CMyString& strIconFile) override;

    // Where the text of an item is drawn, and the box of its icon, in viewport coordinates.
    QRect TextRect(const QTreeWidgetItem* pItem) const;
    QRect IconBox(const QTreeWidgetItem* pItem) const;

protected:
    bool event(QEvent* pEvent) override;
    void drawRow(QPainter* pPainter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void drawBranches(QPainter* pPainter, const QRect& rect,
                      const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void PostToMainFrame(uintptr_t wParam) const;
    void SendHint(intptr_t nHint);
    // The visible item whose full row holds the point, walking from the first visible item.
    QTreeWidgetItem* HitTest(const QPoint& point) const;
    QTreeWidgetItem* SelectedTreeItem() const;
    // Index of the selected record, or -1 when nothing with a record is selected.
    int64_t SelectedIndex() const;
    bool SelectRecord(uint32_t uIndex);
    void KeepMinimumWidth();
    // Draws the vertical scroll bar in the skin's tree colours.
    void ApplyScrollBarColours();
    // The icon of a file, decoded at its first paint and kept; empty when the file is missing.
    CMyPicture& CachedIcon(const CMyString& strPath) const;
    // An icon download has finished: icons that could not be drawn are tried again, and the
    // tree repaints so that the new one shows.
    void OnIconDownloaded();

    CStationDirectory m_directory{*this};
    uint32_t m_clrTreeBg;
    uint32_t m_clrTreeText;
    uint32_t m_clrTreeSelectedText;
    uint32_t m_clrTreeSelectedBg;
    QPointer<QObject> m_pMainFrame;
    QPointer<QSplitter> m_pSplitter;
    QPointer<CTelvaneDoc> m_pDocument;
    uint32_t m_uFrameMessage;
    uint32_t m_uIconMessage;
    // The image list: never drawn, kept for the indexes the directory records.
    std::vector<QImage> m_arrImages;
    // The icons drawn so far, by file path: a paint decodes no file twice.
    mutable std::unordered_map<std::string, CMyPicture> m_icons;
    bool m_bInitialised = false;
    bool m_bKeepingWidth = false;
};
