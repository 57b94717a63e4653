#include "ui/MainDlg.h"

#include "app/framework/DropFiles.h"
#include "app/framework/FileDialog.h"
#include "app/framework/FolderDialog.h"
#include "app/framework/ResourceImages.h"
#include "app/framework/UiText.h"
#include "app/framework/WinThread.h"
#include "batch/ProcessingDlg.h"
#include "engine/OutputFormat.h"
#include "engine/OverlayCheck.h"
#include "engine/TextHelpers.h"
#include "imaging/GdiPlus.h"
#include "res/Resource.h"
#include "ui/AboutDlg.h"
#include "ui/OverlayOptionsDlg.h"
#include "ui/PictureFiles.h"
#include "ui/PreviewName.h"

#include <QGroupBox>
#include <QKeySequence>
#include <QMetaObject>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include <optional>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr char kOutputFolderTitle[] = "Please select folder to output results.\n\n"
                                      "WARNING: Any duplicate files will be overwritten.";
constexpr std::size_t kImportBufferSize = 8192;
constexpr char kImportTitle[] = "Import Background Images";
constexpr char kOverlayTitle[] = "Choose Overlay Image";
// Only should the dialog's kept selection be gone: the choice is answered, never lost.
constexpr char kTooManyFiles[] = "Too many files were chosen at once.\n\n"
                                 "Choose fewer files, or drop them onto the window.";
// A refusal names this many files; the rest are counted, so that the box still fits the screen.
constexpr std::size_t kRefusedShown = 10;

// The framed box a control is shown in (its group box), or the control itself without one.
QRect FrameAround(QWidget* control) {
    if (control == nullptr || control->parentWidget() == nullptr)
        return QRect();
    const QList<QGroupBox*> groups =
        control->parentWidget()->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QGroupBox* group : groups)
        if (group->geometry().contains(control->geometry()))
            return group->geometry();
    return control->geometry();
}

// One message for everything a drop or a second start could not list.
std::string RefusalText(const std::vector<PictureFiles::Refused>& refused) {
    std::string text = UiLocal("These files were not added to the background images:");
    text += "\n";
    for (std::size_t i = 0; i < refused.size() && i < kRefusedShown; ++i) {
        text += "\n";
        text += refused[i].path;
        text += ": ";
        text +=
            UiLocal(refused[i].reason == PictureFiles::Refusal::Missing ? "no such file or folder"
                                                                        : "not a picture");
    }
    if (refused.size() > kRefusedShown) {
        char more[128];
        std::snprintf(more, sizeof more, UiLocal("and %d more").c_str(),
                      static_cast<int>(refused.size() - kRefusedShown));
        text += "\n";
        text += more;
    }
    return text;
}
} // namespace

namespace {
// Whether path can be the overlay, and its size. Only its header is read: the choice is
// answered at once, whatever the picture's size.
BOOL CheckOverlay(const char* path, UINT& width, UINT& height) {
    CImageFile overlay;
    if (path == nullptr ||
        CheckOverlay(path, OverlayDepth::Header, overlay) != OverlayProblem::None)
        return FALSE;
    width = overlay.Width();
    height = overlay.Height();
    return TRUE;
}
} // namespace

BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
ON_BN_CLICKED(IDC_GO, &CMainDlg::OnGo)
ON_BN_CLICKED(IDC_EXIT, &CMainDlg::OnExit)
ON_BN_CLICKED(IDC_ABOUT, &CMainDlg::OnAbout)
ON_BN_CLICKED(IDC_OPTIONS, &CMainDlg::OnOptions)
ON_BN_CLICKED(IDC_BROWSE_OVERLAY, &CMainDlg::OnBrowseOverlay)
ON_BN_CLICKED(IDC_IMPORT, &CMainDlg::OnImport)
ON_BN_CLICKED(IDC_REMOVE, &CMainDlg::OnRemove)
ON_BN_CLICKED(IDC_REMOVE_ALL, &CMainDlg::OnRemoveAll)
ON_LBN_SELCHANGE(IDC_BACKGROUND_LIST, &CMainDlg::OnSelChangeList)
ON_MESSAGE(WM_VKEYTOITEM, &CMainDlg::OnVKeyToItem)
ON_WM_DROPFILES()
ON_WM_DRAWITEM_EX(&CMainDlg::DrawPreview)
ON_WM_DESTROY()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CMainDlg::CMainDlg(CWnd* parent)
    : CDialog(IDD_MAIN_DIALOG, parent), m_hIcon(LoadIconById(IDI_APPLICATION_ICON)),
      m_job(nullptr) {
    m_overlayCheck.WhenIdle([this] {
        if (QWidget* window = GetWidget())
            window->unsetCursor();
    });
}

CMainDlg::~CMainDlg() {
    m_overlayCheck.Release(0);
    if (m_hIcon != nullptr)
        DestroyIcon(m_hIcon);
}

void CMainDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BACKGROUND_LIST, m_listBackgrounds);
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Until a run replaces it with the progress window, reports would come here.
    m_job.hProgressWnd = GetSafeHwnd();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    DragAcceptFiles(TRUE);
    // Ctrl+Q does what "Exit" does, as in every Linux program, spelled out because some
    // platform themes bind nothing to QKeySequence::Quit. Only while this window is active:
    // under a run the progress dialog has the keyboard, and Cancel is its way out.
    if (QWidget* window = GetWidget()) {
        auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), window);
        quit->setContext(Qt::WindowShortcut);
        QObject::connect(quit, &QShortcut::activated, window, [this] { OnExit(); });
    }
    RebuildPreview();
    // "&Go!" has the focus on opening, although the tab order starts at the list.
    GotoDlgCtrl(GetDlgItem(IDC_GO));
    return FALSE;
}

// Overlay

BOOL CMainDlg::LoadOverlayInfo(const char* path) {
    UINT width = 0, height = 0;
    if (!CheckOverlay(path, width, height))
        return FALSE;
    m_job.SizeToOverlay(width, height);
    return TRUE;
}

void CMainDlg::SetOverlay(const char* path) {
    UINT width = 0, height = 0;
    const BOOL accepted = CheckOverlay(path, width, height);
    ApplyOverlay(path, accepted, width, height);
}

void CMainDlg::ApplyOverlay(const char* path, BOOL accepted, UINT width, UINT height) {
    if (accepted) {
        m_job.SizeToOverlay(width, height);
        CopyText(m_job.szOverlayPath, path);
        SetDlgItemText(IDC_OVERLAY_PATH, AbbreviatePath(path, kOverlayLimit, kOverlayTail).c_str());
    } else {
        // The job keeps the overlay it had; only the box shows that this choice failed.
        SetDlgItemText(IDC_OVERLAY_PATH, "");
    }
    if (CWnd* options = GetDlgItem(IDC_OPTIONS))
        options->EnableWindow(accepted);
}

void CMainDlg::SetOverlayAside(const char* path) {
    if (QWidget* window = GetWidget())
        window->setCursor(Qt::BusyCursor);
    m_overlayCheck.Request([this, chosen = std::string(path)]() -> NewestWork::Answer {
        UINT width = 0, height = 0;
        const BOOL accepted = CheckOverlay(chosen.c_str(), width, height);
        return [this, chosen, accepted, width, height] {
            ApplyOverlay(chosen.c_str(), accepted, width, height);
            RebuildPreview();
        };
    });
}

BOOL CMainDlg::FinishOverlayCheck(DWORD milliseconds) {
    return m_overlayCheck.Finish(milliseconds);
}

void CMainDlg::OnBrowseOverlay() {
    std::string filter;
    BuildImportFilter(filter);
    // The box shows the current overlay (shortened when long) or nothing after a refused
    // choice; the dialog starts at the overlay's full path, so in its folder, not at the
    // shortened text, which names no file.
    std::string shown;
    GetDlgItemText(IDC_OVERLAY_PATH, shown);
    const char* start =
        shown.empty() || m_job.szOverlayPath[0] == '\0' ? nullptr : m_job.szOverlayPath;
    CFileDialog dialog(TRUE, nullptr, start, OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR, filter.c_str(),
                       this);
    dialog.m_ofn.lpstrTitle = kOverlayTitle;
    if (dialog.DoModal() != IDOK)
        return;
    SetOverlayAside(dialog.GetPathName().c_str());
}

void CMainDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CMainDlg::OnOptions() {
    COverlayOptionsDlg options(&m_job, this);
    // The preview shows what the options change once they are taken.
    options.KeepVisible(GetDlgItem(IDC_PREVIEW));
    if (options.DoModal() == IDOK)
        RebuildPreview();
}

// Run

BOOL CMainDlg::ValidateAndCollect(CBatchJob& job) {
    if (job.szOverlayPath[0] == '\0') {
        MessageBox("No overlay image selected", "Error", MB_OK | MB_ICONWARNING);
        GotoDlgCtrl(GetDlgItem(IDC_BROWSE_OVERLAY));
        return FALSE;
    }
    const int count = m_listBackgrounds.GetCount();
    if (count <= 0) {
        MessageBox("No background images selected", "Error", MB_OK | MB_ICONWARNING);
        GotoDlgCtrl(GetDlgItem(IDC_IMPORT));
        return FALSE;
    }
    job.ClearFiles();
    for (int i = 0; i < count; ++i) {
        std::string path;
        if (m_listBackgrounds.GetEntryPath(i, path) >= 0)
            job.AddFile(path.c_str());
    }
    return TRUE;
}

BOOL CMainDlg::TakeOutputFolder(const char* path) {
    if (path != nullptr && path[0] != '\0') {
        CopyText(m_job.szOutputDir, path);
        return TRUE;
    }
    // Without a folder of its own the run would write to the top of the file system.
    return m_job.szOutputDir[0] != '\0';
}

void CMainDlg::OnGo() {
    if (!WaitForLingeringWorker()) {
        MessageBox("The previous run has not ended", "Error", MB_OK | MB_ICONWARNING);
        return;
    }
    if (!ValidateAndCollect(m_job))
        return;
    BROWSEINFOA browse{};
    browse.hwndOwner = GetSafeHwnd();
    browse.pidlRoot = nullptr;
    browse.lpszTitle = kOutputFolderTitle;
    browse.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_SHAREABLE;
    LPITEMIDLIST item = SHBrowseForFolderA(&browse);
    if (item == nullptr)
        return;
    std::vector<char> folder(MAX_PATH, '\0');
    const BOOL hasPath = SHGetPathFromIDListA(item, folder.data());
    CoTaskMemFree(item);
    if (!TakeOutputFolder(hasPath ? folder.data() : nullptr))
        return;
    CProcessingDlg processing(&m_job, this);
    processing.DoModal();
    // The list, the overlay and the options stay as they are for the next run.
}

void CMainDlg::OnExit() {
    // The window closes even if the worker outlives the wait; the application then ends the
    // program without tearing down what that worker still uses.
    WaitForLingeringWorker();
    EndDialog(IDOK);
}

void CMainDlg::OnClose() {
    // The title bar's close box, Alt+F4 and the desktop's own close do what "Exit" does.
    OnExit();
}

BOOL CMainDlg::WaitForLingeringWorker() const {
    // Its run flag is cleared, so it stops at its next test; reports it still sends to a
    // window of this thread are answered meanwhile.
    return WaitForLastWorker(m_dwWorkerWait) == WAIT_OBJECT_0;
}

// Background list

void CMainDlg::UpdateCountLabel() {
    char text[64];
    std::snprintf(text, sizeof text, UiLocal("Background Images (%d)").c_str(),
                  m_listBackgrounds.GetCount());
    SetDlgItemText(IDC_BACKGROUND_GROUP, text);
}

void CMainDlg::AddBackground(const char* path) {
    m_listBackgrounds.AddEntry(path);
    UpdateCountLabel();
}

void CMainDlg::AddFiles(const std::vector<std::string>& paths) {
    const PictureFiles sorted = PictureFiles::Sort(paths);
    int firstNew = -1;
    for (const std::string& path : sorted.pictures) {
        const int index = m_listBackgrounds.AddEntry(path.c_str());
        if (firstNew < 0)
            firstNew = index;
    }
    UpdateCountLabel();
    // What was just added is what the user wants to see: a list that already held entries
    // would otherwise keep showing an old one.
    if (firstNew >= 0) {
        m_listBackgrounds.SetSel(firstNew, TRUE);
        m_listBackgrounds.SetCaretIndex(firstNew);
        RebuildPreview();
    }
    // Shown once the drop or the hand-over has been answered: a file manager waits for the
    // drop's end, and a box held open inside it would hold the file manager too.
    if (!sorted.refused.empty())
        QTimer::singleShot(0, &m_later, [this, text = RefusalText(sorted.refused)] {
            MessageBox(text.c_str(), "Error", MB_OK | MB_ICONWARNING);
        });
}

void CMainDlg::BuildImportFilter(std::string& text) {
    const std::vector<OutputFormat>& formats = OutputFormat::Installed();
    if (formats.empty()) {
        text += "||";
        return;
    }
    std::string all = "All Supported Formats|";
    for (const OutputFormat& format : formats) {
        if (&format != &formats.front())
            all += ";";
        all += format.Patterns();
    }
    all += "|";
    text += all;
    for (const OutputFormat& format : formats) {
        text.append(format.Description())
            .append(" File (")
            .append(format.Patterns())
            .append(")|")
            .append(format.Patterns())
            .append("|");
    }
    text += "|";
}

void CMainDlg::OnImport() {
    std::string filter;
    BuildImportFilter(filter);
    std::vector<char> buffer(kImportBufferSize, '\0');
    CFileDialog dialog(TRUE, "*.bmp", nullptr,
                       OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR, filter.c_str(),
                       this);
    dialog.m_ofn.lpstrFile = buffer.data();
    dialog.m_ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.m_ofn.lpstrTitle = kImportTitle;
    if (dialog.DoModal() != IDOK) {
        if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL)
            return;
        // A selection of any size is taken: the buffer grows to what the dialog reports and
        // receives the selection it kept, without asking the user again.
        buffer.assign(RequiredOpenFileSize(), '\0');
        dialog.m_ofn.lpstrFile = buffer.data();
        dialog.m_ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        if (!TakeOpenFileResult(&dialog.m_ofn)) {
            MessageBox(kTooManyFiles, "Error", MB_OK | MB_ICONWARNING);
            GotoDlgCtrl(GetDlgItem(IDC_IMPORT));
            return;
        }
    }

    // NUL-separated strings ending with an empty one: one full path, or a folder and names.
    const char* first = buffer.data();
    const char* next = first + std::strlen(first) + 1;
    if (*next == '\0') {
        AddBackground(first);
    } else {
        std::string folder(first);
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        for (; *next != '\0'; next += std::strlen(next) + 1)
            AddBackground((folder + next).c_str());
    }
    m_listBackgrounds.SetSel(0, TRUE);
    RebuildPreview();
}

void CMainDlg::OnRemove() {
    const int selected = m_listBackgrounds.GetSelCount();
    if (selected <= 0)
        return;
    std::vector<int> indices(static_cast<std::size_t>(selected));
    const int got = m_listBackgrounds.GetSelItems(selected, indices.data());
    indices.resize(static_cast<std::size_t>(std::max(got, 0)));
    // In one pass: removed one by one, each removal would move the rest of a long list.
    m_listBackgrounds.RemoveEntries(indices);
    UpdateCountLabel();
    RebuildPreview();
}

LRESULT CMainDlg::OnVKeyToItem(WPARAM wParam, LPARAM) {
    // Delete in the list does what "Remove" does; every other key keeps its usual meaning.
    if (LOWORD(wParam) != VK_DELETE)
        return -1;
    OnRemove();
    return -2;
}

void CMainDlg::OnRemoveAll() {
    m_listBackgrounds.RemoveAllEntries();
    UpdateCountLabel();
    RebuildPreview();
}

void CMainDlg::OnSelChangeList() {
    RebuildPreview();
}

void CMainDlg::OnDropFiles(HDROP drop) {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    std::vector<std::string> paths;
    std::vector<char> path(MAX_PATH, '\0');
    for (UINT i = 0; i < count; ++i) {
        // A path too long for the record is left out rather than cut into another path.
        if (DragQueryFileA(drop, i, nullptr, 0) >= path.size())
            continue;
        DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size()));
        paths.emplace_back(path.data());
    }
    POINT at{0, 0};
    const bool onOverlay = DragQueryPoint(drop, &at) && DropsOnOverlay(at);
    DragFinish(drop);
    // A picture let go on the overlay's box or on the sample is plainly meant as the overlay.
    if (onOverlay && !paths.empty())
        SetOverlayAside(paths.front().c_str());
    else
        AddFiles(paths);
    CDialog::OnDropFiles(drop);
}

bool CMainDlg::DropsOnOverlay(const POINT& at) {
    const QPoint point(at.x, at.y);
    for (int id : {IDC_OVERLAY_PATH, IDC_PREVIEW})
        if (CWnd* control = GetDlgItem(id))
            if (FrameAround(control->GetWidget()).contains(point))
                return true;
    return false;
}

// Preview

void CMainDlg::RebuildPreview() {
    // The entry with the focus mark; it stays on the first entry until the user moves it.
    std::string background;
    const bool current =
        m_listBackgrounds.GetCount() > 0 &&
        m_listBackgrounds.GetEntryPath(m_listBackgrounds.GetCaretIndex(), background) >= 0;
    // The box's size in device pixels: what the picture is reduced to.
    QSize shown;
    if (CWnd* box = GetDlgItem(IDC_PREVIEW); box != nullptr && box->GetWidget() != nullptr) {
        const QWidget* widget = box->GetWidget();
        const qreal ratio = widget->devicePixelRatioF();
        shown = QSize(int(std::ceil(widget->width() * ratio)),
                      int(std::ceil(widget->height() * ratio)));
    }
    m_preview.Rebuild(*this, m_job, current ? background.c_str() : nullptr, shown);
    if (CWnd* box = GetDlgItem(IDC_PREVIEW))
        box->SetAccessibleName(PreviewName(m_job, current ? background.c_str() : nullptr));
}

BOOL CMainDlg::FinishPreview(DWORD milliseconds) {
    // The preview of an overlay being checked is requested once the check is done.
    return FinishOverlayCheck(milliseconds) && m_preview.Finish(milliseconds);
}

void CMainDlg::DrawPreview(int idCtl, LPDRAWITEMSTRUCT drawItem) {
    // Only the picture's rectangle is painted; the rest of the box keeps the dialog's
    // background.
    if (idCtl == IDC_PREVIEW && drawItem != nullptr)
        m_preview.Draw(drawItem->hDC, drawItem->rcItem);
    CDialog::OnDrawItem(idCtl, drawItem);
}

void CMainDlg::OnDestroy() {
    CDialog::OnDestroy();
    m_listBackgrounds.RemoveAllEntries();
    UpdateCountLabel();
    // Before the imaging library is shut down.
    m_workersReleased = m_preview.Release();
    if (!m_overlayCheck.Release(CSamplePreview::kReleaseWaitMs))
        m_workersReleased = FALSE;
}
