// The library's own PNG encoder: exact pixels for every kind of picture it takes, across
// segment boundaries, and Qt's writer for the kinds it leaves.

#include "ImagingTestSupport.h"

#include "imaging/png/PngEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Pixels that deflate poorly and differ from row to row and from channel to channel, with
// every alpha value, so that a wrong filter, a lost row or a swapped channel shows.
QImage noisyPicture(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_ARGB32);
    std::uint32_t seed = 2024;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            // Smooth stretches with noise on top, as in a photograph.
            const int base = (x / 7 + y / 5) & 0xFF;
            line[x] = qRgba((base + (seed >> 28)) & 0xFF, (seed >> 16) & 0xFF, (255 - base) & 0xFF,
                            (seed >> 8) & 0xFF);
        }
    }
    return image.convertToFormat(format);
}

QImage decodePng(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    return reader.read();
}

struct Case {
    const char* name;
    QImage::Format format;
    int width;
    int height;
    int level;
};

// 2000 x 1500 is larger than one deflate segment in RGB and in RGBA.
const Case kCases[] = {
    {"RGB888, several segments", QImage::Format_RGB888, 2000, 1500, 1},
    {"ARGB32, several segments", QImage::Format_ARGB32, 2000, 1500, 1},
    {"RGB32", QImage::Format_RGB32, 200, 150, 1},
    {"RGB32 at level 9", QImage::Format_RGB32, 200, 150, 9},
    {"ARGB32 premultiplied", QImage::Format_ARGB32_Premultiplied, 301, 77, 1},
    {"RGBA8888", QImage::Format_RGBA8888, 64, 40, 6},
    {"BGR888", QImage::Format_BGR888, 33, 17, 1},
    {"one pixel", QImage::Format_RGB888, 1, 1, 1},
    {"one column", QImage::Format_ARGB32, 1, 300, 1},
};

} // namespace

TEST(PngEncoderTest, StoresExactlyThePixelsQtsWriterStores) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const QImage picture = noisyPicture(c.width, c.height, c.format);
        ASSERT_TRUE(PngEncoder::handles(picture));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(PngEncoder::encode(picture, c.level, &buffer));
        const QImage ours = decodePng(bytes);
        const QImage qts = decodePng(Encode(picture, "png"));
        ASSERT_FALSE(ours.isNull());
        ASSERT_EQ(ours.size(), picture.size());
        EXPECT_EQ(ours.hasAlphaChannel(), picture.hasAlphaChannel());
        EXPECT_EQ(ours.dotsPerMeterX(), qts.dotsPerMeterX());
        const QImage a = ours.convertToFormat(QImage::Format_ARGB32);
        const QImage b = qts.convertToFormat(QImage::Format_ARGB32);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                differing += a.pixel(x, y) != b.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

TEST(PngEncoderTest, LeavesGreyIndexedWideAndAnnotatedPicturesToQt) {
    const QImage rgb = noisyPicture(8, 8, QImage::Format_RGB888);
    QImage annotated = rgb;
    annotated.setText(QStringLiteral("Title"), QStringLiteral("kept by Qt's writer"));
    QImage withColourSpace = rgb;
    withColourSpace.setColorSpace(QColorSpace(QColorSpace::SRgb));
    const struct {
        const char* name;
        QImage image;
    } cases[] = {
        {"grey", rgb.convertToFormat(QImage::Format_Grayscale8)},
        {"indexed", rgb.convertToFormat(QImage::Format_Indexed8)},
        {"16-bit", rgb.convertToFormat(QImage::Format_RGBA64)},
        {"text", annotated},
        {"colour space", withColourSpace},
        {"null", QImage()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(PngEncoder::handles(c.image));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_FALSE(PngEncoder::encode(c.image, 1, &buffer));
    }
}

TEST(PngEncoderTest, AFailingDeviceFailsTheEncode) {
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly); // every write fails
    EXPECT_FALSE(PngEncoder::encode(noisyPicture(40, 30, QImage::Format_RGB888), 1, &readOnly));
}
