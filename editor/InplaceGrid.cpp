#include "editor/InplaceGrid.h"

#include "editor/GridModel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>
#include <exception>

#include "platform/Text.h"

// ---------------------------------------------------------------------------------------

TPickList::TPickList(QWidget* Parent) : QComboBox(Parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setFrame(false);
}

void TPickList::LoadPickList() {
    std::vector<std::string> Entries;
    if (OnGetPickList) OnGetPickList(Entries);
    const QSignalBlocker Blocker(this);
    const QString Text = currentText();
    clear();
    for (const std::string& E : Entries) addItem(ToQString(E));
    setCurrentIndex(findText(Text, Qt::MatchFixedString));
    setEditText(Text);
}

void TPickList::showPopup() {
    LoadPickList();
    QComboBox::showPopup();
}

// ---------------------------------------------------------------------------------------

TInplaceGrid::TInplaceGrid(QWidget* Parent)
    : QTableView(Parent), FModel(new TGridModel(this, OnCellText, [this](int Col) {
          return Col == 0 && FixedLookFirstColumn ? QVariant(palette().button()) : QVariant();
      })) {
    TGridModel::Prepare(*this);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { PlaceEditor(); });

    FLine = MakeLine(viewport());
    FLine->setObjectName("InplaceEdit");

    FEllipsisBox = new QWidget(viewport());
    FEllipsisBox->setObjectName("InplaceEllipsis");
    auto* Layout = new QHBoxLayout(FEllipsisBox);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    FEllipsisLine = MakeLine(FEllipsisBox);
    FEllipsisButton = new QToolButton(FEllipsisBox);
    FEllipsisButton->setObjectName("EllipsisButton");
    FEllipsisButton->setText("...");
    FEllipsisButton->setFocusPolicy(Qt::NoFocus);
    FEllipsisButton->setFixedWidth(TGridModel::RowHeight + 2);
    Layout->addWidget(FEllipsisLine);
    Layout->addWidget(FEllipsisButton);
    connect(FEllipsisButton, &QToolButton::clicked, this, [this] {
        if (OnEditButtonClick) OnEditButtonClick();
    });

    FPick = new TPickList(viewport());
    FPick->setObjectName("InplacePickList");
    FPick->OnGetPickList = [this](std::vector<std::string>& List) {
        if (OnGetPickList && currentIndex().isValid()) OnGetPickList(currentIndex().row(), List);
    };
    FPick->installEventFilter(this);
    FPick->lineEdit()->installEventFilter(this);
    connect(FPick->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& T) { EditorTextEdited(T); });
    connect(FPick->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (OnEditDone) OnEditDone();
    });
    // A choice from the list is a whole edit at once.
    connect(FPick, &QComboBox::activated, this, [this](int Item) {
        EditorTextEdited(FPick->itemText(Item));
        if (OnEditDone) OnEditDone();
    });

    HideEditors();
    // Last: the view announces its first cursor to the editors.
    setModel(FModel);
}

TInplaceGrid::~TInplaceGrid() = default;

QLineEdit* TInplaceGrid::MakeLine(QWidget* Parent) {
    auto* Line = new QLineEdit(Parent);
    Line->setFrame(false);
    Line->installEventFilter(this);
    connect(Line, &QLineEdit::textEdited, this, [this](const QString& T) { EditorTextEdited(T); });
    connect(Line, &QLineEdit::editingFinished, this, [this] {
        if (OnEditDone) OnEditDone();
    });
    return Line;
}

void TInplaceGrid::SetColumns(const std::vector<std::pair<QString, int>>& Columns) {
    std::vector<QString> Headers;
    for (const auto& C : Columns) Headers.push_back(C.first);
    FModel->SetHeaders(std::move(Headers));
    for (size_t I = 0; I < Columns.size(); ++I) setColumnWidth(static_cast<int>(I), Columns[I].second);
}

int TInplaceGrid::RowCount() const { return FModel->Rows(); }

void TInplaceGrid::SetRowCount(int Rows) {
    FModel->SetRows(Rows);
    // Rows taken away may have held the cursor: the editor follows wherever it went.
    ResetEditor();
}

void TInplaceGrid::Repaint() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

QString TInplaceGrid::CellText(int Col, int Row) const {
    return FModel->data(FModel->index(Row, Col), Qt::DisplayRole).toString();
}

bool TInplaceGrid::CanSelect(int Col, int Row) const {
    if (Row < 0 || Row >= RowCount() || Col < 0 || Col >= FModel->columnCount()) return false;
    return !OnSelectCell || OnSelectCell(Col, Row);
}

void TInplaceGrid::SetCursor(int Col, int Row) {
    if (!CanSelect(Col, Row)) return;
    const QModelIndex Index = FModel->index(Row, Col);
    if (Index == currentIndex()) return;
    setCurrentIndex(Index);
}

int TInplaceGrid::CursorCol() const { return currentIndex().isValid() ? currentIndex().column() : -1; }
int TInplaceGrid::CursorRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void TInplaceGrid::SetEditorOn(bool On) {
    FEditorOn = On;
    ResetEditor();
}

QWidget* TInplaceGrid::Editor() const { return FShown.data(); }

QLineEdit* TInplaceGrid::EditorLine() const {
    if (!FShown) return nullptr;
    if (FShown == FPick) return FPick->lineEdit();
    if (FShown == FEllipsisBox) return FEllipsisLine;
    return FLine;
}

void TInplaceGrid::HideEditors() {
    FLine->hide();
    FEllipsisBox->hide();
    FPick->hide();
    FShown = nullptr;
}

void TInplaceGrid::ResetEditor() {
    const bool HadFocus = FShown && FShown->isAncestorOf(QApplication::focusWidget());
    HideEditors();
    const QModelIndex Index = currentIndex();
    if (!FEditorOn || !Index.isValid() || !CanSelect(Index.column(), Index.row())) {
        if (HadFocus) setFocus();
        return;
    }
    FStyle = OnEditorStyle ? OnEditorStyle(Index.row()) : esSimple;
    FShown = FStyle == esPickList ? static_cast<QWidget*>(FPick)
             : FStyle == esEllipsis ? FEllipsisBox
                                    : static_cast<QWidget*>(FLine);
    FLoading = true;
    const QString Text = OnGetEditText ? ToQString(OnGetEditText(Index.column(), Index.row())) : QString();
    if (FStyle == esPickList) {
        FPick->setEditText(Text);
        FPick->LoadPickList();
    } else {
        EditorLine()->setText(Text);
    }
    FLoading = false;
    PlaceEditor();
    FShown->show();
    if (HadFocus || hasFocus()) EditorLine()->setFocus();
}

void TInplaceGrid::DetachCallbacks() {
    OnCellText = nullptr;
    OnSelectCell = nullptr;
    OnEditorStyle = nullptr;
    OnGetEditText = nullptr;
    OnSetEditText = nullptr;
    OnGetPickList = nullptr;
    OnEditButtonClick = nullptr;
    OnEditDone = nullptr;
    OnAcceptChar = nullptr;
}

void TInplaceGrid::PlaceEditor() {
    if (!FShown || !currentIndex().isValid()) return;
    FShown->setGeometry(visualRect(currentIndex()));
}

void TInplaceGrid::EditorTextEdited(const QString& Text) {
    if (FLoading || !OnSetEditText) return;
    const QModelIndex Index = currentIndex();
    if (!Index.isValid()) return;
    OnSetEditText(Index.column(), Index.row(), FromQString(Text));
}

void TInplaceGrid::currentChanged(const QModelIndex& Current, const QModelIndex& Previous) {
    QTableView::currentChanged(Current, Previous);
    ResetEditor();
}

QModelIndex TInplaceGrid::moveCursor(CursorAction Action, Qt::KeyboardModifiers Modifiers) {
    const QModelIndex Next = QTableView::moveCursor(Action, Modifiers);
    if (Next.isValid() && !CanSelect(Next.column(), Next.row())) return currentIndex();
    return Next;
}

void TInplaceGrid::mousePressEvent(QMouseEvent* Event) {
    const QModelIndex Index = indexAt(Event->position().toPoint());
    if (Event->button() == Qt::RightButton) {
        // A context menu acts on the row under the mouse.
        if (Index.isValid()) {
            const int Col = CanSelect(Index.column(), Index.row()) ? Index.column() : std::max(CursorCol(), 1);
            SetCursor(Col, Index.row());
        }
        Event->accept();
        return;
    }
    if (Index.isValid() && !CanSelect(Index.column(), Index.row())) {
        Event->accept();
        return;
    }
    QTableView::mousePressEvent(Event);
}

void TInplaceGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
    Event->accept();
    if (Event->button() == Qt::LeftButton && OnEditButtonClick) OnEditButtonClick();
}

void TInplaceGrid::scrollContentsBy(int DX, int DY) {
    QTableView::scrollContentsBy(DX, DY);
    PlaceEditor();
}

void TInplaceGrid::updateGeometries() {
    QTableView::updateGeometries();
    PlaceEditor();
}

void TInplaceGrid::focusInEvent(QFocusEvent* Event) {
    QTableView::focusInEvent(Event);
    if (FShown) EditorLine()->setFocus();
}

bool TInplaceGrid::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::MouseButtonDblClick) {
        if (OnEditButtonClick) OnEditButtonClick();
        return true;
    }
    if (Event->type() != QEvent::KeyPress) return QTableView::eventFilter(Watched, Event);
    auto* Key = static_cast<QKeyEvent*>(Event);
    const bool PopupOpen = FShown == FPick && FPick->view()->isVisible();
    if ((Key->key() == Qt::Key_Up || Key->key() == Qt::Key_Down) && !(Key->modifiers() & Qt::AltModifier) &&
        !PopupOpen) {
        SetCursor(CursorCol(), CursorRow() + (Key->key() == Qt::Key_Up ? -1 : 1));
        return true;
    }
    const QString Text = Key->text();
    if (OnAcceptChar && !Text.isEmpty() && Text.front().isPrint() && !OnAcceptChar(Text.front())) return true;
    return QTableView::eventFilter(Watched, Event);
}
