// The built program: exit statuses, the same faults as the windowed batch, identical output
// whatever the number of jobs, numbering by position, shards run apart, and Ctrl+C.
#include "CliRunSupport.h"
#include "TestPictures.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/stat.h>

namespace {

// Every file of two folders, by name and content.
void ExpectSameFiles(const QString& a, const QString& b) {
    ASSERT_EQ(EntriesIn(a), EntriesIn(b));
    for (const QString& name : EntriesIn(a))
        EXPECT_EQ(BytesOf(a + "/" + name), BytesOf(b + "/" + name)) << name.toStdString();
}

} // namespace

using Cli = CliFolder;

TEST_F(Cli, ExitStatusesAndMessages) {
    Put("a.png", Picture(64, 48, Qt::white));
    Put("b.jpg", Picture(80, 60, Qt::blue), "jpeg");
    PutBytes("empty.jpg", {});
    PutBytes("notes.png", "a text file, not a picture\n");
    ASSERT_EQ(mkfifo(Path("fifo.jpg").toLocal8Bit().constData(), 0644), 0);
    Folder("folder.jpg");
    PutBytes("file-not-folder", "x");
    PutBytes("damaged.png", WithProfile(Encode(Picture(64, 48, Qt::white), "png"), "damaged"));

    const struct {
        const char* name;
        QStringList args; // after the overlay and output folder
        int status;
        const char* inOut; // a part of standard output
        const char* inErr; // a part of standard error
        QStringList written;
    } rows[] = {
        {"every item done", {"a.png", "b.jpg"}, 0, "b.jpg ... Done", "", {"000.TIF", "001.TIF"}},
        // Faults the windowed batch reports per item are reported the same way here.
        {"some items failed",
         {"empty.jpg", "a.png", "notes.png", "fifo.jpg", "folder.jpg", "missing.png", "b.jpg"},
         1,
         "empty.jpg ... Error : Could not open\na.png ... Done\nnotes.png ... Error : Could not "
         "open\nfifo.jpg ... Error : Could not open\nfolder.jpg ... Error : Could not "
         "open\nmissing.png ... Error : Could not open\nb.jpg ... Done\n",
         "5 of 7 pictures failed",
         {"000.TIF", "001.TIF"}},
        {"damaged profile ignored",
         {"damaged.png"},
         0,
         "damaged.png ... Done (colour profile damaged or unusable",
         "",
         {"000.TIF"}},
        {"unknown option", {"--frobnicate", "a.png"}, 2, "", "frobnicate", {}},
        {"unknown format", {"--format", "gif", "a.png"}, 2, "", "--format 'gif'", {}},
        {"overlay missing",
         {"--overlay", "nothing.png", "a.png"},
         2,
         "",
         "--overlay 'nothing.png'",
         {}},
        {"overlay not a picture",
         {"--overlay", "notes.png", "a.png"},
         2,
         "",
         "--overlay 'notes.png'",
         {}},
        {"output is a file",
         {"--output", "file-not-folder", "a.png"},
         2,
         "",
         "--output 'file-not-folder': not a folder",
         {}},
        {"output missing", {"--output", "nowhere", "a.png"}, 2, "", "--output 'nowhere'", {}},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString out = Folder(QString("out%1").arg(n++));
        const CliRun run = RunCli(m_dir.path(), Base(out) + row.args);
        EXPECT_EQ(run.status, row.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(row.inOut)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(row.inErr)) << run.err.toStdString();
        EXPECT_EQ(EntriesIn(out), row.written);
    }
}

TEST_F(Cli, TwoJobsWriteWhatOneJobWrites) {
    QStringList inputs;
    for (int i = 0; i < 12; ++i) {
        // Failures in between, so that the running number depends on the order of outcomes.
        if (i % 5 == 2)
            inputs << PutBytes(QString("bad%1.png").arg(i), "not a picture");
        inputs << Put(QString("p%1.png").arg(i),
                      Picture(40 + 37 * i, 30 + 11 * i, QColor(20 * i, 90, 200)));
    }
    const QStringList options{"--size", "100%x100%",      "--anchor", "center",     "--format",
                              "png",    "--first-number", "7",        "--template", "stamp##"};
    const QString one = Folder("one");
    const QString two = Folder("two");
    const CliRun runOne =
        RunCli(m_dir.path(), Base(one) + options + QStringList{"--jobs", "1", "-"},
               inputs.join('\n').toLocal8Bit());
    const CliRun runTwo =
        RunCli(m_dir.path(), Base(two) + options + QStringList{"--jobs", "2", "-"},
               inputs.join('\n').toLocal8Bit());
    EXPECT_EQ(runOne.status, 1);
    EXPECT_EQ(runTwo.status, 1);
    EXPECT_EQ(runOne.out, runTwo.out);
    ASSERT_EQ(EntriesIn(two).size(), 12);
    EXPECT_EQ(EntriesIn(two).front(), "stamp07.PNG");
    EXPECT_EQ(EntriesIn(two).back(), "stamp18.PNG");
    ExpectSameFiles(one, two);

    // Stamped for real: the overlay covers the picture, red on the left, green on the right.
    const QImage last(two + "/stamp18.PNG");
    ASSERT_EQ(last.size(), QSize(40 + 37 * 11, 30 + 11 * 11));
    const QColor left = last.pixelColor(last.width() / 4, last.height() / 2);
    const QColor right = last.pixelColor(last.width() * 3 / 4, last.height() / 2);
    EXPECT_GT(left.red(), 250);
    EXPECT_LT(left.green(), 5);
    EXPECT_GT(right.green(), 250);
    EXPECT_LT(right.red(), 5);
}

TEST_F(Cli, NumberingByPositionLeavesGapsForFailures) {
    Put("a.png", Picture(30, 20, Qt::white));
    PutBytes("bad.png", "not a picture");
    Put("c.png", Picture(30, 20, Qt::gray));
    Put("d.png", Picture(30, 20, Qt::cyan));
    const QStringList list{"a.png", "bad.png", "c.png", "d.png"};
    const struct {
        QStringList options;
        QStringList written;
    } rows[] = {
        {{}, {"010.PNG", "011.PNG", "012.PNG"}},
        {{"--number-by", "position"}, {"010.PNG", "012.PNG", "013.PNG"}},
        {{"--shard", "0/2"}, {"010.PNG", "012.PNG"}},
        {{"--shard", "1/2"}, {"013.PNG"}},
        {{"--dry-run"}, {}},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options.join(' ').toStdString());
        const QString out = Folder(QString("out%1").arg(n++));
        const CliRun run = RunCli(m_dir.path(), Base(out) + row.options +
                                                    QStringList{"--format", "png", "--first-number",
                                                                "10", "--jobs", "2"} +
                                                    list);
        EXPECT_EQ(EntriesIn(out), row.written);
        if (row.options.contains("--dry-run")) {
            EXPECT_EQ(run.Lines(),
                      (QStringList{out + "/010.PNG", "bad.png ... Error : Could not open",
                                   out + "/011.PNG", out + "/012.PNG"}));
        }
    }
}

TEST_F(Cli, ThreeShardsUnderGnuParallelWriteWhatOneRunWrites) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    QStringList inputs;
    for (int i = 0; i < 10; ++i) {
        if (i == 4)
            inputs << PutBytes("bad.png", "not a picture");
        inputs << Put(QString("p%1.png").arg(i), Picture(50 + 9 * i, 40, QColor(25 * i, 0, 120)));
    }
    const QStringList options{"--format", "png", "--first-number", "100", "--jobs", "1"};
    const QString together = Folder("together");
    const QString shards = Folder("shards");
    const CliRun whole = RunCli(m_dir.path(), Base(together) + options +
                                                  QStringList{"--number-by", "position"} + inputs);
    EXPECT_EQ(whole.status, 1);

    // Each shard as its own process, all three at once.
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(parallel,
                  QStringList{"--will-cite", "-j3", PICTORUM_BATCH_EXE, "--shard", "{}/3"} +
                      Base(shards) + options + inputs + QStringList{":::", "0", "1", "2"});
    ASSERT_TRUE(process.waitForFinished(120000));
    // parallel's status is the number of shards that failed: only the one holding bad.png.
    EXPECT_EQ(process.exitCode(), 1) << process.readAllStandardError().toStdString();

    ASSERT_EQ(EntriesIn(together).size(), 10);
    ExpectSameFiles(together, shards);
}

TEST_F(Cli, InterruptLeavesOnlyWholeFilesAndExits130) {
    QStringList inputs;
    for (int i = 0; i < 24; ++i)
        inputs << Put(QString("big%1.jpg").arg(i), Picture(2400, 1600, QColor(10 * i, 60, 90)),
                      "jpeg");
    const QString out = Folder("out");
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(PICTORUM_BATCH_EXE,
                  Base(out) + QStringList{"--jobs", "2", "--format", "tiff"} + inputs);
    ASSERT_TRUE(process.waitForStarted(10000));
    // Once the first picture is reported, the others are in flight or still to come.
    while (process.canReadLine() == false && process.state() == QProcess::Running)
        process.waitForReadyRead(100);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);

    const QStringList written = EntriesIn(out);
    EXPECT_GE(written.size(), 1);
    EXPECT_LT(written.size(), 24);
    for (int i = 0; i < written.size(); ++i) {
        // Numbered without gaps, every file a whole picture, no temporary file left.
        EXPECT_EQ(written[i], QString("%1.TIF").arg(i, 3, 10, QChar(u'0')));
        EXPECT_EQ(QImage(out + "/" + written[i]).size(), QSize(2400, 1600))
            << written[i].toStdString();
    }
}
