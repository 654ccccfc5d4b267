#pragma once

#include <QAbstractListModel>
#include <QModelIndexList>
#include <QString>
#include <deque>

#include "services/LogView.h"

// The activity log's lines as the dialog's log list shows them, newest on
// top. Nothing is ever dropped but by "Clear List".
class LogListModel final : public QAbstractListModel, public LogView {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void InsertLineAtTop(std::string_view text) override;
    void RemoveAllLines() override;

    // The lines of `rows`, one per line in the order shown, for the clipboard.
    QString LinesOf(const QModelIndexList& rows) const;

private:
    std::deque<QString> m_lines;
};
