#include "bench/ColourRuns.h"

#include "bench/ChildProcess.h"
#include "bench/Report.h"
#include "tests/common/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The photograph's pixels as Adobe-inverted CMYK inks (grey component replaced by black).
QByteArray CmykJpeg(const QImage& photo) {
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    std::vector<unsigned char> inks(std::size_t(rgb.width()) * std::size_t(rgb.height()) * 4);
    std::size_t at = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const int c = 255 - qRed(line[x]), m = 255 - qGreen(line[x]), ye = 255 - qBlue(line[x]);
            const int k = std::min({c, m, ye});
            for (int ink : {c - k, m - k, ye - k, k})
                inks[at++] = static_cast<unsigned char>(255 - ink);
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(handle, inks.data(), rgb.width(), 0, rgb.height(), TJPF_CMYK,
                                   &jpeg, &size, TJSAMP_444, 90, 0);
    const QByteArray out =
        failed ? QByteArray() : QByteArray(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

// The median of three decodes of a CMYK JPEG into its inks on one thread, nothing else: what
// any copy of it costs before a colour is converted.
double CmykDecodeSeconds(const QByteArray& jpeg) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, sampling = 0, space = 0;
    std::vector<double> seconds;
    if (tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &sampling,
                            &space) == 0) {
        std::vector<unsigned char> inks(std::size_t(width) * std::size_t(height) * 4);
        for (int round = 0; round < 3; ++round) {
            const auto began = std::chrono::steady_clock::now();
            if (tjDecompress2(handle, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                              static_cast<unsigned long>(jpeg.size()), inks.data(), width, 0,
                              height, TJPF_CMYK, TJFLAG_ACCURATEDCT) != 0)
                break;
            seconds.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        }
    }
    tjDestroy(handle);
    return seconds.empty() ? 0 : Median(seconds);
}

bool WriteTagged(const QString& path, const QByteArray& jpeg, const QByteArray& icc) {
    const QByteArray tagged = icc.isEmpty() ? jpeg : WithProfile(jpeg, icc);
    QFile file(path);
    return !tagged.isEmpty() && file.open(QIODevice::WriteOnly) &&
           file.write(tagged) == tagged.size();
}

} // namespace

void RunAndPrintColour(const QString& background, const QString& overlay, const QString& work,
                       int items) {
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    QFile source(background);
    source.open(QIODevice::ReadOnly);
    const QByteArray jpeg = source.readAll();
    const QImage photo = QImage::fromData(jpeg);
    const struct {
        const char* name;
        QByteArray jpeg;
        QByteArray icc;
        bool inks = false;
    } variants[] = {
        {"untagged", jpeg, {}},
        {"sRGB profile", jpeg, MadeProfile("srgb")},
        {"Display P3 profile", jpeg, MadeProfile("p3")},
        {"CMYK JPEG with profile", CmykJpeg(photo), MadeProfile("cmyk"), true},
    };
    std::printf("\nColour management, %dx%d JPEG to JPEG, 1 picture at once, median of %d "
                "items\n",
                photo.width(), photo.height(), items);
    double untagged = 0;
    for (const auto& v : variants) {
        const QString path = QDir(work).filePath(QString::fromLatin1(v.name).section(' ', 0, 0) +
                                                 QStringLiteral(".jpg"));
        if (v.jpeg.isEmpty() || !WriteTagged(path, v.jpeg, v.icc)) {
            std::printf("  %-24s could not be made\n", v.name);
            continue;
        }
        const QString out = QDir(work).filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        std::vector<std::string> argv =
            ChildCommand(kChildWorker, {"image/jpeg", LocalBytes(overlay), LocalBytes(out)});
        for (int i = 0; i < items; ++i)
            argv.push_back(LocalBytes(path));
        const ChildResult child = RunChild(argv);
        std::vector<double> seconds;
        for (const QString& line : QString::fromStdString(child.output).split('\n')) {
            const QStringList fields = line.split(' ');
            if (fields.size() >= 4 && fields[0] == QLatin1String("item") &&
                fields[3] == QLatin1String("Done"))
                seconds.push_back(fields[1].toDouble());
        }
        if (seconds.empty()) {
            std::printf("  %-24s failed: %s\n", v.name, child.errorOutput.c_str());
            continue;
        }
        const double median = Median(seconds);
        if (untagged == 0)
            untagged = median;
        std::printf("  %-24s %.3f s per picture, %.3f x untagged\n", v.name, median,
                    median / untagged);
        if (v.inks)
            if (const double decode = CmykDecodeSeconds(v.jpeg); decode > 0)
                std::printf("  %-24s %.3f s per picture, %.3f x untagged\n", "  its decode alone",
                            decode, decode / untagged);
    }
    std::fflush(stdout);
}
