// Fingerprint templates: templates, template get|set|delete|match.
#include <filesystem>
#include <fstream>

#include "cli/app.h"
#include "cli/errors.h"
#include "cli/fingerprint_io.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

constexpr std::size_t kMaxTemplateFile = 65536;

int Finger(const std::string& text) {
    std::string error;
    const auto v = ParseInt(text, 0, 15, &error);
    if (!v) throw UsageError("finger: " + error);
    return static_cast<int>(*v);
}

// A user as the terminal's users are named: a number on numeric terminals.
void CheckUserForm(const BioTraits& traits, const std::string& id) {
    if (traits.terminal.textIds) {
        if (id.empty() || id.size() > 24) throw UsageError("a user ID has 1 to 24 characters");
        return;
    }
    std::string error;
    if (!ParseInt(id, 1, traits.terminal.legacy ? 65534 : 2147483647, &error))
        throw UsageError("user " + id + ": " + error);
}

[[noreturn]] void NoSuchUser(const std::string& id) {
    throw ToolError(kExitNotFound, "no user " + id + " on the terminal");
}

std::vector<std::uint8_t> ReadTemplateFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw ToolError(kExitFile, "cannot read " + path + ": " + ec.message());
    if (size == 0 || size > kMaxTemplateFile)
        throw ToolError(kExitFile, path + ": a template file holds 1 to " +
                                       std::to_string(kMaxTemplateFile) + " bytes");
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!in) throw ToolError(kExitFile, "cannot read " + path);
    return data;
}

int Templates(Context& ctx) {
    if (!ctx.args.positional.empty()) throw UsageError("templates takes no arguments");
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    const auto users = ReadAllUsers(ctx, h, traits);
    const auto templates = ReadAllTemplates(ctx, h, traits, users);
    Table t;
    t.columns = {"user", "finger", "flag", "size", "layout"};
    for (const auto& tmp : templates) {
        t.Add({traits.terminal.textIds ? Text(tmp.user) : Num(std::stoll(tmp.user)),
               Num(tmp.finger), Num(tmp.flag), Num(static_cast<long long>(tmp.data.size())),
               Text(TemplateLayout(tmp.data.data(), tmp.data.size()))});
    }
    WriteTable(ctx.out, t, ctx.format());
    if (ctx.format() == Format::Table && !ctx.quiet())
        ctx.err << templates.size() << " template(s) of " << users.size() << " user(s).\n";
    return kExitOk;
}

int TemplateGet(Context& ctx, const std::string& id, int finger) {
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    CheckUserForm(traits, id);
    // Asked first: a number no user has would be read as an internal number.
    if (!UserExists(ctx, h, traits, id)) NoSuchUser(id);
    std::vector<std::uint8_t> buf(kMaxTemplateFile);
    int length = static_cast<int>(buf.size());
    int flag = -1;
    // Text-ID and version-10 terminals: the flagged read (containers travel
    // as table data there); others: the classic one.
    const bool ex = traits.terminal.textIds || traits.fingerprintVersion == 10;
    const int r = ex ? TL_GetUserTmpEx(h, id.c_str(), finger, &flag, buf.data(), &length)
                     : TL_GetUserTmp(h, std::stoi(id), finger, buf.data(), &length);
    const std::string what = "finger " + std::to_string(finger) + " of user " + id;
    if (r == 0) throw ToolError(kExitNotFound, "no template for " + what);
    Check(r, "reading the template for " + what);
    const auto noTemplate = [&] {
        return ToolError(kExitFailed,
                         "reading the template for " + what + ": the answer holds no template");
    };
    if (length <= 0 || length > static_cast<int>(buf.size())) throw noTemplate();
    std::size_t start = 0, size = static_cast<std::size_t>(length);
    if (traits.fingerprintVersion == 10) {
        // Read as table data: a u32 length (the template and the flag byte
        // the library took off) comes first.
        if (size < 4) throw noTemplate();
        const std::size_t announced =
            buf[0] | buf[1] << 8 | buf[2] << 16 | static_cast<std::size_t>(buf[3]) << 24;
        start = 4;
        size -= 4;
        if (announced < size || announced > size + 1) throw noTemplate();
    }
    if (size == 0) throw noTemplate();
    buf = std::vector<std::uint8_t>(buf.begin() + static_cast<long>(start),
                                    buf.begin() + static_cast<long>(start + size));
    Fields f;
    f.Add("user", traits.terminal.textIds ? Text(id) : Num(std::stoll(id)));
    f.Add("finger", Num(finger));
    f.Add("flag", traits.terminal.textIds && flag >= 0 ? Num(flag) : Null());
    f.Add("size", Num(static_cast<long long>(buf.size())));
    f.Add("layout", Text(TemplateLayout(buf.data(), buf.size())));
    if (ctx.args.Get("--output", "") == "-") {
        // The bytes alone on standard output, for a pipe.
        ctx.out.write(reinterpret_cast<const char*>(buf.data()),
                      static_cast<std::streamsize>(buf.size()));
        return kExitOk;
    }
    if (auto out = ctx.args.Value("--output")) {
        std::ofstream file(*out, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(buf.data()),
                   static_cast<std::streamsize>(buf.size()));
        file.close();
        if (!file) throw ToolError(kExitFile, "cannot write " + *out);
        f.Add("file", Text(*out));
    } else {
        f.Add("data", Text(Hex(buf.data(), buf.size())));
    }
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

int TemplateSet(Context& ctx, const std::string& id, int finger, const std::string& path) {
    const std::vector<std::uint8_t> data = ReadTemplateFile(path);
    const int flag = static_cast<int>(ctx.args.Int("--flag", 0, 0, 255));
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    CheckUserForm(traits, id);
    const bool container = TemplateLayout(data.data(), data.size()) == "container";
    if (container && traits.fingerprintVersion != 10)
        throw ToolError(kExitUnsupported, path +
                                              " is a version-10 template container; this "
                                              "terminal takes standard templates");
    if (flag != 0 && !FlagTravels(traits, data))
        throw UsageError("--flag: this terminal keeps a flag only with template containers");
    if (!UserExists(ctx, h, traits, id)) NoSuchUser(id);
    const int r = WriteTemplate(h, traits, id, finger, flag, data);
    const std::string what =
        "writing the template for finger " + std::to_string(finger) + " of user " + id;
    switch (r) {
        case -3:
            throw ToolError(kExitUsage, path +
                                            ": not a usable template (not decodable, 50 bytes or "
                                            "less, a container of the wrong length, or not "
                                            "shrinkable to the terminal's limit)");
        case -100:
            throw ToolError(kExitUnsupported,
                            what + ": this terminal takes version-10 template containers there");
        case 0:
        case -4:
            throw ToolError(kExitFailed, what + ": the terminal refused");
        default:
            Check(r, what);
    }
    if (!ctx.quiet())
        ctx.out << "Template for finger " << finger << " of user " << id << " written.\n";
    return kExitOk;
}

int TemplateDelete(Context& ctx, const std::string& id, int finger) {
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    CheckUserForm(traits, id);
    if (!UserExists(ctx, h, traits, id)) NoSuchUser(id);
    const int r = traits.terminal.textIds ? SSR_TL_DelUserTmp(h, id.c_str(), finger)
                                          : TL_DelUserTmp(h, std::stoi(id), finger);
    if (r == 0)
        throw ToolError(kExitNotFound,
                        "no template for finger " + std::to_string(finger) + " of user " + id);
    Check(r, "deleting the template for finger " + std::to_string(finger) + " of user " + id);
    if (!ctx.quiet())
        ctx.out << "Deleted the template for finger " << finger << " of user " << id << ".\n";
    return kExitOk;
}

int TemplateMatch(Context& ctx, const std::string& path) {
    const std::vector<std::uint8_t> data = ReadTemplateFile(path);
    std::vector<std::uint8_t> buf(std::max<std::size_t>(data.size(), 32768), 0);
    std::copy(data.begin(), data.end(), buf.begin());
    TL_HANDLE h = ctx.session().handle();
    const BioTraits traits = ReadBioTraits(h);
    int number = 0;
    const int r = TL_TestUserTmp(h, &number, buf.data());
    if (r == -3) throw ToolError(kExitUsage, path + ": not a decodable fingerprint template");
    if (r == 0) throw ToolError(kExitNotFound, "no user on the terminal has this template");
    Check(r, "identifying the template");
    Fields f;
    if (traits.terminal.textIds) {
        // The terminal names the user by internal number; the user table
        // knows the ID.
        std::string id;
        for (const auto& u : ReadAllUsers(ctx, h, traits))
            if (u.pin == number) id = u.user.user;
        if (id.empty())
            throw ToolError(kExitNotFound, "the terminal named internal number " +
                                               std::to_string(number) + ", which no user has");
        f.Add("user", Text(id));
    } else {
        f.Add("user", Num(number));
    }
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

int Template(Context& ctx) {
    const auto& pos = ctx.args.positional;
    const std::string usage =
        "template get USER FINGER [-o FILE] | set USER FINGER FILE [--flag N] | "
        "delete USER FINGER | match FILE";
    if (pos.empty()) throw UsageError("usage: " + usage);
    const std::string& action = pos[0];
    auto want = [&](std::size_t n) {
        if (pos.size() != n) throw UsageError("usage: " + usage);
    };
    if (ctx.args.Has("--output") && action != "get")
        throw UsageError("-o/--output applies to template get only");
    if (ctx.args.Has("--flag") && action != "set")
        throw UsageError("--flag applies to template set only");
    if (action == "get") {
        want(3);
        return TemplateGet(ctx, pos[1], Finger(pos[2]));
    }
    if (action == "set") {
        want(4);
        return TemplateSet(ctx, pos[1], Finger(pos[2]), pos[3]);
    }
    if (action == "delete") {
        want(3);
        return TemplateDelete(ctx, pos[1], Finger(pos[2]));
    }
    if (action == "match") {
        want(2);
        return TemplateMatch(ctx, pos[1]);
    }
    throw UsageError("template: unknown action '" + action + "'; usage: " + usage);
}

}  // namespace

void AddTemplateCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"templates",
         "",
         "list the fingerprint templates on the terminal",
         "One row per template: user, finger (0-9; 15 on terminals with fingerprint\n"
         "version 10), flag, size in bytes and layout: A, B or C for standard\n"
         "templates, 'container' for version-10 containers. The template table is\n"
         "downloaded once and each user's fingers are looked up in it.",
         {},
         true,
         Templates});
    commands.push_back(
        {"template",
         "get USER FINGER [-o FILE] | set USER FINGER FILE [--flag N] | delete USER FINGER | "
         "match FILE",
         "read, write, delete or identify one fingerprint template",
         "USER is the number people enrol with (the text ID on text-ID terminals);\n"
         "FINGER is 0-15. get shows the template in hexadecimal, or writes its bytes\n"
         "to FILE. set sends FILE's bytes: a standard template (normalised, and\n"
         "shrunk to the terminal's limit when longer) or, on version-10 terminals,\n"
         "a template container. match asks the terminal which user holds FILE.",
         {{"--output", Arity::Value, "FILE",
           "get: write the template's bytes to FILE ('-': standard output)", "-o"},
          {"--flag", Arity::Value, "N", "set: the template's flag byte (default 0)"}},
         true,
         Template});
}

}  // namespace tlcli
