#include "users/enrol_control.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"
#include "users/user_numbers.h"

namespace tl {

namespace {

constexpr std::size_t kIdField = 24;
// Requests are at most 26 bytes and offered as a 30-byte buffer; verify and
// the state query let the terminal answer up to 100 bytes, so every
// exchange gets a buffer that holds the largest answer it allows.
constexpr int kBufferSize = 100;
constexpr int kEnrollCapacity = 30;

using Exchange = RawResult;

Exchange Send(DeviceSession& s, int code, std::uint8_t* buffer, int capacity, int length) {
    return SendCommandRaw(s.transport, code, buffer, capacity, length, s.cmdTimeout);
}

// The start and cancel exports hand a refusal's transport result to the
// caller as their own result.
int AcceptedOrResult(const Exchange& e) {
    return e.reply == REPLY_OK ? 1 : e.result;
}

bool IsByte(int v) {
    return v >= 0 && v <= 0xFF;
}

// The 3-byte request of the numeric forms: u16 internal number, u8 finger.
// Text-ID terminals know the number as the ID written in digits, as the
// enrolment sends it; their user table holds no enrolled numbers to look
// it up by. False when the user is unknown there, or when the number does
// not fit 16 bits: cut, it would name another user.
bool PutNumberRequest(DeviceSession& s, int number, int finger, MutBytes request) {
    std::int64_t pin;
    if (s.isTFT) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", number);
        pin = ResolveSsrId(s, text);
    } else {
        pin = ResolveUserNumber(s, number);
    }
    if (pin < 0 || pin > 0xFFFF) return false;
    store_u16(request, 0, static_cast<std::uint16_t>(pin));
    store_u8(request, 2, static_cast<std::uint8_t>(finger));
    return true;
}

}  // namespace

int StartEnroll(DeviceSession& s, int number, int finger) {
    if (!IsByte(finger)) return 4;
    std::uint8_t buffer[kBufferSize] = {};
    int length = 3;
    if (s.isTFT) {
        // Text-ID terminals know users by ID: the number's decimal text in
        // the 24-byte ID field (at most 11 characters), the finger after it.
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%d", number);
        std::memcpy(buffer, text, static_cast<std::size_t>(n));
        buffer[kIdField] = static_cast<std::uint8_t>(finger);
        length = 25;
    } else if (!PutNumberRequest(s, number, finger, buffer)) {
        return 4;
    }
    return AcceptedOrResult(Send(s, CMD_START_ENROLL, buffer, kEnrollCapacity, length));
}

int StartEnrollEx(DeviceSession& s, const char* userId, int finger, int flag) {
    if (!userId || !IsByte(finger) || !IsByte(flag)) return 4;
    // An ID longer than the field is refused: its first 24 characters may
    // be another user's ID.
    const std::size_t n = bounded_strlen(userId, kIdField + 1);
    if (n > kIdField) return 4;
    std::uint8_t buffer[kBufferSize] = {};
    std::memcpy(buffer, userId, n);  // the zero-filled field supplies the terminator
    buffer[kIdField] = static_cast<std::uint8_t>(finger);
    buffer[kIdField + 1] = static_cast<std::uint8_t>(flag);
    return AcceptedOrResult(Send(s, CMD_START_ENROLL, buffer, kEnrollCapacity, 26));
}

int StartVerify(DeviceSession& s, int number, int finger) {
    if (!IsByte(finger)) return 4;
    std::uint8_t buffer[kBufferSize] = {};
    if (!PutNumberRequest(s, number, finger, buffer)) return 4;
    return AcceptedOrResult(Send(s, CMD_START_VERIFY, buffer, kBufferSize, 3));
}

int StartIdentify(DeviceSession& s) {
    // The same command as verify; no request tells the terminal to identify.
    std::uint8_t buffer[kBufferSize] = {};
    return AcceptedOrResult(Send(s, CMD_START_VERIFY, buffer, 0, 0));
}

int CancelOperation(DeviceSession& s) {
    std::uint8_t buffer[kBufferSize] = {};
    return AcceptedOrResult(Send(s, CMD_CANCEL_CAPTURE, buffer, 0, 0));
}

int QueryState(DeviceSession& s, int* state) {
    if (!state) return 4;
    std::uint8_t buffer[kBufferSize] = {};
    const Exchange e = Send(s, CMD_GET_STATE, buffer, kBufferSize, 0);
    if (e.reply != REPLY_OK) return -2;
    // The terminal tells its state by how many bytes it answers with.
    *state = e.result;
    return 1;
}

}  // namespace tl
