// Every dialog in every language the program ships: each text fits its control, no two
// controls of a dialog answer to one Alt letter, and what a screen reader reads is translated.
#include "DialogDriving.h"

#include "batch/ProcessingDlg.h"
#include "engine/BatchJob.h"
#include "res/Resource.h"
#include "ui/AboutDlg.h"
#include "ui/MainDlg.h"
#include "ui/OverlayOptionsDlg.h"

#include <QAbstractButton>
#include <QComboBox>
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
        // label that wraps its lines, their height at the width inside its frame.
        const bool wraps = label != nullptr && label->wordWrap();
        const QRect inside = widget->contentsRect();
        const int needs = wraps ? label->fontMetrics()
                                      .boundingRect(QRect(0, 0, inside.width(), QWIDGETSIZE_MAX),
                                                    Qt::TextWordWrap, text)
                                      .height()
                                : widget->sizeHint().width();
        const int has = wraps ? inside.height() : widget->width();
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
    struct Named {
        int id;
        // A control's accessible name, or a list's first entry, in English and German.
        const char* english;
        const char* german;
    };
    const struct {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
        std::vector<Named> names;
        // The control whose text, once it has one, says the dialog shows what is looked at.
        int shownWhen = 0;
    } dialogs[] = {
        {"main window",
         [] { return std::make_unique<CMainDlg>(); },
         {{IDC_BACKGROUND_LIST, "Background Images", "Hintergrundbilder"},
          {IDC_PREVIEW, "Sample preview: no background image", "Vorschau: kein Hintergrundbild"}}},
        {"options",
         [&] { return std::make_unique<COverlayOptionsDlg>(&job); },
         {{1018, "Top left", "Oben links"},
          {1026, "Bottom right", "Unten rechts"},
          {IDC_OUTPUT_FORMAT, "BMP File", "BMP-Datei"}}},
        {"about", [] { return std::make_unique<CAboutDlg>(); }, {}},
        // At the end of a run of nothing: the counter, "Finished" and Close.
        {"progress",
         [&] { return std::make_unique<CProcessingDlg>(&job); },
         {{IDC_PROCESSING_LOG, "Log", "Protokoll"},
          {IDC_PROCESSING_PROGRESS, "Progress", "Fortschritt"}},
         IDC_PROCESSING_STATUS},
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
                if (dialog.shownWhen != 0) {
                    const auto* label = qobject_cast<const QLabel*>(
                        shown->GetDlgItem(dialog.shownWhen)->GetWidget());
                    EXPECT_TRUE(dialog_driving::WaitFor([&] { return !label->text().isEmpty(); }));
                }
                faults = TextFaults(window);
                for (const Named& named : dialog.names) {
                    const QWidget* widget = shown->GetDlgItem(named.id)->GetWidget();
                    const auto* list = qobject_cast<const QComboBox*>(widget);
                    const QString read =
                        list != nullptr ? list->itemText(0) : widget->accessibleName();
                    const char* want = *language != '\0' ? named.german : named.english;
                    if (read != QString::fromUtf8(want))
                        faults << QStringLiteral("%1 reads '%2'").arg(named.id).arg(read);
                }
                window->close();
            });
            EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
        }
        QCoreApplication::removeTranslator(&translator);
    }
}
