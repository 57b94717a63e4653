#pragma once
// Which picture a stamped copy was made from, and how: kept with the copy (in the file system's
// extended attributes, see OutputFolder::kSourceRecord) so that a later run into the same folder
// tells its own complete copy from one cut short, one made from the picture as it was before or
// with other settings, and another picture's copy that a name happens to share.

#include "types/WinTypes.h"

#include <string>

class RunSettings;

struct CopyRecord {
    // The picture's full path, links resolved: the same picture however the list names it.
    std::string picture;
    // "<width>x<height> <picture's size> <picture's modification time> <settings digest>": a
    // copy of that size, made from the picture as it was then, with those settings.
    std::string made;

    // The record of a width x height copy made now from the picture at path.
    static CopyRecord For(const std::string& path, UINT width, UINT height,
                          const std::string& settingsDigest);
    // What the run's settings do to a copy's pixels and records (the overlay file as it is now,
    // size, anchor, opacity, margins, format, records kept, quality), as a short digest.
    static std::string SettingsDigest(const RunSettings& run);
};

enum class ExistingCopy {
    None,         // nothing at the name
    Complete,     // the picture's copy with these settings, whole and of its recorded size
    Redo,         // anything else of our own to replace: cut short, older, other settings, ...
    OtherPicture, // a copy of another picture
};

// What stands at outputPath for a copy of the picture at picturePath with settingsDigest. Never
// opens anything but a regular file, and no link. Where the file system keeps no extended
// attributes, a whole picture of the size of the picture's copy counts as complete.
ExistingCopy FindExistingCopy(const std::string& outputPath, const std::string& picturePath,
                              const std::string& settingsDigest);
