#include "engine/StampedItem.h"

#include "engine/BatchJob.h"
#include "engine/Placement.h"
#include "engine/SaturatingCast.h"
#include "engine/TextHelpers.h"
#include "imaging/ImageFacts.h"

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

ItemOutcome CStampedItem::LoadAndCompose(const CBatchJob& job, const char* path,
                                         const CImageFile& overlay) {
    const ItemOutcome loaded = Load(path);
    return loaded == ItemOutcome::Done ? Compose(job, overlay) : loaded;
}

ItemOutcome CStampedItem::Load(const char* path) {
    m_image.Release();
    return m_image.LoadFromFile(path) ? ItemOutcome::Done : ItemOutcome::OpenFailed;
}

ItemOutcome CStampedItem::Compose(const CBatchJob& job, const CImageFile& overlay) {
    // Sizes come from the pictures this item actually holds, not from their files read once
    // more: a file deleted or rewritten since it was loaded would otherwise give a 0 x 0 or a
    // foreign size, and the stamp would silently be missing or cut while the item says "Done".
    const RECT destRect = ComputePlacement(job.GetSizeMode(), job.GetOverlayAnchor(), job.nSizeX,
                                           job.nSizeY, m_image.Width(), m_image.Height());
    const RECT sourceRect{0, 0, SaturatingCast<LONG>(overlay.Width()),
                          SaturatingCast<LONG>(overlay.Height())};
    if (!m_image.ComposeOverlay(overlay, sourceRect, destRect)) {
        m_image.Release();
        return ItemOutcome::ComposeFailed;
    }
    return ItemOutcome::Done;
}

ItemOutcome CStampedItem::Save(const char* outputPath, const CLSID* encoder) const {
    // An empty path means the full name did not fit: writing a shortened one would hit a
    // different file.
    if (encoder == nullptr || outputPath == nullptr || outputPath[0] == '\0')
        return ItemOutcome::SaveFailed;
    return m_image.SaveToFile(outputPath, *encoder) ? ItemOutcome::Done : ItemOutcome::SaveFailed;
}

ItemOutcome CStampedItem::Encode(PendingImageFile& file, const char* folder, const CLSID* encoder,
                                 const std::atomic<bool>* abandon, MetadataKept kept) const {
    file.Discard();
    const auto wideFolder = folder != nullptr ? ToWidePath(folder) : std::nullopt;
    if (encoder == nullptr || m_image.IsEmpty() || !wideFolder)
        return ItemOutcome::SaveFailed;
    return file.Encode(m_image.GetImage(), wideFolder->c_str(), encoder, abandon, kept) == Ok
               ? ItemOutcome::Done
               : ItemOutcome::SaveFailed;
}

bool CStampedItem::ProfileIgnored() const {
    return ImageFacts::profileRefusedFor(m_image.GetImage());
}

ItemOutcome CStampedItem::PutInPlace(PendingImageFile& file, const char* outputPath) {
    // As in Save: no name that fits, no file.
    const auto wide =
        outputPath != nullptr && outputPath[0] != '\0' ? ToWidePath(outputPath) : std::nullopt;
    if (!file.IsEncoded() || !wide) {
        file.Discard();
        return ItemOutcome::SaveFailed;
    }
    return file.Commit(wide->c_str()) == Ok ? ItemOutcome::Done : ItemOutcome::SaveFailed;
}
