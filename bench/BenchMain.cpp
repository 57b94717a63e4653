// Benchmark of a batch run: the real worker against the codec floor and the command-line
// tools a user would otherwise script, on drawn photo-like pictures.
//
//   pictorum_bench [--work DIR] [--per-size N] [--rounds N] [--formats JPEG,TIFF,PNG]
//                  [--no-peers] [--jobs N] [--no-windowed] [--list-entries N] [--list-only]
//                  [--memory-only] [--colour-only] [--marks-only]
//
// Every measured run is a child process of this one, so that wall time and peak memory are
// those of that run alone, as a user's script would see them.

#include "bench/ChildProcess.h"
#include "bench/ColourRuns.h"
#include "bench/InProcessRuns.h"
#include "bench/ListRuns.h"
#include "bench/MarkRuns.h"
#include "bench/MemoryRuns.h"
#include "bench/ParallelRuns.h"
#include "bench/Peers.h"
#include "bench/Report.h"
#include "bench/ResponsiveRuns.h"
#include "bench/WindowedRuns.h"
#include "bench/Workload.h"
#include "engine/BatchJob.h"
#include "engine/Placement.h"
#include "imaging/GdiPlus.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const OutputFormat kFormats[] = {
    {"JPEG", "image/jpeg", "jpg"},
    {"TIFF", "image/tiff", "tif"},
    {"PNG", "image/png", "png"},
};

struct Options {
    QString work = QStringLiteral("/tmp/pictorum-bench");
    int perSize = 3;
    int rounds = 1;
    QStringList formats = {QStringLiteral("JPEG"), QStringLiteral("TIFF"), QStringLiteral("PNG")};
    bool peers = true;
    // Pictures at once in the rows for every core; 0 leaves those rows out.
    int jobs = 2;
    int listEntries = 10000;
    bool listOnly = false;
    bool responsiveOnly = false;
    bool memoryOnly = false;
    bool windowed = true;
    // Only the colour-management rows.
    bool colourOnly = false;
    // Only the reduced-mark rows.
    bool marksOnly = false;
};

struct Background {
    QString path;
    std::string sizeClass;
    Placement place;
};

// Empties (or makes) a folder for one tool's outputs.
QString FreshFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// File sizes of a folder's files in name order, which is the order of the backgrounds.
std::vector<qint64> SizesInOrder(const QString& folder) {
    std::vector<qint64> sizes;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        sizes.push_back(file.size());
    return sizes;
}

void AddSizes(Measured& m, const QString& folder, const std::vector<Background>& backgrounds) {
    const std::vector<qint64> sizes = SizesInOrder(folder);
    for (std::size_t i = 0; i < backgrounds.size() && i < sizes.size(); ++i)
        m.bytes[backgrounds[i].sizeClass].push_back(sizes[i]);
}

// Runs this program in one of its child modes; the items it prints go to m in list order.
void RunInProcessChild(Measured& m, const std::vector<std::string>& argv,
                       const std::vector<Background>& backgrounds) {
    const ChildResult child = RunChild(argv);
    if (!child.ok) {
        std::fprintf(stderr, "%s failed: %s\n", m.tool.c_str(), child.errorOutput.c_str());
        m.failures += int(backgrounds.size());
        return;
    }
    std::size_t index = 0;
    for (const QString& line : QString::fromStdString(child.output).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() == 2 && fields[0] == QLatin1String("peak"))
            m.peakKilobytes = std::max(m.peakKilobytes, fields[1].toLong());
        if (fields.size() < 4 || fields[0] != QLatin1String("item") || index >= backgrounds.size())
            continue;
        m.seconds[backgrounds[index].sizeClass].push_back(fields[1].toDouble());
        m.cpu[backgrounds[index].sizeClass].push_back(fields[2].toDouble());
        if (fields[3] != QLatin1String("Done"))
            ++m.failures;
        ++index;
    }
    m.failures += int(backgrounds.size() - index);
}

std::vector<std::string> ChildArgs(const char* mode, const std::vector<std::string>& rest,
                                   const std::vector<Background>& backgrounds) {
    std::vector<std::string> argv = {SelfPath(), mode};
    argv.insert(argv.end(), rest.begin(), rest.end());
    for (const Background& b : backgrounds)
        argv.push_back(LocalBytes(b.path));
    return argv;
}

void RunPeer(Measured& m, const Peer& peer, const Options& options, const OutputFormat& format,
             const QString& overlay, const std::vector<Background>& backgrounds,
             const QString& folder) {
    const QString scratch = FreshFolder(options.work + QStringLiteral("/scratch"));
    for (const Background& b : backgrounds) {
        const QString output =
            QDir(folder).filePath(QFileInfo(b.path).completeBaseName() + QLatin1Char('.') +
                                  QLatin1String(format.extension));
        double seconds = 0;
        double cpu = 0;
        bool ok = true;
        for (const std::vector<std::string>& command :
             peer.commands(b.path, overlay, b.place, format, output, scratch)) {
            const ChildResult child = RunMeasured(command);
            seconds += child.seconds;
            cpu += child.cpuSeconds;
            m.peakKilobytes = std::max(m.peakKilobytes, child.peakKilobytes);
            if (!child.ok) {
                std::fprintf(stderr, "%s failed on %s: %s\n", peer.name, qPrintable(b.path),
                             child.errorOutput.c_str());
                ok = false;
                break;
            }
        }
        if (!ok || !QFileInfo::exists(output)) {
            ++m.failures;
            continue;
        }
        m.seconds[b.sizeClass].push_back(seconds);
        m.cpu[b.sizeClass].push_back(cpu);
    }
}

Measured Named(const char* tool) {
    Measured m;
    m.tool = tool;
    return m;
}

// The JPEG routes side by side, in the engine's pipeline on one thread: the blocks outside the
// mark kept, against the whole picture decoded, stamped and encoded at 90 as before, and the
// floor (decode and save alone) measured in the same run.
void RunAndPrintLossless(const Options& options, const QString& overlay,
                         const std::vector<Background>& backgrounds,
                         const std::vector<std::string>& classes, const Measured& floor,
                         const QString& base) {
    Measured lossless = Named("lossless route (blocks outside the mark kept)");
    Measured whole = Named("whole-picture route (--quality 90)");
    for (int round = 0; round < options.rounds; ++round) {
        for (Measured* m : {&lossless, &whole}) {
            const QString folder = FreshFolder(base + QStringLiteral("/route"));
            const std::string quality = m == &lossless ? "0" : "90";
            RunInProcessChild(
                *m,
                ChildArgs("--child-pipeline",
                          {quality, "image/jpeg", LocalBytes(overlay), LocalBytes(folder)},
                          backgrounds),
                backgrounds);
            if (round == 0)
                AddSizes(*m, folder, backgrounds);
        }
    }
    // CPU seconds beside the wall time: on a busy machine they stand for an idle one's wall time.
    std::printf(
        "\nJPEG routes on one thread, per picture (median wall s, cpu s, bytes), same run\n");
    for (const std::string& c : classes) {
        const auto row = [&](const Measured& m) {
            std::printf("  %-6s %-48s %7.3f %7.3f %9lld\n", c.c_str(), m.tool.c_str(),
                        Median(m.seconds.at(c)), Median(m.cpu.at(c)),
                        static_cast<long long>(Median(m.bytes.at(c))));
        };
        row(lossless);
        row(whole);
        row(floor);
        const double us = Median(lossless.cpu.at(c));
        const double floorCpu = Median(floor.cpu.at(c));
        std::printf("  %-6s cpu: lossless / whole-picture %.2f, lossless / codec floor %.2f "
                    "[goal <= 0.70: %s]; wall: lossless / codec floor %.2f\n",
                    c.c_str(), us / Median(whole.cpu.at(c)), us / floorCpu,
                    us / floorCpu <= 0.7 ? "met" : "NOT met",
                    Median(lossless.seconds.at(c)) / Median(floor.seconds.at(c)));
    }
    if (lossless.failures + whole.failures > 0)
        std::printf("  failures: lossless %d, whole-picture %d\n", lossless.failures,
                    whole.failures);
}

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
            if (!png) {
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

int RunParent(const Options& options) {
    if (options.listOnly) {
        PrintListRow(options.listEntries);
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
        const RECT r =
            ComputePlacement(SizeModePercent, 9, 20, 20, UINT(size.width()), UINT(size.height()));
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
    const ChildResult baseline = RunChild({SelfPath(), "--child-baseline"});
    std::sscanf(baseline.output.c_str(), "peak %ld", &baselineKb);

    std::vector<FormatResult> results;
    for (const OutputFormat& format : kFormats) {
        if (!options.formats.contains(QLatin1String(format.name)))
            continue;
        FormatResult r{
            &format, Named("Pictorum worker, 1 at once"), Named("codec floor (decode+save)"), {}};
        for (const Peer& peer : Peers())
            if (options.peers && PeerInstalled(peer))
                r.peers.push_back(Named(peer.name));
        const QString base = options.work + QStringLiteral("/out/") + QLatin1String(format.name);
        for (int round = 0; round < options.rounds; ++round) {
            QString folder = FreshFolder(base + QStringLiteral("/pictorum"));
            RunInProcessChild(
                r.ours,
                ChildArgs("--child-worker",
                          {format.mime, LocalBytes(workload.overlay), LocalBytes(folder)},
                          backgrounds),
                backgrounds);
            if (round == 0)
                AddSizes(r.ours, folder, backgrounds);

            folder = FreshFolder(base + QStringLiteral("/floor"));
            RunInProcessChild(
                r.floor, ChildArgs("--child-floor", {format.mime, LocalBytes(folder)}, backgrounds),
                backgrounds);
            if (round == 0)
                AddSizes(r.floor, folder, backgrounds);

            std::size_t i = 0;
            for (const Peer& peer : Peers()) {
                if (!options.peers || !PeerInstalled(peer))
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
        if (std::strcmp(format.name, "JPEG") == 0)
            RunAndPrintLossless(options, workload.overlay, backgrounds, classes, r.floor, base);
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
        RunChild({SelfPath(), "--child-preview", LocalBytes(workload.backgrounds.back()),
                  LocalBytes(workload.overlay), "5"});
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
    PrintResponsiveRow(options.work + QStringLiteral("/responsive"));
    RunAndPrintMemory(options.work);
    return 0;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--work" && hasValue)
            options->work = QFile::decodeName(argv[++i]);
        else if (arg == "--per-size" && hasValue)
            options->perSize = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--rounds" && hasValue)
            options->rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--formats" && hasValue)
            options->formats = QString::fromLatin1(argv[++i]).toUpper().split(QLatin1Char(','));
        else if (arg == "--jobs" && hasValue)
            options->jobs = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--no-peers")
            options->peers = false;
        else if (arg == "--list-entries" && hasValue)
            options->listEntries = std::max(2, std::atoi(argv[++i]));
        else if (arg == "--list-only")
            options->listOnly = true;
        else if (arg == "--responsive-only")
            options->responsiveOnly = true;
        else if (arg == "--memory-only")
            options->memoryOnly = true;
        else if (arg == "--no-windowed")
            options->windowed = false;
        else if (arg == "--colour-only")
            options->colourOnly = true;
        else if (arg == "--marks-only")
            options->marksOnly = true;
        else
            return false;
    }
    return true;
}

QStringList Rest(int argc, char** argv, int from) {
    QStringList rest;
    for (int i = from; i < argc; ++i)
        rest << QFile::decodeName(argv[i]);
    return rest;
}

} // namespace

int main(int argc, char** argv) {
    // The launcher of measured programs starts nothing of its own.
    if (argc > 1 && std::strcmp(argv[1], "--child-exec") == 0)
        return ExecAndMeasure(argv + 2);
    // The list is timed on the real main window, which needs a widget application.
    if (argc > 2 && std::strcmp(argv[1], "--child-list") == 0)
        return RunListTimings(argc, argv, std::max(2, std::atoi(argv[2])));
    if (argc > 2 && std::strcmp(argv[1], "--child-responsive") == 0)
        return RunResponsiveTimings(argc, argv, QFile::decodeName(argv[2]));
    // Nothing is shown; text in the drawn overlay needs fonts, which need a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windowed run goes through the real progress dialog, which needs a widget application.
    const bool windowed = argc > 7 && std::strcmp(argv[1], "--child-windowed") == 0;
    std::unique_ptr<QGuiApplication> app(windowed ? new QApplication(argc, argv)
                                                  : new QGuiApplication(argc, argv));
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "the imaging library did not start\n");
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    int result = 0;
    if (windowed)
        result = RunWindowedChild(QString::fromLatin1(argv[2]), std::atoi(argv[3]),
                                  QString::fromLatin1(argv[4]), QFile::decodeName(argv[5]),
                                  QFile::decodeName(argv[6]), Rest(argc, argv, 7));
    else if (mode == "--child-worker" && argc >= 5)
        result = RunBatchWorker(QString::fromLatin1(argv[2]), QFile::decodeName(argv[3]),
                                QFile::decodeName(argv[4]), Rest(argc, argv, 5));
    else if (mode == "--child-pipeline" && argc >= 6)
        result = RunPipeline(std::atoi(argv[2]), QString::fromLatin1(argv[3]),
                             QFile::decodeName(argv[4]), QFile::decodeName(argv[5]),
                             Rest(argc, argv, 6));
    else if (mode == "--child-floor" && argc >= 4)
        result = RunCodecFloor(QString::fromLatin1(argv[2]), QFile::decodeName(argv[3]),
                               Rest(argc, argv, 4));
    else if (mode == "--child-preview" && argc >= 5)
        result = RunPreview(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]),
                            std::max(1, std::atoi(argv[4])));
    else if (mode == "--child-baseline")
        result = RunBaseline();
    else {
        Options options;
        if (!ParseOptions(argc, argv, &options)) {
            std::fprintf(stderr,
                         "usage: %s [--work DIR] [--per-size N] [--rounds N] "
                         "[--formats JPEG,TIFF,PNG] [--no-peers] [--jobs N] [--no-windowed] "
                         "[--list-entries N] "
                         "[--list-only] [--responsive-only] [--memory-only] [--colour-only] "
                         "[--marks-only]\n",
                         argv[0]);
            result = 2;
        } else {
            result = RunParent(options);
        }
    }
    GdiplusShutdown(token);
    return result;
}
