// Coding and decoding of the layout C grid block.
#include "users/template_grid.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "users/template_writer.h"

namespace tl {
namespace {

constexpr int kNibbleMin = -8;
constexpr int kNibbleMax = 7;

int WrapDirection(int v) {
    return ((v % kDirectionSteps) + kDirectionSteps) % kDirectionSteps;
}

}  // namespace

std::size_t CodeStretch(std::span<const std::uint8_t> cells, int p, std::uint8_t* out) {
    // best[i]: length of the shortest coding of cells[i..k), with the running
    // value before cell i being p (i = 0) or cells[i - 1]. Every candidate
    // leaves the running value equal to the last cell it covers, so this is
    // the whole state of the search. Candidates are tried in a fixed order
    // and only a strictly shorter one replaces the best, as in an exhaustive
    // search over the same order.
    enum Kind : std::uint8_t { kLiteral, kRun, kPairs };
    const int k = static_cast<int>(std::min<std::size_t>(cells.size(), kMaxStretch));
    std::array<int, kMaxStretch + 1> best{};
    std::array<Kind, kMaxStretch + 1> kind{};
    std::array<int, kMaxStretch + 1> span{};  // cells covered by the chosen code
    best[k] = 0;
    for (int i = k - 1; i >= 0; --i) {
        const int before = i == 0 ? p : cells[i - 1];
        int len = 0;
        Kind choice = kLiteral;
        int covered = 0;
        bool have = false;
        auto offer = [&](int candidate, Kind kd, int cov) {
            if (!have || candidate < len) {
                len = candidate;
                choice = kd;
                covered = cov;
                have = true;
            }
        };
        if (before < kDirectionSteps) {
            // Runs of cells equal to the running value. A run of every
            // remaining cell is the first candidate and codes the same byte.
            int equal = 0;
            while (i + equal < k && equal < kMaxStretch && cells[i + equal] == before) ++equal;
            for (int r = 2; r <= equal; ++r) offer(1 + best[i + r], kRun, r);
            // Nibble pairs: leading cells whose step from the previous one
            // fits a nibble.
            int small = 0;
            int prev = before;
            while (i + small < k) {
                int step = DirectionStep(prev, cells[i + small]);
                if (step < kNibbleMin || step > kNibbleMax) break;
                prev = cells[i + small];
                ++small;
            }
            const int pairs = std::min(kMaxStretch, small / 2);
            for (int q = 2; q <= pairs; ++q) offer(1 + q + best[i + 2 * q], kPairs, 2 * q);
        }
        offer(1 + best[i + 1], kLiteral, 1);
        best[i] = len;
        kind[i] = choice;
        span[i] = covered;
    }

    std::size_t n = 0;
    for (int i = 0; i < k;) {
        const int cov = span[i];
        switch (kind[i]) {
            case kLiteral:
                out[n++] = cells[i];
                break;
            case kRun:
                out[n++] = static_cast<std::uint8_t>(0x80 + cov - 1);
                break;
            case kPairs: {
                int prev = i == 0 ? p : cells[i - 1];
                out[n++] = static_cast<std::uint8_t>(0xA0 + cov / 2 - 1);
                for (int j = i; j < i + cov; j += 2) {
                    int hi = DirectionStep(prev, cells[j]) + 8;
                    int lo = DirectionStep(cells[j], cells[j + 1]) + 8;
                    prev = cells[j + 1];
                    out[n++] = static_cast<std::uint8_t>((hi << 4) | lo);
                }
                break;
            }
        }
        i += cov;
    }
    return n;
}

namespace {

bool RowHasData(const TemplateModel& m, int row, int from, int cols) {
    for (int c = from; c < cols; ++c) {
        if (m.grid[row][c] != kNoData) return true;
    }
    return false;
}

}  // namespace

std::size_t EncodeGridBlock(const TemplateModel& m, MutBytes out) {
    const int cols = m.gridCols;
    const int rows = m.gridRows;
    if (cols < 1 || cols > kLayoutCMaxGrid || rows < 1 || rows > kLayoutCMaxGrid) return 0;
    TemplateWriter w{out};
    w.Put(cols - 1);
    w.Put(rows - 1);
    std::uint8_t coded[kMaxStretch];
    for (int r = 0; r < rows; ++r) {
        int c = 0;
        int p = kCodeNoData;
        while (c < cols) {
            if (!RowHasData(m, r, c, cols)) {
                int next = r + 1;
                while (next < rows && !RowHasData(m, next, 0, cols)) ++next;
                if (next >= rows) {  // nothing more in the whole grid
                    w.Put(0xE0);
                    return w.overflow ? 0 : w.pos;
                }
                if (next == r + 1) {
                    w.Put(0xC0);
                } else {
                    int empty = std::min(next - r - 1, 31);
                    w.Put(0xE0 + empty);
                    r += empty;
                }
                break;
            }
            int empty = 0;
            while (c + empty < cols && empty < kMaxStretch && m.grid[r][c + empty] == kNoData) {
                ++empty;
            }
            if (empty >= 2) {
                w.Put(0xC0 + empty - 1);
                c += empty;
                p = kCodeNoData;
                continue;
            }
            int cell = m.grid[r][c];
            if (cell < kDirectionSteps) {
                int len = 0;
                while (c + len < cols && len < kMaxStretch &&
                       m.grid[r][c + len] < kDirectionSteps) {
                    ++len;
                }
                std::size_t n = CodeStretch(
                    std::span<const std::uint8_t>(&m.grid[r][c], static_cast<std::size_t>(len)), p,
                    coded);
                for (std::size_t j = 0; j < n; ++j) w.Put(coded[j]);
                c += len;
                p = m.grid[r][c - 1];
            } else {
                int literal = cell == kNoData ? kCodeNoData : cell > kDirectionSteps ? 127 : cell;
                w.Put(literal);
                p = literal;
                ++c;
            }
        }
    }
    return w.overflow ? 0 : w.pos;
}

std::size_t DecodeGridBlock(Bytes block, TemplateModel& m) {
    auto invalid = [&m]() -> std::size_t {
        for (auto& row : m.grid) std::memset(row, kNoData, sizeof row);
        m.gridCols = 0;
        m.gridRows = 0;
        return 0;
    };
    if (block.size() < 2) return invalid();
    const int cols = block[0] + 1;
    const int rows = block[1] + 1;
    if (cols > kLayoutCMaxGrid || rows > kLayoutCMaxGrid) return invalid();
    const std::size_t start = 2;
    const std::size_t end = std::min(
        block.size(), start + static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    std::size_t pos = start;
    auto put = [&](int r, int& c, int value) {
        // Cells a code carries beyond the row's last column are dropped.
        if (c < cols) m.grid[r][c] = static_cast<std::uint8_t>(value);
        ++c;
    };
    auto cellOf = [](int p) { return p == kCodeNoData ? kNoData : p; };
    for (int r = 0; r < rows; ++r) {
        int c = 0;
        int p = kCodeNoData;
        while (c < cols) {
            if (pos >= end) return invalid();
            const int code = block[pos++];
            if (code < 0x80) {
                put(r, c, cellOf(code));
                p = code;
                continue;
            }
            const int k = code & 0x1F;
            const int family = code & 0xE0;
            if (family != 0xE0 && k > cols) return invalid();
            switch (family) {
                case 0x80:
                    for (int j = 0; j <= k; ++j) put(r, c, cellOf(p));
                    break;
                case 0xA0:
                    if (end - pos < static_cast<std::size_t>(k) + 1) return invalid();
                    for (int j = 0; j <= k; ++j) {
                        const int b = block[pos++];
                        p = WrapDirection(p + (b >> 4) - 8);
                        put(r, c, p);
                        p = WrapDirection(p + (b & 0x0F) - 8);
                        put(r, c, p);
                    }
                    break;
                case 0xC0:
                    if (k == 0) {
                        c = cols;
                    } else {
                        c += k + 1;
                        p = kCodeNoData;
                    }
                    break;
                default:  // 0xE0
                    if (k == 0)
                        r = rows;  // rest of the grid is empty
                    else
                        r += k;  // this row and the next k rows
                    c = cols;
                    break;
            }
        }
    }
    m.gridCols = cols;
    m.gridRows = rows;
    return pos;
}

}  // namespace tl
