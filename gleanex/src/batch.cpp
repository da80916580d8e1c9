// The batch run: walks the source items (spreadsheet rows or ISO 2709 records), skips the
// first N, runs the source rule, takes the ISBN key, searches the servers in list order
// and hands each item to its hit rule, keeping the window alive by draining messages.
#include "main_dlg.h"

#include "row_record.h"
#include "script_rule.h"

#include <loomkit/RecordText.h>
#include <platform/comerror.h>
#include <platform/profile.h>
#include <ui/modal.h>

#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>
#include <climits>

#include <sys/stat.h>

u16 CGleanexDlg::ProgramRelative(const u16& path) const {
  if (!path.empty() && path[0] != u'/' && !(path.size() > 1 && path[1] == u':'))
    return theApp().programFolder + path;
  return path;
}

namespace {

constexpr char16_t kSourceOpenFailed[] = u"打开指定的MARC数据文件失败！";
constexpr char16_t kSourceHasNoRecord[] = u"指定的MARC数据文件中没有ISO 2709格式的记录！";
constexpr char16_t kSheetHasNoRow[] = u"指定的Excel源文件中没有数据行！";

bool isFolder(const u16& path) {
  struct stat st;
  return !path.empty() && stat(platform::toUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool CGleanexDlg::SourceHasRecord() {
  std::vector<char16_t> buffer(loomkit::kRecordBufferSize, 0);
  bool found = CMarcFile().ReadFromIso2709(buffer.data(), loomkit::kRecordBufferSize, sourceFile_) >= 1;
  sourceFile_.SeekToBegin();
  return found;
}

bool CGleanexDlg::OpenSource() {
  CAppSettings& s = theApp().settings;
  bool sheet = IsSheetName(sourcePath_);
  // A folder is no source of either kind, whatever its name.
  if (isFolder(sheet ? ProgramRelative(sourcePath_) : sourcePath_)) {
    ui::messageBox(this, QString::fromStdU16String(kSourceOpenFailed), QString(), ui::Icon::Error);
    return false;
  }
  if (!sheet) {
    // Others may read the source meanwhile; the run only reads it.
    if (!sourceFile_.Open(platform::toUtf8(sourcePath_), platform::CFile::modeRead)) {
      ui::messageBox(this, QString::fromStdU16String(kSourceOpenFailed), QString(), ui::Icon::Error);
      return false;
    }
    // A file without a single record would end the run at once as if it had been done.
    if (!SourceHasRecord()) {
      sourceFile_.Close();
      ui::messageBox(this, QString::fromStdU16String(kSourceHasNoRecord), QString(), ui::Icon::Error);
      return false;
    }
    sourceLength_ = sourceFile_.GetLength();
    sourceReader_ = std::make_unique<CMarcFile>();
    sourceIsSheet_ = false;
    return true;
  }
  sourcePath_ = ProgramRelative(sourcePath_);
  setControlText(this, 1000, QString::fromStdU16String(sourcePath_));
  rowCount_ = 0;
  try {
    rowCount_ = sourceSheet_.Open(sourcePath_);
  } catch (const platform::ComError&) {
    rowCount_ = 0;
  }
  if (rowCount_ < 0) return false;
  if (rowCount_ == 0) {
    theReporter().Show(u"指定的Excel源文件打开失败！");
    return false;
  }
  schemeText_ = platform::profileString(platform::toUtf8(theApp().programFolder + u"Sheetrix.ini"), u"转换方案",
                                        s.schemeName, u"", 256);
  try {
    sourceSheet_.SetScheme(schemeText_);
    if (sourceSheet_.HasHeaderRow() != 0) --rowCount_;
  } catch (const platform::ComError&) {
  }
  if (rowCount_ <= 0) {
    try {
      sourceSheet_.Close();
    } catch (const platform::ComError&) {
    }
    theReporter().Show(kSheetHasNoRow);
    return false;
  }
  sourceIsSheet_ = true;
  return true;
}

void CGleanexDlg::CloseSource() {
  if (sourceIsSheet_) {
    try {
      sourceSheet_.Close();
    } catch (const platform::ComError&) {
    }
  } else {
    sourceFile_.Close();
  }
}

void CGleanexDlg::OpenServers() {
  connections_.clear();
  for (const u16& entry : theApp().settings.servers) {
    std::unique_ptr<CServerConn> conn = CServerConn::ForEntry(entry);
    conn->waitSeconds = theApp().settings.waitSeconds;
    conn->Open(entry, this);
    connections_.push_back(std::move(conn));
  }
}

void CGleanexDlg::CloseServers() { connections_.clear(); }

void CGleanexDlg::RowToRecord(const u16& row, char16_t* record) {
  u16 text = RowToRecordText(row);
  if (text.size() >= size_t(loomkit::kRecordBufferSize)) text.clear();  // a record must fit the buffer whole
  platform::copyOut(text, record, loomkit::kRecordBufferSize);
}

int32_t CGleanexDlg::PreprocessSource(char16_t* record) {
  const CAppSettings& s = theApp().settings;
  if (!s.sourceRuleOn || s.sourceRuleScript.empty()) return 0;
  ScriptAnswer answer = RunRule(sourceEngine_, s.sourceRuleScript, u16v(record));
  if (answer.kind == ScriptAnswer::Stop) return -1;
  if (answer.kind == ScriptAnswer::Null) return 0;
  // An answer that does not fit the record buffer leaves the record as it was.
  return platform::copyOut(answer.text, record, loomkit::kRecordBufferSize);
}

u16 CGleanexDlg::ExtractIsbnKey(u16v record) {
  u16 key;
  int32_t pos = 0;
  int32_t length = CJineiWriter::FindField(record, pos, u"008");
  bool has008 = pos >= 0 && length != 0;

  // Each scan of a tag starts where the previous field of that tag began plus its length;
  // a field without its "</field>" (length 0) is stepped over by one character, so that the
  // scan cannot stay on it for ever.
  auto fieldsOf = [&](u16v tag, auto&& each) {
    int32_t at = 0;
    while (true) {
      int32_t len = CJineiWriter::FindField(record, at, tag);
      if (at < 0) return false;
      if (len != 0 && each(record.substr(size_t(at), size_t(len)))) return true;
      at += len != 0 ? len : 1;
    }
  };
  auto subfieldValue = [](u16v field, u16v code, bool& tagFound) {
    int32_t at = 0;
    int32_t len = CJineiWriter::FindSubField(field, at, code);
    tagFound = at >= 0;
    if (!tagFound || len == 0) return u16();
    return CJineiWriter::SubFieldValue(field.substr(size_t(at), size_t(len)));
  };

  if (!has008) {
    bool found = fieldsOf(u"010", [&](u16v field) {
      bool hasA = false, hasZ = false;
      u16 a = subfieldValue(field, u"a", hasA);
      if (!hasA) return false;
      if (!a.empty()) {
        key = a;
        return true;
      }
      u16 z = subfieldValue(field, u"z", hasZ);
      if (!z.empty()) {
        key = z;
        return true;
      }
      return false;
    });
    if (found) return key;
  }
  fieldsOf(u"020", [&](u16v field) {
    bool hasA = false;
    u16 a = subfieldValue(field, u"a", hasA);
    if (a.empty()) return false;
    key = a;
    return true;
  });
  return key;
}

int CGleanexDlg::DispatchByHits(const u16& key, const u16& row, char16_t* record) {
  itemFetchFailed_ = false;
  for (auto& conn : connections_) {
    int32_t hits = conn->Search(key, *this);
    // Stopped while a server was waited for: the item was not searched to its end and is
    // left as it is, counted nowhere.
    if (hits == CServerConn::kSearchStopped) return 1;
    if (hits <= 0) continue;
    if (hits == 1) HandleOneHit(conn.get(), u16());
    else HandleSeveralHits(conn.get(), hits);
    if (conn->abandoned) return 1;  // stopped while its record was fetched
    // A hit whose record cannot be had is no hit: bytes that are no record are never taken.
    if (itemFetchFailed_) ++errorCount;
    else if (hits == 1) ++oneHitCount;
    else ++multiHitCount;
    return 1;
  }
  HandleNoHit(row, record);
  ++noHitCount;
  return 1;
}

void CGleanexDlg::OnOK() {
  if (inRun_ || inStart_) return;
  // A request to end the program that came while this handler ran (a stop signal while a
  // rule's top-level code ran, or while a message of the checks was shown) is carried out
  // when it returns, whichever way it returns.
  struct CloseWhenDone {
    CGleanexDlg& dlg;
    ~CloseWhenDone() {
      dlg.inStart_ = false;
      if (!dlg.closeAfterRun_) return;
      dlg.closeAfterRun_ = false;
      dlg.onCancel();
    }
  } closeWhenDone{*this};
  inStart_ = true;
  CAppSettings& s = theApp().settings;
  sourcePath_ = controlText(this, 1000).toStdU16String();
  // The edit takes digits only; a count beyond the range of a long skips every item rather
  // than none.
  bool inRange = false;
  qlonglong skip = controlText(this, 1018).toLongLong(&inRange);
  skipCount_ = inRange ? int32_t(std::min<qlonglong>(skip, INT32_MAX))
                       : (controlText(this, 1018).isEmpty() ? 0 : INT32_MAX);
  bool ruleOn = isChecked(this, 1001);
  u16 ruleScript = controlText(this, 1002).toStdU16String();
  if (!CheckRunFiles(sourcePath_)) return;
  s.sourceRuleOn = ruleOn;
  s.sourceRuleScript = ruleScript;
  theApp().SaveSettings();

  // A rule that cannot be loaded would let every record pass as if it had answered "null":
  // the run does not start.
  if (closeAfterRun_ || !StartScripts()) return;
  if (!OpenSource()) {
    DeleteScripts();
    return;
  }
  if (closeAfterRun_) {
    CloseSource();
    DeleteScripts();
    return;
  }

  running_ = true;
  inRun_ = true;
  SetRunControls(true);
  auto* progress = itemAs<QProgressBar>(1013);
  if (progress) {
    progress->setRange(0, 100);
    progress->setValue(0);
  }
  itemCount = oneHitCount = multiHitCount = noHitCount = errorCount = 0;
  ShowCounters();
  StartOutputs();
  std::vector<char16_t> buffer(loomkit::kRecordBufferSize, 0);
  char16_t* record = buffer.data();

  OpenServers();

  while (running_) {
    u16 row;
    int32_t percent = 0;
    if (sourceIsSheet_) {
      if (itemCount >= rowCount_) break;
      try {
        row = sourceSheet_.ReadRow();
      } catch (const platform::ComError&) {
        row.clear();
      }
      RowToRecord(row, record);
      percent = int32_t((int64_t(itemCount) + 1) * 100 / rowCount_);
    } else {
      if (sourceReader_->ReadFromIso2709(record, loomkit::kRecordBufferSize, sourceFile_) < 1) break;
      // Sources shorter than 100 bytes have no hundredth to divide by.
      int64_t hundredth = sourceLength_ / 100;
      percent = hundredth > 0 ? int32_t(sourceFile_.GetPosition() / hundredth) : 100;
    }
    ++itemCount;
    if (itemCount <= skipCount_) {
      SetStatus(platform::format(u"%ld%% @ %ld", percent, itemCount));
      DrainMessages();
      continue;
    }
    if (PreprocessSource(record) == -1) break;
    u16 key = ExtractIsbnKey(u16v(record));
    SetStatus(platform::format(u"%ld%% @ %ld [%s]", percent, itemCount, key));
    DrainMessages();
    if (!running_) break;
    const int32_t countsBefore[] = {oneHitCount, multiHitCount, noHitCount, errorCount};
    if (!key.empty()) {
      DispatchByHits(key, row, record);
    } else {
      ++noHitCount;
      HandleNoHit(row, record);
    }
    if (outputFailed_) {
      // The item whose output failed is not done: the counters stay as they were before it.
      oneHitCount = countsBefore[0];
      multiHitCount = countsBefore[1];
      noHitCount = countsBefore[2];
      errorCount = countsBefore[3];
      ShowServerStatus(u16());
      break;
    }
    ShowCounters();
    ShowServerStatus(u16());
    if (progress) progress->setValue(std::min(percent, 100));
    DrainMessages();
  }

  int32_t handled = oneHitCount + multiHitCount + noHitCount + errorCount;
  SetStatus(outputFailed_ ? FailedRunText(handled)
            : running_    ? platform::format(u"完成，共处理%ld条记录", handled)
                          : StoppedRunText(handled));
  // What the run holds is saved before its end says anything: a message waiting for its OK
  // must not keep the unmatched rows from the disk at a log-out.
  FinishOutputs(handled);
  ReportServerTroubles();

  CloseServers();
  CloseSource();
  DeleteScripts();
  running_ = false;
  inRun_ = false;
  SetRunControls(false);
}
