#include "viewer_dlg.h"

#include "about_dlg.h"
#include "file_types_dlg.h"
#include "record_xml.h"
#include "viewer_app.h"

#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/paths.h>
#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/commondlg.h>
#include <ui/fonts.h>
#include <ui/handles.h>
#include <ui/messages.h>
#include <ui/modal.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t WM_COMMAND = penwick::WM_COMMAND;
const QString kDialogCaption = QStringLiteral("Scrivor -- QorvelMARC文件查看器");
const QString kBarcodeOff = QStringLiteral("读二维码书目");
const QString kBarcodeOn = QStringLiteral("停止读二维码");
// A read of this many characters or fewer gave no record.
constexpr int32_t kNoRecord = 24;
constexpr int32_t kMaxCountedRecords = 1000000;
// The editor's text is asked for with the record buffer first; a record grown by editing
// beyond it is asked for again with room to spare, up to this many characters.
constexpr int32_t kMaxEditorChars = 64 * 1024 * 1024;

void errorBox(QWidget* parent, const QString& text) { ui::messageBox(parent, text, QString(), ui::Icon::Error); }
void infoBox(QWidget* parent, const QString& text) { ui::messageBox(parent, text, QString(), ui::Icon::Information); }
void warningBox(QWidget* parent, const QString& text) { ui::messageBox(parent, text, QString(), ui::Icon::Warning); }

// A chosen font as the editor's font description (the height in pixels, negative: the
// character height, as the font dialog gives it).
penwick::LOGFONTW logFontOf(const QFont& f) {
  penwick::LOGFONTW lf;
  const int pixels = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
  lf.lfHeight = -pixels;
  lf.lfWeight = f.weight();
  lf.lfItalic = f.italic() ? 1 : 0;
  lf.lfUnderline = f.underline() ? 1 : 0;
  lf.lfStrikeOut = f.strikeOut() ? 1 : 0;
  const std::u16string face = ui::toU16(f.family()).substr(0, penwick::LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  return lf;
}

// A colour as the editor takes it: a COLORREF, 0x00BBGGRR.
int32_t colourRefOf(const QColor& c) { return int32_t(c.red() | c.green() << 8 | c.blue() << 16); }

}  // namespace

CViewerDlg::CViewerDlg(QWidget* parent) : ui::Dialog(102, parent), icon(ViewerIcon()), programPath(platform::programPath()) {
  setWindowTitle(kDialogCaption);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  resize(mapDialogRect(QRect(0, 0, 527, 318)).size());

  addButton(IDC_LOADFILE, QStringLiteral("装入MARC文件"), 8, 7, 61, 14);
  addButton(IDC_PREV, QStringLiteral("<<"), 70, 7, 13, 14)->setEnabled(false);
  addButton(IDC_NEXT, QStringLiteral(">>"), 84, 7, 13, 14)->setEnabled(false);
  QLabel* number = addStatic(QStringLiteral("0"), 111, 7, 34, 13, IDC_RECORDNO);
  number->setAlignment(Qt::AlignCenter);
  number->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  addButton(IDC_RECORDCOUNT, QStringLiteral("记录数"), 146, 7, 38, 14, true);
  addButton(IDC_DEFAULTSHEET, QStringLiteral("缺省工作单"), 186, 7, 50, 14);
  addButton(IDC_SAVEXML, QStringLiteral("保存到XML文件"), 238, 7, 61, 14);
  addButton(IDC_CHANGEFONT, QStringLiteral("改变字体 >>"), 311, 7, 50, 14);
  addButton(IDC_BARCODE, kBarcodeOff, 363, 7, 61, 14);
  addButton(IDC_FILETYPES, QStringLiteral("设置打开方式"), 427, 7, 61, 14);
  // A Linux window manager gives the program no window menu of its own, so the About item
  // stands in a "帮助" menu at the end of the button row. It is not put on a context menu
  // of the dialog: a right-click in the editor would reach that menu after the editor's own
  // and leave it open to take the next keys.
  auto* help = add<QToolButton>(IDC_HELP, 492, 7, 30, 14);
  help->setText(QStringLiteral("帮助"));
  help->setPopupMode(QToolButton::InstantPopup);
  help->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* helpMenu = new QMenu(help);
  QAction* about = helpMenu->addAction(QStringLiteral("关于 Scrivo(&A)..."));
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
  help->setMenu(helpMenu);

  ui::onMessages(this, [this](uint32_t m, ui::WPARAM w, ui::LPARAM l) { return WindowProc(m, w, l); });
}

CViewerDlg::~CViewerDlg() = default;

void CViewerDlg::onInitDialog() {
  setWindowIcon(icon);
  ui::postMessage(this, WM_COMMAND, ID_DEFERREDINIT, 0);
}

void CViewerDlg::OnDeferredInit() {
  if (editorCreated) return;
  const QRect client = rect();
  editor.CreateEditor(this, 10, 45, client.width() - 20, client.height() - 55);
  if (commandLineFile.empty()) {
    LoadDefaultWorksheet();
  } else {
    recordFile.Close();
    commandLineFile = RemoveQuotes(commandLineFile);
    if (recordFile.Open(platform::pathFromWide(commandLineFile), platform::CFile::modeRead)) {
      ShowOpenedFile(commandLineFile);
    } else {
      errorBox(this, QStringLiteral("指定的MARC数据文件打开失败!"));
      LoadDefaultWorksheet();
    }
  }
  editorCreated = true;
  if (QWidget* w = PenwickWidget(editor.m_pEditor)) w->setFocus();
}

bool CViewerDlg::OpenRecordFile(const std::u16string& path) {
  recordFile.Close();
  return recordFile.Open(platform::pathFromWide(path), platform::CFile::modeRead);
}

void CViewerDlg::OnLoadFile() {
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定源MARC(GBK,Unicode,UFT8,EACC)数据文件名");
  o.filter = QStringLiteral("MARC文件 (*.mrc *.iso)|*.mrc;*.iso|所有文件 (*.*)|*.*||");
  o.defaultExt = QStringLiteral("mrc");
  std::optional<QString> chosen = ui::getOpenFileName(this, o);
  if (!chosen) return;
  const std::u16string path = ui::toU16(*chosen);
  if (OpenRecordFile(path)) ShowOpenedFile(path);
  else errorBox(this, QStringLiteral("指定的MARC数据文件打开失败"));
}

void CViewerDlg::ShowOpenedFile(const std::u16string& path) {
  if (!OnNextRecord()) return;
  int32_t codePage = 0, newline = 0, marker = 0;
  ViewerReader().GetAttributeEx(codePage, newline, marker);
  switch (codePage) {
    case -2: title = platform::format(u"Scrivo - %s (EACC%ld)", path, marker); break;
    case -1: title = platform::format(u"Scrivo - %s (UCS2)", path); break;
    case 65001: title = platform::format(u"Scrivo - %s (UTF8)", path); break;
    default: title = platform::format(u"Scrivo - %s (Ansi)", path); break;
  }
  setWindowTitle(ui::qs(title));
  SetRecordNumber(1);
  item(IDC_PREV)->setEnabled(true);
  item(IDC_NEXT)->setEnabled(true);
}

int32_t CViewerDlg::RecordNumber() const { return ui::controlText(this, IDC_RECORDNO).toInt(); }

void CViewerDlg::SetRecordNumber(int32_t n) { ui::setControlText(this, IDC_RECORDNO, QString::number(n)); }

void CViewerDlg::ShowRecord(CMarc& marc) {
  std::vector<char16_t> text(static_cast<size_t>(kRecordChars), 0);
  marc.GetContent(text.data(), kRecordChars);
  const std::u16string_view shown(text.data(), std::char_traits<char16_t>::length(text.data()));
  editor.SetText(shown.data(), int32_t(shown.size()), -1);
  TellWhenCut();
}

void CViewerDlg::TellWhenCut() {
  // The reader says what the text it made of the record just read keeps of it. A field cut
  // among its subfields is not counted as shown.
  const Iso2709Extent extent = ViewerReader().LastRecordExtent();
  if (extent.wholeFields < extent.fields)
    warningBox(this, ui::qs(platform::format(u"本记录过长，只显示了前%ld个字段（共%ld个字段），后面的内容未显示",
                                             extent.wholeFields, extent.fields)));
  else if (extent.fieldCut)
    warningBox(this, QStringLiteral("本记录中有字段长于9990个字符，只显示了该字段的前9990个字符"));
}

bool CViewerDlg::OnNextRecord() {
  CMarc marc;
  if (ViewerReader().ReadFromIso2709(marc, recordFile, 0) <= kNoRecord) {
    infoBox(this, QStringLiteral("这已经是最后一条记录"));
    return false;
  }
  SetRecordNumber(RecordNumber() + 1);
  ShowRecord(marc);
  return true;
}

bool CViewerDlg::OnPrevRecord() {
  CMarc marc;
  if (ViewerReader().ReadPrevRecord(marc, recordFile) <= kNoRecord) {
    infoBox(this, QStringLiteral("这已经是第一条记录"));
    return false;
  }
  SetRecordNumber(RecordNumber() - 1);
  ShowRecord(marc);
  return true;
}

void CViewerDlg::OnRecordCount() {
  const int64_t position = recordFile.GetPosition();
  recordFile.SeekToBegin();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  CMarc marc;
  int32_t count = 0;
  while (count < kMaxCountedRecords && ViewerReader().ReadFromIso2709(marc, recordFile, 0) > kNoRecord) ++count;
  QApplication::restoreOverrideCursor();
  if (position >= 0) recordFile.Seek(position, platform::CFile::begin);
  ui::messageBox(this, ui::qs(platform::format(u"MARC文件中共有: %ld条记录", count)));
}

std::u16string CViewerDlg::EditorText() {
  for (int32_t capacity = kRecordChars; capacity <= kMaxEditorChars; capacity *= 4) {
    std::vector<char16_t> text(static_cast<size_t>(capacity));
    int32_t length = capacity;
    editor.GetText(text.data(), length, -1);
    if (length >= 0) return std::u16string(text.data(), size_t(std::min(length, capacity)));
  }
  return std::u16string();
}

void CViewerDlg::OnSaveXml() {
  ui::FileDialogOptions o;
  o.title = QStringLiteral("指定输出XML数据文件名");
  o.initialDir = QStringLiteral(".");
  o.fileName = ui::qs(lastXmlFile);
  o.filter = QStringLiteral("XML文件 (*.xml)|*.xml|所有文件 (*.*)|*.*||");
  o.defaultExt = QStringLiteral("xml");
  o.overwritePrompt = true;
  std::optional<QString> chosen = ui::getSaveFileName(this, o);
  if (!chosen) return;
  platform::CFile out;
  if (!out.Open(chosen->toStdString(), platform::CFile::modeCreate | platform::CFile::modeReadWrite)) {
    errorBox(this, QStringLiteral("指定的XML数据文件打开失败"));
    return;
  }
  lastXmlFile = ui::toU16(*chosen);
  const std::string bytes = scrivo::RecordXmlBytes(EditorText());
  const bool written = out.Write(bytes.data(), uint32_t(bytes.size()));
  out.Close();
  // A file that could not be written whole is no saved record.
  if (!written) errorBox(this, QStringLiteral("指定的XML数据文件打开失败"));
  else infoBox(this, QStringLiteral("本记录成功输出到文件中"));
}

void CViewerDlg::LoadDefaultWorksheet() {
  platform::CFile ini;
  if (!ini.Open(ViewerIniPath(programPath), platform::CFile::modeRead)) return;
  std::vector<char> bytes(kWorksheetBytes, 0);
  const uint32_t got = ini.Read(bytes.data(), kWorksheetBytes);
  ini.Close();
  setWindowTitle(kDialogCaption);
  SetRecordNumber(0);
  std::vector<char16_t> text(got / 2);
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
  editor.SetText(text.data(), int32_t(text.size()), -1);
}

void CViewerDlg::OnChangeFont() {
  QFont start = ui::logFont(ui::makeFont(QStringLiteral("宋体"), 9), 16, 0, 400);
  // 宋体 is drawn with a face that stands in for it; the dialog lists only installed faces, so
  // it starts on that one rather than on whatever face its list falls back to.
  start.setFamily(QFontInfo(start).family());
  // Every time the dialog starts on black; the choice is not kept.
  QColor colour(Qt::black);
  std::optional<QFont> chosen = ui::chooseFont(this, start, colour);
  if (!chosen) return;
  const penwick::LOGFONTW lf = logFontOf(*chosen);
  editor.SetFont(&lf, colourRefOf(colour));
}

void CViewerDlg::OnReadBarcode() {
  if (barcode.IsReading()) {
    barcode.Stop();
    ui::setControlText(this, IDC_BARCODE, kBarcodeOff);
  } else {
    // A port that cannot be opened is not reported; the button keeps its "stop" text and
    // the next press tries again.
    barcode.SetWindow(ui::handleOf(this));
    ui::setControlText(this, IDC_BARCODE, kBarcodeOn);
    barcode.Catalog(0, 9600);
  }
}

void CViewerDlg::OnFileTypes() {
  CFileTypesDlg dlg(platform::pathToWide(programPath), this);
  dlg.exec();
}

void CViewerDlg::OnSysCommand(int id) {
  if (id >= IDM_ABOUTBOX && id <= 31) {
    CViewerAboutDlg about(this);
    about.exec();
  }
}

intptr_t CViewerDlg::OnEditorNotify(uintptr_t wParam, intptr_t lParam) {
  const int code = int((wParam >> 16) & 0xFFFF);
  if (code != penwick::EDN_CHANGED && code != penwick::EDN_QUERY) return 1;
  const int16_t field = int16_t(wParam & 0xFFFF);
  if (field <= 2) return 0;
  if (field <= 4) return 0xFF0000;
  if (field <= 6) return 0xFFFF00;
  return 0xFFFFFF;
}

intptr_t CViewerDlg::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == ui::WM_PASTE) {
    const QString text = ui::clipboardText();
    if (!text.isEmpty()) {
      const std::u16string record = ui::toU16(text);
      editor.SetText(record.data(), int32_t(record.size()), -1);
    }
    return 1;
  }
  if (message == penwick::WM_EDITORNOTIFY) return OnEditorNotify(wParam, lParam);
  if (message == WM_COMMAND && (wParam & 0xFFFF) == ID_DEFERREDINIT) OnDeferredInit();
  return 0;
}

void CViewerDlg::onCommand(int id) {
  switch (id) {
    case IDC_LOADFILE: OnLoadFile(); break;
    case IDC_PREV: OnPrevRecord(); break;
    case IDC_NEXT: OnNextRecord(); break;
    case IDC_RECORDCOUNT: OnRecordCount(); break;
    case IDC_DEFAULTSHEET: LoadDefaultWorksheet(); break;
    case IDC_SAVEXML: OnSaveXml(); break;
    case IDC_CHANGEFONT: OnChangeFont(); break;
    case IDC_BARCODE: OnReadBarcode(); break;
    case IDC_FILETYPES: OnFileTypes(); break;
    default: break;
  }
}

void CViewerDlg::onCancel() {
  recordFile.Close();
  endDialog(ui::IDCANCEL);
}

void CViewerDlg::resizeEvent(QResizeEvent* e) {
  ui::Dialog::resizeEvent(e);
  const QSize s = e->size();
  if (!editorCreated || s.isEmpty()) return;
  penwick::RECT r;
  r.left = 10;
  r.top = 45;
  r.right = s.width() - 20;
  r.bottom = s.height() - 20;
  editor.MoveWindow(&r);
}
