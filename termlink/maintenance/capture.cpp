#include "maintenance/capture.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "maintenance/bmp_writer.h"
#include "maintenance/output_path.h"
#include "portmux.h"
#include "session/commands.h"

namespace tl {
namespace {

constexpr std::uint32_t kSensorRequest = 500;
// A reply of exactly this many bytes is a 640 x 480 image with no head.
constexpr int kPlainImageBytes = 307200;

}  // namespace

int CaptureImage(DeviceSession& s, int fullImage, int* width, int* height, std::uint8_t* pixels,
                 const char* bmpPath) {
    if (!width || !height || (bmpPath && !UsablePath(bmpPath))) return 4;
    std::vector<std::uint8_t> exchange(kCaptureExchangeSize, 0);
    int requestLength = 0;
    if (!fullImage) {
        store_u32(exchange.data(), kSensorRequest);
        requestLength = 4;
    }
    if (*width != 0) {
        store_u32(exchange.data() + requestLength, static_cast<std::uint32_t>(*width));
        requestLength += 4;
    }
    int word = fullImage ? CMD_CAPTURE_IMAGE : CMD_CAPTURE_FINGER;
    const int result =
        PMX_READDATA(s.transport, &word, exchange.data(), kCaptureExchangeSize, requestLength,
                     s.blockSize, static_cast<int>(std::min(2LL * s.cmdTimeout, 1LL * INT_MAX)));
    if ((word & 0xFFFF) != REPLY_OK) return -2;
    const int n = std::clamp(result, 0, kCaptureExchangeSize);

    std::uint32_t w = 640, h = 480;
    const std::uint8_t* image = exchange.data();
    if (n != kPlainImageBytes) {
        if (n < 12) return -2;  // the size was not received
        w = load_u32(exchange.data() + 4);
        h = load_u32(exchange.data() + 8);
        image += 12;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    const std::uint64_t count = static_cast<std::uint64_t>(w) * h;  // no overflow in 64 bits
    const std::uint64_t expected = n == kPlainImageBytes ? kPlainImageBytes : count + 12;
    if (count == 0 || expected != static_cast<std::uint64_t>(n)) return -2;
    if (pixels) std::memcpy(pixels, image, static_cast<std::size_t>(count));
    if (bmpPath && !WriteGreyBmp(bmpPath, image, w, h)) return -2;
    return 1;
}

}  // namespace tl
