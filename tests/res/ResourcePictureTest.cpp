// The embedded pictures: present in a program that links the library, of the sizes and formats
// the dialogs expect, and the placeholder exactly as designed.

#include "TestMain.h"
#include "TestName.h"
#include "imaging/ResourcePaths.h"
#include "res/DialogTemplates.h"
#include "res/ProgramResources.h"

#include <QColor>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

QImage Load(const QString& path) {
    QImage image(path);
    EXPECT_FALSE(image.isNull()) << qPrintable(path);
    return image;
}

// This runs before anything calls RegisterProgramResources: the pictures must be reachable
// merely because the program links the library.
TEST(ProgramResources, AreLinkedIntoTheProgram) {
    EXPECT_TRUE(QFile(QStringLiteral(":/bitmap/156.png")).exists());
    EXPECT_TRUE(QFile(QStringLiteral(":/icon/128.png")).exists());
}

TEST(ProgramResources, RegisteringTwiceKeepsThemReadable) {
    RegisterProgramResources();
    RegisterProgramResources();
    EXPECT_EQ(Load(BitmapResourcePath(156)).size(), QSize(64, 64));
    EXPECT_FALSE(QFile(IconResourcePath(999)).exists());
    EXPECT_EQ(IconResourcePath(133), QStringLiteral(":/icon/133.png"));
    EXPECT_EQ(BitmapResourcePath(132), QStringLiteral(":/bitmap/132.png"));
}

TEST(ProgramResources, PathsNameThePicturesTheArtworkDraws) {
    const struct {
        QString path;
        const char* expected;
    } cases[] = {
        {IconResourcePath(133, true), ":/icon/dark/133.png"},
        {IconSizesResourceFolder(128), ":/icon/128"},
        {IconSizesResourceFolder(139, true), ":/icon/dark/139"},
        {BitmapResourcePath(156, true), ":/bitmap/dark/156.png"},
        {ScaledBitmapResourcePath(129, 1.25), ":/bitmap/129@1.25x.png"},
        {ScaledBitmapResourcePath(132, 1.5), ":/bitmap/132@1.5x.png"},
        {ScaledBitmapResourcePath(132, 2.0), ":/bitmap/132@2x.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.path, QString::fromLatin1(c.expected));
        EXPECT_TRUE(QFile::exists(c.path)) << c.expected;
    }
}

TEST(ProgramResources, EveryPictureATemplateNamesExists) {
    int checked = 0;
    for (int templateId : {102, 103, 142, 154}) {
        const DialogTemplate* t = FindDialogTemplate(templateId);
        ASSERT_NE(t, nullptr);
        for (int i = 0; i < t->controlCount; ++i) {
            const DialogControl& c = t->controls[i];
            if (c.imageId == 0) {
                continue;
            }
            const bool bitmap = c.kind == ControlKind::Button
                                    ? (c.style & BS_BITMAP) != 0
                                    : (c.style & SS_TYPEMASK) == SS_BITMAP;
            const QString path =
                bitmap ? BitmapResourcePath(c.imageId) : IconResourcePath(c.imageId);
            EXPECT_FALSE(QImage(path).isNull())
                << "template " << templateId << " control " << c.id << ": " << qPrintable(path);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 11); // banner, about logo and the nine anchor cells
}

struct PictureCase {
    const char* path;
    int width, height;
    bool alpha;
};
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.path;
}

class Picture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(Picture, HasItsDesignedSizeAndFormat) {
    const QImage image = Load(QString::fromLatin1(GetParam().path));
    EXPECT_EQ(image.width(), GetParam().width);
    EXPECT_EQ(image.height(), GetParam().height);
    EXPECT_EQ(image.hasAlphaChannel(), GetParam().alpha);
    if (!GetParam().alpha) {
        EXPECT_EQ(image.depth(), 32); // 24-bit colour decodes into a 32-bit image without alpha
        EXPECT_FALSE(image.isGrayscale());
    }
}

INSTANTIATE_TEST_SUITE_P(Res, Picture,
                         ::testing::Values(PictureCase{":/bitmap/129.png", 200, 100, false},
                                           PictureCase{":/bitmap/132.png", 400, 85, false},
                                           PictureCase{":/bitmap/156.png", 64, 64, false},
                                           PictureCase{":/icon/128.png", 256, 256, true},
                                           PictureCase{":/icon/128/16.png", 16, 16, true},
                                           PictureCase{":/icon/128/24.png", 24, 24, true},
                                           PictureCase{":/icon/128/32.png", 32, 32, true},
                                           PictureCase{":/icon/128/48.png", 48, 48, true},
                                           PictureCase{":/icon/128/64.png", 64, 64, true},
                                           PictureCase{":/icon/128/128.png", 128, 128, true},
                                           PictureCase{":/icon/128/256.png", 256, 256, true},
                                           // Drawn again for screens of other scales and for
                                           // dark desktops.
                                           PictureCase{":/bitmap/129@1.25x.png", 250, 125, false},
                                           PictureCase{":/bitmap/132@1.5x.png", 600, 128, false},
                                           PictureCase{":/bitmap/132@2x.png", 800, 170, false},
                                           PictureCase{":/bitmap/dark/156.png", 64, 64, false},
                                           PictureCase{":/icon/133/20.png", 20, 20, true},
                                           PictureCase{":/icon/dark/139/64.png", 64, 64, true}),
                         [](const auto& info) { return TestNamePart(info.param.path); });

TEST(ApplicationIcon, IsAFigureOnATransparentGround) {
    for (int size : {16, 32, 256}) {
        const QImage icon = Load(QStringLiteral(":/icon/128/%1.png").arg(size));
        EXPECT_EQ(qAlpha(icon.pixel(0, size - 1)), 0) << size; // bottom-left corner is empty
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }
}

// ---- The preview placeholder: exact colours, so no tolerance ----

const QRgb kGrey = qRgb(192, 192, 192);
const QRgb kRed = qRgb(255, 0, 0);

struct PixelCase {
    const char* name;
    int x, y;
    QRgb colour;
};
void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaceholderPixel : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PlaceholderPixel, HasItsColour) {
    const QImage image = Load(QStringLiteral(":/bitmap/156.png"));
    const PixelCase& p = GetParam();
    EXPECT_EQ(image.pixel(p.x, p.y) & 0xFFFFFF, p.colour & 0xFFFFFF) << p.name;
}

INSTANTIATE_TEST_SUITE_P(
    Res, PlaceholderPixel,
    ::testing::Values(
        PixelCase{"top left corner", 0, 0, kRed}, PixelCase{"top right corner", 63, 0, kRed},
        PixelCase{"bottom left corner", 0, 63, kRed},
        PixelCase{"bottom right corner", 63, 63, kRed}, PixelCase{"centre", 31, 31, kRed},
        PixelCase{"centre", 32, 32, kRed}, PixelCase{"falling diagonal", 20, 20, kRed},
        PixelCase{"rising diagonal", 20, 43, kRed}, PixelCase{"top middle", 32, 3, kGrey},
        PixelCase{"left middle", 3, 32, kGrey}, PixelCase{"right middle", 60, 32, kGrey},
        PixelCase{"bottom middle", 32, 60, kGrey}, PixelCase{"between the arms", 10, 31, kGrey}));

TEST(Placeholder, HoldsOnlyGreyAndRed) {
    const QImage image = Load(QStringLiteral(":/bitmap/156.png"));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000;
            ASSERT_TRUE(c == kGrey || c == kRed) << x << "," << y;
        }
    }
}

TEST(Placeholder, EachDiagonalIsAboutTwoPixelsWide) {
    // Away from the crossing, each row meets each line in one run of red. A line w pixels wide
    // at 45 degrees crosses a row in about w * 1.41 pixels: 2 to 4 for "about two".
    const QImage image = Load(QStringLiteral(":/bitmap/156.png"));
    for (int y : {2, 10, 20, 43, 53, 61}) {
        std::vector<int> runs;
        int run = 0;
        for (int x = 0; x <= image.width(); ++x) {
            const bool red = x < image.width() && (image.pixel(x, y) | 0xFF000000) == kRed;
            if (red) {
                ++run;
            } else if (run > 0) {
                runs.push_back(run);
                run = 0;
            }
        }
        ASSERT_EQ(runs.size(), 2u) << "row " << y;
        for (int r : runs) {
            EXPECT_GE(r, 2) << "row " << y;
            EXPECT_LE(r, 4) << "row " << y;
        }
    }
}

// ---- Anchor icons ----

struct AnchorIconCase {
    int id;
    // The figure lies against one side or corner of the icon: a point there is inked, and the
    // opposite point is empty.
    QPoint inked;
    QPoint empty;
};
void PrintTo(const AnchorIconCase& c, std::ostream* os) {
    *os << "icon " << c.id;
}

class AnchorIcon : public ::testing::TestWithParam<AnchorIconCase> {};

TEST_P(AnchorIcon, IsABlackFigureOnATransparentGroundAtItsSide) {
    const QImage icon =
        Load(IconResourcePath(GetParam().id)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(32, 32));
    int inked = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb c = icon.pixel(x, y);
            if (qAlpha(c) > 0) {
                ++inked;
                // Black, allowing 8 levels for rounding at partly transparent edges.
                ASSERT_LE(qRed(c) + qGreen(c) + qBlue(c), 8) << x << "," << y;
            }
        }
    }
    EXPECT_GT(inked, 60);      // a real figure, not a speck
    EXPECT_LT(inked, 32 * 20); // and mostly transparent
    EXPECT_EQ(qAlpha(icon.pixel(GetParam().inked)), 255);
    EXPECT_EQ(qAlpha(icon.pixel(GetParam().empty)), 0);
}

INSTANTIATE_TEST_SUITE_P(Res, AnchorIcon,
                         ::testing::Values(AnchorIconCase{137, {4, 4}, {27, 27}},  // top left
                                           AnchorIconCase{141, {16, 4}, {16, 30}}, // top
                                           AnchorIconCase{138, {27, 4}, {4, 27}},  // top right
                                           AnchorIconCase{135, {4, 16}, {30, 16}}, // left
                                           AnchorIconCase{140, {16, 16}, {4, 4}},  // centre
                                           AnchorIconCase{136, {27, 16}, {1, 16}}, // right
                                           AnchorIconCase{133, {4, 27}, {27, 4}},  // bottom left
                                           AnchorIconCase{134, {16, 27}, {16, 1}}, // bottom
                                           AnchorIconCase{139, {27, 27}, {4, 4}}), // bottom right
                         [](const auto& info) { return "Icon" + std::to_string(info.param.id); });

TEST(AnchorIcons, AreNineDifferentPictures) {
    std::set<QByteArray> seen;
    for (int id = 133; id <= 141; ++id) {
        const QImage icon = Load(IconResourcePath(id)).convertToFormat(QImage::Format_ARGB32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()),
                               static_cast<int>(icon.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), 9u);
}

int LargestAlphaDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            largest = std::max(largest, std::abs(qAlpha(a.pixel(x, y)) - qAlpha(b.pixel(x, y))));
        }
    }
    return largest;
}

struct MirrorCase {
    int id;
    int mirrorId;
    bool horizontal, vertical;
};
void PrintTo(const MirrorCase& c, std::ostream* os) {
    *os << "icon " << c.id << " mirrored as " << c.mirrorId;
}

class AnchorIconMirror : public ::testing::TestWithParam<MirrorCase> {};

TEST_P(AnchorIconMirror, MatchesItsOppositeCell) {
    // Opposite cells are mirror images; 8 levels of alpha allow for edge smoothing.
    const MirrorCase& m = GetParam();
    const QImage a = Load(IconResourcePath(m.id)).convertToFormat(QImage::Format_ARGB32);
    const QImage b = Load(IconResourcePath(m.mirrorId)).convertToFormat(QImage::Format_ARGB32);
    EXPECT_LE(LargestAlphaDifference(a.mirrored(m.horizontal, m.vertical), b), 8);
}

INSTANTIATE_TEST_SUITE_P(Res, AnchorIconMirror,
                         ::testing::Values(MirrorCase{137, 138, true, false},
                                           MirrorCase{137, 133, false, true},
                                           MirrorCase{137, 139, true, true},
                                           MirrorCase{135, 136, true, false},
                                           MirrorCase{141, 134, false, true}),
                         [](const auto& info) {
                             return "Icon" + std::to_string(info.param.id) + "_Icon" +
                                    std::to_string(info.param.mirrorId);
                         });

} // namespace

// Pictures are decoded through QtGui, which wants an application object; no imaging library.
test_main::Program test_main::ThisProgram() {
    return {.imaging = false};
}
