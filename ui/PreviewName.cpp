#include "ui/PreviewName.h"

#include "app/framework/UiText.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"

namespace {
// By anchor value 1 to 9; the placement puts every other value where it puts 1.
constexpr const char* kPlaces[9] = {"top left",    "top centre",    "top right",
                                    "middle left", "centre",        "middle right",
                                    "bottom left", "bottom centre", "bottom right"};
} // namespace

std::string PreviewName(const CBatchJob& job, const char* background) {
    // In the desktop's language, as every other name a screen reader reads.
    const auto text = [](const char* english) { return UiText(english).toStdString(); };
    std::string name = text("Sample preview: ");
    if (background == nullptr)
        return name + text("no background image");
    name += FileNameOrPath(background);
    if (job.szOverlayPath[0] == '\0')
        return name + text(", no overlay");
    const DWORD anchor = job.GetOverlayAnchor();
    return name + text(", overlay at ") +
           text(kPlaces[anchor >= 1 && anchor <= 9 ? anchor - 1 : 0]);
}
