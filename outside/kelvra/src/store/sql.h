// The one SQL connection the store speaks through: an embedded SQLite file or a PostgreSQL
// database server. Statements are written once, with parameters $1, $2 ...; failures come
// back as the server's own codes (errors.h), decided alike on both.
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
  /// *changes when asked for. kOk, kRetry (busy, conflict or connection lost) or kStorage.
  virtual int32_t run(std::string_view sql, const std::vector<SqlParam>& params, SqlRows* rows = nullptr,
                      int64_t* changes = nullptr) = 0;
  /// \brief Runs statements separated by ";" that take no parameters.
  virtual int32_t script(std::string_view sql) = 0;
  /// \brief Starts a transaction; `write` takes the write lock at once where the backend
  /// has one (so that two writers never both read and then wait for each other).
  virtual int32_t begin(bool write) = 0;
  virtual int32_t commit() = 0;
  virtual void rollback() = 0;
};

/// \brief An SQLite file; null with *error set (kNoSuchServer, or kStorage when creating).
/// A file created here is readable and writable by its owner only.
std::unique_ptr<SqlConnection> openSqlite(const std::string& path, bool create, int32_t* error);

/// \brief A PostgreSQL database from a libpq connection string or URI; null with *error
/// (kStorage) and libpq's reason in *detail when it cannot be reached.
std::unique_ptr<SqlConnection> openPostgres(const std::string& conninfo, int32_t* error, std::string* detail);

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
