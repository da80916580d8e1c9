// The toolkit's code tables, embedded in the library. Each table is the bytes of its text
// file followed by two NUL bytes, so that the text is NUL-terminated wherever it is read.
// This file plays the library's resources: embeddedTable finds a table by its resource type
// (CODETABLE, PINYINTABLE) and id, as a resource is found by type and "#id".
#include "../src/codes/cvtcode_internal.h"

#define LOOMKIT_EMBED(sym, file)                                   \
  __asm__(".section .rodata\n"                                     \
          ".balign 16\n"                                           \
          ".globl " #sym "\n"                                      \
          ".hidden " #sym "\n"                                     \
          ".type " #sym ", @object\n" #sym ":\n"                   \
          ".incbin \"" LOOMKIT_RES_DIR "/" file "\"\n"             \
          ".byte 0, 0\n"                                           \
          ".globl " #sym "_end\n"                                  \
          ".hidden " #sym "_end\n" #sym "_end:\n"                  \
          ".size " #sym ", " #sym "_end - " #sym "\n"              \
          ".previous\n")

LOOMKIT_EMBED(loomkit_table_codes, "codes.txt");
LOOMKIT_EMBED(loomkit_table_latin, "latin.txt");
LOOMKIT_EMBED(loomkit_table_pinyin, "pinyin.txt");

extern "C" {
extern const char loomkit_table_codes[], loomkit_table_codes_end[];
extern const char loomkit_table_latin[], loomkit_table_latin_end[];
extern const char loomkit_table_pinyin[], loomkit_table_pinyin_end[];
}

namespace loomkit::codetables {

Embedded embeddedTable(ResourceType type, int32_t id) {
  if (type == CODETABLE && id == 5000)
    return {loomkit_table_codes, size_t(loomkit_table_codes_end - loomkit_table_codes) - 2};
  if (type == CODETABLE && id == 5005)
    return {loomkit_table_latin, size_t(loomkit_table_latin_end - loomkit_table_latin) - 2};
  if (type == PINYINTABLE && id == 5001)
    return {loomkit_table_pinyin, size_t(loomkit_table_pinyin_end - loomkit_table_pinyin) - 2};
  return {nullptr, 0};
}

}  // namespace loomkit::codetables
