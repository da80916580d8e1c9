// A ZOOM result set and the records fetched from it.
#pragma once

#include <yaz/zoom.h>

#include <cstdint>
#include <memory>
#include <string>

namespace z3950 {

class Connection;

/// One record as the server sent it, and its conversions. The record stays where ZOOM keeps
/// it, in its result set's record cache, and the object keeps that set: a copy of a large
/// record would double what it costs (ZOOM's copy encodes and decodes it, for a while
/// three times as much), and the record must outlive its result set and connection.
class Record {
 public:
  /// \brief An empty record object.
  Record() = default;
  /// \brief `record` of the result set that `keeper` holds; a record that cannot be made into
  /// record text sets the last error of `owner`, while it lasts.
  Record(ZOOM_record record, std::shared_ptr<void> keeper, std::weak_ptr<Connection> owner)
      : record_(record), keeper_(std::move(keeper)), owner_(std::move(owner)) {}
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
  /// \brief "FFFFFFFF" and the internal record text; "" without a record or raw data, and ""
  /// with the last error 10003 (decoding failed) when the raw bytes are no ISO 2709 record.
  std::u16string GetXml() const;
  /// \brief Sets the EACC auto-conversion flag; returns the previous one.
  int32_t AutoCvtEacc(int32_t on);

 private:
  ZOOM_record record_ = nullptr;
  std::shared_ptr<void> keeper_;
  std::weak_ptr<Connection> owner_;
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
  /// empty and the connection's last error says why: 10007 (time-out), 10004 (connection
  /// lost), the server's diagnostic, or 10010 (no record); a record clears it, unless it is
  /// a diagnostic record (its code) or its bytes are no ISO 2709 record (10003). A record not
  /// yet at hand is fetched with those after it, in one present request.
  std::unique_ptr<Record> GetRecord(int32_t which);
  /// \brief The same in the brief element set.
  std::unique_ptr<Record> BriefRecord(int32_t which);
  /// \brief Drops the ZOOM result set; harmless without one.
  void Delete();

  void adopt(ZOOM_resultset set);

 private:
  std::unique_ptr<Record> fetch(int32_t which, const char* elementSet);
  // Asks for the window from `which` on and waits for it: 0, or the failure of RunQueued.
  int32_t fetchAhead(int32_t which, const char* elementSet);

  std::shared_ptr<Connection> connection_;
  ZOOM_resultset set_ = nullptr;
  std::shared_ptr<void> keeper_;  // destroys set_ once neither this object nor a record needs it
  // Records are fetched ahead in windows that grow while they are read one after another:
  // the position just after the last window, its size, and the element set it was for.
  int32_t aheadEnd_ = -1;
  int32_t aheadWindow_ = 0;
  const char* aheadElementSet_ = nullptr;
};

}  // namespace z3950
