#pragma once

#include <QByteArray>
#include <QIcon>
#include <functional>

class QMimeData;

namespace kit {

// The kit's icon: the raw bytes of an icon file (the form it is stored and
// streamed in) and the decoded picture. An icon without bytes is empty.
class TIcon {
public:
    // The clipboard format under which icons are exchanged.
    static constexpr const char* ClipboardFormat = "application/x-zintareko-icon";

    TIcon() = default;
    TIcon(const TIcon& Source) : FBytes(Source.FBytes), FPicture(Source.FPicture) {}
    TIcon& operator=(const TIcon&) = delete;

    bool Empty() const { return FBytes.isEmpty(); }
    // The icon file bytes (empty for an empty icon).
    const QByteArray& SavedForm() const { return FBytes; }
    const QIcon& Picture() const { return FPicture; }

    // Takes the bytes of an icon file; raises kit::Exception when they do not
    // hold an icon (the icon keeps its previous content then).
    void LoadFromBytes(const QByteArray& Bytes);
    // Loads an icon placed on the clipboard under ClipboardFormat; false
    // when the data holds none.
    bool LoadFromMimeData(const QMimeData& Data);
    void Assign(const TIcon& Source);
    void Clear();

    // Fired after every change of the content.
    std::function<void()> OnChange;

private:
    void Changed() const;

    QByteArray FBytes;
    QIcon FPicture;
};

}  // namespace kit
