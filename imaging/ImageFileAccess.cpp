#include "imaging/ImageFileAccess.h"

#include "imaging/GpImage.h"
#include "imaging/files/RegularFileReader.h"
#include "imaging/formats/FormatTable.h"
#include "imaging/formats/ImageSaver.h"
#include "imaging/probe/CameraRawProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::uint64_t ImageFileAccess::encoderBytes(const CLSID& encoder, UINT width, UINT height) {
    return ImageSaver::encoderBytes(encoder, width, height);
}

GpStatus ImageFileAccess::save(GpImage* image, const std::string& path, const CLSID* encoder) {
    const EncoderEntry* entry = nullptr;
    QByteArray bytes = QByteArray::fromStdString(path);
    const GpStatus checked = ImageSaver::check(image, &bytes, encoder, &entry);
    if (checked != Ok)
        return checked;
    return ImageSaver::save(image->pixels, image->facts.get(), bytes, *entry);
}

bool ImageFileAccess::isCameraRaw(const std::string& path) {
    // Regular files only: opening a FIFO would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    QByteArray head;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        head.resize(CameraRawProbe::kHeadBytes);
        const ssize_t got = ::read(fd, head.data(), std::size_t(head.size()));
        head.truncate(got > 0 ? qsizetype(got) : 0);
    }
    ::close(fd);
    return CameraRawProbe::recognises(head);
}

bool ImageFileAccess::isHdrPicture(const std::string& path) {
    QByteArray contents;
    if (RegularFileReader::read(QByteArray::fromStdString(path), &contents) != Ok)
        return false;
    const FormatRow* row = FormatTable::ownCodecOf(contents.left(256));
    CodecHeader header;
    return row != nullptr && row->readHeader(contents, &header) && header.refusal != nullptr;
}
