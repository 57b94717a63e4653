#include "app/framework/MessageTarget.h"
#include "ThreadTestHelpers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using testhelpers::StartThread;

namespace {

constexpr DWORD kShortWait = 100;
constexpr DWORD kGenerousWait = 10000;

// Records each message it handles; returns wParam + 1000 unless a hook answers instead.
class Recorder : public CMessageTarget {
  public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back({message, wParam, lParam, std::this_thread::get_id()});
        }
        if (m_hook)
            return m_hook(message, wParam, lParam);
        return static_cast<LRESULT>(wParam) + 1000;
    }
    struct Call {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::thread::id thread;
    };
    std::vector<Call> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::function<LRESULT(UINT, WPARAM, LPARAM)> m_hook;

  private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// Runs this thread's event loop until the thread has ended.
void RunEventLoopUntilEnded(const HANDLE& thread) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
}

void SpinUntil(const std::atomic<bool>& flag) {
    while (!flag.load())
        std::this_thread::yield();
}

} // namespace

TEST(MessageTargetTest, SameThreadSendIsADirectCall) {
    Recorder target;
    ASSERT_TRUE(IsWindow(target.GetSafeHwnd()));
    // No event loop runs here: a direct call is the only way this can return the result.
    EXPECT_EQ(SendMessage(target.GetSafeHwnd(), 7, 5, 9), 1005);
    const auto calls = target.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, 7u);
    EXPECT_EQ(calls[0].lParam, 9);
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
}

TEST(MessageTargetTest, CrossThreadSendBlocksUntilEventLoopHandledIt) {
    Recorder target;
    std::atomic<bool> handlerFinished{false};
    target.m_hook = [&](UINT, WPARAM wParam, LPARAM) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        handlerFinished = true;
        return static_cast<LRESULT>(wParam * 3);
    };
    LRESULT result = -1;
    bool finishedWhenReturned = false;
    const HWND hWnd = target.GetSafeHwnd();
    auto worker = StartThread([&] {
        result = SendMessage(hWnd, 104, 14, 0);
        finishedWhenReturned = handlerFinished.load();
    });
    ASSERT_TRUE(worker);
    RunEventLoopUntilEnded(worker->m_hThread);
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(finishedWhenReturned);
    const auto calls = target.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
}

// The cancel case: the target's thread waits for the sender to end. A plain wait leaves the
// send unhandled; a servicing wait runs it (and nothing else), so the sender can end.
TEST(MessageTargetTest, OnlyAServicingWaitRunsSendsOfABlockedThread) {
    Recorder target;
    const HWND hWnd = target.GetSafeHwnd();
    std::atomic<bool> sending{false};
    LRESULT result = -1;
    auto worker = StartThread([&] {
        sending = true;
        result = SendMessage(hWnd, 105, 1, 0);
    });
    ASSERT_TRUE(worker);
    SpinUntil(sending);

    bool otherEventRan = false;
    QTimer::singleShot(0, [&] { otherEventRan = true; });

    EXPECT_EQ(WaitForSingleObject(worker->m_hThread, kShortWait), WAIT_TIMEOUT);
    EXPECT_TRUE(target.Calls().empty());

    EXPECT_EQ(WaitServicingSends(worker->m_hThread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(result, 1001);
    EXPECT_EQ(target.Calls().size(), 1u);
    EXPECT_FALSE(otherEventRan) << "the servicing wait must not run timers or other events";

    // The event posted for the send finds it done and does not run it again.
    QCoreApplication::processEvents();
    EXPECT_TRUE(otherEventRan);
    EXPECT_EQ(target.Calls().size(), 1u);
}

TEST(MessageTargetTest, ServicingWaitTimesOutAndSucceedsAfterThreadEnded) {
    testhelpers::Gate gate;
    auto worker = StartThread([&] { gate.Pass(); });
    ASSERT_TRUE(worker);
    EXPECT_EQ(WaitServicingSends(worker->m_hThread, kShortWait), WAIT_TIMEOUT);
    gate.Open();
    EXPECT_EQ(WaitServicingSends(worker->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(WaitServicingSends(worker->m_hThread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitServicingSends(HANDLE{}, INFINITE), WAIT_FAILED);
}

TEST(MessageTargetTest, SendsToMissingTargetsReturnZeroAtOnce) {
    auto destroyed = std::make_unique<Recorder>();
    const HWND gone = destroyed->GetSafeHwnd();
    destroyed.reset();
    Recorder live; // issued after the destroyed one: its handle must differ
    ASSERT_NE(live.GetSafeHwnd(), gone);

    const struct {
        const char* name;
        HWND hWnd;
    } cases[] = {
        {"null", nullptr},
        {"never issued", reinterpret_cast<HWND>(static_cast<UINT_PTR>(3))},
        {"destroyed", gone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(IsWindow(c.hWnd));
        EXPECT_EQ(SendMessage(c.hWnd, 106, 1, 0), 0);
        LRESULT fromWorker = -1;
        auto worker = StartThread([&] { fromWorker = SendMessage(c.hWnd, 106, 1, 0); });
        ASSERT_TRUE(worker);
        // No event loop runs here, so the worker can only end if the send did not wait.
        ASSERT_EQ(WaitForSingleObject(worker->m_hThread, kGenerousWait), WAIT_OBJECT_0);
        EXPECT_EQ(fromWorker, 0);
    }
    EXPECT_TRUE(live.Calls().empty());
}

TEST(MessageTargetTest, DestroyingTheTargetReleasesAWaitingSender) {
    auto target = std::make_unique<Recorder>();
    const HWND hWnd = target->GetSafeHwnd();
    std::atomic<bool> sending{false};
    LRESULT result = -1;
    auto worker = StartThread([&] {
        sending = true;
        result = SendMessage(hWnd, 107, 8, 0);
    });
    ASSERT_TRUE(worker);
    SpinUntil(sending);
    ASSERT_EQ(WaitForSingleObject(worker->m_hThread, kShortWait), WAIT_TIMEOUT);
    target.reset();
    ASSERT_EQ(WaitForSingleObject(worker->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(hWnd));

    // The withdrawn request is still in this thread's queue; draining it (through another
    // target's send) must skip it without touching the dead object.
    Recorder next;
    const HWND nextWnd = next.GetSafeHwnd();
    LRESULT nextResult = -1;
    auto second = StartThread([&] { nextResult = SendMessage(nextWnd, 108, 2, 0); });
    ASSERT_TRUE(second);
    EXPECT_EQ(WaitServicingSends(second->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(nextResult, 1002);
    QCoreApplication::processEvents();
    EXPECT_EQ(next.Calls().size(), 1u);
}

TEST(MessageTargetTest, HandlerThatDestroysItsTargetReleasesTheSenderWithZero) {
    auto target = std::make_unique<Recorder>();
    target->m_hook = [&](UINT, WPARAM, LPARAM) {
        target.reset();
        return LRESULT{55};
    };
    const HWND hWnd = target->GetSafeHwnd();
    LRESULT result = -1;
    auto worker = StartThread([&] { result = SendMessage(hWnd, 104, 0, 0); });
    ASSERT_TRUE(worker);
    ASSERT_EQ(WaitServicingSends(worker->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(target);
}

// A thread blocked in a send still runs sends to its own targets, so two threads sending to
// each other do not block each other.
TEST(MessageTargetTest, ThreadBlockedInASendRunsSendsToItsOwnTargets) {
    Recorder mainTarget;
    std::atomic<HWND> workerWnd{nullptr};
    mainTarget.m_hook = [&](UINT, WPARAM wParam, LPARAM) {
        return SendMessage(workerWnd.load(), 0, wParam, 0) + 1;
    };
    const HWND mainWnd = mainTarget.GetSafeHwnd();
    LRESULT result = -1;
    std::thread::id workerThread;
    std::thread::id nestedRanOn;
    auto worker = StartThread([&] {
        workerThread = std::this_thread::get_id();
        Recorder workerTarget;
        workerTarget.m_hook = [&](UINT, WPARAM wParam, LPARAM) {
            nestedRanOn = std::this_thread::get_id();
            return static_cast<LRESULT>(wParam * 10);
        };
        workerWnd = workerTarget.GetSafeHwnd();
        result = SendMessage(mainWnd, 0, 4, 0);
    });
    ASSERT_TRUE(worker);
    RunEventLoopUntilEnded(worker->m_hThread);
    EXPECT_EQ(result, 41);
    EXPECT_EQ(nestedRanOn, workerThread);
}

// Many senders at once, drained partly by servicing waits and partly by the event loop:
// every send runs exactly once and gets its own result.
TEST(MessageTargetTest, ConcurrentSendsRunExactlyOnce) {
    constexpr int kSenders = 4;
    constexpr int kSends = 50;
    Recorder target;
    const HWND hWnd = target.GetSafeHwnd();
    std::vector<std::unique_ptr<CWinThread>> workers;
    std::vector<std::vector<LRESULT>> results(kSenders, std::vector<LRESULT>(kSends, -1));
    for (int s = 0; s < kSenders; ++s) {
        workers.push_back(StartThread([&, s] {
            for (int i = 0; i < kSends; ++i)
                results[s][i] = SendMessage(hWnd, 1, static_cast<WPARAM>(s * 1000 + i), 0);
        }));
        ASSERT_TRUE(workers.back());
    }
    ASSERT_EQ(WaitServicingSends(workers[0]->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    for (auto& w : workers)
        RunEventLoopUntilEnded(w->m_hThread);
    QCoreApplication::processEvents();

    std::map<WPARAM, int> seen;
    for (const auto& call : target.Calls())
        ++seen[call.wParam];
    EXPECT_EQ(seen.size(), static_cast<size_t>(kSenders * kSends));
    for (int s = 0; s < kSenders; ++s)
        for (int i = 0; i < kSends; ++i) {
            const WPARAM w = static_cast<WPARAM>(s * 1000 + i);
            EXPECT_EQ(seen[w], 1) << w;
            EXPECT_EQ(results[s][i], static_cast<LRESULT>(w) + 1000);
        }
}

TEST(MessageTargetTest, HandlesAreNeverReused) {
    std::set<HWND> issued;
    for (int i = 0; i < 200; ++i) {
        Recorder target;
        ASSERT_NE(target.GetSafeHwnd(), nullptr);
        EXPECT_TRUE(issued.insert(target.GetSafeHwnd()).second);
    }
    for (HWND hWnd : issued)
        EXPECT_FALSE(IsWindow(hWnd));
}
