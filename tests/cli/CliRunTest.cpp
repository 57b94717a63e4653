// The built program: exit statuses, the same faults as the windowed batch, identical output
// whatever the number of jobs, numbering by position, shards run apart, and Ctrl+C.
#include "CliRunSupport.h"
#include "TestPictures.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
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
    PutBytes("damaged.png", Encode(Picture(40, 30, Qt::red), "png").replace(40, 1, "\x8c"));
    PutBytes("cut.tif", Encode(Picture(40, 30, Qt::red), "tiff").left(200));
    PutBytes("badprofile.png", WithProfile(Encode(Picture(64, 48, Qt::white), "png"), "damaged"));
    const QByteArray tagged =
        WithProfile(Encode(Picture(64, 48, Qt::white), "jpeg"), MadeProfile("p3"));
    PutBytes("reversed.jpg", WithProfileChunks(tagged, "reversed"));
    PutBytes("huge.jpg", WithProfileChunks(tagged, "huge"));
    PutBytes("photo.dng", CameraRawLike("dng"));
    // AV1 files state their colours in a box of their own (HEVC ones, in the coded stream).
    PutBytes("hdr.avif",
             HeifPicture(Quadrants(64, 48),
                         {.av1 = true, .bits = 12, .nclxPrimaries = 9, .nclxTransfer = 16}));
    Put("noisy.jpg", NoisyImage(300, 200), "jpeg");

    const QStringList skip{"--number-by", "position", "--skip-existing"};
    const struct {
        const char* name;
        QStringList args; // after the overlay and output folder
        int status;
        const char* inOut; // a part of standard output
        const char* inErr; // a pattern found in standard error
        QStringList written;
        // Run by bash as "$0" with the row's arguments in "$@": names that are not text.
        const char* shell = nullptr;
        QString folder = "out";
    } rows[] = {
        {"every item done",
         {"a.png", "./b.jpg"},
         0,
         "./b.jpg ... Done",
         "^pictorum-batch: 2 of 2 pictures written\n$",
         {"000.TIF", "001.TIF"}},
        {"a typo", {"--jobz", "2", "a.png"}, 2, "", "Did you mean --jobs\\?", {}},
        {"an empty list", {"-"}, 2, "", "the list of pictures is empty", {}},
        {"the formats listed", {"--list-formats"}, 0, "jpeg\timage/jpeg\t.JPG\n", "", {}},
        // Faults the windowed batch reports per item are reported the same way here.
        {"some items failed, each with its reason",
         {"empty.jpg", "a.png", "notes.png", "fifo.jpg", "folder.jpg", "missing.png", "b.jpg"},
         1,
         "empty.jpg ... Error : Could not open\na.png ... Done\nnotes.png ... Error : Could not "
         "open\nfifo.jpg ... Error : Could not open\nfolder.jpg ... Error : Could not "
         "open\nmissing.png ... Error : Could not open\nb.jpg ... Done\n",
         "empty.jpg: an empty file\n(.*\n)*pictorum-batch: missing.png: no such file\n"
         "pictorum-batch: 5 of 7 pictures failed",
         {"000.TIF", "001.TIF"}},
        {"damaged profile ignored",
         {"badprofile.png"},
         0,
         "badprofile.png ... Done (colour profile damaged or unusable",
         "",
         {"000.TIF"}},
        {"badly chunked profiles ignored",
         {"reversed.jpg", "huge.jpg"},
         0,
         "reversed.jpg ... Done (colour profile damaged or unusable: stamped as a picture without "
         "one)\nhuge.jpg ... Done (colour profile damaged",
         "",
         {"000.TIF", "001.TIF"}},
        {"camera raw said to be one",
         {"photo.dng"},
         1,
         "photo.dng ... Error : Could not open",
         "photo.dng: a camera raw file: develop it first",
         {}},
        {"an HDR picture said to be one",
         {"hdr.avif"},
         1,
         "hdr.avif ... Error : Could not open",
         "hdr.avif: a picture for HDR displays \\(PQ or HLG\\), not supported",
         {}},
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
        {"output made, its trailing slash dropped",
         {"--mkdir", "--output", "made/deep/", "--log", "jsonl", "a.png"},
         0,
         "\"output\":\"made/deep/000.TIF\"",
         "",
         {}},
        {"library messages stay off the terminal",
         {"damaged.png", "cut.tif"},
         1,
         "damaged.png ... Error : Could not open\ncut.tif ... Error : Could not open",
         "^pictorum-batch: damaged.png: [^\n]+\npictorum-batch: cut.tif: [^\n]+\n"
         "pictorum-batch: 2 of 2 pictures failed\n$",
         {}},
        {"numbers past the largest, running",
         {"--first-number", "2147483647", "a.png", "a.png"},
         2,
         "",
         "numbers up to 2147483648",
         {}},
        {"numbers past the largest, by position",
         {"--first-number", "2147483646", "--shard", "0/2", "a.png", "b.jpg", "a.png"},
         2,
         "",
         "numbers up to 2147483648",
         {}},
        {"names longer than the folder takes",
         {"--template", QString(252, 'n') + "#", "a.png"},
         2,
         "",
         "are longer than the output folder takes",
         {}},
        {"skipped where the output exists",
         {"--number-by", "position", "--skip-existing"},
         0,
         "a.png ... Skipped: 000.TIF exists\nb.jpg ... Done",
         "1 written, 1 skipped \\(their copies were there\\), of 2 pictures\n$",
         {"000.TIF", "001.TIF"},
         R"("$0" "$@" a.png >/dev/null && "$0" "$@" a.png b.jpg)"},
        // A full disk, as a file-size limit gives it, in each way a copy is written (TIFF, PNG,
        // and a JPEG stamped in its blocks): the system's reason, and the status of a rerun.
        {"the system's reason for a copy it refused",
         {},
         3,
         "a.png ... Done\nnoisy.jpg ... Error : Could not save",
         "^(pictorum-batch: noisy.jpg: File too large\npictorum-batch: 1 of 2 pictures failed \\(1 "
         "could not be written: running again may do them\\)\n){3}$",
         {"jpeg0.JPG", "png0.PNG", "tiff0.TIF"},
         R"(ulimit -f 16; for f in tiff png jpeg; do "$0" "$@" --format $f --template $f# a.png \
            noisy.jpg; s=$?; done; exit $s)"},
        // With --skip-existing only the picture's whole copy, made with these settings, is
        // skipped ("$4" is the output folder); anything else is done again, or refused.
        {"skip: an empty file",
         skip,
         0,
         "a.png ... Done",
         "",
         {"000.TIF"},
         R"(: > "$4/000.TIF"; "$0" "$@" a.png)"},
        {"skip: a copy cut short",
         skip,
         0,
         "a.png ... Done",
         "",
         {"000.TIF"},
         R"("$0" "$@" a.png >/dev/null; truncate -s 300 "$4/000.TIF"; "$0" "$@" a.png)"},
        {"skip: a copy with other settings",
         skip,
         0,
         "a.png ... Done",
         "",
         {"000.TIF"},
         R"("$0" "$@" a.png >/dev/null; "$0" "$@" --anchor 1 a.png)"},
        {"skip: a link, a dangling link, a FIFO",
         skip,
         0,
         "a.png ... Done\nb.jpg ... Done\na.png ... Done",
         "",
         {"000.TIF", "001.TIF", "002.TIF"},
         R"(ln -s ../a.png "$4/000.TIF"; ln -s no "$4/001.TIF"; mkfifo "$4/002.TIF"
            "$0" "$@" a.png b.jpg a.png)"},
        {"skip: a folder",
         skip,
         1,
         "a.png ... Error : Could not save",
         "a.png: a folder has that name",
         {"000.TIF"},
         R"(mkdir "$4/000.TIF"; "$0" "$@" a.png)"},
        {"another picture's copy kept",
         {},
         1,
         "a.png ... Error : Could not save",
         "a.png: holds the copy of another picture\n",
         {"000.TIF"},
         R"("$0" "$@" b.jpg >/dev/null; "$0" "$@" a.png)"},
        {"another picture's copy replaced",
         {"--overwrite"},
         0,
         "a.png ... Done",
         "",
         {"000.TIF"},
         R"("$0" "$@" b.jpg >/dev/null; "$0" "$@" a.png)"},
        {"names from the pictures, a name taken twice",
         {"--name-from", "input", "a.png", "b.jpg", "a.png"},
         0,
         "",
         "",
         {"a-2.TIF", "a.TIF", "b.TIF"}},
        {"a name that is not text of the locale",
         {},
         0,
         "caf\\xe9.png ... Done",
         "",
         {"000.TIF"},
         // Removed after the run: Qt could not remove the temporary folder holding it.
         R"(cp a.png $'caf\xe9.png' && "$0" "$@" $'caf\xe9.png'; s=$?; rm $'caf\xe9.png'; exit $s)"},
        // Copies in folders that mirror the pictures', made through the output folder only.
        {"folders kept",
         {},
         0,
         "sub/deep/x.png ... Done\nx.TIF\n",
         "",
         {"a.TIF", "sub"},
         R"(mkdir -p sub/deep && cp a.png sub/deep/x.png && "$0" "$@" --name-from input \
            --keep-folders . a.png sub/deep/x.png && ls "$4/sub/deep")"},
        {"a picture outside the kept folders",
         {"--name-from", "input", "--keep-folders", "/no", "a.png"},
         2,
         "",
         "--keep-folders '/no': 'a.png' is not under it",
         {}},
        {"a link where a kept folder goes",
         {},
         1,
         "",
         "y.png: a file or link stands where",
         {"sub"},
         R"(mkdir -p sub && cp a.png sub/y.png && ln -s .. "$4/sub" && "$0" "$@" \
            --name-from input --keep-folders . sub/y.png; s=$?; [ ! -e y.TIF ] && exit $s)"},
        // The jsonl log as a manifest: a name given back as its bytes, codes, sizes, summary.
        {"a Latin-1 name's bytes back from the log",
         {},
         0,
         "same bytes",
         "",
         {"000.TIF"},
         R"sh(cp a.png $'caf\xe9.png' && "$0" "$@" --log jsonl --log-file m.jsonl $'caf\xe9.png'
            rm $'caf\xe9.png'; sed -n 's/.*"input_base64":"\([^"]*\)".*/\1/p' m.jsonl |
            base64 -d | cmp - <(printf 'caf\xe9.png') && echo same bytes)sh"},
        {"the log's codes, sizes and summary",
         {"--log", "jsonl", "a.png", "missing.png"},
         0,
         "3\n",
         "",
         {"000.TIF"},
         R"("$0" "$@" | grep -c -e '"reason_code":"not_found"' -e '"height":48,"index":0,' \
            -e '"summary":true,"total":2,"unwritten":0,"written":1}')"},
        {"names beyond ASCII under the C locale",
         {},
         0,
         ".png ... Done",
         "",
         {"000.TIF"},
         "cp logo.png logo-\u00fc.png && cp a.png \u00fc.png && "
         "exec env LC_ALL=C \"$0\" \"$@\" --overlay logo-\u00fc.png \u00fc.png",
         "ausgabe-\u00fc"},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString out = Folder(row.folder + QString::number(n++));
        const CliRun run =
            row.shell == nullptr
                ? RunCli(m_dir.path(), Base(out) + row.args)
                : RunCli(m_dir.path(),
                         QStringList{"-c", row.shell, PICTORUM_BATCH_EXE} + Base(out) + row.args,
                         {}, "bash");
        EXPECT_EQ(run.status, row.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(row.inOut)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QRegularExpression(row.inErr))) << run.err.toStdString();
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

// Ctrl+C, the signals of schedulers and terminals, and a log reader that goes away: each stops
// the run with only whole files written and exits as a shell reports that signal.
TEST_F(Cli, StopsLeaveOnlyWholeFilesAndExitWithTheSignal) {
    QStringList inputs{PutBytes("bad.jpg", "not a picture")}; // neither done nor numbered
    for (int i = 0; i < 24; ++i)
        inputs << Put(QString("big%1.jpg").arg(i), Picture(2400, 1600, QColor(10 * i, 60, 90)),
                      "jpeg");
    const char* exec = R"(exec "$0" "$@")";
    const struct {
        const char* name;
        int signal; // sent once the first line is out
        int status;
        const char* shell;
    } rows[] = {{"Ctrl+C", SIGINT, 130, exec},
                {"SIGTERM", SIGTERM, 143, exec},
                {"SIGHUP", SIGHUP, 129, exec},
                {"Slurm's warning before the time limit", SIGUSR1, 138, exec},
                {"SIGUSR2", SIGUSR2, 140, exec},
                {"closed pipe", 0, 141, R"("$0" "$@" | head -n 1; exit ${PIPESTATUS[0]})"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString out = Folder(row.name);
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        // Named temporary files, as on disks without unnamed ones: none may be left.
        process.start("bash",
                      QStringList{"-c", QString("PICTORUM_NAMED_TEMPORARIES=1 ") + row.shell,
                                  PICTORUM_BATCH_EXE} +
                          Base(out) + QStringList{"--jobs", "2", "--format", "tiff"} + inputs);
        ASSERT_TRUE(process.waitForStarted(10000));
        // Once the first picture is reported, the others are in flight or still to come.
        while (process.canReadLine() == false && process.state() == QProcess::Running)
            process.waitForReadyRead(100);
        if (row.signal != 0)
            ::kill(static_cast<pid_t>(process.processId()), row.signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), row.status);

        const QStringList written = EntriesIn(out);
        EXPECT_LT(written.size(), 24);
        EXPECT_TRUE(QString(process.readAllStandardError())
                        .contains(QString("; %1 of 25 pictures done").arg(written.size())));
        for (int i = 0; i < written.size(); ++i) {
            // Numbered without gaps, every file a whole picture, no temporary file left.
            EXPECT_EQ(written[i], QString("%1.TIF").arg(i, 3, 10, QChar(u'0')));
            EXPECT_EQ(QImage(out + "/" + written[i]).size(), QSize(2400, 1600))
                << written[i].toStdString();
        }
    }
}

// xargs hands chunks of one list to runs of their own, two at once. Named after their pictures,
// the chunks write every copy; numbered, every chunk numbers from 0, and a copy that holds
// another chunk's picture is never replaced: each of those pictures fails, named with why.
TEST_F(Cli, ChunksUnderXargsLoseNothing) {
    QStringList inputs;
    for (int i = 0; i < 40; ++i)
        inputs << Put(QString("p%1.png").arg(i), Picture(20 + i, 16, QColor(6 * i, 80, 160)));
    const struct {
        QStringList options;
        qsizetype written;
        qsizetype refused;
    } rows[] = {{{"--name-from", "input"}, 40, 0}, {{}, 10, 30}};
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.written);
        const QString out = Folder(QString("chunks%1").arg(n++));
        const CliRun run = RunCli(m_dir.path(),
                                  QStringList{"-n", "10", "-P", "2", PICTORUM_BATCH_EXE} +
                                      Base(out) + row.options + QStringList{"--jobs", "1"},
                                  inputs.join('\n').toLocal8Bit(), "xargs");
        EXPECT_EQ(run.status, row.refused > 0 ? 123 : 0) << run.err.toStdString();
        EXPECT_EQ(EntriesIn(out).size(), row.written);
        EXPECT_EQ(run.err.count("holds the copy of another picture"), row.refused);
    }
    EXPECT_TRUE(EntriesIn(Path("chunks0")).contains("p39.TIF"));
}

// --margin moves the mark away from the edges it is anchored to (a centred axis stays), and
// --opacity blends it at that share of its own alpha: red at 50 % over white is 255, 128, 128.
TEST_F(Cli, MarginAndOpacityPlaceAndBlendTheMark) {
    Put("white.png", Picture(200, 100, Qt::white));
    const int lefts[] = {20, 92, 164}; // 16 pixels wide on 200, 20 from the anchored edge
    const int tops[] = {20, 42, 64};
    for (int anchor = 1; anchor <= 10; ++anchor) {
        SCOPED_TRACE(anchor);
        const bool faded = anchor == 10; // the top-left mark again, at half its opacity
        const QString out = Folder(QString("mark%1").arg(anchor));
        const QStringList options{"--format",  "png",
                                  "--margin",  "20",
                                  "--anchor",  QString::number(faded ? 1 : anchor),
                                  "--opacity", faded ? "50" : "100",
                                  "white.png"};
        ASSERT_EQ(RunCli(m_dir.path(), Base(out) + options).status, 0);
        const QImage copy(out + "/000.PNG");
        const int left = lefts[(anchor - 1) % 3 * !faded];
        const int top = tops[(anchor - 1) / 3 * !faded];
        const QColor red = copy.pixelColor(left + 3, top + 8);
        EXPECT_NEAR(red.green(), faded ? 128 : 0, 3);
        EXPECT_NEAR(red.blue(), faded ? 128 : 0, 3);
        EXPECT_NEAR(copy.pixelColor(left + 12, top + 8).red(), faded ? 128 : 0, 3);
        EXPECT_EQ(copy.pixelColor(left - 1, top - 1), QColor(Qt::white)) << left << "," << top;
    }
}

// A list from a pipe is stamped while its writer goes on: the first copy is there before the
// list ends. A copy whose name holds a picture that the list names later is refused, as it is
// when the list is read whole.
TEST_F(Cli, ListsArePicturesStampedAsTheyCome) {
    Put("first.png", Picture(40, 30, Qt::white));
    Put("a.png", Picture(40, 30, Qt::blue));
    const QString out = Folder("out");
    const QString later = Put("out/a.PNG", Picture(50, 20, Qt::red));
    const QByteArray before = BytesOf(Path(later));
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(PICTORUM_BATCH_EXE, Base(out) + QStringList{"--name-from", "input", "--format",
                                                              "png", "--jobs", "2", "-"});
    ASSERT_TRUE(process.waitForStarted());
    process.write("first.png\n");
    QByteArray log;
    while (!log.contains("first.png ... Done") && process.waitForReadyRead(60000))
        log += process.readAllStandardOutput();
    ASSERT_TRUE(log.contains("first.png ... Done")) << log.toStdString();
    process.write("a.png\n");
    process.write(later.toLocal8Bit() + "\n");
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    log += process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 1) << log.toStdString();
    EXPECT_TRUE(
        process.readAllStandardError().contains("would replace one of this run's pictures"));
    EXPECT_EQ(BytesOf(Path(later)), before);
    EXPECT_TRUE(QFile::exists(Path("out/first.PNG")));
}
