// Helpers for the template codec tests: model builders and comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "users/template_codec.h"
#include "users/template_model.h"

namespace tltest {

using ByteVec = std::vector<std::uint8_t>;

// Models are large; tests keep them on the heap.
inline std::unique_ptr<tl::TemplateModel> NewModel() {
    return std::make_unique<tl::TemplateModel>();
}

// A plausible model: minutiae spread over the print, a few singular points,
// and (when cols/rows are non-zero) a smooth direction field with an empty
// border, as a sensor produces.
inline std::unique_ptr<tl::TemplateModel> RandomModel(std::mt19937& rng, int minutiae, int singular,
                                                      int cols, int rows) {
    auto m = NewModel();
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    m->headerByte = pick(0, 255);
    m->minutiaCount = minutiae;
    for (int i = 0; i < minutiae; ++i) {
        m->x[i] = pick(20, 480);
        m->y[i] = pick(20, 500);
        m->dir[i] = pick(0, 239);
        m->kind[i] = pick(0, 3);
        m->level[i] = pick(0, 255);
    }
    m->singularCount = singular;
    for (int i = 0; i < singular; ++i) {
        m->spX[i] = pick(0, 511);
        m->spY[i] = pick(0, 511);
        m->spAngle[i] = pick(0, 359);
        m->spKind[i] = pick(0, 5);
    }
    m->gridCols = cols;
    m->gridRows = rows;
    const int base = pick(0, 119);
    for (int r = 0; r < rows; ++r) {
        int v = (base + r * pick(0, 3)) % 120;
        const int left = pick(0, cols / 4);
        const int right = cols - pick(0, cols / 4);
        for (int c = 0; c < cols; ++c) {
            if (c < left || c >= right) continue;  // no data outside the print
            const int roll = pick(0, 9);
            if (roll < 5)
                v = (v + pick(-3, 3) + 120) % 120;  // smooth
            else if (roll < 8) {
            }  // equal
            else if (roll == 8)
                v = (v + pick(-8, 7) + 120) % 120;  // nibble step
            else
                v = pick(0, 119);  // jump
            m->grid[r][c] = static_cast<std::uint8_t>(v);
        }
    }
    return m;
}

inline void ExpectSameGrid(const tl::TemplateModel& a, const tl::TemplateModel& b) {
    ASSERT_EQ(a.gridCols, b.gridCols);
    ASSERT_EQ(a.gridRows, b.gridRows);
    for (int r = 0; r < a.gridRows; ++r) {
        for (int c = 0; c < a.gridCols; ++c) {
            ASSERT_EQ(a.grid[r][c], b.grid[r][c]) << "row " << r << " col " << c;
        }
    }
}

// Compares two models field by field within what `a` holds.
inline void ExpectSameModel(const tl::TemplateModel& a, const tl::TemplateModel& b) {
    EXPECT_EQ(a.headerByte, b.headerByte);
    ASSERT_EQ(a.minutiaCount, b.minutiaCount);
    for (int i = 0; i < a.minutiaCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.x[i], b.x[i]);
        EXPECT_EQ(a.y[i], b.y[i]);
        EXPECT_EQ(a.dir[i], b.dir[i]);
        EXPECT_EQ(a.kind[i], b.kind[i]);
        EXPECT_EQ(a.level[i], b.level[i]);
    }
    ASSERT_EQ(a.singularCount, b.singularCount);
    for (int i = 0; i < a.singularCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.spX[i], b.spX[i]);
        EXPECT_EQ(a.spY[i], b.spY[i]);
        EXPECT_EQ(a.spAngle[i], b.spAngle[i]);
        EXPECT_EQ(a.spKind[i], b.spKind[i]);
    }
    ExpectSameGrid(a, b);
}

// Little-endian pieces for hand-built templates.
inline void Put16(ByteVec& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(ByteVec& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
// A minutia record of layouts B and C.
inline void PutMinutia(ByteVec& b, int x, int y, int kind, int level, int dir) {
    Put16(b, static_cast<unsigned>(x << 7 | y >> 2));
    b.push_back(static_cast<std::uint8_t>((y & 3) << 6 | (kind + 1)));
    b.push_back(static_cast<std::uint8_t>(level));
    b.push_back(static_cast<std::uint8_t>(dir));
}
inline std::uint32_t Singular(int x, int y, int kind, int angle) {
    return static_cast<std::uint32_t>(x) << 21 | static_cast<std::uint32_t>(y) << 12 |
           static_cast<std::uint32_t>(kind + 1) << 9 | static_cast<std::uint32_t>(angle);
}

}  // namespace tltest
