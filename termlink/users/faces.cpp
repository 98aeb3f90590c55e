#include "users/faces.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {

namespace {

constexpr std::size_t kIdField = 24;

bool ValidIndex(int index) {
    return index >= 0 && index <= 0xFF;
}

// The request header: 24 ID bytes exactly as the caller holds them, a zero
// byte, the face index and the 16-bit face length (0 for get and delete).
void PutHeader(MutBytes header, const char* userId, int index, std::uint16_t length) {
    std::memcpy(header.data(), userId, kIdField);
    store_u8(header, 24, 0);
    store_u8(header, 25, static_cast<std::uint8_t>(index));
    store_u16(header, 26, length);
}

// A lengthened timeout, kept within an int.
int Timeout(long long ms) {
    return static_cast<int>(std::clamp<long long>(ms, INT_MIN, INT_MAX));
}

}  // namespace

int GetUserFace(DeviceSession& s, const char* userId, int faceIndex, std::uint8_t* buffer,
                int* length) {
    if (!userId || !buffer || !length || !ValidIndex(faceIndex)) return 4;
    const int capacity = *length;
    // The header goes into the caller's buffer; a smaller buffer cannot
    // even hold the request.
    if (capacity < kFaceHeaderSize) return 4;
    // Built aside first: the ID may lie inside the caller's buffer.
    std::uint8_t header[kFaceHeaderSize];
    PutHeader(header, userId, faceIndex, 0);
    std::memcpy(buffer, header, sizeof header);
    int word = CMD_GET_FACE;
    const int result = PMX_READDATA1(s.transport, &word, buffer, capacity, kFaceHeaderSize,
                                     s.blockSize, s.dataTimeout);
    *length = result;
    const int reply = word & 0xFFFF;
    if (reply == REPLY_ERROR) return 0;
    // A face that did not fit the buffer comes back as an accepted reply
    // with a failed transfer: nothing usable arrived.
    return reply == REPLY_OK && result >= 0 ? 1 : -2;
}

int SetUserFace(DeviceSession& s, const char* userId, int faceIndex, const std::uint8_t* data,
                int length) {
    if (length < 0 || length > kMaxFaceSize) return -3;
    if (!userId || !data || !ValidIndex(faceIndex)) return 4;
    // The face travels as a data block of its own length, which is what
    // tells the terminal its size; the 16-bit field cannot count past 65535
    // and says 65535 for every face that long or longer.
    std::uint8_t header[kFaceHeaderSize];
    PutHeader(header, userId, faceIndex, static_cast<std::uint16_t>(std::min(length, 0xFFFF)));
    int word = CMD_SET_FACE;
    const int result = PMX_SENDCMDDATA(s.transport, &word, data, length, header, kFaceHeaderSize,
                                       Timeout(4LL * s.dataTimeout));
    return WriteResult(word & 0xFFFF, result);
}

int DelUserFace(DeviceSession& s, const char* userId, int faceIndex) {
    if (!userId || !ValidIndex(faceIndex)) return 4;
    // No answer area is asked for, but the transport may still place the
    // terminal's short status in the request's own 28 bytes.
    std::uint8_t header[kFaceHeaderSize];
    PutHeader(header, userId, faceIndex, 0);
    const RawResult r = SendCommandRaw(s.transport, CMD_DEL_FACE, header, 0, kFaceHeaderSize,
                                       Timeout(s.cmdTimeout + 4000LL));
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

}  // namespace tl
