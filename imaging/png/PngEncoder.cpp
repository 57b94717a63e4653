#include "imaging/png/PngEncoder.h"

#include "imaging/png/PngRowFilter.h"
#include "imaging/png/PngRowSource.h"

#include <QColorSpace>
#include <QThread>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

// Rows converted at a time, for pictures not stored as RGB or RGBA bytes.
constexpr int kBlockRows = 16;
// Rows each candidate filter is tried on at the start of a segment (about 7 % more deflating
// for a 24 MP picture).
constexpr int kTrialRows = 8;
// Raw (filtered) bytes per deflate segment: large enough that the segment boundaries cost
// nothing measurable in size, small enough that two threads share a 12 MP picture evenly.
constexpr std::size_t kSegmentBytes = std::size_t(8) << 20;

void putUint32(std::uint8_t* at, std::uint32_t value) {
    at[0] = std::uint8_t(value >> 24);
    at[1] = std::uint8_t(value >> 16);
    at[2] = std::uint8_t(value >> 8);
    at[3] = std::uint8_t(value);
}

bool writeChunk(QIODevice* device, const char* type, const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    putUint32(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) // a null buffer would restart the checksum
        crc = crc32_z(crc, data, size);
    std::uint8_t tail[4];
    putUint32(tail, std::uint32_t(crc));
    return device->write(reinterpret_cast<const char*>(head), 8) == 8 &&
           (size == 0 ||
            device->write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size)) &&
           device->write(reinterpret_cast<const char*>(tail), 4) == 4;
}

struct Segment {
    int firstRow = 0;
    int rowCount = 0;
    // Raw deflate data (the first also holds the zlib header). Not a vector: zero-filling room
    // for the worst case touched 72 MB of fresh pages per 24 MP picture.
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    uLong adler = 1;
    std::size_t rawBytes = 0;
    bool ok = false;
};

void deflateSegment(const QImage& image, bool alpha, int level, bool last, Segment* segment) {
    const int bpp = alpha ? 4 : 3;
    const int n = image.width() * bpp;
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    segment->rawBytes = std::size_t(segment->rowCount) * std::size_t(n + 1);
    const std::size_t headerBytes = segment->firstRow == 0 ? 2 : 0;
    // Room for the worst case, and for the stream's checksum after the last segment.
    const std::size_t room = headerBytes + deflateBound(&stream, uLong(segment->rawBytes)) + 16;
    segment->bytes.reset(new (std::nothrow) std::uint8_t[room]);
    if (!segment->bytes) {
        deflateEnd(&stream);
        return;
    }
    if (headerBytes) {
        segment->bytes[0] = 0x78; // deflate, 32 KB window
        segment->bytes[1] = 0x01; // fastest compression, header check bits
    }
    stream.next_out = segment->bytes.get() + headerBytes;
    stream.avail_out = uInt(room - headerBytes);

    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(n) + 1);
    std::vector<std::uint8_t> zeros(static_cast<std::size_t>(n), 0);
    PngRowSource source(image, alpha);
    uLong adler = adler32(0, nullptr, 0);
    bool ok = true;
    const int end = segment->firstRow + segment->rowCount;
    PngRowFilter::Filter filter = PngRowFilter::Paeth;
    for (int block = segment->firstRow; block < end && ok; block += kBlockRows) {
        const int rows = std::min(kBlockRows, end - block);
        // The row above the block is loaded with it, so that its filters can see it.
        const int loadFrom = block > 0 ? block - 1 : 0;
        source.load(loadFrom, rows + (block - loadFrom));
        if (source.failed())
            break;
        const std::uint8_t* above = block > 0 ? source.row(block - 1) : zeros.data();
        if (block == segment->firstRow)
            filter = PngRowFilter::choose(source, block, std::min(rows, kTrialRows), n, bpp, level,
                                          zeros.data());
        for (int y = block; y < block + rows; ++y) {
            const std::uint8_t* row = source.row(y);
            filtered[0] = filter;
            PngRowFilter::apply(filter, row, above, n, bpp, filtered.data() + 1);
            adler = adler32_z(adler, filtered.data(), filtered.size());
            stream.next_in = filtered.data();
            stream.avail_in = uInt(filtered.size());
            if (deflate(&stream, Z_NO_FLUSH) != Z_OK || stream.avail_in != 0) {
                ok = false;
                break;
            }
            above = row;
        }
    }
    if (ok && segment->rowCount > 0) {
        // The last segment closes the stream; the others end on a byte boundary so that the
        // next segment's blocks can follow them directly.
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        const int result = deflate(&stream, flush);
        ok = last ? result == Z_STREAM_END : result == Z_OK;
    }
    segment->size = room - stream.avail_out;
    deflateEnd(&stream);
    segment->adler = adler;
    segment->ok = ok && !source.failed();
}

} // namespace

bool PngEncoder::handles(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        break;
    default:
        return false;
    }
    return !image.isNull() && !image.colorSpace().isValid() && image.textKeys().isEmpty() &&
           image.offset().isNull();
}

bool PngEncoder::encode(const QImage& image, int level, QIODevice* device) {
    if (!handles(image) || !device)
        return false;
    const bool alpha = image.hasAlphaChannel();
    const int bpp = alpha ? 4 : 3;
    const std::size_t rowBytes = std::size_t(image.width()) * std::size_t(bpp) + 1;

    // Segments of whole blocks of rows.
    const int blocksPerSegment =
        int(std::max<std::size_t>(1, kSegmentBytes / (rowBytes * kBlockRows)));
    const int rowsPerSegment = blocksPerSegment * kBlockRows;
    std::vector<Segment> segments;
    for (int first = 0; first < image.height(); first += rowsPerSegment) {
        Segment segment;
        segment.firstRow = first;
        segment.rowCount = std::min(rowsPerSegment, image.height() - first);
        segments.push_back(std::move(segment));
    }

    const int threads = int(std::min<std::size_t>(
        segments.size(), std::size_t(std::max(1, QThread::idealThreadCount()))));
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < segments.size(); i = next++)
            deflateSegment(image, alpha, level, i + 1 == segments.size(), &segments[i]);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();

    uLong adler = adler32(0, nullptr, 0);
    for (const Segment& segment : segments) {
        if (!segment.ok)
            return false;
        adler = adler32_combine(adler, segment.adler, z_off_t(segment.rawBytes));
    }
    Segment& last = segments.back();
    putUint32(last.bytes.get() + last.size, std::uint32_t(adler));
    last.size += 4;

    static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (device->write(kSignature, 8) != 8)
        return false;
    std::uint8_t header[13];
    putUint32(header, std::uint32_t(image.width()));
    putUint32(header + 4, std::uint32_t(image.height()));
    header[8] = 8;             // bits per channel
    header[9] = alpha ? 6 : 2; // RGBA or RGB
    header[10] = 0;            // deflate
    header[11] = 0;            // adaptive filtering
    header[12] = 0;            // not interlaced
    if (!writeChunk(device, "IHDR", header, sizeof header))
        return false;
    // The resolution, as Qt's writer stores it.
    if (image.dotsPerMeterX() > 0 || image.dotsPerMeterY() > 0) {
        std::uint8_t physical[9];
        putUint32(physical, std::uint32_t(image.dotsPerMeterX()));
        putUint32(physical + 4, std::uint32_t(image.dotsPerMeterY()));
        physical[8] = 1; // per metre
        if (!writeChunk(device, "pHYs", physical, sizeof physical))
            return false;
    }
    for (const Segment& segment : segments)
        if (!writeChunk(device, "IDAT", segment.bytes.get(), segment.size))
            return false;
    return writeChunk(device, "IEND", nullptr, 0);
}
