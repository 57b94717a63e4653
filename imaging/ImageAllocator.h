#pragma once
// Pixel memory for large pictures. A fresh 24 MP bitmap is 72-96 MB; touched page by page it
// costs tens of thousands of page faults (about 0.4 s on the measured machine, more than the
// drawing). Large buffers are therefore aligned for transparent huge pages and marked so that
// the kernel backs them with 2 MB pages.
//
// Even with huge pages, the kernel zeroes every new page (a quarter of a stamped 24 MP
// picture's time was spent there). A worker thread stamping one picture after another frees
// and asks for buffers of the same sizes again and again, so a thread other than the
// application's main one keeps the last two large buffers it freed and hands them out again;
// they are released when the thread ends. The main thread lives as long as the program and
// keeps nothing.

#include <QImage>
#include <QSize>

class ImageAllocator {
  public:
    enum class Contents {
        Zeroed,   // all bits zero
        Undefined // whatever the memory held; for pixels that are written before being read
    };
    // An image of that size and format, or a null image when memory runs out.
    static QImage allocate(QSize size, QImage::Format format, Contents contents = Contents::Zeroed);
    // Large buffers the calling thread keeps for reuse (for tests).
    static int keptBuffers();
};
