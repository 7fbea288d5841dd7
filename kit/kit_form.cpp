#include "kit/kit_form.h"

#include <QMessageBox>

#include "kit/draw_utils.h"

namespace kit {
namespace {

std::function<void(const QString&)>& ExceptionHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

}  // namespace

void ApplicationShowException(const std::exception& Error) {
    if (dynamic_cast<const EAbort*>(&Error) != nullptr) {
        return;
    }
    const QString message = QString::fromUtf8(Error.what());
    if (ExceptionHandler()) {
        ExceptionHandler()(message);
    } else {
        QMessageBox::critical(nullptr, QString(), message);
    }
}

void SetExceptionHandler(std::function<void(const QString& Message)> Handler) {
    ExceptionHandler() = std::move(Handler);
}

TKitForm::TKitForm(QWidget* Parent) : QDialog(Parent) {}

TKitForm::~TKitForm() {
    FDestroying = true;
    if (OnDestroy) {
        OnDestroy(this);
    }
}

void TKitForm::Loaded() {
    FLoaded = true;
    emit FormLoaded();
}

void TKitForm::done(int Result) {
    bool canClose = true;
    if (OnCloseQuery) {
        OnCloseQuery(this, canClose);
    }
    if (canClose) {
        QDialog::done(Result);
    }
}

void TKitForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (OnShow) {
        OnShow(this);
    }
}

}  // namespace kit
