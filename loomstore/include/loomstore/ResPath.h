// CResPath: a resource path, "protocol://server/database/from", split into its parts.
#pragma once

#include <loomstore/export.h>

#include <cstdint>
#include <string>

class LOOMSTORE_API CResPath {
 public:
  /// \brief Splits `path` into up to four parts; a text without "//" (or null) has none.
  /// A protocol left out before "//" (or ":" alone) is "qzap", the record server.
  explicit CResPath(const char16_t* path);
  virtual ~CResPath();

  /// \brief "%s://%s/%s/%s" of the four parts, absent ones empty; 1, or 0 with buf
  /// untouched when it does not fit with its NUL in size characters.
  int GetAll(char16_t* buf, int32_t size);
  /// \brief The protocol; 1, or 0 with buf untouched when it does not fit with its NUL.
  int GetProtocol(char16_t* buf, int32_t size);
  /// \brief The server name, as GetProtocol.
  int GetSvrName(char16_t* buf, int32_t size);
  /// \brief The database name (a record reference keeps its "#" and number here), as GetProtocol.
  int GetDbName(char16_t* buf, int32_t size);
  /// \brief The access point, as GetProtocol.
  int GetFrom(char16_t* buf, int32_t size);
  /// \brief How many parts are present, 0 to 4, the protocol first.
  int32_t GetPartNum();
  /// \brief Empties the last present part; 0 when there is none.
  int CutTail();
  /// \brief Sets the part after the last present one; 0 when all four are present.
  int Append(const char16_t* part);
  /// \brief Replaces one part, the count unchanged: 0/'P'/'p' protocol, 1/'S'/'s' server,
  /// 2/'D'/'d' database, 3/'F'/'f' from; 0 for any other selector.
  int RepPart(int32_t which, const char16_t* text);

 private:
  std::u16string* part(int32_t index);
  int32_t m_nParts = 0;
  std::u16string m_protocol, m_server, m_database, m_from;
};
