#include "skin/SkinInfo.h"

#include "TestSupport.h"
#include "config/RegClass.h"
#include "text/MyXmlDom.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace
{
class SkinInfoTest : public ScratchHome
{
protected:
    CMyString File(const std::string& strText) const
    {
        Write("SkinInfo.xml", strText);
        return CMyString(Path("SkinInfo.xml").c_str());
    }
};

// Every colour of the skin: the single ones in declaration order, then the main, dialog and
// toolbar button sets (normal top and bottom, hover top and bottom, double text, text, text 2).
std::vector<uint32_t> Colours(const CSkinInfo& skin)
{
    std::vector<uint32_t> colours = {
        skin.m_clrTooltipBg,  skin.m_clrTooltipText,      skin.m_clrTreeBg,
        skin.m_clrTreeText,   skin.m_clrTreeSelectedText, skin.m_clrTreeSelectedBg,
        skin.m_clrDialogTop,  skin.m_clrDialogBottom,     skin.m_clrDialogText,
        skin.m_clrMainBg,     skin.m_clrTitleText,        skin.m_clrStatusText,
        skin.m_clrStatusBg,   skin.m_clrMenuBg,           skin.m_clrMenuSelectedBg,
        skin.m_clrMenuText,   skin.m_clrMenuSelectedText, skin.m_clrMenuDisabledText,
        skin.m_clrSideBarTop, skin.m_clrSideBarBottom};
    for (const CButtonColorSet* pSet :
         {&skin.m_MainButtons, &skin.m_DialogButtons, &skin.m_ToolbarButtons})
        colours.insert(colours.end(), {pSet->m_clrNormalTop, pSet->m_clrNormalBottom,
                                       pSet->m_clrHoverTop, pSet->m_clrHoverBottom,
                                       pSet->m_bDoubleText, pSet->m_clrText, pSet->m_clrText2});
    return colours;
}

std::vector<uint32_t> DefaultColours()
{
    return Colours(CSkinInfo(CMyString("/nonexistent/SkinInfo.xml")));
}
} // namespace

TEST_F(SkinInfoTest, MissingOrUnusableFileKeepsEveryDefault)
{
    // Not well-formed, another root name, and sections without a palette.
    for (const char* pszText : {"<SKIN_INFO><COLORS><A>1,2,3</A></COLORS>"
                                "<MAIN_BG_COLOR>A</MAIN_BG_COLOR>",
                                "<OTHER><COLORS><A>1,2,3</A></COLORS>"
                                "<MAIN_BG_COLOR>A</MAIN_BG_COLOR></OTHER>",
                                "<SKIN_INFO><TREE><BG_COLOR>A</BG_COLOR></TREE>"
                                "<A>1,2,3</A></SKIN_INFO>"})
        EXPECT_EQ(Colours(CSkinInfo(File(pszText))), DefaultColours()) << pszText;
}

TEST_F(SkinInfoTest, FullFileFillsEverySection)
{
    const std::string strBlock = "<NORMAL><GRADIENT_TOP>c1</GRADIENT_TOP><GRADIENT_BOTTOM>c2"
                                 "</GRADIENT_BOTTOM></NORMAL><HOVER><GRADIENT_TOP>c3"
                                 "</GRADIENT_TOP><GRADIENT_BOTTOM>c4</GRADIENT_BOTTOM></HOVER>"
                                 "<TEXT><TEXT_COLOR>c5</TEXT_COLOR><DOUBLE_TEXT>TRUE"
                                 "</DOUBLE_TEXT><TEXT_COLOR2>c6</TEXT_COLOR2></TEXT>";
    // The toolbar's block says "yes", which is not "true": no double text, and no second colour.
    std::string strToolbarBlock = strBlock;
    strToolbarBlock.replace(strToolbarBlock.find("TRUE"), 4, "yes");
    std::string strPalette = "<COLORS>";
    for (const char* pszNumber : {"1", "2", "3", "4", "5", "6"})
        strPalette += std::string("<C") + pszNumber + ">" + pszNumber + ",0,0</C" + pszNumber + ">";
    strPalette += "</COLORS>";
    const CSkinInfo skin(File(
        "<skin_info><TOOLBAR><BUTTONS>" + strToolbarBlock + "</BUTTONS></TOOLBAR>" + strPalette +
        "<MAIN_BG_COLOR>c1</MAIN_BG_COLOR><TITLE_TEXT_COLOR>c2</TITLE_TEXT_COLOR>"
        "<BUTTONS>" +
        strBlock +
        "</BUTTONS>"
        "<TREE><BG_COLOR>c1</BG_COLOR><TEXT_COLOR>c2</TEXT_COLOR><SELECTED_BG_COLOR>c3"
        "</SELECTED_BG_COLOR><TEXT_SELECTED_COLOR>c4</TEXT_SELECTED_COLOR></TREE>"
        "<TOOLTIP><BG_COLOR>c5</BG_COLOR><TEXT_COLOR>c6</TEXT_COLOR></TOOLTIP>"
        "<DIALOGS><GRADIENT_TOP>c1</GRADIENT_TOP><GRADIENT_BOTTOM>c2</GRADIENT_BOTTOM>"
        "<TEXT_COLOR>c3</TEXT_COLOR><BUTTONS>" +
        strBlock +
        "</BUTTONS></DIALOGS>"
        "<STATUS_AREA><BG_COLOR>c4</BG_COLOR><TEXT_COLOR>c5</TEXT_COLOR></STATUS_AREA>"
        "<SEARCH_MENU><BG_COLOR>c1</BG_COLOR><TEXT_COLOR>c2</TEXT_COLOR><SELECTED_BG_COLOR>c3"
        "</SELECTED_BG_COLOR><TEXT_SELECTED_COLOR>c4</TEXT_SELECTED_COLOR><TEXT_DISABLED_COLOR>"
        "c5</TEXT_DISABLED_COLOR><SIDE_BAR><GRADIENT_TOP>c6</GRADIENT_TOP><GRADIENT_BOTTOM>"
        "unknown</GRADIENT_BOTTOM></SIDE_BAR></SEARCH_MENU></skin_info>"));

    // A name the palette does not define (the side bar's bottom) keeps the default.
    const std::vector<uint32_t> defaults = DefaultColours();
    std::vector<uint32_t> expected = {5, 6, 1, 2, 4, 3, 1, 2, 3, 1,
                                      2, 5, 4, 1, 3, 2, 4, 5, 6, defaults[19]};
    expected.insert(expected.end(),
                    {1, 2, 3, 4, 1, 5, 6, 1, 2, 3, 4, 1, 5, 6, 1, 2, 3, 4, 0, 5, defaults.back()});
    EXPECT_EQ(Colours(skin), expected);
}

TEST_F(SkinInfoTest, PaletteTextParsing)
{
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadXml("<COLORS><Dark>10,20,30</Dark><Loose> 7, 8 ,9x,4</Loose>"
                            "<Junk>12abc,x,-1</Junk><Big>256,257,511</Big><One>10,20</One>"
                            "<None>102030</None><Empty></Empty></COLORS>"));
    // Names ignore case; red is the lowest byte. Components are read like atoi ("12abc" is 12,
    // "x" is 0) and only their low byte counts. Fewer than three components write nothing.
    const std::pair<const char*, uint32_t> cases[] = {
        {"dark", 0x1E140Au},    {"DARK", 0x1E140Au}, {"Loose", 0x090807u}, {"Junk", 0xFF000Cu},
        {"Big", 0xFF0100u},     {"One", 0xABCDEFu},  {"None", 0xABCDEFu},  {"Empty", 0xABCDEFu},
        {"Missing", 0xABCDEFu}, {"", 0xABCDEFu}};
    for (const auto& [pszName, clrExpected] : cases)
    {
        uint32_t clr = 0xABCDEFu;
        ReadPaletteColor(dom.GetRoot(), pszName, &clr);
        EXPECT_EQ(clr, clrExpected) << pszName;
    }
    ReadPaletteColor(dom.GetRoot(), "Dark", nullptr);
    uint32_t clr = 5;
    ReadPaletteColor(nullptr, "Dark", &clr);
    EXPECT_EQ(clr, 5u);
}

TEST_F(SkinInfoTest, InstallPathComesFromSettingsWhenEmpty)
{
    ASSERT_EQ(RegClass(RegHive::CurrentUser, "SOFTWARE\\ORVANTA")
                  .WriteValue("", "Install Path", m_root.c_str()),
              0);
    Write("res/Skin/SkinInfo.xml", "<SKIN_INFO><COLORS><Dark>10,20,30</Dark></COLORS>"
                                   "<MAIN_BG_COLOR>Dark</MAIN_BG_COLOR></SKIN_INFO>");
    g_strPath.Empty();
    const CSkinInfo skin;
    EXPECT_STREQ(g_strPath.GetBuffer(), m_root.c_str());
    EXPECT_EQ(skin.m_clrMainBg, 0x1E140Au);
    g_strPath.Empty();
}

namespace
{
// A picture of the shipped skin, checked to be there under its exact name (the file system here
// tells case apart).
QImage SkinPicture(const std::string& strName)
{
    const std::string strPath = ORVANTA_SOURCE_DIR "/res/Skin/" + strName;
    EXPECT_TRUE(std::filesystem::is_regular_file(strPath)) << strPath;
    return QImage(QString::fromStdString(strPath));
}

const CSkinInfo& ShippedSkin()
{
    static const CSkinInfo s_skin(CMyString(ORVANTA_SOURCE_DIR "/res/Skin/SkinInfo.xml"));
    return s_skin;
}

// The strip colour the pictures were rendered on.
const QRgb g_rgbStrip = qRgb(30, 34, 41);
} // namespace

TEST(ShippedSkinTest, TheShippedSkinUsesEverySection)
{
    const std::vector<uint32_t> shipped = Colours(ShippedSkin());
    const std::vector<uint32_t> defaults = DefaultColours();
    for (size_t i = 0; i < shipped.size(); ++i)
    {
        const bool bDoubleText = i >= 20 && (i - 20) % 7 == 4;
        EXPECT_TRUE(bDoubleText ? shipped[i] == 1u : shipped[i] != defaults[i]) << i;
    }
    EXPECT_EQ(ShippedSkin().m_clrMainBg, SkinRgb(30, 34, 41));
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
    // The frame under the bottom controls.
    for (const char* pszName : {"MidTop.gif", "MidLeft.gif", "MidRight.gif", "Left3.gif",
                                "Right3.gif", "Bottom.gif", "CornerLeft.gif", "CornerRight.gif"})
    {
        const QImage piece = SkinPicture(pszName);
        EXPECT_EQ(piece.pixel(piece.width() / 2, piece.height() / 2), g_rgbStrip) << pszName;
    }
    const QImage face = SkinPicture("SliderBG.gif");
    EXPECT_EQ(face.pixel(0, 0), g_rgbStrip);
    EXPECT_EQ(face.pixel(18, 62), g_rgbStrip);

    // Banner frame corners: the ring is opaque, the part over the banner is see-through, so the
    // corners also vanish when there is no banner.
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
    }
    // The search picture is a shape on a see-through ground.
    const QImage search(ORVANTA_SOURCE_DIR "/res/MoviesSearch.gif");
    EXPECT_TRUE(search.size() == QSize(24, 24) && qAlpha(search.pixel(0, 23)) == 0 &&
                qAlpha(search.pixel(15, 15)) == 255);
}

TEST(ShippedSkinTest, ButtonStatesDifferAndStandOnTheColourUnderThem)
{
    // Those from Close on stand at y = 8 on the top strip, the others on the bottom strip.
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
            const QPoint ptLast(nWidth - 1, nHeight - 1);
            // The pressed picture is moved one pixel down: its top row is not the strip.
            const bool bOnItsStrip =
                bOnTopStrip ? i != 0 || (states[i].pixel(0, 0) == barTop.pixel(0, 8) &&
                                         states[i].pixel(ptLast) == barTop.pixel(0, 8 + ptLast.y()))
                            : states[i].pixel(0, ptLast.y()) == g_rgbStrip &&
                                  states[i].pixel(ptLast) == g_rgbStrip &&
                                  (i == 2 || states[i].pixel(0, 0) == g_rgbStrip);
            EXPECT_TRUE(bOnItsStrip) << apszStates[i];
            states[i] = states[i].convertToFormat(QImage::Format_RGB32);
        }
        EXPECT_TRUE(states[0] != states[1] && states[0] != states[2] && states[1] != states[2]);
    }
}
