#include "kit/icon_graphic.h"

#include <QIODevice>
#include <QMimeData>
#include <QPainter>
#include <algorithm>

namespace kit {
namespace {

[[noreturn]] void RaiseFixedSize() { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

}  // namespace

void TIconGraphic::Draw(QPainter& canvas, const QRect& rect) { FIcon.Picture().paint(&canvas, rect); }

void TIconGraphic::SetHeight(int /*value*/) { RaiseFixedSize(); }

void TIconGraphic::SetWidth(int /*value*/) { RaiseFixedSize(); }

void TIconGraphic::ReadFromStream(QIODevice& stream) {
    FIcon.LoadFromBytes(stream.readAll());
    Changed();
}

void TIconGraphic::WriteToStream(QIODevice& stream) { stream.write(FIcon.SavedForm()); }

void TIconGraphic::ReadFromClipboard(const QMimeData& data) {
    if (!FIcon.LoadFromMimeData(data)) {
        throw EInvalidGraphicOperation("Unsupported clipboard format");
    }
    Changed();
}

QSize TIconGraphic::Size() const {
    const QList<QSize> sizes = FIcon.Picture().availableSizes();
    const auto largest = std::max_element(sizes.begin(), sizes.end(), [](const QSize& a, const QSize& b) {
        return a.width() * a.height() < b.width() * b.height();
    });
    return largest == sizes.end() ? QSize() : *largest;
}

void RegisterIconClipboardFormat() {
    TPictureRegistry::RegisterClipboardFormat(QString::fromLatin1(TIcon::ClipboardFormat),
                                              QStringLiteral("TIconGraphic"),
                                              [] { return std::make_unique<TIconGraphic>(); });
}

}  // namespace kit
