#pragma once
// A picture encoded ahead of knowing its name: it waits in a file of its output folder that has
// no name (or a hidden one where the file system needs one) until Commit gives it one, in one
// step, as GdipSaveImageToFile would have written it. Dropped without a trace when discarded,
// destroyed, or when the process dies.

#include "imaging/GdiPlus.h"
#include "imaging/PictureMetadata.h"

#include <atomic>
#include <memory>

class AtomicFile;

class PendingImageFile {
  public:
    PendingImageFile();
    ~PendingImageFile();
    PendingImageFile(PendingImageFile&&) noexcept;
    PendingImageFile& operator=(PendingImageFile&&) noexcept;

    // Encodes image with the encoder into a new file in folder, with the picture's records as
    // kept (GdipSaveImageToFile keeps the default). Ok, or what GdipSaveImageToFile would have
    // answered; Aborted once abandon (optional) is set.
    GpStatus Encode(GpImage* image, const WCHAR* folder, const CLSID* encoder,
                    const std::atomic<bool>* abandon = nullptr,
                    MetadataKept kept = MetadataKept::Default);
    // Gives the encoded file the name path, replacing whatever stands there (a symbolic link
    // is replaced, never followed; a folder is refused). Win32Error when that fails; the file
    // is then dropped.
    GpStatus Commit(const WCHAR* path);
    void Discard();
    bool IsEncoded() const { return m_file != nullptr; }

  private:
    std::unique_ptr<AtomicFile> m_file;
};
