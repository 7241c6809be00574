#include "skin/SkinInfo.h"

#include "TestSupport.h"
#include "config/RegClass.h"
#include "text/MyXmlDom.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class SkinInfoTest : public ScratchHome
{
protected:
    // Writes the text as SkinInfo.xml in the scratch folder and answers its path.
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
} // namespace

TEST_F(SkinInfoTest, MissingOrUnusableFileKeepsEveryDefault)
{
    const std::vector<uint32_t> defaults =
        Colours(CSkinInfo(CMyString(Path("absent.xml").c_str())));
    // Not well-formed, another root name, and sections without a palette.
    for (const char* pszText : {"<SKIN_INFO><COLORS><A>1,2,3</A></COLORS>"
                                "<MAIN_BG_COLOR>A</MAIN_BG_COLOR>",
                                "<OTHER><COLORS><A>1,2,3</A></COLORS>"
                                "<MAIN_BG_COLOR>A</MAIN_BG_COLOR></OTHER>",
                                "<SKIN_INFO><TREE><BG_COLOR>A</BG_COLOR></TREE>"
                                "<A>1,2,3</A></SKIN_INFO>"})
        EXPECT_EQ(Colours(CSkinInfo(File(pszText))), defaults) << pszText;
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

    // The side bar's bottom names a colour the palette does not define: it keeps the default.
    const CSkinInfo defaults(CMyString(Path("absent.xml").c_str()));
    std::vector<uint32_t> expected = {5, 6, 1, 2, 4, 3, 1, 2, 3, 1,
                                      2, 5, 4, 1, 3, 2, 4, 5, 6, defaults.m_clrSideBarBottom};
    // The main and dialog buttons, then the toolbar's.
    expected.insert(expected.end(), {1, 2, 3, 4, 1, 5, 6,
                                     1, 2, 3, 4, 1, 5, 6,
                                     1, 2, 3, 4, 0, 5, defaults.m_ToolbarButtons.m_clrText2});
    EXPECT_EQ(Colours(skin), expected);
}

TEST_F(SkinInfoTest, PaletteTextParsing)
{
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadXml("<COLORS><Dark>10,20,30</Dark><Loose> 7, 8 ,9x,4</Loose>"
                            "<Junk>12abc,x,-1</Junk><Big>256,257,511</Big><One>10,20</One>"
                            "<None>102030</None><Empty></Empty></COLORS>"));
    const CXmlNode* pPalette = dom.GetRoot();
    // Names ignore case; red is the lowest byte. Components are read like atoi ("12abc" is 12,
    // "x" is 0) and only their low byte counts. Fewer than three components write nothing.
    const std::pair<const char*, uint32_t> cases[] = {
        {"dark", 0x1E140Au},    {"DARK", 0x1E140Au}, {"Loose", 0x090807u}, {"Junk", 0xFF000Cu},
        {"Big", 0xFF0100u},     {"One", 0xABCDEFu},  {"None", 0xABCDEFu},  {"Empty", 0xABCDEFu},
        {"Missing", 0xABCDEFu}, {"", 0xABCDEFu}};
    for (const auto& [pszName, clrExpected] : cases)
    {
        uint32_t clr = 0xABCDEFu;
        ReadPaletteColor(pPalette, pszName, &clr);
        EXPECT_EQ(clr, clrExpected) << pszName;
    }
    ReadPaletteColor(pPalette, "Dark", nullptr);
    uint32_t clr = 5;
    ReadPaletteColor(nullptr, "Dark", &clr);
    EXPECT_EQ(clr, 5u);
}

TEST_F(SkinInfoTest, InstallPathComesFromSettingsWhenEmpty)
{
    // The scratch settings store names the scratch folder as install path.
    ASSERT_EQ(RegClass(RegHive::CurrentUser, "SOFTWARE\\ORVANTA")
                  .WriteValue("", "Install Path", m_root.c_str()),
              0);
    Write("res/Skin/SkinInfo.xml", "<SKIN_INFO><COLORS><Dark>10,20,30</Dark></COLORS>"
                                   "<MAIN_BG_COLOR>Dark</MAIN_BG_COLOR></SKIN_INFO>");

    g_strPath.Empty();
    const CSkinInfo skin;
    EXPECT_STREQ(g_strPath.GetBuffer(), m_root.c_str());
    EXPECT_EQ(skin.m_clrMainBg, 0x1E140Au);

    // The process-wide skin reads the same file and is always the same object.
    CSkinInfo* pSkin = GetSkinInfo();
    EXPECT_EQ(pSkin->m_clrMainBg, 0x1E140Au);
    EXPECT_EQ(GetSkinInfo(), pSkin);
    g_strPath.Empty();
}
