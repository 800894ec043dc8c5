#include "editor/ListGrid.h"

#include "editor/GridModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <exception>


TListGrid::TListGrid(QWidget* Parent) : QTableView(Parent), FModel(new TGridModel(this, OnCellText)) {
    TGridModel::Prepare(*this);
    FModel->SetCellCheck(&OnCellCheck);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setModel(FModel);
}

void TListGrid::SetColumns(const std::vector<std::pair<QString, int>>& Columns) {
    std::vector<QString> Headers;
    for (const auto& C : Columns) Headers.push_back(C.first);
    FModel->SetHeaders(std::move(Headers));
    for (size_t I = 0; I < Columns.size(); ++I) setColumnWidth(static_cast<int>(I), Columns[I].second);
}

int TListGrid::RowCount() const { return FModel->Rows(); }

void TListGrid::SetRowCount(int Rows) { FModel->SetRows(Rows); }

void TListGrid::Repaint() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

QString TListGrid::CellText(int Col, int Row) const {
    return FModel->data(FModel->index(Row, Col), Qt::DisplayRole).toString();
}

int TListGrid::CursorRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void TListGrid::SetCursorRow(int Row) {
    if (Row < 0 || Row >= RowCount()) {
        selectionModel()->clear();
        return;
    }
    const int Col = std::max(currentIndex().column(), 0);
    setCurrentIndex(FModel->index(Row, Col));
}

std::vector<int> TListGrid::SelectedRows() const {
    std::vector<int> Rows;
    for (const QModelIndex& Index : selectionModel()->selectedRows()) Rows.push_back(Index.row());
    std::sort(Rows.begin(), Rows.end());
    if (Rows.empty() && CursorRow() >= 0) Rows.push_back(CursorRow());
    return Rows;
}

void TListGrid::SetRangeSelect(bool On) {
    setSelectionMode(On ? QAbstractItemView::ContiguousSelection : QAbstractItemView::SingleSelection);
}

bool TListGrid::RangeSelect() const { return selectionMode() == QAbstractItemView::ContiguousSelection; }

void TListGrid::DetachCallbacks() {
    OnCellText = nullptr;
    OnClick = nullptr;
    OnDblClick = nullptr;
    OnMouseDown = nullptr;
    OnCellCheck = nullptr;
    OnToggle = nullptr;
    OnRowDragged = nullptr;
}

void TListGrid::Click() {
    if (OnClick) OnClick();
}

void TListGrid::mousePressEvent(QMouseEvent* Event) {
    const QModelIndex Index = indexAt(Event->position().toPoint());
    const int Row = Index.isValid() ? Index.row() : -1;
    if (Event->button() == Qt::RightButton) {
        if (OnMouseDown) OnMouseDown(Qt::RightButton, Row);
        // A context menu acts on the row under the mouse, unless a range is selected.
        if (Row >= 0 && selectionModel()->selectedRows().size() <= 1) {
            SetCursorRow(Row);
            Click();
        }
        Event->accept();
        return;
    }
    if (Event->button() == Qt::LeftButton && !Index.isValid()) selectionModel()->clear();
    if (Event->button() == Qt::LeftButton && Index.isValid() && OnCellCheck && OnToggle &&
        OnCellCheck(Index.column(), Row) >= 0) {
        // The row becomes current as any click makes it; the box changes once.
        SetCursorRow(Row);
        OnToggle(Index.column(), Row);
        Click();
        Event->accept();
        return;
    }
    QTableView::mousePressEvent(Event);
    FPressed = Event->button() == Qt::LeftButton;
    FPressRow = FPressed ? Row : -1;
    if (OnMouseDown) OnMouseDown(Event->button(), Row);
}

void TListGrid::mouseReleaseEvent(QMouseEvent* Event) {
    QTableView::mouseReleaseEvent(Event);
    if (Event->button() != Qt::LeftButton || !FPressed) return;
    FPressed = false;
    const QModelIndex Drop = indexAt(Event->position().toPoint());
    if (OnRowDragged && FPressRow >= 0 && Drop.isValid() && Drop.row() != FPressRow) OnRowDragged(FPressRow, Drop.row());
    Click();
}

void TListGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
    Event->accept();
    if (Event->button() == Qt::LeftButton && OnDblClick) OnDblClick();
}

void TListGrid::keyPressEvent(QKeyEvent* Event) {
    const int Before = CursorRow();
    QTableView::keyPressEvent(Event);
    if (CursorRow() != Before) Click();
}
