#pragma once

#include "kit/db/memory_data.h"

namespace kit {

// Reads and writes one blob field of the table's current buffer: the row's, or, inside OnCalcFields and
// OnFilterRecord, that of the record being calculated or filtered, which need not be the record at the
// cursor. Writing works on the active buffer only (the record changes when it is posted).
class TMemBlobStream : public TBlobStream {
public:
    TMemBlobStream(TField& Field, TBlobStreamMode Mode);
    ~TMemBlobStream() override;

    qint64 Read(char* Data, qint64 Count) override;
    qint64 Write(const char* Data, qint64 Count) override;
    // Raises EDatabaseError for a position before the start; a position past the end is allowed, and a
    // later write fills the gap with zero bytes.
    qint64 Seek(qint64 Offset, TSeekOrigin Origin) override;
    qint64 Size() override;
    void Truncate() override;
    qint64 Position() const { return FPosition; }

private:
    QByteArray Blob() const;
    void EmptyBlob();
    bool Writable() const { return FOpened && FOnActiveBuffer && FMode != bmRead; }

    TField& FField;
    TMemoryData& FTable;
    TRecordBuffer* FBuffer = nullptr;
    TBlobStreamMode FMode;
    bool FOpened = false;
    bool FModified = false;
    bool FOnActiveBuffer = false;
    qint64 FPosition = 0;
};

}  // namespace kit
