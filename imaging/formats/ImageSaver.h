#pragma once
// Encodes a bitmap with one of the built-in encoders into a temporary file that replaces whatever
// stands at the target name only when every byte is on disk (see AtomicFile).

#include "imaging/formats/EncoderTable.h"
#include "imaging/jpeg/JpegCoding.h"
#include "imaging/metadata/PictureMetadata.h"

#include <atomic>
#include <optional>

#include <QByteArray>
#include <QIODevice>
#include <QImage>

class AtomicFile;
struct GpImage;
struct PictureFacts;

class ImageSaver {
  public:
    // Encoder defaults, chosen for photographs (measured on a 24 MP photo-like picture: smooth
    // gradients with sensor-like noise).
    // JPEG: a JPEG photograph keeps its own tables and sampling (see JpegCoding); anything else
    // is written at quality 90, which keeps stamped text and logo edges clean where the usual
    // 75 shows ringing. Optimised Huffman tables make files 7 % smaller (2.46 MB instead of 2.64 MB
    // on 24 MP) but make the encoder keep every coefficient of the picture (72 MB more memory) and
    // go over it twice: 0.39 s instead of 0.08 s of CPU, so they are off.
    static constexpr int kJpegQuality = 90;
    static constexpr bool kJpegOptimizedHuffman = false;
    // PNG: zlib level (see the encoder for how it was chosen).
    static constexpr int kPngCompressionLevel = 1;
    // TIFF: none. LZW without a predictor saved 6 % (67.8 MB instead of 72.0 MB) for 2.4 times
    // the time (2.7 s instead of 1.1 s); photographs do not repeat byte strings.
    static constexpr int kTiffCompression = 0; // 0 none, 1 LZW
    // WebP: lossy at 90, in line with JPEG.
    static constexpr int kWebpQuality = 90;

    // The checks a save makes of the library's arguments, in the library's order: the encoder
    // (FileNotFound when unknown, as the Windows library answers), the path as the file
    // system's bytes, the pixels decoded. Ok with encoder and bytes filled, or the answer.
    static GpStatus check(GpImage* image, const WCHAR* path, const CLSID* clsid,
                          const EncoderEntry** encoder, QByteArray* bytes);
    // The same for a path given as the file system's bytes; null stands for a wide name that
    // has none.
    static GpStatus check(GpImage* image, const QByteArray* path, const CLSID* clsid,
                          const EncoderEntry** encoder);

    // path: the file system's bytes. Win32Error when the file cannot be written (missing
    // folder, a folder at the name, full disk, size limit); the existing entry is then left as
    // it was. A symbolic link at the name is replaced, never followed.
    // facts (optional): written into the file over what the encoder wrote, the records as
    // kept (see PictureFacts).
    static GpStatus save(const QImage& pixels, const PictureFacts* facts, const QByteArray& path,
                         const EncoderEntry& encoder, MetadataKept kept = MetadataKept::Default);
    // Encodes into target, which is opened here and left uncommitted. Win32Error when the
    // file cannot be made or written; abandon (optional) ends the encoding early with
    // Aborted. jpegQuality: 1-100 writes a JPEG at that quality with the standard tables and
    // 4:2:0 sampling, whatever the picture was; 0 the default.
    static GpStatus encodeInto(const QImage& pixels, const PictureFacts* facts, AtomicFile& target,
                               const EncoderEntry& encoder,
                               const std::atomic<bool>* abandon = nullptr,
                               MetadataKept kept = MetadataKept::Default, int jpegQuality = 0);
    // Writes the encoded picture to device; false when the encoder fails. coding (optional):
    // the JPEG choices the photograph was written with, kept unless jpegQuality is set.
    static bool encode(const QImage& pixels, const char* qtFormat, QIODevice* device,
                       const std::optional<JpegCoding>& coding = std::nullopt, int jpegQuality = 0);
    // The picture as the encoder can store it (alpha dropped for JPEG, wide formats narrowed);
    // it may share pixels' memory, so pixels must outlive it.
    static QImage prepare(const QImage& pixels, const char* qtFormat);
    // True when the encoder stores at most 8 bits a sample: deeper pixels are narrowed.
    static bool storesEightBitsOnly(const char* qtFormat);
    static bool storesEightBitsOnly(const CLSID& encoder);
};
