#include "app/framework/ListBox.h"

#include "app/framework/ControlBase.h"

#include <QListWidget>

#include <QItemSelection>

#include <algorithm>
#include <vector>

namespace {
QListWidget* List(const QPointer<QWidget>& w) {
    return qobject_cast<QListWidget*>(w.data());
}

bool InRange(const QListWidget* list, int index) {
    return index >= 0 && index < list->count();
}

bool IsMultiple(const QListWidget* list) {
    const auto mode = list->selectionMode();
    return mode == QAbstractItemView::ExtendedSelection ||
           mode == QAbstractItemView::MultiSelection;
}

bool IsSorted(const QWidget* w) {
    const ControlBase* control = ControlOf(w);
    return control != nullptr && (control->Style() & 0x2) != 0; // LBS_SORT
}

QString FromText(const char* text) {
    return QString::fromLocal8Bit(text != nullptr ? text : "");
}

// The selected rows, ascending, read from the selection's ranges in one pass. Asking row by
// row is quadratic: a selection of scattered entries holds one range per entry, and every
// question walks all of them.
std::vector<int> SelectedRows(const QListWidget* list) {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : list->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// The first row shown, 0 for an empty list.
int TopRow(const QListWidget* list) {
    const QListWidgetItem* top = list->count() > 0 ? list->itemAt(0, 0) : nullptr;
    return top != nullptr ? list->row(top) : 0;
}

// Rows as a selection of runs of neighbours.
QItemSelection RowsAsSelection(const QListWidget* list, const std::vector<int>& rows) {
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        selection.append(QItemSelectionRange(list->model()->index(rows[i], 0),
                                             list->model()->index(rows[last], 0)));
        i = last + 1;
    }
    return selection;
}

} // namespace

int CListBox::GetCount() const {
    QListWidget* l = List(m_widget);
    return l != nullptr ? l->count() : LB_ERR;
}

int CListBox::AddString(const char* text) {
    QListWidget* l = List(m_widget);
    if (l == nullptr)
        return LB_ERR;
    const QString s = FromText(text);
    int index = l->count();
    if (IsSorted(l)) {
        index = 0;
        while (index < l->count() && l->item(index)->text().compare(s, Qt::CaseInsensitive) <= 0)
            ++index;
    }
    l->insertItem(index, s);
    return index;
}

int CListBox::InsertString(int index, const char* text) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || index < -1 || index > l->count())
        return LB_ERR;
    if (index == -1)
        index = l->count();
    l->insertItem(index, FromText(text));
    return index;
}

int CListBox::DeleteString(int index) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    delete l->takeItem(index);
    return l->count();
}

int CListBox::DeleteStrings(const std::vector<int>& indices) {
    QListWidget* l = List(m_widget);
    if (l == nullptr)
        return LB_ERR;
    for (int index : indices)
        if (!InRange(l, index))
            return LB_ERR;
    if (indices.empty())
        return l->count();
    // Each removal of a row walks the model's bookkeeping of the rows (the selection alone holds
    // one range per selected row), so removing scattered rows one by one is quadratic. The list
    // is rebuilt once instead from copies of the entries that stay, and their selection, the
    // focus mark and the scroll position are put back.
    const int count = l->count();
    std::vector<int> newRow(static_cast<std::size_t>(count), 0);
    for (int index : indices)
        newRow[static_cast<std::size_t>(index)] = -1;
    std::vector<QListWidgetItem*> kept;
    for (int row = 0; row < count; ++row) {
        if (newRow[static_cast<std::size_t>(row)] < 0)
            continue;
        newRow[static_cast<std::size_t>(row)] = static_cast<int>(kept.size());
        kept.push_back(l->item(row)->clone());
    }
    // A removed row hands its place to the next one that stays, or else to the last.
    const auto placeOf = [&](int row) {
        for (; row < count; ++row)
            if (newRow[static_cast<std::size_t>(row)] >= 0)
                return newRow[static_cast<std::size_t>(row)];
        return static_cast<int>(kept.size()) - 1;
    };
    std::vector<int> selected;
    for (int row : SelectedRows(l))
        if (newRow[static_cast<std::size_t>(row)] >= 0)
            selected.push_back(newRow[static_cast<std::size_t>(row)]);
    const int caret = l->currentRow() >= 0 ? placeOf(l->currentRow()) : -1;
    const int top = placeOf(TopRow(l));

    l->clear();
    for (QListWidgetItem* item : kept)
        l->addItem(item);
    if (!selected.empty())
        l->selectionModel()->select(RowsAsSelection(l, selected), QItemSelectionModel::Select);
    if (caret >= 0)
        l->setCurrentRow(caret, QItemSelectionModel::NoUpdate);
    if (top >= 0)
        l->scrollToItem(l->item(top), QAbstractItemView::PositionAtTop);
    return l->count();
}

void CListBox::ResetContent() {
    if (QListWidget* l = List(m_widget))
        l->clear();
}

int CListBox::GetText(int index, std::string& text) const {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    text = l->item(index)->text().toLocal8Bit().toStdString();
    return static_cast<int>(text.size());
}

int CListBox::SetItemData(int index, DWORD_PTR data) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    l->item(index)->setData(Qt::UserRole, QVariant::fromValue<quintptr>(data));
    return LB_OKAY;
}

DWORD_PTR CListBox::GetItemData(int index) const {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return static_cast<DWORD_PTR>(LB_ERR);
    return static_cast<DWORD_PTR>(l->item(index)->data(Qt::UserRole).value<quintptr>());
}

int CListBox::SetItemDataPtr(int index, void* data) {
    return SetItemData(index, reinterpret_cast<DWORD_PTR>(data));
}

void* CListBox::GetItemDataPtr(int index) const {
    return reinterpret_cast<void*>(GetItemData(index));
}

int CListBox::GetSelCount() const {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !IsMultiple(l))
        return LB_ERR;
    return static_cast<int>(SelectedRows(l).size());
}

int CListBox::GetSelItems(int maxItems, LPINT items) const {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !IsMultiple(l))
        return LB_ERR;
    int n = 0;
    for (int row : SelectedRows(l)) {
        if (n >= maxItems)
            break;
        items[n++] = row;
    }
    return n;
}

int CListBox::SetSel(int index, BOOL select) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !IsMultiple(l) || (index != -1 && !InRange(l, index)))
        return LB_ERR;
    const auto command = select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
    if (index == -1) {
        if (l->count() > 0)
            l->selectionModel()->select(
                QItemSelection(l->model()->index(0, 0), l->model()->index(l->count() - 1, 0)),
                command);
    } else {
        l->selectionModel()->select(l->model()->index(index, 0), command);
    }
    return LB_OKAY;
}

int CListBox::GetSel(int index) const {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    return l->item(index)->isSelected() ? 1 : 0;
}

int CListBox::GetCaretIndex() const {
    QListWidget* l = List(m_widget);
    if (l == nullptr)
        return LB_ERR;
    // Windows keeps the focus mark on the first entry until it is moved.
    return l->currentRow() >= 0 ? l->currentRow() : 0;
}

int CListBox::SetCaretIndex(int index, BOOL scroll) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    l->selectionModel()->setCurrentIndex(l->model()->index(index, 0),
                                         QItemSelectionModel::NoUpdate);
    if (scroll)
        l->scrollToItem(l->item(index));
    return 0;
}

int CListBox::SetTopIndex(int index) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || !InRange(l, index))
        return LB_ERR;
    l->scrollToItem(l->item(index), QAbstractItemView::PositionAtTop);
    return 0;
}

int CListBox::SetCurSel(int index) {
    QListWidget* l = List(m_widget);
    if (l == nullptr || IsMultiple(l))
        return LB_ERR;
    if (!InRange(l, index)) {
        l->clearSelection();
        return LB_ERR; // also for -1, which clears the selection
    }
    l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    l->scrollToItem(l->item(index));
    return index;
}

int CListBox::GetCurSel() const {
    QListWidget* l = List(m_widget);
    if (l == nullptr)
        return LB_ERR;
    if (IsMultiple(l))
        return l->count() > 0 ? GetCaretIndex() : LB_ERR;
    const QList<QListWidgetItem*> selected = l->selectedItems();
    return selected.isEmpty() ? LB_ERR : l->row(selected.first());
}
