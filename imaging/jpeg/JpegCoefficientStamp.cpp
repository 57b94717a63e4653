#include "imaging/jpeg/JpegCoefficientStamp.h"

#include "imaging/GpImage.h"
#include "imaging/ImageFacts.h"
#include "imaging/formats/FormatRow.h"
#include "imaging/jpeg/JpegCoding.h"
#include "imaging/jpeg/JpegGreyInColour.h"
#include "imaging/jpeg/JpegLosslessTurn.h"
#include "imaging/jpeg/JpegMcuStamping.h"
#include "imaging/jpeg/JpegOwnTables.h"
#include "imaging/jpeg/JpegScanSplice.h"
#include "imaging/jpeg/JpegSession.h"
#include "imaging/metadata/PictureFacts.h"

#include <cstdint>
#include <new>

namespace {

struct Abandoned {};

void checkAbandon(const std::atomic<bool>* abandon) {
    if (abandon != nullptr && abandon->load())
        throw Abandoned{};
}

// What work answers; GenericError for damaged data, which every decode of the picture refuses
// alike (see JpegSession::Failed); NotImplemented when libjpeg refuses the file otherwise or
// memory runs out (the whole decode then has its own say), and Aborted once abandoned.
template <class Work> GpStatus guarded(const Work& work) {
    try {
        return work();
    } catch (const JpegSession::Failed& failed) {
        return failed.damaged ? GenericError : NotImplemented;
    } catch (const Abandoned&) {
        return Aborted;
    } catch (const std::bad_alloc&) {
        return NotImplemented;
    }
}

// Every block coded by libjpeg: with the photograph's own Huffman tables, widened where the
// new blocks need codes they lack, or optimised ones for scans that cannot keep them. Either
// way the file does not grow from one stamp to the next.
void writeAll(jpeg_decompress_struct& picture, const JpegCoefficients& blocks,
              const JpegMcuGrid& grid, const QRect& changed, bool walked, qsizetype expected,
              QByteArray& stamped) {
    JpegSession::Writing writing(&stamped, expected);
    jpeg_copy_critical_parameters(&picture, &writing.info);
    if (const auto symbols = JpegOwnTables::newSymbols(picture, blocks, grid, changed, walked))
        JpegOwnTables::keep(picture, writing.info, *symbols);
    else
        writing.info.optimize_coding = TRUE;
    writing.info.restart_interval = picture.restart_interval;
    writing.info.arith_code = picture.arith_code;
    if (picture.progressive_mode)
        jpeg_simple_progression(&writing.info);
    writing.takeBlocksOfReading();
    jpeg_write_coefficients(&writing.info, const_cast<jvirt_barray_ptr*>(blocks.data()));
    jpeg_finish_compress(&writing.info);
}

} // namespace

bool JpegCoefficientStamp::suits(const GpImage* background) {
    return background != nullptr && background->pixels.isNull() &&
           background->format().stampsLosslessly && !background->encoded().isEmpty();
}

GpStatus JpegCoefficientStamp::stamp(GpImage* background, GpImage* mark, const QRectF& destination,
                                     const QRectF& source, QIODevice* device,
                                     const std::atomic<bool>* abandon, MetadataKept kept) {
    if (!suits(background) || mark == nullptr || device == nullptr)
        return NotImplemented;
    // A picture shown turned is turned first, block by block, and a grey one under a mark in
    // colour becomes a colour one showing the same grey; either is then stamped as an upright
    // colour photograph, whose blocks outside the mark are those of the turn or of the grey.
    QByteArray recast;
    const auto recastBy = [&](const auto& how) {
        return guarded([&] {
            checkAbandon(abandon);
            std::optional<QByteArray> result = how();
            if (!result)
                return NotImplemented;
            recast = std::move(*result);
            return Ok;
        });
    };
    const PictureFacts* facts = background->facts.get();
    const ColourProfile* profile = facts != nullptr ? facts->profile.get() : nullptr;
    // A CMYK profile the whole route converts from is no use turning the picture for.
    if (profile != nullptr && profile->kind() == ColourProfile::Kind::Cmyk)
        return NotImplemented;
    if (!background->storedUpright()) {
        const GpStatus turned = recastBy([&] {
            return JpegLosslessTurn::upright(background->encoded(), background->storedTurn());
        });
        if (turned != Ok)
            return turned;
    }
    const bool greyMark = mark->decode() == Ok && mark->pixels.allGray();
    bool greyRecast = false;
    std::optional<JpegCoding> coding =
        JpegCoding::read(recast.isEmpty() ? background->encoded() : recast, false);
    // A grey photograph with a grey profile is shown in colour through an RGB profile that shows
    // its greys as that one does; the mark is drawn in that profile's colours.
    std::shared_ptr<const ColourProfile> greyInColour;
    if (coding && coding->grey && !greyMark && profile != nullptr &&
        profile->kind() == ColourProfile::Kind::Grey) {
        greyInColour = ColourProfile::from(profile->colourOfGrey());
        if (!greyInColour)
            return NotImplemented;
        mark = ImageFacts::overlayInto(mark, greyInColour);
        profile = greyInColour.get();
    }
    if (coding && coding->grey && !greyMark && (profile == nullptr || greyInColour)) {
        const QByteArray grey = recast.isEmpty() ? background->encoded() : recast;
        const GpStatus coloured = recastBy([&] { return JpegGreyInColour::recast(grey); });
        if (coloured != Ok)
            return coloured;
        greyRecast = true;
        coding = JpegCoding::read(recast, false);
    }
    const QByteArray& encoded = recast.isEmpty() ? background->encoded() : recast;
    // The turn's file holds data written here from blocks libjpeg judged (see JpegLosslessTurn).
    const bool turnedHere = !background->storedUpright() && !greyRecast;
    // Pictures whose colours the full route converts, or whose profile it drops, are not
    // stamped here: the mark would come out in other colours.
    if (!coding || (coding->grey && !greyMark) ||
        (profile != nullptr && (coding->grey || profile->kind() != ColourProfile::Kind::Rgb)))
        return NotImplemented;
    QByteArray stamped;
    const GpStatus status = guarded([&] {
        checkAbandon(abandon);
        std::optional<JpegSession::Reading> reading(std::in_place, encoded);
        jpeg_read_header(&reading->info, TRUE);
        const auto usable = [&](const jpeg_decompress_struct& picture) {
            const bool colour =
                picture.jpeg_color_space == JCS_YCbCr && picture.num_components == 3;
            const bool grey =
                picture.jpeg_color_space == JCS_GRAYSCALE && picture.num_components == 1;
            return picture.data_precision == 8 && (colour || grey) && grey == coding->grey &&
                   picture.image_width == background->width &&
                   picture.image_height == background->height;
        };
        if (!usable(reading->info))
            return NotImplemented;
        const JpegMcuGrid grid(reading->info);
        const QRectF landing = destination.intersected(QRectF(0, 0, grid.width, grid.height));
        // A pixel to spare on every side: MCUs the mark leaves alone keep their blocks.
        const QRect area = landing.isEmpty()
                               ? QRect()
                               : landing.toAlignedRect()
                                     .adjusted(-1, -1, 1, 1)
                                     .intersected(QRect(0, 0, grid.width, grid.height));
        // A mark over most of the picture is drawn on the picture decoded whole: this way would
        // hold more than the decoded picture and its stamped copy do. Told by the header alone,
        // before any block is read.
        const JpegCoefficients none{};
        // Nor more than one picture may take at all (what 300 MP take at 4 bytes a pixel).
        const auto tooMuch = [&](bool everyRow) {
            if (area.isEmpty())
                return false;
            const std::uint64_t held =
                JpegMcuStamping{reading->info, none, grid, *coding}.bytesHeld(area, everyRow);
            return held > std::uint64_t(grid.width) * std::uint64_t(grid.height) * 8 ||
                   held > GpImage::kMaxDecodedBytes;
        };
        if (tooMuch(greyRecast))
            return NotImplemented;
        // Our own reading first, which tells where each row's data lies; libjpeg's for the
        // scans it does not read and the files it declines, which libjpeg then judges. Ours
        // keeps the blocks of the rows the mark may change, and of one row more on either
        // side, whose last and first MCUs the copy codes anew. A grey picture recast in colour
        // was coded with tables made for it, which seldom code the new blocks as well: its
        // copy is coded whole, from every block, anyway.
        JpegScanWalk::Rows needed{0, 0};
        if (greyRecast) {
            needed = {};
        } else if (!area.isEmpty()) {
            const QRect context = grid.widened(area, 1);
            needed = {context.top() / grid.mcuHeight - 1, context.bottom() / grid.mcuHeight + 2};
        }
        std::optional<JpegScanWalk> walk;
        JpegCoefficients blocks{};
        QRect changed;
        // False when libjpeg would read every block and they do not fit.
        const auto read = [&](JpegScanWalk::Rows rows) {
            if (JpegScanWalk::suits(reading->info)) {
                walk = JpegScanWalk::read(reading->info, encoded, rows, abandon, turnedHere);
                checkAbandon(abandon);
                if (!walk) {
                    reading.emplace(encoded);
                    jpeg_read_header(&reading->info, TRUE);
                }
            }
            if (!walk && tooMuch(true))
                return false;
            blocks = walk ? walk->blocks : JpegMcuStamping::coefficientsOf(reading->info);
            checkAbandon(abandon);
            changed = area.isEmpty() ? QRect()
                                     : JpegMcuStamping{reading->info, blocks, grid,
                                                       *coding}(area, mark, destination, source);
            checkAbandon(abandon);
            return true;
        };
        if (!read(needed))
            return NotImplemented;
        if (walk) {
            if (std::optional<QByteArray> spliced =
                    JpegScanSplice::write(reading->info, encoded, *walk, changed))
                stamped = std::move(*spliced);
        }
        if (stamped.isEmpty() && walk && !walk->whole()) {
            // The copy is coded whole after all (its tables lack a code the new blocks need),
            // and that takes every block.
            if (tooMuch(true))
                return NotImplemented;
            walk.reset();
            reading.emplace(encoded);
            jpeg_read_header(&reading->info, TRUE);
            if (!read({}))
                return NotImplemented;
        }
        jpeg_decompress_struct& picture = reading->info;
        if (stamped.isEmpty())
            writeAll(picture, blocks, grid, changed, walk.has_value(),
                     encoded.size() + (qsizetype(1) << 16), stamped);
        // libjpeg finishes only what it started.
        if (!walk)
            jpeg_finish_decompress(&picture);
        return Ok;
    });
    if (status != Ok)
        return status;
    if (facts != nullptr) {
        PictureFacts shown = *facts;
        if (greyInColour)
            shown.profile = greyInColour;
        PictureFacts::writeInto(stamped, shown, kept,
                                QSize(int(background->width), int(background->height)));
    }
    if (abandon != nullptr && abandon->load())
        return Aborted;
    if (stamped.isEmpty() || device->write(stamped) != stamped.size())
        return abandon != nullptr && abandon->load() ? Aborted : Win32Error;
    return Ok;
}
