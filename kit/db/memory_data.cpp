#include "kit/db/memory_data.h"

#include <algorithm>
#include <cstring>

#include "kit/db/db_utils.h"
#include "kit/db/mem_blob_stream.h"

namespace kit {

namespace {

constexpr int MaxRecordSize = 65535;
constexpr int BookmarkBlockSize = 8;

bool IsStringLike(TFieldType Type) {
    return Type == ftString || Type == ftFixedChar || Type == ftWideString || Type == ftGuid;
}

// True when a string value's first character is zero: the whole 16-bit
// character of a wide string, whose low byte alone is zero for U+0100 and many more.
bool FirstCharacterIsZero(const std::byte* Value, TFieldType Type) {
    return Value[0] == std::byte{0} && (Type != ftWideString || Value[1] == std::byte{0});
}

template <typename T>
T Load(const std::byte* Bytes) {
    T Value;
    std::memcpy(&Value, Bytes, sizeof(T));
    return Value;
}

template <typename T>
int Order(T A, T B) {
    return A < B ? -1 : (B < A ? 1 : 0);
}

int CompareTexts(const QString& A, const QString& B, bool IgnoreCase) {
    const int Result =
        IgnoreCase ? QString::localeAwareCompare(A.toLower(), B.toLower()) : QString::localeAwareCompare(A, B);
    return Order(Result, 0);
}

QString SlotText(const std::byte* Bytes, TFieldType Type, int Size) {
    return DecodeFieldValue(Type, Size, QByteArray(reinterpret_cast<const char*>(Bytes), FieldValueSize(Type, Size)))
        .toString();
}

}  // namespace

int CompareFieldValues(const std::byte* A, const std::byte* B, TFieldType Type, int Size, bool IgnoreCase) {
    switch (Type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            return CompareTexts(SlotText(A, Type, Size), SlotText(B, Type, Size), IgnoreCase);
        case ftGuid:
            return CompareTexts(SlotText(A, Type, Size), SlotText(B, Type, Size), true);
        case ftSmallint:
            return Order(Load<std::int16_t>(A), Load<std::int16_t>(B));
        case ftWord:
            return Order(Load<std::uint16_t>(A), Load<std::uint16_t>(B));
        case ftInteger:
        case ftDate:
        case ftTime:
        case ftAutoInc:
            return Order(Load<std::int32_t>(A), Load<std::int32_t>(B));
        case ftBoolean:
            return Order(Load<std::int16_t>(A) != 0, Load<std::int16_t>(B) != 0);
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
            return Order(Load<double>(A), Load<double>(B));
        case ftLargeint:
            return Order(Load<std::int64_t>(A), Load<std::int64_t>(B));
        default:
            return 0;
    }
}

TMemoryRecord::TMemoryRecord(int ID, int RecordSize, int BlobCount, int VariantCount)
    : FID(ID),
      FData(std::make_unique<std::byte[]>(static_cast<std::size_t>(RecordSize))),
      FBlobs(static_cast<std::size_t>(BlobCount)),
      FVariants(static_cast<std::size_t>(VariantCount)) {}

TMemoryData::TMemoryData() = default;

// Closing needs the table's own operations, which are gone once the base destructor runs.
TMemoryData::~TMemoryData() { CloseForDestruction(); }

void TMemoryData::SetCapacity(int Value) { FRecords.reserve(static_cast<std::size_t>(std::max(Value, 0))); }

// Field definitions, layout and opening.

void TMemoryData::StartCursor() {
    if (HasPersistentFields()) {
        FieldDefs().clear();
        FIndexFields.clear();
        for (const auto& Field : FieldList()) {
            if (Field->FieldKind() == fkData || Field->FieldKind() == fkInternalCalc) {
                FieldDefs().append({Field->FieldName(), Field->DataType(), Field->Size()});
            }
        }
    }
    ComputeLayout();
    FActive = true;
    OpenTable();
}

void TMemoryData::ComputeLayout() {
    // Offsets and sizes are computed in full integers and checked: a data area beyond 16-bit offsets
    // would make slots overlap.
    FFieldOffsets.clear();
    int Offset = 0;
    for (const TFieldDef& Def : FieldDefs()) {
        if (!IsStorableType(Def.DataType) || Def.Size < 0) {
            throw EDatabaseError(QStringLiteral("Field '%1' is of an unknown type").arg(Def.Name));
        }
        const int ValueSize = FieldValueSize(Def.DataType, Def.Size);
        if (ValueSize < 0) {
            FFieldOffsets.push_back(-1);
            continue;
        }
        FFieldOffsets.push_back(Offset);
        Offset += 1 + ValueSize;
        if (Offset > MaxRecordSize) {
            throw EDatabaseError(QStringLiteral("Record of table fields is larger than %1 bytes at field '%2'")
                                     .arg(MaxRecordSize)
                                     .arg(Def.Name));
        }
    }
    FRecordSize = Offset;
}

void TMemoryData::OpenTable() {
    CreateFields();
    BindFields();
    FBookmarkOffset = FRecordSize + CalcFieldsSize();
    FBlobOffset = FBookmarkOffset + BookmarkBlockSize;
    FBufferSize = FBlobOffset + 4 * BlobFieldCount();
    FDataSlots.assign(FieldList().size(), -1);
    for (const auto& Field : FieldList()) {
        if (Field->FieldNo() <= 0) {
            continue;
        }
        for (int Index = 0; Index < FieldDefs().size(); ++Index) {
            if (FieldDefs()[Index].Name.compare(Field->FullName(), Qt::CaseInsensitive) == 0) {
                FDataSlots[Field->FieldNo() - 1] = FFieldOffsets[Index];
                break;
            }
        }
    }
    MoveBeforeFirst();
}

void TMemoryData::CloseTable() {
    FreeAllRecords();
    FAutoIncrement = 1;
    UnbindFields();
    DestroyFields();
    FIndexFields.clear();
    FDataSlots.clear();
    FActive = false;
}

// Buffers.

TRecordBuffer TMemoryData::NewRecordBuffer() {
    TRecordBuffer Buffer;
    Buffer.Bytes.assign(static_cast<std::size_t>(FBookmarkOffset) + BookmarkBlockSize, std::byte{0});
    Buffer.Blobs.resize(static_cast<std::size_t>(BlobFieldCount()));
    Buffer.Variants.resize(static_cast<std::size_t>(VariantFieldCount()));
    return Buffer;
}

void TMemoryData::BlankRecord(TRecordBuffer& Buffer) {
    std::fill(Buffer.Bytes.begin(), Buffer.Bytes.end(), std::byte{0});
    std::fill(Buffer.Blobs.begin(), Buffer.Blobs.end(), QByteArray());
    std::fill(Buffer.Variants.begin(), Buffer.Variants.end(), QVariant());
}

void TMemoryData::ClearCalculatedArea(TRecordBuffer& Buffer) {
    std::fill_n(Buffer.Bytes.begin() + FRecordSize, CalcFieldsSize(), std::byte{0});
    std::fill(Buffer.Variants.begin() + DataVariantCount(), Buffer.Variants.end(), QVariant());
}

void TMemoryData::PrepareRecord(TRecordBuffer& Buffer) {
    TDataSet::PrepareRecord(Buffer);
    const std::int32_t ID = INT32_MIN;
    std::memcpy(Buffer.Bytes.data() + FBookmarkOffset, &ID, sizeof ID);
    WriteBookmarkFlag(Buffer, bfInserted);
}

TBookmark TMemoryData::ReadBookmark(const TRecordBuffer& Buffer) {
    return Load<std::int32_t>(Buffer.Bytes.data() + FBookmarkOffset);
}

TBookmarkFlag TMemoryData::ReadBookmarkFlag(const TRecordBuffer& Buffer) {
    return static_cast<TBookmarkFlag>(Buffer.Bytes[FBookmarkOffset + 4]);
}

void TMemoryData::WriteBookmarkFlag(TRecordBuffer& Buffer, TBookmarkFlag Flag) {
    Buffer.Bytes[FBookmarkOffset + 4] = static_cast<std::byte>(Flag);
}

TRecordBuffer* TMemoryData::CurrentBuffer() {
    switch (State()) {
        case dsBrowse:
            return IsEmpty() ? nullptr : &ActiveBuffer();
        case dsEdit:
        case dsInsert:
            return &ActiveBuffer();
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return &TempBuffer();
        default:
            return nullptr;
    }
}

void TMemoryData::CopyRecordToBuffer(const TMemoryRecord& Record, TRecordBuffer& Buffer) {
    std::memcpy(Buffer.Bytes.data(), Record.Data(), static_cast<std::size_t>(FRecordSize));
    const std::int32_t ID = Record.ID();
    std::memcpy(Buffer.Bytes.data() + FBookmarkOffset, &ID, sizeof ID);
    WriteBookmarkFlag(Buffer, bfCurrent);
    std::copy(Record.FBlobs.begin(), Record.FBlobs.end(), Buffer.Blobs.begin());
    std::copy(Record.FVariants.begin(), Record.FVariants.end(), Buffer.Variants.begin());
    CalculateFields(Buffer);
}

void TMemoryData::StoreRecordData(const TRecordBuffer& Buffer, int Position) {
    if (State() == dsFilter) {
        throw EDatabaseError("Dataset not in edit or insert mode");
    }
    TMemoryRecord& Record = *FRecords.at(static_cast<std::size_t>(Position));
    std::memcpy(Record.Data(), Buffer.Bytes.data(), static_cast<std::size_t>(FRecordSize));
    std::copy(Buffer.Blobs.begin(), Buffer.Blobs.end(), Record.FBlobs.begin());
    std::copy_n(Buffer.Variants.begin(), Record.FVariants.size(), Record.FVariants.begin());
}

// Field values.

int TMemoryData::FieldSlot(const TField& Field) const {
    const int Number = Field.FieldNo();
    return Number > 0 && Number <= static_cast<int>(FDataSlots.size()) ? FDataSlots[Number - 1] : -1;
}

bool TMemoryData::ReadFieldValue(const TField& Field, TFieldData* Value) {
    TRecordBuffer* const Buffer = CurrentBuffer();
    if (Buffer == nullptr) {
        return false;
    }
    int Slot = 0;
    if (Field.IsCalculated()) {
        if (State() != dsBrowse && State() != dsEdit && State() != dsInsert && State() != dsCalcFields) {
            return false;
        }
        Slot = FRecordSize + Field.Offset();
    } else {
        Slot = FieldSlot(Field);
        if (Slot < 0) {
            return false;
        }
    }
    const std::byte* const Bytes = Buffer->Bytes.data() + Slot;
    if (Bytes[0] == std::byte{0}) {
        return false;
    }
    if (IsStringLike(Field.DataType()) && FirstCharacterIsZero(Bytes + 1, Field.DataType())) {
        return false;  // an empty string reads as null
    }
    if (Value != nullptr) {
        if (Field.DataType() == ftVariant) {
            Value->Variant = Buffer->Variants[static_cast<std::size_t>(Field.VariantNumber())];
        } else {
            Value->Bytes = QByteArray(reinterpret_cast<const char*>(Bytes + 1), Field.DataSize());
        }
    }
    return true;
}

void TMemoryData::WriteFieldValue(TField& Field, const TFieldData* Value) {
    switch (State()) {
        case dsEdit:
        case dsInsert:
        case dsSetKey:
        case dsCalcFields:
        case dsFilter:
        case dsNewValue:
        case dsInternalCalc:
            break;
        default:
            throw EDatabaseError("Dataset not in edit or insert mode");
    }
    TRecordBuffer* const Buffer = CurrentBuffer();
    if (Buffer == nullptr) {
        return;
    }
    int Slot = 0;
    if (Field.IsCalculated()) {
        Slot = FRecordSize + Field.Offset();
    } else {
        if (State() == dsCalcFields || State() == dsFilter) {
            throw EDatabaseError("Dataset not in edit or insert mode");
        }
        if (Field.ReadOnly() && State() != dsSetKey) {
            throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(Field.DisplayName()));
        }
        Slot = FieldSlot(Field);
        if (Slot < 0) {
            return;
        }
    }
    std::byte* const Bytes = Buffer->Bytes.data() + Slot;
    const std::size_t Size = static_cast<std::size_t>(Field.DataSize());
    bool Present = Value != nullptr;
    if (Field.DataType() == ftVariant) {
        // The variant lives beside the raw bytes, so copying and clearing buffers copies it as a value.
        Present = Present && Value->Variant.isValid() && !Value->Variant.isNull();
        Buffer->Variants[static_cast<std::size_t>(Field.VariantNumber())] = Present ? Value->Variant : QVariant();
        std::memset(Bytes + 1, 0, Size);
    } else if (Present) {
        std::memset(Bytes + 1, 0, Size);
        std::memcpy(Bytes + 1, Value->Bytes.constData(), std::min(Size, static_cast<std::size_t>(Value->Bytes.size())));
    } else {
        std::memset(Bytes + 1, 0, Size);
    }
    Bytes[0] = Present ? std::byte{1} : std::byte{0};
    if (State() != dsCalcFields && State() != dsFilter && State() != dsNewValue) {
        DataEvent(deFieldChange);
    }
}

void TMemoryData::FillAutoIncrement(TRecordBuffer& Buffer) {
    bool Set = false;
    for (const auto& Field : FieldList()) {
        const int Slot = FieldSlot(*Field);
        if (Field->DataType() != ftAutoInc || Field->IsCalculated() || Slot < 0) {
            continue;
        }
        Buffer.Bytes[Slot] = std::byte{1};
        std::memcpy(Buffer.Bytes.data() + Slot + 1, &FAutoIncrement, sizeof FAutoIncrement);
        Set = true;
    }
    if (Set) {
        ++FAutoIncrement;
    }
}

// Records.

TMemoryRecord* TMemoryData::RecordByID(TBookmark ID) const {
    const TBookmark Slot = ID - (static_cast<TBookmark>(INT32_MIN) + 1);
    if (Slot < 0 || Slot >= static_cast<TBookmark>(FRecordsByID.size())) {
        return nullptr;
    }
    return FRecordsByID[static_cast<std::size_t>(Slot)];
}

TMemoryRecord& TMemoryData::AddRecord(int Position) {
    auto Record = std::make_unique<TMemoryRecord>(FLastRecordID + 1, FRecordSize, BlobFieldCount(), DataVariantCount());
    ++FLastRecordID;
    FRecordsByID.push_back(Record.get());
    TMemoryRecord& Result = *Record;
    FRecords.insert(FRecords.begin() + Position, std::move(Record));
    RenumberFrom(Position);
    return Result;
}

void TMemoryData::RenumberFrom(int Index) {
    for (auto I = static_cast<std::size_t>(Index); I < FRecords.size(); ++I) {
        FRecords[I]->FIndex = static_cast<int>(I);
    }
}

void TMemoryData::FreeAllRecords() {
    FRecords.clear();
    FRecordsByID.clear();
    FLastRecordID = INT32_MIN;
    FCursor = -1;
}

void TMemoryData::PostRecord() {
    if (State() == dsEdit) {
        if (FCursor < 0 || FCursor >= CountRecords()) {
            throw EDatabaseError("No data found");
        }
        StoreRecordData(ActiveBuffer(), FCursor);
        return;
    }
    FillAutoIncrement(ActiveBuffer());
    const int Position = FCursor >= CountRecords() ? CountRecords() : std::max(FCursor, 0);
    AddRecord(Position);
    StoreRecordData(ActiveBuffer(), Position);
    FCursor = Position;
}

void TMemoryData::DeleteCurrent() {
    if (FCursor < 0 || FCursor >= CountRecords()) {
        return;
    }
    const TMemoryRecord& Record = *FRecords[static_cast<std::size_t>(FCursor)];
    FRecordsByID[static_cast<std::size_t>(static_cast<TBookmark>(Record.ID()) -
                                          (static_cast<TBookmark>(INT32_MIN) + 1))] = nullptr;
    FRecords.erase(FRecords.begin() + FCursor);
    RenumberFrom(FCursor);
    if (FCursor >= CountRecords()) {
        --FCursor;
    }
    if (Filtering()) {
        while (FCursor >= 0 && !FilterAccepts(FCursor)) {
            --FCursor;
        }
    }
    if (FRecords.empty()) {
        FreeAllRecords();
    }
}

void TMemoryData::ClearTable() {
    if (!Active()) {
        return;
    }
    CheckBrowseMode();
    FreeAllRecords();
    ClearBuffers();
    DataEvent(deDataSetChange);
}

// Cursor.

bool TMemoryData::FilterAccepts(int Index) {
    if (!OnFilterRecord()) {
        return true;
    }
    if (Index < 0 || Index >= CountRecords()) {
        return false;
    }
    const TStateGuard Guard(*this, dsFilter);
    bool Accept = true;
    try {
        CopyRecordToBuffer(*FRecords[static_cast<std::size_t>(Index)], TempBuffer());
        OnFilterRecord()(*this, Accept);
    } catch (const std::exception& Error) {
        HandleApplicationException(Error);
    }
    return Accept;
}

TGetResult TMemoryData::FetchRecord(TRecordBuffer& Buffer, TGetMode Mode, bool Check) {
    const int Count = CountRecords();
    TGetResult Result = grOK;
    switch (Mode) {
        case gmNext:
            if (FCursor >= Count - 1) {
                Result = grEOF;
                break;
            }
            do {
                ++FCursor;
            } while (FCursor < Count && Filtering() && !FilterAccepts(FCursor));
            if (FCursor >= Count) {
                FCursor = Count - 1;
                Result = grEOF;
            }
            break;
        case gmPrior:
            if (FCursor <= 0) {
                FCursor = -1;
                Result = grBOF;
                break;
            }
            do {
                --FCursor;
            } while (FCursor >= 0 && Filtering() && !FilterAccepts(FCursor));
            if (FCursor < 0) {
                Result = grBOF;
            }
            break;
        case gmCurrent:
            if (FCursor < 0 || FCursor >= Count || (Filtering() && !FilterAccepts(FCursor))) {
                Result = grError;
            }
            break;
    }
    if (Result == grOK) {
        CopyRecordToBuffer(*FRecords[static_cast<std::size_t>(FCursor)], Buffer);
    } else if (Result == grError && Check) {
        throw EDatabaseError("No data found");
    }
    return Result;
}

int TMemoryData::CurrentRecordNumber() {
    CheckActive();
    if (!IsEmpty()) {
        SeekBuffer(ActiveBuffer());
    }
    return FCursor == -1 && CountRecords() > 0 ? 1 : FCursor + 1;
}

void TMemoryData::MoveToRecordNumber(int Value) {
    if (Value >= 1 && Value <= CountRecords()) {
        FCursor = Value - 1;
        Resync();
    }
}

void TMemoryData::SeekBookmark(TBookmark Bookmark) {
    const TMemoryRecord* const Record = RecordByID(Bookmark);
    if (Record == nullptr) {
        return;
    }
    const int Saved = FCursor;
    FCursor = Record->Index();
    if (Filtering() && !FilterAccepts(FCursor)) {
        FCursor = Saved;
    }
}

bool TMemoryData::BookmarkExists(TBookmark Bookmark) {
    return FActive && Bookmark > INT32_MIN && Bookmark <= FLastRecordID;
}

int TMemoryData::OrderBookmarks(const TBookmark* A, const TBookmark* B) {
    if (A == nullptr || B == nullptr) {
        return A == nullptr && B == nullptr ? 0 : (A == nullptr ? -1 : 1);
    }
    return Order(*A, *B);
}

bool TMemoryData::FetchBookmark(TBookmark Bookmark, TRecordBuffer& Buffer) {
    const TMemoryRecord* const Record = RecordByID(Bookmark);
    if (Record == nullptr) {
        return false;
    }
    CopyRecordToBuffer(*Record, Buffer);
    return true;
}

std::vector<TBookmark> TMemoryData::VisibleBookmarks() {
    std::vector<TBookmark> Result;
    Result.reserve(FRecords.size());
    for (int Index = 0; Index < CountRecords(); ++Index) {
        if (!Filtering() || FilterAccepts(Index)) {
            Result.push_back(FRecords[static_cast<std::size_t>(Index)]->ID());
        }
    }
    return Result;
}

void TMemoryData::SetFiltered(bool Value) {
    if (!Active()) {
        TDataSet::SetFiltered(Value);
        return;
    }
    CheckBrowseMode();
    if (Value != Filtered()) {
        TDataSet::SetFiltered(Value);
        First();
        DataEvent(deDataSetChange);
    }
}

void TMemoryData::SetOnFilterRecord(TFilterRecordEvent Handler) {
    if (!Active()) {
        TDataSet::SetOnFilterRecord(std::move(Handler));
        return;
    }
    CheckBrowseMode();
    TDataSet::SetOnFilterRecord(std::move(Handler));
    if (Filtered()) {
        First();
        DataEvent(deDataSetChange);
    }
}

// Key search, ordering and blobs.

bool TMemoryData::FindByKey(const QString& KeyFields, const QVariant& KeyValues, TLocateOptions Options) {
    DoBeforeScroll();
    const bool Found = LocateInDataSet(*this, KeyFields, KeyValues, Options);
    if (Found) {
        DataEvent(deDataSetChange);
        DoAfterScroll();
    }
    return Found;
}

int TMemoryData::CompareRecordValues(const TMemoryRecord& A, const TMemoryRecord& B) const {
    for (const TField* Field : FIndexFields) {
        const int Slot = FieldSlot(*Field);
        if (Slot < 0) {
            continue;
        }
        const bool HasA = A.Data()[Slot] != std::byte{0};
        const bool HasB = B.Data()[Slot] != std::byte{0};
        int Result = 0;
        if (HasA && HasB) {
            Result = CompareFieldValues(A.Data() + Slot + 1, B.Data() + Slot + 1, Field->DataType(), Field->Size(),
                                        FCaseInsensitive);
        } else {
            Result = Order(HasA, HasB);
        }
        if (Result != 0) {
            return FDescending ? -Result : Result;
        }
    }
    const int Result = Order(A.ID(), B.ID());
    return FDescending ? -Result : Result;
}

std::unique_ptr<TBlobStream> TMemoryData::OpenBlobStream(TField& Field, TBlobStreamMode Mode) {
    return std::make_unique<TMemBlobStream>(Field, Mode);
}

void TMemoryData::SetBlobData(TField& Field, TRecordBuffer& Buffer, const QByteArray& Value) {
    if (State() == dsFilter) {
        throw EDatabaseError("Dataset not in edit or insert mode");
    }
    if (&Buffer == &ActiveBuffer()) {
        Buffer.Blobs[static_cast<std::size_t>(Field.BlobNumber())] = Value;
    }
}

}  // namespace kit
