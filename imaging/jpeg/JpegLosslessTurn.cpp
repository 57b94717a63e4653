#include "imaging/jpeg/JpegLosslessTurn.h"

#include "imaging/GpImage.h"
#include "imaging/jpeg/JpegMcuGrid.h"
#include "imaging/jpeg/JpegMcuStamping.h"
#include "imaging/jpeg/JpegOwnTables.h"
#include "imaging/jpeg/JpegScanWalk.h"
#include "imaging/jpeg/JpegSession.h"

#include <QImageIOHandler>

#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace {

// A turn as a transposition (or none) followed by flips of the turned picture's columns and rows.
struct Turn {
    bool transpose = false;
    bool flipX = false;
    bool flipY = false;

    // Qt mirrors and flips first, then turns a quarter clockwise: (x, y) becomes (H-1-y, x), so
    // a flip before the turn undoes the turn's own flip of the columns, and a mirror flips rows.
    static Turn of(int turn) {
        const bool mirror = (turn & QImageIOHandler::TransformationMirror) != 0;
        const bool flip = (turn & QImageIOHandler::TransformationFlip) != 0;
        if ((turn & QImageIOHandler::TransformationRotate90) == 0)
            return {false, mirror, flip};
        return {true, !flip, mirror};
    }
};

// One block as its turned place needs it: a transposed block's frequencies swap axes, and a
// flip negates the odd frequencies along the flipped axis.
void turnBlock(const JCOEF* in, JCOEF* out, const Turn& turn) {
    for (int r = 0; r < DCTSIZE; ++r) {
        for (int c = 0; c < DCTSIZE; ++c) {
            const JCOEF value = turn.transpose ? in[c * DCTSIZE + r] : in[r * DCTSIZE + c];
            const bool negate = (turn.flipX && (c & 1) != 0) != (turn.flipY && (r & 1) != 0);
            out[r * DCTSIZE + c] = negate ? JCOEF(-value) : value;
        }
    }
}

JDIMENSION roundedUp(JDIMENSION value, int multiple) {
    return (value + JDIMENSION(multiple) - 1) / JDIMENSION(multiple) * JDIMENSION(multiple);
}

} // namespace

std::optional<QByteArray> JpegLosslessTurn::upright(const QByteArray& encoded, int turnBits) {
    const Turn turn = Turn::of(turnBits);
    std::optional<JpegSession::Reading> reading(std::in_place, encoded);
    jpeg_decompress_struct* in = &reading->info;
    jpeg_read_header(in, TRUE);
    // Only what the stamp takes: 8-bit YCbCr or grey.
    const bool colour = in->jpeg_color_space == JCS_YCbCr && in->num_components == 3;
    const bool grey = in->jpeg_color_space == JCS_GRAYSCALE && in->num_components == 1;
    if (in->data_precision != 8 || !(colour || grey))
        return std::nullopt;
    const JDIMENSION width = turn.transpose ? in->image_height : in->image_width;
    const JDIMENSION height = turn.transpose ? in->image_width : in->image_height;
    const int mcuWidth = DCTSIZE * (turn.transpose ? in->max_v_samp_factor : in->max_h_samp_factor);
    const int mcuHeight =
        DCTSIZE * (turn.transpose ? in->max_h_samp_factor : in->max_v_samp_factor);
    // A flipped side must be whole MCUs: its partial MCU would land on the other edge.
    if ((turn.flipX && width % JDIMENSION(mcuWidth) != 0) ||
        (turn.flipY && height % JDIMENSION(mcuHeight) != 0))
        return std::nullopt;

    // The stored blocks are held whole while the turned ones are made: no more than one
    // picture may take (a 300 MP 4:4:4 photo's are 1.8 GB); larger ones are decoded whole.
    std::uint64_t storedBytes = 0;
    for (int c = 0; c < in->num_components; ++c)
        storedBytes +=
            std::uint64_t(
                roundedUp(in->comp_info[c].width_in_blocks, in->comp_info[c].h_samp_factor)) *
            roundedUp(in->comp_info[c].height_in_blocks, in->comp_info[c].v_samp_factor) *
            sizeof(JBLOCK);
    if (storedBytes > GpImage::kMaxDecodedBytes)
        return std::nullopt;
    // Our own walk reads the stored blocks where it reads the scan, in about half libjpeg's
    // time and judging damage as libjpeg does; libjpeg reads the others.
    JpegCoefficients stored{};
    bool walked = false;
    if (JpegScanWalk::suits(*in)) {
        if (const std::optional<JpegScanWalk> walk = JpegScanWalk::read(*in, encoded)) {
            stored = walk->blocks;
            walked = true;
        } else {
            reading.emplace(encoded);
            in = &reading->info;
            jpeg_read_header(in, TRUE);
        }
    }
    if (!walked)
        stored = JpegMcuStamping::coefficientsOf(*in);
    const auto owner = reinterpret_cast<j_common_ptr>(in);
    // The turned blocks' arrays, sized as libjpeg sizes a picture of the turned sampling, are
    // made row by row as the writer takes them: the turned picture is never held whole.
    struct Plane {
        JDIMENSION columns, rows;
        int h, v;
    };
    std::array<Plane, MAX_COMPONENTS> planes{};
    JpegCoefficients turned{};
    for (int c = 0; c < in->num_components; ++c) {
        const jpeg_component_info& component = in->comp_info[c];
        Plane& plane = planes[std::size_t(c)];
        plane.columns = turn.transpose ? component.height_in_blocks : component.width_in_blocks;
        plane.rows = turn.transpose ? component.width_in_blocks : component.height_in_blocks;
        plane.h = turn.transpose ? component.v_samp_factor : component.h_samp_factor;
        plane.v = turn.transpose ? component.h_samp_factor : component.v_samp_factor;
        const JDIMENSION columns = roundedUp(plane.columns, plane.h);
        const jvirt_barray_ptr from = stored[std::size_t(c)];
        turned[std::size_t(c)] = reading->generated(
            columns, roundedUp(plane.rows, plane.v), [=, &turn](JDIMENSION y, JBLOCKROW row) {
                // The blocks that round the last MCUs up are libjpeg's to make; zeros meanwhile.
                if (y >= plane.rows) {
                    std::memset(row, 0, columns * sizeof(JBLOCK));
                    return;
                }
                std::memset(row + plane.columns, 0, (columns - plane.columns) * sizeof(JBLOCK));
                const JDIMENSION fromY = turn.flipY ? plane.rows - 1 - y : y;
                // Without a transposition a row comes from one stored row.
                const JBLOCKROW storedRow =
                    turn.transpose ? nullptr : JpegMcuGrid::blockRow(owner, from, fromY, false);
                for (JDIMENSION x = 0; x < plane.columns; ++x) {
                    const JDIMENSION fromX = turn.flipX ? plane.columns - 1 - x : x;
                    const JCOEF* block =
                        turn.transpose ? JpegMcuGrid::blockRow(owner, from, fromX, false)[fromY]
                                       : storedRow[fromX];
                    turnBlock(block, row[x], turn);
                }
            });
    }

    QByteArray result;
    JpegSession::Writing writing(&result, encoded.size() + (qsizetype(1) << 16));
    jpeg_compress_struct& out = writing.info;
    jpeg_copy_critical_parameters(in, &out);
    out.image_width = width;
    out.image_height = height;
    for (int c = 0; c < in->num_components; ++c) {
        out.comp_info[c].h_samp_factor = planes[std::size_t(c)].h;
        out.comp_info[c].v_samp_factor = planes[std::size_t(c)].v;
    }
    if (turn.transpose) {
        for (JQUANT_TBL* table : out.quant_tbl_ptrs) {
            if (table == nullptr)
                continue;
            for (int r = 0; r < DCTSIZE; ++r)
                for (int c = r + 1; c < DCTSIZE; ++c)
                    std::swap(table->quantval[r * DCTSIZE + c], table->quantval[c * DCTSIZE + r]);
        }
    }
    writing.keepCodingOf(*in, turn.transpose);
    // The photograph's own Huffman tables, widened to code any block, rather than tables made
    // for the turned blocks: written in one pass, and the stamp that follows can code the
    // mark's blocks with them and copy every other block's bits as they are.
    // A restart marker after every row of blocks, whatever the photograph had, lets the stamp
    // find the rows around the mark from marker to marker instead of decoding all of them
    // again: this file's data was written here, from blocks libjpeg has just judged.
    if (JpegScanWalk::suits(*in)) {
        JpegOwnTables::keep(*in, out, JpegOwnTables::everySymbol());
        out.optimize_coding = FALSE;
        out.restart_interval = 0;
        out.restart_in_rows = 1;
    }
    writing.takeBlocksOfReading();
    jpeg_write_coefficients(&out, turned.data());

    jpeg_finish_compress(&out);
    // libjpeg finishes only what it started.
    if (!walked)
        jpeg_finish_decompress(in);
    return result;
}
