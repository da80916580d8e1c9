// CSubField: a handle on one `sf` element, shared with the record it came from.
#include <loomkit/MarcFile.h>
#include <loomkit/SubField.h>
#include <platform/codepage.h>
#include <xml/escape.h>

#include <charconv>
#include <cstdlib>
#include <limits>

#include "marc_internal.h"

using namespace loomkit;

namespace {

// The C library's white space, as the numeric readers skip it.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// Ordinal comparison of at most n units (all of them when n < 0), optionally folding A-Z.
int32_t compareUnits(u16v a, u16v b, int32_t n, bool foldCase) {
  if (n >= 0) {
    a = a.substr(0, size_t(n));
    b = b.substr(0, size_t(n));
  }
  size_t len = std::min(a.size(), b.size());
  for (size_t i = 0; i < len; ++i) {
    char16_t x = foldCase ? lowerAscii(a[i]) : a[i];
    char16_t y = foldCase ? lowerAscii(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The stored text in the ANSI code page, cut to what a 20-byte buffer holds with its NUL.
std::string numericBytes(u16v stored) {
  std::string bytes = platform::toNarrow(platform::CP_ACP, stored);
  if (bytes.size() > 19) bytes.resize(19);
  return bytes;
}

}  // namespace

CSubField::CSubField() = default;
CSubField::CSubField(const CSubField& other) = default;
CSubField& CSubField::operator=(const CSubField& other) = default;
CSubField::~CSubField() = default;

void CSubField::Attach(const xml::Node& element, const xml::Document& doc,
                       const std::shared_ptr<RecordState>& recordState) {
  node = element;
  document = doc;
  state = recordState;
  nameCache.clear();
  nameCached = 0;
}

int CSubField::IsNull() { return node.isNull(); }

int CSubField::IsEmpty() { return node.isNull() || node.text().empty(); }

const char16_t* CSubField::GetName() {
  if (!nameCached) {
    // A text node handed out as a subfield has no attribute list at all.
    if (need(node).type() != xml::NodeType::Element) throwPointer();
    nameCache = firstAttributeValue(node);
    nameCached = 1;
  }
  return nameCache.c_str();
}

int CSubField::GetContent(char16_t* buffer, int32_t size, int decode) {
  return copyToBuffer(SubfieldText(decode), buffer, size);
}

void CSubField::Rename(const char16_t* code) {
  if (need(node).type() != xml::NodeType::Element) throwPointer();
  setAttributeIn(document, node, u"name", arg(code));
  nameCache = arg(code);
  nameCached = 1;
  subfieldsChanged(state);
}

void CSubField::SetContent(const char16_t* text) { need(node).setText(arg(text)); }

void CSubField::SetContent(const CSubField& other) {
  need(other.node);
  xml::Node copy = CMarcFile::Shared().CloneNode(other.node);
  node = replaceInParent(node, copy);
  nameCache = other.nameCache;
  nameCached = other.nameCached;
  subfieldsChanged(state);
}

CSubField& CSubField::operator+=(const char16_t* text) {
  u16 joined = need(node).text();
  joined += arg(text);
  node.setText(joined);
  return *this;
}

int CSubField::operator==(const CSubField& other) const { return sameXml(node, other.node); }

int32_t CSubField::Compare(const char16_t* s, int32_t n) {
  return compareUnits(SubfieldText(1), arg(s), n, false);
}

int32_t CSubField::ICompare(const char16_t* s, int32_t n) {
  return compareUnits(SubfieldText(1), arg(s), n, true);
}

int32_t CSubField::GetLvalue() {
  std::string bytes = numericBytes(need(node).text());
  size_t i = 0;
  while (i < bytes.size() && isCSpace(bytes[i])) ++i;
  bool negative = false;
  if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
  int64_t value = 0;
  // Out-of-range values stop at the limits of a 32-bit long.
  for (; i < bytes.size() && isDigit(bytes[i]); ++i) {
    value = value * 10 + (bytes[i] - '0');
    if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return int32_t(value);
}

double CSubField::GetFvalue() {
  std::string bytes = platform::toNarrow(platform::CP_ACP, need(node).text());
  size_t i = 0;
  while (i < bytes.size() && isCSpace(bytes[i])) ++i;
  bool negative = false;
  if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
  // Only digits, one decimal point and an exponent: no "inf", "nan" or hexadecimal forms.
  size_t start = i, digits = 0;
  while (i < bytes.size() && isDigit(bytes[i])) ++i, ++digits;
  if (i < bytes.size() && bytes[i] == '.') {
    ++i;
    while (i < bytes.size() && isDigit(bytes[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  size_t end = i;
  if (i < bytes.size() && (bytes[i] == 'e' || bytes[i] == 'E')) {
    size_t j = i + 1;
    if (j < bytes.size() && (bytes[j] == '+' || bytes[j] == '-')) ++j;
    if (j < bytes.size() && isDigit(bytes[j])) {
      while (j < bytes.size() && isDigit(bytes[j])) ++j;
      end = j;
    }
  }
  double value = 0;
  std::from_chars(bytes.data() + start, bytes.data() + end, value);
  return negative ? -value : value;
}

std::u16string CSubField::SubfieldText(int decode) {
  u16 text = need(node).text();
  return decode ? xml::unescapeContent(text) : text;
}

std::u16string CSubField::SubfieldIsoText(int decode) {
  u16 iso(1, u'\x1F');
  iso += GetName();
  iso += need(node).text();
  return decode ? xml::unescapeContent(iso) : iso;
}
