#include "cli/gb_text.h"

#include <cstdint>
#include <cstdio>

#include "cli/host.h"

namespace tlcli {

namespace {

unsigned Byte(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]);
}

// Length of the well-formed UTF-8 character at `at`, or 0: no overlong
// forms, no surrogates, nothing above U+10FFFF. Checked here rather than by
// the platform, whose decoders differ on exactly these cases.
std::size_t Utf8Length(const std::string& s, std::size_t at, std::uint32_t* code) {
    const unsigned b = Byte(s, at);
    std::size_t n;
    std::uint32_t c, min;
    if (b < 0x80) {
        *code = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4, c = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - at < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const unsigned t = Byte(s, at + i);
        if ((t & 0xC0) != 0x80) return 0;
        c = c << 6 | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    *code = c;
    return n;
}

// Length of the GB18030 character at `at` by its form, or 0: one byte below
// 0x80; a lead byte 0x81-0xFE with a trail 0x40-0x7E or 0x80-0xFE; or four
// bytes lead, digit, lead, digit. (0x80 and 0xFF are no character.)
std::size_t GbLength(const std::string& s, std::size_t at) {
    const auto lead = [](unsigned b) { return b >= 0x81 && b <= 0xFE; };
    const auto digit = [](unsigned b) { return b >= 0x30 && b <= 0x39; };
    const unsigned b = Byte(s, at);
    if (b < 0x80) return 1;
    if (!lead(b) || s.size() - at < 2) return 0;
    const unsigned t = Byte(s, at + 1);
    if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) return 2;
    if (digit(t) && s.size() - at >= 4 && lead(Byte(s, at + 2)) && digit(Byte(s, at + 3))) return 4;
    return 0;
}

std::string Hex(const std::string& s, std::size_t at, std::size_t n) {
    std::string out;
    for (std::size_t i = at; i < at + n && i < s.size(); ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "%s0x%02X", out.empty() ? "" : " ", Byte(s, i));
        out += b;
    }
    return out;
}

TextResult Refused(std::size_t offset, std::string problem) {
    TextResult r;
    r.offset = offset;
    r.problem = std::move(problem);
    return r;
}

}  // namespace

TextResult ToGb18030(const std::string& utf8) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < utf8.size(); ++count) {
        std::uint32_t code = 0;
        const std::size_t n = Utf8Length(utf8, at, &code);
        if (n == 0)
            return Refused(at, "byte " + Hex(utf8, at, 1) + " (character " +
                                   std::to_string(count + 1) + ") is not UTF-8 text");
        at += n;
    }
    TextResult r;
    r.text = host::Gb18030FromUtf8(utf8);
    if (r.text) return r;
    // GB18030 encodes every character; should the platform still refuse
    // one, name the first it refuses on its own.
    count = 0;
    for (std::size_t at = 0; at < utf8.size(); ++count) {
        std::uint32_t code = 0;
        const std::size_t n = Utf8Length(utf8, at, &code);
        if (!host::Gb18030FromUtf8(utf8.substr(at, n))) {
            char u[16];
            std::snprintf(u, sizeof u, "U+%04X", static_cast<unsigned>(code));
            return Refused(at, "'" + utf8.substr(at, n) + "' (" + u + ", character " +
                                   std::to_string(count + 1) + ") cannot be written in GB18030");
        }
        at += n;
    }
    return Refused(0, "the text cannot be written in GB18030");
}

TextResult FromGb18030(const std::string& gb) {
    for (std::size_t at = 0; at < gb.size();) {
        const std::size_t n = GbLength(gb, at);
        if (n == 0)
            return Refused(at, "byte " + Hex(gb, at, 1) + " at byte " + std::to_string(at + 1) +
                                   " starts no GB18030 character");
        at += n;
    }
    TextResult r;
    r.text = host::Utf8FromGb18030(gb);
    if (r.text) return r;
    // Well formed, yet some four-byte code lies outside the characters
    // GB18030 assigns: name the first.
    for (std::size_t at = 0; at < gb.size();) {
        const std::size_t n = GbLength(gb, at);
        if (!host::Utf8FromGb18030(gb.substr(at, n)))
            return Refused(at, "bytes " + Hex(gb, at, n) + " at byte " + std::to_string(at + 1) +
                                   " are no GB18030 character");
        at += n;
    }
    return Refused(0, "the text cannot be read as GB18030");
}

std::string PlaceInText(const std::string& text, std::size_t offset) {
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line, start = i + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - start + 1);
}

}  // namespace tlcli
