// Save as of the card list in the main window, shown with its grids: the
// time the UI thread spends from the chosen file name to the written file, at
// 10,000 and 100,000 rows; beside it the same walk with the grid following
// every row. Then the card list's time text, kit::DateTimeToStr, per call
// beside the locale's own date-time formatting. Run under an X server, or
// offscreen when there is none:
//   xvfb-run -a build/release/bench/bench_save_as

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "app/app_services.h"
#include "app/main_view_form.h"
#include "kit/db/field.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration Elapsed) { return std::chrono::duration<double>(Elapsed).count(); }

double Time(const std::function<void()>& Run) {
    const auto start = Clock::now();
    Run();
    return Seconds(Clock::now() - start);
}

// The calling thread's processor time in seconds: what the work itself costs,
// whatever else the machine is busy with.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Rows as the reading loop appends them, one second apart.
void FillCardList(kit::TMemoryData& Events, int Rows) {
    const kit::TControlsDisabled detached(Events);
    Events.ClearTable();
    const QDateTime first(QDate(2026, 12, 8), QTime(21, 16, 5));
    for (int row = 0; row < Rows; ++row) {
        const qint64 code = 0x0100000000LL + row;
        Events.Append();
        Events.FieldByName("DateTime").SetAsDateTime(first.addSecs(row));
        Events.FieldByName("CardCode").SetAsString(QString::number(code).rightJustified(13, '0'));
        Events.FieldByName("CardCode26").SetAsString(QString::number(code & 0xFFFFFF).rightJustified(10, '0'));
        Events.FieldByName("CardCode8and16")
            .SetAsString(QString::asprintf("%3.3d,%5.5d", int((code >> 16) & 0xFF), int(code & 0xFFFF)));
        Events.Post();
    }
}

// Nanoseconds per call of Format over times spread across a day.
double PerCall(const std::function<QString(const QDateTime&)>& Format) {
    constexpr int Calls = 200000;
    constexpr int Times = 1000;
    std::vector<QDateTime> times;
    times.reserve(Times);
    const QDateTime first(QDate(2026, 12, 8), QTime(0, 0, 1));
    for (qint64 i = 0; i < Times; ++i) {
        times.push_back(first.addSecs(i * 86));
    }
    qsizetype length = 0;
    const double seconds = Time([&] {
        for (int i = 0; i < Calls; ++i) {
            length += Format(times[static_cast<std::size_t>(i) % times.size()]).size();
        }
    });
    if (length == 0) {
        std::fprintf(stderr, "no text\n");
    }
    return seconds / Calls * 1e9;
}

}  // namespace

int main(int Argc, char** Argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(Argc, Argv);
    QTemporaryDir folder;
    QString target = folder.filePath("cards.csv");
    app::TAppPaths paths{folder.path(), folder.path(), folder.path(), "zintareko"};
    app::TAppServices services = app::DefaultServices();
    services.AskSaveFileName = [&target](QWidget*, const app::TSaveDialog&) { return target; };
    services.ShowError = [](const QString& Message) { std::fprintf(stderr, "%s\n", qPrintable(Message)); };
    app::TMainViewForm window(paths, services);
    window.show();
    QApplication::processEvents();

    std::printf("locale %s\n", qPrintable(QLocale().name()));
    std::printf("%8s %26s %26s\n", "rows", "Save as (processor time)", "walk with the grid moving");
    for (const int rows : {10000, 100000}) {
        FillCardList(window.EventsMemoryData, rows);
        window.EventsMemoryData.First();
        QApplication::processEvents();
        const double started = ThreadSeconds();
        const double saveAs = Time([&] { window.SaveAsToolButtonClick(); });
        const double saveAsProcessor = ThreadSeconds() - started;
        QApplication::processEvents();
        kit::TMemoryData& events = window.EventsMemoryData;
        const double following = getenv("NOFOLLOW") ? 0 : Time([&] {
            for (events.First(); !events.Eof(); events.Next()) {
                window.CurrentCsvLine();
            }
        });
        std::printf("%8d %12.3f s (%.3f s) %24.3f s\n", rows, saveAs, saveAsProcessor, following);
    }

    const double ours = PerCall([](const QDateTime& Value) { return kit::DateTimeToStr(Value); });
    const double locale =
        PerCall([](const QDateTime& Value) { return QLocale().toString(Value, QLocale::ShortFormat); });
    std::printf("DateTimeToStr %.2f us per call, QLocale::toString (short format) %.2f us per call\n", ours / 1000,
                locale / 1000);
    return 0;
}
