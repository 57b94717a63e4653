#include "app/framework/Shell.h"

#include <QProcess>
#include <QString>
#include <QStringList>

bool ShellOpenURL(const char* url) {
    if (url == nullptr || url[0] == '\0')
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   QStringList{QString::fromLocal8Bit(url)});
}
