// Backgrounds that are not what their names say, cut short, special files, files that change
// after they were listed, and names the locale cannot spell. Each must cost one log line with
// a clear outcome, never the run and never a hang.

#include "BatchFixture.h"
#include "BatchRecorder.h"
#include "TestPictures.h"
#include "engine/TextHelpers.h"

#include <QDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kTolerance = 6; // PNG in, PNG out: only the edges of the scaled overlay differ

} // namespace

// Files whose content is not what their name says: decoded by content, refused by content.
TEST_F(Reliability, FilesAreJudgedByContent) {
    QByteArray garbage(3000, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919 + 13) % 251);
    const Input inputs[] = {
        {"empty.jpg", {}, kCouldNotOpen},
        {"garbage.png", garbage, kCouldNotOpen},
        {"png-named.jpg", Encode(SolidImage(64, 48, Qt::blue), "png"), kDone},
        {"notes.txt", "a text file, not a picture\n", kCouldNotOpen},
        {"notes.jpg", "\xff\xd8 only the start of a JPEG marker, then text\n", kCouldNotOpen},
        {"good.png", Encode(SolidImage(64, 48, Qt::white), "png"), kDone},
    };
    std::vector<std::string> expected;
    ListInputs(inputs, expected);
    expected.push_back("Batch Completed");

    BatchRecorder recorder(job);
    RunBatch(job, recorder);

    EXPECT_EQ(recorder.Lines(), expected);
    EXPECT_TRUE(job.fileList.empty());
    EXPECT_EQ(job.nSerial, 2);
    ASSERT_EQ(EntriesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG"}));
    ExpectStamped(Out("000.PNG"), 64, 48, Qt::blue, 5, 5, kTolerance);
    ExpectStamped(Out("001.PNG"), 64, 48, Qt::white, 5, 5, kTolerance);
}

// Every format the library decodes, whole and cut at three points: the whole file is stamped,
// every cut one is refused when it is opened, and none leaves an output.
TEST_F(Reliability, TruncatedFilesAreRefused) {
    const QImage picture = NoisyImage(96, 64);
    const char* formats[] = {"jpeg", "png", "tiff", "gif", "bmp", "webp"};
    const double cuts[] = {0.1, 0.5, 0.9};
    std::vector<std::string> expected;
    int whole = 0;
    for (const char* format : formats) {
        const QByteArray bytes = Encode(picture, format);
        ASSERT_GT(bytes.size(), 1000) << format;
        const std::string wholeName = std::string("whole.") + format;
        job.AddFile(Put(wholeName.c_str(), bytes).constData());
        expected.push_back(Line(wholeName.c_str(), kDone));
        ++whole;
        for (double cut : cuts) {
            const std::string name =
                std::string("cut") + std::to_string(int(cut * 100)) + "." + format;
            job.AddFile(Put(name.c_str(), bytes.left(qsizetype(bytes.size() * cut))).constData());
            expected.push_back(Line(name.c_str(), kCouldNotOpen));
        }
    }
    expected.push_back("Batch Completed");

    BatchRecorder recorder(job);
    RunBatch(job, recorder);

    EXPECT_EQ(recorder.Lines(), expected);
    EXPECT_EQ(job.nSerial, whole);
    EXPECT_EQ(EntriesIn(Out()).size(), std::size_t(whole));
}

// Pictures whose structure is whole but whose pixel data is damaged or missing: the decoder
// finds it, so the item loads but is not stamped. One outcome for every format ("Could not
// copy image", as the picture fails when drawn), no output, and the run goes on.
TEST_F(Reliability, DamagedPixelDataIsNotStamped) {
    const QImage picture = NoisyImage(160, 120);
    const QByteArray jpeg = Encode(picture, "jpeg", 90);
    const QByteArray png = Encode(picture, "png");
    const Input inputs[] = {
        {"whole.jpg", jpeg, kDone},
        {"overwritten.jpg", JpegScanOverwritten(jpeg), kCouldNotCopy},
        {"cut-with-end.jpg", JpegScanCut(jpeg), kCouldNotCopy},
        {"rows-missing.png", PngMissingRows(picture, 60), kCouldNotCopy},
        {"whole.png", png, kDone},
    };
    for (const Input& input : inputs)
        ASSERT_FALSE(input.bytes.isEmpty()) << input.name;
    std::vector<std::string> expected;
    ListInputs(inputs, expected);
    expected.push_back("Batch Completed");

    BatchRecorder recorder(job);
    RunBatch(job, recorder);

    EXPECT_EQ(recorder.Lines(), expected);
    EXPECT_EQ(job.nSerial, 2);
    ASSERT_EQ(EntriesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG"}));
    // The whole JPEG is decoded as Qt's reader decodes it and saved losslessly: tolerance 0.
    const QImage decoded = QImage::fromData(jpeg);
    ExpectStamped(Out("000.PNG"), 160, 120, decoded.pixelColor(37, 81), 37, 81, 0);
    ExpectStamped(Out("001.PNG"), 160, 120, picture.pixelColor(37, 81), 37, 81, 0);
}

// Names that lead to FIFOs, devices, sockets, folders or nowhere: refused at once, the run
// goes on, and nothing ever blocks (RunBatch ends the program if the worker hangs).
TEST_F(Reliability, SpecialFilesAreRefusedWithoutHanging) {
    ASSERT_EQ(mkfifo(In("fifo.jpg").constData(), 0644), 0);
    ASSERT_EQ(mkfifo(In("fifo-with-writer.jpg").constData(), 0644), 0);
    // A writer that holds the FIFO open and never writes: a blocking read would wait forever.
    const int writer = open(In("fifo-with-writer.jpg").constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(symlink("/dev/zero", In("zero.jpg").constData()), 0);
    ASSERT_EQ(symlink("/dev/null", In("null.jpg").constData()), 0);
    ASSERT_EQ(symlink("/dev/urandom", In("urandom.jpg").constData()), 0);
    ASSERT_EQ(symlink(In("nowhere.png").constData(), In("dangling.png").constData()), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.jpg"));
    const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = In("socket.jpg");
    ASSERT_LT(std::size_t(socketPath.size()), sizeof address.sun_path);
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.constData());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Put("good.png", Encode(SolidImage(64, 48, Qt::white), "png"));

    const char* special[] = {"fifo.jpg",    "fifo-with-writer.jpg", "zero.jpg",   "null.jpg",
                             "urandom.jpg", "dangling.png",         "folder.jpg", "socket.jpg"};
    std::vector<std::string> expected;
    for (const char* name : special) {
        job.AddFile(In(name).constData());
        expected.push_back(Line(name, kCouldNotOpen));
    }
    job.AddFile(In("good.png").constData());
    expected.push_back(Line("good.png", kDone));
    expected.push_back("Batch Completed");

    BatchRecorder recorder(job);
    RunBatch(job, recorder, 60);
    close(writer);
    close(sock);

    EXPECT_EQ(recorder.Lines(), expected);
    EXPECT_EQ(job.nSerial, 1);
    EXPECT_EQ(EntriesIn(Out()), (std::vector<std::string>{"000.PNG"}));
}

// A listed file that changes before or while its turn comes: the worker takes the file as it
// is when it opens it, and its placement follows the picture it opened.
TEST_F(Reliability, FilesChangedAfterListing) {
    struct Case {
        const char* name;
        const char* when; // first-entry name and message at which the change is made
        bool atOutcomeOfPrevious;
        std::function<void(BatchFixture&)> change;
        const char* outcome;
        int width, height; // of b.png's output, when it is written
        QColor colour;
    };
    const auto replaceWith = [](QByteArray bytes) {
        return [bytes](BatchFixture& t) {
            const QByteArray path = t.In("b.png");
            ASSERT_EQ(unlink(path.constData()), 0);
            ASSERT_TRUE(WriteBytes(path, bytes));
        };
    };
    const Case cases[] = {
        {"deleted before its turn",
         "a.png",
         true,
         [](BatchFixture& t) { ASSERT_EQ(unlink(t.In("b.png").constData()), 0); },
         kCouldNotOpen,
         0,
         0,
         {}},
        {"deleted when its turn has begun",
         "b.png",
         false,
         [](BatchFixture& t) { ASSERT_EQ(unlink(t.In("b.png").constData()), 0); },
         kCouldNotOpen,
         0,
         0,
         {}},
        {"replaced by a larger picture", "b.png", false,
         replaceWith(Encode(SolidImage(120, 80, Qt::yellow), "png")), kDone, 120, 80, Qt::yellow},
        {"replaced by a picture in another format", "a.png", true,
         replaceWith(Encode(SolidImage(40, 40, Qt::magenta), "bmp")), kDone, 40, 40, Qt::magenta},
        {"replaced by text",
         "b.png",
         false,
         replaceWith("no longer a picture"),
         kCouldNotOpen,
         0,
         0,
         {}},
        {"replaced by its first half",
         "b.png",
         false,
         replaceWith(Encode(NoisyImage(64, 48), "png").left(2000)),
         kCouldNotOpen,
         0,
         0,
         {}},
        {"replaced by a FIFO",
         "b.png",
         false,
         [](BatchFixture& t) {
             ASSERT_EQ(unlink(t.In("b.png").constData()), 0);
             ASSERT_EQ(mkfifo(t.In("b.png").constData(), 0644), 0);
         },
         kCouldNotOpen,
         0,
         0,
         {}},
        {"replaced by a folder",
         "b.png",
         false,
         [](BatchFixture& t) {
             ASSERT_EQ(unlink(t.In("b.png").constData()), 0);
             ASSERT_EQ(mkdir(t.In("b.png").constData(), 0755), 0);
         },
         kCouldNotOpen,
         0,
         0,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        job.ClearFiles();
        job.nSerial = 0;
        ASSERT_TRUE(QDir(QFile::decodeName(Out())).removeRecursively());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        QDir(m_dir.path()).rmdir("b.png");
        unlink(In("b.png").constData());
        Put("a.png", Encode(SolidImage(64, 48, Qt::blue), "png"));
        Put("b.png", Encode(SolidImage(64, 48, Qt::white), "png"));
        Put("c.png", Encode(SolidImage(64, 48, Qt::cyan), "png"));
        List({"a.png", "b.png", "c.png"});

        BatchRecorder recorder(job);
        bool changed = false;
        recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
            const bool ofItem = m.firstEntry.ends_with(std::string("/") + c.when);
            const bool at = c.atOutcomeOfPrevious ? m.text == "Done" : m.text == " ... ";
            if (!changed && ofItem && at) {
                changed = true;
                c.change(*this);
            }
        };
        RunBatch(job, recorder, 60);

        EXPECT_TRUE(changed);
        EXPECT_EQ(recorder.Lines(),
                  (std::vector<std::string>{Line("a.png", kDone), Line("b.png", c.outcome),
                                            Line("c.png", kDone), "Batch Completed"}));
        const bool written = std::string(c.outcome) == kDone;
        EXPECT_EQ(job.nSerial, written ? 3 : 2);
        ASSERT_EQ(EntriesIn(Out()).size(), written ? 3u : 2u);
        if (written)
            ExpectStamped(Out("001.PNG"), c.width, c.height, c.colour, 3, 3, kTolerance);
        ExpectStamped(Out(written ? "002.PNG" : "001.PNG"), 64, 48, Qt::cyan, 3, 3, kTolerance);
    }
}

// A name that is not valid UTF-8 cannot be handed to the imaging library as text: the item is
// reported as not opened, the file stays as it was, and the run goes on. A valid non-ASCII
// name is stamped like any other.
// On Linux a name is bytes: a Latin-1 name in a UTF-8 locale, and any name past ASCII under
// LC_ALL=C (cron, minimal containers), is opened and written all the same, inputs, overlay and
// output folder alike.
TEST_F(Reliability, FileNamesOutsideTheLocale) {
    const QByteArray png = Encode(SolidImage(64, 48, Qt::blue), "png");
    const QByteArray overlay = In("logo-\xc3\xbc.png");
    ASSERT_EQ(std::rename(In("overlay.png").constData(), overlay.constData()), 0);
    CopyText(job.szOverlayPath, overlay.constData());
    const QByteArray out = In("ausgabe-\xc3\xbc");
    ASSERT_EQ(::mkdir(out.constData(), 0755), 0);
    CopyText(job.szOutputDir, out.constData());
    const QByteArray latin1 = Put("caf\xe9.png", png);
    Put("caf\xc3\xa9-\xc3\x9f.png", png);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C.UTF-8", "C"}) {
        SCOPED_TRACE(locale);
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
        job.ClearFiles();
        job.nSerial = 0;
        List({"caf\xe9.png", "caf\xc3\xa9-\xc3\x9f.png"});

        BatchRecorder recorder(job);
        RunBatch(job, recorder);

        EXPECT_EQ(
            recorder.Lines(),
            (std::vector<std::string>{Line("caf\xe9.png", kDone),
                                      Line("caf\xc3\xa9-\xc3\x9f.png", kDone), "Batch Completed"}));
        EXPECT_EQ(ReadBytes(latin1), png);
        ASSERT_EQ(EntriesIn(out), (std::vector<std::string>{"000.PNG", "001.PNG"}));
        ExpectStamped(out + "/000.PNG", 64, 48, Qt::blue, 3, 3, kTolerance);
    }
    std::setlocale(LC_ALL, before.c_str());
}
