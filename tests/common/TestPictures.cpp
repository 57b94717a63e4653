#include "TestPictures.h"

#include <QBuffer>

#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <exiv2/exiv2.hpp>
#include <lcms2.h>
#include <turbojpeg.h>

#include <jpeglib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace {

void PutLe16(QByteArray& out, std::uint32_t value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}
void PutLe32(QByteArray& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}
void PutBe32(QByteArray& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

std::uint32_t Crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        crc = table[(crc ^ std::uint8_t(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutPngChunk(QByteArray& out, const char* type, const QByteArray& data) {
    PutBe32(out, std::uint32_t(data.size()));
    QByteArray typed(type, 4);
    typed += data;
    out += typed;
    PutBe32(out, Crc32(typed));
}

// Packs LZW codes of a fixed 9-bit width, least significant bit first.
class BitPacker {
  public:
    void Put(std::uint32_t code) {
        m_bits |= code << m_count;
        m_count += 9;
        while (m_count >= 8) {
            m_bytes.append(char(m_bits & 0xFF));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    QByteArray Finish() {
        if (m_count > 0)
            m_bytes.append(char(m_bits & 0xFF));
        return m_bytes;
    }

  private:
    QByteArray m_bytes;
    std::uint32_t m_bits = 0;
    int m_count = 0;
};

// The nearest entry of the 6x6x6 colour cube.
std::uint32_t CubeIndex(QRgb pixel) {
    const int r = (qRed(pixel) + 25) / 51;
    const int g = (qGreen(pixel) + 25) / 51;
    const int b = (qBlue(pixel) + 25) / 51;
    return std::uint32_t(r * 36 + g * 6 + b);
}

} // namespace

QImage NoisyImage(int width, int height, std::uint32_t seed) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 26); // 0..63
            row[x] = qRgb((x * 255 / width + noise) & 0xFF, (y * 255 / height + noise) & 0xFF,
                          (noise * 4) & 0xFF);
        }
    }
    return image;
}

QImage SolidImage(int width, int height, const QColor& colour, QImage::Format format) {
    QImage image(width, height, format);
    if (format == QImage::Format_Indexed8) {
        image.setColorTable({colour.rgba(), qRgb(0, 0, 0)});
        image.fill(0);
    } else {
        image.fill(colour);
    }
    return image;
}

QImage RedGreenOverlay(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(0, 255, 0));
    QPainter(&image).fillRect(0, 0, width / 2, height, QColor(255, 0, 0));
    return image;
}

QImage SignatureImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const auto at = [&](double x, double y) { return QPointF(x * width, y * height); };
    QPainterPath strokes(at(0.03, 0.7));
    for (int i = 0; i < 6; ++i)
        strokes.cubicTo(at(0.05 + 0.15 * i, 0.05), at(0.12 + 0.15 * i, 0.95),
                        at(0.17 + 0.15 * i, 0.45 + 0.05 * (i % 3)));
    painter.strokePath(strokes, QPen(QColor(20, 30, 90), 2.0));
    painter.setPen(QPen(QColor(10, 10, 10), 1.0));
    painter.drawLine(at(0.05, 0.88), at(0.95, 0.84));             // nearly flat: staircases
    painter.drawLine(at(0.6, 0.1), at(0.63, 0.95));               // nearly upright
    painter.setPen(QPen(QColor(200, 40, 40, 110), height / 8.0)); // a translucent wash
    painter.drawLine(at(0.7, 0.2), at(0.95, 0.2));
    return image;
}

QImage Quadrants(int width, int height, QImage::Format format) {
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

QImage GradientImage(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    QLinearGradient across(0, 0, width, 0);
    across.setColorAt(0, QColor(0, 0, 64));
    across.setColorAt(1, QColor(255, 0, 64));
    painter.fillRect(image.rect(), across);
    // Green is added on top of red and blue, so the two ramps stay independent.
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    QLinearGradient down(0, 0, 0, height);
    down.setColorAt(0, QColor(0, 0, 0));
    down.setColorAt(1, QColor(0, 255, 0));
    painter.fillRect(image.rect(), down);
    return image;
}

QColor GradientColour(int width, int height, int x, int y) {
    return QColor(x * 255 / width, y * 255 / height, 64);
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
    if (std::strcmp(format, "gif") == 0)
        return EncodeGif(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return {};
    return bytes;
}

QByteArray EncodeGif(const QImage& image) {
    const int width = image.width();
    const int height = image.height();
    QByteArray out("GIF89a");
    PutLe16(out, std::uint32_t(width));
    PutLe16(out, std::uint32_t(height));
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append(char(0));
    out.append(char(0));
    const bool indexed = image.format() == QImage::Format_Indexed8;
    const QList<QRgb> palette = image.colorTable();
    for (int i = 0; i < 256; ++i) {
        if (indexed) {
            const QRgb c = i < palette.size() ? palette[i] : 0;
            out.append(char(qRed(c)));
            out.append(char(qGreen(c)));
            out.append(char(qBlue(c)));
            continue;
        }
        const int cube = i < 216 ? i : 215;
        out.append(char(cube / 36 * 51));
        out.append(char(cube / 6 % 6 * 51));
        out.append(char(cube % 6 * 51));
    }
    out.append(char(0x2C));
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, std::uint32_t(width));
    PutLe16(out, std::uint32_t(height));
    out.append(char(0));
    out.append(char(8)); // minimum code size

    constexpr std::uint32_t kClear = 256;
    constexpr std::uint32_t kEnd = 257;
    BitPacker packer;
    packer.Put(kClear);
    int sinceClear = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // The decoder adds a table entry for every code; a clear code before the table
            // reaches 512 keeps every code 9 bits wide.
            if (sinceClear == 250) {
                packer.Put(kClear);
                sinceClear = 0;
            }
            packer.Put(indexed ? std::uint32_t(image.pixelIndex(x, y))
                               : CubeIndex(image.pixel(x, y)));
            ++sinceClear;
        }
    }
    packer.Put(kEnd);
    const QByteArray data = packer.Finish();
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const qsizetype length = std::min<qsizetype>(255, data.size() - at);
        out.append(char(length));
        out.append(data.mid(at, length));
    }
    out.append(char(0));
    out.append(char(0x3B));
    return out;
}

QByteArray PngClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    PutPngChunk(out, "IHDR", header);
    PutPngChunk(out, "IDAT", qCompress(QByteArray(64, '\0')).mid(4));
    PutPngChunk(out, "IEND", {});
    return out;
}

QByteArray BmpClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray out = "BM";
    PutLe32(out, 54 + 256);
    PutLe32(out, 0);
    PutLe32(out, 54);
    PutLe32(out, 40);
    PutLe32(out, width);
    PutLe32(out, height);
    PutLe16(out, 1);
    PutLe16(out, 24);
    PutLe32(out, 0);
    PutLe32(out, 256);
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, 0);
    PutLe32(out, 0);
    out.append(QByteArray(256, '\x40'));
    return out;
}

QByteArray JpegClaiming(QByteArray jpeg, std::uint32_t width, std::uint32_t height) {
    // The frame header (SOF0..SOF2) holds height then width, big-endian, after the marker,
    // the length and the precision byte.
    for (qsizetype at = 2; at + 9 < jpeg.size(); ++at) {
        const auto marker = std::uint8_t(jpeg[at + 1]);
        if (std::uint8_t(jpeg[at]) == 0xFF && marker >= 0xC0 && marker <= 0xC2) {
            jpeg[at + 5] = char(height >> 8);
            jpeg[at + 6] = char(height & 0xFF);
            jpeg[at + 7] = char(width >> 8);
            jpeg[at + 8] = char(width & 0xFF);
            break;
        }
    }
    return jpeg;
}

QByteArray IcoHolding(const QByteArray& picture) {
    QByteArray out("\0\0\1\0\1\0\0\0\0\0\1\0\x20\0", 14); // 256 x 256, 32 bits
    PutLe32(out, std::uint32_t(picture.size()));
    PutLe32(out, 22);
    return out + picture;
}

QByteArray DibClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray dib;
    PutLe32(dib, 40);
    PutLe32(dib, width);
    PutLe32(dib, height * 2); // the mask's rows are counted too
    dib.append("\1\0\x20\0", 4);
    dib.append(QByteArray(24, '\0'));
    return dib;
}

QByteArray IcnsHolding(const QByteArray& picture) {
    QByteArray out = "icns";
    PutBe32(out, std::uint32_t(16 + picture.size()));
    out += "ic10";
    PutBe32(out, std::uint32_t(8 + picture.size()));
    return out + picture;
}

QByteArray GifFrameClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray out("GIF89a\0\0\0\0\0\0\0,\0\0\0\0", 18);
    PutLe16(out, width);
    PutLe16(out, height);
    out.append("\0\2\4\x84\x8f\xa9\xcb\0;", 9);
    return out;
}

QByteArray HeaderClaiming(const char* format, std::uint32_t width, std::uint32_t height) {
    const QByteArray name(format);
    QByteArray out;
    if (name == "png") {
        out = PngClaiming(width, height);
    } else if (name == "bmp") {
        out = BmpClaiming(width, height);
    } else if (name == "gif") {
        // A real small GIF with both of its sizes (screen and image) patched.
        out = EncodeGif(SolidImage(8, 8, Qt::red));
        QByteArray size;
        PutLe16(size, width);
        PutLe16(size, height);
        out.replace(6, 4, size);
        out.replace(13 + 768 + 5, 4, size);
    } else if (name == "jpeg") {
        out = JpegClaiming(Encode(SolidImage(16, 16, Qt::blue), "jpeg", 50), width, height);
    } else if (name == "tiff") {
        // Little-endian, one strip of 8-bit grey, the IFD right after the header.
        out = QByteArray("II*\0", 4);
        PutLe32(out, 8);
        const std::uint32_t entries = 8;
        const std::uint32_t dataOffset = 8 + 2 + entries * 12 + 4;
        PutLe16(out, entries);
        const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
            PutLe16(out, tag);
            PutLe16(out, type);
            PutLe32(out, 1);
            if (type == 3) {
                PutLe16(out, value);
                PutLe16(out, 0);
            } else {
                PutLe32(out, value);
            }
        };
        entry(256, 4, width);      // ImageWidth
        entry(257, 4, height);     // ImageLength
        entry(258, 3, 8);          // BitsPerSample
        entry(259, 3, 1);          // no compression
        entry(262, 3, 1);          // black is zero
        entry(273, 4, dataOffset); // StripOffsets
        entry(278, 4, height);     // RowsPerStrip
        entry(279, 4, 256);        // StripByteCounts (a lie: the strip would be w * h)
        PutLe32(out, 0);
        out.append(QByteArray(256, '\x80'));
    } else if (name == "webp") {
        // An extended file: the canvas size lives in the VP8X chunk (24 bits each, minus one),
        // followed by the image chunk of a real small picture.
        const QByteArray small = Encode(SolidImage(16, 16, Qt::green), "webp", 50);
        QByteArray vp8x("VP8X", 4);
        PutLe32(vp8x, 10);
        vp8x.append(char(0));
        vp8x.append(QByteArray(3, '\0'));
        for (std::uint32_t value : {width - 1, height - 1}) {
            vp8x.append(char(value & 0xFF));
            vp8x.append(char((value >> 8) & 0xFF));
            vp8x.append(char((value >> 16) & 0xFF));
        }
        const QByteArray image = small.size() > 12 ? small.mid(12) : QByteArray();
        out = "RIFF";
        PutLe32(out, std::uint32_t(4 + vp8x.size() + image.size()));
        out += "WEBP";
        out += vp8x;
        out += image;
    } else if (name == "ico") {
        out = IcoHolding(PngClaiming(width, height));
    } else if (name == "icns") {
        out = IcnsHolding(PngClaiming(width, height));
    } else if (name == "gif-frame") {
        out = GifFrameClaiming(width, height);
    } else if (name == "xbm") {
        out = "#define a_width " + QByteArray::number(width) + "\n#define a_height " +
              QByteArray::number(height) + "\nstatic char a_bits[] = {\n0x00 };\n";
    } else if (name == "ppm") {
        out = "P6\n" + QByteArray::number(width) + " " + QByteArray::number(height) + "\n255\n";
        out.append('\0');
    } else if (name == "jpeg-frame") {
        // The markers up to the frame header and nothing after it.
        out = JpegClaiming(Encode(SolidImage(16, 16, Qt::blue), "jpeg", 50), width, height);
        for (qsizetype at = 2; at + 4 < out.size();
             at += 2 + ((uchar(out[at + 2]) << 8) | uchar(out[at + 3]))) {
            const auto marker = std::uint8_t(out[at + 1]);
            if (marker >= 0xC0 && marker <= 0xC2) {
                out.truncate(at + 2 + ((uchar(out[at + 2]) << 8) | uchar(out[at + 3])));
                break;
            }
        }
    } else if (name == "jpeg-scans") {
        // A real small JPEG whose scan is repeated width times before the end marker.
        const QByteArray jpeg =
            JpegClaiming(Encode(SolidImage(16, 16, Qt::blue), "jpeg", 50), 16, height);
        const qsizetype scan = jpeg.indexOf("\xFF\xDA");
        const QByteArray repeated = jpeg.mid(scan, jpeg.size() - 2 - scan);
        out = jpeg.left(scan) + repeated.repeated(qsizetype(width)) + "\xFF\xD9";
    }
    return out;
}

// An RGB PNG of 8 or 16 bits per sample whose transparency key is the given colour.
QByteArray PngWithKey(const QImage& picture, int depth, QRgb key) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int scale = depth == 16 ? 257 : 1;
    auto putSample = [&](QByteArray& out, int value) {
        if (depth == 16)
            out.append(char((value * scale) >> 8));
        out.append(char((value * scale) & 0xFF));
    };
    QByteArray rows;
    for (int y = 0; y < rgb.height(); ++y) {
        rows.append('\0'); // no filter
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            putSample(rows, qRed(c));
            putSample(rows, qGreen(c));
            putSample(rows, qBlue(c));
        }
    }
    QByteArray header;
    PutBe32(header, std::uint32_t(rgb.width()));
    PutBe32(header, std::uint32_t(rgb.height()));
    header.append(char(depth));
    header.append("\x02\0\0\0", 4);
    QByteArray trns;
    for (const int sample : {qRed(key), qGreen(key), qBlue(key)}) {
        trns.append(char((sample * scale) >> 8));
        trns.append(char((sample * scale) & 0xFF));
    }
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    PutPngChunk(png, "IHDR", header);
    PutPngChunk(png, "tRNS", trns);
    PutPngChunk(png, "IDAT", qCompress(rows).mid(4));
    PutPngChunk(png, "IEND", {});
    return png;
}

QByteArray TwoBandPicture(const char* format, std::uint32_t width, std::uint32_t height, int depth,
                          int samples, QRgb top, QRgb bottom) {
    const bool png = std::strcmp(format, "png") == 0;
    QByteArray rows[2];
    for (int band = 0; band < 2; ++band) {
        const QRgb c = band == 0 ? top : bottom;
        const char values[] = {char(qRed(c)), char(qGreen(c)), char(qBlue(c)), char(qAlpha(c))};
        rows[band] = png ? QByteArray(1, '\0') : QByteArray(); // PNG: no filter
        for (std::uint32_t i = 0; i < width * std::uint32_t(samples * depth / 8); ++i)
            rows[band].append(values[i / (depth / 8) % samples]); // 16 bits: v * 257
    }
    z_stream stream{};
    deflateInit(&stream, 1);
    QByteArray packed;
    char chunk[1 << 16];
    for (std::uint32_t y = 0; y <= height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(rows[y < height / 2 ? 0 : 1].data());
        stream.avail_in = y < height ? uInt(rows[0].size()) : 0;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, y < height ? Z_NO_FLUSH : Z_FINISH);
            packed.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    if (png) {
        QByteArray header;
        PutBe32(header, width);
        PutBe32(header, height);
        header.append(char(depth)).append(samples == 4 ? '\x06' : '\x02').append(3, '\0');
        QByteArray out("\x89PNG\r\n\x1A\n", 8);
        PutPngChunk(out, "IHDR", header);
        PutPngChunk(out, "IDAT", packed);
        PutPngChunk(out, "IEND", {});
        return out;
    }
    // Little-endian: header, bits per sample, the one strip, then the directory (type 4 values).
    QByteArray out("II*\0", 4);
    const std::uint32_t stripAt = 16, directoryAt = stripAt + std::uint32_t(packed.size());
    PutLe32(out, directoryAt);
    for (int s = 0; s < 4; ++s)
        PutLe16(out, std::uint32_t(depth));
    out.append(packed);
    const std::uint32_t entries[][2] = {
        {256, width}, {257, height}, {258, 8},
        {259, 8},     {262, 2},      {273, stripAt},
        {277, 4},     {278, height}, {279, std::uint32_t(packed.size())},
        {284, 1},     {338, 2}};
    PutLe16(out, 11);
    for (const auto& entry : entries) {
        PutLe16(out, entry[0]);
        PutLe16(out, entry[0] == 258 ? 3 : 4);
        PutLe32(out, entry[0] == 258 ? 4 : 1);
        PutLe32(out, entry[1]);
    }
    PutLe32(out, 0);
    return out;
}

QByteArray Bmp16(const QImage& picture, bool rgb565) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int rowBytes = (rgb.width() * 2 + 3) / 4 * 4;
    const std::uint32_t offBits = rgb565 ? 66 : 54;
    QByteArray bmp("BM");
    PutLe32(bmp, offBits + std::uint32_t(rowBytes * rgb.height()));
    PutLe32(bmp, 0);
    PutLe32(bmp, offBits);
    PutLe32(bmp, 40);
    PutLe32(bmp, std::uint32_t(rgb.width()));
    PutLe32(bmp, std::uint32_t(rgb.height()));
    PutLe16(bmp, 1);
    PutLe16(bmp, 16);
    PutLe32(bmp, rgb565 ? 3 : 0);
    for (int i = 0; i < 5; ++i)
        PutLe32(bmp, 0);
    if (rgb565) {
        PutLe32(bmp, 0xF800);
        PutLe32(bmp, 0x07E0);
        PutLe32(bmp, 0x001F);
    }
    for (int y = rgb.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            PutLe16(row, rgb565 ? (qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3
                                : (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3);
        }
        bmp.append(row.leftJustified(rowBytes, '\0'));
    }
    return bmp;
}

QByteArray IndexedBmp(int bitsPerPixel, const std::vector<QRgb>& palette,
                      const std::vector<int>& indices) {
    const int width = int(indices.size());
    QByteArray row;
    if (bitsPerPixel == 8) {
        for (int index : indices)
            row.append(char(index));
    } else {
        row.fill('\0', (width + 7) / 8);
        for (int x = 0; x < width; ++x)
            if (indices[std::size_t(x)] != 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    }
    while (row.size() % 4 != 0)
        row.append('\0');
    const std::uint32_t offset = 14 + 40 + 4 * std::uint32_t(palette.size());
    QByteArray bmp("BM");
    PutLe32(bmp, offset + std::uint32_t(row.size()));
    PutLe32(bmp, 0);
    PutLe32(bmp, offset);
    PutLe32(bmp, 40);
    PutLe32(bmp, std::uint32_t(width));
    PutLe32(bmp, 1);
    PutLe16(bmp, 1);
    PutLe16(bmp, std::uint32_t(bitsPerPixel));
    PutLe32(bmp, 0); // no compression
    PutLe32(bmp, std::uint32_t(row.size()));
    PutLe32(bmp, 2835);
    PutLe32(bmp, 2835);
    PutLe32(bmp, std::uint32_t(palette.size()));
    PutLe32(bmp, 0);
    for (QRgb colour : palette) {
        bmp.append(char(qBlue(colour)));
        bmp.append(char(qGreen(colour)));
        bmp.append(char(qRed(colour)));
        bmp.append('\0');
    }
    return bmp + row;
}

// Plain system calls: the path is the file system's bytes, which need not be valid text.
QByteArray PngMissingRows(const QImage& image, int keptRows) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray rows;
    for (int y = 0; y < keptRows && y < rgb.height(); ++y) {
        rows.append(char(0)); // no filter
        rows.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    PutBe32(header, std::uint32_t(rgb.width()));
    PutBe32(header, std::uint32_t(rgb.height()));
    header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    PutPngChunk(out, "IHDR", header);
    PutPngChunk(out, "IDAT", qCompress(rows).mid(4)); // a whole zlib stream, just too short
    PutPngChunk(out, "IEND", {});
    return out;
}

qsizetype ScanStart(const QByteArray& jpeg) {
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0 || sos + 4 > jpeg.size())
        return -1;
    return sos + 2 + ((std::uint8_t(jpeg[sos + 2]) << 8) | std::uint8_t(jpeg[sos + 3]));
}

QByteArray Overwritten(QByteArray jpeg, qsizetype at) {
    for (qsizetype i = at; i < at + 24; ++i)
        jpeg[i] = char(0x3C + i % 7); // never 0xFF, so no marker appears or goes
    return jpeg;
}

namespace {

// The middle of the first scan's entropy-coded data: after the start-of-scan segment, before
// the end marker; -1 when there is no such data.
qsizetype MiddleOfScan(const QByteArray& jpeg) {
    const qsizetype begin = ScanStart(jpeg);
    const qsizetype eoi = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
    return begin >= 0 && eoi - begin > 100 ? (begin + eoi) / 2 : -1;
}

} // namespace

QByteArray JpegScanOverwritten(const QByteArray& jpeg) {
    const qsizetype middle = MiddleOfScan(jpeg);
    return middle < 0 ? QByteArray() : Overwritten(jpeg, middle);
}

QByteArray JpegScanCut(const QByteArray& jpeg) {
    const qsizetype middle = MiddleOfScan(jpeg);
    return middle < 0 ? QByteArray() : jpeg.left(middle) + QByteArray("\xFF\xD9", 2);
}

QByteArray HandCodedJpeg(int width, int height, JpegOddity oddity) {
    QByteArray out("\xFF\xD8", 2);
    const auto segment = [&out](int marker, const QByteArray& body) {
        const int length = int(body.size()) + 2;
        out += char(0xFF);
        out += char(marker);
        out += char(length >> 8);
        out += char(length & 0xFF);
        out += body;
    };
    segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\1'));
    QByteArray frame;
    for (const int byte : {8, height >> 8, height & 0xFF, width >> 8, width & 0xFF, 3})
        frame += char(byte);
    for (const char id : {1, 2, 3})
        frame += QByteArray(1, id) + QByteArray("\x11\x00", 2);
    segment(0xC0, frame);
    // DC: "0" for a difference of 0. AC: "0" end of block, "10" sixteen zeros, "110" fifteen
    // zeros and a 1-bit value.
    QByteArray counts(16, '\0');
    counts[0] = 1;
    segment(0xC4, QByteArray(1, '\0') + counts + QByteArray(1, '\0'));
    counts[1] = counts[2] = 1;
    segment(0xC4, QByteArray(1, '\x10') + counts + QByteArray("\x00\xF0\xF1", 3));
    segment(0xDA, QByteArray("\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00", 10));
    std::uint32_t pending = 0;
    int held = 0;
    const auto put = [&](const char* bits) {
        for (; *bits != '\0'; ++bits) {
            pending = pending << 1 | std::uint32_t(*bits == '1');
            if (++held < 8)
                continue;
            out += char(pending & 0xFF);
            if ((pending & 0xFF) == 0xFF)
                out += '\0';
            pending = 0;
            held = 0;
        }
    };
    const long blocks = 3L * ((width + 7) / 8) * ((height + 7) / 8);
    for (long block = 0; block < blocks; ++block) {
        if (block == 0 && oddity == JpegOddity::RunPast63)
            put("0"
                "101010"
                "1101"); // 48 zeros, then 15 more: the 1 lands past coefficient 63
        else if (block == 0 && oddity == JpegOddity::CodeNoTableHas)
            put("0"
                "11111111111111111");
        else
            put("00");
    }
    while (held != 0)
        put("1");
    out += QByteArray("\xFF\xD9", 2);
    return out;
}

QByteArray CameraRawLike(const char* kind) {
    const std::string k(kind);
    if (k == "cr3")
        return QByteArray("\0\0\0\x18"
                          "ftypcrx \0\0\0\x01"
                          "crx isom",
                          24) +
               QByteArray(512, '\0');
    if (k == "raf")
        return QByteArray("FUJIFILMCCD-RAW 0201FF383501") + QByteArray(512, '\0');
    struct Entry {
        std::uint32_t tag, type, count, value;
    };
    // An 8 x 8 grey picture in the first directory, as the previews of raw files are.
    const auto directory = [](const std::vector<Entry>& entries, std::uint32_t data) {
        QByteArray out;
        PutLe16(out, std::uint32_t(entries.size()));
        for (const Entry& e : entries) {
            PutLe16(out, e.tag);
            PutLe16(out, e.type);
            PutLe32(out, e.count);
            PutLe32(out, e.tag == 273 ? data : e.value);
        }
        PutLe32(out, 0);
        return out;
    };
    std::vector<Entry> first = {{256, 3, 1, 8}, {257, 3, 1, 8},  {258, 3, 1, 8},
                                {259, 3, 1, 1}, {262, 3, 1, 1},  {273, 4, 1, 0},
                                {277, 3, 1, 1}, {279, 4, 1, 64}, {284, 3, 1, 1}};
    const std::uint32_t sub = 8 + 2 + 12 * 11 + 4;
    if (k == "dng")
        first.push_back({50706, 1, 4, 0x0401});
    if (k == "nef")
        first.push_back({330, 4, 1, sub});
    const std::vector<Entry> sensor = {{256, 3, 1, 8}, {257, 3, 1, 8},     {258, 3, 1, 8},
                                       {259, 3, 1, 1}, {262, 3, 1, 32803}, {273, 4, 1, 0},
                                       {277, 3, 1, 1}, {279, 4, 1, 64}};
    const std::uint32_t data = sub + 2 + 12 * std::uint32_t(sensor.size()) + 4;
    QByteArray out("II*\0", 4);
    PutLe32(out, 8);
    out += directory(first, data);
    out.resize(sub, '\0');
    out += directory(sensor, data);
    return out + QByteArray(64, '\x80');
}

QByteArray TiffDirectoryAt(std::uint32_t directoryAt, const char* shape) {
    const QByteArray follows(shape);
    const QByteArray strip(40 * 30, '\x80');
    // A width and a height entry, placed where a walk in entry-sized steps from the directory's
    // first entry would land.
    const auto appendDecoy = [directoryAt](QByteArray& out) {
        while ((std::uint32_t(out.size()) - directoryAt - 2) % 12 != 0)
            out.append('\0');
        for (std::uint32_t tag : {256u, 257u}) {
            PutLe16(out, tag);
            PutLe16(out, 4);
            PutLe32(out, 1);
            PutLe32(out, 70000);
        }
    };
    QByteArray out("II*\0", 4);
    PutLe32(out, directoryAt);
    if (follows != "strip")
        out += strip;
    out.append(QByteArray(qsizetype(directoryAt) - out.size(), '\0'));
    const bool profile = follows == "profile";
    const std::uint32_t entries = profile ? 9 : 8;
    const std::uint32_t after = directoryAt + 2 + entries * 12 + 4;
    const std::uint32_t profileSize = 48;
    PutLe16(out, entries);
    // Tag, type, count, value (a short value sits in the first two bytes, little-endian).
    const std::uint32_t fields[] = {
        256,   4, 1,           40,   257, 4, 1, 30,
        258,   3, 1,           8,    259, 3, 1, 1,
        262,   3, 1,           1,    273, 4, 1, follows == "strip" ? after : 8,
        278,   4, 1,           30,   279, 4, 1, std::uint32_t(strip.size()),
        34675, 7, profileSize, after};
    for (std::uint32_t k = 0; k < entries * 4; ++k)
        (k % 4 < 2 ? PutLe16 : PutLe32)(out, fields[k]);
    PutLe32(out, follows == "second-directory" ? after + 6 : 0);
    if (follows == "strip") {
        out += strip;
        appendDecoy(out);
    } else if (profile) {
        appendDecoy(out);
        out.append(QByteArray(qsizetype(after + profileSize) - out.size(), '\0'));
    } else {
        out.append(QByteArray(6, '\0'));
        PutLe16(out, 2); // the second page: its size and nothing more
        appendDecoy(out);
        PutLe32(out, 0);
    }
    return out;
}

// exiv2 0.27 hands images out as std::auto_ptr, which clang reports as deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
namespace {

using Exiv2Image = Exiv2::Image::AutoPtr;

Exiv2Image OpenWithExiv2(const QByteArray& file) {
    Exiv2::enableBMFF(true); // HEIF, AVIF and JPEG XL
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.data()),
                                           long(file.size()));
    image->readMetadata();
    return image;
}

QByteArray WrittenByExiv2(Exiv2::Image& image) {
    image.writeMetadata();
    Exiv2::BasicIo& io = image.io();
    io.open();
    QByteArray out(qsizetype(io.size()), Qt::Uninitialized);
    io.read(reinterpret_cast<Exiv2::byte*>(out.data()), long(out.size()));
    io.close();
    return out;
}

} // namespace

QByteArray WithRecords(const QByteArray& picture) {
    Exiv2Image image = OpenWithExiv2(picture);
    Exiv2::ExifData exif;
    exif["Exif.Image.Artist"] = "Ada Painter";
    exif["Exif.Image.Copyright"] = "(c) Ada Painter";
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    exif["Exif.Image.XResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(300, 1);
    exif["Exif.Image.ResolutionUnit"] = std::uint16_t(2);
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(4000);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(3000);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 0/1";
    const QByteArray thumbnail = Encode(SolidImage(8, 8, Qt::red), "jpeg", 80);
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.data()),
                                            long(thumbnail.size()));
    image->setExifData(exif);
    // Where drones, editors and phones put a position or a picture of the photograph in XMP.
    const QByteArray picture64 = thumbnail.toBase64();
    const std::string place = "<rdf:li rdf:parseType='Resource'><Iptc4xmpExt:City>Paris"
                              "</Iptc4xmpExt:City><exif:GPSLatitude>48,51.0N</exif:GPSLatitude>"
                              "</rdf:li>";
    const std::string packet =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
        "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
        "xmlns:Iptc4xmpExt='http://iptc.org/std/Iptc4xmpExt/2008-02-29/' "
        "xmlns:drone-dji='http://www.dji.com/drone-dji/1.0/' "
        "xmlns:xmpMM='http://ns.adobe.com/xap/1.0/mm/' xmlns:exif='http://ns.adobe.com/exif/1.0/' "
        "xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
        "xmlns:xmpGImg='http://ns.adobe.com/xap/1.0/g/img/' "
        "xmlns:GImage='http://ns.google.com/photos/1.0/image/' "
        "xmlns:stEvt='http://ns.adobe.com/xap/1.0/sType/ResourceEvent#' "
        "drone-dji:GPSLatitude='48.85' drone-dji:GPSLongitude='2.35' "
        "drone-dji:AbsoluteAltitude='+120.5' GImage:Mime='image/jpeg' GImage:Data='" +
        picture64.toStdString() + "'><Iptc4xmpExt:LocationShown><rdf:Bag>" + place +
        "</rdf:Bag></Iptc4xmpExt:LocationShown><Iptc4xmpExt:LocationCreated><rdf:Bag>" + place +
        "</rdf:Bag></Iptc4xmpExt:LocationCreated><xmpMM:Pantry><rdf:Bag>"
        "<rdf:li rdf:parseType='Resource'><exif:GPSLongitude>2,21.0E</exif:GPSLongitude>"
        "<xmp:Thumbnails><rdf:Alt><rdf:li rdf:parseType='Resource'><xmpGImg:format>JPEG"
        "</xmpGImg:format><xmpGImg:image>" +
        picture64.toStdString() +
        "</xmpGImg:image></rdf:li></rdf:Alt></xmp:Thumbnails></rdf:li></rdf:Bag></xmpMM:Pantry>"
        "<xmpMM:History><rdf:Seq><rdf:li rdf:parseType='Resource'><stEvt:action>saved"
        "</stEvt:action><exif:GPSAltitude>120/1</exif:GPSAltitude></rdf:li></rdf:Seq>"
        "</xmpMM:History></rdf:Description></rdf:RDF></x:xmpmeta>";
    Exiv2::XmpData xmp;
    Exiv2::XmpParser::decode(xmp, packet);
    xmp["Xmp.dc.rights"] = "lang=x-default All rights reserved";
    xmp["Xmp.exif.GPSLatitude"] = "48,51.0N";
    image->setXmpData(xmp);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Copyright"] = "Ada Painter";
    image->setIptcData(iptc);
    return WrittenByExiv2(*image);
}

std::vector<std::pair<std::string, std::string>> RecordsOfBlocks(const QByteArray& tiff,
                                                                 const QByteArray& packet) {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    if (!tiff.isEmpty())
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(tiff.constData()),
                                  std::uint32_t(tiff.size()));
    if (!packet.isEmpty())
        Exiv2::XmpParser::decode(xmp, packet.toStdString());
    std::vector<std::pair<std::string, std::string>> records;
    for (const auto& datum : exif)
        records.emplace_back(datum.key(), datum.toString());
    for (const auto& datum : xmp)
        records.emplace_back(datum.key(), datum.toString());
    return records;
}

std::vector<std::string> RecordsOf(const QByteArray& file) {
    std::vector<std::string> records;
    // A bare JPEG XL codestream, as a copy without records is written, holds none.
    if (file.startsWith("\xFF\x0A"))
        return records;
    if (file.mid(4, 4) == "ftyp") {
        const auto [tiff, packet] = HeifRecordBlocks(file);
        for (const auto& [key, value] : RecordsOfBlocks(tiff, packet))
            records.push_back(key + "=" + value);
        return records;
    }
    Exiv2Image image = OpenWithExiv2(file);
    for (const auto& datum : image->exifData())
        records.push_back(datum.key() + "=" + datum.toString());
    for (const auto& datum : image->xmpData())
        records.push_back(datum.key() + "=" + datum.toString());
    for (const auto& datum : image->iptcData())
        records.push_back(datum.key() + "=" + datum.toString());
    return records;
}

namespace {

QByteArray SavedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Simple inks: each takes its share of red, green or blue light, black of all three; the
// result seen as sRGB, encoded as the profile connection space's Lab.
cmsInt32Number InkSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab) {
    const double k = 1 - in[3] / 65535.0;
    const float rgb[3] = {float((1 - in[0] / 65535.0) * k), float((1 - in[1] / 65535.0) * k),
                          float((1 - in[2] / 65535.0) * k)};
    cmsCIELab lab;
    cmsDoTransform(toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

} // namespace

QByteArray MadeProfile(const char* name) {
    const QByteArray which(name);
    cmsCIExyY d65;
    cmsWhitePointFromTemp(&d65, 6504);
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    if (which == "srgb")
        return SavedProfile(cmsCreate_sRGBProfile());
    if (which == "p3" || which == "adobe") {
        const cmsCIExyYTRIPLE p3 = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
        const cmsCIExyYTRIPLE adobe = {{0.640, 0.330, 1}, {0.210, 0.710, 1}, {0.150, 0.060, 1}};
        const double gamma = 2.2;
        cmsToneCurve* curve = which == "p3" ? cmsBuildParametricToneCurve(nullptr, 4, srgbCurve)
                                            : cmsBuildGamma(nullptr, gamma);
        cmsToneCurve* curves[3] = {curve, curve, curve};
        cmsHPROFILE profile = cmsCreateRGBProfile(&d65, which == "p3" ? &p3 : &adobe, curves);
        cmsFreeToneCurve(curve);
        return SavedProfile(profile);
    }
    if (which == "huge-table") {
        // An RGB profile whose 2-point colour table then claims 255 points a side and 15
        // outputs: 500 MB once built, in a file of a few hundred bytes.
        cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
        cmsSetProfileVersion(profile, 2.1);
        cmsSetDeviceClass(profile, cmsSigDisplayClass);
        cmsSetColorSpace(profile, cmsSigRgbData);
        cmsSetPCS(profile, cmsSigLabData);
        cmsPipeline* table = cmsPipelineAlloc(nullptr, 3, 3);
        cmsPipelineInsertStage(table, cmsAT_BEGIN,
                               cmsStageAllocCLut16bit(nullptr, 2, 3, 3, nullptr));
        cmsWriteTag(profile, cmsSigAToB0Tag, table);
        cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
        cmsPipelineFree(table);
        QByteArray bytes = SavedProfile(profile);
        const qsizetype lut = bytes.indexOf("mft2");
        if (lut < 0)
            return {};
        bytes[lut + 9] = char(15);
        bytes[lut + 10] = char(255);
        return bytes;
    }
    if (which == "grey") {
        cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
        cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), linear);
        cmsFreeToneCurve(linear);
        return SavedProfile(profile);
    }
    // CMYK: an output profile whose device-to-Lab table is sampled from the simple inks.
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_FLT, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1); // a bare colour table is a version 2 table
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(clut, InkSampler, toLab, 0);
    cmsPipelineInsertStage(table, cmsAT_BEGIN, clut);
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(table);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return SavedProfile(profile);
}

QByteArray WithProfile(const QByteArray& picture, const QByteArray& icc) {
    Exiv2Image image = OpenWithExiv2(picture);
    Exiv2::DataBuf buffer(reinterpret_cast<const Exiv2::byte*>(icc.data()), long(icc.size()));
    image->setIccProfile(buffer, false);
    return WrittenByExiv2(*image);
}

QByteArray WithProfileChunks(const QByteArray& jpeg, const std::string& how) {
    const qsizetype at = jpeg.indexOf(QByteArray("ICC_PROFILE\0", 12)) - 4;
    if (at < 0)
        return {};
    const qsizetype length = (qsizetype(uchar(jpeg[at + 2])) << 8) | uchar(jpeg[at + 3]);
    QByteArray icc = jpeg.mid(at + 18, length - 16);
    if (how == "huge")
        icc.replace(0, 4, QByteArray("\xF0\0\0\0", 4));
    const auto chunk = [&](int number, int count, qsizetype from, qsizetype size) {
        const QByteArray part = icc.mid(from, size);
        return QByteArray("\xFF\xE2", 2) + char((part.size() + 16) >> 8) +
               char((part.size() + 16) & 0xFF) + QByteArray("ICC_PROFILE\0", 12) + char(number) +
               char(count) + part;
    };
    const QByteArray first = chunk(1, 2, 0, icc.size() / 2);
    const QByteArray second = chunk(2, 2, icc.size() / 2, -1);
    const QByteArray chunks = how == "repeated"   ? first + first + second
                              : how == "reversed" ? second + first
                              : how == "split"    ? first + second
                                                  : chunk(1, 1, 0, -1);
    return QByteArray(jpeg).replace(at, length + 2, chunks);
}

QByteArray ProfileOf(const QByteArray& file) {
    bool modern = false;
    const QByteArray own = ModernProfileOf(file, &modern);
    if (modern)
        return own;
    const Exiv2Image image = OpenWithExiv2(file);
    const Exiv2::DataBuf* icc = image->iccProfile();
    return icc->size_ > 0 ? QByteArray(reinterpret_cast<const char*>(icc->pData_), icc->size_)
                          : QByteArray();
}
#pragma GCC diagnostic pop

QByteArray CmykJpeg(int width, int height, const std::vector<std::vector<int>>& quadrants) {
    std::vector<unsigned char> inks(std::size_t(width * height * 4));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                inks[std::size_t((y * width + x) * 4 + c)] =
                    uchar(255 - quadrants[std::size_t((y >= height / 2) * 2 + (x >= width / 2))]
                                         [std::size_t(c)]);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, inks.data(), width, 0, height, TJPF_CMYK, &jpeg, &size, TJSAMP_444, 95, 0);
    const QByteArray out(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::array<double, 3> LabOf(const QByteArray& icc, const std::vector<int>& values) {
    cmsHPROFILE from = icc.isEmpty()
                           ? cmsCreate_sRGBProfile()
                           : cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    const cmsUInt32Number format = values.size() == 1   ? TYPE_GRAY_8
                                   : values.size() == 4 ? TYPE_CMYK_8
                                                        : TYPE_RGB_8;
    cmsHTRANSFORM toLab =
        cmsCreateTransform(from, format, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    std::vector<unsigned char> device(values.begin(), values.end());
    cmsCIELab out{};
    cmsDoTransform(toLab, device.data(), &out, 1);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(from);
    return {out.L, out.a, out.b};
}

double DeltaE2000(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    const cmsCIELab first{a[0], a[1], a[2]};
    const cmsCIELab second{b[0], b[1], b[2]};
    return cmsCIE2000DeltaE(&first, &second, 1, 1, 1);
}

// Inserts an APP1 Exif segment with one Orientation entry right after the start marker.
QByteArray JpegWithExifOrientation(const QByteArray& jpeg, int orientation) {
    const QByteArray payload = QByteArray("Exif\0\0", 6) + ExifOrientation(orientation);
    QByteArray segment("\xFF\xE1", 2);
    const int length = int(payload.size()) + 2;
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

bool WriteBytes(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    return ::close(fd) == 0 && done == bytes.size();
}

QByteArray ReadBytes(const QByteArray& path) {
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, n);
    ::close(fd);
    return bytes;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    return WriteBytes(QFile::encodeName(path), bytes);
}

QByteArray ReadBytes(const QString& path) {
    return ReadBytes(QFile::encodeName(path));
}

QString WritePicture(const QString& path, int width, int height, const QColor& colour,
                     const char* format) {
    SolidImage(width, height, colour).save(path, format);
    return path;
}

std::string PathIn(const QTemporaryDir& dir, const QString& name) {
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

std::string SavePicture(const QTemporaryDir& dir, const QString& name, const QImage& image) {
    if (!image.save(dir.filePath(name)))
        return {};
    return PathIn(dir, name);
}

bool NearColour(QRgb got, QRgb want, int tolerance) {
    return std::abs(qRed(got) - qRed(want)) <= tolerance &&
           std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(got) - qBlue(want)) <= tolerance &&
           std::abs(qAlpha(got) - qAlpha(want)) <= tolerance;
}

std::string Describe(QRgb colour) {
    char text[64];
    std::snprintf(text, sizeof text, "argb(%d, %d, %d, %d)", qAlpha(colour), qRed(colour),
                  qGreen(colour), qBlue(colour));
    return text;
}

QByteArray ShapedJpeg(const QImage& image, const JpegShape& shape) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &bytes, &size);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, shape.quality, TRUE);
    if (shape.grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    info.comp_info[0].h_samp_factor = shape.h;
    info.comp_info[0].v_samp_factor = shape.v;
    for (int c = 1; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = shape.chromaH;
        info.comp_info[c].v_samp_factor = shape.chromaV;
    }
    if (shape.progressive)
        jpeg_simple_progression(&info);
    info.restart_in_rows = shape.restartRows;
    info.restart_interval = unsigned(shape.restartMcus);
    info.optimize_coding = shape.optimised ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPLE*>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray out(reinterpret_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    return out;
}

JpegBlocks BlocksOf(const QByteArray& jpeg) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    JpegBlocks blocks;
    blocks.mcuWidth = info.max_h_samp_factor * 8;
    blocks.mcuHeight = info.max_v_samp_factor * 8;
    blocks.progressive = info.progressive_mode != 0;
    blocks.restartInterval = info.restart_interval;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& from = info.comp_info[c];
        JpegBlocks::Component component;
        component.h = from.h_samp_factor;
        component.v = from.v_samp_factor;
        component.columns = int(from.width_in_blocks);
        component.rows = int(from.height_in_blocks);
        for (int k = 0; k < 64; ++k)
            component.table[std::size_t(k)] = from.quant_table->quantval[k];
        for (int r = 0; r < component.rows; ++r) {
            JBLOCKROW row = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info),
                                                         arrays[c], JDIMENSION(r), 1, FALSE)[0];
            component.coefficients.insert(component.coefficients.end(), row[0],
                                          row[0] + 64 * component.columns);
        }
        blocks.components.push_back(std::move(component));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return blocks;
}

QImage DecodedJpeg(const QByteArray& jpeg, int flags) {
    tjhandle handle = tjInitDecompress();
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    int width = 0, height = 0, sampling = 0, space = 0;
    tjDecompressHeader3(handle, data, static_cast<unsigned long>(jpeg.size()), &width, &height,
                        &sampling, &space);
    QImage image(width, height, QImage::Format_RGB888);
    if (tjDecompress2(handle, data, static_cast<unsigned long>(jpeg.size()), image.bits(), width,
                      int(image.bytesPerLine()), height, TJPF_RGB, flags) != 0)
        image = QImage();
    tjDestroy(handle);
    return image;
}
