#include "ui/PictureFiles.h"

#include "engine/EncoderList.h"
#include "engine/ImageFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

QString Decoded(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string Encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The import filter's patterns ("*.JPG", ...).
QStringList PicturePatterns() {
    QStringList patterns;
    const EncoderList encoders;
    for (const ImageCodecInfo& encoder : encoders)
        for (const std::string& extension : EncoderExtensions(encoder))
            patterns << QStringLiteral("*.") + QString::fromLocal8Bit(extension);
    return patterns;
}

bool HasPictureExtension(const QFileInfo& info, const QStringList& patterns) {
    const QString suffix = QStringLiteral("*.") + info.suffix();
    return patterns.contains(suffix, Qt::CaseInsensitive);
}

} // namespace

std::vector<std::string> PictureFiles::InFolder(const std::string& folder) {
    std::vector<std::string> files;
    const QDir dir(QFileInfo(Decoded(folder)).absoluteFilePath());
    const QStringList names =
        dir.entryList(PicturePatterns(), QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name);
    for (const QString& name : names)
        files.push_back(Encoded(dir.filePath(name)));
    return files;
}

PictureFiles PictureFiles::Sort(const std::vector<std::string>& paths) {
    PictureFiles sorted;
    QStringList patterns;
    for (const std::string& path : paths) {
        const QFileInfo info(Decoded(path));
        if (info.isDir()) {
            std::vector<std::string> inside = InFolder(path);
            sorted.pictures.insert(sorted.pictures.end(), inside.begin(), inside.end());
            continue;
        }
        if (!info.exists()) {
            sorted.refused.push_back({path, Refusal::Missing});
            continue;
        }
        if (patterns.isEmpty())
            patterns = PicturePatterns();
        // A picture's own extension answers at once; any other file is asked of the library by
        // its header (a GIF, a photo without an extension), so only what it cannot read at all
        // is refused.
        CImageFile probe;
        if (HasPictureExtension(info, patterns) || probe.LoadFromFile(path.c_str()))
            sorted.pictures.push_back(path);
        else
            sorted.refused.push_back({path, Refusal::NotAPicture});
    }
    return sorted;
}
