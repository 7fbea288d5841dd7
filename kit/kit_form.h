#pragma once

#include <QDialog>
#include <exception>
#include <functional>

namespace kit {

// Shows an error that a kit component caught where no caller can take it (an
// event handler): through the handler set with SetExceptionHandler, else in a
// modal error box with the error's message. The silent abort (EAbort) shows
// nothing.
void ApplicationShowException(const std::exception& Error);
// Replaces the error display (an empty handler restores the error box).
void SetExceptionHandler(std::function<void(const QString& Message)> Handler);

// A form whose life is told through events that kit components (the form
// storage) can take over and chain: OnShow when it is shown, OnCloseQuery
// before it closes (the handler may refuse), OnDestroy at the start of its
// destruction, while its controls still exist.
//
// A form builds its controls in its constructor and then calls Loaded(), which
// tells the kit components on it that the form is complete. Controls must be
// child widgets (not members held by value), so they outlive OnDestroy.
class TKitForm : public QDialog {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;
    using TCloseQueryEvent = std::function<void(QObject* Sender, bool& CanClose)>;

    explicit TKitForm(QWidget* Parent = nullptr);
    ~TKitForm() override;

    TNotifyEvent OnShow;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;

    // Tells the form's kit components that the form and its controls are in
    // place.
    void Loaded();

    // Closing with a result (OK, Cancel, the close box) asks OnCloseQuery
    // first and closes only when it agrees.
    void done(int Result) override;

    // True once Loaded() has run.
    bool IsLoaded() const { return FLoaded; }
    // True once the destruction has begun.
    bool Destroying() const { return FDestroying; }

signals:
    void FormLoaded();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    bool FLoaded = false;
    bool FDestroying = false;
};

}  // namespace kit
