#include "reader/talvo_os_version.h"

#include <gtest/gtest.h>

namespace reader {
namespace {

using TReport = TWindowsVersionReport;

// A synthetic version report: an extended answer from a workstation, changed
// by the chained setters.
struct Report : TReport {
    Report(uint32_t Platform, uint32_t Major, uint32_t Minor) {
        Extended = true;
        PlatformId = Platform;
        MajorVersion = Major;
        MinorVersion = Minor;
        ProductType = WorkstationProduct;
    }
    Report& Server() {
        ProductType = 3;
        return *this;
    }
    Report& Suite(int Bit) {
        SuiteMask = static_cast<uint16_t>(1 << Bit);
        return *this;
    }
    Report& X64() {
        Architecture = TReport::X64;
        return *this;
    }
    Report& Itanium() {
        Architecture = TReport::Itanium;
        return *this;
    }
    Report& R2() {
        R2Metric = 1;
        return *this;
    }
    Report& Pack(const char* Text, uint32_t Build = 0) {
        ServicePackText = Text;
        BuildNumber = Build;
        return *this;
    }
    Report& Hotfix6a() {
        HasServicePack6aHotfix = true;
        return *this;
    }
    Report& BasicQuery(const char* Registry) {
        Extended = false;
        RegistryProductType = Registry;
        return *this;
    }
};

TEST(WindowsVersion, NamesEveryKnownVersion) {
    struct Case {
        const char* What;
        TReport Report;
        int Kind;
        const char* Name;
        const char* Edition;
    };
    const Case cases[] = {
        {"Win32s", Report(0, 3, 10), 1, "Microsoft Win32s", ""},
        {"95", Report(1, 4, 0).Pack(" A"), 2, "Microsoft Windows 95", ""},
        {"95 OSR2", Report(1, 4, 0).Pack(" C"), 3, "Microsoft Windows 95", "OSR2"},
        {"98", Report(1, 4, 10), 5, "Microsoft Windows 98", ""},
        {"98 SE", Report(1, 4, 10).Pack(" A "), 6, "Microsoft Windows 98", "SE"},
        {"Millennium", Report(1, 4, 90), 7, "Microsoft Windows Millennium Edition", ""},
        {"NT 4 workstation", Report(2, 4, 0), 4, "Microsoft Windows NT", "Workstation 4.0"},
        {"NT 4 server, basic query", Report(2, 4, 0).BasicQuery("lanmannt"), 4, "Microsoft Windows NT", "Server 4.0 "},
        {"2000 Professional", Report(2, 5, 0), 8, "Microsoft Windows 2000", "Professional"},
        {"2000 Datacenter", Report(2, 5, 0).Server().Suite(7), 8, "Microsoft Windows Server 2000 family",
         "Datacenter Server"},
        {"XP Home", Report(2, 5, 1).Suite(9), 9, "Microsoft Windows XP", "Home Edition"},
        {"XP x64", Report(2, 5, 2).X64(), 10, "Microsoft Windows XP Professional x64 Edition", ""},
        {"2003 Web", Report(2, 5, 2).Server().Suite(10), 11, "Microsoft Windows Server 2003 family", "Web Edition"},
        {"2003 x64", Report(2, 5, 2).Server().X64(), 11, "Microsoft Windows Server 2003 family",
         "Standard x64 Edition"},
        {"2003 R2 Enterprise", Report(2, 5, 2).Server().R2().Suite(1), 12, "Microsoft Windows Server 2003 R2",
         "Enterprise Edition"},
        {"Vista", Report(2, 6, 0), 13, "Microsoft Windows Vista", "Professional"},
        {"2008", Report(2, 6, 0).Server(), 14, "Microsoft Windows Server 2008", "Server 4.0"},
        {"2008 R2", Report(2, 6, 1).Server(), 15, "Microsoft Windows Server 2008 R2", "Server 4.0"},
        {"Seven x64 counts as x86", Report(2, 6, 1).X64(), 16, "Microsoft Windows Seven", "Professional"},
        {"later than the table", Report(2, 6, 2), 0, "", "Professional"},
    };
    for (const auto& c : cases) {
        TTalvoOSVersion record;
        NameWindowsVersion(c.Report, record);
        EXPECT_EQ(record.Kind, c.Kind) << c.What;
        EXPECT_EQ(record.Name, c.Name) << c.What;
        EXPECT_EQ(record.Edition, c.Edition) << c.What;
    }
}

TEST(WindowsVersion, JoinsNamesAndServicePacks) {
    struct Case {
        const char* What;
        TReport Report;
        const char* FullName;
        const char* ServicePack;
        uint8_t IsServer;
    };
    const Case cases[] = {
        {"95 OSR2", Report(1, 4, 0).Pack(" B "), "Microsoft Windows 95 OSR2", "B", 0},
        {"Millennium", Report(1, 4, 90), "Microsoft Windows Millennium Edition", "", 0},
        {"NT 4 with the 6a hotfix", Report(2, 4, 0).Pack("service pack 6", 0x50000565).Hotfix6a(),
         "Microsoft Windows NT Workstation 4.0", "Service Pack 6a (Build 1381)", 0},
        {"NT 4 without it", Report(2, 4, 0).Pack("Service Pack 6", 1381), "Microsoft Windows NT Workstation 4.0",
         "Service Pack 6 (Build 1381)", 0},
        {"XP SP3", Report(2, 5, 1).Pack("Service Pack 3", 2600), "Microsoft Windows XP Professional",
         "Service Pack 3 (Build 2600)", 0},
        {"2003 Itanium without a suite", Report(2, 5, 2).Server().Itanium(), "Microsoft Windows Server 2003 family ",
         "(Build 0)", 1},
    };
    for (const auto& c : cases) {
        TTalvoOSVersion record;
        NameWindowsVersion(c.Report, record);
        EXPECT_EQ(record.FullName, c.FullName) << c.What;
        EXPECT_EQ(record.ServicePack, c.ServicePack) << c.What;
        EXPECT_EQ(record.IsServer, c.IsServer) << c.What;
        EXPECT_EQ(record.IsServerProduct, c.IsServer) << c.What;
    }
}

TEST(WindowsVersion, DriverLibraryIsSkippedOnlyOn98MillenniumAnd2000) {
    for (int kind = 0; kind <= 16; ++kind) {
        TTalvoOSVersion record;
        record.Kind = static_cast<uint8_t>(kind);
        const bool skipped = kind >= 5 && kind <= 8;
        EXPECT_EQ(KEV3DLLSupportedOn(record), !skipped) << kind;
    }
    TTalvoOSVersion windows2000;
    NameWindowsVersion(Report(2, 5, 0), windows2000);
    EXPECT_FALSE(KEV3DLLSupportedOn(windows2000));

    // Here the version query fails, so the record stays "unknown": the library is loaded.
    TTalvoOSVersion here;
    GetWindowsVersion(here);
    EXPECT_EQ(here.Kind, 0);
    EXPECT_TRUE(KEV3DLLSupportedOn(here));
}

}  // namespace
}  // namespace reader
