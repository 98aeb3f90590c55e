// TableView: one cached table of records inside a buffer the session owns.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "session/heap_array.h"

namespace tl {

// Where a downloaded table starts, how many bytes of records it claims and
// the next record an iteration hands out. Cleared (all null / 0) means no
// table is held. The view owns nothing: the bytes stay in the buffer they were
// received in, and readers see them only through bytesIn(), which never
// reaches past that buffer.
struct TableView {
    std::uint8_t* start = nullptr;   // first record
    std::uint8_t* cursor = nullptr;  // next record to hand out
    std::int32_t dataLen = 0;        // bytes of records from start

    // Holds a freshly received table, its cursor at the first record.
    void hold(std::uint8_t* first, std::int32_t length) {
        dataLen = length;
        start = cursor = first;
    }
    void clear() { hold(nullptr, 0); }

    // The table's bytes from start, cut to the end of `buffer`; empty when
    // there are none or start does not lie inside it.
    Bytes bytesIn(const HeapBuffer& buffer) const {
        if (!buffer || !start || dataLen <= 0) return {};
        const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
        const auto at = reinterpret_cast<std::uintptr_t>(start);
        if (at < base || at - base > buffer.capacity()) return {};
        const std::size_t room = buffer.capacity() - (at - base);
        return Bytes(start, std::min(static_cast<std::size_t>(dataLen), room));
    }
};

}  // namespace tl
