#include "session/realtime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

int RegEvent(DeviceSession& s, std::int32_t mask) {
    std::uint8_t req[4];
    store_u32(req, static_cast<std::uint32_t>(mask));
    return OkOrRefused(SendCommand(s.transport, CMD_REG_EVENT, req, 4, 4, s.cmdTimeout));
}

int RtRecordSize(const DeviceSession& s) {
    if (s.isTFT) return 38;
    return s.rtLongRecord ? 18 : 16;
}

int ReadRTLog(DeviceSession& s) {
    if (VersionCompare(s, "Ver 6.01") < 0) return -100;
    if (!s.rtBuffer) {
        s.rtBuffer = static_cast<std::uint8_t*>(std::malloc(kRtBufferSize));
        if (!s.rtBuffer) return 101;
    }
    std::memset(s.rtBuffer, 0, kRtBufferSize);
    store_u32(s.rtBuffer, static_cast<std::uint32_t>(s.rtSequence));
    CommandResult r =
        SendCommand(s.transport, CMD_READ_RTLOG, s.rtBuffer, kRtReplyBufferSize, 4, s.cmdTimeout);
    if (!r.ok()) return -2;
    s.rtStart = s.rtCursor = s.rtBuffer + 4;
    // The leading count is the terminal's claim; only whole records that were
    // actually received are handed out.
    const std::int64_t claimed = static_cast<std::int32_t>(load_u32(s.rtBuffer));
    const std::int64_t received = std::max(0, r.length - 4);
    std::int64_t usable = std::clamp<std::int64_t>(claimed, 0, received);
    const int size = RtRecordSize(s);
    usable -= usable % size;
    s.rtDataLen = static_cast<std::int32_t>(usable);
    // Only events that reached us are acknowledged; otherwise the next poll
    // asks for the same sequence again.
    if (s.rtDataLen > 0)
        s.rtSequence = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.rtSequence) + 1u);
    return 1;
}

int GetRTLog(DeviceSession& s, int* kind, std::uint8_t* data) {
    if (s.rtDataLen <= 0 || !s.rtCursor || !s.rtStart) return 0;
    const int size = RtRecordSize(s);
    const std::uint8_t* end = s.rtStart + s.rtDataLen;
    if (s.rtCursor >= end || end - s.rtCursor < size) return 0;
    if (kind) *kind = load_u16(s.rtCursor);
    if (data) std::memcpy(data, s.rtCursor + 2, static_cast<std::size_t>(size - 2));
    s.rtCursor += size;
    return 1;
}

int EnableDevice(DeviceSession& s) {
    return OkOrRefused(SendCommand(s.transport, CMD_ENABLE_DEVICE, nullptr, 0, 0, s.cmdTimeout));
}

int DisableDevice(DeviceSession& s, std::int32_t value) {
    std::uint8_t req[4];
    store_u32(req, static_cast<std::uint32_t>(value));
    return OkOrRefused(SendCommand(s.transport, CMD_DISABLE_DEVICE, req, 4, 4, s.cmdTimeout));
}

}  // namespace tl
