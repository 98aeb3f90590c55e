#include "users/fingerprint_ops.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "session/commands.h"
#include "session/transport.h"
#include "users/batch_queue.h"
#include "users/template_codec.h"
#include "users/template_limits.h"
#include "users/user_lookup.h"
#include "users/user_numbers.h"
#include "users/user_record.h"
#include "users/user_table.h"

namespace tl {

namespace {

constexpr int kRefused = 4;
constexpr int kBadTemplate = -3;
constexpr int kWrongKind = -100;
constexpr std::size_t kReadHeader = 3;
// A version-10 container's length field is its bytes 8-9: a container is at
// least that long.
constexpr std::size_t kV10MinLength = 10;

// The terminal's internal number for a caller's user; nothing is sent for a
// user that cannot be named (unknown, or a number that does not fit).
struct Target {
    bool found = false;
    std::uint16_t pin = 0;
};

Target ClassicTarget(DeviceSession& s, int number) {
    const std::int64_t n = ResolveUserNumber(s, number);
    if (!FitsU16(n)) return {};
    return {true, static_cast<std::uint16_t>(n)};
}

// Text IDs. An unknown ID is never sent as a made-up number (-1 would reach
// the terminal as 65535, whoever holds it). With `reload` an ID missing from
// the cache is looked up once more in a fresh copy of the user table.
Target SsrTarget(DeviceSession& s, const char* id, bool reload) {
    int n = ResolveSsrId(s, id);
    if (n == -1 && reload) {
        if (s.userBuffer) std::memset(s.userBuffer.data(), 0, s.userBuffer.capacity());
        ReadUserInfo(s);
        n = ResolveSsrId(s, id);
    }
    if (n <= 0 || !FitsU16(n)) return {};
    return {true, static_cast<std::uint16_t>(n)};
}

// The Ex family: text IDs on TFT terminals, else the text's decimal value
// as a user number.
Target ExTarget(DeviceSession& s, const char* text, bool reload) {
    if (s.isTFT) return SsrTarget(s, text, reload);
    const std::int64_t n = ResolveUserNumber(s, ParseDecimal(text));
    if (n <= 0 || !FitsU16(n)) return {};
    return {true, static_cast<std::uint16_t>(n)};
}

// ---- reading ---------------------------------------------------------------

// The 3-byte request goes at the start of the caller's buffer, whose
// capacity is *length, and the answer comes back in the same buffer.
int ReadOne(DeviceSession& s, int code, Target t, int finger, std::uint8_t* buffer, int* length,
            bool viaDataRead, int* flag, bool flagLast) {
    if (!t.found) return 0;
    const int capacity = *length;
    store_u16(buffer, t.pin);
    buffer[2] = static_cast<std::uint8_t>(finger);
    int word = code;
    int result = viaDataRead
                     ? PMX_READDATA1(s.transport, &word, buffer, capacity,
                                     static_cast<int>(kReadHeader), s.blockSize, s.dataTimeout)
                     : PMX_SENDCMD(s.transport, &word, buffer, capacity,
                                   static_cast<int>(kReadHeader), s.dataTimeout);
    const int reply = word & 0xFFFF;
    if (flagLast) {
        // The flag is the answer's last byte; only a byte the transport
        // placed in the buffer is read.
        if (reply == REPLY_OK && s.isTFT && flag && result >= 1 && result <= capacity)
            *flag = buffer[result - 1];
        if (result > INT_MIN) result -= 1;
    }
    *length = result;
    if (reply == REPLY_OK) return 1;
    return reply == REPLY_ERROR ? 0 : -2;
}

bool ReadArgumentsOk(const std::uint8_t* buffer, const int* length) {
    return buffer && length && *length >= static_cast<int>(kReadHeader);
}

// ---- the cached template table ----------------------------------------------

// The cached table's bytes, never beyond the buffer they were received in.
Bytes CachedTemplates(const DeviceSession& s) {
    return s.tmp.bytesIn(s.bulkBuffer);
}

bool HasTemplateCache(const DeviceSession& s) {
    return s.tmp.dataLen != 0 && s.tmp.start;
}

struct CachedTemplate {
    Bytes tmp;
    std::uint8_t flag = 0;
};

// Records: u16 size (6-byte header included), u16 PIN, finger byte, flag
// byte, the template. A size of 0 ends the table; so does a size below the
// header or a record cut short, since nothing after it can be located.
std::optional<CachedTemplate> FindCachedTemplate(const DeviceSession& s, std::uint16_t pin,
                                                 int finger) {
    const Bytes t = CachedTemplates(s);
    std::size_t at = 0;
    while (fits(t.size(), at, 6)) {
        const std::size_t size = load_u16(t.data() + at);
        if (size < 6 || !fits(t.size(), at, size)) break;
        if (load_u16(t.data() + at + 2) == pin && t[at + 4] == static_cast<std::uint8_t>(finger))
            return CachedTemplate{t.subspan(at + 6, size - 6), t[at + 5]};
        at += size;
    }
    return std::nullopt;
}

// Copies a found template into the caller's buffer of *length bytes.
int Deliver(Bytes tmp, std::uint8_t* buffer, int* length) {
    if (*length < 0 || tmp.size() > static_cast<std::size_t>(*length)) return kRefused;
    if (!tmp.empty()) std::memcpy(buffer, tmp.data(), tmp.size());
    *length = static_cast<int>(tmp.size());
    return 1;
}

// ---- writing ---------------------------------------------------------------

// Template bytes ready to send: a standard template normalised (and shrunk
// to the limit), or a version-10 container as it is.
struct Prepared {
    int result = 1;  // 1, or the refusal to return
    std::vector<std::uint8_t> bytes;
    bool container = false;
};

Prepared Refusal(int result) {
    Prepared p;
    p.result = result;
    return p;
}

Bytes CallerTemplate(const std::uint8_t* tmp) {
    return Bytes(tmp, TemplateBound(load_u16(tmp)));
}

Prepared PrepareStandard(std::uint8_t* tmp, std::size_t limit) {
    if (!tmp) return Refusal(kRefused);
    const Bytes original = CallerTemplate(tmp);
    std::vector<std::uint8_t> work(kMaxEncodedC);
    std::size_t len = NormalizeTemplate(original, work);
    if (len > limit) {
        len = ShrinkTemplate(MutBytes(work.data(), work.size()), static_cast<long long>(limit));
        // The caller gets the shrunk form back in its template, where it fits
        // in the bytes the template occupied (a normalised form can be longer
        // than the stored one, and the caller's buffer is only known to hold
        // the latter).
        if (len != 0 && len <= TemplateLength(original)) std::memcpy(tmp, work.data(), len);
    }
    if (len < kTmpMinUseful) return Refusal(kBadTemplate);
    work.resize(len);
    Prepared p;
    p.bytes = std::move(work);
    return p;
}

// Version-10 containers are not decodable templates; their length is the
// big-endian u16 at bytes 8-9. The caller's bytes are only known to reach as
// far as that length (and the field itself), so the test for a standard
// template looks no further.
Prepared PrepareContainer(const std::uint8_t* tmp, std::size_t minLength) {
    if (!tmp) return Refusal(kRefused);
    const std::size_t len = static_cast<std::size_t>(tmp[8] << 8 | tmp[9]);
    const std::size_t claimed =
        std::max(kV10MinLength, std::min(len, TemplateBound(load_u16(tmp))));
    std::vector<std::uint8_t> scratch(kMaxEncodedC);
    if (NormalizeTemplate(Bytes(tmp, claimed), scratch) != 0) return Refusal(kWrongKind);
    if (len < minLength || len > kV10MaxLength) return Refusal(kBadTemplate);
    Prepared p;
    p.bytes.assign(tmp, tmp + len);
    p.container = true;
    return p;
}

// Standard templates travel after the header in one request; containers as
// data ahead of the command and its header.
int SendTemplate(DeviceSession& s, int code, Bytes header, const Prepared& p, int timeout,
                 bool withMinus5 = true) {
    int word = code;
    int result;
    if (p.container) {
        result =
            PMX_SENDCMDDATA(s.transport, &word, p.bytes.data(), static_cast<int>(p.bytes.size()),
                            header.data(), static_cast<int>(header.size()), s.dataTimeout);
    } else {
        std::array<std::uint8_t, kTmpRequestSize> request{};
        std::memcpy(request.data(), header.data(), header.size());
        std::memcpy(request.data() + header.size(), p.bytes.data(), p.bytes.size());
        result = PMX_SENDCMD(s.transport, &word, request.data(), 0,
                             static_cast<int>(header.size() + p.bytes.size()), timeout);
    }
    return WriteResult(word & 0xFFFF, result, withMinus5);
}

// While a batch is open: a write entry naming the template's place in the
// data area, and the template there; both or neither.
int QueueWrite(DeviceSession& s, std::uint16_t pin, const std::uint8_t* id, std::uint8_t fingerByte,
               const Prepared& p) {
    const std::uint8_t op = s.batchOverwrite ? 2 : 1;
    if (!BatchFits(s, 0, id ? kTmpCmdIdSize : kTmpCmdNumberSize, 2 + p.bytes.size())) return -2;
    const auto offset = static_cast<std::uint32_t>(s.batchTmpData.length);
    if (id)
        AppendTmpCmdById(s, op, id, fingerByte, offset);
    else
        AppendTmpCmd(s, op, pin, fingerByte, offset);
    AppendTmpData(s, p.bytes);
    return 1;
}

// The 5-byte header of commands 10: PIN, finger, length.
std::array<std::uint8_t, 5> SetHeader(std::uint16_t pin, int finger, std::size_t len) {
    std::array<std::uint8_t, 5> h{};
    store_u16(h.data(), pin);
    h[2] = static_cast<std::uint8_t>(finger);
    store_u16(h.data() + 3, static_cast<std::uint16_t>(len));
    return h;
}

// ---- deleting --------------------------------------------------------------

int SendDelete(DeviceSession& s, int code, std::uint8_t* request, int length) {
    const RawResult r = SendCommandRaw(s.transport, code, request, 0, length, s.cmdTimeout + 4000);
    if (r.reply == REPLY_OK) return 1;
    return r.reply == REPLY_ERROR && r.result == 2 ? 0 : -2;
}

int DeleteByNumber(DeviceSession& s, Target t, int finger) {
    if (!t.found) return 0;
    const auto fingerByte = static_cast<std::uint8_t>(finger);
    if (s.batchActive) return AppendTmpCmd(s, 0, t.pin, fingerByte, kNoDataOffset) ? 1 : -2;
    std::uint8_t request[3];
    store_u16(request, t.pin);
    request[2] = fingerByte;
    return SendDelete(s, CMD_DEL_TMP, request, 3);
}

}  // namespace

int GetUserTmp(DeviceSession& s, int number, int finger, std::uint8_t* buffer, int* length) {
    if (!ReadArgumentsOk(buffer, length)) return kRefused;
    return ReadOne(s, CMD_READ_USERS, ClassicTarget(s, number), finger, buffer, length, false,
                   nullptr, false);
}

int SsrGetUserTmp(DeviceSession& s, const char* userId, int finger, std::uint8_t* buffer,
                  int* length) {
    if (!userId || !ReadArgumentsOk(buffer, length)) return kRefused;
    return ReadOne(s, CMD_READ_USERS, SsrTarget(s, userId, true), finger, buffer, length,
                   s.fpVersion == 10, nullptr, false);
}

int GetUserTmpEx(DeviceSession& s, const char* userId, int finger, int* flag, std::uint8_t* buffer,
                 int* length) {
    if (!userId || !ReadArgumentsOk(buffer, length)) return kRefused;
    return ReadOne(s, CMD_GET_TMP_EX, ExTarget(s, userId, true), finger, buffer, length,
                   s.fpVersion == 10, flag, true);
}

int QueryUserTemp(DeviceSession& s, int number, int finger, std::uint8_t* buffer, int* length) {
    if (!HasTemplateCache(s)) return GetUserTmp(s, number, finger, buffer, length);
    if (!buffer || !length) return kRefused;
    const Target t = ClassicTarget(s, number);
    if (!t.found) return 0;
    const auto found = FindCachedTemplate(s, t.pin, finger);
    if (!found) return 0;
    return Deliver(found->tmp.first(TemplateLength(found->tmp)), buffer, length);
}

int SsrQueryUserTemp(DeviceSession& s, const char* userId, int finger, std::uint8_t* buffer,
                     int* length) {
    if (!HasTemplateCache(s)) return SsrGetUserTmp(s, userId, finger, buffer, length);
    if (!userId || !buffer || !length) return kRefused;
    const Target t = SsrTarget(s, userId, false);
    if (!t.found) return 0;
    const auto found = FindCachedTemplate(s, t.pin, finger);
    if (!found) return 0;
    return Deliver(found->tmp, buffer, length);
}

int QueryUserTempEx(DeviceSession& s, const char* userId, int finger, int* flag,
                    std::uint8_t* buffer, int* length) {
    if (!HasTemplateCache(s)) return GetUserTmpEx(s, userId, finger, flag, buffer, length);
    if (!userId || !buffer || !length) return kRefused;
    const Target t = ExTarget(s, userId, false);
    if (!t.found) return 0;
    const auto found = FindCachedTemplate(s, t.pin, finger);
    if (!found) return 0;
    const int r = Deliver(found->tmp, buffer, length);
    if (r == 1 && flag && !found->tmp.empty()) *flag = found->flag;
    return r;
}

int SetUserTmp(DeviceSession& s, int number, int finger, std::uint8_t* tmp) {
    const Prepared p = PrepareStandard(tmp, kTmpLimitClassic);
    if (p.result != 1) return p.result;
    const Target t = ClassicTarget(s, number);
    if (!t.found) return 0;
    if (s.batchActive) return QueueWrite(s, t.pin, nullptr, static_cast<std::uint8_t>(finger), p);
    const auto h = SetHeader(t.pin, finger, p.bytes.size());
    return SendTemplate(s, CMD_SET_TMP, h, p, s.cmdTimeout + 1000);
}

int SsrSetUserTmp(DeviceSession& s, const char* userId, int finger, std::uint8_t* tmp) {
    if (!userId || !tmp) return kRefused;
    Prepared p;
    if (s.fpVersion == 10) {
        if (finger != kV10Finger) return kWrongKind;
        p = PrepareContainer(tmp, kV10MinLength);
    } else {
        p = PrepareStandard(tmp, kTmpLimitClassic);
    }
    if (p.result != 1) return p.result;
    const Target t = SsrTarget(s, userId, false);
    if (!t.found) return 0;
    if (s.batchActive) return QueueWrite(s, t.pin, nullptr, static_cast<std::uint8_t>(finger), p);
    const auto h = SetHeader(t.pin, finger, p.bytes.size());
    return SendTemplate(s, CMD_SET_TMP, h, p, s.cmdTimeout + 1000);
}

int SetUserTmpEx(DeviceSession& s, const char* userId, int finger, int flag, std::uint8_t* tmp) {
    if (!userId || !tmp) return kRefused;
    const Prepared p = s.fpVersion == 10 ? PrepareContainer(tmp, kV10MinLengthEx)
                                         : PrepareStandard(tmp, kTmpLimitEx);
    if (p.result != 1) return p.result;
    const Target t = ExTarget(s, userId, false);
    if (!t.found) return 0;
    if (s.batchActive) {
        const auto fingerByte = static_cast<std::uint8_t>((flag << 4) | (finger & 15));
        return QueueWrite(s, t.pin, nullptr, fingerByte, p);
    }
    std::array<std::uint8_t, 6> h{};
    store_u16(h.data(), t.pin);
    h[2] = static_cast<std::uint8_t>(finger);
    h[3] = static_cast<std::uint8_t>(flag);
    store_u16(h.data() + 4, static_cast<std::uint16_t>(p.bytes.size()));
    return SendTemplate(s, CMD_SET_TMP_EX, h, p, s.cmdTimeout + 1000);
}

int SsrSetUserTmpExt(DeviceSession& s, int flag, const char* userId, int finger,
                     std::uint8_t* tmp) {
    if (!userId || !tmp) return kRefused;
    const Prepared p = PrepareStandard(tmp, kTmpLimitClassic);
    if (p.result != 1) return p.result;
    std::array<std::uint8_t, 28> h{};
    CopyTextField(h.data(), kSsrIdSize, userId);
    if (s.batchActive) return QueueWrite(s, 0, h.data(), static_cast<std::uint8_t>(finger), p);
    h[24] = static_cast<std::uint8_t>(flag);
    h[25] = static_cast<std::uint8_t>(finger);
    store_u16(h.data() + 26, static_cast<std::uint16_t>(p.bytes.size()));
    return SendTemplate(s, CMD_SET_TMP_ID, h, p, s.cmdTimeout + 1000);
}

int AppendUserTmp(DeviceSession& s, int number, std::uint8_t* tmp) {
    const Prepared p = PrepareStandard(tmp, kTmpLimitClassic);
    if (p.result != 1) return p.result;
    const Target t = ClassicTarget(s, number);
    if (!t.found) return 0;
    std::array<std::uint8_t, 13> h{};
    store_u16(h.data(), t.pin);
    h[2] = kAllFingers;
    store_u16(h.data() + 11, static_cast<std::uint16_t>(p.bytes.size()));
    const int r = SendTemplate(s, CMD_APPEND_TMP, h, p, s.cmdTimeout, false);
    if (r == 1) DiscardUserCache(s);
    return r;
}

int DelUserTmp(DeviceSession& s, int number, int finger) {
    return DeleteByNumber(s, ClassicTarget(s, number), finger);
}

int SsrDelUserTmp(DeviceSession& s, const char* userId, int finger) {
    if (!userId) return kRefused;
    return DeleteByNumber(s, SsrTarget(s, userId, false), finger);
}

int SsrDelUserTmpExt(DeviceSession& s, const char* userId, int finger) {
    if (!userId) return kRefused;
    std::uint8_t request[kSsrIdSize + 1];
    CopyTextField(request, kSsrIdSize, userId);
    request[kSsrIdSize] = static_cast<std::uint8_t>(finger);
    if (s.batchActive)
        return AppendTmpCmdById(s, 0, request, request[kSsrIdSize], kNoDataOffset) ? 1 : -2;
    return SendDelete(s, CMD_DEL_TMP_ID, request, static_cast<int>(sizeof request));
}

int TestUserTmp(DeviceSession& s, int* number, const std::uint8_t* tmp) {
    if (!number || !tmp) return kRefused;
    std::array<std::uint8_t, kTmpRequestSize> request{};
    const std::size_t len = NormalizeTemplate(CallerTemplate(tmp), request);
    if (len == 0) return kBadTemplate;
    const RawResult r = SendCommandRaw(s.transport, CMD_TEST_TMP, request.data(), kTestAnswerSize,
                                       static_cast<int>(len), kTestTimeoutMs);
    // The answer's first two bytes name the matching user; an answer without
    // them names nobody.
    if (r.reply != REPLY_OK || r.result < 2) return -2;
    const std::uint16_t pin = load_u16(request.data());
    if ((pin & 0xFF) == 0) return 0;
    // Text-ID records hold no enrolled number: walking them as 28-byte
    // records would hand out name bytes as one. The internal number is the
    // answer there.
    *number = s.pinWidth <= 5 || s.isTFT ? pin : static_cast<int>(MapPinToPin2(s, pin));
    return 1;
}

}  // namespace tl
