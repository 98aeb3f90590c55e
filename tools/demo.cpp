// termlink-demo: a typical attendance session, end to end, against a
// simulated terminal on a free loopback port. Everything below the simulator
// set-up goes through libtermlink's C API over the TCP plug-in, the way an
// attendance application would use it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "client/format.h"
#include "client/terminal.h"
#include "termlink.h"
#include "termsim/model.h"
#include "termsim/server.h"

namespace fs = std::filesystem;

namespace {

int g_step = 0;

void Step(const std::string& what) {
    std::cout << "\n[" << ++g_step << "] " << what << "\n";
}

// Stops the demo with the library's result and the transport's last error.
[[noreturn]] void Fail(const std::string& what, int result) {
    std::cout << "    FAILED: " << what << " returned " << result << " (transport error "
              << TL_LastError() << ")\n";
    std::exit(1);
}

void Expect(int result, const std::string& what) {
    if (result != 1) Fail(what, result);
}

std::string Date(int y, int m, int d, int hh, int mi, int ss) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mi, ss);
    return buf;
}

// The six attendance states by name; the demo calls any other "other".
std::string StateName(int s) {
    return s >= 0 && s < 6 ? tlclient::StateName(s) : "other";
}

}  // namespace

int main(int argc, char** argv) {
    fs::path outDir = "demo-output";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--out" && i + 1 < argc) {
            outDir = argv[++i];
        } else {
            std::cerr << "usage: termlink-demo [--out DIR]\n";
            return 2;
        }
    }
    outDir = fs::absolute(outDir);
    std::error_code ec;
    fs::create_directories(outDir / "work", ec);
    if (ec) {
        std::cerr << "termlink-demo: cannot create " << outDir << ": " << ec.message() << "\n";
        return 1;
    }

    // The simulated company: a text-ID terminal with 20 users, two weeks of
    // punches from 2024-03-04, departments, shifts and an attendance rule.
    termsim::Config config;
    config.profile = termsim::Profile::Tft;
    termsim::Model model(config);
    termsim::GenerateParams plan;
    plan.days = 12;
    plan.punches = 240;
    model.Generate(plan);
    termsim::ServeOptions serve;
    serve.udp = false;
    std::string error;
    auto server = termsim::Serve(model, serve, &error);
    if (!server) {
        std::cerr << "termlink-demo: cannot start the simulated terminal: " << error << "\n";
        return 1;
    }
    std::cout << "Simulated terminal (" << termsim::ProfileName(model.GetProfile())
              << " profile) listening on 127.0.0.1:" << server->Port() << "\n";

    Step("Connect over TCP: TL_Connect_NETEX(\"127.0.0.1\", " + std::to_string(server->Port()) +
         ", 0, 0, 0)");
    TL_HANDLE h = TL_Connect_NETEX("127.0.0.1", server->Port(), 0, 0, 0);
    if (!h) Fail("TL_Connect_NETEX", 0);
    std::cout << "    connected\n";

    Step("Terminal information");
    char text[128] = {};
    Expect(TL_GetFirmwareVersion(h, text), "TL_GetFirmwareVersion");
    std::cout << "    firmware:      " << text << "\n";
    std::memset(text, 0, sizeof text);
    Expect(TL_GetProductName(h, text), "TL_GetProductName");
    std::cout << "    product:       " << text << "\n";
    std::memset(text, 0, sizeof text);
    Expect(TL_GetSerialNumber(h, text), "TL_GetSerialNumber");
    std::cout << "    serial number: " << text << "\n";
    int width = 0, tft = 0, users = 0, records = 0;
    Expect(TL_GetPINWidth(h, &width), "TL_GetPINWidth");
    Expect(TL_IsTFTMachine(h, &tft), "TL_IsTFTMachine");
    Expect(TL_GetDeviceStatus(h, 2, &users), "TL_GetDeviceStatus(users)");
    Expect(TL_GetDeviceStatus(h, 6, &records), "TL_GetDeviceStatus(attendance records)");
    std::cout << "    user IDs:      " << (tft ? "text" : "numeric") << ", width " << width << "\n"
              << "    holds:         " << users << " users, " << records << " attendance records\n";
    int y, mo, d, hh, mi, ss;
    Expect(TL_GetTime(h, &y, &mo, &d, &hh, &mi, &ss), "TL_GetTime");
    std::cout << "    clock:         " << Date(y, mo, d, hh, mi, ss) << "\n";

    Step("Lock the keypad for the transfer: TL_DisableDevice");
    Expect(TL_DisableDevice(h, 0), "TL_DisableDevice");
    std::cout << "    terminal locked\n";

    Step("Download the attendance log: TL_ReadLog, then TL_SSR_GetLog per record");
    Expect(TL_ReadLog(h, 1), "TL_ReadLog");
    tlclient::Table first;
    first.columns = {"user", "time", "state"};
    std::map<int, int> byState;
    std::string earliest, latest;
    long long count = 0;
    for (;;) {
        char id[32] = {};
        unsigned char mode = 0, state = 0;
        int work = 0;
        const int r = TL_SSR_GetLog(h, id, &mode, &state, &y, &mo, &d, &hh, &mi, &ss, &work);
        if (r == 0) break;
        Expect(r, "TL_SSR_GetLog");
        const std::string when = Date(y, mo, d, hh, mi, ss);
        if (earliest.empty() || when < earliest) earliest = when;
        if (latest.empty() || when > latest) latest = when;
        ++byState[state];
        if (count++ < 5)
            first.Add({tlclient::Text(id), tlclient::Text(when), tlclient::Text(StateName(state))});
    }
    std::cout << "    " << count << " records from " << earliest << " to " << latest << "\n";
    for (const auto& [state, n] : byState)
        std::cout << "    " << StateName(state) << ": " << n << "\n";
    std::cout << "    first records:\n";
    tlclient::WriteTable(std::cout, first, tlclient::Format::Table);

    Step("Users: TL_ReadUserInfo, then SSR_TL_GetUserInfo per user");
    Expect(TL_ReadUserInfo(h), "TL_ReadUserInfo");
    tlclient::Table people;
    people.columns = {"user", "name", "department", "shift"};
    int listed = 0;
    for (;;) {
        int pin = 0, priv = 0, enabled = 0, card = 0, group = 0, zones[4] = {};
        char id[32] = {}, name[32] = {}, password[16] = {};
        const int r =
            SSR_TL_GetUserInfo(h, &pin, id, name, &priv, &enabled, password, &card, &group, zones);
        if (r == 0) break;
        Expect(r, "SSR_TL_GetUserInfo");
        if (listed++ < 5)
            people.Add({tlclient::Text(id), tlclient::Text(name), tlclient::Num(group),
                        tlclient::Num(zones[0])});
    }
    std::cout << "    " << listed << " users; the first ones:\n";
    tlclient::WriteTable(std::cout, people, tlclient::Format::Table);

    Step("Unlock the keypad: TL_EnableDevice");
    Expect(TL_EnableDevice(h), "TL_EnableDevice");
    std::cout << "    terminal unlocked\n";

    Step(
        "Save the report tables: TL_ReadLog / TL_SSR_ReadAttRule / TL_SSR_ReadDPT / "
        "TL_SSR_ReadTurn / TL_ReadUserInfo, each followed by TL_SSR_SaveDate");
    const fs::path work = outDir / "work";
    const std::string logFile = (work / "attlog.dat").string(),
                      ruleFile = (work / "attrule.dat").string(),
                      deptFile = (work / "departments.dat").string(),
                      shiftFile = (work / "shifts.dat").string(),
                      userFile = (work / "users.dat").string();
    Expect(TL_ReadLog(h, 1), "TL_ReadLog");
    Expect(TL_SSR_SaveDate(h, logFile.c_str(), 1), "TL_SSR_SaveDate(log)");
    Expect(TL_SSR_ReadAttRule(h), "TL_SSR_ReadAttRule");
    Expect(TL_SSR_SaveDate(h, ruleFile.c_str(), 3), "TL_SSR_SaveDate(rule)");
    Expect(TL_SSR_ReadDPT(h), "TL_SSR_ReadDPT");
    Expect(TL_SSR_SaveDate(h, deptFile.c_str(), 4), "TL_SSR_SaveDate(departments)");
    Expect(TL_SSR_ReadTurn(h), "TL_SSR_ReadTurn");
    Expect(TL_SSR_SaveDate(h, shiftFile.c_str(), 5), "TL_SSR_SaveDate(shifts)");
    Expect(TL_ReadUserInfo(h), "TL_ReadUserInfo");
    Expect(TL_SSR_SaveDate(h, userFile.c_str(), 2), "TL_SSR_SaveDate(users)");
    std::cout << "    saved in " << work.string() << "/\n";
    fs::remove(work / "engine-trace.txt", ec);

    const std::string workPrefix = work.string() + "/";
    struct Page {
        int kind;
        const char* what;
        const char* file;
    };
    for (const Page& p :
         {Page{2, "exception list", "exceptions.html"}, Page{3, "statistics", "statistics.html"}}) {
        Step(std::string("Report: ") + p.what + " for 2024-03-04 to 2024-03-15: TL_SSR_OutPutHtml");
        // The engine walks the session's user table from its cursor: read it
        // again so every user is calculated.
        Expect(TL_ReadUserInfo(h), "TL_ReadUserInfo");
        const std::string page = (outDir / p.file).string();
        // The engine prints trace lines on standard output; keep them in a
        // file so the demo's own output stays readable.
        std::cout.flush();
        std::fflush(stdout);
        const std::string trace = (work / "engine-trace.txt").string();
        const int saved = dup(STDOUT_FILENO);
        const int traceFd = open(trace.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (saved >= 0 && traceFd >= 0) dup2(traceFd, STDOUT_FILENO);
        if (traceFd >= 0) close(traceFd);
        // The range is given as days: the engine covers the whole of the
        // first and the last day, both included.
        const int r = TL_SSR_OutPutHtml(h, "", logFile.c_str(), userFile.c_str(), deptFile.c_str(),
                                        shiftFile.c_str(), 2024, 3, 4, 0, 0, 0, 2024, 3, 15, 0, 0,
                                        0, page.c_str(), workPrefix.c_str(), ruleFile.c_str(),
                                        p.kind, "Attendance");
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, STDOUT_FILENO);
            close(saved);
        }
        Expect(r, "TL_SSR_OutPutHtml");
        std::cout << "    written: " << page << " (" << fs::file_size(page, ec)
                  << " bytes, GB2312)\n";
    }

    Step("Close: TL_Close");
    Expect(TL_Close(h), "TL_Close");
    server->Stop();
    std::cout << "    done\n\nPages: " << (outDir / "exceptions.html").string() << "\n       "
              << (outDir / "statistics.html").string() << "\n";
    return 0;
}
