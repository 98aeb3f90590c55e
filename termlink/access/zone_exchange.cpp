#include "access/zone_exchange.h"

#include "common/bytes.h"
#include "session/transport.h"

namespace tl {

namespace {
constexpr int kZoneBuffer = 100;
}

ZoneRead ReadZoneList(DeviceSession& s, int code, std::uint32_t number) {
    std::uint8_t buffer[kZoneBuffer] = {};
    store_u32(buffer, number);
    CommandResult r = SendCommand(s.transport, code, buffer, kZoneBuffer, 4, s.cmdTimeout);
    ZoneRead out;
    if (!r.ok()) return out;
    const Bytes reply(buffer, static_cast<std::size_t>(r.length));
    if (s.isTFT) {
        // Four u16 zone numbers; all of them must have arrived.
        if (reply.size() < 8) return out;
        for (int i = 0; i < 4; ++i)
            out.zones[i] = *load_u16(reply, 2 * static_cast<std::size_t>(i));
        out.hasEntry3 = true;
        out.flag = out.zones[0];
    } else {
        auto n = load_u32(reply, 0);
        if (!n) return out;
        const auto count32 = static_cast<std::int32_t>(*n);
        // A negative count means the entry follows its group; the zone count
        // is then -1 - n (computed wide so that INT32_MIN cannot overflow).
        std::int64_t count = count32;
        if (count32 < 0) {
            out.flag = 1;
            count = -1 - static_cast<std::int64_t>(count32);
        }
        // At most three zones, and only those actually received.
        for (std::size_t i = 0; i < 3 && static_cast<std::int64_t>(i) < count; ++i) {
            auto z = load_u32(reply, 4 + 4 * i);
            if (!z) break;
            out.zones[i] = static_cast<std::int32_t>(*z);
        }
    }
    out.result = 1;
    return out;
}

int WriteZoneList(DeviceSession& s, int code, std::uint32_t number, const int* zones) {
    std::uint8_t buffer[kZoneBuffer] = {};
    store_u32(buffer, number);
    int length = 4;
    if (zones) {
        int count;
        if (s.isTFT) {
            count = zones[3];
        } else {
            count = zones[0] == 0 ? 0 : zones[1] == 0 ? 1 : zones[2] == 0 ? 2 : 3;
        }
        store_u32(buffer + 4, static_cast<std::uint32_t>(count));
        for (int i = 0; i < 3; ++i)
            store_u32(buffer + 8 + 4 * i, static_cast<std::uint32_t>(zones[i]));
        length = 20;
    }
    return OkOrRefused(SendCommand(s.transport, code, buffer, kZoneBuffer, length, s.cmdTimeout));
}

}  // namespace tl
