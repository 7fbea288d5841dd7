#pragma once

#include <span>
#include <string>
#include <vector>

namespace reader {

// A byte channel to one reader: select a port by name, open, move bytes,
// close, and list the ports there are.
class TVOXAChannel {
public:
    TVOXAChannel() = default;
    virtual ~TVOXAChannel() = default;
    TVOXAChannel(const TVOXAChannel&) = delete;
    TVOXAChannel& operator=(const TVOXAChannel&) = delete;

    virtual void SetPort(const std::string& Name) = 0;
    virtual void GetPort(std::string& Name) const = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Configure(const std::string& Settings) = 0;
    virtual bool IsAvailable() const = 0;
    // Reads at most Buffer.size() bytes; returns how many came.
    virtual int Read(std::span<char> Buffer, int TimeoutMs) = 0;
    // Returns how many bytes were written.
    virtual int Write(std::span<const char> Buffer) = 0;
    virtual void PortDisplayName(std::string& Name) const = 0;
    virtual void EnumPorts(std::vector<std::string>& List) = 0;
    virtual int QueryIndex(const std::string& S) = 0;
    virtual int QueryType(const std::string& S) = 0;
};

}  // namespace reader
