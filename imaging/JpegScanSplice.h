#pragma once
// A stamped copy of a photograph read by JpegScanWalk, written without coding its blocks again:
// the scan's bytes are taken as they are up to the first MCU row the mark changed, the rows from
// there to the one after the last changed row are coded anew from the blocks (the row after
// codes its first differences against the new blocks), and the rest of the scan follows, moved
// to the bit where the new rows end, or as it is from the next restart marker. The photograph's
// own Huffman tables code the new rows, so the copy's scan is bit for bit what coding every
// block with those tables gives.

#include "imaging/JpegScanWalk.h"

#include <QByteArray>

#include <optional>

struct JpegScanSplice {
    // The copy, from the start of the file to its end marker: the photograph's quantisation
    // and Huffman tables, frame, restart interval and scan header as they are, after a JFIF
    // segment as libjpeg writes one; other segments are left to the metadata rule. The MCU rows
    // from top to bottom (none when top > bottom) hold changed blocks. Empty when the
    // photograph's tables have no code for a symbol of the new rows, or its header holds a
    // segment this does not know.
    static std::optional<QByteArray> write(const jpeg_decompress_struct& picture,
                                           const QByteArray& encoded, const JpegScanWalk& walk,
                                           int top, int bottom);
};
