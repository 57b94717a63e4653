#pragma once
// Beyond the Windows library, which gives every bitmap a resolution: the one a picture file
// states, or none. Qt's decoders and writers cannot tell "none" from their default, so the
// fields are read from the file itself and written over whatever the encoder put there.

#include <QByteArray>

#include <optional>

struct Resolution {
    enum class Unit { Inch, Centimetre };
    Unit unit = Unit::Inch;
    // Dots per unit.
    double x = 0;
    double y = 0;

    // JPEG: a JFIF density in dots per inch or centimetre (unit 0 states only an aspect
    // ratio); PNG: pHYs in metres; TIFF: X/YResolution in inches or centimetres; BMP: pixels
    // per metre. Nothing when the file states none (or a zero or absurd one).
    static std::optional<Resolution> read(const QByteArray& encoded);
    // The same fields of a file that Qt's writer (or ours) just encoded, set to resolution, or
    // made to state none: JFIF's aspect ratio only, no pHYs chunk, no TIFF resolution tags, 0
    // pixels per metre. WebP has no such field. Files of another shape are left as they are.
    static void write(QByteArray& encoded, const std::optional<Resolution>& resolution);
    // The same for a TIFF that an encoder wrote into the file open at fd (read and write), in
    // place: a 72 MB file is not read back for three directory entries. False on a read or
    // write error.
    static bool writeTiff(int fd, const std::optional<Resolution>& resolution);

    // unit, x and y as a file states them: nothing for a zero or absurd resolution.
    static std::optional<Resolution> stated(Unit unit, double x, double y);

  private:
    // The fields of a TIFF held in memory (with writeTiff, in TiffResolution.cpp).
    static std::optional<Resolution> readTiff(const QByteArray& data);
    static void writeTiffBytes(QByteArray& data, const std::optional<Resolution>& resolution);
};
