// Arbitrary bytes through the lossless route's own scan reader alone: the header read by
// libjpeg in the program's session, then JpegScanWalk with several ranges of kept rows. Whether
// the walk takes a file never depends on the rows it keeps, nor where the MCUs lie; a walk that
// takes it must agree with libjpeg's own reading, which must take the file without a warning,
// block for block in every kept row.
#include "imaging/jpeg/JpegScanWalk.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

namespace {

// Larger pictures only cost time: a walk reads every MCU of the data there is.
constexpr std::uint64_t kMaxPixels = 4ull << 20;

// libjpeg's reading of the coefficients, apart from the program's session: the file handed on
// in slices shorter than libjpeg's fast Huffman path needs (which takes a code no table has
// without a word), and any warning counted as a failure.
struct Reference {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    std::jmp_buf failed{};
    bool guarded = false;
    const QByteArray* data = nullptr;
    qsizetype next = 0;
    jvirt_barray_ptr* arrays = nullptr;

    explicit Reference(const QByteArray& jpeg) : data(&jpeg) {
        info.err = jpeg_std_error(&errors);
        info.client_data = this;
        errors.error_exit = [](j_common_ptr i) { Reference::Of(i).Fail(); };
        errors.emit_message = [](j_common_ptr i, int level) {
            if (level < 0)
                Reference::Of(i).Fail();
        };
        jpeg_create_decompress(&info);
        source.init_source = source.term_source = [](j_decompress_ptr) {};
        source.resync_to_restart = jpeg_resync_to_restart;
        source.fill_input_buffer = [](j_decompress_ptr i) -> boolean {
            Reference& r = Reference::Of(reinterpret_cast<j_common_ptr>(i));
            if (r.next >= r.data->size())
                r.Fail(); // cut short
            const qsizetype slice = std::min<qsizetype>(256, r.data->size() - r.next);
            r.source.next_input_byte =
                reinterpret_cast<const JOCTET*>(r.data->constData() + r.next);
            r.source.bytes_in_buffer = std::size_t(slice);
            r.next += slice;
            return TRUE;
        };
        source.skip_input_data = [](j_decompress_ptr i, long bytes) {
            Reference& r = Reference::Of(reinterpret_cast<j_common_ptr>(i));
            for (; bytes > long(r.source.bytes_in_buffer); r.source.fill_input_buffer(i))
                bytes -= long(r.source.bytes_in_buffer);
            r.source.next_input_byte += bytes;
            r.source.bytes_in_buffer -= std::size_t(bytes);
        };
        info.src = &source;
    }
    ~Reference() { jpeg_destroy_decompress(&info); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    static Reference& Of(j_common_ptr info) { return *static_cast<Reference*>(info->client_data); }
    [[noreturn]] void Fail() {
        // Past read(), libjpeg is only asked for rows it holds: an error there is ours.
        if (!guarded)
            std::abort();
        std::longjmp(failed, 1);
    }
    // False when libjpeg fails or warns; to the end marker when whole, after which no row is
    // left to look at.
    bool Read(bool whole = false) {
        guarded = true;
        if (setjmp(failed) != 0) {
            guarded = false;
            return false;
        }
        jpeg_read_header(&info, TRUE);
        arrays = jpeg_read_coefficients(&info);
        if (whole && arrays != nullptr)
            jpeg_finish_decompress(&info);
        guarded = false;
        return arrays != nullptr;
    }
    JBLOCKROW Row(int component, int y) {
        return info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info),
                                            arrays[component], JDIMENSION(y), 1, FALSE)[0];
    }
};

// Where a walk found the file's MCUs and intervals to lie, in bits from the file's start.
struct Walked {
    std::vector<qint64> mcuStarts;
    std::vector<qint64> intervalEnds;

    bool operator==(const Walked&) const = default;
};

// The places the marks of a walk stand for lie in the file, each MCU's after the one before,
// and each interval's end at or after the start of its last MCU.
Walked PlacesOf(const QByteArray& jpeg, const JpegScanWalk& walk, long interval) {
    const auto* data = reinterpret_cast<const uchar*>(jpeg.constData());
    const auto at = [&](qint64 mark) {
        const JpegScanPlace place = JpegBitReader::placeOf(data, mark);
        if (place.byte < 0 || place.byte > jpeg.size() || place.bit < 0 || place.bit > 7)
            std::abort();
        return qint64(place.byte) * 8 + place.bit;
    };
    const std::size_t total = std::size_t(walk.mcuColumns) * std::size_t(walk.mcuRows);
    const std::size_t intervals =
        interval == 0 ? 1 : (total + std::size_t(interval) - 1) / std::size_t(interval);
    if (walk.mcuStarts.size() != total || walk.intervalEnds.size() != intervals)
        std::abort();
    Walked places;
    std::transform(walk.mcuStarts.begin(), walk.mcuStarts.end(),
                   std::back_inserter(places.mcuStarts), at);
    std::transform(walk.intervalEnds.begin(), walk.intervalEnds.end(),
                   std::back_inserter(places.intervalEnds), at);
    if (std::adjacent_find(places.mcuStarts.begin(), places.mcuStarts.end(),
                           std::greater_equal<>()) != places.mcuStarts.end())
        std::abort();
    for (std::size_t i = 0; i < intervals; ++i) {
        const std::size_t last =
            interval == 0 ? total - 1 : std::min(total, (i + 1) * std::size_t(interval)) - 1;
        if (places.intervalEnds[i] < places.mcuStarts[last])
            std::abort();
    }
    return places;
}

// Every kept row's blocks, those past the picture's edge that fill out its last MCUs too, as
// libjpeg reads them.
void CheckBlocks(jpeg_decompress_struct& picture, const JpegScanWalk& walk, Reference& reference) {
    jpeg_decompress_struct& theirs = reference.info;
    if (theirs.num_components != picture.num_components ||
        int(theirs.total_iMCU_rows) != walk.mcuRows || int(theirs.MCUs_per_row) != walk.mcuColumns)
        std::abort();
    const auto owner = reinterpret_cast<j_common_ptr>(&picture);
    for (int c = 0; c < picture.num_components; ++c) {
        const jpeg_component_info& component = theirs.comp_info[c];
        const int h = component.h_samp_factor;
        const int v = component.v_samp_factor;
        // libjpeg's arrays hold whole MCUs, as the walk's do.
        const int columns = int(component.width_in_blocks + JDIMENSION(h) - 1) / h * h;
        const int rows = int(component.height_in_blocks + JDIMENSION(v) - 1) / v * v;
        if (columns != walk.mcuColumns * h || rows != walk.mcuRows * v)
            std::abort();
        const int first = std::max(0, walk.kept.first) * v;
        const int end = int(std::min<qint64>(walk.mcuRows, walk.kept.end) * v);
        for (int y = first; y < end; ++y) {
            const JBLOCKROW ours = JpegMcuGrid::blockRow(owner, walk.blocks, c, y);
            if (std::memcmp(ours, reference.Row(c, y), std::size_t(columns) * sizeof(JBLOCK)) != 0)
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In place: a read past the input's last byte is one past the fuzzer's own buffer.
    const QByteArray jpeg =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    int mcuRows = 0;
    try {
        JpegSession::Reading reading(jpeg);
        jpeg_read_header(&reading.info, TRUE);
        if (!JpegScanWalk::suits(reading.info) ||
            std::uint64_t(reading.info.image_width) * reading.info.image_height > kMaxPixels)
            return 0;
        mcuRows = int(reading.info.total_iMCU_rows);
        // Abandoned before it starts, no walk is taken.
        const std::atomic<bool> abandoned{true};
        if (JpegScanWalk::read(reading.info, jpeg, {}, &abandoned))
            std::abort();
    } catch (const JpegSession::Failed&) {
        return 0; // the header is libjpeg's to refuse
    }

    const JpegScanRows ranges[] = {
        {}, {0, 0}, {-1, 2}, {mcuRows / 2, mcuRows / 2 + 1}, {mcuRows - 1, mcuRows + 1}};
    std::optional<Reference> reference;
    std::optional<std::optional<Walked>> before;
    for (const JpegScanRows& rows : ranges) {
        JpegSession::Reading reading(jpeg);
        std::optional<JpegScanWalk> walk;
        try {
            jpeg_read_header(&reading.info, TRUE);
            walk = JpegScanWalk::read(reading.info, jpeg, rows);
        } catch (const JpegSession::Failed& failed) {
            // Damage only where libjpeg would warn about it as well; otherwise memory the
            // session would not give, declined.
            if (failed.damaged && Reference(jpeg).Read(true))
                std::abort();
        }
        std::optional<Walked> walked;
        if (walk) {
            if (walk->kept.first != rows.first || walk->kept.end != rows.end ||
                walk->mcuRows != mcuRows ||
                walk->whole() != (rows.first <= 0 && rows.end >= mcuRows))
                std::abort();
            walked = PlacesOf(jpeg, *walk, long(reading.info.restart_interval));
            if (!reference) {
                reference.emplace(jpeg);
                if (!reference->Read())
                    std::abort(); // taken what libjpeg refuses or warns about
            }
            CheckBlocks(reading.info, *walk, *reference);
        }
        if (before && *before != walked)
            std::abort();
        before = std::move(walked);
    }
    return 0;
}
