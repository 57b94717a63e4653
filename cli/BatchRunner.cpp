#include "cli/BatchRunner.h"

#include "cli/ProgressLine.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/TextHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The reason an output folder cannot take the files, or nothing when it can.
std::optional<std::string> OutputFolderProblem(const std::string& dir) {
    if (dir.size() >= MAX_PATH)
        return "longer than " + std::to_string(MAX_PATH - 1) + " bytes";
    const QFileInfo info(FromLocal(dir));
    if (!info.exists())
        return std::string("no such folder");
    if (!info.isDir())
        return std::string("not a folder");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return std::string("cannot write there: ") + std::strerror(errno);
    return std::nullopt;
}

// As in the windowed log.
std::string ItemName(const std::string& path) {
    return FileNameOrPath(path.c_str());
}

void Fill(CBatchJob& job, const CliOptions& options, const CImageFile& overlay) {
    CopyText(job.szOverlayPath, options.overlayPath.c_str());
    CopyText(job.szOutputDir, options.outputDir.c_str());
    CopyText(job.szOutputFormat, options.mimeType.c_str());
    CopyText(job.szNameTemplate, options.nameTemplate.c_str());
    job.nSerial = options.firstNumber;
    job.SetOverlayAnchor(options.anchor);
    if (options.sizeGiven) {
        job.SetSizeMode(options.sizePercent ? SizeModePercent : SizeModePixels);
        job.nSizeX = options.sizeX;
        job.nSizeY = options.sizeY;
    } else {
        // As the windowed program does once an overlay is chosen: its own size in pixels.
        job.SetSizeMode(SizeModePixels);
        job.nSizeX = static_cast<std::int32_t>(overlay.Width());
        job.nSizeY = static_cast<std::int32_t>(overlay.Height());
    }
}

void WriteLog(const CliOptions& options, const PipelineReport& report, std::FILE* out) {
    const bool done = report.outcome == ItemOutcome::Done;
    if (options.quiet && done)
        return;
    const std::string message = std::string(ItemOutcomeText(report.outcome)) +
                                (report.profileIgnored ? kProfileIgnoredText : "");
    if (options.log == LogStyle::Jsonl) {
        QJsonObject line;
        line["index"] = static_cast<qint64>(report.item->position);
        line["input"] = FromLocal(report.item->path);
        line["output"] = report.outputPath.empty() ? QJsonValue() : FromLocal(report.outputPath);
        line["status"] = !done ? "failed" : options.dryRun ? "dry-run" : "done";
        line["message"] = QString::fromStdString(message);
        std::fprintf(out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    } else if (options.dryRun && done) {
        std::fprintf(out, "%s\n", report.outputPath.c_str());
    } else {
        // The progress dialog's log line: name, " ... ", outcome.
        std::fprintf(out, "%s ... %s\n", ItemName(report.item->path).c_str(), message.c_str());
    }
    std::fflush(out);
}

} // namespace

std::vector<std::string> ExpandInputs(const CliOptions& options, std::FILE* in) {
    std::vector<std::string> list;
    for (const std::string& input : options.inputs) {
        if (input != "-") {
            list.push_back(input);
            continue;
        }
        const char separator = options.nulSeparated ? '\0' : '\n';
        std::string entry;
        int c = 0;
        while ((c = std::fgetc(in)) != EOF) {
            if (static_cast<char>(c) != separator) {
                entry += static_cast<char>(c);
                continue;
            }
            if (!entry.empty())
                list.push_back(entry);
            entry.clear();
        }
        if (!entry.empty())
            list.push_back(entry);
    }
    return list;
}

int RunBatch(const CliOptions& options, const std::atomic<bool>& stop, const RunStreams& streams) {
    if (const auto problem = OutputFolderProblem(options.outputDir)) {
        std::fprintf(streams.err, "pictorum-batch: --output '%s': %s\n", options.outputDir.c_str(),
                     problem->c_str());
        return kExitBadUsage;
    }
    // Every item would fail with an overlay that does not decode; better said once, up front.
    CImageFile overlay;
    if (options.overlayPath.size() >= MAX_PATH ||
        !overlay.LoadFromFile(options.overlayPath.c_str()) || !overlay.DecodeNow()) {
        const QFileInfo info(FromLocal(options.overlayPath));
        const char* why = !info.exists()       ? "no such file"
                          : !info.isFile()     ? "not a regular file"
                          : !info.isReadable() ? "cannot be read"
                                               : "not a picture that can be read";
        std::fprintf(streams.err, "pictorum-batch: --overlay '%s': %s\n",
                     options.overlayPath.c_str(), why);
        return kExitBadUsage;
    }

    const std::vector<std::string> list = ExpandInputs(options, streams.in);
    if (stop.load())
        return kExitInterrupted;

    std::vector<PipelineItem> items;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto position = static_cast<std::int64_t>(i);
        if (position % options.shardCount == options.shardIndex)
            items.push_back(PipelineItem{list[i], position});
    }

    CBatchJob job;
    Fill(job, options, overlay);
    CStampPipeline pipeline(job, overlay,
                            {options.jobs, options.numbering, options.dryRun, options.metadata});

    ProgressLine progress(streams.err, items.size(), streams.progress && !options.quiet);
    std::size_t failed = 0;
    const auto report = [&](const PipelineReport& item) {
        if (item.outcome != ItemOutcome::Done)
            ++failed;
        const bool sharesScreen =
            streams.outIsTerminal && !(options.quiet && item.outcome == ItemOutcome::Done);
        if (sharesScreen)
            progress.Erase();
        WriteLog(options, item, streams.out);
        progress.Advance(sharesScreen);
    };
    // Off the main thread: the imaging library hands a worker thread's freed pixel buffers to
    // its next picture, which spares a run of one job at a time a new buffer and its page
    // faults for every picture (about 60 ms per 24 MP picture measured here). Inline when no
    // thread can be started.
    try {
        std::thread runner([&] { pipeline.Run(items, report, stop); });
        runner.join();
    } catch (const std::system_error&) {
        pipeline.Run(items, report, stop);
    }
    progress.Erase();

    if (stop.load()) {
        std::fprintf(streams.err, "pictorum-batch: interrupted; %zu of %zu pictures done\n",
                     progress.Done(), items.size());
        return kExitInterrupted;
    }
    if (failed > 0) {
        std::fprintf(streams.err, "pictorum-batch: %zu of %zu pictures failed\n", failed,
                     items.size());
        return kExitSomeFailed;
    }
    return kExitAllDone;
}
