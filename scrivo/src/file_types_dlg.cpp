#include "file_types_dlg.h"

#include "viewer_app.h"

#include <loomkit/FileAssoc.h>
#include <platform/registry.h>
#include <ui/modal.h>

#include <QCheckBox>
#include <QLabel>

namespace {

struct Extension {
  const char16_t* ext;
  int checkBox;
};
// The order in which the boxes are read and the associations made.
constexpr Extension kExtensions[] = {{u".mrc", 1001}, {u".iso", 1003}, {u".marc", 1002}, {u".dat", 1004}};

// Deletes every subkey of `key`, then `name` under `parent`; false at the first failure.
bool deleteKeyTree(platform::HKEY parent, const char16_t* name) {
  platform::RegKey key;
  if (platform::RegOpenKeyEx(parent, name, key.put()) != platform::ERROR_SUCCESS) return false;
  for (;;) {
    char16_t sub[256] = {};
    uint32_t size = 256;
    platform::LONG r = platform::RegEnumKeyEx(key.get(), 0, sub, &size);
    if (r == platform::ERROR_NO_MORE_ITEMS) break;
    if (r != platform::ERROR_SUCCESS || !deleteKeyTree(key.get(), sub)) return false;
  }
  key.close();
  return platform::RegDeleteKey(parent, name) == platform::ERROR_SUCCESS;
}

}  // namespace

bool RemoveMarcFileType() {
  platform::RegKey probe;
  if (platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, kMarcFileType, probe.put()) != platform::ERROR_SUCCESS)
    return true;
  probe.close();
  return deleteKeyTree(platform::HKEY_CLASSES_ROOT, kMarcFileType);
}

CFileTypesDlg::CFileTypesDlg(std::u16string exePath, QWidget* parent)
    : ui::Dialog(129, parent), exePath_(std::move(exePath)) {
  setWindowTitle(QStringLiteral("设置打开方式"));
  setDialogSize(251, 74);
  auto* icon = add<QLabel>(ui::IDC_STATIC, 7, 7, 21, 20);
  icon->setPixmap(ViewerIcon().pixmap(32, 32));
  auto* text = addStatic(QStringLiteral("将下列扩展名称的MARC文件的缺省打开方式设置为Scrivor程序"), 43, 9, 139, 18);
  text->setWordWrap(true);
  add<QCheckBox>(1001, 44, 31, 51, 13)->setText(QStringLiteral(".mrc"));
  add<QCheckBox>(1003, 44, 46, 51, 13)->setText(QStringLiteral(".iso"));
  add<QCheckBox>(1002, 114, 31, 51, 13)->setText(QStringLiteral(".marc"));
  add<QCheckBox>(1004, 114, 46, 51, 13)->setText(QStringLiteral(".dat"));
  addButton(ui::IDOK, QStringLiteral("确定"), 194, 9, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 194, 28, 50, 14);
}

void CFileTypesDlg::onInitDialog() {
  for (const Extension& e : kExtensions) {
    CFileAssoc assoc;
    if (assoc.QueryTypeAssociation(e.ext, kMarcFileType, exePath_.c_str())) ui::setChecked(this, e.checkBox, true);
  }
}

void CFileTypesDlg::onOK() {
  bool anyTicked = false;
  // A program path that no desktop entry can name: nothing is changed.
  bool creating = false;
  for (const Extension& e : kExtensions) creating = creating || ui::isChecked(this, e.checkBox);
  if (creating && !CanAssociateProgram(exePath_.c_str())) {
    ui::messageBox(this, QStringLiteral("Scrivo程序所在的路径中含有控制字符，不能设置MARC文件的打开方式!"), QString(),
                   ui::Icon::Error);
    endDialog(ui::IDCANCEL);
    return;
  }
  for (const Extension& e : kExtensions) {
    CFileAssoc assoc;
    if (ui::isChecked(this, e.checkBox)) {
      assoc.CreateTypeAssociation(e.ext, kMarcFileType, exePath_.c_str());
      anyTicked = true;
    } else {
      assoc.DeleteTypeAssociation(e.ext, kMarcFileType, exePath_.c_str());
    }
  }
  if (!anyTicked) RemoveMarcFileType();
  endDialog(ui::IDOK);
}
