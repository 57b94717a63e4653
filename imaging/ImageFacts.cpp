#include "imaging/ImageFacts.h"

#include "imaging/GpImage.h"
#include "imaging/PixelFormatMap.h"
#include "imaging/metadata/PictureFacts.h"

#include <QColorSpace>
#include <QPainter>

#include <algorithm>
#include <memory>

bool ImageFacts::fade(GpImage* image, int percent) {
    if (image == nullptr || image->decode() != Ok)
        return false;
    if (percent >= 100)
        return true;
    // 16-bit marks keep their depth; the rest are drawn from 8-bit premultiplied pixels anyway.
    const bool deep = image->pixels.depth() > 32;
    QImage faded(image->pixels.size(),
                 deep ? QImage::Format_RGBA64_Premultiplied : QImage::Format_ARGB32_Premultiplied);
    if (faded.isNull())
        return false;
    faded.fill(Qt::transparent);
    faded.setColorSpace(image->pixels.colorSpace());
    QPainter painter(&faded);
    painter.setOpacity(std::max(percent, 0) / 100.0);
    painter.drawImage(0, 0, image->pixels);
    painter.end();
    image->pixels = std::move(faded);
    image->pixelFormat = PixelFormatMap::codeForDecoded(image->pixels.format());
    image->reductions.reset();
    return true;
}

GpImage* ImageFacts::overlayFor(GpImage* overlay, const GpImage* background) {
    if (overlay == nullptr)
        return overlay;
    // An untagged picture is an sRGB one, as viewers show it: an overlay with a profile of its
    // own is converted into sRGB for it.
    return overlayInto(overlay, background && background->facts && background->facts->profile
                                    ? background->facts->profile
                                    : ColourProfile::from(ColourProfile::srgbBytes()));
}

GpImage* ImageFacts::overlayInto(GpImage* overlay,
                                 const std::shared_ptr<const ColourProfile>& into) {
    if (overlay == nullptr)
        return overlay;
    const ColourProfile* from = overlay->facts ? overlay->facts->profile.get() : nullptr;
    if (!into || into->kind() != ColourProfile::Kind::Rgb ||
        (into->isSrgb() && (from == nullptr || from->isSrgb())))
        return overlay;
    if (from != nullptr &&
        (from->bytes() == into->bytes() || from->kind() != ColourProfile::Kind::Rgb))
        return overlay;
    if (overlay->decode() != Ok)
        return overlay;
    // One converted copy per thread, kept while the overlay and the two profiles repeat.
    thread_local struct {
        const GpImage* overlay = nullptr;
        qint64 pixelsKey = 0;
        QByteArray from, into;
        std::unique_ptr<GpImage> converted;
    } cache;
    const QByteArray fromBytes = from != nullptr ? from->bytes() : QByteArray();
    if (cache.converted && cache.overlay == overlay &&
        cache.pixelsKey == overlay->pixels.cacheKey() && cache.from == fromBytes &&
        cache.into == into->bytes())
        return cache.converted.get();
    cache.converted.reset();
    QImage pixels = overlay->pixels;
    if (!into->fromSpace(pixels, from))
        return overlay;
    std::unique_ptr<GpImage> converted = GpImage::ofPixels(std::move(pixels));
    cache.overlay = overlay;
    cache.pixelsKey = overlay->pixels.cacheKey();
    cache.from = fromBytes;
    cache.into = into->bytes();
    cache.converted = std::move(converted);
    return cache.converted.get();
}

void ImageFacts::showAsSrgb(GpImage* image, const GpImage* picture) {
    const ColourProfile* profile =
        picture != nullptr && picture->facts ? picture->facts->profile.get() : nullptr;
    if (image == nullptr || profile == nullptr || profile->isSrgb() ||
        profile->kind() != ColourProfile::Kind::Rgb || image->decode() != Ok)
        return;
    profile->toSrgb(image->pixels);
}

bool ImageFacts::profileRefusedFor(const GpImage* image) {
    return image != nullptr && image->facts && image->facts->profileRefused;
}

void ImageFacts::carry(const GpImage* from, GpImage* to) {
    if (from != nullptr && to != nullptr)
        to->facts = from->facts;
}
