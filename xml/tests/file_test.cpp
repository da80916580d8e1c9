// Loading files in their declared encodings and saving as UTF-8.
#include "xml_test_util.h"

#include <qorvel_testing/testing.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

using namespace xml;
using xmltest::u8;

namespace {

std::string le16(std::u16string_view s) {
  std::string b;
  for (char16_t c : s) {
    b.push_back(char(c & 0xFF));
    b.push_back(char(c >> 8));
  }
  return b;
}

std::string be16(std::u16string_view s) {
  std::string b;
  for (char16_t c : s) {
    b.push_back(char(c >> 8));
    b.push_back(char(c & 0xFF));
  }
  return b;
}

}  // namespace

TEST(XmlFile, LoadsEachEncoding) {
  struct Case {
    const char* what;
    std::string bytes;
    const char16_t* text;  // of the document element; null when the load must fail
  };
  const std::u16string body = u"<a k=\"\u4E2D\">\u4E2D\u6587\u0011</a>";
  const std::vector<Case> cases = {
      {"UTF-8 without BOM", "<a k=\"\xE4\xB8\xAD\">\xE4\xB8\xAD\xE6\x96\x87\x11</a>", u"\u4E2D\u6587\u0011"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE4\xB8\xAD</a>", u"\u4E2D"},
      {"UTF-8 BOM wins over a declared gb2312", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gb2312\"?><a>\xE4\xB8\xAD</a>", u"\u4E2D"},
      {"UTF-16LE with BOM", "\xFF\xFE" + le16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body), u"\u4E2D\u6587\u0011"},
      {"UTF-16BE with BOM", "\xFE\xFF" + be16(body), u"\u4E2D\u6587\u0011"},
      {"UTF-16LE without BOM, declared Unicode", le16(u"<?xml version=\"1.0\" encoding=\"Unicode\"?>" + body), u"\u4E2D\u6587\u0011"},
      {"UTF-16BE without BOM", be16(body), u"\u4E2D\u6587\u0011"},
      {"gb2312", "<?xml version=\"1.0\" encoding=\"gb2312\"?><a k=\"\xD6\xD0\">\xD6\xD0\xCE\xC4</a>", u"\u4E2D\u6587"},
      {"GBK in capitals, single quotes", "<?xml version='1.0' encoding='GBK'?><a>\x81\x40\xD6\xD0</a>", u"\u4E02\u4E2D"},
      {"GB18030 four-byte character", "<?xml version=\"1.0\" encoding=\"GB18030\"?><a>\x81\x30\x81\x30\xD6\xD0</a>", u"\u0080\u4E2D"},
      {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>", u"caf\u00E9"},
      {"malformed UTF-8", "<a>\xD6\xD0</a>", nullptr},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"no-such-charset\"?><a/>", nullptr},
      {"declared UTF-16 over 8-bit bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", nullptr},
      {"not well-formed", "<a>", nullptr},
      {"empty file", "", nullptr},
  };
  qtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto path = dir / "in.xml";
    qtest::writeFile(path, c.bytes);
    Document d = xmltest::loaded(u"<old/>");
    bool ok = d.load(path.string());
    EXPECT_EQ(ok, c.text != nullptr);
    if (c.text) {
      ASSERT_TRUE(d.documentElement());
      EXPECT_EQ(d.documentElement().text(), c.text);
    } else {
      EXPECT_FALSE(d.documentElement());
      EXPECT_EQ(d.asNode().childCount(), 0u);
    }
  }
  Document d = Document::create();
  EXPECT_FALSE(d.load((dir / "missing.xml").string()));
  EXPECT_FALSE(d.load(dir.path().string()));  // a folder
}

TEST(XmlFile, GbkFileKeepsItsDeclarationUntilSaved) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "gbk.xml", "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<root>\r\n  <Host name=\"\xD6\xD0\"/>\r\n</root>\r\n");
  Document d = Document::create();
  ASSERT_TRUE(d.load((dir / "gbk.xml").string()));
  EXPECT_EQ(d.xml(), u"<?xml version=\"1.0\" encoding=\"gb2312\"?><root><Host name=\"\u4E2D\"/></root>");
  EXPECT_EQ(d.selectSingleNode(u".//Host").getAttribute(u"name"), u"\u4E2D");
  ASSERT_TRUE(d.save((dir / "out.xml").string()));
  EXPECT_EQ(qtest::readFile(dir / "out.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><Host name=\"\xE4\xB8\xAD\"/></root>");
}

TEST(XmlFile, SaveWritesUtf8AndReadsBack) {
  struct Case {
    const char16_t* doc;
    const char* file;
  };
  const std::vector<Case> cases = {
      {u"<a/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"},
      {u"<?xml version=\"1.0\"?><a/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"},
      {u"<?xml version=\"1.0\" standalone=\"yes\"?><a/>", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><a/>"},
      {u"<?xml version=\"1.0\" encoding=\"Unicode\"?><!--c--><a/>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!--c--><a/>"},
      {u"<m><f n=\"\u0011\u0015\">\u0012\u0013&amp;</f></m>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><m><f n=\"\x11\x15\">\x12\x13&amp;</f></m>"},
  };
  qtest::TempDir dir;
  for (const Case& c : cases) {
    Document d = xmltest::loaded(c.doc);
    auto path = (dir / "out.xml").string();
    ASSERT_TRUE(d.save(path)) << u8(c.doc);
    EXPECT_EQ(qtest::readFile(path), c.file) << u8(c.doc);
    Document back = Document::create();
    ASSERT_TRUE(back.load(path)) << u8(c.doc);
    EXPECT_EQ(back.documentElement().xml(), d.documentElement().xml());
  }
  // A lone surrogate cannot be written as UTF-8: the file stays valid and loads again.
  Document d = Document::create();
  d.appendChild(d.createElement(u"a")).setText(std::u16string(1, char16_t(0xD800)));
  auto path = (dir / "lone.xml").string();
  ASSERT_TRUE(d.save(path));
  Document back = Document::create();
  ASSERT_TRUE(back.load(path));
  EXPECT_EQ(back.documentElement().text(), u"\uFFFD");
  EXPECT_FALSE(d.save((dir / "no-such-folder" / "x.xml").string()));
}

namespace {

// A document whose text is about `bytes` long.
Document documentOfSize(size_t bytes) {
  Document d = xmltest::loaded(u"<Server><Host name=\"localhost\"/></Server>");
  d.documentElement().firstChild().setAttribute(u"appBase", std::u16string(bytes, u'x'));
  return d;
}

std::vector<std::string> folderEntries(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// A failed save leaves the old file byte for byte and no temporary file beside it; the same
// save without the obstacle goes through (so each row could fail).
TEST(XmlFile, FailedSaveLeavesTheOldFileWhole) {
  struct Case {
    const char* what;
    uint64_t sizeLimit;  // 0: none
    unsigned folderMode, fileMode;
    bool saved;
  };
  const std::vector<Case> cases = {
      {"file-size limit below the new text", 1024, 0755, 0644, false},
      {"file-size limit above it", 1 << 20, 0755, 0644, true},
      {"read-only folder", 0, 0555, 0644, false},
      {"read-only file", 0, 0755, 0444, false},
      {"writable file and folder", 0, 0755, 0644, true},
  };
  const std::string old = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Server>" + std::string(900, ' ') + "</Server>\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qtest::TempDir top;
    const auto dir = top / "conf";
    std::filesystem::create_directory(dir);
    const auto path = dir / "server.xml";
    qtest::writeFile(path, old);
    chmod(path.c_str(), c.fileMode);
    chmod(dir.c_str(), c.folderMode);
    Document d = documentOfSize(2000);
    int rc = qtest::inChildProcess([&] {
      if (c.sizeLimit) qtest::limitFileSize(c.sizeLimit);
      qtest::obeyFilePermissions();
      return d.save(path.string()) ? 1 : 0;
    });
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(rc, c.saved ? 1 : 0);
    EXPECT_EQ(folderEntries(dir), std::vector<std::string>{"server.xml"});
    if (c.saved) {
      Document back = Document::create();
      ASSERT_TRUE(back.load(path.string()));
      EXPECT_EQ(back.documentElement().xml(), d.documentElement().xml());
    } else {
      EXPECT_EQ(qtest::readFile(path), old);
    }
  }
}

// The replaced file keeps its permissions, and a link stays a link to the rewritten file.
TEST(XmlFile, SaveKeepsPermissionsAndLinks) {
  qtest::TempDir dir;
  const auto path = dir / "Config.xml";
  qtest::writeFile(path, "<a/>");
  chmod(path.c_str(), 0640);
  std::filesystem::create_symlink(path, dir / "link.xml");
  Document d = xmltest::loaded(u"<b/>");
  ASSERT_TRUE(d.save((dir / "link.xml").string()));
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.xml"));
  EXPECT_EQ(qtest::readFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><b/>");
}
