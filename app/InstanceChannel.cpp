#include "app/InstanceChannel.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <memory>

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

} // namespace

CInstanceChannel::~CInstanceChannel() {
    if (m_server != nullptr)
        m_server->close(); // removes the socket file
}

QString CInstanceChannel::SocketPath() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists())
        return QFile::decodeName(runtime) + QStringLiteral("/pictorum-window");
    return QDir::tempPath() + QStringLiteral("/pictorum-window-%1").arg(getuid());
}

bool CInstanceChannel::HandOver(const std::vector<std::string>& files) {
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(kWaitMs))
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
    if (!m_server->listen(path)) {
        // A socket left by a program that ended without closing it: nobody answers there.
        if (m_server->serverError() != QAbstractSocket::AddressInUseError)
            return false;
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kWaitMs))
            return false; // another window has just started listening
        QLocalServer::removeServer(path);
        if (!m_server->listen(path))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] { Accept(); });
    return true;
}

void CInstanceChannel::Accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
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
