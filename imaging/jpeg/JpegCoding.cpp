#include "imaging/jpeg/JpegCoding.h"

#include "imaging/jpeg/JpegSession.h"

#include <utility>

namespace {

bool startsAsJpeg(const QByteArray& encoded) {
    return encoded.size() > 2 && static_cast<unsigned char>(encoded[0]) == 0xFF &&
           static_cast<unsigned char>(encoded[1]) == 0xD8;
}

} // namespace

std::optional<JpegCoding> JpegCoding::read(const QByteArray& encoded, bool turned) {
    if (!startsAsJpeg(encoded))
        return std::nullopt;
    try {
        JpegSession::Reading session(encoded);
        jpeg_decompress_struct& info = session.info;
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.data_precision != 8)
            return std::nullopt;
        JpegCoding coding;
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        if (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1)
            coding.grey = true;
        else if (!(info.jpeg_color_space == JCS_YCbCr && info.num_components == 3) &&
                 !(cmyk && info.num_components == 4))
            return std::nullopt;
        const int used = coding.grey ? 1 : 3;
        for (int i = 0; i < used; ++i) {
            const jpeg_component_info& component = info.comp_info[i];
            Component& kept = coding.components[std::size_t(i)];
            kept = {component.h_samp_factor, component.v_samp_factor, component.quant_tbl_no};
            if (turned)
                std::swap(kept.horizontal, kept.vertical);
            if (kept.table < 0 || kept.table >= NUM_QUANT_TBLS ||
                info.quant_tbl_ptrs[kept.table] == nullptr)
                return std::nullopt;
        }
        for (std::size_t t = 0; t < NUM_QUANT_TBLS; ++t) {
            const JQUANT_TBL* table = info.quant_tbl_ptrs[t];
            coding.hasTable[t] = table != nullptr;
            for (std::size_t k = 0; table != nullptr && k < 64; ++k) {
                // A quarter turn swaps the frequencies across and down.
                const std::size_t at = turned ? (k % 8) * 8 + k / 8 : k;
                // A damaged file's zero step would divide by zero in the encoder: such a
                // picture is written with the default tables instead.
                if (table->quantval[k] == 0)
                    return std::nullopt;
                coding.tables[t][at] = table->quantval[k];
            }
        }
        return coding;
    } catch (const JpegSession::Failed&) {
        return std::nullopt;
    }
}

bool JpegCoding::encode(const QImage& pixels, QIODevice* device) const {
    QImage rows = pixels;
    J_COLOR_SPACE layout = JCS_EXT_RGB;
    int channels = 3;
    if (rows.format() == QImage::Format_Grayscale8 && grey) {
        layout = JCS_GRAYSCALE;
        channels = 1;
    } else if (rows.format() != QImage::Format_RGB888) {
        if (rows.format() != QImage::Format_RGB32 && rows.format() != QImage::Format_ARGB32)
            rows = rows.convertToFormat(QImage::Format_RGB32);
        if (rows.isNull())
            return false;
        layout = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        channels = 4;
    }
    try {
        JpegSession::Writing session(device);
        jpeg_compress_struct& info = session.info;
        info.image_width = JDIMENSION(rows.width());
        info.image_height = JDIMENSION(rows.height());
        info.in_color_space = layout;
        info.input_components = channels;
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, grey ? JCS_GRAYSCALE : JCS_YCbCr);
        for (std::size_t t = 0; t < NUM_QUANT_TBLS; ++t) {
            if (!hasTable[t])
                continue;
            if (info.quant_tbl_ptrs[t] == nullptr)
                info.quant_tbl_ptrs[t] =
                    jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(&info));
            for (std::size_t k = 0; k < 64; ++k)
                info.quant_tbl_ptrs[t]->quantval[k] = tables[t][k];
            info.quant_tbl_ptrs[t]->sent_table = FALSE;
        }
        for (int i = 0; i < info.num_components; ++i) {
            const Component& kept = components[std::size_t(i)];
            info.comp_info[i].h_samp_factor = kept.horizontal;
            info.comp_info[i].v_samp_factor = kept.vertical;
            info.comp_info[i].quant_tbl_no = kept.table;
        }
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            auto* row = const_cast<JSAMPLE*>(rows.constScanLine(int(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        return true;
    } catch (const JpegSession::Failed&) {
        return false;
    }
}
