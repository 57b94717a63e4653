#include "bench/PictureRuns.h"

#include "bench/ChildProcess.h"

#include <QDir>
#include <QFileInfo>

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
// floor (decode and save alone) measured in the same run.
void RunAndPrintLossless(const BenchOptions& options, const QString& overlay,
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
                ChildArgs(kChildPipeline,
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
