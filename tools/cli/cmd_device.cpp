// Device control: restart, power, sleep, display, sounds, clock display,
// erasing tables and refreshing.
#include <string>

#include "cli/app.h"
#include "cli/errors.h"

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

void NoArguments(const Context& ctx, const char* command) {
    if (!ctx.args.positional.empty())
        throw UsageError(std::string(command) + " takes no arguments");
}

// A command without arguments: run it, say what happened.
std::function<int(Context&)> Simple(const char* command, int(TL_STDCALL* call)(TL_HANDLE),
                                    const char* what, const char* done) {
    return [=](Context& ctx) {
        NoArguments(ctx, command);
        Check(call(ctx.session().handle()), what);
        if (!ctx.quiet()) ctx.out << done << "\n";
        return kExitOk;
    };
}

int Restart(Context& ctx) {
    NoArguments(ctx, "restart");
    Session& s = ctx.session();
    Check(TL_RebootDevice(s.handle()), "restarting the terminal");
    // The library closed the session itself.
    s.Forget();
    if (!ctx.quiet()) ctx.out << "Terminal restarting; connect again when it is back.\n";
    return kExitOk;
}

int Lcd(Context& ctx) {
    const auto& pos = ctx.args.positional;
    TL_HANDLE h = nullptr;
    if (ctx.args.Has("--clear")) {
        if (!pos.empty()) throw UsageError("lcd --clear takes no text");
        h = ctx.session().handle();
        Check(TL_ClearLCD(h), "clearing the display");
        if (!ctx.quiet()) ctx.out << "Display cleared.\n";
        return kExitOk;
    }
    if (pos.size() != 1) throw UsageError("lcd: give the TEXT to show (or --clear)");
    if (pos[0].size() > 97) throw UsageError("lcd: the display takes at most 97 characters");
    const int row = static_cast<int>(ctx.args.Int("--row", 0, 0, 255));
    const int column = static_cast<int>(ctx.args.Int("--column", 0, 0, 255));
    h = ctx.session().handle();
    Check(TL_WriteLCD(h, row, column, pos[0].c_str()), "writing to the display");
    if (!ctx.quiet())
        ctx.out << "Shown on the display at row " << row << ", column " << column << ".\n";
    return kExitOk;
}

int Beep(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() > 1) throw UsageError("beep: at most one duration");
    long long ms = 500;
    if (!pos.empty()) {
        std::string error;
        auto v = ParseInt(pos[0], 20, 5100, &error);
        if (!v) throw UsageError("beep: MS " + error);
        ms = *v;
    }
    Check(TL_Beep(ctx.session().handle(), static_cast<int>(ms)), "beeping");
    return kExitOk;
}

}  // namespace

int PlayVoice(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.empty() || pos.size() > 2) throw UsageError("voice: give INDEX or FIRST LAST");
    int v[2] = {0, 0};
    for (std::size_t i = 0; i < pos.size(); ++i) {
        std::string error;
        auto n = ParseInt(pos[i], 0, 255, &error);
        if (!n) throw UsageError("voice: " + pos[i] + ": " + error);
        v[i] = static_cast<int>(*n);
    }
    TL_HANDLE h = ctx.session().handle();
    Check(pos.size() == 1 ? TL_PlayVoiceByIndex(h, v[0]) : TL_PlayVoice(h, v[0], v[1]),
          "playing the voice prompt");
    return kExitOk;
}

namespace {

int ClockDisplay(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1 || (pos[0] != "on" && pos[0] != "off"))
        throw UsageError("clock-display: say on or off");
    Check(TL_EnableClock(ctx.session().handle(), pos[0] == "on" ? 1 : 0),
          "switching the clock display");
    return kExitOk;
}

struct ClearTarget {
    const char* name;
    const char* what;
    int(TL_STDCALL* clear)(TL_HANDLE);
};

int TL_STDCALL ClearTemplates(TL_HANDLE h) {
    return TL_ClearDataEx(h, 2);
}
int TL_STDCALL ClearUsers(TL_HANDLE h) {
    return TL_ClearDataEx(h, 5);
}

const ClearTarget kClearTargets[] = {
    {"all", "every table (users, templates, logs, messages, ...)", TL_ClearData},
    {"logs", "the attendance log", TL_ClearLogData},
    {"oplog", "the operation log", TL_ClearOpLogData},
    {"templates", "every fingerprint template", ClearTemplates},
    {"users", "every user with their templates", ClearUsers},
    {"admins", "the administrator rights of every user", TL_ClearAdministrators},
    {"messages", "every short message", TL_ClearSMS},
    {"message-links", "which users see which short message", TL_ClearUData},
};

int Clear(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1) throw UsageError("clear: name one TABLE (see 'termlink help clear')");
    for (const auto& t : kClearTargets) {
        if (pos[0] != t.name) continue;
        if (!ctx.args.Has("--yes"))
            throw UsageError(std::string("clear ") + t.name + " erases " + t.what +
                             " on the terminal; add --yes to do it");
        Check(t.clear(ctx.session().handle()), std::string("erasing ") + t.what);
        if (!ctx.quiet()) ctx.out << "Erased " << t.what << ".\n";
        return kExitOk;
    }
    throw UsageError("clear: unknown table '" + pos[0] + "'");
}

}  // namespace

void AddDeviceCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"restart", "", "restart the terminal (the connection ends)", "", {}, true, Restart});
    commands.push_back({"poweroff",
                        "",
                        "switch the terminal off",
                        "",
                        {},
                        true,
                        Simple("poweroff", TL_PowerOffDevice, "switching the terminal off",
                               "Terminal switching off.")});
    commands.push_back(
        {"sleep",
         "",
         "put the terminal to sleep",
         "",
         {},
         true,
         Simple("sleep", TL_SleepDevice, "putting the terminal to sleep", "Terminal asleep.")});
    commands.push_back(
        {"resume",
         "",
         "wake the terminal",
         "",
         {},
         true,
         Simple("resume", TL_ResumeDevice, "waking the terminal", "Terminal awake.")});
    commands.push_back(
        {"suspend",
         "",
         "suspend the terminal",
         "",
         {},
         true,
         Simple("suspend", TL_SuspendDevice, "suspending the terminal", "Terminal suspended.")});
    commands.push_back({"lcd",
                        "TEXT [--row N] [--column N] | --clear",
                        "show a text on the terminal's display, or clear it",
                        "At most 97 characters are shown.",
                        {{"--row", Arity::Value, "N", "display row (default 0)"},
                         {"--column", Arity::Value, "N", "display column (default 0)"},
                         {"--clear", Arity::None, "", "clear the display"}},
                        true,
                        Lcd});
    commands.push_back(
        {"beep", "[MS]", "make the terminal beep (default 500 ms, 20-5100)", "", {}, true, Beep});
    commands.push_back({"clock-display",
                        "on|off",
                        "show or hide the clock on the display",
                        "",
                        {},
                        true,
                        ClockDisplay});
    std::string tables = "TABLE is one of:\n";
    for (const auto& t : kClearTargets) {
        std::string name = std::string("  ") + t.name;
        name.resize(17, ' ');
        tables += name + t.what + "\n";
    }
    commands.push_back({"clear",
                        "TABLE --yes",
                        "erase a table on the terminal",
                        tables + "Nothing is erased without --yes.",
                        {{"--yes", Arity::None, "", "really erase"}},
                        true,
                        Clear});
    commands.push_back({"refresh",
                        "",
                        "make the terminal re-read its data after changes",
                        "",
                        {},
                        true,
                        Simple("refresh", TL_RefreshData, "refreshing the terminal's data",
                               "Terminal data refreshed.")});
}

}  // namespace tlcli
