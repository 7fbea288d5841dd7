#include "app/elided_label.h"

namespace app {

TElidedLabel::TElidedLabel(const QString& Text, QWidget* Parent) : QLabel(Parent) {
    setTextFormat(Qt::PlainText);
    // The text's width is no part of the layout's sums.
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
    SetFullText(Text);
}

void TElidedLabel::SetFullText(const QString& Text) {
    FFullText = Text;
    ShowFitting();
}

void TElidedLabel::resizeEvent(QResizeEvent* Event) {
    QLabel::resizeEvent(Event);
    ShowFitting();
}

void TElidedLabel::ShowFitting() {
    const QString shown = fontMetrics().elidedText(FFullText, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == FFullText ? QString() : FFullText);
}

}  // namespace app
