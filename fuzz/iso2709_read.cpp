// Reading ISO 2709 files of any bytes, forwards to the end and then backwards to the start, in
// whatever form the reader detects (UTF-16LE, UTF-8, the ANSI code page, EACC runs). Every
// record text the reader returns must load into a record, and neither walk may go on forever.
// Beside it the same file is read straight into one record object, as the programs read: each
// step must return the same length, leave the file at the same place and give the same record.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::u16string content(CMarc& marc) {
  static std::vector<char16_t> out(256000);
  return marc.GetContent(out.data(), int32_t(out.size())) ? std::u16string(out.data()) : std::u16string(u"<none>");
}

// One step of both readers; false at the end.
bool step(bool backwards, CMarcFile& textReader, int textFd, CMarcFile& directReader, platform::CFile& direct,
          CMarc& record, std::vector<char16_t>& buffer) {
  int32_t n = backwards ? textReader.ReadPrevRecord(buffer.data(), int32_t(buffer.size()), textFd)
                        : textReader.ReadFromIso2709(buffer.data(), int32_t(buffer.size()), textFd);
  int32_t m = backwards ? directReader.ReadPrevRecord(record, direct) : directReader.ReadFromIso2709(record, direct);
  if (m != n) std::abort();
  if (lseek(textFd, 0, SEEK_CUR) != direct.GetPosition()) std::abort();
  if (n < 0) return false;
  if (n == 0) return true;  // a record that cannot be handed out is passed over
  CMarc viaText;
  viaText.SetContent(std::u16string(buffer.data(), size_t(n)).c_str());
  if (viaText.IsNull()) std::abort();
  if (content(viaText) != content(record)) std::abort();
  return true;
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
  // A second description of the same file, with a position of its own.
  int fd2 = open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY);
  if (fd2 < 0) {
    close(fd);
    return 0;
  }
  std::vector<char16_t> buffer(128000);
  CMarcFile textReader, directReader;
  platform::CFile direct(fd2);
  CMarc record;  // one record object throughout, as a reader loops with it
  // Each read that returns a record moves on by at least one byte.
  size_t forward = 0, backward = 0;
  while (step(false, textReader, fd, directReader, direct, record, buffer))
    if (++forward > size + 1) std::abort();
  while (step(true, textReader, fd, directReader, direct, record, buffer))
    if (++backward > size + 1) std::abort();
  close(fd2);
  close(fd);
  return 0;
}
