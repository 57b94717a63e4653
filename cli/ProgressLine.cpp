#include "cli/ProgressLine.h"

#include <cmath>

namespace {

constexpr auto kUpdateInterval = std::chrono::milliseconds(100);

std::string Duration(double seconds) {
    const auto total = static_cast<long long>(std::floor(seconds + 0.5));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

} // namespace

ProgressLine::ProgressLine(std::FILE* terminal, std::size_t total, bool shown)
    : m_terminal(terminal), m_total(total), m_shown(shown),
      m_start(std::chrono::steady_clock::now()), m_lastUpdate(m_start - kUpdateInterval) {
    m_text = Text(0, m_total, 0.0);
    if (m_shown)
        Draw();
}

std::string ProgressLine::Text(std::size_t done, std::size_t total, double elapsed) {
    char text[128];
    if (done == 0 || elapsed <= 0.0) {
        std::snprintf(text, sizeof text, "%zu/%zu", done, total);
        return text;
    }
    const double rate = static_cast<double>(done) / elapsed;
    std::snprintf(text, sizeof text, "%zu/%zu  %.1f pictures/s  %s left", done, total, rate,
                  Duration(static_cast<double>(total - done) / rate).c_str());
    return text;
}

void ProgressLine::Advance(bool redraw) {
    ++m_done;
    if (!m_shown)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastUpdate >= kUpdateInterval) {
        m_lastUpdate = now;
        m_text = Text(m_done, m_total, std::chrono::duration<double>(now - m_start).count());
        redraw = true;
    }
    if (redraw)
        Draw();
}

void ProgressLine::Draw() {
    std::fprintf(m_terminal, "\r\033[K%s", m_text.c_str());
    std::fflush(m_terminal);
    m_visible = true;
}

void ProgressLine::Erase() {
    if (!m_visible)
        return;
    std::fprintf(m_terminal, "\r\033[K");
    std::fflush(m_terminal);
    m_visible = false;
}
