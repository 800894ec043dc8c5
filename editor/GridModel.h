#pragma once
// The rows and header texts shared by the editor's grids. Cell texts come from the grid's
// callback when the grid paints, so a repaint shows the model as it is now.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class TGridModel : public QAbstractTableModel {
public:
    using TCellText = std::function<std::string(int Col, int Row)>;
    // CellText is the grid's own callback, which may be replaced or cleared at any time;
    // Background, when given, shades the cells of a column.
    TGridModel(QObject* Parent, const TCellText& CellText, std::function<QVariant(int Col)> Background = {});

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

    // Cells that show a check box: the callback answers 1 checked, 0 unchecked, -1 none.
    using TCellCheck = std::function<int(int Col, int Row)>;
    void SetCellCheck(const TCellCheck* CellCheck) { FCellCheck = CellCheck; }

    void SetHeaders(std::vector<QString> Headers);
    // Rows are added or taken at the end, so the cursor stays where it can.
    void SetRows(int Rows);
    int Rows() const { return FRows; }

    // The look both grids share: rows of this height, no row header, a plain column header.
    static constexpr int RowHeight = 16;
    static void Prepare(QTableView& View);

private:
    const TCellText& FCellText;
    std::function<QVariant(int Col)> FBackground;
    const TCellCheck* FCellCheck = nullptr;
    std::vector<QString> FHeaders;
    int FRows = 0;
};
