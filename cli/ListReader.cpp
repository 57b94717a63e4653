#include "cli/ListReader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// How long a read waits for the list's writer before it looks at the stop request again.
constexpr int kStopPollMilliseconds = 200;

} // namespace

ListReader::ListReader(const CliOptions& options, std::FILE* in, const std::atomic<bool>* stop)
    : m_options(options), m_in(in), m_fd(in != nullptr ? ::fileno(in) : -1), m_stop(stop) {}

bool ListReader::Next(std::string& entry) {
    entry.clear();
    for (;;) {
        if (!m_inInput) {
            if (m_argument >= m_options.inputs.size())
                return false;
            const std::string& input = m_options.inputs[m_argument++];
            if (input != "-") {
                entry = input;
                return true;
            }
            m_inInput = true;
        }
        const char separator = m_options.nulSeparated ? '\0' : '\n';
        int c = 0;
        while ((c = Byte()) != EOF && static_cast<char>(c) != separator)
            entry += static_cast<char>(c);
        if (c == EOF)
            m_inInput = false;
        if (!entry.empty())
            return true;
    }
}

bool ListReader::WouldWait() {
    if (!m_inInput &&
        (m_argument >= m_options.inputs.size() || m_options.inputs[m_argument] != "-"))
        return false;
    if (m_read < m_filled || m_fd < 0)
        return false;
    pollfd ready{m_fd, POLLIN, 0};
    return ::poll(&ready, 1, 0) == 0;
}

int ListReader::Byte() {
    if (m_read < m_filled)
        return static_cast<unsigned char>(m_buffer[m_read++]);
    if (m_fd < 0)
        return m_in != nullptr ? std::fgetc(m_in) : EOF;
    for (;;) {
        if (m_stop != nullptr && m_stop->load())
            return EOF;
        pollfd ready{m_fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kStopPollMilliseconds);
        if (polled == 0 || (polled < 0 && errno == EINTR))
            continue;
        const ssize_t got = ::read(m_fd, m_buffer, sizeof m_buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return EOF;
        m_filled = static_cast<std::size_t>(got);
        m_read = 0;
        return static_cast<unsigned char>(m_buffer[m_read++]);
    }
}
