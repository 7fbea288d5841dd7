#include "ftdi_htrc.h"

#include <algorithm>
#include <span>

#include "reader/talvo_timer.h"

namespace reader {

namespace {

constexpr uint8_t AsyncBitBang = FT_MODE_ASYNC_BITBANG;
constexpr uint8_t SyncBitBang = FT_MODE_SYNC_BITBANG;
constexpr uint8_t ReadPhaseCommand = 0x08;
constexpr uint8_t LatencyMs = 16;
constexpr const char* NoDeviceMessage = "Error: You must show which device...";
constexpr const char* InitFailedMessage = "Error: Cannot init HTRC device ...";

// Runs an action when the scope is left, on every way out.
template <typename F>
class TOnExit {
public:
    explicit TOnExit(F Action) : FAction(std::move(Action)) {}
    ~TOnExit() { FAction(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

private:
    F FAction;
};

}  // namespace

TEmPolarity TKev2Polarities::Get(const std::string& Serial) const {
    const auto known = FKnown.find(Serial);
    return known == FKnown.end() ? TEmPolarity::Unknown : known->second;
}

void TKev2Polarities::Learn(const std::string& Serial, TEmPolarity Polarity) {
    if (Polarity != TEmPolarity::Unknown) {
        FKnown[Serial] = Polarity;
    }
}

void TKev2Polarities::KeepOnly(const std::vector<std::string>& Serials) {
    std::erase_if(FKnown, [&](const auto& Known) {
        return std::find(Serials.begin(), Serials.end(), Known.first) == Serials.end();
    });
}

TKev2Polarities& Kev2Polarities() {
    static TKev2Polarities polarities;
    return polarities;
}

TFTDI_HTRC::TFTDI_HTRC(const TD2XXEntries& Entries, platform::Sleeper& Sleep) : TD2XXObject(Entries), FSleep(Sleep) {}

uint8_t TFTDI_HTRC::PinMask(int Pin) { return Pin >= 0 && Pin <= 7 ? static_cast<uint8_t>(1U << Pin) : 0; }

uint8_t TFTDI_HTRC::Pins(bool Sclk, bool Din) const {
    return static_cast<uint8_t>(PinMask(DoutPin) | (Sclk ? PinMask(SclkPin) : 0) | (Din ? PinMask(DinPin) : 0));
}

uint8_t TFTDI_HTRC::OutputMask() const { return static_cast<uint8_t>(PinMask(SclkPin) | PinMask(DinPin)); }

int TFTDI_HTRC::PutSample(int Pos, uint8_t Value) {
    if (Pos < 0 || Pos >= static_cast<int>(BufferSize)) {
        return 0;
    }
    TxBuffer()[static_cast<std::size_t>(Pos)] = Value;
    return Pos + 1;
}

bool TFTDI_HTRC::SendAll(int Count) { return SendBytes(Count) == Count; }

bool TFTDI_HTRC::StartCondition() {
    SetBitMode(OutputMask(), AsyncBitBang);
    int pos = PutSample(0, Pins(false, false));
    pos = PutSample(pos, Pins(true, false));
    pos = PutSample(pos, Pins(true, true));
    pos = PutSample(pos, Pins(false, true));
    return SendAll(pos);
}

bool TFTDI_HTRC::SendCommand(uint8_t B) {
    if (!StartCondition()) {
        return false;
    }
    int pos = 0;
    for (int bit = 7; bit >= 0; --bit) {
        const bool din = ((B >> bit) & 1) != 0;
        pos = PutSample(pos, Pins(false, din));
        pos = PutSample(pos, Pins(true, din));
        pos = PutSample(pos, Pins(false, din));
    }
    return SendAll(pos);
}

bool TFTDI_HTRC::ReadByte(uint8_t& B) {
    SetBitMode(OutputMask(), SyncBitBang);
    int pos = 0;
    for (int bit = 0; bit < 8; ++bit) {
        pos = PutSample(pos, Pins(true, true));
        pos = PutSample(pos, Pins(false, true));
    }
    if (!SendAll(pos) || ReadBytes(pos) != pos) {
        return false;
    }
    B = 0;
    for (int i = 1; i < pos; i += 2) {
        B = static_cast<uint8_t>((B << 1) |
                                 ((RxBuffer()[static_cast<std::size_t>(i)] & PinMask(DoutPin)) != 0 ? 1 : 0));
    }
    return true;
}

bool TFTDI_HTRC::ReadTag() {
    if (!StartCondition()) {
        return false;
    }
    int pos = 0;
    for (int bit = 0; bit < 3; ++bit) {
        pos = PutSample(pos, Pins(true, true));
        pos = PutSample(pos, Pins(false, true));
    }
    return SendAll(pos);
}

bool TFTDI_HTRC::SetConfigPage(int Page, int Data) {
    return SendCommand(static_cast<uint8_t>(0x40 | ((Page & 3) << 4) | (Data & 0x0F)));
}

bool TFTDI_HTRC::SetSamplingTime(int Value) { return SendCommand(static_cast<uint8_t>(0x80 | (Value & 0x3F))); }

bool TFTDI_HTRC::ReadPhase(uint8_t& Phase) { return SendCommand(ReadPhaseCommand) && ReadByte(Phase); }

bool TFTDI_HTRC::OpenForHtrc(const std::string& Serial) {
    if (Open_USB_Device_By_Serial_Number(Serial) != FT_OK) {
        return false;
    }
    BaudRate = 9600;
    FlowControl = 0;
    XonChar = 0x11;
    XoffChar = 0x13;
    if (SetBaudRate() != FT_OK || SetFlowControl() != FT_OK || SetLatency(LatencyMs) != FT_OK) {
        CloseDevice();
        return false;
    }
    return true;
}

bool TFTDI_HTRC::CloseHtrc() { return CloseDevice() == FT_OK; }

bool TFTDI_HTRC::InitSequence() {
    SetBitMode(OutputMask(), AsyncBitBang);
    PutSample(0, Pins(true, true));
    if (!SendAll(1)) {
        return false;
    }
    if (!SetConfigPage(3, ConfigPage3) || !SetConfigPage(0, ConfigPage0) || !SetConfigPage(1, ConfigPage1)) {
        return false;
    }
    FSleep.SleepMs(10);
    uint8_t phase = 0;
    if (!ReadPhase(phase)) {
        return false;
    }
    const int chosen = PhaseOverride >= 0 && PhaseOverride <= 255 ? PhaseOverride : phase;
    if (!SetSamplingTime((2 * chosen + 63) & 0xFF) || !SetConfigPage(2, 0x0B)) {
        return false;
    }
    FSleep.SleepMs(20);
    if (!SetConfigPage(2, 0x08)) {
        return false;
    }
    FSleep.SleepMs(5);
    return SetConfigPage(2, 0x00);
}

bool TFTDI_HTRC::InitHtrc(const std::string& Serial) {
    if (!OpenForHtrc(Serial)) {
        return false;
    }
    const bool initialised = InitSequence();
    const bool closed = CloseHtrc();
    return initialised && closed;
}

bool TFTDI_HTRC::Capture() {
    FSampleCount = ReadBytes(HtrcCaptureLength);
    return FSampleCount == HtrcCaptureLength;
}

bool TFTDI_HTRC::Classify(std::string& Code, int T) {
    const std::span<const uint8_t> samples(RxBuffer().data(), static_cast<std::size_t>(std::max(FSampleCount, 0)));
    return FDecoder.Classify(samples, PinMask(DoutPin), T, Code);
}

bool TFTDI_HTRC::ReadCard(const std::string& Serial, std::string& Code, int Attempts) {
    if (!OpenForHtrc(Serial)) {
        return false;
    }
    const TOnExit close([this] { CloseHtrc(); });
    if (PurgeTX() != FT_OK || PurgeRX() != FT_OK || !ReadTag()) {
        return false;
    }
    SetBitMode(OutputMask(), AsyncBitBang);
    FDecoder.SetReaderPolarity(Kev2Polarities().Get(Serial));
    const int attempts = std::clamp(Attempts, 1, 10);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!Capture()) {
            return false;
        }
        for (const int threshold : HtrcThresholds) {
            std::string first;
            if (!Classify(first, threshold)) {
                continue;
            }
            if (DoubleRead) {
                std::string second;
                if (!Capture() || !Classify(second, threshold) || second != first) {
                    return false;
                }
            }
            Kev2Polarities().Learn(Serial, FDecoder.ProvenPolarity());
            Code = first;
            return true;
        }
    }
    return false;
}

void TKEV2Utils::SetReaderPower(const std::string& Serial, bool Off, const TD2XXEntries& Entries) {
    if (Serial.empty()) {
        throw EFTDIError(NoDeviceMessage, 2);
    }
    TFTDIUtils::WriteCBUS(Serial, 8, Off ? 0 : 8, Entries);
}

void TKEV2Utils::ReadCodeKev2(const std::string& Serial, int TimeoutMs, bool DoubleRead, std::string& Code,
                              const TReaderTiming& Timing, const TD2XXEntries& Entries) {
    Code.clear();
    if (Serial.empty()) {
        throw EFTDIError(NoDeviceMessage, 2);
    }
    SetReaderPower(Serial, false, Entries);
    const TOnExit powerOff([&] { TFTDIUtils::WriteCBUS(Serial, 8, 0, Entries); });
    TFTDI_HTRC device(Entries, Timing.Sleep);
    const TTalvoTimer timer(TimeoutMs, Timing.Clock);
    do {
        if (TimeoutMs > 0 && !device.InitHtrc(Serial)) {
            throw EFTDIError(InitFailedMessage, 3);
        }
        device.DoubleRead = DoubleRead;
        std::string code;
        if (device.ReadCard(Serial, code)) {
            Code = code;
            break;
        }
    } while (!timer.Expired());
}

}  // namespace reader
