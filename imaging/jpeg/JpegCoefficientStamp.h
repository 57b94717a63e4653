#pragma once
// Beyond the Windows library: a JPEG stamped without generation loss. A JPEG stores its
// picture as 8x8 blocks of quantised frequencies (coefficients); only the blocks under the mark
// need to become pixels and go through the encoder again. Every other block is copied as it is,
// so stamping a photograph once or ten times leaves everything outside the mark exactly as the
// camera wrote it, in a file no larger than the photograph's.
//
// The blocks of the whole MCUs (the unit of blocks of every component that covers one area)
// that the mark's rectangle touches are decoded, with one MCU around them for the colour
// smoothing that reaches across block edges; the mark is drawn onto them exactly as onto the
// decoded picture; MCUs whose pixels the mark changed are encoded with the picture's own
// tables and sampling and replace the photograph's; the file is written again with its own
// tables, sampling, progression and restart interval, and its own Huffman tables where the
// scan allows (widened to the new blocks' symbols), optimised ones otherwise.

#include "imaging/GdiPlus.h"
#include "imaging/metadata/PictureMetadata.h"

#include <QIODevice>
#include <QRectF>

#include <atomic>

class JpegCoefficientStamp {
  public:
    // Whether background, loaded and not yet decoded, may be stamped this way as far as the
    // loaded picture tells: a JPEG. stamp checks the rest, and turns a picture shown turned
    // first where that loses nothing (see JpegLosslessTurn).
    static bool suits(const GpImage* background);

    // Draws the source part of mark (pixels) scaled into destination (background pixels) as a
    // drawing surface on the decoded background would, and writes the stamped JPEG with the
    // background's records as kept into device. NotImplemented when this way does not apply
    // (12-bit, CMYK or RGB-coded, a profile whose colours the full route converts, a turn that
    // would lose an edge) or libjpeg refuses the file: the caller then decodes it whole.
    // GenericError for a file whose data is damaged, as the whole decode would report it:
    // the file is judged once. Win32Error when device takes a write short; Aborted once
    // abandon (optional) is set.
    static GpStatus stamp(GpImage* background, GpImage* mark, const QRectF& destination,
                          const QRectF& source, QIODevice* device,
                          const std::atomic<bool>* abandon = nullptr,
                          MetadataKept kept = MetadataKept::Default);
};
