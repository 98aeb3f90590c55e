// The tool's text rule: GB18030 from the terminal and for the pages, UTF-8
// for the user, complete or refused with the place. The same source runs on
// Linux (iconv) and under Wine (Windows code pages), so both platforms must
// give these exact bytes and refuse at these exact places.
#include <gtest/gtest.h>

#include "cli/gb_text.h"

namespace {

using tlcli::FromGb18030;
using tlcli::ToGb18030;

struct Case {
    const char* what;
    std::string gb;    // GB18030 bytes
    std::string utf8;  // the same text in UTF-8
};

const Case kBoth[] = {
    {"ASCII", "Ann 42", "Ann 42"},
    {"GB2312", "\xBF\xBC\xC7\xDA\xCD\xB3\xBC\xC6", "考勤统计"},
    {"GBK beyond GB2312", "\xD6\xEC\xE9\x46\xBB\xF9", "朱镕基"},
    {"four bytes", "Mu\x81\x30\x8A\x39oz", "Muñoz"},
    {"euro sign", "\xA2\xE3", "€"},
    {"ideographic space", "\xA1\xA1", "\u3000"},
    {"beyond the basic plane", "\x94\x39\xFC\x36", "😀"},
    {"last character", "\xE3\x32\x9A\x35", "\U0010FFFF"},
    {"empty", "", ""},
    // Codes the editions of GB18030 map differently (Windows' code page has
    // private-use characters for them): the encoded characters on both.
    {"an ideograph given its own code point", "\xFE\x51", "\U00020087"},
    {"a vertical form", "\xA6\xD9", "\uFE10"},
    {"m with acute", "\xA8\xBC", "\u1E3F"},
    // Codes GB18030 added to GBK (code page 936 has private-use ones).
    {"n with grave", "\xA8\xBF", "\u01F9"},
    {"a radical", "\xFE\x50", "\u2E81"},
};

TEST(GbText, ReadsAndWritesTheSameBytesBothWays) {
    for (const auto& c : kBoth) {
        const auto read = FromGb18030(c.gb);
        ASSERT_TRUE(read.text) << c.what << ": " << read.problem;
        EXPECT_EQ(*read.text, c.utf8) << c.what;
        const auto written = ToGb18030(c.utf8);
        ASSERT_TRUE(written.text) << c.what << ": " << written.problem;
        EXPECT_EQ(*written.text, c.gb) << c.what;
    }
}

TEST(GbText, ReadsTheOlderFourByteFormsOfMovedCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x84\x31\x82\x36", "\uFE10"},
        {"\x82\x35\x90\x37", "\u9FB4"},
        {"a\x81\x35\xF4\x37z", "a\u1E3Fz"},
    };
    for (const auto& [gb, utf8] : cases) {
        const auto read = FromGb18030(gb);
        ASSERT_TRUE(read.text) << read.problem;
        EXPECT_EQ(*read.text, utf8);
    }
}

struct Refusal {
    const char* what;
    std::string in;
    std::size_t offset;
    const char* says;
};

TEST(GbText, RefusesTerminalBytesThatAreNoCharacterAndSaysWhere) {
    const Refusal cases[] = {
        {"a name cut after a lead byte", "Ann\xD6", 3, "byte 0xD6 at byte 4"},
        {"a lead byte before ASCII", "\xD6<td>", 0, "byte 0xD6 at byte 1"},
        {"0x80, the euro sign of code page 936 only", "A\x80", 1, "byte 0x80 at byte 2"},
        {"0xFF", "\xBF\xBC\xFF", 2, "byte 0xFF at byte 3"},
        {"four bytes after U+FFFF's range", "ab\x84\x31\xA5\x30", 2,
         "bytes 0x84 0x31 0xA5 0x30 at byte 3"},
        {"four bytes after U+10FFFF", "\xE3\x32\x9A\x36", 0, "bytes 0xE3 0x32 0x9A 0x36"},
        {"the highest four bytes", "\xFE\x39\xFE\x39", 0, "bytes 0xFE 0x39 0xFE 0x39"},
    };
    for (const auto& c : cases) {
        const auto r = FromGb18030(c.in);
        EXPECT_FALSE(r.text) << c.what;
        EXPECT_EQ(r.offset, c.offset) << c.what;
        EXPECT_NE(r.problem.find(c.says), std::string::npos) << c.what << ": " << r.problem;
    }
}

TEST(GbText, RefusesTypedTextThatIsNotUtf8AndSaysWhichCharacter) {
    const Refusal cases[] = {
        {"Latin-1 typed", "Mu\xF1oz", 2, "byte 0xF1 (character 3)"},
        {"a cut character", "ab\xE6\x9C", 2, "byte 0xE6 (character 3)"},
        {"an overlong slash", "\xC0\xAF", 0, "byte 0xC0 (character 1)"},
        {"a surrogate", "x\xED\xA0\x80", 1, "byte 0xED (character 2)"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 0, "byte 0xF4 (character 1)"},
        {"a stray continuation", "\x80", 0, "byte 0x80 (character 1)"},
        {"a private-use character of the older editions", "ab\uE78D", 2,
         "(U+E78D, character 3) is a private-use character"},
    };
    for (const auto& c : cases) {
        const auto r = ToGb18030(c.in);
        EXPECT_FALSE(r.text) << c.what;
        EXPECT_EQ(r.offset, c.offset) << c.what;
        EXPECT_NE(r.problem.find(c.says), std::string::npos) << c.what << ": " << r.problem;
    }
}

TEST(GbText, PlaceCountsLinesAndColumns) {
    EXPECT_EQ(tlcli::PlaceInText("ab", 1), "line 1, column 2");
    EXPECT_EQ(tlcli::PlaceInText("a\r\nbc\r\nd", 4), "line 2, column 2");
}

}  // namespace
