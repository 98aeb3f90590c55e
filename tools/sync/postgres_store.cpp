// The PostgreSQL backend: one libpq connection. Claims are one UPDATE whose
// subquery picks a row with FOR UPDATE SKIP LOCKED, so concurrent workers on
// any machine never take the same terminal and never wait for each other;
// every lease and back-off time is computed by the server's clock inside the
// statement. Every value travels as a parameter in text format, lists as
// array literals built here with the array syntax's own escaping.
#include <libpq-fe.h>

#include <algorithm>
#include <set>

#include "backends.h"
#include "schema.h"

namespace tlsync {

namespace {

// The server's clock in milliseconds since 1970 UTC, read inside statements.
#define TLSYNC_NOW "(extract(epoch from clock_timestamp()) * 1000)::bigint"

// Any constant of this program's own, so that concurrent Prepare() calls
// queue behind each other while they create the tables.
constexpr long long kSchemaLockKey = 0x746c73796e63;  // "tlsync"

// Rows per INSERT: large enough for few round trips, small enough for the
// parameters of one statement to stay a few megabytes.
constexpr std::size_t kBatchRows = 5000;

// ---- RAII for libpq ---------------------------------------------------------------

struct ConnDeleter {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using ConnPtr = std::unique_ptr<PGconn, ConnDeleter>;
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// ---- texts --------------------------------------------------------------------------

// libpq's messages span lines ("...failed: Connection refused\n\tIs the
// server running..."): one line for a log.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    std::string out;
    for (char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The connection URI without its password, to name the database in messages.
std::string WithoutPassword(const std::string& uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string::npos) return uri;
    const std::size_t start = scheme + 3;
    const std::size_t end = std::min(uri.find_first_of("/?", start), uri.size());
    std::string out = uri.substr(0, start);
    const std::size_t at = uri.rfind('@', end - 1);
    if (at != std::string::npos && at >= start) {
        const std::string userinfo = uri.substr(start, at - start);
        out += userinfo.substr(0, userinfo.find(':')) + uri.substr(at, end - at);
    } else {
        out += uri.substr(start, end - start);
    }
    std::string rest = uri.substr(end);
    const std::size_t q = rest.find('?');
    if (q == std::string::npos) return out + rest;
    std::string query;
    std::size_t pos = q + 1;
    while (pos <= rest.size()) {
        std::size_t amp = std::min(rest.find('&', pos), rest.size());
        std::string param = rest.substr(pos, amp - pos);
        if (param.rfind("password=", 0) != 0 && !param.empty())
            query += (query.empty() ? "" : "&") + param;
        pos = amp + 1;
    }
    return out + rest.substr(0, q) + (query.empty() ? "" : "?" + query);
}

// The connection speaks UTF-8, and the database refuses text that is not;
// a terminal's texts are 8-bit in its own code page. Rather than refusing a
// whole commit (and its punches) over one name, bytes that do not form UTF-8
// are sent as the Latin-1 characters of the same value; valid UTF-8 passes
// unchanged. The mapping is deterministic, so a punch's identity and the
// join of punches and users stay the same on every download. (A SQL_ASCII
// database takes any bytes: there texts are stored exactly as sent.)
std::string ToUtf8(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t len = c < 0x80             ? 1
                          : (c & 0xE0) == 0xC0 ? 2
                          : (c & 0xF0) == 0xE0 ? 3
                          : (c & 0xF8) == 0xF0 ? 4
                                               : 0;
        bool valid = len > 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) valid = (s[i + k] & 0xC0) == 0x80;
        if (valid && len > 1) {
            // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
            unsigned cp = c & (0x7F >> len);
            for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
            static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = cp >= kMin[len] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        }
        if (valid) {
            out.append(in, i, len);
            i += len;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

// A text[] literal: every element quoted, with '"' and '\' escaped, so that
// commas, braces, blanks and the word NULL stay part of the element.
std::string TextArray(const std::vector<std::string>& items) {
    std::string out = "{";
    for (const std::string& item : items) {
        if (out.size() > 1) out += ',';
        out += '"';
        for (char c : item) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "}";
}

std::string IntArray(const std::vector<long long>& items) {
    std::string out = "{";
    for (long long v : items) {
        if (out.size() > 1) out += ',';
        out += std::to_string(v);
    }
    return out + "}";
}

const char* Bool(bool b) {
    return b ? "true" : "false";
}

// ---- bounded waits ------------------------------------------------------------------

// No wait on the server is unbounded: a connection attempt gives up after
// 10 s; TCP keepalives and the TCP user timeout notice a server that
// vanished (a half-open connection) within about 30 s even while a
// statement's answer is awaited; the server cancels a statement after 60 s,
// a wait for a row or table lock after 10 s, and ends a session idle inside
// a transaction after 60 s (so a client that vanished mid-commit does not
// hold its locks). Any of these given in the connection URI wins: they come
// before the URI, whose values replace earlier ones.
const char* const kBoundKeywords[] = {"connect_timeout",
                                      "keepalives",
                                      "keepalives_idle",
                                      "keepalives_interval",
                                      "keepalives_count",
                                      "tcp_user_timeout",
                                      "options",
                                      "dbname",
                                      nullptr};
const char* const kBoundDefaults[] = {"10",
                                      "1",
                                      "10",
                                      "5",
                                      "3",
                                      "30000",
                                      "-c statement_timeout=60000 -c lock_timeout=10000 "
                                      "-c idle_in_transaction_session_timeout=60000",
                                      nullptr,  // the URI
                                      nullptr};

PGconn* Connect(const std::string& uri) {
    const char* values[std::size(kBoundDefaults)];
    std::copy(std::begin(kBoundDefaults), std::end(kBoundDefaults), values);
    values[std::size(kBoundDefaults) - 2] = uri.c_str();
    return PQconnectdbParams(kBoundKeywords, values, 1);
}

// ---- the store ------------------------------------------------------------------------

class PostgresStore final : public Store {
  public:
    PostgresStore(std::string uri, std::string display)
        : display_(std::move(display)), conn_(Connect(uri)) {
        if (!conn_) throw StoreError(display_ + ": out of memory");
        if (PQstatus(conn_.get()) != CONNECTION_OK)
            throw StoreError(display_ + ": " + OneLine(PQerrorMessage(conn_.get())));
        Connected();
    }

    std::string Kind() const override { return "postgresql"; }

    void Prepare() override {
        Transaction tx(*this);
        Run("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")");
        for (const char* sql : kTables) Run(sql);
        Run(std::string("ALTER TABLE terminals ADD COLUMN IF NOT EXISTS ") + kLeaseTokenColumn);
        tx.Commit();
    }

    Millis Now() override {
        Result r = Exec("now", "SELECT " TLSYNC_NOW, {});
        return std::stoll(PQgetvalue(r.get(), 0, 0));
    }

    void AddTerminals(const std::vector<FleetEntry>& fleet) override {
        Transaction tx(*this);
        for (const FleetEntry& e : fleet)
            Exec("add_terminal",
                 "INSERT INTO terminals (name, connection, comm_key) VALUES ($1, $2, $3::integer) "
                 "ON CONFLICT (name) DO UPDATE SET connection = excluded.connection, "
                 "comm_key = excluded.comm_key",
                 {e.name, e.connection, std::to_string(e.key)});
        tx.Commit();
    }

    std::vector<FleetEntry> Fleet() override {
        Result r =
            Exec("fleet", "SELECT name, connection, comm_key FROM terminals ORDER BY name", {});
        std::vector<FleetEntry> out;
        for (int i = 0; i < PQntuples(r.get()); ++i)
            out.push_back({Text(r, i, 0), Text(r, i, 1), std::stoi(Text(r, i, 2))});
        return out;
    }

    std::optional<Claim> ClaimNext(const std::string& owner, Millis leaseMs, Millis doneSince,
                                   const std::vector<std::string>& skip) override {
        Result r =
            Exec("claim",
                 "UPDATE terminals SET lease_owner = $1, lease_token = lease_token + 1, "
                 "lease_until = " TLSYNC_NOW
                 " + $2::bigint "
                 "WHERE name = (SELECT name FROM terminals "
                 "WHERE (lease_owner = '' OR lease_until < " TLSYNC_NOW
                 ") "
                 "AND retry_at <= " TLSYNC_NOW
                 " "
                 "AND (last_success IS NULL OR last_success < $3::bigint) "
                 "AND NOT (name = ANY ($4::text[])) "
                 "ORDER BY last_success NULLS FIRST, name LIMIT 1 FOR UPDATE SKIP LOCKED) "
                 "RETURNING name, connection, comm_key, serial, failures, lease_token",
                 {owner, std::to_string(leaseMs), std::to_string(doneSince), TextArray(skip)});
        if (PQntuples(r.get()) == 0) return std::nullopt;
        Claim c;
        c.entry = {Text(r, 0, 0), Text(r, 0, 1), std::stoi(Text(r, 0, 2))};
        c.serial = Text(r, 0, 3);
        c.failures = std::stoi(Text(r, 0, 4));
        c.token = std::stoll(Text(r, 0, 5));
        return c;
    }

    std::vector<std::string> Outstanding(Millis doneSince,
                                         const std::vector<std::string>& skip) override {
        Result r = Exec("outstanding",
                        "SELECT name FROM terminals "
                        "WHERE (last_success IS NULL OR last_success < $1::bigint) "
                        "AND NOT (name = ANY ($2::text[])) ORDER BY name",
                        {std::to_string(doneSince), TextArray(skip)});
        std::vector<std::string> out;
        for (int i = 0; i < PQntuples(r.get()); ++i) out.push_back(Text(r, i, 0));
        return out;
    }

    bool Renew(const std::string& name, long long token, Millis leaseMs) override {
        Result r = Exec("renew",
                        "UPDATE terminals SET lease_until = " TLSYNC_NOW
                        " + $3::bigint "
                        "WHERE name = $1 AND lease_token = $2::bigint AND lease_owner <> ''",
                        {name, std::to_string(token), std::to_string(leaseMs)});
        return Changed(r) > 0;
    }

    void Release(const std::string& name, long long token) override {
        Exec("release",
             "UPDATE terminals SET lease_owner = '', lease_until = 0 "
             "WHERE name = $1 AND lease_token = $2::bigint",
             {name, std::to_string(token)});
    }

    bool SameSerial(const std::string& bound, const std::string& reported) const override {
        return bound == Db(reported);
    }

    CommitResult Commit(long long token, const Download& d, bool keepLease) override {
        CommitResult result;
        Transaction tx(*this);
        Result row = Exec("lock_terminal",
                          "SELECT serial, " TLSYNC_NOW
                          ", lease_token FROM terminals WHERE name = $1 FOR UPDATE",
                          {d.terminal});
        if (PQntuples(row.get()) == 0)
            throw StoreError(display_ + ": no terminal named " + d.terminal);
        if (std::stoll(Text(row, 0, 2)) != token) {
            result.leaseLost = true;
            return result;  // rolled back: nothing stored
        }
        const std::string bound = Text(row, 0, 0);
        const std::string now = Text(row, 0, 1);
        const std::string serial = Db(d.serial);
        if (!bound.empty() && bound != serial) {
            result.serialChanged = true;
            result.boundSerial = bound;
            return result;  // rolled back: nothing stored
        }
        // Two names for one serial would mix two terminals' punches under
        // one key (or list one terminal twice).
        Result other = Exec("serial_owner",
                            "SELECT name FROM terminals WHERE serial = $1 AND name <> $2 LIMIT 1",
                            {serial, d.terminal});
        if (PQntuples(other.get()) > 0) {
            result.takenBy = Text(other, 0, 0);
            return result;
        }
        for (std::size_t at = 0; at < d.punches.size(); at += kBatchRows) {
            const std::size_t end = std::min(d.punches.size(), at + kBatchRows);
            std::vector<std::string> users, times;
            std::vector<long long> states, verifies, codes;
            for (std::size_t i = at; i < end; ++i) {
                const Punch& p = d.punches[i];
                users.push_back(p.user);
                times.push_back(p.time);
                states.push_back(p.state);
                verifies.push_back(p.verify);
                codes.push_back(p.workCode);
            }
            Result r =
                Exec("insert_punches",
                     "INSERT INTO punches (serial, user_id, punch_time, state, verify, work_code, "
                     "terminal, stored_at) "
                     "SELECT $1, u, t, s, v, w, $2, $3::bigint FROM unnest($4::text[], $5::text[], "
                     "$6::integer[], $7::integer[], $8::integer[]) AS x(u, t, s, v, w) "
                     "ON CONFLICT DO NOTHING",
                     {serial, d.terminal, now, TextArray(users), TextArray(times), IntArray(states),
                      IntArray(verifies), IntArray(codes)});
            result.added += Changed(r);
        }
        long long userCount = 0;
        if (d.usersRead) {
            Exec("delete_users", "DELETE FROM users WHERE serial = $1", {serial});
            for (std::size_t at = 0; at < d.users.size(); at += kBatchRows) {
                const std::size_t end = std::min(d.users.size(), at + kBatchRows);
                std::vector<std::string> ids, names, departmentNames;
                std::vector<long long> departments;
                for (std::size_t i = at; i < end; ++i) {
                    const UserRow& u = d.users[i];
                    ids.push_back(u.user);
                    names.push_back(u.name);
                    departments.push_back(u.department);
                    departmentNames.push_back(u.departmentName);
                }
                // A user number the terminal lists twice is stored once.
                Result r = Exec(
                    "insert_users",
                    "INSERT INTO users (serial, user_id, terminal, name, department, "
                    "department_name, updated_at) "
                    "SELECT $1, u, $2, n, dep, dn, $3::bigint FROM unnest($4::text[], $5::text[], "
                    "$6::integer[], $7::text[]) AS x(u, n, dep, dn) "
                    "ON CONFLICT DO NOTHING",
                    {serial, d.terminal, now, TextArray(ids), TextArray(names),
                     IntArray(departments), TextArray(departmentNames)});
                userCount += Changed(r);
            }
        }
        Exec("commit_terminal",
             "UPDATE terminals SET serial = $2, last_contact = $3::bigint, "
             "last_success = CASE WHEN $4::boolean THEN $3::bigint ELSE last_success END, "
             "punches = punches + $5::bigint, "
             "users = CASE WHEN $6::boolean THEN $7::bigint ELSE users END, "
             "failures = 0, last_error = '', retry_at = 0, "
             "lease_owner = CASE WHEN $8::boolean THEN lease_owner ELSE '' END, "
             "lease_until = CASE WHEN $8::boolean THEN lease_until ELSE 0 END "
             "WHERE name = $1",
             {d.terminal, serial, now, Bool(d.full), std::to_string(result.added),
              Bool(d.usersRead), std::to_string(userCount), Bool(keepLease)});
        // One notice per commit that stored new punches, for programs
        // downstream (LISTEN termlink_punches). NOTIFY is transactional: the
        // server delivers it when this transaction commits and drops it
        // when it rolls back. A payload must stay below 8000 bytes, so
        // absurdly long names are cut rather than failing the commit.
        if (result.added > 0)
            Exec(
                "notify",
                "SELECT pg_notify('termlink_punches', json_build_object('terminal', left($1, 500), "
                "'serial', left($2, 500), 'punches', $3::bigint)::text)",
                {d.terminal, serial, std::to_string(result.added)});
        tx.Commit();
        return result;
    }

    void Fail(long long token, const std::string& name, const std::string& error, bool contacted,
              Millis retryAfterMs) override {
        Exec("fail",
             "UPDATE terminals SET last_error = $3, "
             "last_contact = CASE WHEN $4::boolean THEN " TLSYNC_NOW
             " ELSE last_contact END, "
             "failures = failures + 1, retry_at = " TLSYNC_NOW
             " + $5::bigint, "
             "lease_owner = '', lease_until = 0 WHERE name = $1 AND lease_token = $2::bigint",
             {name, std::to_string(token), error, Bool(contacted), std::to_string(retryAfterMs)});
    }

    bool Rebind(const std::string& name) override {
        Result r = Exec("rebind", "UPDATE terminals SET serial = '' WHERE name = $1", {name});
        return Changed(r) > 0;
    }

    std::vector<TerminalStatus> Status() override {
        Result r = Exec("status",
                        "SELECT name, connection, serial, last_contact, last_success, punches, "
                        "users, failures, last_error, lease_owner, lease_until "
                        "FROM terminals ORDER BY name",
                        {});
        std::vector<TerminalStatus> out;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            TerminalStatus s;
            s.name = Text(r, i, 0);
            s.connection = Text(r, i, 1);
            s.serial = Text(r, i, 2);
            s.lastContact = OptionalMillis(r, i, 3);
            s.lastSuccess = OptionalMillis(r, i, 4);
            s.punches = std::stoll(Text(r, i, 5));
            s.users = std::stoll(Text(r, i, 6));
            s.failures = std::stoi(Text(r, i, 7));
            s.lastError = Text(r, i, 8);
            s.leaseOwner = Text(r, i, 9);
            if (!s.leaseOwner.empty()) s.leaseUntil = std::stoll(Text(r, i, 10));
            out.push_back(std::move(s));
        }
        return out;
    }

  private:
    // Rolls back unless committed; a failed rollback (the connection is
    // gone) is left to the next statement to report.
    class Transaction {
      public:
        explicit Transaction(PostgresStore& s) : store_(s) { store_.Run("BEGIN"); }
        ~Transaction() {
            if (!done_) PQclear(PQexec(store_.conn_.get(), "ROLLBACK"));
        }
        void Commit() {
            store_.Run("COMMIT");
            done_ = true;
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

      private:
        PostgresStore& store_;
        bool done_ = false;
    };

    void Connected() {
        // CREATE TABLE IF NOT EXISTS and the like send notices; libpq would
        // print them on standard error.
        PQsetNoticeProcessor(
            conn_.get(), [](void*, const char*) {}, nullptr);
        Result r(PQexec(conn_.get(), "SHOW server_encoding"));
        Check(r, PGRES_TUPLES_OK);
        raw_ = std::string(PQgetvalue(r.get(), 0, 0)) == "SQL_ASCII";
        // Whatever PGCLIENTENCODING says: the texts below are UTF-8 (or raw).
        if (PQsetClientEncoding(conn_.get(), raw_ ? "SQL_ASCII" : "UTF8") != 0)
            throw StoreError(display_ + ": " + OneLine(PQerrorMessage(conn_.get())));
        prepared_.clear();
    }

    // A broken connection is reported by the statement that meets it; the
    // next call reconnects once.
    void EnsureConnected() {
        if (PQstatus(conn_.get()) == CONNECTION_OK) return;
        PQreset(conn_.get());
        if (PQstatus(conn_.get()) != CONNECTION_OK)
            throw StoreError(display_ + ": " + OneLine(PQerrorMessage(conn_.get())));
        Connected();
    }

    void Check(const Result& r, ExecStatusType want) {
        if (r && PQresultStatus(r.get()) == want) return;
        std::string message;
        if (r) {
            const char* primary = PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY);
            if (primary) message = primary;
        }
        if (message.empty()) message = OneLine(PQerrorMessage(conn_.get()));
        if (message.empty()) message = "statement failed";
        throw StoreError(display_ + ": " + message);
    }

    // A statement without parameters, run once.
    void Run(const std::string& sql) {
        EnsureConnected();
        Result r(PQexec(conn_.get(), sql.c_str()));
        if (r && PQresultStatus(r.get()) == PGRES_TUPLES_OK) return;
        Check(r, PGRES_COMMAND_OK);
    }

    // A prepared statement (prepared on first use); every value in text, in
    // the database's encoding.
    Result Exec(const char* name, const char* sql, const std::vector<std::string>& params) {
        EnsureConnected();
        if (!prepared_.count(name)) {
            Result p(PQprepare(conn_.get(), name, sql, 0, nullptr));
            Check(p, PGRES_COMMAND_OK);
            prepared_.insert(name);
        }
        std::vector<std::string> values;
        std::vector<const char*> pointers;
        values.reserve(params.size());
        for (const std::string& p : params) values.push_back(Db(p));
        for (const std::string& v : values) pointers.push_back(v.c_str());
        Result r(PQexecPrepared(conn_.get(), name, static_cast<int>(pointers.size()),
                                pointers.data(), nullptr, nullptr, 0));
        if (r && PQresultStatus(r.get()) == PGRES_TUPLES_OK) return r;
        Check(r, PGRES_COMMAND_OK);
        return r;
    }

    std::string Db(const std::string& s) const { return raw_ ? s : ToUtf8(s); }

    static std::string Text(const Result& r, int row, int col) {
        return std::string(PQgetvalue(r.get(), row, col),
                           static_cast<std::size_t>(PQgetlength(r.get(), row, col)));
    }
    static std::optional<Millis> OptionalMillis(const Result& r, int row, int col) {
        if (PQgetisnull(r.get(), row, col)) return std::nullopt;
        return std::stoll(Text(r, row, col));
    }
    static long long Changed(const Result& r) {
        const char* n = PQcmdTuples(r.get());
        return n && *n ? std::stoll(n) : 0;
    }

    std::string display_;
    ConnPtr conn_;
    bool raw_ = false;
    std::set<std::string> prepared_;
};

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& uri) {
    return std::make_unique<PostgresStore>(uri, WithoutPassword(uri));
}

}  // namespace tlsync
