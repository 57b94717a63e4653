#pragma once
// An image of the library. Every image is a bitmap: either a blank one made in memory, or one
// made from an encoded file whose header facts are known at once and whose pixels are decoded
// the first time they are needed and then kept.

#include "imaging/GdiPlus.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <memory>

struct FormatRow;
struct MarkReductions;
extern const FormatRow kOtherQtFormat;
struct PictureFacts;

struct GpImage {
    static constexpr std::uint64_t kMaxDecodedBytes = ::kMaxDecodedBytes;

    // Takes the file's bytes (read once; later changes to the file do not matter). Checks the
    // header, the pixel limit and the file's completeness; decodes nothing.
    static GpStatus fromEncoded(QByteArray encoded, GpImage** image);
    // A blank bitmap, all bits zero (black, or transparent black where there is alpha).
    static GpStatus blank(INT width, INT height, PixelFormat format, GpImage** image);
    // A bitmap holding decoded pixels (of a format a decoder gives), with no facts.
    static std::unique_ptr<GpImage> ofPixels(QImage pixels);
    // A bitmap on the caller's pixel rows, top row first, which must outlive it.
    static GpStatus onMemory(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                             GpImage** image);

    // Decodes the pixels if that has not happened yet, and makes a blank bitmap's pixels zero
    // if they are not yet. A failure is remembered and returned again on later calls.
    // `drawnInto` is the layout of the bitmap the pixels are first drawn onto, when known: a
    // decoder that can write several layouts writes that one (see JpegDecoder).
    GpStatus decode(QImage::Format drawnInto = QImage::Format_Invalid);
    // Like decode, but a blank bitmap may stay uncleared: for a drawing surface, whose first
    // drawing may cover every pixel (see coverWithoutClearing).
    GpStatus prepareForPainting(QImage::Format drawnInto = QImage::Format_Invalid);
    // Asks that 16-bit samples become 8-bit as they are decoded, row by row, so that no
    // full-depth copy exists: for an output format that holds 8 bits a sample anyway, and for
    // pictures whose full depth would exceed the memory limit. True when the pixels will be
    // 8-bit (pixelFormat then says so); false for formats that cannot be read that way and
    // once the pixels are decoded.
    bool reduceToEightBits();
    // A new bitmap of `size` showing this whole picture (see GdipGetImageThumbnail).
    GpStatus thumbnail(QSize size, GpImage** image);
    // A blank bitmap's zero pixels exist only on demand: its memory is cleared the first time
    // it is read or drawn on, unless that first drawing replaces every pixel.
    bool clearPending() const { return m_clearPending; }
    void clearNow();
    // The caller is about to replace every pixel with opaque ones.
    void coverWithoutClearing() { m_clearPending = false; }

    UINT width = 0;
    UINT height = 0;
    PixelFormat pixelFormat = PixelFormatUndefined;
    // The pixels once decoded (or from the start for a blank bitmap).
    QImage pixels;
    // What the file stated besides its pixels, written into files saved from this bitmap; null
    // for a blank bitmap, whose files are as the encoder writes them.
    std::shared_ptr<const PictureFacts> facts;
    // The drawing surface open on this bitmap, if any (only one at a time).
    GpGraphics* graphics = nullptr;
    // Copies of this bitmap reduced for drawing smaller, kept while it lives (see ReducedMark).
    std::shared_ptr<MarkReductions> reductions;

    // Until the pixels are decoded: the file's bytes, the name of Qt's reader for them (empty
    // for a blank bitmap and once decoded) and its format's row, and whether the file's pixels are
    // shown as stored, without an Exif turn or mirroring.
    const QByteArray& encoded() const { return m_encoded; }
    const QByteArray& readerFormat() const { return m_readerFormat; }
    const FormatRow& format() const { return *m_format; }
    bool storedUpright() const { return m_turn == 0; }
    // How the stored pixels are turned to be shown: Qt's QImageIOHandler::Transformations bits.
    int storedTurn() const { return m_turn; }

  private:
    // fromEncoded for a file the row's own codec reads.
    static GpStatus fromOwnCodec(QByteArray encoded, const FormatRow& row, GpImage** image);
    void settleDecoded(QImage image, bool cmyk, bool throughProfile);
    static void coverEveryIndex(QImage& image);

    QByteArray m_encoded;
    QByteArray m_readerFormat;
    const FormatRow* m_format = &kOtherQtFormat;
    GpStatus m_decodeStatus = Ok;
    bool m_reducedRows = false;
    bool m_clearPending = false;
    int m_turn = 0;
};
