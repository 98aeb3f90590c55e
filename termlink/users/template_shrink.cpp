// Normalisation and shrinking of templates: re-encoding in layout C, if need
// be without the grid and without the minutiae farthest from the centre.
#include <algorithm>
#include <array>
#include <cstring>

#include "users/template_codec.h"

namespace tl {

void RemoveOuterMinutiae(TemplateModel& model, int m) {
    const int count = model.HeldMinutiae();
    if (m <= 0 || m >= count) return;

    // Centre on each axis: the average of the mean and the midrange.
    auto centre = [count](const int* v) {
        long long sum = 0;
        long long lo = v[0];
        long long hi = v[0];
        for (int i = 0; i < count; ++i) {
            sum += v[i];
            lo = std::min<long long>(lo, v[i]);
            hi = std::max<long long>(hi, v[i]);
        }
        return (sum / count + (lo + hi) / 2) / 2;
    };
    const long long cx = centre(model.x);
    const long long cy = centre(model.y);

    std::array<long long, kMaxMinutiae> dist{};
    std::array<int, kMaxMinutiae> order{};
    for (int i = 0; i < count; ++i) {
        const long long dx = model.x[i] - cx;
        const long long dy = model.y[i] - cy;
        dist[i] = dx * dx + dy * dy;
        order[i] = i;
    }
    // m passes of an adjacent-swap sort moving larger distances rightwards;
    // pass i runs over positions 1 .. count - i, so after m passes the m
    // farthest minutiae sit at the end (equal distances keep their order).
    for (int pass = 1; pass <= m; ++pass) {
        for (int j = 1; j <= count - pass; ++j) {
            if (dist[order[j - 1]] > dist[order[j]]) std::swap(order[j - 1], order[j]);
        }
    }

    const int keep = count - m;
    for (int* field : {model.x, model.y, model.dir, model.kind, model.level}) {
        std::array<int, kMaxMinutiae> copy;
        std::copy_n(field, count, copy.begin());
        for (int i = 0; i < keep; ++i) field[i] = copy[order[i]];
        std::fill(field + keep, field + count, 0);
    }
    model.minutiaCount = keep;
}

std::size_t ShrinkModel(TemplateModel& model, long long limit, MutBytes out) {
    // Any limit below a header's size gives 0 below; keep the arithmetic small.
    limit = std::clamp(limit, 0LL, 1LL << 30);
    std::array<std::uint8_t, kMaxEncodedC> work;  // holds any model's encoding
    auto deliver = [&](std::size_t len) -> std::size_t {
        if (len == 0 || len > out.size()) return 0;
        std::memcpy(out.data(), work.data(), len);
        return len;
    };
    std::size_t len = EncodeLayoutC(model, true, work);
    if (static_cast<long long>(len) <= limit) return deliver(len);
    len = EncodeLayoutC(model, false, work);
    if (static_cast<long long>(len) <= limit) return deliver(len);
    const long long m = (static_cast<long long>(len) - limit + 4) / 5;
    if (m >= model.HeldMinutiae()) return 0;
    RemoveOuterMinutiae(model, static_cast<int>(m));
    return deliver(EncodeLayoutC(model, false, work));
}

std::size_t ShrinkTemplate(MutBytes bytes, long long limit) {
    TemplateModel model;
    if (DecodeTemplate(bytes, model) == 0) return 0;
    return ShrinkModel(model, limit, bytes);
}

std::size_t NormalizeTemplate(Bytes source, MutBytes destination) {
    TemplateModel model;
    if (DecodeTemplate(source, model) == 0) return 0;
    return EncodeLayoutC(model, true, destination);
}

}  // namespace tl
