#include "db_picker.h"

#include "settings.h"

#include <loomstore/QzDir.h>
#include <loomstore/ResPath.h>

#include <QLineEdit>
#include <QTreeWidget>

void PlaceDirTree(ui::Dialog& dialog, CQzDir& dir, int placeId, int showZ3950, const CAppSettings& settings) {
  QWidget* place = dialog.item(placeId);
  place->hide();
  dir.SetOption(3, showZ3950);
  dir.SetUniformUser(settings.userName.c_str(), settings.password.c_str());
  dir.Dirs(&dialog, place->geometry(), CDbPickerDlg::IDC_TREE);
}

CDbPickerDlg::CDbPickerDlg(platform::u16 path, const CAppSettings& settings, QWidget* parent)
    : ui::Dialog(IDD, parent), m_path(std::move(path)), m_settings(settings), m_dir(std::make_unique<CQzDir>()) {
  setWindowTitle(QStringLiteral("查找Kelvra数据库"));
  setDialogSize(220, 200);
  add<QLineEdit>(IDC_TREE_PLACE, 7, 7, 206, 150);
  addStatic(QStringLiteral("数据库:"), 7, 163, 30, 8);
  addStatic(QString(), 40, 163, 173, 8, IDC_PATH);
  addButton(ui::IDOK, QStringLiteral("确定"), 108, 180, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取消"), 163, 180, 50, 14);
}

CDbPickerDlg::~CDbPickerDlg() = default;

void CDbPickerDlg::onInitDialog() {
  PlaceDirTree(*this, *m_dir, IDC_TREE_PLACE, 0, m_settings);
  if (auto* tree = itemAs<QTreeWidget>(IDC_TREE))
    connect(tree, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
  if (!m_path.empty()) {
    setControlText(this, IDC_PATH, ui::qs(m_path));
    m_dir->GoTo(m_path.c_str());
  }
}

void CDbPickerDlg::OnSelectionChanged() {
  char16_t path[256] = {};
  if (m_dir->GetCurSelPath(path, 256) && CResPath(path).GetPartNum() > 2) setControlText(this, IDC_PATH, QString::fromUtf16(path));
}

void CDbPickerDlg::onOK() {
  m_path = ui::toU16(ui::controlText(this, IDC_PATH));
  endDialog(ui::IDOK);
}
