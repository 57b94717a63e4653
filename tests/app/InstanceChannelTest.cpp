// A start hands its files only to a window of the same user, through a folder no one else reaches.

#include "app/InstanceChannel.h"
#include "TestMain.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

enum class Made { None, Runtime, Temp };
enum class At { Nothing, File, OwnStale, Stranger };
// The folder made before the start (the session's, or ours in the temporary folder), its mode,
// whether nobody (65534) owns it, what has the socket's name, whether the start then listens.
using Row = std::tuple<const char*, Made, mode_t, bool, At, bool>;
class ChannelTest : public ::testing::TestWithParam<Row> {};

TEST_P(ChannelTest, NeverReachesAnotherUser) {
    const auto& [name, made, mode, nobodys, at, listens] = GetParam();
    if ((nobodys || at == At::Stranger) && ::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    static const QString shared = QDir::tempPath(); // before TMPDIR points into a test's folder
    QTemporaryDir base(shared + QStringLiteral("/channel-XXXXXX"));
    const QByteArray tmp = QFile::encodeName(base.path()), run = tmp + "/run";
    const QByteArray folder =
        made == Made::Runtime ? run : tmp + "/pictorum-" + QByteArray::number(::geteuid());
    qputenv("TMPDIR", tmp);
    made == Made::Runtime ? qputenv("XDG_RUNTIME_DIR", run) : qunsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(::chmod(tmp, 01777), 0); // shared by every user, as /tmp is
    ASSERT_TRUE(made == Made::None || (::mkdir(folder, 0) == 0 && ::chmod(folder, mode) == 0 &&
                                       ::chown(folder, nobodys ? 65534 : ::geteuid(), -1) == 0));
    const QByteArray path = QFile::encodeName(CInstanceChannel::SocketPath());
    sockaddr_un address{AF_UNIX, {}};
    path.toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
    // Left by a window of ours that ended without closing it; or another user's, listening.
    const int socket = at >= At::OwnStale ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0) : -1;
    ASSERT_TRUE(socket < 0 ||
                ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    ASSERT_TRUE(at != At::OwnStale || ::close(socket) == 0);
    ASSERT_TRUE(at != At::Stranger || (::chown(path, 65534, -1) == 0 && ::seteuid(65534) == 0 &&
                                       ::listen(socket, 1) == 0 && ::seteuid(0) == 0));
    ASSERT_TRUE(at != At::File || QFile(path).open(QIODevice::WriteOnly));

    EXPECT_FALSE(CInstanceChannel::HandOver({"/home/someone/private.jpg"}));
    CInstanceChannel channel;
    EXPECT_EQ(channel.Listen({}), listens);
    struct stat facts {};
    EXPECT_TRUE(!listens || (::lstat(QFile::encodeName(QFileInfo(path).path()), &facts) == 0 &&
                             S_ISDIR(facts.st_mode) && facts.st_uid == ::geteuid() &&
                             (facts.st_mode & 077) == 0))
        << "in a folder others reach: " << path.constData();
    EXPECT_TRUE(at != At::File || QFileInfo(path).isFile()) << "the file at the name is gone";
    char sent = 0;
    EXPECT_TRUE(at != At::Stranger || ::read(::accept(socket, nullptr, nullptr), &sent, 1) <= 0)
        << "the files were sent";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelTest,
    ::testing::Values(Row{"RuntimeFolderOpenToAll", Made::Runtime, 0777, false, At::Nothing, true},
                      Row{"RuntimeFolderOfAnotherUser", Made::Runtime, 0700, true, At::Nothing,
                          true},
                      Row{"TempFolderOpenToAll", Made::Temp, 0777, false, At::Nothing, false},
                      Row{"TempFolderOfAnotherUser", Made::Temp, 0700, true, At::Nothing, false},
                      Row{"PlainFileAtTheName", Made::Runtime, 0700, false, At::File, false},
                      Row{"AnotherUsersListener", Made::Runtime, 0700, false, At::Stranger, false},
                      Row{"OwnStaleSocket", Made::None, 0, false, At::OwnStale, true}),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

// Event loops only: the channel's sockets.
test_main::Program test_main::ThisProgram() {
    return {.application = &test_main::CoreApplication, .imaging = false};
}
