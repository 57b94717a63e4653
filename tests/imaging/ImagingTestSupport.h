#pragma once
// Helpers of the imaging tests: pictures drawn in code, written to temporary folders, and
// library images held with automatic disposal.

#include "imaging/GdiPlus.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <memory>
#include <string>

struct ImageDisposer {
    void operator()(GpImage* image) const { GdipDisposeImage(image); }
};
using ImagePtr = std::unique_ptr<GpImage, ImageDisposer>;

struct GraphicsDeleter {
    void operator()(GpGraphics* graphics) const { GdipDeleteGraphics(graphics); }
};
using GraphicsPtr = std::unique_ptr<GpGraphics, GraphicsDeleter>;

std::wstring widePath(const QString& path);
// Loads with GdipCreateBitmapFromFile; the status goes to *status.
ImagePtr loadBitmap(const QString& path, GpStatus* status);
ImagePtr blankBitmap(int width, int height, PixelFormat format);
// The image's pixels (decoded if needed) in straight ARGB.
QImage pixelsOf(GpImage* image);

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Encodes with Qt directly (not through the library) for use as test input.
QByteArray encodeWithQt(const QImage& image, const char* format, int quality = -1);
// An uncompressed-code GIF of 8-bit indices with a 256-entry palette; Qt cannot write GIF.
QByteArray encodeGif(const QImage& indexed8);

// A picture of flat quadrants: top-left red, top-right green, bottom-left blue, bottom-right
// white, so lossy codecs stay close to the colours inside each quadrant.
QImage quadrants(int width, int height, QImage::Format format = QImage::Format_RGB32);

// |a - b| of every channel is at most tolerance.
bool near(QRgb a, QRgb b, int tolerance);
std::string describe(QRgb colour);
