// The whole state as a line-oriented text file (format in docs/termsim.md).
// One record per line: a tag, then fields separated by single spaces. Texts
// are escaped (%XX for bytes at or below space, above '~', '%' and '-'); an
// empty text is written "-".
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

#include "internal.h"

namespace termsim {
namespace {

constexpr const char* kMagic = "termsim-state 1";

std::string Esc(const std::string& s) {
    if (s.empty()) return "-";
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c <= 0x20 || c >= 0x7F || c == '%' || c == '-') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool Unesc(const std::string& s, std::string& out) {
    out.clear();
    if (s == "-") return true;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        unsigned v = 0;
        auto [p, ec] = std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16);
        if (ec != std::errc() || p != s.data() + i + 3) return false;
        out += static_cast<char>(v);
        i += 2;
    }
    return true;
}

std::string Hex(const std::vector<std::uint8_t>& b) {
    if (b.empty()) return "-";
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (auto c : b) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

// Reads the fields of one line in order; any failure marks the line bad.
class Fields {
  public:
    explicit Fields(const std::string& line) {
        std::size_t i = 0;
        while (i < line.size()) {
            std::size_t j = line.find(' ', i);
            if (j == std::string::npos) j = line.size();
            parts_.push_back(line.substr(i, j - i));
            i = j + 1;
        }
    }
    std::string Tag() const { return parts_.empty() ? std::string() : parts_[0]; }
    template <typename T>
    T Num() {
        T v{};
        if (next_ >= parts_.size()) {
            ok_ = false;
            return v;
        }
        const std::string& p = parts_[next_++];
        auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), v);
        if (ec != std::errc() || end != p.data() + p.size()) ok_ = false;
        return v;
    }
    std::string Text() {
        std::string out;
        if (next_ >= parts_.size() || !Unesc(parts_[next_++], out)) ok_ = false;
        return out;
    }
    std::vector<std::uint8_t> Bytes() {
        std::vector<std::uint8_t> out;
        if (next_ >= parts_.size()) {
            ok_ = false;
            return out;
        }
        const std::string& p = parts_[next_++];
        if (p == "-") return out;
        if (p.size() % 2) ok_ = false;
        for (std::size_t i = 0; ok_ && i + 1 < p.size(); i += 2) {
            unsigned v = 0;
            auto [end, ec] = std::from_chars(p.data() + i, p.data() + i + 2, v, 16);
            if (ec != std::errc() || end != p.data() + i + 2) ok_ = false;
            out.push_back(static_cast<std::uint8_t>(v));
        }
        return out;
    }
    bool Done() const { return ok_ && next_ == parts_.size(); }

  private:
    std::vector<std::string> parts_;
    std::size_t next_ = 1;
    bool ok_ = true;
};

// Moves the data of a freshly parsed state into the live one.
void Assign(Model::State& d, Model::State& s) {
    d.config = std::move(s.config);
    d.normVersion = std::move(s.normVersion);
    d.options = std::move(s.options);
    d.users = std::move(s.users);
    d.punches = std::move(s.punches);
    d.oplog = std::move(s.oplog);
    d.templates = std::move(s.templates);
    d.faces = std::move(s.faces);
    d.capture = s.capture;
    d.installs = std::move(s.installs);
    d.panel = Panel{};
    d.content = std::move(s.content);
    d.pending = std::move(s.pending);
    d.outstanding.clear();
    d.outstandingSeq = 0;
    d.hasOutstanding = false;
    d.eventMask = s.eventMask;
    d.enabled = s.enabled;
    d.disableArg = s.disableArg;
    d.clockOffset = s.clockOffset;
    d.timeZones = std::move(s.timeZones);
    d.groups = std::move(s.groups);
    d.holidays = s.holidays;
    d.combos = s.combos;
    d.door = s.door;
    d.lastUnlockDelay = s.lastUnlockDelay;
    d.departments = std::move(s.departments);
    d.shifts = std::move(s.shifts);
    d.rule = s.rule;
    d.staged.clear();
}

}  // namespace

std::string SerializeState(const Model::State& s, StateParts parts) {
    const bool all = parts == StateParts::All;
    std::ostringstream o;
    o << kMagic << "\n";
    o << "profile " << ProfileName(s.config.profile) << "\n";
    o << "version " << Esc(s.config.version) << "\n";
    if (s.config.clock)
        o << "clock frozen " << *s.config.clock << "\n";
    else
        o << "clock offset " << s.clockOffset << "\n";
    o << "pinwidth " << s.config.pinWidth << "\n";
    o << "enabled " << (s.enabled ? 1 : 0) << " " << s.disableArg << "\n";
    o << "eventmask " << s.eventMask << "\n";
    o << "door " << unsigned(s.door) << " " << s.lastUnlockDelay << "\n";
    for (int c : s.config.faults.refusedCommands) o << "fault refuse " << c << "\n";
    if (s.config.faults.refusePrimaryBulkRead) o << "fault bulk\n";
    if (s.config.faults.refuseQuery) o << "fault query\n";
    for (const auto& [k, v] : s.options) o << "option " << Esc(k) << " " << Esc(v) << "\n";
    for (const auto& [k, v] : DefaultOptions(s.config.profile))
        if (!s.options.count(k)) o << "nooption " << Esc(k) << "\n";
    for (const auto& u : s.users) {
        o << "user " << u.pin << " " << u.pin2 << " " << Esc(u.id) << " " << Esc(u.name) << " "
          << Esc(u.password) << " " << unsigned(u.privilege) << " " << u.card << " "
          << unsigned(u.group);
        for (auto z : u.zones) o << " " << z;
        o << " " << (u.ownZones ? 1 : 0) << " " << (u.ex ? int(*u.ex) : -1) << "\n";
    }
    for (const auto& p : s.punches)
        o << "punch " << p.pin << " " << p.pin2 << " " << Esc(p.id) << " " << p.time << " "
          << unsigned(p.state) << " " << unsigned(p.verify) << " " << p.workCode << "\n";
    for (const auto& r : s.oplog) {
        o << "op " << r.operatorPin << " " << r.operatorNumber << " " << Esc(r.operatorId) << " "
          << unsigned(r.code) << " " << r.time;
        for (auto p : r.params) o << " " << p;
        o << " " << r.targetPin << " " << r.targetNumber << " " << Esc(r.targetId) << "\n";
    }
    for (const auto& t : s.templates)
        o << "template " << t.pin << " " << unsigned(t.finger) << " " << unsigned(t.flag) << " "
          << Hex(t.data) << "\n";
    for (const auto& f : s.faces)
        o << "face " << f.pin << " " << unsigned(f.index) << " " << Hex(f.data) << "\n";
    if (s.capture.state != CaptureState::Idle)
        o << "capture " << unsigned(s.capture.state) << " " << s.capture.pin << " "
          << unsigned(s.capture.finger) << " " << unsigned(s.capture.flag) << "\n";
    for (const auto& in : all ? s.installs : std::vector<Install>{})
        o << "install " << in.code << " " << in.value << " " << Esc(in.name) << " " << Hex(in.data)
          << "\n";
    const Content& ct = s.content;
    for (const auto& [id, m] : ct.messages)
        o << "sms " << id << " " << unsigned(m.kind) << " " << m.period << " " << m.start << " "
          << Hex(m.content) << "\n";
    for (const auto& [pin, id] : ct.links) o << "link " << pin << " " << id << "\n";
    for (const auto& [id, code] : ct.workCodes) o << "workcode " << id << " " << code << "\n";
    for (const auto& [id, name] : ct.workCodeNames)
        o << "workname " << Esc(id) << " " << Esc(name) << "\n";
    for (const auto& [i, e] : ct.states)
        o << "attstate " << i << " " << e.code << " " << (e.enabled ? 1 : 0) << "\n";
    for (const auto& [i, e] : ct.voices)
        o << "voice " << i << " " << Esc(e.file) << " " << (e.enabled ? 1 : 0) << "\n";
    for (const auto& [id, k] : ct.shortKeys) {
        o << "shortkey " << id << " " << unsigned(k.function) << " " << unsigned(k.state) << " "
          << Esc(k.label);
        for (auto t : k.times) o << " " << t;
        o << " " << unsigned(k.autoSwitch) << "\n";
    }
    // Events served but not yet acknowledged are still the host's to fetch.
    if (all) {
        for (const auto& e : s.outstanding) o << "event " << e.kind << " " << Hex(e.data) << "\n";
        for (const auto& e : s.pending) o << "event " << e.kind << " " << Hex(e.data) << "\n";
    }
    for (const auto& [n, z] : s.timeZones) {
        o << "tz " << n;
        for (const auto& d : z)
            for (auto b : d) o << " " << unsigned(b);
        o << "\n";
    }
    for (const auto& [n, g] : s.groups)
        o << "group " << n << " " << g.zones[0] << " " << g.zones[1] << " " << g.zones[2] << " "
          << g.count << " " << (g.flag ? 1 : 0) << " " << unsigned(g.value) << "\n";
    for (std::size_t i = 0; i < s.holidays.size(); ++i) {
        const auto& h = s.holidays[i];
        if (h == Holiday{}) continue;
        o << "holiday " << i + 1 << " " << unsigned(h.startMonth) << " " << unsigned(h.startDay)
          << " " << unsigned(h.endMonth) << " " << unsigned(h.endDay) << " " << h.zone << "\n";
    }
    for (std::size_t i = 0; i < s.combos.size(); ++i) {
        if (s.combos[i] == std::array<std::uint8_t, 5>{}) continue;
        o << "combo " << i;
        for (auto g : s.combos[i]) o << " " << unsigned(g);
        o << "\n";
    }
    for (const auto& d : s.departments)
        o << "dept " << unsigned(d.number) << " " << Esc(d.name) << "\n";
    for (const auto& sh : s.shifts)
        o << "shift " << sh.number << " " << Esc(sh.name) << " " << sh.start << " " << sh.end
          << "\n";
    const AttRule& r = s.rule;
    o << "rule " << Esc(r.title) << " " << r.earlyAbsentOn << " " << r.lateAbsentOn << " "
      << r.stateRuleMinutes << " " << r.repeatMinutes << " " << r.earlyAbsentMinutes << " "
      << r.graceMinutes << " " << r.lateAbsentMinutes << " " << r.unitMinutes << " "
      << unsigned(r.stateRuleA) << " " << unsigned(r.stateRuleB) << " " << r.dateByEnd;
    for (auto u : r.units) o << " " << u;
    o << "\n";
    return o.str();
}

std::string Model::Serialize() const {
    std::lock_guard lock(state_->mu);
    return SerializeState(*state_, StateParts::All);
}

bool ParseState(const std::string& text, Model::State& n, std::string* error) {
    auto fail = [&](int line, const std::string& why) {
        if (error) *error = "line " + std::to_string(line) + ": " + why;
        return false;
    };
    n.content = DefaultContent();
    std::map<std::string, std::string> fileOptions;
    std::set<std::string> removedOptions;
    std::map<int, TimeZone> fileZones;
    std::map<int, Group> fileGroups;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool sawProfile = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1) {
            if (line != kMagic) return fail(1, "not a termsim state file");
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        Fields f(line);
        const std::string tag = f.Tag();
        if (tag == "profile") {
            auto p = ParseProfile(f.Text());
            if (!p) return fail(lineNo, "unknown profile");
            n.config.profile = *p;
            sawProfile = true;
        } else if (tag == "version") {
            n.SetVersion(f.Text());
        } else if (tag == "clock") {
            std::string kind = f.Text();
            if (kind == "frozen")
                n.config.clock = f.Num<std::uint32_t>();
            else if (kind == "offset")
                n.clockOffset = f.Num<std::int64_t>();
            else
                return fail(lineNo, "bad clock");
        } else if (tag == "pinwidth") {
            n.config.pinWidth = f.Num<int>();
        } else if (tag == "enabled") {
            n.enabled = f.Num<int>() != 0;
            n.disableArg = f.Num<std::uint32_t>();
        } else if (tag == "eventmask") {
            n.eventMask = f.Num<std::uint32_t>();
        } else if (tag == "door") {
            n.door = f.Num<std::uint8_t>();
            n.lastUnlockDelay = f.Num<std::uint32_t>();
        } else if (tag == "fault") {
            std::string kind = f.Text();
            if (kind == "refuse")
                n.config.faults.refusedCommands.insert(f.Num<int>());
            else if (kind == "bulk")
                n.config.faults.refusePrimaryBulkRead = true;
            else if (kind == "query")
                n.config.faults.refuseQuery = true;
            else
                return fail(lineNo, "unknown fault");
        } else if (tag == "option") {
            std::string k = f.Text();
            fileOptions[k] = f.Text();
        } else if (tag == "nooption") {
            removedOptions.insert(f.Text());
        } else if (tag == "user") {
            User u;
            u.pin = f.Num<std::uint16_t>();
            u.pin2 = f.Num<std::uint32_t>();
            u.id = f.Text();
            u.name = f.Text();
            u.password = f.Text();
            u.privilege = f.Num<std::uint8_t>();
            u.card = f.Num<std::uint64_t>();
            u.group = f.Num<std::uint8_t>();
            for (auto& z : u.zones) z = f.Num<std::uint16_t>();
            u.ownZones = f.Num<int>() != 0;
            int ex = f.Num<int>();
            if (ex >= 0 && ex <= 255) u.ex = static_cast<std::uint8_t>(ex);
            if (u.pin == 0 || u.pin == 0xFFFF) return fail(lineNo, "bad user number");
            n.users.push_back(u);
        } else if (tag == "punch") {
            Punch p;
            p.pin = f.Num<std::uint16_t>();
            p.pin2 = f.Num<std::uint32_t>();
            p.id = f.Text();
            p.time = f.Num<std::uint32_t>();
            p.state = f.Num<std::uint8_t>();
            p.verify = f.Num<std::uint8_t>();
            p.workCode = f.Num<std::uint32_t>();
            n.punches.push_back(p);
        } else if (tag == "op") {
            OpRecord r;
            r.operatorPin = f.Num<std::uint16_t>();
            r.operatorNumber = f.Num<std::uint32_t>();
            r.operatorId = f.Text();
            r.code = f.Num<std::uint8_t>();
            r.time = f.Num<std::uint32_t>();
            for (auto& p : r.params) p = f.Num<std::uint32_t>();
            r.targetPin = f.Num<std::uint16_t>();
            r.targetNumber = f.Num<std::uint32_t>();
            r.targetId = f.Text();
            n.oplog.push_back(r);
        } else if (tag == "template") {
            Template t;
            t.pin = f.Num<std::uint16_t>();
            t.finger = f.Num<std::uint8_t>();
            t.flag = f.Num<std::uint8_t>();
            t.data = f.Bytes();
            if (t.data.empty()) return fail(lineNo, "empty template");
            n.templates.push_back(t);
        } else if (tag == "face") {
            Face face;
            face.pin = f.Num<std::uint16_t>();
            face.index = f.Num<std::uint8_t>();
            face.data = f.Bytes();
            if (face.data.empty() || face.data.size() > kMaxFace)
                return fail(lineNo, "face of 0 or more than 131072 bytes");
            n.faces.push_back(face);
        } else if (tag == "capture") {
            const auto state = f.Num<std::uint8_t>();
            if (state > static_cast<std::uint8_t>(CaptureState::Identifying))
                return fail(lineNo, "unknown capture state");
            n.capture.state = static_cast<CaptureState>(state);
            n.capture.pin = f.Num<std::uint16_t>();
            n.capture.finger = f.Num<std::uint8_t>();
            n.capture.flag = f.Num<std::uint8_t>();
        } else if (tag == "install") {
            Install in;
            in.code = f.Num<std::uint32_t>();
            in.value = f.Num<std::uint32_t>();
            in.name = f.Text();
            in.data = f.Bytes();
            n.installs.push_back(in);
        } else if (tag == "sms") {
            const int id = f.Num<std::uint16_t>();
            Message m;
            m.kind = f.Num<std::uint8_t>();
            m.period = f.Num<std::uint16_t>();
            m.start = f.Num<std::uint32_t>();
            m.content = f.Bytes();
            if (m.content.size() > 320) return fail(lineNo, "message too long");
            n.content.messages[id] = m;
        } else if (tag == "link") {
            const auto pin = f.Num<std::uint16_t>();
            n.content.links.insert({pin, f.Num<std::uint16_t>()});
        } else if (tag == "workcode") {
            const int id = f.Num<std::uint16_t>();
            n.content.workCodes[id] = f.Num<std::uint32_t>();
        } else if (tag == "workname") {
            std::string id = f.Text();
            n.content.workCodeNames[id] = f.Text();
        } else if (tag == "attstate" || tag == "voice") {
            const int i = f.Num<int>();
            CustomEntry e;
            if (tag == "attstate")
                e.code = f.Num<std::uint16_t>();
            else
                e.file = f.Text();
            e.enabled = f.Num<int>() != 0;
            if (i < 0 || i > (tag == "attstate" ? 7 : 20)) return fail(lineNo, "bad index");
            (tag == "attstate" ? n.content.states : n.content.voices)[i] = e;
        } else if (tag == "shortkey") {
            const int id = f.Num<std::uint8_t>();
            ShortKey k;
            k.function = f.Num<std::uint8_t>();
            k.state = f.Num<std::uint8_t>();
            k.label = f.Text();
            for (auto& t : k.times) t = f.Num<std::uint16_t>();
            k.autoSwitch = f.Num<std::uint8_t>();
            n.content.shortKeys[id] = k;
        } else if (tag == "event") {
            RtEvent e;
            e.kind = f.Num<std::uint16_t>();
            e.data = f.Bytes();
            n.pending.push_back(e);
        } else if (tag == "tz") {
            int num = f.Num<int>();
            TimeZone z{};
            for (auto& d : z)
                for (auto& b : d) b = f.Num<std::uint8_t>();
            fileZones[num] = z;
        } else if (tag == "group") {
            int num = f.Num<int>();
            Group g;
            for (auto& z : g.zones) z = f.Num<std::uint16_t>();
            g.count = f.Num<std::int32_t>();
            g.flag = f.Num<int>() != 0;
            g.value = f.Num<std::uint8_t>();
            fileGroups[num] = g;
        } else if (tag == "holiday") {
            auto i = f.Num<std::size_t>();
            Holiday h;
            h.startMonth = f.Num<std::uint8_t>();
            h.startDay = f.Num<std::uint8_t>();
            h.endMonth = f.Num<std::uint8_t>();
            h.endDay = f.Num<std::uint8_t>();
            h.zone = f.Num<std::uint16_t>();
            if (i < 1 || i > n.holidays.size()) return fail(lineNo, "bad holiday number");
            n.holidays[i - 1] = h;
        } else if (tag == "combo") {
            auto i = f.Num<std::size_t>();
            if (i >= n.combos.size()) return fail(lineNo, "bad combination number");
            for (auto& g : n.combos[i]) g = f.Num<std::uint8_t>();
        } else if (tag == "dept") {
            Department d;
            d.number = f.Num<std::uint8_t>();
            d.name = f.Text();
            n.departments.push_back(d);
        } else if (tag == "shift") {
            Shift sh;
            sh.number = f.Num<std::uint16_t>();
            sh.name = f.Text();
            sh.start = f.Num<std::uint16_t>();
            sh.end = f.Num<std::uint16_t>();
            n.shifts.push_back(sh);
        } else if (tag == "rule") {
            AttRule& r = n.rule;
            r.title = f.Text();
            r.earlyAbsentOn = f.Num<std::uint32_t>();
            r.lateAbsentOn = f.Num<std::uint32_t>();
            r.stateRuleMinutes = f.Num<std::uint32_t>();
            r.repeatMinutes = f.Num<std::uint32_t>();
            r.earlyAbsentMinutes = f.Num<std::uint32_t>();
            r.graceMinutes = f.Num<std::uint32_t>();
            r.lateAbsentMinutes = f.Num<std::uint32_t>();
            r.unitMinutes = f.Num<std::uint32_t>();
            r.stateRuleA = f.Num<std::uint8_t>();
            r.stateRuleB = f.Num<std::uint8_t>();
            r.dateByEnd = f.Num<std::uint32_t>();
            for (auto& u : r.units) u = f.Num<std::uint32_t>();
        } else {
            return fail(lineNo, "unknown record '" + tag + "'");
        }
        if (!f.Done()) return fail(lineNo, "malformed '" + tag + "' record");
    }
    if (lineNo == 0) return fail(1, "empty file");
    if (!sawProfile) return fail(lineNo, "no profile");
    if (n.config.version.empty()) n.SetVersion(DefaultVersion(n.config.profile));
    for (const auto& t : n.templates) {
        bool owner = false;
        for (const auto& u : n.users) owner = owner || u.pin == t.pin;
        if (!owner)
            return fail(lineNo, "template of PIN " + std::to_string(t.pin) + " without its user");
    }
    for (const auto& face : n.faces) {
        bool owner = false;
        for (const auto& u : n.users) owner = owner || u.pin == face.pin;
        if (!owner)
            return fail(lineNo, "face of PIN " + std::to_string(face.pin) + " without its user");
    }
    // What the file does not list is what a fresh terminal of the profile has.
    n.options = DefaultOptions(n.config.profile);
    for (const auto& k : removedOptions) n.options.erase(k);
    for (const auto& [k, v] : fileOptions) n.options[k] = v;
    n.timeZones = DefaultTimeZones();
    for (const auto& [k, v] : fileZones) n.timeZones[k] = v;
    n.groups = DefaultGroups();
    for (const auto& [k, v] : fileGroups) n.groups[k] = v;
    auto key = n.options.find("COMKey");
    n.config.commKey =
        key == n.options.end() ? 0 : static_cast<std::uint32_t>(ParseDecimal(key->second));
    return true;
}

bool Model::Deserialize(const std::string& text, std::string* error) {
    State n;
    if (!ParseState(text, n, error)) return false;
    std::lock_guard lock(state_->mu);
    Assign(*state_, n);
    return true;
}

bool Model::Save(const std::string& path, std::string* error) const {
    const std::string text = Serialize();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out << text;
    if (out) out.flush();
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool Model::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Deserialize(text.str(), error);
}

}  // namespace termsim
