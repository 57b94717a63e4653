#pragma once
// Stamps a list of backgrounds on several threads at once and names the outputs exactly as one
// thread working through the list in order would: every item is loaded and stamped in
// parallel, then waits for its turn in list order to take its name, then is saved in
// parallel again. At most one picture per thread is held, plus one while a thread stamps.

#include "engine/StampedItem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CBatchJob;
class CImageFile;

struct PipelineItem {
    std::string path;
    // The item's place in the whole list it was taken from (numbering by position).
    std::int64_t position = 0;
};

// Running: the job's running number, used up by every item that reaches its name, as the
// windowed batch does. Position: item at place p gets the job's running number + p, whatever
// became of the others, so that parts of one list can run apart without colliding.
enum class Numbering { Running, Position };

struct PipelineReport {
    const PipelineItem* item = nullptr;
    // The path the item was (or, in a dry run, would be) written to; empty when it got none.
    std::string outputPath;
    ItemOutcome outcome = ItemOutcome::Done;
};

class CStampPipeline {
  public:
    struct Settings {
        int jobs = 1;
        Numbering numbering = Numbering::Running;
        // Names are taken as in a real run, nothing is written.
        bool dryRun = false;
    };
    using ReportFunction = std::function<void(const PipelineReport&)>;

    // The job gives the settings and, when numbering runs on, the running number, which the
    // run advances. The overlay must have been decoded (CImageFile::DecodeNow): every thread
    // draws from it. Both are borrowed for the run.
    CStampPipeline(CBatchJob& job, const CImageFile& overlay, Settings settings);

    // Runs the whole list and returns when every thread has ended. report is called once per
    // finished item, one call at a time and in list order. Once stop is set, no further item
    // begins and no item in flight takes a name: those are dropped unreported and nothing of
    // theirs is written; items already named are finished and reported.
    void Run(const std::vector<PipelineItem>& items, const ReportFunction& report,
             const std::atomic<bool>& stop);

  private:
    CBatchJob& m_job;
    const CImageFile& m_overlay;
    Settings m_settings;
};
