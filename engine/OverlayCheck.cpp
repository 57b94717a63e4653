#include "engine/OverlayCheck.h"

#include "engine/StampedItem.h"

OverlayProblem CheckOverlay(const std::string& path, OverlayDepth depth, CImageFile& overlay,
                            GpStatus* status) {
    GpStatus ignored = Ok;
    GpStatus& answer = status != nullptr ? *status : ignored;
    answer = InvalidParameter;
    overlay.Release();
    if (path.size() >= MAX_PATH)
        return OverlayProblem::TooLong;
    if (!overlay.LoadFromFile(path.c_str(), &answer))
        return OverlayProblem::NotOpened;
    ImageType type = ImageTypeUnknown;
    if (GdipGetImageType(overlay.GetImage(), &type) != Ok || type != ImageTypeBitmap) {
        overlay.Release();
        return OverlayProblem::NotBitmap;
    }
    if (depth == OverlayDepth::Pixels && !overlay.DecodeNow()) {
        overlay.Release();
        return OverlayProblem::Damaged;
    }
    return OverlayProblem::None;
}

std::string OverlayProblemText(OverlayProblem problem, const std::string& path, GpStatus status) {
    switch (problem) {
    case OverlayProblem::None:
        return {};
    case OverlayProblem::TooLong:
        return "longer than " + std::to_string(MAX_PATH - 1) + " bytes";
    case OverlayProblem::NotOpened:
        return OpenFailureReason(path.c_str(), status);
    case OverlayProblem::NotBitmap:
        return "not a picture that can be read";
    case OverlayProblem::Damaged:
        break;
    }
    return "damaged picture data";
}
