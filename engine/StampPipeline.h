#pragma once
// Stamps a list of backgrounds on several threads at once and names the outputs exactly as one
// thread working through the list in order would. Worker threads load, stamp and encode items
// ahead, each into a file of the output folder that has no name yet; the caller then finishes
// the items one by one in list order: each takes its number and name only then, and its file is
// put in place under that name in one step. Items never finished are thrown away, files and all.
// Each thread holds at most one picture, and one thread at a time stamps (a stamp that cannot
// draw on the loaded picture itself holds it and a new one at once). Pictures are decoded only
// while those in flight fit a memory budget, in list order.

#include "engine/RunSettings.h"
#include "engine/StampedItem.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

class CBatchJob;
class CImageFile;
class OutputFolder;

struct PipelineItem {
    std::string path;
    // The item's place in the whole list it was taken from (numbering by position).
    std::int64_t position = 0;
    // Instead of path: the caller's own copy, which stays until the item is finished, so that a
    // long list is not held twice.
    const std::string* borrowed = nullptr;
    // The copy's name without extension when it has one of its own (NamesFromInputs); empty:
    // the template and a number name it.
    std::string name{};
    const std::string& Path() const { return borrowed != nullptr ? *borrowed : path; }
};

struct PipelineReport {
    const PipelineItem* item = nullptr;
    // The path the item was (or, in a dry run, would be) written to; empty when it got none.
    std::string outputPath;
    ItemOutcome outcome = ItemOutcome::Done;
    // Why a failed item failed, in the program's own words ("no such file", "would replace one
    // of this run's pictures"); empty when it did not fail or nothing more is known.
    std::string reason;
    // The system's errno when the copy could not be written because the file system refused
    // it (CStampedItem::SystemError): the picture itself is good, and a later run may write it.
    int systemError = 0;
    // The reason's stable code (ItemFailure.h); null when it did not fail.
    const char* reasonCode = nullptr;
    // The copy's size in pixels, 0 when the picture did not load; the bytes written (0 when
    // none were); the time the item took on its thread and in its turn.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int64_t bytes = 0;
    std::int64_t milliseconds = 0;
    // The picture's colour profile was ignored (see CStampedItem::ProfileIgnored).
    bool profileIgnored = false;
};

class CStampPipeline {
  public:
    using Settings = RunOptions;
    using ReportFunction = std::function<void(const PipelineReport&)>;
    using BeginFunction = std::function<void(const PipelineItem&)>;

    // Gives the next running number and uses it up; false once none is left.
    using NumberFunction = std::function<bool(std::int32_t&)>;

    // A run as run says. The overlay must have been decoded (CImageFile::DecodeNow) or be
    // empty: every thread draws from it; it is borrowed until Stop. Running numbers, when
    // numbering runs on, come from takeNumber (the windowed program's job, whose number goes
    // on from run to run), or without it start at the choices' first number and are the
    // pipeline's own.
    CStampPipeline(RunSettings run, const CImageFile& overlay, NumberFunction takeNumber = {});
    ~CStampPipeline(); // Stop
    CStampPipeline(const CStampPipeline&) = delete;
    CStampPipeline& operator=(const CStampPipeline&) = delete;

    // Begins work on items (the list is kept until Stop). The output folder is opened here
    // once for the whole run, and every file is made and named in it; none of the items and
    // not the overlay is ever replaced by an output (such an item fails its save). Leftovers
    // of killed runs in the folder are removed first.
    void Start(std::vector<PipelineItem> items);
    // A list read while the run goes on: Open begins the run with no items, Add hands over
    // each item in list order as it is read, Close says the list has ended. Until then, a copy
    // whose name is taken waits for the end of the list, since a picture not yet read may lie
    // there; leftovers of killed runs are removed at Close. Add waits while kHeldAhead items
    // wait for their turn (a list read faster than it is stamped holds no more), unless a copy
    // waits for the end; false once the run is stopping.
    static constexpr std::size_t kHeldAhead = 1024;
    void Open();
    bool Add(PipelineItem item);
    void Close();
    // Waits for the next item in list order, names it (using up a running number when it
    // loaded and stamped, even if its save then fails) and puts its file in place. Called at
    // most once per item. An item whose number would pass the largest one fails its save.
    // Once the list has ended and every item is finished, a report without an item.
    PipelineReport Finish();
    // Throws away every item not finished (encodings in progress are cut short, their files
    // dropped) and waits for the threads to end.
    void Stop();

    // Start, Drain, Stop.
    void Run(std::vector<PipelineItem> items, const ReportFunction& report,
             const std::atomic<bool>& stop, const BeginFunction& begin = {});
    // Finish for every item with report called for each, until the list has ended. Once stop
    // is set, no further item is finished: those in flight are thrown away and nothing of
    // theirs is written. begin (optional) is called with each item before it is finished, once
    // the run has started (the output folder is open); setting stop there leaves that item
    // unfinished.
    void Drain(const ReportFunction& report, const std::atomic<bool>& stop,
               const BeginFunction& begin = {});

    // The most bytes of pictures in flight at once in the last run, as the budget counts them.
    std::uint64_t PeakBytesInFlight() const { return m_peakInFlight; }

  private:
    struct Slot;
    struct Entry;
    void OpenFolder();
    void StartThreads(std::size_t count);
    void Work();
    // admit: count the picture against the memory budget (threads of the pipeline do).
    void WorkOn(std::size_t index, Slot& slot, CStampedItem& stamped, bool admit);
    // The item's output path; empty when the number or the name does not fit.
    std::string OutputPathFor(const PipelineItem& item, PipelineReport& report);
    // Waits until the item, the next in list order to be admitted, fits the memory budget
    // beside the pictures in flight (or none is in flight), and counts it in; Release counts
    // it out.
    void Admit(std::size_t index, std::uint64_t bytes);
    void Release(std::uint64_t bytes);
    bool HaveThreads() const { return !m_threads.empty(); }
    // Under m_mutex: the entry of the item at index of the list, which must be held.
    Entry& At(std::size_t index);
    // The next item Finish takes, once it has been added; null once the list has ended.
    const PipelineItem* Next();
    // Returns once the list has ended when name (relative to the folder) is taken.
    void AwaitListEndIfTaken(const std::string& name);

    // Takes the running number from the job, or from the pipeline's own when it has none.
    bool TakeNumber(std::int32_t& number);

    const RunSettings m_run;
    NumberFunction m_takeNumber;
    std::int32_t m_nextNumber = 0; // without m_takeNumber
    bool m_numbersSpent = false;
    const CImageFile& m_overlay;
    Settings m_settings;
    std::unique_ptr<OutputFolder> m_folder;
    std::string m_settingsDigest; // CopyRecord's, when the run records its copies' source

    // The items from the first not yet finished to the last added; m_firstHeld is the first's
    // place in the list. A slot lives only from the item's start to its finish.
    std::deque<Entry> m_entries;
    std::size_t m_firstHeld = 0;
    std::size_t m_added = 0;
    bool m_closed = true;
    bool m_awaitingEnd = false; // a copy waits for the end of the list
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_nextItem = 0;     // the next item a thread begins
    std::size_t m_nextFinished = 0; // the next item Finish takes
    std::atomic<bool> m_stopping{false};
    std::uint64_t m_budget = 0;
    std::uint64_t m_inFlight = 0;   // bytes of the admitted pictures not yet let go
    std::size_t m_nextAdmitted = 0; // pictures are admitted in list order, none overtaken
    std::uint64_t m_peakInFlight = 0;
    // A stamp that cannot draw on the loaded picture itself holds it and a new one at once; one
    // thread at a time keeps the run within one picture per thread plus one.
    std::counting_semaphore<1> m_stamping{1};
};
