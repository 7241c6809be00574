#include "skin/MenuXP.h"

#include "skin/MyOwnButton.h"
#include "skin/MyPicture.h"
#include "skin/SkinInfo.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

namespace
{

// The frame drawn around the menu, outside the area where the entries lie.
constexpr int32_t FRAME_WIDTH = 1;
// Space between two columns. The side bar reaches 3 pixels beyond its own width and so fills
// the space that separates it from the items.
constexpr int32_t COLUMN_GAP = 3;
// The side bar's colour steps from its bottom to its top.
constexpr int32_t SIDE_BAR_STEPS = 256;

// nValue * nNumerator / nDenominator with the product in 64 bits, rounded to the nearest whole
// number (halves away from zero).
int32_t MulDivRound(int32_t nValue, int32_t nNumerator, int32_t nDenominator)
{
    if (nDenominator == 0)
        return 0;
    int64_t nProduct = static_cast<int64_t>(nValue) * nNumerator;
    bool bNegative = (nProduct < 0) != (nDenominator < 0);
    int64_t nAbsProduct = std::llabs(nProduct);
    int64_t nAbsDenominator = std::llabs(static_cast<int64_t>(nDenominator));
    int64_t nResult = (nAbsProduct + nAbsDenominator / 2) / nAbsDenominator;
    return static_cast<int32_t>(bNegative ? -nResult : nResult);
}

int32_t Channel(uint32_t clr, int nShift)
{
    return static_cast<int32_t>((clr >> nShift) & 0xFFu);
}

} // namespace

CMenuXPItem::~CMenuXPItem() = default;

CMenuXPText::CMenuXPText(uint32_t nID, const CMyString& strText, const CMyString& strPicturePath)
{
    m_nID = nID;
    m_strText = strText;
    if (!strPicturePath.IsEmpty())
    {
        m_pPicture = std::make_unique<CMyPicture>(30, 30);
        m_pPicture->Load(strPicturePath);
    }
}

CMenuXPSideBar::CMenuXPSideBar(int32_t nWidth, const CMyString& strTitle, uint32_t nID)
{
    m_bSideBar = 1;
    m_nSize = nWidth;
    m_strText = strTitle;
    m_nID = nID;
}

CMenuXP::CMenuXP(QWidget* pParent) : CMenuXP(*GetSkinInfo(), pParent) {}

CMenuXP::CMenuXP(const CSkinInfo& skin, QWidget* pParent)
    : QWidget(pParent, Qt::Popup | Qt::FramelessWindowHint),
      m_fontMenu(QApplication::font("QMenu")), m_clrMenuBg(skin.m_clrMenuBg),
      m_clrMenuSelectedBg(skin.m_clrMenuSelectedBg), m_clrMenuText(skin.m_clrMenuText),
      m_clrMenuSelectedText(skin.m_clrMenuSelectedText),
      m_clrMenuDisabledText(skin.m_clrMenuDisabledText), m_clrSideBarTop(skin.m_clrSideBarTop),
      m_clrSideBarBottom(skin.m_clrSideBarBottom)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    RecalcLayout();
}

CMenuXP::~CMenuXP() = default;

bool CMenuXP::CreatePopupMenu()
{
    if (m_pLoop != nullptr)
        return false;
    m_Entries.clear();
    m_bBreak = 0;
    m_bBarBreak = 0;
    m_uDefaultItem = 0;
    m_nSelected = -1;
    RecalcLayout();
    return true;
}

bool CMenuXP::AddSideBar(std::unique_ptr<CMenuXPSideBar> pItem)
{
    if (!pItem)
        return false;
    m_bBreak = 1;
    m_bBarBreak = 0;
    return AppendEntry(MENU_SEPARATOR, std::move(pItem));
}

bool CMenuXP::AppendODMenu(uint32_t uFlags, std::unique_ptr<CMenuXPItem> pItem)
{
    if (!pItem)
        return false;
    if (m_bBreak != 0)
        uFlags |= MENU_BREAK;
    if (m_bBarBreak != 0)
        uFlags |= MENU_BAR_BREAK;
    m_bBreak = 0;
    m_bBarBreak = 0;
    return AppendEntry(uFlags, std::move(pItem));
}

bool CMenuXP::AppendSeparator()
{
    m_bBreak = 0;
    m_bBarBreak = 0;
    return AppendEntry(MENU_SEPARATOR, std::make_unique<CMenuXPSeparator>());
}

bool CMenuXP::AppendEntry(uint32_t uFlags, std::unique_ptr<CMenuXPItem> pItem)
{
    if (m_pLoop != nullptr)
        return false;
    CMenuXPEntry entry;
    entry.uFlags = uFlags;
    entry.uID = pItem->m_nID;
    entry.pItem = std::move(pItem);
    m_Entries.push_back(std::move(entry));
    RecalcLayout();
    return true;
}

bool CMenuXP::SetMenuDefaultItem(uint32_t uID)
{
    for (const CMenuXPEntry& entry : m_Entries)
    {
        if (entry.uID == uID && (entry.uFlags & MENU_SEPARATOR) == 0)
        {
            m_uDefaultItem = uID;
            update();
            return true;
        }
    }
    return false;
}

const CMenuXPItem* CMenuXP::GetItem(int32_t nIndex) const
{
    if (nIndex < 0 || nIndex >= GetItemCount())
        return nullptr;
    return m_Entries[static_cast<size_t>(nIndex)].pItem.get();
}

uint32_t CMenuXP::GetItemFlags(int32_t nIndex) const
{
    if (nIndex < 0 || nIndex >= GetItemCount())
        return 0;
    return m_Entries[static_cast<size_t>(nIndex)].uFlags;
}

QRect CMenuXP::GetItemRect(int32_t nIndex) const
{
    if (nIndex < 0 || nIndex >= GetItemCount())
        return QRect();
    return m_Entries[static_cast<size_t>(nIndex)].rcItem.translated(FRAME_WIDTH, FRAME_WIDTH);
}

QSize CMenuXP::sizeHint() const
{
    return m_sizeClient + QSize(2 * FRAME_WIDTH, 2 * FRAME_WIDTH);
}

void CMenuXP::MeasureItem(CMenuItemMeasure& measure)
{
    CMenuXPItem* pItem = measure.pItem;
    if (pItem == nullptr || !pItem->IsValid())
        return;
    if (pItem->m_bSideBar != 0)
    {
        // The side bar stretches over the whole column, whatever height it is given.
        measure.nItemWidth = pItem->m_nSize;
        measure.nItemHeight = 0;
    }
    else if (pItem->m_bSeparator != 0)
    {
        measure.nItemWidth = 0;
        measure.nItemHeight = CHECK_MARK_SIZE / 2;
    }
    else
    {
        // Every item is measured bold, so that the default item fits whichever one it is.
        QFont fontBold(m_fontMenu);
        fontBold.setWeight(QFont::Bold);
        QFontMetrics metrics(fontBold);
        QString strText = ToQString(pItem->m_strText);
        strText.replace(QLatin1Char('\t'), QLatin1Char(' '));
        int32_t nTextWidth = metrics.horizontalAdvance(strText);
        measure.nItemHeight = std::max(metrics.height(), pItem->m_nSize + 4);
        measure.nItemWidth = nTextWidth + 4 + 2 * pItem->m_nSize + 8;
        if (pItem->m_bButtonOnly != 0)
            measure.nItemWidth = measure.nItemHeight;
    }
    // The menu adds the check-mark allowance back when it lays the entries out.
    measure.nItemWidth -= CHECK_MARK_SIZE - 1;
}

void CMenuXP::RecalcLayout()
{
    int32_t nColumnLeft = 0;
    int32_t nColumnWidth = 0;
    int32_t nColumnHeight = 0;
    int32_t nClientHeight = 0;
    size_t uColumnStart = 0;
    auto placeColumn = [&](size_t uEnd)
    {
        for (size_t u = uColumnStart; u < uEnd; ++u)
        {
            QRect& rcItem = m_Entries[u].rcItem;
            rcItem = QRect(nColumnLeft, rcItem.top(), nColumnWidth, rcItem.height());
        }
        nClientHeight = std::max(nClientHeight, nColumnHeight);
    };

    for (size_t u = 0; u < m_Entries.size(); ++u)
    {
        CMenuXPEntry& entry = m_Entries[u];
        if (u > 0 && (entry.uFlags & (MENU_BREAK | MENU_BAR_BREAK)) != 0)
        {
            placeColumn(u);
            nColumnLeft += nColumnWidth + COLUMN_GAP;
            nColumnWidth = 0;
            nColumnHeight = 0;
            uColumnStart = u;
        }
        CMenuItemMeasure measure;
        measure.pItem = entry.pItem.get();
        MeasureItem(measure);
        int32_t nWidth = std::max(0, measure.nItemWidth + CHECK_MARK_SIZE - 1);
        int32_t nHeight = std::max(0, measure.nItemHeight);
        entry.rcItem = QRect(0, nColumnHeight, 0, nHeight);
        nColumnHeight += nHeight;
        nColumnWidth = std::max(nColumnWidth, nWidth);
    }
    placeColumn(m_Entries.size());
    m_sizeClient = QSize(nColumnLeft + nColumnWidth, nClientHeight);
    updateGeometry();
    update();
}

void CMenuXP::DrawItem(const CMenuItemDraw& draw)
{
    CMenuXPItem* pItem = draw.pItem;
    if (draw.pPainter == nullptr || pItem == nullptr || !pItem->IsValid())
        return;
    QPainter& painter = *draw.pPainter;
    const QRect& rc = draw.rcItem;

    if (pItem->m_bSideBar != 0)
    {
        // The bar covers the whole height of the area being drawn, not only its own entry.
        QRect rcClip = painter.hasClipping()
                           ? painter.clipBoundingRect().toAlignedRect()
                           : QRect(0, 0, painter.device()->width(), painter.device()->height());
        DrawSideBar(painter, QRect(rc.left(), rcClip.top(), rc.width() + 3, rcClip.height()),
                    pItem->m_strText);
        return;
    }
    if (pItem->m_bSeparator != 0)
    {
        painter.fillRect(rc, SkinColor(m_clrMenuBg));
        // An etched line: shadow on the middle row, highlight just below it.
        int32_t nMiddle = rc.top() + rc.height() / 2;
        painter.fillRect(QRect(rc.left(), nMiddle, rc.width(), 1), palette().color(QPalette::Dark));
        painter.fillRect(QRect(rc.left(), nMiddle + 1, rc.width(), 1),
                         palette().color(QPalette::Light));
        return;
    }

    bool bSelected = (draw.uItemState & STATE_SELECTED) != 0;
    DrawBackground(painter, rc, bSelected);
    // The picture square is as wide as the item is high.
    QRect rcSquare(rc.left(), rc.top(), rc.height(), rc.height());
    if (pItem->m_pPicture && pItem->m_pPicture->IsValid())
    {
        QRect rcPicture = rcSquare.adjusted(2, 2, -2, -2);
        pItem->m_pPicture->Draw(&painter, &rcPicture, true);
    }
    int32_t nTextLeft = rcSquare.left() + rcSquare.width() + 2;
    int32_t nTextRight = rc.left() + rc.width() - pItem->m_nSize;
    QRect rcText(nTextLeft, rc.top(), std::max(0, nTextRight - nTextLeft), rc.height());
    DrawText(painter, rcText, pItem->m_strText, bSelected, (draw.uItemState & STATE_DISABLED) != 0,
             (draw.uItemState & STATE_DEFAULT) != 0);
}

void CMenuXP::DrawBackground(QPainter& painter, const QRect& rect, bool bSelected)
{
    painter.fillRect(rect, SkinColor(bSelected ? m_clrMenuSelectedBg : m_clrMenuBg));
}

void CMenuXP::DrawSideBar(QPainter& painter, const QRect& rect, const CMyString& strTitle)
{
    if (rect.isEmpty())
        return;
    // Colour table from m_clrSideBarTop (entry 0) to m_clrSideBarBottom (entry 255).
    QRgb aColors[SIDE_BAR_STEPS];
    for (int32_t i = 0; i < SIDE_BAR_STEPS; ++i)
    {
        int32_t nChannels[3];
        for (int nChannel = 0; nChannel < 3; ++nChannel)
        {
            int32_t nTop = Channel(m_clrSideBarTop, 8 * nChannel);
            int32_t nBottom = Channel(m_clrSideBarBottom, 8 * nChannel);
            nChannels[nChannel] = nTop + MulDivRound(nBottom - nTop, i, SIDE_BAR_STEPS - 1);
        }
        aColors[i] = qRgb(nChannels[0], nChannels[1], nChannels[2]);
    }
    // Rows counted from the bottom edge take the table upward: the first entry lies at the
    // bottom, the last at the top.
    int32_t nHeight = rect.height();
    QImage bar(rect.width(), nHeight, QImage::Format_RGB32);
    for (int32_t nRow = 0; nRow < nHeight; ++nRow)
    {
        int32_t nFromBottom = nHeight - 1 - nRow;
        int32_t nEntry =
            std::min(SIDE_BAR_STEPS - 1, MulDivRound(SIDE_BAR_STEPS, nFromBottom, nHeight));
        QRgb* pLine = reinterpret_cast<QRgb*>(bar.scanLine(nRow));
        std::fill(pLine, pLine + rect.width(), aColors[nEntry]);
    }
    painter.drawImage(rect.topLeft(), bar);

    if (strTitle.IsEmpty())
        return;
    // The title reads upward, from 4 pixels above the bottom, its top 2 pixels from the left.
    QFont fontTitle(QStringLiteral("Arial"));
    fontTitle.setPixelSize(16);
    fontTitle.setWeight(QFont::Bold);
    painter.save();
    painter.setFont(fontTitle);
    painter.setPen(Qt::white);
    painter.translate(rect.left() + 2, rect.top() + nHeight - 4);
    painter.rotate(-90.0);
    painter.drawText(QPointF(0.0, QFontMetricsF(fontTitle).ascent()), ToQString(strTitle));
    painter.restore();
}

void CMenuXP::DrawText(QPainter& painter, const QRect& rect, const CMyString& strText,
                       bool bSelected, bool bDisabled, bool bBold)
{
    QFont font(m_fontMenu);
    if (bBold)
        font.setWeight(QFont::Bold);
    painter.save();
    painter.setFont(font);
    if (bDisabled)
    {
        // An embossed look: a light copy one pixel down and right under the grey text.
        DrawMenuText(painter, rect.translated(1, 1), strText, SkinColor(m_clrMenuSelectedText));
        DrawMenuText(painter, rect, strText, SkinColor(m_clrMenuDisabledText));
    }
    else
    {
        DrawMenuText(painter, rect, strText,
                     SkinColor(bSelected ? m_clrMenuSelectedText : m_clrMenuText));
    }
    painter.restore();
}

void CMenuXP::DrawMenuText(QPainter& painter, const QRect& rect, const CMyString& strText,
                           const QColor& clrText)
{
    QString strAll = ToQString(strText);
    qsizetype nTab = strAll.indexOf(QLatin1Char('\t'));
    painter.setPen(clrText);
    const int nFlags = Qt::AlignVCenter | Qt::TextSingleLine;
    painter.drawText(rect, nFlags | Qt::AlignLeft, nTab < 0 ? strAll : strAll.left(nTab));
    if (nTab >= 0)
        painter.drawText(rect, nFlags | Qt::AlignRight, strAll.mid(nTab + 1));
}

void CMenuXP::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), SkinColor(m_clrSideBarBottom));
    painter.translate(FRAME_WIDTH, FRAME_WIDTH);
    QRect rcClient(QPoint(0, 0), m_sizeClient);
    painter.setClipRect(rcClient);
    painter.fillRect(rcClient, SkinColor(m_clrMenuBg));

    for (size_t u = 0; u < m_Entries.size(); ++u)
    {
        const CMenuXPEntry& entry = m_Entries[u];
        if (!entry.pItem)
            continue;
        CMenuItemDraw draw;
        draw.pPainter = &painter;
        draw.rcItem = entry.rcItem;
        draw.pItem = entry.pItem.get();
        if (static_cast<int32_t>(u) == m_nSelected)
            draw.uItemState |= STATE_SELECTED;
        if ((entry.uFlags & MENU_DISABLED) != 0)
            draw.uItemState |= STATE_DISABLED;
        if ((entry.uFlags & MENU_CHECKED) != 0)
            draw.uItemState |= STATE_CHECKED;
        if (m_uDefaultItem != 0 && entry.uID == m_uDefaultItem &&
            (entry.uFlags & MENU_SEPARATOR) == 0)
            draw.uItemState |= STATE_DEFAULT;
        DrawItem(draw);

        // A column that starts with a bar gets an etched line in the gap before it.
        if (u > 0 && (entry.uFlags & MENU_BAR_BREAK) != 0)
        {
            int32_t nLine = entry.rcItem.left() - COLUMN_GAP / 2 - 1;
            painter.fillRect(QRect(nLine, 0, 1, m_sizeClient.height()),
                             palette().color(QPalette::Dark));
            painter.fillRect(QRect(nLine + 1, 0, 1, m_sizeClient.height()),
                             palette().color(QPalette::Light));
        }
    }
}

bool CMenuXP::IsSelectable(int32_t nIndex) const
{
    const CMenuXPItem* pItem = GetItem(nIndex);
    if (pItem == nullptr || !pItem->IsValid() || pItem->m_bSeparator != 0 || pItem->m_bSideBar != 0)
        return false;
    uint32_t uFlags = m_Entries[static_cast<size_t>(nIndex)].uFlags;
    return (uFlags & (MENU_SEPARATOR | MENU_DISABLED)) == 0;
}

int32_t CMenuXP::ItemFromPoint(const QPoint& point) const
{
    for (int32_t i = 0; i < GetItemCount(); ++i)
    {
        if (GetItemRect(i).contains(point))
            return IsSelectable(i) ? i : -1;
    }
    return -1;
}

void CMenuXP::Select(int32_t nIndex)
{
    if (nIndex == m_nSelected)
        return;
    m_nSelected = nIndex;
    update();
}

void CMenuXP::Choose(int32_t nIndex)
{
    if (!IsSelectable(nIndex))
        return;
    m_uChosen = m_Entries[static_cast<size_t>(nIndex)].uID;
    close();
}

uint32_t CMenuXP::TrackPopupMenu(const QPoint& screenPoint)
{
    if (m_pLoop != nullptr || m_Entries.empty())
        return 0;
    m_uChosen = 0;
    m_nSelected = -1;
    QSize size = sizeHint();
    resize(size);

    // Open below and right of the point; where the screen ends, open to the other side of the
    // point, and never beyond the screen's edges.
    QScreen* pScreen = QGuiApplication::screenAt(screenPoint);
    if (pScreen == nullptr)
        pScreen = QGuiApplication::primaryScreen();
    int32_t x = screenPoint.x();
    int32_t y = screenPoint.y();
    if (pScreen != nullptr)
    {
        QRect rcScreen = pScreen->availableGeometry();
        int32_t nRight = rcScreen.left() + rcScreen.width();
        int32_t nBottom = rcScreen.top() + rcScreen.height();
        if (x + size.width() > nRight)
            x = screenPoint.x() - size.width();
        if (y + size.height() > nBottom)
            y = screenPoint.y() - size.height();
        x = std::max(rcScreen.left(), std::min(x, nRight - size.width()));
        y = std::max(rcScreen.top(), std::min(y, nBottom - size.height()));
    }
    move(x, y);

    QEventLoop loop;
    m_pLoop = &loop;
    show();
    if (isVisible())
        loop.exec();
    m_pLoop = nullptr;
    hide();
    return m_uChosen;
}

void CMenuXP::mouseMoveEvent(QMouseEvent* pEvent)
{
    Select(ItemFromPoint(pEvent->position().toPoint()));
}

void CMenuXP::mousePressEvent(QMouseEvent* pEvent)
{
    // A press outside the menu dismisses it; presses inside wait for the release.
    if (!rect().contains(pEvent->position().toPoint()))
        close();
}

void CMenuXP::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        Choose(ItemFromPoint(pEvent->position().toPoint()));
}

void CMenuXP::leaveEvent(QEvent* /*pEvent*/)
{
    Select(-1);
}

void CMenuXP::keyPressEvent(QKeyEvent* pEvent)
{
    switch (pEvent->key())
    {
    case Qt::Key_Up:
    case Qt::Key_Down:
    {
        // Walk to the next item that can be chosen, wrapping round at the ends.
        int32_t nCount = GetItemCount();
        int32_t nStep = pEvent->key() == Qt::Key_Down ? 1 : nCount - 1;
        int32_t nIndex = m_nSelected;
        if (nIndex < 0)
            nIndex = pEvent->key() == Qt::Key_Down ? nCount - 1 : 0;
        for (int32_t i = 0; i < nCount; ++i)
        {
            nIndex = (nIndex + nStep) % nCount;
            if (IsSelectable(nIndex))
            {
                Select(nIndex);
                break;
            }
        }
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Choose(m_nSelected);
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        break;
    }
    pEvent->accept();
}

void CMenuXP::hideEvent(QHideEvent* pEvent)
{
    QWidget::hideEvent(pEvent);
    if (m_pLoop != nullptr)
        m_pLoop->quit();
}
