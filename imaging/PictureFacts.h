#pragma once
// Beyond the Windows library: what a picture file states about its pixels besides the pixels
// themselves, carried from a loaded picture into the files saved from it, so that a stamped
// copy prints at the size the photograph did.

#include "imaging/GdiPlus.h"
#include "imaging/PictureMetadata.h"
#include "imaging/Resolution.h"

#include <QByteArray>
#include <QSize>

#include <memory>
#include <optional>

struct PictureFacts {
    std::optional<Resolution> resolution;
    // EXIF, XMP, IPTC and the colour profile; null when the file holds none.
    std::shared_ptr<const PictureMetadata> metadata;

    // Read from a whole encoded file; what it does not state stays empty.
    static std::shared_ptr<const PictureFacts> read(const QByteArray& encoded);
    // Gives `to` the facts of `from`, for a bitmap that `from` was drawn into one to one.
    static void carry(const GpImage* from, GpImage* to);
    // Writes facts into a file that an encoder has just made of pixels of size, the records as
    // kept: what the facts do not state, the file does not state either (no invented
    // resolution). Records that cannot be written are left out; the picture is saved anyway.
    static void writeInto(QByteArray& encoded, const PictureFacts& facts, MetadataKept kept,
                          QSize size);
};
