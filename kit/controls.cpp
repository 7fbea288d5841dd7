#include "kit/controls.h"

#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kit {

TCheckBox::TCheckBox(const QString& Caption, QWidget* Parent) : QCheckBox(Caption, Parent) {}

TEdit::TEdit(QWidget* Parent) : QLineEdit(Parent) {}

TRadioGroup::TRadioGroup(const QString& Caption, QWidget* Parent)
    : QGroupBox(Caption, Parent), FButtons(new QButtonGroup(this)) {
    new QVBoxLayout(this);
    connect(FButtons, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
        if (Checked) {
            emit ItemIndexChanged(ItemIndex());
        }
    });
}

void TRadioGroup::SetItems(const QStringList& Items) {
    for (QAbstractButton* button : FButtons->buttons()) {
        FButtons->removeButton(button);
        delete button;
    }
    FItems = Items;
    for (int i = 0; i < FItems.size(); ++i) {
        auto* button = new QRadioButton(FItems[i], this);
        FButtons->addButton(button, i);
        layout()->addWidget(button);
    }
}

int TRadioGroup::ItemIndex() const { return FButtons->checkedId(); }

void TRadioGroup::SetItemIndex(int Index) {
    Index = std::clamp(Index, -1, static_cast<int>(FItems.size()) - 1);
    if (Index == ItemIndex()) {
        return;
    }
    if (Index < 0) {
        // An exclusive group never unchecks its last button by itself.
        FButtons->setExclusive(false);
        FButtons->checkedButton()->setChecked(false);
        FButtons->setExclusive(true);
        emit ItemIndexChanged(-1);
        return;
    }
    FButtons->button(Index)->setChecked(true);
}

}  // namespace kit
