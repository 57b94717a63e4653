#include "bench/ColourRuns.h"

#include "bench/ChildProcess.h"
#include "bench/Report.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <exiv2/exiv2.hpp>
#include <lcms2.h>
#include <turbojpeg.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

QByteArray Saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

QByteArray DisplayP3() {
    cmsCIExyY d65;
    cmsWhitePointFromTemp(&d65, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    return Saved(profile);
}

// A printer-like CMYK space: a colour table from simple inks (each absorbing its share of one
// primary, black of all three) to Lab, as large as real press profiles' tables are coarse.
cmsInt32Number Inks(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab) {
    const double k = 1 - in[3] / 65535.0;
    const float rgb[3] = {float((1 - in[0] / 65535.0) * k), float((1 - in[1] / 65535.0) * k),
                          float((1 - in[2] / 65535.0) * k)};
    cmsCIELab lab;
    cmsDoTransform(toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

QByteArray PrinterCmyk() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_FLT, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 4, 3, nullptr);
    cmsStageSampleCLut16bit(clut, Inks, toLab, 0);
    cmsPipelineInsertStage(table, cmsAT_BEGIN, clut);
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(table);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return Saved(profile);
}

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

bool WriteTagged(const QString& path, const QByteArray& jpeg, const QByteArray& icc) {
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                               long(jpeg.size()));
        image->readMetadata();
        if (!icc.isEmpty()) {
            Exiv2::DataBuf buffer(reinterpret_cast<const Exiv2::byte*>(icc.data()),
                                  long(icc.size()));
            image->setIccProfile(buffer, false);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.open();
        QByteArray out(qsizetype(io.size()), Qt::Uninitialized);
        io.read(reinterpret_cast<Exiv2::byte*>(out.data()), long(out.size()));
        io.close();
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
    } catch (const std::exception&) {
        return false;
    }
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
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const struct {
        const char* name;
        QByteArray jpeg;
        QByteArray icc;
    } variants[] = {
        {"untagged", jpeg, {}},
        {"sRGB profile", jpeg, Saved(srgb)},
        {"Display P3 profile", jpeg, DisplayP3()},
        {"CMYK JPEG with profile", CmykJpeg(photo), PrinterCmyk()},
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
        std::vector<std::string> argv = {SelfPath(), "--child-worker", "image/jpeg",
                                         LocalBytes(overlay), LocalBytes(out)};
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
    }
    std::fflush(stdout);
}
