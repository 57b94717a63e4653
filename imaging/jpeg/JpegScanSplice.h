#pragma once
// A stamped copy of a photograph read by JpegScanWalk, written without coding its blocks again:
// the data of the MCUs the mark left alone is taken as it is, moved to the bit where it now
// starts, and only the changed MCUs and the one after each row of them (whose first differences
// are to changed blocks) are coded anew from the blocks. The photograph's own Huffman tables
// code them, so the copy's scan is bit for bit what coding every block with those tables gives.

#include "imaging/jpeg/JpegScanWalk.h"

#include <QByteArray>
#include <QRect>

#include <optional>

struct JpegScanSplice {
    // The copy, from the start of the file to its end marker: the photograph's quantisation
    // and Huffman tables, frame, restart interval and scan header as they are, after a JFIF
    // segment as libjpeg writes one; other segments are left to the metadata rule. The MCUs in
    // changed (MCU units; none when empty) hold changed blocks. Empty when the
    // photograph's tables have no code for a symbol of the new rows, or its header holds a
    // segment this does not know.
    static std::optional<QByteArray> write(const jpeg_decompress_struct& picture,
                                           const QByteArray& encoded, const JpegScanWalk& walk,
                                           const QRect& changed);
};
