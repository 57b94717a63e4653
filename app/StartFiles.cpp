#include "app/StartFiles.h"

#include "engine/EncoderList.h"
#include "res/Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kHelp[] =
    "Usage: pictorum [FILE...]\n"
    "Stamps one overlay picture onto many photographs.\n"
    "\n"
    "Each FILE is added to the list of background pictures; a folder adds the pictures in it.\n"
    "While the program already runs, the files go to its window instead.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

// The import filter's patterns ("*.JPG", ...); the folder listing matches them in any case.
QStringList PicturePatterns() {
    QStringList patterns;
    const EncoderList encoders;
    for (const ImageCodecInfo& encoder : encoders)
        for (const std::string& extension : EncoderExtensions(encoder))
            patterns << QStringLiteral("*.") + QString::fromLocal8Bit(extension);
    return patterns;
}

} // namespace

StartAction StartActionFor(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return StartAction::PrintHelp;
        if (std::strcmp(argv[i], "--version") == 0)
            return StartAction::PrintVersion;
    }
    return StartAction::OpenWindow;
}

int PrintStartText(StartAction action) {
    if (action == StartAction::PrintHelp)
        std::fputs(kHelp, stdout);
    else if (action == StartAction::PrintVersion)
        std::printf("pictorum %s\n", PICTORUM_VERSION_STRING);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::vector<std::string> ExpandStartFiles(const std::vector<std::string>& arguments) {
    std::vector<std::string> files;
    QStringList patterns;
    for (const std::string& argument : arguments) {
        const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(argument)));
        if (info.isDir()) {
            if (patterns.isEmpty())
                patterns = PicturePatterns();
            const QDir folder(info.absoluteFilePath());
            const QStringList names =
                folder.entryList(patterns, QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name);
            for (const QString& name : names)
                files.push_back(QFile::encodeName(folder.filePath(name)).toStdString());
        } else if (info.exists()) {
            files.push_back(QFile::encodeName(info.absoluteFilePath()).toStdString());
        } else {
            std::fprintf(stderr, "pictorum: %s: no such file or folder\n", argument.c_str());
        }
    }
    return files;
}
