// The files of one record server: accounts, record databases and document databases in
// one SQLite file, $QORVEL_HOME/kelvra/<server>/kelvra.sqlite.
#pragma once

#include "query.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace kelvra {

/// One database of a server. A name without extension or ending in ".mrc" is a record
/// database; any other extension makes a document database.
struct DatabaseInfo {
  int64_t id = 0;
  std::u16string name;
  bool records = true;
};

/// One stored record: its number in its database and its internal record text.
struct StoredRecord {
  int32_t number = 0;
  std::u16string text;
};

class Store {
 public:
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  /// \brief The server named `server`; null with *error (kNoSuchServer, kBadHost,
  /// kStorage) when there is none or its file does not open.
  static std::shared_ptr<Store> open(std::u16string_view server, int32_t* error);
  /// \brief Makes a new server with the account "public" (empty password); null with
  /// *error when the name is not usable or the server exists already (kBadHost).
  static std::shared_ptr<Store> create(std::u16string_view server, int32_t* error);
  /// \brief The servers under $QORVEL_HOME/kelvra, sorted.
  static std::vector<std::u16string> servers();
  /// \brief A server or database name must be non-empty, at most 128 characters, and hold
  /// no separator the suite's texts use ("/", "\", ";", "+", "#", "?", ":") nor controls.
  static bool usableName(std::u16string_view name);
  /// \brief The kind a database name gives: its extension (from the first ".") is none or ".mrc".
  static bool isRecordDatabaseName(std::u16string_view name);

  /// \brief True when the account exists and the password is its own (exact comparison).
  bool checkLogin(std::u16string_view user, std::u16string_view password, int32_t* error);
  /// \brief Adds an account, or gives an existing one the new password.
  int32_t putAccount(std::u16string_view user, std::u16string_view password);
  int32_t removeAccount(std::u16string_view user);
  std::vector<std::u16string> accounts();

  std::vector<DatabaseInfo> databases(int32_t* error);
  /// \brief The database whose name, or name up to its first ".", is `name` (A-Z case ignored).
  std::optional<DatabaseInfo> findDatabase(std::u16string_view name, int32_t* error);
  /// \brief Makes a database; kBadHost for an unusable name or one taken already.
  int32_t createDatabase(std::u16string_view name);
  /// \brief Drops a database with its records and documents.
  int32_t dropDatabase(int64_t id);

  /// \brief Stores internal record text (from "<marc>") as a new record; *number its number.
  int32_t addRecord(int64_t db, std::u16string_view text, int32_t* number);
  /// \brief The numbers of the records that meet any of the conditions, ascending.
  int32_t search(int64_t db, const std::vector<Condition>& conditions, std::vector<int32_t>& hits);
  int32_t record(int64_t db, int32_t number, std::u16string& text);
  int32_t recordNumbers(int64_t db, std::vector<int32_t>& numbers);
  int32_t removeRecord(int64_t db, int32_t number);

  int32_t putDocument(int64_t db, std::u16string_view name, std::u16string_view text);
  /// \brief The document's text; empty when there is none.
  int32_t document(int64_t db, std::u16string_view name, std::u16string& text);
  int32_t documentNames(int64_t db, std::vector<std::u16string>& names);

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  static std::shared_ptr<Store> openFile(const std::string& path, bool create, int32_t* error);
  sqlite3* db_;
};

/// One subfield value of a record as the search index keeps it.
struct IndexEntry {
  std::u16string tag, code, key, word;
};

/// \brief The index entries of internal record text, or nothing when the text is not a
/// record (no "<marc>" ... "</marc>", or XML that does not parse).
std::optional<std::vector<IndexEntry>> indexRecord(std::u16string_view text);

}  // namespace kelvra
