// The walk of the option table that turns a command line into CliOptions.
#include "cli/CliOptionTable.h"
#include "cli/CliOptions.h"
#include "engine/ItemFailure.h"
#include "engine/OutputFormat.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0    every picture was stamped and written (or skipped, its output there)\n"
    "  1    some pictures failed for good: they cannot be read or stamped, or their copies\n"
    "       are refused for a reason a rerun meets again; each is named in the log, its\n"
    "       reason on standard error\n"
    "  2    bad usage, found before any picture was read\n"
    "  3    some copies could not be written because the system refused (no space left on\n"
    "       device, file too large, permission denied, an I/O error): the pictures are good,\n"
    "       and running again once that is mended may do them (with 1's failures as well)\n"
    "  129  stopped by SIGHUP\n"
    "  130  stopped by SIGINT (Ctrl+C)\n"
    "  138  stopped by SIGUSR1 (Slurm's --signal=USR1@60 before a time limit)\n"
    "  140  stopped by SIGUSR2\n"
    "  141  stopped because standard output was closed\n"
    "  143  stopped by SIGTERM\n"
    "A stopped run finishes or drops the pictures in flight and leaves no file half-written.\n";

// The jsonl log's reason codes, wrapped as the rest of the help is.
std::string ReasonCodeHelp() {
    std::string text = "Reason codes of the jsonl log (reason_code), which never change:\n ";
    std::size_t column = 1;
    for (const char* code : FailureCodes()) {
        const std::size_t length = std::strlen(code) + 1;
        if (column + length > 78) {
            text += "\n ";
            column = 1;
        }
        text += std::string(" ") + code;
        column += length;
    }
    return text + "\n";
}

std::string Local(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// The parser sees every argument as Latin-1, one character per byte, so that its values give
// back the exact bytes of the command line (a file name need not be text of the locale).
std::string Bytes(const QString& text) {
    return text.toLatin1().toStdString();
}

ParseResult BadUsage(const std::string& message) {
    ParseResult result;
    result.kind = ParseResult::Kind::BadUsage;
    result.text = message;
    return result;
}

QCommandLineOption OptionOf(const CliOptionRow& row) {
    QStringList names;
    if (row.shortName != nullptr)
        names << QString::fromLatin1(row.shortName);
    names << QString::fromLatin1(row.name);
    return QCommandLineOption(names, QString::fromLatin1(row.help),
                              row.valueName ? QString::fromLatin1(row.valueName) : QString());
}

// The option whose name is nearest to a mistyped one (--jobz, --overlya), or null when none
// is near enough to be what was meant.
const char* Nearest(const std::string& typed) {
    const auto distance = [](const std::string& a, const std::string& b) {
        std::vector<std::size_t> row(b.size() + 1);
        for (std::size_t j = 0; j <= b.size(); ++j)
            row[j] = j;
        for (std::size_t i = 1; i <= a.size(); ++i) {
            std::size_t diagonal = row[0];
            row[0] = i;
            for (std::size_t j = 1; j <= b.size(); ++j) {
                const std::size_t above = row[j];
                row[j] = std::min(
                    {row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
                diagonal = above;
            }
        }
        return row[b.size()];
    };
    const char* best = nullptr;
    std::size_t bestDistance = 3; // two edits at most
    for (const CliOptionRow& row : CliOptionRows()) {
        const std::size_t d = distance(typed, row.name);
        if (d < bestDistance && d < std::strlen(row.name)) {
            best = row.name;
            bestDistance = d;
        }
    }
    return best;
}

// --list-formats: the installed encoders, one a line: name, MIME type, extensions.
std::string FormatList() {
    std::string text;
    for (const OutputFormat& format : OutputFormat::Installed())
        if (format.HasMime())
            text += format.Mime().substr(format.Mime().find('/') + 1) + "\t" + format.Mime() +
                    "\t." + format.Extension() + "\n";
    return text;
}

ParseResult Answer(ParseResult::Kind kind, const QCommandLineParser& parser) {
    ParseResult result;
    result.kind = kind;
    if (kind == ParseResult::Kind::ListFormats) {
        result.text = FormatList();
        return result;
    }
    if (kind == ParseResult::Kind::Version) {
        result.text = "pictorum-batch " + Local(QCoreApplication::applicationVersion()) + "\n";
        return result;
    }
    // The usage line names the program, not the path it was started by.
    QString text = parser.helpText();
    const qsizetype lineEnd = text.indexOf(u'\n');
    text.replace(0, lineEnd, "Usage: pictorum-batch [options] PICTURE...");
    result.text = Local(text) + "\n" + kExitStatusHelp + "\n" + ReasonCodeHelp();
    return result;
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args, int defaultJobs) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Stamps one overlay picture onto many pictures and writes the stamped copies, named "
        "from a template with a running number, into an output folder.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const CliOptionRow& row : CliOptionRows())
        parser.addOption(OptionOf(row));
    parser.addPositionalArgument("PICTURE",
                                 "The pictures to stamp, in order; '-' reads a list, one per "
                                 "line, from standard input.",
                                 "PICTURE...");

    QStringList latin;
    for (const std::string& arg : args)
        latin << QString::fromLatin1(arg.data(), static_cast<qsizetype>(arg.size()));
    if (!parser.parse(latin)) {
        std::string message = Printable(Bytes(parser.errorText()));
        for (const QString& unknown : parser.unknownOptionNames())
            if (const char* near = Nearest(Bytes(unknown)))
                message += std::string(" Did you mean --") + near + "?";
        return BadUsage(message);
    }
    std::map<std::string, std::string> given;
    for (const CliOptionRow& row : CliOptionRows()) {
        const QString name = QString::fromLatin1(row.name);
        if (parser.isSet(name))
            given[row.name] = Bytes(parser.value(name));
    }
    for (const CliOptionRow& row : CliOptionRows())
        if (row.answer != ParseResult::Kind::Run && given.count(row.name))
            return Answer(row.answer, parser);

    CliOptions options;
    options.run.jobs = std::clamp(defaultJobs, 1, kMaxJobs);
    // Runs from scripts meet each other's copies (chunks, reruns): each copy says whose it is.
    options.run.recordSource = true;
    options.run.replaceOtherCopies = false;
    for (const CliOptionRow& row : CliOptionRows())
        if (row.missing != nullptr && (!given.count(row.name) || given[row.name].empty()))
            return BadUsage(row.missing);
    for (const CliOptionRow& row : CliOptionRows()) {
        const auto value = given.find(row.name);
        if (value == given.end())
            continue;
        if (row.flag != nullptr)
            options.*row.flag = true;
        if (row.apply == nullptr)
            continue;
        if (const std::string refusal = row.apply({row.name, value->second, given}, options);
            !refusal.empty())
            return BadUsage(refusal);
    }

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
