#pragma once
// The command line of pictorum-batch: what it asks for, checked before any picture is read.

#include "engine/StampPipeline.h"

#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class LogStyle { Text, Jsonl };

struct CliOptions {
    std::string overlayPath;
    // Pixel size unless percent; no size given means the overlay's own size in pixels, as the
    // windowed program sets when an overlay is chosen.
    bool sizeGiven = false;
    bool sizePercent = false;
    std::int32_t sizeX = 0;
    std::int32_t sizeY = 0;
    std::uint32_t anchor = 9;
    std::string mimeType = "image/tiff";
    std::string nameTemplate = "###";
    std::int32_t firstNumber = 0;
    std::string outputDir;
    std::vector<std::string> inputs; // "-" stands for the list on standard input
    bool nulSeparated = false;
    int jobs = 1;
    bool dryRun = false;
    LogStyle log = LogStyle::Text;
    bool quiet = false;
    Numbering numbering = Numbering::Running;
    MetadataKept metadata = MetadataKept::Default;
    // Take the items whose place in the list modulo shardCount is shardIndex.
    std::int64_t shardIndex = 0;
    std::int64_t shardCount = 1;
};

struct ParseResult {
    enum class Kind { Run, Help, Version, BadUsage };
    Kind kind = Kind::BadUsage;
    CliOptions options;
    // The help or version text, or the message that names the bad option and value.
    std::string text;
};

// args as main() has them, the program's name first. Needs the imaging library started (the
// formats are those of the installed encoders). Checks everything that needs no picture:
// the overlay's readability and the output folder are the runner's business.
ParseResult ParseCommandLine(const QStringList& args, int defaultJobs);

// One size option, "320x100" or "20%x20%": each side normalised as the options dialog's size
// fields are (0 or nothing gives 1). Nothing when the text is not a size.
struct SizeSpec {
    bool percent = false;
    std::int32_t x = 1;
    std::int32_t y = 1;
};
std::optional<SizeSpec> ParseSize(const std::string& text);

// An anchor by name ("top-left" ... "bottom-right", "center") or number 1-9.
std::optional<std::uint32_t> ParseAnchor(const std::string& text);

// The MIME type of the installed encoder named by text: its MIME type, its subtype ("png")
// or one of its file extensions ("jpg", "tif"), letter case aside.
std::optional<std::string> ParseFormat(const std::string& text);

// The template as the options dialog stores it.
std::string NormalizeTemplate(const std::string& text);
