// The one SQL connection the store speaks through: an embedded SQLite file or a PostgreSQL
// database server. Statements are written once, with parameters $1, $2 ...; failures come
// back as the server's own codes (errors.h), decided alike on both, with the database's own
// words for them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelvra {

enum class Dialect { SQLite, PostgreSQL };

/// One parameter: a number or a text (UTF-16, sent as UTF-8).
using SqlParam = std::variant<int64_t, std::u16string_view>;

/// The rows a query answered, every value as text (NULL as nothing).
class SqlRows {
 public:
  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  std::u16string text(size_t row, size_t col) const;
  int64_t number(size_t row, size_t col) const;
  void add(std::vector<std::optional<std::string>> row) { rows_.push_back(std::move(row)); }
  void clear() { rows_.clear(); }

 private:
  std::vector<std::vector<std::optional<std::string>>> rows_;
};

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  virtual Dialect dialect() const = 0;
  /// \brief Runs one statement; its rows into *rows and the count of rows it changed into
  /// *changes when asked for. kOk, kRetry (busy, conflict, connection lost or no answer
  /// within the time limit) or kStorage.
  virtual int32_t run(std::string_view sql, const std::vector<SqlParam>& params, SqlRows* rows = nullptr,
                      int64_t* changes = nullptr) = 0;
  /// \brief Runs statements separated by ";" that take no parameters.
  virtual int32_t script(std::string_view sql) = 0;
  /// \brief Starts a transaction; `write` takes the write lock at once where the backend
  /// has one (so that two writers never both read and then wait for each other). A shared
  /// connection found lost here is made again first: nothing of the transaction is lost.
  virtual int32_t begin(bool write) = 0;
  /// \brief kOk; kRetry or kStorage when nothing was committed; kInDoubt when the
  /// connection was lost after the COMMIT went out, so that it may have been committed.
  virtual int32_t commit() = 0;
  virtual void rollback() = 0;
  /// \brief After kInDoubt: connects again and waits, within the time limit, until the
  /// server has ended the lost session, so that its transaction is committed or rolled
  /// back for good and a query can tell which. kOk, or kInDoubt when that cannot be had.
  virtual int32_t settle() { return 0; }
  /// \brief The longest wait for an answer, in seconds: 0 waits as long as the server
  /// works (for the one-off layout change of an old database), a negative value goes back
  /// to the server's time limit.
  virtual void setTimeLimit(int seconds) { (void)seconds; }

  /// \brief The database's own words for the last failure ("permission denied for table
  /// records", "database or disk is full"); empty after a success.
  const std::string& reason() const { return reason_; }
  void setReason(std::string reason) { reason_ = std::move(reason); }
  /// \brief The last failure broke a unique constraint (a name or token taken already).
  bool duplicate() const { return duplicate_; }

 protected:
  void succeeded() {
    reason_.clear();
    duplicate_ = false;
  }
  void failed(std::string reason, bool duplicate = false) {
    reason_ = std::move(reason);
    duplicate_ = duplicate;
  }

 private:
  std::string reason_;
  bool duplicate_ = false;
};

/// \brief An SQLite file; null with *error set (kNoSuchServer, or kStorage when creating).
/// A file created here is readable and writable by its owner only.
std::unique_ptr<SqlConnection> openSqlite(const std::string& path, bool create, int32_t* error);

/// \brief A PostgreSQL database from a libpq connection string or URI, every wait on it
/// (connecting, each statement, a silent network) bounded by `timeLimit` seconds. Null with
/// *error and libpq's reason in *detail when it cannot be reached: kRetry when the server
/// does not answer or is starting or stopping, kStorage when it answers and refuses (a
/// password, a role, a database).
std::unique_ptr<SqlConnection> openPostgres(const std::string& conninfo, int timeLimit, int32_t* error,
                                            std::string* detail);

/// \brief libpq's complaint about a connection string or URI; empty when it is well formed.
std::string checkConninfo(const std::string& conninfo);

/// All-or-nothing changes: rolled back unless committed.
class SqlTransaction {
 public:
  SqlTransaction(SqlConnection& db, bool write) : db_(db), rc_(db.begin(write)) {}
  ~SqlTransaction() {
    if (rc_ == 0 && !done_) db_.rollback();
  }
  SqlTransaction(const SqlTransaction&) = delete;
  SqlTransaction& operator=(const SqlTransaction&) = delete;
  int32_t error() const { return rc_; }
  int32_t commit() {
    if (rc_ != 0) return rc_;
    done_ = true;
    return db_.commit();
  }

 private:
  SqlConnection& db_;
  int32_t rc_;
  bool done_ = false;
};

}  // namespace kelvra
