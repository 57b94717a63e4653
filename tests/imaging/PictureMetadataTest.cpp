// What a stamped copy keeps of its photograph's records under each rule.

#include "imaging/metadata/PictureMetadata.h"
#include "TestPictures.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using Records = std::map<std::string, std::string>;

Records Decoded(const QByteArray& tiff, const QByteArray& packet) {
    const auto records = RecordsOfBlocks(tiff, packet);
    return Records(records.begin(), records.end());
}

} // namespace

TEST(PictureMetadata, CopiesKeepWhatTheRuleKeepsUprightAndOfTheirOwnSize) {
    // Nothing to read is no records; this also sets exiv2 up as the program does.
    EXPECT_EQ(PictureMetadata::fromBlocks({}, {}), nullptr);
    const std::string picture64 =
        Encode(SolidImage(8, 8, Qt::red), "jpeg", 80).toBase64().toStdString();
    // Each row: a record of a photograph, and what a copy of 16 x 12 pixels keeps of it by
    // default and when everything is kept (nullptr: nothing). Keeping none keeps no record.
    const struct {
        const char* key;
        std::string value;
        const char* kept;
        const char* all;
    } rows[] = {
        {"Exif.Image.Artist", "Ada Painter", "Ada Painter", "Ada Painter"},
        {"Exif.Image.Orientation", "6", "1", "1"},
        {"Exif.Image.ImageWidth", "4000", nullptr, nullptr}, // the photograph's stored pixels
        {"Exif.Photo.PixelXDimension", "4000", "16", "16"},
        {"Exif.Photo.PixelYDimension", "3000", "12", "12"},
        {"Exif.Photo.MakerNote", "1 2 3 4", nullptr, nullptr},
        {"Exif.GPSInfo.GPSLatitude", "48/1 51/1 0/1", nullptr, "48/1 51/1 0/1"},
        {"Exif.Thumbnail.ImageWidth", "160", nullptr, nullptr},
        {"Xmp.xmp.CreatorTool", "Darkroom", "Darkroom", "Darkroom"},
        {"Xmp.tiff.Orientation", "6", "1", "1"},
        {"Xmp.tiff.ImageLength", "3000", "12", "12"},
        {"Xmp.exif.PixelXDimension", "4000", "16", "16"},
        {"Xmp.exif.GPSLatitude", "48,51.0N", nullptr, "48,51.0N"},
        {"Xmp.xmp.Label", picture64, nullptr, nullptr}, // a picture in base64, wherever it is
    };
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    for (const auto& row : rows) {
        if (std::string(row.key).rfind("Exif.", 0) == 0)
            exif[row.key] = row.value;
        else
            xmp[row.key] = row.value;
    }
    Exiv2::Blob tiff;
    Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, exif);
    std::string packet;
    ASSERT_EQ(Exiv2::XmpParser::encode(packet, xmp), 0);
    const QByteArray exifBlock(reinterpret_cast<const char*>(tiff.data()), qsizetype(tiff.size()));
    const QByteArray xmpBlock = QByteArray::fromStdString(packet);
    const auto records = PictureMetadata::fromBlocks(exifBlock, xmpBlock);
    ASSERT_NE(records, nullptr);
    const Records photograph = Decoded(exifBlock, xmpBlock);
    for (const auto& row : rows)
        EXPECT_EQ(photograph.count(row.key), 1u) << row.key;

    // The records as blocks; writing them into files is the engine's fidelity tests' part.
    const QSize size(16, 12);
    for (const MetadataKept kept : {MetadataKept::Default, MetadataKept::All, MetadataKept::None}) {
        const PictureMetadata::Blocks blocks = PictureMetadata::blocksOf(records.get(), kept, size);
        const Records copy = Decoded(blocks.exif, blocks.xmp);
        for (const auto& row : rows) {
            const char* want = kept == MetadataKept::None  ? nullptr
                               : kept == MetadataKept::All ? row.all
                                                           : row.kept;
            const auto found = copy.find(row.key);
            EXPECT_EQ(found == copy.end() ? "(none)" : found->second, want ? want : "(none)")
                << row.key << " kept as " << int(kept);
        }
    }
    // A BMP file holds no records: it is left as it is.
    QByteArray bmp = Encode(SolidImage(size.width(), size.height(), Qt::gray), "bmp");
    const QByteArray encoded = bmp;
    EXPECT_FALSE(PictureMetadata::writeInto(bmp, records.get(), MetadataKept::Default, {}, size));
    EXPECT_EQ(bmp, encoded);
}
