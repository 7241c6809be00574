#include "skin/MySlider.h"

#include "config/Settings.h"
#include "platform/MessageVocabulary.h"
#include "skin/MyPicture.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CMySlider::CMySlider(QWidget* pParent) : CMyOwnButton(pParent)
{
    SetStyle(STYLE_PICTURE_ONLY);
}

void CMySlider::Create(QWidget* pParent, const QRect& rect)
{
    setParent(pParent);
    setGeometry(rect);
    m_nHeight = rect.height();
    int32_t nTrack = m_nHeight - TRACK_TOP - TRACK_BOTTOM_GAP;
    // A slider too short for a track keeps the scale at 0: every position then shows level 100.
    m_dScale = nTrack > 0 ? 100.0 / nTrack : 0.0;
    m_pParent = pParent;
}

void CMySlider::SetPictures(const CMyString& strBackground, const CMyString& strThumb,
                            const CMyString& /*strUnused*/)
{
    CMyOwnButton::SetPictures(strBackground, strBackground, strBackground);
    m_strThumbPicture = CMyPicture::ResolvePath(strThumb);
}

void CMySlider::SetLevel(int32_t nLevel)
{
    if (m_dScale <= 0.0)
        return;
    nLevel = std::clamp(nLevel, 0, 100);
    m_nThumbY = static_cast<int32_t>((100 - nLevel) / m_dScale) + TRACK_TOP;
}

int32_t CMySlider::GetLevel() const
{
    return 100 - static_cast<int32_t>((m_nThumbY - TRACK_TOP) * m_dScale);
}

int CMySlider::DrawPictureOnly(QPainter& painter, const QRect& rect, bool bSelected)
{
    int nEnd = CMyOwnButton::DrawPictureOnly(painter, rect, bSelected);
    if (!m_strThumbPicture.IsEmpty())
    {
        CMyPicture thumb;
        thumb.Load(m_strThumbPicture);
        int32_t nWidth = 0;
        int32_t nHeight = 0;
        if (thumb.GetSize(nWidth, nHeight))
        {
            // Right-aligned, its bottom edge at the thumb position.
            QRect target(rect.right() + 1 - nWidth, m_nThumbY - nHeight, nWidth, nHeight);
            thumb.Draw(&painter, &target, true);
        }
    }
    return nEnd;
}

void CMySlider::mousePressEvent(QMouseEvent* pEvent)
{
    // The thumb follows the pointer only while it moves; a press alone changes nothing. Qt
    // keeps the mouse with this widget until the button is released.
    if (pEvent->button() == Qt::LeftButton && m_bDragging == 0)
    {
        m_bDragging = 1;
        update();
    }
    pEvent->accept();
}

void CMySlider::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (m_bDragging == 0)
    {
        CMyOwnButton::mouseMoveEvent(pEvent);
        return;
    }
    if (pEvent->buttons() == Qt::NoButton && pEvent->modifiers() == Qt::NoModifier)
    {
        // The button went up where this widget did not see it.
        EndDrag();
        return;
    }
    int32_t nY = static_cast<int32_t>(pEvent->position().y()) + 5;
    nY = std::max(TRACK_TOP, std::min(nY, m_nHeight - TRACK_BOTTOM_GAP));
    if (nY != m_nThumbY)
    {
        m_nThumbY = nY;
        update();
        PostWindowMessage(m_pParent.data(), MessageForMainFrame(), CODE_VOLUME_LEVEL, GetLevel());
    }
}

void CMySlider::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        EndDrag();
    pEvent->accept();
}

void CMySlider::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
}

void CMySlider::EndDrag()
{
    if (m_bDragging != 0)
        Settings().SetVolume(GetLevel());
    m_bDragging = 0;
    update();
}
