#include "bench/PictureRuns.h"

#include "bench/ChildProcess.h"
#include "bench/Workload.h"
#include "tests/common/TestPictures.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>

namespace {

// File sizes of a folder's files in name order, which is the order of the backgrounds.
std::vector<qint64> SizesInOrder(const QString& folder) {
    std::vector<qint64> sizes;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        sizes.push_back(file.size());
    return sizes;
}

} // namespace

QString FreshFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

void AddSizes(Measured& m, const QString& folder, const std::vector<Background>& backgrounds) {
    const std::vector<qint64> sizes = SizesInOrder(folder);
    for (std::size_t i = 0; i < backgrounds.size() && i < sizes.size(); ++i)
        m.bytes[backgrounds[i].sizeClass].push_back(sizes[i]);
}

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
    std::vector<std::string> argv = ChildCommand(mode, rest);
    for (const Background& b : backgrounds)
        argv.push_back(LocalBytes(b.path));
    return argv;
}

void RunPeer(Measured& m, const Peer& peer, const BenchOptions& options, const OutputFormat& format,
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
// floor (decode and save alone) measured in the same run. Each process first stamps a picture
// that is not counted: the first one pays for memory the later ones are handed on.
void RunAndPrintLossless(const BenchOptions& options, const QString& overlay,
                         const std::vector<Background>& landscapes,
                         const std::vector<std::string>& classes, const QString& base) {
    std::vector<Background> backgrounds = {landscapes.front()};
    backgrounds.front().sizeClass = "warm-up";
    backgrounds.insert(backgrounds.end(), landscapes.begin(), landscapes.end());
    Measured floor = Named("codec floor (decode+save)");
    Measured lossless = Named("lossless route (blocks outside the mark kept)");
    Measured whole = Named("whole-picture route (--quality 90)");
    // Phone portraits, turned block by block before the stamp, beside the same routes and the
    // floor over the same pictures (decoded, turned and saved).
    // Three of each: the first of a size takes memory the process has not touched yet, which
    // the median leaves out.
    std::vector<Background> portraits = {backgrounds.front()};
    for (const QString& path : MakePortraits(options.work + QStringLiteral("/in"))) {
        const QSize size = QImageReader(path).size();
        for (int copy = 0; copy < 3; ++copy)
            portraits.push_back(
                {path,
                 std::to_string((qint64(size.width()) * size.height() + 500000) / 1000000) + " MP",
                 {}});
    }
    // The same kind of landscape with a restart marker after every MCU row: the intervals the
    // mark leaves alone are copied without being read.
    std::vector<Background> restartPictures = {backgrounds.front()};
    for (const QString& path : MakeRestartPictures(options.work + QStringLiteral("/in")))
        restartPictures.push_back(
            {path, path.contains(QLatin1String("12mp")) ? "12 MP" : "24 MP", {}});
    Measured restarted = Named("restart markers, lossless route");
    Measured restartedFloor = Named("restart markers, codec floor");
    Measured turned = Named("portrait, Exif turn, lossless route");
    Measured turnedWhole = Named("portrait, Exif turn, whole-picture route");
    Measured turnedFloor = Named("portrait, Exif turn, codec floor");
    const auto routes = [&](Measured& kept, Measured* encoded,
                            const std::vector<Background>& pictures) {
        for (Measured* m : {&kept, encoded}) {
            if (m == nullptr)
                continue;
            const QString folder = FreshFolder(base + QStringLiteral("/route"));
            const std::string quality = m == &kept ? "0" : "90";
            RunInProcessChild(
                *m,
                ChildArgs(kChildPipeline,
                          {quality, "image/jpeg", LocalBytes(overlay), LocalBytes(folder)},
                          pictures),
                pictures);
            AddSizes(*m, folder, pictures);
        }
    };
    for (int round = 0; round < options.rounds; ++round) {
        routes(lossless, &whole, backgrounds);
        routes(turned, &turnedWhole, portraits);
        routes(restarted, nullptr, restartPictures);
        for (Measured* m : {&floor, &turnedFloor, &restartedFloor}) {
            const std::vector<Background>& pictures = m == &floor         ? backgrounds
                                                      : m == &turnedFloor ? portraits
                                                                          : restartPictures;
            const QString folder = FreshFolder(base + QStringLiteral("/route"));
            RunInProcessChild(
                *m, ChildArgs(kChildFloor, {"image/jpeg", LocalBytes(folder)}, pictures), pictures);
            AddSizes(*m, folder, pictures);
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
        if (restarted.cpu.count(c) && restartedFloor.cpu.count(c)) {
            row(restarted);
            row(restartedFloor);
            const double ratio = Median(restarted.cpu.at(c)) / Median(restartedFloor.cpu.at(c));
            std::printf("  %-6s cpu: lossless / codec floor %.2f without restart markers [goal "
                        "<= 0.35: %s], %.2f with them [goal <= 0.15: %s]\n",
                        c.c_str(), us / floorCpu, us / floorCpu <= 0.35 ? "met" : "NOT met", ratio,
                        ratio <= 0.15 ? "met" : "NOT met");
        }
        if (!turned.cpu.count(c) || !turnedFloor.cpu.count(c))
            continue;
        row(turned);
        row(turnedWhole);
        row(turnedFloor);
        const double portrait = Median(turned.cpu.at(c)) / Median(turnedFloor.cpu.at(c));
        std::printf("  %-6s cpu: portrait lossless / whole-picture %.2f, lossless / codec floor "
                    "%.2f [goal <= 0.60: %s]\n",
                    c.c_str(), Median(turned.cpu.at(c)) / Median(turnedWhole.cpu.at(c)), portrait,
                    portrait <= 0.6 ? "met" : "NOT met");
    }
    // Each route's process stamps every size in turn, so its peak is the largest picture's.
    std::printf("  peak memory: lossless route %.0f MB, whole-picture route %.0f MB, with restart "
                "markers %.0f MB, codec floor %.0f MB\n",
                double(lossless.peakKilobytes) / 1024, double(whole.peakKilobytes) / 1024,
                double(restarted.peakKilobytes) / 1024, double(floor.peakKilobytes) / 1024);
    if (restarted.failures > 0)
        std::printf("  failures: with restart markers %d\n", restarted.failures);
    if (lossless.failures + whole.failures + turned.failures + turnedWhole.failures > 0)
        std::printf("  failures: lossless %d, whole-picture %d, portraits %d and %d\n",
                    lossless.failures, whole.failures, turned.failures, turnedWhole.failures);
}

void RunAndPrintHeicIn(const BenchOptions& options, const QString& overlay,
                       const Background& background) {
    // Tiles of 512 x 512, as phones write them.
    const QString path = options.work + QStringLiteral("/in/") +
                         QFileInfo(background.path).completeBaseName() +
                         QStringLiteral("-grid.heic");
    if (!QFileInfo::exists(path) && !WriteBytes(path, GridHeif(QImage(background.path), 512, 512)))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    // Three items in each process: the median leaves out the first, which warms the libraries.
    const Background heic{path, background.sizeClass, background.place};
    const std::vector<Background> pictures = {heic, heic, heic};
    const OutputFormat jpeg{"JPEG", "image/jpeg", "jpg"};
    Measured ours = Named("Pictorum worker, 1 at once");
    Measured floor = Named("codec floor (libheif decode + save)");
    std::vector<Measured> peers;
    for (const Peer& peer : Peers())
        if (options.peers && PeerRuns(peer, jpeg))
            peers.push_back(Named(peer.name));
    const QString base = options.work + QStringLiteral("/out/heic");
    for (int round = 0; round < options.rounds; ++round) {
        QString folder = FreshFolder(base + QStringLiteral("/pictorum"));
        RunInProcessChild(ours,
                          ChildArgs(kChildWorker,
                                    {"image/jpeg", LocalBytes(overlay), LocalBytes(folder)},
                                    pictures),
                          pictures);
        AddSizes(ours, folder, pictures);
        folder = FreshFolder(base + QStringLiteral("/floor"));
        RunInProcessChild(
            floor, ChildArgs(kChildFloor, {"image/jpeg", LocalBytes(folder)}, pictures), pictures);
        AddSizes(floor, folder, pictures);
        std::size_t i = 0;
        for (const Peer& peer : Peers()) {
            if (!options.peers || !PeerRuns(peer, jpeg))
                continue;
            folder = FreshFolder(base + QStringLiteral("/peer"));
            RunPeer(peers[i], peer, options, jpeg, overlay, {heic}, folder);
            AddSizes(peers[i], folder, {heic});
            ++i;
        }
    }
    const std::string& c = background.sizeClass;
    std::printf("\nHEIC in, JPEG out, %s, one picture at a time (median wall s, cpu s, bytes)\n",
                c.c_str());
    const auto row = [&](const Measured& m) {
        if (!m.seconds.count(c)) {
            std::printf("  %-40s failed\n", m.tool.c_str());
            return;
        }
        std::printf("  %-40s %7.3f %7.3f %9lld\n", m.tool.c_str(), Median(m.seconds.at(c)),
                    Median(m.cpu.at(c)), static_cast<long long>(Median(m.bytes.at(c))));
    };
    row(ours);
    row(floor);
    for (const Measured& peer : peers)
        row(peer);
    if (ours.seconds.count(c) && floor.seconds.count(c)) {
        const double ratio = Median(ours.cpu.at(c)) / Median(floor.cpu.at(c));
        std::printf("  cpu: us / codec floor %.2f [goal <= 1.15: %s]\n", ratio,
                    ratio <= 1.15 ? "met" : "NOT met");
    }
}
