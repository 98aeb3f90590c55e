#include "archive.h"

#include "codec.h"

namespace archlib {
namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'L', 'A', 'R'};

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
std::uint32_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | Get16(p + 2) << 16;
}

}  // namespace

bool Pack(const std::uint8_t* data, std::size_t n, std::vector<std::uint8_t>& file) {
    if (!data || n == 0 || n > kMaxOriginal) return false;
    std::vector<std::uint8_t> stream;
    if (!Deflate(data, n, stream) || stream.size() > kMaxStream) return false;
    file.assign(kHeaderSize, 0);
    for (int i = 0; i < 4; ++i) file[i] = kMagic[i];
    Put16(&file[4], kFormatVersion);
    Put16(&file[6], 0);
    Put32(&file[8], static_cast<std::uint32_t>(n));
    Put32(&file[12], Crc32(data, n));
    Put32(&file[16], static_cast<std::uint32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    return true;
}

std::size_t Unpack(const std::uint8_t* file, std::size_t size, std::uint8_t* out,
                   std::size_t capacity) {
    if (!file || !out || size < kHeaderSize || size > kMaxFile) return 0;
    for (int i = 0; i < 4; ++i)
        if (file[i] != kMagic[i]) return 0;
    if (Get16(file + 4) != kFormatVersion || Get16(file + 6) != 0) return 0;
    const std::uint32_t original = Get32(file + 8);
    const std::uint32_t stream = Get32(file + 16);
    if (original == 0 || original > kMaxOriginal || original > capacity) return 0;
    if (stream != size - kHeaderSize) return 0;
    if (!Inflate(file + kHeaderSize, stream, out, original)) return 0;
    if (Crc32(out, original) != Get32(file + 12)) return 0;
    return original;
}

}  // namespace archlib
