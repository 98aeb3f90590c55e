// The firmware text file: an image packed as lines of hexadecimal text.
//
//   FirmwareVersion=Ver 6.61 Apr 16 2011        (terminals without "~OS")
//   PLT300_FirmwareVersion=Ver 2.10 May 02 2012 (terminals with "~OS")
//   FirmwareLength=<decimal L>
//   FirmwareCheckSum=<decimal S>
//   Data0=<hex>
//   Data1=<hex> ...
//
// Version lines count only before both header lines; data lines only after
// both, and only in order (Data0 first, then Data1, ...; another number is
// skipped). Any other line is ignored. A CR LF line end reads as one LF.
//
// A data line's hex text is everything after "DataN=" up to the end of the
// line, its line break included: it yields length / 2 bytes, high digit
// first, and one pair that is not a digit makes the whole line yield nothing.
// So a line with an odd number of digits and a line break decodes nothing
// (its last pair holds the break), while a last line without a break loses
// only its odd digit. A digit is read by its code: from 'a' up code - 87,
// from 'A' up code - 55, below 'A' code - 48; values 0-15 are digits.
//
// The image is accepted when it holds exactly L bytes (L > 0) and its
// checksum (RFC 1071: the complement of the folded one's-complement sum of
// little-endian 16-bit words, an odd last byte taken as its own value)
// equals S.
//
// Choices of this reader where a file is malformed, each a rejection:
//   - a line longer than 4000 characters (line break not counted);
//   - a version text (after the '=', without its line break) of 100 bytes or
//     more; the line break is never part of the version compared;
//   - "FirmwareLength=" or "FirmwareCheckSum=" given twice;
//   - a length that is not a positive 32-bit number, or more bytes than the
//     file's text could ever hold (two characters per byte).
// Data that runs past L is cut at L: the image area is never overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tl {

enum class FirmwareVerdict {
    Ok,
    WrongPlatform,   // the version key is the other platform family's
    NotNewer,        // the version is not later than the terminal's
    VersionTooLong,  // a version text of 100 bytes or more
    LineTooLong,     // a line longer than 4000 characters
    RepeatedHeader,  // a length or checksum line given twice
    BadLength,       // no usable length
    ShortData,       // fewer image bytes than the length
    BadChecksum,     // the checksum differs from the file's
};

const char* FirmwareVerdictText(FirmwareVerdict verdict);

// What the version lines are checked against: the session's "~OS" flag and
// its normalised firmware version. Without a terminal (null) no version line
// is checked.
struct FirmwareTarget {
    bool hasOSOption = false;
    const char* firmwareVersion = "";  // normalised, NUL-terminated
};

struct FirmwareFile {
    FirmwareVerdict verdict = FirmwareVerdict::BadLength;
    std::string version;                // the last version text seen (as in the file)
    std::int64_t length = 0;            // L
    std::int64_t declaredChecksum = 0;  // S
    std::uint16_t checksum = 0;         // of the image, when it was complete
    std::vector<std::uint8_t> image;    // L bytes when the verdict is Ok
};

constexpr std::size_t kFirmwareLineMax = 4000;
constexpr std::size_t kFirmwareVersionArea = 100;

FirmwareFile ParseFirmware(std::string_view text, const FirmwareTarget* target);

// RFC 1071 checksum of `size` bytes taken as little-endian 16-bit words.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

// Value of one hex digit by the rule above; -1 when it is not one.
int FirmwareHexDigit(unsigned char c);

}  // namespace tl
