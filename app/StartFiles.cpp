#include "app/StartFiles.h"

#include "res/Version.h"
#include "ui/PictureFiles.h"

#include <QFile>
#include <QFileInfo>

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
    for (const std::string& argument : arguments) {
        const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(argument)));
        if (info.isDir()) {
            const std::vector<std::string> inside = PictureFiles::InFolder(argument);
            files.insert(files.end(), inside.begin(), inside.end());
            continue;
        }
        // A missing name still goes to the window, which says in its own message what it left
        // out: the terminal may be hidden, or belong to another start.
        if (!info.exists())
            std::fprintf(stderr, "pictorum: %s: no such file or folder\n", argument.c_str());
        files.push_back(QFile::encodeName(info.absoluteFilePath()).toStdString());
    }
    return files;
}
