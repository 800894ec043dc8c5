#include "editor/ListGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <exception>

#include "platform/DeviceContext.h"

namespace {
constexpr int kRowHeight = 16;
}  // namespace

class TListGridModel : public QAbstractTableModel {
public:
    explicit TListGridModel(TListGrid* Grid) : QAbstractTableModel(Grid), FGrid(Grid) {}

    int rowCount(const QModelIndex& Parent = {}) const override { return Parent.isValid() ? 0 : FRows; }
    int columnCount(const QModelIndex& Parent = {}) const override {
        return Parent.isValid() ? 0 : static_cast<int>(FHeaders.size());
    }
    QVariant data(const QModelIndex& Index, int Role) const override {
        if (!Index.isValid() || Role != Qt::DisplayRole || !FGrid->OnCellText) return {};
        try {
            return ToQString(FGrid->OnCellText(Index.column(), Index.row()));
        } catch (const std::exception&) {
            return QString();  // painting must go on
        }
    }
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override {
        if (Orientation == Qt::Horizontal && Role == Qt::DisplayRole && Section >= 0 &&
            Section < static_cast<int>(FHeaders.size()))
            return FHeaders[static_cast<size_t>(Section)];
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& Index) const override {
        return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }
    void SetHeaders(std::vector<QString> Headers) {
        beginResetModel();
        FHeaders = std::move(Headers);
        endResetModel();
    }
    void SetRows(int Rows) {
        Rows = std::max(Rows, 0);
        if (Rows > FRows) {
            beginInsertRows({}, FRows, Rows - 1);
            FRows = Rows;
            endInsertRows();
        } else if (Rows < FRows) {
            beginRemoveRows({}, Rows, FRows - 1);
            FRows = Rows;
            endRemoveRows();
        }
    }
    int Rows() const { return FRows; }

private:
    TListGrid* FGrid;
    std::vector<QString> FHeaders;
    int FRows = 0;
};

TListGrid::TListGrid(QWidget* Parent) : QTableView(Parent), FModel(new TListGridModel(this)) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
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
    QTableView::mousePressEvent(Event);
    FPressed = Event->button() == Qt::LeftButton;
    if (OnMouseDown) OnMouseDown(Event->button(), Row);
}

void TListGrid::mouseReleaseEvent(QMouseEvent* Event) {
    QTableView::mouseReleaseEvent(Event);
    if (Event->button() != Qt::LeftButton || !FPressed) return;
    FPressed = false;
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
