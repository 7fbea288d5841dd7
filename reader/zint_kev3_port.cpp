#include "zint_kev3_port.h"

#include <array>
#include <cstring>

#include "reader/mfr_commands.h"

namespace reader {

std::vector<std::string> PortList;

namespace {

constexpr int ReadOk = 0;
constexpr int ReadNoCard = 5;
constexpr int ReadFailed = 1;
constexpr std::size_t CardCodeLength = 16;

// The data field of a valid answer to Request, or nothing.
bool AnswerData(const TMFRCommands& Commands, const std::string& Answer, const std::string& Request,
                std::string& Data) {
    if (Answer.empty()) {
        return false;
    }
    std::string status;
    Commands.ParseAnswer(status, Answer, Request, Data);
    return status == "OK";
}

}  // namespace

void TZINTKEV3Port::PortDisplayName(std::string& Name) const { GetPort(Name); }

int TZINTKEV3Port::QueryIndex(const std::string& /*S*/) { return -1; }

int TZINTKEV3Port::QueryType(const std::string& /*S*/) { return -1; }

std::string TZINTKEV3Port::PortPart(const std::string& Line) {
    const auto blank = Line.find(' ');
    if (blank == std::string::npos) {
        return {};
    }
    const auto hid = Line.find("HID");
    return Line.substr(hid == std::string::npos ? 0 : hid, blank + 1);
}

std::string TZINTKEV3Port::SerialPart(const std::string& Line) {
    const auto blank = Line.rfind(' ');
    return blank == std::string::npos ? Line : Line.substr(blank + 1);
}

std::string TZINTKEV3Port::FindPort(const std::string& Serial) {
    for (const std::string& line : PortList) {
        const std::string serial = SerialPart(line);
        if (!serial.empty() && serial == Serial) {
            return line;
        }
    }
    return {};
}

void TZINTKEV3Port::ListDevices(std::vector<std::string>& Serials, std::vector<std::string>& Descriptions,
                                std::vector<std::string>& Ports) {
    PortList.clear();
    EnumPorts(PortList);
    // A reader that fails (held by another program, unplugged half-way) must
    // not hide the others: its error is kept and raised once all are listed.
    std::string errors;
    for (const std::string& line : PortList) {
        const std::string port = PortPart(line);
        const std::string serial = SerialPart(line);
        int32_t index = -1;
        int read = ReadFailed;
        try {
            SetPort(line);
            index = Index();
            std::string data;
            read = QueryReadCard(serial, data);
        } catch (const std::exception& Error) {
            errors += (errors.empty() ? "" : "\n") + line + ": " + Error.what();
            continue;
        }
        if (read != ReadOk && read != ReadNoCard) {
            continue;
        }
        std::string description;
        if (DescriptionOfIndex(index, description) == 0 && !port.empty() && !serial.empty()) {
            Serials.push_back(serial);
            Descriptions.push_back(description);
            Ports.push_back(port);
        }
    }
    if (!errors.empty()) {
        throw EKEV3Error(errors);
    }
}

int TZINTKEV3Port::ProbePort(const std::string& Serial) {
    const std::string line = FindPort(Serial);
    if (line.empty()) {
        return 0;
    }
    try {
        TCloseGuard guard(*this);
        SetPort(line);
        Open();
        const bool opened = IsOpen();
        guard.Finish();
        return opened ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

std::string TZINTKEV3Port::Exchange(const std::string& Line, const std::string& Request) {
    TCloseGuard guard(*this);
    SetPort(Line);
    Open();
    std::string answer;
    if (Write(Request) == static_cast<int>(Request.size())) {
        std::array<char, AnswerSize> buffer{};
        if (Read(buffer, ReadTimeoutMs) > 0) {
            answer.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        }
    }
    guard.Finish();
    return answer;
}

int TZINTKEV3Port::QueryReadCard(const std::string& Serial, std::string& Data) {
    Close();
    const std::string line = FindPort(Serial);
    if (line.empty()) {
        return ReadFailed;
    }
    TMFRCommands commands;
    const std::string request = commands.BuildReadCardFrame(0);
    std::string data;
    if (!AnswerData(commands, Exchange(line, request), request, data)) {
        return ReadFailed;
    }
    if (data.empty()) {
        return ReadNoCard;
    }
    Data = data;
    return ReadOk;
}

void TZINTKEV3Port::QueryCardCode(const std::string& Serial, std::string& Code) {
    Code.clear();
    std::string data;
    if (QueryReadCard(Serial, data) == ReadOk && (data[0] == 'R' || data[0] == 'T')) {
        Code = data.size() > CardCodeLength ? data.substr(data.size() - CardCodeLength) : data;
    }
}

void TZINTKEV3Port::GetDeviceName(const std::string& Serial, std::string& Name) {
    Close();
    TMFRCommands commands;
    const std::string request = commands.BuildDeviceNameFrame(0);
    const std::string line = FindPort(Serial);
    if (line.empty()) {
        return;
    }
    std::string data;
    if (!AnswerData(commands, Exchange(line, request), request, data)) {
        return;
    }
    // The name ends one character before the last "f" or "v", which starts
    // the firmware or version part.
    const auto mark = data.find_last_of("fv");
    Name = mark == std::string::npos || mark < 2 ? std::string() : data.substr(0, mark - 1);
}

}  // namespace reader
