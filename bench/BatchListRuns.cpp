#include "bench/BatchListRuns.h"

#include "bench/ChildProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <cstdio>

namespace {

constexpr double kGoalBytesPerEntry = 100;
constexpr double kGoalFirstRecordSeconds = 1.0;

} // namespace

void RunAndPrintBatchList(const QString& work, int entries) {
    QDir().mkpath(work + QStringLiteral("/out"));
    const QString overlay = work + QStringLiteral("/mark.png");
    QImage mark(8, 8, QImage::Format_ARGB32);
    mark.fill(Qt::red);
    const QString list = work + QStringLiteral("/list.txt");
    QFile file(list);
    if (!mark.save(overlay) || !file.open(QIODevice::WriteOnly)) {
        std::printf("\npictorum-batch list: cannot write into %s\n", qPrintable(work));
        return;
    }
    for (int i = 0; i < entries; ++i)
        file.write(QStringLiteral("%1/photos/2024/trip/IMG_%2.JPG\n")
                       .arg(work)
                       .arg(i, 8, 10, QLatin1Char('0'))
                       .toLocal8Bit());
    file.close();
    const std::vector<std::string> argv = {PICTORUM_BATCH_EXE,
                                           "--overlay",
                                           LocalBytes(overlay),
                                           "--output",
                                           LocalBytes(work + "/out"),
                                           "--jobs",
                                           "2",
                                           "-"};

    // The first record as a script reading the log sees it.
    QProcess process;
    process.setStandardInputFile(list);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    QStringList args;
    for (std::size_t i = 1; i < argv.size(); ++i)
        args << QString::fromStdString(argv[i]);
    process.start(QString::fromStdString(argv[0]), args);
    while (!process.canReadLine() && process.waitForReadyRead(-1)) {
    }
    const double firstRecord = double(clock.nsecsElapsed()) / 1e9;
    process.kill();
    process.waitForFinished(-1);

    // The whole run, its peak memory measured apart from this large process.
    std::vector<std::string> shell = {"/bin/sh", "-c", "exec \"$0\" \"$@\" < \"$LIST\" >/dev/null"};
    shell.insert(shell.end(), argv.begin(), argv.end());
    qputenv("LIST", LocalBytes(list).c_str());
    const ChildResult whole = RunMeasured(shell);
    qunsetenv("LIST");
    const double perEntry = double(whole.peakKilobytes) * 1024.0 / entries;
    std::printf("\npictorum-batch, a list of %d entries on standard input (pictures not there: "
                "the list's own cost)\n",
                entries);
    std::printf("  first record after %.3f s [goal <= %.1f s: %s]; whole run %.1f s\n", firstRecord,
                kGoalFirstRecordSeconds, firstRecord <= kGoalFirstRecordSeconds ? "met" : "NOT met",
                whole.seconds);
    std::printf("  peak memory %.0f MB, %.0f bytes an entry [goal <= %.0f: %s]\n",
                double(whole.peakKilobytes) / 1024.0, perEntry, kGoalBytesPerEntry,
                perEntry <= kGoalBytesPerEntry ? "met" : "NOT met");
}
