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
#include <tuple>

namespace
{
const std::string g_strSourceDir = ORVANTA_SOURCE_DIR;

// The picture at res/Skin/strName, checked to be there under its exact name (the file system
// here tells case apart).
QImage SkinPicture(const std::string& strName)
{
    const std::string strPath = g_strSourceDir + "/res/Skin/" + strName;
    EXPECT_TRUE(std::filesystem::is_regular_file(strPath)) << strPath;
    return QImage(QString::fromStdString(strPath));
}

const CSkinInfo& ShippedSkin()
{
    static const CSkinInfo s_skin(CMyString((g_strSourceDir + "/res/Skin/SkinInfo.xml").c_str()));
    return s_skin;
}

QRgb StripColour()
{
    const uint32_t clr = ShippedSkin().m_clrMainBg;
    return qRgb(static_cast<int>(clr & 0xFFu), static_cast<int>((clr >> 8) & 0xFFu),
                static_cast<int>((clr >> 16) & 0xFFu));
}

TEST(ShippedSkinTest, TheShippedSkinUsesEverySection)
{
    const CSkinInfo defaults(CMyString("/nonexistent/SkinInfo.xml"));
    const CSkinInfo& skin = ShippedSkin();
    using Field = uint32_t CSkinInfo::*;
    const Field fields[] = {&CSkinInfo::m_clrTooltipBg,        &CSkinInfo::m_clrTooltipText,
                            &CSkinInfo::m_clrTreeBg,           &CSkinInfo::m_clrTreeText,
                            &CSkinInfo::m_clrTreeSelectedText, &CSkinInfo::m_clrTreeSelectedBg,
                            &CSkinInfo::m_clrDialogTop,        &CSkinInfo::m_clrDialogBottom,
                            &CSkinInfo::m_clrDialogText,       &CSkinInfo::m_clrMainBg,
                            &CSkinInfo::m_clrTitleText,        &CSkinInfo::m_clrStatusText,
                            &CSkinInfo::m_clrStatusBg,         &CSkinInfo::m_clrMenuBg,
                            &CSkinInfo::m_clrMenuSelectedBg,   &CSkinInfo::m_clrMenuText,
                            &CSkinInfo::m_clrMenuSelectedText, &CSkinInfo::m_clrMenuDisabledText,
                            &CSkinInfo::m_clrSideBarTop,       &CSkinInfo::m_clrSideBarBottom};
    for (const Field& pField : fields)
        EXPECT_NE(skin.*pField, defaults.*pField) << "field " << &pField - fields;

    using SetField = uint32_t CButtonColorSet::*;
    const CButtonColorSet defaultSet;
    for (const auto& [pszName, pSet] : {std::pair("BUTTONS", &skin.m_MainButtons),
                                        std::pair("DIALOGS/BUTTONS", &skin.m_DialogButtons),
                                        std::pair("TOOLBAR/BUTTONS", &skin.m_ToolbarButtons)})
    {
        for (SetField pField :
             {&CButtonColorSet::m_clrNormalTop, &CButtonColorSet::m_clrNormalBottom,
              &CButtonColorSet::m_clrHoverTop, &CButtonColorSet::m_clrHoverBottom,
              &CButtonColorSet::m_clrText, &CButtonColorSet::m_clrText2})
            EXPECT_NE(pSet->*pField, defaultSet.*pField) << pszName;
        EXPECT_EQ(pSet->m_bDoubleText, 1u) << pszName;
    }

    // The strip colour is the one the pictures were rendered on.
    EXPECT_EQ(skin.m_clrMainBg, SkinRgb(30, 34, 41));
}

// Picture-only buttons are copied over the frame as they are, so their own background must be
// exactly what the frame has there, or a box shows around every control.
TEST(ShippedSkinTest, FramePiecesHaveTheirSizesAndTheStripColourUnderTheControls)
{
    const std::tuple<const char*, int, int> pieces[] = {
        {"BarLeft.gif", 20, 30},       {"BarRight.gif", 20, 30},       {"BarTop.gif", 4, 30},
        {"Left2.gif", 20, 8},          {"Right2.gif", 20, 8},          {"MidLeft.gif", 20, 20},
        {"MidRight.gif", 20, 20},      {"MidTop.gif", 4, 20},          {"Left3.gif", 20, 8},
        {"Right3.gif", 20, 8},         {"CornerLeft.gif", 20, 24},     {"CornerRight.gif", 20, 24},
        {"Bottom.gif", 4, 24},         {"FrameTopLeft.gif", 8, 8},     {"FrameTopRight.gif", 8, 8},
        {"FrameBottomLeft.gif", 8, 8}, {"FrameBottomRight.gif", 8, 8}, {"FrameTop.gif", 4, 3},
        {"FrameLeft.gif", 3, 4},       {"SliderBG.gif", 19, 63},       {"SliderButton.Gif", 15, 9}};
    for (const auto& [pszName, nWidth, nHeight] : pieces)
        EXPECT_EQ(SkinPicture(pszName).size(), QSize(nWidth, nHeight)) << pszName;

    // The frame under the bottom controls: band (below its top lines), control strip ends and
    // bottom edge (above its last row), and the slider's face.
    for (const char* pszName : {"MidTop.gif", "MidLeft.gif", "MidRight.gif", "Left3.gif",
                                "Right3.gif", "Bottom.gif", "CornerLeft.gif", "CornerRight.gif"})
    {
        const QImage piece = SkinPicture(pszName);
        EXPECT_EQ(piece.pixel(piece.width() / 2, piece.height() / 2), StripColour()) << pszName;
    }
    const QImage face = SkinPicture("SliderBG.gif");
    EXPECT_EQ(face.pixel(0, 0), StripColour());
    EXPECT_EQ(face.pixel(18, 62), StripColour());

    // Banner frame corners: the ring is opaque, the part over the banner is see-through, so the
    // corners also vanish when there is no banner and they are drawn at the window's top left.
    const std::tuple<const char*, int, int, int, int> corners[] = {
        {"FrameTopLeft.gif", 0, 7, 7, 7},
        {"FrameTopRight.gif", 7, 7, 0, 7},
        {"FrameBottomLeft.gif", 0, 0, 7, 0},
        {"FrameBottomRight.gif", 7, 0, 0, 0}};
    for (const auto& [pszName, nRingX, nRingY, nInsideX, nInsideY] : corners)
    {
        const QImage picture = SkinPicture(pszName);
        EXPECT_EQ(qAlpha(picture.pixel(nRingX, nRingY)), 255) << pszName;
        EXPECT_EQ(qAlpha(picture.pixel(nInsideX, nInsideY)), 0) << pszName;
        EXPECT_EQ(qAlpha(picture.pixel(4, 4)), 0) << pszName;
    }

    // The thumb has rounded ends over the slider face; the search picture is a shape.
    const QImage thumb = SkinPicture("SliderButton.Gif");
    EXPECT_EQ(qAlpha(thumb.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(thumb.pixel(7, 4)), 255);
    const QImage search(QString::fromStdString(g_strSourceDir + "/res/MoviesSearch.gif"));
    ASSERT_EQ(search.size(), QSize(24, 24));
    EXPECT_EQ(qAlpha(search.pixel(0, 23)), 0);
    EXPECT_EQ(qAlpha(search.pixel(15, 15)), 255);
}

TEST(ShippedSkinTest, ButtonStatesDifferAndStandOnTheColourUnderThem)
{
    // Those from Close on stand on the top strip, the others on the bottom strip.
    const std::tuple<const char*, int, int> buttons[] = {
        {"Stop", 55, 63},       {"Play", 52, 63},    {"Prev", 52, 63},    {"Next", 52, 63},
        {"FullScreen", 55, 63}, {"MuteOn", 32, 63},  {"MuteOff", 32, 63}, {"PresetOn", 29, 30},
        {"PresetOff", 29, 30},  {"Station", 29, 34}, {"Close", 17, 17},   {"Minimize", 17, 17},
        {"Maximize", 17, 17},   {"Restore", 17, 17},
    };
    const QImage barTop = SkinPicture("BarTop.gif");
    bool bOnTopStrip = false;
    for (const auto& [pszName, nWidth, nHeight] : buttons)
    {
        SCOPED_TRACE(pszName);
        bOnTopStrip = bOnTopStrip || std::string(pszName) == "Close";
        QImage states[3];
        for (int i = 0; i < 3; ++i)
        {
            const char* apszStates[] = {"", "Hover", "Pressed"};
            states[i] = SkinPicture(pszName + std::string(apszStates[i]) + ".Gif");
            ASSERT_EQ(states[i].size(), QSize(nWidth, nHeight)) << apszStates[i];
            const int nRight = nWidth - 1;
            const int nBottom = nHeight - 1;
            if (!bOnTopStrip)
            {
                EXPECT_EQ(states[i].pixel(0, nBottom), StripColour()) << apszStates[i];
                EXPECT_EQ(states[i].pixel(nRight, nBottom), StripColour()) << apszStates[i];
                // The pressed picture is moved one pixel down; its top row is the strip too.
                if (i != 2)
                {
                    EXPECT_EQ(states[i].pixel(0, 0), StripColour()) << apszStates[i];
                }
            }
            else if (i == 0)
            {
                // Caption buttons stand at y = 8 on the top strip.
                EXPECT_EQ(states[i].pixel(0, 0), barTop.pixel(0, 8));
                EXPECT_EQ(states[i].pixel(nRight, nBottom), barTop.pixel(0, 8 + nBottom));
            }
            states[i] = states[i].convertToFormat(QImage::Format_RGB32);
        }
        EXPECT_NE(states[0], states[1]);
        EXPECT_NE(states[0], states[2]);
        EXPECT_NE(states[1], states[2]);
    }
}
} // namespace
