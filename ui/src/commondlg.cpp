#include <ui/commondlg.h>

#include <ui/dialog.h>
#include <ui/modal.h>

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace ui {

QStringList nameFilters(const QString& windowsFilter) {
  QStringList parts = windowsFilter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& desc = parts[i];
    if (desc.isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the last "(...)"; a description that already ends with
    // them ("Excel (*.xls)") is kept as it is.
    if (desc.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')'))) out << desc;
    else out << desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return out;
}

namespace {

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogOptions& o, bool save) {
  QFileDialog d(parent, o.title, o.initialDir);
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  d.setFileMode(save || !o.fileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && !o.overwritePrompt) d.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters = nameFilters(o.filter);
  if (!filters.isEmpty()) d.setNameFilters(filters);
  if (!o.defaultExt.isEmpty()) d.setDefaultSuffix(o.defaultExt);
  if (!o.fileName.isEmpty()) d.selectFile(o.fileName);
  if (execDialog(d) != QDialog::Accepted) return std::nullopt;
  QStringList files = d.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

}  // namespace

std::optional<QString> getOpenFileName(QWidget* parent, const FileDialogOptions& options) {
  return runFileDialog(parent, options, false);
}

std::optional<QString> getSaveFileName(QWidget* parent, const FileDialogOptions& options) {
  return runFileDialog(parent, options, true);
}

std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) {
  QFontDialog d(initial, parent);
  d.setOption(QFontDialog::DontUseNativeDialog);
  if (execDialog(d) != QDialog::Accepted) return std::nullopt;
  return d.selectedFont();
}

namespace {

// The sixteen basic colours that the font dialog's colour list offers.
struct NamedColour {
  const char* name;
  QRgb rgb;
};
constexpr NamedColour kBasicColours[] = {
    {"黑色", 0x000000}, {"褐红", 0x800000}, {"绿色", 0x008000}, {"橄榄色", 0x808000},
    {"藏青", 0x000080}, {"紫色", 0x800080}, {"蓝绿", 0x008080}, {"灰色", 0x808080},
    {"银色", 0xC0C0C0}, {"红色", 0xFF0000}, {"亮绿", 0x00FF00}, {"黄色", 0xFFFF00},
    {"蓝色", 0x0000FF}, {"紫红", 0xFF00FF}, {"青色", 0x00FFFF}, {"白色", 0xFFFFFF},
};

QIcon swatch(const QColor& c) {
  QPixmap pm(16, 12);
  pm.fill(c);
  QPainter p(&pm);
  p.setPen(Qt::darkGray);
  p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
  return QIcon(pm);
}

}  // namespace

std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial, QColor& colour) {
  QFontDialog d(initial, parent);
  d.setOption(QFontDialog::DontUseNativeDialog);
  auto* list = new QComboBox;
  setControlId(list, IDC_FONT_COLOUR);
  for (const NamedColour& c : kBasicColours) list->addItem(swatch(QColor(c.rgb)), QString::fromUtf8(c.name), QColor(c.rgb));
  int at = list->findData(QColor(colour.rgb()));
  if (at < 0) {
    // A colour outside the list keeps its own entry.
    list->addItem(swatch(colour), QStringLiteral("自定义"), QColor(colour.rgb()));
    at = list->count() - 1;
  }
  list->setCurrentIndex(at);
  auto* label = new QLabel(QStringLiteral("颜色(&C):"));
  label->setBuddy(list);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(list, 1);
  // The colour goes with strike-out and underline into the dialog's effects box; the sample
  // line shows the text in it.
  QGroupBox* effects = nullptr;
  QLineEdit* sample = nullptr;
  for (QGroupBox* box : d.findChildren<QGroupBox*>()) {
    if (!box->findChildren<QCheckBox*>().isEmpty()) effects = box;
    else if (QLineEdit* e = box->findChild<QLineEdit*>()) sample = e;
  }
  if (auto* boxLayout = effects ? qobject_cast<QBoxLayout*>(effects->layout()) : nullptr) {
    boxLayout->addLayout(row);
  } else if (auto* grid = qobject_cast<QGridLayout*>(d.layout())) {
    grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
  } else {
    d.layout()->addItem(row);
  }
  auto showColour = [list, sample] {
    if (!sample) return;
    QPalette p = sample->palette();
    p.setColor(QPalette::Text, list->currentData().value<QColor>());
    sample->setPalette(p);
  };
  QObject::connect(list, &QComboBox::currentIndexChanged, list, showColour);
  showColour();
  if (execDialog(d) != QDialog::Accepted) return std::nullopt;
  colour = list->currentData().value<QColor>();
  return d.selectedFont();
}

}  // namespace ui
