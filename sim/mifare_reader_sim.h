#pragma once

// A simulated Mifare card reader for the card library's tests and example. It
// takes request frames as a reader's serial line would and gives the answer
// frame, with a reader state (address, settings block, identifiers, stored
// key slots) and a card in its field. It parses requests with its own code,
// not the card library's, so a fault in the library's codec cannot be
// mirrored here.
//
// Where a real reader's behaviour is not pinned down, the simulator assumes:
// - A request that is not a well-formed frame (no SOH, no 'S', STX or ETX out
//   of place, wrong check character, non-hex or lower-case address or command
//   digits) and a request for another address get no answer at all.
// - A well-formed request whose data field is not upper-case hex pairs, has
//   the wrong number of bytes for its command, or names a command the reader
//   does not know is answered "ERROR".
// - No card in the field: the card-code read (A1) and the card ID read (20)
//   answer with an empty data field; every card operation answers "ERROR".
// - The card code (A1) is 'R' and the card's UID as 16 hex digits, zero-padded
//   on the left.
// - Mifare Classic: a fresh card has all data blocks zero and in every sector
//   trailer key A = key B = FF FF FF FF FF FF with access bytes FF 07 80 69.
//   Access bits are not modelled: either key of the sector opens every block
//   for reading and writing. A sector trailer reads back with key A as zeros.
//   Block 0 (the manufacturer block) cannot be written.
// - Value operations check both keys, need a well-formed value block at the
//   source, and write the result as a value block with the source's address
//   byte into the transfer block (never block 0 or a sector trailer).
//   Arithmetic wraps as 32-bit two's complement.
// - Stored keys: slot N holds the keys of sector N (slot 40 belongs to no
//   sector). A stored-key read or write tries the slot's key A, then its key B.
//   Deleting a slot clears both keys.
// - Mifare Ultralight: 16 pages of 4 bytes; a read answers the one page
//   asked for; pages 0 to 3 (serial number, lock and one-time bytes) cannot
//   be written; of the 16 bytes of a write only the first 4 are used.
// - Settings: a write stores the 17 bytes as sent; a read returns them.
// - The reader identifier (EE) is stored as the 16 characters sent.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class ECardKind { None, Classic1K, Classic4K, Ultralight };

// Faults the reader can show. Several may be on at once.
struct TMifareReaderFaults {
    bool Silence = false;       // no answer at all
    bool BadCheck = false;      // the check character is wrong
    bool UpperCaseS = false;    // 'S' instead of 's' in the answer
    bool OtherAddress = false;  // the answer names address + 1
    bool OtherCommand = false;  // the answer names command + 1
    bool LowerCaseHex = false;  // hex digits of address, command and data in lower case
    bool TrailingCrLf = false;  // CR LF after the check character
    bool ErrorAnswers = false;  // "ERROR" to every request
};

class TMifareReaderSim {
public:
    using TBlock = std::array<uint8_t, 16>;
    using TKey = std::array<uint8_t, 6>;

    explicit TMifareReaderSim(uint8_t Address);

    // Takes one request frame; returns the answer frame, empty for silence.
    std::string Exchange(std::string_view Request);

    // Puts a fresh card in the field (replacing any other).
    void InsertClassic(ECardKind Kind, const std::vector<uint8_t>& Uid);
    void InsertUltralight(const std::vector<uint8_t>& Uid);
    void RemoveCard();

    TMifareReaderFaults Faults;

    // The state, for tests to set up and inspect.
    TBlock& Block(uint8_t Absolute);
    std::array<uint8_t, 4>& Page(uint8_t Number);
    std::array<uint8_t, 17>& Settings() { return FSettings; }
    std::array<uint8_t, 16>& McuUid() { return FMcuUid; }
    const std::string& ReaderUid() const { return FReaderUid; }
    std::optional<TKey> StoredKey(uint8_t Slot, uint8_t KeyType) const;

private:
    struct TReply {
        std::string Text;
        bool Data;  // hex data rather than a word such as "OK"
    };
    struct TSlot {
        std::optional<TKey> Keys[2];
    };

    TReply Handle(uint8_t Command, const std::string& Raw);
    TReply ReadClassic(uint8_t Block, uint8_t KeyType, const uint8_t* Key);
    TReply WriteClassic(uint8_t Block, uint8_t KeyType, const uint8_t* Key, const uint8_t* Data);
    TReply ValueOperation(uint8_t Command, const std::vector<uint8_t>& Data);
    TReply WithStoredKeys(uint8_t Block, const uint8_t* Data);
    bool Authenticate(uint8_t Block, uint8_t KeyType, const uint8_t* Key) const;
    bool IsTrailer(uint8_t Block) const;
    uint8_t TrailerOf(uint8_t Block) const;
    std::string Frame(uint8_t Command, const TReply& Reply) const;

    uint8_t FAddress;
    std::array<uint8_t, 17> FSettings{};
    std::array<uint8_t, 16> FMcuUid{};
    std::string FReaderUid = "0000000000000000";
    std::array<TSlot, 41> FSlots{};
    ECardKind FCard = ECardKind::None;
    std::vector<uint8_t> FUid;
    std::vector<TBlock> FBlocks;
    std::array<std::array<uint8_t, 4>, 16> FPages{};
};

}  // namespace sim
