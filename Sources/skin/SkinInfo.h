#pragma once

#include "text/MyString.h"

#include <cstdint>

class CXmlNode;

// The install path: the folder under which "res/" with the skin lives. Empty at start; filled
// from the "Install Path" setting by the first user that finds it empty (normally the skin).
extern CMyString g_strPath;

// A colour with red in the lowest byte, then green, then blue, the top byte zero.
constexpr uint32_t SkinRgb(uint32_t uRed, uint32_t uGreen, uint32_t uBlue)
{
    return (uRed & 0xFFu) | (uGreen & 0xFFu) << 8 | (uBlue & 0xFFu) << 16;
}

// The colours of a gradient button: face gradients for the normal and hover states and the
// caption colours.
class CButtonColorSet
{
public:
    CButtonColorSet() = default;

    uint32_t m_clrNormalTop = SkinRgb(188, 219, 255);
    uint32_t m_clrNormalBottom = SkinRgb(127, 137, 144);
    uint32_t m_clrHoverTop = SkinRgb(240, 255, 255);
    uint32_t m_clrHoverBottom = SkinRgb(165, 178, 187);
    // Non-zero: the caption is drawn twice, once in m_clrText2 and once in m_clrText.
    uint32_t m_bDoubleText = 0;
    uint32_t m_clrText = SkinRgb(0, 0, 0);
    uint32_t m_clrText2 = SkinRgb(255, 255, 255);
};

// The colours of every owner-drawn surface, from "res/Skin/SkinInfo.xml" below the install path.
// Every value has a default, so a missing or partial file still gives a complete set.
//
// The five search-menu defaults would come from the desktop's colour scheme, but the object is
// built before any application exists, so they are fixed to a light desktop theme:
// menu background white, menu text black, highlight RGB(48, 140, 198), highlighted text white,
// disabled text RGB(128, 128, 128).
class CSkinInfo
{
public:
    static constexpr uint32_t DEFAULT_MENU_BG = SkinRgb(255, 255, 255);
    static constexpr uint32_t DEFAULT_MENU_SELECTED_BG = SkinRgb(48, 140, 198);
    static constexpr uint32_t DEFAULT_MENU_TEXT = SkinRgb(0, 0, 0);
    static constexpr uint32_t DEFAULT_MENU_SELECTED_TEXT = SkinRgb(255, 255, 255);
    static constexpr uint32_t DEFAULT_MENU_DISABLED_TEXT = SkinRgb(128, 128, 128);

    // Fills g_strPath from the settings when it is empty, then reads g_strPath +
    // "/res/Skin/SkinInfo.xml" ("res/Skin/SkinInfo.xml" in the current folder when the install
    // path is empty).
    CSkinInfo();
    // Reads the given file instead; g_strPath is neither read nor filled.
    explicit CSkinInfo(const CMyString& strFile);
    CSkinInfo(const CSkinInfo&) = delete;
    CSkinInfo& operator=(const CSkinInfo&) = delete;
    virtual ~CSkinInfo() = default;

    uint32_t m_clrTooltipBg = 0;
    uint32_t m_clrTooltipText = 0;
    uint32_t m_clrTreeBg = 0;
    uint32_t m_clrTreeText = 0;
    uint32_t m_clrTreeSelectedText = 0;
    uint32_t m_clrTreeSelectedBg = 0;
    CButtonColorSet m_MainButtons;
    CButtonColorSet m_DialogButtons;
    CButtonColorSet m_ToolbarButtons;
    uint32_t m_clrDialogTop = 0;
    uint32_t m_clrDialogBottom = 0;
    uint32_t m_clrDialogText = 0;
    uint32_t m_clrMainBg = 0;
    uint32_t m_clrTitleText = 0;
    uint32_t m_clrStatusText = 0;
    uint32_t m_clrStatusBg = 0;
    uint32_t m_clrMenuBg = 0;
    uint32_t m_clrMenuSelectedBg = 0;
    uint32_t m_clrMenuText = 0;
    uint32_t m_clrMenuSelectedText = 0;
    uint32_t m_clrMenuDisabledText = 0;
    uint32_t m_clrSideBarTop = 0;
    uint32_t m_clrSideBarBottom = 0;

private:
    // Every field except the three button sets gets its default.
    void SetDefaultColors();
    // Reads the file over the defaults; whatever is missing or unreadable keeps its default.
    void LoadSkinInfo(const CMyString& strFile);
};

// The one skin of the process, built on first use and never changed afterwards.
CSkinInfo* GetSkinInfo();

// Resolves strName through the palette element (its child of that name, ignoring case, holds
// "red,green,blue") and writes the colour to *pclrOut; nothing is written when the palette or
// pclrOut is missing, the name is empty or unknown, or the text has fewer than two commas.
void ReadPaletteColor(const CXmlNode* pPalette, const CMyString& strName, uint32_t* pclrOut);

// Fills the set from a button colour block (NORMAL, HOVER and TEXT children), colour names
// resolved through the palette; nothing happens when the block or the palette is missing.
void ReadButtonColors(CButtonColorSet& colorSet, const CXmlNode* pBlock, const CXmlNode* pPalette);
