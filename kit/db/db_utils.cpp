#include "kit/db/db_utils.h"

namespace kit {

namespace {

bool FieldMatches(const TField& Field, const QVariant& Value, TLocateOptions Options) {
    if (Field.DataType() != ftString) {
        return Field.Value() == Value;
    }
    const QString Key = Value.toString();
    QString Text = Field.AsString();
    if (Options.PartialKey) {
        Text.truncate(Key.size());
    }
    if (Options.CaseInsensitive) {
        return QString::localeAwareCompare(Text.toLower(), Key.toLower()) == 0;
    }
    return QString::localeAwareCompare(Text, Key) == 0;
}

}  // namespace

bool LocateInDataSet(TDataSet& DataSet, const QString& KeyFields, const QVariant& KeyValues, TLocateOptions Options) {
    DataSet.CheckBrowseMode();
    if (DataSet.IsEmpty()) {
        return false;
    }
    const QList<TField*> Fields = DataSet.GetFieldList(KeyFields);
    if (Fields.isEmpty()) {
        throw EDatabaseError("No key fields given for the search");
    }
    QVariantList Values;
    if (Fields.size() == 1) {
        Values.append(KeyValues);
    } else {
        Values = KeyValues.toList();
        if (Values.size() < Fields.size()) {
            throw EDatabaseError(
                QStringLiteral("%1 key values given for %2 key fields").arg(Values.size()).arg(Fields.size()));
        }
    }
    const auto Matches = [&] {
        for (int Index = 0; Index < Fields.size(); ++Index) {
            if (!FieldMatches(*Fields[Index], Values[Index], Options)) {
                return false;
            }
        }
        return true;
    };
    if (Matches()) {
        return true;
    }
    const TControlsDisabled Disabled(DataSet);
    const TBookmark Saved = DataSet.GetBookmark();
    for (DataSet.First(); !DataSet.Eof(); DataSet.Next()) {
        if (Matches()) {
            return true;
        }
    }
    if (DataSet.BookmarkValid(Saved)) {
        DataSet.GotoBookmark(Saved);
    }
    return false;
}

}  // namespace kit
