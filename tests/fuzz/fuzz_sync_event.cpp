// termlink-sync's decoder of real-time attendance events: any bytes in any
// of the three sizes (and others) decode within the event or are refused.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "terminal_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int sizes[] = {14, 16, 36, 15, 0};
    const int eventSize = sizes[data[0] % 5];
    // The event exactly as large as its size says, so the sanitizer sees any
    // read past it.
    std::vector<unsigned char> event(data + 1, data + size);
    event.resize(static_cast<std::size_t>(eventSize));
    const std::map<int, std::string> pins = {{1, "100001"}, {258, "X"}};
    if (auto p = tlsync::DecodeAttendanceEvent(event.data(), eventSize, pins)) {
        if (p->time.size() != 19 || p->user.size() > 24) __builtin_trap();
    }
    return 0;
}
