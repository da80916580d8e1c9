// The field model: text forms, layout into rows and back, qualifiers, aliases and choices.
#include "editor_document.h"
#include "field_item.h"

#include <qorvel_testing/testing.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace penwick;

namespace {

const std::u16string ESC(1, kEsc);
const std::u16string SF(1, kDelimiter);

// A fit count of a fixed number of characters per row.
class FixedPitch : public CTextMeasure {
 public:
  explicit FixedPitch(int perRow) : perRow_(perRow) {}
  int FitCount(std::u16string_view, int n) const override { return std::max(1, std::min(n, perRow_)); }

 private:
  int perRow_;
};

std::vector<std::pair<std::u16string, std::u16string>> rowsOf(const CFieldItem& item) {
  std::vector<std::pair<std::u16string, std::u16string>> out;
  for (const CFieldRow* r = item.firstRow; r; r = r->next) out.emplace_back(r->label, r->text);
  return out;
}

struct Model : ::testing::Test {
  qtest::TempDir dir;
  CEditorDocument doc{platform::pathToWide(dir.path().string())};
  void writeIni(const std::string& text) {
    std::ofstream(dir / "tips.ini") << text;
    doc.SetProperty(platform::pathToWide((dir / "tips.ini").string()));
  }
};

TEST_F(Model, MarcItemSplitsIndicatorsOffDataFieldsOnly) {
  struct Case {
    std::u16string tag, data, indicators, rest;
  } cases[] = {
      {u"245", u"10" + SF + u"aTitle", u"10", SF + u"aTitle"},
      {u"001", u"12345", u"", u"12345"},
      {u"-01", u"12345", u"", u"12345"},
      {u"000", u"01234nam  2200000   4500", u"", u"01234nam  2200000   4500"},
      {u"245", u"1", u"1", u""},
      {u"245", u"", u"", u""},
  };
  for (const Case& c : cases) {
    CFieldItem* item = doc.AddField(c.tag, c.data);
    EXPECT_EQ(item->indicators, c.indicators) << platform::toUtf8(c.tag + u"|" + c.data);
    EXPECT_EQ(item->data, c.rest) << platform::toUtf8(c.tag + u"|" + c.data);
  }
}

// Field names come from a copy of the [Alias] section kept while the file is unchanged;
// every answer is the one the profile functions give, and a rewritten file is seen at once.
TEST_F(Model, AliasesReadAsTheProfileFunctionsReadThem) {
  const std::string longName(300, 'n');
  writeIni("[Other]\n245=not this one\n"
           "[alias]\n"
           "245 = 题名与责任说明 \n"
           "200='quoted'\n"
           "210=\"half\n"
           "; 300=comment\n"
           "330\n"
           "701=first\n701=second\n"
           "dc:title.Main=主题名\n"
           "606=" + longName + "\n"
           "[Alias]\n999=second section\n");
  const std::u16string ini = doc.PropertyIniPath();
  for (const char16_t* key : {u"245", u"200", u"210", u"300", u"330", u"701", u"DC:TITLE.main", u"606", u"999",
                              u"100", u""}) {
    for (const char16_t* def : {u"新增字段", u"", u"def  "})
      EXPECT_EQ(doc.Alias(key, def), platform::profileString(ini, u"Alias", key, def, 256))
          << platform::toUtf8(key) << " / " << platform::toUtf8(def);
  }
  EXPECT_EQ(doc.Alias(u"245", u""), u"题名与责任说明");
  EXPECT_EQ(doc.AddField(u"245", u"10" + SF + u"aT")->alias, u"题名与责任说明");
  // Rewritten (another size): the next lookup reads the new file.
  writeIni("[Alias]\n245=Title statement\n");
  EXPECT_EQ(doc.Alias(u"245", u""), u"Title statement");
  EXPECT_EQ(doc.Alias(u"200", u"新增字段"), u"新增字段");
  // Gone: every field takes the default.
  std::filesystem::remove(dir / "tips.ini");
  EXPECT_EQ(doc.Alias(u"245", u"新增字段"), u"新增字段");
}

TEST_F(Model, DublinCoreElementKeepsItsDataWhole) {
  doc.SetFormat(FORMAT_DC);
  CFieldItem* item = doc.AddField(u"title", u"Report" + ESC + u"Type::=Main");
  EXPECT_EQ(item->indicators, u"");
  EXPECT_EQ(item->data, u"Report" + ESC + u"Type::=Main");
}

TEST_F(Model, DublinCoreLayoutShowsQualifiersOnlyWhenAsked) {
  doc.SetFormat(FORMAT_DC);
  CFieldItem* item = doc.AddField(u"title", u"Report" + ESC + u"Type::=Main" + ESC + u"Lang::=chi");
  using Rows = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_EQ(rowsOf(*item), (Rows{{u"Value", u"Report"}}));
  item->ToggleQualifiers();
  item->LayoutRows();
  EXPECT_EQ(rowsOf(*item), (Rows{{u"Value", u"Report"}, {u"Type", u"Main"}, {u"Lang", u"chi"}}));
  // Hidden again, an edit of the value keeps both qualifiers.
  item->ToggleQualifiers();
  item->LayoutRows();
  item->firstRow->text = u"Paper";
  item->firstRow->dirty = true;
  item->LayoutRows();
  EXPECT_EQ(item->data, u"Paper" + ESC + u"Type::=Main" + ESC + u"Lang::=chi");
}

TEST_F(Model, LayoutWrapsSegmentsAndFoldsThemBack) {
  FixedPitch pitch(4);
  doc.SetMeasure(&pitch);
  doc.SetFormat(FORMAT_DC);
  CFieldItem* item = doc.AddField(u"title", u"abcdefghij" + ESC + u"Type::=" + ESC + u"Scheme::=xyzuv");
  item->qualifiersShown = 1;
  item->LayoutRows();
  using Rows = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_EQ(rowsOf(*item), (Rows{{u"Value", u"abcd"}, {u"", u"efgh"}, {u"", u"ij"}, {u"Type", u""},
                                 {u"Scheme", u"xyzu"}, {u"", u"v"}}));
  item->LastRow()->dirty = true;
  EXPECT_EQ(item->GatherRows(), 1);
  EXPECT_EQ(item->data, u"abcdefghij" + ESC + u"Type::=" + ESC + u"Scheme::=xyzuv");
  EXPECT_EQ(item->GatherRows(), 0);
  // Shorter data drops the rows it no longer needs.
  item->data = u"ab";
  item->LayoutRows();
  EXPECT_EQ(rowsOf(*item), (Rows{{u"Value", u"ab"}}));
}

TEST_F(Model, ValueAndMarcDataKeepTheirOwnAssignMarks) {
  // "::=" in a value or in MARC data is text, not a qualifier label: an edit must not turn
  // it into a qualifier segment.
  doc.SetFormat(FORMAT_DC);
  CFieldItem* dc = doc.AddField(u"relation", u"urn::=x");
  EXPECT_EQ(dc->firstRow->label, u"Value");
  EXPECT_EQ(dc->firstRow->text, u"urn::=x");
  dc->firstRow->dirty = true;
  dc->LayoutRows();
  EXPECT_EQ(dc->data, u"urn::=x");

  CEditorDocument marc(u"/nowhere");
  CFieldItem* f = marc.AddField(u"856", u"40" + SF + u"ua::=b" + ESC + u"c");
  f->firstRow->dirty = true;
  f->LayoutRows();
  EXPECT_EQ(f->data, SF + u"ua::=b" + ESC + u"c");
  EXPECT_EQ(f->RowCount(), 1);
}

TEST_F(Model, GetQualifier) {
  doc.SetFormat(FORMAT_DC);
  CFieldItem* item = doc.AddField(u"title", u"Report" + ESC + u"Lang::=" + ESC + u"Type::=Main");
  CFieldItem* bare = doc.AddField(u"title", u"Plain");
  struct Case {
    CFieldItem* item;
    std::u16string name;
    int result;
    std::u16string value;
  } cases[] = {
      {item, u"Value", 1, u"Report"}, {item, u"value", 1, u"Report"}, {bare, u"value", 1, u"Plain"},
      {item, u"Lang", 0, u""},        {item, u"Type", 1, u"Main"},    {item, u"type", 0, u""},
      {item, u"Scheme", 0, u""},
  };
  for (const Case& c : cases) {
    std::u16string v = u"junk";
    EXPECT_EQ(c.item->GetQualifier(c.name, v), c.result) << platform::toUtf8(c.name);
    EXPECT_EQ(v, c.value) << platform::toUtf8(c.name);
  }
  EXPECT_EQ(item->HasQualifiers(), 1);
  EXPECT_EQ(bare->HasQualifiers(), 0);
}

TEST_F(Model, ShowAndSetQualifierRows) {
  doc.SetFormat(FORMAT_DC);
  CFieldItem* item = doc.AddField(u"title", u"Report" + ESC + u"Type::=Main");
  CFieldRow* lang = item->ShowQualifierRow(u"Lang");
  EXPECT_EQ(item->qualifiersShown, 1);
  EXPECT_EQ(lang, item->LastRow());
  EXPECT_EQ(item->ShowQualifierRow(u"Type"), item->firstRow->next);
  EXPECT_TRUE(item->SetQualifierRow(u"Lang", u"chi"));
  EXPECT_FALSE(item->SetQualifierRow(u"Scheme", u"x"));
  item->LayoutRows();
  EXPECT_EQ(item->data, u"Report" + ESC + u"Type::=Main" + ESC + u"Lang::=chi");
}

TEST_F(Model, CompareFields) {
  CFieldItem* a100 = doc.AddField(u"100", u"  " + SF + u"ax");
  CFieldItem* a245 = doc.AddField(u"245", u"10" + SF + u"ax");
  CFieldItem* b880 = doc.AddField(u"880", u"  " + SF + u"6b");
  CFieldItem* a880 = doc.AddField(u"880", u"  " + SF + u"6a");
  CFieldItem* x650 = doc.AddField(u"650", u"  " + SF + u"ax");
  CFieldItem* y650 = doc.AddField(u"650", u"  " + SF + u"ay");
  EXPECT_EQ(a100->CompareFields(*a245), 1);
  EXPECT_EQ(a245->CompareFields(*a100), 0);
  EXPECT_EQ(a880->CompareFields(*b880), 1);
  EXPECT_EQ(b880->CompareFields(*a880), 0);
  EXPECT_EQ(x650->CompareFields(*y650), 0);
  EXPECT_EQ(y650->CompareFields(*x650), 0);
}

TEST_F(Model, AliasesFromThePropertyFile) {
  writeIni(
      "[Alias]\n245=题名\ntitle=题名元素\ntitle.Main=主题名\ntitle.Main.ISBD=主题名ISBD\ntitle.LCSH=标目\n"
      "[Qualifiers]\nMarcID=YES\n");
  struct Case {
    int format;
    std::u16string name, data, alias;
  } cases[] = {
      {FORMAT_MARC, u"245", u"10", u"题名"},
      {FORMAT_MARC, u"246", u"10", u"新增字段"},
      {FORMAT_DC, u"title", u"x", u"题名元素"},
      {FORMAT_DC, u"title", u"x" + ESC + u"Type::=Main", u"主题名"},
      {FORMAT_DC, u"title", u"x" + ESC + u"Type::=Main" + ESC + u"Scheme::=ISBD", u"主题名ISBD"},
      {FORMAT_DC, u"title", u"x" + ESC + u"Type::=Other" + ESC + u"Scheme::=LCSH", u"标目"},
      {FORMAT_DC, u"creator", u"x", u"新增元素"},
  };
  const std::u16string ini = doc.PropertyIniPath();
  for (const Case& c : cases) {
    doc.SetFormat(c.format);
    doc.SetProperty(ini);
    EXPECT_EQ(doc.AddField(c.name, c.data)->alias, c.alias) << platform::toUtf8(c.name + u"|" + c.data);
  }
}

TEST_F(Model, TypeAndSchemeChoices) {
  std::string ini = "[title.Type]\n";
  for (int i = 1; i <= 101; ++i) ini += std::to_string(i) + "=T" + std::to_string(i) + "\n";
  ini += "[title.Scheme]\n1=S1\n2=S2\n[title.T7.Scheme]\n1=X1\n2=\n3=X3\n";
  writeIni(ini);
  doc.SetFormat(FORMAT_DC);
  doc.SetProperty(platform::pathToWide((dir / "tips.ini").string()));
  CFieldItem* item = doc.AddField(u"title", u"v" + ESC + u"Type::=T7");
  CFieldItem* other = doc.AddField(u"creator", u"v");

  std::vector<MenuEntry> types = item->TypeMenu();
  ASSERT_EQ(types.size(), 100u);
  EXPECT_EQ(types.front().id, 50001);
  EXPECT_EQ(types.back().id, 50100);
  EXPECT_EQ(types.back().text, u"T100");

  std::vector<MenuEntry> schemes = item->SchemeMenu();
  ASSERT_EQ(schemes.size(), 3u);  // the Type-specific list ends at its empty key
  EXPECT_EQ(schemes[2].id, 51003);
  EXPECT_EQ(schemes[2].text, u"X1");

  EXPECT_TRUE(item->HasTypeList());
  EXPECT_TRUE(item->HasSchemeList());
  EXPECT_FALSE(other->HasTypeList());
  EXPECT_FALSE(other->HasSchemeList());

  item->ShowQualifierRow(u"Scheme");
  item->PickScheme(3);
  item->PickType(2);
  item->LayoutRows();
  EXPECT_EQ(item->data, u"v" + ESC + u"Type::=T2" + ESC + u"Scheme::=X1");
  item->PickScheme(9);  // beyond both lists
  item->PickType(101);  // never read
  item->LayoutRows();
  EXPECT_EQ(item->data, u"v" + ESC + u"Type::=" + ESC + u"Scheme::=");
}

TEST_F(Model, ContextMenus) {
  writeIni("[Qualifiers]\nMarcID=yes\n");
  CFieldItem* field = doc.AddField(u"245", u"10");
  std::vector<MenuEntry> marc = field->ContextMenu(false);
  ASSERT_EQ(marc.size(), 7u);
  EXPECT_EQ(marc[5].id, 32810);
  EXPECT_FALSE(marc[5].enabled);
  EXPECT_TRUE(field->ContextMenu(true)[5].enabled);

  const std::u16string ini = doc.PropertyIniPath();
  doc.SetFormat(FORMAT_DC);
  doc.SetProperty(ini);
  CFieldItem* element = doc.AddField(u"title", u"x");
  std::vector<MenuEntry> dc = element->ContextMenu(false);
  ASSERT_EQ(dc.size(), 7u);
  EXPECT_EQ(dc.back().id, 32780);
  EXPECT_FALSE(dc[3].enabled);  // no Type list
  writeIni("[Qualifiers]\nMarcID=no\n");
  EXPECT_EQ(element->ContextMenu(false).size(), 6u);
}

TEST_F(Model, PositionOperations) {
  FixedPitch pitch(4);
  doc.SetMeasure(&pitch);
  CFieldItem* f = doc.AddField(u"245", u"10" + SF + u"aTitle" + SF + u"bSub");  // 12 chars: 3 rows
  ASSERT_EQ(f->RowCount(), 3);
  CFieldRow* second = f->firstRow->next;
  EXPECT_EQ(f->RowOffset(second, 1), 5);
  struct Case {
    int offset;
    bool found;
    int row, column;
  } cases[] = {{0, true, 0, 0}, {4, true, 0, 4}, {5, true, 1, 1}, {12, true, 2, 4}, {13, false, 0, 0}, {-3, true, 0, 0}};
  for (const Case& c : cases) {
    CFieldRow* row = nullptr;
    int column = -1;
    ASSERT_EQ(f->RowAtOffset(c.offset, row, column), c.found) << c.offset;
    if (!c.found) continue;
    int index = 0;
    for (CFieldRow* r = f->firstRow; r != row; r = r->next) ++index;
    EXPECT_EQ(index, c.row) << c.offset;
    EXPECT_EQ(column, c.column) << c.offset;
  }
  EXPECT_EQ(f->SubfieldOffset(-1, 3), 3);
  EXPECT_EQ(f->SubfieldOffset(0, 0), 2);
  EXPECT_EQ(f->SubfieldOffset(1, 1), 10);
  EXPECT_EQ(f->SubfieldOffset(2, 0), 0);
}

}  // namespace
