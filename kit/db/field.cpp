#include "kit/db/field.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUuid>
#include <cstring>
#include <ctime>
#include <optional>

#include "kit/db/data_set.h"

namespace kit {

namespace {

template <typename T>
QByteArray RawBytes(T Value) {
    return QByteArray(reinterpret_cast<const char*>(&Value), sizeof(T));
}

template <typename T>
T FromRawBytes(const QByteArray& Bytes) {
    T Value{};
    std::memcpy(&Value, Bytes.constData(), std::min<std::size_t>(sizeof(T), static_cast<std::size_t>(Bytes.size())));
    return Value;
}

// The instant as local time. Qt's own local time re-reads the system's time
// zone at every conversion (a file status call each time), which outweighs
// everything else in a walk over many rows; the C library keeps the zone it
// read, and Qt re-reads it whenever it converts a time of its own (the clock's
// current time, for one). The result carries the zone's offset at that
// instant, so it is the same local date and time.
QDateTime LocalDateTime(qint64 Msecs) {
    const std::time_t Seconds = static_cast<std::time_t>(Msecs / 1000 - (Msecs % 1000 < 0 ? 1 : 0));
    std::tm Local{};
    if (localtime_r(&Seconds, &Local) == nullptr) {
        return QDateTime::fromMSecsSinceEpoch(Msecs);
    }
    return QDateTime::fromMSecsSinceEpoch(Msecs, Qt::OffsetFromUTC, static_cast<int>(Local.tm_gmtoff));
}

// UTF-8 of the text, cut to at most Limit bytes without splitting a character, zero-padded to Width.
QByteArray Utf8Slot(const QString& Text, int Limit, int Width) {
    QByteArray Bytes = Text.toUtf8();
    if (Bytes.size() > Limit) {
        qsizetype Cut = Limit;
        while (Cut > 0 && (static_cast<unsigned char>(Bytes[Cut]) & 0xC0) == 0x80) {
            --Cut;
        }
        Bytes.truncate(Cut);
    }
    Bytes.append(QByteArray(Width - Bytes.size(), '\0'));
    return Bytes;
}

QString Utf8FromSlot(const QByteArray& Bytes) {
    return QString::fromUtf8(Bytes.constData(), static_cast<qsizetype>(qstrnlen(Bytes.constData(), Bytes.size())));
}

[[noreturn]] void RaiseConversion(const QVariant& Value, const QString& FieldName) {
    throw EDatabaseError(QStringLiteral("'%1' is not a valid value for field '%2'").arg(Value.toString(), FieldName));
}

template <typename T>
T ToInteger(const QVariant& Value, const QString& FieldName) {
    bool Ok = false;
    const qlonglong Number = Value.toLongLong(&Ok);
    if (!Ok || Number < std::numeric_limits<T>::min() || Number > std::numeric_limits<T>::max()) {
        RaiseConversion(Value, FieldName);
    }
    return static_cast<T>(Number);
}

double ToDouble(const QVariant& Value, const QString& FieldName) {
    bool Ok = false;
    const double Number = Value.toDouble(&Ok);
    if (!Ok) {
        RaiseConversion(Value, FieldName);
    }
    return Number;
}

QDateTime ToDateTime(const QVariant& Value, const QString& FieldName) {
    QDateTime Result = Value.toDateTime();
    if (!Result.isValid()) {
        RaiseConversion(Value, FieldName);
    }
    return Result;
}

}  // namespace

bool IsBlobType(TFieldType Type) {
    return (Type >= ftBlob && Type <= ftTypedBinary) || Type == ftOraBlob || Type == ftOraClob;
}

bool IsStorableType(TFieldType Type) { return IsBlobType(Type) || FieldValueSize(Type, 0) >= 0; }

int FieldValueSize(TFieldType Type, int Size) {
    switch (Type) {
        case ftString:
        case ftFixedChar:
            return Size + 1;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftDate:
        case ftTime:
        case ftAutoInc:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftBCD:
            return 34;
        case ftBytes:
            return Size;
        case ftVarBytes:
            return Size + 2;
        case ftWideString:
            return 2 * (Size + 1);
        case ftADT:
            return 0;
        case ftVariant:
            return 16;
        case ftGuid:
            return 39;
        default:
            return -1;
    }
}

QByteArray EncodeFieldValue(TFieldType Type, int Size, const QVariant& Value, const QString& FieldName) {
    const int Width = FieldValueSize(Type, Size);
    switch (Type) {
        case ftString:
        case ftFixedChar:
            return Utf8Slot(Value.toString(), Size, Width);
        case ftGuid:
            return Utf8Slot(Value.toString(), Width - 1, Width);
        case ftBCD:  // kept as the decimal text of the number
            return Utf8Slot(QString::number(ToDouble(Value, FieldName), 'g', 17), Width - 1, Width);
        case ftWideString: {
            const QString Text = Value.toString().left(Size);
            QByteArray Bytes(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
            Bytes.append(QByteArray(Width - Bytes.size(), '\0'));
            return Bytes;
        }
        case ftSmallint:
            return RawBytes(ToInteger<std::int16_t>(Value, FieldName));
        case ftWord:
            return RawBytes(ToInteger<std::uint16_t>(Value, FieldName));
        case ftBoolean:
            return RawBytes(static_cast<std::int16_t>(Value.toBool() ? 1 : 0));
        case ftInteger:
        case ftAutoInc:
            return RawBytes(ToInteger<std::int32_t>(Value, FieldName));
        case ftLargeint:
            return RawBytes(ToInteger<std::int64_t>(Value, FieldName));
        case ftFloat:
        case ftCurrency:
            return RawBytes(ToDouble(Value, FieldName));
        case ftDate:
            return RawBytes(static_cast<std::int32_t>(ToDateTime(Value, FieldName).date().toJulianDay()));
        case ftTime: {
            const QTime Time =
                Value.typeId() == QMetaType::QTime ? Value.toTime() : ToDateTime(Value, FieldName).time();
            return RawBytes(static_cast<std::int32_t>(Time.msecsSinceStartOfDay()));
        }
        case ftDateTime:
            return RawBytes(static_cast<double>(ToDateTime(Value, FieldName).toMSecsSinceEpoch()));
        case ftBytes:
            return Value.toByteArray().left(Size).leftJustified(Size, '\0');
        case ftVarBytes: {
            const QByteArray Data = Value.toByteArray().left(Size);
            return RawBytes(static_cast<std::uint16_t>(Data.size())) + Data.leftJustified(Size, '\0');
        }
        default:
            return QByteArray(std::max(Width, 0), '\0');
    }
}

QVariant DecodeFieldValue(TFieldType Type, int Size, const QByteArray& Bytes) {
    switch (Type) {
        case ftString:
        case ftFixedChar:
        case ftGuid:
            return Utf8FromSlot(Bytes);
        case ftBCD:
            return Utf8FromSlot(Bytes).toDouble();
        case ftWideString: {
            const auto* Chars = reinterpret_cast<const char16_t*>(Bytes.constData());
            qsizetype Length = 0;
            while (Length < Size && Chars[Length] != 0) {
                ++Length;
            }
            return QString::fromUtf16(Chars, Length);
        }
        case ftSmallint:
            return FromRawBytes<std::int16_t>(Bytes);
        case ftWord:
            return FromRawBytes<std::uint16_t>(Bytes);
        case ftBoolean:
            return FromRawBytes<std::int16_t>(Bytes) != 0;
        case ftInteger:
        case ftAutoInc:
            return FromRawBytes<std::int32_t>(Bytes);
        case ftLargeint:
            return static_cast<qlonglong>(FromRawBytes<std::int64_t>(Bytes));
        case ftFloat:
        case ftCurrency:
            return FromRawBytes<double>(Bytes);
        case ftDate:
            return QDate::fromJulianDay(FromRawBytes<std::int32_t>(Bytes));
        case ftTime:
            return QTime::fromMSecsSinceStartOfDay(FromRawBytes<std::int32_t>(Bytes));
        case ftDateTime:
            return LocalDateTime(static_cast<qint64>(FromRawBytes<double>(Bytes)));
        case ftBytes:
            return Bytes.left(Size);
        case ftVarBytes:
            return Bytes.mid(2, std::min<int>(FromRawBytes<std::uint16_t>(Bytes), Size));
        default:
            return {};
    }
}

QString DateTimeToStr(const QDateTime& Value) {
    // The two formats are worked out once per locale: building them costs
    // several times what formatting with them does, and the card list formats
    // a time for every row it shows or saves.
    struct TFormats {
        QLocale Locale;
        QString Date;
        QString DateAndTime;
    };
    thread_local std::optional<TFormats> Cached;
    const QLocale Locale;
    if (!Cached || Cached->Locale != Locale) {
        // The long time format without its time zone: the text is the local time.
        QString Time = Locale.timeFormat(QLocale::LongFormat);
        Time.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
        const QString Date = Locale.dateFormat(QLocale::ShortFormat);
        Cached = TFormats{Locale, Date, Date + QLatin1Char(' ') + Time.trimmed()};
    }
    return Locale.toString(Value, Value.time() == QTime(0, 0) ? Cached->Date : Cached->DateAndTime);
}

TField::TField(TDataSet& DataSet, const QString& FieldName, TFieldType DataType, int Size, TFieldKind FieldKind)
    : FDataSet(DataSet), FFieldName(FieldName), FDataType(DataType), FSize(Size), FFieldKind(FieldKind) {}

bool TField::IsNull() const {
    if (IsBlob()) {
        return FDataSet.ReadBlob(*this).isEmpty();
    }
    return !FDataSet.ReadFieldValue(*this, nullptr);
}

QVariant TField::Value() const {
    if (IsBlob()) {
        const QByteArray Blob = FDataSet.ReadBlob(*this);
        return Blob.isEmpty() ? QVariant() : QVariant(Blob);
    }
    TFieldData Data;
    if (!FDataSet.ReadFieldValue(*this, &Data)) {
        return {};
    }
    return FDataType == ftVariant ? Data.Variant : DecodeFieldValue(FDataType, FSize, Data.Bytes);
}

void TField::SetValue(const QVariant& Value) {
    if (IsBlob()) {
        FDataSet.WriteBlob(*this, Value.toByteArray());
        return;
    }
    if (Value.isNull()) {
        FDataSet.WriteFieldValue(*this, nullptr);
        return;
    }
    TFieldData Data;
    if (FDataType == ftVariant) {
        Data.Variant = Value;
    } else {
        Data.Bytes = EncodeFieldValue(FDataType, FSize, Value, DisplayName());
    }
    FDataSet.WriteFieldValue(*this, &Data);
}

QString TField::AsString() const {
    if (IsBlob()) {
        return QString::fromUtf8(FDataSet.ReadBlob(*this));
    }
    const QVariant V = Value();
    if (FDataType == ftDateTime && !V.isNull()) {
        return DateTimeToStr(V.toDateTime());
    }
    return V.toString();
}

}  // namespace kit
