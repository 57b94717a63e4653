#pragma once
// libjpeg's own interface, for what TurboJPEG cannot do: read and write a file's coefficients,
// decode every sampling, feed the decoder in slices, and encode with a file's own quantisation
// tables and sampling. An error
// or the first warning ends the work with a JpegSession::Failed exception instead of libjpeg's
// default (exit the process, or go on past damaged data): a damaged picture must never be
// stamped as if whole. The structures are released whichever way the work ends.

#include <QByteArray>
#include <QIODevice>

#include <cstdio> // jpeglib.h needs FILE
#include <functional>
#include <memory>

#include <jpeglib.h>

class JpegSession {
  public:
    // damaged: the photograph's data is damaged, as libjpeg warns (or our own reading of the
    // scan finds what libjpeg would warn about); every decode of the picture then fails
    // alike, so one reading's verdict is the picture's. False for everything else: an error
    // of ours or of libjpeg, memory, a file libjpeg would read whole.
    struct Failed {
        bool damaged = false;
    };

    struct Blocks;
    struct Source;

    // Decompression of a whole file held in memory, which must outlive the session. libjpeg
    // decodes Huffman codes in one of two ways: a fast one while 512 bytes a block of the MCU
    // are at hand, which takes a code that no table has for a zero without a word, and a
    // careful one, which warns (and so fails the session). The file is handed on in slices
    // shorter than that, so that every read takes the careful way and damage is judged alike
    // whatever route reads the picture; it costs 2-3 % of the decoding time. The
    // coefficients that jpeg_read_coefficients keeps live in memory of the imaging library's
    // allocator, which worker threads hand on from one picture to the next (see
    // ImageAllocator): a 24 MP picture's 72 MB of fresh memory cost tens of thousands of page
    // faults every time.
    class Reading {
      public:
        explicit Reading(const QByteArray& encoded);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        jpeg_decompress_struct info{};
        // An array of blocks that a writer taking this session's blocks (takeBlocksOfReading)
        // reads row by row as fill makes them, without ever holding them all: a picture's
        // blocks turned, for one.
        jvirt_barray_ptr generated(JDIMENSION columns, JDIMENSION rows,
                                   std::function<void(JDIMENSION row, JBLOCKROW out)> fill);

      private:
        jpeg_error_mgr m_errors{};
        std::unique_ptr<Blocks> m_blocks;
        std::unique_ptr<Source> m_source;
    };

    // Compression into device, in chunks; a short write fails the session.
    class Writing {
      public:
        explicit Writing(QIODevice* device);
        // Compression into out, made room in for about expected bytes.
        Writing(QByteArray* out, qsizetype expected);
        ~Writing();
        Writing(const Writing&) = delete;
        Writing& operator=(const Writing&) = delete;
        jpeg_compress_struct info{};
        // Lets jpeg_write_coefficients take coefficients that a Reading session read.
        void takeBlocksOfReading();
        // For a file of picture's blocks made anew (after its parameters are set): its density
        // (the axes swapped for a transposed picture), restart interval and progression, and
        // optimised Huffman tables unless it is coded arithmetically.
        void keepCodingOf(const jpeg_decompress_struct& picture, bool transposed);

      private:
        static void startDestination(j_compress_ptr info);
        static boolean flushFull(j_compress_ptr info);
        static void flushRest(j_compress_ptr info);
        void flush(std::size_t bytes);

        jpeg_error_mgr m_errors{};
        jpeg_destination_mgr m_destination{};
        std::unique_ptr<QIODevice> m_ownDevice;
        QIODevice* m_device;
        QByteArray m_chunk;
    };

  private:
    static void installErrorHandling(jpeg_error_mgr* errors);
};
