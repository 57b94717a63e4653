#pragma once
// The coding choices of a JPEG file that a copy of it can keep: its quantisation tables, which
// component takes which, and how finely each is sampled. A photograph saved at quality 98 with
// full-resolution colour stays so in its stamped copy, and one saved at 75 does not grow to a
// file half as large again at a quality it never had.

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <array>
#include <cstdint>
#include <optional>

struct JpegCoding {
    struct Component {
        int horizontal = 1; // sampling factors, 1-4
        int vertical = 1;
        int table = 0; // quantisation table number, 0-3
    };
    bool grey = false; // one component; otherwise YCbCr (the first three of a CMYK file's)
    std::array<Component, 3> components{};
    // In natural (row by row) order; a table no component uses may be absent.
    std::array<std::array<std::uint16_t, 64>, 4> tables{};
    std::array<bool, 4> hasTable{};

    // The choices of an 8-bit JPEG file's header (only the header is read); nothing for other
    // files and for colour spaces a copy is not written in (RGB-coded JPEG). turned: the
    // pixels are shown a quarter turn from how they are stored, so tables and sampling are
    // turned with them and the copy's blocks hold what the photograph's held.
    static std::optional<JpegCoding> read(const QByteArray& encoded, bool turned);

    // Encodes pixels (8-bit grey, 24 or 32-bit RGB) with these choices, baseline, with the
    // standard Huffman tables, as Qt's writer does otherwise. False when libjpeg fails or a
    // write to device is short.
    bool encode(const QImage& pixels, QIODevice* device) const;
};
