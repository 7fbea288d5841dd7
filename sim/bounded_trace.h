#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

namespace sim {

// A simulator's trace of the calls it answered: the newest lines only, so a
// demo that runs for days does not grow it without bound.
class TBoundedTrace {
public:
    static constexpr std::size_t Limit = 10000;

    void Add(std::string Line) {
        FLines.push_back(std::move(Line));
        if (FLines.size() > Limit) {
            FLines.pop_front();
        }
    }
    void Clear() { FLines.clear(); }
    std::size_t Size() const { return FLines.size(); }
    const std::string& operator[](std::size_t Index) const { return FLines[Index]; }
    auto begin() const { return FLines.begin(); }
    auto end() const { return FLines.end(); }

private:
    std::deque<std::string> FLines;
};

}  // namespace sim
