#include "cli/CliOptions.h"

#include "engine/EncoderList.h"
#include "engine/OverlayOptionsText.h"
#include "engine/TextHelpers.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The longest template that the options dialog stores.
constexpr std::size_t kTemplateLimit = 254;
// More threads than this only cost memory.
constexpr int kMaxJobs = 256;

constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0    every picture was stamped and written (or skipped, its output there)\n"
    "  1    some pictures failed; each is named in the log, its reason on standard error\n"
    "  2    bad usage, found before any picture was read\n"
    "  129  stopped by SIGHUP\n"
    "  130  stopped by SIGINT (Ctrl+C)\n"
    "  141  stopped because standard output was closed\n"
    "  143  stopped by SIGTERM\n"
    "A stopped run finishes or drops the pictures in flight and leaves no file half-written.\n";

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
        for (const std::string& extension : EncoderExtensions(codec))
            encoder.names.push_back(Lower(extension));
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

// The parser sees every argument as Latin-1, one character per byte, so that its values give
// back the exact bytes of the command line (a file name need not be text of the locale).
std::string Bytes(const QString& text) {
    return text.toLatin1().toStdString();
}

// The value of the Slurm array variable name, or nothing when it is unset or no number.
std::optional<std::int64_t> ArrayVariable(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr)
        return std::nullopt;
    return ParseInt<std::int64_t>(text);
}

ParseResult BadUsage(const std::string& message) {
    ParseResult result;
    result.kind = ParseResult::Kind::BadUsage;
    result.text = message;
    return result;
}

ParseResult BadValue(const char* option, const std::string& value, const std::string& why) {
    return BadUsage(std::string("--") + option + " '" + Printable(value) + "': " + why);
}

// --shard auto: this task's place in a Slurm job array (--array=A-B or A-B:S) and the
// array's size.
std::optional<std::pair<std::int64_t, std::int64_t>> ShardOfArrayTask() {
    const auto id = ArrayVariable("SLURM_ARRAY_TASK_ID");
    const auto count = ArrayVariable("SLURM_ARRAY_TASK_COUNT");
    const auto first = std::getenv("SLURM_ARRAY_TASK_MIN") ? ArrayVariable("SLURM_ARRAY_TASK_MIN")
                                                           : std::optional<std::int64_t>(0);
    const auto step = std::getenv("SLURM_ARRAY_TASK_STEP") ? ArrayVariable("SLURM_ARRAY_TASK_STEP")
                                                           : std::optional<std::int64_t>(1);
    if (!id || !count || !first || !step || *step < 1 || *id < *first ||
        (*id - *first) % *step != 0)
        return std::nullopt;
    return std::pair{(*id - *first) / *step, *count};
}

} // namespace

std::optional<std::uint64_t> ParseByteSize(const std::string& text) {
    std::size_t used = 0;
    double number = 0;
    try {
        number = std::stod(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (used == 0 || !(number > 0) || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    std::string unit = QString::fromStdString(text.substr(used)).toUpper().toStdString();
    for (const char* suffix : {"IB", "B"})
        if (unit.size() > 1 && unit.size() >= std::strlen(suffix) &&
            unit.compare(unit.size() - std::strlen(suffix), std::string::npos, suffix) == 0) {
            unit.resize(unit.size() - std::strlen(suffix));
            break;
        }
    const std::string units = "KMGT";
    double scale = 1;
    if (unit.size() == 1 && units.find(unit[0]) != std::string::npos)
        scale = std::pow(1024.0, double(units.find(unit[0]) + 1));
    else if (!unit.empty() && unit != "B")
        return std::nullopt;
    const double bytes = number * scale;
    if (bytes < 1 || bytes > 1.8e19)
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::optional<SizeSpec> ParseSize(const std::string& given) {
    const std::string text = Lower(given);
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
        if (name == Lower(encoder.mime) ||
            std::find(encoder.names.begin(), encoder.names.end(), name) != encoder.names.end())
            return encoder.mime;
    }
    return std::nullopt;
}

std::optional<std::string> NormalizeTemplate(const std::string& text) {
    std::string settled;
    int start = 0;
    int end = 0;
    SettleTemplateText(text, settled, start, end);
    const std::string completed = CompleteTemplateText(settled);
    if (completed.size() > kTemplateLimit)
        return std::nullopt;
    return completed;
}

std::string Printable(const std::string& bytes) {
    return EscapedForLog(bytes);
}

ParseResult ParseCommandLine(const std::vector<std::string>& args, int defaultJobs) {
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
        "Output file name; its run of '#' takes the number, zero-padded. Letters of any "
        "script, digits and blanks are kept, other characters dropped, '#' added when "
        "missing; at most 254 bytes. Default: ###.",
        "TEXT");
    const QCommandLineOption firstNumber("first-number", "The first running number (default 0).",
                                         "N");
    const QCommandLineOption output("output", "The output folder (required).", "DIR");
    const QCommandLineOption makeFolder("mkdir",
                                        "Make the output folder, and its parents, when missing.");
    const QCommandLineOption skipExisting(
        "skip-existing",
        "Leave a picture alone when its output name already holds a file, so that a run cut "
        "short can be run again for what is missing. Needs --number-by position (or --shard).");
    const QCommandLineOption nul({"0", "null"},
                                 "The list read from '-' is NUL-separated (find -print0).");
    const QCommandLineOption jobs(
        "jobs",
        "Pictures worked on at once (default: the processors this process may use, as its CPU "
        "affinity and quota allow).",
        "N");
    const QCommandLineOption memoryLimit(
        "memory-limit",
        "Memory for the pictures worked on at once (512M, 4G): a picture is decoded only while "
        "it fits beside the others; one larger than the limit runs alone. Default: half of the "
        "memory still available (and of the cgroup's limit).",
        "SIZE");
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
        "--number-by position, so shards run anywhere never collide. auto: K and M of the "
        "Slurm array task (SLURM_ARRAY_TASK_ID, SLURM_ARRAY_TASK_COUNT).",
        "K/M|auto");
    const QCommandLineOption metadata(
        "metadata",
        "The pictures' EXIF, XMP and IPTC records the copies keep: default (all but the GPS "
        "position, thumbnails and maker notes), all (GPS too) or none.",
        "MODE");
    const QCommandLineOption quality(
        "quality",
        "JPEG quality of the copies, 1-100: each is encoded whole at that quality. Default: a "
        "JPEG picture keeps every block the overlay does not touch, and its own quality for "
        "the rest; other pictures are written at 90.",
        "N");
    parser.addOptions({help,         version,     overlay, size,       anchor,   format,
                       nameTemplate, firstNumber, output,  makeFolder, nul,      jobs,
                       memoryLimit,  dryRun,      log,     quiet,      numberBy, shard,
                       skipExisting, metadata,    quality});
    parser.addPositionalArgument("PICTURE",
                                 "The pictures to stamp, in order; '-' reads a list, one per "
                                 "line, from standard input.",
                                 "PICTURE...");

    QStringList latin;
    for (const std::string& arg : args)
        latin << QString::fromLatin1(arg.data(), static_cast<qsizetype>(arg.size()));
    if (!parser.parse(latin))
        return BadUsage(Printable(Bytes(parser.errorText())));
    if (parser.isSet(help)) {
        ParseResult result;
        result.kind = ParseResult::Kind::Help;
        // The usage line names the program, not the path it was started by.
        QString text = parser.helpText();
        const qsizetype lineEnd = text.indexOf(u'\n');
        text.replace(0, lineEnd, "Usage: pictorum-batch [options] PICTURE...");
        result.text = Local(text) + "\n" + kExitStatusHelp;
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
    auto value = [&](const QCommandLineOption& option) { return Bytes(parser.value(option)); };

    if (!parser.isSet(overlay) || value(overlay).empty())
        return BadUsage("--overlay: no overlay picture given");
    options.overlayPath = value(overlay);
    if (!parser.isSet(output) || value(output).empty())
        return BadUsage("--output: no output folder given");
    options.outputDir = value(output);
    while (options.outputDir.size() > 1 && options.outputDir.back() == '/')
        options.outputDir.pop_back();
    options.makeFolder = parser.isSet(makeFolder);

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
    if (parser.isSet(nameTemplate)) {
        const auto stored = NormalizeTemplate(value(nameTemplate));
        if (!stored)
            return BadValue("template", value(nameTemplate),
                            "longer than " + std::to_string(kTemplateLimit) +
                                " bytes once its dropped characters are gone");
        options.nameTemplate = *stored;
    }
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
    if (parser.isSet(memoryLimit)) {
        const auto bytes = ParseByteSize(value(memoryLimit));
        if (!bytes)
            return BadValue("memory-limit", value(memoryLimit),
                            "expected a size such as 512M or 4G");
        options.memoryLimit = *bytes;
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
        std::optional<std::int64_t> k;
        std::optional<std::int64_t> m;
        if (text == "auto") {
            const auto task = ShardOfArrayTask();
            if (!task || task->second < 1 || task->first >= task->second)
                return BadValue("shard", text,
                                "not in a Slurm array task: SLURM_ARRAY_TASK_ID and "
                                "SLURM_ARRAY_TASK_COUNT must name this task's place in an "
                                "array such as --array=0-7");
            k = task->first;
            m = task->second;
        } else {
            const std::size_t slash = text.find('/');
            k = ParseInt<std::int64_t>(text.substr(0, slash));
            m = slash == std::string::npos ? std::nullopt
                                           : ParseInt<std::int64_t>(text.substr(slash + 1));
        }
        if (!k || !m || *m < 1 || *k < 0 || *k >= *m)
            return BadValue("shard", text, "expected K/M with 0 <= K < M, or auto");
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
    options.skipExisting = parser.isSet(skipExisting);
    if (options.skipExisting && options.numbering != Numbering::Position)
        return BadUsage("--skip-existing needs --number-by position (or --shard): with a "
                        "running number the names are known only as the run goes");
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
    if (parser.isSet(quality)) {
        const auto level = ParseInt<int>(value(quality));
        if (!level || *level < 1 || *level > 100)
            return BadValue("quality", value(quality), "expected a number from 1 to 100");
        options.jpegQuality = *level;
    }
    options.nulSeparated = parser.isSet(nul);
    options.dryRun = parser.isSet(dryRun);
    options.quiet = parser.isSet(quiet);

    for (const QString& input : parser.positionalArguments())
        options.inputs.push_back(Bytes(input));
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
