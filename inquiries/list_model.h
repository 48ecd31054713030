#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace kalinda {

// One column of a list in report view. A width of 0 twips hides the column; its values are
// still held by the list.
struct ListColumn {
    QString header;
    int widthTwips = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The lines of an inquiry list. Cells are made on demand from the form's own rows, so a long
// history costs one text per visible cell, not one per stored cell.
class ReportListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using Cell = std::function<QString(int row, int column)>;

    explicit ReportListModel(std::vector<ListColumn> columns, QObject* parent = nullptr);

    const std::vector<ListColumn>& columns() const { return columns_; }
    void setRows(int count, Cell cell);
    void clear();
    // Lines alternate between the two colours, the first line in `first`.
    void setAlternateShading(const QColor& first, const QColor& second);
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant alignment(int column) const;

    std::vector<ListColumn> columns_;
    int rows_ = 0;
    Cell cell_;
    // The line colours are given by the model rather than by a palette on the view: a
    // palette set on the view leaves memory behind in Qt at every opening.
    std::optional<std::pair<QColor, QColor>> shading_;
};

} // namespace kalinda
