#include "bench/ParallelRuns.h"

#include "bench/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kOwnRounds = 3;

QString Fresh(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// A word for sh, quoted.
std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void Record(Measured& m, const std::string& sizeClass, const ChildResult& child, int pictures,
            int written) {
    m.peakKilobytes = std::max(m.peakKilobytes, child.peakKilobytes);
    if (!child.ok || written != pictures) {
        std::fprintf(stderr, "%s failed on %s: %s\n", m.tool.c_str(), sizeClass.c_str(),
                     child.errorOutput.c_str());
        m.failures += pictures - written;
        return;
    }
    m.seconds[sizeClass].push_back(child.seconds / pictures);
    m.cpu[sizeClass].push_back(child.cpuSeconds / pictures);
}

int FilesIn(const QString& folder) {
    return int(QDir(folder).entryList(QDir::Files).size());
}

} // namespace

ParallelResult RunParallel(const ParallelInput& input, const OutputFormat& format,
                           const QString& work, int jobs, bool peers) {
    ParallelResult result;
    result.ours.tool = "pictorum-batch --jobs " + std::to_string(jobs);
    result.floor.tool = "codec floor, one thread";
    for (const Peer& peer : Peers()) {
        if (peers && PeerRuns(peer, format)) {
            Measured m;
            m.tool = std::string(peer.name) + " (xargs -P" + std::to_string(jobs) + ")";
            result.peers.push_back(m);
        }
    }
    for (const auto& [sizeClass, distinct] : input.pictures) {
        // Each list goes round until every job has had many pictures, so that the last ones
        // do not run alone and the time per picture is that of full use.
        QStringList pictures;
        std::vector<Placement> placements;
        while (pictures.size() < kPicturesPerJob * jobs || pictures.size() < distinct.size()) {
            pictures += distinct;
            placements.insert(placements.end(), input.placements.at(sizeClass).begin(),
                              input.placements.at(sizeClass).end());
        }
        const int count = int(pictures.size());
        QString folder = work + QStringLiteral("/batch"); // emptied before each run below
        std::vector<std::string> argv = {PICTORUM_BATCH_EXE, "--quiet",
                                         "--jobs",           std::to_string(jobs),
                                         "--overlay",        LocalBytes(input.overlay),
                                         "--size",           "20%x20%",
                                         "--anchor",         "bottom-right",
                                         "--format",         format.mime,
                                         "--output",         LocalBytes(folder)};
        for (const QString& picture : pictures)
            argv.push_back(LocalBytes(picture));
        // The codec floor of the same list on one thread, as a whole run too, so that both
        // sides pay their process start and first new buffers alike.
        std::vector<std::string> floorArgv =
            ChildCommand(kChildFloor, {format.mime, LocalBytes(folder)});
        for (const QString& picture : pictures)
            floorArgv.push_back(LocalBytes(picture));
        // Three rounds of each, taking turns, medians reported: one run's few new buffers can
        // cost it a second on this kind of machine. The files are counted once each run is
        // over.
        for (int round = 0; round < kOwnRounds; ++round) {
            Fresh(folder);
            const ChildResult floor = RunMeasured(floorArgv);
            Record(result.floor, sizeClass, floor, count, FilesIn(folder));
            Fresh(folder);
            const ChildResult ours = RunMeasured(argv);
            Record(result.ours, sizeClass, ours, count, FilesIn(folder));
        }

        std::size_t p = 0;
        for (const Peer& peer : Peers()) {
            if (!peers || !PeerRuns(peer, format))
                continue;
            folder = Fresh(work + QStringLiteral("/peer"));
            // One line per picture, its commands joined by &&; xargs hands each line to sh.
            const QString lines = work + QStringLiteral("/lines.txt");
            QFile file(lines);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                continue;
            for (int i = 0; i < count; ++i) {
                // Every picture its own scratch folder: two run at once.
                const QString scratch = Fresh(work + QStringLiteral("/scratch%1").arg(i));
                const QString output = folder + QStringLiteral("/%1-").arg(i) +
                                       QFileInfo(pictures[i]).completeBaseName() +
                                       QLatin1Char('.') + QLatin1String(format.extension);
                std::string line;
                for (const auto& command :
                     peer.commands(pictures[i], input.overlay, placements[std::size_t(i)], format,
                                   output, scratch)) {
                    if (!line.empty())
                        line += " && ";
                    for (const std::string& word : command)
                        line += Quoted(word) + " ";
                }
                file.write(line.c_str());
                file.write("\n");
            }
            file.close();
            const ChildResult child =
                RunMeasured({"xargs", "-a", LocalBytes(lines), "-d", "\\n", "-P",
                             std::to_string(jobs), "-n", "1", "sh", "-c"});
            Record(result.peers[p], sizeClass, child, count, FilesIn(folder));
            ++p;
        }
    }
    return result;
}

void PrintParallel(const char* format, const std::vector<std::string>& classes,
                   const ParallelResult& result, int jobs, double decodedMb, double overlayMb,
                   double startupMb) {
    auto median = [](const Measured& m, const std::string& c) {
        const auto it = m.seconds.find(c);
        return it == m.seconds.end() ? 0.0 : Median(it->second);
    };
    // The speed goals are set for JPEG output; other formats are reported beside them.
    const bool speedGoals = std::strcmp(format, "JPEG") == 0;
    std::string verdict;
    const auto Goal = [&](bool met, const char* goal) {
        verdict = speedGoals
                      ? std::string(" [goal ") + goal + ": " + (met ? "met" : "NOT met") + "]"
                      : std::string();
        return verdict.c_str();
    };
    std::printf("\n%s on %d cores, seconds per picture (wall time of the run / pictures; median of "
                "%d runs)%s\n",
                format, jobs, kOwnRounds,
                speedGoals ? "" : ", reported (the speed goals are for JPEG)");
    for (const std::string& c : classes) {
        const double us = median(result.ours, c);
        const double floorTime = median(result.floor, c);
        std::printf("  %-6s %-40s %8.3f", c.c_str(), result.ours.tool.c_str(), us);
        if (floorTime > 0 && us > 0)
            std::printf("   / one-thread codec floor, same run, %.3f = %.2f%s", floorTime,
                        us / floorTime, Goal(us / floorTime <= 0.6, "<= 0.60"));
        std::printf("\n");
        for (const Measured& peer : result.peers) {
            const double theirs = median(peer, c);
            std::printf("  %-6s %-40s %8.3f", c.c_str(), peer.tool.c_str(), theirs);
            if (us > 0 && theirs > 0)
                // A JPEG keeps the blocks outside the mark, which no peer does.
                std::printf("   peer / us %.2f%s", theirs / us, Goal(theirs / us >= 4, ">= 4"));
            std::printf("\n");
        }
    }
    const double peakMb = double(result.ours.peakKilobytes) / 1024.0;
    const double limitMb = (jobs + 1) * decodedMb + overlayMb;
    std::printf("  peak memory of %s: %.0f MB, %.0f MB above start-up alone; (%d + 1) decoded "
                "largest pictures + overlay = %.0f MB [goal: within it: %s]%s\n",
                result.ours.tool.c_str(), peakMb, peakMb - startupMb, jobs, limitMb,
                peakMb - startupMb <= limitMb ? "met" : "NOT met",
                result.ours.failures ? " (failures!)" : "");
}
