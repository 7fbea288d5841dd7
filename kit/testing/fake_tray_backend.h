#pragma once

#include <QMenu>
#include <vector>

#include "kit/tray_backend.h"

namespace kit::testing {

// A notification area in memory: records what the component shows and lets
// the test send mouse messages.
class TFakeTrayBackend : public kit::TTrayBackend {
public:
    bool Add(const TNotifyRecord& Record) override {
        ++Adds;
        Shown = AddSucceeds;
        Last = Record;
        return AddSucceeds;
    }
    bool Modify(const TNotifyRecord& Record) override {
        ++Modifies;
        Last = Record;
        return Shown;
    }
    void Delete() override { Shown = false; }
    bool PopupMenu(QMenu& Menu, const QPoint& At) override {
        PoppedUp.push_back(&Menu);
        PopupAt = At;
        return true;
    }
    QRect Geometry() const override { return Shown ? QRect(0, 0, 16, 16) : QRect(); }
    QPoint CursorPos() const override { return Cursor; }
    Qt::KeyboardModifiers KeyboardState() const override { return Keys; }

    void Message(kit::TTrayMessage Sent) const { Send(Sent); }

    bool AddSucceeds = true;
    bool Shown = false;
    int Adds = 0;
    int Modifies = 0;
    TNotifyRecord Last;
    std::vector<QMenu*> PoppedUp;
    QPoint PopupAt;
    QPoint Cursor{100, 200};
    Qt::KeyboardModifiers Keys = Qt::NoModifier;
};

}  // namespace kit::testing
