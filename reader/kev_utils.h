#pragma once

#include <string>
#include <vector>

#include "reader/ftdi_htrc.h"

namespace reader {

// The one door to the readers of both families, keyed by serial number: a
// serial number listed by the last ListReaders as a driver-library reader
// whose port opens goes through the driver library; every other one is taken
// for a KEV-2 reader on the D2XX library. Also renders card codes.
class TKevUtils {
public:
    // KEV-2 readers first (FTDI order), then the driver-library readers that
    // answer (device-index order). The driver-library readers that fail are
    // left out; their errors pass once the lists are complete. Returns 0.
    static int ListReaders(std::vector<std::string>& Serials, std::vector<std::string>& Descriptions,
                           std::vector<std::string>& Ports);
    // "KEV-2", "KEV-3", the name the reader reports, or "UNKNOWN".
    static void GetReaderInfo(const std::string& Serial, const std::string& Description, std::string& Info);
    // True when a listed driver-library reader opens, or else when a KEV-2
    // reader's chip could be initialised.
    static bool InitReader(const std::string& Serial, const TReaderTiming& Timing = {});
    // One raw card code, '' when none was read. Errors of both paths pass.
    static void ReadCardCode(const std::string& Serial, int TimeoutMs, std::string& Code,
                             const TReaderTiming& Timing = {});
    // The decimal renderings of a raw hexadecimal code (an upper-case "R"
    // prefix is dropped); false with all four empty when it is not a number.
    // Codes are unsigned 64-bit numbers.
    static bool ConvertCardCode(const std::string& Code, std::string& Full, std::string& Code40, std::string& Code24,
                                std::string& Code8and16);
    // Upper-case hexadecimal of a decimal code, at least Digits digits; with
    // Digits 0 the width follows the decimal text's length (13: 10 digits,
    // 20: 16, else 8). '' when the text is not a number.
    static void CardCodeToHex(const std::string& DecimalCode, int Digits, std::string& Hex);
};

}  // namespace reader
