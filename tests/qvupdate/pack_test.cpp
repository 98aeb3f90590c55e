// The pack reader: sections land where the header says, and a header that
// promises more than the file holds (or lengths that overflow) is refused
// without reading past the end.
#include <gtest/gtest.h>

#include "core/pack.h"
#include "support.h"

namespace qvupdate {
namespace {

using qvtest::B;
using qvtest::Header;

TEST(PackReader, SectionsFollowTheHeaderInOrder) {
    B body{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    PackRead r = ParsePack(Header(0x6F, 31, {1, 2, 3, 0, 4}, body));
    ASSERT_EQ(r.error, PackError::None) << r.message;
    EXPECT_EQ(r.pack.kind, 0x6F);
    EXPECT_EQ(r.pack.flags, 31);
    EXPECT_EQ(r.pack.sections[kFirmware], (B{1}));
    EXPECT_EQ(r.pack.sections[kVoice], (B{2, 3}));
    EXPECT_EQ(r.pack.sections[kLanguage], (B{4, 5, 6}));
    EXPECT_TRUE(r.pack.sections[kConfig].empty());
    EXPECT_EQ(r.pack.sections[kExtra], (B{7, 8, 9, 10}));
    EXPECT_TRUE(r.pack.Accepted());
    // What the writer builds reads back the same.
    PackRead again = ParsePack(BuildPack(r.pack));
    ASSERT_EQ(again.error, PackError::None);
    EXPECT_EQ(again.pack.sections, r.pack.sections);
}

TEST(PackReader, ShortOrOverflowingPacksAreRefused) {
    struct Case {
        const char* what;
        B bytes;
        PackError error;
    };
    const Case cases[] = {
        {"empty file", {}, PackError::Short},
        {"header cut", B(21, 0), PackError::Short},
        {"one byte missing", Header(0, 0x10, {5}, B(4, 1)), PackError::Short},
        {"extra section missing", Header(0, 0x02, {0, 0, 0, 2, 3}, B(2, 'a')), PackError::Short},
        {"lengths wrap 32 bits", Header(0, 0x10, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}, B(8, 0)),
         PackError::Overflow},
        {"section beyond an int", Header(0, 0x10, {0x80000000u}), PackError::Overflow},
        {"every length at its top", Header(0, 0, {~0u, ~0u, ~0u, ~0u, ~0u}), PackError::Overflow},
    };
    for (const auto& c : cases) {
        PackRead r = ParsePack(c.bytes);
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_FALSE(r.message.empty()) << c.what;
    }
    // Bytes after the fifth section are ignored.
    EXPECT_EQ(ParsePack(Header(0, 0, {}, B{9, 9})).error, PackError::None);
}

TEST(PackReader, FilesAreCheckedAgainstTheirSizeBeforeReading) {
    qvtest::TempDir dir;
    EXPECT_EQ(ReadPackFile(dir.Path("missing.qvp")).error, PackError::Missing);
    EXPECT_EQ(ReadPackFile(dir.Path("")).error, PackError::Missing);  // a folder
    // A header claiming 2 GiB in a 30-byte file: refused, nothing allocated.
    EXPECT_EQ(ReadPackFile(dir.File("big.qvp", Header(0, 0x10, {0x7FFFFFF0}, B(8, 0)))).error,
              PackError::Short);
    EXPECT_EQ(ReadPackFile(dir.File("tiny.qvp", B(10, 0))).error, PackError::Short);
    PackRead r = ReadPackFile(dir.File("ok.qvp", Header(0x41, 0x08, {0, 6}, B{1, 2, 3, 4, 5, 6})));
    ASSERT_EQ(r.error, PackError::None) << r.message;
    EXPECT_EQ(r.pack.sections[kVoice], (B{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(r.pack.Applies(kVoice));
    EXPECT_FALSE(r.pack.Applies(kFirmware));
}

TEST(PackReader, KindAndFlagLimits) {
    Pack p;
    for (auto [kind, flags, ok] : {std::tuple{0x6F, 31, true}, {0x70, 0, false}, {0, 32, false}}) {
        p.kind = static_cast<std::uint8_t>(kind);
        p.flags = static_cast<std::uint8_t>(flags);
        EXPECT_EQ(p.Accepted(), ok) << kind << " " << flags;
    }
}

}  // namespace
}  // namespace qvupdate
