#pragma once
// Output file names and paths from a template and a running number.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

// The name for number: the '#' of the template receive its decimal digits ("%d") in order,
// zero-padded from the left; a number longer than the '#' count replaces the first '#' and
// the other '#' are removed; a template without '#' is returned unchanged.
std::string FormatOutputName(const std::string& nameTemplate, int number);

// folder/name.extension, the name FormatOutputName gives for number; the root folder, or one
// given with its slash, takes no second one. Empty when the path would not fit into room bytes
// with its terminator (a cut path would name a different file).
std::string OutputPathFor(const std::string& folder, const std::string& nameTemplate,
                          std::int32_t number, const std::string& extension, std::size_t room);

// folder/name.extension as OutputPathFor joins it, for a name of its own (no '#' taken).
std::string JoinOutputPath(const std::string& folder, const std::string& name,
                           const std::string& extension, std::size_t room);

// The names of copies named after their pictures, for the whole list: each picture's file name
// without its extension (photo.jpg gives photo), and for a picture whose name an earlier one of
// the list already took, that name, '-' and its place in the list (photo-17), so that chunks or
// shards of one list name alike and no two copies of it collide.
// folders (optional, one for each path): a folder that goes before that picture's name, its
// copy then lying in that folder of the output folder.
std::vector<std::string> NamesFromInputs(const std::vector<std::string>& paths,
                                         const std::vector<std::string>& folders = {});

// NamesFromInputs one picture at a time, for a list read while the run goes on: Name is called
// for every picture of the list in order (the places of other shards included).
class InputNamer {
  public:
    std::string Name(const std::string& path, const std::string& folder, std::int64_t position);

  private:
    // Hashes of the names taken, not the names: a list of a million pictures holds them all.
    // Two names whose hashes meet count as one, and the later takes its place in the list as
    // well; that is as rare as 1 in 10^19 and still never gives two copies one name.
    std::unordered_set<std::size_t> m_taken;
};

// Where each picture's folder lies under base (links resolved): "" for base itself, "2024/trip"
// for one below. Nothing when a picture does not lie under base; outside names it then.
std::optional<std::vector<std::string>>
FoldersUnder(const std::string& base, const std::vector<std::string>& paths, std::string& outside);

// FoldersUnder one picture at a time: base is resolved once.
class FolderMirror {
  public:
    explicit FolderMirror(const std::string& base);
    // Where path's folder lies under base, or nothing when it does not lie under it.
    std::optional<std::string> FolderOf(const std::string& path) const;

  private:
    std::string m_root; // resolved, with its slash
};
