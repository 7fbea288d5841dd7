#pragma once

#include <QLabel>

namespace app {

// A one-line label whose text never widens the window it is in: the label
// takes the width its layout gives it, and a text wider than that is cut at
// the right with an ellipsis, the whole text then being its tooltip.
class TElidedLabel final : public QLabel {
public:
    explicit TElidedLabel(const QString& Text, QWidget* Parent = nullptr);

    // The whole text, shown cut or not.
    const QString& FullText() const { return FFullText; }
    void SetFullText(const QString& Text);

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void ShowFitting();

    QString FFullText;
};

}  // namespace app
