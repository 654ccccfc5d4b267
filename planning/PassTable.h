#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

enum PassColumn : int {
    PassColumnStart = 0,
    PassColumnEnd = 1,
    PassColumnLength = 2,
    PassColumnName = 3,
};
inline constexpr int kPassColumns = 4;

// The pass table: the rows of the dialog's pass list, four text cells each.
// Its rows are the only store of passes.
class PassTable {
public:
    virtual ~PassTable() = default;

    virtual int GetItemCount() const = 0;
    // Inserts a row with `text` in column 0 and the others empty; an index
    // at or past the end appends. Returns the new row's index.
    virtual int InsertItem(int index, std::string_view text) = 0;
    virtual void SetItemText(int row, int column, std::string_view text) = 0;
    virtual std::string GetItemText(int row, int column) const = 0;
    // Scrolls the row into view.
    virtual void EnsureVisible(int row) = 0;
};

// A PassTable kept in memory, for tests and command-line tools.
class PassRows final : public PassTable {
public:
    int GetItemCount() const override;
    int InsertItem(int index, std::string_view text) override;
    void SetItemText(int row, int column, std::string_view text) override;
    std::string GetItemText(int row, int column) const override;
    void EnsureVisible(int row) override;

    // The row last scrolled into view, -1 before any.
    int VisibleRow() const { return m_visibleRow; }

private:
    bool IsCell(int row, int column) const;

    std::vector<std::array<std::string, kPassColumns>> m_rows;
    int m_visibleRow = -1;
};
