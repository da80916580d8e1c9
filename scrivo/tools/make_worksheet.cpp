// Build step: turns the readable worksheet (res/worksheet.txt, UTF-8) into the viewer's INI
// file, the record as internal record text in UTF-16LE without a byte-order mark.
//
// Input: one field per line, the tag, one blank, then the content; "LDR" gives the 24
// characters of the leader. A data field's content is its two indicators and its subfields,
// each "$" and a one-character code; "#" stands for a blank throughout. Lines that are empty
// or begin with "#" are skipped.
//
// Usage: make_worksheet <input> <output>. Exit status 1 with a message on bad input.
#include <xml/escape.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool fail(const std::string& why, int line) {
  std::cerr << "make_worksheet: line " << line << ": " << why << "\n";
  return false;
}

// Blank and the five XML characters as the record text carries them; the leader escapes only
// its blanks.
std::string escape(const std::string& s, bool leader) {
  std::string out;
  for (char c : s) {
    if (c == '#') c = ' ';
    if (leader && c != ' ') out += c;
    else out += char(xml::contentEscape(char16_t(static_cast<unsigned char>(c))));
  }
  return out;
}

// UTF-8 to UTF-16LE bytes; false on a malformed sequence.
bool toUtf16le(const std::string& in, std::string& out) {
  for (size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= in.size()) return false;
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(in[i + size_t(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    i += size_t(extra) + 1;
    auto unit = [&out](char32_t u) {
      out += char(u & 0xFF);
      out += char(u >> 8 & 0xFF);
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return true;
}

size_t utf8Length(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

bool build(std::istream& in, std::string& record) {
  std::string leader, fields, line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.size() < 3 || (line.size() > 3 && line[3] != ' ')) return fail("a tag of three characters and a blank expected", number);
    const std::string tag = line.substr(0, 3);
    const std::string content = line.size() > 4 ? line.substr(4) : std::string();
    if (tag == "LDR") {
      if (utf8Length(content) != 24) return fail("the leader must have 24 characters", number);
      leader = escape(content, true);
    } else if (tag.compare(0, 2, "00") == 0 || tag.compare(0, 2, "-0") == 0) {
      fields += "<field name=\"" + tag + "\">" + escape(content, false) + "</field>";
    } else {
      const size_t first = content.find('$');
      if (first != 2) return fail("a data field needs two indicators before its first subfield", number);
      fields += "<field name=\"" + tag + "\" indicator=\"" + escape(content.substr(0, 2), false) + "\">";
      for (size_t at = first; at != std::string::npos;) {
        const size_t next = content.find('$', at + 1);
        const std::string chunk = content.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        if (chunk.empty()) return fail("a subfield without a code", number);
        fields += "<sf name=\"" + escape(chunk.substr(0, 1), false) + "\">" + escape(chunk.substr(1), false) + "</sf>";
        at = next;
      }
      fields += "</field>";
    }
  }
  if (leader.empty()) return fail("no LDR line", 0);
  record = "<marc><header>" + leader + "</header>" + fields + "</marc>";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_worksheet <input> <output>\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "make_worksheet: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string record, bytes;
  if (!build(in, record)) return 1;
  if (!toUtf16le(record, bytes)) {
    std::cerr << "make_worksheet: the input is not UTF-8\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return out ? 0 : 1;
}
