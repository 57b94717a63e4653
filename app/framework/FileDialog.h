#pragma once
// The open-file dialog: Windows filters ('|' separated for CFileDialog, NUL separated for
// GetOpenFileName) become Qt name filters that match extensions in any letter case, and the
// result lands in the caller's buffer in the Windows layout: one full path, or with
// OFN_ALLOWMULTISELECT and several files the folder, NUL, each name NUL-ended, and a final
// NUL. A result that does not fit the buffer is never cut: the call fails instead. The
// desktop's own chooser is used where the platform offers one; Qt's widget dialog is the
// fallback, and the only one when PICTORUM_WIDGET_DIALOGS is set (the tests drive it).

#include "app/framework/Wnd.h"

#include <QStringList>

#include <string>

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    const char* lpstrFilter; // pairs of display text and patterns, NUL separated, NUL NUL ended
    char* lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // 1-based
    char* lpstrFile;    // in: initial name (or empty); out: the result
    DWORD nMaxFile;     // size of lpstrFile in characters
    char* lpstrFileTitle;
    DWORD nMaxFileTitle;
    const char* lpstrInitialDir;
    const char* lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    const char* lpstrDefExt;
};
using OPENFILENAME = OPENFILENAMEA;

// FALSE when the user cancels or the result does not fit (CommDlgExtendedError tells which).
// A result that does not fit leaves the size it needs, in characters, in the buffer's first
// two bytes as far as they hold it (and always in RequiredOpenFileSize), and is kept on this
// thread until the next open dialog: TakeOpenFileResult hands it over without asking again.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
// 0 after a cancel, FNERR_BUFFERTOOSMALL after a result that did not fit.
DWORD CommDlgExtendedError();
// After FNERR_BUFFERTOOSMALL: the characters the kept result needs; 0 otherwise.
DWORD RequiredOpenFileSize();
// Writes the kept result into ofn's buffer, now large enough, as GetOpenFileNameA would have;
// FALSE (and nothing written) when there is none or it still does not fit.
BOOL TakeOpenFileResult(OPENFILENAMEA* ofn);

// How a Qt name filter spells a pattern's letter case. Qt's own dialog matches bracket
// patterns; the desktop's chooser may match patterns letter by letter, so it is offered the
// pattern in lower and in upper case.
enum class PatternCase { AnyCase, LowerAndUpper };

// "Display|*.JPG;*.JPEG|..." (or NUL separated) to Qt name filters, each pattern matching its
// extension in any letter case: "JPEG File (*.JPG) (*.[jJ][pP][gG])", or with LowerAndUpper
// "JPEG File (*.JPG) (*.jpg *.JPG)".
QStringList WindowsFilterToQt(const std::string& filter,
                              PatternCase patternCase = PatternCase::AnyCase);

class QFileDialog;
// Whether the choosers use the desktop's own dialog: the platform offers one and
// PICTORUM_WIDGET_DIALOGS is not set.
bool UseDesktopChooser();
// Qt's widget dialog sizes its size column for "128.88 GB" without margins, which cuts
// "310.55 KiB"; this makes it wide enough for any size it shows.
void WidenSizeColumn(QFileDialog& dialog);

class CFileDialog : public CCmdTarget {
  public:
    // Only open dialogs exist here. filter uses '|' as MFC's does.
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    INT_PTR DoModal(); // IDOK or IDCANCEL
    std::string GetPathName() const;

    OPENFILENAME m_ofn;

  private:
    std::string m_filter;
    char m_fileName[MAX_PATH] = {};
};
