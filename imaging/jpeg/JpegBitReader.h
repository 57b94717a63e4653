#pragma once
// The bits of a JPEG scan's entropy-coded data, most significant first, with the zero byte
// that follows every 0xFF byte of data taken out. At a marker (0xFF and anything but zero) it
// stops and gives zeros, as libjpeg does; overran() tells whether any of those were taken.

#include <QtGlobal>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

// A place in a scan: the offset in the file of the byte that holds the next bit to read (never
// a stuffed zero), and how many of its bits, from the most significant, came before.
struct JpegScanPlace {
    qsizetype byte = 0;
    int bit = 0;
};

class JpegBitReader {
  public:
    JpegBitReader(const uchar* data, qsizetype size, JpegScanPlace from)
        : m_data(data), m_size(size), m_next(from.byte) {
        fill();
        skip(from.bit);
    }

    // At least 57 bits ready to peek at, or zeros after the data.
    void fill() {
        // Most of the time the next eight bytes hold no 0xFF: as many as fit go in at once.
        if (m_bits <= 56 && !m_marker && m_next + 8 <= m_size) {
            std::uint64_t word = 0;
            std::memcpy(&word, m_data + m_next, sizeof(word));
            if constexpr (std::endian::native == std::endian::little)
                word = __builtin_bswap64(word);
            const std::uint64_t inverted = ~word;
            constexpr std::uint64_t kOnes = 0x0101010101010101ull;
            if (((inverted - kOnes) & ~inverted & (kOnes << 7)) == 0) {
                const int bytes = (64 - m_bits) / 8;
                m_buffer |= (word >> (64 - 8 * bytes)) << (64 - 8 * bytes - m_bits);
                m_bits += 8 * bytes;
                m_next += bytes;
                return;
            }
        }
        while (m_bits <= 56) {
            std::uint64_t byte = 0;
            const bool data = !m_marker && m_next < m_size;
            if (data && m_data[m_next] != 0xFF) {
                byte = m_data[m_next++];
            } else if (data && m_next + 1 < m_size && m_data[m_next + 1] == 0) {
                byte = 0xFF;
                m_next += 2;
            } else if (!m_marker) {
                m_marker = true;
                continue;
            } else {
                m_fake += 8;
            }
            m_buffer |= byte << (56 - m_bits);
            m_bits += 8;
        }
    }
    // At least n bits ready (n at most 57).
    void need(int n) {
        if (m_bits < n)
            fill();
    }
    // The next n bits (n at most 32), which fill() made ready.
    std::uint32_t peek(int n) const { return std::uint32_t(m_buffer >> (64 - n)); }
    void skip(int n) {
        m_buffer <<= n;
        m_bits -= n;
    }
    std::uint32_t take(int n) {
        const std::uint32_t value = peek(n);
        skip(n);
        return value;
    }
    // Whether zeros past the data were taken.
    bool overran() const { return m_fake > m_bits; }
    // Bits of data read but not yet taken: a byte's padding at most when the data ends here.
    int bitsLeft() const { return m_bits - m_fake; }
    // The offset of the marker where the data stopped, once fill() met one.
    bool atMarker() const { return m_marker; }
    qsizetype markerAt() const { return m_next; }

    // Where the next bit lies, in a form quick to note (see placeOf).
    qint64 mark() const { return qint64(m_next) << 7 | std::max(0, bitsLeft()); }
    // The place a mark() of a reader of data stands for.
    static JpegScanPlace placeOf(const uchar* data, qint64 mark) {
        const int left = int(mark & 127);
        auto at = qsizetype(mark >> 7);
        for (int i = 0; i < (left + 7) / 8; ++i) {
            --at;
            if (data[at] == 0 && at > 0 && data[at - 1] == 0xFF)
                --at;
        }
        return {at, (8 - left % 8) % 8};
    }

  private:
    const uchar* m_data;
    qsizetype m_size;
    qsizetype m_next;
    std::uint64_t m_buffer = 0;
    int m_bits = 0;
    int m_fake = 0;
    bool m_marker = false;
};
