#include "platform/WindowMessage.h"

#include "TestSupport.h"

#include <atomic>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// Counts its instances alive, to see that an object carried by a message is freed exactly once.
struct CCounted
{
    explicit CCounted(int n) : m_n(n) { ++s_nAlive; }
    ~CCounted() { --s_nAlive; }
    int m_n;
    static inline int s_nAlive = 0;
};

// Records each message's parameters and the calls that came off the main thread; answers through
// m_answer.
struct CReceiver : QObject
{
    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr)
            return QObject::event(pEvent);
        m_calls.emplace_back(pMessage->GetWParam(), pMessage->GetLParam());
        m_uOffMainThread += std::this_thread::get_id() == m_mainThread ? 0 : 1;
        pMessage->SetResult(m_answer(*pMessage));
        return true;
    }

    std::function<intptr_t(CWindowMessageEvent&)> m_answer = [](CWindowMessageEvent& message)
    { return static_cast<intptr_t>(message.GetWParam()) * 1000 + message.GetLParam(); };
    std::vector<std::pair<uintptr_t, intptr_t>> m_calls;
    std::atomic<size_t> m_uOffMainThread = 0;
    const std::thread::id m_mainThread = std::this_thread::get_id();
};

std::future<void> Start(std::function<void()> job)
{
    return std::async(std::launch::async, std::move(job));
}

void Finish(std::future<void>& worker)
{
    EXPECT_TRUE(PumpEventsUntil(
        [&] { return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
}

class WindowMessage : public ::testing::Test
{
protected:
    void SetUp() override { TestApplication(); }

    const uint32_t m_uMessage = RegisterWindowMessage("Orvanta_TEST_MESSAGE");
};
} // namespace

TEST(WindowMessageRegistry, EqualNamesShareANumber_AlsoAcrossThreads)
{
    const uint32_t uFirst = RegisterWindowMessage("Orvanta_MESSAGE_ONE");
    EXPECT_EQ(RegisterWindowMessage("Orvanta_MESSAGE_ONE"), uFirst);
    EXPECT_NE(RegisterWindowMessage("orvanta_message_one"), uFirst);
    EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
    std::vector<uint32_t> numbers(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < numbers.size(); ++i)
        threads.emplace_back([&numbers, i] { numbers[i] = RegisterWindowMessage("Orvanta_RACE"); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<uint32_t>(numbers.begin(), numbers.end()).size(), 1u);
}

TEST_F(WindowMessage, PostIsHandledLaterOnTheMainThreadAndItsObjectIsFreedOnce)
{
    CReceiver receiver;
    EXPECT_TRUE(PostWindowMessage(&receiver, m_uMessage, 12, -34));
    std::thread([&] { PostWindowMessage(&receiver, m_uMessage, 56, 78); }).join();
    EXPECT_TRUE(receiver.m_calls.empty());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(receiver.m_calls, (decltype(receiver.m_calls){{12, -34}, {56, 78}}));
    EXPECT_EQ(receiver.m_uOffMainThread, 0u);
    // Code 1's object is taken once (its address is lParam); code 2's is asked for as another
    // type, code 3's left: both freed after.
    std::unique_ptr<CCounted> pTaken;
    bool bTakenTwice = false;
    bool bOtherType = false;
    receiver.m_answer = [&](CWindowMessageEvent& message)
    {
        if (message.GetWParam() == 1)
        {
            pTaken = message.TakePayload<CCounted>();
            EXPECT_EQ(message.GetLParam(), reinterpret_cast<intptr_t>(pTaken.get()));
            bTakenTwice = message.TakePayload<CCounted>() != nullptr;
        }
        else if (message.GetWParam() == 2)
            bOtherType = message.TakePayload<std::string>() != nullptr;
        return 0;
    };
    for (uintptr_t uCode = 1; uCode <= 3; ++uCode)
        PostWindowMessage(&receiver, m_uMessage, uCode, std::make_unique<CCounted>(7));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(receiver.m_calls.size(), 5u);
    ASSERT_NE(pTaken, nullptr);
    EXPECT_EQ(pTaken->m_n, 7);
    EXPECT_FALSE(bTakenTwice || bOtherType);
    EXPECT_EQ(CCounted::s_nAlive, 1);
    pTaken.reset();
    // Never delivered: the receiver went first, or there was none.
    auto* pGone = new CReceiver;
    std::thread([&] { PostWindowMessage(pGone, m_uMessage, 1, std::make_unique<CCounted>(4)); })
        .join();
    EXPECT_EQ(CCounted::s_nAlive, 1);
    delete pGone;
    EXPECT_EQ(CCounted::s_nAlive, 0);
    EXPECT_FALSE(PostWindowMessage(nullptr, m_uMessage, 1, std::make_unique<CCounted>(5)));
    EXPECT_EQ(CCounted::s_nAlive, 0);
    QCoreApplication::sendPostedEvents();
}

TEST_F(WindowMessage, SendWaitsForTheHandlerOnTheMainThreadOrFindsTheReceiverGone)
{
    CReceiver receiver;
    bool bDelivered = false;
    EXPECT_EQ(SendWindowMessage(&receiver, m_uMessage, 6, -7, &bDelivered), 5993);
    EXPECT_TRUE(bDelivered);
    EXPECT_EQ(receiver.m_calls.size(), 1u); // handled with no event processing
    // The worker's hand-over runs only once events are processed: the receiver has gone by then.
    auto* pGone = new CReceiver;
    const QPointer<QObject> pWatched(pGone);
    intptr_t nResult = -1;
    auto worker =
        Start([&] { nResult = SendWindowMessage(pWatched, m_uMessage, 1, 2, &bDelivered); });
    delete pGone;
    Finish(worker);
    EXPECT_EQ(nResult, 0);
    EXPECT_FALSE(bDelivered);
    EXPECT_FALSE(CallOnApplicationThread(nullptr));
}

TEST_F(WindowMessage, AHandlerRunningANestedLoopLetsOtherSendsThrough)
{
    // The first handler waits in an event loop of its own (as a dialog does) for a second send.
    CReceiver receiver;
    intptr_t nSecond = 0;
    receiver.m_answer = [&](CWindowMessageEvent& message)
    {
        if (message.GetWParam() == 1)
        {
            auto second = Start([&] { nSecond = SendWindowMessage(&receiver, m_uMessage, 2, 0); });
            Finish(second);
        }
        return static_cast<intptr_t>(message.GetWParam() * 100);
    };
    intptr_t nFirst = 0;
    auto first = Start([&] { nFirst = SendWindowMessage(&receiver, m_uMessage, 1, 0); });
    Finish(first);
    EXPECT_EQ(nFirst, 100);
    EXPECT_EQ(nSecond, 200);
}

// Workers sending at once are answered on the main thread (ThreadSanitizer checks the hand-over);
// while the application is destroyed they find it gone and end, never touching it. In a child,
// which owns its application.
TEST(WindowMessageShutdown, WorkersSendingWhileTheApplicationGoesEndQuietly)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        int nArgc = 1;
        char szName[] = "orvanta-shutdown-test";
        char* apszArgv[] = {szName, nullptr};
        auto* pApplication = new QCoreApplication(nArgc, apszArgv);
        const uint32_t uMessage = RegisterWindowMessage("Orvanta_SHUTDOWN_TEST");
        CReceiver receiver;
        const QPointer<QObject> pReceiver(&receiver);
        std::atomic<bool> bStop{false};
        std::atomic<int> nUndelivered{0};
        std::atomic<int> nCallsRefused{0};
        std::vector<std::thread> workers;
        for (int i = 0; i < 4; ++i)
            workers.emplace_back(
                [&]
                {
                    while (!bStop)
                    {
                        bool bDelivered = true;
                        SendWindowMessage(pReceiver, uMessage, 1, 2, &bDelivered);
                        nUndelivered += bDelivered ? 0 : 1;
                        nCallsRefused += CallOnApplicationThread([] {}) ? 0 : 1;
                    }
                });
        for (int i = 0; i < 5000 && receiver.m_calls.size() < 40; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        delete pApplication;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bStop = true;
        for (std::thread& worker : workers)
            worker.join();
        _exit(nUndelivered > 0 && nCallsRefused > 0 && !receiver.m_calls.empty() &&
                      receiver.m_uOffMainThread == 0
                  ? 0
                  : 2);
    }
    int nStatus = 0;
    pid_t nEnded = 0;
    for (int i = 0; i < 300 && (nEnded = waitpid(pid, &nStatus, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (nEnded == 0 && kill(pid, SIGKILL) == 0)
        waitpid(pid, &nStatus, 0);
    EXPECT_EQ(nEnded, pid) << "the workers hung after the application went";
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "status " << nStatus;
}
