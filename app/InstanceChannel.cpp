#include "app/InstanceChannel.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstdio>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A hand-over: the marker, then each path's bytes ended by a NUL, then one more NUL. The
// answer is the marker once the files are listed.
constexpr char kMarker[] = "pictorum-files-1";
// More than any list of paths; a peer that sends more is not one of ours.
constexpr qsizetype kMaxRequest = qsizetype{64} * 1024 * 1024;

QByteArray Encode(const std::vector<std::string>& files) {
    QByteArray request(kMarker, sizeof kMarker); // with its NUL
    for (const std::string& file : files) {
        // A path is never empty: an empty record would end the list.
        if (file.empty())
            continue;
        request.append(file.data(), qsizetype(file.size()));
        request.append('\0');
    }
    request.append('\0');
    return request;
}

// The paths of a whole request; false while it is still incomplete.
bool Decode(const QByteArray& request, std::vector<std::string>& files) {
    const QByteArray marker(kMarker, sizeof kMarker);
    if (!request.startsWith(marker))
        return false;
    std::vector<std::string> paths;
    qsizetype at = marker.size();
    while (at < request.size()) {
        const qsizetype end = request.indexOf('\0', at);
        if (end < 0)
            return false;
        if (end == at) {
            files = std::move(paths);
            return true;
        }
        paths.emplace_back(request.constData() + at, std::size_t(end - at));
        at = end + 1;
    }
    return false;
}

// Whoever can write into the socket's folder can listen there in our place and be handed every
// start's files, or put something there that keeps the window from opening. So the folder must
// be the user's own and closed to everyone else; a link to a folder is not taken, since its
// target can be changed under us.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat facts {};
    return lstat(path.constData(), &facts) == 0 && S_ISDIR(facts.st_mode) &&
           facts.st_uid == geteuid() && (facts.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Whether the process at the other end of a connected socket runs as this user. The kernel
// records that when the connection is made, so the other end cannot claim anything else.
bool PeerIsThisUser(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 &&
           getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == geteuid();
}

// Where the socket goes: the session's own folder when it is private. Without one (su, cron,
// ssh, containers) the temporary folder is shared by every user, so the socket goes into a
// folder of our own there; one of that name that is not (another user made it first, or it
// was opened up) is left as it is and not used.
struct SocketFolder {
    QByteArray path;
    bool isPrivate = false;
};

SocketFolder FindSocketFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateFolder(runtime))
        return {runtime, true};
    SocketFolder own{
        QFile::encodeName(QDir::tempPath() + QStringLiteral("/pictorum-%1").arg(geteuid()))};
    own.isPrivate =
        (mkdir(own.path.constData(), S_IRWXU) == 0 || errno == EEXIST) && IsPrivateFolder(own.path);
    return own;
}

// Said on the terminal because every later start will open a window of its own, which looks
// like a fault of the program, and the cause may be another user's doing.
void ReportRunningAlone(const QByteArray& path, const char* why) {
    std::fprintf(stderr, "pictorum: %s %s; later starts open windows of their own\n",
                 path.constData(), why);
}

} // namespace

CInstanceChannel::~CInstanceChannel() {
    if (m_server != nullptr)
        m_server->close(); // removes the socket file
}

QString CInstanceChannel::SocketPath() {
    const SocketFolder folder = FindSocketFolder();
    if (!folder.isPrivate)
        return {};
    return QFile::decodeName(folder.path) + QStringLiteral("/pictorum-window");
}

bool CInstanceChannel::HandOver(const std::vector<std::string>& files) {
    const QString path = SocketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    // The files' paths go only to a window of this user's; to anyone else the program answers
    // by opening its own.
    if (!PeerIsThisUser(socket.socketDescriptor()))
        return false;
    socket.write(Encode(files));
    if (!socket.waitForBytesWritten(kWaitMs) && socket.bytesToWrite() > 0)
        return false;
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof kMarker) - 1) {
        if (!socket.waitForReadyRead(kWaitMs))
            return false;
        answer += socket.readAll();
    }
    return answer.startsWith(kMarker);
}

bool CInstanceChannel::Listen(FilesHandler onFiles) {
    m_onFiles = std::move(onFiles);
    m_server = new QLocalServer(this);
    // Only this user may hand files over, wherever the socket lies.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = SocketPath();
    if (path.isEmpty()) {
        ReportRunningAlone(FindSocketFolder().path, "is not a private folder of this user's");
        return false;
    }
    // Qt puts its socket in place by renaming it over whatever has the name, so what is there
    // is looked at first. Only a socket of our own is ever replaced: a file of any other kind,
    // or another user's, stays where it is and this window runs alone.
    const QByteArray name = QFile::encodeName(path);
    struct stat facts {};
    if (lstat(name.constData(), &facts) == 0) {
        if (!S_ISSOCK(facts.st_mode) || facts.st_uid != geteuid()) {
            ReportRunningAlone(name, "is not a socket of this user's");
            return false;
        }
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kWaitMs))
            return false; // another window has just started listening
        // A socket left by a program that ended without closing it: nobody answers there.
        if (unlink(name.constData()) != 0 && errno != ENOENT)
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    if (!m_server->listen(path))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] { Accept(); });
    return true;
}

void CInstanceChannel::Accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Other users cannot reach the socket through its folder; should that ever fail, they
        // are still not listened to.
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            std::vector<std::string> files;
            const QByteArray marker(kMarker, sizeof kMarker);
            const bool foreign = request->size() >= marker.size() && !request->startsWith(marker);
            if (foreign || request->size() > kMaxRequest) {
                socket->abort();
                return;
            }
            if (!Decode(*request, files))
                return;
            request->clear();
            if (m_onFiles)
                m_onFiles(files);
            socket->write(kMarker, qint64(sizeof kMarker) - 1);
            socket->disconnectFromServer();
        });
    }
}
