// Terminal content: short messages and their users, work codes, custom
// states and voices, short keys.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/app.h"
#include "cli/dates.h"
#include "cli/errors.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// Ranges the listings walk when none is given. The library reads one entry
// per call and has no list of ids, so a listing asks for each id in turn.
constexpr int kDefaultLastMessage = 99;
constexpr int kDefaultLastWorkCode = 99;
constexpr int kDefaultLastKey = 20;
constexpr int kMaxStateIndex = 7;
constexpr int kMaxVoiceIndex = 20;

// "--ids A-B" (or a single id) within [min, max]; the default range otherwise.
std::pair<int, int> IdRange(const Context& ctx, const std::string& flag, int min, int max,
                            int defaultFirst, int defaultLast) {
    const auto value = ctx.args.Value(flag);
    if (!value) return {defaultFirst, defaultLast};
    const auto dash = value->find('-', 1);
    const int first = Number(value->substr(0, dash), min, max, flag);
    const int last =
        dash == std::string::npos ? first : Number(value->substr(dash + 1), min, max, flag);
    if (last < first) throw UsageError(flag + ": the range ends before it starts");
    return {first, last};
}

// A terminal answers a read of an id it does not hold with a refusal, which
// the library reports like any other refusal (-2). A listing takes a refusal
// as "not set" as long as the transport records no new error; a transport
// error stops it.
bool Unset(int result, int errorBefore) {
    return result == -2 && TL_LastError() == errorBefore;
}

bool OnOff(const std::string& text, const std::string& what) {
    if (text == "on" || text == "1" || text == "yes") return true;
    if (text == "off" || text == "0" || text == "no") return false;
    throw UsageError(what + ": say on or off");
}

bool IsTft(TL_HANDLE h) {
    int tft = 0;
    return TL_IsTFTMachine(h, &tft) == 1 && tft == 1;
}

void Done(Context& ctx, const std::string& text) {
    if (!ctx.quiet()) ctx.out << text << "\n";
}

// ---- short messages -----------------------------------------------------------

struct MessageRead {
    int result = 0;
    int kind = 0, period = 0;
    DateTime start;
    std::string text;
};

MessageRead ReadMessage(TL_HANDLE h, int id) {
    MessageRead m;
    char content[321] = {};  // the largest field and a terminator
    DateTime& t = m.start;
    m.result = TL_GetSMS(h, id, &m.kind, &m.period, &t.year, &t.month, &t.day, &t.hour, &t.minute,
                         &t.second, content);
    m.text = content;
    return m;
}

std::vector<Cell> MessageRow(int id, const MessageRead& m) {
    return {Num(id), Num(m.kind), Num(m.period), Text(FormatDateTime(m.start)), Text(m.text)};
}

const std::vector<std::string> kMessageColumns = {"id", "kind", "period", "start", "text"};

int Messages(Context& ctx) {
    NoMoreArgs(ctx, 0, "messages [--ids A-B]");
    const auto [first, last] = IdRange(ctx, "--ids", 0, 65535, 0, kDefaultLastMessage);
    TL_HANDLE h = ctx.session().handle();
    Table t;
    t.columns = kMessageColumns;
    const int errorBefore = TL_LastError();
    for (int id = first; id <= last && !g_interrupted; ++id) {
        const MessageRead m = ReadMessage(h, id);
        if (Unset(m.result, errorBefore)) continue;
        Check(m.result, "reading message " + std::to_string(id));
        t.Add(MessageRow(id, m));
    }
    WriteTable(ctx.out, t, ctx.format());
    return kExitOk;
}

int Message(Context& ctx) {
    const std::string usage =
        "message show ID | message set ID TEXT [--kind K] [--period P] [--start DATE] | "
        "message delete ID";
    const std::string& action = Arg(ctx, 0, usage);
    const int id = Number(Arg(ctx, 1, usage), 0, 65535, "message id");
    const std::string what = "message " + std::to_string(id);
    if (action == "show") {
        NoMoreArgs(ctx, 2, usage);
        const MessageRead m = ReadMessage(ctx.session().handle(), id);
        Check(m.result, "reading " + what);
        Fields f;
        for (std::size_t i = 0; i < kMessageColumns.size(); ++i)
            f.Add(kMessageColumns[i], MessageRow(id, m)[i]);
        WriteFields(ctx.out, f, ctx.format());
        return kExitOk;
    }
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        const std::string& text = Arg(ctx, 2, usage);
        const int kind = static_cast<int>(ctx.args.Int("--kind", 0, 0, 255));
        const int period = static_cast<int>(ctx.args.Int("--period", 0, 0, 65535));
        DateTime start = LocalNow();
        if (auto v = ctx.args.Value("--start")) {
            std::string error;
            auto parsed = ParseDateTime(*v, false, &error);
            if (!parsed) throw UsageError("--start: " + error);
            start = *parsed;
        }
        TL_HANDLE h = ctx.session().handle();
        const std::size_t field = IsTft(h) ? 320 : 60;
        if (text.size() > field)
            throw UsageError("message set: the terminal keeps " + std::to_string(field) +
                             " bytes of text");
        Check(TL_SetSMS(h, id, kind, period, start.year, start.month, start.day, start.hour,
                        start.minute, start.second, text.c_str()),
              "writing " + what);
        Done(ctx, "Message " + std::to_string(id) + " written.");
        return kExitOk;
    }
    if (action == "delete") {
        NoMoreArgs(ctx, 2, usage);
        const int r = TL_DeleteSMS(ctx.session().handle(), id);
        if (r == 0) throw ToolError(kExitNotFound, what + " is not on the terminal");
        Check(r, "deleting " + what);
        Done(ctx, "Message " + std::to_string(id) + " deleted.");
        return kExitOk;
    }
    throw UsageError("message: unknown action '" + action + "'; usage: " + usage);
}

// Users are named as people know them: the enrolled number on numeric
// terminals, the text ID on TFT terminals.
int MessageUsers(Context& ctx) {
    const std::string usage = "message-users add|remove MESSAGE USER...";
    const std::string& action = Arg(ctx, 0, usage);
    if (action != "add" && action != "remove")
        throw UsageError("message-users: unknown action '" + action + "'; usage: " + usage);
    const int id = Number(Arg(ctx, 1, usage), 0, 65535, "message id");
    Arg(ctx, 2, usage);
    const bool add = action == "add";
    TL_HANDLE h = ctx.session().handle();
    const bool textIds = IsTft(h);
    Table t;
    t.columns = {"user", "message", "result"};
    int missing = 0;
    for (std::size_t i = 2; i < ctx.args.positional.size(); ++i) {
        const std::string& user = ctx.args.positional[i];
        int r;
        if (textIds) {
            if (user.empty() || user.size() > 24) throw UsageError("user ID: 1-24 characters");
            r = add ? TL_SetSsrUData(h, user.c_str(), id) : TL_DelSsrUData(h, user.c_str(), id);
        } else {
            const int pin2 = Number(user, 1, 2147483647, "user number");
            r = add ? TL_SetUData(h, 0, pin2, id) : TL_DeleteUData(h, 0, pin2, id);
        }
        if (r == 0) {
            ++missing;
            t.Add({Text(user), Num(id), Text(add ? "no such user" : "not linked")});
            continue;
        }
        Check(r, (add ? "linking user " : "unlinking user ") + user);
        t.Add({Text(user), Num(id), Text(add ? "linked" : "unlinked")});
    }
    WriteTable(ctx.out, t, ctx.format());
    return missing ? kExitNotFound : kExitOk;
}

// ---- work codes -------------------------------------------------------------------

int WorkCodes(Context& ctx) {
    NoMoreArgs(ctx, 0, "workcodes [--named] [--ids A-B]");
    const bool named = ctx.args.Has("--named");
    const auto [first, last] = IdRange(ctx, "--ids", named ? -9999999 : 0, named ? 99999999 : 65535,
                                       0, kDefaultLastWorkCode);
    TL_HANDLE h = ctx.session().handle();
    Table t;
    t.columns = {"id", named ? "name" : "code"};
    const int errorBefore = TL_LastError();
    for (int id = first; id <= last && !g_interrupted; ++id) {
        int code = 0;
        char name[25] = {};
        const int r = named ? TL_SSR_GetWorkCode(h, id, name) : TL_GetWorkCode(h, id, &code);
        if (Unset(r, errorBefore)) continue;
        Check(r, "reading work code " + std::to_string(id));
        t.Add({Num(id), named ? Text(name) : Num(code)});
    }
    WriteTable(ctx.out, t, ctx.format());
    return kExitOk;
}

int WorkCode(Context& ctx) {
    const std::string usage =
        "workcode set ID CODE | workcode set ID NAME --named | workcode delete ID [--named] | "
        "workcode clear [--named] --yes";
    const std::string& action = Arg(ctx, 0, usage);
    const bool named = ctx.args.Has("--named");
    const std::string form = named ? "named work code" : "work code";
    if (action == "clear") {
        NoMoreArgs(ctx, 1, usage);
        if (!ctx.args.Has("--yes"))
            throw UsageError("workcode clear erases every " + form +
                             " on the terminal; add --yes to do it");
        TL_HANDLE h = ctx.session().handle();
        Check(named ? TL_SSR_ClearWorkCode(h) : TL_ClearWorkCode(h), "clearing the " + form + "s");
        Done(ctx, named ? "Named work codes cleared." : "Work codes cleared.");
        return kExitOk;
    }
    const int id = named ? Number(Arg(ctx, 1, usage), -9999999, 99999999, "work code id")
                         : Number(Arg(ctx, 1, usage), 0, 65535, "work code id");
    const std::string what = form + " " + std::to_string(id);
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        const std::string& value = Arg(ctx, 2, usage);
        if (named && value.size() > 24) throw UsageError("work code name: at most 24 bytes");
        TL_HANDLE h = ctx.session().handle();
        const int r =
            named ? TL_SSR_SetWorkCode(h, id, value.c_str())
                  : TL_SetWorkCode(h, id, Number(value, -2147483647 - 1LL, 4294967295LL, "code"));
        Check(r, "writing " + what);
        Done(ctx, "Work code " + std::to_string(id) + " written.");
        return kExitOk;
    }
    if (action == "delete") {
        NoMoreArgs(ctx, 2, usage);
        TL_HANDLE h = ctx.session().handle();
        const int r = named ? TL_SSR_DeleteWorkCode(h, id) : TL_DeleteWorkCode(h, id);
        if (r == 0) throw ToolError(kExitNotFound, what + " is not on the terminal");
        Check(r, "deleting " + what);
        Done(ctx, "Work code " + std::to_string(id) + " deleted.");
        return kExitOk;
    }
    throw UsageError("workcode: unknown action '" + action + "'; usage: " + usage);
}

// ---- custom states and voices ---------------------------------------------------

// The library writes custom states and voices but cannot read them back: the
// listings show the slots the terminal offers.
int States(Context& ctx) {
    NoMoreArgs(ctx, 0, "states");
    char value[256] = {};
    const bool extended = TL_GetSysOption(ctx.session().handle(), "~ExtendFmt", value) == 1 &&
                          std::strtol(value, nullptr, 10) != 0;
    Table t;
    t.columns = {"index", "codes", "available"};
    for (int i = 0; i <= kMaxStateIndex; ++i) t.Add({Num(i), Text("0-127"), Bool(extended)});
    WriteTable(ctx.out, t, ctx.format());
    return kExitOk;
}

int Voices(Context& ctx) {
    NoMoreArgs(ctx, 0, "voices");
    ctx.session();
    Table t;
    t.columns = {"index", "file_name"};
    // The file name of a slot cannot be read back: it stays empty (null).
    for (int i = 0; i <= kMaxVoiceIndex; ++i) t.Add({Num(i), Null()});
    WriteTable(ctx.out, t, ctx.format());
    ctx.Note(
        "The terminal does not report the file names it holds. A file name has 1-19 "
        "characters, no '\\', and is not beep.wav: 'termlink voice set INDEX FILE'.");
    return kExitOk;
}

}  // namespace

int CustomState(Context& ctx) {
    const std::string usage =
        "state set INDEX CODE | state enable INDEX on|off | state delete INDEX";
    const std::string& action = Arg(ctx, 0, usage);
    const int index = Number(Arg(ctx, 1, usage), 0, kMaxStateIndex, "state index");
    const std::string what = "custom state " + std::to_string(index);
    int r;
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        const int code = Number(Arg(ctx, 2, usage), 0, 127, "state code");
        r = TL_SetCustomizeAttState(ctx.session().handle(), index, code);
    } else if (action == "enable") {
        NoMoreArgs(ctx, 3, usage);
        const bool on = OnOff(Arg(ctx, 2, usage), "state enable");
        r = TL_EnableCustomizeAttState(ctx.session().handle(), index, on ? 1 : 0);
    } else if (action == "delete") {
        NoMoreArgs(ctx, 2, usage);
        r = TL_DelCustomizeAttState(ctx.session().handle(), index);
        if (r == 0) throw ToolError(kExitNotFound, what + " is not set on the terminal");
    } else {
        throw UsageError("state: unknown action '" + action + "'; usage: " + usage);
    }
    if (r == 4)
        throw ToolError(kExitUnsupported,
                        what + ": custom states need a terminal with the extended record format");
    Check(r, action + " " + what);
    Done(ctx, "Custom state " + std::to_string(index) + ": " + action + " done.");
    return kExitOk;
}

namespace {

int Voice(Context& ctx) {
    const std::string usage =
        "voice set INDEX FILE | voice enable INDEX on|off | voice delete INDEX";
    const std::string& action = Arg(ctx, 0, usage);
    if (action != "set" && action != "enable" && action != "delete") return PlayVoice(ctx);
    const int index = Number(Arg(ctx, 1, usage), 0, kMaxVoiceIndex, "voice index");
    const std::string what = "custom voice " + std::to_string(index);
    int r;
    if (action == "set") {
        NoMoreArgs(ctx, 3, usage);
        const std::string& file = Arg(ctx, 2, usage);
        if (file.empty() || file.size() > 19 || file.find('\\') != std::string::npos ||
            file == "beep.wav")
            throw UsageError("voice file: 1-19 characters, no '\\', and not beep.wav");
        r = TL_SetCustomizeVoice(ctx.session().handle(), index, file.c_str());
    } else if (action == "enable") {
        NoMoreArgs(ctx, 3, usage);
        const bool on = OnOff(Arg(ctx, 2, usage), "voice enable");
        r = TL_EnableCustomizeVoice(ctx.session().handle(), index, on ? 1 : 0);
    } else if (action == "delete") {
        NoMoreArgs(ctx, 2, usage);
        r = TL_DelCustomizeVoice(ctx.session().handle(), index);
        if (r == 0) throw ToolError(kExitNotFound, what + " is not set on the terminal");
    } else {
        throw UsageError("voice: unknown action '" + action + "'; usage: " + usage);
    }
    Check(r, action + " " + what);
    Done(ctx, "Custom voice " + std::to_string(index) + ": " + action + " done.");
    return kExitOk;
}

// ---- short keys -------------------------------------------------------------------

// "HH:MM;" seven times from the library as "HH:MM,HH:MM" of the times set.
std::string SwitchTimes(const char* text) {
    std::string out;
    for (std::size_t i = 0; i + 6 <= std::strlen(text); i += 6) {
        const std::string pair(text + i, 5);
        if (pair == "00:00") continue;
        if (!out.empty()) out += ",";
        out += pair;
    }
    return out;
}

// "HH:MM[,HH:MM...]" (up to seven) as the library's "H:M;" text.
std::string SwitchTimeText(const std::string& list) {
    std::string text;
    int n = 0;
    std::size_t start = 0;
    while (!list.empty()) {
        const auto comma = list.find(',', start);
        const std::string item = list.substr(start, comma - start);
        const auto colon = item.find(':');
        if (colon == std::string::npos)
            throw UsageError("--times: HH:MM expected, got '" + item + "'");
        if (++n > 7) throw UsageError("--times: at most seven switch times");
        const int hour = Number(item.substr(0, colon), 0, 23, "switch hour");
        const int minute = Number(item.substr(colon + 1), 0, 59, "switch minute");
        text += std::to_string(hour) + ":" + std::to_string(minute) + ";";
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return text;
}

struct KeyRead {
    int result = 0, function = 0, state = 0, autoSwitch = 0;
    std::string label, times;
    int slots[7] = {};  // the seven switch times as hour * 100 + minute, 0 unset
};

KeyRead ReadKey(TL_HANDLE h, int key) {
    KeyRead k;
    char label[17] = {};  // a 16-character label has no terminator of its own
    char times[43] = {};
    k.result = TL_SSR_GetShortKey(h, key, &k.function, &k.state, label, &k.autoSwitch, times);
    k.label = label;
    k.times = SwitchTimes(times);
    for (int i = 0; i < 7 && (i + 1) * 6 <= static_cast<int>(std::strlen(times)); ++i)
        k.slots[i] = std::atoi(times + 6 * i) * 100 + std::atoi(times + 6 * i + 3);
    return k;
}

// The key a new short key conflicts with, by the rules the library applies
// (a state key: the same state code, or a shared automatic switch time when
// both switch; keys of function 2 and 3: another key of that function), and
// why; empty when none is found. Keys are read one by one, so the search
// stops at the first conflict.
std::string ConflictingKey(TL_HANDLE h, int key, int function, int state, bool autoSwitch,
                           const std::string& times) {
    int mine[7] = {};
    for (std::size_t at = 0, i = 0; i < 7 && at < times.size(); ++i) {
        const auto end = times.find(';', at);
        const std::string item = times.substr(at, end - at);
        mine[i] = std::atoi(item.c_str()) * 100 + std::atoi(item.c_str() + item.find(':') + 1);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    for (int other = 0; other <= 255 && !g_interrupted; ++other) {
        if (other == key) continue;
        const KeyRead k = ReadKey(h, other);
        if (k.result != 1) continue;
        const std::string name = "key " + std::to_string(other);
        if (function == 1) {
            if (k.state == state) return name + " has state code " + std::to_string(state);
            if (k.function == 1 && autoSwitch && k.autoSwitch)
                for (int i = 0; i < 7; ++i)
                    if (mine[i] && mine[i] == k.slots[i]) {
                        char when[16];
                        std::snprintf(when, sizeof when, "%02d:%02d", mine[i] / 100, mine[i] % 100);
                        return name + " switches automatically at " + when + " too";
                    }
        } else if ((function == 2 || function == 3) && k.function == function) {
            return name + " already has function " + std::to_string(function);
        }
    }
    return "";
}

int ShortKeys(Context& ctx) {
    NoMoreArgs(ctx, 0, "shortkeys [--keys A-B]");
    const auto [first, last] = IdRange(ctx, "--keys", 0, 255, 1, kDefaultLastKey);
    TL_HANDLE h = ctx.session().handle();
    Table t;
    t.columns = {"key", "function", "state", "label", "auto", "times"};
    for (int key = first; key <= last && !g_interrupted; ++key) {
        const KeyRead k = ReadKey(h, key);
        if (k.result == 0) continue;  // no such key
        Check(k.result, "reading short key " + std::to_string(key));
        const bool stateKey = k.function == 1;
        t.Add({Num(key), Num(k.function), stateKey ? Num(k.state) : Null(), Text(k.label),
               Bool(k.autoSwitch != 0), Text(k.times)});
    }
    WriteTable(ctx.out, t, ctx.format());
    return kExitOk;
}

int ShortKey(Context& ctx) {
    const std::string usage =
        "shortkey set KEY FUNCTION [--state CODE] [--label TEXT] [--auto] [--times HH:MM,...]";
    const std::string& action = Arg(ctx, 0, usage);
    if (action != "set")
        throw UsageError("shortkey: unknown action '" + action + "'; usage: " + usage);
    NoMoreArgs(ctx, 3, usage);
    const int key = Number(Arg(ctx, 1, usage), 0, 255, "key");
    const int function = Number(Arg(ctx, 2, usage), 0, 255, "function");
    const int state = static_cast<int>(ctx.args.Int("--state", 0, 0, 255));
    const std::string label = ctx.args.Get("--label", "");
    if (label.size() > 16) throw UsageError("--label: at most 16 bytes");
    const std::string times = SwitchTimeText(ctx.args.Get("--times", ""));
    const int r = TL_SSR_SetShortKey(ctx.session().handle(), key, function, state, label.c_str(),
                                     ctx.args.Has("--auto") ? 1 : 0, times.c_str());
    if (r == 4) {
        const std::string other = ConflictingKey(ctx.session().handle(), key, function, state,
                                                 ctx.args.Has("--auto"), times);
        throw ToolError(kExitFailed,
                        "short key " + std::to_string(key) + " conflicts with another key" +
                            (other.empty() ? " (same state code, same automatic switch time, "
                                             "or a second key of function " +
                                                 std::to_string(function) + ")"
                                           : ": " + other));
    }
    Check(r, "writing short key " + std::to_string(key));
    Done(ctx, "Short key " + std::to_string(key) + " written.");
    return kExitOk;
}

}  // namespace

void AddContentCommands(std::vector<Command>& commands) {
    const FlagSpec ids{"--ids", Arity::Value, "A-B", "ids to read (default 0-99)"};
    const FlagSpec named{"--named", Arity::None, "", "the text form (ids as decimal text, names)"};
    commands.push_back({"messages",
                        "[--ids A-B]",
                        "list the short messages",
                        "Reads message ids A-B (default 0-99) one by one and lists those set.",
                        {ids},
                        true,
                        Messages});
    commands.push_back(
        {"message",
         "show ID | set ID TEXT [--kind K] [--period P] [--start DATE] | delete ID",
         "read, write or delete a short message",
         "TEXT is at most 60 bytes (320 on TFT terminals). --start defaults to now;\n"
         "kind and period are the terminal's own values.",
         {{"--kind", Arity::Value, "K", "message kind (0-255, default 0)"},
          {"--period", Arity::Value, "P", "period (0-65535, default 0)"},
          {"--start", Arity::Value, "DATE", "start time (default now)"}},
         true,
         Message});
    commands.push_back({"message-users",
                        "add|remove MESSAGE USER...",
                        "show a message to users, or stop showing it",
                        "USER is the enrolled number, or the text ID on TFT terminals.",
                        {},
                        true,
                        MessageUsers});
    commands.push_back({"workcodes",
                        "[--named] [--ids A-B]",
                        "list the work codes",
                        "Reads ids A-B (default 0-99) one by one and lists those set.",
                        {named, ids},
                        true,
                        WorkCodes});
    commands.push_back({"workcode",
                        "set ID CODE|NAME | delete ID | clear --yes  [--named]",
                        "write, delete or clear work codes",
                        "Numeric ids are 0-65535 with a 32-bit code; --named ids are at most\n"
                        "8 digits with a name of up to 24 bytes. clear erases them all and\n"
                        "needs --yes.",
                        {named, {"--yes", Arity::None, "", "confirm that clear erases them all"}},
                        true,
                        WorkCode});
    commands.push_back({"states",
                        "",
                        "the custom attendance-state slots (0-7)",
                        "Custom states need the extended record format; they can be written\n"
                        "but not read back.",
                        {},
                        true,
                        States});
    commands.push_back({"voices",
                        "",
                        "the custom voice slots (0-20)",
                        "Custom voices can be written but not read back.",
                        {},
                        true,
                        Voices});
    commands.push_back({"voice",
                        "INDEX | FIRST LAST | set INDEX FILE | enable INDEX on|off | delete INDEX",
                        "play voice prompts; write, switch or delete a custom voice prompt",
                        "INDEX, FIRST and LAST of played prompts are 0-255; custom voices are\n"
                        "0-20.",
                        {},
                        true,
                        Voice});
    commands.push_back({"shortkeys",
                        "[--keys A-B]",
                        "list the short keys",
                        "Reads keys A-B (default 1-20) and lists those defined.",
                        {{"--keys", Arity::Value, "A-B", "keys to read (default 1-20)"}},
                        true,
                        ShortKeys});
    commands.push_back(
        {"shortkey",
         "set KEY FUNCTION [--state CODE] [--label TEXT] [--auto] [--times HH:MM,...]",
         "bind a short key",
         "Function 1 is a state key: --state, --label (at most 16 bytes, 14 on older\n"
         "firmware), --auto and up to seven --times switch it automatically. A key\n"
         "that conflicts with another is refused and nothing is written.",
         {{"--state", Arity::Value, "CODE", "state code of a state key (0-255)"},
          {"--label", Arity::Value, "TEXT", "label of a state key"},
          {"--auto", Arity::None, "", "switch to this state automatically"},
          {"--times", Arity::Value, "HH:MM,...", "automatic switch times (up to seven)"}},
         true,
         ShortKey});
}

}  // namespace tlcli
