// The rules of the command line, one table: what each option accepts, what it turns its
// value into, and what it refuses with a message naming it.
#include "cli/CliOptions.h"
#include "cli/BatchRunner.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>

namespace {

struct Row {
    QStringList extra;
    // Empty: the line is accepted and check must hold; otherwise a part of the refusal.
    const char* refusal;
    std::function<bool(const CliOptions&)> check;
    QStringList env = {}; // NAME=VALUE, set for the row only
};

using O = const CliOptions&;

ParseResult Parse(const QStringList& extra, const QStringList& base) {
    std::vector<std::string> args{"pictorum-batch"};
    for (const QString& arg : base + extra)
        args.push_back(arg.toStdString());
    return ParseCommandLine(args, 3);
}

} // namespace

// Under a locale that writes decimals with a comma, sizes still take a point and only a point.
TEST(CliOptions, SizesAreReadAlikeInEveryLocale) {
    QTemporaryDir locales;
    QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
    qputenv("LOCPATH", QFile::encodeName(locales.path()));
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "localedef made no locale";
    const std::string decimal = std::localeconv()->decimal_point;
    const auto point = ParseByteSize("1.5G"), comma = ParseByteSize("1,5G");
    std::setlocale(LC_ALL, before.c_str());
    qunsetenv("LOCPATH");
    EXPECT_EQ(decimal, ",");
    EXPECT_EQ(point, std::optional<std::uint64_t>(3ull << 29));
    EXPECT_EQ(comma, std::nullopt);
}

TEST(CliOptions, RulesOfEachOption) {
    const QStringList base{"--overlay", "logo.png", "--output", "out", "a.jpg"};
    const Row rows[] = {
        // Defaults: as the windowed program's, the number of cores for jobs.
        {{},
         "",
         [](O o) {
             return !o.sizeGiven && o.choices.anchor == Anchor::BottomRight &&
                    o.choices.mimeType == "image/tiff" && o.choices.nameTemplate == "###" &&
                    o.choices.firstNumber == 0 && o.run.jobs == 3 &&
                    o.run.numbering == Numbering::Running && o.shardCount == 1 &&
                    o.run.metadata == MetadataKept::Default && o.run.jpegQuality == 0 &&
                    o.run.memoryBudget == 0 && !o.makeFolder && !o.run.dryRun && !o.quiet &&
                    o.log == LogStyle::Text && o.inputs == std::vector<std::string>{"a.jpg"};
         }},
        // Sizes: the options dialog's arithmetic, 0 or nothing giving 1, percent cut to whole.
        {{"--size", "320x100"},
         "",
         [](O o) {
             return o.choices.sizeMode == SizeMode::Pixels && o.choices.sizeX == 320 &&
                    o.choices.sizeY == 100;
         }},
        {{"--size", "20%x12.5%"},
         "",
         [](O o) {
             return o.choices.sizeMode == SizeMode::Percent && o.choices.sizeX == 20 &&
                    o.choices.sizeY == 12;
         }},
        {{"--size", "0x"}, "", [](O o) { return o.choices.sizeX == 1 && o.choices.sizeY == 1; }},
        {{"--size", "0%x"},
         "",
         [](O o) {
             return o.choices.sizeMode == SizeMode::Percent && o.choices.sizeX == 1 &&
                    o.choices.sizeY == 1;
         }},
        {{"--size", "20%x100"}, "--size '20%x100'", nullptr},
        {{"--size", "big"}, "--size 'big'", nullptr},
        {{"--size", "1x2x3"}, "--size", nullptr},
        {{"--size", "99999999999x1"}, "--size", nullptr},
        {{"--size", "300X120"},
         "",
         [](O o) { return o.choices.sizeX == 300 && o.choices.sizeY == 120; }},
        // Records kept (default: MetadataKept::Default, checked with the other defaults).
        {{"--metadata", "all"}, "", [](O o) { return o.run.metadata == MetadataKept::All; }},
        {{"--metadata", "none"}, "", [](O o) { return o.run.metadata == MetadataKept::None; }},
        {{"--metadata", "gps"}, "--metadata 'gps'", nullptr},
        // JPEG quality: 1-100, or the picture's own when not given (checked with the defaults).
        {{"--quality", "1"}, "", [](O o) { return o.run.jpegQuality == 1; }},
        {{"--quality", "100"}, "", [](O o) { return o.run.jpegQuality == 100; }},
        {{"--quality", "0"}, "--quality '0'", nullptr},
        {{"--quality", "101"}, "--quality '101'", nullptr},
        // Anchors by name and number.
        {{"--anchor", "top-left"}, "", [](O o) { return o.choices.anchor == Anchor::TopLeft; }},
        {{"--anchor", "Center"}, "", [](O o) { return o.choices.anchor == Anchor::Centre; }},
        {{"--anchor", "7"}, "", [](O o) { return o.choices.anchor == Anchor::BottomLeft; }},
        {{"--anchor", "0"}, "--anchor '0'", nullptr},
        {{"--anchor", "middle"}, "--anchor 'middle'", nullptr},
        // Formats by name, extension or MIME type, from the installed encoders.
        {{"--format", "jpeg"}, "", [](O o) { return o.choices.mimeType == "image/jpeg"; }},
        {{"--format", "JPG"}, "", [](O o) { return o.choices.mimeType == "image/jpeg"; }},
        {{"--format", "tif"}, "", [](O o) { return o.choices.mimeType == "image/tiff"; }},
        {{"--format", "image/webp"}, "", [](O o) { return o.choices.mimeType == "image/webp"; }},
        {{"--format", "image/JPEG"}, "", [](O o) { return o.choices.mimeType == "image/jpeg"; }},
        {{"--format", "JFIF"}, "", [](O o) { return o.choices.mimeType == "image/jpeg"; }},
        {{"--format", "gif"}, "--format 'gif': no installed encoder", nullptr},
        {{"--format", "gif"},
         "installed: image/bmp, image/jpeg, image/tiff, image/png, image/webp",
         nullptr},
        // Templates: the options field's rules.
        {{"--template", "a/b#c##"}, "", [](O o) { return o.choices.nameTemplate == "ab#c"; }},
        {{"--template", "  photo  "}, "", [](O o) { return o.choices.nameTemplate == "photo#"; }},
        // A template longer than the field holds would be cut into names that fail; refused.
        {{"--template", (std::string(254, 'a') + "/#").c_str()}, "longer than 254 bytes", nullptr},
        // Trailing slashes go, so that names join the folder with one.
        {{"--output", "b/o//"}, "", [](O o) { return o.choices.outputDir == "b/o"; }},
        {{"--output", "//"}, "", [](O o) { return o.choices.outputDir == "/"; }},
        {{"--first-number", "41"}, "", [](O o) { return o.choices.firstNumber == 41; }},
        {{"--first-number", "-1"}, "--first-number '-1'", nullptr},
        {{"--first-number", "4x"}, "--first-number '4x'", nullptr},
        {{"--jobs", "2"}, "", [](O o) { return o.run.jobs == 2; }},
        {{"--jobs", "0"}, "--jobs '0'", nullptr},
        {{"--memory-limit", "512M"}, "", [](O o) { return o.run.memoryBudget == 512ull << 20; }},
        {{"--memory-limit", "1.5GiB"}, "", [](O o) { return o.run.memoryBudget == 3ull << 29; }},
        {{"--memory-limit", "4096"}, "", [](O o) { return o.run.memoryBudget == 4096; }},
        {{"--memory-limit", "2gb"}, "", [](O o) { return o.run.memoryBudget == 2ull << 30; }},
        {{"--memory-limit", "0"}, "--memory-limit '0'", nullptr},
        {{"--memory-limit", "12Q"}, "--memory-limit '12Q'", nullptr},
        {{"--memory-limit", "-1G"}, "--memory-limit '-1G'", nullptr},
        {{"--memory-limit", "1,5G"}, "--memory-limit '1,5G'", nullptr},
        {{"--memory-limit", "0x10M"}, "--memory-limit '0x10M'", nullptr},
        // Sharding numbers by position; a running number across shards would collide.
        {{"--shard", "2/3"},
         "",
         [](O o) {
             return o.shardIndex == 2 && o.shardCount == 3 &&
                    o.run.numbering == Numbering::Position;
         }},
        {{"--shard", "3/3"}, "--shard '3/3'", nullptr},
        {{"--shard", "1"}, "--shard '1'", nullptr},
        {{"--shard", "0/2", "--number-by", "running"}, "--number-by 'running'", nullptr},
        // Of two faults the shard's is named first.
        {{"--number-by", "foo", "--shard", "3/3"}, "--shard '3/3'", nullptr},
        {{"--shard", "auto"},
         "",
         [](O o) { return o.shardIndex == 5 && o.shardCount == 8; },
         {"SLURM_ARRAY_TASK_ID=5", "SLURM_ARRAY_TASK_COUNT=8"}},
        {{"--shard", "auto"},
         "",
         [](O o) { return o.shardIndex == 2 && o.shardCount == 4; },
         {"SLURM_ARRAY_TASK_ID=14", "SLURM_ARRAY_TASK_COUNT=4", "SLURM_ARRAY_TASK_MIN=10",
          "SLURM_ARRAY_TASK_STEP=2"}},
        {{"--shard", "auto"}, "SLURM_ARRAY_TASK_ID", nullptr},
        // auto/M: the task's own index, from the first scheduler that gives one.
        {{"--shard", "auto/8"},
         "",
         [](O o) { return o.shardIndex == 5 && o.shardCount == 8; },
         {"SLURM_ARRAY_TASK_ID=5", "SLURM_ARRAY_TASK_COUNT=3", "SLURM_ARRAY_TASK_MIN=2"}},
        {{"--shard", "auto/8"},
         "",
         [](O o) { return o.shardIndex == 3; },
         {"JOB_COMPLETION_INDEX=3"}},
        {{"--shard", "auto/8"},
         "",
         [](O o) { return o.shardIndex == 7; },
         {"AWS_BATCH_JOB_ARRAY_INDEX=7"}},
        {{"--shard", "auto/8"}, "index the tasks from 0 to 7", nullptr, {"JOB_COMPLETION_INDEX=8"}},
        {{"--shard", "auto/8"}, "no task index: expected one of SLURM_ARRAY_TASK_ID", nullptr},
        {{"--shard", "auto"},
         "not in a Slurm array task",
         nullptr,
         {"SLURM_ARRAY_TASK_ID=8", "SLURM_ARRAY_TASK_COUNT=8"}},
        {{"--skip-existing"}, "--skip-existing needs --number-by position", nullptr},
        {{"--number-by", "position"},
         "",
         [](O o) { return o.run.numbering == Numbering::Position; }},
        {{"--name-from", "input", "--skip-existing"},
         "",
         [](O o) { return o.namesFromInputs && o.skipExisting && !o.run.replaceOtherCopies; }},
        {{"--name-from", "input", "--first-number", "3"}, "--first-number has no effect", nullptr},
        {{"--name-from", "stem"}, "--name-from 'stem'", nullptr},
        {{"--keep-folders", "photos"}, "--keep-folders 'photos': needs --name-from input", nullptr},
        {{"--log", "xml"}, "--log 'xml'", nullptr},
        {{"--margin", "5%,10%", "--opacity", "0"},
         "",
         [](O o) {
             return o.choices.marginPercent && o.choices.marginX == 5 && o.choices.marginY == 10 &&
                    o.choices.opacity == 0;
         }},
        {{"--margin", "20"},
         "",
         [](O o) { return o.choices.marginY == 20 && !o.choices.marginPercent; }},
        {{"--margin", "20,5%"}, "--margin '20,5%'", nullptr},
        {{"--opacity", "101"}, "--opacity '101'", nullptr},
        {{"--mkdir", "--dry-run", "--quiet", "--log", "jsonl"},
         "",
         [](O o) {
             return o.makeFolder && o.run.dryRun && o.quiet && o.log == LogStyle::Jsonl &&
                    !o.nulSeparated && !o.skipExisting;
         }},
        {{"-0", "-", "b.jpg"},
         "",
         [](const CliOptions& o) {
             return o.nulSeparated && o.inputs == std::vector<std::string>{"a.jpg", "-", "b.jpg"};
         }},
        {{"-", "-"}, "'-' given more than once", nullptr},
        {{"--bogus"}, "bogus", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.extra.join(' ').toStdString());
        for (const QString& variable : row.env)
            qputenv(variable.section('=', 0, 0).toUtf8(), variable.section('=', 1).toUtf8());
        const ParseResult result = Parse(row.extra, base);
        for (const QString& variable : row.env)
            qunsetenv(variable.section('=', 0, 0).toUtf8());
        if (*row.refusal == '\0') {
            ASSERT_EQ(result.kind, ParseResult::Kind::Run) << result.text;
            EXPECT_TRUE(row.check(result.options));
        } else {
            ASSERT_EQ(result.kind, ParseResult::Kind::BadUsage);
            EXPECT_NE(result.text.find(row.refusal), std::string::npos) << result.text;
        }
    }
}

TEST(CliOptions, RequiredPartsAreNamedWhenMissing) {
    const struct {
        QStringList args;
        const char* refusal;
    } rows[] = {
        {{"--output", "out", "a.jpg"}, "--overlay"},
        {{"--overlay", "logo.png", "a.jpg"}, "--output"},
        {{"--overlay", "logo.png", "--output", "out"}, "no pictures given"},
    };
    for (const auto& row : rows) {
        const ParseResult result = Parse(row.args, {});
        ASSERT_EQ(result.kind, ParseResult::Kind::BadUsage);
        EXPECT_NE(result.text.find(row.refusal), std::string::npos) << result.text;
    }
    EXPECT_EQ(Parse({"--help"}, {}).kind, ParseResult::Kind::Help);
    EXPECT_EQ(Parse({"--version"}, {}).kind, ParseResult::Kind::Version);
}

TEST(CliOptions, ListsFromStandardInputKeepEveryByteButTheSeparator) {
    const struct {
        bool nul;
        std::string text;
        std::vector<std::string> want;
    } rows[] = {
        {false, "a b.jpg\n\nc.jpg", {"x.jpg", "a b.jpg", "c.jpg"}},
        {true, std::string("a\nb.jpg\0c.jpg\0", 14), {"x.jpg", "a\nb.jpg", "c.jpg"}},
    };
    for (const auto& row : rows) {
        CliOptions options;
        options.inputs = {"x.jpg", "-"};
        options.nulSeparated = row.nul;
        std::FILE* in = fmemopen(const_cast<char*>(row.text.data()), row.text.size(), "r");
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(ExpandInputs(options, in), row.want);
        std::fclose(in);
    }
}
