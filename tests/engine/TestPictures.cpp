#include "TestPictures.h"

#include <QFile>
#include <cstdlib>

QImage SolidImage(int width, int height, const QColor& colour, QImage::Format format) {
    QImage image(width, height, format);
    if (format == QImage::Format_Indexed8) {
        image.setColorTable({colour.rgba(), qRgb(0, 0, 0)});
        image.fill(0);
    } else {
        image.fill(colour);
    }
    return image;
}

std::string PathIn(const QTemporaryDir& dir, const QString& name) {
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

std::string SavePicture(const QTemporaryDir& dir, const QString& name, const QImage& image) {
    if (!image.save(dir.filePath(name)))
        return {};
    return PathIn(dir, name);
}

bool NearColour(QRgb a, const QColor& b, int tolerance) {
    return std::abs(qRed(a) - b.red()) <= tolerance &&
           std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance &&
           std::abs(qAlpha(a) - b.alpha()) <= tolerance;
}
