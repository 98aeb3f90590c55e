// Users: users, user show|set|delete|tz|group.
#include <algorithm>
#include <cstring>

#include "cli/app.h"
#include "cli/errors.h"
#include "client/terminal.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// One user as the tool shows it, for either kind of terminal.
struct UserView {
    int pin = 0;     // internal number
    std::string id;  // enrolled number (classic) or text ID
    std::string name;
    int privilege = 0;
    bool enabled = true;
    std::string password;
    unsigned long long card = 0;
    int group = 0;
    int zones[4] = {0, 0, 0, 0};
    bool ownZones = false;
};

std::string ZonesText(const UserView& u, bool textIds) {
    if (!u.ownZones) return "group";
    std::string s;
    for (int i = 0; i < (textIds ? 4 : 3); ++i) {
        if (u.zones[i] == 0) continue;
        if (!s.empty()) s += ",";
        s += std::to_string(u.zones[i]);
    }
    return s.empty() ? "none" : s;
}

void CardBytes(unsigned long long v, unsigned char* card) {
    for (int i = 0; i < 5; ++i) card[i] = static_cast<unsigned char>(v >> (8 * i));
}

UserView FromClassic(int pin, const char* name, int priv, int enabled, const char* password,
                     const unsigned char* card, int pin2, int group, const int* tz) {
    UserView u;
    u.pin = pin;
    u.id = std::to_string(pin2 ? pin2 : pin);
    u.name = std::string(name, strnlen(name, 8));
    u.privilege = priv;
    u.enabled = enabled != 0;
    u.password = std::string(password, strnlen(password, 5));
    u.card = CardValue(card);
    u.group = group;
    u.ownZones = tz[0] != -1;
    for (int i = 0; i < 3; ++i) u.zones[i] = u.ownZones ? tz[i] : 0;
    return u;
}

UserView FromText(int pin, const char* id, const char* name, int priv, int enabled,
                  const char* password, int card, int group, const int* tz) {
    UserView u;
    u.pin = pin;
    u.id = std::string(id, strnlen(id, 24));
    u.name = std::string(name, strnlen(name, 24));
    u.privilege = priv;
    u.enabled = enabled != 0;
    u.password = std::string(password, strnlen(password, 8));
    u.card = static_cast<unsigned int>(card);
    u.group = group;
    for (int i = 0; i < 4; ++i) u.zones[i] = tz[i];
    u.ownZones = tz[0] || tz[1] || tz[2] || tz[3];
    return u;
}

const std::vector<std::string> kColumns = {"user",     "pin",  "name",  "privilege", "enabled",
                                           "password", "card", "group", "zones"};

std::vector<Cell> Row(const UserView& u, bool textIds, bool showPasswords) {
    return {textIds ? Text(u.id) : Num(std::stoll(u.id)),
            Num(u.pin),
            Text(u.name),
            Text(PrivilegeName(u.privilege)),
            Bool(u.enabled),
            showPasswords ? Text(u.password) : Bool(!u.password.empty()),
            u.card ? Num(static_cast<long long>(u.card)) : Null(),
            Num(u.group),
            Text(ZonesText(u, textIds))};
}

// Makes sure the user table is cached: 0 when the terminal has no users.
bool LoadUsers(const Context& ctx, TL_HANDLE h) {
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the user table");
        r = TL_ReadUserInfo(h);
    }
    if (r == 0) return false;
    Check(r, "downloading the user table");
    return true;
}

int Users(Context& ctx) {
    if (!ctx.args.positional.empty())
        throw UsageError("users takes no arguments; for one user see 'termlink user show ID'");
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    const bool showPasswords = ctx.args.Has("--show-passwords");
    Table t;
    t.columns = kColumns;
    if (LoadUsers(ctx, h)) {
        Progress p = ctx.MakeProgress("reading users");
        for (long long n = 1;; ++n) {
            UserRecord rec;
            const int r = NextUserRecord(h, traits, &rec);
            UserView u;
            if (r == 1 && traits.textIds)
                u = FromText(rec.pin, rec.id.c_str(), rec.name.c_str(), rec.privilege, rec.enabled,
                             rec.password.c_str(), rec.textCard, rec.group, rec.zones);
            else if (r == 1)
                u = FromClassic(rec.pin, rec.name.c_str(), rec.privilege, rec.enabled,
                                rec.password.c_str(), rec.card, rec.pin2, rec.group, rec.zones);
            if (r == 0) break;
            Check(r, "reading the user table");
            p.Update(n);
            t.Add(Row(u, traits.textIds, showPasswords));
        }
    }
    WriteTable(ctx.out, t, ctx.format());
    if (ctx.format() == Format::Table && !ctx.quiet()) ctx.err << t.rows.size() << " user(s).\n";
    return kExitOk;
}

int ParseNumber(const std::string& text, long long min, long long max, const std::string& what) {
    std::string error;
    auto v = ParseInt(text, min, max, &error);
    if (!v) throw UsageError(what + ": " + error);
    return static_cast<int>(*v);
}

// Finds a user by what people call them: the enrolled number, or the text ID.
std::optional<UserView> FindUser(const Context& ctx, TL_HANDLE h, const TerminalTraits& traits,
                                 const std::string& id) {
    if (!LoadUsers(ctx, h)) return std::nullopt;
    int priv = 0, enabled = 0, group = 0, tz[4] = {0, 0, 0, 0};
    char name[32] = {}, password[16] = {};
    if (traits.textIds) {
        int card = 0, pin = 0;
        const int r = SSR_TL_QueryUserInfo(h, id.c_str(), name, &priv, &enabled, password, &card,
                                           &group, tz, &pin);
        if (r == 0) return std::nullopt;
        Check(r, "looking up user " + id);
        return FromText(pin, id.c_str(), name, priv, enabled, password, card, group, tz);
    }
    const int number = ParseNumber(id, 1, 2147483647, "user");
    unsigned char card[5] = {};
    int pin2 = number;
    if (traits.legacy) {
        // No enrolled numbers on these terminals: people use the internal one.
        if (number > 65534) return std::nullopt;
        const int r =
            TL_QueryUserInfo(h, number, name, &priv, &enabled, password, card, &pin2, &group, tz);
        if (r == 0) return std::nullopt;
        Check(r, "looking up user " + id);
        return FromClassic(number, name, priv, enabled, password, card, 0, group, tz);
    }
    const int r = TL_QueryUserInfo(h, 0, name, &priv, &enabled, password, card, &pin2, &group, tz);
    if (r == 0) return std::nullopt;
    Check(r, "looking up user " + id);
    // The record's own PIN is not among the outputs; the lookup by PIN2 finds it.
    const int pin = TL_QueryUserByPIN2(h, number);
    return FromClassic(pin > 0 ? pin : 0, name, priv, enabled, password, card, number, group, tz);
}

[[noreturn]] void NoSuchUser(const std::string& id) {
    throw ToolError(kExitNotFound, "no user " + id + " on the terminal");
}

int ParsePrivilege(const std::string& text) {
    if (text == "user") return 0;
    if (text == "enroller") return 1;
    if (text == "admin") return 2;
    if (text == "supervisor") return 3;
    return ParseNumber(text, 0, 3, "--privilege (user, enroller, admin, supervisor or 0-3)");
}

// "1,2,3", or "group" (no zones of the user's own).
std::vector<int> ParseZones(const std::string& text, int max) {
    std::vector<int> zones;
    if (text == "group" || text == "-") return zones;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        zones.push_back(ParseNumber(text.substr(start, comma - start), 1, 50, "time zone"));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (static_cast<int>(zones.size()) > max)
        throw UsageError("at most " + std::to_string(max) + " time zones");
    return zones;
}

// Sends a whole user record (fields the caller did not change come from the
// terminal's copy).
void WriteUser(TL_HANDLE h, const TerminalTraits& traits, const UserView& u, bool existing) {
    const std::string& id = u.id;
    const std::size_t maxName = traits.textIds ? 24 : 8, maxPassword = traits.textIds ? 8 : 5;
    if (u.name.size() > maxName)
        throw UsageError("--name: at most " + std::to_string(maxName) + " bytes on this terminal");
    if (u.password.size() > maxPassword)
        throw UsageError("--password: at most " + std::to_string(maxPassword) +
                         " characters on this terminal");
    // Fixed fields are padded with NULs, never read past the text.
    char name[32] = {}, password[16] = {};
    std::memcpy(name, u.name.data(), u.name.size());
    std::memcpy(password, u.password.data(), u.password.size());
    const std::string what = (existing ? "updating user " : "adding user ") + id;
    if (traits.textIds) {
        int card = static_cast<int>(static_cast<unsigned int>(u.card));
        int zones[4] = {u.zones[0], u.zones[1], u.zones[2], u.zones[3]};
        Check(SSR_TL_SetUserInfo(h, id.c_str(), name, u.privilege, u.enabled ? 1 : 0, password,
                                 &card, u.group, zones),
              what);
    } else {
        unsigned char card[5];
        CardBytes(u.card, card);
        int zones[4] = {u.ownZones ? u.zones[0] : -1, u.zones[1], u.zones[2], 0};
        const int number = std::stoi(id);
        if (traits.legacy && number > 65534)
            throw UsageError("user numbers run 1-65534 on this terminal");
        const int r = traits.legacy
                          ? TL_SetUserInfo(h, number, name, u.privilege, u.enabled ? 1 : 0,
                                           password, card, 0, u.group, zones)
                          : TL_SetUserInfo(h, 0, name, u.privilege, u.enabled ? 1 : 0, password,
                                           card, number, u.group, zones);
        if (r == -10) throw ToolError(kExitFailed, what + ": the terminal has no free user number");
        Check(r, what);
    }
}

int UserSet(Context& ctx, const std::string& id) {
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    if (traits.textIds && (id.empty() || id.size() > 24))
        throw UsageError("a user ID has 1 to 24 characters");
    // The terminal keeps and hands back only as much of an ID as its
    // user-number width: a longer one would be stored cut and then not be
    // found under the name it was given.
    const int width = std::clamp(traits.pinWidth, 1, 24);
    if (traits.textIds && static_cast<int>(id.size()) > width)
        throw UsageError("user ID " + id + " is longer than " + std::to_string(width) +
                         " characters, the terminal's user-number width");
    if (!traits.textIds) {
        const long long number = ParseNumber(id, 1, 2147483647, "user");
        long long widest = 1;
        for (int i = 0; i < width && i < 10; ++i) widest *= 10;
        if (!traits.legacy && traits.pinWidth < 10 && number >= widest)
            throw UsageError("user " + id + " has more than " + std::to_string(width) +
                             " digits, the terminal's user-number width");
    }
    if (ctx.args.Has("--enabled") && ctx.args.Has("--disabled"))
        throw UsageError("give --enabled or --disabled, not both");
    const std::optional<UserView> existing = FindUser(ctx, h, traits, id);
    UserView u = existing ? *existing : UserView{};
    u.id = id;
    if (auto v = ctx.args.Value("--name")) u.name = *v;
    if (auto v = ctx.args.Value("--password")) u.password = *v;
    if (auto v = ctx.args.Value("--privilege")) u.privilege = ParsePrivilege(*v);
    if (auto v = ctx.args.Value("--card")) {
        std::string error;
        auto c = ParseInt(*v, 0, traits.textIds ? 4294967295LL : 1099511627775LL, &error);
        if (!c) throw UsageError("--card: " + error);
        u.card = static_cast<unsigned long long>(*c);
    }
    if (auto v = ctx.args.Value("--group")) u.group = ParseNumber(*v, 0, 99, "--group");
    if (!existing && !ctx.args.Has("--group")) u.group = 1;
    if (ctx.args.Has("--enabled")) u.enabled = true;
    if (ctx.args.Has("--disabled")) u.enabled = false;
    if (auto v = ctx.args.Value("--zones")) {
        const std::vector<int> zones = ParseZones(*v, traits.textIds ? 4 : 3);
        for (int i = 0; i < 4; ++i) u.zones[i] = i < static_cast<int>(zones.size()) ? zones[i] : 0;
        u.ownZones = !zones.empty();
    }
    WriteUser(h, traits, u, existing.has_value());
    if (!ctx.quiet()) ctx.out << (existing ? "Updated" : "Added") << " user " << id << ".\n";
    return kExitOk;
}

int UserShow(Context& ctx, const std::string& id) {
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    auto u = FindUser(ctx, h, traits, id);
    if (!u) NoSuchUser(id);
    const std::vector<Cell> row = Row(*u, traits.textIds, ctx.args.Has("--show-passwords"));
    Fields f;
    for (std::size_t i = 0; i < kColumns.size(); ++i) f.Add(kColumns[i], row[i]);
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

int UserDelete(Context& ctx, const std::string& id) {
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    if (!FindUser(ctx, h, traits, id)) NoSuchUser(id);
    const int r = traits.textIds ? SSR_TL_DelUser(h, id.c_str())
                                 : TL_DelUser(h, ParseNumber(id, 1, 2147483647, "user"));
    if (r == 0) throw ToolError(kExitFailed, "deleting user " + id + ": the terminal refused");
    Check(r, "deleting user " + id);
    if (!ctx.quiet()) ctx.out << "Deleted user " << id << ".\n";
    return kExitOk;
}

// user tz / user group take the user's number (a text ID written in digits
// on text-ID terminals).
int UserNumber(const std::string& id) {
    return ParseNumber(id, 1, 2147483647, "user");
}

int UserTz(Context& ctx, const std::string& id, const std::vector<std::string>& rest) {
    const int number = UserNumber(id);
    TL_HANDLE h = ctx.session().handle();
    if (rest.empty()) {
        int zones[4] = {0, 0, 0, 0}, flag = 0;
        Check(TL_GetUserTZs(h, number, zones, &flag), "reading the time zones of user " + id);
        Fields f;
        f.Add("user", Text(id));
        std::string list;
        for (int i = 0; i < 3; ++i)
            if (zones[i] > 0) list += (list.empty() ? "" : ",") + std::to_string(zones[i]);
        f.Add("zones", Text(list.empty() ? "none" : list));
        f.Add("follows_group", Bool(flag != 0));
        WriteFields(ctx.out, f, ctx.format());
        return kExitOk;
    }
    if (rest[0] != "set" || rest.size() != 2)
        throw UsageError("usage: user tz ID [set ZONE[,ZONE[,ZONE]] | set group]");
    const std::vector<int> list = ParseZones(rest[1], 3);
    int zones[4] = {0, 0, 0, static_cast<int>(list.size())};
    for (std::size_t i = 0; i < list.size(); ++i) zones[i] = list[i];
    Check(TL_SetUserTZs(h, number, zones), "writing the time zones of user " + id);
    if (!ctx.quiet()) ctx.out << "Time zones of user " << id << " written.\n";
    return kExitOk;
}

int UserGroup(Context& ctx, const std::string& id, const std::vector<std::string>& rest) {
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    if (traits.textIds) {
        // Text-ID terminals keep the group in the user record; the numeric
        // group exchange would look the ID up as a number.
        auto u = FindUser(ctx, h, traits, id);
        if (!u) NoSuchUser(id);
        if (rest.empty()) {
            Fields f;
            f.Add("user", Text(id));
            f.Add("group", Num(u->group));
            WriteFields(ctx.out, f, ctx.format());
            return kExitOk;
        }
        if (rest[0] != "set" || rest.size() != 2)
            throw UsageError("usage: user group ID [set GROUP]");
        u->group = ParseNumber(rest[1], 0, 99, "group");
        WriteUser(h, traits, *u, true);
        if (!ctx.quiet()) ctx.out << "User " << id << " is now in group " << u->group << ".\n";
        return kExitOk;
    }
    const int number = UserNumber(id);
    if (rest.empty()) {
        int group = 0;
        Check(TL_GetUserGroup(h, number, &group), "reading the group of user " + id);
        Fields f;
        f.Add("user", Text(id));
        f.Add("group", Num(group));
        WriteFields(ctx.out, f, ctx.format());
        return kExitOk;
    }
    if (rest[0] != "set" || rest.size() != 2) throw UsageError("usage: user group ID [set GROUP]");
    const int group = ParseNumber(rest[1], 0, 99, "group");
    Check(TL_SetUserGroup(h, number, group), "writing the group of user " + id);
    if (!ctx.quiet()) ctx.out << "User " << id << " is now in group " << group << ".\n";
    return kExitOk;
}

int User(Context& ctx) {
    const auto& pos = ctx.args.positional;
    const std::string usage = "user show|set|delete|tz|group ID ...";
    if (pos.size() < 2) throw UsageError("usage: " + usage);
    const std::string& action = pos[0];
    const std::string& id = pos[1];
    const std::vector<std::string> rest(pos.begin() + 2, pos.end());
    if (action == "tz") return UserTz(ctx, id, rest);
    if (action == "group") return UserGroup(ctx, id, rest);
    if (!rest.empty()) throw UsageError("unexpected '" + rest[0] + "'; usage: " + usage);
    if (action == "show") return UserShow(ctx, id);
    if (action == "set") return UserSet(ctx, id);
    if (action == "delete") return UserDelete(ctx, id);
    throw UsageError("user: unknown action '" + action + "'; usage: " + usage);
}

}  // namespace

void AddUserCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"users",
         "[--show-passwords]",
         "list the users enrolled on the terminal",
         "user is the number people enrol with (or the text ID on text-ID terminals),\n"
         "pin the terminal's internal number. zones: the user's own time zones, or\n"
         "'group' when the user follows the group's. Passwords are shown only as\n"
         "set or not, unless --show-passwords.",
         {{"--show-passwords", Arity::None, "", "show passwords in clear"}},
         true,
         Users});
    commands.push_back(
        {"user",
         "show ID | set ID [fields] | delete ID | tz ID [set ZONES] | group ID [set G]",
         "show, add, change or delete one user",
         "set changes only the fields given and adds the user when absent.\n"
         "ZONES is up to three time zones 1-50 separated by commas, or 'group'.",
         {{"--name", Arity::Value, "NAME", "set: name (8 bytes, 24 on text-ID terminals)"},
          {"--password", Arity::Value, "TEXT", "set: password (5 characters, 8 on text-ID)"},
          {"--privilege", Arity::Value, "P", "set: user, enroller, admin or supervisor"},
          {"--card", Arity::Value, "N", "set: card number"},
          {"--group", Arity::Value, "G", "set: access group (default 1 for a new user)"},
          {"--zones", Arity::Value, "ZONES", "set: the user's own time zones, or 'group'"},
          {"--enabled", Arity::None, "", "set: the user may verify"},
          {"--disabled", Arity::None, "", "set: the user may not verify"},
          {"--show-passwords", Arity::None, "", "show: the password in clear"}},
         true,
         User});
}

}  // namespace tlcli
