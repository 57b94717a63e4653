// JPEG photographs stamped as JPEG: outside the MCUs under the mark the copy holds the
// photograph's own blocks, inside it holds what decoding, stamping and encoding the whole
// picture gives; pictures that must be decoded whole keep their own tables.

#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/Placement.h"
#include "engine/RunSettings.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "imaging/files/OutputFolder.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Every block the mark changed is the whole-picture route's block exactly; the decoded pixels
// inside the box still differ where the whole-picture route encoded again MCUs the mark left
// alone, and next to them through the colour upsampling: up to 13 levels measured on these
// noisy pictures at quality 92.
constexpr int kRoundOff = 14;

struct Shot {
    DWORD anchor = 9;
    bool percent = false;
    int x = 24;
    int y = 16;
};

class LosslessJpeg : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Opaque and half-transparent parts, so that blending shows.
        QImage mark = RedGreenOverlay(24, 16);
        QPainter(&mark).fillRect(0, 8, 24, 8, QColor(0, 0, 255, 128));
        ASSERT_TRUE(m_overlay.LoadFromFile(SavePicture(m_dir, "mark.png", mark).c_str()));
        ASSERT_TRUE(m_overlay.DecodeNow());
    }
    // The picture written into the folder and loaded by item; job set up as shot says.
    void Load(const QByteArray& picture, const Shot& shot, CBatchJob& job, CStampedItem& item) {
        const std::string in = PathIn(m_dir, "picture.jpg");
        EXPECT_TRUE(WriteBytes(QString::fromLocal8Bit(in.c_str()), picture));
        Fill(job, shot);
        EXPECT_EQ(item.Load(in.c_str()), ItemOutcome::Done);
    }
    static void Fill(CBatchJob& job, const Shot& shot) {
        job.SetSizeMode(shot.percent ? SizeModePercent : SizeModePixels);
        job.SetOverlayAnchor(shot.anchor);
        job.nSizeX = shot.x;
        job.nSizeY = shot.y;
        CopyText(job.szOutputFormat, "image/jpeg");
    }
    // The stamped file, the blocks kept (lossless) or the picture encoded whole at quality
    // (0: its own tables); empty when the lossless way declines the picture.
    QByteArray Stamp(const QByteArray& picture, const Shot& shot, bool lossless, int quality = 0) {
        CBatchJob job(nullptr);
        CStampedItem item;
        Load(picture, shot, job, item);
        CLSID encoder{};
        EXPECT_GE(job.FindOutputEncoder(encoder), 0);
        PendingImageFile file;
        const OutputFolder folder(QFile::encodeName(m_dir.path()));
        if (lossless) {
            const auto outcome =
                item.EncodeLossless(job.Choices(), m_overlay, file, folder, &encoder);
            if (!outcome)
                return {};
            EXPECT_EQ(*outcome, ItemOutcome::Done);
        } else {
            EXPECT_EQ(item.Compose(job.Choices(), m_overlay), ItemOutcome::Done);
            EXPECT_EQ(
                item.Encode(file, folder, &encoder, nullptr, MetadataKept::Default, {quality}),
                ItemOutcome::Done);
        }
        EXPECT_EQ(item.PutInPlace(file, "stamped.jpg"), ItemOutcome::Done);
        return ReadBytes(QString::fromLocal8Bit(PathIn(m_dir, "stamped.jpg").c_str()));
    }
    // The pixels of the whole MCUs that the mark's place on a picture touches.
    static QRect McuBox(const Shot& shot, QSize size, const JpegBlocks& blocks) {
        const RECT at = ComputePlacement(shot.percent ? SizeMode::Percent : SizeMode::Pixels,
                                         AnchorOfField(shot.anchor), shot.x, shot.y,
                                         UINT(size.width()), UINT(size.height()));
        const QRect area = QRect(at.left, at.top, at.right - at.left, at.bottom - at.top)
                               .intersected(QRect(QPoint(), size));
        const int w = blocks.mcuWidth, h = blocks.mcuHeight;
        return QRect(QPoint(area.left() / w * w, area.top() / h * h),
                     QPoint((area.right() / w + 1) * w - 1, (area.bottom() / h + 1) * h - 1));
    }

    QTemporaryDir m_dir;
    CImageFile m_overlay;
};

// Blocks of the copy that differ from the photograph's outside the box and inside it, and those
// of the latter that differ from the same block of the picture stamped and encoded whole.
struct Changes {
    int outside = 0;
    int inside = 0;
    int unlikeWhole = 0;
};
Changes ChangedBlocks(const JpegBlocks& photo, const JpegBlocks& copy, const JpegBlocks& whole,
                      const QRect& box) {
    Changes changes;
    for (std::size_t c = 0; c < photo.components.size(); ++c) {
        const JpegBlocks::Component& one = photo.components[c];
        for (int i = 0; i < one.columns * one.rows; ++i) {
            const QPoint mcu(i % one.columns / one.h * photo.mcuWidth,
                             i / one.columns / one.v * photo.mcuHeight);
            const auto block = [&](const JpegBlocks& blocks) {
                return blocks.components[c].coefficients.begin() + 64 * i;
            };
            if (std::equal(block(copy), block(copy) + 64, block(photo)))
                continue;
            (box.contains(mcu) ? changes.inside : changes.outside) += 1;
            changes.unlikeWhole += !std::equal(block(copy), block(copy) + 64, block(whole));
        }
    }
    return changes;
}

// The largest difference of one channel between two pictures, inside or outside area.
int Largest(const QImage& a, const QImage& b, const QRect& area, bool inside) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 3; ++x)
            if (area.contains(x / 3, y) == inside)
                largest =
                    std::max(largest, std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]));
    return largest;
}

} // namespace

TEST_F(LosslessJpeg, KeepsEveryBlockOutsideTheMarkAndStampsInsideAsTheFullRoute) {
    const struct {
        const char* name;
        QSize size;
        JpegShape shape;
        Shot shot;
    } cases[] = {
        {"baseline 4:2:0, bottom-right", {203, 141}, {}, {}},
        {"progressive 4:2:0, top-left", {200, 150}, {2, 2, false, true}, {1}},
        {"4:2:2, top", {197, 133}, {2, 1}, {2}},
        {"4:4:4, top-right", {161, 99}, {1, 1}, {3}},
        {"restart every MCU row, center", {210, 170}, {2, 2, false, false, 1}, {5}},
        {"progressive with restarts, right", {189, 120}, {2, 2, false, true, 2}, {6}},
        {"4:4:0, percent, bottom-left", {177, 131}, {1, 2}, {7, true, 30, 40}},
        {"enlarged three times, bottom", {230, 160}, {}, {8, false, 72, 48}},
        {"reduced to half, top-left", {99, 77}, {}, {1, false, 12, 8}},
        {"optimised Huffman tables, enlarged",
         {190, 150},
         {2, 2, false, false, 0, 92, true},
         {9, false, 60, 40}},
        {"wider than the picture, over both sides", {200, 150}, {}, {8, false, 300, 24}},
        {"percent, over the left edge", {320, 240}, {2, 1, false, true}, {9, true, 150, 10}},
        {"4:4:4, 40 % x 40 % in the middle",
         {600, 450},
         {1, 1, false, false, 0, 95},
         {5, true, 40, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray picture =
            ShapedJpeg(NoisyImage(c.size.width(), c.size.height(), 5), c.shape);
        const QByteArray lossless = Stamp(picture, c.shot, true);
        ASSERT_FALSE(lossless.isEmpty());
        const QByteArray full = Stamp(picture, c.shot, false);
        const JpegBlocks before = BlocksOf(picture);
        const QRect box = McuBox(c.shot, c.size, before);
        const Changes changes = ChangedBlocks(before, BlocksOf(lossless), BlocksOf(full), box);
        EXPECT_EQ(changes.outside, 0);
        EXPECT_GT(changes.inside, 0);
        EXPECT_EQ(changes.unlikeWhole, 0);
        EXPECT_EQ(BlocksOf(lossless).progressive, before.progressive);
        EXPECT_EQ(BlocksOf(lossless).restartInterval, before.restartInterval);
        for (std::size_t i = 0; i < before.components.size(); ++i) {
            EXPECT_EQ(BlocksOf(lossless).components[i].table, before.components[i].table);
            EXPECT_EQ(BlocksOf(full).components[i].table, before.components[i].table);
        }
        EXPECT_EQ(Largest(DecodedJpeg(lossless, TJFLAG_FASTUPSAMPLE),
                          DecodedJpeg(picture, TJFLAG_FASTUPSAMPLE), box, false),
                  0);
        EXPECT_LE(Largest(DecodedJpeg(lossless), DecodedJpeg(full), box, true), kRoundOff);
    }
}

// The lossless turn that libjpeg-turbo's transformer makes, as jpegtran -perfect does: the
// reference for a picture shown with an Exif orientation (2-8).
QByteArray PerfectlyTurned(const QByteArray& jpeg, int orientation) {
    const int operations[] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                              TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                              TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
    tjhandle handle = tjInitTransform();
    tjtransform transform{};
    transform.op = operations[orientation];
    transform.options = TJXOPT_PERFECT;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int failed =
        tjTransform(handle, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                    static_cast<unsigned long>(jpeg.size()), 1, &out, &size, &transform, 0);
    QByteArray result =
        failed != 0 ? QByteArray() : QByteArray(reinterpret_cast<char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(handle);
    return result;
}

// A portrait as phones store it (sideways, with an Exif turn) is turned block by block and
// stamped as an upright photograph: outside the mark's MCUs its copy is the lossless turn.
TEST_F(LosslessJpeg, TurnedPicturesAreTurnedLosslesslyThenStamped) {
    const struct {
        const char* name;
        QSize stored;
        JpegShape shape;
        int orientation;
    } cases[] = {
        {"4:2:0, half turn", {192, 128}, {}, 3},
        {"4:2:0, quarter turn clockwise", {192, 128}, {}, 6},
        {"4:2:0, quarter turn back", {192, 128}, {}, 8},
        {"4:2:0, transposed", {192, 128}, {}, 5},
        {"4:4:4, half turn", {160, 120}, {1, 1}, 3},
        {"4:4:4, quarter turn clockwise", {160, 120}, {1, 1}, 6},
        {"4:4:4, quarter turn back", {160, 120}, {1, 1}, 8},
        {"4:4:4, transposed", {160, 120}, {1, 1}, 5},
        // The stored right edge's partial MCU becomes the bottom edge's.
        {"4:2:2 progressive, partial MCUs kept at the edge", {200, 136}, {2, 1, false, true}, 6},
        {"optimised tables, quarter turn clockwise",
         {192, 128},
         {2, 2, false, false, 0, 92, true},
         6},
        {"optimised tables and restarts, mirrored",
         {208, 120},
         {2, 2, false, false, 1, 92, true},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray stored =
            ShapedJpeg(NoisyImage(c.stored.width(), c.stored.height(), 5), c.shape);
        const QByteArray picture = JpegWithExifOrientation(stored, c.orientation);
        const QByteArray reference = PerfectlyTurned(stored, c.orientation);
        ASSERT_FALSE(reference.isEmpty());
        const QByteArray lossless = Stamp(picture, {}, true);
        ASSERT_FALSE(lossless.isEmpty());
        // Inside, as the upright photograph is stamped by the whole route.
        const QByteArray full = Stamp(reference, {}, false);
        const JpegBlocks turned = BlocksOf(reference);
        const QSize upright = DecodedJpeg(reference).size();
        const QRect box = McuBox({}, upright, turned);
        const Changes changes = ChangedBlocks(turned, BlocksOf(lossless), BlocksOf(full), box);
        EXPECT_EQ(changes.outside, 0);
        EXPECT_GT(changes.inside, 0);
        EXPECT_EQ(changes.unlikeWhole, 0);
        EXPECT_EQ(BlocksOf(lossless).progressive, c.shape.progressive);
        EXPECT_EQ(Largest(DecodedJpeg(lossless, TJFLAG_FASTUPSAMPLE),
                          DecodedJpeg(reference, TJFLAG_FASTUPSAMPLE), box, false),
                  0);
        EXPECT_LE(Largest(DecodedJpeg(lossless), DecodedJpeg(full), box, true), kRoundOff);
        const std::vector<std::string> records = RecordsOf(lossless);
        EXPECT_NE(std::find(records.begin(), records.end(), "Exif.Image.Orientation=1"),
                  records.end());
    }
}

// Pictures that must be turned or converted, or marked all over, are decoded whole, and keep
// their tables (turned with the picture); a quality given on the command line replaces them.
TEST_F(LosslessJpeg, PicturesDecodedWholeKeepTheirTablesUnlessAQualityIsGiven) {
    const QByteArray photo = ShapedJpeg(NoisyImage(64, 48, 2), {2, 1, false, false, 0, 83});
    const auto transposed = [](std::array<int, 64> table) {
        std::array<int, 64> turned{};
        for (std::size_t k = 0; k < 64; ++k)
            turned[k % 8 * 8 + k / 8] = table[k];
        return turned;
    };
    const std::array<int, 64> own = BlocksOf(photo).components[0].table;
    const QByteArray cmyk =
        CmykJpeg(64, 48, {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 0, 255}});
    const struct {
        const char* name;
        QByteArray picture;
        int quality;
        std::array<int, 64> table;
        int h, v; // the copy's luma sampling
        Shot shot;
    } cases[] = {
        // A quarter turn would move the stored bottom edge's partial MCU to the left edge.
        {"Exif orientation 6, stored height not whole MCUs",
         JpegWithExifOrientation(ShapedJpeg(NoisyImage(64, 46, 2), {2, 1, false, false, 0, 83}), 6),
         0,
         transposed(own),
         1,
         2,
         {}},
        {"CMYK", cmyk, 0, BlocksOf(cmyk).components[0].table, 1, 1, {}},
        // Decoded whole, this holds less than its MCUs decoded beside its coefficients.
        {"a mark over all of it", photo, 0, own, 2, 1, {5, true, 100, 100}},
        {"quality 50 given",
         photo,
         50,
         BlocksOf(ShapedJpeg(NoisyImage(8, 8), {2, 2, false, false, 0, 50})).components[0].table,
         2,
         2,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.quality == 0) {
            EXPECT_TRUE(Stamp(c.picture, c.shot, true).isEmpty());
        }
        const JpegBlocks copy = BlocksOf(Stamp(c.picture, c.shot, false, c.quality));
        EXPECT_EQ(copy.components[0].table, c.table);
        EXPECT_EQ(copy.components[0].h, c.h);
        EXPECT_EQ(copy.components[0].v, c.v);
    }
}

// Stamped again and again, the photograph stays exactly as it was outside the mark, and its
// file does not grow.
TEST_F(LosslessJpeg, TenGenerationsLoseNothingOutsideTheMark) {
    QByteArray picture = ShapedJpeg(NoisyImage(256, 192, 7), {});
    const QImage first = DecodedJpeg(picture, TJFLAG_FASTUPSAMPLE);
    const QRect box = McuBox({}, {256, 192}, BlocksOf(picture));
    for (int generation = 1; generation <= 10; ++generation) {
        SCOPED_TRACE(generation);
        const QByteArray next = Stamp(picture, {}, true);
        ASSERT_FALSE(next.isEmpty());
        EXPECT_LT(double(next.size()), double(picture.size()) * 1.01);
        EXPECT_EQ(Largest(DecodedJpeg(next, TJFLAG_FASTUPSAMPLE), first, box, false), 0);
        picture = next;
    }
}

// A grey photograph keeps its blocks under a grey mark; under a mark in colour its copy is in
// colour: its grey blocks become the luma blocks and the colour outside the mark is exactly
// neutral, so that every pixel there decodes to the photograph's grey; a grey profile becomes
// an RGB one that shows those greys alike.
TEST_F(LosslessJpeg, GreyPhotographsTakeAMarkInColour) {
    const QByteArray picture = ShapedJpeg(NoisyImage(150, 101, 5), {1, 1, true});
    const Shot left{4};
    const JpegBlocks before = BlocksOf(picture);
    const QRect box = McuBox(left, {150, 101}, before);
    for (const int quality : {0, 90, -1}) {
        SCOPED_TRACE(quality);
        const QByteArray copy =
            quality < 0 ? Stamp(picture, left, true) : Stamp(picture, left, false, quality);
        const JpegBlocks blocks = BlocksOf(copy);
        ASSERT_EQ(blocks.components.size(), 3u);
        const QImage decoded = QImage::fromData(copy);
        // The mark's red half, on the left edge half-way down.
        const QColor red = decoded.pixelColor(4, 46);
        EXPECT_GT(red.red(), 200);
        EXPECT_LT(red.green(), 60);
        if (quality >= 0)
            continue;
        // The photograph's one component against the copy's first, the luma.
        EXPECT_EQ(ChangedBlocks(before, blocks, blocks, box).outside, 0);
        const QImage grey = DecodedJpeg(picture).convertToFormat(QImage::Format_RGB888);
        EXPECT_EQ(Largest(DecodedJpeg(copy), grey, box, false), 0);
    }
    // With a grey profile, the copy's RGB profile shows its greys as that one did, and the mark
    // in its colours: to within 0.5 dE2000 (Little CMS's curves) and 4 (the mark's coding, whose
    // loss of 4 levels in this linear profile's darks is 3.5).
    const QByteArray greyIcc = MadeProfile("grey");
    const QByteArray tagged = Stamp(WithProfile(picture, greyIcc), left, true);
    ASSERT_FALSE(tagged.isEmpty());
    EXPECT_EQ(ChangedBlocks(before, BlocksOf(tagged), BlocksOf(tagged), box).outside, 0);
    const QByteArray colourIcc = ProfileOf(tagged);
    for (const int v : {0, 40, 128, 255})
        EXPECT_LE(DeltaE2000(LabOf(colourIcc, {v, v, v}), LabOf(greyIcc, {v})), 0.5) << v;
    const QColor red = DecodedJpeg(tagged).pixelColor(4, 46);
    EXPECT_LE(
        DeltaE2000(LabOf(colourIcc, {red.red(), red.green(), red.blue()}), LabOf({}, {255, 0, 0})),
        4.0);
    const QImage grey = RedGreenOverlay(24, 16).convertToFormat(QImage::Format_Grayscale8);
    m_overlay.Release();
    ASSERT_TRUE(m_overlay.LoadFromFile(SavePicture(m_dir, "grey.png", grey).c_str()));
    ASSERT_TRUE(m_overlay.DecodeNow());
    const QByteArray lossless = Stamp(picture, left, true);
    ASSERT_FALSE(lossless.isEmpty());
    EXPECT_EQ(BlocksOf(lossless).components.size(), 1u);
    EXPECT_EQ(ChangedBlocks(before, BlocksOf(lossless), BlocksOf(lossless), box).outside, 0);
}

// Samplings TurboJPEG cannot name (and so could not decode) are libjpeg's like any other: every
// route stamps them, and the copy looks as the picture outside the mark.
TEST_F(LosslessJpeg, EverySamplingIsStampedByEveryRoute) {
    const JpegShape shapes[] = {{1, 3}, {3, 1}, {4, 2}, {1, 1, false, false, 0, 92, false, 2, 2}};
    QImage smooth(160, 96, QImage::Format_RGB888);
    for (int y = 0; y < smooth.height(); ++y)
        for (int x = 0; x < smooth.width(); ++x)
            smooth.setPixel(x, y, qRgb(x * 3 / 2, 40 + y * 2, 200 - x));
    for (const JpegShape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.h) + "x" + std::to_string(shape.v) + ", chroma " +
                     std::to_string(shape.chromaH) + "x" + std::to_string(shape.chromaV));
        const QByteArray picture = ShapedJpeg(smooth, shape);
        const QImage in = QImage::fromData(picture).convertToFormat(QImage::Format_RGB888);
        ASSERT_FALSE(in.isNull());
        for (const int quality : {0, 90}) {
            const QImage out =
                QImage::fromData(Stamp(picture, {}, false, quality)).convertToFormat(in.format());
            ASSERT_EQ(out.size(), in.size());
            // Top-left, far from the mark: the whole route's round-off only (up to 7 measured).
            EXPECT_LE(Largest(out.copy(0, 0, 64, 32), in.copy(0, 0, 64, 32), {}, false), 8);
        }
    }
}

// Blocks that libjpeg writes otherwise than the file holds them: the blocks past the right edge,
// which it writes as copies of the DC before whatever the file held (changing the next MCU row's
// first DC difference), and a run of zeros past the last coefficient, which it reads onto the
// last one. The copy still decodes as the photograph outside the box.
TEST_F(LosslessJpeg, BlocksLibjpegCodesOtherwiseDecodeAsBefore) {
    // MCU rows alternately dark and light, data past the edge mid-grey between them, so that the
    // DC differences across the edge are twice those of the file (one bit longer); grey around
    // the mark, so that the mark's own blocks bring no difference of that size.
    const auto hiddenColumn = [](int h, int v) {
        QImage image(208, 144, QImage::Format_RGB888);
        image.fill(QColor(128, 128, 128));
        for (int y = 0; y < 144 - 24 * v; ++y)
            for (int x = 0; x < 200; ++x)
                image.setPixelColor(x, y, QColor::fromRgb(y / (8 * v) % 2 ? 0xC0C0C0 : 0x404040));
        QByteArray jpeg = ShapedJpeg(image, {h, v, false, false, 0, 100, true});
        const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        jpeg[frame + 7] = char(0);
        jpeg[frame + 8] = char(197);
        return jpeg;
    };
    const struct {
        const char* name;
        QByteArray picture;
    } cases[] = {
        {"data past the right edge, 4:2:2", hiddenColumn(2, 1)},
        {"data past the right edge, 4:2:0", hiddenColumn(2, 2)},
        {"a run past the last coefficient", HandCodedJpeg(256, 128, JpegOddity::RunPast63)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray lossless = Stamp(c.picture, {}, true);
        ASSERT_FALSE(lossless.isEmpty());
        const JpegBlocks before = BlocksOf(c.picture);
        const QRect box = McuBox({}, DecodedJpeg(c.picture).size(), before);
        EXPECT_EQ(ChangedBlocks(before, BlocksOf(lossless), BlocksOf(lossless), box).outside, 0);
        const int careful = TJFLAG_FASTUPSAMPLE | TJFLAG_STOPONWARNING;
        ASSERT_FALSE(DecodedJpeg(lossless, careful).isNull());
        EXPECT_EQ(
            Largest(DecodedJpeg(lossless, careful), DecodedJpeg(c.picture, careful), box, false),
            0);
    }
}

// A damaged scan is no block to copy: the lossless way refuses it as decoding the picture
// whole does, with the same reason, without a second reading. Whatever the damage: a code no
// Huffman table has is read through libjpeg's careful path, which reports it. Damage far from
// the mark, in a restart interval the copy would take as it is, counts too, and so does damage
// in a scan our walk does not read (libjpeg's verdict, progressive).
TEST_F(LosslessJpeg, DamagedScanIsRefusedOnceAsTheWholeDecodeRefusesIt) {
    QByteArray strayInFirstRow = ShapedJpeg(NoisyImage(96, 160), {2, 2, false, false, 1});
    strayInFirstRow.insert(strayInFirstRow.indexOf("\xFF\xD0"), QByteArray(32, '\x5A'));
    const QByteArray damaged[] = {
        JpegScanOverwritten(ShapedJpeg(NoisyImage(96, 64), {})),
        JpegScanOverwritten(ShapedJpeg(NoisyImage(96, 64), {2, 2, false, true})),
        HandCodedJpeg(1024, 512, JpegOddity::CodeNoTableHas),
        strayInFirstRow,
        JpegScanCut(ShapedJpeg(NoisyImage(96, 64), {})),
    };
    for (const QByteArray& picture : damaged) {
        CBatchJob job(nullptr);
        CStampedItem item;
        Load(picture, {}, job, item);
        CLSID encoder{};
        ASSERT_GE(job.FindOutputEncoder(encoder), 0);
        PendingImageFile file;
        const OutputFolder folder(QFile::encodeName(m_dir.path()));
        EXPECT_EQ(item.EncodeLossless(job.Choices(), m_overlay, file, folder, &encoder),
                  ItemOutcome::ComposeFailed);
        EXPECT_EQ(item.Reason(), "damaged picture data");
        EXPECT_FALSE(file.IsEncoded());
        item.DecodeNow();
        EXPECT_EQ(item.Compose(job.Choices(), m_overlay), ItemOutcome::ComposeFailed);
    }
}
