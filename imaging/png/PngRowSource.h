#pragma once
// The picture side of the PNG encoder (see PngEncoder).

#include <QImage>

#include <cstdint>

// Reads rows of the picture as PNG stores them: RGB or RGBA (straight alpha), 8 bits each.
class PngRowSource {
  public:
    PngRowSource(const QImage& image, bool alpha)
        : m_image(image), m_target(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888),
          m_direct(image.format() == m_target) {}

    // Rows first .. first + count - 1; row pointers stay valid until the next call.
    void load(int first, int count) {
        m_first = first;
        if (m_direct)
            return;
        const QImage view(m_image.constScanLine(first), m_image.width(), count,
                          m_image.bytesPerLine(), m_image.format());
        m_converted = view.convertToFormat(m_target);
    }
    const std::uint8_t* row(int y) const {
        return m_direct ? m_image.constScanLine(y) : m_converted.constScanLine(y - m_first);
    }
    bool failed() const { return !m_direct && m_converted.isNull(); }

  private:
    const QImage& m_image;
    QImage::Format m_target;
    bool m_direct;
    QImage m_converted;
    int m_first = 0;
};
