#pragma once
// The program's main window: the background list, the overlay choice, the sample preview, and
// "&Go!", which asks for the output folder and runs the batch under the progress dialog.
// "Exit" closes it, and so does the window manager's close (the title bar, Alt+F4); Enter and
// Escape do nothing here.

#include "app/framework/Dialog.h"
#include "app/framework/NewestWork.h"
#include "engine/BatchJob.h"
#include "ui/FileListBox.h"
#include "ui/SamplePreview.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class CMainDlg : public CDialog {
  public:
    explicit CMainDlg(CWnd* parent = nullptr);
    ~CMainDlg() override;

    // The batch record the dialog owns; the options dialog and the run work on it.
    CBatchJob& GetJob() { return m_job; }
    const CBatchJob& GetJob() const { return m_job; }

    // True when the file decodes as a raster bitmap; its size then becomes the overlay size,
    // in pixels. Nothing changes otherwise.
    BOOL LoadOverlayInfo(const char* path);
    // Takes path as the overlay when LoadOverlayInfo accepts it, and shows the outcome in the
    // path box and the "Options..." button.
    void SetOverlay(const char* path);
    // SetOverlay's check on a thread of its own (the file may be large, or on a mount that
    // does not answer), then the outcome and a new preview; a newer choice replaces it.
    void SetOverlayAside(const char* path);
    // Waits up to milliseconds for the overlay chosen last to be checked and shown; FALSE when
    // it is not by then.
    BOOL FinishOverlayCheck(DWORD milliseconds);
    // True when a run may start; job's file list then holds every background in list order.
    BOOL ValidateAndCollect(CBatchJob& job);

    // Shows the entry with the focus mark with the overlay on it, or the placeholder while the
    // list is empty, once it is composed (see CSamplePreview).
    void RebuildPreview();
    // Waits up to milliseconds for the preview being composed and shows it; FALSE when it is
    // not complete by then.
    BOOL FinishPreview(DWORD milliseconds);
    // FALSE when the closed window left a preview or overlay check behind that is stuck on a
    // file: it still uses the imaging library.
    BOOL WorkersReleased() const { return m_workersReleased; }
    void UpdateCountLabel();
    void AddBackground(const char* path);
    // Lists files given from outside (dropped, the command line, a second start): a folder as
    // the pictures in it, each picture not listed yet; the first new entry is selected and
    // previewed, and one message names every file that is not a picture or does not exist.
    void AddFiles(const std::vector<std::string>& paths);
    // Appends the open-dialog filter made from the installed encoders to text.
    static void BuildImportFilter(std::string& text);

    // Takes the chosen folder's file-system path (null: it has none) as the output folder.
    // Without one, only a folder taken by an earlier run will do; FALSE: the run must not
    // start.
    BOOL TakeOutputFolder(const char* path);

    // Path box width and the part of a long overlay path's end that it keeps.
    static constexpr int kOverlayLimit = 30;
    static constexpr int kOverlayTail = 23;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape never close the main window.
    void OnOK() override {}
    void OnCancel() override {}

    void OnGo();
    void OnExit();
    void OnClose();
    void OnAbout();
    void OnOptions();
    void OnBrowseOverlay();
    void OnImport();
    void OnRemove();
    LRESULT OnVKeyToItem(WPARAM wParam, LPARAM lParam);
    void OnRemoveAll();
    void OnSelChangeList();
    void OnDropFiles(HDROP drop);
    // Whether a drop at this point of the window is on the overlay's box or the sample.
    bool DropsOnOverlay(const POINT& at);
    void DrawPreview(int idCtl, LPDRAWITEMSTRUCT drawItem);
    void OnDestroy();

    HICON m_hIcon;
    CFileListBox m_listBackgrounds;
    CBatchJob m_job;
    CSamplePreview m_preview;

    // How long "&Go!" and "Exit" wait for a worker left behind by a cancel that timed out: as
    // long as the cancel itself waited.
    DWORD m_dwWorkerWait = 15 * 1000;
    BOOL m_workersReleased = TRUE;

    DECLARE_MESSAGE_MAP()

  private:
    // The chosen overlay's check, off the window's thread (the file may be large, or on a
    // mount that does not answer).
    NewestWork m_overlayCheck;
    // The context of calls put off to the window's next turn; gone with the window.
    QObject m_later;
    // The outcome of a check: the overlay and its size, or the box emptied.
    void ApplyOverlay(const char* path, BOOL accepted, UINT width, UINT height);

    // A worker left behind by a cancel that timed out still reads the job, so nothing may
    // change the job under it. A worker stuck in a call that never returns (a file on a mount
    // that stopped answering) must not hang the window with it, so the wait is bounded; FALSE
    // when the worker is still there after it.
    BOOL WaitForLingeringWorker() const;
};
