#include "bench/ResponsiveRuns.h"

#include "app/framework/DialogTemplateRegistry.h"
#include "bench/ChildProcess.h"
#include "bench/ListRuns.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"
#include "res/Resource.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <time.h>

namespace {

constexpr double kGapGoalSeconds = 0.1;
constexpr double kMemoryGoalMb = 64;

// The sizes: a 100 MP JPEG and a 250 MP PNG, with a gradient per row so that neither
// compresses to nothing.
struct Big {
    const char* name;
    int width, height;
    const char* format;
};
constexpr Big kJpeg{"photo-100mp.jpg", 10000, 10000, "JPEG"};
constexpr Big kPng{"scan-250mp.png", 15812, 15812, "PNG"};

QString Made(const QString& work, const Big& big) {
    const QString path = work + QLatin1Char('/') + QLatin1String(big.name);
    if (QFileInfo::exists(path))
        return path;
    QImage image(big.width, big.height, QImage::Format_RGB888);
    for (int y = 0; y < big.height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < big.width; ++x) {
            line[3 * x] = uchar(x * 255 / big.width);
            line[3 * x + 1] = uchar(y * 255 / big.height);
            line[3 * x + 2] = uchar((x + y) & 0xff);
        }
    }
    image.save(path, big.format, 90);
    return path;
}

// The process's resident memory and its peak, in kilobytes; the peak can be reset.
long StatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double ThreadSeconds() {
    return ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
}

struct Measured {
    double longestGap = 0;
    double longestWork = 0; // the window's thread's own time within a gap: load does not count
    double untilShown = 0;
    long peakGrowthKb = 0;
};

// One action; the window's loop runs until the preview (and any overlay check) is on show.
Measured Timed(CMainDlg& dialog, const std::function<void()>& action) {
    Measured m;
    QApplication::processEvents();
    const long before = StatusKb("VmRSS:");
    ResetPeak();
    QElapsedTimer clock;
    qint64 last = 0;
    double lastWork = ThreadSeconds();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        m.longestGap = std::max(m.longestGap, double(clock.nsecsElapsed() - last) / 1e9);
        m.longestWork = std::max(m.longestWork, ThreadSeconds() - lastWork);
        last = clock.nsecsElapsed();
        lastWork = ThreadSeconds();
    });
    tick.start(1);
    clock.start();
    action();
    while (!dialog.FinishPreview(0)) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (clock.elapsed() > 600 * 1000)
            break;
    }
    m.untilShown = double(clock.nsecsElapsed()) / 1e9;
    m.longestGap = std::max(m.longestGap, double(clock.nsecsElapsed() - last) / 1e9);
    m.longestWork = std::max(m.longestWork, ThreadSeconds() - lastWork);
    m.peakGrowthKb = StatusKb("VmHWM:") - before;
    return m;
}

void Print(const char* step, const Measured& m) {
    std::printf("responsive %s %.6f %.6f %ld %.6f\n", step, m.longestGap, m.untilShown,
                m.peakGrowthKb, m.longestWork);
    std::fflush(stdout);
}

void ClickEntry(CMainDlg& dialog, int index) {
    CWnd* control = dialog.GetDlgItem(IDC_BACKGROUND_LIST);
    auto* list = qobject_cast<QListWidget*>(control != nullptr ? control->GetWidget() : nullptr);
    if (list == nullptr || index >= list->count())
        return;
    QWidget* target = list->viewport();
    const QPointF at(list->visualItemRect(list->item(index)).center());
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// The peer: the same picture decoded whole, as the preview did before it was reduced.
void PrintWhole(const char* name, const QString& path) {
    const long before = StatusKb("VmRSS:");
    ResetPeak();
    QElapsedTimer clock;
    clock.start();
    QImageReader reader(path);
    reader.setAllocationLimit(0);
    const QImage image = reader.read();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("whole %s %.6f %ld\n", name, seconds,
                image.isNull() ? 0L : StatusKb("VmHWM:") - before);
    std::fflush(stdout);
}

void RunSteps(CMainDlg& dialog, const QString& jpeg, const QString& png, const QString& overlay) {
    const std::string jpegPath = QFile::encodeName(jpeg).toStdString();
    const std::string pngPath = QFile::encodeName(png).toStdString();
    Print("import-jpeg", Timed(dialog, [&] { dialog.AddFiles({jpegPath}); }));
    Print("import-png", Timed(dialog, [&] { dialog.AddFiles({pngPath}); }));
    Print("click-png", Timed(dialog, [&] { ClickEntry(dialog, 1); }));
    Print("options-ok", Timed(dialog, [&] {
              dialog.GetJob().SetOverlayAnchor(5);
              dialog.RebuildPreview();
          }));
    const std::string overlayPath = QFile::encodeName(overlay).toStdString();
    Print("browse", Timed(dialog, [&] { dialog.SetOverlayAside(overlayPath.c_str()); }));
    Print("click-jpeg", Timed(dialog, [&] { ClickEntry(dialog, 0); }));
}

} // namespace

int RunResponsiveTimings(int argc, char** argv, const QString& work) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    QDir().mkpath(work);
    const QString jpeg = Made(work, kJpeg);
    const QString png = Made(work, kPng);
    const QString overlay = work + QStringLiteral("/mark.png");
    QImage mark(1600, 800, QImage::Format_ARGB32);
    mark.fill(QColor(200, 30, 30, 200));
    mark.save(overlay, "PNG");

    const bool clean =
        RunInMainWindow([&](CMainDlg& dialog) { RunSteps(dialog, jpeg, png, overlay); });
    PrintWhole("jpeg", jpeg);
    PrintWhole("png", png);
    return clean ? 0 : 1;
}

void PrintResponsiveRow(const QString& work) {
    const ChildResult child =
        RunChild(ChildCommand(kChildResponsive, {QFile::encodeName(work).toStdString()}));
    std::printf("\nMain window with a %d MP JPEG and a %d MP PNG listed (longest time the window "
                "did not answer, goal < %.0f ms; memory above the window's own while the "
                "preview is made, goal < %.0f MB; peer: the picture decoded whole)\n",
                kJpeg.width * kJpeg.height / 1000000, kPng.width * kPng.height / 1000000,
                kGapGoalSeconds * 1000, kMemoryGoalMb);
    if (!child.ok) {
        std::printf("  failed: %s\n", child.errorOutput.c_str());
        return;
    }
    const QStringList lines = QString::fromStdString(child.output).split(QLatin1Char('\n'));
    auto whole = [&](const char* name) -> std::pair<double, double> {
        for (const QString& line : lines) {
            const QStringList f = line.split(QLatin1Char(' '));
            if (f.size() == 4 && f[0] == QLatin1String("whole") && f[1] == QLatin1String(name))
                return {f[2].toDouble(), f[3].toDouble() / 1024.0};
        }
        return {0, 0};
    };
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char(' '));
        if (f.size() != 6 || f[0] != QLatin1String("responsive"))
            continue;
        const double gap = f[2].toDouble();
        const double shown = f[3].toDouble();
        const double mb = f[4].toDouble() / 1024.0;
        const auto peer = whole(f[1].endsWith(QLatin1String("jpeg")) ? "jpeg" : "png");
        std::printf("  %-12s longest gap %6.1f ms (own work %5.1f ms) [%s], shown after %6.2f s = "
                    "%.2f x whole "
                    "decode, %6.1f MB = %.3f x whole decode's %.0f MB [%s]\n",
                    qPrintable(f[1]), gap * 1000, f[5].toDouble() * 1000,
                    gap < kGapGoalSeconds ? "met" : "NOT met", shown,
                    peer.first > 0 ? shown / peer.first : 0.0, mb,
                    peer.second > 0 ? mb / peer.second : 0.0, peer.second,
                    mb < kMemoryGoalMb ? "met" : "NOT met");
    }
}
