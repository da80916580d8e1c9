// The dialogs of the hit rules: the one-hit and no-hit rule (a script, an output file and up
// to three databases) and the several-hits strategy. They change the settings in memory.
#pragma once

#include <platform/text.h>
#include <ui/dialog.h>

class CAppSettings;
struct CHitRule;

/// Dialog 132: the one-hit rule (mode 1006) or the no-hit rule (mode 1010).
class CHitRuleDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum {
    IDD = 132,
    kModeOneHit = 1006,
    kModeNoHit = 1010,
    IDC_SCRIPT_ON = 1001, IDC_SCRIPT = 1002, IDC_SCRIPT_BROWSE = 1003,
    IDC_OUTPUT_ON = 1023, IDC_OUTPUT = 1022, IDC_OUTPUT_BROWSE = 1005,
    IDC_DB1_ON = 1006, IDC_DB1 = 1007, IDC_DB1_BROWSE = 1008,
    IDC_DB2_ON = 1012, IDC_DB2 = 1013, IDC_DB2_BROWSE = 1014,
    IDC_DB3_ON = 1015, IDC_DB3 = 1016, IDC_DB3_BROWSE = 1017,
  };
  CHitRuleDlg(int mode, CAppSettings& settings, QWidget* parent = nullptr);

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;

 private:
  struct Row { int check, edit, browse; };
  static const Row kRows[5];
  platform::u16& setting(int row);
  void enableRow(const Row& r, bool on);
  void OnBrowseScript();
  void OnBrowseOutput();
  void OnPickDatabase(const Row& r);

  int m_mode;
  CAppSettings& m_settings;
  CHitRule& m_rule;
};

/// Dialog 131 "命中多条记录的处理策略": the several-hits strategy and its output file.
class CMultiHitDlg : public ui::Dialog {
  Q_OBJECT
 public:
  enum {
    IDD = 131,
    IDC_BROWSE = 1003,
    IDC_CHOOSE = 1019,
    IDC_FIRST = 1020,
    IDC_ALL = 1021,
    IDC_OUTPUT = 1022,
  };
  CMultiHitDlg(CAppSettings& settings, QWidget* parent = nullptr);

 protected:
  void onInitDialog() override;
  void onOK() override;
  void onCommand(int id) override;

 private:
  void enableOutput(bool on);

  CAppSettings& m_settings;
};
