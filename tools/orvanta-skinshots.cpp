// orvanta-skinshots: renders every skinned widget in its states, and the whole window surface
// at 1010 x 640, to PNG files, so that anyone can review the look of a skin without running the
// program.
//
//   orvanta-skinshots OUTDIR [INSTALLDIR]
//
// INSTALLDIR is the folder holding res/Skin (default: the current folder).

#include "shell/SkinFramePainter.h"
#include "skin/MenuXP.h"
#include "skin/MyEditBox.h"
#include "skin/MyMessageBox.h"
#include "skin/MyOwnButton.h"
#include "skin/MyPicture.h"
#include "skin/MySlider.h"
#include "skin/SkinInfo.h"
#include "skin/SplashDlg.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

// The window's client size and the strips that the layout of the main window gives.
constexpr int WINDOW_WIDTH = 1010;
constexpr int WINDOW_HEIGHT = 640;
constexpr int CONTROL_BAR_HEIGHT = 40;

struct CPictureButton
{
    const char* pszName;
    int nWidth;
    int nHeight;
};

// Every picture button of the skin, with its size on screen.
constexpr CPictureButton PICTURE_BUTTONS[] = {
    {"Stop", 55, 63},       {"Play", 52, 63},      {"Prev", 52, 63},    {"Next", 52, 63},
    {"FullScreen", 55, 63}, {"MuteOn", 32, 63},    {"MuteOff", 32, 63}, {"Close", 17, 17},
    {"Minimize", 17, 17},   {"Maximize", 17, 17},  {"Restore", 17, 17}, {"Station", 29, 34},
    {"PresetOn", 29, 30},   {"PresetOff", 29, 30},
};

// "res/Skin/" + name + suffix, the way the program names a button's pictures.
CMyString SkinPicture(const char* pszName, const char* pszSuffix)
{
    return CMyString((std::string("res/Skin/") + pszName + pszSuffix).c_str());
}

QString OutPath(const QString& strFolder, const QString& strName)
{
    return QDir(strFolder).filePath(strName + ".png");
}

bool Save(const QImage& image, const QString& strFolder, const QString& strName)
{
    QString strPath = OutPath(strFolder, strName);
    if (!image.save(strPath))
    {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(strPath));
        return false;
    }
    std::printf("%s\n", qPrintable(strPath));
    return true;
}

// The widget over a background of the skin's main colour, scaled up so the pixels can be
// seen.
QImage Enlarged(QWidget& widget, int nFactor)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(SkinColor(GetSkinInfo()->m_clrMainBg));
    QPainter painter(&image);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image.scaled(image.size() * nFactor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void Hover(QWidget& widget)
{
    QPointF point(widget.width() / 2.0, widget.height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, point, widget.mapToGlobal(point), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

// Normal, hover and pressed looks of every picture button side by side.
bool RenderPictureButtons(const QString& strFolder)
{
    bool bOk = true;
    for (const CPictureButton& info : PICTURE_BUTTONS)
    {
        QImage strip(info.nWidth * 3 * 4 + 2 * 8, info.nHeight * 4, QImage::Format_RGB32);
        strip.fill(QColor(40, 40, 40));
        QPainter painter(&strip);
        for (int nState = 0; nState < 3; ++nState)
        {
            CMyOwnButton button;
            button.resize(info.nWidth, info.nHeight);
            button.SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
            button.SetTransparent(true);
            button.SetPictures(SkinPicture(info.pszName, ".Gif"),
                               SkinPicture(info.pszName, "Hover.Gif"),
                               SkinPicture(info.pszName, "Pressed.Gif"));
            button.show();
            if (nState == 1)
                Hover(button);
            if (nState == 2)
                button.setDown(true);
            painter.drawImage(nState * (info.nWidth * 4 + 8), 0, Enlarged(button, 4));
        }
        painter.end();
        bOk = Save(strip, strFolder, QString("button-") + info.pszName) && bOk;
    }
    return bOk;
}

// The gradient buttons of dialogs and the search bar: flat, hover, pressed and the split
// button with its arrow.
bool RenderGradientButtons(const QString& strFolder)
{
    QImage sheet(4 * 120 + 5 * 10, 24 + 20, QImage::Format_RGB32);
    sheet.fill(SkinColor(GetSkinInfo()->m_clrMainBg));
    QPainter painter(&sheet);
    for (int nState = 0; nState < 4; ++nState)
    {
        CMyOwnButton button(nState == 3 ? QString("Search") : QString("Update Now"), nullptr);
        button.resize(120, 24);
        button.SetStyle(nState == 3 ? CMyOwnButton::STYLE_SPLIT : CMyOwnButton::STYLE_FLAT);
        button.SetGradientFace(true, nState == 2);
        button.ApplyColorSet(GetSkinInfo()->m_ToolbarButtons);
        if (nState == 3)
            button.SetPictures(CMyString("res/MoviesSearch.gif"), CMyString(), CMyString());
        button.show();
        if (nState == 1)
            Hover(button);
        button.render(&painter, QPoint(10 + nState * 130, 10));
    }
    painter.end();
    return Save(sheet.scaled(sheet.size() * 2), strFolder, "buttons-gradient");
}

bool RenderSlider(const QString& strFolder)
{
    QImage sheet(3 * 19 + 4 * 6, 63 + 12, QImage::Format_RGB32);
    sheet.fill(SkinColor(GetSkinInfo()->m_clrMainBg));
    QPainter painter(&sheet);
    QWidget parent;
    for (int nLevel = 0; nLevel <= 2; ++nLevel)
    {
        CMySlider slider;
        slider.Create(&parent, QRect(0, 0, 19, 63));
        slider.SetTransparent(true);
        slider.SetPictures(CMyString("res/Skin/SliderBG.gif"),
                           CMyString("res/Skin/SliderButton.Gif"), CMyString());
        slider.SetLevel(nLevel * 50);
        slider.render(&painter, QPoint(6 + nLevel * 25, 6), QRegion(), QWidget::DrawChildren);
    }
    painter.end();
    return Save(sheet.scaled(sheet.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                strFolder, "slider-0-50-100");
}

// The engine menu as the search bar builds it: side bar, the station-list search as default,
// then a few engines and a separator.
bool RenderMenu(const QString& strFolder)
{
    CMenuXP menu;
    menu.CreatePopupMenu();
    menu.SetMenuStyle(1);
    menu.AddSideBar(std::make_unique<CMenuXPSideBar>(16, CMyString()));
    menu.AppendODMenu(0, std::make_unique<CMenuXPText>(100, CMyString("Search"),
                                                       CMyString("res/MoviesSearch.gif")));
    menu.AppendODMenu(0, std::make_unique<CMenuXPText>(1, CMyString("Web\tCtrl+W"), CMyString()));
    menu.AppendSeparator();
    menu.AppendODMenu(0, std::make_unique<CMenuXPText>(2, CMyString("Encyclopedia"), CMyString()));
    menu.AppendODMenu(CMenuXP::MENU_DISABLED,
                      std::make_unique<CMenuXPText>(3, CMyString("Archive"), CMyString()));
    menu.SetMenuDefaultItem(100);
    menu.resize(menu.sizeHint());
    QImage image = menu.grab().toImage();
    return Save(image.scaled(image.size() * 2), strFolder, "menu");
}

bool RenderDialogs(const QString& strFolder)
{
    bool bOk = true;
    struct CBox
    {
        const char* pszText;
        uint32_t nType;
        const char* pszName;
    };
    const CBox boxes[] = {
        {"The Station Was Pre-Set Successfully", 0, "messagebox-ok"},
        {"Update Success\nClick Ok To Restart The Application", 1, "messagebox-okcancel"},
        {"This Button Already Contains a Pre-Set Station.\n Would You Like To Replace It?", 4,
         "messagebox-yesno"},
    };
    for (const CBox& box : boxes)
    {
        CMyMessageBox dialog(CMyString(box.pszText), box.nType);
        dialog.show();
        bOk = Save(dialog.grab().toImage(), strFolder, box.pszName) && bOk;
        dialog.hide();
    }
    CSplashDlg splash;
    splash.show();
    bOk = Save(splash.grab().toImage(), strFolder, "splash") && bOk;
    splash.hide();
    return bOk;
}

// The whole window surface, and the same with the controls standing where the main window
// places them, as a preview of the finished window.
bool RenderWindow(const QString& strFolder)
{
    const int W = WINDOW_WIDTH;
    const int H = WINDOW_HEIGHT;
    // The banner window is 510 x 80 at (W - 502, H - 90); its frame surrounds the part shown.
    const int nBannerX = W - 502;
    const int nBannerY = H - 90;
    CSkinFramePainter::CEdges banner{nBannerX + 12, nBannerY + 16, nBannerX + 483, nBannerY + 80};
    QImage surface = CSkinFramePainter::PaintSurface(W, H, CONTROL_BAR_HEIGHT, banner,
                                                     GetSkinInfo()->m_clrMainBg);
    bool bOk = Save(surface, strFolder, "frame-1010x640");

    QWidget window;
    window.resize(W, H);
    QPalette palette = window.palette();
    palette.setBrush(QPalette::Window, QBrush(surface));
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    std::vector<std::unique_ptr<QWidget>> controls;
    auto addPictureButton = [&](const char* pszName, const QRect& rect)
    {
        auto pButton = std::make_unique<CMyOwnButton>(&window);
        pButton->setGeometry(rect);
        pButton->SetStyle(CMyOwnButton::STYLE_PICTURE_ONLY);
        pButton->SetTransparent(true);
        pButton->SetPictures(SkinPicture(pszName, ".Gif"), SkinPicture(pszName, "Hover.Gif"),
                             SkinPicture(pszName, "Pressed.Gif"));
        controls.push_back(std::move(pButton));
    };

    // Five presets from (15, H - 70), 3 pixels apart; the first two hold a station.
    int nX = 30;
    for (int nIndex = 0; nIndex < 5; ++nIndex)
    {
        int nLeft = 15 + nIndex * (29 + 3);
        addPictureButton(nIndex < 2 ? "PresetOn" : "PresetOff", QRect(nLeft, H - 70, 29, 30));
        addPictureButton("Station", QRect(nLeft, H - 40, 29, 34));
        nX = std::max(nX, nLeft + 29);
    }
    // The player controls after them, edge to edge.
    nX += 5;
    for (const CPictureButton& info : PICTURE_BUTTONS)
    {
        std::string strName = info.pszName;
        if (info.nHeight != 63 || strName == "MuteOff")
            continue;
        if (strName == "MuteOn")
        {
            auto pSlider = std::make_unique<CMySlider>();
            pSlider->Create(&window, QRect(nX, H - 65, 19, 63));
            pSlider->SetTransparent(true);
            pSlider->SetPictures(CMyString("res/Skin/SliderBG.gif"),
                                 CMyString("res/Skin/SliderButton.Gif"), CMyString());
            pSlider->SetLevel(70);
            controls.push_back(std::move(pSlider));
            nX += 19;
        }
        addPictureButton(info.pszName, QRect(nX, H - 65, info.nWidth, info.nHeight));
        nX += info.nWidth;
    }
    // The caption buttons at the right of the top strip.
    int nCloseX = W - 17 - 17;
    addPictureButton("Close", QRect(nCloseX, 8, 17, 17));
    addPictureButton("Maximize", QRect(nCloseX - 20, 8, 17, 17));
    addPictureButton("Minimize", QRect(nCloseX - 40, 8, 17, 17));

    // The search box and the Search button at the left of the top strip.
    auto pEdit = std::make_unique<CMyEditBox>(&window);
    pEdit->setGeometry(17, 6, 240, 19);
    pEdit->setPlaceholderText("Search");
    auto pSearch = std::make_unique<CMyOwnButton>(QString("Search"), &window);
    pSearch->setGeometry(17 + 240 + 4, 6, 100, 19);
    pSearch->SetStyle(CMyOwnButton::STYLE_SPLIT);
    pSearch->SetGradientFace(true, false);
    pSearch->ApplyColorSet(GetSkinInfo()->m_ToolbarButtons);
    pSearch->SetPictures(CMyString("res/MoviesSearch.gif"), CMyString(), CMyString());
    controls.push_back(std::move(pEdit));
    controls.push_back(std::move(pSearch));

    window.show();
    QImage preview = window.grab().toImage();
    // The panes that the program puts inside the margins, as plain areas.
    QPainter painter(&preview);
    painter.fillRect(QRect(20, 30, 220, H - 30 - 84), SkinColor(GetSkinInfo()->m_clrTreeBg));
    painter.fillRect(QRect(244, 30, W - 20 - 244, H - 30 - 84), QColor(0, 0, 0));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(SkinColor(GetSkinInfo()->m_clrTitleText));
    painter.drawText(QRect(380, 0, W - 380 - 100, 30), Qt::AlignCenter, "ORVANTA");
    painter.end();
    return Save(preview, strFolder, "window-preview") && bOk;
}

} // namespace

int main(int nArgc, char** ppArgv)
{
    if (nArgc < 2 || nArgc > 3 || std::string(ppArgv[1]) == "--help")
    {
        std::fprintf(nArgc == 2 ? stdout : stderr,
                     "Usage: orvanta-skinshots OUTDIR [INSTALLDIR]\n"
                     "Renders the skinned widgets in their states and the window surface at "
                     "1010 x 640\nto PNG files in OUTDIR, with the skin below INSTALLDIR "
                     "(default: the current folder).\n");
        return nArgc == 2 ? 0 : 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QString strOut = QString::fromLocal8Bit(ppArgv[1]);
    if (!QDir().mkpath(strOut))
    {
        std::fprintf(stderr, "cannot create %s\n", ppArgv[1]);
        return 1;
    }
    g_strPath = CMyString(nArgc == 3 ? ppArgv[2] : ".");
    QApplication application(nArgc, ppArgv);

    bool bOk = RenderPictureButtons(strOut);
    bOk = RenderGradientButtons(strOut) && bOk;
    bOk = RenderSlider(strOut) && bOk;
    bOk = RenderMenu(strOut) && bOk;
    bOk = RenderDialogs(strOut) && bOk;
    bOk = RenderWindow(strOut) && bOk;
    return bOk ? 0 : 1;
}
