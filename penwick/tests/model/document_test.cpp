// The record list, stored settings, notification positions and cursor targets.
#include "editor_document.h"

#include <platform/text.h>

#include <gtest/gtest.h>

#include <cstdint>

using namespace penwick;

namespace {

const std::u16string ESC(1, kEsc);
const std::u16string SF(1, kDelimiter);
const std::u16string LEADER = u"01234nam  2200000   4500";

class FixedPitch : public CTextMeasure {
 public:
  explicit FixedPitch(int perRow) : perRow_(perRow) {}
  int FitCount(std::u16string_view, int n) const override { return std::max(1, std::min(n, perRow_)); }

 private:
  int perRow_;
};

TEST(Document, SettingsAndPropertyPaths) {
  CEditorDocument doc(u"/opt/host");
  EXPECT_EQ(doc.PropertyIniPath(), u"/opt/host/fldtips.ini");
  doc.SetFormat(FORMAT_DC);
  EXPECT_EQ(doc.PropertyIniPath(), u"/opt/host/dctips.ini");
  doc.SetProperty(u"DEFSHEET::=/x/def.xml");
  EXPECT_EQ(doc.FieldDefinitionPath(), u"/x/def.xml");
  EXPECT_EQ(doc.PropertyIniPath(), u"/opt/host/dctips.ini");
  doc.SetProperty(u"tips::=/y/a::=b.ini");
  EXPECT_EQ(doc.PropertyIniPath(), u"/y/a::=b.ini");
  doc.SetProperty(u"/z/plain.ini");
  EXPECT_EQ(doc.PropertyIniPath(), u"/z/plain.ini");
  doc.SetFormat(FORMAT_MARC);
  EXPECT_EQ(doc.PropertyIniPath(), u"/opt/host/fldtips.ini");

  doc.SetCtrlZMenu(std::u16string(300, u's'), u"key");
  EXPECT_EQ(doc.DefaultSource().size(), 255u);
  EXPECT_EQ(doc.DefaultKey(), u"key");
}

TEST(Document, ListOperations) {
  CEditorDocument doc(u"/h");
  CFieldItem* a = doc.AddField(u"000", LEADER);
  CFieldItem* c = doc.AddField(u"245", u"10" + SF + u"aT");
  CFieldItem* b = doc.InsertField(new CFieldItem(&doc, u"100", u"  " + SF + u"aN"), c);
  EXPECT_EQ(doc.FieldCount(), 3);
  EXPECT_EQ(doc.FieldAt(1), b);
  EXPECT_EQ(doc.FieldAt(3), nullptr);
  EXPECT_EQ(doc.FieldAt(-1), nullptr);
  EXPECT_EQ(doc.IndexOf(c), 2);
  EXPECT_EQ(a->firstRow->NextRow(), b->firstRow);
  EXPECT_EQ(c->firstRow->PreviousRow(), b->firstRow);
  doc.DeleteField(b);
  EXPECT_EQ(doc.FieldAt(1), c);
  EXPECT_EQ(c->previous, a);
  doc.DeleteField(a);
  EXPECT_EQ(doc.FirstField(), c);
  EXPECT_EQ(c->previous, nullptr);
  doc.ClearRecord();
  EXPECT_EQ(doc.FieldCount(), 0);
  EXPECT_EQ(doc.FirstRow(), nullptr);
}

TEST(Document, MarcPositionOf) {
  FixedPitch pitch(5);
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&pitch);
  doc.AddField(u"000", LEADER);
  doc.AddField(u"001", u"12345");
  CFieldItem* f = doc.AddField(u"245", u"10" + SF + u"aTitle" + SF + u"bSub");  // rows: "$aTit" "le$bS" "ub"
  CFieldRow* r0 = f->firstRow;
  CFieldRow* r1 = r0->next;
  CFieldRow* r2 = r1->next;
  struct Case {
    const CFieldRow* row;
    int column;
    EditorPosition want;
  } cases[] = {
      {doc.FirstRow(), 3, {0, -1, 3}},  // the leader row: no subfield, the column
      {r0, 0, {2, -1, 0}},              // before the first delimiter
      {r0, 1, {2, 0, -1}},              // between the delimiter and its code
      {r0, 2, {2, 0, 0}},               // right after the code
      {r0, 3, {2, 0, 1}},
      {r1, 1, {2, 0, 4}},               // offsets run on across rows
      {r1, 4, {2, 1, 0}},
      {r2, 1, {2, 1, 2}},
      {r2, 99, {2, 1, 3}},              // a column past the row's end counts as its end
      {nullptr, 0, {3, 0, 0}},          // not in the record: the field count
  };
  for (const Case& c : cases) {
    EditorPosition p = doc.PositionOf(c.row, c.column);
    EXPECT_EQ(p.field, c.want.field) << c.column;
    EXPECT_EQ(p.subfield, c.want.subfield) << c.column;
    EXPECT_EQ(p.offset, c.want.offset) << c.column;
  }
}

TEST(Document, DublinCorePositionOf) {
  FixedPitch pitch(3);
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&pitch);
  doc.SetFormat(FORMAT_DC);
  CFieldItem* e = doc.AddField(u"title", u"abcdef" + ESC + u"Type::=Main" + ESC + u"Lang::=chi");
  e->qualifiersShown = 1;
  e->LayoutRows();
  // rows: Value "abc", "" "def", Type "Mai", "" "n", Lang "chi"
  std::vector<CFieldRow*> rows;
  for (CFieldRow* r = e->firstRow; r; r = r->next) rows.push_back(r);
  ASSERT_EQ(rows.size(), 5u);
  struct Case {
    int row, column;
    EditorPosition want;
  } cases[] = {{0, 1, {0, 0, 1}}, {1, 2, {0, 0, 5}}, {2, 0, {0, 1, 0}}, {3, 1, {0, 1, 4}}, {4, 3, {0, 2, 3}}};
  for (const Case& c : cases) {
    EditorPosition p = doc.PositionOf(rows[size_t(c.row)], c.column);
    EXPECT_EQ(p.subfield, c.want.subfield) << c.row;
    EXPECT_EQ(p.offset, c.want.offset) << c.row;
  }
  // SetCursorPos takes the same triple back to the same place.
  for (const Case& c : cases) {
    CFieldRow* row = nullptr;
    int column = -1;
    ASSERT_TRUE(doc.CursorTarget(0, c.want.subfield, c.want.offset, row, column)) << c.row;
    EditorPosition back = doc.PositionOf(row, column);
    EXPECT_EQ(back.subfield, c.want.subfield);
    EXPECT_EQ(back.offset, c.want.offset);
  }
  CFieldRow* row = nullptr;
  int column = 0;
  EXPECT_FALSE(doc.CursorTarget(0, 3, 0, row, column));   // no third qualifier
  EXPECT_FALSE(doc.CursorTarget(0, 2, 9, row, column));   // beyond the rows
  EXPECT_FALSE(doc.CursorTarget(0, -1, 0, row, column));
}

TEST(Document, MarcCursorTargets) {
  CEditorDocument doc(u"/h");
  CFieldRow* row = nullptr;
  int column = 0;
  EXPECT_FALSE(doc.CursorTarget(0, -1, 0, row, column));  // empty record
  doc.AddField(u"000", LEADER);
  CFieldItem* f = doc.AddField(u"245", u"10" + SF + u"aTitle" + SF + u"bSub");
  struct Case {
    int field, subfield, offset;
    const CFieldRow* row;
    int column;
  } cases[] = {
      {0, -1, 5, doc.FirstRow(), 5},         // column 5 of the leader row
      {3, 0, 0, f->firstRow, 2},             // beyond the last item: the last item
      {1, 1, 2, f->firstRow, 11},
      {1, 5, 0, f->firstRow, 0},             // too few subfields: position 0
      {1, -1, 99, f->firstRow, 12},          // beyond the text: end of the first row
      {-4, -1, -7, doc.FirstRow(), 0},       // negative numbers stay in the record
      {1, 0, INT32_MAX, f->firstRow, 12},    // no overflow on the way
      {INT32_MAX, INT32_MAX, INT32_MAX, f->firstRow, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(doc.CursorTarget(c.field, c.subfield, c.offset, row, column)) << c.field << c.subfield;
    EXPECT_EQ(row, c.row) << c.field << c.subfield << c.offset;
    EXPECT_EQ(column, c.column) << c.field << c.subfield << c.offset;
  }
}

TEST(Document, TextBetweenJoinsRowsInRecordOrder) {
  FixedPitch pitch(4);
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&pitch);
  CFieldItem* a = doc.AddField(u"001", u"abcdefgh");  // "abcd" "efgh"
  CFieldItem* b = doc.AddField(u"005", u"ijkl");
  CFieldRow* a0 = a->firstRow;
  CFieldRow* a1 = a0->next;
  EXPECT_EQ(doc.TextBetween(a0, 1, a0, 3), u"bc");
  EXPECT_EQ(doc.TextBetween(a0, 3, a0, 1), u"bc");
  EXPECT_EQ(doc.TextBetween(b->firstRow, 2, a0, 2), u"cdefghij");
  EXPECT_EQ(doc.TextBetween(a1, 0, a1, 99), u"efgh");
  EXPECT_EQ(doc.RowIndex(b->firstRow), 2);
  EXPECT_EQ(doc.RowAt(1), a1);
  EXPECT_EQ(doc.TotalRows(), 3);
}

TEST(Document, SelectedColumnsOfEachRow) {
  FixedPitch pitch(4);
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&pitch);
  CFieldItem* a = doc.AddField(u"001", u"abcdefgh");  // "abcd" "efgh"
  CFieldItem* b = doc.AddField(u"005", u"ijkl");
  CFieldItem* c = doc.AddField(u"008", u"mn");
  CFieldRow* a0 = a->firstRow;
  CFieldRow* a1 = a0->next;
  struct Case {
    const CFieldRow* row;
    bool selected;
    int from, to;
  } cases[] = {{a0, true, 2, 4}, {a1, true, 0, 4}, {b->firstRow, true, 0, 3}, {c->firstRow, false, 0, 0}};
  for (const Case& k : cases) {
    int from = -1, to = -1;
    // The ends are given from the moving end back to the anchor.
    ASSERT_EQ(doc.SelectedColumns(k.row, b->firstRow, 3, a0, 2, from, to), k.selected);
    if (!k.selected) continue;
    EXPECT_EQ(from, k.from);
    EXPECT_EQ(to, k.to);
  }
  int from = 0, to = 0;
  EXPECT_TRUE(doc.SelectedColumns(a0, a0, 3, a0, 1, from, to));
  EXPECT_EQ(from, 1);
  EXPECT_EQ(to, 3);
  EXPECT_FALSE(doc.SelectedColumns(a0, a0, 2, a0, 2, from, to));
}

TEST(Document, TaggedRecordText) {
  const std::u16string FE(1, kFieldEnd);
  struct Case {
    std::u16string text;
    std::vector<std::u16string> tags;
    std::vector<std::u16string> data;
  } cases[] = {
      {LEADER, {u"000"}, {LEADER}},
      {u"0123", {u"000"}, {u"0123"}},
      {LEADER + u"00112345" + FE + u"24510" + SF + u"aT\tx" + FE + u"300  " + SF + u"a1",
       {u"000", u"001", u"245"},
       {LEADER, u"12345", SF + u"aT x"}},
      {u"\x01" + LEADER.substr(1), {u"000"}, {u" " + LEADER.substr(1)}},
  };
  for (const Case& c : cases) {
    CEditorDocument doc(u"/h");
    doc.AddField(u"999", u"old");
    doc.ParseRecordText(c.text);
    ASSERT_EQ(doc.FieldCount(), int(c.tags.size()));
    for (size_t i = 0; i < c.tags.size(); ++i) {
      EXPECT_EQ(doc.FieldAt(int(i))->name, c.tags[i]);
      EXPECT_EQ(doc.FieldAt(int(i))->data, c.data[i]);
    }
  }
}

}  // namespace
