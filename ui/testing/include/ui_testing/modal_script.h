// Test side of ui::ModalHook: answers message boxes and drives modal dialogs from a script
// of steps taken in order, and records every modal window that came up.
#pragma once

#include <ui/dialog.h>
#include <ui/modal.h>

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

struct ModalRecord {
  enum Kind { Message, Dialog };
  Kind kind = Message;
  QString className;   // dialogs: the class of the dialog
  int templateId = 0;  // ui::Dialog only
  QString caption;     // message caption or dialog title
  QString text;        // message text
  ui::Icon icon = ui::Icon::None;
  unsigned buttons = 0;
  int result = 0;
  bool scripted = true;  // false: no step was waiting for it
};

/// Installs itself as the modal hook for its lifetime.
///
/// A message box takes the next step when it is an answer; otherwise an MB_OK box is
/// answered IDOK and any other box its first button, and the record says it was not
/// scripted. A dialog takes the next step when it is an action: the action gets the live,
/// shown dialog and may fill controls and press buttons (ui::click); a dialog it leaves
/// open is ended with IDCANCEL. A dialog with no action waiting is cancelled.
/// A step still waiting when the script goes fails the running test: the
/// window it was meant for never came up. clear() drops steps a test no longer expects.
class ModalScript : public ui::ModalHook {
 public:
  ModalScript();
  ~ModalScript() override;

  ModalScript& answer(int result);
  ModalScript& act(std::function<void(QDialog&)> action);
  template <class D>
  ModalScript& actOn(std::function<void(D&)> action) {
    return act([action](QDialog& d) { action(dynamic_cast<D&>(d)); });
  }

  const std::vector<ModalRecord>& records() const { return records_; }
  std::vector<ModalRecord> messages() const;
  /// Steps not yet used.
  size_t pending() const { return steps_.size(); }
  bool allScripted() const;
  void clear() { records_.clear(); steps_.clear(); }

  int messageBox(const ui::MessageBoxInfo& box) override;
  int dialog(QDialog& dialog) override;

 private:
  struct Step {
    bool isAnswer;
    int result;
    std::function<void(QDialog&)> action;
  };
  std::deque<Step> steps_;
  std::vector<ModalRecord> records_;
  ui::ModalHook* previous_;
};

/// \brief Presses a button of a dialog by id (nothing when it is missing or disabled).
void click(QWidget* dialog, int id);
/// \brief The direct children of a dialog as sorted lines "id kind text": statics "static",
/// buttons "button", check boxes "check", group boxes "group" (with their texts), edits
/// "edit" or "password", drop-down lists "droplist" and combo boxes "combo" (items joined by
/// '|'), list boxes "list" or "sorted list"; a control without an id shows -1.
QStringList controlSummary(QWidget& dialog);
/// \brief Writes a PNG of the widget (QWidget::grab) as <build tree>/screenshots/<name>.png
/// and returns its path.
std::filesystem::path saveScreenshot(QWidget& w, const std::string& name);

}  // namespace uitest
