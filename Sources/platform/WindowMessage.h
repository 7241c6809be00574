#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>

// Registered window messages: the parts of the program notify each other by message name. Every
// name is given one number for the whole process (equal names, equal numbers); a message carries
// two parameters to a receiver object living on the user-interface thread.
//
// A receiver is any QObject: its event() sees a CWindowMessageEvent whose type() is the
// registered number, handles it and may set an answer with SetResult.

// The number of a message name; the same name always answers the same number.
uint32_t RegisterWindowMessage(const char* pszName);

class CWindowMessageEvent : public QEvent
{
public:
    CWindowMessageEvent(uint32_t uMessage, uintptr_t wParam, intptr_t lParam);

    uint32_t GetMessage() const { return static_cast<uint32_t>(type()); }
    uintptr_t GetWParam() const { return m_wParam; }
    intptr_t GetLParam() const { return m_lParam; }
    intptr_t GetResult() const { return m_nResult; }
    void SetResult(intptr_t nResult) { m_nResult = nResult; }

    // The message event behind an event, or null when it is something else.
    static CWindowMessageEvent* FromEvent(QEvent* pEvent);

private:
    uintptr_t m_wParam;
    intptr_t m_lParam;
    intptr_t m_nResult = 0;
};

// Queues the message to the receiver; it is handled later on the receiver's thread. False when
// there is no receiver.
bool PostWindowMessage(QObject* pReceiver, uint32_t uMessage, uintptr_t wParam, intptr_t lParam);

// Delivers the message and waits until it has been handled: on the receiver's thread a direct
// call, from any other thread a hand-over to the receiver's thread that blocks the caller until
// the handler has run. *pbDelivered (when given) tells whether the receiver still existed;
// a receiver destroyed meanwhile is detected on its own thread, so the check never races with
// its destruction. Answers the handler's result (0 when not delivered).
intptr_t SendWindowMessage(const QPointer<QObject>& pReceiver, uint32_t uMessage, uintptr_t wParam,
                           intptr_t lParam, bool* pbDelivered = nullptr);
