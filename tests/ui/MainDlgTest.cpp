// The main window driven as a user drives it: its checks before a run, the overlay choice, the
// import dialog, the keys that must not close it, and leaving it while a worker still runs.

#include "MainDlgTestSupport.h"
#include "TestMain.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include "app/framework/MessageTarget.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingDlg.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <QTranslator>

#include <gtest/gtest.h>

using namespace maindlg_test;

namespace {

class MainDlgTest : public ::testing::Test {
  protected:
    void SetUp() override { UseProgramTemplates(); }
};

int FocusedControl(CMainDlg& dialog) {
    QWidget* focus = dialog.GetWidget() != nullptr ? dialog.GetWidget()->focusWidget() : nullptr;
    for (int id : {IDC_GO, IDC_EXIT, IDC_BACKGROUND_LIST, IDC_IMPORT, IDC_REMOVE,
                   IDC_BROWSE_OVERLAY, IDC_REMOVE_ALL, IDC_ABOUT, IDC_OPTIONS, IDC_OVERLAY_PATH})
        if (focus != nullptr && focus == Control(dialog, id))
            return id;
    return 0;
}

// Chooses path as the overlay with "Browse..." and the open-file dialog.
void BrowseOverlay(ModalScript& script, CMainDlg& dialog, const QString& path) {
    script.OnMain(dialog, "browse", [&dialog] { ClickControl(dialog, IDC_BROWSE_OVERLAY); })
        .Then("overlay file", IsOpenFileDialog,
              [path](QWidget* modal) { AnswerFileDialog(modal, path); })
        .OnMain(dialog, "overlay checked", [&dialog] { dialog.FinishOverlayCheck(20000); });
}

// Imports paths with "Import..." and the open-file dialog.
void Import(ModalScript& script, CMainDlg& dialog, const QStringList& paths) {
    script.OnMain(dialog, "import", [&dialog] { ClickControl(dialog, IDC_IMPORT); })
        .Then("background files", IsOpenFileDialog, [paths](QWidget* modal) {
            AnswerFileDialog(modal, paths.size() == 1 ? paths.first() : QuotedNames(paths));
        });
}

} // namespace

struct GoCase {
    const char* name;
    bool withOverlay;
    const char* message;
    int focusAfter;
};
void PrintTo(const GoCase& c, std::ostream* os) {
    *os << c.name;
}

class GoChecks : public MainDlgTest, public ::testing::WithParamInterface<GoCase> {};

TEST_P(GoChecks, ReportTheFirstMissingInputAndFocusItsButton) {
    const GoCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString overlay = WritePicture(dir.filePath(QStringLiteral("mark.png")), 30, 10, Qt::red);
    CMainDlg dialog;
    std::vector<SeenBox> boxes;
    int focusAtOpen = 0, focusAfter = 0;
    bool chooserShown = false;
    ModalScript script;
    script.OnMain(dialog, "look", [&] { focusAtOpen = FocusedControl(dialog); });
    if (c.withOverlay)
        BrowseOverlay(script, dialog, overlay);
    script.OnMain(dialog, "go", [&] { ClickControl(dialog, IDC_GO); })
        .Then("error", IsMessageBox, [&](QWidget* modal) { AnswerMessageBox(modal, boxes); })
        .OnMain(dialog, "exit", [&] {
            focusAfter = FocusedControl(dialog);
            ClickControl(dialog, IDC_EXIT);
        });
    // A folder chooser here would be a fault; answer it so that the test ends.
    script.Then("no chooser", IsFolderChooser, [&](QWidget* modal) {
        chooserShown = true;
        CancelFileDialog(modal);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_EQ(focusAtOpen, IDC_GO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].text, QString::fromLatin1(c.message));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(focusAfter, c.focusAfter);
    EXPECT_FALSE(chooserShown);
    EXPECT_TRUE(dialog.GetJob().fileList.empty());
}

INSTANTIATE_TEST_SUITE_P(
    MainDlg, GoChecks,
    ::testing::Values(GoCase{"Nothing", false, "No overlay image selected", IDC_BROWSE_OVERLAY},
                      GoCase{"OverlayOnly", true, "No background images selected", IDC_IMPORT}),
    [](const ::testing::TestParamInfo<GoCase>& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, OverlayChoiceSetsItsPixelSizeKeepsTheAnchorAndARefusalKeepsTheOldOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString overlay =
        WritePicture(dir.filePath(QStringLiteral("mark.png")), 120, 40, Qt::red);
    const QString damaged = dir.filePath(QStringLiteral("damaged.png"));
    ASSERT_TRUE(
        WriteBytes(damaged, QByteArray("\x89PNG\r\n\x1a\n but nothing after the signature")));
    CMainDlg dialog;
    // As the options dialog would have left it.
    dialog.GetJob().SetSizeMode(SizeModePercent);
    dialog.GetJob().SetOverlayAnchor(4);
    dialog.GetJob().nSizeX = 50;
    dialog.GetJob().nSizeY = 25;
    bool optionsAtOpen = true, optionsAccepted = false, optionsRefused = true;
    QString boxAccepted, boxRefused = QStringLiteral("unchanged");
    DWORD mode = 0, anchor = 0;
    int sizeX = 0, sizeY = 0;
    std::string overlayAfterRefusal;
    int sizeXAfterRefusal = 0;
    auto optionsEnabled = [&] { return Control(dialog, IDC_OPTIONS)->isEnabled(); };
    auto pathBox = [&] {
        return qobject_cast<QLineEdit*>(Control(dialog, IDC_OVERLAY_PATH))->text();
    };
    ModalScript script;
    script.OnMain(dialog, "look", [&] { optionsAtOpen = optionsEnabled(); });
    BrowseOverlay(script, dialog, overlay);
    script.OnMain(dialog, "accepted", [&] {
        optionsAccepted = optionsEnabled();
        boxAccepted = pathBox();
        mode = dialog.GetJob().GetSizeMode();
        anchor = dialog.GetJob().GetOverlayAnchor();
        sizeX = dialog.GetJob().nSizeX;
        sizeY = dialog.GetJob().nSizeY;
    });
    BrowseOverlay(script, dialog, damaged);
    script.OnMain(dialog, "refused", [&] {
        optionsRefused = optionsEnabled();
        boxRefused = pathBox();
        overlayAfterRefusal = dialog.GetJob().szOverlayPath;
        sizeXAfterRefusal = dialog.GetJob().nSizeX;
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_FALSE(optionsAtOpen);
    EXPECT_TRUE(optionsAccepted);
    EXPECT_EQ(mode, SizeModePixels);
    EXPECT_EQ(sizeX, 120);
    EXPECT_EQ(sizeY, 40);
    EXPECT_EQ(anchor, 4u);
    EXPECT_TRUE(boxAccepted.endsWith(QStringLiteral("/mark.png"))) << boxAccepted.toStdString();
    EXPECT_FALSE(optionsRefused);
    EXPECT_EQ(boxRefused, QString());
    EXPECT_EQ(overlayAfterRefusal, Bytes(overlay));
    EXPECT_EQ(sizeXAfterRefusal, 120);
}

TEST_F(MainDlgTest, PathBoxShowsUpToThirtyCharactersWholeAndShortensLongerPaths) {
    // A short folder of known length, so that the file paths have exact lengths.
    QTemporaryDir dir(QStringLiteral("/tmp/mdXXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const int folder = static_cast<int>(dir.path().size()) + 1;
    ASSERT_LT(folder, 25);
    const QString exact30 = WritePicture(
        dir.filePath(QString(30 - folder - 4, QLatin1Char('a')) + QStringLiteral(".png")), 8, 8,
        Qt::red);
    const QString long31 = WritePicture(
        dir.filePath(QString(31 - folder - 4, QLatin1Char('b')) + QStringLiteral(".png")), 8, 8,
        Qt::red);
    ASSERT_EQ(exact30.size(), 30);
    ASSERT_EQ(long31.size(), 31);
    CMainDlg dialog;
    QStringList shown;
    auto look = [&] {
        shown << qobject_cast<QLineEdit*>(Control(dialog, IDC_OVERLAY_PATH))->text();
    };
    ModalScript script;
    BrowseOverlay(script, dialog, exact30);
    script.OnMain(dialog, "look 30", look);
    BrowseOverlay(script, dialog, long31);
    script.OnMain(dialog, "look 31", [&] {
        look();
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], exact30);
    EXPECT_EQ(shown[1], long31.left(3) + QStringLiteral("...") + long31.right(23));
    EXPECT_EQ(std::string(dialog.GetJob().szOverlayPath), Bytes(long31));
}

TEST_F(MainDlgTest, BrowseStartsInTheCurrentOverlaysFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Long enough for the path box to show it shortened.
    const QString folder =
        dir.filePath(QStringLiteral("a folder with a rather long name for logos"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString overlay = WritePicture(folder + QStringLiteral("/logo.png"), 8, 8, Qt::red);
    CMainDlg dialog;
    QString shownInBox, startFolder, startName;
    ModalScript script;
    BrowseOverlay(script, dialog, overlay);
    script
        .OnMain(dialog, "browse again",
                [&] {
                    shownInBox =
                        qobject_cast<QLineEdit*>(Control(dialog, IDC_OVERLAY_PATH))->text();
                    ClickControl(dialog, IDC_BROWSE_OVERLAY);
                })
        .Then("look", IsOpenFileDialog,
              [&](QWidget* modal) {
                  auto* files = qobject_cast<QFileDialog*>(modal);
                  startFolder = files->directory().absolutePath();
                  startName = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                  CancelFileDialog(modal);
              })
        .OnMain(dialog, "exit", [&] { ClickControl(dialog, IDC_EXIT); });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_TRUE(shownInBox.contains(QStringLiteral("..."))) << shownInBox.toStdString();
    EXPECT_EQ(startFolder, QFileInfo(folder).absoluteFilePath());
    EXPECT_EQ(startName, QStringLiteral("logo.png"));
}

TEST_F(MainDlgTest, ImportAddsEachChosenFileOnceAndSelectsTheFirstEntry) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList three;
    for (const char* name : {"a.png", "b.jpg", "c.bmp"})
        three << WritePicture(dir.filePath(QString::fromLatin1(name)), 16, 12, Qt::blue,
                              QString::fromLatin1(name).section('.', 1).toUpper().toLatin1());
    const QString lower = WritePicture(dir.filePath(QStringLiteral("shot.png")), 8, 8, Qt::green);
    const QString upper = WritePicture(dir.filePath(QStringLiteral("SHOT.png")), 8, 8, Qt::green);
    CMainDlg dialog;
    std::vector<std::string> afterThree, atEnd;
    bool firstSelected = false;
    int selectedCount = 0;
    QString label;
    ModalScript script;
    Import(script, dialog, three);
    script.OnMain(dialog, "three", [&] {
        afterThree = ListedPaths(dialog);
        firstSelected = FileList(dialog)->GetSel(0) > 0;
        selectedCount = FileList(dialog)->GetSelCount();
    });
    Import(script, dialog, {lower});
    Import(script, dialog, {lower});
    Import(script, dialog, {upper});
    script.OnMain(dialog, "end", [&] {
        atEnd = ListedPaths(dialog);
        label = GroupTitle(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(afterThree,
              (std::vector<std::string>{Bytes(three[0]), Bytes(three[1]), Bytes(three[2])}));
    EXPECT_TRUE(firstSelected);
    EXPECT_EQ(selectedCount, 1);
    ASSERT_EQ(atEnd.size(), 5u);
    EXPECT_EQ(atEnd[3], Bytes(lower));
    EXPECT_EQ(atEnd[4], Bytes(upper));
    EXPECT_EQ(label, QStringLiteral("Background Images (5)"));
}

struct ImportAnswerCase {
    const char* name;
    int files;         // this many long-named files, all chosen at once; 0: typed is typed
    const char* typed; // a name typed into the dialog
    const char* box;   // the start of the box that answers, or null for none
    int listed;        // entries afterwards
};

class ImportAnswers : public MainDlgTest, public ::testing::WithParamInterface<ImportAnswerCase> {};

// Every choice is either taken or answered: more files than the first buffer holds, a typed
// file outside the filter, a name that names no file.
TEST_P(ImportAnswers, EveryChoiceIsTakenOrAnswered) {
    const ImportAnswerCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Only the first entry is previewed, so only the first file needs to be a picture.
    QStringList chosen;
    const QString shape = QStringLiteral("holiday-photograph-number-%1.png");
    for (int i = 0; i < c.files; ++i) {
        chosen << dir.filePath(shape.arg(i, 4, 10, QChar('0')));
        QFile file(chosen.back());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    if (c.files > 0)
        WritePicture(chosen.first(), 8, 8, Qt::blue);
    WritePicture(dir.filePath(QStringLiteral("scan.pic")), 8, 8, Qt::blue);
    const QString typed =
        c.files > 0 ? QuotedNames(chosen) : dir.filePath(QString::fromUtf8(c.typed));
    CMainDlg dialog;
    std::vector<SeenBox> boxes;
    int listed = -1;
    ModalScript script;
    script.OnMain(dialog, "import", [&dialog] { ClickControl(dialog, IDC_IMPORT); })
        .Then("type and accept", IsOpenFileDialog, [typed](QWidget* modal) {
            auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            edit->setFocus();
            edit->setText(typed);
            PressKey(modal, Qt::Key_Return);
        });
    if (c.box != nullptr)
        script.Then("answer", IsMessageBox,
                    [&](QWidget* modal) { AnswerMessageBox(modal, boxes); });
    // After "File not found" the file dialog is still up for another try.
    if (c.box != nullptr && std::string(c.box) == "File not found")
        script.Then("give up", IsOpenFileDialog, [](QWidget* modal) { CancelFileDialog(modal); });
    script.OnMain(dialog, "exit", [&] {
        listed = FileList(dialog)->GetCount();
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(listed, c.listed);
    ASSERT_EQ(boxes.size(), c.box != nullptr ? 1u : 0u);
    if (c.box != nullptr) {
        EXPECT_TRUE(boxes[0].text.contains(QString::fromUtf8(c.box)))
            << boxes[0].text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ImportAnswers,
    ::testing::Values(ImportAnswerCase{"MoreThanTheFirstBufferHolds", 500, nullptr, nullptr, 500},
                      ImportAnswerCase{"AsManyAsFit", 200, nullptr, nullptr, 200},
                      ImportAnswerCase{"TypedFileOutsideTheFilter", 0, "scan.pic", nullptr, 1},
                      ImportAnswerCase{"TypedNameOfNoFile", 0, "sacn.pic", "File not found", 0}),
    [](const ::testing::TestParamInfo<ImportAnswerCase>& info) { return info.param.name; });

TEST_F(MainDlgTest, ImportFilterListsEveryEncoderFirstTogetherThenEachAlone) {
    std::string filter = "kept|";
    CMainDlg::BuildImportFilter(filter);
    EXPECT_EQ(filter.rfind("kept|All Supported Formats|*.BMP;*.DIB;*.RLE;*.JPG;*.JPEG;*.JPE;"
                           "*.JFIF;*.TIF;*.TIFF;*.PNG",
                           0),
              0u)
        << filter;
    EXPECT_NE(filter.find("|BMP File (*.BMP;*.DIB;*.RLE)|*.BMP;*.DIB;*.RLE|"), std::string::npos);
    EXPECT_NE(filter.find("|PNG File (*.PNG)|*.PNG|"), std::string::npos);
    ASSERT_GE(filter.size(), 3u);
    EXPECT_EQ(filter.substr(filter.size() - 2), "||");
    EXPECT_NE(filter[filter.size() - 3], '|');
}

TEST_F(MainDlgTest, EnterAndEscapeLeaveTheWindowOpenAndACloseRequestExits) {
    CMainDlg dialog;
    bool openAfterKeys = false;
    std::vector<SeenBox> boxes;
    ModalScript script;
    script.OnMain(dialog, "keys", [&] {
        QWidget* window = dialog.GetWidget();
        for (int id : {IDC_BACKGROUND_LIST, IDC_OVERLAY_PATH}) {
            Control(dialog, id)->setFocus();
            PressKey(window, Qt::Key_Return);
            PressKey(window, Qt::Key_Escape);
        }
        openAfterKeys = dialog.GetWidget() != nullptr && dialog.GetWidget()->isVisible();
        window->close(); // the title bar's close box does what "Exit" does
    });
    script.Then("no box", IsMessageBox, [&](QWidget* modal) { AnswerMessageBox(modal, boxes); });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(openAfterKeys);
    EXPECT_TRUE(boxes.empty());
}

// Tab walks the left column (the list, its buttons, the run's buttons), then the right one
// (the overlay), round; Ctrl+Q then leaves as "Exit" does.
TEST_F(MainDlgTest, TabFollowsTheTwoColumnsAndCtrlQExits) {
    CMainDlg dialog;
    std::vector<int> walked;
    ModalScript script;
    script.OnMain(dialog, "tab", [&] {
        dialog.GetDlgItem(IDC_OPTIONS)->EnableWindow(TRUE);
        walked.push_back(FocusedControl(dialog));
        for (int step = 0; step < 10; ++step) {
            PressKey(QApplication::focusWidget(), Qt::Key_Tab);
            walked.push_back(FocusedControl(dialog));
        }
        PressKey(dialog.GetWidget(), Qt::Key_Q, Qt::ControlModifier);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(walked, (std::vector<int>{IDC_GO, IDC_ABOUT, IDC_EXIT, IDC_OVERLAY_PATH,
                                        IDC_BROWSE_OVERLAY, IDC_OPTIONS, IDC_BACKGROUND_LIST,
                                        IDC_IMPORT, IDC_REMOVE, IDC_REMOVE_ALL, IDC_GO}));
}

TEST_F(MainDlgTest, OutputFolderWithoutAPathIsTakenOnlyWhenAnEarlierFolderExists) {
    struct Case {
        const char* earlier;
        const char* chosen; // null: the chosen item has no file-system path
        BOOL starts;
        const char* folderAfter;
    };
    const Case cases[] = {
        {"", nullptr, FALSE, ""},
        {"/srv/out", nullptr, TRUE, "/srv/out"},
        {"", "/srv/new", TRUE, "/srv/new"},
        {"/srv/out", "/srv/new", TRUE, "/srv/new"},
    };
    for (const Case& c : cases) {
        CMainDlg dialog;
        CopyText(dialog.GetJob().szOutputDir, c.earlier);
        EXPECT_EQ(dialog.TakeOutputFolder(c.chosen), c.starts) << c.earlier;
        EXPECT_STREQ(dialog.GetJob().szOutputDir, c.folderAfter);
    }
}

namespace {
// Receives reports on a thread of its own and holds each one until released, so that a worker
// can be kept busy for exactly as long as a test needs, whatever the machine's speed.
class HoldingReceiver {
  public:
    HoldingReceiver() {
        m_thread.reset(QThread::create([this] { Run(); }));
        m_thread->start();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_handle != nullptr; });
    }
    ~HoldingReceiver() {
        Release();
        m_quit = true;
        m_thread->wait();
    }
    HWND Handle() const { return m_handle; }
    bool Holding() const { return m_holding; }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

  private:
    class Target : public CMessageTarget {
      public:
        explicit Target(HoldingReceiver& owner) : m_owner(owner) {}
        LRESULT WindowProc(UINT, WPARAM, LPARAM) override {
            m_owner.m_holding = true;
            std::unique_lock lock(m_owner.m_mutex);
            m_owner.m_changed.wait(lock, [this] { return m_owner.m_released; });
            lock.unlock();
            // Long enough that a wait which did not happen would be seen.
            QThread::msleep(300);
            return 0;
        }

      private:
        HoldingReceiver& m_owner;
    };

    void Run() {
        Target target(*this);
        {
            std::lock_guard lock(m_mutex);
            m_handle = target.GetSafeHwnd();
            m_changed.notify_all();
        }
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (m_quit)
                loop.quit();
        });
        poll.start(5);
        loop.exec();
    }

    std::unique_ptr<QThread> m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    HWND m_handle = nullptr;
    bool m_released = false;
    std::atomic<bool> m_holding = false;
    std::atomic<bool> m_quit = false;
};

// A progress dialog whose cancel does not wait for the worker at all, and which hands the
// worker's reports to a holding receiver once the first item is named: the worker then stays
// in its next report, alive, until the test releases it.
class NoWaitProcessingDlg : public CProcessingDlg {
  public:
    NoWaitProcessingDlg(CBatchJob* job, CWnd* parent, HWND holder)
        : CProcessingDlg(job, parent), m_holder(holder) {}
    BOOL OnInitDialog() override {
        m_nWaitCount = 0;
        return CProcessingDlg::OnInitDialog();
    }

  protected:
    LRESULT OnItemName(WPARAM wParam, LPARAM lParam) {
        const LRESULT result = OnBatchItemName(wParam, lParam);
        // The worker is blocked in this send and reads the handle again for its next one.
        m_pJob->hProgressWnd = m_holder;
        return result;
    }

  private:
    HWND m_holder;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(NoWaitProcessingDlg, CProcessingDlg)
ON_MESSAGE(WM_BATCH_ITEMNAME, &NoWaitProcessingDlg::OnItemName)
END_MESSAGE_MAP()
} // namespace

TEST_F(MainDlgTest, ExitWaitsForAWorkerLeftBehindByACancel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString background =
        WritePicture(dir.filePath(QStringLiteral("photo.bmp")), 40, 30, Qt::blue, "BMP");
    const QString overlay = WritePicture(dir.filePath(QStringLiteral("mark.png")), 8, 4, Qt::red);
    HoldingReceiver holder;
    CMainDlg dialog;
    CopyText(dialog.GetJob().szOverlayPath, Bytes(overlay).c_str());
    CopyText(dialog.GetJob().szOutputDir, Bytes(dir.path()).c_str());
    bool heldAtCancel = false;
    bool aliveAtExit = false;
    ModalScript script;
    script
        .OnMain(dialog, "run",
                [&] {
                    dialog.GetJob().ClearFiles();
                    dialog.GetJob().AddFile(Bytes(background).c_str());
                    NoWaitProcessingDlg processing(&dialog.GetJob(), &dialog, holder.Handle());
                    processing.DoModal();
                })
        .Then("cancel", IsProgressDialog,
              [&](QWidget* modal) {
                  heldAtCancel = WaitFor([&holder] { return holder.Holding(); }, 20000);
                  QPushButton* button = modal->findChild<QPushButton*>();
                  Click(button);
                  WaitFor([button] { return button->text() == QStringLiteral("Close"); });
                  Click(button);
              })
        .OnMain(dialog, "exit", [&] {
            aliveAtExit = WaitForLastWorker(0) == WAIT_TIMEOUT;
            holder.Release();
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 60000), IDOK);
    const DWORD atReturn = WaitForLastWorker(0);
    holder.Release();
    WaitForLastWorker(INFINITE);
    ASSERT_TRUE(heldAtCancel) << "the worker never reached its report";
    EXPECT_TRUE(aliveAtExit);
    EXPECT_EQ(atReturn, WAIT_OBJECT_0);
}

namespace {
class ShortWaitMainDlg : public CMainDlg {
  public:
    explicit ShortWaitMainDlg(DWORD wait) { m_dwWorkerWait = wait; }
};
} // namespace

// A worker that never comes back from a call (here a report to a window that does not answer)
// outlives its cancel. "&Go!" gives up after a bounded wait, says why and leaves the job alone;
// "Exit" closes the window after the same bounded wait with the worker still there.
TEST_F(MainDlgTest, GoAndExitGiveUpOnAStuckWorkerAfterABoundedWait) {
    constexpr DWORD kBound = 400;
    // An unbounded wait would hold the test's own thread for ever: the worker is let go after
    // this long, so that such a wait ends, late, and fails the checks below.
    constexpr qint64 kRescueMs = 8000;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString background =
        WritePicture(dir.filePath(QStringLiteral("photo.bmp")), 40, 30, Qt::blue, "BMP");
    const QString overlay = WritePicture(dir.filePath(QStringLiteral("mark.png")), 8, 4, Qt::red);
    HoldingReceiver holder;
    std::atomic<bool> done = false;
    std::thread rescue([&] {
        QElapsedTimer since;
        since.start();
        while (!done && since.elapsed() < kRescueMs)
            QThread::msleep(20);
        holder.Release();
    });
    ShortWaitMainDlg dialog(kBound);
    CBatchJob& job = dialog.GetJob();
    CopyText(job.szOverlayPath, Bytes(overlay).c_str());
    CopyText(job.szOutputDir, Bytes(dir.path()).c_str());
    std::vector<SeenBox> boxes;
    std::vector<std::string> listAfterGo;
    QElapsedTimer clock;
    qint64 goWaited = -1;
    ModalScript script;
    script
        .OnMain(dialog, "run",
                [&] {
                    job.ClearFiles();
                    job.AddFile(Bytes(background).c_str());
                    NoWaitProcessingDlg processing(&job, &dialog, holder.Handle());
                    processing.DoModal();
                })
        .Then("cancel", IsProgressDialog,
              [&](QWidget* modal) {
                  WaitFor([&holder] { return holder.Holding(); }, 20000);
                  QPushButton* button = modal->findChild<QPushButton*>();
                  Click(button);
                  WaitFor([button] { return button->text() == QStringLiteral("Close"); });
                  Click(button);
              })
        .OnMain(dialog, "go",
                [&] {
                    clock.start();
                    ClickControl(dialog, IDC_GO);
                })
        .Then("refused", IsMessageBox,
              [&](QWidget* modal) {
                  goWaited = clock.elapsed();
                  AnswerMessageBox(modal, boxes);
              })
        .OnMain(dialog, "exit", [&] {
            // The worker is blocked in its send and changes nothing meanwhile.
            listAfterGo.assign(job.fileList.begin(), job.fileList.end());
            clock.restart();
            ClickControl(dialog, IDC_EXIT);
        });
    const INT_PTR result = script.Run(dialog, 60000);
    const qint64 exitWaited = clock.elapsed();
    const bool aliveAtReturn = WaitForLastWorker(0) == WAIT_TIMEOUT;
    done = true;
    rescue.join();
    ASSERT_EQ(WaitForLastWorker(60000), WAIT_OBJECT_0);

    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(script.Finished()) << "stuck at: " << script.Pending();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("The previous run has not ended"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(listAfterGo, std::vector<std::string>{Bytes(background)});
    for (qint64 waited : {goWaited, exitWaited}) {
        EXPECT_GE(waited, qint64(kBound));
        EXPECT_LT(waited, kRescueMs / 2);
    }
    EXPECT_TRUE(aliveAtReturn);
}

// The window tests: a widget application, 8-bit paths as UTF-8, the program's resources and
// the imaging library around the whole run.
test_main::Program test_main::ThisProgram() {
    return {.application = &dialog_driving::WidgetApplication,
            .locale = test_main::Locale::Utf8,
            .setUp = [] {
                RegisterProgramResources();
                SetDialogTemplateLookup(&FindDialogTemplate);
            }};
}

// On a German desktop the window, the texts it fills in and its messages are German.
TEST_F(MainDlgTest, GermanTranslationShowsTheWindowInGerman) {
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(":/i18n/pictorum_de.qm")));
    QCoreApplication::installTranslator(&german);
    CMainDlg dialog;
    std::vector<std::pair<QString, QString>> seen; // what is shown, what German shows
    std::vector<SeenBox> boxes;
    ModalScript script;
    script.OnMain(dialog, "read", [&] {
        seen.emplace_back(qobject_cast<QPushButton*>(Control(dialog, IDC_EXIT))->text(), "Beenden");
        seen.emplace_back(qobject_cast<QPushButton*>(Control(dialog, IDC_GO))->text(), "&Los!");
        ClickControl(dialog, IDC_GO); // no overlay chosen: a message box
    });
    script.Then("no overlay", IsMessageBox, [&](QWidget* modal) {
        AnswerMessageBox(modal, boxes);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    QCoreApplication::removeTranslator(&german);
    for (const auto& [shown, want] : seen)
        EXPECT_EQ(shown, want);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Fehler"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Kein Overlay-Bild gewählt"));
}
