#pragma once
// Pictures drawn in code for the tests: whole files in every format the library decodes, files
// cut short, headers that claim far more pixels than they hold, and the checks on colours.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A w x h picture with fine detail (seeded noise over a gradient), so that every format
// encodes it into many bytes and a cut lands inside the pixel data.
QImage NoisyImage(int width, int height, std::uint32_t seed = 1);

// A w x h picture of one colour in the given format (indexed formats get a palette).
QImage SolidImage(int width, int height, const QColor& colour,
                  QImage::Format format = QImage::Format_RGB32);

// The overlay of the batch tests: left half red, right half green, opaque (ARGB32), so that a
// mirrored, shifted or scaled stamp shows.
QImage RedGreenOverlay(int width, int height);

// A handwritten-looking signature: thin (1 to 2 pixel) dark strokes, curved, steep and nearly
// flat, smoothed, and a broad translucent wash, on a transparent ground (ARGB32), so that a
// reduced stamp shows beading and staircases wherever it is not filtered, and wrong alpha.
QImage SignatureImage(int width, int height);

// Flat quadrants: top-left red, top-right green, bottom-left blue, bottom-right white, so that
// lossy codecs stay close to the colours inside each quadrant.
QImage Quadrants(int width, int height, QImage::Format format = QImage::Format_RGB32);

// Red rising from left to right, green from top to bottom, blue fixed: the colour at any
// point is known, so an output can be checked anywhere. Drawn by Qt's painter (cheap even for
// 100 MP pictures).
QImage GradientImage(int width, int height, QImage::Format format = QImage::Format_RGB32);
QColor GradientColour(int width, int height, int x, int y);

// The image encoded as "jpeg", "png", "tiff", "bmp", "webp" (Qt's writers) or "gif" (our own
// writer: Qt has none). Empty when the format cannot be written.
QByteArray Encode(const QImage& image, const char* format, int quality = -1);

// An 8-bit palette GIF: an indexed image with its own palette, any other with its colours
// reduced to a 6x6x6 cube. Stored with LZW codes that never grow past 9 bits (a literal per
// pixel, a clear code every 250 pixels).
QByteArray EncodeGif(const QImage& image);

// A few hundred bytes in the given format whose header declares width x height pixels
// (formats: "jpeg", "png", "gif", "bmp", "tiff", "webp"), or that holds such a picture while
// its container claims less: "ico" and "icns" (a PNG inside an icon directory's 256 x 256 or
// 1024 x 1024 entry), "gif-frame" (a frame of that size on a 0 x 0 screen). Tiny files that
// declare what their data cannot hold: "xbm", "ppm" (one data byte), "jpeg-frame" (the markers
// up to the frame header, nothing after it); "jpeg-scans" is a 16 x height JPEG with its scan
// repeated width times.
QByteArray HeaderClaiming(const char* format, std::uint32_t width, std::uint32_t height);

// Files whose headers claim width x height while they hold next to nothing: a PNG whose pixel
// data is a few bytes, a BMP, a real JPEG patched, a GIF frame on a 0 x 0 screen, and a DIB
// icon entry (its mask's rows counted too).
QByteArray PngClaiming(std::uint32_t width, std::uint32_t height);
QByteArray BmpClaiming(std::uint32_t width, std::uint32_t height);
QByteArray JpegClaiming(QByteArray jpeg, std::uint32_t width, std::uint32_t height);
QByteArray GifFrameClaiming(std::uint32_t width, std::uint32_t height);
QByteArray DibClaiming(std::uint32_t width, std::uint32_t height);
// An icon file whose one directory entry claims 256 x 256 (the byte 0), and a Mac icon file
// whose one element is 1024 x 1024, each holding the picture.
QByteArray IcoHolding(const QByteArray& picture);
QByteArray IcnsHolding(const QByteArray& picture);

// An RGB PNG of 8 or 16 bits per sample whose transparency key is the given colour.
QByteArray PngWithKey(const QImage& picture, int depth, QRgb key);
// A 40 x 30 8-bit grey TIFF of the value 0x80 whose first directory starts at directoryAt,
// followed by (shape) "profile": the colour profile it names, "second-directory": a second
// page's directory, or "strip": its pixel strip and more data. What follows the directory
// reads, taken for directory entries, as a picture 70000 pixels square.
QByteArray TiffDirectoryAt(std::uint32_t directoryAt, const char* shape);
// A large PNG of 3 or 4 samples (RGB, RGBA) or deflate TIFF of 4 (RGBA), of 8 or 16 bits, its top
// half `top` and its bottom half `bottom`. Compressed as it is
// made: hundreds of megapixels take a few megabytes and never their full size in memory.
QByteArray TwoBandPicture(const char* format, std::uint32_t width, std::uint32_t height, int depth,
                          int samples, QRgb top, QRgb bottom);
// A 16-bit BMP: 5-5-5 without bit fields, or 5-6-5 with them.
QByteArray Bmp16(const QImage& picture, bool rgb565);

// An uncompressed bottom-up BMP of one row of indices (1 or 8 bits each) with the palette
// given: no encoder writes indices that the palette does not cover.
QByteArray IndexedBmp(int bitsPerPixel, const std::vector<QRgb>& palette,
                      const std::vector<int>& indices);

// An 8-bit RGB PNG of the image whose chunks are all whole (lengths and checksums right) but
// whose compressed pixel data holds only the first keptRows rows.
QByteArray PngMissingRows(const QImage& image, int keptRows);

// Where a JPEG's first scan's entropy-coded data starts (after its start-of-scan segment);
// -1 without one. Overwritten: 24 bytes from at on replaced, never with 0xFF, so that the
// markers stay as they were.
qsizetype ScanStart(const QByteArray& jpeg);
QByteArray Overwritten(QByteArray jpeg, qsizetype at);

// A JPEG of Qt's writer whose markers are intact but whose entropy-coded data is damaged:
// 24 bytes in its middle overwritten, or everything from its middle on replaced by the end
// marker. Empty when the file has no scan to damage.
QByteArray JpegScanOverwritten(const QByteArray& jpeg);
QByteArray JpegScanCut(const QByteArray& jpeg);
// A camera raw file as far as its first bytes tell: "dng" (a TIFF whose grey preview's
// directory carries a DNG version), "nef" (a sub-directory of sensor data, as Nikon, Sony and
// Pentax write), "cr3", "raf"; "tiff" is the same TIFF without a sign of raw data.
QByteArray CameraRawLike(const char* kind);
// A mid-grey 4:4:4 baseline JPEG coded bit by bit with small tables of its own, its first block
// coded plainly, with a run of zeros that reaches past the last coefficient (libjpeg puts the
// value on the last one without a word), or with a code no table has (libjpeg warns only when it
// reads the data in small pieces).
enum class JpegOddity { None, RunPast63, CodeNoTableHas };
QByteArray HandCodedJpeg(int width, int height, JpegOddity oddity);
// The JPEG with an APP1 Exif segment holding one Orientation entry (1-8) after its start marker.
QByteArray JpegWithExifOrientation(const QByteArray& jpeg, int orientation);

// A JPEG written by libjpeg at quality: luma sampled h x v times the chroma (1x1 for 4:4:4),
// or one grey component; progressive or baseline; a restart marker every restartRows MCU
// rows (0: none); Huffman tables optimised for the picture or the standard ones.
struct JpegShape {
    int h = 2;
    int v = 2;
    bool grey = false;
    bool progressive = false;
    int restartRows = 0;
    int quality = 92;
    bool optimised = false;
    // The chroma's own sampling factors (above 1: chroma sampled finer than luma at 1x1).
    int chromaH = 1;
    int chromaV = 1;
    // A restart interval in MCUs, where restartRows is 0.
    int restartMcus = 0;
};
QByteArray ShapedJpeg(const QImage& image, const JpegShape& shape);
// A JPEG's quantised coefficients as libjpeg reads them: per component its sampling, table and
// blocks (64 each), row by row over whole MCUs.
struct JpegBlocks {
    struct Component {
        int h = 1, v = 1, columns = 0, rows = 0;
        std::array<int, 64> table{};
        std::vector<short> coefficients;
    };
    int mcuWidth = 8, mcuHeight = 8;
    bool progressive = false;
    unsigned restartInterval = 0; // MCUs
    std::vector<Component> components;
};
JpegBlocks BlocksOf(const QByteArray& jpeg);
// A JPEG decoded to 24-bit RGB by TurboJPEG with flags (TJFLAG_FASTUPSAMPLE: each pixel from
// its own MCU's blocks only).
QImage DecodedJpeg(const QByteArray& jpeg, int flags = 0);

// The picture (JPEG, PNG, TIFF) with records written by exiv2: EXIF Artist, Copyright,
// Orientation 6, pixel dimensions, X/YResolution 300 dpi, a GPS position and a thumbnail; XMP
// dc:rights and a GPS latitude; IPTC Copyright Notice. RecordsOf: every record of a file as
// "key=value", EXIF, XMP and IPTC alike.
QByteArray WithRecords(const QByteArray& picture);
std::vector<std::string> RecordsOf(const QByteArray& file);
// The records of an EXIF block (a TIFF structure) and an XMP packet, EXIF first, as exiv2
// reads them: key and value.
std::vector<std::pair<std::string, std::string>> RecordsOfBlocks(const QByteArray& tiff,
                                                                 const QByteArray& packet);

// HEIF files made by libheif of image: AVIF (AV1) or HEIC (HEVC), 8 or more bits a sample (AV1
// at 10 aborts in libaom 3.6),
// turned as an EXIF orientation code says by the container's own boxes (irot, imir), with an
// ICC profile or a coded colour description (nclx primaries code: 12 Display P3, 1 sRGB, 9
// BT.2020; and transfer: libheif 1.15 writes it into AV1 files only) and
// EXIF (a TIFF structure). DecodedHeif: libheif's own
// reading of a file's primary image, upright, 8 bits a sample (null when it fails).
struct HeifShape {
    bool av1 = false;
    int bits = 8;
    int orientation = 1;
    QByteArray icc{};
    int nclxPrimaries = 0;
    int nclxTransfer = 13; // sRGB's; 16 is PQ
    QByteArray exif{};
    bool lossless = false;
};
QByteArray HeifPicture(const QImage& image, const HeifShape& shape);
QImage DecodedHeif(const QByteArray& file);
// The EXIF (from its TIFF header on) and XMP blocks of a HEIF file's primary image, as libheif
// finds them (exiv2 misses those of HEVC files).
std::pair<QByteArray, QByteArray> HeifRecordBlocks(const QByteArray& file);
// A HEIC file as phones write one: image cut into tiles of tileWidth x tileHeight (the last
// ones filled out with the edge's pixels), each a hidden HEVC image made by libheif, and a
// grid item over them of image's size as the primary image (libheif 1.15 writes no grids).
QByteArray GridHeif(const QImage& image, int tileWidth, int tileHeight);
// A TIFF structure holding one EXIF orientation, as a HEIF or JPEG XL file carries it.
QByteArray ExifOrientation(int orientation);
// JPEG XL files made by libjxl of image, lossless or at distance 1, in a container with an
// Exif box when exif is given; DecodedJxl: libjxl's reading, upright, 8 bits a sample.
QByteArray JxlPicture(const QImage& image, bool lossless, const QByteArray& exif = {});
QImage DecodedJxl(const QByteArray& file);
// The profile a HEIF file names, or that of a JPEG XL file's pixels as DecodedJxl gives them
// (empty for sRGB: such a file names no other); handled false for other files.
QByteArray ModernProfileOf(const QByteArray& file, bool* handled);
// A file of any of these formats or Qt's, decoded by its own library; null when none reads it.
QImage DecodedAny(const QByteArray& file);
// A JPEG XL codestream whose header alone declares width x height pixels.
QByteArray JxlClaiming(std::uint32_t width, std::uint32_t height);

// ICC profiles made with Little CMS: "p3" (Display P3 primaries, sRGB curve), "adobe" (Adobe
// RGB (1998)-like primaries, gamma 2.2), "srgb", "grey" (linear grey), "cmyk" (a printer space
// of simple inks through a colour table) and "huge-table" (an RGB one whose table claims 500 MB).
// WithProfile: the picture (JPEG, PNG, TIFF, WebP) carrying icc; ProfileOf: the profile a file
// carries, empty without one.
QByteArray MadeProfile(const char* name);
QByteArray WithProfile(const QByteArray& picture, const QByteArray& icc);
QByteArray ProfileOf(const QByteArray& file);
// A JPEG carrying a profile (in one segment) with the profile's segments made again: "split"
// into two in order, "repeated" (1/2, 1/2, 2/2), "reversed" (2/2, 1/2), or "huge" (declaring
// 4 GB) in one.
QByteArray WithProfileChunks(const QByteArray& jpeg, const std::string& how);
// A CMYK JPEG (Adobe's inverted inks, as every writer stores them) of w x h pixels whose four
// quadrants hold the given inks (0-255, 255 = full ink), top-left, top-right, bottom-left,
// bottom-right.
QByteArray CmykJpeg(int width, int height, const std::vector<std::vector<int>>& quadrants);
// The CIELAB colour (D50) of device values (3 RGB, 1 grey or 4 CMYK inks) seen through icc
// (sRGB when empty), and the CIEDE2000 difference of two such colours.
std::array<double, 3> LabOf(const QByteArray& icc, const std::vector<int>& values);
double DeltaE2000(const std::array<double, 3>& a, const std::array<double, 3>& b);

// Writes bytes to path (8-bit file-system text, which need not be valid text); false on any
// failure.
bool WriteBytes(const QByteArray& path, const QByteArray& bytes);
QByteArray ReadBytes(const QByteArray& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);

// Writes a w x h picture of one colour to path in the given format; returns path.
QString WritePicture(const QString& path, int width, int height, const QColor& colour,
                     const char* format = "PNG");

// Saves image as dir/name in Qt's format for the name's suffix; returns the path as 8-bit
// file-system text, or an empty text when Qt could not write it.
std::string SavePicture(const QTemporaryDir& dir, const QString& name, const QImage& image);
// The path of name inside dir as 8-bit file-system text.
std::string PathIn(const QTemporaryDir& dir, const QString& name);

// True when every channel of got, alpha too, lies within tolerance of want.
bool NearColour(QRgb got, QRgb want, int tolerance);
// A named colour is no QRgb: say qRgb(...) or QColor(...).rgba().
bool NearColour(QRgb got, Qt::GlobalColor want, int tolerance) = delete;
std::string Describe(QRgb colour);
