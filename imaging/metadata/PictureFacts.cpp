#include "imaging/metadata/PictureFacts.h"

std::shared_ptr<const PictureFacts> PictureFacts::read(const QByteArray& encoded, bool turned,
                                                       bool lossless,
                                                       std::optional<TiffCoding> tiff) {
    auto facts = std::make_shared<PictureFacts>();
    facts->jpegCoding = JpegCoding::read(encoded, turned);
    facts->storedLosslessly = lossless;
    facts->tiffCoding = tiff;
    bool profileDamaged = false;
    facts->metadata = PictureMetadata::read(encoded, &profileDamaged);
    facts->profileRefused = profileDamaged;
    facts->resolution = Resolution::read(encoded);
    // Without a resolution field of its own (or a JFIF aspect ratio only), a file may state
    // one in its EXIF record.
    if (!facts->resolution && facts->metadata)
        facts->resolution = facts->metadata->resolution();
    if (facts->metadata && !facts->metadata->iccProfile().isEmpty()) {
        facts->profile = ColourProfile::from(facts->metadata->iccProfile());
        facts->profileRefused = facts->profileRefused || facts->profile == nullptr;
    }
    return facts;
}

std::shared_ptr<const PictureFacts> PictureFacts::settle(std::shared_ptr<const PictureFacts> facts,
                                                         QImage& pixels, bool cmykSource,
                                                         bool cmykConverted) {
    if (!facts || !facts->profile)
        return facts;
    const ColourProfile::Kind kind = facts->profile->kind();
    const bool grey = pixels.isGrayscale();
    bool fits = false;
    bool converted = false;
    if (kind == ColourProfile::Kind::Cmyk)
        fits = converted = cmykConverted;
    else if (kind == ColourProfile::Kind::Grey)
        fits = converted = grey && !cmykSource && facts->profile->toSrgb(pixels);
    else
        fits = !cmykSource; // grey levels are RGB ones once drawn
    if (fits && !converted)
        return facts;
    auto settled = std::make_shared<PictureFacts>(*facts);
    settled->profile = converted ? ColourProfile::from(ColourProfile::srgbBytes()) : nullptr;
    settled->profileRefused = !fits;
    return settled;
}

void PictureFacts::writeInto(QByteArray& encoded, const PictureFacts& facts, MetadataKept kept,
                             QSize size) {
    // Records that the container cannot take (EXIF over a JPEG segment's 64 kB) are dropped
    // rather than the picture.
    const QByteArray profile = facts.profile ? facts.profile->bytes() : QByteArray();
    if (!PictureMetadata::writeInto(encoded, facts.metadata.get(), kept, profile, size))
        PictureMetadata::writeInto(encoded, nullptr, kept, profile, size);
    // Last: a rewritten TIFF directory states the resolution the encoder gave it.
    Resolution::write(encoded, facts.resolution);
}
