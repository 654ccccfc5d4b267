#include "planning/PassTable.h"

#include <algorithm>

#include "framework/Diagnostics.h"

int PassRows::GetItemCount() const {
    return static_cast<int>(m_rows.size());
}

int PassRows::InsertItem(int index, std::string_view text) {
    VANTREL_ASSERT(index >= 0);
    const int at = std::clamp(index, 0, GetItemCount());
    m_rows.insert(m_rows.begin() + at, {std::string(text), {}, {}, {}});
    return at;
}

bool PassRows::IsCell(int row, int column) const {
    return row >= 0 && row < GetItemCount() && column >= 0 && column < kPassColumns;
}

void PassRows::SetItemText(int row, int column, std::string_view text) {
    VANTREL_ASSERT(IsCell(row, column));
    if (IsCell(row, column)) {
        m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    }
}

std::string PassRows::GetItemText(int row, int column) const {
    VANTREL_ASSERT(IsCell(row, column));
    if (!IsCell(row, column)) {
        return {};
    }
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void PassRows::EnsureVisible(int row) {
    VANTREL_ASSERT(row >= 0 && row < GetItemCount());
    m_visibleRow = row;
}
