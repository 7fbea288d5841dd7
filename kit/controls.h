#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>

#include "kit/elided_controls.h"

namespace kit {

// Standard controls with the properties that stored settings name: the
// property names are the keys' second halves ("AutoRunCheckBox_Checked").
// Their captions never widen the window (see elided_controls.h).

class TCheckBox : public TElidedButton<QCheckBox> {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
    Q_PROPERTY(QString Caption READ text WRITE setText)

public:
    explicit TCheckBox(const QString& Caption = QString(), QWidget* Parent = nullptr);
};

class TEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)

public:
    explicit TEdit(QWidget* Parent = nullptr);
};

// A titled group of exclusive radio buttons, one per item. ItemIndex is the
// checked item, -1 when none is.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex NOTIFY ItemIndexChanged)

public:
    explicit TRadioGroup(const QString& Caption = QString(), QWidget* Parent = nullptr);

    QSize minimumSizeHint() const override;

    QStringList Items() const { return FItems; }
    // Replaces the buttons; no item is checked afterwards.
    void SetItems(const QStringList& Items);

    int ItemIndex() const;
    // Checks item Index; a value outside -1 .. item count - 1 is clamped to it,
    // so a stored index never selects a button that does not exist.
    void SetItemIndex(int Index);

signals:
    void ItemIndexChanged(int Index);

protected:
    void paintEvent(QPaintEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    // All of the caption, or as much as fits and an ellipsis.
    QString ShownCaption() const;
    // Where the style puts the whole caption.
    QRect CaptionRect() const;

    QStringList FItems;
    QButtonGroup* FButtons;
};

}  // namespace kit
