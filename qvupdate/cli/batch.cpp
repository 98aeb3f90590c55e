// qvupdate --batch: parses the connection, runs the update and turns its end
// into output and an exit status.
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "core/number_text.h"
#include "core/update.h"

#ifndef QVUPDATE_VERSION
#define QVUPDATE_VERSION "0"
#endif

namespace qvupdate::cli {
namespace {

constexpr const char* kUsage =
    "usage: qvupdate                     the dialog window\n"
    "       qvupdate --batch CONNECTION PACKFILE\n"
    "CONNECTION:\n"
    "       --net HOST[:PORT]            network terminal (port 4370 by default)\n"
    "       --com NAME [--device N] [--baud N]\n"
    "                                    serial terminal (device 1, 115200 baud by default)\n"
    "Exit status: 0 every section applied, 1 a section failed, 2 bad command line,\n"
    "3 no connection, 4 pack file missing, unreadable, short or refused.\n";

struct BatchArgs {
    std::optional<std::string> net, com, device, baud, pack;
};

// Fills `a` or says what is wrong.
std::string Parse(const std::vector<std::string>& args, BatchArgs& a) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<std::string>& slot) -> std::string {
            if (slot) return arg + " given twice";
            if (i + 1 >= args.size()) return arg + " needs a value";
            slot = args[++i];
            return {};
        };
        std::string problem;
        if (arg == "--batch") continue;
        if (arg == "--net")
            problem = value(a.net);
        else if (arg == "--com")
            problem = value(a.com);
        else if (arg == "--device")
            problem = value(a.device);
        else if (arg == "--baud")
            problem = value(a.baud);
        else if (arg.size() > 1 && arg[0] == '-')
            problem = "unknown option " + arg;
        else if (a.pack)
            problem = "more than one pack file given";
        else
            a.pack = arg;
        if (!problem.empty()) return problem;
    }
    if (a.net.has_value() == a.com.has_value()) return "give one connection: --net or --com";
    if (a.net && (a.device || a.baud)) return "--device and --baud go with --com";
    if (!a.pack) return "no pack file given";
    return {};
}

std::string Number(const std::optional<std::string>& text, int fallback, const char* what,
                   int& out) {
    if (!text) {
        out = fallback;
        return {};
    }
    auto n = ParseWholeNumber(*text, NumberForm::Decimal);
    if (!n) return std::string(what) + " \"" + *text + "\" is not a whole number";
    out = *n;
    return {};
}

std::string ToLink(const BatchArgs& a, Link& link) {
    if (a.net) {
        std::string host = *a.net;
        int port = 4370;
        if (auto colon = host.rfind(':'); colon != std::string::npos) {
            auto n =
                ParseWholeNumber(std::string_view(host).substr(colon + 1), NumberForm::Decimal);
            if (!n) return "port \"" + host.substr(colon + 1) + "\" is not a whole number";
            port = *n;
            host.resize(colon);
        }
        if (host.empty()) return "--net needs a host";
        link = Link{Link::Kind::Network, host, port, 0};
        return {};
    }
    int device = 1, baud = 115200;
    if (auto p = Number(a.device, 1, "device number", device); !p.empty()) return p;
    if (auto p = Number(a.baud, 115200, "baud", baud); !p.empty()) return p;
    // "COMn" is read as the dialog reads it (trimmed, upper case); anything
    // else is a device path, passed on as written.
    link = LinkFromFields(*a.com, device, baud);
    if (link.kind != Link::Kind::Serial) link = Link{Link::Kind::Serial, *a.com, device, baud};
    return {};
}

}  // namespace

int RunQvupdate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const Hooks& hooks) {
    bool batch = false;
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return kExitOk;
        }
        if (a == "--version") {
            out << "qvupdate " << QVUPDATE_VERSION << "\n";
            return kExitOk;
        }
        batch = batch || a == "--batch";
    }
    BatchArgs parsed;
    std::string problem =
        batch ? Parse(args, parsed) : "the window takes no arguments; use --batch";
    Link link;
    if (problem.empty()) problem = ToLink(parsed, link);
    if (!problem.empty()) {
        err << "qvupdate: " << problem << "\n" << kUsage;
        return kExitUsage;
    }

    const UpdateReport r = RunUpdate(link, *parsed.pack, hooks);
    switch (r.end) {
        case UpdateEnd::NoConnection:
            err << "qvupdate: no connection to " << link.address << "\n";
            return kExitNoConnection;
        case UpdateEnd::NoFile:
            err << "qvupdate: no such pack file: " << *parsed.pack << "\n";
            return kExitPack;
        case UpdateEnd::BadPack:
            err << "qvupdate: pack refused: " << r.error << "\n";
            return kExitPack;
        case UpdateEnd::Refused:
            err << text::kWrongPack << "\n";
            return kExitPack;
        case UpdateEnd::Done:
            break;
    }
    for (const auto& m : r.messages) out << m << "\n";
    return r.failed ? kExitSectionFailed : kExitOk;
}

}  // namespace qvupdate::cli
