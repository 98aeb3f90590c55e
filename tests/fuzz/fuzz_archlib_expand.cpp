// archlib's expander on any file's bytes, into a small buffer of exactly its
// capacity: it must refuse or expand within the buffer, and what it accepts
// must be what the file's header says. Then a round trip: the input packed
// and expanded again gives back the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the capacity: 0 to 8160 bytes.
    const std::size_t capacity = static_cast<std::size_t>(data[0]) * 32;
    ++data;
    --size;
    std::vector<std::uint8_t> out(capacity);
    const std::size_t n = archlib::Unpack(data, size, out.data(), capacity);
    if (n > capacity) std::abort();
    if (n > 0) {
        const std::uint32_t said =
            data[8] | data[9] << 8 | data[10] << 16 | static_cast<std::uint32_t>(data[11]) << 24;
        if (n != said) std::abort();
    }
    if (size > 0) {
        std::vector<std::uint8_t> file;
        if (!archlib::Pack(data, size, file)) std::abort();
        std::vector<std::uint8_t> back(size);
        if (archlib::Unpack(file.data(), file.size(), back.data(), size) != size) std::abort();
        if (std::memcmp(back.data(), data, size) != 0) std::abort();
    }
    return 0;
}
