#include "kit/db/mem_blob_stream.h"

#include <cstring>

namespace kit {

namespace {

TMemoryData& MemoryDataOf(TField& Field) {
    auto* Table = dynamic_cast<TMemoryData*>(&Field.DataSet());
    if (Table == nullptr) {
        throw EDatabaseError(
            QStringLiteral("Field '%1' does not belong to an in-memory table").arg(Field.DisplayName()));
    }
    return *Table;
}

}  // namespace

TMemBlobStream::TMemBlobStream(TField& Field, TBlobStreamMode Mode)
    : FField(Field), FTable(MemoryDataOf(Field)), FMode(Mode) {
    if (!Field.IsBlob() || Field.BlobNumber() < 0) {
        throw EDatabaseError(QStringLiteral("Field '%1' is not a blob field").arg(Field.DisplayName()));
    }
    FBuffer = FTable.CurrentBuffer();
    if (FBuffer == nullptr) {
        return;
    }
    if (!Field.Modified() && Mode != bmRead) {
        if (Field.ReadOnly()) {
            throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(Field.DisplayName()));
        }
        if (FTable.State() != dsEdit && FTable.State() != dsInsert) {
            throw EDatabaseError("Dataset not in edit or insert mode");
        }
    }
    FOnActiveBuffer = FBuffer == &FTable.ActiveBuffer();
    FOpened = true;
    if (Mode == bmWrite) {
        EmptyBlob();
    }
}

TMemBlobStream::~TMemBlobStream() {
    if (FOpened && FModified) {
        FField.SetModified(true);
    }
    if (FModified) {
        try {
            FTable.BlobModified();
        } catch (const std::exception& Error) {
            HandleApplicationException(Error);
        }
    }
}

QByteArray TMemBlobStream::Blob() const {
    return FOpened ? FBuffer->Blobs[static_cast<std::size_t>(FField.BlobNumber())] : QByteArray();
}

qint64 TMemBlobStream::Read(char* Data, qint64 Count) {
    const QByteArray Bytes = Blob();
    const qint64 Result = std::clamp<qint64>(std::min(Count, Bytes.size() - FPosition), 0, Count);
    if (Result > 0) {
        std::memcpy(Data, Bytes.constData() + FPosition, static_cast<std::size_t>(Result));
        FPosition += Result;
    }
    return Result;
}

qint64 TMemBlobStream::Write(const char* Data, qint64 Count) {
    if (!Writable() || Count <= 0) {
        return 0;
    }
    QByteArray Bytes = Blob();
    if (Bytes.size() < FPosition) {
        Bytes.append(QByteArray(FPosition - Bytes.size(), '\0'));
    }
    Bytes.replace(FPosition, std::min<qint64>(Count, Bytes.size() - FPosition), Data, Count);
    FTable.SetBlobData(FField, *FBuffer, Bytes);
    FPosition += Count;
    FModified = true;
    return Count;
}

qint64 TMemBlobStream::Seek(qint64 Offset, TSeekOrigin Origin) {
    qint64 Base = 0;
    if (Origin == soCurrent) {
        Base = FPosition;
    } else if (Origin == soEnd) {
        Base = Size();
    }
    if (Base + Offset < 0) {
        throw EDatabaseError(QStringLiteral("Cannot seek to position %1 of a blob").arg(Base + Offset));
    }
    FPosition = Base + Offset;
    return FPosition;
}

qint64 TMemBlobStream::Size() { return Blob().size(); }

void TMemBlobStream::Truncate() { EmptyBlob(); }

void TMemBlobStream::EmptyBlob() {
    if (Writable()) {
        FTable.SetBlobData(FField, *FBuffer, QByteArray());
        FModified = true;
    }
}

}  // namespace kit
