// Every modal window of the suite runs through here: dialogs through execDialog, message
// boxes through messageBox. A test installs a ModalHook and answers each one itself, so no
// test ever waits on a window.
#pragma once

#include <ui/export.h>
#include <ui/win.h>

#include <QString>

class QDialog;
class QWidget;

QORVEL_UI_API_BEGIN
namespace ui {

/// The icon of a message box, part of each message's own definition.
enum class Icon { None, Error, Warning, Information, Question };

/// What a message box would show.
struct MessageBoxInfo {
  QWidget* parent = nullptr;
  QString text;
  QString caption;
  Icon icon = Icon::None;
  unsigned buttons = MB_OK;  // MB_OK, MB_OKCANCEL, MB_YESNO ...
};

class ModalHook {
 public:
  virtual ~ModalHook() = default;
  /// \brief Answers a message box instead of showing it: IDOK, IDCANCEL, IDYES, IDNO ...
  virtual int messageBox(const MessageBoxInfo& box) = 0;
  /// \brief Runs a modal dialog instead of exec(): the dialog is initialised and shown
  /// (not modally); the hook acts on it and returns its result.
  virtual int dialog(QDialog& dialog) = 0;
};

/// \brief Installs a hook (null removes it); returns the previous one.
ModalHook* setModalHook(ModalHook* hook);
ModalHook* modalHook();

/// \brief Runs a dialog modally (DoModal): through the hook when one is installed, else
/// QDialog::exec(). A ui::Dialog is initialised first.
int execDialog(QDialog& dialog);

/// \brief Shows a message box with the message's icon and buttons (`buttons` one of MB_OK,
/// MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL, MB_ABORTRETRYIGNORE, MB_RETRYCANCEL); returns the
/// button pressed as IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY or IDIGNORE. An empty
/// caption shows the application's name.
int messageBox(QWidget* parent, const QString& text, const QString& caption = QString(),
               Icon icon = Icon::None, unsigned buttons = MB_OK);
/// \brief The same with a Win32 style word (buttons | MB_ICON...).
int messageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style);

/// \brief The icon named by a style word's MB_ICON... bits.
Icon iconOfStyle(unsigned style);
/// \brief The result of a message box's first (default) button.
int defaultButtonResult(unsigned buttons);

}  // namespace ui
QORVEL_UI_API_END
