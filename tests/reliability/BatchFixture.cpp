#include "BatchFixture.h"

#include "TestPictures.h"
#include "engine/TextHelpers.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <dirent.h>

void BatchFixture::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
    ASSERT_TRUE(OverlayImage().save(QFile::decodeName(In("overlay.png")), "PNG"));
    CopyText(job.szOverlayPath, In("overlay.png").constData());
    CopyText(job.szOutputDir, Out().constData());
    CopyText(job.szOutputFormat, "image/png");
    CopyText(job.szNameTemplate, "###");
    job.SetSizeMode(SizeModePercent);
    job.SetOverlayAnchor(9);
    job.nSizeX = 25;
    job.nSizeY = 25;
}

QByteArray BatchFixture::In(const char* name) const {
    return QFile::encodeName(m_dir.path()) + "/" + name;
}

QByteArray BatchFixture::Out(const char* name) const {
    QByteArray path = QFile::encodeName(m_dir.path()) + "/out";
    if (name)
        path += QByteArray("/") + name;
    return path;
}

QByteArray BatchFixture::Put(const char* name, const QByteArray& bytes) const {
    const QByteArray path = In(name);
    EXPECT_TRUE(WriteBytes(path, bytes)) << name;
    return path;
}

void BatchFixture::List(std::initializer_list<const char*> names) {
    for (const char* name : names)
        job.AddFile(In(name).constData());
}

void BatchFixture::ListInputs(std::span<const Input> inputs, std::vector<std::string>& expected) {
    for (const Input& input : inputs) {
        job.AddFile(Put(input.name, input.bytes).constData());
        expected.push_back(Line(input.name, input.outcome));
    }
}

QByteArray BatchFixture::PutGoodLast(std::vector<std::string>& expected) const {
    expected.push_back(Line("good.png", kDone));
    expected.push_back("Batch Completed");
    return Put("good.png", Encode(SolidImage(64, 48, Qt::white), "png"));
}

ChildBatchResult BatchFixture::RunChild(ChildBatchSpec spec) const {
    spec.overlay = In("overlay.png");
    spec.outputDir = Out();
    return RunChildBatch(spec);
}

std::string HowItEnded(const ChildBatchResult& result) {
    return "exit " + std::to_string(result.exitCode) + " signal " + std::to_string(result.signal) +
           (result.timedOut ? " timed out" : "");
}

std::vector<std::string> BatchFixture::Remaining() const {
    std::vector<std::string> names;
    for (const std::string& path : job.fileList)
        names.push_back(path.substr(path.rfind('/') + 1));
    return names;
}

std::vector<std::string> EntriesIn(const QByteArray& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.constData());
    if (!d)
        return names;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

QImage OverlayImage() {
    return RedGreenOverlay(16, 16);
}

void ExpectStamped(const QByteArray& path, int width, int height, const QColor& want, int x, int y,
                   int tolerance) {
    SCOPED_TRACE(path.toStdString());
    QImageReader reader(QFile::decodeName(path));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    // The overlay covers the bottom-right quarter cell: [w - w/4, w) x [h - h/4, h).
    const int left = width - width / 4;
    const int top = height - height / 4;
    const int midY = top + (height - top) / 2;
    const QColor red = image.pixelColor(left + (width - left) / 4, midY);
    const QColor green = image.pixelColor(left + (width - left) * 3 / 4, midY);
    EXPECT_TRUE(NearColour(red.rgba(), qRgb(255, 0, 0), tolerance))
        << "left half of the overlay " << red.name().toStdString();
    EXPECT_TRUE(NearColour(green.rgba(), qRgb(0, 255, 0), tolerance))
        << "right half of the overlay " << green.name().toStdString();
    const QColor got = image.pixelColor(x, y);
    EXPECT_TRUE(NearColour(got.rgba(), want.rgba(), tolerance))
        << "background at " << x << "," << y << ": " << got.name().toStdString() << " want "
        << want.name().toStdString();
}

std::string Line(const char* name, const char* outcome) {
    return std::string(name) + outcome;
}
