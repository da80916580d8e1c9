// The shared backend: a PostgreSQL database that every workstation of a team connects to.
// Every wait on the server is bounded by the server's time limit: connecting (libpq's
// connect_timeout), each statement (the server's statement_timeout, and our own wait for the
// answer, which also ends the wait on a paused server or a silent network), and an idle
// connection (TCP keepalives and tcp_user_timeout).
#include "errors.h"
#include "sql.h"

#include <platform/text.h>

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kelvra {
namespace {

using Clock = std::chrono::steady_clock;

// Conflicts between writers, a server shutting down, a statement cut by the time limit and
// a lost connection all clear up by connecting again and repeating the call; anything else
// is a fault of the store.
bool retryable(const char* state) {
  if (!state) return false;
  static const char* const kStates[] = {"40001", "40P01", "55P03", "57014", "57P01", "57P02", "57P03"};
  for (const char* s : kStates)
    if (std::strcmp(state, s) == 0) return true;
  return std::strncmp(state, "08", 2) == 0;
}

// The first line of libpq's message, without its trailing blanks.
std::string firstLine(const char* text) {
  std::string s = text ? text : "";
  s = s.substr(0, s.find('\n'));
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

// libpq's message about a connection, whole lines joined ("connection to server at ...
// failed: FATAL:  password authentication failed for user ...").
std::string connectionMessage(PGconn* conn) {
  std::string s = conn ? PQerrorMessage(conn) : "out of memory";
  for (char& c : s)
    if (c == '\n' || c == '\t') c = ' ';
  std::string out;
  for (char c : s)
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The server's notices ("relation ... already exists, skipping") are nobody's business.
void quiet(void*, const char*) {}

// What one statement came to.
struct Answer {
  PGresult* res = nullptr;  // the first failing result, else the last one; owned
  bool answered = false;    // false: the connection was lost, or no answer came in time
};

class PostgresConnection final : public SqlConnection {
 public:
  PostgresConnection(std::string conninfo, int timeLimit) : conninfo_(std::move(conninfo)), limit_(timeLimit) {}
  ~PostgresConnection() override { drop(); }

  Dialect dialect() const override { return Dialect::PostgreSQL; }

  /// \brief Connects (again); kOk, kRetry or kStorage with libpq's reason.
  int32_t connect() {
    drop();
    std::string timeout = std::to_string(std::max(2, limit_ > 0 ? limit_ : 30));
    int idle = std::max(1, limit_ / 2), interval = std::max(1, limit_ / 6);
    std::string idleText = std::to_string(idle), intervalText = std::to_string(interval);
    std::string userTimeout = std::to_string(int64_t(std::max(1, limit_)) * 1000);
    // The given string comes last and overrides the defaults before it.
    const char* keys[] = {"connect_timeout", "keepalives", "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "tcp_user_timeout", "fallback_application_name", "client_encoding",
                          "dbname", nullptr};
    const char* values[] = {timeout.c_str(), "1", idleText.c_str(), intervalText.c_str(), "3",
                            limit_ > 0 ? userTimeout.c_str() : "0", "kelvra", "UTF8", conninfo_.c_str(), nullptr};
    Clock::time_point start = Clock::now();
    conn_ = PQconnectdbParams(keys, values, 1);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
      std::string why = connectionMessage(conn_);
      drop();
      // A server that answers and refuses us (a password, a role, a database) is a fault
      // to mend; one that does not answer, or is starting or stopping, may come back.
      bool timedOut = limit_ > 0 && Clock::now() - start >= std::chrono::seconds(std::max(2, limit_)) -
                                                               std::chrono::milliseconds(200);
      bool up = !timedOut && PQpingParams(keys, values, 1) == PQPING_OK;
      failed(why);
      return up ? int32_t(kStorage) : int32_t(kRetry);
    }
    PQsetNoticeProcessor(conn_, quiet, nullptr);
    PQsetnonblocking(conn_, 1);
    pid_ = PQbackendPID(conn_);
    // The server bounds each statement and drops a session that sits in a transaction (a
    // workstation gone mid-store), so that nobody waits on its locks.
    std::string ms = std::to_string(int64_t(std::max(0, limit_)) * 1000);
    Answer a = exec("SET statement_timeout = " + ms + "; SET idle_in_transaction_session_timeout = " + ms, nullptr);
    int32_t rc = outcome(a);
    PQclear(a.res);
    return rc;
  }

  int32_t run(std::string_view sql, const std::vector<SqlParam>& params, SqlRows* rows, int64_t* changes) override {
    if (rows) rows->clear();
    if (int32_t rc = ready()) return rc;
    std::vector<std::string> texts;
    texts.reserve(params.size());
    for (const SqlParam& p : params) {
      if (const int64_t* n = std::get_if<int64_t>(&p))
        texts.push_back(std::to_string(*n));
      else
        texts.push_back(platform::toUtf8(std::get<std::u16string_view>(p)));
    }
    Answer a = exec(std::string(sql), &texts);
    int32_t rc = outcome(a);
    if (rc == kOk) {
      if (rows) {
        int n = PQntuples(a.res), m = PQnfields(a.res);
        for (int r = 0; r < n; ++r) {
          std::vector<std::optional<std::string>> row;
          for (int c = 0; c < m; ++c) {
            if (PQgetisnull(a.res, r, c))
              row.emplace_back(std::nullopt);
            else
              row.emplace_back(std::string(PQgetvalue(a.res, r, c), size_t(PQgetlength(a.res, r, c))));
          }
          rows->add(std::move(row));
        }
      }
      if (changes) *changes = std::strtoll(PQcmdTuples(a.res), nullptr, 10);
    }
    PQclear(a.res);
    return rc;
  }

  int32_t script(std::string_view sql) override {
    if (int32_t rc = ready()) return rc;
    Answer a = exec(std::string(sql), nullptr);
    int32_t rc = outcome(a);
    PQclear(a.res);
    return rc;
  }

  // Writers serialise on the database's row (its next record number), so the plain
  // isolation level is enough; a search is a single statement and sees one snapshot. A
  // connection that went away while idle (a server restarted between two calls) is found
  // out by the BEGIN, which is then given once more over a new connection.
  int32_t begin(bool) override {
    bool connected = conn_ && PQstatus(conn_) == CONNECTION_OK;
    int32_t rc = script("BEGIN");
    if (rc == kRetry && connected && !conn_) rc = script("BEGIN");
    inTransaction_ = rc == kOk;
    return rc;
  }

  int32_t commit() override {
    if (int32_t rc = ready()) {
      inTransaction_ = false;
      return rc;
    }
    Answer a = exec("COMMIT", nullptr);
    int32_t rc = outcome(a, true);
    PQclear(a.res);
    inTransaction_ = false;
    if (!a.answered) {
      inDoubt_ = lostPid_;
      return kInDoubt;
    }
    return rc;
  }

  void rollback() override {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
      Answer a = exec("ROLLBACK", nullptr);
      PQclear(a.res);
    }
    inTransaction_ = false;
  }

  int32_t settle() override {
    if (!inDoubt_) return kOk;
    std::string lost = reason();
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(std::max(1, limit_));
    while (Clock::now() < deadline) {
      if ((conn_ && PQstatus(conn_) == CONNECTION_OK) || connect() == kOk) {
        // The lost session is over when it is gone or idle outside a transaction; one
        // still at work or waiting in its transaction is told to end.
        std::string pid = std::to_string(inDoubt_);
        Answer a = exec("SELECT state FROM pg_stat_activity WHERE pid = " + pid, nullptr);
        bool asked = a.answered && PQresultStatus(a.res) == PGRES_TUPLES_OK;
        bool over = asked && (PQntuples(a.res) == 0 || std::strcmp(PQgetvalue(a.res, 0, 0), "idle") == 0 ||
                              std::strcmp(PQgetvalue(a.res, 0, 0), "idle in transaction (aborted)") == 0);
        PQclear(a.res);
        if (over) {
          inDoubt_ = 0;
          succeeded();
          setReason(lost);
          return kOk;
        }
        if (asked) PQclear(exec("SELECT pg_terminate_backend(" + pid + ")", nullptr).res);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    setReason(lost + (lost.empty() ? "" : "; ") + "the server could not be asked within " + std::to_string(limit_) +
              " s whether it was stored");
    return kInDoubt;
  }

  // 0: no limit; a negative value goes back to the server's own.
  void setTimeLimit(int seconds) override { wait_ = seconds; }

 private:
  // A connection lost since the last call is made again before a new piece of work; inside
  // a transaction the work is lost with it and the call fails.
  int32_t ready() {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) return kOk;
    if (inTransaction_) {
      failed(lostReason_.empty() ? "the connection to the server was lost" : lostReason_);
      return kRetry;
    }
    return connect();
  }

  // Sends one query (with parameters when given) and waits for its answer within the
  // limit. No answer in time, or a connection that breaks, leaves the connection dropped.
  Answer exec(const std::string& sql, const std::vector<std::string>* params) {
    Answer a;
    // A second beyond the server's own limit, so that a server at work says why it stopped.
    int waitSeconds = wait_ >= 0 ? wait_ : limit_ > 0 ? limit_ + 1 : 0;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(waitSeconds);
    bool sent;
    if (params) {
      std::vector<const char*> values;
      for (const std::string& t : *params) values.push_back(t.c_str());
      sent = PQsendQueryParams(conn_, sql.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    } else {
      sent = PQsendQuery(conn_, sql.c_str());
    }
    if (!sent) return lose(a, PQerrorMessage(conn_));
    // Out with the query: a large record may not fit the socket's buffer at once.
    for (;;) {
      int f = PQflush(conn_);
      if (f == 0) break;
      if (f < 0 || !await(POLLOUT | POLLIN, deadline, waitSeconds)) return lose(a, timedOut(f < 0));
      if (!PQconsumeInput(conn_)) return lose(a, PQerrorMessage(conn_));
    }
    for (;;) {
      while (PQisBusy(conn_)) {
        if (!await(POLLIN, deadline, waitSeconds)) return lose(a, timedOut(false));
        if (!PQconsumeInput(conn_)) return lose(a, PQerrorMessage(conn_));
      }
      PGresult* r = PQgetResult(conn_);
      if (!r) break;
      // A script's first failure is its outcome; the statements after it did not run.
      if (!a.res || good(a.res)) {
        PQclear(a.res);
        a.res = r;
      } else {
        PQclear(r);
      }
      if (PQstatus(conn_) != CONNECTION_OK) break;
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::string why = PQerrorMessage(conn_);
      PQclear(a.res);
      a.res = nullptr;
      return lose(a, why.c_str());
    }
    a.answered = true;
    return a;
  }

  static bool good(const PGresult* r) {
    ExecStatusType st = PQresultStatus(r);
    return st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
  }

  // Waits until the socket is ready for `events` or the deadline passes (never, with no limit).
  bool await(short events, Clock::time_point deadline, int waitSeconds) {
    for (;;) {
      int ms = -1;
      if (waitSeconds > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        ms = int(std::min<int64_t>(left, 60000));
      }
      pollfd p{PQsocket(conn_), events, 0};
      int n = ::poll(&p, 1, ms);
      if (n > 0) return true;
      if (n < 0 && errno != EINTR) return false;
    }
  }

  std::string timedOut(bool broken) const {
    if (broken) return PQerrorMessage(conn_);
    return "no answer from the server within the time limit of " + std::to_string(wait_ >= 0 ? wait_ : limit_) + " s";
  }

  // The connection is given up: closed, so that the server ends its session (and rolls
  // back its transaction) once it reads on; the next call outside a transaction connects again.
  Answer& lose(Answer& a, const std::string& why) {
    PQclear(a.res);
    a.res = nullptr;
    a.answered = false;
    lostReason_ = firstLine(why.c_str());
    if (lostReason_.empty()) lostReason_ = "the connection to the server was lost";
    lostPid_ = pid_;
    drop();
    return a;
  }

  int32_t outcome(const Answer& a, bool commit = false) {
    if (!a.answered) {
      failed(lostReason_);
      return kRetry;
    }
    if (a.res && good(a.res)) {
      // COMMIT of a transaction that failed answers ROLLBACK, not an error.
      const char* tag = PQcmdStatus(a.res);
      if (commit && tag && std::strcmp(tag, "ROLLBACK") == 0) {
        failed("the transaction was rolled back");
        return kStorage;
      }
      succeeded();
      return kOk;
    }
    const char* state = a.res ? PQresultErrorField(a.res, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = a.res ? PQresultErrorField(a.res, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    failed(primary ? std::string(primary) : firstLine(a.res ? PQresultErrorMessage(a.res) : PQerrorMessage(conn_)),
           state && std::strcmp(state, "23505") == 0);
    return retryable(state) ? int32_t(kRetry) : int32_t(kStorage);
  }

  void drop() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
  }

  std::string conninfo_;
  int limit_;
  int wait_ = -1;  // the wait for an answer when set apart from the limit
  PGconn* conn_ = nullptr;
  int pid_ = 0;           // the server process of the connection
  int lostPid_ = 0;       // ... of the connection lost last
  int inDoubt_ = 0;       // ... of the connection lost during its COMMIT, until settled
  std::string lostReason_;
  bool inTransaction_ = false;
};

}  // namespace

std::unique_ptr<SqlConnection> openPostgres(const std::string& conninfo, int timeLimit, int32_t* error,
                                            std::string* detail) {
  auto conn = std::make_unique<PostgresConnection>(conninfo, timeLimit);
  int32_t rc = conn->connect();
  if (rc != kOk) {
    if (detail) *detail = conn->reason();
    *error = rc;
    return nullptr;
  }
  *error = kOk;
  return conn;
}

std::string checkConninfo(const std::string& conninfo) {
  char* err = nullptr;
  PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
  if (opts) {
    PQconninfoFree(opts);
    return {};
  }
  std::string out = err ? err : "not a connection string";
  PQfreemem(err);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace kelvra
