#include "app/framework/FolderDialog.h"

#include "app/framework/Dialog.h"

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

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
    if (info == nullptr)
        return nullptr;
    CDialog* owner = CDialog::FromHandle(info->hwndOwner);
    QDialog outer(owner != nullptr ? owner->GetWidget() : nullptr);
    outer.setWindowTitle(QStringLiteral("Browse For Folder"));
    auto* layout = new QVBoxLayout(&outer);
    if (info->lpszTitle != nullptr && info->lpszTitle[0] != '\0') {
        auto* title = new QLabel(QString::fromLocal8Bit(info->lpszTitle), &outer);
        title->setObjectName(QStringLiteral("browseTitle"));
        title->setTextFormat(Qt::PlainText);
        title->setWordWrap(true);
        layout->addWidget(title);
    }
    // Qt's own folder dialog, embedded: it has the field to type a folder in and the button
    // that makes a new one; it offers local folders only.
    auto* chooser = new QFileDialog(&outer);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setSizeGripEnabled(false);
    layout->addWidget(chooser);
    QObject::connect(chooser, &QFileDialog::finished, &outer, &QDialog::done);
    if (outer.exec() != QDialog::Accepted)
        return nullptr;
    const QStringList chosen = chooser->selectedFiles();
    if (chosen.isEmpty())
        return nullptr;
    const QFileInfo folder(chosen.first());
    if (!folder.isDir())
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

LPITEMIDLIST SHBrowseForFolder(BROWSEINFOA* info) {
    return SHBrowseForFolderA(info);
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

BOOL SHGetPathFromIDList(LPCITEMIDLIST item, char* path) {
    return SHGetPathFromIDListA(item, path);
}

void CoTaskMemFree(void* memory) {
    delete static_cast<ITEMIDLIST_*>(memory);
}
