#pragma once

#include "kit/gif/graphic.h"
#include "kit/icon.h"

namespace kit {

// An icon as a picture, so that a picture holder can load one from the
// clipboard (under TIcon::ClipboardFormat) or from an icon file's bytes.
class TIconGraphic : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TIconGraphic"); }
    void Draw(QPainter& canvas, const QRect& rect) override;
    bool Empty() const override { return FIcon.Empty(); }
    // The size of the icon's largest picture.
    int Height() override { return Size().height(); }
    int Width() override { return Size().width(); }
    // An icon's size is that of its pictures: raise "Cannot change the size of an icon".
    void SetHeight(int value) override;
    void SetWidth(int value) override;
    void ReadFromStream(QIODevice& stream) override;
    void WriteToStream(QIODevice& stream) override;
    // Raises when the data hold no icon under TIcon::ClipboardFormat.
    void ReadFromClipboard(const QMimeData& data) override;

private:
    QSize Size() const;

    TIcon FIcon;
};

// Start-up of the icon clipboard format: registers TIconGraphic for
// TIcon::ClipboardFormat, so that a picture can load an icon from the
// clipboard.
void RegisterIconClipboardFormat();

}  // namespace kit
