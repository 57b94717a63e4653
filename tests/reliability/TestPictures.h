#pragma once
// Pictures for the reliability tests, drawn in code: whole files in every format the library
// decodes, files cut short, and headers that claim far more pixels than they hold.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>

// A w x h picture with fine detail (seeded noise over a gradient), so that every format
// encodes it into many bytes and a cut lands inside the pixel data.
QImage NoisyImage(int width, int height, std::uint32_t seed = 1);

// A w x h picture of one colour.
QImage SolidImage(int width, int height, const QColor& colour);

// Red rising from left to right, green from top to bottom, blue fixed: the colour at any
// point is known, so an output can be checked anywhere. Drawn by Qt's painter (cheap even for
// 100 MP pictures).
QImage GradientImage(int width, int height, QImage::Format format = QImage::Format_RGB32);
QColor GradientColour(int width, int height, int x, int y);

// The image encoded as "jpeg", "png", "tiff", "bmp", "webp" (Qt's writers) or "gif" (our own
// writer: Qt has none). Empty when the format cannot be written.
QByteArray Encode(const QImage& image, const char* format, int quality = -1);

// An 8-bit palette GIF of the image's colours reduced to a 6x6x6 cube; stored with LZW
// codes that never grow past 9 bits (a literal per pixel, a clear code every 250 pixels).
QByteArray EncodeGif(const QImage& image);

// A few hundred bytes in the given format whose header declares width x height pixels
// (formats: "jpeg", "png", "gif", "bmp", "tiff", "webp"), or that holds such a picture while
// its container claims less: "ico" and "icns" (a PNG inside an icon directory's 256 x 256 or
// 1024 x 1024 entry), "gif-frame" (a frame of that size on a 0 x 0 screen).
QByteArray HeaderClaiming(const char* format, std::uint32_t width, std::uint32_t height);

// An 8-bit RGB PNG of the image whose chunks are all whole (lengths and checksums right) but
// whose compressed pixel data holds only the first keptRows rows.
QByteArray PngMissingRows(const QImage& image, int keptRows);

// A JPEG of Qt's writer whose markers are intact but whose entropy-coded data is damaged:
// 24 bytes in its middle overwritten, or everything from its middle on replaced by the end
// marker. Empty when the file has no scan to damage.
QByteArray JpegScanOverwritten(const QByteArray& jpeg);
QByteArray JpegScanCut(const QByteArray& jpeg);

// Writes bytes to path (8-bit file-system text); false on any failure.
bool WriteBytes(const QByteArray& path, const QByteArray& bytes);
QByteArray ReadBytes(const QByteArray& path);

// True when every channel of got lies within tolerance of want.
bool NearColour(const QColor& got, const QColor& want, int tolerance);
