#include <platform/codepage.h>
#include <platform/text.h>
#include <platform/words.h>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

// Decoding never stops: every byte sequence the code page does not map becomes one U+FFFD.
void toUReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t, UConverterCallbackReason reason,
                    UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset/close/clone: nothing to write
  static const UChar fffd = 0xFFFD;
  *err = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &fffd, 1, 0, err);
}

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterDeleter>;

UConverter* openConverter(int cp) {
  std::string names[3];
  if (cp == CP_ACP || cp == CP_GBK) {
    names[0] = "windows-936-2000";
  } else if (cp == CP_LATIN1) {
    names[0] = "ISO-8859-1";
  } else if (cp == 20127) {
    names[0] = "US-ASCII";
  } else {
    names[0] = "windows-" + std::to_string(cp);
    names[1] = "cp" + std::to_string(cp);
    names[2] = "ibm-" + std::to_string(cp);
  }
  for (auto& n : names) {
    if (n.empty()) continue;
    UErrorCode err = U_ZERO_ERROR;
    UConverter* c = ucnv_open(n.c_str(), &err);
    if (U_SUCCESS(err) && c) {
      if (err == U_AMBIGUOUS_ALIAS_WARNING || true) {
        UErrorCode e2 = U_ZERO_ERROR;
        ucnv_setToUCallBack(c, toUReplacement, nullptr, nullptr, nullptr, &e2);
        e2 = U_ZERO_ERROR;
        ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &e2);
        e2 = U_ZERO_ERROR;
        ucnv_setSubstChars(c, "?", 1, &e2);
      }
      return c;
    }
    if (c) ucnv_close(c);
  }
  return nullptr;
}

// ICU converters are not thread-safe; each thread keeps its own, opened on first use.
UConverter* converter(int cp) {
  thread_local std::map<int, ConverterPtr> cache;
  if (cp == CP_GBK) cp = CP_ACP;
  auto it = cache.find(cp);
  if (it != cache.end()) return it->second.get();
  UConverter* c = openConverter(cp);
  cache.emplace(cp, ConverterPtr(c));
  return c;
}

// Code page 936 by table. GBK is stateless, so a text converts character by character;
// the tables hold what ICU's own converter gives for each byte pair, single byte and BMP
// character on its own, built once. A text with anything the tables do not settle (a lead
// byte without a mapped trail, an unmapped byte, a surrogate) goes through ICU whole, so
// the result is always ICU's.
class Gbk936 {
 public:
  static const Gbk936& get() {
    static const Gbk936 tables;
    return tables;
  }

  bool decode(std::string_view in, std::u16string& out) const {
    out.resize(in.size());
    char16_t* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    for (size_t i = 0, n = in.size(); i < n;) {
      unsigned b = p[i];
      if (b < 0x80) {
        words::widenAsciiRun(p, i, n, o);
      } else if (single_[b - 0x80]) {
        *o++ = single_[b - 0x80];
        ++i;
      } else {
        if (i + 1 == n) return false;
        char16_t c = pair_[(b << 8) | p[i + 1]];
        if (!c) return false;
        *o++ = c;
        i += 2;
      }
    }
    out.resize(size_t(o - out.data()));
    return true;
  }

  // Appends the bytes of `in` to `out`; false, with `out` as it was, when the table lacks
  // one of its characters.
  bool encode(std::u16string_view in, std::string& out) const {
    const size_t at = out.size();
    out.resize(at + in.size() * 2);
    char* end = encodeInto(in, out.data() + at);
    out.resize(end ? size_t(end - out.data()) : at);
    return end != nullptr;
  }

  // Writes the bytes of `in` at `o` (room for two a unit): the end of what was written, or
  // null when the table lacks one of its characters.
  char* encodeInto(std::u16string_view in, char* o) const {
    for (size_t i = 0, n = in.size(); i < n;) {
      char16_t c = in[i++];
      uint16_t bytes = narrow_[c];
      if (!bytes) return nullptr;
      if (bytes >= 0x100) {
        *o++ = char(bytes >> 8);
        *o++ = char(bytes & 0xFF);
        continue;
      }
      *o++ = char(bytes);
      if (c >= 0x80 || !asciiSame_) continue;
      // After an ASCII character, more ASCII four at a time (U+0000 excepted, which the
      // table does not settle).
      words::narrowAsciiRun<true>(in.data(), i, n, o);
    }
    return o;
  }

 private:
  Gbk936() : pair_(65536, 0), narrow_(65536, 0) {
    UConverter* c = openConverter(CP_ACP);
    if (!c) return;
    auto toU = [&](const char* bytes, int32_t n) {
      UChar buf[8];
      UErrorCode err = U_ZERO_ERROR;
      ucnv_resetToUnicode(c);
      int32_t k = ucnv_toUChars(c, buf, 8, bytes, n, &err);
      return U_SUCCESS(err) ? std::u16string(reinterpret_cast<char16_t*>(buf), size_t(k)) : std::u16string();
    };
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      // A byte of its own: one character alone, and the same before a letter.
      const char one[2] = {char(b), 'A'};
      std::u16string alone = toU(one, 1);
      if (alone.size() == 1 && alone[0] != 0xFFFD && toU(one, 2) == alone + u'A') single_[b - 0x80] = alone[0];
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      if (single_[lead - 0x80]) continue;
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        const char two[2] = {char(lead), char(trail)};
        std::u16string u = toU(two, 2);
        if (u.size() == 1 && u[0] != 0xFFFD && !(u[0] >= 0xD800 && u[0] <= 0xDFFF)) pair_[(lead << 8) | trail] = u[0];
      }
    }
    for (unsigned u = 0; u < 0x10000; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;
      const UChar ch = UChar(u);
      char buf[8];
      UErrorCode err = U_ZERO_ERROR;
      ucnv_resetFromUnicode(c);
      int32_t k = ucnv_fromUChars(c, buf, 8, &ch, 1, &err);
      if (U_FAILURE(err) || k < 1 || k > 2 || (k == 2 && uint8_t(buf[0]) < 0x80)) continue;
      // A zero byte is not in the table's range: U+0000 goes through ICU.
      if (k == 1 && buf[0] != 0) narrow_[u] = uint8_t(buf[0]);
      if (k == 2) narrow_[u] = uint16_t((uint8_t(buf[0]) << 8) | uint8_t(buf[1]));
    }
    ucnv_close(c);
    asciiSame_ = true;
    for (unsigned u = 1; u < 0x80; ++u) asciiSame_ = asciiSame_ && narrow_[u] == u;
  }

  // Whether U+0001-U+007F are their own bytes (they are in every 936 table ICU has).
  bool asciiSame_ = false;
  char16_t single_[128] = {};
  std::vector<char16_t> pair_;
  std::vector<uint16_t> narrow_;
};

bool decode(int cp, std::string_view in, std::u16string& out) {
  out.clear();
  if ((cp == CP_ACP || cp == CP_GBK) && Gbk936::get().decode(in, out)) return true;
  out.clear();
  if (cp == CP_UTF8) {
    out = fromUtf8(in);
    return true;
  }
  if (cp == CP_UTF16LE) {
    out.resize(in.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = char16_t(uint8_t(in[2 * i]) | (uint8_t(in[2 * i + 1]) << 8));
    if (in.size() % 2) out.push_back(u'\uFFFD');
    return true;
  }
  UConverter* c = converter(cp);
  if (!c) return false;
  if (in.empty()) return true;
  ucnv_resetToUnicode(c);
  out.resize(in.size() * 2 + 2);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(c, reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), in.data(), int32_t(in.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(size_t(n) + 1);
    err = U_ZERO_ERROR;
    ucnv_resetToUnicode(c);
    n = ucnv_toUChars(c, reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), in.data(), int32_t(in.size()), &err);
  }
  if (U_FAILURE(err)) return false;
  out.resize(size_t(n));
  return true;
}

bool encode(int cp, std::u16string_view in, std::string& out) {
  out.clear();
  if ((cp == CP_ACP || cp == CP_GBK) && Gbk936::get().encode(in, out)) return true;
  out.clear();
  if (cp == CP_UTF8) {
    // As Windows writes it: a lone surrogate becomes U+FFFD.
    out.resize(in.size() * 3);
    out.resize(size_t(utf8Into(in, out.data(), true) - out.data()));
    return true;
  }
  if (cp == CP_UTF16LE) {
    out.resize(in.size() * 2);
    for (size_t i = 0; i < in.size(); ++i) {
      out[2 * i] = char(in[i] & 0xFF);
      out[2 * i + 1] = char(in[i] >> 8);
    }
    return true;
  }
  UConverter* c = converter(cp);
  if (!c) return false;
  if (in.empty()) return true;
  ucnv_resetFromUnicode(c);
  out.resize(in.size() * 4 + 4);
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(c, out.data(), int32_t(out.size()), reinterpret_cast<const UChar*>(in.data()), int32_t(in.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(size_t(n) + 1);
    err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(c);
    n = ucnv_fromUChars(c, out.data(), int32_t(out.size()), reinterpret_cast<const UChar*>(in.data()), int32_t(in.size()), &err);
  }
  if (U_FAILURE(err)) return false;
  out.resize(size_t(n));
  return true;
}

}  // namespace

char* narrowByTable(int cp, std::u16string_view text, char* out) {
  if (cp == CP_UTF8) return utf8Into(text, out, true);
  return cp == CP_ACP || cp == CP_GBK ? Gbk936::get().encodeInto(text, out) : nullptr;
}

bool isKnownCodePage(int cp) { return cp == CP_UTF8 || cp == CP_UTF16LE || converter(cp) != nullptr; }

int MultiByteToWideChar(int cp, const char* src, int srcLen, char16_t* dst, int dstSize) {
  if (!src || dstSize < 0 || srcLen < -1) return 0;
  size_t n = srcLen == -1 ? std::strlen(src) + 1 : size_t(srcLen);
  if (cp == CP_UTF16LE && srcLen == -1) {
    // A NUL-terminated UTF-16LE text ends at its first 0x0000 unit.
    size_t k = 0;
    while (src[2 * k] || src[2 * k + 1]) ++k;
    n = 2 * (k + 1);
  }
  std::u16string out;
  if (!decode(cp, std::string_view(src, n), out)) return 0;
  if (dstSize == 0) return int(out.size());
  if (!dst || out.size() > size_t(dstSize)) return 0;
  std::memcpy(dst, out.data(), out.size() * sizeof(char16_t));
  return int(out.size());
}

int WideCharToMultiByte(int cp, const char16_t* src, int srcLen, char* dst, int dstSize) {
  if (!src || dstSize < 0 || srcLen < -1) return 0;
  size_t n = srcLen == -1 ? length(src) + 1 : size_t(srcLen);
  std::string out;
  if (!encode(cp, std::u16string_view(src, n), out)) return 0;
  if (dstSize == 0) return int(out.size());
  if (!dst || out.size() > size_t(dstSize)) return 0;
  std::memcpy(dst, out.data(), out.size());
  return int(out.size());
}

std::u16string toWide(int cp, std::string_view bytes) {
  std::u16string out;
  decode(cp, bytes, out);
  return out;
}

std::string toNarrow(int cp, std::u16string_view text) {
  std::string out;
  encode(cp, text, out);
  return out;
}

}  // namespace platform
