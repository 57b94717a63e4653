// The sample preview: where the picture lands in the box, which entry it shows, the overlay
// placed by the options, the placeholder, and what a picture that cannot be decoded leaves.

#include "PreviewTestSupport.h"

#include "engine/RunSettings.h"
#include "engine/StampedItem.h"
#include "engine/TextHelpers.h"
#include "imaging/files/OutputFolder.h"

#include <QColorSpace>
#include <QFile>
#include <QTemporaryDir>

#include <time.h>

#include <gtest/gtest.h>

using namespace preview_test;

namespace {

class SamplePreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseProgramTemplates();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Picture(const char* name, int width, int height, const QColor& colour) {
        return WritePicture(m_dir.filePath(QString::fromLatin1(name)), width, height, colour);
    }
    QString NotAPicture(const char* name) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("plain text, not a picture");
        return path;
    }
    QTemporaryDir m_dir;
};

const QColor kGreen(40, 160, 90);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kPlaceholderGrey(192, 192, 192);

struct NamedPoint {
    const char* name;
    QPoint at;
    bool painted; // else: the dialog's background shows
};

void ExpectPoints(const QImage& box, const std::vector<NamedPoint>& points, const QColor& colour,
                  const QColor& window) {
    for (const NamedPoint& p : points) {
        ASSERT_TRUE(box.rect().contains(p.at)) << p.name;
        const QRgb got = box.pixel(p.at);
        if (p.painted)
            EXPECT_TRUE(Near(got, colour)) << p.name << ": " << Describe(got);
        else
            EXPECT_TRUE(Unpainted(got, window)) << p.name << ": " << Describe(got);
    }
}

// Points along the centre lines of the box at each side of the picture's rectangle: a side
// with room beyond it is seen 2 pixels inside (painted) and 3 outside (not); a side at or
// beyond the box's edge shows the picture on the box's edge.
std::vector<NamedPoint> EdgePoints(const QRect& box, const QRect& picture) {
    const int cx = box.width() / 2;
    const int cy = box.height() / 2;
    std::vector<NamedPoint> points;
    auto side = [&](const char* inside, const char* outside, const char* edge, int room, QPoint in,
                    QPoint out, QPoint atEdge) {
        if (room >= 3)
            points.insert(points.end(), {{inside, in, true}, {outside, out, false}});
        else if (room <= 0)
            points.push_back({edge, atEdge, true});
    };
    side("just inside left", "left margin", "left edge", picture.left(), {picture.left() + 2, cy},
         {picture.left() - 3, cy}, {0, cy});
    side("just inside right", "right margin", "right edge", box.width() - 1 - picture.right(),
         {picture.right() - 2, cy}, {picture.right() + 3, cy}, {box.width() - 1, cy});
    side("just inside top", "above", "top edge", picture.top(), {cx, picture.top() + 2},
         {cx, picture.top() - 3}, {cx, 0});
    side("just inside bottom", "below", "bottom edge", box.height() - 1 - picture.bottom(),
         {cx, picture.bottom() - 2}, {cx, picture.bottom() + 3}, {cx, box.height() - 1});
    return points;
}

// The background stamped with the job's overlay as a run stamps it, written as PNG into dir.
QImage StampedAsARunWould(CBatchJob& job, const QString& background, const std::string& mark,
                          const QTemporaryDir& dir) {
    CImageFile overlay;
    CStampedItem item;
    CLSID png{};
    CopyText(job.szOutputFormat, "image/png");
    const OutputFolder folder(QFile::encodeName(dir.path()));
    PendingImageFile file;
    if (!overlay.LoadFromFile(mark.c_str()) || job.FindOutputEncoder(png) < 0 ||
        item.Load(Bytes(background).c_str()) != ItemOutcome::Done ||
        item.Compose(job.Choices(), overlay) != ItemOutcome::Done ||
        item.Encode(file, folder, &png) != ItemOutcome::Done ||
        item.PutInPlace(file, "stamped.png") != ItemOutcome::Done)
        return {};
    return QImage(dir.filePath(QStringLiteral("stamped.png")));
}

} // namespace

// The fit itself, on a box of 180 x 195 pixels (120 x 120 dialog units with a common font).
struct FitCase {
    const char* name;
    RECT box;
    UINT width, height;
    RECT expected;
};
void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(PreviewFit, TallerFillsTheHeightOthersTheWidthCentred) {
    const FitCase& c = GetParam();
    const RECT got = CSamplePreview::FitRect(c.box, c.width, c.height);
    EXPECT_EQ(got.left, c.expected.left);
    EXPECT_EQ(got.top, c.expected.top);
    EXPECT_EQ(got.right, c.expected.right);
    EXPECT_EQ(got.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    SamplePreview, PreviewFit,
    ::testing::Values(
        // 195 x 0.75 = 146.25: 146 wide, (180 - 146) / 2 = 17 from the left.
        FitCase{"Portrait600x800", {0, 0, 180, 195}, 600, 800, {17, 0, 163, 195}},
        // 180 / (800 / 600) = 135 high, (195 - 135) / 2 = 30 from the top.
        FitCase{"Landscape800x600", {0, 0, 180, 195}, 800, 600, {0, 30, 180, 165}},
        FitCase{"Square", {0, 0, 180, 195}, 500, 500, {0, 7, 180, 187}},
        FitCase{"Placeholder64", {0, 0, 180, 195}, 64, 64, {0, 7, 180, 187}},
        // Truncated toward zero: 195 x 0.333 = 64.935 and 180 / 1.001 = 179.82.
        FitCase{"TruncatedWidth", {0, 0, 180, 195}, 333, 1000, {58, 0, 122, 195}},
        FitCase{"TruncatedHeight", {0, 0, 180, 195}, 1000, 999, {0, 8, 180, 187}},
        // An odd margin is split with the extra pixel on the far side.
        FitCase{"OddMargin", {0, 0, 181, 195}, 600, 800, {17, 0, 163, 195}},
        // A box wider than tall: a square fills the width and overflows the height, centred.
        FitCase{"WideBoxSquare", {0, 0, 200, 100}, 10, 10, {0, -50, 200, 150}},
        // No pixels (a background that could not be decoded): nothing to place.
        FitCase{"NoPixels", {0, 0, 180, 195}, 0, 0, {0, 0, 0, 0}},
        FitCase{"NoWidth", {0, 0, 180, 195}, 0, 40, {0, 0, 0, 0}},
        FitCase{"NoHeight", {0, 0, 180, 195}, 40, 0, {0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

// What the box shows on the screen: only the picture's rectangle is painted.
struct ShownCase {
    const char* name;
    int width, height; // 0: no background, the placeholder
    bool p3 = false;   // the picture's colours are Display P3 ones: shown converted to sRGB
};
void PrintTo(const ShownCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewShown : public SamplePreviewTest, public ::testing::WithParamInterface<ShownCase> {};

TEST_P(PreviewShown, PaintsThePictureFittedIntoTheBoxAndNothingElse) {
    const ShownCase& c = GetParam();
    const bool placeholder = c.width == 0;
    QString background = placeholder ? QString() : Picture("bg.png", c.width, c.height, kGreen);
    const QByteArray p3 = MadeProfile("p3");
    if (c.p3) {
        ASSERT_TRUE(WriteBytes(background, WithProfile(ReadBytes(background), p3)));
    }
    PreviewProbe dialog;
    QImage box;
    QSize previewSize;
    QColor window;
    ModalScript script;
    script.OnMain(dialog, "look", [&] {
        window = WindowColour(dialog);
        if (!placeholder) {
            dialog.AddBackground(Bytes(background).c_str());
            dialog.RebuildPreview();
        }
        previewSize = PreviewPixels(dialog).size();
        box = GrabPreviewBox(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    ASSERT_FALSE(box.isNull());
    const int W = box.width();
    const int H = box.height();
    EXPECT_EQ(previewSize, placeholder ? QSize(64, 64) : QSize(c.width, c.height));
    const double ratio = double(previewSize.width()) / previewSize.height();
    // Taller pictures fill the height, others the width; centred across the other way.
    QRect picture;
    if (ratio < 1.0) {
        const int shown = static_cast<int>(H * ratio);
        picture = QRect((W - shown) / 2, 0, shown, H);
    } else {
        const int shown = static_cast<int>(W / ratio);
        picture = QRect(0, (H - shown) / 2, W, shown);
    }
    std::vector<NamedPoint> points = EdgePoints(box.rect(), picture);
    ASSERT_GE(points.size(), 4u);
    if (placeholder) {
        // Two red diagonals on light grey; the centre lines cross only at the middle.
        const QPoint middle = picture.center();
        const int quarter = picture.width() / 4;
        ExpectPoints(box,
                     {{"crossing of the diagonals", middle, true},
                      {"first diagonal", middle - QPoint(quarter, quarter), true},
                      {"second diagonal", middle + QPoint(quarter, -quarter), true}},
                     kRed, window);
        ExpectPoints(box, points, kPlaceholderGrey, window);
        return;
    }
    points.push_back({"centre", {W / 2, H / 2}, true});
    // Qt's own conversion of the profile stands for what a viewer shows.
    const QColor shown = c.p3 ? QColorSpace::fromIccProfile(p3)
                                    .transformationToColorSpace(QColorSpace::SRgb)
                                    .map(kGreen)
                              : kGreen;
    ExpectPoints(box, points, shown, window);
}

INSTANTIATE_TEST_SUITE_P(
    SamplePreview, PreviewShown,
    ::testing::Values(ShownCase{"Portrait600x800", 600, 800},
                      ShownCase{"Landscape800x600", 800, 600}, ShownCase{"Square", 500, 500},
                      ShownCase{"Placeholder", 0, 0}, ShownCase{"DisplayP3", 800, 600, true}),
    [](const ::testing::TestParamInfo<ShownCase>& info) { return std::string(info.param.name); });

TEST_F(SamplePreviewTest, FollowsAClickOnAnotherEntry) {
    const QString red = Picture("red.png", 300, 200, kRed);
    const QString blue = Picture("blue.png", 300, 200, kBlue);
    PreviewProbe dialog;
    QRgb atFirst = 0, afterBlue = 0, afterRed = 0;
    auto centre = [&] {
        const QImage box = GrabPreviewBox(dialog);
        return box.pixel(box.width() / 2, box.height() / 2);
    };
    ModalScript script;
    script
        .OnMain(dialog, "add",
                [&] {
                    dialog.AddBackground(Bytes(red).c_str());
                    dialog.AddBackground(Bytes(blue).c_str());
                    dialog.RebuildPreview();
                    atFirst = centre();
                    ClickListEntry(dialog, 1, Qt::NoModifier);
                })
        .OnMain(dialog, "blue shown",
                [&] {
                    afterBlue = centre();
                    ClickListEntry(dialog, 0, Qt::NoModifier);
                })
        .OnMain(dialog, "red shown", [&] {
            afterRed = centre();
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_TRUE(Near(atFirst, kRed))
        << "the first entry until the user moves: " << Describe(atFirst);
    EXPECT_TRUE(Near(afterBlue, kBlue)) << Describe(afterBlue);
    EXPECT_TRUE(Near(afterRed, kRed)) << Describe(afterRed);
}

TEST_F(SamplePreviewTest, OptionsOkMovesTheOverlayAndCancelLeavesThePreview) {
    const QString background = Picture("bg.png", 400, 300, kGrey);
    const QString overlay = Picture("mark.png", 40, 30, kRed);
    PreviewProbe dialog;
    QImage atTopLeft, afterOk, afterCancel;
    const ImageRecord* beforeCancel = nullptr;
    const ImageRecord* whenCancelled = nullptr;
    bool listEmptyAfterRebuild = false;
    auto anchorThenClose = [&](int anchorId, int closeId) {
        return [&, anchorId, closeId](QWidget* modal) {
            const QWidget* box = Control(dialog, IDC_PREVIEW);
            // Options leaves the preview in sight: the screen has room beside it.
            EXPECT_FALSE(
                modal->frameGeometry().intersects({box->mapToGlobal(QPoint()), box->size()}));
            Click(ControlIn(modal, anchorId));
            Click(ControlIn(modal, closeId));
        };
    };
    ModalScript script;
    script
        .OnMain(dialog, "overlay top left",
                [&] {
                    dialog.SetOverlay(Bytes(overlay).c_str());
                    dialog.GetJob().SetOverlayAnchor(1);
                    dialog.AddBackground(Bytes(background).c_str());
                    dialog.RebuildPreview();
                    atTopLeft = PreviewPixels(dialog);
                    listEmptyAfterRebuild = dialog.GetJob().fileList.empty();
                    ClickControl(dialog, IDC_OPTIONS);
                })
        .Then("bottom right, OK", IsOptionsDialog, anchorThenClose(IDC_ANCHOR_LAST, IDOK))
        .OnMain(dialog, "after OK",
                [&] {
                    afterOk = PreviewPixels(dialog);
                    beforeCancel = dialog.Preview();
                    ClickControl(dialog, IDC_OPTIONS);
                })
        .Then("top left, Cancel", IsOptionsDialog, anchorThenClose(IDC_ANCHOR_FIRST, IDCANCEL))
        .OnMain(dialog, "after Cancel", [&] {
            afterCancel = PreviewPixels(dialog);
            whenCancelled = dialog.Preview();
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_TRUE(listEmptyAfterRebuild);
    EXPECT_EQ(dialog.GetJob().GetOverlayAnchor(), 9u);

    const struct {
        const char* name;
        QPoint at;
    } topLeft{"overlay's place at the top left", {20, 15}},
        bottomRight{"overlay's place at the bottom right", {379, 284}},
        middle{"middle of the background", {200, 150}};
    struct Expectation {
        const char* stage;
        const QImage* image;
        bool overlayTopLeft;
    };
    for (const Expectation& e :
         {Expectation{"top left", &atTopLeft, true}, Expectation{"after OK", &afterOk, false},
          Expectation{"after Cancel", &afterCancel, false}}) {
        ASSERT_EQ(e.image->size(), QSize(400, 300)) << e.stage;
        const QRgb tl = e.image->pixel(topLeft.at);
        const QRgb br = e.image->pixel(bottomRight.at);
        const QRgb mid = e.image->pixel(middle.at);
        EXPECT_TRUE(Near(tl, e.overlayTopLeft ? kRed : kGrey, 2))
            << e.stage << ", " << topLeft.name << ": " << Describe(tl);
        EXPECT_TRUE(Near(br, e.overlayTopLeft ? kGrey : kRed, 2))
            << e.stage << ", " << bottomRight.name << ": " << Describe(br);
        EXPECT_TRUE(Near(mid, kGrey, 2)) << e.stage << ", " << middle.name;
        // The overlay's last column and row are the background's last.
        if (!e.overlayTopLeft) {
            EXPECT_TRUE(Near(e.image->pixel(399, 299), kRed, 2)) << e.stage;
            EXPECT_TRUE(Near(e.image->pixel(358, 299), kGrey, 2)) << e.stage;
            EXPECT_TRUE(Near(e.image->pixel(399, 268), kGrey, 2)) << e.stage;
        }
    }
    EXPECT_EQ(whenCancelled, beforeCancel) << "Cancel must not rebuild the preview";
}

TEST_F(SamplePreviewTest, RemovingTheLastEntryBringsThePlaceholderBack) {
    const QString background = Picture("bg.png", 300, 200, kGreen);
    PreviewProbe dialog;
    QSize withEntry, afterRemove;
    QRgb centreAfterRemove = 0;
    ModalScript script;
    script
        .OnMain(dialog, "select and remove",
                [&] {
                    dialog.AddBackground(Bytes(background).c_str());
                    dialog.RebuildPreview();
                    withEntry = PreviewPixels(dialog).size();
                    ClickListEntry(dialog, 0, Qt::NoModifier);
                    ClickControl(dialog, IDC_REMOVE);
                })
        .OnMain(dialog, "look", [&] {
            afterRemove = PreviewPixels(dialog).size();
            const QImage box = GrabPreviewBox(dialog);
            centreAfterRemove = box.pixel(box.width() / 2, box.height() / 2);
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_EQ(withEntry, QSize(300, 200));
    EXPECT_EQ(afterRemove, QSize(64, 64));
    EXPECT_TRUE(Near(centreAfterRemove, kRed)) << Describe(centreAfterRemove);
}

// Pictures that cannot be decoded: one message per failed drawing, captioned with the overlay
// path, and a box that shows what could be drawn.
struct FailureCase {
    const char* name;
    bool backgroundDecodes;
    enum { None, Good, Undecodable } overlay;
    int messages;
    bool backgroundShown;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewFailure : public SamplePreviewTest,
                       public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PreviewFailure, ReportsEachFailedDrawingAndShowsOnlyWhatWasDrawn) {
    const FailureCase& c = GetParam();
    const QString background =
        c.backgroundDecodes ? Picture("bg.png", 300, 200, kGreen) : NotAPicture("bg.png");
    const QString overlay = c.overlay == FailureCase::Good ? Picture("mark.png", 30, 20, kRed)
                                                           : NotAPicture("mark.png");
    PreviewProbe dialog;
    if (c.overlay != FailureCase::None)
        CopyText(dialog.GetJob().szOverlayPath, Bytes(overlay).c_str());
    std::vector<SeenBox> boxes;
    QImage box;
    QColor window;
    ModalScript script;
    script.OnMain(dialog, "import", [&] {
        dialog.AddBackground(Bytes(background).c_str());
        dialog.RebuildPreview();
    });
    for (int i = 0; i < c.messages; ++i)
        script.Then("message", IsMessageBox,
                    [&](QWidget* modal) { AnswerMessageBox(modal, boxes); });
    script.OnMain(dialog, "look", [&] {
        box = GrabPreviewBox(dialog);
        window = WindowColour(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    // A message beyond the expected ones would be a fault; answer it so that the test ends.
    script.Then("no more messages", IsMessageBox,
                [&](QWidget* modal) { AnswerMessageBox(modal, boxes); });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    EXPECT_EQ(script.Pending(), "no more messages");
    ASSERT_EQ(boxes.size(), static_cast<std::size_t>(c.messages));
    const QString caption = c.overlay == FailureCase::None ? QString() : overlay;
    for (const SeenBox& seen : boxes) {
        EXPECT_EQ(seen.title, caption);
        EXPECT_EQ(seen.text, QString::fromLatin1(GetStatusText(InvalidParameter)));
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    }
    EXPECT_TRUE(dialog.GetJob().fileList.empty());
    ASSERT_FALSE(box.isNull());
    const QPoint centre(box.width() / 2, box.height() / 2);
    if (c.backgroundShown) {
        EXPECT_TRUE(Near(box.pixel(centre), kGreen)) << Describe(box.pixel(centre));
        return;
    }
    int painted = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            painted += Unpainted(box.pixel(x, y), window) ? 0 : 1;
    EXPECT_EQ(painted, 0) << "a preview without pixels paints nothing; corner "
                          << Describe(box.pixel(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    SamplePreview, PreviewFailure,
    ::testing::Values(FailureCase{"BackgroundNoOverlay", false, FailureCase::None, 1, false},
                      FailureCase{"BackgroundWithOverlay", false, FailureCase::Good, 2, false},
                      FailureCase{"BackgroundAndOverlay", false, FailureCase::Undecodable, 2,
                                  false},
                      FailureCase{"OverlayOnly", true, FailureCase::Undecodable, 1, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(SamplePreviewTest, ImportOverlayChoiceAndRemoveAllRebuildIt) {
    const QString background = Picture("bg.png", 300, 200, kGreen);
    const QString overlay = Picture("mark.png", 30, 20, kRed);
    PreviewProbe dialog;
    QImage afterImport, afterOverlay;
    QSize afterRemoveAll;
    ModalScript script;
    script.OnMain(dialog, "import", [&] { ClickControl(dialog, IDC_IMPORT); })
        .Then("background", IsOpenFileDialog,
              [&](QWidget* modal) { AnswerFileDialog(modal, background); })
        .OnMain(dialog, "browse",
                [&] {
                    afterImport = PreviewPixels(dialog);
                    ClickControl(dialog, IDC_BROWSE_OVERLAY);
                })
        .Then("overlay", IsOpenFileDialog,
              [&](QWidget* modal) { AnswerFileDialog(modal, overlay); })
        .OnMain(dialog, "remove all",
                [&] {
                    afterOverlay = PreviewPixels(dialog);
                    ClickControl(dialog, IDC_REMOVE_ALL);
                })
        .OnMain(dialog, "exit", [&] {
            afterRemoveAll = PreviewPixels(dialog).size();
            ClickControl(dialog, IDC_EXIT);
        });
    EXPECT_EQ(script.Run(dialog, 30000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    ASSERT_EQ(afterImport.size(), QSize(300, 200));
    ASSERT_EQ(afterOverlay.size(), QSize(300, 200));
    // The job's own anchor (bottom right) and the overlay's own size in pixels.
    const QPoint overlayPlace(285, 190);
    EXPECT_TRUE(Near(afterImport.pixel(overlayPlace), kGreen, 2))
        << Describe(afterImport.pixel(overlayPlace));
    EXPECT_TRUE(Near(afterOverlay.pixel(overlayPlace), kRed, 2))
        << Describe(afterOverlay.pixel(overlayPlace));
    EXPECT_TRUE(Near(afterOverlay.pixel(265, 190), kGreen, 2)) << "left of the overlay";
    EXPECT_EQ(afterRemoveAll, QSize(64, 64));
}

// The preview shows a mark drawn smaller than its size as a run stamps it: the same reduced
// copy, so the thin lines a run keeps are not beaded in the preview (nor the other way round).
TEST_F(SamplePreviewTest, ShowsAReducedMarkAsARunStampsIt) {
    const QString background = Picture("bg.png", 400, 300, kGrey);
    const std::string mark = PathIn(m_dir, "signature.png");
    ASSERT_TRUE(SignatureImage(2400, 480).save(QString::fromLocal8Bit(mark.c_str())));
    PreviewProbe dialog;
    QImage shown;
    ModalScript script;
    script.OnMain(dialog, "a signature at an eighth", [&] {
        dialog.SetOverlay(mark.c_str());
        dialog.GetJob().nSizeX = 300;
        dialog.GetJob().nSizeY = 60;
        dialog.AddBackground(Bytes(background).c_str());
        dialog.RebuildPreview();
        shown = PreviewPixels(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    const QImage run = StampedAsARunWould(dialog.GetJob(), background, mark, m_dir);
    ASSERT_EQ(shown.size(), run.size());
    for (int y = 0; y < run.height(); ++y)
        for (int x = 0; x < run.width(); ++x)
            ASSERT_TRUE(Near(shown.pixel(x, y), QColor(run.pixel(x, y)), 1)) << x << "," << y;
}

// A large picture in the list: the window keeps answering (its thread never works 100 ms
// between two ticks of a timer on it; work, not wall time, so that a machine busy with other
// programs does not count) while the preview is composed, and the preview is reduced to about
// the box's size. The pictures are a quarter of the 100 and 250 megapixels a desktop sees.
struct ResponsiveCase {
    const char* name;
    const char* format;
    int width, height;
    bool overlay;      // Browse's choice too
    int anchor = 9;    // where the mark goes: 9 bottom right, 1 top left
    bool slow = false; // takes seconds: the box says a preview is being prepared meanwhile
};
void PrintTo(const ResponsiveCase& c, std::ostream* os) {
    *os << c.name;
}

// Whether the box shows text where the placeholder was: no red of its cross at the centre, and
// the window's text colour in a row of pixels across it.
bool SaysPreparing(QWidget* box) {
    const QImage shot = box->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QColor text = box->palette().color(QPalette::WindowText);
    int inked = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            inked += Near(shot.pixel(x, y), text, 60) ? 1 : 0;
    return !Near(shot.pixel(shot.width() / 2, shot.height() / 2), kRed) && inked >= 20;
}

class PreviewResponsive : public SamplePreviewTest,
                          public ::testing::WithParamInterface<ResponsiveCase> {};

TEST_P(PreviewResponsive, TheWindowAnswersWithin100MsAndThePreviewStaysSmall) {
    const ResponsiveCase& c = GetParam();
    const QString big = WritePicture(m_dir.filePath(QStringLiteral("big.") + c.format), c.width,
                                     c.height, kGreen, c.format);
    const QString mark = Picture("mark.png", c.width / 10, c.height / 10, kRed);
    PreviewProbe dialog;
    double longest = -1;
    bool preparing = false;
    QSize composed;
    QImage box, preview;
    auto threadMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    };
    ModalScript script;
    script.OnMain(dialog, "import and wait", [&] {
        double last = threadMs();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, threadMs() - last);
            last = threadMs();
        });
        tick.start(1);
        dialog.GetJob().SetOverlayAnchor(c.anchor);
        dialog.AddFiles({Bytes(big)});
        if (c.overlay)
            dialog.SetOverlayAside(Bytes(mark).c_str()); // as "Browse..." takes a choice
        WaitFor(
            [&] {
                preparing = preparing || SaysPreparing(Control(dialog, IDC_PREVIEW));
                return dialog.FinishPreview(0) != FALSE;
            },
            60000);
        tick.stop();
        longest = std::max(longest, threadMs() - last);
        preview = PreviewPixels(dialog);
        composed = preview.size();
        box = GrabPreviewBox(dialog);
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 120000), IDOK);
    EXPECT_TRUE(script.Finished()) << script.Pending();
    EXPECT_GE(longest, 0);
    EXPECT_LT(longest, 100) << "the window's thread worked " << longest << " ms on end";
    if (c.slow) {
        EXPECT_TRUE(preparing) << "the box never said that a preview is being prepared";
    }
    ASSERT_FALSE(composed.isEmpty());
    EXPECT_LE(std::max(composed.width(), composed.height()),
              2 * std::max(box.width(), box.height()))
        << composed.width() << " x " << composed.height();
    // The picture fills the box's width; the mark sits at its anchor's corner.
    const int shownHeight = box.width() * c.height / c.width;
    const int top = (box.height() - shownHeight) / 2;
    EXPECT_TRUE(Near(box.pixel(box.width() / 2, box.height() / 2), kGreen)) << "centre";
    const QRgb corner =
        c.anchor == 1 ? box.pixel(2, top + 2) : box.pixel(box.width() - 3, top + shownHeight - 3);
    EXPECT_TRUE(Near(corner, c.overlay ? kRed : kGreen)) << "corner: " << Describe(corner);
    if (!c.overlay)
        return;
    // The run's stamp of the picture, at the points of the preview around the mark's inner
    // corner (a tenth of the picture in from its own), scaled: the same colours.
    const QImage run = StampedAsARunWould(dialog.GetJob(), big, Bytes(mark), m_dir);
    ASSERT_EQ(run.size(), QSize(c.width, c.height));
    const int in = c.anchor == 1 ? -3 : 3; // from the inner corner into the mark
    const QPoint inner = c.anchor == 1 ? QPoint(composed.width(), composed.height()) / 10
                                       : QPoint(composed.width(), composed.height()) * 9 / 10;
    const struct {
        const char* name;
        QPoint at;
        QColor colour;
    } points[] = {{"inside the mark", inner + QPoint(in, in), kRed},
                  {"beside the mark", inner + QPoint(-in, in), kGreen},
                  {"across from the mark", inner + QPoint(in, -in), kGreen}};
    for (const auto& p : points) {
        const QPoint atRun((2 * p.at.x() + 1) * c.width / (2 * composed.width()),
                           (2 * p.at.y() + 1) * c.height / (2 * composed.height()));
        EXPECT_TRUE(Near(preview.pixel(p.at), p.colour)) << p.name << ", preview";
        EXPECT_TRUE(Near(run.pixel(atRun), p.colour)) << p.name << ", run";
    }
}

INSTANTIATE_TEST_SUITE_P(
    SamplePreview, PreviewResponsive,
    ::testing::Values(
        ResponsiveCase{"Jpeg25Megapixels", "jpg", 6124, 4082, false},
        ResponsiveCase{"Png62MegapixelsWithOverlay", "png", 9682, 6454, true, 9, true},
        ResponsiveCase{"Png5MegapixelsWithOverlayTopLeft", "png", 2700, 1800, true, 1}),
    [](const ::testing::TestParamInfo<ResponsiveCase>& info) { return info.param.name; });
