// Saving over whatever already stands at the output name: the entry is replaced as a whole,
// never followed, and a failed save leaves it exactly as it was with no temporary file beside it.

#include "ImagingTestSupport.h"
#include "imaging/files/AtomicFile.h"
#include "imaging/files/NamedAtCommitFile.h"
#include "imaging/files/ReplacingFile.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using Names = std::vector<std::string>;

QByteArray bytesOf(const QString& path) {
    return QFile::encodeName(path);
}

// Every entry, hidden ones and special files too, so that a leftover temporary file shows.
Names entriesOf(const QString& dir) {
    Names names;
    for (const QString& name : QDir(dir).entryList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        names.push_back(bytesOf(name).toStdString());
    return names;
}

// lstat of path; st_mode 0 when there is nothing there.
struct stat entryAt(const QString& path) {
    struct stat info {};
    if (::lstat(bytesOf(path).constData(), &info) != 0)
        info.st_mode = 0;
    return info;
}

// Everything below the folders, links not followed: kind, inode, mode, device numbers, and the
// bytes of files and links. Equal snapshots mean nothing was touched.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshotOf(std::initializer_list<const QTemporaryDir*> dirs) {
    Snapshot snapshot;
    for (const QTemporaryDir* dir : dirs) {
        QDirIterator it(dir->path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const struct stat info = entryAt(path);
            std::string& entry = snapshot[bytesOf(path).toStdString()];
            entry = std::to_string(info.st_mode) + " " + std::to_string(info.st_ino) + " " +
                    std::to_string(info.st_rdev) + " ";
            if (S_ISREG(info.st_mode))
                entry += ReadBytes(path).toStdString();
            else if (S_ISLNK(info.st_mode))
                entry += bytesOf(QFile::symLinkTarget(path)).toStdString();
        }
    }
    return snapshot;
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
    void emptyFolders() {
        for (const QTemporaryDir* dir : {&m_out, &m_outside})
            ASSERT_TRUE(QDir(dir->path()).removeRecursively() && QDir().mkpath(dir->path()));
    }

    QTemporaryDir m_out;     // the output folder
    QTemporaryDir m_outside; // somewhere else on the system
    mode_t m_oldUmask = 0;
};

} // namespace

// Each kind of entry at the name takes a failed save (an encoder error) and then a good one.
// The failed one changes nothing; the good one leaves a regular file with the new picture at the
// name, made with 0666 less the umask (027 here) or with the permissions of the regular file it
// replaces, and touches nothing else. A folder at the name refuses both.
TEST_F(AtomicSaveTest, WhateverStandsAtTheNameIsReplacedNotFollowed) {
    ASSERT_TRUE(WriteBytes(outside("q.png"), Encode(Quadrants(16, 16), "png")));
    GpStatus loaded = GenericError;
    ImagePtr picture = loadBitmap(outside("q.png"), &loaded);
    ASSERT_EQ(loaded, Ok);
    ImagePtr tooWideForJpeg = blankBitmap(70000, 1, PixelFormat24bppRGB);

    const QByteArray notes = "the victim's notes\n";
    const auto link = [](const QString& target, const QString& at) {
        return QFile::link(target, at);
    };
    const auto fileWithMode = [&](const QString& path, mode_t mode) {
        return WriteBytes(path, notes) && ::chmod(bytesOf(path).constData(), mode) == 0;
    };
    struct Case {
        const char* name;
        std::function<bool(AtomicSaveTest&)> plant; // false: not possible here (skipped)
        mode_t mode;                                // of the new file; 0: the save fails
    };
    const Case cases[] = {
        {"nothing", [](AtomicSaveTest&) { return true; }, 0640},
        {"a regular file", [&](AtomicSaveTest& t) { return fileWithMode(t.out("000.PNG"), 0604); },
         0604},
        {"a link to a file outside the folder",
         [&](AtomicSaveTest& t) {
             return fileWithMode(t.outside("keep.txt"), 0604) &&
                    link(t.outside("keep.txt"), t.out("000.PNG"));
         },
         0640},
        {"a dangling link",
         [&](AtomicSaveTest& t) { return link(t.outside("created.txt"), t.out("000.PNG")); }, 0640},
        {"a relative link to another output",
         [&](AtomicSaveTest& t) {
             return WriteBytes(t.out("other"), notes) && link("other", t.out("000.PNG"));
         },
         0640},
        {"a link to a folder",
         [&](AtomicSaveTest& t) { return link(t.m_outside.path(), t.out("000.PNG")); }, 0640},
        // The test's own null device, so that a saver that follows links cannot harm the
        // machine's /dev/null. Making one needs root.
        {"a link to a null device",
         [&](AtomicSaveTest& t) {
             return ::mknod(bytesOf(t.outside("null")).constData(), S_IFCHR | 0666,
                            makedev(1, 3)) == 0 &&
                    link(t.outside("null"), t.out("000.PNG"));
         },
         0640},
        {"a folder",
         [&](AtomicSaveTest& t) {
             return QDir(t.m_out.path()).mkdir("000.PNG") && WriteBytes(t.out("000.PNG/x"), notes);
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyFolders();
        if (!c.plant(*this)) {
            ASSERT_EQ(std::string(c.name), "a link to a null device");
            continue;
        }
        Snapshot before = snapshotOf({&m_out, &m_outside});

        EXPECT_NE(save(tooWideForJpeg.get(), out("000.PNG"), ClsidJpegEncoder), Ok);
        EXPECT_EQ(snapshotOf({&m_out, &m_outside}), before);

        EXPECT_EQ(save(picture.get(), out("000.PNG"), ClsidPngEncoder), c.mode ? Ok : Win32Error);
        Snapshot after = snapshotOf({&m_out, &m_outside});
        if (c.mode) {
            const struct stat made = entryAt(out("000.PNG"));
            EXPECT_TRUE(S_ISREG(made.st_mode)) << std::oct << made.st_mode;
            EXPECT_EQ(made.st_mode & 07777, c.mode) << std::oct << made.st_mode;
            GpStatus status = GenericError;
            ImagePtr back = loadBitmap(out("000.PNG"), &status);
            EXPECT_EQ(status, Ok);
            if (back) {
                EXPECT_EQ(pixelsOf(back.get()).pixel(2, 2), qRgb(255, 0, 0));
            }
            before.erase(bytesOf(out("000.PNG")).toStdString());
            after.erase(bytesOf(out("000.PNG")).toStdString());
        }
        EXPECT_EQ(after, before) << "nothing else touched, no temporary file left";
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
        emptyFolders();
        EXPECT_EQ(save(bitmap.get(), out(name), ClsidPngEncoder), Ok);
        const ino_t first = entryAt(out(name)).st_ino;
        EXPECT_EQ(save(bitmap.get(), out(name), ClsidPngEncoder), Ok);
        EXPECT_NE(entryAt(out(name)).st_ino, first) << "replaced by a new file";
        EXPECT_EQ(entriesOf(m_out.path()), Names{bytesOf(name).toStdString()});
    }
}

// Both kinds of temporary file: while open, an unnamed one is invisible and a named one (the
// kind a file system without unnamed files gets) is a single hidden entry that says whose it
// is; commit puts exactly the written bytes at the name with the old file's permissions, cancel
// and destruction leave the old file alone.
TEST_F(AtomicSaveTest, TemporaryFileIsInvisibleOrRecognisableAndNeverLeftBehind) {
    using Kind = AtomicFile::Temporary;
    enum End { Commit, Cancel, Destroy };
    const struct {
        Kind kind;
        End end;
    } cases[] = {{Kind::UnnamedWherePossible, Commit},
                 {Kind::UnnamedWherePossible, Cancel},
                 {Kind::Named, Commit},
                 {Kind::Named, Cancel},
                 {Kind::Named, Destroy}};
    const QByteArray old = "old bytes", fresh = "new bytes, longer than the old ones";
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind) * 10 + c.end);
        emptyFolders();
        ASSERT_TRUE(WriteBytes(out("target"), old));
        ASSERT_EQ(::chmod(bytesOf(out("target")).constData(), 0604), 0);
        {
            ReplacingFile file(bytesOf(out("target")));
            ASSERT_TRUE(file.open(c.kind)) << std::strerror(file.error());
            ASSERT_EQ(::write(file.handle(), fresh.constData(), fresh.size()), fresh.size());
            const Names during = entriesOf(m_out.path());
            if (c.kind == Kind::Named) {
                ASSERT_EQ(during.size(), 2u);
                EXPECT_EQ(during[0].rfind(AtomicFile::kTemporaryPrefix, 0), 0u) << during[0];
            } else {
                EXPECT_EQ(during, Names{"target"}); // /tmp takes unnamed files
            }
            if (c.end == Commit)
                EXPECT_TRUE(file.commit()) << std::strerror(file.error());
            else if (c.end == Cancel)
                file.cancel();
        }
        EXPECT_EQ(entriesOf(m_out.path()), Names{"target"});
        EXPECT_EQ(ReadBytes(out("target")), c.end == Commit ? fresh : old);
        EXPECT_EQ(entryAt(out("target")).st_mode & 07777, 0604u);
    }
}

// A shared world-writable folder: another user plants a link at the output name that points to
// a file of the user who saves. The save must not reach that file; the sticky folder does not
// let it replace the other user's link either, so it fails cleanly. A name of its own in the
// same folder is saved normally, without root's capabilities.
TEST_F(AtomicSaveTest, LinkPlantedByAnotherUserInASharedFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    constexpr uid_t kVictim = 65534, kAttacker = 65533;
    ImagePtr bitmap = blankBitmap(4, 4, PixelFormat24bppRGB);
    ASSERT_FALSE(pixelsOf(bitmap.get()).isNull());
    const QByteArray notes = "the victim's own notes\n";
    ASSERT_EQ(::chmod(bytesOf(m_out.path()).constData(), 01777), 0);
    ASSERT_EQ(::chown(bytesOf(m_outside.path()).constData(), kVictim, kVictim), 0);
    ASSERT_TRUE(WriteBytes(outside("keep.txt"), notes));
    ASSERT_EQ(::chown(bytesOf(outside("keep.txt")).constData(), kVictim, kVictim), 0);
    ASSERT_TRUE(QFile::link(outside("keep.txt"), out("000.PNG")));
    ASSERT_EQ(::lchown(bytesOf(out("000.PNG")).constData(), kAttacker, kAttacker), 0);
    const Snapshot before = snapshotOf({&m_out, &m_outside});

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
    Snapshot after = snapshotOf({&m_out, &m_outside});
    EXPECT_EQ(after.erase(bytesOf(out("001.PNG")).toStdString()), 1u);
    EXPECT_EQ(after, before);
    EXPECT_EQ(entryAt(out("001.PNG")).st_uid, kVictim);
}

// A file named only at commit (a picture encoded before its number is known): whatever stands
// at the name is replaced as by a save, never followed, with the permissions a save gives; a
// folder there is refused; a name in another folder gets a copy there; nothing is left behind.
TEST_F(AtomicSaveTest, FileNamedAtCommitEndsLikeASave) {
    using Kind = AtomicFile::Temporary;
    enum At { Nothing, File, LinkOut, Folder, InSubfolder };
    const struct {
        At at;
        Kind kind;
        bool ok;
        mode_t mode;
    } cases[] = {
        {Nothing, Kind::UnnamedWherePossible, true, 0640},     {Nothing, Kind::Named, true, 0640},
        {File, Kind::UnnamedWherePossible, true, 0604},        {File, Kind::Named, true, 0604},
        {LinkOut, Kind::UnnamedWherePossible, true, 0640},     {Folder, Kind::Named, false, 0},
        {InSubfolder, Kind::UnnamedWherePossible, true, 0640},
    };
    const QByteArray fresh = "the encoded picture";
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.at) * 10 + int(c.kind));
        emptyFolders();
        ASSERT_TRUE(WriteBytes(outside("victim"), "keep me"));
        if (c.at == File) {
            ASSERT_TRUE(WriteBytes(out("target"), "old"));
            ASSERT_EQ(::chmod(bytesOf(out("target")).constData(), 0604), 0);
        } else if (c.at == LinkOut) {
            ASSERT_TRUE(QFile::link(outside("victim"), out("target")));
        } else if (c.at == Folder) {
            ASSERT_TRUE(QDir(m_out.path()).mkdir("target"));
        } else if (c.at == InSubfolder) {
            ASSERT_TRUE(QDir(m_out.path()).mkdir("sub"));
        }
        const QString name = c.at == InSubfolder ? out("sub/target") : out("target");
        const Snapshot outsideBefore = snapshotOf({&m_outside});
        {
            NamedAtCommitFile file(bytesOf(m_out.path()));
            ASSERT_TRUE(file.open(c.kind)) << std::strerror(file.error());
            ASSERT_EQ(::write(file.handle(), fresh.constData(), fresh.size()), fresh.size());
            EXPECT_EQ(file.commit(bytesOf(name)), c.ok) << std::strerror(file.error());
            if (!c.ok) {
                EXPECT_EQ(file.error(), EISDIR);
            }
        }
        EXPECT_EQ(snapshotOf({&m_outside}), outsideBefore);
        const Names expected = c.at == InSubfolder ? Names{"sub"} : Names{"target"};
        EXPECT_EQ(entriesOf(m_out.path()), expected);
        if (c.ok) {
            EXPECT_EQ(ReadBytes(name), fresh);
            EXPECT_TRUE(S_ISREG(entryAt(name).st_mode));
            EXPECT_EQ(entryAt(name).st_mode & 07777, c.mode);
            if (c.at == InSubfolder) {
                EXPECT_EQ(entriesOf(out("sub")), Names{"target"});
            }
        }
    }
}

// A run's clean-up takes a killed save's leftover and no file that only looks like one.
TEST_F(AtomicSaveTest, CleanUpTakesOnlyLeftoversOfKilledSaves) {
    enum Twist { Leftover, None, SecondLink, Protected, OtherUser }; // OtherUser last: root only
    const std::tuple<const char*, mode_t, Twist> cases[] = {
        {"KilledKilled", 0600, Leftover},
        {"Killed-Kille", 0600, None},
        {"ÄÄÄÄÄÄ", 0600, None},
        {"ReadOnlyFile", 0400, None},
        {"ModeOfOutput", 0640, None},
        {"TwoLinksHere", 0600, SecondLink},
        {"RunsPicture1", 0600, Protected}, // one of the run's pictures, or its overlay
        {"AnotherUsers", 0600, OtherUser},
    };
    const timespec longAgo[2] = {};             // 1970
    OutputFolder folder(bytesOf(m_out.path())); // each row's run sees the files kept before
    for (const auto& [letters, mode, twist] : cases) {
        if (twist == OtherUser && ::geteuid() != 0)
            GTEST_SKIP() << "only root can give a file to another user";
        const QByteArray file = bytesOf(out(AtomicFile::kTemporaryPrefix)) + letters;
        const char* path = file.constData();
        ASSERT_TRUE(WriteBytes(file, {}));
        ASSERT_EQ(::chmod(path, mode) | ::utimensat(AT_FDCWD, path, longAgo, 0), 0) << letters;
        ASSERT_EQ(twist == OtherUser ? ::chown(path, 65534, 65534) : 0, 0);
        ASSERT_EQ(twist == SecondLink ? ::link(path, (file + "2").constData()) : 0, 0);
        folder.protect(twist == Protected ? file : QByteArray());
        EXPECT_EQ(folder.removeLeftovers(), twist == Leftover ? 1 : 0) << letters;
    }
}
