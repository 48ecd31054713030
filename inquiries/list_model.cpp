#include "list_model.h"

namespace kalinda {

ReportListModel::ReportListModel(std::vector<ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , columns_(std::move(columns)) {}

void ReportListModel::setRows(int count, Cell cell) {
    beginResetModel();
    rows_ = cell ? count : 0;
    cell_ = std::move(cell);
    endResetModel();
}

void ReportListModel::clear() {
    setRows(0, {});
}

void ReportListModel::setAlternateShading(const QColor& first, const QColor& second) {
    shading_ = std::make_pair(first, second);
}

QString ReportListModel::text(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columnCount())
        return {};
    return cell_(row, column);
}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportListModel::alignment(int column) const {
    return (columns_[static_cast<std::size_t>(column)].alignment | Qt::AlignVCenter).toInt();
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return alignment(index.column());
    case Qt::BackgroundRole:
        if (shading_)
            return index.row() % 2 == 0 ? shading_->first : shading_->second;
        return {};
    default:
        return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[static_cast<std::size_t>(section)].header;
    if (role == Qt::TextAlignmentRole)
        return alignment(section);
    return {};
}

} // namespace kalinda
