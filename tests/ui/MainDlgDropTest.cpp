// Files from outside the window (a file manager's drop, a second start's hand-over): a folder
// stands for its pictures, what is not a picture is named in one message, a picture let go on
// the overlay's box or the sample becomes the overlay, and the first new entry is shown.

#include "PreviewTestSupport.h"
#include "TestMain.h"

#include <QDir>
#include <QTemporaryDir>

using namespace preview_test;

namespace {

const QColor kOld(128, 128, 128), kRed(230, 30, 30), kGreen(40, 160, 90);

struct DropCase {
    const char* name;
    int target;                       // the control let go on; 0: handed over by a second start
    std::vector<const char*> given;   // photos/ holds a.jpg, b.png and a note
    bool oldListed;                   // old.png is listed before
    std::vector<const char*> listed;  // afterwards, in list order
    const QColor* shown;              // the sample, or null for the placeholder
    std::vector<const char*> refused; // the lines of the one message; none: no message
    bool overlay;                     // the first given file became the overlay
};
void PrintTo(const DropCase& c, std::ostream* os) {
    *os << c.name;
}
class Drops : public ::testing::TestWithParam<DropCase> {};

TEST_P(Drops, ListPicturesShowTheFirstNewAndNameWhatIsRefused) {
    const DropCase& c = GetParam();
    UseProgramTemplates();
    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    QDir(dir.path()).mkdir(QStringLiteral("photos"));
    WritePicture(at("photos/b.png"), 60, 40, Qt::blue);
    WritePicture(at("photos/a.jpg"), 60, 40, kRed, "JPEG");
    WritePicture(at("old.png"), 60, 40, kOld);
    WritePicture(at("logo.png"), 8, 8, kGreen);
    for (const char* note : {"notes.txt", "photos/notes.txt"}) {
        QFile file(at(note));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a picture\n") > 0);
    }
    QStringList given;
    std::vector<std::string> handed;
    for (const char* name : c.given) {
        given << at(name);
        handed.push_back(Bytes(at(name)));
    }
    PreviewProbe dialog;
    std::vector<SeenBox> boxes;
    std::vector<std::string> listed, want;
    QRgb seen = 0;
    bool shownSelected = false;
    ModalScript script;
    script.OnMain(dialog, "give", [&] {
        if (c.oldListed)
            dialog.AddFiles({Bytes(at("old.png"))});
        if (c.target == 0)
            dialog.AddFiles(handed);
        else
            DropOn(c.target == IDC_BACKGROUND_LIST ? List(dialog)->viewport()
                                                   : Control(dialog, c.target),
                   given);
    });
    if (!c.refused.empty())
        script.Then("refusal", IsMessageBox, [&](QWidget* box) { AnswerMessageBox(box, boxes); });
    script.OnMain(dialog, "look", [&] {
        dialog.FinishOverlayCheck(20000);
        listed = ListedPaths(dialog);
        const QImage preview = PreviewPixels(dialog);
        seen = preview.pixel(preview.width() / 2, preview.height() / 4); // off the cross
        CFileListBox* list = FileList(dialog);
        shownSelected = list->GetCount() == 0 || list->GetSel(list->GetCaretIndex()) > 0;
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    for (const char* name : c.listed)
        want.push_back(Bytes(at(name)));
    EXPECT_EQ(listed, want);
    EXPECT_TRUE(Near(seen, c.shown ? *c.shown : QColor(192, 192, 192), 10)) << Describe(seen);
    EXPECT_TRUE(shownSelected) << "the entry shown is selected";
    EXPECT_EQ(std::string(dialog.GetJob().szOverlayPath), c.overlay ? handed.front() : "");
    ASSERT_EQ(boxes.size(), c.refused.empty() ? 0u : 1u);
    for (const char* line : c.refused)
        EXPECT_TRUE(boxes[0].text.contains(QString::fromLatin1(line))) << Bytes(boxes[0].text);
}

INSTANTIATE_TEST_SUITE_P(
    MainDlg, Drops,
    ::testing::Values(
        DropCase{"AFolderAddsItsPictures",
                 IDC_BACKGROUND_LIST,
                 {"photos"},
                 false,
                 {"photos/a.jpg", "photos/b.png"},
                 &kRed,
                 {},
                 false},
        DropCase{"ATextFileIsRefused",
                 IDC_BACKGROUND_LIST,
                 {"notes.txt", "logo.png"},
                 false,
                 {"logo.png"},
                 &kGreen,
                 {"notes.txt: not a picture"},
                 false},
        // old.png again is no new entry: the first new one is shown.
        DropCase{"TheFirstNewEntryIsShown",
                 IDC_BACKGROUND_LIST,
                 {"old.png", "photos"},
                 true,
                 {"old.png", "photos/a.jpg", "photos/b.png"},
                 &kRed,
                 {},
                 false},
        DropCase{"OnTheOverlayBox", IDC_OVERLAY_PATH, {"logo.png"}, false, {}, nullptr, {}, true},
        DropCase{"OnTheSample", IDC_PREVIEW, {"logo.png"}, true, {"old.png"}, &kOld, {}, true},
        DropCase{"HandedOverMissingAndNotes",
                 0,
                 {"gone.png", "notes.txt", "photos"},
                 false,
                 {"photos/a.jpg", "photos/b.png"},
                 &kRed,
                 {"gone.png: no such file or folder", "notes.txt: not a picture"},
                 false}),
    [](const ::testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

} // namespace
