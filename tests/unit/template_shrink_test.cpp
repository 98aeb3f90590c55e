// Normalising and shrinking templates, and the codec's exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "termlink.h"
#include "unit/template_test_support.h"

namespace {

using tltest::ByteVec;
using tltest::NewModel;

ByteVec EncodeC(const tl::TemplateModel& m, bool grid) {
    ByteVec out(tl::kMaxEncodedC);
    out.resize(tl::EncodeLayoutC(m, grid, out));
    return out;
}
ByteVec EncodeB(const tl::TemplateModel& m) {
    ByteVec out(tl::kMaxEncodedB);
    out.resize(tl::EncodeLayoutB(m, out));
    return out;
}

// A layout C template whose normalised form is 5 + 5n + 5 bytes: n minutiae
// and a 3 x 1 grid of three literals.
std::unique_ptr<tl::TemplateModel> ModelOfLength900() {
    std::mt19937 rng(8);
    auto m = tltest::RandomModel(rng, 178, 0, 3, 1);
    m->grid[0][0] = 1;
    m->grid[0][1] = 50;
    m->grid[0][2] = 100;
    return m;
}

TEST(TemplateShrink, WithinTheLimitGivesLayoutCWithGrid) {
    std::mt19937 rng(1);
    auto m = tltest::RandomModel(rng, 30, 2, 20, 20);
    ByteVec b = EncodeB(*m);
    const ByteVec expected = EncodeC(*m, true);
    ASSERT_NE(b.size(), expected.size());
    b.resize(std::max(b.size(), expected.size()));
    ASSERT_EQ(tl::ShrinkTemplate(b, 2000), expected.size());
    EXPECT_EQ(ByteVec(b.begin(), b.begin() + static_cast<long>(expected.size())), expected);
}

TEST(TemplateShrink, DropsTheGridBeforeAnyMinutia) {
    std::mt19937 rng(2);
    auto m = tltest::RandomModel(rng, 40, 1, 16, 16);
    ByteVec b = EncodeC(*m, true);
    const ByteVec bare = EncodeC(*m, false);
    ASSERT_EQ(tl::ShrinkTemplate(b, static_cast<long long>(bare.size())), bare.size());
    EXPECT_EQ(ByteVec(b.begin(), b.begin() + static_cast<long>(bare.size())), bare);
}

TEST(TemplateShrink, RemovesTheMinutiaeFarthestFromTheCentre) {
    auto m = NewModel();
    // Twelve minutiae around (200, 200); three far out in the middle of the
    // list; the last stored one is the most central of all.
    const int xs[] = {190, 210, 195, 500, 205, 200, 0, 198, 202, 196, 204, 450, 199, 201, 200};
    const int ys[] = {200, 195, 210, 500, 190, 205, 0, 199, 201, 204, 196, 30, 203, 197, 200};
    m->minutiaCount = 15;
    for (int i = 0; i < 15; ++i) {
        m->x[i] = xs[i];
        m->y[i] = ys[i];
        m->dir[i] = i;
        m->level[i] = 100 + i;
        m->kind[i] = i % 3;
    }
    m->singularCount = 1;
    ByteVec b = EncodeC(*m, false);  // 5 + 75 + 4 = 84 bytes
    // Limit 70: m = (84 - 70 + 4) / 5 = 3 minutiae go.
    ASSERT_EQ(tl::ShrinkTemplate(b, 70), 69u);
    auto back = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(tl::Bytes(b.data(), 69), *back), 69u);
    ASSERT_EQ(back->minutiaCount, 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NE(back->x[i], 500);
        EXPECT_NE(back->x[i], 0);
        EXPECT_NE(back->x[i], 450);
        // All five fields travel together.
        EXPECT_EQ(back->level[i], 100 + back->dir[i]);
        EXPECT_EQ(back->x[i], xs[back->dir[i]]);
        EXPECT_EQ(back->kind[i], back->dir[i] % 3);
    }
    EXPECT_TRUE(std::any_of(back->x, back->x + 12, [](int x) { return x == 200; }));
    EXPECT_EQ(back->singularCount, 1);
}

TEST(TemplateShrink, ImpossibleLimitLeavesTheBytesAlone) {
    std::mt19937 rng(4);
    auto m = tltest::RandomModel(rng, 5, 3, 4, 4);
    ByteVec b = EncodeC(*m, true);
    const ByteVec before = b;
    // Even one minutia left needs 5 + 5 + 12 bytes.
    EXPECT_EQ(tl::ShrinkTemplate(b, 21), 0u);
    EXPECT_EQ(tl::ShrinkTemplate(b, -100000), 0u);
    EXPECT_EQ(b, before);
    EXPECT_EQ(TL_SetFPTempLength(b.data(), 21), 4);
    EXPECT_EQ(b, before);
    EXPECT_EQ(TL_SetFPTempLength(b.data(), 22), 1);
    EXPECT_EQ(tl::TemplateLength(b), 22u);
    ByteVec junk(32, 0);
    EXPECT_EQ(TL_SetFPTempLength(junk.data(), 1000), 4);
    EXPECT_EQ(TL_SetFPTempLength(nullptr, 1000), 4);
}

TEST(TemplateNormalize, WritesLayoutCWithGridOrNothing) {
    std::mt19937 rng(6);
    auto m = tltest::RandomModel(rng, 50, 2, 24, 24);
    const ByteVec src = EncodeB(*m);
    auto decoded = NewModel();
    ASSERT_GT(tl::DecodeTemplate(src, *decoded), 0u);
    const ByteVec expected = EncodeC(*decoded, true);
    ByteVec dst(2048);
    ASSERT_EQ(tl::NormalizeTemplate(src, dst), expected.size());
    EXPECT_EQ(ByteVec(dst.begin(), dst.begin() + static_cast<long>(expected.size())), expected);
    ByteVec tooSmall(expected.size() - 1);
    EXPECT_EQ(tl::NormalizeTemplate(src, tooSmall), 0u);
    EXPECT_EQ(tl::NormalizeTemplate(ByteVec(10, 0), dst), 0u);
}

TEST(TemplateExports, ConvertToLayoutB) {
    std::mt19937 rng(7);
    auto m = tltest::RandomModel(rng, 20, 1, 8, 8);
    const ByteVec src = EncodeC(*m, true);
    ByteVec dst(1023, 0xEE);
    int length = 0;
    ASSERT_EQ(TL_FPTempConvert(src.data(), dst.data(), &length), 1);
    const ByteVec expected = EncodeB(*m);
    ASSERT_EQ(length, static_cast<int>(expected.size()));
    EXPECT_EQ(ByteVec(dst.begin(), dst.begin() + length), expected);
    // 50 bytes or less is refused: 7 + 5 x 8 + 0 = 47.
    auto tiny = NewModel();
    tiny->minutiaCount = 8;
    const ByteVec small = EncodeC(*tiny, false);
    length = -1;
    EXPECT_EQ(TL_FPTempConvert(small.data(), dst.data(), &length), 4);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(TL_FPTempConvert(ByteVec(8, 0).data(), dst.data(), &length), 4);
}

TEST(TemplateExports, ConvertNewWithoutShrinking) {
    auto m = ModelOfLength900();
    ByteVec src = EncodeB(*m);  // layout B keeps 63 of the minutiae
    auto decoded = NewModel();
    ASSERT_GT(tl::DecodeTemplate(src, *decoded), 0u);
    const ByteVec expected = EncodeC(*decoded, true);
    const ByteVec before = src;
    for (int w : {0, 100, 2048, -5, 100000}) {
        ByteVec dst(2048);
        int length = w;
        ASSERT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 1) << w;
        EXPECT_EQ(length, static_cast<int>(expected.size()));
        EXPECT_EQ(ByteVec(dst.begin(), dst.begin() + length), expected);
        EXPECT_EQ(src, before);
    }
}

TEST(TemplateExports, ConvertNewShrinksSourceAndDestinationAlike) {
    auto m = ModelOfLength900();
    ByteVec src = EncodeC(*m, true);
    ASSERT_EQ(src.size(), 900u);
    ByteVec dst(2048);
    int length = 600;
    ASSERT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 1);
    EXPECT_EQ(length, 600);  // 900 -> 895 without the grid -> 59 minutiae fewer
    EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + length, src.begin()));
    auto back = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(tl::Bytes(src.data(), 600), *back), 600u);
    EXPECT_EQ(back->minutiaCount, 178 - 59);
    EXPECT_EQ(back->gridCols, 0);
    // A template that shrinking leaves at 50 bytes or less (here its grid
    // made up most of it) is refused like a short normalised one, and the
    // source stays as it was.
    std::mt19937 rng(12);
    auto few = tltest::RandomModel(rng, 3, 2, 20, 20);
    ByteVec gridHeavy = EncodeC(*few, true);
    ASSERT_GT(gridHeavy.size(), 120u);
    const ByteVec gridHeavy0 = gridHeavy;
    length = 120;
    EXPECT_EQ(TL_FPTempConvertNew(gridHeavy.data(), dst.data(), &length), 4);
    EXPECT_EQ(length, 120);
    EXPECT_EQ(gridHeavy, gridHeavy0);
    // W = 1000 is above the normalised length: no shrinking.
    src = EncodeC(*m, true);
    length = 1000;
    ASSERT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 1);
    EXPECT_EQ(length, 900);
}

TEST(TemplateExports, ConvertNewRefusals) {
    ByteVec dst(2048);
    auto tiny = NewModel();
    tiny->minutiaCount = 9;  // 5 + 45 = 50 bytes: too short to be useful
    ByteVec src = EncodeC(*tiny, true);
    int length = 0;
    EXPECT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 4);
    EXPECT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), nullptr), 4);
    EXPECT_EQ(TL_FPTempConvertNew(ByteVec(16, 0).data(), dst.data(), &length), 4);
    // The largest layout C template normalises to more than the 2048-byte
    // destination: refused unless a maximum below that is asked for.
    auto big = NewModel();
    big->minutiaCount = 250;
    big->singularCount = 7;
    big->gridCols = big->gridRows = 32;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 32; ++c) big->grid[r][c] = static_cast<std::uint8_t>((c * 37) % 120);
    }
    src = EncodeC(*big, true);
    ASSERT_EQ(src.size(), tl::kLayoutCMaxBytes);
    int length2 = 0;
    EXPECT_EQ(TL_FPTempLength(src.data(), &length2), 1);
    EXPECT_EQ(length2, static_cast<int>(tl::kLayoutCMaxBytes));
    length = 0;
    EXPECT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 4);
    length = 1500;
    EXPECT_EQ(TL_FPTempConvertNew(src.data(), dst.data(), &length), 1);
    EXPECT_EQ(length, 5 + 250 * 5 + 28);
}

}  // namespace
