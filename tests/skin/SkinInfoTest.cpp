#include "skin/SkinInfo.h"
#include "config/RegClass.h"
#include "text/MyXmlDom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace
{
class SkinInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string folder = ::testing::TempDir() + "skin-XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        m_folder = folder;
    }
    void TearDown() override
    {
        for (const auto& [strName, strValue] : m_savedEnvironment)
            setenv(strName.c_str(), strValue.c_str(), 1);
        std::filesystem::remove_all(m_folder);
    }

    // Points the user's folders into the temporary folder until the test ends.
    void UseOwnHome()
    {
        for (const char* pszName : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        {
            const char* pszValue = getenv(pszName);
            m_savedEnvironment.emplace_back(pszName, pszValue == nullptr ? "" : pszValue);
            setenv(pszName, (m_folder / pszName).c_str(), 1);
        }
    }

    // Writes the text as SkinInfo.xml in the temporary folder and answers its path.
    CMyString Write(const std::string& strText) const
    {
        const std::string strPath = (m_folder / "SkinInfo.xml").string();
        std::ofstream(strPath, std::ios::binary) << strText;
        return CMyString(strPath.c_str());
    }

    std::filesystem::path m_folder;
    std::vector<std::pair<std::string, std::string>> m_savedEnvironment;
};

void ExpectDefaultSet(const CButtonColorSet& colorSet)
{
    EXPECT_EQ(colorSet.m_clrNormalTop, 0xFFDBBCu);
    EXPECT_EQ(colorSet.m_clrNormalBottom, 0x90897Fu);
    EXPECT_EQ(colorSet.m_clrHoverTop, 0xFFFFF0u);
    EXPECT_EQ(colorSet.m_clrHoverBottom, 0xBBB2A5u);
    EXPECT_EQ(colorSet.m_bDoubleText, 0u);
    EXPECT_EQ(colorSet.m_clrText, 0u);
    EXPECT_EQ(colorSet.m_clrText2, 0xFFFFFFu);
}

void ExpectDefaults(const CSkinInfo& skin)
{
    const uint32_t clrLightBlue = 0xFFDBBCu;
    const uint32_t clrBlueGrey = 0x90897Fu;
    EXPECT_EQ(skin.m_clrTooltipBg, clrLightBlue);
    EXPECT_EQ(skin.m_clrTooltipText, 0u);
    EXPECT_EQ(skin.m_clrTreeBg, clrBlueGrey);
    EXPECT_EQ(skin.m_clrTreeText, 0u);
    EXPECT_EQ(skin.m_clrTreeSelectedText, 0u);
    EXPECT_EQ(skin.m_clrTreeSelectedBg, clrLightBlue);
    ExpectDefaultSet(skin.m_MainButtons);
    ExpectDefaultSet(skin.m_DialogButtons);
    ExpectDefaultSet(skin.m_ToolbarButtons);
    EXPECT_EQ(skin.m_clrDialogTop, clrLightBlue);
    EXPECT_EQ(skin.m_clrDialogBottom, clrBlueGrey);
    EXPECT_EQ(skin.m_clrDialogText, 0u);
    EXPECT_EQ(skin.m_clrMainBg, clrBlueGrey);
    EXPECT_EQ(skin.m_clrTitleText, 0xFFFFFFu);
    EXPECT_EQ(skin.m_clrStatusText, clrLightBlue);
    EXPECT_EQ(skin.m_clrStatusBg, 0u);
    EXPECT_EQ(skin.m_clrMenuBg, 0xFFFFFFu);
    EXPECT_EQ(skin.m_clrMenuSelectedBg, 0xC68C30u);
    EXPECT_EQ(skin.m_clrMenuText, 0u);
    EXPECT_EQ(skin.m_clrMenuSelectedText, 0xFFFFFFu);
    EXPECT_EQ(skin.m_clrMenuDisabledText, 0x808080u);
    EXPECT_EQ(skin.m_clrSideBarTop, clrLightBlue);
    EXPECT_EQ(skin.m_clrSideBarBottom, clrBlueGrey);
}
} // namespace

TEST_F(SkinInfoTest, MissingOrUnusableFileKeepsEveryDefault)
{
    ExpectDefaults(CSkinInfo((m_folder / "absent.xml").c_str()));
    // Not well-formed, another root name, and sections without a palette.
    ExpectDefaults(CSkinInfo(Write("<SKIN_INFO><COLORS><A>1,2,3</A></COLORS>"
                                   "<MAIN_BG_COLOR>A</MAIN_BG_COLOR>")));
    ExpectDefaults(CSkinInfo(Write("<OTHER><COLORS><A>1,2,3</A></COLORS>"
                                   "<MAIN_BG_COLOR>A</MAIN_BG_COLOR></OTHER>")));
    ExpectDefaults(CSkinInfo(Write("<SKIN_INFO><TREE><BG_COLOR>A</BG_COLOR></TREE>"
                                   "<A>1,2,3</A></SKIN_INFO>")));
}

TEST_F(SkinInfoTest, FullFileFillsEverySection)
{
    const std::string strBlock = "<NORMAL><GRADIENT_TOP>c1</GRADIENT_TOP><GRADIENT_BOTTOM>c2"
                                 "</GRADIENT_BOTTOM></NORMAL><HOVER><GRADIENT_TOP>c3"
                                 "</GRADIENT_TOP><GRADIENT_BOTTOM>c4</GRADIENT_BOTTOM></HOVER>"
                                 "<TEXT><TEXT_COLOR>c5</TEXT_COLOR><DOUBLE_TEXT>TRUE"
                                 "</DOUBLE_TEXT><TEXT_COLOR2>c6</TEXT_COLOR2></TEXT>";
    std::string strPalette = "<COLORS>";
    for (int i = 1; i <= 6; ++i)
        strPalette += "<C" + std::to_string(i) + ">" + std::to_string(i) + ",0,0</C" +
                      std::to_string(i) + ">";
    strPalette += "</COLORS>";
    const CSkinInfo skin(Write(
        "<skin_info><TOOLBAR><BUTTONS>" + strBlock + "</BUTTONS></TOOLBAR>" + strPalette +
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

    EXPECT_EQ(skin.m_clrMainBg, 1u);
    EXPECT_EQ(skin.m_clrTitleText, 2u);
    for (const CButtonColorSet* pSet :
         {&skin.m_MainButtons, &skin.m_DialogButtons, &skin.m_ToolbarButtons})
    {
        EXPECT_EQ(pSet->m_clrNormalTop, 1u);
        EXPECT_EQ(pSet->m_clrNormalBottom, 2u);
        EXPECT_EQ(pSet->m_clrHoverTop, 3u);
        EXPECT_EQ(pSet->m_clrHoverBottom, 4u);
        EXPECT_EQ(pSet->m_clrText, 5u);
        EXPECT_EQ(pSet->m_bDoubleText, 1u);
        EXPECT_EQ(pSet->m_clrText2, 6u);
    }
    EXPECT_EQ(skin.m_clrTreeBg, 1u);
    EXPECT_EQ(skin.m_clrTreeText, 2u);
    EXPECT_EQ(skin.m_clrTreeSelectedBg, 3u);
    EXPECT_EQ(skin.m_clrTreeSelectedText, 4u);
    EXPECT_EQ(skin.m_clrTooltipBg, 5u);
    EXPECT_EQ(skin.m_clrTooltipText, 6u);
    EXPECT_EQ(skin.m_clrDialogTop, 1u);
    EXPECT_EQ(skin.m_clrDialogBottom, 2u);
    EXPECT_EQ(skin.m_clrDialogText, 3u);
    EXPECT_EQ(skin.m_clrStatusBg, 4u);
    EXPECT_EQ(skin.m_clrStatusText, 5u);
    EXPECT_EQ(skin.m_clrMenuBg, 1u);
    EXPECT_EQ(skin.m_clrMenuText, 2u);
    EXPECT_EQ(skin.m_clrMenuSelectedBg, 3u);
    EXPECT_EQ(skin.m_clrMenuSelectedText, 4u);
    EXPECT_EQ(skin.m_clrMenuDisabledText, 5u);
    EXPECT_EQ(skin.m_clrSideBarTop, 6u);
    // A name the palette does not define keeps the default.
    EXPECT_EQ(skin.m_clrSideBarBottom, 0x90897Fu);
}

TEST_F(SkinInfoTest, PaletteTextParsing)
{
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadXml("<COLORS><Dark>10,20,30</Dark><Loose> 7, 8 ,9x,4</Loose>"
                            "<Junk>12abc,x,-1</Junk><Big>256,257,511</Big><One>10,20</One>"
                            "<None>102030</None><Empty></Empty></COLORS>"));
    const CXmlNode* pPalette = dom.GetRoot();
    auto Resolve = [pPalette](const char* pszName)
    {
        uint32_t clr = 0xABCDEFu;
        ReadPaletteColor(pPalette, pszName, &clr);
        return clr;
    };
    EXPECT_EQ(Resolve("dark"), 0x1E140Au); // names ignore case; red in the lowest byte
    EXPECT_EQ(Resolve("DARK"), 0x1E140Au);
    EXPECT_EQ(Resolve("Loose"), 0x090807u);
    EXPECT_EQ(Resolve("Junk"), 0xFF000Cu); // atoi reading: "12abc" is 12, "x" is 0
    EXPECT_EQ(Resolve("Big"), 0xFF0100u);  // only the low byte of each component counts
    EXPECT_EQ(Resolve("One"), 0xABCDEFu);
    EXPECT_EQ(Resolve("None"), 0xABCDEFu);
    EXPECT_EQ(Resolve("Empty"), 0xABCDEFu);
    EXPECT_EQ(Resolve("Missing"), 0xABCDEFu);
    EXPECT_EQ(Resolve(""), 0xABCDEFu);
    ReadPaletteColor(pPalette, "Dark", nullptr);
    uint32_t clr = 5;
    ReadPaletteColor(nullptr, "Dark", &clr);
    EXPECT_EQ(clr, 5u);
}

TEST_F(SkinInfoTest, DoubleTextNeedsTrueBeforeSecondColourIsRead)
{
    CMyXmlDom dom;
    ASSERT_TRUE(dom.LoadXml("<SKIN_INFO><COLORS><Red>255,0,0</Red></COLORS>"
                            "<YES><TEXT><DOUBLE_TEXT>yes</DOUBLE_TEXT><TEXT_COLOR2>red"
                            "</TEXT_COLOR2></TEXT></YES>"
                            "<ON><TEXT><DOUBLE_TEXT>True</DOUBLE_TEXT><TEXT_COLOR2>red"
                            "</TEXT_COLOR2></TEXT></ON></SKIN_INFO>"));
    const CXmlNode* pPalette = dom.GetRoot()->FindChild("COLORS");
    CButtonColorSet colorSet;
    ReadButtonColors(colorSet, dom.GetRoot()->FindChild("YES"), pPalette);
    EXPECT_EQ(colorSet.m_bDoubleText, 0u);
    EXPECT_EQ(colorSet.m_clrText2, 0xFFFFFFu);
    ReadButtonColors(colorSet, dom.GetRoot()->FindChild("ON"), pPalette);
    EXPECT_EQ(colorSet.m_bDoubleText, 1u);
    EXPECT_EQ(colorSet.m_clrText2, 0x0000FFu);
    // A flag once set stays set; a missing block changes nothing.
    ReadButtonColors(colorSet, dom.GetRoot()->FindChild("YES"), pPalette);
    ReadButtonColors(colorSet, nullptr, pPalette);
    EXPECT_EQ(colorSet.m_bDoubleText, 1u);
}

TEST_F(SkinInfoTest, InstallPathComesFromSettingsWhenEmpty)
{
    // A settings store of its own in the temporary folder, naming that folder as install path.
    UseOwnHome();
    ASSERT_EQ(RegClass(RegHive::CurrentUser, "SOFTWARE\\ORVANTA")
                  .WriteValue("", "Install Path", m_folder.c_str()),
              0);
    std::filesystem::create_directories(m_folder / "res/Skin");
    std::ofstream(m_folder / "res/Skin/SkinInfo.xml")
        << "<SKIN_INFO><COLORS><Dark>10,20,30</Dark></COLORS>"
           "<MAIN_BG_COLOR>Dark</MAIN_BG_COLOR></SKIN_INFO>";

    g_strPath.Empty();
    const CSkinInfo skin;
    EXPECT_STREQ(g_strPath.GetBuffer(), m_folder.c_str());
    EXPECT_EQ(skin.m_clrMainBg, 0x1E140Au);

    // The process-wide skin reads the same file and is always the same object.
    CSkinInfo* pSkin = GetSkinInfo();
    EXPECT_EQ(pSkin->m_clrMainBg, 0x1E140Au);
    EXPECT_EQ(GetSkinInfo(), pSkin);
    g_strPath.Empty();
}
