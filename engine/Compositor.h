#pragma once
// The drawings of a stamp: the picture copied into the bitmap the stamp goes on, where it is
// not drawn on itself, and the overlay drawn over it. A run's stamp (CImageFile::ComposeOverlay)
// and the preview's stamp on a reduced copy (CStampedItem::ComposePreview) are both made of
// these, so the preview shows the mark as a run draws it.

#include "engine/ImageRecord.h"
#include "types/WinTypes.h"

struct Compositor {
    // A new bitmap of width x height in format, with the whole picture drawn into it (one to
    // one at the picture's own size); status receives that drawing's answer. The record is kept
    // when the drawing fails, without a bitmap when there is no size; null only when no record
    // could be made (status OutOfMemory).
    static ImageRecordPtr NewCanvas(GpImage* picture, INT width, INT height, PixelFormat format,
                                    GpStatus& status);
    // Draws the sourceRect part of overlay scaled into destRect on canvas, converted into the
    // colour space of picture (the one canvas shows). The whole overlay drawn smaller than it
    // is goes on as a copy reduced to that size (ReducedMark): scaling alone would skip
    // pixels of its thin lines. A null overlay or canvas gives InvalidParameter.
    static GpStatus DrawMark(GpImage* canvas, GpImage* overlay, const GpImage* picture,
                             const RECT& sourceRect, const RECT& destRect);
};
