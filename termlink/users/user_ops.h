// The user exports' bodies: listing, looking up, writing and deleting users
// in the classic (16/28-byte) and text-ID (72-byte) forms, and a user's
// group, time zones and extended byte.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace tl {

// Outputs of the classic readers; any pointer may be null.
struct ClassicUserOut {
    int* pin = nullptr;
    char* name = nullptr;      // 9 bytes
    int* privilege = nullptr;  // left as it was for unknown privilege bytes
    int* enabled = nullptr;
    char* password = nullptr;      // 6 bytes
    std::uint8_t* card = nullptr;  // 5 bytes
    int* pin2 = nullptr;
    int* group = nullptr;
    int* zones = nullptr;  // 4 entries
};

// Outputs of the text-ID readers; any pointer may be null.
struct SsrUserOut {
    int* pin = nullptr;
    char* userId = nullptr;  // pinWidth + 1 bytes (at most 25)
    char* name = nullptr;    // 24 bytes
    int* privilege = nullptr;
    int* enabled = nullptr;
    char* password = nullptr;  // 9 bytes
    int* card = nullptr;
    int* group = nullptr;
    int* zones = nullptr;  // 4 entries
};

int GetUserInfo(DeviceSession& s, const ClassicUserOut& out);
// Looks up by `pin` when non-zero, else by the PIN2 in *out.pin2.
int QueryUserInfo(DeviceSession& s, int pin, const ClassicUserOut& out);
int QueryUserByPin2(DeviceSession& s, int pin2);
int QueryUserByCard(DeviceSession& s, const std::uint8_t* card);
int GetUserID(DeviceSession& s, int pin2);
int GetUserPIN2(DeviceSession& s, int pin);

int SetUserInfo(DeviceSession& s, int pin, const char* name, int privilege, int enabled,
                const char* password, const std::uint8_t* card, int pin2, int group,
                const int* zones);
int DelUser(DeviceSession& s, int number);
int ClearAdministrators(DeviceSession& s);

int GetUserGroup(DeviceSession& s, int number, int* group);
int SetUserGroup(DeviceSession& s, int number, int group);
int GetUserTZs(DeviceSession& s, int number, int* zones, int* flag);
int SetUserTZs(DeviceSession& s, int number, const int* zones);

int GetUserInfoEx(DeviceSession& s, int pin, int pin2, int* value);
int SetUserInfoEx(DeviceSession& s, int pin, int pin2, int value);
int DeleteUserInfoEx(DeviceSession& s, int pin, int pin2);

int SsrGetUserInfo(DeviceSession& s, const SsrUserOut& out);
int SsrQueryUserInfo(DeviceSession& s, const char* userId, const SsrUserOut& out);
int SsrSetUserInfo(DeviceSession& s, const char* userId, const char* name, int privilege,
                   int enabled, const char* password, const int* card, int group, const int* zones);
int SsrDelUser(DeviceSession& s, const char* userId);
int SsrDelUserExt(DeviceSession& s, const char* userId);

}  // namespace tl
