#pragma once
// Library images of the imaging tests, held with automatic disposal; the pictures themselves
// come from the shared test pictures.

#include "TestPictures.h"
#include "imaging/GdiPlus.h"

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
