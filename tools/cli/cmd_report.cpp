// Attendance reports: report --from --to --kind -o page.html [--utf8].
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/app.h"
#include "cli/dates.h"
#include "cli/errors.h"
#include "cli/gb_text.h"
#include "cli/host.h"
#include "client/terminal.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;
namespace fs = std::filesystem;

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteFile(const fs::path& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    return static_cast<bool>(out.flush());
}

// The engine prints trace lines on standard output; they would mix with the
// tool's own output (and break --json), so they go to standard error, or
// nowhere when quiet.
class QuietStdout {
  public:
    explicit QuietStdout(bool toNull) {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int target = toNull ? open(host::NullDevice(), O_WRONLY) : dup(STDERR_FILENO);
        if (saved_ >= 0 && target >= 0) dup2(target, STDOUT_FILENO);
        if (target >= 0) close(target);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

  private:
    int saved_ = -1;
};

// The UTF-8 copy's name: page.html -> page.utf8.html.
fs::path Utf8Path(const fs::path& page) {
    fs::path p = page;
    const std::string ext = p.extension().string();
    p.replace_extension();
    return fs::path(p.string() + ".utf8" + (ext.empty() ? ".html" : ext));
}

// The page's text run (between tags) around byte `at`, where a name or a
// caption from the terminal stands; bytes that are not plain ASCII shown as
// \xHH, since they may be the very bytes that cannot be read.
std::string TextAround(const std::string& page, std::size_t at) {
    std::size_t from = page.rfind('>', at), to = page.find('<', at);
    from = from == std::string::npos ? 0 : from + 1;
    to = std::min(to == std::string::npos ? page.size() : to, from + 80);
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        const auto b = static_cast<unsigned char>(page[i]);
        if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

int KindNumber(const std::string& kind) {
    if (kind == "punches") return 1;
    if (kind == "exceptions") return 2;
    if (kind == "statistics") return 3;
    throw UsageError("--kind: punches, exceptions or statistics");
}

// Reads one table from the terminal and saves it for the engine. The tables
// share one download buffer, so each is saved before the next is read.
// Returns false when the terminal has no such table.
bool FetchTable(const Context& ctx, TL_HANDLE h, int(TL_STDCALL* read)(TL_HANDLE), int kind,
                const fs::path& file, const std::string& what) {
    int r;
    {
        Progress p = ctx.MakeProgress("reading " + what);
        r = read(h);
    }
    if (r == 0) {
        ctx.Note("The terminal has no " + what + ".");
        return false;
    }
    Check(r, "reading " + what);
    const int s = TL_SSR_SaveDate(h, file.string().c_str(), kind);
    if (s == -2) throw ToolError(kExitFile, "cannot write " + file.string());
    if (s != 1) FailResult(s, "saving " + what);
    return true;
}

int TL_STDCALL ReadLogTable(TL_HANDLE h) {
    return TL_ReadLog(h, 1);
}

int Report(Context& ctx) {
    if (!ctx.args.positional.empty())
        throw UsageError("unexpected '" + ctx.args.positional[0] + "'");
    const auto fromText = ctx.args.Value("--from");
    const auto toText = ctx.args.Value("--to");
    const auto output = ctx.args.Value("--output");
    if (!fromText || !toText) throw UsageError("report: give --from DATE and --to DATE");
    if (!output || output->empty()) throw UsageError("report: give the page to write with -o FILE");
    std::string error;
    auto from = ParseDateTime(*fromText, false, &error);
    if (!from) throw UsageError("--from: " + error);
    auto to = ParseDateTime(*toText, false, &error);
    if (!to) throw UsageError("--to: " + error);
    // A report covers whole days, the first and the last one included: the
    // engine is given the two days, a time of day typed with them does not
    // matter.
    for (DateTime* d : {&*from, &*to}) d->hour = d->minute = d->second = 0;
    if (OrderKey(*to) < OrderKey(*from)) throw UsageError("--to lies before --from");
    if (from->year < 2000 || to->year > 2099)
        throw UsageError("report dates run from 2000 to 2099");
    const int kind = KindNumber(ctx.args.Get("--kind", "exceptions"));
    const std::string user = ctx.args.Get("--user", "");
    if (user.size() > 24) throw UsageError("--user: a user ID has at most 24 characters");
    // The page is GB18030 text (it declares gb2312, a label browsers read
    // with their GB18030 decoder); the caption is typed in UTF-8.
    const TextResult caption = ToGb18030(host::TypedText(ctx.args.Get("--caption", "Attendance")));
    if (!caption.text) throw UsageError("--caption: " + caption.problem);

    const fs::path page = fs::absolute(*output);
    bool keepWork = ctx.args.Has("--work");
    fs::path work;
    if (keepWork) {
        work = fs::absolute(*ctx.args.Value("--work"));
        std::error_code ec;
        fs::create_directories(work, ec);
        if (ec) throw ToolError(kExitFile, "cannot create " + work.string() + ": " + ec.message());
    } else {
        auto made = host::MakeTempFolder((fs::temp_directory_path() / "termlink-report-").string());
        if (!made)
            throw ToolError(kExitFile,
                            std::string("cannot create a work folder: ") + std::strerror(errno));
        work = *made;
    }
    struct Cleanup {
        fs::path dir;
        bool keep;
        ~Cleanup() {
            std::error_code ec;
            if (!keep) fs::remove_all(dir, ec);
        }
    } cleanup{work, keepWork};

    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    if (!traits.textIds)
        throw ToolError(kExitUnsupported,
                        "attendance reports need a terminal with text user IDs and report tables "
                        "(to try one: --sim tft)");

    const fs::path logFile = work / "attlog.dat", userFile = work / "users.dat",
                   ruleFile = work / "attrule.dat", deptFile = work / "departments.dat",
                   shiftFile = work / "shifts.dat";
    FetchTable(ctx, h, ReadLogTable, 1, logFile, "the attendance log");
    if (!FetchTable(ctx, h, TL_SSR_ReadAttRule, 3, ruleFile, "the attendance rule"))
        throw ToolError(kExitNotFound, "the terminal has no attendance rule to report with");
    FetchTable(ctx, h, TL_SSR_ReadDPT, 4, deptFile, "the departments");
    FetchTable(ctx, h, TL_SSR_ReadTurn, 5, shiftFile, "the shifts");
    // Users last: the engine walks the session's user table from its start.
    if (!FetchTable(ctx, h, TL_ReadUserInfo, 2, userFile, "the users"))
        throw ToolError(kExitNotFound, "the terminal has no users to report on");

    if (!user.empty()) {
        // The engine would quietly report nobody for an unknown ID.
        char name[32] = {}, password[16] = {};
        int priv = 0, enabled = 0, card = 0, group = 0, tz[4] = {}, pin = 0;
        const int q = SSR_TL_QueryUserInfo(h, user.c_str(), name, &priv, &enabled, password, &card,
                                           &group, tz, &pin);
        if (q == 0) throw ToolError(kExitNotFound, "no user " + user + " on the terminal");
        Check(q, "looking up user " + user);
    }

    std::error_code ec;
    fs::remove(page, ec);
    const std::string workPrefix = work.string() + "/";
    int r;
    {
        Progress p = ctx.MakeProgress("calculating");
        QuietStdout quiet(ctx.quiet() || !ctx.args.Has("--trace"));
        r = TL_SSR_OutPutHtml(h, user.c_str(), logFile.string().c_str(), userFile.string().c_str(),
                              deptFile.string().c_str(), shiftFile.string().c_str(), from->year,
                              from->month, from->day, from->hour, from->minute, from->second,
                              to->year, to->month, to->day, to->hour, to->minute, to->second,
                              page.string().c_str(), workPrefix.c_str(), ruleFile.string().c_str(),
                              kind, caption.text->c_str());
    }
    if (r == 0) throw ToolError(kExitNotFound, "the terminal has no users to report on");
    Check(r, "calculating the report");
    if (!fs::exists(page)) throw ToolError(kExitFile, "cannot write " + page.string());
    Fields f;
    f.Add("page", Text(page.string()));
    if (ctx.args.Has("--utf8")) {
        const auto gb = ReadFile(page);
        if (!gb) throw ToolError(kExitFile, "cannot read " + page.string());
        TextResult utf8 = FromGb18030(*gb);
        if (!utf8.text)
            throw ToolError(kExitFailed, "no UTF-8 copy: the page's " +
                                             PlaceInText(*gb, utf8.offset) + ", in \"" +
                                             TextAround(*gb, utf8.offset) + "\": " + utf8.problem);
        const std::string from8 = "charset=gb2312", to8 = "charset=utf-8";
        for (auto at = utf8.text->find(from8); at != std::string::npos;
             at = utf8.text->find(from8, at))
            utf8.text->replace(at, from8.size(), to8);
        const fs::path copy = Utf8Path(page);
        if (!WriteFile(copy, *utf8.text))
            throw ToolError(kExitFile, "cannot write " + copy.string());
        f.Add("utf8_page", Text(copy.string()));
    }
    if (keepWork) f.Add("work_folder", Text(work.string()));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

}  // namespace

void AddReportCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"report",
         "--from DATE --to DATE [--kind punches|exceptions|statistics] [--user ID] -o PAGE",
         "compute attendance from the terminal's tables and write an HTML page",
         "Reads the attendance log, rule, departments, shifts and users from the\n"
         "terminal, saves them in a work folder and runs the report engine over\n"
         "them. The page is GB18030 text (labelled gb2312, as the terminal's\n"
         "names are); --utf8 also writes PAGE.utf8.html for browsers that\n"
         "expect UTF-8. Needs a terminal with text user IDs.",
         {{"--from", Arity::Value, "DATE", "first day of the report (included)"},
          {"--to", Arity::Value, "DATE", "last day of the report (included)"},
          {"--kind", Arity::Value, "KIND", "punches, exceptions (default) or statistics"},
          {"--user", Arity::Value, "ID", "one user only (default: everybody)"},
          {"--output", Arity::Value, "PAGE", "the HTML page to write", "-o"},
          {"--utf8", Arity::None, "", "also write a UTF-8 copy of the page"},
          {"--caption", Arity::Value, "TEXT", "label of the punches page (default Attendance)"},
          {"--work", Arity::Value, "DIR", "keep the saved tables and work files in DIR"},
          {"--trace", Arity::None, "", "show the engine's trace lines on standard error"}},
         true,
         Report});
}

}  // namespace tlcli
