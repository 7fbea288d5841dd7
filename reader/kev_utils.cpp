#include "kev_utils.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <utility>

#include "reader/zint_kev3_port.h"

namespace reader {

namespace {

// The whole text as an unsigned number in Base; false when it is empty, holds
// anything else or does not fit in 64 bits.
bool ParseUnsigned(std::string_view Text, int Base, uint64_t& Value) {
    if (Text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
    return error == std::errc() && end == Text.data() + Text.size();
}

std::string Format(const char* Pattern, uint64_t Value) {
    char text[32];
    std::snprintf(text, sizeof text, Pattern, Value);
    return text;
}

// Value in upper-case hexadecimal, filled with zeros on the left up to Digits.
std::string HexText(uint64_t Value, int Digits) {
    std::string text = Format("%" PRIX64, Value);
    if (std::cmp_less(text.size(), Digits)) {
        text.insert(0, static_cast<std::size_t>(Digits) - text.size(), '0');
    }
    return text;
}

}  // namespace

int TKevUtils::ListReaders(std::vector<std::string>& Serials, std::vector<std::string>& Descriptions,
                           std::vector<std::string>& Ports) {
    Serials.clear();
    Descriptions.clear();
    Ports.clear();
    TZINTKEV3Port port;
    if (TFTDIUtils::ListFtdiDevices(&Serials, &Descriptions, &Ports, 0) == 0) {
        std::size_t i = 0;
        while (i < Serials.size()) {
            if (TFTDIUtils::GetDeviceKind(Serials[i], Descriptions[i]) == 2) {
                ++i;
                continue;
            }
            Serials.erase(Serials.begin() + static_cast<std::ptrdiff_t>(i));
            Descriptions.erase(Descriptions.begin() + static_cast<std::ptrdiff_t>(i));
            Ports.erase(Ports.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    // A reader that left the list has its polarity learned anew when it is back.
    Kev2Polarities().KeepOnly(Serials);
    port.ListDevices(Serials, Descriptions, Ports);
    return 0;
}

void TKevUtils::GetReaderInfo(const std::string& Serial, const std::string& Description, std::string& Info) {
    Info = "UNKNOWN";
    switch (TFTDIUtils::GetDeviceKind(Serial, Description)) {
        case 2:
            Info = "KEV-2";
            return;
        case 3:
            Info = "KEV-3";
            return;
        default:
            break;
    }
    TZINTKEV3Port port;
    if (port.ProbePort(Serial) == 1) {
        port.GetDeviceName(Serial, Info);
    }
}

bool TKevUtils::InitReader(const std::string& Serial, const TReaderTiming& Timing) {
    TZINTKEV3Port port;
    if (port.ProbePort(Serial) == 1) {
        return true;
    }
    TFTDI_HTRC device(D2XX().Entries(), Timing.Sleep);
    return device.InitHtrc(Serial);
}

void TKevUtils::ReadCardCode(const std::string& Serial, int TimeoutMs, std::string& Code, const TReaderTiming& Timing) {
    TZINTKEV3Port port;
    if (port.ProbePort(Serial) == 1) {
        port.QueryCardCode(Serial, Code);
    } else {
        TKEV2Utils::ReadCodeKev2(Serial, TimeoutMs, true, Code, Timing);
    }
}

bool TKevUtils::ConvertCardCode(const std::string& Code, std::string& Full, std::string& Code40, std::string& Code24,
                                std::string& Code8and16) {
    Full.clear();
    Code40.clear();
    Code24.clear();
    Code8and16.clear();
    std::string text = Code.starts_with('R') ? Code.substr(1) : Code;
    if (!text.starts_with('$')) {
        text.insert(0, 1, '$');
    }
    uint64_t value = 0;
    if (!ParseUnsigned(std::string_view(text).substr(1), 16, value)) {
        return false;
    }
    const char* fullPattern = "%" PRIu64;
    if (text.size() == 17) {
        fullPattern = "%.10" PRIu64;
    } else if (text.size() == 11) {
        fullPattern = "%.13" PRIu64;
    }
    Full = Format(fullPattern, value);
    Code40 = Format("%.13" PRIu64, value & 0xFFFFFFFFFFULL);
    const uint64_t low24 = value & 0xFFFFFF;
    Code24 = Format("%.10" PRIu64, low24);
    Code8and16 = Format("%.3" PRIu64, low24 >> 16) + "," + Format("%.5" PRIu64, low24 & 0xFFFF);
    return true;
}

void TKevUtils::CardCodeToHex(const std::string& DecimalCode, int Digits, std::string& Hex) {
    uint64_t value = 0;
    if (!ParseUnsigned(DecimalCode, 10, value)) {
        Hex.clear();
        return;
    }
    if (Digits == 0) {
        Digits = DecimalCode.size() == 13 ? 10 : DecimalCode.size() == 20 ? 16 : 8;
    }
    Hex = HexText(value, Digits);
}

}  // namespace reader
