// The two backends the store tests run on, and direct SQL on the store under test (to
// look at what it keeps and to break it on purpose).
#pragma once

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include <atomic>
#include <filesystem>
#include <ostream>
#include <string>

namespace ktest {

// The tests' PostgreSQL servers know no Kerberos, so libpq is told not to try GSSAPI
// encryption (in the test programs and the kelvra-admin they start): the start-up of the
// Kerberos library makes LeakSanitizer's check at exit fail in the sanitizer tree.
inline const bool kNoGssapi = ::setenv("PGGSSENCMODE", "disable", 0) == 0;

enum class Backend { SQLite, PostgreSQL };

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

inline void PrintTo(Backend b, std::ostream* os) { *os << (b == Backend::SQLite ? "SQLite" : "PostgreSQL"); }

/// \brief The connection string of the run's PostgreSQL server (fixture kelvra_postgres).
inline std::string postgresServer() {
  std::string text = qtest::readFile(KELVRA_POSTGRES);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

/// The first value of the first row of `sql` on a PostgreSQL connection ("" for none);
/// a failing statement fails the test.
inline std::string pgValue(PGconn* conn, const std::string& sql) {
  PGresult* res = PQexec(conn, sql.c_str());
  ExecStatusType st = PQresultStatus(res);
  EXPECT_TRUE(st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(conn);
  std::string out = (st == PGRES_TUPLES_OK && PQntuples(res) > 0) ? PQgetvalue(res, 0, 0) : "";
  PQclear(res);
  return out;
}

/// A PostgreSQL database of its own for one test on the run's server, dropped at the end.
class ScratchDatabase {
 public:
  ScratchDatabase() {
    static std::atomic<int> counter{0};
    name_ = "kt_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    PGconn* admin = PQconnectdb((postgresServer() + " dbname=postgres").c_str());
    EXPECT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
    pgValue(admin, "CREATE DATABASE " + name_);
    PQfinish(admin);
    conninfo_ = postgresServer() + " dbname=" + name_;
  }
  ~ScratchDatabase() {
    PGconn* admin = PQconnectdb((postgresServer() + " dbname=postgres").c_str());
    PQclear(PQexec(admin, ("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)").c_str()));
    PQfinish(admin);
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;
  const std::string& conninfo() const { return conninfo_; }

 private:
  std::string name_, conninfo_;
};

/// A PostgreSQL server of the test's own, to crash and start again, pause or give
/// passwords to without troubling the tests that share the run's server.
class PrivateServer {
 public:
  PrivateServer() {
    state_ = (dir_.path() / "state").string();
    // It keeps what it said it committed, whatever happens to it.
    started_ = qtest::run("KELVRA_PG_OPTIONS='-c synchronous_commit=on' bash " KELVRA_POSTGRES_SH " start " + state_ +
                          " " + std::to_string(getpid()) + " >/dev/null 2>&1") == 0;
    EXPECT_TRUE(started_) << "no PostgreSQL server of the test's own";
  }
  ~PrivateServer() {
    resume();
    command("stop");
  }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;
  bool started() const { return started_; }
  /// \brief Its connection string (database "postgres").
  std::string conninfo() const {
    std::string text = qtest::readFile(state_);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text + " dbname=postgres";
  }
  std::filesystem::path dataDir() const {
    std::string dir = qtest::readFile(state_ + ".dir");
    while (!dir.empty() && dir.back() == '\n') dir.pop_back();
    return std::filesystem::path(dir) / "data";
  }
  /// \brief Stops it at once, as a power cut or a killed server does (its data stays).
  void crash() { EXPECT_EQ(command("crash"), 0); }
  /// \brief Starts it again after a crash, on the same port.
  void restart() { EXPECT_EQ(command("restart"), 0); }
  /// \brief Stops (SIGSTOP) and lets go on (SIGCONT) its main process: it takes no new
  /// connections while paused.
  void pause() {
    std::string pid = qtest::readFile(dataDir() / "postmaster.pid");
    paused_ = std::atoi(pid.c_str());
    if (paused_ > 0) ::kill(paused_, SIGSTOP);
  }
  void resume() {
    if (paused_ > 0) ::kill(paused_, SIGCONT);
    paused_ = 0;
  }

 private:
  int command(const std::string& what, const std::string& more = "") const {
    return qtest::run("bash " KELVRA_POSTGRES_SH " " + what + " " + state_ + more + " >/dev/null 2>&1");
  }

  qtest::TempDir dir_;
  std::string state_;
  bool started_ = false;
  pid_t paused_ = 0;
};

/// \brief The first value of the first row of `sql` run on the store itself ("" for none).
inline std::string storeValue(Backend backend, const std::string& where, const std::string& sql) {
  if (backend == Backend::PostgreSQL) {
    PGconn* conn = PQconnectdb(where.c_str());
    EXPECT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
    std::string out = pgValue(conn, sql);
    PQfinish(conn);
    return out;
  }
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(where.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_busy_timeout(db, 10000);
  std::string out;
  char* err = nullptr;
  auto first = [](void* to, int n, char** values, char**) {
    auto* s = static_cast<std::string*>(to);
    if (s->empty() && n > 0 && values[0]) *s = values[0];
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), first, &out, &err), SQLITE_OK) << sql << ": " << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(db);
  return out;
}

}  // namespace ktest
