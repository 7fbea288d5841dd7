#pragma once

#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "kit/exception.h"

namespace kit {

// Storing component properties as text. A component's stored properties are
// its Q_PROPERTYs; a value is stored under the key component name + "_" +
// property name, in one section, through callbacks that a store supplies.
//
// Text forms: integers in decimal; Booleans "True"/"False" (read ignoring
// case); enumerations by value name; sets (flag properties) as "[a,c]";
// strings trimmed; string lists in a sub-section ("Count", "Item0", ...);
// component references as the component's name, prefixed with its form's name
// and "." when it lies on another form; collections (TCollection) item by item
// in a sub-section; any other object property by its own properties.

// Largest line or item count that a load accepts; a larger stored count is
// taken as damage and leaves the property as it is.
inline constexpr int MaxStoredCount = 100000;

// A list of items kept by the stores: each item the text "Component.Property"
// and the component it refers to.
class TCollection : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    virtual int Count() const = 0;
    virtual QObject* Item(int Index) const = 0;
    virtual QObject* Add() = 0;
    virtual void Clear() = 0;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

struct TStoredItem {
    QString Text;
    QPointer<QObject> Component;
};
using TStoredList = QList<TStoredItem>;

// The stored properties of one object: the Q_PROPERTYs that its classes
// declare up to the first class of the toolkit (a class named "Q..." outside
// any namespace), sorted by name ignoring case.
class TPropInfoList {
public:
    explicit TPropInfoList(const QObject* Object);

    int Count() const { return static_cast<int>(FProps.size()); }
    const QMetaProperty& Item(int Index) const { return FProps[static_cast<std::size_t>(Index)]; }
    // The first property whose name equals Name ignoring ASCII case.
    std::optional<QMetaProperty> FindProp(const QString& Name) const;

private:
    std::vector<QMetaProperty> FProps;
};

class TPropsStorage {
public:
    using TReadStringEvent =
        std::function<QString(const QString& Section, const QString& Item, const QString& Default)>;
    using TWriteStringEvent = std::function<void(const QString& Section, const QString& Item, const QString& Value)>;
    using TEraseSectionEvent = std::function<void(const QString& Section)>;

    TPropsStorage() = default;
    virtual ~TPropsStorage() = default;
    TPropsStorage(const TPropsStorage&) = delete;
    TPropsStorage& operator=(const TPropsStorage&) = delete;

    QObject* Target = nullptr;
    QObject* Root = nullptr;
    QString Prefix;
    QString Section;
    TReadStringEvent OnReadString;
    TWriteStringEvent OnWriteString;
    TEraseSectionEvent OnEraseSection;

    // Stores or loads every item of List against Owner. Storing raises what
    // the callbacks raise and what goes wrong building the item lists (two
    // components of one name); loading never raises.
    void StoreItems(QObject* Owner, TStoredList& List);
    void LoadItems(QObject* Owner, TStoredList& List);

    // One property of Target under ItemKey(its name) in Section. Loading
    // drops every error and then keeps the property's value.
    void StoreProperty(const std::optional<QMetaProperty>& Prop);
    void LoadProperty(const std::optional<QMetaProperty>& Prop);

protected:
    // Calls OnReadString; without it the text is empty.
    virtual QString ReadEntryText(const QString& Section, const QString& Item, const QString& Default);
    virtual void WriteEntryText(const QString& Section, const QString& Item, const QString& Value);
    virtual void ClearSection(const QString& Section);
    virtual QString ItemKey(const QString& PropName) const { return Prefix + PropName; }
    virtual std::unique_ptr<TPropsStorage> NewStorage() const { return std::make_unique<TPropsStorage>(); }

private:
    void StoreObjectProperty(const QMetaProperty& Prop);
    void LoadObjectProperty(const QMetaProperty& Prop);
    // Stores or loads every property of Object through Nested.
    void RunObject(TPropsStorage& Nested, QObject* Object, const QString& Prefix, const QString& Section, bool Store);
    void RunItems(QObject* Owner, TStoredList& List, bool Store);
};

// "Component.Property" split at the first "." with both parts trimmed of
// characters up to code 32; nullopt unless both parts are non-empty.
std::optional<std::pair<QString, QString>> SplitStoredItem(const QString& Item);
QString JoinStoredItem(const QString& Component, const QString& Prop);
QString RenameStoredItem(const QString& Item, const QString& NewComponent);

// Walks List from last to first and drops items that are not valid. With
// Resolve, each item gets the component of Owner named by it (dropped when
// there is none); without, items with no component are dropped and the others
// renamed after their component's current name.
void SyncStoredList(QObject* Owner, TStoredList& List, bool Resolve);

// The component that Owner holds (at any depth) under Name, ignoring ASCII
// case; null when there is none.
QObject* FindOwnedComponent(const QObject* Owner, const QString& Name);

// The form (top-level window) that holds the component; for a form itself or
// an object outside any window, its parent.
QObject* ComponentOwner(const QObject* Component);

// The application's top-level window named Name ignoring ASCII case, in the
// application's window order; null when there is none.
QObject* FindFormByName(const QString& Name);

}  // namespace kit
