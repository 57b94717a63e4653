#pragma once
// A picture encoded ahead of knowing its name: it waits in a file of its output folder that has
// no name (or a hidden one where the file system needs one) until Commit gives it one, in one
// step, as GdipSaveImageToFile would have written it. Dropped without a trace when discarded,
// destroyed, or when the process dies.

#include "imaging/GdiPlus.h"
#include "imaging/formats/EncodeOverrides.h"
#include "imaging/metadata/PictureMetadata.h"

#include <QByteArray>
#include <QRectF>

#include <atomic>
#include <memory>

class NamedAtCommitFile;
class OutputFolder;
struct FormatRow;

// NOLINTBEGIN(readability-identifier-naming): an extension of the flat save calls
// (GdipSaveImageToFile), named as they and the engine that calls it are.
class PendingImageFile {
  public:
    PendingImageFile();
    ~PendingImageFile();
    PendingImageFile(PendingImageFile&&) noexcept;
    PendingImageFile& operator=(PendingImageFile&&) noexcept;

    // Encodes image with the encoder into a new file in a run's output folder, opened once
    // (which must outlive this file), with the picture's records as kept. Ok, or what
    // GdipSaveImageToFile would have answered; Aborted once abandon (optional) is set.
    // overrides: see ImageSaver::encodeInto.
    // subfolder: a folder inside folder (made already) where the file waits and is named.
    GpStatus Encode(GpImage* image, const OutputFolder& folder, const CLSID* encoder,
                    const std::atomic<bool>* abandon = nullptr,
                    MetadataKept kept = MetadataKept::Default, EncodeOverrides overrides = {},
                    const QByteArray& subfolder = {});
    // Stamps background, a JPEG not yet decoded, into a new JPEG file in folder without
    // decoding the rest of it (see JpegCoefficientStamp): the source part of mark drawn into
    // destination. NotImplemented when the encoder is not JPEG's or that way does not apply;
    // the caller then decodes and encodes the picture as usual. Otherwise as Encode.
    GpStatus EncodeStamped(GpImage* background, GpImage* mark, const QRectF& destination,
                           const QRectF& source, const OutputFolder& folder, const CLSID* encoder,
                           const std::atomic<bool>* abandon = nullptr,
                           MetadataKept kept = MetadataKept::Default,
                           const QByteArray& subfolder = {});
    // Gives the encoded file its name, relative to the folder and as the file system's bytes,
    // replacing whatever stands there (a symbolic link is replaced, never followed; a folder
    // is refused) but never a picture the folder protects. Win32Error when that fails; the
    // file is then dropped.
    GpStatus Commit(const QByteArray& name);
    // Records with the encoded file which picture it is a copy of and how it was made, and
    // keeps Commit from replacing another picture's copy unless replaceOthers (see
    // NamedAtCommitFile::setOrigin; kHoldsAnotherCopy in Error() then).
    void SetOrigin(const QByteArray& picture, const QByteArray& made, bool replaceOthers);

    // errno (or OutputFolder's code) of the last failure to make, write or name the file; 0
    // when there was none or the failure was not the file system's.
    int Error() const { return m_error; }
    void Discard();
    bool IsEncoded() const { return m_file != nullptr; }
    // The encoded file's size in bytes; 0 when none is held.
    qint64 Size() const;

  private:
    GpStatus EncodeInto(GpImage* image, std::unique_ptr<NamedAtCommitFile> file,
                        const FormatRow& encoder, const std::atomic<bool>* abandon,
                        MetadataKept kept, EncodeOverrides overrides = {});
    // The file made, written by write (a status) and on disk, or dropped.
    template <class Write> GpStatus Keep(std::unique_ptr<NamedAtCommitFile> file, Write write);

    std::unique_ptr<NamedAtCommitFile> m_file;
    int m_error = 0;
};
// NOLINTEND(readability-identifier-naming)
