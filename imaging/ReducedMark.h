#pragma once
// Beyond the Windows library: a mark drawn smaller than its own size. Smooth scaling reads the
// four pixels around each target pixel's centre, so a mark reduced by more than half skips whole
// pixels: its thin lines come out beaded, its nearly flat ones stepped. Such a mark is first
// reduced to the size it is drawn at, each target pixel the average of the premultiplied source
// pixels it covers (weighted by how much of each it covers), and that copy is drawn one to one.

#include "imaging/GdiPlus.h"

#include <memory>

struct ReducedMark {
    // What to draw in place of the whole of image at width x height pixels. Along an axis that
    // shrinks the copy has the drawn size; along one that does not, the image's own, and the
    // drawing scales it as before. The image itself (not owned by the pointer) when neither axis
    // shrinks, when it cannot be decoded (its drawing reports that), or when memory runs out.
    // A copy is kept with the image for the next drawing at that size, from any thread; the
    // pointer keeps it alive after the image or its other copies are gone.
    static std::shared_ptr<GpImage> drawnAt(GpImage* image, INT width, INT height);

    // The overlay as it is stamped whole into width x height pixels of background: in the
    // background's colour space (see ImageFacts::overlayFor), then reduced (drawnAt). Valid until
    // the next call on this thread, like a converted overlay.
    static std::shared_ptr<GpImage> overlayFor(GpImage* overlay, const GpImage* background,
                                               INT width, INT height);
};
