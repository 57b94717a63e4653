#pragma once
// CMYK to sRGB by a table of 17 x 17 x 17 x 17 colours that Little CMS works out once for a
// profile, between which every pixel is interpolated (tetrahedra over cyan, magenta and
// yellow, then linearly in black). Little CMS's own 4-channel path takes 40-90 ns a pixel; a
// 24 MP CMYK photo spent most of its copy's time there.

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class CmykTable {
  public:
    // The table of transform, which converts Adobe-inverted CMYK bytes (TYPE_CMYK_8_REV) to
    // 16-bit RGB (TYPE_RGB_16); empty when it gives nothing.
    static std::optional<CmykTable> of(void* transform);

    // Rows from `from` to `to` of a picture whose rows of width pixels start stride bytes
    // apart at first, four CMYK bytes a pixel as libjpeg gives them, turned into opaque
    // 0xffRRGGBB words in place. Rows apart may be converted on threads side by side.
    void convert(uchar* first, qsizetype stride, int width, int from, int to) const;

  private:
    static constexpr int kPoints = 17;
    // 16-bit RGB at each grid point, cyan slowest, black fastest.
    std::vector<std::array<std::uint16_t, 3>> m_points;
};
