// The short-key table and switch-time texts from arbitrary bytes: a table is
// accepted only as whole records inside the bytes received, every key's
// switch-time text keeps its 42 characters, and a switch-time text is parsed
// without reading past its terminator.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "access/short_key_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t recordSize = data[0] & 1 ? 34 : 32;
    // The received count may claim more or fewer bytes than arrived.
    const int received = static_cast<int>(data[1]) - 128 + static_cast<int>(size - 2);
    std::vector<std::uint8_t> bytes(data + 2, data + size);
    const auto keys =
        tl::DecodeShortKeyTable(tl::Bytes(bytes.data(), bytes.size()), received, recordSize);
    if (keys) {
        if (received < 4 || static_cast<std::size_t>(received) > bytes.size() ||
            (static_cast<std::size_t>(received) - 4) % recordSize != 0 ||
            keys->size() != (static_cast<std::size_t>(received) - 4) / recordSize)
            std::abort();
        for (const tl::ShortKey& k : *keys) {
            char text[tl::kSwitchTimesTextSize + 8];
            std::memset(text, '#', sizeof text);
            tl::FormatSwitchTimes(k.times, text);
            if (std::strlen(text) != 42 || text[43] != '#') std::abort();
            std::uint8_t record[34];
            tl::EncodeShortKey(k, tl::MutBytes(record, recordSize));
            tl::ShortKeyConflicts(tl::DecodeShortKey(tl::Bytes(record, recordSize)), *keys);
        }
    }
    // The same bytes as a switch-time text in a block of exactly its size.
    char* text = static_cast<char*>(std::malloc(size));
    std::memcpy(text, data + 1, size - 1);
    text[size - 1] = 0;
    if (const auto times = tl::ParseSwitchTimes(text))
        for (std::uint16_t t : *times)
            if (t / 100 > 23 || t % 100 > 59) std::abort();
    std::free(text);
    return 0;
}
