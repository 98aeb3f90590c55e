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
    {0xA6D9, 0xFE10, 0xE78D},
    {0xA6DA, 0xFE12, 0xE78E},
    {0xA6DB, 0xFE11, 0xE78F},
    {0xA6DC, 0xFE13, 0xE790},
    {0xA6DD, 0xFE14, 0xE791},
    {0xA6DE, 0xFE15, 0xE792},
    {0xA6DF, 0xFE16, 0xE793},
    {0xA6EC, 0xFE17, 0xE794},
    {0xA6ED, 0xFE18, 0xE795},
    {0xA6F3, 0xFE19, 0xE796},
    {0xA8BC, 0x1E3F, 0xE7C7},
    {0xFE51, 0x20087, 0xE816},
    {0xFE52, 0x20089, 0xE817},
    {0xFE53, 0x200CC, 0xE818},
    {0xFE59, 0x9FB4, 0xE81E},
    {0xFE61, 0x9FB5, 0xE826},
    {0xFE66, 0x9FB6, 0xE82B},
    {0xFE67, 0x9FB7, 0xE82C},
    {0xFE6C, 0x215D7, 0xE831},
    {0xFE6D, 0x9FB8, 0xE832},
    {0xFE76, 0x2298F, 0xE83B},
    {0xFE7E, 0x9FB9, 0xE843},
    {0xFE90, 0x9FBA, 0xE854},
    {0xFE91, 0x241FE, 0xE855},
    {0xFEA0, 0x9FBB, 0xE864},
    // Not moved, but code page 936 writes the euro sign as the single byte
    // 0x80; GB18030 has it at A2 E3.
    {0xA2E3, 0x20AC, 0},
    // The two-byte codes GB18030 added to GBK: every edition gives them these
    // characters, code page 936 (Windows without code page 54936, as Wine)
    // private-use ones.
    {0xA8BF, 0x1F9, 0xE7C8},
    {0xA989, 0x303E, 0xE7E7},
    {0xA98A, 0x2FF0, 0xE7E8},
    {0xA98B, 0x2FF1, 0xE7E9},
    {0xA98C, 0x2FF2, 0xE7EA},
    {0xA98D, 0x2FF3, 0xE7EB},
    {0xA98E, 0x2FF4, 0xE7EC},
    {0xA98F, 0x2FF5, 0xE7ED},
    {0xA990, 0x2FF6, 0xE7EE},
    {0xA991, 0x2FF7, 0xE7EF},
    {0xA992, 0x2FF8, 0xE7F0},
    {0xA993, 0x2FF9, 0xE7F1},
    {0xA994, 0x2FFA, 0xE7F2},
    {0xA995, 0x2FFB, 0xE7F3},
    {0xFE50, 0x2E81, 0xE815},
    {0xFE54, 0x2E84, 0xE819},
    {0xFE55, 0x3473, 0xE81A},
    {0xFE56, 0x3447, 0xE81B},
    {0xFE57, 0x2E88, 0xE81C},
    {0xFE58, 0x2E8B, 0xE81D},
    {0xFE5A, 0x359E, 0xE81F},
    {0xFE5B, 0x361A, 0xE820},
    {0xFE5C, 0x360E, 0xE821},
    {0xFE5D, 0x2E8C, 0xE822},
    {0xFE5E, 0x2E97, 0xE823},
    {0xFE5F, 0x396E, 0xE824},
    {0xFE60, 0x3918, 0xE825},
    {0xFE62, 0x39CF, 0xE827},
    {0xFE63, 0x39DF, 0xE828},
    {0xFE64, 0x3A73, 0xE829},
    {0xFE65, 0x39D0, 0xE82A},
    {0xFE68, 0x3B4E, 0xE82D},
    {0xFE69, 0x3C6E, 0xE82E},
    {0xFE6A, 0x3CE0, 0xE82F},
    {0xFE6B, 0x2EA7, 0xE830},
    {0xFE6E, 0x2EAA, 0xE833},
    {0xFE6F, 0x4056, 0xE834},
    {0xFE70, 0x415F, 0xE835},
    {0xFE71, 0x2EAE, 0xE836},
    {0xFE72, 0x4337, 0xE837},
    {0xFE73, 0x2EB3, 0xE838},
    {0xFE74, 0x2EB6, 0xE839},
    {0xFE75, 0x2EB7, 0xE83A},
    {0xFE77, 0x43B1, 0xE83C},
    {0xFE78, 0x43AC, 0xE83D},
    {0xFE79, 0x2EBB, 0xE83E},
    {0xFE7A, 0x43DD, 0xE83F},
    {0xFE7B, 0x44D6, 0xE840},
    {0xFE7C, 0x4661, 0xE841},
    {0xFE7D, 0x464C, 0xE842},
    {0xFE80, 0x4723, 0xE844},
    {0xFE81, 0x4729, 0xE845},
    {0xFE82, 0x477C, 0xE846},
    {0xFE83, 0x478D, 0xE847},
    {0xFE84, 0x2ECA, 0xE848},
    {0xFE85, 0x4947, 0xE849},
    {0xFE86, 0x497A, 0xE84A},
    {0xFE87, 0x497D, 0xE84B},
    {0xFE88, 0x4982, 0xE84C},
    {0xFE89, 0x4983, 0xE84D},
    {0xFE8A, 0x4985, 0xE84E},
    {0xFE8B, 0x4986, 0xE84F},
    {0xFE8C, 0x499F, 0xE850},
    {0xFE8D, 0x499B, 0xE851},
    {0xFE8E, 0x49B7, 0xE852},
    {0xFE8F, 0x49B6, 0xE853},
    {0xFE92, 0x4CA3, 0xE856},
    {0xFE93, 0x4C9F, 0xE857},
    {0xFE94, 0x4CA0, 0xE858},
    {0xFE95, 0x4CA1, 0xE859},
    {0xFE96, 0x4C77, 0xE85A},
    {0xFE97, 0x4CA2, 0xE85B},
    {0xFE98, 0x4D13, 0xE85C},
    {0xFE99, 0x4D14, 0xE85D},
    {0xFE9A, 0x4D15, 0xE85E},
    {0xFE9B, 0x4D16, 0xE85F},
    {0xFE9C, 0x4D17, 0xE860},
    {0xFE9D, 0x4D18, 0xE861},
    {0xFE9E, 0x4D19, 0xE862},
    {0xFE9F, 0x4DAE, 0xE863},
};

// The character a moved two-byte code stands for, or 0.
std::uint32_t MovedCode(const std::string& s, std::size_t at, std::size_t n) {
    if (n != 2) return 0;
    const unsigned code = Byte(s, at) << 8 | Byte(s, at + 1);
    for (const auto& m : kMoved)
        if (m.code == code) return m.character;
    return 0;
}

// Four-byte codes, counted from 81 30 81 30 (the last byte runs 0x30-0x39,
// the third 0x81-0xFE, the second 0x30-0x39), stand for the characters of the
// basic plane that have no one- or two-byte code, in code point order: these
// runs, each its first and last character and the count of its first code
// (the 2000 edition's table; the older forms of the moved characters read as
// those characters). From 90 30 81 30 on they count the characters from
// U+10000. Handled here, the same on every platform, since not every
// system's converter has them.
struct FourByteRun {
    std::uint16_t first, last;
    std::uint32_t index;
};
constexpr FourByteRun kFourByteRuns[] = {
    {0x80, 0xA3, 0},         {0xA5, 0xA6, 36},        {0xA9, 0xAF, 38},
    {0xB2, 0xB6, 45},        {0xB8, 0xD6, 50},        {0xD8, 0xDF, 81},
    {0xE2, 0xE7, 89},        {0xEB, 0xEB, 95},        {0xEE, 0xF1, 96},
    {0xF4, 0xF6, 100},       {0xF8, 0xF8, 103},       {0xFB, 0xFB, 104},
    {0xFD, 0x100, 105},      {0x102, 0x112, 109},     {0x114, 0x11A, 126},
    {0x11C, 0x12A, 133},     {0x12C, 0x143, 148},     {0x145, 0x147, 172},
    {0x149, 0x14C, 175},     {0x14E, 0x16A, 179},     {0x16C, 0x1CD, 208},
    {0x1CF, 0x1CF, 306},     {0x1D1, 0x1D1, 307},     {0x1D3, 0x1D3, 308},
    {0x1D5, 0x1D5, 309},     {0x1D7, 0x1D7, 310},     {0x1D9, 0x1D9, 311},
    {0x1DB, 0x1DB, 312},     {0x1DD, 0x1F8, 313},     {0x1FA, 0x250, 341},
    {0x252, 0x260, 428},     {0x262, 0x2C6, 443},     {0x2C8, 0x2C8, 544},
    {0x2CC, 0x2D8, 545},     {0x2DA, 0x390, 558},     {0x3A2, 0x3A2, 741},
    {0x3AA, 0x3B0, 742},     {0x3C2, 0x3C2, 749},     {0x3CA, 0x400, 750},
    {0x402, 0x40F, 805},     {0x450, 0x450, 819},     {0x452, 0x200F, 820},
    {0x2011, 0x2012, 7922},  {0x2017, 0x2017, 7924},  {0x201A, 0x201B, 7925},
    {0x201E, 0x2024, 7927},  {0x2027, 0x202F, 7934},  {0x2031, 0x2031, 7943},
    {0x2034, 0x2034, 7944},  {0x2036, 0x203A, 7945},  {0x203C, 0x20AB, 7950},
    {0x20AD, 0x2102, 8062},  {0x2104, 0x2104, 8148},  {0x2106, 0x2108, 8149},
    {0x210A, 0x2115, 8152},  {0x2117, 0x2120, 8164},  {0x2122, 0x215F, 8174},
    {0x216C, 0x216F, 8236},  {0x217A, 0x218F, 8240},  {0x2194, 0x2195, 8262},
    {0x219A, 0x2207, 8264},  {0x2209, 0x220E, 8374},  {0x2210, 0x2210, 8380},
    {0x2212, 0x2214, 8381},  {0x2216, 0x2219, 8384},  {0x221B, 0x221C, 8388},
    {0x2221, 0x2222, 8390},  {0x2224, 0x2224, 8392},  {0x2226, 0x2226, 8393},
    {0x222C, 0x222D, 8394},  {0x222F, 0x2233, 8396},  {0x2238, 0x223C, 8401},
    {0x223E, 0x2247, 8406},  {0x2249, 0x224B, 8416},  {0x224D, 0x2251, 8419},
    {0x2253, 0x225F, 8424},  {0x2262, 0x2263, 8437},  {0x2268, 0x226D, 8439},
    {0x2270, 0x2294, 8445},  {0x2296, 0x2298, 8482},  {0x229A, 0x22A4, 8485},
    {0x22A6, 0x22BE, 8496},  {0x22C0, 0x2311, 8521},  {0x2313, 0x245F, 8603},
    {0x246A, 0x2473, 8936},  {0x249C, 0x24FF, 8946},  {0x254C, 0x254F, 9046},
    {0x2574, 0x2580, 9050},  {0x2590, 0x2592, 9063},  {0x2596, 0x259F, 9066},
    {0x25A2, 0x25B1, 9076},  {0x25B4, 0x25BB, 9092},  {0x25BE, 0x25C5, 9100},
    {0x25C8, 0x25CA, 9108},  {0x25CC, 0x25CD, 9111},  {0x25D0, 0x25E1, 9113},
    {0x25E6, 0x2604, 9131},  {0x2607, 0x2608, 9162},  {0x260A, 0x263F, 9164},
    {0x2641, 0x2641, 9218},  {0x2643, 0x2E80, 9219},  {0x2E82, 0x2E83, 11329},
    {0x2E85, 0x2E87, 11331}, {0x2E89, 0x2E8A, 11334}, {0x2E8D, 0x2E96, 11336},
    {0x2E98, 0x2EA6, 11346}, {0x2EA8, 0x2EA9, 11361}, {0x2EAB, 0x2EAD, 11363},
    {0x2EAF, 0x2EB2, 11366}, {0x2EB4, 0x2EB5, 11370}, {0x2EB8, 0x2EBA, 11372},
    {0x2EBC, 0x2EC9, 11375}, {0x2ECB, 0x2FEF, 11389}, {0x2FFC, 0x2FFF, 11682},
    {0x3004, 0x3004, 11686}, {0x3018, 0x301C, 11687}, {0x301F, 0x3020, 11692},
    {0x302A, 0x303D, 11694}, {0x303F, 0x3040, 11714}, {0x3094, 0x309A, 11716},
    {0x309F, 0x30A0, 11723}, {0x30F7, 0x30FB, 11725}, {0x30FF, 0x3104, 11730},
    {0x312A, 0x321F, 11736}, {0x322A, 0x3230, 11982}, {0x3232, 0x32A2, 11989},
    {0x32A4, 0x338D, 12102}, {0x3390, 0x339B, 12336}, {0x339F, 0x33A0, 12348},
    {0x33A2, 0x33C3, 12350}, {0x33C5, 0x33CD, 12384}, {0x33CF, 0x33D0, 12393},
    {0x33D3, 0x33D4, 12395}, {0x33D6, 0x3446, 12397}, {0x3448, 0x3472, 12510},
    {0x3474, 0x359D, 12553}, {0x359F, 0x360D, 12851}, {0x360F, 0x3619, 12962},
    {0x361B, 0x3917, 12973}, {0x3919, 0x396D, 13738}, {0x396F, 0x39CE, 13823},
    {0x39D1, 0x39DE, 13919}, {0x39E0, 0x3A72, 13933}, {0x3A74, 0x3B4D, 14080},
    {0x3B4F, 0x3C6D, 14298}, {0x3C6F, 0x3CDF, 14585}, {0x3CE1, 0x4055, 14698},
    {0x4057, 0x415E, 15583}, {0x4160, 0x4336, 15847}, {0x4338, 0x43AB, 16318},
    {0x43AD, 0x43B0, 16434}, {0x43B2, 0x43DC, 16438}, {0x43DE, 0x44D5, 16481},
    {0x44D7, 0x464B, 16729}, {0x464D, 0x4660, 17102}, {0x4662, 0x4722, 17122},
    {0x4724, 0x4728, 17315}, {0x472A, 0x477B, 17320}, {0x477D, 0x478C, 17402},
    {0x478E, 0x4946, 17418}, {0x4948, 0x4979, 17859}, {0x497B, 0x497C, 17909},
    {0x497E, 0x4981, 17911}, {0x4984, 0x4984, 17915}, {0x4987, 0x499A, 17916},
    {0x499C, 0x499E, 17936}, {0x49A0, 0x49B5, 17939}, {0x49B8, 0x4C76, 17961},
    {0x4C78, 0x4C9E, 18664}, {0x4CA4, 0x4D12, 18703}, {0x4D1A, 0x4DAD, 18814},
    {0x4DAF, 0x4DFF, 18962}, {0x9FA6, 0xD7FF, 19043}, {0xE76C, 0xE76C, 33469},
    {0xE7C8, 0xE7C8, 33470}, {0xE7E7, 0xE7F3, 33471}, {0xE815, 0xE815, 33484},
    {0xE819, 0xE81D, 33485}, {0xE81F, 0xE825, 33490}, {0xE827, 0xE82A, 33497},
    {0xE82D, 0xE830, 33501}, {0xE833, 0xE83A, 33505}, {0xE83C, 0xE842, 33513},
    {0xE844, 0xE853, 33520}, {0xE856, 0xE863, 33536}, {0xE865, 0xF92B, 33550},
    {0xF92D, 0xF978, 37845}, {0xF97A, 0xF994, 37921}, {0xF996, 0xF9E6, 37948},
    {0xF9E8, 0xF9F0, 38029}, {0xF9F2, 0xFA0B, 38038}, {0xFA10, 0xFA10, 38064},
    {0xFA12, 0xFA12, 38065}, {0xFA15, 0xFA17, 38066}, {0xFA19, 0xFA1E, 38069},
    {0xFA22, 0xFA22, 38075}, {0xFA25, 0xFA26, 38076}, {0xFA2A, 0xFE2F, 38078},
    {0xFE32, 0xFE32, 39108}, {0xFE45, 0xFE48, 39109}, {0xFE53, 0xFE53, 39113},
    {0xFE58, 0xFE58, 39114}, {0xFE67, 0xFE67, 39115}, {0xFE6C, 0xFF00, 39116},
    {0xFF5F, 0xFFDF, 39265}, {0xFFE6, 0xFFFF, 39394},
};
constexpr std::uint32_t kSupplementaryIndex = 189000;  // 90 30 81 30

std::uint32_t FourByteIndex(const std::string& s, std::size_t at) {
    return ((Byte(s, at) - 0x81) * 10 + (Byte(s, at + 1) - 0x30)) * 1260 +
           (Byte(s, at + 2) - 0x81) * 10 + (Byte(s, at + 3) - 0x30);
}

// The character of a four-byte code, or 0 when the code stands for none.
std::uint32_t FourByteCharacter(std::uint32_t index) {
    if (index >= kSupplementaryIndex) {
        const std::uint32_t c = 0x10000 + (index - kSupplementaryIndex);
        return c <= 0x10FFFF ? c : 0;
    }
    for (const auto& r : kFourByteRuns)
        if (index >= r.index && index <= r.index + (r.last - r.first))
            return r.first + (index - r.index);
    return 0;
}

// The four-byte code of a character that has one (not a one- or two-byte
// code), as bytes; empty otherwise.
std::string FourByteCode(std::uint32_t c) {
    std::uint32_t index = 0;
    bool found = false;
    if (c >= 0x10000) {
        index = kSupplementaryIndex + (c - 0x10000);
        found = true;
    } else {
        for (const auto& r : kFourByteRuns)
            if (c >= r.first && c <= r.last) {
                index = r.index + (c - r.first);
                found = true;
                break;
            }
    }
    if (!found) return {};
    std::string b(4, '\0');
    b[3] = static_cast<char>(0x30 + index % 10);
    index /= 10;
    b[2] = static_cast<char>(0x81 + index % 126);
    index /= 126;
    b[1] = static_cast<char>(0x30 + index % 10);
    b[0] = static_cast<char>(0x81 + index / 10);
    return b;
}

const Moved* MovedCharacter(std::uint32_t c, bool privateUse) {
    if (c < 0x80) return nullptr;
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
        std::string own;
        if (const Moved* m = MovedCharacter(code, false)) {
            own = {static_cast<char>(m->code >> 8), static_cast<char>(m->code & 0xFF)};
        } else if (code >= 0x80) {
            own = FourByteCode(code);
        }
        if (!own.empty()) {
            if (auto refused = flush(at)) return *refused;
            out += own;
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
    // Converts gb[segment, end) (one- and two-byte codes) through the
    // platform; on a refusal names the first character it refuses on its own.
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
        std::uint32_t character = MovedCode(gb, at, n);
        if (n == 4) {
            character = FourByteCharacter(FourByteIndex(gb, at));
            if (!character)
                return Refused(at, "bytes " + Hex(gb, at, n) + " at byte " +
                                       std::to_string(at + 1) + " are no GB18030 character");
            if (MovedCharacter(character, true))
                return Refused(at, "bytes " + Hex(gb, at, n) + " at byte " +
                                       std::to_string(at + 1) +
                                       " are a private-use character the editions of GB18030 "
                                       "disagree on");
        }
        if (character) {
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
