#pragma once
// The built pictorum-batch run as a user runs it, on pictures drawn into a temporary folder.

#include <QByteArray>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct CliRun {
    int status = -1;
    QString out;
    QString err;
    // Standard output split into lines.
    QStringList Lines() const;
};

// Runs the program (or another, e.g. a shell that starts it) with args in the folder dir,
// feeding input to its standard input.
CliRun RunCli(const QString& dir, const QStringList& args, const QByteArray& input = {},
              const QString& program = PICTORUM_BATCH_EXE);

class CliFolder : public ::testing::Test {
  public:
    void SetUp() override;

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    // Writes a picture and returns its file name.
    QString Put(const QString& name, const QImage& picture, const char* format = "png") const;
    QString PutBytes(const QString& name, const QByteArray& bytes) const;
    // Makes an empty folder and returns its path.
    QString Folder(const QString& name) const;
    // The arguments every run takes: the overlay and the output folder.
    QStringList Base(const QString& outputFolder) const;

    QTemporaryDir m_dir;
};

// A w x h picture of one colour, with a diagonal line so that no two sizes encode alike.
QImage Picture(int width, int height, QColor colour);

// Every entry of a folder, hidden ones too, sorted by name.
QStringList EntriesIn(const QString& dir);
QByteArray BytesOf(const QString& path);
