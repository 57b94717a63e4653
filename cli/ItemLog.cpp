#include "cli/ItemLog.h"

#include "engine/TextHelpers.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Paths stay bytes from the command line to the file system: Qt's file classes would decode
// them in the locale's encoding and lose a name it cannot decode.
QString Shown(const std::string& path) {
    return QString::fromUtf8(Printable(path));
}

// As in the windowed log, escaped where the terminal could not show it.
std::string ItemName(const std::string& path) {
    return Printable(FileNameOrPath(path.c_str()));
}

} // namespace

bool WriteLog(const CliOptions& options, const PipelineReport& report, std::FILE* out) {
    const bool done = report.outcome == ItemOutcome::Done;
    if (options.quiet && done)
        return true;
    const std::string message = std::string(ItemOutcomeText(report.outcome)) +
                                (report.profileIgnored ? kProfileIgnoredText : "");
    if (options.log == LogStyle::Jsonl) {
        QJsonObject line;
        line["index"] = static_cast<qint64>(report.item->position);
        line["input"] = Shown(report.item->path);
        line["output"] = report.outputPath.empty() ? QJsonValue() : Shown(report.outputPath);
        line["status"] = !done ? "failed" : options.run.dryRun ? "dry-run" : "done";
        line["message"] = QString::fromStdString(message);
        if (!report.reason.empty())
            line["reason"] = QString::fromUtf8(Printable(report.reason));
        std::fprintf(out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    } else if (options.run.dryRun && done) {
        std::fprintf(out, "%s\n", Printable(report.outputPath).c_str());
    } else {
        // The progress dialog's log line: name, " ... ", outcome.
        std::fprintf(out, "%s ... %s\n", ItemName(report.item->path).c_str(), message.c_str());
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

void WriteSkipped(const CliOptions& options, const PipelineItem& item, const std::string& path,
                  std::FILE* out) {
    if (options.log == LogStyle::Jsonl) {
        QJsonObject line;
        line["index"] = static_cast<qint64>(item.position);
        line["input"] = Shown(item.path);
        line["output"] = Shown(path);
        line["status"] = "skipped";
        line["message"] = "Skipped: the output exists";
        std::fprintf(out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    } else if (!options.quiet) {
        std::fprintf(out, "%s ... Skipped: %s exists\n", ItemName(item.path).c_str(),
                     Printable(FileNameOrPath(path.c_str())).c_str());
    }
}
