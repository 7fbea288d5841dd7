#include "sim/mifare_reader_sim.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

constexpr char Soh = 0x01;
constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr uint8_t AuthenticateKeyA = 0x60;
const TMifareReaderSim::TKey DefaultKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

char CheckCharacter(std::string_view Bytes) {
    unsigned char check = 0;
    for (const char c : Bytes) {
        check ^= static_cast<unsigned char>(c);
    }
    return static_cast<char>(check | 0x20);
}

// Requests carry upper-case digits only.
int UpperHexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<uint8_t> HexByte(std::string_view Pair) {
    const int high = UpperHexDigit(Pair[0]);
    const int low = UpperHexDigit(Pair[1]);
    if (high < 0 || low < 0) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(high << 4 | low);
}

std::optional<std::vector<uint8_t>> HexBytes(std::string_view Text) {
    if (Text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < Text.size(); i += 2) {
        const auto byte = HexByte(Text.substr(i, 2));
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(*byte);
    }
    return bytes;
}

std::string Hex(const uint8_t* Bytes, std::size_t Count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < Count; ++i) {
        text += digits[Bytes[i] >> 4];
        text += digits[Bytes[i] & 0x0F];
    }
    return text;
}

template <typename Container>
std::string Hex(const Container& Bytes) {
    return Hex(Bytes.data(), Bytes.size());
}

const std::string Ok = "OK";
const std::string Error = "ERROR";

// A value block: value, its inverse, value; address, inverse, address, inverse.
std::optional<int32_t> ValueOf(const TMifareReaderSim::TBlock& Block) {
    for (int i = 0; i < 4; ++i) {
        if (Block[i] != Block[8 + i] || Block[i] != static_cast<uint8_t>(~Block[4 + i])) {
            return std::nullopt;
        }
    }
    if (Block[12] != Block[14] || Block[13] != Block[15] || Block[12] != static_cast<uint8_t>(~Block[13])) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | Block[i];
    }
    return static_cast<int32_t>(value);
}

TMifareReaderSim::TBlock ValueBlock(int32_t Value, uint8_t Address) {
    TMifareReaderSim::TBlock block{};
    const auto bits = static_cast<uint32_t>(Value);
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<uint8_t>(bits >> (8 * i));
        block[i] = byte;
        block[4 + i] = static_cast<uint8_t>(~byte);
        block[8 + i] = byte;
    }
    block[12] = block[14] = Address;
    block[13] = block[15] = static_cast<uint8_t>(~Address);
    return block;
}

}  // namespace

TMifareReaderSim::TMifareReaderSim(uint8_t Address) : FAddress(Address) {
    for (std::size_t i = 0; i < FMcuUid.size(); ++i) {
        FMcuUid[i] = static_cast<uint8_t>(0x30 + i);
    }
}

void TMifareReaderSim::InsertClassic(ECardKind Kind, const std::vector<uint8_t>& Uid) {
    if (Kind != ECardKind::Classic1K && Kind != ECardKind::Classic4K) {
        throw std::invalid_argument("InsertClassic needs a Classic card kind");
    }
    FCard = Kind;
    FUid = Uid;
    FBlocks.assign(Kind == ECardKind::Classic1K ? 64 : 256, TBlock{});
    std::copy(Uid.begin(), Uid.begin() + static_cast<long>(std::min<std::size_t>(Uid.size(), 16)), FBlocks[0].begin());
    for (std::size_t block = 0; block < FBlocks.size(); ++block) {
        if (IsTrailer(static_cast<uint8_t>(block))) {
            TBlock& trailer = FBlocks[block];
            std::copy(DefaultKey.begin(), DefaultKey.end(), trailer.begin());
            const uint8_t access[4] = {0xFF, 0x07, 0x80, 0x69};
            std::copy(access, access + 4, trailer.begin() + 6);
            std::copy(DefaultKey.begin(), DefaultKey.end(), trailer.begin() + 10);
        }
    }
}

void TMifareReaderSim::InsertUltralight(const std::vector<uint8_t>& Uid) {
    FCard = ECardKind::Ultralight;
    FUid = Uid;
    FBlocks.clear();
    FPages = {};
    for (std::size_t i = 0; i < Uid.size() && i < 8; ++i) {
        FPages[i / 4][i % 4] = Uid[i];
    }
}

void TMifareReaderSim::RemoveCard() {
    FCard = ECardKind::None;
    FUid.clear();
    FBlocks.clear();
}

TMifareReaderSim::TBlock& TMifareReaderSim::Block(uint8_t Absolute) { return FBlocks.at(Absolute); }

std::array<uint8_t, 4>& TMifareReaderSim::Page(uint8_t Number) { return FPages.at(Number); }

std::optional<TMifareReaderSim::TKey> TMifareReaderSim::StoredKey(uint8_t Slot, uint8_t KeyType) const {
    return FSlots.at(Slot).Keys[KeyType & 1];
}

std::string TMifareReaderSim::Exchange(std::string_view Request) {
    const std::size_t size = Request.size();
    if (size < 9 || Request[0] != Soh || Request[1] != 'S' || Request[6] != Stx || Request[size - 2] != Etx ||
        CheckCharacter(Request.substr(0, size - 1)) != Request[size - 1]) {
        return {};
    }
    const auto address = HexByte(Request.substr(2, 2));
    const auto command = HexByte(Request.substr(4, 2));
    if (!address || !command || *address != FAddress || Faults.Silence) {
        return {};
    }
    const std::string raw(Request.substr(7, size - 9));
    const TReply reply = Faults.ErrorAnswers ? TReply{Error, false} : Handle(*command, raw);
    return Frame(*command, reply);
}

std::string TMifareReaderSim::Frame(uint8_t Command, const TReply& Reply) const {
    const uint8_t address = Faults.OtherAddress ? static_cast<uint8_t>(FAddress + 1) : FAddress;
    const uint8_t command = Faults.OtherCommand ? static_cast<uint8_t>(Command + 1) : Command;
    std::string head = Hex(&address, 1) + Hex(&command, 1);
    std::string text = Reply.Text;
    if (Faults.LowerCaseHex) {
        const auto lower = [](std::string& s) {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; });
        };
        lower(head);
        if (Reply.Data) {
            lower(text);
        }
    }
    std::string frame = std::string(1, Soh) + (Faults.UpperCaseS ? 'S' : 's') + head + Stx + text + Etx;
    char check = CheckCharacter(frame);
    if (Faults.BadCheck) {
        check = static_cast<char>(check ^ 0x01);
    }
    frame += check;
    if (Faults.TrailingCrLf) {
        frame += "\r\n";
    }
    return frame;
}

TMifareReaderSim::TReply TMifareReaderSim::Handle(uint8_t Command, const std::string& Raw) {
    if (Command == 0xEE) {
        if (Raw.size() != FReaderUid.size()) {
            return {Error, false};
        }
        FReaderUid = Raw;
        return {Ok, false};
    }
    const auto parsed = HexBytes(Raw);
    if (!parsed) {
        return {Error, false};
    }
    const std::vector<uint8_t>& data = *parsed;
    const auto sized = [&data](std::size_t n) { return data.size() == n; };
    const bool classic = FCard == ECardKind::Classic1K || FCard == ECardKind::Classic4K;
    switch (Command) {
        case 0xA1:
            if (!sized(0)) {
                break;
            }
            if (FCard == ECardKind::None) {
                return {"", false};
            }
            {
                std::string code = Hex(FUid);
                code = std::string(16 - std::min<std::size_t>(16, code.size()), '0') + code.substr(0, 16);
                return {"R" + code, true};
            }
        case 0x20:
            if (!sized(0)) {
                break;
            }
            return {Hex(FUid), true};
        case 0x43:
            return sized(0) ? TReply{Hex(FSettings), true} : TReply{Error, false};
        case 0x42:
            if (!sized(17)) {
                break;
            }
            std::copy(data.begin(), data.end(), FSettings.begin());
            return {Ok, false};
        case 0xEF:
            return sized(0) ? TReply{Hex(FMcuUid), true} : TReply{Error, false};
        case 0x21:
        case 0x22:
            if (!sized(7) || !classic) {
                break;
            }
            return ReadClassic(data[0], Command - 0x21, &data[1]);
        case 0x23:
        case 0x24:
            if (!sized(23) || !classic) {
                break;
            }
            return WriteClassic(data[0], Command - 0x23, &data[1], &data[7]);
        case 0xF4:
        case 0xF5:
        case 0xF6:
            if (!sized(20) || !classic) {
                break;
            }
            return ValueOperation(Command, data);
        case 0x2A:
        case 0x2B:
            if (!sized(7) || data[0] >= FSlots.size()) {
                break;
            }
            FSlots[data[0]].Keys[Command - 0x2A].emplace();
            std::copy(data.begin() + 1, data.end(), FSlots[data[0]].Keys[Command - 0x2A]->begin());
            return {Ok, false};
        case 0x2C:
            if (!sized(1) || data[0] >= FSlots.size()) {
                break;
            }
            FSlots[data[0]] = TSlot{};
            return {Ok, false};
        case 0x25:
            if (!sized(1) || !classic) {
                break;
            }
            return WithStoredKeys(data[0], nullptr);
        case 0x2D:
            if (!sized(17) || !classic) {
                break;
            }
            return WithStoredKeys(data[0], &data[1]);
        case 0x38:
            if (!sized(1) || FCard != ECardKind::Ultralight || data[0] >= FPages.size()) {
                break;
            }
            return {Hex(FPages[data[0]]), true};
        case 0x39:
            if (!sized(17) || FCard != ECardKind::Ultralight || data[0] < 4 || data[0] >= FPages.size()) {
                break;
            }
            std::copy(data.begin() + 1, data.begin() + 5, FPages[data[0]].begin());
            return {Ok, false};
        default:
            break;
    }
    return {Error, false};
}

bool TMifareReaderSim::IsTrailer(uint8_t Block) const { return TrailerOf(Block) == Block; }

uint8_t TMifareReaderSim::TrailerOf(uint8_t Block) const {
    return static_cast<uint8_t>(Block < 128 ? (Block | 3) : (Block | 15));
}

bool TMifareReaderSim::Authenticate(uint8_t Block, uint8_t KeyType, const uint8_t* Key) const {
    if (Block >= FBlocks.size() || KeyType > 1) {
        return false;
    }
    const TBlock& trailer = FBlocks[TrailerOf(Block)];
    return std::memcmp(trailer.data() + (KeyType == 0 ? 0 : 10), Key, 6) == 0;
}

TMifareReaderSim::TReply TMifareReaderSim::ReadClassic(uint8_t Block, uint8_t KeyType, const uint8_t* Key) {
    if (!Authenticate(Block, KeyType, Key)) {
        return {Error, false};
    }
    TBlock block = FBlocks[Block];
    if (IsTrailer(Block)) {
        std::fill(block.begin(), block.begin() + 6, 0);
    }
    return {Hex(block), true};
}

TMifareReaderSim::TReply TMifareReaderSim::WriteClassic(uint8_t Block, uint8_t KeyType, const uint8_t* Key,
                                                        const uint8_t* Data) {
    if (Block == 0 || !Authenticate(Block, KeyType, Key)) {
        return {Error, false};
    }
    std::copy(Data, Data + 16, FBlocks[Block].begin());
    return {Ok, false};
}

TMifareReaderSim::TReply TMifareReaderSim::ValueOperation(uint8_t Command, const std::vector<uint8_t>& Data) {
    const uint8_t source = Data[0];
    const uint8_t target = Data[12];
    const auto keyType = [](uint8_t code) { return static_cast<uint8_t>(code - AuthenticateKeyA); };
    if (!Authenticate(source, keyType(Data[1]), &Data[2]) || !Authenticate(target, keyType(Data[13]), &Data[14]) ||
        IsTrailer(source) || IsTrailer(target) || target == 0) {
        return {Error, false};
    }
    const auto value = ValueOf(FBlocks[source]);
    if (!value) {
        return {Error, false};
    }
    uint32_t operand = 0;
    for (int i = 3; i >= 0; --i) {
        operand = operand << 8 | Data[8 + i];
    }
    auto result = static_cast<uint32_t>(*value);
    if (Command == 0xF4) {
        result += operand;
    } else if (Command == 0xF5) {
        result -= operand;
    }
    FBlocks[target] = ValueBlock(static_cast<int32_t>(result), FBlocks[source][12]);
    return {Ok, false};
}

TMifareReaderSim::TReply TMifareReaderSim::WithStoredKeys(uint8_t Block, const uint8_t* Data) {
    const uint8_t sector = Block < 128 ? Block / 4 : static_cast<uint8_t>(32 + (Block - 128) / 16);
    for (uint8_t keyType = 0; keyType < 2; ++keyType) {
        const auto& key = FSlots[sector].Keys[keyType];
        if (key && Authenticate(Block, keyType, key->data())) {
            return Data == nullptr ? ReadClassic(Block, keyType, key->data())
                                   : WriteClassic(Block, keyType, key->data(), Data);
        }
    }
    return {Error, false};
}

}  // namespace sim
