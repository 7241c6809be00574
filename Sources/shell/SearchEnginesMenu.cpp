#include "shell/SearchEngines.h"

#include "skin/MenuXP.h"

// Kept apart from the rest of the engine list because the menu is a widget, and the list itself
// lives in the library without widgets.
void CSearchEngines::AddToMenu(CMenuXP& menu) const
{
    for (int32_t i = 0; i < m_nCount; ++i)
    {
        const CSearchEngine& engine = m_pEngines[static_cast<size_t>(i)];
        if (engine.m_bSeparator != 0)
            menu.AppendSeparator();
        else
            menu.AppendODMenu(0, std::make_unique<CMenuXPText>(static_cast<uint32_t>(engine.m_nId),
                                                               engine.m_strCaption,
                                                               engine.m_strImagePath));
    }
}
