#pragma once
// libjpeg's own interface, below TurboJPEG, for what TurboJPEG cannot do: read and write a
// file's coefficients, and encode with a file's own quantisation tables and sampling. An error
// or the first warning ends the work with a JpegSession::Failed exception instead of libjpeg's
// default (exit the process, or go on past damaged data): a damaged picture must never be
// stamped as if whole. The structures are released whichever way the work ends.

#include <QByteArray>
#include <QIODevice>

#include <cstdio> // jpeglib.h needs FILE
#include <memory>

#include <jpeglib.h>

class JpegSession {
  public:
    struct Failed {};

    struct Blocks;

    // Decompression of a whole file held in memory, which must outlive the session. The
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

      private:
        jpeg_error_mgr m_errors{};
        std::unique_ptr<Blocks> m_blocks;
    };

    // Compression into device, in chunks; a short write fails the session.
    class Writing {
      public:
        explicit Writing(QIODevice* device);
        ~Writing();
        Writing(const Writing&) = delete;
        Writing& operator=(const Writing&) = delete;
        jpeg_compress_struct info{};
        // Lets jpeg_write_coefficients take coefficients that a Reading session read.
        void takeBlocksOfReading();

      private:
        static void startDestination(j_compress_ptr info);
        static boolean flushFull(j_compress_ptr info);
        static void flushRest(j_compress_ptr info);
        void flush(std::size_t bytes);

        jpeg_error_mgr m_errors{};
        jpeg_destination_mgr m_destination{};
        QIODevice* m_device;
        QByteArray m_chunk;
    };

  private:
    static void installErrorHandling(jpeg_error_mgr* errors);
};
