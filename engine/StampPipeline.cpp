#include "engine/StampPipeline.h"

#include "engine/BatchJob.h"
#include "engine/ImageFile.h"

#include <algorithm>
#include <system_error>

#include <sys/stat.h>

namespace {

std::int32_t NumberAt(std::int32_t first, std::int64_t position) {
    // Wraps like the running number does after INT32_MAX.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(first) +
                                     static_cast<std::uint32_t>(position));
}

// What a file was when an item was begun: a file replaced, rewritten or deleted since then
// differs in one of these. Its absence counts as a state of its own.
struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileState Of(const std::string& path) {
        struct stat info {};
        FileState state;
        if (::stat(path.c_str(), &info) != 0)
            return state;
        state = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
        return state;
    }
    bool operator==(const FileState& other) const {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && same(modified, other.modified) && same(changed, other.changed);
    }
};

} // namespace

struct CStampPipeline::Slot {
    bool ready = false;
    // The background as it was when the item was begun ahead of its turn.
    FileState source;
    // Done when the item loaded and stamped; otherwise why not.
    ItemOutcome stamped = ItemOutcome::Done;
    // Done when the file waits in `file` (or nothing was to be written); SaveFailed otherwise.
    ItemOutcome encoded = ItemOutcome::Done;
    bool profileIgnored = false;
    PendingImageFile file;
};

CStampPipeline::CStampPipeline(CBatchJob& job, const CImageFile& overlay, Settings settings)
    : m_job(job), m_overlay(overlay), m_settings(settings) {
    if (m_settings.jobs < 1)
        m_settings.jobs = 1;
}

CStampPipeline::~CStampPipeline() {
    Stop();
}

void CStampPipeline::Start(std::vector<PipelineItem> items) {
    Stop();
    m_items = std::move(items);
    m_slots.clear();
    m_slots.reserve(m_items.size());
    for (std::size_t i = 0; i < m_items.size(); ++i)
        m_slots.push_back(std::make_unique<Slot>());
    m_nextItem = 0;
    m_nextFinished = 0;
    m_stopping = false;
    m_haveEncoder = m_job.FindOutputEncoder(m_encoder) >= 0;
    if (m_settings.jobs < 2)
        return;
    const auto threads = std::min(static_cast<std::size_t>(m_settings.jobs), m_items.size());
    for (std::size_t i = 0; i < threads; ++i) {
        // Fewer threads than asked for still do the whole list; none at all, Finish does.
        try {
            m_threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

void CStampPipeline::Work() {
    CStampedItem stamped;
    // Items begun ahead of the one being finished; more would only hold files longer.
    const std::size_t ahead = 2 * static_cast<std::size_t>(m_settings.jobs);
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                return m_stopping.load() || m_nextItem >= m_items.size() ||
                       m_nextItem < m_nextFinished + ahead;
            });
            if (m_stopping.load() || m_nextItem >= m_items.size())
                return;
            index = m_nextItem++;
        }
        Slot& slot = *m_slots[index];
        WorkOn(index, slot, stamped);
        {
            std::lock_guard lock(m_mutex);
            slot.ready = true;
        }
        m_changed.notify_all();
    }
}

void CStampPipeline::WorkOn(std::size_t index, Slot& slot, CStampedItem& stamped) {
    slot.source = FileState::Of(m_items[index].path);
    slot.file.Discard();
    slot.encoded = ItemOutcome::Done;
    slot.stamped = stamped.Load(m_items[index].path.c_str());
    if (slot.stamped == ItemOutcome::Done) {
        stamped.DecodeNow();
        m_stamping.acquire();
        slot.stamped = stamped.Compose(m_job, m_overlay);
        m_stamping.release();
    }
    slot.profileIgnored = slot.stamped == ItemOutcome::Done && stamped.ProfileIgnored();
    if (slot.stamped == ItemOutcome::Done && !m_settings.dryRun)
        slot.encoded =
            stamped.Encode(slot.file, m_job.szOutputDir, m_haveEncoder ? &m_encoder : nullptr,
                           &m_stopping, m_settings.metadata);
    stamped.Release();
}

PipelineReport CStampPipeline::Finish() {
    std::size_t index = 0;
    {
        std::unique_lock lock(m_mutex);
        index = m_nextFinished;
        if (index >= m_items.size())
            return {};
        if (HaveThreads())
            m_changed.wait(lock, [&] { return m_slots[index]->ready; });
    }
    Slot& slot = *m_slots[index];
    // An item is the file as it is in its turn: one begun ahead whose file has changed since
    // (replaced, rewritten, deleted while the run went on) is done again now.
    if (!HaveThreads() || !(FileState::Of(m_items[index].path) == slot.source)) {
        CStampedItem stamped;
        WorkOn(index, slot, stamped);
    }

    PipelineReport report{&m_items[index], {}, slot.stamped, slot.profileIgnored};
    if (slot.stamped == ItemOutcome::Done) {
        char outputPath[MAX_PATH] = {};
        if (m_settings.numbering == Numbering::Running)
            m_job.MakeOutputPath(outputPath, MAX_PATH);
        else
            m_job.MakeOutputPathFor(NumberAt(m_job.nSerial, m_items[index].position), outputPath,
                                    MAX_PATH);
        report.outputPath = outputPath;
        if (m_settings.dryRun)
            report.outcome = m_haveEncoder && outputPath[0] != '\0' ? ItemOutcome::Done
                                                                    : ItemOutcome::SaveFailed;
        else if (slot.encoded != ItemOutcome::Done)
            report.outcome = slot.encoded;
        else
            report.outcome = CStampedItem::PutInPlace(slot.file, outputPath);
    }
    slot.file.Discard();
    {
        std::lock_guard lock(m_mutex);
        ++m_nextFinished;
    }
    m_changed.notify_all();
    return report;
}

void CStampPipeline::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    // Whatever was encoded and not finished goes with its slot.
    m_slots.clear();
}

void CStampPipeline::Run(const std::vector<PipelineItem>& items, const ReportFunction& report,
                         const std::atomic<bool>& stop) {
    Start(items);
    for (std::size_t i = 0; i < items.size() && !stop.load(); ++i)
        report(Finish());
    Stop();
}
