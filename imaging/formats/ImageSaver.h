#pragma once
// Encodes a bitmap with one of the built-in encoders into a temporary file that replaces whatever
// stands at the target name only when every byte is on disk (see AtomicFile).

#include "imaging/formats/EncodeOverrides.h"
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
    // Each format's encoder settings, and what they measured, are in its row's file
    // (JpegFormat.cpp, ...).

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
    // Aborted. overrides: what the run asks of every copy (see EncodeOverrides).
    static GpStatus encodeInto(const QImage& pixels, const PictureFacts* facts, AtomicFile& target,
                               const EncoderEntry& encoder,
                               const std::atomic<bool>* abandon = nullptr,
                               MetadataKept kept = MetadataKept::Default,
                               EncodeOverrides overrides = {});
    // Writes the encoded picture to device; false when the encoder fails. coding (optional):
    // the JPEG choices the photograph was written with, kept unless overridden; facts
    // (optional): how the picture's file stored it, which a lossless or TIFF copy follows, and
    // the records that formats writing their own keep as kept says.
    static bool encode(const QImage& pixels, const FormatRow& format, QIODevice* device,
                       const std::optional<JpegCoding>& coding = std::nullopt,
                       EncodeOverrides overrides = {}, const PictureFacts* facts = nullptr,
                       MetadataKept kept = MetadataKept::Default);
    // The picture as the encoder can store it (alpha dropped for JPEG, wide formats narrowed);
    // it may share pixels' memory, so pixels must outlive it.
    static QImage prepare(const QImage& pixels, const FormatRow& format);
    // True when the encoder stores at most 8 bits a sample: deeper pixels are narrowed.
    static bool storesEightBitsOnly(const CLSID& encoder);
    // What the encoder takes while it writes a picture of that size (see FormatRow).
    static std::uint64_t encoderBytes(const CLSID& encoder, UINT width, UINT height);
};
