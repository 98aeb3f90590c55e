// Owner-configured content: short messages and user links, work codes in
// numeric and text form, custom attendance states and voices, short keys.
#include <cstring>

#include "internal.h"

namespace termsim {

Content DefaultContent() {
    Content c;
    const char* labels[] = {"Check-In", "Check-Out", "Break-Out", "Break-In"};
    for (int k = 0; k < 4; ++k)
        c.shortKeys[k + 1] = ShortKey{1, static_cast<std::uint8_t>(k), labels[k], {}, 0};
    return c;
}

int ShortKeySize(const Model::State& s) {
    return CompareVersion(s.normVersion, "Ver 6.60") < 0 ? 32 : 34;
}

namespace {

std::size_t MessageSize(const Model::State& s) {
    return s.IsTft() ? 332 : 72;
}

Response SetSms(Model::State& s, const Call& c) {
    const std::size_t size = MessageSize(s);
    if (c.request.size() != size) return Error();
    Message m;
    m.kind = c.request[0];
    m.period = le::U16(c.request, 3);
    m.start = le::U32(c.request, 7);
    m.content.assign(c.request.begin() + 11,
                     c.request.begin() + static_cast<std::ptrdiff_t>(size - 1));
    s.content.messages[le::U16(c.request, 1)] = std::move(m);
    return Ok();
}

Response GetSms(Model::State& s, const Call& c) {
    if (c.request.size() < 2) return Error();
    const int id = le::U16(c.request, 0);
    auto it = s.content.messages.find(id);
    if (it == s.content.messages.end()) return Error();
    le::Record r(MessageSize(s));
    r.Put8(0, it->second.kind);
    r.Put16(1, static_cast<std::uint32_t>(id));
    r.Put16(3, it->second.period);
    r.Put32(7, it->second.start);
    for (std::size_t i = 0; i < it->second.content.size(); ++i)
        r.Put8(11 + i, it->second.content[i]);
    return Ok(r.bytes());
}

Response DeleteSms(Model::State& s, const Call& c) {
    if (c.request.size() < 2) return Error();
    const std::uint16_t id = le::U16(c.request, 0);
    if (!s.content.messages.erase(id)) return NotFound(c.request);
    std::erase_if(s.content.links, [&](const auto& l) { return l.second == id; });
    return Ok();
}

// A link needs both its user and its message.
Response SetUserSms(Model::State& s, const Call& c) {
    if (c.request.size() < 4) return Error();
    const std::uint16_t pin = le::U16(c.request, 0), id = le::U16(c.request, 2);
    if (!s.FindUser(pin) || !s.content.messages.count(id)) return Error();
    s.content.links.insert({pin, id});
    return Ok();
}

Response DeleteUserSms(Model::State& s, const Call& c) {
    if (c.request.size() < 4) return Error();
    if (!s.content.links.erase({le::U16(c.request, 0), le::U16(c.request, 2)}))
        return NotFound(c.request);
    return Ok();
}

// Work codes: the request size tells the numeric form (2 or 8 bytes) from
// the text form (10, 36 or 9 bytes).
Response GetWorkCode(Model::State& s, const Call& c) {
    if (c.request.size() == 2) {
        auto it = s.content.workCodes.find(le::U16(c.request, 0));
        if (it == s.content.workCodes.end()) return Error();
        le::Record r(8);
        r.Put16(0, static_cast<std::uint32_t>(it->first));
        r.Put32(2, it->second);
        return Ok(r.bytes());
    }
    if (c.request.size() < 2) return Error();
    const std::string id = le::Text(c.request, 1, c.request.size() - 1);
    auto it = s.content.workCodeNames.find(id);
    if (id.empty() || it == s.content.workCodeNames.end()) return Error();
    le::Record r(36);
    r.PutText(2, 9, id);
    r.PutText(11, 24, it->second);
    return Ok(r.bytes());
}

Response SetWorkCode(Model::State& s, const Call& c) {
    if (c.request.size() == 8) {
        s.content.workCodes[le::U16(c.request, 0)] = le::U32(c.request, 2);
        return Ok();
    }
    if (c.request.size() != 36) return Error();
    const std::string id = le::Text(c.request, 2, 9);
    if (id.empty()) return Error();
    s.content.workCodeNames[id] = le::Text(c.request, 11, 24);
    return Ok();
}

Response DeleteWorkCode(Model::State& s, const Call& c) {
    if (c.request.size() == 2) {
        if (!s.content.workCodes.erase(le::U16(c.request, 0))) return NotFound(c.request);
        return Ok();
    }
    const std::string id = le::Text(c.request, 0, c.request.size());
    if (id.empty() || !s.content.workCodeNames.erase(id)) return NotFound(c.request);
    return Ok();
}

// Custom states (0-7, extended-format terminals only) and voices (0-20).
Response SetState(Model::State& s, const Call& c) {
    if (c.request.size() < 6 || s.ExtendFmt() == 0) return Error();
    const int index = le::U16(c.request, 0), code = le::U16(c.request, 2);
    if (index > 7 || code > 127) return Error();
    s.content.states[index].code = static_cast<std::uint16_t>(code);
    s.content.states[index].enabled = le::U16(c.request, 4) != 0;
    return Ok();
}

Response EnableEntry(std::map<int, CustomEntry>& table, int max, const Call& c) {
    if (c.request.size() < 4) return Error();
    auto it = table.find(le::U16(c.request, 0));
    if (le::U16(c.request, 0) > max || it == table.end()) return Error();
    it->second.enabled = le::U16(c.request, 2) != 0;
    return Ok();
}

Response DeleteEntry(std::map<int, CustomEntry>& table, int max, const Call& c) {
    if (c.request.size() < 2 || le::U16(c.request, 0) > max) return Error();
    if (!table.erase(le::U16(c.request, 0))) return NotFound(c.request);
    return Ok();
}

Response EnableState(Model::State& s, const Call& c) {
    if (s.ExtendFmt() == 0) return Error();
    return EnableEntry(s.content.states, 7, c);
}
Response DeleteState(Model::State& s, const Call& c) {
    if (s.ExtendFmt() == 0) return Error();
    return DeleteEntry(s.content.states, 7, c);
}

Response SetVoice(Model::State& s, const Call& c) {
    if (c.request.size() < 32) return Error();
    const int index = le::U16(c.request, 0);
    const std::string file = le::Text(c.request, 10, 20);
    if (index > 20 || file.empty()) return Error();
    s.content.voices[index] = CustomEntry{0, file, le::U16(c.request, 30) != 0};
    return Ok();
}
Response EnableVoice(Model::State& s, const Call& c) {
    return EnableEntry(s.content.voices, 20, c);
}
Response DeleteVoice(Model::State& s, const Call& c) {
    return DeleteEntry(s.content.voices, 20, c);
}

// Short keys in the firmware's record: key id, function, state code, label
// (14 or 16 bytes), seven u16 switch times, automatic switching.
std::vector<std::uint8_t> EncodeShortKeys(const Model::State& s) {
    const std::size_t size = static_cast<std::size_t>(ShortKeySize(s)), label = size - 18;
    std::vector<std::uint8_t> out;
    for (const auto& [id, k] : s.content.shortKeys) {
        le::Record r(size);
        r.Put8(0, static_cast<std::uint32_t>(id));
        r.Put8(1, k.function);
        r.Put8(2, k.state);
        r.PutText(3, label, k.label);
        for (std::size_t i = 0; i < 7; ++i) r.Put16(3 + label + 2 * i, k.times[i]);
        r.Put8(size - 1, k.autoSwitch);
        r.AppendTo(out);
    }
    return out;
}

// An empty key table is still a table: REPLY_OK with no records.
Response ReadShortKeys(Model::State& s, const Call&) {
    return Ok(EncodeShortKeys(s));
}

Response SetShortKey(Model::State& s, const Call& c) {
    const std::size_t size = static_cast<std::size_t>(ShortKeySize(s)), label = size - 18;
    if (c.request.size() != size) return Error();
    ShortKey k;
    k.function = c.request[1];
    k.state = c.request[2];
    k.label = le::Text(c.request, 3, label);
    for (std::size_t i = 0; i < 7; ++i) {
        k.times[i] = le::U16(c.request, 3 + label + 2 * i);
        if (k.times[i] / 100 > 23 || k.times[i] % 100 > 59) return Error();
    }
    k.autoSwitch = c.request[size - 1];
    s.content.shortKeys[c.request[0]] = k;
    return Ok();
}

}  // namespace

void RegisterContentCommands(CommandTable& t) {
    t[CMD_SET_SMS] = SetSms;
    t[CMD_GET_SMS] = GetSms;
    t[CMD_DEL_SMS] = DeleteSms;
    t[CMD_SET_USER_SMS] = SetUserSms;
    t[CMD_DEL_USER_SMS] = DeleteUserSms;
    t[CMD_SET_WORKCODE] = SetWorkCode;
    t[CMD_GET_WORKCODE] = GetWorkCode;
    t[CMD_DEL_WORKCODE] = DeleteWorkCode;
    t[CMD_SET_SHORTKEY] = SetShortKey;
    t[CMD_READ_SHORTKEYS] = ReadShortKeys;
    t[CMD_SET_ATT_STATE] = SetState;
    t[CMD_ENABLE_ATT_STATE] = EnableState;
    t[CMD_DEL_ATT_STATE] = DeleteState;
    t[CMD_SET_VOICE] = SetVoice;
    t[CMD_ENABLE_VOICE] = EnableVoice;
    t[CMD_DEL_VOICE] = DeleteVoice;
}

}  // namespace termsim
