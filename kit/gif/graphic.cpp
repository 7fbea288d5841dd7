#include "kit/gif/graphic.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMimeData>
#include <QMutex>
#include <QPainter>
#include <QtEndian>

#include "kit/system_files.h"

namespace kit {

void RaiseCannotAssign(const QString& source, const QString& dest) {
    throw EInvalidGraphicOperation(QStringLiteral("Cannot assign a %1 to a %2").arg(source, dest));
}

void TGraphic::Assign(TGraphic* source) {
    if (!source) {
        RaiseCannotAssign(QStringLiteral("nil"), ClassName());
    }
    source->CopyInto(this);
}

void TGraphic::CopyInto(TGraphic* dest) {
    RaiseCannotAssign(ClassName(), dest ? dest->ClassName() : QStringLiteral("nil"));
}

bool TGraphic::Equals(const TGraphic* other) const { return other == this; }

QList<QRgb> TGraphic::Palette() { return {}; }

void TGraphic::ReadFormData(QIODevice& stream) {
    QByteArray data = ReadLengthPrefixed(stream);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ReadFromStream(buffer);
}

void TGraphic::WriteFormData(QIODevice& stream) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    WriteToStream(buffer);
    WriteLengthPrefixed(stream, data);
}

void TGraphic::ReadFromClipboard(const QMimeData& data) {
    Q_UNUSED(data);
    RaiseCannotAssign(QStringLiteral("clipboard"), ClassName());
}

void TGraphic::WriteToClipboard(QMimeData& data) {
    Q_UNUSED(data);
    RaiseCannotAssign(ClassName(), QStringLiteral("clipboard"));
}

void TGraphic::Changed() {
    if (OnChange) {
        OnChange(this);
    }
}

void TGraphic::Progress(TProgressStage stage, int percent, const QString& message) {
    if (OnProgress) {
        OnProgress(this, stage, percent, false, QRect(0, 0, 0, 0), message);
    }
}

QByteArray ReadExactly(QIODevice& stream, qint64 count) {
    // Check what the stream holds before allocating what a count announces.
    if (count < 0 || (!stream.isSequential() && count > stream.size() - stream.pos())) {
        throw EInvalidGraphicOperation(GifMessages::StreamRead);
    }
    QByteArray data = stream.read(count);
    if (data.size() != count) {
        throw EInvalidGraphicOperation(GifMessages::StreamRead);
    }
    return data;
}

QByteArray ReadLengthPrefixed(QIODevice& stream) {
    const QByteArray prefix = ReadExactly(stream, 4);
    return ReadExactly(stream, qFromLittleEndian<quint32>(prefix.constData()));
}

void WriteLengthPrefixed(QIODevice& stream, const QByteArray& data) {
    char prefix[4];
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), prefix);
    stream.write(prefix, 4);
    stream.write(data);
}

void TBitmap::Assign(TGraphic* source) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        Image = bitmap->Image;
        TransparentColor = bitmap->TransparentColor;
        SetTransparent(bitmap->Transparent());
        Changed();
        return;
    }
    if (!source) {
        Image = QImage();
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::CopyInto(TGraphic* dest) {
    if (dynamic_cast<TBitmap*>(dest)) {
        dest->Assign(this);
        return;
    }
    TGraphic::CopyInto(dest);
}

void TBitmap::Draw(QPainter& canvas, const QRect& rect) {
    if (Image.isNull()) {
        return;
    }
    if (!Transparent()) {
        canvas.drawImage(rect, Image);
        return;
    }
    DrawBitmapMasked(canvas, rect.x(), rect.y(), rect.width(), rect.height(), Image, 0, 0, 0, 0,
                     EffectiveTransparentColor());
}

void TBitmap::SetHeight(int value) {
    Image = Image.copy(0, 0, Image.width(), value);
    Changed();
}

void TBitmap::SetWidth(int value) {
    Image = Image.copy(0, 0, value, Image.height());
    Changed();
}

void TBitmap::ReadFromStream(QIODevice& stream) {
    QImage image;
    if (!image.load(&stream, "BMP")) {
        throw EInvalidGraphicOperation("Bitmap image is not valid");
    }
    Image = image;
    Changed();
}

void TBitmap::WriteToStream(QIODevice& stream) {
    if (!Image.save(&stream, "BMP")) {
        throw EInvalidGraphicOperation("Bitmap image is not valid");
    }
}

void TBitmap::ReadFromClipboard(const QMimeData& data) {
    if (!data.hasImage()) {
        throw EInvalidGraphicOperation("Unsupported clipboard format");
    }
    Image = qvariant_cast<QImage>(data.imageData());
    Changed();
}

void TBitmap::WriteToClipboard(QMimeData& data) { data.setImageData(Image); }

TColor TBitmap::EffectiveTransparentColor() const {
    if (TransparentColor != clNone || Image.isNull()) {
        return TransparentColor;
    }
    return FromQColor(Image.pixelColor(0, Image.height() - 1));
}

namespace {

struct FileFormat {
    QString Description;
    QString ClassName;
    TGraphicFactory Factory;
};

struct ClassEntry {
    QString ClassName;
    TGraphicFactory Factory;
};

struct Registry {
    QMutex Lock;
    QMap<QString, FileFormat> Extensions;             // lower-case extension without the dot
    QList<std::pair<QString, ClassEntry>> Clipboard;  // MIME type -> class, in registration order
    QMap<QString, TPersistentFactory> Classes;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

QString NormalExtension(const QString& extension) {
    QString result = extension.toLower();
    if (result.startsWith(QLatin1Char('.'))) {
        result.remove(0, 1);
    }
    return result;
}

}  // namespace

void TPictureRegistry::RegisterFileFormat(const QString& extension, const QString& description,
                                          const QString& className, const TGraphicFactory& factory) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    registry.Extensions.insert(NormalExtension(extension), {description, className, factory});
}

void TPictureRegistry::RegisterClipboardFormat(const QString& mimeType, const QString& className,
                                               const TGraphicFactory& factory) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    registry.Clipboard.append({mimeType, {className, factory}});
}

void TPictureRegistry::RegisterClass(const QString& className, const TPersistentFactory& factory) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    registry.Classes.insert(className, factory);
}

void TPictureRegistry::UnregisterGraphicClass(const QString& className) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    registry.Extensions.removeIf(
        [&](QMap<QString, FileFormat>::iterator entry) { return entry.value().ClassName == className; });
    registry.Clipboard.removeIf([&](const auto& entry) { return entry.second.ClassName == className; });
}

std::unique_ptr<TGraphic> TPictureRegistry::CreateForExtension(const QString& extension) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    auto found = registry.Extensions.constFind(NormalExtension(extension));
    return found == registry.Extensions.constEnd() ? nullptr : found->Factory();
}

QString TPictureRegistry::DescriptionOf(const QString& extension) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    return registry.Extensions.value(NormalExtension(extension)).Description;
}

std::unique_ptr<TGraphic> TPictureRegistry::CreateForClipboard(const QMimeData& data) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    for (const auto& [mimeType, entry] : registry.Clipboard) {
        if (data.hasFormat(mimeType)) {
            return entry.Factory();
        }
    }
    return nullptr;
}

std::unique_ptr<TPersistent> TPictureRegistry::CreateByClassName(const QString& className) {
    Registry& registry = TheRegistry();
    QMutexLocker locker(&registry.Lock);
    auto found = registry.Classes.constFind(className);
    return found == registry.Classes.constEnd() ? nullptr : (*found)();
}

void TPicture::LoadFromFile(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix();
    auto graphic = TPictureRegistry::CreateForExtension(extension);
    if (!graphic) {
        throw EInvalidGraphicOperation(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    }
    graphic->ReadFromStream(file);
    FGraphic = std::move(graphic);
}

void TPicture::SaveToFile(const QString& fileName) {
    if (!FGraphic) {
        return;
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    FGraphic->WriteToStream(buffer);
    // Replaced whole or not at all: a failed write keeps the old picture.
    if (const int error = ReplaceFile(fileName, data); error != 0) {
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, SystemErrorText(error)));
    }
}

void TPicture::LoadFromClipboard(const QMimeData& data) {
    auto graphic = TPictureRegistry::CreateForClipboard(data);
    if (!graphic && data.hasImage()) {
        graphic = std::make_unique<TBitmap>();
    }
    if (!graphic) {
        throw EInvalidGraphicOperation("Unsupported clipboard format");
    }
    graphic->ReadFromClipboard(data);
    FGraphic = std::move(graphic);
}

void TPicture::SaveToClipboard(QMimeData& data) {
    if (FGraphic) {
        FGraphic->WriteToClipboard(data);
    }
}

}  // namespace kit
