#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace
{

// Messages are delivered by the event loop of the main thread; the first test that needs one
// makes the application there.
void EnsureApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int s_nArgc = 1;
    static char s_szName[] = "orvanta_platform_tests";
    static char* s_argv[] = {s_szName, nullptr};
    static QCoreApplication s_app(s_nArgc, s_argv);
}

// Runs the main thread's event loop until the worker threads have all finished.
void PumpUntil(const std::atomic<int>& nRunning)
{
    while (nRunning.load() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Handles one message: records what arrived, on which thread, and answers through a function.
class CReceiver : public QObject
{
public:
    struct CCall
    {
        uintptr_t wParam;
        intptr_t lParam;
        std::thread::id thread;
    };

    explicit CReceiver(uint32_t uMessage) : m_uMessage(uMessage) {}

    bool event(QEvent* pEvent) override
    {
        CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage == nullptr || pMessage->GetMessage() != m_uMessage)
            return QObject::event(pEvent);
        m_calls.push_back(
            {pMessage->GetWParam(), pMessage->GetLParam(), std::this_thread::get_id()});
        if (m_answer)
            pMessage->SetResult(m_answer(pMessage->GetWParam(), pMessage->GetLParam()));
        return true;
    }

    uint32_t m_uMessage;
    std::function<intptr_t(uintptr_t, intptr_t)> m_answer;
    std::vector<CCall> m_calls; // touched on the main thread only
};

class WindowMessage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureApplication();
        m_uMessage = RegisterWindowMessage("Orvanta_TEST_MESSAGE");
        ASSERT_NE(m_uMessage, 0u);
    }

    uint32_t m_uMessage = 0;
    const std::thread::id m_mainThread = std::this_thread::get_id();
};

} // namespace

TEST(WindowMessageRegistry, EqualNamesShareANumber_OthersDiffer_AlsoAcrossThreads)
{
    const uint32_t uFirst = RegisterWindowMessage("Orvanta_MESSAGE_ONE");
    EXPECT_GE(uFirst, static_cast<uint32_t>(QEvent::User));
    EXPECT_EQ(RegisterWindowMessage("Orvanta_MESSAGE_ONE"), uFirst);
    EXPECT_NE(RegisterWindowMessage("Orvanta_MESSAGE_TWO"), uFirst);
    EXPECT_NE(RegisterWindowMessage("orvanta_message_one"), uFirst); // names are case-sensitive
    EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);

    // Threads registering the same new name at once all get one number.
    std::vector<uint32_t> numbers(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < numbers.size(); ++i)
        threads.emplace_back([&numbers, i] { numbers[i] = RegisterWindowMessage("Orvanta_RACE"); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<uint32_t>(numbers.begin(), numbers.end()).size(), 1u);
    EXPECT_EQ(RegisterWindowMessage("Orvanta_RACE"), numbers[0]);
}

TEST(WindowMessageRegistry, FromEventKnowsOnlyMessages)
{
    const uint32_t uMessage = RegisterWindowMessage("Orvanta_MESSAGE_KNOWN");
    CWindowMessageEvent message(uMessage, 7, -7);
    EXPECT_EQ(CWindowMessageEvent::FromEvent(&message), &message);
    EXPECT_EQ(message.GetMessage(), uMessage);
    EXPECT_EQ(message.GetWParam(), 7u);
    EXPECT_EQ(message.GetLParam(), -7);

    // Another user event type, even one Qt handed out, is not a message.
    QEvent timer(QEvent::Timer);
    QEvent other(static_cast<QEvent::Type>(QEvent::registerEventType()));
    EXPECT_EQ(CWindowMessageEvent::FromEvent(&timer), nullptr);
    EXPECT_EQ(CWindowMessageEvent::FromEvent(&other), nullptr);
    EXPECT_EQ(CWindowMessageEvent::FromEvent(nullptr), nullptr);
}

TEST_F(WindowMessage, PostIsHandledOnlyWhenTheLoopRuns)
{
    CReceiver receiver(m_uMessage);
    EXPECT_TRUE(PostWindowMessage(&receiver, m_uMessage, 12, -34));
    EXPECT_TRUE(PostWindowMessage(&receiver, m_uMessage, 56, 78));
    EXPECT_TRUE(receiver.m_calls.empty());
    EXPECT_FALSE(PostWindowMessage(nullptr, m_uMessage, 1, 2));

    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(receiver.m_calls.size(), 2u);
    EXPECT_EQ(receiver.m_calls[0].wParam, 12u);
    EXPECT_EQ(receiver.m_calls[0].lParam, -34);
    EXPECT_EQ(receiver.m_calls[1].wParam, 56u);
    EXPECT_EQ(receiver.m_calls[1].lParam, 78);

    // Messages still queued for a receiver that goes away are dropped with it.
    auto pGone = std::make_unique<CReceiver>(m_uMessage);
    EXPECT_TRUE(PostWindowMessage(pGone.get(), m_uMessage, 1, 1));
    pGone.reset();
    QCoreApplication::sendPostedEvents();
}

TEST_F(WindowMessage, PostFromAWorkerIsHandledOnTheMainThread)
{
    CReceiver receiver(m_uMessage);
    std::thread worker([&] { PostWindowMessage(&receiver, m_uMessage, 3, 4); });
    worker.join();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(receiver.m_calls.size(), 1u);
    EXPECT_EQ(receiver.m_calls[0].lParam, 4);
    EXPECT_EQ(receiver.m_calls[0].thread, m_mainThread);
}

TEST_F(WindowMessage, SendOnTheMainThreadIsADirectCall)
{
    CReceiver receiver(m_uMessage);
    receiver.m_answer = [](uintptr_t wParam, intptr_t lParam)
    { return static_cast<intptr_t>(wParam) * lParam; };
    bool bDelivered = false;
    EXPECT_EQ(SendWindowMessage(&receiver, m_uMessage, 6, -7, &bDelivered), -42);
    EXPECT_TRUE(bDelivered);
    ASSERT_EQ(receiver.m_calls.size(), 1u); // handled before the send returned, with no loop

    // Another message number is not this receiver's: delivered, but nobody answers.
    EXPECT_EQ(SendWindowMessage(&receiver, RegisterWindowMessage("Orvanta_OTHER"), 6, 7), 0);

    QPointer<QObject> pNone;
    bDelivered = true;
    EXPECT_EQ(SendWindowMessage(pNone, m_uMessage, 1, 2, &bDelivered), 0);
    EXPECT_FALSE(bDelivered);
}

TEST_F(WindowMessage, SendFromAWorkerWaitsForTheHandlerOnTheMainThread)
{
    CReceiver receiver(m_uMessage);
    // Written by the handler and read by the worker after its send: the hand-over must order
    // the two, which ThreadSanitizer checks.
    int nSeenByHandler = 0;
    receiver.m_answer = [&](uintptr_t, intptr_t lParam)
    {
        nSeenByHandler = static_cast<int>(lParam);
        return lParam + 1;
    };
    std::atomic<int> nRunning = 1;
    intptr_t nResult = 0;
    bool bDelivered = false;
    int nSeenAfterSend = 0;
    std::thread worker(
        [&]
        {
            nResult = SendWindowMessage(&receiver, m_uMessage, 0, 41, &bDelivered);
            nSeenAfterSend = nSeenByHandler;
            nRunning = 0;
        });
    PumpUntil(nRunning);
    worker.join();
    EXPECT_EQ(nResult, 42);
    EXPECT_TRUE(bDelivered);
    EXPECT_EQ(nSeenAfterSend, 41);
    ASSERT_EQ(receiver.m_calls.size(), 1u);
    EXPECT_EQ(receiver.m_calls[0].thread, m_mainThread);
}

TEST_F(WindowMessage, AHandlerRunningANestedLoopLetsOtherSendsThrough)
{
    // The first message's handler waits in an event loop of its own (as a dialog would) until
    // the second worker's message has been handled.
    CReceiver receiver(m_uMessage);
    std::atomic<bool> bFirstStarted = false;
    bool bSecondHandled = false;
    receiver.m_answer = [&](uintptr_t wParam, intptr_t)
    {
        if (wParam == 2)
        {
            bSecondHandled = true;
            return intptr_t{200};
        }
        bFirstStarted = true;
        while (!bSecondHandled)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return intptr_t{100};
    };
    std::atomic<int> nRunning = 2;
    intptr_t nFirst = 0;
    intptr_t nSecond = 0;
    std::thread first(
        [&]
        {
            nFirst = SendWindowMessage(&receiver, m_uMessage, 1, 0);
            --nRunning;
        });
    std::thread second(
        [&]
        {
            while (!bFirstStarted)
                std::this_thread::yield();
            nSecond = SendWindowMessage(&receiver, m_uMessage, 2, 0);
            --nRunning;
        });
    PumpUntil(nRunning);
    first.join();
    second.join();
    EXPECT_EQ(nFirst, 100);
    EXPECT_EQ(nSecond, 200);
}

TEST_F(WindowMessage, SendToADestroyedReceiverIsNotDelivered)
{
    auto* pReceiver = new CReceiver(m_uMessage);
    QPointer<QObject> pWatched(pReceiver);
    std::atomic<int> nRunning = 1;
    intptr_t nResult = -1;
    bool bDelivered = true;
    std::thread worker(
        [&]
        {
            nResult = SendWindowMessage(pWatched, m_uMessage, 1, 2, &bDelivered);
            nRunning = 0;
        });
    // The worker's hand-over can only run once the loop is pumped, so the receiver is gone by
    // then whichever thread was first.
    delete pReceiver;
    PumpUntil(nRunning);
    worker.join();
    EXPECT_EQ(nResult, 0);
    EXPECT_FALSE(bDelivered);
}

TEST_F(WindowMessage, ManyWorkersSendingAtOnceEachGetTheirAnswersInOrder)
{
    constexpr int nThreads = 6;
    constexpr int nMessages = 40;
    CReceiver receiver(m_uMessage);
    receiver.m_answer = [](uintptr_t wParam, intptr_t lParam)
    { return static_cast<intptr_t>(wParam) * 1000 + lParam; };

    std::atomic<int> nRunning = nThreads;
    std::vector<std::vector<intptr_t>> answers(nThreads);
    std::vector<std::thread> workers;
    for (int t = 0; t < nThreads; ++t)
        workers.emplace_back(
            [&, t]
            {
                for (intptr_t n = 0; n < nMessages; ++n)
                    answers[static_cast<size_t>(t)].push_back(
                        SendWindowMessage(&receiver, m_uMessage, static_cast<uintptr_t>(t), n));
                --nRunning;
            });
    PumpUntil(nRunning);
    for (std::thread& worker : workers)
        worker.join();

    ASSERT_EQ(receiver.m_calls.size(), static_cast<size_t>(nThreads * nMessages));
    std::vector<intptr_t> nextPerThread(nThreads, 0);
    for (const CReceiver::CCall& call : receiver.m_calls)
    {
        ASSERT_LT(call.wParam, static_cast<uintptr_t>(nThreads));
        EXPECT_EQ(call.lParam, nextPerThread[call.wParam]++);
        EXPECT_EQ(call.thread, m_mainThread);
    }
    for (int t = 0; t < nThreads; ++t)
        for (intptr_t n = 0; n < nMessages; ++n)
            EXPECT_EQ(answers[static_cast<size_t>(t)][static_cast<size_t>(n)], t * 1000 + n);
}
