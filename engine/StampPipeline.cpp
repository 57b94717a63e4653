#include "engine/StampPipeline.h"

#include "engine/BatchJob.h"
#include "engine/CopyRecord.h"
#include "engine/FileState.h"
#include "engine/ImageFile.h"
#include "engine/MachineShare.h"
#include "imaging/files/OutputFolder.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <system_error>

namespace {

const char* const kNoNumberLeft = "no number left: the largest is 2147483647";

} // namespace

struct CStampPipeline::Slot {
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

CStampPipeline::CStampPipeline(CBatchJob& job, const CImageFile& overlay, Settings settings)
    : m_job(&job), m_overlay(overlay), m_settings(settings) {
    if (m_settings.jobs < 1)
        m_settings.jobs = 1;
}

CStampPipeline::CStampPipeline(const RunSettings& run, const CImageFile& overlay)
    : m_run(run), m_nextNumber(run.Choices().firstNumber), m_overlay(overlay),
      m_settings(run.Options()) {
    if (m_settings.jobs < 1)
        m_settings.jobs = 1;
}

CStampPipeline::~CStampPipeline() {
    Stop();
}

void CStampPipeline::Start(std::vector<PipelineItem> items) {
    Stop();
    m_items = std::move(items);
    // A slot lives only from the item's start to its finish: a list of a million pictures
    // holds a million empty pointers, not a million slots.
    m_slots.clear();
    m_slots.resize(m_items.size());
    m_nextItem = 0;
    m_nextFinished = 0;
    m_stopping = false;
    m_inFlight = 0;
    m_peakInFlight = 0;
    m_nextAdmitted = 0;
    m_budget = m_settings.memoryBudget;
    if (m_budget == 0)
        m_budget = std::max<std::uint64_t>(AvailableMemoryBytes() / 2, 256u << 20);
    if (m_job != nullptr)
        m_run.emplace(RunSettings::FromJob(*m_job, m_settings));
    m_settingsDigest = m_settings.recordSource ? CopyRecord::SettingsDigest(*m_run) : "";
    m_folder = std::make_unique<OutputFolder>(QByteArray::fromStdString(m_run->OutputDir()));
    for (const PipelineItem& item : m_items)
        m_folder->protect(QByteArray::fromStdString(item.Path()));
    m_folder->protect(QByteArray::fromStdString(m_run->OverlayPath()));
    if (!m_settings.dryRun)
        m_folder->removeLeftovers();
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
            m_slots[index] = std::make_unique<Slot>();
        }
        Slot& slot = *m_slots[index];
        WorkOn(index, slot, stamped, true);
        {
            std::lock_guard lock(m_mutex);
            slot.ready = true;
        }
        m_changed.notify_all();
    }
}

void CStampPipeline::WorkOn(std::size_t index, Slot& slot, CStampedItem& stamped, bool admit) {
    const auto began = std::chrono::steady_clock::now();
    slot.source = FileState::Of(m_items[index].Path());
    slot.file.Discard();
    slot.encoded = ItemOutcome::Done;
    const CLSID* encoder = m_run->Encoder();
    // A name of its own may lie in a folder of the output folder (names that keep folders).
    const std::string& name = m_items[index].name;
    const std::size_t slash = name.rfind('/');
    const std::string subfolder =
        slash == std::string::npos ? std::string() : name.substr(0, slash);
    slot.stamped = stamped.Load(m_items[index].Path().c_str(), encoder);
    // Only the header is known so far: the pixels are decoded once the picture is admitted.
    const std::uint64_t bytes = slot.stamped == ItemOutcome::Done ? stamped.MemoryNeeded() : 0;
    if (admit)
        Admit(index, bytes);
    // A JPEG written as JPEG is first stamped without decoding the picture: that never holds a
    // second copy of it, so it does not wait for the one stamp at a time. A dry run writes
    // nothing and decodes as ever.
    std::optional<ItemOutcome> lossless;
    if (slot.stamped == ItemOutcome::Done && !m_settings.dryRun && m_settings.jpegQuality == 0)
        lossless = stamped.EncodeLossless(m_run->Choices(), m_overlay, slot.file, *m_folder,
                                          encoder, &m_stopping, m_settings.metadata, subfolder);
    if (slot.stamped == ItemOutcome::Done && !lossless) {
        stamped.DecodeNow();
        m_stamping.acquire();
        slot.stamped = stamped.Compose(m_run->Choices(), m_overlay);
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
        slot.record = CopyRecord::For(m_items[index].Path(), stamped.Width(), stamped.Height(),
                                      m_settingsDigest);
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

PipelineReport CStampPipeline::Finish() {
    std::size_t index = 0;
    {
        std::unique_lock lock(m_mutex);
        index = m_nextFinished;
        if (index >= m_items.size())
            return {};
        if (HaveThreads())
            m_changed.wait(lock, [&] { return m_slots[index] && m_slots[index]->ready; });
        else
            m_slots[index] = std::make_unique<Slot>();
    }
    Slot& slot = *m_slots[index];
    // An item is the file as it is in its turn: one begun ahead whose file has changed since
    // (replaced, rewritten, deleted while the run went on) is done again now.
    if (!HaveThreads() || !(FileState::Of(m_items[index].Path()) == slot.source)) {
        // On this thread, alone of its pictures: the budget counts those of the others.
        CStampedItem stamped;
        WorkOn(index, slot, stamped, false);
    }

    const auto began = std::chrono::steady_clock::now();
    PipelineReport report;
    report.item = &m_items[index];
    report.outcome = slot.stamped;
    report.reason = slot.reason;
    report.systemError = slot.systemError;
    report.reasonCode = slot.code;
    report.width = slot.width;
    report.height = slot.height;
    report.profileIgnored = slot.profileIgnored;
    if (slot.stamped == ItemOutcome::Done) {
        report.outputPath = OutputPathFor(index, report);
        const std::string name =
            report.outputPath.substr(std::min(report.outputPath.size(), m_run->NameStart()));
        if (m_settings.dryRun) {
            report.outcome = m_run->Encoder() != nullptr && !name.empty() ? ItemOutcome::Done
                                                                          : ItemOutcome::SaveFailed;
        } else if (slot.encoded != ItemOutcome::Done) {
            report.outcome = slot.encoded;
        } else if (name.empty()) {
            report.outcome = ItemOutcome::SaveFailed;
        } else {
            CStampedItem committer;
            if (m_settings.recordSource)
                slot.file.SetOrigin(QByteArray::fromStdString(slot.record.picture),
                                    QByteArray::fromStdString(slot.record.made),
                                    m_settings.replaceOtherCopies);
            report.outcome = committer.PutInPlace(slot.file, name);
            report.reason = committer.Reason();
            report.systemError = committer.SystemError();
            report.reasonCode = committer.ReasonCode();
            report.bytes = report.outcome == ItemOutcome::Done ? slot.bytes : 0;
        }
    }
    slot.file.Discard();
    report.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                              slot.took + (std::chrono::steady_clock::now() - began))
                              .count();
    {
        std::lock_guard lock(m_mutex);
        m_slots[index].reset();
        ++m_nextFinished;
    }
    m_changed.notify_all();
    return report;
}

std::string CStampPipeline::OutputPathFor(std::size_t index, PipelineReport& report) {
    const auto failed = [&](const char* code, const char* reason) {
        report.reasonCode = code;
        report.reason = reason;
        return std::string();
    };
    if (!m_items[index].name.empty()) {
        std::string outputPath = m_run->NamedOutputPath(m_items[index].name);
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
        number = std::int64_t{m_run->Choices().firstNumber} + m_items[index].position;
    }
    if (number > std::numeric_limits<std::int32_t>::max())
        return failed("no_number_left", kNoNumberLeft);
    std::string outputPath = m_run->OutputPath(static_cast<std::int32_t>(number));
    if (outputPath.size() <= m_run->NameStart())
        return failed("path_too_long", "the output path is too long");
    return outputPath;
}

bool CStampPipeline::TakeNumber(std::int32_t& number) {
    if (m_job != nullptr)
        return m_job->TakeSerial(number);
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
    m_slots.clear();
    m_folder.reset();
}

void CStampPipeline::Run(std::vector<PipelineItem> items, const ReportFunction& report,
                         const std::atomic<bool>& stop, const BeginFunction& begin) {
    const std::size_t count = items.size();
    Start(std::move(items));
    for (std::size_t i = 0; i < count && !stop.load(); ++i) {
        if (begin) {
            begin(m_items[i]);
            if (stop.load())
                break;
        }
        report(Finish());
    }
    Stop();
}
