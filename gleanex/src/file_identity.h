// What the batch run needs to know about file names before it starts: whether an output
// would be the source itself, and which names are spreadsheets.
#pragma once

#include <platform/text.h>

/// Spreadsheet kinds by file name.
enum class SheetName { None, Xls, Xlsx, Ods };

/// \brief The spreadsheet kind a name ends with (".xls", ".xlsx", ".ods" in any letter case,
/// with at least one character before it); None for any other name.
SheetName SheetNameOf(platform::u16v path);

/// \brief Whether two paths name one file: the same device and inode when both exist, else
/// the same path once made absolute and resolved ("./", "..", links). Relative paths are
/// taken from the current folder.
bool SameFile(platform::u16v a, platform::u16v b);

/// \brief Whether an existing file begins as an .xlsx workbook does (a zip package); a
/// missing or empty file counts as one, since the writer makes it anew.
bool HoldsXlsxOrNothing(platform::u16v path);
