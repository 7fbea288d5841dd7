#pragma once

#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <type_traits>

namespace kit {

// Controls that give way when their one-line text is too long for the window
// they are in, rather than widen it. Each asks its layout for the room of its
// whole text but makes do with the room of about thirty characters; a text
// wider than the room it gets is shown cut at the right with an ellipsis, and
// pointing at it shows the whole text as a tooltip (unless the control has a
// tooltip of its own). text() is always the whole text.

// The minimum width of a control that is NaturalWidth wide with Text drawn
// with Flags, once its text may be cut.
int ElidedMinimumWidth(int NaturalWidth, const QString& Text, const QFontMetrics& Metrics, int Flags);
// Shows Whole as the tooltip Event asks Control for when Shown, the part of
// it that Control shows, is cut; true when it did.
bool ShowWholeText(QWidget& Control, const QHelpEvent& Event, const QString& Whole, const QString& Shown);

// A plain-text label.
class TElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit TElidedLabel(const QString& Text = QString(), QWidget* Parent = nullptr);

    QSize minimumSizeHint() const override;
    // All of the text, or as much as fits and an ellipsis.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    QRect TextRect() const;
    int TextFlags() const;
};

// A push button, tool button, check box or radio button.
template <typename TButton>
class TElidedButton : public TButton {
public:
    explicit TElidedButton(const QString& Text = QString(), QWidget* Parent = nullptr) : TButton(Parent) {
        this->setText(Text);
        // Buttons keep their whole width by default; these may shrink.
        QSizePolicy policy = this->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Preferred);
        this->setSizePolicy(policy);
    }

    QSize minimumSizeHint() const override {
        QSize size = TButton::minimumSizeHint();
        size.setWidth(ElidedMinimumWidth(size.width(), this->text(), this->fontMetrics(), Qt::TextShowMnemonic));
        return size;
    }

    // All of the text, or as much as fits and an ellipsis.
    QString ShownText() const {
        const QFontMetrics metrics = this->fontMetrics();
        // What the button draws beside its text: its whole width less the text's.
        const int besides = TButton::sizeHint().width() - metrics.size(Qt::TextShowMnemonic, this->text()).width();
        return metrics.elidedText(this->text(), Qt::ElideRight, this->width() - besides, Qt::TextShowMnemonic);
    }

protected:
    // As the button paints itself, with the text it shows.
    void paintEvent(QPaintEvent* /*Event*/) override {
        QStylePainter painter(this);
        TOption option;
        this->initStyleOption(&option);
        option.text = ShownText();
        if constexpr (std::is_base_of_v<QToolButton, TButton>) {
            painter.drawComplexControl(QStyle::CC_ToolButton, option);
        } else if constexpr (std::is_base_of_v<QCheckBox, TButton>) {
            painter.drawControl(QStyle::CE_CheckBox, option);
        } else if constexpr (std::is_base_of_v<QRadioButton, TButton>) {
            painter.drawControl(QStyle::CE_RadioButton, option);
        } else {
            painter.drawControl(QStyle::CE_PushButton, option);
        }
    }

    bool event(QEvent* Event) override {
        return (Event->type() == QEvent::ToolTip &&
                ShowWholeText(*this, *static_cast<QHelpEvent*>(Event), this->text(), ShownText())) ||
               TButton::event(Event);
    }

private:
    using TOption =
        std::conditional_t<std::is_base_of_v<QToolButton, TButton>, QStyleOptionToolButton, QStyleOptionButton>;
};

using TElidedPushButton = TElidedButton<QPushButton>;
using TElidedToolButton = TElidedButton<QToolButton>;

}  // namespace kit
