// .xlsx and .ods through liborcus: an import factory of our own that keeps cell values only
// (liborcus's own document model would pull in a formula engine we have no use for).
#include "workbook.h"

#include "scheme.h"

#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>

#include <cstdio>
#include <algorithm>
#include <memory>

namespace sheetrix {
namespace {

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

// Rows and columns beyond these are not kept: a sheet no spreadsheet program writes.
constexpr ss::row_t kMaxRows = 1048576;
constexpr ss::col_t kMaxCols = 16384;

class Strings final : public iface::import_shared_strings {
 public:
  size_t append(std::string_view s) override {
    list_.emplace_back(s);
    return list_.size() - 1;
  }
  size_t add(std::string_view s) override { return append(s); }
  void set_segment_font(size_t) override {}
  void set_segment_bold(bool) override {}
  void set_segment_italic(bool) override {}
  void set_segment_font_name(std::string_view) override {}
  void set_segment_font_size(double) override {}
  void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
  void append_segment(std::string_view s) override { segments_ += s; }
  size_t commit_segments() override {
    list_.push_back(std::move(segments_));
    segments_.clear();
    return list_.size() - 1;
  }
  const std::string* at(size_t i) const { return i < list_.size() ? &list_[i] : nullptr; }

  // OpenDocument commits each paragraph of a cell as a string of its own, just before the
  // cell takes the last of them: the cell's text is every string committed since the
  // previous cell, one line each.
  void markCell() { mark_ = list_.size(); }
  std::string cellText(size_t id) const {
    size_t first = std::min(mark_, id);
    std::string text = list_[first];
    for (size_t i = first + 1; i <= id && i < list_.size(); ++i) text += "\n" + list_[i];
    return text;
  }

 private:
  size_t mark_ = 0;
  std::vector<std::string> list_;
  std::string segments_;
};

class SheetImport;

// A formula cell keeps the result that the file caches; the formula itself is dropped.
class FormulaImport final : public iface::import_formula {
 public:
  explicit FormulaImport(SheetImport& sheet) : sheet_(sheet) {}
  void set_position(ss::row_t row, ss::col_t col) override {
    row_ = row;
    col_ = col;
    cell_ = Cell();
  }
  void set_formula(ss::formula_grammar_t, std::string_view) override {}
  void set_shared_formula_index(size_t) override {}
  void set_result_string(std::string_view value) override { cell_ = Cell{std::string(value)}; }
  void set_result_value(double value) override { cell_ = Cell{numberText(value), true, value}; }
  void set_result_bool(bool value) override { cell_ = Cell{value ? "TRUE" : "FALSE"}; }
  void set_result_empty() override { cell_ = Cell(); }
  void commit() override;

 private:
  SheetImport& sheet_;
  ss::row_t row_ = 0;
  ss::col_t col_ = 0;
  Cell cell_;
};

class SheetImport final : public iface::import_sheet {
 public:
  // By index: the workbook's sheet list grows while later sheets are read.
  SheetImport(Workbook& book, size_t index, Strings& strings)
      : book_(book), index_(index), strings_(strings), formula_(*this), odsParagraphs_(book.kind == FileKind::Ods) {}

  iface::import_formula* get_formula() override { return &formula_; }
  void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override { put(row, col, Cell{std::string(s)}); }
  void set_string(ss::row_t row, ss::col_t col, ss::string_id_t id) override {
    if (const std::string* text = strings_.at(id)) put(row, col, Cell{odsParagraphs_ ? strings_.cellText(id) : *text});
  }
  void set_value(ss::row_t row, ss::col_t col, double value) override {
    put(row, col, Cell{numberText(value), true, value});
  }
  void set_bool(ss::row_t row, ss::col_t col, bool value) override { put(row, col, Cell{value ? "TRUE" : "FALSE"}); }
  void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                     double second) override {
    char buf[40];
    if (hour || minute || second)
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, int(second));
    else
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    put(row, col, Cell{buf});
  }
  void set_format(ss::row_t, ss::col_t, size_t) override {}
  void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
  void fill_down_cells(ss::row_t srcRow, ss::col_t col, ss::row_t count) override {
    Sheet& sheet = book_.sheets[index_];
    if (srcRow < 0 || size_t(srcRow) >= sheet.rows.size() || col < 0 || size_t(col) >= sheet.rows[srcRow].size())
      return;
    Cell c = sheet.rows[srcRow][col];
    for (ss::row_t i = 1; i <= count; ++i) put(srcRow + i, col, c);
  }
  ss::range_size_t get_sheet_size() const override { return {kMaxRows, kMaxCols}; }

  void put(ss::row_t row, ss::col_t col, Cell cell) {
    strings_.markCell();
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxCols) return;
    Sheet& sheet = book_.sheets[index_];
    if (size_t(row) >= sheet.rows.size()) {
      if (cell.text.empty()) return;
      sheet.rows.resize(size_t(row) + 1);
    }
    Row& r = sheet.rows[row];
    if (size_t(col) >= r.size()) {
      if (cell.text.empty()) return;
      r.resize(size_t(col) + 1);
    }
    r[col] = std::move(cell);
  }

 private:
  Workbook& book_;
  size_t index_;
  Strings& strings_;
  FormulaImport formula_;
  bool odsParagraphs_;
};

void FormulaImport::commit() { sheet_.put(row_, col_, std::move(cell_)); }

// Cell addresses in A1 form ("B3", "$B$3", "A1:C9"), as the sheets' parts name them.
class A1Resolver final : public iface::import_reference_resolver {
 public:
  ss::src_address_t resolve_address(std::string_view a) override {
    size_t i = 0;
    auto skipDollar = [&] {
      if (i < a.size() && a[i] == '$') ++i;
    };
    skipDollar();
    size_t letters = i;
    while (i < a.size() && ((a[i] >= 'A' && a[i] <= 'Z') || (a[i] >= 'a' && a[i] <= 'z'))) ++i;
    int col = columnIndex(a.substr(letters, i - letters));
    skipDollar();
    long row = 0;
    size_t digits = i;
    for (; i < a.size() && a[i] >= '0' && a[i] <= '9' && row <= kMaxRows; ++i) row = row * 10 + (a[i] - '0');
    if (col < 0 || i == digits || i != a.size() || row < 1 || row > kMaxRows)
      throw orcus::invalid_arg_error("not a cell address");
    return {0, ss::row_t(row - 1), ss::col_t(col)};
  }
  ss::src_range_t resolve_range(std::string_view r) override {
    size_t colon = r.find(':');
    if (colon == std::string_view::npos) {
      ss::src_address_t a = resolve_address(r);
      return {a, a};
    }
    return {resolve_address(r.substr(0, colon)), resolve_address(r.substr(colon + 1))};
  }
};

class Factory final : public iface::import_factory {
 public:
  explicit Factory(Workbook& book) : book_(book) {}
  iface::import_shared_strings* get_shared_strings() override { return &strings_; }
  iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override { return &resolver_; }
  iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override {
    book_.sheets.push_back(Sheet{std::string(name), {}});
    names_.emplace_back(name);
    // Importers live at stable addresses: liborcus keeps the pointers it is given.
    sheets_.push_back(std::make_unique<SheetImport>(book_, book_.sheets.size() - 1, strings_));
    return sheets_.back().get();
  }
  iface::import_sheet* get_sheet(std::string_view name) override {
    for (size_t i = 0; i < names_.size(); ++i)
      if (names_[i] == name) return sheets_[i].get();
    return nullptr;
  }
  iface::import_sheet* get_sheet(ss::sheet_t index) override {
    return index >= 0 && size_t(index) < sheets_.size() ? sheets_[index].get() : nullptr;
  }
  void finalize() override {}

 private:
  Workbook& book_;
  Strings strings_;
  A1Resolver resolver_;
  std::vector<std::string> names_;
  std::vector<std::unique_ptr<SheetImport>> sheets_;
};

}  // namespace

bool readOrcus(const std::string& path, FileKind kind, Workbook& book) {
  book.kind = kind;
  book.sheets.clear();
  try {
    Factory factory(book);
    if (kind == FileKind::Ods) {
      orcus::orcus_ods reader(&factory);
      reader.read_file(path);
    } else {
      orcus::orcus_xlsx reader(&factory);
      reader.read_file(path);
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace sheetrix
