#include "got_rewrite.h"

#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace socks {
namespace {

#if defined(__x86_64__)
constexpr uint32_t kJumpSlot = R_X86_64_JUMP_SLOT;
constexpr uint32_t kGlobDat = R_X86_64_GLOB_DAT;
#elif defined(__aarch64__)
constexpr uint32_t kJumpSlot = R_AARCH64_JUMP_SLOT;
constexpr uint32_t kGlobDat = R_AARCH64_GLOB_DAT;
#elif defined(__i386__)
constexpr uint32_t kJumpSlot = R_386_JMP_SLOT;
constexpr uint32_t kGlobDat = R_386_GLOB_DAT;
#else
#error "GOT rewriting: unknown relocation types for this architecture"
#endif

#if __ELF_NATIVE_CLASS == 64
using Rela = Elf64_Rela;
using Rel = Elf64_Rel;
inline uint32_t relType(uint64_t info) { return ELF64_R_TYPE(info); }
inline uint32_t relSym(uint64_t info) { return ELF64_R_SYM(info); }
#else
using Rela = Elf32_Rela;
using Rel = Elf32_Rel;
inline uint32_t relType(uint32_t info) { return ELF32_R_TYPE(info); }
inline uint32_t relSym(uint32_t info) { return ELF32_R_SYM(info); }
#endif

struct Search {
  const char* library;
  const char* symbol;
  void* replacement;
  int rewritten = 0;
};

const char* baseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// The loader relocates most pointers of the dynamic section in place; some architectures
// keep them as offsets from the load address.
uintptr_t dynamicPointer(ElfW(Addr) value, ElfW(Addr) base) {
  return value < base ? value + base : value;
}

// Writes one slot. The slot may lie in the RELRO part (made read-only after relocation,
// as with BIND_NOW) or in ordinary writable data; only RELRO pages are restored.
bool writeSlot(void** slot, void* value, const dl_phdr_info* info) {
  uintptr_t at = reinterpret_cast<uintptr_t>(slot);
  bool inRelro = false;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_GNU_RELRO) continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    if (at >= start && at + sizeof(void*) <= start + ph.p_memsz) inRelro = true;
  }
  uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t first = at & ~(page - 1);
  size_t length = ((at + sizeof(void*) + page - 1) & ~(page - 1)) - first;
  if (inRelro && mprotect(reinterpret_cast<void*>(first), length, PROT_READ | PROT_WRITE) != 0) return false;
  __atomic_store_n(slot, value, __ATOMIC_SEQ_CST);
  if (inRelro) mprotect(reinterpret_cast<void*>(first), length, PROT_READ);
  return true;
}

template <typename R>
void rewriteTable(const R* table, size_t bytes, const ElfW(Sym)* symbols, const char* strings,
                  const dl_phdr_info* info, Search& s) {
  for (size_t i = 0; i < bytes / sizeof(R); ++i) {
    uint32_t type = relType(table[i].r_info);
    if (type != kJumpSlot && type != kGlobDat) continue;
    const ElfW(Sym)& sym = symbols[relSym(table[i].r_info)];
    if (std::strcmp(strings + sym.st_name, s.symbol) != 0) continue;
    auto** slot = reinterpret_cast<void**>(info->dlpi_addr + table[i].r_offset);
    if (writeSlot(slot, s.replacement, info)) ++s.rewritten;
  }
}

int visit(dl_phdr_info* info, size_t, void* data) {
  auto& s = *static_cast<Search*>(data);
  if (!info->dlpi_name || std::strcmp(baseName(info->dlpi_name), s.library) != 0) return 0;
  const ElfW(Dyn)* dynamic = nullptr;
  for (int i = 0; i < info->dlpi_phnum; ++i)
    if (info->dlpi_phdr[i].p_type == PT_DYNAMIC)
      dynamic = reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
  if (!dynamic) return 1;

  ElfW(Addr) base = info->dlpi_addr;
  const ElfW(Sym)* symbols = nullptr;
  const char* strings = nullptr;
  uintptr_t jmprel = 0, rela = 0, rel = 0;
  size_t jmprelSize = 0, relaSize = 0, relSize = 0;
  bool jmprelIsRela = true;
  for (const ElfW(Dyn)* d = dynamic; d->d_tag != DT_NULL; ++d) {
    switch (d->d_tag) {
      case DT_SYMTAB: symbols = reinterpret_cast<const ElfW(Sym)*>(dynamicPointer(d->d_un.d_ptr, base)); break;
      case DT_STRTAB: strings = reinterpret_cast<const char*>(dynamicPointer(d->d_un.d_ptr, base)); break;
      case DT_JMPREL: jmprel = dynamicPointer(d->d_un.d_ptr, base); break;
      case DT_PLTRELSZ: jmprelSize = d->d_un.d_val; break;
      case DT_PLTREL: jmprelIsRela = d->d_un.d_val == DT_RELA; break;
      case DT_RELA: rela = dynamicPointer(d->d_un.d_ptr, base); break;
      case DT_RELASZ: relaSize = d->d_un.d_val; break;
      case DT_REL: rel = dynamicPointer(d->d_un.d_ptr, base); break;
      case DT_RELSZ: relSize = d->d_un.d_val; break;
      default: break;
    }
  }
  if (!symbols || !strings) return 1;
  if (jmprel) {
    if (jmprelIsRela)
      rewriteTable(reinterpret_cast<const Rela*>(jmprel), jmprelSize, symbols, strings, info, s);
    else
      rewriteTable(reinterpret_cast<const Rel*>(jmprel), jmprelSize, symbols, strings, info, s);
  }
  if (rela) rewriteTable(reinterpret_cast<const Rela*>(rela), relaSize, symbols, strings, info, s);
  if (rel) rewriteTable(reinterpret_cast<const Rel*>(rel), relSize, symbols, strings, info, s);
  return 1;
}

}  // namespace

int rewriteGotSlots(const char* library, const char* symbol, void* replacement) {
  Search s{library, symbol, replacement};
  dl_iterate_phdr(visit, &s);
  return s.rewritten;
}

}  // namespace socks
