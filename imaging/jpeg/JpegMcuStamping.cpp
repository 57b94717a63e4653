#include "imaging/jpeg/JpegMcuStamping.h"

#include "imaging/GpGraphics.h"
#include "imaging/GpImage.h"
#include "imaging/ImageAllocator.h"
#include "imaging/jpeg/JpegCoding.h"

#include <QBuffer>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A JPEG of the blocks of area (whole MCUs from the picture's grid) of the picture being read:
// the same tables and sampling, so that decoding it gives those pixels as decoding the picture
// would.
QByteArray blocksAsJpeg(jpeg_decompress_struct& picture, const JpegCoefficients& blocks,
                        const JpegMcuGrid& grid, const QRect& area) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    JpegSession::Writing part(&buffer);
    jpeg_copy_critical_parameters(&picture, &part.info);
    part.info.image_width = JDIMENSION(area.width());
    part.info.image_height = JDIMENSION(area.height());
    const auto owner = reinterpret_cast<j_common_ptr>(&part.info);
    JpegCoefficients copies{};
    for (int c = 0; c < picture.num_components; ++c) {
        const jpeg_component_info& component = picture.comp_info[c];
        copies[std::size_t(c)] = owner->mem->request_virt_barray(
            owner, JPOOL_IMAGE, TRUE, JDIMENSION(grid.columns(area) * component.h_samp_factor),
            JDIMENSION(grid.rows(area) * component.v_samp_factor),
            JDIMENSION(component.v_samp_factor)); // the writer takes an MCU row at a time
    }
    owner->mem->realize_virt_arrays(owner);
    const QPoint origin(area.x() / grid.mcuWidth, area.y() / grid.mcuHeight);
    JpegMcuCopy{reinterpret_cast<j_common_ptr>(&picture), blocks, origin, owner, copies, QPoint()}(
        picture.comp_info, picture.num_components,
        QRect(0, 0, grid.columns(area), grid.rows(area)));
    jpeg_write_coefficients(&part.info, copies.data());
    jpeg_finish_compress(&part.info);
    return bytes;
}

// Pixels as the full route decodes them (see JpegDecoder): 24-bit RGB rows for colour, grey
// widened to the 32-bit ARGB that the stamp of a grey picture draws into.
QImage decoded(const QByteArray& encoded, bool grey) {
    JpegSession::Reading reading(encoded);
    jpeg_read_header(&reading.info, TRUE);
    reading.info.out_color_space =
        !grey ? JCS_EXT_RGB : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB);
    reading.info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&reading.info);
    QImage image = ImageAllocator::allocate(
        QSize(int(reading.info.output_width), int(reading.info.output_height)),
        grey ? QImage::Format_ARGB32 : QImage::Format_RGB888, ImageAllocator::Contents::Undefined);
    if (image.isNull())
        throw JpegSession::Failed{};
    while (reading.info.output_scanline < reading.info.output_height) {
        JSAMPROW row = image.scanLine(int(reading.info.output_scanline));
        jpeg_read_scanlines(&reading.info, &row, 1);
    }
    jpeg_finish_decompress(&reading.info);
    return image;
}

bool samePixels(const QImage& a, const QPoint& at, const QImage& b, const QRect& area) {
    const std::size_t bytes = std::size_t(area.width()) * std::size_t(b.depth() / 8);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* first =
            a.constScanLine(at.y() + y) + std::ptrdiff_t(at.x() + area.x()) * (a.depth() / 8);
        const uchar* second = b.constScanLine(y) + std::ptrdiff_t(area.x()) * (b.depth() / 8);
        if (std::memcmp(first, second, bytes) != 0)
            return false;
    }
    return true;
}

} // namespace

QRect JpegMcuStamping::operator()(const QRect& area, GpImage* mark, const QRectF& destination,
                                  const QRectF& source) const {
    const QRect box = grid.widened(area, 0);
    // One MCU more on every side: colour upsampling takes its neighbours across block edges,
    // so the box's pixels come out exactly as in the whole picture.
    const QRect context = grid.widened(area, 1);
    const QImage around = decoded(blocksAsJpeg(picture, blocks, grid, context), coding.grey);
    const QPoint offset = box.topLeft() - context.topLeft();

    GpImage canvas;
    canvas.width = UINT(box.width());
    canvas.height = UINT(box.height());
    canvas.pixelFormat = coding.grey ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    canvas.pixels = around.copy(QRect(offset, box.size()));
    if (canvas.pixels.isNull())
        throw JpegSession::Failed{};
    {
        GpGraphics* graphics = nullptr;
        if (GpGraphics::onImage(&canvas, &graphics) != Ok)
            throw JpegSession::Failed{};
        const std::unique_ptr<GpGraphics> surface(graphics);
        if (surface->drawImage(mark, destination.translated(-box.x(), -box.y()), source) != Ok)
            throw JpegSession::Failed{};
    }

    QByteArray redrawn;
    QBuffer buffer(&redrawn);
    buffer.open(QIODevice::WriteOnly);
    if (!coding.encode(canvas.pixels, &buffer))
        throw JpegSession::Failed{};
    buffer.close();
    JpegSession::Reading reading(redrawn);
    jpeg_read_header(&reading.info, TRUE);
    const JpegCoefficients redrawnBlocks = coefficientsOf(reading.info);
    const JpegMcuCopy back{reinterpret_cast<j_common_ptr>(&reading.info),
                           redrawnBlocks,
                           QPoint(),
                           reinterpret_cast<j_common_ptr>(&picture),
                           blocks,
                           QPoint(box.x() / grid.mcuWidth, box.y() / grid.mcuHeight)};
    // MCUs the mark left as they were keep the photograph's blocks: no round trip at all.
    QRect changed;
    for (int y = 0; y < grid.rows(box); ++y) {
        for (int x = 0; x < grid.columns(box); ++x) {
            const QRect mcu =
                QRect(x * grid.mcuWidth, y * grid.mcuHeight, grid.mcuWidth, grid.mcuHeight)
                    .intersected(QRect(QPoint(), box.size()));
            if (samePixels(around, offset, canvas.pixels, mcu))
                continue;
            back(picture.comp_info, picture.num_components, QRect(x, y, 1, 1));
            changed |= QRect(back.toMcu.x() + x, back.toMcu.y() + y, 1, 1);
        }
    }
    jpeg_finish_decompress(&reading.info);
    return changed;
}

std::uint64_t JpegMcuStamping::bytesHeld(const QRect& area, bool everyRow) const {
    const QRect all(0, 0, grid.width, grid.height);
    std::uint64_t blocksPerMcu = 0;
    for (int c = 0; c < picture.num_components; ++c)
        blocksPerMcu += std::uint64_t(picture.comp_info[c].h_samp_factor) *
                        std::uint64_t(picture.comp_info[c].v_samp_factor);
    const auto blockBytes = [&](const QRect& r) {
        return std::uint64_t(grid.columns(r)) * std::uint64_t(grid.rows(r)) * blocksPerMcu *
               sizeof(JBLOCK);
    };
    const QRect context = grid.widened(area, 1);
    const std::uint64_t pixelBytes = coding.grey ? 4 : 3; // see decoded()
    // The picture's blocks are held only in the rows around the context (see JpegScanWalk);
    // the others' memory is never touched.
    const QRect rows =
        everyRow ? all : grid.widened(QRect(0, context.top(), all.width(), context.height()), 1);
    return blockBytes(rows) + blockBytes(context) +
           2 * std::uint64_t(context.width()) * std::uint64_t(context.height()) * pixelBytes;
}

JpegCoefficients JpegMcuStamping::coefficientsOf(jpeg_decompress_struct& info) {
    JpegCoefficients result{};
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    if (arrays == nullptr)
        throw JpegSession::Failed{};
    std::copy_n(arrays, info.num_components, result.begin());
    return result;
}
