// The library's application object.
#pragma once

/// \brief The folder of the running program (its path cut to 255 units, then before its
/// last '/'), where the editor looks for fldtips.ini, dctips.ini and its help pages.
const char16_t* PenwickHostFolder();
