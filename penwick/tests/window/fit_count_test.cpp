// Wrapping with real fonts: the layout measures each character once and finds each row's
// end by binary search over prefix sums; the rows must be exactly those of the plain rule
// (halve the count until the text fits, then grow it one character at a time, and leave a
// delimiter that would end a row for the next), which runs here beside it, literally, with
// every run measured afresh by the font.
#include "editor_document.h"
#include "editor_layout.h"

#include <ui/fonts.h>
#include <ui/win.h>

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The plain rule, step by step, on a font's run extents.
struct PlainRule {
  const QFontMetrics& fm;
  int delimiterWidth;
  int room;

  // Runs between the special characters are measured whole; a surrogate pair is one
  // character, so a run that would end inside one takes its second half too.
  int TextWidth(std::u16string_view text, int n) const {
    size_t count = std::min(size_t(n), text.size());
    if (count > 0 && count < text.size() && isHigh(text[count - 1])) ++count;
    int width = 0;
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
      const bool special = i < count && (text[i] == 0x0C || text[i] == kDelimiter);
      if (i == count || special) {
        if (i > start) width += fm.horizontalAdvance(ui::qs(text.substr(start, i - start)));
        if (special && text[i] == kDelimiter) width += delimiterWidth;
        start = i + 1;
      }
    }
    return width;
  }
  int FitCount(std::u16string_view text, int n) const {
    if (TextWidth(text, n) <= room) return std::max(n, 1);
    int k = n;
    while (k > 0 && TextWidth(text, k) > room) k /= 2;
    while (k < n && TextWidth(text, k + 1) <= room) ++k;
    if (k > 1 && text[size_t(k - 1)] == kDelimiter) --k;
    // At least one character: a surrogate pair is never split.
    if (k < 1) k = n >= 2 && isHigh(text[0]) ? 2 : 1;
    return k;
  }
  std::vector<std::u16string> Rows(std::u16string_view text) const {
    std::vector<std::u16string> rows;
    for (size_t pos = 0; pos < text.size();) {
      const int rest = int(text.size() - pos);
      const int take = std::clamp(FitCount(text.substr(pos), rest), 1, rest);
      rows.emplace_back(text.substr(pos, size_t(take)));
      pos += size_t(take);
    }
    if (rows.empty()) rows.emplace_back();
    return rows;
  }
};

std::vector<std::u16string> rowsOf(const CFieldItem* f) {
  std::vector<std::u16string> rows;
  for (const CFieldRow* r = f->firstRow; r; r = r->next) rows.push_back(r->text);
  return rows;
}

std::u16string repeat(std::u16string_view s, int n) {
  std::u16string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct Fields {
  const char* what;
  std::u16string data;
};

std::vector<Fields> fields() {
  std::u16string chinese;
  for (int i = 0; i < 300; ++i) chinese += char16_t(0x4E00 + (i * 37) % 0x5000);
  return {
      {"ASCII", SF + u"a" + repeat(u"The quick brown fox jumps over the lazy dog. ", 6) + SF + u"bWAVE-i" + SF + u"c"},
      {"Chinese", SF + u"a" + chinese},
      {"mixed", SF + u"a" + repeat(u"中华人民共和国 ISBN 978-7-5 题名 Title", 6) + SF + u"9" + SF + u"b附注"},
      {"delimiters", repeat(SF + u"a" + u"题" + SF + u"xy", 40)},
      {"surrogate pairs", SF + u"a" + repeat(u"𠀀𠀁a𪚥中𝐀b", 25)},
  };
}

struct Wrapping : ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(Wrapping, RowsAreThoseOfThePlainRule) {
  QFont font = ui::logFont(ui::makeFont(QString::fromUtf8(GetParam().first), 12), -GetParam().second, 0, 400);
  font.setHintingPreference(QFont::PreferFullHinting);
  auto fm = std::make_shared<const QFontMetrics>(font);
  CEditorLayout layout;
  layout.SetMetrics(fm->height(), fm->horizontalAdvance(QStringLiteral("$")), fm->height(), 80,
                    [fm](std::u16string_view run) { return fm->horizontalAdvance(ui::qs(run)); });
  CEditorDocument doc(u"/nonexistent");
  doc.SetMeasure(&layout);
  layout.tagWidth = 100;
  for (int room : {13, 40, 97, 250, 613}) {
    layout.textWidth = layout.tagWidth + room;
    const PlainRule plain{*fm, layout.DelimiterWidth(), room};
    for (const Fields& f : fields()) {
      doc.ClearRecord();
      CFieldItem* item = doc.AddField(u"330", u"  " + f.data);
      EXPECT_EQ(rowsOf(item), plain.Rows(item->data)) << f.what << " in " << room << " pixels";
      // Single rows asked for one by one answer the same.
      for (int n : {1, 2, 3, 17, int(item->data.size())})
        EXPECT_EQ(layout.FitCount(item->data, n), plain.FitCount(item->data, n)) << f.what << " n " << n;

      // Edits re-wrap from the row ahead of the edited one; the rows stay those of a
      // layout from the start.
      std::mt19937 random(room);
      for (int edit = 0; edit < 8; ++edit) {
        CFieldRow* row = item->RowNumber(int(random() % unsigned(item->RowCount())));
        // Half of the edits at a row's start: that may let the row before take more.
        const size_t column = row->text.empty() || edit % 2 ? 0 : random() % row->text.size();
        if (isHigh(row->text.empty() ? 0 : row->text[column]) || (column > 0 && isHigh(row->text[column - 1])))
          continue;
        if (edit % 3 == 2 && !row->text.empty())
          row->text.erase(column, 1);
        else
          row->text.insert(column, edit % 3 ? u"W" : u"题名");
        row->dirty = true;
        item->LayoutRows();
        EXPECT_EQ(rowsOf(item), plain.Rows(item->data)) << f.what << " after edit " << edit << " in " << room;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fonts, Wrapping,
                         ::testing::Values(std::make_pair("AR PL UMing CN", 16), std::make_pair("AR PL UMing CN", 19),
                                           std::make_pair("DejaVu Sans", 12), std::make_pair("DejaVu Serif", 17)));

TEST(WrappingEdges, APairWiderThanTheRowStaysWhole) {
  CEditorLayout layout;
  layout.SetMetrics(16, 8, 16, 80, [](std::u16string_view run) { return int(run.size()) * 10; });
  layout.tagWidth = 100;
  layout.textWidth = 105;  // not even one character fits
  EXPECT_EQ(layout.FitCount(u"𠀀ab", 4), 2);
  EXPECT_EQ(layout.FitCount(u"a𠀀", 3), 1);
  std::vector<int> lengths;
  layout.Breaks(u"𠀀𠀀a", 0, lengths);
  EXPECT_EQ(lengths, (std::vector<int>{2, 2, 1}));
}

}  // namespace
