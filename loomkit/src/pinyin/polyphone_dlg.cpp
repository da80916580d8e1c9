// CPolyphoneDlg: the reading of one polyphone, chosen by the user, and the rules the user
// stores for it in pinyin.ini.
#include <loomkit/PolyphoneDlg.h>

#include <loomkit/Pinyin.h>

#include <platform/profile.h>
#include <platform/text.h>
#include <ui/fonts.h>
#include <ui/modal.h>
#include <ui/translations.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using ui::qs;
using ui::toU16;

namespace {

enum : int {
  kCharacter = 9020,
  kContext = 9021,
  kSubfield = 9026,
  kReadings = 9024,
  kPhraseEdit = 9016,
  kStorePhrase = 9019,
  kPhraseList = 9028,
  kKeepForSubfield = 9025,
  kMakeDefault = 9029,
  kAlwaysFirst = 9027,
  kStoreSurname = 9022,
  kStop = 3,
};

constexpr unsigned kReadingSize = 16;
constexpr unsigned kPhraseListSize = 512;
constexpr int kPhraseSize = 14;  // a phrase of at most 13 characters
constexpr size_t kFullList = 257;
constexpr size_t kContextReach = 3;

QString pickReadingFirst() { return QStringLiteral("请选择正确的读音，再进行保存"); }

}  // namespace

CPolyphoneDlg::CPolyphoneDlg(QWidget* parent) : ui::Dialog(IDD, parent) {
  setWindowTitle(QStringLiteral("请选择下列多音字的读音"));
  setDialogSize(260, 137);
  QLabel* big = add<QLabel>(kCharacter, 7, 7, 30, 30);
  big->setFont(ui::logFont(big->font(), 32, 24, 100));
  QPalette pal = big->palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
  big->setPalette(pal);
  big->setAlignment(Qt::AlignCenter);
  add<QLabel>(kContext, 45, 9, 120, 10);
  addStatic(QStringLiteral("当前子字段："), 45, 23, 120, 10, kSubfield);
  add<QComboBox>(kReadings, 170, 7, 83, 13);
  add<QLineEdit>(kPhraseEdit, 7, 42, 130, 13)->setMaxLength(kPhraseSize - 1);
  addButton(kStorePhrase, QStringLiteral("保存在此短语中读音"), 143, 41, 110, 14);
  add<QLineEdit>(kPhraseList, 7, 59, 246, 13)->setReadOnly(true);
  add<QCheckBox>(kKeepForSubfield, 7, 77, 246, 10)->setText(QStringLiteral("同一子字段保持此读音"));
  add<QCheckBox>(kMakeDefault, 7, 89, 246, 10)->setText(QStringLiteral("除了在其他读音已配置的短语以外，自动选择此读音"));
  add<QCheckBox>(kAlwaysFirst, 7, 101, 246, 10)->setText(QStringLiteral("不能从配置自动加拼音的一直选第一个读音"));
  addButton(kStoreSurname, QStringLiteral("保存姓氏读音"), 7, 117, 70, 14);
  addButton(kStop, QStringLiteral("停　止"), 93, 117, 50, 14);
  addButton(ui::IDOK, QStringLiteral("确  定"), 148, 117, 50, 14, true);
  addButton(ui::IDCANCEL, QStringLiteral("取　消"), 203, 117, 50, 14);
  connect(itemAs<QComboBox>(kReadings), &QComboBox::currentIndexChanged, this, [this] { selectionChanged(); });
}

std::u16string CPolyphoneDlg::read(const std::u16string& key, unsigned size) const {
  return platform::profileString(m_iniPath, m_character, key, u"", size);
}

void CPolyphoneDlg::write(const std::u16string& key, const std::u16string& value) {
  platform::writeProfileString(m_iniPath, m_character, key, value);
}

void CPolyphoneDlg::tell(const QString& text) {
  // Plain boxes: an OK button and no icon, for refusals and for the report alike.
  ui::messageBox(this, text);
}

std::u16string CPolyphoneDlg::chosenReading() const {
  auto* c = itemAs<QComboBox>(kReadings);
  if (c->currentIndex() < 0) return {};
  return toU16(c->currentText().left(int(kReadingSize) - 1));
}

void CPolyphoneDlg::onInitDialog() {
  item(kStoreSurname)->setEnabled(m_surname);
  const char16_t c = m_character.empty() ? u' ' : m_character[0];
  ui::setControlText(this, kCharacter, qs(m_character));
  const size_t p = std::min(m_position, m_text.size());
  const size_t from = p >= kContextReach ? p - kContextReach : 0;
  std::u16string before = m_text.substr(from, p - from);
  std::u16string after = p < m_text.size() ? m_text.substr(p + 1, kContextReach) : std::u16string();
  ui::setControlText(this, kContext, qs(before + u'<' + c + u'>' + after));
  ui::setControlText(this, kPhraseEdit, qs(before + c + after));
  ui::setControlText(this, kSubfield, qs(platform::format(u"当前子字段：%s", m_subfield)));

  m_default = read(u"!", kReadingSize);
  auto* combo = itemAs<QComboBox>(kReadings);
  QSignalBlocker quiet(combo);
  for (const std::u16string& r : m_readings) combo->addItem(qs(r));
  const QString prior = qs(read(u"prior", kReadingSize));
  // The combo box's exact-string search, which ignores letter case.
  combo->setCurrentIndex(prior.isEmpty() ? 0 : combo->findText(prior, Qt::MatchFixedString));
  quiet.unblock();
  selectionChanged();
}

void CPolyphoneDlg::selectionChanged() {
  std::u16string r = chosenReading();
  ui::setControlText(this, kPhraseList, r.empty() ? QString() : qs(read(r, kPhraseListSize)));
  ui::setChecked(this, kMakeDefault, !r.empty() && platform::equalsNoCase(r, m_default));
}

void CPolyphoneDlg::onCommand(int id) {
  switch (id) {
    case kStorePhrase: storePhrase(); break;
    case kStoreSurname: storeSurname(); break;
    case kStop:
      m_stop = true;
      endDialog(ui::IDOK);
      break;
    default: break;
  }
}

void CPolyphoneDlg::storePhrase() {
  const std::u16string reading = chosenReading();
  if (reading.empty()) return tell(pickReadingFirst());
  const std::u16string phrase = toU16(ui::controlText(this, kPhraseEdit, kPhraseSize));
  if (phrase.empty()) return tell(QStringLiteral("请输入对应该读音的短语，再进行保存"));
  if (phrase.find(u';') != std::u16string::npos)
    return tell(QStringLiteral("分号被用做格式符号，所以指定的短语中不能包含分号"));
  std::u16string list = read(reading, kPhraseListSize);
  if (list.size() >= kFullList) return tell(QStringLiteral("该多音字指定读音的配置内容太多，无法再追加新内容"));
  const std::u16string entry = phrase + u';';
  for (size_t at = list.find(entry); at != std::u16string::npos; at = list.find(entry, at + 1))
    if (at == 0 || list[at - 1] == u';') return tell(QStringLiteral("该短语的读音已经在配置中定义"));
  list += entry;
  write(reading, list);
  ui::setControlText(this, kPhraseList, qs(list));
  tell(qs(platform::format(u"汉字 <%s> 在短语 <%s >中读音为 <%s> 配置完毕", m_character, entry, reading)));
}

void CPolyphoneDlg::storeSurname() {
  const std::u16string reading = chosenReading();
  if (reading.empty()) return tell(pickReadingFirst());
  write(u"Surname", reading);
}

void CPolyphoneDlg::onOK() {
  const std::u16string reading = chosenReading();
  if (reading.empty()) return tell(QStringLiteral("请选择正确的读音，或者按取消不给该字加拼音"));
  m_reading = reading;
  write(u"prior", reading);
  m_alwaysFirst = ui::isChecked(this, kAlwaysFirst);
  // An empty subfield name would make a key without a name.
  if (ui::isChecked(this, kKeepForSubfield) && !m_subfield.empty()) write(m_subfield, reading);
  if (ui::isChecked(this, kMakeDefault)) write(u"!", reading);
  else if (platform::equalsNoCase(reading, m_default)) write(u"!", u"");
  endDialog(ui::IDOK);
}

namespace loomkit {

namespace {

class DialogChooser : public PolyphoneChooser {
 public:
  PolyphoneAnswer choose(const PolyphoneQuestion& q) override {
    ui::loadQtTranslations();
    CPolyphoneDlg d;
    d.m_character = std::u16string(1, q.character);
    d.m_readings = q.readings;
    d.m_text = std::u16string(q.text);
    d.m_position = q.position;
    d.m_subfield = q.subfield;
    d.m_surname = q.surnameContext;
    d.m_iniPath = q.iniPath;
    PolyphoneAnswer a;
    if (d.exec() != ui::IDOK) return a;
    if (d.m_stop) {
      a.outcome = PolyphoneAnswer::Stopped;
      return a;
    }
    a.outcome = PolyphoneAnswer::Chosen;
    a.reading = d.m_reading;
    a.alwaysFirst = d.m_alwaysFirst;
    return a;
  }
};

}  // namespace

PolyphoneChooser& PolyphoneDialogChooser() {
  static DialogChooser chooser;
  return chooser;
}

}  // namespace loomkit
