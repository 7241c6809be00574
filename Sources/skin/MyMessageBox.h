#pragma once

#include "skin/MyOwnButton.h"
#include "text/MyString.h"

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QSize>

#include <cstdint>

// The font of the program's dialogs, which measure their layout in dialog units: a quarter of
// its average character width horizontally and an eighth of its height vertically.
QFont DialogFont();
// Dialog units of DialogFont() in pixels, rounded to the nearest pixel.
QSize MapDialogUnits(int nX, int nY);

// The program's own modal message box: the text in the skin's dialog text colour on the skin's
// dialog gradient, one or two skinned buttons below it, the window sized to the text.
//
// exec() answers 1 for OK, 2 for Cancel, 6 for Yes, 7 for No; Escape and the close box give 2
// in every type.
class CMyMessageBox : public QDialog
{
public:
    // Button sets: OK; OK and Cancel; Yes and No.
    static constexpr uint32_t TYPE_OK = 0;
    static constexpr uint32_t TYPE_OK_CANCEL = 1;
    static constexpr uint32_t TYPE_YES_NO = 4;

    static constexpr int RESULT_OK = 1;
    static constexpr int RESULT_CANCEL = 2;
    static constexpr int RESULT_YES = 6;
    static constexpr int RESULT_NO = 7;

    // The size of the window frame the layout rules count with (a caption bar and a fixed
    // dialog border). Here the window manager draws the frame outside the client area, so the
    // client area is given the size it would have inside such a frame.
    static constexpr int CAPTION_HEIGHT = 19;
    static constexpr int BORDER_WIDTH = 3;
    // Space between neighbouring buttons and between the buttons and the client edges.
    static constexpr int BUTTON_GAP = 10;

    CMyMessageBox(const CMyString& strText, uint32_t nType);
    ~CMyMessageBox() override = default;

    uint32_t GetType() const { return m_nType; }
    const QLabel& GetTextControl() const { return m_Text; }
    CMyOwnButton& GetOkButton() { return m_btnOk; }
    CMyOwnButton& GetCancelButton() { return m_btnCancel; }
    CMyOwnButton& GetYesButton() { return m_btnYes; }
    CMyOwnButton& GetNoButton() { return m_btnNo; }

    // Escape, the close box and Cancel end the box with 2.
    void reject() override;
    // Ends the box; with ORVANTA_DEBUG set, traces "Message box: <text> -> <result>" with the
    // text's line breaks shown as " | ", so that a test can tell which box got which answer.
    void done(int nResult) override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    // Sizes the window to the text and lays out the text and the buttons of the type.
    void InitDialog();
    // Lays out the shown buttons in one centred row at the bottom, widening the client area
    // when they do not fit. Answers the client width.
    int LayoutButtons(int nClientWidth, int nClientHeight);
    // Moves the window so that it lies wholly on its screen.
    void KeepOnScreen();

    CMyString m_strText;
    uint32_t m_nType;
    CMyOwnButton m_btnCancel;
    CMyOwnButton m_btnOk;
    CMyOwnButton m_btnYes;
    CMyOwnButton m_btnNo;
    QLabel m_Text;
    uint32_t m_clrTop;
    uint32_t m_clrBottom;
    uint32_t m_clrText;
};
