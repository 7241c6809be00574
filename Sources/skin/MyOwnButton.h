#pragma once

#include "text/MyString.h"

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <cstdint>

class CButtonColorSet;
class QPainter;

// A skin colour (red in the lowest byte, then green, then blue) as a Qt colour.
QColor SkinColor(uint32_t clr);
// Fills the rectangle with a vertical gradient from clrTop at its first row to clrBottom at its
// last: the face of gradient buttons and the background of the dialogs.
void FillGradient(QPainter& painter, const QRect& rect, uint32_t clrTop, uint32_t clrBottom);

// The one push button of the program. It draws itself completely: a gradient face in skin
// colours with a caption, or one of three skin pictures (normal, hover, pressed). Flat buttons
// show their face only while the mouse is over them. A button asked to do so also sends
// MESSAGE_BUTTON_TWO_STATE_CLICKED (the button as first parameter) to a notify object at the
// moment the mouse button goes down, before the ordinary clicked() at release.
class CMyOwnButton : public QPushButton
{
public:
    // Styles: 1 standard push button; 2 flat; 6 flat split button with a drop-down arrow zone at
    // the right; 12 flat picture-only button.
    static constexpr uint32_t STYLE_PUSH = 1;
    static constexpr uint32_t STYLE_FLAT = 2;
    static constexpr uint32_t STYLE_SPLIT = 6;
    static constexpr uint32_t STYLE_PICTURE_ONLY = 12;
    // The part of a split button at its right edge where a press counts as a press on the arrow.
    static constexpr int ARROW_ZONE_WIDTH = 18;

    explicit CMyOwnButton(QWidget* pParent = nullptr);
    CMyOwnButton(const QString& strCaption, QWidget* pParent);
    ~CMyOwnButton() override = default;

    void SetStyle(uint32_t nStyle);
    uint32_t GetStyle() const { return m_nStyle; }
    void SetTextColors(uint32_t clrText, uint32_t clrText2, uint32_t bDoubleText);
    void SetGradient(uint32_t clrNormalTop, uint32_t clrNormalBottom, uint32_t clrHoverTop,
                     uint32_t clrHoverBottom);
    // Caption colours and face gradients in one step.
    void ApplyColorSet(const CButtonColorSet& colorSet);
    void SetGradientFace(bool bEnable, bool bInvert);
    // The normal, hover and pressed pictures; each path is found as CMyPicture::ResolvePath says.
    virtual void SetPictures(const CMyString& strNormal, const CMyString& strHover,
                             const CMyString& strPressed);
    void SetNotifyOnPress(bool bNotify) { m_bNotifyOnPress = bNotify ? 1 : 0; }
    void SetNotifyWindow(QObject* pNotifyWnd) { m_pNotifyWnd = pNotifyWnd; }
    void SetTransparent(bool bTransparent);
    // Forgets a press on the arrow zone of a split button and redraws.
    void ClearArrowDown();

    bool IsMouseOver() const { return m_bMouseOver != 0; }
    bool IsArrowDown() const { return m_bArrowDown != 0; }
    const CMyString& GetPicture() const { return m_strPicture; }
    const CMyString& GetPictureHover() const { return m_strPictureHover; }
    const CMyString& GetPicturePressed() const { return m_strPicturePressed; }

protected:
    // Draws face, picture and caption into rect; bSelected is the pressed look.
    virtual void DrawItem(QPainter& painter, const QRect& rect, bool bSelected, bool bFocused,
                          bool bDisabled);
    // The picture of a picture-only button at the top-left corner, scaled down to the height
    // when taller. Answers where the picture ends.
    virtual int DrawPictureOnly(QPainter& painter, const QRect& rect, bool bSelected);
    // The picture 2 pixels in from the top-left corner, scaled down to the height less 4 when
    // taller. Answers where it ends (0 without a picture).
    virtual int DrawPicture(QPainter& painter, const QRect& rect, bool bSelected);
    // The picture of the current state: pressed, else hover, else normal.
    const CMyString& ChoosePicture(bool bSelected) const;

    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;

    uint32_t m_bNotifyOnPress = 0;
    uint32_t m_bTransparent = 0;
    uint32_t m_bDoubleText = 0;
    QPointer<QObject> m_pNotifyWnd;
    uint32_t m_nStyle = STYLE_PUSH;
    uint32_t m_clrText;
    uint32_t m_clrText2;
    uint32_t m_clrNormalTop;
    uint32_t m_clrHoverTop;
    uint32_t m_clrNormalBottom;
    uint32_t m_clrHoverBottom;
    uint32_t m_bMouseOver = 0;
    CMyString m_strPicture;
    CMyString m_strPictureHover;
    CMyString m_strPicturePressed;
    uint8_t m_bArrowDown = 0;
    uint8_t m_bGradient = 0;
    uint32_t m_bInvertGradient = 0;

private:
    bool IsFlat() const;
    void DrawFace(QPainter& painter, const QRect& rect, bool bSelected, bool bDisabled);
    void DrawArrow(QPainter& painter, const QRect& rect);
    void DrawCaption(QPainter& painter, const QRect& rect, int nTextLeft, bool bSelected,
                     bool bDisabled);
};

// A static text into which its owner draws (the title of the search bar).
class CMyStaticButton : public QLabel
{
public:
    explicit CMyStaticButton(QWidget* pParent = nullptr) : QLabel(pParent) {}
};
