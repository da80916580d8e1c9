// CQzConfig: a named text document of a record-server database, fetched once and cached in
// a temporary file that QzConfig.ini maps to the document's name (in a folder of the user's
// own inside the temporary folder, mode 0700; the files 0600, each written whole or not at
// all); and the per-user rights that a database's "limit" document grants. A cache file is
// read only from such a private folder and only when it is a plain file of the user's own;
// anything else counts as no cache and the document is fetched anew.
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
  /// ("server/database"): 1 allowed, 0 not. Only the server's answer that the database holds
  /// no limit document allows every key; every failure to get the document (no server, a
  /// refused log-in, a cache not written whole or not the user's own, a document that does
  /// not parse) denies.
  int GetLimitation(const char16_t* path, const char16_t* user, const char16_t* password, const char16_t* key);

 private:
  /// The fetch of GetContent; *noDocument tells the server's answer that it holds no such
  /// document from every other failure.
  int32_t Fetch(const char16_t* user, const char16_t* password, bool* noDocument);
  int32_t ReadCache(const std::u16string& file, char16_t* buf, int32_t size);
  std::u16string m_name;
  std::u16string m_mappingFile;
};
