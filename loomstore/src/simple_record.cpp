// CSimpleRecord: brief lists chosen by a filter document, and worksheets.
#include <loomstore/SimpleRecord.h>

#include <platform/text.h>

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <functional>
#include <vector>

using platform::u16;
using platform::u16v;

namespace {

// Five items: title, author, publisher, class and ISBN, each from UNIMARC then MARC 21.
constexpr const char16_t* kDefaultFilter =
    u"<list><item name=\"title\"><element name=\"200$a\"/><element name=\"245$a\"/></item>"
    u"<item name=\"author\"><element name=\"200$f\"/><element name=\"245$c\"/></item>"
    u"<item name=\"publisher\"><element name=\"210$c\"/><element name=\"260$c\"/></item>"
    u"<item name=\"class\"><element name=\"690$a\"/><element name=\"050$a\"/></item>"
    u"<item name=\"isbn\"><element name=\"010$a\"/><element name=\"020$a\"/></item></list>";

constexpr size_t kListItems = 8;
// The buffers the values are read into: a value that does not fit reads as empty.
constexpr int32_t kValueSize = 2048;
constexpr int32_t kIndicatorSize = 8;
constexpr int32_t kWorksheetPartSize = 10240;
constexpr u16v kContinuation = u"\r\n     ";

// Runs a getter that copies into a buffer of `size` units; empty when it copied nothing.
u16 readInto(int32_t size, const std::function<int(char16_t*, int32_t)>& get) {
  std::vector<char16_t> buf(size_t(size), 0);
  if (!get(buf.data(), size)) return u16();
  return u16(buf.data());
}

// Copies the result when it is shorter than the buffer; otherwise empties the buffer.
int32_t deliver(const u16& text, char16_t* buf, int32_t size, int32_t answer) {
  if (!buf || size <= 0) return 0;
  if (text.size() < size_t(size)) {
    platform::copyOut(text, buf, size);
    return answer;
  }
  buf[0] = 0;
  return 0;
}

int32_t emptied(char16_t* buf, int32_t size) {
  if (buf && size > 0) buf[0] = 0;
  return 0;
}

bool isBreak(char16_t c) { return c == u' ' || c == u'@'; }

// Wraps one field's text: a line is cut where its width reaches the limit, at a blank or
// "@" among the five characters before that point, else among the five from it, else right
// there; the cut character starts the next line, which is indented by five spaces.
u16 wrap(u16v text, const std::function<int64_t(u16v)>& width, int64_t limit) {
  u16 out;
  size_t c = 0;
  bool first = true;
  const size_t n = text.size();
  for (size_t i = 1; i <= n; ++i) {
    if (i <= c || width(text.substr(c, i - c)) < limit) continue;
    size_t cut = i;
    bool found = false;
    // Never at the line's own start: that would give an empty line.
    for (size_t back = 1; back <= 5 && back < i - c && !found; ++back)
      if (isBreak(text[i - back])) cut = i - back, found = true;
    for (size_t k = i; k < n && k < i + 5 && !found; ++k)
      if (isBreak(text[k])) cut = k, found = true;
    if (!first) out += kContinuation;
    out += text.substr(c, cut - c);
    first = false;
    c = cut;
  }
  // A cut at the very end leaves nothing for another line.
  if (!first && c < n) out += kContinuation;
  out += text.substr(c);
  out += u"\r\n";
  return out;
}

u16 attribute(const xml::Node& node, u16v name) { return node.getAttribute(name).value_or(u16()); }

}  // namespace

CSimpleRecord::CSimpleRecord() : m_filter(xml::Document::create()) {}

CSimpleRecord::CSimpleRecord(const char16_t* filter) : CSimpleRecord() {
  if (filter) m_filter.loadXml(filter);
}

CSimpleRecord::~CSimpleRecord() = default;

int32_t CSimpleRecord::SetFilter(const char16_t* filter) {
  if (filter) {
    u16v text(filter);
    if (text.size() >= 7 && platform::equalsNoCase(text.substr(0, 7), u"file://"))
      m_filter.load(platform::toUtf8(text.substr(7)));
    else
      m_filter.loadXml(text);
    if (m_filter.documentElement()) return 1;
  }
  m_filter.loadXml(kDefaultFilter);
  return m_filter.documentElement() ? 1 : 0;
}

int32_t CSimpleRecord::SetRecord(const char16_t* record) {
  m_marc.SetContent(record ? record : u"");
  m_fieldCount = m_marc.GetFieldCount();
  return m_fieldCount;
}

u16 CSimpleRecord::nodeValue(const xml::Node& node) {
  if (node.type() != xml::NodeType::Element || node.attributeCount() == 0) return u16();
  if (platform::equalsNoCase(node.name(), u"separator")) return attribute(node, u"value");
  u16 key = attribute(node, u"value");
  if (key.empty()) key = attribute(node, u"name");
  if (key.size() <= 2) return u16();

  size_t dollar = key.find(u'$');
  u16 tag = key.substr(0, dollar);
  CField field = m_marc.GetField(tag.c_str(), 0);
  if (field.IsEmpty()) return u16();

  u16 wanted = attribute(node, u"indicator");
  if (wanted.size() >= 2) {
    u16 have = readInto(kIndicatorSize, [&](char16_t* b, int32_t s) { return field.GetIndicator(b, s, 1); });
    if (have.size() < 2 && wanted != u"**") return u16();
    for (size_t k = 0; k < 2; ++k)
      if (wanted[k] != u'*' && (k >= have.size() || wanted[k] != have[k])) return u16();
  }

  if (dollar == u16::npos)
    return readInto(kValueSize, [&](char16_t* b, int32_t s) { return field.GetContent(b, s, 1); });
  u16 code = key.substr(dollar + 1);
  CSubField sub = field.GetSubFld(code.c_str(), 0);
  if (sub.IsEmpty()) return u16();
  return readInto(kValueSize, [&](char16_t* b, int32_t s) { return sub.GetContent(b, s, 1); });
}

int32_t CSimpleRecord::GetList(char16_t* buf, int32_t size) {
  xml::Node root = m_filter.documentElement();
  if (!root || m_fieldCount < 1) return emptied(buf, size);
  u16 list;
  const size_t items = std::min(root.childCount(), kListItems);
  for (size_t i = 0; i < items; ++i) {
    xml::Node item = root.child(i);
    if (item.childCount() > 0) {
      for (const xml::Node& part : item.children()) list += nodeValue(part);
    } else {
      list += nodeValue(item);
    }
    list += u'\t';
  }
  return deliver(list, buf, size, int32_t(list.size()));
}

u16 CSimpleRecord::fieldText(CField& field) {
  u16v name = field.GetName();
  if (name.substr(0, 2) == u"00" || name.substr(0, 2) == u"-0") {
    u16 text = readInto(kWorksheetPartSize, [&](char16_t* b, int32_t s) { return field.GetContent(b, s, 1); });
    std::erase(text, char16_t(0x1E));
    return text;
  }
  u16 text = readInto(kWorksheetPartSize, [&](char16_t* b, int32_t s) { return field.GetIndicator(b, s, 1); });
  const int32_t count = field.GetSGCount();
  for (int32_t i = 0; i < count; ++i) {
    CSubField sub = field.GetSubFld(i);
    if (sub.IsNull()) continue;
    text += u'@';
    text += sub.GetName();
    text += readInto(kWorksheetPartSize, [&](char16_t* b, int32_t s) { return sub.GetContent(b, s, 1); });
  }
  return text;
}

int32_t CSimpleRecord::GetWorkSheet(char16_t* buf, int32_t size, QPainter* dc, int32_t width) {
  if (m_fieldCount <= 0 || !dc) return emptied(buf, size);
  const QFontMetrics metrics = dc->fontMetrics();
  const int64_t limit = int64_t(metrics.horizontalAdvance(QStringLiteral("m"))) * width;
  auto measure = [&](u16v s) {
    return int64_t(metrics.horizontalAdvance(QString(reinterpret_cast<const QChar*>(s.data()), qsizetype(s.size()))));
  };

  u16 sheet;
  for (int32_t i = 0; i < m_fieldCount; ++i) {
    CField field = m_marc.GetField(i);
    if (field.IsNull()) continue;
    if (i > 0) sheet += field.GetName();
    sheet += wrap(fieldText(field), measure, limit);
  }
  sheet += u"***\r\n";
  return deliver(sheet, buf, size, m_fieldCount);
}
