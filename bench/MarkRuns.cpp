#include "bench/MarkRuns.h"

#include "bench/Report.h"
#include "engine/DrawingSurface.h"
#include "engine/ImageRecord.h"
#include "imaging/ReducedMark.h"
#include "tests/common/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The median time of rounds runs of draw, each after prepare (not timed).
double MedianSeconds(int rounds, const std::function<void()>& prepare,
                     const std::function<void()>& draw) {
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        const Clock::time_point start = Clock::now();
        draw();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return Median(seconds);
}

} // namespace

void RunAndPrintReducedMarks(const QString& background, const QString& overlay, const QString& work,
                             int rounds) {
    QDir().mkpath(work);
    const QString signature = QDir(work).filePath(QStringLiteral("signature.png"));
    SignatureImage(2400, 480).save(signature);
    ImageRecord picture;
    picture.CreateBitmapFromFile(QFile::encodeName(background).constData());
    DrawingSurface surface = DrawingSurface::OnImage(picture.hImage);
    if (!surface.IsOpen() || GdipImageForceValidation(picture.hImage) != Ok) {
        std::printf("\nReduced marks: the background could not be drawn on\n");
        return;
    }
    std::printf("\nReduced marks on a %ux%u picture, drawing the mark only, median of %d\n",
                picture.Width(), picture.Height(), rounds);
    std::printf("  %-22s %-10s %10s %14s %14s %12s %12s\n", "mark", "drawn at", "scaled ms",
                "first ms", "later ms", "first/scaled", "later/scaled");
    for (const QString& path : {overlay, signature}) {
        ImageRecord mark;
        const auto load = [&] {
            if (mark.LoadImageFromFile(QFile::encodeName(path).constData()) == Ok)
                GdipImageForceValidation(mark.hImage);
        };
        load();
        if (mark.hImage == nullptr)
            continue;
        const INT width = INT(mark.Width());
        const INT height = INT(mark.Height());
        for (const int factor : {2, 4, 8}) {
            const INT w = width / factor;
            const INT h = height / factor;
            const auto scaled = [&] { surface.DrawImage(mark.hImage, 10, 10, w, h); };
            const auto reduced = [&] {
                surface.DrawImage(ReducedMark::drawnAt(mark.hImage, w, h).get(), 10, 10, w, h);
            };
            const double today = MedianSeconds(rounds, load, scaled);
            const double first = MedianSeconds(rounds, load, reduced);
            const double later = MedianSeconds(
                rounds, [] {}, reduced);
            std::printf("  %-22s 1/%d %-6s %10.3f %14.3f %14.3f %12.2f %12.2f\n",
                        qPrintable(QStringLiteral("%1 %2x%3")
                                       .arg(QFileInfo(path).completeBaseName())
                                       .arg(width)
                                       .arg(height)),
                        factor, qPrintable(QStringLiteral("%1x%2").arg(w).arg(h)), today * 1e3,
                        first * 1e3, later * 1e3, first / today, later / today);
        }
    }
    std::fflush(stdout);
}
