// A stamped copy's scan spliced from the photograph's own bytes around the rows coded anew.

#include "imaging/jpeg/JpegScanSplice.h"
#include "TestPictures.h"
#include "imaging/jpeg/JpegOwnTables.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <optional>

// The photograph's scan taken as it is around rows coded anew is, byte for byte, what libjpeg
// writes when it codes every block with the same tables; a scan that is not whole is declined.
TEST(JpegScanSplice, GivesTheFileLibjpegWritesFromTheSameBlocks) {
    // With partly, only the changed rows and one more on either side are read into blocks.
    const auto spliced = [](const QByteArray& jpeg, const QRect& mcus, bool rewrite,
                            QByteArray* whole, bool partly = false) -> std::optional<QByteArray> {
        // Changed blocks: every coefficient but the DC, whose codes an optimised table may lack,
        // turned round, or the DC too where the tables code every difference.
        const auto walked = [&](JpegSession::Reading& reading, JpegScanWalk::Rows rows) {
            jpeg_read_header(&reading.info, TRUE);
            std::optional<JpegScanWalk> walk = JpegScanWalk::read(reading.info, jpeg, rows);
            for (int c = 0; walk && c < reading.info.num_components; ++c) {
                const int h = reading.info.comp_info[c].h_samp_factor;
                const int v = reading.info.comp_info[c].v_samp_factor;
                for (int y = mcus.top() * v; y < (mcus.bottom() + 1) * v; ++y) {
                    const JBLOCKROW row = JpegMcuGrid::blockRow(
                        reinterpret_cast<j_common_ptr>(&reading.info), walk->blocks, c, y);
                    for (int x = mcus.left() * h; x < (mcus.right() + 1) * h; ++x)
                        for (int k = rewrite ? 0 : 1; k < 64; ++k)
                            row[x][k] = JCOEF(-row[x][k]);
                }
            }
            return walk;
        };
        JpegSession::Reading reading(jpeg);
        std::optional<JpegScanWalk> walk = walked(reading, {});
        if (!walk)
            return std::nullopt;
        QBuffer buffer(whole);
        buffer.open(QIODevice::WriteOnly);
        JpegSession::Writing writing(&buffer);
        jpeg_copy_critical_parameters(&reading.info, &writing.info);
        JpegOwnTables::keep(reading.info, writing.info, {});
        writing.info.restart_interval = reading.info.restart_interval;
        writing.takeBlocksOfReading();
        jpeg_write_coefficients(&writing.info, walk->blocks.data());
        jpeg_finish_compress(&writing.info);
        if (!partly)
            return JpegScanSplice::write(reading.info, jpeg, *walk, mcus);
        JpegSession::Reading part(jpeg);
        const std::optional<JpegScanWalk> rows = walked(part, {mcus.top() - 1, mcus.bottom() + 2});
        if (!rows || rows->whole())
            return std::nullopt;
        return JpegScanSplice::write(part.info, jpeg, *rows, mcus);
    };
    const QImage noisy = NoisyImage(203, 141, 3);
    const QByteArray plain = ShapedJpeg(noisy, {});
    QByteArray garbled = plain;
    garbled.insert(garbled.size() - 2, "\x12\x34", 2);
    // A fill byte before a stuffed 0xFF: libjpeg reads it as that one data byte.
    QByteArray filled = plain;
    filled.insert(filled.indexOf(QByteArray("\xFF\x00", 2), filled.indexOf("\xFF\xDA")), '\xFF');
    QByteArray restarts = ShapedJpeg(noisy, {2, 2, false, false, 1});
    // Three stray bytes before a restart marker: libjpeg's bit buffer may take them in and drop
    // them without a word.
    QByteArray fewStray = restarts;
    fewStray.insert(fewStray.indexOf("\xFF\xD2"), "\x12\x34\x56", 3);
    restarts[restarts.lastIndexOf("\xFF\xD3") + 1] = char(0xD5);
    const struct {
        const char* name;
        QByteArray jpeg;
        QRect mcus; // changed
        bool rewrite;
        bool partly = false;
    } cases[] = {
        {"4:2:0, middle", plain, {3, 3, 5, 2}, true},
        {"4:2:0, first MCU", plain, {0, 0, 1, 1}, true},
        {"4:2:0, right edge to the last MCU", plain, {9, 7, 4, 2}, true},
        {"4:2:0, a whole row", plain, {0, 4, 13, 1}, true},
        {"nothing changed", plain, {}, true},
        {"4:2:2, one MCU", ShapedJpeg(noisy, {2, 1}), {6, 5, 1, 1}, true},
        {"4:4:4", ShapedJpeg(noisy, {1, 1}), {20, 2, 6, 8}, true},
        {"4:4:0", ShapedJpeg(noisy, {1, 2}), {0, 1, 3, 1}, true},
        {"grey", ShapedJpeg(noisy, {1, 1, true}), {10, 4, 16, 3}, true},
        {"restart every row", ShapedJpeg(noisy, {2, 2, false, false, 1}), {5, 2, 3, 2}, true},
        {"restart every two rows", ShapedJpeg(noisy, {2, 2, false, false, 2}), {12, 3, 1, 3}, true},
        {"the rows around the mark only", plain, {3, 3, 5, 2}, true, true},
        {"restart every row, the others skipped",
         ShapedJpeg(noisy, {2, 2, false, false, 1}),
         {5, 4, 3, 1},
         true,
         true},
        {"restart every 4 MCUs, the mark in one",
         ShapedJpeg(noisy, {2, 2, false, false, 0, 92, false, 1, 1, 4}),
         {4, 5, 2, 1},
         true,
         true},
        {"4:4:4, the last row", ShapedJpeg(noisy, {1, 1}), {20, 17, 6, 1}, true, true},
        {"optimised tables",
         ShapedJpeg(noisy, {2, 2, false, false, 0, 92, true}),
         {2, 2, 6, 5},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray whole;
        const std::optional<QByteArray> copy = spliced(c.jpeg, c.mcus, c.rewrite, &whole, c.partly);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->toHex(), whole.toHex());
    }
    // Damage fails the walk as libjpeg's session fails on it; a scan it does not read is
    // declined.
    const struct {
        const char* name;
        QByteArray jpeg;
        bool damaged;
    } declined[] = {
        {"cut short", plain.left(plain.size() / 2) + "\xFF\xD9", true},
        {"bytes before the end", garbled, false},
        {"a restart marker out of turn", restarts, true},
        {"progressive", ShapedJpeg(noisy, {2, 2, false, true}), false},
        {"fill bytes in the data", filled, false},
        {"a few bytes before a restart marker", fewStray, false},
    };
    for (const auto& c : declined) {
        SCOPED_TRACE(c.name);
        QByteArray whole;
        bool damaged = false;
        try {
            EXPECT_FALSE(spliced(c.jpeg, {1, 1, 2, 2}, true, &whole));
        } catch (const JpegSession::Failed& failed) {
            damaged = failed.damaged;
        }
        EXPECT_EQ(damaged, c.damaged);
    }
}
