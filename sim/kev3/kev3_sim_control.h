#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dynamic_library.h"
#include "sim/kev3/kev3_sim.h"

namespace sim {

// Drives the simulated reader driver library from a test: the same loaded
// library that the driver binding uses (found by name, not linked).
class TKEV3SimControl {
public:
    TKEV3SimControl() : FLibrary(platform::DynamicLibrary::Load("TalvoKEV3.dll")) {
        if (FLibrary == nullptr) {
            throw std::runtime_error("the simulated libTalvoKEV3.so is not on the library path");
        }
        Bind(FReset, "kev3SimReset");
        Bind(FLoad, "kev3SimLoad");
        Bind(FApply, "kev3SimApply");
        Bind(FAdvance, "kev3SimAdvance");
        Bind(FNow, "kev3SimNow");
        Bind(FOpenDevices, "kev3SimOpenDevices");
        Bind(FTrace, "kev3SimTrace");
        Bind(FClearTrace, "kev3SimClearTrace");
    }

    // Each returns 0, or the number of the scenario's first bad line.
    int Reset() const { return FReset(); }
    int Load(const std::string& Scenario) const { return FLoad(Scenario.c_str()); }
    int Apply(const std::string& Scenario) const { return FApply(Scenario.c_str()); }

    void Advance(int Ms) const { FAdvance(Ms); }
    int64_t Now() const { return FNow(); }
    int OpenDevices() const { return FOpenDevices(); }
    void ClearTrace() const { FClearTrace(); }

    std::vector<std::string> Trace() const {
        std::string text(static_cast<std::size_t>(FTrace(nullptr, 0)) + 1, '\0');
        text.resize(static_cast<std::size_t>(FTrace(text.data(), static_cast<int32_t>(text.size()))));
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < text.size();) {
            const auto end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    // Trace lines that begin with Prefix.
    int Calls(std::string_view Prefix) const {
        int count = 0;
        for (const auto& line : Trace()) {
            count += line.starts_with(Prefix) ? 1 : 0;
        }
        return count;
    }

private:
    template <typename Entry>
    void Bind(Entry& Target, const char* Name) {
        Target = reinterpret_cast<Entry>(FLibrary->Entry(Name));
        if (Target == nullptr) {
            throw std::runtime_error(std::string("the simulated libTalvoKEV3.so lacks ") + Name);
        }
    }

    std::unique_ptr<platform::DynamicLibrary> FLibrary;
    decltype(&kev3SimReset) FReset = nullptr;
    decltype(&kev3SimLoad) FLoad = nullptr;
    decltype(&kev3SimApply) FApply = nullptr;
    decltype(&kev3SimAdvance) FAdvance = nullptr;
    decltype(&kev3SimNow) FNow = nullptr;
    decltype(&kev3SimOpenDevices) FOpenDevices = nullptr;
    decltype(&kev3SimTrace) FTrace = nullptr;
    decltype(&kev3SimClearTrace) FClearTrace = nullptr;
};

}  // namespace sim
