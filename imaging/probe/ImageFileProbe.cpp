#include "imaging/probe/ImageFileProbe.h"

#include "imaging/probe/RawPictureProbe.h"

#include <algorithm>
#include <cstring>

// Constant-initialised: a probe made during static initialisation finds the table filled.
constinit const std::array<ImageFileProbe::ContainerRow, 8> ImageFileProbe::kContainers{{
    {.container = Container::Jpeg,
     .sniffs = [](const QByteArray& head) { return startsWith(head, "\xFF\xD8\xFF", 3); },
     .walk = probeJpeg,
     .bytesPerPixel = 8, // noise at quality 100 without subsampling, and CMYK: 3-4.1 bytes
     .sizedByEveryPicture = true},
    {.container = Container::Png,
     .sniffs = [](const QByteArray& head) { return startsWith(head, "\x89PNG\r\n\x1A\n", 8); },
     .walk = probePng,
     .bytesPerPixel = 9}, // 16-bit RGBA, a filter byte per row, stored deflate blocks
    {.container = Container::Gif,
     .sniffs =
         [](const QByteArray& head) {
             return startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6);
         },
     .walk = probeGif,
     .bytesPerPixel = 2, // 12-bit codes and sub-block lengths
     .beyondPixels = kSeveral,
     .readerMisstatesSize = true},
    {.container = Container::Bmp,
     .sniffs = [](const QByteArray& head) { return startsWith(head, "BM", 2); },
     .walk = probeBmp,
     .bytesPerPixel = 4},
    {.container = Container::Tiff,
     .sniffs =
         [](const QByteArray& head) {
             return startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4) ||
                    startsWith(head, "II+\0", 4) || startsWith(head, "MM\0+", 4);
         },
     .walk = probeTiff,
     .bytesPerPixel = 16}, // 32-bit float RGBA
    {.container = Container::WebP,
     .sniffs =
         [](const QByteArray& head) {
             return head.size() >= 12 && startsWith(head, "RIFF", 4) &&
                    std::memcmp(head.constData() + 8, "WEBP", 4) == 0;
         },
     .walk = probeWebP,
     .bytesPerPixel = 8,
     .beyondPixels = kSeveral},
    {.container = Container::Icns,
     .sniffs = [](const QByteArray& head) { return startsWith(head, "icns", 4); },
     .walk = probeIcns,
     .readerTellsSize = false},
    {.container = Container::Ico,
     .sniffs = looksLikeIco,
     .walk = probeIco,
     .readerMisstatesSize = true},
}};

ImageFileProbe::Container ImageFileProbe::sniff(const QByteArray& head) {
    for (const ContainerRow& row : kContainers)
        if (row.sniffs(head))
            return row.container;
    return Container::Unknown;
}

ImageFileProbe::Result ImageFileProbe::probe(const QByteArray& data) {
    if (const ContainerRow* row = rowOf(sniff(data)))
        return row->walk(data);
    Result r;
    r.damaged = RawPictureProbe::cutShort(data);
    return r;
}

std::uint64_t ImageFileProbe::bytesWorthReading(const Result& probed) {
    const ContainerRow* row = rowOf(probed.container);
    if (row == nullptr || row->bytesPerPixel == 0)
        return kSeveral;
    // Beyond the limit the head alone shows that the file is refused.
    if (probed.width == 0 || probed.height == 0 || probed.width > kMaxImagePixels ||
        probed.height > kMaxImagePixels || probed.width * probed.height > kMaxImagePixels)
        return 0;
    return probed.width * probed.height * row->bytesPerPixel + row->beyondPixels;
}

const ImageFileProbe::ContainerRow* ImageFileProbe::rowOf(Container container) {
    const auto found =
        std::find_if(kContainers.begin(), kContainers.end(),
                     [&](const ContainerRow& row) { return row.container == container; });
    return found != kContainers.end() ? &*found : nullptr;
}

bool ImageFileProbe::startsWith(const QByteArray& data, const char* magic, std::size_t length) {
    return std::size_t(data.size()) >= length && std::memcmp(data.constData(), magic, length) == 0;
}
