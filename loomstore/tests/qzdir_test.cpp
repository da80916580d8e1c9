// The directory window against the Kelvra stand-in: the tree a Loomstore.ini gives, loading
// levels on opening, resource paths of the selection, the context menu's commands and the
// record server's failures.
#include "kelvra_home.h"

#include <loomstore/LoginDlg.h>
#include <loomstore/QzDir.h>
#include <loomstore/RecordServerDlg.h>
#include <loomstore/ServerSettings.h>
#include <loomstore/Z3950ServerDlg.h>

#include <platform/paths.h>
#include <ui/dialog.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>

#include <filesystem>

namespace {

using ui::IDCANCEL;
using ui::IDNO;
using ui::IDOK;
using ui::IDYES;
using uitest::click;

constexpr int kTreeId = 1001;
const char kIni[] =
    "[Servers]\nmain=qzap\nLC=z39.50\nx\ndown=qzap\n"
    "[LC]\nIP=z3950.loc.gov\ndatabases=Voyager+中文图书+\n";
const QString kConnectFailed = QStringLiteral("与数据库连接不成功!");
const QString kLoginFailed = QStringLiteral("用户登录服务器失败，请检查用户名和口令字是否正确");
const QString kOpenFailed = QStringLiteral("数据库连接失败!");
// The comments of zoom.xml beside the library, in document order.
const char16_t kZoomFroms[] = u"题名,责任者,ISBN,ISSN,主题词,出版者,出版日期,任意词,";

// The tree as "text(kind)[children]"; a placeholder shows as "(kind)".
std::string dump(QTreeWidgetItem* item) {
  std::string s = item->text(0).toStdString() + "(" + std::to_string(item->data(0, Qt::UserRole).toInt()) + ")";
  if (item->childCount() == 0) return s;
  s += "[";
  for (int i = 0; i < item->childCount(); ++i) s += (i ? " " : "") + dump(item->child(i));
  return s + "]";
}

class QzDirTest : public KelvraHome {
 protected:
  void SetUp() override {
    KelvraHome::SetUp();
    qtest::writeFile(platform::profilePath(loomstore::kSettingsFile), kIni);
    // Made once the stand-in is registered: the control creates its objects at once.
    dir_ = std::make_unique<CQzDir>();
    parent_.resize(420, 560);
    parent_.show();
  }
  void open(int32_t depth = 5, int showZ = 1) {
    dir_->SetOption(depth, showZ);
    ASSERT_EQ(dir_->Dirs(&parent_, QRect(0, 0, 400, 540), kTreeId), 1);
  }
  QTreeWidget* tree() const { return ui::findControlAs<QTreeWidget>(&parent_, kTreeId); }
  std::string dumpAll() const { return tree()->topLevelItemCount() ? dump(tree()->topLevelItem(0)) : "<empty>"; }
  /// The node reached from the root by child texts.
  QTreeWidgetItem* node(std::vector<const char16_t*> steps) const {
    QTreeWidgetItem* item = tree()->topLevelItem(0);
    for (const char16_t* step : steps) {
      QTreeWidgetItem* next = nullptr;
      for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i)->text(0) == ui::qs(step)) next = item->child(i);
      item = next;
    }
    return item;
  }
  void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    QWidget* vp = tree()->viewport();
    QMouseEvent e(type, QPointF(pos), vp->mapToGlobal(QPointF(pos)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(vp, &e);
  }
  /// A left click on the node's expand button.
  void clickButton(QTreeWidgetItem* item) {
    const QRect r = tree()->visualItemRect(item);
    const QPoint p(r.left() - tree()->indentation() / 2, r.center().y());
    mouse(QEvent::MouseButtonPress, p, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton);
  }
  void doubleClick(QTreeWidgetItem* item) {
    const QPoint p = tree()->visualItemRect(item).center();
    mouse(QEvent::MouseButtonPress, p, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton);
    mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton);
  }
  /// Right-clicks the node and returns the context menu it shows (null: none).
  QMenu* rightClick(QTreeWidgetItem* item) {
    mouse(QEvent::MouseButtonPress, tree()->visualItemRect(item).center(), Qt::RightButton);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
  }
  /// Right-clicks the node and picks the menu's command `id`.
  void command(QTreeWidgetItem* item, int id) {
    QMenu* menu = rightClick(item);
    ASSERT_TRUE(menu);
    QAction* action = menu->findChild<QAction*>(QString::number(id));
    ASSERT_TRUE(action) << id;
    action->trigger();
    menu->close();
  }
  std::pair<int32_t, std::u16string> selPath(int32_t size = 256) {
    std::u16string buf(size_t(size > 0 ? size : 1), u'?');
    int32_t kind = dir_->GetCurSelPath(buf.data(), size);
    return {kind, std::u16string(buf.c_str())};
  }
  std::pair<int32_t, std::u16string> froms(int32_t size = 512) {
    std::u16string buf(size_t(size), u'?');
    int32_t n = dir_->GetAllFroms(buf.data(), size);
    return {n, std::u16string(buf.c_str())};
  }
  std::u16string ini(const char16_t* section, const char16_t* key) {
    return platform::profileString(loomstore::kSettingsFile, section, key, u"<missing>", 1024);
  }
  std::vector<std::u16string> servers() { return platform::profileSection(loomstore::kSettingsFile, u"Servers"); }

  QWidget parent_;
  std::unique_ptr<CQzDir> dir_;
};

TEST_F(QzDirTest, FillFollowsDepthAndTheZ3950Flag) {
  struct Case {
    int32_t depth;
    int showZ;
    const char* tree;
  } cases[] = {
      {5, 1, "我的资源(0)[main(1)[(3)] LC(2)[Voyager(3)[(5)] 中文图书(3)[(5)]] x(1)[(3)] down(1)[(3)]]"},
      {9, 1, "我的资源(0)[main(1)[(3)] LC(2)[Voyager(3)[(5)] 中文图书(3)[(5)]] x(1)[(3)] down(1)[(3)]]"},
      {3, 1, "我的资源(0)[main(1)[(3)] LC(2)[Voyager(3) 中文图书(3)] x(1)[(3)] down(1)[(3)]]"},
      {2, 1, "我的资源(0)[main(1) LC(2) x(1) down(1)]"},
      {0, 0, "我的资源(0)[main(1) x(1) down(1)]"},
      {5, 0, "我的资源(0)[main(1)[(3)] x(1)[(3)] down(1)[(3)]]"},
  };
  open();
  for (const Case& c : cases) {
    dir_->SetOption(c.depth, c.showZ);
    dir_->Refresh();
    EXPECT_EQ(dumpAll(), c.tree) << c.depth << "/" << c.showZ;
    EXPECT_TRUE(tree()->topLevelItem(0)->isExpanded());
  }
  dir_->ClearAll();
  EXPECT_EQ(dumpAll(), "<empty>");
  EXPECT_EQ(selPath().first, 0);
}

TEST_F(QzDirTest, OpeningLoadsDatabasesAndAccessPoints) {
  open();
  clickButton(node({u"main"}));
  EXPECT_EQ(dump(node({u"main"})), "main(1)[books(3)[(5)] catalog(4)[(5)]]") << "from the server";
  EXPECT_TRUE(node({u"main"})->isExpanded());
  EXPECT_EQ(selPath(), std::make_pair(1, std::u16string(u"qzap://main")));

  doubleClick(node({u"main", u"books"}));
  EXPECT_EQ(dump(node({u"main", u"books"})), "books(3)[题名(5) ISBN(5)]") << "an element without alias is left out";
  EXPECT_TRUE(node({u"main", u"books"})->isExpanded());

  clickButton(node({u"LC"}));
  EXPECT_TRUE(node({u"LC"})->isExpanded()) << "a Z39.50 server opens as any node";
  clickButton(node({u"LC", u"Voyager"}));
  EXPECT_EQ(node({u"LC", u"Voyager"})->childCount(), 8) << "the comments of zoom.xml";
  EXPECT_TRUE(node({u"LC", u"Voyager"})->isExpanded());
  EXPECT_TRUE(script_.records().empty());

  struct Case {
    std::vector<const char16_t*> steps;
    int32_t size;
    int32_t kind;
    std::u16string path;
  } cases[] = {
      {{u"main", u"books", u"ISBN"}, 256, 1, u"qzap://main/books/ISBN"},
      {{u"main", u"catalog"}, 256, 1, u"qzap://main/catalog"},
      {{u"LC", u"Voyager", u"主题词"}, 256, 2, u"z39.50://LC/Voyager/主题词"},
      {{u"LC", u"Voyager", u"主题词"}, 24, 2, u"z39.50://LC/Voyager/主题词"},
      {{u"LC", u"Voyager", u"主题词"}, 23, 2, u""},  // no room for the NUL: empty, kind still given
      {{u"LC"}, 256, 2, u"z39.50://LC"},
      {{}, 256, 0, u""},  // the root
  };
  for (const Case& c : cases) {
    tree()->setCurrentItem(node(c.steps));
    EXPECT_EQ(selPath(c.size), std::make_pair(c.kind, c.path)) << ui::qs(c.path).toStdString() << " " << c.size;
  }
}

TEST_F(QzDirTest, KeysOpenLikeAClick) {
  open();
  tree()->setCurrentItem(node({u"main"}));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QApplication::sendEvent(tree(), &right);
  EXPECT_EQ(dump(node({u"main"})), "main(1)[books(3)[(5)] catalog(4)[(5)]]");
  tree()->setCurrentItem(node({u"main", u"books"}));
  QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
  QApplication::sendEvent(tree(), &plus);
  EXPECT_EQ(dump(node({u"main", u"books"})), "books(3)[题名(5) ISBN(5)]");
  EXPECT_TRUE(node({u"main", u"books"})->isExpanded());
}

TEST(QzDirWithoutKelvra, AMissingComponentIsAFailedConnection) {
  qtest::TempHome home;
  uitest::ModalScript script;
  qtest::writeFile(platform::profilePath(loomstore::kSettingsFile), "[Servers]\nmain=qzap\n");
  QWidget parent;
  CQzDir dir;
  dir.Dirs(&parent, QRect(0, 0, 200, 200), kTreeId);
  EXPECT_EQ(dir.GoTo(u"qzap://main/books"), 0);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text, kConnectFailed);
  char16_t buf[64];
  EXPECT_EQ(dir.GetCurSelPath(buf, 64), 1) << "the listing selected the server";
  EXPECT_EQ(std::u16string(buf), u"qzap://main");
}

TEST_F(QzDirTest, RecordServerFailuresKeepThePlaceholder) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<const char16_t*> steps;
    QString message;
    ui::Icon icon;
  } cases[] = {
      {"server down", [] {}, {u"down"}, kConnectFailed, ui::Icon::Error},
      {"log-in refused", [this] { dir_->SetUniformUser(u"cat", u"wrong"); }, {u"main"}, kLoginFailed,
       ui::Icon::Information},
      {"database gone",
       [this] {
         clickButton(node({u"main"}));
         ASSERT_EQ(store_->dropDatabase(databaseId(u"books")), 0);
       },
       {u"main", u"books"}, kOpenFailed, ui::Icon::Error},
      {"no access points", [this] { clickButton(node({u"main"})); }, {u"main", u"catalog"}, QString(),
       ui::Icon::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir_->SetUniformUser(u"public", u"");
    open();
    c.arrange();
    script_.clear();
    QTreeWidgetItem* item = node(c.steps);
    ASSERT_TRUE(item);
    clickButton(item);
    EXPECT_EQ(item->childCount(), 1);
    EXPECT_TRUE(item->child(0)->text(0).isEmpty()) << "the placeholder stays";
    EXPECT_FALSE(item->isExpanded());
    if (c.message.isEmpty()) {
      EXPECT_TRUE(script_.messages().empty());
    } else {
      ASSERT_EQ(script_.messages().size(), 1u);
      EXPECT_EQ(script_.messages()[0].text, c.message);
      EXPECT_EQ(script_.messages()[0].icon, c.icon);
    }
  }
}

TEST_F(QzDirTest, GetAllFromsLoadsTheSelectedDatabase) {
  open();
  clickButton(node({u"main"}));
  tree()->setCurrentItem(node({u"LC", u"中文图书"}));
  EXPECT_EQ(froms(), std::make_pair(int32_t(std::u16string(kZoomFroms).size()), std::u16string(kZoomFroms)));
  EXPECT_TRUE(node({u"LC", u"中文图书"})->isExpanded());
  tree()->setCurrentItem(node({u"LC", u"中文图书", u"ISSN"}));
  EXPECT_EQ(froms().second, kZoomFroms) << "an access point gives its database's";
  EXPECT_EQ(froms(int32_t(std::u16string(kZoomFroms).size())), std::make_pair(0, std::u16string()))
      << "a list that does not fit gives nothing";

  tree()->setCurrentItem(node({u"main", u"books"}));
  EXPECT_EQ(froms(), std::make_pair(8, std::u16string(u"题名,ISBN,")));
  for (const auto& steps : std::vector<std::vector<const char16_t*>>{{u"main", u"catalog"}, {u"main"}, {}}) {
    tree()->setCurrentItem(node(steps));
    EXPECT_EQ(froms(), std::make_pair(0, std::u16string()));
  }
  EXPECT_TRUE(script_.records().empty());
}

TEST_F(QzDirTest, GoToLoadsOnTheWay) {
  struct Case {
    int32_t depth;
    const char16_t* path;
    int result;
    std::u16string selected;
  } cases[] = {
      {5, u"qzap://main/books/ISBN", 1, u"qzap://main/books/ISBN"},
      {5, u"qzap://main/books#12", 1, u"qzap://main/books"},
      {5, u"z39.50://LC/中文图书/出版者", 1, u"z39.50://LC/中文图书/出版者"},
      {5, u"qzap://main", 1, u"qzap://main"},
      {5, u"qzap://main/nothing", 0, u""},
      {5, u"qzap://main/books/nothing", 0, u""},
      {5, u"qzap://nobody/books", 0, u""},
      {5, u"qzap://main//题名", 0, u""},
      {3, u"qzap://main/catalog/题名", 1, u"qzap://main/catalog"},
      {2, u"qzap://main/books/ISBN", 1, u"qzap://main"},
  };
  for (const Case& c : cases) {
    open(c.depth);
    EXPECT_EQ(dir_->GoTo(c.path), c.result) << ui::qs(c.path).toStdString();
    if (c.result) {
      EXPECT_EQ(selPath().second, c.selected) << ui::qs(c.path).toStdString();
      QTreeWidgetItem* cur = tree()->currentItem();
      for (QTreeWidgetItem* p = cur->parent(); p; p = p->parent()) EXPECT_TRUE(p->isExpanded());
    }
  }
  EXPECT_TRUE(script_.records().empty());
}

TEST_F(QzDirTest, ContextMenusFollowTheNode) {
  struct Case {
    std::vector<const char16_t*> steps;
    int showZ;
    std::vector<std::pair<int, bool>> actions;  // id, enabled
  } cases[] = {
      {{}, 1, {{32780, true}, {32774, true}, {32776, true}}},
      {{}, 0, {{32780, true}, {32774, true}, {32776, false}}},
      {{u"main"}, 0, {{32779, true}, {32771, true}, {32772, true}, {32778, false}, {32773, true}}},
      {{u"LC"}, 1, {{32779, true}, {32771, true}, {32772, true}, {32778, true}, {32773, true}}},
  };
  for (const Case& c : cases) {
    open(5, c.showZ);
    QMenu* menu = rightClick(node(c.steps));
    ASSERT_TRUE(menu);
    EXPECT_EQ(tree()->currentItem(), node(c.steps));
    std::vector<std::pair<int, bool>> got;
    for (QAction* a : menu->actions())
      if (!a->isSeparator()) got.emplace_back(a->objectName().toInt(), a->isEnabled());
    EXPECT_EQ(got, c.actions);
    menu->close();
  }
  open();
  clickButton(node({u"main"}));
  EXPECT_EQ(rightClick(node({u"main", u"books"})), nullptr) << "databases have no menu";
}

TEST_F(QzDirTest, AddingServers) {
  open();
  script_.actOn<CRecordServerDlg>([](CRecordServerDlg& d) {
    EXPECT_EQ(ui::controlText(&d, 5005), QStringLiteral("(新服务器)"));
    click(&d, IDCANCEL);
  });
  command(node({}), 32774);
  EXPECT_EQ(node({u"(新服务器)"}), nullptr) << "cancel removes the new node";
  EXPECT_EQ(servers(), (std::vector<std::u16string>{u"main=qzap", u"LC=z39.50", u"x", u"down=qzap"}));

  script_.actOn<CRecordServerDlg>([](CRecordServerDlg& d) {
    ui::setControlText(&d, 5005, QStringLiteral("本馆"));
    click(&d, IDOK);
  });
  command(node({}), 32774);
  script_.actOn<CZ3950ServerDlg>([](CZ3950ServerDlg& d) {
    ui::setControlText(&d, 5012, QStringLiteral("NLC"));
    for (const char* db : {"UCS01", "UCS02"}) {
      ui::setControlText(&d, 5007, QString::fromUtf8(db));
      click(&d, 5009);
    }
    click(&d, IDOK);
  });
  command(node({u"main"}), 32778);
  EXPECT_EQ(dumpAll(),
            "我的资源(0)[本馆(1)[(3)] main(1)[(3)] NLC(2)[UCS01(3)[(5)] UCS02(3)[(5)]] LC(2)[Voyager(3)[(5)] "
            "中文图书(3)[(5)]] x(1)[(3)] down(1)[(3)]]");
  EXPECT_EQ(servers(), (std::vector<std::u16string>{u"本馆=qzap", u"main=qzap", u"NLC=z39.50", u"LC=z39.50",
                                                    u"x=qzap", u"down=qzap"}));
  EXPECT_EQ(ini(u"NLC", u"databases"), u"UCS01+UCS02+");
  EXPECT_TRUE(script_.allScripted());
}

TEST_F(QzDirTest, HiddenZ3950ServersStayInTheFile) {
  open(5, 0);
  script_.actOn<CRecordServerDlg>([](CRecordServerDlg& d) {
    ui::setControlText(&d, 5005, QStringLiteral("new"));
    click(&d, IDOK);
  });
  command(node({u"x"}), 32772);
  EXPECT_EQ(servers(), (std::vector<std::u16string>{u"main=qzap", u"x=qzap", u"new=qzap", u"down=qzap", u"LC=z39.50"}));
}

TEST_F(QzDirTest, PropertiesRenameAndRebuild) {
  open();
  script_.actOn<CZ3950ServerDlg>([](CZ3950ServerDlg& d) {
    EXPECT_EQ(ui::controlText(&d, 5013), QStringLiteral("z3950.loc.gov"));
    ui::setControlText(&d, 5012, QStringLiteral("LOC"));
    ui::findControlAs<QListWidget>(&d, 5008)->setCurrentRow(0);
    click(&d, 5010);
    click(&d, IDOK);
  });
  command(node({u"LC"}), 32779);
  EXPECT_EQ(dump(node({u"LOC"})), "LOC(2)[中文图书(3)[(5)]]");
  EXPECT_EQ(servers(), (std::vector<std::u16string>{u"main=qzap", u"LOC=z39.50", u"x=qzap", u"down=qzap"}));
  EXPECT_EQ(ini(u"LC", u"IP"), u"<missing>");

  script_.actOn<CRecordServerDlg>([](CRecordServerDlg& d) { click(&d, IDOK); });
  command(node({u"main"}), 32779);
  EXPECT_EQ(ini(u"main", u"port"), u"3089") << "OK without a new name writes the section only";
  EXPECT_EQ(servers()[0], u"main=qzap");
}

TEST_F(QzDirTest, LoggingInAgain) {
  dir_->SetUniformUser(u"cat", u"wrong");
  open();
  script_.actOn<CLoginDlg>([](CLoginDlg& d) {
    EXPECT_EQ(ui::controlText(&d, 5005), QStringLiteral("main"));
    EXPECT_EQ(ui::controlText(&d, 5003), QStringLiteral("cat")) << "the uniform account first";
    ui::setControlText(&d, 5004, QStringLiteral("secret"));
    click(&d, IDOK);
  });
  command(node({u"main"}), 32771);
  EXPECT_EQ(dump(node({u"main"})), "main(1)[books(3)[(5)] catalog(4)[(5)]]") << "listed at once";
  EXPECT_TRUE(script_.messages().empty());
  doubleClick(node({u"main", u"books"}));
  EXPECT_EQ(node({u"main", u"books"})->childCount(), 2) << "the node's own log-in serves its databases";

  script_.actOn<CLoginDlg>([](CLoginDlg& d) {
    EXPECT_EQ(ui::controlText(&d, 5004), QStringLiteral("secret")) << "the node's log-in is shown next time";
    click(&d, IDCANCEL);
  });
  command(node({u"main"}), 32771);

  script_.actOn<CLoginDlg>([](CLoginDlg& d) {
    EXPECT_EQ(ui::controlText(&d, 5003), QString());
    ui::setControlText(&d, 5003, QStringLiteral("reader@group"));
    ui::setControlText(&d, 5004, QStringLiteral("pw"));
    click(&d, IDOK);
  });
  command(node({u"LC"}), 32771);
  EXPECT_EQ(ini(u"LC", u"user"), u"reader@group");
  EXPECT_EQ(ini(u"LC", u"pass"), u"pw");
  EXPECT_TRUE(script_.allScripted());
}

TEST_F(QzDirTest, DeletingAServerAsksFirst) {
  open();
  script_.answer(IDNO);
  command(node({u"LC"}), 32773);
  ASSERT_EQ(script_.messages().size(), 1u);
  EXPECT_EQ(script_.messages()[0].text, QStringLiteral("你确实要删除指定的服务器配置吗？\r\n\r\n\t[LC]"));
  EXPECT_EQ(script_.messages()[0].icon, ui::Icon::Question);
  EXPECT_EQ(script_.messages()[0].buttons, ui::MB_YESNO);
  EXPECT_NE(node({u"LC"}), nullptr);

  for (const char16_t* name : {u"LC", u"x"}) {
    script_.answer(IDYES);
    command(node({name}), 32773);
    EXPECT_EQ(node({name}), nullptr);
  }
  EXPECT_EQ(servers(), (std::vector<std::u16string>{u"main=qzap", u"down=qzap"}));
  EXPECT_EQ(ini(u"LC", u"IP"), u"<missing>");
}

TEST_F(QzDirTest, Screenshot) {
  open();
  clickButton(node({u"main"}));
  doubleClick(node({u"main", u"books"}));
  clickButton(node({u"LC", u"中文图书"}));
  dir_->GoTo(u"z39.50://LC/中文图书/ISBN");
  QRect r(10, 10, 300, 400);
  dir_->MoveWindow(&r);
  EXPECT_EQ(tree()->geometry(), r);
  auto path = uitest::saveScreenshot(*tree(), "qzdir_tree");
  EXPECT_TRUE(std::filesystem::file_size(path) > 0);
}

}  // namespace
