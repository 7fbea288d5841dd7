#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>

#include "kit/controls.h"
#include "kit/form_storage.h"
#include "kit/kit_form.h"
#include "kit/props_storage.h"

namespace kit::testing {

// Owned by the sample, so stored through its own properties.
class TSub : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Color MEMBER Color)

public:
    using QObject::QObject;
    int Color = 0;
};

class TItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Label MEMBER Label)

public:
    using QObject::QObject;
    QString Label;
};

class TItems : public TCollection {
    Q_OBJECT

public:
    using TCollection::TCollection;
    int Count() const override { return static_cast<int>(FItems.size()); }
    QObject* Item(int Index) const override { return FItems[Index]; }
    QObject* Add() override {
        FItems << new TItem(this);
        return FItems.back();
    }
    void Clear() override {
        qDeleteAll(FItems);
        FItems.clear();
    }
    TItem* At(int Index) const { return FItems[Index]; }

private:
    QList<TItem*> FItems;
};

// A component with one property of every kind that can be stored.
class TSample : public QObject {
    Q_OBJECT

public:
    enum TLetter { a, b, c };
    Q_ENUM(TLetter)
    enum TLetterFlag { fa = 1, fb = 2, fc = 4 };
    Q_DECLARE_FLAGS(TLetters, TLetterFlag)
    Q_FLAG(TLetters)

private:
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_PROPERTY(int Number MEMBER Number)
    Q_PROPERTY(qlonglong Big MEMBER Big)
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(QChar Letter MEMBER Letter)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(QStringList Lines MEMBER Lines)
    Q_PROPERTY(TLetter Kind MEMBER Kind)
    Q_PROPERTY(TLetters Set READ GetSet WRITE SetSet)
    Q_PROPERTY(QVariant Any MEMBER Any)
    Q_PROPERTY(QObject* Buddy MEMBER Buddy)
    Q_PROPERTY(TSub* Font MEMBER Font)
    Q_PROPERTY(TItems* Entries MEMBER Entries)

public:
    explicit TSample(QObject* Parent = nullptr) : QObject(Parent) {}
    TLetters GetSet() const { return Set; }
    void SetSet(TLetters Value) { Set = Value; }

    bool Flag = false;
    int Number = 0;
    qlonglong Big = 0;
    QString Text;
    QChar Letter = 'x';
    double Ratio = 0;
    QStringList Lines;
    TLetter Kind = a;
    TLetters Set;
    QVariant Any;
    QObject* Buddy = nullptr;
    TSub* Font = new TSub(this);
    TItems* Entries = new TItems(this);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TSample::TLetters)

// The options dialog's eight stored controls and its storage.
class TTestOptionsForm : public TKitForm {
    Q_OBJECT

public:
    // Without CallLoaded the test finishes the form itself.
    explicit TTestOptionsForm(const QString& IniFileName, bool CallLoaded = true);

    TCheckBox* AutoRunCheckBox;
    TCheckBox* CopyToClipboardCheckBox;
    TCheckBox* CopyToTextBoxCheckBox;
    TRadioGroup* RadioGroupFormat;
    TRadioGroup* RadioGroupEndOfLine;
    TCheckBox* SaveToFileCheckBox;
    TEdit* SaveToFileEdit;
    TCheckBox* PlaySoundCheckBox;
    TFormStorage* FormStorage1;
};

}  // namespace kit::testing
