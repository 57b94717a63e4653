#include "batch/ProcessingDlg.h"

#include "app/framework/ControlAccessibility.h"
#include "app/framework/MessageTarget.h"
#include "app/framework/UiText.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingThreadProc.h"
#include "engine/BatchJob.h"
#include "engine/SaturatingCast.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kTextCancelling = "Cancelling .";
const char* const kTextWaitDot = ".";
const char* const kTextWaitDone = " Done";
const char* const kTextTimeout = "Error : A timeout has occurred";
const char* const kTextCompleted = "Batch Completed";
const char* const kTextFinished = "Finished";
const char* const kTextCancelled = "Cancelled";
const char* const kTextClose = "Close";
const char* const kTextNoThread = "Error : Could not start the run";
const char* const kTextPreviousRun = "Error : The previous run has not ended";

// The worker of the most recent run. It can outlive its dialog (a cancel that timed out), so
// its handle is kept here, where the next run and the program's exit can still wait for it.
// Used on the user-interface thread only.
HANDLE& LastWorker() {
    static HANDLE handle;
    return handle;
}

// The job of the last run started; the main window owns it and outlives every run.
CBatchJob*& LastJob() {
    static CBatchJob* job = nullptr;
    return job;
}

} // namespace

DWORD WaitForLastWorker(DWORD milliseconds) {
    HANDLE& last = LastWorker();
    if (!last)
        return WAIT_OBJECT_0;
    // Servicing sends: a worker blocked in a report to a window of this thread can finish it.
    if (WaitServicingSends(last, milliseconds) != WAIT_OBJECT_0)
        return WAIT_TIMEOUT;
    last.reset();
    return WAIT_OBJECT_0;
}

DWORD StopRunForExit(DWORD milliseconds) {
    if (CBatchJob* job = LastJob(); job != nullptr && LastWorker())
        job->SetRunning(false);
    return WaitForLastWorker(milliseconds);
}

BEGIN_MESSAGE_MAP(CProcessingDlg, CDialog)
ON_MESSAGE(WM_BATCH_DONE, &CProcessingDlg::OnBatchDone)
ON_MESSAGE(WM_BATCH_START, &CProcessingDlg::OnBatchStart)
ON_MESSAGE(WM_BATCH_NEXTITEM, &CProcessingDlg::OnBatchNextItem)
ON_MESSAGE(WM_BATCH_ITEMNAME, &CProcessingDlg::OnBatchItemName)
ON_MESSAGE(WM_BATCH_ITEMSTATUS, &CProcessingDlg::OnBatchItemStatus)
END_MESSAGE_MAP()

CProcessingDlg::CProcessingDlg(CBatchJob* pJob, CWnd* pParent)
    : CDialog(IDD_PROCESSING, pParent), m_pJob(pJob), m_pThread(nullptr), m_bFinished(0) {}

CProcessingDlg::~CProcessingDlg() {
    // Closes our handle only; LastWorker keeps its own for later waits.
    delete m_pThread;
}

void CProcessingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROCESSING_LOG, m_listLog);
}

CProgressCtrl* CProcessingDlg::ProgressBar() {
    return static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESSING_PROGRESS));
}

BOOL CProcessingDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // An earlier worker whose cancel timed out still reads the list and the progress window
    // until its next test of the run flag. Setting the flag or the window now would hand it
    // this run, so it must be gone first: two workers must never share one list.
    const DWORD bound = static_cast<DWORD>(m_nWaitCount) * m_dwWaitStep;
    if (WaitForLastWorker(bound) != WAIT_OBJECT_0) {
        AddLogLine(UiLocal(kTextPreviousRun).c_str());
        EnterClosableState(kTextCancelled);
        return TRUE;
    }

    m_pJob->hProgressWnd = GetSafeHwnd();
    m_pJob->SetRunning(true);
    LastJob() = m_pJob;
    const std::size_t count = m_pJob->fileList.size();
    m_nTotal = SaturatingCast<int>(count);
    if (CProgressCtrl* bar = ProgressBar())
        bar->SetRange32(0, m_nTotal);

    delete m_pThread;
    m_pThread =
        AfxBeginThread(&ProcessingThreadProc, m_pJob, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
    if (m_pThread == nullptr) {
        // Nothing to wait for and nothing will be reported: say so, and let the user close.
        m_pJob->SetRunning(false);
        AddLogLine(UiLocal(kTextNoThread).c_str());
        EnterClosableState(kTextCancelled);
        return TRUE;
    }
    LastWorker() = m_pThread->m_hThread;
    return TRUE;
}

void CProcessingDlg::OnOK() {}

void CProcessingDlg::OnCancel() {
    if (m_bFinished == 1) {
        EndDialog(IDCANCEL);
        return;
    }
    if (m_bCancelRequested)
        return;
    m_bCancelRequested = true;

    AddLogLine(UiLocal(kTextCancelling).c_str());
    m_pJob->SetRunning(false);

    // The worker may be blocked in a report to this dialog right now, having tested the flag
    // just before the cancel. The wait therefore keeps running such reports (they change
    // nothing any more), so the worker reaches its next test and ends instead of holding the
    // wait until its time-out.
    const HANDLE thread = m_pThread != nullptr ? m_pThread->m_hThread : HANDLE{};
    bool ended = false;
    for (int i = 0; i < m_nWaitCount; ++i) {
        if (WaitServicingSends(thread, m_dwWaitStep) != WAIT_TIMEOUT) {
            AppendToLastLogLine(UiLocal(kTextWaitDone).c_str());
            ended = true;
            break;
        }
        AppendToLastLogLine(kTextWaitDot);
    }
    if (!ended)
        AddLogLine(UiLocal(kTextTimeout).c_str());
    // A cancel that came before the item under way was stamped leaves it undone: the bar then
    // counts the finished items, as the title does.
    if (CProgressCtrl* bar = ProgressBar(); bar != nullptr && ended && !m_itemEnded)
        bar->SetPos(std::max(0, m_nCurrent - 1));
    EnterClosableState(kTextCancelled);
}

void CProcessingDlg::EnterClosableState(const char* statusText, bool finished) {
    SetDlgItemText(IDC_PROCESSING_STATUS, UiLocal(statusText).c_str());
    // A stopped run's bar is greyed; a finished one stays as it is, full, as a sign of a whole
    // run rather than of a control that stopped working.
    if (CProgressCtrl* bar = ProgressBar(); bar != nullptr && !finished)
        bar->EnableWindow(FALSE);
    SetDlgItemText(IDCANCEL, UiLocal(kTextClose).c_str());
    m_bFinished = 1;
}

LRESULT CProcessingDlg::OnBatchDone(WPARAM, LPARAM) {
    if (m_bCancelRequested)
        return 0;
    char title[64];
    std::snprintf(title, sizeof title, UiLocal("%i%% Complete").c_str(), 100);
    SetWindowText(title);
    AddLogLine(UiLocal(kTextCompleted).c_str());
    EnterClosableState(kTextFinished, true);
    return 0;
}

LRESULT CProcessingDlg::OnBatchStart(WPARAM, LPARAM) {
    if (m_bCancelRequested)
        return 0;
    m_nCurrent = 0;
    UpdateProgress();
    return 0;
}

LRESULT CProcessingDlg::OnBatchNextItem(WPARAM, LPARAM) {
    if (m_bCancelRequested)
        return 0;
    ++m_nCurrent;
    UpdateProgress();
    return 0;
}

LRESULT CProcessingDlg::OnBatchItemName(WPARAM, LPARAM lParam) {
    if (m_bCancelRequested || lParam == 0)
        return 0;
    AddLogLine(reinterpret_cast<const char*>(lParam));
    m_nItemLine = m_listLog.GetCount() - 1;
    return 0;
}

LRESULT CProcessingDlg::OnBatchItemStatus(WPARAM, LPARAM lParam) {
    if (lParam == 0)
        return 0;
    const std::string text = UiLocal(reinterpret_cast<const char*>(lParam));
    if (m_bCancelRequested) {
        // The worker finished the item while the cancel waited for it: its file is written,
        // so its line says so, above the cancel's own.
        AppendToItemLine(text.c_str());
    } else {
        AppendToLastLogLine(text.c_str());
    }
    // An outcome ends the item: the title counts it, as the bar already does.
    if (m_nItemLine >= 0 && m_nCurrent > 0 && m_nTotal > 0 &&
        std::strcmp(reinterpret_cast<const char*>(lParam), kStatusWorking) != 0) {
        m_itemEnded = true;
        char title[64];
        std::snprintf(title, sizeof title, UiLocal("%i%% Complete").c_str(),
                      static_cast<int>(std::int64_t{m_nCurrent} * 100 / m_nTotal));
        SetWindowText(title);
    }
    return 0;
}

// Runs only while the worker waits in its report, so the list holds still while it is read.
void CProcessingDlg::UpdateProgress() {
    char text[64];
    if (m_nCurrent == 0) {
        SetWindowText(UiLocal("Initializing...").c_str());
    } else {
        // Whole percent of the items finished before this one, truncated. Integer arithmetic:
        // the floating quotient comes out just below some whole values (29 of 100 would read
        // 28%).
        const std::int64_t done = m_nCurrent - 1;
        const int percent = m_nTotal > 0 ? static_cast<int>(done * 100 / m_nTotal) : 0;
        std::snprintf(text, sizeof text, UiLocal("%i%% Complete").c_str(), percent);
        SetWindowText(text);
    }

    // The bar first: a screen reader reads the counter as it changes, and asks the bar then.
    if (CProgressCtrl* bar = ProgressBar())
        bar->SetPos(m_nCurrent);
    m_itemEnded = false;

    std::snprintf(text, sizeof text, UiLocal("Processing Item %i/%i").c_str(), m_nCurrent,
                  m_nTotal);
    SetDlgItemText(IDC_PROCESSING_COUNTER, text);

    // As in the worker's log line.
    char name[256] = "";
    if (!m_pJob->fileList.empty())
        CopyText(name, FileNameOrPath(m_pJob->fileList.front().c_str()).c_str());
    SetDlgItemText(IDC_PROCESSING_STATUS, name);
}

void CProcessingDlg::AddLogLine(const char* text) {
    AddLogLine(text, text);
}

void CProcessingDlg::AddLogLine(const char* text, const char* news) {
    const int index = m_listLog.AddString(text);
    // Scrolled into view without selecting it: a selection that moves to each new line is
    // read out as the focus leaving Cancel. What is new is announced as text instead.
    m_listLog.SetTopIndex(index);
    const std::string line(text);
    AnnounceInsertedText(m_listLog.GetWidget(), static_cast<int>(line.size() - std::strlen(news)),
                         QString::fromLocal8Bit(news));
    // The paint happens now: during a cancel no event loop runs.
    m_listLog.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CProcessingDlg::AppendToLastLogLine(const char* text) {
    const int count = m_listLog.GetCount();
    if (count <= 0) {
        AddLogLine(text);
        return;
    }
    std::string line;
    m_listLog.GetText(count - 1, line);
    m_listLog.DeleteString(count - 1);
    line += text;
    // Only the outcome is new; the item's name was read when its line began.
    AddLogLine(line.c_str(), text);
}

void CProcessingDlg::AppendToItemLine(const char* text) {
    std::string line;
    if (m_nItemLine < 0 || m_listLog.GetText(m_nItemLine, line) < 0)
        return;
    m_listLog.DeleteString(m_nItemLine);
    line += text;
    m_listLog.InsertString(m_nItemLine, line.c_str());
    AnnounceInsertedText(m_listLog.GetWidget(), static_cast<int>(line.size() - std::strlen(text)),
                         QString::fromLocal8Bit(text));
    m_listLog.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
