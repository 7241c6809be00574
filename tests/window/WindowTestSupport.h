#pragma once

// Helpers shared by the tests of the window's parts.

#include "platform/MessageVocabulary.h"

#include <QObject>

#include <algorithm>
#include <cstdint>
#include <vector>

// Stands in for the main frame: records the codes of MESSAGE_FOR_MAIN_FRAME.
class CFrameStandIn : public QObject
{
public:
    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr || pMessage->GetMessage() != MessageForMainFrame())
            return QObject::event(pEvent);
        m_arrCodes.push_back(pMessage->GetWParam());
        return true;
    }
    int Count(uintptr_t uCode) const
    {
        return static_cast<int>(std::count(m_arrCodes.begin(), m_arrCodes.end(), uCode));
    }
    std::vector<uintptr_t> m_arrCodes;
};
