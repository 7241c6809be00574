#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

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
    // A message that carries an object of its own (a text, say): the second parameter is the
    // object's address, and the message owns the object until a handler takes it with
    // TakePayload. An object nobody took goes with the message: after a handler that left it,
    // and when the message is never delivered because its receiver went first.
    template <class T>
    CWindowMessageEvent(uint32_t uMessage, uintptr_t wParam, std::unique_ptr<T> pPayload)
        : CWindowMessageEvent(uMessage, wParam, reinterpret_cast<intptr_t>(pPayload.get()))
    {
        if (pPayload != nullptr)
            m_pPayload = std::make_unique<CPayloadOf<T>>(std::move(pPayload));
    }
    ~CWindowMessageEvent() override;
    CWindowMessageEvent(const CWindowMessageEvent&) = delete;
    CWindowMessageEvent& operator=(const CWindowMessageEvent&) = delete;

    uint32_t GetMessage() const { return static_cast<uint32_t>(type()); }
    uintptr_t GetWParam() const { return m_wParam; }
    intptr_t GetLParam() const { return m_lParam; }
    intptr_t GetResult() const { return m_nResult; }
    void SetResult(intptr_t nResult) { m_nResult = nResult; }

    // Takes the object the message carries, when it carries one of type T; null otherwise
    // (none, another type, or already taken).
    template <class T> std::unique_ptr<T> TakePayload()
    {
        auto* pHeld = dynamic_cast<CPayloadOf<T>*>(m_pPayload.get());
        if (pHeld == nullptr)
            return nullptr;
        std::unique_ptr<T> pObject = std::move(pHeld->m_pObject);
        m_pPayload.reset();
        return pObject;
    }

    // The message event behind an event, or null when it is something else.
    static CWindowMessageEvent* FromEvent(QEvent* pEvent);

private:
    struct CPayload
    {
        virtual ~CPayload() = default;
    };
    template <class T> struct CPayloadOf : CPayload
    {
        explicit CPayloadOf(std::unique_ptr<T> pObject) : m_pObject(std::move(pObject)) {}
        std::unique_ptr<T> m_pObject;
    };

    uintptr_t m_wParam;
    intptr_t m_lParam;
    intptr_t m_nResult = 0;
    std::unique_ptr<CPayload> m_pPayload;
};

// Queues the message to the receiver; it is handled later on the receiver's thread. False when
// there is no receiver.
bool PostWindowMessage(QObject* pReceiver, uint32_t uMessage, uintptr_t wParam, intptr_t lParam);

// Queues a message whose second parameter is an object it owns (see CWindowMessageEvent): the
// receiver's handler takes it with TakePayload; otherwise it is freed with the message, also
// when the receiver is gone before the message is handled, or when there is no receiver (false).
bool PostWindowMessage(QObject* pReceiver, std::unique_ptr<CWindowMessageEvent> pMessage);
template <class T>
bool PostWindowMessage(QObject* pReceiver, uint32_t uMessage, uintptr_t wParam,
                       std::unique_ptr<T> pPayload)
{
    return PostWindowMessage(
        pReceiver, std::make_unique<CWindowMessageEvent>(uMessage, wParam, std::move(pPayload)));
}

// Delivers the message and waits until it has been handled: on the receiver's thread a direct
// call, from any other thread a hand-over to the receiver's thread that blocks the caller until
// the handler has run. *pbDelivered (when given) tells whether the receiver still existed;
// a receiver destroyed meanwhile is detected on its own thread, so the check never races with
// its destruction. Answers the handler's result (0 when not delivered).
intptr_t SendWindowMessage(const QPointer<QObject>& pReceiver, uint32_t uMessage, uintptr_t wParam,
                           intptr_t lParam, bool* pbDelivered = nullptr);

// Queues a call to run later on the application's thread, the user-interface thread, and
// returns at once: how a worker hands a result back by value. A call that needs an object checks
// a QPointer to it when it runs. False, and the call is dropped, when there is no application or
// it is going; a call still queued when the application goes is dropped unrun.
bool CallOnApplicationThread(std::function<void()> fnCall);
