// The screen: copies what changed to the window and keeps the vertical scroll bar with the
// view. It remembers what every band of the text area shows, so that a repaint asks Qt to
// draw again only the bands whose content changed (all of them when the font, the
// geometry or the colours changed) and the caret's old and new place.
#pragma once

#include <QRect>
#include <QRegion>

#include <penwick/wintypes.h>

#include <cstdint>
#include <string>
#include <vector>

class CEditorWnd;
class CFieldRow;

class CEditorScreen {
 public:
  explicit CEditorScreen(CEditorWnd* editor) : editor_(editor) {}

  /// \brief Shows the record: the bands that differ from what the window shows, the
  /// caret, and the scroll bar's range (0 to rows - 1) and position.
  void Show();
  /// \brief The scroll bar follows the view: enabled for two rows or more.
  void UpdateScrollBar();
  /// \brief Notes what a paint of `region` has put on the window.
  void Painted(const QRegion& region);
  /// \brief The band of screen row i in widget coordinates.
  QRect BandRect(int i) const;

 private:
  /// What one band shows.
  struct Band {
    const CFieldRow* row = nullptr;
    std::u16string text, tag, label;
    int from = 0, to = 0;  // inverted columns
    int flags = 0;         // first/last row of its field, icon states
    bool operator==(const Band&) const = default;
  };
  /// What every band depends on.
  struct Frame {
    uint64_t layoutKey = 0;
    int tagWidth = 0, bottom = 0, width = 0, height = 0, format = 0, boundaryX = -1;
    penwick::COLORREF colour = 0;
    bool customFont = false;
    bool operator==(const Frame&) const = default;
  };
  Band BandOf(int screenIndex, const CFieldRow* row) const;
  Frame FrameOf() const;

  CEditorWnd* editor_;
  std::vector<Band> painted_;
  Frame paintedFrame_;
  bool framePainted_ = false;
  QRect paintedCaret_;
};
