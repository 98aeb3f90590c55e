// TL_SSR_OutPutHtml's choice of users: the session's cached user table.
#include <cstdint>

#include "common/bytes.h"
#include "records/bulk_read.h"
#include "report/engine.h"
#include "report/report_files.h"
#include "users/user_table.h"

namespace tl::report {

namespace {

// The cached user table: whole 72-byte records from byte 4 of userBuffer.
struct UserTable {
    std::uint8_t* begin = nullptr;
    std::uint8_t* end = nullptr;
};

UserTable CachedUsers(const DeviceSession& s) {
    UserTable t;
    const std::uint32_t capacity = s.userBuffer.capacity();
    if (s.userDataLen <= 0 || capacity < 4) return t;
    std::uint32_t len = static_cast<std::uint32_t>(s.userDataLen);
    if (len > capacity - 4) len = capacity - 4;
    len -= len % kUserRecordSize;
    t.begin = s.userBuffer.data() + 4;
    t.end = t.begin + len;
    return t;
}

}  // namespace

int OutPutHtml(DeviceSession* s, const ReportRequest& r) {
    const bool allUsers = !r.userId || !*r.userId;
    return RunReport(r, [&](std::vector<std::uint16_t>& pins) {
        if (!s) return -1;
        // Both forms load the user table when it is not cached: the single
        // user is looked up in it like every user of the all-users form.
        if (!s->userBuffer || s->userDataLen <= 0) {
            if (ReadUserInfo(*s) != 1) return -2;
        }
        const UserTable t = CachedUsers(*s);
        if (!allUsers) {
            if (const std::uint8_t* user = FindSsrUserById(*s, r.userId))
                pins.push_back(load_u16(user));
            return 1;
        }
        if (t.begin == t.end) return 0;
        // The walk goes on from wherever the cursor stands and leaves it at the
        // end of the table: a second run without a new read calculates nobody.
        // A cursor outside the table counts as at its end.
        const auto b = reinterpret_cast<std::uintptr_t>(t.begin);
        const auto e = reinterpret_cast<std::uintptr_t>(t.end);
        auto c = reinterpret_cast<std::uintptr_t>(s->userCursor);
        if (c < b || c > e) c = e;
        for (std::uintptr_t off = c - b; off + kUserRecordSize <= e - b; off += kUserRecordSize)
            pins.push_back(load_u16(t.begin + off));
        s->userCursor = t.end;
        return 1;
    });
}

}  // namespace tl::report
