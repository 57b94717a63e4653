// What a stamped copy keeps of its photograph besides the pixels: one table per concern.

#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/RunSettings.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "imaging/colour/CmykTable.h"
#include "imaging/files/OutputFolder.h"
#include "imaging/metadata/Resolution.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <optional>

namespace {

const char* const kOutputs[] = {"image/jpeg", "image/png", "image/tiff", "image/bmp", "image/webp"};

class Fidelity : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const std::string logo = SavePicture(m_dir, "logo.png", RedGreenOverlay(16, 16));
        ASSERT_TRUE(m_overlay.LoadFromFile(logo.c_str()));
        ASSERT_TRUE(m_overlay.DecodeNow());
    }
    // The picture stamped at its bottom-right corner (16 x 16, or size) and encoded as mime, as the
    // pipeline does it: the output file's bytes.
    QByteArray Stamp(const QByteArray& picture, const char* mime,
                     MetadataKept kept = MetadataKept::Default, int size = 16,
                     EncodeOverrides overrides = {}) {
        const std::string in = PathIn(m_dir, "picture");
        const std::string out = PathIn(m_dir, "stamped");
        EXPECT_TRUE(WriteBytes(QString::fromLocal8Bit(in.c_str()), picture));
        CBatchJob job(nullptr);
        job.SetSizeMode(SizeModePixels);
        job.nSizeX = job.nSizeY = size;
        CopyText(job.szOutputFormat, mime);
        CLSID encoder{};
        EXPECT_GE(job.FindOutputEncoder(encoder), 0);
        CStampedItem item;
        EXPECT_EQ(item.Load(in.c_str()), ItemOutcome::Done);
        EXPECT_EQ(item.Compose(job.Choices(), m_overlay), ItemOutcome::Done);
        PendingImageFile file;
        const OutputFolder folder(QFile::encodeName(m_dir.path()));
        EXPECT_EQ(item.Encode(file, folder, &encoder, nullptr, kept, overrides), ItemOutcome::Done);
        EXPECT_EQ(item.PutInPlace(file, "stamped"), ItemOutcome::Done);
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

// The pixel numbers alone, without the colour space Qt's reader attaches.
QImage Pixels(const QImage& image) {
    QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    pixels.setColorSpace(QColorSpace());
    return pixels;
}

// Pixels that differ between a picture and its copy outside the mark that Stamp puts at the
// bottom-right corner (16 x 16).
int DifferingOutsideTheMark(const QImage& in, const QImage& out) {
    const QRect mark(in.width() - 16, in.height() - 16, 16, 16);
    int differing = 0;
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x)
            differing += !mark.contains(x, y) && in.pixel(x, y) != out.pixel(x, y);
    return differing;
}

double DotsPerMetre(const Resolution& r) {
    return r.unit == Resolution::Unit::Inch ? r.x / 0.0254 : r.x * 100;
}

} // namespace

// A WebP copy of a picture stored without loss is lossless too: outside the mark it is the
// picture exactly. One stored with loss gets WebP's lossy coding, as before.
TEST_F(Fidelity, WebpCopiesOfLosslessPicturesAreLossless) {
    const QImage photo = NoisyImage(64, 48, 6);
    const struct {
        const char* name;
        QByteArray picture;
        bool lossless;
    } rows[] = {
        {"png", Encode(photo, "png"), true},
        {"tiff", Encode(photo, "tiff"), true},
        {"bmp", Encode(photo, "bmp"), true},
        {"lossless webp", Encode(photo, "webp", 100), true},
        {"lossy webp", Encode(photo, "webp", 90), false},
        {"jpeg", Encode(photo, "jpeg", 95), false},
        {"lossless jxl", JxlPicture(photo, true), true},
        {"lossy jxl", JxlPicture(photo, false), false},
        {"heic", HeifPicture(photo, {}), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray copy = Stamp(row.picture, "image/webp");
        EXPECT_EQ(copy.contains("VP8L"), row.lossless);
        const QImage in = Pixels(DecodedAny(row.picture));
        const QImage out = Pixels(QImage::fromData(copy));
        ASSERT_EQ(out.size(), in.size());
        const int differing = DifferingOutsideTheMark(in, out);
        EXPECT_EQ(differing == 0, row.lossless) << differing;
    }
}

// A TIFF copy keeps the compression and predictor of a TIFF picture; other pictures' copies
// are Deflate with the horizontal predictor. Every copy is the picture exactly outside the mark.
TEST_F(Fidelity, TiffCopiesKeepTheirPicturesCoding) {
    const QImage photo = NoisyImage(64, 48, 8);
    const auto qtTiff = [&](int compression) {
        QByteArray bytes;
        QBuffer device(&bytes);
        device.open(QIODevice::WriteOnly);
        QImageWriter writer(&device, "tiff");
        writer.setCompression(compression);
        EXPECT_TRUE(writer.write(photo));
        return bytes;
    };
    const QByteArray deflated = Stamp(Encode(photo, "png"), "image/tiff", MetadataKept::None, 1);
    const struct {
        const char* name;
        QByteArray picture;
        const char* compression;
        const char* predictor;
        bool uncompressed = false; // as pictorum-batch --tiff-compression none asks
    } rows[] = {
        {"png", Encode(photo, "png"), "8", "2"},
        {"jpeg", Encode(photo, "jpeg", 90), "8", "2"},
        {"uncompressed tiff", qtTiff(0), "1", nullptr},
        {"lzw tiff", qtTiff(1), "5", "1"},
        {"deflate tiff with a predictor", deflated, "8", "2"},
        {"deflate tiff, uncompressed asked", deflated, "1", nullptr, true},
        {"png, uncompressed asked", Encode(photo, "png"), "1", nullptr, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray copy =
            Stamp(row.picture, "image/tiff", MetadataKept::Default, 16, {0, row.uncompressed});
        const std::vector<std::string> records = RecordsOf(copy);
        const auto has = [&](const std::string& record) {
            return std::find(records.begin(), records.end(), record) != records.end();
        };
        EXPECT_TRUE(has(std::string("Exif.Image.Compression=") + row.compression));
        if (row.predictor != nullptr) {
            EXPECT_TRUE(has(std::string("Exif.Image.Predictor=") + row.predictor));
        }
        const QImage in = Pixels(QImage::fromData(row.picture));
        const QImage out = Pixels(QImage::fromData(copy));
        ASSERT_EQ(out.size(), in.size());
        EXPECT_EQ(DifferingOutsideTheMark(in, out), 0);
    }
}

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
            if (std::string(output) == "image/webp")
                continue; // no resolution field
            SCOPED_TRACE(std::string(row.name) + " as " + output);
            const QByteArray stamped = Stamp(row.picture, output);
            const std::optional<Resolution> got = Resolution::read(stamped);
            if (row.dotsPerMetre == 0) {
                EXPECT_FALSE(got.has_value());
                continue;
            }
            ASSERT_TRUE(got.has_value());
            EXPECT_NEAR(DotsPerMetre(*got), row.dotsPerMetre, row.dotsPerMetre * 0.002);
            EXPECT_NEAR(QImage::fromData(stamped).dotsPerMeterX(), row.dotsPerMetre,
                        row.dotsPerMetre * 0.002); // Qt's reader agrees
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
    // AVIF, JPEG XL and HEIC have no place for IPTC, and no resolution field beside EXIF's.
    const struct {
        const char* picture;
        const char* output;
        bool ownField = true;
    } pairs[] = {{"jpeg", "image/jpeg"},       {"png", "image/png"},
                 {"tiff", "image/tiff"},       {"png", "image/avif", false},
                 {"jpeg", "image/jxl", false}, {"png", "image/heic", false}};
    for (const auto& pair : pairs) {
        for (const auto& mode : modes) {
            SCOPED_TRACE(std::string(pair.output) + " kept " + std::to_string(int(mode.kept)));
            const QByteArray stamped =
                Stamp(WithRecords(Encode(photo, pair.picture, 90)), pair.output, mode.kept);
            const std::vector<std::string> records = RecordsOf(stamped);
            const auto has = [&](const std::string& start) {
                return std::any_of(records.begin(), records.end(),
                                   [&](const std::string& r) { return r.rfind(start, 0) == 0; });
            };
            for (const char* record : ownership)
                EXPECT_EQ(has(record), mode.ownership && (pair.ownField || record[0] != 'I'))
                    << record;
            EXPECT_EQ(has("Exif.GPSInfo.GPSLatitude="), mode.gps);
            EXPECT_EQ(has("Xmp.exif.GPSLatitude="), mode.gps);
            EXPECT_FALSE(has("Exif.Thumbnail."));
            // Positions and pictures of the photograph deeper in XMP (see WithRecords).
            const auto holds = [&](const std::string& part) {
                return std::any_of(records.begin(), records.end(), [&](const std::string& r) {
                    return r.find(part) != std::string::npos;
                });
            };
            for (const char* place :
                 {"GPSLongitude", "GPSAltitude", "LocationShown[1]/exif:GPSLatitude",
                  "AbsoluteAltitude", "LocationShown", "LocationCreated"})
                EXPECT_EQ(holds(place), mode.gps) << place;
            for (const char* picture : {"Thumbnails", "GImage", "/9j/"})
                EXPECT_FALSE(holds(picture)) << picture;
            EXPECT_EQ(holds("Xmp.xmpMM.History"), mode.ownership);
            // The pixels are upright (Qt's readers turn JPEGs and TIFFs of orientation 6).
            EXPECT_FALSE(has("Exif.Image.Orientation=6"));
            EXPECT_TRUE(!mode.ownership || has("Exif.Image.Orientation=1"));
            const QSize size = DecodedAny(stamped).size();
            EXPECT_EQ(has("Exif.Photo.PixelXDimension=" + std::to_string(size.width())),
                      mode.ownership);
            EXPECT_EQ(has("Exif.Photo.PixelYDimension=" + std::to_string(size.height())),
                      mode.ownership);
            if (!pair.ownField) {
                EXPECT_EQ(has("Exif.Image.XResolution=300/1"), mode.ownership);
                continue;
            }
            const std::optional<Resolution> resolution = Resolution::read(stamped);
            ASSERT_TRUE(resolution.has_value());
            EXPECT_NEAR(DotsPerMetre(*resolution), 11811, 20);
        }
    }
}

// A profile whose segments are repeated, missing, out of order or shorter than it declares is
// left out of the copy, and the photograph's other records stay.
TEST_F(Fidelity, BadlyChunkedProfilesLeaveTheRecords) {
    const QByteArray photo =
        WithRecords(WithProfile(Encode(NoisyImage(48, 32, 5), "jpeg", 90), MadeProfile("p3")));
    const struct {
        const char* how;
        bool profileKept;
    } rows[] = {{"split", true}, {"repeated", false}, {"reversed", false}, {"huge", false}};
    for (const auto& row : rows) {
        const QByteArray chunked = WithProfileChunks(photo, row.how);
        ASSERT_FALSE(chunked.isEmpty()) << row.how;
        for (const char* mime : {"image/jpeg", "image/png"}) {
            SCOPED_TRACE(std::string(row.how) + " to " + mime);
            const QByteArray stamped = Stamp(chunked, mime);
            const std::vector<std::string> records = RecordsOf(stamped);
            EXPECT_EQ(std::count_if(records.begin(), records.end(),
                                    [](const std::string& r) {
                                        return r == "Exif.Image.Artist=Ada Painter" ||
                                               r.rfind("Xmp.dc.rights=", 0) == 0;
                                    }),
                      2);
            EXPECT_EQ(!ProfileOf(stamped).isEmpty(), row.profileKept);
        }
    }
}

// Outside the mark a copy seen through its profile looks as its picture seen through its own
// (CIEDE2000 mean 0.5, at most 2 at any of the named points), in every output format; the mark
// looks as the sRGB overlay does (within 1). RGB profiles stay with the unchanged pixels (BMP
// copies are converted to sRGB), grey and CMYK pictures become sRGB ones; untagged, sRGB and
// damaged-profile pictures give exactly the copies untagged ones give.
TEST_F(Fidelity, ColoursLookAsInThePicture) {
    const std::vector<std::vector<int>> rgb = {
        {200, 80, 60}, {100, 150, 110}, {60, 90, 170}, {230, 230, 210}};
    const std::vector<std::vector<int>> levels = {{40}, {100}, {160}, {220}};
    const std::vector<std::vector<int>> inks = {
        {20, 70, 80, 10}, {70, 10, 60, 20}, {80, 60, 10, 10}, {5, 5, 15, 0}};
    const auto paint = [](const std::vector<std::vector<int>>& values) {
        QImage image(96, 64, QImage::Format_RGB32);
        for (int q = 0; q < 4; ++q) {
            const std::vector<int>& v = values[std::size_t(q)];
            const QRgb colour = v.size() == 1 ? qRgb(v[0], v[0], v[0]) : qRgb(v[0], v[1], v[2]);
            for (int y = (q / 2) * 32; y < (q / 2) * 32 + 32; ++y)
                for (int x = (q % 2) * 48; x < (q % 2) * 48 + 48; ++x)
                    image.setPixel(x, y, colour);
        }
        if (values[0].size() == 1)
            image = image.convertToFormat(QImage::Format_Grayscale8);
        return image;
    };
    const auto painted = [&](const std::vector<std::vector<int>>& values, const char* format,
                             const QByteArray& icc) {
        const QByteArray bytes = Encode(paint(values), format, 95);
        return icc.isEmpty() ? bytes : WithProfile(bytes, icc);
    };
    const QByteArray p3 = MadeProfile("p3");
    const QByteArray cmyk = MadeProfile("cmyk");
    const QByteArray grey = MadeProfile("grey");
    const QByteArray adobe = MadeProfile("adobe");
    const QByteArray srgb = MadeProfile("srgb");
    const struct {
        const char* name;
        QByteArray picture;
        QByteArray icc; // the picture's own; empty: sRGB
        const std::vector<std::vector<int>>& values;
        const char* untaggedFormat; // the same pixels untagged give the same copy
    } rows[] = {
        {"untagged.png", painted(rgb, "png", {}), {}, rgb, nullptr},
        {"srgb.jpg", painted(rgb, "jpeg", srgb), srgb, rgb, "jpeg"},
        {"damaged.png", painted(rgb, "png", QByteArray(400, 'x')), {}, rgb, "png"},
        {"p3.jpg", painted(rgb, "jpeg", p3), p3, rgb, nullptr},
        {"p3.png", painted(rgb, "png", p3), p3, rgb, nullptr},
        {"p3.tif", painted(rgb, "tiff", p3), p3, rgb, nullptr},
        {"adobe.jpg", painted(rgb, "jpeg", adobe), adobe, rgb, nullptr},
        {"grey.png", painted(levels, "png", grey), grey, levels, nullptr},
        {"grey.jpg", painted(levels, "jpeg", grey), grey, levels, nullptr},
        {"cmyk.jpg", WithProfile(CmykJpeg(96, 64, inks), cmyk), cmyk, inks, nullptr},
        {"p3.heic", HeifPicture(paint(rgb), {.icc = p3}), p3, rgb, nullptr},
        {"p3-nclx-deep.avif",
         HeifPicture(paint(rgb), {.av1 = true, .bits = 12, .nclxPrimaries = 12}), p3, rgb, nullptr},
        {"untagged.heic", HeifPicture(paint(rgb), {}), {}, rgb, nullptr},
        {"untagged.jxl", JxlPicture(paint(rgb), false), {}, rgb, nullptr},
    };
    const char* const outputs[] = {"image/jpeg", "image/png",  "image/tiff", "image/bmp",
                                   "image/webp", "image/avif", "image/jxl",  "image/heic"};
    const struct {
        int x, y, quadrant;
    } outside[] = {{24, 16, 0}, {72, 16, 1}, {24, 48, 2}, {56, 40, 3}};
    const auto lab = [](const QImage& image, const QByteArray& icc, int x, int y) {
        const QRgb c = image.pixel(x, y);
        return LabOf(icc, {qRed(c), qGreen(c), qBlue(c)});
    };
    for (const auto& row : rows) {
        const QImage in = DecodedAny(row.picture);
        for (const char* output : outputs) {
            SCOPED_TRACE(std::string(row.name) + " as " + output);
            const QByteArray stamped = Stamp(row.picture, output, MetadataKept::Default, 32);
            const QImage out = DecodedAny(stamped);
            ASSERT_EQ(out.size(), QSize(96, 64));
            const QByteArray outIcc = ProfileOf(stamped);
            // JPEG XL names sRGB without a profile: only the colours below tell it from another.
            if (std::string(output) != "image/jxl")
                EXPECT_EQ(outIcc.isEmpty(),
                          row.icc.isEmpty() || std::string(output) == "image/bmp");
            else
                EXPECT_TRUE(outIcc.isEmpty() || !row.icc.isEmpty());
            // JPEG and WebP add their own error: up to 0.52 mean on an untagged picture's copy
            // (WebP), 0.75 mean and 2.14 at most on a CMYK picture's (its 8-bit sRGB on top).
            const bool lossy = std::string(output) != "image/png" &&
                               std::string(output) != "image/tiff" &&
                               std::string(output) != "image/bmp";
            double sum = 0;
            for (const auto& p : outside) {
                const std::vector<int>& v = row.values[std::size_t(p.quadrant)];
                const QRgb c = in.pixel(p.x, p.y);
                const auto want = v.size() == 4   ? LabOf(row.icc, v)
                                  : v.size() == 1 ? LabOf(row.icc, {qGray(c)})
                                                  : lab(in, row.icc, p.x, p.y);
                const double dE = DeltaE2000(want, lab(out, outIcc, p.x, p.y));
                EXPECT_LE(dE, lossy ? 2.5 : 2.0) << p.x << "," << p.y;
                sum += dE;
            }
            EXPECT_LE(sum / 4, lossy ? 1.0 : 0.5);
            // The mark's red and green halves.
            EXPECT_LE(DeltaE2000(LabOf({}, {255, 0, 0}), lab(out, outIcc, 72, 48)), 1.0);
            EXPECT_LE(DeltaE2000(LabOf({}, {0, 255, 0}), lab(out, outIcc, 88, 48)), 1.0);
            if (row.untaggedFormat != nullptr) {
                const QImage untagged = DecodedAny(
                    Stamp(painted(rgb, row.untaggedFormat, {}), output, MetadataKept::Default, 32));
                EXPECT_TRUE(Pixels(out) == Pixels(untagged));
            }
        }
    }
}

// The table a CMYK photograph is converted through gives, for inks all over the cube and at
// its corners and edges, what Little CMS's own transform gives, to within two levels (both
// interpolate between points of a grid).
TEST(CmykTable, ConvertsAsLittleCmsDoes) {
    const QByteArray icc = MadeProfile("cmyk");
    cmsHPROFILE cmyk = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    ASSERT_NE(cmyk, nullptr);
    const auto made = [&](cmsUInt32Number out) {
        return cmsCreateTransform(cmyk, TYPE_CMYK_8_REV, srgb, out, INTENT_RELATIVE_COLORIMETRIC,
                                  cmsFLAGS_NOCACHE);
    };
    cmsHTRANSFORM to16 = made(TYPE_RGB_16);
    cmsHTRANSFORM to8 = made(TYPE_BGRA_8);
    const std::optional<CmykTable> table = CmykTable::of(to16);
    ASSERT_TRUE(table);
    std::vector<uchar> inks;
    std::uint32_t seed = 7;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        inks.push_back(uchar(seed >> 24));
    }
    for (const int level : {0, 1, 15, 16, 17, 127, 128, 239, 240, 241, 254, 255})
        for (int channel = 0; channel < 4; ++channel)
            for (const int other : {0, 255})
                for (int k = 0; k < 4; ++k)
                    inks.push_back(uchar(k == channel ? level : other));
    inks.resize(inks.size() / 4 * 4);
    const int pixels = int(inks.size() / 4);
    std::vector<uchar> want(inks.size());
    cmsDoTransform(to8, inks.data(), want.data(), cmsUInt32Number(pixels));
    table->convert(inks.data(), qsizetype(inks.size()), pixels, 0, 1);
    int largest = 0;
    for (std::size_t i = 0; i < inks.size(); ++i)
        largest =
            std::max(largest, i % 4 == 3 ? 255 - inks[i] : std::abs(int(inks[i]) - int(want[i])));
    EXPECT_LE(largest, 2);
    cmsDeleteTransform(to8);
    cmsDeleteTransform(to16);
    cmsCloseProfile(srgb);
    cmsCloseProfile(cmyk);
}
