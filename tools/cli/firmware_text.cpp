#include "cli/firmware_text.h"

#include <vector>

namespace tlcli {
namespace {

int Digit(unsigned char c) {
    const int v = c >= 97 ? c - 87 : c >= 65 ? c - 55 : c - 48;
    return v >= 0 && v <= 15 ? v : -1;
}

long long Number(std::string_view v) {
    std::size_t i = 0;
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    long long n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9' && n < (1LL << 40); ++i)
        n = n * 10 + (v[i] - '0');
    return negative ? -n : n;
}

bool Starts(std::string_view line, std::string_view key) {
    return line.substr(0, key.size()) == key;
}

}  // namespace

FirmwareCheck CheckFirmwareText(std::string_view text) {
    FirmwareCheck c;
    bool haveLength = false, haveChecksum = false;
    std::vector<std::uint8_t> image;
    long long k = 0;
    long long lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        std::size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string line(text.substr(pos, end - pos));
        pos = end;
        if (line.size() >= 2 && line.back() == '\n' && line[line.size() - 2] == '\r')
            line.erase(line.size() - 2, 1);
        const std::size_t bare = line.size() - (!line.empty() && line.back() == '\n' ? 1 : 0);
        if (bare > 4000) {
            c.problem = "a line is longer than 4000 characters";
            return c;
        }
        const std::string_view l = line;
        if (!haveLength && !haveChecksum &&
            (Starts(l, "FirmwareVersion=") || Starts(l, "PLT300_FirmwareVersion="))) {
            c.forOsTerminals = Starts(l, "PLT300_");
            c.version = std::string(l.substr(l.find('=') + 1, bare - l.find('=') - 1));
            if (c.version.size() >= 100) {
                c.problem = "the version text is 100 bytes or longer";
                return c;
            }
        } else if (haveLength && haveChecksum && Starts(l, "Data" + std::to_string(k) + "=")) {
            const std::string_view hex = l.substr(l.find('=') + 1);
            std::vector<std::uint8_t> bytes;
            bool bad = false;
            for (std::size_t i = 0; i + 1 < hex.size() && !bad; i += 2) {
                const int hi = Digit(static_cast<unsigned char>(hex[i]));
                const int lo = Digit(static_cast<unsigned char>(hex[i + 1]));
                bad = hi < 0 || lo < 0;
                bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
            }
            if (!bad) image.insert(image.end(), bytes.begin(), bytes.end());
            if (bad && c.badLine.empty())
                c.badLine =
                    "Data" + std::to_string(k) + " (line " + std::to_string(lineNumber) + ")";
            ++k;
            if (static_cast<long long>(image.size()) >= c.length) break;
        } else if (Starts(l, "FirmwareLength=") || Starts(l, "FirmwareCheckSum=")) {
            const bool isLength = Starts(l, "FirmwareLength=");
            if (isLength ? haveLength : haveChecksum) {
                c.problem = "the length or checksum is given twice";
                return c;
            }
            (isLength ? haveLength : haveChecksum) = true;
            (isLength ? c.length : c.declaredChecksum) = Number(l.substr(l.find('=') + 1));
        }
    }
    if (!haveLength || c.length <= 0 || c.length > 2147483647LL) {
        c.problem = "no usable FirmwareLength";
        return c;
    }
    if (static_cast<long long>(image.size()) > c.length)
        image.resize(static_cast<std::size_t>(c.length));
    c.decoded = static_cast<long long>(image.size());
    if (c.decoded != c.length) {
        c.problem = "the data lines hold " + std::to_string(c.decoded) + " of " +
                    std::to_string(c.length) + " bytes";
        if (!c.badLine.empty())
            c.problem += "; " + c.badLine +
                         " yields nothing: a character that is not a hex digit, or an odd "
                         "number of digits";
        return c;
    }
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2)
        sum += image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    c.checksum = static_cast<std::uint16_t>(~sum);
    if (c.checksum != c.declaredChecksum) {
        c.problem = "checksum " + std::to_string(c.checksum) + " does not match the file's " +
                    std::to_string(c.declaredChecksum);
        return c;
    }
    c.ok = true;
    return c;
}

}  // namespace tlcli
