// The pages of the Z39.50 service sheet: the duplicate-check server (CPageZ39, 18003), shown
// by Z3950Server, and an OPAC server (CPageOPAC, 18004), which no export shows. Both name a
// host and a port and carry a test button.
#pragma once

#include "PropertySheet.h"

#include <ui/modal.h>

#include <QString>

#include <cstdint>

/// What both pages share: host box 18003, port box 18009 and test button 18010.
class CServerPage : public CPropertyPage {
  Q_OBJECT
 public:
  using CPropertyPage::CPropertyPage;

  QString m_strHost;
  int32_t m_nPort = 0;

  /// \brief Copies the boxes into the members; a port that is no number is prompted for
  /// (the class library's prompt) and false returned.
  virtual bool saveBoxes();
  bool onApply() override { return saveBoxes(); }

  /// \brief The test button: saves the boxes and, when they hold a port, runs the page's test
  /// with the button disabled.
  void OnTest();

 protected:
  struct Outcome {
    QString text;
    ui::Icon icon = ui::Icon::None;
  };
  /// \brief The test itself: the message that reports it.
  virtual Outcome runTest() = 0;
  void onCommand(int id) override;
};

class CPageZ39 : public CServerPage {
  Q_OBJECT
 public:
  CPageZ39();

  /// The public catalogue server the page offers first.
  static constexpr const char16_t* kDefaultHost = u"z3950.loc.gov";

  QString m_strAccount;
  QString m_strDatabase;
  QString m_strPassword;

  bool saveBoxes() override;

 protected:
  void onInitDialog() override;
  /// \brief Connects with zoom.ZoomConn and searches the database.
  Outcome runTest() override;
};

class CPageOPAC : public CServerPage {
  Q_OBJECT
 public:
  CPageOPAC();

 protected:
  void onInitDialog() override;
  /// \brief Resolves the host and opens one TCP connection to it.
  Outcome runTest() override;
};
