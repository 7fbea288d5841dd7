#include "app/send_keys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/testing/recording_key_sink.h"

namespace app {
namespace {

using platform::TKeyEvent;
using platform::testing::RecordingKeySink;

// Writes events compactly: "D65" key-down of virtual key 65, "U65" its key-up,
// an "x" after the number when the extended-key flag is set.
std::string Describe(const std::vector<TKeyEvent>& Events) {
    std::string text;
    for (const TKeyEvent& event : Events) {
        if (!text.empty()) {
            text += ' ';
        }
        text += (event.Flags & platform::KEYEVENTF_KEYUP) != 0 ? 'U' : 'D';
        text += std::to_string(event.VirtualKey);
        if ((event.Flags & platform::KEYEVENTF_EXTENDEDKEY) != 0) {
            text += 'x';
        }
    }
    return text;
}

std::string Repeat(const std::string& Part, int Times) {
    std::string text;
    for (int i = 0; i < Times; ++i) {
        text += (i == 0 ? "" : " ") + Part;
    }
    return text;
}

class SendKeysTest : public ::testing::Test {
protected:
    bool Send(std::string_view Text, bool Wait = false) { return SendKeys(Text, Wait, FOutput); }
    std::string Sent() const { return Describe(FSink.Events); }

    RecordingKeySink FSink;
    std::vector<std::string> FReports;
    int FPumps = 0;
    TKeyOutput FOutput{FSink, [this](const std::string& message) { FReports.push_back(message); },
                       [this] { ++FPumps; }};
};

struct TSendCase {
    std::string Text;
    std::string Events;
    bool Result = true;
    std::string Report = {};
};

void PrintTo(const TSendCase& Case, std::ostream* Out) { *Out << '"' << Case.Text << '"'; }

class SendKeysEvents : public SendKeysTest, public ::testing::WithParamInterface<TSendCase> {};

TEST_P(SendKeysEvents, SendsTheseEventsAndReportsThis) {
    const TSendCase& c = GetParam();
    EXPECT_EQ(Send(c.Text), c.Result);
    EXPECT_EQ(Sent(), c.Events);
    EXPECT_EQ(FReports, c.Report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Report});
}

INSTANTIATE_TEST_SUITE_P(
    PlainKeysAndPrefixes, SendKeysEvents,
    ::testing::Values(TSendCase{"", "", false}, TSendCase{"ab", "D65 U65 D66 U66"}, TSendCase{"A", "D16 D65 U65 U16"},
                      TSendCase{"+(ab)", "D16 D65 U65 D66 U66 U16"}, TSendCase{"+ab", "D16 D65 U65 U16 D66 U66"},
                      TSendCase{"++a", "D16 D16 D65 U65 U16"}, TSendCase{"%^+a", "D18 D17 D16 D65 U65 U16 U17 U18"},
                      TSendCase{"^A", "D17 D16 D65 U65 U16 U17"}, TSendCase{"~", "D13 U13"}, TSendCase{"\t", "D9 U9"},
                      TSendCase{"\r", "D13 U13"}, TSendCase{"\n", "D17 D13 U13 U17"}, TSendCase{" ", "D32 U32"},
                      TSendCase{")a", "D65 U65"}, TSendCase{"+)a", "D16 U16 D65 U65"},
                      TSendCase{"+((a)b)c", "D16 D65 U65 U16 D66 U66 D67 U67"}, TSendCase{"+(a", "D16 D65 U65 U16"},
                      TSendCase{"+\xE9"
                                "a",
                                "D16 D65 U65 U16", true, "Invalid KeyName"}));

INSTANTIATE_TEST_SUITE_P(
    BraceForms, SendKeysEvents,
    ::testing::Values(
        TSendCase{"{ENTER}", "D13 U13"}, TSendCase{"{enter}", "D13 U13"}, TSendCase{"{ENTER 3}", Repeat("D13 U13", 3)},
        TSendCase{"{ENTER 0}", ""}, TSendCase{"{a}", "D16 D65 U65 U16"},
        TSendCase{"{a 3}", "D16 D65 U65 D65 U65 D65 U65 U16"}, TSendCase{"{+}", "D16 D187 U187 U16"},
        TSendCase{"{(}", "D16 D57 U57 U16"}, TSendCase{"{~}", "D16 D192 U192 U16"}, TSendCase{"{1}", "D49 U49"},
        TSendCase{"{{}", "D16 D219 U219 U16"}, TSendCase{"{}}", "D16 D221 U221 U16"},
        TSendCase{"{{}b", "D16 D219 U219 U16 D66 U66"}, TSendCase{"{ENTER}}", "D16 D221 U221 U16"},
        TSendCase{"+{LEFT}", "D16 D37x U37x U16"}, TSendCase{"+{a}b", "D16 D16 D65 U65 U16 U16 D66 U66"},
        TSendCase{"{XYZ}a", "D65 U65", true, "Invalid Key Name"}, TSendCase{"{}a", "D65 U65", true, "Invalid Key Name"},
        TSendCase{"+{XYZ}a", "D16 D65 U65 U16", true, "Invalid Key Name"}, TSendCase{"{\xE9}a", "D65 U65"},
        // The name is cut to 20 characters before the count is split off.
        TSendCase{"{ENTER 00000000000001}", "D13 U13"}, TSendCase{"{ENTER 000000000000012}", "D13 U13"},
        TSendCase{"{F1234567890123456789}", "", true, "Invalid Key Name"}));

// Every way out of a call releases the prefixes it pressed; a "{{" at the very
// end of the string stops there instead of reading past it.
INSTANTIATE_TEST_SUITE_P(
    WaysOut, SendKeysEvents,
    ::testing::Values(TSendCase{"{ENTER", "", false, "No Close"}, TSendCase{"+{ENTER", "D16 U16", false, "No Close"},
                      TSendCase{"^%(+{ENTER", "D17 D18 D16 U16 U17 U18", false, "No Close"},
                      TSendCase{"a{", "D65 U65", false, "No Close"}, TSendCase{"+(ab", "D16 D65 U65 D66 U66 U16"},
                      TSendCase{"%(", "D18 U18"}, TSendCase{"+", "D16 U16"},
                      TSendCase{"+\xE9", "D16 U16", true, "Invalid KeyName"},
                      TSendCase{"+{XYZ}", "D16 U16", true, "Invalid Key Name"}, TSendCase{"{{", "D16 D219 U219 U16"},
                      TSendCase{"a{{", "D65 U65 D16 D219 U219 U16"}, TSendCase{"+({{", "D16 D16 D219 U219 U16 U16"}));

TEST_F(SendKeysTest, ExtendedKeysCarryTheExtendedFlagOnBothEvents) {
    const std::vector<std::pair<std::string, std::uint8_t>> extended{
        {"PGUP", 33}, {"PGDN", 34},  {"END", 35},  {"HOME", 36}, {"LEFT", 37},
        {"UP", 38},   {"RIGHT", 39}, {"DOWN", 40}, {"INS", 45},  {"DEL", 46}};
    for (const auto& [name, virtualKey] : extended) {
        FSink.Events.clear();
        ASSERT_TRUE(Send("{" + name + "}"));
        ASSERT_EQ(FSink.Events.size(), 2U) << name;
        EXPECT_EQ(FSink.Events[0].Flags, 1U) << name;
        EXPECT_EQ(FSink.Events[1].Flags, 3U) << name;
        EXPECT_EQ(FSink.Events[0].VirtualKey, virtualKey) << name;
    }
    for (const std::string name : {"ENTER", "TAB", "F1", "HELP", "PRTSC"}) {
        FSink.Events.clear();
        ASSERT_TRUE(Send("{" + name + "}"));
        ASSERT_EQ(FSink.Events.size(), 2U) << name;
        EXPECT_EQ(FSink.Events[0].Flags, 0U) << name;
        EXPECT_EQ(FSink.Events[1].Flags, 2U) << name;
    }
}

TEST_F(SendKeysTest, EveryKeyNameResolvesInEitherCase) {
    const std::vector<std::pair<std::string, int>> names{
        {"BACKSPACE", 8}, {"BKSP", 8},         {"BS", 8},    {"BREAK", 3}, {"CAPSLOCK", 20}, {"CLEAR", 12},
        {"DEL", 46},      {"DELETE", 46},      {"DOWN", 40}, {"END", 35},  {"ENTER", 13},    {"ESC", 27},
        {"ESCAPE", 27},   {"F1", 112},         {"F2", 113},  {"F3", 114},  {"F4", 115},      {"F5", 116},
        {"F6", 117},      {"F7", 118},         {"F8", 119},  {"F9", 120},  {"F10", 121},     {"F11", 122},
        {"F12", 123},     {"F13", 124},        {"F14", 125}, {"F15", 126}, {"F16", 127},     {"HELP", 47},
        {"HOME", 36},     {"INS", 45},         {"LEFT", 37}, {"PGDN", 34}, {"PGUP", 33},     {"PRTSC", 42},
        {"RIGHT", 39},    {"SCROLLLOCK", 145}, {"TAB", 9},   {"UP", 38}};
    ASSERT_EQ(names.size() + 1, 41U);  // and NUMLOCK, which sends no event
    for (const auto& [name, virtualKey] : names) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
        for (const std::string& spelling : {name, lower}) {
            FSink.Events.clear();
            ASSERT_TRUE(Send("{" + spelling + "}")) << spelling;
            ASSERT_EQ(FSink.Events.size(), 2U) << spelling;
            EXPECT_EQ(FSink.Events[0].VirtualKey, virtualKey) << spelling;
            EXPECT_EQ(FSink.Events[1].VirtualKey, virtualKey) << spelling;
        }
    }
    EXPECT_TRUE(FReports.empty());
}

TEST_F(SendKeysTest, NumLockFlipsTheToggleOnceAndSendsNothing) {
    ASSERT_TRUE(Send("{NUMLOCK}"));
    EXPECT_TRUE(FSink.NumLockOn);
    ASSERT_TRUE(Send("{numlock 5}"));
    EXPECT_FALSE(FSink.NumLockOn);
    ASSERT_TRUE(Send("+{NUMLOCK}", true));
    EXPECT_TRUE(FSink.NumLockOn);
    EXPECT_EQ(Sent(), "D16 U16");
    EXPECT_EQ(FPumps, 2);
}

TEST_F(SendKeysTest, EventsCarryTheLayoutsScanCodes) {
    ASSERT_TRUE(Send("A{LEFT}"));
    ASSERT_EQ(FSink.Events.size(), 6U);
    const std::vector<std::uint8_t> scans{0x2A, 0x1E, 0x1E, 0x2A, 0x4B, 0x4B};
    for (std::size_t i = 0; i < scans.size(); ++i) {
        EXPECT_EQ(FSink.Events[i].ScanCode, scans[i]) << i;
    }
}

TEST_F(SendKeysTest, WaitSyncsAndPumpsAfterEveryEvent) {
    ASSERT_TRUE(Send("A~"));
    EXPECT_EQ(FSink.Syncs, 0);
    EXPECT_EQ(FPumps, 0);
    ASSERT_TRUE(Send("A~", true));
    EXPECT_EQ(FSink.Syncs, 6);
    EXPECT_EQ(FPumps, 6);
}

TEST_F(SendKeysTest, RepeatCountsAreIntegersFrom0To65535) {
    const std::vector<std::pair<std::string, std::size_t>> counts{
        {"65535", 65535}, {"0", 0}, {"$10", 16}, {"x10", 16}, {"0x10", 16}, {"  2", 2}, {"+2", 2}};
    for (const auto& [count, pairs] : counts) {
        FSink.Events.clear();
        ASSERT_TRUE(Send("{ENTER " + count + "}")) << count;
        EXPECT_EQ(FSink.Events.size(), 2 * pairs) << count;
    }
}

TEST_F(SendKeysTest, BadCountFailsWithEConvertErrorAfterReleasingPrefixes) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"{ENTER X}", "", "'X' is not a valid integer value"},
        {"a{ENTER q}", "D65 U65", "'Q' is not a valid integer value"},
        {"+{ENTER 3 }", "D16 U16", "'3 ' is not a valid integer value"},
        {"^(+{ENTER }", "D17 D16 U16 U17", "'' is not a valid integer value"},
        {"{XYZ 2147483648}", "", "'2147483648' is not a valid integer value"},
        // Integers, but no count: the message names the range.
        {"+{ENTER -1}", "D16 U16", "Repeat count '-1' is not in the range 0 to 65535"},
        {"{ENTER 65536}", "", "Repeat count '65536' is not in the range 0 to 65535"},
        {"%{A $186A0}", "D18 U18", "Repeat count '$186A0' is not in the range 0 to 65535"}};
    for (const auto& [text, events, message] : cases) {
        FSink.Events.clear();
        try {
            Send(text);
            ADD_FAILURE() << text << " did not fail";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Message().toStdString(), message) << text;
        }
        EXPECT_EQ(Sent(), events) << text;
    }
}

TEST(StrToIntTest, AcceptsTheToolkitsIntegerSyntax) {
    const std::vector<std::pair<std::string, std::int32_t>> good{{"0", 0},
                                                                 {"42", 42},
                                                                 {"  7", 7},
                                                                 {"+7", 7},
                                                                 {"-7", -7},
                                                                 {"$1F", 31},
                                                                 {"$1f", 31},
                                                                 {"X1F", 31},
                                                                 {"x1f", 31},
                                                                 {"0X1F", 31},
                                                                 {"0x1f", 31},
                                                                 {"-$10", -16},
                                                                 {"007", 7},
                                                                 {"2147483647", 2147483647},
                                                                 {"-2147483648", -2147483647 - 1},
                                                                 {"$7FFFFFFF", 2147483647}};
    for (const auto& [text, value] : good) {
        EXPECT_EQ(StrToInt(text), value) << text;
    }
    for (const std::string text : {"", " ", "-", "+", "$", "0x", "X", "1 ", "1a", "1.0", "$G", "--1", "2147483648",
                                   "-2147483649", "$80000000", "99999999999999999999"}) {
        EXPECT_THROW(StrToInt(text), EConvertError) << '"' << text << '"';
    }
}

TEST(SendKeysWithoutHooks, DropsReportsAndOnlySyncsWhenWaiting) {
    RecordingKeySink sink;
    const TKeyOutput output{sink, {}, {}};
    EXPECT_TRUE(SendKeys("{XYZ}a\xE9", true, output));
    EXPECT_FALSE(SendKeys("{", true, output));
    EXPECT_EQ(Describe(sink.Events), "D65 U65");
    EXPECT_EQ(sink.Syncs, 2);
}

TEST(SendKeysUnavailable, ReportsWhyAndTypesNothing) {
    // No X server answers on this display, and a build without X11 cannot type at all.
    setenv("DISPLAY", ":29999", 1);
    const std::unique_ptr<platform::KeySink> sink = platform::OpenSystemKeySink();
    const std::string reason = sink->UnavailableReason();
    EXPECT_TRUE(reason.starts_with("Keyboard output is unavailable: ")) << reason;
    std::vector<std::string> reports;
    const TKeyOutput output{*sink, [&](const std::string& message) { reports.push_back(message); }, {}};
    EXPECT_FALSE(SendKeys("", true, output));
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(SendKeys("123~", true, output));
    EXPECT_EQ(reports, std::vector<std::string>{reason});
}

}  // namespace
}  // namespace app
