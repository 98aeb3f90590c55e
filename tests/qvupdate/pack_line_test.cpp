// The armoured option lines: every line qvpack can write decodes back, and a
// single changed digit, check or length character makes a line "NULL".
#include <gtest/gtest.h>

#include <set>

#include "core/pack_line.h"

namespace qvupdate {
namespace {

const std::vector<std::string> kLines = {
    "",
    "A=1",
    "~Key=AB",
    "IPAddress=192.168.1.201",
    "Name=  spaces and = signs ==",
    "~SerialNumber=0123456789ABCDEF0123456789ABCDEF0123456789ABCD",  // 63 characters
    "aaaaaaaaaaaaaaaaaaaaaaaa",
    std::string("bytes\x01\x7F\xFF", 8),
};

TEST(PackLine, TablesKeepEveryDigitAndCheckApart) {
    ASSERT_EQ(kDigitTable.size(), 10u);
    ASSERT_EQ(kCheckTable.size(), 100u);
    EXPECT_EQ(std::set<char>(kDigitTable.begin(), kDigitTable.end()).size(), 10u);
    // Ten different symbols in every row and column: changing one digit of a
    // group always changes the check it needs.
    for (int a = 0; a < 10; ++a) {
        std::set<char> row, column;
        for (int b = 0; b < 10; ++b) {
            row.insert(kCheckTable[a * 10 + b]);
            column.insert(kCheckTable[b * 10 + a]);
        }
        EXPECT_EQ(row.size(), 10u) << "row " << a;
        EXPECT_EQ(column.size(), 10u) << "column " << a;
    }
}

TEST(PackLine, EncodedLinesDecodeBack) {
    for (const auto& line : kLines) {
        auto armoured = EncodePackLine(line);
        ASSERT_TRUE(armoured) << line;
        EXPECT_EQ(armoured->size(), 4 * (line.size() + 1));
        EXPECT_EQ(DecodePackLine(*armoured), line);
    }
    // A fixed line pins the tables and the encoder: packs in the field
    // depend on both staying as they are.
    EXPECT_EQ(*EncodePackLine("A=1"), "BgUAJTW=BEH1WQ0C");
    EXPECT_FALSE(EncodePackLine(std::string(64, 'x')));
    EXPECT_FALSE(EncodePackLine("two\nlines"));
}

TEST(PackLine, AnyChangedDigitCheckOrLengthCharacterGivesNull) {
    for (const auto& line : kLines) {
        const std::string good = *EncodePackLine(line);
        for (std::size_t i = 0; i < good.size(); ++i) {
            const bool payload = i + 4 < good.size() && i % 4 == 3;
            const bool filler = i + 4 >= good.size() && i + 2 < good.size();
            if (payload || filler) continue;  // not covered by the check
            for (int c = 1; c < 256; ++c) {
                if (static_cast<char>(c) == good[i]) continue;
                std::string bad = good;
                bad[i] = static_cast<char>(c);
                ASSERT_EQ(DecodePackLine(bad), "NULL") << line << " at " << i << " char " << c;
            }
        }
    }
}

TEST(PackLine, MalformedLinesDecodeToNull) {
    const std::string good = *EncodePackLine("A=1");
    for (const std::string& bad : {std::string(), std::string("00"), good.substr(1), good + "0000",
                                   std::string("QjQx") + "04", std::string(260, 'Q')})
        EXPECT_EQ(DecodePackLine(bad), "NULL") << bad;
    // The shortest armoured line is the empty option line.
    EXPECT_EQ(DecodePackLine("QQ00"), "");
}

TEST(PackLine, SplitAtEveryKindOfLineBreak) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitPackLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitPackLines("a\r\n"), (V{"a"}));
    EXPECT_EQ(SplitPackLines("a\n\nb\r\r"), (V{"a", "", "b", ""}));
    EXPECT_EQ(SplitPackLines(""), V{});
}

}  // namespace
}  // namespace qvupdate
