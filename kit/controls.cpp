#include "kit/controls.h"

#include <QRadioButton>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>

namespace kit {

TCheckBox::TCheckBox(const QString& Caption, QWidget* Parent) : TElidedButton(Caption, Parent) {}

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
        auto* button = new TElidedButton<QRadioButton>(FItems[i], this);
        FButtons->addButton(button, i);
        layout()->addWidget(button);
    }
}

QSize TRadioGroup::minimumSizeHint() const {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QFontMetrics metrics = fontMetrics();
    // Measured as the group box measures its caption (the text and a blank),
    // once the caption may be cut; the items keep their own minimum.
    const int caption = ElidedMinimumWidth(metrics.size(Qt::TextShowMnemonic, title() + ' ').width(), title(), metrics,
                                           Qt::TextShowMnemonic);
    return style()
        ->sizeFromContents(QStyle::CT_GroupBox, &option, QSize(caption, metrics.height()), this)
        .expandedTo(layout()->totalMinimumSize());
}

QRect TRadioGroup::CaptionRect() const {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
}

QString TRadioGroup::ShownCaption() const {
    // The style puts the caption as far from the right edge as from the left.
    const QRect whole = CaptionRect();
    const QFontMetrics metrics = fontMetrics();
    const int room = width() - 2 * whole.left() - (whole.width() - metrics.size(Qt::TextShowMnemonic, title()).width());
    return metrics.elidedText(title(), Qt::ElideRight, room, Qt::TextShowMnemonic);
}

// As the group box paints itself, with the caption it shows.
void TRadioGroup::paintEvent(QPaintEvent* /*Event*/) {
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    option.text = ShownCaption();
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

bool TRadioGroup::event(QEvent* Event) {
    if (Event->type() == QEvent::ToolTip) {
        const auto& help = *static_cast<QHelpEvent*>(Event);
        if (CaptionRect().contains(help.pos()) && ShowWholeText(*this, help, title(), ShownCaption())) {
            return true;
        }
    }
    return QGroupBox::event(Event);
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
