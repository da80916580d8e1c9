#include <ui/dialog.h>

#include <ui/fonts.h>
#include <ui/modal.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace ui {

void setControlId(QWidget* w, int id) {
  if (w) w->setObjectName(id == IDC_STATIC ? QString() : QString::number(id));
}

int controlId(const QWidget* w) {
  if (!w) return IDC_STATIC;
  bool ok = false;
  int id = w->objectName().toInt(&ok);
  return ok ? id : IDC_STATIC;
}

QWidget* findControl(const QWidget* dialog, int id) {
  if (!dialog || id == IDC_STATIC) return nullptr;
  // Controls are direct children, as in a dialog template; a nested dialog that happens to
  // reuse an id is not one of ours.
  return dialog->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QString controlText(const QWidget* dialog, int id, int size) {
  QWidget* w = findControl(dialog, id);
  QString t;
  if (auto* e = qobject_cast<QLineEdit*>(w)) t = e->text();
  else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) t = p->toPlainText();
  else if (auto* l = qobject_cast<QLabel*>(w)) t = l->text();
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) t = b->text();
  else if (auto* c = qobject_cast<QComboBox*>(w)) t = c->currentText();
  else if (w) t = w->windowTitle();
  if (size > 0 && t.size() > size - 1) t.truncate(size - 1);
  return t;
}

bool setControlText(QWidget* dialog, int id, const QString& text) {
  QWidget* w = findControl(dialog, id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
  else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->setPlainText(text);
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
  else if (auto* c = qobject_cast<QComboBox*>(w)) {
    if (c->isEditable()) c->setEditText(text);
    else return false;
  } else return false;
  return true;
}

bool isChecked(const QWidget* dialog, int id) {
  auto* b = findControlAs<QAbstractButton>(dialog, id);
  return b && b->isChecked();
}

void setChecked(QWidget* dialog, int id, bool on) {
  if (auto* b = findControlAs<QAbstractButton>(dialog, id)) b->setChecked(on);
}

QSize dialogBaseUnits(const QFont& f) {
  QFontMetrics fm(f);
  // Windows' GdiGetCharDimensions: the mean width of the 52 Latin letters, rounded.
  static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  return QSize(width, fm.height());
}

QRect mapDialogRect(const QFont& f, const QRect& r) {
  QSize u = dialogBaseUnits(f);
  auto mx = [&](int v) { return v * u.width() / 4; };
  auto my = [&](int v) { return v * u.height() / 8; };
  return QRect(mx(r.x()), my(r.y()), mx(r.width()), my(r.height()));
}

Dialog::Dialog(int templateId, QWidget* parent) : QDialog(parent), templateId_(templateId) {
  installFonts();
  setFont(dialogFont());
  setObjectName(QStringLiteral("dialog%1").arg(templateId));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

int Dialog::exec() { return execDialog(*this); }

void Dialog::initialize() {
  if (initialised_) return;
  initialised_ = true;
  onInitDialog();
}

QRect Dialog::mapDialogRect(const QRect& r) const { return ui::mapDialogRect(font(), r); }

void Dialog::accept() { onOK(); }
void Dialog::reject() { onCancel(); }

void Dialog::setDialogSize(int width, int height) {
  setFixedSize(mapDialogRect(QRect(0, 0, width, height)).size());
}

void Dialog::place(QWidget* w, int id, int x, int y, int width, int height) {
  setControlId(w, id);
  w->setGeometry(mapDialogRect(QRect(x, y, width, height)));
}

QLabel* Dialog::addStatic(const QString& text, int x, int y, int width, int height, int id) {
  auto* l = add<QLabel>(id, x, y, width, height);
  l->setText(text);
  return l;
}

QPushButton* Dialog::addButton(int id, const QString& text, int x, int y, int width, int height,
                               bool isDefault) {
  auto* b = add<QPushButton>(id, x, y, width, height);
  b->setText(text);
  b->setAutoDefault(false);
  b->setDefault(isDefault);
  routeClicks(b, id);
  return b;
}

void Dialog::routeClicks(QAbstractButton* b, int id) {
  connect(b, &QAbstractButton::clicked, this, [this, id] {
    if (id == IDOK) onOK();
    else if (id == IDCANCEL) onCancel();
    else onCommand(id);
  });
}

}  // namespace ui
