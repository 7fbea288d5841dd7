#include "kit/form_storage.h"

#include <algorithm>
#include <exception>

#include "kit/app_utils.h"
#include "kit/resource_strings.h"
#include "kit/str_utils.h"

namespace kit {

TWinMinMaxInfo::TWinMinMaxInfo(TFormPlacement* Owner) : QObject(Owner), FOwner(Owner) {}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& Source) {
    std::copy(std::begin(Source.FValues), std::end(Source.FValues), std::begin(FValues));
    FOwner->MinMaxInfoChanged();
}

bool TWinMinMaxInfo::HasDefaultValue() const {
    return std::all_of(std::begin(FValues), std::end(FValues), [](int Value) { return Value == 0; });
}

void TWinMinMaxInfo::Set(int Index, int Value) {
    if (FValues[Index] != Value) {
        FValues[Index] = Value;
        FOwner->MinMaxInfoChanged();
    }
}

TFormPlacement::TFormPlacement(QObject* Owner)
    : QObject(Owner), FMinMaxInfo(new TWinMinMaxInfo(this)), FWinHook(new TWindowHook(this)) {
    if (OwnerForm() != nullptr) {
        FOptions = TPlacementOptions(fpState) | fpPosition;
    }
    FWinHook->AfterMessage = [this](QObject*, QEvent* Message, bool&) { AfterWindowMessage(Message); };
    if (auto* form = qobject_cast<TKitForm*>(Owner); form != nullptr && !form->IsLoaded()) {
        FLoading = true;
        connect(form, &TKitForm::FormLoaded, this, &TFormPlacement::Loaded);
    }
}

TFormPlacement::~TFormPlacement() {
    CloseStorage();
    FWinHook->SetWinControl(nullptr);
    // While the form itself is being destroyed it is no kit form any more, and
    // its events are gone with it.
    if (auto* form = qobject_cast<TKitForm*>(parent()); form != nullptr && FHandlesFormEvents) {
        form->OnShow = FSaveFormShow;
        form->OnCloseQuery = FSaveFormCloseQuery;
        form->OnDestroy = FSaveFormDestroy;
    }
}

QString TFormPlacement::IniFileName() const { return FIniFileName.isEmpty() ? DefaultIniFileName() : FIniFileName; }

QString TFormPlacement::IniSection() const {
    return FIniSection.isEmpty() ? DefaultSectionName(parent()) : FIniSection;
}

void TFormPlacement::SetPreventResize(bool Value) {
    if (OwnerForm() != nullptr && Value != FPreventResize) {
        FPreventResize = Value;
        ApplyPreventResize();
    }
}

void TFormPlacement::SetUseRegistry(bool Value) {
    if (Value) {
        throw Exception(ResourceString("Settings can only be stored in an INI file on this system"));
    }
}

QWidget* TFormPlacement::OwnerForm() const {
    auto* widget = qobject_cast<QWidget*>(parent());
    return widget != nullptr && widget->isWindow() ? widget : nullptr;
}

void TFormPlacement::OpenStorage() {
    if (!FStore) {
        FStore = std::make_unique<TIniFile>(IniFileName());
    }
}

void TFormPlacement::CloseStorage() { FStore.reset(); }

// Runs Action on the open store, or opens one for it and closes it again on
// every way out.
template <typename TAction>
auto TFormPlacement::WithStore(TAction Action) {
    if (FStore) {
        return Action();
    }
    OpenStorage();
    struct TCloser {
        TFormPlacement& Placement;
        ~TCloser() { Placement.CloseStorage(); }
    } closer{*this};
    return Action();
}

QString TFormPlacement::ReadSectionEntry(const QString& Section, const QString& Ident, const QString& Default) {
    return WithStore([&] { return StorageReadString(FStore.get(), Section, Ident, Default); });
}

void TFormPlacement::WriteSectionEntry(const QString& Section, const QString& Ident, const QString& Value) {
    WithStore([&] { StorageWriteString(FStore.get(), Section, Ident, Value); });
}

QString TFormPlacement::ReadEntryText(const QString& Ident, const QString& Default) {
    return ReadSectionEntry(IniSection(), Ident, Default);
}

void TFormPlacement::WriteEntryText(const QString& Ident, const QString& Value) {
    WriteSectionEntry(IniSection(), Ident, Value);
}

int TFormPlacement::ReadEntryNumber(const QString& Ident, int Default) {
    return WithStore([&] { return StorageReadInteger(FStore.get(), IniSection(), Ident, Default); });
}

void TFormPlacement::WriteEntryNumber(const QString& Ident, int Value) {
    WithStore([&] { StorageWriteInteger(FStore.get(), IniSection(), Ident, Value); });
}

void TFormPlacement::SaveFormState() {
    if (FActive && !FRestored) {
        return;
    }
    WithStore([&] {
        WriteEntryNumber("FormVersion", FVersion);
        WritePlacement();
        if (OnSavePlacement) {
            OnSavePlacement(this);
        }
        FSaved = true;
    });
}

void TFormPlacement::LoadFormState() {
    FSaved = false;
    WithStore([&] {
        if (ReadEntryNumber("FormVersion", 0) >= FVersion) {
            ReadPlacement();
            FRestored = true;
            if (OnRestorePlacement) {
                OnRestorePlacement(this);
            }
            QWidget* form = OwnerForm();
            if (FOptions.testFlag(fpActiveControl) && form != nullptr) {
                auto* control = qobject_cast<QWidget*>(FindOwnedComponent(form, ReadEntryText("ActiveControl", {})));
                if (control != nullptr && control->focusPolicy() != Qt::NoFocus && control->isEnabled()) {
                    control->setFocus();
                }
            }
        }
        FRestored = true;
    });
}

void TFormPlacement::WritePlacement() {
    QWidget* form = OwnerForm();
    if (form == nullptr) {
        return;
    }
    if (FOptions & (TPlacementOptions(fpState) | fpPosition)) {
        SaveWindowPlacement(form, FStore.get(), IniSection());
        FStore->WriteBool(IniSection(), "Visible", FDestroying);
    }
    if (FOptions.testFlag(fpActiveControl) && form->focusWidget() != nullptr) {
        WriteEntryText("ActiveControl", form->focusWidget()->objectName());
    }
}

void TFormPlacement::ReadPlacement() {
    if (QWidget* form = OwnerForm()) {
        LoadWindowPlacement(form, FStore.get(), IniSection(), FOptions.testFlag(fpState),
                            FOptions.testFlag(fpPosition));
    }
}

void TFormPlacement::Loaded() {
    auto* form = qobject_cast<TKitForm*>(parent());
    if (form == nullptr || !FLoading) {
        return;
    }
    FLoading = false;
    FHandlesFormEvents = true;
    FSaveFormShow = form->OnShow;
    FSaveFormCloseQuery = form->OnCloseQuery;
    FSaveFormDestroy = form->OnDestroy;
    form->OnShow = [this](QObject* Sender) {
        if (FActive) {
            try {
                LoadFormState();
            } catch (const std::exception& error) {
                ApplicationShowException(error);
            }
        }
        if (FSaveFormShow) {
            FSaveFormShow(Sender);
        }
    };
    form->OnCloseQuery = [this](QObject* Sender, bool& CanClose) {
        if (FSaveFormCloseQuery) {
            FSaveFormCloseQuery(Sender, CanClose);
        }
        if (CanClose && FActive) {
            try {
                SaveFormState();
            } catch (const std::exception& error) {
                ApplicationShowException(error);
            }
        }
    };
    form->OnDestroy = [this](QObject* Sender) {
        if (FActive && !FSaved) {
            FDestroying = true;
            try {
                SaveFormState();
            } catch (const std::exception& error) {
                ApplicationShowException(error);
            }
            FDestroying = false;
        }
        if (FSaveFormDestroy) {
            FSaveFormDestroy(Sender);
        }
    };
    FDefMaximize = form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint);
    if (FPreventResize) {
        ApplyPreventResize();
    }
    UpdateWindowHook();
}

void TFormPlacement::MinMaxInfoChanged() {
    if (!FLoading) {
        UpdateWindowHook();
    }
}

void TFormPlacement::UpdateWindowHook() {
    QWidget* form = OwnerForm();
    const bool limited = form != nullptr && (!FMinMaxInfo->HasDefaultValue() || FPreventResize);
    QWidget* const hooked = FWinHook->WinControl();
    if (limited && hooked == nullptr) {
        // The form's own limits, put back when these are lifted.
        FFormMinSize = form->minimumSize();
        FFormMaxSize = form->maximumSize();
    } else if (!limited && hooked != nullptr) {
        hooked->setMinimumSize(FFormMinSize);
        hooked->setMaximumSize(FFormMaxSize);
    }
    FWinHook->SetWinControl(limited ? form : nullptr);
    ApplyLimits();
}

void TFormPlacement::ApplyPreventResize() {
    QWidget* form = OwnerForm();
    if (form == nullptr) {
        return;
    }
    if (FPreventResize) {
        FDefMaximize = form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint);
    }
    // Changing window flags hides the window; showing it again must not
    // restore the stored state.
    const bool wasActive = FActive;
    FActive = false;
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowMaximizeButtonHint, !FPreventResize && FDefMaximize);
    if (visible) {
        form->show();
    }
    FActive = wasActive;
    if (!FLoading) {
        UpdateWindowHook();
    }
}

// The form's size limits: a fixed size with PreventResize, else the tracking
// limits that are set.
void TFormPlacement::ApplyLimits() {
    QWidget* form = OwnerForm();
    if (form == nullptr || FWinHook->WinControl() == nullptr) {
        return;
    }
    if (FPreventResize) {
        form->setFixedSize(form->size());
        return;
    }
    const TWinMinMaxInfo& info = *FMinMaxInfo;
    form->setMinimumSize(info.MinTrackWidth(), info.MinTrackHeight());
    form->setMaximumSize(info.MaxTrackWidth() != 0 ? info.MaxTrackWidth() : QWIDGETSIZE_MAX,
                         info.MaxTrackHeight() != 0 ? info.MaxTrackHeight() : QWIDGETSIZE_MAX);
}

void TFormPlacement::AfterWindowMessage(QEvent* Message) {
    if (Message->type() == QEvent::Show) {
        ApplyLimits();
    }
}

TStoredValue::TStoredValue(QObject* Collection) : QObject(Collection) {}

TFormStorage* TStoredValue::Storage() const {
    const auto* values = qobject_cast<const TStoredValues*>(parent());
    return values == nullptr ? nullptr : values->Storage();
}

void TStoredValue::SetName(const QString& Value) {
    const auto* values = qobject_cast<const TStoredValues*>(parent());
    if (!Value.isEmpty() && Value.compare(FName, Qt::CaseInsensitive) != 0 && values != nullptr &&
        values->IndexOf(Value) >= 0) {
        throw Exception(ResourceString("String list does not allow duplicates"));
    }
    FName = Value;
}

void TStoredValue::Assign(const TStoredValue& Source) {
    FValue = Source.FValue;
    SetName(Source.FName);
    FKeyString = Source.FKeyString;
}

void TStoredValue::Save() {
    QVariant value = FValue;
    if (OnSave) {
        OnSave(this, value);
    }
    QString text = value.toString();
    if (!FKeyString.isEmpty()) {
        text = XorToHex(FKeyString, text);
    }
    if (TFormStorage* storage = Storage()) {
        storage->WriteEntryText(FName, text);
    }
}

void TStoredValue::Restore() {
    TFormStorage* storage = Storage();
    if (storage == nullptr) {
        return;
    }
    QString text = FValue.toString();
    if (!FKeyString.isEmpty()) {
        text = XorFromHex(FKeyString, storage->ReadEntryText(FName, XorToHex(FKeyString, text)));
    } else {
        text = storage->ReadEntryText(FName, text);
    }
    QVariant value(text);
    if (OnRestore) {
        OnRestore(this, value);
    }
    FValue = value;
}

TStoredValues::TStoredValues(TFormStorage* Storage) : TCollection(Storage), FStorage(Storage) {}

TStoredValue* TStoredValues::Add() {
    FItems << new TStoredValue(this);
    return FItems.back();
}

void TStoredValues::Clear() {
    qDeleteAll(FItems);
    FItems.clear();
}

int TStoredValues::IndexOf(const QString& Name) const {
    for (int i = 0; i < Count(); ++i) {
        if (FItems[i]->Name().compare(Name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

TStoredValue* TStoredValues::ValueByName(const QString& Name) const {
    const int index = IndexOf(Name);
    return index < 0 ? nullptr : FItems[index];
}

void TStoredValues::SaveAll() {
    for (TStoredValue* value : FItems) {
        value->Save();
    }
}

void TStoredValues::RestoreAll() {
    for (TStoredValue* value : FItems) {
        value->Restore();
    }
}

TFormStorage::TFormStorage(QObject* Owner) : TFormPlacement(Owner), FStoredValues(new TStoredValues(this)) {}

QStringList TFormStorage::StoredProps() const {
    QStringList items;
    for (const TStoredItem& item : FStoredProps) {
        items << item.Text;
    }
    return items;
}

void TFormStorage::SetStoredProps(const QStringList& Items) {
    FStoredProps.clear();
    for (const QString& text : Items) {
        FStoredProps << TStoredItem{text, nullptr};
    }
    if (!Loading()) {
        ResolveStoredProps();
    }
}

void TFormStorage::ResolveStoredProps() {
    SyncStoredList(parent(), FStoredProps, true);
    for (const QMetaObject::Connection& connection : FWatches) {
        disconnect(connection);
    }
    FWatches.clear();
    for (const TStoredItem& item : FStoredProps) {
        FWatches << connect(item.Component, &QObject::destroyed, this, [this](QObject* Component) {
            FStoredProps.removeIf(
                [&](const TStoredItem& Item) { return Item.Component == nullptr || Item.Component == Component; });
        });
    }
}

void TFormStorage::Loaded() {
    const bool loading = Loading();
    TFormPlacement::Loaded();
    if (loading) {
        ResolveStoredProps();
    }
}

void TFormStorage::WritePlacement() {
    TFormPlacement::WritePlacement();
    WriteStoredProps();
    FStoredValues->SaveAll();
}

void TFormStorage::ReadPlacement() {
    TFormPlacement::ReadPlacement();
    ReadStoredProps();
    FStoredValues->RestoreAll();
}

void TFormStorage::WriteStoredProps() {
    TPropsStorage storage;
    storage.Section = IniSection();
    storage.OnWriteString = [this](const QString& Section, const QString& Item, const QString& Value) {
        WriteSectionEntry(Section, Item, Value);
    };
    storage.OnEraseSection = [this](const QString& Section) { Store()->EraseSection(Section); };
    storage.StoreItems(parent(), FStoredProps);
}

void TFormStorage::ReadStoredProps() {
    TPropsStorage storage;
    storage.Section = IniSection();
    storage.OnReadString = [this](const QString& Section, const QString& Item, const QString& Default) {
        return ReadSectionEntry(Section, Item, Default);
    };
    storage.LoadItems(parent(), FStoredProps);
}

}  // namespace kit
