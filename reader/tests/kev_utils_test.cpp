#include "reader/kev_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/recording_sleeper.h"
#include "reader/kev3_dll.h"
#include "reader/zint_kev3_port.h"
#include "sim/ftdi/ftdi_sim_control.h"
#include "sim/kev3/kev3_sim_control.h"

namespace reader {
namespace {

using Lines = std::vector<std::string>;

TEST(KevUtilsRendering, RendersRawCodesAsUnsignedNumbers) {
    struct Case {
        const char* Raw;
        const char* Full;
        const char* Code40;
        const char* Code24;
        const char* Code8and16;
        const char* Hex;
    };
    const Case cases[] = {
        {"0000001234567890", "78187493520", "0078187493520", "0005666960", "086,30864", "1234567890"},
        {"R0000001234567890", "78187493520", "0078187493520", "0005666960", "086,30864", "1234567890"},
        {"0123456789", "0004886718345", "0004886718345", "0004548489", "069,26505", "0123456789"},
        {"1A2B3C", "1715004", "0000001715004", "0001715004", "026,11068", "001A2B3C"},
        {"7FFFFFFFFFFFFFFF", "9223372036854775807", "1099511627775", "0016777215", "255,65535", "7FFFFFFFFFFFFFFF"},
        {"8000000000000000", "9223372036854775808", "0000000000000", "0000000000", "000,00000", "8000000000000000"},
        {"FFFFFFFFFFFFFFFF", "18446744073709551615", "1099511627775", "0016777215", "255,65535", "FFFFFFFFFFFFFFFF"},
        {"$00000001", "1", "0000000000001", "0000000001", "000,00001", "00000001"},
    };
    for (const auto& c : cases) {
        std::string full, code40, code24, code8and16, hex;
        EXPECT_TRUE(TKevUtils::ConvertCardCode(c.Raw, full, code40, code24, code8and16)) << c.Raw;
        EXPECT_EQ(full, c.Full) << c.Raw;
        EXPECT_EQ(code40, c.Code40) << c.Raw;
        EXPECT_EQ(code24, c.Code24) << c.Raw;
        EXPECT_EQ(code8and16, c.Code8and16) << c.Raw;
        TKevUtils::CardCodeToHex(full, 0, hex);
        EXPECT_EQ(hex, c.Hex) << c.Raw;
    }
}

TEST(KevUtilsRendering, TextsThatAreNotNumbersGiveEmptyRenderings) {
    for (const char* raw : {"T000000123456789A", "", "R", "r12", "12G4", "1FFFFFFFFFFFFFFFF", "-12", "12 "}) {
        std::string full = "x", code40 = "x", code24 = "x", code8and16 = "x";
        EXPECT_FALSE(TKevUtils::ConvertCardCode(raw, full, code40, code24, code8and16)) << raw;
        EXPECT_TRUE(full.empty() && code40.empty() && code24.empty() && code8and16.empty()) << raw;
    }
    for (const char* decimal : {"", "12a", "18446744073709551616", "+5"}) {
        std::string hex = "x";
        TKevUtils::CardCodeToHex(decimal, 0, hex);
        EXPECT_EQ(hex, "") << decimal;
    }
    std::string hex;
    TKevUtils::CardCodeToHex("255", 4, hex);
    EXPECT_EQ(hex, "00FF");
    TKevUtils::CardCodeToHex("78187493520", 0, hex);
    EXPECT_EQ(hex, "1234567890");
}

TEST(KevUtilsRendering, AWideHexadecimalRenderingKeepsEveryDigit) {
    std::string hex;
    TKevUtils::CardCodeToHex("4660", 32, hex);
    EXPECT_EQ(hex, std::string(28, '0') + "1234");
}

// Both simulated libraries loaded at once: FTDI devices on the D2XX one,
// HID readers on the driver library.
class KevUtilsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PortList.clear();
        LoadKEV3DLL();
        ASSERT_TRUE(IsKEV3DLLLoaded());
        ASSERT_EQ(FKev3.Load("clock virtual\n"
                             "device H1 4 KEV-4 Desk Reader\n"
                             "name H1 KEV-4 Desk v2.10\n"
                             "card H1 R0000001234567890\n"
                             "device H2 4 KEV-4 Silent\n"
                             "fault H2 no-answer\n"
                             "device H3 3 KEV-3 Wall Reader\n"),
                  0);
        FKev2 = FFtdi.Add("FT01", "KEV-2 EM Card Reader");
        FFtdi.Set(FKev2, "com", "5");
        FFtdi.Set(FKev2, "card", "00DEADBEEF");
        FFtdi.Add("FT02", "Other FTDI gadget");
        FFtdi.Add("FT03", "kev-2 spare");
        FFtdi.Set(FFtdi.Add("FT04", "KEV-2 busy"), "held", "1");
    }
    void TearDown() override {
        UnloadKEV3DLL();
        PortList.clear();
    }

    std::string Read(const std::string& Serial) {
        std::string code = "stale";
        TKevUtils::ReadCardCode(Serial, 0, code, FTiming);
        return code;
    }

    sim::TFtdiSimControl FFtdi;
    sim::TKEV3SimControl FKev3;
    int FKev2 = 0;
    sim::TFtdiSimClock FClock{FFtdi};
    platform::testing::RecordingSleeper FSleeper{[this](int Ms) { FFtdi.AdvanceNs(Ms * 1000000LL); }};
    TReaderTiming FTiming{FClock, FSleeper};
};

TEST_F(KevUtilsTest, ListsKev2ReadersFirstThenTheDriverLibraryReadersThatAnswer) {
    Lines serials{"old"}, descriptions, ports;
    EXPECT_EQ(TKevUtils::ListReaders(serials, descriptions, ports), 0);
    EXPECT_EQ(serials, (Lines{"FT01", "FT03", "H1", "H3"}));
    EXPECT_EQ(descriptions, (Lines{"KEV-2 EM Card Reader", "kev-2 spare", "KEV-4 Desk Reader", "KEV-3 Wall Reader"}));
    EXPECT_EQ(ports, (Lines{"COM5", "No COM", "HID1 ", "HID3 "}));
}

TEST_F(KevUtilsTest, NamesReadersByKindOrByAsking) {
    Lines serials, descriptions, ports;
    TKevUtils::ListReaders(serials, descriptions, ports);
    struct Case {
        const char* Serial;
        const char* Description;
        const char* Info;
    };
    const Case cases[] = {
        {"FT03", "kev-2 spare", "KEV-2"},
        {"H3", "KEV-3 Wall Reader", "KEV-3"},
        {"H1", "KEV-4 Desk Reader", "KEV-4 Desk"},
        {"NOPE", "", "UNKNOWN"},
    };
    for (const auto& c : cases) {
        std::string info;
        TKevUtils::GetReaderInfo(c.Serial, c.Description, info);
        EXPECT_EQ(info, c.Info) << c.Serial;
    }
}

TEST_F(KevUtilsTest, ChecksAndReadsBothFamilies) {
    Lines serials, descriptions, ports;
    TKevUtils::ListReaders(serials, descriptions, ports);
    EXPECT_TRUE(TKevUtils::InitReader("H1", FTiming));
    EXPECT_TRUE(TKevUtils::InitReader("FT01", FTiming));
    EXPECT_FALSE(TKevUtils::InitReader("FT04", FTiming));
    EXPECT_EQ(Read("H1"), "0000001234567890");
    EXPECT_EQ(Read("FT01"), "00DEADBEEF");
    EXPECT_EQ(FFtdi.Get(FKev2, "power"), 0);
    EXPECT_EQ(FFtdi.Get(FKev2, "opens"), FFtdi.Get(FKev2, "closes"));
}

// What a KEV-2 reader's ordinary cards taught of its polarity settles a card
// whose inverted signal is another card's, until the reader leaves the list.
TEST_F(KevUtilsTest, AKev2ReaderKeepsItsPolarityUntilItLeavesTheList) {
    Lines serials, descriptions, ports;
    TKevUtils::ListReaders(serials, descriptions, ports);
    ASSERT_TRUE(TKevUtils::InitReader("FT01", FTiming));
    ASSERT_EQ(Read("FT01"), "00DEADBEEF");
    FFtdi.Set(FKev2, "card", "5808080900");
    TKevUtils::ListReaders(serials, descriptions, ports);
    EXPECT_EQ(Read("FT01"), "5808080900");
    // Listed as something else for one refresh, the reader has left the list.
    FFtdi.Set(FKev2, "description", "Other FTDI gadget");
    TKevUtils::ListReaders(serials, descriptions, ports);
    FFtdi.Set(FKev2, "description", "KEV-2 EM Card Reader");
    TKevUtils::ListReaders(serials, descriptions, ports);
    EXPECT_EQ(Read("FT01"), "");
}

TEST_F(KevUtilsTest, ASerialNotInTheLastListingTakesTheKev2Path) {
    // Nothing listed yet: the HID reader's serial number goes to the D2XX library.
    FFtdi.ClearTrace();
    EXPECT_EQ(Read("H1"), "");
    EXPECT_EQ(FFtdi.Trace().front(), "open H1 not found");
    EXPECT_THROW(Read(""), EFTDIError);
}

}  // namespace
}  // namespace reader
