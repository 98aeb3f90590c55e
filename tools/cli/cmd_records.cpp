// Logs and clock: logs, oplog, time.
#include <cstdio>
#include <cstring>

#include "cli/app.h"
#include "cli/dates.h"
#include "cli/errors.h"
#include "client/terminal.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// --since / --until / --user, applied on the host after the download.
struct Filter {
    std::optional<DateTime> since, until;
    std::optional<std::string> user;

    bool Keep(const DateTime& t, const std::string& userId) const {
        if (since && OrderKey(t) < OrderKey(*since)) return false;
        if (until && OrderKey(t) > OrderKey(*until)) return false;
        if (user && userId != *user) return false;
        return true;
    }
};

Filter ReadFilter(const Context& ctx) {
    Filter f;
    std::string error;
    if (auto v = ctx.args.Value("--since")) {
        f.since = ParseDateTime(*v, false, &error);
        if (!f.since) throw UsageError("--since: " + error);
    }
    if (auto v = ctx.args.Value("--until")) {
        f.until = ParseDateTime(*v, true, &error);
        if (!f.until) throw UsageError("--until: " + error);
    }
    if (f.since && f.until && OrderKey(*f.until) < OrderKey(*f.since))
        throw UsageError("--until lies before --since");
    if (auto v = ctx.args.Value("--user")) f.user = *v;
    return f;
}

// Keeps the terminal's keypad off while a table is read, when asked to.
class TransferLock {
  public:
    TransferLock(const Context& ctx, TL_HANDLE h) : h_(ctx.args.Has("--lock") ? h : nullptr) {
        if (h_) Check(TL_DisableDevice(h_, 0), "locking the terminal for the transfer");
    }
    ~TransferLock() {
        if (h_) TL_EnableDevice(h_);
    }
    TransferLock(const TransferLock&) = delete;
    TransferLock& operator=(const TransferLock&) = delete;

  private:
    TL_HANDLE h_;
};

// The text of a fixed-size ID field: up to its first NUL or its full width.
std::string FieldText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

void Summarise(const Context& ctx, const char* what, long long total, long long shown) {
    if (ctx.format() != Format::Table || ctx.quiet()) return;
    if (total == shown)
        ctx.err << shown << " " << what << ".\n";
    else
        ctx.err << shown << " of " << total << " " << what << " match the filter.\n";
}

int Logs(Context& ctx) {
    const Filter filter = ReadFilter(ctx);
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    TransferLock lock(ctx, h);

    Table t;
    t.columns = {"user", "time", "state", "verify", "work_code", "state_code", "verify_code"};
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the attendance log");
        r = TL_ReadLog(h, 1);
    }
    if (r != 0 && r != 1) FailResult(r, "downloading the attendance log");
    long long total = 0;
    if (r == 1) {
        Progress p = ctx.MakeProgress("decoding records");
        for (AttendanceRecord rec;;) {
            const int r = NextAttendanceRecord(h, traits, &rec);
            if (r == 0) break;
            if (r != 1) FailResult(r, "reading the attendance log");
            ++total;
            p.Update(total);
            const DateTime when{rec.year, rec.month, rec.day, rec.hour, rec.minute, rec.second};
            if (!filter.Keep(when, rec.user)) continue;
            t.Add({traits.textIds ? Text(rec.user) : Num(std::stoll(rec.user)),
                   Text(FormatDateTime(when)), Text(StateName(rec.state)),
                   Text(VerifyName(rec.verify)), Num(rec.workCode), Num(rec.state),
                   Num(rec.verify)});
        }
    }
    WriteTable(ctx.out, t, ctx.format());
    Summarise(ctx, "attendance records", total, static_cast<long long>(t.rows.size()));
    return kExitOk;
}

// "MM-DD-YYYY hh:mm" as the text-ID operation log writes times.
DateTime ParseOpTime(const char* text) {
    DateTime t;
    if (std::sscanf(text, "%d-%d-%d %d:%d", &t.month, &t.day, &t.year, &t.hour, &t.minute) != 5)
        return DateTime{0, 0, 0, 0, 0, 0};
    return t;
}

int OpLog(Context& ctx) {
    const Filter filter = ReadFilter(ctx);
    TL_HANDLE h = ctx.session().handle();
    const TerminalTraits traits = ReadTraits(h);
    TransferLock lock(ctx, h);

    Table t;
    t.columns = {"operator", "time",   "operation", "operation_name", "target",
                 "param1",   "param2", "param3",    "param4"};
    const auto name = [](int code) {
        const std::string n = OperationName(code);
        return n.empty() ? Null() : Text(n);
    };
    int r;
    {
        Progress p = ctx.MakeProgress("downloading the operation log");
        r = TL_ReadOpLog(h, 1);
    }
    if (r != 0 && r != 1) FailResult(r, "downloading the operation log");
    long long total = 0;
    if (r == 1) {
        Progress p = ctx.MakeProgress("decoding records");
        for (;;) {
            int rec;
            if (traits.textIds) {
                char op[32] = {}, target[32] = {}, when[32] = {};
                int code = 0, params[3] = {};
                rec = TL_SSR_GetOpLog(h, op, target, &code, when, params);
                if (rec == 0) break;
                if (rec != 1) FailResult(rec, "reading the operation log");
                ++total;
                p.Update(total);
                const DateTime at = ParseOpTime(when);
                const std::string opId = FieldText(op, 24);
                if (!filter.Keep(at, opId)) continue;
                char shown[32];
                std::snprintf(shown, sizeof shown, "%04d-%02d-%02d %02d:%02d", at.year, at.month,
                              at.day, at.hour, at.minute);
                t.Add({Text(opId), Text(shown), Num(code), name(code), Text(FieldText(target, 24)),
                       Num(params[0]), Num(params[1]), Num(params[2]), Null()});
            } else {
                int op = 0, code = 0, params[4] = {};
                int y = 0, mo = 0, d = 0, hh = 0, mi = 0, ss = 0;
                rec = TL_GetOpLog(h, &op, &code, params, &y, &mo, &d, &hh, &mi, &ss);
                if (rec == 0) break;
                if (rec != 1) FailResult(rec, "reading the operation log");
                ++total;
                p.Update(total);
                const DateTime at{y, mo, d, hh, mi, ss};
                if (!filter.Keep(at, std::to_string(op))) continue;
                // Operations on a user (codes 6-12 and 30) name that user first.
                const bool onUser = (code >= 6 && code <= 12) || code == 30;
                t.Add({Num(op), Text(FormatDateTime(at)), Num(code), name(code),
                       onUser ? Num(params[0]) : Null(), Num(params[0]), Num(params[1]),
                       Num(params[2]), Num(params[3])});
            }
        }
    }
    WriteTable(ctx.out, t, ctx.format());
    Summarise(ctx, "operation records", total, static_cast<long long>(t.rows.size()));
    return kExitOk;
}

int Time(Context& ctx) {
    const auto& pos = ctx.args.positional;
    const bool sync = ctx.args.Has("--sync");
    std::optional<DateTime> target;
    if (!pos.empty()) {
        if (pos[0] != "set" || pos.size() != 2 || sync)
            throw UsageError("usage: time | time set 'YYYY-MM-DD HH:MM:SS' | time --sync");
        std::string error;
        target = ParseDateTime(pos[1], false, &error);
        if (!target) throw UsageError("time set: " + error);
    }
    if (sync) target = LocalNow();
    if (target && (target->year < 2000 || target->year > 2099))
        throw UsageError("the terminal's clock runs from 2000 to 2099");
    TL_HANDLE h = ctx.session().handle();
    if (target) {
        Check(TL_SetTime(h, target->year, target->month, target->day, target->hour, target->minute,
                         target->second),
              "setting the terminal's clock");
    }
    DateTime now;
    Check(TL_GetTime(h, &now.year, &now.month, &now.day, &now.hour, &now.minute, &now.second),
          "reading the terminal's clock");
    const DateTime host = LocalNow();
    Fields f;
    f.Add("terminal", Text(FormatDateTime(now)));
    f.Add("host", Text(FormatDateTime(host)));
    // The terminal's calendar has 31-day months; the difference is exact
    // within a month and only indicative across month ends.
    f.Add("difference_s", Num(OrderKey(now) - OrderKey(host)));
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

const std::vector<FlagSpec> kLogFlags = {
    {"--since", Arity::Value, "DATE", "only records at or after DATE (YYYY-MM-DD[ HH:MM[:SS]])"},
    {"--until", Arity::Value, "DATE", "only records up to DATE (a bare date includes that day)"},
    {"--user", Arity::Value, "ID", "only records of this user"},
    {"--lock", Arity::None, "", "lock the keypad during the download"},
};

}  // namespace

void AddRecordCommands(std::vector<Command>& commands) {
    commands.push_back({"logs", "[--since DATE] [--until DATE] [--user ID] [--lock]",
                        "download the attendance log (who punched when, and how)",
                        "Dates are filtered on this computer after the whole log is read.\n"
                        "state: check-in, check-out, break-out, break-in, overtime-in,\n"
                        "overtime-out; verify: password, fingerprint, card.",
                        kLogFlags, true, Logs});
    commands.push_back({"oplog", "[--since DATE] [--until DATE] [--user ID] [--lock]",
                        "download the operation log (what was done on the terminal)",
                        "operation is the terminal's operation code, operation_name its meaning\n"
                        "(empty for codes without a name); for operations on a user\n"
                        "(codes 6-12 and 30) target names that user. --user filters by operator.",
                        kLogFlags, true, OpLog});
    commands.push_back({"time",
                        "[set DATETIME | --sync]",
                        "show or set the terminal's clock",
                        "Shows the terminal's time next to this computer's. 'time set' sets it;\n"
                        "--sync sets it to this computer's local time.",
                        {{"--sync", Arity::None, "", "set the clock to this computer's time"}},
                        true,
                        Time});
}

}  // namespace tlcli
