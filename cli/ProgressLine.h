#pragma once
// The one line on a terminal that tells how far a run is: done/total, pictures per second and
// the time left. Redrawn at most ten times a second.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

class ProgressLine {
  public:
    // Draws nothing at all when not shown.
    ProgressLine(std::FILE* terminal, std::size_t total, bool shown);

    // One more item finished. redraw: the line was erased for other output and must come back
    // even if its text is not due for an update.
    void Advance(bool redraw);
    void Erase();
    // more items to do: a list read while the run goes on tells its length as it comes.
    void Grow(std::size_t more) { m_total += more; }
    std::size_t Done() const { return m_done; }

    // The line's text for done of total after elapsed seconds.
    static std::string Text(std::size_t done, std::size_t total, double elapsed);

  private:
    void Draw();

    std::FILE* m_terminal;
    std::size_t m_total;
    bool m_shown;
    bool m_visible = false;
    std::size_t m_done = 0;
    std::string m_text;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastUpdate;
};
