#include "frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "answer_frames.h"

namespace {

using cardtest::Answer;
using cardtest::Checked;

int Decode(const std::string& answer, uint8_t address, uint8_t command, uint8_t expected, FrameRecord& record) {
    return decodeResponse(address, command, expected, answer.data(), static_cast<uint8_t>(answer.size()), &record);
}

TEST(FrameCodec, LargestRequestFitsAndTheNextIsRefused) {
    FrameRecord record;
    char frame[80];
    uint8_t data[28];
    for (int i = 0; i < 28; ++i) {
        data[i] = static_cast<uint8_t>(0xF0 + i);
    }
    uint8_t length = 0;
    initRequest(&record, 5, 0x30, 27);
    ASSERT_TRUE(putFrameData(&record, 0, data, 27));
    ASSERT_EQ(buildCommandFrame(frame, &record, &length), 0);
    EXPECT_EQ(length, 63);
    EXPECT_EQ(std::string(frame + 7, 4), "F0F1");
    EXPECT_EQ(frame[61], '\x03');

    initRequest(&record, 5, 0x30, 28);
    std::memset(frame, 0x5A, sizeof frame);
    length = 0x77;
    EXPECT_EQ(buildCommandFrame(frame, &record, &length), 1);
    EXPECT_EQ(length, 0x77);
    EXPECT_EQ(frame[0], 0x5A);
}

TEST(FrameCodec, PutFrameDataStaysInsideTheRequest) {
    FrameRecord record;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    initRequest(&record, 1, 0x30, 4);
    EXPECT_TRUE(putFrameData(&record, 2, bytes, 2));
    EXPECT_FALSE(putFrameData(&record, 3, bytes, 2));
    EXPECT_EQ(record.data[2], 1);
    EXPECT_EQ(record.data[4], 0);
}

TEST(FrameCodec, AnswerLengthLimits) {
    FrameRecord record;
    const std::string nine = Answer("01", "A1", "");
    EXPECT_EQ(nine.size(), 9u);
    EXPECT_EQ(Decode(nine, 1, 0xA1, 0, record), CLASS_DATA);
    EXPECT_EQ(Decode(nine.substr(0, 8), 1, 0xA1, 0, record), 1);

    const std::string sixtyFour = Answer("01", "A1", std::string(55, '1'));
    ASSERT_EQ(sixtyFour.size(), 64u);
    EXPECT_EQ(Decode(sixtyFour, 1, 0xA1, 27, record), CLASS_DATA);
    EXPECT_EQ(record.data[26], 0x11);
    EXPECT_EQ(std::string(record.text), std::string(55, '1'));

    const std::string sixtyFive = Answer("01", "A1", std::string(56, '1'));
    EXPECT_EQ(Decode(sixtyFive, 1, 0xA1, 28, record), 1);
}

TEST(FrameCodec, InvalidAnswersAreRejected) {
    FrameRecord record;
    std::string badCheck = Answer("01", "A1", "R1234");
    badCheck.back() ^= 1;
    std::string upperS = Answer("01", "A1", "");
    upperS[1] = 'S';
    std::string noSoh = Answer("01", "A1", "");
    noSoh[0] = 0x02;
    const std::pair<const char*, std::string> cases[] = {
        {"bad check character", badCheck},           {"upper-case S", Checked(upperS.substr(0, 8))},
        {"no SOH", Checked(noSoh.substr(0, 8))},     {"non-hex address", Answer("0G", "A1", "")},
        {"non-hex command", Answer("01", "A ", "")},
    };
    for (const auto& [name, answer] : cases) {
        EXPECT_EQ(Decode(answer, 1, 0xA1, 0, record), 1) << name;
    }
    EXPECT_EQ(decodeResponse(1, 0xA1, 0, nullptr, 9, &record), 1);
}

TEST(FrameCodec, StxAndEtxPositionsAreNotChecked) {
    FrameRecord record;
    const std::string answer = Checked("\x01s01A1xOKy");
    EXPECT_EQ(Decode(answer, 1, 0xA1, 0, record), CLASS_OK);
}

TEST(FrameCodec, ClassifiesInTheDocumentedOrder) {
    struct Case {
        const char* name;
        std::string answer;
        uint8_t expectedLength;
        int classification;
    };
    const Case cases[] = {
        {"wrong address beats OK", Answer("02", "A1", "OK"), 0, CLASS_WRONG_ADDRESS},
        {"wrong command beats OK", Answer("01", "A2", "OK"), 0, CLASS_WRONG_COMMAND},
        {"OK whatever the length", Answer("01", "A1", "OK"), 9, CLASS_OK},
        {"ERROR", Answer("01", "A1", "ERROR"), 2, CLASS_ERROR},
        {"ERROR beats a matching length", Answer("01", "A1", "ERROR1"), 3, CLASS_ERROR},
        {"ok is case-sensitive", Answer("01", "A1", "ok"), 0, CLASS_OTHER},
        {"matching length", Answer("01", "A1", "00112233"), 4, CLASS_DATA},
        {"other length", Answer("01", "A1", "001122"), 4, CLASS_OTHER},
        {"lower-case address digits", Answer("0a", "a1", ""), 0, CLASS_DATA},
    };
    for (const auto& c : cases) {
        FrameRecord record;
        const uint8_t address = c.answer.substr(2, 2) == "0a" ? 10 : 1;
        EXPECT_EQ(Decode(c.answer, address, 0xA1, c.expectedLength, record), c.classification) << c.name;
    }
}

TEST(FrameCodec, DecodesDataPairsAndKeepsTheRawText) {
    FrameRecord record;
    ASSERT_EQ(Decode(Answer("01", "30", "a1B2c"), 1, 0x30, 2, record), CLASS_DATA);
    EXPECT_EQ(record.length, 2);
    EXPECT_EQ(record.data[0], 0xA1);
    EXPECT_EQ(record.data[1], 0xB2);
    EXPECT_EQ(std::string(record.text), "a1B2c");

    ASSERT_EQ(Decode(Answer("01", "30", "12x45678"), 1, 0x30, 4, record), CLASS_DATA);
    EXPECT_EQ(record.data[0], 0x12);
    EXPECT_EQ(record.data[1], 0x00);
    EXPECT_EQ(record.data[3], 0x00);
}

TEST(FrameCodec, HexRoutinesRoundTrip) {
    uint8_t bytes[256];
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    char text[512];
    hexEncode(bytes, 512, text);
    EXPECT_EQ(std::string(text, 6), "000102");
    EXPECT_EQ(std::string(text + 508, 4), "FEFF");
    EXPECT_TRUE(isHexText(text, 512));
    uint8_t decoded[256] = {};
    hexDecode(decoded, 512, text);
    EXPECT_EQ(std::memcmp(bytes, decoded, 256), 0);

    uint8_t half[1] = {0};
    hexDecode(half, 2, "7z");
    EXPECT_EQ(half[0], 0x70);
    EXPECT_FALSE(isHexText("12g4", 4));
    EXPECT_EQ(frameChecksum("\x01", 1), '\x21');
}

}  // namespace
