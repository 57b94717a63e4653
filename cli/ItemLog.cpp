#include "cli/ItemLog.h"

#include "engine/TextHelpers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace {

// A name exactly: as JSON text when its bytes are UTF-8, else (a Latin-1 name, say) as the
// base64 of its bytes under key_base64, so that a script opening it gets the very file.
void PutName(QJsonObject& line, const char* key, const std::string& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!decoder.hasError())
        line[key] = text;
    else
        line[QString::fromLatin1(key) + "_base64"] =
            QString::fromLatin1(QByteArray::fromStdString(bytes).toBase64());
}

bool PutLine(const QJsonObject& line, std::FILE* out) {
    std::fprintf(out, "%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    return true;
}

// The picture as the list named it, not only its file name as the windowed log shows it:
// pictures of several folders may share a name. Escaped where the terminal could not show it.
std::string ItemName(const std::string& path) {
    return Printable(path);
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
        PutName(line, "input", report.item->Path());
        if (report.outputPath.empty())
            line["output"] = QJsonValue();
        else
            PutName(line, "output", report.outputPath);
        line["status"] = !done ? "failed" : options.run.dryRun ? "dry-run" : "done";
        line["message"] = QString::fromStdString(message);
        if (!report.reason.empty())
            line["reason"] = QString::fromUtf8(Printable(report.reason));
        if (!done)
            line["reason_code"] = report.reasonCode != nullptr ? report.reasonCode : "unknown";
        line["ms"] = static_cast<qint64>(report.milliseconds);
        line["bytes"] = static_cast<qint64>(report.bytes);
        if (report.width > 0) {
            line["width"] = static_cast<qint64>(report.width);
            line["height"] = static_cast<qint64>(report.height);
        }
        PutLine(line, out);
    } else if (options.run.dryRun && done) {
        std::fprintf(out, "%s\n", Printable(report.outputPath).c_str());
    } else {
        // The progress dialog's log line: name, " ... ", outcome.
        std::fprintf(out, "%s ... %s\n", ItemName(report.item->Path()).c_str(), message.c_str());
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

void WriteSkipped(const CliOptions& options, const PipelineItem& item, const std::string& path,
                  std::FILE* out) {
    if (options.log == LogStyle::Jsonl) {
        QJsonObject line;
        line["index"] = static_cast<qint64>(item.position);
        PutName(line, "input", item.Path());
        PutName(line, "output", path);
        line["status"] = "skipped";
        line["message"] = "Skipped: the output exists";
        PutLine(line, out);
    } else if (!options.quiet) {
        std::fprintf(out, "%s ... Skipped: %s exists\n", ItemName(item.Path()).c_str(),
                     Printable(FileNameOrPath(path.c_str())).c_str());
    }
}

bool WriteSummary(const CliOptions& options, const RunSummary& summary, std::FILE* out) {
    if (options.log != LogStyle::Jsonl)
        return true;
    QJsonObject line;
    line["summary"] = true;
    line["total"] = static_cast<qint64>(summary.total);
    line["written"] = static_cast<qint64>(summary.written);
    line["skipped"] = static_cast<qint64>(summary.skipped);
    line["failed"] = static_cast<qint64>(summary.failed);
    line["unwritten"] = static_cast<qint64>(summary.unwritten);
    line["ms"] = static_cast<qint64>(summary.milliseconds);
    line["status"] = summary.status;
    PutLine(line, out);
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}
