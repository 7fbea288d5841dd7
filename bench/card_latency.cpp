// Card latency: the time from a card appearing on a simulated reader to the
// last character of its code arriving in another X client, through the
// reading loop with its 100 ms polling timer, the reader facade and SendKeys
// on the X11 key sink. A card appears at a random moment relative to the
// timer, so the figure includes the wait for the next tick. Run by hand under
// an X server with both simulated libraries on the library path, from a build
// with tests (the helper text box is a test program), e.g. with
//   export LD_LIBRARY_PATH=build/debug/sim/ftdi:build/debug/sim/kev3
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build/debug/bench/card_latency [cards]

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/reading_loop.h"
#include "app/tests/text_box_session.h"
#include "reader/kev3_dll.h"
#include "sim/ftdi/ftdi_sim_control.h"
#include "sim/kev3/kev3_sim_control.h"

namespace {

using Clock = std::chrono::steady_clock;

// The least of a main window: mode, reader, timer; every output but the keys off.
class TBenchWindow final : public app::TReadingWindow {
public:
    explicit TBenchWindow(QString Serial) : FSerial(std::move(Serial)) { FTimer.setInterval(app::ProxyTimerInterval); }

    QTimer& Timer() { return FTimer; }
    std::uint8_t Mode() const override { return FMode; }
    void SetMode(std::uint8_t Mode) override { FMode = Mode; }
    QString CurrentSerial() const override { return FSerial; }
    void AddCardRow(const QDateTime&, const app::TCardCode&) override {}
    void HighlightCardCount(bool) override {}
    void SetPollingTimer(bool Enabled) override {
        if (Enabled) {
            FTimer.start();
        } else {
            FTimer.stop();
        }
    }
    void ShowErrorBox(const QString& Text) override { std::fprintf(stderr, "error: %s\n", qPrintable(Text)); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    QString MiscText(const QString&, const QString& Default) const override { return Default; }
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
    app::TCardOutputOptions OutputOptions() const override { return {false, true, app::cf40Bit, app::eolNone, false}; }
    bool SaveToFile() const override { return false; }
    QString FileName() const override { return {}; }

private:
    QString FSerial;
    std::uint8_t FMode = app::mdIdle;
    QTimer FTimer;
};

// Runs the event loop for about Ms milliseconds.
void RunFor(int Ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(Ms);
    loop.exec();
}

// Median latency in ms over Cards cards; Present(true) lays a card with the
// given raw code on the reader, Present(false) takes it away.
double Measure(const char* Name, const QString& Serial, const QString& Raw, int Cards,
               const std::function<void(bool)>& Present, app::testing::TTextBoxSession& Box,
               app::TAppServices& Services) {
    app::TServiceCardOutputs outputs(Services);
    app::TCardCode code;
    app::RenderCardCode(*Services.Readers, Raw, code);
    const int length = static_cast<int>(code.Full.size());
    TBenchWindow window(Serial);
    app::TReadingLoop reading(window, *Services.Readers, outputs, platform::SystemClock(), QString());
    QObject::connect(&window.Timer(), &QTimer::timeout, [&reading] { reading.ProxyTimerTimer(); });
    window.SetMode(app::mdReadingMultiple);
    reading.StartReading();

    std::mt19937 random(12);
    std::vector<double> latencies;
    for (int card = 0; card < Cards; ++card) {
        RunFor(1100 + std::uniform_int_distribution<int>(0, 200)(random));  // past the pause, at a random phase
        const Clock::time_point appeared = Clock::now();
        Present(true);
        std::int64_t last = 0;
        for (int i = 0; i < length; ++i) {
            while (!Box.ReportWaiting()) {
                RunFor(1);
            }
            last = Box.ReadKey().SteadyNs;
        }
        Present(false);
        const double ms = static_cast<double>(last - appeared.time_since_epoch().count()) / 1e6;
        latencies.push_back(ms);
        std::printf("%-6s card %2d: %.1f ms\n", Name, card + 1, ms);
    }
    reading.StopReading();
    std::sort(latencies.begin(), latencies.end());
    return latencies[latencies.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    reader::LoadKEV3DLL();
    const sim::TKEV3SimControl kev3;
    const sim::TFtdiSimControl ftdi;
    kev3.Load("clock real\ndevice KV4L0001 4 KEV-4 Latency Reader\n");
    const int kev2 = ftdi.Add("KV2L0001", "KEV-2 EM Card Reader");
    app::TAppServices services = app::DefaultServices();
    QStringList serials, descriptions, ports;
    services.Readers->ListReaders(serials, descriptions, ports);
    app::testing::TTextBoxSession box(true);
    const double kev4Median = Measure(
        "KEV-4", "KV4L0001", "R00000012345678AB", cards,
        [&](bool on) { kev3.Apply(on ? "card KV4L0001 R00000012345678AB\n" : "card KV4L0001 -\n"); }, box, services);
    const double kev2Median = Measure(
        "KEV-2", "KV2L0001", "01A2B3C4D5", cards, [&](bool on) { ftdi.Set(kev2, "card", on ? "01A2B3C4D5" : ""); }, box,
        services);
    std::printf("\nmedian over %d cards, card on the reader to its last character in the text box:\n", cards);
    std::printf("  KEV-4 (driver library): %.1f ms\n", kev4Median);
    std::printf("  KEV-2 (D2XX, HTRC):     %.1f ms\n", kev2Median);
    reader::UnloadKEV3DLL();
    return 0;
}
