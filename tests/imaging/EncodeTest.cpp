// The encoder list and saving: round trips, failures that must leave files alone.

#include "ImagingTestSupport.h"

#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cwchar>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct ExpectedEncoder {
    const CLSID* clsid;
    const wchar_t* codecName;
    const wchar_t* description;
    const wchar_t* extensions;
    const wchar_t* mime;
    int tolerance; // per channel after a round trip; 0 for lossless encoders
};

const ExpectedEncoder kExpected[] = {
    {&ClsidBmpEncoder, L"Built-in BMP Codec", L"BMP", L"*.BMP;*.DIB;*.RLE", L"image/bmp", 0},
    {&ClsidJpegEncoder, L"Built-in JPEG Codec", L"JPEG", L"*.JPG;*.JPEG;*.JPE;*.JFIF",
     L"image/jpeg", 10},
    {&ClsidTiffEncoder, L"Built-in TIFF Codec", L"TIFF", L"*.TIF;*.TIFF", L"image/tiff", 0},
    {&ClsidPngEncoder, L"Built-in PNG Codec", L"PNG", L"*.PNG", L"image/png", 0},
    {&ClsidWebpEncoder, L"Built-in WEBP Codec", L"WEBP", L"*.WEBP", L"image/webp", 10},
    {&ClsidAvifEncoder, L"Built-in AVIF Codec", L"AVIF", L"*.AVIF", L"image/avif", 10},
    {&ClsidJxlEncoder, L"Built-in JPEG XL Codec", L"JPEG XL", L"*.JXL", L"image/jxl", 10},
    {&ClsidHeicEncoder, L"Built-in HEIC Codec", L"HEIC", L"*.HEIC;*.HEIF;*.HIF", L"image/heic", 10},
};

// WebP comes from Qt's plugins; the others from libheif and libjxl, which the build requires.
std::vector<ExpectedEncoder> installedEncoders() {
    std::vector<ExpectedEncoder> encoders;
    for (const ExpectedEncoder& e : kExpected)
        if (e.clsid != &ClsidWebpEncoder || QImageWriter::supportedImageFormats().contains("webp"))
            encoders.push_back(e);
    return encoders;
}

class EncodeTest : public testing::Test {
  protected:
    // A 24-bit bitmap with the quadrant picture drawn into it, as the compositor makes them.
    ImagePtr composedQuadrants(int width, int height) {
        const QString file = m_dir.filePath("quadrants.png");
        EXPECT_TRUE(WriteBytes(file, Encode(Quadrants(width, height), "png")));
        GpStatus status = GenericError;
        ImagePtr source = loadBitmap(file, &status);
        ImagePtr bitmap = blankBitmap(width, height, PixelFormat24bppRGB);
        GpGraphics* graphics = nullptr;
        EXPECT_EQ(GdipGetImageGraphicsContext(bitmap.get(), &graphics), Ok);
        EXPECT_EQ(GdipDrawImageRectI(graphics, source.get(), 0, 0, width, height), Ok);
        GdipDeleteGraphics(graphics);
        QFile::remove(file);
        return bitmap;
    }
    GpStatus save(GpImage* image, const QString& path, const CLSID& clsid) {
        const std::wstring wide = widePath(path);
        return GdipSaveImageToFile(image, wide.c_str(), &clsid, nullptr);
    }
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST(EncoderListTest, ListsTheEncodersInOrderWithTheirTexts) {
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    const std::vector<ExpectedEncoder> expected = installedEncoders();
    ASSERT_EQ(count, expected.size());
    std::size_t textBytes = 0;
    for (const ExpectedEncoder& e : expected)
        for (const wchar_t* text : {e.codecName, e.description, e.extensions, e.mime})
            textBytes += (std::wcslen(text) + 1) * sizeof(wchar_t);
    EXPECT_EQ(size, count * sizeof(ImageCodecInfo) + textBytes);

    std::vector<char> buffer(size + 64, '\x55');
    auto* records = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    EXPECT_EQ(GdipGetImageEncoders(count, size - 1, records), InsufficientBuffer);
    EXPECT_EQ(GdipGetImageEncoders(count + 1, size, records), InvalidParameter);
    EXPECT_EQ(GdipGetImageEncoders(count, size, nullptr), InvalidParameter);
    ASSERT_EQ(GdipGetImageEncoders(count, size, records), Ok);
    EXPECT_EQ(buffer[size], '\x55') << "nothing written past the size asked for";
    const char* begin = buffer.data();
    const char* end = buffer.data() + size;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const ImageCodecInfo& r = records[i];
        EXPECT_TRUE(r.Clsid == *expected[i].clsid);
        for (const WCHAR* text :
             {r.CodecName, r.FormatDescription, r.FilenameExtension, r.MimeType}) {
            ASSERT_NE(text, nullptr);
            const char* at = reinterpret_cast<const char*>(text);
            EXPECT_TRUE(at >= begin + count * sizeof(ImageCodecInfo) && at < end);
        }
        EXPECT_STREQ(r.CodecName, expected[i].codecName);
        EXPECT_STREQ(r.FormatDescription, expected[i].description);
        EXPECT_STREQ(r.FilenameExtension, expected[i].extensions);
        EXPECT_STREQ(r.MimeType, expected[i].mime);
    }
}

TEST_F(EncodeTest, EveryEncoderRoundTripsThePicture) {
    ImagePtr bitmap = composedQuadrants(64, 48);
    ASSERT_NE(bitmap, nullptr);
    for (const ExpectedEncoder& e : installedEncoders()) {
        const QString file = m_dir.filePath(QString::fromWCharArray(e.description));
        SCOPED_TRACE(file.toStdString());
        ASSERT_EQ(save(bitmap.get(), file, *e.clsid), Ok);
        GpStatus status = GenericError;
        ImagePtr back = loadBitmap(file, &status);
        ASSERT_EQ(status, Ok);
        const QImage pixels = pixelsOf(back.get());
        ASSERT_EQ(pixels.size(), QSize(64, 48));
        // Named points 8 pixels inside each quadrant.
        const struct {
            int x, y;
            QRgb colour;
        } points[] = {{8, 8, qRgb(255, 0, 0)},
                      {56, 8, qRgb(0, 255, 0)},
                      {8, 40, qRgb(0, 0, 255)},
                      {56, 40, qRgb(255, 255, 255)}};
        for (const auto& p : points)
            EXPECT_TRUE(NearColour(pixels.pixel(p.x, p.y), p.colour, e.tolerance))
                << p.x << "," << p.y << ": " << Describe(pixels.pixel(p.x, p.y));
    }
}

TEST_F(EncodeTest, AlphaIsKeptWhereTheFormatHasItAndDroppedForJpeg) {
    ImagePtr bitmap = blankBitmap(32, 16, PixelFormat32bppARGB);
    const QString overlayFile = m_dir.filePath("half.png");
    QImage half(16, 16, QImage::Format_ARGB32);
    half.fill(qRgba(255, 0, 0, 128));
    ASSERT_TRUE(WriteBytes(overlayFile, Encode(half, "png")));
    GpStatus status = GenericError;
    ImagePtr overlay = loadBitmap(overlayFile, &status);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(bitmap.get(), &graphics), Ok);
    EXPECT_EQ(GdipDrawImageRectI(graphics, overlay.get(), 0, 0, 16, 16), Ok);
    GdipDeleteGraphics(graphics);
    for (const ExpectedEncoder& e : installedEncoders()) {
        if (*e.clsid == ClsidBmpEncoder)
            continue; // BMP readers disagree about alpha; not relied on
        const QString file =
            m_dir.filePath(QStringLiteral("alpha-") + QString::fromWCharArray(e.description));
        SCOPED_TRACE(file.toStdString());
        ASSERT_EQ(save(bitmap.get(), file, *e.clsid), Ok);
        ImagePtr back = loadBitmap(file, &status);
        ASSERT_EQ(status, Ok);
        const QImage pixels = pixelsOf(back.get());
        if (*e.clsid == ClsidJpegEncoder) {
            // Straight colour kept, alpha dropped: red on the left, blank (black) on the right.
            EXPECT_TRUE(NearColour(pixels.pixel(4, 8), qRgb(255, 0, 0), 12))
                << Describe(pixels.pixel(4, 8));
            EXPECT_TRUE(NearColour(pixels.pixel(28, 8), qRgb(0, 0, 0), 12))
                << Describe(pixels.pixel(28, 8));
        } else {
            // Lossless formats keep it exactly; WebP within 3 per channel, the others within
            // their round trip's tolerance.
            const int tolerance = *e.clsid == ClsidWebpEncoder ? 3 : e.tolerance;
            EXPECT_TRUE(NearColour(pixels.pixel(4, 8), qRgba(255, 0, 0, 128), tolerance))
                << Describe(pixels.pixel(4, 8));
            EXPECT_EQ(qAlpha(pixels.pixel(28, 8)), 0);
        }
    }
}

TEST_F(EncodeTest, SavingReplacesAnExistingFile) {
    ImagePtr bitmap = composedQuadrants(32, 32);
    const QString file = m_dir.filePath("out.png");
    ASSERT_TRUE(WriteBytes(file, "old contents"));
    ASSERT_EQ(save(bitmap.get(), file, ClsidPngEncoder), Ok);
    GpStatus status = GenericError;
    ImagePtr back = loadBitmap(file, &status);
    ASSERT_EQ(status, Ok);
    EXPECT_EQ(pixelsOf(back.get()).pixel(4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(entries(), QStringList{"out.png"}) << "no temporary file left";
}

TEST_F(EncodeTest, FailedSavesWriteNothing) {
    ImagePtr bitmap = composedQuadrants(16, 16);
    ASSERT_TRUE(WriteBytes(m_dir.filePath("regular"), "a file, not a folder"));
    const CLSID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const struct {
        const char* name;
        QString path;
        const CLSID* clsid;
        GpStatus expected; // Ok here means "any failure"
    } cases[] = {
        {"missing folder", m_dir.filePath("missing/out.png"), &ClsidPngEncoder, Ok},
        {"below a regular file", m_dir.filePath("regular/out.png"), &ClsidPngEncoder, Ok},
        {"a folder as the target", m_dir.path(), &ClsidPngEncoder, Ok},
        {"unknown encoder", m_dir.filePath("out.png"), &unknown, FileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GpStatus status = save(bitmap.get(), c.path, *c.clsid);
        if (c.expected == Ok)
            EXPECT_NE(status, Ok);
        else
            EXPECT_EQ(status, c.expected);
        EXPECT_EQ(entries(), QStringList{"regular"});
        EXPECT_EQ(ReadBytes(m_dir.filePath("regular")), QByteArray("a file, not a folder"));
    }
    EXPECT_EQ(GdipSaveImageToFile(nullptr, L"x.png", &ClsidPngEncoder, nullptr), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap.get(), nullptr, &ClsidPngEncoder, nullptr),
              InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap.get(), L"x.png", nullptr, nullptr), InvalidParameter);
}

// A disk that fills up half-way (a file-size limit in a child process): every encoder's save
// fails and leaves the existing file exactly as it was, with no temporary file beside it.
TEST_F(EncodeTest, SaveCutShortByTheFileSizeLimitKeepsTheOldFile) {
    // Noise does not compress, so every encoder writes well over the limit.
    QImage noise(256, 192, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            noise.setPixel(x, y, qRgb(seed >> 24, (seed >> 16) & 0xFF, (seed >> 8) & 0xFF));
        }
    const QString sourceFile = m_dir.filePath("noise.bmp");
    ASSERT_TRUE(WriteBytes(sourceFile, Encode(noise, "bmp")));
    GpStatus status = GenericError;
    ImagePtr image = loadBitmap(sourceFile, &status);
    ASSERT_EQ(status, Ok);
    ASSERT_FALSE(pixelsOf(image.get()).isNull()); // decoded before the limit applies
    ASSERT_TRUE(QFile::remove(sourceFile));

    const QByteArray original(3000, 'k');
    for (const ExpectedEncoder& e : installedEncoders()) {
        const QString target = m_dir.filePath(QStringLiteral("existing"));
        SCOPED_TRACE(QString::fromWCharArray(e.description).toStdString());
        ASSERT_TRUE(WriteBytes(target, original));
        const std::wstring wide = widePath(target);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{8192, 8192};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const GpStatus saved = GdipSaveImageToFile(image.get(), wide.c_str(), e.clsid, nullptr);
            ::_exit(saved == Ok ? 1 : 0);
        }
        int childStatus = 0;
        ASSERT_EQ(::waitpid(child, &childStatus, 0), child);
        ASSERT_TRUE(WIFEXITED(childStatus)) << "the child must not be killed";
        EXPECT_EQ(WEXITSTATUS(childStatus), 0) << "the save must report failure";
        EXPECT_EQ(ReadBytes(target), original);
        EXPECT_EQ(entries(), QStringList{"existing"});
    }
}
