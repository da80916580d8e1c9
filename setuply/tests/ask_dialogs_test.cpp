// DlgAskIP and DlgAskSQL driven through the test hook: what each answer leaves in the
// caller's narrow (GBK) buffers, and the dialogs as they come up.
#include <setuply/Setuply.h>

#include "resource.h"

#include <platform/codepage.h>
#include <ui_testing/modal_script.h>

#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using uitest::ModalScript;

std::string gbk(const char16_t* s) { return platform::toNarrow(platform::CP_ACP, s); }

// Caller buffers of the installer's size, with a guard after each that must stay untouched.
struct Buffers {
  static constexpr int kGuard = 16;
  std::vector<std::vector<char>> b;
  explicit Buffers(int n) : b(n, std::vector<char>(kSetuplyBufferSize + kGuard, '#')) {}
  char* operator[](int i) { return b[i].data(); }
  std::string text(int i) const { return std::string(b[i].data()); }
  bool guardsIntact() const {
    for (const auto& v : b)
      for (int i = kSetuplyBufferSize; i < kSetuplyBufferSize + kGuard; ++i)
        if (v[i] != '#') return false;
    return true;
  }
};

struct AskCase {
  const char* name;
  std::function<void(QDialog&)> act;  // null: the dialog is left open and cancelled
  int result;
  std::vector<std::string> expected;
};


TEST(AskDialogs, AskIpAnswers) {
  const std::vector<AskCase> cases = {
      {"ok unchanged", [](QDialog& d) { uitest::click(&d, ui::IDOK); }, 1, {gbk(u"主服务器"), "192.168.0.1"}},
      {"ok new address",
       [](QDialog& d) {
         ui::setControlText(&d, IDC_IP_ADDRESS, QStringLiteral("10.0.12.7"));
         uitest::click(&d, ui::IDOK);
       },
       1, {gbk(u"主服务器"), "10.0.12.7"}},
      {"ok partly typed address",
       [](QDialog& d) {
         ui::setControlText(&d, IDC_IP_ADDRESS, QStringLiteral("10.1."));
         uitest::click(&d, ui::IDOK);
       },
       1, {gbk(u"主服务器"), "10.1.0.0"}},
      {"cancel after edits",
       [](QDialog& d) {
         ui::setControlText(&d, IDC_IP_ADDRESS, QStringLiteral("10.0.12.7"));
         uitest::click(&d, ui::IDCANCEL);
       },
       0, {gbk(u"主服务器"), "192.168.0.1"}},
      {"closed", nullptr, 0, {gbk(u"主服务器"), "192.168.0.1"}},
  };
  for (const AskCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModalScript script;
    if (c.act) script.act(c.act);
    Buffers b(2);
    EXPECT_EQ(DlgAskIP(b[0], b[1]), c.result);
    EXPECT_EQ(b.text(0), c.expected[0]);
    EXPECT_EQ(b.text(1), c.expected[1]);
    ASSERT_EQ(script.records().size(), 1u);
    EXPECT_EQ(script.records()[0].templateId, IDD_ASKIP);
    EXPECT_EQ(script.records()[0].caption, QStringLiteral("Kelvra服务器信息"));
  }
}

TEST(AskDialogs, AskIpControls) {
  ModalScript script;
  script.act([](QDialog& d) {
    EXPECT_FALSE(ui::findControl(&d, IDC_IP_ALIAS)->isEnabled());
    EXPECT_EQ(ui::controlText(&d, IDC_IP_ALIAS), QStringLiteral("主服务器"));
    EXPECT_EQ(ui::controlText(&d, IDC_IP_ADDRESS), QStringLiteral("192.168.0.1"));
    EXPECT_EQ(ui::controlText(&d, ui::IDOK), QStringLiteral("确定"));
    EXPECT_EQ(ui::controlText(&d, ui::IDCANCEL), QStringLiteral("放弃"));
    // The address box takes no text that is no address.
    auto* ip = ui::findControlAs<QLineEdit>(&d, IDC_IP_ADDRESS);
    ip->clear();
    for (QChar ch : QStringLiteral("1x2.300.4")) ip->insert(QString(ch));
    EXPECT_EQ(ip->text(), QStringLiteral("12.30.4"));
    uitest::saveScreenshot(d, "setuply_askip");
  });
  Buffers b(2);
  DlgAskIP(b[0], b[1]);
}

TEST(AskDialogs, AskSqlAnswers) {
  const std::vector<AskCase> cases = {
      {"ok unchanged, empty password", [](QDialog& d) { uitest::click(&d, ui::IDOK); }, 1,
       {"(local)", "1024", "sa", ""}},
      {"ok with every box changed",
       [](QDialog& d) {
         ui::setControlText(&d, IDC_SQL_SERVER, QStringLiteral("图书馆服务器"));
         ui::setControlText(&d, IDC_SQL_MEMORY, QStringLiteral("2048"));
         ui::setControlText(&d, IDC_SQL_ADMIN, QStringLiteral("admin"));
         ui::setControlText(&d, IDC_SQL_PASSWORD, QStringLiteral("口令1"));
         uitest::click(&d, ui::IDOK);
       },
       1, {gbk(u"图书馆服务器"), "2048", "admin", gbk(u"口令1")}},
      {"cancel", [](QDialog& d) { uitest::click(&d, ui::IDCANCEL); }, 0, {"(local)", "1024", "sa", ""}},
      {"closed", nullptr, 0, {"(local)", "1024", "sa", ""}},
  };
  for (const AskCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModalScript script;
    if (c.act) script.act(c.act);
    Buffers b(4);
    EXPECT_EQ(DlgAskSQL(b[0], b[1], b[2], b[3]), c.result);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.text(i), c.expected[i]) << i;
    ASSERT_EQ(script.records().size(), 1u);
    EXPECT_EQ(script.records()[0].templateId, IDD_ASKSQL);
    EXPECT_EQ(script.records()[0].caption, QStringLiteral("SQL Server连接信息"));
  }
}

TEST(AskDialogs, AskSqlControls) {
  ModalScript script;
  script.act([](QDialog& d) {
    EXPECT_FALSE(ui::findControl(&d, IDC_SQL_CONNECT)->isEnabled());
    EXPECT_EQ(ui::findControlAs<QLineEdit>(&d, IDC_SQL_PASSWORD)->echoMode(), QLineEdit::Password);
    auto* memory = ui::findControlAs<QLineEdit>(&d, IDC_SQL_MEMORY);
    memory->clear();
    for (QChar ch : QStringLiteral("5a1-2")) memory->insert(QString(ch));
    EXPECT_EQ(memory->text(), QStringLiteral("512"));
    uitest::saveScreenshot(d, "setuply_asksql");
  });
  Buffers b(4);
  DlgAskSQL(b[0], b[1], b[2], b[3]);
}

// The boxes hold no more than the installer's buffers take, in GBK bytes with the NUL.
TEST(AskDialogs, LongTextsFitTheCallersBuffers) {
  ModalScript script;
  script.act([](QDialog& d) {
    ui::setControlText(&d, IDC_SQL_SERVER, QString(2000, QChar(u'书')));
    ui::setControlText(&d, IDC_SQL_ADMIN, QString(2000, QChar(u'a')));
    uitest::click(&d, ui::IDOK);
  });
  Buffers b(4);
  ASSERT_EQ(DlgAskSQL(b[0], b[1], b[2], b[3]), 1);
  EXPECT_TRUE(b.guardsIntact());
  EXPECT_LT(b.text(0).size(), size_t(kSetuplyBufferSize));
  EXPECT_EQ(b.text(0).size() % 2, 0u);  // whole two-byte characters only
  EXPECT_LT(b.text(2).size(), size_t(kSetuplyBufferSize));
}

}  // namespace
