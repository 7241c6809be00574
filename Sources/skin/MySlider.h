#pragma once

#include "skin/MyOwnButton.h"

// The vertical volume slider: a picture-only button whose face is a background picture with a
// thumb picture drawn over it at the current level. Dragging the thumb changes the level between
// 0 (bottom) and 100 (top), posts every change to the parent as CODE_VOLUME_LEVEL of
// MESSAGE_FOR_MAIN_FRAME, and stores the final level as the "Volume" setting.
class CMySlider : public CMyOwnButton
{
public:
    // The track runs from y = TRACK_TOP (level 100) to y = height - TRACK_BOTTOM_GAP (level 0);
    // the positions are those of the thumb's bottom edge.
    static constexpr int32_t TRACK_TOP = 21;
    static constexpr int32_t TRACK_BOTTOM_GAP = 17;

    explicit CMySlider(QWidget* pParent = nullptr);

    // Places the slider in its parent; the height fixes the scale of the track, and the parent
    // receives the level messages.
    void Create(QWidget* pParent, const QRect& rect);

    // The background becomes the normal, hover and pressed face; the thumb is kept; the third
    // path is ignored.
    void SetPictures(const CMyString& strBackground, const CMyString& strThumb,
                     const CMyString& strUnused) override;
    // Moves the thumb to the level (0 to 100; a level outside counts as the nearer end); the
    // caller redraws.
    void SetLevel(int32_t nLevel);
    // The level that the thumb's position shows.
    int32_t GetLevel() const;
    int32_t GetThumbY() const { return m_nThumbY; }
    bool IsDragging() const { return m_bDragging != 0; }

protected:
    int DrawPictureOnly(QPainter& painter, const QRect& rect, bool bSelected) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    // Ends a drag and stores the level.
    void EndDrag();

    CMyString m_strThumbPicture;
    int32_t m_nThumbY = TRACK_TOP;
    int32_t m_nHeight = 0;
    uint32_t m_bDragging = 0;
    double m_dScale = 0.0;
    QPointer<QObject> m_pParent;
};
