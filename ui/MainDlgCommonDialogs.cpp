#include "ui/MainDlgCommonDialogs.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include <cstring>

namespace common_dialogs {

namespace {

QWidget* OwnerWidget(CWnd* owner) {
    return owner != nullptr ? owner->GetWidget() : nullptr;
}

// "*.JPG" becomes "*.[jJ][pP][gG]".
QString AnyCaseWildcard(const QString& pattern) {
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += QLatin1Char('[');
            out += c.toLower();
            out += c.toUpper();
            out += QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

std::string FileSystemBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

QStringList NameFiltersOfWindowsFilter(const char* filter) {
    QStringList filters;
    if (filter == nullptr)
        return filters;
    const QStringList parts = QString::fromLocal8Bit(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        if (name.isEmpty())
            break; // the "||" that ends the text
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << AnyCaseWildcard(pattern.trimmed());
        // The dialog shows the name only (HideNameFilterDetails); the last parenthesis holds
        // what it matches.
        filters << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

BOOL GetOpenFileName(OpenFileRequest& request) {
    if (request.file == nullptr || request.maxFile < 2)
        return FALSE;
    const bool multiple = (request.flags & OFN_ALLOWMULTISELECT) != 0;
    QFileDialog dialog(OwnerWidget(request.owner), QStringLiteral("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Existing files only, whatever OFN_FILEMUSTEXIST says: there is nothing to open otherwise.
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    const QStringList filters = NameFiltersOfWindowsFilter(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    const std::size_t initialLength = strnlen(request.file, request.maxFile);
    if (initialLength > 0 && initialLength < request.maxFile)
        dialog.selectFile(QFile::decodeName(QByteArray(request.file, qsizetype(initialLength))));

    if (dialog.exec() != QDialog::Accepted)
        return FALSE;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return FALSE;

    std::string result;
    if (files.size() == 1) {
        result = FileSystemBytes(files.first());
        result.push_back('\0');
    } else {
        // The multiple-selection layout names one folder for all files.
        const QString folder = QFileInfo(files.first()).absolutePath();
        result = FileSystemBytes(folder);
        result.push_back('\0');
        for (const QString& file : files) {
            const QFileInfo info(file);
            if (info.absolutePath() != folder)
                return FALSE;
            result += FileSystemBytes(info.fileName());
            result.push_back('\0');
        }
    }
    result.push_back('\0');
    if (result.size() > request.maxFile)
        return FALSE; // as Windows does when the names do not fit
    std::memcpy(request.file, result.data(), result.size());
    return TRUE;
}

FolderChoice BrowseForFolder(const BrowseFolderRequest& request) {
    QDialog window(OwnerWidget(request.owner));
    window.setWindowTitle(QStringLiteral("Browse For Folder"));
    auto* layout = new QVBoxLayout(&window);
    auto* title = new QLabel(&window);
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);
    title->setText(QString::fromLocal8Bit(request.title != nullptr ? request.title : ""));
    layout->addWidget(title);

    // The file dialog as a part of this window: it lists folders only, has a line to type a
    // folder in and a button that makes a new one.
    auto* folders = new QFileDialog(&window, Qt::Widget);
    folders->setOption(QFileDialog::DontUseNativeDialog);
    folders->setOption(QFileDialog::ShowDirsOnly);
    folders->setFileMode(QFileDialog::Directory);
    folders->setAcceptMode(QFileDialog::AcceptOpen);
    folders->setDirectory(QDir::homePath());
    layout->addWidget(folders);
    QObject::connect(folders, &QDialog::finished, &window, &QDialog::done);
    window.resize(640, 480);

    FolderChoice choice;
    if (window.exec() != QDialog::Accepted)
        return choice;
    choice.chosen = true;
    const QStringList selected = folders->selectedFiles();
    if (!selected.isEmpty()) {
        const QFileInfo info(selected.first());
        if (info.isAbsolute() && info.isDir()) {
            choice.hasPath = true;
            choice.path = FileSystemBytes(info.absoluteFilePath());
        }
    }
    return choice;
}

} // namespace common_dialogs
