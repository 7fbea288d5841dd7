#include "kit/db/db_grid.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLocale>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>

#include "kit/db/tests/tables.h"

namespace kit {
namespace {

class ReaderGrid : public ::testing::Test {
protected:
    void SetUp() override {
        testing::AddReaderFields(Readers);
        Readers.FieldByName("SerialNumber").SetDisplayLabel("Serial number");
        for (const auto& [Name, Width] :
             {std::pair{"Device", 100}, {"SerialNumber", 140}, {"DeviceDescription", 155}, {"Info", 200}}) {
            Readers.FieldByName(Name).SetDisplayWidth(Width);
        }
        Readers.Open();
    }

    void AddReader(const QString& Device) {
        Readers.Append();
        Readers.FieldByName("Device").SetAsString(Device);
        Readers.FieldByName("COM").SetAsString("HID 1");
        Readers.Post();
    }

    TMemoryData Readers;
};

TEST_F(ReaderGrid, ShowsVisibleFieldsWithTheirTitlesAndWidths) {
    TDBGrid Grid(Readers);
    TDBGridModel& Model = Grid.Model();
    ASSERT_EQ(Model.columnCount(), 4);  // COM is hidden
    QStringList Titles;
    for (int Column = 0; Column < Model.columnCount(); ++Column) {
        Titles << Model.headerData(Column, Qt::Horizontal).toString();
    }
    EXPECT_EQ(Titles, (QStringList{"Device", "Serial number", "DeviceDescription", "Info"}));
    EXPECT_EQ(Grid.columnWidth(2), 155);
    // The titles are on screen: the header row keeps the height of its text.
    EXPECT_GE(Grid.horizontalHeader()->sizeHint().height(), Grid.fontMetrics().height());
    AddReader("Device 1");
    EXPECT_EQ(Model.data(Model.index(0, 0)).toString(), "Device 1");
    EXPECT_FALSE(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(Grid.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(ReaderGrid, CurrentRowFollowsAppendsAndDatasetMoves) {
    TDBGrid Grid(Readers);
    for (int Row = 0; Row < 3; ++Row) {
        AddReader(QString("Device %1").arg(Row + 1));
        EXPECT_EQ(Grid.currentIndex().row(), Row);
    }
    Readers.First();
    EXPECT_EQ(Grid.currentIndex().row(), 0);
    Readers.Next();
    EXPECT_EQ(Grid.currentIndex().row(), 1);
    EXPECT_TRUE(Grid.selectionModel()->isRowSelected(1, {}));
}

TEST_F(ReaderGrid, ClickingARowScrollsTheDatasetOnce) {
    TDBGrid Grid(Readers);
    Grid.resize(600, 300);
    Grid.show();
    for (int Row = 0; Row < 3; ++Row) {
        AddReader(QString("Device %1").arg(Row + 1));
    }
    int Scrolls = 0;
    Readers.AfterScroll = [&](TDataSet&) { ++Scrolls; };
    const auto Click = [&](int Row) {
        const QRect Cell = Grid.visualRect(Grid.Model().index(Row, 1));
        QTest::mouseClick(Grid.viewport(), Qt::LeftButton, {}, Cell.center());
    };
    Click(1);
    EXPECT_EQ(Scrolls, 1);
    EXPECT_EQ(Readers.FieldByName("Device").AsString(), "Device 2");
    EXPECT_EQ(Grid.currentIndex().row(), 1);
    Click(1);  // the same row again: no move
    EXPECT_EQ(Scrolls, 1);
    Click(0);
    EXPECT_EQ(Scrolls, 2);
    EXPECT_EQ(Readers.RecNo(), 1);
}

TEST_F(ReaderGrid, ControlsDisabledDuringAKeySearchGiveOneSummaryToTheGrid) {
    TDBGrid Grid(Readers);
    for (const char* Device : {"Device 1", "Device 2", "Device 3"}) {
        AddReader(Device);
    }
    QSignalSpy Reset(&Grid.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy Moves(&Grid.Model(), &TDBGridModel::CurrentRowChanged);
    EXPECT_TRUE(Readers.FindByKey("Device", "Device 1"));
    EXPECT_EQ(Grid.currentIndex().row(), 0);
    EXPECT_EQ(Reset.count(), 1);  // the search's change event; the walk itself was summarised as a move
    EXPECT_EQ(Moves.count(), 2);

    Readers.DisableControls();
    Readers.Next();
    Readers.Next();
    EXPECT_EQ(Grid.currentIndex().row(), 0);  // nothing reaches the grid while disabled
    Readers.EnableControls();
    EXPECT_EQ(Grid.currentIndex().row(), 2);
    EXPECT_EQ(Reset.count(), 1);  // moves alone are summarised as a move
}

TEST_F(ReaderGrid, ARereadModelKeepsTheCurrentRowSelectedAndInView) {
    TDBGrid Grid(Readers);
    Grid.resize(400, 120);
    Grid.show();
    for (int Row = 0; Row < 40; ++Row) {
        AddReader(QString("Device %1").arg(Row + 1));
    }
    Readers.SetRecNo(30);
    Grid.scrollToTop();
    Grid.Model().Refresh();  // as new titles are shown
    EXPECT_EQ(Grid.currentIndex().row(), 29);
    EXPECT_TRUE(Grid.selectionModel()->isRowSelected(29, {}));
    EXPECT_TRUE(Grid.viewport()->rect().contains(Grid.visualRect(Grid.Model().index(29, 0))));
}

TEST_F(ReaderGrid, ColumnsAreWideEnoughForTheirTitles) {
    Readers.FieldByName("Device").SetDisplayLabel("Vollständige Gerätebezeichnung des Kartenlesers");
    TDBGrid Grid(Readers);
    Grid.Model().Refresh();
    const QHeaderView& Header = *Grid.horizontalHeader();
    for (int Column = 0; Column < Grid.Model().columnCount(); ++Column) {
        EXPECT_GE(Header.sectionSize(Column), Header.sectionSizeHint(Column)) << Column;
    }
    EXPECT_EQ(Grid.columnWidth(3), 200);  // a width that fits its title is kept
}

TEST(CardGrid, TheTimeColumnFitsEveryTimeTextOfTheLocale) {
    TMemoryData Events;
    testing::AddCardFields(Events);
    Events.FieldByName("DateTime").SetDisplayWidth(128);
    Events.Open();
    TDBGrid Grid(Events);
    Events.Append();
    Events.Post();
    QStyleOptionViewItem Option;
    Option.initFrom(&Grid);
    Option.font = Grid.font();
    Option.widget = &Grid;
    for (const QLocale& Locale :
         {QLocale::c(), QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(Locale);
        Grid.Model().Refresh();
        const int Room = Grid.columnWidth(0) - (Grid.showGrid() ? 1 : 0);
        // Every day of a leap year, before and after noon.
        for (QDate Day(2028, 1, 1); Day.year() == 2028; Day = Day.addDays(1)) {
            for (const int Hour : {11, 23}) {
                Events.Edit();
                Events.FieldByName("DateTime").SetAsDateTime(QDateTime(Day, QTime(Hour, 58, 58)));
                Events.Post();
                const QModelIndex Cell = Grid.Model().index(0, 0);
                ASSERT_LE(Grid.itemDelegate()->sizeHint(Option, Cell).width(), Room)
                    << Locale.name().toStdString() << " " << Grid.Model().data(Cell).toString().toStdString();
            }
        }
    }
    QLocale::setDefault(QLocale::system());
}

TEST(CardGrid, ThousandAppendsAreThousandRowInsertionsAndCalculatedColumnIsFilled) {
    TMemoryData Events;
    testing::AddCardFields(Events);
    Events.Open();
    TDBGridModel Model(Events);
    QSignalSpy Inserted(&Model, &QAbstractItemModel::rowsInserted);
    QSignalSpy Reset(&Model, &QAbstractItemModel::modelReset);
    for (int Row = 0; Row < 1000; ++Row) {
        Events.Append();
        Events.FieldByName("DateTime").SetAsDateTime(QDateTime::currentDateTime());
        Events.FieldByName("CardCode").SetAsString(QString::number(4096 + Row));
        Events.Post();
    }
    EXPECT_EQ(Inserted.count(), 1000);
    EXPECT_EQ(Reset.count(), 0);
    EXPECT_EQ(Model.rowCount(), 1000);
    EXPECT_EQ(Model.CurrentRow(), 999);
    EXPECT_EQ(Model.data(Model.index(1, 4)).toString(), "1001");
    EXPECT_EQ(Model.data(Model.index(999, 1)).toString(), "5095");

    Events.First();
    Events.Edit();
    Events.FieldByName("CardCode").SetAsString("255");
    Events.Post();
    EXPECT_EQ(Model.data(Model.index(0, 4)).toString(), "FF");  // rewritten row, recalculated

    QSignalSpy Removed(&Model, &QAbstractItemModel::rowsRemoved);
    Events.Delete();
    EXPECT_EQ(Removed.count(), 1);
    EXPECT_EQ(Model.data(Model.index(0, 1)).toString(), "4097");

    Events.ClearTable();
    EXPECT_EQ(Reset.count(), 1);
    EXPECT_EQ(Model.rowCount(), 0);
    EXPECT_EQ(Model.CurrentRow(), -1);
}

TEST(CardGrid, FilteredDatasetShowsAcceptedRowsAndADestroyedDatasetLeavesAnEmptyModel) {
    auto Table = std::make_unique<TMemoryData>();
    testing::FillNames(*Table, {"keep", "drop", "keep too"});
    TDBGridModel Model(*Table);
    Table->SetOnFilterRecord([](TDataSet& DataSet, bool& Accept) { Accept = DataSet.Fields(0).AsString() != "drop"; });
    Table->SetFiltered(true);
    ASSERT_EQ(Model.rowCount(), 2);
    EXPECT_EQ(Model.data(Model.index(1, 0)).toString(), "keep too");
    testing::AppendText(*Table, "new");
    EXPECT_EQ(Model.rowCount(), 3);
    EXPECT_EQ(Model.CurrentRow(), 2);
    Table.reset();
    EXPECT_EQ(Model.rowCount(), 0);
    EXPECT_EQ(Model.DataSet(), nullptr);
}

}  // namespace
}  // namespace kit
