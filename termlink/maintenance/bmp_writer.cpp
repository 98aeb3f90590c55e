#include "maintenance/bmp_writer.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/platform.h"

namespace tl {

std::vector<std::uint8_t> GreyBmp(const std::uint8_t* pixels, std::uint32_t width,
                                  std::uint32_t height) {
    const std::uint64_t stride = BmpStride(width);
    const std::uint64_t imageSize = stride * height;
    std::vector<std::uint8_t> out(kBmpHeaderSize + imageSize, 0);
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    store_u32(h + 2, static_cast<std::uint32_t>(kBmpHeaderSize + imageSize));
    store_u32(h + 10, kBmpHeaderSize);
    store_u32(h + 14, 40);
    store_u32(h + 18, width);
    store_u32(h + 22, height);
    store_u16(h + 26, 1);
    store_u16(h + 28, 8);
    store_u32(h + 34, static_cast<std::uint32_t>(imageSize));
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* entry = h + 54 + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<std::uint8_t>(i);
    }
    for (std::uint32_t row = 0; row < height; ++row)
        std::memcpy(h + kBmpHeaderSize + row * stride,
                    pixels + static_cast<std::size_t>(row) * width, width);
    return out;
}

bool WriteGreyBmp(const std::string& path, const std::uint8_t* pixels, std::uint32_t width,
                  std::uint32_t height) {
    const std::vector<std::uint8_t> bytes = GreyBmp(pixels, width, height);
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = platform::replace_file(temp, path);
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace tl
