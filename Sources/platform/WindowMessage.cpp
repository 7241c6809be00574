#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

// Qt's event queue orders everything a thread did before posting an event before the event's
// delivery, but Qt is not built with ThreadSanitizer, which therefore cannot see that order.
// Under ThreadSanitizer a posted message tells it explicitly.
#if defined(__SANITIZE_THREAD__)
#define ORVANTA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANTA_THREAD_SANITIZER 1
#endif
#endif
#ifdef ORVANTA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace
{

// The process-wide message registry: name -> number, and the numbers handed out so far so
// that FromEvent can tell a message from other events.
struct CMessageRegistry
{
    std::mutex m_mutex;
    std::map<std::string, uint32_t> m_mapNumbers;
    std::set<uint32_t> m_setNumbers;
};

CMessageRegistry& Registry()
{
    static CMessageRegistry registry;
    return registry;
}

bool IsRegisteredNumber(uint32_t uMessage)
{
    CMessageRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.m_mutex);
    return registry.m_setNumbers.count(uMessage) != 0;
}

void AnnouncePostedEvent([[maybe_unused]] QEvent* pEvent)
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_release(pEvent);
#endif
}

void AcceptPostedEvent([[maybe_unused]] QEvent* pEvent)
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_acquire(pEvent);
#endif
}

// Delivers a message to a receiver on the calling thread, which is the receiver's thread.
intptr_t Deliver(const QPointer<QObject>& pReceiver, uint32_t uMessage, uintptr_t wParam,
                 intptr_t lParam, bool& bDelivered)
{
    QObject* pObject = pReceiver.data();
    bDelivered = pObject != nullptr;
    if (pObject == nullptr)
        return 0;
    CWindowMessageEvent event(uMessage, wParam, lParam);
    QCoreApplication::sendEvent(pObject, &event);
    return event.GetResult();
}

// A message sent by a worker thread, waiting on that thread's stack until the application's
// thread has delivered it.
struct CSendRequest
{
    QPointer<QObject> m_pReceiver;
    uint32_t m_uMessage;
    uintptr_t m_wParam;
    intptr_t m_lParam;
    intptr_t m_nResult = 0;
    bool m_bDelivered = false;
    bool m_bDone = false;
};

// Sends from worker threads travel through this queue rather than inside a Qt event, so that
// the hand-over in both directions is guarded by a lock of our own, which ThreadSanitizer can
// check; Qt only wakes the application's thread. The lock is recursive because Qt may drop a
// wake-up (see CWakeUp) on the thread that is posting it.
struct CSendQueue
{
    std::recursive_mutex m_mutex;
    std::condition_variable_any m_cvDone;
    std::deque<CSendRequest*> m_pending;
    // Calls queued by CallOnApplicationThread; nobody waits for them.
    std::deque<std::function<void()>> m_calls;
    // The application that workers hand their sends to; null before it is known and from the
    // moment its destruction begins, so that no worker posts to an application that is going.
    QCoreApplication* m_pApplication = nullptr;
    // Set while an application is destroyed and after: workers then never take the instance
    // that may still be visible; its own thread learns a new one.
    bool m_bApplicationGone = false;
};

// Never destroyed: a worker may still be waiting on it while the program exits.
CSendQueue& SendQueue()
{
    static CSendQueue* s_pQueue = new CSendQueue;
    return *s_pQueue;
}

void Answer(CSendQueue& queue, CSendRequest* pRequest, intptr_t nResult, bool bDelivered)
{
    pRequest->m_nResult = nResult;
    pRequest->m_bDelivered = bDelivered;
    pRequest->m_bDone = true;
    queue.m_cvDone.notify_all();
}

// Answers every waiting send as not delivered and drops every queued call. Called with the
// queue's lock held.
void DropPending(CSendQueue& queue)
{
    for (CSendRequest* pRequest : queue.m_pending)
        Answer(queue, pRequest, 0, false);
    queue.m_pending.clear();
    queue.m_calls.clear();
}

// Called first thing while the application is destroyed: later sends find no application, and
// those waiting are answered as not delivered.
void ForgetApplication()
{
    CSendQueue& queue = SendQueue();
    std::lock_guard<std::recursive_mutex> lock(queue.m_mutex);
    queue.m_pApplication = nullptr;
    queue.m_bApplicationGone = true;
    DropPending(queue);
}

// The application that workers hand sends to, learnt on first use (on its own thread, or by a
// worker as long as no application has gone yet) and forgotten when it goes. Null when there is
// none. Called with the queue's lock held.
QCoreApplication* WatchedApplication(CSendQueue& queue, bool bOnItsThread)
{
    if (queue.m_pApplication != nullptr || (queue.m_bApplicationGone && !bOnItsThread))
        return queue.m_pApplication;
    QCoreApplication* pApplication = QCoreApplication::instance();
    if (pApplication != nullptr)
    {
        queue.m_pApplication = pApplication;
        queue.m_bApplicationGone = false;
        qAddPostRoutine(ForgetApplication);
    }
    return queue.m_pApplication;
}

// On the application's thread: delivers every waiting send and runs every queued call. A
// handler or call runs without the lock: it may send messages itself, or run a nested event
// loop that comes here again.
void DeliverPending()
{
    CSendQueue& queue = SendQueue();
    std::unique_lock<std::recursive_mutex> lock(queue.m_mutex);
    while (!queue.m_pending.empty() || !queue.m_calls.empty())
    {
        if (queue.m_pending.empty())
        {
            std::function<void()> fnCall = std::move(queue.m_calls.front());
            queue.m_calls.pop_front();
            lock.unlock();
            fnCall();
            fnCall = nullptr;
            lock.lock();
            continue;
        }
        CSendRequest* pRequest = queue.m_pending.front();
        queue.m_pending.pop_front();
        lock.unlock();
        bool bDelivered = false;
        intptr_t nResult = Deliver(pRequest->m_pReceiver, pRequest->m_uMessage, pRequest->m_wParam,
                                   pRequest->m_lParam, bDelivered);
        lock.lock();
        Answer(queue, pRequest, nResult, bDelivered);
    }
}

// The wake-up that a worker posts to the application object. Qt runs it on the application's
// thread and then deletes it; when the application goes away first, Qt deletes it unrun, and
// the waiting sends are answered as not delivered instead of waiting for ever, and the queued
// calls are dropped.
class CWakeUp
{
public:
    CWakeUp() = default;
    CWakeUp(CWakeUp&& other) noexcept : m_bPending(std::exchange(other.m_bPending, false)) {}
    CWakeUp& operator=(CWakeUp&&) = delete;
    ~CWakeUp()
    {
        CSendQueue& queue = SendQueue();
        std::lock_guard<std::recursive_mutex> lock(queue.m_mutex);
        if (!m_bPending)
            return;
        DropPending(queue);
    }

    void operator()()
    {
        DeliverPending();
        m_bPending = false;
    }

private:
    bool m_bPending = true;
};

// On a worker thread: queues the send, wakes the application's thread and waits until the
// message has been delivered there.
intptr_t SendFromWorker(const QPointer<QObject>& pReceiver, uint32_t uMessage, uintptr_t wParam,
                        intptr_t lParam, bool& bDelivered)
{
    CSendQueue& queue = SendQueue();
    CSendRequest request{pReceiver, uMessage, wParam, lParam};
    std::unique_lock<std::recursive_mutex> lock(queue.m_mutex);
    // Under the lock, which the application's destruction takes first: the application is
    // either still whole here or already forgotten.
    QCoreApplication* pApplication = WatchedApplication(queue, false);
    if (pApplication == nullptr)
    {
        bDelivered = false;
        return 0;
    }
    queue.m_pending.push_back(&request);
    // Posted under the lock, so that the application's thread, which takes the lock before
    // anything else, sees the wake-up complete.
    QMetaObject::invokeMethod(pApplication, CWakeUp(), Qt::QueuedConnection);
    queue.m_cvDone.wait(lock, [&request] { return request.m_bDone; });
    bDelivered = request.m_bDelivered;
    return request.m_nResult;
}

// On the application's thread: makes sure the workers know the application (see
// WatchedApplication), and answers true. On any other thread, or without an application, false.
bool WatchApplicationFromItsThread()
{
    QCoreApplication* pApplication = QCoreApplication::instance();
    if (pApplication == nullptr || pApplication->thread() != QThread::currentThread())
        return false;
    CSendQueue& queue = SendQueue();
    std::lock_guard<std::recursive_mutex> lock(queue.m_mutex);
    WatchedApplication(queue, true);
    return true;
}

} // namespace

uint32_t RegisterWindowMessage(const char* pszName)
{
    if (pszName == nullptr)
        return 0;
    // Receivers register their messages on the application's thread before any worker sends.
    WatchApplicationFromItsThread();
    CMessageRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.m_mutex);
    auto it = registry.m_mapNumbers.find(pszName);
    if (it != registry.m_mapNumbers.end())
        return it->second;
    // Qt hands out each user event type once per process; -1 means they are used up, which
    // leaves the name without a number (0, never a valid message).
    int nType = QEvent::registerEventType();
    if (nType < 0)
        return 0;
    uint32_t uMessage = static_cast<uint32_t>(nType);
    registry.m_mapNumbers.emplace(pszName, uMessage);
    registry.m_setNumbers.insert(uMessage);
    return uMessage;
}

CWindowMessageEvent::CWindowMessageEvent(uint32_t uMessage, uintptr_t wParam, intptr_t lParam)
    : QEvent(static_cast<QEvent::Type>(uMessage)), m_wParam(wParam), m_lParam(lParam)
{
}

CWindowMessageEvent::~CWindowMessageEvent()
{
    // A message that was never delivered frees its object wherever Qt drops it, after the
    // poster made it on its own thread.
    if (m_pPayload != nullptr)
        AcceptPostedEvent(this);
}

CWindowMessageEvent* CWindowMessageEvent::FromEvent(QEvent* pEvent)
{
    if (pEvent == nullptr || pEvent->type() < QEvent::User ||
        !IsRegisteredNumber(static_cast<uint32_t>(pEvent->type())))
        return nullptr;
    CWindowMessageEvent* pMessage = dynamic_cast<CWindowMessageEvent*>(pEvent);
    if (pMessage != nullptr)
        AcceptPostedEvent(pMessage);
    return pMessage;
}

bool PostWindowMessage(QObject* pReceiver, uint32_t uMessage, uintptr_t wParam, intptr_t lParam)
{
    return PostWindowMessage(pReceiver,
                             std::make_unique<CWindowMessageEvent>(uMessage, wParam, lParam));
}

bool PostWindowMessage(QObject* pReceiver, std::unique_ptr<CWindowMessageEvent> pMessage)
{
    if (pReceiver == nullptr || pMessage == nullptr)
        return false;
    // Qt takes the event and deletes it after delivery, or with the receiver.
    AnnouncePostedEvent(pMessage.get());
    QCoreApplication::postEvent(pReceiver, pMessage.release());
    return true;
}

// Receivers live on the application's thread, the user-interface thread: that is the only
// thread that looks at a receiver, so a worker never touches it and hands the whole delivery,
// including the check that the receiver still exists, over to that thread. Without an
// application there is no event loop and Qt delivers no events: not delivered.
intptr_t SendWindowMessage(const QPointer<QObject>& pReceiver, uint32_t uMessage, uintptr_t wParam,
                           intptr_t lParam, bool* pbDelivered)
{
    bool bDelivered = false;
    intptr_t nResult = 0;
    if (WatchApplicationFromItsThread())
        nResult = Deliver(pReceiver, uMessage, wParam, lParam, bDelivered);
    else
        nResult = SendFromWorker(pReceiver, uMessage, wParam, lParam, bDelivered);
    if (pbDelivered != nullptr)
        *pbDelivered = bDelivered;
    return nResult;
}

bool CallOnApplicationThread(std::function<void()> fnCall)
{
    if (!fnCall)
        return false;
    const bool bOnItsThread = WatchApplicationFromItsThread();
    CSendQueue& queue = SendQueue();
    std::lock_guard<std::recursive_mutex> lock(queue.m_mutex);
    // As for a send: under the lock the application is either whole or already forgotten.
    QCoreApplication* pApplication = WatchedApplication(queue, bOnItsThread);
    if (pApplication == nullptr)
        return false;
    queue.m_calls.push_back(std::move(fnCall));
    QMetaObject::invokeMethod(pApplication, CWakeUp(), Qt::QueuedConnection);
    return true;
}
