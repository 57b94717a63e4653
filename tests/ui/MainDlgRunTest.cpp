// Whole runs started from the main window: overlay and backgrounds chosen through the real
// dialogs, the folder chooser, the progress dialog, and the stamped files on disk.

#include "MainDlgTestSupport.h"

#include "res/Resource.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace maindlg_test;

namespace {

class MainDlgRunTest : public ::testing::Test {
  protected:
    void SetUp() override { UseProgramTemplates(); }
};

QStringList OutputsIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

TEST_F(MainDlgRunTest, RunsStampEveryBackgroundOnceAndKeepTheListForTheNextRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString overlay =
        WritePicture(dir.filePath(QStringLiteral("mark.png")), 120, 40, Qt::red);
    const QString damaged = dir.filePath(QStringLiteral("not-a-picture.png"));
    ASSERT_TRUE(WriteBytes(damaged, QByteArray("plain text, not a picture")));
    const QString blue =
        WritePicture(dir.filePath(QStringLiteral("blue.png")), 200, 150, QColor(0, 0, 255));
    const QString green =
        WritePicture(dir.filePath(QStringLiteral("green.bmp")), 160, 120, QColor(0, 255, 0), "BMP");
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));

    CMainDlg dialog;
    QStringList afterCancel, afterFirst, afterSecond;
    std::vector<std::string> listAfterFirst, listAfterSecond;
    bool optionsAfterRefusal = true;
    ModalScript script;
    auto pressGo = [&] { ClickControl(dialog, IDC_GO); };
    script.OnMain(dialog, "browse", [&] { ClickControl(dialog, IDC_BROWSE_OVERLAY); })
        .Then("overlay", IsOpenFileDialog, [&](QWidget* m) { AnswerFileDialog(m, overlay); })
        .OnMain(dialog, "browse again", [&] { ClickControl(dialog, IDC_BROWSE_OVERLAY); })
        .Then("refused overlay", IsOpenFileDialog,
              [&](QWidget* m) { AnswerFileDialog(m, damaged); })
        .OnMain(dialog, "import",
                [&] {
                    dialog.FinishOverlayCheck(20000); // the choice is checked off this thread
                    optionsAfterRefusal = Control(dialog, IDC_OPTIONS)->isEnabled();
                    ClickControl(dialog, IDC_IMPORT);
                })
        .Then("backgrounds", IsOpenFileDialog,
              [&](QWidget* m) {
                  AnswerFileDialog(m, QuotedNames({blue, green}));
              })
        // A cancelled chooser starts nothing.
        .OnMain(dialog, "go", pressGo)
        .Then("cancel the chooser", IsFolderChooser, [&](QWidget* m) { CancelFileDialog(m); })
        .OnMain(dialog, "go again",
                [&] {
                    afterCancel = OutputsIn(out);
                    pressGo();
                })
        .Then("choose the folder", IsFolderChooser, [&](QWidget* m) { AnswerFileDialog(m, out); })
        .Then("first progress", IsProgressDialog, CloseProgressWhenDone)
        .OnMain(dialog, "second run",
                [&] {
                    afterFirst = OutputsIn(out);
                    listAfterFirst = ListedPaths(dialog);
                    pressGo();
                })
        .Then("same folder", IsFolderChooser, [&](QWidget* m) { AnswerFileDialog(m, out); })
        .Then("second progress", IsProgressDialog, CloseProgressWhenDone)
        .OnMain(dialog, "exit", [&] {
            afterSecond = OutputsIn(out);
            listAfterSecond = ListedPaths(dialog);
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 120000), IDOK);
    EXPECT_TRUE(script.Finished()) << "stuck at: " << script.Pending();

    EXPECT_FALSE(optionsAfterRefusal);
    EXPECT_TRUE(afterCancel.isEmpty());
    EXPECT_EQ(afterFirst, (QStringList{QStringLiteral("000.TIF"), QStringLiteral("001.TIF")}));
    EXPECT_EQ(afterSecond, (QStringList{QStringLiteral("000.TIF"), QStringLiteral("001.TIF"),
                                        QStringLiteral("002.TIF"), QStringLiteral("003.TIF")}));
    const std::vector<std::string> listed = {Bytes(blue), Bytes(green)};
    EXPECT_EQ(listAfterFirst, listed);
    EXPECT_EQ(listAfterSecond, listed);

    // The overlay of the first choice, 120 x 40 at the default bottom-right anchor, on each
    // background at its own size; the refused file changed nothing.
    struct Expect {
        const char* file;
        QSize size;
        QPoint overlayAt, backgroundAt, aboveOverlay;
        QColor background;
    };
    const Expect expects[] = {
        {"000.TIF", {200, 150}, {190, 140}, {70, 140}, {190, 100}, QColor(0, 0, 255)},
        {"001.TIF", {160, 120}, {150, 110}, {30, 110}, {150, 70}, QColor(0, 255, 0)},
        {"002.TIF", {200, 150}, {85, 112}, {5, 5}, {85, 105}, QColor(0, 0, 255)},
        {"003.TIF", {160, 120}, {45, 82}, {5, 5}, {45, 75}, QColor(0, 255, 0)},
    };
    for (const Expect& e : expects) {
        const QImage image(QDir(out).filePath(QString::fromLatin1(e.file)));
        ASSERT_FALSE(image.isNull()) << e.file;
        EXPECT_EQ(image.size(), e.size) << e.file;
        EXPECT_TRUE(NearColour(image.pixel(e.overlayAt), qRgb(255, 0, 0), 3)) << e.file;
        EXPECT_TRUE(NearColour(image.pixel(e.backgroundAt), e.background.rgba(), 3)) << e.file;
        EXPECT_TRUE(NearColour(image.pixel(e.aboveOverlay), e.background.rgba(), 3)) << e.file;
    }
}
