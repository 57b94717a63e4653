#include "imaging/formats/HeifCodec.h"

#include "imaging/colour/ColourProfile.h"

#include <QIODevice>

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace {

// Quality where the caller chose none: at least as close to the photograph as a JPEG copy at
// 90, in fewer bytes. Measured on a 12 MP photo-like picture (mean SSIM of luma, 8 x 8
// windows): JPEG at 90 0.9900 in 1.45 MB; HEVC at 57 0.9907 in 0.98 MB (80 was 0.9986 in
// 3.95 MB); AV1 at 95 0.9916 in 1.42 MB (75 was 0.9822 in 0.20 MB, 94 0.9899).
constexpr int kDefaultQuality[2] = {/*HEVC*/ 57, /*AV1*/ 95};

// Encoder speed. On one core for that picture libheif's defaults took 9.8 s (AV1) and 28.9 s
// (HEVC); the "fast" preset takes 6.3 s. For AV1 at 95 on a photo decoded from a JPEG, speed 8
// took 0.9 s for 1.86 MB (SSIM 0.9941) and speed 7 1.8 s for 1.31 MB (0.9969); libvips at the
// same quality took 13 s for 1.38 MB.
constexpr int kAv1Speed = 7;
constexpr const char* kHevcPreset = "fast";

// The longest side HEIF's image size box can state.
constexpr int kLargestSide = 1 << 30;

struct ContextCloser {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
using Context = std::unique_ptr<heif_context, ContextCloser>;
struct HandleCloser {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleCloser>;
struct ImageCloser {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
using Image = std::unique_ptr<heif_image, ImageCloser>;
struct EncoderCloser {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
using Encoder = std::unique_ptr<heif_encoder, EncoderCloser>;

bool brandIs(const char* brand, const char* const* names) {
    for (; *names != nullptr; ++names)
        if (std::memcmp(brand, *names, 4) == 0)
            return true;
    return false;
}

// The brands of an 'ftyp' box at the start of head: the major one, then the compatible ones.
template <class Visit> bool anyBrand(const QByteArray& head, Visit visit) {
    if (head.size() < 16 || std::memcmp(head.constData() + 4, "ftyp", 4) != 0)
        return false;
    const auto* d = reinterpret_cast<const unsigned char*>(head.constData());
    const std::uint32_t box =
        std::uint32_t(d[0]) << 24 | std::uint32_t(d[1]) << 16 | std::uint32_t(d[2]) << 8 | d[3];
    const std::uint32_t end = std::min<std::uint32_t>(box, std::uint32_t(head.size()));
    if (visit(head.constData() + 8))
        return true;
    for (std::uint32_t at = 16; at + 4 <= end; at += 4)
        if (visit(head.constData() + at))
            return true;
    return false;
}

const char* const kAvifBrands[] = {"avif", "avis", nullptr};
const char* const kHeifBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                   "mif1", "msf1", "avif", "avis", nullptr};

// Reference counted by libheif and never ended: the plugins stay loaded for the process.
void start() {
    static const bool started = [] { return heif_init(nullptr).code == heif_error_Ok; }();
    (void)started;
}

Context open(const QByteArray& file) {
    start();
    Context context(heif_context_alloc());
    if (!context)
        return context;
    // libheif refuses a side over this as damaged; the library's own limit on pixels, checked
    // before any decoding, then refuses the larger pictures as too large.
    heif_context_set_maximum_image_size_limit(context.get(), kLargestSide);
    // The tiles of a grid (how phones store a photo) one after the other: libheif 1.15's tiles
    // decoded side by side now and then come out wrong (a tile of another colour, seen in one
    // of our test runs on a busy machine). The batch runs pictures side by side instead.
    heif_context_set_max_decoding_threads(context.get(), 0);
    const heif_error read = heif_context_read_from_memory_without_copy(
        context.get(), file.constData(), std::size_t(file.size()), nullptr);
    if (read.code != heif_error_Ok)
        context.reset();
    return context;
}

Handle primary(heif_context* context) {
    heif_image_handle* handle = nullptr;
    if (heif_context_get_primary_image_handle(context, &handle).code != heif_error_Ok)
        return Handle();
    return Handle(handle);
}

// The profile of a coded colour description; empty for sRGB and unnamed colours.
QByteArray profileOf(const heif_color_profile_nclx& nclx, CodecHeader* header) {
    using Transfer = ColourProfile::Transfer;
    Transfer transfer = Transfer::Srgb;
    switch (nclx.transfer_characteristics) {
    case heif_transfer_characteristic_ITU_R_BT_709_5:
    case heif_transfer_characteristic_ITU_R_BT_601_6:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
        transfer = Transfer::Bt709;
        break;
    case heif_transfer_characteristic_linear:
        transfer = Transfer::Linear;
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        transfer = Transfer::Gamma22;
        break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        transfer = Transfer::Gamma28;
        break;
    case heif_transfer_characteristic_ITU_R_BT_2100_0_PQ:
    case heif_transfer_characteristic_ITU_R_BT_2100_0_HLG:
        header->refusal = "a picture for HDR displays (PQ or HLG), which cannot be shown as it "
                          "should be";
        return {};
    default:
        break;
    }
    const bool srgbPrimaries = nclx.color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                               nclx.color_primaries == heif_color_primaries_unspecified;
    if (srgbPrimaries && transfer == Transfer::Srgb)
        return {};
    const float xy[8] = {nclx.color_primary_red_x,   nclx.color_primary_red_y,
                         nclx.color_primary_green_x, nclx.color_primary_green_y,
                         nclx.color_primary_blue_x,  nclx.color_primary_blue_y,
                         nclx.color_primary_white_x, nclx.color_primary_white_y};
    return ColourProfile::describing(xy, transfer);
}

// The first metadata block of a type ("Exif", or "mime" for XMP), as stored.
QByteArray metadataOf(const heif_image_handle* handle, const char* type) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, type, &id, 1) < 1)
        return {};
    if (std::strcmp(type, "mime") == 0) {
        const char* content = heif_image_handle_get_metadata_content_type(handle, id);
        if (content == nullptr || std::strcmp(content, "application/rdf+xml") != 0)
            return {};
    }
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    // Records larger than this are no camera's: a file could claim gigabytes.
    if (size == 0 || size > (std::size_t(16) << 20))
        return {};
    QByteArray block(qsizetype(size), '\0');
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    return block;
}

// libheif gives deeper samples at their own depth, in the low bits: 16-bit ones fill the range.
void widen(QImage& image, int bits) {
    if (bits >= 16 || bits <= 8)
        return;
    const int up = 16 - bits;
    const int down = bits - up;
    for (int y = 0; y < image.height(); ++y) {
        auto* sample = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
        for (int k = 0; k < image.width() * 4; ++k)
            sample[k] = std::uint16_t(sample[k] << up | sample[k] >> std::max(down, 0));
    }
}

} // namespace

bool HeifCodec::sniffs(const QByteArray& head) {
    return anyBrand(head, [](const char* brand) { return brandIs(brand, kHeifBrands); });
}

HeifCodec::Coding HeifCodec::codingOf(const QByteArray& head) {
    return anyBrand(head, [](const char* brand) { return brandIs(brand, kAvifBrands); })
               ? Coding::Av1
               : Coding::Hevc;
}

bool HeifCodec::readHeader(const QByteArray& file, CodecHeader* header) {
    const Context context = open(file);
    if (!context)
        return false;
    const Handle handle = primary(context.get());
    if (!handle)
        return false;
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return false;
    *header = CodecHeader();
    header->width = std::uint32_t(width);
    header->height = std::uint32_t(height);
    header->alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    header->bitsPerSample = std::max(8, heif_image_handle_get_luma_bits_per_pixel(handle.get()));
    header->exif = metadataOf(handle.get(), "Exif");
    header->xmp = metadataOf(handle.get(), "mime");
    // The EXIF block starts with the offset of its TIFF header.
    if (header->exif.size() >= 4) {
        const auto* d = reinterpret_cast<const unsigned char*>(header->exif.constData());
        const std::uint32_t offset =
            std::uint32_t(d[0]) << 24 | std::uint32_t(d[1]) << 16 | std::uint32_t(d[2]) << 8 | d[3];
        header->exif = offset <= std::uint32_t(header->exif.size() - 4)
                           ? header->exif.mid(4 + qsizetype(offset))
                           : QByteArray();
    }
    switch (heif_image_handle_get_color_profile_type(handle.get())) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle.get());
        QByteArray icc(qsizetype(size), '\0');
        if (size > 0 &&
            heif_image_handle_get_raw_color_profile(handle.get(), icc.data()).code == heif_error_Ok)
            header->icc = std::move(icc);
        break;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle.get(), &nclx).code == heif_error_Ok &&
            nclx != nullptr)
            header->icc = profileOf(*nclx, header);
        heif_nclx_color_profile_free(nclx);
        break;
    }
    default:
        break;
    }
    return true;
}

GpStatus HeifCodec::decode(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                           bool eightBits) {
    const Context context = open(file);
    const Handle handle = context ? primary(context.get()) : Handle();
    if (!handle)
        return GenericError;
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return GenericError;
    if (std::uint64_t(width) * std::uint64_t(height) > maxPixels)
        return OutOfMemory;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool deep = bits > 8 && !eightBits;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;

    heif_decoding_options* options = heif_decoding_options_alloc();
    if (options == nullptr)
        return OutOfMemory;
    // Damaged data is an error, not a warning on a picture stamped as if whole.
    options->strict_decoding = 1;
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(
        handle.get(), &decoded, heif_colorspace_RGB,
        deep ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RGBA, options);
    heif_decoding_options_free(options);
    const Image image(decoded);
    if (error.code == heif_error_Memory_allocation_error)
        return OutOfMemory;
    if (error.code != heif_error_Ok || !image)
        return GenericError;
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr || heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != height)
        return GenericError;

    // A colour description only in the coded stream (HEVC's, as libheif 1.15 writes it) is
    // seen once decoded: the pixels are then shown as it says, in sRGB; an HDR one refused.
    QByteArray streamIcc;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_color_profile_type(handle.get()) ==
            heif_color_profile_type_not_present &&
        heif_image_get_nclx_color_profile(image.get(), &nclx).code == heif_error_Ok &&
        nclx != nullptr) {
        CodecHeader stream;
        streamIcc = profileOf(*nclx, &stream);
        heif_nclx_color_profile_free(nclx);
        if (stream.refusal != nullptr)
            return UnknownImageFormat;
    }

    QImage out(width, height, deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (out.isNull())
        return OutOfMemory;
    const std::size_t row = std::size_t(width) * (deep ? 8 : 4);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.scanLine(y), plane + std::size_t(y) * std::size_t(stride), row);
    if (deep)
        widen(out, heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved));
    // Converted in place: the same memory, Qt's layouts for the rest of the library.
    if (deep)
        out.convertTo(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    else
        out.convertTo(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull())
        return OutOfMemory;
    if (!streamIcc.isEmpty()) {
        const std::shared_ptr<const ColourProfile> profile = ColourProfile::from(streamIcc);
        if (!profile || !profile->toSrgb(out))
            return GenericError;
    }
    *pixels = std::move(out);
    return Ok;
}

bool HeifCodec::canEncode(Coding coding) {
    start();
    return heif_have_encoder_for_format(coding == Coding::Av1 ? heif_compression_AV1
                                                              : heif_compression_HEVC) != 0;
}

bool HeifCodec::encode(const QImage& prepared, QIODevice* device, Coding coding, int quality,
                       bool lossless, const Records& records) {
    start();
    const Context context(heif_context_alloc());
    if (!context)
        return false;
    heif_encoder* made = nullptr;
    const heif_compression_format format =
        coding == Coding::Av1 ? heif_compression_AV1 : heif_compression_HEVC;
    if (heif_context_get_encoder_for_format(context.get(), format, &made).code != heif_error_Ok)
        return false;
    const Encoder encoder(made);
    if (lossless)
        heif_encoder_set_lossless(encoder.get(), 1);
    else
        heif_encoder_set_lossy_quality(
            encoder.get(), quality > 0 ? quality : kDefaultQuality[coding == Coding::Av1]);
    // One thread a picture: the run stamps as many pictures at once as it has cores. Encoders
    // that do not know a parameter ignore it.
    heif_encoder_set_parameter_integer(encoder.get(), "threads", 1);
    heif_encoder_set_parameter_integer(encoder.get(), "speed", kAv1Speed);
    heif_encoder_set_parameter_string(encoder.get(), "preset", kHevcPreset);
    heif_encoder_set_parameter_string(encoder.get(), "x265:pools", "1");
    heif_encoder_set_parameter_string(encoder.get(), "x265:frame-threads", "1");

    const bool deep = prepared.depth() == 64;
    const bool alpha = prepared.hasAlphaChannel();
    const QImage rows =
        prepared.convertToFormat(deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                      : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888));
    if (rows.isNull())
        return false;
    const int width = rows.width();
    const int height = rows.height();
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* created = nullptr;
    if (heif_image_create(width, height, heif_colorspace_RGB, chroma, &created).code !=
        heif_error_Ok)
        return false;
    const Image image(created);
    // Deeper pictures keep more than 8 bits: 10 for HEVC, 12 for AV1, whose 10-bit encoding
    // through libheif 1.15 and libaom 3.6 aborts the process.
    const int bits = deep ? (coding == Coding::Av1 ? 12 : 10) : 8;
    const std::uint32_t top = (1u << bits) - 1;
    if (heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, bits).code !=
        heif_error_Ok)
        return false;
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr)
        return false;
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* to = plane + std::size_t(y) * std::size_t(stride);
        const uchar* from = rows.constScanLine(y);
        if (!deep) {
            std::memcpy(to, from, std::size_t(width) * std::size_t(channels));
            continue;
        }
        // 16-bit samples (RGBX64 has four a pixel) narrowed to the bits the plane holds.
        const auto* in = reinterpret_cast<const std::uint16_t*>(from);
        auto* out = reinterpret_cast<std::uint16_t*>(to);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                out[x * channels + c] = std::uint16_t((in[x * 4 + c] * top + 32767u) / 65535u);
    }
    if (!records.icc.isEmpty() &&
        heif_image_set_raw_color_profile(image.get(), "prof", records.icc.constData(),
                                         std::size_t(records.icc.size()))
                .code != heif_error_Ok)
        return false;

    heif_encoding_options* options = heif_encoding_options_alloc();
    if (options == nullptr)
        return false;
    heif_image_handle* encodedHandle = nullptr;
    const heif_error encoded = heif_context_encode_image(context.get(), image.get(), encoder.get(),
                                                         options, &encodedHandle);
    heif_encoding_options_free(options);
    const Handle handle(encodedHandle);
    if (encoded.code != heif_error_Ok || !handle)
        return false;
    if (!records.exif.isEmpty() &&
        heif_context_add_exif_metadata(context.get(), handle.get(), records.exif.constData(),
                                       int(records.exif.size()))
                .code != heif_error_Ok)
        return false;
    if (!records.xmp.isEmpty() &&
        heif_context_add_XMP_metadata(context.get(), handle.get(), records.xmp.constData(),
                                      int(records.xmp.size()))
                .code != heif_error_Ok)
        return false;

    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* target) {
        auto* out = static_cast<QIODevice*>(target);
        const bool written =
            out->write(static_cast<const char*>(data), qint64(size)) == qint64(size);
        return heif_error{written ? heif_error_Ok : heif_error_Encoding_error,
                          heif_suberror_Unspecified, written ? "" : "write failed"};
    };
    return heif_context_write(context.get(), &writer, device).code == heif_error_Ok &&
           device->size() > 0;
}
