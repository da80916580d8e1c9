// The embedded backend: one SQLite file with write-ahead logging.
#include "errors.h"
#include "sql.h"

#include <platform/text.h>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvra {
namespace {

// Busy or changed under us is worth a retry, anything else is not.
int32_t failure(int rc) {
  int primary = rc & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || rc == SQLITE_READONLY_DBMOVED) return kRetry;
  return kStorage;
}

// kelvra_fold(text): A-Z as a-z and nothing else, the comparison that names and accounts
// use on both backends (SQLite's NOCASE compares so too).
void fold(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const unsigned char* p = sqlite3_value_text(argv[0]);
  if (!p) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string s(reinterpret_cast<const char*>(p), size_t(sqlite3_value_bytes(argv[0])));
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

// Parameters are written $1, $2 ...; SQLite numbers them ?1, ?2 ...
std::string numbered(std::string_view sql) {
  std::string out(sql);
  for (char& c : out)
    if (c == '$') c = '?';
  return out;
}

// The account hashes live in the file: nobody but its owner reads it, nor its log.
void keepPrivate(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::string p = path + suffix;
    struct stat st{};
    if (::stat(p.c_str(), &st) == 0 && (st.st_mode & 077) && st.st_uid == ::geteuid())
      ::chmod(p.c_str(), st.st_mode & 0700);
  }
}

class SqliteConnection final : public SqlConnection {
 public:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  ~SqliteConnection() override { sqlite3_close(db_); }

  Dialect dialect() const override { return Dialect::SQLite; }

  int32_t run(std::string_view sql, const std::vector<SqlParam>& params, SqlRows* rows, int64_t* changes) override {
    if (rows) rows->clear();
    sqlite3_stmt* st = nullptr;
    std::string text = numbered(sql);
    int rc = sqlite3_prepare_v2(db_, text.c_str(), int(text.size()), &st, nullptr);
    for (size_t i = 0; rc == SQLITE_OK && i < params.size(); ++i) {
      if (const int64_t* n = std::get_if<int64_t>(&params[i])) {
        rc = sqlite3_bind_int64(st, int(i + 1), *n);
      } else {
        std::string s = platform::toUtf8(std::get<std::u16string_view>(params[i]));
        rc = sqlite3_bind_text(st, int(i + 1), s.data(), int(s.size()), SQLITE_TRANSIENT);
      }
    }
    while (rc == SQLITE_OK) {
      int step = sqlite3_step(st);
      if (step == SQLITE_DONE) break;
      if (step != SQLITE_ROW) {
        rc = step;
        break;
      }
      if (!rows) continue;
      std::vector<std::optional<std::string>> row;
      for (int c = 0, n = sqlite3_column_count(st); c < n; ++c) {
        const unsigned char* p = sqlite3_column_text(st, c);
        if (p)
          row.emplace_back(std::string(reinterpret_cast<const char*>(p), size_t(sqlite3_column_bytes(st, c))));
        else
          row.emplace_back(std::nullopt);
      }
      rows->add(std::move(row));
    }
    if (rc != SQLITE_OK) {
      int32_t code = fail();
      sqlite3_finalize(st);
      if (rows) rows->clear();
      return code;
    }
    sqlite3_finalize(st);
    if (changes) *changes = sqlite3_changes64(db_);
    succeeded();
    return kOk;
  }

  int32_t script(std::string_view sql) override {
    std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
    succeeded();
    return kOk;
  }

  // A writer takes the file's write lock at once: two deferred writers that both read
  // first would deadlock on the upgrade and one of them fail.
  int32_t begin(bool write) override { return script(write ? "BEGIN IMMEDIATE" : "BEGIN"); }

  int32_t commit() override {
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
      succeeded();
      return kOk;
    }
    int32_t code = fail();
    rollback();
    return code;
  }

  void rollback() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  // The code of the failure SQLite has just reported, with its own words kept.
  int32_t fail() {
    int rc = sqlite3_extended_errcode(db_);
    failed(sqlite3_errmsg(db_), rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY);
    return failure(rc);
  }

  sqlite3* db_;
};

}  // namespace

std::unique_ptr<SqlConnection> openSqlite(const std::string& path, bool create, int32_t* error) {
  if (create) {
    // Made here rather than by SQLite so that it never exists with wider permissions;
    // SQLite gives its log files the permissions of the file.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      *error = kStorage;
      return nullptr;
    }
    ::close(fd);
  } else {
    keepPrivate(path);
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    *error = create ? kStorage : kNoSuchServer;
    return nullptr;
  }
  auto conn = std::make_unique<SqliteConnection>(db);
  // Writers queue for the write lock; a long wait is better than a refused record.
  sqlite3_busy_timeout(db, 10000);
  sqlite3_create_function(db, "kelvra_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fold, nullptr, nullptr);
  // Write-ahead logging: a stored record costs no full sync, and readers never wait for it.
  conn->script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
  *error = kOk;
  return conn;
}

}  // namespace kelvra
