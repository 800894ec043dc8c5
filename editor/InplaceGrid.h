#pragma once
// A grid of text cells drawn from callbacks, with one in-place editor that is always shown
// over the cursor cell: plain text, text with an ellipsis button, or text with a pick list.
// Cell texts are read when the grid paints, so a repaint shows the model as it is now.

#include <QComboBox>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QToolButton;
class TGridModel;

enum TEditorStyle : uint8_t { esSimple, esEllipsis, esPickList };

class TPickList : public QComboBox {
public:
    explicit TPickList(QWidget* Parent);
    // Asked for the entries each time the list opens.
    std::function<void(std::vector<std::string>&)> OnGetPickList;
    void showPopup() override;
    // Fills the list now (showPopup does it too).
    void LoadPickList();
};

class TInplaceGrid : public QTableView {
public:
    explicit TInplaceGrid(QWidget* Parent = nullptr);
    ~TInplaceGrid() override;

    // Header texts and widths of the columns.
    void SetColumns(const std::vector<std::pair<QString, int>>& Columns);
    // Data rows, below the header row.
    int RowCount() const;
    void SetRowCount(int Rows);
    // Repaints every cell (and the editor's text unless the user is typing in it).
    void Repaint();
    // The text a cell shows, as painted.
    QString CellText(int Col, int Row) const;

    // Moves the cursor; an unselectable cell leaves it where it is.
    void SetCursor(int Col, int Row);
    int CursorCol() const;
    int CursorRow() const;

    // The in-place editor is shown over the cursor cell while on.
    void SetEditorOn(bool On);
    bool EditorOn() const { return FEditorOn; }
    // The editor shown now, or null; its line edit (for every style).
    QWidget* Editor() const;
    QLineEdit* EditorLine() const;
    QToolButton* EllipsisButton() const { return FEllipsisButton; }
    TPickList* PickList() const { return FPick; }
    // Builds the editor for the cursor cell afresh: style, text and pick list.
    void ResetEditor();
    // Drops every callback, so an owner on its way out is never called back.
    void DetachCallbacks();

    // What the owner decides. Columns and rows count from 0 (the header row is not counted).
    std::function<std::string(int Col, int Row)> OnCellText;
    std::function<bool(int Col, int Row)> OnSelectCell;
    std::function<TEditorStyle(int Row)> OnEditorStyle;
    std::function<std::string(int Col, int Row)> OnGetEditText;
    std::function<void(int Col, int Row, const std::string& Text)> OnSetEditText;
    std::function<void(int Row, std::vector<std::string>&)> OnGetPickList;
    // The ellipsis button, or a double click anywhere on the grid or its editor.
    std::function<void()> OnEditButtonClick;
    // Typing ended (Return, or the editor lost the focus).
    std::function<void()> OnEditDone;
    // Printable characters the editor takes; empty accepts all.
    std::function<bool(QChar)> OnAcceptChar;
    // Column 0 of data rows is painted in the button-face colour.
    bool FixedLookFirstColumn = true;

protected:
    void currentChanged(const QModelIndex& Current, const QModelIndex& Previous) override;
    QModelIndex moveCursor(CursorAction Action, Qt::KeyboardModifiers Modifiers) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void scrollContentsBy(int DX, int DY) override;
    void updateGeometries() override;
    void focusInEvent(QFocusEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool CanSelect(int Col, int Row) const;
    void PlaceEditor();
    void EditorTextEdited(const QString& Text);
    void HideEditors();
    QLineEdit* MakeLine(QWidget* Parent);

    TGridModel* FModel;
    bool FEditorOn = false;
    TEditorStyle FStyle = esSimple;
    // Set while the editor's text is written by code, so it is not taken as typing.
    bool FLoading = false;
    QLineEdit* FLine = nullptr;
    QWidget* FEllipsisBox = nullptr;
    QLineEdit* FEllipsisLine = nullptr;
    QToolButton* FEllipsisButton = nullptr;
    TPickList* FPick = nullptr;
    QPointer<QWidget> FShown;
};
