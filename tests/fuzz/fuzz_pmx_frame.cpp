// Arbitrary bytes through portmux's frame decoder and the serial unstuffer.
#include <cstddef>
#include <cstdint>

#include "core/frame.h"
#include "core/stuffing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    if (auto n = pmx::FrameSize(bytes)) {
        if (*n <= size) {
            auto f = pmx::DecodeFrame(bytes.first(*n));
            if (f && f->payload.size() != f->header.length) __builtin_trap();
        }
    }
    (void)pmx::DecodeFrame(bytes);
    pmx::Unstuffer u(4096);
    for (std::uint8_t b : bytes) {
        if (u.Push(b)) {
            auto frame = u.Frame();
            if (frame.empty() || frame.size() > 4096) __builtin_trap();
            (void)pmx::DecodeFrame(frame);
        }
    }
    return 0;
}
