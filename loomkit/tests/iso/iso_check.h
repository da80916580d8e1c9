// Reading an ISO 2709 record back the plain way, to check what the converters write.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace isocheck {

struct Entry {
  std::string tag;
  size_t length = 0;  // the length column
  size_t start = 0;   // the start column
};

template <class Char>
struct Record {
  std::basic_string<Char> leader;
  std::vector<Entry> entries;
  std::vector<std::basic_string<Char>> data;  // each field without its terminator
  size_t lengthColumn = 0, baseColumn = 0, dirEnd = 0;
};

template <class Char>
size_t number(std::basic_string_view<Char> s) {
  size_t v = 0;
  for (Char c : s) {
    if (c < Char('0') || c > Char('9')) return size_t(-1);
    v = v * 10 + size_t(c - Char('0'));
  }
  return v;
}

// Splits a record and checks every column against what it describes: the record length, the
// base address, each field's length and start, the terminators.
template <class Char>
Record<Char> check(std::basic_string_view<Char> rec) {
  Record<Char> r;
  EXPECT_GE(rec.size(), 26u);
  if (rec.size() < 26) return r;
  r.leader = std::basic_string<Char>(rec.substr(0, 24));
  r.lengthColumn = number(rec.substr(0, 5));
  r.baseColumn = number(rec.substr(12, 5));
  EXPECT_EQ(r.lengthColumn, rec.size()) << "record length column";
  EXPECT_LE(rec.size(), 99999u);
  EXPECT_EQ(rec.back(), Char(0x1D));
  r.dirEnd = rec.find(Char(0x1E));
  EXPECT_EQ(r.baseColumn, r.dirEnd + 1) << "base address";
  EXPECT_EQ((r.dirEnd - 24) % 12, 0u);
  size_t n = (r.dirEnd - 24) / 12;
  size_t expectStart = 0;
  for (size_t k = 0; k < n; ++k) {
    auto e = rec.substr(24 + 12 * k, 12);
    Entry en;
    for (size_t i = 0; i < 3; ++i) en.tag.push_back(char(e[i]));
    en.length = number(e.substr(3, 4));
    en.start = number(e.substr(7, 5));
    EXPECT_EQ(en.start, expectStart) << "start of field " << k;
    size_t at = r.baseColumn + en.start;
    EXPECT_LE(at + en.length, rec.size() - 1);
    if (at + en.length > rec.size() - 1 || en.length == 0) break;
    EXPECT_EQ(rec[at + en.length - 1], Char(0x1E)) << "terminator of field " << k;
    auto d = rec.substr(at, en.length - 1);
    EXPECT_EQ(d.find(Char(0x1E)), std::basic_string_view<Char>::npos);
    r.data.emplace_back(d);
    r.entries.push_back(en);
    expectStart += en.length;
  }
  EXPECT_EQ(r.baseColumn + expectStart + 1, rec.size()) << "the data ends right before the record terminator";
  return r;
}

inline Record<char> check(const std::string& rec) { return check<char>(std::string_view(rec)); }
inline Record<char16_t> check(const std::u16string& rec) { return check<char16_t>(std::u16string_view(rec)); }

}  // namespace isocheck
