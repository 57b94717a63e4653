#include "engine/StampPipeline.h"

#include "engine/BatchJob.h"
#include "engine/CopyRecord.h"
#include "engine/FileState.h"
#include "engine/ImageFile.h"
#include "engine/MachineShare.h"
#include "imaging/files/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <optional>
#include <system_error>

namespace {

const char* const kNoNumberLeft = "no number left: the largest is 2147483647";

} // namespace

struct CStampPipeline::Slot {
    const PipelineItem* item = nullptr;
    bool ready = false;
    // The background as it was when the item was begun ahead of its turn.
    FileState source;
    // Done when the item loaded and stamped; otherwise why not.
    ItemOutcome stamped = ItemOutcome::Done;
    // Done when the file waits in `file` (or nothing was to be written); SaveFailed otherwise.
    ItemOutcome encoded = ItemOutcome::Done;
    std::string reason; // why stamping or encoding failed
    int systemError = 0;
    const char* code = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int64_t bytes = 0;
    std::chrono::steady_clock::duration took{};
    bool profileIgnored = false;
    CopyRecord record; // when the run records its copies' source
    PendingImageFile file;
};

struct CStampPipeline::Entry {
    PipelineItem item;
    std::unique_ptr<Slot> slot;
};

CStampPipeline::CStampPipeline(RunSettings run, const CImageFile& overlay,
                               NumberFunction takeNumber)
    : m_run(std::move(run)), m_takeNumber(std::move(takeNumber)),
      m_nextNumber(m_run.Choices().firstNumber), m_overlay(overlay), m_settings(m_run.Options()) {
    if (m_settings.jobs < 1)
        m_settings.jobs = 1;
}

CStampPipeline::~CStampPipeline() {
    Stop();
}

void CStampPipeline::OpenFolder() {
    Stop();
    m_entries.clear();
    m_firstHeld = 0;
    m_added = 0;
    m_closed = false;
    m_awaitingEnd = false;
    m_nextItem = 0;
    m_nextFinished = 0;
    m_stopping = false;
    m_inFlight = 0;
    m_peakInFlight = 0;
    m_nextAdmitted = 0;
    m_budget = m_settings.memoryBudget;
    if (m_budget == 0)
        m_budget = std::max<std::uint64_t>(AvailableMemoryBytes() / 2, 256u << 20);
    m_settingsDigest = m_settings.recordSource ? CopyRecord::SettingsDigest(m_run) : "";
    m_folder = std::make_unique<OutputFolder>(QByteArray::fromStdString(m_run.OutputDir()));
    m_folder->protect(QByteArray::fromStdString(m_run.OverlayPath()));
}

void CStampPipeline::StartThreads(std::size_t count) {
    if (m_settings.jobs < 2)
        return;
    const auto threads = std::min(static_cast<std::size_t>(m_settings.jobs), count);
    for (std::size_t i = 0; i < threads; ++i) {
        // Fewer threads than asked for still do the whole list; none at all, Finish does.
        try {
            m_threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

void CStampPipeline::Start(std::vector<PipelineItem> items) {
    OpenFolder();
    const std::size_t count = items.size();
    for (PipelineItem& item : items) {
        m_folder->protect(QByteArray::fromStdString(item.Path()));
        m_entries.push_back({std::move(item), nullptr});
    }
    m_added = count;
    m_closed = true;
    if (!m_settings.dryRun)
        m_folder->removeLeftovers();
    StartThreads(count);
}

void CStampPipeline::Open() {
    OpenFolder();
    StartThreads(static_cast<std::size_t>(m_settings.jobs));
}

bool CStampPipeline::Add(PipelineItem item) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return m_stopping.load() || m_awaitingEnd || m_added - m_nextFinished < kHeldAhead;
    });
    if (m_stopping.load() || m_closed)
        return false;
    // Before any thread sees the item: no copy of an earlier one may replace it.
    m_folder->protect(QByteArray::fromStdString(item.Path()));
    m_entries.push_back({std::move(item), nullptr});
    ++m_added;
    lock.unlock();
    m_changed.notify_all();
    return true;
}

void CStampPipeline::Close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || m_stopping.load())
            return;
        m_closed = true;
        // Only now is every picture of the list known, and protected from the clean-up too.
        if (!m_settings.dryRun)
            m_folder->removeLeftovers();
    }
    m_changed.notify_all();
}

CStampPipeline::Entry& CStampPipeline::At(std::size_t index) {
    return m_entries[index - m_firstHeld];
}

void CStampPipeline::Work() {
    CStampedItem stamped;
    // Items begun ahead of the one being finished; more would only hold files longer.
    const std::size_t ahead = 2 * static_cast<std::size_t>(m_settings.jobs);
    for (;;) {
        std::size_t index = 0;
        Slot* slot = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                return m_stopping.load() || (m_closed && m_nextItem >= m_added) ||
                       (m_nextItem < m_added && m_nextItem < m_nextFinished + ahead);
            });
            if (m_stopping.load() || m_nextItem >= m_added)
                return;
            index = m_nextItem++;
            Entry& entry = At(index);
            entry.slot = std::make_unique<Slot>();
            slot = entry.slot.get();
            slot->item = &entry.item;
        }
        WorkOn(index, *slot, stamped, true);
        {
            std::lock_guard lock(m_mutex);
            slot->ready = true;
        }
        m_changed.notify_all();
    }
}

void CStampPipeline::WorkOn(std::size_t index, Slot& slot, CStampedItem& stamped, bool admit) {
    const auto began = std::chrono::steady_clock::now();
    const PipelineItem& item = *slot.item;
    slot.source = FileState::Of(item.Path());
    slot.file.Discard();
    slot.encoded = ItemOutcome::Done;
    const CLSID* encoder = m_run.Encoder();
    // A name of its own may lie in a folder of the output folder (names that keep folders).
    const std::string& name = item.name;
    const std::size_t slash = name.rfind('/');
    const std::string subfolder =
        slash == std::string::npos ? std::string() : name.substr(0, slash);
    slot.stamped = stamped.Load(item.Path().c_str(), encoder);
    // Only the header is known so far: the pixels are decoded once the picture is admitted.
    const std::uint64_t bytes = slot.stamped == ItemOutcome::Done ? stamped.MemoryNeeded() : 0;
    if (admit)
        Admit(index, bytes);
    // A JPEG written as JPEG is first stamped without decoding the picture: that never holds a
    // second copy of it, so it does not wait for the one stamp at a time. A dry run writes
    // nothing and decodes as ever.
    std::optional<ItemOutcome> lossless;
    if (slot.stamped == ItemOutcome::Done && !m_settings.dryRun && m_settings.jpegQuality == 0)
        lossless = stamped.EncodeLossless(m_run.Choices(), m_overlay, slot.file, *m_folder, encoder,
                                          &m_stopping, m_settings.metadata, subfolder);
    if (lossless == ItemOutcome::ComposeFailed) {
        slot.stamped = *lossless;
        lossless.reset();
    }
    if (slot.stamped == ItemOutcome::Done && !lossless) {
        stamped.DecodeNow();
        m_stamping.acquire();
        slot.stamped = stamped.Compose(m_run.Choices(), m_overlay);
        m_stamping.release();
    }
    slot.profileIgnored = slot.stamped == ItemOutcome::Done && stamped.ProfileIgnored();
    if (lossless)
        slot.encoded = *lossless;
    else if (slot.stamped == ItemOutcome::Done && !m_settings.dryRun)
        slot.encoded =
            stamped.Encode(slot.file, *m_folder, encoder, &m_stopping, m_settings.metadata,
                           {m_settings.jpegQuality, m_settings.uncompressedTiff}, subfolder);
    slot.reason = stamped.Reason();
    slot.systemError = stamped.SystemError();
    slot.code = stamped.ReasonCode();
    slot.width = stamped.Width();
    slot.height = stamped.Height();
    slot.bytes = slot.file.IsEncoded() ? slot.file.Size() : 0;
    if (m_settings.recordSource && slot.stamped == ItemOutcome::Done)
        slot.record =
            CopyRecord::For(item.Path(), stamped.Width(), stamped.Height(), m_settingsDigest);
    stamped.Release();
    if (admit)
        Release(bytes);
    slot.took = std::chrono::steady_clock::now() - began;
}

void CStampPipeline::Admit(std::size_t index, std::uint64_t bytes) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return m_stopping.load() ||
               (index == m_nextAdmitted && (m_inFlight == 0 || m_inFlight + bytes <= m_budget));
    });
    // A stopping run lets every thread through: what it does then is thrown away.
    if (index == m_nextAdmitted)
        ++m_nextAdmitted;
    m_inFlight += bytes;
    m_peakInFlight = std::max(m_peakInFlight, m_inFlight);
    lock.unlock();
    m_changed.notify_all();
}

void CStampPipeline::Release(std::uint64_t bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_inFlight -= bytes;
    }
    m_changed.notify_all();
}

const PipelineItem* CStampPipeline::Next() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_stopping.load() || m_closed || m_nextFinished < m_added; });
    return m_nextFinished < m_added ? &At(m_nextFinished).item : nullptr;
}

PipelineReport CStampPipeline::Finish() {
    std::size_t index = 0;
    Slot* held = nullptr;
    {
        std::unique_lock lock(m_mutex);
        // The caller is done with the report of the item before.
        for (; m_firstHeld < m_nextFinished && !m_entries.empty(); ++m_firstHeld)
            m_entries.pop_front();
        m_changed.wait(lock,
                       [&] { return m_stopping.load() || m_closed || m_nextFinished < m_added; });
        index = m_nextFinished;
        if (m_stopping.load() || index >= m_added)
            return {};
        Entry& entry = At(index);
        if (HaveThreads()) {
            m_changed.wait(lock, [&] { return entry.slot && entry.slot->ready; });
        } else {
            entry.slot = std::make_unique<Slot>();
            entry.slot->item = &entry.item;
        }
        held = entry.slot.get();
    }
    Slot& slot = *held;
    const PipelineItem& item = *slot.item;
    // An item is the file as it is in its turn: one begun ahead whose file has changed since
    // (replaced, rewritten, deleted while the run went on) is done again now.
    if (!HaveThreads() || !(FileState::Of(item.Path()) == slot.source)) {
        // On this thread, alone of its pictures: the budget counts those of the others.
        CStampedItem stamped;
        WorkOn(index, slot, stamped, false);
    }

    const auto began = std::chrono::steady_clock::now();
    PipelineReport report;
    report.item = &item;
    report.outcome = slot.stamped;
    report.reason = slot.reason;
    report.systemError = slot.systemError;
    report.reasonCode = slot.code;
    report.width = slot.width;
    report.height = slot.height;
    report.profileIgnored = slot.profileIgnored;
    if (slot.stamped == ItemOutcome::Done) {
        report.outputPath = OutputPathFor(item, report);
        const std::string name =
            report.outputPath.substr(std::min(report.outputPath.size(), m_run.NameStart()));
        if (m_settings.dryRun) {
            report.outcome = m_run.Encoder() != nullptr && !name.empty() ? ItemOutcome::Done
                                                                         : ItemOutcome::SaveFailed;
        } else if (slot.encoded != ItemOutcome::Done) {
            report.outcome = slot.encoded;
        } else if (name.empty()) {
            report.outcome = ItemOutcome::SaveFailed;
        } else {
            AwaitListEndIfTaken(name);
            if (m_settings.recordSource)
                slot.file.SetOrigin(QByteArray::fromStdString(slot.record.picture),
                                    QByteArray::fromStdString(slot.record.made),
                                    m_settings.replaceOtherCopies);
            CStampedItem::Committed committed = CStampedItem::Commit(slot.file, name);
            report.outcome = committed.outcome;
            report.reason = std::move(committed.reason.text);
            report.systemError = committed.systemError;
            report.reasonCode = committed.reason.code;
            report.bytes = report.outcome == ItemOutcome::Done ? slot.bytes : 0;
        }
    }
    slot.file.Discard();
    report.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                              slot.took + (std::chrono::steady_clock::now() - began))
                              .count();
    {
        std::lock_guard lock(m_mutex);
        At(index).slot.reset();
        ++m_nextFinished;
    }
    m_changed.notify_all();
    return report;
}

void CStampPipeline::AwaitListEndIfTaken(const std::string& name) {
    std::unique_lock lock(m_mutex);
    if (m_closed)
        return;
    struct stat there {};
    if (::fstatat(m_folder->handle(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT)
        return;
    m_awaitingEnd = true;
    lock.unlock();
    m_changed.notify_all();
    lock.lock();
    m_changed.wait(lock, [&] { return m_closed || m_stopping.load(); });
}

std::string CStampPipeline::OutputPathFor(const PipelineItem& item, PipelineReport& report) {
    const auto failed = [&](const char* code, const char* reason) {
        report.reasonCode = code;
        report.reason = reason;
        return std::string();
    };
    if (!item.name.empty()) {
        std::string outputPath = m_run.NamedOutputPath(item.name);
        return outputPath.empty() ? failed("path_too_long", "the output path is too long")
                                  : outputPath;
    }
    std::int64_t number = 0;
    if (m_settings.numbering == Numbering::Running) {
        std::int32_t taken = 0;
        if (!TakeNumber(taken))
            return failed("no_number_left", kNoNumberLeft);
        number = taken;
    } else {
        number = std::int64_t{m_run.Choices().firstNumber} + item.position;
    }
    if (number > std::numeric_limits<std::int32_t>::max())
        return failed("no_number_left", kNoNumberLeft);
    std::string outputPath = m_run.OutputPath(static_cast<std::int32_t>(number));
    if (outputPath.size() <= m_run.NameStart())
        return failed("path_too_long", "the output path is too long");
    return outputPath;
}

bool CStampPipeline::TakeNumber(std::int32_t& number) {
    if (m_takeNumber)
        return m_takeNumber(number);
    return TakeRunningNumber(m_nextNumber, m_numbersSpent, number);
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
    // Whatever was encoded and not finished goes with its slot, before the folder it is in.
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_firstHeld = m_added;
    m_folder.reset();
}

void CStampPipeline::Run(std::vector<PipelineItem> items, const ReportFunction& report,
                         const std::atomic<bool>& stop, const BeginFunction& begin) {
    Start(std::move(items));
    Drain(report, stop, begin);
    Stop();
}

void CStampPipeline::Drain(const ReportFunction& report, const std::atomic<bool>& stop,
                           const BeginFunction& begin) {
    while (!stop.load()) {
        if (begin) {
            const PipelineItem* next = Next();
            if (next == nullptr)
                break;
            begin(*next);
            if (stop.load())
                break;
        }
        const PipelineReport finished = Finish();
        if (finished.item == nullptr)
            break;
        report(finished);
    }
}
