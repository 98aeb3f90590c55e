// The three tables of termlink-sync, as both backends create them (the
// columns are described in docs/sync.md).
#pragma once

namespace tlsync {

inline constexpr const char* kTables[] = {
    R"(CREATE TABLE IF NOT EXISTS terminals (
    name         TEXT PRIMARY KEY,
    connection   TEXT NOT NULL,
    comm_key     INTEGER NOT NULL DEFAULT 0,
    serial       TEXT NOT NULL DEFAULT '',
    last_contact BIGINT,
    last_success BIGINT,
    punches      BIGINT NOT NULL DEFAULT 0,
    users        BIGINT NOT NULL DEFAULT 0,
    failures     INTEGER NOT NULL DEFAULT 0,
    last_error   TEXT NOT NULL DEFAULT '',
    retry_at     BIGINT NOT NULL DEFAULT 0,
    lease_owner  TEXT NOT NULL DEFAULT '',
    lease_until  BIGINT NOT NULL DEFAULT 0,
    lease_token  BIGINT NOT NULL DEFAULT 0))",
    R"(CREATE TABLE IF NOT EXISTS punches (
    serial     TEXT NOT NULL,
    user_id    TEXT NOT NULL,
    punch_time TEXT NOT NULL,
    state      INTEGER NOT NULL,
    verify     INTEGER NOT NULL,
    work_code  INTEGER NOT NULL,
    terminal   TEXT NOT NULL,
    stored_at  BIGINT NOT NULL,
    PRIMARY KEY (serial, user_id, punch_time, state, verify, work_code)))",
    R"(CREATE TABLE IF NOT EXISTS users (
    serial          TEXT NOT NULL,
    user_id         TEXT NOT NULL,
    terminal        TEXT NOT NULL,
    name            TEXT NOT NULL,
    department      INTEGER NOT NULL,
    department_name TEXT NOT NULL,
    updated_at      BIGINT NOT NULL,
    PRIMARY KEY (serial, user_id)))",
};

// The fencing token of leases came after the first release of the tables:
// databases created before it gain the column.
inline constexpr const char* kLeaseTokenColumn = "lease_token BIGINT NOT NULL DEFAULT 0";

// Index of the punches table in kTables.
inline constexpr int kPunchesTable = 1;

}  // namespace tlsync
