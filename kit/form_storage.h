#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

#include "kit/ini_file.h"
#include "kit/kit_form.h"
#include "kit/props_storage.h"
#include "kit/win_hook.h"

namespace kit {

class TFormPlacement;
class TFormStorage;

// Size limits of a form; 0 means no limit. The window manager decides where
// and how large a maximised window is, so MaxPos* and MaxSize* are kept and
// stored but have no effect here.
class TWinMinMaxInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(int MaxPosLeft READ MaxPosLeft WRITE SetMaxPosLeft)
    Q_PROPERTY(int MaxPosTop READ MaxPosTop WRITE SetMaxPosTop)
    Q_PROPERTY(int MaxSizeHeight READ MaxSizeHeight WRITE SetMaxSizeHeight)
    Q_PROPERTY(int MaxSizeWidth READ MaxSizeWidth WRITE SetMaxSizeWidth)
    Q_PROPERTY(int MaxTrackHeight READ MaxTrackHeight WRITE SetMaxTrackHeight)
    Q_PROPERTY(int MaxTrackWidth READ MaxTrackWidth WRITE SetMaxTrackWidth)
    Q_PROPERTY(int MinTrackHeight READ MinTrackHeight WRITE SetMinTrackHeight)
    Q_PROPERTY(int MinTrackWidth READ MinTrackWidth WRITE SetMinTrackWidth)

public:
    explicit TWinMinMaxInfo(TFormPlacement* Owner);

    int MaxPosLeft() const { return FValues[0]; }
    int MaxPosTop() const { return FValues[1]; }
    int MaxSizeHeight() const { return FValues[2]; }
    int MaxSizeWidth() const { return FValues[3]; }
    int MaxTrackHeight() const { return FValues[4]; }
    int MaxTrackWidth() const { return FValues[5]; }
    int MinTrackHeight() const { return FValues[6]; }
    int MinTrackWidth() const { return FValues[7]; }
    void SetMaxPosLeft(int Value) { Set(0, Value); }
    void SetMaxPosTop(int Value) { Set(1, Value); }
    void SetMaxSizeHeight(int Value) { Set(2, Value); }
    void SetMaxSizeWidth(int Value) { Set(3, Value); }
    void SetMaxTrackHeight(int Value) { Set(4, Value); }
    void SetMaxTrackWidth(int Value) { Set(5, Value); }
    void SetMinTrackHeight(int Value) { Set(6, Value); }
    void SetMinTrackWidth(int Value) { Set(7, Value); }

    // Copies every value and tells the owner once.
    void Assign(const TWinMinMaxInfo& Source);
    // True when all eight values are 0.
    bool HasDefaultValue() const;

private:
    void Set(int Index, int Value);

    TFormPlacement* FOwner;
    int FValues[8] = {};
};

// Keeps a form's window placement and a version number in a section of an
// INI file and brings them back. Created on a kit form (TKitForm) before the
// form's Loaded(), it takes over the form's events and, with Active on,
// restores when the form is shown and saves when the form agrees to close and
// when it is destroyed without a save; otherwise it acts only when called. Settings are read and written through the
// INI file on every call, so other writers of the same file are never overwritten.
class TFormPlacement : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
    Q_PROPERTY(QString IniSection READ IniSection WRITE SetIniSection)
    Q_PROPERTY(TWinMinMaxInfo* MinMaxInfo READ MinMaxInfo)
    Q_PROPERTY(TPlacementOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool PreventResize READ PreventResize WRITE SetPreventResize)
    Q_PROPERTY(bool UseRegistry READ UseRegistry WRITE SetUseRegistry)
    Q_PROPERTY(int Version READ Version WRITE SetVersion)

public:
    enum TPlacementOption { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
    Q_DECLARE_FLAGS(TPlacementOptions, TPlacementOption)
    Q_FLAG(TPlacementOptions)

    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // Options start as [fpState, fpPosition] when Owner is a form, else [].
    explicit TFormPlacement(QObject* Owner);
    ~TFormPlacement() override;
    TFormPlacement(const TFormPlacement&) = delete;
    TFormPlacement& operator=(const TFormPlacement&) = delete;

    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    // The set name, or DefaultIniFileName() when none is set.
    QString IniFileName() const;
    void SetIniFileName(const QString& Value) { FIniFileName = Value; }
    // The set name, or DefaultSectionName() of the owner when none is set.
    QString IniSection() const;
    void SetIniSection(const QString& Value) { FIniSection = Value; }
    TWinMinMaxInfo* MinMaxInfo() const { return FMinMaxInfo; }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions Value) { FOptions = Value; }
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool Value);
    // Only the INI store exists on this system: turning the registry store on
    // raises an Exception.
    bool UseRegistry() const { return false; }
    void SetUseRegistry(bool Value);
    int Version() const { return FVersion; }
    void SetVersion(int Value) { FVersion = Value; }

    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    // Writes "FormVersion", the placement and (in TFormStorage) the stored
    // properties and values. With Active on, nothing is written before the
    // first LoadFormState. Raises the store's write error.
    void SaveFormState();
    // Reads everything back when the stored "FormVersion" is not older than
    // Version; a missing file or key leaves every value as it is. Errors of
    // stored properties are dropped; others pass to the caller.
    void LoadFormState();

    QString ReadEntryText(const QString& Ident, const QString& Default);
    void WriteEntryText(const QString& Ident, const QString& Value);
    int ReadEntryNumber(const QString& Ident, int Default);
    void WriteEntryNumber(const QString& Ident, int Value);

    bool Saved() const { return FSaved; }
    bool Restored() const { return FRestored; }

    // Called when the owner form is complete (TKitForm::Loaded): takes over
    // the form's show, close-query and destroy events and applies the limits.
    virtual void Loaded();
    // Re-applies the size limits after MinMaxInfo changed.
    void MinMaxInfoChanged();

protected:
    virtual void WritePlacement();
    virtual void ReadPlacement();
    virtual QString ReadSectionEntry(const QString& Section, const QString& Ident, const QString& Default);
    virtual void WriteSectionEntry(const QString& Section, const QString& Ident, const QString& Value);

    void OpenStorage();
    void CloseStorage();
    // The open store, null between operations.
    TIniFile* Store() const { return FStore.get(); }
    // The owner when it is a form (a top-level widget), else null.
    QWidget* OwnerForm() const;
    bool Loading() const { return FLoading; }

private:
    template <typename TAction>
    auto WithStore(TAction Action);
    void UpdateWindowHook();
    void ApplyPreventResize();
    void ApplyLimits();
    void AfterWindowMessage(QEvent* Message);

    bool FActive = true;
    QString FIniFileName;
    QString FIniSection;
    TWinMinMaxInfo* FMinMaxInfo;
    TPlacementOptions FOptions;
    bool FPreventResize = false;
    int FVersion = 0;
    std::unique_ptr<TIniFile> FStore;
    bool FSaved = false;
    bool FRestored = false;
    bool FDestroying = false;
    bool FLoading = false;
    bool FDefMaximize = false;
    bool FHandlesFormEvents = false;
    TKitForm::TNotifyEvent FSaveFormShow;
    TKitForm::TCloseQueryEvent FSaveFormCloseQuery;
    TKitForm::TNotifyEvent FSaveFormDestroy;
    TWindowHook* FWinHook;
    QSize FFormMinSize;
    QSize FFormMaxSize;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFormPlacement::TPlacementOptions)

// A free named value kept by a form storage; KeyString, when set, scrambles
// the stored text (XorToHex).
class TStoredValue : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(QVariant Value READ Value WRITE SetValue)
    Q_PROPERTY(QString KeyString READ KeyString WRITE SetKeyString)

public:
    using TStoredValueEvent = std::function<void(TStoredValue* Sender, QVariant& Value)>;

    explicit TStoredValue(QObject* Collection = nullptr);

    QString Name() const { return FName; }
    // Raises "String list does not allow duplicates" when another value of
    // the same collection has the name (ignoring case).
    void SetName(const QString& Value);
    QVariant Value() const { return FValue; }
    void SetValue(const QVariant& Value) { FValue = Value; }
    QString KeyString() const { return FKeyString; }
    void SetKeyString(const QString& Value) { FKeyString = Value; }

    TStoredValueEvent OnSave;
    TStoredValueEvent OnRestore;

    // Copies value, name and key string (not the events).
    void Assign(const TStoredValue& Source);

    virtual void Save();
    virtual void Restore();

private:
    TFormStorage* Storage() const;

    QString FName;
    QVariant FValue;
    QString FKeyString;
};

class TStoredValues : public TCollection {
    Q_OBJECT

public:
    explicit TStoredValues(TFormStorage* Storage);

    int Count() const override { return static_cast<int>(FItems.size()); }
    TStoredValue* Item(int Index) const override { return FItems[Index]; }
    TStoredValue* Add() override;
    void Clear() override;
    // The first value whose name equals Name ignoring case, or -1.
    int IndexOf(const QString& Name) const;
    // The value of that name, or null.
    TStoredValue* ValueByName(const QString& Name) const;

    TFormStorage* Storage() const { return FStorage; }

    virtual void SaveAll();
    virtual void RestoreAll();

private:
    TFormStorage* FStorage;
    QList<TStoredValue*> FItems;
};

// A placement that also keeps chosen control properties ("Component.Property"
// items, stored under "Component_Property") and free named values.
class TFormStorage : public TFormPlacement {
    Q_OBJECT
    Q_PROPERTY(QStringList StoredProps READ StoredProps WRITE SetStoredProps)
    Q_PROPERTY(TStoredValues* StoredValues READ StoredValues)

public:
    explicit TFormStorage(QObject* Owner);

    QStringList StoredProps() const;
    // Takes the items; once the owner is complete they are tied to its
    // components, and an item whose component the owner does not hold is
    // dropped. An item goes when its component is destroyed.
    void SetStoredProps(const QStringList& Items);
    TStoredValues* StoredValues() const { return FStoredValues; }

    void Loaded() override;

protected:
    void WritePlacement() override;
    void ReadPlacement() override;
    virtual void WriteStoredProps();
    virtual void ReadStoredProps();

private:
    void ResolveStoredProps();

    TStoredList FStoredProps;
    QList<QMetaObject::Connection> FWatches;
    TStoredValues* FStoredValues;
};

}  // namespace kit
