#pragma once

// TMemoryData: a dataset that keeps every record in memory, in table order, with no index and no file.
//
// Use (the reader list and the card list of the main window):
//
//     kit::TMemoryData Readers;
//     Readers.AddField("Device", kit::ftString, 30);
//     Readers.AddField("COM", kit::ftString, 10).SetVisible(false);   // kept, not shown by grids
//     Readers.AfterScroll = [this](kit::TDataSet&) { UpdateControls(); };
//     Readers.Open();
//     Readers.ClearTable();                                            // before refilling
//     Readers.Append(); Readers.FieldByName("Device").SetAsString(...); Readers.Post();
//
//     Events.AddField("CardCode40Hex", kit::ftString, 40, kit::fkCalculated);
//     Events.OnCalcFields = [](kit::TDataSet& D) { D.FieldByName("CardCode40Hex").SetAsString(...); };
//
// Destroying the table closes it without firing BeforeClose / AfterClose.
// Calculated values are never stored: OnCalcFields runs whenever a record is read into a buffer (also
// for each row a grid draws), so the handler must be cheap and must not move the dataset.

#include <QList>
#include <memory>
#include <vector>

#include "kit/db/data_set.h"

namespace kit {

class TMemoryData;
class TMemBlobStream;

// One stored record: its ID (the bookmark), its position in the table, the data area and the values
// kept beside it (blob strings and variants).
class TMemoryRecord {
public:
    TMemoryRecord(int ID, int RecordSize, int BlobCount, int VariantCount);

    int ID() const { return FID; }
    int Index() const { return FIndex; }
    std::byte* Data() { return FData.get(); }
    const std::byte* Data() const { return FData.get(); }
    std::vector<QByteArray>& Blobs() { return FBlobs; }
    std::vector<QVariant>& Variants() { return FVariants; }

private:
    friend class TMemoryData;
    int FID;
    int FIndex = -1;
    std::unique_ptr<std::byte[]> FData;
    std::vector<QByteArray> FBlobs;
    std::vector<QVariant> FVariants;
};

struct TLocateOptions {
    bool CaseInsensitive = false;
    bool PartialKey = false;
};

// Compares the value bytes of two slots of one field type: -1, 0 or 1 (positive when A > B).
int CompareFieldValues(const std::byte* A, const std::byte* B, TFieldType Type, int Size, bool IgnoreCase);

class TMemoryData : public TDataSet {
public:
    TMemoryData();
    ~TMemoryData() override;

    // Removes every record and leaves the table open; grids redraw empty. No scroll or delete events.
    void ClearTable();
    int Capacity() const { return static_cast<int>(FRecords.capacity()); }
    void SetCapacity(int Value);
    // Makes the first record whose key fields (names separated by ";") match the values current.
    bool FindByKey(const QString& KeyFields, const QVariant& KeyValues, TLocateOptions Options = {});

    void SetFiltered(bool Value) override;
    void SetOnFilterRecord(TFilterRecordEvent Handler) override;
    std::unique_ptr<TBlobStream> OpenBlobStream(TField& Field, TBlobStreamMode Mode) override;

    // Record layout, for inspection.
    int RecordSize() const { return FRecordSize; }
    int BookmarkOffset() const { return FBookmarkOffset; }
    int BlobOffset() const { return FBlobOffset; }
    int BufferSize() const { return FBufferSize; }
    // Offset of a field definition's slot in the data area; -1 when its type has no slot.
    int FieldOffset(int DefIndex) const { return FFieldOffsets.at(DefIndex); }

protected:
    friend class TMemBlobStream;

    void ClearCalculatedArea(TRecordBuffer& Buffer) override;
    int CountRecords() override { return static_cast<int>(FRecords.size()); }
    int CurrentRecordNumber() override;
    void PrepareRecord(TRecordBuffer& Buffer) override;
    void StartCursor() override;
    void MoveToRecordNumber(int Value) override;
    TRecordBuffer NewRecordBuffer() override;
    TBookmark ReadBookmark(const TRecordBuffer& Buffer) override;
    TBookmarkFlag ReadBookmarkFlag(const TRecordBuffer& Buffer) override;
    void DeleteCurrent() override;
    void MoveBeforeFirst() override { FCursor = -1; }
    void SeekBookmark(TBookmark Bookmark) override;
    void BlankRecord(TRecordBuffer& Buffer) override;
    void MoveAfterLast() override { FCursor = CountRecords(); }
    void PostRecord() override;
    void SeekBuffer(const TRecordBuffer& Buffer) override { SeekBookmark(ReadBookmark(Buffer)); }
    void WriteBookmarkFlag(TRecordBuffer& Buffer, TBookmarkFlag Flag) override;
    void WriteFieldValue(TField& Field, const TFieldData* Value) override;
    TGetResult FetchRecord(TRecordBuffer& Buffer, TGetMode Mode, bool Check) override;
    void CloseTable() override;
    bool BookmarkExists(TBookmark Bookmark) override;
    int OrderBookmarks(const TBookmark* A, const TBookmark* B) override;
    bool ReadFieldValue(const TField& Field, TFieldData* Value) override;
    bool HasSequence() override { return !Filtered(); }
    bool FetchBookmark(TBookmark Bookmark, TRecordBuffer& Buffer) override;
    std::vector<TBookmark> VisibleBookmarks() override;

    // The buffer field access works on in the current state, or none.
    TRecordBuffer* CurrentBuffer();
    void StoreRecordData(const TRecordBuffer& Buffer, int Position);
    void FillAutoIncrement(TRecordBuffer& Buffer);
    int CompareRecordValues(const TMemoryRecord& A, const TMemoryRecord& B) const;
    const TMemoryRecord& Records(int Index) const { return *FRecords.at(static_cast<std::size_t>(Index)); }
    // The ordering state CompareRecordValues uses; nothing in the table sets it.
    QList<TField*> FIndexFields;
    bool FCaseInsensitive = false;
    bool FDescending = false;

private:
    void OpenTable();
    void ComputeLayout();
    int FieldSlot(const TField& Field) const;
    bool Filtering() const { return Filtered() && OnFilterRecord(); }
    bool FilterAccepts(int Index);
    void CopyRecordToBuffer(const TMemoryRecord& Record, TRecordBuffer& Buffer);
    TMemoryRecord* RecordByID(TBookmark ID) const;
    TMemoryRecord& AddRecord(int Position);
    void RenumberFrom(int Index);
    void FreeAllRecords();
    // Blob access for blob streams.
    void SetBlobData(TField& Field, TRecordBuffer& Buffer, const QByteArray& Value);
    void BlobModified() { DataEvent(deFieldChange); }

    int FCursor = -1;
    int FRecordSize = 0;
    int FBookmarkOffset = 0;
    int FBlobOffset = 0;
    int FBufferSize = 0;
    std::vector<int> FFieldOffsets;  // per field definition
    std::vector<int> FDataSlots;     // per data field (by field number - 1): offset of its slot, or -1
    int FLastRecordID = INT32_MIN;
    int FAutoIncrement = 1;
    bool FActive = false;
    std::vector<std::unique_ptr<TMemoryRecord>> FRecords;
    // Records by ID - (INT32_MIN + 1): IDs are handed out densely within one filling of the table.
    std::vector<TMemoryRecord*> FRecordsByID;
};

}  // namespace kit
