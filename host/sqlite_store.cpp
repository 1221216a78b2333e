#include <sqlite3.h>

#include <chrono>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "host/store.h"

namespace sonaro::host {
namespace {

// Each version's step, applied in order to a database at the version before it.
constexpr const char* kSchemaSteps[] = {
    // 1: the dedications.
    R"sql(
CREATE TABLE IF NOT EXISTS dedications (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  received_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),
  from_address TEXT NOT NULL,
  chenghu TEXT NOT NULL,
  diangezhe TEXT NOT NULL,
  beichenghu TEXT NOT NULL,
  beidiangezhe TEXT NOT NULL,
  geming TEXT NOT NULL,
  gequdizhi TEXT NOT NULL,
  zhufuyu TEXT NOT NULL
);
)sql",
    // 2: an address's turns are looked up by address.
    "CREATE INDEX IF NOT EXISTS dedications_by_address ON dedications (from_address, id);",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kSchemaSteps));

constexpr const char* kInsert =
    "INSERT INTO dedications (from_address, chenghu, diangezhe, beichenghu, beidiangezhe, "
    "geming, gequdizhi, zhufuyu, received_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
    "strftime('%Y-%m-%dT%H:%M:%fZ', ?9 / 1000.0, 'unixepoch'))";

constexpr const char* kRepeated =
    "SELECT 1 FROM (SELECT zhufuyu FROM dedications ORDER BY id DESC LIMIT ?1) "
    "WHERE zhufuyu = ?2 LIMIT 1";

// An address's most recent turns, newest first, in milliseconds since the epoch.
constexpr const char* kTurns =
    "SELECT CAST(round((julianday(received_at) - 2440587.5) * 86400000.0) AS INTEGER) AS at "
    "FROM dedications WHERE from_address = ?1 ORDER BY id DESC LIMIT ?2";

constexpr const char* kNewestId = "SELECT coalesce(max(id), 0) FROM dedications";

constexpr const char* kLatest =
    "SELECT chenghu, diangezhe, beichenghu, beidiangezhe, geming, gequdizhi, zhufuyu FROM "
    "(SELECT * FROM dedications ORDER BY id DESC LIMIT ?1) ORDER BY id ASC";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      throw StoreError(std::string("cannot prepare a statement: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Leaves a statement ready for its next use, whatever happened in this one.
class ResetOnExit {
 public:
  explicit ResetOnExit(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~ResetOnExit() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  if (text == nullptr) return {};
  return std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
}

class SqliteStore final : public DedicationStore {
 public:
  explicit SqliteStore(const std::filesystem::path& file) {
    int rc =
        sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      throw StoreError("cannot open database " + file.string() + ": " + message);
    }
    try {
      SetUp(file);
      insert_ = std::make_unique<Statement>(db_, kInsert);
      latest_ = std::make_unique<Statement>(db_, kLatest);
      repeated_ = std::make_unique<Statement>(db_, kRepeated);
      turns_ = std::make_unique<Statement>(db_, kTurns);
      newest_ = std::make_unique<Statement>(db_, kNewestId);
    } catch (...) {
      insert_.reset();
      latest_.reset();
      repeated_.reset();
      turns_.reset();
      newest_.reset();
      sqlite3_close(db_);
      throw;
    }
  }

  ~SqliteStore() override {
    insert_.reset();
    latest_.reset();
    repeated_.reset();
    turns_.reset();
    newest_.reset();
    sqlite3_close(db_);
  }

  std::int64_t Add(const Dedication& d, std::string_view from_address) override {
    std::lock_guard lock(mutex_);
    return Insert(d, from_address, NowMs());
  }

  Submission Submit(const Dedication& d, std::string_view from_address,
                    const SubmissionRules& rules, std::size_t repeat_window) override {
    std::lock_guard lock(mutex_);
    // One writer at a time, from the first read on: a second process on the file waits.
    Exec("BEGIN IMMEDIATE");
    try {
      Submission result = CheckAndInsert(d, from_address, rules, repeat_window);
      Exec("COMMIT");
      return result;
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::int64_t NewestId() override {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* stmt = newest_->get();
    ResetOnExit reset(stmt);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) Check(rc == SQLITE_DONE ? SQLITE_ERROR : rc, "read the newest id");
    return sqlite3_column_int64(stmt, 0);
  }

  std::vector<Dedication> Latest(std::size_t count) override {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* stmt = latest_->get();
    ResetOnExit reset(stmt);
    Check(sqlite3_bind_int64(stmt, 1, static_cast<sqlite3_int64>(count)), "bind");
    std::vector<Dedication> result;
    for (;;) {
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) Check(rc, "read dedications");
      Dedication& d = result.emplace_back();
      d.dedicatorTitle = ColumnText(stmt, 0);
      d.dedicator = ColumnText(stmt, 1);
      d.recipientTitle = ColumnText(stmt, 2);
      d.recipient = ColumnText(stmt, 3);
      d.song = ColumnText(stmt, 4);
      d.songAddress = ColumnText(stmt, 5);
      d.wishes = ColumnText(stmt, 6);
    }
    return result;
  }

 private:
  static std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  Submission CheckAndInsert(const Dedication& d, std::string_view from_address,
                            const SubmissionRules& rules, std::size_t repeat_window) {
    {
      sqlite3_stmt* stmt = repeated_->get();
      ResetOnExit reset(stmt);
      Check(sqlite3_bind_int64(stmt, 1, static_cast<sqlite3_int64>(repeat_window)), "bind");
      Check(sqlite3_bind_text(stmt, 2, d.wishes.data(), static_cast<int>(d.wishes.size()),
                              SQLITE_TRANSIENT),
            "bind");
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) return {Submission::Outcome::kRepeated, 0, {}};
      if (rc != SQLITE_DONE) Check(rc, "look for repeated wishes");
    }
    const std::int64_t now = NowMs();
    if (rules.interval.count() > 0) {
      std::vector<std::int64_t> turns;
      sqlite3_stmt* stmt = turns_->get();
      ResetOnExit reset(stmt);
      Check(sqlite3_bind_text(stmt, 1, from_address.data(), static_cast<int>(from_address.size()),
                              SQLITE_TRANSIENT),
            "bind");
      Check(sqlite3_bind_int64(stmt, 2, static_cast<sqlite3_int64>(TurnsNeeded(rules))), "bind");
      for (;;) {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) Check(rc, "read an address's turns");
        turns.insert(turns.begin(), sqlite3_column_int64(stmt, 0));
      }
      if (auto wait = WaitBeforeNext(rules, turns, now)) {
        return {Submission::Outcome::kTooSoon, 0, *wait};
      }
    }
    return {Submission::Outcome::kStored, Insert(d, from_address, now), {}};
  }

  std::int64_t Insert(const Dedication& d, std::string_view from_address, std::int64_t now) {
    sqlite3_stmt* stmt = insert_->get();
    ResetOnExit reset(stmt);
    const std::string_view values[] = {from_address,     d.dedicatorTitle, d.dedicator,
                                       d.recipientTitle, d.recipient,      d.song,
                                       d.songAddress,    d.wishes};
    int index = 1;
    for (std::string_view value : values) {
      Check(sqlite3_bind_text(stmt, index++, value.data(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT),
            "bind");
    }
    Check(sqlite3_bind_int64(stmt, 9, now), "bind");
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) Check(rc, "store a dedication");
    return sqlite3_last_insert_rowid(db_);
  }

  void SetUp(const std::filesystem::path& file) {
    // Another process (the operator's sqlite3 shell, say) may hold the lock for a moment.
    sqlite3_busy_timeout(db_, 5000);
    std::string mode = QueryText("PRAGMA journal_mode=WAL");
    if (mode != "wal") {
      throw StoreError("cannot put database " + file.string() +
                       " into write-ahead-log mode (journal mode is '" + mode + "')");
    }
    // In WAL mode FULL syncs the log at every commit, so a confirmed record survives power loss
    // too, not only a crash of this process.
    Exec("PRAGMA synchronous=FULL");
    int version = std::stoi(QueryText("PRAGMA user_version"));
    if (version > kSchemaVersion) {
      throw StoreError("database " + file.string() + " was made by a newer sonaro-host (schema " +
                       std::to_string(version) + ")");
    }
    Exec("BEGIN IMMEDIATE");
    try {
      // Read again inside the transaction: another process may have upgraded it meanwhile.
      version = std::stoi(QueryText("PRAGMA user_version"));
      for (int step = version; step < kSchemaVersion; ++step) Exec(kSchemaSteps[step]);
      Exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
      Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw StoreError("database error (" + sql + "): " + message);
    }
  }

  std::string QueryText(const char* sql) {
    Statement stmt(db_, sql);
    int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW) Check(rc == SQLITE_DONE ? SQLITE_ERROR : rc, sql);
    return ColumnText(stmt.get(), 0);
  }

  void Check(int rc, const char* what) {
    if (rc != SQLITE_OK) {
      throw StoreError(std::string("database error (") + what + "): " + sqlite3_errmsg(db_));
    }
  }

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  std::unique_ptr<Statement> insert_;
  std::unique_ptr<Statement> latest_;
  std::unique_ptr<Statement> repeated_;
  std::unique_ptr<Statement> turns_;
  std::unique_ptr<Statement> newest_;
};

}  // namespace

std::unique_ptr<DedicationStore> OpenSqliteStore(const std::filesystem::path& file) {
  return std::make_unique<SqliteStore>(file);
}

}  // namespace sonaro::host
