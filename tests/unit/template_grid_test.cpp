// The layout C grid block: the shortest coding of a row stretch against the
// exhaustive reference, the codes the encoder picks, and the decoder's checks.
#include <gtest/gtest.h>

#include <random>

#include "unit/template_stretch_reference.h"
#include "unit/template_test_support.h"
#include "users/template_grid.h"

namespace {

using tltest::ByteVec;

ByteVec Ours(const ByteVec& cells, int p) {
    ByteVec out(cells.size());
    out.resize(tl::CodeStretch(cells, p, out.data()));
    return out;
}

// Rows of the kinds the search has to weigh: equal runs, small steps (some
// in nibble range, some just outside), wrap-around through 119/0, jumps.
ByteVec RandomStretch(std::mt19937& rng, int len, int maxEqualRun) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    ByteVec cells;
    int v = pick(0, 119);
    if (pick(0, 3) == 0) v = pick(110, 119);  // start near the wrap
    while (static_cast<int>(cells.size()) < len) {
        int segment = pick(1, 8);
        switch (pick(0, 4)) {
            case 0:  // equal run
                segment = pick(1, maxEqualRun);
                break;
            case 1:  // small steps, nibble range
                for (int i = 0; i < segment; ++i) {
                    v = (v + pick(-8, 7) + 120) % 120;
                    cells.push_back(static_cast<std::uint8_t>(v));
                }
                continue;
            case 2:  // steps at the edge of the nibble range
                for (int i = 0; i < segment; ++i) {
                    v = (v + (pick(0, 1) ? pick(7, 9) : -pick(8, 10)) + 120) % 120;
                    cells.push_back(static_cast<std::uint8_t>(v));
                }
                continue;
            case 3:  // wrap-around walk
                for (int i = 0; i < segment; ++i) {
                    v = (v + (pick(0, 1) ? 5 : -5) + 120) % 120;
                    cells.push_back(static_cast<std::uint8_t>(v));
                }
                continue;
            default:
                v = pick(0, 119);
                break;
        }
        for (int i = 0; i < segment; ++i) cells.push_back(static_cast<std::uint8_t>(v));
    }
    cells.resize(static_cast<std::size_t>(len));
    return cells;
}

TEST(TemplateStretch, MatchesExhaustiveSearchByteForByte) {
    std::mt19937 rng(20240611);
    const int starts[] = {126, 127, 120, 0, 119, 40, 60};
    int compared = 0;
    int longCompared = 0;
    for (int i = 0; i < 1500; ++i) {
        const int len = 1 + static_cast<int>(rng() % 32);
        const ByteVec cells = RandomStretch(rng, len, 10);
        int p = starts[rng() % 7];
        if (rng() % 3 == 0) p = cells[0];  // a run may start at once
        // Rows with long equal runs make the exhaustive search explode; the
        // budget skips the few it cannot finish quickly.
        auto expected = tlref::ExhaustiveSearch(60000).Code(cells, p);
        if (!expected) continue;
        ++compared;
        if (len >= 28) ++longCompared;
        ASSERT_EQ(Ours(cells, p), *expected) << ::testing::PrintToString(cells) << " p=" << p;
    }
    EXPECT_GE(compared, 1100);
    EXPECT_GE(longCompared, 80);
}

TEST(TemplateStretch, MatchesExhaustiveSearchOnWholeEqualRows) {
    for (int len = 1; len <= 16; ++len) {
        for (int p : {126, 40, 41}) {
            const ByteVec cells(static_cast<std::size_t>(len), 40);
            ASSERT_EQ(Ours(cells, p), tlref::ExhaustiveStretch(cells, p)) << len << " " << p;
        }
    }
    // Equal runs interleaved with wrap-around steps, full width.
    ByteVec cells;
    for (int i = 0; i < 32; ++i) cells.push_back(static_cast<std::uint8_t>((118 + i / 4) % 120));
    EXPECT_EQ(Ours(cells, 126), tlref::ExhaustiveStretch(cells, 126));
}

TEST(TemplateStretch, KnownCodings) {
    // A whole row of 40 at the start of a row: a literal, then 31 cells equal
    // to P in one byte.
    EXPECT_EQ(Ours(ByteVec(32, 40), 126), (ByteVec{40, 0x9E}));
    // Steps +3 -2 +7 -8 from P = 50 pack as nibbles 11, 6, 15, 0.
    EXPECT_EQ(Ours({53, 51, 58, 50}, 50), (ByteVec{0xA1, 0xB6, 0xF0}));
    // 118 -> 2 is a step of +4 through 119 and 0.
    EXPECT_EQ(tl::DirectionStep(118, 2), 4);
    EXPECT_EQ(tl::DirectionStep(2, 118), -4);
    EXPECT_EQ(Ours({2, 6, 10, 14}, 118), (ByteVec{0xA1, 0xCC, 0xCC}));
    // Equal length: the run of every cell comes before pairs and literals.
    EXPECT_EQ(Ours({7, 7}, 7), (ByteVec{0x81}));
    // A run is only for cells equal to a running value below 120.
    EXPECT_EQ(Ours({7, 7}, 126), (ByteVec{7, 7}));
    // One cell is always a literal.
    EXPECT_EQ(Ours({9}, 9), (ByteVec{9}));
}

// A model with the given grid rows (255 = no data).
std::unique_ptr<tl::TemplateModel> GridModel(const std::vector<ByteVec>& rows) {
    auto m = tltest::NewModel();
    m->gridRows = static_cast<int>(rows.size());
    m->gridCols = static_cast<int>(rows[0].size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) m->grid[r][c] = rows[r][c];
    }
    return m;
}

ByteVec Block(const tl::TemplateModel& m) {
    ByteVec out(2 + 32 * 32);
    out.resize(tl::EncodeGridBlock(m, out));
    return out;
}

TEST(TemplateGridBlock, EncodesEmptyCellsRowsAndLiterals) {
    const std::uint8_t E = tl::kNoData;
    auto m = GridModel({
        {E, E, E, 10, 10, 10},    // 3 empty cells, literal, run
        {E, 20, 121, 120, E, E},  // lone empty cell, >120, 120, rest empty
        {7, E, E, E, E, E},       // rest empty, next row has data
        {5, E, E, E, E, E},       // rest empty, then two empty rows
        {E, E, E, E, E, E},
        {E, E, E, E, E, E},
        {E, E, E, E, E, 30},
        {E, E, E, E, E, E},  // nothing more in the grid
        {E, E, E, E, E, E},
    });
    EXPECT_EQ(Block(*m), (ByteVec{5, 8,                     // 6 columns, 9 rows
                                  0xC2, 10, 0x81,           // row 0
                                  126, 20, 127, 120, 0xC0,  // row 1
                                  7, 0xC0,                  // row 2
                                  5, 0xE2,                  // rows 3, 4, 5
                                  0xC4, 30,                 // row 6
                                  0xE0}));                  // rows 7, 8
    auto back = tltest::NewModel();
    const ByteVec block = Block(*m);
    ASSERT_EQ(tl::DecodeGridBlock(block, *back), block.size());
    m->grid[1][2] = 127;  // values above 120 come back as 127
    tltest::ExpectSameGrid(*m, *back);
}

TEST(TemplateGridBlock, WholeRowsThroughLayoutC) {
    // A 32-cell row of direction 40: the literal 40, then 0x9E for the 31
    // more cells equal to P. The first row is empty and the next has data.
    auto m = tltest::NewModel();
    m->gridCols = 32;
    m->gridRows = 3;
    std::fill_n(m->grid[1], 32, 40);
    m->grid[2][31] = 7;
    ByteVec out(64);
    out.resize(tl::EncodeLayoutC(*m, true, out));
    EXPECT_EQ(out, (ByteVec{0xA1, 0xCA, 0, 0x80, 0,  // no minutiae, grid follows
                            31, 2,                   // 32 x 3
                            0xC0,                    // row 0: empty, row 1 has data
                            40, 0x9E,                // row 1
                            0xDE, 7}));              // row 2: 31 empty cells, 7
    auto back = tltest::NewModel();
    ASSERT_EQ(tl::DecodeTemplate(out, *back), out.size());
    tltest::ExpectSameGrid(*m, *back);
}

TEST(TemplateGridBlock, RandomGridsRoundTrip) {
    std::mt19937 rng(99);
    for (int i = 0; i < 300; ++i) {
        const int cols = 1 + static_cast<int>(rng() % 32);
        const int rows = 1 + static_cast<int>(rng() % 32);
        auto m = tltest::RandomModel(rng, 0, 0, cols, rows);
        // Some empty rows and out-of-range values too.
        for (int r = 0; r < rows; ++r) {
            if (rng() % 5 == 0) std::fill_n(m->grid[r], cols, tl::kNoData);
            if (rng() % 7 == 0) m->grid[r][rng() % cols] = 120;
        }
        const ByteVec block = Block(*m);
        ASSERT_GT(block.size(), 2u);
        ASSERT_LE(block.size(), 2u + static_cast<std::size_t>(rows * cols));
        auto back = tltest::NewModel();
        ASSERT_EQ(tl::DecodeGridBlock(block, *back), block.size());
        tltest::ExpectSameGrid(*m, *back);
    }
}

TEST(TemplateGridBlock, DecoderRefusesMalformedBlocks) {
    auto m = tltest::NewModel();
    // Sizes above 32 cells.
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{32, 0, 0xE0}, *m), 0u);
    // A run longer than the row is wide (k = 3 > 2 columns).
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{1, 0, 5, 0x83}, *m), 0u);
    // A stream longer than rows x columns bytes: a 2 x 1 grid given 4 code
    // bytes by a nibble code whose extra cells would be dropped.
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{1, 0, 0xA2, 0x88, 0x88, 0x88}, *m), 0u);
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{1, 0, 0xA0, 0x88}, *m), 4u);
    // Nibble bytes missing at the end of the bytes.
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{3, 0, 10, 0xA1, 0x88}, *m), 0u);
    // Truncated before the grid is filled.
    EXPECT_EQ(tl::DecodeGridBlock(ByteVec{3, 1, 1, 2, 3, 4}, *m), 0u);
    EXPECT_EQ(m->gridCols, 0);
    EXPECT_EQ(m->grid[0][0], tl::kNoData);  // nothing left behind
    // Cells a run carries past the row's end are dropped; the row ends.
    ASSERT_EQ(tl::DecodeGridBlock(ByteVec{2, 1, 9, 0x82, 0xE0}, *m), 5u);
    EXPECT_EQ(m->grid[0][2], 9);
    EXPECT_EQ(m->grid[0][3], tl::kNoData);
    // Nibbles wrap modulo 120 even from the no-data value.
    ASSERT_EQ(tl::DecodeGridBlock(ByteVec{3, 0, 0xA1, 0xF0, 0x8C}, *m), 5u);
    EXPECT_EQ(m->grid[0][0], 13);  // 126 + 7 wraps to 13
    EXPECT_EQ(m->grid[0][1], 5);
    EXPECT_EQ(m->grid[0][2], 5);
    EXPECT_EQ(m->grid[0][3], 9);
}

}  // namespace
