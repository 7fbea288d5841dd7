#include "kit/db/memory_data.h"

#include <gtest/gtest.h>

#include "kit/db/tests/tables.h"

namespace kit {
namespace {

using testing::AppendText;
using testing::Column0;
using testing::FillNames;

constexpr TBookmark FirstID = -2147483647;

TEST(MemoryDataLayout, RefusesTablesItCannotLayOut) {
    struct Case {
        const char* Name;
        std::vector<TFieldDef> Defs;
        QString Message;
    };
    const std::vector<Case> Cases = {
        {"unknown type", {{"Ok", ftInteger, 0}, {"Odd", ftUnknown, 0}}, "Field 'Odd' is of an unknown type"},
        {"negative size", {{"Bad", ftString, -3}}, "Field 'Bad' is of an unknown type"},
        // 65535 + 1 + 1 bytes: offsets of a 16-bit layout would wrap and fields would overlap.
        {"over 64 KiB", {{"Big", ftString, 65533}, {"Flag", ftBoolean, 0}}, "at field 'Flag'"},
    };
    for (const Case& C : Cases) {
        for (bool Persistent : {false, true}) {
            TMemoryData Table;
            for (const TFieldDef& Def : C.Defs) {
                if (Persistent) {
                    Table.AddField(Def.Name, Def.DataType, Def.Size);
                } else {
                    Table.FieldDefs().append(Def);
                }
            }
            try {
                Table.Open();
                ADD_FAILURE() << C.Name << " opened";
            } catch (const EDatabaseError& Error) {
                EXPECT_TRUE(Error.Message().contains(C.Message)) << C.Name << ": " << Error.what();
            }
            EXPECT_FALSE(Table.Active()) << C.Name;
        }
    }
    TMemoryData Largest;
    Largest.AddField("Big", ftString, 65533);  // exactly 65535 bytes: still fits
    EXPECT_NO_THROW(Largest.Open());
}

TEST(MemoryDataValues, EachTypeReadsBackWhatWasWritten) {
    const QDateTime When(QDate(2026, 12, 8), QTime(19, 30, 5, 250));
    struct Case {
        TFieldType Type;
        int Size;
        QVariant In;
        QVariant Out;
    };
    const std::vector<Case> Cases = {
        {ftString, 5, QString("abc"), QString("abc")},
        {ftString, 5, QString("abcdefg"), QString("abcde")},
        {ftString, 3, QString::fromUtf8("aé€"), QString::fromUtf8("aé")},  // cut at a character boundary
        {ftSmallint, 0, -12, -12},
        {ftWord, 0, 65535, 65535},
        {ftInteger, 0, -2000000000, -2000000000},
        {ftLargeint, 0, Q_INT64_C(1099511627775), Q_INT64_C(1099511627775)},
        {ftBoolean, 0, true, true},
        {ftFloat, 0, 2.5, 2.5},
        {ftDateTime, 0, When, When},
        {ftDate, 0, When.date(), When.date()},
        {ftWideString, 4, QString("wide"), QString("wide")},
        {ftWideString, 4, QString::fromUtf16(u"\u0100b"),
         QString::fromUtf16(u"\u0100b")},  // a first character whose low byte is 0
        {ftWideString, 4, QString::fromUtf16(u"\u4E00"), QString::fromUtf16(u"\u4E00")},
        {ftBytes, 3, QByteArray("\x01\x02", 2), QByteArray("\x01\x02\x00", 3)},
        {ftVarBytes, 4, QByteArray("xy"), QByteArray("xy")},
    };
    for (const Case& C : Cases) {
        TMemoryData Table;
        Table.AddField("F", C.Type, C.Size);
        Table.Open();
        Table.Append();
        Table.Fields(0).SetValue(C.In);
        Table.Post();
        Table.First();
        EXPECT_EQ(Table.Fields(0).Value(), C.Out) << int(C.Type);
    }
}

TEST(MemoryDataValues, NullsEmptyStringsAndBadValues) {
    TMemoryData Table;
    Table.AddField("Text", ftString, 10);
    Table.AddField("Number", ftSmallint);
    Table.Open();
    Table.Append();
    EXPECT_TRUE(Table.Fields(1).IsNull());
    Table.Fields(0).SetAsString("");
    EXPECT_TRUE(Table.Fields(0).IsNull());  // the flag alone does not make an empty string non-null
    Table.Fields(1).SetAsInteger(7);
    EXPECT_THROW(Table.Fields(1).SetAsString("seven"), EDatabaseError);
    EXPECT_THROW(Table.Fields(1).SetAsInteger(40000), EDatabaseError);
    EXPECT_EQ(Table.Fields(1).AsInteger(), 7);  // a failed write changed nothing
    Table.Fields(1).Clear();
    Table.Post();
    EXPECT_TRUE(Table.Fields(1).IsNull());
}

TEST(MemoryDataValues, WritesOutsideTheWriteStatesAndToReadOnlyFieldsFail) {
    TMemoryData Table;
    Table.AddField("Name", ftString, 10);
    Table.AddField("Fixed", ftInteger).SetReadOnly(true);
    Table.Open();
    AppendText(Table, "a");
    try {
        Table.Fields(0).SetAsString("b");
        ADD_FAILURE();
    } catch (const EDatabaseError& Error) {
        EXPECT_EQ(Error.Message(), "Dataset not in edit or insert mode");
    }
    Table.Edit();
    try {
        Table.Fields(1).SetAsInteger(1);
        ADD_FAILURE();
    } catch (const EDatabaseError& Error) {
        EXPECT_EQ(Error.Message(), "Field 'Fixed' cannot be modified");
    }
    Table.Cancel();
    EXPECT_EQ(Table.Fields(0).AsString(), "a");
}

TEST(MemoryDataIDs, FirstIDAfterOpenClearTableAndDeletingTheLastRecord) {
    TMemoryData Table;
    FillNames(Table, {"a", "b"});
    Table.First();
    EXPECT_EQ(Table.GetBookmark(), FirstID);
    Table.Next();
    EXPECT_EQ(Table.GetBookmark(), FirstID + 1);

    Table.ClearTable();
    AppendText(Table, "c");
    EXPECT_EQ(Table.GetBookmark(), FirstID);

    Table.Delete();
    EXPECT_TRUE(Table.IsEmpty());
    AppendText(Table, "d");
    EXPECT_EQ(Table.GetBookmark(), FirstID);  // deleting the last record reset the counter

    Table.Close();
    Table.Open();
    AppendText(Table, "e");
    EXPECT_EQ(Table.GetBookmark(), FirstID);
}

TEST(MemoryDataIDs, BookmarksOrderByCreationAndSurviveMovesInTheList) {
    TMemoryData Table;
    FillNames(Table, {"a", "b", "c"});
    const TBookmark C = Table.GetBookmark();
    Table.First();
    Table.Insert();
    Table.Fields(0).SetAsString("first");
    Table.Post();
    const TBookmark Inserted = Table.GetBookmark();
    EXPECT_EQ(Table.RecNo(), 1);
    EXPECT_EQ(Table.CompareBookmarks(Inserted, C), 1);  // created later, though placed first
    EXPECT_EQ(Table.CompareBookmarks(NoBookmark, C), -1);
    EXPECT_EQ(Table.CompareBookmarks(C, NoBookmark), 1);
    EXPECT_EQ(Table.CompareBookmarks(NoBookmark, NoBookmark), 0);

    Table.GotoBookmark(C);
    EXPECT_EQ(Table.Fields(0).AsString(), "c");
    EXPECT_EQ(Table.RecNo(), 4);
    Table.First();
    Table.Next();
    Table.Delete();  // "a"
    EXPECT_FALSE(Table.BookmarkValid(NoBookmark));
    Table.GotoBookmark(C);
    EXPECT_EQ(Table.RecNo(), 3);
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"first", "b", "c"}));
}

TEST(MemoryDataCursor, AppendInsertAndDeletePositions) {
    TMemoryData Empty;
    Empty.AddField("Name", ftString, 10);
    Empty.Open();
    Empty.Insert();
    Empty.Fields(0).SetAsString("only");
    Empty.Post();
    EXPECT_EQ(Empty.RecNo(), 1);  // inserting into an empty table puts the record at 0

    TMemoryData Table;
    FillNames(Table, {"a", "b", "c"});
    Table.First();
    Table.Next();
    AppendText(Table, "d");  // with the cursor in the middle
    EXPECT_EQ(Table.Fields(0).AsString(), "d");
    EXPECT_EQ(Table.RecNo(), 4);
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"a", "b", "c", "d"}));

    Table.Last();
    Table.Delete();  // the last record in table order: the cursor moves to the new last
    EXPECT_EQ(Table.Fields(0).AsString(), "c");
    EXPECT_EQ(Table.RecNo(), 3);
    EXPECT_EQ(Table.RecordCount(), 3);

    Table.SetRecNo(2);
    EXPECT_EQ(Table.Fields(0).AsString(), "b");
    Table.SetRecNo(9);  // outside 1 ... count: nothing
    EXPECT_EQ(Table.RecNo(), 2);
    EXPECT_EQ(Table.MoveBy(5), 1);
    EXPECT_TRUE(Table.Eof());
    EXPECT_EQ(Table.MoveBy(-5), -2);
    EXPECT_TRUE(Table.Bof());
}

TEST(MemoryDataCursor, EditCancelAndEmptyDataset) {
    TMemoryData Table;
    FillNames(Table, {"a", "b"});
    Table.First();
    Table.Edit();
    Table.Fields(0).SetAsString("x");
    Table.Cancel();
    EXPECT_EQ(Table.Fields(0).AsString(), "a");
    Table.Edit();
    Table.Fields(0).SetAsString("y");
    Table.Next();  // leaving the record posts the change
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"y", "b"}));

    Table.Append();
    Table.Cancel();  // back to the record that was current
    EXPECT_EQ(Table.Fields(0).AsString(), "b");
    EXPECT_EQ(Table.RecordCount(), 2);

    Table.ClearTable();
    EXPECT_THROW(Table.Delete(), EDatabaseError);
    EXPECT_EQ(Table.RecNo(), 0);
}

TEST(MemoryDataFilter, FilterThatRejectsEverything) {
    TMemoryData Table;
    FillNames(Table, {"a", "b", "c"});
    Table.SetFiltered(true);  // filtering without a handler accepts everything
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"a", "b", "c"}));
    Table.SetOnFilterRecord([](TDataSet&, bool& Accept) { Accept = false; });
    EXPECT_TRUE(Table.IsEmpty());
    EXPECT_EQ(Table.RecordCount(), 3);  // counts filtered-out records too
    Table.First();                      // moving next finds nothing: the end, with the cursor on the last record
    EXPECT_TRUE(Table.Eof());
    EXPECT_EQ(Table.RecNo(), 3);
    Table.Last();  // moving prior finds nothing: the beginning, with the cursor before the first record
    EXPECT_TRUE(Table.Bof());
    EXPECT_EQ(Table.RecNo(), 1);  // before the first record of a non-empty table
    EXPECT_EQ(Table.MoveBy(1), 0);
    Table.SetFiltered(false);
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"a", "b", "c"}));
}

TEST(MemoryDataFilter, FilterSkipsRecordsAndDeletingFallsBackToAnAcceptedOne) {
    TMemoryData Table;
    FillNames(Table, {"keep1", "drop", "keep2", "drop"});
    Table.SetOnFilterRecord(
        [](TDataSet& DataSet, bool& Accept) { Accept = DataSet.Fields(0).AsString().startsWith("keep"); });
    Table.SetFiltered(true);
    EXPECT_EQ(Column0(Table), (std::vector<QString>{"keep1", "keep2"}));
    EXPECT_FALSE(Table.IsSequenced());
    Table.Last();
    Table.Delete();  // "keep2": the next record is rejected, so back to "keep1"
    EXPECT_EQ(Table.Fields(0).AsString(), "keep1");
    Table.Delete();
    EXPECT_TRUE(Table.IsEmpty());
    EXPECT_EQ(Table.RecordCount(), 2);  // the rejected records are still there
}

TEST(MemoryDataFilter, CalculatedFieldsAreNullInsideTheFilterAndHandlerErrorsAreReported) {
    TMemoryData Table;
    testing::AddCardFields(Table);
    Table.Open();
    Table.Append();
    Table.FieldByName("CardCode").SetAsString("255");
    Table.Post();
    EXPECT_EQ(Table.FieldByName("CardCode40Hex").AsString(), "FF");

    std::vector<QString> Reported;
    SetApplicationExceptionHandler([&](const std::exception& Error) { Reported.push_back(Error.what()); });
    bool SawNull = false;
    Table.SetOnFilterRecord([&](TDataSet& DataSet, bool& Accept) {
        SawNull = DataSet.FieldByName("CardCode40Hex").IsNull() && !DataSet.FieldByName("CardCode").IsNull();
        Accept = true;
        throw EDatabaseError("filter failed");
    });
    Table.SetFiltered(true);
    SetApplicationExceptionHandler(nullptr);
    EXPECT_TRUE(SawNull);
    EXPECT_FALSE(Reported.empty());
    EXPECT_EQ(Reported.front(), "filter failed");
    EXPECT_EQ(Table.FieldByName("CardCode").AsString(), "255");  // accepted: the flag's last value
}

TEST(MemoryDataClear, ClearTableKeepsTheTableOpenAndFiresNoScrollOrDeleteEvents) {
    TMemoryData Closed;
    Closed.AddField("Id", ftAutoInc);
    Closed.ClearTable();  // closed: nothing
    EXPECT_FALSE(Closed.Active());

    TMemoryData Table;
    Table.AddField("Id", ftAutoInc);
    Table.AddField("Name", ftString, 10);
    Table.Open();
    for (int Row = 0; Row < 3; ++Row) {
        Table.Append();
        Table.FieldByName("Name").SetAsString("n");
        Table.Post();
    }
    int Events = 0;
    Table.BeforeScroll = Table.AfterScroll = Table.BeforeDelete = Table.AfterDelete = [&](TDataSet&) { ++Events; };
    Table.ClearTable();
    EXPECT_EQ(Events, 0);
    EXPECT_TRUE(Table.Active());
    EXPECT_TRUE(Table.IsEmpty());
    EXPECT_EQ(Table.RecordCount(), 0);
    Table.BeforeScroll = Table.AfterScroll = nullptr;
    Table.Append();
    Table.FieldByName("Name").SetAsString("n");
    Table.Post();
    EXPECT_EQ(Table.FieldByName("Id").AsInteger(), 4);  // the auto-increment counter was not reset
    Table.Close();
    Table.Open();
    Table.Append();
    Table.FieldByName("Name").SetAsString("n");
    Table.Post();
    EXPECT_EQ(Table.FieldByName("Id").AsInteger(), 1);  // closing resets it
}

TEST(MemoryDataClear, ClearTablePostsAModifiedPendingRecord) {
    TMemoryData Table;
    FillNames(Table, {});
    int Posts = 0;
    Table.AfterPost = [&](TDataSet&) { ++Posts; };
    Table.Append();
    Table.Fields(0).SetAsString("pending");
    Table.ClearTable();
    EXPECT_EQ(Posts, 1);
    EXPECT_TRUE(Table.IsEmpty());
}

TEST(MemoryDataEvents, OpenScrollAndPostEventsFireInOrder) {
    TMemoryData Table;
    Table.AddField("Name", ftString, 10);
    std::vector<std::string> Log;
    const auto Record = [&Log](const char* Name) { return [&Log, Name](TDataSet&) { Log.emplace_back(Name); }; };
    Table.BeforeOpen = Record("BeforeOpen");
    Table.AfterOpen = Record("AfterOpen");
    Table.BeforeInsert = Record("BeforeInsert");
    Table.OnNewRecord = Record("OnNewRecord");
    Table.AfterInsert = Record("AfterInsert");
    Table.BeforePost = Record("BeforePost");
    Table.AfterPost = Record("AfterPost");
    Table.AfterScroll = Record("AfterScroll");
    Table.Open();
    AppendText(Table, "a");
    EXPECT_EQ(Log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert",
                                             "AfterScroll", "BeforePost", "AfterPost"}));

    Log.clear();
    Table.BeforeClose = Record("BeforeClose");
    Table.Close();
    EXPECT_EQ(Log, (std::vector<std::string>{"BeforeClose"}));

    // Destroying an open table closes it silently: the handlers' owners may be gone already.
    auto Owned = std::make_unique<TMemoryData>();
    Owned->AddField("Name", ftString, 10);
    Owned->Open();
    bool Closed = false;
    Owned->BeforeClose = Owned->AfterClose = [&Closed](TDataSet&) { Closed = true; };
    Owned.reset();
    EXPECT_FALSE(Closed);
}

TEST(MemoryDataEvents, EditErrorHandlerDecidesBetweenRetryAndFailure) {
    TMemoryData Table;
    FillNames(Table, {"a"});
    bool Accept = true;
    Table.SetOnFilterRecord([&](TDataSet&, bool& Accepted) { Accepted = Accept; });
    Table.SetFiltered(true);
    ASSERT_EQ(Table.Fields(0).AsString(), "a");
    for (const TDataAction Action : {daFail, daAbort, daRetry}) {
        Accept = false;  // the current record no longer passes the filter: it cannot be edited
        int Calls = 0;
        Table.OnEditError = [&](TDataSet&, const EDatabaseError& Error, TDataAction& Chosen) {
            EXPECT_EQ(Error.Message(), "No data found");
            ++Calls;
            Chosen = Action;
            Accept = Action == daRetry;
        };
        if (Action == daRetry) {
            Table.Edit();
            EXPECT_EQ(Table.State(), dsEdit);
            Table.Cancel();
        } else {
            EXPECT_THROW(Table.Edit(), EDatabaseError) << int(Action);
            EXPECT_EQ(Table.State(), dsBrowse);
        }
        EXPECT_EQ(Calls, 1);
    }
}

}  // namespace
}  // namespace kit
