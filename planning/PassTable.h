#pragma once

#include <array>
#include <ctime>
#include <optional>
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

// One row of the pass table: the four texts shown, and the times the start
// and end texts were made from. A time text alone is ambiguous in the hour
// that repeats when the clocks go back; the time it was made from is not.
struct PassRow {
    std::array<std::string, kPassColumns> cells;
    std::optional<std::time_t> start;
    std::optional<std::time_t> end;
};

// The pass table: the rows of the dialog's pass list. Its rows are the only
// store of passes.
class PassTable {
public:
    virtual ~PassTable() = default;

    virtual int GetItemCount() const = 0;
    // Inserts a row with `text` in column 0 and the others empty; an index
    // at or past the end appends. Returns the new row's index.
    virtual int InsertItem(int index, std::string_view text) = 0;
    // Inserts whole rows in one go, the first at `index` (appended when at
    // or past the end), in the order given.
    virtual void InsertRows(int index, std::vector<PassRow> rows) = 0;
    // Removes `count` rows from `first` on.
    virtual void RemoveRows(int first, int count) = 0;
    // A start or end cell set as text stands for the time the text reads as.
    virtual void SetItemText(int row, int column, std::string_view text) = 0;
    virtual std::string GetItemText(int row, int column) const = 0;
    // The time a start or end cell stands for; nullopt when it holds none
    // (the DDE placeholder row).
    virtual std::optional<std::time_t> GetItemTime(int row, int column) const = 0;
    // Scrolls the row into view.
    virtual void EnsureVisible(int row) = 0;
};

// A PassTable kept in memory: for tests, command-line tools and the
// headless mode, and behind the dialog's pass list.
class PassRows final : public PassTable {
public:
    int GetItemCount() const override;
    int InsertItem(int index, std::string_view text) override;
    void InsertRows(int index, std::vector<PassRow> rows) override;
    void RemoveRows(int first, int count) override;
    void SetItemText(int row, int column, std::string_view text) override;
    std::string GetItemText(int row, int column) const override;
    std::optional<std::time_t> GetItemTime(int row, int column) const override;
    void EnsureVisible(int row) override;

    // The row last scrolled into view, -1 before any.
    int VisibleRow() const { return m_visibleRow; }
    // Where InsertItem or InsertRows put a row for `index`.
    int InsertionPoint(int index) const;
    const PassRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

private:
    bool IsCell(int row, int column) const;

    std::vector<PassRow> m_rows;
    int m_visibleRow = -1;
};
