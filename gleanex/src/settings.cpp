// Gleanex.ini: sections 源数据, 输出MARC, 数据库列表, 一条记录, 多条记录, 无记录, 系统参数.
#include "settings.h"

#include <platform/profile.h>
#include <ui/modal.h>

#include <cerrno>

namespace {

constexpr char16_t kSource[] = u"源数据";
constexpr char16_t kOutput[] = u"输出MARC";
constexpr char16_t kServerList[] = u"数据库列表";
constexpr char16_t kOneHit[] = u"一条记录";
constexpr char16_t kMulti[] = u"多条记录";
constexpr char16_t kNoHit[] = u"无记录";
constexpr char16_t kSystem[] = u"系统参数";

constexpr char16_t kScript[] = u"预处理文件";
constexpr char16_t kOutputFile[] = u"输出文件";
constexpr const char16_t* kDatabaseKeys[3] = {u"转入库1", u"转入库2", u"转入库3"};

constexpr int kMaxServers = 100;

constexpr char16_t kSettingsLocked[] = u"设置文件[%s]正被其他程序锁定，设置未能保存!";
constexpr char16_t kSettingsNotSaved[] = u"设置文件[%s]保存失败，设置未能保存!";

u16 readText(const u16& file, u16v section, u16v key, u16v def = u"") {
  return platform::profileString(file, section, key, def, 256);
}

void readRule(const u16& file, u16v section, CHitRule& rule) {
  rule.script = readText(file, section, kScript);
  rule.output = readText(file, section, kOutputFile);
  for (int i = 0; i < 3; ++i) rule.database[i] = readText(file, section, kDatabaseKeys[i]);
}

bool writeRule(const u16& file, u16v section, const CHitRule& rule) {
  bool ok = platform::writeProfileString(file, section, kScript, rule.script);
  ok = ok && platform::writeProfileString(file, section, kOutputFile, rule.output);
  for (int i = 0; i < 3; ++i) ok = ok && platform::writeProfileString(file, section, kDatabaseKeys[i], rule.database[i]);
  return ok;
}

u16 flag(bool on) { return on ? u"1" : u"0"; }

}  // namespace

void CAppSettings::Load(const u16& file) {
  sourceRuleOn = platform::profileInt(file, kSource, u"预处理", 0) != 0;
  sourceRuleScript = readText(file, kSource, u"预处理文件");
  schemeName = readText(file, kSource, u"Excel方案");

  u16 charset = readText(file, kOutput, u"字符集", u"gbk");
  marker = 0;
  if (platform::equalsNoCase(charset, u"ucs2") || platform::equalsNoCase(charset, u"utf8")) {
    codePage = platform::equalsNoCase(charset, u"ucs2") ? -1 : 65001;
    marker = platform::profileInt(file, kOutput, u"文件头", 0);
  } else if (platform::equalsNoCase(charset, u"eacc3")) {
    codePage = -2;
    marker = 3;
  } else if (platform::equalsNoCase(charset, u"eacc4")) {
    codePage = -2;
    marker = 4;
  } else {
    codePage = 0;
  }
  recordSeparator = platform::profileInt(file, kOutput, u"记录分隔", 0) != 0;

  servers.clear();
  for (int i = 1; i <= kMaxServers; ++i) {
    u16 entry = readText(file, kServerList, platform::fromUtf8(std::to_string(i)));
    if (entry.empty()) break;
    servers.push_back(entry);
  }

  readRule(file, kOneHit, oneHit);
  multiStrategy = platform::profileInt(file, kMulti, u"选择策略", kStrategyChoose);
  multiOutput = readText(file, kMulti, kOutputFile);
  readRule(file, kNoHit, noHit);

  userName = readText(file, kSystem, u"用户名", u"root");
  password = readText(file, kSystem, u"口令字");
  waitSeconds = platform::profileInt(file, kSystem, u"等待时间", 12);
  scriptSeconds = platform::profileInt(file, kSystem, kScriptLimitKey, kDefaultScriptSeconds);
}

// Stops at the first write that fails: the next ones would fail the same way (each after
// its own lock wait when another program keeps the file's lock).
bool CAppSettings::Save(const u16& file) const {
  bool ok = platform::writeProfileString(file, kSource, u"预处理", flag(sourceRuleOn));
  ok = ok && platform::writeProfileString(file, kSource, u"预处理文件", sourceRuleScript);
  ok = ok && platform::writeProfileString(file, kSource, u"Excel方案", schemeName);

  const char16_t* charset = u"gbk";
  if (codePage == -2) charset = marker == 4 ? u"eacc4" : u"eacc3";
  else if (codePage == -1) charset = u"ucs2";
  else if (codePage == 65001) charset = u"utf8";
  ok = ok && platform::writeProfileString(file, kOutput, u"字符集", charset);
  if (codePage == -1 || codePage == 65001)
    ok = ok && platform::writeProfileString(file, kOutput, u"文件头", flag(marker != 0));
  ok = ok && platform::writeProfileString(file, kOutput, u"记录分隔", flag(recordSeparator));

  // The list is written whole, renumbered from 1, however long it is.
  std::vector<u16> lines;
  for (size_t i = 0; i < servers.size(); ++i)
    lines.push_back(platform::fromUtf8(std::to_string(i + 1)) + u"=" + servers[i]);
  ok = ok && platform::writeProfileSection(file, kServerList, lines);

  ok = ok && writeRule(file, kOneHit, oneHit);
  ok = ok && platform::writeProfileString(file, kMulti, u"选择策略", platform::fromUtf8(std::to_string(multiStrategy)));
  ok = ok && platform::writeProfileString(file, kMulti, kOutputFile, multiOutput);
  ok = ok && writeRule(file, kNoHit, noHit);

  ok = ok && platform::writeProfileString(file, kSystem, u"用户名", userName);
  ok = ok && platform::writeProfileString(file, kSystem, u"口令字", password);
  ok = ok && platform::writeProfileString(file, kSystem, u"等待时间", platform::fromUtf8(std::to_string(waitSeconds)));
  ok = ok && platform::writeProfileString(file, kSystem, kScriptLimitKey, platform::fromUtf8(std::to_string(scriptSeconds)));
  return ok;
}

bool CGleanexApp::SaveSettings() {
  if (settings.Save(settingsPath)) return true;
  if (platform::lastProfileWriteError() == ETIMEDOUT) theReporter()(kSettingsLocked, settingsPath);
  else theReporter()(kSettingsNotSaved, settingsPath);
  return false;
}

void CGleanexApp::SetProgramFolder(u16v folder) {
  programFolder = u16(folder);
  if (programFolder.empty() || programFolder.back() != u'/') programFolder += u'/';
  settingsPath = programFolder + u"Gleanex.ini";
}

CGleanexApp& theApp() {
  static CGleanexApp app;
  return app;
}

void CMessageReporter::Show(const u16& text) const {
  ui::messageBox(parent, QString::fromStdU16String(text), QString(), ui::Icon::None, ui::MB_OK);
}

CMessageReporter& theReporter() {
  static CMessageReporter reporter;
  return reporter;
}
