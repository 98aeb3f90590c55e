// portmux frames: a fixed 28-byte header, a payload, and a CRC-32C over both.
//
//   off size field
//   0   2    magic 0x5850 ("PX" on the wire)
//   2   1    protocol version (1)
//   3   1    frame type (FrameType)
//   4   4    session id (0 before the handshake gives one)
//   8   4    sequence number of the operation the frame belongs to
//   12  4    code: command code, reply code, total length or error code
//   16  4    arg: byte offset, station, operation or total length
//   20  4    payload length
//   24  4    CRC-32C of bytes 0..23 followed by the payload
//
// The same codec serves the client library, the plug-ins and the server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pmx {

constexpr std::uint16_t kMagic = 0x5850;
constexpr std::uint8_t kProtocolVersion = 1;
constexpr std::size_t kHeaderSize = 28;
// No frame carries more than this; a header that claims more is refused
// before any payload byte is read.
constexpr std::uint32_t kMaxPayload = 1u << 20;
constexpr std::size_t kMaxFrame = kHeaderSize + kMaxPayload;

enum class FrameType : std::uint8_t {
    Hello = 1,      // client -> server: start a session
    Challenge = 2,  // server -> client: session id and random challenge
    Auth = 3,       // client -> server: keyed proof over the challenge
    Welcome = 4,    // server -> client: key accepted
    Reject = 5,     // server -> client: key refused
    Exec = 6,       // client -> server: run one operation
    Result = 7,     // server -> client: reply code, total length, first bytes
    Put = 8,        // client -> server: one chunk of outgoing data
    PutAck = 9,     // server -> client: that chunk arrived
    Get = 10,       // client -> server: ask for one chunk of the result
    Data = 11,      // server -> client: one chunk of the result
    Bye = 12,       // client -> server: session ends
    Fail = 13,      // server -> client: the operation cannot go on (code = PMXE_...)
};
constexpr std::uint8_t kLastFrameType = 13;

struct FrameHeader {
    FrameType type = FrameType::Hello;
    std::uint32_t session = 0;
    std::uint32_t seq = 0;
    std::uint32_t code = 0;
    std::uint32_t arg = 0;
    std::uint32_t length = 0;  // filled in by the encoder
};

struct Frame {
    FrameHeader header;
    std::span<const std::uint8_t> payload;
};

// Writes the 28-byte header for `h` whose payload is `payload` into `out`
// (exactly kHeaderSize bytes), with the CRC over header and payload.
// The payload length must not exceed kMaxPayload.
void EncodeHeader(const FrameHeader& h, std::span<const std::uint8_t> payload, std::uint8_t* out);

// Header and payload in one buffer.
std::vector<std::uint8_t> EncodeFrame(const FrameHeader& h,
                                      std::span<const std::uint8_t> payload = {});

// Given at least the first kHeaderSize bytes of a frame: the whole frame's size
// when magic, version, type and payload length are acceptable, else nothing.
// Stream plug-ins use this to know how many bytes to read.
std::optional<std::size_t> FrameSize(std::span<const std::uint8_t> header);

// Checks one complete frame: exact size, header fields and CRC. The payload of
// the result points into `bytes`.
std::optional<Frame> DecodeFrame(std::span<const std::uint8_t> bytes);

}  // namespace pmx
