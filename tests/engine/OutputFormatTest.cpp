#include "TestPictures.h"
#include "engine/BatchJob.h"
#include "engine/ImageFile.h"
#include "engine/TextHelpers.h"

#include <QImageReader>
#include <gtest/gtest.h>

#include <cstring>

namespace {

bool SameId(const CLSID& a, const CLSID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(OutputFormat, FindsEncodersByExactMimeType) {
    const struct {
        const char* mime;
        const char* extension; // nullptr: no encoder
        const char* qtFormat;
    } cases[] = {
        {"image/tiff", "TIF", "tiff"},     {"image/jpeg", "JPG", "jpeg"},
        {"image/png", "PNG", "png"},       {"image/bmp", "BMP", "bmp"},
        {"image/webp", "WEBP", "webp"}, // the last encoder of the list
        {"image/TIFF", nullptr, nullptr},  {"image/tif", nullptr, nullptr},
        {"image/tiff ", nullptr, nullptr}, {"", nullptr, nullptr},
        {"image/\xff", nullptr, nullptr}, // not convertible to wide text
    };
    QTemporaryDir dir;
    CImageFile picture;
    const std::string source = SavePicture(dir, "in.png", SolidImage(8, 8, Qt::red));
    ASSERT_TRUE(picture.LoadFromFile(source.c_str()));

    for (const auto& c : cases) {
        CBatchJob job(nullptr);
        CopyText(job.szOutputFormat, c.mime);
        CLSID id;
        std::memset(&id, 0xAB, sizeof id);
        const CLSID untouched = id;
        char extension[16] = "unchanged";
        const int position = job.FindOutputEncoder(id);
        EXPECT_EQ(job.GetOutputExtension(extension, sizeof extension), position) << c.mime;
        if (c.extension == nullptr) {
            EXPECT_EQ(position, -1) << c.mime;
            EXPECT_TRUE(SameId(id, untouched)) << c.mime;
            EXPECT_STREQ(extension, "unchanged") << c.mime;
            continue;
        }
        ASSERT_GE(position, 0) << c.mime;
        EXPECT_FALSE(SameId(id, untouched)) << c.mime;
        EXPECT_STREQ(extension, c.extension) << c.mime;
        // The identifier found really selects that encoder.
        const std::string out = PathIn(dir, QString("out.%1").arg(c.qtFormat));
        ASSERT_TRUE(picture.SaveToFile(out.c_str(), id)) << c.mime;
        EXPECT_EQ(QImageReader(QString::fromLocal8Bit(out.c_str())).format(),
                  QByteArray(c.qtFormat))
            << c.mime;
    }
}

TEST(OutputFormat, EncodersHaveDistinctPositionsAndIds) {
    CBatchJob job(nullptr);
    CLSID tiff{};
    CLSID jpeg{};
    CopyText(job.szOutputFormat, "image/tiff");
    const int tiffPosition = job.FindOutputEncoder(tiff);
    CopyText(job.szOutputFormat, "image/jpeg");
    const int jpegPosition = job.FindOutputEncoder(jpeg);
    ASSERT_GE(tiffPosition, 0);
    ASSERT_GE(jpegPosition, 0);
    EXPECT_NE(tiffPosition, jpegPosition);
    EXPECT_FALSE(SameId(tiff, jpeg));
}

TEST(OutputFormat, ExtensionIsCutToTheBuffer) {
    CBatchJob job(nullptr);
    CopyText(job.szOutputFormat, "image/jpeg");
    char extension[8];
    std::memset(extension, 'x', sizeof extension);
    ASSERT_GE(job.GetOutputExtension(extension, 2), 0);
    EXPECT_STREQ(extension, "J");
    EXPECT_EQ(extension[2], 'x');
    ASSERT_GE(job.GetOutputExtension(extension, 4), 0);
    EXPECT_STREQ(extension, "JPG");
}
