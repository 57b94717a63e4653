#include "engine/StampedItem.h"

#include "engine/Compositor.h"
#include "engine/Placement.h"
#include "engine/RunSettings.h"
#include "engine/SaturatingCast.h"
#include "engine/TextHelpers.h"
#include "imaging/ImageFacts.h"
#include "imaging/ImageFileAccess.h"
#include "imaging/files/OutputFolder.h"

#include <QRectF>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

const char* ItemOutcomeText(ItemOutcome outcome) {
    switch (outcome) {
    case ItemOutcome::Done:
        return "Done";
    case ItemOutcome::OpenFailed:
        return "Error : Could not open";
    case ItemOutcome::ComposeFailed:
        return "Error : Could not copy image";
    case ItemOutcome::SaveFailed:
        break;
    }
    return "Error : Could not save";
}

ItemOutcome CStampedItem::Failed(ItemOutcome outcome, FailureReason reason) {
    m_reason = std::move(reason.text);
    m_code = reason.code;
    m_systemError = 0;
    return outcome;
}

CStampedItem::Committed CStampedItem::SaveFailure(int error) {
    // The folder's own refusals (OutputFolder's negative codes) meet a later run again, as do a
    // folder at the name, a name too long, and a file or link where a folder should be.
    const bool again =
        error == EISDIR || error == ENAMETOOLONG || error == ENOTDIR || error == ELOOP;
    return {ItemOutcome::SaveFailed, ::SaveFailure(error), error > 0 && !again ? error : 0};
}

ItemOutcome CStampedItem::Take(Committed committed) {
    m_reason = std::move(committed.reason.text);
    m_code = committed.reason.code;
    m_systemError = committed.systemError;
    return committed.outcome;
}

ItemOutcome CStampedItem::SaveFailed(int error) {
    return Take(SaveFailure(error));
}

ItemOutcome CStampedItem::Load(const char* path, const CLSID* encoder) {
    m_image.Release();
    m_encoder = encoder;
    m_reason.clear();
    m_code = nullptr;
    m_systemError = 0;
    GpStatus status = Ok;
    if (m_image.LoadFromFile(path, &status)) {
        if (encoder != nullptr)
            m_image.ReduceForEncoder(*encoder);
        return ItemOutcome::Done;
    }
    return Failed(ItemOutcome::OpenFailed, OpenFailure(path, status));
}

std::uint64_t CStampedItem::MemoryNeeded() const {
    // Below 24 bits the stamp draws into 32-bit pixels, and the decoded rows are at least that
    // wide too.
    const auto bits = std::uint64_t{GetPixelFormatSize(m_image.GetPixelFormat())};
    const std::uint64_t bytes = std::max<std::uint64_t>((bits + 7) / 8, 4);
    const std::uint64_t pixels = std::uint64_t{m_image.Width()} * m_image.Height() * bytes * 2;
    if (m_image.IsEmpty() || m_encoder == nullptr)
        return pixels;
    return pixels + ImageFileAccess::encoderBytes(*m_encoder, m_image.Width(), m_image.Height());
}

RECT CStampedItem::Destination(const RunChoices& run) const {
    // Sizes come from the pictures this item actually holds, not from their files read once
    // more: a file deleted or rewritten since it was loaded would otherwise give a 0 x 0 or a
    // foreign size, and the stamp would silently be missing or cut while the item says "Done".
    return PlacementSettings::Of(run).On(m_image.Width(), m_image.Height());
}

RECT CStampedItem::WholeOf(const CImageFile& overlay) {
    return RECT{0, 0, SaturatingCast<LONG>(overlay.Width()),
                SaturatingCast<LONG>(overlay.Height())};
}

ItemOutcome CStampedItem::Compose(const RunChoices& run, const CImageFile& overlay) {
    const RECT destRect = Destination(run);
    const RECT sourceRect = WholeOf(overlay);
    m_reason.clear();
    m_code = nullptr;
    m_systemError = 0;
    if (overlay.IsEmpty())
        return Failed(ItemOutcome::ComposeFailed,
                      {"overlay_unreadable", "the overlay could not be read"});
    if (!m_image.ComposeOverlay(overlay, sourceRect, destRect)) {
        m_image.Release();
        return Failed(ItemOutcome::ComposeFailed, {"damaged", "damaged picture data"});
    }
    return ItemOutcome::Done;
}

ItemOutcome CStampedItem::Encode(PendingImageFile& file, const OutputFolder& folder,
                                 const CLSID* encoder, const std::atomic<bool>* abandon,
                                 MetadataKept kept, EncodeOverrides overrides,
                                 const std::string& subfolder) {
    file.Discard();
    m_reason.clear();
    m_code = nullptr;
    m_systemError = 0;
    if (folder.handle() < 0) {
        Failed(ItemOutcome::SaveFailed,
               {"output_folder_unusable", std::string("the output folder cannot be opened: ") +
                                              std::strerror(folder.error())});
        m_systemError = folder.error();
        return ItemOutcome::SaveFailed;
    }
    if (encoder == nullptr || m_image.IsEmpty())
        return Failed(ItemOutcome::SaveFailed, {"no_encoder", "no encoder for the output format"});
    if (const int error = folder.makeFolders(QByteArray::fromStdString(subfolder)); error != 0)
        return SaveFailed(error);
    if (file.Encode(m_image.GetImage(), folder, encoder, abandon, kept, overrides,
                    QByteArray::fromStdString(subfolder)) == Ok)
        return ItemOutcome::Done;
    return SaveFailed(file.Error());
}

std::optional<ItemOutcome>
CStampedItem::EncodeLossless(const RunChoices& run, const CImageFile& overlay,
                             PendingImageFile& file, const OutputFolder& folder,
                             const CLSID* encoder, const std::atomic<bool>* abandon,
                             MetadataKept kept, const std::string& subfolder) {
    file.Discard();
    m_reason.clear();
    m_code = nullptr;
    m_systemError = 0;
    if (folder.handle() < 0 || encoder == nullptr || m_image.IsEmpty() || overlay.IsEmpty())
        return std::nullopt;
    GpImage* background = m_image.GetImage();
    const RECT to = Destination(run);
    const QRectF destination(to.left, to.top, SaturatingCast<INT>(std::int64_t{to.right} - to.left),
                             SaturatingCast<INT>(std::int64_t{to.bottom} - to.top));
    const QRectF source(0, 0, SaturatingCast<INT>(overlay.Width()),
                        SaturatingCast<INT>(overlay.Height()));
    GpImage* mark = ImageFacts::overlayFor(overlay.GetImage(), background);
    if (const int error = folder.makeFolders(QByteArray::fromStdString(subfolder)); error != 0)
        return SaveFailed(error);
    const GpStatus status =
        file.EncodeStamped(background, mark, destination, source, folder, encoder, abandon, kept,
                           QByteArray::fromStdString(subfolder));
    if (status == NotImplemented)
        return std::nullopt;
    if (status == Ok)
        return ItemOutcome::Done;
    // Refused as Compose refuses it after a whole decode, which would only read it again.
    if (status == GenericError)
        return Failed(ItemOutcome::ComposeFailed, {"damaged", "damaged picture data"});
    return SaveFailed(file.Error());
}

PreviewStamp CStampedItem::ComposePreview(GpImage* picture, UINT fullWidth, UINT fullHeight,
                                          INT width, INT height, const CImageFile* overlay,
                                          const PlacementSettings& placement) {
    PreviewStamp stamp;
    // 32-bit ARGB whatever the background's format: what the screen draws from.
    stamp.image =
        Compositor::NewCanvas(picture, width, height, PixelFormat32bppARGB, stamp.picture);
    if (stamp.image == nullptr)
        return stamp;
    if (overlay != nullptr) {
        const RECT destRect = placement.OnReduced(fullWidth, fullHeight, UINT(width), UINT(height));
        stamp.mark = Compositor::DrawMark(stamp.image->hImage, overlay->GetImage(), picture,
                                          WholeOf(*overlay), destRect);
    }
    ImageFacts::showAsSrgb(stamp.image->hImage, picture);
    return stamp;
}

bool CStampedItem::ProfileIgnored() const {
    return ImageFacts::profileRefusedFor(m_image.GetImage());
}

CStampedItem::Committed CStampedItem::Commit(PendingImageFile& file, const std::string& name) {
    // No name that fits, no file: a shortened one would hit a different file.
    if (!file.IsEncoded() || name.empty()) {
        file.Discard();
        return {ItemOutcome::SaveFailed, {"path_too_long", "the output path is too long"}};
    }
    if (file.Commit(QByteArray::fromStdString(name)) == Ok)
        return {};
    return SaveFailure(file.Error());
}

ItemOutcome CStampedItem::PutInPlace(PendingImageFile& file, const std::string& name) {
    return Take(Commit(file, name));
}
