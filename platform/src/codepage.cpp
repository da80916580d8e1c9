#include <platform/codepage.h>
#include <platform/text.h>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

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

bool decode(int cp, std::string_view in, std::u16string& out) {
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
  if (cp == CP_UTF8) {
    out = toUtf8(in);
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
