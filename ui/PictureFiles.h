#pragma once
// Which of the paths a user hands the window (dropped from a file manager, or given to a second
// start) become backgrounds: a folder stands for the pictures directly in it, a file for itself
// when it is a picture. Everything else is refused, each with its reason, so that the window
// can say in one message what it left out.

#include <string>
#include <vector>

struct PictureFiles {
    enum class Refusal { NotAPicture, Missing };
    struct Refused {
        std::string path;
        Refusal reason;
    };

    // The paths sorted out in the order given, a folder's pictures in name order. Reads the
    // file system; the imaging library must be running (it names the extensions).
    static PictureFiles Sort(const std::vector<std::string>& paths);
    // The pictures directly in folder, by the extensions of the installed encoders in any
    // letter case, in name order, as absolute paths.
    static std::vector<std::string> InFolder(const std::string& folder);

    std::vector<std::string> pictures;
    std::vector<Refused> refused;
};
