// The exports of the card library, called through its shared object as a
// client would: exact request frames, the order of the argument checks, and
// each Terminal function against valid, refused and malformed answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "answer_frames.h"
#include "talvo_mifare.h"

namespace {

using cardtest::Answer;
using cardtest::Checked;
using std::bind_front;

using HostCall = std::function<int32_t(char*, uint8_t*)>;

const uint8_t KeyA0[6] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const uint8_t KeyFF[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const uint8_t Key11[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
const uint8_t KeyAA[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const uint8_t Increment16[4] = {0x10, 0, 0, 0};
const uint8_t Page[4] = {0x11, 0x22, 0x33, 0x44};
const uint8_t Counting[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// A request frame without its check character.
std::string Request(const std::string& address, const std::string& command, const std::string& data) {
    return "\x01S" + address + command + "\x02" + data + "\x03";
}

CardSettings SampleSettings() {
    CardSettings settings{};
    const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(settings.bytes0to5, bytes, 6);
    settings.byte6 = 0x107;  // only the low byte travels
    settings.word7 = 0x1234;
    settings.byte9 = 0x09;
    settings.byte10 = -1;
    settings.byte11 = 0x0B;
    settings.byte12 = 0x0C;
    settings.byte13 = 0x0D;
    settings.byte14 = 0x0E;
    settings.byte15 = 0x0F;
    settings.flagBit0 = 1;
    settings.flagBit1 = 0;
    settings.flagBit2 = 1;
    return settings;
}

// Every Host export once, with its frame and check character worked out by
// hand from the frame rules.
TEST(CardLibraryHost, BuildsTheExactFrames) {
    static const CardSettings settings = SampleSettings();
    struct Case {
        const char* name;
        HostCall call;
        std::string body;
        char check;
    };
    const int32_t one = 1;
    const Case cases[] = {
        {"readCardBufferHost", bind_front(readCardBufferHost, 1), Request("01", "A1", ""), '"'},
        {"readCardIDHost", bind_front(readCardIDHost, 1), Request("01", "20", ""), 'p'},
        {"readCardSettingsHost", bind_front(readCardSettingsHost, 1), Request("01", "43", ""), 'u'},
        {"writeCardSettingsHost", bind_front(writeCardSettingsHost, 0, &settings),
         Request("00", "42", "01020304050607341209FF0B0C0D0E0F05"), '+'},
        {"mfClassicReadHost", bind_front(mfClassicReadHost, 1, 35, 15, KeyA0, 1), Request("01", "22", "BFA0A1A2A3A4A5"),
         'w'},
        {"mfClassicWriteHost", bind_front(mfClassicWriteHost, 1, 1, 2, Counting, KeyFF, 0),
         Request("01", "23", "06FFFFFFFFFFFF000102030405060708090A0B0C0D0E0F"), 's'},
        {"mfCreateValueBlockHost", bind_front(mfCreateValueBlockHost, 1, 1, 1, &one, 5, KeyFF, 1),
         Request("01", "24", "05FFFFFFFFFFFF01000000FEFFFFFF0100000005FA05FA"), 'r'},
        {"mfIncrementHost", bind_front(mfIncrementHost, 1, 2, 0, Increment16, Key11, 0, 2, 1, KeyAA, 1),
         Request("01", "F4", "0860112233445566100000000961AABBCCDDEEFF"), '!'},
        {"mfDecrementHost", bind_front(mfDecrementHost, 1, 2, 0, Increment16, Key11, 0, 2, 1, KeyAA, 1),
         Request("01", "F5", "0860112233445566100000000961AABBCCDDEEFF"), ' '},
        {"mfRestoreHost", bind_front(mfRestoreHost, 1, 2, 0, Key11, 0, 2, 1, KeyAA, 1),
         Request("01", "F6", "0860112233445566000000000961AABBCCDDEEFF"), '"'},
        {"mfRssSetHost", bind_front(mfRssSetHost, 1, 40, KeyA0, 1), Request("01", "2B", "28A0A1A2A3A4A5"), ')'},
        {"mfRssDelHost", bind_front(mfRssDelHost, 0, 3), Request("00", "2C", "03"), '!'},
        {"mfRssReadHost", bind_front(mfRssReadHost, 1, 32, 15), Request("01", "25", "8F"), '+'},
        {"mfRssWriteHost", bind_front(mfRssWriteHost, 1, 0, 1, Counting),
         Request("01", "2D", "01000102030405060708090A0B0C0D0E0F"), '#'},
        {"mfULReadHost", bind_front(mfULReadHost, 0, 4), Request("00", "38", "04"), '|'},
        {"mfULWriteHost", bind_front(mfULWriteHost, 1, 6, Page),
         Request("01", "39", "0611223344" + std::string(24, '0')), '~'},
        {"readMcuUidHost", bind_front(readMcuUidHost, 99), Request("63", "EF", ""), 'u'},
        {"setReaderUidHost", bind_front(setReaderUidHost, 1, "0123456789abcdeZ"),
         Request("01", "EE", "0123456789abcdeZ"), 'h'},
    };
    for (const auto& c : cases) {
        char frame[64];
        uint8_t length = 0;
        ASSERT_EQ(c.call(frame, &length), 0) << c.name;
        EXPECT_EQ(std::string(frame, length), c.body + c.check) << c.name;
    }
}

// Each failing check returns its code and leaves the caller's frame buffer and
// length cell as they were.
TEST(CardLibraryHost, ChecksInTheDocumentedOrder) {
    struct Case {
        const char* name;
        HostCall call;
        int32_t result;
    };
    const int32_t value = 7;
    const Case cases[] = {
        {"address 100", bind_front(readCardBufferHost, 100), 1},
        {"address 99", bind_front(readCardIDHost, 99), 0},
        {"settings absent", bind_front(writeCardSettingsHost, 1, nullptr), 1},
        {"read: key type 2 before sector 40", bind_front(mfClassicReadHost, 1, 40, 0, KeyFF, 2), 6},
        {"read: key absent before sector 40", bind_front(mfClassicReadHost, 1, 40, 0, nullptr, 0), 6},
        {"read: sector 40", bind_front(mfClassicReadHost, 1, 40, 0, KeyFF, 0), 7},
        {"read: sector 5 block 4", bind_front(mfClassicReadHost, 1, 5, 4, KeyFF, 0), 7},
        {"read: sector 35 block 15", bind_front(mfClassicReadHost, 1, 35, 15, KeyFF, 0), 0},
        {"read: address 100", bind_front(mfClassicReadHost, 100, 1, 0, KeyFF, 0), 1},
        {"write: block data absent", bind_front(mfClassicWriteHost, 1, 1, 0, nullptr, KeyFF, 0), 1},
        {"write: key type before block data", bind_front(mfClassicWriteHost, 1, 1, 0, nullptr, KeyFF, 2), 6},
        {"write: block data before sector", bind_front(mfClassicWriteHost, 1, 40, 0, nullptr, KeyFF, 0), 1},
        {"value block: value absent before key type", bind_front(mfCreateValueBlockHost, 1, 1, 0, nullptr, 0, KeyFF, 2),
         1},
        {"value block: key type", bind_front(mfCreateValueBlockHost, 1, 1, 0, &value, 0, KeyFF, 2), 6},
        {"value block: sector 40", bind_front(mfCreateValueBlockHost, 1, 40, 0, &value, 0, KeyFF, 0), 7},
        {"increment: transfer key type 2", bind_front(mfIncrementHost, 1, 1, 0, Increment16, KeyFF, 0, 1, 1, KeyFF, 2),
         6},
        {"increment: transfer key before value",
         bind_front(mfIncrementHost, 1, 1, 0, nullptr, KeyFF, 0, 1, 1, nullptr, 0), 6},
        {"increment: value before sector", bind_front(mfIncrementHost, 1, 40, 0, nullptr, KeyFF, 0, 1, 1, KeyFF, 0), 1},
        {"increment: transfer sector 40", bind_front(mfIncrementHost, 1, 1, 0, Increment16, KeyFF, 0, 40, 0, KeyFF, 0),
         7},
        {"decrement: key absent", bind_front(mfDecrementHost, 1, 1, 0, Increment16, nullptr, 0, 1, 1, KeyFF, 0), 6},
        {"restore: transfer block 4", bind_front(mfRestoreHost, 1, 1, 0, KeyFF, 0, 1, 4, KeyFF, 0), 7},
        {"restore: transfer key type", bind_front(mfRestoreHost, 1, 1, 0, KeyFF, 0, 1, 1, KeyFF, 9), 6},
        {"set key: slot 40", bind_front(mfRssSetHost, 1, 40, KeyFF, 0), 0},
        {"set key: slot 41", bind_front(mfRssSetHost, 1, 41, KeyFF, 0), 9},
        {"set key: key type before slot", bind_front(mfRssSetHost, 1, 41, KeyFF, 2), 6},
        {"set key: key absent", bind_front(mfRssSetHost, 1, 0, nullptr, 0), 6},
        {"delete: slot 41", bind_front(mfRssDelHost, 1, 41), 9},
        {"stored read: sector 40", bind_front(mfRssReadHost, 1, 40, 0), 7},
        {"stored write: block data before sector", bind_front(mfRssWriteHost, 1, 40, 0, nullptr), 1},
        {"stored write: sector 31 block 4", bind_front(mfRssWriteHost, 1, 31, 4, Counting), 7},
        {"page 15", bind_front(mfULReadHost, 1, 15), 0},
        {"page 16", bind_front(mfULReadHost, 1, 16), 8},
        {"write page 16 before page data", bind_front(mfULWriteHost, 1, 16, nullptr), 8},
        {"page data absent", bind_front(mfULWriteHost, 1, 4, nullptr), 1},
        {"write page 15", bind_front(mfULWriteHost, 1, 15, Page), 0},
        {"reader identifier absent", bind_front(setReaderUidHost, 1, nullptr), 1},
        {"reader identifier to address 100", bind_front(setReaderUidHost, 100, "0123456789ABCDEF"), 1},
    };
    for (const auto& c : cases) {
        char frame[64];
        std::memset(frame, 0x5A, sizeof frame);
        uint8_t length = 0x77;
        EXPECT_EQ(c.call(frame, &length), c.result) << c.name;
        if (c.result != 0) {
            EXPECT_EQ(length, 0x77) << c.name;
            EXPECT_EQ(std::string(frame, sizeof frame), std::string(sizeof frame, 0x5A)) << c.name;
        }
    }
}

// Without a frame buffer or a length cell nothing can be built.
TEST(CardLibraryHost, MissingFrameOrLengthCellFails) {
    char frame[64];
    uint8_t length = 0;
    const std::vector<std::pair<const char*, std::function<int32_t(char*, uint8_t*)>>> calls = {
        {"readCardBufferHost", bind_front(readCardBufferHost, 1)},
        {"mfULWriteHost", bind_front(mfULWriteHost, 1, 4, Counting)},
        {"setReaderUidHost", bind_front(setReaderUidHost, 1, "0123456789ABCDEF")},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(nullptr, &length), 1) << name;
        EXPECT_EQ(call(frame, nullptr), 1) << name;
    }
}

// A wide flag value sets its own bit only, and any true value counts as 1.
TEST(CardLibraryHost, SettingsFlagsAreBitsOfTruth) {
    struct Case {
        int32_t flag0, flag1, flag2;
        const char* byte16;
    };
    const Case cases[] = {{1, 0, 1, "05"}, {-1, 0, 0, "01"}, {0, 2, 0, "02"}, {0, 0, -1, "04"}, {-1, -1, -1, "07"}};
    for (const auto& c : cases) {
        CardSettings settings{};
        settings.flagBit0 = c.flag0;
        settings.flagBit1 = c.flag1;
        settings.flagBit2 = c.flag2;
        char frame[64];
        uint8_t length = 0;
        ASSERT_EQ(writeCardSettingsHost(1, &settings, frame, &length), 0);
        ASSERT_EQ(length, 43);
        EXPECT_EQ(std::string(frame + 39, 2), c.byte16) << c.flag0 << c.flag1 << c.flag2;
    }
}

// ---- Terminal functions ----

int32_t Call(int32_t (*terminal)(uint8_t, const char*, uint8_t), uint8_t address, const std::string& answer) {
    return terminal(address, answer.data(), static_cast<uint8_t>(answer.size()));
}

std::string WithBadCheck(std::string answer) {
    answer.back() ^= 0x01;
    return answer;
}

std::string WithUpperS(const std::string& answer) {
    std::string body = answer.substr(0, answer.size() - 1);
    body[1] = 'S';
    return Checked(body);
}

// Functions that expect "OK": each command it accepts, and every way an
// answer can be another one or no answer at all.
TEST(CardLibraryTerminal, OkAnswers) {
    struct Case {
        const char* name;
        int32_t (*terminal)(uint8_t, const char*, uint8_t);
        const char* command;
        const char* alternate;
    };
    const Case cases[] = {
        {"writeCardSettingsTerminal", writeCardSettingsTerminal, "42", nullptr},
        {"mfClassicWriteTerminal", mfClassicWriteTerminal, "23", "24"},
        {"mfCreateValueBlockTerminal", mfCreateValueBlockTerminal, "23", "24"},
        {"mfIncrementTerminal", mfIncrementTerminal, "F4", nullptr},
        {"mfDecrementTerminal", mfDecrementTerminal, "F5", nullptr},
        {"mfRestoreTerminal", mfRestoreTerminal, "F6", nullptr},
        {"mfRssSetTerminal", mfRssSetTerminal, "2A", "2B"},
        {"mfRssDelTerminal", mfRssDelTerminal, "2C", nullptr},
        {"mfRssWriteTerminal", mfRssWriteTerminal, "2D", nullptr},
        {"mfULWriteTerminal", mfULWriteTerminal, "39", nullptr},
        {"setReaderUidTerminal", setReaderUidTerminal, "EE", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ok = Answer("07", c.command, "OK");
        EXPECT_EQ(Call(c.terminal, 7, ok), 0);
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.command, "OKX")), 0) << "OK and more";
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.command, "O")), 1);
        EXPECT_EQ(Call(c.terminal, 7, Checked("\x01s07" + std::string(c.command) + "\x02")), 1) << "8 bytes";
        if (c.alternate != nullptr) {
            EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.alternate, "OK")), 0);
        }
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", "38", "OK")), 1) << "another command";
        EXPECT_EQ(Call(c.terminal, 8, ok), 1) << "another address";
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.command, "ERROR")), 1);
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.command, "ok")), 1);
        EXPECT_EQ(Call(c.terminal, 7, Answer("07", c.command, "0102")), 1) << "data instead of OK";
        EXPECT_EQ(Call(c.terminal, 7, WithBadCheck(ok)), 1);
        EXPECT_EQ(Call(c.terminal, 7, WithUpperS(ok)), 1);
        EXPECT_EQ(Call(c.terminal, 7, ok + "\r\n"), 1) << "trailing line end";
        EXPECT_EQ(Call(c.terminal, 7, ok.substr(0, 8)), 1) << "cut short";
        EXPECT_EQ(c.terminal(7, nullptr, 9), 1) << "no answer";
    }
}

// Functions that hand out decoded bytes: the expected data answer is copied;
// any other answer leaves the output untouched and gives `other`; an invalid
// frame gives 1.
TEST(CardLibraryTerminal, DataAnswers) {
    using DataTerminal = int32_t (*)(uint8_t, const char*, uint8_t, uint8_t*);
    struct Case {
        const char* name;
        DataTerminal terminal;
        const char* command;
        const char* alternate;
        std::size_t size;
        int32_t other;
    };
    const Case cases[] = {
        {"mfClassicReadTerminal", mfClassicReadTerminal, "21", "22", 16, 1},
        {"mfRssReadTerminal", mfRssReadTerminal, "25", nullptr, 16, 1},
        {"mfULReadTerminal", mfULReadTerminal, "38", nullptr, 4, 1},
        {"readMcuUidTerminal", readMcuUidTerminal, "EF", nullptr, 16, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string upper;
        std::string lower;
        std::vector<uint8_t> expected;
        for (std::size_t i = 0; i < c.size; ++i) {
            const auto byte = static_cast<uint8_t>(0xA0 + i * 3);
            expected.push_back(byte);
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", byte);
            upper += pair;
            std::snprintf(pair, sizeof pair, "%02x", byte);
            lower += pair;
        }
        const auto run = [&](uint8_t address, const std::string& answer, std::vector<uint8_t>& out) {
            out.assign(c.size + 4, 0x5A);
            return c.terminal(address, answer.data(), static_cast<uint8_t>(answer.size()), out.data());
        };
        std::vector<uint8_t> out;
        for (const char* command : {c.command, c.alternate}) {
            if (command == nullptr) {
                continue;
            }
            for (const std::string& text : {upper, lower}) {
                ASSERT_EQ(run(3, Answer("03", command, text), out), 0) << command << " " << text;
                EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(c.size)), expected);
                EXPECT_EQ(out[c.size], 0x5A) << "wrote past the output";
            }
        }
        std::string garbled = upper;
        garbled[3] = 'G';
        std::string embeddedNul = upper;
        embeddedNul[5] = '\0';
        const std::pair<const char*, std::string> others[] = {
            {"one byte short", Answer("03", c.command, upper.substr(2))},
            {"one byte more", Answer("03", c.command, upper + "00")},
            {"another address", Answer("02", c.command, upper)},
            {"another command", Answer("03", "42", upper)},
            {"OK", Answer("03", c.command, "OK")},
            {"ERROR", Answer("03", c.command, "ERROR")},
            {"a non-hex digit in the data", Answer("03", c.command, garbled)},
            {"a NUL in the data", Answer("03", c.command, embeddedNul)},
            {"a non-hex odd character", Answer("03", c.command, upper + "x")},
        };
        for (const auto& [name, answer] : others) {
            EXPECT_EQ(run(3, answer, out), c.other) << name;
            EXPECT_EQ(out, std::vector<uint8_t>(c.size + 4, 0x5A)) << name;
        }
        const std::string good = Answer("03", c.command, upper);
        const std::pair<const char*, std::string> invalid[] = {
            {"bad check character", WithBadCheck(good)},
            {"upper-case S", WithUpperS(good)},
            {"trailing line end", good + "\r\n"},
            {"no SOH", Checked("\x02" + good.substr(1, good.size() - 2))},
            {"8 bytes", Checked("\x01s03" + std::string(c.command) + "\x02")},
        };
        for (const auto& [name, answer] : invalid) {
            EXPECT_EQ(run(3, answer, out), 1) << name;
            EXPECT_EQ(out, std::vector<uint8_t>(c.size + 4, 0x5A)) << name;
        }
        EXPECT_EQ(c.terminal(3, good.data(), static_cast<uint8_t>(good.size()), nullptr), 1) << "output absent";
        EXPECT_EQ(c.terminal(3, nullptr, 40, out.data()), 1) << "answer absent";
    }
}

TEST(CardLibraryTerminal, CardBuffer) {
    struct Case {
        const char* name;
        std::string answer;
        int32_t result;
        std::string code;
    };
    const Case cases[] = {
        {"R and 16 hex digits", Answer("01", "A1", "R0123456789ABCDEF"), 0, "R0123456789ABCDEF"},
        {"T and 15 characters", Answer("01", "A1", "T0123456789ABCDE"), 0, "T0123456789ABCDE"},
        {"text passed on as it is", Answer("01", "A1", "Rxyz3456789abcdef"), 0, "Rxyz3456789abcdef"},
        {"empty data field", Answer("01", "A1", ""), 5, ""},
        {"a single character", Answer("01", "A1", "R"), 5, ""},
        {"another letter", Answer("01", "A1", "X0123456789ABCDEF"), 5, ""},
        {"OK", Answer("01", "A1", "OK"), 4, ""},
        {"ERROR", Answer("01", "A1", "ERROR"), 4, ""},
        {"8 characters", Answer("01", "A1", "R1234567"), 4, ""},
        // "OK" and "ERROR" are whole words at the start of the text.
        {"O and 16 characters", Answer("01", "A1", "O0123456789ABCDEF"), 5, ""},
        {"OK and 15 characters", Answer("01", "A1", "OK0123456789ABCDE"), 4, ""},
        {"ERR and 14 characters", Answer("01", "A1", "ERR0123456789ABCD"), 5, ""},
        {"ERROR and 12 characters", Answer("01", "A1", "ERRORX0123456789A"), 4, ""},
        {"8 bytes", Checked("\x01s01A1\x02"), 1, ""},
        {"another address", Answer("02", "A1", "R0123456789ABCDEF"), 4, ""},
        {"another command", Answer("01", "A2", "R0123456789ABCDEF"), 4, ""},
        {"bad check character", WithBadCheck(Answer("01", "A1", "R0123456789ABCDEF")), 1, ""},
        {"upper-case S", WithUpperS(Answer("01", "A1", "R0123456789ABCDEF")), 1, ""},
    };
    for (const auto& c : cases) {
        char code[24];
        std::memset(code, 0x5A, sizeof code);
        EXPECT_EQ(readCardBufferTerminal(1, c.answer.data(), static_cast<uint8_t>(c.answer.size()), code), c.result)
            << c.name;
        if (c.result == 0) {
            EXPECT_EQ(std::string(code), c.code) << c.name;
            EXPECT_EQ(code[18], 0x5A) << c.name;
        } else {
            EXPECT_EQ(std::string(code, sizeof code), std::string(sizeof code, 0x5A)) << c.name;
        }
    }
    const std::string good = Answer("01", "A1", "R0123456789ABCDEF");
    EXPECT_EQ(readCardBufferTerminal(1, good.data(), static_cast<uint8_t>(good.size()), nullptr), 1);
    char code[18] = "untouched";
    EXPECT_EQ(readCardBufferTerminal(1, nullptr, 26, code), 1) << "answer absent";
    EXPECT_STREQ(code, "untouched");
}

TEST(CardLibraryTerminal, CardId) {
    struct Case {
        const char* name;
        std::string answer;
        int32_t result;
        std::vector<uint8_t> id;
    };
    const Case cases[] = {
        {"8 hex digits", Answer("01", "20", "04A1B2C3"), 0, {0x04, 0xA1, 0xB2, 0xC3}},
        {"14 hex digits", Answer("01", "20", "0102030405060A"), 0, {1, 2, 3, 4, 5, 6, 0x0A}},
        {"lower-case digits", Answer("01", "20", "04a1b2c3"), 0, {0x04, 0xA1, 0xB2, 0xC3}},
        {"54 hex digits", Answer("01", "20", std::string(54, 'F')), 0, std::vector<uint8_t>(27, 0xFF)},
        {"empty data field", Answer("01", "20", ""), 0, {}},
        {"ERROR", Answer("01", "20", "ERROR"), 4, {}},
        {"OK", Answer("01", "20", "OK"), 4, {}},
        {"another address", Answer("02", "20", "04A1B2C3"), 4, {}},
        {"another command", Answer("01", "21", "04A1B2C3"), 4, {}},
        {"a non-hex digit", Answer("01", "20", "04A1BXC3"), 4, {}},
        {"bad check character", WithBadCheck(Answer("01", "20", "04A1B2C3")), 1, {}},
        {"65 bytes", Answer("01", "20", std::string(56, '0')), 1, {}},
        {"8 bytes", Checked("\x01s0120\x02"), 1, {}},
    };
    for (const auto& c : cases) {
        uint8_t id[32];
        std::memset(id, 0x5A, sizeof id);
        uint8_t idLength = 0x77;
        EXPECT_EQ(readCardIDTerminal(1, c.answer.data(), static_cast<uint8_t>(c.answer.size()), id, &idLength),
                  c.result)
            << c.name;
        EXPECT_EQ(idLength, c.id.size()) << c.name;
        EXPECT_EQ(std::vector<uint8_t>(id, id + c.id.size()), c.id) << c.name;
        EXPECT_EQ(id[c.id.size()], 0x5A) << c.name;
    }
    const std::string good = Answer("01", "20", "04A1B2C3");
    uint8_t id[8] = {0x5A};
    uint8_t idLength = 0x77;
    EXPECT_EQ(readCardIDTerminal(1, good.data(), static_cast<uint8_t>(good.size()), id, nullptr), 1);
    EXPECT_EQ(id[0], 0x5A);
    EXPECT_EQ(readCardIDTerminal(1, good.data(), static_cast<uint8_t>(good.size()), nullptr, &idLength), 1);
    EXPECT_EQ(idLength, 0x77);
    EXPECT_EQ(readCardIDTerminal(1, nullptr, 17, id, &idLength), 1) << "answer absent";
    EXPECT_EQ(idLength, 0);
    EXPECT_EQ(id[0], 0x5A);
}

TEST(CardLibraryTerminal, SettingsAnswers) {
    // Bytes 0..15 count up from 0x10; byte 16 holds the flags.
    const auto settingsAnswer = [](const std::string& byte16) {
        return Answer("01", "43", "101112131415161718191A1B1C1D1E1F" + byte16);
    };
    CardSettings settings;
    std::memset(&settings, 0xCC, sizeof settings);
    std::string answer = settingsAnswer("FF");
    ASSERT_EQ(readCardSettingsTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), &settings), 0);
    const uint8_t first[6] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15};
    EXPECT_EQ(std::memcmp(settings.bytes0to5, first, 6), 0);
    // The wide fields hold their byte zero-extended, not over the caller's 0xCC.
    const std::vector<int32_t> wide = {settings.byte6,  settings.word7,    settings.byte9,    settings.byte10,
                                       settings.byte11, settings.byte12,   settings.byte13,   settings.byte14,
                                       settings.byte15, settings.flagBit0, settings.flagBit1, settings.flagBit2};
    EXPECT_EQ(wide, (std::vector<int32_t>{0x16, 0x1817, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 1, 1, 1}));

    answer = settingsAnswer("FA");
    ASSERT_EQ(readCardSettingsTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), &settings), 0);
    EXPECT_EQ(settings.flagBit0, 0);
    EXPECT_EQ(settings.flagBit1, 1);
    EXPECT_EQ(settings.flagBit2, 0);

    const std::pair<const char*, std::string> refused[] = {
        {"16 bytes", Answer("01", "43", "101112131415161718191A1B1C1D1E1F")},
        {"18 bytes", settingsAnswer("0500")},
        {"ERROR", Answer("01", "43", "ERROR")},
        {"another address", Answer("02", "43", "101112131415161718191A1B1C1D1E1F05")},
        {"another command", Answer("01", "42", "101112131415161718191A1B1C1D1E1F05")},
        {"a non-hex digit", settingsAnswer("0Z")},
        {"bad check character", WithBadCheck(settingsAnswer("05"))},
        {"8 bytes", Checked("\x01s0143\x02")},
    };
    for (const auto& [name, text] : refused) {
        CardSettings untouched;
        std::memset(&untouched, 0xCC, sizeof untouched);
        EXPECT_EQ(readCardSettingsTerminal(1, text.data(), static_cast<uint8_t>(text.size()), &untouched), 1) << name;
        std::vector<unsigned char> after(sizeof untouched);
        std::memcpy(after.data(), &untouched, sizeof untouched);
        EXPECT_EQ(after, std::vector<unsigned char>(sizeof untouched, 0xCC)) << name;
    }
    EXPECT_EQ(readCardSettingsTerminal(1, nullptr, 43, &settings), 1) << "answer absent";
    answer = settingsAnswer("05");
    EXPECT_EQ(readCardSettingsTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), nullptr), 1);
}

// Each Terminal function takes the answer it expects with its own command(s)
// only: the same answer carrying any other command is refused.
TEST(CardLibraryTerminal, EachRefusesEveryCommandButItsOwn) {
    using Terminal = std::function<int32_t(const std::string&)>;
    const auto ok = [](int32_t (*terminal)(uint8_t, const char*, uint8_t)) {
        return [terminal](const std::string& answer) { return Call(terminal, 1, answer); };
    };
    const auto data = [](int32_t (*terminal)(uint8_t, const char*, uint8_t, uint8_t*)) {
        return [terminal](const std::string& answer) {
            uint8_t out[32];
            return terminal(1, answer.data(), static_cast<uint8_t>(answer.size()), out);
        };
    };
    const Terminal cardBuffer = [](const std::string& answer) {
        char code[24];
        return readCardBufferTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), code);
    };
    const Terminal cardId = [](const std::string& answer) {
        uint8_t id[32];
        uint8_t length = 0;
        return readCardIDTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), id, &length);
    };
    const Terminal settings = [](const std::string& answer) {
        CardSettings out;
        return readCardSettingsTerminal(1, answer.data(), static_cast<uint8_t>(answer.size()), &out);
    };
    const std::string bytes16(32, 'A');
    struct Case {
        const char* name;
        Terminal terminal;
        std::vector<int> commands;
        std::string text;
    };
    const Case cases[] = {
        {"writeCardSettingsTerminal", ok(writeCardSettingsTerminal), {0x42}, "OK"},
        {"mfClassicWriteTerminal", ok(mfClassicWriteTerminal), {0x23, 0x24}, "OK"},
        {"mfCreateValueBlockTerminal", ok(mfCreateValueBlockTerminal), {0x23, 0x24}, "OK"},
        {"mfIncrementTerminal", ok(mfIncrementTerminal), {0xF4}, "OK"},
        {"mfDecrementTerminal", ok(mfDecrementTerminal), {0xF5}, "OK"},
        {"mfRestoreTerminal", ok(mfRestoreTerminal), {0xF6}, "OK"},
        {"mfRssSetTerminal", ok(mfRssSetTerminal), {0x2A, 0x2B}, "OK"},
        {"mfRssDelTerminal", ok(mfRssDelTerminal), {0x2C}, "OK"},
        {"mfRssWriteTerminal", ok(mfRssWriteTerminal), {0x2D}, "OK"},
        {"mfULWriteTerminal", ok(mfULWriteTerminal), {0x39}, "OK"},
        {"setReaderUidTerminal", ok(setReaderUidTerminal), {0xEE}, "OK"},
        {"mfClassicReadTerminal", data(mfClassicReadTerminal), {0x21, 0x22}, bytes16},
        {"mfRssReadTerminal", data(mfRssReadTerminal), {0x25}, bytes16},
        {"mfULReadTerminal", data(mfULReadTerminal), {0x38}, "01020304"},
        {"readMcuUidTerminal", data(readMcuUidTerminal), {0xEF}, bytes16},
        {"readCardBufferTerminal", cardBuffer, {0xA1}, "R0123456789ABCDEF"},
        {"readCardIDTerminal", cardId, {0x20}, "04A1B2C3"},
        {"readCardSettingsTerminal", settings, {0x43}, bytes16 + "05"},
    };
    for (const auto& c : cases) {
        for (int command = 0; command < 256; ++command) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", command);
            const bool own = std::find(c.commands.begin(), c.commands.end(), command) != c.commands.end();
            EXPECT_EQ(c.terminal(Answer("01", digits, c.text)) == 0, own) << c.name << " with command " << digits;
        }
    }
}

}  // namespace
