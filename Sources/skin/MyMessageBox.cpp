#include "skin/MyMessageBox.h"

#include "platform/Trace.h"
#include "skin/SkinInfo.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace
{

// Where the dialog template places the message box: 186 by 90 dialog units; each button is 50 by
// 11. Only the template's size (for the first position) and the button size are used: the rest
// of the layout follows the text.
constexpr int TEMPLATE_WIDTH_DLU = 186;
constexpr int TEMPLATE_HEIGHT_DLU = 90;
constexpr int BUTTON_WIDTH_DLU = 50;
constexpr int BUTTON_HEIGHT_DLU = 11;

// The text starts at (20, 10); the window is 40 pixels wider than the text and 70 pixels higher
// than the text and the button row together (frame included).
constexpr int TEXT_LEFT = 20;
constexpr int TEXT_TOP = 10;
constexpr int WINDOW_EXTRA_WIDTH = 40;
constexpr int WINDOW_EXTRA_HEIGHT = 70;

// The static text control draws as the label does: from the top-left corner, tabs expanded,
// lines broken only at line breaks.
constexpr int TEXT_FLAGS = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;

// The average character width of a font the way dialog units count it: the width of the 52
// letters of the alphabet divided by 52, rounded to the nearest pixel.
int AverageCharWidth(const QFontMetrics& metrics)
{
    int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (nLetters / 26 + 1) / 2;
}

} // namespace

QFont DialogFont()
{
    // The dialogs are laid out for an 8-point sans-serif font: Liberation Sans (the metric twin
    // of Arial) at 11 pixels, which is 8 points at 96 dots per inch, with a 12-pixel line and
    // 6-pixel average character; fontconfig substitutes a similar sans font when it is missing.
    // Pixels rather than points keep the layout the same on every screen resolution.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    return font;
}

QSize MapDialogUnits(int nX, int nY)
{
    QFontMetrics metrics(DialogFont());
    int nAverageWidth = AverageCharWidth(metrics);
    int nAverageHeight = metrics.height();
    // x * width / 4 and y * height / 8, rounded to the nearest pixel.
    return QSize((nX * nAverageWidth + 2) / 4, (nY * nAverageHeight + 4) / 8);
}

CMyMessageBox::CMyMessageBox(const CMyString& strText, uint32_t nType)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_strText(strText), m_nType(nType), m_btnCancel(QStringLiteral("Cancel"), this),
      m_btnOk(QStringLiteral("OK"), this), m_btnYes(QStringLiteral("Yes"), this),
      m_btnNo(QStringLiteral("No"), this), m_Text(this)
{
    const CSkinInfo* pSkin = GetSkinInfo();
    for (CMyOwnButton* pButton : {&m_btnCancel, &m_btnOk, &m_btnYes, &m_btnNo})
    {
        pButton->SetStyle(CMyOwnButton::STYLE_FLAT);
        pButton->SetGradientFace(true, false);
        pButton->ApplyColorSet(pSkin->m_ToolbarButtons);
    }
    m_clrTop = pSkin->m_clrDialogTop;
    m_clrBottom = pSkin->m_clrDialogBottom;
    m_clrText = pSkin->m_clrDialogText;

    connect(&m_btnOk, &QPushButton::clicked, this, [this] { done(RESULT_OK); });
    connect(&m_btnCancel, &QPushButton::clicked, this, [this] { done(RESULT_CANCEL); });
    connect(&m_btnYes, &QPushButton::clicked, this, [this] { done(RESULT_YES); });
    connect(&m_btnNo, &QPushButton::clicked, this, [this] { done(RESULT_NO); });

    // A caption bar without text. An empty title would make the window system show the
    // program's name there instead.
    setWindowTitle(QStringLiteral(" "));
    setModal(true);
    InitDialog();
}

void CMyMessageBox::InitDialog()
{
    // The text as the static control draws it: in the dialog font, on a transparent background
    // so that the gradient shows behind it.
    m_Text.setFont(DialogFont());
    m_Text.setTextFormat(Qt::PlainText);
    m_Text.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Text.setAutoFillBackground(false);
    QPalette textPalette = m_Text.palette();
    textPalette.setColor(QPalette::WindowText, SkinColor(m_clrText));
    m_Text.setPalette(textPalette);

    // The text without a width limit: only line breaks start new lines.
    QString strText = ToQString(m_strText);
    QRect textRect =
        QFontMetrics(m_Text.font()).boundingRect(QRect(0, 0, 0, 0), TEXT_FLAGS, strText);
    int nTextWidth = textRect.width();
    int nTextHeight = textRect.height();

    // The window around it; the client area is what remains inside the frame.
    QSize buttonSize = MapDialogUnits(BUTTON_WIDTH_DLU, BUTTON_HEIGHT_DLU);
    int nClientWidth = nTextWidth + WINDOW_EXTRA_WIDTH - 2 * BORDER_WIDTH;
    int nClientHeight =
        nTextHeight + buttonSize.height() + WINDOW_EXTRA_HEIGHT - CAPTION_HEIGHT - 2 * BORDER_WIDTH;

    // The text control.
    m_Text.setText(strText);
    m_Text.setGeometry(TEXT_LEFT, TEXT_TOP, nTextWidth, nTextHeight);

    // The buttons of the type, in one row.
    for (CMyOwnButton* pButton : {&m_btnCancel, &m_btnOk, &m_btnYes, &m_btnNo})
        pButton->resize(buttonSize);
    nClientWidth = LayoutButtons(nClientWidth, nClientHeight);
    setFixedSize(nClientWidth, nClientHeight);

    // The box first stands where the template's box would stand centred on the screen; it grows
    // to the right and downwards from there, and is moved back when it leaves the screen.
    if (const QScreen* pScreen = QGuiApplication::primaryScreen())
    {
        QSize templateSize = MapDialogUnits(TEMPLATE_WIDTH_DLU, TEMPLATE_HEIGHT_DLU);
        QRect templateFrame(QPoint(0, 0), templateSize + QSize(2 * BORDER_WIDTH,
                                                               CAPTION_HEIGHT + 2 * BORDER_WIDTH));
        templateFrame.moveCenter(pScreen->availableGeometry().center());
        move(templateFrame.topLeft());
    }
    KeepOnScreen();
}

int CMyMessageBox::LayoutButtons(int nClientWidth, int nClientHeight)
{
    std::vector<CMyOwnButton*> shown;
    switch (m_nType)
    {
    case TYPE_OK_CANCEL:
        shown = {&m_btnOk, &m_btnCancel};
        break;
    case TYPE_YES_NO:
        shown = {&m_btnYes, &m_btnNo};
        break;
    default:
        // OK, also for a type that has no button set of its own, so the box can always be
        // answered with a button.
        shown = {&m_btnOk};
        break;
    }
    for (CMyOwnButton* pButton : {&m_btnCancel, &m_btnOk, &m_btnYes, &m_btnNo})
    {
        bool bShown = std::find(shown.begin(), shown.end(), pButton) != shown.end();
        pButton->setVisible(bShown);
    }

    int nTotal = 0;
    for (const CMyOwnButton* pButton : shown)
        nTotal += pButton->width();
    nTotal += BUTTON_GAP * static_cast<int>(shown.size() - 1);

    int nLeft = BUTTON_GAP;
    if (nTotal + 2 * BUTTON_GAP <= nClientWidth)
        nLeft = (nClientWidth - nTotal) / 2;
    else
        nClientWidth = nTotal + 2 * BUTTON_GAP;

    for (CMyOwnButton* pButton : shown)
    {
        pButton->move(nLeft, nClientHeight - BUTTON_GAP - pButton->height());
        nLeft += pButton->width() + BUTTON_GAP;
    }

    // Enter answers with the first button, as the box's default.
    shown.front()->setDefault(true);
    shown.front()->setFocus();
    return nClientWidth;
}

void CMyMessageBox::KeepOnScreen()
{
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    if (pScreen == nullptr)
        return;
    QRect available = pScreen->availableGeometry();
    // The frame the window manager adds is assumed to be the one the layout counted with.
    QRect frame(pos(), size() + QSize(2 * BORDER_WIDTH, CAPTION_HEIGHT + 2 * BORDER_WIDTH));
    if (frame.right() > available.right())
        frame.moveRight(available.right());
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    // A box larger than the screen keeps its top-left corner visible.
    if (frame.left() < available.left())
        frame.moveLeft(available.left());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    move(frame.topLeft());
}

void CMyMessageBox::reject()
{
    done(RESULT_CANCEL);
}

void CMyMessageBox::done(int nResult)
{
    const QString strText = ToQString(m_strText);
    Trace("Message box: %s -> %d", QString(strText).replace('\n', " | ").toUtf8().constData(),
          nResult);
    QDialog::done(nResult);
}

void CMyMessageBox::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    FillGradient(painter, rect(), m_clrTop, m_clrBottom);
}
