// A simulated D2XX library: FTDI devices with CBUS and data-bus bit-bang, an
// HTRC reader chip on DIN/DOUT/SCLK and EM cards in its field, all in virtual
// time, with a trace of what the host did.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/d2xx_api.h"
#include "sim/ftdi/em_signal.h"

namespace {

using namespace reader;

constexpr FT_STATUS Ok = FT_OK;
constexpr FT_STATUS InvalidHandle = FT_INVALID_HANDLE;
constexpr FT_STATUS DeviceNotFound = FT_DEVICE_NOT_FOUND;
constexpr FT_STATUS DeviceNotOpened = FT_DEVICE_NOT_OPENED;
constexpr FT_STATUS InvalidParameter = FT_INVALID_PARAMETER;
constexpr FT_STATUS NotSupported = FT_NOT_SUPPORTED;

constexpr uint8_t Din = 0x01;
constexpr uint8_t Dout = 0x02;
constexpr uint8_t Sclk = 0x04;

std::vector<std::string> Trace;

void Note(const std::string& Line) { Trace.push_back(Line); }

std::string Hex(unsigned Value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", Value);
    return text;
}

struct TCard {
    std::string Code;
    int64_t ArriveNs = 0;
    int64_t RemoveNs = LLONG_MAX;
    sim::TEmSignalSettings Signal;
    // Built from the fields above when first sampled; any setting drops it.
    std::optional<sim::TEmSignal> Generator;
};

// The HTRC chip's three-wire interface as it sees the pin states.
class THtrcChip {
public:
    // Takes one pin state; returns the DOUT level the chip drives.
    bool Clock(uint8_t Pins) {
        const bool sclk = (Pins & Sclk) != 0;
        const bool din = (Pins & Din) != 0;
        if (sclk && FSclk && din && !FDin) {
            Start();
        } else if (sclk && !FSclk) {
            RisingEdge(din);
        }
        FSclk = sclk;
        FDin = din;
        return FDout;
    }
    bool ReadingTag() const { return FReadTag; }
    bool Configured() const { return FSamplingSet; }
    uint8_t Phase = 0x3A;

private:
    void Start() {
        if (FReceiving && FBits > 0) {
            Note("misuse: incomplete command");
        }
        FReceiving = true;
        FBits = 0;
        FShift = 0;
        FReadTag = false;
        FReadout = 0;
        FDout = false;
    }
    void RisingEdge(bool DinLevel) {
        if (FReadout > 0) {
            --FReadout;
            FDout = ((Phase >> FReadout) & 1) != 0;
            return;
        }
        if (!FReceiving) {
            return;  // idle clocking is harmless
        }
        FShift = static_cast<uint8_t>((FShift << 1) | (DinLevel ? 1 : 0));
        ++FBits;
        if (FBits == 3 && FShift == 7) {
            FReceiving = false;
            FReadTag = true;
            Note(FSamplingSet ? "htrc read-tag" : "misuse: read-tag on an unconfigured chip");
        } else if (FBits == 8) {
            FReceiving = false;
            Execute(FShift);
        }
    }
    void Execute(uint8_t Command) {
        if ((Command & 0xC0) == 0x40) {
            Note("htrc " + Hex(Command) + " page " + std::to_string((Command >> 4) & 3) + " " + Hex(Command & 0x0F));
        } else if ((Command & 0xC0) == 0x80) {
            FSamplingSet = true;
            Note("htrc " + Hex(Command) + " sampling " + Hex(Command & 0x3F));
        } else if (Command == 0x08) {
            FReadout = 8;
            Note("htrc 0x08 read-phase");
        } else {
            Note("misuse: unknown command " + Hex(Command));
        }
    }

    bool FSclk = false;
    bool FDin = false;
    bool FDout = false;
    bool FReceiving = false;
    int FBits = 0;
    uint8_t FShift = 0;
    bool FReadTag = false;
    bool FSamplingSet = false;
    int FReadout = 0;
};

struct TDevice {
    std::string Serial;
    std::string Description;
    int Com = -1;
    bool Held = false;
    FT_STATUS PurgeStatus = Ok;
    int WriteShortfall = 0;
    int ReadLimit = -1;
    bool Open = false;
    int Opens = 0;
    int Closes = 0;
    bool Power = false;
    uint8_t Mode = 0;
    uint8_t Mask = 0;
    uint8_t Pins = 0;
    THtrcChip Chip;
    std::deque<uint8_t> ReadBack;
    std::optional<TCard> Card;
};

struct TSim {
    std::vector<std::unique_ptr<TDevice>> Devices;
    int64_t NowNs = 0;
    int64_t SamplePeriodNs = 16000;
    int64_t CallCostNs = 125000;
};

TSim& State() {
    static TSim sim;
    return sim;
}

TDevice* FromHandle(void* Handle) {
    for (auto& device : State().Devices) {
        if (device.get() == Handle && device->Open) {
            return device.get();
        }
    }
    return nullptr;
}

// Every library call costs a little virtual time.
void Call() { State().NowNs += State().CallCostNs; }

// A call on a device: its cost, then the open device of the handle or null.
TDevice* Enter(void* Handle) {
    Call();
    return FromHandle(Handle);
}

// A setting the simulator only notes.
FT_STATUS Setting(void* Handle, const std::string& Line) {
    if (Enter(Handle) == nullptr) {
        return InvalidHandle;
    }
    Note(Line);
    return Ok;
}

bool CardLevel(TDevice& Device, int64_t Ns) {
    if (!Device.Card || Device.Card->Code.empty() || Ns < Device.Card->ArriveNs || Ns >= Device.Card->RemoveNs) {
        return false;
    }
    TCard& card = *Device.Card;
    if (!card.Generator) {
        card.Generator.emplace(card.Code, card.Signal);
    }
    return card.Generator->Level((Ns - card.ArriveNs) / State().SamplePeriodNs);
}

// The data-bus byte the host reads back: the driven pins and DOUT.
uint8_t Sample(TDevice& Device) {
    bool dout = Device.Chip.Clock(Device.Pins);
    if (Device.Chip.ReadingTag()) {
        dout = Device.Power && Device.Chip.Configured() && CardLevel(Device, State().NowNs);
    }
    State().NowNs += State().SamplePeriodNs;
    return static_cast<uint8_t>((Device.Pins & Device.Mask & ~Dout) | (dout ? Dout : 0));
}

bool BitBang(const TDevice& Device) {
    return Device.Mode == FT_MODE_ASYNC_BITBANG || Device.Mode == FT_MODE_SYNC_BITBANG;
}

bool ParseNumber(const char* Text, double& Value) {
    char* end = nullptr;
    Value = std::strtod(Text, &end);
    return end != Text && *end == '\0';
}

int SetDevice(TDevice& Device, const std::string& Key, const char* Value) {
    if (Device.Card) {
        Device.Card->Generator.reset();
    }
    if (Key == "description") {
        Device.Description = Value;
        return 0;
    }
    if (Key == "card") {
        if (!Device.Card) {
            Device.Card.emplace();
        }
        Device.Card->Code = Value;
        return 0;
    }
    double number = 0;
    if (!ParseNumber(Value, number)) {
        return -1;
    }
    const auto whole = static_cast<int64_t>(number);
    if (!Device.Card) {
        Device.Card.emplace();
    }
    sim::TEmSignalSettings& signal = Device.Card->Signal;
    const std::map<std::string, std::function<void()>> setters = {
        {"com", [&] { Device.Com = static_cast<int>(whole); }},
        {"held", [&] { Device.Held = whole != 0; }},
        {"purge_status", [&] { Device.PurgeStatus = static_cast<FT_STATUS>(whole); }},
        {"write_shortfall", [&] { Device.WriteShortfall = static_cast<int>(whole); }},
        {"read_limit", [&] { Device.ReadLimit = static_cast<int>(whole); }},
        {"phase", [&] { Device.Chip.Phase = static_cast<uint8_t>(whole); }},
        {"arrive_us", [&] { Device.Card->ArriveNs = whole * 1000; }},
        {"remove_us", [&] { Device.Card->RemoveNs = whole * 1000; }},
        {"samples_per_bit", [&] { signal.SamplesPerBit = number; }},
        {"rate_error", [&] { signal.RateError = number; }},
        {"duty_skew", [&] { signal.DutySkew = number; }},
        {"jitter", [&] { signal.Jitter = number; }},
        {"glitch_rate", [&] { signal.GlitchRate = number; }},
        {"dropout_rate", [&] { signal.DropoutRate = number; }},
        {"dropout_length", [&] { signal.DropoutLength = static_cast<int>(whole); }},
        {"inverted", [&] { signal.Inverted = whole != 0; }},
        {"start_phase", [&] { signal.StartPhase = number; }},
        {"seed", [&] { signal.Seed = static_cast<uint64_t>(whole); }},
    };
    const auto setter = setters.find(Key);
    if (setter == setters.end()) {
        return -1;
    }
    setter->second();
    return 0;
}

int SetGlobal(const std::string& Key, const char* Value) {
    double number = 0;
    if (!ParseNumber(Value, number) || number < 1) {
        return -1;
    }
    if (Key == "sample_period_ns") {
        State().SamplePeriodNs = static_cast<int64_t>(number);
    } else if (Key == "call_cost_ns") {
        State().CallCostNs = static_cast<int64_t>(number);
    } else {
        return -1;
    }
    return 0;
}

std::string Trim(const std::string& Text) {
    const auto first = Text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return Text.substr(first, Text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

extern "C" {

// ---- Control entries ----

__attribute__((visibility("default"))) void SimFtdiReset() {
    State() = TSim();
    Trace.clear();
}

__attribute__((visibility("default"))) int SimFtdiAddDevice(const char* Serial, const char* Description) {
    auto device = std::make_unique<TDevice>();
    device->Serial = Serial != nullptr ? Serial : "";
    device->Description = Description != nullptr ? Description : "";
    State().Devices.push_back(std::move(device));
    return static_cast<int>(State().Devices.size()) - 1;
}

__attribute__((visibility("default"))) int SimFtdiSet(int Device, const char* Key, const char* Value) {
    if (Key == nullptr || Value == nullptr) {
        return -1;
    }
    if (Device == -1) {
        return SetGlobal(Key, Value);
    }
    if (Device < 0 || Device >= static_cast<int>(State().Devices.size())) {
        return -1;
    }
    return SetDevice(*State().Devices[static_cast<std::size_t>(Device)], Key, Value);
}

__attribute__((visibility("default"))) int SimFtdiGet(int Device, const char* Key) {
    if (Key == nullptr || Device < 0 || Device >= static_cast<int>(State().Devices.size())) {
        return -1;
    }
    const TDevice& device = *State().Devices[static_cast<std::size_t>(Device)];
    const std::string key = Key;
    if (key == "power") {
        return device.Power ? 1 : 0;
    }
    if (key == "open") {
        return device.Open ? 1 : 0;
    }
    if (key == "opens") {
        return device.Opens;
    }
    return key == "closes" ? device.Closes : -1;
}

__attribute__((visibility("default"))) int SimFtdiTraceCount() { return static_cast<int>(Trace.size()); }

__attribute__((visibility("default"))) const char* SimFtdiTraceLine(int Index) {
    if (Index < 0 || Index >= static_cast<int>(Trace.size())) {
        return nullptr;
    }
    return Trace[static_cast<std::size_t>(Index)].c_str();
}

__attribute__((visibility("default"))) void SimFtdiClearTrace() { Trace.clear(); }

__attribute__((visibility("default"))) long long SimFtdiNowNs() { return State().NowNs; }

__attribute__((visibility("default"))) void SimFtdiAdvanceNs(long long Ns) {
    if (Ns > 0) {
        State().NowNs += Ns;
    }
}

__attribute__((visibility("default"))) int SimFtdiLoadScenario(const char* Path) {
    std::ifstream file(Path != nullptr ? Path : "");
    if (!file) {
        return -1;
    }
    int device = -1;
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line == "[device]") {
            if (line == "[device]") {
                device = -2;  // waits for its serial
            }
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            return lineNumber;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (device == -2) {
            if (key != "serial") {
                return lineNumber;
            }
            device = SimFtdiAddDevice(value.c_str(), "");
            continue;
        }
        if (SimFtdiSet(device, key.c_str(), value.c_str()) != 0) {
            return lineNumber;
        }
    }
    return 0;
}

// ---- D2XX entries ----

__attribute__((visibility("default"))) FT_STATUS FT_ListDevices(void* Arg1, void* Arg2, DWORD Flags) {
    Call();
    auto& devices = State().Devices;
    if (Flags == FT_LIST_NUMBER_ONLY) {
        if (Arg1 == nullptr) {
            return InvalidParameter;
        }
        *static_cast<DWORD*>(Arg1) = static_cast<DWORD>(devices.size());
        return Ok;
    }
    const auto index = reinterpret_cast<uintptr_t>(Arg1);
    if (Flags != FT_LIST_BY_INDEX_SERIAL && Flags != FT_LIST_BY_INDEX_DESCRIPTION) {
        return InvalidParameter;
    }
    if (index >= devices.size() || Arg2 == nullptr) {
        return DeviceNotFound;
    }
    const TDevice& device = *devices[index];
    const std::string& text = Flags == FT_LIST_BY_INDEX_SERIAL ? device.Serial : device.Description;
    // The library's buffers hold 16 characters of a serial number and 64 of a
    // description, each with its terminating zero.
    const std::size_t room = Flags == FT_LIST_BY_INDEX_SERIAL ? 16 : 64;
    const std::string cut = text.substr(0, room - 1);
    std::memcpy(Arg2, cut.c_str(), cut.size() + 1);
    return Ok;
}

__attribute__((visibility("default"))) FT_STATUS FT_OpenEx(void* Arg, DWORD Flags, void** Handle) {
    Call();
    if (Arg == nullptr || Handle == nullptr || Flags != FT_OPEN_BY_SERIAL_NUMBER) {
        return InvalidParameter;
    }
    const std::string serial = static_cast<const char*>(Arg);
    for (auto& device : State().Devices) {
        if (device->Serial == serial) {
            if (device->Held || device->Open) {
                Note("open " + serial + " refused");
                return DeviceNotOpened;
            }
            device->Open = true;
            ++device->Opens;
            device->Mode = 0;
            device->ReadBack.clear();
            *Handle = device.get();
            Note("open " + serial);
            return Ok;
        }
    }
    Note("open " + serial + " not found");
    return DeviceNotFound;
}

__attribute__((visibility("default"))) FT_STATUS FT_Close(void* Handle) {
    TDevice* device = Enter(Handle);
    if (device == nullptr) {
        Note("misuse: close of a handle that is not open");
        return InvalidHandle;
    }
    device->Open = false;
    ++device->Closes;
    Note("close");
    return Ok;
}

__attribute__((visibility("default"))) FT_STATUS FT_Write(void* Handle, void* Buffer, DWORD Count, DWORD* Written) {
    TDevice* device = Enter(Handle);
    if (device == nullptr || Buffer == nullptr || Written == nullptr) {
        Note("misuse: write without an open device");
        return InvalidHandle;
    }
    const auto count = static_cast<DWORD>(std::max<int64_t>(0, static_cast<int64_t>(Count) - device->WriteShortfall));
    Note("write " + std::to_string(Count));
    if (!BitBang(*device)) {
        Note("misuse: write outside bit-bang mode");
    }
    const auto* bytes = static_cast<const uint8_t*>(Buffer);
    for (DWORD i = 0; i < count; ++i) {
        device->Pins = bytes[i];
        const uint8_t sample = Sample(*device);
        if (device->Mode == FT_MODE_SYNC_BITBANG) {
            device->ReadBack.push_back(sample);
        }
    }
    *Written = count;
    return Ok;
}

__attribute__((visibility("default"))) FT_STATUS FT_Read(void* Handle, void* Buffer, DWORD Count, DWORD* Received) {
    TDevice* device = Enter(Handle);
    if (device == nullptr || Buffer == nullptr || Received == nullptr) {
        Note("misuse: read without an open device");
        return InvalidHandle;
    }
    Note("read " + std::to_string(Count));
    DWORD count = Count;
    if (device->ReadLimit >= 0) {
        count = std::min<DWORD>(count, static_cast<DWORD>(device->ReadLimit));
    }
    auto* bytes = static_cast<uint8_t*>(Buffer);
    if (device->Mode == FT_MODE_SYNC_BITBANG) {
        count = std::min<DWORD>(count, static_cast<DWORD>(device->ReadBack.size()));
        for (DWORD i = 0; i < count; ++i) {
            bytes[i] = device->ReadBack.front();
            device->ReadBack.pop_front();
        }
    } else if (device->Mode == FT_MODE_ASYNC_BITBANG) {
        for (DWORD i = 0; i < count; ++i) {
            bytes[i] = Sample(*device);
        }
    } else {
        Note("misuse: read outside bit-bang mode");
        count = 0;
    }
    *Received = count;
    return Ok;
}

__attribute__((visibility("default"))) FT_STATUS FT_SetBaudRate(void* Handle, DWORD BaudRate) {
    return Setting(Handle, "baud " + std::to_string(BaudRate));
}

__attribute__((visibility("default"))) FT_STATUS FT_SetFlowControl(void* Handle, uint16_t Mode, uint8_t Xon,
                                                                   uint8_t Xoff) {
    return Setting(Handle, "flow " + std::to_string(Mode) + " " + Hex(Xon) + " " + Hex(Xoff));
}

__attribute__((visibility("default"))) FT_STATUS FT_Purge(void* Handle, DWORD Mask) {
    TDevice* device = Enter(Handle);
    if (device == nullptr) {
        return InvalidHandle;
    }
    Note("purge " + std::to_string(Mask));
    if ((Mask & 1) != 0) {
        device->ReadBack.clear();
    }
    return device->PurgeStatus;
}

#ifndef SIM_OMIT_COM_PORT
__attribute__((visibility("default"))) FT_STATUS FT_GetComPortNumber(void* Handle, int32_t* Port) {
    TDevice* device = Enter(Handle);
    if (device == nullptr || Port == nullptr) {
        return InvalidHandle;
    }
    *Port = device->Com;
    return Ok;
}
#endif

__attribute__((visibility("default"))) FT_STATUS FT_SetLatencyTimer(void* Handle, uint8_t Ms) {
    return Setting(Handle, "latency " + std::to_string(Ms));
}

__attribute__((visibility("default"))) FT_STATUS FT_SetBitMode(void* Handle, uint8_t Mask, uint8_t Mode) {
    TDevice* device = Enter(Handle);
    if (device == nullptr) {
        return InvalidHandle;
    }
    if (Mode == FT_MODE_CBUS_BITBANG) {
        // CBUS bit-bang: high nibble directions, low nibble levels. The pins
        // keep their levels after the device is closed.
        device->Power = (Mask & 0x80) != 0 && (Mask & 0x08) != 0;
        Note("cbus " + Hex(Mask));
        return Ok;
    }
    if (Mode != FT_MODE_RESET && Mode != FT_MODE_ASYNC_BITBANG && Mode != FT_MODE_SYNC_BITBANG) {
        Note("misuse: bit mode " + Hex(Mode));
        return InvalidParameter;
    }
    device->Mode = Mode;
    device->Mask = Mask;
    Note("mode " + Hex(Mode) + " mask " + Hex(Mask));
    return Ok;
}

// The library's other entries: present so that the library binds, but the
// reader code never calls them. A call is noted as misuse.
#define SIM_NOT_SIMULATED(Name)                               \
    __attribute__((visibility("default"))) FT_STATUS Name() { \
        Note("misuse: " #Name " is not simulated");           \
        return NotSupported;                                  \
    }
SIM_NOT_SIMULATED(FT_Open)
SIM_NOT_SIMULATED(FT_ResetDevice)
SIM_NOT_SIMULATED(FT_SetDivisor)
SIM_NOT_SIMULATED(FT_SetDataCharacteristics)
SIM_NOT_SIMULATED(FT_SetDtr)
SIM_NOT_SIMULATED(FT_ClrDtr)
SIM_NOT_SIMULATED(FT_SetRts)
SIM_NOT_SIMULATED(FT_ClrRts)
SIM_NOT_SIMULATED(FT_GetModemStatus)
SIM_NOT_SIMULATED(FT_SetChars)
SIM_NOT_SIMULATED(FT_SetTimeouts)
SIM_NOT_SIMULATED(FT_GetQueueStatus)
SIM_NOT_SIMULATED(FT_SetBreakOn)
SIM_NOT_SIMULATED(FT_SetBreakOff)
SIM_NOT_SIMULATED(FT_GetStatus)
SIM_NOT_SIMULATED(FT_SetEventNotification)
SIM_NOT_SIMULATED(FT_GetDeviceInfo)
SIM_NOT_SIMULATED(FT_SetResetPipeRetryCount)
SIM_NOT_SIMULATED(FT_StopInTask)
SIM_NOT_SIMULATED(FT_RestartInTask)
SIM_NOT_SIMULATED(FT_ResetPort)
SIM_NOT_SIMULATED(FT_CyclePort)
SIM_NOT_SIMULATED(FT_CreateDeviceInfoList)
SIM_NOT_SIMULATED(FT_GetDeviceInfoList)
SIM_NOT_SIMULATED(FT_GetDeviceInfoDetail)
SIM_NOT_SIMULATED(FT_GetDriverVersion)
SIM_NOT_SIMULATED(FT_GetLibraryVersion)
SIM_NOT_SIMULATED(FT_EE_Read)
SIM_NOT_SIMULATED(FT_EE_Program)
SIM_NOT_SIMULATED(FT_ReadEE)
SIM_NOT_SIMULATED(FT_WriteEE)
SIM_NOT_SIMULATED(FT_EraseEE)
SIM_NOT_SIMULATED(FT_EE_UARead)
SIM_NOT_SIMULATED(FT_EE_UAWrite)
SIM_NOT_SIMULATED(FT_EE_UASize)
SIM_NOT_SIMULATED(FT_GetLatencyTimer)
SIM_NOT_SIMULATED(FT_GetBitMode)
#ifndef SIM_OMIT_USB_PARAMETERS
SIM_NOT_SIMULATED(FT_SetUSBParameters)
#endif

}  // extern "C"

namespace {

// Loads the scenario that the environment names, when the library is loaded.
[[maybe_unused]] const bool ScenarioLoaded = [] {
    const char* path = std::getenv("ZT_FTDI_SIM_SCENARIO");
    return path != nullptr && SimFtdiLoadScenario(path) == 0;
}();

}  // namespace
