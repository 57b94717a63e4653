#pragma once
// One window per user session: the first start listens on a local socket in a folder only the
// user can reach; a later start hands its files to that window over the socket and ends. On any
// doubt about who is at the other end, the start runs a window of its own instead.

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QLocalServer;

class CInstanceChannel : public QObject {
  public:
    using FilesHandler = std::function<void(const std::vector<std::string>&)>;

    CInstanceChannel() = default;
    ~CInstanceChannel() override;
    CInstanceChannel(const CInstanceChannel&) = delete;
    CInstanceChannel& operator=(const CInstanceChannel&) = delete;

    // The socket's path: in $XDG_RUNTIME_DIR (the session's own folder) when that is private,
    // else in a private folder made under the user's id in the temporary folder; empty when
    // neither can be had.
    static QString SocketPath();

    // Sends files to a running window and waits until it has taken them; false when no window
    // listens, the listener is another user's, or it does not answer in time.
    static bool HandOver(const std::vector<std::string>& files);

    // Starts listening; false when the socket cannot be made or something not ours has its
    // name (the program then runs alone).
    // onFiles runs on this thread's event loop for every hand-over.
    bool Listen(FilesHandler onFiles);

    // The longest a hand-over waits for each step.
    static constexpr int kWaitMs = 5000;

  private:
    void Accept();

    QLocalServer* m_server = nullptr;
    FilesHandler m_onFiles;
};
