// A spreadsheet row becomes internal record text: every column with a value is a field of
// its own, in column order, named from the first digit of the column's element name.
#include "row_record.h"

#include <xml/dom.h>

namespace {

constexpr char16_t kEscapeFrom[] = u" &<>\"'";
constexpr char16_t kFirstEscape = 0x11;

int32_t scan(u16v text, int32_t& pos, const u16& start, u16v end) {
  if (pos < 0 || size_t(pos) > text.size()) {
    pos = -1;
    return 0;
  }
  size_t at = text.find(start, size_t(pos));
  if (at == u16v::npos) {
    pos = -1;
    return 0;
  }
  pos = int32_t(at);
  size_t close = text.find(end, at + start.size());
  if (close == u16v::npos) return 0;
  return int32_t(close + end.size() - at);
}

}  // namespace

void CJineiWriter::Header(u16& out) {
  u16 leader = u"00000nam0 2200000   45  ";
  for (char16_t& c : leader)
    if (c == u' ') c = kFirstEscape;
  out += u"<marc><header>" + leader + u"</header>";
}

void CJineiWriter::Field(u16& out, u16v tag, u16v code, u16v text) {
  out += u"<field name=\"";
  out += tag;
  out += u"\" indicator=\"";
  out += kFirstEscape;
  out += kFirstEscape;
  out += u"\"><sf name=\"";
  out += code;
  out += u"\">";
  out += Escape(text);
  out += u"</sf></field>";
}

void CJineiWriter::ControlField(u16& out, u16v tag, u16v text) {
  out += u"<field name=\"";
  out += tag;
  out += u"\">";
  out += text;
  out += u"</field>";
}

u16 CJineiWriter::Escape(u16v text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\t' || text[end - 1] == u'\r' ||
                     text[end - 1] == u'\n' || text[end - 1] == u'\v' || text[end - 1] == u'\f'))
    --end;
  u16 out;
  out.reserve(end);
  for (size_t i = 0; i < end; ++i) {
    const char16_t* hit = std::char_traits<char16_t>::find(kEscapeFrom, 6, text[i]);
    out += hit ? char16_t(kFirstEscape + (hit - kEscapeFrom)) : text[i];
  }
  return out;
}

void CJineiWriter::Close(u16& out) { out += u"</marc>"; }

int32_t CJineiWriter::FindField(u16v text, int32_t& pos, u16v tag) {
  return scan(text, pos, u"<field name=\"" + u16(tag) + u"\"", u"</field>");
}

int32_t CJineiWriter::FindSubField(u16v text, int32_t& pos, u16v code) {
  return scan(text, pos, u"<sf name=\"" + u16(code) + u"\">", u"</sf>");
}

u16 CJineiWriter::SubFieldValue(u16v subfield) {
  size_t start = subfield.find(u"\">");
  if (start == u16v::npos) return {};
  start += 2;
  size_t end = subfield.find(u"</sf>", start);
  if (end == u16v::npos) return {};
  u16 value(subfield.substr(start, end - start));
  for (char16_t& c : value)
    if (c >= kFirstEscape && c < kFirstEscape + 6) c = kEscapeFrom[c - kFirstEscape];
  return value;
}

u16 RowToRecordText(u16v row) {
  xml::Document doc = xml::Document::create();
  u16 out;
  if (!doc.loadXml(row)) return out;
  xml::Node root = doc.documentElement();
  if (!root) return out;
  bool headerWritten = false;
  for (xml::Node child = root.firstChild(); child; child = child.nextSibling()) {
    if (child.type() != xml::NodeType::Element) continue;
    u16 name = child.name();
    u16 text = child.text();
    size_t digit = name.find_first_of(u"0123456789");
    if (text.empty() || digit == u16::npos) continue;
    u16 tagged = name.substr(digit);
    if (!headerWritten) {
      CJineiWriter::Header(out);
      headerWritten = true;
    }
    if (tagged.size() < 4) CJineiWriter::ControlField(out, tagged, text);
    else CJineiWriter::Field(out, tagged.substr(0, 3), tagged.substr(3, 1), text);
  }
  CJineiWriter::Close(out);
  return out;
}
