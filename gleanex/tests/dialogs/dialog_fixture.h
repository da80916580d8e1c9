// Shared set-up of the dialog tests: a temporary home (Loomstore.ini with a Z39.50 server
// and a record server), the suite's servers registered there, settings in memory and a
// scripted answer to every modal window.
#pragma once

#include "settings.h"

#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>

#include <gtest/gtest.h>

#include <functional>
#include <string>

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    qtest::writeFile(platform::profilePath(u"Loomstore.ini"),
                     "[Servers]\nLC=z39.50\n[LC]\nIP=127.0.0.1\ndatabases=Voyager+中文图书+\n");
    settings.userName = u"public";
  }

  /// Runs `dialog` modally with `act` driving it; the dialog's result.
  template <class D>
  int run(D& dialog, std::function<void(D&)> act) {
    script.actOn<D>(std::move(act));
    return dialog.exec();
  }
  /// The next file dialog picks `name` (checked by `check` first).
  void pickFile(const QString& name, std::function<void(QFileDialog&)> check = {}) {
    script.actOn<QFileDialog>([name, check](QFileDialog& f) {
      if (check) check(f);
      f.selectFile(name);
      QMetaObject::invokeMethod(&f, "accept", Qt::DirectConnection);
    });
  }
  static bool enabled(QWidget* d, int id) { return ui::findControl(d, id)->isEnabled(); }
  static bool visible(QWidget* d, int id) { return !ui::findControl(d, id)->isHidden(); }
  /// Clicks a check box or radio button as the user does (its state toggles, then it acts).
  static void toggle(QWidget* d, int id) { ui::findControlAs<QAbstractButton>(d, id)->click(); }

  qtest::TempHome home;
  uitest::ModalScript script;
  CAppSettings settings;
};
