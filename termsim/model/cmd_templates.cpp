// Fingerprint templates kept as opaque bytes per user and finger, and the
// batch upload that CMD_UPDATE applies to users and templates.
#include <algorithm>

#include "internal.h"

namespace termsim {

void EraseUser(Model::State& s, std::uint16_t pin) {
    std::erase_if(s.users, [&](const User& u) { return u.pin == pin; });
    std::erase_if(s.templates, [&](const Template& t) { return t.pin == pin; });
    std::erase_if(s.faces, [&](const Face& f) { return f.pin == pin; });
    std::erase_if(s.content.links, [&](const auto& l) { return l.first == pin; });
}

bool PutTemplate(Model::State& s, Template t) {
    if (!s.FindUser(t.pin) || t.data.empty()) return false;
    for (auto& old : s.templates)
        if (old.pin == t.pin && old.finger == t.finger) {
            old = std::move(t);
            return true;
        }
    s.templates.push_back(std::move(t));
    return true;
}

// Template table record: u16 record size (6 + template), u16 PIN, u8 finger,
// u8 flag, the template.
std::vector<std::uint8_t> EncodeTemplates(const Model::State& s) {
    std::vector<std::uint8_t> out;
    for (const auto& t : s.templates) {
        le::Append16(out, static_cast<std::uint32_t>(t.data.size() + 6));
        le::Append16(out, t.pin);
        out.push_back(t.finger);
        out.push_back(t.flag);
        out.insert(out.end(), t.data.begin(), t.data.end());
    }
    return out;
}

namespace {

constexpr std::size_t kMaxTemplate = 32768;

const Template* Find(const Model::State& s, std::uint16_t pin, std::uint8_t finger) {
    for (const auto& t : s.templates)
        if (t.pin == pin && t.finger == finger) return &t;
    return nullptr;
}

// The template bytes of a write: pushed data when there is any, else what
// follows the header in the request. The header's length must be covered.
bool Body(const Call& c, std::size_t header, std::size_t length, std::vector<std::uint8_t>& out) {
    if (length == 0 || length > kMaxTemplate) return false;
    le::Bytes src = !c.data.empty()
                        ? c.data
                        : (c.request.size() > header ? c.request.subspan(header) : le::Bytes{});
    if (src.size() < length) return false;
    out.assign(src.begin(), src.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
}

Response SetTemplate(Model::State& s, const Call& c) {
    if (c.request.size() < 5) return Error();
    Template t{le::U16(c.request, 0), le::U8(c.request, 2), 0, {}};
    if (!Body(c, 5, le::U16(c.request, 3), t.data)) return Error();
    return PutTemplate(s, std::move(t)) ? Ok() : Error();
}

Response SetTemplateEx(Model::State& s, const Call& c) {
    if (c.request.size() < 6) return Error();
    Template t{le::U16(c.request, 0), le::U8(c.request, 2), le::U8(c.request, 3), {}};
    if (!Body(c, 6, le::U16(c.request, 4), t.data)) return Error();
    return PutTemplate(s, std::move(t)) ? Ok() : Error();
}

Response SetTemplateById(Model::State& s, const Call& c) {
    if (c.request.size() < 28) return Error();
    User* u = s.FindUserById(le::Text(c.request, 0, 24));
    if (!u || le::Text(c.request, 0, 24).empty()) return Error();
    Template t{u->pin, le::U8(c.request, 25), le::U8(c.request, 24), {}};
    if (!Body(c, 28, le::U16(c.request, 26), t.data)) return Error();
    return PutTemplate(s, std::move(t)) ? Ok() : Error();
}

// Append: the next free finger of the user (0-9); a user that does not exist
// yet is created with nothing but its number.
Response AppendTemplate(Model::State& s, const Call& c) {
    if (c.request.size() < 13) return Error();
    const std::uint16_t pin = le::U16(c.request, 0);
    Template t{pin, 0, 0, {}};
    if (pin == 0 || pin == 0xFFFF || !Body(c, 13, le::U16(c.request, 11), t.data)) return Error();
    int finger = 0;
    while (finger < 10 && Find(s, pin, static_cast<std::uint8_t>(finger))) ++finger;
    if (finger == 10) return Error();
    t.finger = static_cast<std::uint8_t>(finger);
    if (!s.FindUser(pin)) {
        User u;
        u.pin = pin;
        u.id = std::to_string(pin);
        s.users.push_back(u);
    }
    PutTemplate(s, std::move(t));
    return Ok();
}

Response DeleteTemplateOf(Model::State& s, std::uint16_t pin, std::uint8_t finger,
                          le::Bytes request) {
    const auto n = std::erase_if(s.templates, [&](const Template& t) {
        return t.pin == pin && (finger == 255 || t.finger == finger);
    });
    return n ? Ok() : NotFound(request);
}

Response DeleteTemplate(Model::State& s, const Call& c) {
    if (c.request.size() < 3) return Error();
    return DeleteTemplateOf(s, le::U16(c.request, 0), le::U8(c.request, 2), c.request);
}

Response DeleteTemplateById(Model::State& s, const Call& c) {
    if (c.request.size() < 25) return Error();
    User* u = s.FindUserById(le::Text(c.request, 0, 24));
    if (!u) return NotFound(c.request);
    return DeleteTemplateOf(s, u->pin, le::U8(c.request, 24), c.request);
}

Response GetTemplateEx(Model::State& s, const Call& c) {
    if (c.request.size() < 3) return Error();
    const Template* t = Find(s, le::U16(c.request, 0), le::U8(c.request, 2));
    if (!t) return Error();
    std::vector<std::uint8_t> out = t->data;
    out.push_back(t->flag);
    return Ok(std::move(out));
}

// Identification: a stored template equal to the one sent; reply its PIN,
// or 0 when none matches.
Response TestTemplate(Model::State& s, const Call& c) {
    std::uint16_t pin = 0;
    for (const auto& t : s.templates)
        if (std::equal(t.data.begin(), t.data.end(), c.request.begin(), c.request.end())) {
            pin = t.pin;
            break;
        }
    std::vector<std::uint8_t> out;
    le::Append16(out, pin);
    return Ok(std::move(out));
}

// ---------------------------------------------------------------- batches

struct TemplateEntry {
    std::uint8_t op;
    std::uint16_t pin;  // number form
    std::string id;     // ID form
    std::uint8_t finger;
    std::uint32_t offset;
};

// One template-command entry at `pos`, number form (8 bytes) or ID form (30).
bool ParseEntry(le::Bytes list, std::size_t pos, bool idForm, std::uint32_t dataLen,
                TemplateEntry& e) {
    const std::size_t size = idForm ? 30 : 8;
    if (!le::Has(list, pos, size)) return false;
    e.op = list[pos];
    if (e.op > 2) return false;
    if (idForm) {
        e.id = le::Text(list, pos + 1, 24);
        if (e.id.empty()) return false;
        for (std::size_t i = e.id.size(); i < 24; ++i)
            if (list[pos + 1 + i] != 0) return false;
        e.finger = list[pos + 25];
        e.offset = le::U32(list, pos + 26);
    } else {
        e.pin = le::U16(list, pos + 1);
        e.finger = list[pos + 3];
        e.offset = le::U32(list, pos + 4);
    }
    if (e.op == 0) return e.offset == 0xFFFFFFFFu;
    return e.offset < dataLen && dataLen - e.offset >= 2;
}

// Splits the template list into entries. Text-ID terminals may mix the two
// forms; the split is the one where every entry is well formed (searched
// from the end so that the first consistent split is found without
// backtracking).
bool ParseTemplateList(le::Bytes list, bool mixed, std::uint32_t dataLen,
                       std::vector<TemplateEntry>& out) {
    const std::size_t n = list.size();
    std::vector<int> next(n + 1, 0);  // 8 or 30: entry size that leads to a full parse; 0 none
    std::vector<bool> ok(n + 1, false);
    ok[n] = true;
    for (std::size_t pos = n; pos-- > 0;) {
        TemplateEntry e;
        if (pos + 8 <= n && ok[pos + 8] && ParseEntry(list, pos, false, dataLen, e)) {
            ok[pos] = true;
            next[pos] = 8;
        } else if (mixed && pos + 30 <= n && ok[pos + 30] &&
                   ParseEntry(list, pos, true, dataLen, e)) {
            ok[pos] = true;
            next[pos] = 30;
        }
    }
    if (!ok[0]) return false;
    for (std::size_t pos = 0; pos < n; pos += static_cast<std::size_t>(next[pos])) {
        TemplateEntry e;
        ParseEntry(list, pos, next[pos] == 30, dataLen, e);
        out.push_back(e);
    }
    return true;
}

}  // namespace

Response ApplyBatch(Model::State& s, le::Bytes block) {
    if (s.IsLegacy() || block.size() < 12) return Error();
    const std::uint32_t userLen = le::U32(block, 0), tmpLen = le::U32(block, 4),
                        dataLen = le::U32(block, 8);
    if (static_cast<std::uint64_t>(userLen) + tmpLen + dataLen + 12 > block.size()) return Error();
    const le::Bytes users = block.subspan(12, userLen);
    const le::Bytes list = block.subspan(12 + userLen, tmpLen);
    const le::Bytes data = block.subspan(12 + static_cast<std::size_t>(userLen) + tmpLen, dataLen);

    // Everything is checked against a copy; the terminal changes only when
    // the whole batch applies.
    const auto savedUsers = s.users;
    const auto savedTemplates = s.templates;
    auto fail = [&]() {
        s.users = savedUsers;
        s.templates = savedTemplates;
        return Error();
    };
    const std::size_t recordSize = static_cast<std::size_t>(s.UserRecordSize());
    const std::size_t deleteSize = s.IsTft() ? 4 : 28;
    for (std::size_t pos = 0; pos < users.size();) {
        const std::uint8_t op = users[pos];
        if (op == 2) {
            if (!le::Has(users, pos + 1, recordSize)) return fail();
            if (SetUserRecord(s, users.subspan(pos + 1, recordSize)).reply != kReplyOk)
                return fail();
            pos += 1 + recordSize;
        } else if (op == 0) {
            if (!le::Has(users, pos + 1, deleteSize)) return fail();
            const std::uint32_t pin =
                deleteSize == 4 ? le::U32(users, pos + 1) : le::U16(users, pos + 1);
            if (pin > 0 && pin < 0xFFFF) EraseUser(s, static_cast<std::uint16_t>(pin));
            pos += 1 + deleteSize;
        } else {
            return fail();
        }
    }
    std::vector<TemplateEntry> entries;
    if (!ParseTemplateList(list, s.IsTft(), dataLen, entries)) return fail();
    for (const auto& e : entries) {
        std::uint16_t pin = e.pin;
        if (!e.id.empty()) {
            const User* u = s.FindUserById(e.id);
            if (!u) {
                if (e.op == 0) continue;  // nothing to delete
                return fail();
            }
            pin = u->pin;
        }
        if (e.op == 0) {
            DeleteTemplateOf(s, pin, e.finger, {});  // deleting what is not there is no error
            continue;
        }
        const std::uint16_t len = le::U16(data, e.offset);
        if (len == 0 || dataLen - e.offset - 2 < len) return fail();
        // The finger byte of a flagged write carries the flag in its high nibble.
        Template t{pin,
                   static_cast<std::uint8_t>(e.finger & 15),
                   static_cast<std::uint8_t>(e.finger >> 4),
                   {}};
        t.data.assign(data.begin() + e.offset + 2, data.begin() + e.offset + 2 + len);
        if (e.op == 1 && Find(s, pin, t.finger)) continue;  // plain write keeps what is there
        if (!PutTemplate(s, std::move(t))) return fail();
    }
    return Ok();
}

Response GetTemplate(Model::State& s, const Call& c) {
    if (c.request.size() < 3) return Error();
    const Template* t = Find(s, le::U16(c.request, 0), le::U8(c.request, 2));
    if (!t) return Error();
    return Ok(t->data);
}

void RegisterTemplateCommands(CommandTable& t) {
    t[CMD_SET_TMP] = SetTemplate;
    t[CMD_SET_TMP_EX] = SetTemplateEx;
    t[CMD_SET_TMP_ID] = SetTemplateById;
    t[CMD_APPEND_TMP] = AppendTemplate;
    t[CMD_DEL_TMP] = DeleteTemplate;
    t[CMD_DEL_TMP_ID] = DeleteTemplateById;
    t[CMD_GET_TMP_EX] = GetTemplateEx;
    t[CMD_TEST_TMP] = TestTemplate;
}

}  // namespace termsim
