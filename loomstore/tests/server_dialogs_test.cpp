#include "dialog_fixture.h"

#include <loomstore/RecordServerDlg.h>
#include <loomstore/Z3950ServerDlg.h>

#include <QComboBox>
#include <QListWidget>

#include <sys/stat.h>

namespace {

using ui::IDCANCEL;
using ui::IDOK;
using uitest::click;

// Record-server dialog controls.
constexpr int kName = 5005, kAddress = 5014, kPort = 5011, kProxy = 5006;
// Z39.50 dialog controls.
constexpr int kZName = 5012, kZAddress = 5013, kSyntax = 5017, kCharset = 5018, kDbEdit = 5007,
              kDbList = 5008, kAddDb = 5009, kRemoveDb = 5010;

const QString kReserved = QStringLiteral("(新服务器)是保留名称，需要修改以后才能保存");
const QString kExists = QStringLiteral("指定的服务器已经存在，请修改以后再保存");

QStringList listItems(QDialog& d) {
  QStringList out;
  auto* l = ui::findControlAs<QListWidget>(&d, kDbList);
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out;
}

class ServerDialogs : public DialogTest {};

TEST_F(ServerDialogs, RecordServerShowsTheFileAndItsDefaults) {
  writeIni("[Servers]\nA=qzap\n[A]\nIP=10.0.0.5\nport=4000\nproxy=TRUE\n[B]\nuser=x\n");
  CRecordServerDlg a;
  a.m_prevName = u"A";
  script_.act([](QDialog& d) {
    EXPECT_EQ(ui::controlText(&d, kName), QStringLiteral("A"));
    EXPECT_EQ(ui::controlText(&d, kAddress), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(ui::controlText(&d, kPort), QStringLiteral("4000"));
    EXPECT_TRUE(ui::isChecked(&d, kProxy));
    click(&d, IDCANCEL);
  });
  EXPECT_EQ(a.exec(), IDCANCEL);

  CRecordServerDlg b;
  b.m_prevName = u"B";
  script_.act([](QDialog& d) {
    EXPECT_EQ(ui::controlText(&d, kAddress), QStringLiteral("B")) << "no IP: the name";
    EXPECT_EQ(ui::controlText(&d, kPort), QStringLiteral("3089"));
    EXPECT_FALSE(ui::isChecked(&d, kProxy));
    click(&d, IDCANCEL);
  });
  EXPECT_EQ(b.exec(), IDCANCEL);
  EXPECT_EQ(b.windowTitle(), QStringLiteral("服务器属性设置"));
}

TEST_F(ServerDialogs, ProxyBoxShowsWhatTheConnectionWillDo) {
  struct Case {
    const char* line;
    bool ticked;
  } cases[] = {{"proxy=true\n", true}, {"proxy=TRUE\n", true}, {"proxy=yes\n", true},
               {"proxy=\n", true},     {"proxy=False\n", false}, {"", false}};
  for (const Case& c : cases) {
    writeIni(std::string("[S]\n") + c.line);
    for (int kind = 0; kind < 2; ++kind) {
      std::unique_ptr<CServerDlgBase> d;
      if (kind == 0) d = std::make_unique<CRecordServerDlg>();
      else d = std::make_unique<CZ3950ServerDlg>();
      d->m_prevName = u"S";
      d->initialize();
      EXPECT_EQ(ui::isChecked(d.get(), kProxy), c.ticked) << c.line << " kind " << kind;
    }
  }
}

TEST_F(ServerDialogs, RecordServerOkWritesProxyIpAndPortOnly) {
  CRecordServerDlg d;
  d.m_prevName = u"甲馆";
  script_.act([](QDialog& dlg) {
    ui::setChecked(&dlg, kProxy, true);
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(d.m_name, u"甲馆");
  EXPECT_EQ(section(u"甲馆"), (Lines{u"proxy=true", u"IP=甲馆", u"port=3089"}));
  EXPECT_TRUE(section(loomstore::kServersSection).empty()) << "the directory window writes Servers";
  struct stat st{};
  ASSERT_EQ(stat(iniPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds passwords";
}

TEST_F(ServerDialogs, CancelWritesNothing) {
  writeIni("[A]\nIP=1.1.1.1\n");
  const std::string before = iniText();
  CRecordServerDlg r;
  r.m_prevName = u"A";
  script_.act([](QDialog& d) {
    ui::setControlText(&d, kName, QStringLiteral("B"));
    ui::setChecked(&d, kProxy, true);
    click(&d, IDCANCEL);
  });
  EXPECT_EQ(r.exec(), IDCANCEL);
  CZ3950ServerDlg z;
  z.m_prevName = u"A";
  script_.act([](QDialog& d) {
    ui::setControlText(&d, kDbEdit, QStringLiteral("x"));
    click(&d, kAddDb);
    d.reject();  // Escape
  });
  EXPECT_EQ(z.exec(), IDCANCEL);
  EXPECT_EQ(iniText(), before);
  EXPECT_TRUE(z.m_databases.empty());
}

TEST_F(ServerDialogs, RefusedEntriesKeepTheDialogOpenAndWriteNothing) {
  writeIni("[Servers]\nA=qzap\nB=qzap\nC\n[A]\nIP=1.1.1.1\nuser=keep\n[B]\nport=1\n");
  const std::string before = iniText();
  const QString badName = QStringLiteral("服务器名中不能有 / : = [ ] + # ? 这些字符，也不能以分号开头，请修改以后再保存");
  const QString badPort = QStringLiteral("通讯端口必须是1到65535之间的数字，请修改以后再保存");
  struct Case {
    QString name, port, message;
    int focus;
  } cases[] = {
      {QString(), QStringLiteral("210"), QString(), kName},
      {QStringLiteral("(新服务器)"), QStringLiteral("210"), kReserved, kName},
      {QStringLiteral("B"), QStringLiteral("210"), kExists, kName},
      {QStringLiteral("b"), QStringLiteral("210"), kExists, kName},
      {QStringLiteral("C"), QStringLiteral("210"), kExists, kName},  // listed without "="
      {QStringLiteral("a/b"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("x:1"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("k=v"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("[s]"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("a+b"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("a#b"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("a?b"), QStringLiteral("210"), badName, kName},
      {QStringLiteral(";c"), QStringLiteral("210"), badName, kName},
      {QStringLiteral("N"), QStringLiteral("0"), badPort, kPort},
      {QStringLiteral("N"), QStringLiteral("65536"), badPort, kPort},
      {QStringLiteral("N"), QStringLiteral("21x"), badPort, kPort},
      {QStringLiteral("N"), QString(), badPort, kPort},
  };
  for (const Case& c : cases) {
    script_.clear();
    CRecordServerDlg d;
    d.m_prevName = u"A";
    script_.act([&](QDialog& dlg) {
      ui::setControlText(&dlg, kName, c.name);
      ui::setControlText(&dlg, kPort, c.port);
      ui::findControl(&dlg, kAddress)->setFocus();
      click(&dlg, IDOK);
      EXPECT_TRUE(dlg.isVisible()) << c.name.toStdString();
      EXPECT_TRUE(focusOn(dlg, c.focus)) << c.name.toStdString();
      EXPECT_EQ(ui::controlText(&dlg, kName), c.name) << "the input stays";
      click(&dlg, IDCANCEL);
    });
    EXPECT_EQ(d.exec(), IDCANCEL);
    auto boxes = script_.messages();
    if (c.message.isEmpty()) {
      EXPECT_TRUE(boxes.empty()) << "an empty name is refused without a message";
    } else {
      ASSERT_EQ(boxes.size(), 1u) << c.name.toStdString();
      EXPECT_EQ(boxes[0].text, c.message);
      EXPECT_EQ(boxes[0].icon, ui::Icon::None);
      EXPECT_EQ(boxes[0].buttons, ui::MB_OK);
    }
    EXPECT_EQ(iniText(), before) << c.name.toStdString();
  }
}

TEST_F(ServerDialogs, RenamingDeletesTheOldSection) {
  writeIni("[Servers]\nA=z39.50\n[A]\nIP=1.1.1.1\nport=7\nuser=u\npass=p\ndatabases=x+\n");
  CRecordServerDlg d;
  d.m_prevName = u"A";
  script_.act([](QDialog& dlg) {
    ui::setControlText(&dlg, kName, QStringLiteral("新名"));
    ui::setControlText(&dlg, kAddress, QString());
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(d.m_name, u"新名");
  EXPECT_EQ(d.m_prevName, u"A");
  EXPECT_TRUE(section(u"A").empty());
  EXPECT_EQ(section(u"新名"), (Lines{u"proxy=false", u"IP=", u"port=7"}));
  EXPECT_EQ(value(loomstore::kServersSection, u"A"), u"z39.50") << "Servers is left to the directory window";
}

TEST_F(ServerDialogs, KeepingTheNameKeepsTheOtherKeys) {
  writeIni("[A]\nIP=1.1.1.1\nport=7\nuser=u\n");
  CZ3950ServerDlg d;
  d.m_prevName = u"A";
  script_.act([](QDialog& dlg) { click(&dlg, IDOK); });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(section(u"A"), (Lines{u"IP=1.1.1.1", u"port=7", u"user=u", u"proxy=false", u"Syntax=",
                                  u"Charset=GBK", u"databases="}));
}

TEST_F(ServerDialogs, Z3950ShowsSyntaxCharsetAndDatabases) {
  struct Case {
    const char* lines;
    int syntax, charset;
    QStringList dbs;
  } cases[] = {
      {"Syntax=Unimarc\nCharset=UTF8\ndatabases=a++b+\n", 2, 1, {"a", "b"}},
      {"Syntax=unimarc\nCharset=utf8\n", 2, 1, {}},
      {"Syntax=USMARC\nCharset=Big5\ndatabases=中文+\n", 1, 0, {QStringLiteral("中文")}},
      {"Syntax=\n", 0, 0, {}},
      {"Syntax=MARC21\n", 0, 0, {}},
      {"", 0, 0, {}},
  };
  for (const Case& c : cases) {
    writeIni(std::string("[Z]\n") + c.lines);
    CZ3950ServerDlg d;
    d.m_prevName = u"Z";
    d.initialize();
    EXPECT_EQ(ui::findControlAs<QComboBox>(&d, kSyntax)->currentIndex(), c.syntax) << c.lines;
    EXPECT_EQ(ui::findControlAs<QComboBox>(&d, kCharset)->currentIndex(), c.charset) << c.lines;
    EXPECT_EQ(listItems(d), c.dbs) << c.lines;
    EXPECT_EQ(ui::controlText(&d, 5011), QStringLiteral("210"));
    EXPECT_EQ(ui::controlText(&d, kZAddress), QStringLiteral("Z"));
  }
  CZ3950ServerDlg d;
  EXPECT_EQ(ui::findControlAs<QComboBox>(&d, kSyntax)->itemText(0), QStringLiteral("自动"));
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Z39.50服务器属性设置"));
}

TEST_F(ServerDialogs, AddAndRemoveDatabaseRules) {
  writeIni("[Z]\ndatabases=Books+\n");
  CZ3950ServerDlg d;
  d.m_prevName = u"Z";
  script_.act([](QDialog& dlg) {
    auto add = [&](const QString& t) {
      ui::setControlText(&dlg, kDbEdit, t);
      click(&dlg, kAddDb);
    };
    add(QString());              // empty: nothing
    add(QStringLiteral("books"));  // listed in another letter case: nothing
    add(QStringLiteral("中文"));
    add(QStringLiteral("Serials"));
    add(QStringLiteral("a+b"));  // would split in the file: refused
    EXPECT_EQ(listItems(dlg), (QStringList{"Books", QStringLiteral("中文"), "Serials"}));
    auto* list = ui::findControlAs<QListWidget>(&dlg, kDbList);
    list->clearSelection();
    list->setCurrentItem(nullptr);
    click(&dlg, kRemoveDb);  // nothing selected: nothing
    EXPECT_EQ(listItems(dlg).size(), 3);
    list->setCurrentRow(1);
    click(&dlg, kRemoveDb);
    EXPECT_EQ(listItems(dlg), (QStringList{"Books", "Serials"}));
    ui::findControlAs<QComboBox>(&dlg, kSyntax)->setCurrentIndex(1);
    ui::findControlAs<QComboBox>(&dlg, kCharset)->setCurrentIndex(1);
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  auto boxes = script_.messages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, QStringLiteral("数据库名中不能有加号(+)，请修改以后再增加"));
  EXPECT_EQ(boxes[0].icon, ui::Icon::None);
  EXPECT_EQ(d.m_databases, u"Books+Serials+");
  EXPECT_EQ(section(u"Z"), (Lines{u"databases=Books+Serials+", u"proxy=false", u"IP=Z", u"port=210",
                                  u"Syntax=USmarc", u"Charset=UTF8"}));
}

TEST_F(ServerDialogs, Z3950RefusalsLeaveTheFocusWhereItWas) {
  writeIni("[Servers]\nB=z39.50\n");
  const std::string before = iniText();
  struct Case {
    QString name;
    QString message;
  } cases[] = {{QString(), QString()}, {QStringLiteral("(新服务器)"), kReserved}, {QStringLiteral("B"), kExists}};
  for (const Case& c : cases) {
    script_.clear();
    CZ3950ServerDlg d;
    d.m_prevName = u"(新服务器)";
    script_.act([&](QDialog& dlg) {
      ui::setControlText(&dlg, kZName, c.name);
      ui::findControl(&dlg, kDbEdit)->setFocus();
      click(&dlg, IDOK);
      EXPECT_TRUE(dlg.isVisible());
      EXPECT_TRUE(focusOn(dlg, kDbEdit));
      click(&dlg, IDCANCEL);
    });
    d.exec();
    auto boxes = script_.messages();
    ASSERT_EQ(boxes.size(), c.message.isEmpty() ? 0u : 1u);
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].text, c.message);
    }
    EXPECT_EQ(iniText(), before);
  }
}

TEST_F(ServerDialogs, NewServerGetsItsFirstSection) {
  CZ3950ServerDlg d;
  d.m_prevName = u"(新服务器)";
  script_.act([](QDialog& dlg) {
    EXPECT_EQ(ui::controlText(&dlg, kZName), QStringLiteral("(新服务器)"));
    ui::setControlText(&dlg, kZName, QStringLiteral("LC"));
    ui::setControlText(&dlg, kZAddress, QStringLiteral("z3950.loc.gov"));
    ui::setControlText(&dlg, 5011, QStringLiteral("7090"));
    ui::setControlText(&dlg, kDbEdit, QStringLiteral("Voyager"));
    click(&dlg, kAddDb);
    click(&dlg, IDOK);
  });
  EXPECT_EQ(d.exec(), IDOK);
  EXPECT_EQ(d.m_name, u"LC");
  EXPECT_EQ(d.m_databases, u"Voyager+");
  EXPECT_EQ(section(u"LC"), (Lines{u"proxy=false", u"IP=z3950.loc.gov", u"port=7090", u"Syntax=",
                                   u"Charset=GBK", u"databases=Voyager+"}));
}

}  // namespace
