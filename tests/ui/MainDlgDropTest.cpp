// Files from outside the window, dropped from a file manager or handed over by a second start:
// folders stand for their pictures, what is not a picture is named in one message, a picture
// let go on the overlay's box or the sample becomes the overlay, and the first new entry is
// what the sample shows.

#include "PreviewTestSupport.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace preview_test;

namespace {

const QColor kOld(128, 128, 128);
const QColor kRed(230, 30, 30);
const QColor kBlue(20, 40, 220);
const QColor kGreen(40, 160, 90);

// The files every case drops from: a folder of two pictures and a note, and files beside it.
class DropFolder {
  public:
    DropFolder() {
        QDir(m_dir.path()).mkdir(QStringLiteral("photos"));
        WritePicture(Path("photos/b.png"), 60, 40, kBlue);
        WritePicture(Path("photos/a.jpg"), 60, 40, kRed, "JPEG");
        WriteText("photos/notes.txt");
        WritePicture(Path("old.png"), 60, 40, kOld);
        WritePicture(Path("logo.png"), 8, 8, kGreen);
        WriteText("notes.txt");
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

  private:
    void WriteText(const char* name) {
        QFile file(Path(name));
        file.open(QIODevice::WriteOnly);
        file.write("plain text, not a picture\n");
    }
    QTemporaryDir m_dir;
};

struct DropCase {
    const char* name;
    int target;                       // the control let go on; 0: handed over by a second start
    std::vector<const char*> given;   // names in the drop folder
    bool oldListed;                   // old.png is listed before
    std::vector<const char*> listed;  // afterwards, in list order
    const QColor* shown;              // the sample's centre, or null for the placeholder
    std::vector<const char*> refused; // the lines of the one message; none: no message
    bool overlay;                     // the first given file became the overlay
};
void PrintTo(const DropCase& c, std::ostream* os) {
    *os << c.name;
}

class Drops : public ::testing::TestWithParam<DropCase> {
  protected:
    void SetUp() override { UseProgramTemplates(); }
};

TEST_P(Drops, ListTheirPicturesShowTheFirstAndNameWhatIsRefused) {
    const DropCase& c = GetParam();
    const DropFolder files;
    QStringList given;
    for (const char* name : c.given)
        given << files.Path(name);
    PreviewProbe dialog;
    std::vector<SeenBox> boxes;
    std::vector<std::string> listed;
    QRgb centre = 0;
    bool shownSelected = false;
    std::string overlay;
    ModalScript script;
    script.OnMain(dialog, "give", [&] {
        if (c.oldListed)
            dialog.AddFiles({Bytes(files.Path("old.png"))});
        if (c.target == 0) {
            std::vector<std::string> paths;
            for (const QString& path : given)
                paths.push_back(Bytes(path));
            dialog.AddFiles(paths);
        } else {
            QWidget* target = Control(dialog, c.target);
            DropOn(c.target == IDC_BACKGROUND_LIST ? List(dialog)->viewport() : target, given);
        }
    });
    if (!c.refused.empty())
        script.Then("refusal", IsMessageBox,
                    [&](QWidget* modal) { AnswerMessageBox(modal, boxes); });
    script.OnMain(dialog, "look", [&] {
        dialog.FinishOverlayCheck(20000);
        listed = ListedPaths(dialog);
        const QImage preview = PreviewPixels(dialog);
        // Off the placeholder's diagonals and the overlay's corner.
        centre = preview.pixel(preview.width() / 2, preview.height() / 4);
        CFileListBox* list = FileList(dialog);
        shownSelected = list->GetCount() == 0 || list->GetSel(list->GetCaretIndex()) > 0;
        overlay = dialog.GetJob().szOverlayPath;
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();

    std::vector<std::string> want;
    for (const char* name : c.listed)
        want.push_back(Bytes(files.Path(name)));
    EXPECT_EQ(listed, want);
    EXPECT_TRUE(Near(centre, c.shown != nullptr ? *c.shown : QColor(192, 192, 192), 10))
        << Describe(centre);
    EXPECT_TRUE(shownSelected) << "the entry shown is selected";
    EXPECT_EQ(overlay, c.overlay ? Bytes(given.first()) : std::string());
    ASSERT_EQ(boxes.size(), c.refused.empty() ? 0u : 1u);
    for (const char* line : c.refused) {
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
        EXPECT_TRUE(boxes[0].text.contains(QString::fromLatin1(line))) << Bytes(boxes[0].text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainDlg, Drops,
    ::testing::Values(DropCase{"AFolderAddsItsPicturesInNameOrder",
                               IDC_BACKGROUND_LIST,
                               {"photos"},
                               false,
                               {"photos/a.jpg", "photos/b.png"},
                               &kRed,
                               {},
                               false},
                      DropCase{"ATextFileIsRefusedByNameThePictureBesideItListed",
                               IDC_BACKGROUND_LIST,
                               {"notes.txt", "logo.png"},
                               false,
                               {"logo.png"},
                               &kGreen,
                               {"notes.txt: not a picture"},
                               false},
                      DropCase{"TheFirstNewEntryIsShownNotTheOldFirst",
                               IDC_BACKGROUND_LIST,
                               {"photos"},
                               true,
                               {"old.png", "photos/a.jpg", "photos/b.png"},
                               &kRed,
                               {},
                               false},
                      DropCase{"APictureListedAlreadyIsNotListedTwice",
                               IDC_BACKGROUND_LIST,
                               {"old.png"},
                               true,
                               {"old.png"},
                               &kOld,
                               {},
                               false},
                      DropCase{"APictureOnTheOverlayBoxBecomesTheOverlay",
                               IDC_OVERLAY_PATH,
                               {"logo.png"},
                               false,
                               {},
                               nullptr,
                               {},
                               true},
                      DropCase{"APictureOnTheSampleBecomesTheOverlay",
                               IDC_PREVIEW,
                               {"logo.png"},
                               true,
                               {"old.png"},
                               &kOld,
                               {},
                               true},
                      DropCase{"MissingFilesAndNotesHandedOverAreNamedInOneMessage",
                               0,
                               {"gone.png", "notes.txt", "photos"},
                               false,
                               {"photos/a.jpg", "photos/b.png"},
                               &kRed,
                               {"gone.png: no such file or folder", "notes.txt: not a picture"},
                               false}),
    [](const ::testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

} // namespace
