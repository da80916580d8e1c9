// What is settled before a batch run reads its first item: no output may be the source or
// be written in a form its name does not promise, and every rule script must load. A run
// refused here has written nothing and changed no setting.
#include "main_dlg.h"

#include "file_identity.h"
#include "script_rule.h"

#include <ui/modal.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr char16_t kOutputIsSource[] = u"%s[%s]就是源数据文件，不能开始处理!";
constexpr char16_t kMarcIntoSheet[] = u"%s[%s]是表格文件名，MARC记录不能写入表格文件!";
constexpr char16_t kSheetOnlyXlsx[] = u"无命中记录输出的Excel文件[%s]只能是.xlsx文件，请把文件名改为以.xlsx结尾!";
constexpr char16_t kSheetNotXlsx[] = u"无命中记录输出的Excel文件[%s]已经存在，但不是.xlsx格式的表格文件!";
constexpr char16_t kScriptNotLoaded[] = u"JavaScript程序[%s]无法加载，不能开始处理!\n%s";
constexpr char16_t kScriptFailedOnItem[] = u"JavaScript程序[%s]处理记录时出错，本次处理中不再提示!\n%s";
constexpr char16_t kAtLine[] = u"第%ld行: %s";

}  // namespace

bool CGleanexDlg::IsSheetName(const u16& path) { return SheetNameOf(path) != SheetName::None; }

bool CGleanexDlg::CheckRunFiles(const u16& source) {
  const CAppSettings& s = theApp().settings;
  bool sheetSource = IsSheetName(source);
  u16 sourceFile = sheetSource ? ProgramRelative(source) : source;
  bool sheetOutput = sheetSource && IsSheetName(s.noHit.output);
  const struct {
    const u16& name;
    const char16_t* what;
    bool sheet;  // written through the spreadsheet component (then named from the program folder)
  } outputs[] = {{s.oneHit.output, u"命中一条数据的输出文件", false},
                 {s.multiOutput, u"命中多条数据的输出文件", false},
                 {s.noHit.output, sheetOutput ? u"无命中记录输出的Excel文件" : u"无命中记录的数据输出文件", sheetOutput}};
  for (const auto& o : outputs) {
    if (o.name.empty()) continue;
    if (!sourceFile.empty() && SameFile(o.sheet ? ProgramRelative(o.name) : o.name, sourceFile)) {
      theReporter()(kOutputIsSource, u16(o.what), o.name);
      return false;
    }
  }
  for (const auto& o : outputs) {
    if (o.name.empty() || !IsSheetName(o.name)) continue;
    if (!o.sheet) {
      theReporter()(kMarcIntoSheet, u16(o.what), o.name);
      return false;
    }
    // The component writes .xlsx workbooks only: under another name the file would lie.
    if (SheetNameOf(o.name) != SheetName::Xlsx) {
      theReporter()(kSheetOnlyXlsx, o.name);
      return false;
    }
    if (!HoldsXlsxOrNothing(ProgramRelative(o.name))) {
      theReporter()(kSheetNotXlsx, o.name);
      return false;
    }
  }
  return true;
}

void CGleanexDlg::ShowScriptError(const char16_t* format, const ScriptError& error) {
  u16 detail = error.line > 0 ? platform::format(kAtLine, error.line, error.message) : error.message;
  theReporter()(format, error.file, detail);
}

CScriptRule& CGleanexDlg::RuleEngine(std::unique_ptr<CScriptRule>& engine, const u16& script) {
  if (!engine) {
    const int32_t seconds = std::max(theApp().settings.scriptSeconds, 0);
    engine = std::make_unique<CScriptRule>(theApp().settingsPath, script, std::chrono::seconds(seconds), this);
  }
  return *engine;
}

ScriptAnswer CGleanexDlg::RunRule(std::unique_ptr<CScriptRule>& engine, const u16& script, u16v record) {
  CScriptRule& rule = RuleEngine(engine, script);
  ScriptAnswer answer = rule.Run(record);
  ReportItemError(rule);
  return answer;
}

bool CGleanexDlg::StartScripts() {
  const CAppSettings& s = theApp().settings;
  // A rule's top-level code runs here, before the first item: while it runs the window is
  // in its run state, so that 停止 (or closing the window) ends it and nothing else starts.
  const bool wasRunning = running_, wasInRun = inRun_;
  running_ = inRun_ = true;
  SetRunControls(true);
  struct Restore {
    CGleanexDlg& dlg;
    bool running, inRun;
    ~Restore() {
      dlg.running_ = running;
      dlg.inRun_ = inRun;
      dlg.SetRunControls(inRun);
    }
  } restore{*this, wasRunning, wasInRun};
  const struct {
    bool used;
    std::unique_ptr<CScriptRule>& engine;
    const u16& script;
  } rules[] = {{s.sourceRuleOn && !s.sourceRuleScript.empty(), sourceEngine_, s.sourceRuleScript},
               {!s.oneHit.script.empty(), oneHitEngine_, s.oneHit.script},
               {!s.noHit.script.empty(), noHitEngine_, s.noHit.script}};
  for (const auto& r : rules) {
    if (!r.used) continue;
    if (!RuleEngine(r.engine, r.script).Start()) {
      if (r.engine->stopped()) SetStatus(StoppedRunText(0));
      else ShowScriptError(kScriptNotLoaded, r.engine->LoadError());
      DeleteScripts();
      return false;
    }
  }
  return true;
}

void CGleanexDlg::DeleteScripts() {
  sourceEngine_.reset();
  oneHitEngine_.reset();
  noHitEngine_.reset();
}

void CGleanexDlg::ReportItemError(CScriptRule& engine) {
  ScriptError error;
  if (engine.TakeFirstItemError(error)) ShowScriptError(kScriptFailedOnItem, error);
}
