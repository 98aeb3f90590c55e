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

// The two-byte codes the editions of GB18030 map differently: the 2000 and
// 2005 tables (Windows' code page 54936) give them private-use characters,
// the 2022 table (glibc's iconv) the characters Unicode has since encoded.
// The tool reads and writes these codes by this table on every platform,
// with the encoded characters, and refuses to write the private-use ones.
struct Moved {
    std::uint16_t code;
    std::uint32_t character;
    std::uint32_t privateUse;
};
constexpr Moved kMoved[] = {
    {0xA6D9, 0xFE10, 0xE78D},  {0xA6DA, 0xFE12, 0xE78E},  {0xA6DB, 0xFE11, 0xE78F},
    {0xA6DC, 0xFE13, 0xE790},  {0xA6DD, 0xFE14, 0xE791},  {0xA6DE, 0xFE15, 0xE792},
    {0xA6DF, 0xFE16, 0xE793},  {0xA6EC, 0xFE17, 0xE794},  {0xA6ED, 0xFE18, 0xE795},
    {0xA6F3, 0xFE19, 0xE796},  {0xA8BC, 0x1E3F, 0xE7C7},  {0xFE51, 0x20087, 0xE816},
    {0xFE52, 0x20089, 0xE817}, {0xFE53, 0x200CC, 0xE818}, {0xFE59, 0x9FB4, 0xE81E},
    {0xFE61, 0x9FB5, 0xE826},  {0xFE66, 0x9FB6, 0xE82B},  {0xFE67, 0x9FB7, 0xE82C},
    {0xFE6C, 0x215D7, 0xE831}, {0xFE6D, 0x9FB8, 0xE832},  {0xFE76, 0x2298F, 0xE83B},
    {0xFE7E, 0x9FB9, 0xE843},  {0xFE90, 0x9FBA, 0xE854},  {0xFE91, 0x241FE, 0xE855},
    {0xFEA0, 0x9FBB, 0xE864},
};

// The four-byte codes the 2000 and 2005 tables gave these characters (the
// 2022 table leaves them unassigned, or in one case gives it a private-use
// character): read as the characters on every platform, never written.
struct OldForm {
    std::uint32_t code;
    std::uint32_t character;
};
constexpr OldForm kOldForms[] = {
    {0x84318236, 0xFE10}, {0x84318237, 0xFE11}, {0x84318238, 0xFE12}, {0x84318239, 0xFE13},
    {0x84318330, 0xFE14}, {0x84318331, 0xFE15}, {0x84318332, 0xFE16}, {0x84318333, 0xFE17},
    {0x84318334, 0xFE18}, {0x84318335, 0xFE19}, {0x82359037, 0x9FB4}, {0x82359038, 0x9FB5},
    {0x82359039, 0x9FB6}, {0x82359130, 0x9FB7}, {0x82359131, 0x9FB8}, {0x82359132, 0x9FB9},
    {0x82359133, 0x9FBA}, {0x82359134, 0x9FBB}, {0x8135F437, 0x1E3F},
};

// The character a moved two-byte code or an old four-byte form stands for,
// or 0.
std::uint32_t MovedCode(const std::string& s, std::size_t at, std::size_t n) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < n; ++i) code = code << 8 | Byte(s, at + i);
    if (n == 2) {
        for (const auto& m : kMoved)
            if (m.code == code) return m.character;
    } else if (n == 4) {
        for (const auto& f : kOldForms)
            if (f.code == code) return f.character;
    }
    return 0;
}

const Moved* MovedCharacter(std::uint32_t c, bool privateUse) {
    for (const auto& m : kMoved)
        if ((privateUse ? m.privateUse : m.character) == c) return &m;
    return nullptr;
}

std::string Utf8Of(std::uint32_t c) {
    std::string s;
    if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | c >> 18);
        s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    }
    s += static_cast<char>(0x80 | (c & 0x3F));
    return s;
}

std::string Unicode(std::uint32_t c) {
    char u[16];
    std::snprintf(u, sizeof u, "U+%04X", static_cast<unsigned>(c));
    return u;
}

}  // namespace

TextResult ToGb18030(const std::string& utf8) {
    std::string out;
    std::size_t segment = 0, count = 0, segmentCount = 0;
    // Converts utf8[segment, end) through the platform; on a refusal names
    // the first character it refuses on its own (GB18030 encodes every
    // character, so this is not expected).
    const auto flush = [&](std::size_t end) -> std::optional<TextResult> {
        if (end == segment) return std::nullopt;
        if (const auto gb = host::Gb18030FromUtf8(utf8.substr(segment, end - segment))) {
            out += *gb;
            return std::nullopt;
        }
        std::size_t k = segmentCount;
        for (std::size_t at = segment; at < end; ++k) {
            std::uint32_t code = 0;
            const std::size_t n = Utf8Length(utf8, at, &code);
            if (!host::Gb18030FromUtf8(utf8.substr(at, n)))
                return Refused(at, "'" + utf8.substr(at, n) + "' (" + Unicode(code) +
                                       ", character " + std::to_string(k + 1) +
                                       ") cannot be written in GB18030");
            at += n;
        }
        return Refused(segment, "the text cannot be written in GB18030");
    };
    for (std::size_t at = 0; at < utf8.size(); ++count) {
        std::uint32_t code = 0;
        const std::size_t n = Utf8Length(utf8, at, &code);
        if (n == 0)
            return Refused(at, "byte " + Hex(utf8, at, 1) + " (character " +
                                   std::to_string(count + 1) + ") is not UTF-8 text");
        if (MovedCharacter(code, true))
            return Refused(at, "'" + utf8.substr(at, n) + "' (" + Unicode(code) + ", character " +
                                   std::to_string(count + 1) +
                                   ") is a private-use character the editions of GB18030 "
                                   "disagree on; it cannot be written");
        if (const Moved* m = MovedCharacter(code, false)) {
            if (auto refused = flush(at)) return *refused;
            out += static_cast<char>(m->code >> 8);
            out += static_cast<char>(m->code & 0xFF);
            segment = at + n, segmentCount = count + 1;
        }
        at += n;
    }
    if (auto refused = flush(utf8.size())) return *refused;
    TextResult r;
    r.text = std::move(out);
    return r;
}

TextResult FromGb18030(const std::string& gb) {
    for (std::size_t at = 0; at < gb.size();) {
        const std::size_t n = GbLength(gb, at);
        if (n == 0)
            return Refused(at, "byte " + Hex(gb, at, 1) + " at byte " + std::to_string(at + 1) +
                                   " starts no GB18030 character");
        at += n;
    }
    std::string out;
    std::size_t segment = 0;
    // Converts gb[segment, end) through the platform; on a refusal names the
    // first character it refuses on its own: well formed, yet a four-byte
    // code outside the characters GB18030 assigns.
    const auto flush = [&](std::size_t end) -> std::optional<TextResult> {
        if (end == segment) return std::nullopt;
        if (const auto utf8 = host::Utf8FromGb18030(gb.substr(segment, end - segment))) {
            out += *utf8;
            return std::nullopt;
        }
        for (std::size_t at = segment; at < end;) {
            const std::size_t n = GbLength(gb, at);
            if (!host::Utf8FromGb18030(gb.substr(at, n)))
                return Refused(at, "bytes " + Hex(gb, at, n) + " at byte " +
                                       std::to_string(at + 1) + " are no GB18030 character");
            at += n;
        }
        return Refused(segment, "the text cannot be read as GB18030");
    };
    for (std::size_t at = 0; at < gb.size();) {
        const std::size_t n = GbLength(gb, at);
        if (const std::uint32_t character = MovedCode(gb, at, n)) {
            if (auto refused = flush(at)) return *refused;
            out += Utf8Of(character);
            segment = at + n;
        }
        at += n;
    }
    if (auto refused = flush(gb.size())) return *refused;
    TextResult r;
    r.text = std::move(out);
    return r;
}

std::string PlaceInText(const std::string& text, std::size_t offset) {
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line, start = i + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - start + 1);
}

}  // namespace tlcli
