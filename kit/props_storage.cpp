#include "kit/props_storage.h"

#include <QApplication>
#include <QLocale>
#include <QMetaEnum>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <bit>
#include <map>
#include <utility>

#include "kit/str_utils.h"

namespace kit {
namespace {

enum class EKind { None, Integer, Int64, Char, Bool, Enum, Set, Float, String, StringList, Variant, Object };

EKind KindOf(const QMetaProperty& Prop) {
    if (Prop.isEnumType()) {
        return Prop.isFlagType() ? EKind::Set : EKind::Enum;
    }
    switch (Prop.metaType().id()) {
        case QMetaType::Bool:
            return EKind::Bool;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
            return EKind::Integer;
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return EKind::Int64;
        case QMetaType::QChar:
        case QMetaType::Char:
            return EKind::Char;
        case QMetaType::Double:
        case QMetaType::Float:
            return EKind::Float;
        case QMetaType::QString:
            return EKind::String;
        case QMetaType::QStringList:
            return EKind::StringList;
        case QMetaType::QVariant:
            return EKind::Variant;
        default:
            return Prop.metaType().flags().testFlag(QMetaType::PointerToQObject) ? EKind::Object : EKind::None;
    }
}

bool SameName(const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) == 0; }

// The set members: (bit, name) of every single-bit value of the flag type
// with a bit from 0 to 31, ascending by bit.
std::vector<std::pair<int, QString>> SetElements(const QMetaEnum& Enum) {
    std::vector<std::pair<int, QString>> elements;
    for (int i = 0; i < Enum.keyCount(); ++i) {
        const auto value = static_cast<quint32>(Enum.value(i));
        if (value != 0 && (value & (value - 1)) == 0) {
            elements.emplace_back(std::countr_zero(value), QString::fromLatin1(Enum.key(i)));
        }
    }
    std::stable_sort(elements.begin(), elements.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    return elements;
}

QString PropertyText(const QObject* Target, const QMetaProperty& Prop, EKind Kind) {
    const QVariant value = Prop.read(Target);
    switch (Kind) {
        case EKind::Integer:
        case EKind::Int64:
            return value.toString();
        case EKind::Char:
            return value.toString().left(1);
        case EKind::Bool:
            return value.toBool() ? "True" : "False";
        case EKind::Enum:
            return QString::fromLatin1(Prop.enumerator().valueToKey(value.toInt()));
        case EKind::Set: {
            const auto bits = static_cast<quint32>(value.toInt());
            QStringList members;
            int lastBit = -1;
            for (const auto& [bit, name] : SetElements(Prop.enumerator())) {
                if (bit != lastBit && (bits & (1U << bit)) != 0) {
                    members << name;
                }
                lastBit = bit;
            }
            return "[" + members.join(',') + "]";
        }
        case EKind::Float:
            return QLocale::c().toString(value.toDouble(), 'g', Prop.metaType().id() == QMetaType::Float ? 7 : 15);
        case EKind::String:
        case EKind::Variant:
            return value.toString();
        default:
            return {};
    }
}

void SetFromText(QObject* Target, const QMetaProperty& Prop, EKind Kind, const QString& Text) {
    bool ok = false;
    switch (Kind) {
        case EKind::Integer: {
            const int number = Text.toInt(&ok);
            Prop.write(Target, ok ? number : 0);
            return;
        }
        case EKind::Int64: {
            const qlonglong number = Text.toLongLong(&ok);
            Prop.write(Target, ok ? number : 0);
            return;
        }
        case EKind::Char:
            if (!Text.isEmpty()) {
                Prop.write(Target, QVariant::fromValue(Text[0]));
            }
            return;
        case EKind::Bool:
            if (SameName(Text, "True") || SameName(Text, "False")) {
                Prop.write(Target, SameName(Text, "True"));
            }
            return;
        case EKind::Enum: {
            const QMetaEnum type = Prop.enumerator();
            std::vector<std::pair<int, QString>> values;
            values.reserve(static_cast<std::size_t>(type.keyCount()));
            for (int i = 0; i < type.keyCount(); ++i) {
                values.emplace_back(type.value(i), QString::fromLatin1(type.key(i)));
            }
            std::stable_sort(values.begin(), values.end(),
                             [](const auto& A, const auto& B) { return A.first < B.first; });
            const auto match = std::find_if(values.begin(), values.end(),
                                            [&](const auto& Value) { return SameName(Value.second, Text); });
            if (match != values.end()) {
                Prop.write(Target, match->first);
            }
            return;
        }
        case EKind::Set: {
            const QString delimiters = " ,[]";
            const auto elements = SetElements(Prop.enumerator());
            quint32 bits = 0;
            for (int n = 1; n <= CountWords(Text, delimiters); ++n) {
                const QString word = PickWord(n, Text, delimiters);
                const auto match = std::find_if(elements.begin(), elements.end(),
                                                [&](const auto& Element) { return SameName(Element.second, word); });
                if (match != elements.end()) {
                    bits |= 1U << match->first;
                }
            }
            Prop.write(Target, static_cast<int>(bits));
            return;
        }
        case EKind::Float: {
            const double number = QLocale::c().toDouble(Text, &ok);
            if (ok) {
                Prop.write(Target, number);
            }
            return;
        }
        case EKind::String:
        case EKind::Variant:
            Prop.write(Target, Text);
            return;
        default:
            return;
    }
}

QString ClassNameWithoutPrefix(const QObject* Object) {
    QString name = QString::fromLatin1(Object->metaObject()->className()).section("::", -1);
    if (name.startsWith('T') || name.startsWith('t')) {
        name.remove(0, 1);
    }
    return name;
}

// The count of a sub-list stored as text; nullopt for damage (no number, or
// outside 0 .. MaxStoredCount).
std::optional<int> StoredCount(const QString& Text, int Default) {
    bool ok = false;
    const int count = TrimBlanks(Text).toInt(&ok);
    if (!ok) {
        return Default;
    }
    if (count < 0 || count > MaxStoredCount) {
        return std::nullopt;
    }
    return count;
}

// A sub-object is one the target owns directly; any other object a property
// holds is a reference to a component.
bool IsReference(const QObject* Target, const QObject* Object) { return Object->parent() != Target; }

}  // namespace

TPropInfoList::TPropInfoList(const QObject* Object) {
    if (Object == nullptr) {
        return;
    }
    // The stored properties are those our own classes declare; the toolkit's
    // own (objectName, geometry, its lower-case "checked" ...) are not.
    for (const QMetaObject* meta = Object->metaObject(); meta != nullptr; meta = meta->superClass()) {
        const QString className = QString::fromLatin1(meta->className());
        if (className.startsWith('Q') && !className.contains("::")) {
            break;
        }
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            FProps.push_back(meta->property(i));
        }
    }
    std::stable_sort(FProps.begin(), FProps.end(),
                     [](const QMetaProperty& A, const QMetaProperty& B) { return qstricmp(A.name(), B.name()) < 0; });
}

std::optional<QMetaProperty> TPropInfoList::FindProp(const QString& Name) const {
    const auto match = std::find_if(FProps.begin(), FProps.end(), [&](const QMetaProperty& Prop) {
        return SameName(QLatin1String(Prop.name()), Name);
    });
    return match == FProps.end() ? std::nullopt : std::optional(*match);
}

QString TPropsStorage::ReadEntryText(const QString& Section, const QString& Item, const QString& Default) {
    return OnReadString ? OnReadString(Section, Item, Default) : QString();
}

void TPropsStorage::WriteEntryText(const QString& Section, const QString& Item, const QString& Value) {
    if (OnWriteString) {
        OnWriteString(Section, Item, Value);
    }
}

void TPropsStorage::ClearSection(const QString& Section) {
    if (OnEraseSection) {
        OnEraseSection(Section);
    }
}

void TPropsStorage::StoreProperty(const std::optional<QMetaProperty>& Prop) {
    if (!Prop || Target == nullptr) {
        return;
    }
    const EKind kind = KindOf(*Prop);
    const QString key = ItemKey(QLatin1String(Prop->name()));
    if (kind == EKind::Object) {
        StoreObjectProperty(*Prop);
    } else if (kind == EKind::StringList) {
        const QString section = Section + "." + key;
        const QStringList lines = Prop->read(Target).toStringList();
        ClearSection(section);
        if (!lines.isEmpty()) {
            WriteEntryText(section, "Count", QString::number(lines.size()));
            for (int i = 0; i < lines.size(); ++i) {
                WriteEntryText(section, QString("Item%1").arg(i), lines[i]);
            }
        }
    } else if (kind != EKind::None) {
        const QString text = PropertyText(Target, *Prop, kind);
        if (!text.isEmpty() || kind == EKind::String || kind == EKind::Char) {
            WriteEntryText(Section, key, TrimBlanks(text));
        }
    }
}

void TPropsStorage::LoadProperty(const std::optional<QMetaProperty>& Prop) {
    if (!Prop || Target == nullptr) {
        return;
    }
    try {
        const EKind kind = KindOf(*Prop);
        const QString key = ItemKey(QLatin1String(Prop->name()));
        if (kind == EKind::Object) {
            LoadObjectProperty(*Prop);
        } else if (kind == EKind::StringList) {
            const QString section = Section + "." + key;
            const auto count = StoredCount(ReadEntryText(section, "Count", "0"), 0);
            if (count && *count > 0) {
                QStringList lines;
                for (int i = 0; i < *count; ++i) {
                    lines << ReadEntryText(section, QString("Item%1").arg(i), QString());
                }
                Prop->write(Target, lines);
            }
        } else if (kind != EKind::None) {
            const QString current = PropertyText(Target, *Prop, kind);
            QString text;
            if (!current.isEmpty() || kind == EKind::String || kind == EKind::Char) {
                text = TrimBlanks(ReadEntryText(Section, key, current));
            }
            SetFromText(Target, *Prop, kind, text);
        }
    } catch (...) {
        // A value that cannot be restored keeps the property as it is.
    }
}

void TPropsStorage::RunObject(TPropsStorage& Nested, QObject* Object, const QString& Prefix, const QString& Section,
                              bool Store) {
    Nested.Target = Object;
    Nested.Root = Root;
    Nested.Prefix = Prefix;
    Nested.Section = Section;
    if (Store) {
        Nested.OnWriteString = OnWriteString;
        Nested.OnEraseSection = OnEraseSection;
    } else {
        Nested.OnReadString = OnReadString;
    }
    const TPropInfoList props(Object);
    for (int i = 0; i < props.Count(); ++i) {
        if (Store) {
            Nested.StoreProperty(props.Item(i));
        } else {
            Nested.LoadProperty(props.Item(i));
        }
    }
}

void TPropsStorage::StoreObjectProperty(const QMetaProperty& Prop) {
    auto* object = Prop.read(Target).value<QObject*>();
    if (object == nullptr) {
        return;
    }
    const QString key = ItemKey(QLatin1String(Prop.name()));
    if (IsReference(Target, object) && qobject_cast<TCollection*>(object) == nullptr) {
        QString text = object->objectName();
        const QObject* owner = ComponentOwner(object);
        if (owner != nullptr && owner != Root) {
            const QString ownerName =
                owner->objectName().isEmpty() ? ClassNameWithoutPrefix(owner) : owner->objectName();
            text = ownerName + "." + text;
        }
        if (!text.isEmpty()) {
            WriteEntryText(Section, key, TrimBlanks(text));
        }
        return;
    }
    const auto nested = NewStorage();
    if (auto* collection = qobject_cast<TCollection*>(object)) {
        const QString section = Section + "." + key;
        ClearSection(section);
        WriteEntryText(Section, key + ".Count", QString::number(collection->Count()));
        for (int i = 0; i < collection->Count(); ++i) {
            RunObject(*nested, collection->Item(i), QString("Item%1_").arg(i), section, true);
        }
    }
    RunObject(*nested, object, key, Section, true);
}

void TPropsStorage::LoadObjectProperty(const QMetaProperty& Prop) {
    auto* object = Prop.read(Target).value<QObject*>();
    if (object == nullptr) {
        return;
    }
    const QString key = ItemKey(QLatin1String(Prop.name()));
    if (IsReference(Target, object) && qobject_cast<TCollection*>(object) == nullptr) {
        const QString text = TrimBlanks(ReadEntryText(Section, key, QString()));
        if (text.isEmpty()) {
            return;
        }
        if (SameName(text, "(null)")) {
            Prop.write(Target, QVariant::fromValue<QObject*>(nullptr));
            return;
        }
        const qsizetype dot = text.indexOf('.');
        const QString ownerName = dot < 0 ? QString() : TrimBlanks(text.left(dot));
        const QString name = dot < 0 ? text : TrimBlanks(text.mid(dot + 1));
        const QObject* root = ownerName.isEmpty() ? Root : FindFormByName(ownerName);
        if (root != nullptr) {
            Prop.write(Target, QVariant::fromValue(FindOwnedComponent(root, name)));
        }
        return;
    }
    const auto nested = NewStorage();
    if (auto* collection = qobject_cast<TCollection*>(object)) {
        const QString section = Section + "." + key;
        const auto count = StoredCount(ReadEntryText(Section, key + ".Count", QString::number(collection->Count())),
                                       collection->Count());
        if (!count) {
            return;
        }
        collection->BeginUpdate();
        try {
            if (*count != collection->Count()) {
                collection->Clear();
                for (int i = 0; i < *count; ++i) {
                    collection->Add();
                }
            }
            for (int i = 0; i < *count; ++i) {
                RunObject(*nested, collection->Item(i), QString("Item%1_").arg(i), section, false);
            }
        } catch (...) {
            collection->EndUpdate();
            throw;
        }
        collection->EndUpdate();
    }
    RunObject(*nested, object, key, Section, false);
}

void TPropsStorage::RunItems(QObject* Owner, TStoredList& List, bool Store) {
    if (Owner == nullptr) {
        return;
    }
    SyncStoredList(Owner, List, false);
    std::map<QString, std::pair<const QObject*, TPropInfoList>> props;
    for (const TStoredItem& item : List) {
        const QString name = item.Component->objectName().toLower();
        const auto known = props.find(name);
        if (known == props.end()) {
            props.emplace(name, std::make_pair(item.Component.data(), TPropInfoList(item.Component)));
        } else if (known->second.first != item.Component) {
            // Two components would write to the same keys.
            throw Exception(QString("Two components are named \"%1\"").arg(item.Component->objectName()));
        }
    }
    struct TRootGuard {
        TPropsStorage& Storage;
        ~TRootGuard() { Storage.Root = nullptr; }
    } guard{*this};
    Root = Owner;
    for (const TStoredItem& item : List) {
        const auto parts = SplitStoredItem(item.Text);
        if (!parts || item.Component == nullptr) {
            continue;
        }
        Target = item.Component;
        Prefix = item.Component->objectName();
        const auto known = props.find(Prefix.toLower());
        if (known != props.end()) {
            Prefix += "_";
            const auto prop = known->second.second.FindProp(parts->second);
            if (Store) {
                StoreProperty(prop);
            } else {
                LoadProperty(prop);
            }
        }
    }
}

void TPropsStorage::StoreItems(QObject* Owner, TStoredList& List) { RunItems(Owner, List, true); }

void TPropsStorage::LoadItems(QObject* Owner, TStoredList& List) {
    try {
        RunItems(Owner, List, false);
    } catch (...) {
        // Restoring stored settings never fails loudly.
    }
}

std::optional<std::pair<QString, QString>> SplitStoredItem(const QString& Item) {
    const qsizetype dot = Item.indexOf('.');
    if (dot < 0) {
        return std::nullopt;
    }
    auto parts = std::make_pair(TrimBlanks(Item.left(dot)), TrimBlanks(Item.mid(dot + 1)));
    if (parts.first.isEmpty() || parts.second.isEmpty()) {
        return std::nullopt;
    }
    return parts;
}

QString JoinStoredItem(const QString& Component, const QString& Prop) {
    return Component.isEmpty() || Prop.isEmpty() ? QString() : Component + "." + Prop;
}

QString RenameStoredItem(const QString& Item, const QString& NewComponent) {
    const auto parts = SplitStoredItem(Item);
    return parts ? JoinStoredItem(NewComponent, parts->second) : QString();
}

void SyncStoredList(QObject* Owner, TStoredList& List, bool Resolve) {
    if (Owner == nullptr) {
        return;
    }
    for (qsizetype i = List.size() - 1; i >= 0; --i) {
        TStoredItem& item = List[i];
        const auto parts = SplitStoredItem(item.Text);
        if (parts && Resolve) {
            item.Component = FindOwnedComponent(Owner, parts->first);
        }
        if (!parts || item.Component == nullptr) {
            List.removeAt(i);
        } else if (!Resolve) {
            item.Text = RenameStoredItem(item.Text, item.Component->objectName());
        }
    }
}

QObject* FindOwnedComponent(const QObject* Owner, const QString& Name) {
    if (Owner == nullptr || Name.isEmpty()) {
        return nullptr;
    }
    const auto children = Owner->findChildren<QObject*>();
    const auto match = std::find_if(children.begin(), children.end(),
                                    [&](const QObject* Child) { return SameName(Child->objectName(), Name); });
    return match == children.end() ? nullptr : *match;
}

QObject* ComponentOwner(const QObject* Component) {
    const auto* widget = qobject_cast<const QWidget*>(Component);
    if (widget != nullptr && widget->isWindow()) {
        return QCoreApplication::instance();
    }
    QObject* owner = Component->parent();
    while (owner != nullptr && owner->parent() != nullptr) {
        const auto* ownerWidget = qobject_cast<const QWidget*>(owner);
        if (ownerWidget != nullptr && ownerWidget->isWindow()) {
            break;
        }
        owner = owner->parent();
    }
    return owner;
}

QObject* FindFormByName(const QString& Name) {
    const auto windows = QApplication::topLevelWidgets();
    const auto match = std::find_if(windows.begin(), windows.end(),
                                    [&](const QWidget* Window) { return SameName(Window->objectName(), Name); });
    return match == windows.end() ? nullptr : *match;
}

}  // namespace kit
