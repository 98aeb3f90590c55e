// Faces and enrolment control: face get|set|delete, enroll, verify,
// identify, cancel, state.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "cli/app.h"
#include "cli/errors.h"
#include "client/terminal.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

constexpr int kMaxFace = 131072;

int ParseNumber(const std::string& text, long long min, long long max, const std::string& what) {
    std::string error;
    auto v = ParseInt(text, min, max, &error);
    if (!v) throw UsageError(what + ": " + error);
    return static_cast<int>(*v);
}

// The face exports read the user ID as a whole 24-byte field.
struct IdField {
    char bytes[24] = {};
    explicit IdField(const std::string& id) {
        if (id.empty() || id.size() > sizeof bytes)
            throw UsageError("a user ID has 1 to 24 characters");
        std::memcpy(bytes, id.data(), id.size());
    }
};

int FaceGet(Context& ctx, const std::string& id, int index) {
    const IdField field(id);
    std::vector<unsigned char> buffer(kMaxFace + 4);
    int length = static_cast<int>(buffer.size());
    const std::string what = "reading face " + std::to_string(index) + " of user " + id;
    const int r =
        TL_GetUserFace(ctx.session().handle(), field.bytes, index, buffer.data(), &length);
    if (r == 0)
        throw ToolError(kExitNotFound, "no face " + std::to_string(index) + " of user " + id);
    Check(r, what);
    // The answer: a 4-byte little-endian face length, then the face. Only
    // what arrived counts.
    if (length < 4 || length > static_cast<int>(buffer.size()))
        throw ToolError(kExitFailed, what + ": the terminal's answer made no sense");
    const std::uint32_t size =
        buffer[0] | buffer[1] << 8 | buffer[2] << 16 | static_cast<std::uint32_t>(buffer[3]) << 24;
    if (size > static_cast<std::uint32_t>(length - 4))
        throw ToolError(kExitFailed, what + ": the face arrived incomplete");
    const char* face = reinterpret_cast<const char*>(buffer.data() + 4);
    if (auto path = ctx.args.Value("--output")) {
        if (*path == "-") {
            ctx.out.write(face, size);
            return kExitOk;
        }
        std::ofstream file(*path, std::ios::binary | std::ios::trunc);
        if (file) file.write(face, size);
        if (file) file.flush();
        if (!file) throw ToolError(kExitFile, "cannot write " + *path);
        if (!ctx.quiet()) ctx.err << "Wrote " << size << " bytes to " << *path << ".\n";
        return kExitOk;
    }
    Fields f;
    f.Add("user", Text(id));
    f.Add("index", Num(index));
    f.Add("bytes", Num(size));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

int FaceSet(Context& ctx, const std::string& id, int index, const std::string& path) {
    const IdField field(id);
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError(kExitFile, "cannot read " + path);
    std::vector<unsigned char> face((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (file.bad()) throw ToolError(kExitFile, "cannot read " + path);
    if (face.empty() || face.size() > static_cast<std::size_t>(kMaxFace))
        throw UsageError(path + ": a face has 1 to 131072 bytes");
    const std::string what = "writing face " + std::to_string(index) + " of user " + id;
    const int r = TL_SetUserFace(ctx.session().handle(), field.bytes, index, face.data(),
                                 static_cast<int>(face.size()));
    if (r == 0 || r == -4 || r == -5) throw ToolError(kExitFailed, what + ": the terminal refused");
    Check(r, what);
    if (!ctx.quiet())
        ctx.out << "Wrote face " << index << " of user " << id << " (" << face.size()
                << " bytes).\n";
    return kExitOk;
}

int FaceDelete(Context& ctx, const std::string& id, int index) {
    const IdField field(id);
    const int r = TL_DelUserFace(ctx.session().handle(), field.bytes, index);
    if (r == 0)
        throw ToolError(kExitNotFound, "no face " + std::to_string(index) + " of user " + id);
    Check(r, "deleting face " + std::to_string(index) + " of user " + id);
    if (!ctx.quiet()) ctx.out << "Deleted face " << index << " of user " << id << ".\n";
    return kExitOk;
}

int Face(Context& ctx) {
    const auto& pos = ctx.args.positional;
    const std::string usage = "face get ID INDEX [-o FILE] | set ID INDEX FILE | delete ID INDEX";
    const std::string action = pos.empty() ? "" : pos[0];
    if (action != "get" && action != "set" && action != "delete")
        throw UsageError(action.empty() ? "usage: " + usage
                                        : "face: unknown action '" + action + "'; usage: " + usage);
    if (pos.size() != (action == "set" ? 4u : 3u)) throw UsageError("usage: " + usage);
    if (ctx.args.Has("--output") && action != "get")
        throw UsageError("--output applies to face get only");
    const int index = ParseNumber(pos[2], 0, 255, "face index");
    if (action == "get") return FaceGet(ctx, pos[1], index);
    if (action == "set") return FaceSet(ctx, pos[1], index, pos[3]);
    return FaceDelete(ctx, pos[1], index);
}

// A start or cancel: 1 is accepted; anything else is the library's refusal
// (4) or what the transport returned for the terminal's refusal.
void CheckCapture(int result, const std::string& what) {
    if (result == 1) return;
    if (result == 4 || result == -1) FailResult(result, what);
    if (result < 0) FailResult(-2, what);  // no answer: the transport says why
    throw ToolError(kExitFailed,
                    what + ": the terminal refused (" + std::to_string(result) + " reply bytes)");
}

void NoArguments(const Context& ctx, const char* command) {
    if (!ctx.args.positional.empty())
        throw UsageError(std::string(command) + " takes no arguments");
}

int Enroll(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 2) throw UsageError("usage: enroll ID FINGER [--flag N]");
    const std::string& id = pos[0];
    const int finger = ParseNumber(pos[1], 0, 255, "finger");
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    const std::string what = "starting the enrolment of user " + id;
    if (traits.textIds || ctx.args.Has("--flag")) {
        if (id.empty() || id.size() > 24) throw UsageError("a user ID has 1 to 24 characters");
        const int flag = static_cast<int>(ctx.args.Int("--flag", 0, 0, 255));
        CheckCapture(TL_StartEnrollEx(h, id.c_str(), finger, flag), what);
    } else {
        CheckCapture(TL_StartEnroll(h, ParseNumber(id, 1, 2147483647, "user"), finger), what);
    }
    if (!ctx.quiet())
        ctx.out << "Enrolment of finger " << finger << " of user " << id << " started.\n";
    return kExitOk;
}

int Verify(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 2) throw UsageError("usage: verify ID FINGER");
    const int number = ParseNumber(pos[0], 1, 2147483647, "user");
    const int finger = ParseNumber(pos[1], 0, 255, "finger");
    CheckCapture(TL_StartVerify(ctx.session().handle(), number, finger),
                 "starting the verification of user " + pos[0]);
    if (!ctx.quiet()) ctx.out << "Verification of user " << pos[0] << " started.\n";
    return kExitOk;
}

int Identify(Context& ctx) {
    NoArguments(ctx, "identify");
    CheckCapture(TL_StartIdentify(ctx.session().handle()), "starting identification");
    if (!ctx.quiet()) ctx.out << "Identification started.\n";
    return kExitOk;
}

int Cancel(Context& ctx) {
    NoArguments(ctx, "cancel");
    CheckCapture(TL_CancelOperation(ctx.session().handle()), "cancelling the capture");
    if (!ctx.quiet()) ctx.out << "Capture cancelled.\n";
    return kExitOk;
}

int State(Context& ctx) {
    if (!ctx.args.positional.empty()) return CustomState(ctx);
    int state = 0;
    Check(TL_QueryState(ctx.session().handle(), &state), "reading the capture state");
    Fields f;
    f.Add("state", Num(state));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

}  // namespace

void AddFaceCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"face",
         "get ID INDEX [-o FILE] | set ID INDEX FILE | delete ID INDEX",
         "read, write or delete one face template of a user",
         "ID is the user's text ID (on numeric terminals the number people enrol\n"
         "with); INDEX 0-255. get shows the face's size, or writes its bytes to FILE\n"
         "('-' for standard output); set sends the bytes of FILE (1 to 131072).",
         {{"--output", Arity::Value, "FILE", "get: write the face's bytes here", "-o"}},
         true,
         Face});
    commands.push_back(
        {"enroll",
         "ID FINGER [--flag N]",
         "make the terminal enrol a finger (0-255) of a user",
         "The terminal captures on its own sensor until done or 'termlink cancel';\n"
         "'termlink state' shows what it is doing. On text-ID terminals, or with\n"
         "--flag, the user is named by text ID and the flag byte is sent along.",
         {{"--flag", Arity::Value, "N", "flag byte sent with the enrolment (0-255)"}},
         true,
         Enroll});
    commands.push_back({"verify",
                        "ID FINGER",
                        "make the terminal verify a user's finger",
                        "ID is the user's number (on text-ID terminals an ID written in digits).",
                        {},
                        true,
                        Verify});
    commands.push_back({"identify",
                        "",
                        "make the terminal identify whoever presents a finger",
                        "",
                        {},
                        true,
                        Identify});
    commands.push_back({"cancel",
                        "",
                        "stop the terminal's enrolment, verification or identification",
                        "",
                        {},
                        true,
                        Cancel});
    commands.push_back({"state",
                        "[set INDEX CODE | enable INDEX on|off | delete INDEX]",
                        "show the terminal's capture state, or write a custom attendance state",
                        "The number is the terminal's own; termsim reports 0 idle, 1 enrolling,\n"
                        "2 verifying, 3 identifying. With set, enable or delete: custom\n"
                        "attendance state INDEX 0-7 (code 0-127), on terminals with the extended\n"
                        "record format.",
                        {},
                        true,
                        State});
}

}  // namespace tlcli
