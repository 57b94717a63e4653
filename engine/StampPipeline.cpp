#include "engine/StampPipeline.h"

#include "engine/BatchJob.h"
#include "engine/ImageFile.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <semaphore>
#include <system_error>
#include <thread>

namespace {

std::int32_t NumberAt(std::int32_t first, std::int64_t position) {
    // Wraps like the running number does after INT32_MAX.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(first) +
                                     static_cast<std::uint32_t>(position));
}

} // namespace

CStampPipeline::CStampPipeline(CBatchJob& job, const CImageFile& overlay, Settings settings)
    : m_job(job), m_overlay(overlay), m_settings(settings) {
    if (m_settings.jobs < 1)
        m_settings.jobs = 1;
}

void CStampPipeline::Run(const std::vector<PipelineItem>& items, const ReportFunction& report,
                         const std::atomic<bool>& stop) {
    CLSID encoder{};
    const bool haveEncoder = m_job.FindOutputEncoder(encoder) >= 0;
    const auto jobs = static_cast<std::size_t>(m_settings.jobs);

    std::mutex mutex;
    std::condition_variable turnTaken;
    std::size_t nextItem = 0;   // the next item to begin
    std::size_t namingTurn = 0; // the item whose turn it is to take its name
    bool dropping = false;      // stop was seen at a turn: every later item is dropped
    // Reports of items that finished before an earlier one, until that one comes.
    std::map<std::size_t, PipelineReport> waiting;
    std::size_t nextReport = 0;
    // Stamping holds the loaded picture and the new one at once; one thread at a time keeps
    // the run within one picture per thread plus one.
    std::counting_semaphore<1> stamping(1);

    auto worker = [&] {
        CStampedItem stamped;
        char outputPath[MAX_PATH];
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex);
                if (nextItem >= items.size() || stop.load())
                    return;
                index = nextItem++;
            }
            const PipelineItem& item = items[index];

            ItemOutcome outcome = stamped.Load(item.path.c_str());
            if (outcome == ItemOutcome::Done) {
                stamped.DecodeNow();
                stamping.acquire();
                outcome = stamped.Compose(m_job, m_overlay);
                stamping.release();
            }

            bool dropped = false;
            outputPath[0] = '\0';
            {
                std::unique_lock lock(mutex);
                turnTaken.wait(lock, [&] { return namingTurn == index; });
                dropping = dropping || stop.load();
                dropped = dropping;
                if (!dropped && outcome == ItemOutcome::Done) {
                    if (m_settings.numbering == Numbering::Running)
                        m_job.MakeOutputPath(outputPath, MAX_PATH);
                    else
                        m_job.MakeOutputPathFor(NumberAt(m_job.nSerial, item.position), outputPath,
                                                MAX_PATH);
                }
                ++namingTurn;
            }
            turnTaken.notify_all();
            if (dropped) {
                stamped.Release();
                continue;
            }

            if (outcome == ItemOutcome::Done && !m_settings.dryRun)
                outcome = stamped.Save(outputPath, haveEncoder ? &encoder : nullptr);
            else if (outcome == ItemOutcome::Done && (!haveEncoder || outputPath[0] == '\0'))
                outcome = ItemOutcome::SaveFailed;
            stamped.Release();

            std::lock_guard lock(mutex);
            waiting.emplace(index, PipelineReport{&item, outputPath, outcome});
            for (auto first = waiting.begin(); first != waiting.end() && first->first == nextReport;
                 first = waiting.erase(first), ++nextReport)
                report(first->second);
        }
    };

    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < std::min(jobs, items.size()); ++i) {
        // Fewer threads than asked for still do the whole list.
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker();
    for (std::thread& thread : threads)
        thread.join();
}
