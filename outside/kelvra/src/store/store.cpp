// The server file: accounts, databases, records with their search index, documents.
#include "store.h"

#include "errors.h"

#include <platform/paths.h>
#include <platform/text.h>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

namespace kelvra {
namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS accounts(user TEXT PRIMARY KEY COLLATE NOCASE, password TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS databases(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  base TEXT NOT NULL UNIQUE COLLATE NOCASE, records INTEGER NOT NULL, next_number INTEGER NOT NULL DEFAULT 1);
CREATE TABLE IF NOT EXISTS records(db INTEGER NOT NULL, number INTEGER NOT NULL, text TEXT NOT NULL,
  PRIMARY KEY(db, number));
CREATE TABLE IF NOT EXISTS terms(db INTEGER NOT NULL, number INTEGER NOT NULL, tag TEXT NOT NULL,
  code TEXT NOT NULL, key TEXT NOT NULL, word TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS terms_key ON terms(db, tag, code, key);
CREATE INDEX IF NOT EXISTS terms_word ON terms(db, tag, code, word);
CREATE INDEX IF NOT EXISTS terms_record ON terms(db, number);
CREATE TABLE IF NOT EXISTS documents(db INTEGER NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL,
  PRIMARY KEY(db, name));
)";

// A failure of the file: busy or changed under us is worth a retry, anything else is not.
int32_t failure(int rc) {
  int primary = rc & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || rc == SQLITE_READONLY_DBMOVED) return kRetry;
  return kStorage;
}

// One prepared statement; texts go in and come out as UTF-8.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::u16string_view text) {
    std::string s = platform::toUtf8(text);
    if (ok()) rc_ = sqlite3_bind_text(st_, i, s.data(), int(s.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind(int i, int64_t n) {
    if (ok()) rc_ = sqlite3_bind_int64(st_, i, n);
    return *this;
  }
  /// \brief True while rows come; false at the end or on failure (see error()).
  bool row() {
    if (!ok()) return false;
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) rc_ = rc;
    return false;
  }
  int32_t run() {
    row();
    return error();
  }
  std::u16string text(int col) const {
    const unsigned char* p = sqlite3_column_text(st_, col);
    return p ? platform::fromUtf8(reinterpret_cast<const char*>(p)) : std::u16string();
  }
  int64_t number(int col) const { return sqlite3_column_int64(st_, col); }
  int32_t error() const { return ok() ? kOk : failure(rc_); }

 private:
  bool ok() const { return rc_ == SQLITE_OK; }
  sqlite3_stmt* st_ = nullptr;
  int rc_;
};

// All-or-nothing changes; rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { rc_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); }
  ~Transaction() {
    if (rc_ == SQLITE_OK && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  int32_t error() const { return rc_ == SQLITE_OK ? kOk : failure(rc_); }
  int32_t commit() {
    if (rc_ != SQLITE_OK) return failure(rc_);
    done_ = true;
    int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return failure(rc);
    }
    return kOk;
  }

 private:
  sqlite3* db_;
  int rc_;
  bool done_ = false;
};

std::string serversFolder() { return platform::joinPath(platform::qorvelHome(), "kelvra"); }

std::string serverFile(std::u16string_view server) {
  return platform::joinPath(platform::joinPath(serversFolder(), platform::toUtf8(server)), "kelvra.sqlite");
}

std::u16string baseOf(std::u16string_view name) { return std::u16string(name.substr(0, name.find(u'.'))); }

void setError(int32_t* error, int32_t code) {
  if (error) *error = code;
}

}  // namespace

Store::~Store() { sqlite3_close(db_); }

bool Store::usableName(std::u16string_view name) {
  if (name.empty() || name.size() > 128 || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (c < 0x20 || c == 0x7F || std::u16string_view(u"/\\;+#?:").find(c) != std::u16string_view::npos) return false;
  return true;
}

bool Store::isRecordDatabaseName(std::u16string_view name) {
  size_t dot = name.find(u'.');
  return dot == std::u16string_view::npos || platform::equalsNoCase(name.substr(dot), std::u16string_view(u".mrc"));
}

std::shared_ptr<Store> Store::openFile(const std::string& path, bool create, int32_t* error) {
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    setError(error, create ? kStorage : kNoSuchServer);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  // Write-ahead logging: a stored record costs no full sync, and readers never wait for it.
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  std::shared_ptr<Store> store(new Store(db));
  if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    setError(error, kStorage);
    return nullptr;
  }
  setError(error, kOk);
  return store;
}

std::shared_ptr<Store> Store::open(std::u16string_view server, int32_t* error) {
  if (!usableName(server)) {
    setError(error, kBadHost);
    return nullptr;
  }
  std::string path = serverFile(server);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    setError(error, kNoSuchServer);
    return nullptr;
  }
  return openFile(path, false, error);
}

std::shared_ptr<Store> Store::create(std::u16string_view server, int32_t* error) {
  std::string path = serverFile(server);
  std::error_code ec;
  if (!usableName(server) || std::filesystem::exists(path, ec)) {
    setError(error, kBadHost);
    return nullptr;
  }
  if (!platform::makeFolders(platform::folderOf(path))) {
    setError(error, kStorage);
    return nullptr;
  }
  std::shared_ptr<Store> store = openFile(path, true, error);
  if (store) {
    int32_t rc = store->putAccount(u"public", u"");
    setError(error, rc);
    if (rc != kOk) return nullptr;
  }
  return store;
}

std::vector<std::u16string> Store::servers() {
  std::vector<std::u16string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(serversFolder(), ec))
    if (std::filesystem::is_regular_file(e.path() / "kelvra.sqlite", ec))
      out.push_back(platform::fromUtf8(e.path().filename().string()));
  std::sort(out.begin(), out.end());
  return out;
}

bool Store::checkLogin(std::u16string_view user, std::u16string_view password, int32_t* error) {
  Statement st(db_, "SELECT password FROM accounts WHERE user = ?");
  st.bind(1, user);
  bool found = st.row();
  if (st.error() != kOk) {
    setError(error, st.error());
    return false;
  }
  bool ok = found && st.text(0) == password;
  setError(error, ok ? kOk : kLoginFailed);
  return ok;
}

int32_t Store::putAccount(std::u16string_view user, std::u16string_view password) {
  if (!usableName(user)) return kBadHost;
  Statement st(db_, "INSERT INTO accounts(user, password) VALUES(?, ?) ON CONFLICT(user) DO UPDATE SET password = excluded.password");
  return st.bind(1, user).bind(2, password).run();
}

int32_t Store::removeAccount(std::u16string_view user) {
  Statement st(db_, "DELETE FROM accounts WHERE user = ?");
  if (int32_t rc = st.bind(1, user).run()) return rc;
  return sqlite3_changes(db_) ? kOk : kLoginFailed;
}

std::vector<std::u16string> Store::accounts() {
  std::vector<std::u16string> out;
  Statement st(db_, "SELECT user FROM accounts ORDER BY user");
  while (st.row()) out.push_back(st.text(0));
  return out;
}

std::vector<DatabaseInfo> Store::databases(int32_t* error) {
  std::vector<DatabaseInfo> out;
  Statement st(db_, "SELECT id, name, records FROM databases ORDER BY id");
  while (st.row()) out.push_back({st.number(0), st.text(1), st.number(2) != 0});
  setError(error, st.error());
  return out;
}

std::optional<DatabaseInfo> Store::findDatabase(std::u16string_view name, int32_t* error) {
  Statement st(db_, "SELECT id, name, records FROM databases WHERE name = ?1 OR base = ?1");
  st.bind(1, name);
  if (st.row()) {
    setError(error, kOk);
    return DatabaseInfo{st.number(0), st.text(1), st.number(2) != 0};
  }
  setError(error, st.error() ? st.error() : int32_t(kNoSuchDatabase));
  return std::nullopt;
}

int32_t Store::createDatabase(std::u16string_view name) {
  std::u16string base = baseOf(name);
  if (!usableName(name) || base.empty()) return kBadHost;
  Statement st(db_, "INSERT INTO databases(name, base, records) VALUES(?, ?, ?)");
  int32_t rc = st.bind(1, name).bind(2, base).bind(3, int64_t(isRecordDatabaseName(name))).run();
  return rc == kStorage ? int32_t(kBadHost) : rc;  // a taken name is the usual cause
}

int32_t Store::dropDatabase(int64_t id) {
  Transaction t(db_);
  if (t.error()) return t.error();
  for (const char* sql : {"DELETE FROM terms WHERE db = ?", "DELETE FROM records WHERE db = ?",
                          "DELETE FROM documents WHERE db = ?", "DELETE FROM databases WHERE id = ?"}) {
    Statement st(db_, sql);
    if (int32_t rc = st.bind(1, id).run()) return rc;
  }
  return t.commit();
}

int32_t Store::addRecord(int64_t db, std::u16string_view text, int32_t* number) {
  std::optional<std::vector<IndexEntry>> entries = indexRecord(text);
  if (!entries) return kBadRecord;
  Transaction t(db_);
  if (t.error()) return t.error();
  Statement next(db_, "SELECT next_number FROM databases WHERE id = ?");
  next.bind(1, db);
  if (!next.row()) return next.error() ? next.error() : int32_t(kRetry);  // dropped since it was opened
  int64_t n = next.number(0);
  if (n > INT32_MAX) return kStorage;
  Statement bump(db_, "UPDATE databases SET next_number = ? WHERE id = ?");
  if (int32_t rc = bump.bind(1, n + 1).bind(2, db).run()) return rc;
  Statement put(db_, "INSERT INTO records(db, number, text) VALUES(?, ?, ?)");
  if (int32_t rc = put.bind(1, db).bind(2, n).bind(3, text).run()) return rc;
  for (const IndexEntry& e : *entries) {
    Statement term(db_, "INSERT INTO terms(db, number, tag, code, key, word) VALUES(?, ?, ?, ?, ?, ?)");
    if (int32_t rc = term.bind(1, db).bind(2, n).bind(3, e.tag).bind(4, e.code).bind(5, e.key).bind(6, e.word).run())
      return rc;
  }
  if (int32_t rc = t.commit()) return rc;
  *number = int32_t(n);
  return kOk;
}

int32_t Store::search(int64_t db, const std::vector<Condition>& conditions, std::vector<int32_t>& hits) {
  hits.clear();
  {
    Statement still(db_, "SELECT 1 FROM databases WHERE id = ?");
    still.bind(1, db);
    if (!still.row()) return still.error() ? still.error() : int32_t(kRetry);
  }
  std::vector<int32_t> found;
  for (const Condition& c : conditions) {
    std::u16string key = matchKey(c.term);
    if (key.empty()) continue;
    Statement st(db_,
                 "SELECT DISTINCT number FROM terms WHERE db = ?1 AND tag = ?2 AND code = ?3 AND (key = ?4 OR word = ?4)");
    st.bind(1, db).bind(2, c.tag).bind(3, c.code).bind(4, key);
    while (st.row()) found.push_back(int32_t(st.number(0)));
    if (st.error()) return st.error();
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  hits = std::move(found);
  return kOk;
}

int32_t Store::record(int64_t db, int32_t number, std::u16string& text) {
  Statement st(db_, "SELECT text FROM records WHERE db = ? AND number = ?");
  st.bind(1, db).bind(2, int64_t(number));
  if (!st.row()) return st.error() ? st.error() : int32_t(kNoSuchRecord);
  text = st.text(0);
  return kOk;
}

int32_t Store::recordNumbers(int64_t db, std::vector<int32_t>& numbers) {
  numbers.clear();
  Statement st(db_, "SELECT number FROM records WHERE db = ? ORDER BY number");
  st.bind(1, db);
  while (st.row()) numbers.push_back(int32_t(st.number(0)));
  return st.error();
}

int32_t Store::removeRecord(int64_t db, int32_t number) {
  Transaction t(db_);
  if (t.error()) return t.error();
  Statement rec(db_, "DELETE FROM records WHERE db = ? AND number = ?");
  if (int32_t rc = rec.bind(1, db).bind(2, int64_t(number)).run()) return rc;
  if (sqlite3_changes(db_) == 0) return kNoSuchRecord;
  Statement terms(db_, "DELETE FROM terms WHERE db = ? AND number = ?");
  if (int32_t rc = terms.bind(1, db).bind(2, int64_t(number)).run()) return rc;
  return t.commit();
}

int32_t Store::putDocument(int64_t db, std::u16string_view name, std::u16string_view text) {
  if (name.empty()) return kBadHost;
  Statement st(db_, "INSERT INTO documents(db, name, text) VALUES(?, ?, ?) ON CONFLICT(db, name) DO UPDATE SET text = excluded.text");
  return st.bind(1, db).bind(2, name).bind(3, text).run();
}

int32_t Store::document(int64_t db, std::u16string_view name, std::u16string& text) {
  text.clear();
  Statement st(db_, "SELECT text FROM documents WHERE db = ? AND name = ?");
  st.bind(1, db).bind(2, name);
  if (st.row()) text = st.text(0);
  return st.error();
}

int32_t Store::documentNames(int64_t db, std::vector<std::u16string>& names) {
  names.clear();
  Statement st(db_, "SELECT name FROM documents WHERE db = ? ORDER BY name");
  st.bind(1, db);
  while (st.row()) names.push_back(st.text(0));
  return st.error();
}

}  // namespace kelvra
