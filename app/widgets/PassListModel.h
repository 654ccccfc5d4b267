#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "planning/PassTable.h"

// The pass table as the dialog's pass list shows it: four left-aligned text
// columns. Rows read from a file arrive in one insertion, so a list of
// 100,000 passes costs the view one update, not one per row.
class PassListModel final : public QAbstractTableModel, public PassTable {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Who scrolls a row into view for EnsureVisible (the dialog's view).
    void SetScroller(std::function<void(const QModelIndex&)> scroller) {
        m_scroller = std::move(scroller);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    int GetItemCount() const override { return m_rows.GetItemCount(); }
    int InsertItem(int index, std::string_view text) override;
    void InsertRows(int index, std::vector<PassRow> rows) override;
    void RemoveRows(int first, int count) override;
    void SetItemText(int row, int column, std::string_view text) override;
    std::string GetItemText(int row, int column) const override;
    std::optional<std::time_t> GetItemTime(int row, int column) const override;
    void EnsureVisible(int row) override;

private:
    PassRows m_rows;
    std::function<void(const QModelIndex&)> m_scroller;
};
