#pragma once
// One background on its way to an output file, in the two halves that a batch runs: first
// loaded and stamped, then named and saved. Every program that stamps backgrounds goes through
// this class, so they report the same outcome for the same fault.

#include "engine/ImageFile.h"
#include "engine/ItemFailure.h"
#include "engine/Placement.h"
#include "imaging/formats/PendingImageFile.h"
#include "types/WinTypes.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class OutputFolder;
struct RunChoices;

enum class ItemOutcome { Done, OpenFailed, ComposeFailed, SaveFailed };

// The fixed text of an outcome as the progress log shows it ("Done", "Error : Could not open",
// "Error : Could not copy image", "Error : Could not save").
const char* ItemOutcomeText(ItemOutcome outcome);
// Added to the outcome of an item whose colour profile was ignored.
inline constexpr const char* kProfileIgnoredText =
    " (colour profile damaged or unusable: stamped as a picture without one)";

// The preview of a stamp (CStampedItem::ComposePreview) and the library's answer to each of
// its two drawings.
struct PreviewStamp {
    ImageRecordPtr image; // null only when memory ran out
    GpStatus picture = Ok;
    GpStatus mark = Ok; // Ok too when no overlay is drawn
};

class CStampedItem {
  public:
    // A background is stamped in two halves, so that a caller decodes outside the compose:
    // Load reads the file (Done or OpenFailed); DecodeNow decodes its pixels, whose failure
    // Compose reports as ComposeFailed like any other; Compose draws the overlay on the loaded
    // picture where the run's size and anchor put it (ComposeFailed: nothing is held).
    // encoder (optional): the output's, whose sample depth the picture need not exceed.
    ItemOutcome Load(const char* path, const CLSID* encoder = nullptr);
    void DecodeNow() const { m_image.DecodeNow(); }
    // The memory the loaded picture will take while it is decoded, stamped and encoded, from
    // its header: its pixels, those of the bitmap a stamp may draw into, and what the encoder
    // given to Load takes of its own. 0 when none is held.
    std::uint64_t MemoryNeeded() const;
    ItemOutcome Compose(const RunChoices& run, const CImageFile& overlay);

    // The stamped picture is saved in two steps, as its name is known only after it is
    // encoded: Encode writes it into file, which waits unnamed in the run's folder (Done, or
    // SaveFailed); abandon (optional) cuts the encoding short. PutInPlace then gives it its
    // name, relative to that folder (empty: the name did not fit, nothing is written).
    // kept: which of the picture's records the file keeps.
    // overrides: what the run asks of every copy (a JPEG quality, TIFF uncompressed).
    // subfolder: the folder inside the output folder the copy goes to, made here when missing.
    ItemOutcome Encode(PendingImageFile& file, const OutputFolder& folder, const CLSID* encoder,
                       const std::atomic<bool>* abandon = nullptr,
                       MetadataKept kept = MetadataKept::Default, EncodeOverrides overrides = {},
                       const std::string& subfolder = {});

    // Compose and Encode in one for a JPEG photograph written as JPEG, loaded and not yet
    // decoded: only the blocks under the mark are decoded and encoded again, every other one is
    // copied as it is (see JpegCoefficientStamp). Nothing when this way does not apply; the
    // caller then decodes, composes and encodes as usual. ComposeFailed for a damaged file, as
    // Compose would report it, found without decoding it again; otherwise the outcome of Encode
    // (Done or SaveFailed).
    std::optional<ItemOutcome> EncodeLossless(const RunChoices& run, const CImageFile& overlay,
                                              PendingImageFile& file, const OutputFolder& folder,
                                              const CLSID* encoder,
                                              const std::atomic<bool>* abandon = nullptr,
                                              MetadataKept kept = MetadataKept::Default,
                                              const std::string& subfolder = {});
    ItemOutcome PutInPlace(PendingImageFile& file, const std::string& name);

    // What giving an encoded file its name came to, as PutInPlace tells it (Reason,
    // ReasonCode, SystemError), for a file whose item is gone already.
    struct Committed {
        ItemOutcome outcome = ItemOutcome::Done;
        FailureReason reason{nullptr, {}};
        int systemError = 0;
    };
    static Committed Commit(PendingImageFile& file, const std::string& name);

    // Why the last step failed, in the program's own words; empty after a step that did not.
    const std::string& Reason() const { return m_reason; }
    // Its stable code (see ItemFailure.h); null after a step that did not fail.
    const char* ReasonCode() const { return m_code; }
    // The system's errno when the last step failed because the file system refused a write
    // (a full disk, a file-size limit, no permission): a later run may do it. 0 otherwise.
    int SystemError() const { return m_systemError; }

    // Whether the loaded picture's colour profile was ignored (damaged, unsupported, or not
    // fitting its pixels), once it is decoded.
    bool ProfileIgnored() const;

    // The loaded picture's size, which is its copy's; 0 when none is held.
    UINT Width() const { return m_image.Width(); }
    UINT Height() const { return m_image.Height(); }

    void Release() { m_image.Release(); }

    // The picture of a background of fullWidth x fullHeight pixels as a run will stamp it,
    // drawn at width x height for the screen: picture (the background decoded at its own size
    // or already reduced) drawn into a new 32-bit ARGB bitmap of that size, and the whole
    // overlay drawn as Compose draws it, where Compose places it on the full-size background,
    // carried to the drawn size. The result is converted to sRGB for the screen. Unlike
    // Compose it goes on after a failed drawing, so that each failure can be told, and keeps
    // what could be drawn. overlay null: none is chosen, only the picture is drawn.
    static PreviewStamp ComposePreview(GpImage* picture, UINT fullWidth, UINT fullHeight, INT width,
                                       INT height, const CImageFile* overlay,
                                       const PlacementSettings& placement);

  private:
    // Where the overlay goes on the loaded picture: its whole area scaled into the run's place.
    RECT Destination(const RunChoices& run) const;
    // The part of overlay that is stamped: all of it.
    static RECT WholeOf(const CImageFile& overlay);
    ItemOutcome Failed(ItemOutcome outcome, FailureReason reason);
    ItemOutcome SaveFailed(int error);
    ItemOutcome Take(Committed committed);
    static Committed SaveFailure(int error);

    CImageFile m_image;
    const CLSID* m_encoder = nullptr;
    std::string m_reason;
    const char* m_code = nullptr;
    int m_systemError = 0;
};
