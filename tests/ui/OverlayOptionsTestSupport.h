#pragma once
// Driving the options dialog the way a user does: wait until it is the active modal window,
// then send real key and mouse events to its widgets from inside the modal loop.

#include "DialogDriving.h"
#include "engine/BatchJob.h"

#include <cstring>

namespace overlay_options_test {

using namespace dialog_driving;

// Everything of a job the options dialog may write, compared byte for byte.
struct JobImage {
    explicit JobImage(const CBatchJob& job) {
        std::memcpy(format, job.szOutputFormat, sizeof format);
        std::memcpy(nameTemplate, job.szNameTemplate, sizeof nameTemplate);
        std::memcpy(overlay, job.szOverlayPath, sizeof overlay);
        std::memcpy(folder, job.szOutputDir, sizeof folder);
        flags = job.dwFlags;
        sizeX = job.nSizeX;
        sizeY = job.nSizeY;
        serial = job.nSerial;
    }
    bool operator==(const JobImage& other) const {
        return std::memcmp(format, other.format, sizeof format) == 0 &&
               std::memcmp(nameTemplate, other.nameTemplate, sizeof nameTemplate) == 0 &&
               std::memcmp(overlay, other.overlay, sizeof overlay) == 0 &&
               std::memcmp(folder, other.folder, sizeof folder) == 0 && flags == other.flags &&
               sizeX == other.sizeX && sizeY == other.sizeY && serial == other.serial;
    }
    char format[MAX_PATH];
    char nameTemplate[MAX_PATH];
    char overlay[MAX_PATH];
    char folder[MAX_PATH];
    DWORD flags;
    std::int32_t sizeX;
    std::int32_t sizeY;
    std::int32_t serial;
};

} // namespace overlay_options_test
