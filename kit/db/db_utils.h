#pragma once

#include <QVariant>

#include "kit/db/memory_data.h"

namespace kit {

// Makes the first record whose key fields (names separated by ";") match the key values current:
// one value for one key field, a QVariantList with one value per key field for several. String fields
// compare as text (optionally ignoring case, optionally only the key's length); other fields match when
// their value equals the key value. Returns false and stays put when nothing matches.
bool LocateInDataSet(TDataSet& DataSet, const QString& KeyFields, const QVariant& KeyValues, TLocateOptions Options);

}  // namespace kit
