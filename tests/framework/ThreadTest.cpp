#include "TestMain.h"
#include "ThreadTestHelpers.h"
#include "app/framework/AwayFromWindow.h"
#include "app/framework/NewestWork.h"
#include "app/framework/WinThread.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using testhelpers::Gate;
using testhelpers::StartThread;

namespace {

// Long enough that a live thread cannot end by accident; the tests never measure speed.
constexpr DWORD kShortWait = 50;
constexpr DWORD kGenerousWait = 10000;

UINT StoreParam(void* param) {
    static_cast<std::atomic<void*>*>(param)->store(param);
    return 0;
}

} // namespace

TEST(ThreadTest, WaitTimesOutWhileRunningAndSucceedsOnceEnded) {
    Gate gate;
    auto thread = StartThread([&] { gate.Pass(); });
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, kShortWait), WAIT_TIMEOUT);
    gate.Open();
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, INFINITE), WAIT_OBJECT_0);
    // The handle stays signalled: later waits return at once, also with a zero time-out.
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, kShortWait), WAIT_OBJECT_0);
}

TEST(ThreadTest, HandleOutlivesThreadObjectAndThread) {
    Gate gate;
    auto thread = StartThread([&] { gate.Pass(); });
    ASSERT_TRUE(thread);
    HANDLE copy = thread->m_hThread;
    thread.reset(); // closes its handle, neither waits for nor stops the thread
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_TIMEOUT);
    gate.Open();
    EXPECT_EQ(WaitForSingleObject(copy, kGenerousWait), WAIT_OBJECT_0);
}

TEST(ThreadTest, PassesParameterAndRunsOnAnotherThread) {
    std::atomic<void*> seen{nullptr};
    std::unique_ptr<CWinThread> thread(AfxBeginThread(&StoreParam, &seen));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(seen.load(), &seen);

    std::thread::id ran;
    auto other = StartThread([&] { ran = std::this_thread::get_id(); });
    ASSERT_TRUE(other);
    ASSERT_EQ(WaitForSingleObject(other->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_NE(ran, std::this_thread::get_id());
    EXPECT_NE(thread->m_nThreadID, other->m_nThreadID);
}

TEST(ThreadTest, StartOptions) {
    struct Case {
        const char* name;
        int priority;
        UINT stack;
        DWORD flags;
        bool starts;
    };
    const Case cases[] = {
        {"defaults", THREAD_PRIORITY_NORMAL, 0, 0, true},
        {"priority and stack are hints", 2, 1 << 20, 0, true},
        {"suspended start is refused", THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<void*> seen{nullptr};
        std::unique_ptr<CWinThread> thread(
            AfxBeginThread(&StoreParam, &seen, c.priority, c.stack, c.flags));
        ASSERT_EQ(thread != nullptr, c.starts);
        if (thread) {
            ASSERT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWait), WAIT_OBJECT_0);
            EXPECT_EQ(seen.load(), &seen);
        }
    }
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

TEST(ThreadTest, NullHandleFailsAtOnce) {
    EXPECT_EQ(WaitForSingleObject(HANDLE{}, INFINITE), WAIT_FAILED);
}

TEST(ThreadTest, WaitForAllThreadsCoversDetachedThreads) {
    Gate gate;
    auto thread = StartThread([&] { gate.Pass(); });
    ASSERT_TRUE(thread);
    thread.reset(); // nobody holds a handle any more
    EXPECT_EQ(AfxWaitForAllThreads(kShortWait), WAIT_TIMEOUT);
    gate.Open();
    EXPECT_EQ(AfxWaitForAllThreads(kGenerousWait), WAIT_OBJECT_0);
}

TEST(ThreadTest, EndWatchRunsOnceAndNeverAfterDestruction) {
    Gate gate;
    auto thread = StartThread([&] { gate.Pass(); });
    ASSERT_TRUE(thread);
    std::atomic<int> kept{0};
    std::atomic<int> dropped{0};
    auto keptWatch = std::make_unique<ThreadEndWatch>(thread->m_hThread, [&] { ++kept; });
    {
        ThreadEndWatch droppedWatch(thread->m_hThread, [&] { ++dropped; });
    }
    gate.Open();
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_EQ(kept.load(), 1);
    EXPECT_EQ(dropped.load(), 0);
    keptWatch.reset();

    // A watch on a thread that has already ended fires at once.
    int late = 0;
    ThreadEndWatch lateWatch(thread->m_hThread, [&] { ++late; });
    EXPECT_EQ(late, 1);
}

// The message and thread tests need an application object for event loops, but no widgets.
test_main::Program test_main::ThisProgram() {
    return {.application = &test_main::CoreApplication, .imaging = false};
}

// A call that waits (as on a mount that stopped answering) runs away from the interface thread:
// that thread's timers go on firing meanwhile, and the call's effects are there when it returns.
TEST(ThreadTest, WaitingCallLeavesTheInterfaceThreadServingItsEvents) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    std::thread::id ranOn;
    RunAwayFromWindow([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ranOn = std::this_thread::get_id();
    });
    timer.stop();
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_GE(ticks, 3);
}

// Three requests while the first is held: the second never runs (the third replaced it before
// it started), the first runs but its answer is dropped, and only the third's is delivered.
// After Release nothing more is delivered, even of a request that was running then.
TEST(ThreadTest, NewestWorkDeliversOnlyTheNewestAnswer) {
    Gate first;
    std::vector<int> ran;
    std::vector<int> answered;
    int idle = 0;
    std::mutex lock;
    NewestWork work;
    work.WhenIdle([&] { ++idle; });
    // A held request lets the test go on once it runs, and ends when the test opens hold.
    const auto request = [&](int n, Gate* hold, Gate* running = nullptr) {
        return work.Request([&, n, hold, running]() -> NewestWork::Answer {
            if (running != nullptr)
                running->Open();
            if (hold != nullptr)
                hold->Pass();
            std::lock_guard guard(lock);
            ran.push_back(n);
            return [&answered, n] { answered.push_back(n); };
        });
    };
    Gate firstRuns;
    request(1, &first, &firstRuns);
    firstRuns.Pass();
    request(2, nullptr);
    const std::uint64_t third = request(3, nullptr);
    EXPECT_TRUE(work.Working(third));
    EXPECT_FALSE(work.Finish(kShortWait)); // the first is still held
    first.Open();
    ASSERT_TRUE(work.Finish(kGenerousWait));
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
    EXPECT_EQ(answered, std::vector<int>{3});
    EXPECT_EQ(idle, 1);
    EXPECT_FALSE(work.Busy());

    Gate late;
    Gate lateRuns;
    request(4, &late, &lateRuns);
    lateRuns.Pass();
    EXPECT_FALSE(work.Release(kShortWait));
    late.Open();
    EXPECT_TRUE(work.Release(kGenerousWait));
    QCoreApplication::processEvents();
    EXPECT_EQ(answered, std::vector<int>{3});
}
