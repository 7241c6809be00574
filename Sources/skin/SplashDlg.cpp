#include "skin/SplashDlg.h"

#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/SkinInfo.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace
{

constexpr const char* kProductName = "ORVANTA";

// The loading text is drawn on one line, centred.
constexpr int TEXT_FLAGS = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine;

} // namespace

CSplashDlg::CSplashDlg(QWidget* pParent)
    : QDialog(pParent,
              Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    const CSkinInfo* pSkin = GetSkinInfo();
    m_clrTop = pSkin->m_clrDialogTop;
    m_clrBottom = pSkin->m_clrDialogBottom;
    m_clrText = pSkin->m_clrDialogText;

    // A caption bar without text. An empty title would make the window system show the
    // program's name there instead.
    setWindowTitle(QStringLiteral(" "));
    setFixedSize(MapDialogUnits(WIDTH_DLU, HEIGHT_DLU));
    if (const QScreen* pScreen = QGuiApplication::primaryScreen())
    {
        QRect window(QPoint(0, 0), size());
        window.moveCenter(pScreen->availableGeometry().center());
        move(window.topLeft());
    }
}

CMyString CSplashDlg::LoadingText()
{
    CMyString strText("Please Wait While Loading DIAPLAY_TITLE...");
    strText.Replace("DIAPLAY_TITLE", kProductName);
    return strText;
}

void CSplashDlg::reject()
{
    // Escape does not end the splash: it stays until the lists are loaded.
}

void CSplashDlg::closeEvent(QCloseEvent* pEvent)
{
    pEvent->ignore();
}

void CSplashDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    raise();
    activateWindow();
}

void CSplashDlg::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    FillGradient(painter, rect(), m_clrTop, m_clrBottom);

    // Arial (or its metric twin) at 13 pixels, normal weight, on a transparent background, in
    // the skin's dialog text colour: black in the default skin, and readable on a dark dialog
    // gradient too.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(SkinColor(m_clrText));

    CMyString strText = LoadingText();
    QString strShown = ToQString(strText);
    QRect measured = painter.fontMetrics().boundingRect(QRect(0, 0, 0, 0), TEXT_FLAGS, strShown);
    int nTop = (height() - measured.height()) / 2;
    painter.drawText(QRect(0, nTop, width(), measured.height()), TEXT_FLAGS, strShown);
}
