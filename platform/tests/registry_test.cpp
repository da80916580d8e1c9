#include <platform/registry.h>
#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

class Registry : public ::testing::Test {
 protected:
  qtest::TempHome home;

  std::string hiveText(const char* hive) { return qtest::readFile(home.path() / "registry" / (std::string(hive) + ".reg")); }

  // Creates root\path and sets one value there.
  void put(HKEY root, const char16_t* path, const char16_t* name, std::u16string_view value) {
    RegKey k;
    ASSERT_EQ(RegCreateKeyEx(root, path, k.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k.get(), name, value), ERROR_SUCCESS);
  }

  std::u16string get(HKEY root, const char16_t* path, const char16_t* name, LONG* rc = nullptr) {
    RegKey k;
    std::u16string v;
    LONG r = RegOpenKeyEx(root, path, k.put());
    if (r == ERROR_SUCCESS) r = RegQueryValue(k.get(), name, v);
    if (rc) *rc = r;
    return v;
  }

  std::vector<std::u16string> subkeys(HKEY root, const char16_t* path) {
    RegKey k;
    std::vector<std::u16string> names;
    if (RegOpenKeyEx(root, path, k.put()) != ERROR_SUCCESS) return names;
    char16_t buf[300];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = 300;
      if (RegEnumKeyEx(k.get(), i, buf, &size) != ERROR_SUCCESS) break;
      names.emplace_back(buf, size);
    }
    return names;
  }
};

TEST_F(Registry, NamesKeepTheirCaseAndMatchWithoutIt) {
  put(HKEY_CLASSES_ROOT, u"Software\\Qorvel\\MarcFile", u"Application", u"scrivo");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"SOFTWARE\\qorvel\\marcfile", u"APPLICATION"), u"scrivo");

  // Writing through other spellings reuses the key and the value as first named.
  put(HKEY_CLASSES_ROOT, u"software\\QORVEL\\marcFILE", u"application", u"viewer");
  EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, u"Software\\Qorvel"), std::vector<std::u16string>{u"MarcFile"});
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"Software\\Qorvel\\MarcFile", u"Application"), u"viewer");
  EXPECT_NE(hiveText("HKEY_CLASSES_ROOT").find("[Software\\\\Qorvel\\\\MarcFile]\n\"Application\"=\"viewer\""),
            std::string::npos)
      << hiveText("HKEY_CLASSES_ROOT");

  // Only A-Z fold: a key differing in a non-ASCII letter's case is another key.
  put(HKEY_CLASSES_ROOT, u"\u00c9t\u00e9", nullptr, u"upper");
  put(HKEY_CLASSES_ROOT, u"\u00e9T\u00c9", nullptr, u"lower");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"\u00c9T\u00e9", u""), u"upper");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"\u00e9t\u00c9", u""), u"lower");
}

TEST_F(Registry, HivesAreSeparate) {
  put(HKEY_CLASSES_ROOT, u".mrc", nullptr, u"marc_iso2709_file");
  LONG rc = 0;
  get(HKEY_CURRENT_USER, u".mrc", nullptr, &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  put(HKEY_CURRENT_USER, u".mrc", nullptr, u"mine");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u".mrc", nullptr), u"marc_iso2709_file");
}

TEST_F(Registry, DefaultValueHasTheEmptyName) {
  put(HKEY_CLASSES_ROOT, u"zoom.ZoomConn", nullptr, u"zoom.ZoomConn");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"zoom.ZoomConn", u""), u"zoom.ZoomConn");
  EXPECT_NE(hiveText("HKEY_CLASSES_ROOT").find("@=\"zoom.ZoomConn\""), std::string::npos);
}

TEST_F(Registry, MissingThingsAreNotFound) {
  RegKey k;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"nothing\\here", k.put()), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(k);
  put(HKEY_CLASSES_ROOT, u"a", u"x", u"1");
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"a", k.put()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(k.get(), u"y"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValue(k.get(), u"X"), ERROR_SUCCESS);
  std::u16string v;
  EXPECT_EQ(RegQueryValue(k.get(), u"x", v), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"b"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"a\\b"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, CreateTellsNewFromExisting) {
  RegKey k;
  uint32_t disp = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"A\\\\B\\", k.put(), &disp), ERROR_SUCCESS);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"a\\b", k.put(), &disp), ERROR_SUCCESS);
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  // An empty key is kept in the file too.
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, u"A"), std::vector<std::u16string>{u"B"});
}

TEST_F(Registry, EnumeratesSubkeysInOrderAndDeletesThem) {
  for (const char16_t* name : {u"shell", u"DefaultIcon", u"Open", u"alpha"}) {
    RegKey k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, (std::u16string(u"ft\\") + name).c_str(), k.put()), ERROR_SUCCESS);
  }
  put(HKEY_CLASSES_ROOT, u"ft\\shell\\Open\\Command", nullptr, u"\"/usr/bin/scrivo\" \"%1\"");
  EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, u"ft"),
            (std::vector<std::u16string>{u"alpha", u"DefaultIcon", u"Open", u"shell"}));

  RegKey ft;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"ft", ft.put()), ERROR_SUCCESS);
  char16_t small[5];
  uint32_t size = 5;  // "alpha" needs 6
  EXPECT_EQ(RegEnumKeyEx(ft.get(), 0, small, &size), ERROR_MORE_DATA);
  size = 5;
  EXPECT_EQ(RegEnumKeyEx(ft.get(), 4, small, &size), ERROR_NO_MORE_ITEMS);

  EXPECT_EQ(RegDeleteKey(ft.get(), u"SHELL"), ERROR_ACCESS_DENIED);  // it has subkeys
  EXPECT_EQ(RegDeleteKey(ft.get(), u"alpha"), ERROR_SUCCESS);
  RegKey command;
  ASSERT_EQ(RegOpenKeyEx(ft.get(), u"shell\\open\\command", command.put()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTree(ft.get(), u"Shell"), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, u"ft"), (std::vector<std::u16string>{u"DefaultIcon", u"Open"}));

  // A handle whose key went away fails cleanly.
  std::u16string v;
  EXPECT_EQ(RegQueryValue(command.get(), nullptr, v), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueEx(command.get(), nullptr, u"x"), ERROR_KEY_DELETED);

  EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"ft"), ERROR_SUCCESS);
  EXPECT_TRUE(subkeys(HKEY_CLASSES_ROOT, u"").empty());
}

TEST_F(Registry, AnyTextSurvivesTheFile) {
  const std::u16string texts[] = {
      u"",
      u"\"quoted\" and \\back\\slashes\\",
      u"two\nlines\r\nand\ttab and \x01 control",
      u"\u5B8B\u4F53 \u4E2D\u6587 \U0001F600",
      std::u16string(1, char16_t(0xD800)) + u"lone surrogate",
      u"[not a section]",
      u"@=\"not a value\"",
      std::u16string(5000, u'x'),
  };
  int i = 0;
  for (const auto& t : texts) {
    std::u16string key = u"k" + std::u16string(1, char16_t(u'a' + i)) + u"]\"[";  // odd key names too
    put(HKEY_CURRENT_USER, key.c_str(), t.c_str(), t);
    put(HKEY_CURRENT_USER, key.c_str(), u"", t);
    ++i;
  }
  i = 0;
  for (const auto& t : texts) {
    std::u16string key = u"k" + std::u16string(1, char16_t(u'a' + i)) + u"]\"[";
    EXPECT_EQ(get(HKEY_CURRENT_USER, key.c_str(), t.c_str()), t) << i;
    EXPECT_EQ(get(HKEY_CURRENT_USER, key.c_str(), nullptr), t) << i;
    ++i;
  }
}

TEST_F(Registry, DamagedLinesAreSkipped) {
  std::filesystem::create_directories(home.path() / "registry");
  qtest::writeFile(home.path() / "registry" / "HKEY_CLASSES_ROOT.reg",
                   "[good]\n@=\"kept\"\ngarbage line\n\"bad=\"x\"\n\"v\"=\"unterminated\n\"w\"=\"ok\"\n"
                   "[bad\\q]\n@=\"dropped\"\n[other]\r\n\"x\"=\"crlf\"\r\n");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"good", nullptr), u"kept");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"good", u"w"), u"ok");
  EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"other", u"x"), u"crlf");
  LONG rc = 0;
  get(HKEY_CLASSES_ROOT, u"good", u"v", &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, StoreThatCannotBeWrittenIsAccessDenied) {
  put(HKEY_CLASSES_ROOT, u"existing", nullptr, u"1");
  // Replace the registry folder by a plain file: nothing can be written (even as root).
  std::filesystem::remove_all(home.path() / "registry");
  qtest::writeFile(home.path() / "registry", "not a folder");
  RegKey k;
  EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"new", k.put()), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueEx(HKEY_CLASSES_ROOT, u"name", u"x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"existing"), ERROR_ACCESS_DENIED);
}

TEST_F(Registry, WritersInTwoProcessesLoseNothing) {
  constexpr int kEach = 40;
  std::vector<pid_t> kids;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i) {
        std::u16string name = u"p" + std::u16string(1, char16_t(u'0' + p)) + u"-" + fromUtf8(std::to_string(i));
        RegKey k;
        ok &= RegCreateKeyEx(HKEY_CLASSES_ROOT, (u"shared\\" + name).c_str(), k.put()) == ERROR_SUCCESS;
        ok &= RegSetValueEx(HKEY_CLASSES_ROOT, name.c_str(), name) == ERROR_SUCCESS;
      }
      _exit(ok ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  }
  EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, u"shared").size(), size_t(2 * kEach));
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < kEach; ++i) {
      std::u16string name = u"p" + std::u16string(1, char16_t(u'0' + p)) + u"-" + fromUtf8(std::to_string(i));
      EXPECT_EQ(get(HKEY_CLASSES_ROOT, u"", name.c_str()), name);
    }
}

TEST_F(Registry, ChangeNotificationGoesToTheHook) {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);  // no hook: nothing happens
  std::vector<std::pair<int32_t, uint32_t>> seen;
  ShellNotifyHook old = setShellNotifyHook([&](int32_t e, uint32_t f, const void*, const void*) { seen.emplace_back(e, f); });
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
  setShellNotifyHook(old);
  SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, SHCNE_ASSOCCHANGED);
  EXPECT_EQ(seen[0].second, 0x2000u);
}

}  // namespace
