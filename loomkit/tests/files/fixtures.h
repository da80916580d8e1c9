// Small ISO 2709 files for the record-file tests: records assembled field by field in a
// chosen byte form, written to a temporary folder, opened as descriptors.
#pragma once

#include <loomkit/Field.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <loomkit/SubField.h>
#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace files_test {

using u16 = std::u16string;

struct Field {
  u16 tag;
  u16 data;  // indicators, then U+001F code text ... (control fields: the text)
};

inline std::string digits(long v, int width) {
  char b[24];
  std::snprintf(b, sizeof b, "%0*ld", width, v);
  return b;
}

// One record with a well-formed leader and directory. `cp` -1 gives UTF-16LE units (lengths
// in characters), any other code page that code page's bytes (lengths in bytes).
inline std::string record(const std::vector<Field>& fields, int cp = 0) {
  const int unit = cp == -1 ? 2 : 1;
  auto encode = [&](const u16& s) {
    if (cp != -1) return platform::toNarrow(cp, s);
    std::string b;
    for (char16_t c : s) {
      b += char(c & 0xFF);
      b += char(c >> 8);
    }
    return b;
  };
  auto ascii = [&](const std::string& s) {
    u16 w(s.begin(), s.end());
    return encode(w);
  };
  std::string directory, data;
  for (const Field& f : fields) {
    std::string d = encode(f.data + u"\x1E");
    directory += ascii(std::string(f.tag.begin(), f.tag.end()) + digits(long(d.size() / unit), 4) +
                       digits(long(data.size() / unit), 5));
    data += d;
  }
  directory += encode(u"\x1E");
  long base = 24 + long(directory.size() / unit);
  long total = base + long(data.size() / unit) + 1;
  std::string leader = ascii(digits(total, 5) + "nam a22" + digits(base, 5) + " a 4500");
  return leader + directory + data + encode(u"\x1D");
}

// A plain record: 001 control number, 245 title in $a.
inline std::string simple(const u16& id, const u16& title, int cp = 0) {
  return record({{u"001", id}, {u"245", u"10\x1F" u"a" + title}}, cp);
}

// A record of exactly `total` bytes (its terminator included), longer than a record length
// can say: a leader claiming 99,999 bytes and one field holding the rest.
inline std::string oversize(size_t total) {
  std::string head = "99999nam a2200037 a 4500" "245999900000\x1E";
  return head + std::string(total - head.size() - 2, 'x') + "\x1E\x1D";
}

// Pseudo-random bytes, the same every run.
inline std::string noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 16);
  }
  return s;
}

// The subfield element a record's title becomes in internal record text.
inline u16 titleElement(const u16& title) { return u"<sf name=\"a\">" + title + u"</sf>"; }

inline std::string utf16(const std::u16string& s) {
  std::string b;
  for (char16_t c : s) {
    b += char(c & 0xFF);
    b += char(c >> 8);
  }
  return b;
}

// Every record of a file, read from offset 0 by one object, until -1.
inline std::vector<u16> readAll(CMarcFile& m, int fd, size_t bufferSize = 128000) {
  std::vector<u16> texts;
  std::vector<char16_t> buf(bufferSize);
  for (int guard = 0; guard < 100; ++guard) {
    int32_t n = m.ReadFromIso2709(buf.data(), int32_t(buf.size()), fd);
    if (n < 0) break;
    texts.emplace_back(buf.data(), size_t(n));
  }
  return texts;
}

// The records before the one last read, nearest first, until -1.
inline std::vector<u16> readBack(CMarcFile& m, int fd) {
  std::vector<u16> texts;
  std::vector<char16_t> buf(128000);
  for (int guard = 0; guard < 100; ++guard) {
    int32_t n = m.ReadPrevRecord(buf.data(), int32_t(buf.size()), fd);
    if (n < 0) break;
    texts.emplace_back(buf.data(), size_t(n));
  }
  return texts;
}

// The decoded text (UTF-8) of subfield `code` of the first field `tag` of a record text, or of
// the control field `tag` when `code` is null (its field terminator left out); "<none>" when
// the record has no such field or subfield.
inline std::string fieldText(const u16& text, const char16_t* tag, const char16_t* code = nullptr) {
  CMarc m;
  m.SetContent(text.c_str());
  if (m.IsNull()) return "<none>";
  CField f = m.GetField(tag, 0);
  if (f.IsNull()) return "<none>";
  std::vector<char16_t> buf(100000);
  if (!code) {
    if (f.GetContent(buf.data(), int32_t(buf.size()), 1) != 1) return "<none>";
    u16 t(buf.data());
    if (!t.empty() && t.back() == u'\x1E') t.pop_back();
    return platform::toUtf8(t);
  }
  CSubField sf = f.GetSubFld(code, 0);
  if (sf.IsNull() || sf.GetContent(buf.data(), int32_t(buf.size()), 1) != 1) return "<none>";
  return platform::toUtf8(buf.data());
}

// yaz-marcdump's ISO 2709 records of a MARCXML text, in a character set ("utf-8", "gbk",
// "marc8"), one string each.
inline std::vector<std::string> yazRecords(const std::string& marcxml, const std::string& charset) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "in.xml", marcxml);
  std::string out;
  EXPECT_EQ(qtest::run("yaz-marcdump -i marcxml -o marc -f utf-8 -t " + charset + " '" + (dir / "in.xml").string() + "'",
                       &out),
            0);
  std::vector<std::string> records;
  for (size_t pos = 0, end; (end = out.find('\x1D', pos)) != std::string::npos; pos = end + 1)
    records.push_back(out.substr(pos, end + 1 - pos));
  return records;
}

// A file in a temporary folder, open for reading and writing at offset 0.
class File {
 public:
  explicit File(const std::string& bytes = {}) {
    path_ = dir_ / "records.mrc";
    qtest::writeFile(path_, bytes);
    fd_ = ::open(path_.c_str(), O_RDWR);
  }
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }
  std::string bytes() const { return qtest::readFile(path_); }
  long position() const { return long(::lseek(fd_, 0, SEEK_CUR)); }

 private:
  qtest::TempDir dir_;
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace files_test
