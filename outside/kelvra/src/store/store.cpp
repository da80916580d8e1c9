// The store: accounts, databases, records with their search index, documents; the same
// statements on SQLite and on PostgreSQL.
#include "store.h"

#include "errors.h"
#include "password.h"

#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>

namespace kelvra {
namespace {

// The local file. Its first layout named the password column "password" and kept the
// passwords as typed; opening such a file hashes them (hashClearPasswords). Records got their
// store's token later; a file without the column gains it when opened (layOut).
constexpr const char* kSqliteSchema = R"(
CREATE TABLE IF NOT EXISTS accounts("user" TEXT PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS databases(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  base TEXT NOT NULL UNIQUE COLLATE NOCASE, records INTEGER NOT NULL, next_number INTEGER NOT NULL DEFAULT 1);
CREATE TABLE IF NOT EXISTS records(db INTEGER NOT NULL, number INTEGER NOT NULL, text TEXT NOT NULL, token TEXT,
  PRIMARY KEY(db, number));
CREATE TABLE IF NOT EXISTS terms(db INTEGER NOT NULL, number INTEGER NOT NULL, tag TEXT NOT NULL,
  code TEXT NOT NULL, key TEXT NOT NULL, word TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS terms_key ON terms(db, tag, code, key);
CREATE INDEX IF NOT EXISTS terms_word ON terms(db, tag, code, word);
CREATE INDEX IF NOT EXISTS terms_record ON terms(db, number);
CREATE TABLE IF NOT EXISTS documents(db INTEGER NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL,
  PRIMARY KEY(db, name));
)";

// The shared database's tables. Names and accounts compare with A-Z folded as a-z and
// nothing else, as SQLite's NOCASE does, so kelvra_fold stands in the unique indexes; ids
// are never given out twice, so a database made again under an old name is a different one.
constexpr const char* kPostgresTables = R"(
CREATE OR REPLACE FUNCTION kelvra_fold(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
  AS $$ SELECT translate($1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') $$;
CREATE TABLE IF NOT EXISTS accounts("user" TEXT NOT NULL, hash TEXT NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS accounts_user ON accounts(kelvra_fold("user"));
CREATE TABLE IF NOT EXISTS databases(id BIGSERIAL PRIMARY KEY, name TEXT NOT NULL, base TEXT NOT NULL,
  records INTEGER NOT NULL, next_number BIGINT NOT NULL DEFAULT 1);
CREATE UNIQUE INDEX IF NOT EXISTS databases_name ON databases(kelvra_fold(name));
CREATE UNIQUE INDEX IF NOT EXISTS databases_base ON databases(kelvra_fold(base));
CREATE TABLE IF NOT EXISTS records(db BIGINT NOT NULL, number INTEGER NOT NULL, text TEXT NOT NULL, token TEXT,
  PRIMARY KEY(db, number));
CREATE TABLE IF NOT EXISTS terms(db BIGINT NOT NULL, number INTEGER NOT NULL, tag TEXT NOT NULL,
  code TEXT NOT NULL, key TEXT NOT NULL, word TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS terms_record ON terms(db, number);
CREATE TABLE IF NOT EXISTS documents(db BIGINT NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL,
  PRIMARY KEY(db, name));
)";

// The shared database's current layout over its tables, from a new database or from the
// first layout. A btree entry holds at most about 2,700 bytes, so the terms are indexed by
// their first 200 characters (800 bytes at most) and compared whole in the query; the first
// layout indexed them whole and refused longer subfields. Index building on a large old
// database takes its time: no limit for it.
constexpr const char* kPostgresCurrent = R"(
ALTER TABLE records ADD COLUMN IF NOT EXISTS token TEXT;
CREATE UNIQUE INDEX IF NOT EXISTS records_token ON records(token);
DROP INDEX IF EXISTS terms_key;
DROP INDEX IF EXISTS terms_word;
CREATE INDEX IF NOT EXISTS terms_key_start ON terms(db, tag, code, left(key, 200));
CREATE INDEX IF NOT EXISTS terms_word_start ON terms(db, tag, code, left(word, 200));
)";

// Whether the shared database holds the tables, whether they have the current layout,
// whether records carry tokens, and whether the role connected owns the tables that bringing
// the layout up to date changes (records, then terms: the first it does not own, else "");
// the names resolve in the connection's search path.
constexpr const char* kPostgresState = R"(SELECT
  to_regclass('accounts') IS NOT NULL AND to_regclass('databases') IS NOT NULL AND to_regclass('records') IS NOT NULL
    AND to_regclass('terms') IS NOT NULL AND to_regclass('documents') IS NOT NULL,
  to_regclass('records_token') IS NOT NULL AND to_regclass('terms_key_start') IS NOT NULL
    AND to_regclass('terms_word_start') IS NOT NULL AND to_regclass('terms_key') IS NULL AND to_regclass('terms_word') IS NULL,
  EXISTS(SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('records') AND attname = 'token' AND NOT attisdropped),
  COALESCE((SELECT name FROM (VALUES (1, 'records'), (2, 'terms')) AS t(k, name)
            WHERE NOT pg_has_role((SELECT relowner FROM pg_class WHERE oid = to_regclass(name)), 'USAGE')
            ORDER BY k LIMIT 1), ''))";

// Setting up a shared database, from any number of workstations at once, goes one at a time.
constexpr const char* kSetUpLock = "SELECT pg_advisory_xact_lock(72430118)";

// The first characters of a term that the shared index holds.
constexpr int kIndexedCharacters = 200;

// Index entries go in by the hundred: one statement instead of one per subfield.
constexpr size_t kTermsPerStatement = 100;

std::string serversFolder() { return platform::joinPath(platform::qorvelHome(), "kelvra"); }

std::string serverFile(std::u16string_view server) {
  return platform::joinPath(platform::joinPath(serversFolder(), platform::toUtf8(server)), "kelvra.sqlite");
}

// This workstation's shared servers: a section per server with its Backend and Connection.
std::string configFile() { return platform::joinPath(serversFolder(), "servers.ini"); }

bool localExists(std::u16string_view server) {
  std::error_code ec;
  return std::filesystem::exists(serverFile(server), ec);
}

std::u16string baseOf(std::u16string_view name) { return std::u16string(name.substr(0, name.find(u'.'))); }

void setError(int32_t* error, int32_t code) {
  if (error) *error = code;
}

// Listings come in the same order from both backends: by UTF-8 bytes (A-Z folded for
// account names), whatever collation the PostgreSQL database was made with.
std::string sortKey(std::u16string_view s, bool fold) {
  return platform::toUtf8(fold ? platform::toLowerAscii(s) : std::u16string(s));
}

void sortTexts(std::vector<std::u16string>& v, bool fold) {
  std::sort(v.begin(), v.end(), [fold](const std::u16string& a, const std::u16string& b) {
    return sortKey(a, fold) < sortKey(b, fold);
  });
}

}  // namespace

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

std::shared_ptr<Store> Store::openFile(const std::string& path, bool create, int32_t* error, std::string* detail) {
  int32_t rc = kOk;
  std::unique_ptr<SqlConnection> db = openSqlite(path, create, &rc);
  if (!db) {
    setError(error, rc);
    return nullptr;
  }
  std::shared_ptr<Store> store(new Store(std::move(db)));
  if (int32_t laid = store->layOut()) {
    if (detail) *detail = store->db_->reason();
    setError(error, laid == kRetry ? int32_t(kRetry) : int32_t(kStorage));
    return nullptr;
  }
  if (int32_t hashed = store->hashClearPasswords()) {
    if (detail) *detail = store->db_->reason();
    setError(error, hashed);
    return nullptr;
  }
  setError(error, kOk);
  return store;
}

// The local file's tables, and the token column for a file made before it (one program
// at a time adds it, under the write lock).
int32_t Store::layOut() {
  if (int32_t rc = db_->script(kSqliteSchema)) return rc;
  constexpr const char* kHasToken = "SELECT 1 FROM pragma_table_info('records') WHERE name = 'token'";
  SqlRows has;
  if (int32_t rc = db_->run(kHasToken, {}, &has)) return rc;
  if (has.empty()) {
    SqlTransaction t(*db_, true);
    if (t.error()) return t.error();
    if (int32_t rc = db_->run(kHasToken, {}, &has)) return rc;
    if (has.empty()) {
      if (int32_t rc = db_->script("ALTER TABLE records ADD COLUMN token TEXT")) return rc;
    }
    if (int32_t rc = t.commit()) return rc;
  }
  return db_->script("CREATE UNIQUE INDEX IF NOT EXISTS records_token ON records(token)");
}

// The shared database laid out (`create`: its tables made when missing) or brought up to
// the current layout, and with `publicAccount` the account "public" made when it has none,
// all in one transaction that waits for any other workstation doing the same. A role that
// may only read and write the tables of an older layout goes on with that layout.
int32_t Store::layOutShared(bool create, bool publicAccount) {
  SqlTransaction t(*db_, true);
  if (t.error()) return t.error();
  if (int32_t rc = db_->run(kSetUpLock, {})) return rc;
  SqlRows state;
  if (int32_t rc = db_->run(kPostgresState, {}, &state)) return rc;
  bool present = state.text(0, 0) == u"t", current = state.text(0, 1) == u"t";
  tokens_ = state.text(0, 2) == u"t";
  layoutNote_.clear();
  if (!present) {
    if (!create) {
      db_->setReason("the database holds no record server (its tables are missing)");
      return kStorage;
    }
    if (int32_t rc = db_->script(kPostgresTables)) return rc;
  }
  if (!current) {
    if (int32_t rc = db_->script("SAVEPOINT layout")) return rc;
    if (int32_t rc = db_->script("SET LOCAL statement_timeout = 0")) return rc;
    db_->setTimeLimit(0);
    int32_t rc = db_->script(kPostgresCurrent);
    db_->setTimeLimit(-1);
    if (rc == kOk) {
      tokens_ = true;
    } else {
      if (rc != kStorage || !present) return rc;
      layoutNote_ = db_->reason();
      if (int32_t back = db_->script("ROLLBACK TO SAVEPOINT layout")) return back;
    }
  }
  if (publicAccount) {
    SqlRows any;
    if (int32_t rc = db_->run("SELECT 1 FROM accounts LIMIT 1", {}, &any)) return rc;
    if (any.empty()) {
      if (int32_t rc = putAccountLocked(u"public", u"")) return rc;
    }
  }
  return t.commit();
}

// A file of the first layout keeps the passwords as typed in accounts.password. Each is
// replaced by its hash in one transaction, so that a failure leaves every account as it
// was and two programs opening the file at once hash it once. The freed pages are zeroed
// and the log emptied, so that no clear password stays behind in the file.
int32_t Store::hashClearPasswords() {
  if (db_->dialect() != Dialect::SQLite) return kOk;
  if (db_->run("SELECT password FROM accounts LIMIT 0", {}) != kOk) return kOk;
  db_->script("PRAGMA secure_delete=ON");
  int32_t rc = [&]() -> int32_t {
    SqlTransaction t(*db_, true);
    if (t.error()) return t.error();
    SqlRows rows;
    if (db_->run("SELECT \"user\", password FROM accounts", {}, &rows) != kOk) return kOk;  // done meanwhile
    if (int32_t e = db_->script("CREATE TABLE accounts_hashed(\"user\" TEXT PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL)"))
      return e;
    for (size_t r = 0; r < rows.size(); ++r) {
      std::optional<std::string> hash = hashPassword(rows.text(r, 1));
      if (!hash) return kStorage;
      std::u16string h = platform::fromUtf8(*hash), user = rows.text(r, 0);
      if (int32_t e = db_->run("INSERT INTO accounts_hashed(\"user\", hash) VALUES($1, $2)", {user, h})) return e;
    }
    if (int32_t e = db_->script("DROP TABLE accounts; ALTER TABLE accounts_hashed RENAME TO accounts")) return e;
    return t.commit();
  }();
  if (rc == kOk) db_->script("PRAGMA wal_checkpoint(TRUNCATE)");
  db_->script("PRAGMA secure_delete=OFF");
  return rc;
}

std::shared_ptr<Store> Store::open(std::u16string_view server, int32_t* error, std::string* detail) {
  if (detail) detail->clear();
  if (!usableName(server)) {
    setError(error, kBadHost);
    return nullptr;
  }
  std::string path = serverFile(server);
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) return openFile(path, false, error, detail);
  std::optional<std::string> conninfo = sharedConnection(server);
  if (!conninfo) {
    setError(error, kNoSuchServer);
    return nullptr;
  }
  int32_t rc = kOk;
  std::unique_ptr<SqlConnection> db = openPostgres(*conninfo, timeLimit(server), &rc, detail);
  if (!db) {
    setError(error, rc);
    return nullptr;
  }
  std::shared_ptr<Store> store(new Store(std::move(db)));
  // Most openings find the layout current and change nothing. A role that may not bring an
  // older layout up to date goes on with it at once, without waiting its turn to try.
  SqlRows state;
  rc = store->db_->run(kPostgresState, {}, &state);
  const std::u16string notOwned = rc == kOk ? state.text(0, 3) : std::u16string();
  if (rc == kOk && state.text(0, 0) == u"t" && state.text(0, 1) != u"t" && !notOwned.empty()) {
    store->tokens_ = state.text(0, 2) == u"t";
    store->layoutNote_ = "must be owner of table " + platform::toUtf8(notOwned);
  } else if (rc == kOk && (state.text(0, 0) != u"t" || state.text(0, 1) != u"t")) {
    rc = store->layOutShared(false, false);
  }
  if (rc != kOk) {
    if (detail) *detail = store->db_->reason();
    setError(error, rc);
    return nullptr;
  }
  setError(error, kOk);
  return store;
}

std::shared_ptr<Store> Store::create(std::u16string_view server, int32_t* error) {
  std::string path = serverFile(server);
  std::error_code ec;
  if (!usableName(server) || std::filesystem::exists(path, ec) || sharedConnection(server)) {
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

std::shared_ptr<Store> Store::createShared(std::u16string_view server, const std::string& conninfo, int32_t* error,
                                           std::string* detail) {
  // The name is also a section of servers.ini; the connection one value on one line.
  bool usable = usableName(server) && server.find_first_of(u"[]=") == std::u16string_view::npos &&
                !localExists(server) && !sharedConnection(server) && !conninfo.empty() &&
                std::none_of(conninfo.begin(), conninfo.end(), [](char c) { return c == '\n' || c == '\r'; });
  std::string complaint = usable ? checkConninfo(conninfo) : std::string();
  if (!usable || !complaint.empty()) {
    if (detail) *detail = complaint;
    setError(error, kBadHost);
    return nullptr;
  }
  int32_t rc = kOk;
  std::unique_ptr<SqlConnection> db = openPostgres(conninfo, timeLimit(server), &rc, detail);
  if (!db) {
    setError(error, rc);
    return nullptr;
  }
  std::shared_ptr<Store> store(new Store(std::move(db)));
  // A database laid out already is joined as it is (the joining role may lack the right
  // to create anything in it), or brought up to date by a role that may.
  rc = store->layOutShared(true, true);
  if (rc != kOk) {
    if (detail) *detail = store->db_->reason();
    if (detail && detail->empty()) *detail = "the database could not be laid out";
    setError(error, rc);
    return nullptr;
  }
  // Connection strings may carry a password: the file is its owner's alone.
  std::string file = configFile();
  platform::makeFolders(serversFolder());
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  if (!platform::writeProfileString(file, server, u"Backend", u"postgresql") ||
      !platform::writeProfileString(file, server, u"Connection", platform::fromUtf8(conninfo))) {
    if (detail) *detail = "cannot write " + file;
    setError(error, kStorage);
    return nullptr;
  }
  setError(error, kOk);
  return store;
}

bool Store::forgetShared(std::u16string_view server) {
  if (!sharedConnection(server)) return false;
  return platform::deleteProfileSection(configFile(), server);
}

std::optional<std::string> Store::sharedConnection(std::u16string_view server) {
  if (server.empty()) return std::nullopt;
  std::string file = configFile();
  if (!platform::equalsNoCase(platform::profileString(file, server, u"Backend"), std::u16string_view(u"postgresql")))
    return std::nullopt;
  std::u16string conninfo = platform::profileString(file, server, u"Connection", u"", 8192);
  if (conninfo.empty()) return std::nullopt;
  return platform::toUtf8(conninfo);
}

int Store::timeLimit(std::u16string_view server) {
  int32_t limit = platform::profileInt(configFile(), server, u"TimeLimit", 30);
  return limit > 0 ? std::min(limit, 86400) : 30;
}

std::vector<std::u16string> Store::servers() {
  std::vector<std::u16string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(serversFolder(), ec))
    if (std::filesystem::is_regular_file(e.path() / "kelvra.sqlite", ec))
      out.push_back(platform::fromUtf8(e.path().filename().string()));
  for (const std::u16string& s : platform::profileSectionNames(configFile()))
    if (sharedConnection(s) && std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
  std::sort(out.begin(), out.end());
  return out;
}

bool Store::checkLogin(std::u16string_view user, std::u16string_view password, int32_t* error) {
  std::lock_guard lock(mutex_);
  SqlRows rows;
  if (int32_t rc = db_->run("SELECT hash FROM accounts WHERE kelvra_fold(\"user\") = kelvra_fold($1)", {user}, &rows)) {
    setError(error, rc);
    return false;
  }
  // An unknown account costs one password check too: the time of the answer does not tell
  // an account that is missing from a wrong password.
  bool ok = verifyPassword(rows.empty() ? standInHash() : platform::toUtf8(rows.text(0, 0)), password) && !rows.empty();
  setError(error, ok ? kOk : kLoginFailed);
  return ok;
}

// One statement, so that two workstations adding the same account at once both succeed;
// an existing account keeps its first spelling.
int32_t Store::putAccountLocked(std::u16string_view user, std::u16string_view password) {
  std::optional<std::string> hash = hashPassword(password);
  if (!hash) {
    db_->setReason("out of memory for the password hash");
    return kStorage;
  }
  std::u16string h = platform::fromUtf8(*hash);
  const char* sql = db_->dialect() == Dialect::SQLite
                        ? "INSERT INTO accounts(\"user\", hash) VALUES($1, $2) ON CONFLICT(\"user\") DO UPDATE SET hash = excluded.hash"
                        : "INSERT INTO accounts(\"user\", hash) VALUES($1, $2) "
                          "ON CONFLICT(kelvra_fold(\"user\")) DO UPDATE SET hash = excluded.hash";
  return db_->run(sql, {user, h});
}

int32_t Store::putAccount(std::u16string_view user, std::u16string_view password) {
  if (!usableName(user)) return kBadHost;
  std::lock_guard lock(mutex_);
  SqlTransaction t(*db_, true);
  if (t.error()) return t.error();
  if (int32_t rc = putAccountLocked(user, password)) return rc;
  return t.commit();
}

int32_t Store::removeAccount(std::u16string_view user) {
  std::lock_guard lock(mutex_);
  int64_t changed = 0;
  if (int32_t rc = db_->run("DELETE FROM accounts WHERE kelvra_fold(\"user\") = kelvra_fold($1)", {user}, nullptr, &changed))
    return rc;
  return changed ? kOk : kLoginFailed;
}

std::vector<std::u16string> Store::accounts() {
  std::lock_guard lock(mutex_);
  SqlRows rows;
  db_->run("SELECT \"user\" FROM accounts", {}, &rows);
  std::vector<std::u16string> out;
  for (size_t r = 0; r < rows.size(); ++r) out.push_back(rows.text(r, 0));
  sortTexts(out, true);
  return out;
}

std::vector<DatabaseInfo> Store::databases(int32_t* error) {
  std::lock_guard lock(mutex_);
  SqlRows rows;
  setError(error, db_->run("SELECT id, name, records FROM databases ORDER BY id", {}, &rows));
  std::vector<DatabaseInfo> out;
  for (size_t r = 0; r < rows.size(); ++r) out.push_back({rows.number(r, 0), rows.text(r, 1), rows.number(r, 2) != 0});
  return out;
}

std::optional<DatabaseInfo> Store::findDatabase(std::u16string_view name, int32_t* error) {
  std::lock_guard lock(mutex_);
  SqlRows rows;
  int32_t rc = db_->run(
      "SELECT id, name, records FROM databases WHERE kelvra_fold(name) = kelvra_fold($1) OR kelvra_fold(base) = kelvra_fold($1)",
      {name}, &rows);
  if (rc == kOk && !rows.empty()) {
    setError(error, kOk);
    return DatabaseInfo{rows.number(0, 0), rows.text(0, 1), rows.number(0, 2) != 0};
  }
  setError(error, rc ? rc : int32_t(kNoSuchDatabase));
  return std::nullopt;
}

int32_t Store::createDatabase(std::u16string_view name) {
  std::u16string base = baseOf(name);
  if (!usableName(name) || base.empty()) return kBadHost;
  std::lock_guard lock(mutex_);
  int32_t rc = db_->run("INSERT INTO databases(name, base, records) VALUES($1, $2, $3)",
                        {name, std::u16string_view(base), int64_t(isRecordDatabaseName(name))});
  return rc == kStorage && db_->duplicate() ? int32_t(kBadHost) : rc;  // taken, or the database's own reason
}

int32_t Store::dropDatabase(int64_t id) {
  std::lock_guard lock(mutex_);
  SqlTransaction t(*db_, true);
  if (t.error()) return t.error();
  for (const char* sql : {"DELETE FROM databases WHERE id = $1", "DELETE FROM terms WHERE db = $1",
                          "DELETE FROM records WHERE db = $1", "DELETE FROM documents WHERE db = $1"})
    if (int32_t rc = db_->run(sql, {id})) return rc;
  return t.commit();
}

// The database's row hands out the number and stays locked until the commit, so writers
// take numbers one after another and a search never sees number n+1 without number n.
int32_t Store::addRecord(int64_t db, std::u16string_view text, int32_t* number, std::string_view token, bool* existed) {
  if (existed) *existed = false;
  std::optional<std::vector<IndexEntry>> entries = indexRecord(text);
  if (!entries) return kBadRecord;
  std::string own = token.empty() ? newToken() : std::string(token);
  if (own.empty()) return kStorage;
  std::u16string tok = platform::fromUtf8(own);
  std::lock_guard lock(mutex_);
  int32_t rc = storeOnce(db, text, *entries, tok, !token.empty(), number, existed);
  if (rc == kInDoubt && tokens_) {
    rc = db_->settle();
    if (rc == kOk) rc = landed(tok, number);
  } else if (rc == kStorage && tokens_ && db_->duplicate()) {
    // The same token from another program that got there first: its store stands.
    std::string why = db_->reason();
    if (landed(tok, number) == kOk) {
      if (existed) *existed = true;
      return kOk;
    }
    db_->setReason(why);
    return kStorage;
  }
  return rc;
}

int32_t Store::storeOnce(int64_t db, std::u16string_view text, const std::vector<IndexEntry>& entries,
                         std::u16string_view token, bool given, int32_t* number, bool* existed) {
  SqlTransaction t(*db_, true);
  if (t.error()) return t.error();
  if (given && tokens_) {
    SqlRows before;
    if (int32_t rc = db_->run("SELECT number FROM records WHERE token = $1", {token}, &before)) return rc;
    if (!before.empty()) {
      *number = int32_t(before.number(0, 0));
      if (existed) *existed = true;
      return kOk;
    }
  }
  SqlRows next;
  if (int32_t rc = db_->run("UPDATE databases SET next_number = next_number + 1 WHERE id = $1 RETURNING next_number - 1",
                            {db}, &next))
    return rc;
  if (next.empty()) return kRetry;  // dropped since it was opened
  int64_t n = next.number(0, 0);
  if (n > INT32_MAX) {
    db_->setReason("the database has given out every record number");
    return kStorage;
  }
  int32_t rc = tokens_ ? db_->run("INSERT INTO records(db, number, text, token) VALUES($1, $2, $3, $4)", {db, n, text, token})
                       : db_->run("INSERT INTO records(db, number, text) VALUES($1, $2, $3)", {db, n, text});
  if (rc) return rc;
  for (size_t at = 0; at < entries.size(); at += kTermsPerStatement) {
    size_t count = std::min(kTermsPerStatement, entries.size() - at);
    std::string sql = "INSERT INTO terms(db, number, tag, code, key, word) VALUES";
    std::vector<SqlParam> params{db, n};
    for (size_t i = 0; i < count; ++i) {
      const IndexEntry& e = entries[at + i];
      size_t p = params.size() + 1;
      sql += (i ? ",($1,$2,$" : "($1,$2,$") + std::to_string(p) + ",$" + std::to_string(p + 1) + ",$" +
             std::to_string(p + 2) + ",$" + std::to_string(p + 3) + ")";
      params.insert(params.end(), {e.tag, e.code, e.key, e.word});
    }
    if (int32_t rc = db_->run(sql, params)) return rc;
  }
  if (int32_t rc = t.commit()) return rc;
  *number = int32_t(n);
  return kOk;
}

// Whether the store of `token` is in the database, once the server has settled it.
int32_t Store::landed(std::u16string_view token, int32_t* number) {
  std::string lost = db_->reason();
  SqlRows found;
  if (db_->run("SELECT number FROM records WHERE token = $1", {token}, &found) != kOk) return kInDoubt;
  if (found.empty()) {
    db_->setReason(lost + (lost.empty() ? "" : "; ") + "the server has not stored it");
    return kRetry;
  }
  *number = int32_t(found.number(0, 0));
  return kOk;
}

// One statement for all the conditions: the hits are one moment's, on both backends.
int32_t Store::search(int64_t db, const std::vector<Condition>& conditions, std::vector<int32_t>& hits) {
  hits.clear();
  std::lock_guard lock(mutex_);
  SqlRows still;
  if (int32_t rc = db_->run("SELECT 1 FROM databases WHERE id = $1", {db}, &still)) return rc;
  if (still.empty()) return kRetry;
  std::vector<std::u16string> keys;
  for (const Condition& c : conditions) keys.push_back(matchKey(c.term));
  std::string where;
  std::vector<SqlParam> params{db};
  for (size_t i = 0; i < conditions.size(); ++i) {
    if (keys[i].empty()) continue;
    size_t p = params.size() + 1;
    std::string k = "$" + std::to_string(p + 2);
    // The shared index holds the first characters of each term: they find the rows, the
    // whole text decides.
    std::string match = db_->dialect() == Dialect::SQLite
                            ? "key = " + k + " OR word = " + k
                            : "(left(key, " + std::to_string(kIndexedCharacters) + ") = left(" + k + ", " +
                                  std::to_string(kIndexedCharacters) + ") AND key = " + k + ") OR (left(word, " +
                                  std::to_string(kIndexedCharacters) + ") = left(" + k + ", " +
                                  std::to_string(kIndexedCharacters) + ") AND word = " + k + ")";
    where += (where.empty() ? "(tag = $" : " OR (tag = $") + std::to_string(p) + " AND code = $" +
             std::to_string(p + 1) + " AND (" + match + "))";
    params.insert(params.end(), {conditions[i].tag, conditions[i].code, keys[i]});
  }
  if (where.empty()) return kOk;
  SqlRows rows;
  if (int32_t rc = db_->run("SELECT DISTINCT number FROM terms WHERE db = $1 AND (" + where + ") ORDER BY number",
                            params, &rows))
    return rc;
  for (size_t r = 0; r < rows.size(); ++r) hits.push_back(int32_t(rows.number(r, 0)));
  return kOk;
}

int32_t Store::record(int64_t db, int32_t number, std::u16string& text) {
  std::lock_guard lock(mutex_);
  SqlRows rows;
  if (int32_t rc = db_->run("SELECT text FROM records WHERE db = $1 AND number = $2", {db, int64_t(number)}, &rows))
    return rc;
  if (rows.empty()) return kNoSuchRecord;
  text = rows.text(0, 0);
  return kOk;
}

int32_t Store::recordNumbers(int64_t db, std::vector<int32_t>& numbers) {
  numbers.clear();
  std::lock_guard lock(mutex_);
  SqlRows rows;
  if (int32_t rc = db_->run("SELECT number FROM records WHERE db = $1 ORDER BY number", {db}, &rows)) return rc;
  for (size_t r = 0; r < rows.size(); ++r) numbers.push_back(int32_t(rows.number(r, 0)));
  return kOk;
}

int32_t Store::removeRecord(int64_t db, int32_t number) {
  std::lock_guard lock(mutex_);
  SqlTransaction t(*db_, true);
  if (t.error()) return t.error();
  int64_t changed = 0;
  if (int32_t rc = db_->run("DELETE FROM records WHERE db = $1 AND number = $2", {db, int64_t(number)}, nullptr, &changed))
    return rc;
  if (changed == 0) return kNoSuchRecord;
  if (int32_t rc = db_->run("DELETE FROM terms WHERE db = $1 AND number = $2", {db, int64_t(number)})) return rc;
  return t.commit();
}

int32_t Store::putDocument(int64_t db, std::u16string_view name, std::u16string_view text) {
  if (name.empty()) return kBadHost;
  std::lock_guard lock(mutex_);
  return db_->run(
      "INSERT INTO documents(db, name, text) VALUES($1, $2, $3) ON CONFLICT(db, name) DO UPDATE SET text = excluded.text",
      {db, name, text});
}

int32_t Store::document(int64_t db, std::u16string_view name, std::u16string& text) {
  text.clear();
  std::lock_guard lock(mutex_);
  SqlRows rows;
  int32_t rc = db_->run("SELECT text FROM documents WHERE db = $1 AND name = $2", {db, name}, &rows);
  if (rc == kOk && !rows.empty()) text = rows.text(0, 0);
  return rc;
}

std::string Store::reason() {
  std::lock_guard lock(mutex_);
  return db_->reason();
}

int32_t Store::documentNames(int64_t db, std::vector<std::u16string>& names) {
  names.clear();
  std::lock_guard lock(mutex_);
  SqlRows rows;
  if (int32_t rc = db_->run("SELECT name FROM documents WHERE db = $1", {db}, &rows)) return rc;
  for (size_t r = 0; r < rows.size(); ++r) names.push_back(rows.text(r, 0));
  sortTexts(names, false);
  return kOk;
}

}  // namespace kelvra
