#include "bench/ListRuns.h"

#include "app/framework/DialogTemplateRegistry.h"
#include "bench/ChildProcess.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"
#include "res/Resource.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QBuffer>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QItemSelection>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <string>
#include <time.h>

namespace {

constexpr double kGoalSeconds = 0.5;
constexpr int kChunk = 1000;
// Files chosen at once in the Import dialog: far more than a first result buffer holds.
constexpr int kChosen = 5000;

// Names as a camera and a few folders give them; about a third are long enough to be shown
// shortened, so that several entries share a shortened line. Every file exists, since a drop
// refuses missing ones, but only the first is a picture: the list reads none of them, but
// "Remove" shows the entry with the focus mark, the first, in the sample box.
QStringList Paths(const QString& root, int from, int count) {
    QStringList paths;
    for (int i = from; i < from + count; ++i) {
        const QString folder = i % 3 == 0 ? QStringLiteral("/Pictures/holidays/2024 summer/day %1")
                                          : QStringLiteral("/event-%1");
        paths << root + folder.arg(i % 97) +
                     QStringLiteral("/IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
    }
    return paths;
}

QWidget* ControlWidget(CMainDlg& dialog, int id) {
    CWnd* control = dialog.GetDlgItem(id);
    return control != nullptr ? control->GetWidget() : nullptr;
}

// Files dropped onto the list as a file manager drops them.
void Drop(QListWidget* list, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QWidget* target = list->viewport();
    const QPointF at(target->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

double CpuSeconds() {
    return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

struct Took {
    double wall = 0;
    double cpu = 0; // what the wall time would be on an idle machine, near enough
};

// One action, until the window has caught up: pending layout done and the window painted.
Took Timed(QWidget* window, const std::function<void()>& action) {
    QElapsedTimer clock;
    const double cpuBefore = CpuSeconds();
    clock.start();
    action();
    QApplication::processEvents();
    window->repaint();
    return {double(clock.nsecsElapsed()) / 1e9, CpuSeconds() - cpuBefore};
}

void Print(const char* step, Took took, int entries) {
    std::printf("list %s %.6f %.6f %d\n", step, took.wall, took.cpu, entries);
    std::fflush(stdout);
}

void RunSteps(CMainDlg& dialog, const QString& root, int count) {
    auto* list = qobject_cast<QListWidget*>(ControlWidget(dialog, IDC_BACKGROUND_LIST));
    auto* remove = qobject_cast<QPushButton*>(ControlWidget(dialog, IDC_REMOVE));
    auto* removeAll = qobject_cast<QPushButton*>(ControlWidget(dialog, IDC_REMOVE_ALL));
    QWidget* window = dialog.GetWidget();
    if (list == nullptr || remove == nullptr || removeAll == nullptr || window == nullptr)
        return;
    const QStringList paths = Paths(root, 0, count);
    for (const QString& path : Paths(root, 0, 2 * count)) {
        QDir().mkpath(QFileInfo(path).path());
        QFile(path).open(QIODevice::WriteOnly);
    }
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    picture.save(paths[0], "JPEG");
    const auto step = [&](const char* name, const std::function<void()>& action) {
        const Took took = Timed(window, action);
        Print(name, took, list->count());
    };
    step("drop", [&] { Drop(list, paths); });
    step("drop-again", [&] { Drop(list, paths); });
    removeAll->click();
    QApplication::processEvents();

    const int doubled = 2 * count;
    step("chunks", [&] {
        for (int from = 0; from < doubled; from += kChunk)
            Drop(list, Paths(root, from, std::min(kChunk, doubled - from)));
    });

    // Every other entry, as a user picks them with Ctrl and clicks.
    {
        // Gone before the action: a selection held here would be moved by every removal too.
        QItemSelection every;
        for (int row = 1; row < list->count(); row += 2)
            every.select(list->model()->index(row, 0), list->model()->index(row, 0));
        list->selectionModel()->select(every, QItemSelectionModel::Select);
    }
    step("remove", [&] { remove->click(); });
    removeAll->click();
    QApplication::processEvents();

    // Import...: every file of a folder chosen at once, as Ctrl+A in the dialog's list does.
    auto* import = qobject_cast<QPushButton*>(ControlWidget(dialog, IDC_IMPORT));
    const QString folder = root + QStringLiteral("/chosen");
    QDir().mkpath(folder);
    // Each a picture: whichever comes first in the dialog's answer is previewed.
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG");
    }
    for (int i = 0; i < kChosen; ++i) {
        QFile file(folder + QStringLiteral("/DSC_%1.JPG").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(encoded) != encoded.size())
            return;
    }
    // Answered from the dialog's own loop once its folder is listed: every file, then Open.
    QTimer answer;
    bool inFolder = false;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (files == nullptr)
            return;
        if (!inFolder) {
            files->setDirectory(folder);
            inFolder = true;
        }
        auto* view = files->findChild<QListView*>(QStringLiteral("listView"));
        if (view == nullptr || view->model()->rowCount(view->rootIndex()) < kChosen)
            return;
        answer.stop();
        view->selectAll();
        files->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
            ->button(QDialogButtonBox::Open)
            ->click();
    });
    answer.start(10);
    step("import", [&] { import->click(); });
}

} // namespace

double ClockSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

bool RunInMainWindow(const std::function<void(CMainDlg&)>& steps) {
    CMainDlg dialog;
    // A message box (the sample box failing to draw) would wait for a user: it is closed and
    // the run fails.
    bool stray = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(box->text()));
            stray = true;
            box->reject();
        }
    });
    guard.start(100);
    QTimer::singleShot(0, [&] {
        steps(dialog);
        dialog.EndDialog(IDOK);
    });
    dialog.DoModal();
    return !stray;
}

int RunListTimings(int argc, char** argv, int count) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C.UTF-8");
    RegisterProgramResources();
    SetDialogTemplateLookup(&FindDialogTemplate);
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    const bool clean =
        RunInMainWindow([&](CMainDlg& dialog) { RunSteps(dialog, root.path(), count); });
    return clean ? 0 : 1;
}

void PrintListRow(int count) {
    const ChildResult child = RunChild(ChildCommand(kChildList, {std::to_string(count)}));
    std::printf("\nBackground list, %d entries (one user action each, until the window has caught "
                "up; goal <= %.2f s; on a busy machine the process's cpu time stands for the "
                "wall time of an idle one)\n",
                count, kGoalSeconds);
    if (!child.ok) {
        std::printf("  failed: %s\n", child.errorOutput.c_str());
        return;
    }
    const struct {
        const char* step;
        QString what;
    } rows[] = {
        {"drop", QStringLiteral("drop %1 new files").arg(count)},
        {"drop-again", QStringLiteral("drop the same %1 again (all listed)").arg(count)},
        {"chunks", QStringLiteral("%1 in drops of %2").arg(2 * count).arg(kChunk)},
        {"remove", QStringLiteral("remove %1 scattered of %2").arg(count).arg(2 * count)},
        {"import", QStringLiteral("import %1 chosen at once").arg(kChosen)},
    };
    const QStringList lines = QString::fromStdString(child.output).split(QLatin1Char('\n'));
    for (const auto& row : rows) {
        for (const QString& line : lines) {
            const QStringList fields = line.split(QLatin1Char(' '));
            if (fields.size() != 5 || fields[1] != QLatin1String(row.step))
                continue;
            const double wall = fields[2].toDouble();
            const double cpu = fields[3].toDouble();
            std::printf("  %-40s %7.3f s wall, %7.3f s cpu, %6d listed [%s]\n",
                        qPrintable(row.what), wall, cpu, fields[4].toInt(),
                        std::min(wall, cpu) <= kGoalSeconds ? "met" : "NOT met");
        }
    }
}
