#include "ImagingTestSupport.h"

#include "imaging/GpImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <vector>

std::wstring widePath(const QString& path) {
    return path.toStdWString();
}

ImagePtr loadBitmap(const QString& path, GpStatus* status) {
    GpBitmap* bitmap = nullptr;
    const std::wstring wide = widePath(path);
    *status = GdipCreateBitmapFromFile(wide.c_str(), &bitmap);
    return ImagePtr(*status == Ok ? bitmap : nullptr);
}

ImagePtr blankBitmap(int width, int height, PixelFormat format) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap) != Ok)
        return nullptr;
    return ImagePtr(bitmap);
}

QImage pixelsOf(GpImage* image) {
    if (!image || image->decode() != Ok)
        return QImage();
    return image->pixels.convertToFormat(QImage::Format_ARGB32);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray encodeWithQt(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

namespace {

void putLe16(QByteArray* out, int value) {
    out->append(char(value & 0xFF));
    out->append(char((value >> 8) & 0xFF));
}

} // namespace

QByteArray encodeGif(const QImage& indexed8) {
    QByteArray out("GIF89a");
    putLe16(&out, indexed8.width());
    putLe16(&out, indexed8.height());
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append(char(0));
    out.append(char(0));
    const QList<QRgb> palette = indexed8.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(char(0x2C));
    putLe16(&out, 0);
    putLe16(&out, 0);
    putLe16(&out, indexed8.width());
    putLe16(&out, indexed8.height());
    out.append(char(0));
    out.append(char(8)); // LZW minimum code size

    // 9-bit codes only: a clear code every 254 literal codes keeps the table from growing.
    std::vector<unsigned char> data;
    unsigned bitBuffer = 0;
    int bitCount = 0;
    auto putCode = [&](unsigned code) {
        bitBuffer |= code << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            data.push_back(static_cast<unsigned char>(bitBuffer & 0xFF));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = 0;
    putCode(256);
    for (int y = 0; y < indexed8.height(); ++y) {
        for (int x = 0; x < indexed8.width(); ++x) {
            if (sinceClear == 254) {
                putCode(256);
                sinceClear = 0;
            }
            putCode(indexed8.pixelIndex(x, y));
            ++sinceClear;
        }
    }
    putCode(257);
    if (bitCount > 0)
        data.push_back(static_cast<unsigned char>(bitBuffer & 0xFF));
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        out.append(char(n));
        out.append(reinterpret_cast<const char*>(data.data() + i), qsizetype(n));
    }
    out.append(char(0));
    out.append(char(0x3B));
    return out;
}

QImage quadrants(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const QRgb colour = !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                                        : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255));
            image.setPixel(x, y, colour);
        }
    return image.convertToFormat(format);
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

std::string describe(QRgb colour) {
    char text[64];
    std::snprintf(text, sizeof text, "argb(%d, %d, %d, %d)", qAlpha(colour), qRed(colour),
                  qGreen(colour), qBlue(colour));
    return text;
}
