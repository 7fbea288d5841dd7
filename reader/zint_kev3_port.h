#pragma once

#include <string>
#include <vector>

#include "reader/kev3_port.h"

namespace reader {

// The port lines of the last ListDevices, one per attached device, in the
// form EnumPorts writes. Every query by serial number looks the reader up
// here. Lives for the whole program; used from the UI thread only.
extern std::vector<std::string> PortList;

// The tool's reader queries over the driver library. Each query opens the
// device, exchanges one frame and closes it again on every way out.
class TZINTKEV3Port : public TKEV3Port {
public:
    static constexpr int AnswerSize = 64;
    static constexpr int ReadTimeoutMs = 500;

    void PortDisplayName(std::string& Name) const override;
    int QueryIndex(const std::string& S) override;
    int QueryType(const std::string& S) override;

    // Refills PortList and appends serial, description and port text of
    // every device that answers the read-card request. A device that raises
    // a driver error is left out and the others are listed; then one
    // EKEV3Error names each failed device by its port line, one per line
    // ("HID2 (KEV-4) S: libTalvoKEV3.so open device cannot open").
    void ListDevices(std::vector<std::string>& Serials, std::vector<std::string>& Descriptions,
                     std::vector<std::string>& Ports);
    // The first PortList line whose serial part is Serial (case-sensitive), or ''.
    static std::string FindPort(const std::string& Serial);
    // 1 when the listed reader with this serial number opens, else 0. Never raises.
    int ProbePort(const std::string& Serial);
    // One read-card exchange: 0 with the answer's data in Data, 5 for an
    // answer without data, 1 for no usable answer. Driver errors pass.
    int QueryReadCard(const std::string& Serial, std::string& Data);
    // The card code of one read-card exchange (the last 16 characters of an
    // answer beginning with 'R' or 'T'), else ''. Driver errors pass.
    void QueryCardCode(const std::string& Serial, std::string& Code);
    // The name the reader reports; Name is left as it is when the exchange
    // fails. Driver errors pass.
    void GetDeviceName(const std::string& Serial, std::string& Name);

    // "HID", the device number and the blank after it: "HID12 " of "HID12 (KEV-4) X".
    static std::string PortPart(const std::string& Line);
    // The text after the line's last blank; the whole line when it has none.
    static std::string SerialPart(const std::string& Line);

private:
    // Opens the listed line, writes Request in full and reads the answer;
    // the answer's text, or '' when there is none.
    std::string Exchange(const std::string& Line, const std::string& Request);
};

}  // namespace reader
