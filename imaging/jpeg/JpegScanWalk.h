#pragma once
// A photograph's single sequential scan read into its coefficients by our own Huffman decoder,
// which, unlike libjpeg's, tells where in the file each MCU row starts. A stamped copy can then
// take the scan's bytes as they are above and below the rows the mark changed (see
// JpegScanSplice) instead of coding every block again.
//
// It reads only the most common kind of JPEG, one sequential Huffman-coded scan of every
// component interleaved, and declines everything else. What libjpeg always warns about (a
// code no table has, data that ends early, a restart marker out of turn or after stray bytes)
// fails the walk as libjpeg's session fails on it (JpegSession::Failed, damaged): every decode
// of the picture would refuse it, so it is judged once, here. What libjpeg may step over
// silently (a block of more than 64 coefficients, a difference longer than 8-bit samples
// allow, bytes between the scan and the end of the file) makes it decline, and such a file is
// left to libjpeg. Every block is decoded and judged, also where only its place is kept: a copy
// that takes a stretch of bytes as it is must not carry damage the photograph's own reading would
// have reported.

#include "imaging/jpeg/JpegBitReader.h"
#include "imaging/jpeg/JpegMcuGrid.h"

#include <QByteArray>

#include <atomic>
#include <limits>
#include <optional>
#include <vector>

// The MCU rows whose blocks a stamp needs: those under the mark and its context. The
// others are decoded only for where their data lies and whether it is whole.
struct JpegScanRows {
    int first = 0;
    int end = std::numeric_limits<int>::max();

    bool holds(int row) const { return row >= first && row < end; }
};

struct JpegScanWalk {
    using Rows = JpegScanRows;

    // The picture's blocks, in arrays requested from the reading's memory manager, with the
    // sizes and layout jpeg_read_coefficients would give them. Only the kept rows are filled;
    // the arrays' other pages are never written, so they take no memory.
    JpegCoefficients blocks{};
    Rows kept;
    // Where each MCU's data starts, and where the data of each restart interval (the whole
    // scan's without restart markers) ends, as JpegBitReader::mark() notes them.
    std::vector<qint64> mcuStarts;
    std::vector<qint64> intervalEnds;
    int mcuColumns = 0;
    int mcuRows = 0;

    // Whether picture, whose header libjpeg has read from encoded, is a scan this reads.
    static bool suits(const jpeg_decompress_struct& picture);
    // The whole scan read, the blocks of kept rows stored; empty when the scan is not one this
    // reads (see above), or once abandon is set. Throws JpegSession::Failed for damage.
    // judged: encoded was written here from blocks that libjpeg read and judged whole (a
    // turn), so a restart interval without a kept row is found from marker to marker instead
    // of being decoded: there is no damage to find in it.
    static std::optional<JpegScanWalk> read(jpeg_decompress_struct& picture,
                                            const QByteArray& encoded, Rows kept = {},
                                            const std::atomic<bool>* abandon = nullptr,
                                            bool judged = false);
    // Whether every block was read and stored.
    bool whole() const { return kept.first <= 0 && kept.end >= mcuRows; }
};
