// The values termlink-sync moves between terminals, its scheduler and the
// database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tlsync {

// Milliseconds since 1970-01-01 UTC.
using Millis = std::int64_t;

// One terminal of the fleet.
struct FleetEntry {
    std::string name;  // unique, chosen by the owner of the fleet
    std::string
        connection;  // "udp:HOST[:PORT]", "tcp:HOST[:PORT]", "com:NAME[:BAUD[:STATION]]", "usb:N"
    int key = 0;     // communication key
};

// One attendance record. Together with the terminal's serial number these
// fields are the record's identity: the same punch downloaded twice, or once
// as a real-time event and once in a download, is one row.
struct Punch {
    std::string user;  // text ID on text-ID terminals, else the user number in decimal
    std::string time;  // "YYYY-MM-DD HH:MM:SS", the terminal's local clock
    int state = 0;
    int verify = 0;
    int workCode = 0;
};

struct UserRow {
    std::string user;  // as in Punch::user
    std::string name;
    int department = 0;          // the terminal's group number
    std::string departmentName;  // empty when the terminal has no department table
};

// What one contact with a terminal brought, stored in one transaction.
struct Download {
    std::string terminal;
    std::string serial;
    std::vector<Punch> punches;
    bool full = false;       // a whole-log download (else real-time events only)
    bool usersRead = false;  // users holds the terminal's whole user table
    std::vector<UserRow> users;
};

struct CommitResult {
    bool serialChanged =
        false;                // nothing was stored: the terminal is not the one bound to the name
    std::string boundSerial;  // the serial bound to the name (when serialChanged)
    std::string takenBy;      // nothing was stored: another terminal is bound to this serial
    bool leaseLost = false;   // nothing was stored: the claim was superseded by a later one
    long long added = 0;      // punches that were new to the database
};

// A terminal leased to this process.
struct Claim {
    FleetEntry entry;
    std::string serial;   // bound at the first successful contact; empty before
    int failures = 0;     // consecutive failed attempts before this claim
    long long token = 0;  // this claim's fencing token: current until the next claim
};

struct TerminalStatus {
    std::string name;
    std::string connection;
    std::string serial;
    std::optional<Millis> lastContact;  // any answer from the terminal
    std::optional<Millis> lastSuccess;  // last complete download stored
    long long punches = 0;              // punches stored from this terminal
    long long users = 0;                // users stored from this terminal
    int failures = 0;                   // consecutive failed attempts
    std::string lastError;              // empty after a success
    std::string leaseOwner;             // empty when not leased
    std::optional<Millis> leaseUntil;
};

}  // namespace tlsync
