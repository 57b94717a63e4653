// Runs that go to their end: what the dialog shows at each report, at the end, and what the
// keys do while the run goes on.

#include "ProcessingDlgTestSupport.h"

#include "app/framework/MessageTarget.h"

#include <QItemSelectionModel>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

using namespace progress_test;

namespace {

const View* FirstView(const std::vector<View>& views, UINT message) {
    for (const View& v : views) {
        if (v.message == message)
            return &v;
    }
    return nullptr;
}

std::vector<std::string> TitlesAt(const std::vector<View>& views, UINT message) {
    std::vector<std::string> titles;
    for (const View& v : views) {
        if (v.message == message)
            titles.push_back(v.title);
    }
    return titles;
}

// Presses the button once the run is over and returns what the dialog showed then.
View CloseWhenOver(TestProcessingDlg& dialog) {
    View end;
    EXPECT_TRUE(WaitFor([&] { return dialog.Look().button == "Close"; }, kRunWaitMs));
    end = dialog.Look();
    Click(dialog.Button());
    return end;
}

} // namespace

TEST_F(ProgressDialogTest, OneBackgroundRunsToFinished) {
    AddBackground("blue.png");
    TestProcessingDlg dialog(&job);
    View opening;
    dialog.afterInit = [&](TestProcessingDlg& d) { opening = d.Look(); };
    View end;
    const INT_PTR result = RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(opening.title, "0% Complete");
    EXPECT_EQ(opening.button, "Cancel");

    const View* start = FirstView(dialog.views, WM_BATCH_START);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->title, "Initializing...");
    EXPECT_EQ(start->counter, "Processing Item 0/1");
    EXPECT_EQ(start->status, "blue.png");
    EXPECT_EQ(start->barPos, 0);
    EXPECT_EQ(start->barMin, 0);
    EXPECT_EQ(start->barMax, 1);

    const View* item = FirstView(dialog.views, WM_BATCH_NEXTITEM);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->title, "0% Complete");
    EXPECT_EQ(item->counter, "Processing Item 1/1");
    EXPECT_EQ(item->status, "blue.png");
    EXPECT_EQ(item->barPos, 1);
    EXPECT_EQ(item->button, "Cancel");

    EXPECT_EQ(end.title, "100% Complete");
    EXPECT_EQ(end.counter, "Processing Item 1/1");
    EXPECT_EQ(end.log, (std::vector<std::string>{"blue.png ... Done", "Batch Completed"}));
    EXPECT_EQ(end.status, "Finished");
    EXPECT_TRUE(end.barEnabled) << "a finished bar is not greyed";
    EXPECT_EQ(end.button, "Close");

    EXPECT_TRUE(job.fileList.empty());
    EXPECT_EQ(Outputs().size(), 1u);
    EXPECT_EQ(job.nSerial, 1);

    // The job still names the dialog's window, which is gone: nothing may reach the object.
    EXPECT_FALSE(IsWindow(job.hProgressWnd));
    EXPECT_EQ(SendMessage(job.hProgressWnd, WM_BATCH_DONE, 0, 0), 0);
    EXPECT_EQ(dialog.views.back().message, WM_BATCH_DONE);
}

TEST_F(ProgressDialogTest, EmptyListCompletesAtOnce) {
    TestProcessingDlg dialog(&job);
    View end;
    RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });

    ASSERT_EQ(dialog.views.size(), 2u);
    const View& start = dialog.views[0];
    EXPECT_EQ(start.message, WM_BATCH_START);
    EXPECT_EQ(start.title, "Initializing...");
    EXPECT_EQ(start.counter, "Processing Item 0/0");
    EXPECT_EQ(start.status, "");
    EXPECT_EQ(start.barMin, 0);
    EXPECT_EQ(start.barMax, 0);
    EXPECT_EQ(dialog.views[1].message, WM_BATCH_DONE);

    EXPECT_EQ(end.title, "100% Complete");
    EXPECT_EQ(end.log, std::vector<std::string>{"Batch Completed"});
    EXPECT_EQ(end.status, "Finished");
    EXPECT_EQ(end.button, "Close");
    EXPECT_TRUE(Outputs().empty());
}

struct TitleCase {
    int count;
    std::vector<std::string> titles; // at the start of each item
};
void PrintTo(const TitleCase& c, std::ostream* os) {
    *os << c.count << " item(s)";
}

class ProgressTitleTest : public ProgressDialogTest,
                          public ::testing::WithParamInterface<TitleCase> {};

TEST_P(ProgressTitleTest, TitleShowsItemsBeforeTheCurrentOne) {
    const TitleCase& c = GetParam();
    std::vector<std::string> names;
    for (int i = 0; i < c.count; ++i)
        names.push_back(AddBackground(("b" + std::to_string(i) + ".png").c_str()));
    TestProcessingDlg dialog(&job);
    View end;
    RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });

    EXPECT_EQ(TitlesAt(dialog.views, WM_BATCH_NEXTITEM), c.titles);
    std::vector<std::string> counters;
    std::vector<std::string> statuses;
    std::vector<int> positions;
    for (const View& v : dialog.views) {
        if (v.message != WM_BATCH_NEXTITEM)
            continue;
        counters.push_back(v.counter);
        statuses.push_back(v.status);
        positions.push_back(v.barPos);
    }
    std::vector<std::string> wantCounters;
    std::vector<int> wantPositions;
    for (int k = 1; k <= c.count; ++k) {
        wantCounters.push_back("Processing Item " + std::to_string(k) + "/" +
                               std::to_string(c.count));
        wantPositions.push_back(k);
    }
    EXPECT_EQ(counters, wantCounters);
    EXPECT_EQ(statuses, names);
    EXPECT_EQ(positions, wantPositions);
    EXPECT_EQ(end.title, "100% Complete");
    ASSERT_EQ(end.log.size(), names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(end.log[i], names[i] + " ... Done");
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ProgressTitleTest,
    ::testing::Values(TitleCase{3, {"0% Complete", "33% Complete", "66% Complete"}},
                      TitleCase{4,
                                {"0% Complete", "25% Complete", "50% Complete", "75% Complete"}}));

// 29 of 100 done must read 29, not the 28 that the floating quotient 0.29 * 100 truncates to.
TEST_F(ProgressDialogTest, PercentIsExactForWholeValues) {
    for (int i = 0; i < 100; ++i)
        AddBackground(("p" + std::to_string(i) + ".png").c_str(), 4, 4);
    TestProcessingDlg dialog(&job);
    RunModal(dialog, [&](QWidget*) { CloseWhenOver(dialog); });
    const std::vector<std::string> titles = TitlesAt(dialog.views, WM_BATCH_NEXTITEM);
    ASSERT_EQ(titles.size(), 100u);
    for (int k = 1; k <= 100; ++k)
        EXPECT_EQ(titles[k - 1], std::to_string(k - 1) + "% Complete");
}

// A thread cannot be started when its stack does not fit into the address space left. The
// dialog then says so and lets the user close it; nothing runs and the list stays.
TEST_F(ProgressDialogTest, WorkerThatCannotStartLeavesAClosableDialog) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own mappings need the address space";
#else
    AddBackground("blue.png");
    TestProcessingDlg dialog(&job);

    // New threads ask for a stack of a gigabyte (larger than any stack the C library keeps
    // from ended threads), and the address space has room for the dialog's widgets only.
    pthread_attr_t savedAttr;
    ASSERT_EQ(pthread_getattr_default_np(&savedAttr), 0);
    pthread_attr_t hugeStack;
    ASSERT_EQ(pthread_attr_init(&hugeStack), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&hugeStack, std::size_t{1} << 30), 0);
    rlimit savedLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &savedLimit), 0);
    unsigned long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    ASSERT_GT(pages, 0u);
    rlimit tight = savedLimit;
    tight.rlim_cur = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + (64u << 20);
    const auto restore = [&] {
        setrlimit(RLIMIT_AS, &savedLimit);
        pthread_setattr_default_np(&savedAttr);
    };
    dialog.afterInit = [&](TestProcessingDlg&) { restore(); };
    ASSERT_EQ(pthread_setattr_default_np(&hugeStack), 0);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    View end;
    const INT_PTR result = RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });
    restore();
    pthread_attr_destroy(&hugeStack);
    pthread_attr_destroy(&savedAttr);

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(end.log, std::vector<std::string>{"Error : Could not start the run"});
    EXPECT_EQ(end.status, "Cancelled");
    EXPECT_EQ(end.button, "Close");
    EXPECT_FALSE(end.barEnabled);
    EXPECT_TRUE(dialog.views.empty());
    EXPECT_FALSE(job.IsRunning());
    EXPECT_EQ(job.fileList.size(), 1u);
    EXPECT_TRUE(Outputs().empty());
#endif
}

// How the user asks the dialog to go away while the run goes on.
struct KeyCase {
    const char* name;
    std::function<void(QWidget* window, TestProcessingDlg& dialog)> act;
    bool cancels;
};
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgressKeyTest : public ProgressDialogTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ProgressKeyTest, OnlyTheCancelCommandStopsAndNothingClosesARun) {
    const KeyCase& c = GetParam();
    for (int i = 0; i < 40; ++i)
        AddBackground(("k" + std::to_string(i) + ".png").c_str());
    TestProcessingDlg dialog(&job);
    bool acted = false;
    bool openAfterAct = false;
    // Acts just after the first item's name was logged, outside of the report's handler: the
    // worker still has most of the list before it.
    dialog.afterMessage = [&](const View& v) {
        if (acted || v.message != WM_BATCH_ITEMNAME)
            return;
        acted = true;
        QTimer::singleShot(0, [&] {
            QWidget* window = dialog.GetWidget();
            // Keys go to the focused widget of the active window, as for the user.
            WaitFor([window] { return window->isActiveWindow(); }, 2000);
            c.act(window, dialog);
            openAfterAct = dialog.GetWidget() != nullptr && dialog.GetWidget()->isVisible();
        });
    };
    View end;
    const INT_PTR result = RunModal(dialog, [&](QWidget*) { end = CloseWhenOver(dialog); });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(acted);
    EXPECT_TRUE(openAfterAct) << "the run may go on: the dialog must stay open";
    const bool cancelled = !end.log.empty() && end.log.back().rfind("Cancelling .", 0) == 0;
    EXPECT_EQ(cancelled, c.cancels);
    if (c.cancels) {
        EXPECT_EQ(end.status, "Cancelled");
        EXPECT_FALSE(job.fileList.empty());
    } else {
        EXPECT_EQ(end.log.back(), "Batch Completed");
        EXPECT_EQ(end.status, "Finished");
        EXPECT_TRUE(job.fileList.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ProgressKeyTest,
    ::testing::Values(
        KeyCase{"Escape", [](QWidget* w, TestProcessingDlg&) { PressKey(w, Qt::Key_Escape); },
                true},
        KeyCase{"WindowManagerClose", [](QWidget* w, TestProcessingDlg&) { w->close(); }, true},
        KeyCase{"EnterInTheLog",
                [](QWidget* w, TestProcessingDlg& d) {
                    d.LogWidget()->setFocus(Qt::OtherFocusReason);
                    PressKey(w, Qt::Key_Return);
                },
                false},
        KeyCase{"EnterOnTheButton",
                [](QWidget* w, TestProcessingDlg& d) {
                    d.Button()->setFocus(Qt::OtherFocusReason);
                    PressKey(w, Qt::Key_Return);
                },
                true}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// A new line of the log comes into view without moving its selection or focus mark: a screen
// reader reads each such move as the focus leaving Cancel.
TEST_F(ProgressDialogTest, TheLogScrollsToEachNewLineWithoutSelectingIt) {
    for (int i = 0; i < 12; ++i)
        AddBackground(("bg" + std::to_string(i) + ".png").c_str());
    TestProcessingDlg dialog(&job);
    int moves = 0;
    dialog.afterInit = [&](TestProcessingDlg& d) {
        QItemSelectionModel* marks = d.LogWidget()->selectionModel();
        QObject::connect(marks, &QItemSelectionModel::currentChanged, [&] { ++moves; });
        QObject::connect(marks, &QItemSelectionModel::selectionChanged, [&] { ++moves; });
    };
    bool lastInView = false;
    RunModal(dialog, [&](QWidget*) {
        EXPECT_TRUE(WaitFor([&] { return dialog.Look().button == "Close"; }, kRunWaitMs));
        QListWidget* log = dialog.LogWidget();
        lastInView = log->viewport()->rect().contains(
            log->visualItemRect(log->item(log->count() - 1)).center());
        Click(dialog.Button());
    });
    EXPECT_EQ(moves, 0);
    EXPECT_TRUE(lastInView);
}
