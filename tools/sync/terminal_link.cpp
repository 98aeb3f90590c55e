#include "terminal_link.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "client/events.h"
#include "client/transport_error.h"

namespace tlsync {

namespace {

std::optional<int> ParseNumber(const std::string& s, int min, int max) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max) return std::nullopt;
    return v;
}

std::vector<std::string> SplitColons(const std::string& s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = s.find(':', start);
        parts.push_back(s.substr(start, colon - start));
        if (colon == std::string::npos) return parts;
        start = colon + 1;
    }
}

std::string Field(const char* p, std::size_t width) {
    return std::string(p, strnlen(p, width));
}

std::string TimeText(int y, int mo, int d, int h, int mi, int s) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return text;
}

// Department names from the terminal's department table: 36-byte records,
// the number in the first byte and a NUL-terminated name at offset 4. The
// table reaches us through a file the library writes.
std::map<int, std::string> ReadDepartments(TL_HANDLE h) {
    std::map<int, std::string> names;
    if (TL_SSR_ReadDPT(h) != 1) return names;
    // A name of this process's own: a random tag drawn once, and a counter.
    static const unsigned tag = std::random_device{}();
    static std::atomic<unsigned> counter{0};
    const auto path = std::filesystem::temp_directory_path() /
                      ("termlink-sync-dept-" + std::to_string(tag) + "-" +
                       std::to_string(counter.fetch_add(1)) + ".dat");
    if (TL_SSR_SaveDate(h, path.string().c_str(), 4) == 1) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (std::size_t at = 0; at + 36 <= bytes.size(); at += 36) {
            const int number = static_cast<unsigned char>(bytes[at]);
            names.emplace(number, Field(bytes.data() + at + 4, 32));
        }
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return names;
}

}  // namespace

std::optional<Endpoint> ParseEndpoint(const std::string& text, std::string* error) {
    const auto parts = SplitColons(text);
    Endpoint e;
    const std::string& kind = parts[0];
    auto fail = [&](const std::string& why) -> std::optional<Endpoint> {
        *error = why;
        return std::nullopt;
    };
    if (kind == "udp" || kind == "tcp") {
        e.kind = kind == "udp" ? Endpoint::Kind::Udp : Endpoint::Kind::Tcp;
        if (parts.size() < 2 || parts.size() > 3 || parts[1].empty())
            return fail("expected " + kind + ":HOST[:PORT]");
        e.host = parts[1];
        if (parts.size() == 3) {
            auto port = ParseNumber(parts[2], 1, 65535);
            if (!port) return fail("port must be 1-65535: " + parts[2]);
            e.port = *port;
        }
        return e;
    }
    if (kind == "com") {
        e.kind = Endpoint::Kind::Com;
        if (parts.size() < 2 || parts.size() > 4 || parts[1].empty())
            return fail("expected com:PORT[:BAUD[:STATION]]");
        e.host = parts[1];
        if (parts.size() >= 3) {
            auto baud = ParseNumber(parts[2], 1, 4000000);
            if (!baud) return fail("bad baud rate: " + parts[2]);
            e.baud = *baud;
        }
        if (parts.size() == 4) {
            auto station = ParseNumber(parts[3], 1, 255);
            if (!station) return fail("station must be 1-255: " + parts[3]);
            e.station = *station;
        }
        return e;
    }
    if (kind == "usb") {
        e.kind = Endpoint::Kind::Usb;
        auto n = parts.size() == 2 ? ParseNumber(parts[1], 0, 255) : std::nullopt;
        if (!n) return fail("expected usb:N");
        e.port = *n;
        return e;
    }
    return fail("unknown connection kind '" + kind + "' (udp, tcp, com or usb)");
}

std::optional<Punch> DecodeAttendanceEvent(const unsigned char* data, int size,
                                           const std::map<int, std::string>& pinToUser) {
    const auto e = tlclient::ParseAttendanceEvent(data, size);
    if (!e) return std::nullopt;
    Punch p;
    if (e->idBytes == 24) {
        if (e->id.empty()) return std::nullopt;
        p.user = e->id;
    } else if (e->idBytes == 4) {
        p.user = std::to_string(e->number);
    } else {
        const int pin = static_cast<int>(e->number);
        const auto mapped = pinToUser.find(pin);
        p.user = mapped != pinToUser.end() ? mapped->second : std::to_string(pin);
    }
    p.state = e->state;
    p.verify = e->verify;
    p.time = tlclient::DeviceTimeText(e->time);
    p.workCode = static_cast<int>(e->workCode);
    return p;
}

TerminalLink::TerminalLink(const FleetEntry& entry, int timeoutMs) : name_(entry.name) {
    std::string error;
    const auto e = ParseEndpoint(entry.connection, &error);
    if (!e) throw LinkError("connection '" + entry.connection + "': " + error, false);
    // The transport takes the communication key and its timeout in the
    // first two pass-through integers.
    switch (e->kind) {
        case Endpoint::Kind::Udp:
            h_ = TL_Connect_NET(e->host.c_str(), e->port, entry.key, timeoutMs, 0);
            break;
        case Endpoint::Kind::Tcp:
            h_ = TL_Connect_NETEX(e->host.c_str(), e->port, entry.key, timeoutMs, 0);
            break;
        case Endpoint::Kind::Com:
            h_ = TL_Connect_COM(e->host.c_str(), e->station, e->baud, entry.key, timeoutMs, 0,
                                nullptr);
            break;
        case Endpoint::Kind::Usb:
            h_ = TL_Connect_USB(e->port, entry.key, timeoutMs, 0);
            break;
    }
    if (!h_) {
        const std::string reason = tlclient::TransportErrorText(TL_LastError());
        throw LinkError("cannot connect to " + entry.connection +
                            (reason.empty() ? std::string() : ": " + reason),
                        false);
    }
    // The session is ours from here: a constructor that throws gets no
    // destructor call, so it closes the session itself.
    try {
        traits_ = tlclient::ReadTraits(h_);
        char serial[128] = {};
        const int r = TL_GetSerialNumber(h_, serial);
        if (r != 1) Fail("reading the serial number", r);
        const std::string text = Field(serial, sizeof serial);
        hasSerial_ = !text.empty() && text != "0";
        identity_ = hasSerial_ ? text : "noserial:" + name_;
        eventSize_ = tlclient::EventDataSize(traits_);
    } catch (...) {
        TL_Close(h_);
        throw;
    }
}

TerminalLink::~TerminalLink() {
    if (locked_) TL_EnableDevice(h_);
    TL_Close(h_);
}

void TerminalLink::Fail(const std::string& what, int result) const {
    std::string msg = what + " failed (result " + std::to_string(result) + ")";
    if (result == -2) {
        const std::string reason = tlclient::TransportErrorText(TL_LastError());
        if (!reason.empty()) msg = what + ": " + reason;
    }
    throw LinkError(msg, true);
}

void TerminalLink::Lock() {
    const int r = TL_DisableDevice(h_, 0);
    if (r != 1) Fail("locking the keypad", r);
    locked_ = true;
}

void TerminalLink::Unlock() {
    if (!locked_) return;
    locked_ = false;
    const int r = TL_EnableDevice(h_);
    if (r != 1) Fail("unlocking the keypad", r);
}

std::vector<UserRow> TerminalLink::ReadUsers() {
    // The department table goes through the session's bulk buffer: read it
    // before the user table and the log.
    const auto departments = ReadDepartments(h_);
    std::vector<UserRow> users;
    pinToUser_.clear();
    const int r = TL_ReadUserInfo(h_);
    if (r == 0) return users;
    if (r != 1) Fail("downloading the user table", r);
    for (tlclient::UserRecord rec;;) {
        const int n = tlclient::NextUserRecord(h_, traits_, &rec);
        if (n == 0) break;
        if (n != 1) Fail("reading the user table", n);
        UserRow u;
        if (traits_.textIds) {
            u.user = rec.id;
        } else {
            u.user = std::to_string(rec.pin2 ? rec.pin2 : rec.pin);
            if (traits_.pinWidth > 5 && rec.pin2) pinToUser_[rec.pin] = u.user;
        }
        u.name = rec.name;
        u.department = rec.group;
        if (auto d = departments.find(rec.group); d != departments.end())
            u.departmentName = d->second;
        users.push_back(std::move(u));
    }
    return users;
}

std::vector<Punch> TerminalLink::ReadLog() {
    std::vector<Punch> punches;
    const int r = TL_ReadLog(h_, 1);
    if (r == 0) return punches;
    if (r != 1) Fail("downloading the attendance log", r);
    for (tlclient::AttendanceRecord rec;;) {
        const int n = tlclient::NextAttendanceRecord(h_, traits_, &rec);
        if (n == 0) break;
        if (n != 1) Fail("reading the attendance log", n);
        punches.push_back({rec.user,
                           TimeText(rec.year, rec.month, rec.day, rec.hour, rec.minute, rec.second),
                           rec.state, rec.verify, rec.workCode});
    }
    return punches;
}

void TerminalLink::ClearLog() {
    const int r = TL_ClearLogData(h_);
    if (r != 1) Fail("clearing the attendance log", r);
}

bool TerminalLink::PollEvents(std::vector<Punch>* out) {
    const int r = TL_ReadRTLog(h_);
    if (r == -100) return false;
    if (r != 1) Fail("polling real-time events", r);
    int kind = 0;
    unsigned char data[64];
    for (;;) {
        std::memset(data, 0, sizeof data);
        if (TL_GetRTLog(h_, &kind, data) != 1) break;
        if (kind != 1) continue;  // only attendance events carry punches
        if (auto p = DecodeAttendanceEvent(data, eventSize_, pinToUser_)) out->push_back(*p);
    }
    return true;
}

}  // namespace tlsync
