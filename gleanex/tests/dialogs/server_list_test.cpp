// The server options suffix, the server property dialog and the server list dialog.
#include "dialog_fixture.h"
#include "server_list.h"
#include "server_list_dlg.h"

#include <loomstore/QzDir.h>

#include <QTreeWidget>

namespace {

using platform::u16;

TEST(ServerEntry, ParseEveryField) {
  struct Case { const char16_t* entry; u16 path, user, password; bool reconnect; int32_t hyphen, isbn; bool account; };
  const Case cases[] = {
      {u"z39.50://s/db?p=public/?r=no?n=0", u"z39.50://s/db", u"public", u"", false, 0, 0, true},
      {u"z39.50://server/db?p=public/?r=no?n=21", u"z39.50://server/db", u"public", u"", false, 2, 1, true},
      {u"qzap://server/db?p=cat/?r=YES?n=12", u"qzap://server/db", u"cat", u"", true, 1, 2, true},
      {u"qzap://s/db?p=u/pw?r=yes?n=22", u"qzap://s/db", u"u", u"pw", true, 2, 2, true},
      {u"qzap://s/db", u"qzap://s/db", u"", u"", false, 0, 0, false},
      {u"qzap://s/db?p=nopass", u"qzap://s/db", u"nopass", u"", false, 0, 0, true},
      // A user with "/" is split at it: the rest starts the password.
      {u"qzap://s/db?p=a/b/c?r=no?n=0", u"qzap://s/db", u"a", u"b/c", false, 0, 0, true},
      {u"qzap://s/db?p=u/p?r=yesno?n=x", u"qzap://s/db", u"u", u"p", false, 0, 0, true},
      {u"qzap://s/db?n=10", u"qzap://s/db", u"", u"", false, 1, 0, false},
      {u"qzap://s/db?r=Yes", u"qzap://s/db", u"", u"", true, 0, 0, false},
  };
  for (const Case& c : cases) {
    ServerOptions o = ParseServerEntry(c.entry);
    std::string at = platform::toUtf8(c.entry);
    EXPECT_EQ(o.path, c.path) << at;
    EXPECT_EQ(o.user, c.user) << at;
    EXPECT_EQ(o.password, c.password) << at;
    EXPECT_EQ(o.reconnect, c.reconnect) << at;
    EXPECT_EQ(o.hyphenRule, c.hyphen) << at;
    EXPECT_EQ(o.isbnRule, c.isbn) << at;
    EXPECT_EQ(o.hasAccount, c.account) << at;
  }
}

TEST(ServerEntry, FormatDisplayAndNewEntry) {
  ServerOptions o{u"qzap://s/db", u"cat", u"pw", true, 2, 1, true};
  EXPECT_EQ(FormatServerEntry(o), u"qzap://s/db?p=cat/pw?r=yes?n=21");
  o.reconnect = false;
  o.hyphenRule = 0;
  o.isbnRule = 0;
  EXPECT_EQ(FormatServerEntry(o), u"qzap://s/db?p=cat/pw?r=no?n=0");
  EXPECT_EQ(NewServerEntry(u"z39.50://LC/Voyager"), u"z39.50://LC/Voyager?p=public/?r=no?n=0");
  EXPECT_EQ(ServerEntryDisplay(u"z39.50://LC/Voyager?p=public/?r=no?n=0"), u"z39.50://LC/Voyager");
  EXPECT_EQ(ServerEntryDisplay(u"qzap://s/db"), u"qzap://s/db");
}

class ServerPropTest : public DialogTest {};

TEST_F(ServerPropTest, ShowsTheEntry) {
  struct Case { const char16_t* entry; int hyphenId, ruleId; bool reconnect; QString user, password, server; };
  const Case cases[] = {
      {u"z39.50://LC/Voyager?p=cat/pw?r=yes?n=12", CServerPropDlg::IDC_HYPHEN_NONE, CServerPropDlg::IDC_ISBN_10, true,
       "cat", "pw", "LC"},
      {u"qzap://main/books?p=u/?r=no?n=21", CServerPropDlg::IDC_HYPHEN_REQUIRED, CServerPropDlg::IDC_ISBN_13, false, "u", "",
       "main"},
      // Without a suffix the public account is shown.
      {u"qzap://main/books", CServerPropDlg::IDC_HYPHEN_EITHER, CServerPropDlg::IDC_ISBN_KEEP, false, "public", "", "main"},
  };
  for (const Case& c : cases) {
    CServerPropDlg dlg(c.entry);
    run<CServerPropDlg>(dlg, [&](CServerPropDlg& d) {
      EXPECT_EQ(d.windowTitle(), QStringLiteral("服务器属性"));
      EXPECT_TRUE(ui::isChecked(&d, c.hyphenId));
      EXPECT_TRUE(ui::isChecked(&d, c.ruleId));
      EXPECT_EQ(ui::isChecked(&d, CServerPropDlg::IDC_RECONNECT), c.reconnect);
      EXPECT_EQ(ui::controlText(&d, CServerPropDlg::IDC_USER), c.user);
      EXPECT_EQ(ui::controlText(&d, CServerPropDlg::IDC_PASSWORD), c.password);
      EXPECT_EQ(ui::controlText(&d, CServerPropDlg::IDC_SERVER_NAME), c.server);
    });
  }
}

TEST_F(ServerPropTest, OkRebuildsTheSuffix) {
  struct Case { const char* name; const char16_t* entry; std::function<void(QDialog&)> act; u16 expected; };
  const Case cases[] = {
      {"unchanged", u"z39.50://LC/Voyager?p=cat/pw?r=yes?n=12", [](QDialog&) {},
       u"z39.50://LC/Voyager?p=cat/pw?r=yes?n=12"},
      {"no suffix", u"qzap://main/books", [](QDialog&) {}, u"qzap://main/books?p=public/?r=no?n=0"},
      {"every choice", u"qzap://main/books?p=public/?r=no?n=0",
       [](QDialog& d) {
         ui::setControlText(&d, CServerPropDlg::IDC_USER, "cat");
         ui::setControlText(&d, CServerPropDlg::IDC_PASSWORD, "secret");
         toggle(&d, CServerPropDlg::IDC_RECONNECT);
         toggle(&d, CServerPropDlg::IDC_HYPHEN_REQUIRED);
         toggle(&d, CServerPropDlg::IDC_ISBN_13);
       },
       u"qzap://main/books?p=cat/secret?r=yes?n=21"},
      {"back to the defaults", u"qzap://main/books?p=u/?r=yes?n=22",
       [](QDialog& d) {
         toggle(&d, CServerPropDlg::IDC_RECONNECT);
         toggle(&d, CServerPropDlg::IDC_HYPHEN_EITHER);
         toggle(&d, CServerPropDlg::IDC_ISBN_KEEP);
       },
       u"qzap://main/books?p=u/?r=no?n=0"},
      // A hand-written entry with "?n=" but no "?p=": its rules are shown and kept, and the
      // old "?n=" is not left in front of the new suffix.
      {"number only", u"qzap://main/books?n=12", [](QDialog&) {}, u"qzap://main/books?p=public/?r=no?n=12"},
  };
  for (const Case& c : cases) {
    CServerPropDlg dlg(c.entry);
    int result = run<CServerPropDlg>(dlg, [&](CServerPropDlg& d) {
      c.act(d);
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(result, ui::IDOK) << c.name;
    EXPECT_EQ(dlg.entry(), c.expected) << c.name;
    EXPECT_EQ(ParseServerEntry(dlg.entry()).path, ParseServerEntry(c.entry).path) << c.name;
  }
  EXPECT_TRUE(script.messages().empty());
}

TEST_F(ServerPropTest, EmptyUserIsRefused) {
  CServerPropDlg dlg(u"qzap://main/books?p=u/?r=no?n=0");
  int result = run<CServerPropDlg>(dlg, [](CServerPropDlg& d) {
    ui::setControlText(&d, CServerPropDlg::IDC_USER, "");
    uitest::click(&d, ui::IDOK);
    EXPECT_TRUE(d.isVisible());
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text, QStringLiteral("登录到服务器的帐户名不能为空!"));
  EXPECT_EQ(script.messages()[0].icon, ui::Icon::Information);
  EXPECT_EQ(dlg.entry(), u"qzap://main/books?p=u/?r=no?n=0");
}

class ServerListTest : public DialogTest {
 protected:
  static QTreeWidget* list(QDialog& d) { return ui::findControlAs<QTreeWidget>(&d, CServerListDlg::IDC_LIST); }
  static std::vector<QString> rows(QDialog& d) {
    std::vector<QString> out;
    for (int i = 0; i < list(d)->topLevelItemCount(); ++i) out.push_back(list(d)->topLevelItem(i)->text(0));
    return out;
  }
  static int selected(QDialog& d) {
    auto sel = list(d)->selectedItems();
    return sel.isEmpty() ? -1 : list(d)->indexOfTopLevelItem(sel.front());
  }
  const std::vector<u16> entries{u"z39.50://LC/Voyager?p=public/?r=no?n=0", u"qzap://main/books?p=cat/x?r=yes?n=11",
                                 u"z39.50://LC/中文图书?p=public/?r=no?n=2"};
};

TEST_F(ServerListTest, ListsMovesDeletesAndOkWritesTheSetting) {
  settings.servers = entries;
  CServerListDlg dlg(settings);
  int result = run<CServerListDlg>(dlg, [&](CServerListDlg& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("设置数据下载服务器属性"));
    EXPECT_FALSE(visible(&d, CServerListDlg::IDC_TREE_PLACE));
    EXPECT_TRUE(ui::findControlAs<QTreeWidget>(&d, CServerListDlg::IDC_TREE));
    EXPECT_EQ(list(d)->headerItem()->text(0), QStringLiteral("数据库名称"));
    EXPECT_EQ(rows(d).size(), 3u);
    EXPECT_EQ(selected(d), 0);
    uitest::click(&d, CServerListDlg::IDC_UP);  // the first row stays first
    EXPECT_EQ(rows(d)[0], ui::qs(entries[0]));
    uitest::click(&d, CServerListDlg::IDC_DOWN);
    EXPECT_EQ(selected(d), 1);
    EXPECT_EQ(rows(d)[1], ui::qs(entries[0]));
    uitest::click(&d, CServerListDlg::IDC_DOWN);
    uitest::click(&d, CServerListDlg::IDC_DOWN);  // the last row stays last
    EXPECT_EQ(selected(d), 2);
    EXPECT_EQ(rows(d)[2], ui::qs(entries[0]));
    uitest::click(&d, CServerListDlg::IDC_DELETE);
    EXPECT_EQ(rows(d).size(), 2u);
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(settings.servers, (std::vector<u16>{entries[1], entries[2]}));
}

TEST_F(ServerListTest, CancelKeepsTheSetting) {
  settings.servers = entries;
  CServerListDlg dlg(settings);
  run<CServerListDlg>(dlg, [](CServerListDlg& d) {
    uitest::click(&d, CServerListDlg::IDC_DELETE);
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(settings.servers, entries);
}

TEST_F(ServerListTest, AddTakesADatabaseThroughThePropertyDialog) {
  CServerListDlg dlg(settings);
  run<CServerListDlg>(dlg, [&](CServerListDlg& d) {
    // A server node: nothing happens.
    ASSERT_EQ(d.directory().GoTo(u"z39.50://LC"), 1);
    uitest::click(&d, CServerListDlg::IDC_ADD);
    EXPECT_TRUE(rows(d).empty());
    ASSERT_EQ(d.directory().GoTo(u"z39.50://LC/中文图书"), 1);
    script.actOn<CServerPropDlg>([](CServerPropDlg& p) {
      EXPECT_EQ(p.entry(), u"z39.50://LC/中文图书?p=public/?r=no?n=0");
      toggle(&p, CServerPropDlg::IDC_HYPHEN_NONE);
      uitest::click(&p, ui::IDOK);
    });
    uitest::click(&d, CServerListDlg::IDC_ADD);
    ASSERT_EQ(rows(d).size(), 1u);
    EXPECT_EQ(selected(d), 0);
    // A double-click edits the selected row.
    script.actOn<CServerPropDlg>([](CServerPropDlg& p) {
      toggle(&p, CServerPropDlg::IDC_RECONNECT);
      uitest::click(&p, ui::IDOK);
    });
    emit list(d)->itemDoubleClicked(list(d)->topLevelItem(0), 0);
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(settings.servers, (std::vector<u16>{u"z39.50://LC/中文图书?p=public/?r=yes?n=10"}));
  EXPECT_EQ(script.pending(), 0u);
}

}  // namespace
