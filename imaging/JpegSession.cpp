#include "imaging/JpegSession.h"

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

[[noreturn]] void fail(j_common_ptr) {
    throw JpegSession::Failed{};
}

// Level -1 is a warning: corrupt or missing data that libjpeg would otherwise step over.
void failOnWarning(j_common_ptr info, int level) {
    if (level < 0)
        fail(info);
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
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(encoded.constData()),
                 static_cast<unsigned long>(encoded.size()));
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
