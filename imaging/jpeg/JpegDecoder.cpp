#include "imaging/jpeg/JpegDecoder.h"

#include "imaging/ImageAllocator.h"

#include <QTransform>

#include <turbojpeg.h>

#include <memory>

namespace {

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

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
    const Handle handle(tjInitDecompress());
    if (!handle)
        return OutOfMemory;
    const auto* data = reinterpret_cast<const unsigned char*>(encoded.constData());
    const auto size = static_cast<unsigned long>(encoded.size());
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling,
                            &colourSpace) != 0)
        return GenericError;
    if (width <= 0 || height <= 0)
        return GenericError;
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels)
        return OutOfMemory;

    if (reduceTo.isValid()) {
        if (orientation & QImageIOHandler::TransformationRotate90)
            reduceTo.transpose();
        int factors = 0;
        const tjscalingfactor* scales = tjGetScalingFactors(&factors);
        int bestWidth = width, bestHeight = height;
        for (int i = 0; scales != nullptr && i < factors; ++i) {
            if (scales[i].num > scales[i].denom)
                continue;
            const int w = TJSCALED(width, scales[i]);
            const int h = TJSCALED(height, scales[i]);
            if (w >= reduceTo.width() && h >= reduceTo.height() && w < bestWidth)
                bestWidth = w, bestHeight = h;
        }
        width = bestWidth;
        height = bestHeight;
    }
    QImage::Format format = QImage::Format_RGB888;
    int tjFormat = TJPF_RGB;
    if (isThirtyTwoBit(drawnInto)) {
        format = QImage::Format_RGB32;
        tjFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB; // 0xffRRGGBB words
    }
    if (colourSpace == TJCS_GRAY) {
        format = QImage::Format_Grayscale8;
        tjFormat = TJPF_GRAY;
    } else if (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK) {
        format = QImage::Format_RGB32; // four bytes a pixel: the CMYK rows fit as they are
        tjFormat = TJPF_CMYK;
    }
    // The decoder writes every row before the picture is used (a failed decode is dropped).
    QImage image =
        ImageAllocator::allocate(QSize(width, height), format, ImageAllocator::Contents::Undefined);
    if (image.isNull())
        return OutOfMemory;
    if (tjDecompress2(handle.get(), data, size, image.bits(), width, int(image.bytesPerLine()),
                      height, tjFormat, TJFLAG_STOPONWARNING) != 0)
        return GenericError;
    const bool profiled = tjFormat == TJPF_CMYK && profile != nullptr &&
                          profile->kind() == ColourProfile::Kind::Cmyk && profile->toSrgb(image);
    if (colour != nullptr)
        *colour = {tjFormat == TJPF_CMYK, profiled};
    if (tjFormat == TJPF_CMYK && !profiled)
        cmykToRgbInPlace(image);
    *pixels = oriented(std::move(image), orientation);
    return pixels->isNull() ? OutOfMemory : Ok;
}
