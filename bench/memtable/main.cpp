// Scale of the card list: appends and posts card rows with a grid model attached, then empties the
// table, at growing sizes. Prints the time per row at each size, the ratio of the largest to the
// smallest, and the peak memory of the process.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <vector>

#include "kit/db/db_grid.h"
#include "kit/db/memory_data.h"

namespace {

double Seconds(std::chrono::steady_clock::duration Elapsed) { return std::chrono::duration<double>(Elapsed).count(); }

long PeakKiB() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss;
}

}  // namespace

int main(int Argc, char** Argv) {
    const QCoreApplication App(Argc, Argv);
    kit::TMemoryData Events;
    Events.AddField("DateTime", kit::ftDateTime);
    Events.AddField("CardCode", kit::ftString, 20);
    Events.AddField("CardCode26", kit::ftString, 20);
    Events.AddField("CardCode8and16", kit::ftString, 20);
    Events.AddField("CardCode40Hex", kit::ftString, 40, kit::fkCalculated);
    Events.OnCalcFields = [](kit::TDataSet& DataSet) {
        DataSet.FieldByName("CardCode40Hex")
            .SetAsString(QString::number(DataSet.FieldByName("CardCode").AsLargeInt(), 16).toUpper());
    };
    Events.Open();
    const kit::TDBGridModel Model(Events);
    kit::TField& Time = Events.FieldByName("DateTime");
    kit::TField& Full = Events.FieldByName("CardCode");
    kit::TField& Code24 = Events.FieldByName("CardCode26");
    kit::TField& Code8and16 = Events.FieldByName("CardCode8and16");

    std::printf("%10s %14s %14s %12s\n", "rows", "append+post", "ClearTable", "peak memory");
    std::vector<double> PerRow;
    for (const int Rows : {10000, 100000, 1000000}) {
        const QDateTime Now = QDateTime::currentDateTime();
        const auto Start = std::chrono::steady_clock::now();
        for (int Row = 0; Row < Rows; ++Row) {
            const qint64 Code = 0x0100000000LL + Row;
            Events.Append();
            Time.SetAsDateTime(Now);
            Full.SetAsString(QString::number(Code).rightJustified(13, '0'));
            Code24.SetAsString(QString::number(Code & 0xFFFFFF).rightJustified(10, '0'));
            Code8and16.SetAsString(QString::asprintf("%3.3d,%5.5d", int((Code >> 16) & 0xFF), int(Code & 0xFFFF)));
            Events.Post();
        }
        const auto Appended = std::chrono::steady_clock::now();
        const long Peak = PeakKiB();
        if (Model.rowCount() != Rows) {
            std::fprintf(stderr, "the model has %d rows, expected %d\n", Model.rowCount(), Rows);
            return 1;
        }
        Events.ClearTable();
        const auto Cleared = std::chrono::steady_clock::now();
        PerRow.push_back(Seconds(Appended - Start) / Rows);
        std::printf("%10d %11.3f us %11.3f ms %9ld KiB\n", Rows, PerRow.back() * 1e6, Seconds(Cleared - Appended) * 1e3,
                    Peak);
    }
    std::printf("time per row, %d rows / %d rows: %.2f\n", 1000000, 10000, PerRow.back() / PerRow.front());
    return 0;
}
