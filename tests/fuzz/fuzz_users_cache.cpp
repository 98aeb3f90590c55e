// Arbitrary bytes as a cached user table: decoding, iteration and every
// lookup must stay inside the cache, whatever the records hold and whatever
// length and capacity the session claims.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "portmux.h"
#include "session/session.h"
#include "users/user_lookup.h"
#include "users/user_numbers.h"
#include "users/user_ops.h"
#include "users/user_record.h"
#include "users/user_table.h"

// The fuzzed code never reaches the terminal (the cache is always present);
// these weak stand-ins only satisfy the linker when no transport library is
// linked in, and answer every exchange with a refusal.
extern "C" {
__attribute__((weak)) PMX_HANDLE PMX_INIT(const char*, const char*, int, int, int, int, int, int) {
    return nullptr;
}
__attribute__((weak)) PMX_HANDLE PMX_INITEX(const char*, const char*, int, int, int, int, int,
                                            const char*) {
    return nullptr;
}
__attribute__((weak)) void PMX_CLOSE(PMX_HANDLE) {}
__attribute__((weak)) int PMX_SENDCMD(PMX_HANDLE, int* command, void*, int, int, int) {
    *command = REPLY_ERROR;
    return 0;
}
__attribute__((weak)) int PMX_SENDDATA(PMX_HANDLE, const void*, int, int) {
    return 0;
}
__attribute__((weak)) int PMX_SENDCMDDATA(PMX_HANDLE, int* command, const void*, int, const void*,
                                          int, int) {
    *command = REPLY_ERROR;
    return 0;
}
__attribute__((weak)) int PMX_READDATA(PMX_HANDLE, int* command, void*, int, int, int, int) {
    *command = REPLY_ERROR;
    return 0;
}
__attribute__((weak)) int PMX_READDATA1(PMX_HANDLE, int* command, void*, int, int, int, int) {
    *command = REPLY_ERROR;
    return 0;
}
__attribute__((weak)) int PMX_QUERYDATA(PMX_HANDLE, int, int, void*, int* inOut) {
    if (inOut) *inOut = 0;
    return 0;
}
__attribute__((weak)) int PMX_LASTERROR(void) {
    return 0;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // First bytes steer the session; the rest is the cache.
    const std::uint8_t mode = data[0];
    const std::int32_t claimed = static_cast<std::int32_t>(tl::load_u32(data) >> 8) - 0x100;
    data += 4;
    size -= 4;

    tl::DeviceSession s;
    std::strcpy(s.firmwareVersion, (mode & 1) ? "Ver 5.03" : "Ver 6.60 20110415");
    s.pinWidth = (mode >> 1) & 31;
    s.isTFT = (mode >> 6) & 1;
    // An exact-size buffer so that any read beyond it is caught.
    if (!s.userBuffer.allocate(static_cast<std::uint32_t>(4 + size))) return 0;
    std::memset(s.userBuffer.data(), 0, 4);
    if (size) std::memcpy(s.userBuffer.data() + 4, data, size);
    s.userDataLen = claimed;
    s.userCursor = s.userBuffer.data() + 4;

    int pin = 0, privilege = 0, enabled = 0, pin2 = 0, group = 0, card = 0;
    int zones[4] = {};
    char name[25], password[9], id[25];
    unsigned char card5[5];
    tl::ClassicUserOut classic{&pin,  name,  &privilege, &enabled, password,
                               card5, &pin2, &group,     zones};
    for (int i = 0; i < 64 && tl::GetUserInfo(s, classic) == 1; ++i) {
    }
    s.userCursor = s.userBuffer.data() + 4;
    tl::SsrUserOut ssr{&pin, id, name, &privilege, &enabled, password, &card, &group, zones};
    for (int i = 0; i < 64 && tl::SsrGetUserInfo(s, ssr) == 1; ++i) {
    }

    const std::uint32_t key = size >= 4 ? tl::load_u32(data) : 0;
    tl::FindUserByPin(s, key & 0xFFFF);
    tl::FindUserByPin2(s, key);
    tl::FindUserByCard(s, size >= 5 ? data : card5);
    tl::MapPinToPin2(s, key & 0xFFFF);
    tl::ResolveUserNumber(s, key);
    tl::AllocateFreePin(s, key & 0x1FFFF);
    char text[30] = {};
    std::memcpy(text, data, size < 29 ? size : 29);
    tl::FindSsrUserById(s, text);
    tl::ResolveSsrId(s, text);
    tl::AllocateIdNumber(s, text);

    // The session's buffers (the user table, the ID map, the index built by
    // MapPinToPin2) go with it.
    return 0;
}
