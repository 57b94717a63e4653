#pragma once
// One window per user session: the first start listens on a local socket in the session's
// runtime folder; a later start hands its files to that window over the socket and ends.

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

    // The socket's path: in $XDG_RUNTIME_DIR (the session's own folder), else in the temporary
    // folder under the user's id.
    static QString SocketPath();

    // Sends files to a running window and waits until it has taken them; false when no window
    // listens or it does not answer in time.
    static bool HandOver(const std::vector<std::string>& files);

    // Starts listening; false when the socket cannot be made (the program then runs alone).
    // onFiles runs on this thread's event loop for every hand-over.
    bool Listen(FilesHandler onFiles);

    // The longest a hand-over waits for each step.
    static constexpr int kWaitMs = 5000;

  private:
    void Accept();

    QLocalServer* m_server = nullptr;
    FilesHandler m_onFiles;
};
