// Cancelling a run: the bounded wait with its dots, a report that the worker has under way
// when the user cancels, a worker that outlives its dialog, and the runs that follow.

#include "ProcessingDlgTestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

using namespace progress_test;

namespace {

const char* const kTimeoutLine = "Error : A timeout has occurred";

// "Cancelling ." with one more dot per second waited, then " Done".
bool IsCancelDoneLine(const std::string& line) {
    static const QRegularExpression pattern("^Cancelling \\.+ Done$");
    return pattern.match(QString::fromStdString(line)).hasMatch();
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Waits for the end of the run, looks, then closes the dialog with the button.
View CloseWhenOver(TestProcessingDlg& dialog) {
    EXPECT_TRUE(WaitFor([&] { return dialog.Look().button == "Close"; }, kRunWaitMs));
    const View end = dialog.Look();
    Click(dialog.Button());
    return end;
}

} // namespace

TEST_F(ProgressDialogTest, CancelDuringRunThenTheNextRunGoesOn) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back(AddBackground(("c" + std::to_string(i) + ".png").c_str()));

    TestProcessingDlg first(&job);
    int itemNames = 0;
    View beforeCancel;
    QElapsedTimer cancelTime;
    first.afterMessage = [&](const View& v) {
        if (v.message != WM_BATCH_ITEMNAME || ++itemNames != 3)
            return;
        // Outside of the report's handler, as a user's click comes.
        QTimer::singleShot(0, [&] {
            beforeCancel = first.Look();
            cancelTime.start();
            Click(first.Button());
        });
    };
    View cancelled;
    bool openAfterCancel = false;
    qint64 cancelMs = -1;
    const INT_PTR result = RunModal(first, [&](QWidget* window) {
        EXPECT_TRUE(WaitFor([&] { return first.Look().button == "Close"; }, kRunWaitMs));
        cancelMs = cancelTime.elapsed();
        openAfterCancel = window->isVisible();
        cancelled = CloseWhenOver(first);
    });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(openAfterCancel);
    ASSERT_FALSE(cancelled.log.empty());
    EXPECT_TRUE(IsCancelDoneLine(cancelled.log.back())) << cancelled.log.back();
    EXPECT_FALSE(Contains(cancelled.log, kTimeoutLine));
    EXPECT_FALSE(Contains(cancelled.log, "Batch Completed"));
    EXPECT_EQ(cancelled.status, "Cancelled");
    EXPECT_FALSE(cancelled.barEnabled);
    EXPECT_EQ(cancelled.button, "Close");
    // The item under way when the user cancelled is finished and says so; the title counts
    // the finished items, as the bar does, and the counter stays. A cancel that comes just
    // after an item's name, before its stamping began, leaves that item unstamped and its
    // line with the name alone.
    int finished = 0;
    for (std::size_t i = 0; i + 1 < cancelled.log.size(); ++i) {
        const bool unstarted = i + 2 == cancelled.log.size() && cancelled.log[i].ends_with(".png");
        EXPECT_TRUE(cancelled.log[i].ends_with(" ... Done") || unstarted) << cancelled.log[i];
        finished += unstarted ? 0 : 1;
    }
    EXPECT_EQ(cancelled.title, std::to_string(finished * 100 / 40) + "% Complete");
    EXPECT_EQ(cancelled.barPos, finished);
    EXPECT_EQ(cancelled.counter, beforeCancel.counter);
    EXPECT_LT(cancelMs, 10000);

    const std::size_t remaining = job.fileList.size();
    ASSERT_GT(remaining, 0u);
    ASSERT_LT(remaining, names.size());
    const int serialAfterFirst = job.nSerial;
    EXPECT_EQ(Outputs().size(), static_cast<std::size_t>(serialAfterFirst));

    // The next run takes up the list where the cancel left it, with a worker of its own.
    TestProcessingDlg second(&job);
    View end;
    RunModal(second, [&](QWidget*) { end = CloseWhenOver(second); });
    EXPECT_NE(second.WorkerHandle(), first.WorkerHandle());
    ASSERT_EQ(end.log.size(), remaining + 1);
    const std::size_t firstLeft = names.size() - remaining;
    for (std::size_t i = 0; i < remaining; ++i)
        EXPECT_EQ(end.log[i], names[firstLeft + i] + " ... Done");
    EXPECT_EQ(end.log.back(), "Batch Completed");
    const View* item = nullptr;
    for (const View& v : second.views) {
        if (v.message == WM_BATCH_NEXTITEM) {
            item = &v;
            break;
        }
    }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->counter, "Processing Item 1/" + std::to_string(remaining));

    // The running number went on: no output of the first run was overwritten.
    EXPECT_TRUE(job.fileList.empty());
    EXPECT_EQ(Outputs().size(), static_cast<std::size_t>(job.nSerial));
    EXPECT_GE(job.nSerial, static_cast<int>(names.size()));
    EXPECT_LE(job.nSerial, static_cast<int>(names.size()) + 1);
}

// The worker has tested the run flag and is blocked in its report when the user cancels. The
// wait must let that report through, so the worker ends at once rather than at the time-out.
TEST_F(ProgressDialogTest, CancelWhileWorkerIsBlockedInAReportEndsPromptly) {
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i)
        names.push_back(AddBackground(("s" + std::to_string(i) + ".png").c_str()));
    TestProcessingDlg dialog(&job);

    View beforeCancel;
    qint64 cancelMs = -1;
    bool outputSeen = false;
    const auto stall = [&] {
        // This thread now runs no event loop, so the worker's next report cannot be handled:
        // once the item's output is written the worker tests the flag and blocks in sending
        // the outcome (or the next item's start, had that outcome come first). The file is
        // synced before it is named, which on a busy disk takes its time.
        QElapsedTimer waited;
        waited.start();
        while (Outputs().empty() && waited.elapsed() < kRunWaitMs)
            QThread::msleep(2);
        outputSeen = !Outputs().empty();
        // Nothing shows the worker blocked in its send, so it is given a moment to get there.
        // Should the click come before its test, it still reports the outcome through the
        // same wait and every check below holds; only its stop at the next test goes untried.
        QThread::msleep(300);
        beforeCancel = dialog.Look();
        QElapsedTimer timer;
        timer.start();
        Click(dialog.Button());
        cancelMs = timer.elapsed();
    };
    dialog.afterMessage = [&](const View& v) {
        // After the first " ... ", from the event loop as a user's click comes: not from a
        // paint inside the next report's handler, which would hold that report for the
        // whole wait.
        if (v.message == WM_BATCH_ITEMSTATUS &&
            v.log == std::vector<std::string>{names[0] + " ... "})
            QTimer::singleShot(0, stall);
    };
    View end;
    RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });

    ASSERT_TRUE(outputSeen);
    EXPECT_LT(cancelMs, 10000);
    // The report that was under way went through and shows on the item's line, above the
    // cancel's: the file was written. The worker was in the send (it removed its entry after
    // the send returned) and then stopped at its next test. The title counts that item, as
    // the bar does.
    EXPECT_EQ(job.fileList.size(), names.size() - 1);
    ASSERT_EQ(end.log.size(), 2u);
    EXPECT_EQ(end.log[0], names[0] + " ... Done");
    EXPECT_TRUE(IsCancelDoneLine(end.log[1])) << end.log[1];
    EXPECT_EQ(beforeCancel.title, "0% Complete");
    EXPECT_EQ(end.title, "20% Complete");
    EXPECT_EQ(end.barPos, 1);
    EXPECT_EQ(end.counter, "Processing Item 1/5");
    EXPECT_EQ(end.status, "Cancelled");
    EXPECT_EQ(end.button, "Close");
    EXPECT_EQ(Outputs().size(), 1u);
}

// A cancel whose wait runs out leaves a worker behind. No later run may start a second worker
// on the list while it lives; once it has ended, the next run goes on normally.
TEST_F(ProgressDialogTest, WorkerThatOutlivesItsCancelKeepsTheNextRunsOut) {
    AddSlowBackground("slow.png");
    AddBackground("a.png");
    AddBackground("b.png");

    // Waits of a millisecond, so that the slow item outlasts all fifteen.
    TestProcessingDlg first(&job);
    first.SetWait(15, 1);
    first.afterMessage = [&](const View& v) {
        if (v.message == WM_BATCH_ITEMSTATUS && v.log == std::vector<std::string>{"slow.png ... "})
            QTimer::singleShot(0, [&] { Click(first.Button()); });
    };
    View timedOut;
    RunModal(first, [&](QWidget*) { timedOut = CloseWhenOver(first); });
    const HANDLE oldWorker = first.WorkerHandle();
    const HWND firstWindow = job.hProgressWnd;

    EXPECT_EQ(timedOut.log,
              (std::vector<std::string>{"slow.png ... ", "Cancelling ." + std::string(15, '.'),
                                        kTimeoutLine}));
    EXPECT_EQ(timedOut.status, "Cancelled");
    EXPECT_EQ(timedOut.button, "Close");
    ASSERT_EQ(WaitForSingleObject(oldWorker, 0), WAIT_TIMEOUT)
        << "the slow item was too quick for this test";

    // Still within the slow item: the next run refuses to start rather than share the list.
    TestProcessingDlg second(&job);
    second.SetWait(15, 1);
    View refused;
    RunModal(second, [&](QWidget*) { refused = CloseWhenOver(second); });
    EXPECT_EQ(refused.log, std::vector<std::string>{"Error : The previous run has not ended"});
    EXPECT_EQ(refused.status, "Cancelled");
    EXPECT_EQ(refused.button, "Close");
    EXPECT_TRUE(second.views.empty());
    EXPECT_EQ(job.hProgressWnd, firstWindow);
    EXPECT_FALSE(job.IsRunning());

    // A run with the full wait waits for the old worker before it starts its own.
    TestProcessingDlg third(&job);
    bool oldEndedAtStart = false;
    third.afterInit = [&](TestProcessingDlg&) {
        oldEndedAtStart = WaitForSingleObject(oldWorker, 0) == WAIT_OBJECT_0;
    };
    View end;
    RunModal(third, [&](QWidget*) { end = CloseWhenOver(third); });
    EXPECT_TRUE(oldEndedAtStart);
    EXPECT_EQ(end.log,
              (std::vector<std::string>{"a.png ... Done", "b.png ... Done", "Batch Completed"}));
    EXPECT_TRUE(job.fileList.empty());
    // The old worker finished the slow item's save before it stopped and took it off the
    // list: the new run does not stamp it again.
    EXPECT_EQ(job.nSerial, 3);
    EXPECT_EQ(Outputs().size(), 3u);
}

// A request to end the program (SIGTERM, SIGHUP) in the middle of a run, on a disk where
// temporary files have names: the run stops as a cancel would, and the folder holds only whole
// outputs, one per number used, and no temporary file.
TEST_F(ProgressDialogTest, EndingTheProgramMidRunLeavesNoTemporaryFile) {
    ASSERT_EQ(setenv("PICTORUM_NAMED_TEMPORARIES", "1", 1), 0);
    for (int i = 0; i < 40; ++i)
        AddBackground(("t" + std::to_string(i) + ".png").c_str(), 400, 300);
    TestProcessingDlg dialog(&job);
    int itemNames = 0;
    DWORD stopped = WAIT_TIMEOUT;
    dialog.afterMessage = [&](const View& v) {
        if (v.message == WM_BATCH_ITEMNAME && ++itemNames == 3)
            QTimer::singleShot(0, [&] {
                stopped = StopRunForExit(kRunWaitMs);
                Click(dialog.Button()); // what remains of the dialog goes with the program
            });
    };
    RunModal(dialog, [&](QWidget*) {
        EXPECT_TRUE(WaitFor([&] { return stopped == WAIT_OBJECT_0; }, kRunWaitMs));
        CloseWhenOver(dialog);
    });
    EXPECT_EQ(stopped, WAIT_OBJECT_0);
    EXPECT_GT(job.fileList.size(), 0u);
    const QStringList all = QDir(Out()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(all.size(), job.nSerial) << all.join(' ').toStdString();
    EXPECT_TRUE(all.filter(".pictorum-").isEmpty());
}
