// Documents from and to files. A file is read as bytes and turned into UTF-16 first: a byte
// order mark decides (UTF-8, UTF-16LE, UTF-16BE); without one, UTF-16 shows by its zero bytes
// around "<", and otherwise the encoding named by the XML declaration is used (UTF-8 when
// none). Chinese code pages go through the suite's code-page layer, anything else through ICU.
#include "node_impl.h"

#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>

#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace xml {

namespace {

bool readFile(const std::string& path, std::string& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

std::u16string utf16(std::string_view b, bool bigEndian) {
  std::u16string out(b.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    auto hi = static_cast<unsigned char>(b[2 * i + (bigEndian ? 0 : 1)]);
    auto lo = static_cast<unsigned char>(b[2 * i + (bigEndian ? 1 : 0)]);
    out[i] = char16_t((hi << 8) | lo);
  }
  return out;
}

/// The value of encoding="..." in a leading XML declaration, lower-cased; empty when none.
std::string declaredEncoding(std::string_view b) {
  if (b.substr(0, 5) != "<?xml") return {};
  size_t end = b.find("?>");
  std::string_view decl = b.substr(0, end);
  size_t k = decl.find("encoding");
  if (k == std::string_view::npos) return {};
  k = decl.find_first_of("\"'", k);
  if (k == std::string_view::npos) return {};
  size_t e = decl.find(decl[k], k + 1);
  if (e == std::string_view::npos) return {};
  std::string enc(decl.substr(k + 1, e - k - 1));
  for (char& c : enc)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return enc;
}

bool viaIcu(const std::string& name, std::string_view b, std::u16string& out) {
  if (b.size() > size_t(INT32_MAX) / 2) return false;  // beyond what ICU's lengths can say
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open(name.c_str(), &err);
  if (U_FAILURE(err)) return false;
  out.resize(b.size() * 2 + 2);
  err = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(cnv, out.data(), int32_t(out.size()), b.data(), int32_t(b.size()), &err);
  ucnv_close(cnv);
  if (U_FAILURE(err)) return false;
  out.resize(size_t(n));
  return true;
}

/// The file's bytes as text; false for an encoding that is unknown or contradicts the bytes,
/// and for malformed UTF-8 (as the platform DOM refuses such a file).
bool decode(std::string_view b, std::u16string& out) {
  auto u = [&](size_t i) { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0x100u; };
  if (u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) b.remove_prefix(3);
  else if (u(0) == 0xFF && u(1) == 0xFE) return out = utf16(b.substr(2), false), true;
  else if (u(0) == 0xFE && u(1) == 0xFF) return out = utf16(b.substr(2), true), true;
  else if (u(0) == 0x3C && u(1) == 0x00) return out = utf16(b, false), true;
  else if (u(0) == 0x00 && u(1) == 0x3C) return out = utf16(b, true), true;
  else {
    std::string enc = declaredEncoding(b);
    if (enc == "gb2312" || enc == "gbk" || enc == "cp936" || enc == "windows-936" || enc == "x-gbk") {
      out = platform::toWide(platform::CP_GBK, b);
      return true;
    }
    if (enc == "utf-16" || enc == "unicode" || enc == "ucs-2") return false;  // but 8-bit bytes
    if (!enc.empty() && enc != "utf-8" && enc != "utf8") return viaIcu(enc, b, out);
  }
  if (!platform::isValidUtf8(b)) return false;
  out = platform::fromUtf8(b);
  return true;
}

/// The declaration's data with its encoding made "UTF-8".
std::u16string utf8Declaration(const std::u16string& data) {
  size_t k = data.find(u"encoding");
  if (k == std::u16string::npos) {
    size_t v = data.find(u"version");
    size_t q1 = v == std::u16string::npos ? v : data.find_first_of(u"\"'", v);
    size_t q2 = q1 == std::u16string::npos ? q1 : data.find(data[q1], q1 + 1);
    if (q2 == std::u16string::npos) return u"version=\"1.0\" encoding=\"UTF-8\"";
    return data.substr(0, q2 + 1) + u" encoding=\"UTF-8\"" + data.substr(q2 + 1);
  }
  size_t q1 = data.find_first_of(u"\"'", k);
  size_t q2 = q1 == std::u16string::npos ? q1 : data.find(data[q1], q1 + 1);
  if (q2 == std::u16string::npos) return u"version=\"1.0\" encoding=\"UTF-8\"";
  return data.substr(0, q1 + 1) + u"UTF-8" + data.substr(q2);
}

}  // namespace

bool Document::load(const std::string& path) {
  NodeImpl& d = need();
  return guarded([&] {
    detachChildren(&d);
    std::string bytes;
    std::u16string text;
    if (!readFile(path, bytes) || !decode(bytes, text)) return false;
    return parseInto(&d, text);
  });
}

bool Document::save(const std::string& path) const {
  const NodeImpl& d = need();
  return guarded([&] {
    std::u16string out;
    size_t from = 0;
    const auto& ch = d.children;
    std::u16string decl = u"version=\"1.0\" encoding=\"UTF-8\"";
    if (!ch.empty() && ch[0]->type == NodeType::ProcessingInstruction && ch[0]->name == u"xml") {
      decl = utf8Declaration(ch[0]->value);
      from = 1;
    }
    out = u"<?xml " + decl + u"?>";
    // A document that keeps its layout gets an added declaration on a line of its own.
    if (from == 0 && d.preserveWhiteSpace) out += u'\n';
    for (size_t i = from; i < ch.size(); ++i) writeXml(ch[i].get(), out);
    // Through a temporary file renamed over the target: a full disk or a write error leaves
    // the old file whole instead of cut off in the middle of a tag. A lone surrogate becomes
    // U+FFFD, so that the file is valid UTF-8.
    return platform::replaceFileContents(path, platform::toNarrow(platform::CP_UTF8, out));
  });
}

}  // namespace xml
