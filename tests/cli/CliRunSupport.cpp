#include "CliRunSupport.h"
#include "TestMain.h"
#include "TestPictures.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>

QStringList CliRun::Lines() const {
    return out.split(u'\n', Qt::SkipEmptyParts);
}

CliRun RunCli(const QString& dir, const QStringList& args, const QByteArray& input,
              const QString& program) {
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, args);
    CliRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

void CliFolder::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    Put("logo.png", RedGreenOverlay(16, 16));
}

QString CliFolder::Put(const QString& name, const QImage& picture, const char* format) const {
    EXPECT_TRUE(picture.save(Path(name), format));
    return name;
}

QString CliFolder::PutBytes(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return name;
}

QString CliFolder::Folder(const QString& name) const {
    EXPECT_TRUE(QDir(m_dir.path()).mkpath(name));
    return Path(name);
}

QStringList CliFolder::Base(const QString& outputFolder) const {
    return {"--overlay", "logo.png", "--output", outputFolder};
}

QImage Picture(int width, int height, QColor colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, width - 1, height - 1);
    return picture;
}

QStringList EntriesIn(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray BytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The command-line tests: QtGui's image classes to draw pictures, 8-bit paths as UTF-8, and the
// imaging library for the list of installed encoders.
test_main::Program test_main::ThisProgram() {
    return {.locale = test_main::Locale::Utf8};
}
