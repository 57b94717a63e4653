#include "ui/FileListBox.h"

#include "engine/TextHelpers.h"

#include <QFile>
#include <QListWidget>

// Each entry owns a copy of its full path, attached as the entry's data.
struct CFileListBox::Entry {
    std::string path;
    QString foldedLine;
    std::uint64_t order;
};

namespace {
// The line as the list compares it when it ignores letter case: each character folded on its
// own, as Qt's case-blind comparison does.
QString Folded(const QString& line) {
    QString folded;
    folded.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            const char32_t code = QChar::toCaseFolded(QChar::surrogateToUcs4(c, line[i + 1]));
            folded += QChar(QChar::highSurrogate(code));
            folded += QChar(QChar::lowSurrogate(code));
            ++i;
        } else {
            folded += QChar(QChar::toCaseFolded(c.unicode()));
        }
    }
    return folded;
}
} // namespace

const CFileListBox::Entry* CFileListBox::EntryAt(int index) const {
    void* data = GetItemDataPtr(index);
    if (data == reinterpret_cast<void*>(static_cast<LONG_PTR>(LB_ERR)))
        return nullptr;
    return static_cast<const Entry*>(data);
}

const CFileListBox::Entry* CFileListBox::FirstLineMatch(const QString& foldedLine) const {
    // The list's own search for a line that begins with this one: from the second entry to the
    // last, then the first. Among the lines that begin with it, the match is the entry
    // earliest in the list other than the first, else the first.
    const Entry* first = EntryAt(0);
    const Entry* earliest = nullptr;
    bool firstMatches = false;
    for (auto line = m_lines.lower_bound(foldedLine);
         line != m_lines.end() && line->first.startsWith(foldedLine); ++line) {
        for (const auto& [order, entry] : line->second) {
            if (entry == first) {
                firstMatches = true;
                continue;
            }
            if (earliest == nullptr || order < earliest->order)
                earliest = entry;
            break;
        }
    }
    if (earliest != nullptr)
        return earliest;
    return firstMatches ? first : nullptr;
}

int CFileListBox::AddEntry(const char* path) {
    if (path == nullptr)
        return -1;
    const std::string display = AbbreviatePath(path, kDisplayLimit, kDisplayTail);
    const QString foldedLine = Folded(QString::fromLocal8Bit(display));
    // Two paths can share a shortened line, so a line match is only a candidate: only the
    // first match counts, and only an identical full path makes it a duplicate.
    const Entry* match = FirstLineMatch(foldedLine);
    if (match != nullptr && match->path == path)
        return -1;
    const int index = AddString(display.c_str());
    if (index < 0)
        return -1;
    // A screen reader reads the whole path: the shortened line leaves out the very part that
    // tells two entries apart.
    if (auto* list = qobject_cast<QListWidget*>(GetWidget()))
        if (QListWidgetItem* item = list->item(index))
            item->setData(Qt::AccessibleTextRole, QFile::decodeName(QByteArray(path)));
    auto* entry = new Entry{path, foldedLine, m_nextOrder++};
    SetItemDataPtr(index, entry);
    m_lines[foldedLine].emplace(entry->order, entry);
    return index;
}

int CFileListBox::GetEntryPath(int index, std::string& path) const {
    if (index < 0 || index >= GetCount())
        return -1;
    if (const Entry* entry = EntryAt(index))
        path = entry->path;
    return index;
}

void CFileListBox::Forget(const Entry* entry) {
    if (entry == nullptr)
        return;
    const auto line = m_lines.find(entry->foldedLine);
    if (line != m_lines.end()) {
        line->second.erase(entry->order);
        if (line->second.empty())
            m_lines.erase(line);
    }
    delete entry;
}

int CFileListBox::RemoveEntry(int index) {
    if (index < 0 || index >= GetCount())
        return -1;
    Forget(EntryAt(index));
    SetItemDataPtr(index, nullptr);
    return DeleteString(index);
}

int CFileListBox::RemoveEntries(const std::vector<int>& indices) {
    const int count = GetCount();
    for (int index : indices)
        if (index < 0 || index >= count)
            return -1;
    for (int index : indices) {
        Forget(EntryAt(index));
        SetItemDataPtr(index, nullptr);
    }
    return DeleteStrings(indices);
}

void CFileListBox::RemoveAllEntries() {
    for (int i = GetCount() - 1; i >= 0; --i)
        delete EntryAt(i);
    m_lines.clear();
    ResetContent();
}
