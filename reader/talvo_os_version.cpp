#include "talvo_os_version.h"

#include <strings.h>
#include <cstdio>

namespace reader {

namespace {

enum : uint8_t {
    KindWin32s = 1,
    Kind95 = 2,
    Kind95OSR2 = 3,
    KindNT = 4,
    Kind98 = 5,
    Kind98SE = 6,
    KindMillennium = 7,
    Kind2000 = 8,
    KindXP = 9,
    KindXPx64 = 10,
    KindServer2003 = 11,
    KindServer2003R2 = 12,
    KindVista = 13,
    KindServer2008 = 14,
    KindServer2008R2 = 15,
    KindSeven = 16,
};

// Suite bits of the version report.
constexpr int SuiteSmallBusiness = 0;
constexpr int SuiteEnterprise = 1;
constexpr int SuiteSmallBusinessRestricted = 5;
constexpr int SuiteDatacenter = 7;
constexpr int SuitePersonal = 9;
constexpr int SuiteBlade = 10;

std::string Format(const char* Pattern, unsigned First, unsigned Second) {
    char text[32];
    std::snprintf(text, sizeof text, Pattern, First, Second);
    return text;
}

bool SameText(const std::string& A, const char* B) { return strcasecmp(A.c_str(), B) == 0; }

// Removes blanks and control characters at both ends.
std::string Trim(const std::string& Text) {
    std::size_t first = 0;
    std::size_t last = Text.size();
    while (first < last && static_cast<unsigned char>(Text[first]) <= ' ') {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(Text[last - 1]) <= ' ') {
        --last;
    }
    return Text.substr(first, last - first);
}

void Set(TTalvoOSVersion& Record, const char* Name, uint8_t Kind) {
    Record.Name = Name;
    Record.Kind = Kind;
}

void NameConsumerWindows(const TWindowsVersionReport& Report, TTalvoOSVersion& Record) {
    Record.IsServer = 0;
    Record.ServicePack = Report.ServicePackText;
    const char second = Report.ServicePackText.size() > 1 ? Report.ServicePackText[1] : '\0';
    if (Report.MajorVersion == 4 && Report.MinorVersion == 0) {
        Set(Record, "Microsoft Windows 95", Kind95);
        if (second == 'C' || second == 'B') {
            Record.Edition = "OSR2";
            Record.Kind = Kind95OSR2;
        }
    }
    if (Report.MajorVersion == 4 && Report.MinorVersion == 10) {
        Set(Record, "Microsoft Windows 98", Kind98);
        if (second == 'A') {
            Record.Edition = "SE";
            Record.Kind = Kind98SE;
        }
    }
    if (Report.MajorVersion == 4 && Report.MinorVersion == 90) {
        Set(Record, "Microsoft Windows Millennium Edition", KindMillennium);
        Record.FullName = Record.Name;
        return;
    }
    Record.FullName = Record.Name + " " + Record.Edition;
}

void NameNTProduct(const TWindowsVersionReport& Report, bool Workstation, TWindowsVersionReport::TArchitecture Arch,
                   TTalvoOSVersion& Record) {
    const unsigned major = Report.MajorVersion;
    const unsigned minor = Report.MinorVersion;
    if (major == 6 && minor == 1) {
        Workstation ? Set(Record, "Microsoft Windows Seven", KindSeven)
                    : Set(Record, "Microsoft Windows Server 2008 R2", KindServer2008R2);
    }
    if (major == 6 && minor == 0) {
        Workstation ? Set(Record, "Microsoft Windows Vista", KindVista)
                    : Set(Record, "Microsoft Windows Server 2008", KindServer2008);
    }
    if (major == 5 && minor == 2) {
        if (Report.R2Metric != 0) {
            Set(Record, "Microsoft Windows Server 2003 R2", KindServer2003R2);
        } else if (Workstation && Arch == TWindowsVersionReport::X64) {
            Set(Record, "Microsoft Windows XP Professional x64 Edition", KindXPx64);
        } else {
            Set(Record, "Microsoft Windows Server 2003 family", KindServer2003);
        }
    }
    if (major == 5 && minor == 1) {
        Set(Record, "Microsoft Windows XP", KindXP);
    }
    if (major == 5 && minor == 0) {
        Set(Record, "Microsoft Windows 2000", Kind2000);
    }
    if (major <= 4) {
        Set(Record, "Microsoft Windows NT", KindNT);
    }
}

const char* ServerEdition(const TWindowsVersionReport& Report, TWindowsVersionReport::TArchitecture Arch,
                          TTalvoOSVersion& Record) {
    const uint32_t suite = Report.SuiteMask;
    const bool v52 = Report.MajorVersion == 5 && Report.MinorVersion == 2;
    if (v52 && Arch == TWindowsVersionReport::Itanium) {
        if (HasSuiteBit(suite, SuiteDatacenter)) {
            return "Datacenter Edition for Itanium-based Systems";
        }
        return HasSuiteBit(suite, SuiteEnterprise) ? "Enterprise Edition for Itanium-based Systems" : "";
    }
    if (v52 && Arch == TWindowsVersionReport::X64) {
        if (HasSuiteBit(suite, SuiteDatacenter)) {
            return "Datacenter x64 Edition";
        }
        return HasSuiteBit(suite, SuiteEnterprise) ? "Enterprise x64 Edition" : "Standard x64 Edition";
    }
    if (v52) {
        const std::pair<int, const char*> editions[] = {
            {SuiteDatacenter, "Datacenter Edition"},
            {SuiteEnterprise, "Enterprise Edition"},
            {SuiteBlade, "Web Edition"},
            {SuiteSmallBusiness, "Small Business Server"},
            {SuiteSmallBusinessRestricted, "Small Business Server ( Restricted )"},
        };
        for (const auto& [bit, edition] : editions) {
            if (HasSuiteBit(suite, bit)) {
                return edition;
            }
        }
        return "Standard Edition";
    }
    if (Report.MajorVersion == 5 && Report.MinorVersion == 0) {
        Record.Name = "Microsoft Windows Server 2000 family";
        if (HasSuiteBit(suite, SuiteDatacenter)) {
            return "Datacenter Server";
        }
        return HasSuiteBit(suite, SuiteEnterprise) ? "Advanced Server" : "Server";
    }
    return HasSuiteBit(suite, SuiteEnterprise) ? "Server 4.0 Enterprise Edition" : "Server 4.0";
}

void NameNTEdition(const TWindowsVersionReport& Report, bool Workstation, TWindowsVersionReport::TArchitecture Arch,
                   TTalvoOSVersion& Record) {
    if (!Report.Extended) {
        const std::pair<const char*, const char*> types[] = {
            {"WINNT", "Workstation"}, {"LANMANNT", "Server"}, {"SERVERNT", "Advanced Server"}};
        for (const auto& [type, edition] : types) {
            if (SameText(Report.RegistryProductType, type)) {
                Record.Edition = edition;
            }
        }
        Record.Edition += Format(" %u.%u ", Report.MajorVersion, Report.MinorVersion);
    } else if (Workstation) {
        if (Arch != TWindowsVersionReport::X64) {
            Record.IsServer = 0;
            if (Report.MajorVersion == 4) {
                Record.Edition = "Workstation 4.0";
            } else {
                Record.Edition = HasSuiteBit(Report.SuiteMask, SuitePersonal) ? "Home Edition" : "Professional";
            }
        }
    } else {
        Record.IsServer = 1;
        Record.IsServerProduct = 1;
        Record.Edition = ServerEdition(Report, Arch, Record);
    }
}

void NameNTWindows(const TWindowsVersionReport& Report, TTalvoOSVersion& Record) {
    const bool workstation = Report.ProductType == TWindowsVersionReport::WorkstationProduct;
    const bool v52 = Report.MajorVersion == 5 && Report.MinorVersion == 2;
    const auto arch = v52 ? Report.Architecture : TWindowsVersionReport::X86;
    NameNTProduct(Report, workstation, arch, Record);
    NameNTEdition(Report, workstation, arch, Record);

    char servicePack[160];
    const unsigned build = Report.BuildNumber & 0xFFFF;
    if (Report.MajorVersion == 4 && SameText(Report.ServicePackText, "Service Pack 6") &&
        Report.HasServicePack6aHotfix) {
        std::snprintf(servicePack, sizeof servicePack, "Service Pack 6a (Build %u) \r\n", build);
    } else {
        std::snprintf(servicePack, sizeof servicePack, "%s (Build %u) \r\n", Report.ServicePackText.c_str(), build);
    }
    Record.ServicePack = servicePack;
    Record.FullName = Record.Name + " " + Record.Edition;
}

// Linux has no Windows version query: it always fails, so the record keeps
// kind 0 ("unknown") and the driver library is always loaded.
bool QueryWindowsVersion(TWindowsVersionReport& /*Report*/) { return false; }

}  // namespace

bool HasSuiteBit(uint32_t Mask, int Bit) { return Bit >= 0 && Bit < 32 && (Mask & (1U << Bit)) != 0; }

void NameWindowsVersion(const TWindowsVersionReport& Report, TTalvoOSVersion& Record) {
    Record.Version = Format("%u.%u", Report.MajorVersion, Report.MinorVersion);
    Record.MajorVersion = Report.MajorVersion;
    Record.MinorVersion = Report.MinorVersion;
    Record.ServicePackVersion = Format("%u.%u", Report.ServicePackMajor, Report.ServicePackMinor);
    Record.ServicePackMajor = Report.ServicePackMajor;
    Record.ServicePackMinor = Report.ServicePackMinor;
    Record.Build = Report.BuildNumber;
    Record.IsServerProduct = 0;
    switch (Report.PlatformId) {
        case 0:
            Set(Record, "Microsoft Win32s", KindWin32s);
            Record.IsServer = 0;
            Record.FullName = Record.Name;
            break;
        case 1:
            NameConsumerWindows(Report, Record);
            break;
        case 2:
            NameNTWindows(Report, Record);
            break;
        default:
            break;
    }
    Record.ServicePack = Trim(Record.ServicePack);
}

void GetWindowsVersion(TTalvoOSVersion& Record) {
    TWindowsVersionReport report;
    if (QueryWindowsVersion(report)) {
        NameWindowsVersion(report, Record);
    }
}

bool KEV3DLLSupportedOn(const TTalvoOSVersion& Record) {
    return Record.Kind != Kind98 && Record.Kind != Kind98SE && Record.Kind != KindMillennium && Record.Kind != Kind2000;
}

}  // namespace reader
