#pragma once
// The modal dialog that stands over the main window while a batch runs: it starts the worker,
// shows its reports (title, item counter, bar, status line, one log line per item) and lets
// the user cancel the run.

#include "app/framework/Dialog.h"
#include "app/framework/ListBox.h"
#include "app/framework/WinThread.h"

#include <cstdint>

class CBatchJob;

class CProcessingDlg : public CDialog {
  public:
    // pJob is borrowed for the run and must outlive the dialog and its worker.
    explicit CProcessingDlg(CBatchJob* pJob, CWnd* pParent = nullptr);
    // Releases the thread object; neither waits for the worker nor stops it.
    ~CProcessingDlg() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // The dialog has no OK button, and the OK command (Enter) never closes it.
    void OnOK() override;
    // Closes once the run is over; while it may go on, cancels it and stays open.
    void OnCancel() override;

    // The worker's reports (batch/BatchMessages.h). Each returns 0.
    LRESULT OnBatchDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnBatchStart(WPARAM wParam, LPARAM lParam);
    LRESULT OnBatchNextItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnBatchItemName(WPARAM wParam, LPARAM lParam);
    LRESULT OnBatchItemStatus(WPARAM wParam, LPARAM lParam);

    void UpdateProgress();
    void AddLogLine(const char* text);
    // The same, announcing only news, the end of text that is new to the reader.
    void AddLogLine(const char* text, const char* news);
    void AppendToLastLogLine(const char* text);
    // The outcome of the item whose line began last, while the cancel's own line follows it.
    void AppendToItemLine(const char* text);

    CBatchJob* m_pJob;
    CWinThread* m_pThread;
    std::int32_t m_bFinished;
    std::int32_t m_nTotal = 0;
    std::int32_t m_nCurrent = 0;
    CListBox m_listLog;

    // The bounded wait for a worker to end: this many waits of this many milliseconds, one
    // dot on the log each. A run that must wait for an earlier worker waits as long.
    int m_nWaitCount = 15;
    DWORD m_dwWaitStep = 1000;

  private:
    // Cancelled, Finished, or a run that could not begin: the button closes from now on.
    // finished: the whole list was done (else the run stopped early).
    void EnterClosableState(const char* statusText, bool finished = false);
    CProgressCtrl* ProgressBar();

    // Set when the cancel begins and never cleared: a report that the worker had already
    // under way is acknowledged but changes nothing the user sees.
    bool m_bCancelRequested = false;
    int m_nItemLine = -1;    // the log line of the item being worked on
    bool m_itemEnded = true; // that item has its outcome

    DECLARE_MESSAGE_MAP()
};

// Waits, for at most milliseconds (INFINITE allowed), until the worker of the last run has
// ended, running meanwhile the sends addressed to this thread's windows. WAIT_OBJECT_0 when
// no worker is alive any more, WAIT_TIMEOUT otherwise. Call it on the user-interface thread,
// after the last progress dialog has closed and before the job it worked on is freed.
DWORD WaitForLastWorker(DWORD milliseconds);

// What a request to end the program (SIGTERM, SIGHUP) does to a run in progress: stops it as
// Cancel does, so that the pictures in flight are dropped with their files, and waits as
// WaitForLastWorker does. Call it on the user-interface thread.
DWORD StopRunForExit(DWORD milliseconds);
