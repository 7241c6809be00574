#include "host/BaseDialogBar.h"

bool BaseDialogBar::Create(QWidget* pParent, uint32_t uTemplateId, uint32_t uStyle,
                           uint32_t uControlId)
{
    m_uTemplateId = uTemplateId;
    m_strTemplateName.clear();
    if (!CreateChild(pParent, uStyle, uControlId))
        return false;
    return OnInitDialogBar();
}

bool BaseDialogBar::Create(QWidget* pParent, const char* pszTemplateName, uint32_t uStyle,
                           uint32_t uControlId)
{
    m_uTemplateId = 0;
    m_strTemplateName = pszTemplateName != nullptr ? QString::fromUtf8(pszTemplateName) : QString();
    if (!CreateChild(pParent, uStyle, uControlId))
        return false;
    return OnInitDialogBar();
}

bool BaseDialogBar::OnInitDialogBar()
{
    DoDataExchange();
    return true;
}

bool BaseDialogBar::CreateChild(QWidget* pParent, uint32_t uStyle, uint32_t uControlId)
{
    // A bar lives inside its frame; there is nothing to create without one.
    if (pParent == nullptr)
        return false;
    m_uStyle = uStyle;
    m_uControlId = uControlId;
    setParent(pParent);
    return true;
}
