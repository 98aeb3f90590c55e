// Encoders of the working model into layouts C and B.
#include <algorithm>

#include "users/template_codec.h"
#include "users/template_grid.h"
#include "users/template_rows.h"
#include "users/template_writer.h"

namespace tl {
namespace {

constexpr int kMaxPosition = 511;
constexpr int kMaxSpAngle = 359;
constexpr int kMaxSpKindStored = 7;
constexpr int kLayoutCMaxWritten = 1023;  // 10 bits of count

void PutMinutia(TemplateWriter& w, const TemplateModel& m, int i) {
    const int x = std::clamp(m.x[i], 0, kMaxPosition);
    const int y = std::clamp(m.y[i], 0, kMaxPosition);
    w.Put16((x << 7) | (y >> 2));
    w.Put(((y & 3) << 6) | static_cast<int>((static_cast<unsigned>(m.kind[i]) + 1u) & 0x3F));
    w.Put(m.level[i] & 0xFF);
    w.Put(m.dir[i] & 0xFF);
}

void PutSingular(TemplateWriter& w, const TemplateModel& m, int i) {
    const auto x = static_cast<std::uint32_t>(std::clamp(m.spX[i], 0, kMaxPosition));
    const auto y = static_cast<std::uint32_t>(std::clamp(m.spY[i], 0, kMaxPosition));
    const auto kind =
        static_cast<std::uint32_t>(std::clamp(m.spKind[i], -1, kMaxSpKindStored - 1) + 1);
    const auto angle = static_cast<std::uint32_t>(std::clamp(m.spAngle[i], 0, kMaxSpAngle));
    w.Put32((x << 21) | (y << 12) | (kind << 9) | angle);
}

// The middle `n` of the model's minutiae: the first index written.
int FirstWritten(int held, int n) {
    return (held - n) / 2;
}

// A grid cell as the encoders see it: outside the model's grid is no data.
int CellAt(const TemplateModel& m, int row, int col) {
    const int rows = std::min(m.gridRows, kGridSide);
    const int cols = std::min(m.gridCols, kGridSide);
    return row < rows && col < cols ? m.grid[row][col] : kNoData;
}

}  // namespace

std::size_t EncodeLayoutC(const TemplateModel& m, bool withGrid, MutBytes out) {
    const int held = m.HeldMinutiae();
    const int n = std::min(held, kLayoutCMaxWritten);
    const int first = FirstWritten(held, n);
    const int s = std::min(m.HeldSingular(), kLayoutCMaxSingularRead);
    const bool grid = withGrid && m.gridCols >= 1 && m.gridCols <= kLayoutCMaxGrid &&
                      m.gridRows >= 1 && m.gridRows <= kLayoutCMaxGrid;
    TemplateWriter w{out};
    w.Put16(kMagicLayoutC);
    w.Put(n & 0xFF);
    w.Put((grid ? 0x80 : 0) | (((n >> 8) & 3) << 5) | s);
    w.Put(m.headerByte & 0xFF);
    for (int i = first; i < first + n; ++i) PutMinutia(w, m, i);
    for (int i = 0; i < s; ++i) PutSingular(w, m, i);
    if (grid && !w.overflow) {
        const std::size_t block = EncodeGridBlock(m, out.subspan(w.pos));
        if (block == 0) return 0;
        w.pos += block;
    }
    return w.Result();
}

std::size_t EncodeLayoutB(const TemplateModel& m, MutBytes out) {
    const int held = m.HeldMinutiae();
    const int n = std::min(held, kLayoutABMaxMinutiae);
    const int first = FirstWritten(held, n);
    const int s = std::min(m.HeldSingular(), kLayoutBMaxSingularRead);
    const int d = std::clamp(std::max(m.gridCols, m.gridRows), 0, kLayoutABMaxGrid);
    const std::size_t limit = std::min(out.size(), kMaxEncodedB);
    TemplateWriter w{out.first(limit)};
    w.Put16(kMagicLayoutB);
    w.Put((d << 2) | 1);
    w.Put16(0);  // rows written and total length, filled in below
    w.Put((n << 2) | s);
    w.Put(m.headerByte & 0xFF);
    for (int i = first; i < first + n; ++i) PutMinutia(w, m, i);
    for (int i = 0; i < s; ++i) PutSingular(w, m, i);
    if (w.overflow) return 0;

    int rowsWritten = 0;
    ForEachStoredRow(d, [&](int row) {
        int firstCol = 0;
        int lastCol = 0;
        while (firstCol < d && CellAt(m, row, firstCol) == kNoData) ++firstCol;
        if (firstCol == d) {
            firstCol = 0;  // an empty row: columns 0..0, its one empty cell
        } else {
            lastCol = d - 1;
            while (CellAt(m, row, lastCol) == kNoData) --lastCol;
        }
        // A row that meets the length limit is cut there; it then names only
        // the columns it carries, so it reads back without running past.
        const std::size_t room = kMaxEncodedB - w.pos;
        if (room < 3) return false;
        const int cells = std::min(lastCol - firstCol + 1, static_cast<int>(room - 2));
        w.Put(firstCol);
        w.Put(firstCol + cells - 1);
        for (int c = firstCol; c < firstCol + cells; ++c) w.Put(CellAt(m, row, c));
        ++rowsWritten;
        return cells == lastCol - firstCol + 1;
    });
    if (w.overflow) return 0;
    store_u16(out.data() + 3, static_cast<std::uint16_t>(rowsWritten | (w.pos << 6)));
    return w.pos;
}

}  // namespace tl
