#include "app/framework/FolderDialog.h"
#include "app/framework/AwayFromWindow.h"
#include "app/framework/UiText.h"

#include "app/framework/Dialog.h"
#include "app/framework/FileDialog.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include <cstring>
#include <string>

struct ITEMIDLIST_ {
    std::string path;
};

namespace {
// The title text on one line, for a window title.
QString OneLine(const QString& text) {
    return text.simplified();
}

QStringList ChooseOnDesktop(QWidget* parent, const QString& title) {
    // The desktop's chooser has no place for text inside it: the whole title text, warning
    // and all, becomes its window title. It lets the user type a folder and make a new one.
    QFileDialog chooser(parent);
    chooser.setWindowTitle(title.isEmpty() ? UiText("Choose Folder") : OneLine(title));
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setFileMode(QFileDialog::Directory);
    if (chooser.exec() != QDialog::Accepted)
        return {};
    return chooser.selectedFiles();
}

QStringList ChooseInWidgetDialog(QWidget* parent, const QString& title) {
    QDialog outer(parent);
    // The window title names the task; the full text, with its warning, stays inside.
    const QString firstLine = title.section(QLatin1Char('\n'), 0, 0).trimmed();
    outer.setWindowTitle(firstLine.isEmpty() ? UiText("Choose Folder") : firstLine);
    auto* layout = new QVBoxLayout(&outer);
    if (!title.isEmpty()) {
        auto* label = new QLabel(title, &outer);
        label->setObjectName(QStringLiteral("browseTitle"));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    // Qt's own folder dialog, embedded: it has the field to type a folder in and the button
    // that makes a new one; it offers local folders only.
    auto* chooser = new QFileDialog(&outer);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setSizeGripEnabled(false);
    WidenSizeColumn(*chooser);
    layout->addWidget(chooser);
    QObject::connect(chooser, &QFileDialog::finished, &outer, &QDialog::done);
    if (outer.exec() != QDialog::Accepted)
        return {};
    return chooser->selectedFiles();
}
} // namespace

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
    if (info == nullptr)
        return nullptr;
    CDialog* owner = CDialog::FromHandle(info->hwndOwner);
    QWidget* parent = owner != nullptr ? owner->GetWidget() : nullptr;
    const QString title = UiLocalText(info->lpszTitle);
    const QStringList chosen =
        UseDesktopChooser() ? ChooseOnDesktop(parent, title) : ChooseInWidgetDialog(parent, title);
    if (chosen.isEmpty())
        return nullptr;
    bool isFolder = false;
    RunAwayFromWindow([&] { isFolder = QFileInfo(chosen.first()).isDir(); });
    const QFileInfo folder(chosen.first());
    if (!isFolder)
        return nullptr;
    auto* item = new ITEMIDLIST_{QFile::encodeName(folder.absoluteFilePath()).toStdString()};
    if (info->pszDisplayName != nullptr) {
        const std::string name = QFile::encodeName(folder.fileName()).toStdString();
        const size_t n = std::min<size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(info->pszDisplayName, name.data(), n);
        info->pszDisplayName[n] = '\0';
    }
    return item;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST item, char* path) {
    if (item == nullptr || path == nullptr || item->path.empty())
        return FALSE;
    if (item->path.size() >= MAX_PATH) {
        path[0] = '\0';
        return FALSE;
    }
    std::memcpy(path, item->path.c_str(), item->path.size() + 1);
    return TRUE;
}

void CoTaskMemFree(void* memory) {
    delete static_cast<ITEMIDLIST_*>(memory);
}
