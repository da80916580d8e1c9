// The store of one record server: accounts, record databases and document databases. A
// local server is one SQLite file, $QORVEL_HOME/kelvra/<server>/kelvra.sqlite; a shared
// server is a PostgreSQL database named in $QORVEL_HOME/kelvra/servers.ini, which every
// workstation of a team names alike. Both behave the same through this class.
#pragma once

#include "query.h"
#include "sql.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

/// One subfield value of a record as the search index keeps it.
struct IndexEntry {
  std::u16string tag, code, key, word;
};

class Store {
 public:
  ~Store() = default;
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  /// \brief The server named `server`; null with *error (kNoSuchServer, kBadHost,
  /// kStorage, kRetry) and the database's own reason in *detail when there is none, its
  /// file does not open or its database is out of reach. A local file that still holds
  /// clear passwords has them replaced by hashes here, and a file or shared database laid
  /// out by an earlier version is brought up to date.
  static std::shared_ptr<Store> open(std::u16string_view server, int32_t* error, std::string* detail = nullptr);
  /// \brief Makes a new local server with the account "public" (empty password); null with
  /// *error when the name is not usable or the server exists already (kBadHost).
  static std::shared_ptr<Store> create(std::u16string_view server, int32_t* error);
  /// \brief Makes `server` a shared server on the PostgreSQL database of `conninfo` (a
  /// libpq connection string or URI) and records it in this workstation's servers.ini.
  /// The first workstation lays out the database and gets the account "public"; the
  /// others join what is there. Null with *error: kBadHost for an unusable or taken name
  /// or a malformed connection, kStorage (with libpq's reason in *detail) when the
  /// database cannot be reached or laid out.
  static std::shared_ptr<Store> createShared(std::u16string_view server, const std::string& conninfo,
                                             int32_t* error, std::string* detail);
  /// \brief Removes a shared server from this workstation's servers.ini (its database
  /// stays); false when no shared server has that name.
  static bool forgetShared(std::u16string_view server);
  /// \brief The connection of a shared server; nothing for a local or unknown one.
  static std::optional<std::string> sharedConnection(std::u16string_view server);
  /// \brief The longest wait, in seconds, for a shared server: its TimeLimit in
  /// servers.ini, 30 when not set.
  static int timeLimit(std::u16string_view server);
  /// \brief The servers of this workstation, local and shared, sorted.
  static std::vector<std::u16string> servers();
  /// \brief A server or database name must be non-empty, at most 128 characters, and hold
  /// no separator the suite's texts use ("/", "\", ";", "+", "#", "?", ":") nor controls.
  static bool usableName(std::u16string_view name);
  /// \brief The kind a database name gives: its extension (from the first ".") is none or ".mrc".
  static bool isRecordDatabaseName(std::u16string_view name);

  /// \brief True when the account exists and the password is its own (its hash matches).
  bool checkLogin(std::u16string_view user, std::u16string_view password, int32_t* error);
  /// \brief Adds an account, or gives an existing one the new password (stored hashed).
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

  /// \brief Stores internal record text (from "<marc>") as a new record, whole or not at
  /// all; *number its number, one past the last number the database gave out. The store
  /// carries a token of its own (`token`, or a new one): when the connection is lost during
  /// the commit, the server is asked afterwards whether that token landed, so the answer
  /// is the record's number or a real failure; kInDoubt only when the server could not be
  /// asked within its time limit. A store under a token that landed before stores nothing
  /// and answers that record's number, with *existed set.
  int32_t addRecord(int64_t db, std::u16string_view text, int32_t* number, std::string_view token = {},
                    bool* existed = nullptr);
  /// \brief A fresh store token (32 hexadecimal digits); empty without a random source.
  static std::string newToken();
  /// \brief The numbers of the records that meet any of the conditions, ascending, as one
  /// moment of the database saw them.
  int32_t search(int64_t db, const std::vector<Condition>& conditions, std::vector<int32_t>& hits);
  int32_t record(int64_t db, int32_t number, std::u16string& text);
  int32_t recordNumbers(int64_t db, std::vector<int32_t>& numbers);
  int32_t removeRecord(int64_t db, int32_t number);

  int32_t putDocument(int64_t db, std::u16string_view name, std::u16string_view text);
  /// \brief The document's text; empty when there is none.
  int32_t document(int64_t db, std::u16string_view name, std::u16string& text);
  int32_t documentNames(int64_t db, std::vector<std::u16string>& names);

  /// \brief The database's own words for the last failed call ("permission denied for
  /// table records"); empty when it gave none.
  std::string reason();
  /// \brief Empty, or why a shared database keeps the layout of an earlier version: the
  /// role connected may not change it. Stores go on; fields longer than about 2,700 bytes
  /// and stores whose commit was lost are handled once its owner has opened it.
  std::string layoutNote() const { return layoutNote_; }
  /// \brief Whether stores carry their token, so that a store whose commit was lost can be
  /// looked up and made again without making it twice (all but an old shared layout).
  bool keepsTokens() const { return tokens_; }

 private:
  explicit Store(std::unique_ptr<SqlConnection> db) : db_(std::move(db)) {}
  static std::shared_ptr<Store> openFile(const std::string& path, bool create, int32_t* error,
                                         std::string* detail = nullptr);
  int32_t layOut();
  int32_t layOutShared(bool create, bool publicAccount);
  int32_t storeOnce(int64_t db, std::u16string_view text, const std::vector<IndexEntry>& entries,
                    std::u16string_view token, bool given, int32_t* number, bool* existed);
  int32_t landed(std::u16string_view token, int32_t* number);
  int32_t hashClearPasswords();
  int32_t putAccountLocked(std::u16string_view user, std::u16string_view password);

  std::unique_ptr<SqlConnection> db_;
  bool tokens_ = true;  // records carry their store's token (all but an old shared layout)
  std::string layoutNote_;
  // One call at a time: a connection is not to be shared by two threads' statements.
  std::mutex mutex_;
};

/// \brief The index entries of internal record text, or nothing when the text is not a
/// record (no "<marc>" ... "</marc>", or XML that does not parse).
std::optional<std::vector<IndexEntry>> indexRecord(std::u16string_view text);

}  // namespace kelvra
