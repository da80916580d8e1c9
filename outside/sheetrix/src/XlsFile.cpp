// CXlsFile: opening, reading, writing and saving a spreadsheet file.
#include "XlsFile.h"

#include "SchemeDlg.h"

#include <platform/text.h>
#include <ui/modal.h>
#include <ui/translations.h>
#include <xml/dom.h>
#include <xml/escape.h>

#include <QApplication>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sys/stat.h>

namespace sheetrix {
namespace {

bool endsWithNoCase(const std::string& s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         platform::equalsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

bool isTextName(const std::string& path) {
  return endsWithNoCase(path, ".csv") || endsWithNoCase(path, ".tsv") || endsWithNoCase(path, ".txt");
}

bool readWhole(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Reads any file the component knows, by its first bytes.
bool readBook(const std::string& path, Workbook& book) {
  std::string bytes;
  if (!readWhole(path, bytes)) return false;
  if (bytes.starts_with("PK\x03\x04")) {
    // An OpenDocument package names its type in its first, stored member "mimetype".
    bool ods = bytes.size() > 38 + 46 && bytes.compare(30, 8, "mimetype") == 0 &&
               bytes.compare(38, 46, "application/vnd.oasis.opendocument.spreadsheet") == 0;
    return readOrcus(path, ods ? FileKind::Ods : FileKind::Xlsx, book);
  }
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return readXls(path, book);
  char delimiter = endsWithNoCase(path, ".tsv") ? '\t' : endsWithNoCase(path, ".csv") ? ',' : 0;
  return readDelimited(bytes, delimiter, book);
}

void appendEscaped(std::u16string& out, std::u16string_view text) {
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'\t': out += u"&#9;"; break;
      case u'\n': out += u"&#10;"; break;
      case u'\r': out += u"&#13;"; break;
      default:
        // Other control characters have no place in XML; U+0011-U+0016 are the record
        // text's own escapes, which the suite's XML layer carries raw.
        if (c < 0x20 && !xml::isContentEscape(c)) break;
        out += c;
    }
  }
}

// A file that is there but cannot be read (damaged, encrypted, not readable, a folder) is
// refused with -1, which every caller takes as "stop without a message of its own": so the
// user learns here why nothing happens. Without a running Qt application nobody is told.
int32_t refuse(const std::string& path) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()))
    ui::messageBox(QApplication::activeWindow(),
                   QStringLiteral("无法读取表格文件“%1”，它可能已经损坏、加密，或者没有读取权限!")
                       .arg(QString::fromStdString(path)),
                   QStringLiteral("Sheetrix"), ui::Icon::Warning);
  return -1;
}

}  // namespace

std::u16string rowXml(const Row& row, size_t width, const Scheme& scheme) {
  std::u16string out = u"<row>";
  for (size_t c = 0; c < width; ++c) {
    auto mapped = scheme.columns.find(int(c));
    std::u16string name = platform::fromUtf8(mapped != scheme.columns.end() ? "F" + mapped->second.label()
                                                                            : columnName(int(c)));
    std::u16string text = c < row.size() ? platform::fromUtf8(row[c].text) : std::u16string();
    if (text.empty()) {
      out += u"<" + name + u"/>";
      continue;
    }
    out += u"<" + name + u">";
    appendEscaped(out, text);
    out += u"</" + name + u">";
  }
  return out + u"</row>";
}

CXlsFile::~CXlsFile() { Close(); }

void CXlsFile::indexRows() {
  rows_.clear();
  width_ = 0;
  const auto& all = book_.sheets.front().rows;
  for (size_t r = 0; r < all.size(); ++r) noteRow(r);
}

void CXlsFile::noteRow(size_t r) {
  const Row& row = book_.sheets.front().rows[r];
  if (isBlankRow(row)) return;
  rows_.push_back(r);
  width_ = std::max(width_, row.size());
}

std::vector<std::string> CXlsFile::firstRowTexts() const {
  std::vector<std::string> texts;
  if (rows_.empty()) return texts;
  for (const Cell& c : book_.sheets.front().rows[rows_.front()]) texts.push_back(c.text);
  return texts;
}

int32_t CXlsFile::Open(const std::u16string& path) {
  Close();
  std::string p = platform::toUtf8(path);
  if (p.empty()) return -1;
  struct stat st;
  if (stat(p.c_str(), &st) != 0) {
    if (errno != ENOENT) return refuse(p);
    // A new file: nothing to read, rows written are saved at Close.
    book_ = Workbook();
    book_.kind = isTextName(p) ? FileKind::Delimited : FileKind::Xlsx;
    if (endsWithNoCase(p, ".tsv")) book_.text.delimiter = '\t';
    book_.sheets.assign(1, Sheet{"Sheet1", {}});
  } else {
    Workbook book;
    if (!S_ISREG(st.st_mode) || !readBook(p, book)) return refuse(p);
    if (book.sheets.empty()) book.sheets.assign(1, Sheet{"Sheet1", {}});
    book_ = std::move(book);
  }
  path_ = std::move(p);
  open_ = true;
  dirty_ = false;
  next_ = 0;
  indexRows();
  return int32_t(std::min<size_t>(rows_.size(), INT32_MAX));
}

int32_t CXlsFile::Close() {
  bool ok = true;
  if (open_ && dirty_)
    ok = book_.kind == FileKind::Delimited ? writeDelimited(path_, book_) : writeXlsx(path_, book_);
  open_ = dirty_ = false;
  path_.clear();
  book_ = Workbook();
  rows_.clear();
  width_ = 0;
  next_ = 0;
  return ok ? 1 : 0;
}

int32_t CXlsFile::Configure() {
  // The dialog needs a running Qt application; a program without one keeps its scheme.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return 0;
  std::vector<Row> sample;
  for (size_t i = 0; open_ && i < rows_.size() && i < 2; ++i) sample.push_back(book_.sheets.front().rows[rows_[i]]);
  ui::loadQtTranslations();
  CXlsSchemeDlg dlg(scheme_, sample, QApplication::activeWindow());
  if (dlg.exec() != ui::IDOK) return 0;
  scheme_ = dlg.scheme();
  return 1;
}

int32_t CXlsFile::WriteRow(const std::u16string& text) {
  if (!open_) return 0;
  xml::Document doc = xml::Document::create();
  if (!doc.loadXml(text)) return 0;
  xml::Node root = doc.documentElement();
  if (!root) return 0;
  Row row;
  for (xml::Node n = root.firstChild(); n; n = n.nextSibling())
    if (n.type() == xml::NodeType::Element) row.push_back(Cell{platform::toUtf8(n.text())});
  Sheet& sheet = book_.sheets.front();
  // A new sheet read back with the same scheme needs its caption row: the fields' labels.
  if (scheme_.header && rows_.empty()) {
    Row captions;
    for (const auto& [col, target] : scheme_.columns) {
      if (captions.size() <= size_t(col)) captions.resize(size_t(col) + 1);
      captions[col].text = target.label();
    }
    sheet.rows.push_back(std::move(captions));
    noteRow(sheet.rows.size() - 1);
  }
  while (!sheet.rows.empty() && isBlankRow(sheet.rows.back())) sheet.rows.pop_back();
  sheet.rows.push_back(std::move(row));
  noteRow(sheet.rows.size() - 1);
  dirty_ = true;
  return 1;
}

std::u16string CXlsFile::ReadRow() {
  if (!open_) return u"";
  size_t at = next_ + (scheme_.header ? 1 : 0);
  if (at >= rows_.size()) return u"";
  ++next_;
  return rowXml(book_.sheets.front().rows[rows_[at]], width_, scheme_);
}

int32_t CXlsFile::HasHeaderRow() { return scheme_.header ? 1 : 0; }

int32_t CXlsFile::SetScheme(const std::u16string& text) {
  std::string t = platform::toUtf8(text);
  bool blank = t.find_first_not_of(" \t") == std::string::npos;
  scheme_ = blank ? Scheme::guess(firstRowTexts()) : Scheme::parse(t);
  return 1;
}

std::u16string CXlsFile::GetScheme() { return platform::fromUtf8(scheme_.text()); }

}  // namespace sheetrix
