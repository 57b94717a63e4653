#include "imaging/ResourcePaths.h"

namespace {

QString folder(const char* kind, bool dark) {
    return dark ? QStringLiteral(":/%1/dark").arg(QLatin1String(kind))
                : QStringLiteral(":/%1").arg(QLatin1String(kind));
}

} // namespace

QString IconResourcePath(int id, bool dark) {
    return QStringLiteral("%1/%2.png").arg(folder("icon", dark)).arg(id);
}

QString IconSizesResourceFolder(int id, bool dark) {
    return QStringLiteral("%1/%2").arg(folder("icon", dark)).arg(id);
}

QString BitmapResourcePath(int id, bool dark) {
    return QStringLiteral("%1/%2.png").arg(folder("bitmap", dark)).arg(id);
}

QString ScaledBitmapResourcePath(int id, double scale, bool dark) {
    return QStringLiteral("%1/%2@%3x.png").arg(folder("bitmap", dark)).arg(id).arg(scale);
}
