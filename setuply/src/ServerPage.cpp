// What the two server pages share: the host and port boxes and the test button.
#include "Pages.h"
#include "SetupHelperApp.h"
#include "resource.h"

bool CServerPage::saveBoxes() {
  m_strHost = ui::controlText(this, IDC_Z39_HOST);
  // The integer exchange of the class library: a box that holds no number is prompted for.
  bool ok = false;
  int32_t n = ui::controlText(this, IDC_Z39_PORT).trimmed().toInt(&ok);
  if (!ok) {
    setuply::message(this, QStringLiteral("请输入一个整数。"), ui::Icon::Warning);
    item(IDC_Z39_PORT)->setFocus();
    return false;
  }
  m_nPort = n;
  return true;
}

void CServerPage::onCommand(int id) {
  if (id == IDC_Z39_TEST) OnTest();
}

void CServerPage::OnTest() {
  // A port that is no number has been prompted for; there is nothing to test yet.
  if (!saveBoxes()) return;
  QWidget* button = item(IDC_Z39_TEST);
  button->setEnabled(false);
  Outcome outcome = runTest();
  button->setEnabled(true);
  setuply::message(this, outcome.text, outcome.icon);
}
