// The 16 x 16 box where the editor's two scroll bars meet (window class "CORVANE EDITOR").
// In MARC mode a WM_PASTE to it replaces the record with the clipboard's tagged record text.
#pragma once

#include <QWidget>

class CEditorWnd;

class CCornerBox : public QWidget {
  Q_OBJECT
 public:
  /// The window class name a host finds the box by.
  static constexpr const char* kClassName = "CORVANE EDITOR";
  explicit CCornerBox(CEditorWnd* editor);

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  CEditorWnd* editor_;
};
