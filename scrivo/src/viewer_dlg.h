// CViewerDlg (dialog 102): the viewer's main window. It pages through one ISO 2709 record
// file, shows the current record in the record editor control, counts the file's records,
// saves the shown record as an XML file, shows the default worksheet, sets the file
// associations and takes records from a barcode scanner (through WM_PASTE).
#pragma once

#include <loomstore/Erweima.h>
#include <penwick/Penwick.h>
#include <platform/file.h>
#include <ui/dialog.h>

#include <QIcon>

#include <string>

class CMarc;

class CViewerDlg : public ui::Dialog {
  Q_OBJECT
 public:
  // Control ids of the dialog template.
  static constexpr int IDC_LOADFILE = 1001, IDC_FILETYPES = 1002, IDC_RECORDCOUNT = 1003, IDC_CHANGEFONT = 1004,
                       IDC_SAVEXML = 1005, IDC_DEFAULTSHEET = 1006, IDC_PREV = 1007, IDC_NEXT = 1008,
                       IDC_BARCODE = 1009, IDC_RECORDNO = 1010;
  /// The "帮助" tool button whose menu holds the About item.
  static constexpr int IDC_HELP = 1011;
  /// The command the dialog posts itself to create the editor once it shows.
  static constexpr int ID_DEFERREDINIT = 1000;
  /// The About item (the command a window menu would give it).
  static constexpr int IDM_ABOUTBOX = 16;
  /// Room for the text of one record, in characters.
  static constexpr int32_t kRecordChars = 128000;
  /// The most of the default worksheet that is read, in bytes.
  static constexpr uint32_t kWorksheetBytes = 256000;

  explicit CViewerDlg(QWidget* parent = nullptr);
  ~CViewerDlg() override;

  /// \brief Creates the editor, opens the command-line file or shows the default worksheet,
  /// and gives the editor the focus; once only.
  void OnDeferredInit();
  /// \brief "装入MARC文件": asks for a file and opens it.
  void OnLoadFile();
  /// \brief Shows the first record of the file just opened, with its caption and number.
  void ShowOpenedFile(const std::u16string& path);
  /// \brief ">>": the next record; false when there was none.
  bool OnNextRecord();
  /// \brief "<<": the record before the one last read; false when there was none.
  bool OnPrevRecord();
  /// \brief "记录数": counts the file's records without moving the reading position.
  void OnRecordCount();
  /// \brief "保存到XML文件": writes the shown record into an XML file.
  void OnSaveXml();
  /// \brief "缺省工作单": shows the viewer's INI file as the record; nothing when unreadable.
  void LoadDefaultWorksheet();
  /// \brief "改变字体 >>": the font dialog; its choice goes to the editor.
  void OnChangeFont();
  /// \brief "读二维码书目": starts or stops barcode input.
  void OnReadBarcode();
  /// \brief "设置打开方式": the file-types dialog.
  void OnFileTypes();
  /// \brief The About item's command (16-31) opens the About dialog.
  void OnSysCommand(int id);

  /// \brief The answer to an editor notification: codes 14 and 17 by the field index
  /// (signed 16 bits) as the availability mask, every other code 1.
  static intptr_t OnEditorNotify(uintptr_t wParam, intptr_t lParam);
  /// \brief The window messages the dialog handles itself: WM_PASTE (the clipboard's record
  /// text into the editor), the editor's notifications and the deferred start-up command.
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

  /// \brief The shown record number (static 1010).
  int32_t RecordNumber() const;
  /// \brief The editor's text of the shown record (code page -1), never cut.
  std::u16string EditorText();

  // Members, in the order the dialog keeps them.
  CPenwick editor;
  CErweima barcode;
  std::u16string lastXmlFile;
  bool editorCreated = false;
  std::u16string commandLineFile;
  platform::CFile recordFile;
  std::u16string title;
  QIcon icon;
  /// The executable whose INI file is the default worksheet and which the associations
  /// name (the running program unless a caller says otherwise).
  std::string programPath;

 protected:
  void onInitDialog() override;
  void onCancel() override;
  void onCommand(int id) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void ShowRecord(CMarc& marc);
  /// Says so when the record just read from the file is shown without some of its fields,
  /// subfields or text (the toolkit's limits on a record's text).
  void TellWhenCut();
  void SetRecordNumber(int32_t n);
  bool OpenRecordFile(const std::u16string& path);
};
