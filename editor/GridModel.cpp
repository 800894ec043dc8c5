#include "editor/GridModel.h"

#include <QHeaderView>
#include <algorithm>
#include <exception>

#include "platform/Text.h"

TGridModel::TGridModel(QObject* Parent, const TCellText& CellText, std::function<QVariant(int Col)> Background)
    : QAbstractTableModel(Parent), FCellText(CellText), FBackground(std::move(Background)) {}

int TGridModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : FRows; }

int TGridModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(FHeaders.size());
}

QVariant TGridModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid()) return {};
    if (Role == Qt::DisplayRole && FCellText) {
        try {
            return ToQString(FCellText(Index.column(), Index.row()));
        } catch (const std::exception&) {
            // A value that cannot be read shows as empty; painting must go on.
            return QString();
        }
    }
    if (Role == Qt::BackgroundRole && FBackground) return FBackground(Index.column());
    if (Role == Qt::CheckStateRole && FCellCheck && *FCellCheck) {
        const int Check = (*FCellCheck)(Index.column(), Index.row());
        if (Check >= 0) return Check ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

QVariant TGridModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation == Qt::Horizontal && Role == Qt::DisplayRole && Section >= 0 &&
        Section < static_cast<int>(FHeaders.size()))
        return FHeaders[static_cast<size_t>(Section)];
    return {};
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TGridModel::SetHeaders(std::vector<QString> Headers) {
    beginResetModel();
    FHeaders = std::move(Headers);
    endResetModel();
}

void TGridModel::SetRows(int Rows) {
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

void TGridModel::Prepare(QTableView& View) {
    View.setSelectionMode(QAbstractItemView::SingleSelection);
    View.setEditTriggers(QAbstractItemView::NoEditTriggers);
    View.setTabKeyNavigation(false);
    QHeaderView* Rows = View.verticalHeader();
    Rows->hide();
    Rows->setMinimumSectionSize(RowHeight);
    Rows->setDefaultSectionSize(RowHeight);
    Rows->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* Columns = View.horizontalHeader();
    Columns->setHighlightSections(false);
    Columns->setSectionsClickable(false);
    Columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Columns->setStretchLastSection(false);
}
