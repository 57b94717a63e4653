#include "imaging/jpeg/JpegSession.h"

#include "imaging/ImageAllocator.h"

#include <QBuffer>
#include <QImage>

#include <jerror.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

// libjpeg's arrays of coefficient blocks, all in memory: the library knows them only as opaque
// pointers that its memory manager's functions take, which these replace.
struct JpegSession::Blocks {
    struct Array {
        JDIMENSION columns = 0;
        JDIMENSION rows = 0;
        bool zeroed = true;
        std::vector<JBLOCKROW> rowStarts;
        // A generated array has no memory of its own: the rows asked for are made into a
        // band of them on each access.
        std::function<void(JDIMENSION row, JBLOCKROW out)> fill;
        std::vector<JCOEF> band;
        std::vector<JBLOCKROW> bandRows;
    };
    std::vector<std::unique_ptr<Array>> arrays;
    std::vector<QImage> memory;
    // The library's own, for the sample arrays that some decoding modes keep.
    void (*libraryRealize)(j_common_ptr) = nullptr;

    static jvirt_barray_ptr request(j_common_ptr info, int, boolean preZero, JDIMENSION columns,
                                    JDIMENSION rows, JDIMENSION) {
        auto* blocks = static_cast<Blocks*>(info->client_data);
        auto array = std::make_unique<Array>();
        array->columns = columns;
        array->rows = rows;
        array->zeroed = preZero != FALSE;
        blocks->arrays.push_back(std::move(array));
        return reinterpret_cast<jvirt_barray_ptr>(blocks->arrays.back().get());
    }

    // Every array not yet given memory gets its part of one buffer, zeroed unless none of them
    // asked for zeros (a writer of every block, such as JpegScanWalk, saves a pass over them):
    // one buffer of the same size picture after picture is what the allocator hands on.
    static void realize(j_common_ptr info) {
        auto* blocks = static_cast<Blocks*>(info->client_data);
        blocks->libraryRealize(info);
        constexpr int kLine = 4096; // bytes; a multiple of a block's 128
        std::size_t total = 0;
        bool zeroed = false;
        for (const auto& array : blocks->arrays) {
            if (array->rowStarts.empty() && !array->fill) {
                total += std::size_t(array->columns) * array->rows * sizeof(JBLOCK);
                zeroed = zeroed || array->zeroed;
            }
        }
        if (total == 0)
            return;
        const auto lines = qsizetype((total + kLine - 1) / kLine);
        if (lines > 0x7FFFFFFF)
            throw Failed{};
        QImage memory = ImageAllocator::allocate(QSize(kLine / 4, int(lines)), QImage::Format_RGB32,
                                                 zeroed ? ImageAllocator::Contents::Zeroed
                                                        : ImageAllocator::Contents::Undefined);
        if (memory.isNull())
            throw Failed{};
        auto* next = reinterpret_cast<JBLOCKROW>(memory.bits());
        for (const auto& array : blocks->arrays) {
            if (!array->rowStarts.empty() || array->fill)
                continue;
            array->rowStarts.resize(array->rows);
            for (JBLOCKROW& row : array->rowStarts) {
                row = next;
                next += array->columns;
            }
        }
        blocks->memory.push_back(std::move(memory));
    }

    static JBLOCKARRAY access(j_common_ptr, jvirt_barray_ptr pointer, JDIMENSION start,
                              JDIMENSION count, boolean) {
        auto* array = reinterpret_cast<Array*>(pointer);
        if (start > array->rows || count > array->rows - start)
            throw Failed{};
        if (array->fill) {
            const std::size_t rowCoefficients = std::size_t(array->columns) * DCTSIZE2;
            array->band.resize(std::size_t(count) * rowCoefficients);
            array->bandRows.resize(count);
            for (JDIMENSION i = 0; i < count; ++i) {
                array->bandRows[i] =
                    reinterpret_cast<JBLOCKROW>(array->band.data() + i * rowCoefficients);
                array->fill(start + i, array->bandRows[i]);
            }
            return array->bandRows.data();
        }
        if (array->rowStarts.empty())
            throw Failed{};
        return array->rowStarts.data() + start;
    }
};

// The file in slices, in place (our own scan walk finds the scan by where libjpeg's header
// reading stopped in the file). At its end, an end marker after libjpeg's warning, as
// jpeg_mem_src does.
struct JpegSession::Source {
    static constexpr std::size_t kSlice = 511;

    jpeg_source_mgr manager{};
    const JOCTET* data = nullptr;
    std::size_t size = 0;
    std::size_t next = 0;

    Source(const QByteArray& encoded)
        : data(reinterpret_cast<const JOCTET*>(encoded.constData())),
          size(std::size_t(encoded.size())) {
        manager.init_source = [](j_decompress_ptr) {};
        manager.fill_input_buffer = fill;
        manager.skip_input_data = skip;
        manager.resync_to_restart = jpeg_resync_to_restart;
        manager.term_source = [](j_decompress_ptr) {};
    }

    static boolean fill(j_decompress_ptr info) {
        auto* self = reinterpret_cast<Source*>(info->src);
        if (self->next >= self->size) {
            static const JOCTET end[2] = {0xFF, JPEG_EOI};
            WARNMS(info, JWRN_JPEG_EOF);
            self->manager.next_input_byte = end;
            self->manager.bytes_in_buffer = 2;
            return TRUE;
        }
        const std::size_t slice = std::min(kSlice, self->size - self->next);
        self->manager.next_input_byte = self->data + self->next;
        self->manager.bytes_in_buffer = slice;
        self->next += slice;
        return TRUE;
    }

    static void skip(j_decompress_ptr info, long bytes) {
        auto* self = reinterpret_cast<Source*>(info->src);
        while (bytes > 0) {
            if (std::size_t(bytes) <= self->manager.bytes_in_buffer) {
                self->manager.next_input_byte += bytes;
                self->manager.bytes_in_buffer -= std::size_t(bytes);
                return;
            }
            bytes -= long(self->manager.bytes_in_buffer);
            fill(info);
        }
    }
};
static_assert(offsetof(JpegSession::Source, manager) == 0);

namespace {

constexpr qsizetype kChunkBytes = qsizetype{64} * 1024;

[[noreturn]] void fail(j_common_ptr) {
    throw JpegSession::Failed{};
}

// Level -1 is a warning: corrupt or missing data that libjpeg would otherwise step over.
void failOnWarning(j_common_ptr info, int level) {
    if (level < 0)
        throw JpegSession::Failed{info->is_decompressor != FALSE};
}

void silent(j_common_ptr) {}

} // namespace

void JpegSession::installErrorHandling(jpeg_error_mgr* errors) {
    jpeg_std_error(errors);
    errors->error_exit = fail;
    errors->emit_message = failOnWarning;
    errors->output_message = silent;
}

JpegSession::Reading::Reading(const QByteArray& encoded) {
    installErrorHandling(&m_errors);
    info.err = &m_errors;
    jpeg_create_decompress(&info);
    m_blocks = std::make_unique<Blocks>();
    info.client_data = m_blocks.get();
    m_blocks->libraryRealize = info.mem->realize_virt_arrays;
    info.mem->request_virt_barray = Blocks::request;
    info.mem->realize_virt_arrays = Blocks::realize;
    info.mem->access_virt_barray = Blocks::access;
    m_source = std::make_unique<Source>(encoded);
    info.src = &m_source->manager;
}

jvirt_barray_ptr JpegSession::Reading::generated(JDIMENSION columns, JDIMENSION rows,
                                                 std::function<void(JDIMENSION, JBLOCKROW)> fill) {
    auto array = std::make_unique<Blocks::Array>();
    array->columns = columns;
    array->rows = rows;
    array->fill = std::move(fill);
    m_blocks->arrays.push_back(std::move(array));
    return reinterpret_cast<jvirt_barray_ptr>(m_blocks->arrays.back().get());
}

JpegSession::Reading::~Reading() {
    jpeg_destroy_decompress(&info);
}

JpegSession::Writing::Writing(QIODevice* device) : m_device(device) {
    installErrorHandling(&m_errors);
    info.err = &m_errors;
    jpeg_create_compress(&info);
    info.client_data = this;
    m_destination.init_destination = startDestination;
    m_destination.empty_output_buffer = flushFull;
    m_destination.term_destination = flushRest;
    info.dest = &m_destination;
}

JpegSession::Writing::Writing(QByteArray* out, qsizetype expected)
    : Writing(static_cast<QIODevice*>(nullptr)) {
    out->reserve(expected);
    auto buffer = std::make_unique<QBuffer>(out);
    buffer->open(QIODevice::WriteOnly);
    m_device = buffer.get();
    m_ownDevice = std::move(buffer);
}

void JpegSession::Writing::takeBlocksOfReading() {
    info.mem->access_virt_barray = Blocks::access;
}

void JpegSession::Writing::keepCodingOf(const jpeg_decompress_struct& picture, bool transposed) {
    info.density_unit = picture.density_unit;
    info.X_density = transposed ? picture.Y_density : picture.X_density;
    info.Y_density = transposed ? picture.X_density : picture.Y_density;
    info.write_JFIF_header = picture.saw_JFIF_marker;
    info.restart_interval = picture.restart_interval;
    info.arith_code = picture.arith_code;
    info.optimize_coding = picture.arith_code ? FALSE : TRUE;
    if (picture.progressive_mode)
        jpeg_simple_progression(&info);
}

JpegSession::Writing::~Writing() {
    jpeg_destroy_compress(&info);
}

void JpegSession::Writing::startDestination(j_compress_ptr info) {
    auto* self = static_cast<Writing*>(info->client_data);
    self->m_chunk.resize(kChunkBytes);
    self->m_destination.next_output_byte = reinterpret_cast<JOCTET*>(self->m_chunk.data());
    self->m_destination.free_in_buffer = std::size_t(kChunkBytes);
}

boolean JpegSession::Writing::flushFull(j_compress_ptr info) {
    auto* self = static_cast<Writing*>(info->client_data);
    self->flush(std::size_t(kChunkBytes));
    return TRUE;
}

void JpegSession::Writing::flushRest(j_compress_ptr info) {
    auto* self = static_cast<Writing*>(info->client_data);
    self->flush(std::size_t(kChunkBytes) - self->m_destination.free_in_buffer);
}

void JpegSession::Writing::flush(std::size_t bytes) {
    if (bytes > 0 && m_device->write(m_chunk.constData(), qint64(bytes)) != qint64(bytes))
        throw Failed{};
    m_destination.next_output_byte = reinterpret_cast<JOCTET*>(m_chunk.data());
    m_destination.free_in_buffer = std::size_t(kChunkBytes);
}
