// The shared backend: a PostgreSQL database that every workstation of a team connects to.
#include "errors.h"
#include "sql.h"

#include <platform/text.h>

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

namespace kelvra {
namespace {

// Conflicts between writers, a server shutting down and a lost connection all clear up by
// connecting again and repeating the call; anything else is a fault of the store.
bool retryable(const char* state) {
  if (!state) return false;
  static const char* const kStates[] = {"40001", "40P01", "55P03", "57P01", "57P02", "57P03"};
  for (const char* s : kStates)
    if (std::strcmp(state, s) == 0) return true;
  return std::strncmp(state, "08", 2) == 0;
}

// The server's notices ("relation ... already exists, skipping") are nobody's business.
void quiet(void*, const char*) {}

class PostgresConnection final : public SqlConnection {
 public:
  explicit PostgresConnection(PGconn* conn) : conn_(conn) { PQsetNoticeProcessor(conn_, quiet, nullptr); }
  ~PostgresConnection() override { PQfinish(conn_); }

  Dialect dialect() const override { return Dialect::PostgreSQL; }

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
    std::vector<const char*> values;
    for (const std::string& t : texts) values.push_back(t.c_str());
    std::string text(sql);
    PGresult* res = PQexecParams(conn_, text.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    int32_t rc = outcome(res);
    if (rc == kOk) {
      if (rows) {
        int n = PQntuples(res), m = PQnfields(res);
        for (int r = 0; r < n; ++r) {
          std::vector<std::optional<std::string>> row;
          for (int c = 0; c < m; ++c) {
            if (PQgetisnull(res, r, c))
              row.emplace_back(std::nullopt);
            else
              row.emplace_back(std::string(PQgetvalue(res, r, c), size_t(PQgetlength(res, r, c))));
          }
          rows->add(std::move(row));
        }
      }
      if (changes) *changes = std::strtoll(PQcmdTuples(res), nullptr, 10);
    }
    PQclear(res);
    return rc;
  }

  int32_t script(std::string_view sql) override {
    if (int32_t rc = ready()) return rc;
    std::string text(sql);
    PGresult* res = PQexec(conn_, text.c_str());
    int32_t rc = outcome(res);
    PQclear(res);
    return rc;
  }

  // Writers serialise on the database's row (its next record number), so the plain
  // isolation level is enough; a search is a single statement and sees one snapshot.
  int32_t begin(bool) override {
    int32_t rc = script("BEGIN");
    inTransaction_ = rc == kOk;
    return rc;
  }

  int32_t commit() override {
    int32_t rc = script("COMMIT");
    inTransaction_ = false;
    return rc;
  }

  void rollback() override {
    if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
    inTransaction_ = false;
  }

 private:
  // A connection lost since the last call is made again before a new piece of work; inside
  // a transaction the work is lost with it and the call fails.
  int32_t ready() {
    if (PQstatus(conn_) == CONNECTION_OK) return kOk;
    if (inTransaction_) return kRetry;
    PQreset(conn_);
    return PQstatus(conn_) == CONNECTION_OK ? int32_t(kOk) : int32_t(kRetry);
  }

  int32_t outcome(PGresult* res) const {
    ExecStatusType status = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
      // COMMIT of a transaction that failed answers ROLLBACK, not an error.
      const char* tag = PQcmdStatus(res);
      return tag && std::strcmp(tag, "ROLLBACK") == 0 ? int32_t(kStorage) : int32_t(kOk);
    }
    if (PQstatus(conn_) != CONNECTION_OK) return kRetry;
    return retryable(res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr) ? int32_t(kRetry) : int32_t(kStorage);
  }

  PGconn* conn_;
  bool inTransaction_ = false;
};

}  // namespace

std::unique_ptr<SqlConnection> openPostgres(const std::string& conninfo, int32_t* error, std::string* detail) {
  // The given string comes last and overrides the defaults before it.
  const char* keys[] = {"connect_timeout", "fallback_application_name", "client_encoding", "dbname", nullptr};
  const char* values[] = {"10", "kelvra", "UTF8", conninfo.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    if (detail) *detail = conn ? PQerrorMessage(conn) : "out of memory";
    while (detail && !detail->empty() && (detail->back() == '\n' || detail->back() == ' ')) detail->pop_back();
    PQfinish(conn);
    *error = kStorage;
    return nullptr;
  }
  *error = kOk;
  return std::make_unique<PostgresConnection>(conn);
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
