#include "planning/PassTable.h"

#include <algorithm>
#include <iterator>

#include "framework/Diagnostics.h"
#include "planning/PassTimes.h"

namespace {

std::optional<std::time_t>& TimeOf(PassRow& row, int column) {
    return column == PassColumnStart ? row.start : row.end;
}

}  // namespace

int PassRows::GetItemCount() const {
    return static_cast<int>(m_rows.size());
}

int PassRows::InsertionPoint(int index) const {
    VANTREL_ASSERT(index >= 0);
    return std::clamp(index, 0, GetItemCount());
}

int PassRows::InsertItem(int index, std::string_view text) {
    const int at = InsertionPoint(index);
    PassRow row;
    row.cells[PassColumnStart] = text;
    m_rows.insert(m_rows.begin() + at, std::move(row));
    return at;
}

void PassRows::InsertRows(int index, std::vector<PassRow> rows) {
    m_rows.insert(m_rows.begin() + InsertionPoint(index), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
}

void PassRows::RemoveRows(int first, int count) {
    VANTREL_ASSERT(first >= 0 && count >= 0 && first + count <= GetItemCount());
    const auto begin = m_rows.begin() + first;
    m_rows.erase(begin, begin + count);
}

bool PassRows::IsCell(int row, int column) const {
    return row >= 0 && row < GetItemCount() && column >= 0 && column < kPassColumns;
}

void PassRows::SetItemText(int row, int column, std::string_view text) {
    VANTREL_ASSERT(IsCell(row, column));
    if (!IsCell(row, column)) {
        return;
    }
    PassRow& cells = m_rows[static_cast<std::size_t>(row)];
    cells.cells[static_cast<std::size_t>(column)] = text;
    if (column == PassColumnStart || column == PassColumnEnd) {
        TimeOf(cells, column).reset();
    }
}

std::string PassRows::GetItemText(int row, int column) const {
    VANTREL_ASSERT(IsCell(row, column));
    if (!IsCell(row, column)) {
        return {};
    }
    return Row(row).cells[static_cast<std::size_t>(column)];
}

std::optional<std::time_t> PassRows::GetItemTime(int row, int column) const {
    VANTREL_ASSERT(IsCell(row, column) && (column == PassColumnStart || column == PassColumnEnd));
    if (!IsCell(row, column) || (column != PassColumnStart && column != PassColumnEnd)) {
        return std::nullopt;
    }
    const PassRow& cells = Row(row);
    const std::optional<std::time_t>& time = column == PassColumnStart ? cells.start : cells.end;
    return time ? time : ReadPassTime(cells.cells[static_cast<std::size_t>(column)]);
}

void PassRows::EnsureVisible(int row) {
    VANTREL_ASSERT(row >= 0 && row < GetItemCount());
    m_visibleRow = row;
}
