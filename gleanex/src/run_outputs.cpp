// What keeps a run's outputs whole, or says that they are not: a record file is mended before
// the run's first record goes into it; a record that cannot be written stops the run with
// the file and the system's reason; the no-hit spreadsheet is saved at every end of a run and
// a failed save is told; the records a database did not take are counted and told once at
// the end. A run after which any output failed never ends as done.
#include "main_dlg.h"

#include <loomstore/ResPath.h>
#include <platform/comerror.h>
#include <ui/modal.h>

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <algorithm>
#include <cerrno>

namespace {

constexpr char16_t kTailMoved[] = u"输出文件[%s]的末尾是一条不完整的记录，已移到文件[%s]中，输出文件从最后一条完整的记录之后继续写入。";
constexpr char16_t kTailNotMoved[] = u"输出文件[%s]的末尾是一条不完整的记录，无法移出，处理已停止!\n%s";
constexpr char16_t kWriteFailed[] = u"输出文件[%s]写入失败，处理已停止!\n%s";
constexpr char16_t kSheetNotSaved[] = u"无命中记录输出的Excel文件[%s]保存失败，本次处理的无命中记录没有写入，原有文件保持不变!";
constexpr char16_t kStoresFailed[] = u"%ld条记录未能存入数据库[%s]（服务器[%s]）!";
constexpr char16_t kRunFailed[] = u"输出文件写入失败，已处理%ld条记录";

template <class... A>
void tell(QWidget* parent, ui::Icon icon, u16v format, const A&... args) {
  ui::messageBox(parent, QString::fromStdU16String(platform::formatCut(1024, format, args...)), QString(), icon);
}

u16 reason(int error) { return qt_error_string(error).toStdU16String(); }

}  // namespace

void CGleanexDlg::StartOutputs() {
  mendedOutputs_.clear();
  outputFailed_ = false;
  failedStores_.clear();
}

bool CGleanexDlg::MendOutputOnce(const u16& file, platform::CFile& out, CMarcFile& writer) {
  if (std::find(mendedOutputs_.begin(), mendedOutputs_.end(), file) != mendedOutputs_.end()) return true;
  std::string tail;
  if (writer.MendTornTail(out, tail) < 0) {
    const int error = errno;
    outputFailed_ = true;
    tell(this, ui::Icon::Error, kTailNotMoved, file, reason(error));
    return false;
  }
  mendedOutputs_.push_back(file);
  if (!tail.empty()) tell(this, ui::Icon::Information, kTailMoved, file, platform::fromUtf8(tail));
  return true;
}

void CGleanexDlg::StopForFailedOutput(const u16& file, int error) {
  outputFailed_ = true;
  tell(this, ui::Icon::Error, kWriteFailed, file, reason(error));
}

void CGleanexDlg::NoteStore(const u16& database, int32_t result) {
  if (result >= 0) return;
  auto counted = std::find_if(failedStores_.begin(), failedStores_.end(), [&](const auto& c) { return c.first == database; });
  if (counted == failedStores_.end()) failedStores_.emplace_back(database, 1);
  else ++counted->second;
}

u16 CGleanexDlg::FailedRunText(int32_t handled) { return platform::format(kRunFailed, handled); }

u16 CGleanexDlg::StoppedRunText(int32_t handled) { return platform::format(u"用户中断，已处理%ld条记录", handled); }

void CGleanexDlg::FinishOutputs(int32_t handled) {
  if (noHitWriterOpen_) {
    int32_t saved = 0;
    try {
      saved = noHitWriter_.Close();
    } catch (const platform::ComError&) {
    }
    noHitWriterOpen_ = false;
    if (saved == 0) {
      outputFailed_ = true;
      SetStatus(FailedRunText(handled));
      tell(this, ui::Icon::Error, kSheetNotSaved, theApp().settings.noHit.output);
    }
  }
  for (const auto& [database, count] : failedStores_) {
    CResPath res(database.c_str());
    char16_t server[128] = {};
    char16_t name[128] = {};
    res.GetSvrName(server, 128);
    res.GetDbName(name, 128);
    tell(this, ui::Icon::Warning, kStoresFailed, count, u16(name), u16(server));
  }
  failedStores_.clear();
}

void CGleanexDlg::StopAndClose() {
  // Nobody is there at a log-out to answer a message that waits for its OK (a failed write,
  // say), and it would keep the run, or the program, from its end: it is answered as by OK.
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box && box->buttons().size() == 1) box->reject();
  // During a run, or while one is being started, the window closes once the run handler has
  // ended: the run's end saves what it holds, and a run not yet started does not start.
  if (inRun_ || inStart_) {
    closeAfterRun_ = true;
    running_ = false;
    return;
  }
  onCancel();
}
