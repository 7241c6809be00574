#pragma once
#include "platform/MessageVocabulary.h"
#include "platform/WindowMessage.h"
#include "text/MyString.h"

#include <QWidget>

#include <algorithm>
#include <string>
#include <vector>

// Stands in for the main frame: records the code of every message for the main frame, and the
// code and text of every message from the search bar, taking the text as the frame does.
class CFrameStandIn : public QWidget
{
public:
    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr)
            return QWidget::event(pEvent);
        if (pMessage->GetMessage() == MessageForMainFrame())
            m_arrCodes.push_back(pMessage->GetWParam());
        else if (pMessage->GetMessage() == MessageFromDlg())
        {
            const std::unique_ptr<CMyString> pText = pMessage->TakePayload<CMyString>();
            m_messages.emplace_back(pMessage->GetWParam(),
                                    pText && !pText->IsEmpty() ? pText->GetBuffer() : "");
        }
        else
            return QWidget::event(pEvent);
        return true;
    }
    int Count(uintptr_t uCode) const
    {
        return static_cast<int>(std::count(m_arrCodes.begin(), m_arrCodes.end(), uCode));
    }
    std::vector<uintptr_t> m_arrCodes;
    std::vector<std::pair<uintptr_t, std::string>> m_messages;
};
