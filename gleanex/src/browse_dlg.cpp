#include "browse_dlg.h"

#include "server_list.h"

#include <loomkit/RecordText.h>
#include <loomstore/SimpleRecord.h>
#include <platform/profile.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int32_t kListSize = 10240;
constexpr uint32_t kColumnSize = 128;
constexpr int kBriefColumns = 20;
constexpr int kTextColumn = 1;

}  // namespace

CBrowseHitsDlg::CBrowseHitsDlg(QWidget* parent) : ui::Dialog(IDD, parent) {
  setWindowTitle(QStringLiteral("浏览查到的多条记录"));
  setDialogSize(400, 220);
  m_list = add<QTreeWidget>(IDC_LIST, 7, 7, 386, 170);
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  addStatic(QStringLiteral("正在..."), 7, 183, 40, 8, IDC_STATUS);
  m_progress = add<QProgressBar>(IDC_PROGRESS, 50, 182, 343, 10);
  addButton(IDC_CHOOSE, QStringLiteral("选择指定记录"), 178, 199, 70, 14, true);
  addButton(IDC_ALL, QStringLiteral("输出全部记录"), 251, 199, 70, 14);
  addButton(IDC_FIRST, QStringLiteral("保持选第一条"), 324, 199, 70, 14);
}

void CBrowseHitsDlg::onInitDialog() {
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);  // full-row selection
  m_list->header()->setStretchLastSection(false);               // columns keep their widths
  QStringList captions{QStringLiteral("序号"), QString()};
  std::vector<int> widths{10, 0};
  m_filter.clear();
  for (int i = 1; i <= kBriefColumns; ++i) {
    platform::u16 key = platform::format(u"列%d", i);
    platform::u16 value = platform::profileString(settingsPath, u"简化记录", key, u"", kColumnSize);
    if (value.empty()) break;
    size_t comma = value.find(u',');
    platform::u16 name = value.substr(0, comma);
    widths.push_back(comma == platform::u16::npos ? 100 : LeadingNumber(platform::u16v(value).substr(comma + 1)));
    captions << ui::qs(key);
    if (m_filter.empty()) m_filter = u"<list>";
    m_filter += platform::format(u"<item name=\"%s\"/>", name);
  }
  if (!m_filter.empty()) m_filter += u"</list>";
  m_list->setHeaderLabels(captions);
  for (int c = 0; c < int(widths.size()); ++c) m_list->setColumnWidth(c, widths[c]);
  m_list->setColumnHidden(kTextColumn, true);
  m_filling = false;
  // The rows are fetched once the dialog is up, from its own event loop.
  QTimer::singleShot(0, this, [this] { FillRows(); });
}

void CBrowseHitsDlg::AddRow(int row, const platform::u16& text, CSimpleRecord& brief) {
  auto* it = new QTreeWidgetItem(m_list);
  it->setText(0, QString::number(row + 1));
  it->setText(kTextColumn, ui::qs(text));
  if (text.size() <= loomkit::kRecordPrefixLength) return;
  brief.SetRecord(text.c_str() + loomkit::kRecordPrefixLength);
  std::vector<char16_t> list(kListSize);
  if (brief.GetList(list.data(), kListSize) <= 0) return;
  platform::u16v values(list.data());
  for (int column = 2; !values.empty() && column < m_list->columnCount(); ++column) {
    size_t tab = values.find(u'\t');
    it->setText(column, ui::qs(values.substr(0, tab)));
    if (tab == platform::u16v::npos) break;
    values.remove_prefix(tab + 1);
  }
}

void CBrowseHitsDlg::FillRows() {
  if (!isVisible()) return;  // ended before its rows were fetched
  if (outputAll) {
    item(IDC_FIRST)->hide();
    item(IDC_CHOOSE)->hide();
    setControlText(this, IDC_ALL, QStringLiteral("停止保存"));
  }
  m_filling = true;
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  std::vector<char16_t> buffer(loomkit::kRecordBufferSize);
  // A hit whose text did not come (too long, or fetching failed) is listed with an empty
  // text: it is neither shown with the previous hit's columns nor written a second time.
  auto fetched = [&](int32_t n) { return n > 0 ? platform::u16(buffer.data(), size_t(n)) : platform::u16(); };
  platform::u16 text = fetched(first ? first(buffer.data(), loomkit::kRecordBufferSize) : 0);
  CSimpleRecord brief;
  brief.SetFilter(m_filter.empty() ? nullptr : m_filter.c_str());
  for (int row = 0; row < hitCount; ++row) {
    AddRow(row, text, brief);
    m_progress->setValue(int(int64_t(row + 1) * 100 / hitCount));
    QCoreApplication::processEvents();
    if (outputAll && appendHit && !text.empty()) appendHit(text);
    if (!m_filling) break;
    int32_t n = next ? next(buffer.data(), loomkit::kRecordBufferSize) : -1;
    if (n < 0) break;
    text = fetched(n);
  }
  m_filling = false;
  if (outputAll) endDialog(ui::IDCANCEL);
}

void CBrowseHitsDlg::finish(int chosen, int result) {
  m_chosen = chosen;
  if (m_filling) m_filling = false;  // only stops the fetching; the dialog stays
  else endDialog(result);
}

void CBrowseHitsDlg::onOK() {
  QList<QTreeWidgetItem*> sel = m_list->selectedItems();
  if (sel.isEmpty()) return;
  finish(m_list->indexOfTopLevelItem(sel.front()), ui::IDOK);
}

void CBrowseHitsDlg::onCancel() { finish(-1, ui::IDCANCEL); }

void CBrowseHitsDlg::onCommand(int id) {
  if (id == IDC_FIRST) finish(0, ui::IDOK);
}

platform::u16 CBrowseHitsDlg::chosenText() const {
  QTreeWidgetItem* it = m_chosen >= 0 ? m_list->topLevelItem(m_chosen) : nullptr;
  return it ? ui::toU16(it->text(kTextColumn)) : platform::u16();
}
