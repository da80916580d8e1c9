// CMarcFieldDlg: the tag and indicator rules, the defaults of the field-definition file and
// the help pane.
#include "field_dlg.h"

#include "field_item.h"
#include "help_browser.h"
#include "whole_characters.h"
#include "xml_converter.h"

#include <platform/paths.h>
#include <platform/profile.h>
#include <xml/escape.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr char16_t kTwoBlanks[] = u"  ";

}  // namespace

CMarcFieldDlg::CMarcFieldDlg(QWidget* parent, std::u16string hostFolder)
    : ui::Dialog(IDD, parent), hostFolder_(std::move(hostFolder)), definitions_(xml::Document::create()) {
  setWindowTitle(QStringLiteral("MARC字段属性"));
  setDialogSize(330, 255);
  addStatic(QStringLiteral("字段名:"), 7, 9, 30, 9);
  tagEdit_ = add<QLineEdit>(IDC_TAG, 38, 7, 40, 14);
  addStatic(QStringLiteral("指示符:"), 88, 9, 30, 9);
  indicatorEdit_ = add<QLineEdit>(IDC_INDICATORS, 119, 7, 24, 14);
  addStatic(QStringLiteral("新增字段"), 7, 27, 200, 10, IDC_ALIAS);
  addButton(ui::IDOK, QStringLiteral("确定"), 218, 7, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("放弃"), 273, 7, 50, 14);
  addButton(IDC_HELP, QStringLiteral("字段帮助>>"), 273, 24, 50, 14);
  auto* rule = addStatic(QString(), 7, 43, 316, 1);
  rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  browser_ = add<CWebBrowser2>(penwick::IDC_WEB_BROWSER, 7, 48, 316, 200);
  connect(tagEdit_, &QLineEdit::textChanged, this, &CMarcFieldDlg::OnTagChanged);
  connect(indicatorEdit_, &QLineEdit::textChanged, this, &CMarcFieldDlg::OnIndicatorsChanged);
  penwick::KeepWholeCharacters(*this);
}

void CMarcFieldDlg::onInitDialog() {
  if (tag.empty()) {
    tag = u"999";
    indicators = kTwoBlanks;
    setWindowTitle(QStringLiteral("插入新的MARC字段"));
  }
  if (!fieldDefinitionPath.empty()) definitions_.load(platform::pathFromWide(fieldDefinitionPath));
  tagEdit_->setMaxLength(5);
  indicatorEdit_->setMaxLength(2);
  // As the edits' change notifications run on each text set, the tag's rule proposes the
  // definition's indicators first and the field's own indicators then replace them.
  SetEditText(tagEdit_, ui::qs(tag));
  SetEditText(indicatorEdit_, ui::qs(indicators));
  LayoutHelpPane();
}

void CMarcFieldDlg::SetEditText(QLineEdit* edit, const QString& text) {
  // An edit tells of every text set, also of one that leaves the text as it was.
  if (edit->text() == text) emit edit->textChanged(text);
  else edit->setText(text);
}

xml::Node CMarcFieldDlg::Definition(std::u16string_view fieldTag) const {
  xml::Node root = definitions_ ? definitions_.documentElement() : xml::Node();
  if (!root) return {};
  // Looked up directly: a tag typed with a quote in it must not change the query.
  std::vector<xml::Node> found = root.childElementsWhere(u"field", u"name", fieldTag);
  return found.empty() ? xml::Node() : found.front();
}

std::u16string CMarcFieldDlg::DefaultIndicators(std::u16string_view fieldTag) const {
  xml::Node def = Definition(fieldTag);
  std::optional<std::u16string> value = def ? def.getAttribute(u"indicator") : std::nullopt;
  if (!value) return kTwoBlanks;
  for (char16_t& c : *value)
    if (c == xml::kEscapedBlank) c = u' ';
  return *value;
}

std::u16string CMarcFieldDlg::DefaultData(std::u16string_view fieldTag) const {
  const bool control = penwick::IsControlTag(fieldTag);
  std::u16string data = control ? std::u16string() : std::u16string{penwick::kDelimiter, u'a'};
  xml::Node def = Definition(fieldTag);
  if (!def) return data;
  if (control) {
    data = def.text();
  } else {
    data.clear();
    // Only subfield elements count: text, comments and elements without a code are skipped.
    for (const xml::Node& sf : def.childElements()) {
      std::optional<std::u16string> code = sf.getAttribute(u"name");
      if (!code) continue;
      data += penwick::kDelimiter;
      data += *code;
      data += sf.text();
    }
  }
  return xml::unescapeContent(data);
}

void CMarcFieldDlg::OnTagChanged(const QString& text) {
  if (!text.isEmpty()) {
    std::u16string alias = platform::profileString(propertyIniPath, u"Alias", ui::toU16(text), u"", 256);
    ui::setControlText(this, IDC_ALIAS, ui::qs(alias));
  }
  if (text.size() == 3) {
    std::u16string fieldTag = ui::toU16(text);
    if (penwick::IsControlTag(fieldTag)) {
      indicatorEdit_->clear();
      indicatorEdit_->setEnabled(false);
      tagEdit_->selectAll();
    } else {
      indicatorEdit_->setText(ui::qs(DefaultIndicators(fieldTag)));
      indicatorEdit_->setEnabled(true);
      indicatorEdit_->selectAll();
      indicatorEdit_->setFocus();
    }
  } else if (text.size() >= 4) {
    indicatorEdit_->setText(text.mid(3));
    tagEdit_->setText(text.left(3));
  }
}

void CMarcFieldDlg::OnIndicatorsChanged(const QString& text) {
  if (text.size() < 2) return;
  if (text.size() > 2) indicatorEdit_->setText(text.left(2));
  tagEdit_->selectAll();
  tagEdit_->setFocus();
}

void CMarcFieldDlg::onCommand(int id) {
  if (id != IDC_HELP) return;
  helpShown = !helpShown;
  LayoutHelpPane();
  tagEdit_->setFocus();
  tagEdit_->selectAll();
}

void CMarcFieldDlg::LayoutHelpPane() {
  auto* button = itemAs<QPushButton>(IDC_HELP);
  // Hidden as well as cut off, so that Tab never lands in a pane out of sight.
  browser_->setVisible(helpShown != 0);
  if (!helpShown) {
    button->setText(QStringLiteral("字段帮助>>"));
    setFixedSize(width(), browser_->geometry().top());
    return;
  }
  button->setText(QStringLiteral("无帮助 <<"));
  setFixedSize(width(), browser_->geometry().bottom() + 1 + 10);
  if (!pageLoaded) {
    browser_->Navigate(penwick::HostFile(hostFolder_, "marcfld.htm"));
    pageLoaded = 1;
  }
}

void CMarcFieldDlg::DropDefinitions() {
  if (pageLoaded) browser_->Navigate(u"about:blank");
  if (definitions_) definitions_.clear();
}

void CMarcFieldDlg::onOK() {
  std::u16string fieldTag = ui::toU16(tagEdit_->text());
  if (fieldTag.size() != 3) return;
  tag = fieldTag;
  defaultData = DefaultData(fieldTag);
  if (penwick::IsControlTag(fieldTag)) {
    indicators.clear();
  } else {
    std::u16string typed = ui::toU16(indicatorEdit_->text());
    if (typed.empty()) indicators = kTwoBlanks;
    else if (typed.size() == 1) indicators = typed + u' ';
    else indicators = typed.substr(0, 2);
  }
  DropDefinitions();
  endDialog(ui::IDOK);
}

void CMarcFieldDlg::onCancel() {
  DropDefinitions();
  endDialog(ui::IDCANCEL);
}
