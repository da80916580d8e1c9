// One Z39.50 client connection over YAZ's ZOOM API, with its option set, last error and
// access-point map. The automation class ZoomConn is a thin shell over it.
//
// Failures are numbers, never exceptions: 0 for success, otherwise the ZOOM error code or
// the server's Bib-1 diagnostic, kept as the last error and read back as option "errno".
#pragma once

#include "access_points.h"

#include <yaz/zoom.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace z3950 {

class ResultSet;

/// The implementation name sent in every init request.
inline constexpr char kImplementationName[] = "Corvane Quenlo 1.0";
/// Seconds an operation may take when the option "timeout" names no positive number.
inline constexpr int32_t kDefaultTimeout = 30;
/// Requests that a connect or a search may send: the one asked for, and a few more when a
/// server closes the association and the client connects again. A server that keeps the
/// client sending (one that answers a search with a present response makes YAZ send the
/// search again and again) breaks off the operation.
inline constexpr size_t kRequestsPerOperation = 8;

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  /// \brief A connection object without a connection, its map loaded from `mapPath`
  /// ("zoom.xml" of the current directory by default).
  static std::shared_ptr<Connection> create(const std::string& mapPath = "zoom.xml");
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// \brief Connects to "name" or "name:port" with the settings of [name] in Loomstore.ini;
  /// 0, or the error of the connection. An earlier connection is closed first.
  int32_t Connect(std::u16string_view hostName, std::u16string_view proxy);
  /// \brief A ZOOM option of the option set; "" when not set.
  std::u16string GetOption(std::u16string_view name) const;
  /// \brief "errno" (any letter case): the last error; else the option as a number (0).
  int32_t GetOptionLong(std::u16string_view name) const;
  void SetOption(std::u16string_view name, std::u16string_view value);
  void SetOptionLong(std::u16string_view name, int32_t value);
  /// \brief Searches `query` under an access point of the map (or as a plain term).
  std::shared_ptr<ResultSet> Search(std::u16string_view dbnames, std::u16string_view accessPoint,
                                    std::u16string_view query);
  /// \brief Searches a prefix query; the result set comes back also when the search failed.
  std::shared_ptr<ResultSet> SearchPqf(std::u16string_view pqf);
  /// \brief Drops the connection; harmless without one.
  void Close();

  /// \brief Runs the work queued on the connection (connect, search, present) until it is
  /// done, within the time-out: 0, or what ended it: ZOOM_ERROR_TIMEOUT when the time-out
  /// passed, ZOOM_ERROR_DECODE when the server made the client send more than `maxRequests`
  /// requests. Either drops the connection, whose exchange is then in an unknown state.
  int32_t RunQueued(size_t maxRequests);
  /// \brief Seconds an operation may take: the option "timeout" (ZOOM's own name for it),
  /// set by the caller or from the server's `timeout` key; kDefaultTimeout otherwise.
  int32_t timeoutSeconds() const;

  int32_t lastError() const { return lastError_; }
  void setLastError(int32_t code) { lastError_ = code; }
  bool connected() const { return connection_ != nullptr; }
  /// \brief The error the connection holds (a ZOOM error or the server's diagnostic), 0 without one.
  int32_t connectionError() const;
  int32_t queryCodePage() const { return queryCodePage_; }

 private:
  explicit Connection(const std::string& mapPath);

  ZOOM_options options_;
  ZOOM_connection connection_ = nullptr;
  int32_t lastError_ = 0;
  int32_t queryCodePage_ = 0;
  std::string recordSyntax_;
  AccessPointMap accessPoints_;
};

}  // namespace z3950
