// A simulated reader driver library: HID card readers that answer reader
// frames, with switches for the faults a real driver and reader can show.
// No exception leaves an entry: an internal failure answers status 1.

#include "sim/kev3/kev3_sim.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "reader/kev3_api.h"
#include "sim/bounded_trace.h"

namespace {

constexpr int32_t Ok = 0;
constexpr int32_t GeneralError = 1;
constexpr int32_t NotFound = 2;
constexpr int32_t CannotOpen = 4;
constexpr int32_t BadBuffer = 5;
constexpr int32_t CannotClose = 10;
constexpr int32_t WriteError = 11;
constexpr int32_t ReadError = 12;

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr std::size_t AnswerLimit = 64;

const char* const DefaultScenario =
    "device TK4A000001 4 KEV-4 USB Proximity Reader\n"
    "name TK4A000001 KEV-4 Proximity v2.10\n"
    "cards TK4A000001 3000 1000 R0000001234567890 R00000000ABCDEF12 T00000000DEADBEEF\n";

enum class EFault { None, NoAnswer, ShortWrite, Check, Direction, Address, Command, Junk, TwoFrames, NoEtx, TooLong };

const std::pair<const char*, EFault> FaultNames[] = {
    {"none", EFault::None},       {"no-answer", EFault::NoAnswer},  {"short-write", EFault::ShortWrite},
    {"check", EFault::Check},     {"direction", EFault::Direction}, {"address", EFault::Address},
    {"command", EFault::Command}, {"junk", EFault::Junk},           {"two-frames", EFault::TwoFrames},
    {"no-etx", EFault::NoEtx},    {"too-long", EFault::TooLong},
};

struct TDevice {
    std::string Serial;
    std::string Description;
    std::string Name;
    int32_t Type = 0;
    bool Held = false;
    EFault Fault = EFault::None;
    std::string Card;                // the card lying on the reader
    std::vector<std::string> Cards;  // or one card after the other
    int64_t Period = 0;
    int64_t Shown = 0;
    int32_t Handle = -1;
    std::string Pending;  // the answer waiting to be read
};

struct TInjection {
    std::string Entry;
    int Nth;  // calls to go until it fires; 0: every call
    int32_t Status;
    bool After;
};

struct TFrame {
    int Address = 0;
    int Command = 0;
    std::string Data;
};

unsigned char CheckOf(const std::string& Text) {
    unsigned char check = 0;
    for (char c : Text) {
        check ^= static_cast<unsigned char>(c);
    }
    return check | 0x20;
}

std::string Hex2(int Value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", Value & 0xFF);
    return text;
}

std::string BuildFrame(char Direction, int Address, int Command, const std::string& Data) {
    std::string frame = std::string(1, SOH) + Direction + Hex2(Address) + Hex2(Command) + STX + Data + ETX;
    return frame + static_cast<char>(CheckOf(frame));
}

bool ParseHex2(const std::string& Text, std::size_t Pos, int& Value) {
    if (Text.size() < Pos + 2 || !std::isxdigit(static_cast<unsigned char>(Text[Pos])) ||
        !std::isxdigit(static_cast<unsigned char>(Text[Pos + 1]))) {
        return false;
    }
    Value = static_cast<int>(std::strtol(Text.substr(Pos, 2).c_str(), nullptr, 16));
    return true;
}

// A well-formed request frame from the host, or false.
bool ParseRequest(const std::string& Bytes, TFrame& Frame) {
    const auto etx = Bytes.find(ETX);
    if (Bytes.size() < 9 || Bytes[0] != SOH || Bytes[1] != 'S' || Bytes[6] != STX || etx == std::string::npos ||
        etx + 1 >= Bytes.size() || !ParseHex2(Bytes, 2, Frame.Address) || !ParseHex2(Bytes, 4, Frame.Command)) {
        return false;
    }
    if (static_cast<unsigned char>(Bytes[etx + 1]) != CheckOf(Bytes.substr(0, etx + 1))) {
        return false;
    }
    Frame.Data = Bytes.substr(7, etx - 7);
    return true;
}

std::string Answer(const TFrame& Request, const std::string& Data, EFault Fault) {
    const int address = Fault == EFault::Address ? Request.Address + 1 : Request.Address;
    const int command = Fault == EFault::Command ? Request.Command + 1 : Request.Command;
    const char direction = Fault == EFault::Direction ? 'S' : 's';
    const std::string data = Fault == EFault::TooLong ? Data + std::string(AnswerLimit, '0') : Data;
    std::string frame = BuildFrame(direction, address, command, data);
    switch (Fault) {
        case EFault::Check:
            frame.back() = static_cast<char>(frame.back() ^ 0x01);
            break;
        case EFault::Junk:
            frame = "#junk#" + frame;
            break;
        case EFault::TwoFrames:
            frame += BuildFrame('s', address, command, "RFFFFFFFFFFFFFFFF");
            break;
        case EFault::NoEtx:
            frame.resize(frame.size() - 2);
            break;
        default:
            break;
    }
    return frame;
}

void PutText(char* Out, const std::string& Text) {
    const std::size_t length = std::min<std::size_t>(Text.size(), KEV3_TEXT_SIZE - 1);
    std::memcpy(Out, Text.data(), length);
    Out[length] = '\0';
}

std::vector<std::string> Words(const std::string& Line) {
    std::istringstream stream(Line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// The text of Line after its first Count words, blanks around it removed.
std::string After(const std::string& Line, std::size_t Count) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        pos = Line.find_first_not_of(" \t", pos);
        pos = pos == std::string::npos ? Line.size() : Line.find_first_of(" \t", pos);
        pos = pos == std::string::npos ? Line.size() : pos;
    }
    const auto first = Line.find_first_not_of(" \t", pos);
    if (first == std::string::npos) {
        return {};
    }
    return Line.substr(first, Line.find_last_not_of(" \t\r") - first + 1);
}

bool ToNumber(const std::string& Text, int64_t& Value) {
    char* end = nullptr;
    Value = std::strtoll(Text.c_str(), &end, 10);
    return !Text.empty() && *end == '\0';
}

class TSim {
public:
    int Reset() {
        Clear();
        const char* file = std::getenv("ZT_KEV3_SIM_SCENARIO");
        if (file == nullptr || *file == '\0') {
            return Apply(DefaultScenario);
        }
        std::ifstream stream(file);
        std::stringstream text;
        if (stream.is_open()) {
            text << stream.rdbuf();
        }
        if (!stream.is_open() || stream.bad()) {
            std::cerr << "libTalvoKEV3.so (simulated): cannot read the scenario file " << file << "\n";
            return -1;
        }
        const int bad = Apply(text.str());
        if (bad != 0) {
            std::cerr << "libTalvoKEV3.so (simulated): " << file << ": line " << bad << ": " << FError << "\n";
            Clear();
        }
        return bad;
    }

    int Load(const std::string& Scenario) {
        Clear();
        return Apply(Scenario);
    }

    int Apply(const std::string& Scenario) {
        std::istringstream lines(Scenario);
        int number = 0;
        for (std::string line; std::getline(lines, line);) {
            ++number;
            const auto words = Words(line);
            if (words.empty() || words[0][0] == '#') {
                continue;
            }
            FError.clear();
            if (!Command(line, words)) {
                if (FError.empty()) {
                    FError = "cannot read \"" + line + "\"";
                }
                return number;
            }
        }
        return 0;
    }

    void Advance(int64_t Ms) { FVirtualNow += std::max<int64_t>(Ms, 0); }

    int64_t Now() const {
        if (FVirtual) {
            return FVirtualNow;
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - FStart).count();
    }

    int32_t OpenDevices() const {
        return static_cast<int32_t>(
            std::count_if(FDevices.begin(), FDevices.end(), [](const TDevice& d) { return d.Handle != -1; }));
    }

    std::string TraceText() const {
        std::string text;
        for (const auto& line : FTrace) {
            text += line + "\n";
        }
        return text;
    }

    void ClearTrace() { FTrace.Clear(); }

    // Runs one driver call: an injected status may take its place or follow its work.
    int32_t Call(const char* Entry, const std::string& Arguments, const std::function<int32_t()>& Work) {
        const std::optional<TInjection> injected = Fire(Entry);
        int32_t status = GeneralError;
        try {
            if (!injected || injected->After) {
                status = Work();
            }
        } catch (...) {
            status = GeneralError;
        }
        if (injected) {
            status = injected->Status;
        }
        FTrace.Add(std::string(Entry) + (Arguments.empty() ? "" : " " + Arguments) + " -> " + std::to_string(status));
        return status;
    }

    TDevice* BySerial(const char* Serial) {
        if (Serial == nullptr) {
            return nullptr;
        }
        const auto it =
            std::find_if(FDevices.begin(), FDevices.end(), [&](const TDevice& d) { return d.Serial == Serial; });
        return it == FDevices.end() ? nullptr : &*it;
    }

    TDevice* ByIndex(int32_t Index) {
        return Index >= 0 && static_cast<std::size_t>(Index) < FDevices.size() ? &FDevices[Index] : nullptr;
    }

    TDevice* ByHandle(const int32_t* Handle) {
        if (Handle == nullptr || *Handle == -1) {
            return nullptr;
        }
        const auto it =
            std::find_if(FDevices.begin(), FDevices.end(), [&](const TDevice& d) { return d.Handle == *Handle; });
        return it == FDevices.end() ? nullptr : &*it;
    }

    int32_t Count() const { return static_cast<int32_t>(FDevices.size()); }

    int32_t NewHandle() { return FNextHandle++; }

    // The data field of the read-card answer at this moment.
    std::string CardOn(const TDevice& Device) const {
        if (!Device.Card.empty() || Device.Cards.empty() || Device.Period <= 0) {
            return Device.Card;
        }
        const int64_t now = Now();
        if (now % Device.Period >= Device.Shown) {
            return {};
        }
        return Device.Cards[static_cast<std::size_t>(now / Device.Period) % Device.Cards.size()];
    }

    void Wait(int32_t Ms) {
        if (Ms <= 0) {
            return;
        }
        if (FVirtual) {
            FVirtualNow += Ms;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
        }
    }

    std::mutex Mutex;

private:
    // The injection that takes this call of Entry, if one is due.
    std::optional<TInjection> Fire(const char* Entry) {
        for (auto it = FInjections.begin(); it != FInjections.end(); ++it) {
            if (it->Entry != Entry) {
                continue;
            }
            if (it->Nth == 0) {
                return *it;
            }
            if (--it->Nth == 0) {
                const TInjection fired = *it;
                FInjections.erase(it);
                return fired;
            }
        }
        return std::nullopt;
    }

    void Clear() {
        FDevices.clear();
        FInjections.clear();
        FTrace.Clear();
        FVirtual = false;
        FVirtualNow = 0;
        FStart = std::chrono::steady_clock::now();
    }

    bool Fail(const std::string& Error) {
        FError = Error;
        return false;
    }

    bool Command(const std::string& Line, const std::vector<std::string>& Words) {
        const std::string& command = Words[0];
        if (command == "clock" && Words.size() == 2 && (Words[1] == "virtual" || Words[1] == "real")) {
            FVirtual = Words[1] == "virtual";
            return true;
        }
        if (command == "device" && Words.size() >= 3) {
            int64_t type = 0;
            if (!ToNumber(Words[2], type)) {
                return Fail("the device type is not a number");
            }
            if (BySerial(Words[1].c_str()) != nullptr) {
                return Fail("serial number " + Words[1] + " is attached already");
            }
            TDevice device;
            device.Serial = Words[1];
            device.Type = static_cast<int32_t>(type);
            device.Description = After(Line, 3);
            device.Name = device.Description + " v1.00";
            FDevices.push_back(device);
            return true;
        }
        if (command == "inject" && (Words.size() == 4 || (Words.size() == 5 && Words[4] == "after"))) {
            int64_t nth = 0;
            int64_t status = 0;
            if (!ToNumber(Words[2], nth) || !ToNumber(Words[3], status) || nth < 0) {
                return Fail("inject needs a call number and a status");
            }
            FInjections.push_back({Words[1], static_cast<int>(nth), static_cast<int32_t>(status), Words.size() == 5});
            return true;
        }
        if (Words.size() < 2) {
            return false;
        }
        if (command == "unplug") {
            const auto it =
                std::find_if(FDevices.begin(), FDevices.end(), [&](const TDevice& d) { return d.Serial == Words[1]; });
            if (it == FDevices.end()) {
                return Fail("no device " + Words[1]);
            }
            FDevices.erase(it);
            return true;
        }
        TDevice* device = BySerial(Words[1].c_str());
        if (device == nullptr) {
            return Fail("no device " + Words[1]);
        }
        return DeviceCommand(Line, Words, *device);
    }

    bool DeviceCommand(const std::string& Line, const std::vector<std::string>& Words, TDevice& Device) {
        const std::string& command = Words[0];
        if (command == "name") {
            Device.Name = After(Line, 2);
            return true;
        }
        if (command == "card" && Words.size() == 3) {
            Device.Card = Words[2] == "-" ? std::string() : Words[2];
            Device.Cards.clear();
            return true;
        }
        if (command == "cards" && Words.size() >= 5) {
            if (!ToNumber(Words[2], Device.Period) || !ToNumber(Words[3], Device.Shown) || Device.Period <= 0) {
                return Fail("cards needs a period above 0 and a time shown");
            }
            Device.Card.clear();
            Device.Cards.assign(Words.begin() + 4, Words.end());
            return true;
        }
        if (command == "held" && Words.size() == 3 && (Words[2] == "1" || Words[2] == "0")) {
            Device.Held = Words[2] == "1";
            return true;
        }
        if (command == "fault" && Words.size() == 3) {
            for (const auto& [name, fault] : FaultNames) {
                if (Words[2] == name) {
                    Device.Fault = fault;
                    return true;
                }
            }
            return Fail("unknown fault " + Words[2]);
        }
        return false;
    }

    std::vector<TDevice> FDevices;
    std::vector<TInjection> FInjections;
    sim::TBoundedTrace FTrace;
    bool FVirtual = false;
    int64_t FVirtualNow = 0;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    int32_t FNextHandle = 1;
    std::string FError;
};

TSim& Sim() {
    static TSim sim;
    static const bool started = [] {
        sim.Reset();
        return true;
    }();
    (void)started;
    return sim;
}

// Runs Work on the simulator under its lock as the driver call Entry.
int32_t Driver(const char* Entry, const std::string& Arguments, const std::function<int32_t(TSim&)>& Work) {
    TSim& sim = Sim();
    const std::lock_guard<std::mutex> lock(sim.Mutex);
    return sim.Call(Entry, Arguments, [&] { return Work(sim); });
}

std::string Text(const char* Value) { return Value == nullptr ? "(null)" : Value; }

std::string HandleText(const int32_t* Handle) { return Handle == nullptr ? "(null)" : std::to_string(*Handle); }

template <typename Work>
int32_t Control(Work&& Action) {
    TSim& sim = Sim();
    const std::lock_guard<std::mutex> lock(sim.Mutex);
    try {
        return Action(sim);
    } catch (...) {
        return -1;
    }
}

// A driver call that answers from one device, found by Lookup: status 5
// without somewhere to put the answer, 2 without the device.
int32_t FromDevice(const char* Entry, const std::string& Arguments, const void* Out,
                   const std::function<const TDevice*(TSim&)>& Lookup,
                   const std::function<void(TSim&, const TDevice&)>& Answer) {
    return Driver(Entry, Arguments, [&](TSim& sim) {
        const TDevice* device = Lookup(sim);
        if (Out == nullptr) {
            return BadBuffer;
        }
        if (device == nullptr) {
            return NotFound;
        }
        Answer(sim, *device);
        return Ok;
    });
}

int32_t BySerial(const char* Entry, const char* Serial, const void* Out,
                 const std::function<void(TSim&, const TDevice&)>& Answer) {
    return FromDevice(
        Entry, Text(Serial), Out, [&](TSim& sim) { return sim.BySerial(Serial); }, Answer);
}

int32_t ByIndex(const char* Entry, int32_t Index, const void* Out,
                const std::function<void(TSim&, const TDevice&)>& Answer) {
    return FromDevice(
        Entry, std::to_string(Index), Out, [&](TSim& sim) { return sim.ByIndex(Index); }, Answer);
}

}  // namespace

extern "C" {

int32_t kev3LibVer(char* Version) {
    return Driver("kev3LibVer", "", [&](TSim&) {
        if (Version == nullptr) {
            return BadBuffer;
        }
        PutText(Version, "simulated reader driver 1.0.0");
        return Ok;
    });
}

int32_t kev3GetDeviceCount(int32_t* Count, int32_t /*Reserved*/) {
    return Driver("kev3GetDeviceCount", "", [&](TSim& sim) {
        if (Count == nullptr) {
            return BadBuffer;
        }
        *Count = sim.Count();
        return Ok;
    });
}

int32_t kev3GetSerialNumber(int32_t Index, int32_t /*Reserved*/, char* Serial) {
    return ByIndex("kev3GetSerialNumber", Index, Serial,
                   [&](TSim&, const TDevice& device) { PutText(Serial, device.Serial); });
}

int32_t kev3GetIndex(const char* Serial, int32_t* Index) {
    return BySerial("kev3GetIndex", Serial, Index, [&](TSim& sim, const TDevice& device) {
        for (int32_t i = 0; i < sim.Count(); ++i) {
            if (sim.ByIndex(i) == &device) {
                *Index = i;
            }
        }
    });
}

int32_t kev3GetDescriptionBySerialNumber(const char* Serial, char* Description) {
    return BySerial("kev3GetDescriptionBySerialNumber", Serial, Description,
                    [&](TSim&, const TDevice& device) { PutText(Description, device.Description); });
}

int32_t kev3GetDescriptionByIndex(int32_t Index, int32_t /*Reserved*/, char* Description) {
    return ByIndex("kev3GetDescriptionByIndex", Index, Description,
                   [&](TSim&, const TDevice& device) { PutText(Description, device.Description); });
}

int32_t kev3GetPort(const char* Serial, char* Port) {
    return BySerial("kev3GetPort", Serial, Port,
                    [&](TSim&, const TDevice& device) { PutText(Port, "hid:" + device.Serial); });
}

int32_t kev3GetDeviceType(const char* Serial, int32_t* Type) {
    return BySerial("kev3GetDeviceType", Serial, Type, [&](TSim&, const TDevice& device) { *Type = device.Type; });
}

int32_t kev3Open(int32_t* Handle, const char* Serial) {
    return Driver("kev3Open", Text(Serial), [&](TSim& sim) {
        TDevice* device = sim.BySerial(Serial);
        if (Handle == nullptr) {
            return BadBuffer;
        }
        if (device == nullptr) {
            return NotFound;
        }
        if (device->Held || device->Handle != -1) {
            return CannotOpen;
        }
        device->Handle = sim.NewHandle();
        device->Pending.clear();
        *Handle = device->Handle;
        return Ok;
    });
}

int32_t kev3Close(int32_t* Handle) {
    return Driver("kev3Close", HandleText(Handle), [&](TSim& sim) {
        TDevice* device = sim.ByHandle(Handle);
        if (device == nullptr) {
            return CannotClose;
        }
        device->Handle = -1;
        device->Pending.clear();
        *Handle = -1;
        return Ok;
    });
}

int32_t kev3Write(int32_t* Handle, const void* Bytes, int32_t Count, int32_t* Written, int32_t TimeoutMs) {
    return Driver("kev3Write", HandleText(Handle) + " " + std::to_string(Count) + " " + std::to_string(TimeoutMs),
                  [&](TSim& sim) {
                      TDevice* device = sim.ByHandle(Handle);
                      if (Written == nullptr || Count < 0 || (Bytes == nullptr && Count > 0)) {
                          return BadBuffer;
                      }
                      if (device == nullptr) {
                          return WriteError;
                      }
                      device->Pending.clear();
                      if (device->Fault == EFault::ShortWrite) {
                          *Written = Count > 0 ? Count - 1 : 0;
                          return Ok;
                      }
                      *Written = Count;
                      TFrame request;
                      const std::string bytes(static_cast<const char*>(Bytes), static_cast<std::size_t>(Count));
                      if (device->Fault == EFault::NoAnswer || !ParseRequest(bytes, request)) {
                          return Ok;
                      }
                      if (request.Command == 0xA1 && request.Data.empty()) {
                          device->Pending = Answer(request, sim.CardOn(*device), device->Fault);
                      } else if (request.Command == 0x00 && request.Data == "2") {
                          device->Pending = Answer(request, device->Name, device->Fault);
                      }
                      return Ok;
                  });
}

#ifndef ZT_KEV3_SIM_WITHOUT_READ
int32_t kev3Read(int32_t* Handle, void* Buffer, int32_t Capacity, int32_t* ReadCount, int32_t TimeoutMs) {
    return Driver("kev3Read", HandleText(Handle) + " " + std::to_string(Capacity) + " " + std::to_string(TimeoutMs),
                  [&](TSim& sim) {
                      TDevice* device = sim.ByHandle(Handle);
                      if (ReadCount == nullptr || Capacity < 0 || (Buffer == nullptr && Capacity > 0)) {
                          return BadBuffer;
                      }
                      if (device == nullptr) {
                          return ReadError;
                      }
                      *ReadCount = 0;
                      if (device->Pending.empty()) {
                          sim.Wait(TimeoutMs);
                          return Ok;
                      }
                      const auto count =
                          std::min<std::size_t>(device->Pending.size(), static_cast<std::size_t>(Capacity));
                      std::memcpy(Buffer, device->Pending.data(), count);
                      *ReadCount = static_cast<int32_t>(count);
                      device->Pending.clear();
                      return Ok;
                  });
}
#endif

int kev3SimReset(void) {
    return Control([](TSim& sim) { return sim.Reset(); });
}

int kev3SimLoad(const char* Scenario) {
    return Control([&](TSim& sim) { return sim.Load(Text(Scenario)); });
}

int kev3SimApply(const char* Scenario) {
    return Control([&](TSim& sim) { return sim.Apply(Text(Scenario)); });
}

void kev3SimAdvance(int32_t Ms) {
    Control([&](TSim& sim) {
        sim.Advance(Ms);
        return 0;
    });
}

int64_t kev3SimNow(void) {
    return Control([](TSim& sim) { return sim.Now(); });
}

int32_t kev3SimOpenDevices(void) {
    return Control([](TSim& sim) { return sim.OpenDevices(); });
}

int32_t kev3SimTrace(char* Buffer, int32_t Capacity) {
    return Control([&](TSim& sim) {
        const std::string text = sim.TraceText();
        if (Buffer != nullptr && Capacity > 0) {
            const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(Capacity) - 1);
            std::memcpy(Buffer, text.data(), length);
            Buffer[length] = '\0';
        }
        return static_cast<int32_t>(text.size());
    });
}

void kev3SimClearTrace(void) {
    Control([](TSim& sim) {
        sim.ClearTrace();
        return 0;
    });
}

}  // extern "C"
