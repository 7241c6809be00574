#include "directory/FolderTreeView.h"

#include "config/Settings.h"
#include "platform/MessageVocabulary.h"
#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/MyPicture.h"
#include "skin/SkinInfo.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>

namespace
{

// Item data roles: the record index, and the two image-list indexes (kept, never drawn; absent
// for image 0).
constexpr int ROLE_RECORD = Qt::UserRole;
constexpr int ROLE_IMAGE = Qt::UserRole + 1;
constexpr int ROLE_SELECTED_IMAGE = Qt::UserRole + 2;

// The size of the image list's pictures.
constexpr int IMAGE_SIZE = 25;
// Indentation of each tree level.
constexpr int LEVEL_INDENT = 19;
// The text is drawn this far above the bottom of its rectangle and this far left of its left.
constexpr int TEXT_RAISE = 6;
constexpr int TEXT_SHIFT = 1;

// Every row has the same height, whatever the font.
class CRowHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
                     CFolderTreeView::ROW_HEIGHT);
    }
};

} // namespace

CFolderTreeView::CFolderTreeView(QWidget* pParent)
    : QTreeWidget(pParent), m_clrTreeBg(GetSkinInfo()->m_clrTreeBg),
      m_clrTreeText(GetSkinInfo()->m_clrTreeText),
      m_clrTreeSelectedText(GetSkinInfo()->m_clrTreeSelectedText),
      m_clrTreeSelectedBg(GetSkinInfo()->m_clrTreeSelectedBg),
      m_uFrameMessage(MessageForMainFrame()),
      m_uIconMessage(RegisterWindowMessage(MESSAGE_FILE_DOWNLOAD_COMPLETE))
{
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    // No buttons and no lines: items open and close by a click on their row.
    setRootIsDecorated(false);
    setIndentation(LEVEL_INDENT);
    setUniformRowHeights(true);
    setItemDelegate(new CRowHeightDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setExpandsOnDoubleClick(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(false);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, SkinColor(m_clrTreeBg));
    palette.setColor(QPalette::Window, SkinColor(m_clrTreeBg));
    palette.setColor(QPalette::Text, SkinColor(m_clrTreeText));
    setPalette(palette);

    ApplyScrollBarColours();

    m_directory.SetIconReceiver(this);
    connect(this, &QTreeWidget::itemSelectionChanged, this,
            [this] { PostToMainFrame(CODE_SELECTION_CHANGED); });
}

CFolderTreeView::~CFolderTreeView()
{
    if (m_pDocument != nullptr)
        m_pDocument->RemoveView(this);
    // The records go with the directory; the items must not report their removal.
    blockSignals(true);
}

void CFolderTreeView::ApplyScrollBarColours()
{
    // The desktop's scroll bar is light and stands out on a dark skin: the track takes the
    // tree's background, the handle the selection bar's colour (lighter while pointed at or
    // dragged), and the arrow buttons go.
    const QColor clrTrack = SkinColor(m_clrTreeBg);
    const QColor clrHandle = SkinColor(m_clrTreeSelectedBg);
    const QColor clrActive = clrHandle.lighter(130);
    verticalScrollBar()->setStyleSheet(
        QStringLiteral(
            "QScrollBar:vertical { background: %1; width: 12px; margin: 0; border: none; }"
            "QScrollBar::handle:vertical { background: %2; min-height: 24px;"
            " border-radius: 4px; margin: 1px 2px; }"
            "QScrollBar::handle:vertical:hover, QScrollBar::handle:vertical:pressed"
            " { background: %3; }"
            "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
            " { height: 0; border: none; background: none; }"
            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
            " { background: none; }")
            .arg(clrTrack.name(), clrHandle.name(), clrActive.name()));
}

void CFolderTreeView::SetMainFrame(QObject* pMainFrame)
{
    m_pMainFrame = pMainFrame;
}

void CFolderTreeView::SetSplitter(QSplitter* pSplitter)
{
    // The rule applies from the next resize on: before the splitter has been laid out the
    // tree's width means nothing yet.
    m_pSplitter = pSplitter;
}

void CFolderTreeView::SetDocument(CTelvaneDoc* pDocument)
{
    if (m_pDocument == pDocument)
        return;
    if (m_pDocument != nullptr)
        m_pDocument->RemoveView(this);
    m_pDocument = pDocument;
    if (m_pDocument != nullptr)
        m_pDocument->AddView(this);
}

void CFolderTreeView::OnInitialUpdate()
{
    if (m_bInitialised)
        return;
    m_bInitialised = true;

    m_arrImages.clear();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    setFont(font);
    setIconSize(QSize(IMAGE_SIZE, IMAGE_SIZE));

    m_directory.FindServer();
    m_directory.LoadMoviesSettings(Settings().GetResFolder());

    PostToMainFrame(CODE_TREE_LOADED);
}

QTreeWidgetItem* CFolderTreeView::ItemFromHandle(HTREEITEM hItem)
{
    return reinterpret_cast<QTreeWidgetItem*>(hItem);
}

HTREEITEM CFolderTreeView::HandleOf(const QTreeWidgetItem* pItem)
{
    return reinterpret_cast<HTREEITEM>(pItem);
}

CStationItem* CFolderTreeView::GetItemRecord(const QTreeWidgetItem* pItem) const
{
    if (pItem == nullptr)
        return nullptr;
    bool bOk = false;
    const uint32_t uIndex = pItem->data(0, ROLE_RECORD).toUInt(&bOk);
    return bOk ? m_directory.GetItem(uIndex) : nullptr;
}

CStationItem* CFolderTreeView::GetItemRecord(HTREEITEM hItem) const
{
    return GetItemRecord(ItemFromHandle(hItem));
}

QTreeWidgetItem* CFolderTreeView::SelectedTreeItem() const
{
    const QList<QTreeWidgetItem*> arrSelected = selectedItems();
    return arrSelected.isEmpty() ? nullptr : arrSelected.front();
}

CStationItem* CFolderTreeView::GetSelectedItem() const
{
    return GetItemRecord(SelectedTreeItem());
}

int64_t CFolderTreeView::SelectedIndex() const
{
    const QTreeWidgetItem* pItem = SelectedTreeItem();
    if (pItem == nullptr)
        return -1;
    bool bOk = false;
    const uint32_t uIndex = pItem->data(0, ROLE_RECORD).toUInt(&bOk);
    return bOk ? static_cast<int64_t>(uIndex) : -1;
}

bool CFolderTreeView::SelectItem(HTREEITEM hItem)
{
    QTreeWidgetItem* pItem = ItemFromHandle(hItem);
    if (pItem == nullptr)
        return false;
    // Open the collapsed parents so that the item can be seen.
    for (QTreeWidgetItem* pParent = pItem->parent(); pParent != nullptr;
         pParent = pParent->parent())
        pParent->setExpanded(true);
    setCurrentItem(pItem);
    scrollToItem(pItem);
    return true;
}

bool CFolderTreeView::SelectRecord(uint32_t uIndex)
{
    const CStationItem* pRecord = m_directory.GetItem(uIndex);
    return pRecord != nullptr && SelectItem(pRecord->m_hItem);
}

bool CFolderTreeView::PreviousStation()
{
    const uint32_t uCount = m_directory.GetCount();
    if (uCount == 0)
        return false;
    int64_t nIndex = SelectedIndex();
    if (nIndex < 0 || nIndex >= static_cast<int64_t>(uCount))
        nIndex = static_cast<int64_t>(uCount); // nothing selected: the last record counts too
    for (int64_t nStep = nIndex - 1; nStep >= 0; --nStep)
    {
        const CStationItem* pRecord = m_directory.GetItem(static_cast<uint32_t>(nStep));
        if (pRecord != nullptr && pRecord->IsStation())
            return SelectItem(pRecord->m_hItem);
    }
    return false;
}

bool CFolderTreeView::NextStation()
{
    const uint32_t uCount = m_directory.GetCount();
    int64_t nIndex = SelectedIndex();
    if (nIndex < 0)
        nIndex = 0;
    for (int64_t nStep = nIndex + 1; nStep < static_cast<int64_t>(uCount); ++nStep)
    {
        const CStationItem* pRecord = m_directory.GetItem(static_cast<uint32_t>(nStep));
        if (pRecord != nullptr && pRecord->IsStation())
            return SelectItem(pRecord->m_hItem);
    }
    return false;
}

void CFolderTreeView::FindNext(CMyString& strText)
{
    strText.MakeLower();
    int64_t nStart = SelectedIndex();
    if (nStart < 0 || nStart >= static_cast<int64_t>(m_directory.GetCount()))
        nStart = 0;
    // Every record is visited once, starting after the selected one; the selected one comes last.
    const uint32_t uFound = m_directory.FindRecord(strText, static_cast<uint32_t>(nStart));
    if (uFound != MY_NOT_FOUND)
    {
        SelectRecord(uFound);
        return;
    }

    CMyMessageBox box(CMyString("No results found\nWould you like to try the web?"),
                      CMyMessageBox::TYPE_OK);
    if (box.exec() == CMyMessageBox::RESULT_OK)
        PostToMainFrame(CODE_SEARCH_WEB);
}

int CFolderTreeView::QtKeyFromKeyCode(uint32_t uKey)
{
    // Keys come as virtual-key codes only: a character code such as "%" would read as an arrow.
    if ((uKey >= '0' && uKey <= '9') || (uKey >= 'A' && uKey <= 'Z'))
        return static_cast<int>(uKey);
    switch (uKey)
    {
    case 8:
        return Qt::Key_Backspace;
    case 9:
        return Qt::Key_Tab;
    case 13:
        return Qt::Key_Return;
    case 27:
        return Qt::Key_Escape;
    case 32:
        return Qt::Key_Space;
    case 33:
        return Qt::Key_PageUp;
    case 34:
        return Qt::Key_PageDown;
    case 35:
        return Qt::Key_End;
    case 36:
        return Qt::Key_Home;
    case 37:
        return Qt::Key_Left;
    case 38:
        return Qt::Key_Up;
    case 39:
        return Qt::Key_Right;
    case 40:
        return Qt::Key_Down;
    case 46:
        return Qt::Key_Delete;
    case 106:
        return Qt::Key_Asterisk;
    case 107:
        return Qt::Key_Plus;
    case 109:
        return Qt::Key_Minus;
    default:
        return 0;
    }
}

void CFolderTreeView::HandleKey(uint32_t uKey)
{
    setFocus(Qt::OtherFocusReason);
    const int nKey = QtKeyFromKeyCode(uKey);
    if (nKey == 0)
        return;
    const QString strText = nKey < 0x01000000 ? QString(QChar(nKey)) : QString();
    QKeyEvent keyEvent(QEvent::KeyPress, nKey, Qt::NoModifier, strText);
    keyPressEvent(&keyEvent);
}

void CFolderTreeView::OnUpdate(CDocumentView* /*pSender*/, intptr_t nHint, QObject* pHint)
{
    if (nHint != HINT_KEY || pHint == nullptr)
        return;
    bool bOk = false;
    uint32_t uKey = 0;
    if (const auto* pKeyHint = dynamic_cast<const CKeyHint*>(pHint))
    {
        uKey = pKeyHint->GetKey();
        bOk = true;
    }
    else
    {
        uKey = pHint->property(CKeyHint::KEY_PROPERTY).toUInt(&bOk);
    }
    // The carrier belongs to the tree: it goes when control is back in the event loop. A sender
    // that kept it only for the call destroys it first, which also cancels this deletion.
    pHint->deleteLater();
    if (bOk)
        HandleKey(uKey);
}

HTREEITEM CFolderTreeView::InsertItem(HTREEITEM hParent, const CMyString& strText,
                                      uint32_t uItemData)
{
    QTreeWidgetItem* pParent = ItemFromHandle(hParent);
    auto* pItem = new QTreeWidgetItem(QStringList(ToQString(strText)));
    // Image 0 is what an item without image data has: a large directory keeps only the record
    // index on most of its items.
    pItem->setData(0, ROLE_RECORD, uItemData);
    if (pParent != nullptr)
        pParent->addChild(pItem);
    else
        addTopLevelItem(pItem);
    return HandleOf(pItem);
}

void CFolderTreeView::SetItemImage(HTREEITEM hItem, int32_t nImage, int32_t nSelectedImage)
{
    QTreeWidgetItem* pItem = ItemFromHandle(hItem);
    if (pItem == nullptr)
        return;
    pItem->setData(0, ROLE_IMAGE, nImage);
    pItem->setData(0, ROLE_SELECTED_IMAGE, nSelectedImage);
}

void CFolderTreeView::Expand(HTREEITEM hItem)
{
    if (QTreeWidgetItem* pItem = ItemFromHandle(hItem))
        pItem->setExpanded(true);
}

void CFolderTreeView::ScrollToTop()
{
    scrollToTop();
}

int32_t CFolderTreeView::AddIcon(const CMyString& strIconFile)
{
    if (strIconFile.IsEmpty())
        return -1;
    QImage image(ToQString(strIconFile));
    if (image.isNull())
        return -1;
    m_arrImages.push_back(
        image.scaled(IMAGE_SIZE, IMAGE_SIZE, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return static_cast<int32_t>(m_arrImages.size() - 1);
}

QRect CFolderTreeView::TextRect(const QTreeWidgetItem* pItem) const
{
    const QRect rcItem = visualItemRect(pItem);
    if (rcItem.isEmpty())
        return QRect();
    // Room for the image-list picture and a small gap sits between the indentation and the text.
    const int nLeft = rcItem.left() + ICON_BOX + 2;
    return QRect(QPoint(nLeft, rcItem.top()), QPoint(viewport()->width() - 1, rcItem.bottom()));
}

QRect CFolderTreeView::IconBox(const QTreeWidgetItem* pItem) const
{
    const QRect rcText = TextRect(pItem);
    if (rcText.isNull())
        return QRect();
    const int nTop = rcText.top() + (rcText.height() - ICON_BOX) / 2;
    return QRect(rcText.left() - ICON_BOX, nTop, ICON_BOX, ICON_BOX);
}

void CFolderTreeView::drawRow(QPainter* pPainter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const QTreeWidgetItem* pItem = itemFromIndex(index);
    if (pItem == nullptr)
        return;
    // The row's own geometry as laid out now; the text rectangle starts after the indentation.
    QRect rcText = TextRect(pItem);
    if (rcText.isNull())
        rcText = option.rect;

    pPainter->save();
    const bool bSelected = pItem->isSelected();
    if (bSelected)
    {
        const QRect rcBar(QPoint(0, rcText.top()),
                          QPoint(viewport()->width() - 1, rcText.bottom()));
        pPainter->fillRect(rcBar, SkinColor(m_clrTreeSelectedBg));
    }

    // The picture centres itself in the box on each axis where it is smaller, and is shrunk to
    // fit where it is larger. A missing icon leaves the box empty.
    if (const CStationItem* pRecord = GetItemRecord(pItem);
        pRecord != nullptr && !pRecord->m_strIconPath.IsEmpty())
    {
        const QRect rcBox = IconBox(pItem);
        CachedIcon(pRecord->m_strIconPath).Draw(pPainter, &rcBox, false);
    }

    pPainter->setFont(font());
    pPainter->setPen(SkinColor(bSelected ? m_clrTreeSelectedText : m_clrTreeText));
    const QRect rcLabel = rcText.translated(-TEXT_SHIFT, -TEXT_RAISE);
    const QString strLabel =
        pPainter->fontMetrics().elidedText(pItem->text(0), Qt::ElideRight, rcLabel.width());
    pPainter->drawText(rcLabel, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, strLabel);
    pPainter->restore();
}

void CFolderTreeView::drawBranches(QPainter* /*pPainter*/, const QRect& /*rect*/,
                                   const QModelIndex& /*index*/) const
{
    // No buttons and no lines.
}

QTreeWidgetItem* CFolderTreeView::HitTest(const QPoint& point) const
{
    if (point.x() < 0 || point.x() >= viewport()->width())
        return nullptr;
    for (QTreeWidgetItem* pItem = itemAt(QPoint(0, 0)); pItem != nullptr; pItem = itemBelow(pItem))
    {
        const QRect rcItem = visualItemRect(pItem);
        if (rcItem.top() > point.y())
            break;
        if (point.y() >= rcItem.top() && point.y() <= rcItem.bottom())
            return pItem;
    }
    return nullptr;
}

void CFolderTreeView::mousePressEvent(QMouseEvent* pEvent)
{
    // A click selects the item on that row and opens or closes it; the control's own click
    // handling (rubber bands, drags, branch toggles) does not run.
    pEvent->accept();
    if (pEvent->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    QTreeWidgetItem* pItem = HitTest(pEvent->position().toPoint());
    if (pItem == nullptr)
        return;
    setCurrentItem(pItem);
    pItem->setExpanded(!pItem->isExpanded());
}

void CFolderTreeView::mouseReleaseEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
}

void CFolderTreeView::mouseMoveEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
}

void CFolderTreeView::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
    if (pEvent->button() == Qt::LeftButton)
        SendHint(HINT_PLAY);
}

void CFolderTreeView::keyPressEvent(QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter)
    {
        // Handled here alone: passed on, Enter would also activate the item.
        SendHint(HINT_PLAY);
        pEvent->accept();
        return;
    }
    if (nKey == Qt::Key_Left)
    {
        if (QTreeWidgetItem* pItem = SelectedTreeItem())
            pItem->setExpanded(false);
    }
    QTreeWidget::keyPressEvent(pEvent);
}

void CFolderTreeView::resizeEvent(QResizeEvent* pEvent)
{
    QTreeWidget::resizeEvent(pEvent);
    // The splitter is in the middle of placing its panes: correct it once it has finished,
    // or it would overwrite the correction with the sizes it had already worked out.
    if (m_pSplitter != nullptr && width() < MIN_WIDTH)
        QMetaObject::invokeMethod(
            this, [this] { KeepMinimumWidth(); }, Qt::QueuedConnection);
}

void CFolderTreeView::KeepMinimumWidth()
{
    if (m_pSplitter == nullptr || m_bKeepingWidth || width() >= MIN_WIDTH)
        return;
    if (m_pSplitter->count() < 2 || m_pSplitter->widget(0) != this)
        return;
    m_bKeepingWidth = true;
    const int nRest = std::max(0, m_pSplitter->width() - MIN_WIDTH - m_pSplitter->handleWidth());
    m_pSplitter->setSizes({MIN_WIDTH, nRest});
    m_bKeepingWidth = false;
}

CMyPicture& CFolderTreeView::CachedIcon(const CMyString& strPath) const
{
    auto [itIcon, bNew] = m_icons.try_emplace(strPath.GetBuffer(), ICON_BOX, ICON_BOX);
    // A picture without a path draws nothing; one whose file cannot be decoded neither.
    if (bNew && QFileInfo::exists(ToQString(strPath)))
        itIcon->second.Load(strPath);
    return itIcon->second;
}

void CFolderTreeView::OnIconDownloaded()
{
    for (auto itIcon = m_icons.begin(); itIcon != m_icons.end();)
    {
        int32_t nWidth = 0;
        int32_t nHeight = 0;
        if (itIcon->second.GetSize(nWidth, nHeight))
            ++itIcon;
        else
            itIcon = m_icons.erase(itIcon);
    }
    viewport()->update();
}

bool CFolderTreeView::event(QEvent* pEvent)
{
    const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
    if (pMessage == nullptr)
        return QTreeWidget::event(pEvent);
    // A finished icon download answers 1 (written) or 0; only a new file changes the picture.
    if (pMessage->GetMessage() == m_uIconMessage && pMessage->GetWParam() == 1)
        OnIconDownloaded();
    return true;
}

void CFolderTreeView::PostToMainFrame(uintptr_t wParam) const
{
    if (m_pMainFrame != nullptr)
        PostWindowMessage(m_pMainFrame, m_uFrameMessage, wParam, 0);
}

void CFolderTreeView::SendHint(intptr_t nHint)
{
    if (m_pDocument != nullptr)
        m_pDocument->UpdateAllViews(this, nHint, nullptr);
}
