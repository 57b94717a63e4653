#include "cli/CliOptions.h"

#include "engine/EncoderList.h"
#include "engine/OverlayOptionsText.h"
#include "engine/TextHelpers.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace {

// The longest template that the options dialog stores.
constexpr std::size_t kTemplateLimit = 254;
// More threads than this only cost memory.
constexpr int kMaxJobs = 256;

constexpr const char* kAnchorNames[9] = {"top-left",    "top",    "top-right",
                                         "left",        "center", "right",
                                         "bottom-left", "bottom", "bottom-right"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <typename Int> std::optional<Int> ParseInt(const std::string& text) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || text.empty())
        return std::nullopt;
    return value;
}

// One side of a size: digits, and for percent one '.', or nothing at all.
std::optional<std::int32_t> ParseSide(std::string side, bool percent) {
    if (percent)
        side.pop_back();
    const bool plain = std::all_of(side.begin(), side.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (percent && c == '.');
    });
    if (!plain || std::count(side.begin(), side.end(), '.') > 1)
        return std::nullopt;
    std::string normal;
    if (percent)
        NormalizePercentText(side, normal);
    else
        NormalizePixelText(side, normal);
    // As in the dialog, "0.5%" stores 0; but where the dialog stores 0 for a number beyond
    // 32 bits, that is refused here.
    const std::int32_t value = SizeFieldValue(normal);
    const std::size_t digits = normal.find_first_not_of("0123456789");
    if (value == 0 && normal.find_first_not_of('0') < digits)
        return std::nullopt;
    return value;
}

struct Encoder {
    std::string mime;
    std::vector<std::string> names; // lower case: subtype, extensions
};

std::vector<Encoder> InstalledEncoders() {
    std::vector<Encoder> result;
    for (const ImageCodecInfo& codec : EncoderList()) {
        if (codec.MimeType == nullptr)
            continue;
        Encoder encoder;
        encoder.mime = FromWideText(codec.MimeType).value_or(std::string());
        const std::size_t slash = encoder.mime.find('/');
        if (slash != std::string::npos)
            encoder.names.push_back(Lower(encoder.mime.substr(slash + 1)));
        if (codec.FilenameExtension != nullptr) {
            const std::string patterns =
                FromWideText(codec.FilenameExtension).value_or(std::string());
            std::size_t from = 0;
            while (from < patterns.size()) {
                std::size_t to = patterns.find(';', from);
                if (to == std::string::npos)
                    to = patterns.size();
                const std::string pattern = patterns.substr(from, to - from);
                const std::size_t dot = pattern.rfind('.');
                if (dot != std::string::npos)
                    encoder.names.push_back(Lower(pattern.substr(dot + 1)));
                from = to + 1;
            }
        }
        result.push_back(std::move(encoder));
    }
    return result;
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string Local(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

ParseResult BadUsage(const std::string& message) {
    ParseResult result;
    result.kind = ParseResult::Kind::BadUsage;
    result.text = message;
    return result;
}

ParseResult BadValue(const char* option, const std::string& value, const std::string& why) {
    return BadUsage(std::string("--") + option + " '" + value + "': " + why);
}

} // namespace

std::optional<SizeSpec> ParseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos || text.find('x', x + 1) != std::string::npos)
        return std::nullopt;
    const std::string width = text.substr(0, x);
    const std::string height = text.substr(x + 1);
    const bool percentX = !width.empty() && width.back() == '%';
    const bool percentY = !height.empty() && height.back() == '%';
    // "20%x" keeps the side that is left empty in the unit of the other.
    const bool percent = percentX || percentY;
    if ((percentX != percentY) && !width.empty() && !height.empty())
        return std::nullopt;
    const auto sizeX = ParseSide(width.empty() && percent ? "%" : width, percent);
    const auto sizeY = ParseSide(height.empty() && percent ? "%" : height, percent);
    if (!sizeX || !sizeY)
        return std::nullopt;
    return SizeSpec{percent, *sizeX, *sizeY};
}

std::optional<std::uint32_t> ParseAnchor(const std::string& text) {
    const std::string name = Lower(text);
    for (std::uint32_t k = 0; k < 9; ++k) {
        if (name == kAnchorNames[k] || name == std::to_string(k + 1))
            return k + 1;
    }
    if (name == "centre")
        return 5;
    return std::nullopt;
}

std::optional<std::string> ParseFormat(const std::string& text) {
    const std::string name = Lower(text);
    for (const Encoder& encoder : InstalledEncoders()) {
        if (text == encoder.mime ||
            std::find(encoder.names.begin(), encoder.names.end(), name) != encoder.names.end())
            return encoder.mime;
    }
    return std::nullopt;
}

std::string NormalizeTemplate(const std::string& text) {
    std::string settled;
    int start = 0;
    int end = 0;
    SettleTemplateText(text, settled, start, end);
    return StoredTemplateText(settled, kTemplateLimit);
}

ParseResult ParseCommandLine(const QStringList& args, int defaultJobs) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Stamps one overlay picture onto many pictures and writes the stamped copies, named "
        "from a template with a running number, into an output folder.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption overlay("overlay", "The overlay picture (required).", "FILE");
    const QCommandLineOption size(
        "size",
        "Overlay size: WxH in pixels (320x100) or in percent of each picture (20%x20%); "
        "0 or an empty side gives 1. Default: the overlay's own size.",
        "WxH");
    const QCommandLineOption anchor(
        "anchor",
        "Where the overlay goes: top-left, top, top-right, left, center, right, bottom-left, "
        "bottom, bottom-right, or 1-9 in that order. Default: bottom-right.",
        "CELL");
    const QCommandLineOption format(
        "format",
        "Output format by name (jpeg, png, tiff, bmp, webp) or MIME type, among the installed "
        "encoders. Default: tiff.",
        "NAME");
    const QCommandLineOption nameTemplate(
        "template",
        "Output file name; its run of '#' takes the number, zero-padded. Letters, digits and "
        "blanks are kept, other characters dropped, '#' added when missing. Default: ###.",
        "TEXT");
    const QCommandLineOption firstNumber("first-number", "The first running number (default 0).",
                                         "N");
    const QCommandLineOption output("output", "The output folder (required).", "DIR");
    const QCommandLineOption nul({"0", "null"},
                                 "The list read from '-' is NUL-separated (find -print0).");
    const QCommandLineOption jobs(
        "jobs", "Pictures worked on at once (default: the number of cores).", "N");
    const QCommandLineOption dryRun("dry-run", "Print the names that would be written; write "
                                               "nothing (every picture is still read).");
    const QCommandLineOption log("log", "Per-item log on standard output: text (default) or jsonl.",
                                 "STYLE");
    const QCommandLineOption quiet("quiet", "Report only the items that failed; no progress line.");
    const QCommandLineOption numberBy(
        "number-by",
        "running (default): the number goes up by one for each picture written; position: the "
        "picture at place i of the whole list gets first-number + i, failed ones leave a gap.",
        "MODE");
    const QCommandLineOption shard(
        "shard",
        "Work only on the pictures whose place in the list modulo M is K (0 <= K < M); implies "
        "--number-by position, so shards run anywhere never collide.",
        "K/M");
    const QCommandLineOption metadata(
        "metadata",
        "The pictures' EXIF, XMP and IPTC records the copies keep: default (all but the GPS "
        "position, thumbnails and maker notes), all (GPS too) or none.",
        "MODE");
    parser.addOptions({help, version, overlay, size, anchor, format, nameTemplate, firstNumber,
                       output, nul, jobs, dryRun, log, quiet, numberBy, shard, metadata});
    parser.addPositionalArgument("PICTURE",
                                 "The pictures to stamp, in order; '-' reads a list, one per "
                                 "line, from standard input.",
                                 "PICTURE...");

    if (!parser.parse(args))
        return BadUsage(Local(parser.errorText()));
    if (parser.isSet(help)) {
        ParseResult result;
        result.kind = ParseResult::Kind::Help;
        // The usage line names the program, not the path it was started by.
        QString text = parser.helpText();
        const qsizetype lineEnd = text.indexOf(u'\n');
        text.replace(0, lineEnd, "Usage: pictorum-batch [options] PICTURE...");
        result.text = Local(text) + "\n";
        return result;
    }
    if (parser.isSet(version)) {
        ParseResult result;
        result.kind = ParseResult::Kind::Version;
        result.text = "pictorum-batch " + Local(QCoreApplication::applicationVersion()) + "\n";
        return result;
    }

    CliOptions options;
    options.jobs = std::clamp(defaultJobs, 1, kMaxJobs);

    // Options given twice: the last one counts, as with most tools.
    auto value = [&](const QCommandLineOption& option) { return Local(parser.value(option)); };

    if (!parser.isSet(overlay) || value(overlay).empty())
        return BadUsage("--overlay: no overlay picture given");
    options.overlayPath = value(overlay);
    if (!parser.isSet(output) || value(output).empty())
        return BadUsage("--output: no output folder given");
    options.outputDir = value(output);

    if (parser.isSet(size)) {
        const auto spec = ParseSize(value(size));
        if (!spec)
            return BadValue("size", value(size),
                            "expected WxH in pixels (320x100) or percent (20%x20%)");
        options.sizeGiven = true;
        options.sizePercent = spec->percent;
        options.sizeX = spec->x;
        options.sizeY = spec->y;
    }
    if (parser.isSet(anchor)) {
        const auto cell = ParseAnchor(value(anchor));
        if (!cell)
            return BadValue("anchor", value(anchor),
                            "expected top-left, top, top-right, left, center, right, "
                            "bottom-left, bottom, bottom-right or 1-9");
        options.anchor = *cell;
    }
    if (parser.isSet(format)) {
        const auto mime = ParseFormat(value(format));
        if (!mime) {
            std::vector<std::string> known;
            for (const Encoder& encoder : InstalledEncoders())
                known.push_back(encoder.mime);
            return BadValue("format", value(format),
                            "no installed encoder; installed: " + Join(known));
        }
        options.mimeType = *mime;
    }
    if (parser.isSet(nameTemplate))
        options.nameTemplate = NormalizeTemplate(value(nameTemplate));
    if (parser.isSet(firstNumber)) {
        // The running number never goes below 0 in the windowed program either.
        const auto number = ParseInt<std::int32_t>(value(firstNumber));
        if (!number || *number < 0)
            return BadValue("first-number", value(firstNumber),
                            "expected a number from 0 to 2147483647");
        options.firstNumber = *number;
    }
    if (parser.isSet(jobs)) {
        const auto count = ParseInt<int>(value(jobs));
        if (!count || *count < 1 || *count > kMaxJobs)
            return BadValue("jobs", value(jobs),
                            "expected a number from 1 to " + std::to_string(kMaxJobs));
        options.jobs = *count;
    }
    if (parser.isSet(log)) {
        if (value(log) == "text")
            options.log = LogStyle::Text;
        else if (value(log) == "jsonl")
            options.log = LogStyle::Jsonl;
        else
            return BadValue("log", value(log), "expected text or jsonl");
    }
    if (parser.isSet(shard)) {
        const std::string text = value(shard);
        const std::size_t slash = text.find('/');
        const auto k = ParseInt<std::int64_t>(text.substr(0, slash));
        const auto m = slash == std::string::npos ? std::nullopt
                                                  : ParseInt<std::int64_t>(text.substr(slash + 1));
        if (!k || !m || *m < 1 || *k < 0 || *k >= *m)
            return BadValue("shard", text, "expected K/M with 0 <= K < M");
        options.shardIndex = *k;
        options.shardCount = *m;
        options.numbering = Numbering::Position;
    }
    if (parser.isSet(numberBy)) {
        if (value(numberBy) == "position")
            options.numbering = Numbering::Position;
        else if (value(numberBy) == "running" && !parser.isSet(shard))
            options.numbering = Numbering::Running;
        else if (value(numberBy) == "running")
            return BadValue("number-by", "running",
                            "shards numbered by a running number would give the same names");
        else
            return BadValue("number-by", value(numberBy), "expected running or position");
    }
    if (parser.isSet(metadata)) {
        if (value(metadata) == "default")
            options.metadata = MetadataKept::Default;
        else if (value(metadata) == "all")
            options.metadata = MetadataKept::All;
        else if (value(metadata) == "none")
            options.metadata = MetadataKept::None;
        else
            return BadValue("metadata", value(metadata), "expected default, all or none");
    }
    options.nulSeparated = parser.isSet(nul);
    options.dryRun = parser.isSet(dryRun);
    options.quiet = parser.isSet(quiet);

    for (const QString& input : parser.positionalArguments())
        options.inputs.push_back(Local(input));
    if (options.inputs.empty())
        return BadUsage("no pictures given (name them, or '-' to read a list from standard "
                        "input)");
    if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1)
        return BadUsage("'-' given more than once: standard input can be read only once");

    ParseResult result;
    result.kind = ParseResult::Kind::Run;
    result.options = std::move(options);
    return result;
}
