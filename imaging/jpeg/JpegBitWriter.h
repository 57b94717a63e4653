#pragma once
// Bits written into a JPEG scan's entropy-coded data, most significant first, with a zero byte
// stuffed after every 0xFF byte of data, into bytes that grow as needed.

#include <QByteArray>

#include <algorithm>
#include <cstdint>

class JpegBitWriter {
  public:
    explicit JpegBitWriter(QByteArray& out) : m_out(out), m_at(out.size()), m_data(out.data()) {}
    ~JpegBitWriter() { m_out.truncate(m_at); }
    JpegBitWriter(const JpegBitWriter&) = delete;
    JpegBitWriter& operator=(const JpegBitWriter&) = delete;

    // Room for bytes more of data, stuffing included.
    void reserve(qsizetype bytes) {
        // Within the capacity reserved beforehand this costs nothing; past it, QByteArray
        // grows by more than asked.
        if (m_out.size() - m_at < bytes) {
            m_out.resize(m_at + bytes);
            m_data = m_out.data();
        }
    }
    // The low size bits of code (size at most 32); reserve() made room for them.
    void put(std::uint32_t code, int size) {
        m_buffer = (m_buffer << size) | code;
        m_bits += size;
        while (m_bits >= 8) {
            m_bits -= 8;
            const auto byte = char(m_buffer >> m_bits);
            m_data[m_at++] = byte;
            if (byte == char(0xFF))
                m_data[m_at++] = 0;
        }
    }
    // Bits of data not yet in a whole byte.
    int bitsPending() const { return m_bits; }
    // Bytes as they are, after whole bytes of data; room for a few more bits after them.
    void append(const char* bytes, qsizetype count) {
        reserve(count + 16);
        std::copy_n(bytes, count, m_data + m_at);
        m_at += count;
    }
    // The last byte filled with ones, as every encoder pads.
    void pad() {
        reserve(2);
        if (m_bits > 0)
            put((1u << (8 - m_bits)) - 1, 8 - m_bits);
    }
    // A marker after the padded data.
    void marker(uchar code) {
        pad();
        const char bytes[] = {char(0xFF), char(code)};
        append(bytes, 2);
    }

  private:
    QByteArray& m_out;
    qsizetype m_at;
    // The bytes' own pointer, taken again only when they grow: QByteArray::data() checks
    // whether to detach on every call, which was most of a byte's cost.
    char* m_data;
    std::uint64_t m_buffer = 0;
    int m_bits = 0;
};
