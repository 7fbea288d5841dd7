#include "kit/icon_list.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>
#include <algorithm>

#include "kit/exception.h"

namespace kit {

namespace {

qint32 ReadInt32(QIODevice& Stream) {
    char Bytes[4];
    if (Stream.read(Bytes, 4) != 4) {
        throw Exception("Stream read error");
    }
    return qFromLittleEndian<qint32>(Bytes);
}

void WriteBytes(QIODevice& Stream, const char* Bytes, qint64 Size) {
    if (Stream.write(Bytes, Size) != Size) {
        throw Exception("Stream write error");
    }
}

void WriteInt32(QIODevice& Stream, qint32 Value) {
    char Bytes[4];
    qToLittleEndian(Value, Bytes);
    WriteBytes(Stream, Bytes, 4);
}

}  // namespace

// Holds the list's changes for one operation; closes the batch on every way out.
class TIconList::THeldChanges {
public:
    explicit THeldChanges(TIconList& List) : FList(List) { FList.HoldChanges(); }
    ~THeldChanges() { FList.ReleaseChanges(); }
    THeldChanges(const THeldChanges&) = delete;
    THeldChanges& operator=(const THeldChanges&) = delete;

private:
    TIconList& FList;
};

TIconList::~TIconList() {
    OnChange = nullptr;
    Clear();
}

void TIconList::CheckIndex(int Index, int Limit) const {
    if (Index < 0 || Index > Limit) {
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(Index));
    }
}

TIcon* TIconList::GetIcon(int Index) const {
    CheckIndex(Index, Count() - 1);
    return FEntries[Index].get();
}

std::unique_ptr<TIcon> TIconList::CopyOf(const TIcon* Icon) {
    return Icon != nullptr ? std::make_unique<TIcon>(*Icon) : std::make_unique<TIcon>();
}

std::unique_ptr<TIcon> TIconList::LoadResource(const QString& Name) {
    QFile File(Name);
    if (!File.open(QIODevice::ReadOnly)) {
        throw Exception(QStringLiteral("Resource %1 not found").arg(Name));
    }
    auto Icon = std::make_unique<TIcon>();
    Icon->LoadFromBytes(File.readAll());
    return Icon;
}

void TIconList::InsertOwned(int Index, std::unique_ptr<TIcon>&& Icon) {
    if (Icon) {
        Icon->OnChange = [this] { Changed(); };
    }
    FEntries.insert(FEntries.begin() + Index, std::move(Icon));
    Changed();
}

void TIconList::SetIcon(int Index, const TIcon& Icon) {
    CheckIndex(Index, Count());
    THeldChanges Held(*this);
    if (Index == Count()) {
        InsertOwned(Index, std::make_unique<TIcon>());
    } else if (!FEntries[Index]) {
        FEntries[Index] = std::make_unique<TIcon>();
    }
    TIcon& Target = *FEntries[Index];
    Target.OnChange = [this] { Changed(); };
    Target.Assign(Icon);
}

int TIconList::Add(const TIcon* Icon) {
    Insert(Count(), Icon);
    return Count() - 1;
}

int TIconList::AddFromResource(const QString& Name) {
    InsertFromResource(Count(), Name);
    return Count() - 1;
}

void TIconList::Insert(int Index, const TIcon* Icon) {
    CheckIndex(Index, Count());
    InsertOwned(Index, CopyOf(Icon));
}

void TIconList::InsertFromResource(int Index, const QString& Name) {
    CheckIndex(Index, Count());
    InsertOwned(Index, LoadResource(Name));
}

void TIconList::Clear() {
    THeldChanges Held(*this);
    for (int Index = Count() - 1; Index >= 0; --Index) {
        Delete(Index);
    }
}

void TIconList::Delete(int Index) {
    CheckIndex(Index, Count() - 1);
    std::unique_ptr<TIcon> Removed = std::move(FEntries[Index]);
    if (Removed) {
        Removed->OnChange = nullptr;
    }
    FEntries.erase(FEntries.begin() + Index);
    Changed();
}

void TIconList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1, Count() - 1);
    CheckIndex(Index2, Count() - 1);
    std::swap(FEntries[Index1], FEntries[Index2]);
    Changed();
}

int TIconList::IndexOf(const TIcon* Icon) const {
    const auto Found =
        std::find_if(FEntries.begin(), FEntries.end(), [Icon](const auto& Entry) { return Entry.get() == Icon; });
    return Found == FEntries.end() ? -1 : static_cast<int>(Found - FEntries.begin());
}

void TIconList::Move(int FromIndex, int ToIndex) {
    CheckIndex(FromIndex, Count() - 1);
    CheckIndex(ToIndex, Count() - 1);
    std::unique_ptr<TIcon> Moved = std::move(FEntries[FromIndex]);
    FEntries.erase(FEntries.begin() + FromIndex);
    FEntries.insert(FEntries.begin() + ToIndex, std::move(Moved));
    Changed();
}

void TIconList::Assign(const TIconList* Source) {
    if (Source == this) {
        return;
    }
    THeldChanges Held(*this);
    Clear();
    if (Source != nullptr) {
        for (const auto& Entry : Source->FEntries) {
            Add(Entry.get());
        }
    }
}

void TIconList::Assign(const TIcon& Source) {
    const TIcon Copy(Source);  // copied first: the source may be one of this list's own icons
    THeldChanges Held(*this);
    Clear();
    Add(&Copy);
}

void TIconList::ReadFromStream(QIODevice& Stream) {
    THeldChanges Held(*this);
    Clear();
    const qint32 EntryCount = ReadInt32(Stream);
    for (qint32 Entry = 0; Entry < EntryCount; ++Entry) {
        const qint32 Size = ReadInt32(Stream);
        if (Size <= 0) {
            InsertOwned(Count(), std::unique_ptr<TIcon>());
            continue;
        }
        const QByteArray Bytes = Stream.read(Size);
        if (Bytes.size() != Size) {
            throw Exception("Stream read error");
        }
        auto Icon = std::make_unique<TIcon>();
        Icon->LoadFromBytes(Bytes);
        InsertOwned(Count(), std::move(Icon));
    }
}

void TIconList::WriteToStream(QIODevice& Stream) const {
    WriteInt32(Stream, Count());
    for (const auto& Entry : FEntries) {
        if (!Entry || Entry->Empty()) {
            WriteInt32(Stream, 0);
            continue;
        }
        const QByteArray& Bytes = Entry->SavedForm();
        WriteInt32(Stream, static_cast<qint32>(Bytes.size()));
        WriteBytes(Stream, Bytes.constData(), Bytes.size());
    }
}

bool TIconList::IsIconsStored(const TIconList* Ancestor) const {
    if (Ancestor != nullptr && Ancestor->Count() == Count() && Count() > 0) {
        for (int Index = 0; Index < Count(); ++Index) {
            if (FEntries[Index].get() != Ancestor->FEntries[Index].get()) {
                return true;
            }
        }
        return false;
    }
    return Count() > 0;
}

void TIconList::ReleaseChanges() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        Changed();
    }
}

void TIconList::Changed() {
    if (FUpdateCount == 0 && OnChange) {
        OnChange(this);
    }
}

}  // namespace kit
