// The database behind termlink-sync. Every backend offers the same tables
// and the same guarantees:
//  - a punch is stored once, keyed by the terminal's serial number and the
//    punch's own fields; a commit is one transaction;
//  - terminals are handed to workers through leases: a claim takes a row
//    that nobody holds (or whose lease has run out) with the database's own
//    row locking, so several processes on several machines can share it;
//  - every claim gets its own fencing token, one more than the terminal's
//    previous one. A token is current until the next claim of the terminal:
//    a commit, renewal, release or failure made with an older token is
//    refused and changes nothing, so a worker whose lease ran out and was
//    claimed again can never store, extend or end what is now another's;
//  - times used for leases and back-off come from the database's clock
//    (Now()), so machines with different clocks agree.
// One Store object is one database connection, used by one thread at a time.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sync_types.h"

namespace tlsync {

class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Store {
  public:
    virtual ~Store() = default;

    // "sqlite" or "postgresql".
    virtual std::string Kind() const = 0;
    // Creates the tables when they are missing. Safe when several processes
    // start at once.
    virtual void Prepare() = 0;
    // The database's clock.
    virtual Millis Now() = 0;

    // Adds terminals, or updates the connection and key of ones already
    // known; their sync state is kept.
    virtual void AddTerminals(const std::vector<FleetEntry>& fleet) = 0;
    virtual std::vector<FleetEntry> Fleet() = 0;

    // Leases one terminal to `owner` for `leaseMs`: one that is not leased
    // (or whose lease has expired), whose back-off has passed, whose last
    // complete download is older than `doneSince` (or never happened), and
    // whose name is not in `skip`. Terminals that waited longest come first.
    virtual std::optional<Claim> ClaimNext(const std::string& owner, Millis leaseMs,
                                           Millis doneSince,
                                           const std::vector<std::string>& skip) = 0;
    // Names of terminals whose last complete download is older than
    // `doneSince`, leased or not, except those in `skip`.
    virtual std::vector<std::string> Outstanding(Millis doneSince,
                                                 const std::vector<std::string>& skip) = 0;
    // Extends the lease to `leaseMs` from now; false when `token` is no
    // longer current or the lease was released.
    virtual bool Renew(const std::string& name, long long token, Millis leaseMs) = 0;
    // Ends the lease if `token` is current.
    virtual void Release(const std::string& name, long long token) = 0;

    // Stores what a contact brought, in one transaction: binds the serial at
    // the first contact and refuses (storing nothing) a different one later,
    // or one that another terminal of the fleet is bound to (takenBy);
    // inserts the new punches; replaces the terminal's users when they were
    // read; records the contact (and, for a full download, the success) and
    // clears the failure count. The lease is released unless `keepLease`.
    // Refused (leaseLost, nothing stored) when `token` is no longer current.
    virtual CommitResult Commit(long long token, const Download& download, bool keepLease) = 0;
    // Records a failed attempt: the error, the contact time when the terminal
    // answered at all, one more consecutive failure, no new claim before
    // `retryAfterMs` from now, and the lease released. Nothing when `token`
    // is no longer current.
    virtual void Fail(long long token, const std::string& name, const std::string& error,
                      bool contacted, Millis retryAfterMs) = 0;
    // True when the serial number bound to a terminal (as the store keeps
    // it) is `reported`, the serial number as the terminal reports it.
    virtual bool SameSerial(const std::string& bound, const std::string& reported) const {
        return bound == reported;
    }
    // Forgets the serial number bound to a terminal (it was replaced).
    // False when there is no such terminal.
    virtual bool Rebind(const std::string& name) = 0;

    virtual std::vector<TerminalStatus> Status() = 0;
};

// Opens a database: "sqlite:PATH" (or a bare path) or "postgresql://..." /
// "postgres://..." (a libpq connection URI). Throws StoreError with a
// message that names the database. Unless `create`, a SQLite file that does
// not exist is an error rather than a new, empty database.
std::unique_ptr<Store> OpenStore(const std::string& url, bool create = true);

}  // namespace tlsync
