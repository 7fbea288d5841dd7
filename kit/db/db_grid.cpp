#include "kit/db/db_grid.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QSize>
#include <QStyle>
#include <algorithm>

namespace kit {

TDBGridModel::TDBGridModel(TDataSet& DataSet, QObject* Parent) : QAbstractTableModel(Parent) {
    SetDataSet(&DataSet);
    Refresh();
}

void TDBGridModel::Refresh() {
    beginResetModel();
    FColumns.clear();
    FRows.clear();
    FCachedBookmark = NoBookmark;
    if (DataSet() != nullptr && DataSet()->Active()) {
        for (int Index = 0; Index < DataSet()->FieldCount(); ++Index) {
            if (DataSet()->Fields(Index).Visible()) {
                FColumns.append(&DataSet()->Fields(Index));
            }
        }
        FRows = DataSet()->RowBookmarks();
    }
    endResetModel();
}

int TDBGridModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TDBGridModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

const QStringList& TDBGridModel::RowTexts(int Row) const {
    const TBookmark Bookmark = FRows[static_cast<std::size_t>(Row)];
    if (Bookmark != FCachedBookmark) {
        FCachedTexts.clear();
        FCachedBookmark = Bookmark;
        DataSet()->ReadRow(Bookmark, [this] {
            for (const TField* Field : FColumns) {
                FCachedTexts.append(Field->DisplayText());
            }
        });
    }
    return FCachedTexts;
}

QVariant TDBGridModel::data(const QModelIndex& Index, int Role) const {
    if (Role != Qt::DisplayRole || !Index.isValid() || DataSet() == nullptr ||
        Index.row() >= static_cast<int>(FRows.size())) {
        return {};
    }
    return RowTexts(Index.row()).value(Index.column());
}

QVariant TDBGridModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    const TField* Field = Orientation == Qt::Horizontal ? ColumnField(Section) : nullptr;
    if (Field == nullptr) {
        return QAbstractTableModel::headerData(Section, Orientation, Role);
    }
    // Widths are set by the grid itself: a size hint here would also decide the
    // header's height.
    return Role == Qt::DisplayRole ? QVariant(Field->DisplayLabel()) : QVariant();
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int TDBGridModel::RowOf(TBookmark Bookmark, int RecNo) const {
    if (Bookmark == NoBookmark) {
        return -1;
    }
    const auto Row = static_cast<std::size_t>(RecNo - 1);
    if (RecNo > 0 && Row < FRows.size() && FRows[Row] == Bookmark) {
        return RecNo - 1;
    }
    const auto Found = std::find(FRows.begin(), FRows.end(), Bookmark);
    return Found == FRows.end() ? -1 : static_cast<int>(Found - FRows.begin());
}

int TDBGridModel::CurrentRow() const {
    TDataSet* const Set = DataSet();
    if (Set == nullptr || !Set->Active() || Set->IsEmpty() || Set->State() == dsInsert) {
        return -1;
    }
    return RowOf(Set->GetBookmark(), Set->IsSequenced() ? Set->RecNo() : 0);
}

void TDBGridModel::SelectRow(int Row) {
    // Selection changes that the model's own row insertions and removals cause are not user moves.
    if (FInEvent || DataSet() == nullptr || Row < 0 || Row >= static_cast<int>(FRows.size()) || Row == CurrentRow()) {
        return;
    }
    DataSet()->GotoBookmark(FRows[static_cast<std::size_t>(Row)]);
}

void TDBGridModel::DataEvent(TDataEvent Event, const TDataEventInfo& Info) {
    const QScopedValueRollback<bool> Guard(FInEvent, true);
    switch (Event) {
        case deFieldChange:
            return;
        case deRecordChange: {
            FCachedBookmark = NoBookmark;
            const int Row = RowOf(Info.Bookmark, Info.RecNo);
            if (Row >= 0) {
                emit dataChanged(index(Row, 0), index(Row, columnCount() - 1));
            }
            return;
        }
        case deRecordInserted:
            // A new row goes in where the dataset's sequence puts it; without a sequence only a re-read
            // knows.
            if (Info.RecNo > 0 && Info.RecNo <= static_cast<int>(FRows.size()) + 1) {
                beginInsertRows({}, Info.RecNo - 1, Info.RecNo - 1);
                FRows.insert(FRows.begin() + (Info.RecNo - 1), Info.Bookmark);
                endInsertRows();
            } else {
                Refresh();
            }
            return;
        case deRecordDeleted: {
            FCachedBookmark = NoBookmark;
            const int Row = RowOf(Info.Bookmark, Info.RecNo);
            if (Row >= 0) {
                beginRemoveRows({}, Row, Row);
                FRows.erase(FRows.begin() + Row);
                endRemoveRows();
            }
            return;
        }
        case deDataSetScroll:
            emit CurrentRowChanged(CurrentRow());
            return;
        case deDataSetChange:
        case deLayoutChange:
            Refresh();
            emit CurrentRowChanged(CurrentRow());
            return;
    }
}

TDBGrid::TDBGrid(TDataSet& DataSet, QWidget* Parent) : QTableView(Parent), FModel(DataSet) {
    setModel(&FModel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    // The selected row stays highlighted when the grid does not have the focus.
    QPalette Colours = palette();
    Colours.setColor(QPalette::Inactive, QPalette::Highlight, Colours.color(QPalette::Active, QPalette::Highlight));
    Colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     Colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(Colours);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& Current) {
        if (!FSyncing && Current.isValid()) {
            FModel.SelectRow(Current.row());
        }
    });
    connect(&FModel, &TDBGridModel::CurrentRowChanged, this, &TDBGrid::ShowCurrentRow);
    // A reset (new titles, a refilled table) loses the view's selection: the
    // current record is shown again.
    connect(&FModel, &QAbstractItemModel::modelReset, this, [this] {
        ApplyColumns();
        ShowCurrentRow(FModel.CurrentRow());
    });
    ApplyColumns();
    ShowCurrentRow(FModel.CurrentRow());
}

namespace {

// The widest text DateTimeToStr gives in the current locale: every month and
// every weekday (their names differ in length), a two-digit day, an hour
// before and one after noon.
int WidestDateTimeText(const QFontMetrics& Metrics) {
    int Widest = 0;
    for (int Month = 1; Month <= 12; ++Month) {
        for (int Day = 22; Day <= 28; ++Day) {
            for (const int Hour : {10, 22}) {
                const QDateTime Time(QDate(2028, Month, Day), QTime(Hour, 58, 58));
                Widest = std::max(Widest, Metrics.horizontalAdvance(DateTimeToStr(Time)));
            }
        }
    }
    return Widest;
}

}  // namespace

void TDBGrid::ApplyColumns() {
    // What a cell adds to its text: the item view's text margins and the grid line.
    const int CellMargins =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + (showGrid() ? 1 : 0);
    for (int Column = 0; Column < FModel.columnCount(); ++Column) {
        const TField* Field = FModel.ColumnField(Column);
        // The designed width, widened so that neither the title nor a time is cut.
        int Width = Field->DisplayWidth() > 0 ? Field->DisplayWidth() : horizontalHeader()->defaultSectionSize();
        Width = std::max(Width, horizontalHeader()->sectionSizeHint(Column));
        if (Field->DataType() == ftDateTime) {
            Width = std::max(Width, WidestDateTimeText(fontMetrics()) + CellMargins);
        }
        setColumnWidth(Column, Width);
    }
}

void TDBGrid::ShowCurrentRow(int Row) {
    const QScopedValueRollback<bool> Guard(FSyncing, true);
    if (Row < 0) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
        return;
    }
    const QModelIndex Index = FModel.index(Row, 0);
    if (selectionModel()->currentIndex().row() != Row) {
        selectionModel()->setCurrentIndex(Index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    scrollTo(Index);
}

}  // namespace kit
