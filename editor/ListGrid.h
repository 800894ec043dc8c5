#pragma once
// A read-only grid of text cells for the main window's lists (layers, objects, presenters):
// one header row, whole-row selection, cell texts read from a callback at paint time, so a
// repaint always shows the model as it is now. Rows count from 0 below the header.

#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class TGridModel;

class TListGrid : public QTableView {
public:
    explicit TListGrid(QWidget* Parent = nullptr);

    void SetColumns(const std::vector<std::pair<QString, int>>& Columns);
    int RowCount() const;
    void SetRowCount(int Rows);
    void Repaint();
    QString CellText(int Col, int Row) const;

    // The cursor row, -1 when there is none. Moving it by code fires no click.
    int CursorRow() const;
    void SetCursorRow(int Row);
    // The selected rows, top to bottom; the cursor row when nothing is selected.
    std::vector<int> SelectedRows() const;
    // A range of rows can be selected (with Shift and the mouse or the arrow keys).
    void SetRangeSelect(bool On);
    bool RangeSelect() const;

    std::function<std::string(int Col, int Row)> OnCellText;
    // The user moved the cursor or clicked a row; a click below the last row leaves no
    // cursor row.
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    // A button went down over Row (-1 outside the rows), before the click.
    std::function<void(Qt::MouseButton Button, int Row)> OnMouseDown;
    // Check boxes (1 checked, 0 unchecked, -1 none); a click on a cell with one toggles it.
    std::function<int(int Col, int Row)> OnCellCheck;
    std::function<void(int Col, int Row)> OnToggle;
    // A row dragged with the left button and dropped on another (rows can be dragged only
    // while this is set).
    std::function<void(int From, int To)> OnRowDragged;
    void DetachCallbacks();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void Click();

    TGridModel* FModel;
    // Set while a mouse press is handled, so its release counts as the click.
    bool FPressed = false;
    int FPressRow = -1;
};
