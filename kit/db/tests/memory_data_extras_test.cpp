// Blob streams, the key search, record ordering and variant fields of the in-memory table.

#include <gtest/gtest.h>

#include <cstring>

#include "kit/db/db_utils.h"
#include "kit/db/field.h"
#include "kit/db/mem_blob_stream.h"
#include "kit/db/memory_data.h"
#include "kit/db/tests/tables.h"

namespace kit {
namespace {

using testing::Column0;
using testing::FillNames;

class BlobTable : public ::testing::Test {
protected:
    void SetUp() override {
        Table.AddField("Name", ftString, 10);
        Table.AddField("Data", ftBlob);
        Table.Open();
        Table.Append();
        Table.Fields(0).SetAsString("r");
        Table.Fields(1).SetValue(QByteArray("stored"));
        Table.Post();
    }

    static QByteArray ReadAll(TBlobStream& Stream) {
        QByteArray Bytes(64, '\0');
        Bytes.resize(Stream.Read(Bytes.data(), Bytes.size()));
        return Bytes;
    }

    TMemoryData Table;
};

TEST_F(BlobTable, ReadingInBrowseStateGivesTheStoredBlob) {
    TMemBlobStream Stream(Table.Fields(1), bmRead);
    EXPECT_EQ(Stream.Size(), 6);
    EXPECT_EQ(ReadAll(Stream), "stored");
    EXPECT_EQ(Stream.Seek(10, soBeginning), 10);  // past the end: allowed, reads nothing
    char Byte = 0;
    EXPECT_EQ(Stream.Read(&Byte, 1), 0);
    EXPECT_EQ(Stream.Write("x", 1), 0);  // read mode never writes
}

TEST_F(BlobTable, WritingNeedsEditOrInsertAndARealPosition) {
    EXPECT_THROW(TMemBlobStream(Table.Fields(1), bmReadWrite), EDatabaseError);
    Table.Edit();
    {
        TMemBlobStream Stream(Table.Fields(1), bmReadWrite);
        EXPECT_EQ(ReadAll(Stream), "stored");  // read-write keeps the blob
        EXPECT_THROW(Stream.Seek(-1, soBeginning), EDatabaseError);
        EXPECT_THROW(Stream.Seek(-7, soEnd), EDatabaseError);
        EXPECT_EQ(Stream.Position(), 6);
        Stream.Seek(2, soEnd);
        EXPECT_EQ(Stream.Write("!", 1), 1);  // leaves a gap of two bytes, filled with zeros
        EXPECT_EQ(Stream.Size(), 9);
    }
    EXPECT_TRUE(Table.Fields(1).Modified());
    Table.Post();
    EXPECT_EQ(Table.Fields(1).Value().toByteArray(), QByteArray("stored\0\0!", 9));

    Table.Edit();
    {
        TMemBlobStream Stream(Table.Fields(1), bmWrite);  // write mode empties the blob at once
        EXPECT_EQ(Stream.Size(), 0);
    }
    Table.Cancel();
    EXPECT_EQ(Table.Fields(1).Value().toByteArray().size(), 9);  // abandoned: the stored blob is back
}

TEST_F(BlobTable, ReadOnlyBlobRefusesWriting) {
    TMemoryData ReadOnly;
    ReadOnly.AddField("Data", ftMemo).SetReadOnly(true);
    ReadOnly.Open();
    ReadOnly.Append();
    try {
        TMemBlobStream Stream(ReadOnly.Fields(0), bmWrite);
        ADD_FAILURE();
    } catch (const EDatabaseError& Error) {
        EXPECT_EQ(Error.Message(), "Field 'Data' cannot be modified");
    }
}

// Grids read rows away from the cursor: OnCalcFields and OnFilterRecord must see the blob of the
// record they are called for.
TEST(BlobEvents, CalculatingAndFilteringReadTheBlobOfTheirOwnRecord) {
    TMemoryData Table;
    Table.AddField("Data", ftBlob);
    Table.AddField("Size", ftInteger, 0, fkCalculated);
    Table.OnCalcFields = [](TDataSet& DataSet) {
        DataSet.FieldByName("Size").SetAsInteger(static_cast<int>(DataSet.Fields(0).Value().toByteArray().size()));
    };
    Table.Open();
    for (const char* Blob : {"a", "bbb", "cc"}) {
        Table.Append();
        Table.Fields(0).SetValue(QByteArray(Blob));
        Table.Post();
    }
    Table.First();
    std::vector<int> Sizes;
    for (const TBookmark Row : Table.RowBookmarks()) {
        Table.ReadRow(Row, [&] { Sizes.push_back(Table.FieldByName("Size").AsInteger()); });
    }
    EXPECT_EQ(Sizes, (std::vector<int>{1, 3, 2}));
    Table.SetOnFilterRecord(
        [](TDataSet& DataSet, bool& Accept) { Accept = DataSet.Fields(0).Value().toByteArray() != "bbb"; });
    Table.SetFiltered(true);
    EXPECT_EQ(Table.RowBookmarks().size(), 2u);
}

TEST(MemoryDataVariant, VariantStringSurvivesAppendEditAndClearTable) {
    TMemoryData Table;
    Table.AddField("Value", ftVariant);
    Table.AddField("Name", ftString, 10);
    Table.Open();
    const QString Long = QString("a long enough text to live on the heap ").repeated(4);
    for (int Row = 0; Row < 3; ++Row) {
        Table.Append();
        Table.Fields(0).SetValue(Long + QString::number(Row));
        Table.Post();
    }
    Table.First();
    Table.Edit();
    Table.Fields(0).SetValue(QVariantList{1, QString("two")});
    Table.Post();
    Table.Next();
    Table.Edit();
    Table.Fields(0).Clear();
    Table.Post();
    Table.Next();
    Table.Edit();
    Table.Fields(0).SetValue(QString("replaced"));
    Table.Cancel();

    std::vector<QVariant> Values;
    for (Table.First(); !Table.Eof(); Table.Next()) {
        Values.push_back(Table.Fields(0).Value());
    }
    ASSERT_EQ(Values.size(), 3U);
    EXPECT_EQ(Values[0], QVariant(QVariantList{1, QString("two")}));
    EXPECT_FALSE(Values[1].isValid());
    EXPECT_EQ(Values[2], QVariant(Long + "2"));
    Table.ClearTable();
    Table.Append();
    Table.Fields(0).SetValue(Long);
    Table.Post();
    Table.Close();  // AddressSanitizer checks that nothing was freed twice or leaked
}

TEST(MemoryDataFindByKey, MatchesAndMisses) {
    struct Case {
        const char* Name;
        QString Fields;
        QVariant Values;
        TLocateOptions Options;
        bool Found;
        QString Current;  // Name of the current row afterwards
    };
    const std::vector<Case> Cases = {
        {"exact", "Name", "Beta", {}, true, "Beta"},
        {"case differs", "Name", "beta", {}, false, "Gamma"},
        {"ignore case", "Name", "beta", {true, false}, true, "Beta"},
        {"prefix without partial", "Name", "Al", {}, false, "Gamma"},
        {"prefix with partial", "Name", "Al", {false, true}, true, "Alpha"},
        {"key longer than text", "Name", "Alphabet", {false, true}, false, "Gamma"},
        {"already current", "Name", "Gamma", {}, true, "Gamma"},
        {"integer field", "Number", 2, {}, true, "Beta"},
        {"two fields", "Name;Number", QVariantList{"Alpha", 1}, {}, true, "Alpha"},
        {"two fields, second differs", "Name;Number", QVariantList{"Alpha", 2}, {}, false, "Gamma"},
    };
    for (const Case& C : Cases) {
        TMemoryData Table;
        Table.AddField("Name", ftString, 10);
        Table.AddField("Number", ftInteger);
        Table.Open();
        int Number = 0;
        for (const char* Name : {"Alpha", "Beta", "Gamma"}) {
            Table.Append();
            Table.Fields(0).SetAsString(Name);
            Table.Fields(1).SetAsInteger(++Number);
            Table.Post();
        }
        int Scrolls = 0;
        Table.AfterScroll = [&](TDataSet&) { ++Scrolls; };
        EXPECT_EQ(Table.FindByKey(C.Fields, C.Values, C.Options), C.Found) << C.Name;
        EXPECT_EQ(Table.Fields(0).AsString(), C.Current) << C.Name;
        if (C.Found) {
            EXPECT_GE(Scrolls, 1) << C.Name;
        }
    }
}

TEST(MemoryDataFindByKey, BadKeysRaiseTheDatabaseError) {
    TMemoryData Table;
    Table.AddField("Name", ftString, 10);
    Table.AddField("Number", ftInteger);
    Table.Open();
    EXPECT_FALSE(Table.FindByKey("Name", "x"));  // empty: false at once
    testing::AppendText(Table, "a");
    EXPECT_THROW(Table.FindByKey("Name;Number", QVariantList{"a"}), EDatabaseError);  // too few values
    EXPECT_THROW(Table.FindByKey("Name;Number", "a"), EDatabaseError);
    EXPECT_THROW(Table.FindByKey("Missing", "a"), EDatabaseError);
    EXPECT_EQ(Table.Fields(0).AsString(), "a");
}

// Exposes the ordering state, which nothing in the table sets.
class OrderedTable : public TMemoryData {
public:
    void OrderBy(const QString& Names, bool CaseInsensitive, bool Descending) {
        FIndexFields = GetFieldList(Names);
        FCaseInsensitive = CaseInsensitive;
        FDescending = Descending;
    }
    int Compare(int A, int B) const { return CompareRecordValues(Records(A), Records(B)); }
};

TEST(MemoryDataOrder, CompareRecordValuesUsesIndexFieldsThenCreationOrder) {
    OrderedTable Table;
    Table.AddField("Name", ftString, 10);
    Table.AddField("Number", ftInteger);
    Table.Open();
    for (const auto& [Name, Number] :
         std::vector<std::pair<QVariant, QVariant>>{{"b", 1}, {"B", QVariant()}, {"a", 1}}) {
        Table.Append();
        Table.Fields(0).SetValue(Name);
        Table.Fields(1).SetValue(Number);
        Table.Post();
    }
    EXPECT_EQ(Table.Compare(0, 2), -1);  // no index fields: by record ID
    EXPECT_EQ(Table.Compare(2, 0), 1);
    Table.OrderBy("Number", false, false);
    EXPECT_EQ(Table.Compare(1, 0), -1);  // a null value is smaller
    EXPECT_EQ(Table.Compare(0, 2), -1);  // equal values: by record ID
    Table.OrderBy("Number", false, true);
    EXPECT_EQ(Table.Compare(0, 2), 1);  // descending inverts the ID order too
    Table.OrderBy("Name", true, false);
    EXPECT_EQ(Table.Compare(2, 0), -1);
    EXPECT_EQ(Table.Compare(0, 1), -1);  // "b" and "B" equal ignoring case, then by ID
}

TEST(MemoryDataOrder, CompareFieldValuesPerType) {
    const auto Bytes = [](auto Value) {
        std::vector<std::byte> Result(sizeof Value);
        std::memcpy(Result.data(), &Value, sizeof Value);
        return Result;
    };
    const auto Text = [](const char* Value) {
        std::vector<std::byte> Result(11, std::byte{0});
        std::memcpy(Result.data(), Value, std::strlen(Value));
        return Result;
    };
    struct Case {
        const char* Name;
        TFieldType Type;
        std::vector<std::byte> A, B;
        bool IgnoreCase;
        int Expected;
    };
    const std::vector<Case> Cases = {
        {"smallint signed", ftSmallint, Bytes(std::int16_t{-1}), Bytes(std::int16_t{1}), false, -1},
        {"word unsigned", ftWord, Bytes(std::uint16_t{65535}), Bytes(std::uint16_t{1}), false, 1},
        {"integer", ftInteger, Bytes(std::int32_t{5}), Bytes(std::int32_t{5}), false, 0},
        {"boolean any non-zero is true", ftBoolean, Bytes(std::int16_t{2}), Bytes(std::int16_t{1}), false, 0},
        {"boolean false < true", ftBoolean, Bytes(std::int16_t{0}), Bytes(std::int16_t{7}), false, -1},
        {"float", ftFloat, Bytes(1.5), Bytes(-2.0), false, 1},
        {"largeint", ftLargeint, Bytes(std::int64_t{-5}), Bytes(std::int64_t{4}), false, -1},
        {"string", ftString, Text("abc"), Text("abd"), false, -1},
        {"string ignoring case", ftString, Text("ABC"), Text("abc"), true, 0},
        {"variant always equal", ftVariant, std::vector<std::byte>(16), std::vector<std::byte>(16), false, 0},
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(CompareFieldValues(C.A.data(), C.B.data(), C.Type, 10, C.IgnoreCase), C.Expected) << C.Name;
    }
    EXPECT_NE(CompareFieldValues(Text("ABC").data(), Text("abc").data(), ftString, 10, false), 0);
}

TEST(DateTimeText, IsTheShortDateAndTheLongTimeWithoutATimeZone) {
    QLocale::setDefault(QLocale::c());
    const QDate Day(2026, 12, 8);
    const QString Date = QLocale::c().toString(Day, QLocale::ShortFormat);
    EXPECT_EQ(DateTimeToStr(QDateTime(Day, QTime(19, 58, 57))), Date + " 19:58:57");
    EXPECT_EQ(DateTimeToStr(QDateTime(Day, QTime(0, 0))), Date);
    // A change of locale is followed at once.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DateTimeToStr(QDateTime(Day, QTime(19, 58, 57))), "08.12.26 19:58:57");
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace kit
