// The mouse: placing the caret, selecting, dragging the selection, resizing the tag column,
// the Dublin Core row icons, the two popup menus and text dropped from outside.
#include "editor_window.h"
#include "subitem_dlg.h"
#include "xml_converter.h"

#include <ui/clipboard.h>
#include <ui/modal.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

using namespace penwick;

namespace {
// Client coordinates start inside the one-pixel border.
QPoint clientOf(const QMouseEvent& e) { return e.position().toPoint() - QPoint(1, 1); }

constexpr int kDefaultMenuFirstId = 52001;
}  // namespace

bool CEditorWnd::InTextArea(QPoint p) const {
  const CEditorLayout& L = Layout();
  return p.x() >= L.tagWidth && p.x() < L.textWidth && p.y() >= L.top && p.y() < L.bottom;
}

CFieldRow* CEditorWnd::RowAtPoint(QPoint p, int& column, bool& belowLast) const {
  belowLast = false;
  CFieldRow* row = ShownRow(Layout().RowIndexAtY(p.y()));
  if (!row) {
    belowLast = true;
    const int last = std::min(firstShownRow + VisibleRows(), Document().TotalRows()) - 1;
    row = Document().RowAt(last);
  }
  column = row ? Layout().ColumnAtX(row->text, p.x()) : 0;
  return row;
}

void CEditorWnd::CaretToPoint(CFieldRow* row, int column) {
  PlaceCaret(row, column);
  if (!hasFocus()) setFocus();
  caret_.Create();
  Repaint();
  NotifyParent(EDN_CARET, caretRow, caretColumn);
}

void CEditorWnd::ShiftClick(CFieldRow* row, int column) {
  if (!HasSelection()) {
    if (row == caretRow && column == caretColumn) return;
    if (Document().Before(row, column, caretRow, caretColumn))
      SetSelection(row, column, caretRow, caretColumn);
    else
      SetSelection(caretRow, caretColumn, row, column);
    return;
  }
  CFieldRow *a, *b;
  int ca, cb;
  OrderedSelection(a, ca, b, cb);
  if (row != a && Document().Before(row, column, a, ca)) {
    SetSelection(row, column, a, ca);
  } else if (a == b && row == a) {
    if (column < ca)
      SetSelection(row, column, b, cb);
    else if (column == ca)
      ClearSelection();
    else
      SetSelection(a, ca, row, column);
  } else if (row == a) {
    if (column == ca)
      ClearSelection();
    else
      SetSelection(row, column, b, cb);
  } else {
    SetSelection(a, ca, row, column);
  }
}

void CEditorWnd::mousePressEvent(QMouseEvent* e) {
  const QPoint p = clientOf(*e);
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const CEditorLayout& L = Layout();
  const bool inside = InTextArea(p);
  int column = 0;
  bool below = false;
  CFieldRow* row = RowAtPoint(p, column, below);

  if (e->button() == Qt::RightButton) {
    if (!inside) {
      if (L.TagCellTest(p.x()) && row && !below) ShowContextMenu(row->field, p);
      return;
    }
    if (!row || below) return;
    if (!InSelection(row, column)) ClearSelection();
    if (IsPartlyShown(row)) ScrollOneRow(1);
    contextRow = row;
    CaretToPoint(row, column);
    ShowOperationMenu(row, column, p);
    return;
  }
  if (e->button() != Qt::LeftButton) return;

  if (!inside) {
    const int boundary = L.BoundaryTest(p.x());
    if (boundary < 0) {
      boundaryDrag_ = true;
      boundaryX_ = p.x();
      update();
    } else if (boundary > 0 && row && !below) {
      SetSelection(row, 0, row, row->Length());
      Repaint();
    } else if (boundary == 0 && !IsMarc() && row && !below && !row->label.empty()) {
      const int i = ScreenIndex(row);
      const bool first = row == row->field->firstRow;
      if ((first && L.OverExpandIcon(p.x())) || (row->IsQualifierRow() && L.OverPickerButton(p.x()))) {
        pressedIcon_ = i;
        if (HasSelection()) ClearSelection();
        Repaint();
      }
    }
    return;
  }
  if (!row) return;
  if (below) ClearSelection();
  if (InSelection(row, column)) {
    dragging_ = true;
    setCursor(ctrl ? Qt::DragCopyCursor : Qt::DragMoveCursor);
  }
  if (IsPartlyShown(row) && !below) ScrollOneRow(1);
  if (!dragging_) {
    if (shift) {
      ShiftClick(row, column);
    } else {
      ClearSelection();
      anchorRow = row;
      anchorColumn = column;
    }
  }
  CaretToPoint(row, column);
}

void CEditorWnd::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = clientOf(*e);
  const CEditorLayout& L = Layout();
  const bool inside = InTextArea(p);
  if (!(e->buttons() & Qt::LeftButton)) {
    SetCursorFor(p, e->modifiers());
    return;
  }
  if (boundaryDrag_) {
    boundaryX_ = p.x();
    update();
    return;
  }
  // While the selection is dragged the cursor says whether it would be moved, copied or
  // dropped nowhere.
  if (dragging_) SetCursorFor(p, e->modifiers());
  if (!inside) return;
  int column = 0;
  bool below = false;
  CFieldRow* row = RowAtPoint(p, column, below);
  if (!row) return;
  if ((IsPartlyShown(row) && !below) || L.NearBottom(p.y())) {
    if (ScrollOneRow(1)) row = RowAtPoint(p, column, below);
  } else if (L.NearTop(p.y())) {
    if (ScrollOneRow(-1)) row = RowAtPoint(p, column, below);
  }
  if (!dragging_ && anchorRow) {
    if (row == anchorRow && column == anchorColumn)
      ClearSelection();
    else
      SetSelection(anchorRow, anchorColumn, row, column);
  }
  CaretToPoint(row, column);
}

// The right button's menus are shown on the press. The context-menu event Qt sends after it
// is taken here so that it never reaches the host window, whose own menu would otherwise pop
// up over the editor and swallow the next keystrokes.
void CEditorWnd::contextMenuEvent(QContextMenuEvent* e) { e->accept(); }

void CEditorWnd::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint p = clientOf(*e);
  if (boundaryDrag_) {
    EndBoundaryDrag(p.x());
    return;
  }
  if (dragging_) {
    EndSelectionDrag(p, e->modifiers() & Qt::ControlModifier);
    return;
  }
  const int pressed = pressedIcon_;
  pressedIcon_ = -1;
  int column = 0;
  bool below = false;
  CFieldRow* row = RowAtPoint(p, column, below);
  const CEditorLayout& L = Layout();
  if (pressed >= 0 && L.TagCellTest(p.x()) && !IsMarc() && row && !below) {
    if (row == row->field->firstRow && L.OverExpandIcon(p.x())) {
      row->field->GatherRows();
      row->field->ToggleQualifiers();
      LayoutKeepingPlaces(row->field);
      PlaceCaret(row, 0);
    } else if (row->IsQualifierRow() && L.OverPickerButton(p.x())) {
      ShowPicker(row, p);
    }
  }
  Repaint();
}

void CEditorWnd::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint p = clientOf(*e);
  const CEditorLayout& L = Layout();
  const bool inside = InTextArea(p);
  int column = 0;
  bool below = false;
  CFieldRow* row = RowAtPoint(p, column, below);
  if (!row || below) return;
  if (!inside) {
    if (L.TagCellTest(p.x())) EditFieldAttributes(row);
    return;
  }
  if (IsMarc()) SelectSubfield(row, column);
  Repaint();
}

void CEditorWnd::EndBoundaryDrag(int x) {
  boundaryDrag_ = false;
  CEditorLayout& L = Layout();
  int width = x < L.tagWidth ? x + CEditorLayout::kBar : x;
  if (width >= L.textWidth - 100) width = L.textWidth - 100;
  if (width < CEditorLayout::kMinTagWidth) width = CEditorLayout::kMinTagWidth;
  requestedTagWidth = width;
  L.tagWidth = width;
  ClearSelection();
  RelayoutKeepingCaret();
  Repaint();
}

void CEditorWnd::EndSelectionDrag(QPoint p, bool copy) {
  dragging_ = false;
  setCursor(Qt::IBeamCursor);
  int column = 0;
  bool below = false;
  CFieldRow* row = RowAtPoint(p, column, below);
  if (!row) return;
  if (InSelection(row, column)) {
    ClearSelection();
    Repaint();
    return;
  }
  // Nothing lands in the leader (any of its rows): a move would delete the selection and
  // then find no place that takes its text.
  if (row == Document().FirstRow() || IsLeaderRow(row)) return;
  const std::u16string text = SelectedText();
  if (copy) {
    ClearSelection();
    PlaceCaret(row, column);
    InsertString(text);
  } else {
    // The drop point is marked, the selection deleted, and the text goes where the mark is.
    CFieldRow *a, *b;
    int ca, cb;
    OrderedSelection(a, ca, b, cb);
    row->text.insert(size_t(column), 1, kDropMarker);
    row->dirty = true;
    if (row == a && column <= ca) ++ca;
    if (row == b && column <= cb) ++cb;
    SetSelection(a, ca, b, cb);
    if (!DeleteSelection()) {
      row->text.erase(size_t(column), 1);
      LayoutKeepingPlaces(row->field);
      Repaint();
      return;
    }
    for (CFieldRow* r = Document().FirstRow(); r; r = r->NextRow()) {
      const size_t at = r->text.find(kDropMarker);
      if (at == std::u16string::npos) continue;
      r->text.erase(at, 1);
      r->dirty = true;
      PlaceCaret(r, int(at));
      break;
    }
    InsertString(text);
  }
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CEditorWnd::SetCursorFor(QPoint p, Qt::KeyboardModifiers mods) {
  const CEditorLayout& L = Layout();
  const bool inside = InTextArea(p);
  if (dragging_) {
    setCursor(!inside ? Qt::ForbiddenCursor : (mods & Qt::ControlModifier) ? Qt::DragCopyCursor : Qt::DragMoveCursor);
    return;
  }
  const int boundary = inside ? 0 : L.BoundaryTest(p.x());
  setCursor(inside ? Qt::IBeamCursor
            : boundary < 0 ? Qt::SizeHorCursor
            : boundary > 0 ? Qt::UpArrowCursor
                           : Qt::ArrowCursor);
  // Dublin Core: the icon under the mouse is drawn hot; anywhere else the last hot icon
  // goes back to its plain look.
  CFieldRow* hot = nullptr;
  CFieldRow* row = !inside && boundary == 0 && !IsMarc() ? ShownRow(L.RowIndexAtY(p.y())) : nullptr;
  if (row && ((row == row->field->firstRow && L.OverExpandIcon(p.x())) ||
              (row->IsQualifierRow() && L.OverPickerButton(p.x()))))
    hot = row;
  if (hot != hotRow_) {
    hotRow_ = hot;
    update();
  }
}

// ---- menus ----

int CEditorWnd::RunMenu(const std::vector<CMenuItem>& items, QPoint point) {
  caret_.Destroy();
  int chosen = 0;
  if (const MenuChooser& chooser = MenuChooserInUse()) {
    chosen = chooser(items);
  } else {
    QMenu menu(this);
    std::function<void(QMenu&, const std::vector<CMenuItem>&)> fill = [&](QMenu& m, const std::vector<CMenuItem>& list) {
      for (const CMenuItem& item : list) {
        if (item.IsSeparator()) {
          m.addSeparator();
        } else if (!item.children.empty() || item.id == 0) {
          QMenu* sub = m.addMenu(ui::qs(item.text));
          sub->setEnabled(item.enabled);
          fill(*sub, item.children);
        } else {
          QAction* a = m.addAction(ui::qs(item.text));
          a->setData(item.id);
          a->setEnabled(item.enabled);
        }
      }
    };
    fill(menu, items);
    if (QAction* a = menu.exec(mapToGlobal(point + QPoint(1, 1) + QPoint(5, 8)))) chosen = a->data().toInt();
  }
  caret_.Show(IsShown(caretRow));
  update();
  return chosen;
}

void CEditorWnd::ShowOperationMenu(CFieldRow* row, int column, QPoint point) {
  const bool selection = HasSelection();
  const bool paste = ui::clipboardHas(ui::CF_UNICODETEXT) || ui::clipboardHas(ui::CF_HDROP);
  const intptr_t answer = NotifyParent(EDN_QUERY, row, column);
  CMenuItem defaults{0, u"取字段缺省值\tCtrl+Z", false, {}};
  if (QueryEnables(answer, QUERY_DEFAULTS_SHIFT)) {
    defaultRow = row;
    defaultColumn = column;
    defaults.enabled = true;
    const CXmlConverter::DefaultMenu fill =
        CXmlConverter::FillDefaultMenu(Document().DefaultSource(), Document().DefaultKey(), kDefaultMenuFirstId);
    for (const MenuEntry& e : fill.top) defaults.children.push_back({e.id, e.text, e.enabled, {}});
    defaults.children.push_back({});
    for (const MenuEntry& e : fill.appended) defaults.children.push_back({e.id, e.text, e.enabled, {}});
  }
  const std::vector<CMenuItem> items = {
      {32791, u"剪切\tCtrl+X", selection, {}},
      {32792, u"复制\tCtrl+C", selection, {}},
      {32793, u"粘贴\tCtrl+V", paste, {}},
      {},
      {32794, u"加拼音\tCtrl+S", true, {}},
      {32795, u"自动生成数据\tCtrl+A", QueryEnables(answer, QUERY_AUTODATA_SHIFT), {}},
      {32800, u"高级功能/模板\tCtrl+M", QueryEnables(answer, QUERY_TEMPLATE_SHIFT), {}},
      {32803, u"校验数据\tCtrl+T", true, {}},
      {},
      {32796, u"打印\tCtrl+P", true, {}},
      {32798, u"保存记录\tF2", true, {}},
      {32804, u"存缺省工作单\tCtrl+Y", true, {}},
      {32805, u"装入缺省工作单\tF4", true, {}},
      {32806, u"定制数据\tF9", true, {}},
      {},
      defaults,
  };
  const int id = RunMenu(items, point);
  if (id) Command(id);
}

void CEditorWnd::ShowContextMenu(CFieldItem* field, QPoint point) {
  if (!field) return;
  currentField = field;
  const int id = RunMenu(MenuItemsOf(field->ContextMenu(IsFieldClipboard())), point);
  if (id) Command(id);
}

void CEditorWnd::ShowTypeMenu(CFieldItem* field, QPoint point) {
  currentField = field;
  // The chosen id (50000 + n) reaches PickType through the command handling.
  if (const int id = RunMenu(MenuItemsOf(field->TypeMenu()), point)) Command(id);
}

void CEditorWnd::ShowSchemeMenu(CFieldItem* field, QPoint point) {
  currentField = field;
  // The chosen id (51000 + n) reaches PickScheme through the command handling.
  if (const int id = RunMenu(MenuItemsOf(field->SchemeMenu()), point)) Command(id);
}

void CEditorWnd::ShowPicker(CFieldRow* row, QPoint point) {
  CFieldItem* field = row->field;
  currentField = field;
  const std::u16string label = row->label;
  if (label == u"Type") return ShowTypeMenu(field, point);
  if (label == u"Scheme") return ShowSchemeMenu(field, point);
  if (label == u"Lang" || label == u"MarcID") {
    caret_.Destroy();
    if (PickQualifierCode(this, *field, label, Document().HostFolder())) {
      LayoutKeepingPlaces(field);
      NotifyParent(EDN_CHANGED, nullptr, 0);
    }
    Repaint();
    return;
  }
  ui::messageBox(this, QStringLiteral("not supported"));
}

// ---- drop ----

void CEditorWnd::DropText(QPoint point, std::u16string_view text) {
  raise();
  activateWindow();
  const CEditorLayout& L = Layout();
  if (!InTextArea(point) || !ShownRow(L.RowIndexAtY(point.y()))) return;
  // As a plain click at the point: the caret goes there and the selection is cleared.
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(point + QPoint(1, 1)), mapToGlobal(QPointF(point + QPoint(1, 1))),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  mousePressEvent(&press);
  dragging_ = false;
  InsertString(text);
  caret_.Create();
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}
