// Rewriting the GOT slots of a loaded shared object.
#pragma once

namespace socks {

/// \brief Points every GOT slot of the loaded object whose file name is `library` (the
/// name after the last '/', e.g. "libyaz.so.5") that is bound to `symbol` (a JUMP_SLOT or
/// GLOB_DAT relocation) at `replacement`; read-only (RELRO) pages are made writable for the
/// write and read-only again after it. How many slots were rewritten (0: none found).
int rewriteGotSlots(const char* library, const char* symbol, void* replacement);

}  // namespace socks
