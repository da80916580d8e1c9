// Base of every dialog of the suite: a QDialog whose controls carry their numeric resource
// ids as objectName, laid out in dialog units of the dialog font, ending with the Win32
// results (IDOK 1, IDCANCEL 2) and run modally through ui::execDialog.
#pragma once

#include <ui/export.h>
#include <ui/win.h>

#include <QDialog>
#include <QRect>

class QAbstractButton;
class QLabel;
class QPushButton;

QORVEL_UI_API_BEGIN
namespace ui {

/// \brief Gives a control its resource id (as its objectName); IDC_STATIC clears it.
void setControlId(QWidget* w, int id);
/// \brief The resource id of a control, IDC_STATIC when it has none.
int controlId(const QWidget* w);
/// \brief The direct child of `dialog` that carries `id`, or null (GetDlgItem).
QWidget* findControl(const QWidget* dialog, int id);
template <class T>
T* findControlAs(const QWidget* dialog, int id) { return qobject_cast<T*>(findControl(dialog, id)); }

/// \brief The text of a control (edit, static, button, combo box's current text); `size`
/// > 0 cuts it as a Win32 read into a buffer of that many characters does (size - 1 kept).
QString controlText(const QWidget* dialog, int id, int size = 0);
/// \brief Sets the text of a control; false when there is no such control.
bool setControlText(QWidget* dialog, int id, const QString& text);
/// \brief Check state of a check box (false when there is none).
bool isChecked(const QWidget* dialog, int id);
void setChecked(QWidget* dialog, int id, bool on);

/// \brief Windows' dialog base units of a font: average character width and height.
QSize dialogBaseUnits(const QFont& f);
/// \brief Dialog units to pixels with the base units of `f` (MapDialogRect:
/// x * width / 4, y * height / 8).
QRect mapDialogRect(const QFont& f, const QRect& r);

class Dialog : public QDialog {
  Q_OBJECT
 public:
  /// \brief A dialog on resource template `templateId`, with the dialog font.
  explicit Dialog(int templateId, QWidget* parent = nullptr);

  int templateId() const { return templateId_; }

  /// \brief Runs the dialog modally through ui::execDialog; returns IDOK, IDCANCEL or
  /// whatever the dialog ended with.
  int exec() override;
  /// \brief Runs onInitDialog once (execDialog does it before showing the dialog).
  void initialize();
  /// \brief Ends the dialog with `result` (EndDialog).
  void endDialog(int result) { done(result); }

  /// \brief GetDlgItem.
  QWidget* item(int id) const { return findControl(this, id); }
  template <class T>
  T* itemAs(int id) const { return findControlAs<T>(this, id); }
  /// \brief Dialog units to pixels with this dialog's font.
  QRect mapDialogRect(const QRect& r) const;

  /// \brief Enter and the OK button: onOK (the dialog decides whether it ends).
  void accept() override;
  /// \brief Escape, the close box and the Cancel button: onCancel.
  void reject() override;

 protected:
  /// \brief Fills the controls; called once before the dialog shows.
  virtual void onInitDialog() {}
  virtual void onOK() { endDialog(IDOK); }
  virtual void onCancel() { endDialog(IDCANCEL); }
  /// \brief A button other than OK and Cancel was pressed.
  virtual void onCommand(int id) {}

  // Building the template: each control a direct child at a rectangle in dialog units.
  void setDialogSize(int width, int height);
  void place(QWidget* w, int id, int x, int y, int width, int height);
  QLabel* addStatic(const QString& text, int x, int y, int width, int height, int id = IDC_STATIC);
  /// \brief A push button; IDOK and IDCANCEL end the dialog through onOK / onCancel,
  /// any other id calls onCommand(id).
  QPushButton* addButton(int id, const QString& text, int x, int y, int width, int height,
                         bool isDefault = false);
  /// \brief Any control: `new T(this)` placed at a rectangle in dialog units with its id.
  template <class T>
  T* add(int id, int x, int y, int width, int height) {
    T* w = new T(this);
    place(w, id, x, y, width, height);
    return w;
  }
  /// \brief Routes a check box or other button's click to onCommand(id).
  void routeClicks(QAbstractButton* b, int id);

 private:
  int templateId_;
  bool initialised_ = false;
};

}  // namespace ui
QORVEL_UI_API_END
