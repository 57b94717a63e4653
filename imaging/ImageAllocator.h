#pragma once
// Pixel memory for large pictures. A fresh 24 MP bitmap is 72-96 MB; touched page by page it
// costs tens of thousands of page faults (about 0.4 s on the measured machine, more than the
// drawing). Large buffers are therefore aligned for transparent huge pages and marked so that
// the kernel backs them with 2 MB pages.
//
// Even with huge pages, the kernel zeroes every new page (a quarter of a stamped 24 MP
// picture's time was spent there). Worker threads stamping one picture after another free and
// ask for buffers of the same sizes again and again, so large buffers freed by a thread other
// than the application's main one are kept (two per such thread, shared by all of them) and
// handed out again; they are released when the last of those threads ends. The main thread
// lives as long as the program and neither keeps nor reuses anything.

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
    // Large buffers kept for reuse by worker threads (for tests).
    static int keptBuffers();
};
