#include "app/framework/UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <string>

namespace {
constexpr char kContext[] = "Text";
} // namespace

QString UiText(const char* text) {
    if (text == nullptr || text[0] == '\0')
        return QString();
    return QCoreApplication::translate(kContext, text);
}

QString UiLocalText(const char* text) {
    if (text == nullptr || text[0] == '\0')
        return QString();
    const QString untranslated = QString::fromUtf8(text);
    const QString shown = QCoreApplication::translate(kContext, text);
    return shown == untranslated ? QString::fromLocal8Bit(text) : shown;
}

std::string UiLocal(const char* text) {
    return UiLocalText(text).toLocal8Bit().toStdString();
}

void LoadTranslations() {
    auto* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    const QLocale locale;
    // Qt's own dialogs (the file chooser's "Look in", the message box's buttons).
    auto* qt = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    auto* own = new QTranslator(app);
    if (own->load(locale, QCoreApplication::applicationName().toLower(), QStringLiteral("_"),
                  QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(own);
    else
        delete own;
}
