// Checks the skin that ships in res/: its colour file uses every section, and every picture the
// program loads by name is there, at the size its control has, standing on the colour that lies
// under it in the window.
#include "skin/SkinInfo.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
const std::string g_strSourceDir = ORVANTA_SOURCE_DIR;

std::string SkinFile(const std::string& strName)
{
    return g_strSourceDir + "/res/Skin/" + strName;
}

QImage LoadPicture(const std::string& strPath)
{
    return QImage(QString::fromStdString(strPath));
}

QRgb ToQRgb(uint32_t clrSkin)
{
    return qRgb(static_cast<int>(clrSkin & 0xFFu), static_cast<int>((clrSkin >> 8) & 0xFFu),
                static_cast<int>((clrSkin >> 16) & 0xFFu));
}

struct PictureSize
{
    const char* pszName;
    int nWidth;
    int nHeight;
};

// Buttons with a normal, a hover and a pressed picture.
const std::vector<PictureSize> g_vecButtons = {
    {"Stop", 55, 63},       {"Play", 52, 63},    {"Prev", 52, 63},    {"Next", 52, 63},
    {"FullScreen", 55, 63}, {"MuteOn", 32, 63},  {"MuteOff", 32, 63}, {"PresetOn", 29, 30},
    {"PresetOff", 29, 30},  {"Station", 29, 34}, {"Close", 17, 17},   {"Minimize", 17, 17},
    {"Maximize", 17, 17},   {"Restore", 17, 17},
};

// The buttons that stand on the bottom strip (the others stand on the top strip).
bool StandsOnStrip(const std::string& strName)
{
    return strName != "Close" && strName != "Minimize" && strName != "Maximize" &&
           strName != "Restore";
}

const char* const g_apszStates[] = {"", "Hover", "Pressed"};

TEST(ShippedSkinTest, TheShippedSkinUsesEverySection)
{
    const CSkinInfo defaults(CMyString("/nonexistent/SkinInfo.xml"));
    const CSkinInfo skin(CMyString(SkinFile("SkinInfo.xml").c_str()));

    const std::vector<std::pair<const char*, uint32_t CSkinInfo::*>> vecFields = {
        {"tooltip bg", &CSkinInfo::m_clrTooltipBg},
        {"tooltip text", &CSkinInfo::m_clrTooltipText},
        {"tree bg", &CSkinInfo::m_clrTreeBg},
        {"tree text", &CSkinInfo::m_clrTreeText},
        {"tree selected text", &CSkinInfo::m_clrTreeSelectedText},
        {"tree selected bg", &CSkinInfo::m_clrTreeSelectedBg},
        {"dialog top", &CSkinInfo::m_clrDialogTop},
        {"dialog bottom", &CSkinInfo::m_clrDialogBottom},
        {"dialog text", &CSkinInfo::m_clrDialogText},
        {"main bg", &CSkinInfo::m_clrMainBg},
        {"title text", &CSkinInfo::m_clrTitleText},
        {"status text", &CSkinInfo::m_clrStatusText},
        {"status bg", &CSkinInfo::m_clrStatusBg},
        {"menu bg", &CSkinInfo::m_clrMenuBg},
        {"menu selected bg", &CSkinInfo::m_clrMenuSelectedBg},
        {"menu text", &CSkinInfo::m_clrMenuText},
        {"menu selected text", &CSkinInfo::m_clrMenuSelectedText},
        {"menu disabled text", &CSkinInfo::m_clrMenuDisabledText},
        {"side bar top", &CSkinInfo::m_clrSideBarTop},
        {"side bar bottom", &CSkinInfo::m_clrSideBarBottom},
    };
    for (const auto& [pszName, pField] : vecFields)
        EXPECT_NE(skin.*pField, defaults.*pField) << pszName << " kept its default";

    const std::vector<std::pair<const char*, CButtonColorSet CSkinInfo::*>> vecSets = {
        {"BUTTONS", &CSkinInfo::m_MainButtons},
        {"DIALOGS/BUTTONS", &CSkinInfo::m_DialogButtons},
        {"TOOLBAR/BUTTONS", &CSkinInfo::m_ToolbarButtons},
    };
    const CButtonColorSet defaultSet;
    for (const auto& [pszName, pSet] : vecSets)
    {
        const CButtonColorSet& colorSet = skin.*pSet;
        SCOPED_TRACE(pszName);
        EXPECT_NE(colorSet.m_clrNormalTop, defaultSet.m_clrNormalTop);
        EXPECT_NE(colorSet.m_clrNormalBottom, defaultSet.m_clrNormalBottom);
        EXPECT_NE(colorSet.m_clrHoverTop, defaultSet.m_clrHoverTop);
        EXPECT_NE(colorSet.m_clrHoverBottom, defaultSet.m_clrHoverBottom);
        EXPECT_EQ(colorSet.m_bDoubleText, 1u);
        EXPECT_NE(colorSet.m_clrText, defaultSet.m_clrText);
        EXPECT_NE(colorSet.m_clrText2, defaultSet.m_clrText2);
    }

    // The strip colour is the one the pictures were rendered on.
    EXPECT_EQ(skin.m_clrMainBg, SkinRgb(30, 34, 41));
}

TEST(ShippedSkinTest, EveryPictureIsThereWithItsExactNameAndSize)
{
    std::vector<PictureSize> vecPictures = {
        {"BarLeft.gif", 20, 30},       {"BarRight.gif", 20, 30},       {"BarTop.gif", 4, 30},
        {"Left2.gif", 20, 8},          {"Right2.gif", 20, 8},          {"MidLeft.gif", 20, 20},
        {"MidRight.gif", 20, 20},      {"MidTop.gif", 4, 20},          {"Left3.gif", 20, 8},
        {"Right3.gif", 20, 8},         {"CornerLeft.gif", 20, 24},     {"CornerRight.gif", 20, 24},
        {"Bottom.gif", 4, 24},         {"FrameTopLeft.gif", 8, 8},     {"FrameTopRight.gif", 8, 8},
        {"FrameBottomLeft.gif", 8, 8}, {"FrameBottomRight.gif", 8, 8}, {"FrameTop.gif", 4, 3},
        {"FrameLeft.gif", 3, 4},       {"SliderBG.gif", 19, 63},       {"SliderButton.Gif", 15, 9},
    };
    std::vector<std::string> vecNames;
    for (const PictureSize& picture : vecPictures)
        vecNames.push_back(picture.pszName);
    for (const PictureSize& button : g_vecButtons)
        for (const char* pszState : g_apszStates)
        {
            vecNames.push_back(std::string(button.pszName) + pszState + ".Gif");
            vecPictures.push_back({vecNames.back().c_str(), button.nWidth, button.nHeight});
        }
    // vecNames no longer grows, so the names the table points to stay put.
    for (size_t u = 0; u < vecPictures.size(); ++u)
        vecPictures[u].pszName = vecNames[u].c_str();

    for (const PictureSize& picture : vecPictures)
    {
        const std::string strPath = SkinFile(picture.pszName);
        SCOPED_TRACE(strPath);
        // Exact name: the file system here tells case apart.
        ASSERT_TRUE(std::filesystem::is_regular_file(strPath));
        const QImage image = LoadPicture(strPath);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), picture.nWidth);
        EXPECT_EQ(image.height(), picture.nHeight);
    }

    const QImage search = LoadPicture(g_strSourceDir + "/res/MoviesSearch.gif");
    ASSERT_FALSE(search.isNull());
    EXPECT_EQ(search.size().width(), 24);
    EXPECT_EQ(search.size().height(), 24);
}

// Picture-only buttons are copied over the frame as they are, so their own background must be
// exactly what the frame has there, or a box shows around every control.
TEST(ShippedSkinTest, ButtonsStandOnTheColourUnderThem)
{
    const CSkinInfo skin(CMyString(SkinFile("SkinInfo.xml").c_str()));
    const QRgb rgbStrip = ToQRgb(skin.m_clrMainBg);

    // The frame under the bottom controls: band (below its top lines), control strip ends and
    // bottom edge (above its last row).
    for (const char* pszName : {"MidTop.gif", "MidLeft.gif", "MidRight.gif", "Left3.gif",
                                "Right3.gif", "Bottom.gif", "CornerLeft.gif", "CornerRight.gif"})
    {
        const QImage piece = LoadPicture(SkinFile(pszName));
        ASSERT_FALSE(piece.isNull()) << pszName;
        EXPECT_EQ(piece.pixel(piece.width() / 2, piece.height() / 2), rgbStrip) << pszName;
    }

    const QImage barTop = LoadPicture(SkinFile("BarTop.gif"));
    ASSERT_FALSE(barTop.isNull());
    for (const PictureSize& button : g_vecButtons)
        for (const char* pszState : g_apszStates)
        {
            const std::string strName = std::string(button.pszName) + pszState + ".Gif";
            SCOPED_TRACE(strName);
            const QImage picture = LoadPicture(SkinFile(strName));
            ASSERT_FALSE(picture.isNull());
            const int nRight = picture.width() - 1;
            const int nBottom = picture.height() - 1;
            if (StandsOnStrip(button.pszName))
            {
                EXPECT_EQ(picture.pixel(0, nBottom), rgbStrip);
                EXPECT_EQ(picture.pixel(nRight, nBottom), rgbStrip);
                // The pressed picture is moved one pixel down; its top row is the strip too.
                if (std::string(pszState) != "Pressed")
                {
                    EXPECT_EQ(picture.pixel(0, 0), rgbStrip);
                }
            }
            else if (std::string(pszState).empty())
            {
                // Caption buttons stand at y = 8 on the top strip.
                EXPECT_EQ(picture.pixel(0, 0), barTop.pixel(0, 8));
                EXPECT_EQ(picture.pixel(nRight, nBottom), barTop.pixel(0, 8 + nBottom));
            }
        }

    const QImage face = LoadPicture(SkinFile("SliderBG.gif"));
    ASSERT_FALSE(face.isNull());
    EXPECT_EQ(face.pixel(0, 0), rgbStrip);
    EXPECT_EQ(face.pixel(18, 62), rgbStrip);
}

TEST(ShippedSkinTest, StatesLookDifferentAndShapesAreCutOut)
{
    for (const PictureSize& button : g_vecButtons)
    {
        const QImage normal = LoadPicture(SkinFile(std::string(button.pszName) + ".Gif"));
        const QImage hover = LoadPicture(SkinFile(std::string(button.pszName) + "Hover.Gif"));
        const QImage pressed = LoadPicture(SkinFile(std::string(button.pszName) + "Pressed.Gif"));
        ASSERT_FALSE(normal.isNull() || hover.isNull() || pressed.isNull()) << button.pszName;
        EXPECT_NE(normal.convertToFormat(QImage::Format_RGB32),
                  hover.convertToFormat(QImage::Format_RGB32))
            << button.pszName;
        EXPECT_NE(normal.convertToFormat(QImage::Format_RGB32),
                  pressed.convertToFormat(QImage::Format_RGB32))
            << button.pszName;
        EXPECT_NE(hover.convertToFormat(QImage::Format_RGB32),
                  pressed.convertToFormat(QImage::Format_RGB32))
            << button.pszName;
    }

    // Banner frame corners: the ring is opaque, the part over the banner is see-through, so the
    // corners also vanish when there is no banner and they are drawn at the window's top left.
    struct Corner
    {
        const char* pszName;
        int nRingX, nRingY, nInsideX, nInsideY;
    };
    for (const Corner& corner :
         {Corner{"FrameTopLeft.gif", 0, 7, 7, 7}, Corner{"FrameTopRight.gif", 7, 7, 0, 7},
          Corner{"FrameBottomLeft.gif", 0, 0, 7, 0}, Corner{"FrameBottomRight.gif", 7, 0, 0, 0}})
    {
        const QImage picture = LoadPicture(SkinFile(corner.pszName));
        ASSERT_FALSE(picture.isNull()) << corner.pszName;
        EXPECT_EQ(qAlpha(picture.pixel(corner.nRingX, corner.nRingY)), 255) << corner.pszName;
        EXPECT_EQ(qAlpha(picture.pixel(corner.nInsideX, corner.nInsideY)), 0) << corner.pszName;
        EXPECT_EQ(qAlpha(picture.pixel(4, 4)), 0) << corner.pszName;
    }

    // The thumb has rounded ends over the slider face; the search picture is a shape.
    const QImage thumb = LoadPicture(SkinFile("SliderButton.Gif"));
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(qAlpha(thumb.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(thumb.pixel(7, 4)), 255);
    const QImage search = LoadPicture(g_strSourceDir + "/res/MoviesSearch.gif");
    ASSERT_FALSE(search.isNull());
    EXPECT_EQ(qAlpha(search.pixel(0, 23)), 0);
    EXPECT_EQ(qAlpha(search.pixel(15, 15)), 255);
}
} // namespace
