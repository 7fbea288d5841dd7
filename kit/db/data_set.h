#pragma once

// The dataset framework: a dataset base class with states, field objects, one active record buffer,
// navigation, editing, events and data links. A storage class (TMemoryData) supplies the protected
// operations that keep the records; the framework calls them in the same situations every time.
//
// Use: create fields with AddField before Open; Append / set fields / Post adds a row; First, Next and
// Eof walk the rows; AfterScroll fires whenever the current row moved; OnCalcFields fills calculated
// fields whenever a row is read into a buffer. Grids attach through a data link (see db_grid.h).

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kit/db/database_error.h"
#include "kit/db/field.h"

namespace kit {

enum TDataSetState : std::uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening,
};

enum TBookmarkFlag : std::uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };
enum TGetMode : std::uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : std::uint8_t { grOK, grBOF, grEOF, grError };
enum TDataAction : std::uint8_t { daFail, daAbort, daRetry };

// A bookmark is an opaque value the storage hands out; it never equals NoBookmark.
using TBookmark = std::int64_t;
inline constexpr TBookmark NoBookmark = INT64_MIN;

// What a dataset tells its data links.
enum TDataEvent : std::uint8_t {
    deFieldChange,     // a field of the record being edited changed
    deRecordChange,    // the stored record with the bookmark was rewritten
    deRecordInserted,  // the record with the bookmark was posted as a new record
    deRecordDeleted,   // the record with the bookmark was deleted
    deDataSetScroll,   // the current record moved
    deDataSetChange,   // anything may have changed: rows, their order, their values
    deLayoutChange,    // the dataset opened or closed: fields and rows changed
};

struct TDataEventInfo {
    TBookmark Bookmark = NoBookmark;
    int RecNo = 0;  // record number of that record before the event, 0 when unknown
};

// One record buffer: the raw data area, calculated area and bookmark block, and the values that are
// kept beside the raw bytes (blob strings and variants), which are shared or copied as Qt values.
struct TRecordBuffer {
    std::vector<std::byte> Bytes;
    std::vector<QByteArray> Blobs;
    std::vector<QVariant> Variants;
};

enum TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };
enum TSeekOrigin : std::uint8_t { soBeginning, soCurrent, soEnd };

// The stream through which a blob field of a record buffer is read and written.
class TBlobStream {
public:
    TBlobStream() = default;
    TBlobStream(const TBlobStream&) = delete;
    TBlobStream& operator=(const TBlobStream&) = delete;
    virtual ~TBlobStream() = default;
    virtual qint64 Read(char* Data, qint64 Count) = 0;
    virtual qint64 Write(const char* Data, qint64 Count) = 0;
    virtual qint64 Seek(qint64 Offset, TSeekOrigin Origin) = 0;
    virtual qint64 Size() = 0;
    virtual void Truncate() = 0;
};

// Receives a dataset's data events (a grid, a data-aware control).
class TDataLink {
public:
    TDataLink() = default;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;
    virtual ~TDataLink();

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* Value);

protected:
    friend class TDataSet;
    virtual void DataEvent(TDataEvent Event, const TDataEventInfo& Info) = 0;

private:
    TDataSet* FDataSet = nullptr;
};

// Where exceptions go that a dataset cannot hand to its caller (those of a filter handler, of a field
// change event fired from a blob stream's destruction). By default they are written to the Qt log.
using TApplicationExceptionHandler = std::function<void(const std::exception&)>;
void SetApplicationExceptionHandler(TApplicationExceptionHandler Handler);
void HandleApplicationException(const std::exception& Error);

class TDataSet {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
    using TFilterRecordEvent = std::function<void(TDataSet&, bool& Accept)>;
    using TDataSetErrorEvent = std::function<void(TDataSet&, const EDatabaseError&, TDataAction&)>;

    TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;
    virtual ~TDataSet();

    // Fields. AddField creates a persistent field (only while closed); without persistent fields the
    // field definitions give default fields at open.
    TField& AddField(const QString& Name, TFieldType Type, int Size = 0, TFieldKind Kind = fkData);
    QList<TFieldDef>& FieldDefs() { return FFieldDefs; }
    int FieldCount() const { return static_cast<int>(FFields.size()); }
    TField& Fields(int Index) const { return *FFields.at(Index); }
    TField* FindField(const QString& Name) const;
    TField& FieldByName(const QString& Name) const;  // "Field '%s' not found"
    // Looks up a list of field names separated by ";".
    QList<TField*> GetFieldList(const QString& Names) const;

    // State.
    bool Active() const { return FState != dsInactive; }
    void SetActive(bool Value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return FState; }
    bool Filtered() const { return FFiltered; }
    virtual void SetFiltered(bool Value) { FFiltered = Value; }
    const TFilterRecordEvent& OnFilterRecord() const { return FOnFilterRecord; }
    virtual void SetOnFilterRecord(TFilterRecordEvent Handler) { FOnFilterRecord = std::move(Handler); }
    bool AutoCalcFields = true;

    // Navigation.
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int Distance);
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const { return FEof && FBof; }
    int RecordCount();
    int RecNo();
    void SetRecNo(int Value);
    TBookmark GetBookmark();
    void GotoBookmark(TBookmark Bookmark);
    bool BookmarkValid(TBookmark Bookmark) { return Active() && Bookmark != NoBookmark && BookmarkExists(Bookmark); }
    int CompareBookmarks(TBookmark A, TBookmark B);
    // Whether record numbers follow the rows (not while filtering).
    bool IsSequenced() { return HasSequence(); }

    // Editing.
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Posts a pending edit or insert when a field changed, else cancels it.
    void CheckBrowseMode();

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }

    // A stream on a blob field of the active record.
    virtual std::unique_ptr<TBlobStream> OpenBlobStream(TField& Field, TBlobStreamMode Mode) = 0;

    // For data links: the bookmarks of all rows in order, and one row read into a side buffer that is
    // the active record while Reader runs (the current record and the cursor do not move).
    std::vector<TBookmark> RowBookmarks();
    bool ReadRow(TBookmark Bookmark, const std::function<void()>& Reader);

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
        AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
        AfterScroll, OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

protected:
    friend class TField;
    friend class TDataLink;

    // Storage operations, called by the framework.
    virtual void ClearCalculatedArea(TRecordBuffer& Buffer) = 0;
    virtual int CountRecords() = 0;
    virtual int CurrentRecordNumber() = 0;
    virtual void PrepareRecord(TRecordBuffer& Buffer);
    virtual void StartCursor() = 0;
    virtual void MoveToRecordNumber(int Value) = 0;
    virtual TRecordBuffer NewRecordBuffer() = 0;
    virtual TBookmark ReadBookmark(const TRecordBuffer& Buffer) = 0;
    virtual TBookmarkFlag ReadBookmarkFlag(const TRecordBuffer& Buffer) = 0;
    virtual void DeleteCurrent() = 0;
    virtual void MoveBeforeFirst() = 0;
    virtual void SeekBookmark(TBookmark Bookmark) = 0;
    virtual void BlankRecord(TRecordBuffer& Buffer) = 0;
    virtual void MoveAfterLast() = 0;
    virtual void PostRecord() = 0;
    virtual void SeekBuffer(const TRecordBuffer& Buffer) = 0;
    virtual void WriteBookmarkFlag(TRecordBuffer& Buffer, TBookmarkFlag Flag) = 0;
    virtual void WriteFieldValue(TField& Field, const TFieldData* Value) = 0;
    virtual TGetResult FetchRecord(TRecordBuffer& Buffer, TGetMode Mode, bool Check) = 0;
    virtual void CloseTable() = 0;
    virtual bool BookmarkExists(TBookmark Bookmark) = 0;
    virtual int OrderBookmarks(const TBookmark* A, const TBookmark* B) = 0;
    virtual bool ReadFieldValue(const TField& Field, TFieldData* Value) = 0;
    virtual bool HasSequence() = 0;
    // Reads the record with the bookmark into the buffer without moving the cursor.
    virtual bool FetchBookmark(TBookmark Bookmark, TRecordBuffer& Buffer) = 0;
    // The bookmarks of the records a full walk would visit, in order.
    virtual std::vector<TBookmark> VisibleBookmarks() = 0;

    // Whole blob values for field objects, through blob streams.
    QByteArray ReadBlob(const TField& Field);
    void WriteBlob(TField& Field, const QByteArray& Value);

    // Framework services for the storage.
    TRecordBuffer& ActiveBuffer() { return *FActiveBuffer; }
    TRecordBuffer& TempBuffer() { return FTempBuffer; }
    TRecordBuffer* CalcBuffer() { return FCalcBuffer; }
    const std::vector<std::unique_ptr<TField>>& FieldList() const { return FFields; }
    bool HasPersistentFields() const { return FPersistentFields; }
    int CalcFieldsSize() const { return FCalcFieldsSize; }
    int BlobFieldCount() const { return FBlobFieldCount; }
    int DataVariantCount() const { return FDataVariantCount; }
    int VariantFieldCount() const { return FVariantFieldCount; }
    // Creates default fields from the definitions when there are no persistent ones.
    void CreateFields();
    // Removes the default fields the dataset created.
    void DestroyFields();
    // Numbers the fields and lays out the calculated area.
    void BindFields();
    void UnbindFields();
    // Runs OnCalcFields for the buffer in the calculating state.
    void CalculateFields(TRecordBuffer& Buffer);
    // Switches the state for a while; the guard restores it.
    class TStateGuard {
    public:
        TStateGuard(TDataSet& DataSet, TDataSetState State) : FDataSet(DataSet), FSaved(DataSet.FState) {
            DataSet.FState = State;
        }
        TStateGuard(const TStateGuard&) = delete;
        TStateGuard& operator=(const TStateGuard&) = delete;
        ~TStateGuard() { FDataSet.FState = FSaved; }

    private:
        TDataSet& FDataSet;
        TDataSetState FSaved;
    };
    // Re-reads the current record into the active buffer after the storage moved its cursor.
    void Resync();
    // Empties the buffers: the dataset shows no record.
    void ClearBuffers();
    void DataEvent(TDataEvent Event, const TDataEventInfo& Info = {});
    void DoBeforeScroll() { Notify(BeforeScroll); }
    void DoAfterScroll() { Notify(AfterScroll); }
    void CheckActive() const;
    // Closes without firing the close events: for a storage class's destructor, when the handlers'
    // owners may already be gone.
    void CloseForDestruction();

private:
    void SetState(TDataSetState Value) { FState = Value; }
    bool Editing() const { return FState == dsEdit || FState == dsInsert; }
    // Post and Cancel: whether there is an edit or insert to end (Before fired), and back to browse.
    bool BeginLeaveEdit(const TDataSetNotifyEvent& Before, bool& Inserting);
    void EndLeaveEdit();
    // The current record's bookmark and record number, for data links.
    TDataEventInfo CurrentRecordInfo();
    void OpenCursor();
    void CloseCursor();
    void BeginInsertAppend(bool Append);
    // Reads the first record (gmNext) or the last (gmPrior) into the active buffer.
    void ReadEnd(TGetMode Mode);
    // A cursor move with its scroll events and the links' notification.
    void Scroll(const std::function<void()>& Move);
    void RunWithErrorEvent(const TDataSetErrorEvent& Handler, const std::function<void()>& Operation);
    void ResetModified();
    void Notify(const TDataSetNotifyEvent& Event) {
        if (Event) {
            Event(*this);
        }
    }

    std::vector<std::unique_ptr<TField>> FFields;
    QList<TFieldDef> FFieldDefs;
    bool FPersistentFields = false;
    TDataSetState FState = dsInactive;
    bool FFiltered = false;
    TFilterRecordEvent FOnFilterRecord;
    bool FBof = true;
    bool FEof = true;
    TRecordBuffer FCurrentBuffer;
    TRecordBuffer* FActiveBuffer = &FCurrentBuffer;
    TRecordBuffer FTempBuffer;
    TRecordBuffer FRowBuffer;
    TRecordBuffer* FCalcBuffer = nullptr;
    TBookmark FSavedBookmark = NoBookmark;
    int FCalcFieldsSize = 0;
    int FBlobFieldCount = 0;
    int FDataVariantCount = 0;
    int FVariantFieldCount = 0;
    int FDisableCount = 0;
    TDataEvent FPendingEvent = deFieldChange;
    bool FEventPending = false;
    bool FHasCalcFields = false;
    bool FModified = false;
    std::vector<TDataLink*> FLinks;
};

// Detaches a dataset's controls (grids) for a while, DisableControls to
// EnableControls, on every way out: a walk over many rows does not move and
// repaint a grid at each row.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TDataSet& DataSet) : FDataSet(DataSet) { DataSet.DisableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;
    ~TControlsDisabled() { FDataSet.EnableControls(); }

private:
    TDataSet& FDataSet;
};

}  // namespace kit
