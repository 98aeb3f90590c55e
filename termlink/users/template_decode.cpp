// Decoders of the three stored template layouts into the working model.
#include <cstring>

#include "users/template_codec.h"
#include "users/template_grid.h"
#include "users/template_rows.h"

namespace tl {
namespace {

// Minutia record of layouts B and C, 5 bytes.
void ReadMinutia(const std::uint8_t* p, TemplateModel& m, int i) {
    const int xy = load_u16(p);
    m.x[i] = xy >> 7;
    m.y[i] = ((xy & 0x7F) << 2) | (p[2] >> 6);
    m.kind[i] = (p[2] & 0x3F) - 1;
    m.level[i] = p[3];
    m.dir[i] = p[4];
}

// Singular point record, 4 bytes; the angle field is returned raw.
int ReadSingular(const std::uint8_t* p, TemplateModel& m, int i) {
    const std::uint32_t v = load_u32(p);
    m.spX[i] = static_cast<int>(v >> 21);
    m.spY[i] = static_cast<int>((v >> 12) & 0x1FF);
    m.spKind[i] = static_cast<int>((v >> 9) & 0x7) - 1;
    return static_cast<int>(v & 0x1FF);
}

// Layout A keeps angles in degrees; the model counts 240 steps per turn.
int DegreesToDirection(int degrees) {
    int dir = 120 - degrees * 120 / 180;
    return dir < 0 ? dir + 240 : dir;
}

// Stored grid rows of layouts A and B starting at `pos`. Each stored row is
// its first and last column and the cells between; cells outside the D x D
// grid are read over but not kept. Returns the position after the rows, or 0
// when they run past the bytes.
std::size_t ReadStoredRows(Bytes b, std::size_t pos, int d, int stored, TemplateModel& m) {
    m.gridCols = d;
    m.gridRows = d;
    int done = 0;
    bool ok = true;
    ForEachStoredRow(d, [&](int row) {
        if (done >= stored) return false;
        ++done;
        if (!fits(b.size(), pos, 2)) return ok = false;
        const int first = b[pos];
        const int last = b[pos + 1];
        pos += 2;
        const std::size_t cells = last >= first ? static_cast<std::size_t>(last - first + 1) : 0;
        if (!fits(b.size(), pos, cells)) return ok = false;
        for (int c = first; c <= last; ++c) {
            if (c < d) m.grid[row][c] = b[pos + static_cast<std::size_t>(c - first)];
        }
        pos += cells;
        return true;
    });
    return ok ? pos : 0;
}

std::size_t DecodeLayoutA(Bytes b, TemplateModel& m) {
    if (b.size() < 10) return 0;
    const int d = b[2] >> 2;
    const int n = b[3] >> 2;
    const int s = b[3] & 3;
    m.headerByte = b[4];
    std::size_t pos = 10;
    if (!fits(b.size(), pos, static_cast<std::size_t>(n + s) * 4)) return 0;
    m.minutiaCount = n;
    m.singularCount = s;
    int y = 0;
    for (int i = 0; i < n; ++i, pos += 4) {
        const int xy = load_u16(&b[pos]);
        const int ld = load_u16(&b[pos + 2]);
        int step = xy & 0x7F;
        // Up to four minutiae carry two more high bits of their y step; the
        // k-th listed one takes bits 2k and 2k + 1 of byte 9.
        for (int slot = 0, listed = 0; slot < 4; ++slot) {
            if (b[5 + slot] == 0) continue;
            if (b[5 + slot] == i + 1) {
                step |= ((b[9] >> (2 * listed)) & 3) << 7;
                break;
            }
            ++listed;
        }
        y = i == 0 ? step : y + step;
        m.x[i] = xy >> 7;
        m.y[i] = y;
        m.level[i] = ld & 0x7F;
        m.dir[i] = DegreesToDirection(ld >> 7);
        m.kind[i] = 0;
    }
    for (int i = 0; i < s; ++i, pos += 4) {
        m.spAngle[i] = DegreesToDirection(ReadSingular(&b[pos], m, i));
    }
    if (d == 0) return pos;
    if (!fits(b.size(), pos, 1)) return 0;
    const int stored = b[pos++];
    return ReadStoredRows(b, pos, d, stored, m);
}

std::size_t DecodeLayoutB(Bytes b, TemplateModel& m) {
    if (b.size() < 7) return 0;
    const int d = b[2] >> 2;
    const int stored = load_u16(&b[3]) & 0x3F;
    const int n = b[5] >> 2;
    const int s = b[5] & 3;
    m.headerByte = b[6];
    std::size_t pos = 7;
    if (!fits(b.size(), pos, static_cast<std::size_t>(n) * 5 + static_cast<std::size_t>(s) * 4)) {
        return 0;
    }
    m.minutiaCount = n;
    m.singularCount = s;
    for (int i = 0; i < n; ++i, pos += 5) ReadMinutia(&b[pos], m, i);
    for (int i = 0; i < s; ++i, pos += 4) m.spAngle[i] = ReadSingular(&b[pos], m, i);
    if (d == 0) return pos;
    return ReadStoredRows(b, pos, d, stored, m);
}

std::size_t DecodeLayoutC(Bytes b, TemplateModel& m) {
    if (b.size() < 5) return 0;
    const int n = b[2] | (((b[3] >> 5) & 3) << 8);
    const int s = b[3] & 7;
    const bool hasGrid = (b[3] & 0x80) != 0;
    if (n > kLayoutCMaxMinutiae) return 0;
    m.headerByte = b[4];
    std::size_t pos = 5;
    if (!fits(b.size(), pos, static_cast<std::size_t>(n) * 5 + static_cast<std::size_t>(s) * 4)) {
        return 0;
    }
    m.minutiaCount = n;
    m.singularCount = s;
    for (int i = 0; i < n; ++i, pos += 5) ReadMinutia(&b[pos], m, i);
    for (int i = 0; i < s; ++i, pos += 4) m.spAngle[i] = ReadSingular(&b[pos], m, i);
    if (!hasGrid) return pos;
    // An invalid grid block ends the template at the block's start.
    return pos + DecodeGridBlock(b.subspan(pos), m);
}

}  // namespace

std::size_t DecodeTemplate(Bytes bytes, TemplateModel& model) {
    model.Clear();
    if (bytes.size() < 2) return 0;
    std::size_t used = 0;
    switch (LayoutOfMagic(load_u16(bytes.data()))) {
        case TemplateLayout::A:
            used = DecodeLayoutA(bytes, model);
            break;
        case TemplateLayout::B:
            used = DecodeLayoutB(bytes, model);
            break;
        case TemplateLayout::C:
            used = DecodeLayoutC(bytes, model);
            break;
        case TemplateLayout::None:
            break;
    }
    if (used == 0) model.Clear();
    return used;
}

std::size_t TemplateLength(Bytes bytes) {
    TemplateModel scratch;
    return DecodeTemplate(bytes, scratch);
}

}  // namespace tl
