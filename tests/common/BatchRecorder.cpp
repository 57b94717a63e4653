#include "BatchRecorder.h"

#include "app/framework/WinThread.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingThreadProc.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

LRESULT BatchRecorder::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    BatchMessage m;
    m.message = message;
    if ((message == WM_BATCH_ITEMNAME || message == WM_BATCH_ITEMSTATUS) && lParam != 0)
        m.text = reinterpret_cast<const char*>(lParam);
    // The worker is blocked in this send, so its list can be read safely.
    if (!m_job.fileList.empty())
        m.firstEntry = m_job.fileList.front();
    EXPECT_EQ(wParam, 0u);
    messages.push_back(m);
    if (onMessage)
        onMessage(messages.back(), m_job);
    return 0;
}

std::vector<std::string> BatchRecorder::Lines() const {
    std::vector<std::string> lines;
    for (const BatchMessage& m : messages) {
        if (m.message == WM_BATCH_ITEMNAME)
            lines.push_back(m.text);
        else if (m.message == WM_BATCH_ITEMSTATUS && !lines.empty())
            lines.back() += m.text;
        else if (m.message == WM_BATCH_ITEMSTATUS)
            lines.push_back(m.text);
        else if (m.message == WM_BATCH_DONE)
            lines.push_back("Batch Completed");
    }
    return lines;
}

bool BatchRecorder::Completed() const {
    return !messages.empty() && messages.back().message == WM_BATCH_DONE;
}

void RunBatch(CBatchJob& job, BatchRecorder& recorder, int guardSeconds) {
    job.hProgressWnd = recorder.GetSafeHwnd();
    job.SetRunning(true);
    std::unique_ptr<CWinThread> thread(AfxBeginThread(&ProcessingThreadProc, &job));
    ASSERT_TRUE(thread);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0) {
            loop.quit();
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            // The worker still uses the job on this stack: nothing can be unwound safely.
            std::fprintf(
                stderr, "HANG: the worker did not end within %d s; last message %u \"%s\"\n",
                guardSeconds, recorder.messages.empty() ? 0 : recorder.messages.back().message,
                recorder.messages.empty() ? "" : recorder.messages.back().text.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
    poll.start(2);
    loop.exec();
}

void RunBatchHere(CBatchJob& job, BatchRecorder& recorder) {
    job.hProgressWnd = recorder.GetSafeHwnd();
    job.SetRunning(true);
    ProcessingThreadProc(&job);
}
