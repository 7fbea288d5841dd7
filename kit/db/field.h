#pragma once

// Typed fields of a dataset: field types with the size of their value in a record, field definitions,
// and the field objects through which values are read and written as Qt values.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace kit {

class TDataSet;

// Field types with the ordinals the record layout and saved layouts rely on.
enum TFieldType : std::uint8_t {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
    ftADT = 26,
    ftOraBlob = 30,
    ftOraClob = 31,
    ftVariant = 32,
    ftGuid = 35,
};

enum TFieldKind : std::uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc };

// Whether values of the type live in blob strings beside the record rather than in a slot.
bool IsBlobType(TFieldType Type);
// Whether the type can be kept in a record (a slot or a blob).
bool IsStorableType(TFieldType Type);
// Bytes of the value part of a slot (after the flag byte); -1 for types without a slot.
int FieldValueSize(TFieldType Type, int Size);

// Native value bytes of a type from a Qt value, and back. Strings longer than the field are cut at a
// character boundary; a value that does not convert raises EDatabaseError naming the field.
QByteArray EncodeFieldValue(TFieldType Type, int Size, const QVariant& Value, const QString& FieldName);
QVariant DecodeFieldValue(TFieldType Type, int Size, const QByteArray& Bytes);

// The standard date-time text: the locale's short date, a blank and the long time; the time is left
// out when it is exactly midnight.
QString DateTimeToStr(const QDateTime& Value);

struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
};

// A value in transit between a field and a record buffer: the native bytes of its type, or, for a
// variant field, the variant itself (variants never live in raw record bytes).
struct TFieldData {
    QByteArray Bytes;
    QVariant Variant;
};

class TField {
public:
    TField(TDataSet& DataSet, const QString& FieldName, TFieldType DataType, int Size, TFieldKind FieldKind);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet& DataSet() const { return FDataSet; }
    const QString& FieldName() const { return FFieldName; }
    const QString& FullName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; }
    TFieldKind FieldKind() const { return FFieldKind; }
    bool IsCalculated() const { return FFieldKind == fkCalculated || FFieldKind == fkLookup; }
    bool IsBlob() const { return IsBlobType(FDataType); }
    // Bytes of the value in a slot.
    int DataSize() const { return FieldValueSize(FDataType, FSize); }

    // 1-based position among the data fields; 0 for calculated and lookup fields.
    int FieldNo() const { return FFieldNo; }
    // Offset of a calculated field's slot in the calculated area.
    int Offset() const { return FOffset; }
    // Blob fields are numbered 0, 1, ... in field order; -1 for other fields.
    int BlobNumber() const { return FBlobNumber; }
    // Variant fields are numbered 0, 1, ... (data fields first); -1 for other fields.
    int VariantNumber() const { return FVariantNumber; }

    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    QString DisplayLabel() const { return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel; }
    void SetDisplayLabel(const QString& Value) { FDisplayLabel = Value; }
    const QString& DisplayName() const { return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel; }
    // Column width in pixels for grids; 0 leaves it to the grid.
    int DisplayWidth() const { return FDisplayWidth; }
    void SetDisplayWidth(int Value) { FDisplayWidth = Value; }
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    bool IsNull() const;
    QVariant Value() const;  // null QVariant for a null field
    void SetValue(const QVariant& Value);
    void Clear() { SetValue(QVariant()); }
    QString AsString() const;
    void SetAsString(const QString& Value) { SetValue(Value); }
    int AsInteger() const { return Value().toInt(); }
    void SetAsInteger(int Value) { SetValue(Value); }
    qint64 AsLargeInt() const { return Value().toLongLong(); }
    double AsFloat() const { return Value().toDouble(); }
    void SetAsFloat(double Value) { SetValue(Value); }
    bool AsBoolean() const { return Value().toBool(); }
    void SetAsBoolean(bool Value) { SetValue(Value); }
    QDateTime AsDateTime() const { return Value().toDateTime(); }
    void SetAsDateTime(const QDateTime& Value) { SetValue(Value); }
    // The text a grid shows.
    QString DisplayText() const { return AsString(); }

private:
    friend class TDataSet;

    TDataSet& FDataSet;
    QString FFieldName;
    TFieldType FDataType;
    int FSize;
    TFieldKind FFieldKind;
    int FFieldNo = 0;
    int FOffset = 0;
    int FBlobNumber = -1;
    int FVariantNumber = -1;
    bool FReadOnly = false;
    bool FVisible = true;
    QString FDisplayLabel;
    int FDisplayWidth = 0;
    bool FModified = false;
};

}  // namespace kit
