// Start-up, memory and the encoder list of the library.

#include "imaging/GdiPlus.h"

#include "imaging/PixelFormatMap.h"
#include "imaging/formats/EncoderTable.h"

#include <QImageReader>
#include <QImageWriter>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// Qt's reader refuses images above its allocation cap (128 MB by default, too small for
// ordinary 40 MP photographs). The library's own pixel limit is checked from the header before
// any decode; the cap only has to let everything within that limit through, at the widest
// format a decoder produces.
constexpr int kAllocationLimitMb =
    int(kMaxImagePixels * PixelFormatMap::kMaxBytesPerPixel / (std::uint64_t{1} << 20)) + 16;

std::atomic<ULONG_PTR> g_nextToken{1};

} // namespace

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output) {
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMb);
        // Loads the image plugins now, on the starting thread, rather than at the first decode
        // on whichever thread comes first; and fixes the encoder list.
        QImageReader::supportedImageFormats();
        QImageWriter::supportedImageFormats();
        EncoderTable::instance();
    });
    if (output) {
        output->NotificationHook = nullptr;
        output->NotificationUnhook = nullptr;
    }
    *token = g_nextToken.fetch_add(1);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR) {
    // Qt keeps its plugins loaded until the process ends; unloading them while images might
    // still be alive in other code would be unsafe, so there is nothing to release here.
}

void* GdipAlloc(std::size_t size) {
    return std::malloc(size ? size : 1);
}

void GdipFree(void* ptr) {
    std::free(ptr);
}

GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size) {
    if (!numEncoders || !size)
        return InvalidParameter;
    const EncoderTable& table = EncoderTable::instance();
    *numEncoders = UINT(table.entries().size());
    *size = table.byteSize();
    return Ok;
}

GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
    if (!encoders)
        return InvalidParameter;
    const EncoderTable& table = EncoderTable::instance();
    if (numEncoders != table.entries().size())
        return InvalidParameter;
    if (size < table.byteSize())
        return InsufficientBuffer;
    table.fill(encoders);
    return Ok;
}
