// The main dialog apart from the batch run: its controls, the settings dialogs it opens,
// closing, and the registration of the suite's servers at the first start.
#include "main_dlg.h"

#include "options_dlg.h"
#include "rule_dlg.h"
#include "script_rule.h"
#include "server_list.h"
#include "server_list_dlg.h"

#include <com/create.h>
#include <com/unknown.h>
#include <platform/comerror.h>
#include <ui/commondlg.h>
#include <ui/modal.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTreeWidget>

#include <dlfcn.h>

namespace {

QString q(u16v s) { return QString::fromStdU16String(u16(s)); }

/// The About box (dialog 100).
class CAboutDlg : public ui::Dialog {
 public:
  explicit CAboutDlg(QWidget* parent) : ui::Dialog(100, parent) {
    setWindowTitle(QStringLiteral(u"关于 Gleanex"));
    setDialogSize(200, 60);
    auto* icon = add<QLabel>(ui::IDC_STATIC, 10, 10, 24, 24);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    addStatic(QStringLiteral(u"Gleanex 1.0 版"), 40, 10, 150, 10);
    addStatic(QStringLiteral(u"QorvelMARC数据采集器"), 40, 22, 150, 10);
    addButton(ui::IDOK, QStringLiteral(u"确定"), 140, 40, 50, 14, true);
  }
};

}  // namespace

CGleanexDlg::CGleanexDlg(QWidget* parent) : ui::Dialog(102, parent) {
  setWindowTitle(QStringLiteral(u"Gleanex -- QorvelMARC数据采集器"));
  BuildControls();
}

CGleanexDlg::~CGleanexDlg() {
  if (theReporter().parent == this) theReporter().parent = nullptr;
}

void CGleanexDlg::BuildControls() {
  setDialogSize(330, 262);
  addStatic(QStringLiteral(u"源数据文件:"), 7, 9, 50, 10);
  add<QLineEdit>(1000, 58, 7, 215, 13);
  addButton(1003, QStringLiteral(u"..."), 276, 7, 18, 13);
  addStatic(QStringLiteral(u"跳过记录数:"), 7, 26, 50, 10);
  auto* skip = add<QLineEdit>(1018, 58, 24, 40, 13);
  skip->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), skip));
  auto* rule = add<QCheckBox>(1001, 7, 42, 60, 12);
  rule->setText(QStringLiteral(u"源数据预处理"));
  routeClicks(rule, 1001);
  add<QLineEdit>(1002, 68, 41, 205, 13)->setEnabled(false);
  addButton(1004, QStringLiteral(u"..."), 276, 41, 18, 13)->setEnabled(false);
  addButton(1012, QStringLiteral(u"设置"), 276, 58, 47, 14);

  addStatic(QStringLiteral(u"数据下载服务器列表:"), 7, 62, 120, 10);
  auto* list = add<QTreeWidget>(1005, 7, 74, 316, 62);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setHeaderLabels({QStringLiteral(u"数据库名称")});
  list->setColumnWidth(0, 400);

  const struct {
    int button, edit, counter;
    const char16_t* label;
  } rules[] = {{1006, 1007, 1014, u"命中唯一记录的处理"},
               {1008, 1009, 1015, u"命中多条记录的处理"},
               {1010, 1011, 1016, u"没有命中记录的处理"}};
  int y = 142;
  for (const auto& r : rules) {
    addStatic(q(r.label), 7, y + 2, 80, 10);
    addButton(r.button, QStringLiteral(u"—>>"), 88, y, 24, 13);
    add<QLineEdit>(r.edit, 116, y, 170, 13)->setReadOnly(true);
    auto* counter = add<QLabel>(r.counter, 292, y + 2, 31, 10);
    counter->setText(QStringLiteral("0"));
    y += 17;
  }
  add<QLineEdit>(1017, 7, 196, 236, 13)->setReadOnly(true);
  add<QLabel>(1031, 248, 198, 75, 10);
  add<QProgressBar>(1013, 7, 214, 316, 10)->setTextVisible(false);
  addButton(ui::IDOK, QStringLiteral(u"确定"), 153, 238, 50, 15, true);
  addButton(ui::IDCANCEL, QStringLiteral(u"退出"), 213, 238, 50, 15);
  addButton(3, QStringLiteral(u"选项 >>"), 273, 238, 50, 15);

  // The system menu's About command: the dialog's context menu here.
  auto* about = new QAction(QStringLiteral(u"关于 Gleanex(&A)..."), this);
  connect(about, &QAction::triggered, this, [this] {
    CAboutDlg dlg(this);
    ui::execDialog(dlg);
  });
  setContextMenuPolicy(Qt::ActionsContextMenu);
  addAction(about);
}

void CGleanexDlg::onInitDialog() {
  theReporter().parent = this;
  setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
  sourceSheet_.CreateDispatch(u"Sheetrix.XlsFile");
  noHitWriter_.CreateDispatch(u"Sheetrix.XlsFile");
  storeServer_.CreateDispatch(u"Kelvra.Server");
  storeDbase_.CreateDispatch(u"Kelvra.Dbase");
  storeRecord_.CreateDispatch(u"Kelvra.Record");
  running_ = false;
  noHitWriterOpen_ = false;

  const CAppSettings& s = theApp().settings;
  setChecked(this, 1001, s.sourceRuleOn);
  item(1002)->setEnabled(s.sourceRuleOn);
  item(1004)->setEnabled(s.sourceRuleOn);
  setControlText(this, 1002, q(s.sourceRuleScript));
  if (!initialSource_.empty()) setControlText(this, 1000, q(initialSource_));
  FillServerList();
  ShowRuleSummary(1007, s.oneHit);
  if (s.multiStrategy == kStrategyAll) setControlText(this, 1009, q(s.multiOutput));
  ShowRuleSummary(1011, s.noHit);
}

void CGleanexDlg::FillServerList() {
  auto* list = itemAs<QTreeWidget>(1005);
  if (!list) return;
  list->clear();
  for (const u16& entry : theApp().settings.servers)
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{q(ServerEntryDisplay(entry))}));
}

void CGleanexDlg::ShowRuleSummary(int editId, const CHitRule& rule) {
  if (!rule.output.empty()) setControlText(this, editId, q(rule.output));
  else if (!rule.database[0].empty()) setControlText(this, editId, q(rule.database[0]));
}

void CGleanexDlg::ShowCounters() {
  setControlText(this, 1014, q(platform::format(u"%ld", oneHitCount)));
  setControlText(this, 1015, q(platform::format(u"%ld", multiHitCount)));
  setControlText(this, 1016, q(platform::format(u"%ld", noHitCount)));
}

void CGleanexDlg::SetStatus(const u16& text) { setControlText(this, 1017, q(text)); }

void CGleanexDlg::ShowServerStatus(const u16& text) { setControlText(this, 1031, q(text)); }

void CGleanexDlg::DrainMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CGleanexDlg::SetRunControls(bool run) {
  item(ui::IDOK)->setEnabled(!run);
  setControlText(this, ui::IDCANCEL, run ? QStringLiteral(u"停止") : QStringLiteral(u"退出"));
  // The server list, the rules and the options are read while the run goes on: they stay
  // closed until it ends.
  for (int id : {1000, 1003, 1018, 1001, 1012, 1006, 1008, 1010, 3}) item(id)->setEnabled(!run);
  bool rule = isChecked(this, 1001);
  item(1002)->setEnabled(!run && rule);
  item(1004)->setEnabled(!run && rule);
}

void CGleanexDlg::onCommand(int id) {
  CAppSettings& s = theApp().settings;
  switch (id) {
    case 1003: {
      ui::FileDialogOptions o;
      o.title = QStringLiteral(u"指定源数据文件名");
      o.filter = QStringLiteral(u"MARC文件 (*.mrc *.iso)|*.mrc;*.iso|Excel文件 (*.xls *.xlsx *.ods)|*.xls;*.xlsx;*.ods|所有文件 (*.*)|*.*||");
      o.defaultExt = QStringLiteral("mrc");
      o.fileMustExist = true;
      if (auto path = ui::getOpenFileName(this, o)) setControlText(this, 1000, *path);
      break;
    }
    case 1001: {
      bool on = isChecked(this, 1001);
      s.sourceRuleOn = on;
      item(1002)->setEnabled(on);
      item(1004)->setEnabled(on);
      break;
    }
    case 1004: {
      ui::FileDialogOptions o;
      o.title = QStringLiteral(u"指定JavaScript预处理程序");
      o.filter = QStringLiteral(u"JavaScript程序 (*.js)|*.js||");
      o.defaultExt = QStringLiteral("js");
      if (auto path = ui::getOpenFileName(this, o)) {
        setControlText(this, 1002, *path);
        s.sourceRuleScript = path->toStdU16String();
      }
      break;
    }
    case 1012: {
      CServerListDlg dlg(s, this);
      if (ui::execDialog(dlg) == ui::IDOK) FillServerList();
      break;
    }
    case 1006:
    case 1010: {
      CHitRuleDlg dlg(id, s, this);
      if (ui::execDialog(dlg) == ui::IDOK) ShowRuleSummary(id == 1006 ? 1007 : 1011, id == 1006 ? s.oneHit : s.noHit);
      break;
    }
    case 1008: {
      CMultiHitDlg dlg(s, this);
      if (ui::execDialog(dlg) == ui::IDOK)
        setControlText(this, 1009, s.multiStrategy == kStrategyAll ? q(s.multiOutput) : QString());
      break;
    }
    case 3: {
      s.sourceRuleScript = controlText(this, 1002).toStdU16String();
      COptionsDlg dlg(s, theApp().programFolder, controlText(this, 1000).toStdU16String(), this);
      ui::execDialog(dlg);
      break;
    }
    default:
      break;
  }
}

void CGleanexDlg::onCancel() {
  // Until the run has ended (its current item may still be handled after 停止), closing
  // only stops it: a second 停止 in a row does not quit the program.
  if (running_ || inRun_) {
    running_ = false;
    return;
  }
  theApp().SaveSettings();
  try {
    if (storeServer_.m_lpDispatch) storeServer_.Disconnect();
  } catch (const platform::ComError&) {
  }
  storeServerName_.clear();
  endDialog(ui::IDCANCEL);
}

void RegisterMissingServers(std::string_view paths) {
  // The ProgID by which each server library is known.
  const struct {
    const char* library;
    const char16_t* progId;
  } known[] = {{"libzoom.so", u"zoom.ZoomConn"}, {"libkelvra.so", u"Kelvra.Server"}, {"libsheetrix.so", u"Sheetrix.XlsFile"}};
  while (!paths.empty()) {
    size_t bar = paths.find('|');
    std::string path(paths.substr(0, bar));
    paths = bar == std::string_view::npos ? std::string_view() : paths.substr(bar + 1);
    if (path.empty()) continue;
    const char16_t* progId = nullptr;
    for (const auto& k : known)
      if (path.size() >= std::strlen(k.library) && path.ends_with(k.library)) progId = k.progId;
    if (progId) {
      com::IUnknown* probe = nullptr;
      if (com::SUCCEEDED(com::createByProgId(progId, com::IID_IUnknown, reinterpret_cast<void**>(&probe)))) {
        probe->Release();
        continue;
      }
    }
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
    if (!lib) continue;
    auto reg = reinterpret_cast<com::HRESULT (*)()>(dlsym(lib, "DllRegisterServer"));
    if (reg) reg();
  }
}
