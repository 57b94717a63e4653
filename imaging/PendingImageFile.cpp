#include "imaging/PendingImageFile.h"

#include "imaging/AtomicFile.h"
#include "imaging/GpImage.h"
#include "imaging/ImageSaver.h"
#include "imaging/LocaleText.h"

PendingImageFile::PendingImageFile() = default;
PendingImageFile::~PendingImageFile() = default;
PendingImageFile::PendingImageFile(PendingImageFile&&) noexcept = default;
PendingImageFile& PendingImageFile::operator=(PendingImageFile&&) noexcept = default;

GpStatus PendingImageFile::Encode(GpImage* image, const WCHAR* folder, const CLSID* encoder,
                                  const std::atomic<bool>* abandon, MetadataKept kept) {
    Discard();
    const EncoderEntry* entry = nullptr;
    QByteArray path;
    const GpStatus checked = ImageSaver::check(image, folder, encoder, &entry, &path);
    if (checked != Ok)
        return checked;
    auto file = std::make_unique<AtomicFile>(path, AtomicFile::NameAtCommit{});
    const GpStatus encoded =
        ImageSaver::encodeInto(image->pixels, image->facts.get(), *file, *entry, abandon, kept);
    if (encoded != Ok)
        return encoded;
    // On disk now, on the thread that encoded it, so that the one naming the files in turn
    // does not wait for the disk picture after picture.
    if (!file->sync())
        return Win32Error;
    m_file = std::move(file);
    return Ok;
}

GpStatus PendingImageFile::Commit(const WCHAR* path) {
    if (!m_file)
        return InvalidParameter;
    const auto local = path ? FromWideText(path) : std::nullopt;
    const std::unique_ptr<AtomicFile> file = std::move(m_file);
    if (!local || local->empty())
        return InvalidParameter;
    return file->commit(QByteArray::fromStdString(*local)) ? Ok : Win32Error;
}

void PendingImageFile::Discard() {
    m_file.reset();
}
