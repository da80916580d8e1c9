// Shared set-up of the dialog tests: a fresh Windows directory, a Loomstore.ini written from
// text, and the file read back.
#pragma once

#include <loomstore/ServerSettings.h>

#include <platform/paths.h>
#include <qorvel_testing/testing.h>
#include <ui/dialog.h>
#include <ui_testing/modal_script.h>

#include <QApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class DialogTest : public ::testing::Test {
 protected:
  std::string iniPath() const { return platform::profilePath(loomstore::kSettingsFile); }
  void writeIni(const std::string& text) { qtest::writeFile(iniPath(), text); }
  std::string iniText() const {
    return std::filesystem::exists(iniPath()) ? qtest::readFile(iniPath()) : std::string("<none>");
  }
  /// The lines of a section as the file holds them.
  std::vector<std::u16string> section(const char16_t* name) const {
    return platform::profileSection(loomstore::kSettingsFile, name);
  }
  std::u16string value(const char16_t* sectionName, const char16_t* key) const {
    return platform::profileString(loomstore::kSettingsFile, sectionName, key, u"<missing>", 1024);
  }
  /// Whether the focus would be on control `id` when the window is active.
  static bool focusOn(QDialog& d, int id) { return d.focusWidget() == ui::findControl(&d, id); }

  qtest::TempHome home_;
  uitest::ModalScript script_;
};

using Lines = std::vector<std::u16string>;
