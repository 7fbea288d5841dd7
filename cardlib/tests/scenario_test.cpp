// The card library against the simulated reader: whole exchanges, request by
// request, as a client program runs them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "sim/mifare_reader_sim.h"
#include "talvo_mifare.h"

namespace {

using sim::ECardKind;
using sim::TMifareReaderSim;
using std::bind_front;

constexpr uint8_t Address = 4;
const uint8_t DefaultKey[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

class Scenario : public ::testing::Test {
protected:
    Scenario() : FReader(Address) { FReader.InsertClassic(ECardKind::Classic1K, {0xDE, 0xAD, 0xBE, 0xEF}); }

    // Builds a request with `host`, hands it to the reader, returns the answer.
    template <typename Host>
    std::string Send(Host host) {
        char frame[64];
        uint8_t length = 0;
        const int32_t result = host(frame, &length);
        EXPECT_EQ(result, 0) << "request not built";
        return result == 0 ? FReader.Exchange(std::string_view(frame, length)) : std::string();
    }

    // One whole exchange: request, then the answer through `terminal`, which
    // writes what it decodes to `out`.
    template <typename Host, typename Terminal, typename... Out>
    int32_t Run(Host host, Terminal terminal, Out... out) {
        const std::string answer = Send(host);
        return terminal(Address, answer.data(), static_cast<uint8_t>(answer.size()), out...);
    }

    int32_t ReadBlock(uint8_t sector, uint8_t block, const uint8_t* key, uint8_t keyType, uint8_t* data) {
        return Run(bind_front(mfClassicReadHost, Address, sector, block, key, keyType), mfClassicReadTerminal, data);
    }

    int32_t ReadValue(uint8_t sector, uint8_t block, int32_t& value) {
        uint8_t data[16];
        const int32_t result = ReadBlock(sector, block, DefaultKey, 0, data);
        value = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
        return result;
    }

    TMifareReaderSim FReader;
};

TEST_F(Scenario, WriteThenReadAClassicBlock) {
    const uint8_t written[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(Run(bind_front(mfClassicWriteHost, Address, 3, 2, written, DefaultKey, 1), mfClassicWriteTerminal), 0);
    uint8_t read[16] = {};
    ASSERT_EQ(ReadBlock(3, 2, DefaultKey, 0, read), 0);
    EXPECT_EQ(std::memcmp(read, written, 16), 0);
    EXPECT_EQ(FReader.Block(14)[15], 16);
}

TEST_F(Scenario, ValueBlockIncrementTransferAndReadBack) {
    const int32_t start = 100;
    ASSERT_EQ(
        Run(bind_front(mfCreateValueBlockHost, Address, 1, 0, &start, 7, DefaultKey, 0), mfCreateValueBlockTerminal),
        0);
    const uint8_t add25[4] = {25, 0, 0, 0};
    ASSERT_EQ(
        Run(bind_front(mfIncrementHost, Address, 1, 0, add25, DefaultKey, 0, 1, 1, DefaultKey, 1), mfIncrementTerminal),
        0);
    int32_t value = 0;
    ASSERT_EQ(ReadValue(1, 1, value), 0);
    EXPECT_EQ(value, 125);
    EXPECT_EQ(FReader.Block(5)[12], 7) << "the value block keeps its address byte";

    const uint8_t take200[4] = {200, 0, 0, 0};
    ASSERT_EQ(Run(bind_front(mfDecrementHost, Address, 1, 1, take200, DefaultKey, 0, 1, 2, DefaultKey, 0),
                  mfDecrementTerminal),
              0);
    ASSERT_EQ(ReadValue(1, 2, value), 0);
    EXPECT_EQ(value, -75);

    ASSERT_EQ(Run(bind_front(mfRestoreHost, Address, 1, 0, DefaultKey, 0, 2, 0, DefaultKey, 0), mfRestoreTerminal), 0);
    ASSERT_EQ(ReadValue(2, 0, value), 0);
    EXPECT_EQ(value, 100);
}

TEST_F(Scenario, AWrongKeyFails) {
    const uint8_t wrong[6] = {0, 0, 0, 0, 0, 1};
    uint8_t data[16];
    std::memset(data, 0x5A, sizeof data);
    EXPECT_EQ(ReadBlock(2, 1, wrong, 0, data), 1);
    EXPECT_EQ(data[0], 0x5A);
    const uint8_t block[16] = {9};
    EXPECT_EQ(Run(bind_front(mfClassicWriteHost, Address, 2, 1, block, wrong, 1), mfClassicWriteTerminal), 1);
    EXPECT_EQ(FReader.Block(9)[0], 0);
    const uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(Run(bind_front(mfIncrementHost, Address, 2, 1, one, DefaultKey, 0, 2, 2, wrong, 0), mfIncrementTerminal),
              1);
}

TEST_F(Scenario, StoredKeysOpenTheirSector) {
    // Give sector 2 its own key B.
    const uint8_t keyB[6] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    uint8_t trailer[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x80, 0x69};
    std::memcpy(trailer + 10, keyB, 6);
    std::memset(trailer, 0x12, 6);  // and another key A
    ASSERT_EQ(Run(bind_front(mfClassicWriteHost, Address, 2, 3, trailer, DefaultKey, 0), mfClassicWriteTerminal), 0);
    const uint8_t written[16] = {0xC0, 0xFF, 0xEE};
    FReader.Block(8) = {0xC0, 0xFF, 0xEE};

    const auto readStored = [&](uint8_t* data) {
        return Run(bind_front(mfRssReadHost, Address, 2, 0), mfRssReadTerminal, data);
    };
    uint8_t data[16] = {};
    EXPECT_EQ(readStored(data), 1) << "no key stored yet";
    ASSERT_EQ(Run(bind_front(mfRssSetHost, Address, 2, keyB, 1), mfRssSetTerminal), 0);
    ASSERT_TRUE(FReader.StoredKey(2, 1).has_value());
    ASSERT_EQ(readStored(data), 0);
    EXPECT_EQ(std::memcmp(data, written, 16), 0);

    const uint8_t next[16] = {1, 1, 2, 3, 5, 8, 13, 21};
    ASSERT_EQ(Run(bind_front(mfRssWriteHost, Address, 2, 1, next), mfRssWriteTerminal), 0);
    EXPECT_EQ(FReader.Block(9)[7], 21);

    ASSERT_EQ(Run(bind_front(mfRssDelHost, Address, 2), mfRssDelTerminal), 0);
    EXPECT_EQ(readStored(data), 1) << "the slot was cleared";
}

TEST_F(Scenario, UltralightWriteThenRead) {
    FReader.InsertUltralight({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    const uint8_t page[4] = {0xCA, 0xFE, 0xBA, 0xBE};
    ASSERT_EQ(Run(bind_front(mfULWriteHost, Address, 9, page), mfULWriteTerminal), 0);
    uint8_t read[4] = {};
    ASSERT_EQ(Run(bind_front(mfULReadHost, Address, 9), mfULReadTerminal, read), 0);
    EXPECT_EQ(std::memcmp(read, page, 4), 0);
    EXPECT_EQ(Run(bind_front(mfULWriteHost, Address, 2, page), mfULWriteTerminal), 1) << "the lock page is read-only";
}

TEST_F(Scenario, SettingsRoundTrip) {
    CardSettings written{};
    written.flagBit0 = 1;
    written.flagBit2 = -1;
    written.word7 = 0xBEEF;
    written.byte13 = 0x1FF;
    written.bytes0to5[5] = 0x66;
    ASSERT_EQ(Run(bind_front(writeCardSettingsHost, Address, &written), writeCardSettingsTerminal), 0);
    EXPECT_EQ(FReader.Settings()[16], 0x05);
    CardSettings read;
    std::memset(&read, 0xEE, sizeof read);
    ASSERT_EQ(Run(bind_front(readCardSettingsHost, Address), readCardSettingsTerminal, &read), 0);
    EXPECT_EQ(read.flagBit0, 1);
    EXPECT_EQ(read.flagBit1, 0);
    EXPECT_EQ(read.flagBit2, 1);
    EXPECT_EQ(read.word7, 0xBEEF);
    EXPECT_EQ(read.byte13, 0xFF);
    EXPECT_EQ(read.byte6, 0);
    EXPECT_EQ(read.bytes0to5[5], 0x66);
}

TEST_F(Scenario, CardCodeIdAndIdentifiers) {
    char code[18];
    ASSERT_EQ(Run(bind_front(readCardBufferHost, Address), readCardBufferTerminal, code), 0);
    EXPECT_STREQ(code, "R00000000DEADBEEF");
    uint8_t id[27];
    uint8_t idLength = 0;
    ASSERT_EQ(Run(bind_front(readCardIDHost, Address), readCardIDTerminal, id, &idLength), 0);
    ASSERT_EQ(idLength, 4);
    EXPECT_EQ(id[3], 0xEF);
    uint8_t mcu[16];
    ASSERT_EQ(Run(bind_front(readMcuUidHost, Address), readMcuUidTerminal, mcu), 0);
    EXPECT_EQ(std::memcmp(mcu, FReader.McuUid().data(), 16), 0);
    ASSERT_EQ(Run(bind_front(setReaderUidHost, Address, "door-7:lobby/Abc"), setReaderUidTerminal), 0);
    EXPECT_EQ(FReader.ReaderUid(), "door-7:lobby/Abc");

    FReader.RemoveCard();
    EXPECT_EQ(Run(bind_front(readCardBufferHost, Address), readCardBufferTerminal, code), 5);
}

// Each fault of the reader, seen through a card-code read, a block read and a
// write (both with key B, whose command + 1 is no accepted answer): a fault
// never passes for success, and lower-case hex still decodes.
TEST_F(Scenario, ReaderFaults) {
    struct Case {
        const char* name;
        bool sim::TMifareReaderFaults::*fault;
        int32_t code, block, write;
    };
    const Case cases[] = {
        {"silence", &sim::TMifareReaderFaults::Silence, 1, 1, 1},
        {"bad check character", &sim::TMifareReaderFaults::BadCheck, 1, 1, 1},
        {"upper-case S", &sim::TMifareReaderFaults::UpperCaseS, 1, 1, 1},
        {"another address", &sim::TMifareReaderFaults::OtherAddress, 4, 1, 1},
        {"another command", &sim::TMifareReaderFaults::OtherCommand, 4, 1, 1},
        {"trailing CR LF", &sim::TMifareReaderFaults::TrailingCrLf, 1, 1, 1},
        {"ERROR answers", &sim::TMifareReaderFaults::ErrorAnswers, 4, 1, 1},
        {"lower-case hex", &sim::TMifareReaderFaults::LowerCaseHex, 0, 0, 0},
    };
    const uint8_t block[16] = {0x7E};
    for (const auto& c : cases) {
        FReader.Faults = {};
        FReader.Faults.*c.fault = true;
        char code[18];
        EXPECT_EQ(Run(bind_front(readCardBufferHost, Address), readCardBufferTerminal, code), c.code) << c.name;
        uint8_t data[16];
        EXPECT_EQ(ReadBlock(1, 1, DefaultKey, 1, data), c.block) << c.name;
        EXPECT_EQ(Run(bind_front(mfClassicWriteHost, Address, 1, 1, block, DefaultKey, 1), mfClassicWriteTerminal),
                  c.write)
            << c.name;
    }
}

TEST_F(Scenario, ForeignAddressGetsNoAnswer) {
    char frame[64];
    uint8_t length = 0;
    ASSERT_EQ(readCardBufferHost(Address + 1, frame, &length), 0);
    const std::string answer = FReader.Exchange(std::string_view(frame, length));
    EXPECT_TRUE(answer.empty());
    char code[18];
    EXPECT_EQ(readCardBufferTerminal(Address + 1, answer.data(), static_cast<uint8_t>(answer.size()), code), 1);
    // A damaged request is not answered either.
    ASSERT_EQ(readCardBufferHost(Address, frame, &length), 0);
    frame[length - 1] ^= 1;
    EXPECT_TRUE(FReader.Exchange(std::string_view(frame, length)).empty());
}

}  // namespace
