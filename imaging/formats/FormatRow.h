#pragma once
// What the library does with one picture format, as one row: the encoder it lists, how it
// prepares and encodes pixels for that format, and how it decodes the format's files. Every
// rule that depends on the format is a column here, so adding a format is a row (in a file of
// its own beside this one) and its line in FormatTable.cpp.

#include "imaging/GdiPlus.h"
#include "imaging/formats/CodecHeader.h"
#include "imaging/formats/TiffStripWriter.h"
#include "imaging/jpeg/JpegCoding.h"
#include "imaging/metadata/PictureMetadata.h"

#include <QImageWriter>

#include <optional>

class QIODevice;
class QImage;
struct PictureFacts;

// How the pixels of a format's files are decoded.
enum class DecodeRoute {
    // Qt's reader, into an image made here of the header's size: the fast kind of memory (see
    // ImageAllocator), and outside Qt's allocation cap, which the environment could lower.
    QtIntoOwnImage,
    // Qt's reader, which decodes into images of its own (several frames or icons): one made
    // here would only add its size to theirs.
    QtAllocates,
    // Our own JPEG decoder: Qt's reader does not report damaged scan data (see JpegDecoder).
    Jpeg,
    // The row's own codec (readHeader and decodeOwn), for formats Qt has no reader of.
    OwnCodec,
    // Not decoded at all: drawings, not pictures of pixels.
    Refused,
};

// What the caller of an encode chose beyond the pixels.
struct EncodeChoices {
    // The coding a JPEG photograph was written with, kept in its copy unless quality is set.
    const std::optional<JpegCoding>& coding;
    // 1-100 overrides the format's own quality where it has one; 0 the format's default.
    int quality = 0;
    // The picture came from a file that stored it without loss (see PictureFacts).
    bool lossless = false;
    // The picture came from a TIFF file coded so (see PictureFacts).
    std::optional<TiffCoding> tiff;
    // For rows that write records themselves (embedsRecords): the picture's facts, if any,
    // and what the copy keeps of them.
    const PictureFacts* facts = nullptr;
    MetadataKept kept = MetadataKept::Default;
};

struct FormatRow {
    // The name Qt's readers and writers know the format by.
    const char* qtFormat = nullptr;

    // The encoder as the library lists it; a row without a codec name is read only.
    CLSID clsid{};
    GUID formatId{};
    const WCHAR* codecName = nullptr;
    const WCHAR* formatDescription = nullptr;
    const WCHAR* filenameExtension = nullptr;
    const WCHAR* mimeType = nullptr;

    // Samples deeper than 8 bits are narrowed before encoding (and a 16-bit PNG read straight
    // into 8 bits for such an output).
    bool storesEightBitsOnly = false;
    // No alpha: it is dropped and the stored colour kept.
    bool dropsAlpha = false;
    // Viewers of the format ignore colour profiles: a copy is converted to sRGB instead.
    bool srgbForViewers = false;
    // Records, resolution and profile are written into the encoded bytes, which are therefore
    // made in memory first. False: a copy without records is encoded straight into its file
    // and its resolution written there (see Resolution::writeTiff).
    bool recordsInEncodedBytes = true;
    // A picture of this format written in it can keep every block outside the mark as it is
    // (see JpegCoefficientStamp).
    bool stampsLosslessly = false;
    // The encoder writes the records and the profile into the file itself (exiv2 cannot write
    // into this container): they come with the choices, and nothing is written after it.
    bool embedsRecords = false;
    // The memory the encoder itself takes while it writes a picture, per pixel, beyond the
    // pixels it is given: measured as the peak of one 24 MP copy less that of a JPEG one.
    std::uint32_t encoderBytesPerPixel = 0;
    // Whether the encoder is there at run time, for rows Qt has no writer of; null: Qt's
    // writer of qtFormat decides.
    bool (*installed)() = nullptr;
    // Writes prepared pixels (see ImageSaver::prepare) to device; false when the encoder or a
    // write fails. Null for a read-only row.
    bool (*encode)(const QImage& prepared, QIODevice* device,
                   const EncodeChoices& choices) = nullptr;

    DecodeRoute decode = DecodeRoute::QtIntoOwnImage;
    // For DecodeRoute::OwnCodec: whether a file's first bytes are of this format, its header
    // (false when it is damaged or cut short), and its pixels (see CodecHeader).
    bool (*sniffs)(const QByteArray& head) = nullptr;
    bool (*readHeader)(const QByteArray& file, CodecHeader* header) = nullptr;
    // eightBits: deeper samples are given as 8-bit ones.
    GpStatus (*decodeOwn)(const QByteArray& file, QImage* pixels, std::uint64_t maxPixels,
                          bool eightBits) = nullptr;
    // 16-bit pictures can be read straight into 8-bit rows (see PngRowReducer).
    bool readsRowsAtEightBits = false;
    // Qt's reader misreads a 16-bit RGB picture's transparency key, which is taken out before
    // and applied after (see PngTransparencyKey).
    bool takesOutDeepKey = false;

    bool writable() const { return codecName != nullptr; }
};

// The rows, one file each.
extern const FormatRow kBmpFormat;
extern const FormatRow kJpegFormat;
extern const FormatRow kTiffFormat;
extern const FormatRow kPngFormat;
extern const FormatRow kWebpFormat;
extern const FormatRow kAvifFormat;
extern const FormatRow kJxlFormat;
extern const FormatRow kHeicFormat;
// Formats only read, with Qt's readers, and those refused.
extern const FormatRow kGifFormat;
extern const FormatRow kIcoFormat;
extern const FormatRow kIcnsFormat;
extern const FormatRow kVectorFormats[4];
// Every other format that Qt's plugins read (PBM, XPM, TGA, ...).
extern const FormatRow kOtherQtFormat;

// Writes prepared through Qt's writer for the format, set up by the caller; false when the
// writer fails or wrote nothing.
bool WriteWithQt(QImageWriter& writer, const QImage& prepared, QIODevice* device);
