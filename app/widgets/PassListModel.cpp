#include "app/widgets/PassListModel.h"

#include <QString>
#include <array>

namespace {

const std::array<const char*, kPassColumns> kHeadings{"Start", "End", "Length", "Name"};

}  // namespace

int PassListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows.GetItemCount();
}

int PassListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPassColumns;
}

QVariant PassListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) {
        return {};
    }
    const std::string& text =
        m_rows.Row(index.row()).cells[static_cast<std::size_t>(index.column())];
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant PassListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kPassColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(kHeadings[static_cast<std::size_t>(section)]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return {};
}

int PassListModel::InsertItem(int index, std::string_view text) {
    const int at = m_rows.InsertionPoint(index);
    beginInsertRows({}, at, at);
    m_rows.InsertItem(at, text);
    endInsertRows();
    return at;
}

void PassListModel::InsertRows(int index, std::vector<PassRow> rows) {
    if (rows.empty()) {
        return;
    }
    const int at = m_rows.InsertionPoint(index);
    beginInsertRows({}, at, at + static_cast<int>(rows.size()) - 1);
    m_rows.InsertRows(at, std::move(rows));
    endInsertRows();
}

void PassListModel::RemoveRows(int first, int count) {
    if (count == 0) {
        return;
    }
    beginRemoveRows({}, first, first + count - 1);
    m_rows.RemoveRows(first, count);
    endRemoveRows();
}

void PassListModel::SetItemText(int row, int column, std::string_view text) {
    m_rows.SetItemText(row, column, text);
    const QModelIndex cell = index(row, column);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

std::string PassListModel::GetItemText(int row, int column) const {
    return m_rows.GetItemText(row, column);
}

std::optional<std::time_t> PassListModel::GetItemTime(int row, int column) const {
    return m_rows.GetItemTime(row, column);
}

void PassListModel::EnsureVisible(int row) {
    m_rows.EnsureVisible(row);
    if (m_scroller) {
        m_scroller(index(row, 0));
    }
}
