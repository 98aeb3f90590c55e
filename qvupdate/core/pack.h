// The update pack file: a kind byte, a flag byte, five u32 little-endian
// section lengths, then the five sections back to back.
//
//   offset 0   kind (accepted up to 0x6F)
//   offset 1   flags (accepted up to 31): 0x10 firmware, 0x08 voice,
//              0x04 language, 0x02 configuration
//   offset 2   L1..L5
//   offset 22  firmware, voice, language, configuration text, extra
//
// The reader trusts no length: a file shorter than the sections it declares,
// or lengths whose sum does not fit 32 bits or a section too long to send, is
// refused before a byte of it is used, and nothing past the file is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvupdate {

inline constexpr std::size_t kPackHeaderSize = 22;
inline constexpr std::uint8_t kMaxPackKind = 0x6F;
inline constexpr std::uint8_t kMaxPackFlags = 31;

enum PackSection : std::size_t { kFirmware = 0, kVoice, kLanguage, kConfig, kExtra };
inline constexpr std::size_t kPackSections = 5;
// Flag bit of each section (the extra section has none).
inline constexpr std::array<std::uint8_t, kPackSections> kSectionFlag = {0x10, 0x08, 0x04, 0x02,
                                                                         0x00};

struct Pack {
    std::uint8_t kind = 0;
    std::uint8_t flags = 0;
    std::array<std::vector<std::uint8_t>, kPackSections> sections;

    // Kind and flags in the range the tool installs.
    bool Accepted() const { return kind <= kMaxPackKind && flags <= kMaxPackFlags; }
    // A section is applied only when its flag is set and it holds more than 4 bytes.
    bool Applies(PackSection s) const {
        return (flags & kSectionFlag[s]) != 0 && kSectionFlag[s] != 0 && sections[s].size() > 4;
    }
};

enum class PackError {
    None,
    Missing,     // no such file
    Unreadable,  // cannot be opened or read
    Short,       // shorter than its header or its declared sections
    Overflow,    // lengths that overflow or a section too long to send
};

struct PackRead {
    PackError error = PackError::None;
    Pack pack;
    std::string message;  // what is wrong, for people; empty on success
};

// Reads a pack held in memory.
PackRead ParsePack(std::span<const std::uint8_t> bytes);
// Reads a pack file. The file's size is checked against the header before
// the sections are read, so a lying header costs no memory.
PackRead ReadPackFile(const std::string& path);

// The bytes of a pack (qvpack's writer). Flags are the caller's.
std::vector<std::uint8_t> BuildPack(const Pack& pack);

}  // namespace qvupdate
