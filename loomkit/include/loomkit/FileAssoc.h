// CFileAssoc: associates a file extension with a program in the registry, removes the
// association and tells whether it holds. It keeps nothing between calls.
#pragma once

#include <loomkit/export.h>

class LOOMKIT_API CFileAssoc {
 public:
  CFileAssoc();
  virtual ~CFileAssoc();

  /// \brief Points HKEY_CLASSES_ROOT\ext at fileType, gives fileType the open command
  /// "\"exePath\" \"%1\"", removes the user's own program choice for ext and tells the shell.
  /// Steps that cannot be done are skipped silently; a program path that CanAssociateProgram
  /// refuses changes nothing at all.
  void CreateTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath);
  /// \brief Removes HKEY_CLASSES_ROOT\ext with its subkeys when it names fileType; otherwise
  /// removes the user's program choice for ext when it names exePath. fileType stays.
  void DeleteTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath);
  /// \brief 1 when files of ext open with exePath (by the user's choice, or by fileType and
  /// its open command), else 0.
  int QueryTypeAssociation(const char16_t* ext, const char16_t* fileType, const char16_t* exePath);

 private:
  int CommandMatches(const char16_t* fileType, const char16_t* exePath);
};

/// \brief 1 when exePath can be made the program of an association, 0 when it is empty or holds
/// a control character that a desktop entry cannot carry (any but tab, line feed and carriage
/// return, which are escaped): the caller tells the user, CreateTypeAssociation does nothing.
LOOMKIT_API int CanAssociateProgram(const char16_t* exePath);
