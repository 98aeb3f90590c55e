// A transport for the records fuzz targets: every exchange is answered from
// the bytes the fuzzer hands over, the way an arbitrary terminal might.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fuzz_stream.h"
#include "portmux.h"

namespace recfuzz {

using Script = fuzzio::Stream;

inline Script& Current() {
    static Script s;
    return s;
}

// Reply code of one exchange: mostly success, sometimes not.
inline int ReplyCode() {
    switch (Current().Byte() & 7) {
        case 0:
            return REPLY_ERROR;
        case 1:
            return 0xFFFF;
        default:
            return REPLY_OK;
    }
}

// Copies a fuzzer-chosen number of bytes (up to `capacity`) into `buffer`.
inline int Fill(void* buffer, int capacity) {
    std::size_t want = Current().Word();
    if (capacity <= 0 || !buffer) return 0;
    const std::uint8_t* p;
    std::size_t n =
        Current().Take(std::min<std::size_t>(want, static_cast<std::size_t>(capacity)), &p);
    std::memcpy(buffer, p, n);
    return static_cast<int>(n);
}

}  // namespace recfuzz

extern "C" {

PMX_HANDLE PMX_INIT(const char*, const char*, int, int, int, int, int, int) {
    static int dummy;
    return &dummy;
}
PMX_HANDLE PMX_INITEX(const char*, const char*, int, int, int, int, int, const char*) {
    static int dummy;
    return &dummy;
}
void PMX_CLOSE(PMX_HANDLE) {}
int PMX_SENDCMD(PMX_HANDLE, int* command, void* buffer, int bufferSize, int, int) {
    *command = recfuzz::ReplyCode();
    return recfuzz::Fill(buffer, bufferSize);
}
int PMX_SENDDATA(PMX_HANDLE, const void*, int, int) {
    return recfuzz::Current().Byte() & 1;
}
int PMX_SENDCMDDATA(PMX_HANDLE, int* command, const void*, int, const void*, int, int) {
    *command = recfuzz::ReplyCode();
    return 0;
}
int PMX_READDATA(PMX_HANDLE, int* command, void* buffer, int capacity, int, int, int) {
    *command = recfuzz::ReplyCode();
    return recfuzz::Fill(buffer, capacity);
}
int PMX_READDATA1(PMX_HANDLE h, int* command, void* buffer, int capacity, int r, int p, int t) {
    return PMX_READDATA(h, command, buffer, capacity, r, p, t);
}
int PMX_QUERYDATA(PMX_HANDLE, int, int, void* buffer, int* inOut) {
    const int n = recfuzz::Fill(buffer, inOut ? *inOut : 0);
    if (inOut) *inOut = recfuzz::Current().Byte() & 1;
    return n;
}
int PMX_LASTERROR(void) {
    return 0;
}

}  // extern "C"
