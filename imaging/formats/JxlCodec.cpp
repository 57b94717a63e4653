#include "imaging/formats/JxlCodec.h"

#include <QIODevice>

#include <jxl/codestream_header.h>
#include <jxl/color_encoding.h>
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/types.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
using Decoder = std::unique_ptr<JxlDecoder, DecoderDeleter>;

struct EncoderDeleter {
    void operator()(JxlEncoder* encoder) const { JxlEncoderDestroy(encoder); }
};
using Encoder = std::unique_ptr<JxlEncoder, EncoderDeleter>;

constexpr char kHdrRefusal[] = "a picture for HDR displays (PQ or HLG)";

// libjxl's default. For a 12 MP photo-like picture on one thread, lossy at distance 1: effort 5
// saves a quarter of the 2.7 s for the same 1.81 MB, effort 3 takes 0.5 s but looks worse.
// Lossless: 35 s for 17.5 MB, where effort 3 takes 2.5 s for 18.4 MB; but for a 12 MP
// screenshot effort 3 writes 1.5 MB where effort 7 writes 0.3 MB in 6.6 s: photographs are
// what is stamped, and 35 s a copy would hold a batch for hours.
constexpr int kEffort = 7;
constexpr int kLosslessEffort = 3;

const std::uint8_t* bytesOf(const QByteArray& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

// A decoder over the whole file: running out of input then means the file is cut short.
Decoder openDecoder(const QByteArray& file, int events, bool keepOrientation) {
    const std::uint8_t* data = bytesOf(file);
    const auto size = static_cast<std::size_t>(file.size());
    const JxlSignature signature = JxlSignatureCheck(data, size);
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)
        return nullptr;
    Decoder decoder(JxlDecoderCreate(nullptr));
    if (!decoder)
        return nullptr;
    JxlDecoder* dec = decoder.get();
    // Qt's 8-bit and 64-bit formats used here hold unassociated alpha.
    if (JxlDecoderSubscribeEvents(dec, events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(dec, keepOrientation ? JXL_TRUE : JXL_FALSE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, data, size) != JXL_DEC_SUCCESS)
        return nullptr;
    JxlDecoderCloseInput(dec);
    return decoder;
}

bool isHdrTransfer(JxlTransferFunction transfer) {
    return transfer == JXL_TRANSFER_FUNCTION_PQ || transfer == JXL_TRANSFER_FUNCTION_HLG;
}

// Grey pictures come out as RGB: grey with the sRGB curve is sRGB as well.
bool isSrgb(const JxlColorEncoding& colour) {
    if (colour.white_point != JXL_WHITE_POINT_D65 ||
        colour.transfer_function != JXL_TRANSFER_FUNCTION_SRGB)
        return false;
    return colour.color_space == JXL_COLOR_SPACE_GRAY ||
           (colour.color_space == JXL_COLOR_SPACE_RGB && colour.primaries == JXL_PRIMARIES_SRGB);
}

// A lossy picture is stored in libjxl's own colours, and for a profile it cannot describe the
// decoder would pick linear sRGB, which bands at 8 bits and clips wide-gamut colours. The sRGB
// curve over Rec. 2020 primaries keeps both; its profile then goes with the pixels. Must be
// called at the colour event, before the pixels' colours are asked for.
void chooseOutputColours(JxlDecoder* dec, const JxlBasicInfo& info) {
    if (info.uses_original_profile)
        return;
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                           nullptr) == JXL_DEC_SUCCESS)
        return;
    JxlColorEncoding wanted;
    JxlColorEncodingSetToSRGB(&wanted, info.num_color_channels == 1 ? JXL_TRUE : JXL_FALSE);
    if (info.num_color_channels != 1)
        wanted.primaries = JXL_PRIMARIES_2100;
    // Refused, the decoder keeps its own choice, which the profile asked for next describes.
    JxlDecoderSetPreferredColorProfile(dec, &wanted);
}

// The profile of the decoded pixels: empty for sRGB, and when the decoder cannot give one.
QByteArray outputProfile(JxlDecoder* dec) {
    JxlColorEncoding colour;
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &colour) ==
            JXL_DEC_SUCCESS &&
        isSrgb(colour))
        return {};
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > static_cast<std::size_t>(INT32_MAX))
        return {};
    QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<std::uint8_t*>(icc.data()),
                                       size) != JXL_DEC_SUCCESS)
        return {};
    return icc;
}

bool isHdr(JxlDecoder* dec) {
    for (const JxlColorProfileTarget target :
         {JXL_COLOR_PROFILE_TARGET_ORIGINAL, JXL_COLOR_PROFILE_TARGET_DATA}) {
        JxlColorEncoding colour;
        if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, target, &colour) == JXL_DEC_SUCCESS &&
            isHdrTransfer(colour.transfer_function))
            return true;
    }
    return false;
}

// The deepest sample the picture stores, colour or alpha.
std::uint32_t deepestSample(const JxlBasicInfo& info) {
    return std::max(info.bits_per_sample, info.alpha_bits);
}

GpStatus decodeFile(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                    bool eightBits) {
    Decoder decoder =
        openDecoder(file, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE, false);
    if (!decoder)
        return GenericError;
    JxlDecoder* dec = decoder.get();
    JxlBasicInfo info{};
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool deep = false;
    QImage image;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS)
                return GenericError;
            width = info.xsize;
            height = info.ysize;
            // The decoder turns the picture and gives the turned size; should it only report
            // the turn, the size is still the stored one.
            if (info.orientation >= JXL_ORIENT_TRANSPOSE)
                std::swap(width, height);
            if (width == 0 || height == 0)
                return GenericError;
            if (std::uint64_t{width} * height > maxPixels || width > INT32_MAX ||
                height > INT32_MAX)
                return OutOfMemory;
            deep = !eightBits && deepestSample(info) > 8;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            chooseOutputColours(dec, info);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            const bool alpha = info.alpha_bits > 0;
            const QImage::Format format =
                deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                     : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
            image = QImage(static_cast<int>(width), static_cast<int>(height), format);
            if (image.isNull())
                return OutOfMemory;
            // Without alpha the decoder fills the fourth sample opaque, as RGBX wants.
            const JxlPixelFormat pixelFormat{4, deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8,
                                             JXL_NATIVE_ENDIAN,
                                             static_cast<std::size_t>(image.bytesPerLine())};
            std::size_t needed = 0;
            if (JxlDecoderImageOutBufferSize(dec, &pixelFormat, &needed) != JXL_DEC_SUCCESS ||
                needed > static_cast<std::size_t>(image.sizeInBytes()))
                return GenericError;
            if (JxlDecoderSetImageOutBuffer(dec, &pixelFormat, image.bits(),
                                            static_cast<std::size_t>(image.sizeInBytes())) !=
                JXL_DEC_SUCCESS)
                return GenericError;
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            // Only the first frame: later ones are an animation's.
            if (image.isNull())
                return GenericError;
            if (!deep) {
                image.convertTo(info.alpha_bits > 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
                if (image.isNull())
                    return OutOfMemory;
            }
            *pixels = std::move(image);
            return Ok;
        case JXL_DEC_NEED_MORE_INPUT: // the whole file was given: it is cut short
        case JXL_DEC_SUCCESS:         // it ended without a frame
        case JXL_DEC_ERROR:
            return GenericError;
        default:
            break;
        }
    }
}

bool readFileHeader(const QByteArray& file, CodecHeader* header) {
    // The stored size and the turn, which are then applied here.
    Decoder decoder =
        openDecoder(file, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME, true);
    if (!decoder)
        return false;
    JxlDecoder* dec = decoder.get();
    JxlBasicInfo info{};
    CodecHeader result;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS || info.xsize == 0 ||
                info.ysize == 0)
                return false;
            const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
            result.width = turned ? info.ysize : info.xsize;
            result.height = turned ? info.xsize : info.ysize;
            result.alpha = info.alpha_bits > 0;
            // Shallower samples are decoded at 8 bits.
            result.bitsPerSample =
                static_cast<int>(std::max<std::uint32_t>(8, deepestSample(info)));
            // libjxl codes lossless pictures in their own colours, never through XYB; a lossy
            // one in its own colours (as our copies of wide-gamut pictures are) counts too,
            // which costs a WebP copy of it only its size.
            result.lossless = info.uses_original_profile != JXL_FALSE;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            chooseOutputColours(dec, info);
            result.icc = outputProfile(dec);
            result.refusal = isHdr(dec) ? kHdrRefusal : nullptr;
            break;
        case JXL_DEC_FRAME:
            // The first frame's header read as well: what decode needs before any pixel.
            *header = std::move(result);
            return true;
        case JXL_DEC_NEED_MORE_INPUT:
        case JXL_DEC_SUCCESS:
        case JXL_DEC_ERROR:
            // A size already read still tells the caller of a picture over the limit.
            header->width = result.width;
            header->height = result.height;
            return false;
        default:
            break;
        }
    }
}

bool holdsDeepSamples(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        return true;
    default:
        return false;
    }
}

// cjxl's scale: 90 is distance 1, 100 the least loss short of lossless.
float distanceOf(int quality) {
    // Where the caller chose none: at least as close to the photograph as a JPEG copy at 90,
    // in fewer bytes. Measured on a 12 MP photo-like picture (mean SSIM of luma, 8 x 8
    // windows): JPEG at 90 0.9900 in 1.45 MB; 93 here (distance 0.73) 0.9915 in 0.88 MB;
    // libjxl's default distance 1 0.9884 in 0.58 MB. At 92 a light colour 8 pixels beside a
    // mark came out 2.9 dE2000 off, where a JPEG copy stays under 2.5.
    if (quality <= 0)
        quality = 93;
    const double q = std::min(quality, 100);
    const double distance =
        q >= 30 ? 0.1 + (100 - q) * 0.09 : 6.4 + std::pow(2.5, (30 - q) / 5.0) / 6.25;
    // The most libjxl accepts.
    return static_cast<float>(std::min(distance, 25.0));
}

// The Exif box holds the offset of the TIFF header within it, then the TIFF structure.
QByteArray exifBox(const QByteArray& exif) {
    QByteArray tiff = exif;
    if (tiff.startsWith(QByteArrayLiteral("Exif\0\0")))
        tiff.remove(0, 6);
    // Anything else would be misread by every reader of the box.
    if (!tiff.startsWith(QByteArrayLiteral("II*\0")) &&
        !tiff.startsWith(QByteArrayLiteral("MM\0*")))
        return {};
    return QByteArray(4, '\0') + tiff;
}

bool writeOutput(JxlEncoder* enc, QIODevice* device) {
    std::vector<std::uint8_t> chunk(std::size_t{1} << 18);
    for (;;) {
        std::uint8_t* next = chunk.data();
        std::size_t available = chunk.size();
        const JxlEncoderStatus status = JxlEncoderProcessOutput(enc, &next, &available);
        const auto produced = static_cast<qint64>(chunk.size() - available);
        if (produced > 0 &&
            device->write(reinterpret_cast<const char*>(chunk.data()), produced) != produced)
            return false;
        if (status == JXL_ENC_SUCCESS)
            return true;
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            return false;
    }
}

bool encodeImage(const QImage& prepared, QIODevice* device, int quality, bool lossless,
                 const JxlCodec::Records& records) {
    const bool deep = holdsDeepSamples(prepared.format());
    const bool alpha = prepared.hasAlphaChannel();
    const QImage::Format format = deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                       : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const QImage image = prepared.format() == format ? prepared : prepared.convertToFormat(format);
    if (image.isNull())
        return false;
    const auto width = static_cast<std::uint32_t>(image.width());
    const auto height = static_cast<std::uint32_t>(image.height());

    Encoder encoder(JxlEncoderCreate(nullptr));
    if (!encoder)
        return false;
    JxlEncoder* enc = encoder.get();

    const QByteArray exif = records.exif.isEmpty() ? QByteArray() : exifBox(records.exif);
    const bool boxes = !exif.isEmpty() || !records.xmp.isEmpty();
    if (boxes && (JxlEncoderUseContainer(enc, JXL_TRUE) != JXL_ENC_SUCCESS ||
                  JxlEncoderUseBoxes(enc) != JXL_ENC_SUCCESS))
        return false;

    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = width;
    info.ysize = height;
    info.bits_per_sample = deep ? 16 : 8;
    info.num_color_channels = 3;
    if (alpha) {
        info.alpha_bits = info.bits_per_sample;
        info.num_extra_channels = 1;
    }
    // sRGB pictures are coded through XYB. Those in a profile of their own keep their colours:
    // through XYB and back into BT.2020 at distance 1, an sRGB red mark on a P3 photograph
    // came out 2.5-3.5 dE2000 off, in the picture's own colours under 1.
    info.uses_original_profile = lossless || !records.icc.isEmpty() ? JXL_TRUE : JXL_FALSE;
    if (JxlEncoderSetBasicInfo(enc, &info) != JXL_ENC_SUCCESS)
        return false;
    // Pictures of more than 2^28 pixels, or 262144 a side.
    const int level = JxlEncoderGetRequiredCodestreamLevel(enc);
    if (level < 0 || (level == 10 && JxlEncoderSetCodestreamLevel(enc, 10) != JXL_ENC_SUCCESS))
        return false;

    if (records.icc.isEmpty()) {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        if (JxlEncoderSetColorEncoding(enc, &srgb) != JXL_ENC_SUCCESS)
            return false;
    } else if (JxlEncoderSetICCProfile(enc, bytesOf(records.icc),
                                       static_cast<std::size_t>(records.icc.size())) !=
               JXL_ENC_SUCCESS) {
        return false;
    }

    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (settings == nullptr ||
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT,
                                         lossless ? kLosslessEffort : kEffort) != JXL_ENC_SUCCESS)
        return false;
    if (lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS
                 : JxlEncoderSetFrameDistance(settings, distanceOf(quality)) != JXL_ENC_SUCCESS)
        return false;

    // libjxl writes the records ahead of the frame, where readers that stop early find them.
    if (!exif.isEmpty() &&
        JxlEncoderAddBox(enc, "Exif", bytesOf(exif), static_cast<std::size_t>(exif.size()),
                         JXL_FALSE) != JXL_ENC_SUCCESS)
        return false;
    if (!records.xmp.isEmpty() && JxlEncoderAddBox(enc, "xml ", bytesOf(records.xmp),
                                                   static_cast<std::size_t>(records.xmp.size()),
                                                   JXL_FALSE) != JXL_ENC_SUCCESS)
        return false;
    if (boxes)
        JxlEncoderCloseBoxes(enc);

    JxlEncoderStatus added = JXL_ENC_ERROR;
    if (deep && !alpha) {
        // libjxl takes four samples only with an alpha channel, and Qt has no 48-bit format.
        std::vector<std::uint16_t> rgb(std::size_t{width} * height * 3);
        std::uint16_t* out = rgb.data();
        for (std::uint32_t y = 0; y < height; ++y) {
            const auto* in =
                reinterpret_cast<const std::uint16_t*>(image.constScanLine(static_cast<int>(y)));
            for (std::uint32_t x = 0; x < width; ++x, in += 4, out += 3)
                std::memcpy(out, in, 3 * sizeof(std::uint16_t));
        }
        const JxlPixelFormat pixelFormat{3, JXL_TYPE_UINT16, JXL_NATIVE_ENDIAN, 0};
        added = JxlEncoderAddImageFrame(settings, &pixelFormat, rgb.data(),
                                        rgb.size() * sizeof(std::uint16_t));
    } else {
        const JxlPixelFormat pixelFormat{alpha || deep ? 4u : 3u,
                                         deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN,
                                         static_cast<std::size_t>(image.bytesPerLine())};
        added = JxlEncoderAddImageFrame(settings, &pixelFormat, image.constBits(),
                                        static_cast<std::size_t>(image.sizeInBytes()));
    }
    if (added != JXL_ENC_SUCCESS)
        return false;
    JxlEncoderCloseFrames(enc);
    return writeOutput(enc, device);
}

} // namespace

bool JxlCodec::sniffs(const QByteArray& head) {
    static const char kCodestream[] = "\xFF\x0A";
    static const char kContainer[] = "\x00\x00\x00\x0C\x4A\x58\x4C\x20\x0D\x0A\x87\x0A";
    return head.startsWith(QByteArray::fromRawData(kCodestream, 2)) ||
           head.startsWith(QByteArray::fromRawData(kContainer, 12));
}

bool JxlCodec::readHeader(const QByteArray& file, CodecHeader* header) {
    if (header == nullptr)
        return false;
    try {
        return readFileHeader(file, header);
    } catch (...) {
        return false;
    }
}

GpStatus JxlCodec::decode(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                          bool eightBits) {
    if (pixels == nullptr)
        return InvalidParameter;
    try {
        return decodeFile(file, pixels, maxPixels, eightBits);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

bool JxlCodec::encode(const QImage& prepared, QIODevice* device, int quality, bool lossless,
                      const Records& records) {
    if (prepared.isNull() || device == nullptr || !device->isWritable())
        return false;
    try {
        return encodeImage(prepared, device, quality, lossless, records);
    } catch (...) {
        return false;
    }
}
