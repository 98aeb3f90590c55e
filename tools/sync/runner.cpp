#include "runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "lease_keeper.h"
#include "store.h"
#include "sync_metrics.h"
#include "terminal_link.h"

namespace tlsync {

namespace {

// How long an idle worker waits before asking the database again.
constexpr Millis kIdleWaitMs = 200;

std::string RandomOwner() {
    std::random_device rd;
    char text[32];
    std::snprintf(text, sizeof text, "sync-%08x", rd());
    return text;
}

std::string Plural(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One terminal held open by a --follow worker.
struct Followed {
    std::unique_ptr<TerminalLink> link;
    std::string name;
    std::string serial;   // bound to the name
    long long token = 0;  // the claim's fencing token
    std::chrono::steady_clock::time_point nextPoll, nextFull;
    bool events = true;  // the firmware has real-time events
};

class Engine {
  public:
    Engine(std::string url, RunOptions options)
        : url_(std::move(url)), o_(std::move(options)), stats_(o_.metrics ? o_.metrics : &ownStats_) {
        if (o_.owner.empty()) o_.owner = RandomOwner();
        o_.workers = std::max(1, o_.workers);
        o_.attempts = std::max(1, o_.attempts);
    }

    RunSummary Run() {
        {
            auto store = OpenStore(url_);
            store->Prepare();
            runStart_ = store->Now();
            summary_.terminals = static_cast<int>(store->Fleet().size());
        }
        std::vector<std::thread> threads;
        for (int i = 0; i < o_.workers; ++i) threads.emplace_back([this] { Worker(); });
        for (auto& t : threads) t.join();
        if (!storeError_.empty()) throw StoreError(storeError_);
        summary_.leaseRenewals = stats_->leaseRenewals.load();
        return summary_;
    }

  private:
    bool Stopping() const { return (o_.stop && o_.stop->load()) || failedHard_.load(); }

    void Count(std::atomic<long long> SyncMetrics::*counter, long long n = 1) {
        (stats_->*counter) += n;
    }

    void Say(const std::string& line) {
        if (!o_.progress) return;
        std::lock_guard<std::mutex> lock(mutex_);
        o_.progress(line);
    }

    std::vector<std::string> Skipped() {
        std::lock_guard<std::mutex> lock(mutex_);
        return skip_;
    }

    void Sleep(Millis ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!Stopping() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<Millis>(ms, 50)));
    }

    Millis Backoff(int failures) const {
        Millis b = o_.backoffMs;
        for (int i = 0; i < failures && b < o_.maxBackoffMs; ++i) b *= 2;
        return std::min(b, o_.maxBackoffMs);
    }

    // A one-shot run ends at a database failure (the run cannot vouch for
    // what it stored); a --follow run outlives it: the worker drops its
    // terminals (their leases run out) and connects again after a pause.
    void Worker() {
        // The worker's connection, shared with the lease keeper of its
        // current claim.
        std::mutex storeMutex;
        for (;;) {
            try {
                auto store = OpenStore(url_);
                if (o_.follow)
                    Follow(*store, storeMutex);
                else
                    Once(*store, storeMutex);
                return;
            } catch (const StoreError& e) {
                if (!o_.follow) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (storeError_.empty()) storeError_ = e.what();
                    failedHard_ = true;
                    return;
                }
                Say(std::string("database: ") + e.what() + "; trying again in 5 s");
                Sleep(5000);
                if (Stopping()) return;
            }
        }
    }

    // A one-shot run: claim, download, commit, until nothing is outstanding.
    void Once(Store& store, std::mutex& storeMutex) {
        while (!Stopping()) {
            const auto skip = Skipped();
            auto claim = store.ClaimNext(o_.owner, o_.leaseMs, runStart_, skip);
            if (!claim) {
                if (store.Outstanding(runStart_, skip).empty()) return;
                Sleep(kIdleWaitMs);  // leased elsewhere or backing off
                continue;
            }
            // Another worker may have given the terminal up after this one
            // read the list: without back-off (--backoff 0) the terminal is
            // claimable again at once.
            if (GivenUp(claim->entry.name)) {
                store.Release(claim->entry.name, claim->token);
                continue;
            }
            try {
                // Renewed from the claim on: connecting alone may outlast it.
                LeaseKeeper keeper(store, storeMutex, claim->entry.name, claim->token, o_.leaseMs,
                                   stats_->leaseRenewals);
                TerminalLink link(claim->entry, o_.timeoutMs);
                FullSync(store, storeMutex, keeper, link, *claim, false);
            } catch (const LinkError& e) {
                Failed(store, *claim, e.what(), e.contacted, false);
            } catch (const SerialChanged& e) {
                Failed(store, *claim, e.what(), true, true);
            } catch (const LeaseLost&) {
                Count(&SyncMetrics::leasesLost);
                Say(claim->entry.name + ": lease lost to another claim; nothing stored");
            }
        }
    }

    bool GivenUp(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(skip_.begin(), skip_.end(), name) != skip_.end();
    }

    struct SerialChanged : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // The claim was superseded by a later one: stop, store nothing, leave
    // the terminal (and its keypad) to the new holder.
    struct LeaseLost {};

    static std::string SerialMessage(const std::string& name, const std::string& bound,
                                     const std::string& now) {
        return "serial number changed: '" + name + "' was " + bound + ", now reports " + now +
               "; nothing stored. If the terminal was replaced, run 'termlink-sync rebind " + name +
               "'";
    }

    // Throws when the database refused a commit for the terminal's serial.
    static void Refused(const std::string& name, const CommitResult& r, const std::string& serial) {
        if (r.serialChanged) throw SerialChanged(SerialMessage(name, r.boundSerial, serial));
        if (!r.takenBy.empty())
            throw SerialChanged("serial number " + serial + " of '" + name +
                                "' already belongs to terminal '" + r.takenBy +
                                "'; nothing stored. Two fleet entries reach the same terminal, or "
                                "the other one was replaced (then run 'termlink-sync rebind " +
                                r.takenBy + "')");
    }

    // Downloads users and the log and commits them; clears the log after the
    // commit when asked. The lease is renewed throughout. Throws LinkError,
    // SerialChanged, LeaseLost or StoreError.
    //
    // With --lock or --clear the keypad is off from before the download
    // until after the clear, and the lease is held until the keypad is on
    // again: the commit is fenced by the claim's token (it stores every
    // punch this download read, or nothing), and a renewal from this thread
    // after it proves the lease is still this claim's, for a whole lease
    // more, before the log is cleared and the keypad turned on. A claim that
    // lost its lease touches neither: the terminal is another session's now.
    void FullSync(Store& store, std::mutex& storeMutex, LeaseKeeper& keeper, TerminalLink& link,
                  const Claim& claim, bool keepLease) {
        const std::string& name = claim.entry.name;
        if (!claim.serial.empty() && !store.SameSerial(claim.serial, link.Identity()))
            throw SerialChanged(SerialMessage(name, claim.serial, link.Identity()));
        if (!link.HasSerial())
            Say(name + ": the terminal reports no serial number; its punches are keyed by " +
                link.Identity());
        const bool lock = o_.lock || o_.clear;
        Download d;
        CommitResult r;
        std::string cleared;
        try {
            if (lock) link.Lock();
            d.terminal = name;
            d.serial = link.Identity();
            d.full = true;
            if (o_.users) {
                d.users = link.ReadUsers();
                d.usersRead = true;
            }
            if (keeper.Lost()) throw LeaseLost();
            d.punches = link.ReadLog();
            if (keeper.Lost()) throw LeaseLost();
            {
                std::lock_guard<std::mutex> g(storeMutex);
                r = store.Commit(claim.token, d, keepLease || lock);
            }
            if (r.leaseLost) throw LeaseLost();
            Refused(name, r, d.serial);
            if (lock) {
                if (!keeper.RenewNow()) throw LeaseLost();
                if (o_.clear && !d.punches.empty()) {
                    // Only after the commit: a run that dies before this
                    // point downloads the same punches again, and the keys
                    // drop them.
                    link.ClearLog();
                    cleared = ", log cleared";
                }
                link.Unlock();
                if (!keepLease) {
                    std::lock_guard<std::mutex> g(storeMutex);
                    store.Release(name, claim.token);
                }
            }
        } catch (const LinkError&) {
            // The terminal failed: its keypad is turned back on (by the
            // link) only while the lease is still this claim's.
            bool held = false;
            try {
                held = keeper.RenewNow();
            } catch (const StoreError&) {
            }
            if (!held) link.Abandon();
            throw;
        } catch (const LeaseLost&) {
            link.Abandon();
            throw;
        } catch (const StoreError&) {
            link.Abandon();  // whether the lease is still ours is unknown
            throw;
        }
        {
            std::lock_guard<std::mutex> g(mutex_);
            ++summary_.reached;
            summary_.newPunches += r.added;
            summary_.users += static_cast<long long>(d.users.size());
        }
        Count(&SyncMetrics::downloads);
        Count(&SyncMetrics::punchesAdded, r.added);
        Say(name + ": " + Plural(static_cast<long long>(d.punches.size()), "punch", "punches") +
            ", " + std::to_string(r.added) + " new" +
            (d.usersRead ? ", " + Plural(static_cast<long long>(d.users.size()), "user", "users")
                         : std::string()) +
            cleared);
    }

    // Records a failed attempt; gives the terminal up for this run after the
    // last attempt (or at once when its serial number changed).
    void Failed(Store& store, const Claim& claim, const std::string& error, bool contacted,
                bool final) {
        const std::string& name = claim.entry.name;
        int attempt;
        bool givenUp;
        {
            std::lock_guard<std::mutex> g(mutex_);
            attempt = ++attempts_[name];
            givenUp = final || attempt >= o_.attempts;
            if (givenUp && !o_.follow &&
                std::find(skip_.begin(), skip_.end(), name) == skip_.end()) {
                skip_.push_back(name);
                ++summary_.failed;
                summary_.errors.push_back(name + ": " + error);
            }
        }
        // A one-shot run backs off by its own attempts (1 s, 2 s, ...): a
        // terminal that has been dead for days must not keep the run waiting
        // minutes for its next try. A --follow process backs off by the
        // terminal's consecutive failures, up to the longest pause.
        const Millis wait = Backoff(o_.follow ? claim.failures : attempt - 1);
        Count(&SyncMetrics::failures);
        store.Fail(claim.token, name, error, contacted, wait);
        std::string line = name + ": " + error;
        if (!givenUp || o_.follow)
            line += " (attempt " + std::to_string(attempt) + "; next try in " +
                    std::to_string((wait + 999) / 1000) + " s)";
        else
            line += " (given up for this run)";
        Say(line);
    }

    // --follow: each worker holds up to its share of terminals open, polls
    // their real-time punches and downloads them in full now and then.
    void Follow(Store& store, std::mutex& storeMutex) {
        using Clock = std::chrono::steady_clock;
        const Millis anyTime = std::numeric_limits<Millis>::max();
        const int perWorker = std::max(1, (o_.hold + o_.workers - 1) / o_.workers);
        std::vector<Followed> held;
        while (!Stopping()) {
            const auto now = Clock::now();
            // Take on more terminals while there is room.
            if (static_cast<int>(held.size()) < perWorker) {
                if (auto claim = store.ClaimNext(o_.owner, o_.leaseMs, anyTime, {})) {
                    Followed f;
                    f.name = claim->entry.name;
                    f.token = claim->token;
                    try {
                        LeaseKeeper keeper(store, storeMutex, f.name, f.token, o_.leaseMs,
                                           stats_->leaseRenewals);
                        f.link = std::make_unique<TerminalLink>(claim->entry, o_.timeoutMs);
                        FullSync(store, storeMutex, keeper, *f.link, *claim, true);
                        f.nextPoll = Clock::now() + std::chrono::milliseconds(o_.pollMs);
                        f.nextFull = Clock::now() + std::chrono::milliseconds(o_.fullEveryMs);
                        f.serial = f.link->Identity();
                        held.push_back(std::move(f));
                        Say(claim->entry.name + ": following");
                    } catch (const LinkError& e) {
                        Failed(store, *claim, e.what(), e.contacted, false);
                    } catch (const SerialChanged& e) {
                        Failed(store, *claim, e.what(), true, true);
                    } catch (const LeaseLost&) {
                        Count(&SyncMetrics::leasesLost);
                        Say(claim->entry.name + ": lease lost to another claim; nothing stored");
                    }
                    continue;
                }
            }
            auto next = now + std::chrono::milliseconds(kIdleWaitMs);
            for (auto it = held.begin(); it != held.end() && !Stopping();) {
                if (it->nextPoll > now) {
                    next = std::min(next, it->nextPoll);
                    ++it;
                    continue;
                }
                if (!Step(store, storeMutex, *it)) {
                    it = held.erase(it);
                    continue;
                }
                next = std::min(next, it->nextPoll);
                ++it;
            }
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            if (wait > 0) Sleep(wait);
        }
        for (auto& f : held) store.Release(f.name, f.token);
    }

    // One poll of a followed terminal; false when it was dropped.
    bool Step(Store& store, std::mutex& storeMutex, Followed& f) {
        using Clock = std::chrono::steady_clock;
        Claim claim;
        claim.entry.name = f.name;
        claim.serial = f.serial;
        claim.token = f.token;
        try {
            if (!store.Renew(f.name, f.token, o_.leaseMs)) throw LeaseLost();
            Count(&SyncMetrics::leaseRenewals);
            if (Clock::now() >= f.nextFull || !f.events) {
                LeaseKeeper keeper(store, storeMutex, f.name, f.token, o_.leaseMs,
                                   stats_->leaseRenewals);
                FullSync(store, storeMutex, keeper, *f.link, claim, true);
                f.nextFull = Clock::now() + std::chrono::milliseconds(o_.fullEveryMs);
            } else {
                std::vector<Punch> punches;
                f.events = f.link->PollEvents(&punches);
                if (!f.events)
                    Say(f.name + ": no real-time events on this firmware; polling the log");
                if (!punches.empty()) {
                    Download d;
                    d.terminal = f.name;
                    d.serial = f.link->Identity();
                    d.punches = std::move(punches);
                    const CommitResult r = store.Commit(f.token, d, true);
                    if (r.leaseLost) throw LeaseLost();
                    Refused(f.name, r, d.serial);
                    {
                        std::lock_guard<std::mutex> g(mutex_);
                        summary_.newPunches += r.added;
                    }
                    Count(&SyncMetrics::punchesAdded, r.added);
                    Say(f.name + ": " +
                        Plural(static_cast<long long>(d.punches.size()), "live punch",
                               "live punches") +
                        ", " + std::to_string(r.added) + " new");
                }
            }
            f.nextPoll =
                Clock::now() + std::chrono::milliseconds(f.events ? o_.pollMs : o_.fullEveryMs);
            return true;
        } catch (const LinkError& e) {
            Failed(store, claim, e.what(), e.contacted, false);
        } catch (const SerialChanged& e) {
            Failed(store, claim, e.what(), true, true);
        } catch (const LeaseLost&) {
            Count(&SyncMetrics::leasesLost);
            f.link->Abandon();
            Say(f.name + ": lease lost; another process has it now");
        }
        return false;
    }

    std::string url_;
    RunOptions o_;
    SyncMetrics ownStats_;
    SyncMetrics* stats_;
    Millis runStart_ = 0;
    std::mutex mutex_;
    RunSummary summary_;
    std::vector<std::string> skip_;
    std::map<std::string, int> attempts_;
    std::string storeError_;
    std::atomic<bool> failedHard_{false};
};

}  // namespace

RunSummary Run(const std::string& databaseUrl, const RunOptions& options) {
    return Engine(databaseUrl, options).Run();
}

}  // namespace tlsync
