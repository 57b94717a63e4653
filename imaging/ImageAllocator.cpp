#include "imaging/ImageAllocator.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

} // namespace

QImage ImageAllocator::allocate(QSize size, QImage::Format format) {
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype bytesPerLine = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(size.height());
    void* memory = nullptr;
    if (bytes >= kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        memory = std::aligned_alloc(kHugePage, rounded);
        if (memory) {
            ::madvise(memory, rounded, MADV_HUGEPAGE); // a hint; failure only costs speed
            std::memset(memory, 0, bytes);
        }
    } else {
        memory = std::calloc(bytes, 1);
    }
    if (!memory)
        return QImage();
    QImage image(static_cast<uchar*>(memory), size.width(), size.height(), bytesPerLine, format,
                 std::free, memory);
    if (image.isNull())
        std::free(memory);
    return image;
}
