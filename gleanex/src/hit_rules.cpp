// The three rules that end every source item: one hit, several hits, no hit. Each may run
// a script over the record, append it to an ISO 2709 file, write the unmatched row back
// to a spreadsheet and store the record into up to three record-server databases.
#include "main_dlg.h"

#include "browse_dlg.h"
#include "script_rule.h"

#include <loomkit/Marc.h>
#include <loomkit/RecordText.h>
#include <loomstore/ResPath.h>
#include <platform/comerror.h>
#include <ui/modal.h>

#include <cerrno>

namespace {

constexpr char16_t kOneHitFileFailed[] = u"命中一条数据的输出文件创建失败!";
constexpr char16_t kMultiFileFailed[] = u"命中多条数据的输出文件创建失败!";
constexpr char16_t kNoHitFileFailed[] = u"无命中记录的数据输出文件创建失败!";
constexpr char16_t kNoHitSheetFailed[] = u"无命中记录输出的Excel文件打开失败！";
constexpr char16_t kStoreConnectFailed[] = u"连接到服务器[%s]不成功，无法保存数据!";
constexpr char16_t kStoreLoginFailed[] = u"指定的帐户[%s]无法登录到服务器[%s]，无法保存数据!";
/// A fetched record's text without its record prefix.
u16v withoutPrefix(u16v text) {
  return text.size() > loomkit::kRecordPrefixLength ? text.substr(loomkit::kRecordPrefixLength) : u16v();
}

}  // namespace

bool CGleanexDlg::AppendToOutput(const u16& file, u16v record, const char16_t* failureMessage) {
  // A run that stops for a failed output writes nothing more.
  if (outputFailed_) return false;
  const CAppSettings& s = theApp().settings;
  std::string path = platform::toUtf8(file);
  platform::CFile out;
  if (out.Open(path, platform::CFile::modeReadWrite)) {
    out.SeekToEnd();
  } else if (!out.Open(path, platform::CFile::modeReadWrite | platform::CFile::modeCreate)) {
    ui::messageBox(this, QString::fromStdU16String(failureMessage), QString(), ui::Icon::Information);
    return false;
  }
  CMarc marc;
  u16 text(record);
  marc.SetContent(text.c_str());
  CMarcFile writer;
  writer.SetAttributeEx(s.codePage, s.recordSeparator ? 1 : 0, s.marker);
  if (!MendOutputOnce(file, out, writer)) return false;
  errno = 0;
  if (writer.AppendToIso2709(marc, out) == 0 && errno != 0) {
    const int error = errno;
    out.Close();
    StopForFailedOutput(file, error);
    return false;
  }
  out.Close();
  return true;
}

bool CGleanexDlg::RunHitScript(std::unique_ptr<CScriptRule>& engine, const u16& script, u16& record) {
  if (script.empty()) return true;
  ScriptAnswer answer = RunRule(engine, script, record);
  if (answer.kind != ScriptAnswer::Text) return false;
  record = answer.text;
  return true;
}

int CGleanexDlg::HandleOneHit(CServerConn* conn, const u16& text) {
  const CAppSettings& s = theApp().settings;
  u16 fetched = text;
  if (fetched.empty()) {
    std::vector<char16_t> buffer(loomkit::kRecordBufferSize, 0);
    // A first hit that does not fit the buffer gives no record at all.
    if (conn && conn->FirstRecord(buffer.data(), loomkit::kRecordBufferSize) > 0) {
      fetched = buffer.data();
    } else if (conn && conn->fetchError != 0 && !conn->abandoned) {
      // No record text came (no ISO 2709 record, a time-out, no record): the item failed.
      itemFetchFailed_ = true;
      ++conn->fetchFailedItems;
      conn->lastFetchFailure = conn->fetchError;
    }
  }
  u16 record(withoutPrefix(fetched));
  if (record.empty()) return -1;

  if (!RunHitScript(oneHitEngine_, s.oneHit.script, record)) return -1;
  if (!s.oneHit.output.empty() && !AppendToOutput(s.oneHit.output, record, kOneHitFileFailed)) return -1;
  for (const u16& db : s.oneHit.database)
    if (!db.empty()) NoteStore(db, StoreToDatabase(db, record));
  return 0;
}

int CGleanexDlg::HandleSeveralHits(CServerConn* conn, int32_t hits) {
  CAppSettings& s = theApp().settings;
  if (s.multiStrategy == kStrategyFirst) {
    HandleOneHit(conn, u16());
    return 1;
  }
  CBrowseHitsDlg dlg(this);
  dlg.first = [conn](char16_t* buf, int32_t size) { return conn->FirstRecord(buf, size); };
  dlg.next = [conn](char16_t* buf, int32_t size) { return conn->NextRecord(buf, size); };
  dlg.hitCount = hits;
  dlg.settingsPath = theApp().settingsPath;
  dlg.appendHit = [this](const u16& hit) { AppendHit(hit); };
  if (s.multiStrategy == kStrategyAll) {
    if (s.multiOutput.empty()) return hits;
    dlg.outputAll = true;
    ui::execDialog(dlg);
    return hits;
  }
  dlg.outputAll = false;
  if (ui::execDialog(dlg) == ui::IDOK) {
    int chosen = dlg.chosenRow();
    s.multiStrategy = chosen == 0 ? kStrategyFirst : kStrategyChoose;
    HandleOneHit(conn, dlg.chosenText());
    return 1;
  }
  s.multiStrategy = kStrategyAll;
  return hits;
}

void CGleanexDlg::AppendHit(u16v text) {
  const CAppSettings& s = theApp().settings;
  if (s.multiOutput.empty()) return;
  u16v record = withoutPrefix(text);
  if (record.empty()) return;
  AppendToOutput(s.multiOutput, record, kMultiFileFailed);
}

void CGleanexDlg::HandleNoHit(const u16& row, char16_t* record) {
  CAppSettings& s = theApp().settings;
  u16 text(record);
  if (!s.noHit.script.empty()) {
    if (!RunHitScript(noHitEngine_, s.noHit.script, text)) return;
    // A script answer longer than the record buffer is kept whole for this item's outputs.
    platform::copyOut(text, record, loomkit::kRecordBufferSize);
  }
  if (!s.noHit.output.empty()) {
    if (sourceIsSheet_ && IsSheetName(s.noHit.output)) {
      if (!noHitWriterOpen_) {
        s.noHit.output = ProgramRelative(s.noHit.output);
        int32_t opened = -1;
        try {
          opened = noHitWriter_.Open(s.noHit.output);
        } catch (const platform::ComError&) {
        }
        if (opened < 0) {
          theReporter().Show(kNoHitSheetFailed);
          return;
        }
        try {
          noHitWriter_.SetScheme(schemeText_);
        } catch (const platform::ComError&) {
        }
        noHitWriterOpen_ = true;
      }
      try {
        noHitWriter_.WriteRow(row);
      } catch (const platform::ComError&) {
      }
    } else if (!AppendToOutput(s.noHit.output, text, kNoHitFileFailed)) {
      return;
    }
  }
  for (const u16& db : s.noHit.database)
    if (!db.empty()) NoteStore(db, StoreToDatabase(db, text));
}

int32_t CGleanexDlg::StoreToDatabase(const u16& path, u16v text) {
  const CAppSettings& s = theApp().settings;
  CResPath res(path.c_str());
  char16_t server[128] = {};
  char16_t database[128] = {};
  res.GetSvrName(server, 128);
  res.GetDbName(database, 128);
  try {
    if (storeServerName_ != server) {
      // Once disconnected the old server is no longer the current one, whatever follows.
      storeServer_.Disconnect();
      storeServerName_.clear();
      if (storeServer_.Connect(server, u"001") != 0) {
        theReporter()(kStoreConnectFailed, u16(server));
        return -1;
      }
      if (storeServer_.Login(s.userName, s.password) != 0) {
        theReporter()(kStoreLoginFailed, s.userName, u16(server));
        return -1;
      }
      storeServerName_ = server;
    }
    if (storeDbase_.Open(storeServer_.m_lpDispatch, database) != 0) return -1;
    return storeRecord_.Save(storeDbase_.m_lpDispatch, u16(loomkit::kRecordPrefix).append(text));
  } catch (const platform::ComError&) {
    return -1;
  }
}
