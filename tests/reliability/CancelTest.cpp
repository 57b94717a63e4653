// Cancels: during the encode of a large output, and hundreds of times over a long list with
// restarts. A cancel never leaves a partial or temporary file, never loses an entry, and the
// running numbers stay contiguous across runs.

#include "BatchFixture.h"
#include "BatchRecorder.h"
#include "TestPictures.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingThreadProc.h"
#include "engine/TextHelpers.h"

#include <QDir>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kBigWidth = 4000;
constexpr int kBigHeight = 3000;

// Every output file is complete: it decodes in full at the size of its background.
void ExpectCompleteOutputs(const QByteArray& outDir, int count) {
    const std::vector<std::string> entries = EntriesIn(outDir);
    ASSERT_EQ(entries.size(), std::size_t(count)) << "leftover or missing files";
    for (int n = 0; n < count; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.TIF", n);
        EXPECT_EQ(entries[std::size_t(n)], name);
    }
}

// Files below folder that this process has open (outputs being written or waiting for their
// names, which may have none yet), as "fd:<target>".
std::vector<std::string> FilesOpenBelow(const QByteArray& folder) {
    const std::string prefix = folder.toStdString() + "/";
    std::vector<std::string> files;
    for (const std::string& fd : EntriesIn("/proc/self/fd")) {
        char target[4096];
        const ssize_t n = readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        const std::string path(target, std::size_t(n));
        if (path.rfind(prefix, 0) == 0)
            files.push_back("fd:" + path);
    }
    return files;
}

std::string OpenFileBelow(const QByteArray& folder) {
    const std::vector<std::string> files = FilesOpenBelow(folder);
    return files.empty() ? std::string() : files.front();
}

// The number of files open below folder, once at least `count` are (or five seconds passed).
std::size_t WaitForFilesAhead(const QByteArray& folder, std::size_t count) {
    std::size_t open = 0;
    for (int tries = 0; tries < 5000 && open < count; ++tries) {
        if (tries > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        open = FilesOpenBelow(folder).size();
    }
    return open;
}

} // namespace

// Cancelled while the large TIFF of the first item is being made: that work finishes (the file
// is whole, never partial), nothing more is reported, and the entries are kept for the next
// run, which then completes the list.
TEST_F(Reliability, CancelDuringLargeTiffEncode) {
    enum class From { StatusHandler, OtherThreadWhileSaving };
    const From variants[] = {From::StatusHandler, From::OtherThreadWhileSaving};
    Put("big.jpg", Encode(GradientImage(kBigWidth, kBigHeight), "jpeg", 90));
    Put("next1.png", Encode(SolidImage(64, 48, Qt::white), "png"));
    Put("next2.png", Encode(SolidImage(64, 48, Qt::cyan), "png"));
    for (From from : variants) {
        const bool fromThread = from == From::OtherThreadWhileSaving;
        SCOPED_TRACE(fromThread ? "from another thread while saving" : "from the status handler");
        ASSERT_TRUE(QDir(QFile::decodeName(Out())).removeRecursively());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        job.ClearFiles();
        job.nSerial = 0;
        CopyText(job.szOutputFormat, "image/tiff");
        List({"big.jpg", "next1.png", "next2.png"});

        BatchRecorder recorder(job);
        std::atomic<bool> stopWatching{false};
        std::string seen; // what the watcher saw in the output folder when it cancelled
        std::thread watcher;
        // Later pictures are prepared ahead, so a file in the folder tells only that some save
        // is under way; the watcher's cancel waits until the big picture's turn has begun.
        std::atomic<bool> bigBegun{false};
        if (fromThread) {
            recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
                if (m.text == " ... " && m.firstEntry.ends_with("/big.jpg"))
                    bigBegun = true;
            };
            const QByteArray out = Out();
            watcher = std::thread([&, out] {
                while (!stopWatching.load()) {
                    if (!bigBegun.load()) {
                        std::this_thread::sleep_for(std::chrono::microseconds(100));
                        continue;
                    }
                    const std::string file = OpenFileBelow(out);
                    const std::vector<std::string> entries = EntriesIn(out);
                    if (!file.empty() || !entries.empty()) {
                        job.SetRunning(false);
                        seen = !file.empty() ? file : entries.front();
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            });
        } else {
            recorder.onMessage = [](const BatchMessage& m, CBatchJob& j) {
                if (m.text == " ... " && m.firstEntry.ends_with("/big.jpg"))
                    j.SetRunning(false);
            };
        }
        RunBatch(job, recorder, 120);
        stopWatching = true;
        if (watcher.joinable())
            watcher.join();

        EXPECT_FALSE(recorder.Completed());
        if (fromThread)
            RecordProperty("watcher_saw", seen);
        // The watcher may be scheduled late on a busy machine; the cancel then lands on a
        // later item. Where it landed, the log and the list agree.
        const std::vector<std::string> lines = recorder.Lines();
        ASSERT_FALSE(lines.empty());
        ASSERT_FALSE(recorder.messages.empty());
        const std::vector<std::string> all{"big.jpg", "next1.png", "next2.png"};
        // An item whose " ... " went out is worked on to its end and reported: its file is
        // written and its line says so. Only a cancel that lands between its name and its
        // " ... " leaves a line without an outcome.
        const bool inFlight = lines.back().ends_with(" ... ");
        const std::size_t reported = lines.size() - (inFlight ? 1 : 0);
        // Seen while its file was open for writing: the cancel came during the save, and the
        // work under way must still be finished whole.
        const bool duringSave = fromThread && seen.rfind("fd:", 0) == 0;
        if (!fromThread || duringSave) {
            EXPECT_EQ(lines, (std::vector<std::string>{"big.jpg ... Done"}));
        }
        EXPECT_EQ(Remaining(), std::vector<std::string>(all.begin() + long(reported), all.end()));
        EXPECT_EQ(job.nSerial, int(reported) + (inFlight ? 1 : 0));
        ExpectCompleteOutputs(Out(), job.nSerial);
        if (reported == 0) {
            ExpectStamped(Out("000.TIF"), kBigWidth, kBigHeight,
                          GradientColour(kBigWidth, kBigHeight, 1000, 1000), 1000, 1000, 10);
        }
        const int serialBefore = job.nSerial;
        const int left = int(job.fileList.size());

        // The restart picks up the kept entries and completes the list.
        BatchRecorder again(job);
        RunBatch(job, again, 120);
        EXPECT_TRUE(again.Completed());
        EXPECT_TRUE(job.fileList.empty());
        // The kept entries only: the item finished at the cancel is not written again.
        EXPECT_EQ(job.nSerial, serialBefore + left);
        ExpectCompleteOutputs(Out(), job.nSerial);
    }
}

namespace {

// Hundreds of small pictures, cancelled at varying points and restarted until the list is
// done. After every run: the list is the unprocessed tail of the original in order, the files
// on disk are exactly 000 .. nSerial-1, and each holds the picture the log says it holds.
// holdUntilAhead: each cancel waits until the worker has encoded later pictures ahead (files
// without names open below the output folder), so that it lands with several in flight.
void StressCancelAndRestart(BatchFixture& f, bool holdUntilAhead) {
    CBatchJob& job = f.job;
    constexpr int kItems = 306;
    const auto colourOf = [](int i) { return QColor(20 + (i % 16) * 14, 20 + (i / 16) * 11, 77); };
    const auto indexOf = [](const QColor& c) {
        const int column = (c.red() - 20 + 7) / 14;
        const int row = (c.green() - 20 + 5) / 11;
        return row * 16 + column;
    };
    const auto isGarbage = [](int i) { return i % 50 == 25; };
    std::vector<std::string> original;
    for (int i = 0; i < kItems; ++i) {
        const std::string name = "p" + std::to_string(i) + ".png";
        f.Put(name.c_str(), isGarbage(i) ? QByteArray("not a picture")
                                         : Encode(SolidImage(32, 32, colourOf(i)), "png"));
        job.AddFile(f.In(name.c_str()).constData());
        original.push_back(name);
    }
    const auto indexOfName = [](const std::string& path) {
        const std::size_t slash = path.rfind('/');
        return std::stoi(path.substr(slash + 2));
    };

    std::map<int, int> expectedCopies; // item -> number of outputs that hold it
    std::size_t popped = 0;
    int cancelledRuns = 0;
    std::size_t ahead = 0; // the most files seen waiting ahead at a cancel
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // Cancel at a message that moves through every kind; the last run is left to finish.
        const bool cancel = run < 11;
        const std::size_t cancelAt = std::size_t(run * 97 + 13) % 250 + 1;
        BatchRecorder recorder(job);
        // An item whose work goes on after the cancel is reported like any other.
        recorder.onMessage = [&](const BatchMessage&, CBatchJob& j) {
            if (!cancel || recorder.messages.size() != cancelAt)
                return;
            if (holdUntilAhead)
                ahead = std::max(ahead, WaitForFilesAhead(f.Out(), 2));
            j.SetRunning(false);
        };
        RunBatch(job, recorder, 120);
        if (cancel && !recorder.Completed())
            ++cancelledRuns;

        // What the log reports was popped, in order; every outcome is the one the file has.
        for (const BatchMessage& m : recorder.messages) {
            if (m.message != WM_BATCH_ITEMSTATUS || m.text == " ... ")
                continue;
            const int item = indexOfName(m.firstEntry);
            ASSERT_EQ(m.firstEntry.substr(m.firstEntry.rfind('/') + 1), original[popped]);
            EXPECT_EQ(m.text, isGarbage(item) ? "Error : Could not open" : "Done");
            if (!isGarbage(item))
                ++expectedCopies[item];
            ++popped;
        }

        // The list is the unprocessed tail of the original, nothing lost, nothing skipped.
        ASSERT_EQ(f.Remaining(),
                  std::vector<std::string>(original.begin() + long(popped), original.end()));
        // The numbers used are contiguous, and the files are exactly those numbers.
        int copies = 0;
        for (const auto& [item, count] : expectedCopies)
            copies += count;
        ASSERT_EQ(job.nSerial, copies);
        const std::vector<std::string> entries = EntriesIn(f.Out());
        ASSERT_EQ(entries.size(), std::size_t(copies));
        std::map<int, int> found;
        for (int n = 0; n < copies; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "%03d.PNG", n);
            ASSERT_EQ(entries[std::size_t(n)], name);
            const QImage image(QFile::decodeName(f.Out(name)));
            ASSERT_EQ(image.size(), QSize(32, 32)) << name;
            ++found[indexOf(image.pixelColor(4, 4))];
        }
        EXPECT_EQ(found, expectedCopies);
        if (job.fileList.empty())
            break;
    }
    EXPECT_TRUE(job.fileList.empty());
    EXPECT_GE(cancelledRuns, 8);
    EXPECT_EQ(popped, original.size());
    if (holdUntilAhead) {
        EXPECT_GE(ahead, 2u) << "no cancel found pictures encoded ahead";
    }
}

} // namespace

TEST_F(Reliability, StressCancelAndRestart) {
    StressCancelAndRestart(*this, false);
}

// As above with four pictures at once: every cancel throws away work done ahead, and none of it
// may show in the folder, the numbers or the list.
TEST_F(Reliability, StressCancelWithSeveralPicturesInFlight) {
    SetProcessingPicturesAtOnce(4);
    StressCancelAndRestart(*this, true);
    SetProcessingPicturesAtOnce(0);
}
