#pragma once
// The command line of pictorum-batch: what it asks for, checked before any picture is read.

#include "engine/RunSettings.h"
#include "engine/StampPipeline.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class LogStyle { Text, Jsonl };

// The command line's own starting choices where they differ from RunChoices': no size until
// --size gives one (the run takes the overlay's own size then, in pixels).
inline RunChoices CliChoices() {
    RunChoices choices;
    choices.sizeMode = SizeMode::Pixels;
    choices.sizeX = 0;
    choices.sizeY = 0;
    return choices;
}

struct CliOptions {
    // What the run does, as the options give it. The output folder is kept without trailing
    // slashes ("/" itself kept), so that names join it with one.
    RunChoices choices = CliChoices();
    // How the run works; jobs starts at the processors this process may use.
    RunOptions run;
    // No size given means the overlay's own size in pixels, as the windowed program sets when
    // an overlay is chosen.
    bool sizeGiven = false;
    // Make the output folder and its parents when missing.
    bool makeFolder = false;
    // Leave an item alone when its output name already holds its complete copy made with the
    // same settings (position numbering only: a running number's names are not known before
    // the run).
    bool skipExisting = false;
    // Name each copy after its picture (NamesFromInputs) instead of the template and a number.
    bool namesFromInputs = false;
    // With names from the pictures: each copy in the folder of the output folder that mirrors
    // its picture's folder under this one (FoldersUnder); empty: all in the output folder.
    std::string keepFoldersUnder;
    // Replace a copy of another picture that has an output's name (run.replaceOtherCopies).
    bool overwrite = false;
    std::vector<std::string> inputs; // "-" stands for the list on standard input
    bool nulSeparated = false;
    LogStyle log = LogStyle::Text;
    // Where the log goes instead of standard output (appended to); empty: standard output.
    std::string logFile;
    bool quiet = false;
    // Take the items whose place in the list modulo shardCount is shardIndex.
    std::int64_t shardIndex = 0;
    std::int64_t shardCount = 1;
};

struct ParseResult {
    enum class Kind { Run, Help, Version, ListFormats, BadUsage };
    Kind kind = Kind::BadUsage;
    CliOptions options;
    // The help, version or format list text, or the message that names the bad option and value.
    std::string text;
};

// args as main() has them, the program's name first, as bytes: paths are taken as given,
// whatever the locale can decode. Needs the imaging library started (the formats are those of
// the installed encoders). Checks everything that needs no picture: the overlay's readability
// and the output folder are the runner's business. --shard auto reads the Slurm array's
// variables from the environment. The options are the rows of one table (CliOptionTable.cpp),
// which --help lists too.
ParseResult ParseCommandLine(const std::vector<std::string>& args, int defaultJobs);

// One size option, "320x100" or "20%x20%": each side normalised as the options dialog's size
// fields are (0 or nothing gives 1). Nothing when the text is not a size.
struct SizeSpec {
    bool percent = false;
    std::int32_t x = 1;
    std::int32_t y = 1;
};
std::optional<SizeSpec> ParseSize(const std::string& text);

// A size in bytes: a number with an optional binary unit (K, M, G, T, with or without "B" or
// "iB", letter case aside), "1.5G" too. Nothing for anything else or 0.
std::optional<std::uint64_t> ParseByteSize(const std::string& text);

// An anchor by name ("top-left" ... "bottom-right", "center") or number 1-9.
std::optional<Anchor> ParseAnchor(const std::string& text);

// The MIME type of the installed encoder named by text: its MIME type, its subtype ("png")
// or one of its file extensions ("jpg", "tif"), letter case aside.
std::optional<std::string> ParseFormat(const std::string& text);

// The MIME types of the installed encoders, in their order and comma-separated, for a message
// that lists them.
std::string InstalledFormats();

// The longest template that the options dialog stores, in bytes.
constexpr std::size_t kTemplateLimit = 254;

// The template as the options dialog stores it, or nothing when it is longer than the
// dialog's field holds (the dialog would cut it, and names would be lost).
std::optional<std::string> NormalizeTemplate(const std::string& text);

// A name as bytes, the way messages and logs show it (EscapedForLog): characters of the
// locale's encoding as they are; control characters and every byte that is no such character
// as \xNN, a backslash as \\, so that a line stays one line and names stay apart.
std::string Printable(const std::string& bytes);
