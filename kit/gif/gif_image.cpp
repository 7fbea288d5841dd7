#include "kit/gif/gif_image.h"

#include <QBuffer>
#include <QMimeData>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "kit/gif/kit_graph.h"
#include "kit/gif/lzw_codec.h"

namespace kit {

bool TolerateDamagedGif = true;
uint8_t DefaultReductionMethod = rmHistogram;
const QString GifClipboardFormat = QStringLiteral("application/x-qt-windows-mime;value=\"GIF Image\"");

namespace {

// Runs body, turning the core's errors into the kit's picture error.
template <typename Body>
auto Guarded(Body body) {
    try {
        return body();
    } catch (const EGifError& error) {
        throw EInvalidGraphicOperation(error.what());
    }
}

uint32_t ReadLe32(const uint8_t* data) {
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

}  // namespace

TGIFFrame::TGIFFrame(TGIFImage* owner) : FOwnerImage(owner) { ResetItem(); }

TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::ResetItem() {
    FSharedItem = new TGIFItem;
    FGrayReduced = false;
    FData.IsDamaged = false;
    FData.TransparentKey = clNone;
    FData.TransparentIndex = -1;
    FData.Left = FData.Top = 0;
    FData.IsInterlaced = false;
    FData.OwnColorTable = false;
    FData.DelayMs = 0;
    FData.DisposalMode = 0;
}

void TGIFFrame::ReplaceBitmap(const QImage& image) {
    FDecodedBitmap = image;
    FMaskedBitmap.reset();
}

void TGIFFrame::SetOrigin(QPoint origin) {
    FData.Left = origin.x();
    FData.Top = origin.y();
}

void TGIFFrame::SetTransparentKey(TColor value) {
    FData.TransparentKey = ColorToRGB(value);
    FMaskedBitmap.reset();
}

void TGIFFrame::Assign(TGIFFrame* source) {
    if (source == this) {
        return;
    }
    if (!source) {
        ResetItem();
        FDecodedBitmap.reset();
        FMaskedBitmap.reset();
    } else {
        FSharedItem = source->FSharedItem;
        FData.OwnColorTable = source->FOwnerImage == FOwnerImage ? source->FData.OwnColorTable : true;
        FData.Left = source->FData.Left;
        FData.Top = source->FData.Top;
        FData.IsInterlaced = source->FData.IsInterlaced;
        // A bitmap of this frame's old item would not match the shared item.
        FDecodedBitmap = source->FDecodedBitmap;
        FMaskedBitmap.reset();
        FData.TransparentKey = source->FData.TransparentKey;
        FData.TransparentIndex = source->FData.TransparentIndex;
        FData.DelayMs = source->FData.DelayMs;
        FData.DisposalMode = source->FData.DisposalMode;
        FGrayReduced = source->FGrayReduced;
        FData.IsDamaged = source->FData.IsDamaged;
        const auto comment = source->FrameComment();
        if (!comment.empty()) {
            SetFrameComment(comment);
        }
    }
    if (FOwnerImage) {
        FOwnerImage->RecalcLogicalSize();
    }
}

void TGIFFrame::Assign(TGraphic* source) {
    if (!source) {
        Assign(static_cast<TGIFFrame*>(nullptr));
        return;
    }
    if (auto* image = dynamic_cast<TGIFImage*>(source)) {
        Assign(image->FrameCount() == 0 ? nullptr : image->FrameAt(std::max(image->ActiveFrameIndex(), 0)));
        return;
    }
    AssignGraphic(source);
}

void TGIFFrame::AssignGraphic(TGraphic* source) {
    if (source->Empty()) {
        Assign(static_cast<TGIFFrame*>(nullptr));
        return;
    }
    ResetItem();
    bool drawn = false;
    TBitmap bitmap;
    try {
        bitmap.Assign(source);
    } catch (const std::exception&) {
        // Pictures that cannot become a bitmap are drawn on fuchsia instead.
        bitmap.Image = QImage(source->Width(), source->Height(), QImage::Format_RGB32);
        bitmap.Image.fill(QColor(0xFF, 0x00, 0xFF));
        QPainter painter(&bitmap.Image);
        source->Draw(painter, QRect(0, 0, source->Width(), source->Height()));
        drawn = true;
    }
    ReplaceBitmap(bitmap.Image);
    if (source->Transparent()) {
        auto* sourceBitmap = dynamic_cast<TBitmap*>(source);
        SetTransparentKey(sourceBitmap ? sourceBitmap->EffectiveTransparentColor() : drawn ? 0xFF00FF : 0xFFFFFF);
    }
    if (FOwnerImage) {
        FOwnerImage->RecalcLogicalSize();
    }
}

void TGIFFrame::CopyInto(TGraphic* dest) {
    if (!dest) {
        RaiseCannotAssign(QStringLiteral("TGIFFrame"), QStringLiteral("nil"));
    }
    if (auto* image = dynamic_cast<TGIFImage*>(dest)) {
        image->AssignFrame(this);
        return;
    }
    TBitmap bitmap(EnsureBitmap());
    dest->Assign(&bitmap);
    if (auto* destBitmap = dynamic_cast<TBitmap*>(dest); destBitmap && FData.TransparentKey != clNone) {
        destBitmap->TransparentColor = ColorToRGB(FData.TransparentKey);
        destBitmap->SetTransparent(true);
    }
}

const QImage& TGIFFrame::EnsureBitmap() {
    if (FDecodedBitmap && !FDecodedBitmap->isNull()) {
        return *FDecodedBitmap;
    }
    ReplaceBitmap(QImage());
    const GifItemData& item = Item().Data;
    if (item.EncodedData.empty()) {
        return *FDecodedBitmap;
    }
    const int tableBits = item.TableBits;
    if (tableBits < 1 || tableBits > 8) {
        throw EInvalidGraphicOperation(GifMessages::WrongColorCount);
    }
    Guarded([&] { CheckGifPixelCount(item.Width, item.Height); });
    if (item.Width <= 0 || item.Height <= 0) {
        FData.IsDamaged = true;
        return *FDecodedBitmap;
    }
    const int depth = tableBits == 1 ? 1 : tableBits <= 4 ? 4 : 8;
    QImage image(item.Width, item.Height, depth == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    if (image.isNull()) {
        throw EInvalidGraphicOperation(GifMessages::TooLarge);
    }
    image.fill(0);
    QList<QRgb> colors(1 << depth, qRgb(0x80, 0x80, 0x80));
    for (int i = 0; i < std::min<int>(item.ColorTable.Count, colors.size()); ++i) {
        colors[i] = ToQColor(item.ColorTable.ColorAt(i)).rgb();
    }
    image.setColorTable(colors);
    const PixelPlane plane{image.bits(), image.bytesPerLine(), image.width(), image.height(), depth == 1 ? 1 : 8};
    const GifProgress progress = FOwnerImage ? FOwnerImage->ProgressTarget() : GifProgress{};
    FData.IsDamaged |= Guarded([&] {
        return LzwDecode(item.EncodedData, plane, FData.IsInterlaced, tableBits, TolerateDamagedGif, progress);
    });
    ReplaceBitmap(image);
    return *FDecodedBitmap;
}

int TGIFFrame::FrameWidth() {
    if (!FDecodedBitmap && Item().Data.EncodedData.empty()) {
        return 0;
    }
    return EnsureBitmap().width();
}

int TGIFFrame::FrameHeight() {
    if (!FDecodedBitmap && Item().Data.EncodedData.empty()) {
        return 0;
    }
    return EnsureBitmap().height();
}

const QImage& TGIFFrame::MaskedBitmap() {
    if (!FMaskedBitmap) {
        const QImage& bitmap = EnsureBitmap();
        const QRgb key = ToQColor(FData.TransparentKey).rgb();
        QImage masked;
        if (bitmap.colorCount() > 0) {
            // Indexed: make every table entry of the key colour see-through.
            masked = bitmap.convertToFormat(QImage::Format_Indexed8);
            QList<QRgb> colors = masked.colorTable();
            for (QRgb& color : colors) {
                if ((color | 0xFF000000u) == key) {
                    color = 0;
                }
            }
            masked.setColorTable(colors);
            masked = masked.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        } else {
            TBitmap copy(bitmap);
            masked = QImage(bitmap.size(), QImage::Format_ARGB32_Premultiplied);
            masked.fill(Qt::transparent);
            QPainter painter(&masked);
            copy.TransparentColor = FData.TransparentKey;
            copy.SetTransparent(true);
            copy.Draw(painter, masked.rect());
        }
        FMaskedBitmap = masked;
    }
    return *FMaskedBitmap;
}

void TGIFFrame::DrawFrame(QPainter& canvas, const QRect& rect, bool transparent) {
    const QImage& bitmap = EnsureBitmap();
    if (bitmap.isNull()) {
        return;
    }
    canvas.drawImage(rect, transparent && FData.TransparentKey != clNone ? MaskedBitmap() : bitmap);
}

std::vector<std::string> TGIFFrame::FrameComment() const {
    for (auto it = FData.Extensions.rbegin(); it != FData.Extensions.rend(); ++it) {
        if (it->Kind == ekComment) {
            return it->SubBlocks;
        }
    }
    return {};
}

void TGIFFrame::SetFrameComment(const std::vector<std::string>& lines) {
    for (auto it = FData.Extensions.rbegin(); it != FData.Extensions.rend(); ++it) {
        if (it->Kind == ekComment) {
            it->SubBlocks = lines;
            return;
        }
    }
    TExtension comment;
    comment.Kind = ekComment;
    comment.SubBlocks = lines;
    FData.Extensions.push_back(std::move(comment));
}

void TGIFFrame::EncodeFromBitmap() {
    if (!FDecodedBitmap || FDecodedBitmap->isNull()) {
        throw EInvalidGraphicOperation(GifMessages::NoData);
    }
    const QImage& bitmap = *FDecodedBitmap;
    const TPixelFormat format = KitGraph::BitmapPixelFormat(bitmap);
    QByteArray dib;
    if (format == pf1bit || format == pf4bit || format == pf8bit) {
        dib = KitGraph::BitmapToDibStream(bitmap, format, rmHistogram);
    } else {
        const auto method = FGrayReduced ? rmGrayscale : static_cast<TReductionMethod>(DefaultReductionMethod);
        dib = KitGraph::BitmapToDibStream(bitmap, pf8bit, method);
        if (method == rmGrayscale) {
            FGrayReduced = true;
        }
    }
    EncodeFromDib(dib);
}

void TGIFFrame::EncodeFromDib(const QByteArray& dib) {
    const auto* data = reinterpret_cast<const uint8_t*>(dib.constData());
    const auto size = static_cast<size_t>(dib.size());
    auto fail = [] { throw EInvalidGraphicOperation(GifMessages::EncodingError); };
    if (size < 54) {
        fail();
    }
    const uint32_t offset = ReadLe32(data + 10);
    const auto width = static_cast<int32_t>(ReadLe32(data + 18));
    const auto height = static_cast<int32_t>(ReadLe32(data + 22));
    const int bitCount = data[28] | (data[29] << 8);
    const int colors = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    if (colors == 0 || width <= 0 || height <= 0) {
        fail();
    }
    const int rows = height;
    Guarded([&] { CheckGifPixelCount(width, rows); });
    const int64_t stride = DibStride(width, bitCount);
    if (54 + 4 * static_cast<size_t>(colors) > size || offset > size ||
        static_cast<uint64_t>(stride) * rows > size - offset) {
        fail();
    }
    FData.IsInterlaced = false;
    GifItemData& item = MutableItem();
    item.ColorTable = GifColorTable{};
    item.ColorTable.Count = std::min(256, colors);
    for (int i = 0; i < item.ColorTable.Count; ++i) {
        const uint8_t* entry = data + 54 + size_t{4} * i;
        uint8_t* color = &item.ColorTable.Entries[size_t{3} * i];
        color[0] = entry[2];
        color[1] = entry[1];
        color[2] = entry[0];
    }
    item.EncodedData.clear();
    // Rows are stored bottom-up.
    auto* pixels = const_cast<uint8_t*>(data + offset);
    const PixelPlane plane{pixels + stride * (rows - 1), -stride, width, rows, bitCount};
    try {
        const GifProgress progress = FOwnerImage ? FOwnerImage->ProgressTarget() : GifProgress{};
        Guarded([&] {
            LzwEncode(item.EncodedData, plane, bitCount == 1 ? 2 : bitCount, progress);
            return 0;
        });
    } catch (const EAbort&) {
        ResetItem();
        throw;
    }
    item.TableBits = static_cast<uint8_t>(TableBitsFor(item.ColorTable.Count));
    item.Width = width;
    item.Height = rows;
    if (FOwnerImage) {
        if (FOwnerImage->GlobalData().ColorTable.Count > 0) {
            FData.OwnColorTable = true;
        } else {
            TGIFData& global = FOwnerImage->MutableGlobalData();
            global.ColorTable = item.ColorTable;
            global.TableBits = item.TableBits;
            FData.OwnColorTable = false;
        }
        FOwnerImage->FLogicalWidth =
            static_cast<uint16_t>(std::clamp<int64_t>(int64_t{width} + FData.Left, FOwnerImage->FLogicalWidth, 0xFFFF));
        FOwnerImage->FLogicalHeight =
            static_cast<uint16_t>(std::clamp<int64_t>(int64_t{rows} + FData.Top, FOwnerImage->FLogicalHeight, 0xFFFF));
    }
}

TGIFImage::TGIFImage() {
    ResetImage();
    SetTransparent(true);
}

TGIFImage::~TGIFImage() { OnChange = nullptr; }

void TGIFImage::ResetImage() {
    FGlobalData = new TGIFData;
    ClearFrames();
    FActiveFrameIndex = -1;
    FScreenBackground = clNone;
    FLoopCount = 1;
    FLoopEnabled = false;
    FFormatVersion = 0;
    FLogicalWidth = FLogicalHeight = 0;
}

void TGIFImage::ClearFrames() { FFrameList.clear(); }

TGIFFrame* TGIFImage::FrameAt(int index) const {
    if (index < 0 || index >= FrameCount()) {
        throw EListError(index);
    }
    return FFrameList[static_cast<size_t>(index)].get();
}

void TGIFImage::Assign(TGraphic* source) {
    if (source == this) {
        return;
    }
    if (!source) {
        ResetImage();
        Changed();
    } else if (auto* image = dynamic_cast<TGIFImage*>(source)) {
        AssignImage(image);
    } else if (dynamic_cast<TBitmap*>(source)) {
        ResetImage();
        AppendFrame(source);
        Changed();
    } else {
        TGraphic::Assign(source);
    }
}

void TGIFImage::AssignImage(TGIFImage* source) {
    FGlobalData = source->FGlobalData;
    FFormatVersion = source->FFormatVersion;
    FScreenBackground = source->FScreenBackground;
    FLoopCount = source->FLoopCount;
    FLoopEnabled = source->FLoopEnabled;
    ClearFrames();
    for (const auto& sourceFrame : source->FFrameList) {
        auto frame = std::make_unique<TGIFFrame>(this);
        frame->Assign(sourceFrame.get());
        frame->FData.OwnColorTable = sourceFrame->FData.OwnColorTable;
        FFrameList.push_back(std::move(frame));
    }
    FLogicalWidth = source->FLogicalWidth;
    FLogicalHeight = source->FLogicalHeight;
    FActiveFrameIndex = source->FActiveFrameIndex;
    Changed();
}

void TGIFImage::AssignFrame(TGIFFrame* source) {
    ResetImage();
    if (source && source->FOwnerImage) {
        const TGIFData& from = source->FOwnerImage->GlobalData();
        TGIFData& global = MutableGlobalData();
        global.AspectByte = from.AspectByte;
        global.TableBits = from.TableBits;
        global.ColorResolution = from.ColorResolution;
        global.ColorTable = from.ColorTable;
    }
    FFrameList.push_back(std::make_unique<TGIFFrame>(this));
    FActiveFrameIndex = 0;
    FFrameList.back()->Assign(source);
    if (FFormatVersion == 0) {
        FFormatVersion = 1;
    }
    Changed();
}

void TGIFImage::CopyInto(TGraphic* dest) {
    if (!dest) {
        RaiseCannotAssign(ClassName(), QStringLiteral("nil"));
    }
    if (auto* image = dynamic_cast<TGIFImage*>(dest)) {
        image->Assign(this);
        return;
    }
    if (Empty()) {
        dest->Assign(nullptr);
    } else if (FActiveFrameIndex < 0) {
        TBitmap bitmap(ActiveBitmap());
        dest->Assign(&bitmap);
    } else {
        FrameAt(FActiveFrameIndex)->CopyInto(dest);
    }
}

void TGIFImage::Draw(QPainter& canvas, const QRect& rect) {
    if (FActiveFrameIndex >= 0 && FActiveFrameIndex < FrameCount()) {
        FrameAt(FActiveFrameIndex)->DrawFrame(canvas, rect, Transparent());
    }
}

bool TGIFImage::Equals(const TGraphic* other) const {
    const auto* image = dynamic_cast<const TGIFImage*>(other);
    return image && image->FGlobalData.constData() == FGlobalData.constData();
}

bool TGIFImage::Empty() const {
    if (FFrameList.empty()) {
        return true;
    }
    const size_t index = std::min(static_cast<size_t>(std::max(FActiveFrameIndex, 0)), FFrameList.size() - 1);
    const TGIFFrame& frame = *FFrameList[index];
    return !frame.HasBitmap() && frame.Item().Data.EncodedData.empty();
}

int TGIFImage::Height() {
    if (Empty() || FActiveFrameIndex < 0 || FActiveFrameIndex >= FrameCount()) {
        return 0;
    }
    return FrameAt(FActiveFrameIndex)->EnsureBitmap().height();
}

int TGIFImage::Width() {
    if (Empty() || FActiveFrameIndex < 0 || FActiveFrameIndex >= FrameCount()) {
        return 0;
    }
    return FrameAt(FActiveFrameIndex)->EnsureBitmap().width();
}

void TGIFImage::SetHeight(int /*value*/) { throw EInvalidGraphicOperation("Cannot change the Size of a GIF image"); }

void TGIFImage::SetWidth(int /*value*/) { throw EInvalidGraphicOperation("Cannot change the Size of a GIF image"); }

QList<QRgb> TGIFImage::Palette() {
    if (FFrameList.empty()) {
        return {};
    }
    return ActiveBitmap().colorTable();
}

bool TGIFImage::Transparent() const {
    if (!TGraphic::Transparent()) {
        return false;
    }
    return std::any_of(FFrameList.begin(), FFrameList.end(),
                       [](const auto& frame) { return frame->TransparentKey() != clNone; });
}

void TGIFImage::ReadFormData(QIODevice& stream) { ParseGif(ReadLengthPrefixed(stream), true); }

void TGIFImage::WriteFormData(QIODevice& stream) { stream.write(EmitGif(true)); }

void TGIFImage::ReadFromStream(QIODevice& stream) {
    ParseGif(stream.isSequential() ? stream.readAll() : ReadExactly(stream, stream.size() - stream.pos()), true);
}

void TGIFImage::WriteToStream(QIODevice& stream) { stream.write(EmitGif(false)); }

void TGIFImage::ReadFromClipboard(const QMimeData& data) {
    if (!data.hasFormat(GifClipboardFormat)) {
        TBitmap bitmap;
        bitmap.ReadFromClipboard(data);
        Assign(&bitmap);
        return;
    }
    QByteArray block = data.data(GifClipboardFormat);
    QBuffer buffer(&block);
    buffer.open(QIODevice::ReadOnly);
    ParseGif(ReadLengthPrefixed(buffer), false);
    if (FrameCount() > 0) {
        FActiveFrameIndex = 0;
        if (data.hasImage()) {
            FrameAt(0)->ReplaceBitmap(qvariant_cast<QImage>(data.imageData()));
        }
    }
}

void TGIFImage::WriteToClipboard(QMimeData& data) {
    if (FFrameList.empty()) {
        return;
    }
    data.setImageData(FrameAt(0)->EnsureBitmap());
    const bool allEncoded = std::all_of(FFrameList.begin(), FFrameList.end(),
                                        [](const auto& frame) { return !frame->Item().Data.EncodedData.empty(); });
    if (allEncoded) {
        data.setData(GifClipboardFormat, EmitGif(true));
    }
}

int TGIFImage::AppendFrame(TGraphic* graphic) {
    const int previousActive = FActiveFrameIndex;
    FFrameList.push_back(std::make_unique<TGIFFrame>(this));
    FActiveFrameIndex = FrameCount() - 1;
    try {
        FFrameList.back()->Assign(graphic);
    } catch (...) {
        FFrameList.pop_back();
        FActiveFrameIndex = previousActive;
        throw;
    }
    if (FFormatVersion == 0) {
        FFormatVersion = 1;
    }
    if (FrameCount() > 1) {
        FFormatVersion = 2;
    }
    return FActiveFrameIndex;
}

const QImage& TGIFImage::ActiveBitmap() {
    if (FFrameList.empty()) {
        TBitmap empty;
        Assign(&empty);
        FActiveFrameIndex = 0;
    }
    const bool valid = FActiveFrameIndex >= 0 && FActiveFrameIndex < FrameCount();
    return FrameAt(valid ? FActiveFrameIndex : 0)->EnsureBitmap();
}

QSize TGIFImage::FrameExtent() const {
    // Undecoded frames count with the size they will decode to, so that
    // assignments do not decode every frame.
    int64_t width = 0;
    int64_t height = 0;
    for (const auto& frame : FFrameList) {
        QSize size;
        if (frame->HasBitmap()) {
            size = frame->FDecodedBitmap->size();
        } else if (!frame->Item().Data.EncodedData.empty()) {
            size = QSize(frame->Item().Data.Width, frame->Item().Data.Height);
        }
        width = std::max(width, frame->FData.Left + int64_t{size.width()});
        height = std::max(height, frame->FData.Top + int64_t{size.height()});
    }
    return {static_cast<int>(std::min<int64_t>(width, 0xFFFF)), static_cast<int>(std::min<int64_t>(height, 0xFFFF))};
}

void TGIFImage::RecalcLogicalSize() {
    const QSize extent = FrameExtent();
    FLogicalWidth = static_cast<uint16_t>(extent.width());
    FLogicalHeight = static_cast<uint16_t>(extent.height());
}

void TGIFImage::ReportProgress(TProgressStage stage, int percent, const QString& message) {
    Progress(stage, percent, message);
}

GifProgress TGIFImage::ProgressTarget() {
    if (!OnProgress) {
        return {};
    }
    return [this](GifProgressStage stage, int percent, const std::string& message) {
        static constexpr TProgressStage Stages[] = {TProgressStage::psStarting, TProgressStage::psRunning,
                                                    TProgressStage::psEnding};
        ReportProgress(Stages[static_cast<int>(stage)], percent, QString::fromStdString(message));
    };
}

void TGIFImage::EncodePendingFrames() {
    for (auto& frame : FFrameList) {
        if (frame->Item().Data.EncodedData.empty()) {
            frame->EncodeFromBitmap();
        }
        if (SyncControlExtension(frame->FData, frame->Item().Data.ColorTable)) {
            FFormatVersion = 2;
        }
    }
}

QByteArray TGIFImage::EmitGif(bool withLength) {
    if (FFrameList.empty()) {
        throw EInvalidGraphicOperation(GifMessages::NoData);
    }
    EncodePendingFrames();
    // The screen grows to hold every frame but keeps a larger size it was read with.
    const QSize extent = FrameExtent();
    FLogicalWidth = std::max(FLogicalWidth, static_cast<uint16_t>(extent.width()));
    FLogicalHeight = std::max(FLogicalHeight, static_cast<uint16_t>(extent.height()));
    const TGIFData& global = GlobalData();
    GifScreen screen;
    screen.FormatVersion = FFormatVersion;
    screen.LogicalWidth = FLogicalWidth;
    screen.LogicalHeight = FLogicalHeight;
    screen.AspectByte = global.AspectByte;
    screen.TableBits = global.TableBits;
    screen.ColorTable = global.ColorTable;
    screen.ScreenBackground = ColorToRGB(FScreenBackground);
    screen.LoopEnabled = FLoopEnabled;
    screen.LoopCount = FLoopCount;
    screen.CommentLines = global.CommentLines;
    std::vector<GifFrameRef> refs;
    for (auto& frame : FFrameList) {
        const GifItemData& item = frame->Item().Data;
        const auto bits = static_cast<uint8_t>(TableBitsFor(item.ColorTable.Count));
        if (frame->FData.OwnColorTable && item.ColorTable.Count > 0 && item.TableBits != bits) {
            frame->MutableItem().TableBits = bits;
        }
        refs.push_back({&frame->FData, &frame->Item().Data});
    }
    const std::vector<uint8_t> bytes = Guarded([&] { return EmitGifBytes(screen, refs); });
    FFormatVersion = screen.FormatVersion;
    QByteArray result;
    if (withLength) {
        QBuffer buffer(&result);
        buffer.open(QIODevice::WriteOnly);
        WriteLengthPrefixed(
            buffer, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    } else {
        result = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }
    return result;
}

void TGIFImage::ParseGif(const QByteArray& data, bool decodeFirst) {
    ResetImage();
    GifFile file;
    std::string error;
    try {
        ParseGifBytes({reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())}, file,
                      TolerateDamagedGif);
    } catch (const EGifError& parseError) {
        error = parseError.what();
    }
    // What was read before an error stays.
    TGIFData& global = MutableGlobalData();
    global.CommentLines = std::move(file.Screen.CommentLines);
    global.AspectByte = file.Screen.AspectByte;
    global.TableBits = file.Screen.TableBits;
    global.ColorResolution = file.Screen.ColorResolution;
    global.ColorTable = file.Screen.ColorTable;
    FFormatVersion = file.Screen.FormatVersion;
    FLogicalWidth = file.Screen.LogicalWidth;
    FLogicalHeight = file.Screen.LogicalHeight;
    FScreenBackground = file.Screen.ScreenBackground;
    FLoopEnabled = file.Screen.LoopEnabled;
    FLoopCount = file.Screen.LoopCount;
    for (auto& parsed : file.Frames) {
        auto frame = std::make_unique<TGIFFrame>(this);
        frame->FData = std::move(parsed.Frame);
        frame->MutableItem() = std::move(parsed.Item);
        FFrameList.push_back(std::move(frame));
    }
    if (!error.empty()) {
        throw EInvalidGraphicOperation(QString::fromStdString(error));
    }
    if (!FFrameList.empty()) {
        FActiveFrameIndex = 0;
        if (decodeFirst) {
            try {
                ActiveBitmap();
            } catch (...) {
                FFrameList.erase(FFrameList.begin());
                FActiveFrameIndex = FFrameList.empty() ? -1 : 0;
                throw;
            }
        }
    }
    SetPaletteModified(true);
    Changed();
}

void RegisterGifImage() {
    const TGraphicFactory factory = [] { return std::make_unique<TGIFImage>(); };
    TPictureRegistry::RegisterClass(QStringLiteral("TGIFFrame"), [] { return std::make_unique<TGIFFrame>(nullptr); });
    TPictureRegistry::RegisterClass(QStringLiteral("TGIFImage"), factory);
    TPictureRegistry::RegisterFileFormat(QStringLiteral("gif"), QStringLiteral("CompuServe GIF Image"),
                                         QStringLiteral("TGIFImage"), factory);
    TPictureRegistry::RegisterClipboardFormat(GifClipboardFormat, QStringLiteral("TGIFImage"), factory);
}

void UnregisterGifImage() { TPictureRegistry::UnregisterGraphicClass(QStringLiteral("TGIFImage")); }

}  // namespace kit
