#include "skin/SkinInfo.h"

#include "config/Settings.h"
#include "platform/Trace.h"
#include "text/MyXmlDom.h"

CMyString g_strPath;

namespace
{
// Resolves the colour named by the text of pSection's child strChild.
void ReadSectionColor(const CXmlNode* pSection, const char* pszChild, const CXmlNode* pPalette,
                      uint32_t& clrOut)
{
    ReadPaletteColor(pPalette, pSection->GetChildValue(pszChild), &clrOut);
}
} // namespace

CSkinInfo::CSkinInfo()
{
    if (g_strPath.IsEmpty())
    {
        g_strPath = Settings().GetInstallPath();
        Trace("g_strPath Was Empty");
        Trace("%s", g_strPath.IsEmpty() ? "" : g_strPath.GetBuffer());
    }
    SetDefaultColors();
    CMyString strFile;
    if (g_strPath.IsEmpty())
    {
        strFile = "res/Skin/SkinInfo.xml";
    }
    else
    {
        strFile = g_strPath;
        strFile.AppendPath("res/Skin/SkinInfo.xml");
    }
    LoadSkinInfo(strFile);
}

CSkinInfo::CSkinInfo(const CMyString& strFile)
{
    SetDefaultColors();
    LoadSkinInfo(strFile);
}

void CSkinInfo::SetDefaultColors()
{
    const uint32_t clrLightBlue = SkinRgb(188, 219, 255);
    const uint32_t clrBlueGrey = SkinRgb(127, 137, 144);
    const uint32_t clrBlack = SkinRgb(0, 0, 0);

    m_clrTooltipBg = clrLightBlue;
    m_clrTooltipText = clrBlack;
    m_clrTreeBg = clrBlueGrey;
    m_clrTreeText = clrBlack;
    m_clrTreeSelectedText = clrBlack;
    m_clrTreeSelectedBg = clrLightBlue;
    m_clrDialogTop = clrLightBlue;
    m_clrDialogBottom = clrBlueGrey;
    m_clrDialogText = clrBlack;
    m_clrMainBg = clrBlueGrey;
    m_clrTitleText = SkinRgb(255, 255, 255);
    m_clrStatusText = clrLightBlue;
    m_clrStatusBg = clrBlack;
    m_clrMenuBg = DEFAULT_MENU_BG;
    m_clrMenuSelectedBg = DEFAULT_MENU_SELECTED_BG;
    m_clrMenuText = DEFAULT_MENU_TEXT;
    m_clrMenuSelectedText = DEFAULT_MENU_SELECTED_TEXT;
    m_clrMenuDisabledText = DEFAULT_MENU_DISABLED_TEXT;
    m_clrSideBarTop = clrLightBlue;
    m_clrSideBarBottom = clrBlueGrey;
}

void CSkinInfo::LoadSkinInfo(const CMyString& strFile)
{
    CMyXmlDom dom;
    if (!dom.LoadFile(strFile))
        return;
    const CXmlNode* pRoot = dom.GetRoot();
    if (pRoot == nullptr || !pRoot->GetName().IsEqualNoCase("SKIN_INFO"))
        return;
    const CXmlNode* pPalette = pRoot->FindChild("COLORS");
    if (pPalette == nullptr)
        return;

    ReadSectionColor(pRoot, "MAIN_BG_COLOR", pPalette, m_clrMainBg);
    ReadSectionColor(pRoot, "TITLE_TEXT_COLOR", pPalette, m_clrTitleText);

    if (const CXmlNode* pButtons = pRoot->FindChild("BUTTONS"))
        ReadButtonColors(m_MainButtons, pButtons, pPalette);
    if (const CXmlNode* pTree = pRoot->FindChild("TREE"))
    {
        ReadSectionColor(pTree, "BG_COLOR", pPalette, m_clrTreeBg);
        ReadSectionColor(pTree, "TEXT_COLOR", pPalette, m_clrTreeText);
        ReadSectionColor(pTree, "SELECTED_BG_COLOR", pPalette, m_clrTreeSelectedBg);
        ReadSectionColor(pTree, "TEXT_SELECTED_COLOR", pPalette, m_clrTreeSelectedText);
    }
    if (const CXmlNode* pTooltip = pRoot->FindChild("TOOLTIP"))
    {
        ReadSectionColor(pTooltip, "BG_COLOR", pPalette, m_clrTooltipBg);
        ReadSectionColor(pTooltip, "TEXT_COLOR", pPalette, m_clrTooltipText);
    }
    if (const CXmlNode* pDialogs = pRoot->FindChild("DIALOGS"))
    {
        ReadSectionColor(pDialogs, "GRADIENT_TOP", pPalette, m_clrDialogTop);
        ReadSectionColor(pDialogs, "GRADIENT_BOTTOM", pPalette, m_clrDialogBottom);
        ReadSectionColor(pDialogs, "TEXT_COLOR", pPalette, m_clrDialogText);
        ReadButtonColors(m_DialogButtons, pDialogs->FindChild("BUTTONS"), pPalette);
    }
    if (const CXmlNode* pStatus = pRoot->FindChild("STATUS_AREA"))
    {
        ReadSectionColor(pStatus, "BG_COLOR", pPalette, m_clrStatusBg);
        ReadSectionColor(pStatus, "TEXT_COLOR", pPalette, m_clrStatusText);
    }
    if (const CXmlNode* pMenu = pRoot->FindChild("SEARCH_MENU"))
    {
        ReadSectionColor(pMenu, "BG_COLOR", pPalette, m_clrMenuBg);
        ReadSectionColor(pMenu, "TEXT_COLOR", pPalette, m_clrMenuText);
        ReadSectionColor(pMenu, "SELECTED_BG_COLOR", pPalette, m_clrMenuSelectedBg);
        ReadSectionColor(pMenu, "TEXT_SELECTED_COLOR", pPalette, m_clrMenuSelectedText);
        ReadSectionColor(pMenu, "TEXT_DISABLED_COLOR", pPalette, m_clrMenuDisabledText);
        if (const CXmlNode* pSideBar = pMenu->FindChild("SIDE_BAR"))
        {
            ReadSectionColor(pSideBar, "GRADIENT_TOP", pPalette, m_clrSideBarTop);
            ReadSectionColor(pSideBar, "GRADIENT_BOTTOM", pPalette, m_clrSideBarBottom);
        }
    }
    if (const CXmlNode* pToolbar = pRoot->FindChild("TOOLBAR"))
        ReadButtonColors(m_ToolbarButtons, pToolbar->FindChild("BUTTONS"), pPalette);
}

CSkinInfo* GetSkinInfo()
{
    static CSkinInfo skinInfo;
    return &skinInfo;
}

void ReadPaletteColor(const CXmlNode* pPalette, const CMyString& strName, uint32_t* pclrOut)
{
    if (pclrOut == nullptr || pPalette == nullptr || strName.IsEmpty())
        return;
    CMyString strText = pPalette->GetChildValue(strName);
    if (strText.IsEmpty())
        return;

    // Each component is read like atoi from the start of what is left; only its low byte counts.
    uint32_t uComma = strText.Find(',');
    if (uComma == MY_NOT_FOUND)
        return;
    const int32_t nRed = strText.ToInt();
    strText = strText.Mid(uComma + 1, strText.GetLength() - uComma - 1);
    uComma = strText.Find(',');
    if (uComma == MY_NOT_FOUND)
        return;
    const int32_t nGreen = strText.ToInt();
    strText = strText.Mid(uComma + 1, strText.GetLength() - uComma - 1);
    const int32_t nBlue = strText.ToInt();

    *pclrOut = SkinRgb(static_cast<uint32_t>(nRed), static_cast<uint32_t>(nGreen),
                       static_cast<uint32_t>(nBlue));
}

void ReadButtonColors(CButtonColorSet& colorSet, const CXmlNode* pBlock, const CXmlNode* pPalette)
{
    if (pBlock == nullptr || pPalette == nullptr)
        return;
    if (const CXmlNode* pNormal = pBlock->FindChild("NORMAL"))
    {
        ReadSectionColor(pNormal, "GRADIENT_TOP", pPalette, colorSet.m_clrNormalTop);
        ReadSectionColor(pNormal, "GRADIENT_BOTTOM", pPalette, colorSet.m_clrNormalBottom);
    }
    if (const CXmlNode* pHover = pBlock->FindChild("HOVER"))
    {
        ReadSectionColor(pHover, "GRADIENT_TOP", pPalette, colorSet.m_clrHoverTop);
        ReadSectionColor(pHover, "GRADIENT_BOTTOM", pPalette, colorSet.m_clrHoverBottom);
    }
    if (const CXmlNode* pText = pBlock->FindChild("TEXT"))
    {
        ReadSectionColor(pText, "TEXT_COLOR", pPalette, colorSet.m_clrText);
        if (pText->GetChildValue("DOUBLE_TEXT").IsEqualNoCase("true"))
            colorSet.m_bDoubleText = 1;
        if (colorSet.m_bDoubleText != 0)
            ReadSectionColor(pText, "TEXT_COLOR2", pPalette, colorSet.m_clrText2);
    }
}
