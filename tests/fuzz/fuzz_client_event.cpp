// The tools' decoding of real-time events: any kind, any bytes, in each of
// the three data sizes. The decoded texts stay within the event's fields.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "client/events.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int sizes[] = {14, 16, 36};
    const int eventSize = sizes[data[0] % 3];
    const int kinds[] = {1, 3, data[1]};
    const int kind = kinds[data[1] % 3];
    // Exactly as large as its size, so the sanitizer sees any read past it.
    std::vector<unsigned char> event(data + 2, data + size);
    event.resize(static_cast<std::size_t>(eventSize));
    const tlclient::EventView v = tlclient::DescribeEvent(kind, event.data(), eventSize);
    if (v.user.size() > 24) std::abort();
    if (!v.time.empty() && v.time.size() < 19) std::abort();
    if (v.detail.size() > 3 * 36) std::abort();
    return 0;
}
