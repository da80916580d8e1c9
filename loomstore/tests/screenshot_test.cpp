// Writes PNGs of the dialogs into <build tree>/screenshots for a look by eye, and checks
// that their Chinese texts are drawn with a face that has the glyphs.
#include "dialog_fixture.h"

#include <loomstore/LoginDlg.h>
#include <loomstore/ProxyDlg.h>
#include <loomstore/RecordServerDlg.h>
#include <loomstore/Z3950ServerDlg.h>

#include <ui/fonts.h>

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QRawFont>

namespace {

class Screenshots : public DialogTest {};

// Every text of the dialog (statics, buttons, check boxes, group titles, list items) has its
// glyphs in the dialog's face.
void expectGlyphs(QWidget& d) {
  QStringList texts = uitest::controlSummary(d);
  if (auto* list = d.findChild<QListWidget*>())
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  EXPECT_EQ(QFontInfo(d.font()).family(), QString::fromLatin1(ui::kSongtiSubstitute));
  QRawFont raw = QRawFont::fromFont(d.font());
  for (const QString& t : texts)
    for (QChar c : t)
      if (c.unicode() > 0x7F) {
        EXPECT_TRUE(raw.supportsCharacter(c)) << QString(c).toStdString() << " in " << t.toStdString();
      }
}

void shoot(QWidget& d, const std::string& name) {
  d.show();
  expectGlyphs(d);
  auto path = uitest::saveScreenshot(d, name);
  QImage img(QString::fromStdString(path.string()));
  ASSERT_FALSE(img.isNull()) << path;
  EXPECT_EQ(img.size(), d.size() * d.devicePixelRatio());
  d.hide();
}

TEST_F(Screenshots, ServerSettingsDialogs) {
  writeIni("[Servers]\nLC=z39.50\n[LC]\nIP=z3950.loc.gov\nport=7090\nproxy=true\nSyntax=USmarc\n"
           "databases=Voyager+中文图书+\n[Proxy]\nhostname=127.0.0.1\nuser=读者\n");
  CLoginDlg login;
  login.m_server = u"国家图书馆";
  login.m_user = u"编目员";
  login.initialize();
  shoot(login, "dialog5006_login");

  CProxyDlg proxy;
  proxy.initialize();
  shoot(proxy, "dialog5005_proxy");

  CRecordServerDlg record;
  record.m_prevName = u"本馆书目库";
  record.initialize();
  shoot(record, "dialog5009_record_server");

  CZ3950ServerDlg z;
  z.m_prevName = u"LC";
  z.initialize();
  ui::findControlAs<QListWidget>(&z, 5008)->setCurrentRow(1);
  shoot(z, "dialog5010_z3950_server");
}

}  // namespace
