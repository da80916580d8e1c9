// Shared by the dialog tests: a host folder with the editor's files, and a scripted modal
// hook that drives each dialog.
#pragma once

#include <platform/paths.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>
#include <ui/dialog.h>
#include <ui_testing/modal_script.h>

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <string>

struct DialogTest : ::testing::Test {
  qtest::TempDir host;
  uitest::ModalScript script;

  std::u16string hostFolder() const { return platform::pathToWide(host.path().string()); }
  std::u16string file(const std::string& name) const { return platform::pathToWide((host / name).string()); }
  void write(const std::string& name, const std::string& bytes) const { qtest::writeFile(host / name, bytes); }

  void TearDown() override {
    // A dialog the test did not script, or a message box of any kind, is a fault here:
    // these dialogs never show one.
    EXPECT_TRUE(script.allScripted());
    EXPECT_TRUE(script.messages().empty());
  }
};

inline std::string u8(const std::u16string& s) { return platform::toUtf8(s); }
inline std::string u8(const QString& s) { return s.toStdString(); }

/// \brief What a user's pick of entry text in a list does: select it and tell the dialog.
inline void pick(QComboBox* box, const QString& text) {
  int i = box->findText(text);
  ASSERT_GE(i, 0) << text.toStdString();
  box->setCurrentIndex(i);
  emit box->activated(i);
}

inline QStringList entries(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}
