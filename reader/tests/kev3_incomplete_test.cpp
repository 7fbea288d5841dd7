// A driver library that lacks one of the twelve entries is not bound at all.

#include <gtest/gtest.h>

#include "reader/kev3_dll.h"
#include "reader/zint_kev3_port.h"
#include "sim/kev3/kev3_sim_control.h"

namespace reader {
namespace {

TEST(KEV3Binding, ALibraryWithoutOneEntryStaysUnloaded) {
    const sim::TKEV3SimControl sim;
    ASSERT_EQ(sim.Load("device A 4 KEV-4 Desk Reader\ncard A R0000001234567890\n"), 0);
    LoadKEV3DLL();
    EXPECT_FALSE(IsKEV3DLLLoaded());

    int32_t count = 5;
    EXPECT_EQ(KEV3DLL().kev3GetDeviceCount(&count, 0), 16);
    EXPECT_EQ(count, 0);
    TZINTKEV3Port port;
    std::vector<std::string> serials, descriptions, ports;
    port.ListDevices(serials, descriptions, ports);
    EXPECT_TRUE(serials.empty());
    EXPECT_TRUE(PortList.empty());

    // The channel stays inert: nothing opens, reads or writes, and nothing raises.
    PortList = {"HID1 (KEV-4) A"};
    std::string name = "unset";
    std::string data;
    char buffer[8] = {};
    EXPECT_NO_THROW(port.SetPort("HID1"));
    EXPECT_NO_THROW(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsAvailable());
    port.GetPort(name);
    EXPECT_EQ(name, "");
    EXPECT_EQ(port.Read(buffer, 500), 0);
    EXPECT_EQ(port.Write(buffer), 0);
    EXPECT_EQ(port.ProbePort("A"), 0);
    EXPECT_EQ(port.QueryReadCard("A", data), 1);
    EXPECT_TRUE(sim.Trace().empty());
}

}  // namespace
}  // namespace reader
