// Fetching a raw 8-bit image from the terminal's sensor, optionally saved as
// a grey-scale BMP.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

constexpr int kCaptureExchangeSize = 307220;
// The most pixels a reply can carry after its 12-byte head.
constexpr int kMaxCapturePixels = kCaptureExchangeSize - 12;

// fullImage non-zero: the full image (CMD_CAPTURE_IMAGE); zero: the sensor
// image (CMD_CAPTURE_FINGER). *width in: the requested width or 0.
// Results: 1; -2 refused, no answer, a reply too short for its head, a size
// that is zero, overflows or disagrees with the bytes received, or a BMP
// that could not be written (then no file is left at bmpPath that was not
// there before); 4 width or height null, or a bmpPath that is empty or 200
// bytes or longer (nothing sent). *width and *height take the reported size
// whenever the reply held it, even when the result is -2.
int CaptureImage(DeviceSession& s, int fullImage, int* width, int* height, std::uint8_t* pixels,
                 const char* bmpPath);

}  // namespace tl
