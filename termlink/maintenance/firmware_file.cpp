#include "maintenance/firmware_file.h"

#include <array>
#include <charconv>
#include <cstring>

#include "session/session.h"

namespace tl {
namespace {

constexpr std::string_view kVersionKey = "FirmwareVersion=";
constexpr std::string_view kOsVersionKey = "PLT300_FirmwareVersion=";
constexpr std::string_view kLengthKey = "FirmwareLength=";
constexpr std::string_view kChecksumKey = "FirmwareCheckSum=";

// Digit values by character code; 0x100 marks a character that is not one.
constexpr std::array<std::uint16_t, 256> MakeDigitTable() {
    std::array<std::uint16_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const int v = c >= 97 ? c - 87 : c >= 65 ? c - 55 : c - 48;
        t[static_cast<std::size_t>(c)] =
            v >= 0 && v <= 15 ? static_cast<std::uint16_t>(v) : std::uint16_t{0x100};
    }
    return t;
}
constexpr std::array<std::uint16_t, 256> kDigits = MakeDigitTable();

// Decodes the hex text into out[0, room) and checks every pair, also those
// past `room`. The number of bytes the text yields, or -1 when a pair is not
// two digits (the bytes written are then of no use).
std::int64_t DecodeHex(std::string_view hex, std::uint8_t* out, std::size_t room) {
    const std::size_t pairs = hex.size() / 2;
    const auto* p = reinterpret_cast<const unsigned char*>(hex.data());
    const std::size_t written = pairs < room ? pairs : room;
    unsigned bad = 0;
    for (std::size_t i = 0; i < written; ++i) {
        const unsigned v = (kDigits[p[2 * i]] << 4) | kDigits[p[2 * i + 1]];
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
    }
    for (std::size_t i = written; i < pairs; ++i) bad |= kDigits[p[2 * i]] | kDigits[p[2 * i + 1]];
    // A non-digit leaves bit 8 set (bit 12 for the high one).
    return (bad & 0x1100u) ? -1 : static_cast<std::int64_t>(pairs);
}

// The decimal value at the start of a header's value, read as the C library's
// atoi reads it (blanks, a sign, digits); values beyond 64 bits saturate.
std::int64_t HeaderNumber(std::string_view v) {
    std::size_t i = 0;
    while (i < v.size() && (v[i] == ' ' || (v[i] >= '\t' && v[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    std::int64_t value = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) {
            value = INT64_MAX;
            break;
        }
        value = value * 10 + (v[i] - '0');
    }
    return negative ? -value : value;
}

bool StartsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && std::memcmp(line.data(), key.data(), key.size()) == 0;
}

// "Data<k>=" for the data line expected next.
struct DataKey {
    char text[24] = "Data";
    std::size_t size = 0;
    void Set(std::uint32_t k) {
        auto r = std::to_chars(text + 4, text + sizeof text - 1, k);
        *r.ptr = '=';
        size = static_cast<std::size_t>(r.ptr - text) + 1;
    }
    bool Matches(std::string_view line) const {
        return line.size() >= size && std::memcmp(line.data(), text, size) == 0;
    }
};

// The version check of one version line. Ok when the image may go on.
FirmwareVerdict CheckVersion(std::string_view rest, bool osKey, const FirmwareTarget* target,
                             std::string& version) {
    // The text ends at the line break (or a NUL, as a C string would).
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != '\n' && rest[end] != '\0') ++end;
    rest = rest.substr(0, end);
    if (rest.size() >= kFirmwareVersionArea) return FirmwareVerdict::VersionTooLong;
    version.assign(rest);
    if (!target) return FirmwareVerdict::Ok;
    if (target->hasOSOption != osKey) return FirmwareVerdict::WrongPlatform;
    // The normalised form keeps at most 17 characters, so the first 51 bytes
    // are all the normalisation reads.
    char normalised[52] = {};
    std::memcpy(normalised, rest.data(), rest.size() < 51 ? rest.size() : 51);
    NormalizeFirmwareVersion(normalised);
    if (std::strcmp(normalised, target->firmwareVersion) <= 0) return FirmwareVerdict::NotNewer;
    return FirmwareVerdict::Ok;
}

}  // namespace

const char* FirmwareVerdictText(FirmwareVerdict verdict) {
    switch (verdict) {
        case FirmwareVerdict::Ok:
            return "image complete and checksum correct";
        case FirmwareVerdict::WrongPlatform:
            return "the image is for the other platform family";
        case FirmwareVerdict::NotNewer:
            return "the image's version is not newer than the terminal's";
        case FirmwareVerdict::VersionTooLong:
            return "a version text of 100 bytes or more";
        case FirmwareVerdict::LineTooLong:
            return "a line longer than 4000 characters";
        case FirmwareVerdict::RepeatedHeader:
            return "the length or checksum is given twice";
        case FirmwareVerdict::BadLength:
            return "no usable image length";
        case FirmwareVerdict::ShortData:
            return "the data lines hold fewer bytes than the length";
        case FirmwareVerdict::BadChecksum:
            return "the checksum does not match";
    }
    return "";
}

int FirmwareHexDigit(unsigned char c) {
    const std::uint16_t v = kDigits[c];
    return v > 15 ? -1 : v;
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8));
    if (i < size) sum += data[i];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

namespace {

FirmwareFile ReadFirmware(std::string_view text, const FirmwareTarget* target) {
    FirmwareFile f;
    bool haveLength = false, haveChecksum = false;
    std::size_t fill = 0;
    DataKey key;
    std::uint32_t k = 0;
    key.Set(k);
    std::string line;  // only for lines that end in CR LF
    std::size_t pos = 0;
    while (pos < text.size()) {
        const void* nl = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t end =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1
               : text.size();
        std::string_view l = text.substr(pos, end - pos);
        pos = end;
        const bool hasBreak = !l.empty() && l.back() == '\n';
        // A CR LF line end is one line break.
        if (hasBreak && l.size() >= 2 && l[l.size() - 2] == '\r') {
            line.assign(l.substr(0, l.size() - 2));
            line.push_back('\n');
            l = line;
        }
        if (l.size() - (hasBreak ? 1 : 0) > kFirmwareLineMax) {
            f.verdict = FirmwareVerdict::LineTooLong;
            return f;
        }
        const bool headersDone = haveLength && haveChecksum;
        if (headersDone) {
            if (key.Matches(l)) {
                const std::size_t room = static_cast<std::size_t>(f.length) - fill;
                const std::int64_t n = DecodeHex(l.substr(key.size), f.image.data() + fill, room);
                if (n > 0)
                    fill += static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : room;
                key.Set(++k);
                if (fill == static_cast<std::size_t>(f.length)) break;
                continue;
            }
        } else if (!haveLength && !haveChecksum) {
            const bool plainKey = StartsWith(l, kVersionKey);
            const bool osKey = !plainKey && StartsWith(l, kOsVersionKey);
            if (plainKey || osKey) {
                const auto rest = l.substr(plainKey ? kVersionKey.size() : kOsVersionKey.size());
                f.verdict = CheckVersion(rest, osKey, target, f.version);
                if (f.verdict != FirmwareVerdict::Ok) return f;
                continue;
            }
        }
        if (StartsWith(l, kLengthKey)) {
            if (haveLength) {
                f.verdict = FirmwareVerdict::RepeatedHeader;
                return f;
            }
            haveLength = true;
            f.length = HeaderNumber(l.substr(kLengthKey.size()));
            // Every byte takes two characters of the text: a longer image
            // could never be filled, and is not allocated.
            if (f.length <= 0 || f.length > INT32_MAX ||
                static_cast<std::uint64_t>(f.length) > text.size() / 2) {
                f.verdict = f.length <= 0 || f.length > INT32_MAX ? FirmwareVerdict::BadLength
                                                                  : FirmwareVerdict::ShortData;
                return f;
            }
            f.image.assign(static_cast<std::size_t>(f.length), 0);
        } else if (StartsWith(l, kChecksumKey)) {
            if (haveChecksum) {
                f.verdict = FirmwareVerdict::RepeatedHeader;
                return f;
            }
            haveChecksum = true;
            f.declaredChecksum = HeaderNumber(l.substr(kChecksumKey.size()));
        }
    }
    if (!haveLength) {
        f.verdict = FirmwareVerdict::BadLength;
        return f;
    }
    if (fill != static_cast<std::size_t>(f.length)) {
        f.verdict = FirmwareVerdict::ShortData;
        return f;
    }
    f.checksum = InternetChecksum(f.image.data(), f.image.size());
    f.verdict =
        f.checksum == f.declaredChecksum ? FirmwareVerdict::Ok : FirmwareVerdict::BadChecksum;
    return f;
}

}  // namespace

FirmwareFile ParseFirmware(std::string_view text, const FirmwareTarget* target) {
    FirmwareFile f = ReadFirmware(text, target);
    // A rejected file hands out no image bytes.
    if (f.verdict != FirmwareVerdict::Ok) f.image.clear();
    return f;
}

}  // namespace tl
