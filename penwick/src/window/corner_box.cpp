// The corner box: painted in the menu colour, and the paste of tagged record text.
#include "corner_box.h"

#include "editor_window.h"

#include <ui/messages.h>

#include <QPainter>

CCornerBox::CCornerBox(CEditorWnd* editor) : QWidget(editor), editor_(editor) {
  setProperty("windowClass", QString::fromLatin1(kClassName));
}

bool CCornerBox::event(QEvent* e) {
  if (e->type() == ui::MessageEvent::eventType()) {
    auto* m = static_cast<ui::MessageEvent*>(e);
    if (m->message == ui::WM_PASTE) editor_->PasteRecordText();
    m->result = 0;
    return true;
  }
  return QWidget::event(e);
}

void CCornerBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Button));
}
