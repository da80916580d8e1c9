// gleanex-make-sample FOLDER: writes the files of Gleanex's sample harvest into FOLDER.
//
//   catalogue.mrc   the catalogue of the sample record server: 36 CNMARC records of our own
//                   making (UTF-8 ISO 2709), which make_sample.sh imports into Kelvra
//   isbns.xlsx      the source: 15 rows of ISBN, title and author; 10 ISBNs are in the
//                   catalogue (written in four forms), one names a two-volume set, three are
//                   not there and one row has no ISBN at all
//   Gleanex.ini     the settings: the server list names the sample server, the hits go to
//                   hits.mrc (UTF-8), the unmatched rows to misses.xlsx, both in FOLDER
//   Sheetrix.ini    the scheme that maps the spreadsheet's columns to 010 $a, 200 $a, 701 $a
//   home/windows/Loomstore.ini   the sample's own server list (QORVEL_HOME is FOLDER/home)
//
// The server's databases are left to kelvra-admin (make_sample.sh).
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>

#include <xlsxwriter.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using platform::u16;

struct Book {
  const char* publisher;  // the publisher's part of the ISBN
  int item;               // the title's number at that publisher
  const char* title;
  const char* author;
  const char* press;
};

// Invented books; 多卷书著录 has two volumes under one ISBN, as sets often have.
const Book kBooks[] = {
    {"02", 110001, "编目工作入门", "林青", "青文出版社"},
    {"02", 110002, "中文图书著录规则讲解", "王书远", "青文出版社"},
    {"02", 110003, "主题标引方法", "陈墨", "青文出版社"},
    {"02", 110004, "分类号给定实务", "赵文澜", "青文出版社"},
    {"02", 110005, "书目数据质量控制", "周静", "青文出版社"},
    {"02", 110006, "联合编目操作指南", "吴一帆", "青文出版社"},
    {"02", 110007, "期刊管理基础", "郑晓岚", "青文出版社"},
    {"02", 110008, "古籍整理概说", "孙志和", "青文出版社"},
    {"02", 110009, "数字资源描述", "林青", "青文出版社"},
    {"02", 110010, "规范控制浅谈", "王书远", "青文出版社"},
    {"02", 110011, "馆藏发展策略", "陈墨", "青文出版社"},
    {"02", 110012, "读者服务手册", "赵文澜", "青文出版社"},
    {"301", 21001, "图书采访工作", "周静", "北辰大学出版社"},
    {"301", 21002, "文献检索练习", "吴一帆", "北辰大学出版社"},
    {"301", 21003, "元数据基础", "郑晓岚", "北辰大学出版社"},
    {"301", 21004, "图书馆自动化概论", "孙志和", "北辰大学出版社"},
    {"301", 21005, "条码与馆藏登记", "林青", "北辰大学出版社"},
    {"301", 21006, "书目格式比较", "王书远", "北辰大学出版社"},
    {"301", 21007, "索书号排架规则", "陈墨", "北辰大学出版社"},
    {"301", 21008, "藏书清点方法", "赵文澜", "北辰大学出版社"},
    {"301", 21009, "中文拼音排序", "周静", "北辰大学出版社"},
    {"301", 21010, "题名与责任说明", "吴一帆", "北辰大学出版社"},
    {"301", 21011, "出版发行项著录", "郑晓岚", "北辰大学出版社"},
    {"301", 21012, "载体形态项著录", "孙志和", "北辰大学出版社"},
    {"5053", 3101, "丛编项著录", "林青", "远山电子出版社"},
    {"5053", 3102, "附注项写法", "王书远", "远山电子出版社"},
    {"5053", 3103, "标准编号与获得方式", "陈墨", "远山电子出版社"},
    {"5053", 3104, "提要与文摘", "赵文澜", "远山电子出版社"},
    {"5053", 3105, "多卷书著录（上册）", "周静", "远山电子出版社"},
    {"5053", 3105, "多卷书著录（下册）", "周静", "远山电子出版社"},
    {"5053", 3106, "连续出版物著录", "吴一帆", "远山电子出版社"},
    {"5053", 3107, "地图资料著录", "郑晓岚", "远山电子出版社"},
    {"5053", 3108, "音像资料著录", "孙志和", "远山电子出版社"},
    {"5053", 3109, "电子资源著录", "林青", "远山电子出版社"},
    {"5053", 3110, "少儿图书分编", "王书远", "远山电子出版社"},
    {"5053", 3111, "地方文献收集", "陈墨", "远山电子出版社"},
};

/// The ISBN-10 of a book, hyphenated as the server's hyphen rule writes it ("7-02-110001-X").
std::string isbn10(const char* publisher, int item) {
  std::string pub = publisher;
  std::string number = std::to_string(item);
  number.insert(0, 8 - pub.size() - number.size(), '0');
  std::string digits = "7" + pub + number;
  int sum = 0;
  for (int i = 0; i < 9; ++i) sum += (10 - i) * (digits[i] - '0');
  int r = sum % 11;
  char check = r == 0 ? '0' : r == 1 ? 'X' : char('0' + 11 - r);
  return "7-" + pub + "-" + number + "-" + check;
}

std::string plain(std::string isbn) {
  std::erase(isbn, '-');
  return isbn;
}

/// The ISBN-13 of an ISBN-10 (EAN prefix 978, new check digit), hyphenated or not.
std::string isbn13(const std::string& ten, bool hyphens) {
  std::string digits = "978" + plain(ten).substr(0, 9);
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += (i % 2 ? 3 : 1) * (digits[i] - '0');
  char check = char('0' + (10 - sum % 10) % 10);
  if (!hyphens) return digits + check;
  return "978-" + ten.substr(0, ten.size() - 1) + check;
}

/// Record content in internal record text: blanks and markup characters as 0x11-0x16.
u16 escaped(const std::string& text) {
  u16 out;
  for (char16_t c : platform::fromUtf8(text)) {
    switch (c) {
      case u' ': out += char16_t(0x11); break;
      case u'&': out += char16_t(0x12); break;
      case u'<': out += char16_t(0x13); break;
      case u'>': out += char16_t(0x14); break;
      case u'"': out += char16_t(0x15); break;
      case u'\'': out += char16_t(0x16); break;
      default: out += c;
    }
  }
  return out;
}

u16 controlField(const char* tag, const std::string& data) {
  return u"<field name=\"" + platform::fromUtf8(tag) + u"\">" + escaped(data) + u"</field>";
}

u16 dataField(const char* tag, const char* indicators, const std::vector<std::pair<char, std::string>>& subfields) {
  u16 f = u"<field name=\"" + platform::fromUtf8(tag) + u"\" indicator=\"" + escaped(indicators) + u"\">";
  for (const auto& [code, value] : subfields)
    f += u"<sf name=\"" + u16(1, char16_t(code)) + u"\">" + escaped(value) + u"</sf>";
  return f + u"</field>";
}

u16 cnmarc(size_t n, const Book& b) {
  char id[16];
  std::snprintf(id, sizeof id, "QS%06zu", n + 1);
  u16 r = u"<marc><header>" + escaped("00000nam0 2200000   450 ") + u"</header>";
  r += controlField("001", id);
  r += controlField("005", "20260101120000.0");
  r += dataField("010", "  ", {{'a', isbn10(b.publisher, b.item)}, {'d', "CNY" + std::to_string(20 + n % 40) + ".00"}});
  r += dataField("100", "  ", {{'a', "20260101d2025    em y0chiy50      ea"}});
  r += dataField("101", "0 ", {{'a', "chi"}});
  r += dataField("102", "  ", {{'a', "CN"}, {'b', "110000"}});
  r += dataField("200", "1 ", {{'a', b.title}, {'f', std::string(b.author) + "著"}});
  r += dataField("210", "  ", {{'a', "北京"}, {'c', b.press}, {'d', "2025"}});
  r += dataField("215", "  ", {{'a', std::to_string(120 + 7 * n) + "页"}, {'d', "21cm"}});
  r += dataField("690", "  ", {{'a', "G254"}, {'v', "5"}});
  r += dataField("701", " 0", {{'a', b.author}, {'4', "著"}});
  r += dataField("801", " 0", {{'a', "CN"}, {'b', "QORVEL"}, {'c', "20260101"}});
  return r + u"</marc>";
}

bool writeCatalogue(const std::string& path) {
  platform::CFile out;
  if (!out.Open(path, platform::CFile::modeReadWrite | platform::CFile::modeCreate)) return false;
  CMarcFile writer;
  writer.SetAttributeEx(65001, 0, 0);
  for (size_t n = 0; n < std::size(kBooks); ++n) {
    CMarc marc;
    marc.SetContent(cnmarc(n, kBooks[n]).c_str());
    if (writer.AppendToIso2709(marc, out) <= 0) return false;
  }
  return true;
}

/// The source rows: ISBN (in the form a cataloguer might have typed it), title, author.
std::vector<std::vector<std::string>> sourceRows() {
  auto isbnOf = [](size_t i) { return isbn10(kBooks[i].publisher, kBooks[i].item); };
  std::vector<std::vector<std::string>> rows = {{"ISBN", "题名", "责任者"}};
  // Ten books of the catalogue, the ISBN written four ways.
  const size_t found[] = {0, 3, 7, 12, 14, 19, 23, 25, 31, 34};
  for (size_t k = 0; k < std::size(found); ++k) {
    const std::string ten = isbnOf(found[k]);
    const std::string forms[] = {ten, plain(ten), isbn13(ten, false), isbn13(ten, true)};
    rows.push_back({forms[k % 4], kBooks[found[k]].title, kBooks[found[k]].author});
  }
  // The two-volume set: two records answer.
  rows.push_back({plain(isbnOf(28)), "多卷书著录", kBooks[28].author});
  // Not in the catalogue, and a row without an ISBN.
  rows.push_back({isbn10("02", 119901), "编目员手记", "许宁"});
  rows.push_back({isbn13(isbn10("301", 29901), false), "数据迁移笔记", "高原"});
  rows.push_back({isbn10("5053", 3999), "馆员培训教程", "何苗"});
  rows.push_back({"", "无书号的内部资料", "资料室"});
  return rows;
}

bool writeSource(const std::string& path) {
  lxw_workbook* wb = workbook_new(path.c_str());
  if (!wb) return false;
  lxw_worksheet* ws = workbook_add_worksheet(wb, "待套录");
  const auto rows = sourceRows();
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      if (!rows[r][c].empty()) worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), rows[r][c].c_str(), nullptr);
  worksheet_set_column(ws, 0, 0, 20, nullptr);
  worksheet_set_column(ws, 1, 1, 24, nullptr);
  return workbook_close(wb) == LXW_NO_ERROR;
}

bool writeSettings(const std::string& folder) {
  const u16 dir = platform::fromUtf8(folder + "/");
  const u16 ini = dir + u"Gleanex.ini";
  const struct {
    const char16_t *section, *key;
    u16 value;
  } values[] = {
      {u"源数据", u"预处理", u"0"},
      {u"源数据", u"Excel方案", u"ISBN清单"},
      {u"输出MARC", u"字符集", u"utf8"},
      {u"输出MARC", u"文件头", u"0"},
      {u"输出MARC", u"记录分隔", u"0"},
      // Hyphens and ISBN-10 on this server: every form of the source finds its record.
      {u"数据库列表", u"1", u"qzap://sample/books?p=public/?r=no?n=22"},
      {u"一条记录", u"输出文件", dir + u"hits.mrc"},
      {u"多条记录", u"选择策略", u"1020"},
      {u"无记录", u"输出文件", dir + u"misses.xlsx"},
      {u"系统参数", u"用户名", u"public"},
      {u"系统参数", u"口令字", u""},
      {u"系统参数", u"等待时间", u"12"},
  };
  for (const auto& v : values)
    if (!platform::writeProfileString(ini, v.section, v.key, v.value)) return false;
  if (!platform::writeProfileString(dir + u"Sheetrix.ini", u"转换方案", u"ISBN清单", u"header=1;A=010a;B=200a;C=701a"))
    return false;
  const std::string windows = folder + "/home/windows";
  return platform::makeFolders(windows) &&
         platform::writeProfileString(platform::fromUtf8(windows + "/Loomstore.ini"), u"Servers", u"sample", u"qzap");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gleanex-make-sample FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  if (!platform::makeFolders(folder)) return std::fprintf(stderr, "cannot make %s\n", folder.c_str()), 1;
  if (!writeCatalogue(folder + "/catalogue.mrc")) return std::fprintf(stderr, "cannot write catalogue.mrc\n"), 1;
  if (!writeSource(folder + "/isbns.xlsx")) return std::fprintf(stderr, "cannot write isbns.xlsx\n"), 1;
  if (!writeSettings(folder)) return std::fprintf(stderr, "cannot write the settings\n"), 1;
  return 0;
}
