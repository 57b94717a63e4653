#include "bench/WindowedRuns.h"

#include "bench/ChildProcess.h"
#include "bench/InProcessRuns.h"

#include "app/framework/DialogTemplateRegistry.h"
#include "app/framework/MessageTarget.h"
#include "batch/ProcessingDlg.h"
#include "batch/ProcessingThreadProc.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QApplication>

#include <QDir>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

namespace {

constexpr int kRounds = 3;

// A row's key: how the run went ("worker", "dialog") and "1" for one at a time, "N" for all cores.
std::string RowKey(const char* how, int atOnce) {
    return std::string(how) + (atOnce == 1 ? "1" : "N");
}

using Clock = std::chrono::steady_clock;

std::string S(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

// Reports go nowhere: the worker alone, as fast as it can send.
class Sink : public CMessageTarget {
  public:
    LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }
};

void Fill(CBatchJob& job, const QString& mime, const QString& overlay, const QString& outputDir,
          const QStringList& backgrounds) {
    CopyText(job.szOverlayPath, S(overlay).c_str());
    CopyText(job.szOutputDir, S(outputDir).c_str());
    CopyText(job.szOutputFormat, mime.toLatin1().constData());
    CopyText(job.szNameTemplate, "stamped-###");
    job.SetSizeMode(SizeModePercent);
    job.SetOverlayAnchor(9);
    job.nSizeX = 20;
    job.nSizeY = 20;
    for (const QString& background : backgrounds)
        job.AddFile(S(background).c_str());
}

} // namespace

int RunWindowedChild(const QString& how, int atOnce, const QString& mime, const QString& overlay,
                     const QString& outputDir, const QStringList& backgrounds) {
    SetProcessingPicturesAtOnce(atOnce);
    const Clock::time_point start = Clock::now();
    const double cpuStart = OwnCpuSeconds();
    if (how == QLatin1String("dialog")) {
        QApplication::setQuitOnLastWindowClosed(false);
        RegisterProgramResources();
        SetDialogTemplateLookup(&FindDialogTemplate);
        CBatchJob job;
        Fill(job, mime, overlay, outputDir, backgrounds);
        CProcessingDlg dialog(&job);
        // Closed as a user would, once the run is over ("Close").
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (WaitForLastWorker(0) == WAIT_OBJECT_0 && job.fileList.empty())
                dialog.EndDialog(IDCANCEL);
        });
        poll.start(2);
        dialog.DoModal();
    } else {
        Sink sink;
        CBatchJob job(sink.GetSafeHwnd());
        Fill(job, mime, overlay, outputDir, backgrounds);
        if (!RunWorkerThread(job))
            return 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int written = int(QDir(outputDir).entryList(QDir::Files).size());
    std::printf("run %.6f %.6f %d\npeak %ld\n", seconds, OwnCpuSeconds() - cpuStart, written,
                OwnPeakKilobytes());
    return 0;
}

void RunAndPrintWindowed(const ParallelInput& input, const OutputFormat& format,
                         const QString& work) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("\n%s in the windowed program, seconds per picture (wall time of the run / "
                "pictures; median of %d rounds), one at a time against the default for %u "
                "cores\n",
                format.name, kRounds, cores);
    for (const auto& [sizeClass, distinct] : input.pictures) {
        QStringList pictures;
        while (pictures.size() < kPicturesPerJob * int(cores) || pictures.size() < distinct.size())
            pictures += distinct;
        // Three rounds, one-at-a-time and all-cores runs taking turns so that a slow spell of
        // the machine falls on both; each row is the median of its rounds.
        struct Row {
            std::vector<double> seconds, cpu;
            long peak = 0;
        };
        std::map<std::string, Row> rows;
        for (int round = 0; round < kRounds; ++round) {
            for (const char* how : {"worker", "dialog"}) {
                for (const int atOnce : {1, 0}) {
                    const QString folder = work + QStringLiteral("/windowed");
                    QDir(folder).removeRecursively();
                    QDir().mkpath(folder);
                    std::vector<std::string> argv =
                        ChildCommand(kChildWindowed, {how, std::to_string(atOnce), format.mime,
                                                      S(input.overlay), S(folder)});
                    for (const QString& picture : pictures)
                        argv.push_back(S(picture));
                    const ChildResult child = RunChild(argv);
                    double seconds = 0, cpu = 0;
                    int written = 0;
                    long peak = 0;
                    if (!child.ok ||
                        std::sscanf(child.output.c_str(), "run %lf %lf %d\npeak %ld", &seconds,
                                    &cpu, &written, &peak) != 4 ||
                        written != pictures.size()) {
                        std::fprintf(stderr, "windowed %s run failed: %s\n", how,
                                     child.errorOutput.c_str());
                        continue;
                    }
                    Row& row = rows[RowKey(how, atOnce)];
                    row.seconds.push_back(seconds / pictures.size());
                    row.cpu.push_back(cpu / pictures.size());
                    row.peak = std::max(row.peak, peak);
                }
            }
        }
        std::map<std::string, double> perPicture;
        for (const char* how : {"worker", "dialog"}) {
            for (const int atOnce : {1, 0}) {
                const std::string key = RowKey(how, atOnce);
                const auto it = rows.find(key);
                if (it == rows.end())
                    continue;
                const double per = Median(it->second.seconds);
                perPicture[key] = per;
                std::printf("  %-6s %-8s %-22s %8.3f s   cpu %6.3f s   peak %4ld MB\n",
                            sizeClass.c_str(), how,
                            atOnce == 1 ? "one at a time" : "default (all cores)", per,
                            Median(it->second.cpu), it->second.peak / 1024);
            }
            const std::string one = RowKey(how, 1), all = RowKey(how, 0);
            if (perPicture.count(one) && perPicture.count(all)) {
                const double speedup = perPicture[one] / perPicture[all];
                // The goal is set for JPEG output; the PNG encoder, for one, already uses
                // every core for one picture.
                if (std::strcmp(format.name, "JPEG") == 0)
                    std::printf("  %-6s %-8s all cores %.2f x as fast [goal >= 1.7: %s]\n",
                                sizeClass.c_str(), how, speedup,
                                speedup >= 1.7 ? "met" : "NOT met");
                else
                    std::printf("  %-6s %-8s all cores %.2f x as fast (reported)\n",
                                sizeClass.c_str(), how, speedup);
            }
        }
    }
}
