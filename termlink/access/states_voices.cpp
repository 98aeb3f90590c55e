#include "access/states_voices.h"

#include <cstring>

#include "access/content_exchange.h"
#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

namespace {

// Indexes are tested unsigned: a negative index is out of range.
bool StateIndexOk(const DeviceSession& s, int index) {
    return s.extendFmt != 0 && static_cast<unsigned>(index) <= kMaxStateIndex;
}
bool VoiceIndexOk(int index) {
    return static_cast<unsigned>(index) <= kMaxVoiceIndex;
}

// Three u16 words: index, value, third word.
int SendTriple(DeviceSession& s, int code, int index, int value, int third) {
    std::uint8_t request[6];
    store_u16(request, static_cast<std::uint16_t>(index));
    store_u16(request + 2, static_cast<std::uint16_t>(value));
    store_u16(request + 4, static_cast<std::uint16_t>(third));
    return OkOrRefused(SendCommand(s.transport, code, request, 6, 6, s.cmdTimeout));
}

// The state and voice deletes offer their 4 request bytes as the answer
// area, unlike the other deletes of the content family, which offer none.
int SendIndexDelete(DeviceSession& s, int code, int index) {
    std::uint8_t request[4] = {};
    store_u16(request, static_cast<std::uint16_t>(index));
    return SendContentDelete(s, code, request, sizeof request, sizeof request);
}

}  // namespace

int SetCustomizeAttState(DeviceSession& s, int index, int code) {
    if (!StateIndexOk(s, index) || code < 0 || code > kMaxStateCode) return 4;
    return SendTriple(s, CMD_SET_ATT_STATE, index, code, 1);
}

int EnableCustomizeAttState(DeviceSession& s, int index, int enable) {
    if (!StateIndexOk(s, index)) return 4;
    return SendTriple(s, CMD_ENABLE_ATT_STATE, index, enable != 0 ? 1 : 0, 0);
}

int DelCustomizeAttState(DeviceSession& s, int index) {
    if (!StateIndexOk(s, index)) return 4;
    return SendIndexDelete(s, CMD_DEL_ATT_STATE, index);
}

int SetCustomizeVoice(DeviceSession& s, int index, const char* file) {
    if (!VoiceIndexOk(index) || !file) return 4;
    // One byte past the field tells a name that fits from a longer one,
    // which is refused rather than cut into another file's name.
    const std::size_t n = bounded_strlen(file, kVoiceNameChars + 1);
    if (n == 0 || n > kVoiceNameChars || std::memchr(file, '\\', n) ||
        std::strcmp(file, "beep.wav") == 0)
        return 4;
    std::uint8_t request[32] = {};
    store_u16(request, static_cast<std::uint16_t>(index));
    std::memcpy(request + 10, file, n);
    store_u16(request + 30, 1);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_VOICE, request, sizeof request,
                                   sizeof request, s.cmdTimeout));
}

int EnableCustomizeVoice(DeviceSession& s, int index, int enable) {
    if (!VoiceIndexOk(index)) return 4;
    return SendTriple(s, CMD_ENABLE_VOICE, index, enable != 0 ? 1 : 0, 0);
}

int DelCustomizeVoice(DeviceSession& s, int index) {
    if (!VoiceIndexOk(index)) return 4;
    return SendIndexDelete(s, CMD_DEL_VOICE, index);
}

}  // namespace tl
