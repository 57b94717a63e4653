#pragma once
// Cheap structural checks of an encoded picture held in memory: which container it is, whether
// the data that its headers declare is all there, and the pixel-format code that the Windows
// library reports for it. Nothing here decodes pixels.

#include "imaging/GdiPlus.h"

#include <QByteArray>

class ImageFileProbe {
  public:
    enum class Container { Unknown, Jpeg, Png, Gif, Bmp, Tiff, WebP };

    struct Result {
        Container container = Container::Unknown;
        // False when a declared part (segment, chunk, strip, pixel array) runs past the end
        // of the data, or the end marker is missing: the file was cut short or is damaged.
        bool complete = true;
        // The code as read from the header; PixelFormatUndefined when the header does not say.
        PixelFormat pixelFormat = PixelFormatUndefined;
        // Stored size from the header; 0 when not read.
        std::uint64_t width = 0;
        std::uint64_t height = 0;
    };

    static Container sniff(const QByteArray& head);
    static Result probe(const QByteArray& data);

  private:
    static Result probeJpeg(const QByteArray& data);
    static Result probePng(const QByteArray& data);
    static Result probeGif(const QByteArray& data);
    static Result probeBmp(const QByteArray& data);
    static Result probeTiff(const QByteArray& data);
    static Result probeWebP(const QByteArray& data);
};
