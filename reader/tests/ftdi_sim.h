#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/monotonic_clock.h"
#include "sim/ftd2xx_sim_control.h"

namespace reader::testing {

// The simulated D2XX library, loaded by name like the real one (the test's
// LD_LIBRARY_PATH names its folder), and its control entries.
class TSimFtdi {
public:
    explicit TSimFtdi(const char* WindowsName = "FTD2XX.DLL") : FLibrary(platform::DynamicLibrary::Load(WindowsName)) {
        if (FLibrary == nullptr) {
            ADD_FAILURE() << "simulated library " << WindowsName << " not found";
            return;
        }
        FReset = Bind<TSimFtdiReset>("SimFtdiReset");
        FAdd = Bind<TSimFtdiAddDevice>("SimFtdiAddDevice");
        FSet = Bind<TSimFtdiSet>("SimFtdiSet");
        FGet = Bind<TSimFtdiGet>("SimFtdiGet");
        FCount = Bind<TSimFtdiTraceCount>("SimFtdiTraceCount");
        FLine = Bind<TSimFtdiTraceLine>("SimFtdiTraceLine");
        FClear = Bind<TSimFtdiClearTrace>("SimFtdiClearTrace");
        FNow = Bind<TSimFtdiNowNs>("SimFtdiNowNs");
        FAdvance = Bind<TSimFtdiAdvanceNs>("SimFtdiAdvanceNs");
        FLoad = Bind<TSimFtdiLoadScenario>("SimFtdiLoadScenario");
        FReset();
    }

    std::unique_ptr<platform::DynamicLibrary> TakeLibrary() { return std::move(FLibrary); }

    int Add(const std::string& Serial, const std::string& Description) {
        return FAdd(Serial.c_str(), Description.c_str());
    }
    void Set(int Device, const std::string& Key, const std::string& Value) {
        ASSERT_EQ(FSet(Device, Key.c_str(), Value.c_str()), 0) << Key << "=" << Value;
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
    void ClearTrace() { FClear(); }
    long long NowNs() const { return FNow(); }
    void AdvanceNs(long long Ns) { FAdvance(Ns); }
    int LoadScenario(const std::string& Path) { return FLoad(Path.c_str()); }

private:
    template <typename F>
    F Bind(const char* Name) {
        auto entry = reinterpret_cast<F>(FLibrary->Entry(Name));
        EXPECT_NE(entry, nullptr) << Name;
        return entry;
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
class TSimClock final : public platform::MonotonicClock {
public:
    explicit TSimClock(const TSimFtdi& Sim) : FSim(Sim) {}
    TimePoint Now() const override { return TimePoint(std::chrono::nanoseconds(FSim.NowNs())); }

private:
    const TSimFtdi& FSim;
};

}  // namespace reader::testing
