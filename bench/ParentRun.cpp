#include "bench/ParentRun.h"

#include "bench/BatchListRuns.h"
#include "bench/ChildProcess.h"
#include "bench/ColourRuns.h"
#include "bench/ListRuns.h"
#include "bench/MarkRuns.h"
#include "bench/MemoryRuns.h"
#include "bench/ParallelRuns.h"
#include "bench/PictureRuns.h"
#include "bench/ResponsiveRuns.h"
#include "bench/WindowedRuns.h"
#include "bench/Workload.h"
#include "engine/BatchJob.h"
#include "engine/Placement.h"

#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const OutputFormat kFormats[] = {
    {"JPEG", "image/jpeg", "jpg"},
    {"TIFF", "image/tiff", "tif"},
    {"PNG", "image/png", "png"},
    // Asked for by --formats: copies for the web, against libvips writing the same format.
    {"AVIF", "image/avif", "avif"},
    {"JXL", "image/jxl", "jxl"},
};

struct FormatResult {
    const OutputFormat* format;
    Measured ours;
    Measured floor;
    std::vector<Measured> peers;
};

void PrintGoals(const std::vector<FormatResult>& results, const std::vector<std::string>& classes,
                double referenceMb, long baselineKb, const std::vector<double>& preview) {
    std::printf("\nGoals (ratios from this run)\n");
    for (const FormatResult& r : results) {
        const bool png = std::strcmp(r.format->name, "PNG") == 0;
        for (const std::string& c : classes) {
            const double us = Median(r.ours.seconds.at(c));
            const Measured* fastest = FastestPeer(r.peers, c);
            const double floorTime = r.floor.seconds.count(c) ? Median(r.floor.seconds.at(c)) : 0;
            std::printf("  %-4s %s:", r.format->name, c.c_str());
            const bool web =
                std::strcmp(r.format->name, "AVIF") == 0 || std::strcmp(r.format->name, "JXL") == 0;
            if (web) {
                // Against libvips at its defaults and at our quality: the goal is on the latter.
                for (const Measured& peer : r.peers) {
                    if (peer.tool.rfind("libvips", 0) != 0 || !peer.seconds.count(c))
                        continue;
                    const double time = us / Median(peer.seconds.at(c));
                    const double size =
                        double(Median(r.ours.bytes.at(c))) / double(Median(peer.bytes.at(c)));
                    const bool same = peer.tool.find("our quality") != std::string::npos;
                    std::printf(" us/%s time %.2f, size %.2f%s", peer.tool.c_str(), time, size,
                                !same ? ";"
                                : time <= 1 && size <= 1
                                    ? " [goal: time <= 1, size <= 1: met]"
                                    : " [goal: time <= 1, size <= 1: NOT met]");
                }
            } else if (!png) {
                if (fastest) {
                    const double ratio = us / Median(fastest->seconds.at(c));
                    std::printf(" us/fastest peer (%s) %.2f [goal <= 0.50: %s]",
                                fastest->tool.c_str(), ratio, ratio <= 0.5 ? "met" : "NOT met");
                }
                if (floorTime > 0) {
                    const double ratio = us / floorTime;
                    std::printf("%s us/floor %.2f [goal <= 1.15: %s]", fastest ? "," : "", ratio,
                                ratio <= 1.15 ? "met" : "NOT met");
                }
            } else if (fastest) {
                const double speedup = Median(fastest->seconds.at(c)) / us;
                const double ourSize = double(Median(r.ours.bytes.at(c)));
                const double theirSize = double(Median(fastest->bytes.at(c)));
                const double sizeRatio = theirSize > 0 ? ourSize / theirSize : 0;
                std::printf(" fastest peer (%s) / us %.2f [goal >= 3: %s], size us/peer %.3f "
                            "[goal <= 1.10: %s]",
                            fastest->tool.c_str(), speedup, speedup >= 3 ? "met" : "NOT met",
                            sizeRatio, sizeRatio <= 1.10 ? "met" : "NOT met");
            }
            std::printf("\n");
        }
        const double peakMb = double(r.ours.peakKilobytes) / 1024.0;
        std::printf("  %-4s peak memory of our run: %.0f MB = %.2f x (decoded 24 MP background + "
                    "overlay, %.0f MB) [goal <= about 2.5: %s]\n",
                    r.format->name, peakMb, peakMb / referenceMb, referenceMb,
                    peakMb <= 2.5 * referenceMb ? "met" : "NOT met");
    }
    std::printf("  start-up alone (Qt, plugins, library): %.0f MB of every figure above\n",
                double(baselineKb) / 1024.0);
    if (!preview.empty())
        std::printf("  preview rebuild, 24 MP JPEG: median %.3f s over %zu rounds (decode + "
                    "32bpp ARGB bitmap + draw background + draw overlay scaled)\n",
                    Median(preview), preview.size());
}

} // namespace

int RunParent(const BenchOptions& options) {
    if (options.listOnly) {
        PrintListRow(options.listEntries);
        RunAndPrintBatchList(options.work + QStringLiteral("/batchlist"), 1000000);
        return 0;
    }
    if (options.responsiveOnly) {
        PrintResponsiveRow(options.work + QStringLiteral("/responsive"));
        return 0;
    }
    if (options.memoryOnly) {
        RunAndPrintMemory(options.work);
        return 0;
    }
    const Workload workload = MakeWorkload(options.work + QStringLiteral("/in"), options.perSize);
    if (options.colourOnly) {
        RunAndPrintColour(workload.backgrounds.back(), workload.overlay,
                          options.work + QStringLiteral("/colour"), 3 * options.rounds);
        return 0;
    }
    if (options.marksOnly) {
        RunAndPrintReducedMarks(workload.backgrounds.back(), workload.overlay,
                                options.work + QStringLiteral("/marks"), 15 * options.rounds);
        return 0;
    }
    const QSize overlaySize = QImageReader(workload.overlay).size();
    std::vector<Background> backgrounds;
    std::vector<std::string> classes;
    for (const QString& path : workload.backgrounds) {
        const QSize size = QImageReader(path).size();
        const std::string sizeClass =
            std::to_string((qint64(size.width()) * size.height() + 500000) / 1000000) + " MP";
        if (std::find(classes.begin(), classes.end(), sizeClass) == classes.end())
            classes.push_back(sizeClass);
        const RECT r = ComputePlacement(SizeMode::Percent, Anchor::BottomRight, 20, 20,
                                        UINT(size.width()), UINT(size.height()));
        backgrounds.push_back(
            {path, sizeClass,
             Placement{overlaySize.width(), overlaySize.height(), int(r.left), int(r.top),
                       int(r.right - r.left), int(r.bottom - r.top)}});
    }

    std::printf("Pictorum batch benchmark: %d background(s) of each of", options.perSize);
    for (const std::string& c : classes)
        std::printf(" %s", c.c_str());
    std::printf(" (photo-like JPEG, quality 90), overlay %dx%d PNG with soft alpha at 20 %% x "
                "20 %% bottom-right; %d round(s); peers one process per picture\n",
                overlaySize.width(), overlaySize.height(), options.rounds);
    for (const Peer& peer : Peers())
        if (options.peers && !PeerInstalled(peer))
            std::printf("  (%s is not installed: left out)\n", peer.name);

    ParallelInput parallelInput;
    parallelInput.overlay = workload.overlay;
    for (const Background& b : backgrounds) {
        parallelInput.pictures[b.sizeClass] << b.path;
        parallelInput.placements[b.sizeClass].push_back(b.place);
    }
    const QSize largestSize = QImageReader(workload.backgrounds.back()).size();
    // Qt decodes a colour JPEG into 32-bit pixels.
    const double decodedMb = double(largestSize.width()) * largestSize.height() * 4 / 1048576.0;
    const double overlayMb = double(overlaySize.width()) * overlaySize.height() * 4 / 1048576.0;

    long baselineKb = 0;
    const ChildResult baseline = RunChild(ChildCommand(kChildBaseline, {}));
    std::sscanf(baseline.output.c_str(), "peak %ld", &baselineKb);

    std::vector<FormatResult> results;
    for (const OutputFormat& format : kFormats) {
        if (!options.formats.contains(QLatin1String(format.name)))
            continue;
        FormatResult r{
            &format, Named("Pictorum worker, 1 at once"), Named("codec floor (decode+save)"), {}};
        for (const Peer& peer : Peers())
            if (options.peers && PeerRuns(peer, format))
                r.peers.push_back(Named(peer.name));
        const QString base = options.work + QStringLiteral("/out/") + QLatin1String(format.name);
        for (int round = 0; round < options.rounds; ++round) {
            QString folder = FreshFolder(base + QStringLiteral("/pictorum"));
            RunInProcessChild(
                r.ours,
                ChildArgs(kChildWorker,
                          {format.mime, LocalBytes(workload.overlay), LocalBytes(folder)},
                          backgrounds),
                backgrounds);
            if (round == 0)
                AddSizes(r.ours, folder, backgrounds);

            folder = FreshFolder(base + QStringLiteral("/floor"));
            RunInProcessChild(
                r.floor, ChildArgs(kChildFloor, {format.mime, LocalBytes(folder)}, backgrounds),
                backgrounds);
            if (round == 0)
                AddSizes(r.floor, folder, backgrounds);

            std::size_t i = 0;
            for (const Peer& peer : Peers()) {
                if (!options.peers || !PeerRuns(peer, format))
                    continue;
                folder =
                    FreshFolder(base + QLatin1Char('/') +
                                QString::fromLatin1(peer.name).section(QLatin1Char(' '), 0, 0));
                RunPeer(r.peers[i], peer, options, format, workload.overlay, backgrounds, folder);
                if (round == 0)
                    AddSizes(r.peers[i], folder, backgrounds);
                ++i;
            }
        }
        PrintFormatTable(format.name, classes, r.ours, r.floor, r.peers);
        if (std::strcmp(format.name, "JPEG") == 0) {
            RunAndPrintLossless(options, workload.overlay, backgrounds, classes, base);
            RunAndPrintHeicIn(options, workload.overlay, backgrounds.front());
        }
        if (options.jobs > 0) {
            const ParallelResult parallel =
                RunParallel(parallelInput, format, options.work + QStringLiteral("/parallel"),
                            options.jobs, options.peers);
            PrintParallel(format.name, classes, parallel, options.jobs, decodedMb, overlayMb,
                          double(baselineKb) / 1024.0);
        }
        if (options.windowed)
            RunAndPrintWindowed(parallelInput, format, options.work + QStringLiteral("/windowed"));
        std::fflush(stdout);
        results.push_back(std::move(r));
    }

    // The preview of the largest background.
    std::vector<double> preview;
    const ChildResult previewChild =
        RunChild(ChildCommand(kChildPreview, {LocalBytes(workload.backgrounds.back()),
                                              LocalBytes(workload.overlay), "5"}));
    for (const QString& line :
         QString::fromStdString(previewChild.output).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() >= 4 && fields[0] == QLatin1String("preview")) {
            preview.push_back(fields[1].toDouble());
            std::printf(
                "  preview round: %.3f s (decode + draw background %.3f s, overlay %.3f s)\n",
                fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble());
        }
    }

    const QSize largest = QImageReader(workload.backgrounds.back()).size();
    // Qt decodes a colour JPEG into 32-bit pixels; that is one decoded background.
    const double referenceMb = (double(largest.width()) * largest.height() * 4 +
                                double(overlaySize.width()) * overlaySize.height() * 4) /
                               (1024.0 * 1024.0);
    PrintGoals(results, classes, referenceMb, baselineKb, preview);
    RunAndPrintColour(workload.backgrounds.back(), workload.overlay,
                      options.work + QStringLiteral("/colour"), 3 * options.rounds);
    RunAndPrintReducedMarks(workload.backgrounds.back(), workload.overlay,
                            options.work + QStringLiteral("/marks"), 15 * options.rounds);
    PrintListRow(options.listEntries);
    RunAndPrintBatchList(options.work + QStringLiteral("/batchlist"), 1000000);
    PrintResponsiveRow(options.work + QStringLiteral("/responsive"));
    RunAndPrintMemory(options.work);
    return 0;
}
