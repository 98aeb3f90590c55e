#include "maintenance/mf_card.h"

#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {
namespace {

// Room for the terminal's short status: its length tells refusals apart.
constexpr int kStatusSize = 16;

int CardResult(const RawResult& r) {
    return WriteResult(r.reply, r.result);
}

}  // namespace

int MFWrite(DeviceSession& s, int userNumber, const std::uint8_t* descriptor,
            const std::uint8_t* data) {
    if (!descriptor || !data || userNumber < 0) return 4;
    const bool wide = s.pinWidth > 5;
    if (!wide && userNumber > 0xFFFF) return 4;
    std::size_t payload = 0;
    for (int i = 0; i < 4; ++i) payload += load_u16(descriptor + 3 * i);
    if (payload > kMfDataSize) return 4;

    const std::size_t head = wide ? 4 : 2;
    std::vector<std::uint8_t> block(head + kMfDescriptorSize + payload);
    if (wide)
        store_u32(block.data(), static_cast<std::uint32_t>(userNumber));
    else
        store_u16(block.data(), static_cast<std::uint16_t>(userNumber));
    std::memcpy(block.data() + head, descriptor, kMfDescriptorSize);
    if (payload) std::memcpy(block.data() + head + kMfDescriptorSize, data, payload);
    if (PMX_SENDDATA(s.transport, block.data(), static_cast<int>(block.size()), 2500) == 0)
        return -2;
    std::uint8_t status[kStatusSize] = {};
    return CardResult(SendCommandRaw(s.transport, CMD_MF_WRITE, status, kStatusSize, 0, 1000));
}

int MFEmpty(DeviceSession& s) {
    std::uint8_t status[kStatusSize] = {};
    return CardResult(
        SendCommandRaw(s.transport, CMD_MF_EMPTY, status, kStatusSize, 0, s.cmdTimeout));
}

}  // namespace tl
