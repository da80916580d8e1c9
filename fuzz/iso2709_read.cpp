// Reading ISO 2709 files of any bytes, forwards to the end and then backwards to the start, in
// whatever form the reader detects (UTF-16LE, UTF-8, the ANSI code page, EACC runs). Every
// record text the reader returns must load into a record, and neither walk may go on forever.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(int32_t n, const std::vector<char16_t>& buffer) {
  if (n <= 0) return;
  CMarc marc;
  marc.SetContent(std::u16string(buffer.data(), size_t(n)).c_str());
  if (marc.IsNull()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("iso2709", 0);
  if (fd < 0) return 0;
  if (size && write(fd, data, size) != ssize_t(size)) {
    close(fd);
    return 0;
  }
  lseek(fd, 0, SEEK_SET);
  std::vector<char16_t> buffer(128000);
  CMarcFile file;
  // Each read that returns a record moves on by at least one byte.
  size_t forward = 0, backward = 0;
  for (;;) {
    int32_t n = file.ReadFromIso2709(buffer.data(), int32_t(buffer.size()), fd);
    if (n < 0) break;
    check(n, buffer);
    if (++forward > size + 1) std::abort();
  }
  for (;;) {
    int32_t n = file.ReadPrevRecord(buffer.data(), int32_t(buffer.size()), fd);
    if (n < 0) break;
    check(n, buffer);
    if (++backward > size + 1) std::abort();
  }
  close(fd);
  return 0;
}
