#pragma once
// Opening and saving pictures by the file system's own bytes. The flat functions take wide
// names only because the Windows library does; a caller that holds the bytes comes here and
// spares the conversion there and back.

#include "imaging/GdiPlus.h"

#include <string>

class ImageFileAccess {
  public:
    // What GdipCreateBitmapFromFile answers for the same file.
    static GpStatus load(const std::string& path, GpImage** image);
    // What GdipSaveImageToFile answers with the encoder's defaults.
    static GpStatus save(GpImage* image, const std::string& path, const CLSID* encoder);
    // Asks an image not decoded yet to be decoded at no more than the 8 bits a sample that
    // encoder stores, where its format can be read that way (see GpImage::reduceToEightBits).
    static void readAtDepthOf(GpImage* image, const CLSID& encoder);
    // The memory encoder takes of its own while it writes a picture of that size.
    static std::uint64_t encoderBytes(const CLSID& encoder, UINT width, UINT height);
    // Whether the file is a camera's raw sensor data, which load() refuses as an unknown
    // format: the caller can then say what it is.
    static bool isCameraRaw(const std::string& path);
    // Whether the file is a picture for HDR displays (a PQ or HLG transfer), which load()
    // refuses as an unknown format rather than show it wrong.
    static bool isHdrPicture(const std::string& path);
};
