#include "rule_dlg.h"

#include "db_picker.h"
#include "settings.h"

#include <ui/commondlg.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr char16_t kMarcFilter[] = u"MARC文件 (*.mrc *.iso)|*.mrc;*.iso|";
constexpr char16_t kExcelFilter[] = u"Excel文件 (*.xlsx)|*.xlsx|";  // the only workbook the no-hit writer makes
constexpr char16_t kAllFilter[] = u"所有文件 (*.*)|*.*||";

/// The save dialog of an output file; the chosen name, or nothing.
std::optional<QString> askOutputFile(QWidget* parent, const QString& filter) {
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定输出数据文件名");
  o.filter = filter;
  o.defaultExt = QStringLiteral("mrc");
  return ui::getSaveFileName(parent, o);
}

}  // namespace

// ---- CHitRuleDlg ----

const CHitRuleDlg::Row CHitRuleDlg::kRows[5] = {
    {IDC_SCRIPT_ON, IDC_SCRIPT, IDC_SCRIPT_BROWSE},
    {IDC_OUTPUT_ON, IDC_OUTPUT, IDC_OUTPUT_BROWSE},
    {IDC_DB1_ON, IDC_DB1, IDC_DB1_BROWSE},
    {IDC_DB2_ON, IDC_DB2, IDC_DB2_BROWSE},
    {IDC_DB3_ON, IDC_DB3, IDC_DB3_BROWSE},
};

CHitRuleDlg::CHitRuleDlg(int mode, CAppSettings& settings, QWidget* parent)
    : ui::Dialog(IDD, parent),
      m_mode(mode),
      m_settings(settings),
      m_rule(mode == kModeNoHit ? settings.noHit : settings.oneHit) {
  setDialogSize(300, 120);
  const char16_t* labels[5] = {u"数据预处理", u"输出到文件", u"转入数据库1", u"转入数据库2", u"转入数据库3"};
  for (int i = 0; i < 5; ++i) {
    int y = 7 + i * 18;
    auto* box = add<QCheckBox>(kRows[i].check, 7, y + 2, 70, 10);
    box->setText(QString::fromUtf16(labels[i]));
    routeClicks(box, kRows[i].check);
    add<QLineEdit>(kRows[i].edit, 80, y, 190, 13)->setEnabled(false);
    addButton(kRows[i].browse, QStringLiteral("..."), 274, y, 19, 13)->setEnabled(false);
  }
  addButton(ui::IDOK, QStringLiteral("确定"), 188, 100, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 243, 100, 50, 14);
}

platform::u16& CHitRuleDlg::setting(int row) {
  switch (row) {
    case 0: return m_rule.script;
    case 1: return m_rule.output;
    default: return m_rule.database[row - 2];
  }
}

void CHitRuleDlg::enableRow(const Row& r, bool on) {
  item(r.edit)->setEnabled(on);
  item(r.browse)->setEnabled(on);
}

void CHitRuleDlg::onInitDialog() {
  setWindowTitle(m_mode == kModeNoHit ? QStringLiteral("没有命中记录的处理规则") : QStringLiteral("命中唯一记录的处理规则"));
  for (int i = 0; i < 5; ++i) {
    const platform::u16& value = setting(i);
    if (value.empty()) continue;
    setChecked(this, kRows[i].check, true);
    setControlText(this, kRows[i].edit, ui::qs(value));
    enableRow(kRows[i], true);
  }
}

void CHitRuleDlg::onCommand(int id) {
  for (int i = 0; i < 5; ++i) {
    const Row& r = kRows[i];
    if (id == r.check) enableRow(r, isChecked(this, id));
    if (id == r.browse && i >= 2) OnPickDatabase(r);  // the three database rows
  }
  if (id == IDC_SCRIPT_BROWSE) OnBrowseScript();
  if (id == IDC_OUTPUT_BROWSE) OnBrowseOutput();
}

void CHitRuleDlg::OnBrowseScript() {
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定JavaScript预处理程序");
  o.filter = QStringLiteral("JavaScript程序 (*.js)|*.js||");
  o.defaultExt = QStringLiteral("js");
  if (auto path = ui::getOpenFileName(this, o)) setControlText(this, IDC_SCRIPT, *path);
}

void CHitRuleDlg::OnBrowseOutput() {
  QString filter = QString::fromUtf16(kMarcFilter);
  if (m_mode == kModeNoHit) filter += QString::fromUtf16(kExcelFilter);
  filter += QString::fromUtf16(kAllFilter);
  auto name = askOutputFile(this, filter);
  if (!name) return;
  setControlText(this, IDC_OUTPUT, *name);
  m_rule.output = ui::toU16(*name);  // at once: a later Cancel keeps it
}

void CHitRuleDlg::OnPickDatabase(const Row& r) {
  CDbPickerDlg dlg(ui::toU16(ui::controlText(this, r.edit)), m_settings, this);
  if (dlg.exec() == ui::IDOK) setControlText(this, r.edit, ui::qs(dlg.path()));
}

void CHitRuleDlg::onOK() {
  for (int i = 0; i < 5; ++i)
    setting(i) = isChecked(this, kRows[i].check) ? ui::toU16(ui::controlText(this, kRows[i].edit)) : platform::u16();
  endDialog(ui::IDOK);
}

// ---- CMultiHitDlg ----

CMultiHitDlg::CMultiHitDlg(CAppSettings& settings, QWidget* parent) : ui::Dialog(IDD, parent), m_settings(settings) {
  setWindowTitle(QStringLiteral("命中多条记录的处理策略"));
  setDialogSize(260, 95);
  const std::pair<int, const char16_t*> choices[3] = {{IDC_CHOOSE, u"选择一条记录，按命中唯一记录处理"},
                                                      {IDC_FIRST, u"一直选第一条，按命中唯一记录处理"},
                                                      {IDC_ALL, u"将全部命中记录都保存到MARC文件中"}};
  int y = 7;
  for (auto [id, text] : choices) {
    auto* r = add<QRadioButton>(id, 7, y, 240, 10);
    r->setText(QString::fromUtf16(text));
    routeClicks(r, id);
    y += 14;
  }
  add<QLineEdit>(IDC_OUTPUT, 19, y, 206, 13)->setEnabled(false);
  addButton(IDC_BROWSE, QStringLiteral("..."), 229, y, 19, 13)->setEnabled(false);
  addButton(ui::IDOK, QStringLiteral("确定"), 143, 75, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 198, 75, 50, 14);
}

void CMultiHitDlg::enableOutput(bool on) {
  item(IDC_OUTPUT)->setEnabled(on);
  item(IDC_BROWSE)->setEnabled(on);
}

void CMultiHitDlg::onInitDialog() {
  int32_t s = m_settings.multiStrategy;
  setChecked(this, s == kStrategyFirst ? IDC_FIRST : s == kStrategyAll ? IDC_ALL : IDC_CHOOSE, true);
  enableOutput(s == kStrategyAll);
  setControlText(this, IDC_OUTPUT, ui::qs(m_settings.multiOutput));
}

void CMultiHitDlg::onCommand(int id) {
  switch (id) {
    case IDC_ALL: enableOutput(true); break;
    case IDC_CHOOSE:
    case IDC_FIRST: enableOutput(false); break;
    case IDC_BROWSE:
      if (auto name = askOutputFile(this, QString::fromUtf16(kMarcFilter) + QString::fromUtf16(kAllFilter))) {
        setControlText(this, IDC_OUTPUT, *name);
        m_settings.multiOutput = ui::toU16(*name);
      }
      break;
    default: break;
  }
}

void CMultiHitDlg::onOK() {
  m_settings.multiOutput = ui::toU16(ui::controlText(this, IDC_OUTPUT));
  m_settings.multiStrategy = isChecked(this, IDC_FIRST) ? kStrategyFirst : isChecked(this, IDC_ALL) ? kStrategyAll : kStrategyChoose;
  endDialog(ui::IDOK);
}
