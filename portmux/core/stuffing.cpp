#include "core/stuffing.h"

namespace pmx {

void StuffFrame(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                std::vector<std::uint8_t>& out) {
    out.reserve(out.size() + (a.size() + b.size()) * 2 + 2);
    out.push_back(kFlag);
    for (auto part : {a, b}) {
        for (std::uint8_t c : part) {
            if (c == kFlag || c == kEscape) {
                out.push_back(kEscape);
                out.push_back(static_cast<std::uint8_t>(c ^ 0x20));
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back(kFlag);
}

void Unstuffer::Reset() {
    frame_.clear();
    inFrame_ = escaped_ = overflow_ = done_ = false;
}

bool Unstuffer::Push(std::uint8_t byte) {
    if (done_) {
        frame_.clear();
        done_ = false;
    }
    if (byte == kFlag) {
        // A flag both ends a frame and may start the next one.
        bool complete = inFrame_ && !overflow_ && !escaped_ && !frame_.empty();
        inFrame_ = true;
        escaped_ = overflow_ = false;
        if (complete) {
            done_ = true;
            return true;
        }
        frame_.clear();
        return false;
    }
    if (!inFrame_ || overflow_) return false;
    if (escaped_) {
        byte ^= 0x20;
        escaped_ = false;
    } else if (byte == kEscape) {
        escaped_ = true;
        return false;
    }
    if (frame_.size() >= max_) {
        overflow_ = true;  // drop the rest up to the next flag
        frame_.clear();
        return false;
    }
    frame_.push_back(byte);
    return false;
}

}  // namespace pmx
