#pragma once
// A grey JPEG as a colour one that shows the same pixels: its grey blocks become the luma
// blocks as they are, beside colour blocks that are all zero, which decode to exactly neutral
// colour. A logo in colour can then be stamped on the photograph without turning grey, and
// without a single block of the photograph outside it coded again.

#include <QByteArray>

#include <optional>

class JpegGreyInColour {
  public:
    // encoded, a grey 8-bit JPEG, as a YCbCr one with full-resolution colour (the grey picture's
    // MCU grid), its own table for the luma and the standard colour table at the quality the
    // luma table is nearest to, its progression and restart interval, optimised Huffman tables
    // and no records: the caller writes those. Nothing for other files. Throws
    // JpegSession::Failed when libjpeg refuses or warns about the file.
    static std::optional<QByteArray> recast(const QByteArray& encoded);
};
