#include <libpq-fe.h>
#include <poll.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/store.h"

namespace sonaro::host {
namespace {

// Each version's step, applied in order, in a transaction each, to a database at the version
// before it.
constexpr const char* kSchemaSteps[] = {
    // 1: the dedications; an address's turns are looked up by address.
    R"sql(
CREATE TABLE dedications (
  id BIGSERIAL PRIMARY KEY,
  received_at TIMESTAMPTZ NOT NULL DEFAULT clock_timestamp(),
  from_address TEXT NOT NULL,
  chenghu TEXT NOT NULL,
  diangezhe TEXT NOT NULL,
  beichenghu TEXT NOT NULL,
  beidiangezhe TEXT NOT NULL,
  geming TEXT NOT NULL,
  gequdizhi TEXT NOT NULL,
  zhufuyu TEXT NOT NULL
);
CREATE INDEX dedications_by_address ON dedications (from_address, id);
)sql",
    // 2: each submission's own key, by which one whose COMMIT went unanswered is looked for.
    R"sql(
ALTER TABLE dedications ADD COLUMN submission_key UUID;
CREATE UNIQUE INDEX dedications_by_submission_key ON dedications (submission_key);
)sql",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kSchemaSteps));

// Advisory lock keys of this program: one for changing the schema (hosts starting together
// take turns), one that puts every host's submissions in one order.
constexpr const char* kSchemaLock = "7237413298413400001";
constexpr const char* kSubmitLock = "7237413298413400002";

// Every session's bounds: a lock waited for 5 s, a statement run 15 s, a transaction left idle
// 20 s. A submission then fails (503) well within the request's deadline, and so does TERM.
constexpr const char* kSessionLimits =
    "-c lock_timeout=5000 -c statement_timeout=15000 -c idle_in_transaction_session_timeout=20000";
constexpr std::chrono::seconds kDownFor{2};
// Where hosts tell each other of a new record.
constexpr const char* kChannel = "sonaro_feed";

constexpr const char* kInsert =
    "INSERT INTO dedications (from_address, chenghu, diangezhe, beichenghu, beidiangezhe, "
    "geming, gequdizhi, zhufuyu, received_at, submission_key) VALUES ($1, $2, $3, $4, $5, $6, "
    "$7, $8, coalesce(to_timestamp($9::bigint / 1000.0), clock_timestamp()), $10::uuid) "
    "RETURNING id";

constexpr const char* kKept = "SELECT id FROM dedications WHERE submission_key = $1::uuid";

constexpr const char* kRepeated =
    "SELECT 1 FROM (SELECT zhufuyu FROM dedications ORDER BY id DESC LIMIT $1) AS recent "
    "WHERE zhufuyu = $2 LIMIT 1";

// An address's most recent turns, newest first, in milliseconds since the epoch.
constexpr const char* kTurns =
    "SELECT (extract(epoch FROM received_at) * 1000)::bigint FROM dedications "
    "WHERE from_address = $1 ORDER BY id DESC LIMIT $2";

constexpr const char* kLatest =
    "SELECT chenghu, diangezhe, beichenghu, beidiangezhe, geming, gequdizhi, zhufuyu FROM "
    "(SELECT * FROM dedications ORDER BY id DESC LIMIT $1) AS recent ORDER BY id ASC";

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

class PostgresStore final : public DedicationStore {
 public:
  explicit PostgresStore(std::string url) : url_(std::move(url)) {
    std::lock_guard lock(mutex_);
    conn_ = Connect();
    try {
      Migrate();
    } catch (...) {
      PQfinish(conn_);  // the destructor does not run for a constructor that throws
      throw;
    }
  }

  ~PostgresStore() override {
    if (conn_ != nullptr) PQfinish(conn_);
    if (listener_ != nullptr) PQfinish(listener_);
  }

  std::int64_t Add(const Dedication& d, std::string_view from_address) override {
    std::lock_guard lock(mutex_);
    // Not repeated on a lost connection: the record may have been kept before it broke.
    Ready();
    return Insert(d, from_address, std::nullopt, std::nullopt);
  }

  Submission Submit(const Dedication& d, std::string_view from_address,
                    const SubmissionRules& rules, std::size_t repeat_window) override {
    std::lock_guard lock(mutex_);
    const std::string key = NewKey();
    // Read committed whatever the database's default: each statement after the lock must see
    // what the host before us committed (under repeatable read the snapshot would be older).
    Again([&] { return Run("BEGIN ISOLATION LEVEL READ COMMITTED", {}, PGRES_COMMAND_OK); });
    Submission result;
    try {
      Run(std::string("SELECT pg_advisory_xact_lock(") + kSubmitLock + ")", {}, PGRES_TUPLES_OK);
      result = CheckAndInsert(d, from_address, rules, repeat_window, key);
      // Every host listening hears of it when (and only if) it is committed.
      if (result.outcome == Submission::Outcome::kStored) {
        Run(std::string("SELECT pg_notify('") + kChannel + "', $1)", {std::to_string(result.id)},
            PGRES_TUPLES_OK);
      }
    } catch (...) {
      Result ignored(PQexec(conn_, "ROLLBACK"));
      throw;
    }
    // Committed before the answer: a dedication confirmed is one stored. A COMMIT that failed
    // with an answer ended the transaction; one whose answer was lost may have been carried out,
    // and then it is answered as stored (else the user's retry is refused as a repeat of it).
    try {
      Run("COMMIT", {}, PGRES_COMMAND_OK);
    } catch (const StoreError& e) {
      if (PQstatus(conn_) != CONNECTION_BAD || result.outcome != Submission::Outcome::kStored) {
        throw;
      }
      return {Submission::Outcome::kStored, KeptAs(key, e), {}};
    }
    return result;
  }

  std::vector<Dedication> Latest(std::size_t count) override {
    std::lock_guard lock(mutex_);
    Result rows = Again([&] { return Run(kLatest, {std::to_string(count)}, PGRES_TUPLES_OK); });
    std::vector<Dedication> result;
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
      auto text = [&](int column) {
        return std::string(PQgetvalue(rows.get(), row, column),
                           static_cast<size_t>(PQgetlength(rows.get(), row, column)));
      };
      result.push_back(Dedication{text(0), text(1), text(2), text(3), text(4), text(5), text(6)});
    }
    return result;
  }

  bool HearsNews() const override { return true; }

  bool WaitForNews(std::chrono::milliseconds timeout) override {
    std::lock_guard lock(listen_mutex_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool missed = false;
    if (listener_ == nullptr || PQstatus(listener_) != CONNECTION_OK) {
      if (listener_ != nullptr) PQfinish(listener_);
      listener_ = nullptr;
      try {
        listener_ = Connect();
        Result listening(PQexec(listener_, (std::string("LISTEN ") + kChannel).c_str()));
        if (PQresultStatus(listening.get()) != PGRES_COMMAND_OK) throw StoreError("LISTEN failed");
        // While nobody listened, news went unheard.
        missed = true;
      } catch (const StoreError&) {
        if (listener_ != nullptr) PQfinish(listener_);
        listener_ = nullptr;
        std::this_thread::sleep_until(deadline);
        return false;
      }
    }
    bool news = missed;
    for (;;) {
      if (!PQconsumeInput(listener_)) return true;  // connection lost: check, then reconnect
      while (PGnotify* note = PQnotifies(listener_)) {
        news = true;
        PQfreemem(note);
      }
      auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (news || left.count() <= 0) return news;
      pollfd ready{PQsocket(listener_), POLLIN, 0};
      if (::poll(&ready, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return true;
    }
  }

  std::int64_t NewestId() override {
    std::lock_guard lock(mutex_);
    Result rows = Again(
        [&] { return Run("SELECT coalesce(max(id), 0) FROM dedications", {}, PGRES_TUPLES_OK); });
    return std::stoll(PQgetvalue(rows.get(), 0, 0));
  }

 private:
  // Connection defaults come first so that the URL's own settings win: a bounded connect,
  // keep-alives with a user timeout so that a vanished server is noticed within seconds rather
  // than when the kernel gives up, and bounds on every wait inside the database (a host that
  // stalls holding the submission lock must not hold every other host's submissions for hours;
  // the URL's own options= replaces these).
  PGconn* Connect() const {
    static constexpr std::array<const char*, 9> kKeys = {
        "connect_timeout",  "keepalives_idle",  "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "application_name",
        "options",          "dbname",           nullptr};
    const std::array<const char*, 9> values = {
        "5", "5", "2", "3", "10000", "sonaro-host", kSessionLimits, url_.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(kKeys.data(), values.data(), /*expand_dbname=*/1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
      std::string message = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
      PQfinish(conn);
      throw StoreError("cannot connect to the database: " + Trimmed(message));
    }
    // The server's notices ("already exists, skipping") are not the operator's business.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    if (PQsetClientEncoding(conn, "UTF8") != 0) {
      std::string message = PQerrorMessage(conn);
      PQfinish(conn);
      throw StoreError("the database does not take UTF-8: " + Trimmed(message));
    }
    return conn;
  }

  // Runs one statement that is safe to repeat, connecting again first when the connection
  // was lost. A connection that died while idle (the server restarted) is found out only when
  // used: then it is made again and the statement runs once more.
  Result Again(const std::function<Result()>& step) {
    Ready();
    try {
      return step();
    } catch (const StoreError&) {
      if (PQstatus(conn_) != CONNECTION_BAD) throw;
    }
    Ready();
    return step();
  }

  // Connects again when the connection was lost: a restarted server is used again by itself.
  // A server that could not be reached is not tried again for a moment: the requests meanwhile
  // are refused at once instead of each waiting for its own connect to fail.
  void Ready() {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) return;
    if (conn_ != nullptr) PQfinish(conn_);
    conn_ = nullptr;  // and so it stays when connecting fails
    const auto now = std::chrono::steady_clock::now();
    if (now < down_until_) throw StoreError("the database was unreachable a moment ago");
    try {
      conn_ = Connect();
    } catch (const StoreError&) {
      down_until_ = now + kDownFor;
      throw;
    }
  }

  void Migrate() {
    // Hosts starting together wait for each other's migration, however long it takes.
    Run("SET lock_timeout = 0", {}, PGRES_COMMAND_OK);
    Run(std::string("SELECT pg_advisory_lock(") + kSchemaLock + ")", {}, PGRES_TUPLES_OK);
    Run("RESET lock_timeout", {}, PGRES_COMMAND_OK);
    try {
      Run("CREATE TABLE IF NOT EXISTS sonaro_schema (version INTEGER NOT NULL)", {},
          PGRES_COMMAND_OK);
      Result rows = Run("SELECT coalesce(max(version), 0) FROM sonaro_schema", {}, PGRES_TUPLES_OK);
      int version = std::stoi(PQgetvalue(rows.get(), 0, 0));
      if (version > kSchemaVersion) {
        throw StoreError("the database was made by a newer sonaro-host (schema " +
                         std::to_string(version) + ")");
      }
      for (int step = version; step < kSchemaVersion; ++step) {
        Run("BEGIN", {}, PGRES_COMMAND_OK);
        try {
          Script(kSchemaSteps[step]);
          Run("DELETE FROM sonaro_schema", {}, PGRES_COMMAND_OK);
          Run("INSERT INTO sonaro_schema (version) VALUES ($1)", {std::to_string(step + 1)},
              PGRES_COMMAND_OK);
          Run("COMMIT", {}, PGRES_COMMAND_OK);
        } catch (...) {
          Result ignored(PQexec(conn_, "ROLLBACK"));
          throw;
        }
      }
    } catch (...) {
      Result ignored(
          PQexec(conn_, (std::string("SELECT pg_advisory_unlock(") + kSchemaLock + ")").c_str()));
      throw;
    }
    Run(std::string("SELECT pg_advisory_unlock(") + kSchemaLock + ")", {}, PGRES_TUPLES_OK);
  }

  // 128 random bits as a UUID's 32 hex digits.
  std::string NewKey() {
    std::string key(32, '0');
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t part = 0; part < 4; ++part) {
      std::uint32_t bits = random_();
      for (std::size_t digit = 0; digit < 8; ++digit, bits >>= 4) {
        key[part * 8 + digit] = kHex[bits & 15];
      }
    }
    return key;
  }

  // The id of the record submitted with key, on a connection made again after the answer to its
  // COMMIT was lost; throws lost when it was not kept, and StoreError when that cannot be told.
  // The lost session's transaction holds the submission lock until it ends (by the COMMIT, or by
  // the server finding the session gone): once this session has had the lock, the record is
  // there or never will be. The lock statement is a transaction of its own, so it is had and
  // given back at once.
  std::int64_t KeptAs(const std::string& key, const StoreError& lost) {
    try {
      Ready();
      Run(std::string("SELECT pg_advisory_xact_lock(") + kSubmitLock + ")", {}, PGRES_TUPLES_OK);
      Result rows = Run(kKept, {key}, PGRES_TUPLES_OK);
      if (PQntuples(rows.get()) == 1) return std::stoll(PQgetvalue(rows.get(), 0, 0));
    } catch (const StoreError& e) {
      throw StoreError(std::string(lost.what()) + "; whether it was kept is unknown: " + e.what());
    }
    throw lost;
  }

  Submission CheckAndInsert(const Dedication& d, std::string_view from_address,
                            const SubmissionRules& rules, std::size_t repeat_window,
                            const std::string& key) {
    Result repeated = Run(kRepeated, {std::to_string(repeat_window), d.wishes}, PGRES_TUPLES_OK);
    if (PQntuples(repeated.get()) > 0) return {Submission::Outcome::kRepeated, 0, {}};
    // The database's clock, the same for every host.
    Result clock =
        Run("SELECT (extract(epoch FROM clock_timestamp()) * 1000)::bigint", {}, PGRES_TUPLES_OK);
    const std::int64_t now = std::stoll(PQgetvalue(clock.get(), 0, 0));
    if (rules.interval.count() > 0) {
      Result rows = Run(kTurns, {std::string(from_address), std::to_string(TurnsNeeded(rules))},
                        PGRES_TUPLES_OK);
      std::vector<std::int64_t> turns;
      for (int row = PQntuples(rows.get()) - 1; row >= 0; --row) {
        turns.push_back(std::stoll(PQgetvalue(rows.get(), row, 0)));
      }
      if (auto wait = WaitBeforeNext(rules, turns, now)) {
        return {Submission::Outcome::kTooSoon, 0, *wait};
      }
    }
    return {Submission::Outcome::kStored, Insert(d, from_address, now, key), {}};
  }

  std::int64_t Insert(const Dedication& d, std::string_view from_address,
                      std::optional<std::int64_t> at, std::optional<std::string> key) {
    Result rows = Run(kInsert,
                      {std::string(from_address), d.dedicatorTitle, d.dedicator, d.recipientTitle,
                       d.recipient, d.song, d.songAddress, d.wishes,
                       at ? std::optional(std::to_string(*at)) : std::nullopt, std::move(key)},
                      PGRES_TUPLES_OK);
    return std::stoll(PQgetvalue(rows.get(), 0, 0));
  }

  // Runs one statement with text parameters (nothing: NULL); throws StoreError unless it ends
  // with status expected.
  Result Run(const std::string& sql, const std::vector<std::optional<std::string>>& params,
             ExecStatusType expected) {
    std::vector<const char*> values;
    for (const std::optional<std::string>& param : params) {
      // Text parameters end at a NUL: refused rather than cut short.
      if (param && param->find('\0') != std::string::npos) {
        throw StoreError("a text holds a NUL character");
      }
      values.push_back(param ? param->c_str() : nullptr);
    }
    Result result(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0));
    if (!result || PQresultStatus(result.get()) != expected) {
      std::string message = result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn_);
      throw StoreError("database error: " + Trimmed(message));
    }
    return result;
  }

  // Runs statements without parameters (a schema step holds several).
  void Script(const char* sql) {
    Result result(PQexec(conn_, sql));
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      std::string message = result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn_);
      throw StoreError("database error: " + Trimmed(message));
    }
  }

  static std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
  }

  const std::string url_;
  std::mutex mutex_;  // for conn_ and random_
  PGconn* conn_ = nullptr;
  std::random_device random_;
  std::chrono::steady_clock::time_point down_until_{};  // no connecting again before this
  std::mutex listen_mutex_;                             // for listener_
  PGconn* listener_ = nullptr;                          // LISTENs for news of other hosts' records
};

}  // namespace

std::unique_ptr<DedicationStore> OpenPostgresStore(const std::string& url) {
  return std::make_unique<PostgresStore>(url);
}

}  // namespace sonaro::host
