// The worker with several pictures at once against one picture at a time: over a list with
// every kind of item fault mixed in, the progress window must see the same messages, the same
// numbers must be used, and the same files must be written byte for byte.

#include "BatchFixture.h"
#include "BatchRecorder.h"
#include "TestPictures.h"
#include "batch/ProcessingThreadProc.h"
#include "engine/TextHelpers.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

struct RunRecord {
    std::vector<std::tuple<UINT, std::string, std::string>> messages;
    int serial = 0;
    std::map<std::string, QByteArray> files; // every entry of the output folder
};

} // namespace

TEST_F(Reliability, SeveralPicturesAtOnceReportNumberAndWriteAsOneAtATime) {
    std::vector<std::string> names;
    for (int i = 0; i < 14; ++i) {
        std::string name = "p" + std::to_string(i);
        if (i % 5 == 2) {
            name += ".png"; // not a picture
            Put(name.c_str(), "no picture here");
        } else if (i == 6) {
            name += ".jpg"; // not there at all
        } else {
            name += i % 3 == 0 ? ".jpg" : ".png";
            const QImage picture = GradientImage(300 + 37 * i, 200 + 11 * i);
            Put(name.c_str(), Encode(picture, i % 3 == 0 ? "jpeg" : "png", 85));
        }
        names.push_back(name);
    }

    std::map<int, RunRecord> runs;
    for (const int atOnce : {1, 2, 4}) {
        SCOPED_TRACE(std::to_string(atOnce) + " at once");
        const QString out = QFile::decodeName(Out());
        ASSERT_TRUE(QDir(out).removeRecursively() && QDir().mkpath(out));
        // A folder standing at the fourth output name: that item's save fails and still uses
        // its number.
        ASSERT_TRUE(QDir(out).mkdir("003.PNG"));
        job.ClearFiles();
        for (const std::string& name : names)
            job.AddFile(In(name.c_str()).constData());
        job.nSerial = 0;

        SetProcessingPicturesAtOnce(atOnce);
        BatchRecorder recorder(job);
        RunBatch(job, recorder, 120);
        SetProcessingPicturesAtOnce(0);

        ASSERT_TRUE(recorder.Completed());
        RunRecord& run = runs[atOnce];
        for (const BatchMessage& m : recorder.messages)
            run.messages.emplace_back(m.message, m.text, m.firstEntry);
        run.serial = job.nSerial;
        for (const std::string& entry : EntriesIn(Out())) {
            QFile file(QFile::decodeName(Out(entry.c_str())));
            run.files[entry] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("dir");
        }
    }

    const RunRecord& one = runs[1];
    // The list above holds every outcome, so that the comparison below covers each.
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> texts;
        for (const auto& [message, text, entry] : one.messages)
            if (text != " ... " && !text.empty())
                texts.push_back(text);
        return texts;
    }();
    for (const char* outcome : {"Done", "Error : Could not open", "Error : Could not save"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), outcome), lines.end()) << outcome;
    EXPECT_EQ(one.serial, 10);
    EXPECT_EQ(one.files.size(), 10u); // nine pictures and the folder in the way
    for (const int atOnce : {2, 4}) {
        SCOPED_TRACE(std::to_string(atOnce) + " at once");
        EXPECT_EQ(runs[atOnce].messages, one.messages);
        EXPECT_EQ(runs[atOnce].serial, one.serial);
        EXPECT_EQ(runs[atOnce].files, one.files);
    }
}
