// Loading pictures: header facts, pixel-format codes, limits, damaged and unusual files.

#include "ImagingTestSupport.h"

#include "imaging/GpImage.h"
#include "imaging/ImageFileAccess.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

// A JPEG's start and then nothing but a hole, as a file system stores it: large on the
// books, small on disk.
bool writeSparse(const QString& path, const QByteArray& start, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(start) == start.size() &&
           file.resize(size);
}

QImage indexedQuadrants(int width, int height) {
    return Quadrants(width, height).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

class DecodeTest : public testing::Test {
  protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString file = path(name);
        EXPECT_TRUE(WriteBytes(file, bytes)) << name.toStdString();
        return file;
    }
    // Writes and loads a picture: its size as the loaded image reports it, and its pixels (null
    // when it did not load).
    QImage loadPixels(const QString& name, const QByteArray& bytes, QSize* size) {
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(write(name, bytes), &status);
        EXPECT_EQ(status, Ok) << name.toStdString();
        UINT width = 0, height = 0;
        GdipGetImageWidth(image.get(), &width);
        GdipGetImageHeight(image.get(), &height);
        *size = QSize(int(width), int(height));
        return pixelsOf(image.get());
    }
    QTemporaryDir m_dir;
};

// A HEIC file whose image size box claims width x height.
QByteArray heifClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray heic = HeifPicture(Quadrants(64, 64), {}); // no crop box at this size
    const qsizetype at = heic.indexOf("ispe");
    if (at < 0)
        return {};
    for (int k = 0; k < 4; ++k) {
        heic[at + 8 + k] = char((width >> (24 - 8 * k)) & 0xFF);
        heic[at + 12 + k] = char((height >> (24 - 8 * k)) & 0xFF);
    }
    return heic;
}

struct FormatCase {
    const char* name;
    QByteArray (*make)();
    PixelFormat expected;
};

const FormatCase kFormatCases[] = {
    {"colour.jpg", [] { return Encode(Quadrants(40, 30), "jpeg", 90); }, PixelFormat24bppRGB},
    {"grey.jpg",
     [] {
         return Encode(Quadrants(40, 30).convertToFormat(QImage::Format_Grayscale8), "jpeg", 90);
     },
     PixelFormat8bppIndexed},
    {"rgba.png", [] { return Encode(Quadrants(40, 30, QImage::Format_ARGB32), "png"); },
     PixelFormat32bppARGB},
    {"rgb.png", [] { return Encode(Quadrants(40, 30), "png"); }, PixelFormat24bppRGB},
    {"palette.png", [] { return Encode(indexedQuadrants(40, 30), "png"); }, PixelFormat8bppIndexed},
    {"grey.png",
     [] { return Encode(Quadrants(40, 30).convertToFormat(QImage::Format_Grayscale8), "png"); },
     PixelFormat8bppIndexed},
    {"mono.png",
     [] { return Encode(Quadrants(40, 30).convertToFormat(QImage::Format_Mono), "png"); },
     PixelFormat1bppIndexed},
    {"deep.png", [] { return Encode(Quadrants(40, 30, QImage::Format_RGBA64), "png"); },
     PixelFormat64bppARGB},
    {"deep-rgb.png", [] { return Encode(Quadrants(40, 30, QImage::Format_RGBX64), "png"); },
     PixelFormat48bppRGB},
    {"palette.gif", [] { return EncodeGif(indexedQuadrants(40, 30)); }, PixelFormat8bppIndexed},
    {"rgb24.bmp", [] { return Encode(Quadrants(40, 30), "bmp"); }, PixelFormat24bppRGB},
    // Four colours: Qt stores them with 4 bits per pixel.
    {"palette16.bmp", [] { return Encode(indexedQuadrants(40, 30), "bmp"); },
     PixelFormat4bppIndexed},
    {"rgb.tif", [] { return Encode(Quadrants(40, 30, QImage::Format_RGB888), "tiff"); },
     PixelFormat24bppRGB},
    {"rgba.tif", [] { return Encode(Quadrants(40, 30, QImage::Format_ARGB32), "tiff"); },
     PixelFormat32bppARGB},
    // A transparency key (here the blue quadrant's colour) gives RGB pictures alpha.
    {"keyed.png", [] { return PngWithKey(Quadrants(40, 30), 8, qRgb(0, 0, 255)); },
     PixelFormat32bppARGB},
    {"keyed-deep.png", [] { return PngWithKey(Quadrants(40, 30), 16, qRgb(0, 0, 255)); },
     PixelFormat64bppARGB},
    {"rgb555.bmp", [] { return Bmp16(Quadrants(40, 30), false); }, PixelFormat16bppRGB555},
    {"rgb565.bmp", [] { return Bmp16(Quadrants(40, 30), true); }, PixelFormat16bppRGB565},
    {"quadrants.heic", [] { return HeifPicture(Quadrants(40, 30), {}); }, PixelFormat24bppRGB},
    {"deep.heic", [] { return HeifPicture(Quadrants(40, 30), {.bits = 10}); }, PixelFormat48bppRGB},
    {"quadrants.avif", [] { return HeifPicture(Quadrants(40, 30), {.av1 = true}); },
     PixelFormat24bppRGB},
    {"quadrants.jxl", [] { return JxlPicture(Quadrants(40, 30), true); }, PixelFormat24bppRGB},
};

} // namespace

TEST_F(DecodeTest, ReportsHeaderFactsAndDecodesPixels) {
    for (const FormatCase& c : kFormatCases) {
        SCOPED_TRACE(c.name);
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(write(c.name, c.make()), &status);
        ASSERT_EQ(status, Ok);
        UINT width = 0, height = 0;
        PixelFormat format = 0;
        ImageType type = ImageTypeUnknown;
        EXPECT_EQ(GdipGetImageWidth(image.get(), &width), Ok);
        EXPECT_EQ(GdipGetImageHeight(image.get(), &height), Ok);
        EXPECT_EQ(GdipGetImagePixelFormat(image.get(), &format), Ok);
        EXPECT_EQ(GdipGetImageType(image.get(), &type), Ok);
        EXPECT_EQ(width, 40u);
        EXPECT_EQ(height, 30u);
        EXPECT_EQ(format, c.expected) << std::hex << format;
        EXPECT_EQ(type, ImageTypeBitmap);
        // Named points inside the quadrants: red at the top left, white at the bottom right
        // (grey and 1-bit pictures keep only the brightness, so compare that).
        const QImage pixels = pixelsOf(image.get());
        ASSERT_FALSE(pixels.isNull());
        const QRgb topLeft = pixels.pixel(5, 5);
        const QRgb bottomRight = pixels.pixel(35, 25);
        EXPECT_GE(qGray(bottomRight), 240) << Describe(bottomRight);
        if (c.expected != PixelFormat1bppIndexed &&
            std::string(c.name).find("grey") == std::string::npos) {
            EXPECT_TRUE(NearColour(topLeft, qRgb(255, 0, 0), 12)) << Describe(topLeft);
        }
    }
}

// A phone's HEIC is a grid of 48 tiles or more, the last ones cut by the picture's size: each
// lands in its place, every time (libheif decoding tiles side by side put a wrong one somewhere
// in every decode of this picture).
TEST_F(DecodeTest, HeicGridsShowEveryTileInItsPlace) {
    QImage tiles(120, 90, QImage::Format_RGB32);
    const auto colourOf = [](int tile) {
        return qRgb(tile * 37 % 256, tile * 91 % 256, tile * 53 % 256);
    };
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            tiles.setPixel(x, y, colourOf(y / 16 * 8 + x / 16));
    const QString path = write("tiles.heic", GridHeif(tiles, 16, 16));
    for (int round = 0; round < 5; ++round) {
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(path, &status);
        ASSERT_EQ(status, Ok);
        const QImage pixels = pixelsOf(image.get());
        ASSERT_EQ(pixels.size(), tiles.size());
        for (int tile = 0; tile < 48; ++tile) {
            const QRgb got = pixels.pixel(tile % 8 * 16 + 4, tile / 8 * 16 + 4);
            EXPECT_TRUE(NearColour(got, colourOf(tile), 20)) << tile << ": " << Describe(got);
        }
    }
}

// A HEIF file turns its picture with boxes of its own; an EXIF orientation inside it only
// describes the stored picture and is not applied again.
TEST_F(DecodeTest, Exif90DegreeJpegLoadsUpright) {
    // Stored 40 x 20: left half red with a green top-left quarter, right half blue. Orientation
    // 6 means "turn 90 degrees clockwise to show".
    QImage stored(40, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            stored.setPixel(x, y,
                            x >= 20  ? qRgb(0, 0, 255)
                            : y < 10 ? qRgb(0, 255, 0)
                                     : qRgb(255, 0, 0));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"rotated.jpg", JpegWithExifOrientation(Encode(stored, "jpeg", 95), 6)},
        {"rotated.heic", HeifPicture(stored, {.orientation = 6, .exif = ExifOrientation(6)})},
        {"rotated.avif",
         HeifPicture(stored, {.av1 = true, .orientation = 6, .exif = ExifOrientation(6)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QSize size;
        const QImage upright = loadPixels(c.name, c.bytes, &size);
        EXPECT_EQ(size, QSize(20, 40));
        ASSERT_EQ(upright.size(), QSize(20, 40));
        // Tolerance 40 per channel for colour bleeding at 5 px from the edges.
        EXPECT_TRUE(NearColour(upright.pixel(15, 4), qRgb(0, 255, 0), 40)) << "top-right corner";
        EXPECT_TRUE(NearColour(upright.pixel(4, 4), qRgb(255, 0, 0), 40)) << "top-left corner";
        EXPECT_TRUE(NearColour(upright.pixel(10, 35), qRgb(0, 0, 255), 40)) << "bottom";
    }
}

// Over the limit by their own headers, or by the picture they hold while the container claims
// less (an icon directory's 256 x 256, a GIF screen of 0 x 0): refused before any decoding, so
// at once, whatever the file is called.
TEST_F(DecodeTest, OversizedHeadersAreRefusedBeforeDecoding) {
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"huge.png", PngClaiming(60000, 60000)},
        {"huge.bmp", BmpClaiming(60000, 60000)},
        {"huge.jpg", JpegClaiming(Encode(Quadrants(16, 16), "jpeg", 90), 60000, 60000)},
        {"wide.png", PngClaiming(1000000, 400)},
        {"holiday.jpg", IcoHolding(PngClaiming(24000, 24000))},
        {"dib.ico", IcoHolding(DibClaiming(24000, 24000))},
        {"huge.icns", IcnsHolding(PngClaiming(24000, 24000))},
        {"frame.gif", GifFrameClaiming(20000, 20000)},
        {"huge.jxl", JxlClaiming(60000, 60000)},
        {"huge.heic", heifClaiming(60000, 60000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.bytes);
        QElapsedTimer timer;
        timer.start();
        GpStatus status = Ok;
        ImagePtr image = loadBitmap(file, &status);
        EXPECT_EQ(status, OutOfMemory);
        EXPECT_EQ(image, nullptr);
        // About a millisecond; the margin is for sanitizer builds and a busy machine.
        EXPECT_LT(timer.elapsed(), 200);
    }
}

// An icon's directory and a GIF's screen are claims; the picture decoded is what is held.
TEST_F(DecodeTest, IconsAndGifsTakeTheSizeOfThePictureTheyHold) {
    QImage screenless = indexedQuadrants(40, 30);
    QByteArray gif = EncodeGif(screenless);
    gif.replace(6, 4, QByteArray(4, '\0'));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"png-inside.ico", IcoHolding(Encode(Quadrants(40, 30), "png"))},
        {"png-inside.icns", IcnsHolding(Encode(Quadrants(40, 30), "png"))},
        {"screenless.gif", gif},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QSize size;
        const QImage pixels = loadPixels(c.name, c.bytes, &size);
        EXPECT_EQ(size, QSize(40, 30));
        ASSERT_EQ(pixels.size(), QSize(40, 30));
        EXPECT_TRUE(NearColour(pixels.pixel(5, 5), qRgb(255, 0, 0), 12))
            << Describe(pixels.pixel(5, 5));
        EXPECT_TRUE(NearColour(pixels.pixel(35, 25), qRgb(255, 255, 255), 12));
    }
}

// A file is read only as far as the picture its header declares can need: a 2.3 GB file that
// starts like a JPEG costs neither its size in memory nor the time to read it. A small JPEG
// with a huge tail still loads (what follows its end is ignored, as for padding), and so does
// a TIFF whose directory lies past the first 16 MB, whatever follows that directory.
TEST_F(DecodeTest, HugeFilesAreReadOnlyAsFarAsTheirPictureNeeds) {
    const qint64 huge = qint64(2300) << 20;
    const QByteArray jpeg = Encode(Quadrants(40, 30), "jpeg", 90);
    const std::uint32_t pastTheHead = std::uint32_t(17) << 20;
    const struct {
        const char* name;
        QByteArray start;
        GpStatus expected;
        QRgb at5x5; // with a tolerance of 8
    } cases[] = {
        {"marker.jpg", QByteArray("\xFF\xD8\xFF\xE0", 4), UnknownImageFormat, 0},
        {"tail.jpg", jpeg, Ok, qRgb(255, 0, 0)},
        {"profile.tif", TiffDirectoryAt(pastTheHead, "profile"), Ok, qRgb(128, 128, 128)},
        {"pages.tif", TiffDirectoryAt(pastTheHead, "second-directory"), Ok, qRgb(128, 128, 128)},
        {"strip.tif", TiffDirectoryAt(pastTheHead, "strip"), Ok, qRgb(128, 128, 128)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeSparse(path(c.name), c.start, huge));
        struct rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        QElapsedTimer timer;
        timer.start();
        GpStatus status = Ok;
        ImagePtr image = loadBitmap(path(c.name), &status);
        EXPECT_EQ(status, c.expected);
        if (status == Ok) {
            const QImage pixels = pixelsOf(image.get());
            EXPECT_TRUE(!pixels.isNull() && NearColour(pixels.pixel(5, 5), c.at5x5, 8))
                << Describe(pixels.isNull() ? 0 : pixels.pixel(5, 5));
        }
        EXPECT_LT(timer.elapsed(), 2000);
        struct rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        // The peak resident set grows by less than a tenth of the file (kB).
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 230 * 1024);
        QFile::remove(path(c.name));
    }
}

TEST_F(DecodeTest, SizeComesFromTheHeaderWithoutDecoding) {
    // Just under the limit: accepted with its header size; its few bytes of pixel data would
    // only fail when decoded, which never happens here.
    GpStatus status = GenericError;
    ImagePtr image = loadBitmap(write("big.png", PngClaiming(17000, 17000)), &status);
    ASSERT_EQ(status, Ok);
    UINT width = 0;
    EXPECT_EQ(GdipGetImageWidth(image.get(), &width), Ok);
    EXPECT_EQ(width, 17000u);
}

TEST_F(DecodeTest, TruncatedFilesFailToLoad) {
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"cut.png", Encode(Quadrants(64, 64), "png")},
        {"cut.jpg", Encode(Quadrants(64, 64), "jpeg", 90)},
        {"cut.gif", EncodeGif(indexedQuadrants(64, 64))},
        {"cut.bmp", Encode(Quadrants(64, 64), "bmp")},
        {"cut.tif", Encode(Quadrants(64, 64), "tiff")},
        {"cut.webp", Encode(Quadrants(64, 64), "webp", 90)},
        {"cut.heic", HeifPicture(NoisyImage(64, 64), {})},
        {"cut.avif", HeifPicture(NoisyImage(64, 64), {.av1 = true})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.bytes.size(), 100);
        GpStatus status = GenericError;
        // The whole file loads; without its last part (and without its very end) it does not.
        EXPECT_NE(loadBitmap(write(QStringLiteral("whole-") + c.name, c.bytes), &status), nullptr);
        EXPECT_EQ(status, Ok);
        for (const double keep : {0.6, 0.97}) {
            const QByteArray cut = c.bytes.left(qsizetype(c.bytes.size() * keep));
            EXPECT_EQ(loadBitmap(write(c.name, cut), &status), nullptr) << keep;
            EXPECT_NE(status, Ok) << keep;
        }
    }
}

TEST_F(DecodeTest, JpegWithPaddingAfterItsEndLoads) {
    const QByteArray padded = Encode(Quadrants(32, 32), "jpeg", 90) + QByteArray(300, '\0');
    GpStatus status = GenericError;
    EXPECT_NE(loadBitmap(write("padded.jpg", padded), &status), nullptr);
    EXPECT_EQ(status, Ok);
}

// A JPEG XL codestream's length is known only once decoded: one cut short loads, and fails here.
TEST_F(DecodeTest, DamageFoundWhileDecodingFailsDrawAndSave) {
    QByteArray png = Encode(Quadrants(64, 64), "png");
    const qsizetype idat = png.indexOf("IDAT");
    ASSERT_GT(idat, 0);
    for (int i = 10; i < 30; ++i)
        png[idat + i] = char(png[idat + i] ^ 0x5A); // chunk lengths intact, data and CRC wrong
    const QByteArray jxl = JxlPicture(NoisyImage(64, 64), false);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"damaged.png", png}, {"cut.jxl", jxl.left(jxl.size() * 6 / 10)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(write(c.name, c.bytes), &status);
        ASSERT_EQ(status, Ok);
        ImagePtr target = blankBitmap(64, 64, PixelFormat24bppRGB);
        GpGraphics* graphics = nullptr;
        ASSERT_EQ(GdipGetImageGraphicsContext(target.get(), &graphics), Ok);
        GraphicsPtr surface(graphics);
        EXPECT_NE(GdipDrawImageRectI(graphics, image.get(), 0, 0, 64, 64), Ok);
        const std::wstring out = widePath(path("out.png"));
        EXPECT_NE(GdipSaveImageToFile(image.get(), out.c_str(), &ClsidPngEncoder, nullptr), Ok);
        EXPECT_FALSE(QFile::exists(path("out.png")));
    }
}

TEST_F(DecodeTest, UnusableFilesFailAtOnceWithTheirStatus) {
    ASSERT_EQ(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
    QDir(m_dir.path()).mkdir("folder");
    write("plain.txt", "just some words, not a picture\n");
    write("empty.png", QByteArray());
    write("drawing.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>");
    for (const char* raw : {"dng", "nef", "cr3", "raf"})
        write(QString("photo.") + raw, CameraRawLike(raw));
    // The same TIFF without the sign of a raw file is a picture.
    GpStatus plain = GenericError;
    EXPECT_NE(loadBitmap(write("preview.tif", CameraRawLike("tiff")), &plain), nullptr);
    EXPECT_EQ(plain, Ok);
    EXPECT_FALSE(ImageFileAccess::isCameraRaw(path("preview.tif").toStdString()));
    const struct {
        const char* name;
        GpStatus expected;
        bool raw = false;
    } cases[] = {
        {"missing.png", FileNotFound},
        {"plain.txt/below.png", FileNotFound},
        {"folder", AccessDenied},
        {"fifo", Win32Error},
        {"plain.txt", UnknownImageFormat},
        {"empty.png", UnknownImageFormat},
        {"drawing.svg", UnknownImageFormat},
        {"photo.dng", UnknownImageFormat, true},
        {"photo.nef", UnknownImageFormat, true},
        {"photo.cr3", UnknownImageFormat, true},
        {"photo.raf", UnknownImageFormat, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ImageFileAccess::isCameraRaw(path(c.name).toStdString()), c.raw);
        GpStatus status = Ok;
        EXPECT_EQ(loadBitmap(path(c.name), &status), nullptr);
        EXPECT_EQ(status, c.expected);
        GpImage* image = nullptr;
        const std::wstring wide = widePath(path(c.name));
        EXPECT_EQ(GdipLoadImageFromFile(wide.c_str(), &image), c.expected);
    }
}

TEST_F(DecodeTest, NullArgumentsAreInvalid) {
    GpImage* image = nullptr;
    UINT value = 0;
    PixelFormat format = 0;
    ImageType type = ImageTypeUnknown;
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &image), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromFile(L"x.png", nullptr), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(nullptr), InvalidParameter);
    EXPECT_EQ(GdipGetImageWidth(nullptr, &value), InvalidParameter);
    EXPECT_EQ(GdipGetImageHeight(nullptr, &value), InvalidParameter);
    EXPECT_EQ(GdipGetImagePixelFormat(nullptr, &format), InvalidParameter);
    EXPECT_EQ(GdipGetImageType(nullptr, &type), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromResource(nullptr, L"named", &image), InvalidParameter);
    EXPECT_NE(GdipCreateBitmapFromResource(nullptr, MAKEINTRESOURCEW(65000), &image), Ok);
}

TEST_F(DecodeTest, FileChangedAfterLoadingDoesNotChangeTheImage) {
    const QString file = write("kept.png", Encode(Quadrants(20, 20), "png"));
    GpStatus status = GenericError;
    ImagePtr image = loadBitmap(file, &status);
    ASSERT_EQ(status, Ok);
    QImage other(20, 20, QImage::Format_RGB32);
    other.fill(qRgb(9, 9, 9));
    write("kept.png", Encode(other, "png"));
    const QImage pixels = pixelsOf(image.get());
    ASSERT_FALSE(pixels.isNull());
    EXPECT_EQ(pixels.pixel(2, 2), qRgb(255, 0, 0));
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(pixelsOf(image.get()).pixel(17, 17), qRgb(255, 255, 255));
}

TEST(BlankBitmapTest, HoldsItsFormatAndOnlyDrawableFormatsOpenASurface) {
    const struct {
        PixelFormat format;
        bool drawable;
    } cases[] = {
        {PixelFormat1bppIndexed, false},   {PixelFormat4bppIndexed, false},
        {PixelFormat8bppIndexed, false},   {PixelFormat16bppGrayScale, false},
        {PixelFormat16bppARGB1555, false}, {PixelFormat16bppRGB555, true},
        {PixelFormat16bppRGB565, true},    {PixelFormat24bppRGB, true},
        {PixelFormat32bppRGB, true},       {PixelFormat32bppARGB, true},
        {PixelFormat32bppPARGB, true},     {PixelFormat48bppRGB, true},
        {PixelFormat64bppARGB, true},      {PixelFormat64bppPARGB, true},
    };
    // 200 pixels wide: rows of 16-bit formats are then longer than 15 bits per pixel would give.
    for (const auto& c : cases) {
        for (const int wide : {7, 200}) {
            SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << " " << wide);
            ImagePtr bitmap = blankBitmap(wide, 5, c.format);
            ASSERT_NE(bitmap, nullptr);
            PixelFormat format = 0;
            UINT width = 0, height = 0;
            GdipGetImagePixelFormat(bitmap.get(), &format);
            GdipGetImageWidth(bitmap.get(), &width);
            GdipGetImageHeight(bitmap.get(), &height);
            EXPECT_EQ(format, c.format);
            EXPECT_EQ(width, UINT(wide));
            EXPECT_EQ(height, 5u);
            // New bitmaps start black (transparent black with alpha).
            const QRgb corner = pixelsOf(bitmap.get()).pixel(wide - 1, 4);
            EXPECT_EQ(qRed(corner) + qGreen(corner) + qBlue(corner), 0) << Describe(corner);
            GpGraphics* graphics = nullptr;
            const GpStatus opened = GdipGetImageGraphicsContext(bitmap.get(), &graphics);
            EXPECT_EQ(opened == Ok, c.drawable) << opened;
            if (opened == Ok)
                GdipDeleteGraphics(graphics);
        }
    }
}

TEST(BlankBitmapTest, RefusesBadSizesAndOversizedBitmaps) {
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromScan0(0, 10, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(10, -1, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(10, 10, 0, 0x12345, nullptr, &bitmap), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(10, 10, 0, PixelFormat24bppRGB, nullptr, nullptr),
              InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromScan0(60000, 60000, 0, PixelFormat32bppARGB, nullptr, &bitmap),
              OutOfMemory);
    EXPECT_EQ(GdipCreateBitmapFromScan0(INT_MAX, INT_MAX, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              OutOfMemory);
}

// Qt's reader cap can be lowered from the environment (QT_IMAGEIO_MAXALLOC, read once per
// process); the library's limit must not depend on it. The child run below decodes a picture
// of several megabytes under a 1 MB cap.
TEST(EnvironmentCapChild, DecodesAboveQtsEnvironmentCap) {
    if (!qEnvironmentVariableIsSet("PICTORUM_IMAGING_CAP_CHILD"))
        GTEST_SKIP() << "runs only as the child of DecodesWhateverTheEnvironmentCapSays";
    QTemporaryDir dir;
    for (const char* format : {"png", "jpeg", "bmp", "tiff"}) {
        SCOPED_TRACE(format);
        const QString file = dir.filePath(QStringLiteral("large.") + format);
        ASSERT_TRUE(WriteBytes(file, Encode(Quadrants(1600, 1200), format, 90)));
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(file, &status);
        ASSERT_EQ(status, Ok);
        const QImage pixels = pixelsOf(image.get());
        ASSERT_EQ(pixels.size(), QSize(1600, 1200));
        EXPECT_TRUE(NearColour(pixels.pixel(1500, 1100), qRgb(255, 255, 255), 10));
    }
}

TEST(EnvironmentCapTest, DecodesWhateverTheEnvironmentCapSays) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_IMAGEIO_MAXALLOC", "1");
    environment.insert("PICTORUM_IMAGING_CAP_CHILD", "1");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=EnvironmentCapChild.*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAllStandardOutput();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

namespace {

// A CMYK JPEG (Adobe YCCK, as cameras never write but print workflows do); Qt 6.4 cannot
// write one.
QByteArray cmykJpeg(int width, int height) {
    std::vector<unsigned char> cmyk(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &cmyk[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
            p[0] = uchar(x * 255 / width);
            p[1] = uchar(y * 255 / height);
            p[2] = 90;
            p[3] = uchar(255 - (x + y) % 64);
        }
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(handle, cmyk.data(), width, 0, height, TJPF_CMYK, &out, &size,
                                   TJSAMP_444, 90, 0);
    QByteArray bytes =
        failed ? QByteArray() : QByteArray(reinterpret_cast<char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

QImage decodedByQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

// Largest per-channel difference between two pictures of equal size.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

// Whole JPEGs come out as Qt's reader decodes them (same libjpeg, same settings: tolerance 0),
// upright in every Exif orientation. Colour ones are decoded in the layout of the bitmap they
// are first drawn onto (24-bit for a stamped JPEG, 32-bit for the sample preview).
TEST_F(DecodeTest, WholeJpegsDecodeAsQtDecodesThem) {
    const QImage photo = Quadrants(67, 45);
    struct Case {
        std::string name;
        QByteArray bytes;
        QImage::Format onto24, onto32; // decoded layout when drawn onto such a bitmap
    };
    std::vector<Case> cases = {
        {"colour", Encode(photo, "jpeg", 90), QImage::Format_RGB888, QImage::Format_RGB32},
        {"grey", Encode(photo.convertToFormat(QImage::Format_Grayscale8), "jpeg", 90),
         QImage::Format_Grayscale8, QImage::Format_Grayscale8},
        {"cmyk", cmykJpeg(67, 45), QImage::Format_RGB32, QImage::Format_RGB32},
    };
    for (int orientation = 2; orientation <= 8; ++orientation)
        cases.push_back({"orientation " + std::to_string(orientation),
                         JpegWithExifOrientation(Encode(photo, "jpeg", 90), orientation),
                         QImage::Format_RGB888, QImage::Format_RGB32});
    for (const Case& c : cases) {
        for (const PixelFormat target : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
            SCOPED_TRACE(c.name +
                         (target == PixelFormat24bppRGB ? " onto 24-bit" : " onto 32-bit"));
            ASSERT_FALSE(c.bytes.isEmpty());
            GpStatus status = GenericError;
            ImagePtr image = loadBitmap(write("whole.jpg", c.bytes), &status);
            ASSERT_EQ(status, Ok);
            const QImage expected = decodedByQt(c.bytes);
            ASSERT_EQ(QSize(int(image->width), int(image->height)), expected.size());
            ImagePtr canvas = blankBitmap(expected.width(), expected.height(), target);
            GpGraphics* graphics = nullptr;
            ASSERT_EQ(GdipGetImageGraphicsContext(canvas.get(), &graphics), Ok);
            GraphicsPtr surface(graphics);
            ASSERT_EQ(GdipDrawImageRectI(graphics, image.get(), 0, 0, expected.width(),
                                         expected.height()),
                      Ok);
            surface.reset();
            EXPECT_EQ(image->pixels.format(), target == PixelFormat24bppRGB ? c.onto24 : c.onto32);
            const QImage got = pixelsOf(image.get());
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_EQ(largestDifference(got, expected), 0);
            EXPECT_EQ(largestDifference(pixelsOf(canvas.get()), expected), 0);
        }
    }
}

// Damaged entropy-coded data behind intact markers loads (its structure is whole) but fails
// when decoded, so nothing is drawn or saved from it.
TEST_F(DecodeTest, DamagedJpegScanDataFailsToDecode) {
    const QByteArray baseline = Encode(Quadrants(160, 120), "jpeg", 90);
    const qsizetype middle = (ScanStart(baseline) + baseline.size()) / 2;
    ASSERT_GT(middle - ScanStart(baseline), 200);
    QByteArray progressive;
    QBuffer buffer(&progressive);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(Quadrants(160, 120)));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"overwritten.jpg", Overwritten(baseline, middle)},
        {"cut-with-end.jpg", baseline.left(middle) + QByteArray("\xFF\xD9", 2)},
        {"progressive-overwritten.jpg", Overwritten(progressive, ScanStart(progressive) + 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GpStatus status = GenericError;
        ImagePtr image = loadBitmap(write(c.name, c.bytes), &status);
        ASSERT_EQ(status, Ok);
        EXPECT_EQ(image->decode(QImage::Format_RGB888), GenericError);
        const std::wstring out = widePath(path("out.png"));
        EXPECT_EQ(GdipSaveImageToFile(image.get(), out.c_str(), &ClsidPngEncoder, nullptr),
                  GenericError);
        EXPECT_FALSE(QFile::exists(path("out.png")));
    }
}
