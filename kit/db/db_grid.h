#pragma once

// The data-aware grid: TDBGridModel is a data link that shows a dataset's rows to Qt's item views
// (one column per visible field, titles and widths from the fields, calculated fields computed as a
// row is read); TDBGrid is the read-only, whole-row QTableView on it whose current row follows the
// dataset's current record (also through a re-read of the model) and moves it when the user picks a
// row. A column is as wide as its field's display width, and wider where its title or, for a
// date-time field, the widest date-time text of the current locale needs more.
//
// Use (main window):
//
//     auto* Grid = new kit::TDBGrid(ReadersMemoryData, this);    // DBGrid1
//     ReadersMemoryData.FieldByName("SerialNumber").SetDisplayLabel("Serial number");
//     ReadersMemoryData.FieldByName("COM").SetVisible(false);
//     ReadersMemoryData.FieldByName("DeviceDescription").SetDisplayWidth(155);
//
// Field labels, widths and visibility are read when the dataset opens (or on Model().Refresh()).

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <vector>

#include "kit/db/data_set.h"

namespace kit {

class TDBGridModel : public QAbstractTableModel, public TDataLink {
    Q_OBJECT

public:
    explicit TDBGridModel(TDataSet& DataSet, QObject* Parent = nullptr);

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

    TField* ColumnField(int Column) const { return FColumns.value(Column); }
    // The row of the dataset's current record, -1 when there is none.
    int CurrentRow() const;
    // Makes the row's record the dataset's current record (one scroll); nothing when it already is.
    void SelectRow(int Row);
    // Re-reads columns and rows.
    void Refresh();

signals:
    void CurrentRowChanged(int Row);

protected:
    void DataEvent(TDataEvent Event, const TDataEventInfo& Info) override;

private:
    int RowOf(TBookmark Bookmark, int RecNo) const;
    const QStringList& RowTexts(int Row) const;

    QList<TField*> FColumns;
    std::vector<TBookmark> FRows;
    bool FInEvent = false;
    mutable TBookmark FCachedBookmark = NoBookmark;
    mutable QStringList FCachedTexts;
};

class TDBGrid : public QTableView {
    Q_OBJECT

public:
    explicit TDBGrid(TDataSet& DataSet, QWidget* Parent = nullptr);

    TDBGridModel& Model() { return FModel; }

private:
    void ApplyColumns();
    void ShowCurrentRow(int Row);

    TDBGridModel FModel;
    bool FSyncing = false;
};

}  // namespace kit
