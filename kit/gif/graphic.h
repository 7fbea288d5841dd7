#pragma once

// The kit's picture base: what the toolkit's picture classes offer the GIF
// and JPEG pictures (assignment, drawing, streams, clipboard, change and
// progress notification), the plain bitmap over QImage, and the registry
// through which a picture holder finds the class for a file extension, a
// clipboard format or a class name.

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "kit/draw_utils.h"
#include "kit/exception.h"
#include "kit/gif/gif_format.h"

class QIODevice;
class QMimeData;
class QPainter;

namespace kit {

// Error of a picture operation that is not possible.
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
public:
    explicit EListError(int index) : Exception(QStringLiteral("List index out of bounds (%1)").arg(index)) {}
};

// A picture format that the kit does not provide.
class ENotImplemented : public Exception {
public:
    ENotImplemented() : Exception("Feature not implemented") {}
};

static_assert(GifColorNone == clNone);

enum class TProgressStage { psStarting, psRunning, psEnding };

// What the class registry creates by name: pictures and the GIF frames.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    // The name under which the class registers for streaming.
    virtual QString ClassName() const = 0;
};

class TGraphic : public TPersistent {
public:
    using TNotifyEvent = std::function<void(TGraphic* sender)>;
    using TProgressEvent = std::function<void(TGraphic* sender, TProgressStage stage, int percent, bool redrawNow,
                                              const QRect& rect, const QString& message)>;

    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // Takes over the content of source (none empties); the default hands the
    // assignment to the source's CopyInto.
    virtual void Assign(TGraphic* source);
    // Copies this picture into dest; the default raises the cannot-assign error.
    virtual void CopyInto(TGraphic* dest);
    virtual void Draw(QPainter& canvas, const QRect& rect) = 0;
    virtual bool Equals(const TGraphic* other) const;
    virtual bool Empty() const = 0;
    virtual int Height() = 0;
    virtual int Width() = 0;
    virtual void SetHeight(int value) = 0;
    virtual void SetWidth(int value) = 0;
    virtual QList<QRgb> Palette();
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value) { FTransparent = value; }
    // Form data: a 32-bit little-endian byte count and that many bytes.
    virtual void ReadFormData(QIODevice& stream);
    virtual void WriteFormData(QIODevice& stream);
    virtual void ReadFromStream(QIODevice& stream) = 0;
    virtual void WriteToStream(QIODevice& stream) = 0;
    virtual void ReadFromClipboard(const QMimeData& data);
    virtual void WriteToClipboard(QMimeData& data);

    bool PaletteModified() const { return FPaletteModified; }
    void SetPaletteModified(bool value) { FPaletteModified = value; }

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    void Changed();
    void Progress(TProgressStage stage, int percent, const QString& message);

private:
    bool FTransparent = false;
    bool FPaletteModified = false;
};

// Raises the cannot-assign error for source and dest class names.
[[noreturn]] void RaiseCannotAssign(const QString& source, const QString& dest);

// Reads exactly count bytes, raising "Stream read error" when the stream holds fewer.
QByteArray ReadExactly(QIODevice& stream, qint64 count);
// Reads a 32-bit little-endian count and then that many bytes.
QByteArray ReadLengthPrefixed(QIODevice& stream);
void WriteLengthPrefixed(QIODevice& stream, const QByteArray& data);

// The plain bitmap: a QImage with a transparent colour.
class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    explicit TBitmap(const QImage& image) : Image(image) {}

    QString ClassName() const override { return QStringLiteral("TBitmap"); }
    void Assign(TGraphic* source) override;
    void CopyInto(TGraphic* dest) override;
    void Draw(QPainter& canvas, const QRect& rect) override;
    bool Empty() const override { return Image.isNull(); }
    int Height() override { return Image.height(); }
    int Width() override { return Image.width(); }
    void SetHeight(int value) override;
    void SetWidth(int value) override;
    QList<QRgb> Palette() override { return Image.colorTable(); }
    void ReadFromStream(QIODevice& stream) override;
    void WriteToStream(QIODevice& stream) override;
    void ReadFromClipboard(const QMimeData& data) override;
    void WriteToClipboard(QMimeData& data) override;

    bool Monochrome() const { return Image.depth() == 1; }
    // The colour shown transparent: TransparentColor, or the bottom-left pixel.
    TColor EffectiveTransparentColor() const;

    QImage Image;
    TColor TransparentColor = clNone;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
using TPersistentFactory = std::function<std::unique_ptr<TPersistent>()>;

// Where picture holders find the classes for extensions, clipboard formats
// and class names.
class TPictureRegistry {
public:
    static void RegisterFileFormat(const QString& extension, const QString& description, const QString& className,
                                   const TGraphicFactory& factory);
    static void RegisterClipboardFormat(const QString& mimeType, const QString& className,
                                        const TGraphicFactory& factory);
    static void RegisterClass(const QString& className, const TPersistentFactory& factory);
    // Removes the class's file and clipboard formats.
    static void UnregisterGraphicClass(const QString& className);

    // Null when nothing is registered.
    static std::unique_ptr<TGraphic> CreateForExtension(const QString& extension);
    static QString DescriptionOf(const QString& extension);
    static std::unique_ptr<TGraphic> CreateForClipboard(const QMimeData& data);
    static std::unique_ptr<TPersistent> CreateByClassName(const QString& className);
};

// A picture holder: loads and saves any registered picture class by file
// extension or clipboard format.
class TPicture {
public:
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);
    void LoadFromClipboard(const QMimeData& data);
    void SaveToClipboard(QMimeData& data);
    void Assign(std::unique_ptr<TGraphic> graphic) { FGraphic = std::move(graphic); }

    TGraphic* Graphic() const { return FGraphic.get(); }

private:
    std::unique_ptr<TGraphic> FGraphic;
};

}  // namespace kit
