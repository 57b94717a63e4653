// The main window on screens of every common scale, and the program's pictures on light and
// dark palettes.

#include "PreviewTestSupport.h"
#include "TestMain.h"

#include "app/framework/ControlWidgets.h"
#include "app/framework/ResourceImages.h"
#include "app/framework/WinApp.h"
#include "imaging/ResourcePaths.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QFile>

#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QWindow>
#include <cstdio>

#include <cmath>
#include <optional>

#include <gtest/gtest.h>

using namespace preview_test;

namespace {

QScreen* ScreenOfScale(double scale) {
    for (QScreen* screen : QGuiApplication::screens())
        if (qFuzzyCompare(screen->devicePixelRatio(), scale))
            return screen;
    return nullptr;
}

// The main window moved onto the screen of that scale.
bool MoveToScale(CMainDlg& dialog, double scale) {
    QScreen* screen = ScreenOfScale(scale);
    QWidget* window = dialog.GetWidget();
    if (screen == nullptr || window == nullptr)
        return false;
    window->move(screen->geometry().topLeft() + QPoint(20, 20));
    window->windowHandle()->setScreen(screen);
    return WaitFor(
        [&] { return qFuzzyCompare(Control(dialog, IDC_PREVIEW)->devicePixelRatioF(), scale); });
}

// A point of the box in device pixels and what it should show: the picture's colour, another
// colour of it, or the dialog's background where the box is not painted.
struct Expect {
    const char* name;
    QPoint at;
    std::optional<QColor> colour; // empty: not painted
};

void ExpectAt(const QImage& box, const std::vector<Expect>& points, const char* what) {
    for (const Expect& p : points) {
        ASSERT_TRUE(box.rect().contains(p.at))
            << what << ", " << p.name << " (" << p.at.x() << ", " << p.at.y() << ") in a box of "
            << box.width() << " x " << box.height();
        const QRgb got = box.pixel(p.at);
        if (p.colour)
            EXPECT_TRUE(Near(got, *p.colour, 40))
                << what << ", " << p.name << ": " << Describe(got);
        else
            EXPECT_EQ(qAlpha(got), 0) << what << ", " << p.name << ": " << Describe(got);
    }
}

class PreviewAtScale : public ::testing::TestWithParam<double> {
  protected:
    void SetUp() override {
        UseProgramTemplates();
        ASSERT_TRUE(m_dir.isValid());
    }
    QTemporaryDir m_dir;
};

// The box grabbed in device pixels, with nothing beneath it: what the preview leaves
// unpainted stays transparent.
QImage GrabBoxAlone(CMainDlg& dialog) {
    dialog.FinishPreview(20000);
    QWidget* box = Control(dialog, IDC_PREVIEW);
    const qreal ratio = box->devicePixelRatioF();
    QImage image(qRound(box->width() * ratio), qRound(box->height() * ratio),
                 QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    box->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.convertToFormat(QImage::Format_ARGB32);
}

TEST_P(PreviewAtScale, FillsItsFittedRectangleAndShowsBothDiagonals) {
    const double scale = GetParam();
    const QColor green(40, 160, 90);
    const QString portrait =
        WritePicture(m_dir.filePath(QStringLiteral("portrait.png")), 600, 800, green);
    PreviewProbe dialog;
    QImage placeholder;
    QImage picture;
    QPixmap banner;
    ModalScript script;
    script.OnMain(dialog, "look at both previews", [&] {
        if (MoveToScale(dialog, scale)) {
            banner = qobject_cast<QLabel*>(Control(dialog, IDC_BANNER))->pixmap();
            placeholder = GrabBoxAlone(dialog);
            dialog.AddBackground(Bytes(portrait).c_str());
            dialog.RebuildPreview();
            picture = GrabBoxAlone(dialog);
        }
        ClickControl(dialog, IDC_EXIT);
    });
    EXPECT_EQ(script.Run(dialog, 20000), IDOK);
    ASSERT_FALSE(placeholder.isNull()) << "no screen of scale " << scale;

    // The banner brings a pixel for every pixel of the screen, in its designed size.
    EXPECT_GE(banner.devicePixelRatio(), scale);
    EXPECT_EQ(banner.deviceIndependentSize().toSize(), QSize(400, 85));

    // The box in device pixels. The square placeholder takes the whole width, centred down
    // the box (past its top and bottom when the box is wider than tall). A pixel (u, v) of the
    // placeholder shows at:
    const int W = placeholder.width();
    const int H = placeholder.height();
    const int top = (H - W) / 2;
    const int bottom = (W + H) / 2;
    auto at = [&](double u, double v) {
        return QPoint(static_cast<int>((u + 0.5) * W / 64),
                      top + static_cast<int>((v + 0.5) * W / 64));
    };
    const QColor red(255, 0, 0);
    const QColor grey(192, 192, 192);
    std::vector<Expect> points = {{"crossing", at(31.5, 31.5), red},
                                  {"falling diagonal, near end", at(8, 8), red},
                                  {"falling diagonal, far end", at(56, 56), red},
                                  {"rising diagonal, near end", at(56, 7), red},
                                  {"rising diagonal, far end", at(7, 56), red},
                                  {"ground above the crossing", at(32, 10), grey},
                                  {"ground right of the crossing", at(54, 32), grey},
                                  {"ground below the crossing", at(32, 54), grey}};
    if (top >= 3)
        points.push_back({"above", {W / 2, top - 3}, std::nullopt});
    if (H - bottom >= 3)
        points.push_back({"below", {W / 2, bottom + 2}, std::nullopt});
    ExpectAt(placeholder, points, "placeholder");

    // A portrait picture: the whole height, centred across.
    const int shown = static_cast<int>(H * 0.75);
    const int left = (W - shown) / 2;
    const int right = (shown + W) / 2;
    ExpectAt(picture,
             {{"near corner", {left + 1, 1}, green},
              {"far corner", {right - 2, H - 2}, green},
              {"left margin", {left - 3, H / 2}, std::nullopt},
              {"right margin", {right + 2, H / 2}, std::nullopt}},
             "portrait");
}

// Any widget painter handed to the imaging library, not only the preview's: a picture drawn
// over the whole widget reaches its far corner.
class PictureWidget : public QWidget {
  public:
    explicit PictureWidget(const ImageRecord& picture) : m_picture(picture) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        DrawingSurface surface = DrawingSurface::OnDeviceContext(reinterpret_cast<HDC>(&painter));
        surface.DrawImage(m_picture.hImage, 0, 0, width(), height());
    }

  private:
    const ImageRecord& m_picture;
};

TEST_P(PreviewAtScale, ImagingLibraryFillsAWidgetOnTheScreen) {
    const double scale = GetParam();
    const QColor blue(30, 60, 200);
    ImageRecord picture;
    picture.CreateBitmapFromFile(
        Bytes(WritePicture(m_dir.filePath(QStringLiteral("blue.png")), 40, 30, blue)).c_str());
    ASSERT_EQ(picture.Width(), 40u);
    PictureWidget widget(picture);
    widget.resize(120, 90);
    QScreen* screen = ScreenOfScale(scale);
    ASSERT_NE(screen, nullptr);
    widget.move(screen->geometry().topLeft() + QPoint(10, 10));
    widget.show();
    widget.windowHandle()->setScreen(screen);
    ASSERT_TRUE(WaitFor([&] { return qFuzzyCompare(widget.devicePixelRatioF(), scale); }));
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const int W = shown.width();
    const int H = shown.height();
    ExpectAt(shown,
             {{"near corner", {1, 1}, blue},
              {"centre", {W / 2, H / 2}, blue},
              {"far corner", {W - 2, H - 2}, blue}},
             "widget");
}

INSTANTIATE_TEST_SUITE_P(Desktop, PreviewAtScale, ::testing::Values(1.0, 1.25, 1.5, 2.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return "Scale" + std::to_string(static_cast<int>(info.param * 100));
                         });

// ---- Palettes ----

const auto Contrast = &ContrastRatio;

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(58, 58, 62));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    return dark;
}

struct PaletteCase {
    const char* name;
    std::function<QPalette()> palette;
};
void PrintTo(const PaletteCase& c, std::ostream* os) {
    *os << c.name;
}

class PicturesOnPalette : public ::testing::TestWithParam<PaletteCase> {
  protected:
    void SetUp() override {
        m_saved = QApplication::palette();
        QApplication::setPalette(GetParam().palette());
    }
    void TearDown() override { QApplication::setPalette(m_saved); }
    QPalette m_saved;
};

// A point of each anchor figure, in a 32-pixel icon, that lies on its ink.
const struct {
    int id;
    QPoint inked;
} kAnchorInk[] = {{137, {4, 4}},   {141, {16, 4}}, {138, {27, 4}},  {135, {4, 16}}, {140, {16, 16}},
                  {136, {27, 16}}, {133, {4, 27}}, {134, {16, 27}}, {139, {27, 27}}};

TEST_P(PicturesOnPalette, AnchorFiguresAndPlaceholderReadOnIt) {
    const QPalette palette = QApplication::palette();
    const QColor button = palette.color(QPalette::Button);
    const QColor window = palette.color(QPalette::Window);

    for (const auto& anchor : kAnchorInk) {
        HICON handle = LoadIconById(anchor.id);
        ASSERT_NE(handle, nullptr) << anchor.id;
        const QIcon icon = IconOfHandle(handle);
        DestroyIcon(handle);
        // The figure as a button shows it: over the button's colour.
        QImage shown(32, 32, QImage::Format_ARGB32);
        shown.fill(button);
        QPainter painter(&shown);
        painter.drawPixmap(0, 0, icon.pixmap(QSize(32, 32), 1.0));
        painter.end();
        EXPECT_GE(Contrast(shown.pixelColor(anchor.inked), button), 4.5)
            << "icon " << anchor.id << ": " << Describe(shown.pixel(anchor.inked)) << " on "
            << Describe(button.rgba());

        // The same shape in either ink: the alpha of the designed (light-desktop) picture.
        const QImage designed =
            QImage(IconResourcePath(anchor.id)).convertToFormat(QImage::Format_ARGB32);
        const QImage loaded =
            icon.pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(loaded.size(), designed.size()) << anchor.id;
        int largest = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                largest = std::max(
                    largest, std::abs(qAlpha(loaded.pixel(x, y)) - qAlpha(designed.pixel(x, y))));
        EXPECT_LE(largest, 8) << "icon " << anchor.id << " changed its shape";
    }

    // The placeholder as the preview gets it: its ground sits quietly in the window, its
    // diagonals stand out from the ground.
    ImageRecord placeholder;
    placeholder.CreateBitmapFromResource(AfxGetInstanceHandle(), IDB_PREVIEW_PLACEHOLDER);
    ASSERT_EQ(placeholder.Width(), 64u);
    QImage pixels(64, 64, QImage::Format_ARGB32);
    QPainter painter(&pixels);
    DrawingSurface surface = DrawingSurface::OnDeviceContext(reinterpret_cast<HDC>(&painter));
    surface.DrawImage(placeholder.hImage, 0, 0, 64, 64);
    surface.Close();
    painter.end();
    const QColor ground = pixels.pixelColor(32, 4);
    const QColor line = pixels.pixelColor(10, 10);
    EXPECT_LE(Contrast(ground, window), 2.0) << "the ground glares: " << Describe(ground.rgba());
    EXPECT_GE(Contrast(line, ground), 2.0) << Describe(line.rgba());
    EXPECT_GT(line.red(), line.green() + 100) << "the diagonals are red";

    // The about box's logo: its card sits quietly in the window, its name reads on the card.
    HBITMAP logo = LoadBitmapById(IDB_ABOUT_LOGO);
    const QImage card = PixmapOfHandle(logo).toImage();
    DeleteObject(logo);
    ASSERT_EQ(card.width(), 2 * card.height());
    const double k = card.width() / 200.0; // drawn for the finest screen's scale
    const QColor paper = card.pixelColor(QPointF(190 * k, 10 * k).toPoint());
    double name = 0; // the name's ink: the strongest pixel of its line
    for (int y = int(36 * k); y < int(54 * k); ++y)
        for (int x = int(82 * k); x < int(190 * k); ++x)
            name = std::max(name, Contrast(card.pixelColor(x, y), paper));
    EXPECT_LE(Contrast(paper, window), 2.0) << "the logo glares: " << Describe(paper.rgba());
    EXPECT_GE(name, 4.5) << "the name does not read on its card";
}

// The chosen anchor cell, also on qt6ct's "darker" and "dusk": 3:1 from the others and its figure.
TEST(AnchorCell, ChosenOneStandsOutOnEveryPaletteAndStyle) {
    for (const char* scheme : {"",
                               "#fff #424245 #979797 #5e5c5b #302f2e #4a4947 #fff #fff #fff "
                               "#3d3d3d #222020 #e7e4e0 #12608a #f9f9f9",
                               "#000 #7f7f7f #fff #cbc7c4 #7f7f7f #b8b5b2 #000 #fff #000 #7f7f7f "
                               "#7f7f7f #707070 #308cc6 #fff"}) {
        QPalette palette = QApplication::style()->standardPalette();
        const QStringList colours = QString::fromLatin1(scheme).split(' ');
        for (int role = 0; colours.size() == 14 && role < 14; ++role)
            palette.setColor(static_cast<QPalette::ColorRole>(role), QColor(colours[role]));
        QApplication::setPalette(palette);
        HICON dot = LoadIconById(140); // in the palette's ink
        for (const char* name : {"Fusion", "Windows"}) {
            std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(name)));
            QImage shown[2];
            for (int chosen : {0, 1}) {
                DlgPushButton cell(1022, BS_RADIOBUTTON | BS_PUSHLIKE | BS_ICON, true, nullptr);
                cell.setStyle(style.get());
                cell.setCheckable(true);
                cell.setChecked(chosen == 1);
                cell.setIcon(IconOfHandle(dot));
                cell.resize(28, 28);
                shown[chosen] = cell.grab().toImage();
            }
            const QColor face = shown[1].pixelColor(5, 5);
            EXPECT_TRUE(Contrast(face, shown[0].pixelColor(5, 5)) >= 3 &&
                        Contrast(shown[1].pixelColor(14, 14), face) >= 3)
                << scheme << name;
        }
        DestroyIcon(dot);
    }
    QApplication::setPalette(QApplication::style()->standardPalette());
}

// Where 85 points are 127.5 pixels, the banner's last row is its gold rule all along.
TEST(Banner, EndsInItsRuleAtScaleOneAndAHalf) {
    const QImage banner(ScaledBitmapResourcePath(IDB_BANNER, 1.5));
    for (int x = 0; x < banner.width(); x += 7)
        EXPECT_TRUE(Near(banner.pixel(x, 127), QColor(201, 162, 75), 40)) << x;
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, PicturesOnPalette,
    ::testing::Values(PaletteCase{"Light", [] { return QApplication::style()->standardPalette(); }},
                      PaletteCase{"Dark", DarkPalette}),
    [](const ::testing::TestParamInfo<PaletteCase>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// The offscreen platform with one screen per common scale (1, 1.25, 1.5 and 2 device pixels
// per point), side by side, so that a test moves a window to a scale.
bool UseScreensOfEveryScale() {
    static QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the screen configuration\n");
        return false;
    }
    // The first screen is the platform's usual one; each further one lies right of it.
    file.write(R"({"screens": [
        {"name": "scale-1", "x": 0, "y": 0, "width": 1600, "height": 1200, "dpr": 1, "logicalDpi": 96},
        {"name": "scale-1.25", "x": 1600, "y": 0, "width": 1600, "height": 1200, "dpr": 1.25, "logicalDpi": 96},
        {"name": "scale-1.5", "x": 3200, "y": 0, "width": 1600, "height": 1200, "dpr": 1.5, "logicalDpi": 96},
        {"name": "scale-2", "x": 4800, "y": 0, "width": 1600, "height": 1200, "dpr": 2, "logicalDpi": 96}]})");
    file.close();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    return true;
}

} // namespace

// The desktop look tests: the window tests' set-up on screens of every common scale.
test_main::Program test_main::ThisProgram() {
    return {.application = &dialog_driving::WidgetApplication,
            .locale = test_main::Locale::Utf8,
            .beforeApplication = &UseScreensOfEveryScale,
            .setUp = [] {
                RegisterProgramResources();
                SetDialogTemplateLookup(&FindDialogTemplate);
            }};
}
