// The test pictures of the formats Qt has no reader of, made and read by their own libraries.

#include "TestPictures.h"

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

heif_error Written(heif_context*, const void* data, size_t size, void* target) {
    static_cast<QByteArray*>(target)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// Runs use on the primary image of a HEIF file, when libheif reads one.
template <class Use> void WithPrimaryImage(const QByteArray& file, Use use) {
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    if (heif_context_read_from_memory_without_copy(context, file.constData(),
                                                   std::size_t(file.size()), nullptr)
                .code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok)
        use(handle);
    heif_image_handle_release(handle);
    heif_context_free(context);
}

QByteArray BeBytes(std::uint32_t value, int size) {
    QByteArray bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char(value >> (8 * i) & 0xFF));
    return bytes;
}

QByteArray Box(const char* type, const QByteArray& payload) {
    return BeBytes(std::uint32_t(payload.size() + 8), 4) + QByteArray(type, 4) + payload;
}

// A box with a version and flags.
QByteArray FullBox(const char* type, int version, std::uint32_t flags, const QByteArray& payload) {
    return Box(type, BeBytes(std::uint32_t(version) << 24 | flags, 4) + payload);
}

// The payload of the box of that type in a file libheif wrote, where the type's four letters
// stand nowhere before it.
QByteArray PayloadOf(const QByteArray& file, const char* type) {
    const qsizetype at = file.indexOf(type) - 4;
    if (at < 0)
        return {};
    const auto size = qsizetype(std::uint8_t(file[at])) << 24 | std::uint8_t(file[at + 1]) << 16 |
                      std::uint8_t(file[at + 2]) << 8 | std::uint8_t(file[at + 3]);
    return size < 8 ? QByteArray() : file.mid(at + 8, size - 8);
}

} // namespace

QByteArray GridHeif(const QImage& image, int tileWidth, int tileHeight) {
    const int columns = (image.width() + tileWidth - 1) / tileWidth;
    const int rows = (image.height() + tileHeight - 1) / tileHeight;
    const int tiles = columns * rows;
    QByteArray properties;
    QByteArray data;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places; // offset in data, length
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            QImage tile(tileWidth, tileHeight, QImage::Format_RGB32);
            for (int y = 0; y < tileHeight; ++y)
                for (int x = 0; x < tileWidth; ++x)
                    tile.setPixel(x, y,
                                  image.pixel(std::min(c * tileWidth + x, image.width() - 1),
                                              std::min(r * tileHeight + y, image.height() - 1)));
            const QByteArray one = HeifPicture(tile, {});
            const QByteArray hvcC = PayloadOf(one, "hvcC");
            // The file's one item (no records): all that its media data box holds.
            const QByteArray coded = PayloadOf(one, "mdat");
            if (hvcC.isEmpty() || coded.isEmpty())
                return {};
            properties += Box("hvcC", hvcC);
            places.emplace_back(std::uint32_t(data.size()), std::uint32_t(coded.size()));
            data += coded;
        }
    }
    const auto ispe = [](int width, int height) {
        return FullBox("ispe", 0, 0,
                       BeBytes(std::uint32_t(width), 4) + BeBytes(std::uint32_t(height), 4));
    };
    properties += ispe(tileWidth, tileHeight) + ispe(image.width(), image.height());
    const int gridId = tiles + 1;
    // The grid's own description: rows and columns less one, and the picture's size.
    const QByteArray grid = QByteArray(2, '\0') + BeBytes(std::uint32_t(rows - 1), 1) +
                            BeBytes(std::uint32_t(columns - 1), 1) +
                            BeBytes(std::uint32_t(image.width()), 2) +
                            BeBytes(std::uint32_t(image.height()), 2);
    places.emplace_back(std::uint32_t(data.size()), std::uint32_t(grid.size()));
    data += grid;

    QByteArray infos = BeBytes(std::uint32_t(gridId), 2);
    QByteArray associations = BeBytes(std::uint32_t(gridId), 4);
    QByteArray references = BeBytes(std::uint32_t(gridId), 2) + BeBytes(std::uint32_t(tiles), 2);
    for (int id = 1; id <= gridId; ++id) {
        const bool isGrid = id == gridId;
        infos += FullBox("infe", 2, isGrid ? 0 : 1,
                         BeBytes(std::uint32_t(id), 2) + BeBytes(0, 2) +
                             QByteArray(isGrid ? "grid" : "hvc1", 4) + QByteArray(1, '\0'));
        associations += BeBytes(std::uint32_t(id), 2);
        // Property indices from 1: the grid's size; a tile's hvcC (essential) and size.
        const QByteArray properties =
            isGrid ? BeBytes(std::uint32_t(tiles + 2), 1)
                   : BeBytes(std::uint32_t(0x80 | id), 1) + BeBytes(std::uint32_t(tiles + 1), 1);
        associations += BeBytes(std::uint32_t(properties.size()), 1) + properties;
        if (!isGrid)
            references += BeBytes(std::uint32_t(id), 2);
    }
    const QByteArray head =
        Box("ftyp", QByteArray("heic") + BeBytes(0, 4) + QByteArray("mif1heic"));
    const auto meta = [&](std::uint32_t dataStart) {
        QByteArray locations = QByteArray(1, char(0x44)) + QByteArray(1, '\0') +
                               BeBytes(std::uint32_t(places.size()), 2);
        for (std::size_t i = 0; i < places.size(); ++i)
            locations += BeBytes(std::uint32_t(i + 1), 2) + BeBytes(0, 2) + BeBytes(1, 2) +
                         BeBytes(dataStart + places[i].first, 4) + BeBytes(places[i].second, 4);
        return FullBox(
            "meta", 0, 0,
            FullBox("hdlr", 0, 0,
                    BeBytes(0, 4) + QByteArray("pict") + QByteArray(12, '\0') +
                        QByteArray(1, '\0')) +
                FullBox("pitm", 0, 0, BeBytes(std::uint32_t(gridId), 2)) +
                FullBox("iinf", 0, 0, infos) + FullBox("iref", 0, 0, Box("dimg", references)) +
                Box("iprp", Box("ipco", properties) + FullBox("ipma", 0, 0, associations)) +
                FullBox("iloc", 0, 0, locations));
    };
    // The offsets depend on the meta box's size, which they do not change.
    const auto dataStart = std::uint32_t(head.size() + meta(0).size() + 8);
    return head + meta(dataStart) + Box("mdat", data);
}

QByteArray HeifPicture(const QImage& image, const HeifShape& shape) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(
        context, shape.av1 ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    if (encoder == nullptr) {
        heif_context_free(context);
        return {};
    }
    if (shape.lossless)
        heif_encoder_set_lossless(encoder, 1);
    else
        heif_encoder_set_lossy_quality(encoder, 90);
    const bool deep = shape.bits > 8;
    const QImage rows = image.convertToFormat(QImage::Format_RGBA64);
    heif_image* picture = nullptr;
    heif_image_create(rows.width(), rows.height(), heif_colorspace_RGB,
                      deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB,
                      &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, rows.width(), rows.height(),
                         shape.bits);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    for (int y = 0; y < rows.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint16_t*>(rows.constScanLine(y));
        for (int x = 0; x < rows.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const std::uint16_t v = in[x * 4 + c];
                if (deep)
                    reinterpret_cast<std::uint16_t*>(plane + y * stride)[x * 3 + c] =
                        std::uint16_t(v >> (16 - shape.bits));
                else
                    plane[y * stride + x * 3 + c] = std::uint8_t(v >> 8);
            }
    }
    if (!shape.icc.isEmpty())
        heif_image_set_raw_color_profile(picture, "prof", shape.icc.constData(),
                                         std::size_t(shape.icc.size()));
    heif_color_profile_nclx* nclx = nullptr;
    if (shape.nclxPrimaries != 0) {
        nclx = heif_nclx_color_profile_alloc();
        heif_nclx_color_profile_set_color_primaries(nclx, std::uint16_t(shape.nclxPrimaries));
        heif_nclx_color_profile_set_transfer_characteristics(nclx,
                                                             std::uint16_t(shape.nclxTransfer));
        heif_nclx_color_profile_set_matrix_coefficients(nclx, 6);
        nclx->full_range_flag = 1;
        heif_image_set_nclx_color_profile(picture, nclx);
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(shape.orientation);
    heif_image_handle* handle = nullptr;
    const heif_error encoded =
        heif_context_encode_image(context, picture, encoder, options, &handle);
    if (encoded.code == heif_error_Ok && !shape.exif.isEmpty())
        heif_context_add_exif_metadata(context, handle, shape.exif.constData(),
                                       int(shape.exif.size()));
    QByteArray file;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = Written;
    if (encoded.code == heif_error_Ok)
        heif_context_write(context, &writer, &file);
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_image_handle_release(handle);
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return file;
}

QImage DecodedHeif(const QByteArray& file) {
    QImage out;
    WithPrimaryImage(file, [&](heif_image_handle* handle) {
        heif_image* picture = nullptr;
        if (heif_decode_image(handle, &picture, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                              nullptr)
                .code != heif_error_Ok)
            return;
        int stride = 0;
        const std::uint8_t* plane =
            heif_image_get_plane_readonly(picture, heif_channel_interleaved, &stride);
        out = QImage(plane, heif_image_get_width(picture, heif_channel_interleaved),
                     heif_image_get_height(picture, heif_channel_interleaved), stride,
                     QImage::Format_RGBA8888)
                  .convertToFormat(QImage::Format_ARGB32);
        heif_image_release(picture);
    });
    return out;
}

std::pair<QByteArray, QByteArray> HeifRecordBlocks(const QByteArray& file) {
    std::pair<QByteArray, QByteArray> blocks;
    WithPrimaryImage(file, [&](heif_image_handle* handle) {
        for (const char* type : {"Exif", "mime"}) {
            heif_item_id id = 0;
            if (heif_image_handle_get_list_of_metadata_block_IDs(handle, type, &id, 1) < 1)
                continue;
            QByteArray block(qsizetype(heif_image_handle_get_metadata_size(handle, id)), '\0');
            heif_image_handle_get_metadata(handle, id, block.data());
            if (type[0] == 'E')
                blocks.first = block.mid(4 + qsizetype(std::uint8_t(block[3])));
            else
                blocks.second = block;
        }
    });
    return blocks;
}

QByteArray ExifOrientation(int orientation) {
    QByteArray tiff("MM\0*", 4);
    tiff.append("\x00\x00\x00\x08", 4); // first directory at 8
    tiff.append("\x00\x01", 2);         // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8);
    tiff.append(char(0));
    tiff.append(char(orientation));
    tiff.append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4); // no next directory
    return tiff;
}

QByteArray JxlPicture(const QImage& image, bool lossless, const QByteArray& exif) {
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    const QImage rows = image.convertToFormat(QImage::Format_RGB888);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = std::uint32_t(rows.width());
    info.ysize = std::uint32_t(rows.height());
    info.bits_per_sample = 8;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    JxlEncoderUseContainer(encoder, exif.isEmpty() ? JXL_FALSE : JXL_TRUE);
    JxlEncoderSetBasicInfo(encoder, &info);
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    JxlEncoderSetColorEncoding(encoder, &colour);
    if (!exif.isEmpty()) {
        JxlEncoderUseBoxes(encoder);
        QByteArray box("\0\0\0\0", 4);
        box += exif;
        JxlEncoderAddBox(encoder, "Exif", reinterpret_cast<const std::uint8_t*>(box.constData()),
                         std::size_t(box.size()), JXL_FALSE);
        JxlEncoderCloseBoxes(encoder);
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    if (lossless)
        JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    else
        JxlEncoderSetFrameDistance(settings, 1.0f);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < rows.height(); ++y)
        pixels.insert(pixels.end(), rows.constScanLine(y),
                      rows.constScanLine(y) + rows.width() * 3);
    JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size());
    JxlEncoderCloseInput(encoder);
    QByteArray file(1 << 16, '\0');
    std::uint8_t* next = reinterpret_cast<std::uint8_t*>(file.data());
    std::size_t avail = std::size_t(file.size());
    JxlEncoderStatus status = JXL_ENC_NEED_MORE_OUTPUT;
    while ((status = JxlEncoderProcessOutput(encoder, &next, &avail)) == JXL_ENC_NEED_MORE_OUTPUT) {
        const qsizetype used = qsizetype(next - reinterpret_cast<std::uint8_t*>(file.data()));
        file.resize(file.size() * 2);
        next = reinterpret_cast<std::uint8_t*>(file.data()) + used;
        avail = std::size_t(file.size() - used);
    }
    file.truncate(qsizetype(next - reinterpret_cast<std::uint8_t*>(file.data())));
    JxlEncoderDestroy(encoder);
    return status == JXL_ENC_SUCCESS ? file : QByteArray();
}

namespace {

// libjxl's reading of a file, upright, 8 bits a sample, and the profile of those pixels (empty
// for sRGB). A lossy file whose original profile libjxl cannot name comes out with the sRGB
// curve over BT.2020 primaries rather than in linear light, where 8 bits band.
QImage ReadJxl(const QByteArray& file, QByteArray* icc) {
    JxlDecoder* decoder = JxlDecoderCreate(nullptr);
    JxlDecoderSubscribeEvents(decoder,
                              JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
    JxlDecoderSetInput(decoder, reinterpret_cast<const std::uint8_t*>(file.constData()),
                       std::size_t(file.size()));
    JxlDecoderCloseInput(decoder);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    QImage out;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder);
        if (status == JXL_DEC_BASIC_INFO) {
            JxlDecoderGetBasicInfo(decoder, &info);
            const bool sideways = info.orientation >= 5;
            out = QImage(int(sideways ? info.ysize : info.xsize),
                         int(sideways ? info.xsize : info.ysize), QImage::Format_RGBA8888);
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            if (!info.uses_original_profile &&
                JxlDecoderGetColorAsEncodedProfile(decoder, nullptr,
                                                   JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                   nullptr) != JXL_DEC_SUCCESS) {
                JxlColorEncoding wanted;
                JxlColorEncodingSetToSRGB(&wanted, JXL_FALSE);
                wanted.primaries = JXL_PRIMARIES_2100;
                JxlDecoderSetPreferredColorProfile(decoder, &wanted);
            }
            JxlColorEncoding colour;
            std::size_t size = 0;
            const bool srgb =
                JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                   &colour) == JXL_DEC_SUCCESS &&
                colour.primaries == JXL_PRIMARIES_SRGB &&
                colour.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
            if (icc != nullptr && !srgb &&
                JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                            &size) == JXL_DEC_SUCCESS) {
                icc->resize(qsizetype(size));
                JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                               reinterpret_cast<std::uint8_t*>(icc->data()), size);
            }
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            JxlDecoderSetImageOutBuffer(decoder, &format, out.bits(),
                                        std::size_t(out.sizeInBytes()));
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break;
        } else {
            out = QImage();
            break;
        }
    }
    JxlDecoderDestroy(decoder);
    return out.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

QImage DecodedJxl(const QByteArray& file) {
    return ReadJxl(file, nullptr);
}

QByteArray ModernProfileOf(const QByteArray& file, bool* handled) {
    QByteArray icc;
    *handled = true;
    if (file.mid(4, 4) == "ftyp") {
        WithPrimaryImage(file, [&](heif_image_handle* handle) {
            icc.resize(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)));
            if (!icc.isEmpty())
                heif_image_handle_get_raw_color_profile(handle, icc.data());
        });
        return icc;
    }
    if (!file.startsWith("\xFF\x0A") && !file.startsWith(QByteArray("\0\0\0\x0CJXL ", 8))) {
        *handled = false;
        return icc;
    }
    ReadJxl(file, &icc);
    return icc;
}

QImage DecodedAny(const QByteArray& file) {
    QImage image = QImage::fromData(file);
    if (image.isNull())
        image = DecodedHeif(file);
    if (image.isNull())
        image = DecodedJxl(file);
    return image;
}

QByteArray JxlClaiming(std::uint32_t width, std::uint32_t height) {
    // The size header's bits, first bit lowest: not a multiple of 8, then each side as a
    // selector (2: 18 bits follow) and the side less one; no aspect ratio between them; then
    // image metadata all default.
    std::vector<bool> bits;
    const auto put = [&](std::uint32_t value, int count) {
        for (int k = 0; k < count; ++k)
            bits.push_back(((value >> k) & 1) != 0);
    };
    put(0, 1);
    put(2, 2);
    put(height - 1, 18);
    put(0, 3);
    put(2, 2);
    put(width - 1, 18);
    put(1, 1);
    QByteArray file("\xFF\x0A", 2);
    for (std::size_t at = 0; at < bits.size(); at += 8) {
        int byte = 0;
        for (std::size_t k = 0; k < 8 && at + k < bits.size(); ++k)
            byte |= bits[at + k] ? 1 << k : 0;
        file.append(char(byte));
    }
    file.append(QByteArray(64, '\0'));
    return file;
}
