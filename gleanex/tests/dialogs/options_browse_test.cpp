// The options dialog (character set, framing, scheme list, default account) and the
// browse-hits dialog over a few records, in choose and output-all mode.
#include "browse_dlg.h"
#include "dialog_fixture.h"
#include "options_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QTreeWidget>

#include <vector>

namespace {

using platform::u16;

class OptionsTest : public DialogTest {
 protected:
  u16 folder() const { return platform::fromUtf8(dir.path().string() + "/"); }
  static QComboBox* combo(QDialog& d, int id) { return ui::findControlAs<QComboBox>(&d, id); }
  qtest::TempDir dir;
};

TEST_F(OptionsTest, CharsetControlsFollowTheSettings) {
  struct Case { int32_t codePage, marker; int item; bool eacc3, eacc4, header, headerEnabled; };
  const Case cases[] = {
      {0, 0, COptionsDlg::kGbk, false, false, false, false},
      {-1, 1, COptionsDlg::kUcs2, false, false, true, true},
      {65001, 0, COptionsDlg::kUtf8, false, false, false, false},  // no header: 1009 stays disabled
      {-2, 3, COptionsDlg::kEacc, true, false, false, false},
      {-2, 4, COptionsDlg::kEacc, false, true, false, false},
  };
  for (const Case& c : cases) {
    settings.codePage = c.codePage;
    settings.marker = c.marker;
    COptionsDlg dlg(settings, folder(), u"");
    run<COptionsDlg>(dlg, [&](COptionsDlg& d) {
      EXPECT_EQ(d.windowTitle(), QStringLiteral("输入输出选项"));
      EXPECT_EQ(combo(d, COptionsDlg::IDC_CHARSET)->currentIndex(), c.item) << c.codePage;
      EXPECT_EQ(ui::isChecked(&d, COptionsDlg::IDC_EACC3), c.eacc3) << c.codePage;
      EXPECT_EQ(ui::isChecked(&d, COptionsDlg::IDC_EACC4), c.eacc4) << c.codePage;
      // On opening only the stored variant is enabled.
      EXPECT_EQ(enabled(&d, COptionsDlg::IDC_EACC3), c.eacc3) << c.codePage;
      EXPECT_EQ(enabled(&d, COptionsDlg::IDC_EACC4), c.eacc4) << c.codePage;
      EXPECT_EQ(ui::isChecked(&d, COptionsDlg::IDC_FILE_HEADER), c.header) << c.codePage;
      EXPECT_EQ(enabled(&d, COptionsDlg::IDC_FILE_HEADER), c.headerEnabled) << c.codePage;
      uitest::click(&d, ui::IDOK);
    });
    // OK on unchanged controls keeps the settings.
    EXPECT_EQ(settings.codePage, c.codePage);
    EXPECT_EQ(settings.marker, c.marker);
  }
}

TEST_F(OptionsTest, OkWritesTheChoices) {
  struct Case { const char* name; int32_t codePage, marker; std::function<void(QDialog&)> act; int32_t newCodePage, newMarker; };
  auto select = [](int item) { return [item](QDialog& d) { combo(d, COptionsDlg::IDC_CHARSET)->setCurrentIndex(item); }; };
  const Case cases[] = {
      {"eacc4 kept", -2, 4, [](QDialog&) {}, -2, 4},
      // On opening only the stored variant is enabled; choosing EACC again enables both.
      {"eacc to 3", -2, 4,
       [&](QDialog& d) {
         select(COptionsDlg::kGbk)(d);
         select(COptionsDlg::kEacc)(d);
         EXPECT_TRUE(ui::isChecked(&d, COptionsDlg::IDC_EACC4));
         toggle(&d, COptionsDlg::IDC_EACC3);
       },
       -2, 3},
      // GBK changes only the code page.
      {"gbk keeps the variant", -2, 3, select(COptionsDlg::kGbk), 0, 3},
      {"gbk keeps the header flag", 65001, 1, select(COptionsDlg::kGbk), 0, 1},
      {"utf8 without header", 0, 1,
       [&](QDialog& d) {
         select(COptionsDlg::kUtf8)(d);
         EXPECT_TRUE(ui::isChecked(&d, COptionsDlg::IDC_FILE_HEADER));
         toggle(&d, COptionsDlg::IDC_FILE_HEADER);
       },
       65001, 0},
      {"ucs2 with header", 0, 0,
       [&](QDialog& d) {
         select(COptionsDlg::kUcs2)(d);
         toggle(&d, COptionsDlg::IDC_FILE_HEADER);
       },
       -1, 1},
      {"utf8 to gbk and back shows the header again", 65001, 1,
       [&](QDialog& d) {
         select(COptionsDlg::kGbk)(d);
         EXPECT_FALSE(enabled(&d, COptionsDlg::IDC_FILE_HEADER));
         select(COptionsDlg::kUtf8)(d);
         EXPECT_TRUE(ui::isChecked(&d, COptionsDlg::IDC_FILE_HEADER));
       },
       65001, 1},
      {"eacc from utf8 takes variant 3", 65001, 1,
       [&](QDialog& d) {
         select(COptionsDlg::kEacc)(d);
         EXPECT_TRUE(ui::isChecked(&d, COptionsDlg::IDC_EACC3));
         EXPECT_FALSE(enabled(&d, COptionsDlg::IDC_FILE_HEADER));
       },
       -2, 3},
  };
  for (const Case& c : cases) {
    settings.codePage = c.codePage;
    settings.marker = c.marker;
    COptionsDlg dlg(settings, folder(), u"");
    run<COptionsDlg>(dlg, [&](COptionsDlg& d) {
      c.act(d);
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(settings.codePage, c.newCodePage) << c.name;
    EXPECT_EQ(settings.marker, c.newMarker) << c.name;
  }
}

TEST_F(OptionsTest, SchemesSeparatorAndAccount) {
  qtest::writeFile(dir / "Sheetrix.ini", "[转换方案]\n图书=header=1;A=200a\n期刊=x\n[other]\nk=v\n");
  settings.schemeName = u"期刊";
  settings.recordSeparator = true;
  settings.userName = u"root";
  settings.password = u"pw";
  COptionsDlg dlg(settings, folder(), u"");
  run<COptionsDlg>(dlg, [](COptionsDlg& d) {
    QComboBox* schemes = combo(d, COptionsDlg::IDC_SCHEME);
    ASSERT_EQ(schemes->count(), 2);
    EXPECT_EQ(schemes->itemText(0), QStringLiteral("图书"));
    EXPECT_EQ(schemes->itemText(1), QStringLiteral("期刊"));
    EXPECT_EQ(schemes->currentIndex(), 1);  // the scheme the settings name
    EXPECT_TRUE(ui::isChecked(&d, COptionsDlg::IDC_SEPARATOR));
    EXPECT_EQ(ui::controlText(&d, COptionsDlg::IDC_USER), QStringLiteral("root"));
    EXPECT_EQ(ui::controlText(&d, COptionsDlg::IDC_PASSWORD), QStringLiteral("pw"));
    schemes->setCurrentIndex(0);
    toggle(&d, COptionsDlg::IDC_SEPARATOR);
    ui::setControlText(&d, COptionsDlg::IDC_USER, "cat");
    ui::setControlText(&d, COptionsDlg::IDC_PASSWORD, "");
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(settings.schemeName, u"图书");
  EXPECT_FALSE(settings.recordSeparator);
  EXPECT_EQ(settings.userName, u"cat");
  EXPECT_EQ(settings.password, u"");
}

TEST_F(OptionsTest, OpeningAndOkKeepTheSchemeInUse) {
  qtest::writeFile(dir / "Sheetrix.ini", "[转换方案]\n图书=1\n期刊=x\n报纸=y\n");
  struct Case { const char16_t* inUse; int selected; const char16_t* afterOk; };
  const Case cases[] = {{u"期刊", 1, u"期刊"}, {u"报纸", 2, u"报纸"}, {u"图书", 0, u"图书"},
                        {u"已删除", 0, u"图书"}, {u"", 0, u"图书"}};
  for (const Case& c : cases) {
    settings.schemeName = c.inUse;
    COptionsDlg dlg(settings, folder(), u"");
    run<COptionsDlg>(dlg, [&](COptionsDlg& d) {
      EXPECT_EQ(combo(d, COptionsDlg::IDC_SCHEME)->currentIndex(), c.selected) << platform::toUtf8(c.inUse);
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(settings.schemeName, c.afterOk);
  }
}

TEST_F(OptionsTest, ConfigurationRefillsTheSchemesAndKeepsTheChoice) {
  struct Case { const char* name; std::string after; QString selected; };
  const Case cases[] = {
      {"kept", "[转换方案]\n新=1\n期刊=x\n", "期刊"},
      {"gone", "[转换方案]\n新=1\n其他=2\n", "新"},
  };
  for (const Case& c : cases) {
    qtest::writeFile(dir / "Sheetrix.ini", "[转换方案]\n图书=1\n期刊=x\n");
    COptionsDlg dlg(settings, folder(), u"/data/sample.xls");
    run<COptionsDlg>(dlg, [&](COptionsDlg& d) {
      combo(d, COptionsDlg::IDC_SCHEME)->setCurrentIndex(1);
      // The scheme configuration's own dialog: the schemes change while it is open.
      script.act([&](QDialog& config) {
        qtest::writeFile(dir / "Sheetrix.ini", c.after);
        uitest::click(&config, ui::IDCANCEL);
      });
      uitest::click(&d, COptionsDlg::IDC_CONFIGURE);
      EXPECT_EQ(combo(d, COptionsDlg::IDC_SCHEME)->count(), 2) << c.name;
      EXPECT_EQ(combo(d, COptionsDlg::IDC_SCHEME)->currentText(), c.selected) << c.name;
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(settings.schemeName, ui::toU16(c.selected)) << c.name;
    EXPECT_EQ(script.pending(), 0u);
  }
}

TEST_F(OptionsTest, NoSchemeSectionGivesAnEmptySchemeAndCancelChangesNothing) {
  settings.schemeName = u"旧";
  COptionsDlg cancelled(settings, folder(), u"");
  run<COptionsDlg>(cancelled, [](COptionsDlg& d) {
    combo(d, COptionsDlg::IDC_CHARSET)->setCurrentIndex(COptionsDlg::kUtf8);
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(settings.schemeName, u"旧");
  EXPECT_EQ(settings.codePage, 0);
  COptionsDlg dlg(settings, folder(), u"");
  run<COptionsDlg>(dlg, [](COptionsDlg& d) {
    EXPECT_EQ(combo(d, COptionsDlg::IDC_SCHEME)->count(), 0);
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(settings.schemeName, u"");
}

// ---- the browse dialog ----

u16 hit(const char16_t* title, const char16_t* author) {
  return u16(u"FFFFFFFF<marc><header>00000nam\u00110\u00112200000\u0011\u0011\u001145\u0011\u0011</header>"
             u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">") +
         title + u"</sf><sf name=\"f\">" + author + u"</sf></field></marc>";
}

class BrowseTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ini = platform::fromUtf8((dir / "Gleanex.ini").string());
    qtest::writeFile(dir / "Gleanex.ini", "[简化记录]\n列1=200$a\n列2=200$f,200\n");
    for (int i = 0; i < 5; ++i) hits.push_back(hit(platform::format(u"书名%d", i + 1).c_str(), u"作者"));
  }
  /// Serves `hits` as a connection does: the first, then the next until there are none.
  void serve(CBrowseHitsDlg& dlg) {
    dlg.settingsPath = ini;
    dlg.hitCount = int32_t(hits.size());
    auto give = [this](char16_t* buf, int32_t size) -> int32_t {
      if (cursor >= hits.size()) return -1;
      const u16& t = hits[cursor++];
      if (t.size() >= size_t(size)) return 0;
      std::copy(t.begin(), t.end(), buf);
      buf[t.size()] = 0;
      return int32_t(t.size());
    };
    dlg.first = [this, give](char16_t* b, int32_t s) { cursor = 0; return give(b, s); };
    dlg.next = [this, give](char16_t* b, int32_t s) {
      if (onNext) onNext(cursor);
      return give(b, s);
    };
    dlg.appendHit = [this](const u16& t) { appended.push_back(t); };
  }
  static QTreeWidget* list(QDialog& d) { return ui::findControlAs<QTreeWidget>(&d, CBrowseHitsDlg::IDC_LIST); }
  static void fill() { QCoreApplication::processEvents(); }
  static void selectRow(QDialog& d, int row) { list(d)->setCurrentItem(list(d)->topLevelItem(row)); }

  qtest::TempDir dir;
  u16 ini;
  std::vector<u16> hits;
  size_t cursor = 0;
  std::function<void(size_t)> onNext;
  std::vector<u16> appended;
};

TEST_F(BrowseTest, ColumnsFromTheSettingsAndOneRowPerHit) {
  CBrowseHitsDlg dlg;
  serve(dlg);
  int result = run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("浏览查到的多条记录"));
    EXPECT_EQ(d.filter(), u"<list><item name=\"200$a\"/><item name=\"200$f\"/></list>");
    fill();
    QTreeWidget* l = list(d);
    ASSERT_EQ(l->columnCount(), 4);
    EXPECT_EQ(l->headerItem()->text(0), QStringLiteral("序号"));
    EXPECT_EQ(l->headerItem()->text(2), QStringLiteral("列1"));
    EXPECT_EQ(l->headerItem()->text(3), QStringLiteral("列2"));
    EXPECT_TRUE(l->isColumnHidden(1));
    EXPECT_EQ(l->columnWidth(2), 100);
    EXPECT_EQ(l->columnWidth(3), 200);
    ASSERT_EQ(l->topLevelItemCount(), 5);
    EXPECT_EQ(l->topLevelItem(2)->text(0), QStringLiteral("3"));
    EXPECT_EQ(l->topLevelItem(2)->text(2), QStringLiteral("书名3"));
    EXPECT_EQ(l->topLevelItem(2)->text(3), QStringLiteral("作者"));
    EXPECT_FALSE(d.filling());
    uitest::click(&d, CBrowseHitsDlg::IDC_CHOOSE);  // nothing selected: nothing happens
    EXPECT_TRUE(d.isVisible());
    selectRow(d, 3);
    uitest::click(&d, CBrowseHitsDlg::IDC_CHOOSE);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(dlg.chosenRow(), 3);
  EXPECT_EQ(dlg.chosenText(), hits[3]);
  EXPECT_TRUE(appended.empty());
}

TEST_F(BrowseTest, ChoosingWhileFetchingStopsTheFetchingFirst) {
  CBrowseHitsDlg dlg;
  serve(dlg);
  int result = run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
    // While the third hit is fetched, the user picks the second row.
    onNext = [&](size_t at) {
      if (at != 2) return;
      EXPECT_TRUE(d.filling());
      selectRow(d, 1);
      uitest::click(&d, CBrowseHitsDlg::IDC_CHOOSE);
    };
    fill();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(list(d)->topLevelItemCount(), 3);
    uitest::click(&d, CBrowseHitsDlg::IDC_CHOOSE);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(dlg.chosenRow(), 1);
  EXPECT_EQ(dlg.chosenText(), hits[1]);
}

TEST_F(BrowseTest, KeepFirstAndOutputAllButtons) {
  struct Case { int button; int result; int chosen; };
  const Case cases[] = {{CBrowseHitsDlg::IDC_FIRST, ui::IDOK, 0}, {CBrowseHitsDlg::IDC_ALL, ui::IDCANCEL, -1}};
  for (const Case& c : cases) {
    CBrowseHitsDlg dlg;
    serve(dlg);
    int result = run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
      fill();
      uitest::click(&d, c.button);
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dlg.chosenRow(), c.chosen);
  }
}

TEST_F(BrowseTest, OutputAllAppendsEveryHitAndClosesItself) {
  hits[2] = u16(100000, u'x');  // does not fit the buffer: listed empty, never written
  CBrowseHitsDlg dlg;
  serve(dlg);
  dlg.outputAll = true;
  int result = run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
    EXPECT_EQ(ui::controlText(&d, CBrowseHitsDlg::IDC_ALL), QString("输出全部记录"));
    fill();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(ui::controlText(&d, CBrowseHitsDlg::IDC_ALL), QString("停止保存"));
    EXPECT_FALSE(visible(&d, CBrowseHitsDlg::IDC_CHOOSE));
    EXPECT_FALSE(visible(&d, CBrowseHitsDlg::IDC_FIRST));
    EXPECT_EQ(list(d)->topLevelItemCount(), 5);
    EXPECT_EQ(list(d)->topLevelItem(2)->text(2), QString());
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_EQ(appended, (std::vector<u16>{hits[0], hits[1], hits[3], hits[4]}));
}

TEST_F(BrowseTest, StopSavingEndsTheAppendingEarly) {
  CBrowseHitsDlg dlg;
  serve(dlg);
  dlg.outputAll = true;
  int result = run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
    onNext = [&](size_t at) {
      if (at == 2) uitest::click(&d, CBrowseHitsDlg::IDC_ALL);
    };
    fill();
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_EQ(appended.size(), 3u);  // the row being listed when it was pressed is still written
}

TEST_F(BrowseTest, WithoutBriefColumnsOnlyRowNumbers) {
  qtest::writeFile(dir / "Gleanex.ini", "[简化记录]\n列2=200$a\n");
  CBrowseHitsDlg dlg;
  serve(dlg);
  run<CBrowseHitsDlg>(dlg, [&](CBrowseHitsDlg& d) {
    fill();
    EXPECT_EQ(d.filter(), u"");
    EXPECT_EQ(list(d)->columnCount(), 2);
    EXPECT_EQ(list(d)->topLevelItemCount(), 5);
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(dlg.chosenRow(), -1);
}

}  // namespace
