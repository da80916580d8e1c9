// File associations as the Linux desktop sees them: the real freedesktop tools (xdg-mime,
// which asks File::MimeInfo outside a desktop session, over a MIME database built by
// update-mime-database) are asked what type a file has and which program opens it, with
// XDG_DATA_HOME and XDG_CONFIG_HOME in a temporary folder.
#include <loomkit/FileAssoc.h>

#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char16_t* kType = u"marc_iso2709_file";
const char* kEntry = "qorvelmarc-marc_iso2709_file.desktop";

// A leader of MARC 21 ("4500") and one of UNIMARC, as Chinese catalogues write it ("450 ").
const std::string kMarc21 = "00050nam  2200037   4500" + std::string("001000100000\x1E" "1\x1E\x1D");
const std::string kUnimarc = "00050nam0 2200037   450 " + std::string("001000100000\x1E" "1\x1E\x1D");

// The start of an ISO 9660 image: 16 empty sectors, then the primary volume descriptor.
std::string isoImage() {
  std::string b(32768, '\0');
  b += std::string("\x01" "CD001\x01", 7);
  b.resize(36864, '\0');
  return b;
}

class DesktopAssoc : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"xdg-mime", "mimetype", "update-mime-database"})
      ASSERT_EQ(qtest::run(std::string("command -v ") + tool + " >/dev/null"), 0) << tool << " is not installed";
    data = std::getenv("XDG_DATA_HOME");
    config = std::getenv("XDG_CONFIG_HOME");
    fs::create_directories(config);
    // xdg-mime answers with a default only when the program its entry starts exists.
    fs::create_directories(files.path() / "bin");
    exe = files.path() / "bin" / "Scrivo";
    qtest::writeFile(exe, "#!/bin/sh\n");
    fs::permissions(exe, fs::perms::owner_all);
    exe16 = platform::fromUtf8(exe.string());
  }

  // What xdg-mime answers outside any desktop session, without its line break.
  static std::string xdgMime(const std::string& args) {
    std::string out;
    qtest::run("env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID xdg-mime " +
                   args + " 2>/dev/null",
               &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }
  std::string typeOf(const std::string& name, const std::string& bytes) {
    fs::path p = files.path() / name;
    qtest::writeFile(p, bytes);
    return xdgMime("query filetype '" + p.string() + "'");
  }
  static std::string defaultProgram() { return xdgMime("query default application/marc"); }

  void create(const char16_t* ext, const char16_t* program = nullptr) {
    assoc.CreateTypeAssociation(ext, kType, program ? program : exe16.c_str());
  }
  void remove(const char16_t* ext) { assoc.DeleteTypeAssociation(ext, kType, exe16.c_str()); }
  // Another program's desktop entry, that a default may name.
  void otherProgram(const std::string& id) {
    fs::create_directories(data / "applications");
    qtest::writeFile(data / "applications" / id, "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n");
  }

  // Our files below the data folder, by name.
  std::vector<std::string> ours() const {
    std::vector<std::string> out;
    for (const char* sub : {"mime/packages", "applications"}) {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(data / sub, ec))
        if (e.path().filename().string().rfind("qorvelmarc-", 0) == 0) out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string mimeApps() const { return qtest::readFile(config / "mimeapps.list"); }

  qtest::TempHome home;
  qtest::TempDir files;
  fs::path data, config, exe;
  std::u16string exe16;
  CFileAssoc assoc;
};

// Every extension of the viewer: record files open with the program, an ISO 9660 image named
// .iso stays a disk image, and taking the extensions away one by one gives the user's
// earlier default back only with the last; what else mimeapps.list says stays.
TEST_F(DesktopAssoc, CreateAndDeleteFollowTheRegistry) {
  const std::string before =
      "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\napplication/marc=marcedit.desktop\n"
      "text/plain=gedit.desktop\n";
  qtest::writeFile(config / "mimeapps.list", before);
  otherProgram("marcedit.desktop");
  EXPECT_EQ(typeOf("disk.iso", isoImage()), "application/x-cd-image");
  EXPECT_EQ(defaultProgram(), "marcedit.desktop");

  for (const char16_t* ext : {u".mrc", u".iso", u".marc", u".dat"}) create(ext);
  for (const char16_t* ext : {u".mrc", u".iso", u".marc", u".dat"})
    EXPECT_EQ(assoc.QueryTypeAssociation(ext, kType, exe16.c_str()), 1) << platform::toUtf8(ext);

  struct Case {
    const char* name;
    std::string bytes;
    const char* type;
  };
  const Case cases[] = {
      {"x.mrc", "", "application/marc"},  // by name alone
      {"UPPER.MRC", kMarc21, "application/marc"},
      {"b.marc", kUnimarc, "application/marc"},
      {"records.iso", kMarc21, "application/marc"},  // by content where the name is shared
      {"records.dat", kUnimarc, "application/marc"},
      {"disk.iso", isoImage(), "application/x-cd-image"},
      {"notes.txt", "00050 is not a record at all\n", "text/plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(typeOf(c.name, c.bytes), c.type) << c.name;
  EXPECT_EQ(defaultProgram(), kEntry);
  const std::string entry = qtest::readFile(data / "applications" / kEntry);
  for (const std::string& line : std::vector<std::string>{"[Desktop Entry]\n", "\nType=Application\n", "\nName=Scrivo\n",
                                  "\nExec=" + exe.string() + " %f\n", "\nMimeType=application/marc;\n", "\nTerminal=false\n"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  if (qtest::run("command -v desktop-file-validate >/dev/null") == 0) {
    std::string complaints;
    EXPECT_EQ(qtest::run("desktop-file-validate '" + (data / "applications" / kEntry).string() + "' 2>&1", &complaints), 0);
    EXPECT_EQ(complaints, "");
  }
  EXPECT_NE(mimeApps().find("text/plain=gedit.desktop;\n"), std::string::npos);

  remove(u".mrc");
  EXPECT_NE(typeOf("x.mrc", ""), "application/marc");
  EXPECT_EQ(typeOf("records.dat", kUnimarc), "application/marc");
  EXPECT_EQ(defaultProgram(), kEntry);  // .iso, .marc and .dat still open with it
  EXPECT_EQ(ours(), (std::vector<std::string>{"qorvelmarc-marc_iso2709_file-dat.xml", "qorvelmarc-marc_iso2709_file-iso.xml",
                                              "qorvelmarc-marc_iso2709_file-marc.xml", kEntry}));

  for (const char16_t* ext : {u".iso", u".marc", u".dat"}) remove(ext);
  EXPECT_EQ(defaultProgram(), "marcedit.desktop");
  EXPECT_TRUE(ours().empty());
  EXPECT_EQ(mimeApps(), before);
  EXPECT_EQ(typeOf("disk.iso", isoImage()), "application/x-cd-image");
  EXPECT_NE(typeOf("records.dat", kUnimarc), "application/marc");
}

// Without an earlier default, the last Delete leaves none; a default the user chose since
// Create is theirs and stays; Delete of an extension that Create never wrote changes nothing.
TEST_F(DesktopAssoc, DefaultsGivenBackOnlyWhenStillOurs) {
  create(u".mrc");
  EXPECT_EQ(defaultProgram(), kEntry);
  remove(u".iso");  // never associated
  EXPECT_EQ(defaultProgram(), kEntry);
  EXPECT_EQ(ours().size(), 2u);
  remove(u".mrc");
  EXPECT_EQ(defaultProgram(), "");
  EXPECT_EQ(mimeApps().find("application/marc"), std::string::npos);

  create(u".mrc");
  create(u".mrc");  // again: the earlier default is not lost to our own
  otherProgram("chosen.desktop");
  qtest::writeFile(config / "mimeapps.list", "[Default Applications]\napplication/marc=chosen.desktop\n");
  remove(u".mrc");
  EXPECT_EQ(defaultProgram(), "chosen.desktop");
}

// A program path that needs quoting in Exec still gives a valid entry that names it.
TEST_F(DesktopAssoc, ExecQuotesThePath) {
  struct Case {
    const char16_t* exe;
    const char* exec;
  };
  const Case cases[] = {
      {u"/opt/qorvelmarc/bin/Scrivo", "Exec=/opt/qorvelmarc/bin/Scrivo %f"},
      {u"/opt/Qorvel MARC/bin/Scrivo", "Exec=\"/opt/Qorvel MARC/bin/Scrivo\" %f"},
      {u"/opt/100%/$HOME/Scrivo", "Exec=\"/opt/100%%/\\\\$HOME/Scrivo\" %f"},
      {u"/opt/书目/Scrivo", "Exec=/opt/书目/Scrivo %f"},
  };
  for (const Case& c : cases) {
    create(u".mrc", c.exe);
    const fs::path entry = data / "applications" / kEntry;
    EXPECT_NE(qtest::readFile(entry).find(std::string("\n") + c.exec + "\n"), std::string::npos) << c.exec;
    if (qtest::run("command -v desktop-file-validate >/dev/null") == 0) {
      EXPECT_EQ(qtest::run("desktop-file-validate '" + entry.string() + "' >/dev/null 2>&1"), 0) << c.exec;
    }
  }
}

// What GLib makes of our desktop entry when it opens `file` with it: the program it starts
// and its arguments, as that program saw them (each followed by a NUL). Debian's python3 with
// GLib's introspection data launches the entry for real.
std::string launchedBy(const fs::path& entry, const fs::path& file, const fs::path& out) {
  fs::remove(out);
  const std::string script =
      "import sys, gi\n"
      "gi.require_version('Gio', '2.0')\n"
      "from gi.repository import Gio\n"
      "info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])\n"
      "sys.exit(0 if info and info.launch([Gio.File.new_for_path(sys.argv[2])], None) else 1)\n";
  qtest::writeFile(out.string() + ".py", script);
  if (qtest::run("/usr/bin/python3 '" + out.string() + ".py' '" + entry.string() + "' '" + file.string() + "'") != 0)
    return "launch failed";
  // The program runs on its own: wait for what it leaves (it renames its file into place).
  for (int i = 0; i < 6000 && !fs::exists(out); ++i) usleep(10000);
  return qtest::readFile(out);
}

// Control characters in the program's path. Tab, line feed and carriage return are written
// as escapes inside the quoted path: the entry keeps its own lines (a line feed cannot start
// a key of its own), desktop-file-validate takes it, and GLib starts exactly that program with
// the file. Any other control character is refused: nothing is written, registry or desktop.
// (No "%" here: GLib looks for the program before it turns "%%" back into "%", so it loads
// no entry whose program path holds one.)
TEST_F(DesktopAssoc, ControlCharactersInTheProgramPath) {
  ASSERT_EQ(qtest::run("desktop-file-validate --help >/dev/null 2>&1"), 0) << "desktop-file-validate is not installed";
  ASSERT_EQ(qtest::run("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gio\", \"2.0\")' 2>/dev/null"), 0)
      << "python3-gi is not installed";
  const fs::path out = files.path() / "launched";
  const fs::path record = files.path() / "a record.mrc";
  const fs::path entry = data / "applications" / kEntry;
  for (const char* folder : {"line\nMimeType=text/plain;\nfeed", "a\ttab", "carriage\rreturn", "all \t\n\r $HOME \\ \"`"}) {
    const fs::path program = files.path() / folder / "Scrivo";
    fs::create_directories(program.parent_path());
    qtest::writeFile(program, "#!/bin/sh\nprintf '%s\\0' \"$0\" \"$@\" > '" + out.string() + ".part' && mv '" +
                                  out.string() + ".part' '" + out.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    create(u".mrc", platform::fromUtf8(program.string()).c_str());
    const std::string text = qtest::readFile(entry);
    EXPECT_EQ(text.find('\t'), std::string::npos) << folder;
    EXPECT_EQ(text.find('\r'), std::string::npos) << folder;
    EXPECT_EQ(text.find("\nMimeType=text/plain"), std::string::npos) << folder;
    EXPECT_EQ(qtest::run("desktop-file-validate '" + entry.string() + "' >/dev/null 2>&1"), 0) << folder;
    EXPECT_EQ(launchedBy(entry, record, out), program.string() + '\0' + record.string() + '\0') << folder;
  }

  fs::remove_all(data);
  fs::remove_all(config);
  fs::create_directories(config);
  for (const char16_t* path : {u"/opt/a\x01" u"b/Scrivo", u"/opt/esc\x1B[0m/Scrivo", u"/opt/del\x7F/Scrivo", u"/opt/c1\x85/Scrivo", u""}) {
    EXPECT_EQ(CanAssociateProgram(path), 0);
    create(u".mrc", path);
    EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, path), 0);
    EXPECT_TRUE(ours().empty());
    EXPECT_FALSE(fs::exists(config / "mimeapps.list"));
  }
  EXPECT_EQ(CanAssociateProgram(u"/opt/a\tb/书目/Scrivo"), 1);
}

// Without the cache tools the files are still written and the registry still holds.
TEST_F(DesktopAssoc, MissingToolsFailNothing) {
  const std::string path = std::getenv("PATH");
  setenv("PATH", files.path().c_str(), 1);
  create(u".mrc");
  remove(u".iso");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(assoc.QueryTypeAssociation(u".mrc", kType, exe16.c_str()), 1);
  EXPECT_EQ(ours(), (std::vector<std::string>{"qorvelmarc-marc_iso2709_file-mrc.xml", kEntry}));
  EXPECT_NE(mimeApps().find("application/marc=" + std::string(kEntry)), std::string::npos);
}

}  // namespace
