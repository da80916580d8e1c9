// The painter: the editor's font and what it measures, and the drawing of the record's
// rows (the tag area with its row parts, the text with the subfield delimiter glyph, the
// selection), the band of a tag-column boundary drag and the caret. Its metric and
// wrapping half (row geometry, text widths, the fit count, scrolling arithmetic) is
// CEditorLayout, which lives in the model so that rows are laid out without Qt; the
// window's backing store plays the off-screen picture that the painter draws into.
#pragma once

#include "row_part.h"

#include <QFont>
#include <QRegion>

#include <memory>
#include <vector>

class CEditorWnd;
class QPainter;

class CEditorPainter {
 public:
  explicit CEditorPainter(CEditorWnd* editor);
  ~CEditorPainter();

  /// \brief Takes the font (with whole-pixel advances: a run is then exactly as wide as its
  /// characters) and gives its metrics to the layout.
  void SetFont(const QFont& font);
  /// \brief Draws the window's border, the rows of the text area that `region` touches,
  /// the boundary band and the caret.
  void Paint(QPainter& p, const QRegion& region);

 private:
  /// One row of the text area: its tag area (the row parts) and its text at band top y.
  void DrawRow(QPainter& p, const CFieldRow& row, int screenIndex, int y, const QFontMetrics& fm, QColor text,
               int cjkHeight);
  /// A span of a row's text at (x, y); inverted spans stand on a block of the text colour.
  void DrawSpan(QPainter& p, int x, int y, std::u16string_view span, bool inverted, const QFontMetrics& fm,
                QColor text);

  CEditorWnd* editor_;
  QFont font_;
  // The row parts in the order they are drawn: shadowed name, tag box, label, tag strip.
  std::vector<std::unique_ptr<CRowPart>> parts_;
};
