// The embedded database: one SQLite file. Each Store is one connection; the
// file runs in WAL mode so status readers never wait for a writer, and every
// write runs in a BEGIN IMMEDIATE transaction, so claims from several
// connections (threads or processes on this machine) are serialised by
// SQLite's own file lock.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "backends.h"
#include "schema.h"

namespace tlsync {

namespace {

Millis WallClock() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One prepared statement, reset for reuse.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& where, const char* sql) : db_(db), where_(where) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail();
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, const std::string& v) {
        Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int i, long long v) {
        Check(sqlite3_bind_int64(stmt_, i, v));
        return *this;
    }
    Statement& BindNull(int i) {
        Check(sqlite3_bind_null(stmt_, i));
        return *this;
    }
    // True while a row is available.
    bool Step() {
        const int r = sqlite3_step(stmt_);
        if (r == SQLITE_ROW) return true;
        if (r != SQLITE_DONE) Fail();
        return false;
    }
    void Run() {
        while (Step()) {
        }
        Reset();
    }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string Text(int col) const {
        const auto* p = sqlite3_column_text(stmt_, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    long long Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::optional<Millis> MaybeInt(int col) const {
        if (sqlite3_column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
        return Int(col);
    }

  private:
    void Check(int r) {
        if (r != SQLITE_OK) Fail();
    }
    [[noreturn]] void Fail() { throw StoreError(where_ + ": " + sqlite3_errmsg(db_)); }

    sqlite3* db_;
    std::string where_;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteStore : public Store {
  public:
    SqliteStore(const std::string& path, bool create)
        : where_("sqlite:" + path), writers_(WritersOf(path)) {
        // No global memory statistics: their mutex is taken on every
        // allocation of every connection. Only possible before SQLite starts
        // up; later calls are refused and change nothing.
        static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        (void)unused;
        const int r = sqlite3_open_v2(
            path.c_str(), &db_,
            SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX,
            nullptr);
        if (r != SQLITE_OK) {
            std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(r);
            sqlite3_close(db_);
            throw StoreError(where_ + ": " + msg);
        }
        // The destructor does not run for a constructor that throws: the
        // connection (and its file descriptors) is closed here.
        try {
            // Writers wait for each other instead of failing; long enough
            // for a large commit from another worker.
            sqlite3_busy_timeout(db_, kBusyMs);
            SwitchToWal();
            Exec("PRAGMA synchronous=NORMAL");
            Exec("PRAGMA cache_size=-32768");  // 32 MiB: a fleet's index pages stay in memory
        } catch (...) {
            sqlite3_close(db_);
            throw;
        }
    }
    ~SqliteStore() override { sqlite3_close(db_); }

    std::string Kind() const override { return "sqlite"; }

    void Prepare() override {
        Transaction t(*this);
        for (int i = 0; i < static_cast<int>(std::size(kTables)); ++i) {
            std::string sql = kTables[i];
            // The key is the table: one b-tree instead of a table and an index.
            if (i == kPunchesTable) sql += " WITHOUT ROWID";
            Exec(sql.c_str());
        }
        {
            Statement s(db_, where_,
                        "SELECT 1 FROM pragma_table_info('terminals') WHERE name = 'lease_token'");
            if (!s.Step())
                Exec(
                    (std::string("ALTER TABLE terminals ADD COLUMN ") + kLeaseTokenColumn).c_str());
        }
        t.Commit();
    }

    Millis Now() override { return WallClock(); }

    void AddTerminals(const std::vector<FleetEntry>& fleet) override {
        Transaction t(*this);
        Statement s(db_, where_,
                    "INSERT INTO terminals (name, connection, comm_key) VALUES (?1, ?2, ?3) "
                    "ON CONFLICT (name) DO UPDATE SET connection = excluded.connection, "
                    "comm_key = excluded.comm_key");
        for (const auto& e : fleet) {
            s.Bind(1, e.name).Bind(2, e.connection).Bind(3, static_cast<long long>(e.key));
            s.Run();
        }
        t.Commit();
    }

    std::vector<FleetEntry> Fleet() override {
        Statement s(db_, where_, "SELECT name, connection, comm_key FROM terminals ORDER BY name");
        std::vector<FleetEntry> out;
        while (s.Step()) out.push_back({s.Text(0), s.Text(1), static_cast<int>(s.Int(2))});
        return out;
    }

    std::optional<Claim> ClaimNext(const std::string& owner, Millis leaseMs, Millis doneSince,
                                   const std::vector<std::string>& skip) override {
        Transaction t(*this);
        const Millis now = Now();
        Statement s(db_, where_,
                    "SELECT name, connection, comm_key, serial, failures, lease_token "
                    "FROM terminals "
                    "WHERE (lease_owner = '' OR lease_until < ?1) AND retry_at <= ?1 "
                    "AND (last_success IS NULL OR last_success < ?2) "
                    "ORDER BY last_success IS NOT NULL, last_success, name");
        s.Bind(1, now).Bind(2, doneSince);
        std::optional<Claim> claim;
        while (s.Step()) {
            if (Contains(skip, s.Text(0))) continue;
            claim = Claim{{s.Text(0), s.Text(1), static_cast<int>(s.Int(2))},
                          s.Text(3),
                          static_cast<int>(s.Int(4)),
                          s.Int(5) + 1};
            break;
        }
        s.Reset();
        if (!claim) return std::nullopt;
        Statement u(db_, where_,
                    "UPDATE terminals SET lease_owner = ?1, lease_until = ?2, lease_token = ?3 "
                    "WHERE name = ?4");
        u.Bind(1, owner).Bind(2, now + leaseMs).Bind(3, claim->token);
        u.Bind(4, claim->entry.name).Run();
        t.Commit();
        return claim;
    }

    std::vector<std::string> Outstanding(Millis doneSince,
                                         const std::vector<std::string>& skip) override {
        Statement s(db_, where_,
                    "SELECT name FROM terminals WHERE last_success IS NULL OR last_success < ?1 "
                    "ORDER BY name");
        s.Bind(1, doneSince);
        std::vector<std::string> out;
        while (s.Step())
            if (!Contains(skip, s.Text(0))) out.push_back(s.Text(0));
        return out;
    }

    bool Renew(const std::string& name, long long token, Millis leaseMs) override {
        Statement s(db_, where_,
                    "UPDATE terminals SET lease_until = ?1 WHERE name = ?2 AND lease_token = ?3 "
                    "AND lease_owner <> ''");
        s.Bind(1, Now() + leaseMs).Bind(2, name).Bind(3, token).Run();
        return sqlite3_changes(db_) > 0;
    }

    void Release(const std::string& name, long long token) override {
        Statement s(db_, where_,
                    "UPDATE terminals SET lease_owner = '', lease_until = 0 "
                    "WHERE name = ?1 AND lease_token = ?2");
        s.Bind(1, name).Bind(2, token).Run();
    }

    CommitResult Commit(long long token, const Download& d, bool keepLease) override {
        CommitResult result;
        Transaction t(*this);
        const Millis now = Now();
        {
            Statement s(db_, where_, "SELECT serial, lease_token FROM terminals WHERE name = ?1");
            s.Bind(1, d.terminal);
            if (!s.Step()) throw StoreError(where_ + ": no terminal named " + d.terminal);
            if (s.Int(1) != token) {
                result.leaseLost = true;
                return result;  // rolled back: nothing stored
            }
            const std::string bound = s.Text(0);
            if (!bound.empty() && bound != d.serial) {
                result.serialChanged = true;
                result.boundSerial = bound;
                return result;  // rolled back: nothing stored
            }
        }
        {
            // Two names for one serial would mix two terminals' punches
            // under one key (or list one terminal twice).
            Statement s(db_, where_,
                        "SELECT name FROM terminals WHERE serial = ?1 AND name <> ?2 LIMIT 1");
            s.Bind(1, d.serial).Bind(2, d.terminal);
            if (s.Step()) {
                result.takenBy = s.Text(0);
                return result;
            }
        }
        {
            Statement ins(db_, where_,
                          "INSERT OR IGNORE INTO punches (serial, user_id, punch_time, state, "
                          "verify, work_code, terminal, stored_at) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
            for (const auto& p : d.punches) {
                ins.Bind(1, d.serial).Bind(2, p.user).Bind(3, p.time);
                ins.Bind(4, static_cast<long long>(p.state))
                    .Bind(5, static_cast<long long>(p.verify))
                    .Bind(6, static_cast<long long>(p.workCode));
                ins.Bind(7, d.terminal).Bind(8, now).Run();
                result.added += sqlite3_changes(db_);
            }
        }
        long long userCount = 0;
        if (d.usersRead) {
            Statement del(db_, where_, "DELETE FROM users WHERE serial = ?1");
            del.Bind(1, d.serial).Run();
            // A user number the terminal lists twice is stored once.
            Statement ins(db_, where_,
                          "INSERT OR IGNORE INTO users (serial, user_id, terminal, name, "
                          "department, department_name, updated_at) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
            for (const auto& u : d.users) {
                ins.Bind(1, d.serial).Bind(2, u.user).Bind(3, d.terminal).Bind(4, u.name);
                ins.Bind(5, static_cast<long long>(u.department))
                    .Bind(6, u.departmentName)
                    .Bind(7, now)
                    .Run();
                userCount += sqlite3_changes(db_);
            }
        }
        {
            Statement s(db_, where_,
                        "UPDATE terminals SET serial = ?1, last_contact = ?2, "
                        "last_success = CASE WHEN ?3 THEN ?2 ELSE last_success END, "
                        "punches = punches + ?4, "
                        "users = CASE WHEN ?5 THEN ?6 ELSE users END, "
                        "failures = 0, last_error = '', retry_at = 0, "
                        "lease_owner = CASE WHEN ?7 THEN lease_owner ELSE '' END, "
                        "lease_until = CASE WHEN ?7 THEN lease_until ELSE 0 END "
                        "WHERE name = ?8");
            s.Bind(1, d.serial).Bind(2, now).Bind(3, static_cast<long long>(d.full));
            s.Bind(4, result.added).Bind(5, static_cast<long long>(d.usersRead));
            s.Bind(6, userCount);
            s.Bind(7, static_cast<long long>(keepLease)).Bind(8, d.terminal).Run();
        }
        t.Commit();
        return result;
    }

    void Fail(long long token, const std::string& name, const std::string& error, bool contacted,
              Millis retryAfterMs) override {
        Transaction t(*this);
        const Millis now = Now();
        Statement s(db_, where_,
                    "UPDATE terminals SET last_error = ?1, failures = failures + 1, "
                    "retry_at = ?2, last_contact = CASE WHEN ?3 THEN ?4 ELSE last_contact END, "
                    "lease_owner = '', lease_until = 0 WHERE name = ?5 AND lease_token = ?6");
        s.Bind(1, error).Bind(2, now + retryAfterMs).Bind(3, static_cast<long long>(contacted));
        s.Bind(4, now).Bind(5, name).Bind(6, token).Run();
        t.Commit();
    }

    bool Rebind(const std::string& name) override {
        Statement s(db_, where_, "UPDATE terminals SET serial = '' WHERE name = ?1");
        s.Bind(1, name).Run();
        return sqlite3_changes(db_) > 0;
    }

    std::vector<TerminalStatus> Status() override {
        Statement s(db_, where_,
                    "SELECT name, connection, serial, last_contact, last_success, punches, users, "
                    "failures, last_error, lease_owner, lease_until FROM terminals ORDER BY name");
        std::vector<TerminalStatus> out;
        while (s.Step()) {
            TerminalStatus st;
            st.name = s.Text(0);
            st.connection = s.Text(1);
            st.serial = s.Text(2);
            st.lastContact = s.MaybeInt(3);
            st.lastSuccess = s.MaybeInt(4);
            st.punches = s.Int(5);
            st.users = s.Int(6);
            st.failures = static_cast<int>(s.Int(7));
            st.lastError = s.Text(8);
            st.leaseOwner = s.Text(9);
            if (!st.leaseOwner.empty()) st.leaseUntil = s.Int(10);
            out.push_back(std::move(st));
        }
        return out;
    }

  private:
    // BEGIN IMMEDIATE takes the write lock up front, so two claimers never
    // both read the same free terminal; rolled back unless committed.
    // Writers of this process queue on a mutex first: SQLite's busy handler
    // waits by sleeping in growing steps, which under many workers leaves
    // the file idle while they all sleep.
    class Transaction {
      public:
        explicit Transaction(SqliteStore& s) : s_(s), lock_(*s.writers_) {
            s_.Exec("BEGIN IMMEDIATE");
        }
        ~Transaction() {
            if (!done_) sqlite3_exec(s_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        void Commit() {
            s_.Exec("COMMIT");
            done_ = true;
        }

      private:
        SqliteStore& s_;
        std::lock_guard<std::mutex> lock_;
        bool done_ = false;
    };

    static constexpr int kBusyMs = 60000;

    // Turning on WAL needs the file to itself. When another connection has
    // begun writing (another worker preparing the tables) while this one
    // reads the file header, SQLite answers SQLITE_BUSY at once instead of
    // waiting, since waiting could deadlock; the busy handler never runs.
    // So the switch is retried here, within the same time as any writer
    // waits. Connections of this process take turns first.
    void SwitchToWal() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMs);
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            int r;
            {
                std::lock_guard<std::mutex> lock(*writers_);
                r = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            }
            if (r == SQLITE_OK) return;
            if ((r & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline)
                throw StoreError(where_ + ": " + sqlite3_errmsg(db_));
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
    }

    void Exec(const char* sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
            std::string text = msg ? msg : sqlite3_errmsg(db_);
            sqlite3_free(msg);
            throw StoreError(where_ + ": " + text);
        }
    }

    static bool Contains(const std::vector<std::string>& v, const std::string& s) {
        for (const auto& x : v)
            if (x == s) return true;
        return false;
    }

    // One mutex per database file, shared by this process's connections.
    static std::shared_ptr<std::mutex> WritersOf(const std::string& path) {
        static std::mutex guard;
        static std::map<std::string, std::shared_ptr<std::mutex>> byPath;
        std::error_code ec;
        auto canonical = std::filesystem::weakly_canonical(path, ec);
        const std::string key = ec ? path : canonical.string();
        std::lock_guard<std::mutex> lock(guard);
        auto& m = byPath[key];
        if (!m) m = std::make_shared<std::mutex>();
        return m;
    }

    std::string where_;
    sqlite3* db_ = nullptr;
    std::shared_ptr<std::mutex> writers_;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path, bool create) {
    return std::make_unique<SqliteStore>(path, create);
}

}  // namespace tlsync
