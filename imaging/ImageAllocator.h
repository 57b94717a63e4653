#pragma once
// Pixel memory for large pictures. A fresh 24 MP bitmap is 72-96 MB; touched page by page it
// costs tens of thousands of page faults (about 0.4 s on the measured machine, more than the
// drawing). Large buffers are therefore aligned for transparent huge pages and marked so that
// the kernel backs them with 2 MB pages.

#include <QImage>
#include <QSize>

class ImageAllocator {
  public:
    // A zero-filled image of that size and format, or a null image when memory runs out.
    static QImage allocate(QSize size, QImage::Format format);
};
