#include "cli/BatchRunner.h"

#include "cli/ItemLog.h"
#include "cli/ListReader.h"
#include "cli/ProgressLine.h"
#include "engine/CopyRecord.h"
#include "engine/ImageFile.h"
#include "engine/OutputNaming.h"
#include "engine/OverlayCheck.h"
#include "engine/RunSettings.h"
#include "engine/TextHelpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The reason an output folder cannot take the files, or nothing when it can.
std::optional<std::string> OutputFolderProblem(const std::string& dir) {
    if (dir.size() >= MAX_PATH)
        return "longer than " + std::to_string(MAX_PATH - 1) + " bytes";
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0)
        return errno == ENOENT ? std::string("no such folder (--mkdir makes it)")
                               : std::string(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return std::string("not a folder");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return std::string("cannot write there: ") + std::strerror(errno);
    return std::nullopt;
}

// mkdir -p: every missing folder on the way, each as the umask allows. A folder that another
// shard makes at the same moment is as good as one made here.
bool MakeFolders(const std::string& dir) {
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

const char* StopCause(int signalNumber) {
    switch (signalNumber) {
    case SIGHUP:
        return "hung up";
    case SIGTERM:
        return "terminated";
    case SIGPIPE:
        return "standard output closed";
    case SIGUSR1:
        return "stopped by SIGUSR1";
    case SIGUSR2:
        return "stopped by SIGUSR2";
    default:
        return "interrupted";
    }
}

// The problem with the names the run would write, found before any work, or nothing.
std::optional<std::string> NamesProblem(const CliOptions& options, const RunSettings& run,
                                        const std::vector<PipelineItem>& items) {
    // Names from the pictures use no numbers; one too long fails that picture alone.
    if (items.empty() || options.namesFromInputs)
        return std::nullopt;
    const std::int64_t last = options.run.numbering == Numbering::Position
                                  ? items.back().position
                                  : static_cast<std::int64_t>(items.size()) - 1;
    const std::int64_t largest = std::int64_t{options.choices.firstNumber} + last;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    if (largest > kLargest)
        return "--first-number " + std::to_string(options.choices.firstNumber) +
               ": this list needs numbers up to " + std::to_string(largest) +
               ", past the largest, " + std::to_string(kLargest);
    const std::string path = run.OutputPath(static_cast<std::int32_t>(largest));
    const std::string name = FileNameOrPath(path.c_str());
    const long nameMax = ::pathconf(options.choices.outputDir.c_str(), _PC_NAME_MAX);
    const std::size_t limit = nameMax > 0 ? static_cast<std::size_t>(nameMax) : NAME_MAX;
    if (path.empty() || name.size() > limit)
        return "--template '" + Printable(options.choices.nameTemplate) + "': names such as '" +
               Printable(name) + "' are longer than the output folder takes (" +
               std::to_string(limit) + " bytes a name, " + std::to_string(MAX_PATH - 1) +
               " a path)";
    return std::nullopt;
}

// The output name of item when it already holds the item's complete copy, made with these
// settings (numbering by position names every item before the run); otherwise empty. Whatever
// else is there is the run's to redo, or to refuse when it is another picture's copy.
std::string ExistingCopyPath(const CliOptions& options, const RunSettings& run,
                             const PipelineItem& item, const std::string& digest) {
    std::string path = !item.name.empty()
                           ? run.NamedOutputPath(item.name)
                           : run.OutputPath(static_cast<std::int32_t>(
                                 std::int64_t{options.choices.firstNumber} + item.position));
    if (path.empty() || FindExistingCopy(path, item.Path(), digest) != ExistingCopy::Complete)
        return {};
    return path;
}

// Takes out the items whose output name already holds their complete copy, and logs them as
// skipped.
std::vector<PipelineItem> WithoutExisting(const CliOptions& options, const RunSettings& run,
                                          std::vector<PipelineItem> items, std::FILE* out) {
    std::vector<PipelineItem> left;
    const std::string digest = CopyRecord::SettingsDigest(run);
    for (PipelineItem& item : items) {
        const std::string path = ExistingCopyPath(options, run, item, digest);
        if (path.empty())
            left.push_back(std::move(item));
        else
            WriteSkipped(options, item, path, out);
    }
    std::fflush(out);
    return left;
}

RunSettings Fill(const CliOptions& options, const CImageFile& overlay) {
    RunChoices choices = options.choices;
    if (!options.sizeGiven)
        choices.SizeToOverlay(overlay.Width(), overlay.Height());
    return RunSettings(std::move(choices), options.run);
}

} // namespace

std::vector<std::string> ExpandInputs(const CliOptions& options, std::FILE* in) {
    std::vector<std::string> list;
    ListReader reader(options, in);
    for (std::string entry; reader.Next(entry);)
        list.push_back(entry);
    return list;
}

namespace {

int RunLogged(const CliOptions& options, StopRequest& stop, const RunStreams& streams) {
    const auto began = std::chrono::steady_clock::now();
    // A dry run writes nothing, not even the folder it would make.
    if (options.makeFolder && !options.run.dryRun && !MakeFolders(options.choices.outputDir)) {
        std::fprintf(streams.err, "pictorum-batch: --mkdir '%s': %s\n",
                     Printable(options.choices.outputDir).c_str(), std::strerror(errno));
        return kExitBadUsage;
    }
    // A dry run with --mkdir accepts a folder that a real run would make.
    const bool wouldMake =
        options.makeFolder && ::access(options.choices.outputDir.c_str(), F_OK) != 0;
    const auto problem = OutputFolderProblem(options.choices.outputDir);
    if (problem && !wouldMake) {
        std::fprintf(streams.err, "pictorum-batch: --output '%s': %s\n",
                     Printable(options.choices.outputDir).c_str(), problem->c_str());
        return kExitBadUsage;
    }
    // Every item would fail with an overlay that does not decode; better said once, up front.
    CImageFile overlay;
    GpStatus loaded = InvalidParameter;
    const OverlayProblem unusable =
        CheckOverlay(options.choices.overlayPath, OverlayDepth::Pixels, overlay, &loaded);
    if (unusable != OverlayProblem::None) {
        std::fprintf(streams.err, "pictorum-batch: --overlay '%s': %s\n",
                     Printable(options.choices.overlayPath).c_str(),
                     OverlayProblemText(unusable, options.choices.overlayPath, loaded).c_str());
        return kExitBadUsage;
    }

    if (!overlay.Fade(options.choices.opacity)) {
        std::fprintf(streams.err, "pictorum-batch: --overlay '%s': %s\n",
                     Printable(options.choices.overlayPath).c_str(),
                     "damaged picture data, or not enough memory");
        return kExitBadUsage;
    }
    const RunSettings run = Fill(options, overlay);

    // The list is read while the run goes on. What of it is there at the start is read before
    // any work (up to kCheckedAhead entries), so that a short list is checked whole up front,
    // as a mistake in it is best said at once.
    ListReader reader(options, streams.in, &stop.stop);
    std::optional<FolderMirror> mirror;
    if (!options.keepFoldersUnder.empty())
        mirror.emplace(options.keepFoldersUnder);
    InputNamer namer;
    std::int64_t listed = 0; // entries of the whole list read, every shard's
    std::string outside;     // an entry that --keep-folders cannot place
    // The next item of this shard, or nothing at the end of the list (or at such an entry).
    const auto nextItem = [&]() -> std::optional<PipelineItem> {
        for (std::string entry; outside.empty() && reader.Next(entry);) {
            const std::int64_t position = listed++;
            std::string folder;
            if (mirror) {
                auto found = mirror->FolderOf(entry);
                if (!found) {
                    outside = entry;
                    break;
                }
                folder = std::move(*found);
            }
            // Named over the whole list, so that every shard of it names a picture alike.
            std::string name = options.namesFromInputs ? namer.Name(entry, folder, position) : "";
            if (position % options.shardCount == options.shardIndex)
                return PipelineItem{std::move(entry), position, nullptr, std::move(name)};
        }
        return std::nullopt;
    };
    const auto listProblem = [&] {
        std::fprintf(streams.err, "pictorum-batch: --keep-folders '%s': '%s' is not under it\n",
                     Printable(options.keepFoldersUnder).c_str(), Printable(outside).c_str());
        return kExitBadUsage;
    };
    constexpr std::size_t kCheckedAhead = 4096;
    std::vector<PipelineItem> items;
    bool listEnded = false;
    while (!listEnded && items.size() < kCheckedAhead && (listed == 0 || !reader.WouldWait())) {
        auto item = nextItem();
        listEnded = !item;
        if (item)
            items.push_back(std::move(*item));
    }
    if (stop.stop.load())
        return 128 + stop.signal.load();
    if (!outside.empty())
        return listProblem();
    // A list that came out empty is a mistake upstream (a find that matched nothing, a file
    // that was not there): silence and status 0 would hide it.
    if (listed == 0) {
        std::fprintf(streams.err, "pictorum-batch: the list of pictures is empty\n");
        return kExitBadUsage;
    }
    if (const auto names = NamesProblem(options, run, items)) {
        std::fprintf(streams.err, "pictorum-batch: %s\n", names->c_str());
        return kExitBadUsage;
    }
    std::size_t total = items.size();
    if (options.skipExisting)
        items = WithoutExisting(options, run, std::move(items), streams.out);
    std::size_t skipped = total - items.size();
    CStampPipeline pipeline(run, overlay);

    ProgressLine progress(streams.err, 0, streams.progress && !options.quiet);
    std::size_t failed = 0;
    std::size_t unwritten = 0; // of failed: the system refused the write
    std::size_t done = 0;
    int logError = 0;
    // The log and the progress line are written by the run's thread and, for the items skipped
    // as the list is read, by this one.
    std::mutex output;
    const auto report = [&](const PipelineReport& item) {
        const std::lock_guard lock(output);
        const bool itemDone = item.outcome == ItemOutcome::Done;
        (itemDone ? done : failed) += 1;
        unwritten += !itemDone && item.systemError != 0 ? 1 : 0;
        const bool hasReason = !itemDone && !item.reason.empty();
        const bool sharesScreen =
            (streams.outIsTerminal && !(options.quiet && itemDone)) || hasReason;
        if (sharesScreen)
            progress.Erase();
        if (!WriteLog(options, item, streams.out) && logError == 0) {
            // Nobody reads the log any more (a closed pipe) or it cannot be kept: the rest of
            // the run would go unrecorded, so it stops as if interrupted.
            logError = errno != 0 ? errno : EIO;
            if (logError == EPIPE)
                stop.Request(SIGPIPE);
            else
                stop.stop.store(true);
        }
        if (hasReason)
            std::fprintf(streams.err, "pictorum-batch: %s: %s\n",
                         Printable(item.item->Path()).c_str(), Printable(item.reason).c_str());
        progress.Advance(sharesScreen);
    };
    // Off the main thread: the imaging library hands a worker thread's freed pixel buffers to
    // its next picture, which spares a run of one job at a time a new buffer and its page
    // faults for every picture (about 60 ms per 24 MP picture measured here). This thread reads
    // the rest of the list meanwhile. Inline, after the whole list, when no thread can be
    // started.
    const std::string digest = CopyRecord::SettingsDigest(run);
    const auto hand = [&](PipelineItem item, const auto& add) {
        ++total;
        const std::string path =
            options.skipExisting ? ExistingCopyPath(options, run, item, digest) : std::string();
        if (path.empty())
            return add(std::move(item));
        const std::lock_guard lock(output);
        progress.Erase();
        WriteSkipped(options, item, path, streams.out);
        std::fflush(streams.out);
        ++skipped;
        return true;
    };
    pipeline.Open();
    std::thread runner;
    try {
        runner = std::thread([&] {
            pipeline.Drain(report, stop.stop);
            pipeline.Stop();
        });
    } catch (const std::system_error&) {
    }
    if (runner.joinable()) {
        const auto add = [&](PipelineItem item) {
            {
                const std::lock_guard lock(output);
                progress.Grow(1);
            }
            return pipeline.Add(std::move(item));
        };
        bool adding = true;
        for (PipelineItem& item : items)
            if (!(adding = add(std::move(item))))
                break;
        items.clear();
        while (adding && !listEnded && !stop.stop.load()) {
            auto item = nextItem();
            listEnded = !item;
            if (item)
                adding = hand(std::move(*item), add);
        }
        pipeline.Close();
        runner.join();
    } else {
        pipeline.Stop();
        while (!listEnded && !stop.stop.load()) {
            auto item = nextItem();
            listEnded = !item;
            if (item)
                hand(std::move(*item), [&](PipelineItem kept) {
                    items.push_back(std::move(kept));
                    return true;
                });
        }
        progress.Grow(items.size());
        pipeline.Run(std::move(items), report, stop.stop);
    }
    progress.Erase();
    // Found late in a long list: what came before it is done, and stays.
    if (!outside.empty())
        return listProblem();
    const std::size_t handed = total - skipped;

    int status = kExitAllDone;
    if (stop.stop.load() && stop.signal.load() == 0) {
        std::fprintf(streams.err,
                     "pictorum-batch: cannot write the log: %s; %zu of %zu pictures "
                     "done\n",
                     std::strerror(logError), done, handed);
        return kExitNotWritten;
    }
    if (stop.stop.load()) {
        std::fprintf(streams.err, "pictorum-batch: %s; %zu of %zu pictures done\n",
                     StopCause(stop.signal.load()), done, handed);
        status = 128 + stop.signal.load();
    } else if (failed > 0) {
        std::fprintf(streams.err, "pictorum-batch: %zu of %zu pictures failed", failed, handed);
        if (unwritten > 0)
            std::fprintf(streams.err, " (%zu could not be written: running again may do them)",
                         unwritten);
        std::fprintf(streams.err, "\n");
        // A rerun can help only with what the system refused; the rest it meets again.
        status = unwritten > 0 ? kExitNotWritten : kExitSomeFailed;
    } else if (!options.quiet) {
        const char* written = options.run.dryRun ? "would be written" : "written";
        if (skipped > 0)
            std::fprintf(streams.err,
                         "pictorum-batch: %zu %s, %zu skipped (their copies were there), of %zu "
                         "pictures\n",
                         done, written, skipped, total);
        else
            std::fprintf(streams.err, "pictorum-batch: %zu of %zu pictures %s\n", done, total,
                         written);
    }
    const RunSummary summary{total,
                             options.run.dryRun ? 0 : done,
                             skipped,
                             failed,
                             unwritten,
                             std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - began)
                                 .count(),
                             status};
    if (!WriteSummary(options, summary, streams.out) && status == kExitAllDone) {
        std::fprintf(streams.err, "pictorum-batch: cannot write the log: %s\n",
                     std::strerror(errno));
        return kExitNotWritten;
    }
    return status;
}

} // namespace

int RunBatch(const CliOptions& options, StopRequest& stop, const RunStreams& streams) {
    if (options.logFile.empty())
        return RunLogged(options, stop, streams);
    // Appended to, as a manifest kept across reruns and resubmitted tasks is.
    const int fd = ::open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    std::FILE* log = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (log == nullptr) {
        std::fprintf(streams.err, "pictorum-batch: --log-file '%s': %s\n",
                     Printable(options.logFile).c_str(), std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return kExitBadUsage;
    }
    RunStreams logged = streams;
    logged.out = log;
    logged.outIsTerminal = ::isatty(fd) != 0;
    int status = RunLogged(options, stop, logged);
    if (std::fclose(log) != 0 && status == kExitAllDone) {
        std::fprintf(streams.err, "pictorum-batch: --log-file '%s': %s\n",
                     Printable(options.logFile).c_str(), std::strerror(errno));
        status = kExitNotWritten;
    }
    return status;
}
