// What a running termlink-sync counts about its own work, and the metrics
// page that shows it beside the fleet's state as the database holds it, in
// the Prometheus text exposition format (version 0.0.4).
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "sync_types.h"

namespace tlsync {

// Counters of this process since it started. The engine's workers add to
// them as they go; the metrics page reads them at any time.
struct SyncMetrics {
    std::atomic<long long> punchesAdded{0};   // punches new to the database
    std::atomic<long long> downloads{0};      // complete downloads committed
    std::atomic<long long> failures{0};       // failed attempts on terminals
    std::atomic<long long> leaseRenewals{0};  // leases extended while a terminal was held
    std::atomic<long long> leasesLost{0};     // renewals refused: the lease was no longer ours
};

// One look at the database: whether it answered, and how long it took.
struct DatabaseProbe {
    bool up = false;
    double latencySeconds = 0;  // the round trip of the probe's query, when up
    std::string error;          // why not, when down
};

// The metrics page. `rows` and `now` are the database's terminals and clock
// (ignored when the probe found the database down: the page then shows only
// this process's counters and the database as down).
void WritePrometheus(std::ostream& out, const SyncMetrics& metrics, const DatabaseProbe& probe,
                     const std::vector<TerminalStatus>& rows, Millis now);

// A label value in the text format: backslash, double quote and line feed
// escaped. The format is UTF-8; bytes that are not part of valid UTF-8
// (terminal names are 8-bit text) are written as the Latin-1 characters of
// the same value, so every name gives a valid page and distinct names stay
// distinct.
std::string PrometheusLabel(std::string_view value);

}  // namespace tlsync
