#include "imaging/formats/PendingImageFile.h"

#include "imaging/GpImage.h"
#include "imaging/files/CheckedWriter.h"
#include "imaging/files/LocaleText.h"
#include "imaging/files/NamedAtCommitFile.h"
#include "imaging/files/OutputFolder.h"
#include "imaging/formats/EncoderTable.h"
#include "imaging/formats/ImageSaver.h"
#include "imaging/jpeg/JpegCoefficientStamp.h"

#include <QFile>

#include <sys/stat.h>

PendingImageFile::PendingImageFile() = default;
PendingImageFile::~PendingImageFile() = default;
PendingImageFile::PendingImageFile(PendingImageFile&&) noexcept = default;
PendingImageFile& PendingImageFile::operator=(PendingImageFile&&) noexcept = default;

GpStatus PendingImageFile::Encode(GpImage* image, const OutputFolder& folder, const CLSID* encoder,
                                  const std::atomic<bool>* abandon, MetadataKept kept,
                                  EncodeOverrides overrides, const QByteArray& subfolder) {
    Discard();
    const EncoderEntry* entry = nullptr;
    QByteArray unused;
    // The folder is a handle, not a path: the checks take "." for it.
    const GpStatus checked = ImageSaver::check(image, L".", encoder, &entry, &unused);
    if (checked != Ok)
        return checked;
    return EncodeInto(image, std::make_unique<NamedAtCommitFile>(folder, subfolder), *entry,
                      abandon, kept, overrides);
}

GpStatus PendingImageFile::EncodeStamped(GpImage* background, GpImage* mark,
                                         const QRectF& destination, const QRectF& source,
                                         const OutputFolder& folder, const CLSID* encoder,
                                         const std::atomic<bool>* abandon, MetadataKept kept,
                                         const QByteArray& subfolder) {
    Discard();
    const EncoderEntry* entry = encoder ? EncoderTable::instance().find(*encoder) : nullptr;
    if (entry == nullptr || !entry->stampsLosslessly || !JpegCoefficientStamp::suits(background))
        return NotImplemented;
    return Keep(std::make_unique<NamedAtCommitFile>(folder, subfolder),
                [&](NamedAtCommitFile& file) {
                    if (!file.open())
                        return Win32Error;
                    QFile device;
                    if (!device.open(file.handle(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                                     QFileDevice::DontCloseHandle))
                        return Win32Error;
                    CheckedWriter checked(&device, abandon);
                    const GpStatus status = JpegCoefficientStamp::stamp(
                        background, mark, destination, source, &checked, abandon, kept);
                    if (!checked.failed())
                        return status;
                    file.cancel(checked.error());
                    return status == Ok ? Win32Error : status;
                });
}

GpStatus PendingImageFile::EncodeInto(GpImage* image, std::unique_ptr<NamedAtCommitFile> file,
                                      const FormatRow& encoder, const std::atomic<bool>* abandon,
                                      MetadataKept kept, EncodeOverrides overrides) {
    return Keep(std::move(file), [&](NamedAtCommitFile& target) {
        return ImageSaver::encodeInto(image->pixels, image->facts.get(), target, encoder, abandon,
                                      kept, overrides);
    });
}

template <class Write>
GpStatus PendingImageFile::Keep(std::unique_ptr<NamedAtCommitFile> file, Write write) {
    const GpStatus encoded = write(*file);
    m_error = file->error();
    if (encoded != Ok)
        return encoded;
    // On disk now, on the thread that encoded it, so that the one naming the files in turn
    // does not wait for the disk picture after picture.
    if (!file->sync()) {
        m_error = file->error();
        return Win32Error;
    }
    m_file = std::move(file);
    return Ok;
}

GpStatus PendingImageFile::Commit(const QByteArray& name) {
    if (!m_file)
        return InvalidParameter;
    const std::unique_ptr<NamedAtCommitFile> file = std::move(m_file);
    if (name.isEmpty())
        return InvalidParameter;
    if (file->commit(name))
        return Ok;
    m_error = file->error();
    return Win32Error;
}

void PendingImageFile::SetOrigin(const QByteArray& picture, const QByteArray& made,
                                 bool replaceOthers) {
    if (m_file)
        m_file->setOrigin(picture, made, replaceOthers);
}

qint64 PendingImageFile::Size() const {
    struct stat info {};
    return m_file && ::fstat(m_file->handle(), &info) == 0 ? qint64(info.st_size) : 0;
}

void PendingImageFile::Discard() {
    m_file.reset();
    m_error = 0;
}
