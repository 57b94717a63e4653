// Saving over whatever already stands at the output name: the entry is replaced as a whole,
// never followed, and a failed save leaves it exactly as it was with no temporary file beside it.

#include "ImagingTestSupport.h"
#include "imaging/AtomicFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

QByteArray bytesOf(const QString& path) {
    return QFile::encodeName(path);
}

using Names = std::vector<std::string>;

// Every entry, hidden ones and special files too, so that a leftover temporary file shows.
Names entriesOf(const QString& dir) {
    Names names;
    for (const QString& name : QDir(dir).entryList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        names.push_back(QFile::encodeName(name).toStdString());
    return names;
}

// lstat of path; st_mode 0 when there is nothing there.
struct stat entryAt(const QString& path) {
    struct stat info {};
    if (::lstat(bytesOf(path).constData(), &info) != 0)
        info.st_mode = 0;
    return info;
}

class AtomicSaveTest : public testing::Test {
  public:
    void SetUp() override {
        ASSERT_TRUE(m_out.isValid() && m_outside.isValid());
        m_oldUmask = ::umask(027);
    }
    void TearDown() override { ::umask(m_oldUmask); }

    QString out(const QString& name) const { return m_out.filePath(name); }
    QString outside(const QString& name) const { return m_outside.filePath(name); }
    GpStatus save(GpImage* image, const QString& path, const CLSID& clsid) {
        const std::wstring wide = widePath(path);
        return GdipSaveImageToFile(image, wide.c_str(), &clsid, nullptr);
    }
    void expectRedPicture(const QString& path) {
        GpStatus status = GenericError;
        ImagePtr back = loadBitmap(path, &status);
        ASSERT_EQ(status, Ok);
        EXPECT_EQ(pixelsOf(back.get()).pixel(2, 2), qRgb(255, 0, 0));
    }

    QTemporaryDir m_out;     // the output folder
    QTemporaryDir m_outside; // somewhere else on the system
    mode_t m_oldUmask = 0;
};

// A stand-in for /dev/null that the test owns: a character device with the same numbers, in a
// folder of its own, so that a saver that follows links cannot harm the machine's device.
bool makeNullDevice(const QString& path) {
    return ::mknod(bytesOf(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

} // namespace

TEST_F(AtomicSaveTest, WhateverStandsAtTheNameIsReplacedNotFollowed) {
    ImagePtr red;
    {
        QImage fill(8, 8, QImage::Format_RGB32);
        fill.fill(Qt::red);
        ASSERT_TRUE(writeFile(outside("red.png"), encodeWithQt(fill, "png")));
        GpStatus status = GenericError;
        red = loadBitmap(outside("red.png"), &status);
        ASSERT_EQ(status, Ok);
        ASSERT_TRUE(QFile::remove(outside("red.png")));
    }
    const QByteArray notes = "the victim's notes\n";
    struct Case {
        const char* name;
        std::function<bool(AtomicSaveTest&)> plant; // false: cannot be set up here (skipped)
        GpStatus expected;
        mode_t mode;                                // of the output after a successful save
        Names outsideAfter;                         // entries of the other folder afterwards
        std::function<void(AtomicSaveTest&)> check; // more checks of the other folder
    };
    const auto link = [](const QString& target, const QString& at) {
        return QFile::link(target, at);
    };
    const Case cases[] = {
        {"nothing", [](AtomicSaveTest&) { return true; }, Ok, 0640, {}, {}},
        {"a regular file keeps its permissions",
         [&](AtomicSaveTest& t) {
             return writeFile(t.out("000.PNG"), notes) &&
                    ::chmod(bytesOf(t.out("000.PNG")).constData(), 0604) == 0;
         },
         Ok,
         0604,
         {},
         {}},
        {"a link to a file outside the folder",
         [&](AtomicSaveTest& t) {
             return writeFile(t.outside("keep.txt"), notes) &&
                    ::chmod(bytesOf(t.outside("keep.txt")).constData(), 0604) == 0 &&
                    link(t.outside("keep.txt"), t.out("000.PNG"));
         },
         Ok,
         0640, // made anew, not the target's mode
         {"keep.txt"},
         [&](AtomicSaveTest& t) { EXPECT_EQ(readFile(t.outside("keep.txt")), notes); }},
        {"a dangling link",
         [&](AtomicSaveTest& t) { return link(t.outside("created.txt"), t.out("000.PNG")); },
         Ok,
         0640,
         {},
         {}},
        {"a relative link to another output",
         [&](AtomicSaveTest& t) {
             return writeFile(t.out("other"), notes) && link("other", t.out("000.PNG"));
         },
         Ok,
         0640,
         {},
         [&](AtomicSaveTest& t) { EXPECT_EQ(readFile(t.out("other")), notes); }},
        {"a link to a null device (root only)",
         [&](AtomicSaveTest& t) {
             return makeNullDevice(t.outside("null")) && link(t.outside("null"), t.out("000.PNG"));
         },
         Ok,
         0640,
         {"null"},
         [&](AtomicSaveTest& t) {
             const struct stat device = entryAt(t.outside("null"));
             EXPECT_TRUE(S_ISCHR(device.st_mode));
             EXPECT_EQ(device.st_rdev, makedev(1, 3));
         }},
        {"a folder",
         [&](AtomicSaveTest& t) {
             return QDir(t.m_out.path()).mkdir("000.PNG") && writeFile(t.out("000.PNG/x"), notes);
         },
         Win32Error,
         0,
         {},
         [&](AtomicSaveTest& t) { EXPECT_EQ(readFile(t.out("000.PNG/x")), notes); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir(m_out.path()).removeRecursively() && QDir().mkpath(m_out.path()));
        ASSERT_TRUE(QDir(m_outside.path()).removeRecursively() && QDir().mkpath(m_outside.path()));
        if (!c.plant(*this)) {
            ASSERT_EQ(std::string(c.name), "a link to a null device (root only)");
            continue; // not allowed to make device nodes
        }
        const Names before = entriesOf(m_out.path());
        const struct stat planted = entryAt(out("000.PNG"));

        EXPECT_EQ(save(red.get(), out("000.PNG"), ClsidPngEncoder), c.expected);

        EXPECT_EQ(entriesOf(m_out.path()), before.empty() ? Names{"000.PNG"} : before)
            << "no temporary file left, nothing else touched";
        EXPECT_EQ(entriesOf(m_outside.path()), c.outsideAfter);
        const struct stat now = entryAt(out("000.PNG"));
        if (c.expected == Ok) {
            EXPECT_TRUE(S_ISREG(now.st_mode)) << std::oct << now.st_mode;
            EXPECT_EQ(now.st_mode & 07777, c.mode) << std::oct << now.st_mode;
            expectRedPicture(out("000.PNG"));
        } else {
            EXPECT_EQ(now.st_ino, planted.st_ino);
            EXPECT_EQ(now.st_mode, planted.st_mode);
        }
        if (c.check)
            c.check(*this);
    }
}

// An encoder that fails (JPEG cannot hold a row over 65500 pixels) leaves each kind of entry
// exactly as it was: the file's bytes, the link and what it points to.
TEST_F(AtomicSaveTest, FailedEncodeLeavesTheEntryAsItWas) {
    ImagePtr tooWide = blankBitmap(70000, 1, PixelFormat24bppRGB);
    const QByteArray notes = "older picture";
    struct Case {
        const char* name;
        std::function<bool(AtomicSaveTest&)> plant;
    };
    const Case cases[] = {
        {"a regular file", [&](AtomicSaveTest& t) { return writeFile(t.out("000.JPG"), notes); }},
        {"a link to a file outside the folder",
         [&](AtomicSaveTest& t) {
             return writeFile(t.outside("keep.txt"), notes) &&
                    QFile::link(t.outside("keep.txt"), t.out("000.JPG"));
         }},
        {"a dangling link",
         [&](AtomicSaveTest& t) {
             return QFile::link(t.outside("created.txt"), t.out("000.JPG"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir(m_out.path()).removeRecursively() && QDir().mkpath(m_out.path()));
        ASSERT_TRUE(QDir(m_outside.path()).removeRecursively() && QDir().mkpath(m_outside.path()));
        ASSERT_TRUE(c.plant(*this));
        const Names outsideBefore = entriesOf(m_outside.path());
        const struct stat planted = entryAt(out("000.JPG"));

        EXPECT_EQ(save(tooWide.get(), out("000.JPG"), ClsidJpegEncoder), GenericError);

        EXPECT_EQ(entriesOf(m_out.path()), Names{"000.JPG"});
        EXPECT_EQ(entriesOf(m_outside.path()), outsideBefore);
        const struct stat now = entryAt(out("000.JPG"));
        EXPECT_EQ(now.st_ino, planted.st_ino);
        EXPECT_EQ(now.st_mode, planted.st_mode);
        if (S_ISREG(planted.st_mode) || !outsideBefore.empty()) {
            EXPECT_EQ(readFile(out("000.JPG")), notes);
        }
    }
}

// Names that are awkward for shells and for temporary names made by appending to them: each is
// created and then replaced, with no other entry left in the folder.
TEST_F(AtomicSaveTest, UnusualNamesAreCreatedAndReplaced) {
    ImagePtr bitmap = blankBitmap(4, 4, PixelFormat24bppRGB);
    const QString names[] = {
        QStringLiteral("two\nlines.png"),
        QStringLiteral("-rf.png"),
        QString(251, QLatin1Char('n')) + QStringLiteral(".png"), // 255 bytes, the limit
        QStringLiteral("写真.png"),
        QStringLiteral("\U0001F4F7.png"),
        QStringLiteral(".hidden.png"),
    };
    for (const QString& name : names) {
        SCOPED_TRACE(bytesOf(name).toStdString());
        ASSERT_TRUE(QDir(m_out.path()).removeRecursively() && QDir().mkpath(m_out.path()));
        EXPECT_EQ(save(bitmap.get(), out(name), ClsidPngEncoder), Ok);
        const ino_t first = entryAt(out(name)).st_ino;
        EXPECT_EQ(save(bitmap.get(), out(name), ClsidPngEncoder), Ok);
        EXPECT_NE(entryAt(out(name)).st_ino, first) << "replaced by a new file";
        EXPECT_EQ(entriesOf(m_out.path()), Names{bytesOf(name).toStdString()});
    }
}

// Both kinds of temporary file: while open, an unnamed one is invisible and a named one is a
// single hidden entry that says whose it is; commit puts exactly the written bytes at the name
// with the old file's permissions, cancel and destruction leave the old file alone.
TEST_F(AtomicSaveTest, TemporaryFileIsInvisibleOrRecognisableAndNeverLeftBehind) {
    struct Case {
        const char* name;
        AtomicFile::Temporary kind;
        int end; // 0 commit, 1 cancel, 2 destroyed
    };
    const Case cases[] = {
        {"unnamed, committed", AtomicFile::Temporary::UnnamedWherePossible, 0},
        {"unnamed, cancelled", AtomicFile::Temporary::UnnamedWherePossible, 1},
        {"named, committed", AtomicFile::Temporary::Named, 0},
        {"named, cancelled", AtomicFile::Temporary::Named, 1},
        {"named, destroyed", AtomicFile::Temporary::Named, 2},
    };
    const QByteArray old = "old bytes", fresh = "new bytes, longer than the old ones";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir(m_out.path()).removeRecursively() && QDir().mkpath(m_out.path()));
        ASSERT_TRUE(writeFile(out("target"), old));
        ASSERT_EQ(::chmod(bytesOf(out("target")).constData(), 0604), 0);
        {
            AtomicFile file(bytesOf(out("target")));
            ASSERT_TRUE(file.open(c.kind)) << std::strerror(file.error());
            ASSERT_EQ(::write(file.handle(), fresh.constData(), fresh.size()), fresh.size());
            const Names during = entriesOf(m_out.path());
            if (c.kind == AtomicFile::Temporary::Named) {
                ASSERT_EQ(during.size(), 2u);
                EXPECT_EQ(during[0].rfind(AtomicFile::kTemporaryPrefix, 0), 0u) << during[0];
                EXPECT_EQ(during[0].size(), std::strlen(AtomicFile::kTemporaryPrefix) + 12);
            } else {
                EXPECT_EQ(during, Names{"target"}); // /tmp takes unnamed files
            }
            if (c.end == 0)
                EXPECT_TRUE(file.commit()) << std::strerror(file.error());
            else if (c.end == 1)
                file.cancel();
        }
        EXPECT_EQ(entriesOf(m_out.path()), Names{"target"});
        EXPECT_EQ(readFile(out("target")), c.end == 0 ? fresh : old);
        EXPECT_EQ(entryAt(out("target")).st_mode & 07777, 0604u);
    }
}

// The case of a shared world-writable folder: another user plants a link at the output name
// that points to a file of the user who runs the save. The save must not reach that file; the
// sticky folder does not let it replace the other user's link either, so it fails cleanly.
// A name of its own in the same folder is saved normally, without root's capabilities.
TEST_F(AtomicSaveTest, LinkPlantedByAnotherUserInASharedFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    constexpr uid_t kVictim = 65534, kAttacker = 65533;
    ImagePtr bitmap = blankBitmap(4, 4, PixelFormat24bppRGB);
    ASSERT_FALSE(pixelsOf(bitmap.get()).isNull());
    const QByteArray notes = "the victim's own notes\n";
    const QByteArray shared = bytesOf(m_out.path()), home = bytesOf(m_outside.path());
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    ASSERT_EQ(::chown(home.constData(), kVictim, kVictim), 0);
    ASSERT_TRUE(writeFile(outside("keep.txt"), notes));
    ASSERT_EQ(::chown(bytesOf(outside("keep.txt")).constData(), kVictim, kVictim), 0);
    ASSERT_TRUE(QFile::link(outside("keep.txt"), out("000.PNG")));
    ASSERT_EQ(::lchown(bytesOf(out("000.PNG")).constData(), kAttacker, kAttacker), 0);
    const std::wstring planted = widePath(out("000.PNG")), own = widePath(out("001.PNG"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kVictim) != 0 || ::setuid(kVictim) != 0)
            ::_exit(99);
        const GpStatus first =
            GdipSaveImageToFile(bitmap.get(), planted.c_str(), &ClsidPngEncoder, nullptr);
        const GpStatus second =
            GdipSaveImageToFile(bitmap.get(), own.c_str(), &ClsidPngEncoder, nullptr);
        ::_exit(first * 10 + second);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), Win32Error * 10 + Ok) << "planted link refused, own name saved";
    EXPECT_EQ(readFile(outside("keep.txt")), notes);
    EXPECT_EQ(entriesOf(m_outside.path()), Names{"keep.txt"});
    EXPECT_TRUE(S_ISLNK(entryAt(out("000.PNG")).st_mode));
    EXPECT_EQ(entriesOf(m_out.path()), (Names{"000.PNG", "001.PNG"}));
    const struct stat saved = entryAt(out("001.PNG"));
    EXPECT_TRUE(S_ISREG(saved.st_mode));
    EXPECT_EQ(saved.st_uid, kVictim);
}
