// Typing speed into a real X client: SendKeys over the X11 key sink against
// `xdotool type` on the same server, in one run. Each round types the same text
// into the helper text box and checks that every character arrived, in order.
// Run by hand under an X server, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build/release/bench/sendkeys [characters]

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/send_keys.h"
#include "app/tests/text_box_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Rounds = 3;

// Card codes in their renderings, separated by tabs, up to the given length.
std::string CardText(std::size_t Length) {
    const std::string codes = "0080476253706\t0006376970\t097,19978\t12BC614E0A\t";
    std::string text;
    while (text.size() < Length) {
        text += codes;
    }
    text.resize(Length);
    return text;
}

// Best characters per second over the rounds; -1 when a round lost or reordered a character.
double Measure(const char* Name, app::testing::TTextBoxSession& Box, const std::string& Text,
               const std::function<void()>& TypeTextThenF12) {
    double best = 0;
    for (int round = 0; round < Rounds; ++round) {
        const Clock::time_point start = Clock::now();
        TypeTextThenF12();
        const QByteArray keys = Box.ReadTyped().Keys;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (keys != QByteArray::fromStdString(Text)) {
            std::printf("%-22s round %d: %lld of %zu characters arrived, not all in order\n", Name, round + 1,
                        static_cast<long long>(keys.size()), Text.size());
            return -1;
        }
        const double rate = static_cast<double>(Text.size()) / seconds;
        std::printf("%-22s round %d: %zu characters in %.3f s = %.0f chars/s\n", Name, round + 1, Text.size(), seconds,
                    rate);
        best = std::max(best, rate);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::size_t length = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000;
    const std::string text = CardText(length);

    const std::unique_ptr<platform::KeySink> sink = platform::OpenSystemKeySink();
    if (!sink->UnavailableReason().empty()) {
        std::fprintf(stderr, "%s\n", sink->UnavailableReason().c_str());
        return 1;
    }
    app::testing::TTextBoxSession box;
    const app::TKeyOutput output{
        *sink, [](const std::string& message) { std::printf("report: %s\n", message.c_str()); }, {}};

    const auto sendKeys = [&](bool wait) {
        return [&, wait] {
            app::SendKeys(text, wait, output);
            app::SendKeys("{F12}", wait, output);
        };
    };
    const double waiting = Measure("SendKeys, wait", box, text, sendKeys(true));
    const double free = Measure("SendKeys, no wait", box, text, sendKeys(false));
    const double xdotool = Measure("xdotool type", box, text, [&] {
        QProcess::execute("xdotool", {"type", "--delay", "0", QString::fromStdString(text)});
        QProcess::execute("xdotool", {"key", "F12"});
    });

    std::printf("\nbest of %d rounds, %zu characters:\n", Rounds, text.size());
    std::printf("  SendKeys with wait (as the tool types): %.0f chars/s\n", waiting);
    std::printf("  SendKeys without wait:                  %.0f chars/s\n", free);
    std::printf("  xdotool type --delay 0:                 %.0f chars/s\n", xdotool);
    if (waiting > 0 && xdotool > 0) {
        std::printf("  ratio SendKeys with wait / xdotool:     %.2f\n", waiting / xdotool);
    }
    return waiting > 0 && free > 0 ? 0 : 1;
}
