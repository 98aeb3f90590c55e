// Decoding the three stored template layouts and encoding layouts C and B.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "termlink.h"
#include "unit/template_test_support.h"

namespace {

using tltest::ByteVec;
using tltest::NewModel;
using tltest::Put16;
using tltest::Put32;
using tltest::PutMinutia;
using tltest::Singular;

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

TEST(TemplateLayout, MagicSelectsTheDecoder) {
    EXPECT_EQ(tl::LayoutOfMagic(0x432A), tl::TemplateLayout::A);
    EXPECT_EQ(tl::LayoutOfMagic(0xCA9A), tl::TemplateLayout::B);
    EXPECT_EQ(tl::LayoutOfMagic(0xCAA0), tl::TemplateLayout::B);
    EXPECT_EQ(tl::LayoutOfMagic(0xCA00), tl::TemplateLayout::B);
    EXPECT_EQ(tl::LayoutOfMagic(0xCA80), tl::TemplateLayout::B);
    EXPECT_EQ(tl::LayoutOfMagic(0xCAA1), tl::TemplateLayout::C);
    EXPECT_EQ(tl::LayoutOfMagic(0xCABF), tl::TemplateLayout::C);
    EXPECT_EQ(tl::LayoutOfMagic(0xCA21), tl::TemplateLayout::None);
    EXPECT_EQ(tl::LayoutOfMagic(0xCAC1), tl::TemplateLayout::None);
    EXPECT_EQ(tl::LayoutOfMagic(0x0000), tl::TemplateLayout::None);
}

TEST(TemplateLength, ZeroBytesAreNotATemplate) {
    const std::uint8_t zeros[16] = {};
    int length = 77;
    EXPECT_EQ(TL_FPTempLength(zeros, &length), 4);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(TL_FPTempLength(nullptr, &length), 4);
    EXPECT_EQ(TL_FPTempLength(zeros, nullptr), 4);
}

// A layout C template with `n` minutiae, no singular points, no grid.
ByteVec LayoutC(int n) {
    ByteVec b{0xA1, 0xCA, static_cast<std::uint8_t>(n & 0xFF),
              static_cast<std::uint8_t>(((n >> 8) & 3) << 5), 0x11};
    for (int i = 0; i < n; ++i) PutMinutia(b, i % 512, (i * 7) % 512, 1, i & 0xFF, i % 240);
    return b;
}

TEST(TemplateDecode, LayoutCFields) {
    ByteVec b{0xA1, 0xCA, 2, 0x02, 0x5A};  // 2 minutiae, 2 singular points, no grid
    PutMinutia(b, 511, 302, 4, 200, 17);
    PutMinutia(b, 0, 3, -1, 0, 239);
    Put32(b, Singular(1000, 511, 6, 359));  // x is 11 bits wide as stored
    Put32(b, Singular(5, 6, -1, 0));
    b.push_back(0xEE);  // not part of the template
    auto m = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(b, *m), b.size() - 1);
    EXPECT_EQ(m->headerByte, 0x5A);
    ASSERT_EQ(m->minutiaCount, 2);
    EXPECT_EQ(m->x[0], 511);
    EXPECT_EQ(m->y[0], 302);
    EXPECT_EQ(m->kind[0], 4);
    EXPECT_EQ(m->level[0], 200);
    EXPECT_EQ(m->dir[0], 17);
    EXPECT_EQ(m->kind[1], -1);
    ASSERT_EQ(m->singularCount, 2);
    EXPECT_EQ(m->spX[0], 1000);
    EXPECT_EQ(m->spY[0], 511);
    EXPECT_EQ(m->spKind[0], 6);
    EXPECT_EQ(m->spAngle[0], 359);
    EXPECT_EQ(m->spKind[1], -1);
    EXPECT_EQ(m->gridCols, 0);
    // Only three bits of the singular count are read.
    b[3] = 0x0A;
    EXPECT_EQ(tl::DecodeTemplate(b, *m), 5u + 10 + 8);
}

TEST(TemplateDecode, LayoutCMinutiaLimit) {
    const ByteVec ok = LayoutC(250);
    auto m = NewModel();
    EXPECT_EQ(tl::DecodeTemplate(ok, *m), ok.size());
    EXPECT_EQ(m->minutiaCount, 250);
    const ByteVec tooMany = LayoutC(251);
    EXPECT_EQ(tl::DecodeTemplate(tooMany, *m), 0u);
    EXPECT_EQ(m->minutiaCount, 0);
    int length = -1;
    EXPECT_EQ(TL_FPTempLength(tooMany.data(), &length), 4);
    EXPECT_EQ(length, 0);
}

TEST(TemplateDecode, TruncatedTemplatesAreRefused) {
    const ByteVec full = LayoutC(10);
    for (std::size_t n = 0; n < full.size(); ++n) {
        EXPECT_EQ(tl::TemplateLength(tl::Bytes(full.data(), n)), 0u) << n;
    }
    EXPECT_EQ(tl::TemplateLength(full), full.size());
}

TEST(TemplateDecode, InvalidGridBlockEndsTheTemplateAtItsStart) {
    ByteVec b = LayoutC(3);
    const std::size_t blockStart = b.size();
    b[3] |= 0x80;
    b.insert(b.end(), {1, 0, 0xA2, 0x88, 0x88, 0x88});  // stream too long for 2 x 1
    auto m = NewModel();
    EXPECT_EQ(tl::DecodeTemplate(b, *m), blockStart);
    EXPECT_EQ(m->gridCols, 0);
    EXPECT_EQ(m->minutiaCount, 3);
    b.resize(blockStart + 1);  // block cut short by the end of the bytes
    EXPECT_EQ(tl::DecodeTemplate(b, *m), blockStart);
}

TEST(TemplateDecode, LayoutBStoredRowsMiddleOut) {
    // D = 4: rows are stored in the order 2, 3, 1, 4 (1-based).
    ByteVec b{0x9A, 0xCA, 4 << 2 | 2};
    Put16(b, 3);              // 3 rows stored; the length field is not read
    b.push_back(1 << 2 | 1);  // 1 minutia, 1 singular point
    b.push_back(0x33);
    PutMinutia(b, 100, 200, 2, 9, 99);
    Put32(b, Singular(10, 20, 1, 300));
    b.insert(b.end(), {1, 2, 11, 12});          // row 2: columns 1..2
    b.insert(b.end(), {0, 3, 20, 21, 22, 23});  // row 3: columns 0..3
    b.insert(b.end(), {3, 5, 30, 31, 32});      // row 1: columns 3..5, only 3 in the grid
    const std::size_t used = b.size();
    b.insert(b.end(), {0, 0, 99});  // row 4 is beyond the stored count
    auto m = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(b, *m), used);
    EXPECT_EQ(m->headerByte, 0x33);
    EXPECT_EQ(m->x[0], 100);
    EXPECT_EQ(m->y[0], 200);
    EXPECT_EQ(m->spAngle[0], 300);  // layout B keeps the angle as stored
    ASSERT_EQ(m->gridCols, 4);
    ASSERT_EQ(m->gridRows, 4);
    const std::uint8_t E = tl::kNoData;
    const std::uint8_t expect[4][4] = {
        {E, E, E, 30}, {E, 11, 12, E}, {20, 21, 22, 23}, {E, E, E, E}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m->grid[r][c], expect[r][c]) << r << "," << c;
    }
    EXPECT_EQ(m->grid[0][4], E);  // nothing written outside the D x D grid
    // Rows running past the bytes: not a template.
    EXPECT_EQ(tl::TemplateLength(tl::Bytes(b.data(), used - 1)), 0u);
}

TEST(TemplateDecode, LayoutACumulativeYDegreesAndRows) {
    ByteVec b{0x2A, 0x43, 3 << 2, 3 << 2 | 1, 0x77};
    b.insert(b.end(), {2, 3, 0, 0});  // minutiae 2 and 3 carry extra y bits
    b.push_back(0b1110);              // minutia 2: 2, minutia 3: 3
    auto minutia = [&](int x, int step, int level, int degrees) {
        Put16(b, static_cast<unsigned>(x << 7 | (step & 0x7F)));
        Put16(b, static_cast<unsigned>(level | degrees << 7));
    };
    minutia(5, 40, 3, 0);             // y = 40, dir 120
    minutia(6, 10, 4, 180);           // step 10 + 2 << 7 = 266: y = 306, dir 0
    minutia(7, 1, 127, 359);          // step 1 + 3 << 7 = 385: y = 691, dir 121
    Put32(b, Singular(8, 9, 2, 90));  // angle 90 degrees -> 60
    b.push_back(2);                   // rows stored (D = 3: order 1, 2, 3)
    b.insert(b.end(), {0, 2, 1, 2, 3});
    b.insert(b.end(), {1, 1, 9});
    auto m = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(b, *m), b.size());
    EXPECT_EQ(m->headerByte, 0x77);
    ASSERT_EQ(m->minutiaCount, 3);
    EXPECT_EQ(m->y[0], 40);
    EXPECT_EQ(m->y[1], 306);
    EXPECT_EQ(m->y[2], 691);
    EXPECT_EQ(m->x[2], 7);
    EXPECT_EQ(m->dir[0], 120);
    EXPECT_EQ(m->dir[1], 0);
    EXPECT_EQ(m->dir[2], 121);  // 120 - 239 + 240
    EXPECT_EQ(m->level[2], 127);
    EXPECT_EQ(m->kind[0], 0);
    EXPECT_EQ(m->spAngle[0], 60);
    EXPECT_EQ(m->spKind[0], 2);
    EXPECT_EQ(m->grid[0][0], 1);  // row 1 (h = 1)
    EXPECT_EQ(m->grid[1][1], 9);  // row 2
    EXPECT_EQ(m->grid[2][0], tl::kNoData);
    // D = 0: no row count byte, the template ends after the singular points.
    ByteVec flat{0x2A, 0x43, 0, 1 << 2, 0, 0, 0, 0, 0, 0};
    minutia(0, 0, 0, 0);  // appended to b, copy the record over
    flat.insert(flat.end(), b.end() - 4, b.end());
    EXPECT_EQ(tl::TemplateLength(flat), 14u);
}

TEST(TemplateEncode, LayoutCRoundTripsAndIsStable) {
    std::mt19937 rng(3);
    for (int i = 0; i < 200; ++i) {
        const int cols = static_cast<int>(rng() % 33);
        const int rows = cols ? 1 + static_cast<int>(rng() % 32) : 0;
        auto m = tltest::RandomModel(rng, static_cast<int>(rng() % 251),
                                     static_cast<int>(rng() % 8), cols, rows);
        const auto before = std::make_unique<tl::TemplateModel>(*m);
        const ByteVec bytes = EncodeC(*m, true);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(EncodeC(*m, true), bytes);   // identical bytes again
        tltest::ExpectSameModel(*before, *m);  // the encoder leaves the model alone
        auto back = NewModel();
        ASSERT_EQ(tl::DecodeTemplate(bytes, *back), bytes.size());
        tltest::ExpectSameModel(*m, *back);
        // Without the grid: everything else comes back.
        const ByteVec bare = EncodeC(*m, false);
        ASSERT_EQ(tl::DecodeTemplate(bare, *back), bare.size());
        EXPECT_EQ(bare.size(), 5u + 5 * m->minutiaCount + 4 * m->singularCount);
        EXPECT_EQ(back->gridCols, 0);
    }
}

TEST(TemplateEncode, LayoutCLimitsFields) {
    auto m = NewModel();
    m->minutiaCount = 1;
    m->x[0] = 700;
    m->y[0] = -5;
    m->kind[0] = 2147483647;  // kind + 1 keeps its low 6 bits, without overflow
    m->level[0] = 0x1FF;
    m->singularCount = 10;  // more than the decoder reads
    for (int i = 0; i < 10; ++i) {
        m->spX[i] = 2000;
        m->spY[i] = 600;
        m->spAngle[i] = 400;
        m->spKind[i] = 9;
    }
    m->spKind[6] = 2147483647;
    m->gridCols = 40;  // too wide for layout C: no grid
    m->gridRows = 3;
    const ByteVec b = EncodeC(*m, true);
    ASSERT_EQ(b.size(), 5u + 5 + 7 * 4);
    EXPECT_EQ(b[3], 7);  // no grid flag, 7 singular points
    auto back = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(b, *back), b.size());
    EXPECT_EQ(back->x[0], 511);
    EXPECT_EQ(back->y[0], 0);
    EXPECT_EQ(back->kind[0], -1);
    EXPECT_EQ(back->level[0], 0xFF);
    ASSERT_EQ(back->singularCount, 7);
    EXPECT_EQ(back->spX[6], 511);
    EXPECT_EQ(back->spY[6], 511);
    EXPECT_EQ(back->spAngle[6], 359);
    EXPECT_EQ(back->spKind[6], 6);
    // Past the decoder's 250 the count still takes its high bits.
    m->minutiaCount = 300;
    m->singularCount = 0;
    const ByteVec big = EncodeC(*m, false);
    EXPECT_EQ(big[2] | ((big[3] >> 5) & 3) << 8, 300);
    // A destination too small: 0.
    ByteVec small(20);
    EXPECT_EQ(tl::EncodeLayoutC(*m, false, small), 0u);
}

TEST(TemplateEncode, LayoutBRoundTripsWithinItsLimits) {
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        const int side = static_cast<int>(rng() % 33);
        auto m = tltest::RandomModel(rng, static_cast<int>(rng() % 64), static_cast<int>(rng() % 4),
                                     side, side);
        const ByteVec bytes = EncodeB(*m);
        ASSERT_GE(bytes.size(), 7u);
        EXPECT_EQ(EncodeB(*m), bytes);
        EXPECT_EQ(tl::load_u16(bytes.data()), 0xCAA0);
        EXPECT_EQ(bytes[2] & 3, 1);
        EXPECT_EQ(tl::load_u16(bytes.data() + 3) >> 6, bytes.size());
        auto back = NewModel();
        ASSERT_EQ(tl::DecodeTemplate(bytes, *back), bytes.size());
        if (bytes.size() <= tl::kMaxEncodedB - 3) {  // no row was cut or left out
            tltest::ExpectSameModel(*m, *back);      // every row fitted
        } else {
            EXPECT_EQ(back->minutiaCount, m->minutiaCount);
        }
    }
}

TEST(TemplateEncode, LayoutBMiddleMinutiaeAndCounts) {
    auto m = NewModel();
    m->minutiaCount = 100;
    for (int i = 0; i < 100; ++i) m->x[i] = i;
    m->singularCount = 5;  // only 3 fit the 2-bit count
    const ByteVec b = EncodeB(*m);
    EXPECT_EQ(b[5], 63 << 2 | 3);
    auto back = NewModel();
    ASSERT_EQ(tl::DecodeTemplate(b, *back), b.size());
    EXPECT_EQ(back->x[0], 18);  // (100 - 63) / 2 skipped
    EXPECT_EQ(back->x[62], 80);
    EXPECT_EQ(back->singularCount, 3);
    EXPECT_EQ(back->gridCols, 0);
    // The same middle rule for layout C beyond what the model holds.
    m->minutiaCount = 9999;
    const ByteVec c = EncodeC(*m, false);
    EXPECT_EQ(c[2] | ((c[3] >> 5) & 3) << 8, tl::kMaxMinutiae);
}

TEST(TemplateEncode, LayoutBCutsRowsAt1023Bytes) {
    auto m = NewModel();
    m->minutiaCount = 63;
    m->singularCount = 3;
    m->gridCols = m->gridRows = 32;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 32; ++c) m->grid[r][c] = static_cast<std::uint8_t>((r + c) % 120);
    }
    const ByteVec b = EncodeB(*m);
    ASSERT_EQ(b.size(), 1023u);
    const int rows = tl::load_u16(b.data() + 3) & 0x3F;
    EXPECT_EQ(tl::load_u16(b.data() + 3) >> 6, 1023);
    // 334 header bytes, 34 per full row: 20 full rows, the 21st cut to 7 cells.
    EXPECT_EQ(rows, 21);
    EXPECT_EQ(b[1023 - 9], 0);  // the cut row names the columns it carries
    EXPECT_EQ(b[1023 - 8], 6);
    auto back = NewModel();
    EXPECT_EQ(tl::DecodeTemplate(b, *back), 1023u);
    // An empty row is stored as columns 0..0 holding its empty cell.
    m->gridCols = m->gridRows = 2;
    std::fill_n(m->grid[0], 2, tl::kNoData);
    const ByteVec small = EncodeB(*m);
    const std::size_t rowsAt = 7 + 63 * 5 + 3 * 4;
    EXPECT_EQ(ByteVec(small.begin() + rowsAt, small.end()),
              (ByteVec{0, 0, tl::kNoData, 0, 1, 1, 2}));  // row 1 then row 2
}

TEST(TemplateDecode, ArbitraryBytesStayInBounds) {
    // Random bytes behind every magic: the decoder reports a length within the
    // span or 0, and decodes the same way twice.
    std::mt19937 rng(5);
    const std::uint16_t magics[] = {0x432A, 0xCAA0, 0xCA9A, 0xCAA1, 0xCABF};
    auto m = NewModel();
    for (int i = 0; i < 3000; ++i) {
        ByteVec b(rng() % 600);
        for (auto& v : b) v = static_cast<std::uint8_t>(rng());
        if (b.size() >= 2) tl::store_u16(b.data(), magics[rng() % 5]);
        if (b.size() >= 4 && rng() % 2) b[3] &= 0x9F;  // plausible layout C counts
        const std::size_t n = tl::DecodeTemplate(b, *m);
        ASSERT_LE(n, b.size());
        EXPECT_EQ(tl::TemplateLength(b), n);
    }
}

}  // namespace
