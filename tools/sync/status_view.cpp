#include "status_view.h"

#include <chrono>
#include <cstdio>

namespace tlsync {

namespace {

using tlclient::Cell;

Cell MaybeTime(const std::optional<Millis>& t) {
    return t ? tlclient::Text(UtcText(*t)) : tlclient::Null();
}

// What a terminal's row says in one word. A failed last attempt wins over a
// live lease: a --follow process keeps trying a terminal that stopped
// answering, and that terminal is failing, not syncing. (A success clears
// the error.)
std::string Health(const TerminalStatus& s, Millis now) {
    if (!s.lastError.empty()) return "failing";
    if (!s.leaseOwner.empty() && s.leaseUntil && *s.leaseUntil >= now) return "syncing";
    if (!s.lastSuccess) return "never";
    return "ok";
}

std::string Html(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string TerminalState(const TerminalStatus& s, Millis now) {
    return Health(s, now);
}

std::string UtcText(Millis ms) {
    using namespace std::chrono;
    const sys_time<milliseconds> t{milliseconds{ms}};
    const auto day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss hms{floor<seconds>(t - day)};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    return text;
}

void WriteStatus(std::ostream& out, const std::vector<TerminalStatus>& rows,
                 tlclient::Format format, Millis now) {
    tlclient::Table t;
    t.columns = {"terminal", "state", "serial",   "last_contact", "last_success",
                 "punches",  "users", "failures", "last_error",   "leased_by"};
    for (const auto& s : rows) {
        t.Add({tlclient::Text(s.name), tlclient::Text(Health(s, now)), tlclient::Text(s.serial),
               MaybeTime(s.lastContact), MaybeTime(s.lastSuccess), tlclient::Num(s.punches),
               tlclient::Num(s.users), tlclient::Num(s.failures),
               s.lastError.empty() ? tlclient::Null() : tlclient::Text(s.lastError),
               s.leaseOwner.empty() ? tlclient::Null() : tlclient::Text(s.leaseOwner)});
    }
    tlclient::WriteTable(out, t, format);
}

void WriteStatusHtml(std::ostream& out, const std::vector<TerminalStatus>& rows, Millis now) {
    long long punches = 0;
    int ok = 0, failing = 0;
    for (const auto& s : rows) {
        punches += s.punches;
        const std::string h = Health(s, now);
        ok += h == "ok";
        failing += h == "failing";
    }
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
           "<title>Terminal sync status</title>\n<style>\n"
           "body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}\n"
           "th,td{border:1px solid #bbb;padding:4px 8px;text-align:left}\n"
           "th{background:#eee}td.n{text-align:right}td.k{white-space:nowrap}\n"
           "tr.failing{background:#fdd}tr.never{background:#ffe}tr.syncing{background:#eef}\n"
           "</style></head><body>\n<h1>Terminal sync status</h1>\n";
    out << "<p>" << rows.size() << " terminals: " << ok << " synced, " << failing << " failing; "
        << punches << " punches stored. As of " << UtcText(now) << ".</p>\n";
    out << "<table>\n<tr><th>Terminal</th><th>State</th><th>Serial</th><th>Last contact</th>"
           "<th>Last sync</th><th>Punches</th><th>Users</th><th>Failures</th>"
           "<th>Last error</th></tr>\n";
    for (const auto& s : rows) {
        const std::string h = Health(s, now);
        // Dates and serial numbers are read as one token: never wrapped.
        out << "<tr class=\"" << h << "\"><td>" << Html(s.name) << "</td><td>" << h
            << "</td><td class=\"k\">" << Html(s.serial) << "</td><td class=\"k\">"
            << (s.lastContact ? UtcText(*s.lastContact) : "") << "</td><td class=\"k\">"
            << (s.lastSuccess ? UtcText(*s.lastSuccess) : "") << "</td><td class=\"n\">"
            << s.punches << "</td><td class=\"n\">" << s.users << "</td><td class=\"n\">"
            << s.failures << "</td><td>" << Html(s.lastError) << "</td></tr>\n";
    }
    out << "</table>\n</body></html>\n";
}

}  // namespace tlsync
