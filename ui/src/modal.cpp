#include <ui/modal.h>

#include <ui/dialog.h>
#include <ui/fonts.h>

#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVariant>

#include <atomic>

namespace ui {

namespace {
// The hook is kept on the one application object, so that every library and program of the
// process sees the hook a test installs, whichever of them shows the window.
constexpr char kHookProperty[] = "qorvel.ui.modalHook";
std::atomic<ModalHook*> g_hookWithoutApp{nullptr};
}

ModalHook* setModalHook(ModalHook* hook) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return g_hookWithoutApp.exchange(hook);
  ModalHook* old = modalHook();
  app->setProperty(kHookProperty, QVariant::fromValue(reinterpret_cast<quintptr>(hook)));
  return old;
}

ModalHook* modalHook() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return g_hookWithoutApp.load();
  return reinterpret_cast<ModalHook*>(app->property(kHookProperty).value<quintptr>());
}

int execDialog(QDialog& dialog) {
  if (auto* d = qobject_cast<Dialog*>(&dialog)) d->initialize();
  if (ModalHook* h = modalHook()) {
    dialog.setResult(0);
    dialog.show();
    return h->dialog(dialog);
  }
  // Qualified: ui::Dialog::exec comes back here.
  return dialog.QDialog::exec();
}

Icon iconOfStyle(unsigned style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return Icon::Error;
    case MB_ICONQUESTION: return Icon::Question;
    case MB_ICONWARNING: return Icon::Warning;
    case MB_ICONINFORMATION: return Icon::Information;
    default: return Icon::None;
  }
}

namespace {

struct ButtonDef {
  int result;
  const char16_t* text;
  QMessageBox::ButtonRole role;
};

// The buttons of each style in their Windows order, with the texts of a Chinese system.
std::vector<ButtonDef> buttonsOf(unsigned buttons) {
  const ButtonDef ok{IDOK, u"确定", QMessageBox::AcceptRole};
  const ButtonDef cancel{IDCANCEL, u"取消", QMessageBox::RejectRole};
  const ButtonDef yes{IDYES, u"是(&Y)", QMessageBox::YesRole};
  const ButtonDef no{IDNO, u"否(&N)", QMessageBox::NoRole};
  const ButtonDef abort{IDABORT, u"中止(&A)", QMessageBox::RejectRole};
  const ButtonDef retry{IDRETRY, u"重试(&R)", QMessageBox::AcceptRole};
  const ButtonDef ignore{IDIGNORE, u"忽略(&I)", QMessageBox::AcceptRole};
  switch (buttons & MB_TYPEMASK) {
    case MB_OKCANCEL: return {ok, cancel};
    case MB_ABORTRETRYIGNORE: return {abort, retry, ignore};
    case MB_YESNOCANCEL: return {yes, no, cancel};
    case MB_YESNO: return {yes, no};
    case MB_RETRYCANCEL: return {retry, cancel};
    default: return {ok};
  }
}

QMessageBox::Icon qtIcon(Icon icon) {
  switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

int defaultButtonResult(unsigned buttons) { return buttonsOf(buttons).front().result; }

int messageBox(QWidget* parent, const QString& text, const QString& caption, Icon icon,
               unsigned buttons) {
  MessageBoxInfo info{parent, text, caption.isEmpty() ? QCoreApplication::applicationName() : caption,
                      icon, buttons & MB_TYPEMASK};
  if (ModalHook* h = modalHook()) return h->messageBox(info);

  installFonts();
  QMessageBox box(qtIcon(icon), info.caption, text, QMessageBox::NoButton, parent);
  std::vector<std::pair<QAbstractButton*, int>> results;
  const auto defs = buttonsOf(buttons);
  for (const ButtonDef& s : defs)
    results.emplace_back(box.addButton(QString::fromUtf16(s.text), s.role), s.result);
  box.setDefaultButton(static_cast<QPushButton*>(results.front().first));
  // Escape (and the close box) answer as Cancel where there is one, else as the only button.
  for (auto& [b, r] : results)
    if (r == IDCANCEL || defs.size() == 1) box.setEscapeButton(b);
  box.exec();
  for (auto& [b, r] : results)
    if (box.clickedButton() == b) return r;
  return defs.size() == 1 ? IDOK : IDCANCEL;
}

int messageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style) {
  return messageBox(parent, text, caption, iconOfStyle(style), style & MB_TYPEMASK);
}

}  // namespace ui
