// A property sheet: pages in tabs with OK and Cancel (no Apply, no Help). OK applies every
// page, and a page that refuses keeps the sheet open on it.
#pragma once

#include <ui/dialog.h>

#include <vector>

class QTabWidget;
class CPropertySheet;

/// A page of a property sheet: a dialog template shown inside the sheet.
class CPropertyPage : public ui::Dialog {
  Q_OBJECT
 public:
  CPropertyPage(int templateId, const QString& title);
  const QString& title() const { return title_; }

  /// \brief OK of the sheet: copies the boxes into the members; false keeps the sheet open.
  virtual bool onApply() { return true; }

 protected:
  // Enter and Esc inside the page act on the sheet.
  void onOK() override;
  void onCancel() override;

 private:
  friend class CPropertySheet;
  CPropertySheet* sheet_ = nullptr;
  QString title_;
};

class CPropertySheet : public ui::Dialog {
  Q_OBJECT
 public:
  explicit CPropertySheet(const QString& caption, QWidget* parent = nullptr);

  /// \brief Adds a page (the sheet owns it) and sizes the sheet to the largest page.
  void AddPage(CPropertyPage* page);
  std::vector<CPropertyPage*> pages() const { return pages_; }

  /// \brief OK: every page applies, then the sheet ends with IDOK.
  void onOK() override;
  void onCancel() override { endDialog(ui::IDCANCEL); }

 protected:
  void onInitDialog() override;

 private:
  void layoutSheet();
  QTabWidget* tabs_;
  std::vector<CPropertyPage*> pages_;
};
