#pragma once

// The tool's two tables and a few helpers shared by the tests.

#include <QString>
#include <vector>

#include "kit/db/memory_data.h"

namespace kit::testing {

// The reader list: five string fields, the port hidden from grids.
inline void AddReaderFields(TMemoryData& Table) {
    Table.AddField("Device", ftString, 30);
    Table.AddField("SerialNumber", ftString, 30);
    Table.AddField("COM", ftString, 10).SetVisible(false);
    Table.AddField("DeviceDescription", ftString, 60);
    Table.AddField("Info", ftString, 60);
}

// The card list: time, three stored renderings and the calculated hexadecimal rendering of CardCode.
inline void AddCardFields(TMemoryData& Table) {
    Table.AddField("DateTime", ftDateTime);
    Table.AddField("CardCode", ftString, 20);
    Table.AddField("CardCode26", ftString, 20);
    Table.AddField("CardCode8and16", ftString, 20);
    Table.AddField("CardCode40Hex", ftString, 40, fkCalculated);
    Table.OnCalcFields = [](TDataSet& DataSet) {
        const TField& Code = DataSet.FieldByName("CardCode");
        if (!Code.IsNull()) {
            DataSet.FieldByName("CardCode40Hex").SetAsString(QString::number(Code.AsLargeInt(), 16).toUpper());
        }
    };
}

// Appends one row with the first field set to Text.
inline void AppendText(TDataSet& Table, const QString& Text) {
    Table.Append();
    Table.Fields(0).SetAsString(Text);
    Table.Post();
}

// The first field of every row, walking from the first.
inline std::vector<QString> Column0(TDataSet& Table) {
    std::vector<QString> Result;
    for (Table.First(); !Table.Eof(); Table.Next()) {
        Result.push_back(Table.Fields(0).AsString());
    }
    return Result;
}

// A table with one string field "Name" (20) holding the given rows.
inline void FillNames(TMemoryData& Table, const std::vector<QString>& Names) {
    Table.AddField("Name", ftString, 20);
    Table.Open();
    for (const QString& Name : Names) {
        AppendText(Table, Name);
    }
}

}  // namespace kit::testing
