// CGleanexDlg: the main dialog of the batch harvester (dialog 102). It holds the objects of
// a batch run (source reader, connections, script engines, no-hit writer, storing objects)
// and runs the batch inside its OK handler, draining the message queue as it goes.
#pragma once

#include "server_conn.h"
#include "settings.h"

#include <com/drivers/KelvraDrivers.h>
#include <com/drivers/XlsFileDriver.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <ui/dialog.h>

#include <memory>
#include <vector>

class CScriptRule;
struct ScriptAnswer;
struct ScriptError;

class CGleanexDlg : public ui::Dialog, public CSearchHost {
  Q_OBJECT
 public:
  explicit CGleanexDlg(QWidget* parent = nullptr);
  ~CGleanexDlg() override;

  // CSearchHost
  void ShowServerStatus(const u16& text) override;
  void DrainMessages() override;
  bool IsRunning() const override { return running_; }

  /// \brief The batch run (button 1); returns when the run has ended.
  void OnOK();
  /// \brief Opens the source file; false (after its message) when it cannot be opened.
  bool OpenSource();
  void CloseSource();
  /// \brief The ISBN key of a record text: 020 $a when it has 008, else 010 $a / $z, then 020 $a.
  static u16 ExtractIsbnKey(u16v record);
  /// \brief Searches the servers in list order and hands the item to the first server's
  /// rule that has hits, or to the no-hit rule; always 1.
  int DispatchByHits(const u16& key, const u16& row, char16_t* record);
  /// \brief The record text of a spreadsheet row, written into the record buffer.
  void RowToRecord(const u16& row, char16_t* record);
  /// \brief The source rule: -1 "stop", 0 "null" or off, else the new text's length.
  int32_t PreprocessSource(char16_t* record);
  void OpenServers();
  void CloseServers();

  /// \brief The one-hit rule: 0 done, -1 dropped.
  int HandleOneHit(CServerConn* conn, const u16& text);
  /// \brief The several-hits strategy: 1 after a choice, otherwise the hit count.
  int HandleSeveralHits(CServerConn* conn, int32_t hits);
  /// \brief The no-hit rule on the source item (the row text is empty for ISO 2709).
  void HandleNoHit(const u16& row, char16_t* record);
  /// \brief Stores a record into a database given by its resource path; Save's result or -1.
  int32_t StoreToDatabase(const u16& path, u16v text);
  /// \brief Appends a fetched hit (record prefix skipped) to the several-hits output file.
  void AppendHit(u16v text);

  /// \brief Fills list 1005 from the server list.
  void FillServerList();
  /// \brief The source file shown when the dialog opens (the program's command line).
  void SetInitialSource(const u16& path) { initialSource_ = path; }
  /// \brief A request to end the program from outside (a log-out, a kill, Ctrl-C): a run
  /// is stopped as by 停止 and ends normally, outputs saved; then the window closes as by 退出.
  void StopAndClose();

  // Counters of the last run.
  int32_t itemCount = 0, oneHitCount = 0, multiHitCount = 0, noHitCount = 0;
  /// Items that had hits whose record could not be fetched as a record (they count as no hit
  /// of either kind, and the run's end says so).
  int32_t errorCount = 0;

 protected:
  void onInitDialog() override;
  void onOK() override { OnOK(); }
  void onCancel() override;
  void onCommand(int id) override;

 private:
  void BuildControls();
  void SetRunControls(bool run);
  void ShowRuleSummary(int editId, const CHitRule& rule);
  void ShowCounters();
  void SetStatus(const u16& text);
  /// \brief Appends a record text to an ISO 2709 output file in the output character set;
  /// false (after `failureMessage`) when the file can be neither opened nor created.
  bool AppendToOutput(const u16& file, u16v record, const char16_t* failureMessage);
  /// \brief Runs a hit rule's script: false when the answer drops the item; else `record`
  /// holds the text to go on with.
  bool RunHitScript(std::unique_ptr<CScriptRule>& engine, const u16& script, u16& record);
  /// \brief A path relative to the program folder unless it starts with "/" (or a drive).
  u16 ProgramRelative(const u16& path) const;
  /// \brief A spreadsheet name: ".xls", ".xlsx" or ".ods" in any letter case after at least
  /// one character.
  static bool IsSheetName(const u16& path);
  /// \brief Refuses (with its message) a run whose outputs include the source `source`, or
  /// a spreadsheet name that the output would not hold; true when the run may start.
  bool CheckRunFiles(const u16& source);
  /// \brief Starts the engine of every rule that has a script; false (after the message of
  /// the first that does not load, and with no engine left) when one cannot be loaded, or
  /// when the run is stopped while a script's top-level code runs.
  bool StartScripts();
  /// \brief The engine of a rule with `script`, made in `engine` at its first use: its calls
  /// bounded by [系统参数] 脚本时限 and stopped by 停止.
  CScriptRule& RuleEngine(std::unique_ptr<CScriptRule>& engine, const u16& script);
  /// \brief Runs a rule's script over one record (its engine made at its first use) and
  /// tells the first error of the script on an item.
  ScriptAnswer RunRule(std::unique_ptr<CScriptRule>& engine, const u16& script, u16v record);
  /// \brief Deletes the engines of the run (a changed script takes effect at the next run).
  void DeleteScripts();
  /// \brief Shows the first error of a rule script on an item, once per engine and run.
  void ReportItemError(CScriptRule& engine);
  void ShowScriptError(const char16_t* format, const ScriptError& error);
  /// \brief Whether the open ISO 2709 source holds a record; the reader starts anew either way.
  bool SourceHasRecord();
  /// \brief A run's outputs start afresh: no file mended yet, no write failed, no store refused.
  void StartOutputs();
  /// \brief Before the first record of a run goes into an output file: a torn tail left by
  /// an earlier run is moved beside the file (and told); false (after stopping the run)
  /// when that cannot be done.
  bool MendOutputOnce(const u16& file, platform::CFile& out, CMarcFile& writer);
  /// \brief An output could not be written: says so with the file and the reason, and stops
  /// the run after the current item, which is not counted as done.
  void StopForFailedOutput(const u16& file, int error);
  /// \brief Counts a record that a database did not take (`result` below 0).
  void NoteStore(const u16& database, int32_t result);
  /// \brief The status line of a run after which an output failed.
  static u16 FailedRunText(int32_t handled);
  /// \brief The status line of a run ended by 停止 (or a stop signal).
  static u16 StoppedRunText(int32_t handled);
  /// \brief The end of a run's outputs: saves the no-hit spreadsheet (a failed save is told
  /// and the run does not end as done), then tells once per database how many records it
  /// did not take.
  void FinishOutputs(int32_t handled);
  /// \brief At the run's end: tells in one message how many items each Z39.50 server could
  /// not search, and how many hits it could not give as records.
  void ReportServerTroubles();

  bool running_ = false;
  bool inRun_ = false;  // the run handler is active (it may be ending after a stop)
  bool itemFetchFailed_ = false;  // the current item's hit could not be fetched
  bool sourceIsSheet_ = false;
  std::unique_ptr<CMarcFile> sourceReader_;
  platform::CFile sourceFile_;
  int64_t sourceLength_ = 0;
  CXlsFileDriver sourceSheet_;
  int32_t rowCount_ = 0;
  u16 schemeText_;
  std::unique_ptr<CScriptRule> sourceEngine_, oneHitEngine_, noHitEngine_;
  CXlsFileDriver noHitWriter_;
  bool noHitWriterOpen_ = false;
  CKelvraServerDriver storeServer_;
  CKelvraDbaseDriver storeDbase_;
  CKelvraRecordDriver storeRecord_;
  u16 storeServerName_;
  std::vector<std::unique_ptr<CServerConn>> connections_;
  u16 sourcePath_;
  u16 initialSource_;
  int32_t skipCount_ = 0;
  // The outputs of the current run: files already mended, whether a write failed (the run
  // then stops), the records each database refused (in the order first met).
  std::vector<u16> mendedOutputs_;
  bool outputFailed_ = false;
  std::vector<std::pair<u16, int32_t>> failedStores_;
  bool closeAfterRun_ = false;  // a request to end the program came during a run
  bool inStart_ = false;  // 确定's handler is on the stack (checking, starting or running)
};

/// \brief Registers those of the suite's servers (libraries named in `paths`, separated by
/// "|") whose classes cannot be created yet, for the user.
void RegisterMissingServers(std::string_view paths);
