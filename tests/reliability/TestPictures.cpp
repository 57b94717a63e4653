#include "TestPictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>

#include <array>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

QImage SolidImage(int width, int height, const QColor& colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
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
    for (int i = 0; i < 256; ++i) {
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
            const QRgb pixel = image.pixel(x, y);
            const int r = (qRed(pixel) + 25) / 51;
            const int g = (qGreen(pixel) + 25) / 51;
            const int b = (qBlue(pixel) + 25) / 51;
            // The decoder adds a table entry for every code; a clear code before the table
            // reaches 512 keeps every code 9 bits wide.
            if (sinceClear == 250) {
                packer.Put(kClear);
                sinceClear = 0;
            }
            packer.Put(std::uint32_t(r * 36 + g * 6 + b));
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

QByteArray HeaderClaiming(const char* format, std::uint32_t width, std::uint32_t height) {
    const QByteArray name(format);
    QByteArray out;
    if (name == "png") {
        out = QByteArray("\x89PNG\r\n\x1a\n", 8);
        QByteArray header;
        PutBe32(header, width);
        PutBe32(header, height);
        header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
        PutPngChunk(out, "IHDR", header);
        PutPngChunk(out, "IDAT", QByteArray("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10));
        PutPngChunk(out, "IEND", {});
    } else if (name == "bmp") {
        out = "BM";
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
    } else if (name == "gif") {
        // A real small GIF with both of its sizes (screen and image) patched.
        out = EncodeGif(SolidImage(8, 8, Qt::red));
        QByteArray size;
        PutLe16(size, width);
        PutLe16(size, height);
        out.replace(6, 4, size);
        out.replace(13 + 768 + 5, 4, size);
    } else if (name == "jpeg") {
        out = Encode(SolidImage(16, 16, Qt::blue), "jpeg", 50);
        // The frame header (SOF0..SOF2) holds height then width, big-endian, after the
        // marker, the length and the precision byte.
        for (qsizetype at = 2; at + 9 < out.size(); ++at) {
            const auto marker = std::uint8_t(out[at + 1]);
            if (std::uint8_t(out[at]) == 0xFF && marker >= 0xC0 && marker <= 0xC2) {
                out[at + 5] = char(height >> 8);
                out[at + 6] = char(height & 0xFF);
                out[at + 7] = char(width >> 8);
                out[at + 8] = char(width & 0xFF);
                break;
            }
        }
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
        // One directory entry that claims 256 x 256 (the byte 0) and holds a PNG of the size.
        const QByteArray png = HeaderClaiming("png", width, height);
        out = QByteArray("\0\0\1\0\1\0\0\0\0\0\1\0\x20\0", 14);
        PutLe32(out, std::uint32_t(png.size()));
        PutLe32(out, 22);
        out += png;
    } else if (name == "icns") {
        // One 1024 x 1024 element ("ic10") that holds a PNG of the size.
        const QByteArray png = HeaderClaiming("png", width, height);
        out = "icns";
        PutBe32(out, std::uint32_t(16 + png.size()));
        out += "ic10";
        PutBe32(out, std::uint32_t(8 + png.size()));
        out += png;
    } else if (name == "gif-frame") {
        // A 0 x 0 screen; the one frame, of a few codes, has the size.
        out = QByteArray("GIF89a\0\0\0\0\0\0\0,\0\0\0\0", 18);
        PutLe16(out, width);
        PutLe16(out, height);
        out.append("\0\2\4\x84\x8f\xa9\xcb\0;", 9);
    }
    return out;
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

namespace {

// The middle of the first scan's entropy-coded data: after the start-of-scan segment, before
// the end marker; -1 when there is no such data.
qsizetype MiddleOfScan(const QByteArray& jpeg) {
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype eoi = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
    if (sos < 0 || sos + 4 > jpeg.size())
        return -1;
    const qsizetype begin =
        sos + 2 + ((std::uint8_t(jpeg[sos + 2]) << 8) | std::uint8_t(jpeg[sos + 3]));
    return eoi - begin > 100 ? (begin + eoi) / 2 : -1;
}

} // namespace

QByteArray JpegScanOverwritten(const QByteArray& jpeg) {
    const qsizetype middle = MiddleOfScan(jpeg);
    if (middle < 0)
        return {};
    QByteArray out = jpeg;
    for (qsizetype i = middle; i < middle + 24; ++i)
        out[i] = char(0x3C + i % 7); // never 0xFF, so no marker appears or goes
    return out;
}

QByteArray JpegScanCut(const QByteArray& jpeg) {
    const qsizetype middle = MiddleOfScan(jpeg);
    return middle < 0 ? QByteArray() : jpeg.left(middle) + QByteArray("\xFF\xD9", 2);
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

bool NearColour(const QColor& got, const QColor& want, int tolerance) {
    return std::abs(got.red() - want.red()) <= tolerance &&
           std::abs(got.green() - want.green()) <= tolerance &&
           std::abs(got.blue() - want.blue()) <= tolerance;
}
