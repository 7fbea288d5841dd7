#include "kit/elided_controls.h"

#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace kit {

int ElidedMinimumWidth(int NaturalWidth, const QString& Text, const QFontMetrics& Metrics, int Flags) {
    // A text is cut to no less than about thirty characters: a text of the
    // usual length keeps its whole width, and a long one in the same row
    // gives way alone.
    const int least = 30 * Metrics.averageCharWidth() + Metrics.horizontalAdvance(QChar(0x2026));
    return NaturalWidth - std::max(0, Metrics.size(Flags, Text).width() - least);
}

bool ShowWholeText(QWidget& Control, const QHelpEvent& Event, const QString& Whole, const QString& Shown) {
    if (Shown == Whole || !Control.toolTip().isEmpty()) {
        return false;
    }
    QToolTip::showText(Event.globalPos(), Whole, &Control);
    return true;
}

TElidedLabel::TElidedLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    setTextFormat(Qt::PlainText);
}

QSize TElidedLabel::minimumSizeHint() const {
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(ElidedMinimumWidth(size.width(), text(), fontMetrics(), TextFlags()));
    return size;
}

QString TElidedLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, TextRect().width(), TextFlags());
}

void TElidedLabel::paintEvent(QPaintEvent* /*Event*/) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextRect(),
                          static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) | TextFlags(),
                          palette(), isEnabled(), ShownText(), foregroundRole());
}

bool TElidedLabel::event(QEvent* Event) {
    return (Event->type() == QEvent::ToolTip &&
            ShowWholeText(*this, *static_cast<QHelpEvent*>(Event), text(), ShownText())) ||
           QLabel::event(Event);
}

QRect TElidedLabel::TextRect() const { return contentsRect().adjusted(margin(), margin(), -margin(), -margin()); }

// A label that names a buddy underlines its shortcut letter, as QLabel does.
int TElidedLabel::TextFlags() const { return buddy() != nullptr ? Qt::TextShowMnemonic : 0; }

}  // namespace kit
