#include "kit/icon_list.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QMimeData>
#include <QtEndian>

#include "kit/exception.h"
#include "kit/tests/anim_test_support.h"

namespace kit {
namespace {

using testing::IconFileBytes;

QByteArray Int32(qint32 Value) {
    char Bytes[4];
    qToLittleEndian(Value, Bytes);
    return QByteArray(Bytes, 4);
}

class IconListTest : public ::testing::Test {
protected:
    void SetUp() override {
        Red.LoadFromBytes(IconFileBytes(Qt::red));
        Blue.LoadFromBytes(IconFileBytes(Qt::blue));
        List.OnChange = [this](TIconList* Sender) {
            EXPECT_EQ(Sender, &List);
            ++Changes;  // NOLINT(clang-analyzer-core.NullDereference): the fixture outlives the list
        };
    }

    void Read(const QByteArray& Bytes) {
        QByteArray Copy(Bytes);
        QBuffer Stream(&Copy);
        Stream.open(QIODevice::ReadOnly);
        List.ReadFromStream(Stream);
    }

    QByteArray Written() const {
        QByteArray Bytes;
        QBuffer Stream(&Bytes);
        Stream.open(QIODevice::WriteOnly);
        List.WriteToStream(Stream);
        return Bytes;
    }

    TIcon Red;
    TIcon Blue;
    TIconList List;
    int Changes = 0;
};

TEST_F(IconListTest, StreamWithAnEmptyEntryReadsInOneChangeAndWritesBackTheSame) {
    const QByteArray Stream = Int32(2) + Int32(Red.SavedForm().size()) + Red.SavedForm() + Int32(0);
    Read(Stream);
    EXPECT_EQ(Changes, 1);
    ASSERT_EQ(List.Count(), 2);
    ASSERT_NE(List.GetIcon(0), nullptr);
    EXPECT_EQ(List.GetIcon(0)->SavedForm(), Red.SavedForm());
    EXPECT_EQ(List.GetIcon(1), nullptr);
    EXPECT_EQ(Written(), Stream);
}

TEST_F(IconListTest, AnEmptyIconIsWrittenAsSizeZeroWithoutBytes) {
    List.Add(&Red);
    List.Add(nullptr);
    EXPECT_TRUE(List.GetIcon(1)->Empty());
    EXPECT_EQ(Written(), Int32(2) + Int32(Red.SavedForm().size()) + Red.SavedForm() + Int32(0));
}

TEST_F(IconListTest, BadStreamsRaiseAndLeaveNoBatchOpen) {
    struct Case {
        const char* Name;
        QByteArray Stream;
        const char* Message;
    };
    const Case Cases[] = {
        {"count missing", QByteArray("\x01", 1), "Stream read error"},
        {"record missing", Int32(1), "Stream read error"},
        {"bytes cut short", Int32(1) + Int32(100) + QByteArray(10, 'x'), "Stream read error"},
        {"no icon in the bytes", Int32(1) + Int32(4) + QByteArray("abcd"), "Invalid icon"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        try {
            Read(C.Stream);
            ADD_FAILURE() << "no error";
        } catch (const Exception& Error) {
            EXPECT_EQ(Error.Message(), C.Message);
        }
        Changes = 0;
        List.Add(&Blue);
        EXPECT_EQ(Changes, 1);
    }
}

TEST_F(IconListTest, IndexRules) {
    List.SetIcon(0, Red);
    EXPECT_EQ(List.Count(), 1);
    EXPECT_EQ(List.GetIcon(0)->SavedForm(), Red.SavedForm());
    EXPECT_EQ(Changes, 1);
    const std::function<void()> OutOfRange[] = {
        [&] { List.SetIcon(2, Blue); }, [&] { List.GetIcon(1); }, [&] { List.GetIcon(-1); },    [&] { List.Delete(1); },
        [&] { List.Insert(2, &Red); },  [&] { List.Move(0, 1); }, [&] { List.Exchange(0, 5); },
    };
    for (const auto& Operation : OutOfRange) {
        EXPECT_THROW(Operation(), Exception);
    }
    EXPECT_EQ(List.Count(), 1);
}

TEST_F(IconListTest, EveryOperationReportsOneChange) {
    List.Add(&Red);
    List.Add(&Blue);
    const std::pair<const char*, std::function<void()>> Operations[] = {
        {"add", [&] { List.Add(&Red); }},
        {"insert", [&] { List.Insert(0, &Blue); }},
        {"set", [&] { List.SetIcon(0, Red); }},
        {"exchange", [&] { List.Exchange(0, 1); }},
        {"move", [&] { List.Move(0, 1); }},
        {"delete", [&] { List.Delete(0); }},
        {"assign a list",
         [&] {
             TIconList Other;
             Other.Add(&Red);
             Other.Add(nullptr);
             Other.Add(&Blue);
             List.Assign(&Other);
         }},
        {"assign an icon", [&] { List.Assign(Red); }},
        {"clear", [&] { List.Clear(); }},
    };
    for (const auto& [Name, Operation] : Operations) {
        SCOPED_TRACE(Name);
        Changes = 0;
        Operation();
        EXPECT_EQ(Changes, 1);
    }
}

TEST_F(IconListTest, EditingAHeldIconNotifiesTheListWhereverItMoves) {
    List.Add(&Red);
    List.Add(&Blue);
    TIcon* Held = List.GetIcon(0);
    List.Move(0, 1);
    Changes = 0;
    Held->Assign(Blue);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(List.IndexOf(Held), 1);
    // The list copies what it is given: editing the caller's icon changes nothing.
    Red.Assign(Blue);
    EXPECT_EQ(Changes, 1);
}

TEST_F(IconListTest, AssigningOneOfItsOwnIconsKeepsThatIcon) {
    List.Add(&Red);
    List.Add(&Blue);
    // Bytes of its own, so that freeing the entry would free them.
    List.GetIcon(1)->LoadFromBytes(IconFileBytes(Qt::green));
    const QByteArray Green = List.GetIcon(1)->SavedForm();
    List.Assign(*List.GetIcon(1));
    ASSERT_EQ(List.Count(), 1);
    EXPECT_EQ(List.GetIcon(0)->SavedForm(), Green);
}

TEST_F(IconListTest, AssignWhileABatchIsOpenElsewhereNotifiesOnlyWhenItCloses) {
    TIconList Three;
    Three.Add(&Red);
    Three.Add(&Blue);
    Three.Add(&Red);
    List.HoldChanges();
    List.Assign(&Three);
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(List.Count(), 3);
    List.ReleaseChanges();
    EXPECT_EQ(Changes, 1);
}

TEST_F(IconListTest, IconsAreStoredWhenTheyDifferFromTheAncestor) {
    TIconList Ancestor;
    EXPECT_FALSE(List.IsIconsStored(nullptr));
    List.Add(&Red);
    EXPECT_TRUE(List.IsIconsStored(nullptr));
    EXPECT_TRUE(List.IsIconsStored(&Ancestor));
    Ancestor.Add(&Red);
    EXPECT_TRUE(List.IsIconsStored(&Ancestor));
    EXPECT_FALSE(List.IsIconsStored(&List));
}

TEST(IconTest, ClipboardDataLoadsOnlyUnderTheIconFormat) {
    QMimeData Data;
    TIcon Icon;
    EXPECT_FALSE(Icon.LoadFromMimeData(Data));
    Data.setData(TIcon::ClipboardFormat, IconFileBytes(Qt::green));
    EXPECT_TRUE(Icon.LoadFromMimeData(Data));
    EXPECT_FALSE(Icon.Empty());
}

}  // namespace
}  // namespace kit
