#include "imaging/jpeg/JpegDecoder.h"

#include "imaging/ImageAllocator.h"
#include "imaging/colour/CmykTable.h"
#include "imaging/jpeg/JpegSession.h"

#include <QTransform>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace {

bool isThirtyTwoBit(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

// Adobe's CMYK files store inverted inks, so that k * c / 255 is already the red channel; this
// is the conversion Qt's reader applies, kept so that such pictures look as they did.
void cmykToRgbInPlace(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        auto* out = reinterpret_cast<QRgb*>(line);
        for (int x = 0; x < image.width(); ++x) {
            const uchar* in = line + 4 * std::ptrdiff_t(x);
            const int k = in[3];
            out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
        }
    }
}

// CMYK rows turned into sRGB through a profile's table while the rest of the picture is still
// being decoded: libjpeg decodes on one thread, and a second one converts the bands it has
// finished (the conversion takes longer than the decode). Once the decode ends, the decoding
// thread takes bands too. A converter that is given up (the decode failed) stops at its band.
class BandsConverted {
  public:
    BandsConverted(QImage& image, const CmykTable& table)
        : m_first(image.bits()), m_stride(image.bytesPerLine()), m_width(image.width()),
          m_height(image.height()), m_table(table), m_helper([this] { work(); }) {}
    ~BandsConverted() {
        if (!m_helper.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_abandoned = true;
            m_decoded = m_height;
        }
        m_ready.notify_all();
        m_helper.join();
    }
    BandsConverted(const BandsConverted&) = delete;
    BandsConverted& operator=(const BandsConverted&) = delete;

    void decodedUpTo(int rows) {
        {
            std::lock_guard lock(m_mutex);
            m_decoded = rows;
        }
        m_ready.notify_all();
    }
    // Every row decoded: the rest converted on this thread and the helper's, side by side.
    void finish() {
        decodedUpTo(m_height);
        while (convertNext()) {
        }
        m_helper.join();
    }

  private:
    static constexpr int kBand = 64;

    void work() {
        while (convertNext()) {
        }
    }
    // False once every band is taken, or the converter is given up.
    bool convertNext() {
        const int band = m_next.fetch_add(1);
        const int from = band * kBand;
        if (from >= m_height)
            return false;
        const int to = std::min(m_height, from + kBand);
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [&] { return m_decoded >= to || m_abandoned; });
            if (m_abandoned && m_decoded < m_height)
                return false;
        }
        m_table.convert(m_first, m_stride, m_width, from, to);
        return true;
    }

    uchar* const m_first;
    const qsizetype m_stride;
    const int m_width;
    const int m_height;
    const CmykTable& m_table;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    int m_decoded = 0;
    bool m_abandoned = false;
    std::atomic<int> m_next{0};
    std::thread m_helper;
};

// The same steps as Qt's reader takes for an Exif orientation: mirror and flip first, then
// turn a quarter; the three-quarter turn on its own.
QImage oriented(QImage image, QImageIOHandler::Transformations orientation) {
    if (orientation == QImageIOHandler::TransformationNone)
        return image;
    if (orientation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    if (orientation & (QImageIOHandler::TransformationMirror | QImageIOHandler::TransformationFlip))
        image = std::move(image).mirrored(orientation & QImageIOHandler::TransformationMirror,
                                          orientation & QImageIOHandler::TransformationFlip);
    if (orientation & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace

GpStatus JpegDecoder::decode(const QByteArray& encoded,
                             QImageIOHandler::Transformations orientation, QImage::Format drawnInto,
                             QImage* pixels, const ColourProfile* profile, Colour* colour,
                             QSize reduceTo) {
    QImage image;
    bool cmyk = false;
    bool profiled = false;
    try {
        JpegSession::Reading reading(encoded);
        jpeg_decompress_struct& info = reading.info;
        jpeg_read_header(&info, TRUE);
        const auto width = std::uint64_t(info.image_width);
        const auto height = std::uint64_t(info.image_height);
        if (width * height > kMaxImagePixels)
            return OutOfMemory;
        if (reduceTo.isValid()) {
            if (orientation & QImageIOHandler::TransformationRotate90)
                reduceTo.transpose();
            // The decoder's scales, eighths up to the whole: the smallest at least that large.
            for (unsigned eighths = 1; eighths < 8; ++eighths) {
                if ((width * eighths + 7) / 8 >= std::uint64_t(std::max(reduceTo.width(), 0)) &&
                    (height * eighths + 7) / 8 >= std::uint64_t(std::max(reduceTo.height(), 0))) {
                    info.scale_num = eighths;
                    info.scale_denom = 8;
                    break;
                }
            }
        }
        QImage::Format format = QImage::Format_RGB888;
        info.out_color_space = JCS_EXT_RGB;
        if (isThirtyTwoBit(drawnInto)) {
            format = QImage::Format_RGB32;
            info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        }
        if (info.jpeg_color_space == JCS_GRAYSCALE) {
            format = QImage::Format_Grayscale8;
            info.out_color_space = JCS_GRAYSCALE;
        } else if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
            format = QImage::Format_RGB32; // four bytes a pixel: the CMYK rows fit as they are
            info.out_color_space = JCS_CMYK;
            cmyk = true;
        }
        jpeg_start_decompress(&info);
        // The decoder writes every row before the picture is used (a failed decode is dropped).
        image = ImageAllocator::allocate(QSize(int(info.output_width), int(info.output_height)),
                                         format, ImageAllocator::Contents::Undefined);
        if (image.isNull())
            return OutOfMemory;
        std::vector<JSAMPROW> rows(std::size_t(image.height()));
        for (int y = 0; y < image.height(); ++y)
            rows[std::size_t(y)] = image.scanLine(y);
        // Large CMYK pictures are converted as they are decoded (small ones after, at once).
        const CmykTable* table = cmyk && profile != nullptr ? profile->cmykTable() : nullptr;
        std::optional<BandsConverted> along;
        if (table != nullptr && qint64(image.width()) * image.height() >= qint64(1) << 20) {
            try {
                along.emplace(image, *table);
            } catch (const std::system_error&) {
                // No thread to spare: converted after the decode.
            }
        }
        while (info.output_scanline < info.output_height) {
            jpeg_read_scanlines(&info, rows.data() + info.output_scanline,
                                info.output_height - info.output_scanline);
            if (along)
                along->decodedUpTo(int(info.output_scanline));
        }
        jpeg_finish_decompress(&info);
        if (along) {
            along->finish();
            profiled = true;
        }
    } catch (const JpegSession::Failed&) {
        return GenericError;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    profiled = profiled || (cmyk && profile != nullptr &&
                            profile->kind() == ColourProfile::Kind::Cmyk && profile->toSrgb(image));
    if (colour != nullptr)
        *colour = {cmyk, profiled};
    if (cmyk && !profiled)
        cmykToRgbInPlace(image);
    *pixels = oriented(std::move(image), orientation);
    return pixels->isNull() ? OutOfMemory : Ok;
}
