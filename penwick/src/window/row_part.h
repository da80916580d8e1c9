// The parts of a display row's tag area, each drawing its piece: the tag strip, the label
// with its icons (Dublin Core), the shadowed name and the tag box (MARC). Every row shows
// all of them, and they keep no state of their own (a row's label lives in CFieldRow, the
// icons' hover and pressed states in the window), so the painter holds one object of each
// for every row and the model's rows stay free of Qt. The spare part of a row, a text and a
// number that are never drawn, has nothing to do here and is left out.
#pragma once

#include "editor_layout.h"

#include <QColor>

class QFontMetrics;
class QPainter;

/// What a row part draws with: the row, its band and the painter's pens.
struct CRowPaint {
  QPainter& p;
  const QFontMetrics& fm;
  const CEditorLayout& layout;
  const CFieldRow& row;
  int y;            // top of the row's band
  QColor text;      // the text colour
  bool hot;         // the mouse is over the row's icon
  bool pressed;     // the row's icon is pressed
  int cjkHeight;    // height of one CJK character: centres the icons
  bool dublinCore;
};

class CRowPart {
 public:
  virtual ~CRowPart() = default;
  virtual void Paint(const CRowPaint& r) const = 0;
};

/// Part 1: the 16-pixel strip right of the tag column.
class CTagStripPart : public CRowPart {
 public:
  void Paint(const CRowPaint& r) const override;
};

/// Part 2 (Dublin Core): the label box with the expand icon and the element's alias on the
/// first row, the qualifier's name and its picker button on a qualifier row.
class CLabelPart : public CRowPart {
 public:
  void Paint(const CRowPaint& r) const override;
  /// \brief One icon of the 14 x 14 strip (expand, collapse, picker; plain, hot, pressed).
  static void DrawIcon(QPainter& p, int x, int y, int icon);
};

/// Part 3: the field's alias (MARC) or the element's name (Dublin Core) left of the box,
/// drawn twice for a shadow, on the field's first row.
class CShadowedNamePart : public CRowPart {
 public:
  void Paint(const CRowPaint& r) const override;
};

/// Part 4 (MARC): tag and indicators on the field's first row.
class CTagBoxPart : public CRowPart {
 public:
  void Paint(const CRowPaint& r) const override;
};
