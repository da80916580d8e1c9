// Conversions the ISO 2709 tests chain together, through the toolkit's own buffer methods.
#pragma once

#include "iso_check.h"

#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include <platform/codepage.h>
#include <platform/text.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace isotest {

using u16 = std::u16string;

/// Internal record text to UTF-16 ISO 2709; "" when Jinei2Iso gives nothing.
inline u16 isoOf(const u16& text) {
  CMarc m;
  m.SetContent(text.c_str());
  std::vector<char16_t> out(200000);
  CMarcFile f;
  int32_t n = f.Jinei2Iso(m, out.data(), int32_t(out.size()));
  return n > 0 ? u16(out.data(), size_t(n)) : u16();
}

/// UTF-16 ISO 2709 to the bytes of a code page (CvtCharset); for -1 the UTF-16LE bytes.
inline std::string bytesOf(const u16& iso, int codePage, int markerFlag = 0) {
  CMarcFile f;
  f.SetAttributeEx(codePage, 0, markerFlag);
  std::vector<char16_t> out(200000);
  int32_t n = f.CvtCharset(iso.c_str(), out.data(), int32_t(out.size()));
  if (n <= 0) return std::string();
  size_t bytes = codePage == -1 ? 2 * size_t(n) : size_t(n);
  return std::string(reinterpret_cast<const char*>(out.data()), bytes);
}

/// The bytes of one record widened as the file reader does (EACC runs decoded).
inline u16 widen(const std::string& bytes, int codePage, int* markerFlag = nullptr) {
  if (codePage == -1) return platform::toWide(-1, bytes);
  u16 w = platform::toWide(codePage == -2 ? 0 : codePage, bytes);
  if (codePage == -2) {
    CMarcFile f;
    f.SetAttributeEx(-2, 0, 0);
    int32_t n = f.DecodeEaccRuns(w.data(), int32_t(w.size()));
    w.resize(size_t(n));
    int32_t cp, nl, mf;
    f.GetAttributeEx(cp, nl, mf);
    if (markerFlag) *markerFlag = mf;
  }
  return w;
}

/// UTF-16 ISO 2709 back to internal record text.
inline u16 textOf(const u16& iso) {
  std::vector<char16_t> buf(std::max<size_t>(iso.size() + 1, 200000));
  std::vector<char16_t> scratch(iso.size() + 1);
  std::copy(iso.begin(), iso.end(), buf.begin());
  CMarcFile f;
  int32_t n = f.Iso2Jinei(buf.data(), scratch.data(), int32_t(iso.size()), int32_t(buf.size()));
  return u16(buf.data(), size_t(n));
}

/// The record text with the leader's length and base columns replaced by those given.
inline u16 withColumns(u16 text, const u16& iso) {
  size_t h = text.find(u"<header>") + 8;
  text.replace(h, 5, iso.substr(0, 5));
  text.replace(h + 12, 5, iso.substr(12, 5));
  return text;
}

inline std::string u8(const u16& s) { return platform::toUtf8(s); }

}  // namespace isotest
