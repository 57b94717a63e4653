// The open-file dialog and the folder chooser, driven through Qt's own dialogs: filters match
// extensions in any letter case, results come back in the Windows buffer layout and never cut,
// and the chooser shows its title text.

#include "TestMain.h"
#include "dialog_TestSupport.h"

#include "app/framework/FileDialog.h"
#include "app/framework/FolderDialog.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace dialog_test;

namespace {

// Runs script on the next modal window once it is up and active.
void WhenModalUp(std::function<void(QWidget*)> script) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, script] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        WaitFor([modal] { return modal->isActiveWindow(); });
        script(modal);
    });
    poll->start();
}

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QStringList Patterns(const QString& qtFilter) {
    const qsizetype open = qtFilter.lastIndexOf(QLatin1Char('('));
    return qtFilter.mid(open + 1, qtFilter.size() - open - 2)
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool AnyMatches(const QStringList& patterns, const QString& name) {
    for (const QString& p : patterns) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(p));
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

QStringList ShownNames(QFileDialog* dialog) {
    QStringList names;
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (view == nullptr)
        return names;
    const QModelIndex root = view->rootIndex();
    for (int i = 0; i < view->model()->rowCount(root); ++i)
        names << view->model()->index(i, 0, root).data().toString();
    names.sort();
    return names;
}

} // namespace

TEST(DialogFileFilter, WindowsFilterBecomesCaseBlindQtFilters) {
    const std::string filter = "All Supported Formats|*.BMP;*.DIB;*.RLE;*.PNG|"
                               "BMP File (*.BMP;*.DIB;*.RLE)|*.BMP;*.DIB;*.RLE|"
                               "PNG File (*.PNG)|*.PNG||";
    const QStringList filters = WindowsFilterToQt(filter);
    ASSERT_EQ(filters.size(), 3);
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("BMP File (*.BMP;*.DIB;*.RLE) (")));
    struct Case {
        int filter;
        const char* name;
        bool matches;
    };
    for (const Case& c :
         {Case{0, "photo.bmp", true}, Case{0, "PHOTO.PNG", true}, Case{0, "a.Rle", true},
          Case{0, "a.jpg", false}, Case{1, "x.DiB", true}, Case{1, "x.png", false},
          Case{2, "shot.png", true}, Case{2, "shot.png.txt", false}}) {
        EXPECT_EQ(AnyMatches(Patterns(filters[c.filter]), QString::fromUtf8(c.name)), c.matches)
            << c.filter << " " << c.name;
    }
}

TEST(DialogFileFilter, DesktopChoosersGetEachPatternInLowerAndUpperCase) {
    EXPECT_EQ(
        WindowsFilterToQt("Pictures (*.PNG;*.Jpg)|*.PNG;*.Jpg|All|*||", PatternCase::LowerAndUpper),
        (QStringList{QStringLiteral("Pictures (*.PNG;*.Jpg) (*.png *.PNG *.jpg *.JPG)"),
                     QStringLiteral("All (*)")}));
}

TEST(DialogFileOpen, SizeColumnShowsSizesWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& [name, bytes] : {std::pair{"small.png", 317'988}, {"large.png", 1'048'575}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(bytes));
    }
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    char buffer[256] = {};
    OPENFILENAMEA ofn{};
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrInitialDir = folder.c_str();
    int column = -1, needed = -1;
    WhenModalUp([&](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        dialog->setViewMode(QFileDialog::Detail);
        auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(tree, nullptr);
        WaitFor([&] {
            const QModelIndex root = tree->rootIndex();
            int sized = 0;
            for (int i = 0; i < tree->model()->rowCount(root); ++i)
                sized += tree->model()->index(i, 1, root).data().toString().isEmpty() ? 0 : 1;
            return sized >= 2;
        });
        column = tree->header()->sectionSize(1);
        // What the size column's cells ask for, margins and all.
        QStyleOptionViewItem option;
        option.initFrom(tree);
        const QModelIndex root = tree->rootIndex();
        for (int i = 0; i < tree->model()->rowCount(root); ++i)
            needed = std::max(
                needed,
                tree->itemDelegate()->sizeHint(option, tree->model()->index(i, 1, root)).width());
        PressKey(window, Qt::Key_Escape);
    });
    GetOpenFileNameA(&ofn);
    EXPECT_GE(column, needed);
    EXPECT_GT(needed, 0);
}

TEST(DialogFileOpen, MultipleSelectionFillsTheWindowsBufferLayout) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Touch(dir.filePath(QStringLiteral("photo.jpg")));
    Touch(dir.filePath(QStringLiteral("Second.PNG")));
    Touch(dir.filePath(QStringLiteral("notes.txt")));
    const std::string folder = QFile::encodeName(dir.path()).toStdString();

    char buffer[8192] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    const char filter[] = "Images (*.JPG;*.PNG)\0*.JPG;*.PNG\0\0";
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;

    QStringList shown;
    WhenModalUp([&](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(dialog, nullptr);
        WaitFor([&] { return ShownNames(dialog).size() >= 2; });
        shown = ShownNames(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setFocus();
        TypeText(window, QStringLiteral("\"photo.jpg\" \"Second.PNG\""));
        PressKey(window, Qt::Key_Return);
    });
    const BOOL ok = GetOpenFileNameA(&ofn);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Second.PNG"), QStringLiteral("photo.jpg")}));
    ASSERT_TRUE(ok);
    const std::string expected = folder + '\0' + "photo.jpg" + '\0' + "Second.PNG" + '\0' + '\0';
    EXPECT_EQ(std::string(buffer, expected.size()), expected);
    EXPECT_EQ(ofn.nFileOffset, folder.size() + 1);
}

TEST(DialogFileOpen, ResultThatDoesNotFitFailsAndIsKeptForALargerBuffer) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Touch(dir.filePath(QStringLiteral("a-rather-long-file-name.jpg")));
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    char buffer[16] = {};
    OPENFILENAMEA ofn{};
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST;
    WhenModalUp([&](QWidget* window) {
        auto* name = window->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setFocus();
        TypeText(window, QStringLiteral("a-rather-long-file-name.jpg"));
        PressKey(window, Qt::Key_Return);
    });
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    // The size it needs in the first two bytes, as Windows reports it; no part of the path.
    const std::string path = folder + "/a-rather-long-file-name.jpg";
    WORD needed = 0;
    std::memcpy(&needed, buffer, sizeof needed);
    EXPECT_EQ(needed, path.size() + 2);
    EXPECT_EQ(RequiredOpenFileSize(), path.size() + 2);
    EXPECT_EQ(std::string(buffer + 2, sizeof buffer - 2), std::string(sizeof buffer - 2, '\0'));
    std::vector<char> larger(RequiredOpenFileSize(), 'x');
    ofn.lpstrFile = larger.data();
    ofn.nMaxFile = DWORD(larger.size());
    ASSERT_TRUE(TakeOpenFileResult(&ofn));
    EXPECT_EQ(std::string(larger.data(), larger.size()), path + '\0' + '\0');
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_FALSE(TakeOpenFileResult(&ofn)) << "handed over once";
}

TEST(DialogFolder, ChooserShowsItsTitleAndReturnsTheTypedFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    const QString target = dir.filePath(QStringLiteral("out"));
    QString titleShown;
    WhenModalUp([&](QWidget* window) {
        if (auto* title = window->findChild<QLabel*>(QStringLiteral("browseTitle")))
            titleShown = title->text();
        auto* name = window->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setFocus();
        TypeText(window, target);
        PressKey(window, Qt::Key_Return);
    });
    char display[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.lpszTitle = "Please select folder.\n\nWARNING: overwritten.";
    info.pszDisplayName = display;
    info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_SHAREABLE;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    ASSERT_NE(item, nullptr);
    char path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetPathFromIDListA(item, path));
    CoTaskMemFree(item);
    EXPECT_EQ(QFile::decodeName(path), QDir(target).absolutePath());
    EXPECT_STREQ(display, "out");
    EXPECT_EQ(titleShown, QStringLiteral("Please select folder.\n\nWARNING: overwritten."));
}

TEST(DialogFolder, CancelGivesNoItem) {
    WhenModalUp([](QWidget* window) { PressKey(window, Qt::Key_Escape); });
    BROWSEINFOA info{};
    info.lpszTitle = "Pick";
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, nullptr));
}

// The dialog tests drive real widgets on the offscreen platform.
test_main::Program test_main::ThisProgram() {
    return {.application = &dialog_driving::WidgetApplication, .imaging = false, .setUp = [] {
                QApplication::setQuitOnLastWindowClosed(false);
            }};
}
