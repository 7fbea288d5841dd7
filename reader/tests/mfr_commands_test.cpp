#include "reader/mfr_commands.h"

#include <gtest/gtest.h>

namespace reader {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) {
        text += static_cast<char>(v);
    }
    return text;
}

// The read-card answer with a card code, check character 0x70.
const std::string CardAnswer =
    Bytes({0x01, 0x73, 0x30, 0x30, 0x41, 0x31, 0x02}) + "R0000001234567890" + Bytes({0x03, 0x70});

struct ParseResult {
    std::string Status;
    std::string Data;
};

ParseResult Parse(const std::string& answer, const std::string& request) {
    ParseResult result{"unset", "unset"};
    TMFRCommands().ParseAnswer(result.Status, answer, request, result.Data);
    return result;
}

std::string ReadCardRequest() { return TMFRCommands().BuildReadCardFrame(0); }

// A frame with the check character it needs.
std::string Framed(const std::string& body) {
    unsigned char check = 0;
    for (char c : body) {
        check ^= static_cast<unsigned char>(c);
    }
    return body + static_cast<char>(check | 0x20);
}

TEST(MFRCommands, BuildsRequestFramesByteForByte) {
    TMFRCommands commands;
    EXPECT_EQ(commands.BuildReadCardFrame(0), Bytes({0x01, 0x53, 0x30, 0x30, 0x41, 0x31, 0x02, 0x03, 0x23}));
    EXPECT_EQ(commands.BuildDeviceNameFrame(0), Bytes({0x01, 0x53, 0x30, 0x30, 0x30, 0x30, 0x02, 0x32, 0x03, 0x61}));
    EXPECT_EQ(commands.Frame(), commands.BuildDeviceNameFrame(0));
    EXPECT_EQ(commands.BuildReadCardFrame(255).substr(2, 4), "FFA1");
    EXPECT_EQ(commands.BuildReadCardFrame(10).substr(2, 4), "0AA1");
}

// The answer's frame may sit among junk or before a second frame; address
// digits compare as numbers, whatever their case.
TEST(MFRCommands, AcceptsAnswers) {
    const std::string emptyData = Framed(Bytes({0x01, 0x73, 0x30, 0x30, 0x41, 0x31, 0x02, 0x03}));
    const struct {
        const char* name;
        std::string answer;
        std::string request;
        const char* data;
    } cases[] = {
        {"read-card answer", CardAnswer, ReadCardRequest(), "R0000001234567890"},
        {"empty data field", emptyData, ReadCardRequest(), ""},
        {"junk around and a second frame", "xx\x04" + CardAnswer + "garbage" + CardAnswer, ReadCardRequest(),
         "R0000001234567890"},
        {"lower-case address digits", Framed(Bytes({0x01, 0x73, 0x30, 0x61, 0x41, 0x31, 0x02, 0x03})),
         TMFRCommands().BuildReadCardFrame(10), ""},
    };
    for (const auto& c : cases) {
        const auto result = Parse(c.answer, c.request);
        EXPECT_EQ(result.Status, "OK") << c.name;
        EXPECT_EQ(result.Data, c.data) << c.name;
    }
}

TEST(MFRCommands, RejectsEachSingleDeviation) {
    struct Case {
        const char* name;
        std::string answer;
    };
    std::string upperS = CardAnswer;
    upperS[1] = 'S';
    std::string otherCheck = CardAnswer;
    otherCheck.back() = 0x71;
    std::string noSoh = CardAnswer.substr(1);
    std::string noStx = CardAnswer;
    noStx[6] = 'x';
    const std::string noEtx = CardAnswer.substr(0, CardAnswer.size() - 2);
    const std::string endsAtEtx = CardAnswer.substr(0, CardAnswer.size() - 1);
    // 300 characters without an ETX: the check scan must stop at the text's end.
    const std::string longWithoutEtx = CardAnswer.substr(0, 7) + std::string(300, '7');
    const Case cases[] = {
        {"upper-case S", Framed(upperS.substr(0, upperS.size() - 1))},
        {"wrong check character", otherCheck},
        {"other address", Framed(Bytes({0x01, 0x73, 0x30, 0x31, 0x41, 0x31, 0x02, 0x03}))},
        {"other command", Framed(Bytes({0x01, 0x73, 0x30, 0x30, 0x41, 0x32, 0x02, 0x03}))},
        {"non-hex address", Framed(Bytes({0x01, 0x73, 0x30, 0x47, 0x41, 0x31, 0x02, 0x03}))},
        {"no SOH", noSoh},
        {"no STX", Framed(noStx.substr(0, noStx.size() - 1))},
        {"no ETX", noEtx},
        {"long without ETX", longWithoutEtx},
        {"ends at its ETX", endsAtEtx},
        {"empty", ""},
        {"too short", Bytes({0x01, 0x73, 0x30, 0x30, 0x41, 0x31, 0x02, 0x03})},
    };
    for (const auto& c : cases) {
        const auto result = Parse(c.answer, ReadCardRequest());
        EXPECT_EQ(result.Status, "ERROR") << c.name;
        EXPECT_EQ(result.Data, "") << c.name;
    }
}

TEST(MFRCommands, RequestWithBadHeaderIsACallerError) {
    EXPECT_THROW(Parse(CardAnswer, "\x01SzzA1\x02\x03#"), EConvertError);
    EXPECT_THROW(Parse(CardAnswer, "\x01S0"), EConvertError);
}

}  // namespace
}  // namespace reader
