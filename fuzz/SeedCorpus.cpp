// Writes the fuzz seed corpus: tiny valid pictures in every format the library decodes, in
// the pixel layouts it tells apart (colour, grey, palette, alpha).
#include "tests/common/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;

    const QImage colour = NoisyImage(12, 9, 3);
    QImage alpha = colour.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < alpha.width(); ++x)
        alpha.setPixelColor(x, 0, QColor(255, 0, 0, x * 20));
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
    const QImage palette = colour.convertToFormat(QImage::Format_Indexed8);
    const QImage mono = colour.convertToFormat(QImage::Format_Mono);

    struct Seed {
        const char* name;
        QByteArray bytes;
    };
    const Seed seeds[] = {
        {"colour.jpg", Encode(colour, "jpeg", 80)},
        {"grey.jpg", Encode(grey, "jpeg", 80)},
        {"colour.png", Encode(colour, "png")},
        {"alpha.png", Encode(alpha, "png")},
        {"grey.png", Encode(grey, "png")},
        {"palette.png", Encode(palette, "png")},
        {"mono.png", Encode(mono, "png")},
        {"colour.gif", EncodeGif(colour)},
        {"colour.bmp", Encode(colour, "bmp")},
        {"palette.bmp", Encode(palette, "bmp")},
        {"colour.tif", Encode(colour, "tiff")},
        {"alpha.tif", Encode(alpha, "tiff")},
        {"colour.webp", Encode(colour, "webp", 80)},
        {"alpha.webp", Encode(alpha, "webp", 80)},
        // The lossless JPEG route's harder cases: tables of the picture's own, restart markers,
        // blocks past the edge, and a run of zeros past the last coefficient.
        {"optimised.jpg", ShapedJpeg(NoisyImage(160, 96, 4), {2, 1, false, false, 0, 92, true})},
        {"restarts.jpg", ShapedJpeg(NoisyImage(160, 128, 5), {2, 2, false, false, 1})},
        {"run-past-63.jpg", HandCodedJpeg(192, 96, JpegOddity::RunPast63)},
        // HEIF and JPEG XL: turned by their own boxes, deep, tagged, with records.
        {"turned.heic", HeifPicture(colour, {.orientation = 6, .exif = ExifOrientation(6)})},
        {"deep-p3.heic", HeifPicture(colour, {.bits = 10, .icc = MadeProfile("p3")})},
        {"nclx.avif", HeifPicture(colour, {.av1 = true, .nclxPrimaries = 12})},
        {"lossless.jxl", JxlPicture(colour, true)},
        {"records.jxl", JxlPicture(colour, false, ExifOrientation(3))},
    };
    for (const Seed& seed : seeds) {
        if (seed.bytes.isEmpty()) {
            std::fprintf(stderr, "could not encode %s\n", seed.name);
            return 1;
        }
        QFile file(folder + "/" + seed.name);
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.bytes) != seed.bytes.size())
            return 1;
    }
    return 0;
}
