#include "app/widgets/LogListModel.h"

#include <QStringList>
#include <algorithm>
#include <vector>

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) {
        return {};
    }
    return m_lines[static_cast<std::size_t>(index.row())];
}

void LogListModel::InsertLineAtTop(std::string_view text) {
    beginInsertRows({}, 0, 0);
    m_lines.push_front(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    endInsertRows();
}

void LogListModel::RemoveAllLines() {
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QString LogListModel::LinesOf(const QModelIndexList& rows) const {
    std::vector<int> shown;
    for (const QModelIndex& index : rows) {
        if (checkIndex(index, CheckIndexOption::IndexIsValid)) {
            shown.push_back(index.row());
        }
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    QStringList lines;
    for (const int row : shown) {
        lines.append(m_lines[static_cast<std::size_t>(row)]);
    }
    return lines.join(QLatin1Char('\n'));
}
