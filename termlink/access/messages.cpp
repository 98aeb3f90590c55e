#include "access/messages.h"

#include <cstring>
#include <vector>

#include "access/content_exchange.h"
#include "common/bytes.h"
#include "session/commands.h"
#include "session/transport.h"
#include "users/user_ops.h"
#include "users/user_table.h"

namespace tl {

namespace {

// Room the terminal's reply may use beyond the record.
constexpr std::size_t kReplySlack = 2;
constexpr int kLinkSize = 4;

void Put(int* out, int v) {
    if (out) *out = v;
}

int SendLink(DeviceSession& s, int code, int pin, int messageId) {
    std::uint8_t request[kLinkSize];
    store_u16(request, static_cast<std::uint16_t>(pin));
    store_u16(request + 2, static_cast<std::uint16_t>(messageId));
    if (code == CMD_DEL_USER_SMS) return SendContentDelete(s, code, request, kLinkSize);
    return OkOrRefused(SendCommand(s.transport, code, request, kLinkSize, kLinkSize, s.cmdTimeout));
}

// The internal number of a link is the caller's number, or for number 0 that
// of the user whose PIN2 is `pin2`: no such user gives 0 and nothing is sent.
int NumberLink(DeviceSession& s, int code, int number, int pin2, int messageId) {
    if (!FitsU16Id(messageId) || !FitsU16Id(number)) return 4;
    int pin = number;
    if (number == 0) {
        pin = QueryUserByPin2(s, pin2);
        if (pin == -2) return -2;
        if (pin <= 0 || !FitsU16Id(pin)) return 0;
    }
    return SendLink(s, code, pin, messageId);
}

int IdLink(DeviceSession& s, int code, const char* userId, int messageId) {
    if (!userId || !FitsU16Id(messageId)) return 4;
    // Only text-ID terminals store the 72-byte records the lookup walks; in
    // a classic table its ID field would be other users' bytes, and a match
    // would link a made-up user.
    if (!HoldsTextIdUsers(s)) return 0;
    // FindSsrUserById loads the table when there is no user buffer yet.
    const std::uint8_t* record = FindSsrUserById(s, userId);
    if (!record) return 0;
    return SendLink(s, code, load_u16(record), messageId);
}

}  // namespace

std::size_t MessageRecordSize(const DeviceSession& s) {
    return s.tftMessages ? 332 : 72;
}

std::size_t MessageContentSize(const DeviceSession& s) {
    return MessageRecordSize(s) - kMessageContentOffset - 1;
}

int GetSMS(DeviceSession& s, int id, const MessageOut& out) {
    if (!out.content || !FitsU16Id(id)) return 4;
    const std::size_t size = MessageRecordSize(s), contentSize = MessageContentSize(s);
    std::vector<std::uint8_t> buffer(size + kReplySlack, 0);
    store_u16(buffer.data(), static_cast<std::uint16_t>(id));
    const int capacity = static_cast<int>(buffer.size());
    const CommandResult r =
        SendCommand(s.transport, CMD_GET_SMS, buffer.data(), capacity, 2, s.cmdTimeout);
    if (!r.ok()) return -2;
    // Every field read, the content included, must have arrived.
    if (!fits(static_cast<std::size_t>(r.length), kMessageContentOffset, contentSize)) return -2;
    const std::uint8_t* rec = buffer.data();
    const CalendarTime t = DecodeDeviceTime(load_u32(rec + 7));
    Put(out.kind, rec[0]);
    Put(out.period, load_u16(rec + 3));
    Put(out.year, t.year);
    Put(out.month, t.month);
    Put(out.day, t.day);
    Put(out.hour, t.hour);
    Put(out.minute, t.minute);
    Put(out.second, t.second);
    // The whole content field, exactly its size: a text that fills it has
    // no terminator, and nothing is written past the caller's buffer.
    std::memcpy(out.content, rec + kMessageContentOffset, contentSize);
    return 1;
}

int SetSMS(DeviceSession& s, int id, int kind, int period, const CalendarTime& start,
           const char* content) {
    if (!content || !FitsU16Id(id)) return 4;
    const std::size_t size = MessageRecordSize(s), contentSize = MessageContentSize(s);
    std::vector<std::uint8_t> record(size, 0);
    record[0] = static_cast<std::uint8_t>(kind);
    store_u16(record.data() + 1, static_cast<std::uint16_t>(id));
    store_u16(record.data() + 3, static_cast<std::uint16_t>(period));
    store_u32(record.data() + 7, EncodeDeviceTime(start));
    // The caller's text up to its terminator, cut to the content field; the
    // rest of the field and the record's last byte stay zero.
    std::memcpy(record.data() + kMessageContentOffset, content,
                bounded_strlen(content, contentSize));
    const int n = static_cast<int>(size);
    return OkOrRefused(SendCommand(s.transport, CMD_SET_SMS, record.data(), n, n, s.cmdTimeout));
}

int DeleteSMS(DeviceSession& s, int id) {
    if (!FitsU16Id(id)) return 4;
    std::uint8_t request[2];
    store_u16(request, static_cast<std::uint16_t>(id));
    return SendContentDelete(s, CMD_DEL_SMS, request, 2);
}

int SetUData(DeviceSession& s, int number, int pin2, int messageId) {
    return NumberLink(s, CMD_SET_USER_SMS, number, pin2, messageId);
}

int DeleteUData(DeviceSession& s, int number, int pin2, int messageId) {
    return NumberLink(s, CMD_DEL_USER_SMS, number, pin2, messageId);
}

int SetSsrUData(DeviceSession& s, const char* userId, int messageId) {
    return IdLink(s, CMD_SET_USER_SMS, userId, messageId);
}

int DelSsrUData(DeviceSession& s, const char* userId, int messageId) {
    return IdLink(s, CMD_DEL_USER_SMS, userId, messageId);
}

}  // namespace tl
