#include "session/realtime.h"

#include <algorithm>
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
    if (!s.rtBuffer && !s.rtBuffer.allocate(kRtBufferSize)) return 101;
    std::uint8_t* const buf = s.rtBuffer.data();
    std::memset(buf, 0, kRtBufferSize);
    store_u32(buf, static_cast<std::uint32_t>(s.rtSequence));
    CommandResult r =
        SendCommand(s.transport, CMD_READ_RTLOG, buf, kRtReplyBufferSize, 4, s.cmdTimeout);
    if (!r.ok()) return -2;
    // The leading count is the terminal's claim; only whole records that were
    // actually received are handed out.
    const std::int64_t claimed = static_cast<std::int32_t>(load_u32(buf));
    const std::int64_t received = std::max(0, r.length - 4);
    std::int64_t usable = std::clamp<std::int64_t>(claimed, 0, received);
    const int size = RtRecordSize(s);
    usable -= usable % size;
    s.rt.hold(buf + 4, static_cast<std::int32_t>(usable));
    // Only events that reached us are acknowledged; otherwise the next poll
    // asks for the same sequence again.
    if (s.rt.dataLen > 0)
        s.rtSequence = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.rtSequence) + 1u);
    return 1;
}

int GetRTLog(DeviceSession& s, int* kind, std::uint8_t* data) {
    TableView& rt = s.rt;
    if (rt.dataLen <= 0 || !rt.cursor || !rt.start) return 0;
    const int size = RtRecordSize(s);
    const std::uint8_t* end = rt.start + rt.dataLen;
    if (rt.cursor >= end || end - rt.cursor < size) return 0;
    if (kind) *kind = load_u16(rt.cursor);
    if (data) std::memcpy(data, rt.cursor + 2, static_cast<std::size_t>(size - 2));
    rt.cursor += size;
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
