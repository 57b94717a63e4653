#include "imaging/ImageFileAccess.h"

#include "imaging/GpImage.h"
#include "imaging/files/RegularFileReader.h"
#include "imaging/formats/ImageSaver.h"

GpStatus ImageFileAccess::load(const std::string& path, GpImage** image) {
    if (!image)
        return InvalidParameter;
    QByteArray contents;
    const GpStatus read = RegularFileReader::read(QByteArray::fromStdString(path), &contents);
    if (read != Ok)
        return read;
    return GpImage::fromEncoded(std::move(contents), image);
}

void ImageFileAccess::readAtDepthOf(GpImage* image, const CLSID& encoder) {
    if (image != nullptr && ImageSaver::storesEightBitsOnly(encoder))
        image->reduceToEightBits();
}

GpStatus ImageFileAccess::save(GpImage* image, const std::string& path, const CLSID* encoder) {
    const EncoderEntry* entry = nullptr;
    QByteArray bytes = QByteArray::fromStdString(path);
    const GpStatus checked = ImageSaver::check(image, &bytes, encoder, &entry);
    if (checked != Ok)
        return checked;
    return ImageSaver::save(image->pixels, image->facts.get(), bytes, *entry);
}
