// Record text (UTF-8 bytes of the fuzzer's input) into a record and out to ISO 2709 in every
// code-page form, then read back. Whatever the first conversion normalises (blanked control
// characters, cut fields, characters a code page lacks), a record written and read back must
// read the same when it is written and read once more, and every text read back must load.
// Appending the record object to a file writes the very bytes of the first conversion.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using u16 = std::u16string;

// The record as the bytes of one form; empty when the writer gives nothing.
std::string write(CMarc& marc, int codePage) {
  CMarcFile file;
  file.SetAttributeEx(codePage, 0, 3);
  std::vector<char16_t> iso(100000);
  if (file.Jinei2Iso(marc, iso.data(), int32_t(iso.size())) <= 0) return {};
  std::vector<char16_t> out(400000);
  int32_t n = file.CvtCharset(iso.data(), out.data(), int32_t(out.size()));
  if (n <= 0) return {};
  size_t bytes = codePage == -1 ? 2 * size_t(n) : size_t(n);
  return std::string(reinterpret_cast<const char*>(out.data()), bytes);
}

// The record appended to a file in one form, as a writer of record objects does it (the byte
// forms go from the tree to bytes at once where they can); the file's bytes.
std::string append(CMarc& marc, int codePage) {
  int fd = memfd_create("record", 0);
  if (fd < 0) std::abort();
  CMarcFile file;
  file.SetAttributeEx(codePage, 0, codePage == -2 ? 3 : 0);  // no byte-order mark
  platform::CFile out(fd, true);
  file.AppendToIso2709(marc, out);
  std::string bytes(size_t(out.GetLength()), '\0');
  if (pread(fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) std::abort();
  return bytes;
}

// The bytes of one record back to record text, as the file reader widens them.
u16 read(const std::string& bytes, int codePage) {
  u16 wide = platform::toWide(codePage == -2 ? 0 : codePage, bytes);
  if (codePage == -2) {
    CMarcFile file;
    file.SetAttributeEx(-2, 0, 0);
    wide.resize(size_t(file.DecodeEaccRuns(wide.data(), int32_t(wide.size()))));
  }
  std::vector<char16_t> text(std::max<size_t>(wide.size() + 1, 128000));
  std::vector<char16_t> scratch(wide.size() + 1);
  std::copy(wide.begin(), wide.end(), text.begin());
  CMarcFile file;
  int32_t n = file.Iso2Jinei(text.data(), scratch.data(), int32_t(wide.size()), int32_t(text.size()));
  return n > 0 ? u16(text.data(), size_t(n)) : u16();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 200000) return 0;
  u16 text = platform::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  CMarc marc;
  marc.SetContent(text.c_str());
  if (marc.IsNull()) return 0;
  for (int codePage : {-1, -2, 0, 65001}) {
    std::string first = write(marc, codePage);
    if (append(marc, codePage) != first) {
      std::fprintf(stderr, "code page %d: appending the record object wrote other bytes\n", codePage);
      std::abort();
    }
    if (first.empty()) continue;
    u16 once = read(first, codePage);
    CMarc again;
    again.SetContent(once.c_str());
    if (again.IsNull()) std::abort();
    u16 twice = read(write(again, codePage), codePage);
    // A read that the 99,999 budget cut gives a shorter record, whose next write says so in the
    // leader's length and base address; everything else must have settled.
    if (once.size() > 41 && twice.size() > 41)
      for (size_t at : {14, 15, 16, 17, 18, 26, 27, 28, 29, 30}) once[at] = twice[at];
    if (once != twice) {
      std::fprintf(stderr, "code page %d:\n once: %s\n twice: %s\n", codePage, platform::toUtf8(once).c_str(),
                   platform::toUtf8(twice).c_str());
      std::abort();
    }
  }
  return 0;
}
