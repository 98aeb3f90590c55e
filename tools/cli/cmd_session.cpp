// Commands over the session family: info, events, lock, unlock.
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "cli/app.h"
#include "cli/dates.h"
#include "cli/errors.h"
#include "client/events.h"
#include "client/terminal.h"

using namespace tlclient;

namespace tlcli {

namespace {

using Arity = FlagSpec::Arity;

// One identity text; null when the terminal does not answer it.
Cell IdentityText(int(TL_STDCALL* get)(TL_HANDLE, char*), TL_HANDLE h) {
    char text[128] = {};
    if (get(h, text) != 1) return Null();
    return Text(std::string(text, strnlen(text, sizeof text - 1)));
}

int Info(Context& ctx) {
    if (!ctx.args.positional.empty()) throw UsageError("info takes no arguments");
    Session& s = ctx.session();
    TL_HANDLE h = s.handle();
    Fields f;
    f.Add("connection", Text(s.description()));
    char version[64] = {};
    Check(TL_GetFirmwareVersion(h, version), "reading the firmware version");
    f.Add("firmware", Text(std::string(version, strnlen(version, 50))));
    f.Add("product", IdentityText(TL_GetProductName, h));
    f.Add("vendor", IdentityText(TL_GetVendor, h));
    f.Add("serial_number", IdentityText(TL_GetSerialNumber, h));
    int flag = 0;
    f.Add("text_user_ids", TL_IsTFTMachine(h, &flag) == 1 ? Bool(flag != 0) : Null());
    int width = 0;
    f.Add("user_number_width", TL_GetPINWidth(h, &width) == 1 ? Num(width) : Null());
    int fp = 0;
    f.Add("fingerprint_algorithm", TL_GetKeyOptions(h, &fp) == 1 ? Num(fp) : Null());
    DateTime t;
    f.Add("clock", TL_GetTime(h, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second) == 1
                       ? Text(FormatDateTime(t))
                       : Null());
    // Counters by status index.
    static const std::pair<const char*, int> kCounters[] = {
        {"users", 2},         {"administrators", 1},       {"passwords", 4},
        {"fingerprints", 3},  {"attendance_records", 6},   {"operation_records", 5},
        {"user_capacity", 8}, {"fingerprint_capacity", 7}, {"attendance_capacity", 9},
    };
    for (const auto& [name, index] : kCounters) {
        int value = 0;
        f.Add(name, TL_GetDeviceStatus(h, index, &value) == 1 ? Num(value) : Null());
    }
    WriteFields(ctx.out, f, ctx.format());
    return kExitOk;
}

// One event as a row: decoded where the kind is known, else its bytes.
std::vector<Cell> EventRow(int kind, const unsigned char* data, int size) {
    const EventView e = DescribeEvent(kind, data, size);
    auto textOrNull = [](const std::string& t) { return t.empty() ? Null() : Text(t); };
    return {Text(FormatDateTime(LocalNow())),
            Text(e.kind),
            textOrNull(e.user),
            textOrNull(e.time),
            textOrNull(e.state),
            textOrNull(e.verify),
            e.workCode < 0 ? Null() : Num(e.workCode),
            textOrNull(e.detail)};
}

// The row as one line of a --follow run: its filled cells after the time.
std::string EventLine(const std::vector<Cell>& row) {
    std::string line = row[0].text;
    for (std::size_t i = 1; i < row.size(); ++i)
        if (!row[i].text.empty()) line += "  " + row[i].text;
    return line;
}

void SleepInterruptibly(long long ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!g_interrupted && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int Events(Context& ctx) {
    const bool follow = ctx.args.Has("--follow");
    const long long interval = ctx.args.Int("--interval", 1000, 50, 3600000);
    const long long limit = ctx.args.Int("--count", 0, 0, 1000000000);
    TL_HANDLE h = ctx.session().handle();
    const std::vector<std::string> columns = {"received", "kind",   "user",      "time",
                                              "state",    "verify", "work_code", "data"};
    const int size = EventDataSize(ReadTraits(h));
    Table table;
    table.columns = columns;
    long long seen = 0;
    bool headerDone = false;
    if (follow && ctx.format() != Format::Json) ctx.Note("Waiting for events; Ctrl-C ends.");
    for (;;) {
        const int r = TL_ReadRTLog(h);
        if (r == -100)
            throw ToolError(kExitUnsupported,
                            "polling events: this terminal's firmware has no real-time events");
        Check(r, "polling events");
        int kind = 0;
        unsigned char data[64];
        std::memset(data, 0, sizeof data);
        while (TL_GetRTLog(h, &kind, data) == 1) {
            std::vector<Cell> row = EventRow(kind, data, size);
            std::memset(data, 0, sizeof data);
            ++seen;
            if (!follow) {
                table.Add(std::move(row));
            } else if (ctx.format() == Format::Json) {
                WriteJsonLine(ctx.out, columns, row);
            } else {
                Table one;
                one.columns = columns;
                one.Add(std::move(row));
                if (ctx.format() == Format::Csv) {
                    std::ostringstream text;
                    WriteTable(text, one, Format::Csv);
                    std::string s = text.str();
                    if (headerDone) s = s.substr(s.find('\n') + 1);
                    ctx.out << s;
                } else {
                    ctx.out << EventLine(one.rows[0]) << "\n";
                }
                headerDone = true;
            }
            ctx.out.flush();
            if (limit && seen >= limit) break;
        }
        if (!follow || (limit && seen >= limit)) break;
        SleepInterruptibly(interval);
        if (g_interrupted) break;
    }
    if (!follow) {
        WriteTable(ctx.out, table, ctx.format());
        if (table.rows.empty() && ctx.format() == Format::Table)
            ctx.Note("No events since the last poll.");
    }
    return g_interrupted ? kExitInterrupted : kExitOk;
}

int Lock(Context& ctx) {
    const long long value = ctx.args.Int("--value", 0, -2147483648LL, 2147483647LL);
    Check(TL_DisableDevice(ctx.session().handle(), static_cast<int>(value)),
          "locking the terminal");
    if (!ctx.quiet())
        ctx.out << "Terminal locked: keypad and sensor are off until 'termlink unlock'.\n";
    return kExitOk;
}

int Unlock(Context& ctx) {
    if (ctx.args.Has("--seconds")) {
        const long long seconds = ctx.args.Int("--seconds", 0, 1, 65535);
        Check(TL_Unlock(ctx.session().handle(), static_cast<int>(seconds)), "opening the door");
        if (!ctx.quiet()) ctx.out << "Door opened for " << seconds << " s.\n";
        return kExitOk;
    }
    Check(TL_EnableDevice(ctx.session().handle()), "unlocking the terminal");
    if (!ctx.quiet()) ctx.out << "Terminal unlocked: keypad and sensor are on again.\n";
    return kExitOk;
}

}  // namespace

void AddSessionCommands(std::vector<Command>& commands) {
    commands.push_back(
        {"info", "", "show what the terminal is and how it is set up", "", {}, true, Info});
    commands.push_back(
        {"events",
         "[--follow] [--interval MS] [--count N]",
         "poll the terminal's real-time events (punches, door, alarms)",
         "Without --follow, polls once and lists the events since the last poll.\n"
         "With --follow, keeps polling until Ctrl-C (or --count events); with --json\n"
         "each event is one JSON object on a line of its own.",
         {{"--follow", Arity::None, "", "keep polling until interrupted", "-f"},
          {"--interval", Arity::Value, "MS", "time between polls (default 1000)"},
          {"--count", Arity::Value, "N", "stop after N events"}},
         true,
         Events});
    commands.push_back({"lock",
                        "[--value N]",
                        "lock the terminal's keypad and sensor (e.g. during a transfer)",
                        "The lock lasts until 'termlink unlock' or until the terminal ends it.",
                        {{"--value", Arity::Value, "N", "value sent with the lock (default 0)"}},
                        true,
                        Lock});
    commands.push_back({"unlock",
                        "[--seconds N]",
                        "end a lock (keypad and sensor on again), or open the door with --seconds",
                        "Without options, ends 'termlink lock'. With --seconds N, opens the door\n"
                        "lock for N seconds instead.",
                        {{"--seconds", Arity::Value, "N", "open the door lock for N seconds"}},
                        true,
                        Unlock});
}

}  // namespace tlcli
