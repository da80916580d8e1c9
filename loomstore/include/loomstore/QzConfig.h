// CQzConfig: a named text document of a record-server database, fetched once and cached in
// a temporary file that QzConfig.ini maps to the document's name (in a folder of the user's
// own inside the temporary folder, mode 0700; the files 0600); and the per-user rights
// that a database's "limit" document grants.
#pragma once

#include <loomstore/export.h>

#include <cstdint>
#include <string>

class LOOMSTORE_API CQzConfig {
 public:
  CQzConfig();
  virtual ~CQzConfig();

  /// \brief Names the document "server/database/leaf" from a resource path (its "#" part and
  /// protocol dropped) and a leaf; the name's length.
  int32_t SetProperty(const char16_t* path, const char16_t* leaf);
  /// \brief The document name; its length, or 0 with buf empty when it does not fit.
  int32_t GetName(char16_t* buf, int32_t size);
  /// \brief The cache file QzConfig.ini names for the document (empty when none); its length.
  int32_t GetMappingName(char16_t* buf, int32_t size);
  /// \brief Fetches the document from its server into its cache file; the text's length,
  /// -1 on failure.
  int32_t GetContent(const char16_t* user, const char16_t* password);
  /// \brief The cached text (starting with U+FEFF), fetched when there is no cache yet;
  /// its length, 0 when it does not fit in size, -1 on failure.
  int32_t GetContent(char16_t* buf, int32_t size, const char16_t* user, const char16_t* password);
  /// \brief Whether `user` may use `key` by the "limit" document of database `path`
  /// ("server/database"): 1 allowed, 0 not. A refused log-in denies; a server that cannot
  /// be reached or a database without a limit document allows.
  int GetLimitation(const char16_t* path, const char16_t* user, const char16_t* password, const char16_t* key);

 private:
  /// The fetch of GetContent; *loginRefused tells a refused log-in from other failures.
  int32_t Fetch(const char16_t* user, const char16_t* password, bool* loginRefused);
  int32_t ReadCache(const std::u16string& file, char16_t* buf, int32_t size);
  std::u16string m_name;
  std::u16string m_mappingFile;
};
