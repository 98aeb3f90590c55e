// Seeded, deterministic generation of a realistic terminal: users with names,
// cards, passwords and PIN2s; departments and shifts that match them; punches
// around each user's shift on weekdays; operation records; pending real-time
// punches. The same seed gives the same terminal on every platform (own
// random generator, no standard distributions).
#include <algorithm>
#include <set>

#include "internal.h"

namespace termsim {
namespace {

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t Next() {  // splitmix64
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint32_t Below(std::uint64_t n) {
        return n == 0 ? 0 : static_cast<std::uint32_t>(Next() % n);
    }
    bool Chance(int percent) { return Below(100) < static_cast<std::uint32_t>(percent); }

  private:
    std::uint64_t s_;
};

// Days since 1970-01-01 of a real calendar date, and back.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const char* kFirst[] = {"Ann",  "Bob",  "Carl", "Dana", "Eve",  "Finn", "Gina", "Hugo",
                        "Ida",  "Jon",  "Kim",  "Liam", "Mia",  "Ned",  "Olga", "Paul",
                        "Rita", "Sam",  "Tess", "Uwe",  "Vera", "Walt", "Xena", "Yuri",
                        "Zoe",  "Omar", "Lena", "Igor", "Nina", "Theo"};
const char* kLast[] = {"Lee",   "Berg",  "Costa", "Dietz", "Evans",  "Fox",   "Grant", "Hale",
                       "Ivers", "Jung",  "Klein", "Lund",  "Moreau", "Nagy",  "Ortiz", "Price",
                       "Quinn", "Rossi", "Stone", "Tan",   "Ueda",   "Varga", "Weber", "Young"};
const char* kDepartments[] = {"Sales",   "Works",    "Office",    "Stores",   "Service",
                              "Finance", "Design",   "Transport", "Security", "Canteen",
                              "Lab",     "Workshop", "Packing",   "Quality",  "Purchase"};
struct ShiftTemplate {
    const char* name;
    int startH, startM, endH, endM;
};
const ShiftTemplate kShifts[] = {{"Day", 8, 0, 17, 0},    {"Early", 6, 0, 14, 0},
                                 {"Late", 14, 0, 22, 0},  {"Office", 9, 0, 18, 0},
                                 {"Short", 10, 0, 15, 0}, {"Morning", 7, 30, 12, 30}};

std::string Cut(std::string s, std::size_t n) {
    if (s.size() > n) s.resize(n);
    return s;
}

}  // namespace

void Model::Generate(const GenerateParams& plan) {
    State& s = *state_;
    std::lock_guard lock(s.mu);
    Rng rng(plan.seed);
    const bool tft = s.IsTft();
    const bool legacy = s.IsLegacy();
    const bool compact = s.LogRecordSize() == 0;

    s.users.clear();
    s.templates.clear();
    s.faces.clear();
    s.punches.clear();
    s.oplog.clear();
    s.pending.clear();
    s.outstanding.clear();
    s.hasOutstanding = false;
    s.timeZones.clear();
    s.groups.clear();
    s.holidays = {};
    s.combos = {};
    s.departments.clear();
    s.shifts.clear();
    s.rule = AttRule{};
    s.rule.title = "Attendance Report";

    // Departments (the group numbers of the users) and shifts.
    const int nDept = std::clamp(plan.departments, 1, 15);
    for (int i = 0; i < nDept; ++i)
        s.departments.push_back(Department{static_cast<std::uint8_t>(i + 1), kDepartments[i]});
    const int nShift = std::clamp(plan.shifts, 1, 50);
    for (int i = 0; i < nShift; ++i) {
        const auto& t = kShifts[i % std::size(kShifts)];
        std::string name = t.name;
        if (i >= static_cast<int>(std::size(kShifts))) name = Cut(name, 6) + std::to_string(i + 1);
        s.shifts.push_back(Shift{static_cast<std::uint16_t>(i + 1), name,
                                 static_cast<std::uint16_t>(t.startH << 8 | t.startM),
                                 static_cast<std::uint16_t>(t.endH << 8 | t.endM)});
    }

    // Access control: zone 1 is the whole day; zone k + 1 opens an hour around
    // shift k on weekdays (entry 0 is Sunday). Each department's group uses zone 1.
    TimeZone allDay;
    for (auto& d : allDay) d = {0, 0, 23, 59};
    s.timeZones[1] = allDay;
    for (int i = 0; i < std::min(nShift, 49); ++i) {
        const auto& sh = s.shifts[static_cast<std::size_t>(i)];
        TimeZone z{};
        for (int d = 1; d <= 5; ++d)
            z[static_cast<std::size_t>(d)] = {
                static_cast<std::uint8_t>(std::max(0, (sh.start >> 8) - 1)),
                static_cast<std::uint8_t>(sh.start & 0xFF),
                static_cast<std::uint8_t>(std::min(23, (sh.end >> 8) + 1)),
                static_cast<std::uint8_t>(sh.end & 0xFF)};
        s.timeZones[i + 2] = z;
    }
    for (int g = 1; g <= nDept; ++g) s.groups[g] = Group{{1, 0, 0}, 1, false, 0};
    s.holidays[0] = Holiday{1, 1, 1, 1, 1};
    s.holidays[1] = Holiday{12, 25, 12, 26, 1};
    s.combos[1] = {1, 0, 0, 0, 0};
    // Work codes 1-9 (the punches use them on non-compact logs), in both forms.
    s.content = DefaultContent();
    static const char* kWork[] = {"Office", "Site visit", "Training",   "Meeting",    "Travel",
                                  "Repair", "Delivery",   "Night duty", "Stocktaking"};
    for (int i = 1; i <= 9; ++i) {
        s.content.workCodes[i] = static_cast<std::uint32_t>(i);
        s.content.workCodeNames[std::to_string(i)] = kWork[i - 1];
    }

    // Users.
    const int nUsers = std::clamp(plan.users, 0, 65534);
    std::set<std::uint32_t> pin2s;
    std::set<std::uint64_t> cards;
    for (int i = 1; i <= nUsers; ++i) {
        User u;
        u.pin = static_cast<std::uint16_t>(i);
        if (!legacy) {
            std::uint32_t p2;
            do p2 = 1000 + rng.Below(99999000);
            while (!pin2s.insert(p2).second);
            u.pin2 = p2;
        }
        u.id = std::to_string(u.pin2 ? u.pin2 : u.pin);
        std::string name = std::string(kFirst[rng.Below(std::size(kFirst))]) + " " +
                           kLast[rng.Below(std::size(kLast))];
        u.name = Cut(name, tft ? 23 : 8);
        if (rng.Chance(25)) u.password = std::to_string(1000 + rng.Below(9000));
        u.privilege = i == 1 ? 14 : (i % 10 == 0 ? 6 : 0);
        if (i > 1 && i % 13 == 0) u.privilege |= 1;
        if (!legacy && rng.Chance(60)) {
            std::uint64_t card;
            do {
                card = 100000 + rng.Below(4294867295ULL);
                if (!tft && rng.Chance(10))
                    card |= static_cast<std::uint64_t>(1 + rng.Below(255)) << 32;
            } while (!cards.insert(card).second);
            u.card = card;
        }
        u.group = static_cast<std::uint8_t>(1 + (i - 1) % nDept);
        if (tft) {
            u.zones[0] =
                static_cast<std::uint16_t>(1 + rng.Below(static_cast<std::uint64_t>(nShift)));
            u.ownZones = true;
        } else if (!legacy && rng.Chance(10)) {
            u.zones = {1, 0, 0, 0};
            u.ownZones = true;
        }
        s.users.push_back(u);
    }

    // Working days of the real calendar, as DeviceTime midnights.
    const long first = DaysFromCivil(plan.startYear, plan.startMonth, plan.startDay);
    std::vector<std::uint32_t> days;
    for (int d = 0; d < std::max(plan.days, 1); ++d) {
        const long z = first + d;
        const long weekday = ((z % 7) + 11) % 7;  // 0 = Sunday (1970-01-01 was a Thursday)
        if (weekday == 0 || weekday == 6) continue;
        int y, m, dd;
        CivilFromDays(z, y, m, dd);
        days.push_back(EncodeTime(y, m, dd, 0, 0, 0));
    }
    if (days.empty()) {
        int y, m, dd;
        CivilFromDays(first, y, m, dd);
        days.push_back(EncodeTime(y, m, dd, 0, 0, 0));
    }

    auto shiftOf = [&](const User& u) -> const Shift& {
        std::size_t k = tft && u.zones[0] >= 1 && u.zones[0] <= s.shifts.size()
                            ? u.zones[0] - 1u
                            : static_cast<std::size_t>(u.pin - 1) % s.shifts.size();
        return s.shifts[k];
    };
    auto minutes = [](std::uint16_t packed) { return (packed >> 8) * 60 + (packed & 0xFF); };
    auto punchFor = [&](const User& u, std::uint32_t midnight, int minuteOfDay,
                        std::uint8_t state) {
        Punch p;
        p.pin = u.pin;
        p.pin2 = u.pin2;
        p.id = u.id;
        minuteOfDay = std::clamp(minuteOfDay, 0, 24 * 60 - 1);
        p.time = midnight + static_cast<std::uint32_t>(minuteOfDay * 60) + rng.Below(60);
        p.state = state;
        if (u.card && rng.Chance(40))
            p.verify = 2;
        else if (!u.password.empty() && rng.Chance(15))
            p.verify = 0;
        else
            p.verify = rng.Chance(3) ? 3 : 1;
        if (!compact && rng.Chance(10)) p.workCode = 1 + rng.Below(9);
        return p;
    };

    // Punches: in/out pairs over shuffled (user, day) slots; once every slot
    // has its pair, further rounds add breaks and overtime.
    const int nPunches = nUsers > 0 ? std::max(plan.punches, 0) : 0;
    std::vector<std::pair<std::size_t, std::size_t>> slots;
    for (std::size_t u = 0; u < s.users.size(); ++u)
        for (std::size_t d = 0; d < days.size(); ++d) slots.emplace_back(u, d);
    for (std::size_t i = slots.size(); i > 1; --i) std::swap(slots[i - 1], slots[rng.Below(i)]);
    std::vector<Punch> punches;
    for (std::size_t k = 0; static_cast<int>(punches.size()) < nPunches; ++k) {
        const auto [ui, di] = slots[k % slots.size()];
        const User& u = s.users[ui];
        const Shift& sh = shiftOf(u);
        const std::size_t round = k / slots.size();
        int a, b;
        std::uint8_t sa, sb;
        if (round == 0) {
            a = minutes(sh.start) - 20 + static_cast<int>(rng.Below(30));
            b = minutes(sh.end) - 5 + static_cast<int>(rng.Below(45));
            sa = 0, sb = 1;
        } else if (round % 2 == 1) {
            a = (minutes(sh.start) + minutes(sh.end)) / 2 - 15 + static_cast<int>(rng.Below(20));
            b = a + 30 + static_cast<int>(rng.Below(20));
            sa = 2, sb = 3;
        } else {
            a = minutes(sh.end) + 30 + static_cast<int>(rng.Below(20));
            b = a + 60 + static_cast<int>(rng.Below(60));
            sa = 4, sb = 5;
        }
        punches.push_back(punchFor(u, days[di], a, sa));
        if (static_cast<int>(punches.size()) < nPunches)
            punches.push_back(punchFor(u, days[di], b, sb));
    }
    std::stable_sort(punches.begin(), punches.end(),
                     [](const Punch& x, const Punch& y) { return x.time < y.time; });
    s.punches = std::move(punches);

    // Operation records by the first administrator.
    const User* admin = nullptr;
    for (const auto& u : s.users)
        if ((u.privilege & 0xFE) != 0) {
            admin = &u;
            break;
        }
    static const std::uint8_t kCodes[] = {0, 3, 4, 5, 6, 7, 8, 9, 30};
    for (int i = 0; i < std::max(plan.opRecords, 0); ++i) {
        OpRecord o;
        o.code = kCodes[rng.Below(std::size(kCodes))];
        if (o.code != 0 && admin) {
            o.operatorPin = admin->pin;
            o.operatorNumber = admin->pin2 ? admin->pin2 : admin->pin;
            o.operatorId = admin->id;
        }
        o.time = days[rng.Below(days.size())] + 7 * 3600 + rng.Below(12 * 3600);
        o.params = {rng.Below(100), rng.Below(10), rng.Below(10), 0};
        if (((o.code >= 6 && o.code <= 12) || o.code == 30) && !s.users.empty()) {
            const User& t = s.users[rng.Below(s.users.size())];
            o.targetPin = t.pin;
            o.targetNumber = t.pin2 ? t.pin2 : t.pin;
            o.targetId = t.id;
            o.params[0] = t.pin;
        }
        s.oplog.push_back(o);
    }
    std::stable_sort(s.oplog.begin(), s.oplog.end(),
                     [](const OpRecord& x, const OpRecord& y) { return x.time < y.time; });

    // Real-time punches happening now: logged and waiting for a poll.
    const std::uint32_t now = s.Now();
    for (int i = 0; i < std::max(plan.events, 0) && !s.users.empty(); ++i) {
        const User& u = s.users[rng.Below(s.users.size())];
        Punch p = punchFor(u, now - now % 86400, 0, static_cast<std::uint8_t>(rng.Below(2)));
        p.time = now + static_cast<std::uint32_t>(i) * 7;
        s.punches.push_back(p);
        s.QueuePunchEvent(p);
    }
}

}  // namespace termsim
