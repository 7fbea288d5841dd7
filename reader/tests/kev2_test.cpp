#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/testing/recording_sleeper.h"
#include "reader/d2xx_object.h"
#include "reader/ftdi_htrc.h"
#include "reader/tests/em_inverted_pairs.h"
#include "sim/ftdi/ftdi_sim_control.h"

namespace reader {
namespace {

using TSimClock = sim::TFtdiSimClock;
using TSimFtdi = sim::TFtdiSimControl;
using Lines = std::vector<std::string>;

// A simulated reader, whose polarity nothing has learned yet, with a card in
// its field and a clock and sleeper that run on the simulator's virtual time.
class Kev2Test : public ::testing::Test {
protected:
    Kev2Test() : FClock(FSim), FSleeper([this](int Ms) { FSim.AdvanceNs(Ms * 1000000LL); }), FTiming{FClock, FSleeper} {
        Kev2Polarities().KeepOnly({});
        FReader = FSim.Add("KV2A0001", "KEV-2 EM Card Reader");
        FSim.Set(FReader, "com", "7");
        FSim.Set(FReader, "card", "0123456789");
    }

    bool Init() { return TFTDI_HTRC(D2XX().Entries(), FSleeper).InitHtrc("KV2A0001"); }

    std::string Read(int TimeoutMs = 0) {
        std::string code = "stale";
        TKEV2Utils::ReadCodeKev2("KV2A0001", TimeoutMs, true, code, FTiming);
        return code;
    }

    void ExpectBalancedAndOff() {
        EXPECT_EQ(FSim.Get(FReader, "opens"), FSim.Get(FReader, "closes"));
        EXPECT_EQ(FSim.Get(FReader, "open"), 0);
        EXPECT_EQ(FSim.Get(FReader, "power"), 0);
    }

    TSimFtdi FSim;
    TSimClock FClock;
    platform::testing::RecordingSleeper FSleeper;
    TReaderTiming FTiming;
    int FReader = 0;
};

TEST(D2XXBinding, MissingLibraryOrNameLeavesOnlySubstitutes) {
    TSimFtdi withoutUsb("SimFtdiNoUsbParameters.dll");
    withoutUsb.Add("X1", "KEV-2");
    std::vector<std::unique_ptr<platform::DynamicLibrary>> libraries;
    libraries.push_back(nullptr);
    libraries.push_back(withoutUsb.TakeLibrary());
    for (auto& library : libraries) {
        const TD2XXBinding binding(std::move(library));
        EXPECT_FALSE(binding.Bound());
        DWORD count = 99;
        EXPECT_EQ(binding.Entries().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        EXPECT_EQ(count, 0U);
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(binding.Entries().FT_OpenEx(const_cast<char*>("X1"), FT_OPEN_BY_SERIAL_NUMBER, &handle), 2U);
        EXPECT_EQ(binding.Entries().FT_SetBitMode(handle, 0x88, 0x20), 2U);
        std::vector<std::string> serials{"old"};
        EXPECT_EQ(TFTDIUtils::ListFtdiDevices(&serials, nullptr, nullptr, 0, binding.Entries()), 0);
        EXPECT_TRUE(serials.empty());
    }
}

TEST(D2XXBinding, LibraryWithoutComPortEntryStillBindsAndReportsNoCom) {
    TSimFtdi sim("SimFtdiNoComPort.dll");
    const int device = sim.Add("NC1", "KEV-2 reader");
    sim.Set(device, "com", "4");
    const TD2XXBinding binding(sim.TakeLibrary());
    ASSERT_TRUE(binding.Bound());
    std::vector<std::string> serials, descriptions, ports;
    EXPECT_EQ(TFTDIUtils::ListFtdiDevices(&serials, &descriptions, &ports, 0, binding.Entries()), 0);
    EXPECT_EQ(serials, Lines{"NC1"});
    EXPECT_EQ(ports, Lines{"No COM"});
}

TEST(FTDIUtils, ListsDevicesWithPortTextsAndFiltersByKind) {
    TSimFtdi sim;
    sim.Set(sim.Add("A1", "KEV-2 EM Card Reader"), "com", "3");
    sim.Add("B2", "kev-2 lower case");  // no COM port
    sim.Set(sim.Add("C3", "KEV-2 busy"), "held", "1");
    sim.Set(sim.Add("D4", "KEV-4 Reader"), "com", "12");
    struct Case {
        uint8_t Kind;
        Lines Serials, Descriptions, Ports;
    };
    const Case cases[] = {
        {0,
         {"A1", "B2", "C3", "D4"},
         {"KEV-2 EM Card Reader", "kev-2 lower case", "", "KEV-4 Reader"},
         {"COM3", "No COM", "", "COM12"}},
        {2, {"A1", "B2"}, {"KEV-2 EM Card Reader", "kev-2 lower case"}, {"COM3", "No COM"}},
        {4, {"D4"}, {"KEV-4 Reader"}, {"COM12"}},
    };
    for (const auto& c : cases) {
        Lines serials, descriptions, ports;
        EXPECT_EQ(TFTDIUtils::ListFtdiDevices(&serials, &descriptions, &ports, c.Kind), 0);
        EXPECT_EQ(serials, c.Serials) << int(c.Kind);
        EXPECT_EQ(descriptions, c.Descriptions) << int(c.Kind);
        EXPECT_EQ(ports, c.Ports) << int(c.Kind);
    }
    for (int device = 0; device < 4; ++device) {
        EXPECT_EQ(sim.Get(device, "opens"), sim.Get(device, "closes"));
    }
}

TEST(FTDIUtils, PortTextsAndKinds) {
    EXPECT_EQ(TFTDIUtils::PortText(0), "(COM0)");
    EXPECT_EQ(TFTDIUtils::PortText(-1), "No COM");
    EXPECT_EQ(TFTDIUtils::PortText(-2), "D2XX Error");
    const std::pair<const char*, int> kinds[] = {
        {"KEV-3 and KEV-1", 1}, {"my kev-2", 2}, {"KEV-4", 4}, {"Merlok", 5}, {"QX-7USB", 6}, {"MDV-5", 7}, {"", 0},
    };
    for (const auto& [description, kind] : kinds) {
        EXPECT_EQ(TFTDIUtils::GetDeviceKind("any", description), kind) << description;
    }
}

TEST(FTDIUtils, CbusBytesSwitchReaderPowerAndLongSerialsAreCut) {
    TSimFtdi sim;
    const int device = sim.Add("P1", "KEV-2");
    EXPECT_TRUE(TFTDIUtils::WriteCBUS("P1", 8, 8));
    EXPECT_EQ(sim.Get(device, "power"), 1);
    TKEV2Utils::SetReaderPower("P1", true);
    EXPECT_EQ(sim.Get(device, "power"), 0);
    EXPECT_EQ(sim.Trace(),
              (Lines{"open P1", "latency 16", "cbus 0x88", "close", "open P1", "latency 16", "cbus 0x80", "close"}));
    EXPECT_THROW(TKEV2Utils::SetReaderPower("", false), EFTDIError);

    sim.ClearTrace();
    TD2XXObject object;
    EXPECT_EQ(object.Open_USB_Device_By_Serial_Number(std::string(60, 'S')), 2U);
    EXPECT_EQ(sim.Trace(), Lines{"open " + std::string(49, 'S') + " not found"});
}

TEST_F(Kev2Test, InitialisationSendsTheChipCommandsAndRequestsItsWaits) {
    ASSERT_TRUE(Init());
    EXPECT_EQ(FSim.Trace(), (Lines{"open KV2A0001",
                                   "baud 9600",
                                   "flow 0 0x11 0x13",
                                   "latency 16",
                                   "mode 0x01 mask 0x05",
                                   "write 1",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x73 page 3 0x03",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x4B page 0 0x0B",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x50 page 1 0x00",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x08 read-phase",
                                   "mode 0x04 mask 0x05",
                                   "write 16",
                                   "read 16",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0xAD sampling 0x2D",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x6B page 2 0x0B",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x68 page 2 0x08",
                                   "mode 0x01 mask 0x05",
                                   "write 4",
                                   "write 24",
                                   "htrc 0x60 page 2 0x00",
                                   "close"}));
    EXPECT_EQ(FSleeper.Requests(), (std::vector<int>{10, 20, 5}));
}

TEST_F(Kev2Test, ReadsTheCardWithTheOperationSequenceOfOnePoll) {
    ASSERT_TRUE(Init());
    FSim.ClearTrace();
    EXPECT_EQ(Read(), "0123456789");
    EXPECT_EQ(FSim.Trace(), (Lines{"open KV2A0001", "latency 16",    "cbus 0x88",           "close",
                                   "open KV2A0001", "baud 9600",     "flow 0 0x11 0x13",    "latency 16",
                                   "purge 2",       "purge 1",       "mode 0x01 mask 0x05", "write 4",
                                   "write 6",       "htrc read-tag", "mode 0x01 mask 0x05", "read 8704",
                                   "read 8704",     "close",         "open KV2A0001",       "latency 16",
                                   "cbus 0x80",     "close"}));
    ExpectBalancedAndOff();
}

TEST_F(Kev2Test, ReadsWithATimeoutAfterInitialisingTheChip) {
    FSim.Set(FReader, "inverted", "1");
    FSim.Set(FReader, "start_phase", "17.3");
    EXPECT_EQ(Read(500), "0123456789");
    ExpectBalancedAndOff();
}

// Through the whole read, the card arriving at every start phase, in both
// polarities: a reader whose polarity is not known yet gives these codes
// right or not at all, and reads them all right once it has read an
// ordinary card.
TEST_F(Kev2Test, CodesWhoseInvertedSignalIsAnotherCardsAreNeverReadWrong) {
    ASSERT_TRUE(Init());
    for (const char* inverted : {"0", "1"}) {
        Kev2Polarities().KeepOnly({});
        FSim.Set(FReader, "inverted", inverted);
        for (const bool learned : {false, true}) {
            if (learned) {
                FSim.Set(FReader, "card", "0123456789");
                ASSERT_EQ(Read(), "0123456789");
            }
            for (const auto& pair : testing::EmInvertedPairs) {
                const std::string code = pair.First;
                FSim.Set(FReader, "card", code);
                for (int phase = 0; phase < 64; ++phase) {
                    // The card arrives as the read starts, with its frame this far on.
                    FSim.Set(FReader, "arrive_us", std::to_string(FSim.NowNs() / 1000));
                    FSim.Set(FReader, "start_phase", std::to_string(phase + 0.25 * (phase % 4)));
                    const std::string read = Read();
                    const auto trace = ::testing::Message() << code << " inverted " << inverted << " phase " << phase
                                                            << (learned ? " learned" : " fresh");
                    if (learned || !read.empty()) {
                        EXPECT_EQ(read, code) << trace;
                    }
                }
            }
        }
    }
}

TEST_F(Kev2Test, FailuresGiveNoCodeAndLeaveTheReaderClosedAndOff) {
    struct Case {
        const char* Name;
        const char* Key;
        const char* Value;
        bool RemoveAfterFirstCapture;
    };
    const Case cases[] = {
        {"short capture", "read_limit", "8703", false},
        {"failed purge", "purge_status", "4", false},
        {"held elsewhere", "held", "1", false},
        {"card removed mid-read", "seed", "1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FSim.Set(FReader, "held", "0");
        ASSERT_TRUE(Init());
        FSim.Set(FReader, c.Key, c.Value);
        if (c.RemoveAfterFirstCapture) {
            // Power switching and the read-tag step come first; the card leaves
            // while the second capture runs.
            const long long removeUs = (FSim.NowNs() + 20 * 125000LL + 12000 * 16000LL) / 1000;
            FSim.Set(FReader, "remove_us", std::to_string(removeUs));
        }
        EXPECT_EQ(Read(), "");
        ExpectBalancedAndOff();
        FSim.Set(FReader, "read_limit", "-1");
        FSim.Set(FReader, "purge_status", "0");
        FSim.Set(FReader, "remove_us", "9000000000000");
    }
}

TEST_F(Kev2Test, ErrorsRaiseTheirCodesWithTheReaderOff) {
    struct Case {
        const char* Serial;
        const char* Shortfall;
        int Code;
        const char* Message;
    };
    const Case cases[] = {
        {"", "0", 2, "Error: You must show which device..."},
        {"KV2A0001", "1", 3, "Error: Cannot init HTRC device ..."},  // every write comes up short
    };
    for (const auto& c : cases) {
        FSim.ClearTrace();
        FSim.Set(FReader, "write_shortfall", c.Shortfall);
        std::string code = "stale";
        try {
            TKEV2Utils::ReadCodeKev2(c.Serial, 100, true, code, FTiming);
            ADD_FAILURE() << "no exception for " << c.Code;
        } catch (const EFTDIError& error) {
            EXPECT_EQ(error.ErrorCode(), c.Code);
            EXPECT_STREQ(error.what(), c.Message);
        }
        EXPECT_EQ(code, "");
        ExpectBalancedAndOff();
        // Without a serial number nothing is switched or opened.
        EXPECT_EQ(FSim.Trace().empty(), c.Code == 2);
    }
}

TEST_F(Kev2Test, AttemptsAreClampedAndEachCaptureIsTriedOnce) {
    FSim.Set(FReader, "card", "");
    ASSERT_TRUE(Init());
    for (const auto& [attempts, captures] : {std::pair{0, 1}, {2, 2}, {20, 10}}) {
        FSim.ClearTrace();
        TFTDI_HTRC device(D2XX().Entries(), FSleeper);
        std::string code;
        EXPECT_FALSE(device.ReadCard("KV2A0001", code, attempts));
        const Lines trace = FSim.Trace();
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "read 8704"), captures) << attempts;
    }
}

TEST_F(Kev2Test, SamplingTimeNeverTurnsIntoTheReadTagPattern) {
    TFTDI_HTRC device(D2XX().Entries(), FSleeper);
    ASSERT_TRUE(device.OpenForHtrc("KV2A0001"));
    // The phase 247 gives the value 0x2D; values of 0x60 and more would begin
    // with the read-tag pattern 111 if they were not cut to six bits.
    const std::pair<int, const char*> cases[] = {
        {0x2D, "htrc 0xAD sampling 0x2D"},
        {0x60, "htrc 0xA0 sampling 0x20"},
        {0x7F, "htrc 0xBF sampling 0x3F"},
        {0xFF, "htrc 0xBF sampling 0x3F"},
    };
    for (const auto& [value, expected] : cases) {
        FSim.ClearTrace();
        EXPECT_TRUE(device.SetSamplingTime(value));
        EXPECT_EQ(FSim.Trace().back(), expected) << value;
    }
    EXPECT_TRUE(device.SetConfigPage(5, 0x1F));
    EXPECT_EQ(FSim.Trace().back(), "htrc 0x5F page 1 0x0F");
    EXPECT_EQ(device.PutSample(65535, 1), 65536);
    EXPECT_EQ(device.PutSample(65536, 1), 0);
    EXPECT_EQ(device.PutSample(-1, 1), 0);
    EXPECT_TRUE(device.CloseHtrc());
}

TEST_F(Kev2Test, ScenarioFileDescribesDevicesAndCards) {
    const std::string path = ::testing::TempDir() + "/ftdi_scenario.txt";
    {
        std::FILE* file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs(
            "# two readers\nsample_period_ns = 16000\n[device]\nserial=S1\ndescription=KEV-2 one\ncom=2\n"
            "card=00000ABCDE\n[device]\nserial=S2\ndescription=KEV-2 two\nbogus=1\n",
            file);
        std::fclose(file);
    }
    FSim.Set(-1, "sample_period_ns", "16000");
    EXPECT_EQ(FSim.LoadScenario(path), 11);  // the unknown key's line
    Lines serials, ports;
    TFTDIUtils::ListFtdiDevices(&serials, nullptr, &ports, 2);
    EXPECT_EQ(serials, (Lines{"KV2A0001", "S1", "S2"}));
    EXPECT_EQ(ports, (Lines{"COM7", "COM2", "No COM"}));
}

}  // namespace
}  // namespace reader
