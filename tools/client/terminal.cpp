#include "client/terminal.h"

#include <cstring>

namespace tlclient {

TerminalTraits ReadTraits(TL_HANDLE h) {
    TerminalTraits t;
    int tft = 0;
    if (TL_IsTFTMachine(h, &tft) == 1) t.textIds = tft != 0;
    char version[64] = {};
    if (TL_GetFirmwareVersion(h, version) == 1) {
        t.firmware = std::string(version, strnlen(version, 50));
        // "Ver X.YY ...": the generation is in the first eight characters.
        t.legacy = t.firmware.compare(0, 8, "Ver 5.04") < 0;
    }
    int width = 0;
    if (TL_GetPINWidth(h, &width) == 1 && width > 0) t.pinWidth = width;
    return t;
}

int NextAttendanceRecord(TL_HANDLE h, const TerminalTraits& traits, AttendanceRecord* out) {
    unsigned char mode = 0, state = 0;
    int extra = 0;
    AttendanceRecord& r = *out;
    int rec;
    if (traits.textIds) {
        char id[64] = {};
        rec = TL_SSR_GetLog(h, id, &mode, &state, &r.year, &r.month, &r.day, &r.hour, &r.minute,
                            &r.second, &r.workCode);
        r.user = std::string(id, strnlen(id, 24));
    } else {
        int pin = 0;
        rec = TL_GetExtLog(h, &pin, &mode, &state, &r.year, &r.month, &r.day, &r.hour, &r.minute,
                           &r.second, &r.workCode, &extra);
        r.user = std::to_string(pin);
    }
    r.state = state;
    r.verify = mode;
    return rec;
}

int NextUserRecord(TL_HANDLE h, const TerminalTraits& traits, UserRecord* out) {
    UserRecord u;
    char name[32] = {}, password[16] = {};
    int r;
    if (traits.textIds) {
        char id[32] = {};
        r = SSR_TL_GetUserInfo(h, &u.pin, id, name, &u.privilege, &u.enabled, password, &u.textCard,
                               &u.group, u.zones);
        u.id = std::string(id, strnlen(id, 24));
        u.name = std::string(name, strnlen(name, 24));
        u.password = std::string(password, strnlen(password, 8));
    } else {
        r = TL_GetUserInfo(h, &u.pin, name, &u.privilege, &u.enabled, password, u.card, &u.pin2,
                           &u.group, u.zones);
        u.name = std::string(name, strnlen(name, 8));
        u.password = std::string(password, strnlen(password, 5));
    }
    *out = u;
    return r;
}

unsigned long long CardValue(const unsigned char* card) {
    unsigned long long v = 0;
    for (int i = 4; i >= 0; --i) v = (v << 8) | card[i];
    return v;
}

std::string StateName(int state) {
    switch (state) {
        case 0:
            return "check-in";
        case 1:
            return "check-out";
        case 2:
            return "break-out";
        case 3:
            return "break-in";
        case 4:
            return "overtime-in";
        case 5:
            return "overtime-out";
        default:
            return "state " + std::to_string(state);
    }
}

std::string VerifyName(int mode) {
    switch (mode) {
        case 0:
            return "password";
        case 1:
            return "fingerprint";
        case 2:
            return "card";
        default:
            return "mode " + std::to_string(mode);
    }
}

std::string PrivilegeName(int privilege) {
    switch (privilege) {
        case 0:
            return "user";
        case 1:
            return "enroller";
        case 2:
            return "admin";
        case 3:
            return "supervisor";
        default:
            return "level " + std::to_string(privilege);
    }
}

std::string OperationName(int code) {
    // The meaning of most operation codes lies with the terminal; what the
    // record layout itself says is that codes 6-12 and 30 act on a user,
    // whose PIN is parameter 1 (shown as the target). Other codes are shown
    // by number only rather than with a guessed name.
    return (code >= 6 && code <= 12) || code == 30 ? "user operation" : "";
}

}  // namespace tlclient
