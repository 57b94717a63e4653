#include "imaging/jpeg/JpegGreyInColour.h"

#include "imaging/jpeg/JpegMcuGrid.h"
#include "imaging/jpeg/JpegMcuStamping.h"
#include "imaging/jpeg/JpegSession.h"

#include <algorithm>

namespace {

// The linear scale (in percent of libjpeg's standard tables) that the table is nearest to, as
// jpeg_set_linear_quality takes it.
int scaleOf(const JQUANT_TBL& table, const JQUANT_TBL& standard) {
    long sum = 0;
    for (int i = 0; i < DCTSIZE2; ++i)
        sum += long(table.quantval[i]) * 100 / std::max<long>(1, standard.quantval[i]);
    return int(std::clamp(sum / DCTSIZE2, 1L, 5000L));
}

} // namespace

std::optional<QByteArray> JpegGreyInColour::recast(const QByteArray& encoded) {
    JpegSession::Reading reading(encoded);
    jpeg_decompress_struct& in = reading.info;
    jpeg_read_header(&in, TRUE);
    if (in.data_precision != 8 || in.num_components != 1 || in.jpeg_color_space != JCS_GRAYSCALE)
        return std::nullopt;
    const jpeg_component_info& grey = in.comp_info[0];
    JpegCoefficients blocks{};
    for (int c = 1; c < 3; ++c)
        blocks[std::size_t(c)] =
            in.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&in), JPOOL_IMAGE, TRUE,
                                        grey.width_in_blocks, grey.height_in_blocks, 1);
    blocks[0] = JpegMcuStamping::coefficientsOf(in)[0];
    const JQUANT_TBL* luma = in.quant_tbl_ptrs[grey.quant_tbl_no];
    if (luma == nullptr)
        throw JpegSession::Failed{};

    QByteArray result;
    JpegSession::Writing writing(&result, encoded.size() + (qsizetype(1) << 16));
    jpeg_compress_struct& out = writing.info;
    out.image_width = in.image_width;
    out.image_height = in.image_height;
    out.input_components = 3;
    out.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&out);
    jpeg_set_colorspace(&out, JCS_YCbCr);
    jpeg_set_quality(&out, 50, TRUE); // the standard tables themselves
    jpeg_set_linear_quality(&out, scaleOf(*luma, *out.quant_tbl_ptrs[0]), TRUE);
    std::copy_n(luma->quantval, DCTSIZE2, out.quant_tbl_ptrs[0]->quantval);
    for (int c = 0; c < 3; ++c) {
        out.comp_info[c].h_samp_factor = 1;
        out.comp_info[c].v_samp_factor = 1;
    }
    // One block an MCU before, three now: the MCU grid, and so the restart interval, stay the
    // same.
    writing.keepCodingOf(in, false);
    writing.takeBlocksOfReading();
    jpeg_write_coefficients(&out, blocks.data());
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    return result;
}
