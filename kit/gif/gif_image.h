#pragma once

// The kit's GIF picture: a list of frames over the GIF core, each decoded to
// a QImage (indexed or monochrome) on first use, with the encoded data kept so
// that writing reproduces what was read. Images and frames assigned from one
// another share their data; the first write to shared data detaches it.
//
// A GIF written back keeps the logical screen size it was read with: the
// screen grows to hold every frame but, rather than shrinking to the frames'
// extent, keeps a larger size it had.

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QImage>
#include <QPoint>
#include <QSharedData>
#include <QSharedDataPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/gif/gif_format.h"
#include "kit/gif/graphic.h"

namespace kit {

class TGIFImage;

// Kit settings.
extern bool TolerateDamagedGif;         // damaged data mark the frame instead of raising
extern uint8_t DefaultReductionMethod;  // colour reduction used when encoding true-colour frames
// The private clipboard format of the length-prefixed GIF ("GIF Image").
extern const QString GifClipboardFormat;

// Image-wide data that images share: comment, aspect byte, global table.
class TGIFData : public QSharedData {
public:
    std::vector<std::string> CommentLines;
    uint8_t AspectByte = 0;
    uint8_t TableBits = 0;
    uint8_t ColorResolution = 0;
    GifColorTable ColorTable;
};

// Per-frame data that frames share: encoded data, size, colour table.
class TGIFItem : public QSharedData {
public:
    GifItemData Data;
};

class TGIFFrame : public TPersistent {
public:
    explicit TGIFFrame(TGIFImage* owner);
    TGIFFrame(const TGIFFrame&) = delete;
    TGIFFrame& operator=(const TGIFFrame&) = delete;
    ~TGIFFrame() override;

    QString ClassName() const override { return QStringLiteral("TGIFFrame"); }

    // Assignment from none (nullptr), another frame, a GIF image or any picture.
    void Assign(TGIFFrame* source);
    void Assign(TGraphic* source);
    void CopyInto(TGraphic* dest);
    void CopyInto(TGIFFrame* dest) { dest->Assign(this); }

    // The decoded bitmap, decoding it when needed (null when there is nothing to decode).
    const QImage& EnsureBitmap();
    bool HasBitmap() const { return FDecodedBitmap.has_value(); }
    int FrameWidth();
    int FrameHeight();
    void DrawFrame(QPainter& canvas, const QRect& rect, bool transparent);

    QPoint Origin() const { return {FData.Left, FData.Top}; }
    void SetOrigin(QPoint origin);
    uint32_t DelayMs() const { return FData.DelayMs; }
    void SetDelayMs(uint32_t value) { FData.DelayMs = value; }
    uint8_t DisposalMode() const { return FData.DisposalMode; }
    void SetDisposalMode(uint8_t value) { FData.DisposalMode = value & 7; }
    TColor TransparentKey() const { return FData.TransparentKey; }
    void SetTransparentKey(TColor value);
    bool IsInterlaced() const { return FData.IsInterlaced; }
    bool IsDamaged() const { return FData.IsDamaged; }
    bool GrayReduced() const { return FGrayReduced; }
    void SetGrayReduced(bool value) { FGrayReduced = value; }
    bool OwnColorTable() const { return FData.OwnColorTable; }
    void SetOwnColorTable(bool value) { FData.OwnColorTable = value; }

    // Lines of the frame's last comment extension (empty when there is none).
    std::vector<std::string> FrameComment() const;
    void SetFrameComment(const std::vector<std::string>& lines);

    const GifFrameData& Data() const { return FData; }
    const TGIFItem& Item() const { return *FSharedItem.constData(); }
    bool SharesItemWith(const TGIFFrame& other) const { return FSharedItem == other.FSharedItem; }
    TGIFImage* OwnerImage() const { return FOwnerImage; }

private:
    friend class TGIFImage;

    void ResetItem();
    void ReplaceBitmap(const QImage& image);
    void AssignGraphic(TGraphic* source);
    // Item data for writing; detaches a shared item.
    GifItemData& MutableItem() { return FSharedItem->Data; }
    void EncodeFromBitmap();
    void EncodeFromDib(const QByteArray& dib);
    const QImage& MaskedBitmap();

    TGIFImage* FOwnerImage;
    std::optional<QImage> FDecodedBitmap;
    std::optional<QImage> FMaskedBitmap;  // drawing copy with the key colour see-through
    QSharedDataPointer<TGIFItem> FSharedItem;
    GifFrameData FData;
    bool FGrayReduced = false;
};

class TGIFImage : public TGraphic {
public:
    TGIFImage();
    ~TGIFImage() override;

    QString ClassName() const override { return QStringLiteral("TGIFImage"); }
    void Assign(TGraphic* source) override;
    void CopyInto(TGraphic* dest) override;
    void Draw(QPainter& canvas, const QRect& rect) override;
    bool Equals(const TGraphic* other) const override;
    bool Empty() const override;
    int Height() override;
    int Width() override;
    void SetHeight(int value) override;
    void SetWidth(int value) override;
    QList<QRgb> Palette() override;
    bool Transparent() const override;
    void ReadFormData(QIODevice& stream) override;
    void WriteFormData(QIODevice& stream) override;
    void ReadFromStream(QIODevice& stream) override;
    void WriteToStream(QIODevice& stream) override;
    void ReadFromClipboard(const QMimeData& data) override;
    void WriteToClipboard(QMimeData& data) override;
    // Appends a frame assigned from graphic and makes it active; returns its index.
    virtual int AppendFrame(TGraphic* graphic);
    // Makes the image a one-frame image of source (sharing its item).
    void AssignFrame(TGIFFrame* source);

    int FrameCount() const { return static_cast<int>(FFrameList.size()); }
    // Raises the list-index error for an index out of range.
    TGIFFrame* FrameAt(int index) const;
    int ActiveFrameIndex() const { return FActiveFrameIndex; }
    void SetActiveFrameIndex(int index) { FActiveFrameIndex = index; }
    uint16_t LogicalWidth() const { return FFrameList.empty() ? 0 : FLogicalWidth; }
    uint16_t LogicalHeight() const { return FFrameList.empty() ? 0 : FLogicalHeight; }
    TColor ScreenBackground() const { return FScreenBackground; }
    void SetScreenBackground(TColor color) { FScreenBackground = color; }
    bool LoopEnabled() const { return FLoopEnabled; }
    void SetLoopEnabled(bool value) { FLoopEnabled = value; }
    uint16_t LoopCount() const { return FLoopCount; }
    void SetLoopCount(uint16_t value) { FLoopCount = value; }
    uint8_t FormatVersion() const { return FFormatVersion; }

    const TGIFData& GlobalData() const { return *FGlobalData; }
    // For writing: detaches shared data first.
    TGIFData& MutableGlobalData() { return *FGlobalData; }

    // The active frame's bitmap (frame 0's when the index is out of range);
    // an image without frames gets one empty frame first.
    const QImage& ActiveBitmap();
    void RecalcLogicalSize();
    void ReportProgress(TProgressStage stage, int percent, const QString& message);
    // The core's progress callback, reporting through ReportProgress.
    GifProgress ProgressTarget();

    // The GIF as bytes, with or without the 32-bit length prefix.
    QByteArray EmitGif(bool withLength);
    // Replaces the content with the GIF in data; decodes frame 0 when asked.
    void ParseGif(const QByteArray& data, bool decodeFirst);

private:
    friend class TGIFFrame;

    void ResetImage();
    void ClearFrames();
    // Right and bottom edge of the frames furthest out.
    QSize FrameExtent() const;
    void EncodePendingFrames();
    void AssignImage(TGIFImage* source);

    QSharedDataPointer<TGIFData> FGlobalData;
    uint8_t FFormatVersion = 0;
    std::vector<std::unique_ptr<TGIFFrame>> FFrameList;
    int FActiveFrameIndex = -1;
    uint16_t FLogicalWidth = 0;
    uint16_t FLogicalHeight = 0;
    TColor FScreenBackground = clNone;
    bool FLoopEnabled = false;
    uint16_t FLoopCount = 1;
};

// Start-up and shut-down of the GIF picture: registers the frame and image
// classes for streaming by name, the "gif" extension ("CompuServe GIF Image")
// and GifClipboardFormat with the image class; unregistering removes the
// image class from the picture holder. The clipboard format itself needs no
// registration: Qt names clipboard formats by MIME type.
void RegisterGifImage();
void UnregisterGifImage();

}  // namespace kit
