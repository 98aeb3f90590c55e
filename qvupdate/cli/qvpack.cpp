// qvpack: builds an update pack from section files (armouring the option
// lines of the configuration) and lists what a pack holds.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/cli.h"
#include "core/number_text.h"
#include "core/pack.h"
#include "core/pack_line.h"

namespace qvupdate::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: qvpack -o OUT [--kind N] [--firmware FILE] [--voice FILE] [--language FILE]\n"
    "              [--config FILE] [--extra FILE]\n"
    "       qvpack --list PACKFILE\n"
    "The configuration file holds option lines (name=value), at most 63 characters each.\n"
    "Exit status: 0 done, 2 bad command line, 4 a file cannot be read or written.\n";

constexpr std::array<const char*, kPackSections> kSectionOption = {
    "--firmware", "--voice", "--language", "--config", "--extra"};
constexpr std::array<const char*, kPackSections> kSectionName = {"firmware", "voice", "language",
                                                                 "configuration", "extra"};

bool Slurp(const std::string& path, std::string& out) {
    if (fs::is_directory(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return false;
    out = s.str();
    return true;
}

// The armoured configuration: one armoured line per option line, CR LF
// after each. Empty lines are left out.
bool ArmourConfig(const std::string& path, const std::string& text, std::string& out,
                  std::ostream& err) {
    std::size_t number = 0;
    for (const auto& line : SplitPackLines(text)) {
        ++number;
        if (line.empty()) continue;
        auto armoured = EncodePackLine(line);
        if (!armoured) {
            err << "qvpack: " << path << " line " << number << " has " << line.size()
                << " characters; an option line can hold at most " << kMaxArmouredLine << ": "
                << line << "\n";
            return false;
        }
        out += *armoured + "\r\n";
    }
    return true;
}

// Writes beside OUT first and renames, so OUT is either the whole pack or
// untouched.
bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string temp = path + ".partial-" + std::to_string(::getpid());
    {
        std::ofstream o(temp, std::ios::binary | std::ios::trunc);
        if (o)
            o.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
        if (o) o.flush();
        if (!o) {
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

int List(const std::string& path, std::ostream& out, std::ostream& err) {
    const PackRead r = ReadPackFile(path);
    if (r.error != PackError::None) {
        err << "qvpack: " << r.message << "\n";
        return kExitPack;
    }
    const Pack& p = r.pack;
    auto hex = [](unsigned v) {
        std::ostringstream s;
        s << "0x" << std::uppercase << std::hex << std::setw(2) << std::setfill('0') << v;
        return s.str();
    };
    out << "kind: " << hex(p.kind) << "\n";
    out << "flags: " << hex(p.flags);
    for (std::size_t i = 0; i < kPackSections; ++i)
        if (p.flags & kSectionFlag[i]) out << " " << kSectionName[i];
    out << "\n";
    if (!p.Accepted()) out << "qvupdate refuses this pack (kind above 0x6F or flags above 31)\n";
    for (std::size_t i = 0; i < kPackSections; ++i)
        out << "section " << i + 1 << " " << kSectionName[i] << ": " << p.sections[i].size()
            << " bytes\n";
    const auto& c = p.sections[kConfig];
    if (!c.empty()) {
        out << "configuration lines:\n";
        for (const auto& line :
             SplitPackLines(std::string_view(reinterpret_cast<const char*>(c.data()), c.size())))
            out << "  " << DecodePackLine(line) << "\n";
    }
    return kExitOk;
}

}  // namespace

int RunQvpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> output, kind, list;
    std::array<std::optional<std::string>, kPackSections> files;
    std::string problem;
    for (std::size_t i = 0; i < args.size() && problem.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return kExitOk;
        }
        std::optional<std::string>* slot = nullptr;
        if (arg == "-o")
            slot = &output;
        else if (arg == "--kind")
            slot = &kind;
        else if (arg == "--list")
            slot = &list;
        for (std::size_t s = 0; s < kPackSections; ++s)
            if (arg == kSectionOption[s]) slot = &files[s];
        if (!slot)
            problem = "unknown argument " + arg;
        else if (*slot)
            problem = arg + " given twice";
        else if (i + 1 >= args.size())
            problem = arg + " needs a value";
        else
            *slot = args[++i];
    }
    if (problem.empty() && list && (output || kind)) problem = "--list takes no other option";
    if (problem.empty() && list)
        for (const auto& f : files)
            if (f) problem = "--list takes no other option";
    if (problem.empty() && !list && !output) problem = "no output file (-o OUT)";
    // A pack without sections would update nothing: it is a mistake, not a
    // pack anyone means to send.
    if (problem.empty() && !list &&
        std::none_of(files.begin(), files.end(), [](const auto& f) { return f.has_value(); }))
        problem =
            "no section to pack: give at least one of --firmware, --voice, --language, "
            "--config or --extra";
    Pack pack;
    if (problem.empty() && kind) {
        auto n = ParseWholeNumber(*kind, NumberForm::Decimal);
        if (!n || *n < 0 || *n > 255)
            problem = "--kind \"" + *kind + "\" is not a whole number from 0 to 255";
        else
            pack.kind = static_cast<std::uint8_t>(*n);
    }
    if (!problem.empty()) {
        err << "qvpack: " << problem << "\n" << kUsage;
        return kExitUsage;
    }
    if (list) return List(*list, out, err);

    for (std::size_t s = 0; s < kPackSections; ++s) {
        if (!files[s]) continue;
        std::string bytes;
        if (!Slurp(*files[s], bytes)) {
            err << "qvpack: cannot read " << *files[s] << "\n";
            return kExitPack;
        }
        if (s == kConfig) {
            std::string armoured;
            if (!ArmourConfig(*files[s], bytes, armoured, err)) return kExitPack;
            bytes = std::move(armoured);
        }
        if (bytes.size() > 0x7FFFFFFFu) {
            err << "qvpack: " << *files[s] << " is too large for a pack\n";
            return kExitPack;
        }
        pack.sections[s].assign(bytes.begin(), bytes.end());
        pack.flags = static_cast<std::uint8_t>(pack.flags | kSectionFlag[s]);
        if (s != kExtra && bytes.size() <= 4)
            err << "qvpack: warning: the " << kSectionName[s]
                << " section holds 4 bytes or fewer; qvupdate skips it\n";
    }
    if (!WriteWhole(*output, BuildPack(pack))) {
        err << "qvpack: cannot write " << *output << "\n";
        return kExitPack;
    }
    return kExitOk;
}

}  // namespace qvupdate::cli
