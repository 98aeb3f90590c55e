// Byte stuffing for serial lines: a frame travels as 0x7E, the frame's bytes
// with 0x7E and 0x7D each sent as 0x7D followed by the byte XOR 0x20, and a
// closing 0x7E. A receiver that joins mid-frame or loses bytes resynchronises
// at the next 0x7E; the frame CRC catches everything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pmx {

constexpr std::uint8_t kFlag = 0x7E;
constexpr std::uint8_t kEscape = 0x7D;

// Appends the stuffed form of the concatenation of `a` and `b` to `out`.
void StuffFrame(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                std::vector<std::uint8_t>& out);

// Collects stuffed bytes into frames.
class Unstuffer {
  public:
    explicit Unstuffer(std::size_t maxFrame) : max_(maxFrame) {}
    // Takes one byte; true when it completed a non-empty frame, then available
    // through Frame() until the next call.
    bool Push(std::uint8_t byte);
    std::span<const std::uint8_t> Frame() const { return frame_; }
    void Reset();

  private:
    std::size_t max_;
    std::vector<std::uint8_t> frame_;
    bool inFrame_ = false;
    bool escaped_ = false;
    bool overflow_ = false;
    bool done_ = false;
};

}  // namespace pmx
