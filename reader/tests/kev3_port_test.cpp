// The driver binding and the reader channel, run against the simulated
// driver library (loaded by name through LD_LIBRARY_PATH, never linked).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "reader/kev3_dll.h"
#include "reader/mfr_commands.h"
#include "reader/zint_kev3_port.h"
#include "sim/kev3/kev3_sim_control.h"

namespace reader {
namespace {

const sim::TKEV3SimControl& Sim() {
    static const sim::TKEV3SimControl control;
    return control;
}

// What a call did: the error message it raised, or "" when it raised none.
template <typename Action>
std::string ErrorOf(Action&& Do) {
    try {
        Do();
    } catch (const EKEV3Error& error) {
        return error.what();
    }
    return {};
}

class KEV3Test : public ::testing::Test {
protected:
    void SetUp() override {
        Use("");
        LoadKEV3DLL();
        ASSERT_TRUE(IsKEV3DLLLoaded());
        PortList.clear();
    }

    void TearDown() override {
        UnloadKEV3DLL();
        PortList.clear();
    }

    // Replaces the simulated readers; reader A is always attached first.
    static void Use(const std::string& Scenario) {
        ASSERT_EQ(Sim().Load("clock virtual\ndevice A 4 KEV-4 Desk Reader\n" + Scenario), 0) << Scenario;
    }

    static void List(std::vector<std::string>& Serials, std::vector<std::string>& Descriptions,
                     std::vector<std::string>& Ports) {
        TZINTKEV3Port port;
        port.ListDevices(Serials, Descriptions, Ports);
    }

    static void ListSerials() {
        std::vector<std::string> serials, descriptions, ports;
        List(serials, descriptions, ports);
    }
};

TEST_F(KEV3Test, UnloadingBindsSubstitutesThatAnswer16) {
    UnloadKEV3DLL();
    const TKEV3Entries& dll = KEV3DLL();
    int32_t count = 7;
    int32_t value = 0;
    char text[KEV3_TEXT_SIZE] = {};
    char bytes[4] = {};
    const int32_t statuses[] = {
        dll.kev3LibVer(text),
        dll.kev3GetDeviceCount(&count, 0),
        dll.kev3GetSerialNumber(0, 0, text),
        dll.kev3GetIndex("A", &value),
        dll.kev3GetDescriptionBySerialNumber("A", text),
        dll.kev3GetDescriptionByIndex(0, 0, text),
        dll.kev3GetPort("A", text),
        dll.kev3GetDeviceType("A", &value),
        dll.kev3Open(&value, "A"),
        dll.kev3Close(&value),
        dll.kev3Write(&value, bytes, 4, &value, 200),
        dll.kev3Read(&value, bytes, 4, &value, 500),
    };
    for (std::size_t i = 0; i < std::size(statuses); ++i) {
        EXPECT_EQ(statuses[i], 16) << "entry " << i;
    }
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Sim().Trace().empty());
}

TEST_F(KEV3Test, EnumeratesDevicesWithTheirModels) {
    Use("device B 3 KEV-3 Reader\ndevice C 9 Proximity EM Card Reader\ndevice D 7 VQR58 Mini\n"
        "device E 7 WQR58 Wall\ndevice F 1 Gadget Reader\ndevice G 1 kev-4 lower case\n");
    TZINTKEV3Port port;
    std::vector<std::string> lines{"kept"};
    port.EnumPorts(lines);
    const std::vector<std::string> expected{
        "kept",           "HID1 (KEV-4) A", "HID2 (KEV-3) B",         "HID3 (KEV-2) C",
        "HID4 (VQR58) D", "HID5 (WQR58) E", "HID6 (Gadget Reader) F", "HID7 (kev-4 lower case) G",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(KEV3Test, EnumerationSkipsADeviceWhoseDetailsFail) {
    const char* entries[] = {"kev3GetSerialNumber", "kev3GetDeviceType", "kev3GetPort",
                             "kev3GetDescriptionBySerialNumber"};
    for (const char* entry : entries) {
        Use("device B 3 KEV-3 Reader\ndevice C 4 KEV-4 Reader\ninject " + std::string(entry) + " 2 2\n");
        TZINTKEV3Port port;
        std::vector<std::string> lines;
        port.EnumPorts(lines);
        EXPECT_EQ(lines, (std::vector<std::string>{"HID1 (KEV-4) A", "HID3 (KEV-4) C"})) << entry;
    }
    Use("inject kev3GetDeviceCount 1 3\n");
    TZINTKEV3Port port;
    std::vector<std::string> lines;
    port.EnumPorts(lines);
    EXPECT_TRUE(lines.empty());
}

TEST_F(KEV3Test, ListsTheReadersThatAnswer) {
    Use("card A R0000001234567890\ndevice B 3 KEV-3 Reader\ndevice C 9 EM Card Reader\nfault C no-answer\n"
        "device D 7 VQR58 Mini\ndevice E 7 WQR58 Wall\nfault E check\ndevice F 1 Gadget Reader\n");
    std::vector<std::string> serials{"old"}, descriptions{"old"}, ports{"old"};
    List(serials, descriptions, ports);
    EXPECT_EQ(serials, (std::vector<std::string>{"old", "A", "B", "D", "F"}));
    EXPECT_EQ(descriptions,
              (std::vector<std::string>{"old", "KEV-4 Desk Reader", "KEV-3 Reader", "VQR58 Mini", "Gadget Reader"}));
    EXPECT_EQ(ports, (std::vector<std::string>{"old", "HID1 ", "HID2 ", "HID4 ", "HID6 "}));
    EXPECT_EQ(PortList.size(), 6U);
    EXPECT_EQ(Sim().OpenDevices(), 0);
}

TEST_F(KEV3Test, ListingPassesDriverErrorsAndKeepsWhatItHas) {
    Use("device B 3 KEV-3 Reader\nheld B 1\ndevice C 4 KEV-4 Reader\n");
    std::vector<std::string> serials, descriptions, ports;
    EXPECT_EQ(ErrorOf([&] { List(serials, descriptions, ports); }), "TalvoKEV3.dll open device cannot open");
    EXPECT_EQ(serials, (std::vector<std::string>{"A"}));
    EXPECT_EQ(PortList.size(), 3U);
}

TEST_F(KEV3Test, SetPortTakesTheDeviceNumberAfterHID) {
    struct Case {
        const char* Name;
        int32_t Index;  // -2: raises a conversion error
    };
    const Case cases[] = {
        {"HID12 (KEV-4) X", 11},
        {"HID7", 6},
        {"HID12 ", 11},
        {"xxHID3", 2},
        {"COM3", -1},
        {"", -1},
        {"HIDx", -2},
        {"HID", -2},
        {"HID 5", -2},
        {"HID99999999999", -2},
    };
    for (const auto& c : cases) {
        TZINTKEV3Port port;
        if (c.Index == -2) {
            EXPECT_THROW(port.SetPort(c.Name), EConvertError) << c.Name;
            continue;
        }
        port.SetPort(c.Name);
        EXPECT_EQ(port.Index(), c.Index) << c.Name;
        EXPECT_FALSE(port.IsOpen()) << c.Name;
    }
}

TEST_F(KEV3Test, SetPortMovesAnOpenChannel) {
    Use("device B 3 KEV-3 Reader\n");
    TZINTKEV3Port port;
    port.SetPort("HID1");
    port.Open();
    port.SetPort("HID2");
    EXPECT_TRUE(port.IsOpen());
    std::string name;
    port.GetPort(name);
    EXPECT_EQ(name, "HID2");
    EXPECT_EQ(Sim().Calls("kev3Open B -> 0"), 1);
    port.SetPort("COM1");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(Sim().OpenDevices(), 0);
}

TEST_F(KEV3Test, LinePartsAndLookUp) {
    const std::tuple<const char*, const char*, const char*> parts[] = {
        {"HID12 (KEV-4) ABC", "HID12 ", "ABC"},
        {"HID3 (Gadget Reader) Z", "HID3 ", "Z"},
        {"HID2 (KEV-4) ", "HID2 ", ""},
        {"HID7", "", "HID7"},
        {"", "", ""},
    };
    for (const auto& [line, port, serial] : parts) {
        EXPECT_EQ(TZINTKEV3Port::PortPart(line), port) << line;
        EXPECT_EQ(TZINTKEV3Port::SerialPart(line), serial) << line;
    }
    PortList = {"HID1 (KEV-4) ", "HID2 (KEV-4) abc", "HID3 (KEV-3) abc"};
    EXPECT_EQ(TZINTKEV3Port::FindPort("abc"), "HID2 (KEV-4) abc");
    EXPECT_EQ(TZINTKEV3Port::FindPort("ABC"), "");
    EXPECT_EQ(TZINTKEV3Port::FindPort(""), "");
}

// Every status 0..17 as the answer to a write on an open channel.
TEST_F(KEV3Test, StatusTable) {
    enum Effect { Kept, Closed, Dropped };
    struct Case {
        int32_t Status;
        Effect After;
        const char* Text;
    };
    const Case cases[] = {
        {0, Kept, nullptr},
        {1, Closed, "General error"},
        {2, Closed, "device not found"},
        {3, Kept, nullptr},
        {4, Dropped, "device cannot open"},
        {5, Kept, "Invalid buffer size error"},
        {6, Kept, "Vrel protocol error"},
        {7, Kept, "Usb-Hid error"},
        {8, Kept, nullptr},
        {9, Kept, nullptr},
        {10, Dropped, "device cannot close"},
        {11, Kept, "Write error"},
        {12, Kept, "Read error"},
        {13, Kept, nullptr},
        {14, Kept, nullptr},
        {15, Kept, nullptr},
        {16, Kept, "DLL not found error"},
        {17, Kept, nullptr},
    };
    const std::string request = TMFRCommands().BuildReadCardFrame(0);
    for (const auto& c : cases) {
        Use("inject kev3Write 1 " + std::to_string(c.Status) + "\n");
        TZINTKEV3Port port;
        port.SetPort("HID1");
        port.Open();
        const int32_t handle = port.Handle();
        const std::string error = ErrorOf([&] { port.Write(request); });
        EXPECT_EQ(error, c.Text == nullptr ? "" : std::string("TalvoKEV3.dll write ") + c.Text) << c.Status;
        EXPECT_EQ(port.Handle(), c.After == Kept ? handle : -1) << c.Status;
        EXPECT_EQ(Sim().OpenDevices(), c.After == Closed ? 0 : 1) << c.Status;
        EXPECT_EQ(Sim().Calls("kev3Close"), c.After == Closed ? 1 : 0) << c.Status;
    }
}

// A close made because of status 1 or 2 is tried once; when it fails too, the
// handle is dropped and that close's error is the one raised.
TEST_F(KEV3Test, FailingCloseAfterAnErrorEndsWithOneException) {
    struct Case {
        const char* Scenario;
        const char* Error;
        int Closes;
        bool ByWrite;
    };
    const Case cases[] = {
        {"inject kev3Close 0 1\n", "TalvoKEV3.dll close General error", 2, false},
        {"inject kev3Close 0 2\n", "TalvoKEV3.dll close device not found", 2, false},
        {"inject kev3Write 1 1\ninject kev3Close 0 2\n", "TalvoKEV3.dll close device not found", 1, true},
        {"inject kev3Write 1 2\n", "TalvoKEV3.dll write device not found", 1, true},
    };
    for (const auto& c : cases) {
        Use(c.Scenario);
        TZINTKEV3Port port;
        port.SetPort("HID1");
        port.Open();
        char buffer[4] = {};
        const std::string error = ErrorOf([&] { c.ByWrite ? (void)port.Write(buffer) : port.Close(); });
        EXPECT_EQ(error, c.Error) << c.Scenario;
        EXPECT_EQ(Sim().Calls("kev3Close"), c.Closes) << c.Scenario;
        EXPECT_EQ(port.Handle(), -1) << c.Scenario;
        EXPECT_FALSE(port.IsOpen()) << c.Scenario;
    }
}

// Every query leaves the device closed on every way out, and the read-card
// query's result follows the answer.
TEST_F(KEV3Test, QueriesCloseTheDeviceOnEveryWayOut) {
    struct Case {
        const char* Scenario;
        const char* Error;
        int Result;
        int OpenAfter;
    };
    const Case cases[] = {
        {"card A R0000001234567890\n", "", 0, 0},
        {"card A -\n", "", 5, 0},
        {"fault A no-answer\n", "", 1, 0},
        {"fault A short-write\n", "", 1, 0},
        {"fault A check\n", "", 1, 0},
        {"fault A direction\n", "", 1, 0},
        {"fault A address\n", "", 1, 0},
        {"fault A command\n", "", 1, 0},
        {"fault A no-etx\n", "", 1, 0},
        {"fault A too-long\n", "", 1, 0},
        {"card A R0000001234567890\nfault A junk\n", "", 0, 0},
        {"card A R0000001234567890\nfault A two-frames\n", "", 0, 0},
        {"inject kev3Write 1 11\n", "TalvoKEV3.dll write Write error", -1, 0},
        {"inject kev3Read 1 12\n", "TalvoKEV3.dll read Read error", -1, 0},
        {"inject kev3Read 1 1\n", "TalvoKEV3.dll read General error", -1, 0},
        {"held A 1\n", "TalvoKEV3.dll open device cannot open", -1, 0},
        {"inject kev3Open 1 7 after\n", "TalvoKEV3.dll open Usb-Hid error", -1, 0},
        // The driver keeps the device when its close fails; the channel drops its handle.
        {"inject kev3Close 1 7\n", "TalvoKEV3.dll close Usb-Hid error", -1, 1},
    };
    for (const auto& c : cases) {
        for (int query = 0; query < 3; ++query) {
            Use(c.Scenario);
            PortList = {"HID1 (KEV-4) A"};
            TZINTKEV3Port port;
            std::string data;
            int result = -1;
            const std::string error = ErrorOf([&] {
                if (query == 0) {
                    result = port.QueryReadCard("A", data);
                } else if (query == 1) {
                    port.GetDeviceName("A", data);
                } else {
                    result = port.ProbePort("A");
                }
            });
            const std::string what = std::string(c.Scenario) + " query " + std::to_string(query);
            EXPECT_FALSE(port.IsOpen()) << what;
            EXPECT_EQ(Sim().OpenDevices(), c.OpenAfter) << what;
            if (query == 0) {
                EXPECT_EQ(error, c.Error) << what;
                EXPECT_EQ(result, c.Result) << what;
            }
            if (query == 2) {
                EXPECT_EQ(error, "") << what;
            }
        }
    }
}

TEST_F(KEV3Test, QueryCardCodeTakesTheLast16CharactersOfAnRorTAnswer) {
    const std::pair<const char*, const char*> cases[] = {
        {"card A R0000001234567890", "0000001234567890"},
        {"card A T0000001234567890", "0000001234567890"},
        {"card A RAB0000001234567890", "0000001234567890"},
        {"card A R1234", "R1234"},
        {"card A X0000001234567890", ""},
        {"card A -", ""},
        {"card A R0000001234567890\nfault A check", ""},
    };
    for (const auto& [scenario, code] : cases) {
        Use(std::string(scenario) + "\n");
        PortList = {"HID1 (KEV-4) A"};
        TZINTKEV3Port port;
        std::string result = "unset";
        port.QueryCardCode("A", result);
        EXPECT_EQ(result, code) << scenario;
    }
    TZINTKEV3Port port;
    std::string result = "unset";
    port.QueryCardCode("not listed", result);
    EXPECT_EQ(result, "");
}

TEST_F(KEV3Test, GetDeviceNameTakesTheTextBeforeTheVersion) {
    const std::pair<const char*, const char*> cases[] = {
        {"name A KEV-4 v1.05", "KEV-4"},
        {"name A Reader fw2", "Reader"},
        {"name A My vReader v3", "My vReader"},
        {"name A NoMarker", ""},
        {"name A xv1", ""},
        {"name A KEV-4 v1.05\nfault A direction", "unchanged"},
        {"name A KEV-4 v1.05\nfault A no-answer", "unchanged"},
    };
    for (const auto& [scenario, expected] : cases) {
        Use(std::string(scenario) + "\n");
        PortList = {"HID1 (KEV-4) A"};
        TZINTKEV3Port port;
        std::string name = "unchanged";
        port.GetDeviceName("A", name);
        EXPECT_EQ(name, expected) << scenario;
    }
}

// A failed open that stored a handle used to stay open after the probe, so
// every later open of that reader failed.
TEST_F(KEV3Test, ProbeClosesAfterAFailedOpen) {
    Use("inject kev3Open 1 7 after\n");
    PortList = {"HID1 (KEV-4) A"};
    TZINTKEV3Port port;
    EXPECT_EQ(port.ProbePort("A"), 0);
    EXPECT_EQ(Sim().OpenDevices(), 0);
    EXPECT_EQ(port.ProbePort("A"), 1);
    EXPECT_EQ(port.ProbePort("unknown"), 0);
}

// After an unplug and replug without a new listing, the listed index can
// belong to another reader: that reader must not be opened in its place.
TEST_F(KEV3Test, AReaderThatMovedIsNotFoundInsteadOfOpeningAnother) {
    Use("card A R0000001234567890\ndevice B 3 KEV-3 Reader\ncard B R1111111111111111\n");
    ListSerials();
    ASSERT_EQ(Sim().Apply("unplug A\ndevice A 4 KEV-4 Desk Reader\ncard A R0000001234567890\n"), 0);
    Sim().ClearTrace();
    TZINTKEV3Port port;
    std::string code = "unset";
    EXPECT_EQ(port.ProbePort("A"), 0);
    EXPECT_EQ(ErrorOf([&] { port.QueryCardCode("A", code); }), "TalvoKEV3.dll open device not found");
    EXPECT_EQ(code, "");
    EXPECT_EQ(ErrorOf([&] { port.QueryCardCode("B", code); }), "TalvoKEV3.dll open device not found");
    EXPECT_EQ(Sim().Calls("kev3Open"), 0);

    ListSerials();
    port.QueryCardCode("A", code);
    EXPECT_EQ(code, "0000001234567890");
}

TEST_F(KEV3Test, ReadTimeOutsPassInVirtualTime) {
    Use("fault A no-answer\n");
    PortList = {"HID1 (KEV-4) A"};
    const int64_t before = Sim().Now();
    TZINTKEV3Port port;
    std::string data;
    EXPECT_EQ(port.QueryReadCard("A", data), 1);
    EXPECT_EQ(Sim().Now() - before, TZINTKEV3Port::ReadTimeoutMs);
    // One write of the 9-byte command with its 200 ms time-out, on whatever
    // handle the open gave.
    const auto trace = Sim().Trace();
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const std::string& Line) {
                                return Line.starts_with("kev3Write ") && Line.ends_with(" 9 200 -> 0");
                            }),
              1);
}

TEST_F(KEV3Test, DefaultReaderShowsCardsFromAFixedList) {
    ASSERT_EQ(Sim().Reset(), 0);
    ASSERT_EQ(Sim().Apply("clock virtual\n"), 0);
    std::vector<std::string> serials, descriptions, ports;
    List(serials, descriptions, ports);
    ASSERT_EQ(serials.size(), 1U);
    EXPECT_EQ(descriptions[0], "KEV-4 USB Proximity Reader");
    TZINTKEV3Port port;
    std::string name;
    port.GetDeviceName(serials[0], name);
    EXPECT_EQ(name, "KEV-4 Proximity");
    const std::pair<int, const char*> timeline[] = {
        {0, "0000001234567890"}, {1500, ""}, {1500, "00000000ABCDEF12"}, {3000, "00000000DEADBEEF"}};
    for (const auto& [step, expected] : timeline) {
        Sim().Advance(step);
        std::string code;
        port.QueryCardCode(serials[0], code);
        EXPECT_EQ(code, expected) << step;
    }
}

TEST_F(KEV3Test, ScenarioFileNamedByTheEnvironment) {
    const auto file = std::filesystem::temp_directory_path() / ("kev3_scenario_" + std::to_string(getpid()));
    std::ofstream(file) << "# one reader\nclock virtual\ndevice Z 3 KEV-3 File Reader\ncard Z T0000000000000042\n";
    setenv("ZT_KEV3_SIM_SCENARIO", file.c_str(), 1);
    EXPECT_EQ(Sim().Reset(), 0);
    std::vector<std::string> serials, descriptions, ports;
    List(serials, descriptions, ports);
    EXPECT_EQ(serials, std::vector<std::string>{"Z"});

    std::ofstream(file) << "device Z 3 KEV-3\nbogus line\n";
    testing::internal::CaptureStderr();
    EXPECT_EQ(Sim().Reset(), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("line 2"), std::string::npos);
    unsetenv("ZT_KEV3_SIM_SCENARIO");
    std::filesystem::remove(file);
    EXPECT_EQ(Sim().Load("device Y x KEV-3\n"), 1);
}

}  // namespace
}  // namespace reader
