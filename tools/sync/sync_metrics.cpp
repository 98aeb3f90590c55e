#include "sync_metrics.h"

#include <cstdio>
#include <map>

#include "status_view.h"

namespace tlsync {

namespace {

// Length of the valid UTF-8 sequence at `s[i]`, or 0 when there is none.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80             ? 1
                            : (c & 0xE0) == 0xC0 ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    unsigned cp = c & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Milliseconds since 1970 as exact decimal seconds.
std::string Seconds(Millis ms) {
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

class Page {
  public:
    explicit Page(std::ostream& out) : out_(out) {}

    void Family(const char* name, const char* type, const char* help) {
        out_ << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
    }
    void Sample(const char* name, const std::string& value) {
        out_ << name << ' ' << value << '\n';
    }
    void Sample(const char* name, const char* label, std::string_view labelValue,
                const std::string& value) {
        out_ << name << '{' << label << "=\"" << PrometheusLabel(labelValue) << "\"} " << value
             << '\n';
    }

  private:
    std::ostream& out_;
};

}  // namespace

std::string PrometheusLabel(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
            ++i;
        } else if (c == '\n') {
            out += "\\n";
            ++i;
        } else if (const std::size_t len = Utf8Length(value, i)) {
            out.append(value, i, len);
            i += len;
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
            ++i;
        }
    }
    return out;
}

void WritePrometheus(std::ostream& out, const SyncMetrics& m, const DatabaseProbe& probe,
                     const std::vector<TerminalStatus>& rows, Millis now) {
    Page page(out);
    page.Family("termlink_sync_database_up", "gauge",
                "Whether the database answered this scrape (1) or not (0).");
    page.Sample("termlink_sync_database_up", probe.up ? "1" : "0");
    if (probe.up) {
        page.Family("termlink_sync_database_latency_seconds", "gauge",
                    "How long the database took to answer this scrape's read of the terminals.");
        page.Sample("termlink_sync_database_latency_seconds", Number(probe.latencySeconds));
    }

    const auto counter = [&](const char* name, const char* help, long long value) {
        page.Family(name, "counter", help);
        page.Sample(name, std::to_string(value));
    };
    counter("termlink_sync_punches_added_total", "Punches this process stored that were new.",
            m.punchesAdded.load());
    counter("termlink_sync_downloads_total",
            "Complete downloads of a terminal this process committed.", m.downloads.load());
    counter("termlink_sync_failures_total", "Failed attempts on terminals by this process.",
            m.failures.load());
    counter("termlink_sync_lease_renewals_total",
            "Leases this process extended on terminals it held.", m.leaseRenewals.load());
    counter("termlink_sync_leases_lost_total",
            "Renewals refused because the lease was no longer this process's.",
            m.leasesLost.load());
    if (!probe.up) return;

    // Every state that status knows is listed, at zero too, so that a
    // query for one of them never finds no series.
    std::map<std::string, long long> states{
        {"ok", 0}, {"failing", 0}, {"never", 0}, {"syncing", 0}};
    for (const auto& s : rows) ++states[TerminalState(s, now)];
    page.Family("termlink_sync_terminals", "gauge", "Terminals of the fleet by state.");
    for (const auto& [state, n] : states)
        page.Sample("termlink_sync_terminals", "state", state, std::to_string(n));

    page.Family("termlink_sync_punches_stored", "gauge",
                "Punches stored in the database from each terminal (all processes).");
    for (const auto& s : rows)
        page.Sample("termlink_sync_punches_stored", "terminal", s.name, std::to_string(s.punches));
    page.Family("termlink_sync_terminal_failures", "gauge",
                "Consecutive failed attempts on each terminal (0 after a success).");
    for (const auto& s : rows)
        page.Sample("termlink_sync_terminal_failures", "terminal", s.name,
                    std::to_string(s.failures));
    page.Family("termlink_sync_last_success_timestamp_seconds", "gauge",
                "When each terminal's last complete download was stored (Unix time); terminals "
                "never synced have no sample.");
    for (const auto& s : rows)
        if (s.lastSuccess)
            page.Sample("termlink_sync_last_success_timestamp_seconds", "terminal", s.name,
                        Seconds(*s.lastSuccess));
}

}  // namespace tlsync
