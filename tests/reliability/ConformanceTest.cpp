// Valid pictures of the less common kinds (16-bit samples, alpha, transparency keys, 16-bit
// BMP) go through a run and come out as the picture: every pixel outside the overlay as an
// independent decoder (ImageMagick) reads the background, transparency kept (PNG keeps it).

#include "BatchFixture.h"
#include "BatchRecorder.h"
#include "TestPictures.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Output of a convert run; empty when it failed.
QByteArray Convert(const QStringList& arguments) {
    QProcess convert;
    convert.start("convert", arguments);
    if (!convert.waitForFinished(60000) || convert.exitStatus() != QProcess::NormalExit ||
        convert.exitCode() != 0)
        return {};
    return convert.readAllStandardOutput();
}

// A colour ramp that is never black; with straight alpha rising from 0 on the left to opaque
// on the right (16-bit), or opaque with a black rectangle for a transparency key to name.
QImage Source(bool alpha) {
    QImage image(kWidth, kHeight, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const bool keyed = !alpha && x >= 8 && x < 24 && y >= 8 && y < 20;
            line[x] = keyed
                          ? QRgba64::fromRgba64(0, 0, 0, 0xFFFF)
                          : QRgba64::fromRgba64(quint16(9000 + x * 880 + y * 3),
                                                quint16(60000 - y * 1200 - x * 5),
                                                quint16(20000 + x * 300 + y * 500),
                                                alpha ? quint16(x * 65535 / (kWidth - 1)) : 0xFFFF);
        }
    }
    return image;
}

struct Kind {
    const char* name;
    bool alphaSource;
    QStringList arguments; // convert's, between the source and the output
    const char* prefix;    // output format prefix of convert
    // What the file must be, checked in its header: PNG bit depth and colour type, or the
    // BMP's bits per pixel; and whether a PNG has a transparency key.
    int depth, colourType;
    bool key;
};

// The file is the kind it is meant to be (convert chooses some details itself).
void ExpectKind(const QByteArray& file, const Kind& kind) {
    if (file.startsWith("BM")) {
        ASSERT_GE(file.size(), 30);
        EXPECT_EQ(int(uchar(file[28])), kind.depth);
        return;
    }
    ASSERT_GE(file.size(), 33);
    EXPECT_EQ(int(uchar(file[24])), kind.depth);
    EXPECT_EQ(int(uchar(file[25])), kind.colourType);
    EXPECT_EQ(file.indexOf("tRNS") >= 0, kind.key);
}

} // namespace

TEST_F(Reliability, ValidPicturesOfEveryKindComeOutAsThePicture) {
    if (QStandardPaths::findExecutable("convert").isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const QStringList grey{"-colorspace", "Gray"};
    const QStringList keyed{"-transparent", "black"};
    const auto png = [](int depth, int type) {
        return QStringList{"-define", QString("png:bit-depth=%1").arg(depth), "-define",
                           QString("png:color-type=%1").arg(type)};
    };
    const Kind kinds[] = {
        {"rgba16.png", true, png(16, 6), "PNG:", 16, 6, false},
        {"grey-alpha16.png", true, grey + png(16, 4), "PNG:", 16, 4, false},
        {"rgb16-key.png", false, keyed + png(16, 2), "PNG:", 16, 2, true},
        {"rgb8-key.png", false, keyed + png(8, 2), "PNG:", 8, 2, true},
        {"grey4-key.png", false, grey + keyed + png(4, 0), "PNG:", 4, 0, true},
        {"grey16-key.png", false, grey + keyed + png(16, 0), "PNG:", 16, 0, true},
        {"rgb16.png", false, png(16, 2), "PNG:", 16, 2, false},
        {"grey16.png", false, grey + png(16, 0), "PNG:", 16, 0, false},
        {"rgb555.bmp", false, {"-define", "bmp:subtype=RGB555"}, "BMP:", 16, 0, false},
        {"rgb565.bmp", false, {"-define", "bmp:subtype=RGB565"}, "BMP:", 16, 0, false},
    };
    ASSERT_TRUE(Source(true).save(QFile::decodeName(In("alpha-source.png")), "PNG"));
    ASSERT_TRUE(Source(false).save(QFile::decodeName(In("keyed-source.png")), "PNG"));
    std::vector<std::string> expected;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const QString source =
            QFile::decodeName(In(kind.alphaSource ? "alpha-source.png" : "keyed-source.png"));
        Convert(QStringList{source} + kind.arguments +
                QStringList{kind.prefix + QFile::decodeName(In(kind.name))});
        ExpectKind(ReadBytes(In(kind.name)), kind);
        job.AddFile(In(kind.name).constData());
        expected.push_back(Line(kind.name, kDone));
    }
    expected.push_back("Batch Completed");

    BatchRecorder recorder(job);
    RunBatch(job, recorder);

    ASSERT_EQ(recorder.Lines(), expected);
    // Every pixel outside the overlay's cell, within one level per 8-bit channel; colour only
    // where the pixel is not wholly transparent (a transparent pixel has none).
    const int overlayLeft = kWidth - kWidth / 4;
    const int overlayTop = kHeight - kHeight / 4;
    int serial = 0;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        char output[16];
        std::snprintf(output, sizeof output, "%03d.PNG", serial++);
        const QStringList rgba{"-depth", "8", "rgba:-"};
        const QByteArray want = Convert(QStringList{QFile::decodeName(In(kind.name))} + rgba);
        const QByteArray got = Convert(QStringList{QFile::decodeName(Out(output))} + rgba);
        ASSERT_EQ(want.size(), kWidth * kHeight * 4);
        ASSERT_EQ(got.size(), want.size());
        int wrong = 0;
        std::string first;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (x >= overlayLeft && y >= overlayTop)
                    continue;
                const qsizetype at = (qsizetype(y) * kWidth + x) * 4;
                const int alpha = uchar(want[at + 3]);
                bool same = std::abs(alpha - int(uchar(got[at + 3]))) <= 1;
                for (int c = 0; c < 3 && alpha > 0; ++c)
                    same =
                        same && std::abs(int(uchar(want[at + c])) - int(uchar(got[at + c]))) <= 1;
                if (!same && wrong++ == 0) {
                    first = std::to_string(x) + "," + std::to_string(y) + ": want " +
                            want.mid(at, 4).toHex().toStdString() + " got " +
                            got.mid(at, 4).toHex().toStdString();
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "first at " << first;
    }
}
