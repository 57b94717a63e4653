#include "cli/CliOptionTable.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

template <typename Int> std::optional<Int> ParseInt(const std::string& text) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || text.empty())
        return std::nullopt;
    return value;
}

// The value of the Slurm array variable name, or nothing when it is unset or no number.
std::optional<std::int64_t> ArrayVariable(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr)
        return std::nullopt;
    return ParseInt<std::int64_t>(text);
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

// The variables in which schedulers tell a task of an array its index, and their names for
// the message that finds none.
constexpr const char* kTaskIndexVariables[] = {"SLURM_ARRAY_TASK_ID", "JOB_COMPLETION_INDEX",
                                               "AWS_BATCH_JOB_ARRAY_INDEX"};
constexpr const char* kTaskIndexNames =
    "SLURM_ARRAY_TASK_ID (Slurm), JOB_COMPLETION_INDEX (a Kubernetes Indexed Job) or "
    "AWS_BATCH_JOB_ARRAY_INDEX (AWS Batch)";

// --shard auto/M: this task's index as its scheduler tells it, the first of those set.
std::optional<std::int64_t> TaskIndex() {
    for (const char* name : kTaskIndexVariables)
        if (std::getenv(name) != nullptr)
            return ArrayVariable(name);
    return std::nullopt;
}

// A whole number from low to high, or nothing.
template <typename Int> std::optional<Int> InRange(const std::string& text, Int low, Int high) {
    const auto value = ParseInt<Int>(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

// --margin: "X" or "X,Y", whole numbers, both in pixels or both in percent.
std::optional<SizeSpec> ParseMargin(const std::string& text) {
    const std::size_t comma = text.find(',');
    std::string x = text.substr(0, comma);
    std::string y = comma == std::string::npos ? x : text.substr(comma + 1);
    const bool percent = !x.empty() && x.back() == '%';
    if (percent != (!y.empty() && y.back() == '%'))
        return std::nullopt;
    if (percent) {
        x.pop_back();
        y.pop_back();
    }
    const auto mx = InRange<std::int32_t>(x, 0, percent ? 100 : INT32_MAX);
    const auto my = InRange<std::int32_t>(y, 0, percent ? 100 : INT32_MAX);
    if (!mx || !my)
        return std::nullopt;
    return SizeSpec{percent, *mx, *my};
}

// Sets field to the value one of the value parsers made of the option, or refuses the option
// for the reason why when it made nothing.
template <typename T, typename Field>
std::string Take(const CliGiven& g, const std::optional<T>& value, Field& field,
                 const std::string& why) {
    if (!value)
        return g.Refuse(why);
    field = *value;
    return {};
}

std::string Refusal(const char* option, const std::string& value, const std::string& why) {
    return std::string("--") + option + " '" + Printable(value) + "': " + why;
}

// Both options decide the numbering; a shard's numbering is settled once the shard is known.
std::string NumberBy(const std::string& mode, bool sharded, CliOptions& o) {
    if (mode == "position")
        o.run.numbering = Numbering::Position;
    else if (mode == "running" && !sharded)
        o.run.numbering = Numbering::Running;
    else if (mode == "running")
        return Refusal("number-by", "running",
                       "shards numbered by a running number would give the same names");
    else
        return Refusal("number-by", mode, "expected running or position");
    return {};
}

std::string Shard(const CliGiven& g, CliOptions& o) {
    std::optional<std::int64_t> k;
    std::optional<std::int64_t> m;
    if (g.value.rfind("auto/", 0) == 0) {
        // M as given, K as the task's own index: resubmitting some tasks of the array (sbatch
        // --array=0,2,5) does exactly their shards, where plain auto would split anew.
        m = ParseInt<std::int64_t>(g.value.substr(5));
        if (!m || *m < 1)
            return g.Refuse("expected auto/M with M from 1");
        k = TaskIndex();
        if (!k)
            return g.Refuse(std::string("no task index: expected one of ") + kTaskIndexNames);
        if (*k < 0 || *k >= *m)
            return g.Refuse("this task's index is " + std::to_string(*k) +
                            ", not below M: index the tasks from 0 to " + std::to_string(*m - 1) +
                            " (sbatch --array=0-" + std::to_string(*m - 1) + ")");
    } else if (g.value == "auto") {
        const auto task = ShardOfArrayTask();
        if (!task || task->second < 1 || task->first >= task->second)
            return g.Refuse("not in a Slurm array task: SLURM_ARRAY_TASK_ID and "
                            "SLURM_ARRAY_TASK_COUNT must name this task's place in an "
                            "array such as --array=0-7");
        k = task->first;
        m = task->second;
    } else {
        const std::size_t slash = g.value.find('/');
        k = ParseInt<std::int64_t>(g.value.substr(0, slash));
        m = slash == std::string::npos ? std::nullopt
                                       : ParseInt<std::int64_t>(g.value.substr(slash + 1));
    }
    if (!k || !m || *m < 1 || *k < 0 || *k >= *m)
        return g.Refuse("expected K/M with 0 <= K < M, auto/M or auto");
    o.shardIndex = *k;
    o.shardCount = *m;
    o.run.numbering = Numbering::Position;
    const auto by = g.Other("number-by");
    return by ? NumberBy(*by, true, o) : std::string();
}

const CliOptionRow kRows[] = {
    {.name = "help",
     .shortName = "h",
     .help = "Show this help and exit.",
     .answer = ParseResult::Kind::Help},
    {.name = "version", .help = "Show the version and exit.", .answer = ParseResult::Kind::Version},
    {.name = "list-formats",
     .help = "List the installed output formats (name, MIME type, extension) and exit.",
     .answer = ParseResult::Kind::ListFormats},
    {.name = "overlay",
     .valueName = "FILE",
     .help = "The overlay picture (required).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             o.choices.overlayPath = g.value;
             return std::string();
         },
     .missing = "--overlay: no overlay picture given"},
    {.name = "size",
     .valueName = "WxH",
     .help = "Overlay size: WxH in pixels (320x100) or in percent of each picture (20%x20%); "
             "0 or an empty side gives 1. Default: the overlay's own size.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             const auto spec = ParseSize(g.value);
             if (!spec)
                 return g.Refuse("expected WxH in pixels (320x100) or percent (20%x20%)");
             o.sizeGiven = true;
             o.choices.sizeMode = spec->percent ? SizeMode::Percent : SizeMode::Pixels;
             o.choices.sizeX = spec->x;
             o.choices.sizeY = spec->y;
             return std::string();
         }},
    {.name = "anchor",
     .valueName = "CELL",
     .help = "Where the overlay goes: top-left, top, top-right, left, center, right, bottom-left, "
             "bottom, bottom-right, or 1-9 in that order. Default: bottom-right.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, ParseAnchor(g.value), o.choices.anchor,
                         "expected top-left, top, top-right, left, center, right, bottom-left, "
                         "bottom, bottom-right or 1-9");
         }},
    {.name = "opacity",
     .valueName = "P",
     .help = "The overlay's opacity, 0-100 percent of its own alpha. Default: 100.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, InRange(g.value, 0, 100), o.choices.opacity,
                         "expected a number from 0 to 100");
         }},
    {.name = "margin",
     .valueName = "X[,Y]",
     .help = "The overlay's distance from the edges it is anchored to: X from the left or right "
             "edge, Y (default: X) from the top or bottom one, in pixels (20,10) or in percent "
             "of each picture (5%,5%); a centred axis takes none. Default: 0.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             const auto margin = ParseMargin(g.value);
             if (!margin)
                 return g.Refuse("expected X or X,Y in pixels (20,10) or percent (5%,5%)");
             o.choices.marginX = margin->x;
             o.choices.marginY = margin->y;
             o.choices.marginPercent = margin->percent;
             return std::string();
         }},
    {.name = "format",
     .valueName = "NAME",
     .help = "Output format by name (jpeg, png, tiff, bmp, webp, avif, jxl, heic) or MIME type, "
             "among the "
             "installed encoders. Default: tiff.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             const auto mime = ParseFormat(g.value);
             if (!mime)
                 return g.Refuse("no installed encoder; installed: " + InstalledFormats());
             o.choices.mimeType = *mime;
             return std::string();
         }},
    {.name = "template",
     .valueName = "TEXT",
     .help = "Output file name; its run of '#' takes the number, zero-padded. Letters of any "
             "script, digits and blanks are kept, other characters dropped, '#' added when "
             "missing; at most 254 bytes. Default: ###.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, NormalizeTemplate(g.value), o.choices.nameTemplate,
                         "longer than " + std::to_string(kTemplateLimit) +
                             " bytes once its dropped characters are gone");
         }},
    {.name = "name-from",
     .valueName = "SOURCE",
     .help = "template (default): names from --template and a number. input: each copy takes its "
             "picture's name without extension (photo.jpg gives photo.JPG); a picture whose name "
             "an earlier one of the list took adds '-' and its place in the list (photo-17.JPG). "
             "Any chunk or shard of one list, and any rerun, names each picture alike.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             if (g.value != "template" && g.value != "input")
                 return g.Refuse("expected template or input");
             o.namesFromInputs = g.value == "input";
             for (const char* unused : {"template", "first-number", "number-by"})
                 if (o.namesFromInputs && g.Other(unused))
                     return g.Refuse(std::string("--") + unused +
                                     " has no effect: copies are named after their pictures");
             return std::string();
         }},
    {.name = "keep-folders",
     .valueName = "BASE",
     .help = "With --name-from input: each copy goes into the folder of the output folder that "
             "mirrors its picture's folder under BASE (photos/2024/a.jpg with BASE photos gives "
             "out/2024/a.JPG), made as needed. A picture outside BASE is refused before any "
             "work.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             if (!o.namesFromInputs)
                 return g.Refuse("needs --name-from input");
             if (g.value.empty())
                 return g.Refuse("expected a folder");
             o.keepFoldersUnder = g.value;
             return std::string();
         }},
    {.name = "first-number",
     .valueName = "N",
     .help = "The first running number (default 0).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             // The running number never goes below 0 in the windowed program either.
             return Take(g, InRange<std::int32_t>(g.value, 0, INT32_MAX), o.choices.firstNumber,
                         "expected a number from 0 to 2147483647");
         }},
    {.name = "output",
     .valueName = "DIR",
     .help = "The output folder (required).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             o.choices.outputDir = g.value;
             while (o.choices.outputDir.size() > 1 && o.choices.outputDir.back() == '/')
                 o.choices.outputDir.pop_back();
             return std::string();
         },
     .missing = "--output: no output folder given"},
    {.name = "mkdir",
     .help = "Make the output folder, and its parents, when missing.",
     .flag = &CliOptions::makeFolder},
    {.name = "null",
     .shortName = "0",
     .help = "The list read from '-' is NUL-separated (find -print0).",
     .flag = &CliOptions::nulSeparated},
    {.name = "jobs",
     .valueName = "N",
     .help = "Pictures worked on at once (default: the processors this process may use, as its "
             "CPU affinity and quota allow).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, InRange(g.value, 1, kMaxJobs), o.run.jobs,
                         "expected a number from 1 to " + std::to_string(kMaxJobs));
         }},
    {.name = "memory-limit",
     .valueName = "SIZE",
     .help = "Memory for the pictures worked on at once (512M, 4G), with what their encoders "
             "take (a JPEG XL copy about 90 bytes a pixel): a picture is decoded only "
             "while it fits beside the others; one larger than the limit runs alone. Default: "
             "half of the memory still available (and of the cgroup's limit).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, ParseByteSize(g.value), o.run.memoryBudget,
                         "expected a size such as 512M or 4G");
         }},
    {.name = "dry-run",
     .help = "Print the names that would be written; write nothing (every picture is still "
             "read).",
     .apply =
         [](const CliGiven&, CliOptions& o) {
             o.run.dryRun = true;
             return std::string();
         }},
    {.name = "log",
     .valueName = "STYLE",
     .help = "Per-item log on standard output: text (default) or jsonl, one JSON object a "
             "picture (index, input, output, status, message, reason, reason_code, ms, bytes, "
             "width, height; a name that is not UTF-8 comes as input_base64 or output_base64, "
             "its bytes in base64) and a last one with summary true (total, written, skipped, "
             "failed, unwritten, ms, status).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             if (g.value != "text" && g.value != "jsonl")
                 return g.Refuse("expected text or jsonl");
             o.log = g.value == "text" ? LogStyle::Text : LogStyle::Jsonl;
             return std::string();
         }},
    {.name = "log-file",
     .valueName = "FILE",
     .help = "Append the log to FILE instead of standard output, so that the jsonl log stays "
             "apart from the messages on standard error.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             if (g.value.empty())
                 return g.Refuse("expected a file name");
             o.logFile = g.value;
             return std::string();
         }},
    {.name = "quiet",
     .help = "Report only the items that failed; no progress line.",
     .flag = &CliOptions::quiet},
    {.name = "number-by",
     .valueName = "MODE",
     .help = "running (default): the number goes up by one for each picture written; position: "
             "the picture at place i of the whole list gets first-number + i, failed ones leave "
             "a gap.",
     // With --shard the shard's row settles it, after the shard itself is found good.
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return g.Other("shard") ? std::string() : NumberBy(g.value, false, o);
         }},
    {.name = "shard",
     .valueName = "K/M|auto/M|auto",
     .help = "Work only on the pictures whose place in the list modulo M is K (0 <= K < M); "
             "implies --number-by position, so shards run anywhere never collide. auto/M: K is "
             "this task's index in an array job (SLURM_ARRAY_TASK_ID, JOB_COMPLETION_INDEX of a "
             "Kubernetes Indexed Job, AWS_BATCH_JOB_ARRAY_INDEX), so that resubmitting any of "
             "the tasks does exactly their pictures. auto: K and M of the Slurm array as it "
             "runs (SLURM_ARRAY_TASK_ID, SLURM_ARRAY_TASK_COUNT), which a resubmission of some "
             "tasks splits anew.",
     .apply = Shard},
    {.name = "skip-existing",
     .help = "Leave a picture alone when its output name already holds its whole copy, made "
             "with the same settings from the picture as it is now, so that a run cut short can "
             "be run again for what is missing; anything else there is done again. Needs "
             "--number-by position (or --shard, or --name-from input).",
     .flag = &CliOptions::skipExisting,
     // After the numbering's rows: the names must be known before the run.
     .apply =
         [](const CliGiven&, CliOptions& o) {
             if (o.run.numbering == Numbering::Position || o.namesFromInputs)
                 return std::string();
             return std::string("--skip-existing needs --number-by position (or --shard, or "
                                "--name-from input): with a running number the names are known "
                                "only as the run goes");
         }},
    {.name = "overwrite",
     .help = "Replace a copy of another picture that has an output's name. Without it such a "
             "picture fails with \"holds the copy of another picture\" (each copy records its "
             "picture in the file system's extended attributes, where it keeps them); other "
             "files of the names are replaced.",
     .flag = &CliOptions::overwrite,
     .apply =
         [](const CliGiven&, CliOptions& o) {
             o.run.replaceOtherCopies = true;
             return std::string();
         }},
    {.name = "metadata",
     .valueName = "MODE",
     .help = "The pictures' EXIF, XMP and IPTC records the copies keep: default (all but the "
             "GPS position, thumbnails and maker notes), all (GPS too) or none.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             const std::pair<const char*, MetadataKept> modes[] = {
                 {"default", MetadataKept::Default},
                 {"all", MetadataKept::All},
                 {"none", MetadataKept::None}};
             for (const auto& [mode, kept] : modes)
                 if (g.value == mode) {
                     o.run.metadata = kept;
                     return std::string();
                 }
             return g.Refuse("expected default, all or none");
         }},
    {.name = "quality",
     .valueName = "N",
     .help = "JPEG quality of the copies, 1-100: each is encoded whole at that quality. "
             "Default: a JPEG picture keeps every block the overlay does not touch, and its own "
             "quality for the rest; other pictures are written at 90.",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             return Take(g, InRange(g.value, 1, 100), o.run.jpegQuality,
                         "expected a number from 1 to 100");
         }},
    {.name = "tiff-compression",
     .valueName = "MODE",
     .help = "TIFF copies: keep (a TIFF picture's own compression, Deflate with a predictor for "
             "the others; the default) or none (uncompressed: larger, quicker to write).",
     .apply =
         [](const CliGiven& g, CliOptions& o) {
             if (g.value != "keep" && g.value != "none")
                 return g.Refuse("expected keep or none");
             o.run.uncompressedTiff = g.value == "none";
             return std::string();
         }},
};

} // namespace

std::string CliGiven::Refuse(const std::string& why) const {
    return Refusal(name, value, why);
}

std::span<const CliOptionRow> CliOptionRows() {
    return kRows;
}
