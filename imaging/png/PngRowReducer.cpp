#include "imaging/png/PngRowReducer.h"

#include "imaging/ImageAllocator.h"
#include "imaging/PixelFormatMap.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct Source {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (count > source->size - source->at)
        png_error(png, "cut short");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

void ignoreWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp: each step that may fail runs in a function of its own
// whose locals are plain values, so the jump skips no destructor.
struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source source{};

    explicit Reader(const QByteArray& bytes) {
        source = {reinterpret_cast<const unsigned char*>(bytes.constData()),
                  std::size_t(bytes.size()), 0};
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
        if (png)
            info = png_create_info_struct(png);
        if (info)
            png_set_read_fn(png, &source, readFromMemory);
    }
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
};

// Reads the header; sets the 8-bit transforms when the picture is one this class reduces.
PixelFormat readHeader(png_structp png, png_infop info, int* passes) {
    if (setjmp(png_jmpbuf(png)))
        return PixelFormatUndefined;
    png_read_info(png, info);
    if (png_get_bit_depth(png, info) != 16)
        return PixelFormatUndefined;
    const int colourType = png_get_color_type(png, info);
    const bool key = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    PixelFormat format = PixelFormat32bppARGB;
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
        if (key)
            png_set_tRNS_to_alpha(png);
        else
            format = PixelFormat24bppRGB;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        break;
    default:
        // 16-bit grey takes two bytes a pixel in Qt's layout: nothing to gain.
        return PixelFormatUndefined;
    }
    png_set_scale_16(png);
    if (format == PixelFormat32bppARGB)
        png_set_bgr(png); // ARGB32 words are B, G, R, A in memory on little-endian machines
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return format;
}

bool readRows(png_structp png, unsigned char* bits, std::size_t stride, png_uint_32 height,
              int passes) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    // An interlaced picture's later passes fill in the rows the earlier ones began.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, bits + y * stride, nullptr);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

PixelFormat PngRowReducer::reducedFormat(const QByteArray& png) {
    Reader reader(png);
    int passes = 1;
    return reader.info ? readHeader(reader.png, reader.info, &passes) : PixelFormatUndefined;
}

GpStatus PngRowReducer::read(const QByteArray& png, QImage* image) {
    Reader reader(png);
    if (!reader.info)
        return OutOfMemory;
    int passes = 1;
    const PixelFormat format = readHeader(reader.png, reader.info, &passes);
    if (format == PixelFormatUndefined)
        return GenericError;
    const png_uint_32 width = png_get_image_width(reader.png, reader.info);
    const png_uint_32 height = png_get_image_height(reader.png, reader.info);
    QImage pixels = ImageAllocator::allocate(QSize(int(width), int(height)),
                                             PixelFormatMap::storageFormat(format),
                                             ImageAllocator::Contents::Zeroed);
    if (pixels.isNull())
        return OutOfMemory;
    if (png_get_rowbytes(reader.png, reader.info) > std::size_t(pixels.bytesPerLine()) ||
        !readRows(reader.png, pixels.bits(), std::size_t(pixels.bytesPerLine()), height, passes))
        return GenericError;
    *image = std::move(pixels);
    return Ok;
}
