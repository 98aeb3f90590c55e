// Short messages and the links that show a message to a user.
//
// The record is 72 bytes with 60 content bytes, or 332 bytes with 320 content
// bytes on terminals whose messages follow the TFT layout (the session's
// tftMessages flag): kind (u8), id (u16), period (u16), two zero bytes, the
// start time as a DeviceTime (u32), the content, a closing zero byte.
#pragma once

#include <cstddef>

#include "records/device_time.h"
#include "session/session.h"

namespace tl {

std::size_t MessageRecordSize(const DeviceSession& s);   // 72 or 332
std::size_t MessageContentSize(const DeviceSession& s);  // 60 or 320
constexpr std::size_t kMessageContentOffset = 11;

struct MessageOut {
    int* kind = nullptr;
    int* period = nullptr;
    int* year = nullptr;
    int* month = nullptr;
    int* day = nullptr;
    int* hour = nullptr;
    int* minute = nullptr;
    int* second = nullptr;
    char* content = nullptr;  // MessageContentSize bytes
};

// Message ids are 0-65535; outside that range 4 (nothing sent). Kind and
// period are passed through as their low 8 and 16 bits.
int GetSMS(DeviceSession& s, int id, const MessageOut& out);
int SetSMS(DeviceSession& s, int id, int kind, int period, const CalendarTime& start,
           const char* content);
int DeleteSMS(DeviceSession& s, int id);

// Links by user number (0: the user is looked up by PIN2) or by text ID.
int SetUData(DeviceSession& s, int number, int pin2, int messageId);
int DeleteUData(DeviceSession& s, int number, int pin2, int messageId);
int SetSsrUData(DeviceSession& s, const char* userId, int messageId);
int DelSsrUData(DeviceSession& s, const char* userId, int messageId);

}  // namespace tl
