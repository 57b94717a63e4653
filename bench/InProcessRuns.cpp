#include "bench/InProcessRuns.h"

#include "bench/ChildProcess.h"

#include "app/framework/MessageTarget.h"
#include "app/framework/WinThread.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingThreadProc.h"
#include "engine/BatchJob.h"
#include "engine/EncoderList.h"
#include "engine/ImageFile.h"
#include "engine/Placement.h"
#include "engine/StampPipeline.h"
#include "engine/TextHelpers.h"
#include "imaging/GdiPlus.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring Wide(const QString& path) {
    return path.toStdWString();
}

// The percent size and the anchor a user sets for "20 % x 20 %, bottom right".
constexpr int kPercent = 20;
constexpr DWORD kBottomRight = 9;

// Receives the worker's reports on the main thread and notes when each item starts and ends.
class Receiver : public CMessageTarget {
  public:
    LRESULT WindowProc(UINT message, WPARAM, LPARAM lParam) override {
        const Clock::time_point now = Clock::now();
        if (message == WM_BATCH_NEXTITEM || message == WM_BATCH_DONE) {
            if (m_started)
                Finish(now);
            m_started = message == WM_BATCH_NEXTITEM;
            m_start = now;
            m_cpuStart = OwnCpuSeconds();
        } else if (message == WM_BATCH_ITEMSTATUS && lParam != 0) {
            m_outcome = reinterpret_cast<const char*>(lParam);
        }
        return 0;
    }

  private:
    void Finish(Clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::string outcome = m_outcome;
        for (char& c : outcome)
            if (c == ' ')
                c = '_';
        std::printf("item %.6f %.6f %s\n", seconds, OwnCpuSeconds() - m_cpuStart, outcome.c_str());
        std::fflush(stdout);
    }

    bool m_started = false;
    Clock::time_point m_start;
    double m_cpuStart = 0;
    std::string m_outcome;
};

// The job every in-process run does: the overlay at 20 % x 20 %, bottom right.
void SetUpJob(CBatchJob& job, const QString& mime, const QString& overlay,
              const QString& outputDir) {
    CopyText(job.szOverlayPath, LocalBytes(overlay).c_str());
    CopyText(job.szOutputDir, LocalBytes(outputDir).c_str());
    CopyText(job.szOutputFormat, mime.toLatin1().constData());
    CopyText(job.szNameTemplate, "stamped-###");
    job.SetSizeMode(SizeModePercent);
    job.SetOverlayAnchor(kBottomRight);
    job.nSizeX = kPercent;
    job.nSizeY = kPercent;
}

bool FindEncoder(const std::wstring& mime, CLSID* clsid) {
    const EncoderList encoders;
    const int position = encoders.Find(mime.c_str());
    if (position < 0)
        return false;
    *clsid = encoders[static_cast<UINT>(position)].Clsid;
    return true;
}

void DecodeAndSave(const CLSID& encoder, const QString& mime, const QString& outputDir,
                   const QStringList& backgrounds);

QString ExtensionOf(const QString& mime) {
    if (mime == QLatin1String("image/jpeg"))
        return QStringLiteral("jpg");
    if (mime == QLatin1String("image/tiff"))
        return QStringLiteral("tif");
    return mime.section(QLatin1Char('/'), 1);
}

} // namespace

int RunBatchWorker(const QString& mime, const QString& overlay, const QString& outputDir,
                   const QStringList& backgrounds) {
    Receiver receiver;
    CBatchJob job(receiver.GetSafeHwnd());
    SetUpJob(job, mime, overlay, outputDir);
    for (const QString& background : backgrounds)
        job.AddFile(LocalBytes(background).c_str());

    // One picture at a time, so that each item's time is its own; the rows for every core are
    // the windowed runs' (WindowedRuns.h).
    SetProcessingPicturesAtOnce(1);
    if (!RunWorkerThread(job))
        return 1;
    std::printf("peak %ld\n", OwnPeakKilobytes());
    return 0;
}

int RunPipeline(int jpegQuality, const QString& mime, const QString& overlayPath,
                const QString& outputDir, const QStringList& backgrounds) {
    CBatchJob job(nullptr);
    SetUpJob(job, mime, overlayPath, outputDir);
    CImageFile overlay;
    if (!overlay.LoadFromFile(LocalBytes(overlayPath).c_str()) || !overlay.DecodeNow())
        return 1;
    std::vector<PipelineItem> items;
    for (const QString& background : backgrounds)
        items.push_back({LocalBytes(background), std::int64_t(items.size())});
    CStampPipeline::Settings settings;
    settings.jpegQuality = jpegQuality;
    CStampPipeline pipeline(RunSettings::FromJob(job, settings), overlay);
    Clock::time_point start = Clock::now();
    double cpuStart = OwnCpuSeconds();
    // One job: each item is worked on in its turn, between two reports. Off the main thread, as
    // pictorum-batch runs it: only other threads hand freed buffers on to the next picture.
    const std::atomic<bool> stop{false};
    std::thread runner([&] {
        pipeline.Run(
            items,
            [&](const PipelineReport& report) {
                std::printf("item %.6f %.6f %s\n", Since(start), OwnCpuSeconds() - cpuStart,
                            report.outcome == ItemOutcome::Done ? "Done" : "Failed");
                std::fflush(stdout);
                start = Clock::now();
                cpuStart = OwnCpuSeconds();
            },
            stop);
    });
    runner.join();
    std::printf("peak %ld\n", OwnPeakKilobytes());
    return 0;
}

bool RunWorkerThread(CBatchJob& job) {
    job.SetRunning(true);
    std::unique_ptr<CWinThread> thread(AfxBeginThread(&ProcessingThreadProc, &job));
    if (!thread)
        return false;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return true;
}

int RunCodecFloor(const QString& mime, const QString& outputDir, const QStringList& backgrounds) {
    CLSID encoder{};
    if (!FindEncoder(Wide(mime), &encoder))
        return 1;
    // On a thread of its own, as the batch worker runs.
    std::thread worker([&] { DecodeAndSave(encoder, mime, outputDir, backgrounds); });
    worker.join();
    std::printf("peak %ld\n", OwnPeakKilobytes());
    return 0;
}

namespace {

void DecodeAndSave(const CLSID& encoder, const QString& mime, const QString& outputDir,
                   const QStringList& backgrounds) {
    int number = 0;
    for (const QString& background : backgrounds) {
        const QString output = QDir(outputDir).filePath(QStringLiteral("floor-%1.%2")
                                                            .arg(number++, 3, 10, QLatin1Char('0'))
                                                            .arg(ExtensionOf(mime)));
        const Clock::time_point start = Clock::now();
        const double cpuStart = OwnCpuSeconds();
        GpBitmap* bitmap = nullptr;
        GpStatus status = GdipCreateBitmapFromFile(Wide(background).c_str(), &bitmap);
        if (status == Ok)
            status = GdipSaveImageToFile(bitmap, Wide(output).c_str(), &encoder, nullptr);
        if (bitmap)
            GdipDisposeImage(bitmap);
        std::printf("item %.6f %.6f %s\n", Since(start), OwnCpuSeconds() - cpuStart,
                    status == Ok ? "Done" : "Failed");
        std::fflush(stdout);
    }
}

} // namespace

int RunPreview(const QString& background, const QString& overlayPath, int rounds) {
    GpBitmap* overlay = nullptr;
    if (GdipCreateBitmapFromFile(Wide(overlayPath).c_str(), &overlay) != Ok)
        return 1;
    UINT overlayWidth = 0;
    UINT overlayHeight = 0;
    GdipGetImageWidth(overlay, &overlayWidth);
    GdipGetImageHeight(overlay, &overlayHeight);
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point start = Clock::now();
        GpBitmap* picture = nullptr;
        if (GdipCreateBitmapFromFile(Wide(background).c_str(), &picture) != Ok)
            return 1;
        UINT width = 0;
        UINT height = 0;
        GdipGetImageWidth(picture, &width);
        GdipGetImageHeight(picture, &height);
        GpBitmap* canvas = nullptr;
        GpGraphics* graphics = nullptr;
        if (GdipCreateBitmapFromScan0(INT(width), INT(height), 0, PixelFormat32bppARGB, nullptr,
                                      &canvas) != Ok ||
            GdipGetImageGraphicsContext(canvas, &graphics) != Ok)
            return 1;
        // The picture's pixels are decoded by its first draw.
        GdipDrawImageRectI(graphics, picture, 0, 0, INT(width), INT(height));
        const double backgroundDone = Since(start);
        const RECT place = ComputePlacement(SizeMode::Percent, Anchor::BottomRight, kPercent,
                                            kPercent, width, height);
        GdipDrawImageRectRectI(graphics, overlay, place.left, place.top, place.right - place.left,
                               place.bottom - place.top, 0, 0, INT(overlayWidth),
                               INT(overlayHeight), UnitPixel, nullptr, nullptr, nullptr);
        const double total = Since(start);
        GdipDeleteGraphics(graphics);
        GdipDisposeImage(canvas);
        GdipDisposeImage(picture);
        std::printf("preview %.6f %.6f %.6f\n", total, backgroundDone, total - backgroundDone);
        std::fflush(stdout);
    }
    GdipDisposeImage(overlay);
    return 0;
}

int RunBaseline() {
    std::printf("peak %ld\n", OwnPeakKilobytes());
    return 0;
}
