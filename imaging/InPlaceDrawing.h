#pragma once
// Beyond the Windows library's functions: whether a stamp may draw on a decoded picture itself
// instead of on a new bitmap that the picture was first copied into.

#include "imaging/GdiPlus.h"

struct InPlaceDrawing {
    // True when image, decoded, already is what a new bitmap of format holds once the image is
    // drawn onto it one to one: the same code and pixel layout, every pixel opaque (source-over
    // then copies), and nothing that a new bitmap would not carry into a saved file (a
    // resolution, colour space or text of its own). Drawing on the image itself then gives
    // exactly the pixels and the file that drawing on such a copy gives, without the copy.
    // Decodes the image as drawing it onto that bitmap would; false when decoding fails (the
    // drawing reports it) or while a drawing surface is open on the image.
    static bool matchesNewBitmap(GpImage* image, PixelFormat format);
};
