#include "kit/props_storage.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QWidget>
#include <vector>

#include "kit/tests/test_objects.h"

namespace kit {
namespace {

using testing::TSample;

// A store in memory that records every write in order.
struct TMemoryStore {
    QMap<QString, QString> Values;  // "section/key" in lower case
    std::vector<QString> Writes;    // "section/key=value"

    static QString Key(const QString& Section, const QString& Item) { return (Section + "/" + Item).toLower(); }

    void Bind(TPropsStorage& Storage) {
        Storage.OnReadString = [this](const QString& Section, const QString& Item, const QString& Default) {
            return Values.value(Key(Section, Item), Default);
        };
        Storage.OnWriteString = [this](const QString& Section, const QString& Item, const QString& Value) {
            Values[Key(Section, Item)] = Value;
            Writes.push_back(Section + "/" + Item + "=" + Value);
        };
        Storage.OnEraseSection = [this](const QString& Section) {
            Writes.push_back("erase " + Section);
            const QString prefix = Section.toLower() + "/";
            Values.removeIf([&](auto Entry) { return Entry.key().startsWith(prefix); });
        };
    }
};

class PropsStorage : public ::testing::Test {
protected:
    PropsStorage() {
        FOwner.setObjectName("Form1");
        FSample = new TSample(&FOwner);
        FSample->setObjectName("Sample1");
        FStore.Bind(FStorage);
        FStorage.Section = "S";
    }

    TStoredList OfSample(const QStringList& Items) const {
        TStoredList list;
        for (const QString& item : Items) {
            list << TStoredItem{item, FSample};
        }
        return list;
    }
    void Store(const QStringList& Items) {
        TStoredList list = OfSample(Items);
        FStorage.StoreItems(&FOwner, list);
    }
    void Load(const QStringList& Items) {
        TStoredList list = OfSample(Items);
        FStorage.LoadItems(&FOwner, list);
    }

    void Set(const QString& Key, const QString& Value) { FStore.Values[TMemoryStore::Key("S", Key)] = Value; }

    QWidget FOwner;
    TSample* FSample;
    TMemoryStore FStore;
    TPropsStorage FStorage;
};

TEST_F(PropsStorage, ValuesAreWrittenAsTextUnderComponentAndPropertyName) {
    FSample->Flag = true;
    FSample->Number = -12;
    FSample->Big = 1LL << 40;
    FSample->Text = "  padded text \t";
    FSample->Letter = 'Q';
    FSample->Ratio = 1.5;
    FSample->Kind = TSample::c;
    FSample->Set = TSample::fa | TSample::fc;
    FSample->Any = 17;
    FSample->Font->Color = 255;
    Store({"Sample1.flag", "Sample1.Number", "Sample1.Big", "Sample1.Text", "Sample1.Letter", "Sample1.Ratio",
           "Sample1.Kind", "Sample1.Set", "Sample1.Any", "Sample1.Font", "Sample1.Missing", "Sample1.Font.Color"});
    const std::vector<QString> expected = {
        "S/Sample1_Flag=True",        "S/Sample1_Number=-12",  "S/Sample1_Big=1099511627776",
        "S/Sample1_Text=padded text", "S/Sample1_Letter=Q",    "S/Sample1_Ratio=1.5",
        "S/Sample1_Kind=c",           "S/Sample1_Set=[fa,fc]", "S/Sample1_Any=17",
        "S/Sample1_FontColor=255",
    };
    EXPECT_EQ(FStore.Writes, expected);
}

TEST_F(PropsStorage, EmptyValues) {
    FSample->Set = {};
    Store({"Sample1.Text", "Sample1.Set", "Sample1.Any"});
    const std::vector<QString> expected = {"S/Sample1_Text=", "S/Sample1_Set=[]"};
    EXPECT_EQ(FStore.Writes, expected);
}

TEST_F(PropsStorage, BooleansLoadIgnoringCaseAndOtherTextsLeaveThem) {
    struct TCase {
        const char* Stored;
        bool Before;
        bool After;
    };
    const TCase cases[] = {
        {"true", false, true}, {"TRUE", false, true}, {" True ", false, true}, {"fAlse", true, false},
        {"yes", false, false}, {"yes", true, true},   {"", true, true},        {"1", false, false},
    };
    for (const TCase& c : cases) {
        FSample->Flag = c.Before;
        Set("Sample1_Flag", c.Stored);
        Load({"Sample1.Flag"});
        EXPECT_EQ(FSample->Flag, c.After) << c.Stored;
    }
}

TEST_F(PropsStorage, IntegersLoadAsNumbersEmptyAsZeroMissingUnchanged) {
    struct TCase {
        const char* Stored;  // null: missing key
        int Expected;
    };
    const TCase cases[] = {{"42", 42}, {" -3 ", -3}, {"", 0}, {"abc", 0}, {nullptr, 9}, {"99999999999", 0}};
    for (const TCase& c : cases) {
        FSample->Number = 9;
        FStore.Values.clear();
        if (c.Stored != nullptr) {
            Set("Sample1_Number", c.Stored);
        }
        Load({"Sample1.Number"});
        EXPECT_EQ(FSample->Number, c.Expected) << (c.Stored ? c.Stored : "(missing)");
    }
}

TEST_F(PropsStorage, OtherKindsLoadFromText) {
    Set("Sample1_Kind", "B");
    Set("Sample1_Set", "[ fc , fa ]");
    Set("Sample1_Text", "  loaded  ");
    Set("Sample1_Letter", "Zed");
    Set("Sample1_Ratio", "2.25");
    FSample->Any = "before";
    Set("Sample1_Any", "anything");
    Set("Sample1_FontColor", "7");
    Set("Sample1_Big", "-5000000000");
    Load({"Sample1.Kind", "Sample1.Set", "Sample1.Text", "Sample1.Letter", "Sample1.Ratio", "Sample1.Any",
          "Sample1.Font", "Sample1.Big"});
    EXPECT_EQ(FSample->Kind, TSample::b);
    EXPECT_EQ(FSample->Set, TSample::fa | TSample::fc);
    EXPECT_EQ(FSample->Text, "loaded");
    EXPECT_EQ(FSample->Letter, 'Z');
    EXPECT_EQ(FSample->Ratio, 2.25);
    EXPECT_EQ(FSample->Any.toString(), "anything");
    EXPECT_EQ(FSample->Font->Color, 7);
    EXPECT_EQ(FSample->Big, -5000000000LL);

    Set("Sample1_Kind", "z");
    Set("Sample1_Set", "[]");
    Set("Sample1_Letter", "");
    Set("Sample1_Ratio", "1,5x");
    Load({"Sample1.Kind", "Sample1.Set", "Sample1.Letter", "Sample1.Ratio"});
    EXPECT_EQ(FSample->Kind, TSample::b);
    EXPECT_EQ(FSample->Set, TSample::TLetters());
    EXPECT_EQ(FSample->Letter, 'Z');
    EXPECT_EQ(FSample->Ratio, 2.25);
}

TEST_F(PropsStorage, StringListsUseASubSection) {
    FSample->Lines = {" one ", "two"};
    Store({"Sample1.Lines"});
    const std::vector<QString> expected = {"erase S.Sample1_Lines", "S.Sample1_Lines/Count=2",
                                           "S.Sample1_Lines/Item0= one ", "S.Sample1_Lines/Item1=two"};
    EXPECT_EQ(FStore.Writes, expected);

    FSample->Lines = {"kept"};
    Load({"Sample1.Lines"});
    EXPECT_EQ(FSample->Lines, QStringList({" one ", "two"}));

    FSample->Lines.clear();
    FStore.Writes.clear();
    Store({"Sample1.Lines"});
    EXPECT_EQ(FStore.Writes, std::vector<QString>{"erase S.Sample1_Lines"});
    FSample->Lines = {"kept"};
    Load({"Sample1.Lines"});
    EXPECT_EQ(FSample->Lines, QStringList{"kept"});
}

TEST_F(PropsStorage, DamagedListCountsLeaveTheListAlone) {
    for (const char* count : {"2147483647", "100001", "-1", "many"}) {
        FStore.Values[TMemoryStore::Key("S.Sample1_Lines", "Count")] = count;
        FSample->Lines = {"kept"};
        Load({"Sample1.Lines"});
        EXPECT_EQ(FSample->Lines, QStringList{"kept"}) << count;
    }
    FStore.Values[TMemoryStore::Key("S", "Sample1_Entries.Count")] = "2147483647";
    FSample->Entries->Add();
    Load({"Sample1.Entries"});
    EXPECT_EQ(FSample->Entries->Count(), 1);
}

TEST_F(PropsStorage, CollectionsStoreEachItem) {
    static_cast<testing::TItem*>(FSample->Entries->Add())->Label = "first";
    static_cast<testing::TItem*>(FSample->Entries->Add())->Label = "second";
    Store({"Sample1.Entries"});
    const std::vector<QString> expected = {"erase S.Sample1_Entries", "S/Sample1_Entries.Count=2",
                                           "S.Sample1_Entries/Item0_Label=first",
                                           "S.Sample1_Entries/Item1_Label=second"};
    EXPECT_EQ(FStore.Writes, expected);
    FSample->Entries->Clear();
    Load({"Sample1.Entries"});
    ASSERT_EQ(FSample->Entries->Count(), 2);
    EXPECT_EQ(FSample->Entries->At(1)->Label, "second");
}

TEST_F(PropsStorage, ComponentReferences) {
    QObject* label = new QObject(&FOwner);
    label->setObjectName("Label1");
    QWidget otherForm;
    otherForm.setObjectName("OtherForm");
    QObject* remote = new QObject(&otherForm);
    remote->setObjectName("Remote1");

    FSample->Buddy = label;
    Store({"Sample1.Buddy"});
    FSample->Buddy = remote;
    Store({"Sample1.Buddy"});
    const std::vector<QString> expected = {"S/Sample1_Buddy=Label1", "S/Sample1_Buddy=OtherForm.Remote1"};
    EXPECT_EQ(FStore.Writes, expected);

    otherForm.show();
    FSample->Buddy = label;
    Load({"Sample1.Buddy"});
    EXPECT_EQ(FSample->Buddy, remote);
    Set("Sample1_Buddy", "label1");
    Load({"Sample1.Buddy"});
    EXPECT_EQ(FSample->Buddy, label);
    Set("Sample1_Buddy", "NoForm.Label1");
    Load({"Sample1.Buddy"});
    EXPECT_EQ(FSample->Buddy, label);
    Set("Sample1_Buddy", "Nobody");
    Load({"Sample1.Buddy"});
    EXPECT_EQ(FSample->Buddy, nullptr);
    FSample->Buddy = label;
    Set("Sample1_Buddy", "(NULL)");
    Load({"Sample1.Buddy"});
    EXPECT_EQ(FSample->Buddy, nullptr);
}

TEST_F(PropsStorage, TwoComponentsOfOneNameFailTheStoreButNotTheLoad) {
    auto* twin = new TSample(&FOwner);
    twin->setObjectName("SAMPLE1");
    TStoredList list = {{"Sample1.Number", FSample}, {"SAMPLE1.Number", twin}};
    EXPECT_THROW(FStorage.StoreItems(&FOwner, list), Exception);
    EXPECT_TRUE(FStore.Writes.empty());
    Set("Sample1_Number", "5");
    FStorage.LoadItems(&FOwner, list);
    EXPECT_EQ(FSample->Number, 0);
}

TEST(StoredItems, SplitJoinRenameAndSync) {
    EXPECT_EQ(SplitStoredItem(" Edit1 . Text\t"), std::make_pair(QString("Edit1"), QString("Text")));
    EXPECT_EQ(SplitStoredItem("Edit1.Font.Color"), std::make_pair(QString("Edit1"), QString("Font.Color")));
    for (const char* bad : {"Edit1", ".Text", "Edit1.", " . "}) {
        EXPECT_FALSE(SplitStoredItem(bad).has_value()) << bad;
    }
    EXPECT_EQ(JoinStoredItem("A", ""), "");
    EXPECT_EQ(RenameStoredItem("Old.Text", "New"), "New.Text");
    EXPECT_EQ(RenameStoredItem("broken", "New"), "");

    QWidget owner;
    auto* edit = new QObject(new QObject(&owner));
    edit->setObjectName("Edit1");
    TStoredList list = {{"edit1.Text", nullptr}, {"Ghost.Text", nullptr}, {"nodot", nullptr}};
    SyncStoredList(&owner, list, true);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].Component, edit);
    edit->setObjectName("Renamed");
    SyncStoredList(&owner, list, false);
    EXPECT_EQ(list[0].Text, "Renamed.Text");
    delete edit;
    SyncStoredList(&owner, list, false);
    EXPECT_TRUE(list.isEmpty());
}

}  // namespace
}  // namespace kit
