// The background list: shortened lines with full paths behind them, the duplicate test, and
// the list commands driven through the main window.

#include "MainDlgTestSupport.h"

#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace maindlg_test;

namespace {

class FileListTest : public ::testing::Test {
  protected:
    void SetUp() override { UseProgramTemplates(); }
};

// Files dragged from a file manager and dropped onto the list: the drag enters first, as it
// does for the user, and the drop goes where the drag was taken.
void Drop(CMainDlg& dialog, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QWidget* list = List(dialog)->viewport();
    const QPointF at(list->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
}

std::string PathOfLength(std::size_t length, char fill) {
    std::string path = "/photos/";
    path += std::string(length - path.size() - 4, fill);
    return path + ".jpg";
}

} // namespace

TEST_F(FileListTest, LinesAreShortenedAndDuplicatesAreFoundByFullPath) {
    const std::string exact40 = PathOfLength(40, 'a');
    const std::string long41 = PathOfLength(41, 'b');
    // Same first 3 and last 33 characters: one shortened line, two different files.
    const std::string tail = "/" + std::string(35, 't') + ".jpg";
    const std::string twinA = "/ph1" + tail;
    const std::string twinB = "/ph2" + tail;
    struct Case {
        std::string path;
        int index; // expected AddEntry result
    };
    const std::vector<Case> cases = {
        {exact40, 0},         {long41, 1},
        {exact40, -1}, // the same path again
        {"/photos/a.jpg", 2}, {"/photos/a.jpg", -1},
        {"/photos/A.jpg", 3}, // other letter case: another file here
        {twinA, 4},           {twinB, 5},
    };
    CMainDlg dialog;
    std::vector<int> results;
    std::vector<std::string> lines;
    std::string unchanged = "kept";
    int badGet = 0, badRemove = 0;
    ModalScript script;
    script.OnMain(dialog, "add", [&] {
        CFileListBox* list = FileList(dialog);
        for (const Case& c : cases)
            results.push_back(list->AddEntry(c.path.c_str()));
        for (int i = 0; i < list->GetCount(); ++i) {
            std::string line;
            list->GetText(i, line);
            lines.push_back(line);
        }
        badGet = list->GetEntryPath(list->GetCount(), unchanged);
        badRemove = list->RemoveEntry(list->GetCount());
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog), IDOK);
    ASSERT_EQ(results.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(results[i], cases[i].index) << "case " << i << ": " << cases[i].path;
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], exact40);
    EXPECT_EQ(lines[1], long41.substr(0, 3) + "..." + long41.substr(41 - 33));
    EXPECT_EQ(lines[1].size(), 39u);
    EXPECT_EQ(lines[4], lines[5]);
    EXPECT_EQ(badGet, -1);
    EXPECT_EQ(unchanged, "kept");
    EXPECT_EQ(badRemove, -1);
}

TEST_F(FileListTest, RemoveTakesTheSelectedEntriesAndKeepsTheOthersInOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList paths;
    // Real pictures: a click on an entry shows it in the sample box.
    for (int i = 1; i <= 6; ++i)
        paths << WritePicture(dir.filePath(QStringLiteral("bg%1.png").arg(i)), 40, 30, Qt::gray);
    CMainDlg dialog;
    std::vector<std::string> afterNothingSelected, afterRemove;
    QString labelAfterRemove, labelAfterAll;
    std::size_t afterAll = 99;
    ModalScript script;
    script.OnMain(dialog, "fill, remove", [&] {
        Drop(dialog, paths);
        FileList(dialog)->SetSel(-1, FALSE); // the drop selected its first entry
        ClickControl(dialog, IDC_REMOVE);
        afterNothingSelected = ListedPaths(dialog);
        ClickListEntry(dialog, 1, Qt::NoModifier);
        ClickListEntry(dialog, 4, Qt::ControlModifier);
        ClickControl(dialog, IDC_REMOVE);
        afterRemove = ListedPaths(dialog);
        labelAfterRemove = GroupTitle(dialog);
        ClickControl(dialog, IDC_REMOVE_ALL);
        afterAll = ListedPaths(dialog).size();
        labelAfterAll = GroupTitle(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog), IDOK);
    EXPECT_EQ(afterNothingSelected.size(), 6u);
    const std::vector<std::string> expected = {Bytes(paths[0]), Bytes(paths[2]), Bytes(paths[3]),
                                               Bytes(paths[5])};
    EXPECT_EQ(afterRemove, expected);
    EXPECT_EQ(labelAfterRemove, QStringLiteral("Background Images (4)"));
    EXPECT_EQ(afterAll, 0u);
    EXPECT_EQ(labelAfterAll, QStringLiteral("Background Images (0)"));
}

TEST_F(FileListTest, AnEmptyFolderAndAPathTooLongForTheRecordAddNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("holiday"));
    ASSERT_TRUE(QDir().mkpath(folder));
    // Cut to the record's size it would name another file.
    const QString tooLong = dir.filePath(QString(MAX_PATH, QLatin1Char('z')));
    CMainDlg dialog;
    std::vector<std::string> listed;
    QString label;
    ModalScript script;
    script.OnMain(dialog, "drop", [&] {
        Drop(dialog, {folder, tooLong});
        listed = ListedPaths(dialog);
        label = GroupTitle(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog), IDOK);
    EXPECT_TRUE(listed.empty());
    EXPECT_EQ(label, QStringLiteral("Background Images (0)"));
}

namespace {
// The list as the duplicate rule describes it: a new line is looked for from the second entry
// to the last, then the first, as a case-blind prefix; only that first match's full path is
// compared, byte for byte.
struct ModelList {
    std::vector<std::pair<QString, std::string>> entries; // line, full path

    void Add(const std::string& path) {
        const QString line = QString::fromStdString(
            AbbreviatePath(path.c_str(), CFileListBox::kDisplayLimit, CFileListBox::kDisplayTail));
        const std::size_t n = entries.size();
        for (std::size_t step = 1; step <= n; ++step) {
            const auto& [listed, full] = entries[step % n];
            if (listed.startsWith(line, Qt::CaseInsensitive)) {
                if (full == path)
                    return;
                break;
            }
        }
        entries.emplace_back(line, path);
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const auto& entry : entries)
            paths.push_back(entry.second);
        return paths;
    }
};
} // namespace

// Large drops and removals of scattered selections keep the order and the duplicate rule.
// The names collide on purpose: lines that begin other lines, the same path in other letter
// case, long paths that share one shortened line, and removals of the first entry, where the
// search begins.
TEST_F(FileListTest, BulkDropsAndRemovalsKeepOrderAndTheDuplicateRule) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = Bytes(dir.path());
    const std::string deep = "/" + std::string(34, 'q');
    // Real pictures: "Remove" shows the entry with the focus mark in the sample box.
    std::vector<std::string> pool;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i % 10);
        const std::string names[] = {
            "/a" + n + ".png",
            "/a" + n + ".png.bak",              // its line begins with the one above
            "/A" + n + ".PNG",                  // the first one in other letter case
            "/l" + n + "x" + deep + n + ".png", // shortened; twins share the line
            "/l" + n + "y" + deep + n + ".png",
            "/l" + n + "x" + deep + n + ".PNG",
        };
        const QString path = QString::fromStdString(root + names[i % 6]);
        QDir().mkpath(QFileInfo(path).path());
        WritePicture(path, 8, 6, Qt::gray);
        pool.push_back(Bytes(path));
    }
    struct Step {
        std::vector<int> drop;   // indices into the pool, in drop order
        std::vector<int> remove; // rows selected for "Remove" afterwards
    };
    const std::vector<Step> steps = {
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {}},
        {{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 12, 13, 14}, {0}},
        {{0, 6, 1, 2, 15, 16, 17, 18, 19, 20}, {0, 2, 3, 7, 8, 13}},
        {{3, 4, 5, 21, 22, 23, 24, 25, 26, 27, 28, 29}, {1, 4, 5, 6, 9, 10, 11, 12, 20}},
        {{30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, {}},
    };
    CMainDlg dialog;
    ModelList model;
    std::vector<std::vector<std::string>> seen, expected;
    std::vector<QString> labels;
    ModalScript script;
    script.OnMain(dialog, "drop and remove", [&] {
        QListWidget* list = List(dialog);
        for (const Step& step : steps) {
            QStringList dropped;
            for (int i : step.drop) {
                dropped << QString::fromStdString(pool[std::size_t(i)]);
                model.Add(pool[std::size_t(i)]);
            }
            Drop(dialog, dropped);
            if (!step.remove.empty()) {
                list->clearSelection(); // a drop selects its first new entry
                for (int row : step.remove)
                    list->item(row)->setSelected(true);
                for (auto row = step.remove.rbegin(); row != step.remove.rend(); ++row)
                    model.entries.erase(model.entries.begin() + *row);
                ClickControl(dialog, IDC_REMOVE);
            }
            seen.push_back(ListedPaths(dialog));
            expected.push_back(model.Paths());
            labels.push_back(GroupTitle(dialog));
        }
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog), IDOK);
    ASSERT_EQ(seen.size(), steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(seen[i], expected[i]) << "after step " << i;
        EXPECT_EQ(labels[i], QStringLiteral("Background Images (%1)").arg(expected[i].size()))
            << "after step " << i;
    }
}
