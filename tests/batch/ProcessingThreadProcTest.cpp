#include "batch/ProcessingThreadProc.h"
#include "BatchRecorder.h"
#include "TestMain.h"
#include "TestPictures.h"
#include "app/framework/MessageTarget.h"
#include "app/framework/WinThread.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"

#include <QColor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kGenerousWait = 30000;
constexpr int kTolerance = 8; // per channel, for bilinear edges and encoder rounding

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

using Message = BatchMessage;

// A background of one colour with a yellow square in its top-left corner, so that a
// mirrored or shifted output shows.
void DrawBackground(const QString& path, const QColor& color, const char* format) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(0, 0, 6, 6, kYellow);
    painter.end();
    ASSERT_TRUE(image.save(path, format));
}

void ExpectPixel(const QImage& image, int x, int y, const QColor& want, const char* where) {
    SCOPED_TRACE(where);
    ASSERT_TRUE(image.valid(x, y));
    const QColor got = image.pixelColor(x, y);
    EXPECT_NEAR(got.red(), want.red(), kTolerance);
    EXPECT_NEAR(got.green(), want.green(), kTolerance);
    EXPECT_NEAR(got.blue(), want.blue(), kTolerance);
}

// An output of a background of the given colour: 40 x 30, overlay stretched to 20 x 20 at
// the bottom-right anchor, so into (20,10)-(40,30), red on its left half, green on its right.
void ExpectStamped(const QString& path, const QColor& background) {
    SCOPED_TRACE(path.toStdString());
    QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 40);
    EXPECT_EQ(image.height(), 30);
    ExpectPixel(image, 2, 2, kYellow, "corner mark of the background");
    ExpectPixel(image, 12, 5, background, "background left of the overlay");
    ExpectPixel(image, 30, 5, background, "background above the overlay");
    ExpectPixel(image, 23, 20, kRed, "left half of the overlay");
    ExpectPixel(image, 37, 20, kGreen, "right half of the overlay");
    ExpectPixel(image, 37, 28, kGreen, "overlay at the bottom-right corner");
}

std::vector<std::string> FilesIn(const QString& dir) {
    std::vector<std::string> names;
    for (const QString& name : QDir(dir).entryList(QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

std::string Path(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A folder with pictures and a job set up to stamp them into out/ as PNG.
class WorkerTest : public ::testing::Test {
  public:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        DrawBackground(In("blue.png"), kBlue, "PNG");
        DrawBackground(In("white.bmp"), Qt::white, "BMP");
        ASSERT_TRUE(RedGreenOverlay(10, 10).save(In("overlay.png"), "PNG"));
        QFile notPicture(In("notes.png"));
        ASSERT_TRUE(notPicture.open(QIODevice::WriteOnly));
        notPicture.write("these are notes, not a picture\n");
        notPicture.close();

        CopyText(job.szOverlayPath, Path(In("overlay.png")).c_str());
        CopyText(job.szOutputDir, Path(Out()).c_str());
        CopyText(job.szOutputFormat, "image/png");
        job.SetSizeMode(SizeModePixels);
        job.SetOverlayAnchor(9);
        job.nSizeX = 20;
        job.nSizeY = 20;
    }
    QString In(const char* name) const { return m_dir.filePath(name); }
    QString Out() const { return m_dir.filePath("out"); }
    QString Out(const char* name) const { return m_dir.filePath(QString("out/") + name); }

    QTemporaryDir m_dir;
    CBatchJob job;
};

Message Start() {
    return {WM_BATCH_START, {}, {}};
}
Message Done() {
    return {WM_BATCH_DONE, {}, {}};
}
Message Next() {
    return {WM_BATCH_NEXTITEM, {}, {}};
}
Message Name(const char* text) {
    return {WM_BATCH_ITEMNAME, text, {}};
}
Message Status(const char* text) {
    return {WM_BATCH_ITEMSTATUS, text, {}};
}
// The four messages of an item that was reported to its end.
std::vector<Message> Item(const char* name, const char* outcome) {
    return {Next(), Name(name), Status(" ... "), Status(outcome)};
}
std::vector<Message> Concat(std::initializer_list<std::vector<Message>> parts) {
    std::vector<Message> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST_F(WorkerTest, Runs) {
    struct Case {
        const char* name;
        std::vector<const char*> inputs;                           // names in the folder, in order
        std::function<void(WorkerTest&)> setup;                    // changes to the job
        std::function<void(const Message&, CBatchJob&)> onMessage; // the progress window
        std::vector<Message> expected;
        std::vector<const char*> remaining; // entries left in the list, by name
        int serial;                         // nSerial after the run
        std::vector<std::string> written;   // files in out/
    };
    const auto cancelOn = [](UINT message, const char* text = nullptr) {
        return [message, text](const Message& m, CBatchJob& job) {
            if (m.message == message && (text == nullptr || m.text == text))
                job.SetRunning(false);
        };
    };
    const Case cases[] = {
        {"empty list", {}, {}, {}, {Start(), Done()}, {}, 0, {}},
        {"all items good",
         {"blue.png", "white.bmp"},
         {},
         {},
         Concat({{Start()}, Item("blue.png", "Done"), Item("white.bmp", "Done"), {Done()}}),
         {},
         2,
         {"000.PNG", "001.PNG"}},
        {"not a picture uses no number",
         {"notes.png", "blue.png"},
         {},
         {},
         Concat({{Start()},
                 Item("notes.png", "Error : Could not open"),
                 Item("blue.png", "Done"),
                 {Done()}}),
         {},
         1,
         {"000.PNG"}},
        {"missing file",
         {"gone.png"},
         {},
         {},
         Concat({{Start()}, Item("gone.png", "Error : Could not open"), {Done()}}),
         {},
         0,
         {}},
        {"overlay that cannot be loaded",
         {"blue.png", "white.bmp"},
         [](WorkerTest& t) { CopyText(t.job.szOverlayPath, Path(t.In("notes.png")).c_str()); },
         {},
         Concat({{Start()},
                 Item("blue.png", "Error : Could not copy image"),
                 Item("white.bmp", "Error : Could not copy image"),
                 {Done()}}),
         {},
         0,
         {}},
        {"no encoder for the format",
         {"blue.png"},
         [](WorkerTest& t) { CopyText(t.job.szOutputFormat, "image/x-nothing"); },
         {},
         Concat({{Start()}, Item("blue.png", "Error : Could not save"), {Done()}}),
         {},
         1,
         {}},
        {"output folder missing",
         {"blue.png", "white.bmp"},
         [](WorkerTest& t) { CopyText(t.job.szOutputDir, Path(t.Out("missing")).c_str()); },
         {},
         Concat({{Start()},
                 Item("blue.png", "Error : Could not save"),
                 Item("white.bmp", "Error : Could not save"),
                 {Done()}}),
         {},
         2,
         {}},
        {"output folder is a regular file",
         {"blue.png"},
         [](WorkerTest& t) { CopyText(t.job.szOutputDir, Path(t.In("notes.png")).c_str()); },
         {},
         Concat({{Start()}, Item("blue.png", "Error : Could not save"), {Done()}}),
         {},
         1,
         {}},
        {"cancel before the first item",
         {"blue.png", "white.bmp"},
         {},
         cancelOn(WM_BATCH_START),
         {Start()},
         {"blue.png", "white.bmp"},
         0,
         {}},
        {"cancel when an item begins",
         {"blue.png", "white.bmp"},
         {},
         cancelOn(WM_BATCH_NEXTITEM),
         {Start(), Next()},
         {"blue.png", "white.bmp"},
         0,
         {}},
        {"cancel after the item's name",
         {"blue.png", "white.bmp"},
         {},
         cancelOn(WM_BATCH_ITEMNAME),
         {Start(), Next(), Name("blue.png")},
         {"blue.png", "white.bmp"},
         0,
         {}},
        // The work under way finishes (and is written), its outcome is reported and its entry
        // leaves the list; nothing after it begins.
        {"cancel while the second item is composed",
         {"blue.png", "white.bmp", "notes.png"},
         {},
         [](const Message& m, CBatchJob& job) {
             if (m.message == WM_BATCH_ITEMSTATUS && m.text == " ... " &&
                 m.firstEntry.ends_with("white.bmp"))
                 job.SetRunning(false);
         },
         Concat({{Start()}, Item("blue.png", "Done"), Item("white.bmp", "Done")}),
         {"notes.png"},
         2,
         {"000.PNG", "001.PNG"}},
        {"cancel on the outcome of the last item",
         {"blue.png"},
         {},
         cancelOn(WM_BATCH_ITEMSTATUS, "Done"),
         Concat({{Start()}, Item("blue.png", "Done")}),
         {},
         1,
         {"000.PNG"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh job and output folder for each run.
        job.ClearFiles();
        job.nSerial = 0;
        CopyText(job.szOverlayPath, Path(In("overlay.png")).c_str());
        CopyText(job.szOutputDir, Path(Out()).c_str());
        CopyText(job.szOutputFormat, "image/png");
        ASSERT_TRUE(QDir(Out()).removeRecursively());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        for (const char* input : c.inputs)
            job.AddFile(Path(In(input)).c_str());
        if (c.setup)
            c.setup(*this);

        BatchRecorder receiver(job);
        receiver.onMessage = c.onMessage;
        RunBatch(job, receiver);

        EXPECT_EQ(receiver.messages, c.expected);
        // Every message of an item is sent while its entry is first in the list.
        for (const Message& m : receiver.messages) {
            if (m.message == WM_BATCH_ITEMNAME) {
                EXPECT_TRUE(m.firstEntry.ends_with("/" + m.text)) << m.firstEntry;
            }
        }
        std::vector<std::string> remaining;
        for (const std::string& path : job.fileList)
            remaining.push_back(path.substr(path.rfind('/') + 1));
        EXPECT_EQ(remaining, std::vector<std::string>(c.remaining.begin(), c.remaining.end()));
        EXPECT_EQ(job.nSerial, c.serial);
        EXPECT_EQ(FilesIn(Out()), c.written);
    }
}

TEST_F(WorkerTest, StampedOutputsHoldBackgroundAndOverlay) {
    job.AddFile(Path(In("blue.png")).c_str());
    job.AddFile(Path(In("white.bmp")).c_str());
    BatchRecorder receiver(job);
    RunBatch(job, receiver);
    ASSERT_EQ(FilesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG"}));
    ExpectStamped(Out("000.PNG"), kBlue);
    ExpectStamped(Out("001.PNG"), Qt::white);
}

TEST_F(WorkerTest, SecondRunContinuesTheNumbering) {
    job.AddFile(Path(In("blue.png")).c_str());
    BatchRecorder first(job);
    RunBatch(job, first);

    job.AddFile(Path(In("notes.png")).c_str());
    job.AddFile(Path(In("white.bmp")).c_str());
    BatchRecorder second(job);
    RunBatch(job, second);

    EXPECT_EQ(second.messages, Concat({{Start()},
                                       Item("notes.png", "Error : Could not open"),
                                       Item("white.bmp", "Done"),
                                       {Done()}}));
    EXPECT_EQ(job.nSerial, 2);
    EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG"}));
    ExpectStamped(Out("001.PNG"), Qt::white);
}

// A path without any separator is named by the whole path.
TEST_F(WorkerTest, PathWithoutSeparatorIsItsOwnName) {
    const std::string bare = "pictorum-no-such-background.png";
    job.AddFile(bare.c_str());
    BatchRecorder receiver(job);
    RunBatch(job, receiver);
    EXPECT_EQ(receiver.messages,
              Concat({{Start()}, Item(bare.c_str(), "Error : Could not open"), {Done()}}));
}

// Without a progress window the sends return at once: the run completes without any event
// loop on this thread.
TEST_F(WorkerTest, RunWithDestroyedWindowCompletes) {
    job.AddFile(Path(In("blue.png")).c_str());
    job.AddFile(Path(In("white.bmp")).c_str());
    {
        BatchRecorder gone(job);
        job.hProgressWnd = gone.GetSafeHwnd();
    }
    job.SetRunning(true);
    std::unique_ptr<CWinThread> thread(AfxBeginThread(&ProcessingThreadProc, &job));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, kGenerousWait), WAIT_OBJECT_0);
    EXPECT_TRUE(job.fileList.empty());
    EXPECT_EQ(FilesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG"}));
}

// The worker decodes and encodes through the imaging library in a QGuiApplication.
test_main::Program test_main::ThisProgram() {
    return {};
}
