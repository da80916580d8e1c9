#include "options_dlg.h"

#include "settings.h"

#include <platform/profile.h>
#include <tabulo/Tabulo.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

namespace {

constexpr char16_t kSchemeSection[] = u"转换方案";
constexpr uint32_t kSchemeSectionSize = 4096;

}  // namespace

COptionsDlg::COptionsDlg(CAppSettings& settings, platform::u16 programFolder, platform::u16 sourceFile, QWidget* parent)
    : ui::Dialog(IDD, parent),
      m_settings(settings),
      m_programFolder(std::move(programFolder)),
      m_sourceFile(std::move(sourceFile)) {
  setWindowTitle(QStringLiteral("输入输出选项"));
  setDialogSize(250, 150);
  addStatic(QStringLiteral("Excel数据转换方案:"), 7, 9, 80, 8);
  // Drop-down lists at their closed height: their lists open over the dialog, not inside it.
  m_schemes = add<QComboBox>(IDC_SCHEME, 90, 7, 130, 13);
  addButton(IDC_CONFIGURE, QStringLiteral(">>"), 224, 7, 19, 13);
  addStatic(QStringLiteral("MARC文件输出字符集:"), 7, 28, 80, 8);
  m_charset = add<QComboBox>(IDC_CHARSET, 90, 26, 80, 13);
  m_charset->addItems({QStringLiteral("GBK"), QStringLiteral("Unicode(UCS2)"), QStringLiteral("UTF8"), QStringLiteral("EACC")});
  add<QCheckBox>(IDC_SEPARATOR, 7, 45, 80, 10)->setText(QStringLiteral("添加记录分隔符"));
  add<QCheckBox>(IDC_FILE_HEADER, 90, 45, 70, 10)->setText(QStringLiteral("添加文件头"));
  add<QRadioButton>(IDC_EACC3, 90, 58, 70, 10)->setText(QStringLiteral("3字节引导符"));
  add<QRadioButton>(IDC_EACC4, 165, 58, 70, 10)->setText(QStringLiteral("4字节引导符"));
  for (int id : {IDC_FILE_HEADER, IDC_EACC3, IDC_EACC4}) item(id)->setEnabled(false);
  add<QGroupBox>(ui::IDC_STATIC, 7, 74, 236, 46)->setTitle(QStringLiteral("登录Kelvra所用的缺省帐户"));
  addStatic(QStringLiteral("帐户名:"), 14, 88, 40, 8);
  add<QLineEdit>(IDC_USER, 60, 86, 100, 12);
  addStatic(QStringLiteral("口令字:"), 14, 104, 40, 8);
  add<QLineEdit>(IDC_PASSWORD, 60, 102, 100, 12)->setEchoMode(QLineEdit::Password);
  addButton(ui::IDOK, QStringLiteral("确定"), 138, 128, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 193, 128, 50, 14);
}

void COptionsDlg::FillSchemes() {
  platform::u16 ini = m_programFolder + u"Sheetrix.ini";
  for (const platform::u16& line : platform::profileSection(ini, kSchemeSection, kSchemeSectionSize)) {
    if (line.empty()) break;
    m_schemes->addItem(ui::qs(platform::u16v(line).substr(0, line.find(u'='))));
  }
}

void COptionsDlg::setOption(int id, bool enabled, bool checked) {
  item(id)->setEnabled(enabled);
  setChecked(this, id, checked);
}

void COptionsDlg::onInitDialog() {
  FillSchemes();
  const CAppSettings& s = m_settings;
  // The scheme in use stays chosen, so that OK alone changes nothing; the first only when
  // it is gone from the list.
  if (m_schemes->count() > 0) m_schemes->setCurrentIndex(std::max(0, m_schemes->findText(ui::qs(s.schemeName), Qt::MatchExactly)));
  int charset = s.codePage == -2 ? kEacc : s.codePage == -1 ? kUcs2 : s.codePage == 65001 ? kUtf8 : kGbk;
  m_charset->setCurrentIndex(charset);
  // On opening only the stored choice is enabled (the variant, or the file header when it is
  // on); changing the character set afterwards enables the rest.
  if (charset == kEacc) {
    if (s.marker == 3) setOption(IDC_EACC3, true, true);
    if (s.marker == 4) setOption(IDC_EACC4, true, true);
  } else if (charset != kGbk && s.marker != 0) {
    setOption(IDC_FILE_HEADER, true, true);
  }
  setChecked(this, IDC_SEPARATOR, s.recordSeparator);
  setControlText(this, IDC_USER, ui::qs(s.userName));
  setControlText(this, IDC_PASSWORD, ui::qs(s.password));
  connect(m_charset, &QComboBox::currentIndexChanged, this, [this](int index) { OnCharsetChanged(index); });
}

void COptionsDlg::OnCharsetChanged(int index) {
  // The controls show the stored flag or variant; only OK changes them.
  bool eacc = index == kEacc;
  bool header = index == kUcs2 || index == kUtf8;
  bool variant4 = m_settings.marker == 4;
  setOption(IDC_EACC3, eacc, eacc && !variant4);
  setOption(IDC_EACC4, eacc, eacc && variant4);
  setOption(IDC_FILE_HEADER, header, header && m_settings.marker != 0);
}

void COptionsDlg::onCommand(int id) {
  if (id == IDC_CONFIGURE) OnConfigure();
}

void COptionsDlg::OnConfigure() {
  QString previous = m_schemes->currentText();
  ConfigTabulo(ui::toU16(previous).c_str(), m_sourceFile.c_str());
  m_schemes->clear();
  FillSchemes();
  int i = m_schemes->findText(previous);
  m_schemes->setCurrentIndex(i >= 0 ? i : 0);
}

void COptionsDlg::onOK() {
  CAppSettings& s = m_settings;
  s.schemeName = ui::toU16(m_schemes->currentText());
  switch (m_charset->currentIndex()) {
    case kUcs2:
    case kUtf8:
      s.codePage = m_charset->currentIndex() == kUcs2 ? -1 : 65001;
      s.marker = isChecked(this, IDC_FILE_HEADER) ? 1 : 0;
      break;
    case kEacc:
      s.codePage = -2;
      s.marker = isChecked(this, IDC_EACC3) ? 3 : 4;
      break;
    default: s.codePage = 0; break;
  }
  s.recordSeparator = isChecked(this, IDC_SEPARATOR);
  s.userName = ui::toU16(ui::controlText(this, IDC_USER));
  s.password = ui::toU16(ui::controlText(this, IDC_PASSWORD));
  endDialog(ui::IDOK);
}
