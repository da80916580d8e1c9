// File associations against a temporary registry.
#include <loomkit/FileAssoc.h>

#include <platform/registry.h>
#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

const char16_t* kUserExts = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const char16_t* kExe = u"/opt/qorvelmarc/bin/Scrivo";
const char16_t* kType = u"marc_iso2709_file";

class FileAssoc : public ::testing::Test {
 protected:
  qtest::TempHome home;
  CFileAssoc assoc;

  static void setValue(HKEY root, const std::u16string& path, const char16_t* name, const std::u16string& v) {
    RegKey k;
    ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), k.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k.get(), name, v), ERROR_SUCCESS);
  }
  static bool value(HKEY root, const std::u16string& path, const char16_t* name, std::u16string* v = nullptr) {
    RegKey k;
    std::u16string s;
    bool ok = RegOpenKeyEx(root, path.c_str(), k.put()) == ERROR_SUCCESS && RegQueryValue(k.get(), name, s) == ERROR_SUCCESS;
    if (v) *v = s;
    return ok;
  }
  static bool keyExists(HKEY root, const std::u16string& path) {
    RegKey k;
    return RegOpenKeyEx(root, path.c_str(), k.put()) == ERROR_SUCCESS;
  }
  static void setUserChoice(const char16_t* ext, const std::u16string& app) {
    setValue(HKEY_CURRENT_USER, kUserExts + std::u16string(ext), u"Application", app);
  }
  static bool hasUserChoice(const char16_t* ext) {
    return value(HKEY_CURRENT_USER, kUserExts + std::u16string(ext), u"Application");
  }
};

TEST_F(FileAssoc, CreateWritesTheKeysAndNotifies) {
  std::vector<std::pair<int32_t, uint32_t>> seen;
  ShellNotifyHook old = setShellNotifyHook([&](int32_t e, uint32_t f, const void* a, const void* b) {
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    seen.emplace_back(e, f);
  });
  setUserChoice(u".mrc", u"other.exe");
  assoc.CreateTypeAssociation(u".mrc", kType, kExe);
  setShellNotifyHook(old);

  std::u16string v;
  ASSERT_TRUE(value(HKEY_CLASSES_ROOT, u".mrc", nullptr, &v));
  EXPECT_EQ(v, kType);
  ASSERT_TRUE(value(HKEY_CLASSES_ROOT, u"marc_iso2709_file\\shell\\Open\\Command", nullptr, &v));
  EXPECT_EQ(v, u"\"/opt/qorvelmarc/bin/Scrivo\" \"%1\"");
  EXPECT_FALSE(hasUserChoice(u".mrc"));
  EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, kUserExts + std::u16string(u".mrc")));  // only the value goes
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (std::pair<int32_t, uint32_t>(SHCNE_ASSOCCHANGED, 0x2000)));
  EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, kExe), 1);
}

TEST_F(FileAssoc, QueryMatchesWithoutRegardToCase) {
  assoc.CreateTypeAssociation(u".iso", kType, kExe);
  struct Case {
    const char16_t* ext;
    const char16_t* type;
    const char16_t* exe;
    int expected;
  } cases[] = {
      {u".iso", kType, kExe, 1},
      {u".ISO", u"MARC_ISO2709_FILE", kExe, 1},
      {u".iso", kType, u"/OPT/QORVELMARC/BIN/SCRIVO", 1},
      {u".iso", kType, u"/opt/qorvelmarc/bin/Scrivo2", 0},  // another program
      {u".iso", u"other_type", kExe, 0},
      {u".dat", kType, kExe, 0},  // not associated
  };
  for (const Case& c : cases)
    EXPECT_EQ(assoc.QueryTypeAssociation(c.ext, c.type, c.exe), c.expected) << platform::toUtf8(c.ext) << " " << platform::toUtf8(c.type) << " " << platform::toUtf8(c.exe);
}

TEST_F(FileAssoc, UserChoiceDecidesFirst) {
  // HKEY_CLASSES_ROOT\.marc names another file type, and its command another program.
  assoc.CreateTypeAssociation(u".marc", u"someone_else", u"/usr/bin/other");
  EXPECT_EQ(assoc.QueryTypeAssociation(u".marc", kType, kExe), 0);
  for (const char16_t* app : {u"Scrivo", u"SCRIVO", u"/opt/qorvelmarc/bin/scrivo", u"bin/Scr", u""}) {
    setUserChoice(u".marc", app);
    EXPECT_EQ(assoc.QueryTypeAssociation(u".marc", kType, kExe), 1) << platform::toUtf8(app);
  }
  setUserChoice(u".marc", u"Scrivo.exe");  // not within the path
  EXPECT_EQ(assoc.QueryTypeAssociation(u".marc", kType, kExe), 0);
}

TEST_F(FileAssoc, CommandOfAnotherProgramDoesNotMatch) {
  assoc.CreateTypeAssociation(u".mrc", kType, u"/usr/local/bin/Scrivo");
  EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, kExe), 0);
  setUserChoice(u".mrc", u"Scrivo");
  EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, kExe), 1);
}

TEST_F(FileAssoc, DeleteOwnExtensionRemovesItsSubtreeOnly) {
  assoc.CreateTypeAssociation(u".mrc", kType, kExe);
  setValue(HKEY_CLASSES_ROOT, u".mrc\\ShellNew\\Deep\\Deeper", u"x", u"1");
  setValue(HKEY_CLASSES_ROOT, u".mrc\\OpenWithList", nullptr, u"y");
  setUserChoice(u".mrc", kExe);
  assoc.DeleteTypeAssociation(u".MRC", u"Marc_Iso2709_File", kExe);
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, u".mrc"));
  EXPECT_TRUE(hasUserChoice(u".mrc"));  // not looked at in this case
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, u"marc_iso2709_file\\shell\\Open\\Command"));  // the file type stays
}

TEST_F(FileAssoc, DeleteOtherExtensionRemovesOnlyTheUsersChoiceOfThisProgram) {
  assoc.CreateTypeAssociation(u".dat", u"data_file", u"/usr/bin/dataview");
  setUserChoice(u".dat", u"Scrivo");
  assoc.DeleteTypeAssociation(u".dat", kType, kExe);
  EXPECT_FALSE(hasUserChoice(u".dat"));
  std::u16string v;
  ASSERT_TRUE(value(HKEY_CLASSES_ROOT, u".dat", nullptr, &v));
  EXPECT_EQ(v, u"data_file");

  setUserChoice(u".dat", u"/usr/bin/dataview");  // another program's choice stays
  assoc.DeleteTypeAssociation(u".dat", kType, kExe);
  EXPECT_TRUE(hasUserChoice(u".dat"));

  assoc.DeleteTypeAssociation(u".none", kType, kExe);  // nothing there: nothing happens
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, u".none"));
}

TEST_F(FileAssoc, EmptyExtensionNeverDeletesTheHive) {
  setValue(HKEY_CLASSES_ROOT, u"", nullptr, kType);  // the hive's own default names the type
  setValue(HKEY_CLASSES_ROOT, u".mrc", nullptr, kType);
  assoc.DeleteTypeAssociation(u"", kType, kExe);
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, u".mrc"));
}

TEST_F(FileAssoc, LongTextsAssociateAndQuery) {
  std::u16string exe = u"/srv/" + std::u16string(200, u'p') + u"/Scrivo";  // past any 256-character buffer
  std::u16string type = u"marc_" + std::u16string(240, u't');
  std::u16string ext = u"." + std::u16string(196, u'e');
  assoc.CreateTypeAssociation(ext.c_str(), type.c_str(), exe.c_str());
  EXPECT_EQ(assoc.QueryTypeAssociation(ext.c_str(), type.c_str(), exe.c_str()), 1);
  std::u16string upper = u"." + std::u16string(196, u'E');
  EXPECT_EQ(assoc.QueryTypeAssociation(upper.c_str(), type.c_str(), exe.c_str()), 1);
  setUserChoice(ext.c_str(), std::u16string(150, u'q'));
  assoc.DeleteTypeAssociation(ext.c_str(), type.c_str(), exe.c_str());
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, ext));
}

TEST_F(FileAssoc, StoreThatCannotBeWrittenGivesNoAssociation) {
  qtest::writeFile(home.path() / "registry", "not a folder");
  assoc.CreateTypeAssociation(u".mrc", kType, kExe);  // silent
  EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, kExe), 0);
  assoc.DeleteTypeAssociation(u".mrc", kType, kExe);
}

}  // namespace
