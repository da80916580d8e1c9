// Tabulo: keeps the named spreadsheet conversion schemes of Sheetrix.ini (section
// "转换方案", in the host program's folder) in a dialog: list, create, configure, rename
// and delete them.
#pragma once

#include <cstdint>

/// \brief Runs the scheme list dialog with `schemeName` selected; "配置 >>" configures that
/// scheme on the spreadsheet `sampleFile`. 1 when closed by "确定", 2 by "放弃".
__attribute__((visibility("default"))) int32_t ConfigTabulo(const char16_t* schemeName, const char16_t* sampleFile);
