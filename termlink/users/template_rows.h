// The middle-out order in which layouts A and B store the rows of their
// D x D direction grid.
#pragma once

namespace tl {

// 1-based rows h, h + 1, h - 1, h + 2, h - 2 ... with h = D / 2, for D + 1
// steps, numbers outside 1..D skipped: every row exactly once. Calls
// visit(row) with the 0-based row until it returns false.
template <typename Visit>
void ForEachStoredRow(int d, Visit&& visit) {
    const int h = d / 2;
    for (int step = 0; step <= d; ++step) {
        const int row = step % 2 == 1 ? h + (step + 1) / 2 : h - step / 2;
        if (row >= 1 && row <= d) {
            if (!visit(row - 1)) return;
        }
    }
}

}  // namespace tl
