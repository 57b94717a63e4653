#include "imaging/PictureFacts.h"

#include "imaging/GpImage.h"

std::shared_ptr<const PictureFacts> PictureFacts::read(const QByteArray& encoded) {
    auto facts = std::make_shared<PictureFacts>();
    facts->metadata = PictureMetadata::read(encoded);
    facts->resolution = Resolution::read(encoded);
    // Without a resolution field of its own (or a JFIF aspect ratio only), a file may state
    // one in its EXIF record.
    if (!facts->resolution && facts->metadata)
        facts->resolution = facts->metadata->resolution();
    return facts;
}

void PictureFacts::carry(const GpImage* from, GpImage* to) {
    if (from != nullptr && to != nullptr)
        to->facts = from->facts;
}

void PictureFacts::writeInto(QByteArray& encoded, const PictureFacts& facts, MetadataKept kept,
                             QSize size) {
    // Records that the container cannot take (EXIF over a JPEG segment's 64 kB) are dropped
    // rather than the picture.
    if (!PictureMetadata::writeInto(encoded, facts.metadata.get(), kept, QByteArray(), size))
        PictureMetadata::writeInto(encoded, nullptr, kept, QByteArray(), size);
    // Last: a rewritten TIFF directory states the resolution the encoder gave it.
    Resolution::write(encoded, facts.resolution);
}
