// CViewerAboutDlg (dialog 100): the program's name and version.
#pragma once

#include <ui/dialog.h>

class CViewerAboutDlg : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CViewerAboutDlg(QWidget* parent = nullptr);
};
