#include "core/frame.h"

#include <cstring>

#include "core/bytes.h"
#include "core/crc32c.h"

namespace pmx {
namespace {

std::uint32_t FrameCrc(const std::uint8_t* header, std::span<const std::uint8_t> payload) {
    std::uint32_t crc = Crc32c(0, header, 24);
    return Crc32c(crc, payload.data(), payload.size());
}

}  // namespace

void EncodeHeader(const FrameHeader& h, std::span<const std::uint8_t> payload, std::uint8_t* out) {
    StoreU16(out, kMagic);
    out[2] = kProtocolVersion;
    out[3] = static_cast<std::uint8_t>(h.type);
    StoreU32(out + 4, h.session);
    StoreU32(out + 8, h.seq);
    StoreU32(out + 12, h.code);
    StoreU32(out + 16, h.arg);
    StoreU32(out + 20, static_cast<std::uint32_t>(payload.size()));
    StoreU32(out + 24, FrameCrc(out, payload));
}

std::vector<std::uint8_t> EncodeFrame(const FrameHeader& h, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out(kHeaderSize + payload.size());
    EncodeHeader(h, payload, out.data());
    if (!payload.empty()) std::memcpy(out.data() + kHeaderSize, payload.data(), payload.size());
    return out;
}

std::optional<std::size_t> FrameSize(std::span<const std::uint8_t> header) {
    if (header.size() < kHeaderSize) return std::nullopt;
    const std::uint8_t* p = header.data();
    if (LoadU16(p) != kMagic || p[2] != kProtocolVersion) return std::nullopt;
    if (p[3] == 0 || p[3] > kLastFrameType) return std::nullopt;
    std::uint32_t length = LoadU32(p + 20);
    if (length > kMaxPayload) return std::nullopt;
    return kHeaderSize + length;
}

std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes) {
    auto size = FrameSize(bytes);
    if (!size || *size != bytes.size()) return std::nullopt;
    const std::uint8_t* p = bytes.data();
    auto payload = bytes.subspan(kHeaderSize);
    if (LoadU32(p + 24) != FrameCrc(p, payload)) return std::nullopt;
    Frame f;
    f.header.type = static_cast<FrameType>(p[3]);
    f.header.session = LoadU32(p + 4);
    f.header.seq = LoadU32(p + 8);
    f.header.code = LoadU32(p + 12);
    f.header.arg = LoadU32(p + 16);
    f.header.length = LoadU32(p + 20);
    f.payload = payload;
    return f;
}

}  // namespace pmx
