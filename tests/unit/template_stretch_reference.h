// The shortest coding of a grid row stretch, searched exhaustively exactly as
// the coding is defined: every candidate at every position, recursively,
// without remembering anything. Exponential; kept only as the reference the
// library's search is checked and measured against. A node budget lets
// callers give up on rows the search would take too long over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace tlref {

inline int Step(int from, int to) {
    int d = ((to - from) % 120 + 120) % 120;
    return d >= 60 ? d - 120 : d;
}

class ExhaustiveSearch {
  public:
    explicit ExhaustiveSearch(long long budget = -1) : budget_(budget) {}

    // The coding, or nothing when the budget ran out.
    std::optional<std::vector<std::uint8_t>> Code(std::span<const std::uint8_t> cells, int p) {
        std::uint8_t out[64];
        const int n = Solve(cells, p, out);
        if (exhausted_) return std::nullopt;
        return std::vector<std::uint8_t>(out, out + n);
    }

  private:
    // Writes the shortest coding of `cells` after running value `p` to `out`
    // (at most cells.size() bytes) and returns its length. Candidates in
    // order; only a strictly shorter one replaces the best.
    int Solve(std::span<const std::uint8_t> cells, int p, std::uint8_t* out) {
        if (budget_ >= 0 && --budget_ < 0) exhausted_ = true;
        if (exhausted_) return 0;
        const std::size_t k = cells.size();
        if (k == 0) return 0;
        int best = -1;
        std::uint8_t trial[64];
        auto offer = [&](int len) {
            if (best < 0 || len < best) {
                best = len;
                std::memcpy(out, trial, static_cast<std::size_t>(len));
            }
        };
        if (p < 120) {
            // 1. Every cell equals P: one run.
            bool all = true;
            for (auto c : cells) all = all && c == p;
            if (all && k >= 2 && k <= 32) {
                trial[0] = static_cast<std::uint8_t>(0x80 + k - 1);
                offer(1);
            }
            // 2. A run of r cells equal to P, then the rest.
            std::size_t lead = 0;
            while (lead < k && lead < 32 && cells[lead] == p) ++lead;
            for (std::size_t r = 2; r <= lead; ++r) {
                trial[0] = static_cast<std::uint8_t>(0x80 + r - 1);
                offer(1 + Solve(cells.subspan(r), p, trial + 1));
            }
            // 3. q nibble pairs, then the rest.
            std::size_t small = 0;
            int prev = p;
            while (small < k) {
                int s = Step(prev, cells[small]);
                if (s < -8 || s > 7) break;
                prev = cells[small++];
            }
            const std::size_t pairs = std::min<std::size_t>(32, small / 2);
            for (std::size_t q = 2; q <= pairs; ++q) {
                trial[0] = static_cast<std::uint8_t>(0xA0 + q - 1);
                int last = p;
                for (std::size_t j = 0; j < q; ++j) {
                    int hi = Step(last, cells[2 * j]) + 8;
                    int lo = Step(cells[2 * j], cells[2 * j + 1]) + 8;
                    last = cells[2 * j + 1];
                    trial[1 + j] = static_cast<std::uint8_t>(hi << 4 | lo);
                }
                const int head = 1 + static_cast<int>(q);
                offer(head + Solve(cells.subspan(2 * q), last, trial + head));
            }
        }
        // 4. A literal, then the rest.
        trial[0] = cells[0];
        offer(1 + Solve(cells.subspan(1), cells[0], trial + 1));
        return best;
    }

    long long budget_;
    bool exhausted_ = false;
};

// The exhaustive coding with no budget.
inline std::vector<std::uint8_t> ExhaustiveStretch(std::span<const std::uint8_t> cells, int p) {
    return *ExhaustiveSearch().Code(cells, p);
}

}  // namespace tlref
