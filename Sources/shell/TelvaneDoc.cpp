#include "shell/TelvaneDoc.h"

#include <algorithm>

CTelvaneDoc::CTelvaneDoc(QObject* pParent) : QObject(pParent) {}

void CTelvaneDoc::AddView(CDocumentView* pView)
{
    if (pView == nullptr)
        return;
    if (std::find(m_arrViews.begin(), m_arrViews.end(), pView) != m_arrViews.end())
        return;
    m_arrViews.push_back(pView);
}

void CTelvaneDoc::RemoveView(CDocumentView* pView)
{
    m_arrViews.erase(std::remove(m_arrViews.begin(), m_arrViews.end(), pView), m_arrViews.end());
}

CDocumentView* CTelvaneDoc::GetView(size_t uIndex) const
{
    return uIndex < m_arrViews.size() ? m_arrViews[uIndex] : nullptr;
}

void CTelvaneDoc::UpdateAllViews(CDocumentView* pSender, intptr_t nHint, QObject* pHint)
{
    // A view may remove another one (or itself) while it handles the hint: walk a copy and
    // call only views that are still registered.
    const std::vector<CDocumentView*> arrViews = m_arrViews;
    for (CDocumentView* pView : arrViews)
    {
        if (pView == pSender)
            continue;
        if (std::find(m_arrViews.begin(), m_arrViews.end(), pView) == m_arrViews.end())
            continue;
        pView->OnUpdate(pSender, nHint, pHint);
    }
}
