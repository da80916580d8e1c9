// A ZOOM result set and the records fetched from it.
#pragma once

#include <yaz/zoom.h>

#include <cstdint>
#include <memory>
#include <string>

namespace z3950 {

class Connection;

/// One record as the server sent it (an owned clone), and its conversions.
class Record {
 public:
  /// \brief Takes ownership of `record` (null: an empty record object).
  explicit Record(ZOOM_record record = nullptr) : record_(record) {}
  ~Record();
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  bool empty() const { return record_ == nullptr; }
  /// \brief The record's "render" text; "" without a record.
  std::u16string GetRender() const;
  /// \brief The raw bytes up to their first zero byte in the ANSI code page, EACC segments
  /// converted when auto-conversion is on; "" without a record.
  std::u16string GetRaw() const;
  /// \brief "<OIDs><database>..</database><syntax>..</syntax><oid>..</oid></OIDs>".
  std::u16string GetOIDs() const;
  /// \brief "FFFFFFFF" and the internal record text; "" without a record or raw data.
  std::u16string GetXml() const;
  /// \brief Sets the EACC auto-conversion flag; returns the previous one.
  int32_t AutoCvtEacc(int32_t on);

 private:
  ZOOM_record record_;
  int32_t autoCvtEacc_ = 1;
};

class ResultSet {
 public:
  /// \brief A result set of `connection` (null for a set made on its own) that owns `set`
  /// (null: no result set).
  ResultSet(std::shared_ptr<Connection> connection, ZOOM_resultset set);
  ~ResultSet();
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  /// \brief The hit count; 0 without a result set.
  int32_t GetSize() const;
  /// \brief The full record at `which` (from 0). When none comes back the record object is
  /// empty and the connection's last error is 10010; a record clears it. A record not yet
  /// at hand is fetched with those after it, in one present request.
  std::unique_ptr<Record> GetRecord(int32_t which);
  /// \brief The same in the brief element set.
  std::unique_ptr<Record> BriefRecord(int32_t which);
  /// \brief Drops the ZOOM result set; harmless without one.
  void Delete();

  void adopt(ZOOM_resultset set);

 private:
  std::unique_ptr<Record> fetch(int32_t which, const char* elementSet);
  void fetchAhead(int32_t which, const char* elementSet);

  std::shared_ptr<Connection> connection_;
  ZOOM_resultset set_;
  // Records are fetched ahead in windows that grow while they are read one after another:
  // the position just after the last window, its size, and the element set it was for.
  int32_t aheadEnd_ = -1;
  int32_t aheadWindow_ = 0;
  const char* aheadElementSet_ = nullptr;
};

}  // namespace z3950
