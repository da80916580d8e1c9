// CElementDlg: the choice lists, the qualifier flags and the qualifier string built at OK.
#include "element_dlg.h"

#include "field_item.h"
#include "help_browser.h"
#include "whole_characters.h"

#include <platform/profile.h>
#include <platform/text.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

using penwick::u16;
using penwick::u16v;

QComboBox* addChoiceBox(QComboBox* box) {
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMaxVisibleItems(12);
  return box;
}

// The lists keep their entries sorted without regard to case, as a sorted combo box does.
void addSorted(QComboBox* box, const QString& text) {
  int at = 0;
  while (at < box->count() && box->itemText(at).compare(text, Qt::CaseInsensitive) <= 0) ++at;
  box->insertItem(at, text);
}

void fillList(QComboBox* box, const u16& file, u16v section) {
  box->clear();
  for (const u16& entry : platform::profileList(file, section, 256)) addSorted(box, ui::qs(entry));
  // A list filled anew has no selection (Qt would select the first entry inserted).
  box->setCurrentIndex(-1);
}

// The first entry that begins with prefix, case-insensitive (the combo box's own search).
int findPrefix(const QComboBox* box, const QString& prefix) {
  for (int i = 0; i < box->count(); ++i)
    if (box->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) return i;
  return -1;
}

// Shows a stored value: the entry that begins with it, else the value itself as typed text,
// so that a value the lists do not offer (or an empty one) comes back unchanged at OK.
void showValue(QComboBox* box, const u16& value) {
  int at = value.empty() ? -1 : findPrefix(box, ui::qs(value));
  box->setCurrentIndex(at);
  if (at < 0) box->setEditText(ui::qs(value));
}

// An empty entry, selected: sorted, it stands first.
void selectEmptyEntry(QComboBox* box) {
  addSorted(box, QString());
  box->setCurrentIndex(findPrefix(box, QString()));
}

u16 text(const QComboBox* box) { return ui::toU16(box->currentText()); }

}  // namespace

bool penwick::FindQualifier(u16v data, u16v name, u16& value) {
  u16 mark = u16(1, kEsc) + u16(name) + u"::=";
  size_t at = data.find(mark);
  value.clear();
  if (at == u16v::npos) return false;
  size_t start = at + mark.size();
  size_t end = data.find(kEsc, start);
  value = u16(data.substr(start, end == u16v::npos ? u16v::npos : end - start));
  return true;
}

CElementDlg::CElementDlg(QWidget* parent, std::u16string_view hostFolder)
    : ui::Dialog(IDD, parent),
      langIniPath(penwick::HostFile(hostFolder, "lang.ini")) {
  setWindowTitle(QStringLiteral("DC元素及其属性输入模板"));
  setDialogSize(286, 107);
  addStatic(QStringLiteral("元素名 Element:"), 7, 9, 70, 9);
  elementBox_ = addChoiceBox(add<QComboBox>(IDC_ELEMENT, 80, 7, 140, 14));
  addStatic(QStringLiteral("子元素 Type:"), 7, 26, 70, 9);
  typeBox_ = addChoiceBox(add<QComboBox>(IDC_TYPE, 80, 24, 140, 14));
  addStatic(QStringLiteral("值修饰词 Scheme:"), 7, 43, 70, 9);
  schemeBox_ = addChoiceBox(add<QComboBox>(IDC_SCHEME, 80, 41, 140, 14));
  auto* line = addStatic(QString(), 7, 61, 272, 1);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  addStatic(QStringLiteral("语种代码 Lang:"), 7, 70, 70, 9);
  langBox_ = addChoiceBox(add<QComboBox>(IDC_LANG, 80, 68, 80, 14));
  addStatic(QStringLiteral("MARC字段 MarcID:"), 7, 88, 70, 9);
  tagEdit_ = add<QLineEdit>(IDC_MARC_TAG, 80, 86, 30, 14);
  addStatic(QStringLiteral("$"), 113, 88, 6, 9);
  codeEdit_ = add<QLineEdit>(IDC_MARC_CODE, 121, 86, 16, 14);
  addButton(ui::IDOK, QStringLiteral("确定"), 229, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 229, 24, 50, 14);

  // activated: the user's own pick, by mouse or keys, never a selection set by the code.
  connect(elementBox_, &QComboBox::activated, this, [this] { FillTypeList(); });
  connect(typeBox_, &QComboBox::activated, this, [this] {
    FillSchemeList();
    writeType = 1;
  });
  connect(schemeBox_, &QComboBox::activated, this, [this] { writeScheme = 1; });
  connect(langBox_, &QComboBox::activated, this, [this] { writeLang = 1; });
  connect(tagEdit_, &QLineEdit::textChanged, this, [this] { OnTagChanged(); });
  connect(codeEdit_, &QLineEdit::textChanged, this, [this] { OnCodeChanged(); });
  penwick::KeepWholeCharacters(*this);
}

void CElementDlg::onInitDialog() {
  initialising = 1;
  if (elementName.empty()) setWindowTitle(QStringLiteral("插入新的DC元素"));
  tagEdit_->setMaxLength(3);
  codeEdit_->setMaxLength(1);

  fillList(elementBox_, propertyIniPath, u"Elements");
  if (!elementName.empty()) showValue(elementBox_, elementName);
  else elementBox_->setCurrentIndex(elementBox_->count() > 0 ? 0 : -1);

  writeType = writeScheme = 0;
  FillTypeList();

  fillList(langBox_, langIniPath, u"Langs");
  u16 value;
  if (penwick::FindQualifier(elementData, u"Lang", value)) {
    showValue(langBox_, value);
    writeLang = 1;
  } else {
    selectEmptyEntry(langBox_);
    writeLang = 0;
  }

  if (penwick::FindQualifier(elementData, u"MarcID", value)) {
    size_t dollar = value.find(u'$');
    tagEdit_->setText(ui::qs(value.substr(0, dollar)));
    codeEdit_->setText(dollar == u16::npos ? QString() : ui::qs(value.substr(dollar + 1)));
    writeMarcID = 1;
  } else {
    writeMarcID = 0;
  }
  initialising = 0;
}

void CElementDlg::FillTypeList() {
  u16 element = text(elementBox_);
  fillList(typeBox_, propertyIniPath, platform::format(u"%s.Type", element.c_str()));
  if (initialising) {
    u16 type;
    if (penwick::FindQualifier(elementData, u"Type", type)) {
      showValue(typeBox_, type);
      writeType = 1;
    } else {
      selectEmptyEntry(typeBox_);
    }
    // Filled in either case: a stored Scheme of an element without a Type must be shown
    // (and so kept at OK) too.
    FillSchemeList();
  } else if (typeBox_->count() == 0) {
    schemeBox_->clear();
  } else {
    FillSchemeList();
  }
}

void CElementDlg::FillSchemeList() {
  u16 element = text(elementBox_);
  // No Type, or the empty Type entry: the choices that do not depend on a Type.
  u16 type = typeBox_->currentIndex() < 0 ? u16() : ui::toU16(typeBox_->itemText(typeBox_->currentIndex()));
  u16 section = type.empty() ? platform::format(u"%s.Scheme", element.c_str())
                             : platform::format(u"%s.%s.Scheme", element.c_str(), type.c_str());
  fillList(schemeBox_, propertyIniPath, section);
  if (initialising) {
    u16 scheme;
    if (penwick::FindQualifier(elementData, u"Scheme", scheme)) {
      showValue(schemeBox_, scheme);
      writeScheme = 1;
    } else {
      schemeBox_->setCurrentIndex(schemeBox_->count() > 0 ? 0 : -1);
      writeScheme = 0;
    }
  }
}

void CElementDlg::OnTagChanged() {
  if (tagEdit_->text().size() > 2) {
    codeEdit_->setFocus();
    codeEdit_->selectAll();
  }
  writeMarcID = 1;
}

void CElementDlg::OnCodeChanged() {
  if (!codeEdit_->text().isEmpty()) {
    tagEdit_->setFocus();
    tagEdit_->selectAll();
  }
  writeMarcID = 1;
}

void CElementDlg::onOK() {
  elementName = text(elementBox_);
  u16 q;
  const u16 esc(1, penwick::kEsc);
  if (writeType) q += esc + u"Type::=" + text(typeBox_);
  if (writeScheme) q += esc + u"Scheme::=" + text(schemeBox_);
  if (writeLang) q += esc + u"Lang::=" + text(langBox_);
  if (writeMarcID) {
    u16 tag = ui::toU16(tagEdit_->text());
    u16 code = ui::toU16(codeEdit_->text());
    if (tag.size() > 2) q += esc + u"MarcID::=" + tag + (code.empty() ? u16() : u"$" + code);
  }
  elementData = q;
  endDialog(ui::IDOK);
}
