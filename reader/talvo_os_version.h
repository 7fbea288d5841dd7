#pragma once

#include <cstdint>
#include <string>

namespace reader {

// What the system's version query reports, together with the few facts the
// naming looks up beside it.
struct TWindowsVersionReport {
    enum TArchitecture : uint8_t { X86, X64, Itanium };
    static constexpr uint8_t WorkstationProduct = 1;

    bool Extended = false;  // the extended query succeeded
    uint32_t PlatformId = 0;
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;
    std::string ServicePackText;
    uint16_t ServicePackMajor = 0;
    uint16_t ServicePackMinor = 0;
    uint16_t SuiteMask = 0;
    uint8_t ProductType = 0;
    int R2Metric = 0;                     // the system metric that marks an R2 server
    TArchitecture Architecture = X86;     // the native processor, asked for on 5.2 only
    std::string RegistryProductType;      // the stored product type, asked for without extended information
    bool HasServicePack6aHotfix = false;  // the hotfix that makes service pack 6 a "6a"
};

// The Windows version record.
struct TTalvoOSVersion {
    std::string FullName;
    std::string Name;
    std::string Edition;
    uint8_t IsServer = 0;
    uint8_t Kind = 0;
    std::string Version;
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint8_t IsServerProduct = 0;
    uint32_t Build = 0;
    std::string ServicePack;
    std::string ServicePackVersion;
    uint32_t ServicePackMajor = 0;
    uint32_t ServicePackMinor = 0;
};

bool HasSuiteBit(uint32_t Mask, int Bit);

// Fills Record from a version report: name, kind 0..16, edition, service pack.
void NameWindowsVersion(const TWindowsVersionReport& Report, TTalvoOSVersion& Record);

// Fills Record from the running system's version query; leaves it unchanged
// when the query fails.
void GetWindowsVersion(TTalvoOSVersion& Record);

// False for the kinds on which the driver library is never loaded: Windows
// 98, 98 SE, Millennium and 2000.
bool KEV3DLLSupportedOn(const TTalvoOSVersion& Record);

}  // namespace reader
