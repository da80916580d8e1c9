// Small helpers for the record-model tests: read texts out of records and handles.
#pragma once

#include <gtest/gtest.h>
#include <loomkit/loomkit.h>
#include <platform/comerror.h>
#include <platform/text.h>

#include <functional>
#include <string>
#include <vector>

namespace model_test {

using u16 = std::u16string;

inline std::string u8(const u16& s) { return platform::toUtf8(s); }

inline u16 content(CMarc& m) {
  std::vector<char16_t> buf(400000);
  if (!m.GetContent(buf.data(), int32_t(buf.size()))) return u"<none>";
  return u16(buf.data());
}

// Field helpers take the handle by reference: a copy of a grouped handle flattens the field
// when it goes.
inline u16 content(CField& f, int decode = 0) {
  std::vector<char16_t> buf(200000);
  if (!f.GetContent(buf.data(), int32_t(buf.size()), decode)) return u"<none>";
  return u16(buf.data());
}

inline u16 content(CField&& f, int decode = 0) { return content(f, decode); }

inline u16 content(CSubField s, int decode = 0) {
  std::vector<char16_t> buf(200000);
  if (!s.GetContent(buf.data(), int32_t(buf.size()), decode)) return u"<none>";
  return u16(buf.data());
}

inline u16 indicator(CField& f, int decode = 0) {
  char16_t buf[64];
  if (!f.GetIndicator(buf, 64, decode)) return u"<none>";
  return buf;
}

inline u16 indicator(CField&& f, int decode = 0) { return indicator(f, decode); }

/// \brief The codes of a field's children as one text ("bac"); a group shows as "(...)".
inline u16 codes(const xml::Node& element) {
  u16 out;
  for (const xml::Node& c : element.children()) {
    if (c.type() != xml::NodeType::Element) {
      out += u"#";
    } else if (c.name() == u"group") {
      out += u"(" + codes(c) + u")";
    } else {
      out += c.attributeCount() ? c.attributeAt(0).value() : u"?";
    }
  }
  return out;
}

/// \brief The children codes of a data field, read back from its XML text.
inline u16 codes(CField& f) {
  xml::Document doc = xml::Document::create();
  if (!doc.loadXml(content(f))) return u"<unparsed>";
  return codes(doc.documentElement());
}
inline u16 codes(CField&& f) { return codes(f); }

/// \brief The record's field names in order, header first ("000 001 200").
inline u16 tags(CMarc& m) {
  u16 out;
  for (int32_t i = 0; i < m.GetFieldCount(); ++i) {
    if (i) out += u" ";
    out += m.GetField(i).GetName();
  }
  return out;
}

/// \brief Runs `f` and returns the HRESULT it threw, or 0 when it threw nothing.
template <class F>
platform::HRESULT thrown(F&& f) {
  try {
    f();
  } catch (const platform::ComError& e) {
    return e.Error();
  }
  return 0;
}

/// A leader of 24 characters as stored: blanks as U+0011.
inline const char16_t* kLeader = u"00714cam\u0011\u00112200205\u0011\u0011\u0011450\u0011";

inline u16 header() { return u16(u"<header>") + kLeader + u"</header>"; }

/// \brief "<marc>", the header, the given fields, "</marc>".
inline u16 record(const u16& fields) { return u"<marc>" + header() + fields + u"</marc>"; }

/// \brief A data field element with the subfields given as code/text pairs.
inline u16 dataField(const u16& tag, const u16& ind, std::initializer_list<std::pair<u16, u16>> subfields) {
  u16 out = u"<field name=\"" + tag + u"\"";
  if (!ind.empty()) out += u" indicator=\"" + ind + u"\"";
  out += u">";
  for (const auto& [code, text] : subfields) out += u"<sf name=\"" + code + u"\">" + text + u"</sf>";
  return out + u"</field>";
}

inline u16 controlField(const u16& tag, const u16& text) {
  return u"<field name=\"" + tag + u"\">" + text + u"</field>";
}

}  // namespace model_test
