// Every dialog in every language the program ships: each text fits its control, and no two
// controls of a dialog answer to one Alt letter.
#include "DialogDriving.h"

#include "engine/BatchJob.h"
#include "ui/AboutDlg.h"
#include "ui/MainDlg.h"
#include "ui/OverlayOptionsDlg.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeySequence>
#include <QLabel>
#include <QTranslator>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

namespace {

// What does not fit or is shared, one line each; empty when all is well.
QStringList TextFaults(QWidget* window) {
    QStringList faults;
    std::map<QKeySequence, QString> letters;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window))
            continue;
        QString text;
        const auto* label = qobject_cast<QLabel*>(widget);
        if (label != nullptr && label->pixmap().isNull())
            text = label->text();
        else if (const auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        if (text.isEmpty())
            continue;
        // What the control needs to show all of its text, its margins and its box included: a
        // label that wraps its lines, their height at its width.
        const bool wraps = label != nullptr && label->wordWrap();
        const int needs =
            wraps ? label->heightForWidth(label->width()) : widget->sizeHint().width();
        const int has = wraps ? label->height() : widget->width();
        if (needs > has)
            faults << QStringLiteral("'%1' needs %2 px, has %3").arg(text).arg(needs).arg(has);
        const QKeySequence letter = QKeySequence::mnemonic(text);
        if (letter.isEmpty())
            continue;
        if (const auto [seen, added] = letters.emplace(letter, text); !added)
            faults << QStringLiteral("'%1' and '%2' share %3")
                          .arg(seen->second, text, letter.toString());
    }
    return faults;
}

} // namespace

TEST(TranslatedTexts, FitTheirControlsWithMnemonicsOfTheirOwn) {
    CBatchJob job;
    const struct {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
    } dialogs[] = {
        {"main window", [] { return std::make_unique<CMainDlg>(); }},
        {"options", [&] { return std::make_unique<COverlayOptionsDlg>(&job); }},
        {"about", [] { return std::make_unique<CAboutDlg>(); }},
    };
    for (const char* language : {"", ":/i18n/pictorum_de.qm"}) {
        QTranslator translator;
        if (*language != '\0') {
            ASSERT_TRUE(translator.load(QString::fromLatin1(language)));
            QCoreApplication::installTranslator(&translator);
        }
        for (const auto& dialog : dialogs) {
            SCOPED_TRACE(std::string(dialog.name) + " " + language);
            const std::unique_ptr<CDialog> shown = dialog.make();
            QStringList faults;
            dialog_driving::RunModal(*shown, [&](QWidget* window) {
                faults = TextFaults(window);
                window->close();
            });
            EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
        }
        QCoreApplication::removeTranslator(&translator);
    }
}
