// The sync engine: a bounded pool of workers that lease terminals from the
// database, download them through the public C API and commit what they
// brought.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "sync_types.h"

namespace tlsync {

struct SyncMetrics;

struct RunOptions {
    int workers = 4;
    Millis leaseMs = 60000;        // how long a claim holds a terminal without renewal
    int timeoutMs = 5000;          // transport timeout per exchange
    int attempts = 3;              // tries per terminal in one run
    Millis backoffMs = 1000;       // first pause after a failure; doubles per failure
    Millis maxBackoffMs = 300000;  // longest pause
    bool users = true;             // also sync users' names and departments
    bool lock = false;             // keep the keypad off during the download
    bool clear = false;            // clear the log after its punches are committed (locks too)
    bool follow = false;           // stay connected and store real-time punches
    Millis pollMs = 1000;          // --follow: how often each terminal is polled for events
    Millis fullEveryMs = 300000;   // --follow: full download as a safety net this often
    int hold = 100;                // --follow: most terminals this process keeps open
    std::string owner;             // lease owner; empty: host name and process id
    // Progress lines (one per terminal event), for standard error.
    std::function<void(const std::string&)> progress;
    // Set from outside (a signal) to end a --follow run or a run early.
    const std::atomic<bool>* stop = nullptr;
    // Counters of the run's work (downloads, punches, failures, lease
    // renewals), for a metrics page; null: the run counts into its own.
    SyncMetrics* metrics = nullptr;
};

struct RunSummary {
    int terminals = 0;                // terminals handled by this process
    int reached = 0;                  // downloaded and committed
    int failed = 0;                   // given up on in this run
    long long newPunches = 0;         // punches new to the database
    long long users = 0;              // users stored
    long long leaseRenewals = 0;      // as SyncMetrics::leaseRenewals at the end
    std::vector<std::string> errors;  // "NAME: message", one per failed terminal
};

// Runs until every terminal of the database's fleet has been downloaded
// since the run began (by this process or another sharing the database) or
// given up on after `attempts` tries; with `follow`, until `stop`.
// Throws StoreError when the database cannot be used at all.
RunSummary Run(const std::string& databaseUrl, const RunOptions& options);

}  // namespace tlsync
