// The template model's housekeeping and the choice of layout by magic.
#include "users/template_model.h"

#include <algorithm>
#include <cstring>

namespace tl {

void TemplateModel::Clear() {
    headerByte = 0;
    minutiaCount = 0;
    singularCount = 0;
    gridCols = 0;
    gridRows = 0;
    for (int* a : {x, y, dir, kind, level}) std::fill_n(a, kMaxMinutiae, 0);
    for (int* a : {spX, spY, spAngle, spKind}) std::fill_n(a, kMaxSingular, 0);
    std::memset(grid, kNoData, sizeof grid);
}

int TemplateModel::HeldMinutiae() const {
    return std::clamp(minutiaCount, 0, kMaxMinutiae);
}

int TemplateModel::HeldSingular() const {
    return std::clamp(singularCount, 0, kMaxSingular);
}

TemplateLayout LayoutOfMagic(std::uint16_t magic) {
    if (magic == kMagicLayoutA) return TemplateLayout::A;
    if ((magic & 0xFF00) == 0xCA00 && (magic & 0x7F) < 0x21) return TemplateLayout::B;
    if (magic >= 0xCA80 && magic <= 0xCABF) return TemplateLayout::C;  // low 7 bits >= 0x21
    return TemplateLayout::None;
}

std::size_t TemplateBound(std::uint16_t magic) {
    switch (LayoutOfMagic(magic)) {
        case TemplateLayout::A:
            return kLayoutAMaxBytes;
        case TemplateLayout::B:
            return kLayoutBMaxBytes;
        case TemplateLayout::C:
            return kLayoutCMaxBytes;
        case TemplateLayout::None:
            break;
    }
    return 2;
}

}  // namespace tl
