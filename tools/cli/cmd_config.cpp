// Terminal options: option get KEY..., option set KEY=VALUE...
#include <cstring>

#include "cli/app.h"
#include "cli/errors.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// A reply "key=value" and its NUL travel in a 100-byte buffer.
constexpr std::size_t kMaxKey = 98;

int OptionGet(Context& ctx, const std::vector<std::string>& keys) {
    if (keys.empty()) throw UsageError("option get: name at least one KEY");
    for (const auto& k : keys) {
        if (k.empty() || k.size() > kMaxKey || k.find('=') != std::string::npos)
            throw UsageError("option get: '" + k + "' is not a usable option name");
    }
    TL_HANDLE h = ctx.session().handle();
    Table t;
    t.columns = {"key", "value"};
    int missing = 0;
    for (const auto& k : keys) {
        char value[256] = {};
        const int r = TL_GetSysOption(h, k.c_str(), value);
        if (r == 1) {
            t.Add({Text(k), Text(value)});
        } else if (r == -2 && keys.size() > 1) {
            // One absent option should not hide the others.
            t.Add({Text(k), Null()});
            ++missing;
        } else {
            FailResult(r, "reading option " + k);
        }
    }
    if (keys.size() == 1 && ctx.format() == Format::Table)
        ctx.out << t.rows[0][1].text << "\n";
    else
        WriteTable(ctx.out, t, ctx.format());
    if (missing) {
        ctx.Note(std::to_string(missing) + " option(s) absent or not answered (shown empty).");
        return kExitNotFound;
    }
    return kExitOk;
}

int OptionSet(Context& ctx, const std::vector<std::string>& assignments) {
    if (assignments.empty()) throw UsageError("option set: give at least one KEY=VALUE");
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0)
            throw UsageError("option set: '" + a + "' is not KEY=VALUE");
        pairs.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
    TL_HANDLE h = ctx.session().handle();
    for (const auto& [key, value] : pairs) {
        const int r = TL_SetSysOption(h, key.c_str(), value.c_str());
        if (r == 4)
            throw UsageError("option set: " + key + "=" + value +
                             " is too long for the terminal (at most 139 characters)");
        Check(r, "writing option " + key);
        if (!ctx.quiet()) ctx.out << "Set " << key << "=" << value << "\n";
    }
    if (!ctx.args.Has("--no-refresh")) Check(TL_RefreshOptions(h), "applying the options");
    return kExitOk;
}

int Option(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.empty()) throw UsageError("option: say 'get' or 'set'");
    const std::vector<std::string> rest(pos.begin() + 1, pos.end());
    if (pos[0] == "get") return OptionGet(ctx, rest);
    if (pos[0] == "set") return OptionSet(ctx, rest);
    throw UsageError("option: unknown action '" + pos[0] + "' (get or set)");
}

}  // namespace

void AddConfigCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"option",
         "get KEY... | set KEY=VALUE... [--no-refresh]",
         "read or write the terminal's named options",
         "get prints the value of one option, or a table of several.\n"
         "set writes each KEY=VALUE and then makes the terminal apply them.\n"
         "Hidden options (names starting with ~) are written in the form the\n"
         "terminal expects.",
         {{"--no-refresh", Arity::None, "", "write only; do not make the terminal apply them"}},
         true,
         Option});
}

}  // namespace tlcli
