// Arbitrary bytes through the whole picture pipeline of a batch item: a JPEG stamped through its
// coefficients (its copy read again must hold the picture's own blocks outside the MCUs under the
// mark, and read without a warning), decode from a file, draw into a small bitmap with the overlay
// on top, compose at full size, and encode.
#include "engine/DrawingSurface.h"
#include "engine/ImageFile.h"
#include "engine/ImageRecord.h"
#include "engine/TextHelpers.h"
#include "imaging/GdiPlus.h"
#include "imaging/jpeg/JpegCoefficientStamp.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <clocale>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <jpeglib.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// Pictures larger than this are only opened (header checks): decoding a few hundred
// megapixels per input would measure the allocator, not find faults.
constexpr std::uint64_t kMaxDecodedPixels = 4ull << 20;
// Composing and encoding at full size is done up to this size.
constexpr std::uint64_t kMaxComposedPixels = 256ull << 10;

struct Session {
    QTemporaryDir dir;
    QByteArray input;
    QByteArray output;
    CImageFile overlay;
};
Session* g_session = nullptr;

bool WriteInput(const QByteArray& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    return ::close(fd) == 0 && done == size;
}

void SaveAs(GpImage* image, const CLSID& encoder) {
    const auto wide = ToWidePath(g_session->output.constData());
    if (wide)
        GdipSaveImageToFile(image, wide->c_str(), &encoder, nullptr);
}

// A JPEG's blocks as libjpeg reads them, each with the MCU it lies in; empty when libjpeg
// fails or warns. libjpeg's own reading, apart from the program's, handed the file in slices
// shorter than its fast Huffman path needs: that path reads a code no table has without a word.
struct Block {
    QPoint mcu;
    std::array<JCOEF, DCTSIZE2> coefficients;
};
struct Blocks {
    QSize mcu;
    std::vector<Block> blocks;
};
struct Reader {
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    std::jmp_buf failed{};
    const QByteArray* data = nullptr;
    qsizetype next = 0;
};
std::optional<Blocks> BlocksOf(const QByteArray& jpeg) {
    jpeg_decompress_struct info{};
    Reader reader;
    reader.data = &jpeg;
    info.err = jpeg_std_error(&reader.errors);
    info.client_data = &reader;
    reader.errors.error_exit = [](j_common_ptr i) {
        std::longjmp(static_cast<Reader*>(i->client_data)->failed, 1);
    };
    reader.errors.emit_message = [](j_common_ptr i, int level) {
        if (level < 0)
            std::longjmp(static_cast<Reader*>(i->client_data)->failed, 1);
    };
    jpeg_create_decompress(&info);
    reader.source.init_source = reader.source.term_source = [](j_decompress_ptr) {};
    reader.source.resync_to_restart = jpeg_resync_to_restart;
    reader.source.fill_input_buffer = [](j_decompress_ptr i) -> boolean {
        auto* r = static_cast<Reader*>(i->client_data);
        if (r->next >= r->data->size())
            std::longjmp(r->failed, 1); // cut short
        const qsizetype slice = std::min<qsizetype>(256, r->data->size() - r->next);
        r->source.next_input_byte = reinterpret_cast<const JOCTET*>(r->data->constData() + r->next);
        r->source.bytes_in_buffer = std::size_t(slice);
        r->next += slice;
        return TRUE;
    };
    reader.source.skip_input_data = [](j_decompress_ptr i, long bytes) {
        auto* r = static_cast<Reader*>(i->client_data);
        for (; bytes > long(r->source.bytes_in_buffer); r->source.fill_input_buffer(i))
            bytes -= long(r->source.bytes_in_buffer);
        r->source.next_input_byte += bytes;
        r->source.bytes_in_buffer -= std::size_t(bytes);
    };
    info.src = &reader.source;
    Blocks read;
    if (setjmp(reader.failed) != 0) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    read.mcu = QSize(info.max_h_samp_factor * DCTSIZE, info.max_v_samp_factor * DCTSIZE);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        for (JDIMENSION y = 0; y < component.height_in_blocks; ++y) {
            const JBLOCKROW row = info.mem->access_virt_barray(
                reinterpret_cast<j_common_ptr>(&info), arrays[c], y, 1, FALSE)[0];
            for (JDIMENSION x = 0; x < component.width_in_blocks; ++x) {
                Block& block = read.blocks.emplace_back();
                block.mcu =
                    QPoint(int(x) / component.h_samp_factor, int(y) / component.v_samp_factor);
                std::copy(row[x], row[x] + DCTSIZE2, block.coefficients.begin());
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return read;
}

// The stamped copy of a picture the lossless way took, the mark's box (with a pixel to spare)
// starting at corner: every block left of or above the MCUs it touches is the picture's own.
void CheckWrittenBack(const QByteArray& picture, const QByteArray& stamped, QPoint corner) {
    const std::optional<Blocks> before = BlocksOf(picture);
    const std::optional<Blocks> after = BlocksOf(stamped);
    // The lossless way judges damage as libjpeg does: it never stamps what libjpeg refuses, and
    // never writes what libjpeg cannot read.
    if (!before || !after || before->blocks.size() != after->blocks.size())
        std::abort();
    const QPoint first(std::max(0, corner.x()) / before->mcu.width(),
                       std::max(0, corner.y()) / before->mcu.height());
    for (std::size_t i = 0; i < before->blocks.size(); ++i) {
        const Block& was = before->blocks[i];
        if ((was.mcu.x() < first.x() || was.mcu.y() < first.y()) &&
            was.coefficients != after->blocks[i].coefficients)
            std::abort();
    }
}

} // namespace

// libheif 1.15 does not release the picture its decoder made when strict decoding then refuses
// it (an unknown colour matrix in a damaged AVIF or HEIC): up to some tens of kB a damaged
// file, inside libheif, whose decoder plugins the allocation stacks show. Our own HEIF images
// are released by their owners, which the test suite's leak checks see without this list.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming): the sanitizer's hook
extern "C" const char* __lsan_default_suppressions() {
    return "leak:heif_image_create\nleak:libdav1d.so\nleak:libde265.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QGuiApplication(qtArgc, qtArgv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "imaging library did not start\n");
        std::abort();
    }
    g_session = new Session;
    if (!g_session->dir.isValid())
        std::abort();
    g_session->input = QFile::encodeName(g_session->dir.filePath("input"));
    g_session->output = QFile::encodeName(g_session->dir.filePath("output"));
    // A small half-transparent overlay, as a user's logo would be.
    QImage overlay(8, 8, QImage::Format_ARGB32);
    overlay.fill(QColor(255, 0, 0, 128));
    QPainter(&overlay).fillRect(0, 0, 4, 8, QColor(0, 255, 0, 255));
    const QString overlayPath = g_session->dir.filePath("overlay.png");
    if (!overlay.save(overlayPath, "PNG") ||
        !g_session->overlay.LoadFromFile(QFile::encodeName(overlayPath).constData()) ||
        !g_session->overlay.DecodeNow())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(g_session->input, data, size))
        std::abort();
    CImageFile picture;
    if (!picture.LoadFromFile(g_session->input.constData()))
        return 0;
    const UINT width = picture.Width();
    const UINT height = picture.Height();
    const std::uint64_t pixels = std::uint64_t(width) * height;
    if (width == 0 || height == 0 || picture.GetPixelFormat() == PixelFormatUndefined)
        std::abort(); // an opened picture always has a size and a format
    if (pixels > kMaxDecodedPixels)
        return 0;

    // A JPEG stamped through its coefficients, before anything decodes it.
    bool judgedDamaged = false;
    if (pixels <= kMaxComposedPixels) {
        QByteArray stamped;
        QBuffer device(&stamped);
        device.open(QIODevice::WriteOnly);
        // A small mark, as a mark over most of the picture is left to the whole route.
        const GpStatus status = JpegCoefficientStamp::stamp(
            picture.GetImage(), g_session->overlay.GetImage(),
            QRectF(width / 2.0, height / 2.0, 8, 8), QRectF(0, 0, 8, 8), &device);
        judgedDamaged = status == GenericError;
        if (status == Ok) {
            CheckWrittenBack(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                             stamped, QPoint(int(width / 2) - 1, int(height / 2) - 1));
        }
    }

    // The picture scaled into a small bitmap, the overlay drawn over its corner.
    ImageRecordPtr small(ImageRecord::New());
    if (small && small->CreateBitmap(48, 32, PixelFormat32bppARGB) == Ok) {
        {
            DrawingSurface surface = DrawingSurface::OnImage(small->hImage);
            if (surface.DrawImage(picture.GetImage(), 0, 0, 48, 32) == Ok)
                surface.DrawImage(g_session->overlay.GetImage(), 36, 20, 12, 12, 0, 0, 8, 8);
        }
        SaveAs(small->hImage, ClsidPngEncoder);
        SaveAs(small->hImage, ClsidJpegEncoder);
        SaveAs(small->hImage, ClsidBmpEncoder);
    }

    // The batch's own compose at the picture's size, then its encoders.
    if (pixels <= kMaxComposedPixels) {
        const RECT source{0, 0, 8, 8};
        const RECT dest{LONG(width / 2), LONG(height / 2), LONG(width), LONG(height)};
        if (picture.ComposeOverlay(g_session->overlay, source, dest)) {
            // Damage is judged once, by the stamp, for the whole decode as well.
            if (judgedDamaged)
                std::abort();
            if (picture.Width() != width || picture.Height() != height)
                std::abort(); // the stamped copy keeps the background's size
            picture.SaveToFile(g_session->output.constData(), ClsidPngEncoder);
            picture.SaveToFile(g_session->output.constData(), ClsidJpegEncoder);
            picture.SaveToFile(g_session->output.constData(), ClsidTiffEncoder);
        }
    }
    return 0;
}
