// What a stamped copy keeps of its photograph besides the pixels: one table per concern.

#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "imaging/Resolution.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

const char* const kOutputs[] = {"image/jpeg", "image/png", "image/tiff", "image/bmp"};

class Fidelity : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const std::string logo = SavePicture(m_dir, "logo.png", RedGreenOverlay(16, 16));
        ASSERT_TRUE(m_overlay.LoadFromFile(logo.c_str()));
        ASSERT_TRUE(m_overlay.DecodeNow());
    }
    // The picture stamped at its bottom-right corner (16 x 16) and encoded as mime, as the
    // pipeline does it: the output file's bytes.
    QByteArray Stamp(const QByteArray& picture, const char* mime,
                     MetadataKept kept = MetadataKept::Default) {
        const std::string in = PathIn(m_dir, "picture");
        const std::string out = PathIn(m_dir, "stamped");
        EXPECT_TRUE(WriteBytes(QString::fromLocal8Bit(in.c_str()), picture));
        CBatchJob job(nullptr);
        job.SetSizeMode(SizeModePixels);
        job.nSizeX = job.nSizeY = 16;
        CopyText(job.szOutputFormat, mime);
        CLSID encoder{};
        EXPECT_GE(job.FindOutputEncoder(encoder), 0);
        CStampedItem item;
        EXPECT_EQ(item.LoadAndCompose(job, in.c_str(), m_overlay), ItemOutcome::Done);
        PendingImageFile file;
        EXPECT_EQ(
            item.Encode(file, m_dir.path().toLocal8Bit().constData(), &encoder, nullptr, kept),
            ItemOutcome::Done);
        EXPECT_EQ(CStampedItem::PutInPlace(file, out.c_str()), ItemOutcome::Done);
        return ReadBytes(QString::fromLocal8Bit(out.c_str()));
    }
    QTemporaryDir m_dir;
    CImageFile m_overlay;
};

QImage WithDotsPerMetre(QImage image, int dotsPerMetre) {
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

double DotsPerMetre(const Resolution& r) {
    return r.unit == Resolution::Unit::Inch ? r.x / 0.0254 : r.x * 100;
}

} // namespace

// The resolution a picture states is the one its copy states, in every output format (WebP has
// none); a picture that states none gives a copy that states none, not an invented 96 dpi.
TEST_F(Fidelity, ResolutionIsKeptAndNoneIsInvented) {
    const QImage photo = NoisyImage(48, 32, 3);
    QByteArray aspectOnly = Encode(photo, "jpeg", 90);
    aspectOnly[13] = 0; // JFIF density unit 0: an aspect ratio, no resolution
    const struct {
        const char* name;
        QByteArray picture;
        int dotsPerMetre; // 0: none stated
    } rows[] = {
        {"300dpi.jpg", Encode(WithDotsPerMetre(photo, 11811), "jpeg", 90), 11811},
        {"300dpi.png", Encode(WithDotsPerMetre(photo, 11811), "png"), 11811},
        {"300dpi.tif", Encode(WithDotsPerMetre(photo, 11811), "tiff"), 11811},
        {"118dpcm.tif", Encode(WithDotsPerMetre(photo, 11800), "tiff"), 11800},
        {"72dpi.bmp", Encode(WithDotsPerMetre(photo, 2835), "bmp"), 2835},
        {"aspect.jpg", aspectOnly, 0},
        {"none.gif", EncodeGif(photo), 0},
    };
    for (const auto& row : rows) {
        for (const char* output : kOutputs) {
            SCOPED_TRACE(std::string(row.name) + " as " + output);
            const QByteArray stamped = Stamp(row.picture, output);
            const std::optional<Resolution> got = Resolution::read(stamped);
            if (row.dotsPerMetre == 0) {
                EXPECT_FALSE(got.has_value());
                continue;
            }
            ASSERT_TRUE(got.has_value());
            EXPECT_NEAR(DotsPerMetre(*got), row.dotsPerMetre, row.dotsPerMetre * 0.002);
            // Qt's reader agrees.
            QBuffer buffer;
            buffer.setData(stamped);
            EXPECT_NEAR(QImageReader(&buffer).read().dotsPerMeterX(), row.dotsPerMetre,
                        row.dotsPerMetre * 0.002);
        }
    }
}

// By default a copy keeps its picture's records but the GPS position, thumbnails and previews;
// its orientation is 1 and its stated pixel dimensions are its own. All keeps GPS; None keeps
// no record (the resolution stays: it describes the pixels).
TEST_F(Fidelity, RecordsAreKeptAsAsked) {
    // 300 dpi in the format's own field as in EXIF.
    const QImage photo = WithDotsPerMetre(NoisyImage(48, 32, 5), 11811);
    const char* const ownership[] = {"Exif.Image.Artist=Ada Painter",
                                     "Exif.Image.Copyright=(c) Ada Painter",
                                     "Xmp.dc.rights=lang=\"x-default\" All rights reserved",
                                     "Iptc.Application2.Copyright=Ada Painter"};
    const struct {
        MetadataKept kept;
        bool ownership, gps;
    } modes[] = {{MetadataKept::Default, true, false},
                 {MetadataKept::All, true, true},
                 {MetadataKept::None, false, false}};
    for (const char* format : {"jpeg", "png", "tiff"}) {
        for (const auto& mode : modes) {
            SCOPED_TRACE(std::string(format) + " kept " + std::to_string(int(mode.kept)));
            const QByteArray stamped = Stamp(WithRecords(Encode(photo, format, 90)),
                                             (std::string("image/") + format).c_str(), mode.kept);
            const std::vector<std::string> records = RecordsOf(stamped);
            const auto has = [&](const std::string& record) {
                return std::find(records.begin(), records.end(), record) != records.end();
            };
            const auto hasKey = [&](const std::string& prefix) {
                return std::any_of(records.begin(), records.end(),
                                   [&](const std::string& r) { return r.rfind(prefix, 0) == 0; });
            };
            for (const char* record : ownership)
                EXPECT_EQ(has(record), mode.ownership) << record;
            EXPECT_EQ(hasKey("Exif.GPSInfo.GPSLatitude="), mode.gps);
            EXPECT_EQ(hasKey("Xmp.exif.GPSLatitude="), mode.gps);
            EXPECT_FALSE(hasKey("Exif.Thumbnail."));
            // The pixels are upright (Qt's readers turn JPEGs and TIFFs of orientation 6).
            EXPECT_FALSE(has("Exif.Image.Orientation=6"));
            if (mode.ownership) {
                EXPECT_TRUE(has("Exif.Image.Orientation=1"));
            }
            QBuffer buffer;
            buffer.setData(stamped);
            const QSize size = QImageReader(&buffer).size();
            EXPECT_EQ(has("Exif.Photo.PixelXDimension=" + std::to_string(size.width())),
                      mode.ownership);
            EXPECT_EQ(has("Exif.Photo.PixelYDimension=" + std::to_string(size.height())),
                      mode.ownership);
            const std::optional<Resolution> resolution = Resolution::read(stamped);
            ASSERT_TRUE(resolution.has_value());
            EXPECT_NEAR(DotsPerMetre(*resolution), 11811, 20);
        }
    }
}
