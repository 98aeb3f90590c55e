// Access control: tz, group, holiday, lock-comb, door and the access summary.
#include <cstring>
#include <sstream>

#include "cli/access_text.h"
#include "cli/app.h"
#include "cli/errors.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

constexpr int kMaxZone = 50;
constexpr int kMaxGroup = 99;
constexpr int kMaxComb = 10;

// ---- time zones -------------------------------------------------------------

Table ZoneTable(int zone, const std::vector<TimeWindow>& windows) {
    Table t;
    t.columns = {"zone", "entry", "day", "window"};
    for (std::size_t e = 0; e < windows.size(); ++e)
        t.Add({Num(zone), Num(static_cast<long long>(e)), Text(DayName(static_cast<int>(e))),
               Text(FormatWindow(windows[e]))});
    return t;
}

int Tz(Context& ctx) {
    const std::string usage = "tz get ZONE | tz set ZONE WINDOWS";
    const std::string& action = Arg(ctx, 0, usage);
    const int zone = Number(Arg(ctx, 1, usage), 1, kMaxZone, "time zone");
    TL_HANDLE h = nullptr;
    if (action == "get") {
        NoMoreArgs(ctx, 2, usage);
        h = ctx.session().handle();
        char text[64] = {};
        Check(TL_GetTZInfo(h, zone, text), "reading time zone " + std::to_string(zone));
        auto windows = ParseTimeZoneDigits(text);
        if (!windows)
            throw ToolError(kExitFailed, "time zone " + std::to_string(zone) +
                                             ": the terminal sent an unreadable text");
        WriteTable(ctx.out, ZoneTable(zone, *windows), ctx.format());
        return kExitOk;
    }
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        std::string error;
        auto digits = TimeZoneDigits(Arg(ctx, 2, usage), &error);
        if (!digits) throw UsageError("tz set: " + error);
        h = ctx.session().handle();
        Check(TL_SetTZInfo(h, zone, digits->c_str()), "writing time zone " + std::to_string(zone));
        if (!ctx.quiet()) ctx.out << "Time zone " << zone << " written.\n";
        return kExitOk;
    }
    throw UsageError("tz: unknown action '" + action + "'; usage: " + usage);
}

// ---- groups -------------------------------------------------------------------

std::string ZoneList(const int* zones, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (zones[i] == 0) continue;
        if (!s.empty()) s += ",";
        s += std::to_string(zones[i]);
    }
    return s.empty() ? "-" : s;
}

int Group(Context& ctx) {
    const std::string usage = "group get GROUP | group set GROUP ZONE[,ZONE[,ZONE]]";
    const std::string& action = Arg(ctx, 0, usage);
    const bool record = ctx.args.Has("--record");
    const int group =
        Number(Arg(ctx, 1, usage), record && action == "get" ? 0 : 1, kMaxGroup, "group");
    if (action == "get") {
        NoMoreArgs(ctx, 2, usage);
        TL_HANDLE h = ctx.session().handle();
        Fields f;
        f.Add("group", Num(group));
        if (record) {
            int z1 = 0, z2 = 0, z3 = 0, flag = 0, value = 0;
            const int r = TL_GetGroupTZ(h, group, &z1, &z2, &z3, &flag, &value);
            if (r == -100)
                throw ToolError(kExitNotFound,
                                "group " + std::to_string(group) + " is not set on the terminal");
            Check(r, "reading group " + std::to_string(group));
            const int zones[3] = {z1, z2, z3};
            f.Add("zones", Text(ZoneList(zones, 3)));
            f.Add("flag", Num(flag));
            f.Add("value", Num(value));
        } else {
            int zones[4] = {0, 0, 0, 0};
            Check(TL_GetGroupTZs(h, group, zones), "reading group " + std::to_string(group));
            f.Add("zones", Text(ZoneList(zones, 3)));
        }
        WriteFields(ctx.out, f, ctx.format());
        return kExitOk;
    }
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        int zones[4] = {0, 0, 0, 0};
        std::string list = Arg(ctx, 2, usage);
        int n = 0;
        std::size_t start = 0;
        while (list != "-" && list != "none") {
            const auto comma = list.find(',', start);
            if (n == 3) throw UsageError("group set: at most three time zones");
            zones[n++] = Number(list.substr(start, comma - start), 1, kMaxZone, "time zone");
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        zones[3] = n;  // the count, on terminals that take it from here
        const int flag = static_cast<int>(ctx.args.Int("--flag", 0, 0, 1));
        const int value = static_cast<int>(ctx.args.Int("--value", 0, 0, 127));
        TL_HANDLE h = ctx.session().handle();
        const std::string what = "writing group " + std::to_string(group);
        if (record)
            Check(TL_SetGroupTZ(h, group, zones[0], zones[1], zones[2], flag, value), what);
        else
            Check(TL_SetGroupTZs(h, group, zones), what);
        if (!ctx.quiet()) ctx.out << "Group " << group << " written.\n";
        return kExitOk;
    }
    throw UsageError("group: unknown action '" + action + "'; usage: " + usage);
}

// ---- holidays ---------------------------------------------------------------

Table HolidayTable(const std::vector<std::pair<int, HolidayRange>>& entries) {
    Table t;
    t.columns = {"entry", "holiday"};
    for (const auto& [n, h] : entries) t.Add({Num(n), Text(FormatHoliday(h))});
    return t;
}

std::vector<std::pair<int, HolidayRange>> ReadHolidays(TL_HANDLE h) {
    char text[256] = {};
    int length = 0;
    Check(TL_GetHoliday(h, text, &length), "reading the holidays");
    return ParseHolidayDigits(text);
}

int Holiday(Context& ctx) {
    const std::string usage =
        "holiday get | holiday set [MM-DD[..MM-DD]...] | holiday get N --record | "
        "holiday set N MM-DD[..MM-DD] --zone Z --record";
    const std::string& action = Arg(ctx, 0, usage);
    const bool record = ctx.args.Has("--record");
    if (action == "get" && !record) {
        NoMoreArgs(ctx, 1, usage);
        WriteTable(ctx.out, HolidayTable(ReadHolidays(ctx.session().handle())), ctx.format());
        return kExitOk;
    }
    if (action == "get") {
        NoMoreArgs(ctx, 2, usage);
        const int n = Number(Arg(ctx, 1, usage), 1, 24, "holiday");
        int sm = 0, sd = 0, em = 0, ed = 0, zone = 0;
        const int r = TL_GetHolidayTZ(ctx.session().handle(), n, &sm, &sd, &em, &ed, &zone);
        if (r == -100)
            throw ToolError(kExitNotFound,
                            "holiday " + std::to_string(n) + " is not set on the terminal");
        Check(r, "reading holiday " + std::to_string(n));
        Fields f;
        f.Add("holiday", Num(n));
        f.Add("dates", Text(FormatHoliday({sm, sd, em, ed})));
        f.Add("zone", Num(zone));
        WriteFields(ctx.out, f, ctx.format());
        return kExitOk;
    }
    if (action == "set" && record) {
        NoMoreArgs(ctx, 3, usage);
        const int n = Number(Arg(ctx, 1, usage), 1, 24, "holiday");
        std::string error;
        auto range = ParseHoliday(Arg(ctx, 2, usage), &error);
        if (!range) throw UsageError("holiday set: " + error);
        const int zone = static_cast<int>(ctx.args.Int("--zone", 0, 0, 65535));
        Check(TL_SetHolidayTZ(ctx.session().handle(), n, range->startMonth, range->startDay,
                              range->endMonth, range->endDay, zone),
              "writing holiday " + std::to_string(n));
        if (!ctx.quiet()) ctx.out << "Holiday " << n << " written.\n";
        return kExitOk;
    }
    if (action == "set") {
        std::vector<HolidayRange> ranges;
        for (std::size_t i = 1; i < ctx.args.positional.size(); ++i) {
            std::string error;
            auto range = ParseHoliday(ctx.args.positional[i], &error);
            if (!range) throw UsageError("holiday set: " + error);
            ranges.push_back(*range);
        }
        if (ranges.size() > 24) throw UsageError("holiday set: the terminal keeps 24 holidays");
        if (ranges.empty() && !ctx.args.Has("--clear"))
            throw UsageError("holiday set: give the holidays, or --clear to remove them all");
        const std::string digits = HolidayDigits(ranges);
        Check(TL_SetHoliday(ctx.session().handle(), digits.c_str()), "writing the holidays");
        if (!ctx.quiet()) ctx.out << ranges.size() << " holiday(s) written.\n";
        return kExitOk;
    }
    throw UsageError("holiday: unknown action '" + action + "'; usage: " + usage);
}

// ---- unlock combinations ----------------------------------------------------

std::vector<Cell> CombRow(int n, const int* g) {
    std::vector<Cell> row = {Num(n)};
    for (int i = 0; i < 5; ++i) row.push_back(Num(g[i]));
    return row;
}

int LockComb(Context& ctx) {
    const std::string usage = "lock-comb get [N] | lock-comb set N GROUP [GROUP...]";
    const std::string& action = Arg(ctx, 0, usage);
    Table t;
    t.columns = {"combination", "group1", "group2", "group3", "group4", "group5"};
    if (action == "get") {
        NoMoreArgs(ctx, 2, usage);
        const bool one = ctx.args.positional.size() == 2;
        const int first = one ? Number(ctx.args.positional[1], 0, kMaxComb, "combination") : 0;
        const int last = one ? first : kMaxComb;
        TL_HANDLE h = ctx.session().handle();
        for (int n = first; n <= last; ++n) {
            int g[5] = {};
            const int r = TL_GetlockComb(h, n, &g[0], &g[1], &g[2], &g[3], &g[4]);
            if (r == -100 && !one) continue;  // not set on the terminal
            if (r == -100)
                throw ToolError(kExitNotFound,
                                "combination " + std::to_string(n) + " is not set on the terminal");
            Check(r, "reading unlock combination " + std::to_string(n));
            t.Add(CombRow(n, g));
        }
        WriteTable(ctx.out, t, ctx.format());
        return kExitOk;
    }
    if (action == "set") {
        const int n = Number(Arg(ctx, 1, usage), 0, kMaxComb, "combination");
        const auto& pos = ctx.args.positional;
        if (pos.size() < 3 || pos.size() > 7)
            throw UsageError("lock-comb set: give one to five group numbers");
        int g[5] = {};
        for (std::size_t i = 2; i < pos.size(); ++i)
            g[i - 2] = Number(pos[i], 0, kMaxGroup, "group");
        Check(TL_SetlockComb(ctx.session().handle(), n, g[0], g[1], g[2], g[3], g[4]),
              "writing unlock combination " + std::to_string(n));
        if (!ctx.quiet()) ctx.out << "Unlock combination " << n << " written.\n";
        return kExitOk;
    }
    throw UsageError("lock-comb: unknown action '" + action + "'; usage: " + usage);
}

// ---- door -------------------------------------------------------------------

int Door(Context& ctx) {
    NoMoreArgs(ctx, 0, "door");
    int state = 0;
    Check(TL_GetDoorState(ctx.session().handle(), &state), "reading the door state");
    Fields f;
    f.Add("door state", Num(state));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

// ---- summary ----------------------------------------------------------------

bool AllClosed(const std::vector<TimeWindow>& windows) {
    for (const auto& w : windows)
        if (w.startHour || w.startMinute || w.endHour || w.endMinute) return false;
    return true;
}

int Access(Context& ctx) {
    NoMoreArgs(ctx, 0, "access");
    const int zoneCount = static_cast<int>(ctx.args.Int("--zones", kMaxZone, 1, kMaxZone));
    const int groupCount = static_cast<int>(ctx.args.Int("--groups", 10, 1, kMaxGroup));
    TL_HANDLE h = ctx.session().handle();
    Progress progress = ctx.MakeProgress("reading access tables");

    Table zones;
    zones.columns = {"zone", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    int answered = 0;
    for (int z = 1; z <= zoneCount; ++z) {
        progress.Update(z);
        char text[64] = {};
        if (TL_GetTZInfo(h, z, text) != 1) continue;
        ++answered;
        auto windows = ParseTimeZoneDigits(text);
        if (!windows || AllClosed(*windows)) continue;
        std::vector<Cell> row = {Num(z)};
        for (const auto& w : *windows) row.push_back(Text(FormatWindow(w)));
        zones.Add(std::move(row));
    }
    if (answered == 0) FailResult(-2, "reading time zones");  // nothing answered: say why and stop

    Table groups;
    groups.columns = {"group", "zones"};
    for (int g = 1; g <= groupCount; ++g) {
        int z[4] = {0, 0, 0, 0};
        if (TL_GetGroupTZs(h, g, z) != 1) continue;
        if (z[0] == 0 && z[1] == 0 && z[2] == 0) continue;
        groups.Add({Num(g), Text(ZoneList(z, 3))});
    }

    std::vector<std::pair<int, HolidayRange>> holidays;
    bool holidaysRead = true;
    try {
        holidays = ReadHolidays(h);
    } catch (const ToolError&) {
        holidaysRead = false;
    }
    Table combs;
    combs.columns = {"combination", "group1", "group2", "group3", "group4", "group5"};
    for (int n = 0; n <= kMaxComb; ++n) {
        int gr[5] = {};
        if (TL_GetlockComb(h, n, &gr[0], &gr[1], &gr[2], &gr[3], &gr[4]) != 1) continue;
        if (!gr[0] && !gr[1] && !gr[2] && !gr[3] && !gr[4]) continue;
        combs.Add(CombRow(n, gr));
    }

    if (ctx.format() == Format::Json) {
        auto json = [](const Table& t) {
            std::ostringstream s;
            WriteTable(s, t, Format::Json);
            std::string text = s.str();
            while (!text.empty() && text.back() == '\n') text.pop_back();
            return text;
        };
        ctx.out << "{\n\"time_zones\": " << json(zones) << ",\n\"groups\": " << json(groups)
                << ",\n\"holidays\": " << (holidaysRead ? json(HolidayTable(holidays)) : "null")
                << ",\n\"unlock_combinations\": " << json(combs) << "\n}\n";
        return kExitOk;
    }
    auto section = [&](const std::string& title, const Table& t, const std::string& none) {
        if (ctx.format() == Format::Csv) {
            ctx.out << "# " << title << "\r\n";
            WriteTable(ctx.out, t, Format::Csv);
            return;
        }
        ctx.out << title << "\n";
        if (t.rows.empty())
            ctx.out << "  " << none << "\n";
        else
            WriteTable(ctx.out, t, Format::Table);
        ctx.out << "\n";
    };
    section("Time zones (1-" + std::to_string(zoneCount) + ", closed ones left out)", zones,
            "none set");
    section("Groups (1-" + std::to_string(groupCount) + ")", groups, "none with time zones");
    if (holidaysRead)
        section("Holidays", HolidayTable(holidays), "none");
    else
        section("Holidays", HolidayTable({}), "not answered by the terminal");
    section("Unlock combinations", combs, "none set");
    return kExitOk;
}

}  // namespace

void AddAccessCommands(std::vector<Command>& commands) {
    commands.push_back({"access",
                        "[--zones N] [--groups N]",
                        "summary of time zones, groups, holidays and unlock combinations",
                        "Reads time zones 1-N (default 50), groups 1-N (default 10), the holiday\n"
                        "table and unlock combinations 0-10, and shows those in use.",
                        {{"--zones", Arity::Value, "N", "read time zones 1..N (default 50)"},
                         {"--groups", Arity::Value, "N", "read groups 1..N (default 10)"}},
                        true,
                        Access});
    commands.push_back(
        {"tz",
         "get ZONE | set ZONE WINDOWS",
         "read or write a time zone (a time window for each day of the week)",
         "WINDOWS is one window HH:MM-HH:MM for every day, seven windows separated\n"
         "by commas (Sunday first), or the terminal's 56 digits. 00:00-00:00 closes\n"
         "a day; 00:00-23:59 opens it all day. Zones are numbered 1-50.",
         {},
         true,
         Tz});
    commands.push_back(
        {"group",
         "get GROUP | set GROUP ZONE[,ZONE[,ZONE]] [--record [--flag F] [--value V]]",
         "read or write the time zones of an access group",
         "A group holds up to three time zones; '-' sets none. --record uses the\n"
         "record form of newer terminals, which also carries a flag and a value.",
         {{"--record", Arity::None, "", "use the record form (newer terminals)"},
          {"--flag", Arity::Value, "F", "record form: group flag 0 or 1"},
          {"--value", Arity::Value, "V", "record form: group value 0-127"}},
         true,
         Group});
    commands.push_back(
        {"holiday",
         "get | set [MM-DD[..MM-DD]...] [--clear] | get N --record | set N RANGE --zone Z "
         "--record",
         "read or write the holiday table",
         "set replaces the whole table (at most 24 holidays); --clear empties it.\n"
         "--record reads or writes one numbered holiday (1-24) with its time zone.",
         {{"--record", Arity::None, "", "one numbered holiday with a time zone"},
          {"--zone", Arity::Value, "Z", "record form: the holiday's time zone"},
          {"--clear", Arity::None, "", "set: remove every holiday"}},
         true,
         Holiday});
    commands.push_back({"lock-comb",
                        "get [N] | set N GROUP [GROUP...]",
                        "read or write unlock combinations (groups that must verify together)",
                        "Combinations are numbered 0-10 and hold up to five groups (1-99).",
                        {},
                        true,
                        LockComb});
    commands.push_back({"door", "", "show the door sensor state", "", {}, true, Door});
}

}  // namespace tlcli
