// Where the stamped copies cannot be made or written: an overlay that is gone or is no
// picture, an output folder that is missing, vanishes or is a file, and a disk that fills up
// while an output is being encoded. Each item says so, the run goes on, and no file is left
// half-written or replaced by a broken one.

#include "BatchFixture.h"
#include "BatchRecorder.h"
#include "ChildBatch.h"
#include "TestPictures.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr int kTolerance = 6;

void ListThree(BatchFixture& t) {
    t.Put("a.png", Encode(SolidImage(64, 48, Qt::blue), "png"));
    t.Put("b.bmp", Encode(SolidImage(64, 48, Qt::white), "bmp"));
    t.Put("c.jpg", Encode(SolidImage(64, 48, Qt::cyan), "jpeg"));
    t.List({"a.png", "b.bmp", "c.jpg"});
}

} // namespace

// The overlay is loaded once when the run starts; one that cannot be loaded then makes every
// item fail to compose, and no running number is used.
TEST_F(Reliability, UnusableOverlayFailsEveryItem) {
    struct Case {
        const char* name;
        std::function<void(BatchFixture&)> spoil; // run from the handler of WM_BATCH_START
    };
    const auto overlay = [](BatchFixture& t) { return t.In("overlay.png"); };
    const Case cases[] = {
        {"deleted after it was chosen",
         [&](BatchFixture& t) { ASSERT_EQ(unlink(overlay(t).constData()), 0); }},
        {"a FIFO",
         [&](BatchFixture& t) {
             ASSERT_EQ(unlink(overlay(t).constData()), 0);
             ASSERT_EQ(mkfifo(overlay(t).constData(), 0644), 0);
         }},
        {"a link to /dev/zero",
         [&](BatchFixture& t) {
             ASSERT_EQ(unlink(overlay(t).constData()), 0);
             ASSERT_EQ(symlink("/dev/zero", overlay(t).constData()), 0);
         }},
        {"a folder",
         [&](BatchFixture& t) {
             ASSERT_EQ(unlink(overlay(t).constData()), 0);
             ASSERT_EQ(mkdir(overlay(t).constData(), 0755), 0);
         }},
        {"cut short",
         [&](BatchFixture& t) {
             const QByteArray whole = Encode(OverlayImage(), "png");
             ASSERT_TRUE(WriteBytes(overlay(t), whole.left(whole.size() / 2)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(overlay(*this).constData());
        rmdir(overlay(*this).constData());
        ASSERT_TRUE(WriteBytes(overlay(*this), Encode(OverlayImage(), "png")));
        job.ClearFiles();
        job.nSerial = 0;
        ListThree(*this);

        BatchRecorder recorder(job);
        recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
            if (m.message == 105) // WM_BATCH_START: the overlay is loaded right after it
                c.spoil(*this);
        };
        RunBatch(job, recorder, 60);

        EXPECT_EQ(recorder.Lines(), (std::vector<std::string>{
                                        Line("a.png", kCouldNotCopy), Line("b.bmp", kCouldNotCopy),
                                        Line("c.jpg", kCouldNotCopy), "Batch Completed"}));
        EXPECT_EQ(job.nSerial, 0);
        EXPECT_TRUE(EntriesIn(Out()).empty());
    }
}

// Once loaded, the overlay is the one the run stamps with: deleting or replacing its file
// during the run must neither drop the stamp silently nor draw a part of another picture.
TEST_F(Reliability, OverlayChangedDuringTheRunKeepsStamping) {
    struct Case {
        const char* name;
        QByteArray replacement; // empty: deleted
    };
    const Case cases[] = {
        {"deleted", {}},
        {"replaced by a larger picture", Encode(SolidImage(64, 64, Qt::black), "png")},
        {"replaced by text", "not a picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteBytes(In("overlay.png"), Encode(OverlayImage(), "png")));
        ASSERT_TRUE(QDir(QFile::decodeName(Out())).removeRecursively());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        job.ClearFiles();
        job.nSerial = 0;
        ListThree(*this);

        BatchRecorder recorder(job);
        bool changed = false;
        recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
            if (!changed && m.text == " ... ") {
                changed = true;
                ASSERT_EQ(unlink(In("overlay.png").constData()), 0);
                if (!c.replacement.isEmpty()) {
                    ASSERT_TRUE(WriteBytes(In("overlay.png"), c.replacement));
                }
            }
        };
        RunBatch(job, recorder, 60);

        EXPECT_EQ(recorder.Lines(),
                  (std::vector<std::string>{Line("a.png", kDone), Line("b.bmp", kDone),
                                            Line("c.jpg", kDone), "Batch Completed"}));
        ASSERT_EQ(EntriesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG", "002.PNG"}));
        ExpectStamped(Out("000.PNG"), 64, 48, Qt::blue, 3, 3, kTolerance);
        ExpectStamped(Out("001.PNG"), 64, 48, Qt::white, 3, 3, kTolerance);
        ExpectStamped(Out("002.PNG"), 64, 48, Qt::cyan, 3, 3, 12); // from a JPEG
    }
}

// An output folder that is missing, vanishes during the run, or is a regular file: every item
// that reaches the save says "Could not save", uses its number, and the run completes.
TEST_F(Reliability, OutputFolderFailures) {
    int live = -1; // a live run's temporary file, held locked
    struct Case {
        const char* name;
        std::function<void(BatchFixture&)> before;
        std::function<void(BatchFixture&)> atFirstItem; // from the first " ... " handler
        std::vector<const char*> outcomes;
        std::vector<std::string> left; // entries of the output folder afterwards
        const char* kept = nullptr;    // what the first output name must still hold
    };
    const auto removeOut = [](BatchFixture& t) {
        ASSERT_TRUE(QDir(QFile::decodeName(t.Out())).removeRecursively());
    };
    const Case cases[] = {
        {"missing", removeOut, {}, {kCouldNotSave, kCouldNotSave, kCouldNotSave}, {}},
        {"deleted during the run",
         {},
         removeOut,
         {kCouldNotSave, kCouldNotSave, kCouldNotSave},
         {}},
        {"a regular file",
         [&](BatchFixture& t) {
             removeOut(t);
             ASSERT_TRUE(WriteBytes(t.Out(), "a file where the folder should be"));
         },
         {},
         {kCouldNotSave, kCouldNotSave, kCouldNotSave},
         {}},
        {"replaced by a regular file during the run",
         {},
         [&](BatchFixture& t) {
             removeOut(t);
             ASSERT_TRUE(WriteBytes(t.Out(), "a file where the folder should be"));
         },
         {kCouldNotSave, kCouldNotSave, kCouldNotSave},
         {}},
        {"first output name taken by a folder",
         [](BatchFixture& t) { ASSERT_EQ(mkdir(t.Out("000.PNG").constData(), 0755), 0); },
         {},
         {kCouldNotSave, kDone, kDone},
         {"000.PNG", "001.PNG", "002.PNG"}},
        {"first output name taken by a FIFO",
         [](BatchFixture& t) { ASSERT_EQ(mkfifo(t.Out("000.PNG").constData(), 0644), 0); },
         {},
         {kDone, kDone, kDone},
         {"000.PNG", "001.PNG", "002.PNG"}},
        // The folder is the one the run opened, wherever it has gone: nothing reaches the
        // folder a link now put in its place leads to.
        {"swapped for a link to another folder during the run",
         {},
         [](BatchFixture& t) {
             ASSERT_EQ(std::rename(t.Out().constData(), t.In("moved").constData()), 0);
             ASSERT_EQ(mkdir(t.In("elsewhere").constData(), 0755), 0);
             ASSERT_EQ(symlink(t.In("elsewhere").constData(), t.Out().constData()), 0);
         },
         {kDone, kDone, kDone},
         {}},
        {"first output name held by a read-only file",
         [](BatchFixture& t) {
             ASSERT_TRUE(WriteBytes(t.Out("000.PNG"), "kept"));
             ASSERT_EQ(chmod(t.Out("000.PNG").constData(), 0444), 0);
         },
         {},
         {kCouldNotSave, kDone, kDone},
         {"000.PNG", "001.PNG", "002.PNG"},
         "kept"},
        // A killed run's hidden temporary file is removed; one a live run holds is not, nor
        // one just written (on a share that locks per host, another machine's may be live).
        {"temporary files of other runs",
         [&](BatchFixture& t) {
             ASSERT_TRUE(WriteBytes(t.Out(".pictorum-KilledKilled"), "left behind"));
             ASSERT_EQ(chmod(t.Out(".pictorum-KilledKilled").constData(), 0600), 0);
             const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
             ASSERT_EQ(utimensat(AT_FDCWD, t.Out(".pictorum-KilledKilled").constData(), hourAgo, 0),
                       0);
             ASSERT_TRUE(WriteBytes(t.Out(".pictorum-JustWritten1"), "a share's live file"));
             ASSERT_EQ(chmod(t.Out(".pictorum-JustWritten1").constData(), 0600), 0);
             live = open(t.Out(".pictorum-LiveLiveLive").constData(), O_CREAT | O_RDWR, 0600);
             ASSERT_EQ(flock(live, LOCK_EX), 0);
         },
         {},
         {kDone, kDone, kDone},
         {".pictorum-JustWritten1", ".pictorum-LiveLiveLive", "000.PNG", "001.PNG", "002.PNG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(Out().constData());
        QDir(QFile::decodeName(Out())).removeRecursively();
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        job.ClearFiles();
        job.nSerial = 0;
        ListThree(*this);
        if (c.before)
            c.before(*this);

        BatchRecorder recorder(job);
        bool acted = false;
        recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
            if (!acted && c.atFirstItem && m.text == " ... ") {
                acted = true;
                c.atFirstItem(*this);
            }
        };
        RunBatch(job, recorder, 60);

        EXPECT_EQ(recorder.Lines(), (std::vector<std::string>{
                                        Line("a.png", c.outcomes[0]), Line("b.bmp", c.outcomes[1]),
                                        Line("c.jpg", c.outcomes[2]), "Batch Completed"}));
        EXPECT_EQ(job.nSerial, 3);
        EXPECT_TRUE(job.fileList.empty());
        EXPECT_EQ(EntriesIn(Out()), c.left);
        if (c.left.empty() && std::string(c.outcomes[0]) == kDone) {
            EXPECT_EQ(EntriesIn(In("moved")).size(), 3u);
        }
        if (c.kept != nullptr) {
            EXPECT_EQ(ReadBytes(Out("000.PNG")), c.kept);
        }
        if (c.left.size() == 3) {
            struct stat info {};
            ASSERT_EQ(stat(Out("000.PNG").constData(), &info), 0);
            if (std::string(c.outcomes[0]) == kDone) {
                EXPECT_TRUE(S_ISREG(info.st_mode));
                ExpectStamped(Out("000.PNG"), 64, 48, Qt::blue, 3, 3, kTolerance);
            }
        }
    }
    if (live >= 0)
        close(live);
}

// A run whose output folder holds its own backgrounds, listed in order and in reverse: no
// output ever replaces one of them, whether it was stamped already or not; the next picture
// from elsewhere is written as usual.
TEST_F(Reliability, OutputIntoTheInputFolderNeverReplacesAnInput) {
    const QColor colours[] = {Qt::blue, Qt::white, Qt::cyan, Qt::yellow, Qt::magenta};
    std::vector<QByteArray> pictures;
    for (const QColor& colour : colours)
        pictures.push_back(Encode(SolidImage(64, 48, colour), "png"));
    for (const bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "in order");
        QDir(QFile::decodeName(Out())).removeRecursively();
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        job.ClearFiles();
        job.nSerial = 0;
        std::vector<std::string> expected;
        for (int i = 0; i < 5; ++i) {
            const int at = reversed ? 4 - i : i;
            const std::string name = "00" + std::to_string(at) + ".PNG";
            ASSERT_TRUE(WriteBytes(Out(name.c_str()), pictures[std::size_t(at)]));
            job.AddFile(Out(name.c_str()).constData());
            expected.push_back(Line(name.c_str(), kCouldNotSave));
        }
        Put("a.png", pictures[0]);
        List({"a.png"});
        expected.push_back(Line("a.png", kDone));
        expected.push_back("Batch Completed");

        BatchRecorder recorder(job);
        RunBatch(job, recorder, 60);

        EXPECT_EQ(recorder.Lines(), expected);
        for (int at = 0; at < 5; ++at) {
            const std::string name = "00" + std::to_string(at) + ".PNG";
            EXPECT_EQ(ReadBytes(Out(name.c_str())), pictures[std::size_t(at)]) << name;
        }
        ExpectStamped(Out("005.PNG"), 64, 48, Qt::blue, 3, 3, kTolerance);
    }
}

// A disk that fills up while an output is encoded (a file size limit in a child process): the
// item says "Could not save", the older file of that name is left byte for byte, no partial or
// temporary file remains, and the next item, which fits, is written.
TEST_F(Reliability, DiskFullWhileEncodingEachFormat) {
    struct Case {
        const char* mime;
        const char* extension;
    };
    const Case cases[] = {{"image/bmp", "BMP"},
                          {"image/jpeg", "JPG"},
                          {"image/tiff", "TIF"},
                          {"image/png", "PNG"},
                          {"image/webp", "WEBP"}};
    constexpr long long kLimit = 16 * 1024;
    const QByteArray big = Put("big.png", Encode(NoisyImage(256, 256, 7), "png"));
    const QByteArray small = Put("small.png", Encode(SolidImage(32, 24, Qt::white), "png"));
    const QByteArray older = Encode(SolidImage(8, 8, Qt::red), "png") + "older picture";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mime);
        ASSERT_TRUE(QDir(QFile::decodeName(Out())).removeRecursively());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        const std::string first = std::string("000.") + c.extension;
        const std::string second = std::string("001.") + c.extension;
        ASSERT_TRUE(WriteBytes(Out(first.c_str()), older));

        ChildBatchSpec spec;
        spec.inputs = {big, small};
        spec.format = c.mime;
        spec.fileSizeLimit = kLimit;
        const ChildBatchResult result = RunChild(spec);

        ASSERT_TRUE(result.Clean()) << HowItEnded(result);
        EXPECT_EQ(result.lines,
                  (std::vector<std::string>{Line("big.png", kCouldNotSave),
                                            Line("small.png", kDone), "Batch Completed"}));
        EXPECT_EQ(result.serial, 2);
        EXPECT_EQ(EntriesIn(Out()), (std::vector<std::string>{first, second}));
        EXPECT_EQ(ReadBytes(Out(first.c_str())), older);
        ExpectStamped(Out(second.c_str()), 32, 24, Qt::white, 2, 2,
                      std::string(c.extension) == "JPG" || std::string(c.extension) == "WEBP"
                          ? 40
                          : kTolerance);
    }
}

// Output names already taken by symbolic links that lead out of the output folder: a file of
// the user's, a name that does not exist yet, a null device (made by the test itself, so that a
// saver that follows links cannot harm the machine's /dev/null; root only). Each link is
// replaced by the stamped picture and nothing it pointed to is touched or created.
TEST_F(Reliability, OutputNamesTakenByLinksAreReplacedNotFollowed) {
    const QByteArray notes = "notes that must survive the run\n";
    ASSERT_TRUE(WriteBytes(In("keep.txt"), notes));
    const bool device = mknod(In("null").constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_EQ(symlink(In("keep.txt").constData(), Out("000.PNG").constData()), 0);
    ASSERT_EQ(symlink(In("created.txt").constData(), Out("001.PNG").constData()), 0);
    if (device) {
        ASSERT_EQ(symlink(In("null").constData(), Out("002.PNG").constData()), 0);
    }
    ListThree(*this);

    BatchRecorder recorder(job);
    RunBatch(job, recorder, 60);

    EXPECT_EQ(recorder.Lines(),
              (std::vector<std::string>{Line("a.png", kDone), Line("b.bmp", kDone),
                                        Line("c.jpg", kDone), "Batch Completed"}));
    ASSERT_EQ(EntriesIn(Out()), (std::vector<std::string>{"000.PNG", "001.PNG", "002.PNG"}));
    for (const char* name : {"000.PNG", "001.PNG", "002.PNG"}) {
        struct stat info {};
        ASSERT_EQ(lstat(Out(name).constData(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
    }
    ExpectStamped(Out("000.PNG"), 64, 48, Qt::blue, 3, 3, kTolerance);
    ExpectStamped(Out("001.PNG"), 64, 48, Qt::white, 3, 3, kTolerance);
    ExpectStamped(Out("002.PNG"), 64, 48, Qt::cyan, 3, 3, 12); // from a JPEG
    EXPECT_EQ(ReadBytes(In("keep.txt")), notes);
    EXPECT_NE(access(In("created.txt").constData(), F_OK), 0);
    if (device) {
        struct stat info {};
        ASSERT_EQ(lstat(In("null").constData(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_EQ(info.st_rdev, makedev(1, 3));
    }
}
