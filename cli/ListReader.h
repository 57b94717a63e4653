#pragma once
// The list of pictures, one entry at a time, so that a run can start while a long list is still
// being written into its standard input.

#include "cli/CliOptions.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

class ListReader {
  public:
    // The command line's pictures, '-' replaced by the entries of in (lines, or NUL-separated;
    // empty ones skipped). Once stop is set, the list ends at the next entry, even while in
    // waits for a writer that writes nothing.
    ListReader(const CliOptions& options, std::FILE* in, const std::atomic<bool>* stop = nullptr);

    // The next entry; false at the end of the list.
    bool Next(std::string& entry);
    // Whether Next would wait for the list's writer: nothing read is left and nothing more has
    // been written yet.
    bool WouldWait();

  private:
    // The next byte of in, or EOF.
    int Byte();

    const CliOptions& m_options;
    std::FILE* m_in;
    int m_fd;
    const std::atomic<bool>* m_stop;
    std::size_t m_argument = 0;
    bool m_inInput = false; // reading in, for the '-' at m_argument - 1
    char m_buffer[65536];
    std::size_t m_filled = 0;
    std::size_t m_read = 0;
};
