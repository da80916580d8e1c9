#include <ui_testing/modal_script.h>

#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace uitest {

ModalScript::ModalScript() : previous_(ui::setModalHook(this)) {}
ModalScript::~ModalScript() {
  ui::setModalHook(previous_);
  // A step left over is a dialog or message box the test expected and never saw: the
  // assertions inside its action never ran, so the test must not pass on them.
  if (!steps_.empty()) {
    size_t actions = 0;
    for (const Step& s : steps_) actions += s.isAnswer ? 0 : 1;
    ADD_FAILURE() << "ModalScript: " << steps_.size() << " scripted step(s) never used (" << actions
                  << " dialog action(s), " << steps_.size() - actions
                  << " message box answer(s)): an expected window did not come up";
  }
}

ModalScript& ModalScript::answer(int result) {
  steps_.push_back(Step{true, result, {}});
  return *this;
}

ModalScript& ModalScript::act(std::function<void(QDialog&)> action) {
  steps_.push_back(Step{false, 0, std::move(action)});
  return *this;
}

std::vector<ModalRecord> ModalScript::messages() const {
  std::vector<ModalRecord> out;
  for (const ModalRecord& r : records_)
    if (r.kind == ModalRecord::Message) out.push_back(r);
  return out;
}

bool ModalScript::allScripted() const {
  for (const ModalRecord& r : records_)
    if (!r.scripted) return false;
  return true;
}

int ModalScript::messageBox(const ui::MessageBoxInfo& box) {
  ModalRecord r;
  r.kind = ModalRecord::Message;
  r.caption = box.caption;
  r.text = box.text;
  r.icon = box.icon;
  r.buttons = box.buttons;
  if (!steps_.empty() && steps_.front().isAnswer) {
    r.result = steps_.front().result;
    steps_.pop_front();
  } else {
    r.scripted = box.buttons == ui::MB_OK;
    r.result = ui::defaultButtonResult(box.buttons);
  }
  records_.push_back(r);
  return r.result;
}

int ModalScript::dialog(QDialog& d) {
  // Recorded before the action runs, so that boxes the action raises come after it.
  size_t index = records_.size();
  ModalRecord r;
  r.kind = ModalRecord::Dialog;
  r.className = QString::fromLatin1(d.metaObject()->className());
  if (auto* u = qobject_cast<ui::Dialog*>(&d)) r.templateId = u->templateId();
  r.caption = d.windowTitle();
  records_.push_back(r);
  if (!steps_.empty() && !steps_.front().isAnswer) {
    auto action = std::move(steps_.front().action);
    steps_.pop_front();
    action(d);
  } else {
    records_[index].scripted = false;
  }
  if (d.isVisible()) d.done(ui::IDCANCEL);
  records_[index].result = d.result();
  return d.result();
}

void click(QWidget* dialog, int id) {
  if (auto* b = ui::findControlAs<QAbstractButton>(dialog, id)) b->click();
}

QStringList controlSummary(QWidget& d) {
  QStringList out;
  for (QWidget* w : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QString id = QString::number(ui::controlId(w));
    if (auto* b = qobject_cast<QCheckBox*>(w)) out << id + " check " + b->text();
    else if (auto* p = qobject_cast<QPushButton*>(w)) out << id + " button " + p->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w)) out << id + " group " + g->title();
    else if (auto* l = qobject_cast<QLabel*>(w)) out << id + " static " + l->text();
    else if (auto* e = qobject_cast<QLineEdit*>(w))
      out << id + (e->echoMode() == QLineEdit::Password ? " password" : " edit");
    else if (auto* c = qobject_cast<QComboBox*>(w)) {
      QStringList items;
      for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
      out << id + (c->isEditable() ? " combo " : " droplist ") + items.join('|');
    } else if (auto* l = qobject_cast<QListWidget*>(w))
      out << id + (l->isSortingEnabled() ? " sorted list" : " list");
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::filesystem::path saveScreenshot(QWidget& w, const std::string& name) {
  std::filesystem::path dir = qtest::binaryDir() / "screenshots";
  std::filesystem::create_directories(dir);
  std::filesystem::path p = dir / (name + ".png");
  w.grab().save(QString::fromStdString(p.string()), "PNG");
  return p;
}

}  // namespace uitest
