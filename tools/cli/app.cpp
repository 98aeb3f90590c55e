#include "cli/app.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include "cli/errors.h"

using namespace tlclient;

namespace tlcli {

std::atomic<bool> g_interrupted{false};

namespace {

constexpr const char* kVersion = "termlink 0.1.0";

using Arity = FlagSpec::Arity;

std::vector<FlagSpec> GlobalFlags() {
    return {
        {"--net", Arity::Value, "HOST[:PORT]", "terminal on the network, datagram transport"},
        {"--tcp", Arity::Value, "HOST[:PORT]", "terminal on the network, TCP transport"},
        {"--com", Arity::Value, "NAME", "terminal on a serial line (COM1 or a device path)"},
        {"--baud", Arity::Value, "N", "serial line speed (default 115200)"},
        {"--device", Arity::Value, "N", "the terminal's number on the serial line (default 1)"},
        {"--usb", Arity::Value, "N", "terminal on USB port N"},
        {"--key", Arity::Value, "N", "communication key set on the terminal (default 0)"},
        {"--timeout", Arity::Value, "MS", "how long to wait for the terminal's answers"},
        {"--sim", Arity::Optional, "PROFILE",
         "start an embedded simulated terminal with sample data and use it"},
        {"--json", Arity::None, "", "write JSON"},
        {"--csv", Arity::None, "", "write CSV"},
        {"--quiet", Arity::None, "", "no notes or progress on standard error", "-q"},
        {"--help", Arity::None, "", "show help", "-h"},
        {"--version", Arity::None, "", "show the tool's version"},
    };
}

const char* kExitCodes =
    "Exit codes:\n"
    "  0    success\n"
    "  1    the terminal refused the operation, or a download failed\n"
    "  2    bad command line, or an argument the library refused\n"
    "  3    could not connect\n"
    "  4    the terminal did not answer in time\n"
    "  5    the terminal rejected the communication key\n"
    "  6    not available on this terminal or firmware\n"
    "  7    the user, entry or record asked for does not exist\n"
    "  8    a local file could not be read or written\n"
    "  130  interrupted\n";

const Command* FindCommand(const std::vector<Command>& commands, const std::string& name) {
    for (const auto& c : commands)
        if (c.name == name) return &c;
    return nullptr;
}

std::string FlagLine(const FlagSpec& f) {
    std::string left = "  ";
    if (!f.alias.empty()) left += f.alias + ", ";
    left += f.name;
    if (f.arity == Arity::Value) left += " " + f.value;
    if (f.arity == Arity::Optional) left += " [" + f.value + "]";
    if (left.size() < 26)
        left.resize(26, ' ');
    else
        left += "  ";
    return left + f.help + "\n";
}

void MainHelp(std::ostream& out, const std::vector<Command>& commands) {
    out << "usage: termlink CONNECTION [OPTIONS] COMMAND [ARGS]\n\n"
           "Talks to a fingerprint time-attendance / access-control terminal.\n\n"
           "Commands:\n";
    for (const auto& c : commands) {
        std::string left = "  " + c.name;
        if (left.size() < 14)
            left.resize(14, ' ');
        else
            left += "  ";
        out << left << c.summary << "\n";
    }
    out << "\nConnection and output options:\n";
    for (const auto& f : GlobalFlags()) out << FlagLine(f);
    out << "\nPORT defaults to 4370. 'termlink help COMMAND' describes one command.\n\n"
        << kExitCodes;
}

void CommandHelp(std::ostream& out, const Command& c) {
    out << "usage: termlink CONNECTION " << c.name << (c.synopsis.empty() ? "" : " ") << c.synopsis
        << "\n\n"
        << c.summary << "\n";
    if (!c.details.empty()) out << "\n" << c.details << (c.details.back() == '\n' ? "" : "\n");
    if (!c.flags.empty()) {
        out << "\nOptions:\n";
        for (const auto& f : c.flags) out << FlagLine(f);
    }
}

// HOST[:PORT]
void SplitHostPort(const std::string& text, ConnectionOptions& conn, const std::string& flag) {
    auto colon = text.rfind(':');
    conn.host = text;
    if (colon != std::string::npos) {
        conn.host = text.substr(0, colon);
        std::string error;
        auto port = ParseInt(text.substr(colon + 1), 1, 65535, &error);
        if (!port) throw UsageError(flag + ": port " + error);
        conn.port = static_cast<int>(*port);
    }
    if (conn.host.empty()) throw UsageError(flag + ": no host given");
}

GlobalOptions ReadGlobals(const Args& args) {
    GlobalOptions g;
    auto& c = g.conn;
    int kinds = 0;
    if (auto v = args.Value("--net")) {
        c.kind = ConnectionOptions::Kind::Net;
        SplitHostPort(*v, c, "--net");
        ++kinds;
    }
    if (auto v = args.Value("--tcp")) {
        c.kind = ConnectionOptions::Kind::Tcp;
        SplitHostPort(*v, c, "--tcp");
        ++kinds;
    }
    if (auto v = args.Value("--com")) {
        c.kind = ConnectionOptions::Kind::Com;
        c.comName = *v;
        if (c.comName.empty()) throw UsageError("--com: no port name given");
        ++kinds;
    }
    if (args.Has("--usb")) {
        c.kind = ConnectionOptions::Kind::Usb;
        c.usbPort = static_cast<int>(args.Int("--usb", 0, 0, 255));
        ++kinds;
    }
    if (args.Has("--sim")) {
        c.kind = ConnectionOptions::Kind::Sim;
        c.simProfile = args.Get("--sim", "");
        ++kinds;
    }
    if (kinds > 1) throw UsageError("give only one of --net, --tcp, --com, --usb and --sim");
    if ((args.Has("--baud") || args.Has("--device")) && c.kind != ConnectionOptions::Kind::Com)
        throw UsageError("--baud and --device apply to --com only");
    c.baud = static_cast<int>(args.Int("--baud", 115200, 1, 4000000));
    c.device = static_cast<int>(args.Int("--device", 1, 0, 255));
    c.key = static_cast<int>(args.Int("--key", 0, 0, 2147483647));
    c.timeoutMs = static_cast<int>(args.Int("--timeout", 0, 1, 600000));
    if (args.Has("--json") && args.Has("--csv")) throw UsageError("give --json or --csv, not both");
    if (args.Has("--json")) g.format = Format::Json;
    if (args.Has("--csv")) g.format = Format::Csv;
    g.quiet = args.Has("--quiet");
    return g;
}

}  // namespace

std::vector<Command> AllCommands() {
    std::vector<Command> commands;
    AddSessionCommands(commands);
    AddConfigCommands(commands);
    AddAccessCommands(commands);
    AddContentCommands(commands);
    AddRecordCommands(commands);
    AddUserCommands(commands);
    AddFaceCommands(commands);
    AddTemplateCommands(commands);
    AddTransferCommands(commands);
    AddDeviceCommands(commands);
    AddMaintenanceCommands(commands);
    AddBackupCommands(commands);
    AddReportCommands(commands);
    return commands;
}

std::string DescribeConnection(const ConnectionOptions& c) {
    switch (c.kind) {
        case ConnectionOptions::Kind::Net:
            return "udp " + c.host + ":" + std::to_string(c.port);
        case ConnectionOptions::Kind::Tcp:
            return "tcp " + c.host + ":" + std::to_string(c.port);
        case ConnectionOptions::Kind::Com:
            return "serial " + c.comName + " at " + std::to_string(c.baud) + " baud, terminal " +
                   std::to_string(c.device);
        case ConnectionOptions::Kind::Usb:
            return "usb port " + std::to_string(c.usbPort);
        case ConnectionOptions::Kind::Sim:
            return "simulated terminal" + (c.simProfile.empty() ? "" : " (" + c.simProfile + ")");
        case ConnectionOptions::Kind::None:
            break;
    }
    return "no terminal";
}

Progress::Progress(bool enabled, std::ostream& err, std::string label)
    : enabled_(enabled), err_(err), label_(std::move(label)) {
    if (enabled_) err_ << label_ << "..." << std::flush;
}

Progress::~Progress() {
    if (enabled_) err_ << "\r\033[K" << std::flush;
}

void Progress::Update(long long count) {
    if (!enabled_ || count == last_) return;
    // Redrawing every record would cost more than the decoding itself.
    if (last_ >= 0 && count - last_ < 100) return;
    last_ = count;
    err_ << "\r\033[K" << label_ << ": " << count << std::flush;
}

Session& Context::session() {
    if (!session_) {
        if (global.conn.kind == ConnectionOptions::Kind::None)
            throw UsageError(
                "no terminal given: use --net HOST, --tcp HOST, --com NAME, --usb N or --sim");
        session_ = std::make_unique<Session>(global.conn);
    }
    return *session_;
}

void Context::Note(const std::string& text) const {
    if (!global.quiet) err << text << "\n";
}

// Why argv[at] is no command. When an option the tool does not know comes
// just before it (say "--port 5501"), the word was that option's value: the
// message says so, and what the connection options before it took.
static std::string UnknownCommand(const std::vector<std::string>& argv, std::size_t at,
                                  const std::vector<FlagSpec>& globals) {
    const std::string& word = argv[at];
    const auto known = [&](const std::string& tok) {
        const std::string name = tok.substr(0, tok.find('='));
        for (const auto& f : globals)
            if (f.name == name || (!f.alias.empty() && f.alias == name)) return &f;
        return static_cast<const FlagSpec*>(nullptr);
    };
    if (at == 0 || argv[at - 1].empty() || argv[at - 1][0] != '-' || known(argv[at - 1]))
        return "unknown command '" + word + "'";
    std::string text =
        "unknown option '" + argv[at - 1] + "', so '" + word + "' was taken as the command";
    std::string took;
    for (std::size_t i = 0; i + 1 < at - 1; ++i) {
        const FlagSpec* f = known(argv[i]);
        if (f && f->arity == Arity::Value && argv[i].find('=') == std::string::npos) {
            took += (took.empty() ? "" : ", ") + argv[i] + " took '" + argv[i + 1] + "'";
            ++i;
        }
    }
    if (!took.empty()) text += " (" + took + ")";
    if (argv[at - 1].rfind("--port", 0) == 0)
        text += "; a port goes with the host: --tcp HOST:PORT";
    return text;
}

int Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
        bool interactive) {
    const std::vector<Command> commands = AllCommands();
    try {
        // The command is the first word that is neither a flag nor a flag's value.
        const std::vector<FlagSpec> globals = GlobalFlags();
        auto isCommand = [&](const std::string& word) {
            return word == "help" || FindCommand(commands, word) != nullptr;
        };
        std::size_t cmdIndex = argv.size();
        for (std::size_t i = 0; i < argv.size(); ++i) {
            const std::string& tok = argv[i];
            if (tok == "--") break;
            if (!tok.empty() && tok[0] == '-') {
                const std::string name = tok.substr(0, tok.find('='));
                if (name.size() == tok.size()) {
                    for (const auto& f : globals) {
                        if (f.name != name) continue;
                        if (f.arity == Arity::Value) ++i;
                        if (f.arity == Arity::Optional && i + 1 < argv.size() &&
                            !argv[i + 1].empty() && argv[i + 1][0] != '-' &&
                            !isCommand(argv[i + 1]))
                            ++i;
                    }
                }
                continue;
            }
            cmdIndex = i;
            break;
        }
        if (cmdIndex == argv.size()) {
            const Args a =
                ParseArgs(argv, globals, [&](const std::string& w) { return !isCommand(w); });
            if (a.Has("--version")) {
                out << kVersion << "\n";
                return kExitOk;
            }
            if (a.Has("--help")) {
                MainHelp(out, commands);
                return kExitOk;
            }
            if (!a.positional.empty())
                throw UsageError("unknown command '" + a.positional[0] + "'");
            MainHelp(err, commands);
            return kExitUsage;
        }

        const std::string name = argv[cmdIndex];
        if (name == "help") {
            if (cmdIndex + 1 < argv.size()) {
                const Command* c = FindCommand(commands, argv[cmdIndex + 1]);
                if (!c) throw UsageError("unknown command '" + argv[cmdIndex + 1] + "'");
                CommandHelp(out, *c);
            } else {
                MainHelp(out, commands);
            }
            return kExitOk;
        }
        const Command* cmd = FindCommand(commands, name);
        if (!cmd) throw UsageError(UnknownCommand(argv, cmdIndex, globals));
        std::vector<FlagSpec> specs = globals;
        specs.insert(specs.end(), cmd->flags.begin(), cmd->flags.end());
        // Before the command a flag's optional value is any word that is not
        // a command; after it, words are the command's own arguments.
        const std::vector<std::string> before(argv.begin(), argv.begin() + cmdIndex);
        const std::vector<std::string> after(argv.begin() + cmdIndex + 1, argv.end());
        Args args = ParseArgs(before, specs, [&](const std::string& w) { return !isCommand(w); });
        if (!args.positional.empty())
            throw UsageError("unexpected '" + args.positional[0] + "' before the command");
        args.Merge(ParseArgs(after, specs));
        if (args.Has("--help")) {
            CommandHelp(out, *cmd);
            return kExitOk;
        }
        GlobalOptions global = ReadGlobals(args);
        global.interactive = interactive;
        Context ctx{global, args, out, err, nullptr};
        const int code = cmd->run(ctx);
        out.flush();
        return code;
    } catch (const UsageError& e) {
        err << "termlink: " << e.what() << "\n"
            << "Run 'termlink --help' for usage.\n";
        return e.exitCode();
    } catch (const ToolError& e) {
        out.flush();
        err << "termlink: " << e.what() << "\n";
        return e.exitCode();
    } catch (const std::exception& e) {
        err << "termlink: " << e.what() << "\n";
        return kExitFailed;
    }
}

int Number(const std::string& text, long long min, long long max, const std::string& what) {
    std::string error;
    auto v = ParseInt(text, min, max, &error);
    if (!v) throw UsageError(what + ": " + error);
    return static_cast<int>(*v);
}

const std::string& Arg(const Context& ctx, std::size_t i, const std::string& usage) {
    if (i >= ctx.args.positional.size()) throw UsageError(usage);
    return ctx.args.positional[i];
}

void NoMoreArgs(const Context& ctx, std::size_t count, const std::string& usage) {
    if (ctx.args.positional.size() > count)
        throw UsageError("unexpected '" + ctx.args.positional[count] + "'; usage: " + usage);
}

}  // namespace tlcli
