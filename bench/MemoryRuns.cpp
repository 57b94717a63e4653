#include "bench/MemoryRuns.h"

#include "bench/ChildProcess.h"
#include "imaging/GdiPlus.h"
#include "tests/common/TestPictures.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 12000, kHeight = 8400; // 100.8 MP
constexpr int kPictures = 16;
constexpr int kJobs = 8;
// What the pipeline counts for one picture: decoded 32-bit pixels and the bitmap a stamp may
// draw into.
constexpr double kCountedMb = double(kWidth) * kHeight * 4 * 2 / 1048576.0;
constexpr double kDecodedMb = double(kWidth) * kHeight * 4 / 1048576.0;

QString Picture(const QString& work) {
    const QString path = work + QStringLiteral("/in/100mp.jpg");
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(work + QStringLiteral("/in"));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, kWidth, kHeight);
    gradient.setColorAt(0, QColor(30, 90, 160));
    gradient.setColorAt(1, QColor(220, 180, 90));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    image.save(path, "JPEG", 90);
    return path;
}

QString Overlay(const QString& work) {
    const QString path = work + QStringLiteral("/in/mark.png");
    QImage mark(400, 200, QImage::Format_ARGB32);
    mark.fill(QColor(255, 255, 255, 160));
    mark.save(path, "PNG");
    return path;
}

// 300 MP pictures of 8-bit RGB and of 16-bit RGBA, each stamped alone: the deep one is read at
// 8 bits, row by row, and should cost at most half as much again.
void PrintDeepPictureRow(const QString& work, const std::string& overlay) {
    constexpr std::uint32_t kDeepWidth = 20000, kDeepHeight = 15000;
    const QString out = work + QStringLiteral("/memory-out");
    std::printf("Memory: one %.0f MP PNG picture, 8-bit RGB against 16-bit RGBA (limit on a "
                "decoded picture %.0f MB)\n",
                double(kDeepWidth) * kDeepHeight / 1e6, double(kMaxDecodedBytes) / 1048576.0);
    double eightBitMb = 0;
    for (const int depth : {8, 16}) {
        const QString path = work + QStringLiteral("/in/300mp-%1.png").arg(depth);
        if (!QFileInfo::exists(path))
            WriteBytes(path,
                       TwoBandPicture("png", kDeepWidth, kDeepHeight, depth, depth == 8 ? 3 : 4,
                                      qRgba(200, 40, 10, 255), qRgba(20, 60, 220, 255)));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const ChildResult result =
            RunMeasured({PICTORUM_BATCH_EXE, "--quiet", "--overlay", overlay, "--format", "png",
                         "--output", LocalBytes(out), LocalBytes(path)});
        const double peakMb = double(result.peakKilobytes) / 1024.0;
        if (depth == 8)
            eightBitMb = peakMb;
        std::printf("  %2d-bit: peak %6.0f MB, %5.1f s%s", depth, peakMb, result.seconds,
                    result.ok ? "" : "  (the run failed)");
        if (depth == 16)
            std::printf(" = %.2fx the 8-bit picture; goal 1.5x or less: %s", peakMb / eightBitMb,
                        peakMb <= 1.5 * eightBitMb && result.ok ? "met" : "NOT met");
        std::printf("\n");
    }
}

} // namespace

void RunAndPrintMemory(const QString& work) {
    const std::string picture = LocalBytes(Picture(work));
    const std::string overlay = LocalBytes(Overlay(work));
    const QString out = work + QStringLiteral("/memory-out");
    std::printf("Memory: pictorum-batch --jobs %d over %d JPEG pictures of %.1f MP (%.0f MB "
                "decoded, %.0f MB as the budget counts one)\n",
                kJobs, kPictures, double(kWidth) * kHeight / 1e6, kDecodedMb, kCountedMb);
    const struct {
        const char* label;
        std::string limit; // empty: the default, half of what is available
    } rows[] = {
        {"no limit given (half of the memory available)", ""},
        {"--memory-limit of three pictures", std::to_string(long(3 * kCountedMb)) + "M"},
    };
    for (const auto& row : rows) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        std::vector<std::string> argv = {
            PICTORUM_BATCH_EXE, "--quiet", "--jobs",   std::to_string(kJobs), "--overlay", overlay,
            "--format",         "jpeg",    "--output", LocalBytes(out)};
        if (!row.limit.empty()) {
            argv.push_back("--memory-limit");
            argv.push_back(row.limit);
        }
        for (int i = 0; i < kPictures; ++i)
            argv.push_back(picture);
        const ChildResult result = RunMeasured(argv);
        const double peakMb = double(result.peakKilobytes) / 1024.0;
        std::printf("  %-46s peak %6.0f MB = %4.1f pictures decoded, %5.1f s%s\n", row.label,
                    peakMb, peakMb / kDecodedMb, result.seconds,
                    result.ok ? "" : "  (the run failed)");
        if (!row.limit.empty())
            std::printf("  %-46s goal: peak within the limit (%.0f MB): %s\n", "", 3 * kCountedMb,
                        peakMb <= 3 * kCountedMb ? "met" : "NOT met");
    }
    PrintDeepPictureRow(work, overlay);
    QDir(out).removeRecursively();
}
