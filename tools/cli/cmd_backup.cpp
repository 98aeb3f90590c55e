// Backup and restore of the terminal's data, fingerprint image capture and
// MF cards: backup FILE, restore FILE --yes, capture, card write|empty.
#include <fstream>
#include <iterator>
#include <vector>

#include "cli/app.h"
#include "cli/errors.h"
#include "cli/host.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// The library takes paths that fit a 200-byte field with their NUL.
constexpr std::size_t kMaxPath = 199;
constexpr std::size_t kCardData = 4096;

const std::string& PathArgument(const std::string& path) {
    if (path.empty() || path.size() > kMaxPath)
        throw UsageError("a file path has 1 to " + std::to_string(kMaxPath) + " bytes");
    return path;
}

[[noreturn]] void NoArchlib(const std::string& what) {
    throw ToolError(kExitUnsupported,
                    what + ": archlib (the compression library) could not be loaded, or no memory");
}

long long FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long long>(in.tellg()) : -1;
}

int Backup(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1) throw UsageError("usage: backup FILE");
    const std::string& path = PathArgument(pos[0]);
    const std::string what = "backing up the terminal's data";
    int r;
    {
        // A backup holds every user's password and fingerprints.
        host::OwnerOnlyFiles privateFiles;
        Ticker progress = ctx.MakeTicker("Backing up the terminal's data");
        r = TL_BackupData(ctx.session().handle(), path.c_str());
    }
    if (r == 0) throw ToolError(kExitNotFound, what + ": the terminal has no data to back up");
    if (r == 4) throw ToolError(kExitFile, what + ": cannot write " + path);
    if (r == -100) NoArchlib(what);
    Check(r, what);
    if (!ctx.quiet())
        ctx.out << "Backed up the terminal's data to " << path << " (" << FileSize(path)
                << " bytes).\n";
    return kExitOk;
}

int Restore(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() != 1) throw UsageError("usage: restore FILE --yes");
    const std::string& path = PathArgument(pos[0]);
    if (!ctx.args.Has("--yes"))
        throw UsageError("restore erases all of the terminal's data before installing " + path +
                         "; give --yes to go ahead");
    if (FileSize(path) < 0) throw ToolError(kExitFile, "cannot read " + path);
    const std::string what = "restoring " + path;
    int r;
    {
        Ticker progress = ctx.MakeTicker("Erasing the terminal's data and restoring " + path);
        r = TL_RestoreData(ctx.session().handle(), path.c_str());
    }
    if (r == 4) throw ToolError(kExitFile, what + ": not a backup file, or damaged");
    if (r == -100) NoArchlib(what);
    // The library locks the keypad before it erases and leaves it locked in
    // every outcome; it is switched on again here, as import does, so the
    // terminal takes punches again.
    const bool enabled = TL_EnableDevice(ctx.session().handle()) == 1;
    if (!enabled)
        ctx.err << "termlink: the terminal's keypad and sensor are still off; "
                   "run 'termlink unlock' to switch them on.\n";
    if (r == 0)
        throw ToolError(kExitFailed,
                        what + ": the terminal refused to erase its data; nothing was changed");
    if (r == -2) {
        ctx.err << "termlink: the terminal's data was erased but the backup was not installed; "
                   "run restore again.\n";
    }
    Check(r, what);
    if (!ctx.quiet()) ctx.out << "Restored the terminal's data from " << path << ".\n";
    return enabled ? kExitOk : kExitFailed;
}

int Capture(Context& ctx) {
    if (!ctx.args.positional.empty())
        throw UsageError("usage: capture [--full] [--width N] [-o FILE.bmp]");
    const auto output = ctx.args.Value("--output");
    if (output) PathArgument(*output);
    int width = static_cast<int>(ctx.args.Int("--width", 0, 1, 4096));
    int height = 0;
    const int r = TL_CaptureImage(ctx.session().handle(), ctx.args.Has("--full") ? 1 : 0, &width,
                                  &height, nullptr, output ? output->c_str() : nullptr);
    if (r == 4) throw UsageError("capture: the library refused an argument");
    Check(r, "capturing an image");
    Fields f;
    f.Add("width", Num(width));
    f.Add("height", Num(height));
    if (output) f.Add("file", Text(*output));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

void CheckCard(int r, const std::string& what) {
    if (r == 0) throw ToolError(kExitFailed, what + ": the terminal refused (no card presented?)");
    if (r == -4 || r == -5)
        throw ToolError(kExitFailed,
                        what + ": the terminal refused (result " + std::to_string(r) + ")");
    if (r == 4) throw UsageError(what + ": the library refused an argument");
    Check(r, what);
}

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError(kExitFile, "cannot read " + path);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) throw ToolError(kExitFile, "cannot read " + path);
    return bytes;
}

// card write USER FILE... : up to four files, one descriptor entry each (its
// length, then the pass-through byte from --tags), together at most 4096
// bytes.
int CardWrite(Context& ctx) {
    const auto& pos = ctx.args.positional;
    if (pos.size() < 3 || pos.size() > 6)
        throw UsageError("usage: card write USER FILE [FILE...] (one to four files)");
    std::string error;
    const auto user = ParseInt(pos[1], 0, 2147483647, &error);
    if (!user) throw UsageError("user: " + error);
    std::vector<long long> tags(4, 0);
    if (auto list = ctx.args.Value("--tags")) {
        std::size_t i = 0, start = 0;
        while (start <= list->size()) {
            const std::size_t end = std::min(list->find(',', start), list->size());
            if (i == 4) throw UsageError("--tags: at most four bytes");
            const auto v = ParseInt(list->substr(start, end - start), 0, 255, &error);
            if (!v) throw UsageError("--tags: " + error);
            tags[i++] = *v;
            start = end + 1;
        }
    }
    unsigned char descriptor[12] = {};
    std::vector<unsigned char> data;
    for (std::size_t i = 2; i < pos.size(); ++i) {
        const auto bytes = ReadAll(pos[i]);
        if (data.size() + bytes.size() > kCardData)
            throw UsageError("the files hold more than the card's 4096 data bytes");
        const std::size_t entry = 3 * (i - 2);
        descriptor[entry] = static_cast<unsigned char>(bytes.size());
        descriptor[entry + 1] = static_cast<unsigned char>(bytes.size() >> 8);
        descriptor[entry + 2] = static_cast<unsigned char>(tags[i - 2]);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    const std::size_t used = data.size();
    data.resize(kCardData, 0);
    // The user number travels in the terminal's width: learn it first.
    int width = 0;
    Check(TL_GetPINWidth(ctx.session().handle(), &width), "reading the user-number width");
    CheckCard(TL_MFWrite(ctx.session().handle(), static_cast<int>(*user), descriptor, data.data()),
              "writing the card");
    if (!ctx.quiet())
        ctx.out << "Wrote " << used << " bytes for user " << *user << " to the card.\n";
    return kExitOk;
}

int Card(Context& ctx) {
    const auto& pos = ctx.args.positional;
    const std::string action = pos.empty() ? "" : pos[0];
    if (action == "write") return CardWrite(ctx);
    if (action != "empty" || pos.size() != 1)
        throw UsageError("usage: card write USER FILE [FILE...] [--tags B,B,B,B] | card empty");
    CheckCard(TL_MFEmpty(ctx.session().handle()), "erasing the card");
    if (!ctx.quiet()) ctx.out << "Erased the card.\n";
    return kExitOk;
}

}  // namespace

void AddBackupCommands(std::vector<Command>& commands) {
    commands.push_back({"backup",
                        "FILE",
                        "save all of the terminal's data to a compressed backup file",
                        "FILE is replaced only when the whole backup was written. Needs archlib\n"
                        "(libarchlib.so / archlib.dll) where the library search finds it.",
                        {},
                        true,
                        Backup});
    commands.push_back({"restore",
                        "FILE --yes",
                        "erase the terminal's data and install a backup file",
                        "Everything on the terminal is erased first; --yes confirms. When the\n"
                        "terminal refuses the erase nothing changes; when the install fails after\n"
                        "the erase, run restore again.",
                        {{"--yes", Arity::None, "", "confirm that the terminal's data is erased"}},
                        true,
                        Restore});
    commands.push_back(
        {"capture",
         "[--full] [--width N] [-o FILE.bmp]",
         "fetch an image from the fingerprint sensor",
         "Shows the image's size; -o saves it as a grey-scale BMP (written whole or\n"
         "not at all). --full asks for the full image instead of the sensor image;\n"
         "--width asks for a width (1-4096), the terminal picks the height.",
         {{"--full", Arity::None, "", "the full image"},
          {"--width", Arity::Value, "N", "the width to ask for"},
          {"--output", Arity::Value, "FILE", "save as a BMP file", "-o"}},
         true,
         Capture});
    commands.push_back({"card",
                        "write USER FILE [FILE...] [--tags B,B,B,B] | empty",
                        "write to or erase the MF card held to the terminal",
                        "write: one to four files (together at most 4096 bytes), one card entry\n"
                        "each; --tags gives each entry's pass-through byte (0-255, default 0).",
                        {{"--tags", Arity::Value, "B,B,B,B", "pass-through bytes of the entries"}},
                        true,
                        Card});
}

}  // namespace tlcli
