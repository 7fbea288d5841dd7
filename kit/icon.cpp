#include "kit/icon.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeData>
#include <QPixmap>

#include "kit/exception.h"

namespace kit {

void TIcon::LoadFromBytes(const QByteArray& Bytes) {
    QByteArray Copy(Bytes);
    QBuffer Buffer(&Copy);
    Buffer.open(QIODevice::ReadOnly);
    QImageReader Reader(&Buffer, "ico");
    QIcon Loaded;
    do {
        const QImage Image = Reader.read();
        if (Image.isNull()) {
            break;
        }
        Loaded.addPixmap(QPixmap::fromImage(Image));
    } while (Reader.jumpToNextImage());
    if (Loaded.isNull()) {
        throw Exception("Invalid icon");
    }
    FBytes = Copy;
    FPicture = Loaded;
    Changed();
}

bool TIcon::LoadFromMimeData(const QMimeData& Data) {
    if (!Data.hasFormat(ClipboardFormat)) {
        return false;
    }
    LoadFromBytes(Data.data(ClipboardFormat));
    return true;
}

void TIcon::Assign(const TIcon& Source) {
    FBytes = Source.FBytes;
    FPicture = Source.FPicture;
    Changed();
}

void TIcon::Clear() {
    FBytes.clear();
    FPicture = QIcon();
    Changed();
}

void TIcon::Changed() const {
    if (OnChange) {
        OnChange();
    }
}

}  // namespace kit
