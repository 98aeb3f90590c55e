// Maintenance transfers: firmware, files, language texts, raw tables and the
// generic command.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/app.h"
#include "cli/errors.h"
#include "cli/firmware_text.h"
#include "cli/host.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError(kExitFile, "cannot read " + path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) throw ToolError(kExitFile, "cannot read " + path);
    return text;
}

int FirmwareCheckOnly(Context& ctx, const std::string& path) {
    const FirmwareCheck c = CheckFirmwareText(ReadText(path));
    Fields f;
    f.Add("file", Text(path));
    f.Add("version", c.version.empty() ? Null() : Text(c.version));
    f.Add("for_terminals", Text(c.version.empty()  ? "any (no version line)"
                                : c.forOsTerminals ? "with ~OS (PLT300_FirmwareVersion)"
                                                   : "without ~OS (FirmwareVersion)"));
    f.Add("length", Num(c.length));
    f.Add("decoded", Num(c.decoded));
    f.Add("declared_checksum", Num(c.declaredChecksum));
    f.Add("checksum", c.decoded == c.length && c.length > 0 ? Num(c.checksum) : Null());
    f.Add("valid", Bool(c.ok));
    if (!c.ok) f.Add("problem", Text(c.problem));
    WriteFields(ctx.out, f, ctx.format());
    return c.ok ? kExitOk : kExitFailed;
}

// Why the library refused a firmware file that the tool's own reading found
// whole: the file is for the other platform family, or else its version is
// not newer than the terminal's (the only other reasons it refuses).
std::string WhyRefused(TL_HANDLE h, const FirmwareCheck& file) {
    char os[256] = {};
    const bool terminalHasOs =
        TL_GetSysOption(h, "~OS", os) == 1 && os[0] != 0 && std::strcmp(os, "NONE") != 0;
    std::string text = "refused before sending: ";
    if (!file.version.empty() && file.forOsTerminals != terminalHasOs)
        return text + "it is for terminals " + (file.forOsTerminals ? "with" : "without") +
               " the \"~OS\" option (its version line is " +
               (file.forOsTerminals ? "PLT300_FirmwareVersion" : "FirmwareVersion") +
               "=), and this terminal is " + (terminalHasOs ? "one with" : "one without") + " it";
    char version[64] = {};
    const std::string mine = TL_GetFirmwareVersion(h, version) == 1
                                 ? std::string(version, strnlen(version, 50))
                                 : std::string("unknown");
    return text + "its version (" + file.version + ") is not newer than the terminal's (" + mine +
           ")";
}

int Firmware(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() == 2 && pos[0] == "check") return FirmwareCheckOnly(ctx, pos[1]);
    if (pos.size() != 1) throw UsageError("firmware: give FILE, or 'check FILE'");
    const std::string& path = pos[0];
    const FirmwareCheck local = CheckFirmwareText(ReadText(path));
    if (!local.ok) throw ToolError(kExitFailed, "firmware " + path + ": " + local.problem);
    TL_HANDLE h = ctx.session().handle();
    int r;
    {
        Ticker progress =
            ctx.MakeTicker("Sending firmware (" + std::to_string(local.length) + " bytes)");
        r = TL_UpdateFirmware(h, path.c_str());
    }
    if (r == 4) throw ToolError(kExitFailed, "firmware " + path + ": " + WhyRefused(h, local));
    Check(r, "installing the firmware");
    if (!ctx.quiet())
        ctx.out << "Firmware " << (local.version.empty() ? "image" : local.version)
                << " sent; the terminal installs it.\n";
    return kExitOk;
}

int File(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() == 2 && pos[0] == "send") {
        const std::string& path = pos[1];
        const std::string bytes = ReadText(path);
        if (bytes.size() > 1048576)
            throw UsageError("file send: " + path + " is larger than 1 MiB");
        const std::size_t slash = path.find_last_of(host::PathSeparators());
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty() || name.size() > 35)
            throw UsageError("file send: the file name must be 1-35 characters");
        int r;
        {
            Ticker progress = ctx.MakeTicker("Sending " + name);
            r = TL_SendFile(ctx.session().handle(), path.c_str());
        }
        Check(r, "sending " + name);
        if (!ctx.quiet()) ctx.out << "Sent " << name << " (" << bytes.size() << " bytes).\n";
        return kExitOk;
    }
    if (pos.size() == 2 && pos[0] == "get") {
        const std::string& name = pos[1];
        std::string dir = ctx.args.Get("--to", "");
        if (!dir.empty() && !std::strchr(host::PathSeparators(), dir.back())) dir += '/';
        if (name.empty() || dir.size() + name.size() > 199)
            throw UsageError("file get: folder and name together must stay below 200 characters");
        // A missing local folder is the user's to fix, not the terminal's:
        // checked before anything is asked of the terminal.
        std::error_code ec;
        if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
            throw ToolError(kExitFile, "file get: the folder " + ctx.args.Get("--to", "") +
                                           " does not exist or is not a folder");
        const int r = TL_ReadFile(ctx.session().handle(), name.c_str(), dir.c_str());
        Check(r, "reading " + name + " from the terminal");
        if (!ctx.quiet()) ctx.out << "Saved " << dir << name << ".\n";
        return kExitOk;
    }
    throw UsageError("file: 'send PATH' or 'get NAME [--to DIR]'");
}

int Language(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 2) throw UsageError("language: give ID and TEXT");
    std::string error;
    auto id = ParseInt(pos[0], 0, 2147483647LL, &error);
    if (!id) throw UsageError("language: ID " + error);
    if (pos[1].size() > 96) throw UsageError("language: TEXT may hold at most 96 bytes");
    Check(TL_UpdateLanguageByID(ctx.session().handle(), static_cast<int>(*id), pos[1].c_str()),
          "sending the language text");
    if (!ctx.quiet()) ctx.out << "Sent language text " << *id << ".\n";
    return kExitOk;
}

int TableGet(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 3 || pos[0] != "get") throw UsageError("table: 'get KIND FILE'");
    std::string error;
    auto kind = ParseInt(pos[1], 0, 255, &error);
    if (!kind) throw UsageError("table get: KIND " + error);
    const int r = TL_GetData(ctx.session().handle(), static_cast<int>(*kind), pos[2].c_str());
    if (r == 4) throw ToolError(kExitFile, "cannot write " + pos[2]);
    if (r == 0) {
        ctx.Note("The terminal sent nothing for table " + pos[1] + "; no file written.");
        return kExitNotFound;
    }
    Check(r, "reading table " + pos[1]);
    if (!ctx.quiet()) ctx.out << "Saved table " << *kind << " to " << pos[2] << ".\n";
    return kExitOk;
}

int GenericCommand(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 4) throw UsageError("command: give CODE A B C");
    int v[4];
    for (int i = 0; i < 4; ++i) {
        std::string error;
        auto n = ParseInt(pos[static_cast<std::size_t>(i)], i == 0 ? 0 : -2147483648LL,
                          i == 0 ? 65535 : 4294967295LL, &error);
        if (!n) throw UsageError("command: " + pos[static_cast<std::size_t>(i)] + ": " + error);
        v[i] = static_cast<int>(static_cast<unsigned int>(*n));
    }
    Check(TL_SendBackgroundCMD(ctx.session().handle(), v[0], v[1], v[2], v[3]),
          "command " + pos[0]);
    if (!ctx.quiet()) ctx.out << "The terminal accepted command " << pos[0] << ".\n";
    return kExitOk;
}

}  // namespace

void AddMaintenanceCommands(std::vector<Command>& commands) {
    commands.push_back({"firmware",
                        "FILE | check FILE",
                        "install a firmware text file, or check one offline",
                        "FILE is checked here first (length, data lines, checksum); the library\n"
                        "then refuses an image whose version is not newer than the terminal's\n"
                        "or that is for the other platform family, and sends nothing.\n"
                        "'check FILE' only reads the file: version, length, checksum, verdict.",
                        {},
                        true,
                        Firmware});
    commands.push_back({"file",
                        "send PATH | get NAME [--to DIR]",
                        "push a file (voice, picture, ...) to the terminal, or fetch one",
                        "send: the terminal stores it under its base name (at most 35\n"
                        "characters; files up to 1 MiB). get: saved as DIR/NAME (default: here),\n"
                        "written whole or not at all.",
                        {{"--to", Arity::Value, "DIR", "folder to save into"}},
                        true,
                        File});
    commands.push_back(
        {"language", "ID TEXT", "send a language text (at most 96 bytes)", "", {}, true, Language});
    commands.push_back({"table",
                        "get KIND FILE",
                        "save one of the terminal's raw tables to FILE",
                        "KIND: 1 attendance log, 2 fingerprint templates, 4 operation log,\n"
                        "5 users (others as the terminal knows them). The file holds the table's\n"
                        "bytes as the terminal keeps them.",
                        {},
                        true,
                        TableGet});
    commands.push_back({"command",
                        "CODE A B C",
                        "send any command code with three 32-bit arguments",
                        "For commands this tool has no name for; succeeds when the terminal\n"
                        "answers OK.",
                        {},
                        true,
                        GenericCommand});
}

}  // namespace tlcli
