#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/monotonic_clock.h"
#include "platform/sleeper.h"
#include "reader/d2xx_object.h"
#include "reader/em_decoder.h"

namespace reader {

// Where the KEV-2 path takes its time from and how it waits.
struct TReaderTiming {
    const platform::MonotonicClock& Clock = platform::SystemClock();
    platform::Sleeper& Sleep = platform::SystemSleeper();
};

// Replaces the phase the chip measures whenever it lies in 0..255.
constexpr int PhaseOverride = 247;
// Decoder thresholds in samples, tried in this order.
constexpr std::array<int, 5> HtrcThresholds = {23, 21, 19, 25, 27};
constexpr int HtrcCaptureLength = 8704;

// The DOUT polarity of each KEV-2 reader, by serial number, as its
// unambiguous reads proved it. A reader keeps its polarity while it is
// plugged in, so what was learned settles the codes whose signal reads as
// another code when inverted.
class TKev2Polarities {
public:
    TEmPolarity Get(const std::string& Serial) const;
    void Learn(const std::string& Serial, TEmPolarity Polarity);
    // Forgets the readers that are not among Serials: they left the list.
    void KeepOnly(const std::vector<std::string>& Serials);

private:
    std::map<std::string, TEmPolarity> FKnown;
};

// The program's memory of reader polarities, kept for the run.
TKev2Polarities& Kev2Polarities();

// An FTDI device driving an HTRC reader chip through bit-bang mode: the
// chip's three-wire interface on data-bus pins, configuration, read-tag mode
// and the capture and decoding of the card signal on DOUT.
class TFTDI_HTRC : public TD2XXObject {
public:
    explicit TFTDI_HTRC(const TD2XXEntries& Entries = D2XX().Entries(),
                        platform::Sleeper& Sleep = platform::SystemSleeper());

    // Stores Value at Pos of the transmit buffer and returns Pos + 1; a
    // position outside the buffer stores nothing and returns 0.
    int PutSample(int Pos, uint8_t Value);

    bool StartCondition();
    bool SendCommand(uint8_t B);
    bool ReadByte(uint8_t& B);
    bool ReadTag();
    bool SetConfigPage(int Page, int Data);
    // The value is limited to the command's six bits, so that no value turns
    // the command into the read-tag pattern.
    bool SetSamplingTime(int Value);
    bool ReadPhase(uint8_t& Phase);

    bool OpenForHtrc(const std::string& Serial);
    bool CloseHtrc();
    bool InitSequence();
    bool InitHtrc(const std::string& Serial);
    // Decodes with the polarity learned for Serial, and learns it from a
    // code that proves it.
    bool ReadCard(const std::string& Serial, std::string& Code, int Attempts = 2);

    bool Classify(std::string& Code, int T);
    bool Decode(std::string& Code) { return FDecoder.Decode(Code); }
    const std::string& Symbols() const { return FDecoder.Symbols(); }
    int SampleCount() const { return FSampleCount; }
    void SetSampleCount(int Count) { FSampleCount = Count; }

    int DinPin = 0;
    int DoutPin = 1;
    int SclkPin = 2;
    bool DoubleRead = false;
    uint8_t ConfigPage0 = 0x0B;
    uint8_t ConfigPage1 = 0x00;
    uint8_t ConfigPage3 = 0x03;

private:
    static uint8_t PinMask(int Pin);
    // A pin state byte: the given SCLK and DIN levels, DOUT set.
    uint8_t Pins(bool Sclk, bool Din) const;
    uint8_t OutputMask() const;
    // Sends the first Count bytes of the transmit buffer; true when all went.
    bool SendAll(int Count);
    // Captures one block of samples; true when it is complete.
    bool Capture();

    platform::Sleeper& FSleep;
    TEmDecoder FDecoder;
    int FSampleCount = 0;
};

// Static operations of a KEV-2 reader.
class TKEV2Utils {
public:
    // Switches the reader's power through CBUS3 (Off: low); an empty serial
    // number raises EFTDIError code 2.
    static void SetReaderPower(const std::string& Serial, bool Off, const TD2XXEntries& Entries = D2XX().Entries());
    // Reads one card code (10 hex digits, or empty) with the reader switched
    // on for the request only. With TimeoutMs > 0 the chip is initialised
    // before every read; failure raises EFTDIError code 3.
    static void ReadCodeKev2(const std::string& Serial, int TimeoutMs, bool DoubleRead, std::string& Code,
                             const TReaderTiming& Timing = {}, const TD2XXEntries& Entries = D2XX().Entries());
};

}  // namespace reader
