#include "skin/MyOwnButton.h"

#include "platform/MessageVocabulary.h"
#include "skin/MyPicture.h"
#include "skin/SkinInfo.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

QColor SkinColor(uint32_t clr)
{
    return QColor(static_cast<int>(clr & 0xFFu), static_cast<int>((clr >> 8) & 0xFFu),
                  static_cast<int>((clr >> 16) & 0xFFu));
}

void FillGradient(QPainter& painter, const QRect& rect, uint32_t clrTop, uint32_t clrBottom)
{
    if (rect.isEmpty())
        return;
    QLinearGradient gradient(0, rect.top(), 0, rect.bottom());
    gradient.setColorAt(0.0, SkinColor(clrTop));
    gradient.setColorAt(1.0, SkinColor(clrBottom));
    painter.fillRect(rect, gradient);
}

namespace
{

// A one-pixel frame, light at the top and left and dark at the bottom and right when raised,
// the other way round when sunken.
void Draw3dRect(QPainter& painter, const QRect& rect, const QPalette& palette, bool bSunken)
{
    QColor clrLight = palette.color(QPalette::Light);
    QColor clrDark = palette.color(QPalette::Dark);
    const QColor& clrTopLeft = bSunken ? clrDark : clrLight;
    const QColor& clrBottomRight = bSunken ? clrLight : clrDark;
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width() - 1, 1), clrTopLeft);
    painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height() - 1), clrTopLeft);
    painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), clrBottomRight);
    painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), clrBottomRight);
}

} // namespace

CMyOwnButton::CMyOwnButton(QWidget* pParent) : CMyOwnButton(QString(), pParent) {}

CMyOwnButton::CMyOwnButton(const QString& strCaption, QWidget* pParent)
    : QPushButton(strCaption, pParent), m_clrText(0), m_clrText2(SkinRgb(0, 0, 0)),
      m_clrNormalTop(SkinRgb(255, 255, 255)), m_clrHoverTop(SkinRgb(255, 255, 255)),
      m_clrNormalBottom(SkinRgb(255, 160, 0)), m_clrHoverBottom(SkinRgb(255, 160, 0))
{
    QColor clrButtonText = palette().color(QPalette::ButtonText);
    m_clrText = SkinRgb(static_cast<uint32_t>(clrButtonText.red()),
                        static_cast<uint32_t>(clrButtonText.green()),
                        static_cast<uint32_t>(clrButtonText.blue()));
    // The caption font of every button: Arial (or its metric twin), 12 pixels, normal weight.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    setFont(font);
    setCursor(Qt::ArrowCursor);
    setMouseTracking(true);
}

void CMyOwnButton::SetStyle(uint32_t nStyle)
{
    m_nStyle = nStyle;
    update();
}

void CMyOwnButton::SetTextColors(uint32_t clrText, uint32_t clrText2, uint32_t bDoubleText)
{
    m_clrText = clrText;
    m_clrText2 = clrText2;
    m_bDoubleText = bDoubleText;
    update();
}

void CMyOwnButton::SetGradient(uint32_t clrNormalTop, uint32_t clrNormalBottom,
                               uint32_t clrHoverTop, uint32_t clrHoverBottom)
{
    m_clrNormalTop = clrNormalTop;
    m_clrNormalBottom = clrNormalBottom;
    m_clrHoverTop = clrHoverTop;
    m_clrHoverBottom = clrHoverBottom;
    update();
}

void CMyOwnButton::ApplyColorSet(const CButtonColorSet& colorSet)
{
    SetTextColors(colorSet.m_clrText, colorSet.m_clrText2, colorSet.m_bDoubleText);
    SetGradient(colorSet.m_clrNormalTop, colorSet.m_clrNormalBottom, colorSet.m_clrHoverTop,
                colorSet.m_clrHoverBottom);
}

void CMyOwnButton::SetGradientFace(bool bEnable, bool bInvert)
{
    m_bGradient = bEnable ? 1 : 0;
    m_bInvertGradient = bInvert ? 1 : 0;
    update();
}

void CMyOwnButton::SetPictures(const CMyString& strNormal, const CMyString& strHover,
                               const CMyString& strPressed)
{
    m_strPicture = CMyPicture::ResolvePath(strNormal);
    m_strPictureHover = CMyPicture::ResolvePath(strHover);
    m_strPicturePressed = CMyPicture::ResolvePath(strPressed);
    update();
}

void CMyOwnButton::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent ? 1 : 0;
    update();
}

void CMyOwnButton::ClearArrowDown()
{
    if (m_nStyle == STYLE_SPLIT)
    {
        m_bArrowDown = 0;
        update();
    }
}

bool CMyOwnButton::IsFlat() const
{
    return m_nStyle == STYLE_FLAT || m_nStyle == STYLE_SPLIT || m_nStyle == STYLE_PICTURE_ONLY;
}

void CMyOwnButton::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    // A transparent button leaves the parent's background under it.
    if (m_bTransparent == 0)
        painter.fillRect(rect(), palette().color(QPalette::Button));
    DrawItem(painter, rect(), isDown(), hasFocus(), !isEnabled());
}

void CMyOwnButton::DrawItem(QPainter& painter, const QRect& rect, bool bSelected, bool /*bFocused*/,
                            bool bDisabled)
{
    if (m_nStyle != STYLE_PICTURE_ONLY)
        DrawFace(painter, rect, bSelected, bDisabled);

    int nPictureEnd = 0;
    if (!m_strPicture.IsEmpty())
    {
        nPictureEnd = m_nStyle == STYLE_PICTURE_ONLY ? DrawPictureOnly(painter, rect, bSelected)
                                                     : DrawPicture(painter, rect, bSelected);
    }
    if (m_nStyle == STYLE_PICTURE_ONLY)
        return;
    if (m_nStyle == STYLE_SPLIT)
        DrawArrow(painter, rect);
    DrawCaption(painter, rect, nPictureEnd, bSelected, bDisabled);
}

void CMyOwnButton::DrawFace(QPainter& painter, const QRect& rect, bool bSelected, bool bDisabled)
{
    const QPalette& pal = palette();
    if (IsFlat())
    {
        if (m_bMouseOver == 0 && m_bGradient == 0 && m_bTransparent == 0)
            return;
        if (m_bMouseOver != 0 && m_bGradient == 0)
        {
            painter.fillRect(rect, pal.color(QPalette::Button));
            Draw3dRect(painter, rect, pal, bSelected);
            return;
        }
    }

    // The full face: a push-button frame, then the gradient one pixel inside it.
    QPalette facePalette = pal;
    if (bDisabled)
        facePalette.setCurrentColorGroup(QPalette::Disabled);
    QBrush faceBrush = facePalette.button();
    qDrawWinButton(&painter, rect, facePalette, bSelected && m_nStyle != STYLE_SPLIT, &faceBrush);
    if (m_bGradient != 0)
    {
        uint32_t clrTop = m_bMouseOver != 0 ? m_clrHoverTop : m_clrNormalTop;
        uint32_t clrBottom = m_bMouseOver != 0 ? m_clrHoverBottom : m_clrNormalBottom;
        if (m_bInvertGradient != 0)
            std::swap(clrTop, clrBottom);
        FillGradient(painter, rect.adjusted(1, 1, -1, -1), clrTop, clrBottom);
    }
    if (m_nStyle == STYLE_SPLIT && m_bArrowDown != 0)
    {
        QRect arrowZone(rect.right() + 1 - 14, rect.top(), 14, rect.height() - 1);
        qDrawWinButton(&painter, arrowZone, pal, true, nullptr);
    }
}

void CMyOwnButton::DrawArrow(QPainter& painter, const QRect& rect)
{
    // A triangle five pixels wide and three rows high, first in white one pixel to the left as
    // a highlight, then in black.
    int nRight = rect.right() + 1;
    int nBottom = rect.bottom() + 1;
    for (int nPass = 0; nPass < 2; ++nPass)
    {
        QColor clr = nPass == 0 ? QColor(Qt::white) : QColor(Qt::black);
        int nShift = nPass == 0 ? -1 : 0;
        for (int nRow = 0; nRow < 3; ++nRow)
        {
            int nLeft = nRight - 10 + nRow + nShift;
            painter.fillRect(QRect(nLeft, nBottom - 8 + nRow, 5 - 2 * nRow, 1), clr);
        }
    }
    if (m_bArrowDown == 0)
    {
        // The separator before the arrow: two pixels wide, sunken.
        int nLeft = nRight - 15;
        int nTop = rect.top() + 3;
        int nHeight = rect.height() - 6;
        if (nHeight > 0)
        {
            painter.fillRect(QRect(nLeft, nTop, 1, nHeight), palette().color(QPalette::Dark));
            painter.fillRect(QRect(nLeft + 1, nTop, 1, nHeight), palette().color(QPalette::Light));
        }
    }
}

void CMyOwnButton::DrawCaption(QPainter& painter, const QRect& rect, int nTextLeft, bool bSelected,
                               bool bDisabled)
{
    QString strCaption = text();
    if (strCaption.isEmpty())
        return;
    int nRight = rect.right() + 1 - (m_nStyle == STYLE_SPLIT ? 12 : 0);
    QRect textRect(QPoint(nTextLeft, rect.top()), QPoint(nRight - 1, rect.bottom()));
    if (textRect.width() <= 0)
        return;

    painter.setFont(font());
    QString strShown =
        painter.fontMetrics().elidedText(strCaption, Qt::ElideRight, textRect.width());
    bool bShift =
        bSelected && m_bArrowDown == 0 && !(m_bNotifyOnPress != 0 && m_nStyle != STYLE_SPLIT);
    if (bShift)
        textRect.translate(1, 1);

    const int nFlags = Qt::AlignCenter | Qt::TextSingleLine;
    if (bDisabled)
    {
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawText(textRect.translated(1, 1), nFlags, strShown);
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    }
    else if (m_bDoubleText != 0)
    {
        painter.setPen(SkinColor(m_clrText2));
        painter.drawText(textRect.translated(1, 1), nFlags, strShown);
        painter.setPen(SkinColor(m_clrText));
    }
    else
    {
        painter.setPen(SkinColor(m_clrText));
    }
    painter.drawText(textRect, nFlags, strShown);
}

const CMyString& CMyOwnButton::ChoosePicture(bool bSelected) const
{
    if (bSelected && !m_strPicturePressed.IsEmpty())
        return m_strPicturePressed;
    if (m_bMouseOver != 0 && !m_strPictureHover.IsEmpty())
        return m_strPictureHover;
    return m_strPicture;
}

int CMyOwnButton::DrawPicture(QPainter& painter, const QRect& rect, bool bSelected)
{
    CMyPicture picture;
    picture.Load(ChoosePicture(bSelected));
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    if (!picture.GetSize(nWidth, nHeight))
        return 0;
    int32_t nMaxHeight = rect.height() - 4;
    if (nHeight > nMaxHeight && nMaxHeight > 0)
    {
        nWidth = static_cast<int32_t>(static_cast<double>(nWidth) * nMaxHeight / nHeight);
        nHeight = nMaxHeight;
    }
    QRect target(rect.left() + 2, rect.top() + 2, nWidth, nHeight);
    picture.Draw(&painter, &target, true);
    return target.left() + nWidth;
}

int CMyOwnButton::DrawPictureOnly(QPainter& painter, const QRect& rect, bool bSelected)
{
    CMyPicture picture;
    picture.Load(ChoosePicture(bSelected));
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    if (!picture.GetSize(nWidth, nHeight))
        return 0;
    if (nHeight > rect.height() && rect.height() > 0)
    {
        nWidth = static_cast<int32_t>(static_cast<double>(nWidth) * rect.height() / nHeight);
        nHeight = rect.height();
    }
    QRect target(rect.left(), rect.top(), nWidth, nHeight);
    picture.Draw(&painter, &target, true);
    return target.left() + nWidth;
}

void CMyOwnButton::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (IsFlat() && m_bMouseOver == 0)
    {
        m_bMouseOver = 1;
        update();
    }
    QPushButton::mouseMoveEvent(pEvent);
}

void CMyOwnButton::leaveEvent(QEvent* pEvent)
{
    m_bMouseOver = 0;
    update();
    QPushButton::leaveEvent(pEvent);
}

void CMyOwnButton::mousePressEvent(QMouseEvent* pEvent)
{
    m_bArrowDown = 0;
    if (m_nStyle == STYLE_SPLIT && pEvent->position().x() >= width() - ARROW_ZONE_WIDTH)
        m_bArrowDown = 1;
    QPointer<CMyOwnButton> pSelf(this);
    QPushButton::mousePressEvent(pEvent);
    if (pSelf.isNull() || pEvent->button() != Qt::LeftButton)
        return;
    if (m_bNotifyOnPress != 0 && !m_pNotifyWnd.isNull() &&
        (m_bArrowDown != 0 || m_nStyle == STYLE_PICTURE_ONLY))
    {
        SendWindowMessage(m_pNotifyWnd, ButtonTwoStateClickedMessage(),
                          reinterpret_cast<uintptr_t>(this), 0);
    }
}

void CMyOwnButton::mouseReleaseEvent(QMouseEvent* pEvent)
{
    QPointer<CMyOwnButton> pSelf(this);
    QPushButton::mouseReleaseEvent(pEvent);
    // The click handler may have destroyed the button.
    if (pSelf.isNull())
        return;
    m_bArrowDown = 0;
    update();
}

void CMyOwnButton::focusInEvent(QFocusEvent* pEvent)
{
    QPushButton::focusInEvent(pEvent);
    update();
}

void CMyOwnButton::focusOutEvent(QFocusEvent* pEvent)
{
    QPushButton::focusOutEvent(pEvent);
    update();
}

namespace
{

// Enter and Escape belong to the dialog (default button, cancel); every other key is eaten.
bool IsDialogKey(int nKey)
{
    return nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Escape;
}

} // namespace

void CMyOwnButton::keyPressEvent(QKeyEvent* pEvent)
{
    if (IsDialogKey(pEvent->key()))
        pEvent->ignore();
    else
        pEvent->accept();
}

void CMyOwnButton::keyReleaseEvent(QKeyEvent* pEvent)
{
    if (IsDialogKey(pEvent->key()))
        pEvent->ignore();
    else
        pEvent->accept();
}
