#include "imaging/ReducedMark.h"

#include "imaging/GpImage.h"
#include "imaging/ImageAllocator.h"
#include "imaging/ImageFacts.h"

#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

// The copies made of one image, newest first. They never take more memory than the image itself
// (but the newest is always kept): a batch at a percentage of backgrounds of many sizes reduces
// for each new size, one of few sizes reduces once per size.
struct MarkReductions {
    qint64 pixelsKey = 0; // the image's pixels the copies were made from
    std::vector<std::shared_ptr<GpImage>> copies;
};

namespace {

// Every image's copies, looked up and made under one lock: threads stamping the same size at
// once wait for the one copy instead of each making its own.
std::mutex& reductionsLock() {
    static std::mutex lock;
    return lock;
}

// Where source pixel i of an axis of `from` pixels lands when that axis becomes `to` pixels
// (to <= from): on target pixel `first` with weight `inFirst` and on the next with `inNext`. In
// units where a source pixel is `to` long and a target pixel `from`, so that the weights are
// whole numbers and those on each target pixel add up to `from`.
struct Span {
    int first = 0;
    std::uint64_t inFirst = 0;
    std::uint64_t inNext = 0;
};

std::vector<Span> spansOf(int from, int to) {
    std::vector<Span> spans(static_cast<std::size_t>(from));
    for (int i = 0; i < from; ++i) {
        const std::int64_t start = std::int64_t(i) * to;
        const std::int64_t end = start + to;
        const std::int64_t first = start / from;
        const std::int64_t boundary = (first + 1) * from;
        spans[std::size_t(i)] = {int(first), std::uint64_t(std::min(end, boundary) - start),
                                 std::uint64_t(std::max<std::int64_t>(end - boundary, 0))};
    }
    return spans;
}

// Rows [y, y + count) of pixels, premultiplied: 16 bits a channel for deep pictures, 8 otherwise.
// Qt premultiplies straight 64-bit pixels wrongly when converting (see GpGraphics): those are
// premultiplied here, one by one.
QImage premultipliedRows(const QImage& pixels, int y, int count, bool deep) {
    QImage rows(pixels.constScanLine(y), pixels.width(), count, pixels.bytesPerLine(),
                pixels.format());
    rows.setColorTable(pixels.colorTable());
    if (!deep)
        return rows.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (rows.format() == QImage::Format_RGBA64_Premultiplied)
        return rows;
    QImage straight = rows.convertToFormat(QImage::Format_RGBA64);
    for (int row = 0; row < straight.height(); ++row) {
        auto* line = reinterpret_cast<QRgba64*>(straight.scanLine(row));
        for (int x = 0; x < straight.width(); ++x)
            line[x] = line[x].premultiplied();
    }
    return straight;
}

// The channels of pixel x of a premultiplied row: red, green, blue, alpha.
void getPixel(const uchar* line, int x, std::uint64_t (&c)[4], bool deep) {
    if (deep) {
        const QRgba64 p = reinterpret_cast<const QRgba64*>(line)[x];
        c[0] = p.red(), c[1] = p.green(), c[2] = p.blue(), c[3] = p.alpha();
        return;
    }
    const QRgb p = reinterpret_cast<const QRgb*>(line)[x];
    c[0] = std::uint64_t(qRed(p)), c[1] = std::uint64_t(qGreen(p));
    c[2] = std::uint64_t(qBlue(p)), c[3] = std::uint64_t(qAlpha(p));
}

void setPixel(uchar* line, int x, const std::uint64_t (&c)[4], bool deep) {
    if (deep)
        reinterpret_cast<QRgba64*>(line)[x] =
            QRgba64::fromRgba64(quint16(c[0]), quint16(c[1]), quint16(c[2]), quint16(c[3]));
    else
        reinterpret_cast<QRgb*>(line)[x] = qRgba(int(c[0]), int(c[1]), int(c[2]), int(c[3]));
}

// The pixels reduced to size (no larger than theirs along either axis) by area averaging of
// premultiplied values, rounded to the nearest. Sums are exact: a 64-bit total holds a
// 16-bit channel times the weights of 300 megapixels (2^16 * 2^29). Null when memory runs out.
QImage reduced(const QImage& pixels, QSize size) {
    const bool deep = pixels.depth() > 32 || pixels.format() == QImage::Format_Grayscale16;
    const bool opaque = !pixels.hasAlphaChannel();
    const QImage::Format format =
        deep ? (opaque ? QImage::Format_RGBX64 : QImage::Format_RGBA64_Premultiplied)
             : (opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    QImage result = ImageAllocator::allocate(size, format, ImageAllocator::Contents::Undefined);
    if (result.isNull())
        return result;
    const std::vector<Span> across = spansOf(pixels.width(), size.width());
    const std::vector<Span> down = spansOf(pixels.height(), size.height());
    // Each target pixel's weights add up to the source's area; a sum is at most 2^45, exact in
    // a double, and multiplying by the reciprocal is a tenth of the time of dividing.
    const double perWhole = 1.0 / (double(pixels.width()) * double(pixels.height()));
    const std::size_t rowValues = std::size_t(size.width()) * 4;
    // Sums of the source row being read, and of the two target rows it may fall on.
    std::vector<std::uint64_t> row(rowValues), target(rowValues), next(rowValues);
    int targetRow = 0;
    const auto finishRow = [&] {
        uchar* line = result.scanLine(targetRow);
        for (int x = 0; x < size.width(); ++x) {
            std::uint64_t c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = std::uint64_t(
                    std::floor(double(target[std::size_t(x) * 4 + k]) * perWhole + 0.5));
            setPixel(line, x, c, deep);
        }
        target.swap(next);
        std::fill(next.begin(), next.end(), 0);
        ++targetRow;
    };
    constexpr int kStrip = 64; // rows converted at once: the copy stays small
    for (int strip = 0; strip < pixels.height(); strip += kStrip) {
        const int count = std::min(kStrip, pixels.height() - strip);
        const QImage rows = premultipliedRows(pixels, strip, count, deep);
        if (rows.isNull())
            return QImage();
        for (int r = 0; r < count; ++r) {
            const uchar* line = rows.constScanLine(r);
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < pixels.width(); ++x) {
                const Span& s = across[std::size_t(x)];
                std::uint64_t c[4];
                getPixel(line, x, c, deep);
                std::uint64_t* sums = &row[std::size_t(s.first) * 4];
                for (int k = 0; k < 4; ++k)
                    sums[k] += c[k] * s.inFirst;
                if (s.inNext != 0)
                    for (int k = 0; k < 4; ++k)
                        sums[4 + k] += c[k] * s.inNext;
            }
            const Span& s = down[std::size_t(strip) + std::size_t(r)];
            if (s.first > targetRow)
                finishRow();
            for (std::size_t i = 0; i < rowValues; ++i)
                target[i] += row[i] * s.inFirst;
            if (s.inNext != 0)
                for (std::size_t i = 0; i < rowValues; ++i)
                    next[i] += row[i] * s.inNext;
        }
    }
    finishRow();
    return result;
}

} // namespace

std::shared_ptr<GpImage> ReducedMark::drawnAt(GpImage* image, INT width, INT height) {
    std::shared_ptr<GpImage> itself(std::shared_ptr<GpImage>(), image);
    if (image == nullptr || width <= 0 || height <= 0)
        return itself;
    std::lock_guard lock(reductionsLock());
    if (image->decode() != Ok)
        return itself;
    const QImage pixels = image->pixels; // shallow
    const QSize size(std::min(width, pixels.width()), std::min(height, pixels.height()));
    if (size == pixels.size())
        return itself;

    if (!image->reductions)
        image->reductions = std::make_shared<MarkReductions>();
    MarkReductions& kept = *image->reductions;
    if (kept.pixelsKey != pixels.cacheKey()) {
        kept.copies.clear();
        kept.pixelsKey = pixels.cacheKey();
    }
    const auto found = std::find_if(kept.copies.begin(), kept.copies.end(),
                                    [&](const auto& copy) { return copy->pixels.size() == size; });
    if (found != kept.copies.end()) {
        std::rotate(kept.copies.begin(), found, found + 1);
        return kept.copies.front();
    }

    QImage smaller = reduced(pixels, size);
    if (smaller.isNull())
        return itself;
    std::shared_ptr<GpImage> copy = GpImage::ofPixels(std::move(smaller));
    copy->facts = image->facts;
    kept.copies.insert(kept.copies.begin(), copy);
    qsizetype bytes = 0;
    const auto within = std::find_if(kept.copies.begin(), kept.copies.end(), [&](const auto& c) {
        bytes += c->pixels.sizeInBytes();
        return bytes > pixels.sizeInBytes();
    });
    kept.copies.erase(std::max(within, kept.copies.begin() + 1), kept.copies.end());
    return copy;
}

std::shared_ptr<GpImage> ReducedMark::overlayFor(GpImage* overlay, const GpImage* background,
                                                 INT width, INT height) {
    return drawnAt(ImageFacts::overlayFor(overlay, background), width, height);
}
