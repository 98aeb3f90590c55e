// Commands about the terminal itself: version, options, real-time events,
// enable/disable, status counters, user-number width and the clock.
#include <algorithm>

#include "internal.h"

namespace termsim {
namespace {

std::vector<std::uint8_t> TextReply(const std::string& text) {
    std::vector<std::uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

// The request text up to its first NUL (or all of it when it has none).
std::string RequestText(le::Bytes request) {
    return le::Text(request, 0, request.size());
}

Response GetVersion(Model::State& s, const Call&) {
    return Ok(TextReply(s.config.version));
}

Response GetOption(Model::State& s, const Call& c) {
    std::string key = RequestText(c.request);
    auto it = s.options.find(key);
    if (key.empty() || it == s.options.end()) return Error();
    return Ok(TextReply(key + "=" + it->second));
}

Response SetOption(Model::State& s, const Call& c) {
    std::string text = RequestText(c.request);
    auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return Error();
    std::string key = text.substr(0, eq), value = text.substr(eq + 1);
    // A host that found no usable "~OS" writes hidden values scrambled. A
    // value that is not in the scrambled form is kept as written (a host
    // reading "~OS" over a serial line may have sent it plain).
    if (key[0] == '~' && !s.HasOs())
        if (auto plain = Unscramble(value)) value = *plain;
    s.options[key] = value;
    if (key == "COMKey") s.config.commKey = static_cast<std::uint32_t>(ParseDecimal(value));
    return Ok();
}

Response RefreshOptions(Model::State&, const Call&) {
    return Ok();
}

Response RegEvent(Model::State& s, const Call& c) {
    if (!le::Has(c.request, 0, 4)) return Error();
    s.eventMask = le::U32(c.request, 0);
    // Events already waiting that the new mask excludes are dropped.
    std::erase_if(s.pending,
                  [&](const RtEvent& e) { return e.kind < 32 && !(s.eventMask & (1u << e.kind)); });
    return Ok();
}

Response ReadRtLog(Model::State& s, const Call& c) {
    std::uint32_t seq = le::U32(c.request, 0);
    if (!(s.hasOutstanding && seq == s.outstandingSeq)) {
        // The host moved on: the batch it was last given arrived.
        s.outstanding.clear();
        const std::size_t size = static_cast<std::size_t>(s.RtRecordSize());
        const std::size_t room = (kMaxRtReply - 4) / size;
        while (!s.pending.empty() && s.outstanding.size() < room) {
            s.outstanding.push_back(std::move(s.pending.front()));
            s.pending.pop_front();
        }
        s.outstandingSeq = seq;
        s.hasOutstanding = !s.outstanding.empty();
    }
    const std::size_t size = static_cast<std::size_t>(s.RtRecordSize());
    std::vector<std::uint8_t> out;
    le::Append32(out, static_cast<std::uint32_t>(s.outstanding.size() * size));
    for (const auto& e : s.outstanding) {
        le::Record r(size);
        r.Put16(0, e.kind);
        for (std::size_t i = 0; i < e.data.size() && i + 2 < size; ++i) r.Put8(i + 2, e.data[i]);
        r.AppendTo(out);
    }
    return Ok(std::move(out));
}

Response EnableDevice(Model::State& s, const Call&) {
    s.enabled = true;
    return Ok();
}

Response DisableDevice(Model::State& s, const Call& c) {
    s.enabled = false;
    s.disableArg = le::U32(c.request, 0);
    return Ok();
}

// Status words (index = word number):
//   4 users, 6 fingerprint templates, 8 attendance records, 10 operation
//   records, 12 administrators, 13 passwords, 14 template capacity, 15 user
//   capacity, 16 attendance capacity, 17-19 the room left in each, 20 faces,
//   22 face capacity; the others are 0.
Response DeviceStatus(Model::State& s, const Call&) {
    std::array<std::uint32_t, 24> w{};
    std::uint32_t admins = 0, passwords = 0;
    for (const auto& u : s.users) {
        if ((u.privilege & 0xFE) != 0) ++admins;
        if (!u.password.empty()) ++passwords;
    }
    const std::uint32_t userCap = s.IsLegacy() ? 1000 : s.IsTft() ? 3000 : 10000;
    const std::uint32_t fpCap = s.IsLegacy() ? 1500 : 8000;
    const std::uint32_t logCap = s.IsLegacy() ? 50000 : 200000;
    const auto users = static_cast<std::uint32_t>(s.users.size());
    const auto logs = static_cast<std::uint32_t>(s.punches.size());
    w[4] = users;
    w[6] = static_cast<std::uint32_t>(s.templates.size());
    w[8] = logs;
    w[10] = static_cast<std::uint32_t>(s.oplog.size());
    w[12] = admins;
    w[13] = passwords;
    w[14] = fpCap;
    w[15] = userCap;
    w[16] = logCap;
    w[17] = fpCap > w[6] ? fpCap - w[6] : 0;
    w[18] = userCap > users ? userCap - users : 0;
    w[19] = logCap > logs ? logCap - logs : 0;
    w[20] = static_cast<std::uint32_t>(s.faces.size());
    w[22] = s.IsTft() ? 400 : 0;
    std::vector<std::uint8_t> out;
    for (auto v : w) le::Append32(out, v);
    return Ok(std::move(out));
}

Response PinWidth(Model::State& s, const Call&) {
    return Ok({static_cast<std::uint8_t>(s.PinWidth()), 0});
}

Response GetTime(Model::State& s, const Call&) {
    std::vector<std::uint8_t> out;
    le::Append32(out, s.Now());
    return Ok(std::move(out));
}

Response SetTime(Model::State& s, const Call& c) {
    if (!le::Has(c.request, 0, 4)) return Error();
    s.SetNow(le::U32(c.request, 0));
    return Ok();
}

}  // namespace

void RegisterDeviceCommands(CommandTable& t) {
    t[CMD_GET_VERSION] = GetVersion;
    t[CMD_GET_OPTION] = GetOption;
    t[CMD_SET_OPTION] = SetOption;
    t[CMD_REFRESH_OPTIONS] = RefreshOptions;
    t[CMD_REG_EVENT] = RegEvent;
    t[CMD_READ_RTLOG] = ReadRtLog;
    t[CMD_ENABLE_DEVICE] = EnableDevice;
    t[CMD_DISABLE_DEVICE] = DisableDevice;
    t[CMD_GET_DEVICE_STATUS] = DeviceStatus;
    t[CMD_GET_PIN_WIDTH] = PinWidth;
    t[CMD_GET_TIME] = GetTime;
    t[CMD_SET_TIME] = SetTime;
}

}  // namespace termsim
