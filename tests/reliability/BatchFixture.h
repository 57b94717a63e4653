#pragma once
// A temporary folder with an overlay, an output folder and a job that stamps into it: the
// ground every reliability case starts from.

#include "ChildBatch.h"
#include "engine/BatchJob.h"

#include <QByteArray>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

// A background written into the folder, and the outcome its log line must show.
struct Input {
    const char* name;
    QByteArray bytes;
    const char* outcome;
};

class BatchFixture : public ::testing::Test {
  public:
    void SetUp() override;

    // Paths as the file system's bytes.
    QByteArray In(const char* name) const;
    QByteArray Out(const char* name = nullptr) const;

    // Writes bytes as a background in the folder and returns its path.
    QByteArray Put(const char* name, const QByteArray& bytes) const;
    void List(std::initializer_list<const char*> names);
    // Writes each input and puts it on the job's list; expected gets its log line.
    void ListInputs(std::span<const Input> inputs, std::vector<std::string>& expected);
    // Writes a good 64 x 48 picture; expected gets its line and the end of the run.
    QByteArray PutGoodLast(std::vector<std::string>& expected) const;
    // Runs spec in a child process with this folder's overlay, into out/.
    ChildBatchResult RunChild(ChildBatchSpec spec) const;
    // The job's remaining entries by file name.
    std::vector<std::string> Remaining() const;

    QTemporaryDir m_dir;
    CBatchJob job;
};

// The suite's name in test listings.
using Reliability = BatchFixture;

// Every entry of a folder (hidden ones and special files too, so that a leftover temporary
// file shows), sorted by name.
std::vector<std::string> EntriesIn(const QByteArray& dir);

// The overlay of every case: 16 x 16, left half red, right half green, opaque. Stamped at
// 25 % in the bottom-right cell.
QImage OverlayImage();

// Checks that the output at path is a w x h picture whose bottom-right quarter cell holds the
// overlay (red left, green right) and whose point (x, y) has the colour want.
void ExpectStamped(const QByteArray& path, int width, int height, const QColor& want, int x, int y,
                   int tolerance);

constexpr const char* kCouldNotOpen = " ... Error : Could not open";
constexpr const char* kCouldNotCopy = " ... Error : Could not copy image";
constexpr const char* kCouldNotSave = " ... Error : Could not save";
constexpr const char* kDone = " ... Done";

// How a child ended, for the message of a failed check on ChildBatchResult::Clean().
std::string HowItEnded(const ChildBatchResult& result);

// "name" + outcome, the log line of one item.
std::string Line(const char* name, const char* outcome);
