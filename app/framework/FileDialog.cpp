#include "app/framework/FileDialog.h"
#include "app/framework/AwayFromWindow.h"
#include "app/framework/UiText.h"

#include "app/framework/Dialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
thread_local DWORD t_lastError = 0;

// A result in the Windows layout, with where its name and extension start.
struct OpenFileResult {
    std::string text;
    WORD fileOffset = 0;
    WORD extensionOffset = 0;
};
// The last result that did not fit its buffer, until the next open dialog.
thread_local OpenFileResult t_unfit;

OpenFileResult LayOut(const QStringList& files) {
    OpenFileResult out;
    std::string& result = out.text;
    if (files.size() == 1) {
        result = QFile::encodeName(files.first()).toStdString();
        const size_t slash = result.rfind('/');
        out.fileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
        result += '\0';
    } else {
        std::string folder =
            QFile::encodeName(QFileInfo(files.first()).absolutePath()).toStdString();
        result = folder;
        result += '\0';
        // Past 65535 the offset cannot say where the names start; they follow the first NUL.
        out.fileOffset = static_cast<WORD>(std::min<size_t>(folder.size() + 1, 0xFFFF));
        for (const QString& file : files) {
            result += QFile::encodeName(QFileInfo(file).fileName()).toStdString();
            result += '\0';
        }
    }
    result += '\0';
    if (files.size() == 1) {
        const size_t dot = result.find_last_of('.', result.size() - 3);
        if (dot != std::string::npos && dot >= out.fileOffset)
            out.extensionOffset = static_cast<WORD>(std::min<size_t>(dot + 1, 0xFFFF));
    }
    return out;
}

BOOL Deliver(const OpenFileResult& result, OPENFILENAMEA* ofn) {
    if (result.text.size() > ofn->nMaxFile)
        return FALSE;
    std::memcpy(ofn->lpstrFile, result.text.data(), result.text.size());
    ofn->nFileOffset = result.fileOffset;
    ofn->nFileExtension = result.extensionOffset;
    return TRUE;
}

// A pattern in any letter case: "*.JPG" -> "*.[jJ][pP][gG]".
QString CaseBlindPattern(const QString& pattern) {
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

std::vector<std::string> SplitFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|' || c == '\0') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// A Win32 filter ends with two NULs.
std::string Win32FilterText(const char* filter) {
    std::string text;
    if (filter == nullptr)
        return text;
    const char* p = filter;
    while (*p != '\0') {
        const size_t n = std::strlen(p);
        text.append(p, n);
        text += '\0';
        p += n + 1;
    }
    return text;
}
} // namespace

QStringList WindowsFilterToQt(const std::string& filter, PatternCase patternCase) {
    const std::vector<std::string> parts = SplitFilter(filter);
    QStringList filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty())
            break;
        const QString display = UiLocalText(parts[i].c_str());
        QStringList patterns;
        const QStringList raw =
            QString::fromLocal8Bit(parts[i + 1]).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& p : raw) {
            const QString pattern = p.trimmed();
            if (patternCase == PatternCase::AnyCase) {
                patterns << CaseBlindPattern(pattern);
                continue;
            }
            patterns << pattern.toLower();
            if (pattern.toUpper() != pattern.toLower())
                patterns << pattern.toUpper();
        }
        filters << display + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

bool UseDesktopChooser() {
    const QByteArray forced = qgetenv("PICTORUM_WIDGET_DIALOGS");
    if (!forced.isEmpty() && forced != "0")
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    // Qt builds its widget dialog at once when the platform theme has no chooser to offer,
    // and only then: that is the one public sign of what the desktop offers. It does not
    // change while the program runs.
    static const bool offered = [] {
        QFileDialog probe;
        probe.setOption(QFileDialog::DontUseNativeDialog, false);
        probe.setFileMode(QFileDialog::ExistingFiles);
        return probe.findChild<QTreeView*>(QStringLiteral("treeView")) == nullptr;
    }();
    return offered;
}

void WidenSizeColumn(QFileDialog& dialog) {
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (tree == nullptr)
        return;
    // The widest size text: four digits, two decimals, a three-letter unit.
    const QString widest = QLocale().formattedDataSize(qint64(1023.99 * 1024 * 1024 * 1024));
    QStyle* style = tree->style();
    const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    const int headerMargin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, tree->header());
    const int width =
        tree->fontMetrics().horizontalAdvance(widest) + 2 * textMargin + 2 * headerMargin;
    if (tree->header()->sectionSize(1) < width)
        tree->header()->resizeSection(1, width);
}

DWORD CommDlgExtendedError() {
    return t_lastError;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
    t_lastError = 0;
    t_unfit = OpenFileResult();
    if (ofn == nullptr || ofn->lpstrFile == nullptr || ofn->nMaxFile == 0)
        return FALSE;
    CDialog* owner = CDialog::FromHandle(ofn->hwndOwner);
    QFileDialog dialog(owner != nullptr ? owner->GetWidget() : nullptr);
    const bool desktop = UseDesktopChooser();
    dialog.setOption(QFileDialog::DontUseNativeDialog, !desktop);
    // The patterns spell out every letter case; show the filters' own descriptions only.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const bool multi = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
    dialog.setFileMode(multi ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setWindowTitle(UiLocalText(ofn->lpstrTitle != nullptr ? ofn->lpstrTitle : "Open"));
    const QStringList filters =
        WindowsFilterToQt(Win32FilterText(ofn->lpstrFilter),
                          desktop ? PatternCase::LowerAndUpper : PatternCase::AnyCase);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const DWORD index = ofn->nFilterIndex > 0 ? ofn->nFilterIndex - 1 : 0;
        if (index < static_cast<DWORD>(filters.size()))
            dialog.selectNameFilter(filters[static_cast<int>(index)]);
    }
    if (ofn->lpstrInitialDir != nullptr && ofn->lpstrInitialDir[0] != '\0') {
        // Qt's dialog reads the folder on this thread as it opens: one on a mount that stopped
        // answering is waited for here instead, under a busy cursor, with the window painting.
        const QString initial = QFile::decodeName(ofn->lpstrInitialDir);
        bool reachable = false;
        RunAwayFromWindow([&] { reachable = QFileInfo(initial).isDir(); });
        if (reachable)
            dialog.setDirectory(initial);
    }
    const std::string initial(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    if (!initial.empty())
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(initial)));
    if (!desktop)
        WidenSizeColumn(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return FALSE;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return FALSE;

    OpenFileResult result = LayOut(files);
    if (Deliver(result, ofn))
        return TRUE;
    t_lastError = FNERR_BUFFERTOOSMALL;
    const std::size_t needed = result.text.size();
    const WORD shown = static_cast<WORD>(std::min<std::size_t>(needed, 0xFFFF));
    std::memcpy(ofn->lpstrFile, &shown, std::min<std::size_t>(sizeof shown, ofn->nMaxFile));
    t_unfit = std::move(result);
    return FALSE;
}

DWORD RequiredOpenFileSize() {
    return t_lastError == FNERR_BUFFERTOOSMALL ? static_cast<DWORD>(t_unfit.text.size()) : 0;
}

BOOL TakeOpenFileResult(OPENFILENAMEA* ofn) {
    if (ofn == nullptr || ofn->lpstrFile == nullptr || t_unfit.text.empty() ||
        !Deliver(t_unfit, ofn))
        return FALSE;
    t_unfit = OpenFileResult();
    t_lastError = 0;
    return TRUE;
}

CFileDialog::CFileDialog(BOOL, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_ofn{} {
    if (filter != nullptr) {
        m_filter = filter;
        for (char& c : m_filter)
            if (c == '|')
                c = '\0';
        m_filter += '\0';
    }
    if (fileName != nullptr)
        std::strncpy(m_fileName, fileName, sizeof m_fileName - 1);
    auto* owner = dynamic_cast<CDialog*>(parent);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = owner != nullptr ? owner->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = sizeof m_fileName;
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.lpstrDefExt = defaultExt;
}

INT_PTR CFileDialog::DoModal() {
    return GetOpenFileNameA(&m_ofn) ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const {
    if (m_ofn.lpstrFile == nullptr)
        return std::string();
    return std::string(m_ofn.lpstrFile, strnlen(m_ofn.lpstrFile, m_ofn.nMaxFile));
}
