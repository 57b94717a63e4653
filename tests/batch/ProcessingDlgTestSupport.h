#pragma once
// Runs the progress dialog with the real worker over pictures drawn into a temporary folder,
// and drives it as a user would: real mouse clicks and key presses on the modal window.

#include "DialogDriving.h"
#include "app/framework/WinThread.h"
#include "batch/BatchMessages.h"
#include "batch/ProcessingDlg.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"
#include "res/Resource.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace progress_test {

// What the dialog shows, read from its widgets.
struct View {
    UINT message = 0; // the report just handled; 0 for a look at another moment
    std::string title;
    std::string counter;
    std::string status;
    std::string button;
    std::vector<std::string> log;
    int barPos = 0;
    int barMin = 0;
    int barMax = 0;
    bool barEnabled = false;
};

// The dialog under test: every report goes through the real handler first, then what the
// dialog shows is recorded and the test's hook runs.
class TestProcessingDlg : public CProcessingDlg {
  public:
    explicit TestProcessingDlg(CBatchJob* job) : CProcessingDlg(job) {}

    View Look(UINT message = 0) {
        View v;
        v.message = message;
        QWidget* window = GetWidget();
        if (window == nullptr)
            return v;
        v.title = window->windowTitle().toStdString();
        GetDlgItemText(IDC_PROCESSING_COUNTER, v.counter);
        GetDlgItemText(IDC_PROCESSING_STATUS, v.status);
        GetDlgItemText(IDCANCEL, v.button);
        if (auto* list = LogWidget()) {
            for (int i = 0; i < list->count(); ++i)
                v.log.push_back(list->item(i)->text().toStdString());
        }
        // The range as the control holds it: the widget shows an empty range differently.
        if (auto* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROCESSING_PROGRESS))) {
            v.barPos = bar->GetPos();
            bar->GetRange(v.barMin, v.barMax);
            v.barEnabled = bar->IsWindowEnabled() != FALSE;
        }
        return v;
    }

    QListWidget* LogWidget() { return Widget<QListWidget>(IDC_PROCESSING_LOG); }
    QPushButton* Button() { return Widget<QPushButton>(IDCANCEL); }

    // The worker's thread handle, for checks on its end.
    HANDLE WorkerHandle() const { return m_pThread != nullptr ? m_pThread->m_hThread : HANDLE{}; }
    void SetWait(int count, DWORD step) {
        m_nWaitCount = count;
        m_dwWaitStep = step;
    }

    std::vector<View> views;                           // one per report handled
    std::function<void(const View&)> afterMessage;     // runs inside the report's handler
    std::function<void(TestProcessingDlg&)> afterInit; // runs at the end of OnInitDialog

  protected:
    BOOL OnInitDialog() override {
        const BOOL result = CProcessingDlg::OnInitDialog();
        if (afterInit)
            afterInit(*this);
        return result;
    }

  private:
    template <class W> W* Widget(int id) {
        CWnd* item = GetDlgItem(id);
        return item != nullptr ? qobject_cast<W*>(item->GetWidget()) : nullptr;
    }
    LRESULT Record(UINT message) {
        views.push_back(Look(message));
        if (afterMessage)
            afterMessage(views.back());
        return 0;
    }
    LRESULT Done(WPARAM w, LPARAM l) {
        OnBatchDone(w, l);
        return Record(WM_BATCH_DONE);
    }
    LRESULT Start(WPARAM w, LPARAM l) {
        OnBatchStart(w, l);
        return Record(WM_BATCH_START);
    }
    LRESULT Next(WPARAM w, LPARAM l) {
        OnBatchNextItem(w, l);
        return Record(WM_BATCH_NEXTITEM);
    }
    LRESULT Name(WPARAM w, LPARAM l) {
        OnBatchItemName(w, l);
        return Record(WM_BATCH_ITEMNAME);
    }
    LRESULT Status(WPARAM w, LPARAM l) {
        OnBatchItemStatus(w, l);
        return Record(WM_BATCH_ITEMSTATUS);
    }

    DECLARE_MESSAGE_MAP()
};

using dialog_driving::Click;
using dialog_driving::PressKey;

// A run's end is waited for, so the waits allow long.
constexpr int kRunWaitMs = 30000;

// A dialog still open after a minute fails the test and is ended with -99.
inline INT_PTR RunModal(TestProcessingDlg& dialog, const std::function<void(QWidget*)>& script) {
    return dialog_driving::RunModal(dialog, script, 60000);
}

// A folder with an overlay and backgrounds drawn in code, and a job that stamps them into
// out/ as PNG. Every test waits for the last worker before its job goes.
class ProgressDialogTest : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;

    // Draws a background of that size and puts it on the job's list; returns its file name.
    std::string AddBackground(const char* name, int width = 40, int height = 30);
    // Draws a background that takes the worker a long time: large and full of noise.
    std::string AddSlowBackground(const char* name);
    QString In(const char* name) const { return m_dir.filePath(name); }
    QString Out() const { return m_dir.filePath("out"); }
    std::vector<std::string> Outputs() const;

    QTemporaryDir m_dir;
    CBatchJob job;
};

} // namespace progress_test
