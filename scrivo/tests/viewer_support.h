// What the viewer tests share: ISO 2709 records in each code-page form, a main dialog made
// in a temporary folder (its INI file beside a stand-in executable path), and helpers that
// answer the file dialogs.
#pragma once

#include "viewer_dlg.h"

#include <platform/codepage.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <QCoreApplication>
#include <QFileDialog>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scrivo_test {

using platform::u16;

inline std::string digits(long v, int width) {
  char b[24];
  std::snprintf(b, sizeof b, "%0*ld", width, v);
  return b;
}

// A record with 001 = id and 245 $a = title. `cp` -1 gives UTF-16LE units; any other code
// page its bytes; `encode` may replace the encoding of the data (EACC runs, for instance).
inline std::string isoRecord(const u16& id, const u16& title, int cp,
                             const std::function<std::string(const u16&)>& encodeData = {}) {
  const int unit = cp == -1 ? 2 : 1;
  auto encode = [&](const u16& s) { return platform::toNarrow(cp, s); };
  auto data = [&](const u16& s) { return encodeData ? encodeData(s) : encode(s); };
  auto ascii = [&](const std::string& s) { return encode(u16(s.begin(), s.end())); };
  const std::string f1 = data(id) + encode(u"\x1E");
  const std::string f2 = encode(u"10\x1F" u"a") + data(title) + encode(u"\x1E");
  std::string directory = ascii("001" + digits(long(f1.size() / unit), 4) + digits(0, 5)) +
                          ascii("245" + digits(long(f2.size() / unit), 4) + digits(long(f1.size() / unit), 5)) +
                          encode(u"\x1E");
  const long base = 24 + long(directory.size() / unit);
  const long total = base + long((f1.size() + f2.size()) / unit) + 1;
  return ascii(digits(total, 5) + "nam a22" + digits(base, 5) + " a 4500") + directory + f1 + f2 + encode(u"\x1D");
}

// One field of a record to build: the tag and its data (indicators first for a data field,
// '$' standing for the subfield mark).
struct IsoField {
  std::string tag;
  u16 data;
};

// An ISO 2709 record from a leader's fixed parts and fields, in the ANSI code page (GBK) or
// another code page's form (-1: UTF-16LE units), lengths and starts in that form's units.
inline std::string isoRecordOf(const std::vector<IsoField>& fields, int cp = 0) {
  const size_t unit = cp == -1 ? 2 : 1;
  auto encode = [cp](const u16& s) { return platform::toNarrow(cp, s); };
  auto ascii = [&](const std::string& s) { return encode(u16(s.begin(), s.end())); };
  std::string directory, body;
  for (const IsoField& f : fields) {
    u16 data = f.data;
    for (char16_t& c : data)
      if (c == u'$') c = 0x1F;
    const std::string piece = encode(data + u"\x1E");
    directory += ascii(f.tag + digits(long(piece.size() / unit), 4) + digits(long(body.size() / unit), 5));
    body += piece;
  }
  directory += encode(u"\x1E");
  const long base = 24 + long(directory.size() / unit);
  const long total = base + long(body.size() / unit) + 1;
  return ascii(digits(total, 5) + "nam0 22" + digits(base, 5) + "   450 ") + directory + body + encode(u"\x1D");
}

// A CNMARC record of a Chinese book as a cataloguer makes it, with the fields in common use.
inline const std::vector<IsoField>& cnmarcBook() {
  static const std::vector<IsoField> fields = {
      {"001", u"012026000123"},
      {"005", u"20260105093015.0"},
      {"010", u"  $a978-7-101-00001-6$dCNY58.00"},
      {"100", u"  $a20260105d2025    em y0chiy50      ea"},
      {"101", u"0 $achi"},
      {"102", u"  $aCN$b110000"},
      {"105", u"  $ay   z   000yy"},
      {"106", u"  $ar"},
      {"200", u"1 $a中国古代书籍史$9zhong guo gu dai shu ji shi$f李明著"},
      {"205", u"  $a第2版"},
      {"210", u"  $a北京$c中华书局$d2025"},
      {"215", u"  $a356页$c图$d24cm"},
      {"225", u"2 $a中华文史新刊"},
      {"300", u"  $a本书为作者多年研究成果的汇编"},
      {"330", u"  $a本书叙述了中国古代书籍的形制、刊刻与流传。"},
      {"410", u" 0$12001 $a中华文史新刊"},
      {"606", u"0 $a图书史$y中国$z古代"},
      {"690", u"  $aG256.1$v5"},
      {"701", u" 0$a李明$9li ming$4著"},
      {"801", u" 0$aCN$b北京图书馆$c20260105"},
      {"905", u"  $aNLC$dG256.1$e1234"},
  };
  return fields;
}

// The subfield a record's title becomes in internal record text.
inline u16 titleElement(const u16& title) { return u"<sf name=\"a\">" + title + u"</sf>"; }

inline void processEvents() { QCoreApplication::processEvents(); }

// Runs events until `done` holds or the bound passes (an arrival, not a speed check).
inline bool waitFor(const std::function<bool()>& done, int boundMs = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A main dialog whose program path lies in a temporary folder, so that its INI file (the
// default worksheet) is <folder>/Scrivo.ini.
class ViewerTest : public ::testing::Test {
 protected:
  qtest::TempHome home;
  qtest::TempDir dir;
  uitest::ModalScript script;
  std::unique_ptr<CViewerDlg> dlg;

  std::filesystem::path iniPath() const { return dir / "Scrivo.ini"; }

  // Makes and shows the dialog, runs its start-up step with `commandLine`.
  void start(const u16& commandLine = u16()) {
    dlg = std::make_unique<CViewerDlg>();
    dlg->programPath = (dir / "Scrivo").string();
    dlg->commandLineFile = commandLine;
    dlg->initialize();
    dlg->show();
    processEvents();  // the posted start-up command
    dlg->OnDeferredInit();
  }
  std::filesystem::path writeFile(const std::string& name, const std::string& bytes) const {
    std::filesystem::path p = dir / name;
    std::filesystem::create_directories(p.parent_path());
    qtest::writeFile(p, bytes);
    return p;
  }
  u16 shown() { return dlg->EditorText(); }
  bool shows(const u16& title) { return shown().find(titleElement(title)) != u16::npos; }
  QString caption() const { return dlg->windowTitle(); }
  // Texts and icons of the message boxes shown since the last call.
  std::vector<std::pair<QString, ui::Icon>> takeMessages() {
    std::vector<std::pair<QString, ui::Icon>> out;
    for (const auto& m : script.messages()) out.emplace_back(m.text, m.icon);
    script.clear();
    return out;
  }
};

// A dialog step that picks `path` in a file dialog (an empty path cancels it).
inline std::function<void(QDialog&)> pickFile(const std::filesystem::path& path) {
  return [path](QDialog& d) {
    auto& fd = dynamic_cast<QFileDialog&>(d);
    if (path.empty()) {
      fd.reject();
      return;
    }
    // The file dialog asks its own overwrite question outside the modal hook: answered yes.
    fd.setOption(QFileDialog::DontConfirmOverwrite);
    fd.selectFile(QString::fromStdString(path.string()));
    static_cast<QDialog&>(fd).accept();
  };
}

}  // namespace scrivo_test
