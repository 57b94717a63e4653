#include "imaging/probe/CameraRawProbe.h"

#include "imaging/probe/ByteOrder.h"

#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr unsigned kSubDirectories = 330;
constexpr unsigned kPhotometric = 262;
constexpr unsigned kDngVersion = 50706;
// Colour filter array and linear raw samples: a sensor's data, not a picture.
constexpr unsigned kSensorData[] = {32803, 34892};

// Formats told by their first bytes: Olympus, Panasonic, Fujifilm, Minolta, Sigma, and Canon's
// CR2 (a TIFF that says so after its header) and CR3 (an ISO media file of brand "crx ").
bool signedAsRaw(std::string_view head) {
    constexpr std::array<std::string_view, 6> kStarts = {"IIRO",
                                                         "IIRS",
                                                         "MMOR",
                                                         std::string_view("IIU\0", 4),
                                                         "FUJIFILMCCD-RAW",
                                                         std::string_view("\0MRM", 4)};
    for (const std::string_view start : kStarts)
        if (head.starts_with(start))
            return true;
    return head.starts_with("FOVb") ||
           (head.size() >= 12 &&
            (head.substr(8, 3) == std::string_view("CR\2", 3) || head.substr(4, 8) == "ftypcrx "));
}

// Walks a TIFF's directories (the chain from the first and one level of sub-directories, as
// cameras write them) for a sign of sensor data; bounded, as a hostile file may loop.
class Walk {
  public:
    explicit Walk(const QByteArray& head)
        : m_data(reinterpret_cast<const unsigned char*>(head.constData())),
          m_size(std::size_t(head.size())), m_order(ByteOrder::ofTiff(m_data)) {}

    bool findsSensorData() {
        std::size_t at = m_order.u32(m_data + 4);
        for (int chained = 0; chained < 8 && at != 0; ++chained) {
            if (directory(at, true))
                return true;
            at = next(at);
        }
        return false;
    }

  private:
    std::size_t entries(std::size_t at) const {
        return at + 2 <= m_size ? m_order.u16(m_data + at) : 0;
    }
    std::size_t next(std::size_t at) const {
        const std::size_t end = at + 2 + entries(at) * 12;
        return end + 4 <= m_size ? m_order.u32(m_data + end) : 0;
    }
    bool directory(std::size_t at, bool withSubDirectories) {
        if (++m_visited > 64)
            return false;
        const std::size_t count = entries(at);
        for (std::size_t k = 0; k < count && at + 2 + (k + 1) * 12 <= m_size; ++k) {
            const unsigned char* entry = m_data + at + 2 + k * 12;
            const unsigned tag = m_order.u16(entry);
            if (tag == kDngVersion)
                return true;
            if (tag == kPhotometric)
                for (const unsigned sensor : kSensorData)
                    if (m_order.u16(entry + 8) == sensor)
                        return true;
            if (tag == kSubDirectories && withSubDirectories && subDirectories(entry))
                return true;
        }
        return false;
    }
    bool subDirectories(const unsigned char* entry) {
        const std::uint32_t count = m_order.u32(entry + 4);
        std::size_t values = std::size_t(entry + 8 - m_data);
        if (count > 1)
            values = m_order.u32(entry + 8);
        for (std::size_t i = 0; i < count && i < 8 && values + 4 * (i + 1) <= m_size; ++i)
            if (directory(m_order.u32(m_data + values + 4 * i), false))
                return true;
        return false;
    }

    const unsigned char* m_data;
    std::size_t m_size;
    ByteOrder m_order;
    int m_visited = 0;
};

} // namespace

bool CameraRawProbe::recognises(const QByteArray& head) {
    const std::string_view bytes(head.constData(), std::size_t(head.size()));
    if (signedAsRaw(bytes))
        return true;
    const bool tiff = bytes.starts_with(std::string_view("II*\0", 4)) ||
                      bytes.starts_with(std::string_view("MM\0*", 4));
    return tiff && head.size() >= 8 && Walk(head).findsSensorData();
}
