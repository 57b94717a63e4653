#pragma once
// Cheap structural checks of an encoded picture held in memory: which container it is, whether
// the data that its headers declare is all there, and the pixel-format code that the Windows
// library reports for it. Nothing here decodes pixels. Every container is a row of one table
// (kContainers) that sniffing, probing and the read budget all go through; each container's
// walker is in a file of its own (JpegProbe.cpp, PngProbe.cpp, ...).

#include "imaging/GdiPlus.h"

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>

class ImageFileProbe {
  public:
    enum class Container { Unknown, Jpeg, Png, Gif, Bmp, Tiff, WebP, Ico, Icns };

    struct Result {
        Container container = Container::Unknown;
        // False when a declared part (segment, chunk, strip, pixel array) runs past the end
        // of the data, or the end marker is missing: the file was cut short or is damaged.
        bool complete = true;
        // True when the data seen already shows the file is no whole picture, however much
        // more of it there is: a JPEG whose markers, walked by their lengths, do not lead to
        // its first scan, or with more scans than any encoder writes; a GIF frame whose data
        // cannot fill it; a picture of plain samples shorter than its declared size.
        bool damaged = false;
        // The code as read from the header; PixelFormatUndefined when the header does not say.
        PixelFormat pixelFormat = PixelFormatUndefined;
        // The size of the picture that decoding produces, from the headers; 0 when not read.
        // For a GIF, the canvas that the first frame is drawn on; for an icon file, the
        // picture embedded in its first entry (ICO) or the largest embedded one (ICNS), not
        // what the icon directory claims.
        std::uint64_t width = 0;
        std::uint64_t height = 0;
        // The pixels are stored without loss: PNG, GIF, BMP, a TIFF not compressed as JPEG, a
        // WebP whose frames are lossless.
        bool lossless = false;
        // A TIFF's coding as its first directory states it (TIFF's codes; 1 none, 1 no
        // predictor); 0 for other files.
        unsigned tiffCompression = 0;
        unsigned tiffPredictor = 0;
    };

    // More scans than any encoder writes (progressive ones use about ten): the decoder would
    // go over the whole picture once per scan.
    static constexpr int kMaxJpegScans = 100;

    // Room for metadata beside the pixels.
    static constexpr std::uint64_t kMetadata = std::uint64_t(64) << 20;
    // Further frames (GIF, WebP) or icons that a still picture's size says nothing about; also
    // the bound for files that are left to Qt's own detection.
    static constexpr std::uint64_t kSeveral = std::uint64_t(256) << 20;

    struct ContainerRow {
        Container container = Container::Unknown;
        bool (*sniffs)(const QByteArray& head) = nullptr;
        Result (*walk)(const QByteArray& data) = nullptr;
        // What a pixel can take in the container's widest encoding; 0 when the picture's size
        // says nothing of the file's (kSeveral is read).
        std::uint64_t bytesPerPixel = 0;
        // What the file may hold besides that picture.
        std::uint64_t beyondPixels = kMetadata;
        // The walk finds the size of every picture of the container (a JPEG's frame header):
        // a file in which it found none is no picture, which Qt's reader would search all of
        // (16 MB of a huge file) to say.
        bool sizedByEveryPicture = false;
        // Qt's reader tells another size than that of the picture it decodes (an icon
        // directory's, a GIF's early guess); the walk's is the picture's.
        bool readerMisstatesSize = false;
        // Qt's reader tells the size from the header; one that cannot has a header it cannot
        // read, and decoding (through up to 16 MB of a damaged file) would only say so later.
        bool readerTellsSize = true;
    };
    // Every container, in the order their first bytes are tried.
    static const std::array<ContainerRow, 8> kContainers;

    static Container sniff(const QByteArray& head);
    static Result probe(const QByteArray& data);

    // How many bytes of a file are worth reading, judged from its first bytes (`head`, probed
    // as `probed`): what the picture its header declares can need in the widest encoding of its
    // container, plus room for metadata (and for the further frames or icons of containers
    // that hold several). Returns 0 when the head does not tell the picture's size: the head
    // alone is then judged.
    static std::uint64_t bytesWorthReading(const Result& probed);

    // A TIFF's first directory may lie anywhere in the file (writers often put it after the
    // pixel data). directoryOffset: where it starts, from the file's first 16 bytes; 0 if
    // this is not a TIFF. directorySize: the stored size that the directory's bytes (read from
    // that offset) name.
    static std::uint64_t directoryOffset(const QByteArray& head);
    static void directorySize(const QByteArray& head, const QByteArray& directory,
                              std::uint64_t* width, std::uint64_t* height);

    // The container's row; null for Unknown.
    static const ContainerRow* rowOf(Container container);

  private:
    // What the walkers share.
    static Result incomplete(Result r) {
        r.complete = false;
        return r;
    }
    static Result damaged(Result r) {
        r.damaged = true;
        return incomplete(r);
    }
    static bool startsWith(const QByteArray& data, const char* magic, std::size_t length);
    static constexpr unsigned char kPngMagic[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    // The walkers, one file each.
    static Result probeJpeg(const QByteArray& data);
    static Result probePng(const QByteArray& data);
    static Result probeGif(const QByteArray& data);
    static Result probeBmp(const QByteArray& data);
    static Result probeTiff(const QByteArray& data);
    static Result probeWebP(const QByteArray& data);
    static Result probeIco(const QByteArray& data);
    static Result probeIcns(const QByteArray& data);
    // ICO has no magic number (see IcoProbe.cpp).
    static bool looksLikeIco(const QByteArray& head);
};
