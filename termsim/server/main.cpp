// termsim: a simulated terminal served over UDP and TCP on one port and over
// pseudo-terminals for the serial and USB plug-ins.
//
//   termsim [--port N] [--bind ADDR] [--ptys N] [--station N] [--key N]
//           [--profile NAME] [--state FILE] [--users N] [--punches N] [--seed N]
//           [--drop P] [--dup P] [--reorder P] [--delay MS] [--cut BYTES]
//           [--serial TEXT] [--no-tcp] [--no-udp]
//
// While running, lines on standard input change the network faults:
// "drop P", "dup P", "reorder P", "delay MS", "cut BYTES", "clear";
// "finish" completes the running enrolment, verification or identification
// as if the person at the sensor were done; "punch PIN [STATE]" is a user at
// the keypad; "serial TEXT" swaps the serial number (a replaced terminal);
// "save FILE" writes the state; "quit" stops it (as do SIGINT and SIGTERM).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "termsim/model.h"
#include "termsim/server.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

constexpr const char* kSynopsis =
    "usage: termsim [--port N] [--bind ADDR] [--ptys N] [--station N] [--key N]\n"
    "               [--profile legacy|classic|extended|tft|fp10] [--state FILE]\n"
    "               [--users N] [--punches N] [--seed N]\n"
    "               [--drop P] [--dup P] [--reorder P] [--delay MS] [--cut BYTES]\n"
    "               [--serial TEXT] [--no-tcp] [--no-udp]\n";

// One line per option for --help (and the manual page built from it).
struct OptionHelp {
    const char* flag;
    const char* text;
};
constexpr OptionHelp kOptions[] = {
    {"--port N", "TCP and UDP port (default 4370; 0 picks a free one)"},
    {"--bind ADDR", "address to listen on (default 127.0.0.1)"},
    {"--ptys N", "pseudo-terminals to serve for the serial and USB plug-ins (default 1)"},
    {"--station N", "the terminal's number on the serial line (default 1)"},
    {"--key N", "communication key the terminal expects (default 0)"},
    {"--profile NAME", "firmware generation: legacy, classic, extended, tft or fp10"},
    {"--state FILE", "load the terminal's state from FILE"},
    {"--users N", "generate N users of sample data"},
    {"--punches N", "generate N attendance records of sample data"},
    {"--seed N", "seed for the generated sample data"},
    {"--drop P", "lose each frame, either way, with probability P (0 to 1)"},
    {"--dup P", "send each outgoing frame twice with probability P"},
    {"--reorder P", "hold an outgoing frame back behind the next with probability P"},
    {"--delay MS", "pause MS milliseconds before every outgoing frame (up to 60000)"},
    {"--cut BYTES", "close each link once BYTES bytes were sent on it"},
    {"--serial TEXT", "the terminal's serial number (\"~SerialNumber\")"},
    {"--no-tcp", "do not listen on TCP"},
    {"--no-udp", "do not listen on UDP"},
    {"--help", "show this help"},
};

void Usage() {
    std::fputs(kSynopsis, stderr);
}

// A command-line mistake: what was wrong, then the usage; exit status 2.
[[noreturn]] void Refuse(const std::string& why) {
    std::fprintf(stderr, "termsim: %s\n", why.c_str());
    Usage();
    std::exit(2);
}

// A whole decimal number in [min, max] for `flag`, else a refusal naming both.
long long Number(const std::string& flag, const std::string& text, long long min, long long max) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || v < min || v > max)
        Refuse(flag + " takes a whole number from " + std::to_string(min) + " to " +
               std::to_string(max) + ", not '" + text + "'");
    return v;
}

void Help() {
    std::fputs(kSynopsis, stdout);
    std::fputs("\nServes a simulated fingerprint time-attendance terminal.\n\nOptions:\n", stdout);
    for (const auto& o : kOptions) std::printf("  %-22s%s\n", o.flag, o.text);
    std::fputs(
        "\nWhile running, lines on standard input control it:\n"
        "  drop P, dup P, reorder P, delay MS, cut BYTES\n"
        "                        change the network faults\n"
        "  clear                 remove every network fault\n"
        "  finish                complete the running enrolment or verification\n"
        "  punch PIN [STATE]     user PIN punches at the keypad now (state 0 by default)\n"
        "  serial TEXT           change the serial number\n"
        "  save FILE             write the terminal's state to FILE\n"
        "  quit                  stop (as do SIGINT and SIGTERM)\n",
        stdout);
}

// Applies one fault setting ("drop 0.05"); false when the line is not one.
bool ApplyFault(pmx::FaultConfig& f, const std::string& name, const std::string& value) {
    char* end = nullptr;
    if (name == "drop" || name == "dup" || name == "reorder") {
        double p = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || p < 0 || p > 1) return false;
        (name == "drop" ? f.drop : name == "dup" ? f.duplicate : f.reorder) = p;
        return true;
    }
    long long v = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || *end) return false;
    if (name == "delay" && v >= 0 && v <= 60000) {
        f.delayMs = static_cast<int>(v);
        return true;
    }
    if (name == "cut") {
        f.cutAfterBytes = v;
        return true;
    }
    return false;
}

// The model commands of standard input: punch, serial, save.
void ModelCommand(termsim::Model& model, const std::string& name, const std::string& value,
                  std::istringstream& rest) {
    if (name == "serial" && !value.empty()) {
        model.SetOption("~SerialNumber", value);
        std::printf("termsim: serial number %s\n", value.c_str());
    } else if (name == "save" && !value.empty()) {
        std::string error;
        if (model.Save(value, &error))
            std::printf("termsim: saved %s\n", value.c_str());
        else
            std::printf("termsim: cannot save %s: %s\n", value.c_str(), error.c_str());
    } else if (name == "punch") {
        char* end = nullptr;
        const long pin = std::strtol(value.c_str(), &end, 10);
        int state = 0;
        rest >> state;
        termsim::Punch p;
        bool known = false;
        for (const auto& u : model.Users()) {
            if (!value.empty() && !*end && u.pin == pin) {
                p.pin = u.pin;
                p.pin2 = u.pin2;
                p.id = u.id;
                known = true;
            }
        }
        p.time = model.Clock();
        p.state = static_cast<std::uint8_t>(state);
        if (!known)
            std::printf("termsim: no user with PIN %s\n", value.c_str());
        else if (!model.AddPunch(p))
            std::printf("termsim: punch refused: the terminal is disabled\n");
        else
            std::printf("termsim: punch PIN %ld state %d at %u\n", pin, state, p.time);
    } else {
        std::printf("termsim: usage: punch PIN [STATE] | serial TEXT | save FILE\n");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    termsim::ServeOptions serve;
    serve.port = 4370;
    serve.ptys = 1;
    termsim::Config config;
    termsim::GenerateParams plan;
    bool generate = false;
    std::string stateFile;
    std::optional<std::string> serial;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) Refuse(a + " needs a value");
            return argv[++i];
        };
        auto number = [&](long long min, long long max) { return Number(a, next(), min, max); };
        if (a == "--help" || a == "-h") {
            Help();
            return 0;
        }
        if (a == "--port")
            serve.port = static_cast<int>(number(0, 65535));
        else if (a == "--bind")
            serve.bindAddress = next();
        else if (a == "--ptys")
            serve.ptys = static_cast<int>(number(0, 64));
        else if (a == "--station")
            serve.station = static_cast<std::uint32_t>(number(0, 4294967295LL));
        else if (a == "--key")
            config.commKey = static_cast<std::uint32_t>(number(0, 4294967295LL));
        else if (a == "--profile") {
            const std::string name = next();
            auto p = termsim::ParseProfile(name);
            if (!p)
                Refuse("unknown profile '" + name +
                       "'; the profiles are legacy, classic, extended, tft and fp10");
            config.profile = *p;
        } else if (a == "--state")
            stateFile = next();
        else if (a == "--users")
            plan.users = static_cast<int>(number(0, 65534)), generate = true;
        else if (a == "--punches")
            plan.punches = static_cast<int>(number(0, 10000000)), generate = true;
        else if (a == "--seed")
            plan.seed = static_cast<std::uint64_t>(number(0, 9223372036854775807LL)),
            generate = true;
        else if (a == "--serial")
            serial = next();
        else if (a == "--no-tcp")
            serve.tcp = false;
        else if (a == "--no-udp")
            serve.udp = false;
        else if (a == "--drop" || a == "--dup" || a == "--reorder" || a == "--delay" ||
                 a == "--cut") {
            const std::string value = next();
            if (!ApplyFault(serve.faults, a.substr(2), value))
                Refuse(a + " cannot take '" + value + "' (probabilities 0 to 1, --delay 0 to " +
                       "60000 ms, --cut a byte count)");
        } else {
            Refuse("unknown option '" + a + "'");
        }
    }

    termsim::Model model(config);
    if (!stateFile.empty()) {
        std::string error;
        if (!model.Load(stateFile, &error)) {
            std::fprintf(stderr, "termsim: %s: %s\n", stateFile.c_str(), error.c_str());
            return 1;
        }
    } else if (generate) {
        model.Generate(plan);
    }

    if (serial) model.SetOption("~SerialNumber", *serial);

    termsim::TerminalServer server(model, serve);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "termsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("termsim: %s terminal \"%s\" on %s port %d (%s%s%s)\n",
                termsim::ProfileName(model.GetProfile()), model.Version().c_str(),
                serve.bindAddress.c_str(), server.Port(), serve.tcp ? "tcp" : "",
                serve.tcp && serve.udp ? ", " : "", serve.udp ? "udp" : "");
    for (const auto& path : server.PtyPaths()) std::printf("termsim: pty %s\n", path.c_str());
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::mutex faultMutex;
    pmx::FaultConfig faults = serve.faults;
    std::thread([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream in(line);
            std::string name, value;
            in >> name >> value;
            if (name.empty()) continue;
            if (name == "quit") {
                g_stop = 1;
                return;
            }
            if (name == "finish") {
                const auto done = model.FinishCapture();
                if (done)
                    std::printf("termsim: capture finished (state %u, PIN %u)\n",
                                static_cast<unsigned>(done->state), unsigned{done->pin});
                else
                    std::printf("termsim: no capture running\n");
                std::fflush(stdout);
                continue;
            }
            if (name == "punch" || name == "serial" || name == "save") {
                ModelCommand(model, name, value, in);
                continue;
            }
            std::lock_guard<std::mutex> lock(faultMutex);
            if (name == "clear") {
                faults = pmx::FaultConfig{};
            } else if (!ApplyFault(faults, name, value)) {
                std::fprintf(stderr, "termsim: unknown command: %s\n", line.c_str());
                continue;
            }
            server.SetFaults(faults);
            std::printf("termsim: faults drop %.3f dup %.3f reorder %.3f delay %d cut %lld\n",
                        faults.drop, faults.duplicate, faults.reorder, faults.delayMs,
                        faults.cutAfterBytes);
            std::fflush(stdout);
        }
    }).detach();

    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.Stop();
    return 0;
}
