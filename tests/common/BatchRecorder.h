#pragma once
// Stands where the progress window stands: receives the worker's messages on the test's main
// thread, records them, and lets a test act from inside a handler (cancel, delete files) while
// the worker waits in its send.

#include "app/framework/MessageTarget.h"
#include "engine/BatchJob.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct BatchMessage {
    UINT message = 0;
    std::string text;       // copied during the send, as the progress window does
    std::string firstEntry; // the list's first path while the worker waited in this send

    // What the progress window would show alike; where the list stood is checked apart.
    bool operator==(const BatchMessage& o) const { return message == o.message && text == o.text; }
};

inline std::ostream& operator<<(std::ostream& os, const BatchMessage& m) {
    return os << "{" << m.message << ", \"" << m.text << "\"}";
}

class BatchRecorder : public CMessageTarget {
  public:
    explicit BatchRecorder(CBatchJob& job) : m_job(job) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The log as the progress window shows it: one line per item (name, " ... ", outcome),
    // and "Batch Completed" after a completed run.
    std::vector<std::string> Lines() const;
    bool Completed() const;

    std::vector<BatchMessage> messages;
    // Called on the main thread for every message, after it was recorded.
    std::function<void(const BatchMessage&, CBatchJob&)> onMessage;

  private:
    CBatchJob& m_job;
};

// Points the job at recorder, sets the run flag, starts the worker thread and runs this
// thread's event loop until the worker has ended. A worker still running after guardSeconds
// is a hang: the test process then ends at once with a message (never blocks CI).
void RunBatch(CBatchJob& job, BatchRecorder& recorder, int guardSeconds = 120);

// Same, with the worker's sends answered on this thread directly (no worker thread): for
// child processes that must not depend on Qt's threads.
void RunBatchHere(CBatchJob& job, BatchRecorder& recorder);
