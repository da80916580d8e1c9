// The file-types dialog against a registry of its own (a temporary QORVEL_HOME).
#include "file_types_dlg.h"

#include <loomkit/FileAssoc.h>
#include <platform/registry.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <map>

namespace {

const char16_t* const kExe = u"/opt/qorvel/Scrivo";
// Extension -> check box.
const std::map<std::u16string, int> kBoxes = {{u".mrc", 1001}, {u".iso", 1003}, {u".marc", 1002}, {u".dat", 1004}};

bool associated(const std::u16string& ext) {
  CFileAssoc a;
  return a.QueryTypeAssociation(ext.c_str(), kMarcFileType, kExe) != 0;
}

bool fileTypeKeyExists() {
  platform::RegKey k;
  return platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, kMarcFileType, k.put()) == platform::ERROR_SUCCESS;
}

// Runs the dialog: records which boxes it opened with, ticks `ticked` and presses `button`.
std::map<std::u16string, bool> runDialog(const std::map<std::u16string, bool>& ticked, int button) {
  uitest::ModalScript script;
  std::map<std::u16string, bool> opened;
  script.act([&](QDialog& d) {
    for (const auto& [ext, id] : kBoxes) {
      opened[ext] = ui::isChecked(&d, id);
      ui::setChecked(&d, id, ticked.count(ext) ? ticked.at(ext) : false);
    }
    uitest::click(&d, button);
  });
  CFileTypesDlg dlg(kExe);
  EXPECT_EQ(dlg.exec(), button);
  EXPECT_EQ(script.records().at(0).caption, QStringLiteral("设置打开方式"));
  return opened;
}

}  // namespace

TEST(FileTypes, AssociatesAndRemovesTheExtensions) {
  qtest::TempHome home;
  const std::map<std::u16string, bool> all = {{u".mrc", true}, {u".iso", true}, {u".marc", true}, {u".dat", true}};
  const std::map<std::u16string, bool> none = {{u".mrc", false}, {u".iso", false}, {u".marc", false}, {u".dat", false}};
  const std::map<std::u16string, bool> onlyDat = {{u".mrc", false}, {u".iso", false}, {u".marc", false}, {u".dat", true}};

  EXPECT_EQ(runDialog(all, ui::IDOK), none);
  for (const auto& [ext, id] : kBoxes) EXPECT_TRUE(associated(ext)) << platform::toUtf8(ext);

  // Cancel changes nothing, whatever is ticked.
  EXPECT_EQ(runDialog(none, ui::IDCANCEL), all);
  for (const auto& [ext, id] : kBoxes) EXPECT_TRUE(associated(ext));

  // Only ".dat" stays: the file type is kept for it.
  EXPECT_EQ(runDialog(onlyDat, ui::IDOK), all);
  for (const auto& [ext, id] : kBoxes) EXPECT_EQ(associated(ext), ext == u".dat") << platform::toUtf8(ext);
  EXPECT_TRUE(fileTypeKeyExists());

  // Nothing ticked: the file type goes with all its subkeys.
  {
    platform::RegKey extra;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CLASSES_ROOT, u"marc_iso2709_file\\DefaultIcon\\Deep", extra.put()),
              platform::ERROR_SUCCESS);
  }
  EXPECT_EQ(runDialog(none, ui::IDOK), onlyDat);
  EXPECT_FALSE(fileTypeKeyExists());
  for (const auto& [ext, id] : kBoxes) EXPECT_FALSE(associated(ext));
  // Nothing left to remove: still fine.
  EXPECT_TRUE(RemoveMarcFileType());
}

// A program path that no desktop entry can carry (a control character in a folder's name):
// OK says so and changes nothing.
TEST(FileTypes, AProgramPathWithControlCharactersIsRefused) {
  qtest::TempHome home;
  const std::u16string exe = u"/opt/qorvel\x1B/Scrivo";
  uitest::ModalScript script;
  script.act([&](QDialog& d) {
    ui::setChecked(&d, 1001, true);
    uitest::click(&d, ui::IDOK);
  });
  CFileTypesDlg dlg(exe);
  EXPECT_EQ(dlg.exec(), ui::IDCANCEL);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text, QStringLiteral("Scrivo程序所在的路径中含有控制字符，不能设置MARC文件的打开方式!"));
  EXPECT_EQ(script.messages()[0].icon, ui::Icon::Error);
  CFileAssoc a;
  EXPECT_EQ(a.QueryTypeAssociation(u".mrc", kMarcFileType, exe.c_str()), 0);
  EXPECT_FALSE(fileTypeKeyExists());
}
