#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/monotonic_clock.h"
#include "sim/ftdi/ftd2xx_sim_control.h"

namespace sim {

// Drives the simulated D2XX library from a test: the same loaded library that
// the D2XX binding uses (found by name, not linked), or one of its variants.
class TFtdiSimControl {
public:
    explicit TFtdiSimControl(const char* WindowsName = "FTD2XX.DLL")
        : FLibrary(platform::DynamicLibrary::Load(WindowsName)) {
        if (FLibrary == nullptr) {
            throw std::runtime_error(std::string("the simulated library is not on the library path: ") + WindowsName);
        }
        Bind(FReset, "SimFtdiReset");
        Bind(FAdd, "SimFtdiAddDevice");
        Bind(FSet, "SimFtdiSet");
        Bind(FGet, "SimFtdiGet");
        Bind(FCount, "SimFtdiTraceCount");
        Bind(FLine, "SimFtdiTraceLine");
        Bind(FClear, "SimFtdiClearTrace");
        Bind(FNow, "SimFtdiNowNs");
        Bind(FAdvance, "SimFtdiAdvanceNs");
        Bind(FLoad, "SimFtdiLoadScenario");
        FReset();
    }

    // Hands the library over (to a binding); the control stays usable while
    // the new owner keeps it loaded.
    std::unique_ptr<platform::DynamicLibrary> TakeLibrary() { return std::move(FLibrary); }

    int Add(const std::string& Serial, const std::string& Description) const {
        return FAdd(Serial.c_str(), Description.c_str());
    }
    // Raises for a key or value the simulator does not take.
    void Set(int Device, const std::string& Key, const std::string& Value) const {
        if (FSet(Device, Key.c_str(), Value.c_str()) != 0) {
            throw std::invalid_argument("simulator setting refused: " + Key + "=" + Value);
        }
    }
    int Get(int Device, const std::string& Key) const { return FGet(Device, Key.c_str()); }
    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        lines.reserve(static_cast<std::size_t>(FCount()));
        for (int i = 0; i < FCount(); ++i) {
            lines.emplace_back(FLine(i));
        }
        return lines;
    }
    void ClearTrace() const { FClear(); }
    long long NowNs() const { return FNow(); }
    void AdvanceNs(long long Ns) const { FAdvance(Ns); }
    int LoadScenario(const std::string& Path) const { return FLoad(Path.c_str()); }

private:
    template <typename F>
    void Bind(F& Slot, const char* Name) {
        Slot = reinterpret_cast<F>(FLibrary->Entry(Name));
        if (Slot == nullptr) {
            throw std::runtime_error(std::string("simulator control entry missing: ") + Name);
        }
    }

    std::unique_ptr<platform::DynamicLibrary> FLibrary;
    TSimFtdiReset FReset = nullptr;
    TSimFtdiAddDevice FAdd = nullptr;
    TSimFtdiSet FSet = nullptr;
    TSimFtdiGet FGet = nullptr;
    TSimFtdiTraceCount FCount = nullptr;
    TSimFtdiTraceLine FLine = nullptr;
    TSimFtdiClearTrace FClear = nullptr;
    TSimFtdiNowNs FNow = nullptr;
    TSimFtdiAdvanceNs FAdvance = nullptr;
    TSimFtdiLoadScenario FLoad = nullptr;
};

// The simulator's virtual time as a clock.
class TFtdiSimClock final : public platform::MonotonicClock {
public:
    explicit TFtdiSimClock(const TFtdiSimControl& Sim) : FSim(Sim) {}
    TimePoint Now() const override { return TimePoint(std::chrono::nanoseconds(FSim.NowNs())); }

private:
    const TFtdiSimControl& FSim;
};

}  // namespace sim
