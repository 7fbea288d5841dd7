#include "kit/db/data_set.h"

#include <QtGlobal>
#include <algorithm>

namespace kit {

namespace {

TExceptionHandler& ApplicationExceptionHandler() {
    static TExceptionHandler Handler;
    return Handler;
}

}  // namespace

void SetApplicationExceptionHandler(TExceptionHandler Handler) { ApplicationExceptionHandler() = std::move(Handler); }

void HandleApplicationException(const std::exception& Error) {
    if (ApplicationExceptionHandler()) {
        ApplicationExceptionHandler()(Error);
    } else {
        qWarning("%s", Error.what());
    }
}

TDataLink::~TDataLink() { SetDataSet(nullptr); }

void TDataLink::SetDataSet(TDataSet* Value) {
    if (FDataSet == Value) {
        return;
    }
    if (FDataSet != nullptr) {
        auto& Links = FDataSet->FLinks;
        Links.erase(std::remove(Links.begin(), Links.end(), this), Links.end());
    }
    FDataSet = Value;
    if (FDataSet != nullptr) {
        FDataSet->FLinks.push_back(this);
    }
}

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
    const std::vector<TDataLink*> Links = FLinks;
    FLinks.clear();
    for (TDataLink* Link : Links) {
        Link->FDataSet = nullptr;
        Link->DataEvent(deLayoutChange, {});
    }
}

TField& TDataSet::AddField(const QString& Name, TFieldType Type, int Size, TFieldKind Kind) {
    if (Active()) {
        throw EDatabaseError("Cannot perform this operation on an open dataset");
    }
    if (!FPersistentFields) {
        FFields.clear();
    }
    FPersistentFields = true;
    FFields.push_back(std::make_unique<TField>(*this, Name, Type, Size, Kind));
    return *FFields.back();
}

TField* TDataSet::FindField(const QString& Name) const {
    for (const auto& Field : FFields) {
        if (Field->FieldName().compare(Name, Qt::CaseInsensitive) == 0) {
            return Field.get();
        }
    }
    return nullptr;
}

TField& TDataSet::FieldByName(const QString& Name) const {
    TField* Field = FindField(Name);
    if (Field == nullptr) {
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(Name));
    }
    return *Field;
}

QList<TField*> TDataSet::GetFieldList(const QString& Names) const {
    QList<TField*> Result;
    for (const QString& Name : Names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        Result.append(&FieldByName(Name.trimmed()));
    }
    return Result;
}

void TDataSet::CheckActive() const {
    if (!Active()) {
        throw EDatabaseError("Cannot perform this operation on a closed dataset");
    }
}

void TDataSet::SetActive(bool Value) {
    if (Value == Active()) {
        return;
    }
    if (Value) {
        Notify(BeforeOpen);
        OpenCursor();
        DataEvent(deLayoutChange);
        Notify(AfterOpen);
        if (!IsEmpty()) {
            Notify(AfterScroll);
        }
    } else {
        Notify(BeforeClose);
        CloseCursor();
        DataEvent(deLayoutChange);
        Notify(AfterClose);
    }
}

void TDataSet::CloseForDestruction() {
    if (Active()) {
        CloseCursor();
        DataEvent(deLayoutChange);
    }
}

void TDataSet::OpenCursor() {
    SetState(dsOpening);
    try {
        StartCursor();
    } catch (...) {
        CloseCursor();
        throw;
    }
    FCurrentBuffer = NewRecordBuffer();
    FTempBuffer = NewRecordBuffer();
    FRowBuffer = NewRecordBuffer();
    SetState(dsBrowse);
    ReadEnd(gmNext);
}

void TDataSet::CloseCursor() {
    SetState(dsInactive);
    CloseTable();
    FCurrentBuffer = {};
    FTempBuffer = {};
    FRowBuffer = {};
    FBof = FEof = true;
    FModified = false;
}

void TDataSet::CreateFields() {
    if (!FFields.empty()) {
        return;
    }
    for (const TFieldDef& Def : FFieldDefs) {
        FFields.push_back(std::make_unique<TField>(*this, Def.Name, Def.DataType, Def.Size, fkData));
    }
}

void TDataSet::DestroyFields() {
    if (!FPersistentFields) {
        FFields.clear();
    }
}

void TDataSet::BindFields() {
    int DataNo = 0;
    FBlobFieldCount = 0;
    FDataVariantCount = 0;
    FCalcFieldsSize = 0;
    FHasCalcFields = false;
    for (const auto& Field : FFields) {
        Field->FBlobNumber = -1;
        Field->FVariantNumber = -1;
        Field->FOffset = 0;
        Field->FFieldNo = 0;
        if (Field->FieldKind() == fkData || Field->FieldKind() == fkInternalCalc) {
            Field->FFieldNo = ++DataNo;
            if (Field->IsBlob()) {
                Field->FBlobNumber = FBlobFieldCount++;
            } else if (Field->DataType() == ftVariant) {
                Field->FVariantNumber = FDataVariantCount++;
            }
        }
    }
    FVariantFieldCount = FDataVariantCount;
    for (const auto& Field : FFields) {
        if (!Field->IsCalculated()) {
            continue;
        }
        if (Field->DataSize() < 0 || Field->DataType() == ftADT) {
            throw EDatabaseError(QStringLiteral("Field '%1' is of an unknown type").arg(Field->DisplayName()));
        }
        FHasCalcFields = true;
        Field->FOffset = FCalcFieldsSize;
        FCalcFieldsSize += 1 + Field->DataSize();
        if (Field->DataType() == ftVariant) {
            Field->FVariantNumber = FVariantFieldCount++;
        }
    }
}

void TDataSet::UnbindFields() {
    FCalcFieldsSize = 0;
    FBlobFieldCount = 0;
    FDataVariantCount = 0;
    FVariantFieldCount = 0;
    FHasCalcFields = false;
}

void TDataSet::CalculateFields(TRecordBuffer& Buffer) {
    if (!FHasCalcFields) {
        return;
    }
    TRecordBuffer* const Saved = FCalcBuffer;
    const TStateGuard Guard(*this, dsCalcFields);
    FCalcBuffer = &Buffer;
    try {
        ClearCalculatedArea(Buffer);
        Notify(OnCalcFields);
    } catch (...) {
        FCalcBuffer = Saved;
        throw;
    }
    FCalcBuffer = Saved;
}

void TDataSet::Resync() {
    if (FetchRecord(ActiveBuffer(), gmCurrent, false) == grOK) {
        FBof = FEof = false;
        return;
    }
    ReadEnd(gmNext);
}

void TDataSet::ReadEnd(TGetMode Mode) {
    if (Mode == gmNext) {
        MoveBeforeFirst();
    } else {
        MoveAfterLast();
    }
    if (FetchRecord(ActiveBuffer(), Mode, false) == grOK) {
        FBof = Mode == gmNext;
        FEof = !FBof;
    } else {
        ClearBuffers();
    }
}

void TDataSet::Scroll(const std::function<void()>& Move) {
    CheckBrowseMode();
    Notify(BeforeScroll);
    Move();
    DataEvent(deDataSetScroll);
    Notify(AfterScroll);
}

void TDataSet::ClearBuffers() {
    BlankRecord(ActiveBuffer());
    FBof = FEof = true;
}

void TDataSet::DataEvent(TDataEvent Event, const TDataEventInfo& Info) {
    if (Event == deFieldChange && Editing()) {
        FModified = true;
        if (AutoCalcFields) {
            CalculateFields(ActiveBuffer());
        }
    }
    if (FDisableCount > 0) {
        // Links hear one summary when the controls are enabled again.
        if (Event == deDataSetScroll && !FEventPending) {
            FPendingEvent = deDataSetScroll;
            FEventPending = true;
        } else if (Event != deFieldChange && Event != deDataSetScroll) {
            FPendingEvent = deDataSetChange;
            FEventPending = true;
        }
        return;
    }
    const std::vector<TDataLink*> Links = FLinks;
    for (TDataLink* Link : Links) {
        Link->DataEvent(Event, Info);
    }
}

void TDataSet::DisableControls() { ++FDisableCount; }

void TDataSet::EnableControls() {
    if (FDisableCount == 0 || --FDisableCount > 0 || !FEventPending) {
        return;
    }
    FEventPending = false;
    DataEvent(FPendingEvent);
}

void TDataSet::First() {
    Scroll([this] { ReadEnd(gmNext); });
}

void TDataSet::Last() {
    Scroll([this] { ReadEnd(gmPrior); });
}

int TDataSet::MoveBy(int Distance) {
    CheckBrowseMode();
    if (Distance == 0 || (Distance > 0 && FEof) || (Distance < 0 && FBof)) {
        return 0;
    }
    Notify(BeforeScroll);
    SeekBuffer(ActiveBuffer());
    const TGetMode Mode = Distance > 0 ? gmNext : gmPrior;
    int Moved = 0;
    Distance = std::abs(Distance);
    (Mode == gmNext ? FBof : FEof) = false;
    while (Moved < Distance) {
        if (FetchRecord(ActiveBuffer(), Mode, false) != grOK) {
            (Mode == gmNext ? FEof : FBof) = true;
            break;
        }
        ++Moved;
    }
    if (Moved > 0) {
        DataEvent(deDataSetScroll);
    }
    Notify(AfterScroll);
    return Mode == gmNext ? Moved : -Moved;
}

int TDataSet::RecordCount() {
    CheckActive();
    return CountRecords();
}

int TDataSet::RecNo() {
    CheckActive();
    return CurrentRecordNumber();
}

void TDataSet::SetRecNo(int Value) {
    Scroll([this, Value] {
        SeekBuffer(ActiveBuffer());
        MoveToRecordNumber(Value);
    });
}

TBookmark TDataSet::GetBookmark() {
    if (!Active() || IsEmpty() || FState == dsInsert) {
        return NoBookmark;
    }
    return ReadBookmark(ActiveBuffer());
}

void TDataSet::GotoBookmark(TBookmark Bookmark) {
    Scroll([this, Bookmark] {
        if (!IsEmpty()) {
            SeekBuffer(ActiveBuffer());
        }
        if (Bookmark != NoBookmark) {
            SeekBookmark(Bookmark);
        }
        Resync();
    });
}

int TDataSet::CompareBookmarks(TBookmark A, TBookmark B) {
    return OrderBookmarks(A == NoBookmark ? nullptr : &A, B == NoBookmark ? nullptr : &B);
}

TDataEventInfo TDataSet::CurrentRecordInfo() {
    TDataEventInfo Info;
    Info.Bookmark = GetBookmark();
    Info.RecNo = HasSequence() && !IsEmpty() ? CurrentRecordNumber() : 0;
    return Info;
}

void TDataSet::PrepareRecord(TRecordBuffer& Buffer) {
    BlankRecord(Buffer);
    ClearCalculatedArea(Buffer);
    WriteBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::ResetModified() {
    FModified = false;
    for (const auto& Field : FFields) {
        Field->FModified = false;
    }
}

void TDataSet::BeginInsertAppend(bool Append) {
    CheckBrowseMode();
    Notify(BeforeInsert);
    Notify(BeforeScroll);
    FSavedBookmark = GetBookmark();
    if (!Append && !IsEmpty()) {
        SeekBuffer(ActiveBuffer());
    }
    PrepareRecord(ActiveBuffer());
    if (Append) {
        WriteBookmarkFlag(ActiveBuffer(), bfEOF);
        FBof = false;
        FEof = true;
    } else {
        FBof = FEof = false;
    }
    SetState(dsInsert);
    ResetModified();
    try {
        Notify(OnNewRecord);
        if (AutoCalcFields) {
            CalculateFields(ActiveBuffer());
        }
    } catch (...) {
        Cancel();
        throw;
    }
    Notify(AfterInsert);
    Notify(AfterScroll);
}

void TDataSet::Append() { BeginInsertAppend(true); }

void TDataSet::Insert() { BeginInsertAppend(false); }

void TDataSet::Edit() {
    CheckActive();
    if (Editing()) {
        return;
    }
    if (IsEmpty()) {
        Append();
        return;
    }
    Notify(BeforeEdit);
    RunWithErrorEvent(OnEditError, [this] {
        SeekBuffer(ActiveBuffer());
        if (FetchRecord(ActiveBuffer(), gmCurrent, true) != grOK) {
            throw EDatabaseError("No data found");
        }
    });
    SetState(dsEdit);
    ResetModified();
    Notify(AfterEdit);
}

bool TDataSet::BeginLeaveEdit(const TDataSetNotifyEvent& Before, bool& Inserting) {
    CheckActive();
    if (!Editing()) {
        return false;
    }
    Notify(Before);
    Inserting = FState == dsInsert;
    return true;
}

void TDataSet::EndLeaveEdit() {
    SetState(dsBrowse);
    ResetModified();
}

void TDataSet::Post() {
    bool Inserting = false;
    if (!BeginLeaveEdit(BeforePost, Inserting)) {
        return;
    }
    RunWithErrorEvent(OnPostError, [this] {
        switch (ReadBookmarkFlag(ActiveBuffer())) {
            case bfEOF:
                MoveAfterLast();
                break;
            case bfBOF:
                MoveBeforeFirst();
                break;
            default:
                SeekBuffer(ActiveBuffer());
                break;
        }
        PostRecord();
    });
    EndLeaveEdit();
    Resync();
    DataEvent(Inserting ? deRecordInserted : deRecordChange, CurrentRecordInfo());
    DataEvent(deDataSetScroll);
    Notify(AfterPost);
}

void TDataSet::Cancel() {
    bool Inserting = false;
    if (!BeginLeaveEdit(BeforeCancel, Inserting)) {
        return;
    }
    EndLeaveEdit();
    if (!Inserting) {
        SeekBuffer(ActiveBuffer());
    } else if (FSavedBookmark != NoBookmark) {
        SeekBookmark(FSavedBookmark);
    } else {
        MoveBeforeFirst();
    }
    Resync();
    Notify(AfterCancel);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (Editing()) {
        if (FModified) {
            Post();
        } else {
            Cancel();
        }
    }
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert) {
        Cancel();
        return;
    }
    if (IsEmpty()) {
        throw EDatabaseError("Cannot perform this operation on an empty dataset");
    }
    CheckBrowseMode();
    Notify(BeforeDelete);
    Notify(BeforeScroll);
    SeekBuffer(ActiveBuffer());
    const TDataEventInfo Info = CurrentRecordInfo();
    RunWithErrorEvent(OnDeleteError, [this] { DeleteCurrent(); });
    Resync();
    DataEvent(deRecordDeleted, Info);
    DataEvent(deDataSetScroll);
    Notify(AfterDelete);
    Notify(AfterScroll);
}

void TDataSet::RunWithErrorEvent(const TDataSetErrorEvent& Handler, const std::function<void()>& Operation) {
    for (;;) {
        try {
            Operation();
            return;
        } catch (const EDatabaseError& Error) {
            // Only a retry goes on; an abort ends the operation like a failure, so the caller learns of it.
            TDataAction Action = daFail;
            if (Handler) {
                Handler(*this, Error, Action);
            }
            if (Action != daRetry) {
                throw;
            }
        }
    }
}

std::vector<TBookmark> TDataSet::RowBookmarks() { return Active() ? VisibleBookmarks() : std::vector<TBookmark>{}; }

bool TDataSet::ReadRow(TBookmark Bookmark, const std::function<void()>& Reader) {
    if (!Active() || Bookmark == NoBookmark || !FetchBookmark(Bookmark, FRowBuffer)) {
        return false;
    }
    TRecordBuffer* const Saved = FActiveBuffer;
    FActiveBuffer = &FRowBuffer;
    try {
        Reader();
    } catch (...) {
        FActiveBuffer = Saved;
        throw;
    }
    FActiveBuffer = Saved;
    return true;
}

QByteArray TDataSet::ReadBlob(const TField& Field) {
    const std::unique_ptr<TBlobStream> Stream = OpenBlobStream(const_cast<TField&>(Field), bmRead);
    QByteArray Result(Stream->Size(), '\0');
    Result.resize(Stream->Read(Result.data(), Result.size()));
    return Result;
}

void TDataSet::WriteBlob(TField& Field, const QByteArray& Value) {
    const std::unique_ptr<TBlobStream> Stream = OpenBlobStream(Field, bmWrite);
    Stream->Write(Value.constData(), Value.size());
}

}  // namespace kit
