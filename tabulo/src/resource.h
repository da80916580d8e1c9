// Resource ids of Tabulo's dialogs and controls.
#pragma once

enum : int {
  IDD_SCHEME_LIST = 4000,
  IDD_NEW_SCHEME = 2005,
  IDD_RENAME_SCHEME = 4001,

  IDC_SCHEME_LIST = 4000,     // list view of scheme names
  IDC_SCHEME_NEW = 4001,      // "新建"
  IDC_SCHEME_DELETE = 4003,   // "删除"
  IDC_SCHEME_RENAME = 4004,   // "改名"
  IDC_SCHEME_CONFIG = 4005,   // "配置 >>"
  IDC_SCHEME_CURRENT = 4006,  // current name; in the rename dialog the old name
  IDC_SCHEME_NAME = 2025,     // new scheme name
  IDC_SAMPLE_FILE = 4007,
  IDC_SAMPLE_BROWSE = 4008,
};
